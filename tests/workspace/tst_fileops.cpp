// The file-operation service on real files in a temporary directory: the
// trash (info text, clashes, missing data folder, top-directory trashes on
// another file system, refusals), deletion for good with per-file reports,
// the check against a row's recorded identity, and rename without replace.
#include "LocalFileOperations.h"
#include "OpenWithPrograms.h"
#include "Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

class TRecordingPrompts : public IFileOpPrompts {
  public:
    bool Answer = true;
    QStringList Questions;
    QList<bool> Defaults;
    QStringList Failures;
    bool Confirm(const QString& question, bool defaultYes) override
    {
        Questions.append(question);
        Defaults.append(defaultYes);
        return Answer;
    }
    void ReportFailures(const QStringList& lines) override { Failures += lines; }
};

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Files are written and read through their bytes: a name that is not UTF-8
// does not survive a trip through QString.
void Write(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

std::string Read(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return "<missing>";
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
}

TFileIdentity IdentityOf(const std::string& path)
{
    struct stat st {};
    TFileIdentity identity;
    if (::lstat(path.c_str(), &st) != 0) return identity;
    identity.Known = true;
    identity.Device = st.st_dev;
    identity.Inode = st.st_ino;
    identity.Size = static_cast<std::uint64_t>(st.st_size);
    identity.ModifiedNs = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    return identity;
}

std::string InfoPathLine(const std::string& infoText)
{
    const std::size_t start = infoText.find("Path=");
    return start == std::string::npos ? std::string()
                                      : infoText.substr(start, infoText.find('\n', start) - start);
}

} // namespace

class TestFileOps : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void percentEncoding_data();
    void percentEncoding();
    void infoTextAndLocalDate();
    void homeTrashCreatedWhenDataFolderMissing();
    void clashTakesNextName();
    void nonUtf8NameTrashedAndDeleted();
    void topDirectoryTrash_data();
    void topDirectoryTrash();
    void topDirectoryTrashOnTmpfs();
    void noTrashLeavesFile();
    void changedFileIsLeft_data();
    void changedFileIsLeft();
    void confirmationQuestion_data();
    void confirmationQuestion();
    void deleteForGoodReportsEachFailure();
    void renameNeverReplaces();
    void deleteFlags();
    void mimeDefaultProgram();
    void undoRestoresTheBatch();
    void bindMountUsesItsOwnTopDirectoryTrash();
    void acrossMountFallsBackToTopDirectoryTrash_data();
    void acrossMountFallsBackToTopDirectoryTrash();
    void leftoverInfosCleared();
    void infoOriginalPath();
    void undoNeverReplaces_data();
    void undoNeverReplaces();
    void undoLeavesWhatTheTrashNoLongerHolds();
    void undoKeepsSixteenDeletions();
    void onlyTrashDeletionsAreUndoable();

  private:
    std::unique_ptr<QTemporaryDir> FTemp;
    std::string FRoot;
    TTrashPlaces Places() const
    {
        TTrashPlaces places;
        places.DataHome = FRoot + "/home/.local/share";
        places.Uid = ::getuid();
        return places;
    }
    std::string MakeFile(const std::string& relative, const std::string& bytes = "data")
    {
        const std::string path = FRoot + '/' + relative;
        QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(path.substr(0, path.rfind('/')))));
        Write(path, bytes);
        return path;
    }
};

void TestFileOps::init()
{
    FTemp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTemp->isValid());
    FRoot = QFile::encodeName(FTemp->path()).toStdString();
}

void TestFileOps::percentEncoding_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("unreserved stay") << QByteArray("/a/B-9_x.~y") << QByteArray("/a/B-9_x.~y");
    QTest::newRow("space and percent") << QByteArray("/a b/100%.jpg") << QByteArray("/a%20b/100%25.jpg");
    QTest::newRow("reserved characters")
        << QByteArray("/x?#[]@!$&'()*+,;=:")
        << QByteArray("/x%3F%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D%3A");
    QTest::newRow("utf-8 bytes") << QByteArray("/照片") << QByteArray("/%E7%85%A7%E7%89%87");
    QTest::newRow("invalid utf-8") << QByteArray("/\xff\xfe\n") << QByteArray("/%FF%FE%0A");
}

void TestFileOps::percentEncoding()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, encoded);
    QCOMPARE(QByteArray::fromStdString(PercentEncodePath(path.toStdString())), encoded);
    // Decoding gives the bytes back.
    QCOMPARE(QByteArray::fromPercentEncoding(encoded), path);
    QCOMPARE(QByteArray::fromStdString(PercentDecodePath(encoded.toStdString())), path);
}

