// Speed of pictures in the window with the picture loader, on real photos
// (made by bench/photo_set.sh): a cold preview decode, focus moves to a
// prefetched row, the slides of a group of five, viewer pages, the longest
// stall of the event loop in each, and memory while paging 1,000 rows.
// Prints medians in milliseconds.
// usage: quorvane_bench_pictures DIR
#include "AdvImage.h"
#include "BenchViewerHost.h"
#include "MainForm.h"
#include "PictureLoader.h"
#include "ViewImage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace quorvane;

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

QElapsedTimer gClock;
double Now()
{
    return static_cast<double>(gClock.nsecsElapsed()) / 1e6;
}

// The longest gap between the ticks of a 5 ms timer since the last Reset:
// how long the window's thread was kept from its events. With it, the CPU
// time the window's thread used during that gap: a gap much longer than
// its busy time was spent waiting for a core, not working.
class TStallMeter : public QObject {
  public:
    TStallMeter()
    {
        FTimer.setInterval(5);
        FTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&FTimer, &QTimer::timeout, this, [this] {
            const double now = Now();
            const double cpu = ThreadCpu();
            const double waited = RunQueueWait();
            if (now - FLast > FLongest) {
                FLongest = now - FLast;
                FLongestBusy = cpu - FLastCpu;
                FLongestQueued = waited - FLastWaited;
            }
            FLast = now;
            FLastCpu = cpu;
            FLastWaited = waited;
        });
        FTimer.start();
    }
    void Reset()
    {
        FLast = Now();
        FLastCpu = ThreadCpu();
        FLastWaited = RunQueueWait();
        FLongest = FLongestBusy = FLongestQueued = 0;
    }
    double Longest() const { return FLongest; }
    double LongestBusy() const { return FLongestBusy; }
    // Of the longest gap, the time the window's thread was ready to run
    // but had no core (Linux's schedstat; 0 where there is none).
    double LongestQueued() const { return FLongestQueued; }

  private:
    static double ThreadCpu()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    }
    static double RunQueueWait()
    {
        std::FILE* file = std::fopen("/proc/thread-self/schedstat", "r");
        if (!file) return 0;
        unsigned long long running = 0, waiting = 0;
        const int read = std::fscanf(file, "%llu %llu", &running, &waiting);
        std::fclose(file);
        return read == 2 ? double(waiting) / 1e6 : 0;
    }
    QTimer FTimer;
    double FLast = 0, FLastCpu = 0, FLastWaited = 0;
    double FLongest = 0, FLongestBusy = 0, FLongestQueued = 0;
};

// Records when a control last finished painting, and which file it showed.
class TPaintWatch : public QObject {
  public:
    explicit TPaintWatch(TAdvImage* image) : FImage(image) { image->installEventFilter(this); }
    double At = 0;
    std::string Path;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint) return false;
        watched->event(event); // the paint itself, then the time it ended
        At = Now();
        Path = FImage->NativeFileName();
        return true;
    }

  private:
    TAdvImage* FImage;
};

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    const double end = Now() + timeoutMs;
    while (!done()) {
        if (Now() > end) return false;
        // Sleeps until an event comes (the stall meter's timer brings one
        // every 5 ms at the latest). processEvents with a time limit would
        // not sleep: it ignores WaitForMoreEvents and spins, and a spinning
        // window thread takes a core from the loader on a small machine.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void Dwell(int ms)
{
    const double end = Now() + ms;
    WaitUntil([end] { return Now() >= end; });
}

std::string Native(const QDir& dir, const QString& name)
{
    return QFile::encodeName(dir.filePath(name)).toStdString();
}

TFileRecord RowOf(const QDir& dir, const QString& name, std::uint64_t size)
{
    TFileRecord row;
    row.Name = QFile::encodeName(name).toStdString();
    row.Directory = std::make_shared<const std::string>(QFile::encodeName(dir.path()).toStdString());
    row.Size = size;
    row.ImageIndex = kImagePicture;
    return row;
}

long RssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        long value = 0;
        if (key == "VmRSS:" && status >> value) return value;
    }
    return 0;
}

