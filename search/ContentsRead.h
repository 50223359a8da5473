// Shared steps of the contents passes: which file each row reads (rows of
// one file share one reading), and the directory a file is opened in. Each
// file is opened by name relative to its open directory, never by a path.
#pragma once

#include "TFileRecord.h"

#include <cstdint>
#include <vector>

namespace quorvane {

// The class given to a row whose file was never read: distinct per row and
// from every class of a file that was read.
inline constexpr std::uint64_t kUnreadClass = std::uint64_t{1} << 63;

// Assigns one slot per file (same device and inode) to the given rows;
// slotOf[row] receives the slot. Returns, per slot, the first row of it,
// in the order of rows.
std::vector<std::uint32_t> AssignFileSlots(const std::vector<TFileRecord>& catalogue,
                                           const std::vector<std::uint32_t>& rows,
                                           std::vector<std::int32_t>& slotOf);

// Keeps the directory of the last row open, so that the files of one
// directory, met one after another, cost one directory open.
class TDirectoryOpener {
  public:
    TDirectoryOpener() = default;
    ~TDirectoryOpener();
    TDirectoryOpener(const TDirectoryOpener&) = delete;
    TDirectoryOpener& operator=(const TDirectoryOpener&) = delete;

    // The descriptor of row's directory (owned here, valid until the next
    // call), or -1 when it cannot be opened.
    int Open(const TFileRecord& row);

  private:
    const std::string* FDirectory = nullptr;
    int FFd = -1;
};

} // namespace quorvane
