// Tests of the LZW decoder: code widths, clear and end codes, bad codes, the
// full table, interlaced row order, short and overlong data, the events hook,
// and pixels compared with giflib's decoder when giflib is installed.
#include "GifUnit.h"
#include "GifWriter.h"

#include <QtTest>

#ifdef QUORVANE_HAVE_GIFLIB
#include "GiflibReference.h"
#endif

#include <cstring>

using namespace quorvane;
using namespace quorvane::testing;

Q_DECLARE_METATYPE(TBytes)

namespace {

// One image of the given size and data in a file with a 256-entry table.
TBytes OneImage(std::uint16_t width, std::uint16_t height, unsigned codeSize, const TBytes& data,
                bool interlaced = false)
{
    TGifBuilder gif;
    gif.Header().Screen(width, height, 0x07).Descriptor(width, height, interlaced ? 0x40 : 0);
    return gif.ImageData(codeSize, data).Trailer().Bytes();
}

TBytes Decode(const TBytes& file)
{
    TGifFile gif;
    gif.LoadFromBytes(file.data(), file.size());
    const TByteArray2D& p = gif.Image(1).Pixels();
    return TBytes(p.Data(), p.Data() + p.RowLength() * p.RowCount());
}

TBytes Codes(std::initializer_list<std::pair<unsigned, unsigned>> codeAndWidth)
{
    TCodePacker packer;
    for (const auto& [code, width] : codeAndWidth)
        packer.Put(code, width);
    return packer.Finish();
}

QString DecodeError(const TBytes& file)
{
    try {
        Decode(file);
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    }
    return {};
}

} // namespace

class TestGifLzw : public QObject {
    Q_OBJECT

  private slots:
    void onePixelImage();
    void codeSizeRange_data();
    void codeSizeRange();
    void roundTrip_data();
    void roundTrip();
    void codeWidthGrowsAfterTopEntry_data();
    void codeWidthGrowsAfterTopEntry();
    void streamStartingWithPixelCode();
    void firstCodeAboveTableBecomesZero();
    void rootsAboveByteUseLowBits();
    void badCodes_data();
    void badCodes();
    void fullTableDefersClearCode();
    void longestStrings();
    void interlacedRowOrder_data();
    void interlacedRowOrder();
    void shortStreamKeepsCompletedRows();
    void partialRowStaysZero();
    void dataBeyondLastRow_data();
    void dataBeyondLastRow();
    void imageWithoutDataSubBlock();
    void hookRunsAfterEachRow();
    void matchesGiflib_data();
    void matchesGiflib();
    void pixelStoreIndices_data();
    void pixelStoreIndices();
    void pixelStoreRows();
    void byteBufferCursor();
};

void TestGifLzw::onePixelImage()
{
    // clear (4), pixel 3, end (5) at 3 bits.
    QCOMPARE(Decode(OneImage(1, 1, 2, Codes({{4, 3}, {3, 3}, {5, 3}}))), TBytes{3});
}

void TestGifLzw::codeSizeRange_data()
{
    QTest::addColumn<int>("codeSize");
    QTest::addColumn<bool>("accepted");
    for (int k : {0, 1, 10, 11, 12, 255})
        QTest::addRow("k=%d refused", k) << k << false;
    for (int k : {2, 5, 8, 9})
        QTest::addRow("k=%d accepted", k) << k << true;
}

void TestGifLzw::codeSizeRange()
{
    QFETCH(int, codeSize);
    QFETCH(bool, accepted);
    const unsigned k = static_cast<unsigned>(codeSize);
    const unsigned width = std::min(k + 1, 12u);
    const TBytes data = Codes({{1u << std::min(k, 11u), width}, {1, width}});
    QCOMPARE(DecodeError(OneImage(1, 1, k, data)), accepted ? QString() : QStringLiteral("Bad code Size"));
}

