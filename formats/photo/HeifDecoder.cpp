// HEIC, HEIF and AVIF through libheif: the primary picture, with its
// rotation and mirror applied by libheif (HEIF's own transforms rule over
// any EXIF tag) unless the request keeps the stored layout. The size the
// container claims is checked before decoding; the size the coded stream
// inside claims (which the codec allocates for) is held to it by libheif's
// side limit, and the square of that side must be backed by the file.
// An 8-bit picture without alpha, in full-range BT.601, is taken from
// libheif as the codec's YCbCr planes and turned into RGBA here, straight
// into the picture's buffer: libheif's own conversion would fill a second
// buffer of the full RGBA size to be copied. Others go through libheif's.
#include "DecodeCost.h"
#include "PhotoFormats.h"

#include <algorithm>
#include <cstring>
#include <libheif/heif.h>
#include <memory>
#include <optional>

namespace quorvane::photo {

namespace {

struct THeifFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
    void operator()(heif_image* i) const { heif_image_release(i); }
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
    void operator()(heif_color_profile_nclx* n) const { heif_nclx_color_profile_free(n); }
};
template <typename T> using THeif = std::unique_ptr<T, THeifFree>;

constexpr std::uint64_t kCodedMargin = 256;

void Check(const heif_error& error)
{
    if (error.code != heif_error_Ok) throw EPhoto(std::string("Damaged HEIF file: ") + error.message);
}

// BT.601 at full range, which libheif applies to a picture without a colour
// profile and to one whose profile names it, in 16-bit fixed point:
// R = Y + 1.402 Cr, G = Y - 0.344136 Cb - 0.714136 Cr, B = Y + 1.772 Cb.
// Other matrices and limited range are left to libheif's conversion, whose
// results for them this would not reproduce.
constexpr int kFixedShift = 16;
constexpr int kCrToR = 91881;
constexpr int kCbToG = 22554;
constexpr int kCrToG = 46802;
constexpr int kCbToB = 116130;

bool IsFullRangeBt601(const heif_image_handle* handle)
{
    heif_color_profile_nclx* raw = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &raw).code != heif_error_Ok || raw == nullptr)
        return true;
    const THeif<heif_color_profile_nclx> nclx(raw);
    const auto matrix = nclx->matrix_coefficients;
    return nclx->full_range_flag != 0 && (matrix == heif_matrix_coefficients_unspecified ||
                                          matrix == heif_matrix_coefficients_ITU_R_BT_470_6_System_B_G ||
                                          matrix == heif_matrix_coefficients_ITU_R_BT_601_6);
}

inline std::uint8_t Clamp8(int v)
{
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// The three 8-bit planes of a decoded YCbCr picture; chroma is sampled at
// every (1 << ShiftX)-th column and (1 << ShiftY)-th row, as libheif's own
// conversion reads it (the nearest sample, no interpolation).
struct TYCbCrPlanes {
    const std::uint8_t* Y = nullptr;
    const std::uint8_t* Cb = nullptr;
    const std::uint8_t* Cr = nullptr;
    std::size_t YStride = 0, CbStride = 0, CrStride = 0;
    int ShiftX = 0, ShiftY = 0;
};

void ConvertRows(const TYCbCrPlanes& p, int width, int height, std::uint8_t* out)
{
    constexpr int kHalf = 1 << (kFixedShift - 1);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* luma = p.Y + std::size_t(y) * p.YStride;
        const std::uint8_t* cb = p.Cb + std::size_t(y >> p.ShiftY) * p.CbStride;
        const std::uint8_t* cr = p.Cr + std::size_t(y >> p.ShiftY) * p.CrStride;
        for (int x = 0; x < width; ++x, out += 4) {
            const int l = (luma[x] << kFixedShift) + kHalf;
            const int u = cb[x >> p.ShiftX] - 128;
            const int v = cr[x >> p.ShiftX] - 128;
            out[0] = Clamp8((l + kCrToR * v) >> kFixedShift);
            out[1] = Clamp8((l - kCbToG * u - kCrToG * v) >> kFixedShift);
            out[2] = Clamp8((l + kCbToB * u) >> kFixedShift);
            out[3] = 255;
        }
    }
}

// The planes of an 8-bit YCbCr picture whose chroma covers its luma, or
// nothing for any other layout (monochrome, deeper samples).
std::optional<TYCbCrPlanes> PlanesOf(const heif_image* image, int width, int height)
{
    if (heif_image_get_colorspace(image) != heif_colorspace_YCbCr) return std::nullopt;
    TYCbCrPlanes p;
    switch (heif_image_get_chroma_format(image)) {
    case heif_chroma_420:
        p.ShiftX = p.ShiftY = 1;
        break;
    case heif_chroma_422:
        p.ShiftX = 1;
        break;
    case heif_chroma_444:
        break;
    default:
        return std::nullopt;
    }
    for (heif_channel channel : {heif_channel_Y, heif_channel_Cb, heif_channel_Cr})
        if (heif_image_get_bits_per_pixel_range(image, channel) != 8) return std::nullopt;
    if (heif_image_get_width(image, heif_channel_Y) < width ||
        heif_image_get_height(image, heif_channel_Y) < height)
        return std::nullopt;
    for (heif_channel channel : {heif_channel_Cb, heif_channel_Cr})
        if (heif_image_get_width(image, channel) < ((width - 1) >> p.ShiftX) + 1 ||
            heif_image_get_height(image, channel) < ((height - 1) >> p.ShiftY) + 1)
            return std::nullopt;
    int y = 0, cb = 0, cr = 0;
    p.Y = heif_image_get_plane_readonly(image, heif_channel_Y, &y);
    p.Cb = heif_image_get_plane_readonly(image, heif_channel_Cb, &cb);
    p.Cr = heif_image_get_plane_readonly(image, heif_channel_Cr, &cr);
    if (!p.Y || !p.Cb || !p.Cr || y < width || cb <= 0 || cr <= 0) return std::nullopt;
    p.YStride = std::size_t(y);
    p.CbStride = std::size_t(cb);
    p.CrStride = std::size_t(cr);
    return p;
}

