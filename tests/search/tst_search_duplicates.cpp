// Duplicate detection: the refusals, the groups with their reference row last,
// the key-list collation (index 10 before 9), ASCII-only folding, the sampled
// contents, files and directories that cannot be read (left out and named),
// the names of one file in one group, and the mended faults (nested input
// directories, FIFOs and links put in a file's place).
#include "ContentsCheck.h"
#include "DuplicateSearch.h"
#include "FileScan.h"
#include "LiteralGrouping.h"
#include "PathRules.h"
#include "SearchFixtures.h"
#include "TextCompare.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <ctime>

using namespace quorvane;
using namespace quorvane::test;

namespace {

TSearchCriteria Criteria(bool name, bool size, bool cc, bool time, bool allBytes = false)
{
    TSearchCriteria criteria;
    criteria.Name = name;
    criteria.Size = size;
    criteria.CC = cc;
    criteria.AllBytes = allBytes;
    criteria.Time = time;
    return criteria;
}

// "name@directory-suffix" of each row, for compact expectations.
QStringList Describe(const std::vector<TFileRecord>& rows, const std::string& root)
{
    QStringList out;
    for (const TFileRecord& row : rows) {
        const std::string& dir = row.DirectoryText();
        const std::string rel = dir.rfind(root, 0) == 0 ? dir.substr(root.size()) : dir;
        out << QString::fromStdString(row.Name + "@" + rel);
    }
    return out;
}

// One subdirectory per file, so that reading without subdirectories gives
// the catalogue exactly the order of the list.
struct TOneFilePerDir {
    std::string Root;
    std::vector<std::string> Directories;

    std::string Add(const std::string& name, const QByteArray& contents, long long modified = 1700000000)
    {
        const std::string dir = MakeDir(Join(Root, "d" + std::to_string(Directories.size())));
        Directories.push_back(dir);
        return WriteFile(dir, name, contents, modified);
    }
};

} // namespace

class TestSearchDuplicates : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void refusals_data();
    void refusals();
    void nameGroupListsLaterRowFirst();
    void referenceIsFirstByIndexText();
    void asciiOnlyCaseFolding();
    void everyGroupOfAKey_data();
    void everyGroupOfAKey();
    void contentsNeedSize();
    void statusAndProgress_data();
    void statusAndProgress();
    void keyList_data();
    void keyList();
    void findKeyEntry_data();
    void findKeyEntry();
    void sameContents_data();
    void sameContents();
    void sameContentsPaths();
    void sameContentsRefusesSpecialFiles();
    void sampleFailures_data();
    void sampleFailures();
    void unreadableFileIsLeftOut();
    void changedFileIsLeftOut_data();
    void changedFileIsLeftOut();
    void contentsComparedEvenWhenTimesDiffer();
    void unreadableDirectoriesAreNamed();
    void nestedInputDirectoriesFormNoFakeGroup();
    void namesOfOneFileShareItsGroup();
    void namesOfOneFileAloneFormNoGroup();
    void linkedFilesFormOneGroup();
    void bothNamesOfAHardLinkAreCatalogued();
    void cancelledGroupingKeepsCatalogueAndTarget();
    void directorySwappedForALinkIsNotFollowed();
    void matchesRandomCataloguesAsTheKeyListDoes_data();
    void matchesRandomCataloguesAsTheKeyListDoes();
};

void TestSearchDuplicates::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TestSearchDuplicates::refusals_data()
{
    QTest::addColumn<bool>("withDirectory");
    QTest::addColumn<bool>("name");
    QTest::addColumn<bool>("size");
    QTest::addColumn<bool>("cc");
    QTest::addColumn<bool>("time");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");
    const QString noDir = QString::fromUtf8(kNoDirectoryMessage);
    const QString noTick = QString::fromUtf8(kNoCriterionMessage);
    const int noDirOutcome = int(TSearchOutcome::NoDirectory);
    const int noTickOutcome = int(TSearchOutcome::NoCriterion);
    QTest::newRow("no directory") << false << false << true << false << false << noDirOutcome << noDir;
    QTest::newRow("no directory wins over no tick")
        << false << false << false << false << false << noDirOutcome << noDir;
    QTest::newRow("nothing ticked") << true << false << false << false << false << noTickOutcome << noTick;
    QTest::newRow("contents alone do not count")
        << true << false << false << true << false << noTickOutcome << noTick;
}