QString Name(const char* prefix, int k)
{
    return QStringLiteral("%1%2.jpg").arg(QLatin1String(prefix)).arg(k, 2, 10, QLatin1Char('0'));
}

// The decode alone, on this thread, as the loader's threads run it.
void DecodeAlone(const QDir& dir)
{
    TAdvImage like;
    like.SetJPEGScale(TJPEGScale::jsHalf);
    like.SetJPEGPerformance(TJPEGPerformance::jpBestSpeed);
    std::vector<double> runs;
    for (int k = 0; k < 5; ++k) {
        const TPictureRequest request = like.RequestFor(Native(dir, Name("p12_", k)));
        for (int run = 0; run < 3; ++run) {
            const double start = Now();
            const TLoadedPicture picture = DecodePicture(request);
            runs.push_back(Now() - start);
        }
    }
    std::printf("decode alone at 1/2, baseline 4000x3000: median %.1f ms of 15\n", Median(runs));
}

// A cold preview of each 12-megapixel photo at 1/2 through the loader,
// from the request to the answer (a fresh loader, so no cache).
void ColdPreview(const QDir& dir)
{
    TPictureLoader loader;
    TAdvImage like;
    like.SetJPEGScale(TJPEGScale::jsHalf);
    like.SetJPEGPerformance(TJPEGPerformance::jpBestSpeed);
    for (const char* prefix : {"p12_", "q12_"}) {
        std::vector<double> runs;
        for (int k = 0; k < 5; ++k) {
            bool answered = false;
            const auto connection =
                QObject::connect(&loader, &TPictureLoader::Loaded,
                                 [&](std::uint64_t, const TLoadedPicture&) { answered = true; });
            const double start = Now();
            loader.Request(like.RequestFor(Native(dir, Name(prefix, k))), TPictureLoader::EPriority::Focused);
            WaitUntil([&] { return answered; });
            runs.push_back(Now() - start);
            QObject::disconnect(connection);
        }
        std::printf("cold preview at 1/2, %s 4000x3000: median %.1f ms of 5\n",
                    prefix[0] == 'p' ? "baseline   " : "progressive", Median(runs));
    }
}

struct TWindow {
    TfrmMain* Form = nullptr;
    QTreeView* List = nullptr;
};

TWindow MakeWindow()
{
    TWindow window;
    window.Form = new TfrmMain;
    window.Form->resize(1280, 800);
    window.Form->show();
    window.List = window.Form->findChild<QTreeView*>(QStringLiteral("lvFiles"));
    window.Form->findChild<QRadioButton*>(QStringLiteral("raClick"))->setChecked(true);
    window.Form->findChild<QLineEdit*>(QStringLiteral("edTime"))->setText(QStringLiteral("0"));
    WaitUntil([&] { return window.Form->isVisible(); });
    return window;
}

void PressDown(QTreeView* list)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(list, &press);
}

// Focus moves down twenty rows of 12-megapixel photos (groups of two), each
// after the prefetches of the last were done and a short look.
void PreviewMoves(const QDir& dir, TStallMeter& stalls)
{
    TWindow window = MakeWindow();
    std::vector<TFileRecord> rows;
    for (int k = 0; k < 20; ++k)
        rows.push_back(RowOf(dir, Name("p12_", k), std::uint64_t(k / 2)));
    window.Form->FileList()->SetRows(rows);
    TAdvImage* image = window.Form->PreviewImage();
    TPaintWatch painted(image);
    TPictureLoader& loader = image->Loader();
    window.List->setFocus();
    window.List->setCurrentIndex(window.Form->FileList()->index(0, 0));
    WaitUntil([&] { return painted.Path == rows[0].FullPath(); });
    std::vector<double> latencies;
    double longest = 0;
    for (int k = 1; k < 20; ++k) {
        WaitUntil([&] { return loader.PendingCount() == 0; });
        Dwell(100);
        stalls.Reset();
        const double start = Now();
        PressDown(window.List);
        WaitUntil([&] { return painted.Path == rows[std::size_t(k)].FullPath() && !image->Loading(); });
        latencies.push_back(painted.At - start);
        Dwell(20);
        longest = std::max(longest, stalls.Longest());
    }
    std::printf("focus moved to a prefetched row, key to painted: median %.1f ms, worst %.1f ms (19 moves)\n",
                Median(latencies), *std::max_element(latencies.begin(), latencies.end()));
    std::printf("  longest stall of the event loop during the moves: %.1f ms\n", longest);

    // Held Down: thirty rows without waiting for the prefetches.
    stalls.Reset();
    window.List->setCurrentIndex(window.Form->FileList()->index(0, 0));
    const double held = Now();
    for (int k = 1; k < 20; ++k) {
        PressDown(window.List);
        Dwell(33); // a key's repeat rate
    }
    WaitUntil([&] { return painted.Path == rows[19].FullPath() && !image->Loading(); });
    std::printf("  Down held through 19 rows (33 ms repeat): last row painted %.0f ms after the first key; "
                "longest stall %.1f ms\n",
                Now() - held, stalls.Longest());
    delete window.Form;
}

