// CMYK conversion and the fixed palettes. Every routine writes exactly the
// pixels it is given a width for and nothing beyond them.
#include "JPEGColor.h"

namespace quorvane {
namespace {

inline std::uint8_t Scale255(unsigned a, unsigned b)
{
    return static_cast<std::uint8_t>((a * b + 127) / 255);
}

// One pixel's red, green and blue from its stored C, M, Y, K bytes.
struct TRgb {
    std::uint8_t R, G, B;
};
inline TRgb CmykToRgb(const std::uint8_t* p, bool inverted)
{
    if (inverted) {
        // Adobe stores 255 - ink: the stored bytes are already the light left.
        return {Scale255(p[0], p[3]), Scale255(p[1], p[3]), Scale255(p[2], p[3])};
    }
    const unsigned white = 255u - p[3];
    return {Scale255(255u - p[0], white), Scale255(255u - p[1], white), Scale255(255u - p[2], white)};
}

inline unsigned Luminance(const TRgb& c)
{
    return (c.R * 77u + c.G * 150u + c.B * 29u + 128u) >> 8;
}

inline unsigned CubeLevel(unsigned v)
{
    return (v * 5u + 127u) / 255u;
}

} // namespace

void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted)
{
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const TRgb c = CmykToRgb(cmyk, inverted);
        bgr[0] = c.B;
        bgr[1] = c.G;
        bgr[2] = c.R;
    }
}

void CmykRowToGreyIndex(const std::uint8_t* cmyk, std::uint8_t* out, int width, bool inverted)
{
    for (int x = 0; x < width; ++x, cmyk += 4) {
        const unsigned grey = Luminance(CmykToRgb(cmyk, inverted));
        out[x] = static_cast<std::uint8_t>((grey * (kJPEGQuantizeColors - 1) + 127) / 255);
    }
}

void CmykRowToCubeIndex(const std::uint8_t* cmyk, std::uint8_t* out, int width, bool inverted)
{
    for (int x = 0; x < width; ++x, cmyk += 4) {
        const TRgb c = CmykToRgb(cmyk, inverted);
        out[x] = static_cast<std::uint8_t>(CubeLevel(c.R) * 36 + CubeLevel(c.G) * 6 + CubeLevel(c.B));
    }
}

TJPEGPalette GreyRampPalette()
{
    TJPEGPalette palette(kJPEGQuantizeColors);
    for (int i = 0; i < kJPEGQuantizeColors; ++i) {
        const auto v =
            static_cast<std::uint8_t>((i * 255 + (kJPEGQuantizeColors - 1) / 2) / (kJPEGQuantizeColors - 1));
        palette[i] = {v, v, v};
    }
    return palette;
}

TJPEGPalette ColourCubePalette()
{
    TJPEGPalette palette;
    palette.reserve(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                                   static_cast<std::uint8_t>(b * 51)});
    return palette;
}

TJPEGPalette HalftonePalette()
{
    TJPEGPalette palette = ColourCubePalette();
    // Greys between the cube's own six, which the cube lacks.
    for (int i = 1; palette.size() < static_cast<std::size_t>(kJPEGQuantizeColors); ++i) {
        const auto v = static_cast<std::uint8_t>(i * 255 / 21);
        if (v % 51 != 0) palette.push_back({v, v, v});
    }
    return palette;
}

} // namespace quorvane
