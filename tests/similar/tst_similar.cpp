// Tests of the similar-pictures search: hash stability across decoders, the
// grouping rules (exact tolerance, no chaining, largest first) checked also
// against a brute-force pair search, the hash cache (stale entries, and a
// cache file that is anything but sound never trusted, never fatal, never
// blocking) and cancelling.
#include "CaptureCache.h"
#include "FileScan.h"
#include "PictureDecode.h"
#include "SimilarFixtures.h"
#include "SimilarSearch.h"
#include "TakenJpeg.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <fcntl.h>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;
using quorvane::test::FilesOf;
using quorvane::test::Picture;
using quorvane::test::TakenJpeg;
using quorvane::test::TQuietHost;

namespace {

// A GIF 89a of image quantised to 3-3-2 colours. The LZW stream sends a clear
// code before the table would grow past 9-bit codes, so it needs no table.
QByteArray GifOf(const QImage& image)
{
    QByteArray out("GIF89a");
    auto put16 = [&](int v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    put16(image.width());
    put16(image.height());
    out.append(char(0xF7)).append(char(0)).append(char(0));
    for (int i = 0; i < 256; ++i)
        out.append(char((i >> 5) * 255 / 7))
            .append(char(((i >> 2) & 7) * 255 / 7))
            .append(char((i & 3) * 255 / 3));
    out.append(',');
    put16(0), put16(0), put16(image.width()), put16(image.height());
    out.append(char(0)).append(char(8));
    QByteArray data;
    quint32 bits = 0;
    int count = 0, sinceClear = 0;
    auto emit9 = [&](int code) {
        bits |= quint32(code) << count;
        for (count += 9; count >= 8; count -= 8, bits >>= 8)
            data.append(char(bits & 0xFF));
    };
    emit9(256);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            emit9(((qRed(c) >> 5) << 5) | ((qGreen(c) >> 5) << 2) | (qBlue(c) >> 6));
            if (++sinceClear == 254) emit9(256), sinceClear = 0;
        }
    emit9(257);
    if (count > 0) data.append(char(bits & 0xFF));
    for (int i = 0; i < data.size(); i += 255) {
        const QByteArray block = data.mid(i, 255);
        out.append(char(block.size())).append(block);
    }
    out.append(char(0)).append(';');
    return out;
}

// The application's decoder of other formats, as the window will supply it.
std::optional<TDecodedPicture> QtDecoder(const std::string& path)
{
    const QImage image = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return std::nullopt;
    TDecodedPicture result;
    result.FullPixels = std::uint64_t(image.width()) * image.height();
    result.Image.Width = image.width();
    result.Image.Height = image.height();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            result.Image.Pixels.push_back(
                std::uint8_t((299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c) + 500) / 1000));
        }
    return result;
}

// Each row's distance as the popcount of its hash against the group's first
// picture's, recomputed from the files (with turns: the least over the row's
// eight variants); returns the largest.
int CheckDistances(const TSimilarResult& result, bool turns)
{
    int largest = 0;
    std::array<TPictureHash, kHashVariants> first{};
    [&] { QCOMPARE(result.Distance.size(), result.Rows.size()); }();
    for (std::size_t i = 0; i < result.Rows.size() && i < result.Distance.size(); ++i) {
        const auto picture = DecodePictureFile(result.Rows[i].FullPath(), {}, true);
        if (!picture) return -1;
        const auto variants = ComputePictureHashVariants(picture->Image);
        if (i == 0 || result.GroupOf[i] != result.GroupOf[i - 1]) first = variants;
        int expected = __builtin_popcountll(first[0].Hash ^ variants[0].Hash);
        for (int v = 1; turns && v < kHashVariants; ++v)
            expected = std::min(expected, __builtin_popcountll(first[0].Hash ^ variants[v].Hash));
        if (result.Distance[i] != expected) return -1;
        largest = std::max(largest, expected);
    }
    return largest;
}

TSimilarItem Item(std::uint64_t hash, std::uint64_t pixels = 100, std::uint64_t size = 10)
{
    return TSimilarItem{TPictureHash{hash, 128}, pixels, size};
}

} // namespace

class TestSimilar : public QObject {
    Q_OBJECT

  private slots:
    void hashStableAcrossDecoders();
    void uprightBeforeHashing_data();
    void uprightBeforeHashing();
    void transparentShapesCount();
    void transparentIconsJoinOnlyByShape_data();
    void transparentIconsJoinOnlyByShape();
    void shapeTurnsWithTheHash();
    void groupingRules_data();
    void groupingRules();
    void neighbourPairsMatchBruteForce_data();
    void neighbourPairsMatchBruteForce();
    void groupsNeverChain();
    void groupsMatchLiteralWalk_data();
    void groupsMatchLiteralWalk();
    void flatPicturesOfOtherBrightnessStayApart();
    void cacheHitStaleAndDamaged();
    void cancelDuringDecoding();
    void cacheEntryStaleWithSameSizeAndAnotherTime();
    void cacheFileOnlyWhenSound_data();
    void cacheFileOnlyWhenSound();
    void defaultCacheFolder();
    void extraFormatsOnlyWithOption();
    void cacheFilePerTurnChoice();
    void captureCacheKeptWhileTheFileHolds();
    void variantsMatchTurnedPictures_data();
    void variantsMatchTurnedPictures();
    void turnedCopiesFoundOnlyWithOption();
    void samePixelsGroupsExactCopiesOnly();
    void distancesToTheGroupsFirst();
};

