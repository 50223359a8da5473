// Duplicate detection. The key entries are sorted once by key and then by the
// decimal text of the catalogue index; each run of equal keys is resolved
// once, at the first catalogue row that carries its key, which gives the same
// rows in the same order as consuming a sorted key list entry by entry.
#include "DuplicateSearch.h"

#include "ContentsCheck.h"
#include "FileScan.h"
#include "PathRules.h"
#include "TextCompare.h"

#include <algorithm>
#include <optional>
namespace quorvane {

namespace {

// A number whose numeric order is the lexicographic order of the decimal
// text of index: each digit d becomes d + 1 in base 11, left-aligned over ten
// places, absent places are 0 (so "1" < "10" < "2").
std::uint64_t IndexTextOrder(std::uint32_t index)
{
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>(index % 10);
        index /= 10;
    } while (index != 0);
    std::uint64_t order = 0;
    for (int place = 0; place < 10; ++place) {
        const int digit = place < count ? digits[count - 1 - place] + 1 : 0;
        order = order * 11 + static_cast<std::uint64_t>(digit);
    }
    return order;
}

bool IndexTextBefore(std::uint32_t a, std::uint32_t b)
{
    return IndexTextOrder(a) < IndexTextOrder(b);
}

} // namespace

void SortKeyList(std::vector<TKeyEntry>& keyList)
{
    std::sort(keyList.begin(), keyList.end(), [](const TKeyEntry& a, const TKeyEntry& b) {
        const int byKey = CompareFolded(a.Key, b.Key);
        return byKey != 0 ? byKey < 0 : IndexTextBefore(a.Index, b.Index);
    });
}

std::ptrdiff_t FindKeyEntry(const std::vector<TKeyEntry>& keyList, std::string_view key)
{
    if (keyList.empty()) return -1;
    // Binary search for any entry of the key, then back to its first entry.
    std::ptrdiff_t lo = 0;
    std::ptrdiff_t hi = static_cast<std::ptrdiff_t>(keyList.size());
    while (lo < hi) {
        const std::ptrdiff_t mid = lo + (hi - lo) / 2;
        if (CompareFolded(keyList[static_cast<std::size_t>(mid)].Key, key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < static_cast<std::ptrdiff_t>(keyList.size()) &&
        SameFolded(keyList[static_cast<std::size_t>(lo)].Key, key))
        return lo;
    return -1;
}

namespace {

// One key entry of the search: the key as a number (Size, Time) or a name,
// the order of the index text, and the catalogue index.
struct TSearchEntry {
    std::uint64_t Number = 0;
    const std::string* Name = nullptr;
    std::uint64_t IndexOrder = 0;
    std::uint32_t Index = 0;
};

enum class TKeyKind { Name, Size, Time };

TKeyKind KeyKindOf(const TSearchCriteria& criteria)
{
    if (criteria.Name) return TKeyKind::Name;
    return criteria.Size ? TKeyKind::Size : TKeyKind::Time;
}

TSearchEntry EntryOf(const TFileRecord& row, std::uint32_t index, TKeyKind kind)
{
    TSearchEntry entry;
    if (kind == TKeyKind::Name) entry.Name = &row.Name;
    if (kind == TKeyKind::Size) entry.Number = row.Size;
    // Signed to unsigned with the sign bit flipped keeps the numeric order.
    if (kind == TKeyKind::Time) entry.Number = static_cast<std::uint64_t>(row.TimeKey) ^ (1ull << 63);
    entry.IndexOrder = IndexTextOrder(index);
    entry.Index = index;
    return entry;
}

int CompareKeys(const TSearchEntry& a, const TSearchEntry& b)
{
    if (a.Name) return CompareFolded(*a.Name, *b.Name);
    return a.Number == b.Number ? 0 : (a.Number < b.Number ? -1 : 1);
}

// The key list of the catalogue, sorted (search steps 7 and 8).
std::vector<TSearchEntry> BuildKeyList(const std::vector<TFileRecord>& catalogue, TKeyKind kind,
                                       TScanHost& host)
{
    std::vector<TSearchEntry> keyList;
    keyList.reserve(catalogue.size());
    TProgressMeter meter(host, catalogue.size());
    for (std::size_t q = 0; q < catalogue.size(); ++q) {
        meter.Step(q);
        keyList.push_back(EntryOf(catalogue[q], static_cast<std::uint32_t>(q), kind));
    }
    std::sort(keyList.begin(), keyList.end(), [](const TSearchEntry& a, const TSearchEntry& b) {
        const int byKey = CompareKeys(a, b);
        return byKey != 0 ? byKey < 0 : a.IndexOrder < b.IndexOrder;
    });
    return keyList;
}

// Start offsets of the runs of equal keys, plus keyList.size() at the end.
std::vector<std::size_t> RunStarts(const std::vector<TSearchEntry>& keyList)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < keyList.size(); ++i) {
        if (i == 0 || CompareKeys(keyList[i - 1], keyList[i]) != 0) starts.push_back(i);
    }
    starts.push_back(keyList.size());
    return starts;
}

// Whether candidate matches reference. Every ticked test runs even after one
// failed, so contents are compared (and may fail to read) as they would be
// in that order.
bool MatchesReference(const TFileRecord& candidate, const TFileRecord& reference, TContentsCheck* contents,
                      const TSearchCriteria& criteria)
{
    bool matches = true;
    if (criteria.Name && !SameFolded(candidate.Name, reference.Name)) matches = false;
    if (criteria.Size) {
        const bool sameSize = candidate.Size == reference.Size;
        if (!sameSize) matches = false;
        if (sameSize && contents && !contents->Matches(candidate.FullPath(PathStyle::Posix))) matches = false;
    }
    if (criteria.Time && candidate.TimeKey != reference.TimeKey) matches = false;
    return matches;
}

// Resolves one run: its first entry is the reference; the entries after it
// that match go to target in key-list order, then the reference. Rows are
// moved out of the catalogue: each row belongs to exactly one run.
void FormGroup(std::vector<TFileRecord>& catalogue, const TSearchEntry* first, const TSearchEntry* last,
               const TSearchCriteria& criteria, std::vector<TFileRecord>& target)
{
    if (last - first < 2) return;
    TFileRecord& reference = catalogue[first->Index];
    // The reference's sampled bytes are read once for the whole run.
    std::optional<TContentsCheck> contents;
    if (criteria.CompareContents()) contents.emplace(reference.FullPath(PathStyle::Posix));
    bool grouped = false;
    for (const TSearchEntry* e = first + 1; e != last; ++e) {
        TFileRecord& candidate = catalogue[e->Index];
        if (!MatchesReference(candidate, reference, contents ? &*contents : nullptr, criteria)) continue;
        grouped = true;
        target.push_back(std::move(candidate));
    }
    if (grouped) target.push_back(std::move(reference));
}

} // namespace

