// The four actions on duplicates, on real files: what each name holds
// afterwards is read back from the disk with lstat/readlink/read, never
// from the outcome alone; every failure leaves the duplicate as it was and
// no temporary name behind.
#include "Replace.h"
#include "SearchFixtures.h"

#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

TCheckFile Listed(const std::string& path)
{
    struct stat st {};
    TCheckFile file;
    file.Path = path;
    if (::lstat(path.c_str(), &st) != 0) return file;
    file.Device = st.st_dev;
    file.Inode = st.st_ino;
    file.Size = static_cast<std::uint64_t>(st.st_size);
    file.ModifiedNs = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    return file;
}

TReplaceItem Item(const std::string& kept, const std::string& duplicate, const std::string& input = {})
{
    return {Listed(kept), Listed(duplicate), input};
}

QByteArray ReadAll(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

struct stat StatOf(const std::string& path, bool follow = false)
{
    struct stat st {};
    if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) st.st_ino = 0;
    return st;
}

std::string LinkText(const std::string& path)
{
    char buffer[4096];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

// Names in a folder (not below it) that start with the temporary prefix.
QStringList Temporaries(const std::string& folder)
{
    QStringList names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::string(entry->d_name).rfind(kReplaceTemporaryPrefix, 0) == 0) names << entry->d_name;
        ::closedir(dir);
    }
    return names;
}

// A file system mounted for one test, unmounted at the end.
class TMount {
  public:
    TMount(const std::string& where, const std::string& command) : FWhere(where)
    {
        MakeDir(where);
        FMounted = std::system(command.c_str()) == 0;
    }
    ~TMount()
    {
        if (FMounted) ::umount2(FWhere.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return FMounted; }

  private:
    std::string FWhere;
    bool FMounted = false;
};

std::string TmpfsCommand(const std::string& where, const std::string& options)
{
    return "mount -t tmpfs -o " + options + " tmpfs '" + where + "' 2>/dev/null";
}

const QByteArray kBytes = QByteArray("the same bytes in both files, kept and duplicate\n").repeated(40);

} // namespace

class TestReplace : public QObject {
    Q_OBJECT

  private slots:
    void replacesEachWay_data();
    void replacesEachWay();
    void refusesWhatFailsTheCheck_data();
    void refusesWhatFailsTheCheck();
    void takenTemporaryNameIsLeftAlone();
    void refusedRenameLeavesDuplicate();
    void readOnlyFolderLeavesDuplicate();
    void fullFileSystemLeavesDuplicate();
    void crossDevice();
    void symbolicLinkTargets_data();
    void symbolicLinkTargets();
    void moveClashAndMoveBack();
    void cloneOnCopyOnWriteFileSystems_data();
    void cloneOnCopyOnWriteFileSystems();
    void cloneRefusedWhereUnsupported();
    void killDuringHardLinkBatch();
    void cancelLeavesTheRest();
    void planKeepsFirstValidUnselectedRow();
};

void TestReplace::replacesEachWay_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("absolute");
    QTest::newRow("hard link") << int(EReplaceAction::HardLink) << false;
    QTest::newRow("relative symbolic link") << int(EReplaceAction::SymbolicLink) << false;
    QTest::newRow("absolute symbolic link") << int(EReplaceAction::SymbolicLink) << true;
    QTest::newRow("move") << int(EReplaceAction::Move) << false;
}

void TestReplace::replacesEachWay()
{
    QFETCH(int, action);
    QFETCH(bool, absolute);
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string kept = WriteFile(MakeDir(root + "/in/a"), "kept.bin", kBytes);
    const std::string duplicate = WriteFile(MakeDir(root + "/in/b/c"), "copy.bin", kBytes);
    const struct stat keptBefore = StatOf(kept);
    TReplaceOptions options;
    options.Action = static_cast<EReplaceAction>(action);
    options.AbsoluteLinks = absolute;
    options.MoveFolder = root + "/moved";
    const auto outcomes = ReplaceDuplicates({Item(kept, duplicate, root + "/in")}, options);
    QCOMPARE(outcomes.size(), std::size_t(1));
    QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::Done));
    QCOMPARE(StatOf(kept).st_ino, keptBefore.st_ino);
    QVERIFY(Temporaries(root + "/in/b/c").isEmpty());
    const struct stat now = StatOf(duplicate);
    switch (options.Action) {
    case EReplaceAction::HardLink:
        QVERIFY(S_ISREG(now.st_mode));
        QCOMPARE(now.st_ino, keptBefore.st_ino);
        QCOMPARE(StatOf(kept).st_nlink, nlink_t(2));
        break;
    case EReplaceAction::SymbolicLink:
        QVERIFY(S_ISLNK(now.st_mode));
        QCOMPARE(StatOf(duplicate, true).st_ino, keptBefore.st_ino);
        QCOMPARE(LinkText(duplicate), absolute ? kept : std::string("../../a/kept.bin"));
        break;
    default:
        QCOMPARE(now.st_ino, ino_t(0));
        QCOMPARE(outcomes[0].NewPath, root + "/moved/b/c/copy.bin");
        QCOMPARE(ReadAll(root + "/moved/b/c/copy.bin"), kBytes);
    }
    QCOMPARE(ReadAll(kept), kBytes);
}

