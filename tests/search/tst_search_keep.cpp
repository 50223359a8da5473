// The keep rules of "Select Duplicates": each rule with its ties (first
// listed wins), protected rows never selected, a fully protected group left
// alone, the names of one file kept or marked together, groups by number
// wherever a sort put their rows, and the rule names
// and numbers that the command line and the options store use.
#include "KeepRules.h"

#include <QTest>
#include <map>

using namespace quorvane;

namespace {

// Rows from "dir|name|size|modified|group|pixels|file|disk|taken"; a directory
// starting with "/safe" is protected; rows of one file number are names of
// one file (hard links), each row is a file of its own without one; disk g
// or c marks a file gone or changed since the search; taken is the capture
// time (empty: the file has no capture date).
struct TCase {
    std::vector<TFileRecord> Rows;
    std::map<std::string, std::uint64_t> Pixels; // by path
    std::map<std::string, std::int64_t> Taken;   // by path, dated files only
};

TCase Rows(const QStringList& recipes)
{
    TCase c;
    for (const QString& recipe : recipes) {
        const QStringList f = recipe.split('|');
        TFileRecord row;
        row.Directory = std::make_shared<const std::string>(f[0].toStdString());
        row.Name = f[1].toStdString();
        row.Size = f[2].toULongLong();
        row.ModifiedNs = f[3].toLongLong();
        row.Group = f[4].toUInt();
        row.Device = 1;
        row.Inode = f.value(6).isEmpty() ? c.Rows.size() + 1 : 1000 + f[6].toULongLong();
        c.Pixels[row.FullPath()] = f.value(5).toULongLong();
        if (!f.value(8).isEmpty()) c.Taken[row.FullPath()] = f[8].toLongLong();
        const QString disk = f.value(7);
        row.DiskState = disk == "g" ? kDiskGone : disk == "c" ? kDiskChanged : kDiskAsListed;
        c.Rows.push_back(row);
    }
    return c;
}

QList<int> Selected(const TCase& c, TKeepRule rule)
{
    TKeepFacts facts;
    facts.IsProtected = [](const TFileRecord& row) { return row.DirectoryText().rfind("/safe", 0) == 0; };
    facts.Pixels = [&c](const TFileRecord& row) { return c.Pixels.at(row.FullPath()); };
    facts.CaptureTime = [&c](const TFileRecord& row) -> std::optional<std::int64_t> {
        const auto taken = c.Taken.find(row.FullPath());
        if (taken == c.Taken.end()) return std::nullopt;
        return taken->second;
    };
    QList<int> rows;
    for (const std::size_t row : DuplicateRows(c.Rows, TSearchCriteria{}, rule, facts))
        rows << int(row);
    return rows;
}

} // namespace

class TestSearchKeep : public QObject {
    Q_OBJECT

  private slots:
    void rules_data();
    void rules();
    void neighbourGroupsWithoutNumbers();
    void namesAndNumbers();
};