void TestGifLzw::roundTrip_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("interlaced");
    QTest::newRow("2 colours 13x7") << 13 << 7 << 1 << false;
    QTest::newRow("4 colours 5x3") << 5 << 3 << 2 << false;
    QTest::newRow("16 colours interlaced 31x17") << 31 << 17 << 4 << true;
    QTest::newRow("256 colours 200x150") << 200 << 150 << 8 << false;
    QTest::newRow("256 colours interlaced 97x211") << 97 << 211 << 8 << true;
    QTest::newRow("128 colours 1x500") << 1 << 500 << 7 << false;
}

void TestGifLzw::roundTrip()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bits);
    QFETCH(bool, interlaced);
    const TBytes pixels = PatternPixels(static_cast<size_t>(width * height), bits, 11);
    const TBytes file = SimpleGif(width, height, pixels, bits, interlaced);
    QCOMPARE(Decode(file), pixels);
}

void TestGifLzw::codeWidthGrowsAfterTopEntry_data()
{
    QTest::addColumn<int>("k");
    for (int k : {2, 3, 5, 8})
        QTest::addRow("k=%d", k) << k;
}

// After a clear code, the codes up to and including the one that adds entry
// 2^(k+1) - 1 are k + 1 bits wide; the next one is k + 2 bits wide.
void TestGifLzw::codeWidthGrowsAfterTopEntry()
{
    QFETCH(int, k);
    const unsigned clear = 1u << k;
    const unsigned narrow = (2u << k) - (clear + 2) + 1;
    TCodePacker packer;
    packer.Put(clear, k + 1);
    TBytes expected;
    for (unsigned i = 0; i < narrow; ++i) {
        packer.Put(i % clear, k + 1);
        expected.push_back(static_cast<std::uint8_t>(i % clear));
    }
    packer.Put(1, k + 2);
    expected.push_back(1);
    packer.Put(clear + 1, k + 2);
    const auto size = static_cast<std::uint16_t>(expected.size());
    QCOMPARE(Decode(OneImage(size, 1, k, packer.Finish())), expected);
}

void TestGifLzw::streamStartingWithPixelCode()
{
    const TBytes pixels = PatternPixels(300, 3, 5);
    TLzwOptions options;
    options.ClearFirst = false;
    QCOMPARE(Decode(OneImage(30, 10, 3, LzwEncode(pixels, 3, options))), pixels);
    // By hand: 2, 2, then code 6 (entry "2 2") and end, k = 2.
    QCOMPARE(Decode(OneImage(4, 1, 2, Codes({{2, 3}, {2, 3}, {6, 3}, {5, 4}}))), (TBytes{2, 2, 2, 2}));
}

void TestGifLzw::firstCodeAboveTableBecomesZero()
{
    // After a clear, next code is 6: a first code of 7 is taken as pixel 0.
    QCOMPARE(Decode(OneImage(2, 1, 2, Codes({{4, 3}, {7, 3}, {3, 3}, {5, 3}}))), (TBytes{0, 3}));
}

void TestGifLzw::rootsAboveByteUseLowBits()
{
    // k = 9: clear 512, end 513; roots 300 and 511 give pixels 44 and 255.
    const TBytes data = Codes({{512, 10}, {300, 10}, {511, 10}, {513, 10}});
    QCOMPARE(Decode(OneImage(2, 1, 9, data)), (TBytes{44, 255}));
}

void TestGifLzw::badCodes_data()
{
    QTest::addColumn<TBytes>("data");
    QTest::addColumn<QString>("message");
    QTest::newRow("end right after clear") << Codes({{4, 3}, {5, 3}}) << "Bad code";
    QTest::newRow("end as first code") << Codes({{5, 3}}) << "Bad code";
    QTest::newRow("code above next") << Codes({{4, 3}, {1, 3}, {7, 3}}) << "Bad code";
    QTest::newRow("code equal to next") << Codes({{4, 3}, {1, 3}, {6, 3}, {5, 3}}) << "";
    QTest::newRow("clears only") << Codes({{4, 3}, {4, 3}, {4, 3}}) << "";
}

