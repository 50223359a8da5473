// The groups of one run of equal search keys. The run's first row is the
// reference; the rows that match it form its group; the first row left over
// becomes the next reference, and so on until the run is used up. A group
// holds at least two files (device and inode) and every name of each that
// the run holds: the names of one file stand together, files in the order
// of their first name in the run, the reference's file last and the
// reference itself last of all. Names of only one file form no group.
#pragma once

#include "ScanHost.h"
#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <cstdint>
#include <vector>

namespace quorvane {

// What a search knows about the contents of the rows it compares: filled by
// a contents pass before grouping (sampled bytes or whole contents).
class TContentsClasses {
  public:
    virtual ~TContentsClasses() = default;
    // True when row's file could not be read (or changed): the row is left
    // out of the groups.
    virtual bool Failed(std::uint32_t row) const = 0;
    // Equal classes mean equal contents; only for rows that were read and
    // did not fail. Rows never read get distinct classes.
    virtual std::uint64_t ClassOf(std::uint32_t row) const = 0;
};

// Rows listed by the grouping, as catalogue indexes, and where each group
// starts among them.
struct TListedRows {
    std::vector<std::uint32_t> Rows;
    std::vector<std::size_t> GroupStarts;
};

// The rows of the run [first, last) whose contents may be compared: those
// sharing their size with a row of another file in the run. Appended to rows.
void RowsNeedingContents(const std::vector<TFileRecord>& catalogue, const std::uint32_t* first,
                         const std::uint32_t* last, std::vector<std::uint32_t>& rows);

// Appends the groups of the run [first, last) to listed, as the reference
// walk described above gives them. contents is null unless contents are
// compared; rows whose file failed to read are left out of the run. O(k log
// k) for a run of k rows.
void GroupRun(const std::vector<TFileRecord>& catalogue, const std::uint32_t* first,
              const std::uint32_t* last, const TContentsClasses* contents, const TSearchCriteria& criteria,
              TListedRows& listed);

} // namespace quorvane
