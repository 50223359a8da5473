// Metafile drawing: where shapes, text and bitmaps land on the canvas for the
// records clip art uses, under the WMF window and the EMF mapping modes and
// world transform.
#include "MetafileTestSupport.h"

using namespace quorvane;
using namespace quorvane::testing;

namespace {

TBytes Floats(std::initializer_list<float> values, std::initializer_list<std::uint32_t> tail = {})
{
    TBytes body;
    for (float f : values)
        PutF32(body, f);
    for (std::uint32_t v : tail)
        Put32(body, v);
    return body;
}

TBytes Tiny24BitDib()
{
    return PackedDib(2, 2, 24, {}, {{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}});
}

constexpr std::uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu,
                        kBlack = 0xFF000000u;

int CountOps(const TMfPath& path, TMfPathOp op)
{
    return int(std::count(path.Ops.begin(), path.Ops.end(), op));
}

} // namespace

void TestMetafile::wmfRectangleFillsFrame()
{
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 50}, 96)
                             .Brush(0, Rgb(255, 0, 0))
                             .Select(0)
                             .Rectangle(10, 10, 50, 40)
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 200, 100);
    QCOMPARE(canvas.Paths.size(), std::size_t(1));
    const TPathCall& call = canvas.Paths[0];
    QCOMPARE(call.Path.Points.size(), std::size_t(4));
    QVERIFY(Near(call.Path.Points[0], 20, 20));
    QVERIFY(Near(call.Path.Points[1], 100, 20));
    QVERIFY(Near(call.Path.Points[2], 100, 80));
    QVERIFY(Near(call.Path.Points[3], 20, 80));
    QCOMPARE(call.Path.Ops.back(), TMfPathOp::Close);
    QCOMPARE(call.Brush.Color, (TMfColor{255, 0, 0}));
    QCOMPARE(call.Pen.Style, TMfPenStyle::Solid);
}

void TestMetafile::wmfWindowMapping()
{
    // A window with y growing upwards, then moved 10 units right.
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 100})
                             .WindowOrg(100, 100)
                             .WindowExt(200, -200)
                             .Rectangle(100, 100, 300, -100)
                             .Rec(0x020F, {0, 10})
                             .Rectangle(100, 100, 300, -100)
                             .Rec(0x0410, {1, 2, 1, 2}) // ScaleWindowExt by 2 in both directions
                             .Rectangle(110, 100, 310, -100)
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Paths.size(), std::size_t(3));
    const TMfBox first = BoundsOf(canvas.Paths[0].Path);
    QVERIFY(Near({first.Left, first.Top}, 0, 0) && Near({first.Right, first.Bottom}, 100, 100));
    const TMfBox moved = BoundsOf(canvas.Paths[1].Path);
    QVERIFY(Near({moved.Left, moved.Top}, -5, 0) && Near({moved.Right, moved.Bottom}, 95, 100));
    const TMfBox scaled = BoundsOf(canvas.Paths[2].Path);
    QVERIFY(Near({scaled.Left, scaled.Top}, 0, 0) && Near({scaled.Right, scaled.Bottom}, 50, 50));
}

void TestMetafile::plainWmfWithoutExtent()
{
    // No window extent: the picture is what it draws, measured after the
    // window origin the metafile itself sets.
    const TBytes bytes = TWmfBuilder(false)
                             .WindowOrg(100, 100)
                             .Rectangle(150, 150, 200, 180)
                             .Rectangle(160, 160, 170, 170)
                             .Bytes();
    const TMetafile mf = Load(bytes);
    QCOMPARE(mf.Width(), 50);
    QCOMPARE(mf.Height(), 30);
    TRecordingCanvas canvas;
    mf.Play(canvas, 100, 60);
    QCOMPARE(canvas.Paths.size(), std::size_t(2));
    const TMfBox outer = BoundsOf(canvas.Paths[0].Path), inner = BoundsOf(canvas.Paths[1].Path);
    QVERIFY(Near({outer.Left, outer.Top}, 0, 0) && Near({outer.Right, outer.Bottom}, 100, 60));
    QVERIFY(Near({inner.Left, inner.Top}, 20, 20) && Near({inner.Right, inner.Bottom}, 40, 40));
}