void TestGifLzw::badCodes()
{
    QFETCH(TBytes, data);
    QFETCH(QString, message);
    QCOMPARE(DecodeError(OneImage(3, 1, 2, data)), message);
}

void TestGifLzw::fullTableDefersClearCode()
{
    // Noise fills the 4096-entry table several times within 160 x 160 pixels.
    TBytes pixels(160 * 160);
    std::uint32_t state = 7;
    for (auto& p : pixels)
        p = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 16);
    QCOMPARE(Decode(OneImage(160, 160, 8, LzwEncode(pixels, 8))), pixels);
    // 12-bit codes go on without new entries until a clear code, or to the end.
    for (unsigned after : {0u, 1u, 700u}) {
        TLzwOptions deferred;
        deferred.ClearWhenFull = false;
        deferred.DeferredClearAfter = after;
        QCOMPARE(Decode(OneImage(160, 160, 8, LzwEncode(pixels, 8, deferred))), pixels);
    }
    // With 3-bit roots and a full table, the entries still decode as strings.
    const TBytes runs = PatternPixels(200 * 200, 3, 11);
    TLzwOptions deferred;
    deferred.ClearWhenFull = false;
    deferred.DeferredClearAfter = 300;
    QCOMPARE(Decode(OneImage(200, 200, 3, LzwEncode(runs, 3, deferred))), runs);
}

void TestGifLzw::longestStrings()
{
    // One colour: every code adds a string one pixel longer, up to the full
    // table, then again after the clear code.
    const TBytes pixels(3000 * 3000, 7);
    QCOMPARE(Decode(OneImage(3000, 3000, 3, LzwEncode(pixels, 3))), pixels);
}

void TestGifLzw::interlacedRowOrder_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("1") << 1 << QList<int>{0};
    QTest::newRow("2") << 2 << QList<int>{0, 1};
    QTest::newRow("3") << 3 << QList<int>{0, 2, 1};
    QTest::newRow("5") << 5 << QList<int>{0, 4, 2, 1, 3};
    QTest::newRow("10") << 10 << QList<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    QTest::newRow("17") << 17 << QList<int>{0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15};
}

void TestGifLzw::interlacedRowOrder()
{
    QFETCH(int, height);
    QFETCH(QList<int>, order);
    // Stream row j is filled with colour j + 1.
    TBytes stream;
    for (int j = 0; j < height; ++j)
        stream.insert(stream.end(), 3, static_cast<std::uint8_t>(j + 1));
    const TBytes pixels = Decode(OneImage(3, height, 5, LzwEncode(stream, 5), true));
    for (int j = 0; j < height; ++j)
        QCOMPARE(pixels[static_cast<size_t>(order[j]) * 3], static_cast<std::uint8_t>(j + 1));
}

void TestGifLzw::shortStreamKeepsCompletedRows()
{
    const int width = 7, height = 20;
    const TBytes pixels = PatternPixels(width * height, 4, 9);
    for (bool interlaced : {false, true}) {
        const TBytes order = interlaced ? InterlaceRows(pixels, width, height) : pixels;
        const TBytes data = LzwEncode(order, 4);
        int previousRows = -1;
        for (size_t cut = 1; cut < data.size(); ++cut) {
            const TBytes cutData(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(cut));
            const TBytes got = Decode(OneImage(width, height, 4, cutData, interlaced));
            const TBytes gotOrder = interlaced ? InterlaceRows(got, width, height) : got;
            // Stream rows 0..rows-1 are the image's; every later row is 0.
            int rows = 0;
            while (rows < height &&
                   std::equal(gotOrder.begin() + rows * width, gotOrder.begin() + (rows + 1) * width,
                              order.begin() + rows * width))
                ++rows;
            QVERIFY(
                std::all_of(gotOrder.begin() + rows * width, gotOrder.end(), [](auto p) { return p == 0; }));
            QVERIFY(rows >= previousRows);
            previousRows = rows;
        }
        QVERIFY(previousRows >= height - 2);
    }
}

