// The result list's logic over plain rows: the comparison of every sort mode,
// the stable sort, the column-click rule, group agreement, and the targets
// of "Next Group" and "Prior Group", the rows "Remove Group" takes, and
// the CSV export's fields.
#include "ListSort.h"
#include "ResultExport.h"
#include "ResultRows.h"

#include <QTest>

using namespace quorvane;

namespace {

// Rows from "name|size|time" texts, all in directory "/d" unless given as
// a fourth field; a fifth field is the row's group number.
std::vector<TFileRecord> Rows(const QStringList& rowTexts)
{
    std::vector<TFileRecord> rows;
    for (const QString& recipe : rowTexts) {
        const QStringList f = recipe.split('|');
        TFileRecord row;
        row.Name = f.value(0).toStdString();
        row.Size = f.value(1).toULongLong();
        row.TimeKey = f.value(2).toLongLong();
        row.Directory = std::make_shared<const std::string>(f.size() > 3 ? f[3].toStdString() : "/d");
        row.Group = f.value(4).toUInt();
        rows.push_back(row);
    }
    return rows;
}

QStringList NamesOf(const std::vector<TFileRecord>& rows)
{
    QStringList names;
    for (const TFileRecord& row : rows)
        names << QString::fromStdString(row.Name);
    return names;
}

TSearchCriteria Ticked(const QString& letters)
{
    return TSearchCriteria{
        .Name = letters.contains('N'), .Size = letters.contains('S'), .Time = letters.contains('T')};
}

} // namespace

class TestSearchRows : public QObject {
    Q_OBJECT

  private slots:
    void compare_data();
    void compare();
    void sortModes_data();
    void sortModes();
    void sortedOrderIsAPermutation();
    void fastSortAgreesAtTheFoldedPrefix_data();
    void fastSortAgreesAtTheFoldedPrefix();
    void columnClick_data();
    void columnClick();
    void rowsAgree_data();
    void rowsAgree();
    void groupNumbersTravelWithRows();
    void nextGroup_data();
    void nextGroup();
    void priorGroup_data();
    void rowsOfGroups_data();
    void rowsOfGroups();
    void csvFields_data();
    void csvFields();
    void priorGroup();
};

void TestSearchRows::compare_data()
{
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("sign");
    QTest::newRow("name asc, case folded") << "apple|1|1"
                                           << "BANANA|1|1" << 0 << -1;
    QTest::newRow("name desc") << "apple|1|1"
                               << "BANANA|1|1" << 1 << 1;
    QTest::newRow("name equal ignoring case") << "Photo|1|1"
                                              << "pHOTO|1|1" << 0 << 0;
    QTest::newRow("directory asc") << "a|1|1|/b"
                                   << "a|1|1|/A" << 2 << 1;
    QTest::newRow("directory desc") << "a|1|1|/b"
                                    << "a|1|1|/A" << 3 << -1;
    QTest::newRow("size numeric, not text") << "a|9|1"
                                            << "a|10|1" << 4 << -1;
    QTest::newRow("size desc") << "a|9|1"
                               << "a|10|1" << 5 << 1;
    QTest::newRow("size equal") << "a|7|1"
                                << "b|7|1" << 4 << 0;
    QTest::newRow("size beyond 32 bits") << "a|5368709120|1"
                                         << "b|2147483647|1" << 4 << 1;
    QTest::newRow("type asc") << "a.JPG|1|1"
                              << "b.gif|1|1" << 6 << 1;
    QTest::newRow("type desc") << "a.JPG|1|1"
                               << "b.gif|1|1" << 7 << -1;
    QTest::newRow("type none first") << "README|1|1"
                                     << "b.gif|1|1" << 6 << -1;
    QTest::newRow("time asc") << "a|1|202301010000"
                              << "b|1|199912312359" << 8 << 1;
    QTest::newRow("time desc") << "a|1|202301010000"
                               << "b|1|199912312359" << 9 << -1;
}

void TestSearchRows::compare()
{
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(int, mode);
    QFETCH(int, sign);
    const std::vector<TFileRecord> rows = Rows({x, y});
    const int result = lvFilesCompare(rows[0], rows[1], mode);
    QCOMPARE((result > 0) - (result < 0), sign);
}

void TestSearchRows::sortModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("expected");
    // Rows b, c, a have size 5; the sort keeps their relative order.
    QTest::newRow("name asc") << 0 << QStringList{"a", "B", "c", "d", "e"};
    QTest::newRow("name desc") << 1 << QStringList{"e", "d", "c", "B", "a"};
    QTest::newRow("size asc, equal sizes keep order") << 4 << QStringList{"d", "B", "c", "a", "e"};
    QTest::newRow("size desc, equal sizes keep order") << 5 << QStringList{"e", "B", "c", "a", "d"};
    QTest::newRow("time asc") << 8 << QStringList{"e", "d", "a", "B", "c"};
}

