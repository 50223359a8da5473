// Picture sizes read from file headers: each format the reader knows, the
// segments a JPEG may put before its frame, and files cut off or foreign.
#include "PictureSize.h"

#include <QTemporaryDir>
#include <QTest>
#include <fstream>

class TestPictureSize : public QObject {
    Q_OBJECT

  private slots:
    void headerPixels_data();
    void headerPixels();
};

namespace {

QByteArray Be16(int v)
{
    return QByteArray(1, char(v >> 8)) + char(v & 0xFF);
}
QByteArray Le16(int v)
{
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}
QByteArray Le32(qint32 v)
{
    return Le16(v & 0xFFFF) + Le16((quint32(v) >> 16) & 0xFFFF);
}
QByteArray Be32(quint32 v)
{
    return Be16(int(v >> 16)) + Be16(int(v & 0xFFFF));
}

// A JPEG start: SOI, an APP1 segment of appLength bytes, then a frame
// header (marker sof) of width x height.
QByteArray Jpeg(int sof, int width, int height, int appLength = 100)
{
    QByteArray app = "\xFF\xE1" + Be16(appLength) + QByteArray(appLength - 2, 'x');
    QByteArray frame =
        QByteArray("\xFF") + char(sof) + Be16(17) + char(8) + Be16(height) + Be16(width) + char(3);
    return QByteArray("\xFF\xD8", 2) + app + frame + QByteArray(9, '\0');
}

} // namespace

void TestPictureSize::headerPixels_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qulonglong>("pixels");
    QTest::newRow("JPEG baseline after APP1") << Jpeg(0xC0, 640, 480) << 307200ull;
    QTest::newRow("JPEG progressive, large APP1") << Jpeg(0xC2, 4000, 3000, 65000) << 12000000ull;
    QByteArray table = QByteArray("\xFF\xD8\xFF\xC4", 4) + Be16(4) + "ab";
    QTest::newRow("JPEG Huffman table is no frame") << table + Jpeg(0xC1, 3, 5).mid(2) << 15ull;
    QTest::newRow("JPEG fill bytes before a marker")
        << QByteArray("\xFF\xD8\xFF\xFF\xFF", 5) + Jpeg(0xC0, 10, 20).mid(3) << 200ull;
    QTest::newRow("JPEG cut inside APP1") << Jpeg(0xC0, 640, 480).left(50) << 0ull;
    QTest::newRow("JPEG scan before any frame") << QByteArray("\xFF\xD8\xFF\xDA\x00\x08", 6) << 0ull;
    QTest::newRow("JPEG garbage between segments") << QByteArray("\xFF\xD8\x12\x34", 4) << 0ull;
    QTest::newRow("GIF89a") << QByteArray("GIF89a") + Le16(300) + Le16(200) + QByteArray(10, '\0')
                            << 60000ull;
    QTest::newRow("GIF87a") << QByteArray("GIF87a") + Le16(1) + Le16(1) + QByteArray(4, '\0') << 1ull;
    QTest::newRow("GIF cut") << QByteArray("GIF89a\x10") << 0ull;
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + Be32(13) + "IHDR";
    QTest::newRow("PNG") << png + Be32(1920) + Be32(1080) + QByteArray(5, '\0') << 2073600ull;
    QTest::newRow("PNG without IHDR first")
        << QByteArray("\x89PNG\r\n\x1a\n", 8) + Be32(13) + "tEXt" + Be32(10) + Be32(10) << 0ull;
    const QByteArray bmp = "BM" + QByteArray(12, '\0');
    QTest::newRow("BMP") << bmp + Le32(40) + Le32(120) + Le32(80) + QByteArray(8, '\0') << 9600ull;
    QTest::newRow("BMP top-down") << bmp + Le32(40) + Le32(120) + Le32(-80) + QByteArray(8, '\0') << 9600ull;
    QTest::newRow("BMP OS/2 core header")
        << bmp + Le32(12) + Le16(33) + Le16(3) + QByteArray(8, '\0') << 99ull;
    QTest::newRow("ICO, 256 written as 0")
        << Le16(0) + Le16(1) + Le16(1) + char(0) + char(0) + QByteArray(14, '\0') << 65536ull;
    QTest::newRow("ICO 32 x 16") << Le16(0) + Le16(1) + Le16(2) + char(32) + char(16) + QByteArray(14, '\0')
                                 << 512ull;
    QTest::newRow("text") << QByteArray("just some words in a file") << 0ull;
    QTest::newRow("empty") << QByteArray() << 0ull;
}

void TestPictureSize::headerPixels()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qulonglong, pixels);
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("picture")).toStdString();
    std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
    QCOMPARE(qulonglong(quorvane::PictureHeaderPixels(path)), pixels);
}

QTEST_APPLESS_MAIN(TestPictureSize)
#include "tst_picturesize.moc"
