// Small hostile pictures rebuilt at run time for the regression tests and the
// cost benchmark: each is a file that once cost far more time or memory than
// its size (huge claimed sizes, many scans, huge run-length patterns drawn
// again and again). Plain C++ so the benchmark's generator can use it too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::testing {

using THostileBytes = std::vector<std::uint8_t>;

struct THostileInput {
    std::string Name; // a file name, extension included
    THostileBytes Bytes;
};

// A 41-byte GIF whose only image claims 16384 x 16384 pixels.
THostileBytes GifClaimingHugeImage();
// A GIF of frames images of side x side pixels of one colour, each with the
// full LZW data (the longest strings the table allows).
THostileBytes GifOfHugeFrames(int frames, int side);
// A progressive grey JPEG of the given number of scans whose frame header
// claims side x side pixels (the scans hold 16 x 16).
THostileBytes JpegOfManyScans(int scans, int side);
// A placeable WMF of side x side pixels: brushes pattern brushes of a
// side x side run-length bitmap (each kept in its own slot, each filling
// the picture once), then rectangles filling the picture with the last one.
THostileBytes WmfOfPatternBrushes(int brushes, int rectangles, int side = 4096);
// The same as an EMF, followed by a comment record of padding bytes.
THostileBytes EmfOfPatternBrushes(int brushes, int rectangles, int side = 4096, int padding = 0);
// An EMF of side x side pixels drawing a side x side run-length bitmap over
// the whole picture draws times.
THostileBytes EmfOfStretchedBitmaps(int draws, int side = 4096);

// The inputs the benchmark times, at full size.
std::vector<THostileInput> HostileInputs();

} // namespace quorvane::testing
