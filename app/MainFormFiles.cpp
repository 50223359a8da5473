// TfrmMain: the file commands of the result list — delete, in-place rename,
// open, the two "Open With" entries, PopupMenu1's enabling, double click and
// the Enter and Del keys. Files are always named by the row's own bytes; a
// deletion is read back from the disk, so only rows whose files are gone
// leave the list.
#include "AdvImage.h"
#include "FileCommands.h"
#include "LocalFileOperations.h"
#include "MainForm.h"
#include "OpenWithDialog.h"
#include "OpenWithPrograms.h"
#include "PathRules.h"
#include "WindowRules.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <cerrno>
#include <sys/stat.h>

namespace quorvane {

namespace {

QString OpenWithCaption(const QString& program, bool chinese)
{
    const QString name = program.isEmpty() ? QStringLiteral("...") : ProgramDisplayName(program);
    return chinese ? QStringLiteral("用 ") + name + QStringLiteral(" 開啟")
                   : QStringLiteral("Open With ") + name;
}

} // namespace

void TfrmMain::setupFiles()
{
    FFileBoxes = std::make_unique<TFileOpBoxes>(this);
    FFilePrompts = FFileBoxes.get();
    FLocalFileOps = std::make_unique<TLocalFileOperations>(*FFilePrompts, TTrashPlaces::ForCurrentUser());
    FFileOps = FLocalFileOps.get();
    FDesktopShell = std::make_unique<TDesktopShell>();
    FShell = FDesktopShell.get();
    // The two programs are option values like the controls' states; they
    // are edited through the dialog, so their fields stay hidden.
    ViewerProgramText = new QLineEdit(tbsMore);
    ViewerProgramText->setObjectName(QStringLiteral("ViewerProgram"));
    EditorProgramText = new QLineEdit(tbsMore);
    EditorProgramText->setObjectName(QStringLiteral("EditorProgram"));
    ViewerProgramText->hide();
    EditorProgramText->hide();
    btnOpenWith = new QPushButton(tbsMore);
    btnOpenWith->setObjectName(QStringLiteral("btnOpenWith"));

    connect(lvFiles, &QAbstractItemView::doubleClicked, this, &TfrmMain::lvFilesDblClick);
    connect(miOpen, &QAction::triggered, this, &TfrmMain::miOpenClick);
    connect(miAcdsee, &QAction::triggered, this, &TfrmMain::miAcdseeClick);
    connect(miUltraEdit, &QAction::triggered, this, &TfrmMain::miUltraEditClick);
    connect(miDelete, &QAction::triggered, this, &TfrmMain::miDeleteClick);
    connect(btnOpenWith, &QPushButton::clicked, this, &TfrmMain::btnOpenWithClick);
    setupDisplayHooks();
}

// The file commands reach the preview, the slides and the viewer through
// these hooks; tests replace them to record what a command asked for.
void TfrmMain::setupDisplayHooks()
{
    FDisplayHooks.RequestPreview = [this] { RequestPreview(); };
    FDisplayHooks.RequestSlides = [this] { RequestSlides(); };
    FDisplayHooks.OpenViewer = [this](const std::string& path) { OpenViewer(path); };
    FDisplayHooks.ForgetDeletedFile = [this](const std::string& path) {
        for (int k = 1; k <= 5; ++k) {
            TAdvImage* slide = SlideImage(k);
            if (slide->NativeFileName() != path) continue;
            slide->hide();
            slide->LoadImage(QString());
        }
    };
}

void TfrmMain::SetFileOperations(IFileOperations* operations)
{
    FFileOps = operations ? operations : FLocalFileOps.get();
}

void TfrmMain::SetFilePrompts(IFileOpPrompts* prompts)
{
    FFilePrompts = prompts ? prompts : FFileBoxes.get();
    FLocalFileOps->SetPrompts(*FFilePrompts);
}

void TfrmMain::SetShell(IShellOpen* shell)
{
    FShell = shell ? shell : FDesktopShell.get();
}

unsigned TfrmMain::DeleteRequestFlags() const
{
    return DeleteFlags(ckNoConfirm->isChecked(), ckNoRecycle->isChecked());
}

std::vector<int> TfrmMain::SelectedRowIndices() const
{
    // Read from the selection's ranges: selectedRows() tests every row
    // against every range, which takes minutes for a scattered selection of
    // many thousand rows.
    std::vector<int> rows;
    const QItemSelection selection = lvFiles->selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        if (range.parent().isValid()) continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool TfrmMain::RenameListedFile(const std::string& oldPath, const std::string& newPath)
{
    try {
        return FFileOps->RenameFile(oldPath, newPath, kFofAllowUndo);
    } catch (const std::exception&) {
        return false;
    }
}

void TfrmMain::lvFilesEdited(int row, const QString& newName)
{
    RunGuarded([this, row, &newName] {
        // An editor left open when a file task started commits nothing.
        if (row < 0 || row >= FModel->rowCount() || !FileCommandsAllowed()) return;
        const QString refusal = RenameRefusal(newName);
        if (!refusal.isEmpty()) {
            FMessages->ShowError(refusal);
            return;
        }
        // An unchanged text renames nothing: a name that is not UTF-8 would
        // not survive the trip through the editor's text.
        if (newName == FModel->data(FModel->index(row, TFileListModel::ColName), Qt::EditRole).toString())
            return;
        const TFileRecord& record = FModel->Row(row);
        const std::string oldPath = record.FullPath();
        std::string newBytes = QFile::encodeName(newName).toStdString();
        int error = 0;
        if (CheckIdentity(oldPath, IdentityOfRow(record), error) != EIdentity::Same) {
            const QString line = rbChinese->isChecked()
                                     ? QStringLiteral("%1: 列出之後已被更改, 沒有改名.")
                                     : QStringLiteral("%1: changed since it was listed; it was not renamed.");
            FFilePrompts->ReportFailures(
                QStringList{line.arg(QFile::decodeName(QByteArray::fromStdString(oldPath)))});
            return;
        }
        if (!RenameListedFile(oldPath, JoinPath(record.DirectoryText(), newBytes))) return;
        FModel->SetName(row, std::move(newBytes));
    });
}

void TfrmMain::OpenFocusedFile()
{
    const int row = FocusedRow();
    if (row >= 0) ShellOpen(FModel->Row(row).FullPath(), {});
}

void TfrmMain::ShellOpen(const std::string& file, const std::string& parameters)
{
    if (file.empty() || FShell->ShellOpen(file, parameters)) return;
    // Nothing could be started: said, not passed over.
    const QString shown = QFile::decodeName(QByteArray::fromStdString(parameters.empty() ? file : parameters));
    const QString text =
        parameters.empty()
            ? QCoreApplication::translate("frmMain", "No program could be started to open \"%1\".", "open")
                  .arg(shown)
            : QCoreApplication::translate("frmMain", "\"%1\" could not be started to open \"%2\".", "open")
                  .arg(QFile::decodeName(QByteArray::fromStdString(file)), shown);
    FMessages->ShowError(ElideLongLines(text));
}

void TfrmMain::miOpenClick()
{
    RunGuarded([this] { OpenFocusedFile(); });
}

void TfrmMain::miAcdseeClick()
{
    const int row = FocusedRow();
    const QString program = ViewerProgram();
    if (row < 0 || program.isEmpty() || !IsExternalViewerFile(FModel->Row(row).Name)) return;
    RunGuarded([&] { ShellOpen(QFile::encodeName(program).toStdString(), FModel->Row(row).FullPath()); });
}

void TfrmMain::miUltraEditClick()
{
    const int row = FocusedRow();
    const QString program = EditorProgram();
    if (row < 0 || program.isEmpty()) return;
    RunGuarded([&] { ShellOpen(QFile::encodeName(program).toStdString(), FModel->Row(row).FullPath()); });
}

void TfrmMain::miDeleteClick()
{
    RunGuarded([this] { DeleteSelectedFiles(); });
}

QString TfrmMain::ViewerProgram() const
{
    const QString chosen = ViewerProgramText->text().trimmed();
    if (!chosen.isEmpty()) return chosen;
    if (!FDefaultViewer) FDefaultViewer = DefaultViewerProgram();
    return *FDefaultViewer;
}

QString TfrmMain::EditorProgram() const
{
    const QString chosen = EditorProgramText->text().trimmed();
    if (!chosen.isEmpty()) return chosen;
    if (!FDefaultEditor) FDefaultEditor = DefaultEditorProgram();
    return *FDefaultEditor;
}

void TfrmMain::SetDefaultPrograms(const QString& viewer, const QString& editor)
{
    FDefaultViewer = viewer;
    FDefaultEditor = editor;
}

void TfrmMain::PopupMenu1Popup()
{
    const bool focused = FocusedRow() >= 0;
    const auto selected = SelectedRowIndices().size();
    for (QAction* item : {miNextGroup, miPriorGroup, miOpen, miViewFull})
        item->setEnabled(focused);
    miPreview->setEnabled(selected == 1 && ckPreview->isChecked());
    const bool chinese = rbChinese->isChecked();
    const QString viewer = ViewerProgram();
    const QString editor = EditorProgram();
    miAcdsee->setText(OpenWithCaption(viewer, chinese));
    miUltraEdit->setText(OpenWithCaption(editor, chinese));
    // The viewer's extension test waits until the entry is chosen.
    miAcdsee->setEnabled(focused && !viewer.isEmpty());
    miUltraEdit->setEnabled(focused && !editor.isEmpty());
    const bool allowed = FileCommandsAllowed();
    miDelete->setEnabled(selected > 0 && allowed);
    miSelectDuplicates->setEnabled(allowed);
    miUndoDelete->setEnabled(allowed && FGuardedOps->CanUndo());
    miCheckDisk->setEnabled(allowed && FModel->rowCount() > 0);
    EnableRowCommands();
}

void TfrmMain::lvFilesDblClick()
{
    const int row = FocusedRow();
    const bool picture = row >= 0 && IsPictureFile(FModel->Row(row).Name);
    const TDoubleClickPlan plan = DoubleClickPlan(row >= 0, picture, raDblClick->isChecked(),
                                                  ckPreview->isChecked(), ckShowSlides->isChecked());
    RunGuarded([&] {
        if (plan.OpenFile) OpenFocusedFile();
        if (plan.Preview && FDisplayHooks.RequestPreview) FDisplayHooks.RequestPreview();
        if (plan.Viewer && FDisplayHooks.OpenViewer) FDisplayHooks.OpenViewer(FModel->Row(row).FullPath());
        if (plan.FillSlides && FDisplayHooks.RequestSlides) FDisplayHooks.RequestSlides();
    });
}

bool TfrmMain::HandleFileKey(QKeyEvent* event)
{
    // A name being edited in place keeps its keys.
    const QWidget* focus = QApplication::focusWidget();
    if (focus && focus != lvFiles && lvFiles->isAncestorOf(focus)) return false;
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        lvFilesDblClick();
        return true;
    case Qt::Key_Delete:
        RunGuarded([this] { DeleteSelectedFiles(); });
        return true;
    default:
        return false;
    }
}

void TfrmMain::SetFileCommandsLanguage(bool chinese)
{
    FLocalFileOps->SetLanguage(chinese ? EFileOpLanguage::Chinese : EFileOpLanguage::English);
}

void TfrmMain::btnOpenWithClick()
{
    TOpenWithDialog dialog(this);
    if (!FDefaultViewer) FDefaultViewer = DefaultViewerProgram();
    if (!FDefaultEditor) FDefaultEditor = DefaultEditorProgram();
    dialog.SetPrograms(ViewerProgramText->text(), EditorProgramText->text(), *FDefaultViewer,
                       *FDefaultEditor);
    if (dialog.exec() != QDialog::Accepted) return;
    ViewerProgramText->setText(dialog.ViewerProgram());
    EditorProgramText->setText(dialog.EditorProgram());
}

} // namespace quorvane
