// The picture control: its layout rules (natural size, centring, the shrink
// that fits both sides), loading by extension with its two events, the JPEG
// settings taking effect at the next load, and a load that replaces the one
// under way. Pictures are written into a temporary directory.
#include "AdvImage.h"
#include "GifWriter.h"
#include "MetafileBuilder.h"
#include "PaintGeometry.h"
#include "PathRules.h"

#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace quorvane;

namespace {

// Asks for the file and waits for the loader's answer to be shown.
bool Load(TAdvImage& image, const QString& path)
{
    image.LoadImage(path);
    return QTest::qWaitFor([&] { return !image.Loading(); }, 10000);
}

QString WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
}

QString WritePicture(const QString& path, int width, int height, const char* format, QColor color = Qt::red,
                     bool progressive = false)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QImageWriter writer(path, format);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(image) ? path : QString();
}

bool RunTool(const QString& name, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty()) return false;
    QProcess process;
    process.start(path, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// A picture no turn or mirror leaves alike: a gradient with two blocks.
QImage AsymmetricPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(255 * x / width, 255 * y / height, 90));
    QPainter painter(&image);
    painter.fillRect(QRect(4, 4, width / 4, height / 3), QColor(250, 220, 30));
    painter.fillRect(QRect(width / 2, height * 2 / 3, width / 3, height / 4), QColor(20, 30, 200));
    return image;
}

int LargestDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size()) return -1;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

QString WriteGif(const QString& path, int width, int height)
{
    const auto pixels = testing::PatternPixels(std::size_t(width) * height, 8, 7);
    const auto bytes = testing::SimpleGif(std::uint16_t(width), std::uint16_t(height), pixels, 8);
    return WriteBytes(path, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

bool SameColor(QRgb a, QColor b)
{
    return std::abs(qRed(a) - b.red()) < 24 && std::abs(qGreen(a) - b.green()) < 24 &&
           std::abs(qBlue(a) - b.blue()) < 24;
}

} // namespace

class TestAdvImage : public QObject {
    Q_OBJECT

  private slots:
    void layout_data();
    void layout();
    void fillsCoverTheRest_data();
    void fillsCoverTheRest();
    void emptyPictureHasNoLayout();
    void loadFailures_data();
    void loadFailures();
    void loadsByExtension_data();
    void loadsByExtension();
    void paintsPictureAndFills();
    void paintsMetafileShrunk();
    void jpegScaleAppliesToNextLoad();
    void replacesLoadUnderWay();
    void drawsPhotosUpright_data();
    void drawsPhotosUpright();
    void turnUprightOff();
};

void TestAdvImage::layout_data()
{
    QTest::addColumn<QSize>("control");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("stretch");
    QTest::addColumn<bool>("centre");
    QTest::addColumn<QRect>("expected"); // left, top, width, height
    QTest::addColumn<bool>("stretched");
    QTest::newRow("small centred") << QSize(300, 200) << QSize(100, 50) << true << true
                                   << QRect(100, 75, 100, 50) << false;
    QTest::newRow("small at origin") << QSize(300, 200) << QSize(100, 50) << true << false
                                     << QRect(0, 0, 100, 50) << false;
    QTest::newRow("odd margin truncates")
        << QSize(301, 201) << QSize(100, 50) << false << true << QRect(100, 75, 100, 50) << false;
    QTest::newRow("landscape rounds 149.6 up")
        << QSize(200, 200) << QSize(401, 300) << true << true << QRect(0, 0, 200, 150) << true;
    QTest::newRow("portrait fits height")
        << QSize(300, 100) << QSize(300, 400) << true << false << QRect(0, 0, 75, 100) << true;
    QTest::newRow("landscape in wide control fits height")
        << QSize(300, 100) << QSize(400, 300) << true << true << QRect(0, 0, 133, 100) << true;
    QTest::newRow("portrait in tall control fits width")
        << QSize(100, 300) << QSize(300, 400) << true << true << QRect(0, 0, 100, 133) << true;
    QTest::newRow("square in wide control")
        << QSize(300, 100) << QSize(200, 200) << true << true << QRect(0, 0, 100, 100) << true;
    QTest::newRow("equal size unscaled")
        << QSize(200, 150) << QSize(200, 150) << true << true << QRect(0, 0, 200, 150) << false;
    QTest::newRow("overhang centred")
        << QSize(20, 20) << QSize(50, 50) << false << true << QRect(-15, -15, 50, 50) << false;
    QTest::newRow("overhang at origin")
        << QSize(20, 20) << QSize(50, 50) << false << false << QRect(0, 0, 50, 50) << false;
}

void TestAdvImage::layout()
{
    QFETCH(QSize, control);
    QFETCH(QSize, picture);
    QFETCH(bool, stretch);
    QFETCH(bool, centre);
    QFETCH(QRect, expected);
    QFETCH(bool, stretched);
    const TPaintLayout layout = ComputePaintLayout(control.width(), control.height(), picture.width(),
                                                   picture.height(), stretch, centre);
    QVERIFY(layout.HasPicture);
    QCOMPARE(layout.Stretched, stretched);
    const TPaintRect& p = layout.Picture;
    QCOMPARE(QRect(p.Left, p.Top, p.Width(), p.Height()), expected);
}

void TestAdvImage::fillsCoverTheRest_data()
{
    QTest::addColumn<QSize>("control");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("centre");
    QTest::newRow("centred") << QSize(300, 200) << QSize(100, 50) << true;
    QTest::newRow("top-left") << QSize(300, 200) << QSize(100, 50) << false;
    QTest::newRow("shrunk") << QSize(300, 100) << QSize(400, 300) << true;
    QTest::newRow("full") << QSize(64, 48) << QSize(64, 48) << true;
}

// Every pixel of the control is painted exactly once: by the picture or by
// one of the four fills.
void TestAdvImage::fillsCoverTheRest()
{
    QFETCH(QSize, control);
    QFETCH(QSize, picture);
    QFETCH(bool, centre);
    const TPaintLayout layout = ComputePaintLayout(control.width(), control.height(), picture.width(),
                                                   picture.height(), true, centre);
    std::vector<int> hits(std::size_t(control.width() * control.height()), 0);
    auto cover = [&](const TPaintRect& r) {
        for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, control.height()); ++y)
            for (int x = std::max(r.Left, 0); x < std::min(r.Right, control.width()); ++x)
                ++hits[std::size_t(y * control.width() + x)];
    };
    cover(layout.Picture);
    for (const TPaintRect& fill : layout.Fills)
        cover(fill);
    QVERIFY(std::all_of(hits.begin(), hits.end(), [](int n) { return n == 1; }));
}