void TestReplace::refusesWhatFailsTheCheck_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("expected");
    QTest::newRow("kept file gone") << "remove kept" << int(EReplaceResult::KeptChanged);
    QTest::newRow("kept file rewritten") << "touch kept" << int(EReplaceResult::KeptChanged);
    QTest::newRow("listed pair differs") << "differ" << int(EReplaceResult::NotIdentical);
    QTest::newRow("duplicate rewritten") << "touch duplicate" << int(EReplaceResult::DuplicateChanged);
    QTest::newRow("duplicate replaced by another file")
        << "swap duplicate" << int(EReplaceResult::DuplicateChanged);
}

void TestReplace::refusesWhatFailsTheCheck()
{
    QFETCH(QString, change);
    QFETCH(int, expected);
    for (const auto action : {EReplaceAction::HardLink, EReplaceAction::SymbolicLink, EReplaceAction::Move}) {
        QTemporaryDir tmp;
        const std::string root = Local(tmp.path());
        QByteArray other = kBytes;
        other[other.size() / 2] = '#';
        const std::string kept = WriteFile(root, "kept.bin", kBytes, 1000);
        const std::string duplicate = WriteFile(root, "copy.bin", change == "differ" ? other : kBytes, 1000);
        const TReplaceItem item = Item(kept, duplicate, root);
        if (change == "remove kept") ::unlink(kept.c_str());
        if (change == "touch kept") SetModified(kept, 2000);
        if (change == "touch duplicate") SetModified(duplicate, 2000);
        if (change == "swap duplicate") {
            // Another file under the name, with the listed size and time.
            WriteFile(root, "copy.new", kBytes, 1000);
            ::rename((root + "/copy.new").c_str(), duplicate.c_str());
        }
        const ino_t duplicateInode = StatOf(duplicate).st_ino;
        const QByteArray duplicateBytes = ReadAll(duplicate);
        TReplaceOptions options;
        options.Action = action;
        options.MoveFolder = root + "/moved";
        const auto outcomes = ReplaceDuplicates({item}, options);
        QCOMPARE(int(outcomes.at(0).Result), expected);
        QVERIFY(IsRefusal(outcomes[0].Result));
        QCOMPARE(StatOf(duplicate).st_ino, duplicateInode);
        QCOMPARE(ReadAll(duplicate), duplicateBytes);
        QVERIFY(Temporaries(root).isEmpty());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(root + "/moved/copy.bin")));
    }
}

void TestReplace::takenTemporaryNameIsLeftAlone()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string kept = WriteFile(root, "kept.bin", kBytes);
    const std::string duplicate = WriteFile(root, "copy.bin", kBytes);
    const std::string taken = WriteFile(root, ".quorvane-replace-taken.tmp", "someone else's file");
    const ino_t duplicateInode = StatOf(duplicate).st_ino;
    for (const auto action : {EReplaceAction::HardLink, EReplaceAction::SymbolicLink}) {
        TReplaceOptions options;
        options.Action = action;
        options.TemporaryName = [](unsigned) { return std::string(".quorvane-replace-taken.tmp"); };
        const auto outcomes = ReplaceDuplicates({Item(kept, duplicate)}, options);
        QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::Failed));
        QCOMPARE(outcomes[0].Error, EEXIST);
        QCOMPARE(StatOf(duplicate).st_ino, duplicateInode);
        QCOMPARE(ReadAll(taken), QByteArray("someone else's file"));
    }
    // A name taken only at the first attempt: the next one is used.
    TReplaceOptions options;
    options.TemporaryName = [](unsigned attempt) {
        return attempt == 0 ? std::string(".quorvane-replace-taken.tmp")
                            : std::string(".quorvane-replace-free.tmp");
    };
    QCOMPARE(int(ReplaceDuplicates({Item(kept, duplicate)}, options)[0].Result), int(EReplaceResult::Done));
    QCOMPARE(StatOf(duplicate).st_ino, StatOf(kept).st_ino);
    QCOMPARE(Temporaries(root), QStringList{".quorvane-replace-taken.tmp"});
}

