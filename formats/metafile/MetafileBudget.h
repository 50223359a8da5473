// TMfBudget: what one play of a metafile may spend. Every record, every
// decoded bitmap pixel and every canvas pixel a primitive can cover is
// charged as work; the bitmaps that pattern brushes keep alive are charged
// as memory while they live. Both allowances grow linearly with the file's
// size from a fixed base, so a small file cannot make a long or large play.
#pragma once

#include "MetafileTypes.h"

#include <cstdint>
#include <memory>

namespace quorvane {

namespace MetafileBudget {
// Work units: about one canvas or bitmap pixel touched each. The base covers
// a full-size render of any small picture several times over.
inline constexpr std::uint64_t kWorkBase = std::uint64_t(1) << 27;
inline constexpr std::uint64_t kWorkPerByte = 512;
inline constexpr std::uint64_t kWorkCap = std::uint64_t(1) << 38;
// The fixed charge of one record.
inline constexpr std::uint64_t kRecordWork = 16;
// The charge of one decoded bitmap pixel: four bytes written into new memory
// cost several times a canvas pixel.
inline constexpr std::uint64_t kDecodedPixelWork = 4;
// Bytes of pattern-brush bitmaps alive at once.
inline constexpr std::uint64_t kPatternBase = std::uint64_t(64) << 20;
inline constexpr std::uint64_t kPatternPerByte = 16;
inline constexpr std::uint64_t kPatternCap = std::uint64_t(1) << 30;
} // namespace MetafileBudget

class TMfBudget {
  public:
    // The allowances of a file of fileBytes bytes.
    explicit TMfBudget(std::uint64_t fileBytes = 0);

    // Takes units from the work left; false (and from then on always false)
    // when they are not there.
    bool Charge(std::uint64_t units);
    bool Exhausted() const { return FExhausted; }

    // The image as a shared pattern whose bytes count against the pattern
    // allowance until the last holder lets it go; none when they would
    // exceed it.
    std::shared_ptr<const TMfImage> SharePattern(TMfImage&& image);
    std::uint64_t PatternBytesHeld() const { return *FPatternHeld; }

  private:
    std::uint64_t FWorkLeft;
    bool FExhausted = false;
    std::uint64_t FPatternLimit;
    // Shared with the deleters of live patterns, which may outlive the play.
    std::shared_ptr<std::uint64_t> FPatternHeld;
};

// The work of drawing a path on a canvas of width x height: the canvas area
// its bounding box covers when filled, a band along that box's edges as wide
// as the pen when stroked, and its points.
std::uint64_t PathWork(const TMfPath& path, bool fill, bool stroke, double penWidth, double canvasWidth,
                       double canvasHeight);
// The canvas area covered by the bounding box of the points.
std::uint64_t CoveredArea(const TMfPoint* points, std::size_t count, double canvasWidth, double canvasHeight);

} // namespace quorvane
