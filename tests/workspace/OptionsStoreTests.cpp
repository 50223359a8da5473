// Tests of the options store over a settings file in a temporary location.
// The expected table (names, order, defaults) is written out here on purpose
// rather than taken from kOptionTable, so a slip in the table shows.
#include "WorkspaceFakes.h"
#include "tst_workspace.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

namespace quorvane {

namespace {

const QStringList kOrder = {
    "ckName",           "ckSize",      "ckCC",          "ckAllBytes",     "ckTime",
    "ckInclude",        "ckPreview",   "ckShowSlides",  "raDblClick",     "raClick",
    "edTime",           "rbFullSize",  "rbHalf",        "rbQuarter",      "rbEighth",
    "ckNoConfirm",      "ckNoRecycle", "rbEnglish",     "rbChinese",      "ViewerProgram",
    "EditorProgram",    "ckSimilar",   "edTolerance",   "ckMoreFormats",  "KeepRule",
    "ckTurnUpright",    "ckTurns",     "ckSamePixels",  "ckCrops",        "ckColourSlides",
    "ckAbsoluteLinks",  "edMinSize",   "edMaxSize",     "edExcludeNames", "edExtensions",
    "edExcludeFolders", "ckViewerFit", "ckColumnGroup", "ckColumnCopies", "ckColumnDimensions",
    "edPictureCache"};
const QStringList kCheckedByDefault = {"ckSize",     "ckInclude", "ckPreview", "ckShowSlides",
                                       "raDblClick", "rbHalf",    "rbEnglish", "ckTurnUpright"};
const QStringList kRadios = {"raDblClick", "raClick",  "rbFullSize", "rbHalf",
                             "rbQuarter",  "rbEighth", "rbEnglish",  "rbChinese"};

// The calls a load makes when every value is missing.
QStringList DefaultCalls()
{
    QStringList calls;
    for (const QString& name : kOrder) {
        if (name == "edTime") {
            calls << "SetText edTime 200";
            continue;
        }
        if (name == "edTolerance") {
            calls << "SetText edTolerance 8";
            continue;
        }
        if (name == "edPictureCache") {
            calls << "SetText edPictureCache 256";
            continue;
        }
        // Texts empty by default: the programs and the filters.
        if (name.endsWith("Program") || (name.startsWith("ed") && name != "edTime")) {
            calls << "SetText " + name + " ";
            continue;
        }
        if (name == "KeepRule") {
            calls << "SetText KeepRule 0"; // an older store: the first listed row
            continue;
        }
        calls << QStringLiteral("SetChecked %1 %2").arg(name).arg(int(kCheckedByDefault.contains(name)));
        if (name == "ckCC" || name == "ckAllBytes") calls << "SetEnabled " + name + " 1";
    }
    return calls;
}

// The index of the first call that starts with prefix, or -1.
qsizetype FirstCall(const QStringList& calls, const QString& prefix)
{
    for (qsizetype i = 0; i < calls.size(); ++i) {
        if (calls[i].startsWith(prefix)) return i;
    }
    return -1;
}

// Loads from the store at the current settings location into fresh fakes.
struct TLoadResult {
    TFakeControls Controls;
    TFakeListBox Box;
    TRecordingMessages Messages;
    QString Error; // the ESettingsError message, empty when none
};

void Load(TLoadResult& result)
{
    TDirectoryList list(result.Box, result.Messages);
    try {
        LoadOptions(*OpenOptionsStore(), result.Controls, list);
    } catch (const ESettingsError& error) {
        result.Error = error.Message();
    }
}

// Options kept as texts rather than ticks.
bool IsTextOption(const QString& name)
{
    return name.startsWith("ed") || name.endsWith("Program") || name == "KeepRule";
}

TFakeControls NonDefaultControls()
{
    TFakeControls controls;
    for (const QString& name : kOrder)
        controls.Checked[name] = !kCheckedByDefault.contains(name);
    controls.Checked["raDblClick"] = false; // one of each radio group
    controls.Checked["rbFullSize"] = false;
    controls.Checked["rbQuarter"] = false;
    controls.Checked["rbEnglish"] = false;
    controls.Texts["edTime"] = QStringLiteral("  75 x, y");
    controls.Texts["ViewerProgram"] = QStringLiteral("/opt/my viewer/view");
    controls.Texts["EditorProgram"] = QStringLiteral("gedit");
    controls.Texts["edTolerance"] = QStringLiteral("13");
    controls.Texts["KeepRule"] = QStringLiteral("4");
    controls.Texts["edMinSize"] = QStringLiteral("10K");
    controls.Texts["edMaxSize"] = QStringLiteral("2G");
    controls.Texts["edExcludeNames"] = QStringLiteral("*.tmp; Thumbs.db");
    controls.Texts["edExtensions"] = QStringLiteral("jpg, heic");
    controls.Texts["edExcludeFolders"] = QStringLiteral("/home/u/相片, 舊; /tmp");
    return controls;
}

} // namespace

QString TestWorkspace::ConfPath() const
{
    return QSettings(QString::fromLatin1(kSettingsOrganization), QString::fromLatin1(kSettingsApplication))
        .fileName();
}

void TestWorkspace::WriteConf(const QByteArray& contents)
{
    const QString path = ConfPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), contents.size());
}

