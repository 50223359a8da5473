// Duplicate detection: reads the input directories into a catalogue, sorts
// one key entry per row, and splits each run of equal keys into every group
// its rows form under the ticked criteria: the run's first row is the
// reference, its matches are listed, then the reference; the first row left
// over becomes the next reference, and so on. Work is O(n log n).
#pragma once

#include "ScanHost.h"
#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

inline constexpr const char* kNoDirectoryMessage = "您沒有輸入目錄叫我怎麼找?";
inline constexpr const char* kNoCriterionMessage = "您必須至少打一個勾";
inline constexpr const char* kCheckingDuplicatesText = "Checking duplicates...";
inline constexpr const char* kTotalFilesText = "Total Files:";

// The main window's side of a search: progress plus the refusals and the
// clearing of the result list.
class TDuplicateHost : public TScanHost {
  public:
    // An error message box (title "Error", one OK button).
    virtual void ShowErrorMessage(const std::string& text) = 0;
    // Empties the visible result list; called only after the refusal checks.
    virtual void ClearFileList() = 0;
};

// A file that could not be opened or read by SameContents. The message is
// "Cannot open file <path>" or "Stream read error". (A search does not stop
// on such a file: it tells the host, TScanHost::NotRead, and goes on.)
class EFileReadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class TSearchOutcome { Completed, NoDirectory, NoCriterion };

// Runs the search. A refusal shows its message through the host and leaves
// target untouched. Otherwise the host's list is cleared and the directories
// are read and grouped; when the search ends, target holds the groups (its
// previous rows replaced) and the status text ends as "Total Files:"
// followed by target.size(). A directory or file that cannot be read is told
// to the host (NotRead) and left out; the search goes on. ESearchCancelled
// propagates when the host asks to
// stop; target is then exactly as it was before the call (the caller has
// seen ClearFileList and restores its list).
TSearchOutcome FindDuplicates(const std::vector<std::string>& directories, const TSearchCriteria& criteria,
                              bool includeSubdirectories, TDuplicateHost& host,
                              std::vector<TFileRecord>& target);

// FindDuplicates that also gives where each group starts: groupStarts holds,
// ascending, the index in target of each group's first row (replaced, as
// target is, when the search ends).
TSearchOutcome FindDuplicatesWithGroups(const std::vector<std::string>& directories,
                                        const TSearchCriteria& criteria, bool includeSubdirectories,
                                        TDuplicateHost& host, std::vector<TFileRecord>& target,
                                        std::vector<std::size_t>& groupStarts);

// The detection proper on a catalogue already read: appends the groups to
// target (rows are moved out of catalogue). Reports its passes through host:
// the key list, then, when contents are compared, the reading of the contents
// (one pass for the sampled bytes; for All bytes one for the first stage and,
// when needed, one for whole files), then the grouping; each pass runs the
// percentage up to 100. Files that cannot be read are told to the host and
// left out of the groups. Throws ESearchCancelled when the host
// asks to stop; target and catalogue are then as they were before the call.
void GroupCatalogue(std::vector<TFileRecord>& catalogue, const TSearchCriteria& criteria, TScanHost& host,
                    std::vector<TFileRecord>& target);

// GroupCatalogue that also appends to groupStarts the index in target of
// each group's first row.
void GroupCatalogueWithGroups(std::vector<TFileRecord>& catalogue, const TSearchCriteria& criteria,
                              TScanHost& host, std::vector<TFileRecord>& target,
                              std::vector<std::size_t>& groupStarts);

// One entry of the key list: the search key and the catalogue index.
struct TKeyEntry {
    std::string Key;
    std::uint32_t Index = 0;
};

// Sorts key entries by key (ASCII-folded), then by the decimal text of the
// index, so "10" stands before "9".
void SortKeyList(std::vector<TKeyEntry>& keyList);

// Index of the first entry of the sorted keyList whose key equals key
// (ASCII-folded), or -1.
std::ptrdiff_t FindKeyEntry(const std::vector<TKeyEntry>& keyList, std::string_view key);

// True when the files at pathA (candidate) and pathB (reference) count as
// having the same contents: equal paths without opening (byte-exact on Linux,
// ASCII-folded with the Windows style), else equal sizes and equal bytes at
// offsets 0, size/5, 2*size/5, ... (every byte when the size is below 5).
// Opens without following links or blocking, and reads only regular files;
// throws EFileReadError otherwise.
bool SameContents(const std::string& pathA, const std::string& pathB, PathStyle style = kNativePathStyle);

} // namespace quorvane
