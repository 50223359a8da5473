// Tests of the window layer's widget-free rules, the result list model and
// the real message boxes.
#include "AppFakes.h"
#include "AppMessages.h"
#include "DesktopShell.h"
#include "FileCommands.h"
#include "FileListModel.h"
#include "ListSort.h"
#include "ResultRows.h"
#include "UpDown.h"
#include "WindowRules.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QIcon>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace quorvane;
using quorvane::test::MakeRecord;

class TestAppRules : public QObject {
    Q_OBJECT

  private slots:
    void logoLeft_data();
    void logoLeft();
    void applicationErrorText_data();
    void applicationErrorText();
    void totalFilesText();
    void longestSpaceRun_data();
    void longestSpaceRun();
    void upDownClampsWithoutWrapping();
    void fastOrderEqualsCoreOrder_data();
    void fastOrderEqualsCoreOrder();

    void modelPassesModelTester();
    void modelGroupMark();
    void modelShowsColumns();
    void modelShowsUndecodableNameAndKeepsBytes();
    void modelEditReportsWithoutRenaming();
    void modelReorderKeepsFocusAndSelection();
    void modelReorderRejectsNonPermutation();
    void modelRemovalReportsRange();

    void copyCheckPlanTakesWholeGroups();
    void longLinesAreElided();
    void messageBoxTitles_data();
    void messageBoxTitles();
};

void TestAppRules::logoLeft_data()
{
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<int>("expected");
    // Bevel3 at 632, 2 pixels wide; the logo is 115 wide: the free area
    // starts at 634.
    QTest::newRow("wide window centres") << 1280 << 634 + (1280 - 634 - 115) / 2;
    QTest::newRow("odd free width truncates") << 884 << 634 + 67;
    QTest::newRow("exactly fits") << 634 + 115 << 636;
    QTest::newRow("narrow window floors at bevel + 2") << 700 << 636;
    QTest::newRow("negative free width truncates toward zero") << 748 << 636;
    QTest::newRow("tiny window") << 10 << 636;
    QTest::newRow("floor boundary: centred result 636") << 634 + 115 + 4 << 636;
    QTest::newRow("just above the floor") << 634 + 115 + 6 << 637;
}

void TestAppRules::logoLeft()
{
    QFETCH(int, clientWidth);
    QFETCH(int, expected);
    QCOMPARE(CentredLogoLeft(clientWidth, 632, 2, 115), expected);
}

void TestAppRules::applicationErrorText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no full stop") << "Cannot open file /a/b.jpg"
                                  << "Cannot open file /a/b.jpg.";
    QTest::newRow("full stop kept") << "Stream read error."
                                    << "Stream read error.";
    QTest::newRow("question mark gets one") << "'' is not a valid integer value?"
                                            << "'' is not a valid integer value?.";
    QTest::newRow("ends in a path with dots") << "Cannot open file /x/a.b."
                                              << "Cannot open file /x/a.b.";
    QTest::newRow("empty") << ""
                           << ".";
}

void TestAppRules::applicationErrorText()
{
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QCOMPARE(ApplicationErrorText(message), expected);
}

void TestAppRules::totalFilesText()
{
    QCOMPARE(TotalFilesText(0), QStringLiteral("Total Files:0"));
    QCOMPARE(TotalFilesText(1000000), QStringLiteral("Total Files:1000000"));
}

void TestAppRules::longestSpaceRun_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::newRow("English delay label")
        << QString("Delay time:" + QString(20, ' ') + "mSeconds") << 11 << 20;
    QTest::newRow("Chinese delay label") << QString("動作前先等" + QString(17, ' ') + "/1000 秒") << 5 << 17;
    QTest::newRow("no space") << "abc" << 0 << 0;
    QTest::newRow("first of equal runs") << "a  b  c" << 1 << 2;
    QTest::newRow("trailing run") << "a b   " << 3 << 3;
}

void TestAppRules::longestSpaceRun()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    const TSpaceRun run = LongestSpaceRun(text);
    QCOMPARE(run.Length, length);
    if (length > 0) QCOMPARE(run.Start, start);
}