void TestFileOps::infoTextAndLocalDate()
{
    const std::time_t when = 1700000000;
    const QString date = QDateTime::fromSecsSinceEpoch(when).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    QCOMPARE(QString::fromStdString(TrashInfoText("/a b/c.jpg", when)),
             QStringLiteral("[Trash Info]\nPath=/a%20b/c.jpg\nDeletionDate=") + date + u'\n');
}

void TestFileOps::homeTrashCreatedWhenDataFolderMissing()
{
    const std::string file = MakeFile("dir one/photo 1.jpg", "pixels");
    const TTrash trash(Places());
    QVERIFY(!Exists(Places().DataHome));
    const QString before = QDir::currentPath();
    const TTrashOutcome outcome = trash.MoveToTrash(file);
    QCOMPARE(int(outcome.Result), int(ETrashResult::Trashed));
    const std::string home = Places().DataHome + "/Trash";
    QCOMPARE(outcome.TrashedAs, home + "/files/photo 1.jpg");
    QCOMPARE(outcome.InfoPath, home + "/info/photo 1.jpg.trashinfo");
    QVERIFY(!Exists(file));
    QCOMPARE(Read(outcome.TrashedAs), std::string("pixels"));
    QCOMPARE(InfoPathLine(Read(outcome.InfoPath)), "Path=" + PercentEncodePath(file));
    // Nothing lands in a files/ folder of the current directory.
    QCOMPARE(QDir::currentPath(), before);
    QVERIFY(!QFileInfo::exists(QStringLiteral("files/photo 1.jpg")));
    struct stat st {};
    QVERIFY(::stat(home.c_str(), &st) == 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
}

void TestFileOps::clashTakesNextName()
{
    const TTrash trash(Places());
    const std::string first = MakeFile("a/x.jpg", "first");
    const std::string second = MakeFile("b/x.jpg", "second");
    const std::string third = MakeFile("c/x.jpg", "third");
    QCOMPARE(int(trash.MoveToTrash(first).Result), int(ETrashResult::Trashed));
    // A files/ entry without its info must not be replaced either.
    const std::string files = Places().DataHome + "/Trash/files/";
    Write(files + "x.2.jpg", "orphan");
    const TTrashOutcome two = trash.MoveToTrash(second);
    const TTrashOutcome three = trash.MoveToTrash(third);
    QCOMPARE(two.TrashedAs, files + "x.3.jpg");
    QCOMPARE(three.TrashedAs, files + "x.4.jpg");
    QCOMPARE(Read(files + "x.jpg"), std::string("first"));
    QCOMPARE(Read(files + "x.2.jpg"), std::string("orphan"));
    QCOMPARE(Read(two.TrashedAs), std::string("second"));
    QCOMPARE(InfoPathLine(Read(three.InfoPath)), "Path=" + PercentEncodePath(third));
    QVERIFY(!Exists(Places().DataHome + "/Trash/info/x.2.jpg.trashinfo"));
    QCOMPARE(TrashNameCandidate("noext", 2), std::string("noext.2"));
    QCOMPARE(TrashNameCandidate(".hidden", 3), std::string(".hidden.3"));
}

void TestFileOps::nonUtf8NameTrashedAndDeleted()
{
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    const std::string trashed = MakeFile("n/\xff\xfe.jpg", "1");
    const std::string removed = MakeFile("n/\xfe\xff.jpg", "2");
    const std::string neighbour = MakeFile("n/\xef\xbf\xbd\xef\xbf\xbd.jpg", "3"); // the lossy display form
    ops.DeleteFiles({{trashed, IdentityOf(trashed)}}, kFofNoConfirmation | kFofAllowUndo);
    ops.DeleteFiles({{removed, IdentityOf(removed)}}, kFofNoConfirmation);
    QVERIFY(prompts.Failures.isEmpty());
    QVERIFY(!Exists(trashed));
    QVERIFY(!Exists(removed));
    QCOMPARE(Read(neighbour), std::string("3"));
    const std::string info = Read(Places().DataHome + "/Trash/info/\xff\xfe.jpg.trashinfo");
    QCOMPARE(InfoPathLine(info), "Path=" + PercentEncodePath(trashed));
    QVERIFY(InfoPathLine(info).find("%FF%FE.jpg") != std::string::npos);
    // QTemporaryDir cannot remove names that are not UTF-8.
    const std::string trash = Places().DataHome + "/Trash";
    QCOMPARE(::unlink((trash + "/files/\xff\xfe.jpg").c_str()), 0);
    QCOMPARE(::unlink((trash + "/info/\xff\xfe.jpg.trashinfo").c_str()), 0);
}

void TestFileOps::topDirectoryTrash_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expectedTrash"); // empty: no trash takes it
    QTest::newRow("no .Trash: .Trash-uid made") << ""
                                                << ".Trash-$uid";
    QTest::newRow("sticky .Trash: .Trash/uid") << "sticky"
                                               << ".Trash/$uid";
    QTest::newRow(".Trash not sticky: .Trash-uid") << "plain"
                                                   << ".Trash-$uid";
    QTest::newRow(".Trash is a link to a sticky dir: .Trash-uid") << "link"
                                                                  << ".Trash-$uid";
    QTest::newRow(".Trash-uid is a link: refused") << "uidlink"
                                                   << "";
    QTest::newRow(".Trash-uid open to others: refused") << "uidopen"
                                                        << "";
}

