// Groups from neighbour pairs: the largest picture not yet taken leads a
// group of the pictures not yet taken within the tolerance of it, so no
// group chains through a line of near neighbours.
#include "SimilarGroups.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <thread>

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
    std::vector<std::uint32_t> OfItem;  // item index -> distinct hash
};

TDistinctHashes DistinctHashes(const std::vector<TSimilarItem>& items)
{
    struct TKey {
        std::uint64_t Hash;
        std::uint32_t Item;
        bool operator<(const TKey& o) const { return Hash != o.Hash ? Hash < o.Hash : Item < o.Item; }
    };
    std::vector<TKey> keys(items.size());
    for (std::uint32_t i = 0; i < items.size(); ++i)
        keys[i] = {items[i].Hash.Hash, i};
    std::sort(keys.begin(), keys.end());
    TDistinctHashes d;
    d.Members.resize(items.size());
    d.OfItem.resize(items.size());
    for (std::uint32_t pos = 0; pos < keys.size(); ++pos) {
        if (d.Hashes.empty() || d.Hashes.back() != keys[pos].Hash) {
            d.Hashes.push_back(keys[pos].Hash);
            d.Start.push_back(pos);
        }
        d.Members[pos] = keys[pos].Item;
        d.OfItem[keys[pos].Item] = static_cast<std::uint32_t>(d.Hashes.size() - 1);
    }
    d.Start.push_back(static_cast<std::uint32_t>(items.size()));
    return d;
}

// Item indexes from the largest picture down, equal ones in index order.
std::vector<std::uint32_t> ByRank(const std::vector<TSimilarItem>& items)
{
    struct TKey {
        std::uint64_t Pixels, Size;
        std::uint32_t Item;
    };
    std::vector<TKey> keys(items.size());
    for (std::uint32_t i = 0; i < items.size(); ++i)
        keys[i] = {items[i].Pixels, items[i].Size, i};
    std::sort(keys.begin(), keys.end(), [](const TKey& a, const TKey& b) {
        return a.Pixels != b.Pixels ? a.Pixels > b.Pixels
               : a.Size != b.Size   ? a.Size > b.Size
                                    : a.Item < b.Item;
    });
    std::vector<std::uint32_t> order(items.size());
    for (std::uint32_t r = 0; r < keys.size(); ++r)
        order[r] = keys[r].Item;
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

} // namespace

std::vector<std::vector<std::uint32_t>> GroupSimilar(const std::vector<TSimilarItem>& items, int tolerance,
                                                     int meanTolerance, unsigned threads)
{
    std::vector<std::uint32_t> byRank;
    std::thread ranking([&] { byRank = ByRank(items); });
    const TDistinctHashes distinct = DistinctHashes(items);
    const TAdjacency adjacent(distinct.Hashes.size(), NeighbourPairs(distinct.Hashes, tolerance, threads));
    ranking.join();
    std::vector<std::uint32_t> rank(items.size());
    for (std::uint32_t r = 0; r < byRank.size(); ++r)
        rank[byRank[r]] = r;

    std::vector<std::uint8_t> taken(items.size(), 0);
    std::vector<std::vector<std::uint32_t>> groups;
    std::vector<std::uint32_t> group;
    auto takeFrom = [&](std::uint32_t leader, std::uint32_t k) {
        const int means = FlatTolerance(items[leader].Hash, meanTolerance);
        for (std::uint32_t pos = distinct.Start[k]; pos < distinct.Start[k + 1]; ++pos) {
            const std::uint32_t j = distinct.Members[pos];
            if (taken[j] || std::abs(items[j].Hash.Mean - items[leader].Hash.Mean) > means) continue;
            taken[j] = 1;
            group.push_back(j);
        }
    };
    // The largest picture not yet taken leads a group of every picture not
    // yet taken near it; so a member is never merely near another member.
    for (std::uint32_t leader : byRank) {
        if (taken[leader]) continue;
        group.clear();
        const std::uint32_t k = distinct.OfItem[leader];
        takeFrom(leader, k);
        for (std::uint32_t pos = adjacent.Start[k]; pos < adjacent.Start[k + 1]; ++pos)
            takeFrom(leader, adjacent.Neighbours[pos]);
        if (group.size() < 2) continue;
        std::sort(group.begin(), group.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return rank[a] < rank[b]; });
        groups.push_back(group);
    }
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return groups;
}

} // namespace quorvane
