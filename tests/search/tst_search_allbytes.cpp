// "All bytes": whole-contents equality on fixture files. Files alike in
// their sampled bytes but not in the rest are split, a difference in the
// last byte or deep inside a large file separates, empty files are equal,
// a file of unique size is never opened, nothing is alike unless hashed
// whole, and a file that cannot be read or changes is left out and named.
#include "ContentsCheck.h"
#include "DuplicateSearch.h"
#include "FileBatch.h"
#include "FileScan.h"
#include "LiteralGrouping.h"
#include "SearchFixtures.h"
#include "WholeContents.h"

#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

using namespace quorvane;
using namespace quorvane::test;

namespace {

TSearchCriteria AllBytes(bool cc = false)
{
    TSearchCriteria criteria;
    criteria.Size = true;
    criteria.CC = cc;
    criteria.AllBytes = true;
    return criteria;
}

// Names of the rows, for compact expectations.
QStringList NamesOf(const std::vector<TFileRecord>& rows)
{
    QStringList names;
    for (const TFileRecord& row : rows)
        names << QString::fromStdString(row.Name);
    return names;
}

// One subdirectory per file, so the catalogue has the order of the list.
struct TTree {
    std::string Root;
    std::vector<std::string> Directories;

    std::string Add(const std::string& name, const QByteArray& contents)
    {
        const std::string dir = MakeDir(Join(Root, "d" + std::to_string(Directories.size())));
        Directories.push_back(dir);
        return WriteFile(dir, name, contents);
    }
};

// The sampled comparison worked out here from whole files: equal sizes and
// equal bytes at 0, size/5, 2*size/5, ... (every byte below five bytes).
bool SampledAlike(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size()) return false;
    const qsizetype step = std::max<qsizetype>(a.size() / 5, 1);
    for (qsizetype at = 0; at < a.size(); at += step)
        if (a[at] != b[at]) return false;
    return true;
}

QByteArray Changed(QByteArray bytes, qsizetype at)
{
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5a);
    return bytes;
}

} // namespace

class TestSearchAllBytes : public QObject {
    Q_OBJECT

  private slots:
    void groups_data();
    void groups();
    void withoutSizeNoEffect();
    void uniqueSizeNeverOpened();
    void unreadableFileIsLeftOut();
    void changedBetweenStagesIsLeftOut_data();
    void changedBetweenStagesIsLeftOut();
    void onlyWholeHashesFormClasses_data();
    void onlyWholeHashesFormClasses();
    void cancelInEveryPassLeavesTarget_data();
    void cancelInEveryPassLeavesTarget();
    void matchesTheLiteralWalkOnRandomTrees_data();
    void matchesTheLiteralWalkOnRandomTrees();
};

void TestSearchAllBytes::groups_data()
{
    QTest::addColumn<QList<QByteArray>>("files"); // named a, b, c, ... in order
    QTest::addColumn<bool>("cc");
    QTest::addColumn<QStringList>("expected");
    const QByteArray ten("0123456789");
    QByteArray large(300 * 1024, '\0');
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 7 + i / 251);
    QTest::newRow("differing between sampled offsets: CC alike, All bytes not")
        << QList<QByteArray>{ten, Changed(ten, 1), ten} << false << QStringList{"c", "a"};
    QTest::newRow("All bytes supersedes CC")
        << QList<QByteArray>{ten, Changed(ten, 1), ten} << true << QStringList{"c", "a"};
    QTest::newRow("small files differing in the last byte")
        << QList<QByteArray>{ten, Changed(ten, 9)} << false << QStringList{};
    QTest::newRow("large files differing in the last byte")
        << QList<QByteArray>{large, Changed(large, large.size() - 1)} << false << QStringList{};
    QTest::newRow("large files differing past the first block, before the tail")
        << QList<QByteArray>{large, Changed(large, 150000), large} << false << QStringList{"c", "a"};
    QTest::newRow("large files alike: two classes of one size")
        << QList<QByteArray>{large, Changed(large, 100), large, Changed(large, 100)} << false
        << QStringList{"c", "a", "d", "b"};
    // Each stage's edge: a difference just inside or just outside the first
    // block or the tail must still separate the files.
    const qsizetype head = static_cast<qsizetype>(kFirstBlockBytes);
    const qsizetype tailStart = large.size() - static_cast<qsizetype>(kTailBytes);
    const std::pair<const char*, qsizetype> edges[] = {
        {"last byte of the first block", head - 1},      {"first byte after the first block", head},
        {"second byte after the first block", head + 1}, {"byte before the tail", tailStart - 1},
        {"first byte of the tail", tailStart},           {"middle", large.size() / 2}};
    for (const auto& [where, at] : edges)
        QTest::addRow("300 KiB files differing only at the %s", where)
            << QList<QByteArray>{large, Changed(large, at), large} << false << QStringList{"c", "a"};
    for (const qsizetype size : {qsizetype(kWholeReadLimit), qsizetype(kWholeReadLimit) + 1}) {
        const QByteArray edge = large.left(size);
        QTest::addRow("%lld-byte files differing in the middle", static_cast<long long>(size))
            << QList<QByteArray>{edge, Changed(edge, size / 2), edge} << false << QStringList{"c", "a"};
    }
    QTest::newRow("empty files are equal")
        << QList<QByteArray>{{}, {}, "x"} << false << QStringList{"b", "a"};
}

