// A look at the result list's groups in the real window (run under Xvfb with
// openbox; bench/results_look.sh does it), in English and in Chinese: the
// bands, the added columns (Group, Copies, Dimensions) with a hard link and
// a replaced row, the header's menu and the list's menu with the new
// entries. Screenshots go to OUT; the cells of each row are printed.
//
//   quorvane_results_look OUT
#include "LookTools.h"
#include "MainForm.h"
#include "ProgressForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <unistd.h>

using namespace quorvane;
using quorvane::look::Shoot;
using quorvane::look::Wait;

namespace {

void PrintRows(TfrmMain& form)
{
    TFileListModel* model = form.FileList();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        std::printf("  band %d | %s\n", model->index(row, 0).data(TFileListModel::BandRole).toInt(),
                    qPrintable(cells.join(QStringLiteral(" | "))));
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    TfrmMain form;
    TfrmProgress progress;
    form.SetProgressForm(&progress);
    form.setGeometry(0, 0, 1100, 700);
    form.show();
    Wait(800);
    for (const auto& [box, ticked] : {std::pair{"ckName", false},
                                      {"ckSize", true},
                                      {"ckCC", true},
                                      {"ckNoConfirm", true},
                                      {"ckSimilar", false}})
        form.findChild<QCheckBox*>(QString::fromLatin1(box))->setChecked(ticked);

    // Three groups: two pictures and a hard link of one, three copies of a
    // text, two copies of a larger picture.
    QTemporaryDir work;
    QDir(work.path()).mkpath(QStringLiteral("photos/old"));
    QImage small(640, 480, QImage::Format_RGB32);
    small.fill(QColor(40, 120, 200));
    QImage large(1024, 768, QImage::Format_RGB32);
    large.fill(QColor(200, 120, 40));
    small.save(work.filePath(QStringLiteral("photos/beach.bmp")), "BMP");
    small.save(work.filePath(QStringLiteral("photos/old/beach copy.bmp")), "BMP");
    ::link(QFile::encodeName(work.filePath(QStringLiteral("photos/beach.bmp"))).constData(),
           QFile::encodeName(work.filePath(QStringLiteral("photos/old/beach link.bmp"))).constData());
    large.save(work.filePath(QStringLiteral("photos/hill.bmp")), "BMP");
    large.save(work.filePath(QStringLiteral("photos/old/hill.bmp")), "BMP");
    for (const char* name : {"photos/notes.txt", "photos/old/notes.txt", "photos/old/notes (2).txt"}) {
        QFile file(work.filePath(QString::fromLatin1(name)));
        file.open(QIODevice::WriteOnly);
        file.write("the same notes\n");
    }
    auto* dirs = form.findChild<QListWidget*>(QStringLiteral("lstDir"));
    dirs->addItem(work.filePath(QStringLiteral("photos")));
    form.findChild<QPushButton*>(QStringLiteral("btnFindDuplicates"))->click();
    while (form.SearchRunning())
        Wait(50);
    for (int k = 0; k < 3; ++k)
        form.findChild<QAction*>(QStringLiteral("miColumn%1").arg(k))->setChecked(true);
    // The second copy of the hill replaced by a hard link of the first.
    auto* list = form.findChild<QTreeView*>(QStringLiteral("lvFiles"));
    for (int row = 0; row < form.FileList()->rowCount(); ++row) {
        if (form.FileList()->Row(row).FullPath() !=
            QFile::encodeName(work.filePath(QStringLiteral("photos/old/hill.bmp"))).toStdString())
            continue;
        list->selectionModel()->setCurrentIndex(
            form.FileList()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    form.findChild<QAction*>(QStringLiteral("miReplaceHardLink"))->trigger();
    while (form.FileTaskRunning())
        Wait(50);
    Wait(500); // the Dimensions column is read in the background
    for (const char* language : {"rbEnglish", "rbChinese"}) {
        const QString tag = language[2] == 'E' ? QStringLiteral("en") : QStringLiteral("zh");
        form.findChild<QAbstractButton*>(QString::fromLatin1(language))->click();
        Wait(300);
        std::printf("%s:\n", qPrintable(tag));
        PrintRows(form);
        Shoot(QStringLiteral("%1/list-%2.png").arg(out, tag));
        // The added columns stand right of the five: scrolled into view.
        list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
        Shoot(QStringLiteral("%1/list-columns-%2.png").arg(out, tag));
        list->horizontalScrollBar()->setValue(0);
        auto* header = form.findChild<QMenu*>(QStringLiteral("HeaderMenu"));
        header->popup(list->header()->mapToGlobal(QPoint(420, 10)));
        Shoot(QStringLiteral("%1/header-menu-%2.png").arg(out, tag));
        header->hide();
        auto* menu = form.findChild<QMenu*>(QStringLiteral("PopupMenu1"));
        menu->popup(list->viewport()->mapToGlobal(QPoint(120, 40)));
        Shoot(QStringLiteral("%1/list-menu-%2.png").arg(out, tag));
        menu->hide();
    }
    return 0;
}
