// PhotoHeaderPixels: the size each library reads from its format's headers
// without decoding a pixel (libheif's item properties, libjxl's basic info,
// libwebp's features, libtiff's first directory, LibRaw's identification).
#include "PhotoDecoder.h"

#include <algorithm>
#include <cstdarg>
#include <fstream>
#include <jxl/decode.h>
#include <libheif/heif.h>
#include <libraw/libraw.h>
#include <memory>
#include <tiffio.h>
#include <webp/decode.h>

namespace quorvane {

namespace {

constexpr std::uint64_t kHeadBytes = 256 * 1024;

std::vector<std::uint8_t> FileHead(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> head(kHeadBytes);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    return head;
}

std::uint64_t HeifPixels(const std::string& path)
{
    heif_context* context = heif_context_alloc();
    std::uint64_t pixels = 0;
    heif_image_handle* handle = nullptr;
    if (heif_context_read_from_file(context, path.c_str(), nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok) {
        pixels = std::uint64_t(std::max(0, heif_image_handle_get_width(handle))) *
                 std::uint64_t(std::max(0, heif_image_handle_get_height(handle)));
        heif_image_handle_release(handle);
    }
    heif_context_free(context);
    return pixels;
}

std::uint64_t JxlPixels(const std::vector<std::uint8_t>& head)
{
    std::unique_ptr<JxlDecoder, void (*)(JxlDecoder*)> decoder(JxlDecoderCreate(nullptr), &JxlDecoderDestroy);
    if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), head.data(), head.size()) != JXL_DEC_SUCCESS)
        return 0;
    JxlDecoderCloseInput(decoder.get());
    JxlBasicInfo info{};
    if (JxlDecoderProcessInput(decoder.get()) != JXL_DEC_BASIC_INFO ||
        JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS)
        return 0;
    return std::uint64_t{info.xsize} * info.ysize;
}

void QuietTiff(const char*, const char*, va_list) {}

std::uint64_t TiffPixels(const std::string& path)
{
    TIFFSetErrorHandler(QuietTiff);
    TIFFSetWarningHandler(QuietTiff);
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr) return 0;
    std::uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFClose(tiff);
    return std::uint64_t{width} * height;
}

std::uint64_t RawPixels(const std::string& path)
{
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS) return 0;
    return std::uint64_t{raw->imgdata.sizes.width} * raw->imgdata.sizes.height;
}

} // namespace

std::uint64_t PhotoHeaderPixels(const std::string& path)
{
    try {
        const std::vector<std::uint8_t> head = FileHead(path);
        TPhotoFormat format = PhotoFormatOfBytes(head.data(), head.size());
        const TPhotoFormat named = PhotoFormatOfName(path);
        if (named == TPhotoFormat::Raw && (format == TPhotoFormat::Tiff || format == TPhotoFormat::Unknown))
            format = TPhotoFormat::Raw;
        switch (format) {
        case TPhotoFormat::Heif:
            return HeifPixels(path);
        case TPhotoFormat::Jxl:
            return JxlPixels(head);
        case TPhotoFormat::Tiff:
            return TiffPixels(path);
        case TPhotoFormat::Raw:
            return RawPixels(path);
        case TPhotoFormat::WebP: {
            int width = 0, height = 0;
            if (!WebPGetInfo(head.data(), head.size(), &width, &height)) return 0;
            return std::uint64_t(width) * std::uint64_t(height);
        }
        case TPhotoFormat::Png:
        case TPhotoFormat::Unknown:
            return 0; // PNG: PictureHeaderPixels reads it
        }
    } catch (const std::exception&) {
    }
    return 0;
}

} // namespace quorvane