void TestFileOps::topDirectoryTrash()
{
    QFETCH(QString, setup);
    QFETCH(QString, expectedTrash);
    // The home trash seems to live on another device; the top directory of
    // the file's file system is "mnt".
    const std::string top = FRoot + "/mnt";
    TTrashPlaces places = Places();
    const std::string dataHome = places.DataHome;
    places.DeviceOf = [dataHome](const std::string& path) -> std::uint64_t {
        return path.compare(0, dataHome.size(), dataHome) == 0 || dataHome.compare(0, path.size(), path) == 0
                   ? 1
                   : 2;
    };
    places.MountPointOf = [top](const std::string&) { return top; };
    const std::string file = MakeFile("mnt/sub dir/p.gif", "gif");
    const std::string uid = std::to_string(::getuid());
    QDir().mkpath(FTemp->path() + "/sticky");
    ::chmod((FRoot + "/sticky").c_str(), 01777);
    if (setup == "sticky" || setup == "plain") {
        ::mkdir((top + "/.Trash").c_str(), setup == "sticky" ? 01777 : 0777);
        ::chmod((top + "/.Trash").c_str(), setup == "sticky" ? 01777 : 0777);
    } else if (setup == "link") {
        QVERIFY(::symlink((FRoot + "/sticky").c_str(), (top + "/.Trash").c_str()) == 0);
    } else if (setup == "uidlink") {
        QVERIFY(::symlink((FRoot + "/sticky").c_str(), (top + "/.Trash-" + uid).c_str()) == 0);
    } else if (setup == "uidopen") {
        ::mkdir((top + "/.Trash-" + uid).c_str(), 0777);
        ::chmod((top + "/.Trash-" + uid).c_str(), 0777);
    }
    const TTrashOutcome outcome = TTrash(places).MoveToTrash(file);
    if (expectedTrash.isEmpty()) {
        QCOMPARE(int(outcome.Result), int(ETrashResult::NoTrash));
        QCOMPARE(Read(file), std::string("gif"));
        QVERIFY(QDir(FTemp->path() + "/sticky").isEmpty());
        return;
    }
    QCOMPARE(int(outcome.Result), int(ETrashResult::Trashed));
    const std::string trash =
        top + '/' + expectedTrash.replace(QStringLiteral("$uid"), QString::fromStdString(uid)).toStdString();
    QCOMPARE(outcome.TrashedAs, trash + "/files/p.gif");
    QCOMPARE(InfoPathLine(Read(outcome.InfoPath)), std::string("Path=sub%20dir/p.gif"));
    QVERIFY(!Exists(file));
    QVERIFY(!Exists(dataHome)); // the home trash was not made on the other device
}

