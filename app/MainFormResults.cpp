// TfrmMain: results that outlast the window. "Save Results..." writes the
// list with what was searched to a result file; "Open Results..." reads one
// back on the file-task thread and checks every row against the disk as F5
// does. "Not Duplicates" remembers a group (or the chosen rows of it) as
// files that are not copies of one another, in a file beside the options,
// and "Forget Not Duplicates..." lets such sets go. Invariant: a result file
// that cannot be trusted in full leaves the list as it was.
#include "MainForm.h"
#include "NotDuplicates.h"
#include "NotDuplicatesPrompt.h"
#include "ResultFile.h"
#include "ResultRows.h"
#include "WindowRules.h"
#include "WorkspaceWidgets.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QTimer>
#include <algorithm>

namespace quorvane {

namespace {

QString Text(const char* source, const char* comment)
{
    return QCoreApplication::translate("frmMain", source, comment);
}

QString OpenErrorText(TResultFileError error, const QString& file)
{
    switch (error) {
    case TResultFileError::TooLarge:
        return Text("\"%1\" is too large to be a results file.", "miOpenResults").arg(file);
    case TResultFileError::CannotRead:
        return Text("The results file \"%1\" could not be read.", "miOpenResults").arg(file);
    case TResultFileError::Truncated:
        return Text("The results file \"%1\" is incomplete: it ends too early.", "miOpenResults").arg(file);
    case TResultFileError::Damaged:
    case TResultFileError::RowsInvalid:
        return Text("The results file \"%1\" is damaged.", "miOpenResults").arg(file);
    case TResultFileError::Foreign:
        return Text("\"%1\" is not a results file of Quorvane.", "miOpenResults").arg(file);
    case TResultFileError::NewerVersion:
        return Text("The results file \"%1\" was written by a newer version of Quorvane; "
                    "a newer version of the program is needed to open it.",
                    "miOpenResults")
            .arg(file);
    default:
        return Text("The results file \"%1\" could not be opened.", "miOpenResults").arg(file);
    }
}

QString ResultsFilter()
{
    return Text("Quorvane results (*.json)|*.json", "miSaveResults");
}

} // namespace

void TfrmMain::setupResultCommands()
{
    const std::pair<QAction**, const char*> entries[] = {{&miSaveResults, "miSaveResults"},
                                                         {&miOpenResults, "miOpenResults"},
                                                         {&miNotDuplicates, "miNotDuplicates"},
                                                         {&miForgetNotDuplicates, "miForgetNotDuplicates"}};
    for (const auto& [entry, name] : entries) {
        *entry = new QAction(PopupMenu1);
        (*entry)->setObjectName(QString::fromLatin1(name));
    }
    InsertAfter(PopupMenu1, miExport, miSaveResults);
    InsertAfter(PopupMenu1, miSaveResults, miOpenResults);
    InsertAfter(PopupMenu1, miRemoveGroup, miNotDuplicates);
    InsertAfter(PopupMenu1, miNotDuplicates, miForgetNotDuplicates);
    FResultsSaveDialog = std::make_unique<TSaveFilePicker>(this);
    FResultsOpenDialog = std::make_unique<TOpenFilePicker>(this);
    FForgetPrompt = std::make_unique<TForgetNotDuplicatesDialog>(this);
    connect(miSaveResults, &QAction::triggered, this,
            [this] { RunGuarded([this] { miSaveResultsClick(); }); });
    connect(miOpenResults, &QAction::triggered, this,
            [this] { RunGuarded([this] { miOpenResultsClick(); }); });
    connect(miNotDuplicates, &QAction::triggered, this,
            [this] { RunGuarded([this] { miNotDuplicatesClick(); }); });
    connect(miForgetNotDuplicates, &QAction::triggered, this,
            [this] { RunGuarded([this] { miForgetNotDuplicatesClick(); }); });
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        miSaveResults->setEnabled(!SearchRunning() && FModel->rowCount() > 0);
        miOpenResults->setEnabled(FileCommandsAllowed());
        const int focused = FocusedRow();
        miNotDuplicates->setEnabled(FileCommandsAllowed() && focused >= 0 && FModel->Row(focused).Group != 0);
    });
}

