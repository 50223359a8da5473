// TMetafilePlayer: device-context state and the drawing helpers shared by the
// WMF and EMF players. Invariants: an object index is checked against the
// table before use; the saved-state stack never exceeds kMaxSavedStates; a
// canvas only receives finite coordinates inside kMaxCanvasCoordinate.
#include "MetafilePlayer.h"

#include "EMetafile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace quorvane {
namespace {

constexpr std::size_t kMaxClipPaths = 32; // intersections kept at once; later ones are ignored
constexpr double kMaxFontPixels = 16384;
constexpr double kDefaultFontPixels = 16; // the height GDI gives a font asked for with height 0

TMfPen NullPen()
{
    TMfPen pen;
    pen.Style = TMfPenStyle::Null;
    return pen;
}

TMfBrush NullBrush()
{
    TMfBrush brush;
    brush.Style = TMfBrushStyle::Null;
    return brush;
}

TMfBrush SolidBrush(TMfColor color)
{
    TMfBrush brush;
    brush.Color = color;
    return brush;
}

} // namespace

TMfColor ColorFromRef(std::uint32_t ref)
{
    return {std::uint8_t(ref & 0xFF), std::uint8_t((ref >> 8) & 0xFF), std::uint8_t((ref >> 16) & 0xFF)};
}

TMfLogPen PenFromStyle(std::uint32_t style, double width, std::uint32_t color)
{
    static constexpr std::array<TMfPenStyle, 9> kStyles{
        TMfPenStyle::Solid,   TMfPenStyle::Dash,       TMfPenStyle::Dot,
        TMfPenStyle::DashDot, TMfPenStyle::DashDotDot, TMfPenStyle::Null,
        TMfPenStyle::Solid,   TMfPenStyle::Solid,      TMfPenStyle::Dot};
    TMfLogPen pen;
    const std::uint32_t kind = style & 0xF;
    pen.Style = kind < kStyles.size() ? kStyles[kind] : TMfPenStyle::Solid;
    pen.Width = std::fabs(width);
    pen.Cosmetic = !(pen.Width > 0);
    pen.Color = ColorFromRef(color);
    const std::uint32_t cap = style & 0xF00, join = style & 0xF000;
    pen.Cap = cap == 0x100 ? TMfLineCap::Square : cap == 0x200 ? TMfLineCap::Flat : TMfLineCap::Round;
    pen.Join = join == 0x1000 ? TMfLineJoin::Bevel : join == 0x2000 ? TMfLineJoin::Miter : TMfLineJoin::Round;
    return pen;
}

TMfBrush BrushFromStyle(std::uint32_t style, std::uint32_t color, std::uint32_t hatch)
{
    TMfBrush brush = SolidBrush(ColorFromRef(color));
    if (style == 1)
        brush.Style = TMfBrushStyle::Null;
    else if (style == 2 && hatch <= 5) {
        brush.Style = TMfBrushStyle::Hatched;
        brush.Hatch = TMfHatch(hatch);
    }
    return brush;
}

std::optional<TMfRop> RopFromCode(std::uint32_t rop)
{
    // The boolean operation is the code's third byte; the low word only
    // describes how GDI evaluates it.
    switch ((rop >> 16) & 0xFF) {
    case 0xCC:
        return TMfRop::Copy;
    case 0x88:
        return TMfRop::And;
    case 0xEE:
        return TMfRop::Or;
    case 0x66:
        return TMfRop::Xor;
    case 0x33:
        return TMfRop::NotCopy;
    default:
        return std::nullopt;
    }
}

TMetafilePlayer::TMetafilePlayer(IMetafileCanvas& canvas, double canvasWidth, double canvasHeight)
    : FCanvasWidth(canvasWidth), FCanvasHeight(canvasHeight), FCanvas(canvas)
{
}

