// Device-independent bitmaps inside metafile records, decoded to TMfImage.
// Supported: core and info headers (up to V5), 1/4/8-bit palettes (also
// run-length encoded), 16-bit 5-5-5 and bit fields, 24-bit, 32-bit and
// 32-bit bit fields; rows bottom-up or top-down. Other compressions (JPEG,
// PNG) are refused and the record is skipped.
#include "MetafileDib.h"

#include "EMetafile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>

namespace quorvane {
namespace {

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitFields = 3;
constexpr std::uint64_t kMaxRlePixelsPerByte = 4096;

struct TDibHeader {
    std::int64_t Width = 0, Height = 0;
    bool BottomUp = true;
    bool KeepAlpha = false; // 32-bit BI_RGB pixels keep their fourth byte as alpha
    int BitCount = 0;
    std::uint32_t Compression = kBiRgb;
    std::array<std::uint32_t, 3> Masks{0x7C00, 0x03E0, 0x001F};
    std::uint64_t PaletteOffset = 0, PaletteEntries = 0, PaletteEntrySize = 4;
    std::uint64_t InfoSize = 0; // header, masks and palette
};

bool ReadHeaderFields(TByteView info, TDibHeader& h)
{
    const std::uint32_t size = info.U32(0);
    if (size == 12) {
        h.Width = info.U16(4);
        h.Height = info.U16(6);
        h.BitCount = info.U16(10);
        h.PaletteEntrySize = 3;
    } else if (size >= 40 && size <= 124) {
        h.Width = info.I32(4);
        h.Height = info.I32(8);
        h.BitCount = info.U16(14);
        h.Compression = info.U32(16);
    } else {
        return false;
    }
    h.BottomUp = h.Height > 0;
    if (h.Height < 0) h.Height = -h.Height;
    h.PaletteOffset = size;
    return true;
}

bool CheckSizes(const TDibHeader& h)
{
    using namespace MetafileLimits;
    const int b = h.BitCount;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) return false;
    const bool rle = (h.Compression == kBiRle8 && b == 8) || (h.Compression == kBiRle4 && b == 4);
    if (h.Compression != kBiRgb && !rle && !(h.Compression == kBiBitFields && (b == 16 || b == 32)))
        return false;
    if (rle && !h.BottomUp) return false; // run-length bitmaps are always stored bottom-up
    return h.Width >= 1 && h.Height >= 1 && h.Width <= kMaxBitmapSide && h.Height <= kMaxBitmapSide &&
           h.Width * h.Height <= kMaxBitmapPixels;
}

bool ReadMasksAndPalette(TByteView info, TDibHeader& h)
{
    const std::uint32_t size = info.U32(0);
    if (h.Compression == kBiBitFields) {
        // The masks follow a 40-byte header, or sit at the same place inside a larger one.
        for (std::size_t i = 0; i < 3; ++i)
            h.Masks[i] = info.U32(40 + 4 * i);
        if (size == 40) h.PaletteOffset += 12;
    }
    const std::uint64_t used = size >= 40 ? info.U32(32) : 0;
    if (h.BitCount <= 8) {
        const std::uint64_t full = std::uint64_t(1) << h.BitCount;
        if (used > full) return false;
        h.PaletteEntries = used ? used : full;
    } else {
        h.PaletteEntries = used; // an optional optimisation palette, skipped
        if (used > 256) return false;
    }
    h.InfoSize = h.PaletteOffset + h.PaletteEntries * h.PaletteEntrySize;
    return h.InfoSize <= info.Size();
}

std::optional<TDibHeader> ReadHeader(TByteView info)
{
    TDibHeader h;
    if (!ReadHeaderFields(info, h) || !CheckSizes(h) || !ReadMasksAndPalette(info, h)) return std::nullopt;
    return h;
}

std::vector<std::uint32_t> ReadPalette(TByteView info, const TDibHeader& h)
{
    std::vector<std::uint32_t> palette(std::size_t(1) << (h.BitCount <= 8 ? h.BitCount : 0), 0xFF000000u);
    if (h.BitCount > 8) return palette;
    for (std::uint64_t i = 0; i < h.PaletteEntries; ++i) {
        const std::size_t at = std::size_t(h.PaletteOffset + i * h.PaletteEntrySize);
        palette[i] = 0xFF000000u | (std::uint32_t(info.U8(at + 2)) << 16) |
                     (std::uint32_t(info.U8(at + 1)) << 8) | info.U8(at);
    }
    return palette;
}

std::uint32_t MaskedChannel(std::uint32_t pixel, std::uint32_t mask)
{
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const std::uint64_t max = (std::uint64_t(1) << width) - 1;
    const std::uint64_t value = (pixel & mask) >> shift;
    return std::uint32_t(std::min<std::uint64_t>(value * 255 / max, 255));
}

std::uint32_t FieldsPixel(std::uint32_t raw, const TDibHeader& h)
{
    return 0xFF000000u | (MaskedChannel(raw, h.Masks[0]) << 16) | (MaskedChannel(raw, h.Masks[1]) << 8) |
           MaskedChannel(raw, h.Masks[2]);
}

std::uint32_t ReadPixel(const std::uint8_t* row, std::int64_t x, const TDibHeader& h,
                        const std::vector<std::uint32_t>& palette)
{
    switch (h.BitCount) {
    case 1:
        return palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
    case 4:
        return palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
    case 8:
        return palette[row[x]];
    case 16:
        return FieldsPixel(std::uint32_t(row[2 * x] | (row[2 * x + 1] << 8)), h);
    case 24:
        return 0xFF000000u | (std::uint32_t(row[3 * x + 2]) << 16) | (row[3 * x + 1] << 8) | row[3 * x];
    default:
        break;
    }
    const std::uint8_t* p = row + 4 * x;
    const std::uint32_t raw = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
                              (std::uint32_t(p[3]) << 24);
    // Plain 32-bit DIBs carry an unused fourth byte; GDI draws them opaque.
    if (h.Compression == kBiBitFields) return FieldsPixel(raw, h);
    return h.KeepAlpha ? raw : (0xFF000000u | (raw & 0x00FFFFFFu));
}

// Writes run-length pixels straight into the image through the palette;
// pixels past the row or the image are dropped, pixels never written keep
// palette entry 0. Only the bytes of the data are walked: a run or a move
// past the image costs nothing more than its two bytes.
class TRleWriter {
  public:
    TRleWriter(TMfImage& image, const std::vector<std::uint32_t>& palette)
        : FImage(image), FPalette(palette), FWidth(image.Width), FHeight(image.Height)
    {
        FImage.Pixels.assign(std::size_t(FWidth) * std::size_t(FHeight), palette[0]);
    }
    void Run(int count, std::uint8_t first, std::uint8_t second)
    {
        // Pixels alternate between the two indices (equal for 8-bit runs).
        if (FY >= FHeight) return;
        const std::int64_t n = std::min<std::int64_t>(count, std::max<std::int64_t>(FWidth - FX, 0));
        std::uint32_t* row = Row();
        for (std::int64_t i = 0; i < n; ++i)
            row[FX + i] = FPalette[(i & 1) ? second : first];
        FX += count;
    }
    void Put(std::uint8_t index)
    {
        if (FX < FWidth && FY < FHeight) Row()[FX] = FPalette[index];
        ++FX;
    }
    void EndOfLine() { FX = 0, ++FY; }
    void Move(int dx, int dy) { FX += dx, FY += dy; }
    bool Done() const { return FY >= FHeight; }

