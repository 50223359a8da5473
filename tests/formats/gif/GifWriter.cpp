// The test GIF writer. The encoder tracks the decoder's table size, so each
// code goes out at the width the decoder will read it with, and a clear code
// follows as soon as the decoder's table is full.
#include "GifWriter.h"

#include <algorithm>
#include <map>
#include <utility>

namespace quorvane::testing {

void TCodePacker::Put(unsigned code, unsigned width)
{
    FAccumulator |= static_cast<std::uint32_t>(code) << FBits;
    FBits += width;
    while (FBits >= 8) {
        FBytes.push_back(static_cast<std::uint8_t>(FAccumulator));
        FAccumulator >>= 8;
        FBits -= 8;
    }
}

TBytes TCodePacker::Finish()
{
    if (FBits > 0) FBytes.push_back(static_cast<std::uint8_t>(FAccumulator));
    FAccumulator = 0;
    FBits = 0;
    return std::move(FBytes);
}

namespace {

class TLzwEncoder {
  public:
    TLzwEncoder(unsigned minCodeSize, const TLzwOptions& options)
        : FMin(minCodeSize), FClear(1u << minCodeSize), FOptions(options)
    {
        Reset();
    }

    // Sends a string's code; true when a clear code had to follow it (the
    // table is then empty and the string's successor adds no entry).
    bool Emit(unsigned code)
    {
        FPacker.Put(code, Width());
        if (FCodesInSegment++ >= 1 && FDecoderNext < 4096) ++FDecoderNext;
        if (FDecoderNext < 4096) return false;
        const unsigned after = FOptions.DeferredClearAfter;
        if (!FOptions.ClearWhenFull && (after == 0 || ++FCodesWhenFull < after)) return false;
        Clear();
        return true;
    }
    void EmitEnd() { FPacker.Put(FClear + 1, Width()); }
    void Clear()
    {
        FPacker.Put(FClear, Width());
        Reset();
    }
    void Add(unsigned prefix, std::uint8_t pixel)
    {
        if (FNext < 4096) FTable[{prefix, pixel}] = FNext++;
    }
    bool Find(unsigned prefix, std::uint8_t pixel, unsigned& code) const
    {
        const auto it = FTable.find({prefix, pixel});
        if (it == FTable.end()) return false;
        code = it->second;
        return true;
    }
    TBytes Finish() { return FPacker.Finish(); }

  private:
    // The width the decoder reads the next code with.
    unsigned Width() const
    {
        unsigned width = FMin + 1;
        while (width < 12 && FDecoderNext >= (1u << width))
            ++width;
        return width;
    }
    void Reset()
    {
        FTable.clear();
        FNext = FClear + 2;
        FDecoderNext = FClear + 2;
        FCodesInSegment = 0;
        FCodesWhenFull = 0;
    }

    unsigned FMin;
    unsigned FClear;
    TLzwOptions FOptions;
    TCodePacker FPacker;
    std::map<std::pair<unsigned, std::uint8_t>, unsigned> FTable;
    unsigned FNext = 0;
    unsigned FDecoderNext = 0;
    unsigned FCodesInSegment = 0;
    unsigned FCodesWhenFull = 0;
};

} // namespace

TBytes LzwEncode(const TBytes& pixels, unsigned minCodeSize, const TLzwOptions& options)
{
    TLzwEncoder encoder(minCodeSize, options);
    if (options.ClearFirst) encoder.Clear();
    if (!pixels.empty()) {
        unsigned current = pixels[0];
        for (std::size_t i = 1; i < pixels.size(); ++i) {
            unsigned code = 0;
            if (encoder.Find(current, pixels[i], code)) {
                current = code;
                continue;
            }
            if (!encoder.Emit(current)) encoder.Add(current, pixels[i]);
            current = pixels[i];
        }
        encoder.Emit(current);
    }
    if (options.EndCode) encoder.EmitEnd();
    return encoder.Finish();
}

TBytes InterlaceRows(const TBytes& pixels, std::size_t width, std::size_t height)
{
    static constexpr std::size_t kFirst[4] = {0, 4, 2, 1};
    static constexpr std::size_t kStep[4] = {8, 8, 4, 2};
    TBytes out;
    out.reserve(pixels.size());
    for (int pass = 0; pass < 4; ++pass)
        for (std::size_t row = kFirst[pass]; row < height; row += kStep[pass])
            out.insert(out.end(), pixels.begin() + row * width, pixels.begin() + (row + 1) * width);
    return out;
}

TBytes SubBlocks(const TBytes& data, std::size_t blockSize, bool terminator)
{
    TBytes out;
    for (std::size_t at = 0; at < data.size(); at += blockSize) {
        const std::size_t n = std::min(blockSize, data.size() - at);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), data.begin() + at, data.begin() + at + n);
    }
    if (terminator) out.push_back(0);
    return out;
}

