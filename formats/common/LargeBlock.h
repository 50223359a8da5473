// Memory for decoded pixels and read file bytes, megabytes at a time. Such a
// block is asked of the kernel in huge pages where it offers them on request
// (Linux's transparent huge pages in "madvise" mode): first touching 48 MB in
// 4 KiB pages costs some twelve thousand page faults, in 2 MiB pages a few
// dozen. The advice is given before the first touch and changes nothing but
// speed; where it is not offered it does nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quorvane {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Asks for huge pages over the whole 2 MiB pages that lie inside
// [block, block + size); blocks under two of them are left as they are.
inline void AdviseHugePages(void* block, std::size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (block == nullptr || size < 2 * kHugePageBytes) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + kHugePageBytes - 1) & ~std::uintptr_t{kHugePageBytes - 1};
    const std::uintptr_t last = (begin + size) & ~std::uintptr_t{kHugePageBytes - 1};
    if (last > first) (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)block;
    (void)size;
#endif
}

// size bytes, all zero, whose pages were advised before they were touched.
// The caller bounds size beforehand; std::bad_alloc as for any vector.
inline std::vector<std::uint8_t> LargeZeroedBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size);
    AdviseHugePages(bytes.data(), size);
    bytes.resize(size);
    return bytes;
}

} // namespace quorvane
