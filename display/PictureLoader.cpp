// TPictureLoader: the queue of decodes is the loader's own (so that a decode
// can be taken back and the best one is always next); the pool's threads
// only run workers that take from it until nothing they may run is left.
#include "PictureLoader.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <algorithm>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quorvane {

TPictureLoader::TPictureLoader(TDecoder decoder, int threads, QObject* parent)
    : QObject(parent), FDecoder(std::move(decoder))
{
#if defined(__GLIBC__)
    // Pictures of megabytes come and go through the cache. Left to itself,
    // glibc raises its mapping threshold after each such block is freed and
    // then carves the next ones from heaps that never shrink; a fixed
    // threshold keeps every large block a mapping of its own, returned to
    // the system when it is freed.
    static const bool fixed = mallopt(M_MMAP_THRESHOLD, 1 << 20) == 1;
    (void)fixed;
#endif
    FThreads = threads > 0 ? threads : std::max(2, QThread::idealThreadCount());
    FPool.setMaxThreadCount(FThreads);
    FPool.setObjectName(QStringLiteral("PictureLoader"));
    FReleases.setMaxThreadCount(1);
    FReleases.setObjectName(QStringLiteral("PictureRelease"));
}

TPictureLoader::~TPictureLoader()
{
    {
        std::lock_guard lock(FMutex);
        FClosing = true;
        // The queued decodes go; the running ones end on their own.
        for (auto it = FJobs.begin(); it != FJobs.end();)
            it = it->second->Running ? std::next(it) : FJobs.erase(it);
    }
    FPool.waitForDone();
}

TPictureLoader& TPictureLoader::Shared()
{
    static QPointer<TPictureLoader> shared;
    if (!shared) shared = new TPictureLoader(DecodePicture, 0, QCoreApplication::instance());
    return *shared;
}

std::optional<TLoadedPicture> TPictureLoader::Cached(const TPictureRequest& request)
{
    const auto found = FCache.find(request.Key());
    if (found == FCache.end()) return std::nullopt;
    FLru.splice(FLru.begin(), FLru, found->second);
    return found->second->Picture;
}

std::uint64_t TPictureLoader::Request(const TPictureRequest& request, EPriority priority)
{
    const std::uint64_t ticket = FNextTicket++;
    if (std::optional<TLoadedPicture> cached = Cached(request)) {
        QMetaObject::invokeMethod(
            this, [this, ticket, picture = *cached] { emit Loaded(ticket, picture); }, Qt::QueuedConnection);
        return ticket;
    }
    std::string key = request.Key();
    {
        std::lock_guard lock(FMutex);
        std::shared_ptr<TJob>& job = FJobs[key];
        if (!job) {
            job = std::make_shared<TJob>();
            job->Request = request;
            job->Key = key;
            job->Priority = priority;
            job->Order = FNextOrder++;
        }
        job->Priority = std::max(job->Priority, priority);
        job->Tickets.push_back(ticket);
        FTicketKeys.emplace(ticket, std::move(key));
    }
    // A priority raised on a queued prefetch may let a waiting job run now.
    StartWorkers();
    return ticket;
}

void TPictureLoader::Cancel(std::uint64_t ticket)
{
    std::lock_guard lock(FMutex);
    const auto found = FTicketKeys.find(ticket);
    if (found == FTicketKeys.end()) return;
    const auto job = FJobs.find(found->second);
    FTicketKeys.erase(found);
    if (job == FJobs.end()) return;
    auto& tickets = job->second->Tickets;
    tickets.erase(std::remove(tickets.begin(), tickets.end(), ticket), tickets.end());
    if (tickets.empty() && !job->second->Running) FJobs.erase(job);
}

int TPictureLoader::PendingCount() const
{
    std::lock_guard lock(FMutex);
    return static_cast<int>(FJobs.size());
}

void TPictureLoader::StartWorkers()
{
    // A worker that finds nothing it may run ends at once, so starting one
    // too many costs little; a job is never left without one.
    FPool.start([this] {
        while (const std::shared_ptr<TJob> job = TakeJob())
            RunJob(job);
    });
}

