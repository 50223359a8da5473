// The preview pane's and slides strip's row rules. Every walk checks the
// index against the rows before reading one, so any index is safe.
#include "PreviewRules.h"

#include "PathRules.h"
#include "ResultRows.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quorvane {

namespace {

bool IsRow(const std::vector<TFileRecord>& rows, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < rows.size();
}

const TFileRecord& RowAt(const std::vector<TFileRecord>& rows, int index)
{
    return rows[static_cast<std::size_t>(index)];
}

} // namespace

TRowRange MarkGroupRange(const std::vector<TFileRecord>& rows, int index, const TSearchCriteria& criteria)
{
    if (!IsRow(rows, index)) return {};
    const TFileRecord& focused = RowAt(rows, index);
    auto agrees = [&](int i) { return IsRow(rows, i) && SameGroup(RowAt(rows, i), focused, criteria); };
    int first = index;
    while (agrees(first - 1))
        --first;
    int last = first - 1;
    while (agrees(last + 1))
        ++last;
    return {std::min(first, index), std::max(last, index)};
}

bool SlideQualifies(const TFileRecord& row, const TFileRecord& focused, const TSearchCriteria& criteria)
{
    if (!IsPictureFile(row.Name)) return false;
    if (row.Group != 0 && focused.Group != 0) return row.Group == focused.Group;
    return !criteria.AnyKeyCriterion() || RowsAgree(row, focused, criteria);
}

TSlideWindow ComputeSlideWindow(const std::vector<TFileRecord>& rows, int focused,
                                const TSearchCriteria& criteria)
{
    const TFileRecord& row = RowAt(rows, focused);
    auto qualifies = [&](int i) { return IsRow(rows, i) && SlideQualifies(RowAt(rows, i), row, criteria); };
    int first = focused;
    while (focused - (first - 1) <= 5 && qualifies(first - 1))
        --first;
    int last = focused;
    while ((last + 1) - focused <= 5 && qualifies(last + 1))
        ++last;
    int start = first;
    if (last - first >= 4 && focused - first >= 2 && last - focused >= 2)
        start = focused - 2;
    else if (last - first >= 4 && focused - first >= 2)
        start = last - 4;
    return {first, last, start};
}

namespace {

// The first picture row from index on, stepping by step (+1 or -1) while
// within [first, last]; -1 when there is none.
int PictureRowFrom(const std::vector<TFileRecord>& rows, int index, int step, int first, int last)
{
    for (int i = index; i >= first && i <= last; i += step)
        if (IsPictureFile(RowAt(rows, i).Name)) return i;
    return -1;
}

// The first picture row of the group that holds row index; -1 when none.
int GroupFirstPicture(const std::vector<TFileRecord>& rows, int index, const TSearchCriteria& criteria)
{
    const TRowRange group = MarkGroupRange(rows, index, criteria);
    return group.Empty() ? -1 : PictureRowFrom(rows, group.First, +1, group.First, group.Last);
}

} // namespace

TPrefetchPlan PlanPrefetch(const std::vector<TFileRecord>& rows, int focused, const TSearchCriteria& criteria)
{
    TPrefetchPlan plan;
    if (!IsRow(rows, focused)) return plan;
    const int last = static_cast<int>(rows.size()) - 1;
    const TRowRange group = MarkGroupRange(rows, focused, criteria);
    const int nextGroup = group.Last < last ? GroupFirstPicture(rows, group.Last + 1, criteria) : -1;
    const int priorGroup = group.First > 0 ? GroupFirstPicture(rows, group.First - 1, criteria) : -1;
    for (const int row : {PictureRowFrom(rows, focused + 1, +1, 0, last),
                          PictureRowFrom(rows, focused - 1, -1, 0, last), nextGroup, priorGroup}) {
        if (row >= 0 && row != focused &&
            std::find(plan.Previews.begin(), plan.Previews.end(), row) == plan.Previews.end())
            plan.Previews.push_back(row);
    }
    if (nextGroup >= 0) {
        const TSlideWindow window = ComputeSlideWindow(rows, nextGroup, criteria);
        for (int row = window.Start; row <= window.Last && row < window.Start + 5; ++row)
            plan.Slides.push_back(row);
    }
    return plan;
}

int SlidePanelWidth(int clientWidth, int borderWidth)
{
    return static_cast<int>(std::lround((clientWidth - 2 * borderWidth - 6) * 0.2));
}

std::optional<int> PreviewDelay(std::string_view text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value <= 0 ? 5 : value;
}

} // namespace quorvane
