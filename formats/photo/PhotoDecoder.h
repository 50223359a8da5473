// The photo formats the program reads through well-kept libraries (PNG,
// WebP, TIFF, HEIC/HEIF, AVIF, JPEG XL, camera RAW) behind one plain call
// that any thread may make: bytes in, top-down RGBA out. Every decoder keeps
// the cost rule of DecodeCost.h: the size a header claims is checked against
// the pixel cap and against what the file's bytes can back before anything
// is allocated for the pixels, and files are read only up to a fixed cap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

enum class TPhotoFormat { Unknown, Png, WebP, Tiff, Heif, Jxl, Raw };

// A decoded picture: Width x Height pixels of 4 bytes (R, G, B, A), rows
// top-down and tightly packed, turned upright when the request asked for it.
struct TPhotoPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgba;
    bool HasAlpha = false;
    // Width x height of the picture at full size (before any reduction).
    std::uint64_t FullPixels = 0;
};

struct TPhotoRequest {
    // Apply the orientation the file carries (EXIF, HEIF's transforms).
    bool Upright = true;
    // When above 0, a decoder that can decode smaller for less (a RAW's
    // JPEG preview, LibRaw's half size) may return a picture whose shorter
    // side is not below this; 0 asks for the full size.
    int MinShortSide = 0;
    // 2, 4 or 8: a decoder that holds a JPEG inside (a RAW's preview) may
    // decode it at 1/2, 1/4 or 1/8 of its size, as the window's JPEG scale
    // does for a JPEG file; 1 asks for no such reduction.
    int ReduceBy = 1;
    // When both are above 0, the picture will only be drawn shrunk into a
    // box of this many pixels: a decoder holding several pictures (a RAW's
    // previews) may return the smallest that still fills it, upright.
    int BoxWidth = 0;
    int BoxHeight = 0;
};

// Raised for every file that cannot be decoded within the rules; the text
// says why.
class EPhoto : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The bounds every photo decoder applies.
struct TPhotoLimits {
    static constexpr std::uint64_t MaxPixels = std::uint64_t{1} << 28; // 268 MPix, as JPEG
    static constexpr std::uint32_t MaxSide = 65535;
    // Beyond FreePixels, a claim needs a byte of file for each PixelsPerByte
    // pixels (deflate, the densest of these codings, packs about 1,000 bytes
    // of pixels in a byte; photographs stay far below 64 pixels a byte).
    static constexpr std::uint64_t FreePixels = std::uint64_t{16} << 20;
    static constexpr std::uint64_t PixelsPerByte = 256;
    // Files longer than this are refused unread.
    static constexpr std::uint64_t MaxFileBytes = std::uint64_t{512} << 20;
};

// The format a name's extension (case-insensitive) belongs to: .PNG; .WEBP;
// .TIF, .TIFF; .HEIC, .HEIF, .HIF, .AVIF; .JXL; the RAW extensions.
TPhotoFormat PhotoFormatOfName(std::string_view name);
// The format the first bytes show (a RAW in a TIFF container shows TIFF).
TPhotoFormat PhotoFormatOfBytes(const std::uint8_t* data, std::size_t size);
// True when the name's extension is one of the photo formats.
inline bool IsPhotoFileName(std::string_view name)
{
    return PhotoFormatOfName(name) != TPhotoFormat::Unknown;
}

// Throws EPhoto unless width x height is a picture the rules let a file of
// dataBytes bytes decode.
void CheckPhotoClaim(std::uint64_t width, std::uint64_t height, std::uint64_t dataBytes);

// Decodes bytes of the given format; EPhoto when they cannot be decoded.
TPhotoPicture DecodePhotoBytes(const std::uint8_t* data, std::size_t size, TPhotoFormat format,
                               const TPhotoRequest& request);

// Reads the file at path (file-system bytes; at most MaxFileBytes) and
// decodes it by its signature; a name with a RAW extension is read as RAW.
TPhotoPicture DecodePhotoFile(const std::string& path, const TPhotoRequest& request);

// Width times height of the photo at path read from its headers only (no
// pixel decoded): WebP, TIFF, HEIF/AVIF, JPEG XL and RAW (the developed
// size); 0 for PNG (PictureHeaderPixels reads it), other formats, or a
// file whose headers cannot be read.
std::uint64_t PhotoHeaderPixels(const std::string& path);

// The file's bytes, or EPhoto when it cannot be read or is over maxBytes.
std::vector<std::uint8_t> ReadPhotoFile(const std::string& path, std::uint64_t maxBytes);

} // namespace quorvane
