// A look at the preview pane and the slides strip: runs a duplicate search
// over a folder in the real main window, moves the focus with the keys in
// both click modes and saves screenshots of the screen. For running under
// Xvfb; not a test (screenshots are for looking).
// usage: quorvane_preview_look FOLDER OUTDIR
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

void Wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

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

void Shot(const QString& path)
{
    QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s\n", qPrintable(path));
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
    Wait(500);
    form.findChild<QLineEdit*>("Edit1")->setText(QString::fromLocal8Bit(argv[1]));
    form.findChild<QPushButton*>("btnFindDuplicates")->click();
    Wait(300);
    auto* list = form.findChild<QTreeView*>("lvFiles");
    list->setFocus();
    // Double-click mode: moving marks the group; Enter's activation shows.
    Press(list, Qt::Key_Down, 3);
    Wait(300);
    Shot(outdir + "/1-double-click-moved.png");
    form.RequestPreview();
    form.RequestSlides();
    Wait(300);
    Shot(outdir + "/2-double-click-activated.png");
    // Single-click mode: quick moves, then rest for the delay.
    form.findChild<QRadioButton*>("raClick")->click();
    Press(list, Qt::Key_Down, 8);
    Shot(outdir + "/3-single-click-moving.png");
    Wait(600);
    Shot(outdir + "/4-single-click-rested.png");
    Press(list, Qt::Key_Down, 20);
    Wait(600);
    Shot(outdir + "/5-single-click-further.png");
    return 0;
}