void TestSearchDuplicates::refusals()
{
    QFETCH(bool, withDirectory);
    QFETCH(bool, name);
    QFETCH(bool, size);
    QFETCH(bool, cc);
    QFETCH(bool, time);
    QFETCH(int, outcome);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    std::vector<std::string> dirs;
    if (withDirectory) dirs.push_back(Local(tmp.path()));
    TRecordingHost host;
    std::vector<TFileRecord> target(2); // the previous result stays
    target[0].Name = "kept";
    QCOMPARE(int(FindDuplicates(dirs, Criteria(name, size, cc, time), true, host, target)), outcome);
    QCOMPARE(host.Errors.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(host.Errors[0]), message);
    QCOMPARE(host.ClearCount, 0);
    QCOMPARE(target.size(), std::size_t{2});
    QCOMPARE(target[0].Name, std::string("kept"));
    QVERIFY(host.Statuses.empty());
}

void TestSearchDuplicates::nameGroupListsLaterRowFirst()
{
    QTemporaryDir tmp;
    TOneFilePerDir tree{Local(tmp.path()), {}};
    tree.Add("photo.jpg", "one");
    tree.Add("photo.jpg", "two, longer");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    QCOMPARE(FindDuplicates(tree.Directories, Criteria(true, false, false, false), false, host, rows),
             TSearchOutcome::Completed);
    QCOMPARE(Describe(rows, tree.Root), QStringList({"photo.jpg@/d1", "photo.jpg@/d0"}));
    QCOMPARE(host.ClearCount, 1);
    QCOMPARE(host.Statuses.back().first, std::string("Total Files:2"));
}

void TestSearchDuplicates::referenceIsFirstByIndexText()
{
    QTemporaryDir tmp;
    TOneFilePerDir tree{Local(tmp.path()), {}};
    for (int i = 0; i < 9; ++i)
        tree.Add("unique" + std::to_string(i) + ".jpg", "x");
    tree.Add("same.jpg", "nine");
    tree.Add("same.jpg", "ten");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates(tree.Directories, Criteria(true, false, false, false), false, host, rows);
    // Index text "10" sorts before "9": row 10 is the reference and comes last.
    QCOMPARE(Describe(rows, tree.Root), QStringList({"same.jpg@/d9", "same.jpg@/d10"}));
}

void TestSearchDuplicates::asciiOnlyCaseFolding()
{
    QTemporaryDir tmp;
    TOneFilePerDir tree{Local(tmp.path()), {}};
    tree.Add("Photo.JPG", "a");
    tree.Add("\xc3\xa9t\xc3\xa9.jpg", "b"); // été
    tree.Add("pHOTO.jpg", "c");
    tree.Add("\xc3\x89t\xc3\xa9.jpg", "d"); // Été: differs beyond ASCII
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates(tree.Directories, Criteria(true, false, false, false), false, host, rows);
    QCOMPARE(Describe(rows, tree.Root), QStringList({"pHOTO.jpg@/d2", "Photo.JPG@/d0"}));
}