void TestSearchKeep::rules_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("rule");
    QTest::addColumn<QList<int>>("selected");
    const QStringList times{"/d|a|5|30|1", "/d|b|5|10|1", "/d|c|5|30|1", "/d|d|5|10|1"};
    QTest::newRow("first listed") << times << 0 << QList<int>{1, 2, 3};
    QTest::newRow("newest, tie to the first") << times << 1 << QList<int>{1, 2, 3};
    QTest::newRow("oldest, tie to the first") << times << 2 << QList<int>{0, 2, 3};
    const QStringList pictures{"/d|a.jpg|9|0|1|100", "/d|b.jpg|5|0|1|400", "/d|c.jpg|7|0|1|400",
                               "/d|x.txt|3|0|2|0",   "/d|y.txt|8|0|2|0",   "/d|z.txt|8|0|2|0"};
    QTest::newRow("most pixels, then largest file") << pictures << 3 << QList<int>{0, 1, 3, 5};
    const QStringList paths{"/long/dir|a|5|0|1", "/d|bb|5|0|1", "/d|c|5|0|1", "/e|c|5|0|1"};
    QTest::newRow("shortest path, tie to the first") << paths << 4 << QList<int>{0, 1, 3};
    const QStringList guarded{"/d|a|5|0|1",    "/safe|b|5|0|1", "/d|c|5|0|1", "/safe|d|5|0|1",
                              "/safe|e|6|0|2", "/safe|f|6|0|2", "/d|g|7|0|3", "/d|h|7|0|3"};
    QTest::newRow("protected kept, others too") << guarded << 5 << QList<int>{0, 2, 7};
    QTest::newRow("protected never selected") << guarded << 0 << QList<int>{2, 7};
    // Capture dates, not modification times: the photo taken first stays.
    const QStringList photos{"/d|a|5|10|1||||300", "/d|b|5|90|1||||-20", "/d|c|5|50|1||||100"};
    QTest::newRow("oldest capture, before 1970 too") << photos << 6 << QList<int>{0, 2};
    const QStringList undated{"/d|a|5|10|1", "/d|b|5|20|1||||700", "/d|c|5|30|1", "/d|d|5|40|1||||900"};
    QTest::newRow("oldest capture, undated files last") << undated << 6 << QList<int>{0, 2, 3};
    const QStringList tied{"/d|a|5|10|1", "/d|b|5|20|1||||5", "/d|c|5|30|1||||5", "/d|x|6|0|2", "/d|y|6|0|2"};
    QTest::newRow("oldest capture, ties to the first") << tied << 6 << QList<int>{0, 2, 4};
    QTest::newRow("oldest capture passes over a changed row")
        << QStringList{"/d|a|5|0|1|||c|1", "/d|b|5|0|1||||9", "/d|c|5|0|1||||3"} << 6 << QList<int>{1};
    // A kept file keeps all its names; every name of the others is marked.
    const QStringList linked{"/a|1|5|10|1||1", "/b|1|5|10|1||1", "/c|1|5|30|1||2", "/a|2|5|20|1||3",
                             "/b|2|5|20|1||3"};
    QTest::newRow("names of the kept file all kept") << linked << 1 << QList<int>{0, 1, 3, 4};
    QTest::newRow("names of the first listed file kept") << linked << 0 << QList<int>{2, 3, 4};
    QTest::newRow("oldest file: both its names kept") << linked << 2 << QList<int>{2, 3, 4};
    QTest::newRow("numbered group spread by a sort")
        << QStringList{"/d|a|5|0|1", "/d|b|5|0|2", "/d|c|5|0|1", "/d|d|5|0|2", "/d|e|5|0|3"} << 0
        << QList<int>{2, 3};
    QTest::newRow("gone and changed rows neither kept nor selected")
        << QStringList{"/d|a|5|0|1|||g", "/d|b|5|0|1", "/d|c|5|0|1|||c", "/d|d|5|0|1"} << 0 << QList<int>{3};
    QTest::newRow("a group left with one matching row gets no selection")
        << QStringList{"/d|a|5|0|1|||g", "/d|b|5|0|1", "/d|x|6|0|2", "/d|y|6|0|2"} << 0 << QList<int>{3};
    QTest::newRow("newest passes over a changed row")
        << QStringList{"/d|a|5|90|1|||c", "/d|b|5|10|1", "/d|c|5|30|1"} << 1 << QList<int>{1};
}

void TestSearchKeep::rules()
{
    QFETCH(QStringList, rows);
    QFETCH(int, rule);
    QFETCH(QList<int>, selected);
    const TCase c = Rows(rows);
    QCOMPARE(Selected(c, KeepRuleFromNumber(rule)), selected);
}

void TestSearchKeep::neighbourGroupsWithoutNumbers()
{
    // "List All" rows carry no numbers: runs of one size form the groups.
    const TCase c = Rows({"/d|a|5|0|0", "/d|b|5|0|0", "/d|c|6|0|0", "/d|d|5|0|0"});
    TSearchCriteria bySize;
    bySize.Size = true;
    const std::vector<std::size_t> rows = DuplicateRows(c.Rows, bySize, TKeepRule::FirstListed, {});
    QCOMPARE(rows, std::vector<std::size_t>{1});
    const TSearchCriteria none{.Name = false, .Size = false};
    QVERIFY(DuplicateRows(c.Rows, none, TKeepRule::FirstListed, {}).empty());
}

void TestSearchKeep::namesAndNumbers()
{
    for (int k = 0; k < kKeepRuleCount; ++k) {
        const TKeepRule rule = KeepRuleFromNumber(k);
        QCOMPARE(static_cast<int>(rule), k);
        QCOMPARE(KeepRuleFromName(KeepRuleName(rule)), std::optional<TKeepRule>(rule));
    }
    QCOMPARE(KeepRuleFromNumber(-1), TKeepRule::FirstListed);
    QCOMPARE(KeepRuleFromNumber(kKeepRuleCount), TKeepRule::FirstListed);
    QCOMPARE(KeepRuleFromName("largest"), std::optional<TKeepRule>(TKeepRule::LargestPicture));
    QVERIFY(!KeepRuleFromName("Newest"));
    QCOMPARE(KeepRuleFromName("oldest-capture"), std::optional<TKeepRule>(TKeepRule::OldestCapture));
    QCOMPARE(KeepRuleFromNumber(6), TKeepRule::OldestCapture);
}

QTEST_GUILESS_MAIN(TestSearchKeep)
#include "tst_search_keep.moc"
