// Tests of the GIF file reader: header checks, colour tables, extension
// blocks and where they are kept, truncated and malformed files, the
// animation delay, image numbering, bounded allocations and re-entry.
#include "GifImgs.h"
#include "GifUnit.h"
#include "GifWriter.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sstream>

using namespace quorvane;
using namespace quorvane::testing;

Q_DECLARE_METATYPE(TBytes)

namespace {

std::unique_ptr<TGifFile> Load(const TBytes& bytes)
{
    auto file = std::make_unique<TGifFile>();
    file->LoadFromBytes(bytes.data(), bytes.size());
    return file;
}

QString LoadError(const TBytes& bytes)
{
    try {
        Load(bytes);
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    }
    return {};
}

TBytes FourColours()
{
    return {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
}

// Two 4x4 images with extensions before each and one after the last.
TBytes TwoImagesWithExtensions()
{
    TGifBuilder gif;
    gif.Header().Screen(4, 4, 0x81).ColorTable(FourColours());
    gif.GraphicControl(10, 3, 1).Comment("one");
    gif.Image(4, 4, PatternPixels(16, 2, 1), 2);
    gif.Application("NETSCAPE2.0", {1, 0, 0}).PlainText(TBytes(12, 7), "hi").Comment("two");
    gif.Image(4, 4, PatternPixels(16, 2, 2), 2);
    gif.Comment("after");
    return gif.Trailer().Bytes();
}

void SaveFile(const QString& path, const TBytes& bytes)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

} // namespace

class TestGifReader : public QObject {
    Q_OBJECT

