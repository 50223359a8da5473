// Groups from neighbour pairs: the largest picture not yet taken leads a
// group of the pictures not yet taken within the tolerance of it (and of
// its outline), so no group chains through a line of near neighbours.
#include "SimilarGroups.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quorvane {

bool LargerPicture(const TSimilarItem& a, const TSimilarItem& b)
{
    if (a.Pixels != b.Pixels) return a.Pixels > b.Pixels;
    return a.Size > b.Size;
}

namespace {

using TPairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Items with equal hashes share one entry, so a thousand copies of one
// picture cost one probe, not a thousand.
struct TDistinctHashes {
    std::vector<std::uint64_t> Hashes;
    std::vector<std::uint32_t> Start;   // items of distinct hash k: Members[Start[k]..Start[k+1])
    std::vector<std::uint32_t> Members; // item indexes, by hash then index
};

// (hash, item) pairs by hash, equal hashes in item order: one counting
// sort by the top 16 bits, then each (small) bucket sorted in place. One
// array, written once: fresh memory is dear on some systems.
std::vector<std::pair<std::uint64_t, std::uint32_t>> SortedHashes(const std::vector<TSimilarItem>& items)
{
    std::vector<std::uint32_t> offsets(0x10001, 0);
    for (const TSimilarItem& item : items)
        ++offsets[(item.Hash.Hash >> 48) + 1];
    std::partial_sum(offsets.begin(), offsets.end(), offsets.begin());
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys(items.size());
    std::vector<std::uint32_t> fill(offsets.begin(), offsets.end() - 1);
    for (std::uint32_t i = 0; i < items.size(); ++i)
        keys[fill[items[i].Hash.Hash >> 48]++] = {items[i].Hash.Hash, i};
    for (std::size_t b = 0; b + 1 < offsets.size(); ++b)
        std::sort(keys.begin() + offsets[b], keys.begin() + offsets[b + 1]);
    return keys;
}

TDistinctHashes DistinctHashes(const std::vector<TSimilarItem>& items)
{
    const auto keys = SortedHashes(items);
    TDistinctHashes d;
    d.Hashes.reserve(items.size());
    d.Start.reserve(items.size() + 1);
    d.Members.resize(items.size());
    for (std::uint32_t pos = 0; pos < keys.size(); ++pos) {
        if (d.Hashes.empty() || d.Hashes.back() != keys[pos].first) {
            d.Hashes.push_back(keys[pos].first);
            d.Start.push_back(pos);
        }
        d.Members[pos] = keys[pos].second;
    }
    d.Start.push_back(static_cast<std::uint32_t>(items.size()));
    return d;
}

// Both directions of each pair in one array: the neighbours of distinct
// hash k are Neighbours[Start[k]..Start[k + 1]).
struct TAdjacency {
    std::vector<std::uint32_t> Start, Neighbours;
    TAdjacency(std::size_t count, const TPairs& pairs) : Start(count + 1, 0), Neighbours(2 * pairs.size())
    {
        for (const auto& [a, b] : pairs) {
            ++Start[a + 1];
            ++Start[b + 1];
        }
        std::partial_sum(Start.begin(), Start.end(), Start.begin());
        std::vector<std::uint32_t> fill(Start.begin(), Start.end() - 1);
        for (const auto& [a, b] : pairs) {
            Neighbours[fill[a]++] = b;
            Neighbours[fill[b]++] = a;
        }
    }
};

// True when item a comes before item b in a group: the larger picture, or
// of two as large the one listed first.
bool Before(const std::vector<TSimilarItem>& items, std::uint32_t a, std::uint32_t b)
{
    if (items[a].Pixels != items[b].Pixels || items[a].Size != items[b].Size)
        return LargerPicture(items[a], items[b]);
    return a < b;
}

// The items that may be in a group (their hash is shared or has neighbours)
// with their distinct hash, from the largest picture down; the others can
// only stand alone.
std::vector<std::pair<std::uint32_t, std::uint32_t>>
LeadersByRank(const std::vector<TSimilarItem>& items, const TDistinctHashes& d, const TAdjacency& adjacent)
{
    struct TKey {
        std::uint64_t Pixels, Size;
        std::uint32_t Item, Hash;
    };
    std::vector<TKey> keys;
    for (std::uint32_t k = 0; k + 1 < d.Start.size(); ++k)
        if (d.Start[k + 1] - d.Start[k] > 1 || adjacent.Start[k + 1] > adjacent.Start[k])
            for (std::uint32_t pos = d.Start[k]; pos < d.Start[k + 1]; ++pos) {
                const TSimilarItem& item = items[d.Members[pos]];
                keys.push_back({item.Pixels, item.Size, d.Members[pos], k});
            }
    std::sort(keys.begin(), keys.end(), [](const TKey& a, const TKey& b) {
        return a.Pixels != b.Pixels ? a.Pixels > b.Pixels
               : a.Size != b.Size   ? a.Size > b.Size
                                    : a.Item < b.Item;
    });
    std::vector<std::pair<std::uint32_t, std::uint32_t>> order(keys.size());
    for (std::size_t r = 0; r < keys.size(); ++r)
        order[r] = {keys[r].Item, keys[r].Hash};
    return order;
}

// A picture with (almost) no structure hashes to (nearly) no bits: its mean
// brightness is all that tells it apart, so that must agree closely.
int FlatTolerance(const TPictureHash& hash, int meanTolerance)
{
    constexpr int kStructureBits = 8, kFlatMeanTolerance = 4;
    return __builtin_popcountll(hash.Hash) < kStructureBits ? std::min(meanTolerance, kFlatMeanTolerance)
                                                            : meanTolerance;
}

} // namespace

std::vector<std::vector<std::uint32_t>> GroupSimilar(const std::vector<TSimilarItem>& items, int tolerance,
                                                     int meanTolerance, unsigned threads)
{
    const TDistinctHashes distinct = DistinctHashes(items);
    const TAdjacency adjacent(distinct.Hashes.size(), NeighbourPairs(distinct.Hashes, tolerance, threads));
    std::vector<std::uint8_t> taken(items.size(), 0);
    std::vector<std::vector<std::uint32_t>> groups;
    std::vector<std::uint32_t> group;
    auto takeFrom = [&](std::uint32_t leader, std::uint32_t k) {
        const int means = FlatTolerance(items[leader].Hash, meanTolerance);
        for (std::uint32_t pos = distinct.Start[k]; pos < distinct.Start[k + 1]; ++pos) {
            const std::uint32_t j = distinct.Members[pos];
            if (taken[j] || std::abs(items[j].Hash.Mean - items[leader].Hash.Mean) > means ||
                ShapeDistance(items[j].Shape, items[leader].Shape) > kShapeTolerance)
                continue;
            taken[j] = 1;
            group.push_back(j);
        }
    };
    // The largest picture not yet taken leads a group of every picture not
    // yet taken near it; so a member is never merely near another member.
    for (const auto& [leader, k] : LeadersByRank(items, distinct, adjacent)) {
        if (taken[leader]) continue;
        group.clear();
        takeFrom(leader, k);
        for (std::uint32_t pos = adjacent.Start[k]; pos < adjacent.Start[k + 1]; ++pos)
            takeFrom(leader, adjacent.Neighbours[pos]);
        if (group.size() < 2) continue;
        std::sort(group.begin(), group.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return Before(items, a, b); });
        groups.push_back(group);
    }
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return groups;
}

} // namespace quorvane
