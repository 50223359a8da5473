// Tests of the protected-folder rule: which paths lie at or below a folder
// (components, trailing separators, "." and "..", case by path style) and
// links to a protected folder.
#include "ProtectedFolders.h"
#include "WorkspaceFakes.h"
#include "tst_workspace.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <sys/mount.h>
#include <unistd.h>

namespace quorvane {

namespace {

std::string Bytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

void TestWorkspace::protectedPaths_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("windows");
    QTest::addColumn<bool>("covered");
    QTest::newRow("file below") << "/a/photos"
                                << "/a/photos/x.jpg" << false << true;
    QTest::newRow("the folder itself") << "/a/photos"
                                       << "/a/photos" << false << true;
    QTest::newRow("name continues: not below") << "/a/photos"
                                               << "/a/photos2/x.jpg" << false << false;
    QTest::newRow("parent: not below") << "/a/photos"
                                       << "/a/x.jpg" << false << false;
    QTest::newRow("folder with trailing slash") << "/a/photos/"
                                                << "/a/photos/x.jpg" << false << true;
    QTest::newRow("doubled separators") << "/a//photos"
                                        << "/a/photos//x.jpg" << false << true;
    QTest::newRow("dot and dot-dot") << "/a/./b/../photos"
                                     << "/a/photos/x.jpg" << false << true;
    QTest::newRow("dot-dot leaves the folder") << "/a/photos"
                                               << "/a/photos/../x.jpg" << false << false;
    QTest::newRow("root covers all") << "/"
                                     << "/any/x.jpg" << false << true;
    QTest::newRow("Linux: case counts") << "/a/Photos"
                                        << "/a/photos/x.jpg" << false << false;
    QTest::newRow("empty folder covers nothing") << ""
                                                 << "/a/x.jpg" << false << false;
    QTest::newRow("relative folder against the working directory")
        << "sub/photos" << QDir::currentPath() + "/sub/photos/x.jpg" << false << true;
    QTest::newRow("Windows: case folded") << "C:\\Photos"
                                          << "c:\\PHOTOS\\x.jpg" << true << true;
    QTest::newRow("Windows: both separators") << "C:/Photos/"
                                              << "C:\\Photos\\x.jpg" << true << true;
    QTest::newRow("Windows: name continues") << "C:\\Photos"
                                             << "C:\\Photos2\\x.jpg" << true << false;
    QTest::newRow("Windows: drive root") << "C:\\"
                                         << "C:\\x.jpg" << true << true;
    QTest::newRow("Windows: other drive") << "C:\\Photos"
                                          << "D:\\Photos\\x.jpg" << true << false;
    QTest::newRow("Windows: share") << "\\\\srv\\pics"
                                    << "\\\\SRV\\Pics\\x.jpg" << true << true;
}

void TestWorkspace::protectedPaths()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QFETCH(bool, windows);
    QFETCH(bool, covered);
    const PathStyle style = windows ? PathStyle::Windows : PathStyle::Posix;
    QCOMPARE(IsAtOrBelow(Bytes(folder), Bytes(path), style), covered);
    // The same answer through the list of folders, which asks by directory.
    if (folder.isEmpty() || path == folder) return;
    const TProtectedFolders folders({Bytes(folder)}, style);
    QCOMPARE(folders.CoversFile(Bytes(path)), covered);
}

void TestWorkspace::protectedFoldersFollowLinks()
{
    // "link" names the protected folder "Photos" under another path; the
    // link file "Pic/alias.jpg" points into it but is only a link.
    QVERIFY(QFile::link(FRoot + "/Photos", FRoot + "/link"));
    QVERIFY(QFile::link(FRoot + "/Photos/x.jpg", FRoot + "/Pic/alias.jpg"));
    const TProtectedFolders folders({Bytes(FRoot + "/Photos/")});
    QVERIFY(folders.CoversFile(Bytes(FRoot + "/link/x.jpg")));
    QVERIFY(folders.CoversFile(Bytes(FRoot + "/link/2019/y.jpg")));
    QVERIFY(!folders.CoversFile(Bytes(FRoot + "/Pic/alias.jpg")));
    QVERIFY(!folders.CoversFile(Bytes(FRoot + "/Photos2/x.jpg")));
    QVERIFY(TProtectedFolders().Empty());
    QVERIFY(!TProtectedFolders().CoversFile(Bytes(FRoot + "/Photos/x.jpg")));
}

