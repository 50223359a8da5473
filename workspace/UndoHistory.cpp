// The bounded history of trash deletions: a deque with the newest in front.
#include "UndoHistory.h"

#include <utility>

namespace quorvane {

void TUndoHistory::Push(TDeletionBatch batch)
{
    if (batch.empty()) return;
    FBatches.push_front(std::move(batch));
    if (FBatches.size() > kMaxBatches) FBatches.pop_back();
}

TDeletionBatch TUndoHistory::TakeNewest()
{
    TDeletionBatch newest = std::move(FBatches.front());
    FBatches.pop_front();
    return newest;
}

} // namespace quorvane