void TestAdvImage::emptyPictureHasNoLayout()
{
    QVERIFY(!ComputePaintLayout(300, 200, 0, 0, true, true).HasPicture);
    const auto at = CentredTextPosition(100, 51, 41, 14);
    QCOMPARE(at[0], 29);
    QCOMPARE(at[1], 18);
    QCOMPARE(CentredTextPosition(10, 10, 41, 14)[0], -15); // truncated toward zero
}

void TestAdvImage::loadFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // written when not empty
    QTest::newRow("empty name") << QString() << QByteArray();
    QTest::newRow("missing file") << QStringLiteral("missing.jpg") << QByteArray();
    QTest::newRow("directory") << QStringLiteral(".") << QByteArray();
    QTest::newRow("garbage jpg") << QStringLiteral("bad.jpg") << QByteArray("not a picture at all");
    QTest::newRow("garbage bmp") << QStringLiteral("bad.bmp") << QByteArray("BMnot really");
    QTest::newRow("garbage gif") << QStringLiteral("bad.gif") << QByteArray("GIF89a\x01");
    QTest::newRow("garbage wmf") << QStringLiteral("bad.wmf") << QByteArray(64, '\x07');
    QTest::newRow("unregistered") << QStringLiteral("note.txt") << QByteArray("text");
    QTest::newRow("jp counts as nothing") << QStringLiteral("photo.jp") << QByteArray("\xFF\xD8\xFF");
}

void TestAdvImage::loadFailures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = name.isEmpty() ? QString() : dir.filePath(name);
    if (!content.isEmpty()) QVERIFY(!WriteBytes(path, content).isEmpty());
    TAdvImage image;
    image.resize(50, 50);
    QVERIFY(Load(image, WritePicture(dir.filePath("first.bmp"), 8, 8, "bmp")));
    QCOMPARE(image.PictureWidth(), 8);

    QStringList events;
    connect(&image, &TAdvImage::OnImageLoading,
            [&](TAdvImage* sender) { events << QStringLiteral("loading %1").arg(sender->Loading()); });
    connect(&image, &TAdvImage::OnImageLoaded,
            [&](TAdvImage* sender) { events << QStringLiteral("loaded %1").arg(sender->Loading()); });
    image.LoadImage(path);
    QTRY_VERIFY(!image.Loading());
    QCOMPARE(events, QStringList({"loading 1", "loaded 0"}));
    QCOMPARE(image.FileName(), path);
    QCOMPARE(image.PictureWidth(), 0);
    QCOMPARE(image.PictureHeight(), 0);
    QVERIFY(!image.HasPicture());
}

