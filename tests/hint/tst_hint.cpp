// Tests of the balloon as drawn and shown: painted pixels, the shape mask, "&" and wrapping,
// window sizes for a one-line 16-pixel hint, the per-hint direction handler, and the routing
// of the application's tooltip events to the balloon.
#include "BalloonImage.h"
#include "Kelphint.h"
#include "NewHint.h"

#include <QApplication>
#include <QBitmap>
#include <QHelpEvent>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWidget>

using namespace quorvane;

Q_DECLARE_METATYPE(quorvane::THintDirection)

namespace {

TBalloonStyle TestStyle()
{
    return {QColor(255, 255, 0), QColor(128, 0, 128), MainWindowHintFont()};
}

QRgb Pixel(const QImage& image, int x, int y)
{
    return image.pixel(x, y);
}

bool IsShadow(const QImage& image, int x, int y)
{
    return Pixel(image, x, y) == qRgb(128, 0, 128);
}

bool IsClear(const QImage& image, int x, int y)
{
    return qAlpha(Pixel(image, x, y)) == 0;
}

// Pixels touched by the blue text: on the yellow fill, antialiased ink keeps red equal to
// green; shadow dots (red 128, green 0) and the black outline (no blue) are not ink.
bool IsInk(QRgb p)
{
    return qBlue(p) > 0 && qRed(p) == qGreen(p);
}

int CountInk(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += IsInk(Pixel(image, x, y));
    return count;
}

QRect ScreenRect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

} // namespace

class TestHint : public QObject {
    Q_OBJECT

  private slots:
    void bodyAndTail_data();
    void bodyAndTail();
    void checkerboardInImage_data();
    void checkerboardInImage();
    void maskCoversPaintedPixels_data();
    void maskCoversPaintedPixels();
    void ampersandShownAsItself();
    void wordWrapping();
    void oneLineSixteenPixelSizes_data();
    void oneLineSixteenPixelSizes();
    void handlerAffectsOneHint();
    void tooltipEventsBecomeBalloons();
    void balloonHidesOnLeaveAndPress();
    void pauseTimeIsHintDelay();
    void defaults();
};

void TestHint::bodyAndTail_data()
{
    QTest::addColumn<THintDirection>("direction");
    QTest::newRow("above right") << hdUpRight;
    QTest::newRow("above left") << hdUpLeft;
    QTest::newRow("below right") << hdDownRight;
    QTest::newRow("below left") << hdDownLeft;
}

void TestHint::bodyAndTail()
{
    QFETCH(THintDirection, direction);
    const QSize window = HintWindowSize(QSize(100, 20), direction);
    const QImage image = RenderBalloon(window, direction, QString(), TestStyle());
    const QRect body = HintBodyRect(window, direction);
    const int mid = body.center().y();
    const QRgb black = qRgb(0, 0, 0);
    const QRgb yellow = qRgb(255, 255, 0);
    // The outline is the body's first and last column; inside is the fill.
    QCOMPARE(Pixel(image, body.left(), mid), black);
    QCOMPARE(Pixel(image, body.right(), mid), black);
    QCOMPARE(Pixel(image, body.left() + 3, mid), yellow);
    QVERIFY(Pixel(image, body.right() + 1, mid) != black);
    // Where the tail joins the body its outline is opened: fill between P1 and P2, outline beyond.
    const auto tail = HintTailPoints(window, direction);
    const int joinY = tail[0].y();
    QCOMPARE(Pixel(image, (tail[0].x() + tail[1].x()) / 2, joinY), yellow);
    const int outsideTailX = IsRightDirection(direction) ? tail[1].x() + 10 : tail[0].x() - 10;
    QCOMPARE(Pixel(image, outsideTailX, joinY), black);
    // The tail is filled inside and outlined near its tip.
    const QPoint centroid = (tail[0] + tail[1] + tail[2]) / 3;
    QCOMPARE(Pixel(image, centroid.x(), centroid.y()), yellow);
    const int tipRow = IsUpDirection(direction) ? window.height() - 3 : 2;
    int outline = 0;
    for (int x = std::max(0, tail[2].x() - 6); x <= tail[2].x() + 6 && x < window.width(); ++x)
        outline += Pixel(image, x, tipRow) == black;
    QVERIFY(outline >= 1);
    // The outside corner away from the tail stays clear.
    QVERIFY(IsClear(image, window.width() - 1, IsUpDirection(direction) ? 0 : window.height() - 1));
}

