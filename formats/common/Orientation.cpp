// The orientation tag is read by the bounded EXIF parser (ExifBlock.h), so
// a hostile file costs no more than a scan of its first
// kOrientationReadBytes; the turn itself touches only the given pixels.
#include "Orientation.h"

#include "ExifBlock.h"

#include <cstring>
#include <fstream>

namespace quorvane {

int ExifOrientationFromTiff(const std::uint8_t* data, std::size_t size)
{
    return ReadExifBlock(data, size).Orientation;
}

int ExifOrientationFromBytes(const std::uint8_t* data, std::size_t size)
{
    const TExifSpan block = FindExifBlock(data, size);
    return block.Size == 0 ? kUpright : ReadExifBlock(block.Data, block.Size).Orientation;
}

int FileOrientation(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return kUpright;
    std::vector<std::uint8_t> head(kOrientationReadBytes);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    return ExifOrientationFromBytes(head.data(), head.size());
}

void OrientedSource(int orientation, int width, int height, int x, int y, int& sourceX, int& sourceY)
{
    switch (orientation) {
    case 2:
        sourceX = width - 1 - x;
        sourceY = y;
        return;
    case 3:
        sourceX = width - 1 - x;
        sourceY = height - 1 - y;
        return;
    case 4:
        sourceX = x;
        sourceY = height - 1 - y;
        return;
    case 5:
        sourceX = y;
        sourceY = x;
        return;
    case 6:
        sourceX = y;
        sourceY = height - 1 - x;
        return;
    case 7:
        sourceX = width - 1 - y;
        sourceY = height - 1 - x;
        return;
    case 8:
        sourceX = width - 1 - y;
        sourceY = x;
        return;
    default:
        sourceX = x;
        sourceY = y;
        return;
    }
}

std::vector<std::uint8_t> OrientPixels(const std::uint8_t* pixels, int& width, int& height, int channels,
                                       std::size_t stride, int orientation)
{
    const int outWidth = OrientationSwapsSides(orientation) ? height : width;
    const int outHeight = OrientationSwapsSides(orientation) ? width : height;
    const std::size_t pixelBytes = static_cast<std::size_t>(channels);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(outWidth) * outHeight * pixelBytes);
    std::uint8_t* to = out.data();
    for (int y = 0; y < outHeight; ++y) {
        for (int x = 0; x < outWidth; ++x, to += pixelBytes) {
            int sx = 0, sy = 0;
            OrientedSource(orientation, width, height, x, y, sx, sy);
            std::memcpy(to,
                        pixels + static_cast<std::size_t>(sy) * stride +
                            static_cast<std::size_t>(sx) * pixelBytes,
                        pixelBytes);
        }
    }
    width = outWidth;
    height = outHeight;
    return out;
}

} // namespace quorvane