void TestAdvImage::loadsByExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("bmp") << QStringLiteral("a.bmp") << QStringLiteral("bmp") << QSize(40, 30);
    QTest::newRow("ico") << QStringLiteral("a.ICO") << QStringLiteral("ico") << QSize(32, 32);
    QTest::newRow("jpg at half") << QStringLiteral("a.jpg") << QStringLiteral("jpeg") << QSize(20, 15);
    QTest::newRow("jpe at half") << QStringLiteral("a.jpe") << QStringLiteral("jpeg") << QSize(20, 15);
    QTest::newRow("JPEG at half") << QStringLiteral("a.JPEG") << QStringLiteral("jpeg") << QSize(20, 15);
    QTest::newRow("gif lower case") << QStringLiteral("a.gif") << QStringLiteral("gif") << QSize(40, 30);
    QTest::newRow("dot in folder only")
        << QStringLiteral("x.jpg.d/photo") << QStringLiteral("jpeg") << QSize(0, 0);
}

void TestAdvImage::loadsByExtension()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QSize, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QSize size = kind == u"ico" ? QSize(32, 32) : QSize(40, 30);
    const QString written = kind == u"gif"
                                ? WriteGif(path, size.width(), size.height())
                                : WritePicture(path, size.width(), size.height(), qPrintable(kind));
    QCOMPARE(written, path);
    TAdvImage image;
    image.resize(100, 100);
    image.SetJPEGScale(TJPEGScale::jsHalf);
    QVERIFY(Load(image, path));
    QCOMPARE(QSize(image.PictureWidth(), image.PictureHeight()), expected);
    QCOMPARE(image.HasPicture(), !expected.isEmpty());
}

void TestAdvImage::paintsPictureAndFills()
{
    QTemporaryDir dir;
    TAdvImage image;
    image.resize(300, 100);
    image.SetColor(Qt::blue);
    image.SetStretchRatio(true);
    image.SetCenterView(true);
    QVERIFY(Load(image, WritePicture(dir.filePath("wide.bmp"), 400, 300, "bmp", Qt::red)));
    QImage shot = image.grab().toImage();
    QVERIFY(SameColor(shot.pixel(10, 95), Qt::red));
    QVERIFY(SameColor(shot.pixel(131, 50), Qt::red));
    QVERIFY(SameColor(shot.pixel(135, 50), Qt::blue));
    QVERIFY(SameColor(shot.pixel(299, 0), Qt::blue));

    image.SetStretchRatio(false); // natural size, centred: overhangs the control
    shot = image.grab().toImage();
    QVERIFY(SameColor(shot.pixel(299, 99), Qt::red));
    image.resize(600, 400);
    shot = image.grab().toImage();
    QVERIFY(SameColor(shot.pixel(99, 49), Qt::blue));
    QVERIFY(SameColor(shot.pixel(100, 50), Qt::red));
    QVERIFY(SameColor(shot.pixel(499, 349), Qt::red));
    QVERIFY(SameColor(shot.pixel(500, 350), Qt::blue));
}

// A 200 x 100 WMF (red square over its left half) in a 100 x 100 control:
// shrunk to 100 x 50 at the top, the rest filled; a repaint from the kept
// drawing looks the same.
void TestAdvImage::paintsMetafileShrunk()
{
    QTemporaryDir dir;
    const auto wmf = testing::TWmfBuilder(true, {0, 0, 200, 100}, 96)
                         .Brush(0, testing::Rgb(255, 0, 0))
                         .Select(0)
                         .Pen(5, 0, 0)
                         .Select(1)
                         .Rectangle(0, 0, 100, 100)
                         .Bytes();
    const QString path =
        WriteBytes(dir.filePath("half.WMF"),
                   QByteArray(reinterpret_cast<const char*>(wmf.data()), qsizetype(wmf.size())));
    TAdvImage image;
    image.resize(100, 100);
    image.SetColor(Qt::blue);
    image.SetStretchRatio(true);
    QVERIFY(Load(image, path));
    QCOMPARE(QSize(image.PictureWidth(), image.PictureHeight()), QSize(200, 100));
    for (int round = 0; round < 2; ++round) {
        const QImage shot = image.grab().toImage();
        QVERIFY(SameColor(shot.pixel(20, 25), Qt::red));
        QVERIFY(SameColor(shot.pixel(50, 75), Qt::blue));
    }
}

void TestAdvImage::jpegScaleAppliesToNextLoad()
{
    QTemporaryDir dir;
    const QString first = WritePicture(dir.filePath("1.jpg"), 160, 80, "jpeg");
    const QString second = WritePicture(dir.filePath("2.jpg"), 160, 80, "jpeg", Qt::green, true);
    TAdvImage image;
    image.resize(100, 100);
    image.SetJPEGScale(TJPEGScale::jsHalf);
    QVERIFY(Load(image, first));
    QCOMPARE(image.PictureWidth(), 80);
    image.SetJPEGScale(TJPEGScale::jsEighth);
    image.SetJPEGGrayscale(true);
    QCOMPARE(image.PictureWidth(), 80);
    QVERIFY(image.HasPicture());
    QVERIFY(Load(image, second));
    QCOMPARE(image.PictureWidth(), 20);
    QCOMPARE(image.PictureHeight(), 10);
    const QImage shot = image.grab().toImage();
    const QRgb pixel = shot.pixel(5, 5);
    QVERIFY(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel)); // grey
    QVERIFY(qGreen(pixel) > 40);
}

