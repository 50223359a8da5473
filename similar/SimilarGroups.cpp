// Multi-index hashing: with the 64 bits cut into m chunks, two hashes within
// t bits agree within t / m bits on some chunk. Each chunk gets a table of
// the hashes sorted by that chunk; each hash probes its chunk's neighbours.
// A pair is kept only from the first chunk that finds it, so it comes once.
#include "SimilarGroups.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <thread>

namespace quorvane {

namespace {

struct TChunk {
    int Start = 0;
    int Bits = 0;
    std::uint64_t Of(std::uint64_t hash) const { return (hash >> Start) & ((std::uint64_t{1} << Bits) - 1); }
};

struct TPlan {
    std::vector<TChunk> Chunks;
    int Radius = 0; // the distance searched within one chunk
};

double Binomial(int n, int k)
{
    double r = 1;
    for (int i = 1; i <= k; ++i)
        r = r * (n - k + i) / i;
    return r;
}

// Picks the chunk count with the least estimated work: table set-up, probes
// (random reads) and candidates (sequential reads) for n hashes.
TPlan ChoosePlan(std::size_t n, int tolerance)
{
    TPlan best;
    double bestCost = 0;
    constexpr int kMaxBits = 22; // 4 M buckets per table at most
    for (int m = (64 + kMaxBits - 1) / kMaxBits; m <= 64; ++m) {
        const int bits = (64 + m - 1) / m;
        const int radius = tolerance / m;
        double probes = 0;
        for (int k = 0; k <= radius; ++k)
            probes += Binomial(bits, k);
        const double perBucket = static_cast<double>(n) / std::ldexp(1.0, bits);
        const double cost = m * (std::ldexp(1.0, bits) + n * probes * (1.0 + 0.3 * perBucket));
        if (best.Chunks.empty() || cost < bestCost) {
            bestCost = cost;
            best.Chunks.clear();
            best.Radius = radius;
            for (int c = 0, start = 0; c < m; ++c) {
                const int width = 64 * (c + 1) / m - 64 * c / m;
                best.Chunks.push_back({start, width});
                start += width;
            }
        }
        if (radius == 0 && perBucket >= 1) break; // more chunks only add work
    }
    return best;
}

// All masks of bits bits with at most radius bits set.
std::vector<std::uint64_t> ProbeMasks(int bits, int radius)
{
    std::vector<std::uint64_t> masks{0};
    std::vector<std::uint64_t> last{0};
    for (int k = 1; k <= radius; ++k) {
        std::vector<std::uint64_t> next;
        for (std::uint64_t m : last) {
            const int top = m == 0 ? -1 : 63 - __builtin_clzll(m);
            for (int b = top + 1; b < bits; ++b)
                next.push_back(m | (std::uint64_t{1} << b));
        }
        masks.insert(masks.end(), next.begin(), next.end());
        last = std::move(next);
    }
    return masks;
}

struct TEntry {
    std::uint64_t Hash;
    std::uint32_t Id;
};

using TPairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

class TChunkTable {
  public:
    TChunkTable(const std::vector<std::uint64_t>& hashes, const TChunk& chunk) : FChunk(chunk)
    {
        FOffsets.assign((std::size_t{1} << chunk.Bits) + 1, 0);
        for (std::uint64_t h : hashes)
            ++FOffsets[chunk.Of(h) + 1];
        std::partial_sum(FOffsets.begin(), FOffsets.end(), FOffsets.begin());
        std::vector<std::uint32_t> fill(FOffsets.begin(), FOffsets.end() - 1);
        FEntries.resize(hashes.size());
        for (std::uint32_t id = 0; id < hashes.size(); ++id)
            FEntries[fill[chunk.Of(hashes[id])]++] = {hashes[id], id};
    }
    const std::vector<TEntry>& Entries() const { return FEntries; }

    std::size_t HighCount() const { return std::size_t{1} << (FChunk.Bits - LowBits()); }

