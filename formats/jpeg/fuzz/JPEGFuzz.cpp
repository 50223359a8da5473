// Fuzz target: load arbitrary bytes as a JPEG, query the size at each scale
// and decode with settings taken from the input's last byte. Any EJPEG is an
// expected outcome; crashes, leaks, sanitizer reports and hangs are not.
#include "JPEGImage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// The real bounds: the claim rule keeps what a small input may ask for
// within what one run can afford.
quorvane::TJPEGLimits FuzzLimits()
{
    return quorvane::TJPEGLimits{};
}

void DecodeWith(const std::vector<std::uint8_t>& bytes, std::uint8_t knobs, quorvane::TJPEGScale scale)
{
    using namespace quorvane;
    TJPEGImage image;
    image.SetLimits(FuzzLimits());
    try {
        image.LoadFromBytes(bytes);
    } catch (const EJPEG&) {
        return;
    }
    image.SetPixelFormat(knobs & 1 ? TJPEGPixelFormat::jf8Bit : TJPEGPixelFormat::jf24Bit);
    image.SetGrayscale(knobs & 2);
    image.SetPerformance(knobs & 4 ? TJPEGPerformance::jpBestSpeed : TJPEGPerformance::jpBestQuality);
    image.SetProgressiveDisplay(knobs & 8);
    image.SetSmoothing(!(knobs & 16));
    if (knobs & 32) image.SetPalette({{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}});
    image.SetScale(scale);
    try {
        const int w = image.Width();
        const int h = image.Height();
        const TJPEGBitmap& bitmap = image.Bitmap();
        // The decoded size must be the size promised before decoding.
        if (!bitmap.Empty() && (bitmap.Width() != w || bitmap.Height() != h)) __builtin_trap();
    } catch (const EJPEG&) {
    }
    // A failed decode keeps its bitmap: asking again must not decode again.
    (void)image.Bitmap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::uint8_t knobs = data[size - 1];
    const std::vector<std::uint8_t> bytes(data, data + size - 1);
    const auto scales = {quorvane::TJPEGScale::jsFullSize, quorvane::TJPEGScale::jsHalf,
                         quorvane::TJPEGScale::jsQuarter, quorvane::TJPEGScale::jsEighth};
    for (quorvane::TJPEGScale scale : scales)
        DecodeWith(bytes, knobs, scale);
    return 0;
}