void TMetafilePlayer::SetObjectCount(std::size_t count, bool lowestFree)
{
    FObjects.assign(count, std::nullopt);
    FLowestFree = lowestFree;
    FFreeSlots.clear();
    if (lowestFree)
        for (std::size_t i = 0; i < count; ++i)
            FFreeSlots.insert(FFreeSlots.end(), i);
}

void TMetafilePlayer::CreateObjectInFreeSlot(TMfObject object)
{
    // A set of free slots keeps this logarithmic: a linear search would make
    // a file of creations into a full table quadratic.
    if (FFreeSlots.empty()) return;
    const std::size_t slot = *FFreeSlots.begin();
    FFreeSlots.erase(FFreeSlots.begin());
    FObjects[slot] = std::move(object);
}

void TMetafilePlayer::CreateObjectAt(std::size_t index, TMfObject object)
{
    // Slot 0 stands for the metafile itself and is never an object.
    if (index > 0 && index < FObjects.size()) FObjects[index] = std::move(object);
}

void TMetafilePlayer::SelectObject(std::size_t index)
{
    if (index >= FObjects.size() || !FObjects[index]) return;
    // The state keeps copies, so deleting a selected object leaves it in use
    // until something else is selected, as GDI does.
    if (const auto* pen = std::get_if<TMfLogPen>(&*FObjects[index]))
        FDc.Pen = *pen;
    else if (const auto* brush = std::get_if<TMfBrush>(&*FObjects[index]))
        FDc.Brush = *brush;
    else if (const auto* font = std::get_if<TMfLogFont>(&*FObjects[index]))
        FDc.Font = *font;
}

void TMetafilePlayer::DeleteObject(std::size_t index)
{
    if (index >= FObjects.size() || !FObjects[index]) return;
    FObjects[index].reset();
    if (FLowestFree) FFreeSlots.insert(index);
}

void TMetafilePlayer::SaveDc()
{
    if (FSaved.size() < MetafileLimits::kMaxSavedStates) FSaved.push_back(FDc);
}

void TMetafilePlayer::RestoreDc(int which)
{
    // Negative: that many levels back; positive: the n-th saved state.
    const std::int64_t depth = std::int64_t(FSaved.size());
    const std::int64_t keep = which < 0 ? depth + which : std::int64_t(which) - 1;
    if (which == 0 || keep < 0 || keep >= depth) return;
    FDc = FSaved[std::size_t(keep)];
    FSaved.resize(std::size_t(keep));
    ApplyClip();
}

void TMetafilePlayer::ApplyClip()
{
    if (FDc.Clip == FAppliedClip) return;
    FAppliedClip = FDc.Clip;
    FCanvas.SetClip(FAppliedClip);
}

void TMetafilePlayer::IntersectClip(const TMfBox& logicalBox)
{
    TMfPath path;
    TMfPathBuilder(path, LogicalToCanvas()).AddRectangle(logicalBox.Normalized());
    IntersectClipPath(std::move(path));
}

void TMetafilePlayer::IntersectClipPath(TMfPath canvasPath)
{
    std::size_t points = canvasPath.Points.size();
    for (const auto& region : FDc.Clip)
        points += region->Points.size();
    if (canvasPath.Empty() || !PathIsSane(canvasPath) || FDc.Clip.size() >= kMaxClipPaths ||
        points > MetafileLimits::kMaxClipPoints)
        return;
    FDc.Clip.push_back(std::make_shared<const TMfPath>(std::move(canvasPath)));
    ApplyClip();
}

void TMetafilePlayer::ResetClip()
{
    if (FDc.Clip.empty()) return;
    FDc.Clip.clear();
    ApplyClip();
}

TMfPen TMetafilePlayer::CanvasPen() const
{
    const TMfLogPen& log = FDc.Pen;
    TMfPen pen;
    pen.Style = log.Style;
    pen.Color = log.Color;
    pen.Cap = log.Cap;
    pen.Join = log.Join;
    pen.Width = log.Cosmetic ? 0 : log.Width * LogicalToCanvas().Scale();
    if (!std::isfinite(pen.Width) || pen.Width > MetafileLimits::kMaxCanvasCoordinate) pen.Width = 0;
    return pen;
}

