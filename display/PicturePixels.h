// The pixel count of a picture file, read from its header only (no pixels
// are decoded), for the "largest picture" keep rule.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// Width times height of the picture at path (the file system's bytes), or 0
// when the file is not a picture Qt can size from its header.
std::uint64_t PicturePixels(const std::string& path);

} // namespace quorvane
