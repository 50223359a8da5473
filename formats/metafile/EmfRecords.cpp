// TEmfPlayer: the object and drawing records of enhanced metafiles. Counts
// read from a record (points, polygons, characters, bitmap ranges) are
// checked against the record's own size before anything is sized by them.
#include "EmfPlayer.h"

#include <algorithm>
#include <cmath>

namespace quorvane {
using namespace emf_fields;
namespace {

constexpr std::uint32_t kStockBit = 0x80000000u;

// AlphaBlend's source: premultiplied alpha per pixel (perPixel), then the
// constant alpha over all; the canvas takes straight alpha.
void ApplyAlpha(TMfImage& image, std::uint8_t constant, bool perPixel)
{
    for (std::uint32_t& p : image.Pixels) {
        std::uint32_t a = perPixel ? p >> 24 : 255;
        std::uint32_t rgb = p & 0x00FFFFFFu;
        if (perPixel && a < 255) {
            const auto straight = [a](std::uint32_t c) {
                return a ? std::min<std::uint32_t>(c * 255 / a, 255) : 0;
            };
            rgb = (straight((p >> 16) & 0xFF) << 16) | (straight((p >> 8) & 0xFF) << 8) | straight(p & 0xFF);
        }
        a = a * constant / 255;
        p = (a << 24) | rgb;
    }
}

bool IsSmallPoly(std::uint32_t type)
{
    return type >= 85 && type <= 92;
}

} // namespace

void TEmfPlayer::SelectObjectRecord(TByteView r)
{
    const std::uint32_t index = r.U32(8);
    if (index & kStockBit)
        SelectStockObject(index & ~kStockBit);
    else
        SelectObject(index);
}

void TEmfPlayer::SelectStockObject(std::uint32_t stock)
{
    static constexpr std::uint32_t kGreys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    if (stock <= 4)
        FDc.Brush = BrushFromStyle(0, kGreys[stock], 0);
    else if (stock == 5)
        FDc.Brush = BrushFromStyle(1, 0, 0);
    else if (stock == 6 || stock == 7)
        FDc.Pen = PenFromStyle(0, 0, stock == 6 ? 0xFFFFFF : 0x000000);
    else if (stock == 8)
        FDc.Pen = PenFromStyle(5, 0, 0);
    else if (stock >= 10 && stock <= 17 && stock != 15)
        FDc.Font = TMfLogFont{};
}

void TEmfPlayer::DeleteObjectRecord(TByteView r)
{
    DeleteObject(r.U32(8));
}

void TEmfPlayer::CreatePen(TByteView r)
{
    CreateObjectAt(r.U32(8), PenFromStyle(r.U32(12), r.I32(16), r.U32(24)));
}

void TEmfPlayer::ExtCreatePen(TByteView r)
{
    constexpr std::uint32_t kGeometric = 0x10000;
    const std::uint32_t style = r.U32(28), brushStyle = r.U32(36);
    // A cosmetic pen is one pixel wide whatever its width field says.
    const double width = (style & kGeometric) ? double(r.U32(32)) : 0.0;
    TMfLogPen pen = PenFromStyle(style, width, r.U32(40));
    if (brushStyle == 1) pen.Style = TMfPenStyle::Null;
    CreateObjectAt(r.U32(8), pen);
}

void TEmfPlayer::CreateBrush(TByteView r)
{
    CreateObjectAt(r.U32(8), BrushFromStyle(r.U32(12), r.U32(16), r.U32(20)));
}

void TEmfPlayer::CreateDibBrush(TByteView r)
{
    TMfBrush brush = BrushFromStyle(0, 0x808080, 0);
    if (r.U32(12) == 0) {
        std::optional<TMfDib> dib =
            DecodeDibCharged(r.Sub(r.U32(16), r.U32(20)), r.Sub(r.U32(24), r.U32(28)));
        if (dib) brush = PatternBrush(std::move(*dib));
    }
    CreateObjectAt(r.U32(8), std::move(brush));
}

void TEmfPlayer::CreateFont(TByteView r)
{
    TMfLogFont font;
    font.Height = r.I32(12);
    font.Escapement = r.I32(20);
    font.Weight = r.I32(28);
    font.Italic = r.U8(32);
    font.Underline = r.U8(33);
    font.StrikeOut = r.U8(34);
    font.Charset = r.U8(35);
    for (std::size_t i = 0; i < 32 && r.Has(40 + 2 * i, 2) && r.U16(40 + 2 * i) != 0; ++i)
        font.FaceName.push_back(char16_t(r.U16(40 + 2 * i)));
    CreateObjectAt(r.U32(8), std::move(font));
}

void TEmfPlayer::CreatePlaceholder(TByteView r)
{
    CreateObjectAt(r.U32(8), TMfPalettePlaceholder{});
}

void TEmfPlayer::MoveToRecord(TByteView r)
{
    MoveTo(PointL(r, 8));
}

void TEmfPlayer::LineToRecord(TByteView r)
{
    LineTo(PointL(r, 8));
}

void TEmfPlayer::SetPixelRecord(TByteView r)
{
    SetPixel(PointL(r, 8), ColorFromRef(r.U32(16)));
}

std::vector<TMfPoint> TEmfPlayer::ReadPoints(TByteView r, std::size_t offset, std::uint64_t count,
                                             bool small) const
{
    const std::uint64_t each = small ? 4 : 8;
    if (count > r.Size() / each) throw EByteRange{};
    const TByteView raw = r.Sub(offset, std::size_t(count * each));
    std::vector<TMfPoint> points(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = small ? TMfPoint{double(raw.I16(4 * i)), double(raw.I16(4 * i + 2))} : PointL(raw, 8 * i);
    return points;
}

void TEmfPlayer::Poly(TByteView r)
{
    const std::uint32_t kind = IsSmallPoly(FType) ? FType - 83 : FType; // 16-bit records map onto 2..6
    const std::vector<TMfPoint> points = ReadPoints(r, 28, r.U32(24), IsSmallPoly(FType));
    switch (kind) {
    case 2:
        DrawBeziers(points, false);
        break;
    case 3:
        DrawPoly(points, true, false);
        break;
    case 4:
        DrawPoly(points, false, false);
        break;
    case 5:
        DrawBeziers(points, true);
        break;
    default:
        DrawPoly(points, false, true);
        break;
    }
}

void TEmfPlayer::PolyPoly(TByteView r)
{
    const bool small = IsSmallPoly(FType);
    const std::uint64_t polys = r.U32(24), total = r.U32(28);
    if (polys > r.Size() / 4) throw EByteRange{};
    const TByteView counts = r.Sub(32, std::size_t(polys * 4));
    const std::vector<TMfPoint> points = ReadPoints(r, 32 + std::size_t(polys * 4), total, small);
    std::vector<std::vector<TMfPoint>> all(static_cast<std::size_t>(polys));
    std::size_t next = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::uint32_t count = counts.U32(4 * i);
        if (count > points.size() - next) throw EByteRange{};
        all[i].assign(points.begin() + std::ptrdiff_t(next), points.begin() + std::ptrdiff_t(next + count));
        next += count;
    }
    DrawPolyPoly(all, FType == 8 || FType == 91);
}

void TEmfPlayer::PolyDraw(TByteView r)
{
    constexpr std::uint8_t kClose = 1, kLineTo = 2, kBezierTo = 4, kMoveTo = 6;
    const bool small = FType == 92;
    const std::uint64_t count = r.U32(24);
    const std::vector<TMfPoint> points = ReadPoints(r, 28, count, small);
    const TByteView types = r.Sub(28 + std::size_t(count) * (small ? 4 : 8), std::size_t(count));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::uint8_t t = types.U8(i);
        if ((t & kMoveTo) == kMoveTo) {
            MoveTo(points[i]);
        } else if (t & kBezierTo) {
            if (i + 3 > points.size()) return;
            DrawBeziers({points[i], points[i + 1], points[i + 2]}, true);
            i += 2;
        } else if (t & kLineTo) {
            LineTo(points[i]);
        }
        if (types.U8(i) & kClose) CloseFigure();
    }
}