  private:
    std::uint32_t* Row() { return FImage.Pixels.data() + std::size_t((FHeight - 1 - FY) * FWidth); }

    TMfImage& FImage;
    const std::vector<std::uint32_t>& FPalette;
    std::int64_t FWidth, FHeight, FX = 0, FY = 0;
};

// Decodes BI_RLE8 or BI_RLE4 data (escape codes: 0 end of line, 1 end of
// bitmap, 2 move by the next two bytes, 3 or more: that many literal pixels).
void DecodeRle(TByteView bits, const TDibHeader& h, TRleWriter& out)
{
    const bool four = h.BitCount == 4;
    std::size_t pos = 0;
    while (pos + 2 <= bits.Size() && !out.Done()) {
        const std::uint8_t count = bits.U8(pos), value = bits.U8(pos + 1);
        pos += 2;
        if (count > 0) {
            out.Run(count, four ? value >> 4 : value, four ? value & 0xF : value);
        } else if (value == 0) {
            out.EndOfLine();
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            out.Move(bits.U8(pos), bits.U8(pos + 1));
            pos += 2;
        } else {
            const std::size_t bytes = four ? (value + 1u) / 2 : value;
            for (int i = 0; i < value; ++i) {
                const std::uint8_t b = bits.U8(pos + (four ? std::size_t(i) / 2 : std::size_t(i)));
                out.Put(four ? std::uint8_t((i & 1) ? b & 0xF : b >> 4) : b);
            }
            pos += (bytes + 1) & ~std::size_t(1); // literal runs are padded to 16 bits
        }
    }
}

TMfDib DecodeRleDib(TByteView bits, const TDibHeader& h, const std::vector<std::uint32_t>& palette)
{
    TMfDib dib;
    dib.Image.Width = int(h.Width);
    dib.Image.Height = int(h.Height);
    TRleWriter writer(dib.Image, palette);
    DecodeRle(bits, h, writer);
    return dib;
}

} // namespace