void TestAppRules::upDownClampsWithoutWrapping()
{
    TUpDown upDown;
    upDown.SetRange(0, 9999);
    upDown.SetIncrement(10);
    upDown.SetPosition(200);
    QSignalSpy changed(&upDown, &TUpDown::PositionChanged);
    upDown.StepBy(1);
    QCOMPARE(upDown.Position(), 210);
    upDown.SetPosition(9995);
    upDown.StepBy(1);
    QCOMPARE(upDown.Position(), 9999);
    upDown.StepBy(1); // at the top: no wrap to 0, no signal
    QCOMPARE(upDown.Position(), 9999);
    upDown.SetPosition(3);
    upDown.StepBy(-1);
    QCOMPARE(upDown.Position(), 0);
    upDown.StepBy(-2147483647);
    QCOMPARE(upDown.Position(), 0);
    QCOMPARE(changed.count(), 5); // 210, 9995, 9999, 3, 0
}

void TestAppRules::fastOrderEqualsCoreOrder_data()
{
    QTest::addColumn<int>("mode");
    const char* const names[] = {"Name asc",  "Name desc", "Directory asc", "Directory desc", "Size asc",
                                 "Size desc", "Type asc",  "Type desc",     "Time asc",       "Time desc"};
    for (int mode = 0; mode < 10; ++mode)
        QTest::newRow(names[mode]) << mode;
}

void TestAppRules::fastOrderEqualsCoreOrder()
{
    QFETCH(int, mode);
    // Rows that stress the keys: long common prefixes (beyond the 16 key
    // bytes), letter case, '_' against letters, bytes above 0x7F, prefixes of
    // one another, equal sizes and times, and equal directory texts held by
    // different strings.
    const char* const names[] = {"holiday_2019_beach_01.jpg",
                                 "HOLIDAY_2019_BEAC",
                                 "holiday_2019_beach",
                                 "holiday_2019_bea.jpg",
                                 "IMG_00001.jpg",
                                 "img_00001.JPG",
                                 "IMG_00001.jpeg",
                                 "IMG_0000",
                                 "img",
                                 "Img_a",
                                 "IMG[1].gif",
                                 "\xe4\xb8\xad.png",
                                 "a_b",
                                 "aB",
                                 "a",
                                 "",
                                 "README",
                                 "readme.",
                                 "x.Tar.GZ"};
    const char* const directories[] = {"/data/Pictures/2019", "/data/pictures/2019", "/data/pictures/2019/x",
                                       "/data/pic_tures", "/"};
    std::vector<std::shared_ptr<const std::string>> shared;
    for (const char* directory : directories)
        shared.push_back(std::make_shared<const std::string>(directory));
    std::vector<TFileRecord> rows;
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int i = 0; i < 600; ++i) {
        TFileRecord row =
            MakeRecord(names[next() % (sizeof names / sizeof *names)], next() % 4, 202001010000 + next() % 3);
        row.Directory = shared[next() % shared.size()];
        if (i % 7 == 0) // an equal text in a string of its own
            row.Directory = std::make_shared<const std::string>(*row.Directory);
        rows.push_back(row);
    }
    const std::vector<std::size_t> expected = SortedOrder(rows, mode);
    QVERIFY(FastSortedOrder(rows, mode) == expected);
    // Sorting the sorted rows again by another mode starts from a new order.
    std::vector<TFileRecord> sorted;
    for (std::size_t index : expected)
        sorted.push_back(rows[index]);
    const int other = (mode + 3) % 10;
    QVERIFY(FastSortedOrder(sorted, other) == SortedOrder(sorted, other));
    QVERIFY(FastSortedOrder({}, mode).empty());
}

void TestAppRules::modelPassesModelTester()
{
    TFileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetRows({MakeRecord("b.jpg", 5), MakeRecord("a.txt", 7)});
    std::vector<TFileRecord> more{MakeRecord("c.gif", 1), MakeRecord("d", 2)};
    model.AppendRows(std::move(more));
    QCOMPARE(model.rowCount(), 4);
    model.Reorder({3, 2, 1, 0});
    QCOMPARE(model.Row(0).Name, std::string("d"));
    QVERIFY(model.removeRows(1, 2));
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(!model.removeRows(1, 2)); // past the end
    QVERIFY(!model.removeRows(-1, 1));
    model.SetGroupMark(0, 5); // cut to the rows there are
    QVERIFY(model.GroupMarked(0) && model.GroupMarked(1));
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
}

