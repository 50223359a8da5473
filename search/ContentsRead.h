// Shared steps of the contents passes: which file each row reads (rows of
// one file share one reading), and the directory a file is opened in. Each
// file is opened by name relative to its open directory, never by a path.
#pragma once

#include "DirectoryPath.h"
#include "FileScan.h"
#include "RunGrouping.h"
#include "ScanHost.h"
#include "TFileRecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace quorvane {

// The class given to a row whose file was never read: distinct per row and
// from every class of a file that was read.
inline constexpr std::uint64_t kUnreadClass = std::uint64_t{1} << 63;

// Owns one descriptor; -1 holds none. Movable, so a list of open files
// closes each one exactly once.
class TFileHandle {
  public:
    explicit TFileHandle(int fd) : FFd(fd) {}
    ~TFileHandle() { Reset(-1); }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    TFileHandle(TFileHandle&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept
    {
        if (this != &other) Reset(std::exchange(other.FFd, -1));
        return *this;
    }
    int Fd() const { return FFd; }
    void Reset(int fd);

  private:
    int FFd;
};

// Reads up to length bytes at offset, fewer at the end of the file; -1 on
// an error.
ssize_t ReadAt(int fd, unsigned char* buffer, std::size_t length, off_t offset);

// Reads a file expected to hold size bytes, from its start, into buffer
// (room for size + 1): returns the bytes read, size + 1 when it holds more,
// -1 on an error. A read that falls short once size bytes are in is taken
// as the end, so a file of the expected size costs one read, not a second
// one that returns nothing; a file that grows meanwhile is caught by the
// status check after the read.
ssize_t ReadExpected(int fd, unsigned char* buffer, std::size_t size);

// Opens name in dirFd for reading without following a link or blocking on
// a FIFO; -1 unless it is a regular file, whose status then fills st. On
// failure errno is 0 when something other than a regular file stands there.
int OpenRegularFile(int dirFd, const char* name, struct stat& st);

// Reading a file the scan listed (inode known) with one status taken after
// the read instead of one before and one after: OpenListedFile opens name
// as OpenRegularFile does but takes no status (-1 when it cannot be opened,
// errno 0 for a link in its place); CheckAfterRead then takes the status
// (st) and says what the read is worth. What was read is kept only when
// the file is still the regular file the scan listed, with the size and
// last-write time it had then, so it was neither replaced nor written since
// the scan, during the read included. Only a regular file can be read
// before its type is known: O_NONBLOCK keeps a FIFO from blocking, and
// reading a FIFO or a directory fails.
int OpenListedFile(int dirFd, const char* name);
enum class TAfterRead {
    Unchanged, // st is the scan's file as it was: the read holds
    NotOpened, // no status (errno says why), or no regular file (errno 0)
    Changed    // another file, or another size or time
};
TAfterRead CheckAfterRead(int fd, const TFileRecord& row, struct stat& st);
// CheckAfterRead on a status already taken (statted false: the status
// could not be taken, error saying why); errno is set as CheckAfterRead
// leaves it.
TAfterRead CheckStatusAfterRead(bool statted, int error, const TFileRecord& row, const struct stat& st);

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

// How reading one file for a contents pass went. A file that was not
// opened, whose read failed, or that changed since the scan or while it was
// read is left out of the groups and reported (Failure).
struct TReadState {
    bool Opened = false;     // false: the file (or its directory) could not be opened
    bool ReadFailed = false; // a read failed after the stages held
    bool Changed = false;    // changed since the scan or while it was read
    int Error = 0;           // errno of the failed open or read

    bool Failed() const { return !Opened || ReadFailed || Changed; }
    // The reason to report for a failed read.
    TNotReadReason Failure() const
    {
        // Not opened for no system error: something other than a regular
        // file (a link, a FIFO) now stands in its place.
        if (!Opened) return Error != 0 ? TNotReadReason::CannotOpenFile : TNotReadReason::FileChanged;
        return Changed ? TNotReadReason::FileChanged : TNotReadReason::FileReadFailed;
    }
};

// True when the open file (status st) is no longer what the scan listed in
// row: another file, or another size or time. Rows the scan did not read
// (inode 0) only compare their size.
bool ChangedSinceScan(const TFileRecord& row, const struct stat& st);

// True when the status of an open file changed while it was read (size or
// last-write time), comparing before with now (fstat of fd).
bool ChangedWhileRead(int fd, const struct stat& before);

// One TDirectoryOpener per thread of a contents pass.
std::vector<std::unique_ptr<TDirectoryOpener>> DirectoryOpeners(unsigned threads, const TScanContext* scan);

// The answers of a contents pass whose rows were read into one entry per
// file (rows of one file share it): TEntry derives from TReadState. The pass
// fills FSlotOf, FFirstRows, FEntries and FClasses.
template <class TEntry> class TFileEntryClasses : public TContentsClasses {
  public:
    bool Failed(std::uint32_t row) const override
    {
        const std::int32_t slot = FSlotOf[row];
        return slot >= 0 && FEntries[static_cast<std::size_t>(slot)].Failed();
    }

    std::uint64_t ClassOf(std::uint32_t row) const override
    {
        const std::int32_t slot = FSlotOf[row];
        return slot < 0 ? kUnreadClass | row : FClasses[static_cast<std::size_t>(slot)];
    }

    // Tells host of every file that could not be read, in catalogue order,
    // once per file (by the path of its first row).
    void ReportFailures(const std::vector<TFileRecord>& catalogue, TScanHost& host) const
    {
        for (std::size_t slot = 0; slot < FEntries.size(); ++slot) {
            const TEntry& entry = FEntries[slot];
            if (entry.Failed())
                host.NotRead(TNotRead{catalogue[FFirstRows[slot]].FullPath(PathStyle::Posix), entry.Failure(),
                                      entry.Error});
        }
    }

  protected:
    std::vector<std::int32_t> FSlotOf;     // catalogue index -> entry, or -1
    std::vector<std::uint32_t> FFirstRows; // entry -> its first row
    std::vector<TEntry> FEntries;          // per file read
    std::vector<std::uint64_t> FClasses;   // per entry: equal contents, equal class
};

} // namespace quorvane
