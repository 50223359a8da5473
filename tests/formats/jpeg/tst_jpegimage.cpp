// Tests of TJPEGImage's settings, sizes and decoded pixels: defaults, byte
// order and row layout, grey and 8-bit palettes, scaled sizes, setting
// changes freeing the bitmap, sharing, progressive display, CMYK files.
#include "JPEGImage.h"
#include "JpegFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <sstream>

using namespace quorvane;
using namespace quorvane::test;

Q_DECLARE_METATYPE(quorvane::TJPEGScale)
Q_DECLARE_METATYPE(quorvane::TJPEGPixelFormat)
Q_DECLARE_METATYPE(quorvane::test::FixtureKind)

namespace {

TJPEGImage Loaded(const Bytes& bytes)
{
    TJPEGImage image;
    image.LoadFromBytes(bytes);
    return image;
}

bool Near(int a, int b, int tolerance)
{
    return std::abs(a - b) <= tolerance;
}

// A picture with a red top half and a blue bottom half.
FixtureRecipe TopRedBottomBlue(int width, int height)
{
    FixtureRecipe recipe;
    recipe.Width = width;
    recipe.Height = height;
    recipe.Quality = 100;
    recipe.Pixel = [height](int, int y, std::uint8_t* out) {
        const bool top = y < height / 2;
        out[0] = top ? 255 : 0;
        out[1] = 0;
        out[2] = top ? 0 : 255;
    };
    return recipe;
}

// A smooth colour picture with detail, so that DCT methods differ.
FixtureRecipe Gradient(int width, int height, bool progressive)
{
    FixtureRecipe recipe;
    recipe.Width = width;
    recipe.Height = height;
    recipe.Quality = 85;
    recipe.Progressive = progressive;
    recipe.FullChroma = false;
    recipe.Pixel = [](int x, int y, std::uint8_t* out) {
        out[0] = static_cast<std::uint8_t>(x * 3 + y);
        out[1] = static_cast<std::uint8_t>((x * y) / 7);
        out[2] = static_cast<std::uint8_t>(255 - y * 2 + ((x / 5) % 2) * 40);
    };
    return recipe;
}

bool SameBitmap(const TJPEGBitmap& a, const TJPEGBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitsPerPixel() != b.BitsPerPixel())
        return false;
    if (a.Palette != b.Palette) return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), a.RowBytes()) != 0) return false;
    return true;
}

} // namespace

class TestJpegImage : public QObject {
    Q_OBJECT

  private slots:
    void defaults();
    void defaultPixelFormatFromDepth_data();
    void defaultPixelFormatFromDepth();
    void colourFileIsBlueGreenRed_data();
    void colourFileIsBlueGreenRed();
    void rowsAreBottomUpAndPadded();
    void greyOutputHasGreyPalette_data();
    void greyOutputHasGreyPalette();
    void eightBitColourUsesPalette();
    void fixedPaletteIsUsedAsGiven_data();
    void fixedPaletteIsUsedAsGiven();
    void sizeAtScale_data();
    void sizeAtScale();
    void settingChangeFreesBitmap_data();
    void settingChangeFreesBitmap();
    void resizingIsRefused();
    void copiesShareTheData();
    void assigningABitmap();
    void progressiveFlagFromFile();
    void progressiveDisplayEndsAtQualitySettings_data();
    void progressiveDisplayEndsAtQualitySettings();
    void progressiveDisplayDecodesScanByScan();
    void paletteQuery();
    void fourComponentFiles_data();
    void fourComponentFiles();
    void loadFromStreamTakesTheRest();
    void readingStopsAtTheEndMarker_data();
    void readingStopsAtTheEndMarker();
    void paddedFileReadOnlyToItsPicture();
};

void TestJpegImage::defaults()
{
    TJPEGImage image;
    QCOMPARE(image.CompressionQuality(), TJPEGQualityRange(90));
    QCOMPARE(image.Grayscale(), false);
    QVERIFY(image.Performance() == TJPEGPerformance::jpBestQuality);
    QVERIFY(image.PixelFormat() == TJPEGImage::DefaultPixelFormat());
    QCOMPARE(image.ProgressiveDisplay(), false);
    QCOMPARE(image.ProgressiveEncoding(), false);
    QVERIFY(image.Scale() == TJPEGScale::jsFullSize);
    QCOMPARE(image.Smoothing(), true);
    QVERIFY(image.Empty());
    QCOMPARE(image.Width(), 0);
}

