// The photo decoders: each format decoded within a small error of its own
// tool's decode of the same file, the orientation found where exiftool wrote
// it and in hand-built EXIF blocks, all eight turns matching Qt's own turns,
// transparency kept, and hostile files refused before their pixels are
// allocated. Files are made at run time by Debian's encoders; a test whose
// tool is missing is skipped.
#include "ExifBlock.h"
#include "Orientation.h"
#include "PhotoCapture.h"
#include "PhotoDecoder.h"
#include "PhotoFormats.h"
#include "PhotoTools.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>
#include <zlib.h>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

using TBytes = std::vector<std::uint8_t>;

void Put16(TBytes& out, unsigned v, bool big)
{
    if (big)
        out.insert(out.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
    else
        out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}

void Put32(TBytes& out, std::uint32_t v, bool big)
{
    Put16(out, big ? v >> 16 : v & 0xFFFF, big);
    Put16(out, big ? v & 0xFFFF : v >> 16, big);
}

struct TEntry {
    unsigned Tag, Type;
    std::uint32_t Count;
    unsigned Value;
};

// A TIFF structure with one IFD of the given entries (SHORT values kept in
// the value field's first two bytes), its count field as given.
TBytes ExifBlock(bool big, const std::vector<TEntry>& entries, int countField = -1, std::uint32_t ifd = 8)
{
    TBytes out;
    out.push_back(big ? 'M' : 'I');
    out.push_back(big ? 'M' : 'I');
    Put16(out, 42, big);
    Put32(out, ifd, big);
    Put16(out, countField < 0 ? unsigned(entries.size()) : unsigned(countField), big);
    for (const TEntry& e : entries) {
        Put16(out, e.Tag, big);
        Put16(out, e.Type, big);
        Put32(out, e.Count, big);
        Put16(out, e.Value, big);
        Put16(out, 0, big);
    }
    Put32(out, 0, big);
    return out;
}

TBytes WithPrefix(const char* prefix, std::size_t length, TBytes body)
{
    body.insert(body.begin(), prefix, prefix + length);
    return body;
}

void PutBig32(TBytes& out, std::uint32_t v)
{
    Put32(out, v, true);
}

// A PNG chunk with its CRC.
void PngChunk(TBytes& out, const char* type, const TBytes& data)
{
    PutBig32(out, std::uint32_t(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, std::uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

TBytes Deflated(const TBytes& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    TBytes out(size);
    compress(out.data(), &size, raw.data(), uLong(raw.size()));
    out.resize(size);
    return out;
}

// A grey PNG claiming width x height pixels whose data holds at most four
// rows (all of a small picture's).
TBytes PngClaiming(std::uint32_t width, std::uint32_t height)
{
    TBytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    TBytes header;
    PutBig32(header, width);
    PutBig32(header, height);
    header.insert(header.end(), {8, 0, 0, 0, 0});
    PngChunk(out, "IHDR", header);
    PngChunk(
        out, "IDAT",
        Deflated(TBytes((1 + std::min<std::size_t>(width, 4096)) * std::min<std::size_t>(height, 4), 0)));
    PngChunk(out, "IEND", {});
    return out;
}

// A PNG of our test picture with an eXIf chunk before or after its IDAT.
TBytes PngWithExif(const TBytes& exif, bool beforeData)
{
    TBytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    TBytes header;
    PutBig32(header, 2);
    PutBig32(header, 2);
    header.insert(header.end(), {8, 0, 0, 0, 0});
    PngChunk(out, "IHDR", header);
    if (beforeData) PngChunk(out, "eXIf", exif);
    PngChunk(out, "IDAT", Deflated(TBytes(6, 0)));
    if (!beforeData) PngChunk(out, "eXIf", exif);
    PngChunk(out, "IEND", {});
    return out;
}

// A JPEG's first bytes: SOI, an APP0, then an APP1 with the EXIF block,
// placed before or after a start-of-scan marker.
TBytes JpegWithExif(const TBytes& exif, bool beforeScan)
{
    TBytes out = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    TBytes app1 = {0xFF, 0xE1};
    Put16(app1, unsigned(exif.size() + 8), true);
    app1.insert(app1.end(), {'E', 'x', 'i', 'f', 0, 0});
    app1.insert(app1.end(), exif.begin(), exif.end());
    const TBytes scan = {0xFF, 0xDA, 0, 2};
    if (!beforeScan) out.insert(out.end(), scan.begin(), scan.end());
    out.insert(out.end(), app1.begin(), app1.end());
    if (beforeScan) out.insert(out.end(), scan.begin(), scan.end());
    return out;
}

// JPEG XL's bits, least significant first.
class TBitWriter {
  public:
    void Put(std::uint32_t value, int bits)
    {
        for (int i = 0; i < bits; ++i, ++FBit) {
            if (FBit % 8 == 0) Bytes.push_back(0);
            if (value >> i & 1) Bytes.back() |= std::uint8_t(1 << (FBit % 8));
        }
    }
    TBytes Bytes;

  private:
    int FBit = 0;
};

// A JPEG XL code stream whose size header claims side x side and whose
// metadata are all default; nothing follows but zero bytes.
TBytes JxlClaiming(std::uint32_t side)
{
    TBitWriter bits;
    bits.Put(0xFF, 8);
    bits.Put(0x0A, 8);
    bits.Put(0, 1); // not small
    bits.Put(2, 2); // height: 18 bits follow
    bits.Put(side - 1, 18);
    bits.Put(0, 3); // no ratio: the width follows
    bits.Put(2, 2);
    bits.Put(side - 1, 18);
    bits.Put(1, 1); // default metadata
    for (int i = 0; i < 64; ++i)
        bits.Put(0, 8);
    return bits.Bytes;
}

// A real HEIF/AVIF file with every "ispe" box claiming side x side.
TBytes HeifClaiming(TBytes bytes, std::uint32_t side)
{
    for (std::size_t at = 0; at + 16 <= bytes.size(); ++at) {
        if (std::memcmp(bytes.data() + at, "ispe", 4) != 0) continue;
        TBytes size;
        PutBig32(size, side);
        PutBig32(size, side);
        std::copy(size.begin(), size.end(), bytes.begin() + std::ptrdiff_t(at + 8));
    }
    return bytes;
}

// A TIFF of 8-bit grey claiming side x side pixels, with 100 bytes of strip.
TBytes TiffClaiming(std::uint32_t side, bool dng)
{
    std::vector<TEntry> entries = {{256, 4, 1, 0}, {257, 4, 1, 0}, {258, 3, 1, 8}, {259, 3, 1, 1},
                                   {262, 3, 1, 1}, {273, 4, 1, 0}, {278, 4, 1, 0}, {279, 4, 1, 100}};
    if (dng) entries.push_back({0xC612, 1, 4, 1});
    TBytes out = ExifBlock(false, entries);
    // Long values: write them over the SHORT layout.
    auto setLong = [&](int index, std::uint32_t value) {
        const std::size_t at = 10 + std::size_t(index) * 12 + 8;
        for (int i = 0; i < 4; ++i)
            out[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
    };
    setLong(0, side);
    setLong(1, side);
    setLong(5, std::uint32_t(out.size()));
    setLong(6, side);
    out.resize(out.size() + 100, 0x55);
    return out;
}

// A DNG of a 64 x 48 RGGB sensor, 16 bits a sample, no preview: red rises
// from left to right, blue from top to bottom. Entries in tag order; values
// longer than four bytes follow the IFD, the pixels come last.
TBytes DngOfRamps(int orientation)
{
    constexpr int kWidth = 64, kHeight = 48;
    TBytes pixels;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int site = (y % 2) * 2 + (x % 2); // R G / G B
            const int value = site == 0 ? 4000 * x / kWidth : site == 3 ? 4000 * y / kHeight : 1500;
            Put16(pixels, unsigned(value + 200), false);
        }
    struct TDngEntry {
        unsigned Tag, Type;
        std::uint32_t Count;
        TBytes Value; // little-endian bytes of the values
    };
    auto shorts = [](std::initializer_list<unsigned> values) {
        TBytes out;
        for (unsigned v : values)
            Put16(out, v, false);
        return out;
    };
    auto longValue = [](std::uint32_t v) {
        TBytes out;
        Put32(out, v, false);
        return out;
    };
    TBytes matrix;
    for (int v : {1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1})
        Put32(matrix, std::uint32_t(v), false);
    std::vector<TDngEntry> entries = {{254, 4, 1, longValue(0)},
                                      {256, 4, 1, longValue(kWidth)},
                                      {257, 4, 1, longValue(kHeight)},
                                      {258, 3, 1, shorts({16})},
                                      {259, 3, 1, shorts({1})},
                                      {262, 3, 1, shorts({32803})},
                                      {271, 2, 5, TBytes{'T', 'e', 's', 't', 0}},
                                      {272, 2, 5, TBytes{'C', 'a', 'm', '1', 0}},
                                      {273, 4, 1, longValue(0)},
                                      {274, 3, 1, shorts({unsigned(orientation)})},
                                      {277, 3, 1, shorts({1})},
                                      {278, 4, 1, longValue(kHeight)},
                                      {279, 4, 1, longValue(std::uint32_t(pixels.size()))},
                                      {284, 3, 1, shorts({1})},
                                      {0x828D, 3, 2, shorts({2, 2})},
                                      {0x828E, 1, 4, TBytes{0, 1, 1, 2}},
                                      {0xC612, 1, 4, TBytes{1, 4, 0, 0}},
                                      {0xC614, 2, 5, TBytes{'C', 'a', 'm', '1', 0}},
                                      {0xC61A, 3, 1, shorts({200})},
                                      {0xC61D, 3, 1, shorts({4200})},
                                      {0xC621, 10, 9, matrix}};
    const std::size_t ifdBytes = 2 + entries.size() * 12 + 4;
    TBytes extra;
    TBytes out = {'I', 'I', 42, 0};
    Put32(out, 8, false);
    Put16(out, unsigned(entries.size()), false);
    std::size_t stripEntry = 0;
    for (const TDngEntry& e : entries) {
        Put16(out, e.Tag, false);
        Put16(out, e.Type, false);
        Put32(out, e.Count, false);
        if (e.Tag == 273) stripEntry = out.size();
        if (e.Value.size() <= 4) {
            TBytes value = e.Value;
            value.resize(4, 0);
            out.insert(out.end(), value.begin(), value.end());
        } else {
            Put32(out, std::uint32_t(8 + ifdBytes + extra.size()), false);
            extra.insert(extra.end(), e.Value.begin(), e.Value.end());
        }
    }
    Put32(out, 0, false);
    out.insert(out.end(), extra.begin(), extra.end());
    const std::uint32_t pixelStart = std::uint32_t(out.size());
    for (int i = 0; i < 4; ++i)
        out[stripEntry + std::size_t(i)] = std::uint8_t(pixelStart >> (8 * i));
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// The DNG with one more IFD at the end of its chain: a reduced picture
// (NewSubFileType 1) held as one JPEG strip, as cameras store previews.
TBytes WithJpegPreview(TBytes dng, const TBytes& jpeg, int width, int height)
{
    const auto at16 = [&dng](std::size_t at) { return std::size_t(dng[at]) | std::size_t(dng[at + 1]) << 8; };
    const auto at32 = [&](std::size_t at) { return at16(at) | at16(at + 2) << 16; };
    std::size_t nextField = 8 + 2 + at16(8) * 12;
    for (std::size_t next = at32(nextField); next != 0; next = at32(nextField))
        nextField = next + 2 + at16(next) * 12;
    const std::uint32_t ifd = std::uint32_t(dng.size() + dng.size() % 2);
    dng.resize(ifd, 0);
    for (int i = 0; i < 4; ++i)
        dng[nextField + std::size_t(i)] = std::uint8_t(ifd >> (8 * i));
    const unsigned kEntries = 9;
    const std::uint32_t data = ifd + 2 + kEntries * 12 + 4;
    const std::uint32_t entries[kEntries][3] = {{254, 4, 1},
                                                {256, 4, std::uint32_t(width)},
                                                {257, 4, std::uint32_t(height)},
                                                {259, 3, 7},
                                                {262, 3, 6},
                                                {273, 4, data},
                                                {277, 3, 3},
                                                {278, 4, std::uint32_t(height)},
                                                {279, 4, std::uint32_t(jpeg.size())}};
    Put16(dng, kEntries, false);
    for (const auto& e : entries) {
        Put16(dng, e[0], false);
        Put16(dng, e[1], false);
        Put32(dng, 1, false);
        if (e[1] == 3) {
            Put16(dng, e[2], false);
            Put16(dng, 0, false);
        } else {
            Put32(dng, e[2], false);
        }
    }
    Put32(dng, 0, false);
    dng.insert(dng.end(), jpeg.begin(), jpeg.end());
    return dng;
}

// A 630-byte AVIF found by fuzzing: its container says 32 x 24, the AV1
// sequence header inside says 55313 x 13330, for which the AV1 decoder once
// allocated 3 GB.
TBytes AvifWithHugeCodedFrame()
{
    static const char kHex[] =
        "0000001c667479706176696600000000617669666d6966316d696166000000f26d657461000000000000002868646c72"
        "0000000000000000706963740000000000000000000000006c696261766966000000000e7069746d0000000000010000"
        "001e696c6f630000000044000001000100000001000001160000012a0000002869696e660000000000010000001a696e"
        "6665020000000001000061763031436f6c6f72000000006a697072700000004b6970636f000000146973706500000000"
        "0000002000000018000000107069786900000000030c0c0c0000000c617631438140600000000013636f6c726e636c78"
        "0001000d0006800000001769706d61000000000000000100010401028304000001326d64617412000a09583f76043411"
        "341a20329a0216400924924400cfbeeec95efa35b3ee419f98bc9de87bacc00654db45b72ba85969aaa14824b1618911"
        "52880e3c572905498e3642b0aac49b719b752fb66ed6cefdfd33dba44b1450c7e2261b952a8841cdbcf24e4ff823b04e"
        "346865696638426f785f69726f7445fcc3c4aaa5fdd2b87efb7ed238c7b3f544ff0804e72ff6d196ae2334e672ee88e9"
        "7fc83314bc08e66583ddb82250d15ffc01c421f69a7aaa0c180a3297ffffffffffffffffffffffffffffffffffffffff"
        "ffffffffffffffffffffffffffffffffffff726e5a4a57d259932bba624b0112190202786e9b378b58a47aad23ab1988"
        "6b055d9240982e846c16e39fb1fa09827f4d58c1459ddc1d974fc2c62907627736f22907627736f25a159829e1b945e3"
        "f501231ac00a9f52f6724cf5987799c08db8c6707548c2c4bb071dbf9e3048db05fbbb8b4e054381b39b4637ce96db9c"
        "d82d267d3836";
    const QByteArray bytes = QByteArray::fromHex(kHex);
    return TBytes(bytes.begin(), bytes.end());
}

bool WriteFile(const QString& path, const TBytes& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(reinterpret_cast<const char*>(bytes.data()),
                                                         qint64(bytes.size())) == qint64(bytes.size());
}

} // namespace

class TestPhoto : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void orientationFromTiff_data();
    void orientationFromTiff();
    void orientationInContainers_data();
    void orientationInContainers();
    void taggedByExiftool_data();
    void taggedByExiftool();
    void capturedByExiftool_data();
    void capturedByExiftool();
    void decodesLikeTheFormatTool_data();
    void decodesLikeTheFormatTool();
    void transparencyKept_data();
    void transparencyKept();
    void formatBySignatureAndName();
    void heifChromaFromBoxes_data();
    void heifChromaFromBoxes();
    void hostileFiles_data();
    void hostileFiles();
    void headerPixelsWithoutDecoding_data();
    void headerPixelsWithoutDecoding();
    void rawSensorDataDevelopedAndTurned_data();
    void rawSensorDataDevelopedAndTurned();
    void rawPreviewDecodedAtScale_data();
    void rawPreviewDecodedAtScale();
    void rawSmallestPreviewThatFills_data();
    void rawSmallestPreviewThatFills();
    void truncatedFilesStayWithinRules_data();
    void truncatedFilesStayWithinRules();

  private:
    QString Path(const QString& name) const { return FDir.filePath(name); }
    // Encodes our test picture into name with the format's tool; the path,
    // or empty (after QSKIP's message is chosen) when the tool is missing.
    QString Encoded(const QString& name, const QString& kind);

    QTemporaryDir FDir;
    QImage FSource;
    QImage FTransparent;
};

void TestPhoto::initTestCase()
{
    QVERIFY(FDir.isValid());
    FSource = MakeTestPicture(96, 64);
    FTransparent = MakeTestPicture(96, 64, true);
    QVERIFY(FSource.save(Path("source.png")));
    // Without an alpha channel: the HEIF encoders would otherwise add an
    // alpha picture, and libheif's conversion would take over from ours.
    QVERIFY(FSource.convertToFormat(QImage::Format_RGB888).save(Path("opaque.png")));
    QVERIFY(FTransparent.save(Path("transparent.png")));
}

QString TestPhoto::Encoded(const QString& name, const QString& kind)
{
    const QString source =
        Path(kind.startsWith("heic") || kind.startsWith("avif") ? "opaque.png" : "source.png");
    const QString out = Path(name);
    bool ok = false;
    if (kind == "png")
        ok = RunTool("convert", {source, out});
    else if (kind == "tiff")
        ok = RunTool("convert", {source, "-compress", "zip", out});
    else if (kind == "webp")
        ok = RunTool("cwebp", {"-quiet", "-q", "90", source, "-o", out});
    else if (kind == "webp-lossless")
        ok = RunTool("cwebp", {"-quiet", "-lossless", source, "-o", out});
    else if (kind == "heic")
        ok = RunTool("heif-enc", {"-q", "90", source, "-o", out});
    else if (kind == "heic-422" || kind == "heic-444")
        ok = RunTool("heif-enc", {"-q", "90", "-p", "chroma=" + kind.mid(5), source, "-o", out});
    else if (kind == "avif")
        ok = RunTool("avifenc", {"-s", "10", source, out});
    else if (kind == "avif-420")
        ok = RunTool("avifenc", {"-s", "10", "-y", "420", source, out});
    else if (kind == "avif-limited-709")
        ok = RunTool("avifenc", {"-s", "10", "-y", "420", "-r", "limited", "--cicp", "1/13/1", source, out});
    else if (kind == "jxl")
        ok = RunTool("cjxl", {"--quiet", source, out, "-d", "1"});
    else if (kind == "jxl-lossless")
        ok = RunTool("cjxl", {"--quiet", source, out, "-d", "0"});
    else if (kind == "jpeg")
        ok = FSource.save(out, "JPEG", 95);
    return ok ? out : QString();
}

void TestPhoto::orientationFromTiff_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("expected");
    auto row = [](const char* name, const TBytes& bytes, int expected) {
        QTest::newRow(name) << QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          qsizetype(bytes.size()))
                            << expected;
    };
    for (int o = 1; o <= 8; ++o) {
        row(qPrintable(QString("little endian %1").arg(o)), ExifBlock(false, {{0x112, 3, 1, unsigned(o)}}),
            o);
        row(qPrintable(QString("big endian %1").arg(o)), ExifBlock(true, {{0x112, 3, 1, unsigned(o)}}), o);
    }
    row("after other entries", ExifBlock(true, {{0x10F, 2, 4, 0}, {0x110, 2, 4, 0}, {0x112, 3, 1, 6}}), 6);
    row("with Exif prefix", WithPrefix("Exif\0\0", 6, ExifBlock(false, {{0x112, 3, 1, 8}})), 8);
    row("no orientation entry", ExifBlock(false, {{0x10F, 2, 4, 0}}), 1);
    row("value 0", ExifBlock(false, {{0x112, 3, 1, 0}}), 1);
    row("value 9", ExifBlock(false, {{0x112, 3, 1, 9}}), 1);
    row("type LONG", ExifBlock(false, {{0x112, 4, 1, 6}}), 1);
    row("two values", ExifBlock(false, {{0x112, 3, 2, 6}}), 1);
    row("IFD beyond the end", ExifBlock(false, {{0x112, 3, 1, 6}}, -1, 4000), 1);
    row("IFD offset wraps", ExifBlock(false, {{0x112, 3, 1, 6}}, -1, 0xFFFFFFF0u), 1);
    row("count beyond the entries", ExifBlock(false, {{0x10F, 2, 4, 0}}, 60000), 1);
    TBytes cut = ExifBlock(false, {{0x10F, 2, 4, 0}, {0x112, 3, 1, 6}});
    cut.resize(cut.size() - 10);
    row("entry cut off", cut, 1);
    row("header only", TBytes{'I', 'I', 42, 0, 8}, 1);
    row("bad byte order", TBytes{'I', 'M', 42, 0, 8, 0, 0, 0, 0, 0}, 1);
    row("empty", TBytes{}, 1);
}

void TestPhoto::orientationFromTiff()
{
    QFETCH(QByteArray, block);
    QFETCH(int, expected);
    // A copy on the heap of exactly the block's size, so that a read past it
    // is seen by the sanitizers.
    std::vector<std::uint8_t> bytes(block.begin(), block.end());
    QCOMPARE(ExifOrientationFromTiff(bytes.data(), bytes.size()), expected);
}

void TestPhoto::orientationInContainers_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("expected");
    auto row = [](const char* name, const TBytes& bytes, int expected) {
        QTest::newRow(name) << QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          qsizetype(bytes.size()))
                            << expected;
    };
    const TBytes six = ExifBlock(false, {{0x112, 3, 1, 6}});
    row("JPEG APP1 before the scan", JpegWithExif(six, true), 6);
    row("JPEG APP1 after the scan", JpegWithExif(six, false), 1);
    TBytes longSegment = JpegWithExif(six, true);
    longSegment[21] = 0xFF; // the APP0 length now runs past the end
    row("JPEG segment longer than the file", TBytes(longSegment.begin(), longSegment.begin() + 40), 1);
    row("PNG eXIf before IDAT", PngWithExif(ExifBlock(true, {{0x112, 3, 1, 3}}), true), 3);
    row("PNG eXIf after IDAT", PngWithExif(ExifBlock(true, {{0x112, 3, 1, 3}}), false), 1);
    row("TIFF file", ExifBlock(true, {{0x100, 3, 1, 4}, {0x112, 3, 1, 7}}), 7);
    row("not a picture", TBytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}, 1);
}

