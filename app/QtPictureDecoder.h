// The decoder the window gives the similar-pictures search for the formats
// the core does not read itself: BMP, ICO, PNG, WebP and TIFF through Qt's
// readers at a reduced size, WMF and EMF through our metafile renderer.
// Thread-safe: every call works on objects of its own.
#pragma once

#include "PictureDecode.h"

#include <optional>
#include <string>

namespace quorvane {

// The side the shorter side of a picture is reduced to before hashing: a few
// times the hash grid, so the reduction to the grid still averages pixels.
inline constexpr int kDecodeShortSide = 4 * kHashGridSide;

// Decodes path (file-system bytes) into grey pixels; nothing when no reader
// takes it or it is damaged. FullPixels is the picture's own size.
std::optional<TDecodedPicture> DecodeWithQt(const std::string& path);

} // namespace quorvane
