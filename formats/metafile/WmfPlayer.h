// TWmfPlayer: plays the records of a Windows metafile (placeable or plain)
// onto a canvas. The metafile's window (origin and extent, initially the
// picture frame) is mapped onto the canvas rectangle (0, 0)-(width, height).
#pragma once

#include "ByteView.h"
#include "MetafilePlayer.h"

namespace quorvane {

class TWmfPlayer : public TMetafilePlayer {
  public:
    // frame: the picture in metafile units, the initial window; pixelScale:
    // canvas pixels per pixel of the picture's own size. With deviceFrame
    // the metafile sets no window extent: the frame is then in units after
    // the window origin (as GDI's device space), and the origin stays free.
    TWmfPlayer(IMetafileCanvas& canvas, double canvasWidth, double canvasHeight, const TMfBox& frame,
               double pixelScale, bool deviceFrame = false);

    // records: everything after the 18-byte header; objectCount: the header's
    // object table size.
    void Play(TByteView records, std::size_t objectCount);

    using THandler = void (TWmfPlayer::*)(TByteView params);

  protected:
    TMfAffine LogicalToCanvas() const override;
    double PixelScale() const override { return FPixelScale; }

  private:
    static THandler FindHandler(std::uint16_t function);
    void PlayRecord(std::uint16_t function, std::uint32_t words, TByteView params);

    void SetBkColor(TByteView p);
    void SetBkMode(TByteView p);
    void SetMapMode(TByteView p);
    void SetPolyFillMode(TByteView p);
    void SetTextColor(TByteView p);
    void SetTextAlign(TByteView p);
    void SetWindowOrg(TByteView p);
    void SetWindowExt(TByteView p);
    void OffsetWindowOrg(TByteView p);
    void ScaleWindowExt(TByteView p);
    void Ignore(TByteView p);
    void LineToRecord(TByteView p);
    void MoveToRecord(TByteView p);
    void IntersectClipRect(TByteView p);
    void Arc(TByteView p);
    void Pie(TByteView p);
    void Chord(TByteView p);
    void Ellipse(TByteView p);
    void Rectangle(TByteView p);
    void RoundRect(TByteView p);
    void SetPixelRecord(TByteView p);
    void PatBlt(TByteView p);
    void SaveDcRecord(TByteView p);
    void RestoreDcRecord(TByteView p);
    void TextOut(TByteView p);
    void ExtTextOut(TByteView p);
    void Polygon(TByteView p);
    void Polyline(TByteView p);
    void PolyPolygon(TByteView p);
    void SelectObjectRecord(TByteView p);
    void DeleteObjectRecord(TByteView p);
    void CreatePen(TByteView p);
    void CreateBrush(TByteView p);
    void CreateFont(TByteView p);
    void CreatePlaceholder(TByteView p);
    void CreatePatternBrush(TByteView p);
    void DibCreatePatternBrush(TByteView p);
    void StretchDib(TByteView p);
    void DibStretchBlt(TByteView p);
    void DibBitBlt(TByteView p);
    void SetDibToDev(TByteView p);
    void OldBlt(TByteView p);

    void RopFill(std::uint32_t rop, const TMfBox& box);
    void DrawArcRecord(TByteView p, TMfArcKind kind);
    std::vector<TMfPoint> ReadPoints(TByteView p, std::size_t offset, std::size_t count) const;
    void DrawPackedDib(TByteView dib, std::uint32_t rop, const TMfBox& src, const TMfBox& dest);

    double FPixelScale;
    bool FDeviceFrame;
    TMfBox FFrame;
    std::uint16_t FFunction = 0; // the record being played
    std::uint32_t FWords = 0;
};

} // namespace quorvane
