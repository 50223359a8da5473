// quorvane-cli find --action on real files: nothing changes without
// --action or with --dry-run; each action leaves every name as the disk
// then shows it (read back with lstat), and the summary line and exit
// status count what was acted on, refused and failed.
#include "SearchFixtures.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace quorvane::test;

namespace {

struct TRun {
    int ExitCode = -1;
    QByteArray Out, Err;
};

TRun RunCli(const QStringList& args)
{
    QProcess process;
    process.start(qEnvironmentVariable("QUORVANE_CLI"), args);
    TRun run;
    if (!process.waitForFinished(60000)) return run;
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = process.readAllStandardOutput();
    run.Err = process.readAllStandardError();
    return run;
}

ino_t InodeOf(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

bool IsLink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

const QByteArray kSame = "the very same bytes in three files\n";

// in/a/one, in/b/two and in/b/three have the same bytes; in/a/other differs.
struct TTree {
    QTemporaryDir Tmp;
    std::string Root = Local(Tmp.path());
    std::string In = MakeDir(Root + "/in");
    std::string One = WriteFile(MakeDir(In + "/a"), "one", kSame, 1000);
    std::string Two = WriteFile(MakeDir(In + "/b"), "two", kSame, 2000);
    std::string Three = WriteFile(In + "/b", "three", kSame, 3000);
    std::string Other = WriteFile(In + "/a", "other", "other bytes of the same size, no!\n", 1000);
};

} // namespace

class TestCliAction : public QObject {
    Q_OBJECT

  private slots:
    void nothingChangesUnlessAsked_data();
    void nothingChangesUnlessAsked();
    void actions_data();
    void actions();
    void refusalsAreCounted();
    void badActionsAreRefused_data();
    void badActionsAreRefused();
};

void TestCliAction::nothingChangesUnlessAsked_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::newRow("keep rule only") << QStringList{"--keep", "oldest"};
    QTest::newRow("dry run") << QStringList{"--keep", "oldest", "--action", "delete", "--dry-run"};
    QTest::newRow("dry run of a move")
        << QStringList{"--keep", "oldest", "--action", "move:elsewhere", "--dry-run"};
}

void TestCliAction::nothingChangesUnlessAsked()
{
    QFETCH(QStringList, extra);
    TTree tree;
    const TRun run = RunCli(QStringList{"find", "--size", "--all-bytes"} + extra +
                            QStringList{QString::fromStdString(tree.In)});
    QCOMPARE(run.ExitCode, 0);
    for (const std::string& path : {tree.One, tree.Two, tree.Three, tree.Other})
        QVERIFY(InodeOf(path) != 0);
    QCOMPARE(InodeOf(tree.Two) == InodeOf(tree.One), false);
    if (extra.contains("--dry-run"))
        QVERIFY2(run.Err.contains("2 files would be acted on"), run.Err.constData());
}

void TestCliAction::actions_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("delete") << "delete";
    QTest::newRow("trash") << "trash";
    QTest::newRow("hardlink") << "hardlink";
    QTest::newRow("symlink") << "symlink";
    QTest::newRow("move") << "move:";
}

void TestCliAction::actions()
{
    QFETCH(QString, action);
    TTree tree;
    const std::string moved = tree.Root + "/moved";
    if (action == "move:") action += QString::fromStdString(moved);
    const ino_t kept = InodeOf(tree.One);
    const TRun run = RunCli({"find", "--size", "--all-bytes", "--keep", "oldest", "--action", action,
                             QString::fromStdString(tree.In)});
    QVERIFY2(run.Err.contains(": 2 acted on, 0 refused, 0 failed"), run.Err.constData());
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(InodeOf(tree.One), kept);
    QVERIFY(InodeOf(tree.Other) != 0);
    for (const std::string& path : {tree.Two, tree.Three}) {
        if (action == "hardlink") QCOMPARE(InodeOf(path), kept);
        if (action == "symlink") QVERIFY(IsLink(path));
        if (action == "delete" || action == "trash" || action.startsWith("move:"))
            QCOMPARE(InodeOf(path), ino_t(0));
    }
    if (action.startsWith("move:")) {
        QVERIFY(InodeOf(moved + "/b/two") != 0);
        QVERIFY(InodeOf(moved + "/b/three") != 0);
    }
}

void TestCliAction::refusalsAreCounted()
{
    TTree tree;
    // A move whose target name is taken: that file is refused and stays.
    const std::string moved = tree.Root + "/moved";
    WriteFile(MakeDir(moved + "/b"), "two", "already here");
    const TRun run = RunCli({"find", "--size", "--all-bytes", "--keep", "oldest", "--action",
                             QString::fromStdString("move:" + moved), QString::fromStdString(tree.In)});
    QVERIFY2(run.Err.contains("move: 1 acted on, 1 refused, 0 failed"), run.Err.constData());
    QVERIFY(run.Err.contains("refused: " + QByteArray::fromStdString(tree.Two)));
    QCOMPARE(run.ExitCode, 3);
    QVERIFY(InodeOf(tree.Two) != 0);
    QVERIFY(InodeOf(tree.Three) == 0);
}

void TestCliAction::badActionsAreRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("action without keep rule") << QStringList{"--action", "delete"};
    QTest::newRow("unknown action") << QStringList{"--keep", "oldest", "--action", "shred"};
    QTest::newRow("move without folder") << QStringList{"--keep", "oldest", "--action", "move:"};
    QTest::newRow("action without its name") << QStringList{"--keep", "oldest", "--action"};
}

void TestCliAction::badActionsAreRefused()
{
    QFETCH(QStringList, args);
    TTree tree;
    const TRun run =
        RunCli(QStringList{"find", "--size", "--all-bytes", QString::fromStdString(tree.In)} + args);
    QCOMPARE(run.ExitCode, 2);
    QVERIFY(run.Err.contains("usage:"));
    for (const std::string& path : {tree.One, tree.Two, tree.Three})
        QVERIFY(InodeOf(path) != 0);
}

QTEST_GUILESS_MAIN(TestCliAction)
#include "tst_search_cli_action.moc"
