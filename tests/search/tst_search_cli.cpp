// quorvane-cli "find" and "list" run as a process on fixture trees: the row
// format with its escapes, the status line on stderr, and the exit codes
// 0 (done, also past files and directories that could not be read, which
// are named and counted on stderr) and 2 (refused).
#include "ContentsCache.h"
#include "DuplicateSearch.h"
#include "SearchFixtures.h"
#include "TakenJpeg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

struct TRun {
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
};

TRun RunCli(const QStringList& args, bool asUnprivileged = false, QString program = QString())
{
    if (program.isEmpty()) program = qEnvironmentVariable("QUORVANE_CLI");
    QStringList arguments = args;
    if (asUnprivileged) {
        // Permissions do not stop root; run as nobody to meet a real refusal.
        arguments = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args;
        program = "setpriv";
    }
    QProcess process;
    process.start(program, arguments);
    TRun run;
    if (!process.waitForFinished(60000)) return run;
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = process.readAllStandardOutput();
    run.Err = process.readAllStandardError();
    return run;
}

// A placeable WMF of 100 x 50 twips holding one rectangle.
QByteArray TinyWmf()
{
    QByteArray out;
    const auto put16 = [&out](int v) { out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    const auto put32 = [&](quint32 v) { put16(int(v & 0xFFFF)), put16(int(v >> 16)); };
    put32(0x9AC6CDD7);
    for (int v : {0, 0, 0, 100, 50, 1440})
        put16(v);
    put32(0);
    quint16 check = 0;
    for (int i = 0; i < out.size(); i += 2)
        check ^= quint16(quint8(out[i]) | (quint8(out[i + 1]) << 8));
    put16(check);
    const int words = 9 + 5 + 7 + 3;
    for (int v : {1, 9, 0x300})
        put16(v);
    put32(words);
    put16(0);
    put32(7);
    put16(0);
    for (int v :
         {5, 0, 0x020C, 50, 100, 7, 0, 0x041B, 40, 90, 10, 10, 3, 0, 0}) // SetWindowExt, Rectangle, end
        put16(v);
    return out;
}

} // namespace

class TestSearchCli : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void listEscapesFields();
    void findWritesGroupsAndTotal();
    void allBytesCacheWrittenBeforeExit();
    void directoriesTakenAsGiven();
    void progressPercentages();
    void refusals_data();
    void refusals();
    void unreadableFilesAreNamedAndCounted_data();
    void unreadableFilesAreNamedAndCounted();
    void groupNumbersAndAllBytes();
    void findWritesResultFile();
    void filtersLeaveFilesOut();
    void keepHoldsOneFileWithAllItsNames();
    void keepColumn_data();
    void keepColumn();
    void keepOldestCapture();
    void metafilesDrawnByTheHelper_data();
    void metafilesDrawnByTheHelper();
};

void TestSearchCli::initTestCase()
{
    QVERIFY2(!qEnvironmentVariable("QUORVANE_CLI").isEmpty(), "QUORVANE_CLI names the quorvane-cli to test");
}

void TestSearchCli::listEscapesFields()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string odd = MakeDir(Join(root, "back\\slash dir"));
    WriteFile(odd, "tab\there.jpg", "1", 1700057159);
    WriteFile(odd, "new\nline.txt", "22", 1700057159);
    WriteFile(odd, "plain", "333", 1700057159);
    const TRun run = RunCli({"list", QString::fromStdString(root)});
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Err, QByteArray("Total Files:3\n"));
    QVERIFY(run.Out.endsWith('\n'));
    const QList<QByteArray> lines = run.Out.chopped(1).split('\n');
    QCOMPARE(lines.size(), 3);
    const QByteArray dir = QByteArray::fromStdString(root) + "/back\\\\slash dir";
    QStringList seen;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split('\t');
        QCOMPARE(fields.size(), 5);
        QCOMPARE(fields[1], dir);
        QVERIFY(fields[4].size() == 16); // YYYY/MM/DD HH:MM in local time
        seen << QString::fromUtf8(fields[0] + "|" + fields[2] + "|" + fields[3]);
    }
    seen.sort();
    QCOMPARE(seen, QStringList({"new\\nline.txt|2|.txt", "plain|3|", "tab\\there.jpg|1|.jpg"}));
}

