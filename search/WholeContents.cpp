// Whole-contents hashing in stages. The first stage reads small files whole
// and the first block and tail of larger ones; only files whose size and
// first-stage hash are shared by another file are read whole again.
#include "WholeContents.h"

#include "ClassRuns.h"
#include "DuplicateSearch.h"
#include "FileBatch.h"
#include "ParallelSlots.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <memory>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace quorvane {

namespace {

void Store(const XXH128_hash_t& hash, std::uint64_t (&to)[2])
{
    to[0] = hash.high64;
    to[1] = hash.low64;
}

// Marks digest as failed by a read that returned got bytes where more were
// wanted: an error (error), or a file that shrank.
void ReadFellShort(TFileDigest& digest, ssize_t got, int error)
{
    if (got < 0) {
        digest.ReadFailed = true;
        digest.Error = error;
    } else {
        digest.Changed = true;
    }
}

void ReadFellShort(TFileDigest& digest, ssize_t got)
{
    ReadFellShort(digest, got, errno);
}

// The first stage's hash of what it read: a small file whole (its Full
// hash too), else the first block followed by the tail.
void HashHeadBytes(const unsigned char* data, TFileDigest& digest)
{
    if (digest.Size <= kWholeReadLimit) {
        Store(XXH3_128bits(data, static_cast<std::size_t>(digest.Size)), digest.Full);
        digest.Head[0] = digest.Full[0];
        digest.Head[1] = digest.Full[1];
        digest.Stages = 2;
        return;
    }
    Store(XXH3_128bits(data, kFirstBlockBytes + kTailBytes), digest.Head);
    digest.Stages = 1;
}

// The first stage on an open file of digest.Size bytes. A small file is read
// with one byte to spare, so that one that grew since fstat is seen.
void HashHead(int fd, TFileDigest& digest, std::vector<unsigned char>& buffer)
{
    const std::uint64_t size = digest.Size;
    if (size <= kWholeReadLimit) {
        buffer.resize(static_cast<std::size_t>(size) + 1);
        const ssize_t got = ReadExpected(fd, buffer.data(), static_cast<std::size_t>(size));
        if (got != static_cast<ssize_t>(size)) return ReadFellShort(digest, got);
        return HashHeadBytes(buffer.data(), digest);
    }
    buffer.resize(kFirstBlockBytes + kTailBytes);
    const auto tailOffset = static_cast<off_t>(size - kTailBytes);
    ssize_t got = ReadAt(fd, buffer.data(), kFirstBlockBytes, 0);
    if (got != static_cast<ssize_t>(kFirstBlockBytes)) return ReadFellShort(digest, got);
    got = ReadAt(fd, buffer.data() + kFirstBlockBytes, kTailBytes, tailOffset);
    if (got != static_cast<ssize_t>(kTailBytes)) return ReadFellShort(digest, got);
    HashHeadBytes(buffer.data(), digest);
}

// Adds the first stage's reads of row's file to batch, as HashHead makes
// them: the first block and the tail land next to each other.
void AddHeadReads(TFileBatch& batch, int dirFd, const TFileRecord& row)
{
    batch.AddFile(dirFd, row.Name.c_str());
    if (row.Size <= kWholeReadLimit) {
        batch.AddRead(TBatchReadKind::Expected, static_cast<std::size_t>(row.Size), 0);
        return;
    }
    batch.AddRead(TBatchReadKind::At, kFirstBlockBytes, 0);
    batch.AddRead(TBatchReadKind::At, kTailBytes, static_cast<off_t>(row.Size - kTailBytes));
}

// HashHead on the answers of the reads AddHeadReads asked for.
void HashHeadFromBatch(const TFileBatch& batch, const TBatchFile& file, TFileDigest& digest)
{
    for (std::size_t r = 0; r < file.ReadCount; ++r) {
        const TBatchRead& read = file.Reads[r];
        if (read.Got != static_cast<ssize_t>(read.Length)) return ReadFellShort(digest, read.Got, read.Error);
    }
    HashHeadBytes(batch.Data(file.Reads[0]), digest);
}

// The second stage: the whole file in large sequential reads, polling for a
// cancel request between reads. A byte found past the size means the file
// grew while it was read.
void HashWhole(int fd, TFileDigest& digest, std::vector<unsigned char>& buffer, const TScanHost& host)
{
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    XXH3_state_t state;
    XXH3_128bits_reset(&state);
    buffer.resize(kStreamBlockBytes);
    for (std::uint64_t offset = 0; offset < digest.Size;) {
        ThrowIfCancelled(host);
        const auto length =
            static_cast<std::size_t>(std::min<std::uint64_t>(kStreamBlockBytes, digest.Size - offset));
        const ssize_t got = ReadAt(fd, buffer.data(), length, static_cast<off_t>(offset));
        if (got != static_cast<ssize_t>(length)) return ReadFellShort(digest, got);
        XXH3_128bits_update(&state, buffer.data(), length);
        offset += length;
    }
    unsigned char extra = 0;
    if (ReadAt(fd, &extra, 1, static_cast<off_t>(digest.Size)) != 0) {
        digest.Changed = true;
        return;
    }
    Store(XXH3_128bits_digest(&state), digest.Full);
    digest.Stages = 2;
}

// Opens row's file for a stage; -1 when it cannot be opened (errno says
// why). st receives its status.
int OpenRowFile(TDirectoryOpener& directories, const TFileRecord& row, struct stat& st)
{
    const int dirFd = directories.Open(row);
    return dirFd < 0 ? -1 : OpenRegularFile(dirFd, row.Name.c_str(), st);
}

// Opens the file of digest's row for a stage, and checks it is still the
// file the scan listed; -1 (and digest marked) otherwise.
int OpenForStage(TDirectoryOpener& directories, const TFileRecord& row, TFileDigest& digest, struct stat& st)
{
    const int fd = OpenRowFile(directories, row, st);
    if (fd < 0) {
        digest.Opened = false;
        digest.Error = errno;
        return -1;
    }
    digest.Opened = true;
    if (ChangedSinceScan(row, st)) {
        close(fd);
        digest.Changed = true;
        return -1;
    }
    return fd;
}

TCachedFileState StateOf(const struct stat& st)
{
    return TCachedFileState{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                            static_cast<std::uint64_t>(st.st_size),
                            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                            static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

// The first stage of a file the scan did not list (inode 0) into digest,
// its status checked before and after the read; state receives the status
// it was read in.
void FirstStageUnlisted(TDirectoryOpener& directories, const TFileRecord& row, TFileDigest& digest,
                        std::vector<unsigned char>& buffer, TCachedFileState& state)
{
    struct stat st;
    const TFileHandle file(OpenForStage(directories, row, digest, st));
    if (file.Fd() < 0) return;
    digest.Size = static_cast<std::uint64_t>(st.st_size);
    HashHead(file.Fd(), digest, buffer);
    if (!digest.Failed() && ChangedWhileRead(file.Fd(), st)) digest.Changed = true;
    if (!digest.Failed()) state = StateOf(st);
}

// The first stage of a file the scan listed, from its batched reads and the
// one status check after them (CheckStatusAfterRead).
void FirstStageListed(const TFileBatch& batch, const TBatchFile& file, const TFileRecord& row,
                      TFileDigest& digest, TCachedFileState& state)
{
    if (!file.Opened) {
        digest.Error = file.OpenError;
        return;
    }
    digest.Size = row.Size;
    HashHeadFromBatch(batch, file, digest);
    const TAfterRead after = CheckStatusAfterRead(file.Statted, file.StatError, row, file.Status);
    if (after != TAfterRead::Unchanged) {
        const int error = errno;
        digest = TFileDigest{};
        digest.Opened = after == TAfterRead::Changed;
        digest.Changed = after == TAfterRead::Changed;
        if (after == TAfterRead::NotOpened) digest.Error = error;
        return;
    }
    digest.Opened = true;
    if (!digest.Failed()) state = StateOf(file.Status);
}

} // namespace

namespace {

// Marks above the classes of whole-file hashes: a digest without one is a
// class of its own (its slot), distinct from every other.
constexpr std::uint64_t kOwnClass = std::uint64_t{1} << 62;

} // namespace

std::vector<std::uint64_t> ClassesOfDigests(const std::vector<TFileDigest>& digests)
{
    // Sorting the indexes by (size, whole hash) and numbering the runs keeps
    // a million digests to one pass over contiguous memory; the class
    // numbers follow the first index of each run, so they do not depend on
    // the order the sort leaves equal keys in.
    std::vector<std::uint32_t> order;
    std::vector<std::uint64_t> classes(digests.size(), 0);
    for (std::size_t i = 0; i < digests.size(); ++i) {
        const TFileDigest& d = digests[i];
        if (d.Stages != 2 || d.Failed())
            classes[i] = kOwnClass | i;
        else
            order.push_back(static_cast<std::uint32_t>(i));
    }
    const auto key = [&digests](std::uint32_t i) {
        return std::tuple(digests[i].Size, digests[i].Full[0], digests[i].Full[1]);
    };
    NumberRunsOfEqualKeys(order, key, classes);
    return classes;
}

void TDigestStore::Read(const std::vector<TFileRecord>& catalogue, const std::vector<std::uint32_t>& rows,
                        TScanHost& host, const TScanContext* scan)
{
    FSlotOf.assign(catalogue.size(), -1);
    FFirstRows = AssignFileSlots(catalogue, rows, FSlotOf);
    FEntries.assign(FFirstRows.size(), TFileDigest{});
    FStates.assign(FFirstRows.size(), TCachedFileState{});
    FFromCache.assign(FFirstRows.size(), 0);
    const std::string cachePath = host.ContentsCachePath();
    if (!cachePath.empty()) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME_COARSE, &now);
        FStartNs = static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
        FCache = host.TakeLoadedContentsCache();
        if (!FCache) {
            FCache = std::make_unique<TContentsCache>();
            FCache->Load(cachePath);
        }
    }
    const unsigned threads = ContentsThreadCount(host);
    const std::vector<std::unique_ptr<TDirectoryOpener>> directories = DirectoryOpeners(threads, scan);
    std::vector<std::vector<unsigned char>> buffers(threads);
    std::vector<std::unique_ptr<TSlotBatch>> batches = SlotBatches(threads);
    try {
        ForEachSlotRun(FFirstRows.size(), threads, host,
                       [&](std::size_t begin, std::size_t end, unsigned worker) {
                           TSlotBatch& batch = *batches[worker];
                           const auto take = [&](std::size_t slot, const TBatchFile& file) {
                               FirstStageListed(batch.Files(), file, catalogue[FFirstRows[slot]],
                                                FEntries[slot], FStates[slot]);
                           };
                           for (std::size_t slot = begin; slot < end; ++slot) {
                               const TFileRecord& row = catalogue[FFirstRows[slot]];
                               batch.MakeRoomFor(row, take);
                               if (FCache && TakeFromCache(*directories[worker], row, slot)) continue;
                               if (row.Inode == 0) {
                                   FirstStageUnlisted(*directories[worker], row, FEntries[slot],
                                                      buffers[worker], FStates[slot]);
                                   continue;
                               }
                               const int dirFd = directories[worker]->Open(row);
                               if (dirFd < 0)
                                   FEntries[slot].Error = errno;
                               else
                                   AddHeadReads(batch.Add(slot, row), dirFd, row);
                           }
                           batch.Run(take);
                       });
        const std::vector<std::uint32_t> alike = FilesStillAlike();
        if (!alike.empty()) HashWholeFiles(catalogue, alike, host, scan);
    } catch (...) {
        // A cancelled search keeps what it finished: once the workers are
        // joined, every slot holds either a finished stage with the state it
        // was read in, or its earlier stage.
        SaveCache(cachePath, host);
        throw;
    }
    FClasses = ClassesOfDigests(FEntries);
    ReportFailures(catalogue, host);
    SaveCache(cachePath, host);
}

