// The chroma sampling a HEIF file's codec configurations declare, read from
// its boxes (meta / iprp / ipco / hvcC or av1C) without decoding anything.
// Every box is bounded by its parent and every field read is checked to lie
// inside the box that holds it; damaged boxes give no answer.
#include "PhotoFormats.h"

#include <cstring>

namespace quorvane::photo {

namespace {

struct TBox {
    char Type[4] = {};
    const std::uint8_t* Payload = nullptr;
    std::size_t Size = 0; // of the payload
};

std::uint64_t Big(const std::uint8_t* p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

// The box at data[at, end), or false when its header does not fit.
bool BoxAt(const std::uint8_t* data, std::size_t at, std::size_t end, TBox& box, std::size_t& next)
{
    if (end - at < 8) return false;
    std::uint64_t size = Big(data + at, 4);
    std::size_t header = 8;
    if (size == 1) {
        if (end - at < 16) return false;
        size = Big(data + at + 8, 8);
        header = 16;
    } else if (size == 0) {
        size = end - at;
    }
    if (size < header || size > end - at) return false;
    std::memcpy(box.Type, data + at + 4, 4);
    box.Payload = data + at + header;
    box.Size = static_cast<std::size_t>(size) - header;
    next = at + static_cast<std::size_t>(size);
    return true;
}

// The first child of type inside [data, data + size), skipping skip bytes
// of the parent's own fields first.
bool Child(const std::uint8_t* data, std::size_t size, std::size_t skip, const char* type, TBox& found)
{
    std::size_t at = skip, next = 0;
    TBox box;
    while (at < size && BoxAt(data, at, size, box, next)) {
        if (std::memcmp(box.Type, type, 4) == 0) {
            found = box;
            return true;
        }
        at = next;
    }
    return false;
}

// One configuration's chroma, or false for monochrome or a short box.
bool ChromaOf(const TBox& box, THeifChroma& chroma)
{
    if (std::memcmp(box.Type, "hvcC", 4) == 0) {
        if (box.Size < 23) return false;
        switch (box.Payload[16] & 3) { // chroma_format_idc
        case 1:
            chroma = {1, 1};
            return true;
        case 2:
            chroma = {1, 0};
            return true;
        case 3:
            chroma = {0, 0};
            return true;
        default:
            return false;
        }
    }
    if (box.Size < 4 || (box.Payload[2] & 0x10) != 0) return false; // av1C: monochrome
    chroma = {(box.Payload[2] & 0x08) ? 1 : 0, (box.Payload[2] & 0x04) ? 1 : 0};
    return true;
}

} // namespace

std::optional<THeifChroma> StoredHeifChroma(const std::uint8_t* data, std::size_t size)
{
    TBox meta, iprp, ipco;
    if (!Child(data, size, 0, "meta", meta) || !Child(meta.Payload, meta.Size, 4, "iprp", iprp) ||
        !Child(iprp.Payload, iprp.Size, 0, "ipco", ipco))
        return std::nullopt;
    std::optional<THeifChroma> agreed;
    std::size_t at = 0, next = 0;
    TBox box;
    while (at < ipco.Size && BoxAt(ipco.Payload, at, ipco.Size, box, next)) {
        at = next;
        if (std::memcmp(box.Type, "hvcC", 4) != 0 && std::memcmp(box.Type, "av1C", 4) != 0) continue;
        THeifChroma chroma;
        if (!ChromaOf(box, chroma)) return std::nullopt;
        if (agreed && (agreed->ShiftX != chroma.ShiftX || agreed->ShiftY != chroma.ShiftY))
            return std::nullopt;
        agreed = chroma;
    }
    return agreed;
}

} // namespace quorvane::photo
