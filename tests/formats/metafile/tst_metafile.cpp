// Metafile loading: picture sizes from the headers, refused headers and
// limits, and how the players treat unknown, truncated and damaged records.
#include "MetafileTestSupport.h"

#include <QTemporaryDir>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

TBytes EmfBody(std::initializer_list<std::int64_t> fields)
{
    TBytes body;
    for (std::int64_t v : fields)
        Put32(body, std::uint32_t(v));
    return body;
}

void Patch32(TBytes& bytes, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = std::uint8_t(v >> (8 * i));
}

TBytes Tiny24BitDib()
{
    return PackedDib(2, 2, 24, {}, {{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}});
}

} // namespace

void TestMetafile::pictureSize_data()
{
    QTest::addColumn<TBytes>("bytes");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    const TBytes twips = TWmfBuilder(true, {0, 0, 1440, 720}, 1440).Rectangle(0, 0, 10, 10).Bytes();
    QTest::newRow("placeable 1440 units per inch") << twips << 96 << 96 << 48;
    QTest::newRow("placeable at 120 dpi") << twips << 120 << 120 << 60;
    QTest::newRow("placeable rounds through 0.01 mm")
        << TWmfBuilder(true, {0, 0, 1000, 1000}, 1440).Bytes() << 96 << 67 << 67;
    QTest::newRow("placeable reversed bounds")
        << TWmfBuilder(true, {100, 50, 0, 0}, 96).Bytes() << 96 << 100 << 50;
    QTest::newRow("plain window extent")
        << TWmfBuilder(false).WindowOrg(10, 10).WindowExt(200, 100).Rectangle(10, 10, 20, 20).Bytes() << 96
        << 200 << 100;
    QTest::newRow("plain extent too large for pixels read as twips")
        << TWmfBuilder(false).WindowExt(28800, 14400).Rectangle(0, 0, 9, 9).Bytes() << 96 << 1920 << 960;
    QTest::newRow("plain without window measures what it draws")
        << TWmfBuilder(false).Rectangle(5, 5, 65, 45).Bytes() << 96 << 60 << 40;
    const TBytes inch = TEmfBuilder({0, 0, 2540, 1270}).Rectangle(0, 0, 10, 10).Bytes();
    QTest::newRow("emf frame of one inch") << inch << 96 << 96 << 48;
    QTest::newRow("emf frame at 120 dpi") << inch << 120 << 120 << 60;
    QTest::newRow("emf without frame takes its bounds")
        << TEmfBuilder({0, 0, 0, 0}).Bytes() << 96 << 101 << 101;
}

void TestMetafile::pictureSize()
{
    QFETCH(TBytes, bytes);
    QFETCH(int, dpi);
    QFETCH(int, width);
    QFETCH(int, height);
    const TMetafile mf = Load(bytes, dpi);
    QCOMPARE(mf.Width(), width);
    QCOMPARE(mf.Height(), height);
}

void TestMetafile::refusedHeader_data()
{
    QTest::addColumn<TBytes>("bytes");
    QTest::addColumn<QString>("message");
    const std::string text = "hello, this is not a picture at all";
    QTest::newRow("empty") << TBytes{} << "Not a metafile";
    QTest::newRow("text file") << TBytes(text.begin(), text.end()) << "Not a metafile";
    QTest::newRow("placeable with zero units per inch")
        << TWmfBuilder(true, {0, 0, 100, 100}, 0).Bytes() << "Invalid metafile header";
    TBytes cut = TWmfBuilder(true).Bytes();
    cut.resize(22);
    QTest::newRow("placeable without its wmf header") << cut << "Invalid metafile header";
    QTest::newRow("placeable extent too large")
        << TWmfBuilder(true, {0, 0, 30000, 30000}, 1).Bytes() << "Metafile extent too large";
    QTest::newRow("emf extent too large")
        << TEmfBuilder({0, 0, 2000000, 100}).Bytes() << "Metafile extent too large";
    TBytes shortHeader = TEmfBuilder().Bytes();
    Patch32(shortHeader, 4, 40);
    QTest::newRow("emf header size too small") << shortHeader << "Invalid metafile header";
    TBytes longHeader = TEmfBuilder().Bytes();
    Patch32(longHeader, 4, 1000000);
    QTest::newRow("emf header size past the end") << longHeader << "Invalid metafile header";
    // No frame, and a device of 1 pixel per 2147483647 mm: the bounds become
    // a frame far beyond any integer.
    QTest::newRow("emf bounds on an absurd device")
        << TEmfBuilder({0, 0, 0, 0}, 8, 1, 2147483647).Bytes() << "Metafile extent too large";
    QTest::newRow("plain wmf that draws nothing")
        << TWmfBuilder(false).Bytes() << "Metafile has no picture frame";
}

