// The path of open directories. Open levels below the root always form one
// run ending at the deepest level, so a closed level can be opened again
// from the open level just below it.
#include "DirectoryPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

} // namespace

TDirectoryPath::~TDirectoryPath()
{
    CloseAll();
}

void TDirectoryPath::Close(TLevel& level)
{
    if (level.Fd < 0) return;
    close(level.Fd);
    level.Fd = -1;
}

void TDirectoryPath::CloseAll()
{
    for (TLevel& level : FLevels)
        Close(level);
    FLevels.clear();
    FOpenBelowRoot = 0;
    FShallowestOpen = 1;
}

bool TDirectoryPath::OpenRoot(const std::string& root)
{
    CloseAll();
    FRoot = root;
    const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (fd < 0) return false;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return false;
    }
    FLevels.push_back(TLevel{std::string(), static_cast<std::uint64_t>(st.st_dev),
                             static_cast<std::uint64_t>(st.st_ino), fd});
    return true;
}

// Opens level again through ".." of the open level below it.
bool TDirectoryPath::Reopen(std::size_t level)
{
    const int below = FLevels[level + 1].Fd;
    if (below < 0) return false;
    const int fd = openat(below, "..", kDirectoryFlags);
    struct stat st;
    if (fd < 0) return false;
    if (fstat(fd, &st) != 0 || static_cast<std::uint64_t>(st.st_dev) != FLevels[level].Device ||
        static_cast<std::uint64_t>(st.st_ino) != FLevels[level].Inode) {
        close(fd); // moved or replaced since it was entered
        return false;
    }
    FLevels[level].Fd = fd;
    ++FOpenBelowRoot;
    FShallowestOpen = level;
    return true;
}

bool TDirectoryPath::Truncate(std::size_t depth)
{
    if (depth == 0 || depth > FLevels.size()) return false;
    // Open the new deepest level while the levels below it are still open.
    for (std::size_t level = FShallowestOpen; depth > 1 && level-- > depth - 1;) {
        if (FLevels[level].Fd < 0 && !Reopen(level)) break;
    }
    while (FLevels.size() > depth) {
        if (FLevels.back().Fd >= 0 && FLevels.size() > 1) --FOpenBelowRoot;
        Close(FLevels.back());
        FLevels.pop_back();
    }
    if (FShallowestOpen > FLevels.size()) FShallowestOpen = FLevels.size();
    return FLevels.back().Fd >= 0;
}

bool TDirectoryPath::Push(std::string_view name)
{
    const int parent = DeepestFd();
    if (parent < 0) return false;
    const std::string text(name);
    const int fd = openat(parent, text.c_str(), kDirectoryFlags);
    struct stat st;
    if (fd < 0) return false;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return false;
    }
    FLevels.push_back(
        TLevel{text, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), fd});
    if (FLevels.size() == 2) FShallowestOpen = 1;
    if (++FOpenBelowRoot > kMaxOpenLevels) {
        Close(FLevels[FShallowestOpen]);
        ++FShallowestOpen;
        --FOpenBelowRoot;
    }
    return true;
}

} // namespace quorvane
