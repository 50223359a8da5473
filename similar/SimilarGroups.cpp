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
// array, written once: fresh memory is dear on some systems. hashOf(i) is
// the hash of item i.
template <class THashOf>
std::vector<std::pair<std::uint64_t, std::uint32_t>> SortedHashes(std::uint32_t count, THashOf hashOf)
{
    std::vector<std::uint32_t> offsets(0x10001, 0);
    for (std::uint32_t i = 0; i < count; ++i)
        ++offsets[(hashOf(i) >> 48) + 1];
    std::partial_sum(offsets.begin(), offsets.end(), offsets.begin());
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys(count);
    std::vector<std::uint32_t> fill(offsets.begin(), offsets.end() - 1);
    for (std::uint32_t i = 0; i < count; ++i)
        keys[fill[hashOf(i) >> 48]++] = {hashOf(i), i};
    for (std::size_t b = 0; b + 1 < offsets.size(); ++b)
        std::sort(keys.begin() + offsets[b], keys.begin() + offsets[b + 1]);
    return keys;
}

template <class THashOf> TDistinctHashes DistinctHashes(std::uint32_t count, THashOf hashOf)
{
    const auto keys = SortedHashes(count, hashOf);
    TDistinctHashes d;
    d.Hashes.reserve(count);
    d.Start.reserve(count + std::size_t{1});
    d.Members.resize(count);
    for (std::uint32_t pos = 0; pos < keys.size(); ++pos) {
        if (d.Hashes.empty() || d.Hashes.back() != keys[pos].first) {
            d.Hashes.push_back(keys[pos].first);
            d.Start.push_back(pos);
        }
        d.Members[pos] = keys[pos].second;
    }
    d.Start.push_back(count);
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
    const TDistinctHashes distinct = DistinctHashes(static_cast<std::uint32_t>(items.size()),
                                                    [&](std::uint32_t i) { return items[i].Hash.Hash; });
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

namespace {

// The views of each picture: views of picture p are ViewsOf[Start[p]..Start[p + 1]).
struct TViewsByPicture {
    std::vector<std::uint32_t> Start, ViewsOf;
    TViewsByPicture(std::size_t pictures, const std::vector<TSimilarView>& views)
        : Start(pictures + 1, 0), ViewsOf(views.size())
    {
        for (const TSimilarView& view : views)
            ++Start[view.Picture + 1];
        std::partial_sum(Start.begin(), Start.end(), Start.begin());
        std::vector<std::uint32_t> fill(Start.begin(), Start.end() - 1);
        for (std::uint32_t v = 0; v < views.size(); ++v)
            ViewsOf[fill[views[v].Picture]++] = v;
    }
};

// True when view w may stand for its picture in the group that probe leads:
// never two centres (a crop of a crop is another crop), outlines and mean
// brightness as GroupSimilar asks.
bool ViewJoins(const TSimilarView& probe, const TSimilarView& w, int meanTolerance)
{
    return !(probe.Centre && w.Centre) &&
           std::abs(w.Hash.Mean - probe.Hash.Mean) <= FlatTolerance(probe.Hash, meanTolerance) &&
           ShapeDistance(w.Shape, probe.Shape) <= kShapeTolerance;
}

// The views by distinct hash with their neighbours, and each picture's views.
struct TViewIndex {
    const std::vector<TSimilarView>& Views;
    TDistinctHashes Distinct;
    TAdjacency Adjacent;
    std::vector<std::uint32_t> HashOf; // view -> its distinct hash
    TViewsByPicture ByPicture;

    TViewIndex(const std::vector<TSimilarView>& views, std::size_t pictures, int tolerance, unsigned threads)
        : Views(views), Distinct(DistinctHashes(static_cast<std::uint32_t>(views.size()),
                                                [&](std::uint32_t v) { return views[v].Hash.Hash; })),
          Adjacent(Distinct.Hashes.size(), NeighbourPairs(Distinct.Hashes, tolerance, threads)),
          HashOf(views.size()), ByPicture(pictures, views)
    {
        for (std::uint32_t k = 0; k + 1 < Distinct.Start.size(); ++k)
            for (std::uint32_t pos = Distinct.Start[k]; pos < Distinct.Start[k + 1]; ++pos)
                HashOf[Distinct.Members[pos]] = k;
    }

    // Calls visit(w) for every view w whose hash is view v's or near it.
    template <class TVisit> void ForNear(std::uint32_t v, TVisit visit) const
    {
        const std::uint32_t k = HashOf[v];
        auto bucket = [&](std::uint32_t hash) {
            for (std::uint32_t pos = Distinct.Start[hash]; pos < Distinct.Start[hash + 1]; ++pos)
                visit(Views[Distinct.Members[pos]]);
        };
        bucket(k);
        for (std::uint32_t pos = Adjacent.Start[k]; pos < Adjacent.Start[k + 1]; ++pos)
            bucket(Adjacent.Neighbours[pos]);
    }
};

// Moves each member to the nearest leader of a group that it may join and
// that comes before it (so the leaders stay first), when that is nearer
// than its own; of equally near ones the earliest group. groupOf gives each
// picture's group (-1 for none).
void MoveToNearestLeaders(const std::vector<TSimilarItem>& items, const TViewIndex& index,
                          std::vector<std::vector<std::uint32_t>>& groups, std::vector<std::int32_t>& groupOf,
                          int meanTolerance)
{
    std::vector<std::pair<std::uint32_t, std::int32_t>> moves; // picture, its new group
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (std::size_t m = 1; m < groups[g].size(); ++m) {
            const std::uint32_t member = groups[g][m];
            int own = kMaxTolerance + 1, other = kMaxTolerance + 1;
            std::int32_t nearest = -1;
            for (std::uint32_t at = index.ByPicture.Start[member]; at < index.ByPicture.Start[member + 1];
                 ++at) {
                const std::uint32_t v = index.ByPicture.ViewsOf[at];
                index.ForNear(v, [&](const TSimilarView& w) {
                    const std::int32_t led = groupOf[w.Picture];
                    if (!w.Probe || led < 0 || groups[std::size_t(led)].front() != w.Picture ||
                        !Before(items, w.Picture, member) || !ViewJoins(w, index.Views[v], meanTolerance))
                        return;
                    const int distance = HammingDistance(w.Hash.Hash, index.Views[v].Hash.Hash);
                    if (std::size_t(led) == g)
                        own = std::min(own, distance);
                    else if (distance < other || (distance == other && led < nearest))
                        other = distance, nearest = led;
                });
            }
            if (other < own) moves.emplace_back(member, nearest);
        }
    for (const auto& [picture, to] : moves) {
        auto& from = groups[std::size_t(groupOf[picture])];
        from.erase(std::find(from.begin(), from.end(), picture));
        groups[std::size_t(to)].push_back(picture);
        groupOf[picture] = to;
    }
}

} // namespace

std::vector<std::vector<std::uint32_t>> GroupSimilarViews(const std::vector<TSimilarItem>& items,
                                                          const std::vector<TSimilarView>& views,
                                                          int tolerance, int meanTolerance, unsigned threads)
{
    const TViewIndex index(views, items.size(), tolerance, threads);
    std::vector<std::uint32_t> order(items.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return LargerPicture(items[a], items[b]); });
    std::vector<std::int32_t> groupOf(items.size(), -1);
    std::vector<std::uint8_t> taken(items.size(), 0);
    std::vector<std::vector<std::uint32_t>> groups;
    std::vector<std::uint32_t> group;
    // As GroupSimilar: the largest picture not yet taken leads, and takes
    // every picture one of whose views is near one of its probes.
    for (std::uint32_t leader : order) {
        if (taken[leader]) continue;
        taken[leader] = 1;
        group.assign(1, leader);
        for (std::uint32_t at = index.ByPicture.Start[leader]; at < index.ByPicture.Start[leader + 1]; ++at) {
            const TSimilarView& probe = views[index.ByPicture.ViewsOf[at]];
            if (!probe.Probe) continue;
            index.ForNear(index.ByPicture.ViewsOf[at], [&](const TSimilarView& w) {
                if (taken[w.Picture] || !ViewJoins(probe, w, meanTolerance)) return;
                taken[w.Picture] = 1;
                group.push_back(w.Picture);
            });
        }
        if (group.size() < 2) continue;
        for (std::uint32_t member : group)
            groupOf[member] = static_cast<std::int32_t>(groups.size());
        groups.push_back(group);
    }
    // A picture near two leaders went with the larger; it belongs with the
    // nearer (a crop near a turn of another picture, and nearer its own).
    MoveToNearestLeaders(items, index, groups, groupOf, meanTolerance);
    std::erase_if(groups, [](const auto& g) { return g.size() < 2; });
    for (auto& g : groups)
        std::sort(g.begin(), g.end(), [&](std::uint32_t a, std::uint32_t b) { return Before(items, a, b); });
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return groups;
}

} // namespace quorvane
