// TRecordingCanvas: an IMetafileCanvas that keeps every call, for tests to
// check what a metafile drew and where.
#pragma once

#include "IMetafileCanvas.h"

#include <vector>

namespace quorvane::testing {

struct TPathCall {
    TMfPath Path;
    TMfPen Pen;
    TMfBrush Brush;
    TMfFillMode Mode;
};

struct TImageCall {
    TMfImage Image;
    TMfImagePlacement Place;
    TMfRop Rop;
};

class TRecordingCanvas : public IMetafileCanvas {
  public:
    void DrawPath(const TMfPath& path, const TMfPen& pen, const TMfBrush& brush, TMfFillMode mode) override
    {
        Paths.push_back({path, pen, brush, mode});
    }
    double DrawText(const TMfText& text) override
    {
        Texts.push_back(text);
        return 10.0 * double(text.Text.size());
    }
    void DrawImage(const TMfImage& image, const TMfImagePlacement& place, TMfRop rop) override
    {
        Images.push_back({image, place, rop});
    }
    void SetClip(const TMfClip& regions) override
    {
        std::vector<TMfPath> copies;
        for (const auto& region : regions)
            copies.push_back(*region);
        Clips.push_back(std::move(copies));
    }

    std::vector<TPathCall> Paths;
    std::vector<TMfText> Texts;
    std::vector<TImageCall> Images;
    std::vector<std::vector<TMfPath>> Clips;
};

} // namespace quorvane::testing
