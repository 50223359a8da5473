// IViewerHost: what the full-size viewer reaches in the main window — the
// result list's rows, focus and selection, the file-operation service with
// the delete options, the preview and slides that may show a deleted file,
// and the list-change flag. The main window implements it; tests fake it.
#pragma once

#include "FileOperations.h"
#include "Replace.h"
#include "TFileRecord.h"

#include <QString>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quorvane {

class IViewerHost {
  public:
    virtual ~IViewerHost() = default;

    // The result list in its current order; -1 when no row has the focus.
    virtual const std::vector<TFileRecord>& ListRows() const = 0;
    virtual std::ptrdiff_t ListFocusedRow() const = 0;
    // Gives the row the list's focus (the selection is left to DeselectAll).
    virtual void FocusListRow(std::ptrdiff_t row) = 0;
    // Clears the list's selection; the focused row keeps the focus.
    virtual void DeselectListRows() = 0;
    // Scrolls the list so that its focused row is fully visible.
    virtual void ScrollToFocusedRow() = 0;
    // True while a row's name is being edited in place.
    virtual bool EditingRowName() const = 0;
    // Removes one row; the list's own removal handling updates the total.
    virtual void RemoveListRow(std::ptrdiff_t row) = 0;

    // False while a search or a check of files runs: commands that change
    // files wait until it has ended.
    virtual bool FileCommandsAllowed() const = 0;
    // Deletes the file of a listed row as the list's own Delete does (the
    // check for a copy that stays, the questions, the protected folders),
    // with the viewer as the owner of every question. done(gone) runs once
    // the deletion has ended, gone telling whether the file left the disk
    // (its row has then left the list); a deletion cancelled or declined
    // calls it with false, or not at all.
    virtual void DeleteListedRow(std::ptrdiff_t row, std::function<void(bool gone)> done) = 0;
    // Replaces the file of a listed row by a link or clone of its group's
    // kept file, or moves it to a folder, as the list's own entries do.
    // done(gone) as for DeleteListedRow: gone when the file left its place.
    virtual void ReplaceListedRow(std::ptrdiff_t row, EReplaceAction action,
                                  std::function<void(bool gone)> done)
    {
        (void)row, (void)action, (void)done;
    }
    // Empties the preview and the slides that show path (a deleted file).
    virtual void ForgetPicture(const std::string& path) = 0;

    // While set, the list's change notifications are ignored.
    virtual void SetIgnoreListChange(bool ignore) = 0;
    // Runs the list's change notification once, as if the list had changed.
    virtual void ListChanged() = 0;
    // Closes the main window, which ends the program.
    virtual void CloseMainWindow() = 0;
    // Whether the viewer shows pictures shrunk to fit the screen rather than
    // at natural size: kept with the options by the main window.
    virtual bool ViewerFit() const { return false; }
    virtual void SetViewerFit(bool fit) { (void)fit; }
};

} // namespace quorvane
