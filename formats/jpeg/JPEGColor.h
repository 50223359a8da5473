// Colour helpers for the JPEG decoder: four-component (CMYK, YCCK) rows
// converted to three components or to palette indices, and the fixed
// palettes those indices refer to. A converted row is exactly width pixels.
#pragma once

#include "JPEGBitmap.h"

#include <cstdint>

namespace quorvane {

// libjpeg quantises 8-bit and grey output to this many colours, leaving
// room for the 20 colours a palette display reserves.
constexpr int kJPEGQuantizeColors = 236;

// cmyk holds width pixels of C, M, Y, K bytes as libjpeg delivers them.
// inverted: the file stores 255 minus the ink (Adobe's way); else the ink.
void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted);
// Indices into GreyRampPalette().
void CmykRowToGreyIndex(const std::uint8_t* cmyk, std::uint8_t* out, int width, bool inverted);
// Indices into ColourCubePalette().
void CmykRowToCubeIndex(const std::uint8_t* cmyk, std::uint8_t* out, int width, bool inverted);

// kJPEGQuantizeColors grey levels from black to white.
TJPEGPalette GreyRampPalette();
// 6 x 6 x 6 colours, index = red * 36 + green * 6 + blue (each level 0..5).
TJPEGPalette ColourCubePalette();
// A general-purpose palette for palette displays: the colour cube and a
// ramp of greys, 236 entries in all.
TJPEGPalette HalftonePalette();

} // namespace quorvane
