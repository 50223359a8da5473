// The two other ways of the similar search: "Also turned or mirrored
// copies", where each picture's eight turn and mirror hashes take part, and
// "Same pixels", where pictures join only when their decoded pixels are
// exactly equal. Both decode every picture afresh (the hash cache holds one
// hash per file) and give their groups in the plain search's order.
#pragma once

#include "SimilarGroups.h"
#include "SimilarSearch.h"

#include <array>

namespace quorvane {

TSimilarResult FindTurnedCopies(const std::vector<const TFileRecord*>& pictures,
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

} // namespace quorvane
