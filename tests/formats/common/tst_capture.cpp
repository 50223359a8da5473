// The capture date, camera and dimensions read from EXIF blocks built here
// byte by byte: valid dates with and without sub-seconds and offset, dates
// outside the calendar, truncated IFDs, offsets pointing outside the block
// and IFDs that point back at themselves. Expected times come from
// QDateTime, not from the parser's own arithmetic.
#include "CaptureInfo.h"
#include "ExifBlock.h"

#include <QDateTime>
#include <QTest>
#include <QTimeZone>
#include <vector>

using namespace quorvane;

namespace {

using TBytes = std::vector<std::uint8_t>;

struct TTag {
    unsigned Tag;
    unsigned Type; // 2 ASCII, 3 SHORT, 4 LONG
    std::uint32_t Count;
    TBytes Value; // the value bytes in the block's byte order
};

void Put(TBytes& b, std::size_t at, std::uint32_t v, int bytes, bool big)
{
    for (int i = 0; i < bytes; ++i)
        b[at + i] = std::uint8_t(v >> (8 * (big ? bytes - 1 - i : i)));
}

TBytes Ascii(const char* text)
{
    TBytes v(text, text + std::strlen(text));
    v.push_back(0);
    return v;
}

TTag Text(unsigned tag, const char* text)
{
    const TBytes v = Ascii(text);
    return {tag, 2, std::uint32_t(v.size()), v};
}

TTag Number(unsigned tag, std::uint32_t value, bool big = false)
{
    TBytes v(4);
    Put(v, 0, value, 4, big);
    return {tag, 4, 1, v};
}

// A TIFF block: IFD0 at 8 with its tags plus the Exif IFD pointer (0x8769)
// when exif is not empty, the Exif IFD after it, long values last.
// exifAt overrides the pointer (for hostile blocks).
TBytes Block(std::vector<TTag> ifd0, const std::vector<TTag>& exif, bool big = false,
             std::optional<std::uint32_t> exifAt = {})
{
    const std::size_t ifd0Size = 2 + 12 * (ifd0.size() + (exif.empty() ? 0 : 1)) + 4;
    const std::size_t exifStart = 8 + ifd0Size;
    if (!exif.empty()) {
        ifd0.push_back(Number(0x8769, exifAt.value_or(std::uint32_t(exifStart)), big));
    }
    TBytes b(exifStart + (exif.empty() ? 0 : 2 + 12 * exif.size() + 4));
    b[0] = b[1] = big ? 'M' : 'I';
    Put(b, 2, 42, 2, big);
    Put(b, 4, 8, 4, big);
    auto writeIfd = [&](std::size_t at, const std::vector<TTag>& tags) {
        Put(b, at, std::uint32_t(tags.size()), 2, big);
        for (std::size_t i = 0; i < tags.size(); ++i) {
            const std::size_t e = at + 2 + 12 * i;
            Put(b, e, tags[i].Tag, 2, big);
            Put(b, e + 2, tags[i].Type, 2, big);
            Put(b, e + 4, tags[i].Count, 4, big);
            if (tags[i].Value.size() <= 4) {
                std::copy(tags[i].Value.begin(), tags[i].Value.end(), b.begin() + std::ptrdiff_t(e + 8));
            } else {
                Put(b, e + 8, std::uint32_t(b.size()), 4, big);
                b.insert(b.end(), tags[i].Value.begin(), tags[i].Value.end());
            }
        }
    };
    writeIfd(8, ifd0);
    if (!exif.empty()) writeIfd(exifStart, exif);
    return b;
}

QByteArray Bytes(const TBytes& b)
{
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

qint64 Ns(int y, int mo, int d, int h, int mi, int s, int ms, int offsetSeconds)
{
    const QDateTime t(QDate(y, mo, d), QTime(h, mi, s, ms), QTimeZone(offsetSeconds));
    return t.toMSecsSinceEpoch() * 1'000'000;
}

constexpr qint64 kNone = std::numeric_limits<qint64>::min();

} // namespace

class TestCapture : public QObject {
    Q_OBJECT

