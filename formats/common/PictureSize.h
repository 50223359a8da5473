// The size of a picture file read from its header alone (no pixel is
// decoded), for the "largest picture" keep rule and the list's Dimensions
// column: JPEG, GIF, BMP, ICO and PNG.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

struct TPictureDimensions {
    std::uint32_t Width = 0, Height = 0; // both 0 when unknown
};

// The width and height of the picture at path as its header gives them (no
// turn applied), from the same places as PictureHeaderPixels.
TPictureDimensions PictureHeaderDimensions(const std::string& path);

// Width times height of the picture at path (the file system's bytes): the
// JPEG frame, the GIF logical screen, the BMP bitmap, the first ICO entry,
// the PNG image. 0 when the file is none of these or its header is cut off
// or unreadable.
std::uint64_t PictureHeaderPixels(const std::string& path);

} // namespace quorvane
