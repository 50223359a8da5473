// TIndexedBitmap: the 8-bit, 256-colour device-independent bitmap of one GIF
// image, and its in-memory BMP form. Pixels are held top-down (row 0 first)
// in rows padded to a multiple of 4 bytes, so a display can wrap them as they
// are, e.g. QImage(Bits(), Width(), Height(), BytesPerLine(),
// QImage::Format_Indexed8) with setColorTable(Colors()); the BMP stream
// writes the same rows bottom-up, as that format wants.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

namespace quorvane {

class TIndexedBitmap {
  public:
    // Zero-filled pixels and an all-black palette.
    TIndexedBitmap(std::size_t width, std::size_t height);

    std::size_t Width() const { return FWidth; }
    std::size_t Height() const { return FHeight; }
    std::size_t BytesPerLine() const { return FBytesPerLine; }

    std::uint8_t* Bits() { return FBits.get(); }
    const std::uint8_t* Bits() const { return FBits.get(); }
    std::uint8_t* ScanLine(std::size_t row) { return FBits.get() + row * FBytesPerLine; }
    const std::uint8_t* ScanLine(std::size_t row) const { return FBits.get() + row * FBytesPerLine; }

    // Palette entries as 0xAARRGGBB with alpha 255 (a QRgb).
    const std::array<std::uint32_t, 256>& Colors() const { return FColors; }
    void SetColor(std::size_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

    // The BMP file image: 14-byte file header, 40-byte information header,
    // 256 palette quads (blue, green, red, 0), then the rows bottom-up.
    std::vector<std::uint8_t> BmpStream() const;

  private:
    struct TFree {
        void operator()(std::uint8_t* p) const noexcept;
    };
    std::size_t FWidth;
    std::size_t FHeight;
    std::size_t FBytesPerLine;
    std::unique_ptr<std::uint8_t, TFree> FBits;
    std::array<std::uint32_t, 256> FColors{};
};

// Bytes of the BMP stream before the pixel rows.
inline constexpr std::size_t kBmpPixelOffset = 14 + 40 + 256 * 4;

// The BMP file image of width x height 8-bit pixels whose top row starts at
// rows and whose rows lie stride bytes apart.
std::vector<std::uint8_t> BmpStreamOfRows(const std::array<std::uint32_t, 256>& colors, std::size_t width,
                                          std::size_t height, const std::uint8_t* rows, std::size_t stride);
// The same bytes written to a stream one row at a time (no copy of the image).
void WriteBmpOfRows(std::ostream& out, const std::array<std::uint32_t, 256>& colors, std::size_t width,
                    std::size_t height, const std::uint8_t* rows, std::size_t stride);

} // namespace quorvane