void TestSearchAllBytes::groups()
{
    QFETCH(QList<QByteArray>, files);
    QFETCH(bool, cc);
    QFETCH(QStringList, expected);
    QTemporaryDir tmp;
    TTree tree{Local(tmp.path()), {}};
    for (qsizetype i = 0; i < files.size(); ++i)
        tree.Add(std::string(1, static_cast<char>('a' + i)), files[i]);
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    QCOMPARE(FindDuplicates(tree.Directories, AllBytes(cc), false, host, rows), TSearchOutcome::Completed);
    QCOMPARE(NamesOf(rows), expected);
}

void TestSearchAllBytes::withoutSizeNoEffect()
{
    QTemporaryDir tmp;
    TTree tree{Local(tmp.path()), {}};
    tree.Add("n", "AAAA");
    tree.Add("n", "BBBB");
    TSearchCriteria criteria = AllBytes();
    criteria.Size = false;
    criteria.Name = true;
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates(tree.Directories, criteria, false, host, rows);
    QCOMPARE(rows.size(), std::size_t{2});
}

void TestSearchAllBytes::uniqueSizeNeverOpened()
{
    QTemporaryDir tmp;
    TTree tree{Local(tmp.path()), {}};
    tree.Add("a", "same");
    tree.Add("b", "same");
    const std::string unique = tree.Add("c", "of a size of its own");
    QCOMPARE(mkfifo((unique + ".fifo").c_str(), 0644), 0);
    TRecordingHost host;
    // After the scan the unique file is replaced by a FIFO: opening it would
    // fail (or block), so the search completing shows it was never opened.
    host.OnStatus = [&](const std::string& text) {
        if (text == kCheckingDuplicatesText) rename((unique + ".fifo").c_str(), unique.c_str());
    };
    std::vector<TFileRecord> rows;
    QCOMPARE(FindDuplicates(tree.Directories, AllBytes(), false, host, rows), TSearchOutcome::Completed);
    QCOMPARE(NamesOf(rows), QStringList({"b", "a"}));
}

void TestSearchAllBytes::unreadableFileIsLeftOut()
{
    QTemporaryDir tmp;
    TTree tree{Local(tmp.path()), {}};
    tree.Add("a", "five!");
    tree.Add("b", "five!");
    tree.Add("c", "seven!!");
    const std::string removed = tree.Add("d", "seven!!");
    TRecordingHost host;
    host.OnStatus = [&](const std::string& text) {
        if (text == kCheckingDuplicatesText) unlink(removed.c_str());
    };
    std::vector<TFileRecord> rows;
    QCOMPARE(FindDuplicates(tree.Directories, AllBytes(), false, host, rows), TSearchOutcome::Completed);
    QCOMPARE(NamesOf(rows), QStringList({"b", "a"}));
    QCOMPARE(DescribeNotRead(host.NotReads), QStringList{QString::fromStdString(removed) + ": open 2"});
}

void TestSearchAllBytes::changedBetweenStagesIsLeftOut_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("grown") << "grown";
    QTest::newRow("same size, another time") << "touched";
    QTest::newRow("replaced by another file") << "replaced";
    QTest::newRow("removed") << "removed";
}

