// Tests of the protected-folder rule: which paths lie at or below a folder
// (components, trailing separators, "." and "..", case by path style) and
// links to a protected folder.
#include "ProtectedFolders.h"
#include "WorkspaceFakes.h"
#include "tst_workspace.h"

#include <QDir>
#include <QFile>
#include <QTest>

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

} // namespace quorvane
