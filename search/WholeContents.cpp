// Whole-contents hashing in stages. The first stage reads small files whole
// and the first block and tail of larger ones; only files whose size and
// first-stage hash are shared by another file are read whole again.
#include "WholeContents.h"

#include "DuplicateSearch.h"

#include <algorithm>
#include <fcntl.h>
#include <map>
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

// The first stage on an open file of digest.Size bytes.
void HashHead(int fd, TFileDigest& digest, std::vector<unsigned char>& buffer)
{
    const std::uint64_t size = digest.Size;
    if (size <= kWholeReadLimit) {
        buffer.resize(static_cast<std::size_t>(size));
        if (ReadAt(fd, buffer.data(), buffer.size(), 0) != static_cast<ssize_t>(size)) {
            digest.ReadFailed = true;
            return;
        }
        Store(XXH3_128bits(buffer.data(), buffer.size()), digest.Full);
        digest.Head[0] = digest.Full[0];
        digest.Head[1] = digest.Full[1];
        digest.Stages = 2;
        return;
    }
    buffer.resize(kFirstBlockBytes + kTailBytes);
    const auto tailOffset = static_cast<off_t>(size - kTailBytes);
    if (ReadAt(fd, buffer.data(), kFirstBlockBytes, 0) != static_cast<ssize_t>(kFirstBlockBytes) ||
        ReadAt(fd, buffer.data() + kFirstBlockBytes, kTailBytes, tailOffset) !=
            static_cast<ssize_t>(kTailBytes)) {
        digest.ReadFailed = true;
        return;
    }
    Store(XXH3_128bits(buffer.data(), buffer.size()), digest.Head);
    digest.Stages = 1;
}

// The second stage: the whole file in large sequential reads, polling for a
// cancel request between reads.
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
        if (ReadAt(fd, buffer.data(), length, static_cast<off_t>(offset)) != static_cast<ssize_t>(length)) {
            digest.ReadFailed = true;
            return;
        }
        XXH3_128bits_update(&state, buffer.data(), length);
        offset += length;
    }
    Store(XXH3_128bits_digest(&state), digest.Full);
    digest.Stages = 2;
}

// Opens row's file for a stage; -1 when it cannot be opened. st receives
// its status.
int OpenRowFile(TDirectoryOpener& directories, const TFileRecord& row, struct stat& st)
{
    const int dirFd = directories.Open(row);
    return dirFd < 0 ? -1 : OpenRegularFile(dirFd, row.Name.c_str(), st);
}

// Equal classes for equal (size, stage, hash); failed digests are never
// compared by class.
std::vector<std::uint64_t> ClassesOfDigests(const std::vector<TFileDigest>& digests)
{
    std::map<std::tuple<std::uint64_t, int, std::uint64_t, std::uint64_t>, std::uint64_t> ids;
    std::vector<std::uint64_t> classes(digests.size(), 0);
    for (std::size_t i = 0; i < digests.size(); ++i) {
        const TFileDigest& d = digests[i];
        const std::uint64_t* hash = d.Stages == 2 ? d.Full : d.Head;
        classes[i] =
            ids.emplace(std::tuple(d.Size, int{d.Stages}, hash[0], hash[1]), ids.size()).first->second;
    }
    return classes;
}

} // namespace

bool SameDigests(const TFileDigest& a, const std::string& pathA, const TFileDigest& b,
                 const std::string& pathB)
{
    if (!a.Opened) throw EFileReadError("Cannot open file " + pathA);
    if (!b.Opened) throw EFileReadError("Cannot open file " + pathB);
    if (a.Size != b.Size) return false;
    for (int stage = 1; stage <= 2; ++stage) {
        if (a.Stages < stage || b.Stages < stage) throw EFileReadError("Stream read error");
        const std::uint64_t* x = stage == 1 ? a.Head : a.Full;
        const std::uint64_t* y = stage == 1 ? b.Head : b.Full;
        if (x[0] != y[0] || x[1] != y[1]) return false;
    }
    return true;
}

void TDigestStore::Read(const std::vector<TFileRecord>& catalogue, const std::vector<std::uint32_t>& rows,
                        TScanHost& host, const TScanContext* scan)
{
    FSlotOf.assign(catalogue.size(), -1);
    FRowOf = AssignFileSlots(catalogue, rows, FSlotOf);
    FEntries.assign(FRowOf.size(), TFileDigest{});
    TProgressMeter meter(host, FRowOf.size());
    TDirectoryOpener directories(scan);
    std::vector<unsigned char> buffer;
    for (std::size_t slot = 0; slot < FRowOf.size(); ++slot) {
        meter.Step(slot);
        struct stat st;
        const TFileHandle file(OpenRowFile(directories, catalogue[FRowOf[slot]], st));
        if (file.Fd() < 0) continue;
        TFileDigest& digest = FEntries[slot];
        digest.Opened = true;
        digest.Size = static_cast<std::uint64_t>(st.st_size);
        HashHead(file.Fd(), digest, buffer);
    }
    const std::vector<std::uint32_t> alike = FilesStillAlike();
    if (!alike.empty()) HashWholeFiles(catalogue, alike, host, scan);
    FClasses = ClassesOfDigests(FEntries);
}

// Slots past the first stage whose size and first-stage hash another file
// shares, ascending.
std::vector<std::uint32_t> TDigestStore::FilesStillAlike() const
{
    std::map<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>, std::vector<std::uint32_t>> byHead;
    for (std::uint32_t slot = 0; slot < FEntries.size(); ++slot) {
        const TFileDigest& d = FEntries[slot];
        if (d.Opened && !d.ReadFailed && d.Stages == 1)
            byHead[std::tuple(d.Size, d.Head[0], d.Head[1])].push_back(slot);
    }
    std::vector<std::uint32_t> alike;
    for (const auto& entry : byHead) {
        if (entry.second.size() > 1) alike.insert(alike.end(), entry.second.begin(), entry.second.end());
    }
    std::sort(alike.begin(), alike.end());
    return alike;
}

void TDigestStore::HashWholeFiles(const std::vector<TFileRecord>& catalogue,
                                  const std::vector<std::uint32_t>& slots, TScanHost& host,
                                  const TScanContext* scan)
{
    TProgressMeter meter(host, slots.size());
    TDirectoryOpener directories(scan);
    std::vector<unsigned char> buffer;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        meter.Step(i);
        TFileDigest& digest = FEntries[slots[i]];
        struct stat st;
        const TFileHandle file(OpenRowFile(directories, catalogue[FRowOf[slots[i]]], st));
        if (file.Fd() < 0) {
            digest.Opened = false; // gone or replaced since the first stage
            continue;
        }
        if (static_cast<std::uint64_t>(st.st_size) != digest.Size) {
            digest.ReadFailed = true; // changed since the first stage
            continue;
        }
        HashWhole(file.Fd(), digest, buffer, host);
    }
}

} // namespace quorvane