void TestJpegImage::defaultPixelFormatFromDepth_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<TJPEGPixelFormat>("expected");
    QTest::newRow("monochrome") << 1 << TJPEGPixelFormat::jf8Bit;
    QTest::newRow("16 colours") << 4 << TJPEGPixelFormat::jf8Bit;
    QTest::newRow("256 colours") << 8 << TJPEGPixelFormat::jf8Bit;
    QTest::newRow("high colour") << 16 << TJPEGPixelFormat::jf24Bit;
    QTest::newRow("true colour") << 32 << TJPEGPixelFormat::jf24Bit;
}

void TestJpegImage::defaultPixelFormatFromDepth()
{
    QFETCH(int, depth);
    QFETCH(TJPEGPixelFormat, expected);
    QVERIFY(PixelFormatForScreenDepth(depth) == expected);
    const TJPEGPixelFormat saved = TJPEGImage::DefaultPixelFormat();
    TJPEGImage::SetDefaultPixelFormat(PixelFormatForScreenDepth(depth));
    TJPEGImage image;
    TJPEGImage::SetDefaultPixelFormat(saved);
    QVERIFY(image.PixelFormat() == expected);
}

void TestJpegImage::colourFileIsBlueGreenRed_data()
{
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::newRow("red") << 255 << 0 << 0;
    QTest::newRow("green") << 0 << 255 << 0;
    QTest::newRow("blue") << 0 << 0 << 255;
    QTest::newRow("orange") << 250 << 128 << 10;
}

void TestJpegImage::colourFileIsBlueGreenRed()
{
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    TJPEGImage image = Loaded(MakeJpeg(SolidColour(16, 16, r, g, b)));
    const TJPEGBitmap& bitmap = image.Bitmap();
    QCOMPARE(bitmap.BitsPerPixel(), 24);
    QVERIFY(bitmap.Palette.empty());
    const std::uint8_t* p = bitmap.ScanLine(8) + 8 * 3;
    QVERIFY2(Near(p[0], b, 3) && Near(p[1], g, 3) && Near(p[2], r, 3),
             qPrintable(QString("got %1 %2 %3").arg(p[0]).arg(p[1]).arg(p[2])));
}

void TestJpegImage::rowsAreBottomUpAndPadded()
{
    TJPEGImage image = Loaded(MakeJpeg(TopRedBottomBlue(5, 16)));
    const TJPEGBitmap& bitmap = image.Bitmap();
    QCOMPARE(bitmap.Width(), 5);
    QCOMPARE(bitmap.RowBytes(), size_t(16)); // 15 bytes of pixels padded to 16
    // The first stored row is the bottom (blue) row.
    QVERIFY(bitmap.Bits()[0] > 200 && bitmap.Bits()[2] < 50);
    QVERIFY(bitmap.ScanLine(0)[2] > 200 && bitmap.ScanLine(0)[0] < 50);
    QCOMPARE(bitmap.ScanLine(0), bitmap.Bits() + 15 * bitmap.RowBytes());
    // Only output_width pixels are written: the padding byte stays zero.
    for (int y = 0; y < bitmap.Height(); ++y)
        QCOMPARE(int(bitmap.ScanLine(y)[15]), 0);
}

void TestJpegImage::greyOutputHasGreyPalette_data()
{
    QTest::addColumn<FixtureKind>("kind");
    QTest::addColumn<bool>("grayscaleSetting");
    QTest::addColumn<TJPEGPixelFormat>("format");
    QTest::newRow("grey file, 24-bit") << FixtureKind::Grey << false << TJPEGPixelFormat::jf24Bit;
    QTest::newRow("grey file, 8-bit") << FixtureKind::Grey << false << TJPEGPixelFormat::jf8Bit;
    QTest::newRow("colour file, Grayscale on") << FixtureKind::Colour << true << TJPEGPixelFormat::jf24Bit;
}