  private slots:
    void blocks_data();
    void blocks();
    void dateTexts_data();
    void dateTexts();
    void containers_data();
    void containers();
};

void TestCapture::blocks_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<qint64>("ns");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    const TTag model = Text(0x0110, "Pixel 7");
    const TTag date = Text(0x9003, "2023:05:14 10:31:07");
    const std::vector<TTag> full{date, Text(0x9291, "25"), Text(0x9011, "+02:00"), Number(0xA002, 4032),
                                 Number(0xA003, 3024)};
    const qint64 taken = Ns(2023, 5, 14, 10, 31, 7, 250, 7200);
    QTest::newRow("date, sub-seconds, offset, model, size")
        << Bytes(Block({model}, full)) << taken << "Pixel 7" << 4032 << 3024;
    QTest::newRow("big-endian") << Bytes(Block({model},
                                               {date, Text(0x9291, "25"), Text(0x9011, "+02:00"),
                                                Number(0xA002, 4032, true), Number(0xA003, 3024, true)},
                                               true))
                                << taken << "Pixel 7" << 4032 << 3024;
    QTest::newRow("no offset: read as UTC")
        << Bytes(Block({}, {date})) << Ns(2023, 5, 14, 10, 31, 7, 0, 0) << "" << 0 << 0;
    QTest::newRow("west of UTC") << Bytes(Block({}, {date, Text(0x9011, "-05:30")}))
                                 << Ns(2023, 5, 14, 10, 31, 7, 0, -19800) << "" << 0 << 0;
    QTest::newRow("damaged offset ignored") << Bytes(Block({}, {date, Text(0x9011, "+2:00")}))
                                            << Ns(2023, 5, 14, 10, 31, 7, 0, 0) << "" << 0 << 0;
    TTag shortOrientation{0x0112, 3, 1, {6, 0, 0, 0}};
    QTest::newRow("turned a quarter: sides swapped")
        << Bytes(Block({shortOrientation}, {date, Number(0xA002, 4032), Number(0xA003, 3024)}))
        << Ns(2023, 5, 14, 10, 31, 7, 0, 0) << "" << 3024 << 4032;
    QTest::newRow("date in the first IFD (CR3's CMT2)")
        << Bytes(Block({date}, {})) << Ns(2023, 5, 14, 10, 31, 7, 0, 0) << "" << 0 << 0;
    QTest::newRow("leap day") << Bytes(Block({}, {Text(0x9003, "2024:02:29 23:59:59")}))
                              << Ns(2024, 2, 29, 23, 59, 59, 0, 0) << "" << 0 << 0;
    QTest::newRow("before 1970") << Bytes(Block({}, {Text(0x9003, "1969:12:31 23:00:00")}))
                                 << Ns(1969, 12, 31, 23, 0, 0, 0, 0) << "" << 0 << 0;
    for (const char* bad :
         {"2023:02:29 10:00:00", "2023:13:01 00:00:00", "2023:05:14 24:00:00", "2023:05:14 10:60:00",
          "2023:05:14 10:31:60", "0000:00:00 00:00:00", "2023-05-14 10:31:07", "2023:05:14 10:31",
          "2023:05:14 10:31:07Z", "    :  :     :  :  ", "2023:04:31 12:00:00", "2o23:05:14 10:31:07",
          "1011:05:14 10:31:07", "9999:12:31 23:59:59"})
        QTest::newRow(qPrintable(QString("malformed %1").arg(bad)))
            << Bytes(Block({model}, {Text(0x9003, bad)})) << kNone << "Pixel 7" << 0 << 0;
    TBytes truncated = Block({model}, full);
    truncated.resize(8 + 2 + 12 * 2 + 4 + 2 + 12); // the Exif IFD cut after its first entry
    QTest::newRow("truncated Exif IFD") << Bytes(truncated) << kNone << "" << 0 << 0;
    TBytes header = Block({model}, full);
    header.resize(7);
    QTest::newRow("truncated header") << Bytes(header) << kNone << "" << 0 << 0;
    QTest::newRow("Exif IFD pointer outside")
        << Bytes(Block({model}, full, false, 0xFFFFFFF0u)) << kNone << "Pixel 7" << 0 << 0;
    QTest::newRow("Exif IFD pointing at the first IFD")
        << Bytes(Block({model}, full, false, 8)) << kNone << "Pixel 7" << 0 << 0;
    TBytes outside = Block({}, {date});
    Put(outside, 8 + 2 + 12 + 4 + 2 + 8, 0xFFFFFFF0u, 4, false); // the date's value offset
    QTest::newRow("date value outside") << Bytes(outside) << kNone << "" << 0 << 0;
    TBytes count = Block({}, {date});
    Put(count, 8 + 2 + 12 + 4 + 2 + 4, 0x7FFFFFFFu, 4, false); // the date's count
    QTest::newRow("date count beyond the block") << Bytes(count) << kNone << "" << 0 << 0;
    TBytes entries = Block({model}, full);
    Put(entries, 8 + 2 + 12 * 2 + 4, 0xFFFF, 2, false); // the Exif IFD claims 65535 entries
    QTest::newRow("entry count beyond the block") << Bytes(entries) << taken << "Pixel 7" << 4032 << 3024;
}

void TestCapture::blocks()
{
    QFETCH(QByteArray, block);
    QFETCH(qint64, ns);
    QFETCH(QString, model);
    QFETCH(int, width);
    QFETCH(int, height);
    const auto* data = reinterpret_cast<const std::uint8_t*>(block.constData());
    const TCaptureInfo info = CaptureInfoOfExif(ReadExifBlock(data, std::size_t(block.size())));
    QCOMPARE(info.CaptureNs.value_or(kNone), ns);
    QCOMPARE(QString::fromStdString(info.Model), model);
    QCOMPARE(int(info.Width), width);
    QCOMPARE(int(info.Height), height);
    // With the "Exif\0\0" prefix of JPEG's APP1 the block reads the same.
    QByteArray prefixed = QByteArray("Exif\0\0", 6) + block;
    const auto* p = reinterpret_cast<const std::uint8_t*>(prefixed.constData());
    QCOMPARE(CaptureInfoOfExif(ReadExifBlock(p, std::size_t(prefixed.size()))), info);
}

