// The worker threads of the contents passes: std::jthread, a shared next
// slot, and a condition the calling thread waits on for each slot in turn.
#include "ParallelSlots.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvane {

namespace {

// Slots are handed out in runs of up to this many: one hand-over, one
// wake-up of the waiting thread per run rather than per file, and
// neighbouring files (mostly of one directory) read by one thread through
// one open directory, in batches that a run's end does not cut short. Each
// run starts its thread's walk to its first directory again, so longer runs
// open fewer directories. Few slots are split finer, so every thread gets
// some.
constexpr std::size_t kSlotsPerRun = 256;

std::size_t RunSize(std::size_t count, unsigned threads)
{
    return std::clamp<std::size_t>(count / (std::size_t{threads} * 4), 1, kSlotsPerRun);
}

class TSlotRun {
  public:
    TSlotRun(std::size_t count, std::size_t runSize,
             const std::function<void(std::size_t, std::size_t, unsigned)>& work)
        : FCount(count), FRunSize(runSize), FDone((count + runSize - 1) / runSize, false), FWork(work)
    {
    }

    std::size_t Runs() const { return FDone.size(); }

    // One worker: takes the next run of slots until none is left or the run
    // stops.
    void Work(unsigned worker, const std::stop_token& stop)
    {
        for (;;) {
            const std::size_t run = FNext.fetch_add(1);
            if (run >= FDone.size() || stop.stop_requested() || FFailed.load()) return;
            try {
                FWork(run * FRunSize, std::min(FCount, (run + 1) * FRunSize), worker);
            } catch (...) {
                Fail(std::current_exception());
                return;
            }
            const std::lock_guard lock(FMutex);
            FDone[run] = true;
            FChanged.notify_all();
        }
    }

    // Waits until slot's run is done; false when a worker failed first.
    bool WaitFor(std::size_t slot)
    {
        const std::size_t run = slot / FRunSize;
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [&] { return FDone[run] || FError != nullptr; });
        return FDone[run] && FError == nullptr;
    }

    void Fail(std::exception_ptr error)
    {
        const std::lock_guard lock(FMutex);
        if (!FError) FError = std::move(error);
        FFailed.store(true);
        FChanged.notify_all();
    }

    // Stops the workers taking more slots (they finish the one in hand).
    void Stop() { FFailed.store(true); }
    std::exception_ptr Error()
    {
        const std::lock_guard lock(FMutex);
        return FError;
    }

  private:
    std::size_t FCount;
    std::size_t FRunSize;
    std::vector<bool> FDone; // per run of slots; guarded by FMutex
    const std::function<void(std::size_t, std::size_t, unsigned)>& FWork;
    std::atomic<std::size_t> FNext{0};
    std::atomic<bool> FFailed{false};
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::exception_ptr FError; // guarded by FMutex
};

} // namespace

unsigned ContentsThreadCount(const TScanHost& host)
{
    const unsigned asked = host.ContentsThreads();
    if (asked != 0) return asked;
    return std::max(4u, 2 * std::thread::hardware_concurrency());
}

unsigned ScanThreadCount(const TScanHost& host)
{
    const unsigned asked = host.ScanThreads();
    if (asked != 0) return asked;
    return std::max(2u, std::thread::hardware_concurrency());
}

void ForEachSlot(std::size_t count, unsigned threads, TScanHost& host,
                 const std::function<void(std::size_t slot, unsigned worker)>& work)
{
    if (threads <= 1 || count < 2) {
        TProgressMeter meter(host, count);
        for (std::size_t slot = 0; slot < count; ++slot) {
            meter.Step(slot);
            work(slot, 0);
        }
        return;
    }
    ForEachSlotRun(count, threads, host, [&work](std::size_t begin, std::size_t end, unsigned worker) {
        for (std::size_t slot = begin; slot < end; ++slot)
            work(slot, worker);
    });
}