void TestReplace::refusedRenameLeavesDuplicate()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string kept = WriteFile(root, "kept.bin", kBytes);
    const std::string duplicate = WriteFile(root, "copy.bin", kBytes);
    const ino_t duplicateInode = StatOf(duplicate).st_ino;
    for (const auto action : {EReplaceAction::HardLink, EReplaceAction::SymbolicLink}) {
        TReplaceOptions options;
        options.Action = action;
        int calls = 0;
        options.RenameOver = [&calls](int, const std::string&, const std::string&) {
            return ++calls, EACCES;
        };
        const auto outcomes = ReplaceDuplicates({Item(kept, duplicate)}, options);
        QCOMPARE(calls, 1);
        QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::Failed));
        QCOMPARE(outcomes[0].Error, EACCES);
        QCOMPARE(StatOf(duplicate).st_ino, duplicateInode);
        QVERIFY(Temporaries(root).isEmpty());
    }
}

void TestReplace::readOnlyFolderLeavesDuplicate()
{
    // A read-only mount refuses every step in the folder, for root too.
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string data = MakeDir(root + "/data");
    const std::string kept = WriteFile(data, "kept.bin", kBytes);
    const std::string duplicate = WriteFile(data, "copy.bin", kBytes);
    const TReplaceItem item = Item(kept, duplicate);
    TMount bind(data, "mount --bind '" + data + "' '" + data + "' 2>/dev/null && mount -o remount,bind,ro '" +
                          data + "' 2>/dev/null");
    if (!bind.Mounted()) QSKIP("cannot make a read-only bind mount here");
    for (const auto action : {EReplaceAction::HardLink, EReplaceAction::SymbolicLink, EReplaceAction::Move}) {
        TReplaceOptions options;
        options.Action = action;
        options.MoveFolder = data + "/moved";
        const auto outcomes = ReplaceDuplicates({item}, options);
        QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::Failed));
        QCOMPARE(outcomes[0].Error, EROFS);
        QCOMPARE(StatOf(duplicate).st_ino, ino_t(item.Duplicate.Inode));
        QVERIFY(Temporaries(data).isEmpty());
    }
}

void TestReplace::fullFileSystemLeavesDuplicate()
{
    QTemporaryDir tmp;
    const std::string where = Local(tmp.path()) + "/small";
    TMount small(where, TmpfsCommand(where, "size=64k,nr_inodes=16"));
    if (!small.Mounted()) QSKIP("cannot mount a tmpfs here");
    const std::string kept = WriteFile(where, "kept.bin", kBytes);
    const std::string duplicate = WriteFile(where, "copy.bin", kBytes);
    // Fill the inodes, so that a symbolic link has none left.
    for (int i = 0; WriteFile(where, "filler" + std::to_string(i), "x") != ""; ++i) {
    }
    const ino_t duplicateInode = StatOf(duplicate).st_ino;
    TReplaceOptions options;
    options.Action = EReplaceAction::SymbolicLink;
    const auto outcomes = ReplaceDuplicates({Item(kept, duplicate)}, options);
    QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::Failed));
    QCOMPARE(outcomes[0].Error, ENOSPC);
    QCOMPARE(StatOf(duplicate).st_ino, duplicateInode);
    QCOMPARE(ReadAll(duplicate), kBytes);
    QVERIFY(Temporaries(where).isEmpty());
}

