// Speed of the full-size viewer on a real window: a large picture from the
// call that opens it to the end of its first paint, paging with PageDown,
// and one pan step by key and by drag. Prints medians in milliseconds.
// usage: quorvane_bench_viewer DIR  (DIR as made by viewer_bench.sh)
#include "AdvImage.h"
#include "BenchViewerHost.h"
#include "FileOperations.h"
#include "ViewImage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace quorvane;

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Waits for the picture asked for (decoded on the loader's threads), then
// paints. The wait sleeps until the loader's answer comes; a time limit
// would make processEvents spin and count its spinning as this thread's CPU.
void Settle(TfrmViewer& viewer)
{
    while (viewer.Picture()->Loading())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    viewer.repaint();
    QCoreApplication::processEvents();
}

// CPU time of this thread: on a machine shared with other work the wall
// time grows with the load, this much less.
double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::vector<double> gCpu; // the CPU time of each timed piece of work, in order

double TimeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    const double cpu = ThreadCpuMs();
    timer.start();
    work();
    gCpu.push_back(ThreadCpuMs() - cpu);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The median CPU time of the last count timed pieces of work.
double CpuMedian(std::size_t count)
{
    return Median(std::vector<double>(gCpu.end() - static_cast<std::ptrdiff_t>(count), gCpu.end()));
}

void Key(TfrmViewer& viewer, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&viewer, &press);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    TBenchViewerHost host;
    for (int k = 0; k < 20; ++k) {
        TFileRecord row;
        row.Name = QStringLiteral("page%1.jpg").arg(k, 2, 10, QLatin1Char('0')).toStdString();
        row.Directory = std::make_shared<const std::string>(QFile::encodeName(dir.path()).toStdString());
        host.Rows.push_back(row);
    }
    TfrmViewer viewer;
    viewer.SetHost(&host);
    viewer.Open(QString(), nullptr);
    Settle(viewer);
    std::printf("screen %dx%d, platform %s\n", viewer.width(), viewer.height(),
                qPrintable(app.platformName()));

    for (const char* name : {"big.jpg", "progressive.jpg", "square.gif"}) {
        std::vector<double> runs;
        for (int run = 0; run < 3; ++run) {
            viewer.Picture()->LoadImage(QString());
            viewer.hide();
            runs.push_back(TimeMs([&] {
                viewer.Open(dir.filePath(QString::fromLatin1(name)), nullptr);
                Settle(viewer);
            }));
        }
        std::printf("open %-16s %dx%d: median %.0f ms (runs:", name, viewer.Picture()->PictureWidth(),
                    viewer.Picture()->PictureHeight(), Median(runs));
        for (double ms : runs)
            std::printf(" %.0f", ms);
        std::printf("), CPU %.0f ms\n", CpuMedian(runs.size()));
    }

    host.Focused = 0;
    viewer.Open(dir.filePath(QStringLiteral("page00.jpg")), nullptr);
    Settle(viewer);
    const double paging = TimeMs([&] {
        for (int k = 1; k < 20; ++k) {
            Key(viewer, Qt::Key_PageDown);
            Settle(viewer);
        }
    });
    std::printf("paging 19 x 4000x3000 JPEG: %.0f ms, %.2f pictures/s (CPU %.0f ms)\n", paging,
                19000.0 / paging, CpuMedian(1));

    viewer.Open(dir.filePath(QStringLiteral("big.jpg")), nullptr);
    Settle(viewer);
    std::vector<double> keySteps, dragSteps, keyCpu, dragCpu;
    for (int k = 0; k < 40; ++k) {
        const int key = (k / 4) % 2 == 0 ? Qt::Key_Right : Qt::Key_Left;
        keySteps.push_back(TimeMs([&] {
            Key(viewer, key);
            Settle(viewer);
        }));
        keyCpu.push_back(gCpu.back());
        const int dx = (k / 10) % 2 == 0 ? -12 : 12;
        dragSteps.push_back(TimeMs([&] {
            viewer.PanImage(dx, dx / 2);
            Settle(viewer);
        }));
        dragCpu.push_back(gCpu.back());
    }
    std::printf(
        "pan step by key (a fifth of the screen): median %.2f ms, worst %.2f ms, CPU median %.2f ms\n",
        Median(keySteps), *std::max_element(keySteps.begin(), keySteps.end()), Median(keyCpu));
    std::printf("pan step by drag (12 x 6 px): median %.2f ms, worst %.2f ms, CPU median %.2f ms\n",
                Median(dragSteps), *std::max_element(dragSteps.begin(), dragSteps.end()), Median(dragCpu));
    return 0;
}
