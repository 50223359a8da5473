// TfrmMain: replacing duplicates by a hard link, a symbolic link or a clone
// of the kept file of their group, or moving them to a folder. The kept file
// is the group's first unselected row that still matches its file; every
// file goes through the copy check at the moment of acting, on the file
// task's thread with the progress window and Cancel. A replaced row stays,
// noted as a link of the kept file; a moved row leaves the list and "Undo
// Delete" can move it back.
#include "DirectoryList.h"
#include "FileListModel.h"
#include "MainForm.h"
#include "PathRules.h"
#include "PreviewController.h"
#include "ProtectedFolders.h"
#include "WindowRules.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace quorvane {

namespace {

// Moves whose rows "Undo Delete" can put back.
constexpr std::size_t kMoveUndoDepth = 16;

// The window's own texts, in the translation context of its other texts.
QString Text(const char* source)
{
    return QCoreApplication::translate("frmMain", source);
}

QString DisplayPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString ReasonText(const TReplaceOutcome& outcome)
{
    switch (outcome.Result) {
    case EReplaceResult::DuplicateChanged:
        return Text("the file changed since the search");
    case EReplaceResult::KeptChanged:
        return Text("the kept file is gone or changed");
    case EReplaceResult::NotIdentical:
        return Text("the kept file does not have the same bytes");
    case EReplaceResult::CrossDevice:
        return Text("the kept file is on another file system");
    case EReplaceResult::NotSupported:
        return Text("this file system cannot make clones");
    case EReplaceResult::Clash:
        return Text("a file of that name is already in the folder");
    case EReplaceResult::Cancelled:
        return Text("cancelled");
    default:
        return QString::fromLocal8Bit(std::strerror(outcome.Error));
    }
}

QString LinkNote(EReplaceAction action, const std::string& kept)
{
    switch (action) {
    case EReplaceAction::HardLink:
        return Text("Hard link of %1").arg(DisplayPath(kept));
    case EReplaceAction::SymbolicLink:
        return Text("Symbolic link to %1").arg(DisplayPath(kept));
    default:
        return Text("Clone of %1").arg(DisplayPath(kept));
    }
}

} // namespace

void TfrmMain::setupReplaceCommands()
{
    const std::pair<QAction**, const char*> entries[] = {{&miReplaceHardLink, "miReplaceHardLink"},
                                                         {&miReplaceSymbolicLink, "miReplaceSymbolicLink"},
                                                         {&miReplaceClone, "miReplaceClone"},
                                                         {&miMoveToFolder, "miMoveToFolder"}};
    const EReplaceAction actions[] = {EReplaceAction::HardLink, EReplaceAction::SymbolicLink,
                                      EReplaceAction::Clone, EReplaceAction::Move};
    PopupMenu1->addSeparator();
    for (std::size_t i = 0; i < std::size(entries); ++i) {
        QAction* entry = new QAction(PopupMenu1);
        entry->setObjectName(QString::fromLatin1(entries[i].second));
        *entries[i].first = entry;
        PopupMenu1->addAction(entry);
        connect(entry, &QAction::triggered, this,
                [this, action = actions[i]] { RunGuarded([this, action] { ReplaceSelectedRows(action); }); });
    }
    // The "More Options" page has no room left: the option is kept there
    // unseen, saved with the others under its own name (unticked: relative
    // links), and ticked through the list menu's checkable entry.
    ckAbsoluteLinks = new QCheckBox(ckNoRecycle->parentWidget());
    ckAbsoluteLinks->setObjectName(QStringLiteral("ckAbsoluteLinks"));
    ckAbsoluteLinks->hide();
    miAbsoluteLinks = new QAction(PopupMenu1);
    miAbsoluteLinks->setObjectName(QStringLiteral("miAbsoluteLinks"));
    miAbsoluteLinks->setCheckable(true);
    PopupMenu1->insertAction(miReplaceClone, miAbsoluteLinks);
    connect(miAbsoluteLinks, &QAction::toggled, ckAbsoluteLinks, &QCheckBox::setChecked);
    connect(ckAbsoluteLinks, &QCheckBox::toggled, miAbsoluteLinks, &QAction::setChecked);
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        const bool enabled = FileCommandsAllowed() && !SelectedRowIndices().empty();
        for (QAction* entry : {miReplaceHardLink, miReplaceSymbolicLink, miReplaceClone, miMoveToFolder})
            entry->setEnabled(enabled);
        if (!FMovedBatches.empty() && FileCommandsAllowed()) miUndoDelete->setEnabled(true);
    });
}

void TfrmMain::ReplaceSelectedRows(EReplaceAction action)
{
    if (!FileCommandsAllowed()) return;
    const std::vector<int> selected = SelectedRowIndices();
    if (!selected.empty()) ReplaceRows(selected, action);
}

