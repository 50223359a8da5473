// TFileTask: the thread of one piece of file work.
#include "FileTask.h"

#include <atomic>
#include <memory>

namespace quorvane {

TFileTask::TFileTask(QObject* parent) : QObject(parent) {}

TFileTask::~TFileTask()
{
    if (FThread.joinable()) {
        FThread.request_stop();
        FThread.join();
    }
}

bool TFileTask::Start(TWork work)
{
    if (Running()) return false;
    FCancelled = false;
    FThread = std::jthread([this, work = std::move(work)](std::stop_token stop) {
        auto last = std::make_shared<std::atomic<int>>(-1);
        const auto progress = [this, last](int percent) {
            if (last->exchange(percent) != percent) emit Percentage(percent);
        };
        work(stop, progress);
        emit Finished();
    });
    return true;
}

bool TFileTask::Take()
{
    if (!FThread.joinable()) return FCancelled;
    FCancelled = FThread.get_stop_token().stop_requested();
    FThread.join();
    FThread = std::jthread();
    return FCancelled;
}

} // namespace quorvane
