// The EXIF parser keeps to the bytes it is given: every offset and count is
// checked against the size before it is read, segments, boxes and IFD
// entries are visited at most a fixed number of times, and the Exif sub-IFD
// is followed once (never recursively), so a hostile file costs no more
// than a scan of the bytes the caller read.
#include "ExifBlock.h"

#include <cstring>

namespace quorvane {

namespace {

constexpr int kMaxSegments = 256;
constexpr unsigned kMaxIfdEntries = 1024;
constexpr std::size_t kMaxText = 64; // longer EXIF texts are cut here

enum : unsigned {
    kTagImageWidth = 0x0100,
    kTagImageLength = 0x0101,
    kTagModel = 0x0110,
    kTagOrientation = 0x0112,
    kTagExifIfd = 0x8769,
    kTagDateTimeOriginal = 0x9003,
    kTagOffsetTimeOriginal = 0x9011,
    kTagSubSecTimeOriginal = 0x9291,
    kTagPixelXDimension = 0xA002,
    kTagPixelYDimension = 0xA003,
};
enum : unsigned { kTypeAscii = 2, kTypeShort = 3, kTypeLong = 4 };

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

TExifSpan Span(const std::uint8_t* data, std::size_t size)
{
    return TExifSpan{data, size};
}

TExifSpan ExifFromJpeg(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 2;
    for (int segment = 0; segment < kMaxSegments && at + 4 <= size; ++segment) {
        if (data[at] != 0xFF) return {};
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return {}; // scan or end: no block before it
        const std::size_t length = std::size_t{data[at + 2]} << 8 | data[at + 3];
        if (length < 2 || length > size - at - 2) return {};
        const std::uint8_t* body = data + at + 4;
        if (marker == 0xE1 && StartsWith(body, length - 2, "Exif\0\0", 6)) return Span(body, length - 2);
        at += 2 + length;
    }
    return {};
}

TExifSpan ExifFromPng(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 8;
    for (int chunk = 0; chunk < kMaxSegments && at + 12 <= size; ++chunk) {
        const std::uint32_t length = BigU32(data + at);
        if (length > size - at - 12) return {};
        const std::uint8_t* type = data + at + 4;
        if (std::memcmp(type, "eXIf", 4) == 0) return Span(data + at + 8, length);
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) return {};
        at += 12 + std::size_t{length};
    }
    return {};
}

TExifSpan ExifFromWebp(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 12;
    for (int chunk = 0; chunk < kMaxSegments && at + 8 <= size; ++chunk) {
        const std::uint32_t length = LittleU32(data + at + 4);
        if (length > size - at - 8) return {};
        if (std::memcmp(data + at, "EXIF", 4) == 0) return Span(data + at + 8, length);
        at += 8 + std::size_t{length} + (length & 1);
    }
    return {};
}

// The body of the first box of a JPEG XL container for which wanted(type,
// body) holds, within the bytes.
template <typename TWanted> TExifSpan JxlBox(const std::uint8_t* data, std::size_t size, TWanted wanted)
{
    std::size_t at = 0;
    for (int box = 0; box < kMaxSegments && at + 8 <= size; ++box) {
        std::uint64_t length = BigU32(data + at);
        std::size_t header = 8;
        if (length == 1) {
            if (at + 16 > size) return {};
            length = std::uint64_t{BigU32(data + at + 8)} << 32 | BigU32(data + at + 12);
            header = 16;
        } else if (length == 0) {
            length = size - at; // the last box runs to the end
        }
        if (length < header || length > size - at) return {};
        const TExifSpan body{data + at + header, std::size_t(length) - header};
        if (wanted(data + at + 4, body)) return body;
        at += std::size_t(length);
    }
    return {};
}

// A JPEG XL container's Exif box holds a 4-byte offset to the TIFF header,
// then the block.
TExifSpan ExifFromJxl(const std::uint8_t* data, std::size_t size)
{
    const TExifSpan body = JxlBox(
        data, size, [](const std::uint8_t* type, TExifSpan) { return std::memcmp(type, "Exif", 4) == 0; });
    if (body.Size < 4) return {};
    const std::uint32_t skip = BigU32(body.Data);
    if (skip > body.Size - 4) return {};
    return Span(body.Data + 4 + skip, body.Size - 4 - skip);
}

// The TIFF magic numbers: TIFF's own, Olympus ORF's two and Panasonic RW2's.
bool TiffMagic(unsigned magic)
{
    return magic == 42 || magic == 0x4F52 || magic == 0x5352 || magic == 0x55;
}

bool IsTiffHeader(const std::uint8_t* data, std::size_t size)
{
    if (size < 8) return false;
    TByteReader r{data, size, data[0] == 'M'};
    return ((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')) && TiffMagic(r.U16(2));
}

std::string TrimmedText(const char* text, std::size_t length)
{
    std::size_t end = 0;
    while (end < length && end < kMaxText && text[end] != '\0')
        ++end;
    while (end > 0 && (text[end - 1] == ' '))
        --end;
    std::size_t begin = 0;
    while (begin < end && text[begin] == ' ')
        ++begin;
    return std::string(text + begin, end - begin);
}

// One IFD entry's value: its place, checked to lie inside the block.
struct TEntry {
    unsigned Type = 0;
    std::uint32_t Count = 0;
    std::size_t ValueAt = 0;
    bool Valid = false;
};

TEntry EntryAt(const TByteReader& r, std::size_t entry)
{
    TEntry e;
    e.Type = r.U16(entry + 2);
    e.Count = r.U32(entry + 4);
    const std::size_t unit = e.Type == kTypeShort ? 2 : (e.Type == kTypeLong ? 4 : 1);
    if (e.Count > r.Size / unit) return e; // more values than the block has bytes
    const std::size_t bytes = unit * e.Count;
    e.ValueAt = bytes <= 4 ? entry + 8 : r.U32(entry + 8);
    e.Valid = r.Has(e.ValueAt, bytes);
    return e;
}

std::string AsciiValue(const TByteReader& r, const TEntry& e)
{
    if (!e.Valid || e.Type != kTypeAscii) return {};
    return TrimmedText(reinterpret_cast<const char*>(r.Data + e.ValueAt), e.Count);
}

std::uint32_t NumberValue(const TByteReader& r, const TEntry& e)
{
    if (!e.Valid || e.Count != 1) return 0;
    if (e.Type == kTypeShort) return r.U16(e.ValueAt);
    if (e.Type == kTypeLong) return r.U32(e.ValueAt);
    return 0;
}

// Reads the entries of the IFD at ifd into fields; returns the offset of the
// Exif sub-IFD it names, 0 for none.
std::uint32_t ReadIfd(const TByteReader& r, std::uint32_t ifd, TExifFields& fields, bool first)
{
    if (!r.Has(ifd, 2)) return 0;
    const unsigned count = r.U16(ifd);
    std::uint32_t exifIfd = 0;
    for (unsigned i = 0; i < count && i < kMaxIfdEntries; ++i) {
        const std::size_t entry = std::size_t{ifd} + 2 + std::size_t{i} * 12;
        if (!r.Has(entry, 12)) break;
        const unsigned tag = r.U16(entry);
        const TEntry e = EntryAt(r, entry);
        switch (tag) {
        case kTagOrientation:
            // SHORT, one value, kept in the first two bytes of the value field.
            if (first && e.Type == kTypeShort && e.Count == 1) {
                const unsigned value = r.U16(entry + 8);
                fields.Orientation = value >= 1 && value <= 8 ? int(value) : 1;
            }
            break;
        case kTagModel:
            if (first) fields.Model = AsciiValue(r, e);
            break;
        case kTagImageWidth:
            if (first) fields.ImageWidth = NumberValue(r, e);
            break;
        case kTagImageLength:
            if (first) fields.ImageHeight = NumberValue(r, e);
            break;
        case kTagExifIfd:
            if (first && e.Type == kTypeLong && e.Count == 1) exifIfd = r.U32(entry + 8);
            break;
        case kTagDateTimeOriginal:
            fields.DateTimeOriginal = AsciiValue(r, e);
            break;
        case kTagSubSecTimeOriginal:
            fields.SubSecTimeOriginal = AsciiValue(r, e);
            break;
        case kTagOffsetTimeOriginal:
            fields.OffsetTimeOriginal = AsciiValue(r, e);
            break;
        case kTagPixelXDimension:
            fields.PixelWidth = NumberValue(r, e);
            break;
        case kTagPixelYDimension:
            fields.PixelHeight = NumberValue(r, e);
            break;
        default:
            break;
        }
    }
    return exifIfd;
}

} // namespace

TExifSpan FindExifBlock(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr) return {};
    if (size >= 4 && data[0] == 0xFF && data[1] == 0xD8) return ExifFromJpeg(data, size);
    if (IsTiffHeader(data, size)) return Span(data, size);
    if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return ExifFromPng(data, size);
    if (size >= 12 && StartsWith(data, size, "RIFF", 4) && std::memcmp(data + 8, "WEBP", 4) == 0)
        return ExifFromWebp(data, size);
    if (StartsWith(data, size, "\0\0\0\x0CJXL \r\n\x87\n", 12)) return ExifFromJxl(data, size);
    return {};
}

TExifFields ReadExifBlock(const std::uint8_t* data, std::size_t size)
{
    TExifFields fields;
    if (data == nullptr) return fields;
    if (StartsWith(data, size, "Exif\0\0", 6)) {
        data += 6;
        size -= 6;
    }
    if (!IsTiffHeader(data, size)) return fields;
    const TByteReader r{data, size, data[0] == 'M'};
    const std::uint32_t ifd = r.U32(4);
    const std::uint32_t exifIfd = ReadIfd(r, ifd, fields, true);
    // The sub-IFD is read once; one pointing back at the first IFD adds
    // nothing and is not read again.
    if (exifIfd != 0 && exifIfd != ifd) ReadIfd(r, exifIfd, fields, false);
    return fields;
}

TExifSpan FindCompressedJxlExif(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || !StartsWith(data, size, "\0\0\0\x0CJXL \r\n\x87\n", 12)) return {};
    const TExifSpan body = JxlBox(data, size, [](const std::uint8_t* type, TExifSpan inner) {
        return std::memcmp(type, "brob", 4) == 0 && inner.Size >= 4 &&
               std::memcmp(inner.Data, "Exif", 4) == 0;
    });
    if (body.Size < 4) return {};
    return {body.Data + 4, body.Size - 4};
}

} // namespace quorvane