void TestPhoto::orientationInContainers()
{
    QFETCH(QByteArray, file);
    QFETCH(int, expected);
    std::vector<std::uint8_t> bytes(file.begin(), file.end());
    QCOMPARE(ExifOrientationFromBytes(bytes.data(), bytes.size()), expected);
}

void TestPhoto::taggedByExiftool_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("orientation");
    for (const auto& [kind, extension] : std::initializer_list<std::pair<const char*, const char*>>{
             {"jpeg", "jpg"}, {"png", "png"}, {"tiff", "tif"}, {"webp-lossless", "webp"}})
        for (int o = 1; o <= 8; ++o)
            QTest::newRow(qPrintable(QString("%1 %2").arg(kind).arg(o))) << kind << extension << o;
}

void TestPhoto::taggedByExiftool()
{
    QFETCH(QString, kind);
    QFETCH(QString, extension);
    QFETCH(int, orientation);
    if (ToolPath("exiftool").isEmpty()) QSKIP("exiftool is not installed");
    const QString file = Encoded(QString("tagged-%1-%2.%3").arg(kind).arg(orientation).arg(extension), kind);
    if (file.isEmpty()) QSKIP("the encoder is not installed");
    QVERIFY(RunTool("exiftool",
                    {"-q", "-n", QString("-Orientation=%1").arg(orientation), "-overwrite_original", file}));
    QCOMPARE(FileOrientation(QFile::encodeName(file).toStdString()), orientation);
    const TBytes bytes = FileBytes(file);
    QCOMPARE(ExifOrientationFromBytes(bytes.data(), bytes.size()), orientation);
    if (kind == "jpeg") return; // the JPEG class decodes JPEG; the turn is checked with it
    const std::string path = QFile::encodeName(file).toStdString();
    const TPhotoPicture upright = DecodePhotoFile(path, TPhotoRequest{true, 0});
    QCOMPARE(LargestDifference(ImageOfRgba(upright.Rgba, upright.Width, upright.Height),
                               TurnedByQt(FSource, orientation)),
             0);
    const TPhotoPicture stored = DecodePhotoFile(path, TPhotoRequest{false, 0});
    QCOMPARE(LargestDifference(ImageOfRgba(stored.Rgba, stored.Width, stored.Height), FSource), 0);
}

