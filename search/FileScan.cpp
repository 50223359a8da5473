// The file scan over opendir/readdir/fstatat. Names are kept as the bytes the
// file system returns; links are never followed, and only regular files
// become rows, so the walk cannot loop and no row names a FIFO or a device.
#include "FileScan.h"

#include "PathRules.h"
#include "TextCompare.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unordered_set>

namespace quorvane {

bool TSeenFiles::Insert(std::uint64_t device, std::uint64_t inode)
{
    return FSeen.emplace(device, inode).second;
}

namespace {

struct TDirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using TDirHandle = std::unique_ptr<DIR, TDirCloser>;

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Siblings order: ASCII-folded, then bytes, so names differing only in case
// (distinct directories on Linux) still have a fixed order.
bool SubdirectoryBefore(const std::string& a, const std::string& b)
{
    const int folded = CompareFolded(a, b);
    return folded != 0 ? folded < 0 : a < b;
}

// True when the entry is a directory that is not a link. d_type spares a
// stat on the file systems that fill it.
bool IsRealDirectory(int dirFd, const dirent& entry)
{
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_UNKNOWN) return false;
    struct stat st;
    return fstatat(dirFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Entry types that can never become a row; DT_UNKNOWN and DT_REG go on to
// fstatat, which decides.
bool SurelyNotRegular(unsigned char type)
{
    return type != DT_REG && type != DT_UNKNOWN;
}

} // namespace

std::int64_t TimeKeyOf(std::int64_t secondsSinceEpoch)
{
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return 0;
    const std::int64_t year = static_cast<std::int64_t>(local.tm_year) + 1900;
    return year * 100000000 + (local.tm_mon + 1) * 1000000LL + local.tm_mday * 10000LL +
           local.tm_hour * 100LL + local.tm_min;
}

void ListSubdirectories(const std::string& directory, std::vector<std::string>& list)
{
    TDirHandle dir(opendir(directory.c_str()));
    if (!dir) return;
    const int fd = dirfd(dir.get());
    const std::size_t before = list.size();
    while (const dirent* entry = readdir(dir.get())) {
        if (IsHiddenName(entry->d_name)) continue; // also "." and ".."
        if (!IsRealDirectory(fd, *entry)) continue;
        list.push_back(JoinPath(directory, entry->d_name, PathStyle::Posix));
    }
    std::sort(list.begin() + static_cast<std::ptrdiff_t>(before), list.end(), SubdirectoryBefore);
    std::inplace_merge(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(before), list.end(),
                       SubdirectoryBefore);
}

void CollectDirectories(const std::string& directory, std::vector<std::string>& collection)
{
    std::unordered_set<std::string> present(collection.begin(), collection.end());
    std::set<std::pair<std::uint64_t, std::uint64_t>> entered;
    // An explicit stack instead of recursion: a very deep tree cannot
    // overflow the call stack. Children are pushed in reverse so that they
    // are taken in sorted order, each followed by its subtree.
    std::vector<std::string> pending{NormaliseDirectory(directory, PathStyle::Posix)};
    std::vector<std::string> children;
    while (!pending.empty()) {
        std::string current = std::move(pending.back());
        pending.pop_back();
        struct stat st;
        // A bind mount can show a directory inside itself; enter each once.
        if (stat(current.c_str(), &st) == 0 && !entered.emplace(st.st_dev, st.st_ino).second) continue;
        if (present.insert(current).second) collection.push_back(current);
        children.clear();
        ListSubdirectories(current, children);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back(std::move(*it));
    }
}

void ReadDirectoryFiles(const std::string& directory, std::vector<TFileRecord>& target, TSeenFiles* seen)
{
    TDirHandle dir(opendir(directory.c_str()));
    if (!dir) return;
    const int fd = dirfd(dir.get());
    const auto shared = std::make_shared<const std::string>(directory);
    while (const dirent* entry = readdir(dir.get())) {
        if (IsDotOrDotDot(entry->d_name) || SurelyNotRegular(entry->d_type)) continue;
        struct stat st;
        if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (seen &&
            !seen->Insert(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)))
            continue;
        TFileRecord row;
        row.Name = entry->d_name;
        row.Directory = shared;
        row.Size = static_cast<std::uint64_t>(st.st_size);
        row.TimeKey = TimeKeyOf(static_cast<std::int64_t>(st.st_mtim.tv_sec));
        row.ImageIndex = IsPictureFile(row.Name) ? kImagePicture : kImageOtherFile;
        row.Device = static_cast<std::uint64_t>(st.st_dev);
        row.Inode = static_cast<std::uint64_t>(st.st_ino);
        row.ModifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        target.push_back(std::move(row));
    }
}

void ReadAllFiles(const std::string& directory, bool includeSubdirectories, TScanHost& host,
                  std::vector<TFileRecord>& target, TSeenFiles* seen)
{
    host.SetStatusText(kReadingAllFilesText, true);
    if (!includeSubdirectories) {
        ReadDirectoryFiles(directory, target, seen);
        return;
    }
    std::vector<std::string> directories;
    CollectDirectories(directory, directories);
    TProgressMeter meter(host, directories.size());
    for (std::size_t i = 0; i < directories.size(); ++i) {
        meter.Step(i);
        ReadDirectoryFiles(directories[i], target, seen);
    }
}

} // namespace quorvane
