// TfrmMain: "Find Duplicates" and "List All". The refusals are checked on the
// window's thread; the scan and the detection run on FWorker while the window
// keeps painting. Invariant: while a search runs, the controls that start or
// change one are disabled and FListReady is false; the result list is
// replaced only by a search that ended (completed, or stopped by an error
// after emptying the list), never by a cancelled one.
#include "FileScan.h"
#include "MainForm.h"
#include "NotDuplicates.h"
#include "ProgressForm.h"
#include "WindowRules.h"

#include <QCloseEvent>
#include <QWindow>

namespace quorvane {

void TfrmMain::SetProgressForm(TfrmProgress* form)
{
    if (FProgress) disconnect(FProgress, nullptr, this, nullptr);
    FProgress = form;
    if (FProgress) connect(FProgress, &TfrmProgress::CancelClicked, this, &TfrmMain::CancelSearch);
}

bool TfrmMain::SearchRunning() const
{
    return FWorker && FWorker->Running();
}

void TfrmMain::CancelSearch()
{
    if (FWorker) FWorker->Cancel();
    if (FFileTask) FFileTask->Cancel();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // The worker must not outlive the rows and widgets it reports to.
    if (SearchRunning()) {
        FWorker->Cancel();
        SearchFinished();
    }
    if (FileTaskRunning()) {
        FFileTask->Cancel();
        FileTaskFinished();
    }
    QMainWindow::closeEvent(event);
}

void TfrmMain::btnFindDuplicatesClick()
{
    if (SearchRunning()) return; // one search at a time
    FListReady = false;
    try {
        AddPendingDirectory();
    } catch (const std::exception& error) {
        RecoverFromSearchError(QString::fromLocal8Bit(error.what()));
        return;
    }
    if (FindDuplicatesRefused()) {
        FListReady = true; // a refused search leaves everything as it was
        return;
    }
    if (SimilarChecked()) {
        StartSimilarSearch();
        return;
    }
    StartSearch(TSearchKind::Duplicates,
                [search = FDuplicateSearch, directories = InputDirectories(), criteria = Criteria(),
                 include = ckInclude->isChecked()](TDuplicateHost& host, std::vector<TFileRecord>& rows) {
                    if (search(directories, criteria, include, host, rows) != TSearchOutcome::Completed)
                        return false;
                    LeaveOutNotDuplicates(rows, nullptr);
                    return true;
                });
}

bool TfrmMain::FindDuplicatesRefused()
{
    if (lstDir->count() == 0) {
        FMessages->ShowError(QString::fromUtf8(kNoDirectoryMessage));
        return true;
    }
    if (!SimilarChecked() && !Criteria().AnyKeyCriterion()) {
        FMessages->ShowError(QString::fromUtf8(kNoCriterionMessage));
        return true;
    }
    return false;
}

void TfrmMain::btnFindAllClick()
{
    if (SearchRunning()) return;
    try {
        AddPendingDirectory();
    } catch (const std::exception& error) {
        RecoverFromSearchError(QString::fromLocal8Bit(error.what()));
        return;
    }
    if (lstDir->count() == 0) {
        FMessages->ShowError(QString::fromUtf8(kNoDirectoryMessage));
        return;
    }
    FListReady = false;
    StartSearch(TSearchKind::ListAll, [directories = InputDirectories(), include = ckInclude->isChecked()](
                                          TDuplicateHost& host, std::vector<TFileRecord>& rows) {
        host.ClearFileList();
        for (const std::string& directory : directories)
            ReadAllFiles(directory, include, host, rows);
        return true;
    });
}

void TfrmMain::StartSearch(TSearchKind kind, TSearchWorker::TJob job)
{
    if (!FWorker) {
        FWorker = std::make_unique<TSearchWorker>();
        connect(FWorker.get(), &TSearchWorker::StatusText, this,
                [this](const QString& text, bool repaintNow) { SetStatusText(1, text, repaintNow); });
        connect(FWorker.get(), &TSearchWorker::Percentage, this, &TfrmMain::ShowSearchPercentage);
        connect(FWorker.get(), &TSearchWorker::ProgressWindowWanted, this, &TfrmMain::ShowProgressWindow);
        connect(FWorker.get(), &TSearchWorker::ErrorMessage, this,
                [this](const QString& text) { FMessages->ShowError(text); });
        connect(FWorker.get(), &TSearchWorker::Finished, this, &TfrmMain::SearchFinished);
    }
    FSearchKind = kind;
    NoteSearchStarted(kind);
    FPanel0BeforeSearch = StatusText(0);
    SetSearchControlsEnabled(false);
    FWorker->Start(std::move(job), ScanFilterOfControls());
}

void TfrmMain::ShowSearchPercentage(int percent, bool repaintNow)
{
    if (FProgress) FProgress->SetPosition(percent);
    SetStatusText(0, QString::number(percent) + QLatin1Char('%'), repaintNow);
}

void TfrmMain::ShowProgressWindow()
{
    if (!FProgress || FProgress->isVisible() || !(SearchRunning() || FileTaskRunning())) return;
    // Transient for the main window: it stays above it, whatever is clicked
    // there, until the work ends.
    FProgress->winId();
    if (QWindow* handle = FProgress->windowHandle()) handle->setTransientParent(windowHandle());
    FProgress->show();
    FProgress->raise();
    FProgress->activateWindow(); // so that Esc reaches it
}

void TfrmMain::SearchFinished()
{
    TSearchWorker::TOutcome outcome = FWorker->TakeOutcome();
    if (outcome.End == TSearchWorker::TEnd::None) return; // already taken
    SetSearchControlsEnabled(true);
    switch (outcome.End) {
    case TSearchWorker::TEnd::Refused:
        if (FProgress) FProgress->hide();
        FListReady = true;
        break;
    case TSearchWorker::TEnd::Cancelled:
        if (FProgress) FProgress->hide();
        FListReady = true;
        // The percentage of a search that did not end means nothing.
        SetStatusText(0, QString(), false);
        SetStatusText(1, QCoreApplication::translate("frmMain", kSearchCancelledText, "status"), true);
        break;
    case TSearchWorker::TEnd::Failed:
        if (outcome.ListCleared) FModel->SetRows(std::move(outcome.Rows));
        RecoverFromSearchError(outcome.ErrorText);
        ShowNotRead(std::move(outcome.NotRead));
        break;
    case TSearchWorker::TEnd::Completed:
    case TSearchWorker::TEnd::None:
        FModel->SetRows(std::move(outcome.Rows));
        FListIsSimilar = FSearchKind == TSearchKind::Similar;
        FUndoRows.clear(); // their rows belong to the list that was replaced
        FinishRebuild();
        if (FSearchKind == TSearchKind::ListAll)
            SetStatusText(1, TotalFilesText(FModel->Rows().size()), true);
        else if (FSearchKind == TSearchKind::Similar)
            FinishSimilarSearch();
        else
            SetStatusText(1, StatusText(1) + QString::fromLatin1(kGroupHintText), false);
        ShowNotRead(std::move(outcome.NotRead));
        break;
    }
}

void TfrmMain::SetSearchControlsEnabled(bool enabled)
{
    if (!enabled) {
        FSearchControlStates.clear();
        for (QWidget* control : std::initializer_list<QWidget*>{
                 btnFindDuplicates, btnFindAll, Edit1, lstDir, btnAddDir, btnSubDir, btnClearDir, ckName,
                 ckSize, ckCC, ckAllBytes, ckTime, ckInclude, ckSimilar, edTolerance, ckMoreFormats}) {
            FSearchControlStates.emplace_back(control, control->isEnabled());
            control->setEnabled(false);
        }
        // No name is edited in place while the work runs.
        FEditTriggers = lvFiles->editTriggers();
        lvFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
        return;
    }
    for (const auto& [control, wasEnabled] : FSearchControlStates)
        control->setEnabled(wasEnabled);
    if (!FSearchControlStates.empty()) lvFiles->setEditTriggers(FEditTriggers);
    FSearchControlStates.clear();
}

void TfrmMain::FinishRebuild()
{
    ClearSlides();
    if (FProgress) FProgress->hide();
    lvFiles->setUpdatesEnabled(true);
    FListReady = true;
}

void TfrmMain::RecoverFromSearchError(const QString& message)
{
    FinishRebuild();
    SetStatusText(1, TotalFilesText(FModel->Rows().size()), true);
    ShowException(message);
}

} // namespace quorvane