  private slots:
    void versionRule_data();
    void versionRule();
    void unknownExtensionLabel_data();
    void unknownExtensionLabel();
    void initialColourTable_data();
    void initialColourTable();
    void fileTablesReadIntoEntries();
    void localTableStartsFromGlobalCount();
    void noColourTablesGiveBlackAndWhite();
    void extensionsStayWithTheFollowingImage();
    void extensionContentKept();
    void truncatedFile_data();
    void truncatedFile();
    void everyCutEndsQuietly();
    void strayByteEndsParse();
    void animationDelay_data();
    void animationDelay();
    void imageNumbersAreOneBased();
    void streamIsParsedFromPositionZero();
    void missingFileIsReported();
    void hugeImageRefused_data();
    void hugeImageRefused();
    void claimedSizeNeedsData_data();
    void claimedSizeNeedsData();
    void laterImagesKeepFileBudget();
    void reloadClearsPreviousImages();
    void reentrantLoadRefused();
    void gifImageEventsAndPicture();
    void gifImageFailureLeavesItUsable();
    void gifImageReentryRefused();
};

void TestGifReader::versionRule_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("GIF89a") << QByteArray("GIF89a") << true;
    QTest::newRow("GIF87a") << QByteArray("GIF87a") << true;
    QTest::newRow("upper-case letter") << QByteArray("GIF89A") << true;
    QTest::newRow("other signature") << QByteArray("XYZ89a") << true;
    QTest::newRow("88a") << QByteArray("GIF88a") << false;
    QTest::newRow("90a") << QByteArray("GIF90a") << false;
    QTest::newRow("only signature") << QByteArray("GIF") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestGifReader::versionRule()
{
    QFETCH(QByteArray, head);
    QFETCH(bool, accepted);
    TGifBuilder gif;
    gif.Raw(TBytes(head.begin(), head.end()));
    if (head.size() == 6) gif.Screen(1, 1, 0).Image(1, 1, {1}, 2).Trailer();
    const QString error = LoadError(gif.Bytes());
    if (accepted) {
        QCOMPARE(error, QString());
        QCOMPARE(Load(gif.Bytes())->ImageCount(), size_t{1});
    } else {
        QCOMPARE(error, QStringLiteral("Gif Version must be 87a or 89a"));
    }
}

void TestGifReader::unknownExtensionLabel_data()
{
    QTest::addColumn<TBytes>("block");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("images");
    // Well-formed blocks are stepped over by their sub-block lengths.
    QTest::newRow("0x02, one sub-block") << TBytes{0x21, 0x02, 1, 9, 0} << QString() << 2;
    QTest::newRow("0xAB, two sub-blocks") << TBytes{0x21, 0xAB, 2, 1, 2, 3, 4, 5, 6, 0} << QString() << 2;
    QTest::newRow("0x00, no sub-block") << TBytes{0x21, 0x00, 0} << QString() << 2;
    QTest::newRow("0x3B label, ';' inside") << TBytes{0x21, 0x3B, 2, 0x3B, 0x2C, 0} << QString() << 2;
    // A block whose sub-blocks run past the end of the file is damaged.
    QTest::newRow("0x02 cut off") << TBytes{0x21, 0x02, 200, 1, 2}
                                  << QStringLiteral("Unrecognized extension block.\r\nCode = $02") << 1;
    QTest::newRow("0xAB no terminator")
        << TBytes{0x21, 0xAB, 2, 1, 2} << QStringLiteral("Unrecognized extension block.\r\nCode = $AB") << 1;
}

void TestGifReader::unknownExtensionLabel()
{
    QFETCH(TBytes, block);
    QFETCH(QString, message);
    QFETCH(int, images);
    TGifBuilder gif;
    gif.Header().Screen(1, 1, 0).Image(1, 1, {0}, 2).GraphicControl(7).Raw(block);
    if (message.isEmpty()) gif.Comment("kept").Image(1, 1, {1}, 2).Trailer();
    TGifFile file;
    QString error;
    try {
        file.LoadFromBytes(gif.Bytes().data(), gif.Bytes().size());
    } catch (const EGifException& e) {
        error = QString::fromStdString(e.what());
    }
    QCOMPARE(error, message);
    QCOMPARE(file.ImageCount(), size_t(images)); // the image before a failure stays
    if (images < 2) return;
    // The unknown block is dropped; the known ones around it are kept.
    const TExtensionList& kept = file.Image(2).Extensions();
    QCOMPARE(kept.Count(), size_t{2});
    QCOMPARE(kept.Item(0).Kind(), TExtensionKind::GraphicControl);
    QCOMPARE(kept.Item(1).Kind(), TExtensionKind::Comment);
    QCOMPARE(file.Image(2).Pixels().Data()[0], std::uint8_t{1});
}

void TestGifReader::initialColourTable_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("rgb");
    QTest::newRow("0: black") << 0 << 0 << 0x000000;
    QTest::newRow("0: white") << 0 << 1 << 0xFFFFFF;
    QTest::newRow("0: rest black") << 0 << 2 << 0x000000;
    QTest::newRow("2: white") << 2 << 1 << 0xFFFFFF;
    QTest::newRow("2: 255 black") << 2 << 255 << 0x000000;
    QTest::newRow("16: maroon") << 16 << 1 << 0x800000;
    QTest::newRow("16: olive") << 16 << 3 << 0x808000;
    QTest::newRow("16: silver") << 16 << 8 << 0xC0C0C0;
    QTest::newRow("16: red") << 16 << 9 << 0xFF0000;
    QTest::newRow("16: aqua") << 16 << 14 << 0x00FFFF;
    QTest::newRow("16: white") << 16 << 15 << 0xFFFFFF;
    QTest::newRow("16: 16 black") << 16 << 16 << 0x000000;
    QTest::newRow("256: grey 0") << 256 << 0 << 0x000000;
    QTest::newRow("256: grey 77") << 256 << 77 << 0x4D4D4D;
    QTest::newRow("256: grey 255") << 256 << 255 << 0xFFFFFF;
    QTest::newRow("4: all black") << 4 << 1 << 0x000000;
    QTest::newRow("128: all black") << 128 << 127 << 0x000000;
}

