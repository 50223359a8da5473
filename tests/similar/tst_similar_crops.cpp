// Tests of "Also cropped copies": the centre hash against Qt's own crop of a
// picture, cropped copies joining their original only with the option (also
// from the cache, whose entries keep the centre, and with turns), a
// different picture kept apart, and the grouping of views against a literal
// walk over all pairs.
#include "PictureDecode.h"
#include "SimilarFixtures.h"
#include "SimilarModes.h"
#include "SimilarSearch.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTransform>
#include <map>
#include <numeric>
#include <random>
#include <set>

using namespace quorvane;
using quorvane::test::FilesOf;
using quorvane::test::Picture;
using quorvane::test::TQuietHost;

namespace {

TGreyImage GreyOf(const QImage& image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    TGreyImage out;
    out.Width = grey.width();
    out.Height = grey.height();
    for (int y = 0; y < grey.height(); ++y)
        out.Pixels.insert(out.Pixels.end(), grey.constScanLine(y), grey.constScanLine(y) + grey.width());
    return out;
}

// The middle share of each side of image, as an editor's centred crop cuts it.
QImage CentreCrop(const QImage& image, double share)
{
    const int width = int(image.width() * share + 0.5), height = int(image.height() * share + 0.5);
    return image.copy((image.width() - width) / 2, (image.height() - height) / 2, width, height);
}

// A photograph-like picture with more detail than Picture's: a gradient
// under forty smaller shapes, whose low frequencies a crop of a few per cent
// moves by more than the default tolerance.
QImage DetailedPicture(int seed, int width = 640, int height = 480)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, QColor::fromRgb(rng() % 256, rng() % 256, rng() % 256));
    gradient.setColorAt(1, QColor::fromRgb(rng() % 256, rng() % 256, rng() % 256));
    p.fillRect(image.rect(), gradient);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        p.setBrush(QColor::fromRgb(rng() % 256, rng() % 256, rng() % 256));
        p.drawEllipse(QRectF(rng() % width, rng() % height, width / 16 + rng() % (width / 6),
                             height / 16 + rng() % (height / 6)));
    }
    return image;
}

// The groups of result as sets of names.
std::set<std::set<std::string>> GroupNames(const TSimilarResult& result)
{
    std::map<std::uint32_t, std::set<std::string>> groups;
    for (std::size_t i = 0; i < result.Rows.size(); ++i)
        groups[result.GroupOf[i]].insert(result.Rows[i].Name);
    std::set<std::set<std::string>> names;
    for (const auto& [number, members] : groups)
        names.insert(members);
    return names;
}

} // namespace

class TestSimilarCrops : public QObject {
    Q_OBJECT

  private slots:
    void regionReductionMatchesCopiedRegion_data();
    void regionReductionMatchesCopiedRegion();
    void centreHashMatchesCroppedPicture_data();
    void centreHashMatchesCroppedPicture();
    void croppedCopiesJoinOnlyWithOption_data();
    void croppedCopiesJoinOnlyWithOption();
    void viewsGroupAsLiteralWalk_data();
    void viewsGroupAsLiteralWalk();
    void transparentPictureHasNoCentre();
};

void TestSimilarCrops::regionReductionMatchesCopiedRegion_data()
{
    QTest::addColumn<QRect>("region");
    QTest::newRow("whole") << QRect(0, 0, 200, 150);
    QTest::newRow("centre, grid-aligned") << QRect(36, 27, 128, 96);
    QTest::newRow("off-centre, odd size") << QRect(13, 5, 101, 77);
    QTest::newRow("smaller than the grid") << QRect(50, 60, 20, 24);
}