void TestSimilar::variantsMatchTurnedPictures_data()
{
    QTest::addColumn<int>("turn");
    QTest::addColumn<bool>("mirror");
    for (int turn : {0, 90, 180, 270})
        for (bool mirror : {false, true})
            QTest::newRow(qPrintable(QString("%1 degrees%2").arg(turn).arg(mirror ? " mirrored" : "")))
                << turn << mirror;
}

// Each of Qt's turns and mirrors of a picture hashes (plainly) like one of
// the picture's eight variants, and the unturned hash does not do so for
// the turns that change the picture.
void TestSimilar::variantsMatchTurnedPictures()
{
    QFETCH(int, turn);
    QFETCH(bool, mirror);
    const QImage image = Picture(5, 256, 192).convertToFormat(QImage::Format_Grayscale8);
    QImage turned = image.transformed(QTransform().rotate(turn));
    if (mirror) turned = turned.mirrored(true, false);
    auto grey = [](const QImage& picture) {
        TGreyImage out;
        out.Width = picture.width();
        out.Height = picture.height();
        for (int y = 0; y < picture.height(); ++y)
            out.Pixels.insert(out.Pixels.end(), picture.constScanLine(y),
                              picture.constScanLine(y) + picture.width());
        return out;
    };
    const auto variants = ComputePictureHashVariants(grey(image));
    QCOMPARE(variants[0], ComputePictureHash(grey(image)));
    const TPictureHash hash = ComputePictureHash(grey(turned));
    int nearest = 64;
    for (const TPictureHash& variant : variants) {
        QCOMPARE(variant.Mean, variants[0].Mean);
        nearest = std::min(nearest, HammingDistance(variant.Hash, hash.Hash));
    }
    QVERIFY2(nearest <= 2, qPrintable(QString::number(nearest)));
    if (turn != 0 || mirror) QVERIFY(HammingDistance(variants[0].Hash, hash.Hash) > kDefaultTolerance);
}

void TestSimilar::turnedCopiesFoundOnlyWithOption()
{
    QTemporaryDir dir;
    const QImage image = Picture(6);
    QVERIFY(image.save(dir.filePath("a.jpg"), "JPEG", 90));
    QVERIFY(image.transformed(QTransform().rotate(90)).save(dir.filePath("b-turned.jpg"), "JPEG", 85));
    QVERIFY(image.mirrored(true, false).scaled(160, 120).save(dir.filePath("c-mirrored.jpg"), "JPEG", 80));
    QVERIFY(image.transformed(QTransform().rotate(270))
                .mirrored(true, false)
                .save(dir.filePath("d.jpg"), "JPEG"));
    QVERIFY(Picture(7).save(dir.filePath("e-other.jpg"), "JPEG", 90));
    QVERIFY(Picture(7).transformed(QTransform().rotate(180)).save(dir.filePath("f-other.jpg"), "JPEG", 90));
    TSimilarOptions options;
    TQuietHost host;
    QCOMPARE(FindSimilarPictures(FilesOf(dir), options, host).GroupCount, std::size_t(0));
    options.Turns = true;
    const TSimilarResult result = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(result.GroupCount, std::size_t(2));
    // Each picture once; the smallest copy last in its group.
    std::map<std::uint32_t, std::vector<std::string>> groups;
    for (std::size_t i = 0; i < result.Rows.size(); ++i)
        groups[result.GroupOf[i]].push_back(result.Rows[i].Name);
    std::set<std::vector<std::string>> found;
    for (auto& [number, names] : groups) {
        if (names.size() == 4) QCOMPARE(names.back(), std::string("c-mirrored.jpg"));
        std::sort(names.begin(), names.end());
        found.insert(names);
    }
    const std::set<std::vector<std::string>> expected = {{"a.jpg", "b-turned.jpg", "c-mirrored.jpg", "d.jpg"},
                                                         {"e-other.jpg", "f-other.jpg"}};
    QCOMPARE(found, expected);
    QVERIFY(CheckDistances(result, true) >= 0);
}

void TestSimilar::distancesToTheGroupsFirst()
{
    QTemporaryDir dir;
    const QImage image = Picture(9);
    QVERIFY(image.save(dir.filePath("a.jpg"), "JPEG", 95));
    QVERIFY(image.scaled(200, 150).save(dir.filePath("b.jpg"), "JPEG", 40));
    QVERIFY(image.scaled(120, 90).save(dir.filePath("c.jpg"), "JPEG", 15));
    TSimilarOptions options;
    options.Tolerance = 16;
    TQuietHost host;
    const TSimilarResult result = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(result.GroupCount, std::size_t(1));
    QCOMPARE(result.Distance.front(), 0);
    // Some copy must differ in a bit, or the check could not tell a distance from none.
    QVERIFY(CheckDistances(result, false) > 0);
}