void TestSearchDuplicates::everyGroupOfAKey_data()
{
    QTest::addColumn<bool>("name");
    QTest::addColumn<bool>("size");
    QTest::addColumn<bool>("cc");
    QTest::addColumn<bool>("time");
    QTest::addColumn<QStringList>("files"); // name|contents|minute
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("reference differs, other two equal: their own group")
        << false << true << true << false << QStringList{"a|XXXXX|0", "b|YYYYY|0", "c|YYYYY|0"}
        << QStringList{"c@/d2", "b@/d1"};
    QTest::newRow("contents: a row failing the reference alone is dropped")
        << false << true << true << false << QStringList{"a|XXXXX|0", "b|YYYYY|0", "c|XXXXX|0"}
        << QStringList{"c@/d2", "a@/d0"};
    QTest::newRow("size and contents: two classes in one size, in reference order")
        << false << true << true << false << QStringList{"a|XXXXX|0", "b|YYYYY|0", "c|XXXXX|0", "d|YYYYY|0"}
        << QStringList{"c@/d2", "a@/d0", "d@/d3", "b@/d1"};
    QTest::newRow("name and size: the reference of another size hides no pair")
        << true << true << false << false
        << QStringList{"IMG_0001.JPG|longer|0", "IMG_0001.JPG|short|0", "IMG_0001.JPG|short|0"}
        << QStringList{"IMG_0001.JPG@/d2", "IMG_0001.JPG@/d1"};
    QTest::newRow("name and time: each minute its group")
        << true << false << false << true << QStringList{"p|1|0", "p|2|5", "p|3|0", "p|4|5", "p|5|7"}
        << QStringList{"p@/d2", "p@/d0", "p@/d3", "p@/d1"};
    QTest::newRow("groups of one key follow each other before the next key")
        << false << true << false << true
        << QStringList{"a|1|0", "b|22|0", "c|1|1", "d|1|0", "e|22|0", "f|1|1", "g|1|2"}
        << QStringList{"d@/d3", "a@/d0", "f@/d5", "c@/d2", "e@/d4", "b@/d1"};
    QTest::newRow("time only: one minute, any size")
        << false << false << false << true << QStringList{"a|1|3", "b|22|3", "c|333|4"}
        << QStringList{"b@/d1", "a@/d0"};
    QTest::newRow("groups in order of their lowest index")
        << true << false << false << false << QStringList{"z|1|0", "a|1|0", "a|1|0", "z|1|0", "m|1|0"}
        << QStringList{"z@/d3", "z@/d0", "a@/d2", "a@/d1"};
    QTest::newRow("a key that occurs once yields no row")
        << false << true << false << false << QStringList{"a|1|0", "b|22|0"} << QStringList{};
    QTest::newRow("one file: the key list has one entry")
        << false << true << false << false << QStringList{"a|1|0"} << QStringList{};
    QTest::newRow("two empty files have equal contents")
        << false << true << true << false << QStringList{"a||0", "b||0"} << QStringList{"b@/d1", "a@/d0"};
    QTest::newRow("sizes compare as numbers of equal text")
        << false << true << false << false << QStringList{"a|1234567890|0", "b|0987654321|0"}
        << QStringList{"b@/d1", "a@/d0"};
}

void TestSearchDuplicates::everyGroupOfAKey()
{
    QFETCH(bool, name);
    QFETCH(bool, size);
    QFETCH(bool, cc);
    QFETCH(bool, time);
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    QTemporaryDir tmp;
    TOneFilePerDir tree{Local(tmp.path()), {}};
    for (const QString& f : files) {
        const QStringList parts = f.split('|');
        tree.Add(parts[0].toStdString(), parts[1].toUtf8(), 1700000000 + 60LL * parts[2].toInt());
    }
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates(tree.Directories, Criteria(name, size, cc, time), false, host, rows);
    QCOMPARE(Describe(rows, tree.Root), expected);
    QCOMPARE(host.Statuses.back().first, "Total Files:" + std::to_string(expected.size()));
}

void TestSearchDuplicates::contentsNeedSize()
{
    // CC ticked without Size has no effect: same names, different contents.
    QTemporaryDir tmp;
    TOneFilePerDir tree{Local(tmp.path()), {}};
    tree.Add("n.jpg", "AAAA");
    tree.Add("n.jpg", "BBBB");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates(tree.Directories, Criteria(true, false, true, false), false, host, rows);
    QCOMPARE(rows.size(), std::size_t{2});
}

void TestSearchDuplicates::statusAndProgress_data()
{
    QTest::addColumn<bool>("cc");
    QTest::addColumn<QList<int>>("percentages");
    // Five directories read, then the key list and the grouping over 4 rows;
    // contents add the reading of the 4 samples between the two.
    QTest::newRow("size") << false << QList<int>{20, 40, 60, 80, 100, 25, 50, 75, 100, 25, 50, 75, 100};
    QTest::newRow("size and contents")
        << true << QList<int>{20, 40, 60, 80, 100, 25, 50, 75, 100, 25, 50, 75, 100, 25, 50, 75, 100};
}

void TestSearchDuplicates::statusAndProgress()
{
    QFETCH(bool, cc);
    QFETCH(QList<int>, percentages);
    QTemporaryDir tmp;
    TOneFilePerDir tree{Local(tmp.path()), {}};
    for (int i = 0; i < 4; ++i)
        tree.Add("f" + std::to_string(i), "same");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates({tree.Root}, Criteria(false, true, cc, false), true, host, rows);
    QCOMPARE(rows.size(), std::size_t{4});
    std::vector<std::string> texts;
    for (const auto& s : host.Statuses) {
        texts.push_back(s.first);
        QVERIFY(s.second);
    }
    QCOMPARE(texts,
             std::vector<std::string>({"Reading all files...", "Checking duplicates...", "Total Files:4"}));
    QCOMPARE(host.PercentValues(), std::vector<int>(percentages.begin(), percentages.end()));
}