// The capture date and camera exiftool wrote, read back from each container
// that carries EXIF, with the picture's size turned as its orientation says;
// the expected time comes from QDateTime.
void TestPhoto::capturedByExiftool_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("sized"); // the picture's size known without EXIF
    QTest::addColumn<int>("orientation");
    QTest::newRow("JPEG") << "jpeg"
                          << "jpg" << true << 1;
    QTest::newRow("JPEG stored on its side") << "jpeg"
                                             << "jpg" << true << 6;
    QTest::newRow("PNG") << "png"
                         << "png" << true << 1;
    QTest::newRow("TIFF") << "tiff"
                          << "tif" << true << 1;
    QTest::newRow("WebP") << "webp-lossless"
                          << "webp" << false << 1;
    QTest::newRow("HEIC") << "heic"
                          << "heic" << true << 1;
    // cjxl keeps a JPEG's EXIF in a brotli-compressed box.
    QTest::newRow("JPEG XL from a tagged JPEG") << "jxl-from-jpeg"
                                                << "jxl" << false << 1;
}

void TestPhoto::capturedByExiftool()
{
    QFETCH(QString, kind);
    QFETCH(QString, extension);
    QFETCH(bool, sized);
    QFETCH(int, orientation);
    if (ToolPath("exiftool").isEmpty()) QSKIP("exiftool is not installed");
    const bool converted = kind == "jxl-from-jpeg";
    const QString name = QString("taken-%1-%2.").arg(kind).arg(orientation);
    QString file = Encoded(name + (converted ? "jpg" : extension), converted ? "jpeg" : kind);
    if (file.isEmpty()) QSKIP("the encoder is not installed");
    QVERIFY(RunTool("exiftool", {"-q", "-n", "-overwrite_original", "-DateTimeOriginal=2023:05:14 10:31:07",
                                 "-SubSecTimeOriginal=25", "-OffsetTimeOriginal=+02:00", "-Model=Pixel 7",
                                 QString("-Orientation=%1").arg(orientation), file}));
    if (converted) {
        if (ToolPath("cjxl").isEmpty()) QSKIP("cjxl is not installed");
        QVERIFY(RunTool("cjxl", {"--quiet", file, Path(name + extension)}));
        file = Path(name + extension);
        const TBytes bytes = FileBytes(file);
        QCOMPARE(FindExifBlock(bytes.data(), bytes.size()).Size, std::size_t{0});
        QVERIFY(FindCompressedJxlExif(bytes.data(), bytes.size()).Size != 0);
    }
    const TCaptureInfo info = ReadCaptureInfo(QFile::encodeName(file).toStdString());
    const QDateTime taken(QDate(2023, 5, 14), QTime(10, 31, 7, 250), QTimeZone(7200));
    QCOMPARE(info.CaptureNs.value_or(-1), taken.toMSecsSinceEpoch() * 1'000'000);
    QVERIFY(info.HasOffset);
    QCOMPARE(QString::fromStdString(info.Model), QStringLiteral("Pixel 7"));
    if (sized) {
        const bool turned = orientation >= 5;
        QCOMPARE(int(info.Width), turned ? FSource.height() : FSource.width());
        QCOMPARE(int(info.Height), turned ? FSource.width() : FSource.height());
    }
}

