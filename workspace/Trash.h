// TTrash: the freedesktop.org trash, written by hand. A file goes to the home
// trash when it lives on the home trash's file system and mount, else to the
// top-directory trash of its own mount; it is only ever renamed there (never
// copied), and the .trashinfo entry is created exclusively before the rename.
#pragma once

#include "FileIdentity.h"
#include "RenameNoReplace.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace quorvane {

enum class ETrashResult {
    Trashed,
    NoTrash, // no trash on the file's file system can take it; the file stays
    Failed,  // a system call failed (Error holds errno); the file stays
};

struct TTrashOutcome {
    ETrashResult Result = ETrashResult::Failed;
    int Error = 0;          // errno of a failure
    std::string TrashedAs;  // files/NAME path where the file now lives
    std::string InfoPath;   // its info/NAME.trashinfo
    TFileIdentity Identity; // the file as it went in (a rename keeps all four fields)
};

// One file this program moved to the trash: enough to put it back.
struct TTrashedFile {
    std::string OriginalPath; // the exact path bytes it was deleted from
    std::string TrashedAs;
    std::string InfoPath;
    TFileIdentity Identity;
};

enum class ERestoreResult {
    Restored,
    Clash,   // a file of the original name exists; the file stays in the trash
    Missing, // no longer in the trash (emptied, or restored by someone else)
    Changed, // files/NAME is now another file than the one trashed; left alone
    Failed,  // a system call failed (Error holds errno); the file stays in the trash
};

struct TRestoreOutcome {
    ERestoreResult Result = ERestoreResult::Failed;
    int Error = 0;
};

// Where the trash lives and how file systems are told apart; the defaults
// are the user's own, tests replace them.
struct TTrashPlaces {
    std::string DataHome; // $XDG_DATA_HOME, else $HOME/.local/share
    uid_t Uid = 0;
    // The top directory (mount point) of the mount holding an existing path;
    // the default climbs the parents until the mount id (else the device)
    // changes, so a bind mount is its own top directory.
    std::function<std::string(const std::string& path)> MountPointOf;
    // The device of an existing path (lstat's st_dev by default).
    std::function<std::uint64_t(const std::string& path)> DeviceOf;
    // The rename into files/ (RenameNoReplace by default); 0 or errno.
    std::function<int(int fromDir, const std::string& from, int toDir, const std::string& to)> MoveNoReplace;

    static TTrashPlaces ForCurrentUser();
};

class TTrash {
  public:
    explicit TTrash(TTrashPlaces places);

    // Moves one file (or link) into a trash; never deletes it.
    TTrashOutcome MoveToTrash(const std::string& path) const;

    // Puts a trashed file back at its original path, never over an existing
    // entry (RENAME_NOREPLACE, or link and unlink where the file system lacks
    // it), and only when files/NAME is still the file that went in. The
    // .trashinfo is removed after the move, not before: a crash between the
    // two leaves an info without its file, which the next deletion into that
    // trash clears.
    TRestoreOutcome Restore(const TTrashedFile& file) const;

    // The trash directory that would take the file, or empty when none can
    // (created as needed, with its info/ and files/ folders). topDir gets
    // the directory that Path= is relative to ("" for the home trash).
    std::string TrashDirectoryFor(const std::string& path, std::string& topDir) const;

  private:
    std::string HomeTrash(std::uint64_t fileDevice) const;
    std::string TopDirectoryTrash(const std::string& topDir) const;
    TTrashOutcome MoveInto(const std::string& path, const std::string& resolved, const std::string& trash,
                           const std::string& topDir, const struct stat& st) const;
    // Removes each info of the trash that a crash left without its file:
    // no files/NAME, older than a moment, and its Path= file still in place
    // (so the move never happened). Done once per trash and object.
    void ClearLeftoverInfos(int infoDir, int filesDir, const std::string& topDir) const;

    TTrashPlaces FPlaces;
    mutable std::set<std::string> FClearedTrashes;
};

// The bytes of a percent-encoded Path= value; a '%' not followed by two hex
// digits stays as it is.
std::string PercentDecodePath(std::string_view text);

// The original path an info text names: Path= of its [Trash Info] group,
// decoded, made absolute against topDir when relative ("" when topDir is
// empty or there is none).
std::string InfoOriginalPath(std::string_view infoText, const std::string& topDir);

// Percent-encodes a path for Path=: every byte but the unreserved characters
// and '/' becomes %XX, so any byte string survives the round trip.
std::string PercentEncodePath(std::string_view path);

// The text of a .trashinfo file: Path= (absolute, or relative to the top
// directory) and DeletionDate= in local time, YYYY-MM-DDThh:mm:ss.
std::string TrashInfoText(std::string_view pathForInfo, std::time_t deletedAt);

// The name a file takes in the trash on the attempt-th try: the name itself
// first, then "stem.2.ext", "stem.3.ext" ...
std::string TrashNameCandidate(std::string_view name, int attempt);

} // namespace quorvane
