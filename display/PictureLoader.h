// TPictureLoader: decodes pictures on a pool of threads (one per core, at
// least two) and hands each back to the window's thread by queued signal,
// with the ticket its request was given. Decoded pictures are kept in a
// cache bounded in bytes, least recently used first out, which the preview,
// the slides and the viewer share.
// Invariants: at most one decode runs per key (a second request joins the
// first); prefetches never take the last free thread, so a focused request
// never waits behind them; a ticket taken back is never answered.
#pragma once

#include "PictureDecode.h"

#include <QObject>
#include <QThreadPool>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvane {

class TPictureLoader : public QObject {
    Q_OBJECT

  public:
    using TDecoder = std::function<TLoadedPicture(const TPictureRequest&)>;
    // Focused: what the user is looking at; Visible: shown beside it (the
    // slides); Prefetch: what the user may look at next.
    enum class EPriority { Prefetch = 0, Visible = 1, Focused = 2 };

    static constexpr std::int64_t kDefaultCacheBytes = std::int64_t(256) << 20;

    // threads 0: one per core, at least two.
    explicit TPictureLoader(TDecoder decoder = DecodePicture, int threads = 0, QObject* parent = nullptr);
    // Takes back every queued decode and waits for the running ones.
    ~TPictureLoader() override;

    // The loader the controls use unless given another; made on first use,
    // owned by the application object.
    static TPictureLoader& Shared();

    // The cached picture of the request, made the most recent; nothing when
    // it is not cached.
    std::optional<TLoadedPicture> Cached(const TPictureRequest& request);
    // Queues the decode (or joins the one queued or running for the same
    // key, raising its priority) and returns the ticket Loaded will carry.
    // A request whose picture is cached is answered by a queued Loaded too.
    std::uint64_t Request(const TPictureRequest& request, EPriority priority);
    // The ticket is never answered; a decode no ticket wants any more is
    // taken off the queue before it starts.
    void Cancel(std::uint64_t ticket);

    // Drops this reference to picture. When it may be the last one to a
    // large picture, it is dropped on a thread of the loader's own: giving
    // megabytes of pixels back to the system takes milliseconds, longer
    // while the decoding threads fault in pages of their own, and the
    // window's thread would miss its frames meanwhile.
    void Release(TLoadedPicture&& picture);

    void SetCacheLimit(std::int64_t bytes);
    std::int64_t CacheLimit() const { return FCacheLimit; }
    std::int64_t CacheBytes() const { return FCacheBytes; }
    int CachedCount() const { return static_cast<int>(FLru.size()); }
    // Decodes queued or running.
    int PendingCount() const;
    int ThreadCount() const { return FThreads; }

  signals:
    void Loaded(std::uint64_t ticket, const quorvane::TLoadedPicture& picture);

  private:
    struct TJob {
        TPictureRequest Request;
        std::string Key;
        EPriority Priority = EPriority::Prefetch;
        std::vector<std::uint64_t> Tickets;
        std::uint64_t Order = 0; // first come, first served within a priority
        bool Running = false;
        bool CountedAsPrefetch = false;
    };
    struct TCacheEntry {
        std::string Key;
        TLoadedPicture Picture;
    };

    void StartWorkers();
    // On a pool thread: takes the best job it may run, if any.
    std::shared_ptr<TJob> TakeJob();
    void RunJob(const std::shared_ptr<TJob>& job);
    void Finished(const std::shared_ptr<TJob>& job, const TLoadedPicture& picture);
    void Store(const std::string& key, const TLoadedPicture& picture);
    void Trim();

    TDecoder FDecoder;
    QThreadPool FPool;
    QThreadPool FReleases; // one thread, for Release
    int FThreads = 2;

    // Shared with the pool's threads.
    mutable std::mutex FMutex;
    std::map<std::string, std::shared_ptr<TJob>> FJobs; // by key, queued and running
    std::unordered_map<std::uint64_t, std::string> FTicketKeys;
    std::uint64_t FNextOrder = 0;
    int FRunning = 0;
    int FRunningPrefetches = 0;
    bool FClosing = false;

    // The window's thread only.
    std::uint64_t FNextTicket = 1;
    std::list<TCacheEntry> FLru; // most recent first
    std::unordered_map<std::string, std::list<TCacheEntry>::iterator> FCache;
    std::int64_t FCacheBytes = 0;
    std::int64_t FCacheLimit = kDefaultCacheBytes;
};

} // namespace quorvane