void TEmfPlayer::Ellipse(TByteView r)
{
    DrawEllipse(RectL(r, 8));
}

void TEmfPlayer::Rectangle(TByteView r)
{
    DrawRectangle(RectL(r, 8));
}

void TEmfPlayer::RoundRect(TByteView r)
{
    DrawRoundRect(RectL(r, 8), r.I32(24), r.I32(28));
}

void TEmfPlayer::ArcRecord(TByteView r)
{
    const TMfArcKind kind = FType == 45   ? TMfArcKind::Arc
                            : FType == 46 ? TMfArcKind::Chord
                            : FType == 47 ? TMfArcKind::Pie
                                          : TMfArcKind::ArcTo;
    DrawArc(RectL(r, 8), PointL(r, 24), PointL(r, 32), kind);
}

void TEmfPlayer::AngleArc(TByteView r)
{
    DrawAngleArc(PointL(r, 8), r.U32(16), r.F32(20), r.F32(24));
}

void TEmfPlayer::BeginPathRecord(TByteView)
{
    BeginPath();
}

void TEmfPlayer::EndPathRecord(TByteView)
{
    EndPath();
}

void TEmfPlayer::CloseFigureRecord(TByteView)
{
    CloseFigure();
}

void TEmfPlayer::FillPath(TByteView)
{
    FinishPath(true, false);
}

