// TJPEGBitmap storage: one zero-filled block of padded bottom-up rows.
// calloc gives large blocks as fresh zero pages, so clearing costs nothing
// before the decoder writes the rows.
#include "JPEGBitmap.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace quorvane {

void TJPEGBitmap::TFree::operator()(std::uint8_t* p) const
{
    std::free(p);
}

TJPEGBitmap::TJPEGBitmap(int bitsPerPixel) : FBitsPerPixel(bitsPerPixel) {}

TJPEGBitmap::TJPEGBitmap(const TJPEGBitmap& other)
    : Palette(other.Palette), FBitsPerPixel(other.FBitsPerPixel)
{
    Resize(other.FWidth, other.FHeight);
    if (FBits) std::memcpy(FBits.get(), other.FBits.get(), FRowBytes * static_cast<std::size_t>(FHeight));
}

TJPEGBitmap& TJPEGBitmap::operator=(const TJPEGBitmap& other)
{
    if (this != &other) {
        TJPEGBitmap copy(other);
        Palette = std::move(copy.Palette);
        FWidth = copy.FWidth;
        FHeight = copy.FHeight;
        FBitsPerPixel = copy.FBitsPerPixel;
        FRowBytes = copy.FRowBytes;
        FBits = std::move(copy.FBits);
    }
    return *this;
}

std::size_t TJPEGBitmap::RowBytesFor(int width, int bitsPerPixel)
{
    const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel);
    return (bits + 31) / 32 * 4;
}

void TJPEGBitmap::Resize(int width, int height)
{
    if (width <= 0 || height <= 0) {
        FBits.reset();
        FWidth = FHeight = 0;
        FRowBytes = 0;
        return;
    }
    const std::size_t rowBytes = RowBytesFor(width, FBitsPerPixel);
    auto* bits = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(height), rowBytes));
    if (!bits) throw std::bad_alloc();
    FBits.reset(bits);
    FWidth = width;
    FHeight = height;
    FRowBytes = rowBytes;
}

} // namespace quorvane
