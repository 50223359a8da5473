// Shared steps of the contents passes: which file each row reads (rows of
// one file share one reading), and the directory a file is opened in. Each
// file is opened by name relative to its open directory, never by a path.
#pragma once

#include "DirectoryPath.h"
#include "FileScan.h"
#include "TFileRecord.h"

#include <cstdint>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace quorvane {

// The class given to a row whose file was never read: distinct per row and
// from every class of a file that was read.
inline constexpr std::uint64_t kUnreadClass = std::uint64_t{1} << 63;

// Owns one descriptor; -1 holds none.
class TFileHandle {
  public:
    explicit TFileHandle(int fd) : FFd(fd) {}
    ~TFileHandle() { Reset(-1); }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    int Fd() const { return FFd; }
    void Reset(int fd);

  private:
    int FFd;
};

// Reads up to length bytes at offset, fewer at the end of the file; -1 on
// an error.
ssize_t ReadAt(int fd, unsigned char* buffer, std::size_t length, off_t offset);

// Opens name in dirFd for reading without following a link or blocking on
// a FIFO; -1 unless it is a regular file, whose status then fills st.
int OpenRegularFile(int dirFd, const char* name, struct stat& st);

// Assigns one slot per file (same device and inode) to the given rows;
// slotOf[row] receives the slot. Returns, per slot, the first row of it,
// in the order of rows.
std::vector<std::uint32_t> AssignFileSlots(const std::vector<TFileRecord>& catalogue,
                                           const std::vector<std::uint32_t>& rows,
                                           std::vector<std::int32_t>& slotOf);

// Opens the directories of rows for the contents passes. A directory the
// scan placed (TScanContext) is opened from its input directory level by
// level without following links, so a directory swapped for a link since the
// scan is not followed and depth has no limit; the levels shared with the
// previous row's directory stay open. Other rows' directories are opened by
// their text. The last directory stays open for the next row.
class TDirectoryOpener {
  public:
    explicit TDirectoryOpener(const TScanContext* scan) : FScan(scan) {}
    TDirectoryOpener(const TDirectoryOpener&) = delete;
    TDirectoryOpener& operator=(const TDirectoryOpener&) = delete;

    // The descriptor of row's directory (owned here, valid until the next
    // call), or -1 when it cannot be opened.
    int Open(const TFileRecord& row);

  private:
    int OpenPlaced(const std::string& text, std::size_t rootLength);

    const TScanContext* FScan;
    const std::string* FDirectory = nullptr;
    int FFd = -1;
    TFileHandle FByText{-1};
    TDirectoryPath FPath;
};

} // namespace quorvane
