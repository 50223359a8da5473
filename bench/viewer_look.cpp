// A look at the viewer on a real X server (run under Xvfb by
// viewer_look.sh): the main window with a list of pictures, the viewer
// opened on a large one, panned by keys and by a drag, paged, a file deleted
// through a fake service that removes it, and closed. Saves a screenshot of
// the screen after each step into OUTDIR and prints what the viewer holds.
// usage: quorvane_viewer_look PICTURES_DIR OUTDIR
#include "AdvImage.h"
#include "MainForm.h"
#include "ViewImage.h"
#include "ViewerFakes.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <QTreeView>
#include <cstdio>

using namespace quorvane;

namespace {

void Shot(TfrmViewer& viewer, const QDir& out, const char* name)
{
    QTest::qWait(300);
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    screen.save(out.filePath(QString::fromLatin1(name) + ".png"));
    TAdvImage* image = viewer.Picture();
    std::printf("%-12s viewer %s, shows %s at (%d, %d) size %dx%d\n", name,
                viewer.isVisible() ? "up" : "hidden", qPrintable(QFileInfo(image->FileName()).fileName()),
                image->x(), image->y(), image->width(), image->height());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const QDir pictures(QString::fromLocal8Bit(argv[1]));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    TfrmMain form;
    TfrmViewer viewer;
    test::TRecordingFileOperations operations;
    form.SetViewer(&viewer);
    form.SetFileOperations(&operations);
    form.showMaximized();
    if (!QTest::qWaitForWindowExposed(&form)) return 1;
    std::vector<TFileRecord> rows;
    for (const char* name : {"big.jpg", "notes.txt", "second.jpg", "third.jpg", "small.gif"})
        rows.push_back(test::ViewerRow(pictures.path(), QString::fromLatin1(name)));
    form.FileList()->SetRows(std::move(rows));
    auto* list = form.findChild<QTreeView*>(QStringLiteral("lvFiles"));
    list->setCurrentIndex(form.FileList()->index(0, 0));
    Shot(viewer, out, "1-main");

    form.OpenViewer(QFile::encodeName(pictures.filePath(QStringLiteral("big.jpg"))).toStdString());
    Shot(viewer, out, "2-opened");
    QTest::keyClick(&viewer, Qt::Key_Right);
    QTest::keyClick(&viewer, Qt::Key_Right);
    QTest::keyClick(&viewer, Qt::Key_Down);
    Shot(viewer, out, "3-keys");
    TAdvImage* image = viewer.Picture();
    const QPoint from = image->mapFrom(&viewer, QPoint(800, 500));
    QTest::mousePress(image, Qt::LeftButton, {}, from);
    QTest::mouseMove(image, from + QPoint(-300, -150));
    QTest::mouseRelease(image, Qt::LeftButton, {}, image->mapFrom(&viewer, QPoint(500, 350)));
    Shot(viewer, out, "4-dragged");
    QTest::keyClick(&viewer, Qt::Key_PageDown);
    Shot(viewer, out, "5-next");
    QTest::keyClick(&viewer, Qt::Key_End);
    Shot(viewer, out, "6-last");
    QTest::keyClick(&viewer, Qt::Key_Delete);
    Shot(viewer, out, "7-deleted");
    QTest::keyClick(&viewer, Qt::Key_Escape);
    Shot(viewer, out, "8-closed");
    std::printf("rows left %d, files deleted %zu, focused row %d\n", form.FileList()->rowCount(),
                operations.Requests.size(), form.FocusedRow());
    // With a second screen: the viewer covers the screen of the main window.
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() > 1) {
        form.move(screens[1]->geometry().topLeft() + QPoint(20, 20));
        QTest::qWait(300);
        form.OpenViewer(QFile::encodeName(pictures.filePath(QStringLiteral("second.jpg"))).toStdString());
        const QRect covered = viewer.geometry();
        const QRect wanted = form.screen()->geometry();
        std::printf("main window on screen %s %d,%d %dx%d; viewer covers %d,%d %dx%d\n",
                    qPrintable(form.screen()->name()), wanted.x(), wanted.y(), wanted.width(),
                    wanted.height(), covered.x(), covered.y(), covered.width(), covered.height());
        Shot(viewer, out, "9-second-screen");
    }
    return 0;
}
