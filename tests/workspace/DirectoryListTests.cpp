// Tests of the directory list rules over a fixture tree built in a temporary
// directory. In the tables "@" stands for that tree's root, so the Linux
// paths mirror the Windows examples (C:\Photos becomes @/Photos).
#include "WorkspaceFakes.h"
#include "tst_workspace.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <sys/stat.h>

namespace quorvane {

namespace {

const QString kNotADir = QStringLiteral("您沒有輸入目錄, 不然就是目錄名稱輸入錯誤!");

QString Overlap(const QString& text, const QString& entry)
{
    return QStringLiteral("%1 和 %2 是直系親屬, 不可同時存在!").arg(text, entry);
}

} // namespace

void TestWorkspace::init()
{
    FTemp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTemp->isValid());
    FRoot = FTemp->filePath(QStringLiteral("tree"));
    for (const char* dir : {"Photos", "Photos/2019", "Photos2", "PHOTOS", "Pic", "PIC", "Pictures", "data",
                            "data  ", "data/sub", "Ärger", "äRGER", "with space "}) {
        MakeDir(QString::fromUtf8(dir));
    }
    MakeDir(QStringLiteral("mirror") + FRoot + QStringLiteral("/Pic"));
    QFile file(FRoot + QStringLiteral("/file.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QString settings = FTemp->filePath(QStringLiteral("config"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
}

void TestWorkspace::cleanup()
{
    FTemp.reset();
}

QString TestWorkspace::MakeDir(const QString& relative)
{
    const QString path = FRoot + QLatin1Char('/') + relative;
    if (!QDir().mkpath(path)) qFatal("cannot create the fixture directory %s", qPrintable(path));
    return path;
}

void TestWorkspace::trimBlanks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only blanks") << " \t \n "
                                 << "";
    QTest::newRow("spaces both ends") << "  /data  "
                                      << "/data";
    QTest::newRow("control characters count as blanks") << QString("\x01\x1f/data\x7f\x02") << "/data\x7f";
    QTest::newRow("inner blanks stay") << " /my  photos "
                                       << "/my  photos";
    QTest::newRow("no-break space is not a blank")
        << QString::fromUtf16(u"\u00a0/data\u3000") << QString::fromUtf16(u"\u00a0/data\u3000");
}

void TestWorkspace::trimBlanks()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(TrimBlanks(text), trimmed);
}

void TestWorkspace::asciiLower()
{
    QCOMPARE(AsciiLower(QStringLiteral("/Photos/AZ az@[`{")), QStringLiteral("/photos/az az@[`{"));
    // Letters beyond A to Z are not folded by the directory list's rules.
    QCOMPARE(AsciiLower(QStringLiteral("ÄRGER/相片")), QStringLiteral("Ärger/相片"));
}

