// HintGeometry: placement of the balloon and the shapes it is drawn from.
// Invariant: the direction search visits each direction at most once, so it always ends.
#include "HintGeometry.h"

#include <algorithm>

namespace quorvane {

namespace {

constexpr int PointerGapAbove = 5;  // tail tip above the pointer
constexpr int PointerGapBelow = 15; // tail tip below the pointer
constexpr int TailReach = 6;        // tip offset from the window's right edge, left directions

THintDirection Flip(THintDirection d, bool horizontal)
{
    const bool up = IsUpDirection(d);
    const bool right = IsRightDirection(d);
    const bool newUp = horizontal ? up : !up;
    const bool newRight = horizontal ? !right : right;
    if (newUp) return newRight ? hdUpRight : hdUpLeft;
    return newRight ? hdDownRight : hdDownLeft;
}

QPoint CandidateTopLeft(THintDirection d, QPoint pointer, QSize size)
{
    const int left = IsRightDirection(d) ? pointer.x() : pointer.x() + TailReach - size.width();
    const int top =
        IsUpDirection(d) ? pointer.y() - PointerGapAbove - size.height() : pointer.y() + PointerGapBelow;
    return {left, top};
}

bool FitsHorizontally(THintDirection d, const QRect& screen, QPoint topLeft, QSize size)
{
    if (IsRightDirection(d)) return topLeft.x() + size.width() <= screen.x() + screen.width();
    return topLeft.x() >= screen.x();
}

bool FitsVertically(THintDirection d, const QRect& screen, QPoint topLeft, QSize size)
{
    if (IsUpDirection(d)) return topLeft.y() >= screen.y();
    return topLeft.y() + size.height() <= screen.y() + screen.height();
}

int ClampAxis(int start, int length, int screenStart, int screenLength)
{
    // A balloon longer than the screen keeps its start on the screen, where the text begins.
    return std::max(screenStart, std::min(start, screenStart + screenLength - length));
}

} // namespace

QSize HintWindowSize(QSize text, THintDirection direction)
{
    return {text.width() + 16, text.height() + (IsUpDirection(direction) ? 20 : 29)};
}

QPoint ClampOntoScreen(const QRect& screen, QPoint topLeft, QSize size)
{
    return {ClampAxis(topLeft.x(), size.width(), screen.x(), screen.width()),
            ClampAxis(topLeft.y(), size.height(), screen.y(), screen.height())};
}

THintPlacement ChooseHintPlacement(const QRect& screen, QPoint pointer, QSize text, THintDirection preferred)
{
    std::array<bool, 4> tried{};
    THintDirection d = preferred <= hdDownLeft ? preferred : hdUpRight;
    for (;;) {
        tried[d] = true;
        const QSize size = HintWindowSize(text, d);
        const QPoint topLeft = CandidateTopLeft(d, pointer, size);
        THintDirection next;
        if (!FitsHorizontally(d, screen, topLeft, size))
            next = Flip(d, true);
        else if (!FitsVertically(d, screen, topLeft, size))
            next = Flip(d, false);
        else
            return {d, topLeft, size, true};
        if (tried[next]) return {d, ClampOntoScreen(screen, topLeft, size), size, false};
        d = next;
    }
}

QRect HintTextRect(QSize window, THintDirection direction)
{
    const int top = IsUpDirection(direction) ? 3 : 18;
    return QRect(QPoint(8, top), QPoint(window.width() - 1, window.height() - 1));
}

QRect HintBodyRect(QSize window, THintDirection direction)
{
    if (IsUpDirection(direction)) return QRect(0, 0, window.width() - 6, window.height() - 14);
    return QRect(0, 15, window.width() - 6, window.height() - 8 - 15);
}

std::array<QPoint, 3> HintTailPoints(QSize window, THintDirection direction)
{
    const int w = window.width();
    const int h = window.height();
    switch (direction) {
    case hdUpRight:
        return {QPoint(10, h - 15), QPoint(20, h - 15), QPoint(0, h)};
    case hdUpLeft:
        return {QPoint(w - 26, h - 15), QPoint(w - 16, h - 15), QPoint(w - 6, h)};
    case hdDownRight:
        return {QPoint(10, 15), QPoint(20, 15), QPoint(0, 0)};
    case hdDownLeft:
        break;
    }
    return {QPoint(w - 26, 15), QPoint(w - 16, 15), QPoint(w - 6, 0)};
}

QRect HintShadowShape(QSize window, THintDirection direction)
{
    const int w = window.width();
    const int h = window.height();
    if (IsUpDirection(direction)) return QRect(10, 8, w - 10, h - 9 - 8);
    return QRect(10, 23, w - 10, h - 2 - 23);
}

bool HasTailShadow(THintDirection direction)
{
    return IsUpDirection(direction);
}

std::array<QPoint, 3> HintTailShadow(QSize window, THintDirection direction)
{
    const int w = window.width();
    const int h = window.height();
    if (direction == hdUpLeft) return {QPoint(w - 33, h - 15), QPoint(w - 11, h - 15), QPoint(w - 6, h)};
    return {QPoint(12, h - 15), QPoint(25, h - 15), QPoint(12, h)};
}

std::vector<QRect> HintShadowStrips(QSize window, THintDirection direction)
{
    const int w = window.width();
    const int h = window.height();
    std::vector<QRect> strips;
    if (IsUpDirection(direction)) {
        strips.emplace_back(QPoint(w - 14, 8), QPoint(w, h - 14));
        strips.emplace_back(QPoint(10, h - 14), QPoint(w, h - 9));
        const auto tail = HintTailShadow(window, direction);
        strips.emplace_back(QPoint(tail[0].x(), h - 15), QPoint(tail[1].x(), h));
    } else {
        strips.emplace_back(QPoint(w - 14, 23), QPoint(w, h - 8));
        strips.emplace_back(QPoint(10, h - 8), QPoint(w, h - 2));
    }
    return strips;
}

bool InRoundRect(const QRect& shape, int ellipseWidth, int ellipseHeight, QPoint pixel)
{
    const double px = pixel.x() + 0.5;
    const double py = pixel.y() + 0.5;
    const double left = shape.x();
    const double top = shape.y();
    const double right = shape.x() + shape.width();
    const double bottom = shape.y() + shape.height();
    if (px < left || px > right || py < top || py > bottom) return false;
    const double rx = std::min(ellipseWidth / 2.0, (right - left) / 2.0);
    const double ry = std::min(ellipseHeight / 2.0, (bottom - top) / 2.0);
    if (rx <= 0 || ry <= 0) return true;
    // Only the four corner squares are cut by the ellipses.
    const double cx = px < left + rx ? left + rx : (px > right - rx ? right - rx : px);
    const double cy = py < top + ry ? top + ry : (py > bottom - ry ? bottom - ry : py);
    const double dx = (px - cx) / rx;
    const double dy = (py - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

bool InTriangle(const std::array<QPoint, 3>& corners, QPoint pixel)
{
    const double px = pixel.x() + 0.5;
    const double py = pixel.y() + 0.5;
    auto side = [&](QPoint a, QPoint b) {
        return (b.x() - a.x()) * (py - a.y()) - (b.y() - a.y()) * (px - a.x());
    };
    const double d1 = side(corners[0], corners[1]);
    const double d2 = side(corners[1], corners[2]);
    const double d3 = side(corners[2], corners[0]);
    const bool hasNegative = d1 < 0 || d2 < 0 || d3 < 0;
    const bool hasPositive = d1 > 0 || d2 > 0 || d3 > 0;
    return !(hasNegative && hasPositive);
}

std::vector<QPoint> HintShadowPixels(QSize window, THintDirection direction)
{
    const QRect shape = HintShadowShape(window, direction);
    const std::vector<QRect> strips = HintShadowStrips(window, direction);
    const QRect inside(QPoint(0, 0), window);
    std::vector<bool> seen(static_cast<size_t>(std::max(0, window.width() * window.height())), false);
    const auto tail = HintTailShadow(window, direction);
    std::vector<QPoint> pixels;
    for (size_t i = 0; i < strips.size(); ++i) {
        const bool tailBox = i == 2; // the third box, up directions only, holds the tail's shadow
        const QRect strip = strips[i].intersected(inside);
        for (int y = strip.top(); y <= strip.bottom(); ++y) {
            for (int x = strip.left(); x <= strip.right(); ++x) {
                const QPoint p(x, y);
                const bool inShape = tailBox ? InTriangle(tail, p) : InRoundRect(shape, 8, 8, p);
                const size_t index = static_cast<size_t>(y) * window.width() + x;
                if (!IsShadowDot(x, y) || !inShape || seen[index]) continue;
                seen[index] = true;
                pixels.push_back(p);
            }
        }
    }
    return pixels;
}

} // namespace quorvane