void TestSimilar::samePixelsGroupsExactCopiesOnly()
{
    QTemporaryDir dir;
    QImage image = Picture(8, 120, 90);
    QVERIFY(image.save(dir.filePath("a.png")));
    image.setText("Comment", "metadata changed, pixels not");
    QVERIFY(image.save(dir.filePath("b-tagged.png")));
    QVERIFY(image.save(dir.filePath("c-tiff.tif"), "TIFF"));
    QImage changed = image;
    changed.setPixel(5, 5, changed.pixel(5, 5) ^ 0x010101);
    QVERIFY(changed.save(dir.filePath("d-one-pixel.png")));
    QVERIFY(image.save(dir.filePath("e-lossy.jpg"), "JPEG", 95));
    TSimilarOptions options;
    options.MoreFormats = true;
    options.SamePixels = true;
    TQuietHost host;
    const TSimilarResult result = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(result.GroupCount, std::size_t(1));
    std::vector<std::string> names;
    for (const TFileRecord& row : result.Rows)
        names.push_back(row.Name);
    std::sort(names.begin(), names.end());
    QCOMPARE(names, (std::vector<std::string>{"a.png", "b-tagged.png", "c-tiff.tif"}));
    QCOMPARE(result.Distance, (std::vector<int>{0, 0, 0}));
}

void TestSimilar::cacheFilePerTurnChoice()
{
    QTemporaryDir dir, cacheDir;
    QVERIFY(Picture(3).save(dir.filePath("a.jpg"), "JPEG", 90));
    TSimilarOptions options;
    options.CachePath = cacheDir.filePath("hashes.bin").toStdString();
    TQuietHost host;
    options.TurnUpright = false;
    FindSimilarPictures(FilesOf(dir), options, host);
    QVERIFY(!QFile::exists(cacheDir.filePath("hashes.bin")));
    QVERIFY(QFile::exists(QString::fromStdString(HashCacheFileFor(options))));
    options.TurnUpright = true;
    QCOMPARE(HashCacheFileFor(options), options.CachePath);
    FindSimilarPictures(FilesOf(dir), options, host);
    QVERIFY(QFile::exists(cacheDir.filePath("hashes.bin")));
}

void TestSimilar::hashStableAcrossDecoders()
{
    QTemporaryDir dir;
    const QImage image = Picture(1);
    QVERIFY(image.save(dir.filePath("a.jpg"), "JPEG", 90));
    QVERIFY(image.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .save(dir.filePath("small.jpg"), "JPEG", 40));
    QVERIFY(image.save(dir.filePath("a.bmp"), "BMP"));
    QVERIFY(image.save(dir.filePath("a.png"), "PNG"));
    QFile gif(dir.filePath("a.gif"));
    QVERIFY(gif.open(QIODevice::WriteOnly));
    gif.write(GifOf(image));
    gif.close();
    QVERIFY(Picture(2).save(dir.filePath("other.jpg"), "JPEG", 90));

    auto hashOf = [&](const char* name) {
        const auto picture = DecodePictureFile(dir.filePath(name).toStdString(), QtDecoder);
        return picture ? ComputePictureHash(picture->Image).Hash : ~std::uint64_t{0};
    };
    const std::uint64_t jpeg = hashOf("a.jpg");
    for (const char* name : {"small.jpg", "a.bmp", "a.png", "a.gif"})
        QVERIFY2(HammingDistance(jpeg, hashOf(name)) <= 4, name);
    QVERIFY(HammingDistance(jpeg, hashOf("other.jpg")) > 16);
    QCOMPARE(DecodePictureFile(dir.filePath("a.gif").toStdString(), {})->FullPixels,
             std::uint64_t(320 * 240));
    // PNG is read by the core's own photo decoders, with no fallback given.
    const auto png = DecodePictureFile(dir.filePath("a.png").toStdString(), {});
    QVERIFY(png);
    QVERIFY(HammingDistance(jpeg, ComputePictureHash(png->Image).Hash) <= 4);
}

// A JPEG of image with an APP1 EXIF segment saying orientation, built by hand
// (little-endian TIFF, one IFD entry).
QByteArray JpegTagged(const QImage& image, int orientation)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 92);
    const char tiff[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, char(orientation),
                         0,   0,   0,  0, 0, 0, 0};
    QByteArray app1("\xFF\xE1", 2);
    const int length = 2 + 6 + int(sizeof tiff);
    app1.append(char(length >> 8)).append(char(length & 0xFF));
    app1.append("Exif\0\0", 6).append(tiff, sizeof tiff);
    jpeg.insert(2, app1);
    return jpeg;
}

void TestSimilar::uprightBeforeHashing_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("storedTurn"); // degrees clockwise the stored picture is turned
    QTest::addColumn<bool>("mirrored");
    QTest::newRow("6: stored turned anticlockwise") << 6 << 270 << false;
    QTest::newRow("8: stored turned clockwise") << 8 << 90 << false;
    QTest::newRow("3: stored upside down") << 3 << 180 << false;
    QTest::newRow("2: stored mirrored") << 2 << 0 << true;
}