void TestMetafile::emfMapping_data()
{
    QTest::addColumn<TBytes>("bytes");
    QTest::addColumn<double>("canvasWidth");
    QTest::addColumn<double>("canvasHeight");
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("y0");
    QTest::addColumn<double>("x2");
    QTest::addColumn<double>("y2");
    // The frame is one inch on a 96 dpi device: 96 device pixels.
    QTest::newRow("text mode") << TEmfBuilder().Rectangle(10, 20, 30, 40).Bytes() << 96.0 << 96.0 << 10.0
                               << 20.0 << 30.0 << 40.0;
    QTest::newRow("frame stretched onto the canvas")
        << TEmfBuilder().Rectangle(10, 20, 30, 40).Bytes() << 192.0 << 48.0 << 20.0 << 10.0 << 60.0 << 20.0;
    QTest::newRow("low metric turns y upwards")
        << TEmfBuilder().Rec(17, {2}).Rectangle(0, 0, 254, -254).Bytes() << 96.0 << 96.0 << 0.0 << 96.0
        << 96.0 << 0.0;
    QTest::newRow("anisotropic window and viewport") << TEmfBuilder()
                                                            .Rec(17, {8})
                                                            .Rec(9, {1000, 1000})
                                                            .Rec(11, {48, 96})
                                                            .Rec(10, {500, 0})
                                                            .Rec(12, {10, 0})
                                                            .Rectangle(500, 0, 1500, 500)
                                                            .Bytes()
                                                     << 96.0 << 96.0 << 10.0 << 0.0 << 58.0 << 48.0;
    QTest::newRow("isotropic keeps the smaller scale") << TEmfBuilder()
                                                              .Rec(17, {7})
                                                              .Rec(9, {1000, 1000})
                                                              .Rec(11, {48, 96})
                                                              .Rectangle(0, 0, 1000, 1000)
                                                              .Bytes()
                                                       << 96.0 << 96.0 << 0.0 << 0.0 << 48.0 << 48.0;
    QTest::newRow("world transform")
        << TEmfBuilder().Raw(35, Floats({2, 0, 0, 2, 5, 5})).Rectangle(10, 10, 20, 20).Bytes() << 96.0 << 96.0
        << 25.0 << 25.0 << 45.0 << 45.0;
    QTest::newRow("world transform multiplied on the left") << TEmfBuilder()
                                                                   .Raw(35, Floats({2, 0, 0, 2, 0, 0}))
                                                                   .Raw(36, Floats({1, 0, 0, 1, 10, 0}, {2}))
                                                                   .Rectangle(0, 0, 5, 5)
                                                                   .Bytes()
                                                            << 96.0 << 96.0 << 20.0 << 0.0 << 30.0 << 10.0;
    QTest::newRow("world transform reset") << TEmfBuilder()
                                                  .Raw(35, Floats({2, 0, 0, 2, 7, 7}))
                                                  .Raw(36, Floats({0, 0, 0, 0, 0, 0}, {1}))
                                                  .Rectangle(1, 2, 3, 4)
                                                  .Bytes()
                                           << 96.0 << 96.0 << 1.0 << 2.0 << 3.0 << 4.0;
    QTest::newRow("infinite world transform ignored")
        << TEmfBuilder()
               .Raw(35, Floats({std::numeric_limits<float>::infinity(), 0, 0, 1, 0, 0}))
               .Rectangle(1, 2, 3, 4)
               .Bytes()
        << 96.0 << 96.0 << 1.0 << 2.0 << 3.0 << 4.0;
}

void TestMetafile::emfMapping()
{
    QFETCH(TBytes, bytes);
    QFETCH(double, canvasWidth);
    QFETCH(double, canvasHeight);
    QFETCH(double, x0);
    QFETCH(double, y0);
    QFETCH(double, x2);
    QFETCH(double, y2);
    const TRecordingCanvas canvas = PlayOn(bytes, canvasWidth, canvasHeight);
    QCOMPARE(canvas.Paths.size(), std::size_t(1));
    const std::vector<TMfPoint>& points = canvas.Paths[0].Path.Points;
    QCOMPARE(points.size(), std::size_t(4));
    QVERIFY2(Near(points[0], x0, y0, 1e-3), qPrintable(QString("%1,%2").arg(points[0].X).arg(points[0].Y)));
    QVERIFY2(Near(points[2], x2, y2, 1e-3), qPrintable(QString("%1,%2").arg(points[2].X).arg(points[2].Y)));
}