void TestReplace::crossDevice()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string where = root + "/other";
    TMount other(where, TmpfsCommand(where, "size=1m"));
    if (!other.Mounted()) QSKIP("cannot mount a tmpfs here");
    const std::string kept = WriteFile(root, "kept.bin", kBytes);
    const std::string duplicate = WriteFile(MakeDir(where + "/in"), "copy.bin", kBytes);
    const ino_t duplicateInode = StatOf(duplicate).st_ino;
    for (const auto action : {EReplaceAction::HardLink, EReplaceAction::Move}) {
        TReplaceOptions options;
        options.Action = action;
        options.MoveFolder = root + "/moved";
        const auto outcomes = ReplaceDuplicates({Item(kept, duplicate, where)}, options);
        QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::CrossDevice));
        QCOMPARE(StatOf(duplicate).st_ino, duplicateInode);
        QVERIFY(Temporaries(where + "/in").isEmpty());
    }
    // A symbolic link may cross: it leads to the kept file on the other device.
    TReplaceOptions options;
    options.Action = EReplaceAction::SymbolicLink;
    QCOMPARE(int(ReplaceDuplicates({Item(kept, duplicate)}, options)[0].Result), int(EReplaceResult::Done));
    QCOMPARE(StatOf(duplicate, true).st_ino, StatOf(kept).st_ino);
    QCOMPARE(LinkText(duplicate), std::string("../../kept.bin"));
}

void TestReplace::symbolicLinkTargets_data()
{
    QTest::addColumn<QString>("keptFolder");
    QTest::addColumn<QString>("duplicateFolder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("same folder") << "x"
                                 << "x"
                                 << "kept.bin";
    QTest::newRow("sibling") << "x"
                             << "y"
                             << "../x/kept.bin";
    QTest::newRow("kept below") << "x/y/z"
                                << "x"
                                << "y/z/kept.bin";
    QTest::newRow("kept above") << "x"
                                << "x/y/z"
                                << "../../kept.bin";
    QTest::newRow("shared name prefix") << "ab"
                                        << "abc"
                                        << "../ab/kept.bin";
    QTest::newRow("through a linked folder") << "real/k"
                                             << "linked/d"
                                             << "../k/kept.bin";
}

void TestReplace::symbolicLinkTargets()
{
    QFETCH(QString, keptFolder);
    QFETCH(QString, duplicateFolder);
    QFETCH(QString, expected);
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    MakeDir(root + "/real/d");
    QVERIFY(::symlink("real", (root + "/linked").c_str()) == 0);
    const std::string kept = WriteFile(MakeDir(root + "/" + keptFolder.toStdString()), "kept.bin", kBytes);
    const std::string duplicate =
        WriteFile(MakeDir(root + "/" + duplicateFolder.toStdString()), "copy.bin", kBytes);
    QCOMPARE(QString::fromStdString(SymbolicLinkTarget(duplicate, kept, false)), expected);
    TReplaceOptions options;
    options.Action = EReplaceAction::SymbolicLink;
    QCOMPARE(int(ReplaceDuplicates({Item(kept, duplicate)}, options)[0].Result), int(EReplaceResult::Done));
    // The link, read by the system from where it stands, reaches the kept file.
    QCOMPARE(StatOf(duplicate, true).st_ino, StatOf(kept).st_ino);
    QCOMPARE(ReadAll(duplicate), kBytes);
}

void TestReplace::moveClashAndMoveBack()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string kept = WriteFile(MakeDir(root + "/in"), "kept.bin", kBytes);
    const std::string first = WriteFile(MakeDir(root + "/in/sub"), "one.bin", kBytes);
    const std::string second = WriteFile(root + "/in/sub", "two.bin", kBytes);
    const std::string clash = WriteFile(MakeDir(root + "/out/sub"), "two.bin", "already here");
    TReplaceOptions options;
    options.Action = EReplaceAction::Move;
    options.MoveFolder = root + "/out";
    const TReplaceItem moved = Item(kept, first, root + "/in");
    const auto outcomes = ReplaceDuplicates({moved, Item(kept, second, root + "/in")}, options);
    QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::Done));
    QCOMPARE(int(outcomes[1].Result), int(EReplaceResult::Clash));
    QCOMPARE(ReadAll(clash), QByteArray("already here"));
    QCOMPARE(ReadAll(second), kBytes);
    QCOMPARE(ReadAll(root + "/out/sub/one.bin"), kBytes);
    QVERIFY(!QFileInfo::exists(QString::fromStdString(first)));

    const TFileIdentity identity{true, moved.Duplicate.Device, moved.Duplicate.Inode, moved.Duplicate.Size,
                                 moved.Duplicate.ModifiedNs};
    // Never back over a file that took the old name meanwhile.
    WriteFile(root + "/in/sub", "one.bin", "new file");
    QCOMPARE(MoveBack(outcomes[0].NewPath, first, identity), EEXIST);
    QCOMPARE(ReadAll(first), QByteArray("new file"));
    ::unlink(first.c_str());
    QCOMPARE(MoveBack(outcomes[0].NewPath, first, identity), 0);
    QCOMPARE(StatOf(first).st_ino, ino_t(moved.Duplicate.Inode));
    QVERIFY(!QFileInfo::exists(QString::fromStdString(outcomes[0].NewPath)));
}