void TestHint::checkerboardInImage_data()
{
    bodyAndTail_data();
}

void TestHint::checkerboardInImage()
{
    QFETCH(THintDirection, direction);
    const QSize window = HintWindowSize(QSize(120, 40), direction);
    const QImage image = RenderBalloon(window, direction, QString(), TestStyle());
    const QRect body = HintBodyRect(window, direction);
    // Right of the body: neighbouring pixels alternate between shadow and background.
    const int row = body.center().y();
    for (int x = body.right() + 1; x < window.width() - 1; ++x) {
        QVERIFY(IsShadow(image, x, row) != IsShadow(image, x + 1, row));
        QVERIFY(IsShadow(image, x, row) || IsClear(image, x, row));
    }
    // Below the body (away from the tail's shadow), in a row and down a column.
    const int column = window.width() / 2;
    const int stripRow = body.bottom() + 2;
    for (int x = column - 10; x < column + 10; ++x)
        QVERIFY(IsShadow(image, x, stripRow) != IsShadow(image, x + 1, stripRow));
    const int lastRow = window.height() - (IsUpDirection(direction) ? 10 : 3);
    for (int y = body.bottom() + 1; y < lastRow; ++y)
        QVERIFY(IsShadow(image, column, y) != IsShadow(image, column, y + 1));
}

void TestHint::maskCoversPaintedPixels_data()
{
    bodyAndTail_data();
}

void TestHint::maskCoversPaintedPixels()
{
    QFETCH(THintDirection, direction);
    TKelpHint kelp;
    kelp.setHintFont(MainWindowHintFont());
    kelp.setHintDirection(direction);
    TNewHint* hint = kelp.HintWindow();
    const QString text = QStringLiteral("Mask & shape");
    const QRect textRect = hint->CalcHintRect(400, text);
    hint->ActivateHint(textRect, text, ScreenRect().center(), nullptr);
    QCOMPARE(hint->Direction(), direction);
    const QImage& image = hint->Buffer();
    QCOMPARE(image.size(), hint->size());
    const QRegion mask = hint->mask();
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool isPainted = qAlpha(image.pixel(x, y)) != 0;
            painted += isPainted;
            if (mask.contains(QPoint(x, y)) != isPainted)
                QFAIL(qPrintable(QStringLiteral("mask differs at %1,%2").arg(x).arg(y)));
        }
    }
    // Both the outside and the balloon are really there: the mask is neither empty nor full.
    QVERIFY(painted > image.width() * 10);
    QVERIFY(painted < image.width() * image.height());
    QVERIFY(!mask.contains(QPoint(image.width() - 1, IsUpDirection(direction) ? 0 : image.height() - 1)));
}

void TestHint::ampersandShownAsItself()
{
    const QFont font = MainWindowHintFont().Font;
    // With "&" treated as a prefix marker, "&&" would measure and look like one "&".
    QVERIFY(MeasureHintText(font, QStringLiteral("&&"), 400).width() >
            MeasureHintText(font, QStringLiteral("&"), 400).width());
    const QSize window(80, 40);
    const QImage one = RenderBalloon(window, hdUpRight, QStringLiteral("&"), TestStyle());
    const QImage two = RenderBalloon(window, hdUpRight, QStringLiteral("&&"), TestStyle());
    const QImage none = RenderBalloon(window, hdUpRight, QString(), TestStyle());
    const QRect textArea = HintTextRect(window, hdUpRight).intersected(HintBodyRect(window, hdUpRight));
    const int blueOne = CountInk(one, textArea);
    QVERIFY(blueOne > 0);
    QCOMPARE(CountInk(none, textArea), 0);
    QVERIFY(CountInk(two, textArea) > blueOne);
}

void TestHint::wordWrapping()
{
    const QFont font = MainWindowHintFont().Font;
    const QString text = QStringLiteral("Finds the files that have the same name size and time");
    const QSize single = MeasureHintText(font, QStringLiteral("Finds"), 1000);
    const QSize wrapped = MeasureHintText(font, text, 150);
    QVERIFY(wrapped.width() <= 150 + 6);
    QVERIFY(wrapped.height() >= 3 * (single.height() - 2));
    // Drawn into a window sized from that measure, every text pixel stays inside the body.
    const QSize window = HintWindowSize(wrapped, hdUpRight);
    const QImage image = RenderBalloon(window, hdUpRight, text, TestStyle());
    const QRect body = HintBodyRect(window, hdUpRight).adjusted(1, 1, -1, -1);
    const QRect whole(QPoint(0, 0), window);
    QVERIFY(CountInk(image, whole) > 0);
    QCOMPARE(CountInk(image, whole), CountInk(image, body));
}

