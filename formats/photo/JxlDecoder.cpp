// JPEG XL through libjxl: the first frame as 8-bit RGBA. The basic info's
// size is checked before the output buffer is given; libjxl turns the
// picture upright itself unless the request keeps the stored layout.
#include "PhotoFormats.h"

#include <jxl/decode.h>
#include <memory>

namespace quorvane::photo {

namespace {

struct TJxlFree {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

void Require(bool ok)
{
    if (!ok) throw EPhoto("Damaged JPEG XL file");
}

} // namespace

TStoredPicture DecodeJxl(const std::uint8_t* data, std::size_t size, const TPhotoRequest& request)
{
    std::unique_ptr<JxlDecoder, TJxlFree> decoder(JxlDecoderCreate(nullptr));
    JxlDecoder* d = decoder.get();
    Require(d != nullptr);
    Require(JxlDecoderSubscribeEvents(d, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) == JXL_DEC_SUCCESS);
    Require(JxlDecoderSetKeepOrientation(d, request.Upright ? JXL_FALSE : JXL_TRUE) == JXL_DEC_SUCCESS);
    Require(JxlDecoderSetInput(d, data, size) == JXL_DEC_SUCCESS);
    JxlDecoderCloseInput(d);
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    TStoredPicture stored;
    TPhotoPicture& picture = stored.Picture;
    JxlBasicInfo info{};
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(d);
        if (status == JXL_DEC_BASIC_INFO) {
            Require(JxlDecoderGetBasicInfo(d, &info) == JXL_DEC_SUCCESS);
            const bool swap = request.Upright && info.orientation >= JXL_ORIENT_TRANSPOSE;
            picture.Width = static_cast<int>(swap ? info.ysize : info.xsize);
            picture.Height = static_cast<int>(swap ? info.xsize : info.ysize);
            picture.Rgba = RgbaBuffer(info.xsize, info.ysize, size);
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            std::size_t bytes = 0;
            Require(JxlDecoderImageOutBufferSize(d, &format, &bytes) == JXL_DEC_SUCCESS);
            Require(bytes == picture.Rgba.size());
            Require(JxlDecoderSetImageOutBuffer(d, &format, picture.Rgba.data(), bytes) == JXL_DEC_SUCCESS);
        } else if (status == JXL_DEC_FULL_IMAGE) {
            break; // the first frame is the picture
        } else {
            throw EPhoto("Damaged JPEG XL file");
        }
    }
    picture.FullPixels = std::uint64_t{info.xsize} * info.ysize;
    picture.HasAlpha = info.alpha_bits > 0 && AnyTransparent(picture.Rgba);
    return stored;
}

} // namespace quorvane::photo
