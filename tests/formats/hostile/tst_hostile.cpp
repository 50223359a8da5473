// Regression tests of the hostile inputs: each is refused, cut short by its
// budget, or decoded as far as the cost rule lets it, and the means of the
// rule (claim refusals, the GIF file budget, the metafile work and pattern
// budgets, the out-of-memory error) hold. Timings are the benchmark's.
#include "GifUnit.h"
#include "HostileInputs.h"
#include "JPEGImage.h"
#include "TMetafile.h"

#include <QtTest>
#include <jerror.h>
#include <new>
#include <set>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

// Counts what a play draws and which pattern images it saw, without copying.
class TCountingCanvas : public IMetafileCanvas {
  public:
    void DrawPath(const TMfPath&, const TMfPen&, const TMfBrush& brush, TMfFillMode) override
    {
        ++Paths;
        if (brush.Pattern) Patterns.insert(brush.Pattern.get());
        if (ThrowOnDraw) throw std::bad_alloc();
    }
    double DrawText(const TMfText&) override { return 0; }
    void DrawImage(const TMfImage&, const TMfImagePlacement&, TMfRop) override { ++Images; }
    void SetClip(const TMfClip&) override {}

    int Paths = 0, Images = 0;
    std::set<const TMfImage*> Patterns;
    bool ThrowOnDraw = false;
};

TMfPlayResult PlayAtOwnSize(const THostileBytes& bytes, TCountingCanvas& canvas)
{
    const TMetafile metafile = TMetafile::FromBytes(bytes);
    return metafile.Play(canvas, metafile.Width(), metafile.Height());
}

} // namespace

class TestHostile : public QObject {
    Q_OBJECT

  private slots:
    void gifClaimIsRefused();
    void gifLaterFramesKeepBudget();
    void jpegOfManyScansIsRefused();
    void patternDrawsStopWithTheBudget_data();
    void patternDrawsStopWithTheBudget();
    void patternMemoryIsBounded();
    void stretchedBitmapsStopWithTheBudget();
    void outOfMemoryIsTheMetafilesError();
};

void TestHostile::gifClaimIsRefused()
{
    const THostileBytes bytes = GifClaimingHugeImage();
    QCOMPARE(bytes.size(), size_t{41});
    TGifFile file;
    QVERIFY_THROWS_EXCEPTION(EGifException, file.LoadFromBytes(bytes.data(), bytes.size()));
    QCOMPARE(file.ImageCount(), size_t{0});
}

void TestHostile::gifLaterFramesKeepBudget()
{
    // Smaller than the benchmark's frames, for the sanitizer run; the first
    // image decodes in full, the others would exceed the file's budget.
    const THostileBytes bytes = GifOfHugeFrames(3, 8192);
    TGifFile file;
    file.LoadFromBytes(bytes.data(), bytes.size());
    QCOMPARE(file.ImageCount(), size_t{1});
    const TByteArray2D& pixels = file.Image(1).Pixels();
    QCOMPARE(pixels.RowCount(), size_t{8192});
    QCOMPARE(pixels.Data()[size_t{8192} * 8192 - 1], std::uint8_t{0});
}

void TestHostile::jpegOfManyScansIsRefused()
{
    TJPEGImage image;
    try {
        image.LoadFromBytes(JpegOfManyScans(100, 16384));
        QFAIL("no exception");
    } catch (const EJPEG& e) {
        QCOMPARE(e.Code(), int(JERR_IMAGE_TOO_BIG));
    }
    // The same scans at a size the data may claim decode, shown scan by scan.
    TJPEGImage small;
    small.LoadFromBytes(JpegOfManyScans(100, 1024));
    small.SetProgressiveDisplay(true);
    QCOMPARE(small.Bitmap().Width(), 1024);
    QVERIFY(small.LastOutputPasses() <= 11);
}

void TestHostile::patternDrawsStopWithTheBudget_data()
{
    QTest::addColumn<bool>("emf");
    QTest::addColumn<int>("rectangles");
    QTest::newRow("WMF, 10 rectangles") << false << 10;
    QTest::newRow("WMF, 2000 rectangles") << false << 2000;
    QTest::newRow("EMF, 2000 rectangles") << true << 2000;
}

void TestHostile::patternDrawsStopWithTheBudget()
{
    QFETCH(bool, emf);
    QFETCH(int, rectangles);
    // 1024 x 1024 here (the benchmark has 4096): each rectangle covers a
    // mebipixel, and a small file's work allows about a hundred of them.
    const int side = 1024;
    const THostileBytes bytes =
        emf ? EmfOfPatternBrushes(1, rectangles, side) : WmfOfPatternBrushes(1, rectangles, side);
    TCountingCanvas canvas;
    const TMfPlayResult result = PlayAtOwnSize(bytes, canvas);
    QCOMPARE(result.OutOfWork, rectangles > 200);
    if (result.OutOfWork)
        QVERIFY(canvas.Paths >= 50 && canvas.Paths <= 200);
    else
        QCOMPARE(canvas.Paths, rectangles + 1);
    QCOMPARE(canvas.Patterns.size(), size_t{1}); // decoded once, shared by every draw
}

void TestHostile::patternMemoryIsBounded()
{
    // 2048 x 2048 patterns of 16 MiB each; 1 MiB of padding gives the file
    // work for all of them but pattern memory for five (64 MiB + 16 MiB).
    const THostileBytes bytes = EmfOfPatternBrushes(8, 0, 2048, 1 << 20);
    TCountingCanvas canvas;
    const TMfPlayResult result = PlayAtOwnSize(bytes, canvas);
    QVERIFY(!result.OutOfWork);
    QCOMPARE(canvas.Paths, 8); // the rest with the grey stand-in
    QCOMPARE(canvas.Patterns.size(), size_t{5});
}

void TestHostile::stretchedBitmapsStopWithTheBudget()
{
    TCountingCanvas canvas;
    const TMfPlayResult result = PlayAtOwnSize(EmfOfStretchedBitmaps(200, 1024), canvas);
    QVERIFY(result.OutOfWork);
    QVERIFY(canvas.Images >= 20 && canvas.Images < 60);
    QCOMPARE(result.Malformed, size_t{0});
}

void TestHostile::outOfMemoryIsTheMetafilesError()
{
    TCountingCanvas canvas;
    canvas.ThrowOnDraw = true;
    try {
        PlayAtOwnSize(WmfOfPatternBrushes(1, 1), canvas);
        QFAIL("no exception");
    } catch (const EMetafile& e) {
        QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("Not enough memory to play the metafile"));
    }
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
