// TEmfPlayer: plays the records of an enhanced metafile onto a canvas.
// Points go from world space (the world transform) to page space (mapping
// mode, window and viewport) to the reference device's pixels, and the
// picture frame, in those pixels, is mapped onto (0, 0)-(width, height).
#pragma once

#include "ByteView.h"
#include "MetafilePlayer.h"

namespace quorvane {

// Field readers for enhanced metafile records (offsets from the record start).
namespace emf_fields {
inline TMfPoint PointL(TByteView r, std::size_t offset)
{
    return {double(r.I32(offset)), double(r.I32(offset + 4))};
}
inline TMfBox RectL(TByteView r, std::size_t offset)
{
    return {double(r.I32(offset)), double(r.I32(offset + 4)), double(r.I32(offset + 8)),
            double(r.I32(offset + 12))};
}
} // namespace emf_fields

// What the header says about the reference device.
struct TEmfDevice {
    TMfBox Frame; // the picture frame in device pixels
    double PixelsPerMmX = 96 / 25.4, PixelsPerMmY = 96 / 25.4;
};

class TEmfPlayer : public TMetafilePlayer {
  public:
    TEmfPlayer(IMetafileCanvas& canvas, double canvasWidth, double canvasHeight, const TEmfDevice& device,
               double pixelScale);

    // file: the whole metafile, header record first; handleCount: the
    // header's object table size.
    void Play(TByteView file, std::size_t handleCount);

    using THandler = void (TEmfPlayer::*)(TByteView record);

  protected:
    TMfAffine LogicalToCanvas() const override;
    double PixelScale() const override { return FPixelScale; }

  private:
    static THandler FindHandler(std::uint32_t type);
    TMfAffine PageToDevice() const;
    TMfAffine DeviceToCanvas() const;

    // State records.
    void Ignore(TByteView r);
    void SetWindowExt(TByteView r);
    void SetWindowOrg(TByteView r);
    void SetViewportExt(TByteView r);
    void SetViewportOrg(TByteView r);
    void ScaleViewportExt(TByteView r);
    void ScaleWindowExt(TByteView r);
    void SetMapMode(TByteView r);
    void SetBkMode(TByteView r);
    void SetPolyFillMode(TByteView r);
    void SetTextAlign(TByteView r);
    void SetTextColor(TByteView r);
    void SetBkColor(TByteView r);
    void SetArcDirection(TByteView r);
    void SaveDcRecord(TByteView r);
    void RestoreDcRecord(TByteView r);
    void SetWorldTransform(TByteView r);
    void ModifyWorldTransform(TByteView r);
    void IntersectClipRect(TByteView r);
    void ExtSelectClipRgn(TByteView r);
    void SelectClipPath(TByteView r);
    // Objects.
    void SelectObjectRecord(TByteView r);
    void SelectStockObject(std::uint32_t stock);
    void DeleteObjectRecord(TByteView r);
    void CreatePen(TByteView r);
    void ExtCreatePen(TByteView r);
    void CreateBrush(TByteView r);
    void CreateDibBrush(TByteView r);
    void CreateFont(TByteView r);
    void CreatePlaceholder(TByteView r);
    // Drawing.
    void MoveToRecord(TByteView r);
    void LineToRecord(TByteView r);
    void SetPixelRecord(TByteView r);
    void Poly(TByteView r);
    void PolyPoly(TByteView r);
    void PolyDraw(TByteView r);
    void Ellipse(TByteView r);
    void Rectangle(TByteView r);
    void RoundRect(TByteView r);
    void ArcRecord(TByteView r);
    void AngleArc(TByteView r);
    void BeginPathRecord(TByteView r);
    void EndPathRecord(TByteView r);
    void CloseFigureRecord(TByteView r);
    void FillPath(TByteView r);
    void StrokePath(TByteView r);
    void StrokeAndFillPath(TByteView r);
    void AbortPathRecord(TByteView r);
    void ExtTextOut(TByteView r);
    void Blt(TByteView r);
    void StretchDiBits(TByteView r);
    void SetDiBitsToDevice(TByteView r);
    void AlphaBlend(TByteView r);

    std::vector<TMfPoint> ReadPoints(TByteView r, std::size_t offset, std::uint64_t count, bool small) const;
    void DrawRecordDib(TByteView r, std::size_t infoAt, std::uint32_t rop, std::int64_t sx, std::int64_t sy,
                       std::int64_t sw, std::int64_t sh, const TMfBox& dest);

    TEmfDevice FDevice;
    double FPixelScale;
    std::uint32_t FType = 0; // the record being played
};

} // namespace quorvane