void TestReplace::cloneOnCopyOnWriteFileSystems_data()
{
    QTest::addColumn<QString>("mkfs");
    QTest::newRow("btrfs") << "mkfs.btrfs -q -f";
    QTest::newRow("xfs") << "mkfs.xfs -q -f -m reflink=1";
}

void TestReplace::cloneOnCopyOnWriteFileSystems()
{
    QFETCH(QString, mkfs);
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string image = root + "/fs.img";
    const std::string where = root + "/mnt";
    const std::string command = "truncate -s 320M '" + image + "' && " + mkfs.toStdString() + " '" + image +
                                "' >/dev/null 2>&1 && mount -o loop '" + image + "' '" + where +
                                "' 2>/dev/null";
    TMount fs(where, command);
    if (!fs.Mounted()) QSKIP(qPrintable("cannot make and mount a file system with " + mkfs));
    const QByteArray bytes = kBytes.repeated(100);
    const std::string kept = WriteFile(where, "kept.bin", bytes, 1000);
    const std::string duplicate = WriteFile(MakeDir(where + "/d"), "copy.bin", bytes, 1000);
    timespec times[2] = {{1234, 5678}, {1500000000, 123456789}};
    QVERIFY(::utimensat(AT_FDCWD, duplicate.c_str(), times, 0) == 0);
    QVERIFY(::chmod(duplicate.c_str(), 0640) == 0);
    QVERIFY(::chown(duplicate.c_str(), 4321, 8765) == 0);
    const TReplaceItem item = Item(kept, duplicate);
    TReplaceOptions options;
    options.Action = EReplaceAction::Clone;
    const auto outcomes = ReplaceDuplicates({item}, options);
    QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::Done));
    const struct stat now = StatOf(duplicate);
    QVERIFY(now.st_ino != item.Duplicate.Inode);
    QVERIFY(now.st_ino != StatOf(kept).st_ino);
    QCOMPARE(now.st_mode & 07777, mode_t(0640));
    QCOMPARE(now.st_uid, uid_t(4321));
    QCOMPARE(now.st_gid, gid_t(8765));
    QCOMPARE(now.st_mtim.tv_sec, time_t(1500000000));
    QCOMPARE(now.st_mtim.tv_nsec, 123456789L);
    QCOMPARE(now.st_atim.tv_sec, time_t(1234));
    QCOMPARE(ReadAll(duplicate), bytes);
    QVERIFY(Temporaries(where + "/d").isEmpty());
}

void TestReplace::cloneRefusedWhereUnsupported()
{
    QTemporaryDir tmp;
    const std::string where = Local(tmp.path()) + "/small";
    TMount small(where, TmpfsCommand(where, "size=1m"));
    if (!small.Mounted()) QSKIP("cannot mount a tmpfs here");
    const std::string kept = WriteFile(where, "kept.bin", kBytes);
    const std::string duplicate = WriteFile(where, "copy.bin", kBytes);
    const ino_t duplicateInode = StatOf(duplicate).st_ino;
    TReplaceOptions options;
    options.Action = EReplaceAction::Clone;
    const auto outcomes = ReplaceDuplicates({Item(kept, duplicate)}, options);
    QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::NotSupported));
    QCOMPARE(StatOf(duplicate).st_ino, duplicateInode);
    QVERIFY(Temporaries(where).isEmpty());
}

