// HintGeometry: the balloon hint's shapes as plain functions of the window size and direction.
// Invariant: every rectangle here is in window pixels, (0, 0) at the window's top-left, and a
// given size and direction always yield the same shapes, so painting and mask agree.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <vector>

namespace quorvane {

// Side of the pointer the balloon opens on; the ordinals are stored as one byte.
enum THintDirection : unsigned char { hdUpRight = 0, hdUpLeft = 1, hdDownRight = 2, hdDownLeft = 3 };

inline bool IsUpDirection(THintDirection d)
{
    return d == hdUpRight || d == hdUpLeft;
}
inline bool IsRightDirection(THintDirection d)
{
    return d == hdUpRight || d == hdDownRight;
}

// Where a balloon goes. Fitted is false when no direction fitted on the screen: the position is
// then the last candidate's, moved onto the screen as far as the balloon's size allows.
struct THintPlacement {
    THintDirection Direction = hdUpRight;
    QPoint TopLeft;
    QSize Size;
    bool Fitted = true;
};

// Window size for a text rectangle of the given size: 16 wider; 20 taller above the pointer,
// 29 taller below it (room for the tail on top).
QSize HintWindowSize(QSize text, THintDirection direction);

// Picks the direction and top-left corner for a pointer at `pointer` (screen coordinates) on
// the screen `screen`, trying `preferred` first and following the fallbacks until one fits or
// the fallbacks return to a direction already tried.
THintPlacement ChooseHintPlacement(const QRect& screen, QPoint pointer, QSize text, THintDirection preferred);

// Moves a rectangle of the given size onto the screen; when it is larger than the screen its
// top-left corner is kept on the screen.
QPoint ClampOntoScreen(const QRect& screen, QPoint topLeft, QSize size);

// The text rectangle: the client area with its left edge at 8 and its top at 3 (18 below).
QRect HintTextRect(QSize window, THintDirection direction);

// The pixels [left, right) x [top, bottom) covered by the body, outline included.
QRect HintBodyRect(QSize window, THintDirection direction);

// The tail triangle P1, P2, P3 (P3 the tip).
std::array<QPoint, 3> HintTailPoints(QSize window, THintDirection direction);

// Shadow dots: x and y both even or both odd.
inline bool IsShadowDot(int x, int y)
{
    return ((x ^ y) & 1) == 0;
}

// The shadow's rounded rectangle (corner ellipses 8 x 8), as [left, right) x [top, bottom).
QRect HintShadowShape(QSize window, THintDirection direction);

// The rectangles of pixels visited for the shadow, bounds inclusive: the right strip, the
// bottom strip and, for the up directions, the tail's box.
std::vector<QRect> HintShadowStrips(QSize window, THintDirection direction);

// The tail's shadow triangle; only the up directions have one.
bool HasTailShadow(THintDirection direction);
std::array<QPoint, 3> HintTailShadow(QSize window, THintDirection direction);

// Point-in-shape tests on pixel centres.
bool InRoundRect(const QRect& shape, int ellipseWidth, int ellipseHeight, QPoint pixel);
bool InTriangle(const std::array<QPoint, 3>& corners, QPoint pixel);

// Every pixel of the window that gets a shadow dot, in visiting order, without repeats.
std::vector<QPoint> HintShadowPixels(QSize window, THintDirection direction);

} // namespace quorvane
