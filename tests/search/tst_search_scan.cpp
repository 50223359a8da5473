// The file scan on fixture trees: pre-order collection with sorted siblings,
// the trailing-separator rules, hidden entries, progress steps, and the
// entries that must never become rows (links, FIFOs) or lose their bytes,
// and what the filters leave out.
#include "FileScan.h"
#include "PathRules.h"
#include "ScanFilter.h"
#include "SearchFixtures.h"

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <ctime>
#include <sys/socket.h>
#include <sys/un.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

QStringList NamesOf(const std::vector<TFileRecord>& rows)
{
    QStringList names;
    for (const TFileRecord& row : rows)
        names << QString::fromStdString(row.Name);
    names.sort();
    return names;
}

QStringList Relative(const std::vector<std::string>& paths, const std::string& root)
{
    QStringList result;
    for (const std::string& p : paths)
        result << QString::fromStdString(p.rfind(root, 0) == 0 ? p.substr(root.size()) : "!" + p);
    return result;
}

} // namespace

class TestSearchScan : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void collectionIsPreOrderWithSortedSiblings();
    void subdirectoriesDifferingInCaseAreBothWalked();
    void directoryTexts_data();
    void directoryTexts();
    void hiddenDirectoryNotEnteredHiddenFileListed();
    void emptyDirectoriesCountAsSteps();
    void withoutSubdirectoriesNoProgress();
    void linksAndSpecialFilesAreNotListed();
    void linkedDirectoryLoopEnds();
    void nonUtf8NameSurvives();
    void largeFileSize();
    void timesWithinOneMinuteAgree();
    void rowsOfOneDirectoryShareItsText();
    void missingDirectoryYieldsNothing();
    void directoriesAreReadOnce();
    void deepChainIsListedWhole();
    void directoriesGoneAfterListingAreNamed();
    void cancelLeavesTargetAsItWas();
    void filtersLeaveOut_data();
    void filtersLeaveOut();
    void byteSizes_data();
    void byteSizes();
};

void TestSearchScan::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TestSearchScan::collectionIsPreOrderWithSortedSiblings()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    for (const char* d : {"b", "a/z", "a/c/deep", "C", "a/B"})
        MakeDir(Join(root, d));
    std::vector<std::string> collection;
    CollectDirectories(root, collection);
    QCOMPARE(Relative(collection, root),
             QStringList({"", "/a", "/a/B", "/a/c", "/a/c/deep", "/a/z", "/b", "/C"}));
}

void TestSearchScan::subdirectoriesDifferingInCaseAreBothWalked()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(MakeDir(Join(root, "x")), "lower.txt", "1");
    WriteFile(MakeDir(Join(root, "X")), "upper.txt", "2");
    std::vector<std::string> collection;
    CollectDirectories(root, collection);
    QCOMPARE(Relative(collection, root), QStringList({"", "/X", "/x"}));
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, true, host, rows);
    QCOMPARE(NamesOf(rows), QStringList({"lower.txt", "upper.txt"}));
}

void TestSearchScan::directoryTexts_data()
{
    QTest::addColumn<bool>("include");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expectedSuffix");
    QTest::newRow("subdirectories: trailing slash dropped") << true << "/"
                                                            << "";
    QTest::newRow("subdirectories: plain") << true << ""
                                           << "";
    QTest::newRow("own files only: trailing slash kept") << false << "/"
                                                         << "/";
    QTest::newRow("own files only: plain") << false << ""
                                           << "";
}

void TestSearchScan::directoryTexts()
{
    QFETCH(bool, include);
    QFETCH(QString, suffix);
    QFETCH(QString, expectedSuffix);
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(root, "top.jpg", "x");
    WriteFile(MakeDir(Join(root, "Sub")), "inner.jpg", "y");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root + suffix.toStdString(), include, host, rows);
    QCOMPARE(rows.size(), include ? std::size_t{2} : std::size_t{1});
    for (const TFileRecord& row : rows) {
        const std::string dir = row.Name == "top.jpg" ? root + expectedSuffix.toStdString() : root + "/Sub";
        QCOMPARE(row.DirectoryText(), dir);
        QCOMPARE(row.FullPath(), Join(row.Name == "top.jpg" ? root : root + "/Sub", row.Name));
    }
}

