// FastSortedOrder: keyed stable sort with the core's comparison for the
// ties that the keys cannot settle.
#include "ListSort.h"

#include "PathRules.h"
#include "ResultRows.h"
#include "TextCompare.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace quorvane {

namespace {

struct TKeyedRow {
    std::uint64_t High; // the column's key, or the first 8 folded bytes of its text
    std::uint64_t Low;  // the next 8 folded bytes of a text
    std::uint32_t Index;
    bool Long; // a text of 16 bytes or more: equal keys do not mean equal texts
};

void SetFoldedKey(TKeyedRow& row, std::string_view text)
{
    const TFoldedPrefix key = TFoldedPrefix::Of(text);
    row.High = key.High;
    row.Low = key.Low;
    row.Long = key.Long;
}

// Rank of each directory text in folded order; texts that compare equal
// (also when held by different strings) share a rank. Rows of one directory
// share its string, so this sorts few texts.
std::unordered_map<const std::string*, std::uint64_t> DirectoryRanks(const std::vector<TFileRecord>& rows)
{
    std::unordered_map<const std::string*, std::uint64_t> ranks;
    for (const TFileRecord& row : rows)
        ranks.emplace(&row.DirectoryText(), 0);
    std::vector<const std::string*> texts;
    texts.reserve(ranks.size());
    for (const auto& entry : ranks)
        texts.push_back(entry.first);
    std::sort(texts.begin(), texts.end(),
              [](const std::string* a, const std::string* b) { return CompareFolded(*a, *b) < 0; });
    std::uint64_t rank = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0 && CompareFolded(*texts[i - 1], *texts[i]) != 0) ++rank;
        ranks[texts[i]] = rank;
    }
    return ranks;
}

// The keys of one column in ascending order.
std::vector<TKeyedRow> AscendingKeys(const std::vector<TFileRecord>& rows, int column)
{
    std::vector<TKeyedRow> keyed(rows.size());
    std::unordered_map<const std::string*, std::uint64_t> ranks;
    if (column == 1) ranks = DirectoryRanks(rows);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TFileRecord& row = rows[i];
        TKeyedRow& key = keyed[i];
        key = {0, 0, static_cast<std::uint32_t>(i), false};
        switch (column) {
        case 0:
            SetFoldedKey(key, row.Name);
            break;
        case 1:
            key.High = ranks[&row.DirectoryText()];
            break;
        case 2:
            key.High = row.Size;
            break;
        case 3:
            SetFoldedKey(key, ExtensionOf(row.Name));
            break;
        // The sign bit flipped keeps the order of signed times.
        case 4:
            key.High = static_cast<std::uint64_t>(row.TimeKey) ^ (std::uint64_t{1} << 63);
            break;
        default:
            break;
        }
    }
    return keyed;
}

} // namespace

std::vector<std::size_t> FastSortedOrder(const std::vector<TFileRecord>& rows, int sortMode)
{
    const int column = sortMode / 2;
    // Beyond 32-bit indexes or outside the known columns the core sorts.
    if (rows.size() > UINT32_MAX || sortMode < 0 || column > 4) return SortedOrder(rows, sortMode);
    std::vector<TKeyedRow> keyed = AscendingKeys(rows, column);
    if (sortMode % 2 == 1) {
        for (TKeyedRow& row : keyed) {
            row.High = ~row.High;
            row.Low = ~row.Low;
        }
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&](const TKeyedRow& a, const TKeyedRow& b) {
        if (a.High != b.High) return a.High < b.High;
        if (a.Low != b.Low) return a.Low < b.Low;
        return a.Long && b.Long && lvFilesCompare(rows[a.Index], rows[b.Index], sortMode) < 0;
    });
    std::vector<std::size_t> order(keyed.size());
    for (std::size_t k = 0; k < keyed.size(); ++k)
        order[k] = keyed[k].Index;
    return order;
}

} // namespace quorvane
