// Tests of how TJPEGImage fails: empty and damaged files, errors at each
// stage of a decode (header, start, inside the rows, end of a buffered
// pass), refused decompression bombs, truncated files that still decode,
// the progress monitor's throttle and a listener that cancels.
#include "JPEGImage.h"
#include "JpegFixtures.h"

#include <QTest>
#include <cstdio> // jerror.h's codes need jpeglib.h, which needs FILE
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>
#include <stdexcept>

using namespace quorvane;
using namespace quorvane::test;

Q_DECLARE_METATYPE(quorvane::test::Bytes)

namespace {

FixtureRecipe Pattern(int width, int height, bool progressive)
{
    FixtureRecipe recipe;
    recipe.Width = width;
    recipe.Height = height;
    recipe.Quality = 90;
    recipe.Progressive = progressive;
    recipe.Pixel = [](int x, int y, std::uint8_t* out) {
        out[0] = static_cast<std::uint8_t>(x * 5 + 20);
        out[1] = static_cast<std::uint8_t>(y * 3 + 40);
        out[2] = static_cast<std::uint8_t>((x ^ y) | 64);
    };
    return recipe;
}

FixtureRecipe GreyScans(int scans)
{
    FixtureRecipe recipe;
    recipe.Kind = FixtureKind::Grey;
    recipe.Width = 64;
    recipe.Height = 64;
    recipe.ScanCount = scans;
    recipe.Pixel = [](int x, int y, std::uint8_t* out) {
        *out = static_cast<std::uint8_t>(x * 4 + (y % 7) * 9);
    };
    return recipe;
}

// Runs f, which must throw EJPEG; returns its code (-1 when it did not throw).
template <typename F> int JpegErrorOf(F&& f)
{
    try {
        f();
    } catch (const EJPEG& e) {
        if (QString(e.what()) != QString("JPEG error #%1").arg(e.Code())) return -2;
        return e.Code();
    }
    return -1;
}

bool RowIsZero(const TJPEGBitmap& bitmap, int y)
{
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (size_t i = 0; i < bitmap.RowBytes(); ++i)
        if (row[i] != 0) return false;
    return true;
}

// Counts decodes (their starting reports) and fires progress on every call.
struct DecodeCounter {
    int Starts = 0;
    std::int64_t Now = 0;
    void Attach(TJPEGImage& image)
    {
        image.SetProgressClock([this] { return Now += 1000; });
        image.SetOnProgress([this](TProgressStage stage, int, bool, const TJPEGRect&) {
            if (stage == TProgressStage::psStarting) ++Starts;
        });
    }
};

} // namespace

class TestJpegErrors : public QObject {
    Q_OBJECT

  private slots:
    void emptyFileRaisesEmptyInput();
    void headerErrorsAtLoad_data();
    void headerErrorsAtLoad();
    void errorAtStartKeepsEmptyBitmap();
    void errorInsideRowsKeepsRowsDone();
    void errorAtEndOfBufferedPass();
    void bombsAreRefused_data();
    void bombsAreRefused();
    void earlyPassesAreBounded_data();
    void earlyPassesAreBounded();
    void scanLimit_data();
    void scanLimit();
    void memoryLimit();
    void truncatedFileDecodes_data();
    void truncatedFileDecodes();
    void progressThrottle();
    void listenerCancelsQuietly();
    void reusedMemoryShowsNoOldPicture();
};

void TestJpegErrors::emptyFileRaisesEmptyInput()
{
    TJPEGImage image;
    image.LoadFromBytes({}); // loading reads no header when there are no bytes
    QCOMPARE(image.Width(), 0);
    QCOMPARE(JpegErrorOf([&] { image.Bitmap(); }), int(JERR_INPUT_EMPTY));
    image.SetScale(TJPEGScale::jsHalf);
    QCOMPARE(image.Width(), 0);
}

void TestJpegErrors::headerErrorsAtLoad_data()
{
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<int>("code");
    QTest::newRow("not a JPEG") << Bytes{'h', 'e', 'l', 'l', 'o'} << int(JERR_NO_SOI);
    QTest::newRow("tables only, no image") << Bytes{0xFF, 0xD8, 0xFF, 0xD9} << int(JERR_NO_IMAGE);
    const Bytes good = MakeJpeg(Pattern(16, 16, false));
    QTest::newRow("cut inside the header") << Bytes(good.begin(), good.begin() + 30) << int(JERR_NO_IMAGE);
    Bytes badPrecision = good;
    badPrecision[FindMarker(good, 0xC0) + 4] = 3;
    QTest::newRow("bad sample precision") << badPrecision << int(JERR_BAD_PRECISION);
}

