// The full-size viewer's rules: sizes, pan limits, key steps and the picture
// rows a step lands on. Plain functions over numbers and rows, no widgets.
#include "ViewerRules.h"

#include "PathRules.h"

#include <algorithm>

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
