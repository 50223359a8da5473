// TFileRecord: one file found by the scan, one row of a result list.
// Name and Directory are the exact bytes the file system gave (never
// re-encoded), so a row always names the very file it was read from. The
// Size, Type and Time texts are derived on demand from compact fields.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quorvane {

// Which conventions a path follows: '/' on Linux; drive letters, UNC names
// and '\' on Windows. The Windows rules are kept so they can be tested here.
enum class PathStyle { Posix, Windows };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// Small images of the result list.
enum TImageIndex : std::uint8_t { kImagePicture = 0, kImageOtherFile = 1 };

// How the file on disk compares with what the row recorded, as last checked:
// a row that no longer matches is never kept by a selection rule and never
// counts as a copy that stays.
enum TDiskState : std::uint8_t { kDiskAsListed = 0, kDiskGone = 1, kDiskChanged = 2 };

struct TFileRecord {
    std::string Name;                             // file name with extension
    std::shared_ptr<const std::string> Directory; // shared by the rows of one directory
    std::uint64_t Size = 0;                       // bytes
    // Last-write time in local time as the number YYYYMMDDHHMM: equal numbers
    // are equal Time texts, and numeric order is the texts' order.
    std::int64_t TimeKey = 0;
    std::uint8_t ImageIndex = kImageOtherFile;
    std::uint8_t DiskState = kDiskAsListed; // TDiskState, set by the disk checks
    // True when its group also lists another name of the same file (a hard
    // link): those names stand next to each other and are one file, not
    // copies. Set by the search; travels with the row.
    bool OtherNames = false;
    // The number of the duplicate group the row was listed in (1, 2, ... in
    // the order the search gave the groups); 0 when the list carries no
    // group numbers ("List All"), and bounds then come from neighbouring
    // rows. Travels with the row through sorting and removal.
    std::uint32_t Group = 0;

    // What the file was when it was listed: a file operation checks these
    // again before it acts, so a row never acts on a file that changed or
    // was replaced since. Not shown in any column.
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t ModifiedNs = 0; // last-write time, nanoseconds since the epoch
    // Status-change time at the scan (0: not known). With the fields above
    // it says whether hashes kept from an earlier search still hold.
    std::int64_t StatusChangedNs = 0;

    const std::string& DirectoryText() const;
    std::string SizeText() const; // plain decimal digits
    std::string TypeText() const; // extension with its dot, case kept; may be empty
    std::string TimeText() const; // "YYYY/MM/DD HH:MM"
    void AppendSizeText(std::string& out) const;
    void AppendTimeText(std::string& out) const;
    std::string FullPath(PathStyle style = kNativePathStyle) const;
};

// True when the two rows name one file (same device and inode). Rows that
// the scan did not read (inode 0) are never known to be one file.
inline bool SameFile(const TFileRecord& a, const TFileRecord& b)
{
    return a.Inode != 0 && a.Inode == b.Inode && a.Device == b.Device;
}

} // namespace quorvane