void TfrmMain::ReplaceRows(const std::vector<int>& rows, EReplaceAction action,
                           std::function<void(bool gone)> done)
{
    std::vector<std::size_t> chosen(rows.begin(), rows.end());
    std::sort(chosen.begin(), chosen.end());
    auto plan =
        std::make_shared<TReplacementPlan>(ReplacementPlan(FModel->Rows(), chosen, InputDirectories()));
    if (plan->Items.empty()) {
        FMessages->ShowInformation(
            Text("Only files of a duplicate group in which another file stays can be replaced or moved."));
        return;
    }
    if (!ConfirmProtectedReplacements(*plan)) return;
    TReplaceOptions options;
    options.Action = action;
    options.AbsoluteLinks = ckAbsoluteLinks->isChecked();
    if (action == EReplaceAction::Move) {
        TDirectoryPicker& picker = OpenDialog();
        picker.Title = Text("Move to Folder");
        if (!picker.Execute()) return;
        options.MoveFolder =
            DirectoryPart(QFile::encodeName(picker.FileName).toStdString(), PathStyle::Posix);
    }
    auto outcomes = std::make_shared<std::vector<TReplaceOutcome>>();
    RunFileTask(
        [plan, options, outcomes](std::stop_token stop, const std::function<void(int)>& progress) {
            *outcomes =
                ReplaceDuplicates(plan->Items, options, stop, [&progress](std::size_t at, std::size_t total) {
                    progress(total == 0 ? 100 : static_cast<int>(at * 100 / total));
                });
        },
        // What was done before a Cancel is done: the rows follow it either way.
        [this, plan, outcomes, action, done = std::move(done)](bool) {
            FinishReplacement(*plan, *outcomes, action, done);
        });
}

bool TfrmMain::ConfirmProtectedReplacements(TReplacementPlan& plan)
{
    const TProtectedFolders protectedFolders = ProtectedFolders();
    if (protectedFolders.Empty()) return true;
    // Files of protected folders are asked about one by one, default No.
    TReplacementPlan allowed;
    for (std::size_t k = 0; k < plan.Items.size(); ++k) {
        const TFileRecord& row = FModel->Row(static_cast<int>(plan.Rows[k]));
        if (protectedFolders.CoversRow(row) &&
            !FFilePrompts->Confirm(Text("\"%1\" is in a protected folder. Replace or move it anyway?")
                                       .arg(DisplayPath(plan.Items[k].Duplicate.Path)),
                                   false))
            continue;
        allowed.Items.push_back(plan.Items[k]);
        allowed.Rows.push_back(plan.Rows[k]);
        allowed.KeptRows.push_back(plan.KeptRows[k]);
    }
    plan = std::move(allowed);
    return !plan.Items.empty();
}

void TfrmMain::FinishReplacement(const TReplacementPlan& plan, const std::vector<TReplaceOutcome>& outcomes,
                                 EReplaceAction action, const std::function<void(bool gone)>& done)
{
    QStringList failures;
    std::vector<int> moved;
    TMovedBatch batch;
    for (std::size_t k = 0; k < plan.Items.size() && k < outcomes.size(); ++k) {
        const TReplaceOutcome& outcome = outcomes[k];
        const int row = static_cast<int>(plan.Rows[k]);
        if (!IsActedOn(outcome.Result)) {
            if (outcome.Result != EReplaceResult::Cancelled)
                failures << Text("%1: %2").arg(DisplayPath(plan.Items[k].Duplicate.Path),
                                               ReasonText(outcome));
        } else if (action == EReplaceAction::Move) {
            moved.push_back(row);
            batch.Rows.push_back(FModel->Row(row));
            batch.MovedTo.push_back(outcome.NewPath);
        } else {
            NoteReplacedRow(row, action, plan.Items[k].Kept.Path);
        }
    }
    if (!moved.empty()) {
        for (const std::string& path : batch.MovedTo)
            if (FDisplayHooks.ForgetDeletedFile) FDisplayHooks.ForgetDeletedFile(path);
        FModel->RemoveRowSet(moved);
        FMovedBatches.push_front(std::move(batch));
        if (FMovedBatches.size() > kMoveUndoDepth) FMovedBatches.pop_back();
        FUndoIsMove.push_front(true);
        FPreview->ResetGroupMarks();
        if (FListReady) SetStatusText(1, TotalFilesText(FModel->Rows().size()), false);
    }
    if (!failures.isEmpty()) FFilePrompts->ReportFailures(failures);
    if (done) done(!moved.empty());
}

void TfrmMain::NoteReplacedRow(int row, EReplaceAction action, const std::string& kept)
{
    const std::string path = FModel->Row(row).FullPath();
    FModel->SetLinkNote(path, LinkNote(action, kept));
    // A hard link or a clone is a regular file that the row now stands for;
    // a symbolic link is no copy of its own any more.
    struct stat st {};
    if (action != EReplaceAction::SymbolicLink && ::lstat(path.c_str(), &st) == 0) {
        FModel->SetIdentity(row, IdentityOfStat(st));
    } else if (FModel->SetDiskState(row, kDiskChanged)) {
        FPreview->ResetGroupMarks();
    }
}

bool TfrmMain::UndoLastMove()
{
    if (FUndoIsMove.empty() || !FUndoIsMove.front()) return false;
    FUndoIsMove.pop_front();
    if (FMovedBatches.empty()) return true;
    TMovedBatch batch = std::move(FMovedBatches.front());
    FMovedBatches.pop_front();
    std::vector<TFileRecord> back;
    QStringList failures;
    for (std::size_t i = 0; i < batch.Rows.size(); ++i) {
        const std::string original = batch.Rows[i].FullPath();
        const int error = MoveBack(batch.MovedTo[i], original, IdentityOfRow(batch.Rows[i]));
        if (error == 0) {
            back.push_back(std::move(batch.Rows[i]));
        } else {
            failures << Text("%1 cannot go back to %2: %3")
                            .arg(DisplayPath(batch.MovedTo[i]), DisplayPath(original),
                                 error == EEXIST ? Text("a file of that name is there")
                                                 : QString::fromLocal8Bit(std::strerror(error)));
        }
    }
    PutRowsBack(std::move(back));
    if (!failures.isEmpty()) FFilePrompts->ReportFailures(failures);
    return true;
}

} // namespace quorvane
