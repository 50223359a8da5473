// What a scan leaves out: files outside a size range, files whose names
// match a pattern, files of other extensions, and folders never entered.
// An empty filter admits everything and costs the scan nothing.
// Invariant: an excluded folder is known by its (device, inode), so a link
// to it, a trailing separator or a bind mount reach the same exclusion.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane {

struct TScanFilter {
    std::uint64_t MinSize = 0;
    std::uint64_t MaxSize = std::numeric_limits<std::uint64_t>::max();
    std::vector<std::string> ExcludedFolders; // paths as given
    std::vector<std::string> ExcludedNames;   // shell patterns ("*.tmp", "Thumbs.db")
    std::vector<std::string> Extensions;      // "jpg" or ".jpg"; empty: every extension

    bool Empty() const
    {
        return MinSize == 0 && MaxSize == std::numeric_limits<std::uint64_t>::max() &&
               ExcludedFolders.empty() && ExcludedNames.empty() && Extensions.empty();
    }
};

// A filter made ready for one scan: the excluded folders are looked up once
// (following links) when it is made.
class TScanGate {
  public:
    explicit TScanGate(const TScanFilter* filter);

    bool Active() const { return FFilter != nullptr; }
    // False for a file the filter leaves out.
    bool AdmitsFile(std::string_view name, std::uint64_t size) const;
    // False for a folder that is, or (for an input) lies below, an excluded
    // one. text is the folder's path; only an input needs it.
    bool AdmitsFolder(std::uint64_t device, std::uint64_t inode) const;
    bool AdmitsInput(const std::string& text, std::uint64_t device, std::uint64_t inode) const;

  private:
    const TScanFilter* FFilter = nullptr;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> FFolderIds;
    std::vector<std::string> FFolderTexts; // as given and as resolved, without a trailing separator
};

// A size with an optional unit: "1500", "10K", "2M", "1G" (powers of 1024,
// either case). nullopt for anything else or a value beyond 64 bits.
std::optional<std::uint64_t> ParseByteSize(std::string_view text);

// The items of a list separated by any of separators, trimmed of blanks,
// empties dropped. Folder lists use ";" alone, so a comma in a folder's
// name stays in it.
std::vector<std::string> SplitFilterList(std::string_view text, std::string_view separators = ";,");

} // namespace quorvane
