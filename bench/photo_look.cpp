// A look at photographs in the real main window under Xvfb: lists a folder
// of 12-megapixel photos, holds Down through 30 rows in single-click mode
// (a key every 33 ms, as a held key repeats) with screenshots on the way,
// then opens a 6000x4000 photo in the viewer, fits it and zooms in around
// the mouse. Not a test: the screenshots are for looking.
// usage: quorvane_photo_look FOLDER BIGPHOTO OUTDIR
#include "AdvImage.h"
#include "LookTools.h"
#include "MainForm.h"
#include "ProgressForm.h"
#include "ViewImage.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <cstdio>

using namespace quorvane;

namespace {

void Press(QWidget* widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4) return 2;
    const QString outdir = QString::fromLocal8Bit(argv[3]);
    TfrmMain form;
    TfrmProgress progress;
    form.SetProgressForm(&progress);
    TfrmViewer viewer;
    form.SetViewer(&viewer);
    form.resize(1280, 800);
    form.show();
    look::Wait(500);
    form.findChild<QRadioButton*>("raClick")->click();
    form.findChild<QLineEdit*>("edTime")->setText(QStringLiteral("0"));
    form.findChild<QLineEdit*>("Edit1")->setText(QString::fromLocal8Bit(argv[1]));
    form.findChild<QPushButton*>("btnFindAll")->click();
    look::Wait(1500);
    auto* list = form.findChild<QTreeView*>("lvFiles");
    list->setFocus();
    list->setCurrentIndex(form.FileList()->index(0, 0));
    look::Wait(1500);
    look::Shoot(outdir + "/1-first-row.png", 0);
    for (int row = 1; row <= 30; ++row) {
        Press(list, Qt::Key_Down);
        look::Wait(33);
        if (row % 10 == 0) {
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                outdir + QStringLiteral("/2-held-row%1.png").arg(row));
            std::printf("row %d: preview shows %s, loading %d\n", row,
                        form.PreviewImage()->FileName().section('/', -1).toUtf8().constData(),
                        int(form.PreviewImage()->Loading()));
        }
    }
    look::Shoot(outdir + "/3-released.png", 600);
    viewer.Open(QString::fromLocal8Bit(argv[2]), &form);
    look::Shoot(outdir + "/4-viewer-natural.png", 1500);
    Press(&viewer, Qt::Key_F);
    look::Shoot(outdir + "/5-viewer-fitted.png", 800);
    QCursor::setPos(viewer.mapToGlobal(QPoint(viewer.width() * 3 / 4, viewer.height() / 4)));
    for (int step = 0; step < 3; ++step)
        Press(&viewer, Qt::Key_Plus);
    look::Shoot(outdir + "/6-viewer-zoomed-top-right.png", 800);
    Press(&viewer, Qt::Key_1);
    look::Shoot(outdir + "/7-viewer-natural-again.png", 800);
    return 0;
}