void TestWorkspace::addDirectory_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("errors");

    const QStringList photos{"@/Photos"};
    QTest::newRow("new directory appended") << QStringList() << "@/Photos" << true << photos << QStringList();
    QTest::newRow("second directory appended at the end")
        << photos << "@/data" << true << QStringList{"@/Photos", "@/data"} << QStringList();
    QTest::newRow("letter case differs: another directory on Linux")
        << photos << "@/PHOTOS" << true << QStringList{"@/Photos", "@/PHOTOS"} << QStringList();
    QTest::newRow("exactly equal: silently skipped")
        << photos << "@/Photos" << false << photos << QStringList();
    QTest::newRow("subdirectory overlaps")
        << photos << "@/Photos/2019" << false << photos << QStringList{Overlap("@/Photos/2019", "@/Photos")};
    QTest::newRow("parent overlaps") << QStringList{"@/Photos/2019"} << "@/Photos" << false
                                     << QStringList{"@/Photos/2019"}
                                     << QStringList{Overlap("@/Photos", "@/Photos/2019")};
    QTest::newRow("trailing separator overlaps")
        << photos << "@/Photos/" << false << photos << QStringList{Overlap("@/Photos/", "@/Photos")};
    QTest::newRow("root overlaps") << photos << "/" << false << photos
                                   << QStringList{Overlap("/", "@/Photos")};
    QTest::newRow("Pic and Pictures: no common component")
        << QStringList{"@/Pictures"} << "@/Pic" << true << QStringList{"@/Pictures", "@/Pic"}
        << QStringList();
    QTest::newRow("Photos2 and Photos: no common component")
        << photos << "@/Photos2" << true << QStringList{"@/Photos", "@/Photos2"} << QStringList();
    QTest::newRow("a path ending in another is not its descendant")
        << QStringList{"@/Pic"} << "@/mirror@/Pic" << true << QStringList{"@/Pic", "@/mirror@/Pic"}
        << QStringList();
    QTest::newRow("empty text is not a directory")
        << photos << "" << false << photos << QStringList{kNotADir};
    QTest::newRow("a file is not a directory")
        << photos << "@/file.txt" << false << photos << QStringList{kNotADir};
    QTest::newRow("misspelt path") << photos << "@/Photoz" << false << photos << QStringList{kNotADir};
    QTest::newRow("existence checked before trimming")
        << QStringList() << "  @/Pic  " << false << QStringList() << QStringList{kNotADir};
    QTest::newRow("blanks trimmed after the check")
        << QStringList() << "@/data  " << true << QStringList{"@/data"} << QStringList();
    QTest::newRow("overlap message names the trimmed text")
        << QStringList{"@/data/sub"} << "@/data  " << false << QStringList{"@/data/sub"}
        << QStringList{Overlap("@/data", "@/data/sub")};
    // Restored lists are not checked for overlap, so an earlier overlapping
    // entry can stand before an equal one: the entries are visited in order.
    QTest::newRow("earlier overlap wins over a later equal entry")
        << QStringList{"@/Photos/2019", "@/Photos"} << "@/Photos" << false
        << QStringList{"@/Photos/2019", "@/Photos"} << QStringList{Overlap("@/Photos", "@/Photos/2019")};
    QTest::newRow("non-ASCII letters are not folded: appended")
        << QStringList{"@/Ärger"} << "@/äRGER" << true << QStringList{"@/Ärger", "@/äRGER"} << QStringList();
}

void TestWorkspace::addDirectory()
{
    QFETCH(QStringList, listed);
    QFETCH(QString, text);
    QFETCH(bool, added);
    QFETCH(QStringList, after);
    QFETCH(QStringList, errors);

    TFakeListBox box(Expand(listed, FRoot));
    TRecordingMessages messages;
    TDirectoryList list(box, messages);
    QCOMPARE(list.AddDirectory(Expand(text, FRoot)), added);
    QCOMPARE(box.Items, Expand(after, FRoot));
    QCOMPARE(messages.Errors, Expand(errors, FRoot));
    QVERIFY(messages.Informations.isEmpty());
}

void TestWorkspace::addPendingDirectory_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("empty edit: nothing, no message") << "" << QStringList() << QStringList();
    QTest::newRow("blank edit: nothing, no message") << " \t " << QStringList() << QStringList();
    QTest::newRow("directory typed but not added") << "@/Pic" << QStringList{"@/Pic"} << QStringList();
    QTest::newRow("untrimmed text goes to the check") << " @/Pic" << QStringList() << QStringList{kNotADir};
    QTest::newRow("misspelt directory: the same message as Enter")
        << "@/Pik" << QStringList() << QStringList{kNotADir};
}

void TestWorkspace::addPendingDirectory()
{
    QFETCH(QString, edit);
    QFETCH(QStringList, after);
    QFETCH(QStringList, errors);
    TFakeListBox box;
    TRecordingMessages messages;
    TDirectoryList list(box, messages);
    list.AddPendingDirectory(Expand(edit, FRoot));
    QCOMPARE(box.Items, Expand(after, FRoot));
    QCOMPARE(messages.Errors, Expand(errors, FRoot));
}