void TestGifReader::initialColourTable()
{
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(int, rgb);
    const TColorTable table(static_cast<unsigned>(count));
    QCOMPARE(table.Count(), static_cast<unsigned>(count));
    const TRgb& e = table.Entry(static_cast<std::uint8_t>(index));
    QCOMPARE((e.Red << 16) | (e.Green << 8) | e.Blue, rgb);
}

void TestGifReader::fileTablesReadIntoEntries()
{
    TGifBuilder gif;
    gif.Header().Screen(3, 1, 0x81).ColorTable({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    gif.Image(3, 1, {0, 1, 2}, 2).Trailer();
    const auto file = Load(gif.Bytes());
    QVERIFY(file->GlobalTableFlag());
    QCOMPARE(file->GlobalTableBits(), 2u);
    QCOMPARE(file->GlobalColorTable().Count(), 4u);
    QCOMPARE(file->GlobalColorTable().Entry(2), (TRgb{7, 8, 9}));
    QCOMPARE(file->GlobalColorTable().Entry(3), (TRgb{10, 11, 12}));
    QCOMPARE(file->GlobalColorTable().Entry(4), (TRgb{0, 0, 0}));
    QCOMPARE(file->Image(1).LocalColorTable().Count(), 2u); // from the image's own flags
}

void TestGifReader::localTableStartsFromGlobalCount()
{
    // The unused local table is made with the global table's count (16).
    TGifBuilder gif;
    gif.Header().Screen(1, 1, 0x83).ColorTable(TBytes(48, 1)).Image(1, 1, {0}, 2).Trailer();
    const auto file = Load(gif.Bytes());
    QCOMPARE(file->Image(1).LocalColorTable().Entry(9), (TRgb{255, 0, 0}));
    QCOMPARE(file->Image(1).LocalColorTable().Entry(15), (TRgb{255, 255, 255}));
}

void TestGifReader::noColourTablesGiveBlackAndWhite()
{
    // Screen flags 0x07: no table, but a size exponent of 256 entries.
    TGifBuilder gif;
    gif.Header().Screen(3, 1, 0x07).Image(3, 1, {0, 1, 2}, 2).Trailer();
    const auto file = Load(gif.Bytes());
    QVERIFY(!file->GlobalTableFlag());
    QCOMPARE(file->GlobalColorTable().Count(), 256u);
    const auto bitmap = file->Image(1).Bitmap();
    QCOMPARE(bitmap->Colors()[0], 0xFF000000u);
    QCOMPARE(bitmap->Colors()[1], 0xFFFFFFFFu);
    QCOMPARE(bitmap->Colors()[2], 0xFF000000u);
    QCOMPARE(bitmap->Colors()[255], 0xFF000000u);
}

void TestGifReader::extensionsStayWithTheFollowingImage()
{
    const auto file = Load(TwoImagesWithExtensions());
    QCOMPARE(file->ImageCount(), size_t{2});
    const TExtensionList& first = file->Image(1).Extensions();
    QCOMPARE(first.Count(), size_t{2});
    QCOMPARE(first.Item(0).Kind(), TExtensionKind::GraphicControl);
    QCOMPARE(first.Item(1).Kind(), TExtensionKind::Comment);
    const TExtensionList& second = file->Image(2).Extensions();
    QCOMPARE(second.Count(), size_t{3});
    QCOMPARE(second.Item(0).Kind(), TExtensionKind::Application);
    QCOMPARE(second.Item(1).Kind(), TExtensionKind::PlainText);
    QCOMPARE(second.Item(2).Kind(), TExtensionKind::Comment);
    QCOMPARE(second.Item(2).Data().front(), std::string("two")); // "after" is dropped
}

void TestGifReader::extensionContentKept()
{
    const auto file = Load(TwoImagesWithExtensions());
    const TExtension& control = file->Image(1).Extensions().Item(0);
    QCOMPARE(control.Header(), (std::vector<std::uint8_t>{4, 1, 10, 0, 3, 0}));
    QVERIFY(control.Data().empty());
    QCOMPARE(control.DelayTime(), std::uint16_t{10});
    const TExtension& app = file->Image(2).Extensions().Item(0);
    QCOMPARE(app.Header().size(), size_t{12});
    QCOMPARE(app.Header()[0], std::uint8_t{11});
    QCOMPARE(std::string(app.Header().begin() + 1, app.Header().end()), std::string("NETSCAPE2.0"));
    QCOMPARE(app.Data(), (std::vector<std::string>{std::string("\x01\x00\x00", 3)}));
    const TExtension& text = file->Image(2).Extensions().Item(1);
    QCOMPARE(text.Header().size(), size_t{13});
    QCOMPARE(text.Header()[0], std::uint8_t{12});
    QCOMPARE(text.Header()[12], std::uint8_t{7});
    QCOMPARE(text.Data(), (std::vector<std::string>{"hi"}));
}

void TestGifReader::truncatedFile_data()
{
    QTest::addColumn<TBytes>("bytes");
    QTest::addColumn<int>("images");
    const TBytes full = TwoImagesWithExtensions();
    // Offsets found by building the file up to the interesting point.
    TGifBuilder upToSecond;
    upToSecond.Header().Screen(4, 4, 0x81).ColorTable(FourColours());
    upToSecond.GraphicControl(10, 3, 1).Comment("one").Image(4, 4, PatternPixels(16, 2, 1), 2);
    const std::size_t second = upToSecond.Bytes().size();
    upToSecond.Application("NETSCAPE2.0", {1, 0, 0}).PlainText(TBytes(12, 7), "hi").Comment("two");
    const std::size_t descriptor = upToSecond.Bytes().size();
    auto cut = [&](std::size_t n) { return TBytes(full.begin(), full.begin() + n); };
    QTest::newRow("inside global table") << cut(16) << 0;
    QTest::newRow("inside first extension") << cut(22) << 0;
    QTest::newRow("inside application extension") << cut(second + 6) << 1;
    QTest::newRow("inside comment sub-block") << cut(second + 35) << 1;
    QTest::newRow("inside second descriptor") << cut(descriptor + 5) << 1;
    QTest::newRow("after second code size") << cut(descriptor + 11) << 1;
    QTest::newRow("inside second image data") << cut(descriptor + 14) << 2;
    QTest::newRow("before trailer") << cut(full.size() - 1) << 2;
    QTest::newRow("whole") << full << 2;
}

void TestGifReader::truncatedFile()
{
    QFETCH(TBytes, bytes);
    QFETCH(int, images);
    const auto file = Load(bytes);
    QCOMPARE(file->ImageCount(), static_cast<size_t>(images));
}

void TestGifReader::everyCutEndsQuietly()
{
    const TBytes full = TwoImagesWithExtensions();
    const auto whole = Load(full);
    for (std::size_t n = 6; n < full.size(); ++n) {
        const TBytes part(full.begin(), full.begin() + n);
        std::unique_ptr<TGifFile> file;
        try {
            file = Load(part);
        } catch (const std::exception& e) {
            QFAIL(qPrintable(QStringLiteral("cut at %1: %2").arg(n).arg(e.what())));
        }
        QVERIFY(file->ImageCount() <= 2);
        // A first image read completely keeps its pixels.
        if (file->ImageCount() >= 1 && n > full.size() / 2)
            QCOMPARE(std::memcmp(file->Image(1).Pixels().Data(), whole->Image(1).Pixels().Data(), 16), 0);
    }
}

void TestGifReader::strayByteEndsParse()
{
    TGifBuilder gif;
    gif.Header().Screen(2, 1, 0).Image(2, 1, {1, 2}, 2).Raw({0x00}).Image(2, 1, {3, 3}, 2).Trailer();
    const auto file = Load(gif.Bytes());
    QCOMPARE(file->ImageCount(), size_t{1});
    QCOMPARE(file->Image(1).Pixels().Data()[1], std::uint8_t{2});
}

void TestGifReader::animationDelay_data()
{
    QTest::addColumn<QList<int>>("delays"); // -1: no graphic control block
    QTest::addColumn<int>("expected");
    QTest::newRow("10 and 20") << QList<int>{10, 20} << 20;
    QTest::newRow("20 and none") << QList<int>{20, -1} << 20;
    QTest::newRow("30 and 0") << QList<int>{30, 0} << 30;
    QTest::newRow("one image") << QList<int>{50} << 0;
    QTest::newRow("none") << QList<int>{-1, -1, -1} << 0;
    QTest::newRow("last nonzero wins") << QList<int>{5, 7, 0} << 7;
}

void TestGifReader::animationDelay()
{
    QFETCH(QList<int>, delays);
    QFETCH(int, expected);
    TGifBuilder gif;
    gif.Header().Screen(1, 1, 0);
    for (int delay : delays) {
        if (delay >= 0) gif.GraphicControl(99).GraphicControl(static_cast<std::uint16_t>(delay));
        gif.Image(1, 1, {0}, 2);
    }
    const auto file = Load(gif.Trailer().Bytes());
    QCOMPARE(file->ImageCount(), static_cast<size_t>(delays.size()));
    QCOMPARE(file->AnimationDelay(), static_cast<unsigned>(expected));
}

void TestGifReader::imageNumbersAreOneBased()
{
    const auto file = Load(TwoImagesWithExtensions());
    QCOMPARE(file->Image(2).Extensions().Count(), size_t{3});
    QVERIFY_THROWS_EXCEPTION(EGifListError, file->Image(0));
    QVERIFY_THROWS_EXCEPTION(EGifListError, file->Image(3));
    TGifBuilder empty;
    empty.Header().Screen(1, 1, 0).Trailer();
    try {
        Load(empty.Bytes())->Image(1);
        QFAIL("no exception");
    } catch (const EGifListError& e) {
        QCOMPARE(std::string(e.what()), std::string("List index out of bounds (0)"));
    }
}

void TestGifReader::streamIsParsedFromPositionZero()
{
    const TBytes bytes = TwoImagesWithExtensions();
    std::stringstream stream(std::string(bytes.begin(), bytes.end()));
    stream.seekg(20);
    TGifFile file;
    file.LoadFromStream(stream);
    QCOMPARE(file.ImageCount(), size_t{2});
    QCOMPARE(file.Version(), std::string("89a"));
}

void TestGifReader::missingFileIsReported()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("none.gif").toStdString();
    TGifFile file;
    try {
        file.LoadFromFile(path);
        QFAIL("no exception");
    } catch (const EGifException& e) {
        QCOMPARE(std::string(e.what()), "Cannot open file " + path);
    }
}

void TestGifReader::hugeImageRefused_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("65535 x 65535") << 65535 << 65535;
    QTest::newRow("16385 x 16384") << 16385 << 16384;
    QTest::newRow("65535 x 4097") << 65535 << 4097;
}

