// A file's identity as its row recorded it (device, inode, size, write time
// to the nanosecond), and the check of a path against it just before acting.
// Invariant: Same means a regular file whose four fields all match; nothing
// else ever passes, so an action never lands on a file the row did not see.
#pragma once

#include "TFileRecord.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace quorvane {

// What a file was when its row was listed. Known is false for a path with no
// row behind it; such a file is acted on as it is.
struct TFileIdentity {
    bool Known = false;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0;
};

// The identity a listed row recorded when the scan read it.
inline TFileIdentity IdentityOfRow(const TFileRecord& row)
{
    return {true, row.Device, row.Inode, row.Size, row.ModifiedNs};
}

// The identity a status describes now.
TFileIdentity IdentityOfStat(const struct stat& st);

// How a file on disk compares with what its row recorded.
enum class EIdentity { Same, Changed, NotRegular, Missing };

// Checks the path (not following a final link) against expected; error gets
// errno when the file is missing. An unknown identity passes any regular file.
EIdentity CheckIdentity(const std::string& path, const TFileIdentity& expected, int& error);
// The same check on a status already taken (fstat of an open file).
EIdentity CheckIdentity(const struct stat& st, const TFileIdentity& expected);

} // namespace quorvane
