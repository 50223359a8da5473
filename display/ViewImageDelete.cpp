// TfrmViewer: deleting the shown file through the main window's file
// operation service. Whether the file is gone is read back from the disk
// afterwards; only then does its row leave the list.
#include "AdvImage.h"
#include "PathRules.h"
#include "ViewImage.h"
#include "ViewerHost.h"

#include <QFile>
#include <filesystem>
#include <system_error>

namespace quorvane {

namespace {

// True unless the path is plainly gone: a file that cannot be examined (no
// permission on its directory, say) counts as still there.
bool FileStillThere(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    return status.type() != std::filesystem::file_type::not_found;
}

// A path with no row behind it is acted on as it is.
TFileIdentity IdentityOf(const std::vector<TFileRecord>& rows, std::ptrdiff_t row)
{
    if (row < 0 || row >= static_cast<std::ptrdiff_t>(rows.size())) return {};
    return IdentityOfRow(rows[static_cast<std::size_t>(row)]);
}

} // namespace

void TfrmViewer::DeleteImage()
{
    if (!FHost || FHost->EditingRowName()) return;
    if (!DeleteShownFile()) return;
    if (ShowNextImage()) return;
    if (ShowPriorImage()) return;
    CloseViewer();
}

bool TfrmViewer::DeleteShownFile()
{
    IFileOperations* operations = FHost ? FHost->FileOperations() : nullptr;
    const QString name = Image->FileName();
    if (!operations || name.isEmpty()) return false;
    const std::string path = QFile::encodeName(name).toStdString();
    const std::ptrdiff_t listed = IndexOfPath(FHost->ListRows(), FHost->ListFocusedRow(), path);
    operations->DeleteFiles({TDeleteItem{path, IdentityOf(FHost->ListRows(), listed)}}, FHost->DeleteFlags());
    if (FileStillThere(path)) return false;

    FHost->DeselectListRows();
    FHost->ForgetPicture(name);
    const std::ptrdiff_t row = IndexOfPath(FHost->ListRows(), FHost->ListFocusedRow(), path);
    if (row >= 0) FHost->RemoveListRow(row);
    const std::ptrdiff_t focused = FHost->ListFocusedRow();
    if (focused < 0 || focused >= static_cast<std::ptrdiff_t>(FHost->ListRows().size())) return true;
    bool result = true;
    const TFileRecord& record = FHost->ListRows()[static_cast<std::size_t>(focused)];
    if (IsPictureFile(record.Name)) {
        ShowFocusedInPlace(QFile::decodeName(QByteArray::fromStdString(record.FullPath())));
        result = false;
    }
    FHost->ScrollToFocusedRow();
    return result;
}

void TfrmViewer::ShowFocusedInPlace(const QString& path)
{
    // The next picture takes the place of the deleted one, at the same
    // position, as long as it needs a control of the same size (a duplicate
    // usually does). Any other picture is laid out afresh: at the old
    // position a smaller one could lie wholly outside the window.
    setUpdatesEnabled(false);
    Image->LoadImage(path);
    const QSize needed(ViewerImageExtent(width(), Image->DisplayWidth()),
                       ViewerImageExtent(height(), Image->DisplayHeight()));
    if (needed != Image->size()) {
        LayoutImage();
        Image->setCursor(ViewerNeedsHand(width(), height(), Image->width(), Image->height()) ? FHandMove
                                                                                             : QCursor());
    }
    setUpdatesEnabled(true);
}

} // namespace quorvane
