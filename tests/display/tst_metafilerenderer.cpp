// Metafiles rendered with QPainter into QImages: small pictures built record
// by record, checked at chosen pixels (antialiased edges are avoided).
#include "MetafileBuilder.h"
#include "MetafileRenderer.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

QImage Render(const TBytes& bytes, QSize size = QSize())
{
    return RenderMetafile(TMetafile::FromBytes(bytes), size, Qt::white);
}

bool Close(QRgb actual, QRgb expected, int tolerance = 8)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

QString Describe(QRgb c)
{
    return QString("rgb(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF,
               kBlack = 0xFF000000;

TWmfBuilder RedSquare()
{
    // Red square (20, 20)-(80, 80) without an outline in a 100 x 100 picture.
    return TWmfBuilder(true, {0, 0, 100, 100})
        .Brush(0, Rgb(255, 0, 0))
        .Select(0)
        .Pen(5, 0, 0)
        .Select(1)
        .Rectangle(20, 20, 80, 80);
}

// EMR_ALPHABLEND of a one-pixel red bitmap with constant alpha 128 over the
// whole 96 x 96 frame.
TBytes HalfTransparentRed()
{
    const TBytes dib = PackedDib(1, 1, 24, {}, {{0, 0, 255}});
    TBytes body;
    for (int v : {0, 0, 0, 0, 0, 0, 96, 96})
        Put32(body, std::uint32_t(v));
    Put32(body, 128u << 16);
    for (int i = 0; i < 10; ++i)
        Put32(body, 0);
    for (std::uint32_t v : {108u, 40u, 148u, std::uint32_t(dib.size() - 40), 1u, 1u})
        Put32(body, v);
    body.insert(body.end(), dib.begin(), dib.end());
    return TEmfBuilder().Raw(114, body).Bytes();
}

} // namespace

Q_DECLARE_METATYPE(quorvane::testing::TBytes)

class TestMetafileRenderer : public QObject {
    Q_OBJECT

  private slots:
    void patternBrushFillsEveryShape();
    void pixels_data();
    void pixels();
    void textDrawnBelowItsTopLeft();
    void naturalSizeFromFile();
    void drawStaysInsideTarget();
    void renderSizeRefused_data();
    void renderSizeRefused();
};

void TestMetafileRenderer::pixels_data()
{
    QTest::addColumn<TBytes>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<uint>("colour");
    const TBytes square = RedSquare().Bytes();
    QTest::newRow("rectangle inside") << square << QSize(100, 100) << QPoint(50, 50) << uint(kRed);
    QTest::newRow("rectangle outside") << square << QSize(100, 100) << QPoint(10, 50) << uint(kWhite);
    QTest::newRow("rectangle stretched inside") << square << QSize(200, 50) << QPoint(45, 25) << uint(kRed);
    QTest::newRow("rectangle stretched outside")
        << square << QSize(200, 50) << QPoint(35, 25) << uint(kWhite);
    const TBytes outlined =
        TWmfBuilder(true, {0, 0, 100, 100}).Pen(0, 6, 0).Select(0).Rectangle(20, 20, 80, 80).Bytes();
    QTest::newRow("outline drawn with the pen")
        << outlined << QSize(100, 100) << QPoint(20, 50) << uint(kBlack);
    QTest::newRow("default brush is white") << outlined << QSize(100, 100) << QPoint(50, 50) << uint(kWhite);
    const TBytes triangle = TEmfBuilder()
                                .Brush(1, 0, Rgb(0, 255, 0))
                                .Select(1)
                                .Select(0x80000008)
                                .Poly16(86, {10, 10, 90, 10, 50, 90})
                                .Bytes();
    QTest::newRow("filled polygon inside") << triangle << QSize(96, 96) << QPoint(50, 30) << uint(kGreen);
    QTest::newRow("filled polygon outside") << triangle << QSize(96, 96) << QPoint(15, 80) << uint(kWhite);
    const TBytes ellipse =
        TEmfBuilder().Brush(1, 0, Rgb(0, 0, 255)).Select(1).Select(0x80000008).Ellipse(0, 0, 96, 96).Bytes();
    QTest::newRow("ellipse centre") << ellipse << QSize(96, 96) << QPoint(48, 48) << uint(kBlue);
    QTest::newRow("ellipse corner") << ellipse << QSize(96, 96) << QPoint(4, 4) << uint(kWhite);
    const TBytes bitmap =
        TWmfBuilder(true, {0, 0, 100, 100})
            .StretchDib({0, 0, 100, 100}, {0, 0, 2, 2},
                        PackedDib(2, 2, 24, {}, {{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}}))
            .Bytes();
    QTest::newRow("stretched bitmap top left") << bitmap << QSize(100, 100) << QPoint(25, 25) << uint(kBlue);
    QTest::newRow("stretched bitmap top right")
        << bitmap << QSize(100, 100) << QPoint(75, 25) << uint(kWhite);
    QTest::newRow("stretched bitmap bottom left")
        << bitmap << QSize(100, 100) << QPoint(25, 75) << uint(kRed);
    QTest::newRow("stretched bitmap bottom right")
        << bitmap << QSize(200, 200) << QPoint(150, 150) << uint(kGreen);
    // A mask ANDed over green: black where the mask is black, green where white.
    const TBytes masked = TWmfBuilder(true, {0, 0, 100, 100})
                              .Brush(0, Rgb(0, 255, 0))
                              .Select(0)
                              .Pen(5, 0, 0)
                              .Select(1)
                              .Rectangle(0, 0, 100, 100)
                              .StretchDib({0, 0, 100, 100}, {0, 0, 2, 1},
                                          PackedDib(2, 1, 1, {0x000000, 0xFFFFFF}, {{0x40}}), 0x008800C6)
                              .Bytes();
    QTest::newRow("and mask black half") << masked << QSize(100, 100) << QPoint(25, 50) << uint(kBlack);
    QTest::newRow("and mask white half") << masked << QSize(100, 100) << QPoint(75, 50) << uint(kGreen);
    QTest::newRow("alpha blended over white")
        << HalfTransparentRed() << QSize(96, 96) << QPoint(48, 48) << uint(0xFFFF7F7F);
    const TBytes clipped = RedSquare().Rec(0x0416, {100, 50, 0, 0}).Rectangle(0, 0, 100, 100).Bytes();
    QTest::newRow("clip keeps the left half") << clipped << QSize(100, 100) << QPoint(25, 90) << uint(kRed);
    QTest::newRow("clip spares the right half")
        << clipped << QSize(100, 100) << QPoint(90, 90) << uint(kWhite);
}

void TestMetafileRenderer::pixels()
{
    QFETCH(TBytes, bytes);
    QFETCH(QSize, size);
    QFETCH(QPoint, at);
    QFETCH(uint, colour);
    const QImage image = Render(bytes, size);
    QCOMPARE(image.size(), size);
    const QRgb actual = image.pixel(at);
    QVERIFY2(Close(actual, colour), qPrintable(Describe(actual) + " instead of " + Describe(colour)));
}

void TestMetafileRenderer::textDrawnBelowItsTopLeft()
{
    // Top-left alignment: the glyphs hang below and right of the reference point.
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 100})
                             .Font(-40, "DejaVu Sans")
                             .Select(0)
                             .Rec(0x0102, {1})
                             .TextOut(10, 30, "MM")
                             .Bytes();
    const QImage image = Render(bytes, QSize(100, 100));
    int inside = 0, outside = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (qGray(image.pixel(x, y)) < 128) ++(x >= 9 && y >= 29 && y <= 75 ? inside : outside);
    QVERIFY2(inside > 200, qPrintable(QString::number(inside)));
    QCOMPARE(outside, 0);
}

