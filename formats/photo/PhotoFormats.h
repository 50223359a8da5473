// The decoders behind DecodePhotoBytes, one per library. Each returns the
// picture as stored (TPhotoPicture) and the orientation still to apply
// (1 when the library applied it or the request asked to keep the stored
// layout).
#pragma once

#include "PhotoDecoder.h"

#include <optional>

namespace quorvane::photo {

struct TStoredPicture {
    TPhotoPicture Picture;
    int Orientation = 1;
};

TStoredPicture DecodePng(const std::uint8_t* data, std::size_t size);
TStoredPicture DecodeWebp(const std::uint8_t* data, std::size_t size);
TStoredPicture DecodeTiff(const std::uint8_t* data, std::size_t size);
TStoredPicture DecodeHeif(const std::uint8_t* data, std::size_t size, const TPhotoRequest& request);
TStoredPicture DecodeJxl(const std::uint8_t* data, std::size_t size, const TPhotoRequest& request);
TStoredPicture DecodeRaw(const std::uint8_t* data, std::size_t size, const TPhotoRequest& request);
// A RAW file read by LibRaw itself, only the parts it needs (a camera file is
// tens of megabytes, of which the preview is a few); size is the file's.
TStoredPicture DecodeRawFile(const std::string& path, std::size_t size, const TPhotoRequest& request);

// The chroma sampling that every HEVC or AV1 configuration among a HEIF
// file's item properties declares: ShiftX (ShiftY) is 1 where chroma has
// half the luma's columns (rows). Nothing when they differ, when one is
// monochrome, when there is none, or when the boxes are damaged.
struct THeifChroma {
    int ShiftX = 0;
    int ShiftY = 0;
};
std::optional<THeifChroma> StoredHeifChroma(const std::uint8_t* data, std::size_t size);

// A buffer for width x height RGBA pixels, after CheckPhotoClaim.
std::vector<std::uint8_t> RgbaBuffer(std::uint64_t width, std::uint64_t height, std::uint64_t dataBytes);

// True when any pixel's alpha is below 255.
bool AnyTransparent(const std::vector<std::uint8_t>& rgba);

} // namespace quorvane::photo