void TfrmMain::SetResultPickers(std::unique_ptr<TDirectoryPicker> save,
                                std::unique_ptr<TDirectoryPicker> open)
{
    FResultsSaveDialog = std::move(save);
    FResultsOpenDialog = std::move(open);
}

void TfrmMain::SetForgetNotDuplicatesPrompt(std::unique_ptr<IForgetNotDuplicatesPrompt> prompt)
{
    FForgetPrompt = std::move(prompt);
}

void TfrmMain::NoteSearchStarted(TSearchKind kind)
{
    TResultSearch& search = FLastSearch;
    search = TResultSearch();
    search.Kind = kind == TSearchKind::ListAll   ? TResultKind::AllFiles
                  : kind == TSearchKind::Similar ? TResultKind::SimilarPictures
                                                 : TResultKind::Duplicates;
    search.Criteria = Criteria();
    search.Similar.Tolerance = Tolerance();
    search.Similar.MoreFormats = ckMoreFormats->isChecked();
    search.Similar.TurnUpright = ckTurnUpright->isChecked();
    search.Similar.Turns = ckTurns->isChecked();
    search.Similar.Crops = ckCrops->isChecked();
    search.Similar.SamePixels = ckSamePixels->isChecked();
    search.IncludeSubdirectories = ckInclude->isChecked();
    search.Filter = ScanFilterOfControls();
    search.Directories = InputDirectories();
    FLastSearchedAt = ResultTimeNow();
}

void TfrmMain::miSaveResultsClick()
{
    if (SearchRunning() || FModel->rowCount() == 0 || !FResultsSaveDialog) return;
    TDirectoryPicker& picker = *FResultsSaveDialog;
    picker.Title = Text("Save the Results", "miSaveResults");
    picker.Filter = ResultsFilter();
    picker.DefaultExt = QStringLiteral("json");
    if (!picker.Execute()) return;
    TSavedResult result;
    result.ProgramVersion = QUORVANE_VERSION;
    result.SearchedAt = FLastSearchedAt;
    result.Search = FLastSearch;
    // The file keeps the groups in their order, whatever sort the list shows.
    result.Rows = FModel->Rows();
    std::stable_sort(result.Rows.begin(), result.Rows.end(),
                     [](const TFileRecord& a, const TFileRecord& b) { return a.Group < b.Group; });
    for (TFileRecord& row : result.Rows)
        row.DiskState = kDiskAsListed;
    if (!std::all_of(result.Rows.begin(), result.Rows.end(),
                     [](const TFileRecord& r) { return r.Group != 0; }))
        for (TFileRecord& row : result.Rows)
            row.Group = 0; // a list without groups, or with rows outside them
    else
        RenumberGroups(result.Rows);
    const std::string path = QFile::encodeName(picker.FileName).toStdString();
    const TResultFileError error = SaveResultFile(path, result);
    if (error != TResultFileError::None) {
        FMessages->ShowError(
            Text("The results could not be saved to \"%1\".", "miSaveResults").arg(picker.FileName));
        return;
    }
    SetStatusText(1, Text("Results saved: %1 rows", "miSaveResults").arg(result.Rows.size()), false);
}

void TfrmMain::miOpenResultsClick()
{
    if (!FileCommandsAllowed() || !FResultsOpenDialog) return;
    TDirectoryPicker& picker = *FResultsOpenDialog;
    picker.Title = Text("Open Results", "miOpenResults");
    picker.Filter = ResultsFilter();
    if (!picker.Execute()) return;
    const QString shown = picker.FileName;
    auto result = std::make_shared<TSavedResult>();
    auto error = std::make_shared<TResultFileError>(TResultFileError::None);
    // Read and checked off the window's thread: a million rows take a moment.
    RunFileTask(
        [path = QFile::encodeName(shown).toStdString(), result,
         error](std::stop_token, const std::function<void(int)>&) { *error = OpenResultFile(path, *result); },
        [this, result, error, shown](bool cancelled) {
            if (cancelled) return;
            if (*error != TResultFileError::None) {
                FMessages->ShowError(OpenErrorText(*error, shown));
                return;
            }
            ShowOpenedResults(std::move(*result));
        });
}

