// The image directories of a TIFF-based RAW file, walked for the JPEG
// pictures they name. Every offset is checked against the file's size and
// every directory read is bounded, so a hostile file costs a few reads.
#include "RawPreviews.h"

#include <algorithm>
#include <array>

namespace quorvane::photo {

namespace {

constexpr int kMaxDirectories = 32;
constexpr std::size_t kMaxEntries = 1000;
constexpr std::size_t kMaxSubIfds = 8;

enum : unsigned {
    kTagCompression = 259,
    kTagStripOffsets = 273,
    kTagStripByteCounts = 279,
    kTagSubIfds = 330,
    kTagJpegOffset = 513,
    kTagJpegLength = 514,
};

struct TByteOrder {
    bool Little = true;
    unsigned U16(const std::uint8_t* p) const { return Little ? p[0] | p[1] << 8 : p[0] << 8 | p[1]; }
    std::uint32_t U32(const std::uint8_t* p) const
    {
        return Little
                   ? std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                         std::uint32_t{p[3]} << 24
                   : std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
    }
};

// One directory's facts that matter here.
struct TDirectory {
    std::uint64_t JpegOffset = 0, JpegLength = 0;
    unsigned Compression = 0;
    std::uint64_t StripOffset = 0, StripLength = 0;
    int Strips = 0;
    std::vector<std::uint32_t> SubIfds;
    std::uint32_t Next = 0;
};

class TWalker {
  public:
    TWalker(const TReadAt& read, std::uint64_t fileSize, TByteOrder order)
        : FRead(read), FSize(fileSize), FOrder(order)
    {
    }

    bool Directory(std::uint32_t at, TDirectory& dir) const
    {
        std::uint8_t count[2];
        if (!Read(at, 2, count)) return false;
        const std::size_t entries = FOrder.U16(count);
        if (entries == 0 || entries > kMaxEntries) return false;
        std::vector<std::uint8_t> bytes(entries * 12 + 4);
        if (!Read(std::uint64_t{at} + 2, bytes.size(), bytes.data())) return false;
        for (std::size_t i = 0; i < entries; ++i) {
            const std::uint8_t* e = bytes.data() + i * 12;
            const unsigned tag = FOrder.U16(e), type = FOrder.U16(e + 2);
            const std::uint32_t n = FOrder.U32(e + 4);
            // A short (3) or long (4) value; the first of several for a count
            // above one, read where the entry points.
            const auto value = [&](std::uint32_t k) -> std::uint64_t {
                const std::size_t width = type == 3 ? 2 : 4;
                std::uint8_t v[4] = {};
                if (std::size_t{n} * width <= 4) {
                    std::copy_n(e + 8 + k * width, width, v);
                } else if (!Read(std::uint64_t{FOrder.U32(e + 8)} + k * width, width, v)) {
                    return 0;
                }
                return width == 2 ? FOrder.U16(v) : FOrder.U32(v);
            };
            if ((type != 3 && type != 4 && type != 13) || n == 0) continue;
            switch (tag) {
            case kTagCompression:
                dir.Compression = unsigned(value(0));
                break;
            case kTagStripOffsets:
                dir.Strips = int(std::min<std::uint32_t>(n, 2));
                dir.StripOffset = value(0);
                break;
            case kTagStripByteCounts:
                dir.StripLength = value(0);
                break;
            case kTagSubIfds:
                for (std::uint32_t k = 0; k < std::min<std::uint32_t>(n, kMaxSubIfds); ++k)
                    dir.SubIfds.push_back(std::uint32_t(value(k)));
                break;
            case kTagJpegOffset:
                dir.JpegOffset = value(0);
                break;
            case kTagJpegLength:
                dir.JpegLength = value(0);
                break;
            default:
                break;
            }
        }
        dir.Next = FOrder.U32(bytes.data() + entries * 12);
        return true;
    }

    // A JPEG picture at offset, of length bytes, if it lies in the file and
    // starts as one.
    bool IsJpeg(std::uint64_t offset, std::uint64_t length) const
    {
        std::uint8_t soi[2];
        return length >= 4 && offset <= FSize && length <= FSize - offset && Read(offset, 2, soi) &&
               soi[0] == 0xFF && soi[1] == 0xD8;
    }

  private:
    bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* to) const
    {
        return offset <= FSize && length <= FSize - offset && FRead(offset, length, to);
    }

    const TReadAt& FRead;
    std::uint64_t FSize;
    TByteOrder FOrder;
};

} // namespace

std::vector<TEmbeddedJpeg> FindEmbeddedJpegs(const TReadAt& read, std::uint64_t fileSize)
{
    std::vector<TEmbeddedJpeg> found;
    std::uint8_t header[8];
    if (fileSize < 8 || !read(0, 8, header)) return found;
    TByteOrder order;
    if (header[0] == 'I' && header[1] == 'I')
        order.Little = true;
    else if (header[0] == 'M' && header[1] == 'M')
        order.Little = false;
    else
        return found;
    const TWalker walker(read, fileSize, order);
    // Directories to visit: IFD0's chain first, SubIFDs as they are met.
    std::vector<std::uint32_t> pending{order.U32(header + 4)};
    std::vector<std::uint32_t> seen;
    for (int visited = 0; !pending.empty() && visited < kMaxDirectories; ++visited) {
        const std::uint32_t at = pending.front();
        pending.erase(pending.begin());
        if (at < 8 || std::find(seen.begin(), seen.end(), at) != seen.end()) continue;
        seen.push_back(at);
        TDirectory dir;
        if (!walker.Directory(at, dir)) continue;
        if (dir.Next != 0) pending.push_back(dir.Next);
        pending.insert(pending.end(), dir.SubIfds.begin(), dir.SubIfds.end());
        auto add = [&](std::uint64_t offset, std::uint64_t length) {
            if (!walker.IsJpeg(offset, length)) return;
            for (const TEmbeddedJpeg& known : found)
                if (known.Offset == offset) return;
            found.push_back({offset, length});
        };
        if (dir.JpegOffset != 0) add(dir.JpegOffset, dir.JpegLength);
        // Old-style (6) and new-style (7) JPEG compression in one strip.
        if ((dir.Compression == 6 || dir.Compression == 7) && dir.Strips == 1)
            add(dir.StripOffset, dir.StripLength);
    }
    return found;
}

} // namespace quorvane::photo
