// ASCII-folding comparison: a..z equal A..Z, all other bytes compare as
// unsigned values, and a proper prefix sorts first.
#include "TextCompare.h"

#include <algorithm>

namespace quorvane {

int CompareFolded(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameFolded(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(static_cast<unsigned char>(a[i])) != FoldAscii(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

TFoldedPrefix TFoldedPrefix::Of(std::string_view text)
{
    TFoldedPrefix key;
    for (std::size_t i = 0; i < 16; ++i) {
        const unsigned char byte = i < text.size() ? FoldAscii(static_cast<unsigned char>(text[i])) : 0;
        std::uint64_t& part = i < 8 ? key.High : key.Low;
        part = (part << 8) | byte;
    }
    key.Long = text.size() >= 16;
    return key;
}

} // namespace quorvane
