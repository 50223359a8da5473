// Camera RAW through LibRaw: the embedded preview (nearly always a JPEG,
// decoded by our JPEG class at the smallest scale the request allows) for
// display and hashing; the sensor data, developed by LibRaw, only when the
// file has no preview. The sensor's claimed size is checked against our
// rules before LibRaw unpacks anything, and LibRaw's own allocations capped.
#include "JPEGDecoder.h"
#include "PhotoFormats.h"
#include "RawPreviews.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <libraw/libraw.h>
#include <memory>
#include <optional>
#include <unistd.h>

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

constexpr std::size_t kJpegHeadBytes = 64 * 1024;
constexpr std::uint64_t kMaxPreviewBytes = std::uint64_t{64} << 20;

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

// Of the JPEG pictures the file names, the one with the fewest pixels that,
// shrunk into the request's box (upright), still fills it; decoded at the
// smallest DCT scale that keeps it so. Nothing when the request names no box
// or no picture is large enough: the largest preview is taken then.
std::optional<TPhotoPicture> SmallPreview(const TReadAt& read, std::uint64_t size,
                                          const TPhotoRequest& request, bool swapsSides)
{
    if (request.BoxWidth <= 0 || request.BoxHeight <= 0) return std::nullopt;
    std::optional<TEmbeddedJpeg> best;
    TJPEGHeaderFacts bestHeader;
    std::vector<std::uint8_t> head;
    for (const TEmbeddedJpeg& jpeg : FindEmbeddedJpegs(read, size)) {
        if (jpeg.Length > kMaxPreviewBytes) continue;
        head.resize(std::size_t(std::min<std::uint64_t>(jpeg.Length, kJpegHeadBytes)));
        if (!read(jpeg.Offset, head.size(), head.data())) continue;
        TJPEGHeaderFacts header;
        try {
            header = ReadJPEGHeader(head.data(), head.size(), TJPEGLimits{});
        } catch (const std::exception&) {
            continue; // not a picture our decoder reads (a lossless sensor strip)
        }
        const int width = swapsSides ? header.Height : header.Width;
        const int height = swapsSides ? header.Width : header.Height;
        if (width < request.BoxWidth && height < request.BoxHeight) continue; // would be enlarged
        if (!best || std::uint64_t(header.Width) * std::uint64_t(header.Height) <
                         std::uint64_t(bestHeader.Width) * std::uint64_t(bestHeader.Height)) {
            best = jpeg;
            bestHeader = header;
        }
    }
    if (!best) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(best->Length));
    if (!read(best->Offset, bytes.size(), bytes.data())) return std::nullopt;
    const int width = swapsSides ? bestHeader.Height : bestHeader.Width;
    const int height = swapsSides ? bestHeader.Width : bestHeader.Height;
    const double fit = std::min(double(request.BoxWidth) / width, double(request.BoxHeight) / height);
    TPhotoRequest scaled = request;
    scaled.ReduceBy = 1;
    scaled.MinShortSide = int(std::ceil(fit * std::min(width, height)));
    return FromJpegPreview(bytes.data(), bytes.size(), scaled);
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

TStoredPicture DecodeOpened(LibRaw& raw, const TReadAt& read, std::size_t size, const TPhotoRequest& request)
{
    TStoredPicture stored;
    const int orientation = OrientationOfFlip(raw.imgdata.sizes.flip);
    try {
        auto preview = SmallPreview(read, size, request, orientation >= 5);
        const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
        if (preview && sizes.width > 0 && sizes.height > 0)
            preview->FullPixels = std::uint64_t(sizes.width) * sizes.height; // the photo's, not the preview's
        if (!preview) preview = Preview(raw, request, size);
        if (preview) {
            stored.Picture = std::move(*preview);
            stored.Orientation = orientation;
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
    const TReadAt read = [data, size](std::uint64_t offset, std::size_t length, std::uint8_t* to) {
        if (offset > size || length > size - offset) return false;
        std::memcpy(to, data + offset, length);
        return true;
    };
    return DecodeOpened(*raw, read, size, request);
}

TStoredPicture DecodeRawFile(const std::string& path, std::size_t size, const TPhotoRequest& request)
{
    auto raw = NewLibRaw();
    if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS) throw EPhoto("Unknown or damaged RAW file");
    // Only a request with a box looks for a smaller preview of its own.
    const int fd =
        request.BoxWidth > 0 && request.BoxHeight > 0 ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    const std::unique_ptr<const int, void (*)(const int*)> closer(&fd, [](const int* f) {
        if (*f >= 0) ::close(*f);
    });
    const TReadAt read = [fd](std::uint64_t offset, std::size_t length, std::uint8_t* to) {
        while (length > 0) {
            const ssize_t got = ::pread(fd, to, length, off_t(offset));
            if (got <= 0) return false;
            to += got;
            offset += std::uint64_t(got);
            length -= std::size_t(got);
        }
        return true;
    };
    return DecodeOpened(*raw, read, size, request);
}

} // namespace quorvane::photo
