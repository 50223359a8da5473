// Tests of the balloon's placement and shapes as plain functions: direction and position near
// every screen edge, the ending of the fallback search, sizes, text rectangle and shadow dots.
#include "HintGeometry.h"

#include <QTest>
#include <algorithm>
#include <set>

using namespace quorvane;

Q_DECLARE_METATYPE(quorvane::THintDirection)

namespace {

const QRect Screen1024(0, 0, 1024, 768);
const QSize OneLine(100, 20); // window 116 wide; 40 high above the pointer, 49 below

bool Contains(const std::vector<QPoint>& pixels, QPoint p)
{
    return std::find(pixels.begin(), pixels.end(), p) != pixels.end();
}

} // namespace

class TestHintGeometry : public QObject {
    Q_OBJECT

  private slots:
    void windowSize_data();
    void windowSize();
    void placement_data();
    void placement();
    void searchEnds_data();
    void searchEnds();
    void textRect_data();
    void textRect();
    void shadowCheckerboard_data();
    void shadowCheckerboard();
    void shadowStaysInShape();
    void tailShadowOnlyAbove();
    void roundRectCorners();
};

void TestHintGeometry::windowSize_data()
{
    QTest::addColumn<QSize>("text");
    QTest::addColumn<THintDirection>("direction");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("one line, above right") << QSize(90, 19) << hdUpRight << QSize(106, 39);
    QTest::newRow("one line, above left") << QSize(90, 19) << hdUpLeft << QSize(106, 39);
    QTest::newRow("one line, below right") << QSize(90, 19) << hdDownRight << QSize(106, 48);
    QTest::newRow("one line, below left") << QSize(90, 19) << hdDownLeft << QSize(106, 48);
    QTest::newRow("empty text") << QSize(0, 0) << hdUpRight << QSize(16, 20);
}

void TestHintGeometry::windowSize()
{
    QFETCH(QSize, text);
    QFETCH(THintDirection, direction);
    QFETCH(QSize, expected);
    QCOMPARE(HintWindowSize(text, direction), expected);
}

void TestHintGeometry::placement_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<THintDirection>("preferred");
    QTest::addColumn<THintDirection>("direction");
    QTest::addColumn<QPoint>("topLeft");
    const QRect s = Screen1024;
    // Up: top = Y - 5 - 40; down: top = Y + 15; left directions: left = X + 6 - 116.
    QTest::newRow("middle keeps up-right")
        << s << QPoint(500, 400) << hdUpRight << hdUpRight << QPoint(500, 355);
    QTest::newRow("right edge gives up-left")
        << s << QPoint(1000, 400) << hdUpRight << hdUpLeft << QPoint(890, 355);
    QTest::newRow("top edge gives down-right")
        << s << QPoint(500, 10) << hdUpRight << hdDownRight << QPoint(500, 25);
    QTest::newRow("top-right corner gives down-left")
        << s << QPoint(1000, 10) << hdUpRight << hdDownLeft << QPoint(890, 25);
    QTest::newRow("top-left corner gives down-right")
        << s << QPoint(5, 10) << hdUpRight << hdDownRight << QPoint(5, 25);
    QTest::newRow("bottom-left corner keeps up-right")
        << s << QPoint(5, 760) << hdUpRight << hdUpRight << QPoint(5, 715);
    QTest::newRow("bottom-right corner gives up-left")
        << s << QPoint(1000, 760) << hdUpRight << hdUpLeft << QPoint(890, 715);
    QTest::newRow("down-right at bottom gives up-right")
        << s << QPoint(500, 740) << hdDownRight << hdUpRight << QPoint(500, 695);
    QTest::newRow("up-left at left edge gives up-right")
        << s << QPoint(50, 400) << hdUpLeft << hdUpRight << QPoint(50, 355);
    QTest::newRow("down-left at bottom-left goes round to up-right")
        << s << QPoint(50, 760) << hdDownLeft << hdUpRight << QPoint(50, 715);
    QTest::newRow("down-left at top-right stays")
        << s << QPoint(1000, 10) << hdDownLeft << hdDownLeft << QPoint(890, 25);
    QTest::newRow("right edge exactly fits")
        << s << QPoint(908, 400) << hdUpRight << hdUpRight << QPoint(908, 355);
    QTest::newRow("one pixel too wide") << s << QPoint(909, 400) << hdUpRight << hdUpLeft << QPoint(799, 355);
    QTest::newRow("top exactly fits") << s << QPoint(500, 45) << hdUpRight << hdUpRight << QPoint(500, 0);
    QTest::newRow("one pixel too high")
        << s << QPoint(500, 44) << hdUpRight << hdDownRight << QPoint(500, 59);
    QTest::newRow("left exactly fits") << s << QPoint(110, 400) << hdUpLeft << hdUpLeft << QPoint(0, 355);
    QTest::newRow("bottom exactly fits")
        << s << QPoint(500, 704) << hdDownRight << hdDownRight << QPoint(500, 719);
    QTest::newRow("second screen, right edge")
        << QRect(1024, 0, 800, 600) << QPoint(1810, 300) << hdUpRight << hdUpLeft << QPoint(1700, 255);
    QTest::newRow("second screen, left edge")
        << QRect(1024, 0, 800, 600) << QPoint(1030, 300) << hdUpLeft << hdUpRight << QPoint(1030, 255);
}

