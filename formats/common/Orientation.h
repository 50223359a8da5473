// The EXIF orientation tag (1 to 8) read by a small bounded parser from the
// places photographs carry it (a JPEG's APP1 segment, a TIFF's first IFD, a
// PNG's eXIf chunk, a WebP's EXIF chunk), and the turn it asks for applied
// to interleaved 8-bit pixels. The parser never reads outside the bytes it
// is given and visits at most a fixed number of segments and entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// Orientation 1 draws the stored rows as they are; 2 to 8 mirror and turn
// them as the EXIF standard says (6: turn 90 degrees clockwise, 8: 90
// degrees anticlockwise, 3: half a turn; 2, 4, 5 and 7 add a mirror).
inline constexpr int kUpright = 1;

// True for the orientations that turn by a quarter (5 to 8): the picture
// drawn upright is as wide as the stored one is high.
inline constexpr bool OrientationSwapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// The orientation in a TIFF structure (the body of an EXIF block, which may
// start with "Exif\0\0"): the Orientation entry of its first IFD. 1 when the
// block has none, is damaged or holds a value outside 1..8.
int ExifOrientationFromTiff(const std::uint8_t* data, std::size_t size);

// The orientation of a picture file's bytes, found by signature: JPEG (APP1
// segments before the first scan), TIFF, PNG (eXIf before the first IDAT)
// and WebP (the EXIF chunk). 1 for other formats or when there is no tag.
int ExifOrientationFromBytes(const std::uint8_t* data, std::size_t size);

// The orientation of the file at path (file-system bytes), reading at most
// kOrientationReadBytes from its start (where JPEG, TIFF and PNG keep it).
inline constexpr std::size_t kOrientationReadBytes = std::size_t{1} << 20;
int FileOrientation(const std::string& path);

// Where the pixel (x, y) of the upright picture comes from in the stored
// picture of width x height pixels.
void OrientedSource(int orientation, int width, int height, int x, int y, int& sourceX, int& sourceY);

// The stored pixels (channels bytes each, rows stride bytes apart) turned
// upright into a tightly packed buffer; width and height become the upright
// picture's. The buffer is returned unchanged in size, so a caller that has
// room for the stored picture has room for the turned one.
std::vector<std::uint8_t> OrientPixels(const std::uint8_t* pixels, int& width, int& height, int channels,
                                       std::size_t stride, int orientation);

} // namespace quorvane
