// Camera RAW through LibRaw: the embedded preview (nearly always a JPEG,
// decoded by our JPEG class at the smallest scale the request allows) for
// display and hashing; the sensor data, developed by LibRaw, only when the
// file has no preview. The sensor's claimed size is checked against our
// rules before LibRaw unpacks anything, and LibRaw's own allocations capped.
#include "JPEGDecoder.h"
#include "PhotoFormats.h"

#include <algorithm>
#include <exception>
#include <libraw/libraw.h>
#include <memory>
#include <optional>

namespace quorvane::photo {

namespace {

constexpr unsigned kMaxRawMemoryMb = 1024;

// LibRaw's flip (0, 3, 5 or 6) as an EXIF orientation.
int OrientationOfFlip(int flip)
{
    switch (flip) {
    case 3:
        return 3;
    case 5:
        return 8;
    case 6:
        return 6;
    default:
        return 1;
    }
}

// The smallest DCT scale that keeps the shorter side at minShortSide or
// that the request's ReduceBy allows, whichever reduces more.
TJPEGScale PreviewScale(int width, int height, const TPhotoRequest& request)
{
    const int shorter = std::min(width, height);
    for (int denominator : {8, 4, 2})
        if (request.ReduceBy >= denominator ||
            (request.MinShortSide > 0 && shorter / denominator >= request.MinShortSide))
            return denominator == 8   ? TJPEGScale::jsEighth
                   : denominator == 4 ? TJPEGScale::jsQuarter
                                      : TJPEGScale::jsHalf;
    return TJPEGScale::jsFullSize;
}

// One row of blue, green, red bytes as red, green, blue, opaque alpha.
void BgrRowToRgba(const std::uint8_t* from, int width, std::uint8_t* to)
{
    for (int x = 0; x < width; ++x, from += 3, to += 4) {
        to[0] = from[2];
        to[1] = from[1];
        to[2] = from[0];
        to[3] = 255;
    }
}

// The preview decoded straight from LibRaw's buffer (a copy of a full-size
// preview cost as much as decoding it at an eighth).
TPhotoPicture FromJpegPreview(const std::uint8_t* bytes, std::size_t length, const TPhotoRequest& request)
{
    TJPEGDecodeRequest decode;
    decode.Data = bytes;
    decode.Size = length;
    const TJPEGHeaderFacts header = ReadJPEGHeader(bytes, length, decode.Limits);
    decode.Settings.Scale = PreviewScale(header.Width, header.Height, request);
    decode.Settings.PixelFormat = TJPEGPixelFormat::jf24Bit;
    std::unique_ptr<TJPEGBitmap> bitmap;
    bool paletteModified = false;
    if (DecodeJPEG(decode, bitmap, paletteModified) != TJPEGDecodeOutcome::Completed || !bitmap ||
        bitmap->Empty() || bitmap->BitsPerPixel() != 24)
        throw EPhoto("Damaged RAW preview");
    TPhotoPicture picture;
    picture.FullPixels = std::uint64_t(header.Width) * std::uint64_t(header.Height);
    picture.Width = bitmap->Width();
    picture.Height = bitmap->Height();
    picture.Rgba = RgbaBuffer(std::uint64_t(picture.Width), std::uint64_t(picture.Height), length);
    for (int y = 0; y < picture.Height; ++y)
        BgrRowToRgba(bitmap->ScanLine(y), picture.Width,
                     picture.Rgba.data() + std::size_t(y) * picture.Width * 4);
    return picture;
}

TPhotoPicture FromRgb(const std::uint8_t* rgb, std::size_t length, int width, int height,
                      std::size_t dataBytes)
{
    TPhotoPicture picture;
    picture.Rgba = RgbaBuffer(std::uint64_t(width), std::uint64_t(height), dataBytes);
    if (length < std::size_t(width) * std::size_t(height) * 3) throw EPhoto("Damaged RAW preview");
    for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
        picture.Rgba[4 * i] = rgb[3 * i];
        picture.Rgba[4 * i + 1] = rgb[3 * i + 1];
        picture.Rgba[4 * i + 2] = rgb[3 * i + 2];
        picture.Rgba[4 * i + 3] = 255;
    }
    picture.Width = width;
    picture.Height = height;
    picture.FullPixels = std::uint64_t(width) * std::uint64_t(height);
    return picture;
}

std::optional<TPhotoPicture> Preview(LibRaw& raw, const TPhotoRequest& request, std::size_t size)
{
    if (raw.unpack_thumb() != LIBRAW_SUCCESS) return std::nullopt;
    const libraw_thumbnail_t& thumb = raw.imgdata.thumbnail;
    if (thumb.thumb == nullptr || thumb.tlength == 0) return std::nullopt;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(thumb.thumb);
    if (thumb.tformat == LIBRAW_THUMBNAIL_JPEG) return FromJpegPreview(bytes, thumb.tlength, request);
    if (thumb.tformat == LIBRAW_THUMBNAIL_BITMAP)
        return FromRgb(bytes, thumb.tlength, thumb.twidth, thumb.theight, size);
    return std::nullopt;
}

TPhotoPicture Developed(LibRaw& raw, const TPhotoRequest& request, std::size_t size)
{
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    CheckPhotoClaim(sizes.raw_width, sizes.raw_height, size);
    raw.imgdata.params.half_size = request.MinShortSide > 0 ? 1 : 0;
    raw.imgdata.params.use_camera_wb = 1;
    raw.imgdata.params.user_flip = request.Upright ? -1 : 0;
    if (raw.unpack() != LIBRAW_SUCCESS || raw.dcraw_process() != LIBRAW_SUCCESS)
        throw EPhoto("Damaged RAW file");
    int error = 0;
    libraw_processed_image_t* image = raw.dcraw_make_mem_image(&error);
    if (image == nullptr) throw EPhoto("Damaged RAW file");
    std::unique_ptr<libraw_processed_image_t, void (*)(libraw_processed_image_t*)> owned(
        image, &LibRaw::dcraw_clear_mem);
    if (image->type != LIBRAW_IMAGE_BITMAP || image->bits != 8 || image->colors != 3)
        throw EPhoto("Damaged RAW file");
    TPhotoPicture picture = FromRgb(image->data, image->data_size, image->width, image->height, size);
    picture.FullPixels = std::uint64_t(sizes.width) * sizes.height;
    return picture;
}

TStoredPicture DecodeOpened(LibRaw& raw, std::size_t size, const TPhotoRequest& request)
{
    TStoredPicture stored;
    try {
        if (auto preview = Preview(raw, request, size)) {
            stored.Picture = std::move(*preview);
            stored.Orientation = OrientationOfFlip(raw.imgdata.sizes.flip);
            return stored;
        }
    } catch (const std::exception&) {
        // A damaged preview: the sensor data may still be whole.
    }
    stored.Picture = Developed(raw, request, size);
    return stored; // LibRaw turned the developed picture already
}

std::unique_ptr<LibRaw> NewLibRaw()
{
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    raw->imgdata.params.max_raw_memory_mb = kMaxRawMemoryMb;
    return raw;
}

} // namespace

TStoredPicture DecodeRaw(const std::uint8_t* data, std::size_t size, const TPhotoRequest& request)
{
    auto raw = NewLibRaw();
    if (raw->open_buffer(const_cast<std::uint8_t*>(data), size) != LIBRAW_SUCCESS)
        throw EPhoto("Unknown or damaged RAW file");
    return DecodeOpened(*raw, size, request);
}

TStoredPicture DecodeRawFile(const std::string& path, std::size_t size, const TPhotoRequest& request)
{
    auto raw = NewLibRaw();
    if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS) throw EPhoto("Unknown or damaged RAW file");
    return DecodeOpened(*raw, size, request);
}

} // namespace quorvane::photo
