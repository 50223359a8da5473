// Speed and memory of the picture control as the preview pane and the
// slides strip use it: the time from LoadImage to the control painted for
// large JPEG (baseline and progressive, at 1/2 and 1/8), GIF and WMF files,
// the strip of five thumbnails, and the resident memory over many loads.
// Not a test: it prints figures. The pictures are made in a temporary
// directory at start.
// usage: quorvane_bench_display [runs=5] [loads=1000]
// (QUORVANE_BENCH_KEEP=1 keeps the pictures made for the run)
#include "AdvImage.h"
#include "GifWriter.h"
#include "MetafileBuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorvane;

namespace {

// A photo-like picture: smooth gradients, shapes and a little noise, so that
// the JPEG holds about as many coefficients as a camera's.
QImage PhotoLike(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(40, 90, 160));
    sky.setColorAt(1, QColor(230, 200, 120));
    painter.fillRect(image.rect(), sky);
    std::mt19937 random(11);
    for (int i = 0; i < 400; ++i) {
        painter.setBrush(
            QColor::fromHsv(int(random() % 360), 120 + int(random() % 100), 80 + int(random() % 160)));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(int(random() % width), int(random() % height), 20 + int(random() % 400),
                            20 + int(random() % 300));
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random() % 17) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                           std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return image;
}

bool WriteJpeg(const QImage& image, const QString& path, bool progressive)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(image);
}

bool WriteBytes(const QString& path, const std::vector<std::uint8_t>& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(reinterpret_cast<const char*>(bytes.data()),
                                                         qint64(bytes.size())) == qint64(bytes.size());
}

// A placeable WMF of 4000 x 3000 units at 400 units per inch with many
// filled shapes.
std::vector<std::uint8_t> LargeWmf(int shapes)
{
    testing::TWmfBuilder wmf(true, {0, 0, 4000, 3000}, 400, 4);
    std::mt19937 random(5);
    for (int i = 0; i < shapes; ++i) {
        wmf.Brush(0, testing::Rgb(int(random() % 256), int(random() % 256), int(random() % 256)));
        wmf.Select(0);
        const int x = int(random() % 3800), y = int(random() % 2800);
        if (i % 3 == 0)
            wmf.Ellipse(x, y, x + 200, y + 150);
        else if (i % 3 == 1)
            wmf.Rectangle(x, y, x + 180, y + 120);
        else
            wmf.Poly(0x0324, {x, y, x + 150, y + 40, x + 90, y + 160, x - 30, y + 90});
        wmf.Delete(0);
    }
    return wmf.Bytes();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long ResidentKb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long PeakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Milliseconds from LoadImage to the painted control, the median of runs.
double TimeLoad(TAdvImage& image, const QString& path, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        image.LoadImage(QString());
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        image.LoadImage(path);
        QCoreApplication::processEvents();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return Median(times);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int loads = argc > 2 ? std::max(1, atoi(argv[2])) : 1000;
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("QUORVANE_BENCH_KEEP"));
    std::printf("making pictures in %s ...\n", qPrintable(dir.path()));
    const QImage photo = PhotoLike(4000, 3000);
    const QString baseline = dir.filePath("baseline.jpg"), progressive = dir.filePath("progressive.jpg");
    QStringList five;
    bool ok = WriteJpeg(photo, baseline, false) && WriteJpeg(photo, progressive, true);
    for (int k = 1; k <= 5; ++k) {
        five << dir.filePath(QStringLiteral("copy%1.jpg").arg(k));
        ok = ok && QFile::copy(baseline, five.back());
    }
    const QString gif = dir.filePath("big.gif"), wmf = dir.filePath("big.wmf");
    ok = ok &&
         WriteBytes(gif, testing::SimpleGif(2000, 2000, testing::PatternPixels(2000u * 2000u, 8, 9), 8)) &&
         WriteBytes(wmf, LargeWmf(20000));
    if (!ok) {
        std::fprintf(stderr, "cannot write the pictures\n");
        return 1;
    }
    std::printf("baseline %lld bytes, progressive %lld, gif %lld, wmf %lld\n", QFileInfo(baseline).size(),
                QFileInfo(progressive).size(), QFileInfo(gif).size(), QFileInfo(wmf).size());

    // The main window's preview pane and strip at their sizes in a
    // 1024 x 700 window.
    QWidget window;
    window.resize(1000, 650);
    auto* preview = new TAdvImage(&window);
    preview->setGeometry(560, 50, 436, 460);
    preview->SetStretchRatio(true);
    preview->SetCenterView(true);
    preview->SetJPEGPerformance(TJPEGPerformance::jpBestSpeed);
    preview->SetJPEGProgressiveDisplay(true);
    TAdvImage* slides[5];
    for (int k = 0; k < 5; ++k) {
        slides[k] = new TAdvImage(&window);
        slides[k]->setGeometry(10 + 108 * k, 530, 94, 90);
        slides[k]->SetStretchRatio(true);
        slides[k]->SetCenterView(true);
        slides[k]->SetJPEGScale(TJPEGScale::jsEighth);
        slides[k]->SetJPEGGrayscale(true);
        slides[k]->SetJPEGPerformance(TJPEGPerformance::jpBestSpeed);
    }
    window.show();
    QCoreApplication::processEvents();

    std::printf("\nfrom LoadImage to painted, median of %d (ms), platform %s\n", runs,
                qPrintable(QGuiApplication::platformName()));
    for (const auto& [label, scale] :
         {std::pair{"1/2", TJPEGScale::jsHalf}, std::pair{"1/8", TJPEGScale::jsEighth}}) {
        preview->SetJPEGScale(scale);
        std::printf("  4000x3000 baseline JPEG at %s:    %8.1f\n", label, TimeLoad(*preview, baseline, runs));
        std::printf("  4000x3000 progressive JPEG at %s: %8.1f\n", label,
                    TimeLoad(*preview, progressive, runs));
    }
    std::printf("  2000x2000 GIF:                     %8.1f\n", TimeLoad(*preview, gif, runs));
    std::printf("  WMF of 20000 shapes:               %8.1f\n", TimeLoad(*preview, wmf, runs));

    std::vector<double> strip;
    for (int i = 0; i < runs; ++i) {
        for (TAdvImage* slide : slides)
            slide->LoadImage(QString());
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        for (int k = 0; k < 5; ++k)
            slides[k]->LoadImage(five[k]);
        QCoreApplication::processEvents();
        strip.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("  five 4000x3000 JPEG thumbnails:    %8.1f\n", Median(strip));

    preview->SetJPEGScale(TJPEGScale::jsHalf);
    const QStringList cycle = {baseline, progressive, gif, five[0], wmf};
    const long before = ResidentKb();
    long most = before;
    for (int i = 0; i < loads; ++i) {
        preview->LoadImage(cycle[i % cycle.size()]);
        slides[i % 5]->LoadImage(five[i % 5]);
        QCoreApplication::processEvents();
        most = std::max(most, ResidentKb());
        if (i == 49) std::printf("\nresident after 50 loads: %ld KiB\n", ResidentKb());
    }
    std::printf(
        "resident before %d loads: %ld KiB, after: %ld KiB, highest seen: %ld KiB, process peak %ld KiB\n",
        loads, before, ResidentKb(), most, PeakKb());
    return 0;
}