void TestPhoto::decodesLikeTheFormatTool_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("allowed");
    // Lossless files must match the source; lossy ones their tool's decode,
    // within the rounding of another YUV to RGB conversion.
    QTest::newRow("PNG") << "png"
                         << "png" << 0;
    QTest::newRow("TIFF deflate") << "tiff"
                                  << "tif" << 0;
    QTest::newRow("WebP lossless") << "webp-lossless"
                                   << "webp" << 0;
    QTest::newRow("WebP lossy") << "webp"
                                << "webp" << 2;
    QTest::newRow("HEIC") << "heic"
                          << "heic" << 2;
    QTest::newRow("HEIC 4:2:2") << "heic-422"
                                << "heic" << 2;
    QTest::newRow("HEIC 4:4:4") << "heic-444"
                                << "heic" << 2;
    QTest::newRow("AVIF") << "avif"
                          << "avif" << 4;
    // Against libheif's own conversion, as heif-convert runs it.
    QTest::newRow("AVIF 4:2:0 by libheif") << "avif-420"
                                           << "avif" << 1;
    QTest::newRow("AVIF limited range BT.709 by libheif") << "avif-limited-709"
                                                          << "avif" << 1;
    QTest::newRow("JPEG XL") << "jxl"
                             << "jxl" << 2;
    QTest::newRow("JPEG XL lossless") << "jxl-lossless"
                                      << "jxl" << 0;
}

