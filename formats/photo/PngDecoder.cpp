// PNG through libpng's simplified reader from memory, 8-bit RGBA out (16-bit
// and palette pictures converted by libpng). The header's size is checked
// before the pixel buffer is made; libpng inflates only the rows it needs.
#include "Orientation.h"
#include "PhotoFormats.h"

#include <png.h>

namespace quorvane::photo {

TStoredPicture DecodePng(const std::uint8_t* data, std::size_t size)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) throw EPhoto("Damaged PNG file");
    struct TFree {
        png_image& Image;
        ~TFree() { png_image_free(&Image); }
    } release{image};
    TStoredPicture stored;
    TPhotoPicture& picture = stored.Picture;
    const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    picture.Rgba = RgbaBuffer(image.width, image.height, size);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_finish_read(&image, nullptr, picture.Rgba.data(), 0, nullptr))
        throw EPhoto("Damaged PNG file");
    picture.Width = static_cast<int>(image.width);
    picture.Height = static_cast<int>(image.height);
    picture.FullPixels = std::uint64_t{image.width} * image.height;
    picture.HasAlpha = alpha && AnyTransparent(picture.Rgba);
    stored.Orientation = ExifOrientationFromBytes(data, size);
    return stored;
}

} // namespace quorvane::photo
