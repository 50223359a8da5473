// Times the grouping of synthetic hashes: n items, a tenth of them copies of
// another item with up to tolerance / 2 bits flipped, the rest random. Also
// times the neighbour search alone (with the comparisons of LEVEL: 1
// portable, 2 popcnt, 3 AVX2, 4 AVX-512; 0 the fastest) and prints the
// chunks it chose.
// usage: similar_group_bench [N] [TOLERANCE] [THREADS] [LEVEL]
#include "SimilarGroups.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

int main(int argc, char** argv)
{
    const std::size_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const int tolerance = argc > 2 ? std::atoi(argv[2]) : 8;
    const unsigned threads = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 0;
    const auto level = static_cast<quorvane::TCompareLevel>(argc > 4 ? std::atoi(argv[4]) : 0);
    std::mt19937_64 rng(42);
    std::vector<quorvane::TSimilarItem> items(n);
    for (std::size_t i = 0; i < n; ++i) {
        items[i].Pixels = rng() % 10000000;
        items[i].Size = rng() % 5000000;
        items[i].Hash.Mean = static_cast<std::uint8_t>(rng());
        if (i % 10 == 9) {
            items[i].Hash = items[rng() % i].Hash;
            for (int flips = static_cast<int>(rng() % (tolerance / 2 + 1)); flips > 0; --flips)
                items[i].Hash.Hash ^= std::uint64_t{1} << (rng() % 64);
        } else {
            items[i].Hash.Hash = rng();
        }
    }
    std::vector<std::uint64_t> hashes;
    for (const auto& item : items)
        hashes.push_back(item.Hash.Hash);
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    const std::size_t pairs = quorvane::NeighbourPairs(hashes, tolerance, threads, level).size();
    std::printf("neighbour pairs of %zu distinct hashes (%s): %zu, %.3f s, %.3f s CPU\n", hashes.size(),
                quorvane::NeighbourPlanText(hashes.size(), tolerance).c_str(), pairs,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                double(std::clock() - cpu) / CLOCKS_PER_SEC);
    start = std::chrono::steady_clock::now();
    cpu = std::clock();
    const auto groups = quorvane::GroupSimilar(items, tolerance, 255, threads);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::size_t members = 0;
    for (const auto& g : groups)
        members += g.size();
    std::printf("%zu hashes, tolerance %d: %zu groups, %zu members, %.3f s, %.3f s CPU\n", n, tolerance,
                groups.size(), members, seconds, cpuSeconds);
    return 0;
}