// The focused group's mark is the view's: it repaints only the Name cells'
// pictures, skips a row whose file is gone, and leaves with a reorder.
void TestAppRules::modelGroupMark()
{
    TFileListModel model;
    model.SetRows(
        {MakeRecord("a.jpg", 1), MakeRecord("b.jpg", 1), MakeRecord("c.jpg", 1), MakeRecord("d", 2)});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QVariant plain = model.index(1, 0).data(Qt::DecorationRole);
    model.SetGroupMark(0, 2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(2).value<QList<int>>(), QList<int>{Qt::DecorationRole});
    QVERIFY(model.GroupMarked(1) && !model.GroupMarked(3));
    QVERIFY(model.index(1, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey() !=
            plain.value<QIcon>().cacheKey());
    QCOMPARE(model.Row(1).ImageIndex, MakeRecord("b.jpg", 1).ImageIndex); // the row itself is untouched
    model.SetDiskState(1, kDiskGone);
    QVERIFY(!model.GroupMarked(1) && model.GroupMarked(2));
    model.SetGroupMark(1, 3); // the old run and the new one are repainted
    QVERIFY(model.GroupMarked(3) && !model.GroupMarked(0));
    model.Reorder({3, 2, 1, 0});
    for (int row = 0; row < 4; ++row)
        QVERIFY(!model.GroupMarked(row));
}

void TestAppRules::modelShowsColumns()
{
    TFileListModel model;
    TFileRecord record = MakeRecord("Photo.JPG", 4294967296ull + 5, 199801020304, "/pics/trip");
    record.ImageIndex = kImagePicture;
    model.SetRows({record});
    const QStringList expected{"Photo.JPG", "/pics/trip", "4294967301", ".JPG", "1998/01/02 03:04"};
    for (int column = 0; column < 5; ++column)
        QCOMPARE(model.index(0, column).data().toString(), expected[column]);
    const QStringList captions{"Name", "Directory", "Size", "Type", "Time"};
    for (int column = 0; column < 5; ++column)
        QCOMPARE(model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), captions[column]);
    QCOMPARE(model.index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
             int(Qt::AlignRight));
    QCOMPARE(model.index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
             int(Qt::AlignLeft));
    QVERIFY(!model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!model.index(0, 1).data(Qt::DecorationRole).isValid());
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    for (int column = 1; column < 5; ++column)
        QVERIFY(!(model.flags(model.index(0, column)) & Qt::ItemIsEditable));
}

void TestAppRules::modelShowsUndecodableNameAndKeepsBytes()
{
    TFileListModel model;
    const std::string latin1Name = "caf\xe9.jpg"; // not valid UTF-8
    model.SetRows({MakeRecord(latin1Name, 1)});
    // The display text is only for the eye (the odd byte shows as a
    // replacement character); the row keeps the very bytes on the disk.
    const QString shown = model.index(0, 0).data().toString();
    QVERIFY(shown.startsWith(QStringLiteral("caf")));
    QVERIFY(shown.endsWith(QStringLiteral(".jpg")));
    QCOMPARE(shown.size(), 8);
    QCOMPARE(model.Row(0).Name, latin1Name);
    QCOMPARE(model.index(0, 3).data().toString(), QStringLiteral(".jpg"));
}

void TestAppRules::modelEditReportsWithoutRenaming()
{
    TFileListModel model;
    model.SetRows({MakeRecord("old.jpg", 1)});
    QSignalSpy edited(&model, &TFileListModel::NameEdited);
    QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("new.jpg"), Qt::EditRole));
    QCOMPARE(edited.count(), 1);
    QCOMPARE(edited.at(0).at(0).toInt(), 0);
    QCOMPARE(edited.at(0).at(1).toString(), QStringLiteral("new.jpg"));
    QCOMPARE(model.Row(0).Name, std::string("old.jpg"));
    QVERIFY(!model.setData(model.index(0, 1), QStringLiteral("x"), Qt::EditRole));
    QCOMPARE(edited.count(), 1);
}

