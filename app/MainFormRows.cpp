// Commands of the result list that change the list and never a file:
// taking rows or whole groups out of it, and opening a row's folder in the
// desktop's file manager. Invariant: no file on disk is touched here, and
// rows are taken out only while no search or file task holds them.
#include "MainForm.h"
#include "ResultExport.h"
#include "ResultRows.h"
#include "WindowRules.h"
#include "WorkspaceWidgets.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QSaveFile>
#include <algorithm>

namespace quorvane {

void TfrmMain::setupRowCommands()
{
    miRemoveFromList = new QAction(PopupMenu1);
    miRemoveFromList->setObjectName(QStringLiteral("miRemoveFromList"));
    miRemoveGroup = new QAction(PopupMenu1);
    miRemoveGroup->setObjectName(QStringLiteral("miRemoveGroup"));
    miOpenFolder = new QAction(PopupMenu1);
    miOpenFolder->setObjectName(QStringLiteral("miOpenFolder"));
    miExport = new QAction(PopupMenu1);
    miExport->setObjectName(QStringLiteral("miExport"));
    FExportDialog = std::make_unique<TSaveFilePicker>(this);
    // Beside their kin: the folder after the ways to open, the removals
    // after the commands on the list.
    InsertAfter(PopupMenu1, miUltraEdit, miOpenFolder);
    InsertAfter(PopupMenu1, miCheckDisk, miRemoveFromList);
    InsertAfter(PopupMenu1, miRemoveFromList, miRemoveGroup);
    InsertAfter(PopupMenu1, miRemoveGroup, miExport);
    connect(miRemoveFromList, &QAction::triggered, this,
            [this] { RunGuarded([this] { RemoveListRows(SelectedRowIndices()); }); });
    connect(miRemoveGroup, &QAction::triggered, this, [this] {
        RunGuarded([this] { RemoveListRows(RowsOfGroups(FModel->Rows(), GroupChoice(), Criteria())); });
    });
    connect(miOpenFolder, &QAction::triggered, this, [this] { RunGuarded([this] { miOpenFolderClick(); }); });
    connect(miExport, &QAction::triggered, this, [this] { RunGuarded([this] { miExportClick(); }); });
}

void TfrmMain::EnableRowCommands()
{
    const bool allowed = FileCommandsAllowed();
    miRemoveFromList->setEnabled(allowed && !SelectedRowIndices().empty());
    miRemoveGroup->setEnabled(allowed && !GroupChoice().empty());
    miOpenFolder->setEnabled(FocusedRow() >= 0);
    miExport->setEnabled(!SearchRunning() && FModel->rowCount() > 0);
}

std::vector<int> TfrmMain::GroupChoice() const
{
    // The groups of the selected rows, or of the focused row when none is.
    std::vector<int> chosen = SelectedRowIndices();
    if (chosen.empty() && FocusedRow() >= 0) chosen.push_back(FocusedRow());
    return chosen;
}

void TfrmMain::RemoveListRows(std::vector<int> rows)
{
    // Sorting and file tasks read the rows; the list waits for them.
    if (!FileCommandsAllowed() || rows.empty()) return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.front() < 0 || rows.back() >= FModel->rowCount()) return;
    // The slides showing a row that leaves are emptied, as for a deleted file.
    for (const int row : rows)
        if (FDisplayHooks.ForgetDeletedFile) FDisplayHooks.ForgetDeletedFile(FModel->Row(row).FullPath());
    FModel->RemoveRowSet(rows);
    // Scattered rows leave in one layout change, which the removal handler
    // does not see: the total is written here.
    if (FListReady) SetStatusText(1, TotalFilesText(FModel->Rows().size()), false);
    SelectFocusedRow();
}

void TfrmMain::miOpenFolderClick()
{
    const int row = FocusedRow();
    if (row >= 0) ShellOpen(FModel->Row(row).DirectoryText(), {});
}

void TfrmMain::SetExportPicker(std::unique_ptr<TDirectoryPicker> picker)
{
    FExportDialog = std::move(picker);
}

void TfrmMain::miExportClick()
{
    if (SearchRunning() || FModel->rowCount() == 0 || !FExportDialog) return;
    TDirectoryPicker& picker = *FExportDialog;
    picker.Title = QCoreApplication::translate("frmMain", "Export the List", "miExport");
    picker.Filter = QCoreApplication::translate("frmMain", "CSV files (*.csv)|*.csv", "miExport");
    picker.DefaultExt = QStringLiteral("csv");
    if (!picker.Execute()) return;
    std::string text = CsvHeader(false);
    for (const TFileRecord& row : FModel->Rows())
        AppendCsvRow(text, row.Group, row);
    // Written whole or not at all: an older file of that name stays until then.
    QSaveFile file(picker.FileName);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit()) {
        FMessages->ShowError(
            QCoreApplication::translate("frmMain", "The list could not be written to \"%1\": %2", "miExport")
                .arg(picker.FileName, file.errorString()));
        return;
    }
    const int count = FModel->rowCount();
    SetStatusText(1,
                  count == 1
                      ? QCoreApplication::translate("frmMain", "1 row exported", "miExport")
                      : QCoreApplication::translate("frmMain", "%1 rows exported", "miExport").arg(count),
                  false);
}

} // namespace quorvane
