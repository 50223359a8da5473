// Fuzz target over one photo decoder wrapper (chosen at build time by
// QUORVANE_PHOTO_FUZZ_FORMAT), both with and without the turn upright and
// with and without a box to fill, and over the orientation parser. EPhoto
// is an expected outcome; crashes, sanitizer reports, leaks, hangs and
// memory beyond the cost rule are not.
#include "Orientation.h"
#include "PhotoDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvane;
    constexpr auto format = static_cast<TPhotoFormat>(QUORVANE_PHOTO_FUZZ_FORMAT);
    if (format == TPhotoFormat::Unknown) {
        const int orientation = ExifOrientationFromBytes(data, size);
        if (orientation < 1 || orientation > 8) __builtin_trap();
        if (ExifOrientationFromTiff(data, size) < 1) __builtin_trap();
        return 0;
    }
    for (const bool upright : {true, false}) {
        try {
            // Odd sizes ask for a reduced picture, and every third one names a
            // box (a RAW then looks for the smallest preview that fills it).
            TPhotoRequest request{upright, size % 2 ? 128 : 0};
            if (size % 3 == 0) request.BoxWidth = request.BoxHeight = 100;
            const TPhotoPicture picture = DecodePhotoBytes(data, size, format, request);
            // What comes back is what the fields promise.
            if (picture.Rgba.size() != std::size_t(picture.Width) * std::size_t(picture.Height) * 4)
                __builtin_trap();
        } catch (const EPhoto&) {
        }
    }
    return 0;
}
