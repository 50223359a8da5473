// The 64-bit DCT hash: reduce to a 32 x 32 grey grid, take the 64 lowest
// frequencies after the mean (diagonals 1 to 10 of the 2-D DCT-II), and set
// one bit per coefficient above their median, so about half the bits are set.
#include "PerceptualHash.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace quorvane {

namespace {

struct TTap {
    int Source;
    float Weight;
};

// For each of the grid's cells along one axis, the source samples it takes
// from the span [from, from + length) of a source sourceLength long (the
// whole axis when from is 0 and length is sourceLength).
std::vector<std::vector<TTap>> AxisTaps(int sourceLength, double from, double length)
{
    std::vector<std::vector<TTap>> taps(kHashGridSide);
    const double scale = length / kHashGridSide;
    for (int j = 0; j < kHashGridSide; ++j) {
        if (length >= kHashGridSide) {
            const double start = from + j * scale, end = from + (j + 1) * scale;
            for (int s = static_cast<int>(start); s < sourceLength && s < end; ++s) {
                const double covered = std::min<double>(s + 1, end) - std::max<double>(s, start);
                if (covered > 0) taps[j].push_back({s, static_cast<float>(covered / scale)});
            }
        } else {
            // Samples stay within the span, as they stay within a whole axis.
            const double at =
                std::clamp(from + (j + 0.5) * scale - 0.5, from, std::max(from, from + length - 1.0));
            const int s = static_cast<int>(at);
            const float f = static_cast<float>(at - s);
            taps[j].push_back({s, 1.0f - f});
            if (s + 1 < sourceLength) taps[j].push_back({s + 1, f});
        }
    }
    return taps;
}

constexpr int kFrequencies = 11; // diagonals 0..10 need u, v < 11

const std::array<std::array<float, kHashGridSide>, kFrequencies>& CosineTable()
{
    static const auto table = [] {
        std::array<std::array<float, kHashGridSide>, kFrequencies> t{};
        for (int k = 0; k < kFrequencies; ++k)
            for (int x = 0; x < kHashGridSide; ++x)
                t[k][x] =
                    static_cast<float>(std::cos(std::numbers::pi * (2 * x + 1) * k / (2.0 * kHashGridSide)));
        return t;
    }();
    return table;
}

// The DCT-II coefficients (u, v) with u, v < kFrequencies of the grid.
std::array<std::array<float, kFrequencies>, kFrequencies> LowFrequencies(const std::vector<float>& grid)
{
    const auto& cosine = CosineTable();
    std::array<std::array<float, kFrequencies>, kHashGridSide> rows{};
    for (int y = 0; y < kHashGridSide; ++y)
        for (int v = 0; v < kFrequencies; ++v) {
            float sum = 0;
            for (int x = 0; x < kHashGridSide; ++x)
                sum += grid[y * kHashGridSide + x] * cosine[v][x];
            rows[y][v] = sum;
        }
    std::array<std::array<float, kFrequencies>, kFrequencies> result{};
    for (int u = 0; u < kFrequencies; ++u)
        for (int v = 0; v < kFrequencies; ++v) {
            float sum = 0;
            for (int y = 0; y < kHashGridSide; ++y)
                sum += rows[y][v] * cosine[u][y];
            result[u][v] = sum;
        }
    return result;
}

} // namespace

std::vector<float> ReduceToGrid(const TGreyImage& image)
{
    return ReduceRegionToGrid(image, 0.0, 0.0, image.Width, image.Height);
}

std::vector<float> ReduceRegionToGrid(const TGreyImage& image, double left, double top, double width,
                                      double height)
{
    const auto across = AxisTaps(image.Width, left, width);
    const auto down = AxisTaps(image.Height, top, height);
    // Horizontal pass into Height x 32, then vertical into 32 x 32.
    std::vector<float> narrow(static_cast<std::size_t>(image.Height) * kHashGridSide);
    for (int y = 0; y < image.Height; ++y) {
        const std::uint8_t* row = image.Pixels.data() + static_cast<std::size_t>(y) * image.Width;
        for (int x = 0; x < kHashGridSide; ++x) {
            float sum = 0;
            for (const TTap& tap : across[x])
                sum += row[tap.Source] * tap.Weight;
            narrow[static_cast<std::size_t>(y) * kHashGridSide + x] = sum;
        }
    }
    std::vector<float> grid(kHashGridSide * kHashGridSide, 0.0f);
    for (int y = 0; y < kHashGridSide; ++y)
        for (const TTap& tap : down[y])
            for (int x = 0; x < kHashGridSide; ++x)
                grid[y * kHashGridSide + x] +=
                    narrow[static_cast<std::size_t>(tap.Source) * kHashGridSide + x] * tap.Weight;
    return grid;
}