std::shared_ptr<TPictureLoader::TJob> TPictureLoader::TakeJob()
{
    std::lock_guard lock(FMutex);
    if (FClosing) return nullptr;
    // A prefetch leaves one thread free for what the user asks for; the
    // worker running the last prefetch comes back for the next one.
    const bool prefetchAllowed = FRunningPrefetches < FThreads - 1;
    std::shared_ptr<TJob> best;
    for (const auto& [key, job] : FJobs) {
        if (job->Running || (job->Priority == EPriority::Prefetch && !prefetchAllowed)) continue;
        if (!best || job->Priority > best->Priority ||
            (job->Priority == best->Priority && job->Order < best->Order))
            best = job;
    }
    if (!best) return nullptr;
    best->Running = true;
    ++FRunning;
    best->CountedAsPrefetch = best->Priority == EPriority::Prefetch;
    if (best->CountedAsPrefetch) ++FRunningPrefetches;
    return best;
}

void TPictureLoader::RunJob(const std::shared_ptr<TJob>& job)
{
    TLoadedPicture picture;
    try {
        picture = FDecoder(job->Request);
    } catch (const std::exception&) {
        picture = {};
    }
    // A file that changed while it was read gives no picture worth keeping
    // under the key of what was asked for.
    const bool keep = ReadPictureIdentity(job->Request.Path) == job->Request.Identity;
    {
        std::lock_guard lock(FMutex);
        --FRunning;
        // As counted when the job was taken: its priority may have risen since.
        if (job->CountedAsPrefetch) --FRunningPrefetches;
    }
    QMetaObject::invokeMethod(
        this,
        [this, job, picture = std::move(picture), keep]() mutable {
            if (keep) Store(job->Key, picture);
            Finished(job, picture);
            Release(std::move(picture)); // the last reference when no one kept it
        },
        Qt::QueuedConnection);
}

void TPictureLoader::Finished(const std::shared_ptr<TJob>& job, const TLoadedPicture& picture)
{
    std::vector<std::uint64_t> tickets;
    {
        std::lock_guard lock(FMutex);
        const auto found = FJobs.find(job->Key);
        if (found != FJobs.end() && found->second == job) FJobs.erase(found);
        tickets.swap(job->Tickets);
        for (const std::uint64_t ticket : tickets)
            FTicketKeys.erase(ticket);
    }
    for (const std::uint64_t ticket : tickets)
        emit Loaded(ticket, picture);
}

void TPictureLoader::Store(const std::string& key, const TLoadedPicture& picture)
{
    if (picture.Empty() || picture.Bytes() > FCacheLimit) return;
    const auto found = FCache.find(key);
    if (found != FCache.end()) {
        FCacheBytes -= found->second->Picture.Bytes();
        Release(std::move(found->second->Picture));
        FLru.erase(found->second);
        FCache.erase(found);
    }
    FLru.push_front({key, picture});
    FCache.emplace(key, FLru.begin());
    FCacheBytes += picture.Bytes();
    Trim();
}

void TPictureLoader::Release(TLoadedPicture&& picture)
{
    // Small pictures cost less to free than to hand over.
    constexpr std::int64_t kHandOverBytes = std::int64_t(1) << 20;
    if (picture.Metafile || picture.Bytes() < kHandOverBytes) {
        picture = {};
        return;
    }
    FReleases.start([dropped = std::move(picture)] {});
}

void TPictureLoader::SetCacheLimit(std::int64_t bytes)
{
    FCacheLimit = std::max<std::int64_t>(0, bytes);
    Trim();
}

void TPictureLoader::Trim()
{
    while (FCacheBytes > FCacheLimit && !FLru.empty()) {
        FCacheBytes -= FLru.back().Picture.Bytes();
        Release(std::move(FLru.back().Picture));
        FCache.erase(FLru.back().Key);
        FLru.pop_back();
    }
}

} // namespace quorvane
