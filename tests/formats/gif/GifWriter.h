// Builds GIF byte streams for the tests and the fuzz seeds: an LZW encoder
// that follows the decoder's code-width rules, a raw code packer for
// hand-made code streams, and a block-by-block file builder.
// Plain C++ so that tools outside Qt Test can use it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::testing {

using TBytes = std::vector<std::uint8_t>;

// Packs codes least significant bit first, as GIF image data wants.
class TCodePacker {
  public:
    void Put(unsigned code, unsigned width);
    TBytes Finish(); // flushes the last partial byte

  private:
    TBytes FBytes;
    std::uint32_t FAccumulator = 0;
    unsigned FBits = 0;
};

struct TLzwOptions {
    bool ClearFirst = true;    // start with a clear code
    bool ClearWhenFull = true; // send a clear code once the table is full
    // Without ClearWhenFull: after this many codes at a full table, send the
    // (deferred) clear code; 0 never clears.
    unsigned DeferredClearAfter = 0;
    bool EndCode = true; // finish with the end code
};

// LZW-compresses colour indices (each below 2^minCodeSize) in the order the
// stream carries them.
TBytes LzwEncode(const TBytes& pixels, unsigned minCodeSize, const TLzwOptions& options = {});

// Rows of an image reordered into interlaced stream order.
TBytes InterlaceRows(const TBytes& pixels, std::size_t width, std::size_t height);

// Splits data into sub-blocks of at most blockSize bytes, with the zero terminator.
TBytes SubBlocks(const TBytes& data, std::size_t blockSize = 255, bool terminator = true);

class TGifBuilder {
  public:
    TGifBuilder& Header(const std::string& signature = "GIF", const std::string& version = "89a");
    // flags: bit 7 global table present, bits 0-2 its size exponent - 1.
    TGifBuilder& Screen(std::uint16_t width, std::uint16_t height, std::uint8_t flags);
    TGifBuilder& ColorTable(const TBytes& rgb); // 3 bytes an entry, as many as given
    TGifBuilder& GraphicControl(std::uint16_t delay, std::uint8_t transparent = 0, std::uint8_t flags = 0);
    TGifBuilder& Comment(const std::string& text);
    TGifBuilder& Application(const std::string& identifier11, const TBytes& data);
    TGifBuilder& PlainText(const TBytes& header12, const std::string& text);
    // The image separator and the 9-byte descriptor.
    TGifBuilder& Descriptor(std::uint16_t width, std::uint16_t height, std::uint8_t flags = 0,
                            std::uint16_t left = 0, std::uint16_t top = 0);
    // Minimum code size and the data as sub-blocks with their terminator.
    TGifBuilder& ImageData(unsigned minCodeSize, const TBytes& data, std::size_t blockSize = 255);
    // Descriptor plus encoded data (interlaced when flags bit 6 is set).
    TGifBuilder& Image(std::uint16_t width, std::uint16_t height, const TBytes& pixels, unsigned minCodeSize,
                       std::uint8_t flags = 0);
    TGifBuilder& Raw(const TBytes& bytes);
    TGifBuilder& Trailer();
    const TBytes& Bytes() const { return FBytes; }

  private:
    TBytes FBytes;
};

// A complete file: one image, a global table of 2^bits entries
// (entry i = (i, 255 - i, i / 2)), LZW minimum code size max(2, bits).
TBytes SimpleGif(std::uint16_t width, std::uint16_t height, const TBytes& pixels, unsigned bits,
                 bool interlaced = false);

// Deterministic pseudo-random colour indices below 2^bits, with runs so that
// the LZW table holds long strings as well as short ones.
TBytes PatternPixels(std::size_t count, unsigned bits, std::uint32_t seed);

} // namespace quorvane::testing