// The slides of a group of five 12-megapixel photos, cold, against the
// slowest single thumbnail decoded alone.
void Slides(const QDir& dir, TStallMeter& stalls)
{
    std::vector<double> singles;
    {
        TAdvImage like;
        like.SetJPEGScale(TJPEGScale::jsEighth);
        like.SetJPEGGrayscale(true);
        like.SetJPEGPerformance(TJPEGPerformance::jpBestSpeed);
        for (int k = 0; k < 5; ++k) {
            const TPictureRequest request = like.RequestFor(Native(dir, Name("p12_", k + 10)));
            const double start = Now();
            const TLoadedPicture picture = DecodePicture(request);
            singles.push_back(Now() - start);
        }
    }
    TWindow window = MakeWindow();
    Dwell(500); // the window's own first paints
    std::vector<TFileRecord> rows;
    for (int k = 0; k < 5; ++k)
        rows.push_back(RowOf(dir, Name("p12_", k + 10), 7));
    TPictureLoader fresh; // no picture of these in any cache
    for (int k = 1; k <= 5; ++k)
        window.Form->SlideImage(k)->SetLoader(&fresh);
    window.Form->PreviewImage()->SetLoader(&fresh);
    window.Form->FileList()->SetRows(rows);
    stalls.Reset();
    const double start = Now();
    window.List->setCurrentIndex(window.Form->FileList()->index(0, 0));
    WaitUntil([&] {
        for (int k = 1; k <= 5; ++k)
            if (!window.Form->SlideImage(k)->HasPicture() || window.Form->SlideImage(k)->Loading())
                return false;
        return true;
    });
    const double fill = Now() - start;
    const double slowest = *std::max_element(singles.begin(), singles.end());
    std::printf("slides of five 4000x3000 photos, cold: %.1f ms; slowest single thumbnail %.1f ms (%.2f x); "
                "longest stall %.1f ms\n",
                fill, slowest, fill / slowest, stalls.Longest());
    for (int k = 1; k <= 5; ++k)
        window.Form->SlideImage(k)->SetLoader(nullptr);
    window.Form->PreviewImage()->SetLoader(nullptr);
    delete window.Form;
}

