// TMetafilePlayer: the device-context state machine shared by the WMF and
// EMF players: drawing attributes, the object table, saved states, the clip
// and the path bracket. Subclasses read records and call the Draw* helpers
// with coordinates in metafile units; LogicalToCanvas() maps them. A
// primitive whose canvas coordinates are not finite or absurdly large is
// skipped, so a canvas only ever receives sane numbers.
#pragma once

#include "IMetafileCanvas.h"
#include "MetafileBudget.h"
#include "MetafileDib.h"
#include "MetafileGeometry.h"

#include <optional>
#include <set>
#include <variant>

namespace quorvane {

// What one play did; tests and the fuzz target look at it.
struct TMfPlayResult {
    std::size_t Records = 0;   // records read, end record included
    std::size_t Unknown = 0;   // records of a type the player does not know, skipped by size
    std::size_t Malformed = 0; // known records whose contents did not fit, skipped
    bool Truncated = false;    // a record ran past the end of the data: play stopped there
    bool ReachedEnd = false;   // the end-of-file record was met
    bool OutOfWork = false;    // the play's work budget ran out: play stopped there
};

struct TMfLogPen {
    TMfPenStyle Style = TMfPenStyle::Solid;
    double Width = 0; // metafile units
    bool Cosmetic = true;
    TMfColor Color;
    TMfLineCap Cap = TMfLineCap::Round;
    TMfLineJoin Join = TMfLineJoin::Round;
};

struct TMfLogFont {
    double Height = 0;  // metafile units; negative: em height, positive: cell height
    int Escapement = 0; // tenths of a degree, counter-clockwise
    int Weight = 400;
    bool Italic = false, Underline = false, StrikeOut = false;
    std::uint8_t Charset = 1;
    std::u16string FaceName;
};

struct TMfPalettePlaceholder {}; // palettes and regions: they take a slot, nothing more
using TMfObject = std::variant<TMfPalettePlaceholder, TMfLogPen, TMfBrush, TMfLogFont>;

struct TMfDcState {
    int MapMode = 1;
    TMfPoint WindowOrg{0, 0}, WindowExt{1, 1}, ViewportOrg{0, 0}, ViewportExt{1, 1};
    TMfAffine World;
    TMfLogPen Pen;
    TMfBrush Brush;
    TMfLogFont Font;
    TMfColor TextColor{0, 0, 0}, BkColor{255, 255, 255};
    bool BkOpaque = true;
    std::uint32_t TextAlign = 0;
    TMfFillMode FillMode = TMfFillMode::Alternate;
    TMfPoint Position;
    bool Clockwise = false;
    TMfClip Clip; // canvas coordinates
};

enum class TMfArcKind { Arc, Chord, Pie, ArcTo };

class TMetafilePlayer {
  public:
    virtual ~TMetafilePlayer() = default;
    const TMfPlayResult& Result() const { return FResult; }
    // The allowances of this play (by default those of an empty file).
    void SetBudget(TMfBudget budget) { FBudget = std::move(budget); }

  protected:
    TMetafilePlayer(IMetafileCanvas& canvas, double canvasWidth, double canvasHeight);

    virtual TMfAffine LogicalToCanvas() const = 0;
    // The scale from the picture's own pixels to canvas pixels.
    virtual double PixelScale() const = 0;

    // Objects. WMF fills the lowest free slot; EMF names the slot.
    // lowestFree: creations fill the lowest free slot (WMF).
    void SetObjectCount(std::size_t count, bool lowestFree);
    void CreateObjectInFreeSlot(TMfObject object);
    void CreateObjectAt(std::size_t index, TMfObject object);
    void SelectObject(std::size_t index);
    void DeleteObject(std::size_t index);
    void SaveDc();
    void RestoreDc(int which);

    // Drawing in metafile units.
    void MoveTo(TMfPoint p);
    void LineTo(TMfPoint p);
    void DrawPoly(const std::vector<TMfPoint>& points, bool closed, bool continueFigure);
    void DrawPolyPoly(const std::vector<std::vector<TMfPoint>>& polys, bool closed);
    void DrawBeziers(const std::vector<TMfPoint>& points, bool continueFigure);
    void DrawRectangle(const TMfBox& box);
    void DrawEllipse(const TMfBox& box);
    void DrawRoundRect(const TMfBox& box, double cornerWidth, double cornerHeight);
    void DrawArc(const TMfBox& box, TMfPoint start, TMfPoint end, TMfArcKind kind);
    void DrawAngleArc(TMfPoint center, double radius, double startDegrees, double sweepDegrees);
    void FillBox(const TMfBox& box, const TMfBrush& brush);
    void SetPixel(TMfPoint p, TMfColor color);
    void DrawTextRun(TMfPoint at, std::u16string text, std::string ansi, const TMfBox* opaque,
                     const TMfBox* clip);
    void DrawDib(const TMfDib& dib, std::int64_t sx, std::int64_t sy, std::int64_t sw, std::int64_t sh,
                 TMfBox dest, TMfRop rop);
    void IntersectClip(const TMfBox& logicalBox);
    void IntersectClipPath(TMfPath canvasPath);
    void ResetClip();

    // EMF path bracket.
    void BeginPath();
    void EndPath() { FInPath = false; }
    void CloseFigure();
    void FinishPath(bool fill, bool stroke);
    void ClipToPath();
    void AbortPath();

    // Charges work; false (and OutOfWork set) when the budget has run out,
    // after which the player stops.
    bool Spend(std::uint64_t units);
    // Bitmaps decoded with their pixels charged first; none when the budget
    // is out or the bitmap is damaged.
    std::optional<TMfDib> DecodeDibCharged(TByteView info, TByteView bits, bool keepAlpha = false);
    std::optional<TMfDib> DecodePackedDibCharged(TByteView packed);
    // A pattern brush from a decoded bitmap; a grey stand-in when the
    // pattern allowance is used up.
    TMfBrush PatternBrush(TMfDib&& dib);

    // Decodes 8-bit text in the current font's charset.
    void DecodeAnsi(const std::string& bytes, std::u16string& text, std::string& undecoded) const;

    TMfDcState FDc;
    TMfPlayResult FResult;
    double FCanvasWidth, FCanvasHeight;

  private:
    void Emit(TMfPath&& canvasPath, bool fill, bool stroke, bool continues = false);
    void ApplyClip();
    TMfPen CanvasPen() const;
    TMfFont CanvasFont() const;
    TMfText MakeText(TMfPoint at, std::u16string text, std::string ansi) const;

    IMetafileCanvas& FCanvas;
    TMfBudget FBudget;
    std::vector<std::optional<TMfObject>> FObjects;
    std::set<std::size_t> FFreeSlots; // kept only when creations fill the lowest free slot
    bool FLowestFree = false;
    TMfClip FAppliedClip; // what the canvas has, to skip needless changes
    std::vector<TMfDcState> FSaved;
    bool FInPath = false;
    bool FPathUsable = true;
    TMfPath FPath; // canvas coordinates
};

// The numbers GDI uses for colours, pens, brushes and raster operations.
TMfColor ColorFromRef(std::uint32_t ref);
TMfLogPen PenFromStyle(std::uint32_t style, double width, std::uint32_t color);
TMfBrush BrushFromStyle(std::uint32_t style, std::uint32_t color, std::uint32_t hatch);
std::optional<TMfRop> RopFromCode(std::uint32_t rop);

} // namespace quorvane