void TestCapture::dateTexts_data()
{
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<QByteArray>("subSeconds");
    QTest::addColumn<QByteArray>("offset");
    QTest::addColumn<QString>("text");
    QTest::newRow("all parts") << QByteArray("2023:05:14 10:31:07") << QByteArray("25")
                               << QByteArray("+02:00") << "2023-05-14 10:31:07.25 +02:00";
    QTest::newRow("date alone") << QByteArray("2023:05:14 10:31:07") << QByteArray() << QByteArray()
                                << "2023-05-14 10:31:07";
    QTest::newRow("sub-seconds not digits") << QByteArray("2023:05:14 10:31:07") << QByteArray("2x")
                                            << QByteArray("-03:30") << "2023-05-14 10:31:07 -03:30";
    QTest::newRow("no date") << QByteArray("2023:05:32 10:31:07") << QByteArray("25") << QByteArray("+02:00")
                             << "";
}

void TestCapture::dateTexts()
{
    QFETCH(QByteArray, date);
    QFETCH(QByteArray, subSeconds);
    QFETCH(QByteArray, offset);
    QFETCH(QString, text);
    TExifFields fields;
    fields.DateTimeOriginal = date.toStdString();
    fields.SubSecTimeOriginal = subSeconds.toStdString();
    fields.OffsetTimeOriginal = offset.toStdString();
    QCOMPARE(QString::fromStdString(CaptureDateText(CaptureInfoOfExif(fields))), text);
}

void TestCapture::containers_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("found");
    const QByteArray tiff = Bytes(Block({Text(0x0110, "Cam")}, {Text(0x9003, "2020:01:02 03:04:05")}));
    auto be32 = [](std::uint32_t v) {
        const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(b, 4);
    };
    auto le32 = [](std::uint32_t v) {
        const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        return QByteArray(b, 4);
    };
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    const char lengthBytes[2] = {char((app1.size() + 2) >> 8), char((app1.size() + 2) & 0xFF)};
    const QByteArray length(lengthBytes, 2);
    const QByteArray app0 = QByteArray("\xFF\xE0\x00\x04\x00\x00", 6);
    QTest::newRow("JPEG APP1 after APP0")
        << QByteArray("\xFF\xD8", 2) + app0 + QByteArray("\xFF\xE1", 2) + length + app1 + "\xFF\xD9" << true;
    QTest::newRow("JPEG APP1 after the scan")
        << QByteArray("\xFF\xD8\xFF\xDA\x00\x02", 6) + QByteArray("\xFF\xE1", 2) + length + app1 << false;
    QTest::newRow("JPEG APP1 longer than the file")
        << QByteArray("\xFF\xD8\xFF\xE1\xFF\xFF", 6) + app1 << false;
    QTest::newRow("TIFF file") << tiff << true;
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8);
    QTest::newRow("PNG eXIf") << png + be32(std::uint32_t(tiff.size())) + "eXIf" + tiff + be32(0) << true;
    QTest::newRow("PNG eXIf after IDAT")
        << png + be32(0) + "IDAT" + be32(0) + be32(std::uint32_t(tiff.size())) + "eXIf" + tiff + be32(0)
        << false;
    const QByteArray exif = "EXIF" + le32(std::uint32_t(tiff.size())) + tiff + (tiff.size() % 2 ? "\0" : "");
    QTest::newRow("WebP EXIF") << "RIFF" + le32(std::uint32_t(4 + exif.size())) + "WEBP" + exif << true;
    const QByteArray jxl = QByteArray("\0\0\0\x0CJXL \r\n\x87\n", 12);
    const QByteArray box = be32(0) + tiff;
    QTest::newRow("JPEG XL Exif box") << jxl + be32(std::uint32_t(8 + box.size())) + "Exif" + box << true;
    QTest::newRow("JPEG XL Exif box offset outside")
        << jxl + be32(std::uint32_t(8 + box.size())) + "Exif" + be32(0xFFFFFF) + tiff << false;
    QTest::newRow("JPEG XL box of length zero runs to the end") << jxl + be32(0) + "Exif" + box << true;
    QTest::newRow("nothing") << QByteArray("GIF89a") << false;
}

void TestCapture::containers()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, found);
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.constData());
    const TExifSpan span = FindExifBlock(data, std::size_t(file.size()));
    const TExifFields fields = ReadExifBlock(span.Data, span.Size);
    QCOMPARE(fields.DateTimeOriginal == "2020:01:02 03:04:05", found);
    QCOMPARE(fields.Model == "Cam", found);
}

QTEST_GUILESS_MAIN(TestCapture)
#include "tst_capture.moc"