void TestSearchRows::sortModes()
{
    QFETCH(int, mode);
    QFETCH(QStringList, expected);
    std::vector<TFileRecord> rows = Rows({"B|5|3", "c|5|4", "a|5|2", "d|1|1", "e|100|0"});
    SortRows(rows, mode);
    QCOMPARE(NamesOf(rows), expected);
}

void TestSearchRows::sortedOrderIsAPermutation()
{
    const std::vector<TFileRecord> rows = Rows({"c|3|0", "a|1|0", "b|2|0"});
    QCOMPARE(SortedOrder(rows, 0), std::vector<std::size_t>({1, 2, 0}));
    QCOMPARE(SortedOrder(rows, 5), std::vector<std::size_t>({0, 2, 1}));
    QVERIFY(SortedOrder({}, 0).empty());
}

void TestSearchRows::fastSortAgreesAtTheFoldedPrefix_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("names");
    // The keyed sort settles texts by their first 16 folded bytes; a text of
    // exactly 16 bytes shares its key with every longer text it begins, so
    // the longer one must still sort after it.
    const QStringList names{"abcdefghijklmnopq", "ABCDEFGHIJKLMNOP", "abcdefghijklmnop", "abcdefghijklmno",
                            "ABCDEFGHIJKLMNOPA"};
    const QStringList types{"x.abcdefghijklmnop", "y.ABCDEFGHIJKLMNO", "z.abcdefghijklmno",
                            "w.Abcdefghijklmnopq"};
    for (int mode : {0, 1}) {
        QTest::addRow("names of 15 to 17 bytes, mode %d", mode) << mode << names;
        QTest::addRow("types of 15 to 17 bytes, mode %d", mode + 6) << mode + 6 << types;
    }
}

void TestSearchRows::fastSortAgreesAtTheFoldedPrefix()
{
    QFETCH(int, mode);
    QFETCH(QStringList, names);
    std::vector<TFileRecord> rows = Rows(names);
    QCOMPARE(FastSortedOrder(rows, mode), SortedOrder(rows, mode));
    std::reverse(rows.begin(), rows.end());
    QCOMPARE(FastSortedOrder(rows, mode), SortedOrder(rows, mode));
}

void TestSearchRows::columnClick_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("next");
    QTest::newRow("first click on Name after start is descending") << 0 << 0 << 1;
    QTest::newRow("second click on Name is ascending") << 1 << 0 << 0;
    QTest::newRow("first click on Size is ascending") << 1 << 2 << 4;
    QTest::newRow("second click on Size is descending") << 4 << 2 << 5;
    QTest::newRow("third click on Size is ascending") << 5 << 2 << 4;
    QTest::newRow("another column starts ascending") << 5 << 4 << 8;
}

void TestSearchRows::columnClick()
{
    QFETCH(int, current);
    QFETCH(int, column);
    QFETCH(int, next);
    QCOMPARE(SortModeAfterColumnClick(current, column), next);
}

void TestSearchRows::rowsAgree_data()
{
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<bool>("agree");
    QTest::newRow("name folded") << "N"
                                 << "Photo.JPG|1|1"
                                 << "photo.jpg|2|2" << true;
    QTest::newRow("name beyond ASCII") << "N"
                                       << "\xc3\xa9|1|1"
                                       << "\xc3\x89|1|1" << false;
    QTest::newRow("size") << "S"
                          << "a|5|1"
                          << "b|5|2" << true;
    QTest::newRow("size differs") << "S"
                                  << "a|5|1"
                                  << "a|6|1" << false;
    QTest::newRow("name and time") << "NT"
                                   << "a|5|1"
                                   << "A|6|1" << true;
    QTest::newRow("name and time, time differs") << "NT"
                                                 << "a|5|1"
                                                 << "a|5|2" << false;
    QTest::newRow("nothing ticked: never") << ""
                                           << "a|5|1"
                                           << "a|5|1" << false;
}

void TestSearchRows::rowsAgree()
{
    QFETCH(QString, ticked);
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(bool, agree);
    const std::vector<TFileRecord> rows = Rows({x, y});
    QCOMPARE(RowsAgree(rows[0], rows[1], Ticked(ticked)), agree);
}