void TestGifLzw::partialRowStaysZero()
{
    // Four pixels of a 3-wide image, then the end code: row 2 is not complete.
    const TBytes data = Codes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 4}, {5, 4}});
    QCOMPARE(Decode(OneImage(3, 2, 2, data)), (TBytes{1, 2, 3, 0, 0, 0}));
}

void TestGifLzw::dataBeyondLastRow_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<QString>("message");
    const QString outOfBounds = QStringLiteral("Dynamic array index out of bounds");
    QTest::newRow("one extra row") << 2 << 2 << 6 << outOfBounds;
    QTest::newRow("partial extra row") << 2 << 2 << 5 << QString();
    QTest::newRow("many extra rows") << 3 << 2 << 600 << outOfBounds;
    QTest::newRow("zero width with data") << 0 << 3 << 1 << outOfBounds;
    QTest::newRow("zero height with a row") << 4 << 0 << 4 << outOfBounds;
    QTest::newRow("zero height, less than a row") << 4 << 0 << 3 << QString();
    QTest::newRow("zero width, no pixels") << 0 << 5 << 0 << QString();
}

void TestGifLzw::dataBeyondLastRow()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, pixels);
    QFETCH(QString, message);
    const TBytes data = pixels == 0 ? Codes({{4, 3}, {4, 3}})
                                    : LzwEncode(PatternPixels(static_cast<size_t>(pixels), 2, 3), 2);
    QCOMPARE(DecodeError(OneImage(width, height, 2, data)), message);
}

void TestGifLzw::imageWithoutDataSubBlock()
{
    TGifBuilder gif;
    gif.Header().Screen(1, 1, 0).Image(1, 1, {1}, 2).Descriptor(1, 1).Raw({2, 0}).Trailer();
    TGifFile file;
    QVERIFY_THROWS_EXCEPTION(EGifListError, file.LoadFromBytes(gif.Bytes().data(), gif.Bytes().size()));
    QCOMPARE(file.ImageCount(), size_t{1});
}

void TestGifLzw::hookRunsAfterEachRow()
{
    const TBytes bytes = SimpleGif(16, 40, PatternPixels(640, 4, 2), 4, true);
    TGifFile file;
    int calls = 0;
    file.EventPump().SetInterval(std::chrono::microseconds(0));
    file.EventPump().SetHook([&] { ++calls; });
    file.LoadFromBytes(bytes.data(), bytes.size());
    QCOMPARE(calls, 40);
    // Throttled by time: a decode far shorter than an hour calls it at most once.
    calls = 0;
    file.EventPump().SetInterval(std::chrono::hours(1));
    file.LoadFromBytes(bytes.data(), bytes.size());
    QVERIFY(calls <= 1);
}

#ifdef QUORVANE_HAVE_GIFLIB
namespace {

int WriteMemory(GifFileType* gif, const GifByteType* from, int count)
{
    static_cast<TBytes*>(gif->UserData)
        ->insert(static_cast<TBytes*>(gif->UserData)->end(), from, from + count);
    return count;
}

// A file written by giflib's own encoder (rows in stream order).
TBytes GiflibEncode(int width, int height, int bits, const TBytes& streamRows, bool interlaced)
{
    TBytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteMemory, &error);
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, bits, 0, map);
    EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr);
    for (int y = 0; y < height; ++y)
        EGifPutLine(gif, const_cast<GifByteType*>(streamRows.data()) + y * width, width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

} // namespace
#endif

void TestGifLzw::matchesGiflib_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("interlaced");
    QTest::newRow("1x1 2 colours") << 1 << 1 << 1 << false;
    QTest::newRow("5x3 4 colours") << 5 << 3 << 2 << false;
    QTest::newRow("3x10 interlaced") << 3 << 10 << 3 << true;
    QTest::newRow("64x64 32 colours") << 64 << 64 << 5 << false;
    QTest::newRow("333x77 interlaced 256") << 333 << 77 << 8 << true;
    QTest::newRow("640x480 256 colours") << 640 << 480 << 8 << false;
    QTest::newRow("1000x1 64 colours") << 1000 << 1 << 6 << false;
}

