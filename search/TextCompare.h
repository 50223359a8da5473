// Text comparison of the search core: the ASCII letters a to z are folded to
// upper case and everything else is compared byte by byte, so Big5 or UTF-8
// letters beyond ASCII must match exactly. The order is total and stable.
#pragma once

#include <cstdint>
#include <string_view>

namespace quorvane {

// The byte with a..z folded to A..Z.
inline unsigned char FoldAscii(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

// Negative, zero or positive as a sorts before, equal to or after b.
int CompareFolded(std::string_view a, std::string_view b);

// True when a and b are equal under ASCII folding.
bool SameFolded(std::string_view a, std::string_view b);

// The first 16 bytes of a text, ASCII-folded, as two big-endian numbers
// padded with zero bytes. For texts without NUL bytes (file names), a
// smaller key means a smaller folded text (CompareFolded); equal keys mean
// equal folded texts unless both texts have 16 bytes or more (a text of
// exactly 16 bytes has the key of every longer text it begins).
struct TFoldedPrefix {
    std::uint64_t High = 0;
    std::uint64_t Low = 0;
    bool Long = false; // 16 bytes or more: equal keys do not settle the order

    static TFoldedPrefix Of(std::string_view text);
};

} // namespace quorvane