// A protected folder reached through a second path that no path rule sees:
// a symbolic link to a folder above the file listed through the link's own
// directory tree, or a bind mount. "prot" is the protected folder.
void TestWorkspace::protectedByIdentity_data()
{
    QTest::addColumn<QString>("protect"); // the entry, relative to the root
    QTest::addColumn<QString>("file");    // the listed file, relative to the root
    QTest::addColumn<bool>("bind");       // "view" is a bind mount of "prot"
    QTest::addColumn<bool>("covered");
    QTest::newRow("bind mount of the protected folder") << "prot"
                                                        << "view/x.jpg" << true << true;
    QTest::newRow("deep below the bind mount") << "prot"
                                               << "view/a/b/x.jpg" << true << true;
    QTest::newRow("protected through the mount, listed by the folder") << "view"
                                                                       << "prot/a/x.jpg" << true << true;
    QTest::newRow("beside the mount: not covered") << "prot"
                                                   << "other/x.jpg" << true << false;
    QTest::newRow("entry is a symlink, file under the real folder") << "entry"
                                                                    << "prot/a/x.jpg" << false << true;
    QTest::newRow("folder of the same name elsewhere") << "prot"
                                                       << "other/prot/x.jpg" << false << false;
}

void TestWorkspace::protectedByIdentity()
{
    QFETCH(QString, protect);
    QFETCH(QString, file);
    QFETCH(bool, bind);
    QFETCH(bool, covered);
    MakeDir(QStringLiteral("prot/a/b"));
    MakeDir(QStringLiteral("other/prot"));
    MakeDir(QStringLiteral("view"));
    QVERIFY(QFile::link(FRoot + "/prot", FRoot + "/entry"));
    struct TUnmount {
        std::string Path;
        ~TUnmount()
        {
            if (!Path.empty()) ::umount2(Path.c_str(), MNT_DETACH);
        }
    } unmount;
    if (bind) {
        if (::mount(Bytes(FRoot + "/prot").c_str(), Bytes(FRoot + "/view").c_str(), nullptr, MS_BIND,
                    nullptr) != 0)
            QSKIP("no bind mount here (needs root); the symlinked entry rows cover the rule");
        unmount.Path = Bytes(FRoot + "/view");
    }
    const TProtectedFolders folders({Bytes(FRoot + '/' + protect)});
    QCOMPARE(folders.CoversFile(Bytes(FRoot + '/' + file)), covered);
    // The answer kept for the directory is the same on the second asking.
    QCOMPARE(folders.CoversFile(Bytes(FRoot + '/' + file)), covered);
}

void TestWorkspace::protectedQuestionFollowsLanguage_data()
{
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("question");
    QTest::newRow("English") << false << "\"@/safe/%2.jpg\" is in a protected folder. Delete it anyway?";
    QTest::newRow("Chinese") << true << "「@/safe/%2.jpg」位於受保護的資料夾中, 確定要刪除嗎?";
}

// Only the protected file is asked about, in the interface language, with No
// as the default; its answer decides, the other file goes on.
void TestWorkspace::protectedQuestionFollowsLanguage()
{
    QFETCH(bool, chinese);
    QFETCH(QString, question);
    MakeDir(QStringLiteral("safe"));
    MakeDir(QStringLiteral("open"));
    const std::vector<TDeleteItem> items = {{Bytes(FRoot + "/safe/%2.jpg"), {}},
                                            {Bytes(FRoot + "/open/y.jpg"), {}}};
    const TProtectedFolders folders({Bytes(FRoot + "/safe")});
    struct TPrompts : IFileOpPrompts {
        QStringList Questions;
        QList<bool> Defaults;
        bool Confirm(const QString& text, bool defaultYes) override
        {
            Questions << text;
            Defaults << defaultYes;
            return false;
        }
        void ReportFailures(const QStringList&) override {}
    } prompts;
    const std::vector<TDeleteItem> allowed = ConfirmProtectedDeletions(
        items, folders, prompts, chinese ? EFileOpLanguage::Chinese : EFileOpLanguage::English);
    QCOMPARE(prompts.Questions, QStringList{Expand(question, FRoot)});
    QCOMPARE(prompts.Defaults, QList<bool>{false});
    QCOMPARE(allowed.size(), std::size_t{1});
    QCOMPARE(allowed.front().Path, items.back().Path);
}

} // namespace quorvane
