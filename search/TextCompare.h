// Text comparison of the search core: the ASCII letters a to z are folded to
// upper case and everything else is compared byte by byte, so Big5 or UTF-8
// letters beyond ASCII must match exactly. The order is total and stable.
#pragma once

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

} // namespace quorvane