void TestHintGeometry::placement()
{
    QFETCH(QRect, screen);
    QFETCH(QPoint, pointer);
    QFETCH(THintDirection, preferred);
    QFETCH(THintDirection, direction);
    QFETCH(QPoint, topLeft);
    const THintPlacement p = ChooseHintPlacement(screen, pointer, OneLine, preferred);
    QCOMPARE(p.Direction, direction);
    QCOMPARE(p.TopLeft, topLeft);
    QCOMPARE(p.Size, HintWindowSize(OneLine, direction));
    QVERIFY(p.Fitted);
    QVERIFY(screen.contains(QRect(p.TopLeft, p.Size)));
    // The tip lies horizontally at the pointer, 5 above it or 15 below it.
    const auto tip = HintTailPoints(p.Size, p.Direction)[2] + p.TopLeft;
    QCOMPARE(tip.x(), pointer.x());
    QCOMPARE(tip.y(), IsUpDirection(direction) ? pointer.y() - 5 : pointer.y() + 15);
}

void TestHintGeometry::searchEnds_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("text");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<THintDirection>("preferred");
    QTest::addColumn<THintDirection>("direction");
    QTest::addColumn<QPoint>("topLeft");
    const QRect s = Screen1024;
    // Wider than the screen: right and left bounce; the last candidate is kept, left at 0.
    QTest::newRow("too wide from up-right")
        << s << QSize(1100, 20) << QPoint(500, 400) << hdUpRight << hdUpLeft << QPoint(0, 355);
    QTest::newRow("too wide from up-left")
        << s << QSize(1100, 20) << QPoint(500, 400) << hdUpLeft << hdUpRight << QPoint(0, 355);
    QTest::newRow("too wide from down-right")
        << s << QSize(1100, 20) << QPoint(500, 400) << hdDownRight << hdDownLeft << QPoint(0, 415);
    QTest::newRow("too wide from down-left")
        << s << QSize(1100, 20) << QPoint(500, 400) << hdDownLeft << hdDownRight << QPoint(0, 415);
    // Taller than the screen: up and down bounce; the top stays on the screen.
    QTest::newRow("too tall") << s << QSize(100, 800) << QPoint(500, 400) << hdUpRight << hdDownRight
                              << QPoint(500, 0);
    QTest::newRow("too tall and too wide")
        << s << QSize(1100, 800) << QPoint(500, 400) << hdUpRight << hdUpLeft << QPoint(0, 0);
    // Fits the screen but neither above nor below the pointer: moved up onto the screen.
    QTest::newRow("no room above or below") << QRect(0, 0, 1024, 100) << QSize(100, 40) << QPoint(500, 50)
                                            << hdUpRight << hdDownRight << QPoint(500, 31);
    QTest::newRow("no room, offset screen")
        << QRect(-800, 200, 800, 100) << QSize(100, 40) << QPoint(-300, 250) << hdUpLeft << hdDownLeft
        << QPoint(-410, 231);
}

void TestHintGeometry::searchEnds()
{
    QFETCH(QRect, screen);
    QFETCH(QSize, text);
    QFETCH(QPoint, pointer);
    QFETCH(THintDirection, preferred);
    QFETCH(THintDirection, direction);
    QFETCH(QPoint, topLeft);
    const THintPlacement p = ChooseHintPlacement(screen, pointer, text, preferred);
    QVERIFY(!p.Fitted);
    QCOMPARE(p.Direction, direction);
    QCOMPARE(p.TopLeft, topLeft);
    QCOMPARE(p.Size, HintWindowSize(text, direction));
    QVERIFY(screen.contains(p.TopLeft));
}

void TestHintGeometry::textRect_data()
{
    QTest::addColumn<THintDirection>("direction");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("above right") << hdUpRight << QSize(116, 40) << QRect(8, 3, 108, 37);
    QTest::newRow("above left") << hdUpLeft << QSize(116, 40) << QRect(8, 3, 108, 37);
    QTest::newRow("below right, 15 lower") << hdDownRight << QSize(116, 49) << QRect(8, 18, 108, 31);
    QTest::newRow("below left, 15 lower") << hdDownLeft << QSize(116, 49) << QRect(8, 18, 108, 31);
}

void TestHintGeometry::textRect()
{
    QFETCH(THintDirection, direction);
    QFETCH(QSize, window);
    QFETCH(QRect, expected);
    QCOMPARE(HintTextRect(window, direction), expected);
}