void TestHint::oneLineSixteenPixelSizes_data()
{
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<THintDirection>("direction");
    QTest::addColumn<int>("extraHeight");
    QTest::addColumn<int>("textTop");
    const QRect s = ScreenRect();
    QTest::newRow("middle: above") << s.center() << hdUpRight << 20 << 3;
    QTest::newRow("top edge: below") << QPoint(s.center().x(), s.top() + 5) << hdDownRight << 29 << 18;
    QTest::newRow("top-right corner: below left")
        << QPoint(s.right() - 5, s.top() + 5) << hdDownLeft << 29 << 18;
    QTest::newRow("right edge: above left") << QPoint(s.right() - 5, s.center().y()) << hdUpLeft << 20 << 3;
}

void TestHint::oneLineSixteenPixelSizes()
{
    QFETCH(QPoint, pointer);
    QFETCH(THintDirection, direction);
    QFETCH(int, extraHeight);
    QFETCH(int, textTop);
    TKelpHint kelp;
    kelp.setHintFont(MainWindowHintFont());
    TNewHint* hint = kelp.HintWindow();
    QCOMPARE(hint->font().pixelSize(), 16);
    const QString text = QStringLiteral("Find Duplicates");
    const QRect textRect = hint->CalcHintRect(ScreenRect().width(), text);
    QCOMPARE(textRect.height(), QFontMetrics(hint->font()).height() + 2); // one line
    hint->ActivateHint(textRect, text, pointer, nullptr);
    QVERIFY(hint->isVisible());
    QCOMPARE(hint->Direction(), direction);
    QCOMPARE(hint->size(), textRect.size() + QSize(16, extraHeight));
    // The text starts at the text rectangle's top: no blue above it.
    const QImage& image = hint->Buffer();
    QCOMPARE(CountInk(image, QRect(0, 0, image.width(), textTop)), 0);
    QVERIFY(CountInk(image, QRect(0, textTop, image.width(), 20)) > 0);
}

