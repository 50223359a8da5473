// The other ways of the similar search: "Also turned or mirrored copies",
// where each picture's eight turn and mirror hashes take part, "Also cropped
// copies", where the hash of each picture's centre takes part too, and
// "Same pixels", where pictures join only when their decoded pixels are
// exactly equal. Turns and same pixels decode every picture afresh (the hash
// cache holds one hash per file, and its centre); all give their groups in
// the plain search's order.
#pragma once

#include "SimilarGroups.h"
#include "SimilarSearch.h"

#include <array>

namespace quorvane {

TSimilarResult FindTurnedCopies(const std::vector<const TFileRecord*>& pictures,
                                const TSimilarOptions& options, TScanHost& host);
// Turned and cropped copies at once: the eight variants of the whole and of
// the centre of every picture.
TSimilarResult FindTurnedCroppedCopies(const std::vector<const TFileRecord*>& pictures,
                                       const TSimilarOptions& options, TScanHost& host);
TSimilarResult FindSamePixels(const std::vector<const TFileRecord*>& pictures, const TSimilarOptions& options,
                              TScanHost& host);

// GroupSimilar over the pictures whose eight hashes are variants[i] (items[i]
// carries variant 0, the size, the file size and the outline as stored):
// two pictures join when one's plain hash is within tolerance of any of the
// other's variants, whose outline, turned alike, agrees.
// Groups as GroupSimilar gives them: the largest first, each picture once.
std::vector<std::vector<std::uint32_t>>
GroupSimilarTurned(const std::vector<std::array<TPictureHash, kHashVariants>>& variants,
                   const std::vector<TSimilarItem>& items, int tolerance, int meanTolerance,
                   unsigned threads = 0);

// The hashes of one picture for GroupSimilarCropped: of its whole and of
// its centre, each one hash or the eight variants (the same count for all
// pictures); no centre for a picture with transparent parts.
struct TCropHashes {
    std::vector<TPictureHash> Whole, Centre;
};

// GroupSimilarViews over the wholes and centres (items[i] carries the size,
// the file size and the outline as stored): a picture joins when its whole
// or centre, in any variant, is within tolerance of the leader's plain whole
// or centre, never a centre against a centre.
std::vector<std::vector<std::uint32_t>> GroupSimilarCropped(const std::vector<TCropHashes>& hashes,
                                                            const std::vector<TSimilarItem>& items,
                                                            int tolerance, int meanTolerance,
                                                            unsigned threads = 0);

// The least distance by which GroupSimilarCropped may have joined member to
// leader.
int CroppedDistance(const TCropHashes& leader, const TCropHashes& member);

// Appends groups of files to result, each member with its CroppedDistance
// to the group's first.
void AppendCroppedGroups(TSimilarResult& result, const std::vector<std::vector<std::uint32_t>>& groups,
                         const std::vector<const TFileRecord*>& files,
                         const std::vector<TCropHashes>& hashes);

} // namespace quorvane
