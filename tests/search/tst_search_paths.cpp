// Path texts, the picture test, ASCII folding, percentages and the row texts:
// the rules every scan and search builds on, under Linux and Windows styles.
#include "FileScan.h"
#include "PathRules.h"
#include "ScanHost.h"
#include "SearchFixtures.h"
#include "TextCompare.h"

#include <QTest>
#include <cstdlib>
#include <ctime>

using namespace quorvane;

class TestSearchPaths : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void joinPath_data();
    void joinPath();
    void normaliseDirectory_data();
    void normaliseDirectory();
    void directoryPart_data();
    void directoryPart();
    void extensionAndPicture_data();
    void extensionAndPicture();
    void compareFolded_data();
    void compareFolded();
    void progressPercent_data();
    void progressPercent();
    void progressMeterReportsChangesWithEvenRepaints();
    void sizeText_data();
    void sizeText();
    void timeText_data();
    void timeText();
    void timeTextIsLocalTime();
    void scanTimeKeysAgreeWithLocaltime_data();
    void scanTimeKeysAgreeWithLocaltime();
};

void TestSearchPaths::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

Q_DECLARE_METATYPE(quorvane::PathStyle)

void TestSearchPaths::joinPath_data()
{
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("joined");
    QTest::newRow("posix plain") << PathStyle::Posix << "/pics"
                                 << "a.jpg"
                                 << "/pics/a.jpg";
    QTest::newRow("posix trailing slash") << PathStyle::Posix << "/pics/"
                                          << "a.jpg"
                                          << "/pics/a.jpg";
    QTest::newRow("posix root") << PathStyle::Posix << "/"
                                << "a.jpg"
                                << "/a.jpg";
    QTest::newRow("windows plain") << PathStyle::Windows << "C:\\Pics"
                                   << "a.jpg"
                                   << "C:\\Pics\\a.jpg";
    QTest::newRow("windows trailing backslash") << PathStyle::Windows << "C:\\Pics\\"
                                                << "a.jpg"
                                                << "C:\\Pics\\a.jpg";
    QTest::newRow("windows drive root") << PathStyle::Windows << "C:\\"
                                        << "a.jpg"
                                        << "C:\\a.jpg";
    QTest::newRow("windows slash is no separator") << PathStyle::Windows << "C:/x/"
                                                   << "a"
                                                   << "C:/x/\\a";
}

void TestSearchPaths::joinPath()
{
    QFETCH(PathStyle, style);
    QFETCH(QString, directory);
    QFETCH(QString, name);
    QFETCH(QString, joined);
    QCOMPARE(QString::fromStdString(JoinPath(directory.toStdString(), name.toStdString(), style)), joined);
}

void TestSearchPaths::normaliseDirectory_data()
{
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("posix trailing slash dropped") << PathStyle::Posix << "/pics/"
                                                  << "/pics";
    QTest::newRow("posix plain kept") << PathStyle::Posix << "/pics"
                                      << "/pics";
    QTest::newRow("posix root keeps its slash") << PathStyle::Posix << "/"
                                                << "/";
    QTest::newRow("posix empty stays empty") << PathStyle::Posix << ""
                                             << "";
    QTest::newRow("windows trailing backslash dropped") << PathStyle::Windows << "C:\\Pics\\"
                                                        << "C:\\Pics";
    QTest::newRow("windows drive gains backslash") << PathStyle::Windows << "C:"
                                                   << "C:\\";
    QTest::newRow("windows drive root kept") << PathStyle::Windows << "C:\\"
                                             << "C:\\";
    QTest::newRow("windows lower-case drive") << PathStyle::Windows << "c:"
                                              << "c:\\";
    QTest::newRow("windows UNC share gains backslash") << PathStyle::Windows << "\\\\srv\\share"
                                                       << "\\\\srv\\share\\";
    QTest::newRow("windows UNC share root kept") << PathStyle::Windows << "\\\\srv\\share\\"
                                                 << "\\\\srv\\share\\";
    QTest::newRow("windows UNC folder") << PathStyle::Windows << "\\\\srv\\share\\dir\\"
                                        << "\\\\srv\\share\\dir";
    QTest::newRow("windows subdirectory") << PathStyle::Windows << "C:\\Pics\\Sub"
                                          << "C:\\Pics\\Sub";
}

