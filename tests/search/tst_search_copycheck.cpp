// The copy check on real files: a file to delete keeps a copy only when a
// kept file of its group is present, unchanged and byte-identical now (for
// similar pictures: present and unchanged). The expected answers are the
// scenarios' own facts, written down per case, never computed by the check.
#include "CopyCheck.h"
#include "SearchFixtures.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

QByteArray Pattern(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::uint32_t x = 2166136261u ^ static_cast<std::uint32_t>(seed);
    for (int i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

TCheckFile Listed(const std::string& path, bool deleting)
{
    struct stat st {};
    TCheckFile file;
    file.Path = path;
    file.Deleting = deleting;
    if (::lstat(path.c_str(), &st) != 0) return file;
    file.Device = st.st_dev;
    file.Inode = st.st_ino;
    file.Size = static_cast<std::uint64_t>(st.st_size);
    file.ModifiedNs = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    return file;
}

bool SetModifiedNs(const std::string& path, std::int64_t ns)
{
    timespec times[2] = {{0, UTIME_OMIT},
                         {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// The names of the files reported without a copy, in the outcome's order.
QStringList NamesOf(const TCopyCheckOutcome& outcome, const std::vector<TCheckGroup>& groups)
{
    QStringList names;
    for (const TFileRef& ref : outcome.WithoutCopy) {
        const std::string& path = groups.at(ref.Group).Files.at(ref.File).Path;
        names << QString::fromStdString(path.substr(path.rfind('/') + 1));
    }
    return names;
}

constexpr int kMiB = 1024 * 1024;

} // namespace

class TestCopyCheck : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void oneGroup_data();
    void oneGroup();
    void nextKeptFileIsTried();
    void keptFileReadOnceForAllCopies();
    void manyGroupsReportByGroupAndFile();
    void cancelledCheckReportsNothing();
    void largeGroupOpensCopiesInBatches();

  private:
    std::unique_ptr<QTemporaryDir> FTemp;
    std::string FDir;
};

void TestCopyCheck::init()
{
    FTemp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTemp->isValid());
    FDir = Local(FTemp->path());
}

// Each row: "keep.bin" is kept and "del.bin" is deleted; change says what
// happens between the listing and the check; similar marks a group of
// similar pictures; missing is whether del.bin is reported without a copy.
void TestCopyCheck::oneGroup_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("similar");
    QTest::addColumn<bool>("missing");
    QTest::newRow("true pair") << "none" << false << false;
    QTest::newRow("true pair of empty files") << "empty" << false << false;
    QTest::newRow("true pair of 3 MiB and a bit") << "large" << false << false;
    QTest::newRow("kept file gone") << "keptGone" << false << true;
    QTest::newRow("kept file: same size, other time") << "keptTime" << false << true;
    QTest::newRow("kept file: other size") << "keptSize" << false << true;
    QTest::newRow("kept file replaced by a link to the other") << "keptLink" << false << true;
    QTest::newRow("differs only in the middle of 1 MiB") << "middle" << false << true;
    QTest::newRow("differs only in the last byte") << "lastByte" << false << true;
    QTest::newRow("two different files of other sizes") << "otherSize" << false << true;
    QTest::newRow("kept name is a hard link of the deleted one") << "hardLink" << false << false;
    QTest::newRow("deleted file changed since listed") << "deletingChanged" << false << true;
    QTest::newRow("deleted file gone") << "deletingGone" << false << true;
    QTest::newRow("similar: different bytes, kept file present") << "middle" << true << false;
    QTest::newRow("similar: kept file gone") << "keptGone" << true << true;
    QTest::newRow("similar: kept file changed") << "keptTime" << true << true;
}

void TestCopyCheck::oneGroup()
{
    QFETCH(QString, change);
    QFETCH(bool, similar);
    QFETCH(bool, missing);
    const int size = change == "empty" ? 0 : change == "large" ? 3 * kMiB + 17 : kMiB;
    QByteArray keptBytes = Pattern(size, 1);
    QByteArray deletedBytes = keptBytes;
    if (change == "middle") deletedBytes[kMiB / 2 + 3] = char(deletedBytes[kMiB / 2 + 3] ^ 1);
    if (change == "lastByte") deletedBytes[size - 1] = char(deletedBytes[size - 1] ^ 0x80);
    if (change == "otherSize") deletedBytes = Pattern(size / 2, 2);
    const std::string kept = WriteFile(FDir, "keep.bin", keptBytes);
    const std::string deleted =
        change == "hardLink" ? Join(FDir, "del.bin") : WriteFile(FDir, "del.bin", deletedBytes);
    if (change == "hardLink") QCOMPARE(::link(kept.c_str(), deleted.c_str()), 0);
    TCheckGroup group{{Listed(kept, false), Listed(deleted, true)}, similar};

    if (change == "keptGone") QCOMPARE(::unlink(kept.c_str()), 0);
    if (change == "keptTime") QVERIFY(SetModifiedNs(kept, group.Files[0].ModifiedNs + 1));
    if (change == "keptSize") QVERIFY(!WriteFile(FDir, "keep.bin", keptBytes + "x").empty());
    if (change == "keptLink") {
        QCOMPARE(::unlink(kept.c_str()), 0);
        QCOMPARE(::symlink(deleted.c_str(), kept.c_str()), 0);
    }
    if (change == "deletingChanged") QVERIFY(SetModifiedNs(deleted, group.Files[1].ModifiedNs - 1000));
    if (change == "deletingGone") QCOMPARE(::unlink(deleted.c_str()), 0);

    const std::vector<TCheckGroup> groups{group};
    const TCopyCheckOutcome outcome = FindFilesWithoutCopy(groups, std::stop_token());
    QVERIFY(!outcome.Cancelled);
    QCOMPARE(NamesOf(outcome, groups), missing ? QStringList{"del.bin"} : QStringList{});
}

// A copy that differs from the first kept file is compared with the next,
// and a kept file that changed is passed over.
void TestCopyCheck::nextKeptFileIsTried()
{
    const QByteArray bytes = Pattern(300 * 1024, 7);
    QByteArray other = bytes;
    other[200 * 1024] = 'x';
    const std::string a = WriteFile(FDir, "a.bin", other);
    const std::string b = WriteFile(FDir, "b.bin", bytes);
    const std::string c = WriteFile(FDir, "c.bin", bytes);
    const std::string d = WriteFile(FDir, "d.bin", bytes);
    const std::vector<TCheckGroup> groups{
        {{Listed(a, false), Listed(b, false), Listed(c, false), Listed(d, true)}, false}};
    QVERIFY(SetModifiedNs(b, 5)); // b changed after the listing
    const TCopyCheckOutcome outcome = FindFilesWithoutCopy(groups, std::stop_token());
    QVERIFY(!outcome.Cancelled);
    QCOMPARE(NamesOf(outcome, groups), QStringList{});
    // Without c, no kept file matches d.
    QCOMPARE(::unlink(c.c_str()), 0);
    QCOMPARE(NamesOf(FindFilesWithoutCopy(groups, std::stop_token()), groups), QStringList{"d.bin"});
}

// The bytes read are the kept file once plus each copy once: the progress
// count shows a kept file read again per copy, or a copy read twice.
void TestCopyCheck::keptFileReadOnceForAllCopies()
{
    const int size = 2 * kMiB + 100;
    const QByteArray bytes = Pattern(size, 3);
    TCheckGroup group;
    group.Files.push_back(Listed(WriteFile(FDir, "keep.bin", bytes), false));
    for (int k = 0; k < 3; ++k)
        group.Files.push_back(Listed(WriteFile(FDir, "copy" + std::to_string(k), bytes), true));
    std::uint64_t lastDone = 0, lastTotal = 0;
    int calls = 0;
    const TCopyCheckOutcome outcome =
        FindFilesWithoutCopy({group}, std::stop_token(), [&](std::uint64_t done, std::uint64_t total) {
            QVERIFY(done >= lastDone);
            lastDone = done;
            lastTotal = total;
            ++calls;
        });
    QVERIFY(outcome.WithoutCopy.empty());
    QCOMPARE(lastDone, std::uint64_t{4} * size);
    QCOMPARE(lastTotal, std::uint64_t{4} * size);
    QVERIFY(calls >= 3); // reported between blocks, not once at the end
}

void TestCopyCheck::manyGroupsReportByGroupAndFile()
{
    const QByteArray one = Pattern(1000, 1), two = Pattern(1000, 2);
    const std::string p = WriteFile(FDir, "p", one), q = WriteFile(FDir, "q", one);
    const std::string r = WriteFile(FDir, "r", two), s = WriteFile(FDir, "s", one);
    const std::string t = WriteFile(FDir, "t", two);
    // Group 0: r differs from the kept p; q is a true copy. Group 1: both
    // deleted, so neither keeps a copy. Group 2: list order puts the kept t
    // last.
    const std::vector<TCheckGroup> groups{
        {{Listed(p, false), Listed(r, true), Listed(q, true)}, false},
        {{Listed(s, true), Listed(q, true)}, false},
        {{Listed(r, true), Listed(s, true), Listed(t, false)}, false},
    };
    const TCopyCheckOutcome outcome = FindFilesWithoutCopy(groups, std::stop_token());
    const std::vector<TFileRef> expected{{0, 1}, {1, 0}, {1, 1}, {2, 1}};
    QVERIFY(outcome.WithoutCopy == expected);
}

void TestCopyCheck::cancelledCheckReportsNothing()
{
    const QByteArray bytes = Pattern(kMiB, 4);
    QByteArray other = bytes;
    other[10] = 'y';
    const std::vector<TCheckGroup> groups{
        {{Listed(WriteFile(FDir, "k", bytes), false), Listed(WriteFile(FDir, "d", other), true)}, false}};
    std::stop_source source;
    source.request_stop();
    const TCopyCheckOutcome stopped = FindFilesWithoutCopy(groups, source.get_token());
    QVERIFY(stopped.Cancelled);
    // Stopped during the reading: between blocks of a 3 MiB pair.
    const QByteArray large = Pattern(3 * kMiB, 5);
    const std::vector<TCheckGroup> big{
        {{Listed(WriteFile(FDir, "K", large), false), Listed(WriteFile(FDir, "D", large), true)}, false}};
    std::stop_source later;
    int calls = 0;
    const TCopyCheckOutcome midway =
        FindFilesWithoutCopy(big, later.get_token(), [&](std::uint64_t, std::uint64_t) {
            if (++calls == 2) later.request_stop();
        });
    QVERIFY(midway.Cancelled);
    QVERIFY(calls < 4); // it stopped before the last block
    // Not stopped, the same groups give their real answers.
    QCOMPARE(NamesOf(FindFilesWithoutCopy(groups, std::stop_token()), groups), QStringList{"d"});
    QCOMPARE(NamesOf(FindFilesWithoutCopy(big, std::stop_token()), big), QStringList{});
}

// More copies than are held open at once: each batch is compared, and the
// answers still follow the bytes.
void TestCopyCheck::largeGroupOpensCopiesInBatches()
{
    const QByteArray bytes = Pattern(4096, 9);
    QByteArray other = bytes;
    other[4000] = '!';
    TCheckGroup group;
    group.Files.push_back(Listed(WriteFile(FDir, "keep", bytes), false));
    const int copies = int(kCopyCheckMaxOpenCopies) * 2 + 5;
    QStringList differing;
    for (int k = 0; k < copies; ++k) {
        const std::string name = "c" + std::to_string(k);
        const bool differs = k % 50 == 49;
        group.Files.push_back(Listed(WriteFile(FDir, name, differs ? other : bytes), true));
        if (differs) differing << QString::fromStdString(name);
    }
    const std::vector<TCheckGroup> groups{group};
    QCOMPARE(NamesOf(FindFilesWithoutCopy(groups, std::stop_token()), groups), differing);
}

QTEST_GUILESS_MAIN(TestCopyCheck)
#include "tst_search_copycheck.moc"