QByteArray TestWorkspace::ReadConf() const
{
    QFile file(ConfPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestWorkspace::firstStartGivesDefaultsInTableOrder()
{
    QVERIFY(ConfPath().startsWith(FTemp->path())); // never the user's own store
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    QCOMPARE(result.Controls.Calls, DefaultCalls());
    QVERIFY(result.Box.Items.isEmpty());
    QVERIFY(result.Messages.Silent());
    QVERIFY(!QFile::exists(ConfPath())); // loading creates nothing
}

void TestWorkspace::loadBooleanAndText_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("state"); // "1"/"0" for check boxes, else the text
    QTest::newRow("1 checks") << QByteArray("ckName=1\n") << "ckName"
                              << "1";
    QTest::newRow("0 unchecks a default-checked box") << QByteArray("ckSize=0\n") << "ckSize"
                                                      << "0";
    QTest::newRow("any other integer checks") << QByteArray("ckNoRecycle=7\n") << "ckNoRecycle"
                                              << "1";
    QTest::newRow("negative integer checks") << QByteArray("ckShowSlides=-1\n") << "ckShowSlides"
                                             << "1";
    QTest::newRow("section header accepted") << QByteArray("[General]\nckTime=1\n") << "ckTime"
                                             << "1";
    QTest::newRow("delay as text") << QByteArray("edTime=350\n") << "edTime"
                                   << "350";
    QTest::newRow("empty delay text is not the default") << QByteArray("edTime=\n") << "edTime"
                                                         << "";
    QTest::newRow("delay text not checked as a number") << QByteArray("edTime=abc\n") << "edTime"
                                                        << "abc";
    QTest::newRow("quoted delay text keeps comma and blanks") << QByteArray("edTime=\" 1, 2 \"\n") << "edTime"
                                                              << " 1, 2 ";
}

void TestWorkspace::loadBooleanAndText()
{
    QFETCH(QByteArray, conf);
    QFETCH(QString, name);
    QFETCH(QString, state);
    WriteConf(conf);
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    if (name == "edTime") {
        QCOMPARE(result.Controls.Texts.value(name), state);
    } else {
        QCOMPARE(QString::number(int(result.Controls.Checked.value(name))), state);
    }
    QCOMPARE(result.Controls.Calls.size(), DefaultCalls().size());
}

void TestWorkspace::ccEnabledRightAfterCcBySize_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Size unchecked disables CC") << QByteArray("ckSize=0\nckCC=1\n") << false;
    QTest::newRow("Size checked enables CC") << QByteArray("ckSize=1\nckCC=0\n") << true;
    QTest::newRow("Size missing: checked by default") << QByteArray("ckCC=1\n") << true;
}

void TestWorkspace::ccEnabledRightAfterCcBySize()
{
    QFETCH(QByteArray, conf);
    QFETCH(bool, enabled);
    WriteConf(conf);
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    const QStringList& calls = result.Controls.Calls;
    const qsizetype cc = FirstCall(calls, "SetChecked ckCC ");
    QVERIFY(cc > FirstCall(calls, "SetChecked ckSize "));
    QCOMPARE(calls.value(cc + 1), QStringLiteral("SetEnabled ckCC %1").arg(int(enabled)));
    // "All bytes" follows "CC" and is enabled by the same rule.
    QVERIFY(calls.value(cc + 2).startsWith("SetChecked ckAllBytes "));
    QCOMPARE(calls.value(cc + 3), QStringLiteral("SetEnabled ckAllBytes %1").arg(int(enabled)));
    QVERIFY(calls.value(cc + 4).startsWith("SetChecked ckTime "));
    QCOMPARE(calls.filter("SetEnabled").size(), 2);
}

