// TJPEGBitmap: the device-independent bitmap a JPEG decodes into.
// Rows are stored bottom-up, each padded to a multiple of 4 bytes; 24-bit
// pixels are blue, green, red; 8-bit pixels index Palette. Every byte is
// defined: Resize clears the rows, or (for a decoder that writes every row)
// only the padding, the decoder then clearing whatever rows it did not reach.
//
// For Qt, the block is a QImage as it stands, upside down: QImage(Bits(),
// Width(), Height(), RowBytes(), QImage::Format_BGR888 or Format_Indexed8
// with the palette as its colour table) shares the memory without a copy;
// draw it through a vertical flip (QTransform(1, 0, 0, -1, 0, Height())), or
// take mirrored() for a top-down copy. RowBytes() meets QImage's alignment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvane {

struct TPaletteEntry {
    std::uint8_t Red = 0, Green = 0, Blue = 0;
    bool operator==(const TPaletteEntry&) const = default;
};
using TJPEGPalette = std::vector<TPaletteEntry>;

class TJPEGBitmap {
  public:
    // An empty 0 x 0 bitmap of the given depth.
    explicit TJPEGBitmap(int bitsPerPixel = 24);
    TJPEGBitmap(const TJPEGBitmap& other);
    TJPEGBitmap& operator=(const TJPEGBitmap& other);
    ~TJPEGBitmap();

    // Sizes the bitmap and clears every byte, or with clearRows false only
    // the padding at each row's end: the caller must then write or clear
    // every row's pixels. Throws std::bad_alloc when the memory cannot be
    // had; the caller bounds the size beforehand.
    void Resize(int width, int height, bool clearRows = true);
    // Clears the pixels of rows first..last (from the top), inclusive.
    void ClearRows(int first, int last);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int BitsPerPixel() const { return FBitsPerPixel; }
    // Bytes from one stored row to the next: the row padded to 4 bytes.
    std::size_t RowBytes() const { return FRowBytes; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }

    // The first stored row, which is the picture's bottom row.
    std::uint8_t* Bits() { return FBits; }
    const std::uint8_t* Bits() const { return FBits; }
    // Row y counted from the top of the picture.
    std::uint8_t* ScanLine(int y) { return FBits + RowOffset(y); }
    const std::uint8_t* ScanLine(int y) const { return FBits + RowOffset(y); }

    // The colours of an 8-bit bitmap (at most 256); empty for 24 bits.
    TJPEGPalette Palette;

    static std::size_t RowBytesFor(int width, int bitsPerPixel);

  private:
    std::size_t RowOffset(int y) const { return static_cast<std::size_t>(FHeight - 1 - y) * FRowBytes; }

    void Release();

    int FWidth = 0;
    int FHeight = 0;
    int FBitsPerPixel = 24;
    std::size_t FRowBytes = 0;
    std::uint8_t* FBits = nullptr;
    std::size_t FCapacity = 0;
};

} // namespace quorvane
