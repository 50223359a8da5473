// The rules of the similar-pictures criterion on the Options page: which of
// the other criteria can be changed (and count) while it is ticked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvane {

struct TCriteriaEnabling {
    bool KeyCriteria;   // Name, Size and Time
    bool ContentChecks; // CC and All bytes
};

// "Similar pictures" excludes the other criteria; without it CC and All
// bytes follow Size as before.
TCriteriaEnabling CriteriaEnabling(bool similar, bool size);

// What a finished similar search hands the window besides its rows.
struct TSimilarOutcome {
    std::vector<std::uint32_t> GroupOf; // per row, counted from 1
    std::size_t GroupCount = 0;
};

} // namespace quorvane
