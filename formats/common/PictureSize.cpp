// Header readers for PictureHeaderDimensions. Each reads only the few bytes it
// needs; a JPEG's segments before its frame header are skipped by their
// lengths, never read whole.
#include "PictureSize.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace quorvane {

namespace {

using TBytes = std::array<unsigned char, 32>;

unsigned Le16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}
unsigned Be16(const unsigned char* p)
{
    return (p[0] << 8) | p[1];
}
std::uint32_t Be32(const unsigned char* p)
{
    return (std::uint32_t(Be16(p)) << 16) | Be16(p + 2);
}
std::int32_t Le32(const unsigned char* p)
{
    return static_cast<std::int32_t>(Le16(p) | (std::uint32_t(Le16(p + 2)) << 16));
}

TPictureDimensions Area(std::uint32_t width, std::uint32_t height)
{
    return TPictureDimensions{width, height};
}

// Markers SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC) carry the frame size.
bool IsFrameHeader(int marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

TPictureDimensions JpegDimensions(std::ifstream& in)
{
    in.seekg(2);
    for (int segments = 0; segments < 1000; ++segments) {
        if (in.get() != 0xFF) return {};
        int marker = in.get();
        while (marker == 0xFF) // fill bytes
            marker = in.get();
        if (marker == EOF || marker == 0xD9 || marker == 0xDA) return {};   // no frame before the scan
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue; // markers without a length
        unsigned char head[7];
        if (!in.read(reinterpret_cast<char*>(head), 2)) return {};
        const unsigned length = Be16(head);
        if (length < 2) return {};
        if (IsFrameHeader(marker)) { // length, precision, height, width
            if (!in.read(reinterpret_cast<char*>(head + 2), 5)) return {};
            return Area(Be16(head + 5), Be16(head + 3));
        }
        in.seekg(length - 2, std::ios::cur);
    }
    return {};
}

} // namespace

TPictureDimensions PictureHeaderDimensions(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    TBytes b{};
    if (!in.read(reinterpret_cast<char*>(b.data()), 2)) return {};
    if (b[0] == 0xFF && b[1] == 0xD8) return JpegDimensions(in);
    in.read(reinterpret_cast<char*>(b.data() + 2), b.size() - 2);
    const std::streamsize got = 2 + in.gcount();
    const auto starts = [&](const char* magic, std::size_t n) {
        return std::size_t(got) >= n && std::memcmp(magic, b.data(), n) == 0;
    };
    if ((starts("GIF87a", 6) || starts("GIF89a", 6)) && got >= 10) return Area(Le16(&b[6]), Le16(&b[8]));
    if (starts("\x89PNG\r\n\x1a\n", 8) && got >= 24 && std::memcmp(&b[12], "IHDR", 4) == 0)
        return Area(Be32(&b[16]), Be32(&b[20]));
    if (starts("BM", 2) && got >= 26) {
        if (Le32(&b[14]) == 12) return Area(Le16(&b[18]), Le16(&b[20])); // OS/2 core header
        return Area(std::uint32_t(std::abs(std::int64_t(Le32(&b[18])))),
                    std::uint32_t(std::abs(std::int64_t(Le32(&b[22])))));
    }
    if (got >= 8 && Le16(&b[0]) == 0 && Le16(&b[2]) == 1 && Le16(&b[4]) >= 1) // ICO, first entry
        return Area(b[6] == 0 ? 256 : b[6], b[7] == 0 ? 256 : b[7]);
    return {};
}

std::uint64_t PictureHeaderPixels(const std::string& path)
{
    const TPictureDimensions size = PictureHeaderDimensions(path);
    return std::uint64_t{size.Width} * size.Height;
}

} // namespace quorvane
