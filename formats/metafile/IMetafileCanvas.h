// IMetafileCanvas: what a metafile player draws on. The display layer has a
// QPainter implementation; tests record the calls. All coordinates and sizes
// are in canvas pixels; a canvas never sees the metafile's own units.
#pragma once

#include "MetafileTypes.h"

namespace quorvane {

class IMetafileCanvas {
  public:
    virtual ~IMetafileCanvas() = default;

    // Fills the path with the brush (unless Null), then outlines it with the
    // pen (unless Null).
    virtual void DrawPath(const TMfPath& path, const TMfPen& pen, const TMfBrush& brush,
                          TMfFillMode mode) = 0;
    // Draws one run of text; returns its advance width in canvas pixels.
    virtual double DrawText(const TMfText& text) = 0;
    virtual void DrawImage(const TMfImage& image, const TMfImagePlacement& place, TMfRop rop) = 0;
    // Replaces the clip: the intersection of all the paths (each filled with
    // the winding rule); an empty list removes the clip.
    virtual void SetClip(const TMfClip& regions) = 0;
};

} // namespace quorvane
