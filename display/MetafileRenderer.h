// Drawing metafiles with QPainter: TQPainterMetafileCanvas carries out the
// player's drawing calls, DrawMetafile stretches a picture into a rectangle
// of any painter, and RenderMetafile* make a QImage of a chosen size.
// Image sizes are checked before the image is allocated.
#pragma once

#include "IMetafileCanvas.h"
#include "TMetafile.h"

#include <QBrush>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>

class QPainter;

namespace quorvane {

inline constexpr int kMaxRenderSide = 16384;
inline constexpr qint64 kMaxRenderPixels = qint64(1) << 26;
inline constexpr const char* kRenderSizeTooLarge = "Metafile render size too large";

class TQPainterMetafileCanvas : public IMetafileCanvas {
  public:
    // Draws in the painter's current coordinates; the painter's own clip, if
    // any, stays in force under the metafile's clip.
    explicit TQPainterMetafileCanvas(QPainter& painter);
    // Leaves the painter without the pattern brush whose pixels it held.
    ~TQPainterMetafileCanvas() override;

    void DrawPath(const TMfPath& path, const TMfPen& pen, const TMfBrush& brush, TMfFillMode mode) override;
    double DrawText(const TMfText& text) override;
    void DrawImage(const TMfImage& image, const TMfImagePlacement& place, TMfRop rop) override;
    void SetClip(const TMfClip& regions) override;

  private:
    QBrush BrushFor(const TMfBrush& brush);

    QPainter& FPainter;
    bool FBaseClipped;
    QPainterPath FBaseClip;
    // The last pattern drawn, wrapped (not copied) in a brush; holding it
    // keeps the pixels alive while the painter may still use the brush.
    std::shared_ptr<const TMfImage> FPatternSource;
    QBrush FPatternBrush;
};

// The logical resolution of the primary screen, or 96 without a screen.
int ScreenPixelsPerInch();

// Draws the picture so that its frame fills target (painter coordinates),
// clipped to target. The painter's state is restored also when the play
// fails (EMetafile, e.g. out of memory).
void DrawMetafile(QPainter& painter, const TMetafile& metafile, const QRectF& target);

// Renders into a new image of the given size (the picture's own size when
// size is not valid), filled with background first. Throws EMetafile for a
// size over kMaxRenderSide or kMaxRenderPixels, or when loading fails.
QImage RenderMetafile(const TMetafile& metafile, QSize size = QSize(),
                      const QColor& background = Qt::transparent);
QImage RenderMetafileBytes(const QByteArray& bytes, QSize size = QSize(),
                           const QColor& background = Qt::transparent);
QImage RenderMetafileFile(const QString& path, QSize size = QSize(),
                          const QColor& background = Qt::transparent);

} // namespace quorvane