void TestPhoto::decodesLikeTheFormatTool()
{
    QFETCH(QString, kind);
    QFETCH(QString, extension);
    QFETCH(int, allowed);
    const QString file = Encoded("decode-" + kind + "." + extension, kind);
    if (file.isEmpty()) QSKIP("the encoder is not installed");
    QImage reference = FSource;
    const QString refPath = Path("reference-" + kind + ".png");
    if (kind == "webp" && RunTool("dwebp", {"-quiet", file, "-o", refPath})) reference = QImage(refPath);
    if (kind.startsWith("heic") && RunTool("heif-convert", {file, refPath})) reference = QImage(refPath);
    if (kind == "avif" && RunTool("avifdec", {file, refPath})) reference = QImage(refPath);
    if (kind.startsWith("avif-") && RunTool("heif-convert", {file, refPath})) reference = QImage(refPath);
    if (kind == "jxl" && RunTool("djxl", {file, refPath})) reference = QImage(refPath);
    QVERIFY(!reference.isNull());
    const TPhotoPicture picture = DecodePhotoFile(QFile::encodeName(file).toStdString(), TPhotoRequest{});
    QCOMPARE(picture.FullPixels, std::uint64_t(96 * 64));
    const int difference =
        LargestDifference(ImageOfRgba(picture.Rgba, picture.Width, picture.Height), reference);
    qInfo("%s: largest difference from the tool's decode %d", qPrintable(kind), difference);
    QVERIFY(difference >= 0);
    QVERIFY2(difference <= allowed, qPrintable(QString::number(difference)));
}

