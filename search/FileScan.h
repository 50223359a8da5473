// The file scan: turns an input directory into TFileRecord rows. Directories
// are walked in pre-order with siblings sorted; hidden directories are not
// entered, hidden files are listed; symbolic links, FIFOs, sockets and
// devices are neither followed nor listed. Names stay the file system's bytes.
#pragma once

#include "ScanHost.h"
#include "TFileRecord.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace quorvane {

inline constexpr const char* kReadingAllFilesText = "Reading all files...";

// Files already read during one duplicate search, by device and inode, so a
// file reached twice (nested input directories, hard links) is read once.
class TSeenFiles {
  public:
    // True when (device, inode) was not seen before; records it.
    bool Insert(std::uint64_t device, std::uint64_t inode);

  private:
    struct THash {
        std::size_t operator()(const std::pair<std::uint64_t, std::uint64_t>& k) const noexcept
        {
            return std::hash<std::uint64_t>()(k.first * 0x9E3779B97F4A7C15ull ^ k.second);
        }
    };
    std::unordered_set<std::pair<std::uint64_t, std::uint64_t>, THash> FSeen;
};

// Reads directory into target (appends, never clears). With
// includeSubdirectories the whole tree is collected first and each directory
// is one progress step; without it only the directory's own files are read,
// with Directory exactly as given, and no progress is shown. seen, when
// given, skips files already read.
void ReadAllFiles(const std::string& directory, bool includeSubdirectories, TScanHost& host,
                  std::vector<TFileRecord>& target, TSeenFiles* seen = nullptr);

// Adds the normalised directory and all its visible subdirectories to
// collection in pre-order (siblings sorted). A directory already in the
// collection, or one reached a second time through a bind mount, is skipped.
void CollectDirectories(const std::string& directory, std::vector<std::string>& collection);

// Adds the full paths of the visible immediate subdirectories of directory
// to list, keeping list sorted (ASCII-folded, then byte order).
void ListSubdirectories(const std::string& directory, std::vector<std::string>& list);

// Appends one row per file directly inside directory, in the file system's
// order; the rows share one Directory text equal to directory. An unreadable
// directory yields nothing.
void ReadDirectoryFiles(const std::string& directory, std::vector<TFileRecord>& target,
                        TSeenFiles* seen = nullptr);

// The TimeKey (YYYYMMDDHHMM in local time) of a POSIX time; seconds dropped.
std::int64_t TimeKeyOf(std::int64_t secondsSinceEpoch);

} // namespace quorvane
