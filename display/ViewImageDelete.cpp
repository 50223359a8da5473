// TfrmViewer: deleting the shown file. The viewer names the file by the
// exact bytes it loaded and acts only on a file that a row of the list
// vouches for; the deletion itself is the list's, with its checks.
#include "AdvImage.h"
#include "PathRules.h"
#include "ViewImage.h"
#include "ViewerHost.h"

#include <QPointer>

namespace quorvane {

std::ptrdiff_t TfrmViewer::ActionableShownRow() const
{
    if (!FHost || FHost->EditingRowName() || !FHost->FileCommandsAllowed()) return -1;
    const std::string& path = Image->NativeFileName();
    if (path.empty()) return -1;
    // A file no row lists is never acted on.
    return IndexOfPath(FHost->ListRows(), FHost->ListFocusedRow(), path);
}

std::function<void(bool gone)> TfrmViewer::AfterShownFileActedOn()
{
    return [self = QPointer<TfrmViewer>(this), path = Image->NativeFileName()](bool gone) {
        if (!self || !self->FHost || !gone) return;
        self->FHost->ForgetPicture(path);
        if (!self->AfterShownFileGone()) return;
        if (self->ShowNextImage()) return;
        if (self->ShowPriorImage()) return;
        self->CloseViewer();
    };
}

void TfrmViewer::DeleteImage()
{
    const std::ptrdiff_t row = ActionableShownRow();
    if (row >= 0) FHost->DeleteListedRow(row, AfterShownFileActedOn());
}

void TfrmViewer::ReplaceImage(EReplaceAction action)
{
    // A replaced file still shows the same picture; a moved one has left.
    const std::ptrdiff_t row = ActionableShownRow();
    if (row >= 0) FHost->ReplaceListedRow(row, action, AfterShownFileActedOn());
}

bool TfrmViewer::AfterShownFileGone()
{
    FHost->DeselectListRows();
    const std::ptrdiff_t focused = FHost->ListFocusedRow();
    if (focused < 0 || focused >= static_cast<std::ptrdiff_t>(FHost->ListRows().size())) return true;
    const TFileRecord& record = FHost->ListRows()[static_cast<std::size_t>(focused)];
    if (IsPictureFile(record.Name)) {
        ShowFocusedInPlace(record.FullPath());
        return false;
    }
    FHost->ScrollToFocusedRow();
    return true;
}

void TfrmViewer::ShowFocusedInPlace(const std::string& path)
{
    FPlaceInPlace = true;
    AimFit(size());
    Image->LoadFile(path);
}

void TfrmViewer::PlaceFocusedInPlace()
{
    // The next picture takes the place of the deleted one, at the same
    // position, as long as it needs a control of the same size (a duplicate
    // usually does). Any other picture is laid out afresh: at the old
    // position a smaller one could lie wholly outside the window.
    const QSize needed(ViewerImageExtent(width(), Image->DisplayWidth()),
                       ViewerImageExtent(height(), Image->DisplayHeight()));
    if (needed == Image->size()) return;
    LayoutImage();
    Image->setCursor(ViewerNeedsHand(width(), height(), Image->width(), Image->height()) ? FHandMove
                                                                                         : QCursor());
}

} // namespace quorvane
