// TNotDuplicates: the sets of files the user said are not duplicates of one
// another, remembered between searches in a file beside the options. A
// member is the file as it was marked: its identity (device, inode, size,
// last-write time to the nanosecond) and its full path bytes. Invariant: a
// row matches a member only while the file keeps that size and time, and is
// either the same inode or at the same path; a file rewritten since is a new
// file and matches nothing.
#pragma once

#include "TFileRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

struct TNotDuplicateMember {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0; // 0: not known, matched by path only
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::string Path; // the full path, exact bytes

    bool operator==(const TNotDuplicateMember&) const = default;
};

// The files of one set, in the order they were marked.
using TNotDuplicateSet = std::vector<TNotDuplicateMember>;

// The member row stands for as it is listed now.
TNotDuplicateMember NotDuplicateMemberOf(const TFileRecord& row);

// True when row is the file member remembers: the same size and last-write
// time, and the same (device, inode) or the same path.
bool MatchesMember(const TNotDuplicateMember& member, const TFileRecord& row);

enum class TNotDuplicatesLoad {
    Loaded,  // the file was read
    Missing, // there is no file: nothing remembered yet
    Damaged, // a file is there but cannot be trusted; the store is empty
};

class TNotDuplicates {
  public:
    // Bounds of what is kept and read back; a file announcing more is damaged.
    static constexpr std::size_t kMaxSets = 100000;
    static constexpr std::size_t kMaxMembers = 100000; // of one set
    static constexpr std::size_t kMaxPathBytes = 65536;
    static constexpr std::uint64_t kMaxFileBytes = std::uint64_t{256} << 20;

    // Replaces the store with the file at path; the store is empty unless
    // the result is Loaded.
    TNotDuplicatesLoad Load(const std::string& path);
    // Writes the store to path atomically, creating its folder; false, with
    // any older file left in place, when it cannot.
    bool Save(const std::string& path) const;

    // Remembers the rows as files that are not duplicates of one another.
    // False (nothing changes) when they name fewer than two files (names of
    // one file count once), when a set already remembered holds them all,
    // or when the store or the set would pass its bounds.
    bool AddSet(const std::vector<TFileRecord>& rows);

    const std::vector<TNotDuplicateSet>& Sets() const { return FSets; }
    // Each set's paths, for showing them.
    std::vector<std::vector<std::string>> SetPaths() const;
    // Forgets set index; false when there is no such set.
    bool RemoveSet(std::size_t index);
    void Clear() { FSets.clear(); }
    bool Empty() const { return FSets.empty(); }

  private:
    std::vector<TNotDuplicateSet> FSets;
};

// Where the window and the command line remember the sets: beside the
// window's options, $XDG_CONFIG_HOME/Marrowfen/Quorvane-not-duplicates.bin
// (an absolute XDG_CONFIG_HOME only), else under ~/.config; empty when
// neither is known.
std::string DefaultNotDuplicatesPath();

// Which rows the store takes out of their groups (true: taken out). Rows of
// one group carry one group number (rows numbered 0 belong to no group and
// are never taken out); names of one file (SameFile) are one file. Within a
// group, two files matching members of one set are not duplicates of each
// other; a file that is marked against another file of its group and
// against every other file of it leaves the group, and a group left with
// fewer than two files leaves whole. Hash lookups: linear in the rows and
// the members.
std::vector<bool> RowsTakenOut(const std::vector<TFileRecord>& rows, const TNotDuplicates& store);

// Gives the groups the numbers 1, 2, ... in the order their first rows
// stand; rows numbered 0 stay 0.
void RenumberGroups(std::vector<TFileRecord>& rows);

// Erases the rows RowsTakenOut gives and renumbers the groups; returns the
// number of rows erased (0: rows are untouched). alongside, when given with
// one value per row (a similar picture's distance), loses the same rows.
std::size_t ApplyNotDuplicates(std::vector<TFileRecord>& rows, const TNotDuplicates& store,
                               std::vector<int>* alongside = nullptr);

// ApplyNotDuplicates with the store at DefaultNotDuplicatesPath(): what a
// search in the window leaves out. A missing or damaged file takes nothing
// out (the commands that change the marks report the damage).
std::size_t LeaveOutNotDuplicates(std::vector<TFileRecord>& rows, std::vector<int>* alongside = nullptr);

// The index of each group's first row, for rows whose groups stand together.
std::vector<std::size_t> GroupStartsOf(const std::vector<TFileRecord>& rows);

} // namespace quorvane
