// TfrmMain: the result list lvFiles — columns, clearing, sorting, group
// navigation, selection, the total after a removal and the context menu.
// The rules themselves are the search core's plain functions (ResultRows.h).
#include "ListSort.h"
#include "MainForm.h"
#include "ResultRows.h"
#include "WindowRules.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace quorvane {

void TfrmMain::setupResultList()
{
    FModel = new TFileListModel(this);
    FModel->setObjectName(QStringLiteral("lvFilesModel"));
    lvFiles->setModel(FModel);
    lvFiles->setIconSize(QSize(16, 16));
    QHeaderView* header = lvFiles->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    const int widths[TFileListModel::ColCount] = {150, 150, 75, 50, 110};
    for (int column = 0; column < TFileListModel::ColCount; ++column)
        header->resizeSection(column, widths[column]);
    // The selection stays visible (in the same colours) without the focus.
    QPalette pal = lvFiles->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    lvFiles->setPalette(pal);
    lvFiles->installEventFilter(this);
}

void TfrmMain::ClearFileList()
{
    SetStatusText(1, QString::fromLatin1(kClearingFileListText), true);
    {
        const bool wasEnabled = lvFiles->updatesEnabled();
        lvFiles->setUpdatesEnabled(false);
        FModel->Clear();
        lvFiles->setUpdatesEnabled(wasEnabled);
    }
    SetStatusText(1, QString(), false);
}

int TfrmMain::lvFilesCompare(const TFileRecord& x, const TFileRecord& y) const
{
    return quorvane::lvFilesCompare(x, y, FSortMode);
}

void TfrmMain::SetSortMode(int mode)
{
    FSortMode = mode;
    FModel->Reorder(FastSortedOrder(FModel->Rows(), FSortMode));
}

void TfrmMain::lvFilesColumnClick(int column)
{
    // A check of files reads the rows in their order meanwhile.
    if (FileTaskRunning()) return;
    RunGuarded([this, column] { SetSortMode(SortModeAfterColumnClick(FSortMode, column)); });
}

int TfrmMain::FocusedRow() const
{
    const QModelIndex current = lvFiles->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TfrmMain::FocusAndSelect(int row)
{
    const QModelIndex target = FModel->index(row, 0);
    lvFiles->selectionModel()->setCurrentIndex(target,
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    lvFiles->scrollTo(target, QAbstractItemView::EnsureVisible);
}

void TfrmMain::GotoNextGroup()
{
    const std::ptrdiff_t target = NextGroupTarget(FModel->Rows(), FocusedRow(), Criteria());
    if (target < 0) return;
    DeselectAll();
    FocusAndSelect(static_cast<int>(target));
}

void TfrmMain::GotoPriorGroup()
{
    const std::ptrdiff_t target = PriorGroupTarget(FModel->Rows(), FocusedRow(), Criteria());
    if (target < 0) return;
    DeselectAll();
    FocusAndSelect(static_cast<int>(target));
}

void TfrmMain::DeselectAll()
{
    // Clears the selection only: the focused row keeps the focus.
    lvFiles->selectionModel()->clearSelection();
}

void TfrmMain::lvFilesDeletion(const QModelIndex& parent, int first, int last)
{
    if (parent.isValid() || !FListReady) return;
    // The rows are still counted when the notification comes.
    const std::size_t removed = static_cast<std::size_t>(last) - static_cast<std::size_t>(first) + 1;
    SetStatusText(1, TotalFilesText(FModel->Rows().size() - removed), false);
}

void TfrmMain::lvFilesContextMenu(const QPoint& position)
{
    PopupMenu1->popup(lvFiles->viewport()->mapToGlobal(position));
}

bool TfrmMain::HandleListKey(QKeyEvent* event)
{
    if (HandleFileKey(event)) return true;
    if (!(event->modifiers() & Qt::ControlModifier)) return false;
    if (event->key() == Qt::Key_Up) {
        RunGuarded([this] { GotoPriorGroup(); });
        return true;
    }
    if (event->key() == Qt::Key_Down) {
        RunGuarded([this] { GotoNextGroup(); });
        return true;
    }
    return false;
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lvFiles && event->type() == QEvent::KeyPress)
        return HandleListKey(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label4)
            RunGuarded([this] { Label4Click(); });
        else if (watched == Image1)
            RunGuarded([this] { Image1Click(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace quorvane
