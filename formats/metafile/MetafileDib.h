// Device-independent bitmaps inside metafile records, decoded to TMfImage.
// The header, the palette, the bit count, the row stride and the bits are all
// checked against the bytes the record really holds before anything is read,
// and the image's size against MetafileLimits before it is allocated.
#pragma once

#include "ByteView.h"
#include "MetafileTypes.h"

#include <optional>

namespace quorvane {

struct TMfDib {
    TMfImage Image;       // rows top-down
    bool BottomUp = true; // the file's row order (source rectangles count from the bottom then)
};

// info holds the BITMAPINFO (header, masks, palette); bits the pixel rows.
// Returns nothing for a damaged, unsupported (JPEG or PNG) or too large bitmap.
// keepAlpha: a 32-bit BI_RGB bitmap keeps its fourth byte as alpha (as
// AlphaBlend reads it) instead of being drawn opaque.
std::optional<TMfDib> DecodeDib(TByteView info, TByteView bits, bool keepAlpha = false);
// The pixels the bitmap's header claims (0 when it is unreadable), capped at
// MetafileLimits::kMaxBitmapPixels + 1; what decoding it can cost.
std::uint64_t DibPixelCount(TByteView info);
// A packed DIB: the BITMAPINFO directly followed by the bits.
std::optional<TMfDib> DecodePackedDib(TByteView packed);

} // namespace quorvane
