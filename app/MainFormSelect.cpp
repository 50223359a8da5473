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
#include <optional>
#include <stop_token>

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

namespace {

// What a keep rule weighs that only the files themselves can tell: the
// pixel count or the capture date of each row the rule will judge, indexed
// by row, each file's head read once.
struct TReadFacts {
    std::vector<std::uint64_t> Pixels;
    std::vector<std::optional<std::int64_t>> CaptureTimes;
};

TReadFacts ReadFacts(const std::vector<TFileRecord>& rows, const TSearchCriteria& criteria, TKeepRule rule,
                     TCaptureCache& captures, const std::stop_token& stop,
                     const std::function<void(int)>& progress)
{
    TReadFacts facts;
    const bool pixels = rule == TKeepRule::LargestPicture;
    if (pixels)
        facts.Pixels.assign(rows.size(), 0);
    else
        facts.CaptureTimes.assign(rows.size(), std::nullopt);
    const std::vector<std::size_t> judged = RowsJudged(rows, criteria);
    for (std::size_t k = 0; k < judged.size() && !stop.stop_requested(); ++k) {
        const std::size_t row = judged[k];
        if (pixels)
            facts.Pixels[row] = PicturePixels(rows[row].FullPath());
        else
            facts.CaptureTimes[row] = captures.Info(rows[row].FullPath()).CaptureNs;
        progress(static_cast<int>((k + 1) * 100 / judged.size()));
    }
    return facts;
}

} // namespace

void TfrmMain::miSelectDuplicatesClick()
{
    if (!FileCommandsAllowed()) return;
    const TKeepRule rule = KeepRuleFromNumber(cbKeepRule->currentIndex());
    const TSearchCriteria criteria = Criteria();
    auto folders = std::make_shared<const TProtectedFolders>(ProtectedFolders());
    TKeepFacts facts;
    if (!folders->Empty())
        facts.IsProtected = [folders](const TFileRecord& row) { return folders->CoversRow(row); };
    if (rule != TKeepRule::LargestPicture && rule != TKeepRule::OldestCapture) {
        SelectDuplicateRows(DuplicateRows(FModel->Rows(), criteria, rule, facts));
        return;
    }
    // Pixel counts and capture dates come from the files' heads, one read
    // per row of a group: on the file task's thread, so that a long list
    // keeps the window painting and the progress window's Cancel heard.
    // The rows stay as they are meanwhile (file commands and sorting wait).
    const std::vector<TFileRecord>* listed = &FModel->Rows();
    auto chosen = std::make_shared<std::vector<std::size_t>>();
    RunFileTask(
        [listed, criteria, rule, facts, cache = FCaptureCache,
         chosen](std::stop_token stop, const std::function<void(int)>& progress) mutable {
            if (rule == TKeepRule::OldestCapture) cache->LoadOnce(DefaultCaptureCachePath());
            const TReadFacts read = ReadFacts(*listed, criteria, rule, *cache, stop, progress);
            if (rule == TKeepRule::OldestCapture) cache->Save(DefaultCaptureCachePath());
            if (stop.stop_requested()) return;
            // The rule is handed rows of the list it judges: a row's place
            // in it finds what was read for it.
            const auto at = [listed](const TFileRecord& row) { return std::size_t(&row - listed->data()); };
            facts.Pixels = [&](const TFileRecord& row) { return read.Pixels[at(row)]; };
            facts.CaptureTime = [&](const TFileRecord& row) { return read.CaptureTimes[at(row)]; };
            *chosen = DuplicateRows(*listed, criteria, rule, facts);
        },
        [this, chosen](bool cancelled) {
            if (!cancelled) SelectDuplicateRows(*chosen);
        });
}

void TfrmMain::SelectDuplicateRows(const std::vector<std::size_t>& rows)
{
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
