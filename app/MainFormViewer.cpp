// TfrmMain and the full-size viewer: OpenViewer with the loading indicator,
// and TViewerLink, the window's side of IViewerHost (the result list, the
// delete options and service, the list-change flag).
// Invariant: the viewer reaches the main window only through TViewerLink.
#include "AdvImage.h"
#include "FileOperations.h"
#include "MainForm.h"
#include "PreviewController.h"
#include "ViewImage.h"
#include "ViewerHost.h"

#include <QCheckBox>
#include <QPointer>
#include <algorithm>

namespace quorvane {

class TfrmMain::TViewerLink : public IViewerHost {
  public:
    explicit TViewerLink(TfrmMain& form) : FForm(form) {}
    ~TViewerLink() override
    {
        if (FViewer) FViewer->SetHost(nullptr);
    }

    void Attach(TfrmViewer* viewer)
    {
        if (FViewer) FViewer->SetHost(nullptr);
        FViewer = viewer;
        if (FViewer) FViewer->SetHost(this);
    }

    const std::vector<TFileRecord>& ListRows() const override { return FForm.FModel->Rows(); }
    std::ptrdiff_t ListFocusedRow() const override { return FForm.FocusedRow(); }
    void FocusListRow(std::ptrdiff_t row) override;
    void DeselectListRows() override { FForm.DeselectAll(); }
    void ScrollToFocusedRow() override;
    bool EditingRowName() const override;
    void RemoveListRow(std::ptrdiff_t row) override;
    bool FileCommandsAllowed() const override { return FForm.FileCommandsAllowed(); }
    // The list's own deletion, its questions asked over the viewer.
    void DeleteListedRow(std::ptrdiff_t row, std::function<void(bool gone)> done) override;
    void ReplaceListedRow(std::ptrdiff_t row, EReplaceAction action,
                          std::function<void(bool gone)> done) override
    {
        if (row < 0 || row >= FForm.FModel->rowCount() || !FForm.FileCommandsAllowed()) return;
        FForm.ReplaceRows({static_cast<int>(row)}, action, std::move(done));
    }
    void ForgetPicture(const std::string& path) override;
    void SetIgnoreListChange(bool ignore) override { FForm.FIgnoreListChange = ignore; }
    void ListChanged() override { FForm.lvFilesChange(); }
    void CloseMainWindow() override { FForm.close(); }
    bool ViewerFit() const override { return FForm.ckViewerFit->isChecked(); }
    void SetViewerFit(bool fit) override { FForm.ckViewerFit->setChecked(fit); }

  private:
    TfrmMain& FForm;
    QPointer<TfrmViewer> FViewer;
};

void TfrmMain::TViewerLink::FocusListRow(std::ptrdiff_t row)
{
    // Rows may have changed while a picture loaded: the index is checked.
    if (row < 0 || row >= FForm.FModel->rowCount()) return;
    FForm.lvFiles->selectionModel()->setCurrentIndex(FForm.FModel->index(static_cast<int>(row), 0),
                                                     QItemSelectionModel::NoUpdate);
}

void TfrmMain::TViewerLink::ScrollToFocusedRow()
{
    const QModelIndex current = FForm.lvFiles->currentIndex();
    if (current.isValid()) FForm.lvFiles->scrollTo(current, QAbstractItemView::EnsureVisible);
}

bool TfrmMain::TViewerLink::EditingRowName() const
{
    // An in-place editor is the one widget the list puts on its viewport.
    const auto children = FForm.lvFiles->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    return std::any_of(children.begin(), children.end(), [](QWidget* child) { return child->isVisible(); });
}

void TfrmMain::TViewerLink::DeleteListedRow(std::ptrdiff_t row, std::function<void(bool gone)> done)
{
    if (row < 0 || row >= FForm.FModel->rowCount() || !FForm.FileCommandsAllowed()) return;
    QWidget* owner = FViewer && FViewer->isVisible() ? static_cast<QWidget*>(FViewer.data()) : nullptr;
    const QPointer<TfrmViewer> viewer = FViewer;
    FForm.DeleteRows({static_cast<int>(row)}, owner, [viewer, done = std::move(done)](bool gone) {
        // The viewer asked: it stays in front after the answers.
        if (viewer && viewer->isVisible()) {
            viewer->raise();
            viewer->activateWindow();
        }
        if (done) done(gone);
    });
}

void TfrmMain::TViewerLink::ForgetPicture(const std::string& path)
{
    if (FForm.Image->NativeFileName() == path) FForm.Image->LoadImage(QString());
    FForm.FPreview->ForgetSlidesOf(path);
}

void TfrmMain::TViewerLink::RemoveListRow(std::ptrdiff_t row)
{
    if (row >= 0 && row < FForm.FModel->rowCount()) FForm.FModel->removeRows(static_cast<int>(row), 1);
}

void TfrmMain::setupViewerOptions()
{
    // The viewer's fit to screen is chosen in the viewer; a hidden box keeps
    // it with the other options.
    ckViewerFit = new QCheckBox(ckNoRecycle->parentWidget());
    ckViewerFit->setObjectName(QStringLiteral("ckViewerFit"));
    ckViewerFit->hide();
}

void TfrmMain::SetViewer(TfrmViewer* viewer)
{
    FViewer = viewer;
    if (!FViewerLink) FViewerLink = std::make_shared<TViewerLink>(*this);
    FViewerLink->Attach(viewer);
    // The preview's loading indicator stands for the viewer's loads too.
    if (viewer) {
        connect(viewer->Picture(), &TAdvImage::OnImageLoading, this, &TfrmMain::ImageImageLoading,
                Qt::UniqueConnection);
        connect(viewer->Picture(), &TAdvImage::OnImageLoaded, this, &TfrmMain::ImageImageLoaded,
                Qt::UniqueConnection);
    }
}

void TfrmMain::OpenViewer(const std::string& path)
{
    if (FViewer) FViewer->Open(path, this);
}

} // namespace quorvane