void TestSearchScan::hiddenDirectoryNotEnteredHiddenFileListed()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(MakeDir(Join(root, ".cache")), "inside.jpg", "x");
    WriteFile(root, ".hidden.jpg", "y");
    WriteFile(root, "plain.jpg", "z");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, true, host, rows);
    QCOMPARE(NamesOf(rows), QStringList({".hidden.jpg", "plain.jpg"}));
    // Named directly, a hidden directory is read like any other.
    rows.clear();
    ReadAllFiles(Join(root, ".cache"), true, host, rows);
    QCOMPARE(NamesOf(rows), QStringList({"inside.jpg"}));
}

void TestSearchScan::emptyDirectoriesCountAsSteps()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    MakeDir(Join(root, "one"));
    MakeDir(Join(root, "two"));
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, true, host, rows);
    QVERIFY(rows.empty());
    QCOMPARE(host.PercentValues(), std::vector<int>({33, 67, 100}));
    QCOMPARE(host.Percentages[0].second, false); // 33 is odd: no repaint
    QCOMPARE(host.Percentages[2].second, true);
    QCOMPARE(host.ShowCount, 3);
    QCOMPARE(host.Statuses.size(), std::size_t{1});
    QCOMPARE(host.Statuses[0].first, std::string(kReadingAllFilesText));
    QVERIFY(host.Statuses[0].second);
}

void TestSearchScan::withoutSubdirectoriesNoProgress()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(root, "a.jpg", "1");
    WriteFile(MakeDir(Join(root, "sub")), "b.jpg", "2");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, false, host, rows);
    QCOMPARE(NamesOf(rows), QStringList({"a.jpg"}));
    QVERIFY(host.Percentages.empty());
    QCOMPARE(host.ShowCount, 0);
    QCOMPARE(host.Statuses.size(), std::size_t{1});
}

void TestSearchScan::linksAndSpecialFilesAreNotListed()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string target = WriteFile(root, "real.jpg", "data");
    QCOMPARE(symlink(target.c_str(), Join(root, "link.jpg").c_str()), 0);
    QCOMPARE(symlink("missing", Join(root, "dangling.jpg").c_str()), 0);
    QCOMPARE(mkfifo(Join(root, "pipe.jpg").c_str(), 0644), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = Join(root, "s.sock");
    if (socketPath.size() < sizeof address.sun_path) {
        std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
        QCOMPARE(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, true, host, rows);
    close(sock);
    QCOMPARE(NamesOf(rows), QStringList({"real.jpg"}));
}

void TestSearchScan::linkedDirectoryLoopEnds()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(MakeDir(Join(root, "a")), "f.txt", "1");
    QCOMPARE(symlink("..", Join(root, "a/up").c_str()), 0);
    QCOMPARE(symlink(root.c_str(), Join(root, "self").c_str()), 0);
    std::vector<std::string> collection;
    CollectDirectories(root, collection);
    QCOMPARE(Relative(collection, root), QStringList({"", "/a"}));
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, true, host, rows);
    QCOMPARE(NamesOf(rows), QStringList({"f.txt"}));
}

void TestSearchScan::nonUtf8NameSurvives()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string name = "\xff\xfe caf\xe9.jpg"; // Latin-1 bytes, not UTF-8
    QVERIFY(!WriteFile(root, name, "abc").empty());
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, true, host, rows);
    QCOMPARE(rows.size(), std::size_t{1});
    QCOMPARE(rows[0].Name, name);
    struct stat st;
    QCOMPARE(stat(rows[0].FullPath().c_str(), &st), 0);
    QCOMPARE(rows[0].Size, std::uint64_t{3});
    QCOMPARE(rows[0].ImageIndex, kImagePicture);
}

void TestSearchScan::largeFileSize()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string path = WriteFile(root, "big.bin", "");
    if (truncate(path.c_str(), 5368709120LL) != 0) QSKIP("the file system cannot hold a sparse 5 GiB file");
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, false, host, rows);
    QCOMPARE(rows.size(), std::size_t{1});
    QCOMPARE(rows[0].SizeText(), std::string("5368709120"));
    QCOMPARE(rows[0].TypeText(), std::string(".bin"));
    QCOMPARE(rows[0].ImageIndex, kImageOtherFile);
}