namespace {

// A A B B B by name; C alone between two groups in the longer list.
const QStringList kAABBB{"A|1|0", "a|2|0", "B|1|0", "b|2|0", "B|3|0"};
const QStringList kWithSingle{"A|1|0", "A|1|0", "C|1|0", "B|1|0", "B|1|0"};
// Two groups of one size (contents told them apart), then a third group.
const QStringList kNumbered{"a|5|0|/d|1", "b|5|0|/d|1", "c|5|0|/d|2",
                            "d|5|0|/d|2", "e|7|0|/d|3", "f|7|0|/d|3"};

} // namespace

void TestSearchRows::nextGroup_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<int>("focused");
    QTest::addColumn<int>("target");
    QTest::newRow("first A to first B") << kAABBB << "N" << 0 << 2;
    QTest::newRow("second A to first B") << kAABBB << "N" << 1 << 2;
    QTest::newRow("second B stays (last group)") << kAABBB << "N" << 3 << 3;
    QTest::newRow("last row: nothing") << kAABBB << "N" << 4 << -1;
    QTest::newRow("no focus: nothing") << kAABBB << "N" << -1 << -1;
    QTest::newRow("nothing ticked: next row") << kAABBB << "" << 0 << 1;
    QTest::newRow("size ticked: other bounds") << kAABBB << "S" << 0 << 1;
    QTest::newRow("onto a single row") << kWithSingle << "N" << 1 << 2;
    QTest::newRow("over a single row") << kWithSingle << "N" << 2 << 3;
    QTest::newRow("numbered: one size, first to second group") << kNumbered << "S" << 0 << 2;
    QTest::newRow("numbered: second to third group") << kNumbered << "S" << 3 << 4;
    QTest::newRow("numbered: nothing ticked still by group") << kNumbered << "" << 0 << 2;
}

void TestSearchRows::nextGroup()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, ticked);
    QFETCH(int, focused);
    QFETCH(int, target);
    QCOMPARE(NextGroupTarget(Rows(rows), focused, Ticked(ticked)), std::ptrdiff_t{target});
}

void TestSearchRows::priorGroup_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<int>("focused");
    QTest::addColumn<int>("target");
    QTest::newRow("second B to first A") << kAABBB << "N" << 3 << 0;
    QTest::newRow("first B to first A") << kAABBB << "N" << 2 << 0;
    QTest::newRow("second A to first A") << kAABBB << "N" << 1 << 0;
    QTest::newRow("row 0: nothing") << kAABBB << "N" << 0 << -1;
    QTest::newRow("no focus: nothing") << kAABBB << "N" << -1 << -1;
    QTest::newRow("beyond the rows: nothing") << kAABBB << "N" << 5 << -1;
    QTest::newRow("lands on a single-row group") << kWithSingle << "N" << 4 << 2;
    QTest::newRow("from a single row to the group before") << kWithSingle << "N" << 2 << 0;
    QTest::newRow("nothing ticked: the row before") << kAABBB << "" << 3 << 2;
    QTest::newRow("name and size: every row its own group") << kAABBB << "NS" << 4 << 3;
    QTest::newRow("numbered: second group to first") << kNumbered << "S" << 3 << 0;
    QTest::newRow("numbered: third group to second") << kNumbered << "S" << 4 << 2;
}

void TestSearchRows::priorGroup()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, ticked);
    QFETCH(int, focused);
    QFETCH(int, target);
    QCOMPARE(PriorGroupTarget(Rows(rows), focused, Ticked(ticked)), std::ptrdiff_t{target});
}

void TestSearchRows::groupNumbersTravelWithRows()
{
    std::vector<TFileRecord> rows = Rows({"d|5|0", "c|5|0", "b|5|0", "a|5|0", "e|6|0"});
    NumberGroups(rows, {0, 2, 4});
    QCOMPARE(HasGroupNumbers(rows), true);
    SortRows(rows, 0); // by name: a b c d e
    QList<std::uint32_t> groups;
    for (const TFileRecord& row : rows)
        groups << row.Group;
    QCOMPARE(groups, (QList<std::uint32_t>{2, 2, 1, 1, 3}));
    QCOMPARE(GroupBounds(rows, 1, Ticked("S")), (std::pair<std::size_t, std::size_t>{0, 2}));
    QCOMPARE(GroupBounds(rows, 3, Ticked("S")), (std::pair<std::size_t, std::size_t>{2, 4}));
    QCOMPARE(GroupBounds(rows, 5, Ticked("S")), (std::pair<std::size_t, std::size_t>{0, 0}));
    // Without numbers the neighbour rule joins the four rows of one size.
    const std::vector<TFileRecord> plain = Rows({"d|5|0", "c|5|0", "b|5|0", "a|5|0", "e|6|0"});
    QCOMPARE(HasGroupNumbers(plain), false);
    QCOMPARE(GroupBounds(plain, 1, Ticked("S")), (std::pair<std::size_t, std::size_t>{0, 4}));
}

