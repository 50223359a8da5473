// The scan filter. Names and paths are compared as the file system's bytes;
// extensions ignore ASCII case, as the list's Type column is read.
#include "ScanFilter.h"

#include "PathRules.h"
#include "TextCompare.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fnmatch.h>
#include <sys/stat.h>

namespace quorvane {

namespace {

std::string WithoutTrailingSeparators(std::string text)
{
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

// True when path is folder or lies below it, component by component.
bool WithinFolder(const std::string& path, const std::string& folder)
{
    if (path.compare(0, folder.size(), folder) != 0) return false;
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

std::string_view WithoutDot(std::string_view extension)
{
    return !extension.empty() && extension.front() == '.' ? extension.substr(1) : extension;
}

} // namespace

TScanGate::TScanGate(const TScanFilter* filter) : FFilter(filter && !filter->Empty() ? filter : nullptr)
{
    if (!FFilter) return;
    for (const std::string& folder : FFilter->ExcludedFolders) {
        if (folder.empty()) continue;
        FFolderTexts.push_back(WithoutTrailingSeparators(folder));
        struct stat st;
        if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            FFolderIds.emplace_back(static_cast<std::uint64_t>(st.st_dev),
                                    static_cast<std::uint64_t>(st.st_ino));
        if (char* resolved = ::realpath(folder.c_str(), nullptr)) {
            FFolderTexts.emplace_back(resolved);
            std::free(resolved);
        }
    }
}

bool TScanGate::AdmitsFile(std::string_view name, std::uint64_t size) const
{
    if (!FFilter) return true;
    if (size < FFilter->MinSize || size > FFilter->MaxSize) return false;
    if (!FFilter->ExcludedNames.empty()) {
        const std::string text(name);
        for (const std::string& pattern : FFilter->ExcludedNames)
            if (::fnmatch(pattern.c_str(), text.c_str(), FNM_PERIOD) == 0) return false;
    }
    if (FFilter->Extensions.empty()) return true;
    const std::string_view extension = WithoutDot(ExtensionOf(name));
    return !extension.empty() && std::any_of(FFilter->Extensions.begin(), FFilter->Extensions.end(),
                                             [extension](const std::string& wanted) {
                                                 return SameFolded(WithoutDot(wanted), extension);
                                             });
}

bool TScanGate::AdmitsFolder(std::uint64_t device, std::uint64_t inode) const
{
    return std::find(FFolderIds.begin(), FFolderIds.end(), std::make_pair(device, inode)) == FFolderIds.end();
}

bool TScanGate::AdmitsInput(const std::string& text, std::uint64_t device, std::uint64_t inode) const
{
    if (!AdmitsFolder(device, inode)) return false;
    const std::string path = WithoutTrailingSeparators(text);
    return std::none_of(FFolderTexts.begin(), FFolderTexts.end(),
                        [&path](const std::string& folder) { return WithinFolder(path, folder); });
}

std::optional<std::uint64_t> ParseByteSize(std::string_view text)
{
    if (text.empty() || text.size() > 32 || text.front() < '0' || text.front() > '9') return std::nullopt;
    std::uint64_t unit = 1;
    switch (text.back()) {
    case 'k':
    case 'K':
        unit = 1ULL << 10;
        break;
    case 'm':
    case 'M':
        unit = 1ULL << 20;
        break;
    case 'g':
    case 'G':
        unit = 1ULL << 30;
        break;
    default:
        break;
    }
    if (unit != 1) text.remove_suffix(1);
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (value > UINT64_MAX / unit) return std::nullopt;
    return value * unit;
}

std::vector<std::string> SplitFilterList(std::string_view text, std::string_view separators)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view item = text.substr(start, end - start);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        if (!item.empty()) items.emplace_back(item);
        start = end + 1;
    }
    return items;
}

} // namespace quorvane