void TestSearchScan::timesWithinOneMinuteAgree()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(root, "late.txt", "1", 1700057159);  // 14:05:59
    WriteFile(root, "early.txt", "2", 1700057100); // 14:05:00
    WriteFile(root, "next.txt", "3", 1700057160);  // 14:06:00
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, false, host, rows);
    std::sort(rows.begin(), rows.end(),
              [](const TFileRecord& a, const TFileRecord& b) { return a.Name < b.Name; });
    QCOMPARE(rows.size(), std::size_t{3});
    QCOMPARE(rows[0].TimeText(), std::string("2023/11/15 14:05")); // early
    QCOMPARE(rows[1].TimeText(), rows[0].TimeText());              // late
    QCOMPARE(rows[2].TimeText(), std::string("2023/11/15 14:06")); // next
}

void TestSearchScan::rowsOfOneDirectoryShareItsText()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    for (const char* n : {"1", "2", "3"})
        WriteFile(root, n, n);
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, false, host, rows);
    QCOMPARE(rows.size(), std::size_t{3});
    QVERIFY(rows[0].Directory == rows[1].Directory && rows[1].Directory == rows[2].Directory);
}

void TestSearchScan::missingDirectoryYieldsNothing()
{
    QTemporaryDir tmp;
    const std::string missing = Local(tmp.path()) + "/nowhere";
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(missing, true, host, rows);
    QVERIFY(rows.empty());
    QCOMPARE(host.PercentValues(), std::vector<int>({100})); // still one step
    ReadAllFiles(missing, false, host, rows);
    QVERIFY(rows.empty());
}

void TestSearchScan::directoriesAreReadOnce()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string inner = MakeDir(Join(root, "inner"));
    const std::string original = WriteFile(inner, "photo.jpg", "same");
    QCOMPARE(link(original.c_str(), Join(root, "hardlink.jpg").c_str()), 0);
    WriteFile(root, "other.jpg", "else");
    TRecordingHost host;
    // Without the record, nested input directories list the inner file twice.
    std::vector<TFileRecord> all;
    ReadAllFiles(root, true, host, all);
    ReadAllFiles(inner, true, host, all);
    QCOMPARE(all.size(), std::size_t{4});
    // With it each directory entry is one row: both names of the linked file.
    TScanContext scan;
    std::vector<TFileRecord> once;
    ReadAllFiles(inner, false, host, once, &scan);
    ReadAllFiles(root, true, host, once, &scan);
    ReadAllFiles(inner, true, host, once, &scan);
    ReadAllFiles(root + "/", true, host, once, &scan);
    QCOMPARE(NamesOf(once), QStringList({"hardlink.jpg", "other.jpg", "photo.jpg"}));
}

namespace {

// A chain of directories named "d" below root, depth levels deep, built and
// removed through descriptors because its paths exceed PATH_MAX. files holds
// the depths that get a file "f<depth>" with contents "same".
void MakeChain(const std::string& root, int depth, const std::vector<int>& files)
{
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; fd >= 0 && level <= depth; ++level) {
        if (std::find(files.begin(), files.end(), level) != files.end()) {
            const int file = openat(fd, ("f" + std::to_string(level)).c_str(), O_WRONLY | O_CREAT, 0644);
            if (file >= 0 && write(file, "same", 4) == 4) close(file);
        }
        if (level == depth) break;
        mkdirat(fd, "d", 0755);
        const int child = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = child;
    }
    if (fd >= 0) close(fd);
}

void RemoveChain(const std::string& root)
{
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    int depth = 0;
    for (int child; fd >= 0 && (child = openat(fd, "d", O_RDONLY | O_DIRECTORY)) >= 0; ++depth) {
        close(fd);
        fd = child;
    }
    for (; fd >= 0; --depth) {
        if (depth % 400 == 0) unlinkat(fd, ("f" + std::to_string(depth)).c_str(), 0);
        if (depth == 0) break;
        const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = parent;
        unlinkat(fd, "d", AT_REMOVEDIR);
    }
    if (fd >= 0) close(fd);
}

} // namespace

void TestSearchScan::deepChainIsListedWhole()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::vector<int> depths{0, 400, 800, 1200, 1600, 2000, 2400, 2800, 3200};
    MakeChain(root, 3200, depths);
    TRecordingHost host;
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, true, host, rows);
    QCOMPARE(rows.size(), depths.size());
    // Each row's directory text is the whole path down to it, though the
    // scan keeps only each level's name and its parent.
    for (const TFileRecord& row : rows) {
        std::string expected = root;
        for (int level = std::stoi(row.Name.substr(1)); level > 0; --level)
            expected += "/d";
        QCOMPARE(row.DirectoryText(), expected);
    }
    QVERIFY(host.NotReads.empty());
    // Rows that deep are compared too: their directories are opened level by
    // level from the input.
    std::vector<TFileRecord> groups;
    TSearchCriteria allBytes;
    allBytes.AllBytes = true;
    FindDuplicates({root}, allBytes, true, host, groups);
    const std::size_t found = groups.size();
    RemoveChain(root);
    QCOMPARE(found, depths.size());
}