void TEmfPlayer::StrokePath(TByteView)
{
    FinishPath(false, true);
}

void TEmfPlayer::StrokeAndFillPath(TByteView)
{
    FinishPath(true, true);
}

void TEmfPlayer::AbortPathRecord(TByteView)
{
    AbortPath();
}

void TEmfPlayer::ExtTextOut(TByteView r)
{
    constexpr std::uint32_t kOpaque = 2, kClipped = 4, kGlyphIndex = 0x10;
    const TMfPoint at = PointL(r, 36);
    const std::uint64_t chars = r.U32(44);
    const std::uint32_t offset = r.U32(48), options = r.U32(52);
    const TMfBox rect = RectL(r, 56);
    const bool wide = FType == 84;
    const TByteView raw =
        r.Sub(offset, std::size_t(std::min<std::uint64_t>(chars, r.Size()) * (wide ? 2 : 1)));
    std::u16string text;
    std::string undecoded;
    if (options & kGlyphIndex) {
        // Glyph indices name glyphs of a font we do not have: only the
        // background is drawn.
    } else if (wide) {
        for (std::size_t i = 0; i < raw.Size(); i += 2)
            text.push_back(char16_t(raw.U16(i)));
    } else {
        DecodeAnsi(std::string(reinterpret_cast<const char*>(raw.Data()), raw.Size()), text, undecoded);
    }
    DrawTextRun(at, std::move(text), std::move(undecoded), (options & kOpaque) ? &rect : nullptr,
                (options & kClipped) ? &rect : nullptr);
}

void TEmfPlayer::DrawRecordDib(TByteView r, std::size_t infoAt, std::uint32_t rop, std::int64_t sx,
                               std::int64_t sy, std::int64_t sw, std::int64_t sh, const TMfBox& dest)
{
    // infoAt: the record's usage, offBmi, cbBmi, offBits, cbBits fields, in that order.
    const std::optional<TMfRop> op = RopFromCode(rop);
    if (!op || r.U32(infoAt) != 0) return;
    const std::optional<TMfDib> dib = DecodeDibCharged(r.Sub(r.U32(infoAt + 4), r.U32(infoAt + 8)),
                                                       r.Sub(r.U32(infoAt + 12), r.U32(infoAt + 16)));
    if (!dib) {
        if (!FResult.OutOfWork) ++FResult.Malformed;
        return;
    }
    DrawDib(*dib, sx, sy, sw, sh, dest, *op);
}