void TestFileOps::topDirectoryTrashOnTmpfs()
{
    const std::string mountPoint = FRoot + "/tmpfs";
    QDir().mkpath(FTemp->path() + "/tmpfs");
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
        QSKIP("tmpfs cannot be mounted here; the fake file system of topDirectoryTrash covers this");
    struct TUnmount {
        std::string Path;
        ~TUnmount() { ::umount2(Path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    const std::string file = mountPoint + "/deep/a b.png";
    QDir().mkpath(FTemp->path() + "/tmpfs/deep");
    Write(file, "png");
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    ops.DeleteFiles({{file, IdentityOf(file)}}, kFofNoConfirmation | kFofAllowUndo);
    QVERIFY2(prompts.Failures.isEmpty(), qPrintable(prompts.Failures.join(u'\n')));
    const std::string trash = mountPoint + "/.Trash-" + std::to_string(::getuid());
    QCOMPARE(Read(trash + "/files/a b.png"), std::string("png"));
    QCOMPARE(InfoPathLine(Read(trash + "/info/a b.png.trashinfo")), std::string("Path=deep/a%20b.png"));
    QVERIFY(!Exists(Places().DataHome));
}

void TestFileOps::noTrashLeavesFile()
{
    // Every trash is on another device and the mount point is unknown.
    TTrashPlaces places = Places();
    std::uint64_t next = 10;
    places.DeviceOf = [&next](const std::string&) { return next++; };
    places.MountPointOf = [](const std::string&) { return std::string(); };
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, places);
    const std::string file = MakeFile("keep.jpg", "keep");
    ops.DeleteFiles({{file, IdentityOf(file)}}, kFofNoConfirmation | kFofAllowUndo);
    QCOMPARE(Read(file), std::string("keep"));
    QCOMPARE(prompts.Failures.size(), 1);
    QVERIFY(prompts.Failures.front().contains(QStringLiteral("left in place")));
}

void TestFileOps::changedFileIsLeft_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("toTrash");
    for (const bool toTrash : {false, true}) {
        const char* where = toTrash ? " (trash)" : " (for good)";
        QTest::addRow("size differs%s", where) << "size" << toTrash;
        QTest::addRow("time differs by 1 ns%s", where) << "time" << toTrash;
        QTest::addRow("replaced by another file%s", where) << "replaced" << toTrash;
        QTest::addRow("now a directory%s", where) << "directory" << toTrash;
        QTest::addRow("now a link%s", where) << "link" << toTrash;
    }
}

void TestFileOps::changedFileIsLeft()
{
    QFETCH(QString, change);
    QFETCH(bool, toTrash);
    const std::string changed = MakeFile("c/changed.jpg", "12345");
    const std::string fine = MakeFile("c/fine.jpg", "ok");
    const TFileIdentity listed = IdentityOf(changed);
    if (change == "size") {
        Write(changed, "123456");
        struct timespec times[2] = {{0, UTIME_OMIT},
                                    {listed.ModifiedNs / 1000000000, listed.ModifiedNs % 1000000000}};
        ::utimensat(AT_FDCWD, changed.c_str(), times, 0);
    } else if (change == "time") {
        const std::int64_t ns = listed.ModifiedNs + 1;
        struct timespec times[2] = {{0, UTIME_OMIT}, {ns / 1000000000, ns % 1000000000}};
        ::utimensat(AT_FDCWD, changed.c_str(), times, 0);
    } else if (change == "replaced") {
        const std::string other = MakeFile("c/other", "54321");
        QVERIFY(::rename(other.c_str(), changed.c_str()) == 0);
    } else {
        QVERIFY(::unlink(changed.c_str()) == 0);
        if (change == "directory")
            QVERIFY(::mkdir(changed.c_str(), 0700) == 0);
        else
            QVERIFY(::symlink(fine.c_str(), changed.c_str()) == 0);
    }
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    ops.DeleteFiles({{changed, listed}, {fine, IdentityOf(fine)}},
                    kFofNoConfirmation | (toTrash ? kFofAllowUndo : 0u));
    QVERIFY(Exists(changed));
    QVERIFY(!Exists(fine));
    QCOMPARE(prompts.Failures.size(), 1);
    QVERIFY(prompts.Failures.front().contains(QStringLiteral("changed.jpg")));
    QVERIFY(prompts.Failures.front().contains(QStringLiteral("not deleted")));
}

void TestFileOps::confirmationQuestion_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<unsigned>("flags");
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("question"); // empty: nothing asked
    QTest::newRow("one to trash") << 1 << 0x40u << false << "Move \"q0.txt\" to the trash?";
    QTest::newRow("three for good") << 3 << 0u << false
                                    << "Delete these 3 files for good? They cannot be restored.";
    QTest::newRow("one for good, Chinese")
        << 1 << 0u << true << "確定要永久刪除「q0.txt」嗎? 刪除後無法復原.";
    QTest::newRow("two to trash, Chinese") << 2 << 0x40u << true << "確定要把這 2 個檔案移到垃圾桶嗎?";
    QTest::newRow("no confirmation") << 2 << 0x50u << false << "";
}

void TestFileOps::confirmationQuestion()
{
    QFETCH(int, files);
    QFETCH(unsigned, flags);
    QFETCH(bool, chinese);
    QFETCH(QString, question);
    std::vector<TDeleteItem> items;
    for (int k = 0; k < files; ++k) {
        const std::string path = MakeFile("q/q" + std::to_string(k) + ".txt");
        items.push_back({path, IdentityOf(path)});
    }
    for (const bool answer : {false, true}) {
        TRecordingPrompts prompts;
        prompts.Answer = answer;
        TLocalFileOperations ops(prompts, Places());
        ops.SetLanguage(chinese ? EFileOpLanguage::Chinese : EFileOpLanguage::English);
        ops.DeleteFiles(items, flags);
        if (question.isEmpty()) {
            QVERIFY(prompts.Questions.isEmpty());
        } else {
            QCOMPARE(prompts.Questions, QStringList{question});
            // Yes is offered first only when the files can come back.
            QCOMPARE(prompts.Defaults.front(), (flags & kFofAllowUndo) != 0);
        }
        const bool gone = answer || question.isEmpty();
        for (const TDeleteItem& item : items)
            QCOMPARE(Exists(item.Path), !gone);
        if (gone) break;
    }
}