TGifBuilder& TGifBuilder::Header(const std::string& signature, const std::string& version)
{
    FBytes.insert(FBytes.end(), signature.begin(), signature.end());
    FBytes.insert(FBytes.end(), version.begin(), version.end());
    return *this;
}

TGifBuilder& TGifBuilder::Screen(std::uint16_t width, std::uint16_t height, std::uint8_t flags)
{
    return Raw({static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(width >> 8),
                static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(height >> 8), flags, 0, 0});
}

TGifBuilder& TGifBuilder::ColorTable(const TBytes& rgb)
{
    return Raw(rgb);
}

TGifBuilder& TGifBuilder::GraphicControl(std::uint16_t delay, std::uint8_t transparent, std::uint8_t flags)
{
    return Raw({0x21, 0xF9, 4, flags, static_cast<std::uint8_t>(delay), static_cast<std::uint8_t>(delay >> 8),
                transparent, 0});
}

TGifBuilder& TGifBuilder::Comment(const std::string& text)
{
    Raw({0x21, 0xFE});
    return Raw(SubBlocks(TBytes(text.begin(), text.end())));
}

TGifBuilder& TGifBuilder::Application(const std::string& identifier11, const TBytes& data)
{
    Raw({0x21, 0xFF, 11});
    FBytes.insert(FBytes.end(), identifier11.begin(), identifier11.end());
    return Raw(SubBlocks(data));
}

TGifBuilder& TGifBuilder::PlainText(const TBytes& header12, const std::string& text)
{
    Raw({0x21, 0x01, 12});
    Raw(header12);
    return Raw(SubBlocks(TBytes(text.begin(), text.end())));
}

TGifBuilder& TGifBuilder::Descriptor(std::uint16_t width, std::uint16_t height, std::uint8_t flags,
                                     std::uint16_t left, std::uint16_t top)
{
    return Raw({0x2C, static_cast<std::uint8_t>(left), static_cast<std::uint8_t>(left >> 8),
                static_cast<std::uint8_t>(top), static_cast<std::uint8_t>(top >> 8),
                static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(width >> 8),
                static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(height >> 8), flags});
}

TGifBuilder& TGifBuilder::ImageData(unsigned minCodeSize, const TBytes& data, std::size_t blockSize)
{
    FBytes.push_back(static_cast<std::uint8_t>(minCodeSize));
    return Raw(SubBlocks(data, blockSize));
}

TGifBuilder& TGifBuilder::Image(std::uint16_t width, std::uint16_t height, const TBytes& pixels,
                                unsigned minCodeSize, std::uint8_t flags)
{
    Descriptor(width, height, flags);
    const bool interlaced = (flags & 0x40) != 0;
    return ImageData(minCodeSize,
                     LzwEncode(interlaced ? InterlaceRows(pixels, width, height) : pixels, minCodeSize));
}

TGifBuilder& TGifBuilder::Raw(const TBytes& bytes)
{
    FBytes.insert(FBytes.end(), bytes.begin(), bytes.end());
    return *this;
}

TGifBuilder& TGifBuilder::Trailer()
{
    return Raw({0x3B});
}

TBytes SimpleGif(std::uint16_t width, std::uint16_t height, const TBytes& pixels, unsigned bits,
                 bool interlaced)
{
    TBytes table;
    for (unsigned i = 0; i < (1u << bits); ++i) {
        table.push_back(static_cast<std::uint8_t>(i));
        table.push_back(static_cast<std::uint8_t>(255 - i));
        table.push_back(static_cast<std::uint8_t>(i / 2));
    }
    TGifBuilder gif;
    gif.Header().Screen(width, height, static_cast<std::uint8_t>(0x80 | (bits - 1))).ColorTable(table);
    gif.Image(width, height, pixels, std::max(2u, bits), interlaced ? 0x40 : 0);
    return gif.Trailer().Bytes();
}

TBytes PatternPixels(std::size_t count, unsigned bits, std::uint32_t seed)
{
    TBytes out;
    out.reserve(count);
    std::uint32_t state = seed * 2654435761u + 1;
    while (out.size() < count) {
        state = state * 1664525u + 1013904223u;
        const auto colour = static_cast<std::uint8_t>((state >> 8) & ((1u << bits) - 1));
        const std::size_t run = 1 + ((state >> 24) % 7 == 0 ? (state >> 16) % 40 : 0);
        for (std::size_t i = 0; i < run && out.size() < count; ++i)
            out.push_back(colour);
    }
    return out;
}

} // namespace quorvane::testing
