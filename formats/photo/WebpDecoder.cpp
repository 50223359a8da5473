// WebP through libwebp: a still picture straight into our RGBA buffer, an
// animation's first frame through the demuxer. The canvas size is checked
// before any pixel buffer is made.
#include "Orientation.h"
#include "PhotoFormats.h"

#include <cstring>
#include <webp/decode.h>
#include <webp/demux.h>

namespace quorvane::photo {

namespace {

TPhotoPicture FirstFrame(const std::uint8_t* data, std::size_t size)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) throw EPhoto("Damaged WebP file");
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData webp{data, size};
    WebPDemuxer* demux = WebPDemux(&webp);
    if (demux == nullptr) throw EPhoto("Damaged WebP file");
    const std::uint32_t width = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH);
    const std::uint32_t height = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
    WebPDemuxDelete(demux);
    TPhotoPicture picture;
    picture.Rgba = RgbaBuffer(width, height, size); // the claim checked before libwebp allocates
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&webp, &options);
    if (decoder == nullptr) throw EPhoto("Damaged WebP file");
    std::uint8_t* frame = nullptr;
    int timestamp = 0;
    const bool ok = WebPAnimDecoderGetNext(decoder, &frame, &timestamp) && frame != nullptr;
    if (ok) std::memcpy(picture.Rgba.data(), frame, picture.Rgba.size());
    WebPAnimDecoderDelete(decoder);
    if (!ok) throw EPhoto("Damaged WebP file");
    picture.Width = static_cast<int>(width);
    picture.Height = static_cast<int>(height);
    return picture;
}

} // namespace

TStoredPicture DecodeWebp(const std::uint8_t* data, std::size_t size)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) throw EPhoto("Damaged WebP file");
    TStoredPicture stored;
    TPhotoPicture& picture = stored.Picture;
    if (features.has_animation) {
        picture = FirstFrame(data, size);
    } else {
        picture.Rgba = RgbaBuffer(std::uint64_t(features.width), std::uint64_t(features.height), size);
        const int stride = features.width * 4;
        if (WebPDecodeRGBAInto(data, size, picture.Rgba.data(), picture.Rgba.size(), stride) == nullptr)
            throw EPhoto("Damaged WebP file");
        picture.Width = features.width;
        picture.Height = features.height;
    }
    picture.FullPixels = std::uint64_t(picture.Width) * std::uint64_t(picture.Height);
    picture.HasAlpha = features.has_alpha && AnyTransparent(picture.Rgba);
    stored.Orientation = ExifOrientationFromBytes(data, size);
    return stored;
}

} // namespace quorvane::photo
