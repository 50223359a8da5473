// Neighbour search over 64-bit hashes by multi-index hashing. The hash is cut
// into chunks, each with its own threshold; the thresholds plus one sum to
// more than the tolerance, so two hashes within the tolerance agree within
// its threshold on at least one chunk. Each chunk's table joins every bucket
// with the buckets within the threshold, each pair of buckets once, and a
// pair of hashes is kept only from the first chunk whose threshold it meets.
#include "SimilarGroups.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>
#include <sstream>
#include <thread>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace quorvane {

namespace {

struct TChunk {
    int Start = 0;
    int Bits = 0;
    int Threshold = 0; // the chunk distance searched
    std::uint64_t Of(std::uint64_t hash) const { return (hash >> Start) & ((std::uint64_t{1} << Bits) - 1); }
};

using TPlan = std::vector<TChunk>;

double Binomial(int n, int k)
{
    double r = 1;
    for (int i = 1; i <= k; ++i)
        r = r * (n - k + i) / i;
    return r;
}

// The number of values within radius bits of one value of bits bits.
double Ball(int bits, int radius)
{
    double r = 0;
    for (int k = 0; k <= std::min(bits, radius); ++k)
        r += Binomial(bits, k);
    return r;
}

constexpr int kMaxChunkBits = 22;   // 4 M buckets per table at most
constexpr int kMaxThreshold = 6;    // beyond it the probes outgrow any table
constexpr int kBlockEntries = 1024; // hashes per block of buckets, about: a block fits in the cache

// Estimated nanoseconds for one chunk over n hashes: the table, the masks,
// the pairs of buckets visited (each once) and the pairs of hashes compared
// (measured with the vector comparisons: a pair of buckets costs about as
// much as ninety pairs of hashes).
double ChunkCost(double n, int bits, int threshold)
{
    const double buckets = std::ldexp(1.0, bits);
    const double occupied = buckets * -std::expm1(-n / buckets);
    const double ball = Ball(bits, threshold);
    return 1.0 * buckets + 6.0 * n + 2.0 * ball + 20.0 * occupied * ball / 2 +
           0.22 * n * (n / buckets) * ball / 2;
}

// The chunks of least estimated cost whose thresholds plus one sum to at
// least tolerance + 1, by dynamic programming over (bits used, sum reached).
TPlan ChoosePlan(std::size_t n, int tolerance)
{
    const int need = tolerance + 1;
    struct TState {
        double Cost = INFINITY;
        int Bits = 0, Threshold = 0, FromSum = 0; // the last chunk, and the sum before it
    };
    std::vector<std::vector<TState>> best(65, std::vector<TState>(need + 1));
    best[0][0].Cost = 0;
    for (int used = 0; used < 64; ++used)
        for (int sum = 0; sum < need; ++sum) {
            if (std::isinf(best[used][sum].Cost)) continue;
            for (int bits = 1; bits <= std::min(kMaxChunkBits, 64 - used); ++bits)
                for (int t = 0; t <= std::min(bits, kMaxThreshold); ++t) {
                    TState& next = best[used + bits][std::min(need, sum + t + 1)];
                    const double cost = best[used][sum].Cost + ChunkCost(static_cast<double>(n), bits, t);
                    if (cost < next.Cost) next = {cost, bits, t, sum};
                }
        }
    int used = 0;
    for (int u = 1; u <= 64; ++u)
        if (best[u][need].Cost < best[used][need].Cost) used = u;
    TPlan plan;
    for (int sum = need, start = 0; used > 0;) {
        const TState& s = best[used][sum];
        plan.push_back({start, s.Bits, s.Threshold});
        start += s.Bits;
        used -= s.Bits;
        sum = s.FromSum;
    }
    return plan;
}

// All values of bits bits with at most radius bits set, fewest bits first.
std::vector<std::uint32_t> Masks(int bits, int radius)
{
    std::vector<std::uint32_t> masks{0};
    for (std::size_t level = 0, k = 1; k <= static_cast<std::size_t>(radius); ++k) {
        const std::size_t end = masks.size();
        for (std::size_t i = level; i < end; ++i) {
            const std::uint32_t m = masks[i];
            for (int b = m == 0 ? 0 : 32 - __builtin_clz(m); b < bits; ++b)
                masks.push_back(m | (std::uint32_t{1} << b));
        }
        level = end;
    }
    return masks;
}

using TPairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// One chunk's hashes sorted by the chunk (a counting sort), cut in blocks of
// buckets by the chunk's high bits; a block holds about kBlockEntries hashes.
struct TChunkTable {
    TChunk Chunk;
    int LowBits = 0;
    std::vector<std::uint32_t> Offsets; // bucket v holds Hashes[Offsets[v]..Offsets[v + 1])
    std::vector<std::uint32_t> Fill;
    std::vector<std::uint64_t> Hashes;
    std::vector<std::uint32_t> Ids;
    std::vector<std::uint32_t> HighMasks, LowMasks; // within the threshold, fewest bits first
    std::vector<std::uint32_t> LowUpTo;             // LowUpTo[r]: low masks of at most r bits

