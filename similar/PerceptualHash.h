// The perceptual hash of a picture: a 64-bit DCT hash of its 32 x 32 grey
// reduction and its mean brightness. Pictures that are the same photograph
// at another size, quality or format differ in few bits; the mean keeps flat
// pictures of different colour apart, whose DCT hashes are all equal.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvane {

// An 8-bit grey picture, rows top-down without padding.
struct TGreyImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};

struct TPictureHash {
    std::uint64_t Hash = 0;
    std::uint8_t Mean = 0; // mean grey level of the reduction, 0..255
    bool operator==(const TPictureHash&) const = default;
};

inline constexpr int kHashGridSide = 32;

// Reduces image to kHashGridSide x kHashGridSide by area averaging (each
// output cell the mean of the source pixels it covers, fractions weighted),
// or by bilinear sampling where the source is smaller than the grid.
// image must not be empty.
std::vector<float> ReduceToGrid(const TGreyImage& image);

// The same reduction of the part of image from (left, top), width x height
// pixels in size (fractions of a pixel weighted), which lies within image.
std::vector<float> ReduceRegionToGrid(const TGreyImage& image, double left, double top, double width,
                                      double height);

// The hash of a non-empty picture.
TPictureHash ComputePictureHash(const TGreyImage& image);

// The hashes of the picture's eight turns and mirrors, from one reduction
// and one DCT: variant 0 is ComputePictureHash's; bit 0 of the variant
// mirrors left to right, bit 1 top to bottom, bit 2 swaps the axes first.
inline constexpr int kHashVariants = 8;
std::array<TPictureHash, kHashVariants> ComputePictureHashVariants(const TGreyImage& image);
// The eight variants of the hash of a grid ReduceToGrid made.
std::array<TPictureHash, kHashVariants> HashVariantsOfGrid(const std::vector<float>& grid);

// The share of each side the centre hash sees: a copy cut down to the
// middle of the picture (a centred crop to 93 to 97 % of each side, as
// printing and framing do) hashes close to its original's centre, while
// its whole-picture hash is a dozen bits away.
inline constexpr double kCentreShare = 0.95;

// The hash of the picture's centre (kCentreShare of each side, centred),
// and its eight variants; turning or mirroring the picture keeps its centre,
// so these are the centre hashes of the turned pictures.
TPictureHash ComputeCentreHash(const TGreyImage& image);
std::array<TPictureHash, kHashVariants> ComputeCentreHashVariants(const TGreyImage& image);

inline int HammingDistance(std::uint64_t a, std::uint64_t b)
{
    return __builtin_popcountll(a ^ b);
}

// The outline of a picture with transparent parts: its alpha channel reduced
// to the hash grid like the grey picture, as the cells at least half opaque
// and the cells an edge crosses near their middle (7/16 to 9/16 opaque),
// which may fall either way in another drawing of the same shape; cell
// (x, y) is bit y * kHashGridSide + x. The grey hash of a one-colour icon
// sees little of its outline (a few low frequencies), so shapes that differ
// in their details can hash alike: the mask keeps them apart.
struct TShapeMask {
    std::array<std::uint64_t, kHashGridSide * kHashGridSide / 64> Opaque{}, Edge{};
    bool operator==(const TShapeMask&) const = default;
};

// The shape of a non-empty alpha plane (one byte a pixel); nothing when every
// cell is at least half opaque, so a picture with no outline of its own
// compares as the plain rectangle every opaque picture is.
std::optional<TShapeMask> ComputeShapeMask(const TGreyImage& alpha);

// mask turned and mirrored as ComputePictureHashVariants numbers variants.
TShapeMask TurnShapeMask(const TShapeMask& mask, int variant);

// The hash of a picture that is nothing but its outline (one colour on a
// transparent background), whose grey hash depends on few unsteady
// frequencies: the outline in 8 x 8 blocks of 4 x 4 cells, a bit set where
// at least half the block's cells are opaque. Turning the mask first gives
// the hash of each variant.
std::uint64_t ShapeHash(const TShapeMask& mask);

// The cells opaque in one shape and not in the other, except those that
// an edge crosses near their middle in both; nullptr stands for an opaque
// picture (every cell opaque, no edges).
int ShapeDistance(const TShapeMask* a, const TShapeMask* b);

} // namespace quorvane