void TestSearchPaths::normaliseDirectory()
{
    QFETCH(PathStyle, style);
    QFETCH(QString, directory);
    QFETCH(QString, normalised);
    QCOMPARE(QString::fromStdString(NormaliseDirectory(directory.toStdString(), style)), normalised);
}

void TestSearchPaths::directoryPart_data()
{
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("directory");
    QTest::newRow("posix file in folder") << PathStyle::Posix << "/pics/a.jpg"
                                          << "/pics";
    QTest::newRow("posix file in root") << PathStyle::Posix << "/a.jpg"
                                        << "/";
    QTest::newRow("posix bare name") << PathStyle::Posix << "a.jpg"
                                     << "";
    QTest::newRow("windows file in folder") << PathStyle::Windows << "C:\\Pics\\a.jpg"
                                            << "C:\\Pics";
    QTest::newRow("windows file in drive root") << PathStyle::Windows << "C:\\a.jpg"
                                                << "C:\\";
    QTest::newRow("windows drive-relative") << PathStyle::Windows << "C:a.jpg"
                                            << "C:";
    QTest::newRow("windows UNC") << PathStyle::Windows << "\\\\srv\\share\\a.jpg"
                                 << "\\\\srv\\share";
}

void TestSearchPaths::directoryPart()
{
    QFETCH(PathStyle, style);
    QFETCH(QString, path);
    QFETCH(QString, directory);
    QCOMPARE(QString::fromStdString(DirectoryPart(path.toStdString(), style)), directory);
}

void TestSearchPaths::extensionAndPicture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("picture");
    QTest::newRow("jpg") << "a.jpg"
                         << ".jpg" << true;
    QTest::newRow("mixed-case Jpeg keeps case") << "a.Jpeg"
                                                << ".Jpeg" << true;
    QTest::newRow("WMF") << "a.WMF"
                         << ".WMF" << true;
    QTest::newRow("prefix .jp counts") << "a.jp"
                                       << ".jp" << true;
    QTest::newRow("prefix .J counts") << "a.J"
                                      << ".J" << true;
    QTest::newRow("tif is no picture") << "a.tif"
                                       << ".tif" << false;
    QTest::newRow("png is no picture") << "a.PNG"
                                       << ".PNG" << false;
    QTest::newRow("no extension") << "README"
                                  << "" << false;
    QTest::newRow("lone dot") << "notes."
                              << "." << false;
    QTest::newRow("last dot decides") << "a.gif.txt"
                                      << ".txt" << false;
    QTest::newRow("last dot decides picture") << "a.txt.gif"
                                              << ".gif" << true;
    QTest::newRow("hidden picture") << ".gif"
                                    << ".gif" << true;
    QTest::newRow("longer than any") << "a.BMPX"
                                     << ".BMPX" << false;
    QTest::newRow("spans two extensions") << "a.GIF.JPG"
                                          << ".JPG" << true;
}

void TestSearchPaths::extensionAndPicture()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(bool, picture);
    const std::string n = name.toStdString();
    QCOMPARE(QString::fromStdString(std::string(ExtensionOf(n))), type);
    QCOMPARE(IsPictureFile(n), picture);
}

