// TfrmMain: "Select Duplicates" (Ctrl+D in the list), "Invert Selection" and
// the "Keep in each group:" list. The choice of rows is KeepRules' over the
// rows; these handlers only apply it. Invariant: panel 1 shows the selection
// summary only until the list changes, then its text from before.
#include "CaptureCache.h"
#include "KeepRules.h"
#include "MainForm.h"
#include "PicturePixels.h"
#include "ProtectedFolders.h"
#include "SelectionSummary.h"
#include "SelectionTexts.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QSignalBlocker>

namespace quorvane {

void TfrmMain::setupSelection()
{
    // After "Prior Group", before the separator.
    const QList<QAction*> items = PopupMenu1->actions();
    const qsizetype prior = items.indexOf(miPriorGroup);
    QAction* before = prior >= 0 && prior + 1 < items.size() ? items[prior + 1] : nullptr;
    auto addItem = [this, before](const char* name) {
        auto* action = new QAction(PopupMenu1);
        action->setObjectName(QString::fromLatin1(name));
        PopupMenu1->insertAction(before, action);
        return action;
    };
    miSelectDuplicates = addItem("miSelectDuplicates");
    miInvertSelection = addItem("miInvertSelection");
    lbKeepRule = new QLabel(tbsMore);
    lbKeepRule->setObjectName(QStringLiteral("lbKeepRule"));
    cbKeepRule = new QComboBox(tbsMore);
    cbKeepRule->setObjectName(QStringLiteral("cbKeepRule"));
    for (std::size_t k = 0; k < kKeepRuleSources.size(); ++k)
        cbKeepRule->addItem(QString());
    ApplySelectionTexts();
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_D), lvFiles);
    shortcut->setContext(Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, this, &TfrmMain::miSelectDuplicatesClick);
    connect(miSelectDuplicates, &QAction::triggered, this, &TfrmMain::miSelectDuplicatesClick);
    connect(miInvertSelection, &QAction::triggered, this, &TfrmMain::miInvertSelectionClick);
    const auto forget = [this] { ForgetSelectionSummary(); };
    connect(FModel, &QAbstractItemModel::modelReset, this, forget);
    connect(FModel, &QAbstractItemModel::layoutChanged, this, forget);
    connect(FModel, &QAbstractItemModel::rowsRemoved, this, forget);
    connect(FModel, &QAbstractItemModel::rowsInserted, this, forget);
    // A summary speaks of one selection: any change of it ends the summary
    // (Select Duplicates changes it with the signals held back).
    connect(lvFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this, forget);
}

void TfrmMain::ApplySelectionTexts()
{
    for (std::size_t k = 0; k < kKeepRuleSources.size(); ++k)
        cbKeepRule->setItemText(static_cast<int>(k), KeepRuleCaption(k));
    // A summary on show is said again in the new language.
    if (FSelectionSummaryShown && StatusText(1) == FSelectionSummary)
        ShowSelectionSummary(FSelectionCounts.first, FSelectionCounts.second);
}

void TfrmMain::miSelectDuplicatesClick()
{
    if (!FileCommandsAllowed()) return;
    TKeepFacts facts;
    facts.Pixels = [](const TFileRecord& row) { return PicturePixels(row.FullPath()); };
    // Like the pixel counts, the dates come from the files' heads, read
    // only for the rule that asks and only for rows of groups.
    const TKeepRule rule = KeepRuleFromNumber(cbKeepRule->currentIndex());
    if (rule == TKeepRule::OldestCapture) FCaptureCache->LoadOnce(DefaultCaptureCachePath());
    facts.CaptureTime = [this](const TFileRecord& row) {
        return FCaptureCache->Info(row.FullPath()).CaptureNs;
    };
    const TProtectedFolders folders = ProtectedFolders();
    if (!folders.Empty())
        facts.IsProtected = [&folders](const TFileRecord& row) { return folders.CoversRow(row); };
    const std::vector<std::size_t> rows = DuplicateRows(FModel->Rows(), Criteria(), rule, facts);
    if (rule == TKeepRule::OldestCapture) FCaptureCache->Save(DefaultCaptureCachePath());
    QItemSelection selection;
    std::uint64_t bytes = 0;
    for (std::size_t k = 0; k < rows.size();) {
        // Runs of neighbouring rows make one selection range each.
        std::size_t end = k + 1;
        while (end < rows.size() && rows[end] == rows[end - 1] + 1)
            ++end;
        selection.select(FModel->index(int(rows[k]), 0),
                         FModel->index(int(rows[end - 1]), TFileListModel::ColCount - 1));
        for (std::size_t i = k; i < end; ++i)
            bytes += FModel->Row(int(rows[i])).Size;
        k = end;
    }
    // Whole-row ranges given as they are: letting the model widen many
    // thousand ranges to rows costs far more than building them whole.
    // The view answers selectionChanged by adding up one painted region per
    // range, which grows with the square of the ranges: the signal is held
    // back and the list repainted whole instead.
    QItemSelectionModel* model = lvFiles->selectionModel();
    {
        const QSignalBlocker quiet(model);
        model->clearSelection();
        model->select(selection, QItemSelectionModel::Select);
    }
    lvFiles->viewport()->update();
    lvFilesChange();
    if (!rows.empty()) {
        // The focus moves to the first selected row, keeping the selection.
        const QModelIndex first = FModel->index(int(rows.front()), 0);
        lvFiles->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        lvFiles->scrollTo(first, QAbstractItemView::EnsureVisible);
    }
    ShowSelectionSummary(rows.size(), bytes);
}

void TfrmMain::miInvertSelectionClick()
{
    if (FModel->rowCount() == 0) return;
    const QItemSelection all(FModel->index(0, 0), FModel->index(FModel->rowCount() - 1, 0));
    {
        // As in Select Duplicates: no region per range, one repaint.
        const QSignalBlocker quiet(lvFiles->selectionModel());
        lvFiles->selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    }
    lvFiles->viewport()->update();
    ForgetSelectionSummary();
    lvFilesChange();
}

void TfrmMain::ShowSelectionSummary(std::size_t files, std::uint64_t bytes)
{
    const QString text = SelectionSummaryText(files, bytes);
    if (!FSelectionSummaryShown) FPanel1BeforeSelection = StatusText(1);
    FSelectionSummaryShown = true;
    FSelectionSummary = text;
    FSelectionCounts = {files, bytes};
    SetStatusText(1, text, false);
}

void TfrmMain::ForgetSelectionSummary()
{
    if (!FSelectionSummaryShown) return;
    FSelectionSummaryShown = false;
    // A handler that already wrote its own text (a deletion's count) keeps it.
    if (StatusText(1) == FSelectionSummary) SetStatusText(1, FPanel1BeforeSelection, false);
}

} // namespace quorvane