// A load asked for while another is under way replaces it: the first
// answer is never shown, and the two events come once.
void TestAdvImage::replacesLoadUnderWay()
{
    QTemporaryDir dir;
    const QString first = WritePicture(dir.filePath("first.bmp"), 30, 20, "bmp");
    const QString second = WritePicture(dir.filePath("second.bmp"), 10, 10, "bmp");
    QSemaphore gate;
    TPictureLoader loader([&](const TPictureRequest& request) {
        if (request.Path.find("first") != std::string::npos) gate.acquire();
        return DecodePicture(request);
    });
    TAdvImage image;
    image.SetLoader(&loader);
    QSignalSpy loading(&image, &TAdvImage::OnImageLoading);
    QSignalSpy loaded(&image, &TAdvImage::OnImageLoaded);
    image.LoadImage(first);
    QVERIFY(image.Loading());
    image.LoadImage(second);
    QTRY_VERIFY(!image.Loading());
    QCOMPARE(image.FileName(), second);
    QCOMPARE(image.PictureWidth(), 10);
    gate.release();
    QTRY_COMPARE(loader.PendingCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(image.PictureWidth(), 10);
    QCOMPARE(loading.count(), 1);
    QCOMPARE(loaded.count(), 1);
}

void TestAdvImage::drawsPhotosUpright_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("allowed"); // JPEG: another IDCT than ImageMagick's
    for (int o = 1; o <= 8; ++o)
        QTest::newRow(qPrintable(QString("jpg %1").arg(o))) << "jpg" << o << 12;
    // ImageMagick 6 turns TIFFs by their tag but not PNGs (their eXIf is
    // checked against Qt's turns in the photo decoders' tests).
    QTest::newRow("tif 5") << "tif" << 5 << 0;
    QTest::newRow("tif 8") << "tif" << 8 << 0;
}

// The drawn picture against ImageMagick's -auto-orient of the same file
// tagged by exiftool.
void TestAdvImage::drawsPhotosUpright()
{
    QFETCH(QString, extension);
    QFETCH(int, orientation);
    QFETCH(int, allowed);
    if (QStandardPaths::findExecutable("exiftool").isEmpty() ||
        QStandardPaths::findExecutable("convert").isEmpty())
        QSKIP("exiftool or ImageMagick is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath("photo." + extension);
    QVERIFY(AsymmetricPicture(60, 40).save(path, nullptr, 95));
    QVERIFY(RunTool("exiftool",
                    {"-q", "-n", QString("-Orientation=%1").arg(orientation), "-overwrite_original", path}));
    const QString reference = dir.filePath("reference.png");
    QVERIFY(RunTool("convert", {path, "-auto-orient", reference}));
    SetMoreFormatsEnabled(true);
    TAdvImage image;
    image.resize(80, 80);
    QVERIFY(Load(image, path));
    SetMoreFormatsEnabled(false);
    const QImage expected(reference);
    QCOMPARE(QSize(image.PictureWidth(), image.PictureHeight()), expected.size());
    const QImage shot = image.grab().toImage().copy(QRect(QPoint(0, 0), expected.size()));
    const int difference = LargestDifference(shot, expected.convertToFormat(QImage::Format_RGB32));
    QVERIFY2(difference >= 0 && difference <= allowed, qPrintable(QString::number(difference)));
}

void TestAdvImage::turnUprightOff()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("photo.jpg");
    QVERIFY(AsymmetricPicture(60, 40).save(path, "JPEG", 95));
    if (!RunTool("exiftool", {"-q", "-n", "-Orientation=6", "-overwrite_original", path}))
        QSKIP("exiftool is not installed");
    TAdvImage image;
    image.SetJPEGScale(TJPEGScale::jsHalf);
    QVERIFY(Load(image, path));
    QCOMPARE(QSize(image.PictureWidth(), image.PictureHeight()), QSize(20, 30));
    TAdvImage::SetTurnUpright(false);
    QVERIFY(Load(image, path));
    TAdvImage::SetTurnUpright(true);
    QCOMPARE(QSize(image.PictureWidth(), image.PictureHeight()), QSize(30, 20));
}

QTEST_MAIN(TestAdvImage)
#include "tst_advimage.moc"