void TestWorkspace::radioGroupsRestore_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QStringList>("checked"); // the radio buttons checked afterwards
    const QStringList defaults{"raDblClick", "rbHalf", "rbEnglish"};
    QTest::newRow("no values: design states") << QByteArray() << defaults;
    QTest::newRow("single click mode")
        << QByteArray("raDblClick=0\nraClick=1\n") << QStringList{"raClick", "rbHalf", "rbEnglish"};
    QTest::newRow("rbChinese stored as 1 alone")
        << QByteArray("rbChinese=1\n") << QStringList{"raDblClick", "rbHalf", "rbChinese"};
    QTest::newRow("eighth scale wins over a stale half")
        << QByteArray("rbHalf=1\nrbEighth=1\n") << QStringList{"raDblClick", "rbEighth", "rbEnglish"};
    QTest::newRow("full size") << QByteArray("rbFullSize=1\nrbHalf=0\n")
                               << QStringList{"raDblClick", "rbFullSize", "rbEnglish"};
}

void TestWorkspace::radioGroupsRestore()
{
    QFETCH(QByteArray, conf);
    QFETCH(QStringList, checked);
    WriteConf(conf);
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    QStringList actual;
    for (const QString& radio : kRadios) {
        if (result.Controls.Checked.value(radio)) actual << radio;
    }
    QCOMPARE(actual, checked);
}

void TestWorkspace::loadDirectories_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QStringList>("entries");
    const QStringList none;
    QTest::newRow("no Dir values: empty list") << QByteArray("ckName=1\n") << none;
    QTest::newRow("DirCount 0 reads nothing") << QByteArray("DirCount=0\nDir1=@/Pic\n") << none;
    QTest::newRow("negative DirCount reads nothing") << QByteArray("DirCount=-3\nDir1=@/Pic\n") << none;
    QTest::newRow("DirCount missing: gaps allowed") << QByteArray("Dir1=@/Pic\nDir3=@/Photos\nDir7=@/data\n")
                                                    << QStringList{"@/Pic", "@/Photos", "@/data"};
    QTest::newRow("numeric order: Dir10 after Dir2")
        << QByteArray("Dir10=@/data\nDir2=@/Pic\nDir1=@/Photos\n")
        << QStringList{"@/Photos", "@/Pic", "@/data"};
    QTest::newRow("DirCount limits the list")
        << QByteArray("DirCount=2\nDir1=@/Pic\nDir2=@/data\nDir3=@/Photos\nDir4=@/Pictures\nDir5=@/Photos2\n")
        << QStringList{"@/Pic", "@/data"};
    QTest::newRow("DirCount missing: 1000 entries at most")
        << QByteArray("Dir1000=@/Pic\nDir1001=@/data\n") << QStringList{"@/Pic"};
    QTest::newRow("huge DirCount costs nothing")
        << QByteArray("DirCount=2147483647\nDir1=@/Pic\n") << QStringList{"@/Pic"};
    QTest::newRow("equal entry restored once")
        << QByteArray("Dir1=@/Photos\nDir2=@/Photos\n") << QStringList{"@/Photos"};
    QTest::newRow("entries differing in case: two directories on Linux")
        << QByteArray("Dir1=@/Photos\nDir2=@/PHOTOS\n") << QStringList{"@/Photos", "@/PHOTOS"};
    QTest::newRow("missing directory dropped silently")
        << QByteArray("Dir1=@/gone\nDir2=@/Pic\n") << QStringList{"@/Pic"};
    QTest::newRow("empty value dropped") << QByteArray("Dir1=\nDir2=@/Pic\n") << QStringList{"@/Pic"};
    QTest::newRow("leading zero is another name")
        << QByteArray("Dir01=@/Pic\nDir2=@/data\n") << QStringList{"@/data"};
    QTest::newRow("overlap not checked on restore")
        << QByteArray("Dir1=@/Photos\nDir2=@/Photos/2019\n") << QStringList{"@/Photos", "@/Photos/2019"};
    QTest::newRow("value beyond DirCount never read, whatever its type")
        << QByteArray("DirCount=1\nDir1=@/Pic\nDir2=a, b\n") << QStringList{"@/Pic"};
}