void TestSearchDuplicates::keyList_data()
{
    QTest::addColumn<QStringList>("entries"); // key->index
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("index text order")
        << QStringList{"a->9", "a->10", "a->2"} << QStringList{"a->10", "a->2", "a->9"};
    QTest::newRow("index 9 against 10") << QStringList{"a->9", "a->10"} << QStringList{"a->10", "a->9"};
    QTest::newRow("index 10 against 9") << QStringList{"a->10", "a->9"} << QStringList{"a->10", "a->9"};
    QTest::newRow("case-folded keys stand together")
        << QStringList{"b->1", "A->9", "a->10", "B->0"} << QStringList{"a->10", "A->9", "B->0", "b->1"};
    QTest::newRow("prefix and punctuation") << QStringList{"ab c->0", "ab_->1", "ab->2", "AB->3"}
                                            << QStringList{"ab->2", "AB->3", "ab c->0", "ab_->1"};
}

void TestSearchDuplicates::keyList()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, sorted);
    std::vector<TKeyEntry> list;
    for (const QString& e : entries) {
        const QStringList parts = e.split("->");
        list.push_back({parts[0].toStdString(), parts[1].toUInt()});
    }
    SortKeyList(list);
    QStringList actual;
    for (const TKeyEntry& e : list)
        actual << QString::fromStdString(e.Key) + "->" + QString::number(e.Index);
    QCOMPARE(actual, sorted);
}

void TestSearchDuplicates::findKeyEntry_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("index");
    const QStringList keys{"a", "b", "B", "b", "c", "d", "d"};
    QTest::newRow("first of a run") << keys << "b" << 1;
    QTest::newRow("folded lookup") << keys << "B" << 1;
    QTest::newRow("first entry") << keys << "A" << 0;
    QTest::newRow("last run") << keys << "d" << 5;
    QTest::newRow("missing between") << keys << "bb" << -1;
    QTest::newRow("missing after") << keys << "e" << -1;
    QTest::newRow("missing before") << keys << "0" << -1;
    QTest::newRow("one entry, found") << QStringList{"x"} << "X" << 0;
    QTest::newRow("one entry, missing") << QStringList{"x"} << "y" << -1;
    QTest::newRow("empty list") << QStringList{} << "x" << -1;
}

void TestSearchDuplicates::findKeyEntry()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, key);
    QFETCH(int, index);
    std::vector<TKeyEntry> list;
    for (const QString& k : keys)
        list.push_back({k.toStdString(), 0});
    QCOMPARE(FindKeyEntry(list, key.toStdString()), std::ptrdiff_t{index});
}

void TestSearchDuplicates::sameContents_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("two empty files") << QByteArray() << QByteArray() << true;
    QTest::newRow("sizes differ") << QByteArray("abc") << QByteArray("abcd") << false;
    QTest::newRow("1 byte differs") << QByteArray("a") << QByteArray("b") << false;
    QTest::newRow("2 bytes, last differs") << QByteArray("ab") << QByteArray("ax") << false;
    QTest::newRow("4 bytes, last differs") << QByteArray("abcd") << QByteArray("abcx") << false;
    QTest::newRow("4 bytes equal") << QByteArray("abcd") << QByteArray("abcd") << true;
    QTest::newRow("10 bytes differ at 1: not sampled")
        << QByteArray("0123456789") << QByteArray("0x23456789") << true;
    QTest::newRow("10 bytes differ at 2: sampled")
        << QByteArray("0123456789") << QByteArray("01x3456789") << false;
    QTest::newRow("26 bytes differ at 25: sampled")
        << QByteArray(25, 'a') + "b" << QByteArray(25, 'a') + "c" << false;
    QByteArray large(100000, 'q');
    QByteArray atSample = large;
    atSample[60000] = 'x';
    QByteArray between = large;
    between[60001] = 'x';
    QTest::newRow("100000 bytes differ at 60000: sampled") << large << atSample << false;
    QTest::newRow("100000 bytes differ at 60001: not sampled") << large << between << true;
    QTest::newRow("25 bytes differ at 24: not sampled")
        << QByteArray(24, 'a') + "b" << QByteArray(24, 'a') + "c" << true;
}

