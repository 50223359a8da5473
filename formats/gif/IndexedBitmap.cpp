// The indexed bitmap and its BMP stream (little-endian, 143 pixels per metre,
// pixel offset 1078). Invariant: padding bytes of every row are zero.
#include "IndexedBitmap.h"

#include "DynArrB.h"

#include <algorithm>
#include <cstdlib>

namespace quorvane {

namespace {

void Put16(std::uint8_t*& p, std::uint32_t value)
{
    *p++ = static_cast<std::uint8_t>(value);
    *p++ = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t*& p, std::uint32_t value)
{
    Put16(p, value & 0xFFFF);
    Put16(p, value >> 16);
}

} // namespace

void TIndexedBitmap::TFree::operator()(std::uint8_t* p) const noexcept
{
    std::free(p);
}

TIndexedBitmap::TIndexedBitmap(std::size_t width, std::size_t height)
    : FWidth(width), FHeight(height), FBytesPerLine((width + 3) & ~std::size_t{3})
{
    const std::size_t size = FBytesPerLine * height;
    FBits.reset(static_cast<std::uint8_t*>(std::calloc(size == 0 ? 1 : size, 1)));
    if (!FBits) throw ENotEnoughMemory(size);
    FColors.fill(0xFF000000u);
}

void TIndexedBitmap::SetColor(std::size_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    if (index >= FColors.size()) return;
    FColors[index] = 0xFF000000u | (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
}

std::vector<std::uint8_t> TIndexedBitmap::BmpStream() const
{
    const std::size_t imageBytes = FBytesPerLine * FHeight;
    std::vector<std::uint8_t> out(kBmpPixelOffset + imageBytes);
    std::uint8_t* p = out.data();
    *p++ = 'B';
    *p++ = 'M';
    Put32(p, static_cast<std::uint32_t>(out.size()));
    Put32(p, 0); // two reserved words
    Put32(p, kBmpPixelOffset);
    Put32(p, 40);
    Put32(p, static_cast<std::uint32_t>(FWidth));
    Put32(p, static_cast<std::uint32_t>(FHeight)); // positive: bottom-up rows
    Put16(p, 1);
    Put16(p, 8);
    Put32(p, 0); // no compression
    Put32(p, 0); // image size may be 0 when uncompressed
    Put32(p, 143);
    Put32(p, 143);
    Put32(p, 0);
    Put32(p, 0);
    for (std::uint32_t colour : FColors)
        Put32(p, colour & 0x00FFFFFFu);
    for (std::size_t row = FHeight; row-- > 0; p += FBytesPerLine)
        std::copy_n(ScanLine(row), FBytesPerLine, p);
    return out;
}

} // namespace quorvane