void TestPhoto::transparencyKept_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("extension");
    QTest::newRow("PNG") << "convert" << QStringList{} << "png";
    QTest::newRow("TIFF") << "convert" << QStringList{} << "tif";
    QTest::newRow("WebP") << "cwebp" << QStringList{"-quiet", "-lossless", "-exact"} << "webp";
    QTest::newRow("JPEG XL") << "cjxl" << QStringList{"--quiet", "-d", "0"} << "jxl";
}

void TestPhoto::transparencyKept()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(QString, extension);
    const QString out = Path("alpha." + extension);
    QStringList all = arguments;
    if (tool == "cwebp")
        all << Path("transparent.png") << "-o" << out;
    else
        all << Path("transparent.png") << out;
    if (!RunTool(tool, all)) QSKIP("the encoder is not installed");
    const TPhotoPicture picture = DecodePhotoFile(QFile::encodeName(out).toStdString(), TPhotoRequest{});
    QVERIFY(picture.HasAlpha);
    const QImage decoded = ImageOfRgba(picture.Rgba, picture.Width, picture.Height);
    QCOMPARE(decoded.size(), FTransparent.size());
    for (int y = 0; y < decoded.height(); y += 3)
        for (int x = 0; x < decoded.width(); x += 3)
            QCOMPARE(qAlpha(decoded.pixel(x, y)), qAlpha(FTransparent.pixel(x, y)));
}

void TestPhoto::formatBySignatureAndName()
{
    QCOMPARE(PhotoFormatOfName("/a/IMG_1.HEIC"), TPhotoFormat::Heif);
    QCOMPARE(PhotoFormatOfName("b.avif"), TPhotoFormat::Heif);
    QCOMPARE(PhotoFormatOfName("c.Jxl"), TPhotoFormat::Jxl);
    QCOMPARE(PhotoFormatOfName("d.nef"), TPhotoFormat::Raw);
    QCOMPARE(PhotoFormatOfName("e.CR3"), TPhotoFormat::Raw);
    QCOMPARE(PhotoFormatOfName("f.tiff"), TPhotoFormat::Tiff);
    QCOMPARE(PhotoFormatOfName("dir.png/g"), TPhotoFormat::Unknown);
    QCOMPARE(PhotoFormatOfName("h.jpg"), TPhotoFormat::Unknown);
    // A PNG named .webp is read as the PNG it is.
    const TBytes png = PngClaiming(4, 4);
    QCOMPARE(PhotoFormatOfBytes(png.data(), png.size()), TPhotoFormat::Png);
    const QString misnamed = Path("really-png.webp");
    QVERIFY(WriteFile(misnamed, png));
    QCOMPARE(DecodePhotoFile(QFile::encodeName(misnamed).toStdString(), TPhotoRequest{}).Width, 4);
}

void TestPhoto::heifChromaFromBoxes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("shiftX");
    QTest::addColumn<int>("shiftY");
    QTest::newRow("HEVC 4:2:0") << "heic"
                                << "heic" << 1 << 1;
    QTest::newRow("HEVC 4:2:2") << "heic-422"
                                << "heic" << 1 << 0;
    QTest::newRow("HEVC 4:4:4") << "heic-444"
                                << "heic" << 0 << 0;
    QTest::newRow("AV1 4:2:0") << "avif-420"
                               << "avif" << 1 << 1;
    QTest::newRow("AV1 4:4:4") << "avif"
                               << "avif" << 0 << 0;
}

// The chroma the codec configuration declares, as the encoder was told;
// cut short inside its boxes, the file gives no answer.
void TestPhoto::heifChromaFromBoxes()
{
    QFETCH(QString, kind);
    QFETCH(QString, extension);
    QFETCH(int, shiftX);
    QFETCH(int, shiftY);
    const QString file = Encoded("chroma-" + kind + "." + extension, kind);
    if (file.isEmpty()) QSKIP("the encoder is not installed");
    const std::vector<std::uint8_t> bytes = FileBytes(file);
    const std::optional<photo::THeifChroma> chroma = photo::StoredHeifChroma(bytes.data(), bytes.size());
    QVERIFY(chroma.has_value());
    QCOMPARE(chroma->ShiftX, shiftX);
    QCOMPARE(chroma->ShiftY, shiftY);
    for (std::size_t cut : {std::size_t(0), std::size_t(40), std::size_t(120)})
        QVERIFY(!photo::StoredHeifChroma(bytes.data(), cut).has_value());
}

void TestPhoto::hostileFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("makeWith"); // a tool's recipe instead of bytes
    auto row = [](const char* name, const QString& file, const TBytes& bytes, const QString& recipe = {}) {
        QTest::newRow(name) << file
                            << QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          qsizetype(bytes.size()))
                            << recipe;
    };
    for (const char* ext : {"png", "webp", "tif", "heic", "avif", "jxl", "dng"})
        row(qPrintable(QString("%1 zero length").arg(ext)), QString("empty.") + ext, {});
    row("png claiming 65535 x 65535", "claim.png", PngClaiming(65535, 65535));
    row("png claiming 8000 x 8000 from one row", "claim8k.png", PngClaiming(8000, 8000));
    row("tif claiming 65535 x 65535", "claim.tif", TiffClaiming(65535, false));
    row("avif whose coded frame claims 55313 x 13330", "coded.avif", AvifWithHugeCodedFrame());
    row("dng claiming 65535 x 65535", "claim.dng", TiffClaiming(65535, true));
    row("jxl claiming 65535 x 65535", "claim.jxl", JxlClaiming(65535));
    row("jxl claiming 8000 x 8000", "claim8k.jxl", JxlClaiming(8000));
    row("heic claiming 65535 x 65535", "claim.heic", {}, "heic-claim");
    row("avif claiming 65535 x 65535", "claim.avif", {}, "avif-claim");
    row("webp claiming 16383 x 16383", "claim.webp", {}, "webp-claim");
    row("png bomb", "bomb.png", {}, "png-bomb");
    row("tif bomb", "bomb.tif", {}, "tif-bomb");
    row("webp bomb", "bomb.webp", {}, "webp-bomb");
    row("jxl bomb", "bomb.jxl", {}, "jxl-bomb");
}