void TestJpegImage::greyOutputHasGreyPalette()
{
    QFETCH(FixtureKind, kind);
    QFETCH(bool, grayscaleSetting);
    QFETCH(TJPEGPixelFormat, format);
    FixtureRecipe recipe;
    recipe.Kind = kind;
    recipe.Width = 200;
    recipe.Height = 8;
    recipe.Pixel = [kind](int x, int, std::uint8_t* out) {
        const auto v = static_cast<std::uint8_t>(x * 255 / 199);
        out[0] = v;
        if (kind == FixtureKind::Colour) out[1] = out[2] = v;
    };
    TJPEGImage image = Loaded(MakeJpeg(recipe));
    QCOMPARE(image.Data()->Grayscale, kind == FixtureKind::Grey);
    image.SetPixelFormat(format);
    image.SetGrayscale(grayscaleSetting);
    const TJPEGBitmap& bitmap = image.Bitmap();
    QCOMPARE(bitmap.BitsPerPixel(), 8);
    QVERIFY(bitmap.Palette.size() > 200 && bitmap.Palette.size() <= 236);
    for (const TPaletteEntry& e : bitmap.Palette)
        QVERIFY(e.Red == e.Green && e.Green == e.Blue);
    // A pixel's palette grey is close to the grey that was written.
    const std::uint8_t index = bitmap.ScanLine(4)[100];
    QVERIFY(Near(bitmap.Palette[index].Red, 100 * 255 / 199, 6));
}

void TestJpegImage::eightBitColourUsesPalette()
{
    TJPEGImage image = Loaded(MakeJpeg(SolidColour(16, 16, 200, 40, 90)));
    image.SetPixelFormat(TJPEGPixelFormat::jf8Bit);
    const TJPEGBitmap& bitmap = image.Bitmap();
    QCOMPARE(bitmap.BitsPerPixel(), 8);
    QVERIFY(!bitmap.Palette.empty() && bitmap.Palette.size() <= 236);
    const TPaletteEntry& e = bitmap.Palette.at(bitmap.ScanLine(8)[8]);
    QVERIFY2(Near(e.Red, 200, 8) && Near(e.Green, 40, 8) && Near(e.Blue, 90, 8),
             qPrintable(QString("got %1 %2 %3").arg(e.Red).arg(e.Green).arg(e.Blue)));
    QVERIFY(image.PaletteModified());
}

void TestJpegImage::fixedPaletteIsUsedAsGiven_data()
{
    QTest::addColumn<bool>("progressive");
    QTest::newRow("baseline") << false;
    QTest::newRow("progressive, shown scan by scan") << true;
}

void TestJpegImage::fixedPaletteIsUsedAsGiven()
{
    QFETCH(bool, progressive);
    FixtureRecipe recipe = TopRedBottomBlue(16, 16);
    recipe.Progressive = progressive;
    TJPEGImage image = Loaded(MakeJpeg(recipe));
    const TJPEGPalette given = {{0, 0, 0}, {0, 0, 255}, {255, 255, 255}, {255, 0, 0}};
    image.SetPixelFormat(TJPEGPixelFormat::jf8Bit);
    image.SetProgressiveDisplay(progressive);
    image.SetPalette(given);
    const TJPEGBitmap& bitmap = image.Bitmap();
    QCOMPARE(bitmap.BitsPerPixel(), 8);
    QVERIFY(bitmap.Palette == given);
    QCOMPARE(int(bitmap.ScanLine(2)[8]), 3);  // red
    QCOMPARE(int(bitmap.ScanLine(13)[8]), 1); // blue
}

void TestJpegImage::sizeAtScale_data()
{
    QTest::addColumn<TJPEGScale>("scale");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("full") << TJPEGScale::jsFullSize << 101 << 75;
    QTest::newRow("half, rounded up") << TJPEGScale::jsHalf << 51 << 38;
    QTest::newRow("quarter, rounded up") << TJPEGScale::jsQuarter << 26 << 19;
    QTest::newRow("eighth, rounded up") << TJPEGScale::jsEighth << 13 << 10;
}

void TestJpegImage::sizeAtScale()
{
    QFETCH(TJPEGScale, scale);
    QFETCH(int, width);
    QFETCH(int, height);
    TJPEGImage image = Loaded(MakeJpeg(SolidColour(101, 75, 10, 20, 30)));
    image.SetScale(scale);
    QCOMPARE(image.Width(), width);
    QCOMPARE(image.Height(), height);
    QVERIFY(image.DecodedBitmap() == nullptr); // a size query does not decode
    const TJPEGBitmap& bitmap = image.Bitmap();
    QCOMPARE(bitmap.Width(), width);
    QCOMPARE(bitmap.Height(), height);
    QCOMPARE(image.Width(), width);
    QCOMPARE(image.Height(), height);
}