void TestMetafile::refusedHeader()
{
    QFETCH(TBytes, bytes);
    QFETCH(QString, message);
    try {
        Load(bytes);
        QFAIL("the metafile was accepted");
    } catch (const EMetafile& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

void TestMetafile::mulDivRounding_data()
{
    QTest::addColumn<qint64>("a");
    QTest::addColumn<qint64>("b");
    QTest::addColumn<qint64>("c");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("rounds up past half") << qint64(300) << qint64(200) << qint64(401) << qint64(150);
    QTest::newRow("half away from zero") << qint64(1) << qint64(1) << qint64(2) << qint64(1);
    QTest::newRow("negative half away from zero") << qint64(-3) << qint64(1) << qint64(2) << qint64(-2);
    QTest::newRow("rounds down below half") << qint64(4) << qint64(1) << qint64(3) << qint64(1);
    QTest::newRow("no overflow in the product")
        << qint64(3000000000) << qint64(3000000000) << qint64(3000000000) << qint64(3000000000);
}

void TestMetafile::mulDivRounding()
{
    QFETCH(qint64, a);
    QFETCH(qint64, b);
    QFETCH(qint64, c);
    QTEST(qint64(MulDiv(a, b, c)), "expected");
}

void TestMetafile::loadFromFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("clip.WMF");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const TBytes bytes = TWmfBuilder(true, {0, 0, 1440, 1440}, 1440).Rectangle(0, 0, 9, 9).Bytes();
    file.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    file.close();
    const TMetafile mf = TMetafile::FromFile(path.toStdString());
    QCOMPARE(mf.Kind(), TMetafileKind::PlaceableWmf);
    QCOMPARE(mf.Width(), 96);
    const std::string missing = dir.filePath("missing.emf").toStdString();
    try {
        TMetafile::FromFile(missing);
        QFAIL("a missing file loaded");
    } catch (const EMetafile& e) {
        QCOMPARE(std::string(e.what()), "Cannot open file " + missing);
    }
}

void TestMetafile::unknownRecordSkipped_data()
{
    QTest::addColumn<TBytes>("bytes");
    QTest::newRow("wmf")
        << TWmfBuilder(true).Rectangle(0, 0, 5, 5).Rec(0x0999, {1, 2, 3}).Rectangle(5, 5, 9, 9).Bytes();
    QTest::newRow("emf")
        << TEmfBuilder().Rectangle(0, 0, 5, 5).Rec(200, {1, 2, 3}).Rectangle(5, 5, 9, 9).Bytes();
}

void TestMetafile::unknownRecordSkipped()
{
    QFETCH(TBytes, bytes);
    TMfPlayResult result;
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100, &result);
    QCOMPARE(result.Unknown, std::size_t(1));
    QCOMPARE(result.Malformed, std::size_t(0));
    QVERIFY(result.ReachedEnd);
    QCOMPARE(canvas.Paths.size(), std::size_t(2));
}