void TestJpegErrors::headerErrorsAtLoad()
{
    QFETCH(Bytes, bytes);
    QFETCH(int, code);
    TJPEGImage image;
    QCOMPARE(JpegErrorOf([&] { image.LoadFromBytes(bytes); }), code);
    QCOMPARE(image.Data()->Bytes.size(), bytes.size()); // the holder keeps the bytes
}

void TestJpegErrors::errorAtStartKeepsEmptyBitmap()
{
    // The header reads without quantisation tables; the decode's start needs them.
    TJPEGImage image;
    image.LoadFromBytes(WithoutQuantTables(MakeJpeg(Pattern(16, 16, false))));
    QCOMPARE(image.Width(), 16);
    DecodeCounter counter;
    counter.Attach(image);
    QCOMPARE(JpegErrorOf([&] { image.Bitmap(); }), int(JERR_NO_QUANT_TABLE));
    QVERIFY(image.DecodedBitmap() && image.DecodedBitmap()->Empty());
    QCOMPARE(JpegErrorOf([&] { image.Bitmap(); }), -1); // no second attempt
    QCOMPARE(counter.Starts, 1);
}

void TestJpegErrors::errorInsideRowsKeepsRowsDone()
{
    TJPEGImage image;
    image.LoadFromBytes(MakeJpeg(Pattern(32, 64, false)));
    std::int64_t now = 0;
    int starts = 0;
    image.SetProgressClock([&] { return now += 1000; });
    image.SetOnProgress([&](TProgressStage stage, int, bool, const TJPEGRect& r) {
        if (stage == TProgressStage::psStarting) ++starts;
        if (stage == TProgressStage::psRunning && r.Bottom >= 20) throw std::runtime_error("listener failed");
    });
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, image.Bitmap());
    const TJPEGBitmap* bitmap = image.DecodedBitmap();
    QVERIFY(bitmap && bitmap->Width() == 32 && bitmap->Height() == 64);
    QVERIFY(!RowIsZero(*bitmap, 0) && !RowIsZero(*bitmap, 19));
    QVERIFY(RowIsZero(*bitmap, 63));
    QVERIFY(&image.Bitmap() == bitmap);
    QCOMPARE(starts, 1);
}

void TestJpegErrors::errorAtEndOfBufferedPass()
{
    // The third scan's header names a component the frame does not have; it
    // is read when the second output pass finishes.
    Bytes bytes = MakeJpeg(Pattern(32, 32, true));
    const long sos = FindMarker(bytes, 0xDA, 2);
    QVERIFY(sos > 0);
    bytes[sos + 5] = 0x77;
    TJPEGImage image;
    image.LoadFromBytes(bytes);
    image.SetProgressiveDisplay(true);
    std::int64_t now = 0;
    image.SetProgressClock([&] { return now += 1000; }); // every scan is slow enough to show
    DecodeCounter counter;
    counter.Attach(image);
    QCOMPARE(JpegErrorOf([&] { image.Bitmap(); }), int(JERR_BAD_COMPONENT_ID));
    const TJPEGBitmap* bitmap = image.DecodedBitmap();
    QVERIFY(bitmap && bitmap->Width() == 32);
    // The earlier passes covered the whole picture at low quality.
    QVERIFY(!RowIsZero(*bitmap, 0) && !RowIsZero(*bitmap, 31));
    QCOMPARE(JpegErrorOf([&] { image.Bitmap(); }), -1);
    QCOMPARE(counter.Starts, 1);
}

void TestJpegErrors::bombsAreRefused_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("refused");
    QTest::newRow("60000 x 60000") << 60000 << 60000 << true;
    QTest::newRow("65535 wide") << 65535 << 16 << true;
    QTest::newRow("20000 x 20000, too many pixels") << 20000 << 20000 << true;
    QTest::newRow("16384 x 16384, more than the data can hold") << 16384 << 16384 << true;
    QTest::newRow("4096 x 4096, any data") << 4096 << 4096 << false;
    QTest::newRow("4097 x 4096, more than the data can hold") << 4097 << 4096 << true;
    QTest::newRow("65500 x 16") << 65500 << 16 << false;
}

void TestJpegErrors::bombsAreRefused()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, refused);
    for (bool progressive : {false, true}) {
        const Bytes bytes = WithFrameSize(MakeJpeg(Pattern(16, 16, progressive)), width, height);
        TJPEGImage image;
        const int code = JpegErrorOf([&] { image.LoadFromBytes(bytes); });
        QCOMPARE(code, refused ? int(JERR_IMAGE_TOO_BIG) : -1);
        if (refused) continue;
        QCOMPARE(image.Width(), width); // loaded, not decoded
        image.SetScale(TJPEGScale::jsEighth);
        QCOMPARE(image.Width(), (width + 7) / 8);
    }
}

