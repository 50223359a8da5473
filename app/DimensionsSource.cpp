// The Dimensions column's reader: one worker drains the queue newest first
// and hands the sizes back in batches by queued calls.
#include "DimensionsSource.h"

#include <QMetaObject>

namespace quorvane {

namespace {

// Sizes handed back together: a screenful of rows costs one repaint.
constexpr std::size_t kBatch = 32;

} // namespace

TDimensionsSource::TDimensionsSource(TReader read, QObject* parent) : QObject(parent), FRead(std::move(read))
{
    FPool.setMaxThreadCount(1);
    FPool.setExpiryTimeout(5000);
}

TDimensionsSource::~TDimensionsSource()
{
    {
        const std::lock_guard lock(FLock);
        FQueue.clear();
    }
    FPool.waitForDone();
}

void TDimensionsSource::Request(const std::string& path)
{
    const std::lock_guard lock(FLock);
    if (!FAsked.insert(path).second) return;
    FQueue.push_back(TAsked{path, FGeneration});
    if (FRunning) return;
    FRunning = true;
    FPool.start([this] { Drain(); });
}

void TDimensionsSource::Forget()
{
    ++FGeneration;
    const std::lock_guard lock(FLock);
    FQueue.clear();
    FAsked.clear();
}

void TDimensionsSource::Drain()
{
    std::vector<TRead> batch;
    const auto handOn = [this, &batch] {
        if (batch.empty()) return;
        QMetaObject::invokeMethod(
            this,
            [this, reads = std::move(batch)] {
                std::vector<std::pair<std::string, TPictureDimensions>> sizes;
                for (const TRead& read : reads)
                    if (read.Generation == FGeneration) sizes.emplace_back(read.Path, read.Size);
                if (!sizes.empty()) emit Ready(sizes);
            },
            Qt::QueuedConnection);
        batch.clear();
    };
    for (;;) {
        TAsked asked;
        {
            const std::lock_guard lock(FLock);
            if (FQueue.empty()) {
                FRunning = false;
                break;
            }
            asked = std::move(FQueue.back());
            FQueue.pop_back();
        }
        batch.push_back(TRead{asked.Path, FRead(asked.Path), asked.Generation});
        if (batch.size() == kBatch) handOn();
    }
    handOn();
}

} // namespace quorvane
