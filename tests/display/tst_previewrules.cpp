// The row rules of the preview pane and the slides strip: the group marks,
// the window of five slides around the focused row, the slide panels' width
// and the delay text.
#include "PreviewRules.h"

#include <QtTest>

using namespace quorvane;

namespace {

// Rows named by a pattern: one character a row, 'a'..'z' a picture of that
// size class, '#' a non-picture of size class 'a'. Rows of one letter agree
// on Size.
std::vector<TFileRecord> Rows(const std::string& pattern)
{
    std::vector<TFileRecord> rows;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        TFileRecord row;
        const char c = pattern[i];
        row.Name = "f" + std::to_string(i) + (c == '#' ? ".txt" : ".jpg");
        row.Directory = std::make_shared<const std::string>("/p");
        row.Size = static_cast<std::uint64_t>(c == '#' ? 'a' : c);
        row.ImageIndex = c == '#' ? kImageOtherFile : kImagePicture;
        rows.push_back(row);
    }
    return rows;
}

TSearchCriteria BySize()
{
    TSearchCriteria criteria;
    criteria.Size = true;
    return criteria;
}

} // namespace

class TestPreviewRules : public QObject {
    Q_OBJECT

  private slots:
    void prefetchPlan_data();
    void prefetchPlan();
    void slideWindow_data();
    void slideWindow();
    void markGroup_data();
    void markGroup();
    void groupNumbersSplitOneSize();
    void slidePanelWidth_data();
    void slidePanelWidth();
    void previewDelay_data();
    void previewDelay();
};

void TestPreviewRules::slideWindow_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("focused");
    QTest::addColumn<bool>("anyCriterion");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("start");
    QTest::newRow("two, focus first") << "xaay" << 1 << true << 1 << 2 << 1;
    QTest::newRow("two, focus second") << "xaay" << 2 << true << 1 << 2 << 1;
    QTest::newRow("seven, focus first") << "aaaaaaa" << 0 << true << 0 << 5 << 0;
    QTest::newRow("seven, focus second") << "aaaaaaa" << 1 << true << 0 << 6 << 0;
    QTest::newRow("seven, focus middle") << "aaaaaaa" << 3 << true << 0 << 6 << 1;
    QTest::newRow("seven, focus sixth") << "aaaaaaa" << 5 << true << 0 << 6 << 2;
    QTest::newRow("seven, focus last") << "aaaaaaa" << 6 << true << 1 << 6 << 2;
    QTest::newRow("nine, focus seventh") << "aaaaaaaaa" << 6 << true << 1 << 8 << 4;
    QTest::newRow("nine, focus first") << "aaaaaaaaa" << 0 << true << 0 << 5 << 0;
    QTest::newRow("nine, focus last") << "aaaaaaaaa" << 8 << true << 3 << 8 << 4;
    QTest::newRow("non-picture ends the run") << "aa#aaa" << 4 << true << 3 << 5 << 3;
    QTest::newRow("other group ends the run") << "bbaaacc" << 3 << true << 2 << 4 << 2;
    QTest::newRow("no criterion: pictures around") << "bbaaacc#b" << 3 << false << 0 << 6 << 1;
}

void TestPreviewRules::slideWindow()
{
    QFETCH(QString, pattern);
    QFETCH(int, focused);
    QFETCH(bool, anyCriterion);
    TSearchCriteria criteria = BySize();
    criteria.Size = anyCriterion;
    const TSlideWindow window = ComputeSlideWindow(Rows(pattern.toStdString()), focused, criteria);
    QTEST(window.First, "first");
    QTEST(window.Last, "last");
    QTEST(window.Start, "start");
    QVERIFY(window.Start <= focused && focused <= window.Start + 4);
}

void TestPreviewRules::markGroup_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("anyCriterion");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("group in the middle") << "bbaaacc" << 3 << true << 2 << 4;
    QTest::newRow("group at the start") << "aaab" << 0 << true << 0 << 2;
    QTest::newRow("one-row group") << "abc" << 1 << true << 1 << 1;
    QTest::newRow("non-picture agrees too") << "a#a" << 0 << true << 0 << 2;
    QTest::newRow("no criterion: the row alone") << "aaaa" << 2 << false << 2 << 2;
    QTest::newRow("index past the end") << "aa" << 2 << true << 0 << -1;
    QTest::newRow("no row") << "aa" << -1 << true << 0 << -1;
}