void TestMetafile::truncatedRecordStops_data()
{
    QTest::addColumn<TBytes>("bytes");
    QTest::addColumn<bool>("truncated");
    QTest::addColumn<int>("paths");
    const TBytes wmfPastEnd{0xE8, 0x03, 0, 0, 0x1B, 0x04, 1, 0, 2, 0}; // 1000 words, 10 bytes present
    QTest::newRow("wmf record runs past the end")
        << TWmfBuilder(true).Rectangle(0, 0, 5, 5).Append(wmfPastEnd).Bytes(false) << true << 1;
    const TBytes wmfTooSmall{2, 0, 0, 0, 0x1B, 0x04};
    QTest::newRow("wmf record smaller than its header")
        << TWmfBuilder(true).Rectangle(0, 0, 5, 5).Append(wmfTooSmall).Rectangle(5, 5, 9, 9).Bytes() << true
        << 1;
    QTest::newRow("wmf half a record header at the end")
        << TWmfBuilder(true).Rectangle(0, 0, 5, 5).Append({1, 2, 3}).Bytes(false) << true << 1;
    QTest::newRow("wmf ends without end record")
        << TWmfBuilder(true).Rectangle(0, 0, 5, 5).Bytes(false) << false << 1;
    TBytes emfPastEnd = EmfBody({43, 1000, 0, 0});
    QTest::newRow("emf record runs past the end")
        << TEmfBuilder().Rectangle(0, 0, 5, 5).Append(emfPastEnd).Bytes(false) << true << 1;
    QTest::newRow("emf record smaller than its header")
        << TEmfBuilder().Rectangle(0, 0, 5, 5).Append(EmfBody({43, 4})).Rectangle(5, 5, 9, 9).Bytes() << true
        << 1;
}

void TestMetafile::truncatedRecordStops()
{
    QFETCH(TBytes, bytes);
    QFETCH(bool, truncated);
    QFETCH(int, paths);
    TMfPlayResult result;
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100, &result);
    QCOMPARE(result.Truncated, truncated);
    QVERIFY(!result.ReachedEnd);
    QCOMPARE(int(canvas.Paths.size()), paths);
}

void TestMetafile::malformedRecordSkipped_data()
{
    QTest::addColumn<TBytes>("bytes");
    auto wmf = [](std::uint16_t function, std::initializer_list<int> words) {
        return TWmfBuilder(true).Rec(function, words).Rectangle(0, 0, 5, 5).Bytes();
    };
    auto emf = [](std::uint32_t type, std::initializer_list<std::int64_t> fields) {
        return TEmfBuilder().Rec(type, fields).Rectangle(0, 0, 5, 5).Bytes();
    };
    QTest::newRow("wmf polygon count past the record") << wmf(0x0324, {100, 0, 0, 5, 0, 5, 5});
    QTest::newRow("wmf negative polygon count") << wmf(0x0324, {-1, 0, 0});
    QTest::newRow("wmf text length past the record") << wmf(0x0521, {50, 0x4241, 0, 0});
    QTest::newRow("wmf polypolygon counts past the record") << wmf(0x0538, {2, 3, 300, 0, 0, 1, 1, 2, 2});
    QTest::newRow("wmf rectangle missing coordinates") << wmf(0x041B, {5, 5});
    QTest::newRow("emf polyline count past the record") << emf(87, {0, 0, 9, 9, 1000, 0x00050005});
    QTest::newRow("emf polygon count overflowing") << emf(3, {0, 0, 9, 9, 0xFFFFFFFF, 1, 1});
    QTest::newRow("emf polypolygon counts exceed the points")
        << emf(91, {0, 0, 9, 9, 2, 3, 2, 2, 0x00010001, 0x00020002, 0x00030003});
    QTest::newRow("emf polypolygon count past the record") << emf(91, {0, 0, 9, 9, 0xFFFFFFFF, 3, 2});
    QTest::newRow("emf text offset past the record")
        << emf(84, {0, 0, 0, 0, 1, 0, 0, 5, 5, 2, 5000, 0, 0, 0, 0, 0, 0});
    QTest::newRow("emf bitmap range past the record")
        << emf(81, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 80, 40, 120, 100000, 0, 0xCC0020, 1, 1});
    QTest::newRow("emf clip region count past the record") << emf(75, {32, 5, 32, 1, 1000, 16, 0, 0, 9, 9});
}

void TestMetafile::malformedRecordSkipped()
{
    QFETCH(TBytes, bytes);
    TMfPlayResult result;
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100, &result);
    QCOMPARE(result.Malformed, std::size_t(1));
    QVERIFY(result.ReachedEnd);
    QCOMPARE(canvas.Paths.size(), std::size_t(1)); // the rectangle after the damaged record
    QVERIFY(canvas.Texts.empty());
    QVERIFY(canvas.Images.empty());
}