void TestHintGeometry::shadowCheckerboard_data()
{
    QTest::addColumn<THintDirection>("direction");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("row");    // a row through the right strip, clear of the corners
    QTest::addColumn<int>("column"); // a column through the bottom strip
    QTest::newRow("above right") << hdUpRight << QSize(116, 40) << 20 << 60;
    QTest::newRow("above left") << hdUpLeft << QSize(116, 40) << 21 << 61;
    QTest::newRow("below right") << hdDownRight << QSize(116, 49) << 35 << 60;
    QTest::newRow("below left") << hdDownLeft << QSize(117, 49) << 36 << 61;
}

void TestHintGeometry::shadowCheckerboard()
{
    QFETCH(THintDirection, direction);
    QFETCH(QSize, window);
    QFETCH(int, row);
    QFETCH(int, column);
    const auto pixels = HintShadowPixels(window, direction);
    const int w = window.width();
    const int h = window.height();
    // Along the row, the right strip alternates dot / no dot up to the window's edge.
    for (int x = w - 14; x < w - 1; ++x) {
        QCOMPARE(Contains(pixels, QPoint(x, row)), IsShadowDot(x, row));
        QVERIFY(Contains(pixels, QPoint(x, row)) != Contains(pixels, QPoint(x + 1, row)));
    }
    // Down the column, the bottom strip alternates too.
    const int stripTop = IsUpDirection(direction) ? h - 14 : h - 8;
    const int stripBottom = IsUpDirection(direction) ? h - 9 : h - 2;
    for (int y = stripTop; y < stripBottom - 1; ++y)
        QVERIFY(Contains(pixels, QPoint(column, y)) != Contains(pixels, QPoint(column, y + 1)));
    // Left of the right strip and above the bottom strip there are no dots (the body covers it).
    QVERIFY(!Contains(pixels, QPoint(w - 16, row)));
    QVERIFY(!Contains(pixels, QPoint(w - 15, row)));
    std::set<std::pair<int, int>> unique;
    for (const QPoint& p : pixels) {
        QVERIFY(IsShadowDot(p.x(), p.y()));
        unique.insert({p.x(), p.y()});
    }
    QCOMPARE(unique.size(), pixels.size());
}

void TestHintGeometry::shadowStaysInShape()
{
    const QSize window(116, 40);
    const auto pixels = HintShadowPixels(window, hdUpRight);
    for (const QPoint& p : pixels)
        QVERIFY2(QRect(QPoint(0, 0), window).contains(p), "dot outside the window");
    // The shape's top-right corner is rounded off; the straight edge below it is dotted.
    QVERIFY(!Contains(pixels, QPoint(115, 9)));
    QVERIFY(Contains(pixels, QPoint(115, 15)));
    // Nothing above the shape's top (8) or below its bottom (H - 9, exclusive).
    for (const QPoint& p : pixels) {
        if (p.x() >= 26) // the tail's shadow reaches lower, at the left
            QVERIFY(p.y() >= 8 && p.y() < 31);
    }
}

void TestHintGeometry::tailShadowOnlyAbove()
{
    const QSize up(116, 40);
    const auto right = HintShadowPixels(up, hdUpRight);
    // Inside the tail's shadow triangle (12, 25), (25, 25), (12, 40), below the bottom strip.
    QVERIFY(Contains(right, QPoint(13, 35)));
    QVERIFY(!Contains(right, QPoint(24, 36))); // outside the triangle's slanted side
    const auto left = HintShadowPixels(up, hdUpLeft);
    QVERIFY(Contains(left, QPoint(up.width() - 12, 34)));
    QVERIFY(!Contains(left, QPoint(13, 35)));
    for (THintDirection d : {hdDownRight, hdDownLeft}) {
        const QSize down(116, 49);
        for (const QPoint& p : HintShadowPixels(down, d))
            QVERIFY(p.y() >= 23 && p.y() < 47);
    }
}

void TestHintGeometry::roundRectCorners()
{
    const QRect shape(10, 8, 100, 20);
    QVERIFY(InRoundRect(shape, 8, 8, QPoint(50, 8)));
    QVERIFY(InRoundRect(shape, 8, 8, QPoint(109, 16)));
    QVERIFY(!InRoundRect(shape, 8, 8, QPoint(110, 16))); // right edge is exclusive
    QVERIFY(!InRoundRect(shape, 8, 8, QPoint(10, 8)));   // corner cut by the ellipse
    QVERIFY(InRoundRect(shape, 8, 8, QPoint(12, 10)));
    QVERIFY(!InRoundRect(shape, 8, 8, QPoint(9, 16)));
    const std::array<QPoint, 3> triangle{QPoint(0, 0), QPoint(10, 0), QPoint(0, 10)};
    QVERIFY(InTriangle(triangle, QPoint(1, 1)));
    QVERIFY(!InTriangle(triangle, QPoint(8, 8)));
}

QTEST_GUILESS_MAIN(TestHintGeometry)
#include "tst_hint_geometry.moc"
