// Replacing a duplicate by the kept file (a hard link, a symbolic link or a
// reflink clone) or moving it to a folder. Invariant: each duplicate is
// acted on only after it proved to be the listed file and the kept file
// proved present, unchanged and byte-identical now; a replacement is built
// under a temporary name in the duplicate's own folder and renamed over it,
// so the duplicate's name always names either the old file or the new one,
// and a failed step removes the temporary name it made.
#pragma once

#include "CopyCheck.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace quorvane {

enum class EReplaceAction { HardLink, SymbolicLink, Clone, Move };

enum class EReplaceResult {
    Done,             // replaced (or moved to NewPath)
    AlreadyLinked,    // hard link: the duplicate already is the kept file
    DuplicateChanged, // the duplicate is gone or not the listed file any more
    KeptChanged,      // the kept file is gone or changed since the search
    NotIdentical,     // the kept file no longer has the duplicate's bytes
    CrossDevice,      // across file systems (hard link, clone, move)
    NotSupported,     // the file system cannot clone
    Clash,            // move: the target name exists; the file stays
    Failed,           // a system call failed; Error holds errno
    Cancelled         // not attempted: the run was stopped first
};

// Refusals leave the file as it was for a reason the user can act on;
// Failed is an error of the system.
bool IsRefusal(EReplaceResult result);
// Done or AlreadyLinked: the name now holds what was asked.
bool IsActedOn(EReplaceResult result);

struct TReplaceItem {
    TCheckFile Kept;            // the file that stays
    TCheckFile Duplicate;       // the file replaced or moved
    std::string InputDirectory; // move: the input directory the duplicate was found under
};

struct TReplaceOptions {
    EReplaceAction Action = EReplaceAction::HardLink;
    bool AbsoluteLinks = false; // symbolic links name the kept file's absolute path
    std::string MoveFolder;     // move: the folder receiving the files
    // The temporary name of a given attempt in the duplicate's folder; a
    // taken name moves on to the next attempt.
    std::function<std::string(unsigned attempt)> TemporaryName;
    // Renames the temporary name over the duplicate in dirFd; 0 or errno.
    std::function<int(int dirFd, const std::string& from, const std::string& to)> RenameOver;
};

struct TReplaceOutcome {
    EReplaceResult Result = EReplaceResult::Cancelled;
    int Error = 0;       // errno for Failed
    std::string NewPath; // move: where the file is now
};

// The items for the selected rows of a list whose rows carry group numbers:
// each selected row of a group against the group's first row that is not
// selected and still matches its file (the row the deletion check keeps).
// Rows without a group, and groups with no such row, give no item.
// selected: row indices, ascending. Rows[k] is the row of Items[k].
struct TReplacementPlan {
    std::vector<TReplaceItem> Items;
    std::vector<std::size_t> Rows;
    std::vector<std::size_t> KeptRows;
};
TReplacementPlan ReplacementPlan(const std::vector<TFileRecord>& rows,
                                 const std::vector<std::size_t>& selected,
                                 const std::vector<std::string>& inputDirectories);

// The input directory (the longest) that holds path; empty when none does.
std::string InputDirectoryOf(const std::string& path, const std::vector<std::string>& inputDirectories);

// Acts on each item in turn. Items sharing one kept file are checked
// together (the kept file read once for all of them) just before they are
// acted on. progress(itemsDone, itemsTotal) is called between items on the
// calling thread; a stop request leaves the rest Cancelled.
std::vector<TReplaceOutcome>
ReplaceDuplicates(const std::vector<TReplaceItem>& items, const TReplaceOptions& options,
                  std::stop_token stop = {},
                  const std::function<void(std::size_t, std::size_t)>& progress = {});

// The target a symbolic link at linkPath names for the kept file: its path
// relative to the link's folder (both folders resolved), or its absolute
// path. Empty when a folder cannot be resolved.
std::string SymbolicLinkTarget(const std::string& linkPath, const std::string& keptPath, bool absolute);

// Where a move puts a file: folder, then the file's path below inputDirectory
// (just its name when it does not lie below it).
std::string MoveTarget(const std::string& path, const std::string& inputDirectory, const std::string& folder);

// Puts a moved file back at its old path, never over an existing entry and
// only when movedTo still is the file that was moved; 0 or errno (EEXIST on
// a clash, ESTALE when the file changed).
int MoveBack(const std::string& movedTo, const std::string& originalPath, const TFileIdentity& moved);

// Removes, in one folder, temporary names of replacements whose process
// has ended (a crash between making a link and renaming it over); the
// number removed.
std::size_t RemoveLeftoverTemporaries(const std::string& folder);

// The prefix of every temporary name a replacement makes.
inline constexpr const char* kReplaceTemporaryPrefix = ".quorvane-replace-";

} // namespace quorvane
