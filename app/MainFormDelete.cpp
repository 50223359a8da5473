// TfrmMain: deleting listed files. Before anything goes, the files of
// duplicate groups are checked on a worker thread for a copy that stays
// (present, unchanged since the search, the same bytes now); files without
// one are named in one question, default No, asked even with "No
// confirmation". The files then go on the worker thread too, and only rows
// whose files are really gone leave the list; the rows left in the touched
// groups are checked against the disk again.
// Invariant: nothing is deleted while a search or another check runs, and a
// cancelled check deletes nothing.
#include "AdvImage.h"
#include "DiskCheck.h"
#include "FileCommands.h"
#include "LocalFileOperations.h"
#include "MainForm.h"
#include "PreviewController.h"
#include "PreviewRules.h"
#include "ProgressForm.h"
#include "WindowRules.h"

#include <QFile>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <unordered_set>

namespace quorvane {

namespace {

QString DisplayPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Deletions whose rows "Undo Delete" can put back.
constexpr std::size_t kUndoDepth = 16;

} // namespace

void TfrmMain::setupDiskCommands()
{
    miUndoDelete = new QAction(PopupMenu1);
    miUndoDelete->setObjectName(QStringLiteral("miUndoDelete"));
    miCheckDisk = new QAction(PopupMenu1);
    miCheckDisk->setObjectName(QStringLiteral("miCheckDisk"));
    PopupMenu1->addAction(miUndoDelete);
    PopupMenu1->addAction(miCheckDisk);
    connect(miUndoDelete, &QAction::triggered, this, [this] { RunGuarded([this] { miUndoDeleteClick(); }); });
    connect(miCheckDisk, &QAction::triggered, this, [this] { RunGuarded([this] { miCheckDiskClick(); }); });
    for (const auto& [key, handler] :
         {std::pair{QKeySequence(Qt::CTRL | Qt::Key_Z), &TfrmMain::miUndoDeleteClick},
          std::pair{QKeySequence(Qt::Key_F5), &TfrmMain::miCheckDiskClick}}) {
        auto* shortcut = new QShortcut(key, lvFiles);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this,
                [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
    }
}

bool TfrmMain::FileCommandsAllowed() const
{
    return !SearchRunning() && !FileTaskRunning();
}

void TfrmMain::DeleteSelectedFiles()
{
    if (!FileCommandsAllowed()) return;
    const std::vector<int> selected = SelectedRowIndices();
    if (selected.empty()) return;
    DeleteRows(selected, nullptr, {});
}

void TfrmMain::DeleteRows(const std::vector<int>& rows, QWidget* owner, std::function<void(bool gone)> done)
{
    auto plan = std::make_shared<TCopyCheckPlan>(CopyCheckPlan(FModel->Rows(), rows, FListIsSimilar));
    if (plan->Groups.empty()) {
        FinishDeletion(rows, {}, false, owner, std::move(done));
        return;
    }
    auto outcome = std::make_shared<TCopyCheckOutcome>();
    RunFileTask(
        [plan, outcome](std::stop_token stop, const std::function<void(int)>& progress) {
            *outcome =
                FindFilesWithoutCopy(plan->Groups, stop, [&progress](std::uint64_t at, std::uint64_t total) {
                    progress(total == 0 ? 100 : static_cast<int>(at * 100 / total));
                });
        },
        [this, rows, plan, outcome, owner, done = std::move(done)](bool cancelled) mutable {
            if (cancelled || outcome->Cancelled) {
                if (done) done(false);
                return;
            }
            std::vector<int> without;
            for (const TFileRef& file : outcome->WithoutCopy)
                without.push_back(plan->Rows[file.Group][file.File]);
            FinishDeletion(rows, without, true, owner, std::move(done));
        });
}

void TfrmMain::FinishDeletion(std::vector<int> rows, std::vector<int> withoutCopy, bool checked,
                              QWidget* owner, std::function<void(bool gone)> done)
{
    // Every question of this deletion belongs to the window it was asked from.
    const TPromptOwnerScope promptOwner(*FFileBoxes, owner ? owner : this);
    std::sort(withoutCopy.begin(), withoutCopy.end());
    if (!withoutCopy.empty()) {
        // Only the names the question shows are made into text.
        QStringList paths;
        for (std::size_t k = 0; k < withoutCopy.size() && k < kNoCopyQuestionNames; ++k)
            paths << DisplayPath(FModel->Row(withoutCopy[k]).FullPath());
        if (!FFilePrompts->Confirm(NoCopyQuestion(paths, qsizetype(withoutCopy.size())), false)) {
            std::erase_if(rows, [&withoutCopy](int row) {
                return std::binary_search(withoutCopy.begin(), withoutCopy.end(), row);
            });
        }
    }
    // Rows of "List All" have no group: the list's own last-copy question.
    if (!checked && TakesEveryCopy(FModel->Rows(), rows, Criteria())) {
        const QString question = rbChinese->isChecked() ? kLastCopyQuestionChinese : kLastCopyQuestionEnglish;
        if (!FFilePrompts->Confirm(question, false)) rows.clear();
    }
    if (rows.empty()) {
        EndDeletion(false, owner, std::move(done));
        return;
    }
    std::vector<TDeleteItem> items;
    items.reserve(rows.size());
    for (const int row : rows)
        items.push_back({FModel->Row(row).FullPath(), IdentityOfRow(FModel->Row(row))});
    FLocalFileOps->SetLanguage(rbChinese->isChecked() ? EFileOpLanguage::Chinese : EFileOpLanguage::English);
    const unsigned flags = DeleteRequestFlags();
    const bool toTrash = (flags & kFofAllowUndo) != 0;
    if (!FGuardedOps->SplitsDeletion()) {
        // Files of protected folders are asked about one by one first.
        FGuardedOps->DeleteFiles(items, flags);
        EndDeletion(RemoveRowsOfGoneFiles(rows, toTrash), owner, std::move(done));
        return;
    }
    // The questions here, the files on the worker thread (a large deletion
    // keeps the window painting and its Cancel heard), the reports after.
    // The rows stay as they are meanwhile: file commands, sorting and
    // searches wait for the task.
    if (!FGuardedOps->ConfirmDeletion(items, flags)) {
        EndDeletion(false, owner, std::move(done));
        return;
    }
    auto failures = std::make_shared<QStringList>();
    auto readBack = std::make_shared<TReadBack>();
    const std::vector<TFileRecord>* listed = &FModel->Rows();
    IFileOperations* service = FGuardedOps.get();
    RunFileTask(
        [service, items = std::move(items), flags, failures, readBack, listed,
         rows](std::stop_token stop, const std::function<void(int)>& progress) {
            *failures =
                service->CarryOutDeletion(items, flags, stop, [&progress](std::size_t at, std::size_t total) {
                    progress(static_cast<int>(at * 100 / total));
                });
            // Read back even after a cancel: what went must leave the list.
            *readBack = ReadBackRows(*listed, rows);
        },
        [this, rows, toTrash, failures, readBack, owner, done = std::move(done)](bool) mutable {
            const TPromptOwnerScope promptOwner(*FFileBoxes, owner ? owner : this);
            const bool gone = ApplyReadBack(rows, *readBack, toTrash);
            if (!failures->isEmpty()) FFilePrompts->ReportFailures(*failures);
            EndDeletion(gone, owner, std::move(done));
        });
}

void TfrmMain::EndDeletion(bool gone, QWidget* owner, std::function<void(bool gone)> done)
{
    if (!owner) SelectFocusedRow();
    if (done) done(gone);
}

void TfrmMain::SelectFocusedRow()
{
    const int focused = FocusedRow();
    if (focused < 0) return;
    const QModelIndex target = FModel->index(focused, 0);
    // Adding to a selection of many scattered ranges is costly: only when
    // the row is not selected already.
    if (!lvFiles->selectionModel()->isRowSelected(focused))
        lvFiles->selectionModel()->select(target, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    lvFiles->scrollTo(target, QAbstractItemView::EnsureVisible);
}

TfrmMain::TReadBack TfrmMain::ReadBackRows(const std::vector<TFileRecord>& rows,
                                           const std::vector<int>& selected)
{
    // The selected rows and the other rows of their groups are read back in
    // one pass, folder by folder: the gone ones leave, and the copies left
    // are what the next deletion and Select Duplicates rely on.
    std::unordered_set<std::uint32_t> touchedGroups;
    std::vector<bool> isSelected(rows.size(), false);
    for (const int row : selected) {
        isSelected[static_cast<std::size_t>(row)] = true;
        if (rows[static_cast<std::size_t>(row)].Group != 0)
            touchedGroups.insert(rows[static_cast<std::size_t>(row)].Group);
    }
    TReadBack readBack;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (isSelected[i] || (rows[i].Group != 0 && touchedGroups.contains(rows[i].Group)))
            readBack.Rows.push_back(i);
    readBack.States = DiskStatesOf(rows, readBack.Rows);
    return readBack;
}

bool TfrmMain::RemoveRowsOfGoneFiles(const std::vector<int>& selected, bool toTrash)
{
    return ApplyReadBack(selected, ReadBackRows(FModel->Rows(), selected), toTrash);
}

bool TfrmMain::ApplyReadBack(const std::vector<int>& selected, const TReadBack& readBack, bool toTrash)
{
    const std::vector<TFileRecord>& rows = FModel->Rows();
    std::vector<bool> isSelected(rows.size(), false);
    for (const int row : selected)
        isSelected[static_cast<std::size_t>(row)] = true;
    std::vector<int> gone;
    std::vector<TFileRecord> removed;
    std::vector<std::size_t> left;
    std::vector<std::uint8_t> leftStates;
    for (std::size_t k = 0; k < readBack.Rows.size() && k < readBack.States.size(); ++k) {
        const std::size_t row = readBack.Rows[k];
        // A selected file still there was declined, failed or left: its row
        // stays selected.
        if (!isSelected[row] || readBack.States[k] != kDiskGone) {
            left.push_back(row);
            leftStates.push_back(readBack.States[k]);
            continue;
        }
        if (FDisplayHooks.ForgetDeletedFile) FDisplayHooks.ForgetDeletedFile(rows[row].FullPath());
        gone.push_back(static_cast<int>(row));
        removed.push_back(rows[row]);
    }
    if (gone.empty()) {
        ApplyDiskStates(left, leftStates);
        return false;
    }
    // The removal marks the focused group again, states included.
    SetDiskStates(left, leftStates);
    FModel->RemoveRowSet(gone);
    if (toTrash) {
        FUndoIsMove.push_front(false);
        FUndoRows.push_front(std::move(removed));
        if (FUndoRows.size() > kUndoDepth) FUndoRows.pop_back();
    }
    // Many scattered rows leave in one layout change, which the removal
    // handler does not see: the total is written here as it would write it.
    if (FListReady) SetStatusText(1, TotalFilesText(FModel->Rows().size()), false);
    return true;
}

bool TfrmMain::SetDiskStates(const std::vector<std::size_t>& rows, const std::vector<std::uint8_t>& states)
{
    bool anyChanged = false;
    for (std::size_t k = 0; k < rows.size() && k < states.size(); ++k)
        anyChanged |= FModel->SetDiskState(static_cast<int>(rows[k]), states[k]);
    return anyChanged;
}

void TfrmMain::ApplyDiskStates(const std::vector<std::size_t>& rows, const std::vector<std::uint8_t>& states)
{
    if (SetDiskStates(rows, states)) FPreview->ResetGroupMarks();
}

void TfrmMain::CheckFocusedRowAgainstDisk()
{
    const int row = FocusedRow();
    if (row < 0 || !FileCommandsAllowed()) return;
    const std::vector<std::size_t> rows{static_cast<std::size_t>(row)};
    ApplyDiskStates(rows, {static_cast<std::uint8_t>(DiskStateOf(FModel->Row(row)))});
}

void TfrmMain::miCheckDiskClick()
{
    if (!FileCommandsAllowed() || FModel->rowCount() == 0) return;
    auto which = std::make_shared<std::vector<std::size_t>>(FModel->Rows().size());
    for (std::size_t i = 0; i < which->size(); ++i)
        (*which)[i] = i;
    auto states = std::make_shared<std::vector<std::uint8_t>>();
    // The rows are read on the worker thread; nothing changes them meanwhile
    // (file commands, sorting and searches wait for the check).
    const std::vector<TFileRecord>* rows = &FModel->Rows();
    RunFileTask(
        [rows, which, states](std::stop_token stop, const std::function<void(int)>& progress) {
            *states = DiskStatesOf(*rows, *which, stop, [&progress](std::size_t at, std::size_t total) {
                progress(total == 0 ? 100 : static_cast<int>(at * 100 / total));
            });
        },
        [this, which, states](bool cancelled) {
            if (!cancelled) ApplyDiskStates(*which, *states);
        });
}

void TfrmMain::miUndoDeleteClick()
{
    if (!FileCommandsAllowed() || UndoLastMove() || !FGuardedOps->CanUndo()) return;
    if (!FUndoIsMove.empty()) FUndoIsMove.pop_front();
    FLocalFileOps->SetLanguage(rbChinese->isChecked() ? EFileOpLanguage::Chinese : EFileOpLanguage::English);
    const TUndoOutcome outcome = FGuardedOps->UndoLastDeletion();
    if (!FUndoRows.empty()) {
        // The rows of the newest deletion; only those whose files came back
        // return to the list.
        std::vector<TFileRecord> batch = std::move(FUndoRows.front());
        FUndoRows.pop_front();
        std::unordered_set<std::string> restored;
        for (const TRestoredFile& file : outcome.Restored)
            restored.insert(file.Path);
        std::erase_if(batch,
                      [&restored](const TFileRecord& row) { return !restored.contains(row.FullPath()); });
        PutRowsBack(std::move(batch));
    }
    FFilePrompts->ReportFailures(outcome.Failures);
}

void TfrmMain::PutRowsBack(std::vector<TFileRecord> batch)
{
    if (batch.empty()) return;
    // Each row goes back after the last row of its group, so the group
    // stands together again; a row whose group left the list goes last.
    std::vector<TFileRecord> rows = FModel->Rows();
    for (TFileRecord& row : batch) {
        row.DiskState = kDiskAsListed;
        auto at = rows.end();
        if (row.Group != 0) {
            const auto last = std::find_if(rows.rbegin(), rows.rend(),
                                           [&row](const TFileRecord& r) { return r.Group == row.Group; });
            if (last != rows.rend()) at = last.base();
        }
        rows.insert(at, std::move(row));
    }
    FModel->SetRows(std::move(rows));
    if (FListReady) SetStatusText(1, TotalFilesText(FModel->Rows().size()), false);
}

void TfrmMain::RunFileTask(TFileTask::TWork work, std::function<void(bool cancelled)> done)
{
    if (!FFileTask) {
        FFileTask = std::make_unique<TFileTask>();
        connect(FFileTask.get(), &TFileTask::Percentage, this,
                [this](int percent) { ShowSearchPercentage(percent, false); });
        connect(FFileTask.get(), &TFileTask::Finished, this, &TfrmMain::FileTaskFinished);
        FFileTaskWindowDelay = new QTimer(this);
        FFileTaskWindowDelay->setSingleShot(true);
        FFileTaskWindowDelay->setInterval(250);
        connect(FFileTaskWindowDelay, &QTimer::timeout, this, &TfrmMain::ShowProgressWindow);
    }
    FFileTaskDone = std::move(done);
    SetSearchControlsEnabled(false);
    FFileTask->Start(std::move(work));
    // A short check ends before the window would flash up.
    FFileTaskWindowDelay->start();
}

void TfrmMain::FileTaskFinished()
{
    if (!FFileTask || !FFileTask->Running()) return;
    const bool cancelled = FFileTask->Take();
    FFileTaskWindowDelay->stop();
    if (FProgress) FProgress->hide();
    SetSearchControlsEnabled(true);
    SetStatusText(0, QString(), false);
    auto done = std::move(FFileTaskDone);
    FFileTaskDone = {};
    if (done) RunGuarded([&] { done(cancelled); });
}

} // namespace quorvane