void TestMetafile::penWidthAndStyle()
{
    const TBytes bytes = TEmfBuilder()
                             .Pen(1, 1, 10, Rgb(0, 0, 255))                       // dashed, 10 units
                             .Rec(95, {2, 0, 0, 0, 0, 0x11200, 4, 0, 0xFF, 0, 0}) // geometric, flat, bevel
                             .Rec(95, {3, 0, 0, 0, 0, 0x00000, 5, 0, 0xFF, 0, 0}) // cosmetic
                             .Rec(95, {4, 0, 0, 0, 0, 0x10000, 4, 1, 0xFF, 0, 0}) // null brush: no line
                             .Select(1)
                             .Rectangle(0, 0, 9, 9)
                             .Select(2)
                             .Rectangle(0, 0, 9, 9)
                             .Select(3)
                             .Rectangle(0, 0, 9, 9)
                             .Select(4)
                             .Rectangle(0, 0, 9, 9)
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 192, 192); // two canvas pixels per unit
    QCOMPARE(canvas.Paths.size(), std::size_t(4));
    QCOMPARE(canvas.Paths[0].Pen.Style, TMfPenStyle::Dash);
    QCOMPARE(canvas.Paths[0].Pen.Width, 20.0);
    QCOMPARE(canvas.Paths[0].Pen.Color, (TMfColor{0, 0, 255}));
    QCOMPARE(canvas.Paths[1].Pen.Width, 8.0);
    QCOMPARE(canvas.Paths[1].Pen.Cap, TMfLineCap::Flat);
    QCOMPARE(canvas.Paths[1].Pen.Join, TMfLineJoin::Bevel);
    QCOMPARE(canvas.Paths[1].Pen.Color, (TMfColor{255, 0, 0}));
    QCOMPARE(canvas.Paths[2].Pen.Width, 0.0);
    QCOMPARE(canvas.Paths[3].Pen.Style, TMfPenStyle::Null);
}

void TestMetafile::polygonsAndFillMode()
{
    const TBytes bytes =
        TWmfBuilder(true, {0, 0, 100, 100})
            .Rec(0x0106, {2}) // winding
            .Poly(0x0324, {10, 10, 90, 10, 50, 90})
            .Raw(0x0538,
                 [] {
                     TBytes p;
                     for (int v : {2, 4, 4, 0, 0, 40, 0, 40, 40, 0, 40, 10, 10, 20, 10, 20, 20, 10, 20})
                         Put16(p, std::uint32_t(v));
                     return p;
                 }())
            .Poly(0x0325, {0, 0, 50, 50, 100, 0})
            .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Paths.size(), std::size_t(3));
    const TPathCall& triangle = canvas.Paths[0];
    QCOMPARE(triangle.Mode, TMfFillMode::Winding);
    QCOMPARE(triangle.Path.Points.size(), std::size_t(3));
    QCOMPARE(triangle.Brush.Style, TMfBrushStyle::Solid);
    QCOMPARE(triangle.Path.Ops.back(), TMfPathOp::Close);
    const TPathCall& squares = canvas.Paths[1];
    QCOMPARE(CountOps(squares.Path, TMfPathOp::MoveTo), 2);
    QCOMPARE(CountOps(squares.Path, TMfPathOp::Close), 2);
    QVERIFY(Near(squares.Path.Points[4], 10, 10));
    const TPathCall& line = canvas.Paths[2];
    QCOMPARE(line.Brush.Style, TMfBrushStyle::Null);
    QCOMPARE(CountOps(line.Path, TMfPathOp::Close), 0);
}

void TestMetafile::arcEndpoints_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("startX");
    QTest::addColumn<int>("startY");
    QTest::addColumn<double>("firstX");
    QTest::addColumn<double>("firstY");
    QTest::addColumn<bool>("closed");
    // Box (0, 0)-(100, 100); the arc runs counter-clockwise to the top (50, 0).
    QTest::newRow("arc from the right") << 0x0817 << 100 << 50 << 100.0 << 50.0 << false;
    QTest::newRow("arc start outside the ellipse") << 0x0817 << 200 << 50 << 100.0 << 50.0 << false;
    QTest::newRow("chord") << 0x0830 << 100 << 50 << 100.0 << 50.0 << true;
    QTest::newRow("pie starts at the centre") << 0x081A << 100 << 50 << 50.0 << 50.0 << true;
    QTest::newRow("arc from the bottom") << 0x0817 << 50 << 100 << 50.0 << 100.0 << false;
}