void TestSimilar::uprightBeforeHashing()
{
    QFETCH(int, orientation);
    QFETCH(int, storedTurn);
    QFETCH(bool, mirrored);
    QTemporaryDir dir;
    const QImage upright = Picture(3);
    QImage stored = upright.transformed(QTransform().rotate(storedTurn));
    if (mirrored) stored = stored.mirrored(true, false);
    QVERIFY(upright.save(dir.filePath("upright.jpg"), "JPEG", 92));
    QFile tagged(dir.filePath("tagged.jpg"));
    QVERIFY(tagged.open(QIODevice::WriteOnly));
    tagged.write(JpegTagged(stored, orientation));
    tagged.close();
    auto hashOf = [&](const char* name, bool turn) {
        const auto picture = DecodePictureFile(dir.filePath(name).toStdString(), {}, turn);
        return picture ? ComputePictureHash(picture->Image).Hash : ~std::uint64_t{0};
    };
    const std::uint64_t reference = hashOf("upright.jpg", true);
    QVERIFY(HammingDistance(reference, hashOf("tagged.jpg", true)) <= 4);
    QVERIFY(HammingDistance(reference, hashOf("tagged.jpg", false)) > kDefaultTolerance);
}

// A one-colour icon: black where the shape is, transparent elsewhere.
QImage Icon(int side, bool disc)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    if (disc)
        painter.drawEllipse(QRectF(side * 0.1, side * 0.1, side * 0.8, side * 0.8));
    else
        painter.drawPolygon(QPolygonF({QPointF(side * 0.5, side * 0.05), QPointF(side * 0.95, side * 0.95),
                                       QPointF(side * 0.05, side * 0.6)}));
    return image;
}

void TestSimilar::transparentShapesCount()
{
    QTemporaryDir dir;
    QVERIFY(Icon(64, true).save(dir.filePath("disc.png")));
    QVERIFY(Icon(128, true).save(dir.filePath("disc-large.png")));
    QVERIFY(Icon(64, false).save(dir.filePath("triangle.png")));
    auto hashOf = [&](const char* name) {
        const auto picture = DecodePictureFile(dir.filePath(name).toStdString(), {});
        return picture ? ComputePictureHash(picture->Image) : TPictureHash{~std::uint64_t{0}, 0};
    };
    const TPictureHash disc = hashOf("disc.png");
    QVERIFY(HammingDistance(disc.Hash, hashOf("disc-large.png").Hash) <= 4);
    const TPictureHash triangle = hashOf("triangle.png");
    // The RGB of both is all black: only the alpha shape tells them apart.
    QVERIFY(HammingDistance(disc.Hash, triangle.Hash) > kDefaultTolerance ||
            std::abs(int(disc.Mean) - int(triangle.Mean)) > kDefaultMeanTolerance);
}

// A one-colour disc on a transparent background with a round hole of
// holeRadius (a share of side) cut from its middle; none for 0.
QImage Ring(int side, double holeRadius)
{
    QImage image = Icon(side, true);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(side / 2.0, side / 2.0), side * holeRadius, side * holeRadius);
    return image;
}

// A one-colour icon with a dimmed part, as symbolic icons draw a state: an
// opaque mark in a corner and a translucent disc or bar beside it.
QImage Dimmed(int side, bool disc)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 90));
    if (disc)
        painter.drawEllipse(QRectF(side * 0.05, side * 0.05, side * 0.6, side * 0.6));
    else
        painter.drawRect(QRectF(side * 0.1, side * 0.05, side * 0.25, side * 0.6));
    painter.setBrush(Qt::black);
    painter.drawRect(QRectF(side * 0.65, side * 0.65, side * 0.3, side * 0.3));
    return image;
}

void TestSimilar::transparentIconsJoinOnlyByShape_data()
{
    QTest::addColumn<QImage>("first");
    QTest::addColumn<QImage>("second");
    QTest::addColumn<bool>("turns");
    QTest::addColumn<bool>("similar");
    // The grey hashes of a disc and a ring agree within the tolerance: only
    // the shape tells them apart.
    QTest::newRow("a disc and a ring") << Ring(64, 0) << Ring(64, 0.14) << false << false;
    QTest::newRow("a disc and a ring, with turns") << Ring(64, 0) << Ring(128, 0.14) << true << false;
    QTest::newRow("a ring at another size") << Ring(64, 0.14) << Ring(160, 0.14) << false << true;
    QTest::newRow("a triangle turned, with turns")
        << Icon(96, false) << Icon(64, false).transformed(QTransform().rotate(90)) << true << true;
    QTest::newRow("a triangle mirrored, with turns")
        << Icon(96, false) << Icon(96, false).mirrored(false, true) << true << true;
    // The grey hashes of these are 9 bits apart: a one-colour picture is
    // hashed by its outline.
    QTest::newRow("a ring at 160 and 32 pixels") << Ring(160, 0.14) << Ring(32, 0.14) << false << true;
    // Only the marks are at least half opaque: the dimmed parts still count.
    QTest::newRow("one mark, other dimmed parts") << Dimmed(96, true) << Dimmed(96, false) << false << false;
}

void TestSimilar::transparentIconsJoinOnlyByShape()
{
    QFETCH(QImage, first);
    QFETCH(QImage, second);
    QFETCH(bool, turns);
    QFETCH(bool, similar);
    QTemporaryDir dir, cacheDir;
    QVERIFY(first.save(dir.filePath("first.png")));
    QVERIFY(second.save(dir.filePath("second.png")));
    TSimilarOptions options;
    options.MoreFormats = true;
    options.Turns = turns;
    options.CachePath = cacheDir.filePath("hashes.bin").toStdString();
    TQuietHost host;
    const TSimilarResult result = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(result.Pictures, std::size_t(2));
    QCOMPARE(result.GroupCount, std::size_t(similar ? 1 : 0));
    // Hashes read back from the cache keep the outlines.
    const TSimilarResult cached = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(cached.Decoded, std::size_t(turns ? 2 : 0));
    QCOMPARE(cached.GroupCount, result.GroupCount);
}