    // Fills the table for chunk, reusing the memory of the previous chunk.
    void Build(const std::vector<std::uint64_t>& hashes, const TChunk& chunk)
    {
        Chunk = chunk;
        const double blocks = std::max(1.0, static_cast<double>(hashes.size()) / kBlockEntries);
        LowBits = chunk.Bits - std::clamp(static_cast<int>(std::lround(std::log2(blocks))), 0, chunk.Bits);
        Offsets.assign((std::size_t{1} << chunk.Bits) + 1, 0);
        for (std::uint64_t h : hashes)
            ++Offsets[chunk.Of(h) + 1];
        std::partial_sum(Offsets.begin(), Offsets.end(), Offsets.begin());
        Fill.assign(Offsets.begin(), Offsets.end() - 1);
        Hashes.resize(hashes.size());
        Ids.resize(hashes.size());
        for (std::uint32_t id = 0; id < hashes.size(); ++id) {
            const std::uint32_t pos = Fill[chunk.Of(hashes[id])]++;
            Hashes[pos] = hashes[id];
            Ids[pos] = id;
        }
        HighMasks = Masks(chunk.Bits - LowBits, chunk.Threshold);
        LowMasks = Masks(LowBits, chunk.Threshold);
        LowUpTo.clear();
        for (int r = 0; r <= chunk.Threshold; ++r)
            LowUpTo.push_back(static_cast<std::uint32_t>(
                std::count_if(LowMasks.begin(), LowMasks.end(),
                              [r](std::uint32_t m) { return __builtin_popcount(m) <= r; })));
    }
    std::size_t HighCount() const { return std::size_t{1} << (Chunk.Bits - LowBits); }
};

struct TJoin;

// Compares every hash of [a, aEnd) with every one of [b, bEnd), or with the
// later ones of its own bucket when same, and passes those within the
// tolerance to Keep. One version per instruction set.
using TJoinBuckets = void (*)(const TJoin& j, std::uint32_t a, std::uint32_t aEnd, std::uint32_t b,
                              std::uint32_t bEnd, bool same);

struct TJoin {
    const TPlan& Plan;
    std::size_t ChunkIndex;
    const TChunkTable& Table;
    int Tolerance;
    TJoinBuckets Buckets;
    TPairs& Out;
};

// Keeps a pair within the tolerance unless an earlier chunk found it.
[[gnu::noinline]] void Keep(const TJoin& j, std::uint32_t a, std::uint32_t b)
{
    const std::uint64_t difference = j.Table.Hashes[a] ^ j.Table.Hashes[b];
    for (std::size_t c = 0; c < j.ChunkIndex; ++c)
        if (__builtin_popcountll(j.Plan[c].Of(difference)) <= j.Plan[c].Threshold) return;
    const std::uint32_t x = j.Table.Ids[a], y = j.Table.Ids[b];
    j.Out.emplace_back(std::min(x, y), std::max(x, y));
}

[[gnu::always_inline]] inline void JoinBucketsScalar(const TJoin& j, std::uint32_t a, std::uint32_t aEnd,
                                                     std::uint32_t b, std::uint32_t bEnd, bool same)
{
    const std::uint64_t* hashes = j.Table.Hashes.data();
    for (; a < aEnd; ++a) {
        const std::uint64_t x = hashes[a];
        for (std::uint32_t q = same ? a + 1 : b; q < bEnd; ++q)
            if (__builtin_popcountll(x ^ hashes[q]) <= j.Tolerance) [[unlikely]]
                Keep(j, a, q);
    }
}

void JoinBucketsPortable(const TJoin& j, std::uint32_t a, std::uint32_t aEnd, std::uint32_t b,
                         std::uint32_t bEnd, bool same)
{
    JoinBucketsScalar(j, a, aEnd, b, bEnd, same);
}

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("popcnt")]] void JoinBucketsPopcnt(const TJoin& j, std::uint32_t a, std::uint32_t aEnd,
                                                 std::uint32_t b, std::uint32_t bEnd, bool same)
{
    JoinBucketsScalar(j, a, aEnd, b, bEnd, same);
}

