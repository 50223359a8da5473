// Geometry for the players: affine maps and GDI shapes as Bezier paths.
// Arcs are split into pieces of at most a quarter turn, each one cubic
// Bezier, which keeps the curve within a tiny fraction of a pixel of the arc.
#include "MetafileGeometry.h"

#include "EMetafile.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvane {

void TMfPath::MoveTo(TMfPoint p)
{
    Ops.push_back(TMfPathOp::MoveTo);
    Points.push_back(p);
}

void TMfPath::LineTo(TMfPoint p)
{
    if (Ops.empty()) {
        MoveTo(p);
        return;
    }
    Ops.push_back(TMfPathOp::LineTo);
    Points.push_back(p);
}

void TMfPath::CubicTo(TMfPoint c1, TMfPoint c2, TMfPoint end)
{
    if (Ops.empty()) MoveTo(c1);
    Ops.push_back(TMfPathOp::CubicTo);
    Points.push_back(c1);
    Points.push_back(c2);
    Points.push_back(end);
}

void TMfPath::Close()
{
    if (!Ops.empty() && Ops.back() != TMfPathOp::Close) Ops.push_back(TMfPathOp::Close);
}

void TMfPath::Append(const TMfPath& other)
{
    Ops.insert(Ops.end(), other.Ops.begin(), other.Ops.end());
    Points.insert(Points.end(), other.Points.begin(), other.Points.end());
}

TMfAffine TMfAffine::Then(const TMfAffine& n) const
{
    return {M11 * n.M11 + M12 * n.M21, M11 * n.M12 + M12 * n.M22,      M21 * n.M11 + M22 * n.M21,
            M21 * n.M12 + M22 * n.M22, Dx * n.M11 + Dy * n.M21 + n.Dx, Dx * n.M12 + Dy * n.M22 + n.Dy};
}

double TMfAffine::Scale() const
{
    return std::sqrt(std::fabs(M11 * M22 - M12 * M21));
}

bool TMfAffine::Finite() const
{
    return std::isfinite(M11) && std::isfinite(M12) && std::isfinite(M21) && std::isfinite(M22) &&
           std::isfinite(Dx) && std::isfinite(Dy);
}

TMfBox TMfBox::Normalized() const
{
    return {std::min(Left, Right), std::min(Top, Bottom), std::max(Left, Right), std::max(Top, Bottom)};
}

void TMfPathBuilder::AddRectangle(const TMfBox& b)
{
    MoveTo({b.Left, b.Top});
    LineTo({b.Right, b.Top});
    LineTo({b.Right, b.Bottom});
    LineTo({b.Left, b.Bottom});
    Close();
}

void TMfPathBuilder::AddEllipse(const TMfBox& box)
{
    AddArc(box, 0, 2 * std::numbers::pi, true);
    Close();
}

void TMfPathBuilder::AddRoundRect(const TMfBox& b, double cornerWidth, double cornerHeight)
{
    const double rx = std::min(std::fabs(cornerWidth), b.Width()) / 2;
    const double ry = std::min(std::fabs(cornerHeight), b.Height()) / 2;
    if (rx <= 0 || ry <= 0) {
        AddRectangle(b);
        return;
    }
    constexpr double quarter = std::numbers::pi / 2;
    MoveTo({b.Left + rx, b.Top});
    AddArc({b.Right - 2 * rx, b.Top, b.Right, b.Top + 2 * ry}, quarter, -quarter, false);
    AddArc({b.Right - 2 * rx, b.Bottom - 2 * ry, b.Right, b.Bottom}, 0, -quarter, false);
    AddArc({b.Left, b.Bottom - 2 * ry, b.Left + 2 * rx, b.Bottom}, -quarter, -quarter, false);
    AddArc({b.Left, b.Top, b.Left + 2 * rx, b.Top + 2 * ry}, 2 * quarter, -quarter, false);
    Close();
}

void TMfPathBuilder::AddArc(const TMfBox& box, double start, double sweep, bool moveFirst)
{
    const double rx = box.Width() / 2, ry = box.Height() / 2;
    const TMfPoint first = EllipsePoint(box, start);
    if (moveFirst)
        MoveTo(first);
    else
        LineTo(first);
    const int pieces = std::clamp(int(std::ceil(std::fabs(sweep) / (std::numbers::pi / 2) - 1e-9)), 1, 4);
    const double step = sweep / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    double a = start;
    for (int i = 0; i < pieces; ++i) {
        const double b = a + step;
        const TMfPoint p0 = EllipsePoint(box, a), p3 = EllipsePoint(box, b);
        const TMfPoint c1{p0.X - k * rx * std::sin(a), p0.Y - k * ry * std::cos(a)};
        const TMfPoint c2{p3.X + k * rx * std::sin(b), p3.Y + k * ry * std::cos(b)};
        CubicTo(c1, c2, p3);
        a = b;
    }
}

double EllipseAngle(const TMfBox& box, TMfPoint p)
{
    const double rx = std::max(box.Width() / 2, 1e-12), ry = std::max(box.Height() / 2, 1e-12);
    const double cx = (box.Left + box.Right) / 2, cy = (box.Top + box.Bottom) / 2;
    return std::atan2(-(p.Y - cy) * rx, (p.X - cx) * ry);
}

TMfPoint EllipsePoint(const TMfBox& box, double t)
{
    const double rx = box.Width() / 2, ry = box.Height() / 2;
    const double cx = (box.Left + box.Right) / 2, cy = (box.Top + box.Bottom) / 2;
    return {cx + rx * std::cos(t), cy - ry * std::sin(t)};
}

double ArcSweep(double a, double b, bool clockwise)
{
    constexpr double turn = 2 * std::numbers::pi;
    double sweep = clockwise ? a - b : b - a;
    sweep = std::fmod(sweep, turn);
    if (sweep <= 1e-12) sweep += turn;
    return clockwise ? -sweep : sweep;
}

bool PointIsSane(TMfPoint p)
{
    return std::isfinite(p.X) && std::isfinite(p.Y) &&
           std::fabs(p.X) <= MetafileLimits::kMaxCanvasCoordinate &&
           std::fabs(p.Y) <= MetafileLimits::kMaxCanvasCoordinate;
}

bool PathIsSane(const TMfPath& path)
{
    return std::all_of(path.Points.begin(), path.Points.end(), PointIsSane);
}

} // namespace quorvane