namespace {

using TFrequencies = std::array<std::array<float, kFrequencies>, kFrequencies>;

// The hash of the low frequencies as a turned or mirrored grid would have
// them: a transposed grid swaps the axes of its DCT, a mirrored one changes
// the sign of the odd frequencies along the mirrored axis.
std::uint64_t HashBits(const TFrequencies& freq, int variant)
{
    const bool transpose = variant & 4, mirrorX = variant & 1, mirrorY = variant & 2;
    std::array<float, 64> coefficients{};
    int n = 0;
    for (int diagonal = 1; diagonal <= 10 && n < 64; ++diagonal)
        for (int u = 0; u <= diagonal && n < 64; ++u) {
            const int v = diagonal - u;
            float value = transpose ? freq[v][u] : freq[u][v];
            if (mirrorX && (v & 1)) value = -value;
            if (mirrorY && (u & 1)) value = -value;
            coefficients[n++] = value;
        }
    std::array<float, 64> sorted = coefficients;
    std::nth_element(sorted.begin(), sorted.begin() + 32, sorted.end());
    // The margin keeps rounding noise from setting bits: a flat picture
    // hashes to 0 whatever its size or format (its mean then tells it apart).
    const float median = sorted[32] + 0.5f;
    std::uint64_t hash = 0;
    for (int i = 0; i < 64; ++i)
        if (coefficients[i] > median) hash |= std::uint64_t{1} << i;
    return hash;
}

std::uint8_t GridMean(const std::vector<float>& grid)
{
    double total = 0;
    for (float value : grid)
        total += value;
    return static_cast<std::uint8_t>(std::clamp(total / grid.size() + 0.5, 0.0, 255.0));
}

} // namespace

TPictureHash ComputePictureHash(const TGreyImage& image)
{
    const std::vector<float> grid = ReduceToGrid(image);
    return TPictureHash{HashBits(LowFrequencies(grid), 0), GridMean(grid)};
}

std::array<TPictureHash, kHashVariants> ComputePictureHashVariants(const TGreyImage& image)
{
    return HashVariantsOfGrid(ReduceToGrid(image));
}

namespace {

std::vector<float> CentreGrid(const TGreyImage& image)
{
    const double margin = (1.0 - kCentreShare) / 2;
    return ReduceRegionToGrid(image, image.Width * margin, image.Height * margin, image.Width * kCentreShare,
                              image.Height * kCentreShare);
}

} // namespace

TPictureHash ComputeCentreHash(const TGreyImage& image)
{
    const std::vector<float> grid = CentreGrid(image);
    return TPictureHash{HashBits(LowFrequencies(grid), 0), GridMean(grid)};
}

std::array<TPictureHash, kHashVariants> ComputeCentreHashVariants(const TGreyImage& image)
{
    return HashVariantsOfGrid(CentreGrid(image));
}

std::array<TPictureHash, kHashVariants> HashVariantsOfGrid(const std::vector<float>& grid)
{
    const TFrequencies freq = LowFrequencies(grid);
    const std::uint8_t mean = GridMean(grid);
    std::array<TPictureHash, kHashVariants> result;
    for (int variant = 0; variant < kHashVariants; ++variant)
        result[std::size_t(variant)] = TPictureHash{HashBits(freq, variant), mean};
    return result;
}

namespace {

using TCells = std::array<std::uint64_t, kHashGridSide * kHashGridSide / 64>;

bool Cell(const TCells& cells, int index)
{
    return (cells[std::size_t(index) / 64] >> (index % 64)) & 1;
}

void SetCell(TCells& cells, int index)
{
    cells[std::size_t(index) / 64] |= std::uint64_t{1} << (index % 64);
}

} // namespace