// A reduction of a region of the picture gives what the reduction of that
// region, copied out by Qt, gives.
void TestSimilarCrops::regionReductionMatchesCopiedRegion()
{
    QFETCH(QRect, region);
    const QImage image = Picture(21, 200, 150);
    const std::vector<float> expected = ReduceToGrid(GreyOf(image.copy(region)));
    const std::vector<float> got =
        ReduceRegionToGrid(GreyOf(image), region.x(), region.y(), region.width(), region.height());
    QCOMPARE(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        QVERIFY2(std::abs(got[i] - expected[i]) < 0.01f, qPrintable(QString::number(i)));
}

void TestSimilarCrops::centreHashMatchesCroppedPicture_data()
{
    QTest::addColumn<int>("seed");
    for (int seed : {31, 32, 33, 34})
        QTest::newRow(qPrintable(QString("picture %1").arg(seed))) << seed;
}

// The centre hash is the hash of the picture Qt cuts to kCentreShare.
void TestSimilarCrops::centreHashMatchesCroppedPicture()
{
    QFETCH(int, seed);
    const QImage image = Picture(seed, 400, 300);
    const TPictureHash cropped = ComputePictureHash(GreyOf(CentreCrop(image, kCentreShare)));
    const TPictureHash centre = ComputeCentreHash(GreyOf(image));
    QVERIFY2(HammingDistance(centre.Hash, cropped.Hash) <= 2,
             qPrintable(QString::number(HammingDistance(centre.Hash, cropped.Hash))));
    QVERIFY(std::abs(centre.Mean - cropped.Mean) <= 1);
    QCOMPARE(ComputeCentreHashVariants(GreyOf(image))[0], centre);
}

void TestSimilarCrops::croppedCopiesJoinOnlyWithOption_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("percent");
    QTest::addColumn<bool>("apartWithout"); // the whole hashes differ by more than the tolerance
    QTest::addColumn<bool>("turns");
    QTest::addColumn<bool>("cached");
    QTest::newRow("90 %") << 41 << 90 << true << false << false;
    QTest::newRow("92 %") << 48 << 92 << true << false << false;
    QTest::newRow("93 %") << 46 << 93 << true << false << false;
    QTest::newRow("95 %") << 46 << 95 << true << false << false;
    QTest::newRow("97 %, near enough without the option") << 46 << 97 << false << false << false;
    QTest::newRow("93 %, from the cache") << 46 << 93 << true << false << true;
    QTest::newRow("95 %, from the cache") << 46 << 95 << true << false << true;
    QTest::newRow("92 %, turned, with turns") << 48 << 92 << true << true << false;
}

// An original, its centred crop (saved as another JPEG) and a different
// picture: with the option the crop joins its original and the other picture
// stays alone; without it a crop whose whole hash is off by more than the
// tolerance stays alone too.
void TestSimilarCrops::croppedCopiesJoinOnlyWithOption()
{
    QFETCH(int, seed);
    QFETCH(int, percent);
    QFETCH(bool, apartWithout);
    QFETCH(bool, turns);
    QFETCH(bool, cached);
    QTemporaryDir dir, cacheDir;
    const QImage image = DetailedPicture(seed);
    QImage crop = CentreCrop(image, percent / 100.0);
    if (turns) crop = crop.transformed(QTransform().rotate(90));
    QVERIFY(image.save(dir.filePath("a.jpg"), "JPEG", 92));
    QVERIFY(crop.save(dir.filePath("b-crop.jpg"), "JPEG", 85));
    QVERIFY(DetailedPicture(seed + 100).save(dir.filePath("c-other.jpg"), "JPEG", 92));
    TSimilarOptions options;
    options.Turns = turns;
    if (cached) options.CachePath = cacheDir.filePath("hashes.bin").toStdString();
    TQuietHost host;
    const std::set<std::set<std::string>> expected = {{"a.jpg", "b-crop.jpg"}};
    const TSimilarResult without = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(GroupNames(without), apartWithout ? std::set<std::set<std::string>>{} : expected);
    options.Crops = true;
    TSimilarResult result = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(GroupNames(result), expected);
    QCOMPARE(result.Rows.front().Name, std::string("a.jpg"));
    QCOMPARE(result.Distance.front(), 0);
    QVERIFY(result.Distance.back() <= options.Tolerance);
    // The entries the plain search left lack the centre: hashed again once.
    QCOMPARE(result.Decoded, std::size_t(3));
    if (!cached) return;
    result = FindSimilarPictures(FilesOf(dir), options, host);
    QCOMPARE(result.Decoded, std::size_t(0));
    QCOMPARE(GroupNames(result), expected);
}

void TestSimilarCrops::viewsGroupAsLiteralWalk_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<bool>("centres");
    for (int seed : {1, 2, 3})
        for (int tolerance : {3, 8})
            for (bool centres : {false, true})
                QTest::newRow(qPrintable(QString("seed %1, tolerance %2%3")
                                             .arg(seed)
                                             .arg(tolerance)
                                             .arg(centres ? ", centres" : "")))
                    << seed << tolerance << centres;
}