void TestSearchDuplicates::sameContents()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, same);
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string pathA = WriteFile(root, "a", a);
    const std::string pathB = WriteFile(root, "b", b);
    QCOMPARE(SameContents(pathA, pathB), same);
    QCOMPARE(SameContents(pathB, pathA), same);
}

void TestSearchDuplicates::sameContentsPaths()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    // Equal paths are equal without opening anything.
    QVERIFY(SameContents(root + "/missing", root + "/missing"));
    QVERIFY(SameContents("C:\\Pics\\A.JPG", "c:\\pics\\a.jpg", PathStyle::Windows));
    // On Linux, paths differing in case name different files: they are read.
    const std::string upper = WriteFile(root, "A.JPG", "one");
    const std::string lower = WriteFile(root, "a.jpg", "two");
    QVERIFY(!SameContents(upper, lower));
    try {
        SameContents(root + "/missing", lower);
        QFAIL("a missing file must stop the comparison");
    } catch (const EFileReadError& error) {
        QCOMPARE(std::string(error.what()), "Cannot open file " + root + "/missing");
    }
}

void TestSearchDuplicates::sameContentsRefusesSpecialFiles()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string file = WriteFile(root, "file", "abc");
    const std::string fifo = Join(root, "fifo");
    QCOMPARE(mkfifo(fifo.c_str(), 0644), 0);
    const std::string link = Join(root, "link");
    QCOMPARE(symlink(file.c_str(), link.c_str()), 0);
    for (const std::string& special : {fifo, link}) {
        // A FIFO would block a plain open; a link must not be followed.
        QVERIFY_THROWS_EXCEPTION(EFileReadError, SameContents(special, file));
        QVERIFY_THROWS_EXCEPTION(EFileReadError, SameContents(file, special));
    }
}

void TestSearchDuplicates::bothNamesOfAHardLinkAreCatalogued()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string a = MakeDir(Join(root, "a"));
    const std::string x = WriteFile(a, "x.jpg", "linked");
    QCOMPARE(link(x.c_str(), Join(a, "y.jpg").c_str()), 0);
    WriteFile(MakeDir(Join(root, "b")), "y.jpg", "another file");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates({root}, Criteria(true, false, false, false), true, host, rows);
    QCOMPARE(Describe(rows, root), QStringList({"y.jpg@/b", "y.jpg@/a"}));
}

void TestSearchDuplicates::cancelledGroupingKeepsCatalogueAndTarget()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    for (const char* name : {"a", "b", "c", "d"})
        WriteFile(root, name, name[0] < 'c' ? "same" : "else");
    TRecordingHost host;
    std::vector<TFileRecord> catalogue;
    ReadAllFiles(root, true, host, catalogue);
    // Key list (4 polls), samples (4 files), grouping (4 rows).
    for (int after = 0; after < 12; ++after) {
        std::vector<TFileRecord> rows = catalogue;
        std::vector<TFileRecord> target(1);
        host.CancelAfter = after;
        host.CancelPolls = 0;
        QVERIFY_THROWS_EXCEPTION(ESearchCancelled,
                                 GroupCatalogue(rows, Criteria(false, true, true, false), host, target));
        QCOMPARE(target.size(), std::size_t{1});
        QVERIFY(std::all_of(rows.begin(), rows.end(), [](const TFileRecord& r) { return !r.Name.empty(); }));
    }
}

void TestSearchDuplicates::directorySwappedForALinkIsNotFollowed()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string sub = MakeDir(Join(root, "sub"));
    WriteFile(sub, "f", "same");
    WriteFile(root, "g", "same");
    TRecordingHost host;
    // After the scan sub is moved away and a link to it takes its name.
    host.OnStatus = [&](const std::string& text) {
        if (text != kCheckingDuplicatesText) return;
        rename(sub.c_str(), (sub + "2").c_str());
        symlink((sub + "2").c_str(), sub.c_str());
    };
    std::vector<TFileRecord> rows;
    for (bool allBytes : {false, true}) {
        host.NotReads.clear();
        FindDuplicates({root}, Criteria(false, true, !allBytes, false, allBytes), true, host, rows);
        // The file below the link is not read; the search goes on without it.
        QVERIFY(rows.empty());
        QCOMPARE(host.NotReads.size(), std::size_t{1});
        QCOMPARE(host.NotReads[0].Path, Join(sub, "f"));
        QCOMPARE(host.NotReads[0].Reason, TNotReadReason::CannotOpenFile);
        rename((sub + "2").c_str(), (sub + "3").c_str()); // the next search scans sub as a link
        unlink(sub.c_str());
        rename((sub + "3").c_str(), sub.c_str());
    }
}

