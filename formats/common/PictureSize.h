// The pixel count of a picture file read from its header alone (no pixel is
// decoded), for the "largest picture" keep rule: JPEG, GIF, BMP, ICO and PNG.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// Width times height of the picture at path (the file system's bytes): the
// JPEG frame, the GIF logical screen, the BMP bitmap, the first ICO entry,
// the PNG image. 0 when the file is none of these or its header is cut off
// or unreadable.
std::uint64_t PictureHeaderPixels(const std::string& path);

} // namespace quorvane
