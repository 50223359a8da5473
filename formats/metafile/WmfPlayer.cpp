// TWmfPlayer: Windows metafile records. Each record is a size in 16-bit words
// (header included), a function number and parameters; coordinates in the
// parameters come in reverse order (y before x, bottom before top). A record
// is played from a view of exactly its own parameters, so no read can reach
// past it; a record that does not fit its own size is skipped.
#include "WmfPlayer.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace quorvane {
namespace {

TMfPoint PointYX(TByteView p, std::size_t offset)
{
    return {double(p.I16(offset + 2)), double(p.I16(offset))};
}

// Four words bottom, right, top, left.
TMfBox BoxBRTL(TByteView p, std::size_t offset)
{
    return {double(p.I16(offset + 6)), double(p.I16(offset + 4)), double(p.I16(offset + 2)),
            double(p.I16(offset))};
}

// Four words height, width, y, x, as the bitmap records give their rectangles.
TMfBox BoxHWYX(TByteView p, std::size_t offset)
{
    const double x = p.I16(offset + 6), y = p.I16(offset + 4);
    return {x, y, x + p.I16(offset + 2), y + p.I16(offset)};
}

std::string ReadBytes(TByteView p, std::size_t offset, std::size_t count)
{
    const TByteView bytes = p.Sub(offset, count);
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Size());
}

} // namespace

TWmfPlayer::TWmfPlayer(IMetafileCanvas& canvas, double canvasWidth, double canvasHeight, const TMfBox& frame,
                       double pixelScale, bool deviceFrame)
    : TMetafilePlayer(canvas, canvasWidth, canvasHeight), FPixelScale(pixelScale), FDeviceFrame(deviceFrame),
      FFrame(frame)
{
    if (!deviceFrame) {
        FDc.WindowOrg = {frame.Left, frame.Top};
        FDc.WindowExt = {frame.Width(), frame.Height()};
    }
}

TMfAffine TWmfPlayer::LogicalToCanvas() const
{
    if (FDeviceFrame)
        return TMfAffine::Translation(-FDc.WindowOrg.X - FFrame.Left, -FDc.WindowOrg.Y - FFrame.Top)
            .Then(TMfAffine::Scaling(FCanvasWidth / FFrame.Width(), FCanvasHeight / FFrame.Height()));
    return TMfAffine::Translation(-FDc.WindowOrg.X, -FDc.WindowOrg.Y)
        .Then(TMfAffine::Scaling(FCanvasWidth / FDc.WindowExt.X, FCanvasHeight / FDc.WindowExt.Y));
}

void TWmfPlayer::Play(TByteView records, std::size_t objectCount)
{
    SetObjectCount(objectCount, true);
    std::size_t pos = 0;
    while (pos < records.Size()) {
        if (!records.Has(pos, 6)) {
            FResult.Truncated = true;
            return;
        }
        const std::uint32_t words = records.U32(pos);
        const std::uint16_t function = records.U16(pos + 4);
        const std::uint64_t length = std::uint64_t(words) * 2;
        if (words < 3 || !records.Has(pos, length)) {
            FResult.Truncated = true;
            return;
        }
        ++FResult.Records;
        if (function == 0) {
            FResult.ReachedEnd = true;
            return;
        }
        if (!Spend(MetafileBudget::kRecordWork)) return;
        PlayRecord(function, words, records.Sub(pos + 6, std::size_t(length) - 6));
        if (FResult.OutOfWork) return;
        pos += std::size_t(length);
    }
}

void TWmfPlayer::PlayRecord(std::uint16_t function, std::uint32_t words, TByteView params)
{
    const THandler handler = FindHandler(function);
    if (!handler) {
        ++FResult.Unknown;
        return;
    }
    FFunction = function;
    FWords = words;
    try {
        (this->*handler)(params);
    } catch (const EByteRange&) {
        ++FResult.Malformed;
    }
}