    // Appends the pairs found by the entries whose chunk's high half lies in
    // [fromHigh, toHigh). The probes run block by block: the entries of one
    // high value probe one other high value's block at a time, so the
    // probes stay in the cache instead of jumping over the whole table.
    void Probe(std::size_t fromHigh, std::size_t toHigh, const TPlan& plan, std::size_t chunkIndex,
               int tolerance, const std::vector<std::uint64_t>& masks, TPairs& out) const
    {
        const int low = LowBits();
        const std::uint64_t lowMask = (std::uint64_t{1} << low) - 1;
        // Masks by their high part: each high part with the low parts that go with it.
        std::vector<std::pair<std::uint64_t, std::vector<std::uint64_t>>> byHigh;
        for (std::uint64_t m : masks) {
            auto it = std::find_if(byHigh.begin(), byHigh.end(),
                                   [&](const auto& e) { return e.first == (m >> low); });
            if (it == byHigh.end()) it = byHigh.insert(byHigh.end(), {m >> low, {}});
            it->second.push_back(m & lowMask);
        }
        for (std::size_t high = fromHigh; high < toHigh; ++high) {
            const std::uint32_t first = FOffsets[high << low], last = FOffsets[(high + 1) << low];
            for (const auto& [highMask, lowMasks] : byHigh) {
                const std::uint64_t base = (high ^ highMask) << low;
                for (std::uint32_t pos = first; pos < last; ++pos) {
                    const TEntry& self = FEntries[pos];
                    const std::uint64_t key = FChunk.Of(self.Hash) & lowMask;
                    for (std::uint64_t m : lowMasks) {
                        const std::uint64_t probe = base | (key ^ m);
                        for (std::uint32_t q = FOffsets[probe], end = FOffsets[probe + 1]; q < end; ++q) {
                            const TEntry& other = FEntries[q];
                            if (other.Id <= self.Id || HammingDistance(self.Hash, other.Hash) > tolerance)
                                continue;
                            if (FoundEarlier(self.Hash ^ other.Hash, plan, chunkIndex)) continue;
                            out.emplace_back(self.Id, other.Id);
                        }
                    }
                }
            }
        }
    }

  private:
    int LowBits() const { return (FChunk.Bits + 1) / 2; }

    static bool FoundEarlier(std::uint64_t difference, const TPlan& plan, std::size_t chunkIndex)
    {
        for (std::size_t c = 0; c < chunkIndex; ++c)
            if (__builtin_popcountll(plan.Chunks[c].Of(difference)) <= plan.Radius) return true;
        return false;
    }

    TChunk FChunk;
    std::vector<std::uint32_t> FOffsets;
    std::vector<TEntry> FEntries;
};

unsigned ThreadCount(unsigned threads, std::size_t work)
{
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(1, work / 4096)));
}

} // namespace

TPairs NeighbourPairs(const std::vector<std::uint64_t>& hashes, int tolerance, unsigned threads)
{
    TPairs result;
    if (hashes.size() < 2 || tolerance < 0) return result;
    const TPlan plan = ChoosePlan(hashes.size(), tolerance);
    const unsigned workers = ThreadCount(threads, hashes.size());
    for (std::size_t c = 0; c < plan.Chunks.size(); ++c) {
        const TChunkTable table(hashes, plan.Chunks[c]);
        const std::vector<std::uint64_t> masks = ProbeMasks(plan.Chunks[c].Bits, plan.Radius);
        std::vector<TPairs> found(workers);
        std::vector<std::thread> pool;
        const std::size_t n = table.HighCount();
        for (unsigned w = 0; w < workers; ++w)
            pool.emplace_back([&, w] {
                table.Probe(n * w / workers, n * (w + 1) / workers, plan, c, tolerance, masks, found[w]);
            });
        for (std::thread& t : pool)
            t.join();
        for (const TPairs& part : found)
            result.insert(result.end(), part.begin(), part.end());
    }
    return result;
}

bool LargerPicture(const TSimilarItem& a, const TSimilarItem& b)
{
    if (a.Pixels != b.Pixels) return a.Pixels > b.Pixels;
    return a.Size > b.Size;
}