void TestSearchAllBytes::changedBetweenStagesIsLeftOut()
{
    QFETCH(QString, change);
    QTemporaryDir tmp;
    TTree tree{Local(tmp.path()), {}};
    const QByteArray large(300 * 1024, 'L');
    tree.Add("a", large);
    tree.Add("b", large);
    const std::string changed = tree.Add("c", large);
    const std::string directory = Join(tree.Root, "d2");
    TRecordingHost host;
    host.Threads = 1; // so that no file of the stage is read before its step
    // Steps: the scan's directories (the root and d0..d2), the key list (3),
    // the first stage (3); the change comes with the first step of the
    // whole-file stage, before its first file is opened.
    const int firstWholeStep = 4 + 3 + 3 + 1;
    host.OnStep = [&](int step) {
        if (step != firstWholeStep) return;
        if (change == "grown") {
            WriteFile(directory, "c", large + "+");
        } else if (change == "touched") {
            SetModified(changed, 1600000000);
        } else if (change == "replaced") {
            unlink(changed.c_str());
            WriteFile(directory, "c", large);
        } else {
            unlink(changed.c_str());
        }
    };
    std::vector<TFileRecord> rows;
    FindDuplicates({tree.Root}, AllBytes(), true, host, rows);
    QCOMPARE(NamesOf(rows), QStringList({"b", "a"}));
    QCOMPARE(host.NotReads.size(), std::size_t{1});
    QCOMPARE(host.NotReads[0].Path, changed);
    QCOMPARE(host.NotReads[0].Reason,
             change == "removed" ? TNotReadReason::CannotOpenFile : TNotReadReason::FileChanged);
}

void TestSearchAllBytes::onlyWholeHashesFormClasses_data()
{
    // Two digests of one size and first-stage hash; how far each got.
    QTest::addColumn<int>("stagesA");
    QTest::addColumn<int>("stagesB");
    QTest::addColumn<bool>("failedB");
    QTest::addColumn<quint64>("fullB"); // A's whole-file hash is 7
    QTest::addColumn<bool>("sameClass");
    QTest::newRow("both hashed whole, equal") << 2 << 2 << false << quint64{7} << true;
    QTest::newRow("both hashed whole, different") << 2 << 2 << false << quint64{8} << false;
    QTest::newRow("both stopped at the first stage") << 1 << 1 << false << quint64{7} << false;
    QTest::newRow("one stopped at the first stage") << 2 << 1 << false << quint64{7} << false;
    QTest::newRow("one failed after hashing") << 2 << 2 << true << quint64{7} << false;
    QTest::newRow("neither read") << 0 << 0 << false << quint64{7} << false;
}

void TestSearchAllBytes::onlyWholeHashesFormClasses()
{
    QFETCH(int, stagesA);
    QFETCH(int, stagesB);
    QFETCH(bool, failedB);
    QFETCH(quint64, fullB);
    QFETCH(bool, sameClass);
    std::vector<TFileDigest> digests(3);
    for (TFileDigest& d : digests) {
        d.Opened = true;
        d.Size = 500000;
        d.Head[1] = 3;
        d.Full[1] = 7;
    }
    digests[0].Stages = static_cast<std::uint8_t>(stagesA);
    digests[1].Stages = static_cast<std::uint8_t>(stagesB);
    digests[1].Changed = failedB;
    digests[1].Full[1] = fullB;
    digests[2].Size = 1; // a class of another size, hashed whole
    digests[2].Stages = 2;
    const std::vector<std::uint64_t> classes = ClassesOfDigests(digests);
    QCOMPARE(classes[0] == classes[1], sameClass);
    QVERIFY(classes[2] != classes[0] && classes[2] != classes[1]);
}

void TestSearchAllBytes::cancelInEveryPassLeavesTarget_data()
{
    QTest::addColumn<bool>("allBytes");
    QTest::newRow("sampled contents") << false;
    QTest::newRow("all bytes") << true;
}

void TestSearchAllBytes::cancelInEveryPassLeavesTarget()
{
    QFETCH(bool, allBytes);
    QTemporaryDir tmp;
    TTree tree{Local(tmp.path()), {}};
    // Large files take the whole-file stage, read in several blocks.
    const QByteArray large(static_cast<qsizetype>(kStreamBlockBytes * 2 + 5), 'L');
    for (const QByteArray& contents : {QByteArray("same"), QByteArray("same"), large, large, QByteArray("x")})
        tree.Add("f", contents);
    TSearchCriteria criteria = AllBytes();
    criteria.AllBytes = allBytes;
    criteria.CC = !allBytes;
    TRecordingHost counting;
    counting.CancelAfter = std::numeric_limits<int>::max(); // counts the polls
    std::vector<TFileRecord> rows;
    FindDuplicates({tree.Root}, criteria, true, counting, rows);
    QCOMPARE(rows.size(), std::size_t{4});
    const int polls = counting.CancelPolls;
    // Directories, files and rows of the key list, contents and grouping
    // passes, and the blocks of the whole-file reads each poll.
    QVERIFY2(polls > 6 + 3 * 5, qPrintable(QString::number(polls)));
    for (int after = 0; after < polls; ++after) {
        TRecordingHost host;
        host.CancelAfter = after;
        std::vector<TFileRecord> target(1);
        target[0].Name = "kept";
        QVERIFY_THROWS_EXCEPTION(ESearchCancelled, FindDuplicates({tree.Root}, criteria, true, host, target));
        QCOMPARE(target.size(), std::size_t{1});
        QCOMPARE(target[0].Name, std::string("kept"));
    }
}