void TestMetafile::arcEndpoints()
{
    QFETCH(int, function);
    QFETCH(int, startX);
    QFETCH(int, startY);
    QFETCH(double, firstX);
    QFETCH(double, firstY);
    QFETCH(bool, closed);
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 100})
                             .Rec(std::uint16_t(function), {0, 50, startY, startX, 100, 100, 0, 0})
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Paths.size(), std::size_t(1));
    const TPathCall& call = canvas.Paths[0];
    QVERIFY(Near(call.Path.Points.front(), firstX, firstY, 1e-9));
    QVERIFY(Near(call.Path.Points.back(), 50, 0, 1e-9));
    QCOMPARE(call.Path.Ops.back() == TMfPathOp::Close, closed);
    QCOMPARE(call.Brush.Style == TMfBrushStyle::Null, !closed);
    // Counter-clockwise from the right: the curve stays in the upper right
    // quarter. From the bottom it passes the right-hand side.
    for (const TMfPoint& p : call.Path.Points)
        QVERIFY(p.X >= 50 - 1e-9 && (startY != 50 || p.Y <= 50 + 1e-9));
}

void TestMetafile::text_data()
{
    QTest::addColumn<TBytes>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("ansi");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<int>("align"); // horizontal * 10 + vertical, as the enums count
    QTest::addColumn<double>("height");
    QTest::addColumn<bool>("cell");
    QTest::addColumn<double>("angle");
    auto wmf = [] { return TWmfBuilder(true, {0, 0, 100, 100}); };
    QTest::newRow("wmf text in windows-1252")
        << wmf().Font(-20, "Arial").Select(0).TextOut(10, 20, "caf\xe9 \x80").Bytes()
        << QString::fromUtf8("café €") << QByteArray() << 10.0 << 20.0 << 0 << 20.0 << false << 0.0;
    QTest::newRow("wmf centred on the baseline")
        << wmf().Rec(0x012E, {6 | 24}).TextOut(10, 20, "a").Bytes() << "a" << QByteArray() << 10.0 << 20.0
        << 11 << 16.0 << false << 0.0;
    QTest::newRow("wmf right and bottom")
        << wmf().Rec(0x012E, {2 | 8}).Font(30, "Arial").Select(0).TextOut(10, 20, "a").Bytes() << "a"
        << QByteArray() << 10.0 << 20.0 << 22 << 30.0 << true << 0.0;
    QTest::newRow("wmf big5 text keeps its bytes")
        << wmf().Font(-20, "MingLiU", 136).Select(0).TextOut(0, 0, "\xa4\xa4").Bytes()
        << QString::fromUtf8("¤¤") << QByteArray("\xa4\xa4") << 0.0 << 0.0 << 0 << 20.0 << false << 0.0;
    QTest::newRow("wmf escapement turns the baseline")
        << wmf().Font(-20, "Arial", 0, 900).Select(0).TextOut(0, 0, "up").Bytes() << "up" << QByteArray()
        << 0.0 << 0.0 << 0 << 20.0 << false << -90.0;
    QTest::newRow("wmf current position advances")
        << wmf().Rec(0x012E, {1}).Rec(0x0214, {50, 40}).TextOut(0, 0, "ab").TextOut(0, 0, "c").Bytes() << "c"
        << QByteArray() << 60.0 << 50.0 << 0 << 16.0 << false << 0.0;
    QTest::newRow("emf wide text") << TEmfBuilder().TextW(10, 20, u"Ωmega").Bytes()
                                   << QString::fromUtf8("Ωmega") << QByteArray() << 10.0 << 20.0 << 0 << 16.0
                                   << false << 0.0;
}

void TestMetafile::text()
{
    QFETCH(TBytes, bytes);
    QFETCH(QString, text);
    QFETCH(QByteArray, ansi);
    QFETCH(int, align);
    QFETCH(bool, cell);
    // Played at the picture's own size: one canvas pixel per picture pixel.
    const TMetafile mf = Load(bytes);
    TRecordingCanvas canvas;
    mf.Play(canvas, mf.Width(), mf.Height());
    QVERIFY(!canvas.Texts.empty());
    const TMfText& run = canvas.Texts.back();
    QCOMPARE(QString::fromStdU16String(run.Text), text);
    QCOMPARE(QByteArray::fromStdString(run.AnsiBytes), ansi);
    QTEST(run.Origin.X, "x");
    QTEST(run.Origin.Y, "y");
    QCOMPARE(int(run.HAlign) * 10 + int(run.VAlign), align);
    QTEST(run.Font.Height, "height");
    QCOMPARE(run.Font.CellHeight, cell);
    QTEST(run.Font.Angle, "angle");
}

