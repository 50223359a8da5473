// The file scan: turns an input directory into TFileRecord rows. Directories
// are walked in pre-order with siblings sorted; hidden directories are not
// entered, hidden files are listed; symbolic links, FIFOs, sockets and
// devices are neither followed nor listed. Names stay the file system's bytes.
#pragma once

#include "ScanHost.h"
#include "TFileRecord.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quorvane {

inline constexpr const char* kReadingAllFilesText = "Reading all files...";

// What one search's scan learnt: the directories entered, by device and
// inode, so a directory reached twice (an input inside another, an input
// given twice, a bind mount) is read once and each directory entry becomes
// one row; and, per Directory text of its rows, how long the input
// directory's part of it is, so that the contents pass can open the
// directory again from the input, level by level, without following links.
class TScanContext {
  public:
    // True when (device, inode) was not entered before; records it.
    bool Enter(std::uint64_t device, std::uint64_t inode);
    // Records that the rows sharing text were read from a directory reached
    // from the input directory text.substr(0, rootLength) by names.
    void Place(const std::shared_ptr<const std::string>& text, std::size_t rootLength);
    // The recorded input length of a Directory text, or std::string::npos.
    std::size_t RootLengthOf(const std::string* text) const;

  private:
    struct THash {
        std::size_t operator()(const std::pair<std::uint64_t, std::uint64_t>& k) const noexcept
        {
            return std::hash<std::uint64_t>()(k.first * 0x9E3779B97F4A7C15ull ^ k.second);
        }
    };
    std::unordered_set<std::pair<std::uint64_t, std::uint64_t>, THash> FEntered;
    std::unordered_map<const std::string*, std::pair<std::shared_ptr<const std::string>, std::size_t>>
        FPlaces;
};

// Reads directory into target (appends, never clears). With
// includeSubdirectories the whole tree is collected first and each directory
// is one progress step; without it only the directory's own files are read,
// with Directory exactly as given, and no progress is shown. Directories are
// opened level by level relative to their parent, so depth has no limit.
// context, when given, skips directories already entered and records where
// rows were read. Polls host between directories and between files; on
// ESearchCancelled target is as it was before the call.
void ReadAllFiles(const std::string& directory, bool includeSubdirectories, TScanHost& host,
                  std::vector<TFileRecord>& target, TScanContext* context = nullptr);

// Adds the normalised directory and all its visible subdirectories to
// collection in pre-order (siblings sorted). A directory reached a second
// time (a bind mount showing it inside itself) is skipped.
void CollectDirectories(const std::string& directory, std::vector<std::string>& collection);

// Appends one row per file directly inside directory, in the file system's
// order; the rows share one Directory text equal to directory. An unreadable
// directory, or one whose reading fails part-way, yields nothing.
void ReadDirectoryFiles(const std::string& directory, std::vector<TFileRecord>& target,
                        TScanContext* context = nullptr);

// The TimeKey (YYYYMMDDHHMM in local time) of a POSIX time; seconds dropped.
std::int64_t TimeKeyOf(std::int64_t secondsSinceEpoch);

// TimeKeyOf for the many times of one scan, without a localtime_r per time:
// the local offset is looked up at both ends of a time's UTC hour and, when
// it is the same there, the hour's times are shifted by it. An hour where
// the offset changes (or localtime_r does not shift plainly) goes to
// TimeKeyOf. Looked-up hours are kept in a small table.
class TTimeKeys {
  public:
    std::int64_t KeyOf(std::int64_t secondsSinceEpoch);

  private:
    struct TEntry {
        std::int64_t Hour = 0;
        std::int64_t Offset = 0; // seconds east of UTC
        bool Known = false;
        bool Steady = false; // the offset holds for the whole hour
    };
    std::array<TEntry, 256> FEntries{};
};

} // namespace quorvane
