// The full-size viewer's rules as plain functions: the picture control's
// size and cursor after a load, the pan limits that keep the picture's edges
// outside the window, the arrow keys' step, fitting and zooming, and the stepping through the
// result rows that skips non-pictures. The viewer window calls these.
#pragma once

#include "TFileRecord.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace quorvane {

// The picture control's extent along one axis: never smaller than the
// window's client area, so a small picture is centred on black.
int ViewerImageExtent(int clientExtent, int pictureExtent);

// True when the control overhangs the client area in either direction: the
// picture can then be moved and the hand cursor is shown.
bool ViewerNeedsHand(int clientWidth, int clientHeight, int imageWidth, int imageHeight);

// The step of an arrow key: a fifth of the client extent, rounded to the
// nearest whole pixel.
int ViewerKeyStep(int clientExtent);

// A pan along one axis, limited so that the control's near edge never comes
// inside the window (position + delta <= 0) and its far edge never leaves
// the window's far edge. A control that fits cannot move: the result is 0.
int ClampPanDelta(int position, int extent, int clientExtent, int delta);

// The scale that shows a picture whole in the client area, proportions
// kept: at most 1 (a picture that fits keeps its natural size).
double ViewerFitScale(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight);

// The next scale of the zoom ladder (1/16 ... 1 ... 16) above scale when in,
// below it otherwise; a scale at the ladder's end stays.
double ViewerZoomStep(double scale, bool in);

// The picture control's position along one axis after a zoom from
// oldExtent to newExtent, with the point under the mouse (anchor, in the
// client's coordinates) kept under it; a control that fits is centred, and
// one that does not never shows black beyond its edges.
int ViewerZoomPosition(int position, int oldExtent, int newExtent, int clientExtent, int anchor);

// The row that shows path: the focused row when its full path is exactly
// path, else the first such row, else -1.
std::ptrdiff_t IndexOfPath(const std::vector<TFileRecord>& rows, std::ptrdiff_t focused,
                           std::string_view path);

enum class EViewerStep { Next, Prior, First, Last };

// Where a step lands. Allowed is false when the step's requirement does not
// hold (Next and Prior need a focused row, First and Last any row); then
// nothing at all happens. Row is the picture row found, or -1.
struct TViewerStepTarget {
    bool Allowed = false;
    std::ptrdiff_t Row = -1;
};

// Scans the rows in list order for the step's picture row: Next forwards
// from the row after the one showing shownPath, Prior backwards from the row
// before it (nothing when no row shows it), First from row 0, Last from the
// last row. Rows that are not pictures are skipped.
TViewerStepTarget FindViewerStep(const std::vector<TFileRecord>& rows, std::ptrdiff_t focused,
                                 std::string_view shownPath, EViewerStep step);

} // namespace quorvane