void TestFileOps::deleteForGoodReportsEachFailure()
{
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    const std::string a = MakeFile("d/a");
    const std::string b = MakeFile("d/b");
    const std::string missing = FRoot + "/d/missing";
    const std::string gone = MakeFile("d/gone");
    const TFileIdentity goneIdentity = IdentityOf(gone);
    ::unlink(gone.c_str());
    ops.DeleteFiles({{a, IdentityOf(a)}, {missing, {}}, {gone, goneIdentity}, {b, IdentityOf(b)}},
                    kFofNoConfirmation);
    QVERIFY(!Exists(a));
    QVERIFY(!Exists(b));
    QCOMPARE(prompts.Failures.size(), 2);
    QVERIFY(prompts.Failures.at(0).startsWith(QFile::decodeName(QByteArray::fromStdString(missing))));
    QVERIFY(prompts.Failures.at(1).startsWith(QFile::decodeName(QByteArray::fromStdString(gone))));
}

void TestFileOps::renameNeverReplaces()
{
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    const std::string old = MakeFile("r/\xff old.jpg", "old");
    const std::string taken = MakeFile("r/taken.jpg", "taken");
    QVERIFY(!ops.RenameFile(old, taken, kFofAllowUndo));
    QCOMPARE(Read(old), std::string("old"));
    QCOMPARE(Read(taken), std::string("taken"));
    QCOMPARE(prompts.Failures.size(), 1);
    QVERIFY2(prompts.Failures.front().contains(QStringLiteral("already")),
             qPrintable(prompts.Failures.front()));
    // Unchanged name: nothing to do, nothing lost.
    QVERIFY(ops.RenameFile(old, old, kFofAllowUndo));
    QCOMPARE(Read(old), std::string("old"));
    const std::string renamed = FRoot + "/r/new name  ";
    QVERIFY(ops.RenameFile(old, renamed, kFofAllowUndo));
    QVERIFY(!Exists(old));
    QCOMPARE(Read(renamed), std::string("old"));
    QVERIFY(!ops.RenameFile(FRoot + "/r/absent", FRoot + "/r/x", kFofAllowUndo));
    QCOMPARE(prompts.Failures.size(), 2);
}

void TestFileOps::deleteFlags()
{
    QCOMPARE(DeleteFlags(true, false), 0x50u);
    QCOMPARE(DeleteFlags(true, true), 0x10u);
    QCOMPARE(DeleteFlags(false, false), 0x40u);
    QCOMPARE(DeleteFlags(false, true), 0x00u);
}

void TestFileOps::mimeDefaultProgram()
{
    QCOMPARE(ExecProgram(QStringLiteral("eog %U")), QStringLiteral("eog"));
    QCOMPARE(ExecProgram(QStringLiteral("\"/opt/My Viewer/view\" --new %f")),
             QStringLiteral("/opt/My Viewer/view"));
    // The first listed application whose program is missing is passed over,
    // and a later list is read only when the earlier ones name nothing usable.
    MakeFile("cfg/mimeapps.list",
             "[Added Associations]\nimage/jpeg=added.desktop\n"
             "[Default Applications]\nimage/jpeg=gone.desktop;missing.desktop;true.desktop\n");
    MakeFile("data/mimeapps.list", "[Default Applications]\ntext/plain=sh.desktop\n");
    MakeFile("apps/gone.desktop", "[Desktop Entry]\nExec=/nonexistent/viewer %U\n");
    MakeFile("apps/added.desktop", "[Desktop Entry]\nExec=/bin/sh\n");
    MakeFile("apps/true.desktop",
             "[Desktop Action New]\nExec=/bin/sh\n[Desktop Entry]\nName=T\nExec=true %U\n");
    MakeFile("apps/sh.desktop", "[Desktop Entry]\nExec=/bin/sh -c x\n");
    const QString root = QFile::decodeName(QByteArray::fromStdString(FRoot));
    const QStringList lists = {root + "/cfg/mimeapps.list", root + "/absent.list",
                               root + "/data/mimeapps.list"};
    const QStringList apps = {root + "/none", root + "/apps"};
    QCOMPARE(MimeDefaultProgram("image/jpeg", lists, apps), QStringLiteral("true"));
    QCOMPARE(MimeDefaultProgram("text/plain", lists, apps), QStringLiteral("/bin/sh"));
    QCOMPARE(MimeDefaultProgram("image/png", lists, apps), QString());
    QCOMPARE(ProgramDisplayName(QStringLiteral("/opt/My Viewer/view")), QStringLiteral("view"));
}

