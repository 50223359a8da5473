// The copy check before a deletion: which files about to be deleted would
// leave no identical copy behind. A copy counts only when it is still on the
// disk, unchanged since the search, and has the same bytes now (for groups
// of similar pictures, present and unchanged is enough). Each file is read
// at most once per check for a kept file shared by all its copies.
#pragma once

#include "FileIdentity.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace quorvane {

struct TCheckFile {
    std::string Path; // the row's exact path bytes
    std::uint64_t Device = 0, Inode = 0, Size = 0;
    std::int64_t ModifiedNs = 0;
    bool Deleting = false; // this file is about to be deleted
};

struct TCheckGroup {
    std::vector<TCheckFile> Files;
    bool Similar = false; // similar pictures: exists+unchanged suffices, no byte compare
};

struct TFileRef {
    std::size_t Group = 0;
    std::size_t File = 0;
    friend bool operator==(const TFileRef&, const TFileRef&) = default;
};

struct TCopyCheckOutcome {
    std::vector<TFileRef> WithoutCopy; // files being deleted that would keep no identical copy
    bool Cancelled = false;            // when set, WithoutCopy is incomplete and must not be used
};

// Bytes compared per read. Large reads keep a spinning disk streaming when a
// kept file and its copies are read in turn.
inline constexpr std::size_t kCopyCheckBlockBytes = 1024 * 1024;
// Copies of one kept file held open at once; more are compared in further
// passes (each reading the kept file again), so a huge group cannot run out
// of descriptors.
inline constexpr std::size_t kCopyCheckMaxOpenCopies = 128;

// The check's file for a row of the list.
inline TCheckFile CheckFileOfRow(const TFileRecord& row, bool deleting)
{
    return {row.FullPath(PathStyle::Posix), row.Device, row.Inode, row.Size, row.ModifiedNs, deleting};
}

// A Deleting file has a copy when a file of its group that is not Deleting
// is the same inode (another name of the same data: nothing is read), or
// has exactly its bytes now (a Similar group: merely exists). Both must be
// unchanged since the search; a Deleting file that changed or cannot be read
// has no verified copy. WithoutCopy lists the rest by group, then file.
// progress(bytesDone, bytesTotal) may be called from the calling thread
// between blocks; the stop request is honoured between blocks and files.
TCopyCheckOutcome
FindFilesWithoutCopy(const std::vector<TCheckGroup>& groups, std::stop_token stop,
                     const std::function<void(std::uint64_t, std::uint64_t)>& progress = {});

} // namespace quorvane
