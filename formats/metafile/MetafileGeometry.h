// Geometry for the players: the affine map from metafile units to canvas
// pixels, and the builder that turns GDI shapes (rectangles, ellipses, arcs,
// chords, pies, rounded rectangles) into canvas paths. Shapes are built in
// metafile units and every point is mapped, so a rotated or sheared world
// transform bends them exactly (affine maps keep Bezier curves Bezier).
#pragma once

#include "MetafileTypes.h"

namespace quorvane {

// x' = x*M11 + y*M21 + Dx, y' = x*M12 + y*M22 + Dy (the XFORM layout).
struct TMfAffine {
    double M11 = 1, M12 = 0, M21 = 0, M22 = 1, Dx = 0, Dy = 0;

    TMfPoint Map(TMfPoint p) const { return {p.X * M11 + p.Y * M21 + Dx, p.X * M12 + p.Y * M22 + Dy}; }
    TMfPoint MapVector(TMfPoint v) const { return {v.X * M11 + v.Y * M21, v.X * M12 + v.Y * M22}; }
    // This map followed by next.
    TMfAffine Then(const TMfAffine& next) const;
    // The mean scale factor of lengths (square root of the determinant).
    double Scale() const;
    bool Finite() const;
    static TMfAffine Translation(double dx, double dy) { return {1, 0, 0, 1, dx, dy}; }
    static TMfAffine Scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
};

struct TMfBox {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    TMfBox Normalized() const;
    double Width() const { return Right - Left; }
    double Height() const { return Bottom - Top; }
};

// Builds a canvas path from shapes given in metafile units.
class TMfPathBuilder {
  public:
    TMfPathBuilder(TMfPath& path, const TMfAffine& map) : FPath(path), FMap(map) {}

    void MoveTo(TMfPoint p) { FPath.MoveTo(FMap.Map(p)); }
    void LineTo(TMfPoint p) { FPath.LineTo(FMap.Map(p)); }
    void CubicTo(TMfPoint c1, TMfPoint c2, TMfPoint end)
    {
        FPath.CubicTo(FMap.Map(c1), FMap.Map(c2), FMap.Map(end));
    }
    void Close() { FPath.Close(); }

    void AddRectangle(const TMfBox& box);
    void AddEllipse(const TMfBox& box);
    void AddRoundRect(const TMfBox& box, double cornerWidth, double cornerHeight);
    // The elliptic arc of box from angle start sweeping by sweep (radians,
    // counter-clockwise as seen with y down); begins with a MoveTo when
    // moveFirst, else with a LineTo to the arc's first point.
    void AddArc(const TMfBox& box, double start, double sweep, bool moveFirst);

  private:
    TMfPath& FPath;
    TMfAffine FMap;
};

// The angle, on the ellipse inscribed in box, of the radial line through p.
double EllipseAngle(const TMfBox& box, TMfPoint p);
// The point of the ellipse inscribed in box at angle t.
TMfPoint EllipsePoint(const TMfBox& box, double t);
// The sweep from angle a to angle b in the given direction, in (0, 2 pi];
// negative for clockwise.
double ArcSweep(double a, double b, bool clockwise);

// True when every point of the path is finite and inside the canvas limit.
bool PathIsSane(const TMfPath& path);
bool PointIsSane(TMfPoint p);

} // namespace quorvane
