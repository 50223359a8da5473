// The rules of the preview pane and the slides strip as plain functions over
// the result rows: which rows a group mark covers, the window of five
// slides around the focused row, the slide panels' width and the delay.
// Row indexes are 0-based; a range with Last < First is empty.
#pragma once

#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <optional>
#include <string_view>
#include <vector>

namespace quorvane {

struct TRowRange {
    int First = 0;
    int Last = -1;
    bool Empty() const { return Last < First; }
    bool operator==(const TRowRange&) const = default;
};

// The rows that get the group mark when index is the focused row: the run
// of neighbours in its group (by group numbers when the rows carry them,
// else agreeing on every ticked criterion among Name, Size and Time), always
// including index itself (alone when nothing is ticked and the rows carry no
// group numbers). Empty when index is not a row.
TRowRange MarkGroupRange(const std::vector<TFileRecord>& rows, int index, const TSearchCriteria& criteria);

// A row can stand in the slides of focused: it is a picture of focused's
// group when both carry group numbers; else a picture that agrees on each
// ticked criterion (every picture row qualifies when none is ticked).
bool SlideQualifies(const TFileRecord& row, const TFileRecord& focused, const TSearchCriteria& criteria);

// The qualifying run around the focused row, at most five rows each side
// (First, Last), and the first row of the five slides shown (Start), chosen
// so that the focused row is in the middle when the run allows it.
struct TSlideWindow {
    int First = 0;
    int Last = -1;
    int Start = 0;
};
// focused must be a picture row of rows.
TSlideWindow ComputeSlideWindow(const std::vector<TFileRecord>& rows, int focused,
                                const TSearchCriteria& criteria);

// What to decode ahead once the focused row's preview is shown: the
// previews of the next and the previous picture rows and of the first
// picture rows of the next and the previous groups (nearest first, without
// repeats or the focused row), and the rows the slides of the next group
// would show. focused must be a row of rows.
struct TPrefetchPlan {
    std::vector<int> Previews;
    std::vector<int> Slides;
};
TPrefetchPlan PlanPrefetch(const std::vector<TFileRecord>& rows, int focused,
                           const TSearchCriteria& criteria);

// Width of each of the first four slide panels in a strip of the given
// client width and border width; the fifth takes the rest.
int SlidePanelWidth(int clientWidth, int borderWidth);

// The preview delay in milliseconds for the delay edit's text: nothing when
// the text is not a whole number, 5 for 0 (a timer needs a positive delay).
std::optional<int> PreviewDelay(std::string_view text);

} // namespace quorvane
