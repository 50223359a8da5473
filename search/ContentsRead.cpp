// File slots and directory opening of the contents passes.
#include "ContentsRead.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace quorvane {

namespace {

struct TFileKeyHash {
    std::size_t operator()(const std::pair<std::uint64_t, std::uint64_t>& k) const noexcept
    {
        return std::hash<std::uint64_t>()(k.first * 0x9E3779B97F4A7C15ull ^ k.second);
    }
};

} // namespace

void TFileHandle::Reset(int fd)
{
    if (FFd >= 0) close(FFd);
    FFd = fd;
}

ssize_t ReadAt(int fd, unsigned char* buffer, std::size_t length, off_t offset)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = pread(fd, buffer + done, length - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

int OpenRegularFile(int dirFd, const char* name, struct stat& st)
{
    const int fd = openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    // Only a regular file is read: a FIFO or device put in the file's place
    // counts as a file that cannot be opened.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

std::vector<std::uint32_t> AssignFileSlots(const std::vector<TFileRecord>& catalogue,
                                           const std::vector<std::uint32_t>& rows,
                                           std::vector<std::int32_t>& slotOf)
{
    std::unordered_map<std::pair<std::uint64_t, std::uint64_t>, std::int32_t, TFileKeyHash> slots;
    slots.reserve(rows.size());
    std::vector<std::uint32_t> firstRows;
    for (std::uint32_t row : rows) {
        const TFileRecord& record = catalogue[row];
        const auto next = static_cast<std::int32_t>(firstRows.size());
        // Rows the scan did not read (inode 0) are files of their own.
        if (record.Inode == 0) {
            slotOf[row] = next;
            firstRows.push_back(row);
            continue;
        }
        const auto [it, inserted] = slots.emplace(std::make_pair(record.Device, record.Inode), next);
        slotOf[row] = it->second;
        if (inserted) firstRows.push_back(row);
    }
    return firstRows;
}

TDirectoryOpener::~TDirectoryOpener()
{
    if (FFd >= 0) close(FFd);
}

int TDirectoryOpener::Open(const TFileRecord& row)
{
    if (FDirectory == row.Directory.get() && FDirectory) return FFd;
    if (FFd >= 0) close(FFd);
    FDirectory = row.Directory.get();
    FFd = open(row.DirectoryText().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return FFd;
}

} // namespace quorvane
