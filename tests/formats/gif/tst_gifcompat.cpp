// GIFs written by common encoders (ImageMagick, Pillow, gifsicle with its
// usual options, --lossy included) decode to giflib's pixels. Skipped when
// a tool is missing; the files are made at run time from generated pictures.
#include "GifUnit.h"
#include "GiflibReference.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <fstream>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

// A binary PPM of a generated picture of the given kind.
void WritePpm(const QString& path, int width, int height, int kind)
{
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            const int noise = int(state >> 24);
            int rgb[3];
            if (kind == 0) { // smooth, photo-like, a little noise
                rgb[0] = int(127 + 100 * std::sin(x / 23.0) + (noise & 15));
                rgb[1] = int(127 + 100 * std::cos(y / 17.0 + x / 41.0));
                rgb[2] = (x * y) / (width + height) & 255;
            } else if (kind == 1) { // noise: fills the LZW table again and again
                rgb[0] = noise, rgb[1] = int(state >> 16) & 255, rgb[2] = int(state >> 8) & 255;
            } else { // flat blocks with edges
                const int block = ((x / 37) + (y / 29)) % 5;
                rgb[0] = block * 60, rgb[1] = 255 - block * 50, rgb[2] = (block & 1) * 200;
            }
            for (int& c : rgb)
                out.put(char(std::clamp(c, 0, 255)));
        }
}

QString Find(const QStringList& names)
{
    for (const QString& name : names) {
        const QString path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/bin")});
        if (!path.isEmpty()) return path;
    }
    return {};
}

const char* kPillowScript = R"(
import sys
from PIL import Image
src, out = sys.argv[1], sys.argv[2]
im = Image.open(src)
im.convert('P', palette=Image.ADAPTIVE).save(out + '-adaptive.gif')
im.convert('P', palette=Image.ADAPTIVE, colors=32).save(out + '-opt.gif', optimize=True)
im.convert('P').save(out + '-web.gif')
im.convert('L').save(out + '-grey.gif', interlace=False)
)";

} // namespace

class TestGifCompat : public QObject {
    Q_OBJECT

  private slots:
    void encodersMatchGiflib();
};

void TestGifCompat::encodersMatchGiflib()
{
    const QString magick = Find({QStringLiteral("convert-im6.q16"), QStringLiteral("magick")});
    const QString python = Find({QStringLiteral("python3")});
    const QString gifsicle = Find({QStringLiteral("gifsicle")});
    if (magick.isEmpty() || gifsicle.isEmpty() || python.isEmpty())
        QSKIP("ImageMagick, Pillow or gifsicle missing");
    if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import PIL")}) != 0)
        QSKIP("Pillow is not installed");
    QTemporaryDir dir;
    const auto at = [&](const QString& name) { return dir.filePath(name); };
    const QList<QSize> sizes = {{160, 120}, {128, 128}, {201, 151}};
    for (int kind = 0; kind < 3; ++kind) {
        const QString base = QStringLiteral("p%1").arg(kind);
        WritePpm(at(base + ".ppm"), sizes[kind].width(), sizes[kind].height(), kind);
        const QString src = at(base + ".ppm");
        const QList<QStringList> magickRuns = {
            {},
            {QStringLiteral("-interlace"), QStringLiteral("GIF")},
            {QStringLiteral("+dither"), QStringLiteral("-colors"), QStringLiteral("64")}};
        for (int i = 0; i < magickRuns.size(); ++i)
            QCOMPARE(
                QProcess::execute(magick, QStringList{src} + magickRuns[i] +
                                              QStringList{at(base + QStringLiteral("-im%1.gif").arg(i))}),
                0);
        QCOMPARE(QProcess::execute(python, {QStringLiteral("-c"), QString::fromLatin1(kPillowScript), src,
                                            at(base + "-pil")}),
                 0);
        const QList<QStringList> gifsicleRuns = {{QStringLiteral("-O3")},
                                                 {QStringLiteral("--lossy=80")},
                                                 {QStringLiteral("-O2"), QStringLiteral("--lossy=200"),
                                                  QStringLiteral("--colors"), QStringLiteral("32")},
                                                 {QStringLiteral("--interlace")},
                                                 {QStringLiteral("--colors"), QStringLiteral("8")}};
        for (int i = 0; i < gifsicleRuns.size(); ++i)
            QCOMPARE(
                QProcess::execute(gifsicle, gifsicleRuns[i] +
                                                QStringList{at(base + "-im0.gif"), QStringLiteral("-o"),
                                                            at(base + QStringLiteral("-gs%1.gif").arg(i))}),
                0);
    }
    int compared = 0;
    for (const QFileInfo& info :
         QDir(dir.path()).entryInfoList({QStringLiteral("*.gif")}, QDir::Files, QDir::Name)) {
        QFile file(info.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        const TBytes bytes(data.begin(), data.end());
        const std::vector<TBytes> reference = GiflibDecode(bytes);
        if (reference.empty()) continue;
        TGifFile gif;
        try {
            gif.LoadFromBytes(bytes.data(), bytes.size());
        } catch (const std::exception& e) {
            QFAIL(qPrintable(info.fileName() + QStringLiteral(": ") + QString::fromStdString(e.what())));
        }
        QCOMPARE(gif.ImageCount(), reference.size());
        const TByteArray2D& pixels = gif.Image(1).Pixels();
        QVERIFY2(TBytes(pixels.Data(), pixels.Data() + pixels.RowLength() * pixels.RowCount()) ==
                     reference.front(),
                 qPrintable(info.fileName()));
        ++compared;
    }
    QCOMPARE(compared, 3 * 12);
}

QTEST_GUILESS_MAIN(TestGifCompat)
#include "tst_gifcompat.moc"