void TestPreviewRules::markGroup()
{
    QFETCH(QString, pattern);
    QFETCH(int, index);
    QFETCH(bool, anyCriterion);
    TSearchCriteria criteria = BySize();
    criteria.Size = anyCriterion;
    const TRowRange range = MarkGroupRange(Rows(pattern.toStdString()), index, criteria);
    QTEST(range.First, "first");
    QTEST(range.Last, "last");
}

// Four pictures of one size in two numbered groups: the marks and the
// slides keep to the focused row's group.
void TestPreviewRules::groupNumbersSplitOneSize()
{
    std::vector<TFileRecord> rows = Rows("aaaa");
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i].Group = i < 2 ? 1 : 2;
    const TRowRange range = MarkGroupRange(rows, 1, BySize());
    QCOMPARE(range.First, 0);
    QCOMPARE(range.Last, 1);
    QVERIFY(SlideQualifies(rows[1], rows[0], BySize()));
    QVERIFY(!SlideQualifies(rows[2], rows[0], BySize()));
    QVERIFY(!SlideQualifies(rows[2], rows[0], TSearchCriteria{}));
}

// Patterns as in Rows(): groups are runs of one letter. Expected rows are
// worked out by hand from the pattern.
void TestPreviewRules::prefetchPlan_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("focused");
    QTest::addColumn<QList<int>>("previews");
    QTest::addColumn<QList<int>>("slides");
    QTest::newRow("middle of a group") << "aabbbcc" << 3 << QList<int>{4, 2, 5, 0} << QList<int>{5, 6};
    QTest::newRow("first row of the list") << "aabb" << 0 << QList<int>{1, 2} << QList<int>{2, 3};
    QTest::newRow("last row of the list") << "aabb" << 3 << QList<int>{2, 0} << QList<int>{};
    QTest::newRow("non-pictures skipped") << "a#abbb" << 2 << QList<int>{3, 0} << QList<int>{3, 4, 5};
    QTest::newRow("next group without picture") << "aa#" << 0 << QList<int>{1} << QList<int>{};
    QTest::newRow("a long next group: five slides")
        << "abbbbbbbb" << 0 << QList<int>{1} << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("one row") << "a" << 0 << QList<int>{} << QList<int>{};
}

void TestPreviewRules::prefetchPlan()
{
    QFETCH(QString, pattern);
    QFETCH(int, focused);
    QFETCH(QList<int>, previews);
    QFETCH(QList<int>, slides);
    const TPrefetchPlan plan = PlanPrefetch(Rows(pattern.toStdString()), focused, BySize());
    QCOMPARE(QList<int>(plan.Previews.begin(), plan.Previews.end()), previews);
    QCOMPARE(QList<int>(plan.Slides.begin(), plan.Slides.end()), slides);
}

void TestPreviewRules::slidePanelWidth_data()
{
    QTest::addColumn<int>("client");
    QTest::addColumn<int>("expected");
    QTest::newRow("516") << 516 << 100;
    QTest::newRow("520 rounds 100.8 up") << 520 << 101;
    QTest::newRow("517 rounds 100.2 down") << 517 << 100;
}

void TestPreviewRules::slidePanelWidth()
{
    QFETCH(int, client);
    QTEST(SlidePanelWidth(client, 5), "expected");
}

void TestPreviewRules::previewDelay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1: not a whole number
    QTest::newRow("200") << "200" << 200;
    QTest::newRow("0 gives 5") << "0" << 5;
    QTest::newRow("leading zeros") << "0050" << 50;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("letters") << "12a" << -1;
    QTest::newRow("space") << " 12" << -1;
}

void TestPreviewRules::previewDelay()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(PreviewDelay(text.toStdString()).value_or(-1), expected);
}

QTEST_GUILESS_MAIN(TestPreviewRules)
#include "tst_previewrules.moc"