THeif<heif_image> Decode(const heif_image_handle* handle, heif_colorspace space, heif_chroma chroma,
                         const heif_decoding_options* options)
{
    heif_image* image = nullptr;
    Check(heif_decode_image(handle, &image, space, chroma, options));
    return THeif<heif_image>(image);
}

// libheif's RGBA, copied row by row into the picture.
void CopyRgba(const heif_image* image, TPhotoPicture& picture, std::size_t size)
{
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    if (plane == nullptr || width <= 0 || height <= 0 || stride < width * 4)
        throw EPhoto("Damaged HEIF file");
    picture.Rgba = RgbaBuffer(std::uint64_t(width), std::uint64_t(height), size);
    for (int y = 0; y < height; ++y)
        std::memcpy(picture.Rgba.data() + std::size_t(y) * width * 4, plane + std::size_t(y) * stride,
                    std::size_t(width) * 4);
    picture.Width = width;
    picture.Height = height;
}

// The YCbCr picture converted here; false when its layout is not one the
// conversion reads.
bool ConvertYCbCr(const heif_image* image, TPhotoPicture& picture, std::size_t size)
{
    const int width = heif_image_get_primary_width(image);
    const int height = heif_image_get_primary_height(image);
    if (width <= 0 || height <= 0) throw EPhoto("Damaged HEIF file");
    const std::optional<TYCbCrPlanes> planes = PlanesOf(image, width, height);
    if (!planes) return false;
    picture.Rgba = RgbaBuffer(std::uint64_t(width), std::uint64_t(height), size);
    ConvertRows(*planes, width, height, picture.Rgba.data());
    picture.Width = width;
    picture.Height = height;
    return true;
}

// The chroma to ask libheif for when the picture is converted here: the
// stored one, so that libheif hands the codec's planes over unconverted.
std::optional<heif_chroma> NativeChroma(const heif_image_handle* handle, const std::uint8_t* data,
                                        std::size_t size)
{
    if (heif_image_handle_has_alpha_channel(handle) ||
        heif_image_handle_get_luma_bits_per_pixel(handle) != 8 ||
        heif_image_handle_get_chroma_bits_per_pixel(handle) != 8 || !IsFullRangeBt601(handle))
        return std::nullopt;
    const std::optional<THeifChroma> stored = StoredHeifChroma(data, size);
    if (!stored) return std::nullopt;
    if (stored->ShiftY == 1) return stored->ShiftX == 1 ? std::optional(heif_chroma_420) : std::nullopt;
    return stored->ShiftX == 1 ? heif_chroma_422 : heif_chroma_444;
}

// The primary picture's handle, its claimed size checked against our rules
// and the codec's frame side held to what the file can back.
THeif<heif_image_handle> PrimaryHandle(heif_context* context, std::size_t size)
{
    heif_image_handle* rawHandle = nullptr;
    Check(heif_context_get_primary_image_handle(context, &rawHandle));
    THeif<heif_image_handle> handle(rawHandle);
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0) throw EPhoto("Damaged HEIF file");
    CheckPhotoClaim(std::uint64_t(width), std::uint64_t(height), size);
    // A coded frame may exceed the container's size by its alignment only.
    // libheif refuses a longer side before the codec allocates the frame;
    // the codec may still make it square, so the square must be backed.
    const std::uint64_t side =
        std::min<std::uint64_t>(TPhotoLimits::MaxSide, std::uint64_t(std::max(width, height)) + kCodedMargin);
    const decode_cost::TClaimRule rule{TPhotoLimits::FreePixels, TPhotoLimits::PixelsPerByte};
    if (!decode_cost::ClaimIsBacked(rule, side * side, size))
        throw EPhoto("The picture claims more pixels than its file holds");
    heif_context_set_maximum_image_size_limit(context, static_cast<int>(side));
    return handle;
}

} // namespace

TStoredPicture DecodeHeif(const std::uint8_t* data, std::size_t size, const TPhotoRequest& request)
{
    THeif<heif_context> context(heif_context_alloc());
    if (!context) throw EPhoto("Out of memory");
    heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(TPhotoLimits::MaxSide));
    Check(heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr));
    const THeif<heif_image_handle> handle = PrimaryHandle(context.get(), size);
    THeif<heif_decoding_options> options(heif_decoding_options_alloc());
    options->ignore_transformations = request.Upright ? 0 : 1;
    TStoredPicture stored;
    TPhotoPicture& picture = stored.Picture;
    const std::optional<heif_chroma> chroma = NativeChroma(handle.get(), data, size);
    bool converted = false;
    if (chroma) {
        const THeif<heif_image> image = Decode(handle.get(), heif_colorspace_YCbCr, *chroma, options.get());
        converted = ConvertYCbCr(image.get(), picture, size);
    }
    if (!converted) { // and a layout the conversion does not read, decoded again
        const THeif<heif_image> image =
            Decode(handle.get(), heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options.get());
        CopyRgba(image.get(), picture, size);
        picture.HasAlpha = heif_image_handle_has_alpha_channel(handle.get()) && AnyTransparent(picture.Rgba);
    }
    picture.FullPixels = std::uint64_t(heif_image_handle_get_width(handle.get())) *
                         std::uint64_t(heif_image_handle_get_height(handle.get()));
    return stored;
}

} // namespace quorvane::photo