void TestMetafile::refusedBitmap_data()
{
    QTest::addColumn<TBytes>("dib");
    const std::vector<std::uint32_t> mono{0x000000, 0xFFFFFF};
    QTest::newRow("bit count 2") << PackedDib(2, 2, 2, {0, 1, 2, 3}, {{0}, {0}});
    TBytes jpeg = PackedDib(2, 2, 24, {}, {{0}, {0}});
    jpeg[16] = 4;
    QTest::newRow("jpeg compressed") << jpeg;
    TBytes topDownRle = PackedDib(2, -2, 8, mono, {{2, 1, 0, 1}});
    topDownRle[16] = 1;
    QTest::newRow("run-length stored top-down") << topDownRle;
    TBytes cutRle = PackedDib(4, 2, 8, mono, {{0, 5, 1, 1}}); // a literal run of 5 with 2 bytes present
    cutRle[16] = 1;
    QTest::newRow("run-length literal past the end") << cutRle;
    TBytes bombRle = PackedDib(4096, 4096, 8, mono, {{0, 1}});
    bombRle[16] = 1;
    QTest::newRow("run-length size beyond what its data can describe") << bombRle;
    QTest::newRow("palette larger than the bit count allows") << PackedDib(2, 2, 1, {0, 1, 2}, {{0}, {0}}, 3);
    QTest::newRow("rows shorter than declared") << PackedDib(4, 4, 24, {}, {TBytes(12), TBytes(12)});
    QTest::newRow("huge declared size") << PackedDib(100000, 100000, 1, mono, {{0}});
    QTest::newRow("pixel count over the limit") << PackedDib(8192, 4096, 1, mono, {{0}});
    QTest::newRow("zero width") << PackedDib(0, 2, 24, {}, {{0}, {0}});
    TBytes oddHeader = Tiny24BitDib();
    oddHeader[0] = 20;
    QTest::newRow("unknown header size") << oddHeader;
}

void TestMetafile::refusedBitmap()
{
    QFETCH(TBytes, dib);
    TMfPlayResult result;
    const TBytes bytes =
        TWmfBuilder(true).StretchDib({0, 0, 10, 10}, {0, 0, 2, 2}, dib).Rectangle(0, 0, 5, 5).Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100, &result);
    QVERIFY(canvas.Images.empty());
    QCOMPARE(result.Malformed, std::size_t(1));
    QCOMPARE(canvas.Paths.size(), std::size_t(1));
}

void TestMetafile::wmfObjectSlots()
{
    // Three slots: each creation takes the lowest free one.
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 100}, 96, 3)
                             .Pen(0, 1, Rgb(255, 0, 0)) // slot 0
                             .Brush(0, Rgb(0, 255, 0))  // slot 1
                             .Pen(0, 1, Rgb(0, 0, 255)) // slot 2
                             .Delete(0)
                             .Brush(0, Rgb(255, 255, 0)) // slot 0 again
                             .Pen(0, 1, Rgb(9, 9, 9))    // table full: dropped
                             .Select(0)
                             .Select(2)
                             .Select(7) // no such slot
                             .Delete(1)
                             .Select(1) // deleted
                             .Rectangle(0, 0, 10, 10)
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Paths.size(), std::size_t(1));
    QCOMPARE(canvas.Paths[0].Pen.Color, (TMfColor{0, 0, 255}));
    QCOMPARE(canvas.Paths[0].Brush.Color, (TMfColor{255, 255, 0}));
    QCOMPARE(canvas.Paths[0].Brush.Style, TMfBrushStyle::Solid);
}

void TestMetafile::wmfLowestFreeSlotFirst()
{
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 100}, 96, 3)
                             .Pen(0, 1, 0)
                             .Pen(0, 1, 0)
                             .Pen(0, 1, 0)
                             .Delete(2)
                             .Delete(0)
                             .Delete(0)                // already free
                             .Brush(0, Rgb(255, 0, 0)) // slot 0
                             .Brush(0, Rgb(0, 0, 255)) // slot 2
                             .Select(2)
                             .Rectangle(0, 0, 9, 9)
                             .Select(0)
                             .Rectangle(0, 0, 9, 9)
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Paths.size(), std::size_t(2));
    QCOMPARE(canvas.Paths[0].Brush.Color, (TMfColor{0, 0, 255}));
    QCOMPARE(canvas.Paths[1].Brush.Color, (TMfColor{255, 0, 0}));
}

