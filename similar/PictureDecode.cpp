// Cheap decoding for the hash. The JPEG path asks libjpeg for a reduced,
// grey, fast-DCT output so that a 12-megapixel photograph costs about as
// much as a thumbnail; grey levels follow the same luma weights in every path
// so one picture hashes alike whatever format carries it.
#include "PictureDecode.h"

#include "GifUnit.h"
#include "JPEGImage.h"
#include "Orientation.h"
#include "PhotoDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <utility>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace quorvane {

namespace {

std::string UpperExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ext;
}

std::uint8_t Luma(unsigned red, unsigned green, unsigned blue)
{
    return static_cast<std::uint8_t>((299 * red + 587 * green + 114 * blue + 500) / 1000);
}

TJPEGScale ScaleOf(int denominator)
{
    switch (denominator) {
    case 8:
        return TJPEGScale::jsEighth;
    case 4:
        return TJPEGScale::jsQuarter;
    case 2:
        return TJPEGScale::jsHalf;
    default:
        return TJPEGScale::jsFullSize;
    }
}

std::optional<TDecodedPicture> DecodeJpeg(const std::string& path, bool upright)
{
    TJPEGImage jpeg;
    jpeg.LoadFromFile(path);
    const auto data = jpeg.Data();
    TDecodedPicture result;
    result.FullPixels = static_cast<std::uint64_t>(data->Width) * static_cast<std::uint64_t>(data->Height);
    jpeg.SetScale(ScaleOf(JpegScaleDenominator(data->Width, data->Height, kHashGridSide)));
    jpeg.SetGrayscale(true);
    jpeg.SetPerformance(TJPEGPerformance::jpBestSpeed);
    const TJPEGBitmap& bitmap = jpeg.Bitmap();
    if (bitmap.Empty()) return std::nullopt;
    TGreyImage& image = result.Image;
    image.Width = bitmap.Width();
    image.Height = bitmap.Height();
    image.Pixels.resize(static_cast<std::size_t>(image.Width) * image.Height);
    for (int y = 0; y < image.Height; ++y) {
        const std::uint8_t* row = bitmap.ScanLine(y);
        std::uint8_t* out = image.Pixels.data() + static_cast<std::size_t>(y) * image.Width;
        for (int x = 0; x < image.Width; ++x) {
            if (bitmap.BitsPerPixel() == 8) {
                const std::uint8_t index = row[x];
                out[x] = index < bitmap.Palette.size() ? bitmap.Palette[index].Red : index;
            } else {
                out[x] = Luma(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            }
        }
    }
    const int orientation =
        upright ? ExifOrientationFromBytes(data->Bytes.data(), data->Bytes.size()) : kUpright;
    if (orientation != kUpright)
        image.Pixels = OrientPixels(image.Pixels.data(), image.Width, image.Height, 1,
                                    std::size_t(image.Width), orientation);
    return result;
}

// True when the pixel at (x, y) is translucent and its four neighbours are
// about as opaque: the inside of a translucent part, not an anti-aliased
// edge, whose neighbours across the edge are far more or less opaque.
bool InsideTranslucentPart(const std::uint8_t* rgba, int width, int height, int x, int y)
{
    constexpr int kLow = 32, kHigh = 224, kNear = 16;
    const int alpha = rgba[4 * (std::size_t(y) * std::size_t(width) + std::size_t(x)) + 3];
    if (alpha < kLow || alpha >= kHigh || x == 0 || y == 0 || x + 1 == width || y + 1 == height) return false;
    for (const auto& [dx, dy] : {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1}}) {
        const int other = rgba[4 * (std::size_t(y + dy) * std::size_t(width) + std::size_t(x + dx)) + 3];
        if (std::abs(other - alpha) > kNear) return false;
    }
    return true;
}

// True when the outline is all the picture shows: the pixels at least half
// opaque have about one grey level (anti-aliasing and lossy coding leave a
// few), and it has no translucent parts (a symbolic icon's dimmed half),
// which its outline would not show. A dimmed stroke only a pixel or two
// wide (a 16-pixel icon's) has no inside and is not seen: its outline is then
// taken for the whole picture, as the grey hash, which hardly sees it either,
// did before.
bool IsOneColour(const std::uint8_t* rgba, int width, int height)
{
    constexpr int kSpread = 32, kVisible = 32;
    int lowest = 255, highest = 0;
    std::size_t visible = 0, inside = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = rgba + 4 * (std::size_t(y) * std::size_t(width) + std::size_t(x));
            visible += p[3] >= kVisible;
            inside += InsideTranslucentPart(rgba, width, height, x, y);
            if (p[3] < 128) continue;
            const int grey = Luma(p[0], p[1], p[2]);
            lowest = std::min(lowest, grey);
            highest = std::max(highest, grey);
        }
    // One in 64 visible pixels: more than stray flat spots along soft edges.
    return highest - lowest <= kSpread && 64 * inside <= visible;
}