// One request of three files (one name not UTF-8) is one batch: undo puts
// all three back with their bytes and identities and removes their infos.
void TestFileOps::undoRestoresTheBatch()
{
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    QVERIFY(!ops.CanUndo());
    const std::vector<std::string> paths = {MakeFile("u/a.jpg", "A"), MakeFile("u/\xff.jpg", "B"),
                                            MakeFile("u/sub/a.jpg", "C")};
    std::vector<TDeleteItem> items;
    for (const std::string& path : paths)
        items.push_back({path, IdentityOf(path)});
    ops.DeleteFiles(items, kFofNoConfirmation | kFofAllowUndo);
    for (const std::string& path : paths)
        QVERIFY(!Exists(path));
    QVERIFY(ops.CanUndo());
    const TUndoOutcome undo = ops.UndoLastDeletion();
    QVERIFY2(undo.Failures.isEmpty(), qPrintable(undo.Failures.join(u'\n')));
    QCOMPARE(undo.Restored.size(), paths.size());
    const char* contents[] = {"A", "B", "C"};
    for (std::size_t k = 0; k < paths.size(); ++k) {
        QCOMPARE(undo.Restored[k].Path, paths[k]);
        QCOMPARE(Read(paths[k]), std::string(contents[k]));
        const TFileIdentity now = IdentityOf(paths[k]);
        QCOMPARE(undo.Restored[k].Identity.Inode, items[k].Expected.Inode);
        QCOMPARE(now.ModifiedNs, items[k].Expected.ModifiedNs);
        QCOMPARE(now.Inode, items[k].Expected.Inode);
    }
    const QString trash = QFile::decodeName(QByteArray::fromStdString(Places().DataHome + "/Trash"));
    QVERIFY(QDir(trash + "/files")
                .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
    QVERIFY(
        QDir(trash + "/info").isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
    QVERIFY(!ops.CanUndo());
    QCOMPARE(::unlink(paths[1].c_str()), 0); // QTemporaryDir cannot remove it
}

void TestFileOps::undoNeverReplaces_data()
{
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("line");
    QTest::newRow("English") << false
                             << "@/v/a.jpg: a file of that name is already there; it stays in the trash.";
    QTest::newRow("Chinese") << true << "@/v/a.jpg: 原處已有同名的檔案, 檔案留在垃圾桶中.";
}

// A new file where a trashed one lived is never replaced: that file stays in
// the trash with its info, the others of the batch come back.
void TestFileOps::undoNeverReplaces()
{
    QFETCH(bool, chinese);
    QFETCH(QString, line);
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    ops.SetLanguage(chinese ? EFileOpLanguage::Chinese : EFileOpLanguage::English);
    const std::string a = MakeFile("v/a.jpg", "old a");
    const std::string b = MakeFile("v/b.jpg", "old b");
    ops.DeleteFiles({{a, IdentityOf(a)}, {b, IdentityOf(b)}}, kFofNoConfirmation | kFofAllowUndo);
    MakeFile("v/a.jpg", "new a");
    const TUndoOutcome undo = ops.UndoLastDeletion();
    QCOMPARE(undo.Failures,
             QStringList{line.replace("@", QFile::decodeName(QByteArray::fromStdString(FRoot)))});
    QCOMPARE(undo.Restored.size(), std::size_t{1});
    QCOMPARE(undo.Restored.front().Path, b);
    QCOMPARE(Read(a), std::string("new a"));
    QCOMPARE(Read(b), std::string("old b"));
    const std::string trash = Places().DataHome + "/Trash";
    QCOMPARE(Read(trash + "/files/a.jpg"), std::string("old a"));
    QVERIFY(Exists(trash + "/info/a.jpg.trashinfo"));
    QVERIFY(!Exists(trash + "/info/b.jpg.trashinfo"));
    QVERIFY(prompts.Failures.isEmpty()); // the caller reports, not the service
}

// A trash emptied meanwhile, or a trashed name that now holds another file:
// nothing is moved, and each file gets its line.
void TestFileOps::undoLeavesWhatTheTrashNoLongerHolds()
{
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    const std::string gone = MakeFile("w/gone.jpg", "g");
    const std::string swapped = MakeFile("w/swapped.jpg", "s");
    ops.DeleteFiles({{gone, IdentityOf(gone)}, {swapped, IdentityOf(swapped)}},
                    kFofNoConfirmation | kFofAllowUndo);
    const std::string files = Places().DataHome + "/Trash/files/";
    QCOMPARE(::unlink((files + "gone.jpg").c_str()), 0);
    QCOMPARE(::unlink((files + "swapped.jpg").c_str()), 0);
    Write(files + "swapped.jpg", "someone else's");
    const TUndoOutcome undo = ops.UndoLastDeletion();
    QVERIFY(undo.Restored.empty());
    QCOMPARE(undo.Failures.size(), 2);
    QVERIFY(undo.Failures.at(0).contains(QStringLiteral("gone.jpg: no longer in the trash")));
    QVERIFY(undo.Failures.at(1).contains(QStringLiteral("swapped.jpg: the file in the trash was replaced")));
    QVERIFY(!Exists(gone));
    QVERIFY(!Exists(swapped));
    QCOMPARE(Read(files + "swapped.jpg"), std::string("someone else's"));
}

// Seventeen deletions: the newest sixteen come back newest first; the first
// stays in the trash.
void TestFileOps::undoKeepsSixteenDeletions()
{
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    std::vector<std::string> paths;
    for (int k = 1; k <= 17; ++k) {
        paths.push_back(MakeFile("h/f" + std::to_string(k), std::to_string(k)));
        ops.DeleteFiles({{paths.back(), IdentityOf(paths.back())}}, kFofNoConfirmation | kFofAllowUndo);
    }
    QCOMPARE(ops.History().Size(), std::size_t{16});
    for (int k = 17; k >= 2; --k) {
        QVERIFY(ops.CanUndo());
        const TUndoOutcome undo = ops.UndoLastDeletion();
        QCOMPARE(undo.Restored.size(), std::size_t{1});
        QCOMPARE(undo.Restored.front().Path, paths[k - 1]);
        QCOMPARE(Read(paths[k - 1]), std::to_string(k));
        QVERIFY(!Exists(paths[k - 2]));
    }
    QVERIFY(!ops.CanUndo());
    QVERIFY(ops.UndoLastDeletion().Restored.empty());
    QVERIFY(!Exists(paths[0]));
    QCOMPARE(Read(Places().DataHome + "/Trash/files/f1"), std::string("1"));
}

// Deletions for good, and requests that trashed nothing, make no batch; a
// declined question neither.
void TestFileOps::onlyTrashDeletionsAreUndoable()
{
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    const std::string kept = MakeFile("o/kept", "k");
    const std::string forGood = MakeFile("o/for good", "x");
    ops.DeleteFiles({{forGood, IdentityOf(forGood)}}, kFofNoConfirmation);
    QVERIFY(!ops.CanUndo());
    ops.DeleteFiles({{FRoot + "/o/absent", {}}}, kFofNoConfirmation | kFofAllowUndo);
    QVERIFY(!ops.CanUndo());
    prompts.Answer = false;
    ops.DeleteFiles({{kept, IdentityOf(kept)}}, kFofAllowUndo);
    QVERIFY(!ops.CanUndo());
    QVERIFY(Exists(kept));
    TUndoHistory history;
    history.Push({});
    QVERIFY(history.Empty());
}

// A bind mount of the home trash's own file system: same device, but the
// rename into the home trash fails across the mounts, so the mount's own
// top directory takes the file; undo brings it back through the mount.
void TestFileOps::bindMountUsesItsOwnTopDirectoryTrash()
{
    const std::string source = FRoot + "/src";
    const std::string bind = FRoot + "/bind";
    QVERIFY(::mkdir(source.c_str(), 0755) == 0 && ::mkdir(bind.c_str(), 0755) == 0);
    if (::mount(source.c_str(), bind.c_str(), nullptr, MS_BIND, nullptr) != 0)
        QSKIP("no bind mount here (needs root); acrossMountFallsBackToTopDirectoryTrash covers the rule");
    struct TUnmount {
        std::string Path;
        ~TUnmount() { ::umount2(Path.c_str(), MNT_DETACH); }
    } unmount{bind};
    const std::string file = MakeFile("bind/in bind.jpg", "bound");
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    ops.DeleteFiles({{file, IdentityOf(file)}}, kFofNoConfirmation | kFofAllowUndo);
    QVERIFY2(prompts.Failures.isEmpty(), qPrintable(prompts.Failures.join(u'\n')));
    QVERIFY(!Exists(file));
    const std::string trash = bind + "/.Trash-" + std::to_string(::getuid());
    QCOMPARE(Read(trash + "/files/in bind.jpg"), std::string("bound"));
    QCOMPARE(InfoPathLine(Read(trash + "/info/in bind.jpg.trashinfo")), std::string("Path=in%20bind.jpg"));
    QVERIFY(!Exists(Places().DataHome + "/Trash/info/in bind.jpg.trashinfo"));
    const TUndoOutcome undo = ops.UndoLastDeletion();
    QVERIFY(undo.Failures.isEmpty());
    QCOMPARE(Read(file), std::string("bound"));
}

void TestFileOps::acrossMountFallsBackToTopDirectoryTrash_data()
{
    QTest::addColumn<int>("refusals"); // renames that fail with EXDEV
    QTest::addColumn<bool>("trashed");
    QTest::newRow("home trash across a mount: top directory takes it") << 1 << true;
    QTest::newRow("no trash can take it: reported and left") << 1000 << false;
}

// The same rule without mounting: every path has one device, and the first
// renames fail with EXDEV as they do across a bind mount.
void TestFileOps::acrossMountFallsBackToTopDirectoryTrash()
{
    QFETCH(int, refusals);
    QFETCH(bool, trashed);
    const std::string top = FRoot + "/mnt";
    TTrashPlaces places = Places();
    places.MountPointOf = [top](const std::string&) { return top; };
    int calls = 0;
    places.MoveNoReplace = [&calls, refusals](int fromDir, const std::string& from, int toDir,
                                              const std::string& to) {
        return ++calls <= refusals ? EXDEV : RenameNoReplace(fromDir, from, toDir, to);
    };
    const std::string file = MakeFile("mnt/d/x.jpg", "x");
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, places);
    ops.DeleteFiles({{file, IdentityOf(file)}}, kFofNoConfirmation | kFofAllowUndo);
    const std::string own = top + "/.Trash-" + std::to_string(::getuid());
    QCOMPARE(calls, 2); // the home trash first, then the mount's own
    QVERIFY(!Exists(Places().DataHome + "/Trash/info/x.jpg.trashinfo"));
    if (trashed) {
        QVERIFY(prompts.Failures.isEmpty());
        QCOMPARE(Read(own + "/files/x.jpg"), std::string("x"));
        QCOMPARE(InfoPathLine(Read(own + "/info/x.jpg.trashinfo")), std::string("Path=d/x.jpg"));
        QVERIFY(ops.CanUndo());
    } else {
        QCOMPARE(Read(file), std::string("x"));
        QCOMPARE(prompts.Failures.size(), 1);
        QVERIFY(prompts.Failures.front().contains(QStringLiteral("left in place")));
        QVERIFY(!Exists(own + "/info/x.jpg.trashinfo"));
        QVERIFY(!ops.CanUndo());
    }
}

// Infos without their file: removed when old and their Path= file is still
// in place (the move never happened); kept when fresh (maybe another
// program's, mid-way), when the file is in files/, or when the original is
// gone too (nothing tells what happened).
void TestFileOps::leftoverInfosCleared()
{
    const std::string trash = Places().DataHome + "/Trash";
    QVERIFY(QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(trash + "/files"))));
    QVERIFY(QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(trash + "/info"))));
    const std::string inPlace = MakeFile("l/in place.jpg", "p");
    const std::time_t old = std::time(nullptr) - 3600;
    auto info = [&](const std::string& name, const std::string& original, bool aged) {
        const std::string path = trash + "/info/" + name + ".trashinfo";
        Write(path, TrashInfoText(original, old));
        if (aged) {
            struct timespec times[2] = {{old, 0}, {old, 0}};
            QVERIFY(::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0);
        }
    };
    info("ghost.jpg", inPlace, true);
    info("fresh.jpg", inPlace, false);
    info("held.jpg", inPlace, true);
    Write(trash + "/files/held.jpg", "held");
    info("lost.jpg", FRoot + "/l/lost.jpg", true);
    TRecordingPrompts prompts;
    TLocalFileOperations ops(prompts, Places());
    const std::string other = MakeFile("l/other.jpg", "o");
    ops.DeleteFiles({{other, IdentityOf(other)}}, kFofNoConfirmation | kFofAllowUndo);
    QVERIFY(prompts.Failures.isEmpty());
    QVERIFY(!Exists(trash + "/info/ghost.jpg.trashinfo"));
    QVERIFY(Exists(trash + "/info/fresh.jpg.trashinfo"));
    QVERIFY(Exists(trash + "/info/held.jpg.trashinfo"));
    QVERIFY(Exists(trash + "/info/lost.jpg.trashinfo"));
    QVERIFY(Exists(trash + "/info/other.jpg.trashinfo"));
    QCOMPARE(Read(inPlace), std::string("p"));
}

void TestFileOps::infoOriginalPath()
{
    QCOMPARE(InfoOriginalPath("[Trash Info]\nPath=/a%20b/%FF.jpg\nDeletionDate=x\n", ""),
             std::string("/a b/\xff.jpg"));
    QCOMPARE(InfoOriginalPath("[Trash Info]\nPath=d/x.jpg\n", "/mnt"), std::string("/mnt/d/x.jpg"));
    QCOMPARE(InfoOriginalPath("[Trash Info]\nPath=d/x.jpg\n", ""), std::string());
    QCOMPARE(InfoOriginalPath("[Other]\nPath=/a\n[Trash Info]\nDeletionDate=x\n", ""), std::string());
}

} // namespace quorvane

QTEST_GUILESS_MAIN(quorvane::TestFileOps)
#include "tst_fileops.moc"