// The vector versions hold up to a register's worth of bucket a and compare
// it with each hash of bucket b, gathering the verdicts without a branch; the
// rare bucket pair with a hash pair within the tolerance is gone over again
// one by one. Pairs within one bucket are few: they go one by one.
[[gnu::target("avx512f,avx512vpopcntdq")]] void JoinBucketsAvx512(const TJoin& j, std::uint32_t a,
                                                                  std::uint32_t aEnd, std::uint32_t b,
                                                                  std::uint32_t bEnd, bool same)
{
    if (same) return JoinBucketsScalar(j, a, aEnd, b, bEnd, same);
    const std::uint64_t* hashes = j.Table.Hashes.data();
    const __m512i limit = _mm512_set1_epi64(j.Tolerance);
    for (; a < aEnd; a += 8) {
        const __mmask8 live = aEnd - a >= 8 ? 0xFF : static_cast<__mmask8>((1u << (aEnd - a)) - 1);
        const __m512i x = _mm512_maskz_loadu_epi64(live, hashes + a);
        __mmask8 near = 0;
        for (std::uint32_t q = b; q < bEnd; ++q) {
            const __m512i bits = _mm512_popcnt_epi64(
                _mm512_xor_si512(x, _mm512_set1_epi64(static_cast<long long>(hashes[q]))));
            near |= _mm512_mask_cmple_epu64_mask(live, bits, limit);
        }
        if (near != 0) [[unlikely]]
            JoinBucketsScalar(j, a, std::min(a + 8, aEnd), b, bEnd, false);
    }
}

// Four lanes, counting bits by nibbles through a lookup table.
[[gnu::target("avx2")]] void JoinBucketsAvx2(const TJoin& j, std::uint32_t a, std::uint32_t aEnd,
                                             std::uint32_t b, std::uint32_t bEnd, bool same)
{
    if (same) return JoinBucketsScalar(j, a, aEnd, b, bEnd, same);
    const std::uint64_t* hashes = j.Table.Hashes.data();
    const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1, 2, 1, 2,
                                           2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i nibble = _mm256_set1_epi8(0x0F), above = _mm256_set1_epi64x(j.Tolerance + 1);
    for (; a < aEnd; a += 4) {
        const int left = static_cast<int>(std::min<std::uint32_t>(aEnd - a, 4));
        const __m256i live = _mm256_cmpgt_epi64(_mm256_set1_epi64x(left), _mm256_setr_epi64x(0, 1, 2, 3));
        const __m256i x = _mm256_maskload_epi64(reinterpret_cast<const long long*>(hashes + a), live);
        __m256i near = _mm256_setzero_si256();
        for (std::uint32_t q = b; q < bEnd; ++q) {
            const __m256i d = _mm256_xor_si256(x, _mm256_set1_epi64x(static_cast<long long>(hashes[q])));
            const __m256i bytes = _mm256_add_epi8(
                _mm256_shuffle_epi8(table, _mm256_and_si256(d, nibble)),
                _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(d, 4), nibble)));
            near = _mm256_or_si256(near,
                                   _mm256_cmpgt_epi64(above, _mm256_sad_epu8(bytes, _mm256_setzero_si256())));
        }
        if (!_mm256_testz_si256(near, live)) [[unlikely]]
            JoinBucketsScalar(j, a, a + static_cast<std::uint32_t>(left), b, bEnd, false);
    }
}
#endif

bool Supported(TCompareLevel level)
{
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    switch (level) {
    case TCompareLevel::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq");
    case TCompareLevel::Avx2:
        return __builtin_cpu_supports("avx2");
    case TCompareLevel::Popcnt:
        return __builtin_cpu_supports("popcnt");
    default:
        return true;
    }
#else
    return level == TCompareLevel::Portable || level == TCompareLevel::Fastest;
#endif
}