TWmfPlayer::THandler TWmfPlayer::FindHandler(std::uint16_t function)
{
    using P = TWmfPlayer;
    static const std::unordered_map<std::uint16_t, THandler> kHandlers{
        {0x0201, &P::SetBkColor},
        {0x0102, &P::SetBkMode},
        {0x0103, &P::SetMapMode},
        {0x0106, &P::SetPolyFillMode},
        {0x0209, &P::SetTextColor},
        {0x012E, &P::SetTextAlign},
        {0x020B, &P::SetWindowOrg},
        {0x020C, &P::SetWindowExt},
        {0x020F, &P::OffsetWindowOrg},
        {0x0410, &P::ScaleWindowExt},
        {0x020D, &P::Ignore},
        {0x020E, &P::Ignore},
        {0x0211, &P::Ignore},
        {0x0412, &P::Ignore},
        {0x0104, &P::Ignore},
        {0x0107, &P::Ignore},
        {0x0108, &P::Ignore},
        {0x020A, &P::Ignore},
        {0x0231, &P::Ignore},
        {0x0626, &P::Ignore},
        {0x0105, &P::Ignore},
        {0x0234, &P::Ignore},
        {0x0035, &P::Ignore},
        {0x0037, &P::Ignore},
        {0x0436, &P::Ignore},
        {0x0139, &P::Ignore},
        {0x0415, &P::Ignore},
        {0x0213, &P::LineToRecord},
        {0x0214, &P::MoveToRecord},
        {0x0416, &P::IntersectClipRect},
        {0x0817, &P::Arc},
        {0x081A, &P::Pie},
        {0x0830, &P::Chord},
        {0x0418, &P::Ellipse},
        {0x041B, &P::Rectangle},
        {0x061C, &P::RoundRect},
        {0x041F, &P::SetPixelRecord},
        {0x061D, &P::PatBlt},
        {0x001E, &P::SaveDcRecord},
        {0x0127, &P::RestoreDcRecord},
        {0x0521, &P::TextOut},
        {0x0A32, &P::ExtTextOut},
        {0x0324, &P::Polygon},
        {0x0325, &P::Polyline},
        {0x0538, &P::PolyPolygon},
        {0x012D, &P::SelectObjectRecord},
        {0x01F0, &P::DeleteObjectRecord},
        {0x02FA, &P::CreatePen},
        {0x02FC, &P::CreateBrush},
        {0x02FB, &P::CreateFont},
        {0x00F7, &P::CreatePlaceholder},
        {0x06FF, &P::CreatePlaceholder},
        {0x01F9, &P::CreatePatternBrush},
        {0x0142, &P::DibCreatePatternBrush},
        {0x0F43, &P::StretchDib},
        {0x0B41, &P::DibStretchBlt},
        {0x0940, &P::DibBitBlt},
        {0x0D33, &P::SetDibToDev},
        {0x0922, &P::OldBlt},
        {0x0B23, &P::OldBlt},
    };
    const auto it = kHandlers.find(function);
    return it == kHandlers.end() ? nullptr : it->second;
}

void TWmfPlayer::Ignore(TByteView) {}

void TWmfPlayer::SetBkColor(TByteView p)
{
    FDc.BkColor = ColorFromRef(p.U32(0));
}

void TWmfPlayer::SetBkMode(TByteView p)
{
    const std::uint16_t mode = p.U16(0);
    if (mode == 1 || mode == 2) FDc.BkOpaque = mode == 2;
}

void TWmfPlayer::SetMapMode(TByteView p)
{
    FDc.MapMode = p.U16(0);
}

void TWmfPlayer::SetPolyFillMode(TByteView p)
{
    FDc.FillMode = p.U16(0) == 2 ? TMfFillMode::Winding : TMfFillMode::Alternate;
}

void TWmfPlayer::SetTextColor(TByteView p)
{
    FDc.TextColor = ColorFromRef(p.U32(0));
}

void TWmfPlayer::SetTextAlign(TByteView p)
{
    FDc.TextAlign = p.U16(0);
}

void TWmfPlayer::SetWindowOrg(TByteView p)
{
    FDc.WindowOrg = PointYX(p, 0);
}

void TWmfPlayer::SetWindowExt(TByteView p)
{
    // A zero extent would divide by zero; GDI refuses it too.
    const TMfPoint ext = PointYX(p, 0);
    if (ext.X != 0 && ext.Y != 0) FDc.WindowExt = ext;
}

void TWmfPlayer::OffsetWindowOrg(TByteView p)
{
    const TMfPoint d = PointYX(p, 0);
    FDc.WindowOrg = {FDc.WindowOrg.X + d.X, FDc.WindowOrg.Y + d.Y};
}

void TWmfPlayer::ScaleWindowExt(TByteView p)
{
    const double yDenom = p.I16(0), yNum = p.I16(2), xDenom = p.I16(4), xNum = p.I16(6);
    const double x = FDc.WindowExt.X * xNum / xDenom, y = FDc.WindowExt.Y * yNum / yDenom;
    if (std::isfinite(x) && std::isfinite(y) && x != 0 && y != 0) FDc.WindowExt = {x, y};
}

void TWmfPlayer::LineToRecord(TByteView p)
{
    LineTo(PointYX(p, 0));
}

void TWmfPlayer::MoveToRecord(TByteView p)
{
    MoveTo(PointYX(p, 0));
}

void TWmfPlayer::IntersectClipRect(TByteView p)
{
    IntersectClip(BoxBRTL(p, 0));
}

void TWmfPlayer::DrawArcRecord(TByteView p, TMfArcKind kind)
{
    DrawArc(BoxBRTL(p, 8), PointYX(p, 4), PointYX(p, 0), kind);
}