void TestJpegImage::settingChangeFreesBitmap_data()
{
    QTest::addColumn<int>("setting");
    QTest::newRow("Scale") << 0;
    QTest::newRow("PixelFormat") << 1;
    QTest::newRow("Grayscale") << 2;
    QTest::newRow("Performance") << 3;
    QTest::newRow("Smoothing") << 4;
}

void TestJpegImage::settingChangeFreesBitmap()
{
    QFETCH(int, setting);
    TJPEGImage image = Loaded(MakeJpeg(SolidColour(64, 32, 10, 200, 30)));
    int changes = 0;
    image.SetOnChange([&] { ++changes; });
    image.Bitmap();
    QVERIFY(image.DecodedBitmap());
    auto apply = [&](bool changed) {
        switch (setting) {
        case 0:
            image.SetScale(changed ? TJPEGScale::jsHalf : TJPEGScale::jsFullSize);
            break;
        case 1:
            image.SetPixelFormat(changed ? TJPEGPixelFormat::jf8Bit : TJPEGPixelFormat::jf24Bit);
            break;
        case 2:
            image.SetGrayscale(changed);
            break;
        case 3:
            image.SetPerformance(changed ? TJPEGPerformance::jpBestSpeed : TJPEGPerformance::jpBestQuality);
            break;
        case 4:
            image.SetSmoothing(!changed);
            break;
        }
    };
    apply(false); // the same value keeps the bitmap
    QVERIFY(image.DecodedBitmap());
    QCOMPARE(changes, 0);
    apply(true);
    QVERIFY(image.DecodedBitmap() == nullptr);
    QCOMPARE(changes, 1);
    const TJPEGBitmap& again = image.Bitmap();
    QCOMPARE(again.Width(), setting == 0 ? 32 : 64);
}

void TestJpegImage::resizingIsRefused()
{
    TJPEGImage image = Loaded(MakeJpeg(SolidColour(8, 8, 1, 2, 3)));
    try {
        image.SetWidth(4);
        QFAIL("SetWidth did not throw");
    } catch (const EJPEGSize& e) {
        QCOMPARE(QString(e.what()), QString("Cannot change the size of a JPEG image"));
    }
    QVERIFY_THROWS_EXCEPTION(EJPEGSize, image.SetHeight(4));
    QCOMPARE(image.Width(), 8);
}

void TestJpegImage::copiesShareTheData()
{
    const Bytes bytes = MakeJpeg(SolidColour(8, 8, 1, 2, 3));
    TJPEGImage original = Loaded(bytes);
    original.Bitmap();
    TJPEGImage copy(original);
    QVERIFY(copy == original);
    QVERIFY(copy.Data().get() == original.Data().get());
    QVERIFY(copy.DecodedBitmap() && copy.DecodedBitmap() != original.DecodedBitmap());
    QVERIFY(SameBitmap(*copy.DecodedBitmap(), *original.DecodedBitmap()));
    const TJPEGImage sameBytes = Loaded(bytes);
    QVERIFY(!(sameBytes == original));
    TJPEGImage assigned;
    assigned = original;
    QVERIFY(assigned == original);
}

void TestJpegImage::assigningABitmap()
{
    TJPEGImage source = Loaded(MakeJpeg(SolidColour(8, 6, 1, 2, 3)));
    TJPEGImage image = Loaded(MakeJpeg(SolidColour(4, 4, 1, 2, 3)));
    const auto oldData = image.Data();
    image.Assign(source.Bitmap());
    QVERIFY(image.Data() != oldData && image.Data()->Bytes.empty());
    QCOMPARE(image.Width(), 8);
    QCOMPARE(image.Height(), 6);
}

void TestJpegImage::progressiveFlagFromFile()
{
    QCOMPARE(Loaded(MakeJpeg(Gradient(32, 32, true))).ProgressiveEncoding(), true);
    QCOMPARE(Loaded(MakeJpeg(Gradient(32, 32, false))).ProgressiveEncoding(), false);
}

