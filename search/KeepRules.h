// "Select Duplicates": which row of each group is kept by the chosen rule,
// and so which rows are selected. Plain functions over the result rows,
// shared by the window and the command line. Invariant: in every group at
// least one file stays unselected with all its names, and a protected row
// is never selected.
#pragma once

#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace quorvane {

// The rules, in the order of the "Keep in each group:" list; the number is
// what the options store saves.
enum class TKeepRule : int {
    FirstListed = 0,
    Newest = 1,
    Oldest = 2,
    LargestPicture = 3,
    ShortestPath = 4,
    Protected = 5,
    OldestCapture = 6,
};
inline constexpr int kKeepRuleCount = 7;

// The rule saved under number, or FirstListed for a number out of range.
TKeepRule KeepRuleFromNumber(int number);
// The rule's command-line name ("first", "newest", "oldest", "largest",
// "shortest", "protected", "oldest-capture"), and back (nullopt for an unknown name).
std::string_view KeepRuleName(TKeepRule rule);
std::optional<TKeepRule> KeepRuleFromName(std::string_view name);

// What the rules may ask about a row beyond its fields.
struct TKeepFacts {
    // True when the row lies in a protected folder; protected rows are
    // never selected. Unset: nothing is protected.
    std::function<bool(const TFileRecord&)> IsProtected;
    // The picture's width times height, 0 when unknown or not a picture
    // (then the file size decides). Unset: sizes decide.
    std::function<std::uint64_t(const TFileRecord&)> Pixels;
    // When the photo was taken, in nanoseconds since the epoch (UTC), or
    // nullopt for a file without a capture date, which ranks after every
    // dated one. Unset: no file has a date.
    std::function<std::optional<std::int64_t>(const TFileRecord&)> CaptureTime;
};

// The rows of each group, in list order: by group number when the rows
// carry them, else runs of neighbours that agree on the ticked criteria.
// Group g holds Members[Start[g] .. Start[g + 1]).
struct TListedGroups {
    std::vector<std::size_t> Members;
    std::vector<std::size_t> Start{0};
    std::size_t Count() const { return Start.size() - 1; }
};
TListedGroups ListedGroups(const std::vector<TFileRecord>& rows, const TSearchCriteria& criteria);

// The row the rule keeps among the rows [first, last) (indices into rows, in
// list order) that still match their files; ties go to the first listed.
// When none matches, *first.
std::size_t KeptRow(const std::vector<TFileRecord>& rows, const std::size_t* first, const std::size_t* last,
                    TKeepRule rule, const TKeepFacts& facts);

// The rows DuplicateRows weighs against each other: those that still match
// their files, of groups with two or more such rows, ascending within each
// group. What a rule reads from the files is needed for these rows only.
std::vector<std::size_t> RowsJudged(const std::vector<TFileRecord>& rows, const TSearchCriteria& criteria);

// Every row of every group with two or more rows that still match their
// files, except the kept one, the other names of its file (same device and
// inode), the protected ones and the rows that no longer match (gone or
// changed since the search), ascending.
std::vector<std::size_t> DuplicateRows(const std::vector<TFileRecord>& rows, const TSearchCriteria& criteria,
                                       TKeepRule rule, const TKeepFacts& facts);

} // namespace quorvane
