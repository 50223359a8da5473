// The cost rule every picture decoder keeps, whatever the bytes: a file of
// under 64 KiB is decoded or refused within about 1 s of CPU and 512 MiB of
// memory; a larger file takes time and memory that grow at most linearly
// with its size, and never beyond each format's fixed caps. A decoder keeps
// it by refusing claims its data cannot back and by charging its work
// against a budget that is proportional to the file's size.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvane::decode_cost {

// Files below this size get the fixed allowance of each rule below.
inline constexpr std::uint64_t kSmallFileBytes = 64 * 1024;

// A picture whose claimed pixels exceed both the free allowance and what its
// bytes can encode is damaged. GIF's LZW carries at most about 2,730 pixels
// a byte, so 4,096 leaves a wide margin for every real encoder.
struct TClaimRule {
    std::uint64_t FreePixels;    // any picture may claim this many
    std::uint64_t PixelsPerByte; // beyond them, this many per byte of data
};

inline constexpr bool ClaimIsBacked(const TClaimRule& rule, std::uint64_t pixels, std::uint64_t dataBytes)
{
    return pixels <= rule.FreePixels || pixels / rule.PixelsPerByte <= dataBytes;
}

// An allowance that grows linearly with the file: base + perByte x size,
// capped (the arithmetic saturates instead of wrapping).
inline constexpr std::uint64_t LinearAllowance(std::uint64_t base, std::uint64_t perByte, std::uint64_t bytes,
                                               std::uint64_t cap)
{
    if (base >= cap) return cap;
    if (perByte != 0 && bytes > (cap - base) / perByte) return cap;
    return base + perByte * bytes;
}

} // namespace quorvane::decode_cost