void ForEachSlotRun(std::size_t count, unsigned threads, TScanHost& host,
                    const std::function<void(std::size_t begin, std::size_t end, unsigned worker)>& work)
{
    TProgressMeter meter(host, count);
    const std::size_t runSize = RunSize(count, std::max(threads, 1u));
    if (threads <= 1 || count < 2) {
        for (std::size_t begin = 0; begin < count; begin += runSize) {
            const std::size_t end = std::min(count, begin + runSize);
            for (std::size_t slot = begin; slot < end; ++slot)
                meter.Step(slot);
            work(begin, end, 0);
        }
        return;
    }
    TSlotRun run(count, runSize, work);
    std::exception_ptr error;
    {
        std::vector<std::jthread> workers;
        const auto used = static_cast<unsigned>(std::min<std::size_t>(threads, run.Runs()));
        for (unsigned w = 0; w < used; ++w)
            workers.emplace_back([&run, w](const std::stop_token& stop) { run.Work(w, stop); });
        try {
            for (std::size_t slot = 0; slot < count; ++slot) {
                if (!run.WaitFor(slot)) break;
                meter.Step(slot);
            }
        } catch (...) {
            error = std::current_exception(); // a cancel seen by the meter
            run.Stop();
        }
        // The workers are joined here, before their state goes away.
    }
    if (!error) error = run.Error();
    if (error) std::rethrow_exception(error);
}

namespace {

// Ready slots handed out in runs of this many (fewer once no more come):
// a directory's files are a run's worth of work in the scan.
constexpr std::size_t kGrowingRun = 32;

// The shared state of ForEachGrowingSlotRunReporting; every field is
// guarded by FMutex.
class TGrowingSlots {
  public:
    // Slots below count are ready; final: no more will come.
    void Publish(std::size_t count, bool final)
    {
        const std::lock_guard lock(FMutex);
        FReady = count;
        FFinal = final;
        FDone.resize(count, false);
        FChanged.notify_all();
    }

    void Work(unsigned worker, const std::stop_token& stop,
              const std::function<void(std::size_t, std::size_t, unsigned)>& work)
    {
        std::unique_lock lock(FMutex);
        for (;;) {
            const bool go = FChanged.wait(lock, stop, [&] {
                return FError || (FFinal ? FTaken < FReady : FTaken + kGrowingRun <= FReady) ||
                       (FFinal && FTaken == FReady);
            });
            if (!go || FError || FTaken == FReady) return;
            const std::size_t begin = FTaken;
            const std::size_t end = std::min(FReady, begin + kGrowingRun);
            FTaken = end;
            lock.unlock();
            try {
                work(begin, end, worker);
            } catch (...) {
                lock.lock();
                Fail(std::current_exception());
                return;
            }
            lock.lock();
            std::fill(FDone.begin() + static_cast<std::ptrdiff_t>(begin),
                      FDone.begin() + static_cast<std::ptrdiff_t>(end), true);
            FChanged.notify_all();
        }
    }

    // Waits until slot is done; rethrows a worker's failure.
    void WaitFor(std::size_t slot)
    {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [&] { return FError || FDone[slot]; });
        if (FError) std::rethrow_exception(FError);
    }

    // Stops the workers taking more slots (each finishes the run in hand).
    void Fail(std::exception_ptr error)
    {
        if (!FError) FError = std::move(error);
        FChanged.notify_all();
    }
    void FailLocked(std::exception_ptr error)
    {
        const std::lock_guard lock(FMutex);
        Fail(std::move(error));
    }

  private:
    std::mutex FMutex;
    std::condition_variable_any FChanged;
    std::size_t FReady = 0;
    std::size_t FTaken = 0;
    bool FFinal = false;
    std::vector<bool> FDone;
    std::exception_ptr FError;
};

} // namespace

void ForEachGrowingSlotRunReporting(
    unsigned threads, TScanHost& host,
    const std::function<void(const std::function<void(std::size_t)>& publish)>& produce,
    const std::function<void(std::size_t begin, std::size_t end, unsigned worker)>& work,
    const std::function<void(std::size_t slot)>& done)
{
    TGrowingSlots slots;
    std::size_t count = 0;
    std::exception_ptr error;
    {
        std::vector<std::jthread> workers;
        for (unsigned w = 0; w < std::max(threads, 1u); ++w)
            workers.emplace_back(
                [&slots, &work, w](const std::stop_token& stop) { slots.Work(w, stop, work); });
        try {
            std::size_t published = 0;
            produce([&](std::size_t ready) {
                count = ready;
                // One hand-over per run of ready slots, not one per slot.
                if (ready >= published + kGrowingRun) slots.Publish(published = ready, false);
            });
            slots.Publish(count, true);
            TProgressMeter meter(host, count);
            for (std::size_t slot = 0; slot < count; ++slot) {
                slots.WaitFor(slot);
                meter.Step(slot);
                done(slot);
            }
        } catch (...) {
            error = std::current_exception();
            slots.FailLocked(error);
        }
        // The workers are joined here, before the slots go away.
    }
    if (error) std::rethrow_exception(error);
}

} // namespace quorvane
