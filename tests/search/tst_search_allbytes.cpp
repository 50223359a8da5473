// "All bytes": whole-contents equality on fixture files. Files alike in
// their sampled bytes but not in the rest are split, a difference in the
// last byte or deep inside a large file separates, empty files are equal,
// a file of unique size is never opened, and failures read as with CC.
#include "ContentsCheck.h"
#include "DuplicateSearch.h"
#include "FileScan.h"
#include "LiteralGrouping.h"
#include "SearchFixtures.h"
#include "WholeContents.h"

#include <QFile>
#include <QRandomGenerator>
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
    void unreadableFileStopsSearch();
    void digestComparison_data();
    void digestComparison();
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

void TestSearchAllBytes::unreadableFileStopsSearch()
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
    QString message;
    try {
        FindDuplicates(tree.Directories, AllBytes(), false, host, rows);
    } catch (const EFileReadError& error) {
        message = QString::fromStdString(error.what());
    }
    QCOMPARE(message, QString::fromStdString("Cannot open file " + removed));
    QCOMPARE(NamesOf(rows), QStringList({"b", "a"})); // rows so far stay
}

void TestSearchAllBytes::digestComparison_data()
{
    QTest::addColumn<int>("stagesA"); // -1: not opened
    QTest::addColumn<bool>("failedA");
    QTest::addColumn<int>("stagesB");
    QTest::addColumn<quint64>("fullB");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("equal") << 2 << false << 2 << quint64{7} << "true";
    QTest::newRow("whole files differ") << 2 << false << 2 << quint64{8} << "false";
    QTest::newRow("candidate unopened") << -1 << false << 2 << quint64{7} << "Cannot open file A";
    QTest::newRow("candidate failed in its whole-file read")
        << 1 << true << 2 << quint64{7} << "Stream read error";
    QTest::newRow("first stage failed") << 0 << true << 2 << quint64{7} << "Stream read error";
}

void TestSearchAllBytes::digestComparison()
{
    QFETCH(int, stagesA);
    QFETCH(bool, failedA);
    QFETCH(int, stagesB);
    QFETCH(quint64, fullB);
    QFETCH(QString, outcome);
    TFileDigest a;
    a.Opened = stagesA >= 0;
    a.ReadFailed = failedA;
    a.Stages = static_cast<std::uint8_t>(std::max(stagesA, 0));
    a.Size = 500000;
    a.Full[1] = 7;
    TFileDigest b = a;
    b.Opened = true;
    b.ReadFailed = false;
    b.Stages = static_cast<std::uint8_t>(stagesB);
    b.Full[1] = fullB;
    QString actual;
    try {
        actual = SameDigests(a, "A", b, "B") ? "true" : "false";
    } catch (const EFileReadError& error) {
        actual = error.what();
    }
    QCOMPARE(actual, outcome);
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
    QTest::newRow("size, all bytes") << "SA" << 1;
    QTest::newRow("name, size, all bytes") << "NSA" << 2;
    QTest::newRow("size, cc, time") << "SCT" << 3;
    QTest::newRow("name, size, cc") << "NSC" << 4;
    QTest::newRow("size, cc, all bytes, time") << "SCAT" << 5;
}

void TestSearchAllBytes::matchesTheLiteralWalkOnRandomTrees()
{
    QFETCH(QString, criteria);
    QFETCH(int, seed);
    QRandomGenerator random(static_cast<quint32>(seed));
    const QByteArray ten("0123456789");
    // Contents alike in size, in sampled bytes, or in everything.
    const QList<QByteArray> contents{{}, "x", "y", ten, Changed(ten, 1), Changed(ten, 2), "abcdefghij"};
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
    std::vector<TFileRecord> catalogue;
    ReadAllFiles(root, true, host, catalogue);
    auto wholeFile = [&](std::uint32_t row) {
        QFile file(QString::fromStdString(catalogue[row].FullPath()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    };
    const std::vector<std::uint32_t> expected =
        KeyListResult(catalogue, c, [&](std::uint32_t a, std::uint32_t b) {
            return c.AllBytes ? wholeFile(a) == wholeFile(b)
                              : SameContents(catalogue[a].FullPath(), catalogue[b].FullPath());
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
}

QTEST_GUILESS_MAIN(TestSearchAllBytes)
#include "tst_search_allbytes.moc"
