// Grouping pictures by hash distance. Neighbours are found by multi-index
// hashing (the hash cut into chunks, one table per chunk; two hashes within
// the tolerance agree closely on at least one chunk), never by comparing all
// pairs. Groups do not chain: every member is within the tolerance of the
// group's first member, which is the largest picture of the group, and a
// transparent picture's outline agrees with the first member's.
#pragma once

#include "PerceptualHash.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorvane {

struct TSimilarItem {
    TPictureHash Hash;
    std::uint64_t Pixels = 0; // at full size
    std::uint64_t Size = 0;   // file size in bytes
    // The outline of a transparent picture, owned by the caller; nullptr for
    // an opaque one.
    const TShapeMask* Shape = nullptr;
};

// The cells of the 32 x 32 outline on which a picture may differ from its
// group's first (1.5 %, so no two members differ on more than 3 %): copies of
// one icon at other sizes differ on a few cells along the edges; a different
// icon of one colour, whose grey hash may still agree, on dozens.
inline constexpr int kShapeTolerance = 15;

// The largest tolerance the search accepts (half the hash's bits: beyond it
// unrelated pictures match as often as not).
inline constexpr int kMaxTolerance = 32;

// The versions of the hash comparisons, one per instruction set. The
// neighbour search takes the fastest the processor runs; tests pin each.
enum class TCompareLevel { Fastest, Portable, Popcnt, Avx2, Avx512 };

// The levels this processor runs, Portable first.
std::vector<TCompareLevel> SupportedCompareLevels();

// Pairs (i, j), i < j, of hashes within tolerance bits of each other, each
// pair once, in no particular order. threads 0 means all cores.
std::vector<std::pair<std::uint32_t, std::uint32_t>>
NeighbourPairs(const std::vector<std::uint64_t>& hashes, int tolerance, unsigned threads = 0,
               TCompareLevel level = TCompareLevel::Fastest);

// The chunks NeighbourPairs uses for count hashes, as text ("16 bits within
// 1 ..."), for benchmarks.
std::string NeighbourPlanText(std::size_t count, int tolerance);

// True when a is at least as large a copy as b: more pixels, then a larger
// file. Ties keep the input order.
bool LargerPicture(const TSimilarItem& a, const TSimilarItem& b);

// Groups of two or more item indexes. Each group starts with its largest
// picture, the others follow by size; groups stand in the order of their
// first member's index. Two items join only when their hashes are within
// tolerance and their mean brightness within meanTolerance (within a few
// levels when the first member's hash shows no structure: a flat picture),
// and their outlines within kShapeTolerance.
std::vector<std::vector<std::uint32_t>> GroupSimilar(const std::vector<TSimilarItem>& items, int tolerance,
                                                     int meanTolerance, unsigned threads = 0);

// One hash a picture is seen by in GroupSimilarViews: of the whole picture
// or of its centre (ComputeCentreHash), as it is or turned.
struct TSimilarView {
    TPictureHash Hash;
    const TShapeMask* Shape = nullptr; // turned with the view; owned by the caller
    std::uint32_t Picture = 0;         // index into the items
    bool Centre = false;               // the hash of the picture's centre
    bool Probe = false;                // a leader looks for its members from this view
};

// Groups as GroupSimilar gives them, of pictures seen by several views: the
// largest picture not yet taken leads, and takes each picture not yet taken
// with a view within tolerance of one of the leader's probe views, their
// mean brightness and outlines agreeing as GroupSimilar asks, but never a
// centre against a centre. So with the whole and the centre as probes and
// views, a picture joins when the whole of one agrees with the whole or the
// centre of the other. Then each member that is nearer (by its least
// distance) to the leader of a later group, which comes before it in size,
// moves there; a group left with one picture goes.
std::vector<std::vector<std::uint32_t>> GroupSimilarViews(const std::vector<TSimilarItem>& items,
                                                          const std::vector<TSimilarView>& views,
                                                          int tolerance, int meanTolerance,
                                                          unsigned threads = 0);

} // namespace quorvane
