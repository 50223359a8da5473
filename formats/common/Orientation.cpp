// The orientation parser keeps to the bytes it is given: every offset is
// checked against the size before it is read, segments and IFD entries are
// visited at most a fixed number of times, so a hostile file costs no more
// than a scan of its first kOrientationReadBytes.
#include "Orientation.h"

#include <cstring>
#include <fstream>

namespace quorvane {

namespace {

constexpr int kMaxSegments = 256;
constexpr unsigned kMaxIfdEntries = 1024;
constexpr std::uint16_t kOrientationTag = 0x0112;

struct TByteReader {
    const std::uint8_t* Data;
    std::size_t Size;
    bool BigEndian = false;

    bool Has(std::size_t at, std::size_t count) const { return at <= Size && count <= Size - at; }
    unsigned U16(std::size_t at) const
    {
        return BigEndian ? unsigned(Data[at]) << 8 | Data[at + 1] : unsigned(Data[at + 1]) << 8 | Data[at];
    }
    std::uint32_t U32(std::size_t at) const
    {
        const std::uint32_t a = Data[at], b = Data[at + 1], c = Data[at + 2], d = Data[at + 3];
        return BigEndian ? a << 24 | b << 16 | c << 8 | d : d << 24 | c << 16 | b << 8 | a;
    }
};

std::uint32_t BigU32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t LittleU32(const std::uint8_t* p)
{
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

bool StartsWith(const std::uint8_t* data, std::size_t size, const char* text, std::size_t length)
{
    return size >= length && std::memcmp(data, text, length) == 0;
}

int ValidOrientation(unsigned value)
{
    return value >= 1 && value <= 8 ? static_cast<int>(value) : kUpright;
}

int OrientationFromJpeg(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 2;
    for (int segment = 0; segment < kMaxSegments && at + 4 <= size; ++segment) {
        if (data[at] != 0xFF) return kUpright;
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return kUpright; // scan or end: no tag before it
        const std::size_t length = std::size_t{data[at + 2]} << 8 | data[at + 3];
        if (length < 2 || length > size - at - 2) return kUpright;
        const std::uint8_t* body = data + at + 4;
        if (marker == 0xE1 && StartsWith(body, length - 2, "Exif\0\0", 6))
            return ExifOrientationFromTiff(body, length - 2);
        at += 2 + length;
    }
    return kUpright;
}

int OrientationFromPng(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 8;
    for (int chunk = 0; chunk < kMaxSegments && at + 12 <= size; ++chunk) {
        const std::uint32_t length = BigU32(data + at);
        if (length > size - at - 12) return kUpright;
        const std::uint8_t* type = data + at + 4;
        if (std::memcmp(type, "eXIf", 4) == 0) return ExifOrientationFromTiff(data + at + 8, length);
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) return kUpright;
        at += 12 + std::size_t{length};
    }
    return kUpright;
}

int OrientationFromWebp(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 12;
    for (int chunk = 0; chunk < kMaxSegments && at + 8 <= size; ++chunk) {
        const std::uint32_t length = LittleU32(data + at + 4);
        if (length > size - at - 8) return kUpright;
        if (std::memcmp(data + at, "EXIF", 4) == 0) return ExifOrientationFromTiff(data + at + 8, length);
        at += 8 + std::size_t{length} + (length & 1);
    }
    return kUpright;
}

} // namespace

int ExifOrientationFromTiff(const std::uint8_t* data, std::size_t size)
{
    if (StartsWith(data, size, "Exif\0\0", 6)) {
        data += 6;
        size -= 6;
    }
    TByteReader r{data, size};
    if (!r.Has(0, 8)) return kUpright;
    if (data[0] == 'M' && data[1] == 'M')
        r.BigEndian = true;
    else if (data[0] != 'I' || data[1] != 'I')
        return kUpright;
    if (r.U16(2) != 42) return kUpright;
    const std::uint32_t ifd = r.U32(4);
    if (!r.Has(ifd, 2)) return kUpright;
    const unsigned count = r.U16(ifd);
    for (unsigned i = 0; i < count && i < kMaxIfdEntries; ++i) {
        const std::size_t entry = std::size_t{ifd} + 2 + std::size_t{i} * 12;
        if (!r.Has(entry, 12)) return kUpright;
        if (r.U16(entry) != kOrientationTag) continue;
        // SHORT, one value, kept in the first two bytes of the value field.
        if (r.U16(entry + 2) != 3 || r.U32(entry + 4) != 1) return kUpright;
        return ValidOrientation(r.U16(entry + 8));
    }
    return kUpright;
}

int ExifOrientationFromBytes(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr) return kUpright;
    if (size >= 4 && data[0] == 0xFF && data[1] == 0xD8) return OrientationFromJpeg(data, size);
    if (StartsWith(data, size, "II*\0", 4) || StartsWith(data, size, "MM\0*", 4))
        return ExifOrientationFromTiff(data, size);
    if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return OrientationFromPng(data, size);
    if (size >= 12 && StartsWith(data, size, "RIFF", 4) && std::memcmp(data + 8, "WEBP", 4) == 0)
        return OrientationFromWebp(data, size);
    return kUpright;
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