void TestMetafile::extTextOutOpaqueAndClip()
{
    TBytes params;
    for (int v : {20, 10, 2, 0x0006, 5, 5, 60, 30}) // y, x, count, opaque | clipped, rectangle
        Put16(params, std::uint32_t(v));
    params.push_back('h');
    params.push_back('i');
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 100})
                             .Rec(0x0201, {0xFFFF, 0}) // background yellow
                             .Rec(0x0102, {1})         // transparent text cells
                             .Raw(0x0A32, params)
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Paths.size(), std::size_t(1));
    QCOMPARE(canvas.Paths[0].Brush.Color, (TMfColor{255, 255, 0}));
    QCOMPARE(canvas.Paths[0].Pen.Style, TMfPenStyle::Null);
    const TMfBox box = BoundsOf(canvas.Paths[0].Path);
    QVERIFY(Near({box.Left, box.Top}, 5, 5) && Near({box.Right, box.Bottom}, 60, 30));
    QCOMPARE(canvas.Texts.size(), std::size_t(1));
    QVERIFY(!canvas.Texts[0].Opaque);
    QCOMPARE(canvas.Clips.size(), std::size_t(2)); // set for the text, then taken away
    QCOMPARE(canvas.Clips[0].size(), std::size_t(1));
    QVERIFY(canvas.Clips[1].empty());
}

void TestMetafile::dibPixels_data()
{
    QTest::addColumn<TBytes>("dib");
    QTest::addColumn<QList<uint>>("pixels"); // top row first
    QTest::newRow("24-bit bottom-up") << Tiny24BitDib() << QList<uint>{kBlue, kWhite, kRed, kGreen};
    QTest::newRow("24-bit top-down") << PackedDib(2, -2, 24, {},
                                                  {{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}})
                                     << QList<uint>{kRed, kGreen, kBlue, kWhite};
    QTest::newRow("1-bit palette") << PackedDib(2, 2, 1, {0x000000, 0xFFFFFF}, {{0x80}, {0x40}})
                                   << QList<uint>{kBlack, kWhite, kWhite, kBlack};
    QTest::newRow("8-bit index past a short palette is black")
        << PackedDib(2, 2, 8, {0xFF0000, 0x00FF00}, {{0, 1}, {1, 5}}, 2)
        << QList<uint>{kGreen, kBlack, kRed, kGreen};
    QTest::newRow("4-bit palette") << PackedDib(2, 2, 4, {0xFF0000, 0x00FF00, 0x0000FF}, {{0x12}, {0x20}}, 3)
                                   << QList<uint>{kBlue, kRed, kGreen, kBlue};
    QTest::newRow("16-bit 5-5-5") << PackedDib(2, 2, 16, {},
                                               {{0x00, 0x7C, 0xE0, 0x03}, {0x1F, 0x00, 0xFF, 0x7F}})
                                  << QList<uint>{kBlue, kWhite, kRed, kGreen};
    const std::vector<std::uint32_t> rgb{0xFF0000, 0x00FF00, 0x0000FF};
    TBytes rle8 = PackedDib(2, 2, 8, rgb, {{2, 1, 0, 0, 0, 3, 2, 0, 1, 0, 0, 1}}, 3);
    rle8[16] = 1;
    QTest::newRow("8-bit run-length") << rle8 << QList<uint>{kBlue, kRed, kGreen, kGreen};
    TBytes rle4 = PackedDib(2, 2, 4, rgb, {{2, 0x12, 0, 0, 1, 0x20, 0, 1}}, 3);
    rle4[16] = 2;
    QTest::newRow("4-bit run-length") << rle4 << QList<uint>{kBlue, kRed, kGreen, kBlue};
    QTest::newRow("32-bit ignores the fourth byte")
        << PackedDib(2, 2, 32, {}, {{0, 0, 255, 0, 0, 255, 0, 9}, {255, 0, 0, 0, 255, 255, 255, 0}})
        << QList<uint>{kBlue, kWhite, kRed, kGreen};
}

