// The play budget of a metafile and the work measures of what it draws.
// Invariant: a pattern's bytes are added when it is made and taken away by
// its deleter, so PatternBytesHeld() is what is alive now.
#include "MetafileBudget.h"

#include "DecodeCost.h"

#include <algorithm>
#include <cmath>

namespace quorvane {

TMfBudget::TMfBudget(std::uint64_t fileBytes)
    : FWorkLeft(decode_cost::LinearAllowance(MetafileBudget::kWorkBase, MetafileBudget::kWorkPerByte,
                                             fileBytes, MetafileBudget::kWorkCap)),
      FPatternLimit(decode_cost::LinearAllowance(MetafileBudget::kPatternBase,
                                                 MetafileBudget::kPatternPerByte, fileBytes,
                                                 MetafileBudget::kPatternCap)),
      FPatternHeld(std::make_shared<std::uint64_t>(0))
{
}

bool TMfBudget::Charge(std::uint64_t units)
{
    if (FExhausted || units > FWorkLeft) {
        FExhausted = true;
        return false;
    }
    FWorkLeft -= units;
    return true;
}

std::shared_ptr<const TMfImage> TMfBudget::SharePattern(TMfImage&& image)
{
    const std::uint64_t bytes = std::uint64_t(image.Pixels.size()) * sizeof(std::uint32_t);
    if (bytes > FPatternLimit - std::min(*FPatternHeld, FPatternLimit)) return nullptr;
    *FPatternHeld += bytes;
    std::shared_ptr<std::uint64_t> held = FPatternHeld;
    return std::shared_ptr<const TMfImage>(new TMfImage(std::move(image)), [held, bytes](const TMfImage* p) {
        *held -= bytes;
        delete p;
    });
}

std::uint64_t CoveredArea(const TMfPoint* points, std::size_t count, double canvasWidth, double canvasHeight)
{
    if (count == 0) return 0;
    double left = points[0].X, right = left, top = points[0].Y, bottom = top;
    for (std::size_t i = 1; i < count; ++i) {
        left = std::min(left, points[i].X), right = std::max(right, points[i].X);
        top = std::min(top, points[i].Y), bottom = std::max(bottom, points[i].Y);
    }
    const double w = std::clamp(right, 0.0, canvasWidth) - std::clamp(left, 0.0, canvasWidth);
    const double h = std::clamp(bottom, 0.0, canvasHeight) - std::clamp(top, 0.0, canvasHeight);
    if (!(w > 0 && h > 0)) return 0;
    return std::uint64_t(std::ceil(w)) * std::uint64_t(std::ceil(h));
}

std::uint64_t PathWork(const TMfPath& path, bool fill, bool stroke, double penWidth, double canvasWidth,
                       double canvasHeight)
{
    std::uint64_t work = path.Points.size();
    const std::uint64_t area = CoveredArea(path.Points.data(), path.Points.size(), canvasWidth, canvasHeight);
    if (fill) work += area;
    if (stroke) {
        // The box's perimeter times the pen, at most the area the pen can reach.
        const double side = std::sqrt(double(area));
        const double pen = std::clamp(std::isfinite(penWidth) ? penWidth : 1.0, 1.0, 1e6);
        const double band = std::min(4 * side * pen, double(area) + 4 * side * pen);
        work += std::uint64_t(std::min(band, 1e15)) + path.Points.size() * std::uint64_t(pen);
    }
    return work;
}

} // namespace quorvane
