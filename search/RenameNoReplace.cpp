// renameat2(RENAME_NOREPLACE) through the system call itself, with a hard
// link and an unlink where the file system cannot refuse a replacing rename.
#include "RenameNoReplace.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvane {

namespace {
// RENAME_NOREPLACE of <linux/fs.h>, spelled out for C libraries without it.
constexpr unsigned kRenameNoReplace = 1u << 0;
} // namespace

int RenameNoReplace(int fromDir, const std::string& from, int toDir, const std::string& to)
{
    // The system call itself: a C library without the renameat2 wrapper
    // still reaches a kernel that has it.
    if (::syscall(SYS_renameat2, fromDir, from.c_str(), toDir, to.c_str(), kRenameNoReplace) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A hard link refuses an existing target too, and the old name goes only
    // once the new one holds the file.
    if (::linkat(fromDir, from.c_str(), toDir, to.c_str(), 0) != 0) return errno;
    if (::unlinkat(fromDir, from.c_str(), 0) != 0) {
        const int error = errno;
        ::unlinkat(toDir, to.c_str(), 0);
        return error;
    }
    return 0;
}

} // namespace quorvane
