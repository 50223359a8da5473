// The identity check over lstat/fstat: the four recorded fields against the
// file's status now, and only for a regular file.
#include "FileIdentity.h"

#include <cerrno>

namespace quorvane {

TFileIdentity IdentityOfStat(const struct stat& st)
{
    return {true, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

EIdentity CheckIdentity(const struct stat& st, const TFileIdentity& expected)
{
    if (!S_ISREG(st.st_mode)) return EIdentity::NotRegular;
    if (!expected.Known) return EIdentity::Same;
    const TFileIdentity now = IdentityOfStat(st);
    const bool same = now.Device == expected.Device && now.Inode == expected.Inode &&
                      now.Size == expected.Size && now.ModifiedNs == expected.ModifiedNs;
    return same ? EIdentity::Same : EIdentity::Changed;
}

EIdentity CheckIdentity(const std::string& path, const TFileIdentity& expected, int& error)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        error = errno;
        return EIdentity::Missing;
    }
    return CheckIdentity(st, expected);
}

} // namespace quorvane