void TestPhoto::hostileFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, makeWith);
    const QString file = Path(name);
    TBytes data(bytes.begin(), bytes.end());
    const QString flat = Path("flat.png");
    if (makeWith.endsWith("-bomb") && !QFile::exists(flat) &&
        !RunTool("convert", {"-size", "6000x6000", "xc:white", "-depth", "8", flat}))
        QSKIP("ImageMagick is not installed");
    if (makeWith == "heic-claim" || makeWith == "avif-claim") {
        const QString small =
            Encoded(makeWith == "heic-claim" ? "small.heic" : "small.avif", makeWith.left(4));
        if (small.isEmpty()) QSKIP("the encoder is not installed");
        data = HeifClaiming(FileBytes(small), 65535);
    } else if (makeWith == "webp-claim") {
        // Lossless WebP stores its sides in 14 bits: 16383 is the most.
        const QString small = Encoded("small-lossless.webp", "webp-lossless");
        if (small.isEmpty()) QSKIP("cwebp is not installed");
        data = FileBytes(small);
        const std::uint32_t sides = 16382u | 16382u << 14 | (data[24] & 0xF0u) << 24;
        for (int i = 0; i < 4; ++i)
            data[std::size_t(21 + i)] = std::uint8_t(sides >> (8 * i));
    } else if (makeWith == "png-bomb") {
        QVERIFY(RunTool("convert", {flat, file}));
        data = FileBytes(file);
    } else if (makeWith == "tif-bomb") {
        QVERIFY(RunTool("convert", {flat, "-compress", "zip", file}));
        data = FileBytes(file);
    } else if (makeWith == "webp-bomb") {
        if (!RunTool("cwebp", {"-quiet", "-lossless", flat, "-o", file})) QSKIP("cwebp is not installed");
        data = FileBytes(file);
    } else if (makeWith == "jxl-bomb") {
        if (!RunTool("cjxl", {"--quiet", "-e", "1", flat, file})) QSKIP("cjxl is not installed");
        data = FileBytes(file);
    }
    QVERIFY2(data.size() < 64 * 1024, qPrintable(QString::number(data.size())));
    QVERIFY(WriteFile(file, data));
    try {
        const TPhotoPicture picture = DecodePhotoFile(QFile::encodeName(file).toStdString(), TPhotoRequest{});
        QFAIL(qPrintable(QString("decoded %1 x %2").arg(picture.Width).arg(picture.Height)));
    } catch (const EPhoto& e) {
        qInfo("%s: %s", qPrintable(name), e.what());
        // Refused by a size rule before the codec allocates, not by the
        // codec's failure after it did.
        const QString message = QString::fromUtf8(e.what());
        if (name.startsWith("coded"))
            QVERIFY2(message.contains("Security limit") || message.contains("claims more pixels"), e.what());
    }
}

void TestPhoto::headerPixelsWithoutDecoding_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("extension");
    QTest::newRow("WebP") << "webp"
                          << "webp";
    QTest::newRow("TIFF") << "tiff"
                          << "tif";
    QTest::newRow("HEIC") << "heic"
                          << "heic";
    QTest::newRow("AVIF") << "avif"
                          << "avif";
    QTest::newRow("JPEG XL") << "jxl"
                             << "jxl";
    QTest::newRow("DNG") << "dng"
                         << "dng";
    QTest::newRow("PNG is not ours") << "png"
                                     << "png";
}

// The largest-picture rule ranks these formats by the size their headers
// give, checked against the size they decode to.
void TestPhoto::headerPixelsWithoutDecoding()
{
    QFETCH(QString, kind);
    QFETCH(QString, extension);
    QString file;
    if (kind == "dng") {
        file = Path("size.dng");
        QVERIFY(WriteFile(file, DngOfRamps(1)));
    } else {
        file = Encoded("size-" + kind + "." + extension, kind);
    }
    if (file.isEmpty()) QSKIP("the encoder is not installed");
    const std::string path = QFile::encodeName(file).toStdString();
    const TPhotoPicture picture = DecodePhotoFile(path, TPhotoRequest{});
    const std::uint64_t expected =
        kind == "png" ? 0 : std::uint64_t(picture.Width) * std::uint64_t(picture.Height);
    QCOMPARE(PhotoHeaderPixels(path), expected);
    QVERIFY(picture.Width > 0);
    QCOMPARE(PhotoHeaderPixels(QFile::encodeName(Path("missing.heic")).toStdString()), std::uint64_t(0));
}

void TestPhoto::rawSensorDataDevelopedAndTurned_data()
{
    QTest::addColumn<int>("orientation");
    QTest::newRow("upright") << 1;
    QTest::newRow("turned clockwise") << 6;
    QTest::newRow("half a turn") << 3;
}

// A DNG without preview: LibRaw develops the sensor data; the ramps must come
// out where the mosaic put them, turned as the file says.
void TestPhoto::rawSensorDataDevelopedAndTurned()
{
    QFETCH(int, orientation);
    const QString file = Path(QString("ramps-%1.dng").arg(orientation));
    QVERIFY(WriteFile(file, DngOfRamps(orientation)));
    const TPhotoPicture picture = DecodePhotoFile(QFile::encodeName(file).toStdString(), TPhotoRequest{});
    const QImage image = ImageOfRgba(picture.Rgba, picture.Width, picture.Height);
    // Back to the sensor's layout by Qt's own turn, then read the ramps.
    const QImage sensor = orientation == 6   ? image.transformed(QTransform().rotate(270))
                          : orientation == 3 ? image.mirrored(true, true)
                                             : image;
    QCOMPARE(sensor.size(), QSize(64, 48));
    QCOMPARE(picture.FullPixels, std::uint64_t(64 * 48));
    const int y = 24, x = 32;
    QVERIFY(qRed(sensor.pixel(4, y)) + 100 < qRed(sensor.pixel(59, y)));
    QVERIFY(qBlue(sensor.pixel(x, 4)) + 100 < qBlue(sensor.pixel(x, 43)));
    // The other ramp does not run along the first one's axis.
    QVERIFY(std::abs(qBlue(sensor.pixel(4, y)) - qBlue(sensor.pixel(59, y))) < 60);
}

