// The JPEG pictures a TIFF-based camera RAW file (DNG, NEF, CR2, ARW, PEF,
// ORF, RW2...) carries beside its sensor data: cameras write a full-size
// preview and often a medium one and a thumbnail. The window draws a RAW
// in a preview pane or a slide, where the smallest picture that still fills
// the space looks the same and decodes many times faster.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace quorvane::photo {

struct TEmbeddedJpeg {
    std::uint64_t Offset = 0;
    std::uint64_t Length = 0;
};

// Reads length bytes at offset into to; false when they are not all there.
using TReadAt = std::function<bool(std::uint64_t offset, std::size_t length, std::uint8_t* to)>;

// The JPEG pictures named by the file's image directories: IFD0, the IFDs
// chained after it and their SubIFDs, each as JPEGInterchangeFormat and its
// length, or as the one strip of a JPEG-compressed picture. Bounded: at
// most a few dozen directories of at most 1,000 entries are read, and each
// picture lies within fileSize.
std::vector<TEmbeddedJpeg> FindEmbeddedJpegs(const TReadAt& read, std::uint64_t fileSize);

} // namespace quorvane::photo