void TestWorkspace::restoreDirectory_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("existing directory appended") << QStringList() << "@/Pic" << QStringList{"@/Pic"};
    QTest::newRow("empty text skipped") << QStringList() << "" << QStringList();
    QTest::newRow("missing directory skipped") << QStringList() << "@/gone" << QStringList();
    QTest::newRow("a file skipped") << QStringList() << "@/file.txt" << QStringList();
    QTest::newRow("not trimmed: blanks make it another path") << QStringList() << "@/Pic  " << QStringList();
    QTest::newRow("kept as stored, trailing blank included")
        << QStringList() << "@/with space " << QStringList{"@/with space "};
    QTest::newRow("exactly equal skipped")
        << QStringList{"@/Photos"} << "@/Photos" << QStringList{"@/Photos"};
    QTest::newRow("letter case differs: another directory on Linux")
        << QStringList{"@/Photos"} << "@/PHOTOS" << QStringList{"@/Photos", "@/PHOTOS"};
    QTest::newRow("case beyond ASCII differs: another directory on Linux")
        << QStringList{"@/Ärger"} << "@/äRGER" << QStringList{"@/Ärger", "@/äRGER"};
    QTest::newRow("overlap not checked")
        << QStringList{"@/Photos"} << "@/Photos/2019" << QStringList{"@/Photos", "@/Photos/2019"};
}

void TestWorkspace::restoreDirectory()
{
    QFETCH(QStringList, listed);
    QFETCH(QString, text);
    QFETCH(QStringList, after);
    TFakeListBox box(Expand(listed, FRoot));
    TRecordingMessages messages;
    TDirectoryList list(box, messages);
    QCOMPARE(list.RestoreDirectory(Expand(text, FRoot)), after.size() > listed.size());
    QCOMPARE(box.Items, Expand(after, FRoot));
    QVERIFY(messages.Silent());
}

void TestWorkspace::addPickedDirectory_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("proposedName");
    QTest::addColumn<QString>("initialDir");
    QTest::addColumn<QString>("newEdit"); // "-" when the edit stays
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("errors");

    const QStringList none;
    QTest::newRow("empty edit: proposal untouched") << none << "" << true << "@/Pic/Any File Name"
                                                    << "preset.___"
                                                    << "/initial"
                                                    << "@/Pic" << QStringList{"@/Pic"} << none;
    QTest::newRow("edit names a directory: it becomes the start")
        << none << "@/Photos" << true << "@/Photos/Any File Name"
        << "@/Photos/Any File Name"
        << "@/Photos"
        << "@/Photos" << QStringList{"@/Photos"} << none;
    QTest::newRow("edit ends with a separator: no second one")
        << none << "@/Photos/" << true << "@/Photos/x"
        << "@/Photos/Any File Name"
        << "@/Photos/"
        << "@/Photos" << QStringList{"@/Photos"} << none;
    QTest::newRow("edit not a directory: start left as it was")
        << none << "@/nowhere" << true << "@/Pic/Any File Name"
        << "@/nowhere/Any File Name"
        << "/initial"
        << "@/Pic" << QStringList{"@/Pic"} << none;
    QTest::newRow("blank edit still proposes a name") << none << "  " << false << ""
                                                      << "  /Any File Name"
                                                      << "/initial"
                                                      << "-" << none << none;
    QTest::newRow("cancelled: nothing changes") << QStringList{"@/Pic"} << "@/Photos" << false << ""
                                                << "@/Photos/Any File Name"
                                                << "@/Photos"
                                                << "-" << QStringList{"@/Pic"} << none;
    QTest::newRow("file in the root adds the root") << none << "" << true << "/Any File Name"
                                                    << "preset.___"
                                                    << "/initial"
                                                    << "/" << QStringList{"/"} << none;
    QTest::newRow("already listed: edit stays, no message")
        << QStringList{"@/Pic"} << "" << true << "@/Pic/Any File Name"
        << "preset.___"
        << "/initial"
        << "-" << QStringList{"@/Pic"} << none;
    QTest::newRow("overlapping choice: message, edit stays")
        << QStringList{"@/Photos"} << "" << true << "@/Photos/2019/a.jpg"
        << "preset.___"
        << "/initial"
        << "-" << QStringList{"@/Photos"} << QStringList{Overlap("@/Photos/2019", "@/Photos")};
}