// Each case is written twice, by giflib's encoder and by ours, and our
// decoder must give the pixels giflib's decoder gives for both files.
void TestGifLzw::matchesGiflib()
{
#ifndef QUORVANE_HAVE_GIFLIB
    QSKIP("giflib is not installed");
#else
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bits);
    QFETCH(bool, interlaced);
    const TBytes pixels = PatternPixels(static_cast<size_t>(width * height), bits, width + height);
    const TBytes streamRows = interlaced ? InterlaceRows(pixels, width, height) : pixels;
    for (const TBytes& file : {GiflibEncode(width, height, bits, streamRows, interlaced),
                               SimpleGif(width, height, pixels, bits, interlaced)}) {
        const std::vector<TBytes> reference = GiflibDecode(file);
        QCOMPARE(reference.size(), size_t{1});
        QCOMPARE(Decode(file), reference.front());
        QCOMPARE(reference.front(), pixels);
    }
#endif
}

void TestGifLzw::pixelStoreIndices_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("valid");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("size") << 5 << true;
    QTest::newRow("size + 1") << 6 << false;
}

void TestGifLzw::pixelStoreIndices()
{
    QFETCH(int, index);
    QFETCH(bool, valid);
    TBigByteArray array(5);
    const auto at = static_cast<size_t>(index);
    if (valid) {
        array.Set(at, 9);
        QCOMPARE(array.Get(at), std::uint8_t{9});
        QCOMPARE(array.Data()[at - 1], std::uint8_t{9});
    } else {
        QVERIFY_THROWS_EXCEPTION(EIndexOutOfBounds, array.Set(at, 9));
        QVERIFY_THROWS_EXCEPTION(EIndexOutOfBounds, array.Get(at));
    }
}

void TestGifLzw::pixelStoreRows()
{
    TByteArray2D matrix(3, 2);
    const std::uint8_t row[3] = {4, 5, 6};
    matrix.SetRow(2, row, 3);
    QCOMPARE(matrix.Row(2).Get(3), std::uint8_t{6});
    QCOMPARE(matrix.Row(1).Get(1), std::uint8_t{0});
    QCOMPARE(matrix.Data()[3], std::uint8_t{4});
    QVERIFY_THROWS_EXCEPTION(EIndexOutOfBounds, matrix.SetRow(0, row, 3));
    QVERIFY_THROWS_EXCEPTION(EIndexOutOfBounds, matrix.SetRow(3, row, 3));
    QVERIFY_THROWS_EXCEPTION(EIndexOutOfBounds, matrix.Row(3));
    try {
        matrix.SetRow(1, row, 2);
        QFAIL("no exception");
    } catch (const EIndexOutOfBounds& e) {
        QCOMPARE(std::string(e.what()),
                 std::string("Row doesn't have equal number of elements as Matrix row"));
    }
}

void TestGifLzw::byteBufferCursor()
{
    TByteBuffer buffer;
    QVERIFY_THROWS_EXCEPTION(EGifListError, buffer.Reset());
    const std::uint8_t first[2] = {1, 2}, second[1] = {3};
    buffer.Append(first, 2);
    buffer.Append(second, 1);
    QCOMPARE(buffer.Count(), size_t{2});
    QCOMPARE(buffer.Size(), size_t{3});
    QCOMPARE(buffer.String(1), std::string_view("\x03", 1));
    buffer.Reset();
    QCOMPARE(buffer.ReadByte(), std::uint8_t{1});
    QCOMPARE(buffer.ReadByte(), std::uint8_t{2});
    QCOMPARE(buffer.ReadByte(), std::uint8_t{3});
    QVERIFY_THROWS_EXCEPTION(EGifListError, buffer.ReadByte());
    buffer.Reset();
    QCOMPARE(buffer.ReadByte(), std::uint8_t{1});
    QCOMPARE(buffer.Bytes()[3], std::uint8_t{0}); // padding after the data
}

QTEST_GUILESS_MAIN(TestGifLzw)
#include "tst_giflzw.moc"
