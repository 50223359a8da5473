// Tests of the bitmap of a GIF image: row padding, the palette source and its
// untouched slots, top-down rows for display, the BMP stream byte for byte,
// caching, and TGifBitmap.
#include "GifUnit.h"
#include "GifWriter.h"

#include <QtTest>
#include <sstream>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

std::unique_ptr<TGifFile> Load(const TBytes& bytes)
{
    auto file = std::make_unique<TGifFile>();
    file->LoadFromBytes(bytes.data(), bytes.size());
    return file;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

std::uint16_t Le16(const std::vector<std::uint8_t>& b, size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

} // namespace

class TestGifBitmap : public QObject {
    Q_OBJECT

  private slots:
    void rowsPaddedToFourBytes_data();
    void rowsPaddedToFourBytes();
    void bmpStreamHeaders();
    void bmpStreamRowsBottomUp();
    void localOnlyPalette();
    void localTableWinsOverGlobal_data();
    void localTableWinsOverGlobal();
    void paletteSlotsKeepInitialValues();
    void bitmapIsMadeOnce();
    void bitmapOfEmptyImage();
    void gifBitmapTakesFirstImage();
};

void TestGifBitmap::rowsPaddedToFourBytes_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("bytesPerLine");
    QTest::newRow("1") << 1 << 4;
    QTest::newRow("3") << 3 << 4;
    QTest::newRow("4") << 4 << 4;
    QTest::newRow("5") << 5 << 8;
    QTest::newRow("8") << 8 << 8;
    QTest::newRow("9") << 9 << 12;
}

void TestGifBitmap::rowsPaddedToFourBytes()
{
    QFETCH(int, width);
    QFETCH(int, bytesPerLine);
    const TBytes pixels(static_cast<size_t>(width * 2), 3);
    const auto bitmap = Load(SimpleGif(width, 2, pixels, 2))->Image(1).Bitmap();
    QCOMPARE(bitmap->BytesPerLine(), static_cast<size_t>(bytesPerLine));
    for (size_t row = 0; row < 2; ++row)
        for (int x = 0; x < bytesPerLine; ++x)
            QCOMPARE(bitmap->ScanLine(row)[x], static_cast<std::uint8_t>(x < width ? 3 : 0));
}

void TestGifBitmap::bmpStreamHeaders()
{
    const auto stream = Load(SimpleGif(5, 3, PatternPixels(15, 2, 1), 2))->Image(1).BitmapStream();
    QCOMPARE(stream.size(), size_t{1078 + 3 * 8});
    QCOMPARE(stream[0], std::uint8_t{'B'});
    QCOMPARE(stream[1], std::uint8_t{'M'});
    QCOMPARE(Le32(stream, 2), 1078u + 24u);
    QCOMPARE(Le32(stream, 6), 0u);
    QCOMPARE(Le32(stream, 10), 1078u);
    QCOMPARE(Le32(stream, 14), 40u);
    QCOMPARE(Le32(stream, 18), 5u);
    QCOMPARE(Le32(stream, 22), 3u);
    QCOMPARE(Le16(stream, 26), std::uint16_t{1});
    QCOMPARE(Le16(stream, 28), std::uint16_t{8});
    QCOMPARE(Le32(stream, 30), 0u);
    QCOMPARE(Le32(stream, 34), 0u);
    QCOMPARE(Le32(stream, 38), 143u);
    QCOMPARE(Le32(stream, 42), 143u);
    QCOMPARE(Le32(stream, 46), 0u);
    QCOMPARE(Le32(stream, 50), 0u);
    // SimpleGif's entry i is (i, 255 - i, i / 2): quads are blue, green, red, 0.
    QCOMPARE(Le32(stream, 54 + 4 * 3), 0x0003FC01u);
    QCOMPARE(Le32(stream, 54 + 4 * 4), 0u); // beyond the 4 entries: zero
}

void TestGifBitmap::bmpStreamRowsBottomUp()
{
    const TBytes pixels = PatternPixels(15, 2, 7);
    const auto file = Load(SimpleGif(5, 3, pixels, 2));
    const auto stream = file->Image(1).BitmapStream();
    for (size_t row = 0; row < 3; ++row) {
        const size_t at = 1078 + (2 - row) * 8;
        QVERIFY(std::equal(pixels.begin() + row * 5, pixels.begin() + row * 5 + 5, stream.begin() + at));
        QCOMPARE((TBytes(stream.begin() + at + 5, stream.begin() + at + 8)), (TBytes{0, 0, 0}));
    }
    // The bitmap itself is top-down, ready to be shown as it is.
    const auto bitmap = file->Image(1).Bitmap();
    QVERIFY(std::equal(pixels.begin(), pixels.begin() + 5, bitmap->ScanLine(0)));
    // The stream written from the pixels equals the one written from the
    // bitmap, and the one written row by row to a stream.
    QCOMPARE(bitmap->BmpStream(), stream);
    std::ostringstream written;
    Load(SimpleGif(5, 3, pixels, 2))->Image(1).WriteBitmapStream(written);
    const std::string text = written.str();
    QCOMPARE(TBytes(text.begin(), text.end()), stream);
}

