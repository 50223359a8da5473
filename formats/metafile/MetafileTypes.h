// Value types shared by the metafile players and the canvases they draw on.
// Every coordinate handed to a canvas is already in canvas pixels: the player
// owns all mapping (window, viewport, mapping mode, world transform), so a
// canvas never needs to know which metafile format it is drawing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvane {

struct TMfColor {
    std::uint8_t R = 0, G = 0, B = 0;
    friend bool operator==(const TMfColor&, const TMfColor&) = default;
};

struct TMfPoint {
    double X = 0, Y = 0;
};

// A 32-bit image, rows top-down, pixels 0xAARRGGBB. Decoded bitmaps are opaque.
struct TMfImage {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels;
    std::uint32_t Pixel(int x, int y) const
    {
        return Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)];
    }
};

enum class TMfPenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Null };
enum class TMfLineCap { Round, Square, Flat };
enum class TMfLineJoin { Round, Bevel, Miter };

struct TMfPen {
    TMfPenStyle Style = TMfPenStyle::Solid;
    double Width = 0; // canvas pixels; 0 draws the thinnest visible line
    TMfColor Color;
    TMfLineCap Cap = TMfLineCap::Round;
    TMfLineJoin Join = TMfLineJoin::Round;
};

enum class TMfBrushStyle { Solid, Null, Hatched, Pattern };
enum class TMfHatch { Horizontal, Vertical, ForwardDiagonal, BackwardDiagonal, Cross, DiagonalCross };

struct TMfBrush {
    TMfBrushStyle Style = TMfBrushStyle::Solid;
    TMfColor Color{255, 255, 255};
    TMfHatch Hatch = TMfHatch::Horizontal;
    std::shared_ptr<const TMfImage> Pattern; // set for Pattern brushes
};

enum class TMfFillMode { Alternate, Winding };

struct TMfFont {
    double Height = 0;       // canvas pixels
    bool CellHeight = false; // Height is the whole character cell, not the em
    int Weight = 400;
    bool Italic = false, Underline = false, StrikeOut = false;
    double Angle = 0; // degrees, clockwise on the canvas (y grows downwards)
    std::u16string FaceName;
    std::uint8_t Charset = 0;
};

enum class TMfPathOp : std::uint8_t { MoveTo, LineTo, CubicTo, Close };

// A path of sub-paths; CubicTo consumes three points (two controls, end).
struct TMfPath {
    std::vector<TMfPathOp> Ops;
    std::vector<TMfPoint> Points;

    void MoveTo(TMfPoint p);
    void LineTo(TMfPoint p);
    void CubicTo(TMfPoint c1, TMfPoint c2, TMfPoint end);
    void Close();
    void Append(const TMfPath& other);
    bool Empty() const { return Ops.empty(); }
};

// A clip: the intersection of these regions. The paths are shared, so saving
// and restoring a drawing state never copies them.
using TMfClip = std::vector<std::shared_ptr<const TMfPath>>;

enum class TMfHAlign { Left, Center, Right };
enum class TMfVAlign { Top, Baseline, Bottom };

struct TMfText {
    TMfPoint Origin;
    std::u16string Text;
    // Set for 8-bit text in a charset the player does not decode itself; Text
    // then holds the bytes read as Latin-1 and a canvas may decode them better.
    std::string AnsiBytes;
    TMfFont Font;
    TMfColor Color;
    TMfHAlign HAlign = TMfHAlign::Left;
    TMfVAlign VAlign = TMfVAlign::Top;
    bool Opaque = false; // fill the text cell with Background first
    TMfColor Background{255, 255, 255};
};

// Where an image goes: the canvas points of the source rectangle's top-left,
// top-right and bottom-left corners (a parallelogram, so mirroring and world
// rotation need nothing else).
struct TMfImagePlacement {
    TMfPoint TopLeft, TopRight, BottomLeft;
    int SourceX = 0, SourceY = 0, SourceWidth = 0, SourceHeight = 0; // inside the image, top-down
};

// The raster operations of bitmap records that clip art really uses.
enum class TMfRop { Copy, And, Or, Xor, NotCopy };

} // namespace quorvane
