// TUndoHistory: the deletions to the trash of this run that can still be
// undone, newest first. Invariant: at most kMaxBatches batches, none empty;
// a new batch beyond the limit drops the oldest.
#pragma once

#include "Trash.h"

#include <cstddef>
#include <deque>
#include <vector>

namespace quorvane {

// The files one deletion request moved to the trash, in the request's order.
using TDeletionBatch = std::vector<TTrashedFile>;

class TUndoHistory {
  public:
    static constexpr std::size_t kMaxBatches = 16;

    // Records a deletion; an empty batch (nothing went to the trash) is not
    // one the user could undo and is ignored.
    void Push(TDeletionBatch batch);
    bool Empty() const { return FBatches.empty(); }
    std::size_t Size() const { return FBatches.size(); }
    // index 0 is the newest batch.
    const TDeletionBatch& At(std::size_t index) const { return FBatches.at(index); }
    // Removes and returns the newest batch; the history must not be empty.
    TDeletionBatch TakeNewest();

  private:
    std::deque<TDeletionBatch> FBatches; // front: newest
};

} // namespace quorvane
