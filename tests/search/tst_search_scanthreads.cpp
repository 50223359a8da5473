// The scan on several threads: on trees built here (deep, wide, mixed, a
// directory removed while the tree is listed, an unreadable one, one reached
// twice) the rows, their order, the unread-directory reports and the steps
// are those of a walk written here with readdir and lstat, whatever the
// number of threads.
#include "FileScan.h"
#include "SearchFixtures.h"

#include <QTest>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <set>
#include <sys/mount.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Siblings order of the walk: ASCII letters folded, then plain bytes.
bool NameBefore(const std::string& a, const std::string& b)
{
    const auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : int{c}; };
    const auto folded = [&](unsigned char x, unsigned char y) { return fold(x) < fold(y); };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded)) return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded)) return false;
    return a < b;
}

// The oracle: pre-order, siblings sorted, hidden directories not entered,
// regular files only (hidden ones too) in readdir's order, each directory
// (device, inode) once. Each row: "directory|name|size|device:inode|ns".
void Walk(const std::string& dir, std::set<std::pair<dev_t, ino_t>>& entered, QStringList& rows, int& dirs)
{
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        !entered.insert({st.st_dev, st.st_ino}).second)
        return;
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    ++dirs;
    std::vector<std::string> subdirectories;
    while (const dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || lstat(Join(dir, name).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode) && name[0] != '.') subdirectories.push_back(name);
        if (!S_ISREG(st.st_mode)) continue;
        rows << QString::fromStdString(dir + "|" + name + "|" + std::to_string(st.st_size) + "|" +
                                       std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + "|" +
                                       std::to_string(st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec));
    }
    closedir(d);
    std::sort(subdirectories.begin(), subdirectories.end(), NameBefore);
    for (const std::string& name : subdirectories)
        Walk(Join(dir, name), entered, rows, dirs);
}

QStringList Describe(const std::vector<TFileRecord>& rows)
{
    QStringList out;
    for (const TFileRecord& r : rows)
        out << QString::fromStdString(r.DirectoryText() + "|" + r.Name + "|" + std::to_string(r.Size) + "|" +
                                      std::to_string(r.Device) + ":" + std::to_string(r.Inode) + "|" +
                                      std::to_string(r.ModifiedNs));
    return out;
}

// Removes a directory at the first poll for a cancel request: after the
// input was listed, before its subdirectories are entered.
class TRemovingHost : public TRecordingHost {
  public:
    std::string Doomed;
    mutable std::atomic<bool> Removed{false};
    bool CancelRequested() const override
    {
        if (!Doomed.empty() && !Removed.exchange(true)) std::filesystem::remove_all(Doomed);
        return false;
    }
};

void Files(const std::string& dir, int count)
{
    MakeDir(dir);
    for (int i = 0; i < count; ++i)
        WriteFile(dir, "f" + std::to_string(i) + (i % 7 == 0 ? ".jpg" : ".txt"), QByteArray(i % 5, 'x'));
}