// PageDown through twenty 24-megapixel photos: after the prefetch of the
// next was done (latency), and back to back (rate).
void ViewerPages(const QDir& dir, TStallMeter& stalls, bool fit)
{
    TBenchViewerHost host;
    host.Fit = fit;
    for (int k = 0; k < 20; ++k)
        host.Rows.push_back(RowOf(dir, Name("p24_", k), std::uint64_t(k)));
    TfrmViewer viewer;
    viewer.SetHost(&host);
    TAdvImage* image = viewer.Picture();
    TPaintWatch painted(image);
    TPictureLoader& loader = image->Loader();
    viewer.Open(host.Rows[0].FullPath(), nullptr);
    WaitUntil([&] { return painted.Path == host.Rows[0].FullPath() && !image->Loading(); });
    std::vector<double> latencies;
    double longest = 0;
    for (int k = 1; k < 20; ++k) {
        WaitUntil([&] { return loader.PendingCount() == 0; });
        Dwell(50);
        stalls.Reset();
        const double start = Now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&viewer, &press);
        WaitUntil([&] { return painted.Path == host.Rows[std::size_t(k)].FullPath() && !image->Loading(); });
        latencies.push_back(painted.At - start);
        Dwell(10);
        longest = std::max(longest, stalls.Longest());
    }
    const char* how = fit ? "fitted" : "natural size";
    std::printf(
        "viewer (%s), PageDown to a prefetched 6000x4000 photo, painted: median %.1f ms, worst %.1f ms; "
        "longest stall %.1f ms\n",
        how, Median(latencies), *std::max_element(latencies.begin(), latencies.end()), longest);
    // Back to back: the next key as soon as the picture is painted.
    viewer.Open(host.Rows[0].FullPath(), nullptr);
    host.Focused = 0;
    WaitUntil([&] { return painted.Path == host.Rows[0].FullPath() && !image->Loading(); });
    stalls.Reset();
    const double start = Now();
    for (int k = 1; k < 20; ++k) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&viewer, &press);
        WaitUntil([&] { return painted.Path == host.Rows[std::size_t(k)].FullPath() && !image->Loading(); });
    }
    const double all = Now() - start;
    std::printf(
        "  back to back through 19: %.0f ms, %.2f pictures/s; longest stall %.1f ms (window thread busy "
        "%.1f ms of it, waiting for a core %.1f ms)\n",
        all, 19000.0 / all, stalls.Longest(), stalls.LongestBusy(), stalls.LongestQueued());
    viewer.hide();
}

// Focus moves through 1,000 rows (hard links of the twenty photos, so each
// row is a file of its own to the loader): the memory stays within the
// cache's bound.
void Memory(const QDir& dir)
{
    const QDir links(dir.filePath(QStringLiteral("links")));
    TWindow window = MakeWindow();
    std::vector<TFileRecord> rows;
    for (int k = 0; k < 1000; ++k)
        rows.push_back(
            RowOf(links, QStringLiteral("l%1.jpg").arg(k, 4, 10, QLatin1Char('0')), std::uint64_t(k)));
    window.Form->FileList()->SetRows(rows);
    TAdvImage* image = window.Form->PreviewImage();
    TPictureLoader& loader = image->Loader();
    window.List->setFocus();
    window.List->setCurrentIndex(window.Form->FileList()->index(0, 0));
    long after100 = 0, peak = 0;
    for (int k = 1; k < 1000; ++k) {
        PressDown(window.List);
        WaitUntil(
            [&] { return image->NativeFileName() == rows[std::size_t(k)].FullPath() && !image->Loading(); });
        if (k == 100) after100 = RssKiB();
        peak = std::max(peak, RssKiB());
    }
    WaitUntil([&] { return loader.PendingCount() == 0; });
    std::printf(
        "1,000 rows: cache %lld MiB of %lld MiB bound, %d pictures; RSS after 100 rows %ld MiB, after "
        "1,000 %ld MiB, peak %ld MiB\n",
        static_cast<long long>(loader.CacheBytes() >> 20), static_cast<long long>(loader.CacheLimit() >> 20),
        loader.CachedCount(), after100 / 1024, RssKiB() / 1024, peak / 1024);
    delete window.Form;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    gClock.start();
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    std::printf("platform %s, loader threads %d\n", qPrintable(app.platformName()),
                TPictureLoader::Shared().ThreadCount());
    TStallMeter stalls;
    const QString only = argc > 2 ? QString::fromLatin1(argv[2]) : QString();
    if (only.isEmpty() || only == "cold") {
        DecodeAlone(dir);
        ColdPreview(dir);
    }
    if (only.isEmpty() || only == "preview") PreviewMoves(dir, stalls);
    if (only.isEmpty() || only == "slides") Slides(dir, stalls);
    if (only.isEmpty() || only == "viewer") {
        ViewerPages(dir, stalls, false);
        ViewerPages(dir, stalls, true);
    }
    if (only.isEmpty() || only == "memory") Memory(dir);
    return 0;
}
