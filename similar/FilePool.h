// Work on picture files spread over threads: each worker decodes into its
// own result slot; the calling thread alone reports progress and polls the
// host for a cancel, so the host needs no locking. A cancel stops the
// workers after their current file and rethrows ESearchCancelled.
#pragma once

#include "ScanHost.h"
#include "TFileRecord.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace quorvane {

template <typename Result, typename Work>
std::vector<Result> RunOnFiles(const std::vector<const TFileRecord*>& files, unsigned threads,
                               TScanHost& host, const Work& work)
{
    std::vector<Result> result(files.size());
    if (files.empty()) return result;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, files.size()));
    std::atomic<std::size_t> next{0}, done{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> pool;
    for (unsigned w = 0; w < threads; ++w)
        pool.emplace_back([&] {
            for (std::size_t i; !stop && (i = next++) < files.size(); ++done)
                result[i] = work(*files[i]);
        });
    TProgressMeter meter(host, files.size());
    try {
        while (done < files.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const std::size_t d = done;
            if (d > 0) meter.Step(d - 1);
            ThrowIfCancelled(host);
        }
    } catch (...) {
        stop = true;
        for (std::thread& t : pool)
            t.join();
        throw;
    }
    for (std::thread& t : pool)
        t.join();
    return result;
}

} // namespace quorvane