void TMetafilePlayer::Emit(TMfPath&& path, bool fill, bool stroke, bool continues)
{
    if (path.Empty() || !PathIsSane(path)) return;
    if (FInPath) {
        // Inside a path bracket, drawing from the current position goes on
        // with the open figure instead of starting a new one.
        if (continues && !FPath.Empty() && FPath.Ops.back() != TMfPathOp::Close)
            path.Ops.front() = TMfPathOp::LineTo;
        if (FPathUsable && FPath.Points.size() + path.Points.size() <= MetafileLimits::kMaxPathPoints)
            FPath.Append(path);
        else
            FPathUsable = false;
        return;
    }
    const TMfPen pen = stroke ? CanvasPen() : NullPen();
    const bool visiblePen = pen.Style != TMfPenStyle::Null;
    if (!Spend(PathWork(path, fill, visiblePen, pen.Width, FCanvasWidth, FCanvasHeight))) return;
    FCanvas.DrawPath(path, pen, fill ? FDc.Brush : NullBrush(), FDc.FillMode);
}

void TMetafilePlayer::MoveTo(TMfPoint p)
{
    FDc.Position = p;
    if (FInPath) FPath.MoveTo(LogicalToCanvas().Map(p));
}

void TMetafilePlayer::LineTo(TMfPoint p)
{
    DrawPoly({p}, false, true);
}

void TMetafilePlayer::DrawPoly(const std::vector<TMfPoint>& points, bool closed, bool continueFigure)
{
    if (points.empty()) return;
    const TMfAffine map = LogicalToCanvas();
    TMfPath path;
    if (continueFigure) {
        path.MoveTo(map.Map(FDc.Position));
        FDc.Position = points.back();
    }
    for (const TMfPoint& p : points)
        path.LineTo(map.Map(p));
    if (closed) path.Close();
    Emit(std::move(path), closed, true, continueFigure);
}

void TMetafilePlayer::DrawPolyPoly(const std::vector<std::vector<TMfPoint>>& polys, bool closed)
{
    const TMfAffine map = LogicalToCanvas();
    TMfPath path;
    for (const std::vector<TMfPoint>& poly : polys) {
        if (poly.empty()) continue;
        path.MoveTo(map.Map(poly[0]));
        for (std::size_t i = 1; i < poly.size(); ++i)
            path.LineTo(map.Map(poly[i]));
        if (closed) path.Close();
    }
    Emit(std::move(path), closed, true);
}

void TMetafilePlayer::DrawBeziers(const std::vector<TMfPoint>& points, bool continueFigure)
{
    if (points.empty()) return;
    const TMfAffine map = LogicalToCanvas();
    TMfPath path;
    std::size_t i = 0;
    path.MoveTo(map.Map(continueFigure ? FDc.Position : points[i++]));
    for (; i + 3 <= points.size(); i += 3)
        path.CubicTo(map.Map(points[i]), map.Map(points[i + 1]), map.Map(points[i + 2]));
    if (continueFigure && i > 0) FDc.Position = points[i - 1];
    Emit(std::move(path), false, true, continueFigure);
}

void TMetafilePlayer::DrawRectangle(const TMfBox& box)
{
    TMfPath path;
    TMfPathBuilder(path, LogicalToCanvas()).AddRectangle(box.Normalized());
    Emit(std::move(path), true, true);
}

void TMetafilePlayer::DrawEllipse(const TMfBox& box)
{
    TMfPath path;
    TMfPathBuilder(path, LogicalToCanvas()).AddEllipse(box.Normalized());
    Emit(std::move(path), true, true);
}