std::optional<TShapeMask> ShapeOfRgba(const std::uint8_t* rgba, int width, int height)
{
    TGreyImage alpha;
    alpha.Width = width;
    alpha.Height = height;
    alpha.Pixels.resize(std::size_t(width) * std::size_t(height));
    for (std::size_t i = 0; i < alpha.Pixels.size(); ++i)
        alpha.Pixels[i] = rgba[4 * i + 3];
    return ComputeShapeMask(alpha);
}

std::optional<TDecodedPicture> DecodePhoto(const std::string& path, bool upright)
{
    // The hash needs no more than a few times its grid on the shorter side.
    const TPhotoPicture photo = DecodePhotoFile(path, TPhotoRequest{upright, 4 * kHashGridSide});
    TDecodedPicture result;
    result.FullPixels = photo.FullPixels;
    result.Image = GreyOfRgba(photo.Rgba.data(), photo.Width, photo.Height, photo.HasAlpha);
    if (photo.HasAlpha && !photo.Rgba.empty()) {
        result.Shape = ShapeOfRgba(photo.Rgba.data(), photo.Width, photo.Height);
        result.OneColour = result.Shape && IsOneColour(photo.Rgba.data(), photo.Width, photo.Height);
    }
    return result;
}

std::optional<TDecodedPicture> DecodeGif(const std::string& path)
{
    TGifFile gif;
    gif.LoadFromFile(path);
    if (gif.ImageCount() == 0) return std::nullopt;
    const auto bitmap = gif.Image(1).Bitmap();
    if (bitmap->Width() == 0 || bitmap->Height() == 0) return std::nullopt;
    TDecodedPicture result;
    const std::uint64_t screen = std::uint64_t{gif.ScreenWidth()} * gif.ScreenHeight();
    result.FullPixels = screen != 0 ? screen : std::uint64_t{bitmap->Width()} * bitmap->Height();
    std::uint8_t grey[256];
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t c = bitmap->Colors()[i];
        grey[i] = Luma((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
    }
    TGreyImage& image = result.Image;
    image.Width = static_cast<int>(bitmap->Width());
    image.Height = static_cast<int>(bitmap->Height());
    image.Pixels.resize(bitmap->Width() * bitmap->Height());
    for (std::size_t y = 0; y < bitmap->Height(); ++y) {
        const std::uint8_t* row = bitmap->ScanLine(y);
        for (std::size_t x = 0; x < bitmap->Width(); ++x)
            image.Pixels[y * bitmap->Width() + x] = grey[row[x]];
    }
    return result;
}

} // namespace

TGreyImage GreyOfRgba(const std::uint8_t* rgba, int width, int height, bool hasAlpha)
{
    TGreyImage image;
    image.Width = width;
    image.Height = height;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    image.Pixels.resize(count);
    std::uint64_t weighted = 0, weight = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = rgba + 4 * i;
        image.Pixels[i] = Luma(p[0], p[1], p[2]);
        weighted += std::uint64_t{image.Pixels[i]} * p[3];
        weight += p[3];
    }
    if (!hasAlpha) return image;
    // Dark shapes on white, light ones on black: the outline always shows.
    const unsigned background = weight == 0 || weighted / weight < 128 ? 255 : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned alpha = rgba[4 * i + 3];
        image.Pixels[i] =
            static_cast<std::uint8_t>((image.Pixels[i] * alpha + background * (255 - alpha) + 127) / 255);
    }
    return image;
}

namespace {

TPixelDigest DigestOf(const std::vector<std::uint8_t>& rgba, int width, int height)
{
    const XXH128_hash_t hash = XXH3_128bits(rgba.data(), rgba.size());
    TPixelDigest digest;
    digest.Width = width;
    digest.Height = height;
    digest.Digest[0] = hash.low64;
    digest.Digest[1] = hash.high64;
    return digest;
}

std::vector<std::uint8_t> JpegRgba(const std::string& path, bool upright, int& width, int& height)
{
    TJPEGImage jpeg;
    jpeg.LoadFromFile(path);
    jpeg.SetPixelFormat(TJPEGPixelFormat::jf24Bit);
    jpeg.SetPerformance(TJPEGPerformance::jpBestQuality);
    const TJPEGBitmap& bitmap = jpeg.Bitmap();
    if (bitmap.Empty() || bitmap.BitsPerPixel() != 24) return {};
    width = bitmap.Width();
    height = bitmap.Height();
    std::vector<std::uint8_t> rgba(std::size_t(width) * std::size_t(height) * 4);
    std::uint8_t* to = rgba.data();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x, to += 4) {
            to[0] = row[3 * x + 2];
            to[1] = row[3 * x + 1];
            to[2] = row[3 * x];
            to[3] = 255;
        }
    }
    const auto& bytes = jpeg.Data()->Bytes;
    const int orientation = upright ? ExifOrientationFromBytes(bytes.data(), bytes.size()) : kUpright;
    if (orientation != kUpright)
        rgba = OrientPixels(rgba.data(), width, height, 4, std::size_t(width) * 4, orientation);
    return rgba;
}