// The grey picture of argb as the search sees it, and its alpha plane.
TGreyImage GreyAndAlpha(const QImage& picture, TGreyImage& alpha)
{
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    alpha = TGreyImage{argb.width(), argb.height(), {}};
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = argb.pixel(x, y);
            rgba.insert(rgba.end(), {std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c)),
                                     std::uint8_t(qAlpha(c))});
            alpha.Pixels.push_back(std::uint8_t(qAlpha(c)));
        }
    return GreyOfRgba(rgba.data(), argb.width(), argb.height(), true);
}

// Each of Qt's turns and mirrors of an icon has the mask of the variant whose
// hash it has, so a turned copy's outline is compared the way it is turned.
void TestSimilar::shapeTurnsWithTheHash()
{
    const QImage icon = Icon(64, false);
    TGreyImage alpha;
    const auto variants = ComputePictureHashVariants(GreyAndAlpha(icon, alpha));
    const auto shape = ComputeShapeMask(alpha);
    QVERIFY(shape.has_value());
    for (int turn : {0, 90, 180, 270})
        for (bool mirror : {false, true}) {
            QImage turned = icon.transformed(QTransform().rotate(turn));
            if (mirror) turned = turned.mirrored(true, false);
            TGreyImage turnedAlpha;
            const TPictureHash hash = ComputePictureHash(GreyAndAlpha(turned, turnedAlpha));
            const auto turnedShape = ComputeShapeMask(turnedAlpha);
            QVERIFY(turnedShape.has_value());
            std::size_t nearest = 0;
            for (std::size_t v = 1; v < variants.size(); ++v)
                if (HammingDistance(variants[v].Hash, hash.Hash) <
                    HammingDistance(variants[nearest].Hash, hash.Hash))
                    nearest = v;
            const TShapeMask expected = TurnShapeMask(*shape, int(nearest));
            QCOMPARE(expected, *turnedShape);
            QVERIFY(ShapeDistance(&*shape, &*turnedShape) > kShapeTolerance || (turn == 0 && !mirror));
        }
}

void TestSimilar::groupingRules_data()
{
    QTest::addColumn<std::vector<TSimilarItem>>("items");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<std::vector<std::vector<std::uint32_t>>>("groups");
    QTest::newRow("tolerance 0 groups only equal hashes")
        << std::vector{Item(0xF0), Item(0xF1), Item(0xF0)} << 0
        << std::vector<std::vector<std::uint32_t>>{{0, 2}};
    QTest::newRow("within tolerance") << std::vector{Item(0xF0), Item(0xF3), Item(0xFFFF)} << 2
                                      << std::vector<std::vector<std::uint32_t>>{{0, 1}};
    QTest::newRow("most pixels first, then largest file")
        << std::vector{Item(1, 100, 5), Item(1, 400, 1), Item(1, 100, 9)} << 0
        << std::vector<std::vector<std::uint32_t>>{{1, 2, 0}};
    QTest::newRow("groups in the order of their first member")
        << std::vector{Item(7, 10), Item(0xFF00, 90), Item(0xFF00, 5), Item(7, 50)} << 1
        << std::vector<std::vector<std::uint32_t>>{{1, 2}, {3, 0}};
    QTest::newRow("no pictures") << std::vector<TSimilarItem>{} << 8
                                 << std::vector<std::vector<std::uint32_t>>{};
}

void TestSimilar::groupingRules()
{
    QFETCH(std::vector<TSimilarItem>, items);
    QFETCH(int, tolerance);
    QFETCH(std::vector<std::vector<std::uint32_t>>, groups);
    QCOMPARE(GroupSimilar(items, tolerance, 255, 1), groups);
}

void TestSimilar::neighbourPairsMatchBruteForce_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<int>("window"); // a copy differs from its source within this many adjacent bits
    for (int t = 0; t <= 16; ++t)
        QTest::addRow("2000 clustered, tolerance %d", t) << 2000 << t << 64;
    for (int t : {2, 8, 12})
        QTest::addRow("2000 differing in 16 adjacent bits, tolerance %d", t) << 2000 << t << 16;
    for (int t : {3, 8, 12})
        QTest::addRow("20000 clustered, tolerance %d", t) << 20000 << t << 64;
    QTest::newRow("two hashes") << 2 << 5 << 64;
    QTest::newRow("forty hashes") << 40 << 8 << 64;
    QTest::newRow("tolerance beyond the hash: every pair") << 40 << 70 << 64;
}

