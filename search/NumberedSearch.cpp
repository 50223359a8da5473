// FindNumberedDuplicates over the search core.
#include "NumberedSearch.h"

#include "ResultRows.h"

namespace quorvane {

TSearchOutcome FindNumberedDuplicates(const std::vector<std::string>& directories,
                                      const TSearchCriteria& criteria, bool includeSubdirectories,
                                      TDuplicateHost& host, std::vector<TFileRecord>& target)
{
    std::vector<std::size_t> groupStarts;
    const TSearchOutcome outcome =
        FindDuplicatesWithGroups(directories, criteria, includeSubdirectories, host, target, groupStarts);
    if (outcome == TSearchOutcome::Completed) NumberGroups(target, groupStarts);
    return outcome;
}

} // namespace quorvane
