// hint_demo: shows the balloon hint with the pointer near each screen corner, in the middle
// and for a hint wider than the screen, moving the real pointer so that the application's own
// tooltip timing fires, and saves a screenshot of each as <dir>/hint-<case>.png.
#include "Kelphint.h"
#include "NewHint.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <cstdio>
#include <functional>

using namespace quorvane;

namespace {

struct TShot {
    const char* Name;
    QPoint Pointer; // relative to the screen's corners: negative counts from the right/bottom
    QString Text;
};

QPoint Resolve(QPoint p, const QRect& screen)
{
    return {p.x() < 0 ? screen.right() + 1 + p.x() : p.x(), p.y() < 0 ? screen.bottom() + 1 + p.y() : p.y()};
}

bool WaitFor(const std::function<bool()>& condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/hint-shots");
    QDir().mkpath(dir);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();

    QWidget window;
    window.setAttribute(Qt::WA_AlwaysShowToolTips);
    window.setStyleSheet(QStringLiteral("background: #4a6a8a;"));
    window.setGeometry(screen);
    auto* button = new QPushButton(QStringLiteral("Find Duplicates"), &window);
    button->setGeometry(QRect(QPoint(0, 0), screen.size()));
    window.show();
    TKelpHint* hint = CreateMainWindowKelpHint(&window);

    const QString wide = QStringLiteral("A very long hint. ").repeated(60);
    const TShot shots[] = {
        {"top-left", QPoint(12, 12), QStringLiteral("Find Duplicates: 尋找重複檔案")},
        {"top-right", QPoint(-12, 12), QStringLiteral("Save options & directories")},
        {"bottom-left", QPoint(12, -12), QStringLiteral("List All 列出全部")},
        {"bottom-right", QPoint(-12, -12), QStringLiteral("Include Subdirectories")},
        {"middle", QPoint(screen.width() / 2, screen.height() / 2),
         QStringLiteral("A hint in the middle of the screen")},
        {"too-wide", QPoint(screen.width() / 2, screen.height() / 2), wide},
    };
    int failures = 0;
    for (const TShot& shot : shots) {
        button->setToolTip(shot.Text);
        const QPoint at = Resolve(shot.Pointer, screen);
        // Move away first so the arrival is a real pointer motion; a balloon that rose on the
        // way is put down so the one at the target is laid out for the target.
        QCursor::setPos(at + QPoint(at.x() > screen.center().x() ? -30 : 30, 0));
        WaitFor([] { return false; }, 100);
        hint->HideHint();
        QCursor::setPos(at);
        TNewHint* balloon = hint->HintWindow();
        if (!WaitFor([&] { return balloon->isVisible(); }, 3000)) {
            std::printf("%s: no balloon appeared\n", shot.Name);
            ++failures;
            continue;
        }
        WaitFor([] { return false; }, 300);
        const QString file = QStringLiteral("%1/hint-%2.png").arg(dir, QLatin1String(shot.Name));
        QGuiApplication::primaryScreen()->grabWindow(0).save(file);
        const QRect g = balloon->geometry();
        std::printf("%s: pointer %d,%d direction %d fitted %d window %d,%d %dx%d -> %s\n", shot.Name, at.x(),
                    at.y(), int(balloon->Direction()), int(balloon->Fitted()), g.x(), g.y(), g.width(),
                    g.height(), qPrintable(file));
    }
    return failures == 0 ? 0 : 1;
}