// Second pass: catalogue row q resolves its key's run the first time the run
// is met, so groups appear in the order of their lowest catalogue index.
void GroupCatalogue(std::vector<TFileRecord>& catalogue, const TSearchCriteria& criteria, TScanHost& host,
                    std::vector<TFileRecord>& target)
{
    const std::vector<TSearchEntry> keyList = BuildKeyList(catalogue, KeyKindOf(criteria), host);
    const std::vector<std::size_t> starts = RunStarts(keyList);
    std::vector<std::uint32_t> runOf(catalogue.size());
    for (std::size_t run = 0; run + 1 < starts.size(); ++run) {
        for (std::size_t i = starts[run]; i < starts[run + 1]; ++i)
            runOf[keyList[i].Index] = static_cast<std::uint32_t>(run);
    }
    std::vector<bool> resolved(starts.size(), false);
    TProgressMeter meter(host, catalogue.size());
    for (std::size_t q = 0; q < catalogue.size(); ++q) {
        meter.Step(q);
        const std::uint32_t run = runOf[q];
        if (resolved[run]) continue;
        resolved[run] = true;
        FormGroup(catalogue, keyList.data() + starts[run], keyList.data() + starts[run + 1], criteria,
                  target);
    }
}

TSearchOutcome FindDuplicates(const std::vector<std::string>& directories, const TSearchCriteria& criteria,
                              bool includeSubdirectories, TDuplicateHost& host,
                              std::vector<TFileRecord>& target)
{
    if (directories.empty()) {
        host.ShowErrorMessage(kNoDirectoryMessage);
        return TSearchOutcome::NoDirectory;
    }
    if (!criteria.AnyKeyCriterion()) {
        host.ShowErrorMessage(kNoCriterionMessage);
        return TSearchOutcome::NoCriterion;
    }
    host.ClearFileList();
    target.clear();
    std::vector<TFileRecord> catalogue;
    TSeenFiles seen;
    for (const std::string& directory : directories)
        ReadAllFiles(directory, includeSubdirectories, host, catalogue, &seen);
    host.SetStatusText(kCheckingDuplicatesText, true);
    GroupCatalogue(catalogue, criteria, host, target);
    host.SetStatusText(kTotalFilesText + std::to_string(target.size()), true);
    return TSearchOutcome::Completed;
}

} // namespace quorvane