void TEmfPlayer::Blt(TByteView r)
{
    const std::int64_t x = r.I32(24), y = r.I32(28), w = r.I32(32), h = r.I32(36);
    const TMfBox dest{double(x), double(y), double(x + w), double(y + h)};
    const std::uint32_t rop = r.U32(40);
    if (r.U32(88) == 0) {
        // No source bitmap: the operation paints with the brush, or black or white.
        const std::uint32_t op = (rop >> 16) & 0xFF;
        if (op == 0xF0)
            FillBox(dest, FDc.Brush);
        else if (op == 0x00 || op == 0xFF)
            FillBox(dest, BrushFromStyle(0, op == 0 ? 0 : 0xFFFFFF, 0));
        return;
    }
    const bool stretch = FType == 77;
    const std::int64_t sw = stretch ? r.I32(100) : w, sh = stretch ? r.I32(104) : h;
    DrawRecordDib(r, 80, rop, r.I32(44), r.I32(48), sw, sh, dest);
}

void TEmfPlayer::StretchDiBits(TByteView r)
{
    const std::int64_t x = r.I32(24), y = r.I32(28), w = r.I32(72), h = r.I32(76);
    const TMfBox dest{double(x), double(y), double(x + w), double(y + h)};
    const std::uint32_t usage = r.U32(64);
    if (usage != 0) return;
    const std::optional<TMfRop> op = RopFromCode(r.U32(68));
    if (!op) return;
    const std::optional<TMfDib> dib =
        DecodeDibCharged(r.Sub(r.U32(48), r.U32(52)), r.Sub(r.U32(56), r.U32(60)));
    if (!dib) {
        if (!FResult.OutOfWork) ++FResult.Malformed;
        return;
    }
    DrawDib(*dib, r.I32(32), r.I32(36), r.I32(40), r.I32(44), dest, *op);
}

void TEmfPlayer::SetDiBitsToDevice(TByteView r)
{
    const std::int64_t x = r.I32(24), y = r.I32(28), w = r.I32(40), h = r.I32(44);
    if (r.U32(64) != 0) return;
    const std::optional<TMfDib> dib =
        DecodeDibCharged(r.Sub(r.U32(48), r.U32(52)), r.Sub(r.U32(56), r.U32(60)));
    if (!dib) {
        if (!FResult.OutOfWork) ++FResult.Malformed;
        return;
    }
    DrawDib(*dib, r.I32(32), r.I32(36), w, h, {double(x), double(y), double(x + w), double(y + h)},
            TMfRop::Copy);
}

void TEmfPlayer::AlphaBlend(TByteView r)
{
    // The layout of EMR_STRETCHBLT, with a blend function in place of the raster operation.
    const std::int64_t x = r.I32(24), y = r.I32(28), w = r.I32(32), h = r.I32(36);
    const std::uint8_t constant = r.U8(42);
    const bool perPixel = r.U8(43) & 1;
    if (r.U32(80) != 0 || r.U32(88) == 0) return;
    std::optional<TMfDib> dib =
        DecodeDibCharged(r.Sub(r.U32(84), r.U32(88)), r.Sub(r.U32(92), r.U32(96)), perPixel);
    if (!dib) {
        if (!FResult.OutOfWork) ++FResult.Malformed;
        return;
    }
    ApplyAlpha(dib->Image, constant, perPixel);
    DrawDib(*dib, r.I32(44), r.I32(48), r.I32(100), r.I32(104),
            {double(x), double(y), double(x + w), double(y + h)}, TMfRop::Copy);
}

} // namespace quorvane
