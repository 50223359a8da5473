// The picture hash cache: records of device, inode, size, time, hash,
// pixels, mean and flags in the shared cache file format (CacheFile.h),
// magic "QVSIMHSH"; a record goes on with the centre's hash and mean where
// there is one, then a transparent picture's shape mask. Every record is read within the checked body. Any
// failure means "no cache", never an error.
#include "HashCache.h"

#include "CacheFile.h"
#include "TFileRecord.h"

#include <algorithm>

namespace quorvane {

namespace {

constexpr std::size_t kFixedBytes = 8 * 6 + 2; // device, inode, size, time, hash, pixels, mean, flags
constexpr std::size_t kShapeBytes = sizeof(TShapeMask::Opaque) + sizeof(TShapeMask::Edge);
constexpr std::size_t kCentreBytes = 8 + 1; // hash, mean
constexpr std::size_t kMaxRecords = std::size_t{1} << 24;
constexpr std::uint8_t kDecodedFlag = 1, kShapeFlag = 2, kCentreFlag = 4;

// Raise the version whenever the hash changes: older entries are then dropped.
// 2: pictures are hashed upright (orientation tag applied) and with their
// transparent parts shown; hashes of version 1 describe other grey pictures.
// 3: transparent pictures carry their shape, and one-colour ones are hashed
// by it; a version 2 entry has none, and would let a transparent picture
// join any outline.
// 4: a record may carry the hash of the picture's centre (for cropped
// copies); a version 3 reader would take those bytes for the next record.
constexpr TCacheFormat kFormat{{'Q', 'V', 'S', 'I', 'M', 'H', 'S', 'H'},
                               4,
                               0, // records of their own lengths: the shape only where there is one
                               kMaxRecords,
                               std::uint64_t{kMaxRecords} * (kFixedBytes + kCentreBytes + kShapeBytes)};

} // namespace

bool THashCache::Load(const std::string& path)
{
    FEntries.clear();
    std::vector<std::uint8_t> records;
    std::size_t count = 0;
    if (!ReadCacheRecords(path, kFormat, records, count)) return false;
    FEntries.reserve(count);
    for (std::size_t i = 0, at = 0; i < count; ++i) {
        if (kFixedBytes > records.size() - at) return Discard();
        const std::uint8_t* r = records.data() + at;
        TEntry entry{GetCacheField(r + 16, 8), static_cast<std::int64_t>(GetCacheField(r + 24, 8)), {}};
        entry.Value.Hash.Hash = GetCacheField(r + 32, 8);
        entry.Value.Pixels = GetCacheField(r + 40, 8);
        entry.Value.Hash.Mean = r[48];
        entry.Value.Decoded = (r[49] & kDecodedFlag) != 0;
        at += kFixedBytes;
        if (r[49] & kCentreFlag) {
            if (kCentreBytes > records.size() - at) return Discard();
            entry.Value.Centre = TPictureHash{GetCacheField(records.data() + at, 8), records[at + 8]};
            at += kCentreBytes;
        }
        if (r[49] & kShapeFlag) {
            if (kShapeBytes > records.size() - at) return Discard();
            TShapeMask& shape = entry.Value.Shape.emplace();
            for (auto* cells : {&shape.Opaque, &shape.Edge})
                for (std::uint64_t& word : *cells) {
                    word = GetCacheField(records.data() + at, 8);
                    at += 8;
                }
        }
        FEntries[TKey{GetCacheField(r, 8), GetCacheField(r + 8, 8)}] = entry;
    }
    return true;
}

bool THashCache::Discard()
{
    FEntries.clear(); // records that run past their file: trust none
    return false;
}

bool THashCache::Save(const std::string& path) const
{
    const std::size_t count = std::min(FEntries.size(), kMaxRecords);
    std::vector<std::uint8_t> records;
    records.reserve(count * kFixedBytes);
    std::size_t written = 0;
    for (const auto& [key, entry] : FEntries) {
        if (written++ == count) break;
        for (std::uint64_t v :
             {key.Device, key.Inode, entry.Size, static_cast<std::uint64_t>(entry.ModifiedNs),
              entry.Value.Hash.Hash, entry.Value.Pixels})
            PutCacheField(records, v, 8);
        records.push_back(entry.Value.Hash.Mean);
        records.push_back((entry.Value.Decoded ? kDecodedFlag : 0) | (entry.Value.Shape ? kShapeFlag : 0) |
                          (entry.Value.Centre ? kCentreFlag : 0));
        if (entry.Value.Centre) {
            PutCacheField(records, entry.Value.Centre->Hash, 8);
            records.push_back(entry.Value.Centre->Mean);
        }
        if (entry.Value.Shape)
            for (const auto* cells : {&entry.Value.Shape->Opaque, &entry.Value.Shape->Edge})
                for (std::uint64_t word : *cells)
                    PutCacheField(records, word, 8);
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
