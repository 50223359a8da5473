// The contents passes on every core: slots (one per file) are handed out to
// a few worker threads, while the calling thread reports the pass's steps to
// the host in slot order. Invariant: each slot is worked on exactly once, by
// one thread; the host hears the same steps, in the same order, whatever the
// number of threads, so results and progress never depend on it.
#pragma once

#include "ScanHost.h"

#include <cstddef>
#include <functional>

namespace quorvane {

// The threads a contents pass uses for a host: its ContentsThreads(), or
// two per core and at least four when it leaves the choice (0): with a cold
// cache a thread mostly waits on the disk, and more reads in flight keep it
// busier; with a warm one the extra threads cost little.
unsigned ContentsThreadCount(const TScanHost& host);

// The threads the scan states files on for a host: its ScanThreads(), or
// one per core and at least two.
unsigned ScanThreadCount(const TScanHost& host);

// Runs work(slot, worker) for every slot below count, worker being the
// index (below threads) of the thread that runs it; each thread's work may
// keep state of its own by that index. The calling thread reports step i
// of a TProgressMeter once slot i is done (with one thread, or fewer than
// two slots: before it, as a plain loop would). A cancel request or an
// exception thrown by work stops the other threads and propagates from here
// after they have finished.
void ForEachSlot(std::size_t count, unsigned threads, TScanHost& host,
                 const std::function<void(std::size_t slot, unsigned worker)>& work);

// ForEachSlot handing each thread runs of neighbouring slots at once:
// work(begin, end, worker) works on slots begin to end - 1, in order, so it
// can batch them. With one thread the steps of a run are reported before it.
void ForEachSlotRun(std::size_t count, unsigned threads, TScanHost& host,
                    const std::function<void(std::size_t begin, std::size_t end, unsigned worker)>& work);

// ForEachSlotRun over slots that become known while the work runs, for
// passes whose slots find things to report:
// produce runs on the calling thread and calls publish(count) as slots
// below count become ready (count never falls); threads workers meanwhile
// take runs of ready slots. Once produce returns, the last count is the
// pass's, and the calling thread reports step and done for each slot in
// order as slots are done. An exception from produce, work or done stops
// the workers and propagates from here after they have finished.
void ForEachGrowingSlotRunReporting(
    unsigned threads, TScanHost& host,
    const std::function<void(const std::function<void(std::size_t)>& publish)>& produce,
    const std::function<void(std::size_t begin, std::size_t end, unsigned worker)>& work,
    const std::function<void(std::size_t slot)>& done);

} // namespace quorvane