void TestSearchAllBytes::matchesTheLiteralWalkOnRandomTrees_data()
{
    QTest::addColumn<QString>("criteria"); // N, S, C (CC), A (All bytes), T
    QTest::addColumn<int>("seed");
    QTest::addColumn<unsigned>("threads"); // that read contents
    QTest::addColumn<bool>("ring");        // batches may read through io_uring
    // The result never depends on the number of threads, nor on the way
    // the batches of files are read.
    for (const bool ring : {true, false}) {
        const char* way = ring ? "ring" : "plain";
        for (const unsigned threads : {1u, 2u, 8u}) {
            QTest::addRow("size, all bytes, %u threads, %s", threads, way) << "SA" << 1 << threads << ring;
            QTest::addRow("name, size, all bytes, %u threads, %s", threads, way)
                << "NSA" << 2 << threads << ring;
            QTest::addRow("size, cc, time, %u threads, %s", threads, way) << "SCT" << 3 << threads << ring;
            QTest::addRow("name, size, cc, %u threads, %s", threads, way) << "NSC" << 4 << threads << ring;
            QTest::addRow("size, cc, all bytes, time, %u threads, %s", threads, way)
                << "SCAT" << 5 << threads << ring;
        }
    }
}

void TestSearchAllBytes::matchesTheLiteralWalkOnRandomTrees()
{
    QFETCH(QString, criteria);
    QFETCH(int, seed);
    QFETCH(unsigned, threads);
    QFETCH(bool, ring);
    SetFileBatchRingAllowed(ring);
    const auto allowRing = qScopeGuard([] { SetFileBatchRingAllowed(true); });
    QRandomGenerator random(static_cast<quint32>(seed));
    const QByteArray ten("0123456789");
    QByteArray large(300 * 1024, '\0');
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 13 + i / 509);
    // Contents alike in size, in sampled bytes, or in everything; large ones
    // alike in their first block and tail go on to the whole-file stage.
    const QList<QByteArray> contents{{},
                                     "x",
                                     "y",
                                     ten,
                                     Changed(ten, 1),
                                     Changed(ten, 2),
                                     "abcdefghij",
                                     large,
                                     large,
                                     Changed(large, 150000),
                                     Changed(large, 150001)};
    const char* names[] = {"a.jpg", "A.JPG", "b.jpg", "c"};
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    std::vector<std::string> written;
    for (int i = 0; i < 70; ++i) {
        const std::string dir = MakeDir(Join(root, "d" + std::to_string(random.bounded(8))));
        const std::string name = std::string(names[random.bounded(4)]) + std::to_string(random.bounded(2));
        const std::string path = Join(dir, name);
        if (!written.empty() && random.bounded(6) == 0) {
            link(written[random.bounded(static_cast<quint32>(written.size()))].c_str(), path.c_str());
            continue;
        }
        WriteFile(dir, name, contents[random.bounded(static_cast<quint32>(contents.size()))],
                  1700000000 + 60 * random.bounded(2));
        written.push_back(path);
    }
    TSearchCriteria c;
    c.Name = criteria.contains('N');
    c.Size = criteria.contains('S');
    c.CC = criteria.contains('C');
    c.AllBytes = criteria.contains('A');
    c.Time = criteria.contains('T');
    TRecordingHost host;
    host.Threads = threads;
    std::vector<TFileRecord> catalogue;
    ReadAllFiles(root, true, host, catalogue);
    auto wholeFile = [&](std::uint32_t row) {
        QFile file(QString::fromStdString(catalogue[row].FullPath()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    };
    const std::vector<std::uint32_t> expected =
        KeyListResult(catalogue, c, [&](std::uint32_t a, std::uint32_t b) {
            return c.AllBytes ? wholeFile(a) == wholeFile(b) : SampledAlike(wholeFile(a), wholeFile(b));
        });
    // Each path names one catalogue row, so moved rows can be traced.
    std::vector<std::string> paths;
    for (const TFileRecord& row : catalogue)
        paths.push_back(row.FullPath());
    std::vector<TFileRecord> rows;
    GroupCatalogue(catalogue, c, host, rows);
    std::vector<std::uint32_t> actual;
    for (const TFileRecord& row : rows)
        actual.push_back(static_cast<std::uint32_t>(std::find(paths.begin(), paths.end(), row.FullPath()) -
                                                    paths.begin()));
    QVERIFY(expected.size() > 4);
    QCOMPARE(actual, expected);
    QVERIFY(host.NotReads.empty());
}

QTEST_GUILESS_MAIN(TestSearchAllBytes)
#include "tst_search_allbytes.moc"
