// Duplicate detection. The key entries are sorted once by key and then by the
// decimal text of the catalogue index; each run of equal keys is resolved
// once, at the first catalogue row that carries its key, into all the groups
// its reference walk gives (RunGrouping.h).
#include "DuplicateSearch.h"

#include "ContentsCheck.h"
#include "FileScan.h"
#include "PathRules.h"
#include "RunGrouping.h"
#include "TextCompare.h"
#include "WholeContents.h"

#include <algorithm>
#include <memory>

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

// Key entries of the search: the key (a number for Size and Time, the name
// for Name), the order of the index text, and the catalogue index.
struct TNumberEntry {
    std::uint64_t Key;
    std::uint64_t IndexOrder;
    std::uint32_t Index;

    static bool SameKey(const TNumberEntry& a, const TNumberEntry& b) { return a.Key == b.Key; }
    static bool Before(const TNumberEntry& a, const TNumberEntry& b)
    {
        return a.Key != b.Key ? a.Key < b.Key : a.IndexOrder < b.IndexOrder;
    }
};

// Names carry their first 16 folded bytes as two numbers (zero-padded; names
// hold no NUL byte, so the numbers order as the folded texts do), and only
// names that agree on those bytes are compared in full.
struct TNameEntry {
    std::uint64_t High = 0;
    std::uint64_t Low = 0;
    const std::string* Key;
    std::uint64_t IndexOrder;
    std::uint32_t Index;

    TNameEntry(const std::string* key, std::uint64_t indexOrder, std::uint32_t index)
        : Key(key), IndexOrder(indexOrder), Index(index)
    {
        const TFoldedPrefix prefix = TFoldedPrefix::Of(*key);
        High = prefix.High;
        Low = prefix.Low;
    }

    static int CompareKeys(const TNameEntry& a, const TNameEntry& b)
    {
        if (a.High != b.High) return a.High < b.High ? -1 : 1;
        if (a.Low != b.Low) return a.Low < b.Low ? -1 : 1;
        return CompareFolded(*a.Key, *b.Key);
    }
    static bool SameKey(const TNameEntry& a, const TNameEntry& b) { return CompareKeys(a, b) == 0; }
    static bool Before(const TNameEntry& a, const TNameEntry& b)
    {
        const int byKey = CompareKeys(a, b);
        return byKey != 0 ? byKey < 0 : a.IndexOrder < b.IndexOrder;
    }
};

// The catalogue indexes in key-list order, and where each run of equal keys
// starts (plus the total at the end).
struct TSortedKeys {
    std::vector<std::uint32_t> Indexes;
    std::vector<std::size_t> RunStarts;
};

// Builds the key list (first pass, with progress), sorts it once and finds
// its runs. keyOf gives the key of one catalogue row.
template <typename TEntry, typename TKeyOf>
TSortedKeys SortKeys(const std::vector<TFileRecord>& catalogue, TScanHost& host, TKeyOf keyOf)
{
    std::vector<TEntry> keyList;
    keyList.reserve(catalogue.size());
    TProgressMeter meter(host, catalogue.size());
    for (std::size_t q = 0; q < catalogue.size(); ++q) {
        meter.Step(q);
        const auto index = static_cast<std::uint32_t>(q);
        keyList.push_back(TEntry{keyOf(catalogue[q]), IndexTextOrder(index), index});
    }
    std::sort(keyList.begin(), keyList.end(), TEntry::Before);
    TSortedKeys sorted;
    sorted.Indexes.reserve(keyList.size());
    for (std::size_t i = 0; i < keyList.size(); ++i) {
        if (i == 0 || !TEntry::SameKey(keyList[i - 1], keyList[i])) sorted.RunStarts.push_back(i);
        sorted.Indexes.push_back(keyList[i].Index);
    }
    sorted.RunStarts.push_back(keyList.size());
    return sorted;
}

// The search key is the first ticked of Name, Size, Time.
TSortedKeys SortCatalogueKeys(const std::vector<TFileRecord>& catalogue, const TSearchCriteria& criteria,
                              TScanHost& host)
{
    if (criteria.Name)
        return SortKeys<TNameEntry>(catalogue, host, [](const TFileRecord& row) { return &row.Name; });
    if (criteria.Size)
        return SortKeys<TNumberEntry>(catalogue, host, [](const TFileRecord& row) { return row.Size; });
    // Signed to unsigned with the sign bit flipped keeps the numeric order.
    return SortKeys<TNumberEntry>(catalogue, host, [](const TFileRecord& row) {
        return static_cast<std::uint64_t>(row.TimeKey) ^ (1ull << 63);
    });
}