void TestWorkspace::loadDirectories()
{
    QFETCH(QByteArray, conf);
    QFETCH(QStringList, entries);
    WriteConf(Expand(QString::fromUtf8(conf), FRoot).toUtf8());
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    QCOMPARE(result.Box.Items, Expand(entries, FRoot));
    QVERIFY(result.Messages.Silent());
}

void TestWorkspace::longGeneratedListRestored()
{
    // 1000 directories, each stored twice (the second time in another
    // order), every seventh protected, and some stored names that are gone.
    const int count = 1000;
    const QString base = FRoot + "/many";
    QByteArray conf = "DirCount=" + QByteArray::number(2 * count + 10) + "\n";
    QStringList expected;
    QList<bool> expectedProtected;
    int position = 0;
    for (int i = 0; i < count; ++i) {
        const QString dir = base + QStringLiteral("/d%1").arg(i);
        QVERIFY(QDir().mkpath(dir));
        conf += "Dir" + QByteArray::number(++position) + "=" + dir.toUtf8() + "\n";
        if (i % 7 == 0) conf += "DirProtected" + QByteArray::number(position) + "=true\n";
        expected << dir;
        expectedProtected << (i % 7 == 0);
    }
    for (int i = count - 1; i >= 0; --i)
        conf += "Dir" + QByteArray::number(++position) + "=" + base.toUtf8() + "/d" + QByteArray::number(i) +
                "\n";
    for (int i = 0; i < 10; ++i)
        conf += "Dir" + QByteArray::number(++position) + "=" + base.toUtf8() + "/gone" +
                QByteArray::number(i) + "\n";
    WriteConf(conf);
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    QCOMPARE(result.Box.Items, expected);
    QCOMPARE(result.Box.Protected, expectedProtected);
    QVERIFY(result.Messages.Silent());
}

void TestWorkspace::wrongTypeStopsLoading_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QString>("badValue");
    QTest::addColumn<QStringList>("entries");
    const QStringList none;
    const QByteArray dirs("Dir1=@/Pic\nDir2=@/data\n");
    QTest::newRow("text where a Boolean belongs") << "ckTime=abc\n" + dirs << "ckTime" << none;
    QTest::newRow("decimal fraction") << "ckSize=1.0\n" + dirs << "ckSize" << none;
    QTest::newRow("beyond 32 bits") << "rbHalf=4294967297\n" + dirs << "rbHalf" << none;
    QTest::newRow("empty Boolean") << "ckInclude=\n" + dirs << "ckInclude" << none;
    QTest::newRow("the word true") << "ckPreview=true\n" + dirs << "ckPreview" << none;
    QTest::newRow("list where a Boolean belongs") << "raClick=1, 0\n" + dirs << "raClick" << none;
    QTest::newRow("typed value for the delay text") << "edTime=@Rect(1 2 3 4)\n" + dirs << "edTime" << none;
    QTest::newRow("list for the delay text") << "edTime=2, 3\n" + dirs << "edTime" << none;
    QTest::newRow("last option value") << "rbChinese=x\n" + dirs << "rbChinese" << none;
    QTest::newRow("DirCount as words") << "DirCount=many\n" + dirs << "DirCount" << none;
    QTest::newRow("a Dir value as a list keeps the earlier entries")
        << QByteArray("Dir1=@/Pic\nDir2=a, b\nDir3=@/data\n") << "Dir2" << QStringList{"@/Pic"};
    QTest::newRow("a DirProtected value as a word keeps the earlier entries")
        << QByteArray("Dir1=@/Pic\nDir2=@/data\nDirProtected2=maybe\n") << "DirProtected2"
        << QStringList{"@/Pic"};
}

void TestWorkspace::wrongTypeStopsLoading()
{
    QFETCH(QByteArray, conf);
    QFETCH(QString, badValue);
    QFETCH(QStringList, entries);
    // ckName=1 proves that values read before the bad one stay applied.
    WriteConf("ckName=1\n" + Expand(QString::fromUtf8(conf), FRoot).toUtf8());
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QStringLiteral("Invalid data type for '%1'").arg(badValue));

    QStringList expected = DefaultCalls();
    expected[0] = "SetChecked ckName 1";
    qsizetype stop = FirstCall(expected, QStringLiteral("SetChecked %1 ").arg(badValue));
    if (stop < 0) stop = FirstCall(expected, QStringLiteral("SetText %1 ").arg(badValue));
    if (stop >= 0) expected = expected.mid(0, stop);
    QCOMPARE(result.Controls.Calls, expected);
    QCOMPARE(result.Box.Items, Expand(entries, FRoot));
}