void TfrmMain::ShowOpenedResults(TSavedResult result)
{
    FLastSearch = result.Search;
    FLastSearchedAt = result.SearchedAt;
    FSearchKind = result.Search.Kind == TResultKind::AllFiles          ? TSearchKind::ListAll
                  : result.Search.Kind == TResultKind::SimilarPictures ? TSearchKind::Similar
                                                                       : TSearchKind::Duplicates;
    FModel->SetRows(std::move(result.Rows));
    FListIsSimilar = FSearchKind == TSearchKind::Similar;
    FUndoRows.clear(); // they belong to the list that was replaced
    FinishRebuild();
    SetStatusText(1, TotalFilesText(FModel->Rows().size()), true);
    // Files may have changed since the search: every row is checked, as F5
    // does, once the task that read the file has ended.
    QTimer::singleShot(0, this, [this] { miCheckDiskClick(); });
}

std::vector<int> TfrmMain::NotDuplicateChoice() const
{
    const int focused = FocusedRow();
    if (focused < 0 || FModel->Row(focused).Group == 0) return {};
    const std::uint32_t group = FModel->Row(focused).Group;
    std::vector<int> chosen;
    for (const int row : SelectedRowIndices())
        if (FModel->Row(row).Group == group) chosen.push_back(row);
    if (chosen.size() >= 2) return chosen;
    chosen.clear();
    for (int row = 0; row < FModel->rowCount(); ++row)
        if (FModel->Row(row).Group == group) chosen.push_back(row);
    return chosen;
}

bool TfrmMain::LoadNotDuplicates(TNotDuplicates& store, const std::string& path)
{
    if (path.empty()) {
        FMessages->ShowError(
            Text("There is no folder for the files marked as not duplicates (HOME is not set).",
                 "miNotDuplicates"));
        return false;
    }
    if (store.Load(path) == TNotDuplicatesLoad::Damaged)
        FMessages->ShowError(Text("The files marked as not duplicates could not be read from \"%1\"; "
                                  "the marks start again.",
                                  "miNotDuplicates")
                                 .arg(QFile::decodeName(QByteArray::fromStdString(path))));
    return true;
}

void TfrmMain::miNotDuplicatesClick()
{
    if (!FileCommandsAllowed()) return;
    const std::vector<int> chosen = NotDuplicateChoice();
    if (chosen.empty()) return;
    const std::string path = DefaultNotDuplicatesPath();
    TNotDuplicates store;
    if (!LoadNotDuplicates(store, path)) return;
    std::vector<TFileRecord> rows;
    for (const int row : chosen)
        rows.push_back(FModel->Row(row));
    if (!store.AddSet(rows)) {
        FMessages->ShowInformation(
            Text("These files are marked as not duplicates already.", "miNotDuplicates"));
        return;
    }
    if (!store.Save(path)) {
        FMessages->ShowError(
            Text("The files marked as not duplicates could not be saved to \"%1\".", "miNotDuplicates")
                .arg(QFile::decodeName(QByteArray::fromStdString(path))));
        return;
    }
    // The list follows at once, as the next search would show it.
    const std::vector<bool> out = RowsTakenOut(FModel->Rows(), store);
    std::vector<int> leaving;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i]) leaving.push_back(static_cast<int>(i));
    RemoveListRows(leaving);
}

void TfrmMain::miForgetNotDuplicatesClick()
{
    if (!FForgetPrompt) return;
    const std::string path = DefaultNotDuplicatesPath();
    TNotDuplicates store;
    if (!LoadNotDuplicates(store, path)) return;
    if (store.Empty()) {
        FMessages->ShowInformation(Text("No files are marked as not duplicates.", "miForgetNotDuplicates"));
        return;
    }
    std::vector<QStringList> sets;
    for (const std::vector<std::string>& paths : store.SetPaths()) {
        QStringList shown;
        for (const std::string& member : paths)
            shown << QFile::decodeName(QByteArray::fromStdString(member));
        sets.push_back(shown);
    }
    std::vector<std::size_t> forget = FForgetPrompt->Choose(sets);
    if (forget.empty()) return;
    std::sort(forget.rbegin(), forget.rend());
    for (const std::size_t index : forget)
        store.RemoveSet(index);
    if (!store.Save(path))
        FMessages->ShowError(
            Text("The files marked as not duplicates could not be saved to \"%1\".", "miNotDuplicates")
                .arg(QFile::decodeName(QByteArray::fromStdString(path))));
}

} // namespace quorvane