namespace {

// A sample as it would be read: "-" unopened, bytes, "!" after the bytes for
// a read that failed there.
TFileSample Sample(const QString& text, off_t size, ino_t inode)
{
    TFileSample sample;
    if (text == "-") return sample;
    sample.Opened = true;
    sample.Inode = inode;
    sample.Size = size;
    for (const QChar c : text) {
        if (c == '!')
            sample.ReadFailed = true;
        else
            sample.Append(static_cast<unsigned char>(c.toLatin1()));
    }
    return sample;
}

} // namespace

void TestSearchDuplicates::sampleFailures_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sizeB");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("candidate unopened") << "-"
                                        << "abcde" << 5 << "Cannot open file A";
    QTest::newRow("reference unopened") << "abcde"
                                        << "-" << 5 << "Cannot open file B";
    QTest::newRow("both unopened: candidate named") << "-"
                                                    << "-" << 5 << "Cannot open file A";
    QTest::newRow("sizes differ before any read") << "!"
                                                  << "abcde" << 6 << "false";
    QTest::newRow("read fails") << "ab!"
                                << "abcde" << 5 << "Stream read error";
    QTest::newRow("reference read fails") << "abcde"
                                          << "a!" << 5 << "Stream read error";
    QTest::newRow("difference before the failure") << "ax!"
                                                   << "abcde" << 5 << "false";
    QTest::newRow("equal") << "abcde"
                           << "abcde" << 5 << "true";
}

void TestSearchDuplicates::sampleFailures()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sizeB);
    QFETCH(QString, outcome);
    QString actual;
    try {
        actual = SameSamples(Sample(a, 5, 1), "A", Sample(b, sizeB, 2), "B") ? "true" : "false";
    } catch (const EFileReadError& error) {
        actual = error.what();
    }
    QCOMPARE(actual, outcome);
}

void TestSearchDuplicates::unreadableFileIsLeftOut()
{
    QTemporaryDir tmp;
    TOneFilePerDir tree{Local(tmp.path()), {}};
    tree.Add("a", "five!");
    tree.Add("b", "five!");
    tree.Add("c", "seven!!");
    const std::string removed = tree.Add("d", "seven!!");
    tree.Add("e", "seven!!");
    TRecordingHost host;
    // The file disappears between the scan and the check.
    host.OnStatus = [&](const std::string& text) {
        if (text == kCheckingDuplicatesText) unlink(removed.c_str());
    };
    std::vector<TFileRecord> rows;
    QCOMPARE(FindDuplicates(tree.Directories, Criteria(false, true, true, false), false, host, rows),
             TSearchOutcome::Completed);
    // The search goes on: both groups, without the missing file.
    QCOMPARE(Describe(rows, tree.Root), QStringList({"b@/d1", "a@/d0", "e@/d4", "c@/d2"}));
    QCOMPARE(DescribeNotRead(host.NotReads), QStringList{QString::fromStdString(removed) + ": open 2"});
    QCOMPARE(host.Statuses.back().first, std::string("Total Files:4"));
}

void TestSearchDuplicates::changedFileIsLeftOut_data()
{
    QTest::addColumn<QByteArray>("now");  // the file's contents after the scan
    QTest::addColumn<qint64>("modified"); // and its time (seconds)
    QTest::newRow("same size, another time") << QByteArray("seven!!") << qint64{1700000060};
    QTest::newRow("grown, same time") << QByteArray("seven!!!") << qint64{1700000000};
    QTest::newRow("shrunk, same time") << QByteArray("seven!") << qint64{1700000000};
    QTest::newRow("empty, same time") << QByteArray() << qint64{1700000000};
}