void TestWorkspace::saveWritesIntegersAndText()
{
    TFakeControls controls;
    controls.Checked = {
        {"ckSize", true}, {"ckInclude", true}, {"raClick", true}, {"rbEighth", true}, {"rbChinese", true}};
    controls.Texts["edTime"] = QStringLiteral("350");
    TRecordingMessages messages;
    const QStringList dirs = Expand(QStringList{"@/Pic", "@/Photos"}, FRoot);
    SaveOptions(*OpenOptionsStore(), controls, dirs, messages);
    QCOMPARE(messages.Informations, QStringList{"恭禧您啦!您的設定值已經儲存"});
    QVERIFY(messages.Errors.isEmpty() && messages.ApplicationErrors.isEmpty());

    const QStringList lines = QString::fromUtf8(ReadConf()).split('\n');
    for (const QString& name : kOrder) {
        if (IsTextOption(name)) continue;
        const QString line = QStringLiteral("%1=%2").arg(name).arg(int(controls.Checked.value(name)));
        QVERIFY2(lines.contains(line), qPrintable(line));
    }
    for (const char* line : {"rbEighth=1", "rbFullSize=0", "rbHalf=0", "rbQuarter=0", "rbChinese=1",
                             "rbEnglish=0", "edTime=350", "DirCount=2"}) {
        QVERIFY2(lines.contains(QLatin1String(line)), line);
    }
    QVERIFY(lines.contains("Dir1=" + dirs[0]));
    QVERIFY(lines.contains("Dir2=" + dirs[1]));
}

void TestWorkspace::saveShorterListKeepsOldValues()
{
    TFakeControls controls;
    TRecordingMessages messages;
    const QStringList five =
        Expand(QStringList{"@/Photos", "@/Pic", "@/data", "@/Pictures", "@/Photos2"}, FRoot);
    SaveOptions(*OpenOptionsStore(), controls, five, messages);
    const QStringList two = Expand(QStringList{"@/data", "@/Pic"}, FRoot);
    SaveOptions(*OpenOptionsStore(), controls, two, messages);
    QCOMPARE(messages.Informations.size(), 2);

    const QStringList lines = QString::fromUtf8(ReadConf()).split('\n');
    QVERIFY(lines.contains("DirCount=2"));
    QVERIFY(lines.contains("Dir1=" + two[0]));
    QVERIFY(lines.contains("Dir3=" + five[2]));
    QVERIFY(lines.contains("Dir5=" + five[4]));

    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    QCOMPARE(result.Box.Items, two);
}

void TestWorkspace::saveRoundTrip()
{
    MakeDir(QStringLiteral("a, b"));
    MakeDir(QStringLiteral("相片 2019"));
    const QStringList dirs = Expand(QStringList{"@/相片 2019", "@/a, b", "@/with space "}, FRoot);
    TFakeControls saved = NonDefaultControls();
    TRecordingMessages messages;
    SaveOptions(*OpenOptionsStore(), saved, dirs, messages);
    QCOMPARE(messages.Informations.size(), 1);

    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    for (const QString& name : kOrder) {
        if (IsTextOption(name)) continue;
        QVERIFY2(result.Controls.Checked.value(name) == saved.Checked.value(name), qPrintable(name));
    }
    for (const QString& text : kOrder)
        if (IsTextOption(text)) QCOMPARE(result.Controls.Texts.value(text), saved.Texts.value(text));
    // The filters are stored under names of their own.
    QCOMPARE(OpenOptionsStore()->value("FilterExtensions").toString(), QStringLiteral("jpg, heic"));
    // The tolerance is stored under its own name, not the control's.
    QCOMPARE(OpenOptionsStore()->value("Tolerance").toString(), QStringLiteral("13"));
    QCOMPARE(result.Controls.Enabled.value("ckCC"), saved.Checked.value("ckSize"));
    QCOMPARE(result.Box.Items, dirs);
}

void TestWorkspace::saveFailure_data()
{
    QTest::addColumn<QString>("blocker"); // made a file, or a directory, where the store must go
    QTest::addColumn<bool>("asDirectory");
    QTest::newRow("settings folder is a file") << "Marrowfen" << false;
    QTest::newRow("settings file is a folder") << "Marrowfen/Quorvane.conf" << true;
}