void TestSearchScan::directoriesGoneAfterListingAreNamed()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(MakeDir(Join(root, "a/b/c")), "f", "x");
    WriteFile(Join(root, "a/b"), "g", "x");
    WriteFile(MakeDir(Join(root, "z")), "h", "x");
    TRecordingHost host;
    // Directories are read in pre-order (root, a, a/b, a/b/c, z); a/b moves
    // away after the tree was listed, before the root's files are read. On
    // one thread each step comes before its directory is read.
    host.ScanThreadsAsked = 1;
    host.OnStep = [&](int step) {
        if (step == 1) rename(Join(root, "a/b").c_str(), Join(root, "a/moved").c_str());
    };
    std::vector<TFileRecord> rows;
    ReadAllFiles(root, true, host, rows);
    QCOMPARE(rows.size(), std::size_t{1}); // z/h: the scan goes on
    QCOMPARE(rows[0].Name, std::string("h"));
    QCOMPARE(host.NotReads.size(), std::size_t{2});
    QCOMPARE(host.NotReads[0].Path, Join(root, "a/b"));
    QCOMPARE(host.NotReads[1].Path, Join(root, "a/b/c"));
    for (const TNotRead& entry : host.NotReads)
        QCOMPARE(entry.Reason, TNotReadReason::CannotOpenDirectory);
}

void TestSearchScan::cancelLeavesTargetAsItWas()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    for (int i = 0; i < 5; ++i)
        WriteFile(MakeDir(Join(root, "d" + std::to_string(i))), "f", "x");
    for (int polls : {0, 1, 3, 6}) {
        TRecordingHost host;
        host.CancelAfter = polls;
        std::vector<TFileRecord> rows(1);
        QVERIFY_THROWS_EXCEPTION(ESearchCancelled, ReadAllFiles(root, true, host, rows));
        QCOMPARE(rows.size(), std::size_t{1});
    }
}

// Each filter on one tree; folders are given relative to the tree and may
// name a link to a folder or end in a separator.
void TestSearchScan::filtersLeaveOut_data()
{
    QTest::addColumn<QString>("minSize");
    QTest::addColumn<QString>("maxSize");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("extensions");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QString all = "Thumbs.db big.bin inside.txt keep.txt more.txt note.tmp photo.JPG x.txt";
    QTest::newRow("nothing set") << ""
                                 << "" << QStringList{} << QStringList{} << QStringList{} << "" << all;
    QTest::newRow("at least 1K") << "1K"
                                 << "" << QStringList{} << QStringList{} << QStringList{} << ""
                                 << "big.bin";
    QTest::newRow("at most 4 bytes") << ""
                                     << "4" << QStringList{} << QStringList{} << QStringList{} << ""
                                     << "Thumbs.db inside.txt more.txt note.tmp photo.JPG x.txt";
    QTest::newRow("between 5 and 5") << "5"
                                     << "5" << QStringList{} << QStringList{} << QStringList{} << ""
                                     << "keep.txt";
    QTest::newRow("name patterns") << ""
                                   << "" << QStringList{"*.tmp", "Thumbs.db"} << QStringList{}
                                   << QStringList{} << ""
                                   << "big.bin inside.txt keep.txt more.txt photo.JPG x.txt";
    QTest::newRow("a star leaves out every name")
        << ""
        << "" << QStringList{"*"} << QStringList{} << QStringList{} << ""
        << "";
    QTest::newRow("extensions, case and dot ignored")
        << ""
        << "" << QStringList{} << QStringList{"jpg", ".TXT"} << QStringList{} << ""
        << "inside.txt keep.txt more.txt photo.JPG x.txt";
    QTest::newRow("folder and all below, not its namesake")
        << ""
        << "" << QStringList{} << QStringList{} << QStringList{"skip"} << ""
        << "Thumbs.db big.bin keep.txt note.tmp photo.JPG x.txt";
    QTest::newRow("folder with a trailing separator")
        << ""
        << "" << QStringList{} << QStringList{} << QStringList{"skip//"} << ""
        << "Thumbs.db big.bin keep.txt note.tmp photo.JPG x.txt";
    QTest::newRow("folder given as a link to it")
        << ""
        << "" << QStringList{} << QStringList{} << QStringList{"link"} << ""
        << "Thumbs.db big.bin keep.txt note.tmp photo.JPG x.txt";
    QTest::newRow("a folder below another")
        << ""
        << "" << QStringList{} << QStringList{} << QStringList{"skip/deeper"} << ""
        << "Thumbs.db big.bin inside.txt keep.txt note.tmp photo.JPG x.txt";
    QTest::newRow("an input inside an excluded folder")
        << ""
        << "" << QStringList{} << QStringList{} << QStringList{"skip"} << "skip/deeper"
        << "";
    QTest::newRow("a folder that does not exist")
        << ""
        << "" << QStringList{} << QStringList{} << QStringList{"gone"} << "" << all;
}