void TDigestStore::SaveCache(const std::string& cachePath, TScanHost& host)
{
    if (!FCache) return;
    StoreInCache();
    host.SaveContentsCache(std::move(FCache), cachePath);
    FCache.reset();
}

bool TDigestStore::TakeFromCache(TDirectoryOpener& directories, const TFileRecord& row, std::size_t slot)
{
    // The state the scan saw, as a fresh read would rest on it too; a row
    // made without it is stated through its directory, still unopened.
    TCachedFileState state{row.Device, row.Inode, row.Size, row.ModifiedNs, row.StatusChangedNs};
    if (row.StatusChangedNs == 0 || row.Inode == 0) {
        const int dirFd = directories.Open(row);
        struct stat st;
        if (dirFd < 0 || fstatat(dirFd, row.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || ChangedSinceScan(row, st))
            return false;
        state = StateOf(st);
    }
    const TCachedDigest* cached = FCache->Find(state);
    if (!cached) return false;
    TFileDigest& digest = FEntries[slot];
    digest.Opened = true;
    digest.Size = state.Size;
    digest.Stages = cached->Stages;
    std::copy(std::begin(cached->Head), std::end(cached->Head), digest.Head);
    std::copy(std::begin(cached->Full), std::end(cached->Full), digest.Full);
    FStates[slot] = state;
    FFromCache[slot] = cached->Stages;
    return true;
}

// True when a write after startNs is sure to move the status-change time
// away from changedNs: file times come from the kernel's coarse clock, so a
// time earlier than the clock's reading at the start cannot recur, while a
// file system keeping whole seconds (or FAT's two) needs that much margin.
static bool SettledBefore(std::int64_t changedNs, std::int64_t startNs)
{
    constexpr std::int64_t kSecond = 1000000000;
    return changedNs % kSecond != 0 ? changedNs < startNs : changedNs + 2 * kSecond <= startNs;
}

// Only what this search learnt: new files, and cached ones hashed further.
// A file changed in the very tick it was read could keep its times: its
// hashes are kept only once its times are settled.
bool TDigestStore::Learnt(std::size_t slot) const
{
    const TFileDigest& digest = FEntries[slot];
    return !digest.Failed() && digest.Stages > FFromCache[slot] && FStates[slot].Inode != 0 &&
           SettledBefore(FStates[slot].StatusChangedNs, FStartNs);
}

void TDigestStore::StoreInCache()
{
    std::size_t learnt = 0;
    for (std::size_t slot = 0; slot < FEntries.size(); ++slot)
        learnt += Learnt(slot);
    FCache->Reserve(learnt);
    for (std::size_t slot = 0; slot < FEntries.size(); ++slot) {
        if (!Learnt(slot)) continue;
        const TFileDigest& digest = FEntries[slot];
        TCachedDigest cached;
        cached.Stages = digest.Stages;
        std::copy(std::begin(digest.Head), std::end(digest.Head), cached.Head);
        std::copy(std::begin(digest.Full), std::end(digest.Full), cached.Full);
        FCache->Store(FStates[slot], cached);
    }
}

// Slots past the first stage whose size and first-stage hash another file
// shares, ascending.
std::vector<std::uint32_t> TDigestStore::FilesStillAlike() const
{
    std::vector<std::uint32_t> order;
    for (std::uint32_t slot = 0; slot < FEntries.size(); ++slot) {
        const TFileDigest& d = FEntries[slot];
        if (!d.Failed() && d.Stages == 1) order.push_back(slot);
    }
    const auto key = [this](std::uint32_t i) {
        return std::tuple(FEntries[i].Size, FEntries[i].Head[0], FEntries[i].Head[1]);
    };
    std::sort(order.begin(), order.end(),
              [&key](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    std::vector<std::uint32_t> alike;
    for (std::size_t begin = 0; begin < order.size();) {
        std::size_t end = begin + 1;
        while (end < order.size() && key(order[end]) == key(order[begin]))
            ++end;
        if (end - begin > 1) alike.insert(alike.end(), order.begin() + begin, order.begin() + end);
        begin = end;
    }
    std::sort(alike.begin(), alike.end());
    return alike;
}

void TDigestStore::HashWholeFiles(const std::vector<TFileRecord>& catalogue,
                                  const std::vector<std::uint32_t>& slots, TScanHost& host,
                                  const TScanContext* scan)
{
    const unsigned threads = ContentsThreadCount(host);
    const std::vector<std::unique_ptr<TDirectoryOpener>> directories = DirectoryOpeners(threads, scan);
    std::vector<std::vector<unsigned char>> buffers(threads);
    ForEachSlot(slots.size(), threads, host, [&](std::size_t i, unsigned worker) {
        TFileDigest& digest = FEntries[slots[i]];
        struct stat st;
        const TFileHandle file(
            OpenForStage(*directories[worker], catalogue[FFirstRows[slots[i]]], digest, st));
        if (file.Fd() < 0) return; // gone or replaced since the first stage
        if (static_cast<std::uint64_t>(st.st_size) != digest.Size) {
            digest.Changed = true; // changed since the first stage
            return;
        }
        HashWhole(file.Fd(), digest, buffers[worker], host);
        if (!digest.Failed() && ChangedWhileRead(file.Fd(), st)) digest.Changed = true;
        if (!digest.Failed()) FStates[slots[i]] = StateOf(st);
    });
}

} // namespace quorvane