// The rows whose contents the groups may compare, ascending.
std::vector<std::uint32_t> RowsToRead(const std::vector<TFileRecord>& catalogue, const TSortedKeys& keys)
{
    std::vector<std::uint32_t> rows;
    for (std::size_t run = 0; run + 1 < keys.RunStarts.size(); ++run)
        RowsNeedingContents(catalogue, keys.Indexes.data() + keys.RunStarts[run],
                            keys.Indexes.data() + keys.RunStarts[run + 1], rows);
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The contents of the rows that groups may compare: whole contents when
// All bytes is ticked (it supersedes CC), else the sampled bytes; null when
// contents are not compared.
std::unique_ptr<TContentsClasses> ReadContents(const std::vector<TFileRecord>& catalogue,
                                               const TSortedKeys& keys, const TSearchCriteria& criteria,
                                               TScanHost& host, const TScanContext* scan)
{
    if (criteria.CompareAllBytes()) {
        auto digests = std::make_unique<TDigestStore>();
        digests->Read(catalogue, RowsToRead(catalogue, keys), host, scan);
        return digests;
    }
    if (criteria.CompareContents()) {
        auto samples = std::make_unique<TSampleStore>();
        samples->Read(catalogue, RowsToRead(catalogue, keys), host, scan);
        return samples;
    }
    return nullptr;
}

// Moves the listed rows to target (each catalogue row is listed at most
// once) and their group starts, as indexes of target, to groupStarts.
void MoveListed(std::vector<TFileRecord>& catalogue, const TListedRows& listed,
                std::vector<TFileRecord>& target, std::vector<std::size_t>* groupStarts)
{
    if (groupStarts) {
        for (std::size_t start : listed.GroupStarts)
            groupStarts->push_back(target.size() + start);
    }
    const std::size_t before = target.size();
    target.reserve(target.size() + listed.Rows.size());
    for (std::uint32_t index : listed.Rows)
        target.push_back(std::move(catalogue[index]));
    // The names of one file stand next to each other within a group.
    std::size_t group = 0;
    for (std::size_t i = 1; i < listed.Rows.size(); ++i) {
        while (group < listed.GroupStarts.size() && listed.GroupStarts[group] <= i)
            ++group;
        const bool startsGroup = listed.GroupStarts[group - 1] == i;
        TFileRecord& row = target[before + i];
        TFileRecord& previous = target[before + i - 1];
        if (!startsGroup && SameFile(row, previous)) row.OtherNames = previous.OtherNames = true;
    }
}

// Second pass: catalogue row q resolves its key's run the first time the run
// is met, so groups appear in the order of their lowest catalogue index.
void GroupInto(std::vector<TFileRecord>& catalogue, const TSearchCriteria& criteria, TScanHost& host,
               std::vector<TFileRecord>& target, std::vector<std::size_t>* groupStarts,
               const TScanContext* scan)
{
    const TSortedKeys keys = SortCatalogueKeys(catalogue, criteria, host);
    const std::size_t runs = keys.RunStarts.size() - 1;
    std::vector<std::uint32_t> runOf(catalogue.size());
    for (std::size_t run = 0; run < runs; ++run) {
        for (std::size_t i = keys.RunStarts[run]; i < keys.RunStarts[run + 1]; ++i)
            runOf[keys.Indexes[i]] = static_cast<std::uint32_t>(run);
    }
    // Contents are read ahead in directory order, as passes of their own;
    // a file that could not be read is reported there and left out here.
    const std::unique_ptr<TContentsClasses> contents = ReadContents(catalogue, keys, criteria, host, scan);
    std::vector<bool> resolved(runs, false);
    TListedRows listed;
    TProgressMeter meter(host, catalogue.size());
    for (std::size_t q = 0; q < catalogue.size(); ++q) {
        meter.Step(q);
        const std::uint32_t run = runOf[q];
        if (resolved[run]) continue;
        resolved[run] = true;
        GroupRun(catalogue, keys.Indexes.data() + keys.RunStarts[run],
                 keys.Indexes.data() + keys.RunStarts[run + 1], contents.get(), criteria, listed);
    }
    MoveListed(catalogue, listed, target, groupStarts);
}

} // namespace

void GroupCatalogue(std::vector<TFileRecord>& catalogue, const TSearchCriteria& criteria, TScanHost& host,
                    std::vector<TFileRecord>& target)
{
    GroupInto(catalogue, criteria, host, target, nullptr, nullptr);
}

void GroupCatalogueWithGroups(std::vector<TFileRecord>& catalogue, const TSearchCriteria& criteria,
                              TScanHost& host, std::vector<TFileRecord>& target,
                              std::vector<std::size_t>& groupStarts)
{
    GroupInto(catalogue, criteria, host, target, &groupStarts, nullptr);
}

TSearchOutcome FindDuplicatesWithGroups(const std::vector<std::string>& directories,
                                        const TSearchCriteria& criteria, bool includeSubdirectories,
                                        TDuplicateHost& host, std::vector<TFileRecord>& target,
                                        std::vector<std::size_t>& groupStarts)
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
    // The search fills its own vectors and hands them over only when it ends
    // (or a read error stops it): a cancelled search leaves target as it was.
    std::vector<TFileRecord> catalogue;
    std::vector<TFileRecord> found;
    std::vector<std::size_t> starts;
    TScanContext scan;
    for (const std::string& directory : directories)
        ReadAllFiles(directory, includeSubdirectories, host, catalogue, &scan);
    host.SetStatusText(kCheckingDuplicatesText, true);
    GroupInto(catalogue, criteria, host, found, &starts, &scan);
    target = std::move(found);
    groupStarts = std::move(starts);
    host.SetStatusText(kTotalFilesText + std::to_string(target.size()), true);
    return TSearchOutcome::Completed;
}

TSearchOutcome FindDuplicates(const std::vector<std::string>& directories, const TSearchCriteria& criteria,
                              bool includeSubdirectories, TDuplicateHost& host,
                              std::vector<TFileRecord>& target)
{
    std::vector<std::size_t> groupStarts;
    return FindDuplicatesWithGroups(directories, criteria, includeSubdirectories, host, target, groupStarts);
}

} // namespace quorvane