void TestJpegImage::progressiveDisplayEndsAtQualitySettings_data()
{
    QTest::addColumn<TJPEGPixelFormat>("format");
    QTest::newRow("24-bit, slow DCT") << TJPEGPixelFormat::jf24Bit;
    QTest::newRow("8-bit, two-pass Floyd-Steinberg") << TJPEGPixelFormat::jf8Bit;
}

void TestJpegImage::progressiveDisplayEndsAtQualitySettings()
{
    QFETCH(TJPEGPixelFormat, format);
    const Bytes bytes = MakeJpeg(Gradient(96, 80, true));
    auto decode = [&](bool progressiveDisplay, TJPEGPerformance performance) {
        TJPEGImage image = Loaded(bytes);
        image.SetPixelFormat(format);
        image.SetPerformance(performance);
        image.SetProgressiveDisplay(progressiveDisplay);
        return TJPEGBitmap(image.Bitmap());
    };
    const TJPEGBitmap shown = decode(true, TJPEGPerformance::jpBestQuality);
    QVERIFY(SameBitmap(shown, decode(false, TJPEGPerformance::jpBestQuality)));
    // The fast settings give other pixels, so the comparison above can fail.
    QVERIFY(!SameBitmap(shown, decode(false, TJPEGPerformance::jpBestSpeed)));
}

void TestJpegImage::progressiveDisplayDecodesScanByScan()
{
    const Bytes bytes = MakeJpeg(Gradient(64, 64, true));
    auto passesSeen = [&](bool progressiveDisplay) {
        TJPEGImage image = Loaded(bytes);
        image.SetProgressiveDisplay(progressiveDisplay);
        std::int64_t now = 0;
        image.SetProgressClock([&] { return now += 1000; });
        int restarts = 0;
        int lastTop = -1;
        image.SetOnProgress([&](TProgressStage stage, int, bool, const TJPEGRect& r) {
            if (stage != TProgressStage::psRunning) return;
            if (r.Top < lastTop) ++restarts; // rows begin again at the top
            lastTop = r.Top;
        });
        image.Bitmap();
        return restarts;
    };
    QVERIFY(passesSeen(true) >= 3);
    QCOMPARE(passesSeen(false), 0);
}

void TestJpegImage::paletteQuery()
{
    TJPEGImage image = Loaded(MakeJpeg(SolidColour(8, 8, 1, 2, 3)));
    QVERIFY(image.Palette(24) == nullptr);
    const TJPEGPalette* halftone = image.Palette(8);
    QVERIFY(halftone && halftone->size() == 236);
    QVERIFY(image.Palette(8) == halftone); // kept as the temporary palette
    image.Bitmap();                        // a 24-bit decode drops it
    QVERIFY(image.Palette(8) == nullptr);
    image.SetPixelFormat(TJPEGPixelFormat::jf8Bit);
    QVERIFY(image.Palette(8) == nullptr);
    const TJPEGBitmap& bitmap = image.Bitmap();
    QVERIFY(image.Palette(24) == &bitmap.Palette);
}

void TestJpegImage::fourComponentFiles_data()
{
    QTest::addColumn<FixtureKind>("kind");
    QTest::addColumn<bool>("adobe");
    QTest::newRow("CMYK, Adobe (inverted)") << FixtureKind::Cmyk << true;
    QTest::newRow("CMYK, no Adobe marker") << FixtureKind::Cmyk << false;
    QTest::newRow("YCCK") << FixtureKind::Ycck << true;
}