void TestMetafileRenderer::naturalSizeFromFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("picture.emf");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const TBytes bytes = TEmfBuilder({0, 0, 5080, 2540}).Rectangle(0, 0, 10, 10).Bytes();
    file.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    file.close();
    const QImage image = RenderMetafileFile(path);
    const int dpi = ScreenPixelsPerInch();
    QCOMPARE(image.size(), QSize(int(MulDiv(5080, dpi, 2540)), int(MulDiv(2540, dpi, 2540))));
    QVERIFY_THROWS_EXCEPTION(EMetafile, RenderMetafileFile(dir.filePath("missing.wmf")));
}

void TestMetafileRenderer::drawStaysInsideTarget()
{
    // The rectangle reaches far past the picture frame; only the target is painted.
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 100})
                             .Brush(0, Rgb(255, 0, 0))
                             .Select(0)
                             .Rectangle(-500, -500, 600, 600)
                             .Bytes();
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawMetafile(painter, TMetafile::FromBytes(bytes), QRectF(50, 50, 40, 40));
    painter.end();
    QCOMPARE(image.pixel(70, 70), kRed);
    QCOMPARE(image.pixel(45, 70), kWhite);
    QCOMPARE(image.pixel(95, 95), kWhite);
}

void TestMetafileRenderer::renderSizeRefused_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("side too long") << QSize(100000, 10);
    QTest::newRow("too many pixels") << QSize(16384, 16384);
}

void TestMetafileRenderer::renderSizeRefused()
{
    QFETCH(QSize, size);
    const TMetafile mf = TMetafile::FromBytes(RedSquare().Bytes());
    try {
        RenderMetafile(mf, size);
        QFAIL("the size was accepted");
    } catch (const EMetafile& e) {
        QCOMPARE(QString(e.what()), QString("Metafile render size too large"));
    }
}

void TestMetafileRenderer::patternBrushFillsEveryShape()
{
    // A 2 x 2 pattern (red, blue over blue, red) used by two rectangles.
    const TBytes dib = PackedDib(2, 2, 24, {}, {{255, 0, 0, 0, 0, 255}, {0, 0, 255, 255, 0, 0}});
    TBytes params;
    Put16(params, 5), Put16(params, 0);
    params.insert(params.end(), dib.begin(), dib.end());
    TWmfBuilder wmf(true, {0, 0, 40, 20});
    wmf.Raw(0x0142, params).Select(0).Pen(5, 0, 0).Select(1).Rectangle(0, 0, 20, 20).Rectangle(20, 0, 40, 20);
    QImage image(40, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QTransform before = painter.transform();
    DrawMetafile(painter, TMetafile::FromBytes(wmf.Bytes()), QRectF(0, 0, 40, 20));
    QCOMPARE(painter.transform(), before); // the painter's state is restored
    painter.end();
    // Both rectangles show the pattern's two colours, tiled.
    for (int x0 : {4, 24}) {
        const QRgb a = image.pixel(x0, 4), b = image.pixel(x0 + 1, 4), c = image.pixel(x0, 5);
        QVERIFY2(Close(a, kRed) || Close(a, kBlue), qPrintable(Describe(a)));
        QVERIFY2(!Close(a, b) && Close(b, c), qPrintable(Describe(a) + Describe(b) + Describe(c)));
    }
}

QTEST_MAIN(TestMetafileRenderer)
#include "tst_metafilerenderer.moc"
