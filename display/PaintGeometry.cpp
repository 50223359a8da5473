// The picture control's layout rules: natural size, centring with
// truncating halves, and the proportional shrink that fits both sides.
#include "PaintGeometry.h"

#include "TMetafile.h"

#include <cmath>

namespace quorvane {

namespace {

int Scale(int value, int numerator, int denominator)
{
    return static_cast<int>(MulDiv(value, numerator, denominator));
}

// The larger of the two proportional shrinks (full width, full height) that
// fits the control.
TPaintRect ShrinkToFit(int controlWidth, int controlHeight, int pictureWidth, int pictureHeight)
{
    const int heightAtFullWidth = Scale(pictureHeight, controlWidth, pictureWidth);
    if (heightAtFullWidth <= controlHeight) return {0, 0, controlWidth, heightAtFullWidth};
    return {0, 0, Scale(pictureWidth, controlHeight, pictureHeight), controlHeight};
}

} // namespace

TPaintLayout ComputePaintLayout(int controlWidth, int controlHeight, int pictureWidth, int pictureHeight,
                                bool stretchRatio, bool centerView)
{
    TPaintLayout layout;
    if (pictureWidth <= 0 || pictureHeight <= 0) return layout;
    layout.HasPicture = true;
    const bool fits = pictureWidth <= controlWidth && pictureHeight <= controlHeight;
    if (fits || !stretchRatio) {
        int x = 0, y = 0;
        if (centerView) {
            x = (controlWidth - pictureWidth) / 2;
            y = (controlHeight - pictureHeight) / 2;
        }
        layout.Picture = {x, y, x + pictureWidth, y + pictureHeight};
    } else {
        layout.Stretched = true;
        layout.Picture = ShrinkToFit(controlWidth, controlHeight, pictureWidth, pictureHeight);
    }
    const TPaintRect& p = layout.Picture;
    layout.Fills = {TPaintRect{0, 0, p.Right, p.Top}, TPaintRect{p.Right, 0, controlWidth, p.Bottom},
                    TPaintRect{p.Left, p.Bottom, controlWidth, controlHeight},
                    TPaintRect{0, p.Top, p.Left, controlHeight}};
    return layout;
}

std::array<int, 2> CentredTextPosition(int controlWidth, int controlHeight, int textWidth, int textHeight)
{
    return {(controlWidth - textWidth) / 2, (controlHeight - textHeight) / 2};
}

int LogicalExtent(int pixels, double ratio)
{
    if (ratio <= 1.0 || pixels <= 0) return pixels;
    return static_cast<int>(std::ceil(pixels / ratio - 1e-9));
}

} // namespace quorvane
