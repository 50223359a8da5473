// Fuzz entry for the GIF reader and decoder: parses any bytes, then builds
// every image's bitmap and BMP stream. Only exceptions of the reader's own
// kinds may leave a load; anything else (a crash, a sanitizer report, a
// foreign exception) is a finding.
#include "GifUnit.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quorvane::TGifFile file;
    try {
        file.LoadFromBytes(data, size);
    } catch (const quorvane::EGifException&) {
    } catch (const quorvane::EGifListError&) {
    } catch (const quorvane::EIndexOutOfBounds&) {
    } catch (const quorvane::ENotEnoughMemory&) {
    }
    // Image 1's bitmap and stream are built as the display and the command
    // line build them, whatever its size; later images only when small.
    for (std::size_t i = 1; i <= file.ImageCount(); ++i) {
        quorvane::TGifSubImage& image = file.Image(i);
        if (i > 1 && std::size_t{image.Width()} * image.Height() > (std::size_t{1} << 20)) continue;
        if (i == 1) (void)image.Bitmap();
        const auto stream = image.BitmapStream();
        if (stream.size() < quorvane::kBmpPixelOffset) __builtin_trap();
    }
    (void)file.AnimationDelay();
    return 0;
}
