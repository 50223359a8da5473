// The perceptual hash of a picture: a 64-bit DCT hash of its 32 x 32 grey
// reduction and its mean brightness. Pictures that are the same photograph
// at another size, quality or format differ in few bits; the mean keeps flat
// pictures of different colour apart, whose DCT hashes are all equal.
#pragma once

#include <array>
#include <cstdint>
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

// The hash of a non-empty picture.
TPictureHash ComputePictureHash(const TGreyImage& image);

// The hashes of the picture's eight turns and mirrors, from one reduction
// and one DCT: variant 0 is ComputePictureHash's; bit 0 of the variant
// mirrors left to right, bit 1 top to bottom, bit 2 swaps the axes first.
inline constexpr int kHashVariants = 8;
std::array<TPictureHash, kHashVariants> ComputePictureHashVariants(const TGreyImage& image);

inline int HammingDistance(std::uint64_t a, std::uint64_t b)
{
    return __builtin_popcountll(a ^ b);
}

} // namespace quorvane