void TestMetafile::dibPixels()
{
    QFETCH(TBytes, dib);
    QFETCH(QList<uint>, pixels);
    const TBytes bytes =
        TWmfBuilder(true, {0, 0, 100, 100}).StretchDib({0, 0, 10, 10}, {0, 0, 2, 2}, dib).Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Images.size(), std::size_t(1));
    const TMfImage& image = canvas.Images[0].Image;
    QCOMPARE(image.Width, 2);
    QCOMPARE(image.Height, 2);
    const QList<uint> actual{image.Pixel(0, 0), image.Pixel(1, 0), image.Pixel(0, 1), image.Pixel(1, 1)};
    QCOMPARE(actual, pixels);
}

void TestMetafile::dibSourceRectangle()
{
    // Source rectangles of bottom-up bitmaps count rows from the bottom.
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 100})
                             .StretchDib({10, 10, 10, 10}, {1, 0, 1, 1}, Tiny24BitDib())
                             .StretchDib({20, 10, -10, 10}, {0, 0, 2, 2}, Tiny24BitDib())
                             .StretchDib({0, 0, 40, 20}, {0, 0, 4, 2}, Tiny24BitDib())
                             .StretchDib({0, 0, 40, 20}, {5, 5, 2, 2}, Tiny24BitDib())
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Images.size(), std::size_t(3)); // the last one lies outside the bitmap
    const TMfImagePlacement& corner = canvas.Images[0].Place;
    QCOMPARE(corner.SourceX, 1);
    QCOMPARE(corner.SourceY, 1);
    QCOMPARE(canvas.Images[0].Image.Pixel(corner.SourceX, corner.SourceY), kGreen);
    QVERIFY(Near(corner.TopLeft, 10, 10) && Near(corner.TopRight, 20, 10) && Near(corner.BottomLeft, 10, 20));
    const TMfImagePlacement& mirrored = canvas.Images[1].Place;
    QVERIFY(Near(mirrored.TopLeft, 20, 10) && Near(mirrored.TopRight, 10, 10));
    const TMfImagePlacement& clamped = canvas.Images[2].Place;
    QCOMPARE(clamped.SourceWidth, 2);
    QVERIFY(Near(clamped.TopRight, 20, 0) && Near(clamped.BottomLeft, 0, 20));
}

void TestMetafile::emfStretchDiBits()
{
    const TBytes dib = Tiny24BitDib();
    const TBytes bytes = TEmfBuilder()
                             .StretchDiBits({10, 10, 20, 20}, {0, 0, 2, 2}, dib, 40)
                             .StretchDiBits({10, 10, 20, 20}, {0, 0, 2, 2}, dib, 40, 0x008800C6)
                             .StretchDiBits({10, 10, 20, 20}, {0, 0, 2, 2}, dib, 40, 0x00B8074A)
                             .Bytes();
    TMfPlayResult result;
    const TRecordingCanvas canvas = PlayOn(bytes, 96, 96, &result);
    QCOMPARE(result.Malformed, std::size_t(0));
    QCOMPARE(canvas.Images.size(), std::size_t(2)); // the third raster operation is not drawn
    const TMfImagePlacement& place = canvas.Images[0].Place;
    QVERIFY(Near(place.TopLeft, 10, 10) && Near(place.TopRight, 30, 10) && Near(place.BottomLeft, 10, 30));
    QCOMPARE(canvas.Images[0].Rop, TMfRop::Copy);
    QCOMPARE(canvas.Images[1].Rop, TMfRop::And);
    QCOMPARE(canvas.Images[0].Image.Pixel(0, 0), kBlue);
}

void TestMetafile::emfAlphaBlend_data()
{
    QTest::addColumn<TBytes>("dib");
    QTest::addColumn<int>("constant");
    QTest::addColumn<int>("format");
    QTest::addColumn<uint>("pixel");
    QTest::newRow("premultiplied pixel alpha")
        << PackedDib(1, 1, 32, {}, {{0, 0, 128, 128}}) << 255 << 1 << uint(0x80FF0000u);
    QTest::newRow("constant alpha over an opaque bitmap")
        << PackedDib(1, 1, 24, {}, {{0, 0, 255}}) << 128 << 0 << uint(0x80FF0000u);
    QTest::newRow("both alphas") << PackedDib(1, 1, 32, {}, {{0, 0, 255, 255}}) << 51 << 1
                                 << uint(0x33FF0000u);
    QTest::newRow("transparent pixel") << PackedDib(1, 1, 32, {}, {{0, 0, 0, 0}}) << 255 << 1 << uint(0u);
}

