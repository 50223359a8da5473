// A look at the window order under a window manager (run under Xvfb with
// openbox; bench/delete_look.sh does it): a search over TREE with a real
// mouse click into the main window while it runs, then the viewer's Delete
// with its question. Screenshots go to OUT; the active window after each
// step is printed.
//
//   quorvane_delete_look TREE OUT
#include "LookTools.h"
#include "MainForm.h"
#include "ProgressForm.h"
#include "ViewImage.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

using namespace quorvane;
using quorvane::look::Shoot;
using quorvane::look::Wait;

namespace {

void Xdotool(const QStringList& arguments)
{
    QProcess::execute(QStringLiteral("xdotool"), arguments);
}

QString ActiveName()
{
    QWidget* active = QApplication::activeWindow();
    return active ? active->objectName() + QLatin1Char(' ') + active->windowTitle() : QStringLiteral("(none)");
}

void Tick(TfrmMain& form, const char* box, bool ticked)
{
    form.findChild<QCheckBox*>(QString::fromLatin1(box))->setChecked(ticked);
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const QString tree = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    TfrmMain form;
    TfrmProgress progress;
    TfrmViewer viewer;
    progress.setObjectName(QStringLiteral("frmProgress"));
    viewer.setObjectName(QStringLiteral("frmViewer"));
    form.SetProgressForm(&progress);
    form.SetViewer(&viewer);
    form.setGeometry(0, 0, 1000, 700);
    form.show();
    Wait(800);

    auto* dirs = form.findChild<QListWidget*>(QStringLiteral("lstDir"));
    dirs->addItem(tree);
    Tick(form, "ckSize", true);
    Tick(form, "ckCC", true);
    form.findChild<QPushButton*>(QStringLiteral("btnFindDuplicates"))->click();
    Wait(1500);
    std::printf("search running: %d, progress shown: %d, active: %s\n", form.SearchRunning(), progress.isVisible(),
                qPrintable(ActiveName()));
    // A click into the list of the main window, as a user would.
    Xdotool({"mousemove", "300", "400", "click", "1"});
    Wait(500);
    std::printf("after a click in the main window: progress shown: %d, active: %s\n", progress.isVisible(),
                qPrintable(ActiveName()));
    Shoot(out + QStringLiteral("/search-after-click.png"));
    Xdotool({"key", "Escape"});
    Wait(800);
    std::printf("after Esc: search running: %d\n", form.SearchRunning());
    while (form.SearchRunning())
        Wait(100);

    // Two copies of one picture; the viewer deletes one with the questions on.
    QTemporaryDir pictures;
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(QColor(40, 120, 200));
    picture.save(pictures.filePath(QStringLiteral("first.bmp")), "BMP");
    picture.save(pictures.filePath(QStringLiteral("second.bmp")), "BMP");
    dirs->clear();
    dirs->addItem(pictures.path());
    Tick(form, "ckNoConfirm", false);
    form.findChild<QPushButton*>(QStringLiteral("btnFindDuplicates"))->click();
    while (form.SearchRunning())
        Wait(50);
    auto* list = form.findChild<QTreeView*>(QStringLiteral("lvFiles"));
    list->setCurrentIndex(form.FileList()->index(0, 0));
    form.OpenViewer(form.FileList()->Row(0).FullPath());
    Wait(800);
    std::printf("viewer open: active: %s\n", qPrintable(ActiveName()));
    // The question is modal: it is looked at and answered from a timer that
    // runs inside its event loop.
    QTimer::singleShot(1500, [&] {
        std::printf("question up: active: %s\n", qPrintable(ActiveName()));
        Shoot(out + QStringLiteral("/viewer-question.png"));
        Xdotool({"key", "Return"}); // the default answer
    });
    Xdotool({"key", "Delete"});
    Wait(3000);
    Wait(1000);
    std::printf("after the answer: active: %s, viewer visible: %d, rows %d\n", qPrintable(ActiveName()),
                viewer.isVisible(), form.FileList()->rowCount());
    Shoot(out + QStringLiteral("/viewer-after.png"));
    return 0;
}
