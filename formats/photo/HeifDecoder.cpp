// HEIC, HEIF and AVIF through libheif: the primary picture, with its
// rotation and mirror applied by libheif (HEIF's own transforms rule over
// any EXIF tag) unless the request keeps the stored layout. The size the
// container claims is checked before decoding; the size the coded stream
// inside claims (which the codec allocates for) is held to it by libheif's
// side limit, and the square of that side must be backed by the file.
#include "DecodeCost.h"
#include "PhotoFormats.h"

#include <algorithm>
#include <cstring>
#include <libheif/heif.h>
#include <memory>

namespace quorvane::photo {

namespace {

struct THeifFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
    void operator()(heif_image* i) const { heif_image_release(i); }
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
template <typename T> using THeif = std::unique_ptr<T, THeifFree>;

constexpr std::uint64_t kCodedMargin = 256;

void Check(const heif_error& error)
{
    if (error.code != heif_error_Ok) throw EPhoto(std::string("Damaged HEIF file: ") + error.message);
}

} // namespace

TStoredPicture DecodeHeif(const std::uint8_t* data, std::size_t size, const TPhotoRequest& request)
{
    THeif<heif_context> context(heif_context_alloc());
    if (!context) throw EPhoto("Out of memory");
    heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(TPhotoLimits::MaxSide));
    Check(heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr));
    heif_image_handle* rawHandle = nullptr;
    Check(heif_context_get_primary_image_handle(context.get(), &rawHandle));
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
    heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(side));
    THeif<heif_decoding_options> options(heif_decoding_options_alloc());
    options->ignore_transformations = request.Upright ? 0 : 1;
    heif_image* rawImage = nullptr;
    Check(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                            options.get()));
    THeif<heif_image> image(rawImage);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int outWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int outHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (plane == nullptr || outWidth <= 0 || outHeight <= 0 || stride < outWidth * 4)
        throw EPhoto("Damaged HEIF file");
    TStoredPicture stored;
    TPhotoPicture& picture = stored.Picture;
    picture.Rgba = RgbaBuffer(std::uint64_t(outWidth), std::uint64_t(outHeight), size);
    for (int y = 0; y < outHeight; ++y)
        std::memcpy(picture.Rgba.data() + std::size_t(y) * outWidth * 4, plane + std::size_t(y) * stride,
                    std::size_t(outWidth) * 4);
    picture.Width = outWidth;
    picture.Height = outHeight;
    picture.FullPixels = std::uint64_t(width) * std::uint64_t(height);
    picture.HasAlpha = heif_image_handle_has_alpha_channel(handle.get()) && AnyTransparent(picture.Rgba);
    return stored;
}

} // namespace quorvane::photo