std::optional<TMfDib> DecodeDib(TByteView info, TByteView bits, bool keepAlpha)
{
    try {
        std::optional<TDibHeader> h = ReadHeader(info);
        if (!h) return std::nullopt;
        h->KeepAlpha = keepAlpha;
        // Palettes are padded to 2^bits entries (black) so every index is valid.
        const std::vector<std::uint32_t> palette = ReadPalette(info, *h);
        if (h->Compression == kBiRle8 || h->Compression == kBiRle4) {
            // Runs can describe a large image in a few bytes: refuse a size
            // that the data could not reasonably describe.
            if (std::uint64_t(h->Width * h->Height) > kMaxRlePixelsPerByte * bits.Size()) return std::nullopt;
            return DecodeRleDib(bits, *h, palette);
        }
        const std::uint64_t stride = ((std::uint64_t(h->Width) * std::uint64_t(h->BitCount) + 31) / 32) * 4;
        if (stride * std::uint64_t(h->Height) > bits.Size()) return std::nullopt;
        TMfDib dib;
        dib.BottomUp = h->BottomUp;
        dib.Image.Width = int(h->Width);
        dib.Image.Height = int(h->Height);
        dib.Image.Pixels.resize(std::size_t(h->Width * h->Height));
        for (std::int64_t y = 0; y < h->Height; ++y) {
            const std::uint8_t* row = bits.Data() + std::size_t(stride * std::uint64_t(y));
            const std::int64_t target = h->BottomUp ? h->Height - 1 - y : y;
            std::uint32_t* out = dib.Image.Pixels.data() + std::size_t(target * h->Width);
            for (std::int64_t x = 0; x < h->Width; ++x)
                out[x] = ReadPixel(row, x, *h, palette);
        }
        return dib;
    } catch (const EByteRange&) {
        return std::nullopt;
    }
}

std::uint64_t DibPixelCount(TByteView info)
{
    try {
        TDibHeader h;
        if (!ReadHeaderFields(info, h)) return 0;
        const std::uint64_t cap = MetafileLimits::kMaxBitmapPixels + 1;
        const std::uint64_t w = std::uint64_t(std::min<std::int64_t>(std::abs(h.Width), std::int64_t(cap)));
        const std::uint64_t rows =
            std::uint64_t(std::min<std::int64_t>(std::abs(h.Height), std::int64_t(cap)));
        return std::min(w * rows, cap);
    } catch (const EByteRange&) {
        return 0;
    }
}

std::optional<TMfDib> DecodePackedDib(TByteView packed)
{
    try {
        const std::optional<TDibHeader> h = ReadHeader(packed);
        if (!h) return std::nullopt;
        const std::size_t infoSize = std::size_t(h->InfoSize);
        return DecodeDib(packed.Sub(0, infoSize), packed.Sub(infoSize, packed.Size() - infoSize));
    } catch (const EByteRange&) {
        return std::nullopt;
    }
}

} // namespace quorvane