void TestJpegErrors::earlyPassesAreBounded_data()
{
    QTest::addColumn<int>("clockStepMs");
    QTest::addColumn<int>("scans");
    QTest::addColumn<int>("minPasses");
    QTest::addColumn<int>("maxPasses");
    // Each clock reading advances by the step: slow scans are shown, at most
    // ten times, then the final pass; scans decoded in no time are shown
    // only by the final pass.
    QTest::newRow("slow, 64 scans") << 1000 << 64 << 11 << 11;
    QTest::newRow("slow, 4 scans") << 1000 << 4 << 5 << 5;
    QTest::newRow("instant, 64 scans") << 0 << 64 << 1 << 1;
}

void TestJpegErrors::earlyPassesAreBounded()
{
    QFETCH(int, clockStepMs);
    QFETCH(int, scans);
    QFETCH(int, minPasses);
    QFETCH(int, maxPasses);
    TJPEGImage image;
    image.LoadFromBytes(MakeJpeg(GreyScans(scans)));
    image.SetProgressiveDisplay(true);
    std::int64_t now = 0;
    image.SetProgressClock([&] { return now += clockStepMs; });
    const TJPEGBitmap& bitmap = image.Bitmap();
    const int passes = image.LastOutputPasses();
    QVERIFY2(passes >= minPasses && passes <= maxPasses, qPrintable(QString::number(passes)));
    // The final pass always runs: the picture equals a plain decode.
    TJPEGImage plain;
    plain.LoadFromBytes(MakeJpeg(GreyScans(scans)));
    QVERIFY(std::memcmp(bitmap.ScanLine(63), plain.Bitmap().ScanLine(63), 64) == 0);
}

void TestJpegErrors::scanLimit_data()
{
    QTest::addColumn<int>("scans");
    QTest::addColumn<bool>("progressiveDisplay");
    QTest::addColumn<bool>("refused");
    QTest::newRow("64 scans") << 64 << false << false;
    QTest::newRow("64 scans, shown scan by scan") << 64 << true << false;
    QTest::newRow("128 scans") << 128 << false << true;
    QTest::newRow("128 scans, shown scan by scan") << 128 << true << true;
}

void TestJpegErrors::scanLimit()
{
    QFETCH(int, scans);
    QFETCH(bool, progressiveDisplay);
    QFETCH(bool, refused);
    TJPEGImage image;
    image.LoadFromBytes(MakeJpeg(GreyScans(scans)));
    image.SetProgressiveDisplay(progressiveDisplay);
    QCOMPARE(JpegErrorOf([&] { image.Bitmap(); }), refused ? int(JERR_BAD_PROGRESSION) : -1);
    const TJPEGBitmap* bitmap = image.DecodedBitmap();
    QVERIFY(bitmap);
    // Refused at the start it has no rows; refused between passes it keeps them.
    QCOMPARE(bitmap->Empty(), refused && !progressiveDisplay);
}

void TestJpegErrors::memoryLimit()
{
    const Bytes bytes = MakeJpeg(Pattern(256, 256, true));
    TJPEGImage image;
    image.LoadFromBytes(bytes);
    TJPEGLimits limits;
    limits.MaxMemory = 64 * 1024; // the coefficients alone need 384 KiB
    image.SetLimits(limits);
    const int code = JpegErrorOf([&] { image.Bitmap(); });
    QVERIFY2(code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY, qPrintable(QString::number(code)));
    image.SetLimits(TJPEGLimits{});
    image.SetScale(TJPEGScale::jsHalf); // frees the failed bitmap
    QCOMPARE(image.Bitmap().Width(), 128);
}

void TestJpegErrors::truncatedFileDecodes_data()
{
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<bool>("progressiveDisplay");
    QTest::addColumn<double>("keep");
    QTest::newRow("baseline, just after the header") << false << false << 0.0;
    QTest::newRow("baseline, half") << false << false << 0.5;
    QTest::newRow("progressive, half") << true << false << 0.5;
    QTest::newRow("progressive shown scan by scan, half") << true << true << 0.5;
}