void TestSearchCli::findWritesGroupsAndTotal()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(MakeDir(Join(root, "a")), "x.jpg", "same bytes");
    WriteFile(MakeDir(Join(root, "b")), "x.jpg", "same bytes");
    WriteFile(MakeDir(Join(root, "c")), "y.jpg", "other size");
    const QString a = QString::fromStdString(Join(root, "a"));
    const QString b = QString::fromStdString(Join(root, "b"));
    const QString c = QString::fromStdString(Join(root, "c"));
    const TRun run = RunCli({"find", "--name", "--size", "--cc", a, b, c});
    QCOMPARE(run.ExitCode, 0);
    const QList<QByteArray> lines = run.Out.chopped(1).split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].split('\t').value(1), b.toUtf8()); // the reference (index 0) comes last
    QCOMPARE(lines[1].split('\t').value(1), a.toUtf8());
    QCOMPARE(run.Err, QByteArray("Total Files:2\n"));
}

// The contents cache is written while the groups are printed; the command
// ends only once it is whole, so the next search finds it.
void TestSearchCli::allBytesCacheWrittenBeforeExit()
{
    QTemporaryDir tmp;
    const std::string root = MakeDir(Join(Local(tmp.path()), "tree"));
    for (int i = 0; i < 300; ++i)
        WriteFile(root, "f" + std::to_string(i), QByteArray(64 + i % 3, char('a' + i % 5)));
    const QByteArray before = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(Join(Local(tmp.path()), "cache")));
    const TRun first = RunCli({"find", "--size", "--all-bytes", QString::fromStdString(root)});
    TContentsCache cache;
    const bool loaded = cache.Load(Join(Local(tmp.path()), "cache/Quorvane/contents-hashes.bin"));
    const TRun second = RunCli({"find", "--size", "--all-bytes", QString::fromStdString(root)});
    qputenv("XDG_CACHE_HOME", before);
    QCOMPARE(first.ExitCode, 0);
    QVERIFY(loaded);
    QCOMPARE(second.Out, first.Out);
    QCOMPARE(first.Out.count('\n'), 300);
}

void TestSearchCli::directoriesTakenAsGiven()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(root, "f.jpg", "1");
    WriteFile(MakeDir(Join(root, "sub")), "g.jpg", "2");
    const QString given = QString::fromStdString(root) + "/";
    TRun run = RunCli({"list", "--no-subdirs", given});
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Out.split('\t').value(1), given.toUtf8());
    run = RunCli({"list", given});
    QCOMPARE(run.Out.count('\n'), 2);
    QVERIFY(!run.Out.contains(given.toUtf8() + "\t"));
}

void TestSearchCli::progressPercentages()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    MakeDir(Join(root, "1"));
    MakeDir(Join(root, "2"));
    const TRun run = RunCli({"list", "--progress", QString::fromStdString(root)});
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Out, QByteArray());
    QCOMPARE(run.Err, QByteArray("33%\n67%\n100%\nTotal Files:0\n"));
}

