// TEmfPlayer: enhanced metafile records. Each record is a 32-bit type and a
// 32-bit byte size (header included); a handler gets a view of exactly its
// record, so offsets below count from the record's first byte and no read can
// leave it. Stock objects are indices with the high bit set.
#include "EmfPlayer.h"

#include <array>
#include <cmath>

namespace quorvane {
using namespace emf_fields;
namespace {

constexpr std::uint32_t kEmrEof = 14;

TMfAffine ReadXform(TByteView r, std::size_t offset)
{
    return {r.F32(offset),      r.F32(offset + 4),  r.F32(offset + 8),
            r.F32(offset + 12), r.F32(offset + 16), r.F32(offset + 20)};
}

} // namespace

TEmfPlayer::TEmfPlayer(IMetafileCanvas& canvas, double canvasWidth, double canvasHeight,
                       const TEmfDevice& device, double pixelScale)
    : TMetafilePlayer(canvas, canvasWidth, canvasHeight), FDevice(device), FPixelScale(pixelScale)
{
}

void TEmfPlayer::Play(TByteView file, std::size_t handleCount)
{
    SetObjectCount(handleCount, false);
    std::size_t pos = 0;
    while (pos < file.Size()) {
        if (!file.Has(pos, 8)) {
            FResult.Truncated = true;
            return;
        }
        const std::uint32_t type = file.U32(pos), size = file.U32(pos + 4);
        if (size < 8 || !file.Has(pos, size)) {
            FResult.Truncated = true;
            return;
        }
        ++FResult.Records;
        if (type == kEmrEof) {
            FResult.ReachedEnd = true;
            return;
        }
        if (!Spend(MetafileBudget::kRecordWork)) return;
        if (const THandler handler = FindHandler(type)) {
            FType = type;
            try {
                (this->*handler)(file.Sub(pos, size));
            } catch (const EByteRange&) {
                ++FResult.Malformed;
            }
        } else {
            ++FResult.Unknown;
        }
        if (FResult.OutOfWork) return;
        pos += size;
    }
}

TEmfPlayer::THandler TEmfPlayer::FindHandler(std::uint32_t type)
{
    using P = TEmfPlayer;
    static const auto kTable = [] {
        std::array<THandler, 123> t{};
        const THandler ignore = &P::Ignore;
        for (const std::uint32_t i : {1,   13,  16,  20,  21,  23,  26,  28,  29,  48,  50,  51,  52,  53,
                                      58,  65,  66,  70,  71,  72,  73,  74,  78,  79,  96,  97,  98,  100,
                                      102, 103, 104, 105, 110, 111, 112, 113, 115, 116, 118, 119, 120, 121})
            t[i] = ignore;
        for (const std::uint32_t i : {2, 3, 4, 5, 6, 85, 86, 87, 88, 89})
            t[i] = &P::Poly;
        for (const std::uint32_t i : {7, 8, 90, 91})
            t[i] = &P::PolyPoly;
        for (const std::uint32_t i : {45, 46, 47, 55})
            t[i] = &P::ArcRecord;
        for (const std::uint32_t i : {49, 99, 122})
            t[i] = &P::CreatePlaceholder;
        t[9] = &P::SetWindowExt, t[10] = &P::SetWindowOrg, t[11] = &P::SetViewportExt;
        t[12] = &P::SetViewportOrg, t[15] = &P::SetPixelRecord, t[17] = &P::SetMapMode;
        t[18] = &P::SetBkMode, t[19] = &P::SetPolyFillMode, t[22] = &P::SetTextAlign;
        t[24] = &P::SetTextColor, t[25] = &P::SetBkColor, t[27] = &P::MoveToRecord;
        t[30] = &P::IntersectClipRect, t[31] = &P::ScaleViewportExt, t[32] = &P::ScaleWindowExt;
        t[33] = &P::SaveDcRecord, t[34] = &P::RestoreDcRecord, t[35] = &P::SetWorldTransform;
        t[36] = &P::ModifyWorldTransform, t[37] = &P::SelectObjectRecord, t[38] = &P::CreatePen;
        t[39] = &P::CreateBrush, t[40] = &P::DeleteObjectRecord, t[41] = &P::AngleArc;
        t[42] = &P::Ellipse, t[43] = &P::Rectangle, t[44] = &P::RoundRect;
        t[54] = &P::LineToRecord, t[56] = &P::PolyDraw, t[57] = &P::SetArcDirection;
        t[59] = &P::BeginPathRecord, t[60] = &P::EndPathRecord, t[61] = &P::CloseFigureRecord;
        t[62] = &P::FillPath, t[63] = &P::StrokeAndFillPath, t[64] = &P::StrokePath;
        t[67] = &P::SelectClipPath, t[68] = &P::AbortPathRecord, t[75] = &P::ExtSelectClipRgn;
        t[76] = &P::Blt, t[77] = &P::Blt, t[80] = &P::SetDiBitsToDevice;
        t[81] = &P::StretchDiBits, t[82] = &P::CreateFont, t[83] = &P::ExtTextOut;
        t[84] = &P::ExtTextOut, t[92] = &P::PolyDraw, t[93] = &P::CreateDibBrush;
        t[94] = &P::CreateDibBrush, t[95] = &P::ExtCreatePen, t[114] = &P::AlphaBlend,
        t[101] = &P::DeleteObjectRecord;
        return t;
    }();
    return type < kTable.size() ? kTable[type] : nullptr;
}

TMfAffine TEmfPlayer::PageToDevice() const
{
    // Millimetres per logical unit of the metric mapping modes 2 to 6.
    static constexpr std::array<double, 5> kMillimetres{0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
    double sx = 1, sy = 1;
    const int mode = FDc.MapMode;
    if (mode >= 2 && mode <= 6) {
        sx = kMillimetres[std::size_t(mode - 2)] * FDevice.PixelsPerMmX;
        sy = -kMillimetres[std::size_t(mode - 2)] * FDevice.PixelsPerMmY;
    } else if (mode == 7 || mode == 8) {
        sx = FDc.ViewportExt.X / FDc.WindowExt.X;
        sy = FDc.ViewportExt.Y / FDc.WindowExt.Y;
        if (mode == 7) {
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(m, sx), sy = std::copysign(m, sy);
        }
    }
    return TMfAffine::Translation(-FDc.WindowOrg.X, -FDc.WindowOrg.Y)
        .Then(TMfAffine::Scaling(sx, sy))
        .Then(TMfAffine::Translation(FDc.ViewportOrg.X, FDc.ViewportOrg.Y));
}

TMfAffine TEmfPlayer::DeviceToCanvas() const
{
    const TMfBox& f = FDevice.Frame;
    return TMfAffine::Translation(-f.Left, -f.Top)
        .Then(TMfAffine::Scaling(FCanvasWidth / f.Width(), FCanvasHeight / f.Height()));
}

TMfAffine TEmfPlayer::LogicalToCanvas() const
{
    return FDc.World.Then(PageToDevice()).Then(DeviceToCanvas());
}

void TEmfPlayer::Ignore(TByteView) {}

void TEmfPlayer::SetWindowExt(TByteView r)
{
    const TMfPoint ext = PointL(r, 8);
    if (ext.X != 0 && ext.Y != 0) FDc.WindowExt = ext;
}

void TEmfPlayer::SetWindowOrg(TByteView r)
{
    FDc.WindowOrg = PointL(r, 8);
}

void TEmfPlayer::SetViewportExt(TByteView r)
{
    const TMfPoint ext = PointL(r, 8);
    if (ext.X != 0 && ext.Y != 0) FDc.ViewportExt = ext;
}

void TEmfPlayer::SetViewportOrg(TByteView r)
{
    FDc.ViewportOrg = PointL(r, 8);
}

void TEmfPlayer::ScaleViewportExt(TByteView r)
{
    const double x = FDc.ViewportExt.X * r.I32(8) / double(r.I32(12));
    const double y = FDc.ViewportExt.Y * r.I32(16) / double(r.I32(20));
    if (std::isfinite(x) && std::isfinite(y) && x != 0 && y != 0) FDc.ViewportExt = {x, y};
}

void TEmfPlayer::ScaleWindowExt(TByteView r)
{
    const double x = FDc.WindowExt.X * r.I32(8) / double(r.I32(12));
    const double y = FDc.WindowExt.Y * r.I32(16) / double(r.I32(20));
    if (std::isfinite(x) && std::isfinite(y) && x != 0 && y != 0) FDc.WindowExt = {x, y};
}

void TEmfPlayer::SetMapMode(TByteView r)
{
    const std::uint32_t mode = r.U32(8);
    if (mode >= 1 && mode <= 8) FDc.MapMode = int(mode);
}

void TEmfPlayer::SetBkMode(TByteView r)
{
    const std::uint32_t mode = r.U32(8);
    if (mode == 1 || mode == 2) FDc.BkOpaque = mode == 2;
}

void TEmfPlayer::SetPolyFillMode(TByteView r)
{
    FDc.FillMode = r.U32(8) == 2 ? TMfFillMode::Winding : TMfFillMode::Alternate;
}

void TEmfPlayer::SetTextAlign(TByteView r)
{
    FDc.TextAlign = r.U32(8);
}

void TEmfPlayer::SetTextColor(TByteView r)
{
    FDc.TextColor = ColorFromRef(r.U32(8));
}

void TEmfPlayer::SetBkColor(TByteView r)
{
    FDc.BkColor = ColorFromRef(r.U32(8));
}

void TEmfPlayer::SetArcDirection(TByteView r)
{
    FDc.Clockwise = r.U32(8) == 2;
}

void TEmfPlayer::SaveDcRecord(TByteView)
{
    SaveDc();
}

void TEmfPlayer::RestoreDcRecord(TByteView r)
{
    RestoreDc(r.I32(8));
}

void TEmfPlayer::SetWorldTransform(TByteView r)
{
    const TMfAffine x = ReadXform(r, 8);
    if (x.Finite()) FDc.World = x;
}

void TEmfPlayer::ModifyWorldTransform(TByteView r)
{
    const TMfAffine x = ReadXform(r, 8);
    TMfAffine next = FDc.World;
    switch (r.U32(32)) {
    case 1:
        next = TMfAffine{};
        break;
    case 2:
        next = x.Then(FDc.World);
        break;
    case 3:
        next = FDc.World.Then(x);
        break;
    case 4:
        next = x;
        break;
    default:
        return;
    }
    if (next.Finite()) FDc.World = next;
}

void TEmfPlayer::IntersectClipRect(TByteView r)
{
    IntersectClip(RectL(r, 8));
}

void TEmfPlayer::ExtSelectClipRgn(TByteView r)
{
    constexpr std::uint32_t kRgnAnd = 1, kRgnCopy = 5;
    const std::uint32_t bytes = r.U32(8), mode = r.U32(12);
    if (mode != kRgnAnd && mode != kRgnCopy) return;
    if (mode == kRgnCopy) ResetClip();
    if (bytes == 0) return;
    // Region rectangles are in device pixels.
    const TByteView data = r.Sub(16, bytes);
    const std::uint64_t count = data.U32(8);
    const TByteView rects = data.Sub(32, std::size_t(std::min<std::uint64_t>(count, data.Size()) * 16));
    TMfPath path;
    TMfPathBuilder build(path, DeviceToCanvas());
    for (std::size_t i = 0; i < std::size_t(count); ++i)
        build.AddRectangle(RectL(rects, i * 16).Normalized());
    IntersectClipPath(std::move(path));
}

void TEmfPlayer::SelectClipPath(TByteView r)
{
    if (r.U32(8) == 5) ResetClip();
    ClipToPath();
}

} // namespace quorvane
