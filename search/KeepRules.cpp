// The keep rules over the result rows.
#include "KeepRules.h"

#include "ResultRows.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace quorvane {

namespace {

constexpr std::array<std::string_view, kKeepRuleCount> kRuleNames = {
    "first", "newest", "oldest", "largest", "shortest", "protected", "oldest-capture"};

bool Protected(const TKeepFacts& facts, const TFileRecord& row)
{
    return facts.IsProtected && facts.IsProtected(row);
}

// Positive when a is kept in preference to b under rule, zero on a tie.
int Preference(const TFileRecord& a, const TFileRecord& b, TKeepRule rule, const TKeepFacts& facts)
{
    auto order = [](auto x, auto y) { return x > y ? 1 : (x < y ? -1 : 0); };
    switch (rule) {
    case TKeepRule::Newest:
        return order(a.ModifiedNs, b.ModifiedNs);
    case TKeepRule::Oldest:
        return order(b.ModifiedNs, a.ModifiedNs);
    case TKeepRule::LargestPicture: {
        const std::uint64_t pa = facts.Pixels ? facts.Pixels(a) : 0;
        const std::uint64_t pb = facts.Pixels ? facts.Pixels(b) : 0;
        return pa != pb ? order(pa, pb) : order(a.Size, b.Size);
    }
    case TKeepRule::ShortestPath:
        return order(b.FullPath().size(), a.FullPath().size());
    case TKeepRule::Protected:
        return order(Protected(facts, a), Protected(facts, b));
    case TKeepRule::OldestCapture: {
        const std::optional<std::int64_t> ta = facts.CaptureTime ? facts.CaptureTime(a) : std::nullopt;
        const std::optional<std::int64_t> tb = facts.CaptureTime ? facts.CaptureTime(b) : std::nullopt;
        if (ta.has_value() != tb.has_value()) return ta.has_value() ? 1 : -1; // a date beats none
        return ta ? order(*tb, *ta) : 0;
    }
    case TKeepRule::FirstListed:
        break;
    }
    return 0;
}

} // namespace

TKeepRule KeepRuleFromNumber(int number)
{
    return number >= 0 && number < kKeepRuleCount ? static_cast<TKeepRule>(number) : TKeepRule::FirstListed;
}

std::string_view KeepRuleName(TKeepRule rule)
{
    return kRuleNames[static_cast<std::size_t>(rule)];
}

std::optional<TKeepRule> KeepRuleFromName(std::string_view name)
{
    for (std::size_t k = 0; k < kRuleNames.size(); ++k)
        if (kRuleNames[k] == name) return static_cast<TKeepRule>(k);
    return std::nullopt;
}

TListedGroups ListedGroups(const std::vector<TFileRecord>& rows, const TSearchCriteria& criteria)
{
    // Each row's group slot first, then the rows counted into their slots:
    // no vector per group, which for a hundred thousand groups costs more
    // than the rule itself.
    std::vector<std::uint32_t> slotOfRow(rows.size());
    std::unordered_map<std::uint32_t, std::uint32_t> slotOf; // group number -> slot
    std::uint32_t slots = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::uint32_t number = rows[i].Group;
        if (number != 0) {
            const auto [slot, added] = slotOf.try_emplace(number, slots);
            if (added) ++slots;
            slotOfRow[i] = slot->second;
        } else if (i > 0 && rows[i - 1].Group == 0 && RowsAgree(rows[i - 1], rows[i], criteria)) {
            slotOfRow[i] = slotOfRow[i - 1];
        } else {
            slotOfRow[i] = slots++;
        }
    }
    TListedGroups groups;
    groups.Start.assign(std::size_t{slots} + 1, 0);
    for (const std::uint32_t slot : slotOfRow)
        ++groups.Start[slot + 1];
    for (std::size_t g = 1; g < groups.Start.size(); ++g)
        groups.Start[g] += groups.Start[g - 1];
    std::vector<std::size_t> next(groups.Start.begin(), groups.Start.end() - 1);
    groups.Members.resize(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        groups.Members[next[slotOfRow[i]]++] = i;
    return groups;
}

std::size_t KeptRow(const std::vector<TFileRecord>& rows, const std::size_t* first, const std::size_t* last,
                    TKeepRule rule, const TKeepFacts& facts)
{
    // Only a row that still matches its file can be the copy that stays.
    const std::size_t* candidate = first;
    while (candidate != last && rows[*candidate].DiskState != kDiskAsListed)
        ++candidate;
    if (candidate == last) return *first;
    std::size_t kept = *candidate;
    for (const std::size_t* row = candidate + 1; row != last; ++row)
        if (rows[*row].DiskState == kDiskAsListed && Preference(rows[*row], rows[kept], rule, facts) > 0)
            kept = *row;
    return kept;
}

namespace {

// Rows whose files are gone or changed neither stay nor go: a group needs
// two rows that still match their files to have a duplicate.
bool GroupJudged(const std::vector<TFileRecord>& rows, const std::size_t* first, const std::size_t* last)
{
    return std::count_if(first, last,
                         [&rows](std::size_t row) { return rows[row].DiskState == kDiskAsListed; }) >= 2;
}

} // namespace

std::vector<std::size_t> RowsJudged(const std::vector<TFileRecord>& rows, const TSearchCriteria& criteria)
{
    std::vector<std::size_t> judged;
    const TListedGroups groups = ListedGroups(rows, criteria);
    for (std::size_t g = 0; g < groups.Count(); ++g) {
        const std::size_t* first = groups.Members.data() + groups.Start[g];
        const std::size_t* last = groups.Members.data() + groups.Start[g + 1];
        if (!GroupJudged(rows, first, last)) continue;
        for (const std::size_t* row = first; row != last; ++row)
            if (rows[*row].DiskState == kDiskAsListed) judged.push_back(*row);
    }
    return judged;
}

std::vector<std::size_t> DuplicateRows(const std::vector<TFileRecord>& rows, const TSearchCriteria& criteria,
                                       TKeepRule rule, const TKeepFacts& facts)
{
    std::vector<std::size_t> selected;
    const TListedGroups groups = ListedGroups(rows, criteria);
    for (std::size_t g = 0; g < groups.Count(); ++g) {
        const std::size_t* first = groups.Members.data() + groups.Start[g];
        const std::size_t* last = groups.Members.data() + groups.Start[g + 1];
        if (!GroupJudged(rows, first, last)) continue;
        const std::size_t kept = KeptRow(rows, first, last, rule, facts);
        // The kept file keeps all its names: removing one of them would
        // free no space and leave the group short of a name.
        for (const std::size_t* row = first; row != last; ++row)
            if (*row != kept && rows[*row].DiskState == kDiskAsListed && !SameFile(rows[*row], rows[kept]) &&
                !Protected(facts, rows[*row]))
                selected.push_back(*row);
    }
    std::sort(selected.begin(), selected.end());
    return selected;
}

} // namespace quorvane
