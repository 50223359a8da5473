// mkstemp beside the target, write, fchmod, fsync, rename, then sync the
// folder so that the rename itself survives a crash.
#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

bool WriteAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Best effort: a folder that cannot be opened or synced still holds the file.
void SyncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, mode_t mode, bool createFolder)
{
    return ReplaceFileAtomically(
        path, [bytes](const TByteSink& sink) { return sink(bytes); }, mode, createFolder);
}

bool ReplaceFileAtomically(const std::string& path, const std::function<bool(const TByteSink&)>& produce,
                           mode_t mode, bool createFolder)
{
    if (path.empty()) return false;
    const std::filesystem::path target(path);
    if (createFolder && target.has_parent_path()) {
        std::error_code error;
        std::filesystem::create_directories(target.parent_path(), error);
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = produce([fd](std::string_view bytes) { return WriteAll(fd, bytes); }) &&
                    ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    SyncFolder(target.parent_path());
    return true;
}

} // namespace quorvane