void TestWorkspace::addPickedDirectory()
{
    QFETCH(QStringList, listed);
    QFETCH(QString, edit);
    QFETCH(bool, accept);
    QFETCH(QString, chosen);
    QFETCH(QString, proposedName);
    QFETCH(QString, initialDir);
    QFETCH(QString, newEdit);
    QFETCH(QStringList, after);
    QFETCH(QStringList, errors);

    TFakeListBox box(Expand(listed, FRoot));
    TRecordingMessages messages;
    TDirectoryList list(box, messages);
    TFakePicker picker;
    picker.FileName = QStringLiteral("preset.___");
    picker.InitialDir = QStringLiteral("/initial");
    picker.Accept = accept;
    picker.Chosen = Expand(chosen, FRoot);
    const std::optional<QString> result = list.AddPickedDirectory(picker, Expand(edit, FRoot));
    QCOMPARE(picker.Runs, 1);
    QCOMPARE(picker.SeenFileName, Expand(proposedName, FRoot));
    QCOMPARE(picker.SeenInitialDir, Expand(initialDir, FRoot));
    QCOMPARE(result.value_or(QStringLiteral("-")), Expand(newEdit, FRoot));
    QCOMPARE(box.Items, Expand(after, FRoot));
    QCOMPARE(messages.Errors, Expand(errors, FRoot));
}

void TestWorkspace::removeSelected_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("nothing selected: nothing happens")
        << QList<int>() << QStringList{"a", "b", "c", "d", "e"};
    QTest::newRow("three of five, first included") << QList<int>{0, 2, 3} << QStringList{"b", "e"};
    QTest::newRow("three of five, neighbours") << QList<int>{1, 2, 3} << QStringList{"a", "e"};
    QTest::newRow("last two") << QList<int>{3, 4} << QStringList{"a", "b", "c"};
    QTest::newRow("every entry") << QList<int>{0, 1, 2, 3, 4} << QStringList();
}

void TestWorkspace::removeSelected()
{
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, after);
    TFakeListBox box({"a", "b", "c", "d", "e"});
    for (int index : selected)
        box.Selected[index] = true;
    TRecordingMessages messages;
    TDirectoryList list(box, messages);
    QCOMPARE(list.HasSelection(), !selected.isEmpty());
    list.RemoveSelected();
    QCOMPARE(box.Items, after);
    QVERIFY(!list.HasSelection());
    QVERIFY(messages.Silent());
}

void TestWorkspace::removeAllAndCurrentEntry()
{
    TFakeListBox box({"/a", "/b", "/c"});
    TRecordingMessages messages;
    TDirectoryList list(box, messages);
    QCOMPARE(list.CurrentEntry(), std::nullopt);
    box.Current = 1;
    QCOMPARE(list.CurrentEntry(), std::optional<QString>(QStringLiteral("/b")));
    QCOMPARE(list.Entries(), (QStringList{"/a", "/b", "/c"}));
    list.RemoveAll();
    QVERIFY(box.Items.isEmpty());
    QCOMPARE(list.CurrentEntry(), std::nullopt); // a stale current index is not trusted
    QVERIFY(messages.Silent());
}

void TestWorkspace::pathRelations_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("same");
    QTest::addColumn<bool>("related"); // either is an ancestor of (or is) the other
    QTest::newRow("same path") << false << QByteArray("/photos") << QByteArray("/photos") << true << true;
    QTest::newRow("case differs on Linux")
        << false << QByteArray("/photos") << QByteArray("/PHOTOS") << false << false;
    QTest::newRow("case differs, Windows style")
        << true << QByteArray("C:\\Photos") << QByteArray("c:\\PHOTOS") << true << true;
    QTest::newRow("trailing separator")
        << false << QByteArray("/photos/") << QByteArray("/photos") << false << true;
    QTest::newRow("child") << false << QByteArray("/photos") << QByteArray("/photos/2019") << false << true;
    QTest::newRow("root contains all") << false << QByteArray("/") << QByteArray("/photos") << false << true;
    QTest::newRow("Windows root") << true << QByteArray("C:\\") << QByteArray("C:\\Photos") << false << true;
    QTest::newRow("longer last component")
        << false << QByteArray("/photos") << QByteArray("/photos2") << false << false;
    QTest::newRow("Windows longer last component")
        << true << QByteArray("C:\\Pic") << QByteArray("C:\\Pictures") << false << false;
    QTest::newRow("path ends with the other")
        << false << QByteArray("/a/mirror/tmp/x") << QByteArray("/tmp/x") << false << false;
    QTest::newRow("case of a component differs on Linux")
        << false << QByteArray("/Photos") << QByteArray("/photos/2019") << false << false;
    QTest::newRow("Windows child folds case")
        << true << QByteArray("C:\\Photos") << QByteArray("c:\\photos\\2019") << false << true;
}