void TestPhoto::rawPreviewDecodedAtScale_data()
{
    QTest::addColumn<int>("reduceBy");
    QTest::addColumn<int>("minShortSide");
    QTest::addColumn<int>("width");
    QTest::newRow("full size") << 1 << 0 << 320;
    QTest::newRow("an eighth, as the slides") << 8 << 0 << 40;
    QTest::newRow("a half, as the preview") << 2 << 0 << 160;
    QTest::newRow("short side 60 allows a quarter") << 1 << 60 << 80;
    QTest::newRow("the larger reduction wins") << 2 << 30 << 40;
}

// A DNG holding a JPEG preview: the preview, not the 64 x 48 sensor, is what
// is drawn, decoded at the DCT scale the request allows.
void TestPhoto::rawPreviewDecodedAtScale()
{
    QFETCH(int, reduceBy);
    QFETCH(int, minShortSide);
    QFETCH(int, width);
    const QImage source = MakeTestPicture(320, 240);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && source.save(&buffer, "JPEG", 95));
    const TBytes jpegBytes(jpeg.begin(), jpeg.end());
    const QString file = Path(QString("preview-%1-%2.dng").arg(reduceBy).arg(minShortSide));
    QVERIFY(WriteFile(file, WithJpegPreview(DngOfRamps(1), jpegBytes, 320, 240)));
    TPhotoRequest request;
    request.MinShortSide = minShortSide;
    request.ReduceBy = reduceBy;
    const TPhotoPicture picture = DecodePhotoFile(QFile::encodeName(file).toStdString(), request);
    QCOMPARE(picture.Width, width);
    QCOMPARE(picture.Height, width * 3 / 4);
    QCOMPARE(picture.FullPixels, std::uint64_t(320 * 240));
    const QImage expected =
        source.scaled(picture.Width, picture.Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage decoded = ImageOfRgba(picture.Rgba, picture.Width, picture.Height);
    QVERIFY2(LargestDifference(decoded.scaled(20, 15, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                               expected.scaled(20, 15, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)) < 40,
             "the preview's pixels");
}

void TestPhoto::rawSmallestPreviewThatFills_data()
{
    QTest::addColumn<int>("box"); // a square box; 0 none
    QTest::addColumn<int>("width");
    // Previews of 320 x 240 and 80 x 60; the DCT scale keeps the box filled.
    QTest::newRow("no box: the largest") << 0 << 320;
    QTest::newRow("the small one would be enlarged") << 100 << 160;
    QTest::newRow("the small one fills it") << 60 << 80;
    QTest::newRow("the small one, at a half") << 40 << 40;
    QTest::newRow("none fills it: the largest") << 1000 << 320;
}

// A picture drawn shrunk into a box comes from the smallest preview the RAW
// holds that still fills it, so that a slide decodes a thumbnail.
void TestPhoto::rawSmallestPreviewThatFills()
{
    QFETCH(int, box);
    QFETCH(int, width);
    TBytes dng = DngOfRamps(1);
    for (const QSize size : {QSize(320, 240), QSize(80, 60)}) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        QVERIFY(buffer.open(QIODevice::WriteOnly) &&
                MakeTestPicture(size.width(), size.height()).save(&buffer, "JPEG"));
        dng = WithJpegPreview(std::move(dng), TBytes(jpeg.begin(), jpeg.end()), size.width(), size.height());
    }
    const QString file = Path(QString("previews-%1.dng").arg(box));
    QVERIFY(WriteFile(file, dng));
    TPhotoRequest request;
    request.BoxWidth = request.BoxHeight = box;
    const TPhotoPicture picture = DecodePhotoFile(QFile::encodeName(file).toStdString(), request);
    QCOMPARE(picture.Width, width);
    QCOMPARE(picture.Height, width * 3 / 4);
    const TPhotoPicture fromBytes = DecodePhotoBytes(dng.data(), dng.size(), TPhotoFormat::Raw, request);
    QCOMPARE(fromBytes.Width, width);
}

void TestPhoto::truncatedFilesStayWithinRules_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("extension");
    for (const auto& [kind, ext] :
         std::initializer_list<std::pair<const char*, const char*>>{{"png", "png"},
                                                                    {"tiff", "tif"},
                                                                    {"webp", "webp"},
                                                                    {"heic", "heic"},
                                                                    {"avif", "avif"},
                                                                    {"jxl", "jxl"}})
        QTest::newRow(kind) << QString(kind) << QString(ext);
}

void TestPhoto::truncatedFilesStayWithinRules()
{
    QFETCH(QString, kind);
    QFETCH(QString, extension);
    const QString file = Encoded("whole-" + kind + "." + extension, kind);
    if (file.isEmpty()) QSKIP("the encoder is not installed");
    const TBytes whole = FileBytes(file);
    for (const std::size_t keep : {whole.size() / 2, whole.size() - 1, std::size_t(16)}) {
        const TBytes cut(whole.begin(), whole.begin() + std::ptrdiff_t(keep));
        try {
            const TPhotoPicture picture = DecodePhotoBytes(
                cut.data(), cut.size(), PhotoFormatOfBytes(whole.data(), whole.size()), TPhotoRequest{});
            // A decoder may show what it has; it must be the whole picture's size.
            QCOMPARE(picture.Width, 96);
            QCOMPARE(picture.Height, 64);
        } catch (const EPhoto&) {
        }
    }
}

QTEST_GUILESS_MAIN(TestPhoto)
#include "tst_photo.moc"