void TestSearchDuplicates::changedFileIsLeftOut()
{
    QFETCH(QByteArray, now);
    QFETCH(qint64, modified);
    for (const bool allBytes : {false, true}) {
        QTemporaryDir tmp;
        TOneFilePerDir tree{Local(tmp.path()), {}};
        tree.Add("a", "seven!!", 1700000000);
        tree.Add("b", "seven!!", 1700000000);
        const std::string changed = tree.Add("c", "seven!!", 1700000000);
        TRecordingHost host;
        host.OnStatus = [&](const std::string& text) {
            if (text == kCheckingDuplicatesText) WriteFile(Join(tree.Root, "d2"), "c", now, modified);
        };
        std::vector<TFileRecord> rows;
        FindDuplicates(tree.Directories, Criteria(false, true, !allBytes, false, allBytes), false, host,
                       rows);
        QCOMPARE(Describe(rows, tree.Root), QStringList({"b@/d1", "a@/d0"}));
        QCOMPARE(DescribeNotRead(host.NotReads), QStringList{QString::fromStdString(changed) + ": changed"});
    }
}

void TestSearchDuplicates::contentsComparedEvenWhenTimesDiffer()
{
    QTemporaryDir tmp;
    TOneFilePerDir tree{Local(tmp.path()), {}};
    tree.Add("a", "same", 1700000000);
    const std::string later = tree.Add("b", "same", 1700009000);
    QCOMPARE(mkfifo((later + ".tmp").c_str(), 0644), 0);
    TRecordingHost host;
    host.OnStatus = [&](const std::string& text) {
        if (text == kCheckingDuplicatesText) rename((later + ".tmp").c_str(), later.c_str());
    };
    std::vector<TFileRecord> rows;
    // The time test fails, yet the contents are still read and meet the FIFO
    // now standing in the file's place: it is named, not read (no block).
    FindDuplicates(tree.Directories, Criteria(false, true, true, true), false, host, rows);
    QVERIFY(rows.empty());
    QCOMPARE(DescribeNotRead(host.NotReads), QStringList{QString::fromStdString(later) + ": changed"});
}

void TestSearchDuplicates::unreadableDirectoriesAreNamed()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(MakeDir(Join(root, "sub")), "f", "same");
    WriteFile(root, "g", "same");
    const std::string missing = Join(root, "missing");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    // An input that cannot be entered, with and without subdirectories; the
    // other input is searched all the same.
    for (const bool include : {true, false}) {
        host.NotReads.clear();
        QCOMPARE(FindDuplicates({missing, root}, Criteria(false, true, false, false), include, host, rows),
                 TSearchOutcome::Completed);
        QCOMPARE(rows.size(), include ? std::size_t{2} : std::size_t{0});
        QCOMPARE(DescribeNotRead(host.NotReads),
                 QStringList{QString::fromStdString(missing) + ": enter " + QString::number(ENOENT)});
    }
}

void TestSearchDuplicates::nestedInputDirectoriesFormNoFakeGroup()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string inner = MakeDir(Join(root, "inner"));
    WriteFile(inner, "only.jpg", "the only copy");
    WriteFile(root, "other.txt", "x");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates({root, inner}, Criteria(true, true, true, false), true, host, rows);
    QVERIFY2(rows.empty(), "one file read twice must not be offered as its own duplicate");
    FindDuplicates({inner, root}, Criteria(false, true, false, false), true, host, rows);
    QVERIFY(rows.empty());
}

void TestSearchDuplicates::namesOfOneFileShareItsGroup()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string file = WriteFile(root, "a.jpg", "contents");
    QCOMPARE(link(file.c_str(), Join(root, "b.jpg").c_str()), 0);
    WriteFile(root, "c.jpg", "contents");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates({root}, Criteria(false, true, true, false), true, host, rows);
    // Both names of the linked file stand in the group, next to each other
    // and marked; the copy is not marked.
    QCOMPARE(rows.size(), std::size_t{3});
    const auto linked = [](const TFileRecord& r) { return r.Name != "c.jpg"; };
    const auto c = std::find_if_not(rows.begin(), rows.end(), linked);
    QVERIFY(c == rows.begin() || c == rows.end() - 1);
    for (const TFileRecord& row : rows)
        QCOMPARE(row.OtherNames, linked(row));
}

void TestSearchDuplicates::namesOfOneFileAloneFormNoGroup()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string file = WriteFile(root, "a.jpg", "contents");
    QCOMPARE(link(file.c_str(), Join(root, "b.jpg").c_str()), 0);
    WriteFile(root, "c.jpg", "contents of another size");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    FindDuplicates({root}, Criteria(false, true, false, false), true, host, rows);
    QVERIFY2(rows.empty(), "two names of one file are not copies");
}