void TestSearchCli::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("message");
    const QByteArray noDir = QByteArray(kNoDirectoryMessage) + "\n";
    const QByteArray noTick = QByteArray(kNoCriterionMessage) + "\n";
    QTest::newRow("find without directory") << QStringList{"find", "--size"} << noDir;
    QTest::newRow("list without directory") << QStringList{"list"} << noDir;
    QTest::newRow("find without criterion") << QStringList{"find", "DIR"} << noTick;
    QTest::newRow("contents alone") << QStringList{"find", "--cc", "DIR"} << noTick;
    QTest::newRow("all bytes without size")
        << QStringList{"find", "--name", "--all-bytes", "DIR"}
        << QByteArray(
               "quorvane-cli: --all-bytes compares contents only among files of one size: add --size\n");
    QTest::newRow("cc without size") << QStringList{"find", "--time", "--cc", "DIR"}
                                     << QByteArray("quorvane-cli: --cc compares contents only");
    QTest::newRow("unknown option") << QStringList{"find", "--size", "--fast", "DIR"} << QByteArray("usage");
    QTest::newRow("criterion for list") << QStringList{"list", "--name", "DIR"} << QByteArray("usage");
    QTest::newRow("groups for list") << QStringList{"list", "--groups", "DIR"} << QByteArray("usage");
    QTest::newRow("unknown keep rule")
        << QStringList{"find", "--size", "--keep", "best", "DIR"} << QByteArray("usage");
    QTest::newRow("protected: no folders here")
        << QStringList{"find", "--size", "--keep", "protected", "DIR"} << QByteArray("usage");
    QTest::newRow("a size that is not one")
        << QStringList{"list", "--min-size", "2Q", "DIR"} << QByteArray("usage");
    QTest::newRow("an unknown format")
        << QStringList{"list", "--format", "xml", "DIR"} << QByteArray("usage");
    QTest::newRow("a filter without its value")
        << QStringList{"list", "DIR", "--exclude-dir"} << QByteArray("usage");
    QTest::newRow("keep without rule")
        << QStringList{"find", "--size", "DIR", "--keep"} << QByteArray("usage");
    const QByteArray notADir("您沒有輸入目錄, 不然就是目錄名稱輸入錯誤! ");
    QTest::newRow("missing directory")
        << QStringList{"find", "--size", "DIR", "DIR/missing"} << notADir + "DIR/missing\n";
    QTest::newRow("a file given as directory") << QStringList{"list", "DIR/file"} << notADir + "DIR/file\n";
}

void TestSearchCli::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, message);
    QTemporaryDir tmp;
    WriteFile(Local(tmp.path()), "file", "x");
    args.replaceInStrings("DIR", tmp.path());
    message.replace("DIR", tmp.path().toUtf8());
    const TRun run = RunCli(args);
    QCOMPARE(run.ExitCode, 2);
    QVERIFY2(run.Err.startsWith(message), run.Err.constData());
    QCOMPARE(run.Out, QByteArray());
}

void TestSearchCli::unreadableFilesAreNamedAndCounted_data()
{
    QTest::addColumn<QString>("contents");
    QTest::newRow("cc") << "--cc";
    QTest::newRow("all bytes") << "--all-bytes";
}

void TestSearchCli::unreadableFilesAreNamedAndCounted()
{
    QFETCH(QString, contents);
    const bool root = geteuid() == 0;
    if (root && QStandardPaths::findExecutable("setpriv").isEmpty()) QSKIP("needs setpriv to drop root");
    QTemporaryDir tmp;
    const std::string dir = Local(tmp.path());
    chmod(dir.c_str(), 0755);
    WriteFile(dir, "a.bin", "12345");
    const std::string locked = WriteFile(dir, "b.bin", "12345");
    WriteFile(dir, "c.bin", "12345");
    chmod(locked.c_str(), 0);
    const std::string closed = MakeDir(Join(dir, "closed"));
    WriteFile(closed, "d.bin", "12345");
    chmod(closed.c_str(), 0);
    const TRun run =
        RunCli({"find", "--size", contents, "--keep", "first", QString::fromStdString(dir)}, root);
    chmod(closed.c_str(), 0755);
    // The search goes on without them: the other two files form the group.
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Out.count('\n'), 2);
    QVERIFY(!run.Out.contains("b.bin"));
    QCOMPARE(run.Err, QByteArray::fromStdString("quorvane-cli: cannot read " + closed +
                                                ": Permission denied\n"
                                                "quorvane-cli: cannot read " +
                                                locked +
                                                ": Permission denied\n"
                                                "Total Files:2\n"
                                                "quorvane-cli: 1 file could not be read\n"
                                                "quorvane-cli: 1 directory could not be read\n"));
}