QTEST_GUILESS_MAIN(TestSearchRows)

// The rows "Remove Group" takes: names of the rows left, so a wrong bound
// or a group met again after a sort shows in the text.
void TestSearchRows::rowsOfGroups_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<QList<int>>("chosen");
    QTest::addColumn<QString>("taken");
    QTest::newRow("numbered: one row takes its group") << kNumbered << "S" << QList<int>{1} << "a b";
    QTest::newRow("numbered: two groups, no repeats") << kNumbered << "S" << QList<int>{0, 5, 1} << "a b e f";
    QTest::newRow("numbered: a group scattered by a sort")
        << QStringList{"a|5|0|/d|1", "e|7|0|/d|3", "b|5|0|/d|1", "c|5|0|/d|2"} << "" << QList<int>{2}
        << "a b";
    QTest::newRow("unnumbered: the run of the ticked criteria") << kAABBB << "N" << QList<int>{3} << "B b B";
    QTest::newRow("unnumbered: a row of its own") << kWithSingle << "N" << QList<int>{2} << "C";
    QTest::newRow("out of range ignored") << kNumbered << "S" << QList<int>{-1, 6, 4} << "e f";
    QTest::newRow("nothing chosen") << kNumbered << "S" << QList<int>{} << "";
}

void TestSearchRows::rowsOfGroups()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, ticked);
    QFETCH(QList<int>, chosen);
    QFETCH(QString, taken);
    const std::vector<TFileRecord> records = Rows(rows);
    QStringList names;
    for (const int row :
         RowsOfGroups(records, std::vector<int>(chosen.begin(), chosen.end()), Ticked(ticked)))
        names << QString::fromStdString(records[static_cast<std::size_t>(row)].Name);
    QCOMPARE(names.join(' '), taken);
}

namespace {

// The reading a user's program does: one RFC 4180 field (unquoted, quotes
// undoubled), then the documented escapes \\ and \xHH undone.
QByteArray ReadCsvField(const QByteArray& text)
{
    QByteArray field = text;
    if (field.startsWith('"') && field.endsWith('"') && field.size() >= 2)
        field = field.mid(1, field.size() - 2).replace("\"\"", "\"");
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size() && field[i + 1] == '\\') {
            bytes += '\\';
            ++i;
        } else if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x') {
            bytes += char(field.mid(i + 2, 2).toInt(nullptr, 16));
            i += 3;
        } else {
            bytes += field[i];
        }
    }
    return bytes;
}

} // namespace

// Each field comes back whole, and is quoted exactly when it must be.
void TestSearchRows::csvFields_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("plain") << QByteArray("IMG_0001.jpg") << QByteArray("IMG_0001.jpg");
    QTest::newRow("comma") << QByteArray("a,b.jpg") << QByteArray("\"a,b.jpg\"");
    QTest::newRow("quotes doubled") << QByteArray("say \"hi\".txt") << QByteArray("\"say \"\"hi\"\".txt\"");
    QTest::newRow("line feed") << QByteArray("two\nlines") << QByteArray("\"two\nlines\"");
    QTest::newRow("carriage return") << QByteArray("cr\rhere") << QByteArray("\"cr\rhere\"");
    QTest::newRow("tab inside") << QByteArray("a\tb") << QByteArray("a\tb");
    QTest::newRow("blank at an end") << QByteArray("name ") << QByteArray("\"name \"");
    QTest::newRow("backslash") << QByteArray("a\\b") << QByteArray("a\\\\b");
    QTest::newRow("Chinese") << QByteArray("相片.jpg") << QByteArray("相片.jpg");
    QTest::newRow("four-byte character")
        << QByteArray("\xF0\x9F\x93\xB7.jpg") << QByteArray("\xF0\x9F\x93\xB7.jpg");
    QTest::newRow("invalid byte") << QByteArray("x\xFF.jpg") << QByteArray("x\\xFF.jpg");
    QTest::newRow("cut sequence") << QByteArray("a\xE7\x9B") << QByteArray("a\\xE7\\x9B");
    QTest::newRow("overlong form") << QByteArray("\xC0\x80") << QByteArray("\\xC0\\x80");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QByteArray("\\xED\\xA0\\x80");
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << QByteArray("\\xF4\\x90\\x80\\x80");
    QTest::newRow("escape-like text") << QByteArray("\\xFF") << QByteArray("\\\\xFF");
}

void TestSearchRows::csvFields()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, written);
    std::string out;
    AppendCsvField(out, field.toStdString());
    QCOMPARE(QByteArray::fromStdString(out), written);
    QCOMPARE(ReadCsvField(QByteArray::fromStdString(out)), field);
}

#include "tst_search_rows.moc"