void TestSearchDuplicates::linkedFilesFormOneGroup()
{
    // a/1 and a/2 equal, b/1 a link of a/1, b/2 of a/2, c/1 equal too: one
    // group of three files and five names.
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string a1 = WriteFile(MakeDir(Join(root, "a")), "1", "same");
    const std::string a2 = WriteFile(Join(root, "a"), "2", "same");
    MakeDir(Join(root, "b"));
    QCOMPARE(link(a1.c_str(), Join(root, "b/1").c_str()), 0);
    QCOMPARE(link(a2.c_str(), Join(root, "b/2").c_str()), 0);
    WriteFile(MakeDir(Join(root, "c")), "1", "same");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    std::vector<std::size_t> starts;
    FindDuplicatesWithGroups({root}, Criteria(false, true, false, false, true), true, host, rows, starts);
    QCOMPARE(starts, std::vector<std::size_t>{0});
    QCOMPARE(rows.size(), std::size_t{5});
    // Names of one file stand together: the file changes at most twice.
    int changes = 0;
    for (std::size_t i = 1; i < rows.size(); ++i)
        changes += !SameFile(rows[i], rows[i - 1]);
    QCOMPARE(changes, 2);
    QCOMPARE(std::count_if(rows.begin(), rows.end(), [](const TFileRecord& r) { return r.OtherNames; }), 4);
}

void TestSearchDuplicates::matchesRandomCataloguesAsTheKeyListDoes_data()
{
    QTest::addColumn<bool>("name");
    QTest::addColumn<bool>("size");
    QTest::addColumn<bool>("time");
    QTest::addColumn<int>("seed");
    QTest::newRow("name") << true << false << false << 1;
    QTest::newRow("size") << false << true << false << 2;
    QTest::newRow("time") << false << false << true << 3;
    QTest::newRow("name+size") << true << true << false << 4;
    QTest::newRow("name+time") << true << false << true << 5;
    QTest::newRow("size+time") << false << true << true << 6;
    QTest::newRow("all three") << true << true << true << 7;
}

void TestSearchDuplicates::matchesRandomCataloguesAsTheKeyListDoes()
{
    QFETCH(bool, name);
    QFETCH(bool, size);
    QFETCH(bool, time);
    QFETCH(int, seed);
    QRandomGenerator random(static_cast<quint32>(seed));
    // Short names, names differing only in case (ASCII and beyond), and long
    // names that agree on their first 16 folded bytes.
    const char* names[] = {"a",
                           "A",
                           "b",
                           "ab",
                           "AB",
                           "ab c",
                           "ab_",
                           "\xc3\xa9",
                           "\xc3\x89",
                           "z",
                           "IMG_0001 holiday.jpg",
                           "img_0001 HOLIDAY.JPG",
                           "IMG_0001 holiday",
                           "IMG_0001 holidays.jpg"};
    const auto dir = std::make_shared<const std::string>("/d");
    // 300 files, some with several names (hard links share size and time).
    std::vector<std::pair<std::uint64_t, std::int64_t>> files(300);
    for (auto& file : files)
        file = {random.bounded(4) * 1000, 202301010000 + random.bounded(3)};
    std::vector<TFileRecord> catalogue(400);
    for (TFileRecord& row : catalogue) {
        const quint32 file = random.bounded(300);
        row.Name = names[random.bounded(14)];
        row.Directory = dir;
        row.Size = files[file].first;
        row.TimeKey = files[file].second;
        row.Device = 7;
        row.Inode = file + 1;
    }
    const TSearchCriteria criteria = Criteria(name, size, false, time);
    const std::vector<std::uint32_t> expected = KeyListResult(catalogue, criteria);
    // Tag each row with its index so that moved rows can be traced.
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        catalogue[i].Directory = std::make_shared<const std::string>(std::to_string(i));
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    GroupCatalogue(catalogue, criteria, host, rows);
    std::vector<std::uint32_t> actual;
    for (const TFileRecord& row : rows)
        actual.push_back(static_cast<std::uint32_t>(std::stoul(row.DirectoryText())));
    QVERIFY(!expected.empty());
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestSearchDuplicates)
#include "tst_search_duplicates.moc"