void TestSearchCli::groupNumbersAndAllBytes()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(MakeDir(Join(root, "a")), "1", "0123456789");
    WriteFile(MakeDir(Join(root, "b")), "2", "0x23456789"); // alike in its sampled bytes only
    WriteFile(MakeDir(Join(root, "c")), "3", "0123456789");
    WriteFile(MakeDir(Join(root, "d")), "4", "0x23456789");
    QStringList dirs;
    for (const char* d : {"a", "b", "c", "d"})
        dirs << QString::fromStdString(Join(root, d));
    TRun run = RunCli(QStringList{"find", "--size", "--all-bytes", "--groups"} + dirs);
    QCOMPARE(run.ExitCode, 0);
    QStringList firstColumns;
    for (const QByteArray& line : run.Out.chopped(1).split('\n'))
        firstColumns << QString::fromUtf8(line.split('\t').mid(0, 2).join(' '));
    QCOMPARE(firstColumns, QStringList({"1 3", "1 1", "2 4", "2 2"}));
    run = RunCli(QStringList{"find", "--size", "--cc"} + dirs);
    QCOMPARE(run.Out.count('\n'), 4);
    QVERIFY(run.Out.startsWith("2\t")); // one CC group; without --groups the name comes first
}

// Read with Qt's own JSON parser: the rows as "group directory/name
// otherNames", names in the export escape.
void TestSearchCli::findWritesResultFile()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string a = MakeDir(Join(root, "a"));
    const std::string b = MakeDir(Join(root, "b"));
    WriteFile(a, "same", "0123456789");
    WriteFile(b, std::string("caf\xe9 \\ \"copy\""), "0123456789");
    QCOMPARE(::link(Join(a, "same").c_str(), Join(a, "link").c_str()), 0);
    const QStringList dirs = {QString::fromStdString(a), QString::fromStdString(b)};
    const TRun run = RunCli(QStringList{"find", "--size", "--format", "json"} + dirs);
    QCOMPARE(run.ExitCode, 0);
    QJsonParseError error;
    const QJsonObject file = QJsonDocument::fromJson(run.Out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(file["format"].toString(), QString("quorvane-results"));
    QCOMPARE(file["version"].toInt(), 1);
    QCOMPARE(file["search"]["kind"].toString(), QString("duplicates"));
    QCOMPARE(file["search"]["criteria"]["size"].toBool(), true);
    QCOMPARE(file["search"]["criteria"]["name"].toBool(), false);
    QCOMPARE(file["search"]["directories"].toArray().size(), 2);
    const QJsonArray table = file["directoryTable"].toArray();
    QStringList rows;
    for (const QJsonValue& value : file["rows"].toArray()) {
        const QJsonArray row = value.toArray();
        QCOMPARE(row.size(), 11);
        const QString directory = table[row[2].toInt()].toString();
        rows << QString("%1 %2/%3 %4")
                    .arg(row[0].toInt())
                    .arg(directory.mid(directory.lastIndexOf('/') + 1), row[1].toString())
                    .arg(row[6].toBool() ? "true" : "false");
    }
    rows.sort();
    QCOMPARE(rows, QStringList({"1 a/link true", "1 a/same true", "1 b/caf\\xE9 \\\\ \"copy\" false"}));
    // The file has no column for the choice of --keep.
    QCOMPARE(RunCli(QStringList{"find", "--size", "--keep", "first", "--format", "json"} + dirs).ExitCode, 2);
}