void TestWorkspace::saveFailure()
{
    QFETCH(QString, blocker);
    QFETCH(bool, asDirectory);
    const QString path = FTemp->filePath("config/" + blocker);
    QVERIFY(QDir().mkpath(asDirectory ? path : QFileInfo(path).absolutePath()));
    if (!asDirectory) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    TFakeControls controls;
    TRecordingMessages messages;
    QString error;
    try {
        SaveOptions(*OpenOptionsStore(), controls, {FRoot}, messages);
    } catch (const ESettingsError& e) {
        error = e.Message();
    }
    QCOMPARE(error, QStringLiteral("Failed to set data for 'ckName'"));
    QVERIFY(messages.Informations.isEmpty()); // no confirmation
}

void TestWorkspace::garbageFileNeverCrashes()
{
    // A crafted file first: junk before a good value and an unusable one.
    const char crafted[] = "\xff\xfe\x00junk\n=\n\x01=\x02\nckName=1\nckTime=\n";
    WriteConf(QByteArray(crafted, sizeof crafted - 1));
    TLoadResult first;
    Load(first);
    QCOMPARE(first.Error, QStringLiteral("Invalid data type for 'ckTime'"));
    QCOMPARE(first.Controls.Checked.value("ckName"), true);

    // Then random files built from the characters the format gives meaning.
    const QByteArray alphabet =
        QByteArray("=[]@\"\\,;#\n\r\t ()ckNameDir1Count0x") + QByteArray(1, '\0') + "\xff\xc3";
    QRandomGenerator random(20261208);
    for (int round = 0; round < 300; ++round) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           FTemp->filePath(QStringLiteral("garbage%1").arg(round)));
        QByteArray contents;
        const int size = random.bounded(400);
        for (int i = 0; i < size; ++i)
            contents.append(alphabet.at(random.bounded(int(alphabet.size()))));
        WriteConf(contents);
        TLoadResult result;
        Load(result);
        QVERIFY2(result.Error.isEmpty() || result.Error.startsWith("Invalid data type for '"),
                 qPrintable(result.Error));
        QVERIFY(result.Messages.Silent());
    }
}

void TestWorkspace::truncatedFileGivesSavedOrDefault()
{
    MakeDir(QStringLiteral("相片"));
    const QStringList dirs = Expand(QStringList{"@/相片", "@/Photos/2019"}, FRoot);
    TFakeControls saved = NonDefaultControls();
    TRecordingMessages messages;
    SaveOptions(*OpenOptionsStore(), saved, dirs, messages);
    const QByteArray full = ReadConf();
    QVERIFY(full.size() > 200);

    for (qsizetype length = 0; length <= full.size(); ++length) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           FTemp->filePath(QStringLiteral("cut%1").arg(length)));
        WriteConf(full.left(length));
        TLoadResult result;
        Load(result);
        const QString at = QStringLiteral("cut at %1").arg(length);
        QVERIFY2(result.Error.isEmpty() || result.Error.startsWith("Invalid data type for '"),
                 qPrintable(at));
        for (const QString& name : kOrder) {
            if (name == "edTime" || !result.Controls.Checked.contains(name)) continue;
            const bool state = result.Controls.Checked.value(name);
            QVERIFY2(state == saved.Checked.value(name) || state == kCheckedByDefault.contains(name),
                     qPrintable(at + " " + name));
        }
        const QString delay = result.Controls.Texts.value("edTime");
        QVERIFY2(delay == "200" || saved.Texts.value("edTime").trimmed().startsWith(delay.trimmed()),
                 qPrintable(at));
        QVERIFY2(result.Box.Items.size() <= dirs.size(), qPrintable(at));
        for (const QString& entry : result.Box.Items) {
            QVERIFY2(dirs.contains(entry) || dirs[0].startsWith(entry) || dirs[1].startsWith(entry),
                     qPrintable(at));
        }
        if (length == full.size()) QCOMPARE(result.Box.Items, dirs);
    }
}

void TestWorkspace::unreadableStoreGivesDefaults()
{
    // A folder where the file should be cannot be read, even by root.
    QVERIFY(QDir().mkpath(ConfPath()));
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    QCOMPARE(result.Controls.Calls, DefaultCalls());
    QVERIFY(result.Box.Items.isEmpty());
}