// The comparisons at level, or the fastest this processor runs.
TJoinBuckets BucketJoiner(TCompareLevel level)
{
    if (level == TCompareLevel::Fastest)
        for (TCompareLevel l : {TCompareLevel::Avx512, TCompareLevel::Avx2, TCompareLevel::Popcnt})
            if (Supported(l)) return BucketJoiner(l);
#if defined(__x86_64__) && defined(__GNUC__)
    if (level == TCompareLevel::Avx512) return JoinBucketsAvx512;
    if (level == TCompareLevel::Avx2) return JoinBucketsAvx2;
    if (level == TCompareLevel::Popcnt) return JoinBucketsPopcnt;
#endif
    return JoinBucketsPortable;
}

// Joins the buckets of block high with those of every block within the
// threshold, each pair of buckets once: block pairs from the lower block,
// bucket pairs within a block from the lower bucket.
void JoinBlock(const TJoin& j, std::uint32_t high)
{
    const TChunkTable& t = j.Table;
    const std::uint32_t lowCount = std::uint32_t{1} << t.LowBits;
    const std::uint32_t* a = &t.Offsets[std::size_t{high} << t.LowBits];
    for (std::uint32_t highMask : t.HighMasks) {
        const std::uint32_t other = high ^ highMask;
        if (other < high) continue;
        const std::uint32_t lows = t.LowUpTo[t.Chunk.Threshold - __builtin_popcount(highMask)];
        const std::uint32_t* b = &t.Offsets[std::size_t{other} << t.LowBits];
        for (std::uint32_t low = 0; low < lowCount; ++low) {
            if (a[low] == a[low + 1]) continue;
            for (std::uint32_t k = 0; k < lows; ++k) {
                const std::uint32_t otherLow = low ^ t.LowMasks[k];
                if (other == high && otherLow < low) continue;
                j.Buckets(j, a[low], a[low + 1], b[otherLow], b[otherLow + 1],
                          other == high && otherLow == low);
            }
        }
    }
}

unsigned ThreadCount(unsigned threads, std::size_t work)
{
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(1, work / 4096)));
}

// Runs task(i) for i in [0, count) on workers threads.
template <class F> void RunParallel(unsigned workers, std::size_t count, const F& task)
{
    std::atomic<std::size_t> next{0};
    auto work = [&](unsigned w) {
        for (std::size_t i; (i = next.fetch_add(1)) < count;)
            task(w, i);
    };
    std::vector<std::thread> pool;
    for (unsigned w = 1; w < workers; ++w)
        pool.emplace_back(work, w);
    work(0);
    for (std::thread& t : pool)
        t.join();
}

} // namespace

std::string NeighbourPlanText(std::size_t count, int tolerance)
{
    std::ostringstream text;
    for (const TChunk& c : ChoosePlan(count, tolerance))
        text << (c.Start == 0 ? "" : " ") << c.Bits << " bits within " << c.Threshold;
    return text.str();
}

std::vector<TCompareLevel> SupportedCompareLevels()
{
    std::vector<TCompareLevel> levels;
    for (TCompareLevel l :
         {TCompareLevel::Portable, TCompareLevel::Popcnt, TCompareLevel::Avx2, TCompareLevel::Avx512})
        if (Supported(l)) levels.push_back(l);
    return levels;
}

TPairs NeighbourPairs(const std::vector<std::uint64_t>& hashes, int tolerance, unsigned threads,
                      TCompareLevel level)
{
    TPairs result;
    if (hashes.size() < 2 || tolerance < 0) return result;
    tolerance = std::min(tolerance, 64); // beyond it every pair is within, and the plan stays finite
    const TPlan plan = ChoosePlan(hashes.size(), tolerance);
    const unsigned workers = ThreadCount(threads, hashes.size());
    std::vector<TPairs> found(workers);
    if (!Supported(level)) level = TCompareLevel::Fastest;
    const TJoinBuckets joiner = BucketJoiner(level);
    // One chunk at a time in one table, so the memory is taken once; the
    // workers take runs of kRun blocks in turn.
    constexpr std::size_t kRun = 16;
    TChunkTable table;
    for (std::size_t c = 0; c < plan.size(); ++c) {
        table.Build(hashes, plan[c]);
        const std::size_t blocks = table.HighCount();
        RunParallel(workers, (blocks + kRun - 1) / kRun, [&](unsigned w, std::size_t run) {
            const TJoin join{plan, c, table, tolerance, joiner, found[w]};
            for (std::size_t high = run * kRun; high < std::min(blocks, (run + 1) * kRun); ++high)
                JoinBlock(join, static_cast<std::uint32_t>(high));
        });
    }
    for (const TPairs& part : found)
        result.insert(result.end(), part.begin(), part.end());
    return result;
}

} // namespace quorvane
