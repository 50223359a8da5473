// The duplicate search as the window runs it: every row of the result
// carries the number of its group, so group bounds never depend on whether
// neighbouring groups happen to share a size or a name.
#pragma once

#include "DuplicateSearch.h"

namespace quorvane {

// FindDuplicatesWithGroups, then NumberGroups over target; a cancelled
// search leaves target untouched, as FindDuplicates does.
TSearchOutcome FindNumberedDuplicates(const std::vector<std::string>& directories,
                                      const TSearchCriteria& criteria, bool includeSubdirectories,
                                      TDuplicateHost& host, std::vector<TFileRecord>& target);

} // namespace quorvane