void TestSearchCli::keepHoldsOneFileWithAllItsNames()
{
    // a/1 and a/2 equal, b/1 a link of a/1, b/2 of a/2, c/1 equal too.
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string a1 = WriteFile(MakeDir(Join(root, "a")), "1", "same", 1700000000);
    const std::string a2 = WriteFile(Join(root, "a"), "2", "same", 1700000600);
    MakeDir(Join(root, "b"));
    QCOMPARE(link(a1.c_str(), Join(root, "b/1").c_str()), 0);
    QCOMPARE(link(a2.c_str(), Join(root, "b/2").c_str()), 0);
    WriteFile(MakeDir(Join(root, "c")), "1", "same", 1700000300);
    const TRun run = RunCli(
        {"find", "--groups", "--size", "--all-bytes", "--keep", "newest", QString::fromStdString(root)});
    QCOMPARE(run.ExitCode, 0);
    const QList<QByteArray> lines = run.Out.chopped(1).split('\n');
    QCOMPARE(lines.size(), 5); // one group: three files, five names
    QStringList kept;
    QStringList deleted;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> f = line.split('\t');
        QCOMPARE(f[0], QByteArray("1"));
        const QString path = QString::fromUtf8(f[2] + '/' + f[1]);
        (f.last() == "keep" ? kept : deleted) << path.mid(int(root.size()));
    }
    kept.sort();
    deleted.sort();
    // The newest file keeps both its names; deleting the rest leaves one file.
    QCOMPARE(kept, QStringList({"/a/2", "/b/2"}));
    QCOMPARE(deleted, QStringList({"/a/1", "/b/1", "/c/1"}));
}

// --keep adds a last column: every row of a group is "delete" but the one
// the rule keeps; files stay where they are.
void TestSearchCli::keepColumn_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("kept"); // the directory whose file is kept
    QTest::newRow("newest") << "newest"
                            << "b";
    QTest::newRow("oldest") << "oldest"
                            << "a";
    QTest::newRow("shortest path") << "shortest"
                                   << "c";
}

// --keep oldest-capture keeps the photo taken first, whatever its file's
// time; a file whose date is damaged counts as undated and is not kept.
void TestSearchCli::keepOldestCapture()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    // One size for all, so that --size groups them; b is the newest file but
    // the oldest photo, c's date has a 13th month.
    WriteFile(MakeDir(Join(root, "a")), "p.jpg", TakenJpeg("2021:06:01 08:00:00"), 1700000000);
    WriteFile(MakeDir(Join(root, "b")), "p.jpg", TakenJpeg("2019:06:01 08:00:00"), 1700009000);
    WriteFile(MakeDir(Join(root, "c")), "p.jpg", TakenJpeg("2018:13:01 08:00:00"), 1600000000);
    const TRun run = RunCli({"find", "--size", "--keep", "oldest-capture", tmp.path()});
    QCOMPARE(run.ExitCode, 0);
    QStringList verdicts;
    for (const QByteArray& line : run.Out.chopped(1).split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        verdicts << QString::fromUtf8(fields[1].split('/').last() + ' ' + fields.last());
    }
    verdicts.sort();
    QCOMPARE(verdicts, QStringList({"a delete", "b keep", "c delete"}));
}

void TestSearchCli::keepColumn()
{
    QFETCH(QString, rule);
    QFETCH(QString, kept);
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    WriteFile(MakeDir(Join(root, "a")), "long-name.bin", "0123456789", 1700000000);
    WriteFile(MakeDir(Join(root, "b")), "long-name.bin", "0123456789", 1700009000);
    WriteFile(MakeDir(Join(root, "c")), "x.bin", "0123456789", 1700005000);
    WriteFile(root, "single.bin", "12", 1700005000);
    const TRun run = RunCli({"find", "--size", "--groups", "--keep", rule, tmp.path()});
    QCOMPARE(run.ExitCode, 0);
    QStringList verdicts;
    for (const QByteArray& line : run.Out.chopped(1).split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        QCOMPARE(fields.size(), 7);
        verdicts << QString::fromUtf8(fields[2].split('/').last() + ' ' + fields[6]);
    }
    verdicts.sort();
    QStringList expected;
    for (const QString dir : {"a", "b", "c"})
        expected << dir + (dir == kept ? " keep" : " delete");
    QCOMPARE(verdicts, expected);
    QVERIFY(QFile::exists(tmp.filePath(QStringLiteral("a/long-name.bin"))));
}

// "decode" hands WMF and EMF files to quorvane-metafile, found beside the
// program (the build tree) or in the helper folder of an installation.
void TestSearchCli::metafilesDrawnByTheHelper_data()
{
    QTest::addColumn<int>("layout"); // 0 as built, 1 as installed, 2 helper missing
    QTest::addColumn<int>("exitCode");
    QTest::newRow("as built") << 0 << 0;
    QTest::newRow("as installed") << 1 << 0;
    QTest::newRow("helper missing") << 2 << 1;
}

