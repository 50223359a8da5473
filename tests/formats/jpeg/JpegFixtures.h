// Test JPEG files built at run time with libjpeg's own compressor, and byte
// surgery on them (finding and editing markers) for damaged-file cases.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace quorvane::test {

using Bytes = std::vector<std::uint8_t>;

enum class FixtureKind { Colour, Grey, Cmyk, Ycck };

struct FixtureRecipe {
    int Width = 64;
    int Height = 48;
    FixtureKind Kind = FixtureKind::Colour;
    int Quality = 95;
    bool FullChroma = true;   // 1x1 sampling: pure colours come back exact
    bool Progressive = false; // libjpeg's standard progressive script
    int ScanCount = 0;        // grey only: a script of this many scans (2..128)
    bool AdobeMarker = true;  // four-component files only
    // Pixel source: components in the input colour space (RGB, grey or CMYK).
    std::function<void(int x, int y, std::uint8_t* out)> Pixel;
};

Bytes MakeJpeg(const FixtureRecipe& recipe);

// A recipe filling the picture with one RGB colour.
FixtureRecipe SolidColour(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b);

// Offset of the n-th (0-based) marker 0xFF <code> outside entropy data, or -1.
long FindMarker(const Bytes& jpeg, std::uint8_t code, int n = 0);
// Removes every DQT segment.
Bytes WithoutQuantTables(const Bytes& jpeg);
// Sets the frame size in the SOF0/SOF2 header.
Bytes WithFrameSize(const Bytes& jpeg, int width, int height);

} // namespace quorvane::test