void TestAppRules::modelReorderKeepsFocusAndSelection()
{
    TFileListModel model;
    model.SetRows({MakeRecord("a", 1), MakeRecord("b", 2), MakeRecord("c", 3), MakeRecord("d", 4)});
    QItemSelectionModel selection(&model);
    selection.setCurrentIndex(model.index(1, 0), QItemSelectionModel::NoUpdate);
    selection.select(model.index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    model.Reorder({3, 2, 1, 0}); // d c b a
    QCOMPARE(selection.currentIndex().row(), 2);
    QCOMPARE(model.Row(selection.currentIndex().row()).Name, std::string("b"));
    const QModelIndexList selected = selection.selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(model.Row(selected.first().row()).Name, std::string("d"));
}

void TestAppRules::modelReorderRejectsNonPermutation()
{
    TFileListModel model;
    model.SetRows({MakeRecord("a", 1), MakeRecord("b", 2), MakeRecord("c", 3)});
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
    model.Reorder({0, 0, 1}); // a repeated index
    model.Reorder({0, 1, 7}); // out of range
    model.Reorder({0, 1});    // too short
    QCOMPARE(layout.count(), 0);
    QCOMPARE(model.Row(0).Name, std::string("a"));
    QCOMPARE(model.Row(2).Name, std::string("c"));
}

void TestAppRules::modelRemovalReportsRange()
{
    TFileListModel model;
    model.SetRows({MakeRecord("a", 1), MakeRecord("b", 2), MakeRecord("c", 3)});
    QSignalSpy removing(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
    int countDuringSignal = -1;
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [&] { countDuringSignal = model.rowCount(); });
    QVERIFY(model.removeRow(1));
    QCOMPARE(removing.count(), 1);
    QCOMPARE(removing.at(0).at(1).toInt(), 1);
    QCOMPARE(removing.at(0).at(2).toInt(), 1);
    QCOMPARE(countDuringSignal, 3); // still counted when the notification comes
    QCOMPARE(model.Row(1).Name, std::string("c"));
}

void TestAppRules::messageBoxTitles_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");
    QTest::newRow("error") << 0 << "您必須至少打一個勾"
                           << "Error"
                           << "您必須至少打一個勾";
    QTest::newRow("information") << 1 << "saved"
                                 << "Information"
                                 << "saved";
    QTest::newRow("application error adds a full stop") << 2 << "Cannot open file /a"
                                                        << "Quorvane"
                                                        << "Cannot open file /a.";
}

void TestAppRules::messageBoxTitles()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(QString, shown);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    TMessageBoxes boxes(nullptr);
    QString seenTitle;
    QString seenText;
    int seenButtons = 0;
    // The box is modal: read it and close it from a timer inside its loop.
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenButtons = static_cast<int>(box->buttons().size());
        box->accept();
    });
    if (kind == 0)
        boxes.ShowError(text);
    else if (kind == 1)
        boxes.ShowInformation(text);
    else
        boxes.ShowApplicationError(text);
    QCOMPARE(seenTitle, title);
    QCOMPARE(seenText, shown);
    QCOMPARE(seenButtons, 1);
}

// A numbered group is checked whole, wherever a sort put its rows; rows
// without a number, and groups nothing is deleted from, are not checked.
void TestAppRules::copyCheckPlanTakesWholeGroups()
{
    std::vector<TFileRecord> rows;
    for (const auto& [name, group] : std::vector<std::pair<std::string, std::uint32_t>>{
             {"a1", 1}, {"b1", 2}, {"b2", 2}, {"a2", 1}, {"c1", 3}, {"c2", 3}, {"loose", 0}}) {
        rows.push_back(quorvane::test::MakeRecord(name, 10));
        rows.back().Group = group;
    }
    const TCopyCheckPlan plan = CopyCheckPlan(rows, {3, 6, 1}, true);
    QCOMPARE(plan.Groups.size(), std::size_t(2));
    QCOMPARE(plan.Rows, (std::vector<std::vector<int>>{{0, 3}, {1, 2}}));
    QVERIFY(plan.Groups[0].Similar && plan.Groups[1].Similar);
    QCOMPARE(plan.Groups[0].Files[0].Deleting, false);
    QCOMPARE(plan.Groups[0].Files[1].Deleting, true);
    QCOMPARE(plan.Groups[0].Files[1].Path, std::string("/data/a2"));
    QCOMPARE(plan.Groups[1].Files[0].Deleting, true);
    QVERIFY(CopyCheckPlan(rows, {6}, false).Groups.empty());
}

void TestAppRules::longLinesAreElided()
{
    QStringList names;
    for (int k = 0; k < 20; ++k)
        names << QStringLiteral("/p/%1").arg(k);
    const QString question = NoCopyQuestion(names, 25);
    QVERIFY(question.contains(QStringLiteral("/p/19\n... and 5 more")));
    QVERIFY(!NoCopyQuestion(names.mid(0, 2), 2).contains(QStringLiteral("more")));
    const QString longPath = QStringLiteral("/start") + QString(400, u'x') + QStringLiteral("/end.jpg");
    const QString elided = ElideLongLines(QStringLiteral("first line\n") + longPath, 120);
    const QStringList lines = elided.split(u'\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("first line"));
    QCOMPARE(lines[1].size(), 120);
    QVERIFY(lines[1].startsWith(QStringLiteral("/start")) && lines[1].endsWith(QStringLiteral("/end.jpg")));
    QVERIFY(lines[1].contains(QChar(0x2026)));
    QCOMPARE(ElideLongLines(longPath.left(120), 120), longPath.left(120));
}

QTEST_MAIN(TestAppRules)
#include "tst_app_rules.moc"
