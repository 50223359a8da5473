// FastSortedOrder: the order of the result list's rows after sorting by a
// mode, exactly as SortedOrder (ResultRows.h) gives it, computed faster for
// a million rows. Each row gets a 128-bit key that never contradicts the
// core's comparison (the first 16 folded bytes of a text, the rank of a
// directory, the size or the time); only long texts with equal keys are
// compared with the core's lvFilesCompare. The sort is stable, as the
// core's is, so both give the same permutation.
#pragma once

#include "TFileRecord.h"

#include <cstddef>
#include <vector>

namespace quorvane {

std::vector<std::size_t> FastSortedOrder(const std::vector<TFileRecord>& rows, int sortMode);

} // namespace quorvane
