// The indexed bitmap and its BMP stream (little-endian, 143 pixels per metre,
// pixel offset 1078). Invariant: padding bytes of every row are zero.
#include "IndexedBitmap.h"

#include "DynArrB.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

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
    return BmpStreamOfRows(FColors, FWidth, FHeight, FBits.get(), FBytesPerLine);
}

void WriteBmpOfRows(std::ostream& out, const std::array<std::uint32_t, 256>& colors, std::size_t width,
                    std::size_t height, const std::uint8_t* rows, std::size_t stride)
{
    const std::vector<std::uint8_t> header = BmpStreamOfRows(colors, width, 0, rows, stride);
    std::vector<std::uint8_t> fields(header);
    // The header written for zero rows, with the real height and file size.
    const std::size_t bytesPerLine = (width + 3) & ~std::size_t{3};
    std::uint8_t* size = fields.data() + 2;
    Put32(size, static_cast<std::uint32_t>(kBmpPixelOffset + bytesPerLine * height));
    std::uint8_t* rowCount = fields.data() + 22;
    Put32(rowCount, static_cast<std::uint32_t>(height));
    out.write(reinterpret_cast<const char*>(fields.data()), static_cast<std::streamsize>(fields.size()));
    std::vector<char> line(bytesPerLine, 0);
    for (std::size_t row = height; row-- > 0 && out;) {
        std::copy_n(rows + row * stride, width, line.data());
        out.write(line.data(), static_cast<std::streamsize>(bytesPerLine));
    }
}

std::vector<std::uint8_t> BmpStreamOfRows(const std::array<std::uint32_t, 256>& colors, std::size_t width,
                                          std::size_t height, const std::uint8_t* rows, std::size_t stride)
{
    const std::size_t bytesPerLine = (width + 3) & ~std::size_t{3};
    const std::size_t imageBytes = bytesPerLine * height;
    // Not value-initialised: every byte is written below.
    std::vector<std::uint8_t> out;
    out.reserve(kBmpPixelOffset + imageBytes);
    out.resize(kBmpPixelOffset);
    std::uint8_t* p = out.data();
    *p++ = 'B';
    *p++ = 'M';
    Put32(p, static_cast<std::uint32_t>(kBmpPixelOffset + imageBytes));
    Put32(p, 0); // two reserved words
    Put32(p, kBmpPixelOffset);
    Put32(p, 40);
    Put32(p, static_cast<std::uint32_t>(width));
    Put32(p, static_cast<std::uint32_t>(height)); // positive: bottom-up rows
    Put16(p, 1);
    Put16(p, 8);
    Put32(p, 0); // no compression
    Put32(p, 0); // image size may be 0 when uncompressed
    Put32(p, 143);
    Put32(p, 143);
    Put32(p, 0);
    Put32(p, 0);
    for (std::uint32_t colour : colors)
        Put32(p, colour & 0x00FFFFFFu);
    static constexpr std::uint8_t kZeros[4] = {};
    for (std::size_t row = height; row-- > 0;) {
        const std::uint8_t* from = rows + row * stride;
        out.insert(out.end(), from, from + width);
        out.insert(out.end(), kZeros, kZeros + (bytesPerLine - width));
    }
    return out;
}

} // namespace quorvane
