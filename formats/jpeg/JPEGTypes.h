// The small types shared by the JPEG picture and its decoder: settings
// enumerations, exceptions, decode limits and progress reports.
// Enumerations keep their declared order (ordinal 0 first); each fits a byte.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace quorvane {

enum class TJPEGPixelFormat : std::uint8_t { jf24Bit, jf8Bit };
enum class TJPEGPerformance : std::uint8_t { jpBestQuality, jpBestSpeed };
enum class TJPEGScale : std::uint8_t { jsFullSize, jsHalf, jsQuarter, jsEighth };
using TJPEGQualityRange = std::uint8_t; // 1..100, used only when encoding

// A libjpeg failure. The message is "JPEG error #<code>" with libjpeg's own
// message code (jerror.h), so it differs between library releases.
class EJPEG : public std::runtime_error {
  public:
    explicit EJPEG(int code);
    int Code() const { return FCode; }

  private:
    int FCode;
};

// Raised on an attempt to resize a JPEG picture.
class EJPEGSize : public std::runtime_error {
  public:
    EJPEGSize() : std::runtime_error("Cannot change the size of a JPEG image") {}
};

// Thrown by a progress listener to cancel a decode quietly: the decode stops,
// keeps the rows done so far, and no error reaches the caller.
class EJPEGAbort : public std::exception {
  public:
    const char* what() const noexcept override { return "JPEG decode cancelled"; }
};

// Bounds that refuse decompression bombs. A header beyond them, a file with
// more scans, or a decode needing more library memory fails with EJPEG.
struct TJPEGLimits {
    std::uint32_t MaxSide = 65500;        // the largest side JPEG itself allows
    std::uint64_t MaxPixels = 1ull << 28; // 268 MPix: above the 200 MPix of any camera
    int MaxScans = 100;                   // real progressive files use about 10
    long MaxMemory = 1024l * 1024 * 1024; // libjpeg's own buffers (coefficients), 1 GiB
    // A header claiming more than FreePixels and more than PixelsPerByte for
    // each byte of the file is refused as damaged (see DecodeCost.h). One
    // Huffman-coded scan needs at least a bit per 8 x 8 block, so real files
    // stay far below 512 pixels a byte; 16 Mi pixels decode in well under a
    // second even with 100 scans.
    std::uint64_t FreePixels = std::uint64_t{16} << 20;
    std::uint64_t PixelsPerByte = 512;
    // Progressive display: an intermediate output pass only after this much
    // input decoding since the last pass, and at most MaxEarlyPasses in all;
    // the final pass always follows.
    int EarlyPassIntervalMs = 100;
    int MaxEarlyPasses = 10;
};

enum class TProgressStage : std::uint8_t { psStarting, psRunning, psEnding };

struct TJPEGRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Progress report of a decode: stage, percentage, whether the rectangle of
// newly decoded rows is worth repainting now, and that rectangle.
using TJPEGProgressEvent =
    std::function<void(TProgressStage stage, int percent, bool redrawNow, const TJPEGRect& rect)>;

// Monotonic milliseconds; replaceable so that tests can drive the throttle.
using TJPEGClock = std::function<std::int64_t()>;

// The start-up default pixel format for a screen of the given bits per pixel
// (bits times colour planes): 8-bit for palette screens, else 24-bit.
TJPEGPixelFormat PixelFormatForScreenDepth(int bitsPerPixel);

} // namespace quorvane
