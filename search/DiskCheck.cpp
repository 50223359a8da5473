// The disk check of result rows: rows are visited directory by directory
// (rows of one directory share its text), each directory opened once.
#include "DiskCheck.h"

#include "FileIdentity.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {

namespace {

// The state a failed lookup tells: a missing name or folder is gone; any
// other failure says nothing about the file.
TDiskState StateOfLookupError(int error)
{
    return error == ENOENT || error == ENOTDIR ? kDiskGone : kDiskAsListed;
}

class TDirectoryHandle {
  public:
    explicit TDirectoryHandle(const std::string& path)
        : FFd(::open(path.empty() ? "." : path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)), FError(errno)
    {
    }
    ~TDirectoryHandle()
    {
        if (FFd >= 0) ::close(FFd);
    }
    TDirectoryHandle(const TDirectoryHandle&) = delete;
    TDirectoryHandle& operator=(const TDirectoryHandle&) = delete;

    TDiskState StateOf(const TFileRecord& row) const
    {
        if (FFd < 0) return FError == ENOENT || FError == ENOTDIR ? kDiskGone : DiskStateOf(row);
        struct stat st {};
        if (::fstatat(FFd, row.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return StateOfLookupError(errno);
        return DiskStateFromStat(st, row);
    }

  private:
    int FFd;
    int FError;
};

} // namespace

TDiskState DiskStateFromStat(const struct stat& st, const TFileRecord& row)
{
    // A row that recorded no identity (none of the scan's rows) can only be
    // found gone, never changed.
    TFileIdentity expected = IdentityOfRow(row);
    expected.Known = row.Device != 0 || row.Inode != 0;
    return CheckIdentity(st, expected) == EIdentity::Same ? kDiskAsListed : kDiskChanged;
}

TDiskState DiskStateOf(const TFileRecord& row)
{
    struct stat st {};
    if (::lstat(row.FullPath().c_str(), &st) != 0) return StateOfLookupError(errno);
    return DiskStateFromStat(st, row);
}

std::vector<std::uint8_t> DiskStatesOf(const std::vector<TFileRecord>& rows, const std::vector<std::size_t>& which,
                                       std::stop_token stop,
                                       const std::function<void(std::size_t, std::size_t)>& progress)
{
    std::vector<std::uint8_t> states(which.size(), kDiskAsListed);
    // Positions into which, ordered so that rows of one directory stand
    // together (rows share their directory's text, so its address is a key).
    std::vector<std::size_t> order(which.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    auto directoryOf = [&](std::size_t k) { return rows[which[k]].Directory.get(); };
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::less<const std::string*>()(directoryOf(a), directoryOf(b));
    });
    std::size_t done = 0;
    for (std::size_t start = 0; start < order.size();) {
        if (stop.stop_requested()) break;
        std::size_t end = start + 1;
        while (end < order.size() && directoryOf(order[end]) == directoryOf(order[start]))
            ++end;
        const TDirectoryHandle directory(rows[which[order[start]]].DirectoryText());
        for (std::size_t k = start; k < end; ++k)
            states[order[k]] = directory.StateOf(rows[which[order[k]]]);
        done += end - start;
        start = end;
        if (progress) progress(done, order.size());
    }
    return states;
}

} // namespace quorvane