void TestGifReader::hugeImageRefused()
{
    QFETCH(int, width);
    QFETCH(int, height);
    TGifBuilder gif;
    gif.Header().Screen(1, 1, 0).Image(1, 1, {1}, 2);
    gif.Descriptor(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
    gif.ImageData(2, LzwEncode({1, 2, 3}, 2)).Trailer();
    TGifFile file;
    try {
        file.LoadFromBytes(gif.Bytes().data(), gif.Bytes().size());
        QFAIL("no exception");
    } catch (const ENotEnoughMemory& e) {
        const auto size = static_cast<qint64>(width) * height;
        QCOMPARE(QString::fromStdString(e.what()),
                 QStringLiteral("error in TBigByteArray.create: Not enough contiguous memory available\r\n"
                                " requested memory block: %1 bytes")
                     .arg(size));
    }
    QCOMPARE(file.ImageCount(), size_t{1});
}

void TestGifReader::claimedSizeNeedsData_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("dataBytes");
    QTest::addColumn<bool>("loads");
    // Up to 64 Mi pixels any data will do; beyond, 4096 pixels a data byte.
    QTest::newRow("8192 x 8192, 4 bytes") << 8192 << 8192 << 4 << true;
    QTest::newRow("8193 x 8192, 4 bytes") << 8193 << 8192 << 4 << false;
    QTest::newRow("16384 x 16384, 64 KiB") << 16384 << 16384 << 65536 << true;
    QTest::newRow("16384 x 16384, 64 KiB - 1") << 16384 << 16384 << 65535 << false;
}