void TestSearchPaths::compareFolded_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("ASCII case folds") << QByteArray("Photo.JPG") << QByteArray("pHOTO.jpg") << 0;
    QTest::newRow("accented case does not fold")
        << QByteArray("\xc3\xa9.jpg") << QByteArray("\xc3\x89.jpg") << 1;
    QTest::newRow("Big5 bytes compare exactly") << QByteArray("\xa4\x40") << QByteArray("\xa4\x41") << -1;
    QTest::newRow("prefix sorts first") << QByteArray("ab") << QByteArray("ab c") << -1;
    QTest::newRow("underscore after letters") << QByteArray("a_") << QByteArray("AZ") << 1;
    QTest::newRow("digits before letters") << QByteArray("9") << QByteArray("a") << -1;
    QTest::newRow("high bytes after ASCII") << QByteArray("\xff") << QByteArray("z") << 1;
}

void TestSearchPaths::compareFolded()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, sign);
    const std::string_view x(a.constData(), static_cast<std::size_t>(a.size()));
    const std::string_view y(b.constData(), static_cast<std::size_t>(b.size()));
    const int result = CompareFolded(x, y);
    QCOMPARE((result > 0) - (result < 0), sign);
    QCOMPARE(-((CompareFolded(y, x) > 0) - (CompareFolded(y, x) < 0)), sign);
    QCOMPARE(SameFolded(x, y), sign == 0);
}

void TestSearchPaths::progressPercent_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<QList<int>>("percentages");
    QTest::newRow("three directories") << 3 << QList<int>{33, 67, 100};
    QTest::newRow("eight directories, halves to even") << 8 << QList<int>{12, 25, 38, 50, 62, 75, 88, 100};
    QTest::newRow("one directory") << 1 << QList<int>{100};
    QTest::newRow("two hundred, first steps") << 200 << QList<int>{0, 1, 2, 2, 2, 3};
}

void TestSearchPaths::progressPercent()
{
    QFETCH(int, steps);
    QFETCH(QList<int>, percentages);
    for (int i = 0; i < percentages.size(); ++i)
        QCOMPARE(ProgressPercent(static_cast<std::size_t>(i), static_cast<std::size_t>(steps)),
                 percentages[i]);
    QCOMPARE(ProgressPercent(static_cast<std::size_t>(steps - 1), static_cast<std::size_t>(steps)), 100);
}

void TestSearchPaths::progressMeterReportsChangesWithEvenRepaints()
{
    test::TRecordingHost host;
    TProgressMeter meter(host, 1000);
    for (std::size_t i = 0; i < 1000; ++i)
        meter.Step(i);
    QCOMPARE(host.ShowCount, 1000);
    QCOMPARE(host.Percentages.size(), std::size_t{101}); // 0 to 100, each once
    for (std::size_t k = 0; k < host.Percentages.size(); ++k) {
        QCOMPARE(host.Percentages[k].first, static_cast<int>(k));
        QCOMPARE(host.Percentages[k].second, k % 2 == 0);
    }
}

void TestSearchPaths::sizeText_data()
{
    QTest::addColumn<qulonglong>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << 0ull << "0";
    QTest::newRow("no separators") << 1234567ull << "1234567";
    QTest::newRow("2 GiB") << 2147483648ull << "2147483648";
    QTest::newRow("5 GiB") << 5368709120ull << "5368709120";
    QTest::newRow("largest") << 18446744073709551615ull << "18446744073709551615";
}

void TestSearchPaths::sizeText()
{
    QFETCH(qulonglong, size);
    QFETCH(QString, text);
    TFileRecord row;
    row.Size = size;
    QCOMPARE(QString::fromStdString(row.SizeText()), text);
}

void TestSearchPaths::timeText_data()
{
    QTest::addColumn<qlonglong>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("seconds dropped (59)") << 1700057159ll << "2023/11/15 14:05";
    QTest::newRow("seconds dropped (00)") << 1700057100ll << "2023/11/15 14:05";
    QTest::newRow("epoch, before 1980") << 0ll << "1970/01/01 00:00";
    QTest::newRow("before the epoch") << -31536000ll << "1969/01/01 00:00";
    QTest::newRow("after 2107") << 7258118400ll << "2200/01/01 00:00";
    QTest::newRow("hour 23") << 1700092799ll << "2023/11/15 23:59";
}