void TestMetafile::clipLimits()
{
    // A clip path over the point limit is not taken; an unchanged clip is
    // not handed to the canvas again.
    TBytes polyline;
    for (int i = 0; i < 4; ++i)
        Put32(polyline, 0);
    const int count = int(MetafileLimits::kMaxClipPoints) + 10;
    Put32(polyline, std::uint32_t(count));
    for (int i = 0; i < count; ++i)
        Put16(polyline, std::uint32_t(i % 90)), Put16(polyline, std::uint32_t(i % 7));
    const TBytes bytes = TEmfBuilder()
                             .Rec(33, {}) // SaveDC
                             .Rec(34, {-1})
                             .Rec(59, {})
                             .Raw(89, polyline) // PolylineTo16
                             .Rec(60, {})
                             .Rec(67, {1}) // SelectClipPath, RGN_AND
                             .Rec(30, {0, 0, 50, 50})
                             .Rec(33, {})
                             .Rec(34, {-1})
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 96, 96);
    QCOMPARE(canvas.Clips.size(), std::size_t(1));
    QCOMPARE(canvas.Clips[0].size(), std::size_t(1));
    QCOMPARE(canvas.Clips[0][0].Points.size(), std::size_t(4));
}

void TestMetafile::emfStockAndSlotObjects()
{
    const TBytes bytes = TEmfBuilder()
                             .Brush(1, 0, Rgb(255, 0, 0))
                             .Brush(0, 0, Rgb(0, 255, 0)) // slot 0 is the metafile itself
                             .Brush(8, 0, Rgb(0, 0, 255)) // past the 8 handles
                             .Select(0x80000005)          // NULL_BRUSH
                             .Select(0x80000008)          // NULL_PEN
                             .Rectangle(0, 0, 10, 10)
                             .Select(0)
                             .Select(8)
                             .Select(0x80000007) // BLACK_PEN
                             .Select(1)
                             .Rectangle(0, 0, 10, 10)
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Paths.size(), std::size_t(2));
    QCOMPARE(canvas.Paths[0].Brush.Style, TMfBrushStyle::Null);
    QCOMPARE(canvas.Paths[0].Pen.Style, TMfPenStyle::Null);
    QCOMPARE(canvas.Paths[1].Brush.Style, TMfBrushStyle::Solid);
    QCOMPARE(canvas.Paths[1].Brush.Color, (TMfColor{255, 0, 0}));
    QCOMPARE(canvas.Paths[1].Pen.Style, TMfPenStyle::Solid);
    QCOMPARE(canvas.Paths[1].Pen.Color, (TMfColor{0, 0, 0}));
}

void TestMetafile::saveAndRestore()
{
    const TBytes bytes = TWmfBuilder(true, {0, 0, 100, 100})
                             .Pen(0, 1, Rgb(255, 0, 0))
                             .Pen(0, 1, Rgb(0, 0, 255))
                             .Pen(0, 1, Rgb(0, 255, 0))
                             .Select(0)
                             .Rec(0x001E, {}) // SaveDC: red, origin 0
                             .Select(1)
                             .WindowOrg(50, 0)
                             .Rec(0x001E, {}) // SaveDC: blue, origin 50
                             .Select(2)
                             .Rec(0x0127, {-2}) // back to red, origin 0
                             .Rectangle(10, 10, 20, 20)
                             .Rec(0x0127, {-1}) // nothing left to restore: ignored
                             .Rec(0x0127, {5})
                             .Rectangle(10, 10, 20, 20)
                             .Bytes();
    const TRecordingCanvas canvas = PlayOn(bytes, 100, 100);
    QCOMPARE(canvas.Paths.size(), std::size_t(2));
    for (const TPathCall& call : canvas.Paths) {
        QCOMPARE(call.Pen.Color, (TMfColor{255, 0, 0}));
        QVERIFY(Near(call.Path.Points[0], 10, 10));
    }
}

QTEST_GUILESS_MAIN(TestMetafile)
