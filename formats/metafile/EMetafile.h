// EMetafile: why a metafile could not be loaded, with the message shown to
// the user. The limits below are checked before any allocation they size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace quorvane {

class EMetafile : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

namespace MetafileLimits {
// A whole metafile is read into memory; larger files are refused.
inline constexpr std::size_t kMaxFileBytes = std::size_t(256) << 20;
// The picture's own size (PictureWidth, PictureHeight) in screen pixels.
inline constexpr std::int64_t kMaxPictureSide = 16384;
// A bitmap record: each side and the pixel count of the decoded image.
inline constexpr std::int64_t kMaxBitmapSide = 32768;
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t(1) << 24;
// Saved device contexts kept at once; deeper saves are ignored.
inline constexpr std::size_t kMaxSavedStates = 1024;
// Canvas coordinates beyond this are refused (the primitive is skipped): they
// are nonsense for a picture and make rasterisers slow or imprecise.
inline constexpr double kMaxCanvasCoordinate = 1e7;
// Points of all the paths that make up the clip at one time; a path that
// would exceed it is not added (the clip is re-applied often, so it must stay cheap).
inline constexpr std::size_t kMaxClipPoints = 16384;
// Points gathered in one path bracket of an enhanced metafile.
inline constexpr std::size_t kMaxPathPoints = std::size_t(1) << 22;
} // namespace MetafileLimits

namespace MetafileMessages {
inline constexpr const char* kNotMetafile = "Not a metafile";
inline constexpr const char* kInvalidHeader = "Invalid metafile header";
inline constexpr const char* kExtentTooLarge = "Metafile extent too large";
inline constexpr const char* kFileTooLarge = "Metafile file too large";
inline constexpr const char* kNoFrame = "Metafile has no picture frame";
// Memory ran out while the metafile was played or drawn.
inline constexpr const char* kOutOfMemory = "Not enough memory to play the metafile";
inline std::string CannotOpen(const std::string& path)
{
    return "Cannot open file " + path;
}
} // namespace MetafileMessages

} // namespace quorvane