void TWmfPlayer::Arc(TByteView p)
{
    DrawArcRecord(p, TMfArcKind::Arc);
}

void TWmfPlayer::Pie(TByteView p)
{
    DrawArcRecord(p, TMfArcKind::Pie);
}

void TWmfPlayer::Chord(TByteView p)
{
    DrawArcRecord(p, TMfArcKind::Chord);
}

void TWmfPlayer::Ellipse(TByteView p)
{
    DrawEllipse(BoxBRTL(p, 0));
}

void TWmfPlayer::Rectangle(TByteView p)
{
    DrawRectangle(BoxBRTL(p, 0));
}

void TWmfPlayer::RoundRect(TByteView p)
{
    DrawRoundRect(BoxBRTL(p, 4), p.I16(2), p.I16(0));
}

void TWmfPlayer::SetPixelRecord(TByteView p)
{
    SetPixel(PointYX(p, 4), ColorFromRef(p.U32(0)));
}

void TWmfPlayer::RopFill(std::uint32_t rop, const TMfBox& box)
{
    const std::uint32_t op = (rop >> 16) & 0xFF;
    TMfBrush brush = FDc.Brush;
    if (op == 0x00 || op == 0xFF)
        brush = BrushFromStyle(0, op == 0 ? 0x000000 : 0xFFFFFF, 0);
    else if (op != 0xF0)
        return; // operations that read the destination are not drawn
    FillBox(box, brush);
}

void TWmfPlayer::PatBlt(TByteView p)
{
    RopFill(p.U32(0), BoxHWYX(p, 4));
}

void TWmfPlayer::SaveDcRecord(TByteView)
{
    SaveDc();
}

void TWmfPlayer::RestoreDcRecord(TByteView p)
{
    RestoreDc(p.I16(0));
}

void TWmfPlayer::TextOut(TByteView p)
{
    const std::int16_t count = p.I16(0);
    if (count < 0) throw EByteRange{};
    const std::size_t padded = (std::size_t(count) + 1) & ~std::size_t(1);
    const std::string bytes = ReadBytes(p, 2, std::size_t(count));
    const TMfPoint at = PointYX(p, 2 + padded);
    std::u16string text;
    std::string undecoded;
    DecodeAnsi(bytes, text, undecoded);
    DrawTextRun(at, std::move(text), std::move(undecoded), nullptr, nullptr);
}

void TWmfPlayer::ExtTextOut(TByteView p)
{
    const TMfPoint at = PointYX(p, 0);
    const std::int16_t count = p.I16(4);
    const std::uint16_t options = p.U16(6);
    if (count < 0) throw EByteRange{};
    std::size_t offset = 8;
    TMfBox rect;
    const bool hasRect = options & 0x0006;
    if (hasRect) {
        rect = {double(p.I16(8)), double(p.I16(10)), double(p.I16(12)), double(p.I16(14))};
        offset += 8;
    }
    std::u16string text;
    std::string undecoded;
    DecodeAnsi(ReadBytes(p, offset, std::size_t(count)), text, undecoded);
    const bool opaque = hasRect && (options & 0x0002), clipped = hasRect && (options & 0x0004);
    DrawTextRun(at, std::move(text), std::move(undecoded), opaque ? &rect : nullptr,
                clipped ? &rect : nullptr);
}

std::vector<TMfPoint> TWmfPlayer::ReadPoints(TByteView p, std::size_t offset, std::size_t count) const
{
    const TByteView raw = p.Sub(offset, count * 4); // checked before the vector is sized
    std::vector<TMfPoint> points(count);
    for (std::size_t i = 0; i < count; ++i)
        points[i] = {double(raw.I16(4 * i)), double(raw.I16(4 * i + 2))};
    return points;
}

void TWmfPlayer::Polygon(TByteView p)
{
    const std::int16_t count = p.I16(0);
    if (count < 0) throw EByteRange{};
    DrawPoly(ReadPoints(p, 2, std::size_t(count)), true, false);
}

void TWmfPlayer::Polyline(TByteView p)
{
    const std::int16_t count = p.I16(0);
    if (count < 0) throw EByteRange{};
    DrawPoly(ReadPoints(p, 2, std::size_t(count)), false, false);
}

void TWmfPlayer::PolyPolygon(TByteView p)
{
    const std::size_t polys = p.U16(0);
    p.Sub(2, polys * 2);
    std::vector<std::vector<TMfPoint>> all(polys);
    std::size_t offset = 2 + polys * 2;
    for (std::size_t i = 0; i < polys; ++i) {
        const std::size_t count = p.U16(2 + 2 * i);
        all[i] = ReadPoints(p, offset, count);
        offset += count * 4;
    }
    DrawPolyPoly(all, true);
}

void TWmfPlayer::SelectObjectRecord(TByteView p)
{
    SelectObject(p.U16(0));
}

