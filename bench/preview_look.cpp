// A look at the preview pane and the slides strip: runs a duplicate search
// over a folder in the real main window, moves the focus with the keys in
// both click modes and saves screenshots of the screen. For running under
// Xvfb; not a test (screenshots are for looking).
// usage: quorvane_preview_look FOLDER OUTDIR
#include "LookTools.h"
#include "MainForm.h"
#include "ProgressForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeView>
#include <cstdio>

using namespace quorvane;

namespace {

void Press(QWidget* widget, int key, int times = 1)
{
    for (int i = 0; i < times; ++i) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &press);
        QCoreApplication::sendEvent(widget, &release);
        QCoreApplication::processEvents();
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const QString outdir = QString::fromLocal8Bit(argv[2]);
    TfrmMain form;
    TfrmProgress progress;
    form.SetProgressForm(&progress);
    form.resize(1024, 700);
    form.show();
    look::Wait(500);
    form.findChild<QLineEdit*>("Edit1")->setText(QString::fromLocal8Bit(argv[1]));
    form.findChild<QPushButton*>("btnFindDuplicates")->click();
    look::Wait(300);
    auto* list = form.findChild<QTreeView*>("lvFiles");
    list->setFocus();
    // Double-click mode: moving marks the group; Enter's activation shows.
    Press(list, Qt::Key_Down, 3);
    look::Wait(300);
    look::Shoot(outdir + "/1-double-click-moved.png", 0);
    form.RequestPreview();
    form.RequestSlides();
    look::Wait(300);
    look::Shoot(outdir + "/2-double-click-activated.png", 0);
    // Single-click mode: quick moves, then rest for the delay.
    form.findChild<QRadioButton*>("raClick")->click();
    Press(list, Qt::Key_Down, 8);
    look::Shoot(outdir + "/3-single-click-moving.png", 0);
    look::Wait(600);
    look::Shoot(outdir + "/4-single-click-rested.png", 0);
    Press(list, Qt::Key_Down, 20);
    look::Wait(600);
    look::Shoot(outdir + "/5-single-click-further.png", 0);
    return 0;
}