void TestSearchScan::filtersLeaveOut()
{
    QFETCH(QString, minSize);
    QFETCH(QString, maxSize);
    QFETCH(QStringList, names);
    QFETCH(QStringList, extensions);
    QFETCH(QStringList, folders);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(MakeDir(Join(root, "a")), "keep.txt", "hello");
    WriteFile(Join(root, "a"), "big.bin", QByteArray(3000, 'b'));
    WriteFile(Join(root, "a"), "Thumbs.db", "t");
    WriteFile(MakeDir(Join(root, "b")), "photo.JPG", "jp");
    WriteFile(Join(root, "b"), "note.tmp", "n");
    WriteFile(MakeDir(Join(root, "skip")), "inside.txt", "i");
    WriteFile(MakeDir(Join(root, "skip/deeper")), "more.txt", "m");
    WriteFile(MakeDir(Join(root, "skip2")), "x.txt", "x");
    QCOMPARE(::symlink(Join(root, "skip").c_str(), Join(root, "link").c_str()), 0);
    TScanFilter filter;
    if (!minSize.isEmpty()) filter.MinSize = ParseByteSize(minSize.toStdString()).value();
    if (!maxSize.isEmpty()) filter.MaxSize = ParseByteSize(maxSize.toStdString()).value();
    for (const QString& name : names)
        filter.ExcludedNames.push_back(name.toStdString());
    for (const QString& extension : extensions)
        filter.Extensions.push_back(extension.toStdString());
    for (const QString& folder : folders)
        filter.ExcludedFolders.push_back(root + "/" + folder.toStdString());
    TRecordingHost host;
    host.Filter = &filter;
    std::vector<TFileRecord> rows;
    ReadAllFiles(input.isEmpty() ? root : Join(root, input.toStdString()), true, host, rows);
    QCOMPARE(NamesOf(rows).join(' '), expected);
}

void TestSearchScan::byteSizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("bytes"); // -1: refused
    QTest::newRow("plain") << "1500" << qint64(1500);
    QTest::newRow("K") << "2K" << qint64(2048);
    QTest::newRow("m") << "3m" << qint64(3 << 20);
    QTest::newRow("G") << "1G" << qint64(1) * (1 << 30);
    QTest::newRow("largest 64-bit value") << "18446744073709551615" << qint64(-2);
    QTest::newRow("one beyond 64 bits") << "18446744073709551616" << qint64(-1);
    QTest::newRow("beyond 64 bits with a unit") << "17179869184G" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
    QTest::newRow("unit alone") << "K" << qint64(-1);
    QTest::newRow("negative") << "-5" << qint64(-1);
    QTest::newRow("unknown unit") << "5T" << qint64(-1);
    QTest::newRow("decimal point") << "1.5M" << qint64(-1);
}

void TestSearchScan::byteSizes()
{
    QFETCH(QString, text);
    QFETCH(qint64, bytes);
    const std::optional<std::uint64_t> parsed = ParseByteSize(text.toStdString());
    if (bytes == -1)
        QVERIFY(!parsed);
    else if (bytes == -2)
        QCOMPARE(parsed, std::optional<std::uint64_t>(UINT64_MAX));
    else
        QCOMPARE(parsed, std::optional<std::uint64_t>(static_cast<std::uint64_t>(bytes)));
}

QTEST_GUILESS_MAIN(TestSearchScan)
#include "tst_search_scan.moc"