void TestHint::handlerAffectsOneHint()
{
    QWidget window;
    auto* a = new QWidget(&window);
    auto* b = new QWidget(&window);
    auto* c = new QWidget(&window);
    a->setToolTip(QStringLiteral("first"));
    b->setToolTip(QStringLiteral("second"));
    c->setToolTip(QStringLiteral("third"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(a);
    layout->addWidget(b);
    layout->addWidget(c);
    window.resize(200, 200);
    window.move(ScreenRect().center() - QPoint(100, 100));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    TKelpHint kelp;
    QList<QWidget*> asked;
    kelp.OnSelectHintDirection = [&](QWidget* control, THintDirection& direction) {
        asked << control;
        QCOMPARE(direction, hdUpRight); // preset to the property's value every time
        if (control == b)
            direction = hdDownLeft;
        else if (control == c)
            direction = static_cast<THintDirection>(7); // not a direction: the property's is used
    };
    QVERIFY(kelp.ShowControlHint(b, b->mapToGlobal(b->rect().center())));
    QCOMPARE(kelp.HintWindow()->Direction(), hdDownLeft);
    QCOMPARE(kelp.HintDirection(), hdUpRight);
    QVERIFY(kelp.ShowControlHint(a, a->mapToGlobal(a->rect().center())));
    QCOMPARE(kelp.HintWindow()->Direction(), hdUpRight);
    QVERIFY(kelp.ShowControlHint(b, b->mapToGlobal(b->rect().center())));
    QCOMPARE(kelp.HintWindow()->Direction(), hdDownLeft);
    QVERIFY(kelp.ShowControlHint(c, c->mapToGlobal(c->rect().center())));
    QCOMPARE(kelp.HintWindow()->Direction(), hdUpRight);
    QCOMPARE(asked, (QList<QWidget*>{b, a, b, c}));
}

void TestHint::tooltipEventsBecomeBalloons()
{
    QWidget window;
    auto* parent = new QWidget(&window);
    auto* child = new QWidget(parent);
    auto* disabled = new QWidget(&window);
    parent->setGeometry(0, 0, 100, 100);
    child->setGeometry(10, 10, 40, 40);
    disabled->setGeometry(0, 120, 100, 50);
    parent->setToolTip(QStringLiteral("Parent & <b>bold</b>"));
    disabled->setToolTip(QStringLiteral("Disabled hint"));
    disabled->setEnabled(false);
    window.resize(200, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TKelpHint kelp;
    QWidget* asked = nullptr;
    kelp.OnSelectHintDirection = [&](QWidget* control, THintDirection&) { asked = control; };

    // A child without a hint passes the event on to its parent, whose hint shows as a balloon.
    const QPoint inChild = child->mapToGlobal(QPoint(5, 5));
    QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), inChild);
    QApplication::sendEvent(child, &event);
    QVERIFY(event.isAccepted());
    QVERIFY(kelp.HintWindow()->isVisible());
    QCOMPARE(kelp.HintWindow()->Text(), QStringLiteral("Parent & bold"));
    QCOMPARE(asked, child);
    QVERIFY(!QToolTip::isVisible());

    QHelpEvent onDisabled(QEvent::ToolTip, QPoint(5, 5), disabled->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(disabled, &onDisabled);
    QCOMPARE(kelp.HintWindow()->Text(), QStringLiteral("Disabled hint"));
    QCOMPARE(asked, disabled);

    // Without any hint on the way up, the event is not taken.
    parent->setToolTip(QString());
    kelp.HideHint();
    QHelpEvent bare(QEvent::ToolTip, QPoint(5, 5), inChild);
    QApplication::sendEvent(child, &bare);
    QVERIFY(!kelp.HintWindow()->isVisible());
}

void TestHint::balloonHidesOnLeaveAndPress()
{
    QWidget window;
    auto* button = new QWidget(&window);
    button->setGeometry(10, 10, 80, 30);
    button->setToolTip(QStringLiteral("Hint"));
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TKelpHint kelp;
    const QPoint at = button->mapToGlobal(QPoint(5, 5));
    QVERIFY(kelp.ShowControlHint(button, at));
    QVERIFY(kelp.HintWindow()->isVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&window, &leave); // another widget's leave changes nothing
    QVERIFY(kelp.HintWindow()->isVisible());
    QApplication::sendEvent(button, &leave);
    QVERIFY(!kelp.HintWindow()->isVisible());

    QVERIFY(kelp.ShowControlHint(button, at));
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(150, 50));
    QVERIFY(!kelp.HintWindow()->isVisible());
}

void TestHint::pauseTimeIsHintDelay()
{
    TKelpHint kelp;
    QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 600);
    kelp.setHintPauseTime(250);
    QCOMPARE(kelp.HintPauseTime(), 250);
    QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 250);
    // A second component reuses the same delay style rather than stacking another.
    QStyle* style = QApplication::style();
    TKelpHint second;
    QCOMPARE(QApplication::style(), style);
    QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 600);
}

void TestHint::defaults()
{
    TKelpHint kelp;
    QCOMPARE(kelp.HintDirection(), hdUpRight);
    QCOMPARE(kelp.HintColor(), QColor(255, 255, 0));
    QCOMPARE(kelp.HintShadowColor(), QColor(128, 0, 128));
    QCOMPARE(kelp.HintPauseTime(), 600);
    QCOMPARE(kelp.HintFont().Font.family(), QStringLiteral("MS Sans Serif"));
    QVERIFY(kelp.HintFont().Font.bold() && kelp.HintFont().Font.italic());
    QCOMPARE(kelp.HintFont().Color, QColor(Qt::blue));
    QVERIFY(!kelp.OnSelectHintDirection);
    QObject owner;
    TKelpHint* main = CreateMainWindowKelpHint(&owner);
    QCOMPARE(main->objectName(), QStringLiteral("KelpHint1"));
    QCOMPARE(main->parent(), &owner);
    QCOMPARE(main->HintFont().Font.family(), QStringLiteral("新細明體"));
    QCOMPARE(main->HintFont().Font.pixelSize(), 16);
    QVERIFY(!main->HintFont().Font.bold() && !main->HintFont().Font.italic());
    QCOMPARE(main->HintWindow()->font().pixelSize(), 16);
    QVERIFY(QFont::substitutes(QStringLiteral("新細明體"))
                .contains(QStringLiteral("AR PL UMing TW"), Qt::CaseInsensitive));
}

QTEST_MAIN(TestHint)
#include "tst_hint.moc"
