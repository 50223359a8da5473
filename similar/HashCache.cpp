// The picture hash cache: records of device, inode, size, time, hash,
// pixels, mean and flags in the shared cache file format (CacheFile.h),
// magic "QVSIMHSH". Any failure means "no cache", never an error.
#include "HashCache.h"

#include "CacheFile.h"
#include "TFileRecord.h"

#include <algorithm>

namespace quorvane {

namespace {

// Raise the version whenever the hash changes: older entries are then dropped.
// 2: pictures are hashed upright (orientation tag applied) and with their
// transparent parts shown; hashes of version 1 describe other grey pictures.
constexpr TCacheFormat kFormat{{'Q', 'V', 'S', 'I', 'M', 'H', 'S', 'H'},
                               2,
                               8 * 6 + 2, // device, inode, size, time, hash, pixels, mean, flags
                               std::size_t{1} << 24};

} // namespace

bool THashCache::Load(const std::string& path)
{
    FEntries.clear();
    std::vector<std::uint8_t> records;
    std::size_t count = 0;
    if (!ReadCacheRecords(path, kFormat, records, count)) return false;
    FEntries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* r = records.data() + i * kFormat.RecordBytes;
        TEntry entry{GetCacheField(r + 16, 8), static_cast<std::int64_t>(GetCacheField(r + 24, 8)), {}};
        entry.Value.Hash.Hash = GetCacheField(r + 32, 8);
        entry.Value.Pixels = GetCacheField(r + 40, 8);
        entry.Value.Hash.Mean = r[48];
        entry.Value.Decoded = (r[49] & 1) != 0;
        FEntries[TKey{GetCacheField(r, 8), GetCacheField(r + 8, 8)}] = entry;
    }
    return true;
}

bool THashCache::Save(const std::string& path) const
{
    const std::size_t count = std::min(FEntries.size(), kFormat.MaxRecords);
    std::vector<std::uint8_t> records;
    records.reserve(count * kFormat.RecordBytes);
    std::size_t written = 0;
    for (const auto& [key, entry] : FEntries) {
        if (written++ == count) break;
        for (std::uint64_t v :
             {key.Device, key.Inode, entry.Size, static_cast<std::uint64_t>(entry.ModifiedNs),
              entry.Value.Hash.Hash, entry.Value.Pixels})
            PutCacheField(records, v, 8);
        records.push_back(entry.Value.Hash.Mean);
        records.push_back(entry.Value.Decoded ? 1 : 0);
    }
    return WriteCacheRecords(path, kFormat, records, count);
}

std::optional<TCachedHash> THashCache::Find(const TFileRecord& file) const
{
    const auto it = FEntries.find(TKey{file.Device, file.Inode});
    if (it == FEntries.end() || it->second.Size != file.Size || it->second.ModifiedNs != file.ModifiedNs)
        return std::nullopt;
    return it->second.Value;
}

void THashCache::Store(const TFileRecord& file, const TCachedHash& hash)
{
    FEntries[TKey{file.Device, file.Inode}] = TEntry{file.Size, file.ModifiedNs, hash};
}

std::string DefaultHashCachePath()
{
    const std::string folder = DefaultCacheFolder();
    return folder.empty() ? folder : folder + "/similar-hashes.bin";
}

} // namespace quorvane