namespace {

// Items with equal hashes share one entry, so a thousand copies of one
// picture cost one probe, not a thousand.
struct TDistinctHashes {
    std::vector<std::uint64_t> Hashes;
    std::vector<std::uint32_t> Start;   // items of distinct hash k: Members[Start[k]..Start[k+1])
    std::vector<std::uint32_t> Members; // item indexes
    std::vector<std::uint32_t> OfItem;  // item index -> distinct hash
};

TDistinctHashes DistinctHashes(const std::vector<TSimilarItem>& items)
{
    TDistinctHashes d;
    d.Members.resize(items.size());
    std::iota(d.Members.begin(), d.Members.end(), 0u);
    std::sort(d.Members.begin(), d.Members.end(), [&](std::uint32_t a, std::uint32_t b) {
        return items[a].Hash.Hash != items[b].Hash.Hash ? items[a].Hash.Hash < items[b].Hash.Hash : a < b;
    });
    d.OfItem.resize(items.size());
    for (std::uint32_t pos = 0; pos < d.Members.size(); ++pos) {
        const std::uint64_t h = items[d.Members[pos]].Hash.Hash;
        if (d.Hashes.empty() || d.Hashes.back() != h) {
            d.Hashes.push_back(h);
            d.Start.push_back(pos);
        }
        d.OfItem[d.Members[pos]] = static_cast<std::uint32_t>(d.Hashes.size() - 1);
    }
    d.Start.push_back(static_cast<std::uint32_t>(d.Members.size()));
    return d;
}

// A picture with (almost) no structure hashes to (nearly) no bits: its mean
// brightness is all that tells it apart, so that must agree closely.
int FlatTolerance(const TPictureHash& hash, int meanTolerance)
{
    constexpr int kStructureBits = 8, kFlatMeanTolerance = 4;
    return __builtin_popcountll(hash.Hash) < kStructureBits ? std::min(meanTolerance, kFlatMeanTolerance)
                                                            : meanTolerance;
}

// Both directions of each pair, as lists per distinct hash.
std::vector<std::vector<std::uint32_t>> Adjacency(std::size_t count, const TPairs& pairs)
{
    std::vector<std::vector<std::uint32_t>> adjacent(count);
    for (const auto& [a, b] : pairs) {
        adjacent[a].push_back(b);
        adjacent[b].push_back(a);
    }
    return adjacent;
}

} // namespace

std::vector<std::vector<std::uint32_t>> GroupSimilar(const std::vector<TSimilarItem>& items, int tolerance,
                                                     int meanTolerance, unsigned threads)
{
    const TDistinctHashes distinct = DistinctHashes(items);
    const auto adjacent =
        Adjacency(distinct.Hashes.size(), NeighbourPairs(distinct.Hashes, tolerance, threads));
    std::vector<std::uint32_t> byRank(items.size());
    std::iota(byRank.begin(), byRank.end(), 0u);
    std::stable_sort(byRank.begin(), byRank.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return LargerPicture(items[a], items[b]); });
    std::vector<std::uint32_t> rank(items.size());
    for (std::uint32_t r = 0; r < byRank.size(); ++r)
        rank[byRank[r]] = r;

    std::vector<bool> taken(items.size(), false);
    std::vector<std::vector<std::uint32_t>> groups;
    auto takeFrom = [&](std::uint32_t leader, std::uint32_t k, std::vector<std::uint32_t>& group) {
        const int means = FlatTolerance(items[leader].Hash, meanTolerance);
        for (std::uint32_t pos = distinct.Start[k]; pos < distinct.Start[k + 1]; ++pos) {
            const std::uint32_t j = distinct.Members[pos];
            if (taken[j] || std::abs(items[j].Hash.Mean - items[leader].Hash.Mean) > means) continue;
            taken[j] = true;
            group.push_back(j);
        }
    };
    // The largest picture not yet taken leads a group of every picture not
    // yet taken near it; so a member is never merely near another member.
    for (std::uint32_t leader : byRank) {
        if (taken[leader]) continue;
        std::vector<std::uint32_t> group;
        const std::uint32_t k = distinct.OfItem[leader];
        takeFrom(leader, k, group);
        for (std::uint32_t other : adjacent[k])
            takeFrom(leader, other, group);
        if (group.size() < 2) continue;
        std::sort(group.begin(), group.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return rank[a] < rank[b]; });
        groups.push_back(std::move(group));
    }
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return groups;
}

} // namespace quorvane