// GroupSimilarCropped against a literal walk over all pairs: leaders from
// the largest down take what is near their whole or centre (never centre to
// centre), then members move to a nearer leader that comes before them. The
// clusters of near hashes, ties in size and centres near other clusters'
// wholes give it choices to make.
void TestSimilarCrops::viewsGroupAsLiteralWalk()
{
    QFETCH(int, seed);
    QFETCH(int, tolerance);
    QFETCH(bool, centres);
    std::mt19937_64 rng(seed);
    auto near = [&](std::uint64_t hash) {
        for (int flip = int(rng() % 7); flip > 0; --flip)
            hash ^= std::uint64_t{1} << (rng() % 64);
        return hash;
    };
    std::vector<std::uint64_t> clusters;
    for (int c = 0; c < 40; ++c)
        clusters.push_back(rng());
    std::vector<TSimilarItem> items;
    std::vector<TCropHashes> hashes;
    for (std::size_t c = 0; c < clusters.size(); ++c)
        for (int member = 0; member < 5; ++member) {
            items.push_back(
                {TPictureHash{near(clusters[c]), std::uint8_t(100 + rng() % 20)}, rng() % 4, rng() % 3});
            hashes.push_back({{items.back().Hash}, {}});
            if (centres) // the centre of some pictures near another cluster
                hashes.back().Centre.push_back(
                    TPictureHash{near(clusters[rng() % 3 == 0 ? (c + 1) % clusters.size() : c]), 110});
        }
    // The walk, with plain popcounts and sorts.
    const std::size_t n = items.size();
    auto distance = [&](std::size_t leader, std::size_t j) { // least allowed, 99 when none
        int best = 99;
        auto consider = [&](const TPictureHash& a, const TPictureHash& b) {
            const int bits = __builtin_popcountll(a.Hash ^ b.Hash);
            if (bits <= tolerance && std::abs(a.Mean - b.Mean) <= kDefaultMeanTolerance)
                best = std::min(best, bits);
        };
        for (const TPictureHash& w : hashes[j].Whole) {
            consider(hashes[leader].Whole[0], w);
            if (!hashes[leader].Centre.empty()) consider(hashes[leader].Centre[0], w);
        }
        for (const TPictureHash& c : hashes[j].Centre)
            consider(hashes[leader].Whole[0], c);
        return best;
    };
    auto before = [&](std::size_t a, std::size_t b) {
        return std::tie(items[b].Pixels, items[b].Size, a) < std::tie(items[a].Pixels, items[a].Size, b);
    };
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), before);
    std::vector<bool> taken(n, false);
    std::vector<std::vector<std::uint32_t>> expected;
    for (std::size_t leader : order) {
        if (taken[leader]) continue;
        taken[leader] = true;
        std::vector<std::uint32_t> group{std::uint32_t(leader)};
        for (std::size_t j : order)
            if (!taken[j] && distance(leader, j) <= tolerance)
                taken[j] = true, group.push_back(std::uint32_t(j));
        if (group.size() > 1) expected.push_back(group);
    }
    const auto greedy = expected;
    for (std::size_t g = 0; g < greedy.size(); ++g)
        for (std::size_t m = 1; m < greedy[g].size(); ++m) {
            const std::uint32_t j = greedy[g][m];
            const int own = distance(greedy[g][0], j);
            std::size_t to = g;
            int best = own;
            for (std::size_t h = 0; h < greedy.size(); ++h)
                if (h != g && before(greedy[h][0], j) && distance(greedy[h][0], j) < best)
                    best = distance(greedy[h][0], j), to = h;
            if (to == g) continue;
            std::erase(expected[g], j);
            expected[to].push_back(j);
        }
    std::erase_if(expected, [](const auto& g) { return g.size() < 2; });
    for (auto& g : expected)
        std::sort(g.begin(), g.end(), before);
    std::sort(expected.begin(), expected.end());
    const auto got = GroupSimilarCropped(hashes, items, tolerance, kDefaultMeanTolerance, 1);
    QCOMPARE(got, expected);
}

// A transparent picture is matched by its whole and outline alone: a crop
// would cut the outline the search compares.
void TestSimilarCrops::transparentPictureHasNoCentre()
{
    TDecodedPicture picture;
    picture.Image = GreyOf(Picture(61, 64, 64));
    picture.FullPixels = 64 * 64;
    QVERIFY(CentreHashOfPicture(picture));
    picture.Shape.emplace();
    QVERIFY(!CentreHashOfPicture(picture));
    QVERIFY(!CentreHashVariantsOfPicture(picture));
}

QTEST_GUILESS_MAIN(TestSimilarCrops)
#include "tst_similar_crops.moc"