void TestGifBitmap::localOnlyPalette()
{
    TGifBuilder gif;
    gif.Header().Screen(2, 1, 0x00).Descriptor(2, 1, 0x80).ColorTable({1, 2, 3, 200, 100, 50});
    gif.ImageData(2, LzwEncode({1, 0}, 2)).Trailer();
    const auto bitmap = Load(gif.Bytes())->Image(1).Bitmap();
    QCOMPARE(bitmap->Colors()[0], 0xFF010203u);
    QCOMPARE(bitmap->Colors()[1], 0xFFC86432u);
}

void TestGifBitmap::localTableWinsOverGlobal_data()
{
    QTest::addColumn<bool>("localFlag");
    QTest::addColumn<uint>("colour1");
    QTest::newRow("local flag set") << true << 0xFF0A0B0Cu;
    QTest::newRow("local flag clear") << false << 0xFF040506u;
}

void TestGifBitmap::localTableWinsOverGlobal()
{
    QFETCH(bool, localFlag);
    QFETCH(uint, colour1);
    TGifBuilder gif;
    gif.Header().Screen(2, 1, 0x80).ColorTable({1, 2, 3, 4, 5, 6});
    gif.Descriptor(2, 1, localFlag ? 0x80 : 0x00);
    if (localFlag) gif.ColorTable({7, 8, 9, 10, 11, 12});
    gif.ImageData(2, LzwEncode({1, 0}, 2)).Trailer();
    QCOMPARE(Load(gif.Bytes())->Image(1).Bitmap()->Colors()[1], colour1);
}

void TestGifBitmap::paletteSlotsKeepInitialValues()
{
    // Global table of 256 entries: a 2-entry local table starts as the grey
    // ramp, so slots 2..255 of the bitmap's palette are grey.
    TGifBuilder gif;
    gif.Header().Screen(2, 1, 0x87).ColorTable(TBytes(768, 9));
    gif.Descriptor(2, 1, 0x80).ColorTable({1, 1, 1, 2, 2, 2}).ImageData(2, LzwEncode({1, 0}, 2)).Trailer();
    const auto bitmap = Load(gif.Bytes())->Image(1).Bitmap();
    QCOMPARE(bitmap->Colors()[1], 0xFF020202u);
    QCOMPARE(bitmap->Colors()[2], 0xFF020202u);
    QCOMPARE(bitmap->Colors()[100], 0xFF646464u);
    QCOMPARE(bitmap->Colors()[255], 0xFFFFFFFFu);
}

void TestGifBitmap::bitmapIsMadeOnce()
{
    const auto file = Load(SimpleGif(3, 3, PatternPixels(9, 1, 1), 1));
    const auto first = file->Image(1).Bitmap();
    QCOMPARE(file->Image(1).Bitmap().get(), first.get());
}

void TestGifBitmap::bitmapOfEmptyImage()
{
    TGifBuilder gif;
    gif.Header().Screen(1, 1, 0).Descriptor(0, 0).Raw({2, 1, 0x24, 0}).Trailer(); // two clear codes
    const auto stream = Load(gif.Bytes())->Image(1).BitmapStream();
    QCOMPARE(stream.size(), size_t{1078});
    QCOMPARE(Le32(stream, 2), 1078u);
}

void TestGifBitmap::gifBitmapTakesFirstImage()
{
    TGifBuilder gif;
    gif.Header().Screen(3, 1, 0x80).ColorTable({0, 0, 0, 9, 9, 9});
    gif.Image(3, 1, {1, 0, 1}, 2).Image(2, 2, {0, 0, 0, 0}, 2).Trailer();
    std::stringstream stream(std::string(gif.Bytes().begin(), gif.Bytes().end()));
    stream.seekg(0, std::ios::end);
    TGifBitmap bitmap;
    bitmap.LoadFromStream(stream);
    QVERIFY(bitmap.Bitmap());
    QCOMPARE(bitmap.Bitmap()->Width(), size_t{3});
    QCOMPARE(bitmap.Bitmap()->ScanLine(0)[2], std::uint8_t{1});
    QCOMPARE(bitmap.Bitmap()->Colors()[1], 0xFF090909u);
    QCOMPARE(std::string(TGifBitmap::kExtension), std::string("gif"));
    QCOMPARE(std::string(TGifBitmap::kDescription), std::string("GIF-Format"));
}

QTEST_GUILESS_MAIN(TestGifBitmap)
#include "tst_gifbitmap.moc"
