// File slots and directory opening of the contents passes.
#include "ContentsRead.h"

#include <algorithm>
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

ssize_t ReadExpected(int fd, unsigned char* buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done <= size) {
        const ssize_t got = pread(fd, buffer + done, size + 1 - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
        if (done == size) break;
    }
    return static_cast<ssize_t>(done);
}

int OpenListedFile(int dirFd, const char* name)
{
    const int fd = openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ELOOP) errno = 0; // a link put in the file's place
    return fd;
}

TAfterRead CheckAfterRead(int fd, const TFileRecord& row, struct stat& st)
{
    const bool statted = fstat(fd, &st) == 0;
    return CheckStatusAfterRead(statted, errno, row, st);
}

TAfterRead CheckStatusAfterRead(bool statted, int error, const TFileRecord& row, const struct stat& st)
{
    if (!statted) {
        errno = error;
        return TAfterRead::NotOpened;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = 0;
        return TAfterRead::NotOpened;
    }
    return ChangedSinceScan(row, st) ? TAfterRead::Changed : TAfterRead::Unchanged;
}

int OpenRegularFile(int dirFd, const char* name, struct stat& st)
{
    const int fd = OpenListedFile(dirFd, name);
    if (fd < 0) return -1;
    // Only a regular file is read: a FIFO or device put in the file's place
    // counts as a file that cannot be opened.
    const bool statted = fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        const int error = statted ? 0 : errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool ChangedSinceScan(const TFileRecord& row, const struct stat& st)
{
    if (static_cast<std::uint64_t>(st.st_size) != row.Size) return true;
    if (row.Inode == 0) return false;
    const std::int64_t modified =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return static_cast<std::uint64_t>(st.st_ino) != row.Inode ||
           static_cast<std::uint64_t>(st.st_dev) != row.Device || modified != row.ModifiedNs;
}

bool ChangedWhileRead(int fd, const struct stat& before)
{
    struct stat now;
    if (fstat(fd, &now) != 0) return true;
    return now.st_size != before.st_size || now.st_mtim.tv_sec != before.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != before.st_mtim.tv_nsec;
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

std::vector<std::unique_ptr<TDirectoryOpener>> DirectoryOpeners(unsigned threads, const TScanContext* scan)
{
    std::vector<std::unique_ptr<TDirectoryOpener>> openers;
    for (unsigned w = 0; w < std::max(threads, 1u); ++w)
        openers.push_back(std::make_unique<TDirectoryOpener>(scan));
    return openers;
}

int TDirectoryOpener::Open(const TFileRecord& row)
{
    if (FDirectory && FDirectory == row.Directory.get()) return FFd;
    FDirectory = row.Directory.get();
    const std::string& text = row.DirectoryText();
    const std::size_t rootLength = FScan ? FScan->RootLengthOf(FDirectory) : std::string::npos;
    if (rootLength != std::string::npos) return FFd = OpenPlaced(text, rootLength);
    FByText.Reset(open(text.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return FFd = FByText.Fd();
}

int TDirectoryOpener::OpenPlaced(const std::string& text, std::size_t rootLength)
{
    const std::string root = text.substr(0, rootLength);
    std::vector<std::string_view> names;
    const std::string_view rest = std::string_view(text).substr(rootLength);
    for (std::size_t begin = 0; begin < rest.size();) {
        std::size_t end = rest.find('/', begin);
        if (end == std::string_view::npos) end = rest.size();
        if (end > begin) names.push_back(rest.substr(begin, end - begin));
        begin = end + 1;
    }
    if ((FPath.Depth() == 0 || FPath.Root() != root) && !FPath.OpenRoot(root)) return -1;
    std::size_t shared = 0;
    while (shared < names.size() && shared + 1 < FPath.Depth() && FPath.NameAt(shared + 1) == names[shared])
        ++shared;
    if (!FPath.Truncate(shared + 1)) return -1;
    for (std::size_t i = shared; i < names.size(); ++i) {
        if (!FPath.Push(names[i])) return -1;
    }
    return FPath.DeepestFd();
}

} // namespace quorvane