void TestGifReader::claimedSizeNeedsData()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, dataBytes);
    QFETCH(bool, loads);
    // Three pixels, the end code, then padding the decoder never reads.
    TBytes data = LzwEncode({1, 2, 3}, 2);
    data.resize(static_cast<size_t>(dataBytes), 0);
    TGifBuilder gif;
    gif.Header().Screen(1, 1, 0).Descriptor(static_cast<std::uint16_t>(width),
                                            static_cast<std::uint16_t>(height));
    gif.ImageData(2, data).Trailer();
    TGifFile file;
    QString error;
    try {
        file.LoadFromBytes(gif.Bytes().data(), gif.Bytes().size());
    } catch (const EGifException& e) {
        error = QString::fromStdString(e.what());
    }
    QCOMPARE(error, loads ? QString() : QStringLiteral("Image data too short for its size"));
    QCOMPARE(file.ImageCount(), size_t(loads ? 1 : 0));
    if (!loads) return;
    QCOMPARE(file.Image(1).Pixels().RowLength(), size_t(width));
    QCOMPARE(file.Image(1).Pixels().Data()[0], std::uint8_t{0}); // partial row stays 0
}

void TestGifReader::laterImagesKeepFileBudget()
{
    // A small file's budget is 64 Mi pixels: the first image takes all of
    // it, so the next large one is not kept and the parse ends there.
    TGifBuilder gif;
    gif.Header().Screen(1, 1, 0).Descriptor(8192, 8192).ImageData(2, LzwEncode({1, 2, 3}, 2));
    gif.Descriptor(4096, 4096).ImageData(2, LzwEncode({1}, 2)).Image(1, 1, {2}, 2).Trailer();
    auto file = Load(gif.Bytes());
    QCOMPARE(file->ImageCount(), size_t{1});
    // Small images after a small first one are all kept.
    TGifBuilder small;
    small.Header().Screen(1, 1, 0).Image(2, 2, {1, 2, 3, 0}, 2).Image(1, 1, {2}, 2).Image(1, 1, {3}, 2);
    file = Load(small.Trailer().Bytes());
    QCOMPARE(file->ImageCount(), size_t{3});
}

