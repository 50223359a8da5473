// The full-size viewer's rules: sizes, pan limits, key steps and the picture
// rows a step lands on. Plain functions over numbers and rows, no widgets.
#include "ViewerRules.h"

#include "PathRules.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace quorvane {

int ViewerImageExtent(int clientExtent, int pictureExtent)
{
    return std::max(clientExtent, pictureExtent);
}

bool ViewerNeedsHand(int clientWidth, int clientHeight, int imageWidth, int imageHeight)
{
    return clientWidth < imageWidth || clientHeight < imageHeight;
}

int ViewerKeyStep(int clientExtent)
{
    // extent * 0.2 rounded: a fifth never ends in exactly .5, so rounding
    // half up in integers gives the same result without floating point.
    if (clientExtent <= 0) return 0;
    return static_cast<int>((static_cast<long long>(clientExtent) * 2 + 5) / 10);
}

int ClampPanDelta(int position, int extent, int clientExtent, int delta)
{
    // Wide arithmetic: a drag across a huge picture must not overflow.
    const long long left = position;
    const long long moved = left + delta;
    if (moved > 0) return static_cast<int>(-left);
    if (moved + extent < clientExtent) return static_cast<int>(clientExtent - (extent + left));
    return delta;
}

double ViewerFitScale(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || clientWidth <= 0 || clientHeight <= 0) return 1.0;
    return std::min({1.0, double(clientWidth) / pictureWidth, double(clientHeight) / pictureHeight});
}

double ViewerZoomStep(double scale, bool in)
{
    static constexpr double kLadder[] = {1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3,
                                         1.0 / 2,  2.0 / 3,  1.0,     1.5,     2.0,     3.0,
                                         4.0,      6.0,      8.0,     12.0,    16.0};
    // A little slack, so a fitted scale just below a step does not stay.
    constexpr double kSlack = 1e-9;
    if (in) {
        for (const double step : kLadder)
            if (step > scale + kSlack) return step;
        return kLadder[std::size(kLadder) - 1];
    }
    for (auto it = std::rbegin(kLadder); it != std::rend(kLadder); ++it)
        if (*it < scale - kSlack) return *it;
    return kLadder[0];
}

int ViewerZoomPosition(int position, int oldExtent, int newExtent, int clientExtent, int anchor)
{
    if (newExtent <= clientExtent) return (clientExtent - newExtent) / 2;
    // The share of the picture under the anchor stays under it.
    const double share = oldExtent > 0 ? double(anchor - position) / oldExtent : 0.5;
    const auto wanted = static_cast<long long>(std::llround(anchor - share * newExtent));
    return static_cast<int>(std::clamp<long long>(wanted, clientExtent - newExtent, 0));
}

std::ptrdiff_t IndexOfPath(const std::vector<TFileRecord>& rows, std::ptrdiff_t focused,
                           std::string_view path)
{
    const auto count = static_cast<std::ptrdiff_t>(rows.size());
    if (focused >= 0 && focused < count && rows[static_cast<std::size_t>(focused)].FullPath() == path)
        return focused;
    for (std::ptrdiff_t row = 0; row < count; ++row)
        if (rows[static_cast<std::size_t>(row)].FullPath() == path) return row;
    return -1;
}

namespace {

std::ptrdiff_t ScanForPicture(const std::vector<TFileRecord>& rows, std::ptrdiff_t from, int direction)
{
    const auto count = static_cast<std::ptrdiff_t>(rows.size());
    for (std::ptrdiff_t row = from; row >= 0 && row < count; row += direction)
        if (IsPictureFile(rows[static_cast<std::size_t>(row)].Name)) return row;
    return -1;
}

} // namespace

TViewerStepTarget FindViewerStep(const std::vector<TFileRecord>& rows, std::ptrdiff_t focused,
                                 std::string_view shownPath, EViewerStep step)
{
    const auto count = static_cast<std::ptrdiff_t>(rows.size());
    TViewerStepTarget target;
    switch (step) {
    case EViewerStep::Next:
    case EViewerStep::Prior: {
        target.Allowed = focused >= 0 && focused < count;
        if (!target.Allowed) break;
        const std::ptrdiff_t shown = IndexOfPath(rows, focused, shownPath);
        // A shown file that is no row gives -1: Next starts at row 0 and
        // Prior at -2, which finds nothing.
        target.Row = step == EViewerStep::Next ? ScanForPicture(rows, shown + 1, 1)
                                               : ScanForPicture(rows, shown - 1, -1);
        break;
    }
    case EViewerStep::First:
    case EViewerStep::Last:
        target.Allowed = count > 0;
        if (!target.Allowed) break;
        target.Row =
            step == EViewerStep::First ? ScanForPicture(rows, 0, 1) : ScanForPicture(rows, count - 1, -1);
        break;
    }
    return target;
}

} // namespace quorvane