void TestSearchCli::metafilesDrawnByTheHelper()
{
    QFETCH(int, layout);
    QFETCH(int, exitCode);
    QTemporaryDir tmp;
    QFile wmf(tmp.filePath("tiny.wmf"));
    QVERIFY(wmf.open(QIODevice::WriteOnly));
    wmf.write(TinyWmf());
    wmf.close();
    const QString built = qEnvironmentVariable("QUORVANE_CLI");
    QString program = built;
    if (layout != 0) {
        QVERIFY(QDir(tmp.path()).mkpath("bin"));
        program = tmp.filePath("bin/quorvane-cli");
        QVERIFY(QFile::copy(built, program));
    }
    if (layout == 1) {
        const QString helperDir = QDir::cleanPath(tmp.filePath("bin/" QUORVANE_HELPER_FROM_BIN));
        QVERIFY(QDir().mkpath(helperDir));
        QVERIFY(QFile::copy(QFileInfo(built).dir().filePath("quorvane-metafile"),
                            helperDir + "/quorvane-metafile"));
    }
    const QString bmp = tmp.filePath("out.bmp");
    const TRun run = RunCli({"decode", wmf.fileName(), bmp}, false, program);
    QCOMPARE(run.ExitCode, exitCode);
    QFile out(bmp);
    if (exitCode == 0) {
        QVERIFY2(out.open(QIODevice::ReadOnly) && out.read(2) == "BM", run.Err.constData());
    } else {
        QVERIFY(!out.exists());
        QVERIFY2(run.Err.contains("quorvane-metafile"), run.Err.constData());
    }
}

// The filters reach the search: a pair in an excluded folder (given as a
// link) and a pair of another extension are not offered, the pair left is.
void TestSearchCli::filtersLeaveFilesOut()
{
    QTemporaryDir tmp;
    const QString root = tmp.path();
    for (const char* path :
         {"keep/a.txt", "keep/b.txt", "keep/c.log", "keep/d.log", "skip/e.txt", "skip/f.txt"}) {
        QDir().mkpath(QFileInfo(root + "/" + path).path());
        QFile file(root + "/" + path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(path).right(4) == ".log" ? "log" : "same");
    }
    QVERIFY(QFile::link(root + "/skip", root + "/toskip"));
    const TRun run =
        RunCli({"find", "--size", "--groups", "--exclude-dir", root + "/toskip/", "--ext", "TXT", root});
    QCOMPARE(run.ExitCode, 0);
    QStringList names;
    for (const QByteArray& line : run.Out.split('\n'))
        if (!line.isEmpty()) names << QString::fromUtf8(line.split('\t').value(1));
    names.sort();
    QCOMPARE(names, (QStringList{"a.txt", "b.txt"}));
    const TRun list = RunCli({"list", "--exclude", "*.txt", "--max-size", "3", root});
    QCOMPARE(list.ExitCode, 0);
    QCOMPARE(list.Out.count('\n'), 2); // c.log and d.log
    // The same pair as CSV: a header, the group column, CR LF endings.
    const TRun csv = RunCli({"find", "--size", "--format", "csv", "--keep", "first", "--ext", "log", root});
    QCOMPARE(csv.ExitCode, 0);
    const QList<QByteArray> lines = csv.Out.split('\n');
    QCOMPARE(lines.value(0), QByteArray("group,name,directory,size,type,time,selection\r"));
    QCOMPARE(lines.size(), 4); // two rows and the empty rest after the last line end
    QVERIFY(lines.value(1).startsWith("1,") && lines.value(1).endsWith(",keep\r"));
    QVERIFY(lines.value(2).startsWith("1,") && lines.value(2).endsWith(",delete\r"));
}

QTEST_GUILESS_MAIN(TestSearchCli)
#include "tst_search_cli.moc"