void TestGifReader::reloadClearsPreviousImages()
{
    TGifFile file;
    const TBytes two = TwoImagesWithExtensions();
    file.LoadFromBytes(two.data(), two.size());
    const TBytes one = SimpleGif(2, 2, {0, 1, 1, 0}, 1);
    file.LoadFromBytes(one.data(), one.size());
    QCOMPARE(file.ImageCount(), size_t{1});
    QCOMPARE(file.Image(1).Width(), std::uint16_t{2});
}

void TestGifReader::reentrantLoadRefused()
{
    const TBytes bytes = SimpleGif(4, 6, PatternPixels(24, 2, 3), 2);
    TGifFile file;
    QString inner;
    int calls = 0;
    file.EventPump().SetInterval(std::chrono::microseconds(0));
    file.EventPump().SetHook([&] {
        ++calls;
        try {
            file.LoadFromBytes(bytes.data(), bytes.size());
        } catch (const EGifException& e) {
            inner = e.what();
        }
    });
    file.LoadFromBytes(bytes.data(), bytes.size());
    QCOMPARE(calls, 6); // once per completed row without throttling
    QCOMPARE(inner, QStringLiteral("A GIF file is already being loaded"));
    QCOMPARE(file.ImageCount(), size_t{1});
    QVERIFY(!file.Loading());
}