std::vector<std::uint8_t> GifRgba(const std::string& path, int& width, int& height)
{
    TGifFile gif;
    gif.LoadFromFile(path);
    if (gif.ImageCount() == 0) return {};
    const auto bitmap = gif.Image(1).Bitmap();
    width = static_cast<int>(bitmap->Width());
    height = static_cast<int>(bitmap->Height());
    std::vector<std::uint8_t> rgba(std::size_t(width) * std::size_t(height) * 4);
    std::uint8_t* to = rgba.data();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bitmap->ScanLine(std::size_t(y));
        for (int x = 0; x < width; ++x, to += 4) {
            const std::uint32_t c = bitmap->Colors()[row[x]];
            to[0] = static_cast<std::uint8_t>(c >> 16);
            to[1] = static_cast<std::uint8_t>(c >> 8);
            to[2] = static_cast<std::uint8_t>(c);
            to[3] = 255;
        }
    }
    return rgba;
}

} // namespace

std::optional<TPixelDigest> DecodePixelDigest(const std::string& path, bool upright)
{
    const std::string ext = UpperExtension(path);
    try {
        int width = 0, height = 0;
        std::vector<std::uint8_t> rgba;
        if (ext == ".JPG" || ext == ".JPEG" || ext == ".JPE")
            rgba = JpegRgba(path, upright, width, height);
        else if (ext == ".GIF")
            rgba = GifRgba(path, width, height);
        else if (IsPhotoFileName(path)) {
            TPhotoPicture photo = DecodePhotoFile(path, TPhotoRequest{upright, 0});
            width = photo.Width;
            height = photo.Height;
            rgba = std::move(photo.Rgba);
        }
        if (rgba.empty()) return std::nullopt;
        return DigestOf(rgba, width, height);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

TPictureHash HashOfPicture(const TDecodedPicture& picture)
{
    TPictureHash hash = ComputePictureHash(picture.Image);
    if (picture.OneColour && picture.Shape) hash.Hash = ShapeHash(*picture.Shape);
    return hash;
}

std::array<TPictureHash, kHashVariants> HashVariantsOfPicture(const TDecodedPicture& picture)
{
    auto variants = ComputePictureHashVariants(picture.Image);
    if (picture.OneColour && picture.Shape)
        for (int v = 0; v < kHashVariants; ++v)
            variants[std::size_t(v)].Hash = ShapeHash(TurnShapeMask(*picture.Shape, v));
    return variants;
}

std::optional<TPictureHash> CentreHashOfPicture(const TDecodedPicture& picture)
{
    if (picture.Shape) return std::nullopt;
    return ComputeCentreHash(picture.Image);
}

std::optional<std::array<TPictureHash, kHashVariants>>
CentreHashVariantsOfPicture(const TDecodedPicture& picture)
{
    if (picture.Shape) return std::nullopt;
    return ComputeCentreHashVariants(picture.Image);
}

int JpegScaleDenominator(int width, int height, int minSide)
{
    for (int denominator = 8; denominator > 1; denominator /= 2)
        if ((width + denominator - 1) / denominator >= minSide &&
            (height + denominator - 1) / denominator >= minSide)
            return denominator;
    return 1;
}

std::optional<TDecodedPicture> DecodePictureFile(const std::string& path, const TPictureDecoder& fallback,
                                                 bool upright)
{
    const std::string ext = UpperExtension(path);
    const bool jpeg = ext == ".JPG" || ext == ".JPEG" || ext == ".JPE";
    const bool gif = ext == ".GIF";
    if (jpeg || gif) {
        // A file our decoders refuse (a CMYK JPEG, a GIF named .jpg) gets a
        // second chance through the fallback, which may know the format.
        try {
            auto picture = jpeg ? DecodeJpeg(path, upright) : DecodeGif(path);
            if (picture) return picture;
        } catch (const std::exception&) {
        }
    }
    if (IsPhotoFileName(path)) {
        try {
            return DecodePhoto(path, upright);
        } catch (const std::exception&) {
            // A misnamed file may still be one the fallback reads.
        }
    }
    if (!fallback) return std::nullopt;
    try {
        return fallback(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace quorvane