void TestMetafile::emfAlphaBlend()
{
    QFETCH(TBytes, dib);
    QFETCH(int, constant);
    QFETCH(int, format);
    TBytes body;
    for (int v : {0, 0, 0, 0, 10, 10, 20, 20})
        Put32(body, std::uint32_t(v));
    Put32(body, std::uint32_t(constant << 16 | format << 24));
    for (int i = 0; i < 2 + 6 + 2; ++i)
        Put32(body, 0); // source origin, transform, background, usage
    for (std::uint32_t v : {108u, 40u, 148u, std::uint32_t(dib.size() - 40), 1u, 1u})
        Put32(body, v);
    body.insert(body.end(), dib.begin(), dib.end());
    const TRecordingCanvas canvas = PlayOn(TEmfBuilder().Raw(114, body).Bytes(), 96, 96);
    QCOMPARE(canvas.Images.size(), std::size_t(1));
    QTEST(uint(canvas.Images[0].Image.Pixel(0, 0)), "pixel");
    QVERIFY(Near(canvas.Images[0].Place.TopRight, 30, 10));
}

void TestMetafile::emfPathBracket()
{
    const TBytes bytes = TEmfBuilder()
                             .Rec(59, {}) // BeginPath
                             .Rec(27, {10, 10})
                             .Rec(54, {50, 10})
                             .Rec(54, {50, 50})
                             .Poly16(88, {60, 60, 70, 70, 80, 50}) // PolyBezierTo16 goes on with the figure
                             .Rec(61, {})                          // CloseFigure
                             .Rec(60, {})                          // EndPath
                             .Rec(63, {0, 0, 0, 0})                // StrokeAndFillPath
                             .Rec(59, {})
                             .Rectangle(0, 0, 5, 5)
                             .Rec(68, {}) // AbortPath
                             .Rec(62, {0, 0, 0, 0})
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 96, 96);
    QCOMPARE(canvas.Paths.size(), std::size_t(1));
    const TPathCall& call = canvas.Paths[0];
    QCOMPARE(CountOps(call.Path, TMfPathOp::MoveTo), 1);
    QCOMPARE(CountOps(call.Path, TMfPathOp::CubicTo), 1);
    QCOMPARE(call.Path.Ops.back(), TMfPathOp::Close);
    QVERIFY(Near(call.Path.Points.front(), 10, 10));
    QVERIFY(Near(call.Path.Points.back(), 80, 50));
    QCOMPARE(call.Brush.Style, TMfBrushStyle::Solid);
    QCOMPARE(call.Pen.Style, TMfPenStyle::Solid);
}

void TestMetafile::clipRectangles()
{
    const TBytes wmf = TWmfBuilder(true, {0, 0, 100, 100})
                           .Rec(0x001E, {})
                           .Rec(0x0416, {50, 50, 10, 10}) // IntersectClipRect
                           .Rectangle(0, 0, 99, 99)
                           .Rec(0x0127, {-1})
                           .Bytes();
    const TRecordingCanvas w = PlayOn(wmf, 100, 100);
    QCOMPARE(w.Clips.size(), std::size_t(2));
    QCOMPARE(w.Clips[0].size(), std::size_t(1));
    const TMfBox box = BoundsOf(w.Clips[0][0]);
    QVERIFY(Near({box.Left, box.Top}, 10, 10) && Near({box.Right, box.Bottom}, 50, 50));
    QVERIFY(w.Clips[1].empty());

    // Two region rectangles in device pixels, then the clip removed.
    const TBytes emf = TEmfBuilder()
                           .Rec(75, {64, 5, 32, 1, 2, 32, 0, 0, 20, 20, 0, 0, 10, 10, 10, 10, 20, 20})
                           .Rec(75, {0, 5})
                           .Bytes();
    const TRecordingCanvas e = PlayOn(emf, 96, 96);
    QCOMPARE(e.Clips.size(), std::size_t(2));
    QCOMPARE(e.Clips[0].size(), std::size_t(1));
    QCOMPARE(CountOps(e.Clips[0][0], TMfPathOp::MoveTo), 2);
    QVERIFY(e.Clips[1].empty());
}