void TWmfPlayer::DeleteObjectRecord(TByteView p)
{
    DeleteObject(p.U16(0));
}

void TWmfPlayer::CreatePen(TByteView p)
{
    CreateObjectInFreeSlot(PenFromStyle(p.U16(0), p.I16(2), p.U32(6)));
}

void TWmfPlayer::CreateBrush(TByteView p)
{
    CreateObjectInFreeSlot(BrushFromStyle(p.U16(0), p.U32(2), p.U16(6)));
}

void TWmfPlayer::CreateFont(TByteView p)
{
    TMfLogFont font;
    font.Height = p.I16(0);
    font.Escapement = p.I16(4);
    font.Weight = p.I16(8);
    font.Italic = p.U8(10);
    font.Underline = p.U8(11);
    font.StrikeOut = p.U8(12);
    font.Charset = p.U8(13);
    // The face name is at most 32 bytes, ended by a zero if shorter.
    for (std::size_t i = 18; i < std::min<std::size_t>(p.Size(), 18 + 32) && p.U8(i) != 0; ++i)
        font.FaceName.push_back(char16_t(p.U8(i)));
    CreateObjectInFreeSlot(std::move(font));
}

void TWmfPlayer::CreatePlaceholder(TByteView)
{
    CreateObjectInFreeSlot(TMfPalettePlaceholder{});
}

void TWmfPlayer::CreatePatternBrush(TByteView)
{
    // Device-dependent pattern bitmaps are not decoded: a grey brush stands in.
    CreateObjectInFreeSlot(BrushFromStyle(0, 0x808080, 0));
}

void TWmfPlayer::DibCreatePatternBrush(TByteView p)
{
    TMfBrush brush = BrushFromStyle(0, 0x808080, 0);
    if (p.U16(2) == 0) {
        if (std::optional<TMfDib> dib = DecodePackedDibCharged(p.Sub(4, p.Size() - 4)))
            brush = PatternBrush(std::move(*dib));
    }
    CreateObjectInFreeSlot(std::move(brush));
}

void TWmfPlayer::DrawPackedDib(TByteView dib, std::uint32_t rop, const TMfBox& src, const TMfBox& dest)
{
    const std::optional<TMfRop> op = RopFromCode(rop);
    if (!op) return;
    const std::optional<TMfDib> decoded = DecodePackedDibCharged(dib);
    if (!decoded) {
        if (!FResult.OutOfWork) ++FResult.Malformed;
        return;
    }
    DrawDib(*decoded, std::int64_t(src.Left), std::int64_t(src.Top), std::int64_t(src.Width()),
            std::int64_t(src.Height()), dest, *op);
}

void TWmfPlayer::StretchDib(TByteView p)
{
    if (p.U16(4) != 0) return; // palette-index colours need the device palette
    DrawPackedDib(p.Sub(22, p.Size() - 22), p.U32(0), BoxHWYX(p, 6), BoxHWYX(p, 14));
}

void TWmfPlayer::DibStretchBlt(TByteView p)
{
    // Without a bitmap the record is one word longer (a reserved word) and
    // paints the destination with the brush.
    if (FWords == std::uint32_t(FFunction >> 8) + 3) {
        RopFill(p.U32(0), BoxHWYX(p, 14));
        return;
    }
    DrawPackedDib(p.Sub(20, p.Size() - 20), p.U32(0), BoxHWYX(p, 4), BoxHWYX(p, 12));
}

void TWmfPlayer::DibBitBlt(TByteView p)
{
    if (FWords == std::uint32_t(FFunction >> 8) + 3) {
        RopFill(p.U32(0), BoxHWYX(p, 10));
        return;
    }
    const TMfBox dest = BoxHWYX(p, 8);
    const double sx = p.I16(6), sy = p.I16(4);
    DrawPackedDib(p.Sub(16, p.Size() - 16), p.U32(0), {sx, sy, sx + dest.Width(), sy + dest.Height()}, dest);
}

void TWmfPlayer::SetDibToDev(TByteView p)
{
    if (p.U16(0) != 0) return;
    const TMfBox dest = BoxHWYX(p, 10);
    const double sx = p.I16(8), sy = p.I16(6);
    DrawPackedDib(p.Sub(18, p.Size() - 18), 0x00CC0020, {sx, sy, sx + dest.Width(), sy + dest.Height()},
                  dest);
}

void TWmfPlayer::OldBlt(TByteView p)
{
    // Only the form without a bitmap (a brush fill) is drawn; device-dependent
    // bitmaps are skipped.
    if (FWords == std::uint32_t(FFunction >> 8) + 3)
        RopFill(p.U32(0), BoxHWYX(p, FFunction == 0x0B23 ? 14 : 10));
}

} // namespace quorvane