std::optional<TShapeMask> ComputeShapeMask(const TGreyImage& alpha)
{
    const std::vector<float> grid = ReduceToGrid(alpha);
    TShapeMask mask;
    bool outline = false;
    for (int cell = 0; cell < kHashGridSide * kHashGridSide; ++cell) {
        const float opacity = grid[std::size_t(cell)] / 255;
        if (opacity >= 0.5f)
            SetCell(mask.Opaque, cell);
        else
            outline = true;
        if (opacity >= 7.0f / 16 && opacity < 9.0f / 16) SetCell(mask.Edge, cell);
    }
    if (!outline) return std::nullopt;
    return mask;
}

namespace {

// The cells as 32 rows of 32 bits (bit x of row y is cell (x, y)) and back.
using TRows = std::array<std::uint32_t, kHashGridSide>;
static_assert(kHashGridSide == 32, "rows of 32 cells");

TRows RowsOf(const TCells& cells)
{
    TRows rows;
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = static_cast<std::uint32_t>(cells[y / 2] >> (32 * (y % 2)));
    return rows;
}

TCells CellsOf(const TRows& rows)
{
    TCells cells{};
    for (std::size_t y = 0; y < rows.size(); ++y)
        cells[y / 2] |= std::uint64_t{rows[y]} << (32 * (y % 2));
    return cells;
}

std::uint32_t ReverseBits(std::uint32_t v)
{
    v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
    v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
    return (v >> 16) | (v << 16);
}

// Swaps rows and columns by exchanging ever smaller blocks across the
// diagonal: 16 x 16, then 8 x 8, down to single cells.
void Transpose(TRows& rows)
{
    std::uint32_t mask = 0x0000FFFFu;
    for (std::size_t j = 16; j != 0; j >>= 1, mask ^= mask << j)
        for (std::size_t k = 0; k < rows.size(); k = ((k | j) + 1) & ~j) {
            const std::uint32_t t = ((rows[k] >> j) ^ rows[k | j]) & mask;
            rows[k] ^= t << j;
            rows[k | j] ^= t;
        }
}

TCells Turn(const TCells& cells, int variant)
{
    // As HashBits reads the variant: axes swapped first, then the mirrors.
    TRows rows = RowsOf(cells);
    if (variant & 4) Transpose(rows);
    if (variant & 1)
        for (std::uint32_t& row : rows)
            row = ReverseBits(row);
    if (variant & 2) std::reverse(rows.begin(), rows.end());
    return CellsOf(rows);
}

} // namespace

TShapeMask TurnShapeMask(const TShapeMask& mask, int variant)
{
    return TShapeMask{Turn(mask.Opaque, variant), Turn(mask.Edge, variant)};
}

std::uint64_t ShapeHash(const TShapeMask& mask)
{
    constexpr int block = kHashGridSide / 8;
    std::uint64_t hash = 0;
    for (int by = 0; by < 8; ++by)
        for (int bx = 0; bx < 8; ++bx) {
            int opaque = 0;
            for (int y = by * block; y < (by + 1) * block; ++y)
                for (int x = bx * block; x < (bx + 1) * block; ++x)
                    opaque += Cell(mask.Opaque, y * kHashGridSide + x);
            if (2 * opaque >= block * block) hash |= std::uint64_t{1} << (by * 8 + bx);
        }
    return hash;
}

int ShapeDistance(const TShapeMask* a, const TShapeMask* b)
{
    if (a == b) return 0;
    constexpr std::uint64_t all = ~std::uint64_t{0};
    int distance = 0;
    for (std::size_t i = 0; i < TCells{}.size(); ++i) {
        const std::uint64_t opaque = (a ? a->Opaque[i] : all) ^ (b ? b->Opaque[i] : all);
        const std::uint64_t edges = a && b ? a->Edge[i] & b->Edge[i] : 0;
        distance += __builtin_popcountll(opaque & ~edges);
    }
    return distance;
}

} // namespace quorvane