void TestWorkspace::saveRepairsGarbageFile()
{
    // "[[[" makes the reader give up with a format error; saving must still
    // write the whole set and confirm it, and the next load must see it.
    WriteConf("[[[\nckName=1\n");
    std::unique_ptr<QSettings> store = OpenOptionsStore();
    store->sync();
    QCOMPARE(store->status(), QSettings::FormatError);
    TFakeControls saved = NonDefaultControls();
    TRecordingMessages messages;
    const QStringList dirs{FRoot + "/Pic"};
    SaveOptions(*store, saved, dirs, messages);
    QCOMPARE(messages.Informations.size(), 1);
    store.reset();

    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    QCOMPARE(result.Controls.Checked.value("rbChinese"), true);
    QCOMPARE(result.Controls.Texts.value("edTime"), saved.Texts.value("edTime"));
    QCOMPARE(result.Box.Items, dirs);
}

void TestWorkspace::dirProtectedLoad_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<bool>>("protectedFlags");
    QTest::newRow("a store from before: nothing protected")
        << QByteArray("DirCount=2\nDir1=@/Pic\nDir2=@/data\n") << QStringList{"@/Pic", "@/data"}
        << QList<bool>{false, false};
    QTest::newRow("true and false as written")
        << QByteArray("DirCount=2\nDir1=@/Pic\nDirProtected1=false\nDir2=@/data\nDirProtected2=true\n")
        << QStringList{"@/Pic", "@/data"} << QList<bool>{false, true};
    QTest::newRow("integers as a hand-edited store holds")
        << QByteArray("Dir1=@/Pic\nDirProtected1=1\nDir2=@/data\nDirProtected2=0\n")
        << QStringList{"@/Pic", "@/data"} << QList<bool>{true, false};
    QTest::newRow("by position: a dropped entry before it")
        << QByteArray("Dir1=@/gone\nDirProtected1=false\nDir3=@/data\nDirProtected3=true\n")
        << QStringList{"@/data"} << QList<bool>{true};
    QTest::newRow("a dropped protected entry passes its flag to none")
        << QByteArray("Dir1=@/gone\nDirProtected1=true\nDir2=@/Pic\n") << QStringList{"@/Pic"}
        << QList<bool>{false};
    QTest::newRow("beyond DirCount never read")
        << QByteArray("DirCount=1\nDir1=@/Pic\nDir2=@/data\nDirProtected2=true\nDirProtected3=x\n")
        << QStringList{"@/Pic"} << QList<bool>{false};
}

void TestWorkspace::dirProtectedLoad()
{
    QFETCH(QByteArray, conf);
    QFETCH(QStringList, entries);
    QFETCH(QList<bool>, protectedFlags);
    WriteConf(Expand(QString::fromUtf8(conf), FRoot).toUtf8());
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    QCOMPARE(result.Box.Items, Expand(entries, FRoot));
    QCOMPARE(result.Box.Protected, protectedFlags);
}

void TestWorkspace::dirProtectedSaveRoundTrip()
{
    TFakeControls controls;
    TRecordingMessages messages;
    QList<QByteArray> four;
    for (const char* dir : {"@/Photos", "@/Pic", "@/data", "@/Pictures"})
        four.append(QFile::encodeName(Expand(QString::fromLatin1(dir), FRoot)));
    SaveOptions(*OpenOptionsStore(), controls, four, {true, false, false, true}, messages);
    QStringList lines = QString::fromUtf8(ReadConf()).split('\n');
    for (const char* line : {"DirProtected1=true", "DirProtected2=false", "DirProtected4=true"})
        QVERIFY2(lines.contains(QString::fromLatin1(line)), line);
    // A shorter list: each of its positions is written again, so the old
    // flag of position 1 does not protect the entry saved there now; the
    // flags beyond it stay behind DirCount, as the Dir values do.
    SaveOptions(*OpenOptionsStore(), controls, {four[1], four[0]}, {false, true}, messages);
    lines = QString::fromUtf8(ReadConf()).split('\n');
    QVERIFY(lines.contains("DirProtected1=false"));
    QVERIFY(lines.contains("DirProtected4=true"));
    TLoadResult result;
    Load(result);
    QCOMPARE(result.Error, QString());
    QCOMPARE(result.Box.Items, Expand(QStringList{"@/Pic", "@/Photos"}, FRoot));
    QCOMPARE(result.Box.Protected, (QList<bool>{false, true}));
    QCOMPARE(messages.Informations.size(), 2);
}

} // namespace quorvane