// Builds the named tree below root; returns the directory the scan must
// name as not entered ("" for none), or "skip" when the case cannot be
// made here.
std::string Build(const QString& tree, const std::string& root)
{
    if (tree == "deep") { // deeper than the levels a path keeps open
        std::string dir = root;
        for (int level = 0; level < 70; ++level, dir = Join(dir, level % 2 ? "Dd" : "dd")) {
            Files(dir, level % 3);
            if (level % 10 == 0) Files(Join(dir, "side"), 2);
        }
    } else if (tree == "wide") { // runs of directories; one directory past a poll
        for (int i = 0; i < 300; ++i)
            Files(Join(root, "w" + std::to_string(i)), i % 4);
        Files(Join(root, "big"), 700);
    } else if (tree == "mixed") { // sorting, hidden entries, links, a FIFO
        for (const char* name : {"b", "B", "a/x", "a/X/y", ".hidden/in", "c/.h", "e/f/g"})
            Files(Join(root, name), 2);
        WriteFile(root, ".dotfile", "x");
        symlink(Join(root, "a").c_str(), Join(root, "link").c_str());
        symlink(Join(root, "b/f1.txt").c_str(), Join(root, "c/flink").c_str());
        mkfifo(Join(root, "c/fifo").c_str(), 0644);
    } else if (tree == "removed while listed") {
        for (const char* name : {"a", "m/x/y", "m/z", "z"})
            Files(Join(root, name), 3);
        return Join(root, "m");
    } else if (tree == "unreadable") {
        if (geteuid() == 0) return "skip"; // root enters it all the same
        Files(Join(root, "a"), 2);
        Files(Join(root, "u/v"), 2);
        chmod(Join(root, "u").c_str(), 0);
        return Join(root, "u");
    } else if (tree == "bind mount inside") { // k/loop shows a again, subtree and all
        Files(Join(root, "a/b/c"), 3);
        Files(Join(root, "k/loop"), 0);
        if (mount(Join(root, "a").c_str(), Join(root, "k/loop").c_str(), nullptr, MS_BIND, nullptr) != 0)
            return "skip";
    } else if (tree == "input inside another") {
        Files(Join(root, "in/deeper"), 3);
        Files(Join(root, "out"), 2);
    }
    return {};
}

} // namespace

class TestSearchScanThreads : public QObject {
    Q_OBJECT

  private slots:
    void sameAsWalkOnAnyThreads_data();
    void sameAsWalkOnAnyThreads();
};

void TestSearchScanThreads::sameAsWalkOnAnyThreads_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QStringList>("inputs"); // read in turn with one scan context
    QTest::addColumn<unsigned>("threads");
    const QStringList one{""};
    for (const unsigned threads : {1u, 2u, 8u}) {
        for (const char* tree :
             {"deep", "wide", "mixed", "removed while listed", "unreadable", "bind mount inside"})
            QTest::addRow("%s, %u threads", tree, threads) << QString(tree) << one << threads;
        QTest::addRow("input inside another, %u threads", threads)
            << QString("input inside another") << QStringList{"in", "", "in/deeper"} << threads;
    }
}

void TestSearchScanThreads::sameAsWalkOnAnyThreads()
{
    QFETCH(QString, tree);
    QFETCH(QStringList, inputs);
    QFETCH(unsigned, threads);
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string gone = Build(tree, root);
    if (gone == "skip") QSKIP("this tree cannot be made here");
    // Undone before the temporary directory goes, whatever the outcome.
    struct TCleanup {
        std::string Mount, Unreadable;
        ~TCleanup()
        {
            umount2(Mount.c_str(), MNT_DETACH);
            if (!Unreadable.empty()) chmod(Unreadable.c_str(), 0755);
        }
    } cleanup{Join(root, "k/loop"), tree == "unreadable" ? gone : std::string()};
    TRemovingHost host;
    host.ScanThreadsAsked = threads;
    host.Doomed = tree == "removed while listed" ? gone : std::string();
    TScanContext context;
    std::vector<TFileRecord> rows;
    for (const QString& input : inputs)
        ReadAllFiles(input.isEmpty() ? root : Join(root, input.toStdString()), true, host, rows, &context);
    std::set<std::pair<dev_t, ino_t>> entered;
    QStringList expected;
    int dirs = 0;
    for (const QString& input : inputs)
        Walk(input.isEmpty() ? root : Join(root, input.toStdString()), entered, expected, dirs);
    QCOMPARE(Describe(rows), expected);
    QCOMPARE(DescribeNotRead(host.NotReads),
             gone.empty() ? QStringList()
                          : QStringList(QString::fromStdString(gone) + ": enter " +
                                        QString::number(tree == "unreadable" ? EACCES : ENOENT)));
    // One step per directory entered or named as not entered.
    QCOMPARE(host.ShowCount, dirs + (gone.empty() ? 0 : 1));
}

QTEST_GUILESS_MAIN(TestSearchScanThreads)
#include "tst_search_scanthreads.moc"
