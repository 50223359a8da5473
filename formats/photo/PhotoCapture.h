// The capture info (date, camera, dimensions) of a photo file, found in the
// EXIF block of whatever format carries it. Reads a bounded head of the file
// (kCaptureReadBytes), and for HEIF/AVIF, whose EXIF item may lie after the
// picture data, the file up to kCaptureHeifBytes through libheif's parser
// (no pixel is decoded). Plain C++; any thread may call it.
#pragma once

#include "CaptureInfo.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane {

inline constexpr std::size_t kCaptureReadBytes = std::size_t{256} << 10;
inline constexpr std::size_t kCaptureHeifBytes = std::size_t{64} << 20;

// The capture info of a file's bytes: JPEG (APP1), TIFF and the TIFF-based
// RAW files, PNG (eXIf), WebP (EXIF), JPEG XL (Exif box), HEIF/AVIF (the
// primary picture's Exif item), Canon CR3 (its CMT boxes) and Fujifilm RAF
// (its embedded JPEG). An empty info for other bytes or no EXIF block.
TCaptureInfo CaptureInfoFromBytes(const std::uint8_t* data, std::size_t size);

// The capture info of the file at path (file-system bytes); an empty info
// when it cannot be read.
TCaptureInfo ReadCaptureInfo(const std::string& path);

} // namespace quorvane