void TestSimilar::neighbourPairsMatchBruteForce()
{
    QFETCH(int, count);
    QFETCH(int, tolerance);
    QFETCH(int, window);
    // Every other hash copies an earlier one (sometimes exactly) with up to
    // tolerance + 3 bits flipped within a window of adjacent bits.
    std::mt19937_64 rng(count * 131 + tolerance * 7 + window);
    std::vector<std::uint64_t> hashes;
    for (int i = 0; i < count; ++i) {
        std::uint64_t h = i % 2 ? hashes[rng() % i] : rng();
        const int start = int(rng() % 64);
        for (int f = i % 2 ? int(rng() % (tolerance + 4)) : 0; f > 0; --f)
            h ^= std::uint64_t{1} << ((start + rng() % window) % 64);
        hashes.push_back(h);
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
    for (std::uint32_t i = 0; i < hashes.size(); ++i)
        for (std::uint32_t j = i + 1; j < hashes.size(); ++j)
            if (HammingDistance(hashes[i], hashes[j]) <= tolerance) expected.emplace_back(i, j);
    QVERIFY(count < 100 || !expected.empty());
    for (TCompareLevel level : SupportedCompareLevels()) {
        auto found = NeighbourPairs(hashes, tolerance, 2, level);
        std::sort(found.begin(), found.end());
        QVERIFY2(found == expected, qPrintable(QString("level %1: %2 pairs found, %3 expected")
                                                   .arg(int(level))
                                                   .arg(found.size())
                                                   .arg(expected.size())));
    }
}

void TestSimilar::groupsNeverChain()
{
    // A ~ B ~ C with A and C 10 bits apart: A, the largest, takes B only.
    const std::uint64_t a = 0, b = 0x1F, c = 0x3FF;
    QCOMPARE(GroupSimilar({Item(c, 10), Item(b, 50), Item(a, 100)}, 6, 255, 1),
             (std::vector<std::vector<std::uint32_t>>{{2, 1}}));
    // On random clusters every member stays within the tolerance of its first.
    std::mt19937_64 rng(5);
    std::vector<TSimilarItem> items;
    for (int i = 0; i < 5000; ++i) {
        std::uint64_t h =
            i % 2 && i > 0 ? items[rng() % i].Hash.Hash ^ (std::uint64_t{1} << (rng() % 64)) : rng() & 0xFFFF;
        items.push_back(Item(h, rng() % 1000, rng() % 1000));
    }
    for (const auto& group : GroupSimilar(items, 4, 255, 2))
        for (std::uint32_t member : group) {
            QVERIFY(HammingDistance(items[group.front()].Hash.Hash, items[member].Hash.Hash) <= 4);
            QVERIFY(!LargerPicture(items[member], items[group.front()]) || member == group.front());
        }
}

namespace {

// The grouping rule walked literally: each picture not yet taken, largest
// first, takes every picture not yet taken within the tolerance of it.
std::vector<std::vector<std::uint32_t>> LiteralGroups(const std::vector<TSimilarItem>& items, int tolerance)
{
    std::vector<std::uint32_t> order(items.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return LargerPicture(items[a], items[b]); });
    std::vector<bool> taken(items.size());
    std::vector<std::vector<std::uint32_t>> groups;
    for (std::uint32_t leader : order) {
        if (taken[leader]) continue;
        std::vector<std::uint32_t> group;
        for (std::uint32_t j : order)
            if (!taken[j] && HammingDistance(items[leader].Hash.Hash, items[j].Hash.Hash) <= tolerance) {
                taken[j] = true;
                group.push_back(j);
            }
        if (group.size() > 1) groups.push_back(group);
    }
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return groups;
}

} // namespace

void TestSimilar::groupsMatchLiteralWalk_data()
{
    QTest::addColumn<int>("tolerance");
    for (int t : {0, 3, 8, 12})
        QTest::addRow("tolerance %d", t) << t;
}

void TestSimilar::groupsMatchLiteralWalk()
{
    QFETCH(int, tolerance);
    // Clusters of copies, many of the same size (ties go by index), some equal hashes.
    std::mt19937_64 rng(tolerance + 17);
    std::vector<TSimilarItem> items;
    for (int i = 0; i < 3000; ++i) {
        std::uint64_t h = i % 2 ? items[rng() % i].Hash.Hash : rng();
        for (int f = i % 2 ? int(rng() % (tolerance + 3)) : 0; f > 0; --f)
            h ^= std::uint64_t{1} << (rng() % 64);
        items.push_back(Item(h, rng() % 3, rng() % 2));
    }
    QCOMPARE(GroupSimilar(items, tolerance, 255, 2), LiteralGroups(items, tolerance));
}

void TestSimilar::flatPicturesOfOtherBrightnessStayApart()
{
    TGreyImage dark{40, 40, std::vector<std::uint8_t>(1600, 100)};
    TGreyImage light{40, 40, std::vector<std::uint8_t>(1600, 130)};
    const TPictureHash d = ComputePictureHash(dark), l = ComputePictureHash(light);
    QCOMPARE(d.Hash, l.Hash); // no structure: the DCT hash alone cannot tell them apart
    const std::vector<TSimilarItem> items{{d, 1600, 1}, {l, 1600, 1}};
    // 30 grey levels pass for a picture with structure, not for a flat one.
    QVERIFY(30 < kDefaultMeanTolerance);
    QVERIFY(GroupSimilar(items, 0, kDefaultMeanTolerance, 1).empty());
    const TPictureHash nearlyDark{d.Hash, std::uint8_t(d.Mean + 3)};
    QCOMPARE(GroupSimilar({{d, 1600, 1}, {nearlyDark, 100, 1}}, 0, kDefaultMeanTolerance, 1),
             (std::vector<std::vector<std::uint32_t>>{{0, 1}}));
}

