// TfrmMain: the handlers of the directory area ("+", "-", "C", Enter in
// Edit1, lstDir and its menu) and of the options store (restore on first
// show, "Save options"). The rules live in the workspace library; these
// handlers read the controls, call them and show the result.
#include "MainForm.h"
#include "WorkspaceWidgets.h"

#include <QMenu>

namespace quorvane {

void TfrmMain::setupWorkspace()
{
    FDirBox = std::make_unique<TListWidgetBox>(lstDir);
    FOpenDialog = std::make_unique<TFolderPicker>(this);
    // The design's texts; the interface language sets them again.
    FOpenDialog->Title = QStringLiteral("You can input any file name");
    FOpenDialog->Filter = QStringLiteral("No need to change.|.___");
    FOpenDialog->FileName = QStringLiteral("Any file name");

    connect(Edit1, &QLineEdit::returnPressed, this, &TfrmMain::Edit1KeyDown);
    connect(btnAddDir, &QPushButton::clicked, this, &TfrmMain::btnAddDirClick);
    connect(btnSubDir, &QPushButton::clicked, this, &TfrmMain::miDelItemsClick);
    connect(btnClearDir, &QPushButton::clicked, this, &TfrmMain::miDelAllItemsClick);
    connect(lstDir, &QListWidget::clicked, this, &TfrmMain::lstDirClick);
    connect(PopupMenu3, &QMenu::aboutToShow, this, &TfrmMain::PopupMenu3Popup);
    // "Add" runs the steps of "+".
    connect(miAddItem, &QAction::triggered, this, &TfrmMain::btnAddDirClick);
    connect(miDelItems, &QAction::triggered, this, &TfrmMain::miDelItemsClick);
    connect(miDelAllItems, &QAction::triggered, this, &TfrmMain::miDelAllItemsClick);
    connect(btnSaveOptions, &QPushButton::clicked, this, &TfrmMain::btnSaveOptionsClick);
}

void TfrmMain::SetDirectoryPicker(std::unique_ptr<TDirectoryPicker> picker)
{
    // The texts the interface language gave the old picker stay.
    picker->Title = FOpenDialog->Title;
    picker->Filter = FOpenDialog->Filter;
    picker->FileName = FOpenDialog->FileName;
    picker->InitialDir = FOpenDialog->InitialDir;
    FOpenDialog = std::move(picker);
}

TDirectoryList TfrmMain::DirectoryList()
{
    // Built per use, so message boxes installed later are the ones shown.
    return TDirectoryList(*FDirBox, Messages());
}

void TfrmMain::AddPendingDirectory()
{
    DirectoryList().AddPendingDirectory(Edit1->text());
}

void TfrmMain::Edit1KeyDown()
{
    RunGuarded([this] { DirectoryList().AddDirectory(Edit1->text()); });
}

void TfrmMain::btnAddDirClick()
{
    RunGuarded([this] {
        const std::optional<QString> added = DirectoryList().AddPickedDirectory(*FOpenDialog, Edit1->text());
        if (added) Edit1->setText(*added);
    });
}

void TfrmMain::miDelItemsClick()
{
    DirectoryList().RemoveSelected();
}

void TfrmMain::miDelAllItemsClick()
{
    DirectoryList().RemoveAll();
}

void TfrmMain::lstDirClick()
{
    if (const std::optional<QString> entry = DirectoryList().CurrentEntry()) Edit1->setText(*entry);
}

void TfrmMain::PopupMenu3Popup()
{
    miDelItems->setEnabled(DirectoryList().HasSelection());
    miAddItem->setEnabled(true);
    miDelAllItems->setEnabled(true);
}

void TfrmMain::LoadOptions()
{
    // A value of the wrong type stops the restore where it stands; the error
    // is shown and the window goes on (the language is still applied).
    RunGuarded([this] {
        TFormOptionControls controls(this);
        TDirectoryList directories = DirectoryList();
        quorvane::LoadOptions(*OpenOptionsStore(), controls, directories);
    });
    // Also when a value stopped the restore, or a restored tick equalled the
    // one shown (no toggle to react to): the controls' reactions hold.
    ApplyCriteriaEnabling();
    ckMoreFormatsClick();
}

void TfrmMain::SaveOptions()
{
    const TFormOptionControls controls(this);
    const TDirectoryList directories = DirectoryList();
    quorvane::SaveOptions(*OpenOptionsStore(), controls, directories.EntryBytes(),
                          directories.ProtectedFlags(), Messages());
}

void TfrmMain::btnSaveOptionsClick()
{
    RunGuarded([this] { SaveOptions(); });
}

} // namespace quorvane
