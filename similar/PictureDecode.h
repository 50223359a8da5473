// Decoding a picture file the cheapest way that still gives the hash enough
// pixels: JPEG at the smallest reduced scale leaving both sides at least as
// large as the hash grid, grey, fast DCT; GIF's first image through our
// reader; the photo formats (PNG, WebP, TIFF, HEIF, AVIF, JPEG XL, RAW)
// through the photo decoders; every other format through a decoder the
// caller supplies. Pictures are turned upright first when asked, and a
// transparent picture is laid on a background that shows its shape, which
// also comes back as a mask of its own.
#pragma once

#include "PerceptualHash.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quorvane {

// A decoded picture: its grey pixels (possibly reduced), the number of
// pixels of the picture at full size, which ranks the copies of a group, and
// the outline of its transparent parts (none for an opaque picture).
struct TDecodedPicture {
    TGreyImage Image;
    std::uint64_t FullPixels = 0;
    std::optional<TShapeMask> Shape;
    // The visible part is of one grey level: the outline is all it shows.
    bool OneColour = false;
};

// The hash the search gives a decoded picture: ComputePictureHash's, whose
// bits are ShapeHash's for a picture of one colour with an outline; and the
// eight variants of it, as ComputePictureHashVariants numbers them.
TPictureHash HashOfPicture(const TDecodedPicture& picture);
std::array<TPictureHash, kHashVariants> HashVariantsOfPicture(const TDecodedPicture& picture);

// The hash of the picture's centre (ComputeCentreHash) and its variants, for
// matching cropped copies; nothing for a picture with transparent parts,
// whose outline a crop would cut, so that its outline alone decides.
std::optional<TPictureHash> CentreHashOfPicture(const TDecodedPicture& picture);
std::optional<std::array<TPictureHash, kHashVariants>>
CentreHashVariantsOfPicture(const TDecodedPicture& picture);

// Decodes a format the core does not read itself (BMP, ICO, PNG, WebP,
// TIFF...). Returns nothing when it cannot read the file. It is called from
// several threads at once, so it must be thread-safe.
using TPictureDecoder = std::function<std::optional<TDecodedPicture>(const std::string& path)>;

// The denominator (1, 2, 4 or 8) of the JPEG scale for a picture of the
// given header size: the largest that keeps both sides at least minSide.
int JpegScaleDenominator(int width, int height, int minSide);

// Decodes path by its extension (case-insensitive): .JPG, .JPEG and .JPE by
// our JPEG class, .GIF by our GIF reader, the photo formats' extensions by
// the photo decoders, anything else by fallback (when given). With upright,
// the orientation the file carries is applied. Nothing when the file cannot
// be read or decoded.
std::optional<TDecodedPicture> DecodePictureFile(const std::string& path, const TPictureDecoder& fallback,
                                                 bool upright = true);

// The exact pixels of a picture, for "Same pixels": its size and a 128-bit
// digest of its full-size RGBA (alpha 255 where opaque), turned upright when
// asked. Two files with equal digests show the very same picture.
struct TPixelDigest {
    int Width = 0;
    int Height = 0;
    std::uint64_t Digest[2] = {0, 0};
    bool operator==(const TPixelDigest& other) const
    {
        return Width == other.Width && Height == other.Height && Digest[0] == other.Digest[0] &&
               Digest[1] == other.Digest[1];
    }
};

// The digest of path's picture decoded whole: JPEG (accurate DCT), GIF's
// first image and the photo formats; nothing for other formats or a file
// that cannot be decoded.
std::optional<TPixelDigest> DecodePixelDigest(const std::string& path, bool upright = true);

// The grey picture the hash sees of RGBA pixels: luma where opaque; where
// transparent, blended into a background of the opposite brightness to the
// picture's visible part, so that a shape drawn only in the alpha channel
// (a one-colour icon) shows as that shape.
TGreyImage GreyOfRgba(const std::uint8_t* rgba, int width, int height, bool hasAlpha);

} // namespace quorvane
