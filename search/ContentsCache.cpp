// The contents cache in the shared cache file format, magic "QVCONTNT".
#include "ContentsCache.h"

#include "CacheFile.h"

#include <algorithm>
#include <vector>

namespace quorvane {

namespace {

// device, inode, size, time, status time, head (2), full (2), stages
constexpr TCacheFormat kFormat{
    {'Q', 'V', 'C', 'O', 'N', 'T', 'N', 'T'}, 1, 8 * 9 + 1, TContentsCache::kMaxEntries};

} // namespace

bool TContentsCache::Load(const std::string& path)
{
    FEntries.clear();
    FTable.clear();
    FChanged = false;
    std::vector<std::uint8_t> records;
    std::size_t count = 0;
    if (!ReadCacheRecords(path, kFormat, records, count)) return false;
    FEntries.reserve(count);
    Rebuild(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* r = records.data() + i * kFormat.RecordBytes;
        TEntry entry{{GetCacheField(r, 8), GetCacheField(r + 8, 8)},
                     GetCacheField(r + 16, 8),
                     static_cast<std::int64_t>(GetCacheField(r + 24, 8)),
                     static_cast<std::int64_t>(GetCacheField(r + 32, 8)),
                     {}};
        entry.Digest.Head[0] = GetCacheField(r + 40, 8);
        entry.Digest.Head[1] = GetCacheField(r + 48, 8);
        entry.Digest.Full[0] = GetCacheField(r + 56, 8);
        entry.Digest.Full[1] = GetCacheField(r + 64, 8);
        entry.Digest.Stages = r[72];
        // A record that claims no stage carries nothing to trust.
        if (entry.Digest.Stages == 1 || entry.Digest.Stages == 2) Insert(entry);
    }
    return true;
}

bool TContentsCache::Save(const std::string& path)
{
    if (!FChanged) return true;
    const std::size_t count = std::min(FEntries.size(), kMaxEntries);
    std::vector<std::uint8_t> records;
    records.reserve(count * kFormat.RecordBytes);
    std::size_t written = 0;
    // The entries of the latest search first, then older ones while room is left.
    for (const bool used : {true, false}) {
        for (const TEntry& entry : FEntries) {
            if (entry.Used != used || written == count) continue;
            ++written;
            for (const std::uint64_t v :
                 {entry.Key.Device, entry.Key.Inode, entry.Size, static_cast<std::uint64_t>(entry.ModifiedNs),
                  static_cast<std::uint64_t>(entry.StatusChangedNs), entry.Digest.Head[0],
                  entry.Digest.Head[1], entry.Digest.Full[0], entry.Digest.Full[1]})
                PutCacheField(records, v, 8);
            records.push_back(entry.Digest.Stages);
        }
    }
    if (!WriteCacheRecords(path, kFormat, records, written)) return false;
    FChanged = false;
    return true;
}

const TCachedDigest* TContentsCache::Find(const TCachedFileState& state)
{
    const std::uint32_t index = IndexOf(TCacheKey{state.Device, state.Inode});
    if (index == kNone) return nullptr;
    TEntry& entry = FEntries[index];
    if (entry.Size != state.Size || entry.ModifiedNs != state.ModifiedNs ||
        entry.StatusChangedNs != state.StatusChangedNs)
        return nullptr;
    entry.Used = true;
    return &entry.Digest;
}

void TContentsCache::Store(const TCachedFileState& state, const TCachedDigest& digest)
{
    if (digest.Stages != 1 && digest.Stages != 2) return;
    Insert(TEntry{
        {state.Device, state.Inode}, state.Size, state.ModifiedNs, state.StatusChangedNs, digest, true});
    FChanged = true;
}

void TContentsCache::Reserve(std::size_t count)
{
    const std::size_t entries = FEntries.size() + count;
    FEntries.reserve(entries);
    if (entries * 2 > FTable.size()) Rebuild(entries * 2);
}

std::uint32_t TContentsCache::IndexOf(const TCacheKey& key) const
{
    if (FTable.empty()) return kNone;
    const std::size_t mask = FTable.size() - 1;
    for (std::size_t at = TCacheKeyHash()(key) & mask;; at = (at + 1) & mask) {
        const std::uint32_t index = FTable[at];
        if (index == kNone || FEntries[index].Key == key) return index;
    }
}

void TContentsCache::Insert(const TEntry& entry)
{
    if ((FEntries.size() + 1) * 2 > FTable.size()) Rebuild((FEntries.size() + 1) * 2);
    // One walk from the key's slot: its entry, replaced by the newer state,
    // or the first empty slot, where it goes.
    const std::size_t mask = FTable.size() - 1;
    std::size_t at = TCacheKeyHash()(entry.Key) & mask;
    for (; FTable[at] != kNone; at = (at + 1) & mask) {
        if (FEntries[FTable[at]].Key == entry.Key) {
            FEntries[FTable[at]] = entry;
            return;
        }
    }
    FTable[at] = static_cast<std::uint32_t>(FEntries.size());
    FEntries.push_back(entry);
}

void TContentsCache::Rebuild(std::size_t capacity)
{
    std::size_t size = 16;
    while (size < capacity * 2)
        size *= 2;
    FTable.assign(size, kNone);
    const std::size_t mask = size - 1;
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        std::size_t at = TCacheKeyHash()(FEntries[i].Key) & mask;
        while (FTable[at] != kNone)
            at = (at + 1) & mask;
        FTable[at] = static_cast<std::uint32_t>(i);
    }
}

std::string DefaultContentsCachePath()
{
    const std::string folder = DefaultCacheFolder();
    return folder.empty() ? folder : folder + "/contents-hashes.bin";
}

} // namespace quorvane