namespace {

qint64 UtcNs(int year)
{
    return QDateTime(QDate(year, 1, 2), QTime(3, 4, 5), QTimeZone::utc()).toMSecsSinceEpoch() * 1'000'000;
}

} // namespace

// The capture cache answers from its file while the photo keeps its size
// and time (even when its bytes changed under the same ones), reads the
// photo again once its time moves, and trusts no damaged cache file.
void TestSimilar::captureCacheKeptWhileTheFileHolds()
{
    QTemporaryDir tmp;
    const QString photo = tmp.filePath("p.jpg");
    const std::string path = QFile::encodeName(photo).toStdString();
    const std::string cachePath = QFile::encodeName(tmp.filePath("cache/capture-info.bin")).toStdString();
    auto write = [&](int year, qint64 seconds) {
        QFile file(photo);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(TakenJpeg(QByteArray::number(year) + ":01:02 03:04:05"));
        file.close();
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    write(2001, 1600000000);
    TCaptureCache first;
    QVERIFY(!first.Load(cachePath)); // none yet
    QCOMPARE(first.Info(path).CaptureNs.value_or(-1), UtcNs(2001));
    QVERIFY(first.Save(cachePath));

    write(2002, 1600000000); // other bytes, same size and time
    TCaptureCache second;
    QVERIFY(second.Load(cachePath));
    QCOMPARE(second.Count(), std::size_t{1});
    QCOMPARE(second.Info(path).CaptureNs.value_or(-1), UtcNs(2001));
    write(2002, 1600000001);
    QCOMPARE(second.Info(path).CaptureNs.value_or(-1), UtcNs(2002));
    QVERIFY(second.Save(cachePath));

    QFile cache(QString::fromStdString(cachePath));
    QVERIFY(cache.open(QIODevice::ReadWrite));
    QByteArray bytes = cache.readAll();
    bytes[40] = char(bytes[40] ^ 0x55);
    QVERIFY(cache.seek(0));
    cache.write(bytes);
    cache.close();
    TCaptureCache third;
    QVERIFY(!third.Load(cachePath));
    QCOMPARE(third.Count(), std::size_t{0});
}

void TestSimilar::cacheHitStaleAndDamaged()
{
    QTemporaryDir dir, cacheDir;
    QVERIFY(Picture(3).save(dir.filePath("a.jpg"), "JPEG", 90));
    QVERIFY(Picture(3).scaled(100, 75).save(dir.filePath("b.jpg"), "JPEG", 60));
    QVERIFY(Picture(4).save(dir.filePath("c.jpg"), "JPEG", 90));
    TSimilarOptions options;
    options.CachePath = cacheDir.filePath("sub/hashes.bin").toStdString();
    TQuietHost host;
    TSimilarResult first = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(first.Decoded, std::size_t(3));
    QCOMPARE(first.GroupCount, std::size_t(1));
    QCOMPARE(first.Rows.front().Name, std::string("a.jpg"));

    const TSimilarResult hit = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(hit.Decoded, std::size_t(0));
    QCOMPARE(hit.Rows.size(), first.Rows.size());

    // c.jpg becomes a copy of a.jpg: its entry is stale and read again.
    QVERIFY(QFile::remove(dir.filePath("c.jpg")));
    QVERIFY(Picture(3).scaled(200, 150).save(dir.filePath("c.jpg"), "JPEG", 70));
    const TSimilarResult stale = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(stale.Decoded, std::size_t(1));
    QCOMPARE(stale.Rows.size(), std::size_t(3));

    // One flipped byte: the whole file is distrusted and rebuilt.
    QFile file(QString::fromStdString(options.CachePath));
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.seek(40);
    const char byte = file.read(1)[0];
    file.seek(40);
    file.write(QByteArray(1, char(byte ^ 0x10)));
    file.close();
    THashCache cache;
    QVERIFY(!cache.Load(options.CachePath));
    QCOMPARE(cache.Count(), std::size_t(0));
    QCOMPARE(FindSimilarPictures(FilesOf(dir), options, host).Decoded, std::size_t(3));
    QVERIFY(cache.Load(options.CachePath));
    QCOMPARE(cache.Count(), std::size_t(3));
}

void TestSimilar::cancelDuringDecoding()
{
    QTemporaryDir dir, cacheDir;
    for (int i = 0; i < 60; ++i)
        QVERIFY(Picture(i, 640, 480).save(dir.filePath(QString("p%1.jpg").arg(i)), "JPEG", 90));
    TSimilarOptions options;
    options.CachePath = cacheDir.filePath("hashes.bin").toStdString();
    options.Threads = 2;
    TQuietHost host;
    host.CancelAfterReports = 0;
    QVERIFY_THROWS_EXCEPTION(ESearchCancelled, FindSimilarPictures(FilesOf(dir), options, host));
    QVERIFY(!QFile::exists(cacheDir.filePath("hashes.bin")));
}

void TestSimilar::cacheEntryStaleWithSameSizeAndAnotherTime()
{
    TFileRecord file;
    file.Device = 3;
    file.Inode = 7;
    file.Size = 1000;
    file.ModifiedNs = 1700000000000000000;
    THashCache cache;
    cache.Store(file, TCachedHash{true, TPictureHash{42, 128}, 100, std::nullopt, std::nullopt});
    QVERIFY(cache.Find(file).has_value());
    TFileRecord touched = file;
    touched.ModifiedNs += 1; // rewritten in place: same size, another time
    QVERIFY(!cache.Find(touched).has_value());
    TFileRecord grown = file;
    grown.Size += 1;
    QVERIFY(!cache.Find(grown).has_value());
    TFileRecord other = file;
    other.Inode += 1;
    QVERIFY(!cache.Find(other).has_value());
}

// A sound cache file of one entry; its bytes.
static QByteArray SoundCache(const QString& path)
{
    TFileRecord file;
    file.Device = 1;
    file.Inode = 2;
    THashCache cache;
    cache.Store(file, TCachedHash{true, TPictureHash{42, 128}, 100, std::nullopt, std::nullopt});
    if (!cache.Save(QFile::encodeName(path).toStdString())) return {};
    QFile saved(path);
    return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
}

void TestSimilar::cacheFileOnlyWhenSound_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("loads");
    QTest::newRow("sound") << "sound" << true;
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("a folder") << "folder" << false;
    QTest::newRow("a FIFO") << "fifo" << false;
    QTest::newRow("a link to /dev/zero") << "zero link" << false;
    QTest::newRow("the device /dev/zero") << "zero" << false;
    QTest::newRow("a link to a sound cache") << "link" << false;
    QTest::newRow("one byte longer than its header says") << "longer" << false;
    QTest::newRow("one byte shorter") << "shorter" << false;
    QTest::newRow("large junk") << "junk" << false;
}

