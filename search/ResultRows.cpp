// Sorting and group bounds of the result list. The sort is stable and its
// comparison a strict weak order, so equal sizes (which the list treats as
// neither before nor after one another) keep their previous order.
#include "ResultRows.h"

#include "PathRules.h"
#include "TextCompare.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

namespace quorvane {

namespace {

template <typename T> int CompareNumbers(T a, T b)
{
    return a == b ? 0 : (a < b ? -1 : 1);
}

int CompareColumn(const TFileRecord& x, const TFileRecord& y, int column)
{
    switch (column) {
    case 0:
        return CompareFolded(x.Name, y.Name);
    case 1:
        if (x.Directory == y.Directory) return 0;
        return CompareFolded(x.DirectoryText(), y.DirectoryText());
    case 2:
        return CompareNumbers(x.Size, y.Size);
    case 3:
        return CompareFolded(ExtensionOf(x.Name), ExtensionOf(y.Name));
    case 4:
        return CompareNumbers(x.TimeKey, y.TimeKey);
    default:
        return 0;
    }
}

} // namespace

int lvFilesCompare(const TFileRecord& x, const TFileRecord& y, int sortMode)
{
    const int ascending = CompareColumn(x, y, sortMode / 2);
    return sortMode % 2 == 0 ? ascending : -ascending;
}

std::vector<std::size_t> SortedOrder(const std::vector<TFileRecord>& rows, int sortMode)
{
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&rows, sortMode](std::size_t a, std::size_t b) {
        return lvFilesCompare(rows[a], rows[b], sortMode) < 0;
    });
    return order;
}

void SortRows(std::vector<TFileRecord>& rows, int sortMode)
{
    const std::vector<std::size_t> order = SortedOrder(rows, sortMode);
    std::vector<TFileRecord> sorted;
    sorted.reserve(rows.size());
    for (std::size_t old : order)
        sorted.push_back(std::move(rows[old]));
    rows = std::move(sorted);
}

int SortModeAfterColumnClick(int currentMode, int column)
{
    return currentMode == 2 * column ? 2 * column + 1 : 2 * column;
}

bool RowsAgree(const TFileRecord& a, const TFileRecord& b, const TSearchCriteria& criteria)
{
    if (!criteria.AnyKeyCriterion()) return false;
    if (criteria.Name && !SameFolded(a.Name, b.Name)) return false;
    if (criteria.Size && a.Size != b.Size) return false;
    if (criteria.Time && a.TimeKey != b.TimeKey) return false;
    return true;
}

bool SameGroup(const TFileRecord& a, const TFileRecord& b, const TSearchCriteria& criteria)
{
    if (a.Group != 0 && b.Group != 0) return a.Group == b.Group;
    return RowsAgree(a, b, criteria);
}

bool HasGroupNumbers(const std::vector<TFileRecord>& rows)
{
    return std::any_of(rows.begin(), rows.end(), [](const TFileRecord& r) { return r.Group != 0; });
}

void NumberGroups(std::vector<TFileRecord>& rows, const std::vector<std::size_t>& groupStarts)
{
    std::uint32_t group = 0;
    std::size_t nextStart = 0; // position in groupStarts
    for (std::size_t i = 0; i < rows.size(); ++i) {
        while (nextStart < groupStarts.size() && groupStarts[nextStart] <= i) {
            ++nextStart;
            ++group;
        }
        rows[i].Group = group;
    }
}

std::pair<std::size_t, std::size_t> GroupBounds(const std::vector<TFileRecord>& rows, std::size_t row,
                                                const TSearchCriteria& criteria)
{
    if (row >= rows.size()) return {0, 0};
    std::size_t first = row;
    while (first > 0 && SameGroup(rows[first - 1], rows[row], criteria))
        --first;
    std::size_t end = row + 1;
    while (end < rows.size() && SameGroup(rows[end], rows[row], criteria))
        ++end;
    return {first, end};
}

std::vector<int> RowsOfGroups(const std::vector<TFileRecord>& rows, const std::vector<int>& chosen,
                              const TSearchCriteria& criteria)
{
    std::vector<bool> taken(rows.size(), false);
    std::unordered_set<std::uint32_t> numbers;
    for (const int row : chosen) {
        if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) continue;
        const auto index = static_cast<std::size_t>(row);
        if (rows[index].Group != 0) {
            numbers.insert(rows[index].Group);
            continue;
        }
        const auto [first, end] = GroupBounds(rows, index, criteria);
        for (std::size_t i = first; i < end; ++i)
            taken[i] = true;
    }
    std::vector<int> result;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (taken[i] || (rows[i].Group != 0 && numbers.contains(rows[i].Group)))
            result.push_back(static_cast<int>(i));
    return result;
}

std::ptrdiff_t NextGroupTarget(const std::vector<TFileRecord>& rows, std::ptrdiff_t focused,
                               const TSearchCriteria& criteria)
{
    const auto count = static_cast<std::ptrdiff_t>(rows.size());
    if (focused < 0 || focused >= count - 1) return -1;
    const TFileRecord& f = rows[static_cast<std::size_t>(focused)];
    std::ptrdiff_t i = focused + 1;
    while (i < count && SameGroup(rows[static_cast<std::size_t>(i)], f, criteria))
        ++i;
    // The focused row's group is the last one: stay on the focused row.
    return i == count ? focused : i;
}

std::ptrdiff_t PriorGroupTarget(const std::vector<TFileRecord>& rows, std::ptrdiff_t focused,
                                const TSearchCriteria& criteria)
{
    if (focused <= 0 || focused >= static_cast<std::ptrdiff_t>(rows.size())) return -1;
    // Walk back over the focused row's group and then over the group before
    // it; the second boundary met ends the walk.
    const TFileRecord* r = &rows[static_cast<std::size_t>(focused)];
    int boundariesLeft = 2;
    std::ptrdiff_t i = focused;
    while (--i >= 0) {
        const TFileRecord& row = rows[static_cast<std::size_t>(i)];
        if (SameGroup(row, *r, criteria)) continue;
        r = &row;
        if (--boundariesLeft == 0) break;
    }
    return i + 1;
}

} // namespace quorvane
