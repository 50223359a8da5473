// The file-operation service behind delete and rename: one request per
// deletion (a list of paths) or rename (one pair), returning only when it has
// ended. Callers never trust its answer for a deletion: they read the disk
// back afterwards. Paths are the bytes of a row's path, never display text.
#pragma once

#include "FileIdentity.h"
#include "TFileRecord.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace quorvane {

// The language of the service's own questions and reports.
enum class EFileOpLanguage { English, Chinese };

// Request flags, with the values the shell's file operation gives them.
enum TFileOpFlag : unsigned {
    kFofNoConfirmation = 0x10, // ask nothing before acting
    kFofAllowUndo = 0x40,      // deleted files go to the trash
};

// The flags of a deletion from the two options "No confirmation" and "Don't
// use recycle bin".
constexpr unsigned DeleteFlags(bool noConfirmation, bool noRecycleBin)
{
    return (noConfirmation ? unsigned{kFofNoConfirmation} : 0u) |
           (noRecycleBin ? 0u : unsigned{kFofAllowUndo});
}

struct TDeleteItem {
    std::string Path;
    TFileIdentity Expected;
};

// A file an undo put back: the exact path bytes it was deleted from, and
// its identity, which is still the one its row recorded (the rename into the
// trash and back keeps device, inode, size and time), so its row can return
// as it was.
struct TRestoredFile {
    std::string Path;
    TFileIdentity Identity;
};

// What an undo did: the files back in place, in the deletion's order, and
// one report line (in the interface language) per file that stays in the
// trash.
struct TUndoOutcome {
    std::vector<TRestoredFile> Restored;
    QStringList Failures;
};

// The questions and reports of the service. The main window shows them in
// message boxes; tests record them.
class IFileOpPrompts {
  public:
    virtual ~IFileOpPrompts() = default;
    // A yes/no question; true for Yes. defaultYes chooses the default button.
    virtual bool Confirm(const QString& question, bool defaultYes) = 0;
    // What went wrong, one line per file that was left as it was.
    virtual void ReportFailures(const QStringList& lines) = 0;
};

class IFileOperations {
  public:
    virtual ~IFileOperations() = default;

    // Deletes the files, to the trash when flags hold kFofAllowUndo, after
    // one confirmation unless flags hold kFofNoConfirmation. A file that
    // changed since it was listed, or that fails, is reported and left; the
    // others go on.
    virtual void DeleteFiles(const std::vector<TDeleteItem>& items, unsigned flags) = 0;

    // The same deletion in two steps, for a caller that keeps its own thread
    // free while files go: ConfirmDeletion asks the questions (on the
    // caller's thread), may leave out of items the files the user declined,
    // and is true when what is left may go; then
    // CarryOutDeletion acts without asking anything, on any thread, and
    // returns the report lines instead of showing them. It stops between
    // files when stop is requested (the files already gone stay gone, in
    // the undo history when trashed). The caller makes no other call on the
    // service meanwhile. A service that cannot split says so here, and its
    // callers use DeleteFiles.
    virtual bool SplitsDeletion() const { return false; }
    virtual bool ConfirmDeletion(std::vector<TDeleteItem>& items, unsigned flags)
    {
        (void)items;
        (void)flags;
        return true;
    }
    using TDeletionProgress = std::function<void(std::size_t done, std::size_t total)>;
    virtual QStringList CarryOutDeletion(const std::vector<TDeleteItem>& items, unsigned flags,
                                         std::stop_token stop, const TDeletionProgress& progress)
    {
        (void)stop;
        (void)progress;
        DeleteFiles(items, flags | kFofNoConfirmation);
        return {};
    }

    // Renames one file without ever overwriting another; true on success.
    // Failures are reported by the service itself.
    virtual bool RenameFile(const std::string& oldPath, const std::string& newPath, unsigned flags) = 0;

    // Whether a deletion to the trash made through this service can still be
    // undone. A service without a trash never can.
    virtual bool CanUndo() const { return false; }
    // Puts the files of the newest deletion to the trash back where they
    // were, never over an existing file, and forgets that deletion (older
    // ones stay undoable). Shows nothing itself: the caller reports
    // Failures and puts the rows of Restored back.
    virtual TUndoOutcome UndoLastDeletion() { return {}; }
};

} // namespace quorvane
