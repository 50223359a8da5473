// TJPEGBitmap storage: one block of padded bottom-up rows. The largest freed
// block (up to 64 MiB) is kept for the next bitmap of this thread, so that
// decoding picture after picture neither faults fresh pages in nor clears
// them twice; a reused block is never shown before it is written or cleared.
#include "JPEGBitmap.h"

#include "LargeBlock.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace quorvane {
namespace {

constexpr std::size_t kMinCachedBlock = std::size_t(1) << 20;
constexpr std::size_t kMaxCachedBlock = std::size_t(64) << 20;

// The kept block lives in trivially destructible thread-local variables, so
// that a bitmap freed during the thread's exit still finds them valid; the
// guard frees the block at exit and from then on nothing more is kept.
thread_local std::uint8_t* GKeptBlock = nullptr;
thread_local std::size_t GKeptSize = 0;
thread_local bool GThreadEnding = false;

struct TKeptBlockGuard {
    ~TKeptBlockGuard()
    {
        GThreadEnding = true;
        std::free(std::exchange(GKeptBlock, nullptr));
    }
};
thread_local TKeptBlockGuard GKeptBlockGuard;

// A block of at least size bytes, and its capacity.
std::uint8_t* TakeBlock(std::size_t size, std::size_t& capacity)
{
    (void)&GKeptBlockGuard; // makes sure the guard exists in this thread
    if (GKeptBlock && GKeptSize >= size && size >= kMinCachedBlock) {
        capacity = GKeptSize;
        return std::exchange(GKeptBlock, nullptr);
    }
    auto* block = static_cast<std::uint8_t*>(std::malloc(size));
    if (!block) throw std::bad_alloc();
    AdviseHugePages(block, size);
    capacity = size;
    return block;
}

void GiveBlock(std::uint8_t* block, std::size_t capacity)
{
    if (GThreadEnding || capacity < kMinCachedBlock || capacity > kMaxCachedBlock) {
        std::free(block);
        return;
    }
    // Keep the larger block: it serves any later bitmap up to its size.
    if (GKeptBlock && GKeptSize >= capacity) {
        std::free(block);
        return;
    }
    std::free(GKeptBlock);
    GKeptBlock = block;
    GKeptSize = capacity;
}

} // namespace

TJPEGBitmap::TJPEGBitmap(int bitsPerPixel) : FBitsPerPixel(bitsPerPixel) {}

TJPEGBitmap::TJPEGBitmap(const TJPEGBitmap& other)
    : Palette(other.Palette), FBitsPerPixel(other.FBitsPerPixel)
{
    Resize(other.FWidth, other.FHeight, false);
    if (FBits) std::memcpy(FBits, other.FBits, FRowBytes * static_cast<std::size_t>(FHeight));
}

TJPEGBitmap& TJPEGBitmap::operator=(const TJPEGBitmap& other)
{
    if (this != &other) {
        TJPEGBitmap copy(other);
        Release();
        Palette = std::move(copy.Palette);
        FWidth = copy.FWidth;
        FHeight = copy.FHeight;
        FBitsPerPixel = copy.FBitsPerPixel;
        FRowBytes = copy.FRowBytes;
        FBits = std::exchange(copy.FBits, nullptr);
        FCapacity = std::exchange(copy.FCapacity, 0);
    }
    return *this;
}

TJPEGBitmap::~TJPEGBitmap()
{
    Release();
}

void TJPEGBitmap::Release()
{
    if (FBits) GiveBlock(FBits, FCapacity);
    FBits = nullptr;
    FCapacity = 0;
}

std::size_t TJPEGBitmap::RowBytesFor(int width, int bitsPerPixel)
{
    const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel);
    return (bits + 31) / 32 * 4;
}

void TJPEGBitmap::Resize(int width, int height, bool clearRows)
{
    Release();
    FWidth = FHeight = 0;
    FRowBytes = 0;
    if (width <= 0 || height <= 0) return;
    const std::size_t rowBytes = RowBytesFor(width, FBitsPerPixel);
    const std::size_t size = rowBytes * static_cast<std::size_t>(height);
    FBits = TakeBlock(size, FCapacity);
    FWidth = width;
    FHeight = height;
    FRowBytes = rowBytes;
    if (clearRows) {
        std::memset(FBits, 0, size);
        return;
    }
    const std::size_t used =
        (static_cast<std::size_t>(width) * static_cast<std::size_t>(FBitsPerPixel) + 7) / 8;
    if (used < rowBytes)
        for (int y = 0; y < height; ++y)
            std::memset(FBits + static_cast<std::size_t>(y) * rowBytes + used, 0, rowBytes - used);
}

void TJPEGBitmap::ClearRows(int first, int last)
{
    if (first < 0) first = 0;
    if (last >= FHeight) last = FHeight - 1;
    for (int y = first; y <= last; ++y)
        std::memset(ScanLine(y), 0, FRowBytes);
}

} // namespace quorvane