void TestJpegErrors::truncatedFileDecodes()
{
    QFETCH(bool, progressive);
    QFETCH(bool, progressiveDisplay);
    QFETCH(double, keep);
    const Bytes full = MakeJpeg(Pattern(48, 64, progressive));
    const long sos = FindMarker(full, 0xDA);
    const size_t headerEnd = static_cast<size_t>(sos) + 2 + (full[sos + 2] << 8 | full[sos + 3]);
    const size_t cut = headerEnd + static_cast<size_t>((full.size() - headerEnd) * keep);
    TJPEGImage whole;
    whole.LoadFromBytes(full);
    TJPEGImage image;
    image.LoadFromBytes(Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
    image.SetProgressiveDisplay(progressiveDisplay);
    const TJPEGBitmap& bitmap = image.Bitmap(); // no exception
    QCOMPARE(bitmap.Width(), 48);
    QCOMPARE(bitmap.Height(), 64);
    if (keep > 0 && !progressive) // the rows that had data match the whole file's
        QVERIFY(std::memcmp(bitmap.ScanLine(0), whole.Bitmap().ScanLine(0), bitmap.RowBytes()) == 0);
}

void TestJpegErrors::progressThrottle()
{
    const Bytes bytes = MakeJpeg(Pattern(64, 64, false));
    auto reports = [&](int stepMs, QList<int>* percents) {
        TJPEGImage image;
        image.LoadFromBytes(bytes);
        std::int64_t now = 0;
        int running = 0;
        QList<TProgressStage> stages;
        image.SetProgressClock([&] { return now += stepMs; });
        image.SetOnProgress([&](TProgressStage stage, int percent, bool, const TJPEGRect& r) {
            stages << stage;
            if (stage != TProgressStage::psRunning) return;
            ++running;
            if (percents) *percents << percent;
            QVERIFY(r.Left == 0 && r.Right == 64 && r.Top <= r.Bottom);
        });
        image.Bitmap();
        if (stages.first() != TProgressStage::psStarting || stages.last() != TProgressStage::psEnding)
            return -1;
        return running;
    };
    QCOMPARE(reports(0, nullptr), 0); // the clock never moves 500 ms
    QList<int> percents;
    const int every = reports(1000, &percents); // each call may report
    QVERIFY(every > 30);
    for (int i = 1; i < percents.size(); ++i)
        QVERIFY(percents[i] > percents[i - 1]);
    QVERIFY(percents.first() >= 0 && percents.last() <= 100);
    const int half = reports(499, nullptr); // 998 ms: every other call at most
    QVERIFY2(half > 0 && half <= every / 2 + 1, qPrintable(QString("%1 of %2").arg(half).arg(every)));
    const int third = reports(250, nullptr); // 500 ms is enough: every other call as well
    QCOMPARE(third, half);
    const int fewer = reports(167, nullptr); // 501 ms after three calls
    QVERIFY2(fewer > 0 && fewer <= every / 3 + 1, qPrintable(QString("%1 of %2").arg(fewer).arg(every)));
}

void TestJpegErrors::listenerCancelsQuietly()
{
    TJPEGImage image;
    image.LoadFromBytes(MakeJpeg(Pattern(32, 128, false)));
    std::int64_t now = 0;
    int starts = 0;
    int endPercent = -1;
    image.SetProgressClock([&] { return now += 1000; });
    image.SetOnProgress([&](TProgressStage stage, int percent, bool, const TJPEGRect& r) {
        if (stage == TProgressStage::psStarting) ++starts;
        if (stage == TProgressStage::psEnding) endPercent = percent;
        if (stage == TProgressStage::psRunning && r.Bottom >= 40) throw EJPEGAbort();
    });
    const TJPEGBitmap& bitmap = image.Bitmap(); // no exception
    QCOMPARE(bitmap.Height(), 128);
    QVERIFY(!RowIsZero(bitmap, 10));
    QVERIFY(RowIsZero(bitmap, 127));
    QCOMPARE(endPercent, 0);
    image.Bitmap();
    QCOMPARE(starts, 1);
}

void TestJpegErrors::reusedMemoryShowsNoOldPicture()
{
    // A large white picture's pixel memory is freed and taken again by the
    // next bitmap; the rows that decode never reaches and the padding must
    // not show the white.
    {
        TJPEGImage white;
        white.LoadFromBytes(MakeJpeg(SolidColour(1024, 1024, 255, 255, 255)));
        QCOMPARE(int(white.Bitmap().ScanLine(1000)[0]), 255);
    }
    TJPEGImage image;
    image.LoadFromBytes(MakeJpeg(SolidColour(1001, 900, 0, 0, 0)));
    std::int64_t now = 0;
    image.SetProgressClock([&] { return now += 1000; });
    image.SetOnProgress([&](TProgressStage stage, int, bool, const TJPEGRect& r) {
        if (stage == TProgressStage::psRunning && r.Bottom >= 100) throw EJPEGAbort();
    });
    const TJPEGBitmap& bitmap = image.Bitmap();
    QCOMPARE(bitmap.RowBytes(), size_t(3004));
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* row = bitmap.ScanLine(y);
        QVERIFY2(row[3003] == 0, qPrintable(QString("padding of row %1").arg(y)));
        if (y > 500) QVERIFY2(RowIsZero(bitmap, y), qPrintable(QString("row %1").arg(y)));
    }
}

QTEST_GUILESS_MAIN(TestJpegErrors)
#include "tst_jpegerrors.moc"
