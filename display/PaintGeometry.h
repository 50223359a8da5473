// Where the picture control draws: the picture's rectangle inside the control
// and the four rectangles filled around it, as plain integer geometry.
// Invariant: the picture and the four fills together cover the control
// exactly once when the picture lies inside it.
#pragma once

#include <array>

namespace quorvane {

// Left, top, right and bottom edges (right and bottom excluded). A rectangle
// whose right is not beyond its left, or bottom beyond its top, is empty.
struct TPaintRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Empty() const { return Right <= Left || Bottom <= Top; }
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TPaintRect&) const = default;
};

struct TPaintLayout {
    bool HasPicture = false; // false: nothing but the empty label is painted
    bool Stretched = false;  // the picture is shrunk into Picture
    TPaintRect Picture;      // where the picture is drawn
    // Filled with the background colour, in this order: above, right of,
    // below and left of the picture.
    std::array<TPaintRect, 4> Fills;
};

// The layout of a picture of pictureWidth x pictureHeight in a control of
// controlWidth x controlHeight. A picture that fits, or any picture when
// stretchRatio is false, is drawn at natural size, centred when centerView
// is set (halves truncated toward zero) and else at the top-left corner. A
// larger picture with stretchRatio set is shrunk, proportions kept, to the
// largest size that fits both sides, anchored at the top-left corner.
TPaintLayout ComputePaintLayout(int controlWidth, int controlHeight, int pictureWidth, int pictureHeight,
                                bool stretchRatio, bool centerView);

// Pixels of the screen to units of a control at the given device pixel
// ratio, rounded up so that the whole picture stays inside the extent.
int LogicalExtent(int pixels, double ratio);

// Top-left corner of a text of textWidth x textHeight centred in the control.
std::array<int, 2> CentredTextPosition(int controlWidth, int controlHeight, int textWidth, int textHeight);

} // namespace quorvane
