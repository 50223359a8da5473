// TfrmMain: protected folders. "Protect" in lstDir's menu flips the current
// entry's flag, protected entries are drawn dark green, and every deletion
// (the list's and the viewer's) passes through TGuardedFileOperations.
// Invariant: no file of a protected folder is handed to the file-operation
// service unless the user said Yes to the question naming it.
#include "MainForm.h"
#include "ProtectedFolders.h"
#include "WorkspaceWidgets.h"

#include <QListWidget>
#include <QMenu>
#include <QStyledItemDelegate>

namespace quorvane {

namespace {

// Dark green: plain text on the list's white, and the selection's background
// (with white text) when a protected entry is selected, so it stays readable
// and still shows as protected.
const QColor kProtectedColor(0, 100, 0);

class TProtectedEntryDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(kDirectoryProtectedRole).toBool()) return;
        option->palette.setColor(QPalette::Text, kProtectedColor);
        option->palette.setColor(QPalette::Highlight, kProtectedColor);
        option->palette.setColor(QPalette::HighlightedText, Qt::white);
    }
};

} // namespace

// The window's file-operation service as the deletions see it: files of
// protected folders are asked about first, whatever the flags say, and only
// the confirmed ones go on to the service installed at the time of asking.
class TfrmMain::TGuardedFileOperations : public IFileOperations {
  public:
    explicit TGuardedFileOperations(TfrmMain& form) : FForm(form) {}

    void DeleteFiles(const std::vector<TDeleteItem>& items, unsigned flags) override
    {
        const std::vector<TDeleteItem> allowed =
            ConfirmProtectedDeletions(items, FForm.ProtectedFolders(), *FForm.FFilePrompts, Language());
        if (!allowed.empty()) FForm.FFileOps->DeleteFiles(allowed, flags);
    }
    bool SplitsDeletion() const override { return FForm.FFileOps->SplitsDeletion(); }
    bool ConfirmDeletion(std::vector<TDeleteItem>& items, unsigned flags) override
    {
        items = ConfirmProtectedDeletions(items, FForm.ProtectedFolders(), *FForm.FFilePrompts, Language());
        return !items.empty() && FForm.FFileOps->ConfirmDeletion(items, flags);
    }
    QStringList CarryOutDeletion(const std::vector<TDeleteItem>& items, unsigned flags, std::stop_token stop,
                                 const TDeletionProgress& progress) override
    {
        return FForm.FFileOps->CarryOutDeletion(items, flags, std::move(stop), progress);
    }
    bool RenameFile(const std::string& oldPath, const std::string& newPath, unsigned flags) override
    {
        return FForm.FFileOps->RenameFile(oldPath, newPath, flags);
    }
    bool CanUndo() const override { return FForm.FFileOps->CanUndo(); }
    TUndoOutcome UndoLastDeletion() override { return FForm.FFileOps->UndoLastDeletion(); }

  private:
    // Asked in the interface language, as the service's own questions.
    EFileOpLanguage Language() const
    {
        return FForm.rbChinese->isChecked() ? EFileOpLanguage::Chinese : EFileOpLanguage::English;
    }

    TfrmMain& FForm;
};

void TfrmMain::setupProtection()
{
    FGuardedOps = std::make_unique<TGuardedFileOperations>(*this);
    PopupMenu3->addSeparator();
    miProtectItem = PopupMenu3->addAction(QStringLiteral("Protect"));
    miProtectItem->setObjectName(QStringLiteral("miProtectItem"));
    miProtectItem->setCheckable(true);
    lstDir->setItemDelegate(new TProtectedEntryDelegate(lstDir));
    connect(PopupMenu3, &QMenu::aboutToShow, this, &TfrmMain::PopupMenu3ProtectPopup);
    connect(miProtectItem, &QAction::triggered, this, &TfrmMain::miProtectItemClick);
}

void TfrmMain::PopupMenu3ProtectPopup()
{
    const TDirectoryList directories = DirectoryList();
    miProtectItem->setEnabled(directories.CurrentEntry().has_value());
    miProtectItem->setChecked(directories.CurrentIsProtected());
}

void TfrmMain::miProtectItemClick()
{
    // The entry's own flag decides, not the action's check state, which a
    // trigger without the menu opening first would leave stale.
    TDirectoryList directories = DirectoryList();
    if (!directories.ToggleCurrentProtected()) return;
    miProtectItem->setChecked(directories.CurrentIsProtected());
    lstDir->viewport()->update();
}

TProtectedFolders TfrmMain::ProtectedFolders()
{
    return TProtectedFolders(DirectoryList().ProtectedEntries());
}

} // namespace quorvane