void TestSearchPaths::timeText()
{
    QFETCH(qlonglong, seconds);
    QFETCH(QString, text);
    TFileRecord row;
    row.TimeKey = TimeKeyOf(seconds);
    QCOMPARE(QString::fromStdString(row.TimeText()), text);
}

void TestSearchPaths::timeTextIsLocalTime()
{
    // Eight hours east of UTC: 14:05 UTC is 22:05 local, and 20:00 UTC on
    // the 15th is already the 16th.
    qputenv("TZ", "TST-8");
    tzset();
    TFileRecord row;
    row.TimeKey = TimeKeyOf(1700057159);
    const std::string afternoon = row.TimeText();
    row.TimeKey = TimeKeyOf(1700078400);
    const std::string nextDay = row.TimeText();
    qputenv("TZ", "UTC");
    tzset();
    QCOMPARE(QString::fromStdString(afternoon), QString("2023/11/15 22:05"));
    QCOMPARE(QString::fromStdString(nextDay), QString("2023/11/16 04:00"));
}

void TestSearchPaths::scanTimeKeysAgreeWithLocaltime_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<qlonglong>("from");
    QTest::addColumn<qlonglong>("to");
    QTest::newRow("UTC, around the epoch") << QByteArray("UTC") << -400000000ll << 400000000ll;
    QTest::newRow("Berlin, summer time changes")
        << QByteArray("Europe/Berlin") << 1600000000ll << 1730000000ll;
    QTest::newRow("Lord Howe, half-hour summer time")
        << QByteArray("Australia/Lord_Howe") << 1600000000ll << 1730000000ll;
    QTest::newRow("Kathmandu, +5:45 since 1986")
        << QByteArray("Asia/Kathmandu") << 400000000ll << 600000000ll;
    QTest::newRow("Amsterdam, offsets in seconds (1890-1945)")
        << QByteArray("Europe/Amsterdam") << -2500000000ll << -780000000ll;
    QTest::newRow("Monrovia, -0:44:30 until 1972")
        << QByteArray("Africa/Monrovia") << -100000000ll << 100000000ll;
    QTest::newRow("leap seconds counted")
        << QByteArray("right/Europe/Berlin") << 1400000000ll << 1500000000ll;
    QTest::newRow("POSIX rule") << QByteArray("EST5EDT,M3.2.0,M11.1.0") << 1600000000ll << 1730000000ll;
}

// Every time the scan keys must be the key of localtime_r's own fields; the
// times step by a prime count of seconds, so each second of the minute and
// each minute of the hour come up across the range.
void TestSearchPaths::scanTimeKeysAgreeWithLocaltime()
{
    QFETCH(QByteArray, zone);
    QFETCH(qlonglong, from);
    QFETCH(qlonglong, to);
    qputenv("TZ", zone);
    tzset();
    TTimeKeys keys;
    constexpr qlonglong kStep = 1201;
    qlonglong firstWrong = 0;
    qint64 wrong = 0;
    for (qlonglong seconds = from; seconds < to; seconds += kStep) {
        const std::time_t t = static_cast<std::time_t>(seconds);
        std::tm local{};
        localtime_r(&t, &local);
        const qint64 expected = (local.tm_year + 1900ll) * 100000000 + (local.tm_mon + 1) * 1000000ll +
                                local.tm_mday * 10000ll + local.tm_hour * 100ll + local.tm_min;
        if (keys.KeyOf(seconds) != expected && wrong++ == 0) firstWrong = seconds;
    }
    qputenv("TZ", "UTC");
    tzset();
    QCOMPARE(firstWrong, 0ll);
    QCOMPARE(wrong, 0);
}

QTEST_GUILESS_MAIN(TestSearchPaths)
#include "tst_search_paths.moc"