void TestWorkspace::pathRelations()
{
    QFETCH(bool, windows);
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, same);
    QFETCH(bool, related);
    const PathStyle style = windows ? PathStyle::Windows : PathStyle::Posix;
    QCOMPARE(SameDirectory(a, b, style), same);
    QCOMPARE(SameDirectory(b, a, style), same);
    QCOMPARE(IsAncestorOrSelf(a, b, style) || IsAncestorOrSelf(b, a, style), related);
}

void TestWorkspace::windowsStyleFoldsCase()
{
    TFakeListBox box({FRoot + "/Photos"});
    TRecordingMessages messages;
    TDirectoryList list(box, messages, PathStyle::Windows);
    QVERIFY(!list.AddDirectory(FRoot + "/PHOTOS")); // already listed, silently
    QVERIFY(!list.RestoreDirectory(FRoot + "/PHOTOS"));
    QCOMPARE(box.Items.first(), FRoot + "/Photos");
    QVERIFY(messages.Silent());
}

void TestWorkspace::undecodableDirectoryKeepsItsBytes()
{
    const QByteArray bytes = QFile::encodeName(FRoot) + "/pics\xff";
    QVERIFY(QDir().mkpath(QFile::decodeName(QFile::encodeName(FRoot))));
    QCOMPARE(::mkdir(bytes.constData(), 0700), 0);
    const QString shown = QFile::decodeName(bytes);
    QVERIFY(shown.endsWith(QStringLiteral("pics") + QChar(QChar::ReplacementCharacter)));

    // Added by its shown text (as typed or copied from the list).
    TFakeListBox box({FRoot + "/Photos"});
    TRecordingMessages messages;
    TDirectoryList list(box, messages);
    QVERIFY(list.AddDirectory(shown));
    QCOMPARE(box.Bytes.last(), bytes);
    QCOMPARE(box.Items.last(), shown);
    QVERIFY(messages.Silent());

    // Saved and restored byte for byte; the plain name stays a plain text.
    TFakeControls controls;
    SaveOptions(*OpenOptionsStore(), controls, list.EntryBytes(), messages);
    QVERIFY(ReadConf().contains("Dir1=" + QFile::encodeName(FRoot) + "/Photos\n"));
    TFakeListBox restored;
    TDirectoryList restoredList(restored, messages);
    TFakeControls loaded;
    LoadOptions(*OpenOptionsStore(), loaded, restoredList);
    QCOMPARE(restored.Bytes, box.Bytes);
}

void TestWorkspace::ambiguousDisplayedNameRefused()
{
    // Two names that show alike: the shown text cannot say which is meant.
    const QByteArray root = QFile::encodeName(FRoot);
    QCOMPARE(::mkdir((root + "/x\xfe").constData(), 0700), 0);
    QCOMPARE(::mkdir((root + "/x\xff").constData(), 0700), 0);
    TFakeListBox box;
    TRecordingMessages messages;
    TDirectoryList list(box, messages);
    QVERIFY(!list.AddDirectory(QFile::decodeName(root + "/x\xff")));
    QCOMPARE(messages.Errors, QStringList{kNotADir});
    QVERIFY(list.AddDirectoryBytes(root + "/x\xff")); // by its bytes it is found
    QCOMPARE(box.Bytes, QList<QByteArray>{root + "/x\xff"});
}

} // namespace quorvane