void TestJpegImage::fourComponentFiles()
{
    QFETCH(FixtureKind, kind);
    QFETCH(bool, adobe);
    FixtureRecipe recipe;
    recipe.Kind = kind;
    recipe.AdobeMarker = adobe;
    recipe.Width = 13; // 39 bytes of pixels, one byte of padding a row
    recipe.Height = 8;
    recipe.Quality = 100;
    // Red ink-wise is C=0 M=255 Y=255 K=0; Adobe files store 255 - ink.
    recipe.Pixel = [adobe](int, int, std::uint8_t* out) {
        const std::uint8_t ink[4] = {0, 255, 255, 0};
        for (int i = 0; i < 4; ++i)
            out[i] = adobe ? 255 - ink[i] : ink[i];
    };
    const Bytes bytes = MakeJpeg(recipe);
    TJPEGImage image = Loaded(bytes);
    const TJPEGBitmap& bgr = image.Bitmap();
    QCOMPARE(bgr.BitsPerPixel(), 24);
    const std::uint8_t* p = bgr.ScanLine(4) + 6 * 3;
    QVERIFY2(p[0] < 12 && p[1] < 12 && p[2] > 243,
             qPrintable(QString("%1 %2 %3").arg(p[0]).arg(p[1]).arg(p[2])));
    for (int y = 0; y < bgr.Height(); ++y)
        QCOMPARE(int(bgr.ScanLine(y)[39]), 0);

    image.SetPixelFormat(TJPEGPixelFormat::jf8Bit);
    const TJPEGBitmap& cube = image.Bitmap();
    QCOMPARE(cube.BitsPerPixel(), 8);
    const TPaletteEntry& e = cube.Palette.at(cube.ScanLine(4)[6]);
    QVERIFY(e.Red == 255 && e.Green == 0 && e.Blue == 0);

    image.SetGrayscale(true);
    const TJPEGBitmap& grey = image.Bitmap();
    QCOMPARE(grey.BitsPerPixel(), 8);
    const TPaletteEntry& g = grey.Palette.at(grey.ScanLine(4)[6]);
    QVERIFY(g.Red == g.Green && g.Green == g.Blue && Near(g.Red, 76, 3)); // red's luminance
}

void TestJpegImage::loadFromStreamTakesTheRest()
{
    const Bytes bytes = MakeJpeg(SolidColour(8, 4, 1, 2, 3));
    std::string content = "prefix";
    content.append(bytes.begin(), bytes.end());
    std::istringstream stream(content);
    stream.seekg(6);
    TJPEGImage image;
    image.LoadFromStream(stream);
    QCOMPARE(image.Data()->Bytes.size(), bytes.size());
    QCOMPARE(image.Width(), 8);
    QCOMPARE(image.Height(), 4);
}

void TestJpegImage::readingStopsAtTheEndMarker_data()
{
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<QByteArray>("padding");
    QTest::newRow("baseline, zeros") << false << QByteArray(100000, '\0');
    QTest::newRow("progressive, zeros") << true << QByteArray(100000, '\0');
    // Padding that looks like markers must not be taken for the picture.
    QTest::newRow("baseline, fake markers") << false << QByteArray("\xFF\xD8\xFF\xDA\x00\x02\xFF\xD9junk");
    QTest::newRow("progressive, 0xFF run") << true << QByteArray(5000, '\xFF');
}

void TestJpegImage::readingStopsAtTheEndMarker()
{
    QFETCH(bool, progressive);
    QFETCH(QByteArray, padding);
    FixtureRecipe recipe = SolidColour(64, 48, 10, 200, 30);
    recipe.Progressive = progressive;
    const Bytes bytes = MakeJpeg(recipe);
    // The encoder ends the picture with its end marker: the picture is the
    // whole of bytes.
    QCOMPARE(int(bytes[bytes.size() - 2]), 0xFF);
    QCOMPARE(int(bytes.back()), 0xD9);
    std::string content(bytes.begin(), bytes.end());
    content.append(padding.constData(), std::size_t(padding.size()));
    std::istringstream stream(content);
    TJPEGImage image;
    image.LoadFromStream(stream);
    QCOMPARE(image.Data()->Bytes.size(), bytes.size());
    QCOMPARE(image.Bitmap().Width(), 64);
}

void TestJpegImage::paddedFileReadOnlyToItsPicture()
{
    QTemporaryDir dir;
    const Bytes bytes = MakeJpeg(SolidColour(32, 32, 1, 2, 3));
    QFile file(dir.filePath("padded.jpg"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    // A hole of 6 GiB after the picture: no disk is used, and no memory may be.
    if (!file.resize(qint64(6) << 30)) QSKIP("the file system cannot hold a 6 GiB sparse file");
    file.close();
    TJPEGImage image;
    image.LoadFromFile(QFile::encodeName(file.fileName()).toStdString());
    QCOMPARE(image.Data()->Bytes.size(), bytes.size());
    QCOMPARE(image.Width(), 32);
}

QTEST_GUILESS_MAIN(TestJpegImage)
#include "tst_jpegimage.moc"
