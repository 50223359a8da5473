// The result list's logic as plain functions over its rows: the comparison of
// each sort mode, the sort, the column-click rule, and the group bounds used
// by "Next Group" and "Prior Group" (by the rows' group numbers when they
// carry them, else by neighbouring rows). The list model calls these.
#pragma once

#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace quorvane {

// Column of the result list: 0 Name, 1 Directory, 2 Size, 3 Type, 4 Time.
inline constexpr int kResultColumnCount = 5;

// Sort mode 2 * column (ascending) or 2 * column + 1 (descending).
// Negative, zero or positive as x sorts before, with, or after y. Texts
// compare ASCII-folded; Size numerically; Time chronologically. Equal values
// give zero, so the sort below keeps their previous order.
int lvFilesCompare(const TFileRecord& x, const TFileRecord& y, int sortMode);

// The order of the rows after sorting by sortMode: a stable sort, so rows
// that compare equal (equal sizes under modes 4 and 5, equal texts) keep
// their previous relative order. Element k is the old index of new row k.
std::vector<std::size_t> SortedOrder(const std::vector<TFileRecord>& rows, int sortMode);

// Sorts rows in place as SortedOrder gives.
void SortRows(std::vector<TFileRecord>& rows, int sortMode);

// The mode after a click on column: descending if the current mode is that
// column's ascending mode, else that column's ascending mode.
int SortModeAfterColumnClick(int currentMode, int column);

// True when a and b agree on every ticked criterion among Name, Size and Time
// (ASCII-folded text equality); false when none of the three is ticked.
bool RowsAgree(const TFileRecord& a, const TFileRecord& b, const TSearchCriteria& criteria);

// True when a and b belong to one group: by their group numbers when both
// carry one, else by RowsAgree.
bool SameGroup(const TFileRecord& a, const TFileRecord& b, const TSearchCriteria& criteria);

// True when any row carries a group number.
bool HasGroupNumbers(const std::vector<TFileRecord>& rows);

// Gives each row the number of its group: rows from groupStarts[k] (an
// ascending list of first rows, as FindDuplicatesWithGroups gives) up to the
// next start get k + 1. Rows before the first start get 0.
void NumberGroups(std::vector<TFileRecord>& rows, const std::vector<std::size_t>& groupStarts);

// The rows of the group around row: the run of neighbouring rows that share
// its group (SameGroup), as [first, end). {0, 0} when row is not a row.
std::pair<std::size_t, std::size_t> GroupBounds(const std::vector<TFileRecord>& rows, std::size_t row,
                                                const TSearchCriteria& criteria);

// The rows of the groups that the chosen rows stand in, ascending and
// without repeats: every row carrying the group number of a chosen row
// (wherever a sort put it), or for rows without numbers the run around it
// (GroupBounds). Chosen indices out of range are ignored.
std::vector<int> RowsOfGroups(const std::vector<TFileRecord>& rows, const std::vector<int>& chosen,
                              const TSearchCriteria& criteria);

// The row "Next Group" moves to from the focused row: the first row after the
// focused row's group (its run of rows that share its group, SameGroup), or the focused row itself when its
// group is the last. -1 (do nothing) when focused is not a row or is the last row.
std::ptrdiff_t NextGroupTarget(const std::vector<TFileRecord>& rows, std::ptrdiff_t focused,
                               const TSearchCriteria& criteria);

// The row "Prior Group" moves to: the first row of the group before the
// focused row's group, or row 0 when the focused row's group is the first;
// with no criterion ticked, the row before. -1 when focused is not a row or
// is row 0.
std::ptrdiff_t PriorGroupTarget(const std::vector<TFileRecord>& rows, std::ptrdiff_t focused,
                                const TSearchCriteria& criteria);

} // namespace quorvane