void TMetafilePlayer::DrawRoundRect(const TMfBox& box, double cornerWidth, double cornerHeight)
{
    TMfPath path;
    TMfPathBuilder(path, LogicalToCanvas()).AddRoundRect(box.Normalized(), cornerWidth, cornerHeight);
    Emit(std::move(path), true, true);
}

void TMetafilePlayer::DrawArc(const TMfBox& rawBox, TMfPoint start, TMfPoint end, TMfArcKind kind)
{
    const TMfBox box = rawBox.Normalized();
    const double a = EllipseAngle(box, start);
    const double sweep = ArcSweep(a, EllipseAngle(box, end), FDc.Clockwise);
    TMfPath path;
    TMfPathBuilder build(path, LogicalToCanvas());
    if (kind == TMfArcKind::Pie)
        build.MoveTo({(box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2});
    else if (kind == TMfArcKind::ArcTo)
        build.MoveTo(FDc.Position);
    build.AddArc(box, a, sweep, kind == TMfArcKind::Arc || kind == TMfArcKind::Chord);
    const bool closed = kind == TMfArcKind::Chord || kind == TMfArcKind::Pie;
    if (closed) build.Close();
    if (kind == TMfArcKind::ArcTo) FDc.Position = EllipsePoint(box, a + sweep);
    Emit(std::move(path), closed, true, kind == TMfArcKind::ArcTo);
}

void TMetafilePlayer::DrawAngleArc(TMfPoint c, double radius, double startDegrees, double sweepDegrees)
{
    if (!std::isfinite(startDegrees) || !std::isfinite(sweepDegrees)) return;
    const double r = std::fabs(radius);
    const TMfBox box{c.X - r, c.Y - r, c.X + r, c.Y + r};
    const double start = std::fmod(startDegrees, 360.0) * std::numbers::pi / 180;
    const double sweep = std::clamp(sweepDegrees, -360.0, 360.0) * std::numbers::pi / 180;
    TMfPath path;
    TMfPathBuilder build(path, LogicalToCanvas());
    build.MoveTo(FDc.Position);
    build.AddArc(box, start, sweep, false);
    FDc.Position = EllipsePoint(box, start + sweep);
    Emit(std::move(path), false, true, true);
}

void TMetafilePlayer::FillBox(const TMfBox& box, const TMfBrush& brush)
{
    TMfPath path;
    TMfPathBuilder(path, LogicalToCanvas()).AddRectangle(box.Normalized());
    if (FInPath || !PathIsSane(path)) return;
    if (!Spend(PathWork(path, true, false, 0, FCanvasWidth, FCanvasHeight))) return;
    FCanvas.DrawPath(path, NullPen(), brush, TMfFillMode::Winding);
}

void TMetafilePlayer::SetPixel(TMfPoint p, TMfColor color)
{
    const TMfPoint at = LogicalToCanvas().Map(p);
    const double side = std::max(PixelScale(), 1e-3);
    TMfPath path;
    TMfPathBuilder(path, TMfAffine{}).AddRectangle({at.X, at.Y, at.X + side, at.Y + side});
    if (!FInPath && PathIsSane(path) && Spend(PathWork(path, true, false, 0, FCanvasWidth, FCanvasHeight)))
        FCanvas.DrawPath(path, NullPen(), SolidBrush(color), TMfFillMode::Winding);
}

TMfFont TMetafilePlayer::CanvasFont() const
{
    const TMfLogFont& log = FDc.Font;
    const TMfPoint up = LogicalToCanvas().MapVector({0, 1});
    TMfFont font;
    font.Height =
        log.Height == 0 ? kDefaultFontPixels * PixelScale() : std::fabs(log.Height) * std::hypot(up.X, up.Y);
    font.CellHeight = log.Height > 0;
    font.Weight = log.Weight;
    font.Italic = log.Italic;
    font.Underline = log.Underline;
    font.StrikeOut = log.StrikeOut;
    font.FaceName = log.FaceName;
    font.Charset = log.Charset;
    // Escapement turns the baseline counter-clockwise on the device; a world
    // transform turns it further.
    font.Angle = -log.Escapement / 10.0 + std::atan2(FDc.World.M12, FDc.World.M11) * 180 / std::numbers::pi;
    return font;
}

TMfText TMetafilePlayer::MakeText(TMfPoint at, std::u16string text, std::string ansi) const
{
    TMfText t;
    t.Origin = LogicalToCanvas().Map(at);
    t.Text = std::move(text);
    t.AnsiBytes = std::move(ansi);
    t.Font = CanvasFont();
    t.Color = FDc.TextColor;
    const std::uint32_t h = FDc.TextAlign & 6, v = FDc.TextAlign & 24;
    t.HAlign = h == 6 ? TMfHAlign::Center : h == 2 ? TMfHAlign::Right : TMfHAlign::Left;
    t.VAlign = v == 24 ? TMfVAlign::Baseline : v == 8 ? TMfVAlign::Bottom : TMfVAlign::Top;
    t.Opaque = FDc.BkOpaque;
    t.Background = FDc.BkColor;
    return t;
}

void TMetafilePlayer::DrawTextRun(TMfPoint at, std::u16string text, std::string ansi, const TMfBox* opaque,
                                  const TMfBox* clip)
{
    if (FInPath) return;
    const bool updateCp = FDc.TextAlign & 1;
    if (updateCp) at = FDc.Position;
    if (opaque) FillBox(*opaque, SolidBrush(FDc.BkColor));
    if (text.empty()) return;
    const TMfText run = MakeText(at, std::move(text), std::move(ansi));
    if (!PointIsSane(run.Origin) || !std::isfinite(run.Font.Height) || run.Font.Height > kMaxFontPixels)
        return;
    // A glyph covers at most a square of the font's height.
    const double cell = std::min(run.Font.Height * run.Font.Height, FCanvasWidth * FCanvasHeight);
    if (!Spend(std::uint64_t(run.Text.size()) * std::uint64_t(std::max(cell, 1.0)) + run.Text.size())) return;
    const TMfClip saved = FDc.Clip;
    if (clip) IntersectClip(*clip);
    const double advance = FCanvas.DrawText(run);
    FDc.Clip = saved;
    ApplyClip();
    const double scaleX = std::fabs(LogicalToCanvas().M11);
    if (updateCp && scaleX > 0 && std::isfinite(advance)) FDc.Position.X += advance / scaleX;
}

void TMetafilePlayer::DrawDib(const TMfDib& dib, std::int64_t sx, std::int64_t sy, std::int64_t sw,
                              std::int64_t sh, TMfBox d, TMfRop rop)
{
    double dx = d.Left, dy = d.Top, dw = d.Right - d.Left, dh = d.Bottom - d.Top;
    if (sw < 0) sx += sw, sw = -sw, dx += dw, dw = -dw;
    if (sh < 0) sy += sh, sh = -sh, dy += dh, dh = -dh;
    if (FInPath || sw == 0 || sh == 0) return;
    const std::int64_t w = dib.Image.Width, h = dib.Image.Height;
    // Source rectangles of bottom-up bitmaps count rows from the bottom.
    const std::int64_t top = dib.BottomUp ? h - (sy + sh) : sy;
    const std::int64_t x0 = std::max<std::int64_t>(sx, 0), x1 = std::min(sx + sw, w);
    const std::int64_t y0 = std::max<std::int64_t>(top, 0), y1 = std::min(top + sh, h);
    if (x0 >= x1 || y0 >= y1) return;
    const double fx0 = double(x0 - sx) / sw, fx1 = double(x1 - sx) / sw;
    const double fy0 = double(y0 - top) / sh, fy1 = double(y1 - top) / sh;
    const TMfAffine map = LogicalToCanvas();
    TMfImagePlacement place;
    place.TopLeft = map.Map({dx + dw * fx0, dy + dh * fy0});
    place.TopRight = map.Map({dx + dw * fx1, dy + dh * fy0});
    place.BottomLeft = map.Map({dx + dw * fx0, dy + dh * fy1});
    place.SourceX = int(x0), place.SourceY = int(y0);
    place.SourceWidth = int(x1 - x0), place.SourceHeight = int(y1 - y0);
    if (!PointIsSane(place.TopLeft) || !PointIsSane(place.TopRight) || !PointIsSane(place.BottomLeft)) return;
    const TMfPoint corners[4] = {place.TopLeft,
                                 place.TopRight,
                                 place.BottomLeft,
                                 {place.TopRight.X + place.BottomLeft.X - place.TopLeft.X,
                                  place.TopRight.Y + place.BottomLeft.Y - place.TopLeft.Y}};
    if (!Spend(CoveredArea(corners, 4, FCanvasWidth, FCanvasHeight))) return;
    FCanvas.DrawImage(dib.Image, place, rop);
}

bool TMetafilePlayer::Spend(std::uint64_t units)
{
    if (FBudget.Charge(units)) return true;
    FResult.OutOfWork = true;
    return false;
}

std::optional<TMfDib> TMetafilePlayer::DecodeDibCharged(TByteView info, TByteView bits, bool keepAlpha)
{
    if (!Spend(DibPixelCount(info) * MetafileBudget::kDecodedPixelWork)) return std::nullopt;
    return DecodeDib(info, bits, keepAlpha);
}

std::optional<TMfDib> TMetafilePlayer::DecodePackedDibCharged(TByteView packed)
{
    if (!Spend(DibPixelCount(packed) * MetafileBudget::kDecodedPixelWork)) return std::nullopt;
    return DecodePackedDib(packed);
}

TMfBrush TMetafilePlayer::PatternBrush(TMfDib&& dib)
{
    TMfBrush brush = BrushFromStyle(0, 0x808080, 0);
    if (std::shared_ptr<const TMfImage> pattern = FBudget.SharePattern(std::move(dib.Image))) {
        brush.Style = TMfBrushStyle::Pattern;
        brush.Pattern = std::move(pattern);
    }
    return brush;
}

void TMetafilePlayer::BeginPath()
{
    FInPath = true;
    FPathUsable = true;
    FPath = TMfPath{};
}

void TMetafilePlayer::CloseFigure()
{
    if (FInPath) FPath.Close();
}

void TMetafilePlayer::FinishPath(bool fill, bool stroke)
{
    FInPath = false;
    TMfPath path = std::move(FPath);
    FPath = TMfPath{};
    if (FPathUsable && !path.Empty() && PathIsSane(path))
        FCanvas.DrawPath(path, stroke ? CanvasPen() : NullPen(), fill ? FDc.Brush : NullBrush(),
                         FDc.FillMode);
}

void TMetafilePlayer::ClipToPath()
{
    FInPath = false;
    TMfPath path = std::move(FPath);
    FPath = TMfPath{};
    if (FPathUsable) IntersectClipPath(std::move(path));
}

void TMetafilePlayer::AbortPath()
{
    FInPath = false;
    FPath = TMfPath{};
}

void TMetafilePlayer::DecodeAnsi(const std::string& bytes, std::u16string& text, std::string& undecoded) const
{
    // Windows-1252 where it differs from Latin-1.
    static constexpr std::array<char16_t, 32> kHigh{
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    const std::uint8_t charset = FDc.Font.Charset;
    const bool western = charset == 0 || charset == 1;
    text.clear();
    for (const char c : bytes) {
        const auto b = std::uint8_t(c);
        text.push_back(western && b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b));
    }
    // Symbol fonts map bytes straight to glyphs; other charsets need a codec.
    undecoded = western || charset == 2 ? std::string() : bytes;
}

} // namespace quorvane
