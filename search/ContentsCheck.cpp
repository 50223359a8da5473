// Sampled contents: one byte every fifth of the file (every byte below five
// bytes). Small files are read with one pread and sampled in memory; larger
// ones byte by byte at the offsets. A descriptor never outlives its check.
#include "ContentsCheck.h"

#include "TextCompare.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

// Files up to this size are read whole: one system call beats six.
constexpr off_t kReadWholeLimit = off_t{64} * 1024;

class TFileHandle {
  public:
    explicit TFileHandle(int fd) : FFd(fd) {}
    ~TFileHandle()
    {
        if (FFd >= 0) close(FFd);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    int Fd() const { return FFd; }

  private:
    int FFd;
};

[[noreturn]] void ThrowCannotOpen(const std::string& path)
{
    throw EFileReadError("Cannot open file " + path);
}

[[noreturn]] void ThrowStreamReadError()
{
    throw EFileReadError("Stream read error");
}

// Opens path for the check: no link is followed, no open blocks (a FIFO put
// in a file's place), and only a regular file is accepted.
int OpenRegularFile(const std::string& path, struct stat& st)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) ThrowCannotOpen(path);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        ThrowCannotOpen(path);
    }
    return fd;
}

// Reads up to length bytes at offset; fewer only at the end of the file.
std::size_t ReadAt(int fd, unsigned char* buffer, std::size_t length, off_t offset)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = pread(fd, buffer + done, length - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ThrowStreamReadError();
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

} // namespace

std::vector<unsigned char> ReadSample(int fd, off_t size)
{
    std::vector<unsigned char> sample;
    const off_t step = std::max<off_t>(size / 5, 1);
    if (size <= kReadWholeLimit) {
        std::vector<unsigned char> whole(static_cast<std::size_t>(size));
        const std::size_t got = ReadAt(fd, whole.data(), whole.size(), 0);
        for (off_t offset = 0; offset < size; offset += step) {
            // The file became shorter since its size was taken.
            if (static_cast<std::size_t>(offset) >= got) ThrowStreamReadError();
            sample.push_back(whole[static_cast<std::size_t>(offset)]);
        }
        return sample;
    }
    for (off_t offset = 0; offset < size; offset += step) {
        unsigned char byte = 0;
        if (ReadAt(fd, &byte, 1, offset) != 1) ThrowStreamReadError();
        sample.push_back(byte);
    }
    return sample;
}

void TContentsCheck::LoadReference()
{
    struct stat st;
    const TFileHandle reference(OpenRegularFile(FReferencePath, st));
    FDevice = st.st_dev;
    FInode = st.st_ino;
    FSize = st.st_size;
    FSample = ReadSample(reference.Fd(), FSize);
    FLoaded = true;
}

bool TContentsCheck::Matches(const std::string& candidatePath)
{
    if (candidatePath == FReferencePath) return true;
    struct stat st;
    const TFileHandle candidate(OpenRegularFile(candidatePath, st));
    if (!FLoaded) LoadReference();
    if (st.st_dev == FDevice && st.st_ino == FInode) return true;
    if (st.st_size != FSize) return false;
    return ReadSample(candidate.Fd(), FSize) == FSample;
}

bool SameContents(const std::string& pathA, const std::string& pathB, PathStyle style)
{
    if (style == PathStyle::Windows && SameFolded(pathA, pathB)) return true;
    return TContentsCheck(pathB).Matches(pathA);
}

} // namespace quorvane