void TestGifReader::gifImageEventsAndPicture()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.gif");
    TGifBuilder gif;
    gif.Header().Screen(2, 1, 0x80).ColorTable({10, 20, 30, 40, 50, 60});
    gif.GraphicControl(15).Image(2, 1, {1, 0}, 2).GraphicControl(25).Image(2, 1, {0, 0}, 2).Trailer();
    SaveFile(path, gif.Bytes());
    TGifImage image;
    QStringList events;
    image.OnImageLoading = [&](TGifImage& sender) {
        events << QStringLiteral("loading:%1").arg(sender.Busy());
    };
    image.OnImageLoaded = [&](TGifImage& sender) {
        events << QStringLiteral("loaded:%1").arg(sender.Busy());
    };
    image.SetProcessEventsHook([&] { events << QStringLiteral("events:%1").arg(image.Busy()); });
    image.LoadFromFile(path.toStdString());
    QCOMPARE(events.first(), QStringLiteral("loading:0"));
    QCOMPARE(events.at(1), QStringLiteral("events:1"));
    QCOMPARE(events.last(), QStringLiteral("loaded:0"));
    QCOMPARE(image.AnimationInterval(), 250u);
    QCOMPARE(image.CurrentImage(), size_t{1});
    QVERIFY(image.Picture());
    QCOMPARE(image.Picture()->ScanLine(0)[0], std::uint8_t{1});
    QCOMPARE(image.Picture()->Colors()[1], 0xFF28323Cu);
}

void TestGifReader::gifImageFailureLeavesItUsable()
{
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.gif");
    const QString good = dir.filePath("good.gif");
    TGifBuilder broken;
    broken.Header("GIF", "88a").Screen(1, 1, 0);
    SaveFile(bad, broken.Bytes());
    // The good file's only table is local, read after the failed load.
    TGifBuilder local;
    local.Header().Screen(2, 1, 0).Descriptor(2, 1, 0x80).ColorTable({9, 8, 7, 6, 5, 4});
    local.ImageData(2, LzwEncode({1, 0}, 2)).Trailer();
    SaveFile(good, local.Bytes());
    TGifImage image;
    int loaded = 0;
    image.OnImageLoaded = [&](TGifImage&) { ++loaded; };
    QVERIFY_THROWS_EXCEPTION(EGifException, image.LoadFromFile(bad.toStdString()));
    QCOMPARE(loaded, 0);
    QVERIFY(!image.Busy());
    image.LoadFromFile(good.toStdString());
    QCOMPARE(loaded, 1);
    QCOMPARE(image.Picture()->Colors()[1], 0xFF060504u);
    QCOMPARE(image.AnimationInterval(), 0u);
}

void TestGifReader::gifImageReentryRefused()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.gif");
    SaveFile(path, SimpleGif(3, 3, PatternPixels(9, 2, 4), 2));
    TGifImage image;
    QStringList refusals;
    image.SetProcessEventsInterval(std::chrono::microseconds(0));
    image.SetProcessEventsHook([&] {
        try {
            image.LoadFromFile(path.toStdString());
        } catch (const EGifException& e) {
            refusals << QString::fromStdString(e.what());
        }
    });
    image.LoadFromFile(path.toStdString());
    QCOMPARE(refusals.size(), 4); // before the load and after each of 3 rows
    QCOMPARE(refusals.first(), QStringLiteral("A GIF file is already being loaded"));
    QVERIFY(image.Picture());
}

QTEST_GUILESS_MAIN(TestGifReader)
#include "tst_gifreader.moc"