void TestSimilar::cacheFileOnlyWhenSound()
{
    QFETCH(QString, kind);
    QFETCH(bool, loads);
    QTemporaryDir dir;
    const QString sound = dir.filePath("sound.bin");
    const QByteArray bytes = SoundCache(sound);
    QVERIFY(!bytes.isEmpty());
    QString path = dir.filePath("cache.bin");
    const QByteArray local = QFile::encodeName(path);
    auto write = [&](const QByteArray& contents) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
    };
    if (kind == "sound") path = sound;
    if (kind == "folder") QVERIFY(QDir().mkpath(path));
    if (kind == "fifo") QCOMPARE(mkfifo(local.constData(), 0644), 0);
    if (kind == "zero link") QCOMPARE(symlink("/dev/zero", local.constData()), 0);
    if (kind == "zero") path = "/dev/zero";
    if (kind == "link") QCOMPARE(symlink(QFile::encodeName(sound).constData(), local.constData()), 0);
    if (kind == "longer") QVERIFY(write(bytes + 'x'));
    if (kind == "shorter") QVERIFY(write(bytes.chopped(1)));
    if (kind == "junk") {
        // A header that claims the most entries, then nothing of them.
        QByteArray junk = bytes.left(12) + QByteArray::fromHex("00000001") + QByteArray(4 << 20, 'j');
        QVERIFY(write(junk));
    }
    THashCache cache;
    QCOMPARE(cache.Load(QFile::encodeName(path).toStdString()), loads);
    QCOMPARE(cache.Count(), std::size_t(loads ? 1 : 0));
    if (kind == "zero") return; // no search writes over a device
    // A search over such a cache runs uncached and ends normally.
    QTemporaryDir pictures;
    QVERIFY(Picture(3).save(pictures.filePath("a.jpg"), "JPEG", 90));
    TSimilarOptions options;
    options.CachePath = QFile::encodeName(path).toStdString();
    TQuietHost host;
    QCOMPARE(FindSimilarPictures(FilesOf(pictures), options, host).Pictures, std::size_t(1));
}

void TestSimilar::defaultCacheFolder()
{
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("XDG_CACHE_HOME", "/x/cache");
    qputenv("HOME", "/x/home");
    const std::string withXdg = DefaultHashCachePath();
    qputenv("XDG_CACHE_HOME", "relative/cache"); // not absolute: ignored
    const std::string relative = DefaultHashCachePath();
    qunsetenv("XDG_CACHE_HOME");
    const std::string withoutXdg = DefaultHashCachePath();
    if (oldCache.isNull())
        qunsetenv("XDG_CACHE_HOME");
    else
        qputenv("XDG_CACHE_HOME", oldCache);
    qputenv("HOME", oldHome);
    QCOMPARE(withXdg, std::string("/x/cache/Quorvane/similar-hashes.bin"));
    QCOMPARE(relative, std::string("/x/home/.cache/Quorvane/similar-hashes.bin"));
    QCOMPARE(withoutXdg, relative);
}

void TestSimilar::extraFormatsOnlyWithOption()
{
    for (const char* name :
         {"a.png", "a.WEBP", "a.tif", "a.TIFF", "a.heic", "a.AVIF", "a.jxl", "a.NEF", "a.dng"}) {
        QVERIFY(!IsSimilarCandidate(name, false));
        QVERIFY(IsSimilarCandidate(name, true));
    }
    QVERIFY(IsSimilarCandidate("a.jpg", false));
    QVERIFY(!IsSimilarCandidate("a.txt", true));
    QVERIFY(!IsSimilarCandidate("png", true));
}

QTEST_GUILESS_MAIN(TestSimilar)
#include "tst_similar.moc"