void TestReplace::killDuringHardLinkBatch()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string kept = WriteFile(root, "kept.bin", "one small file, ten thousand copies\n");
    std::vector<TReplaceItem> items;
    std::vector<ino_t> oldInodes;
    for (int i = 0; i < 10000; ++i) {
        const std::string folder = root + "/d" + std::to_string(i % 20);
        if (i < 20) MakeDir(folder);
        items.push_back(Item(kept, WriteFile(folder, "copy" + std::to_string(i), ReadAll(kept))));
        oldInodes.push_back(items.back().Duplicate.Inode);
    }
    const ino_t keptInode = StatOf(kept).st_ino;
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ReplaceDuplicates(items, {});
        ::_exit(0);
    }
    // Kill once the batch is under way: the kept file's link count grows.
    while (StatOf(kept).st_nlink < 2000)
        ::usleep(200);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    QVERIFY(WIFSIGNALED(status));
    int linked = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ino_t now = StatOf(items[i].Duplicate.Path).st_ino;
        QVERIFY2(now == oldInodes[i] || now == keptInode, items[i].Duplicate.Path.c_str());
        linked += now == keptInode;
    }
    QVERIFY(linked >= 1998 && linked < 10000);
    // At most the one replacement in flight left its temporary name: a link
    // of the kept file, removed by the next replacement's clean-up.
    int leftovers = 0;
    for (int d = 0; d < 20; ++d) {
        const std::string folder = root + "/d" + std::to_string(d);
        for (const QString& name : Temporaries(folder)) {
            ++leftovers;
            QCOMPARE(StatOf(folder + "/" + name.toStdString()).st_ino, keptInode);
        }
        RemoveLeftoverTemporaries(folder);
        QVERIFY(Temporaries(folder).isEmpty());
    }
    QVERIFY(leftovers <= 1);
}

void TestReplace::cancelLeavesTheRest()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string kept = WriteFile(root, "kept.bin", kBytes);
    std::vector<TReplaceItem> items;
    for (int i = 0; i < 5; ++i)
        items.push_back(Item(kept, WriteFile(root, "c" + std::to_string(i), kBytes)));
    std::stop_source stop;
    std::vector<std::size_t> seen;
    const auto outcomes = ReplaceDuplicates(items, {}, stop.get_token(), [&](std::size_t done, std::size_t) {
        seen.push_back(done);
        if (done == 2) stop.request_stop();
    });
    QCOMPARE(int(outcomes[0].Result), int(EReplaceResult::Done));
    QCOMPARE(int(outcomes[1].Result), int(EReplaceResult::Done));
    for (std::size_t i = 2; i < items.size(); ++i) {
        QCOMPARE(int(outcomes[i].Result), int(EReplaceResult::Cancelled));
        QCOMPARE(StatOf(items[i].Duplicate.Path).st_ino, ino_t(items[i].Duplicate.Inode));
    }
}

void TestReplace::planKeepsFirstValidUnselectedRow()
{
    // Group 1: a gone row first, then the kept row; group 2: every row
    // selected (nothing to keep); group 3: one selected, kept after it;
    // a row without a group is never acted on.
    const auto dir = std::make_shared<const std::string>("/in/sub");
    std::vector<TFileRecord> rows;
    const std::vector<std::pair<std::uint32_t, std::uint8_t>> groups = {
        {1, kDiskGone}, {1, kDiskAsListed}, {1, kDiskAsListed}, {2, kDiskAsListed},
        {2, kDiskAsListed}, {3, kDiskAsListed}, {3, kDiskAsListed}, {0, kDiskAsListed}};
    for (std::size_t i = 0; i < groups.size(); ++i) {
        TFileRecord row;
        row.Name = "f" + std::to_string(i);
        row.Directory = dir;
        row.Group = groups[i].first;
        row.DiskState = groups[i].second;
        row.Inode = 100 + i;
        rows.push_back(row);
    }
    const TReplacementPlan plan = ReplacementPlan(rows, {2, 3, 4, 5, 7}, {"/in/", "/in/sub/deeper"});
    QCOMPARE(plan.Rows, (std::vector<std::size_t>{2, 5}));
    QCOMPARE(plan.KeptRows, (std::vector<std::size_t>{1, 6}));
    QCOMPARE(plan.Items.at(0).Kept.Path, std::string("/in/sub/f1"));
    QCOMPARE(plan.Items.at(0).Duplicate.Path, std::string("/in/sub/f2"));
    QCOMPARE(plan.Items.at(0).Duplicate.Inode, std::uint64_t(102));
    QCOMPARE(plan.Items.at(1).InputDirectory, std::string("/in"));
    QCOMPARE(MoveTarget("/in/sub/f2", "/in", "/out"), std::string("/out/sub/f2"));
    QCOMPARE(MoveTarget("/elsewhere/f2", "/in", "/out"), std::string("/out/f2"));
}

QTEST_GUILESS_MAIN(TestReplace)
#include "tst_search_replace.moc"
