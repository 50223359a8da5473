// The capture cache file in the shared cache file format (CacheFile.h),
// magic "QVCAPTUR": records of fixed fields and three short texts (each a
// length byte and at most kMaxText bytes). Every record is read within the
// bounds of the checked body; one that runs past it discards the cache.
#include "CaptureCache.h"

#include "CacheFile.h"
#include "HashCache.h"
#include "PhotoCapture.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace quorvane {

namespace {

constexpr std::size_t kFixedBytes = 8 * 5 + 1 + 2 + 4 * 2; // key, size, time, capture; flags; offset; sides
constexpr std::size_t kMaxText = 255;
constexpr std::size_t kMaxEntries = std::size_t{1} << 22;
// Version 3: pictures without a size in EXIF carry their header's size, so
// version 2's records, which lack it, are read again from the files.
constexpr TCacheFormat kFormat{{'Q', 'V', 'C', 'A', 'P', 'T', 'U', 'R'},
                               3,
                               0, // records of their own lengths: three texts each
                               kMaxEntries,
                               std::uint64_t{kMaxEntries} * (kFixedBytes + 3 * (1 + kMaxText))};

void PutText(std::vector<std::uint8_t>& out, const std::string& text)
{
    const std::size_t length = std::min(text.size(), kMaxText);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), text.begin(), text.begin() + std::ptrdiff_t(length));
}

// One text at at, within end; false when it would run past end.
bool GetText(const std::uint8_t* data, std::size_t& at, std::size_t end, std::string& text)
{
    if (at >= end) return false;
    const std::size_t length = data[at++];
    if (length > end - at) return false;
    text.assign(reinterpret_cast<const char*>(data + at), length);
    at += length;
    return true;
}

} // namespace

bool TCaptureCache::Load(const std::string& path)
{
    const std::lock_guard lock(FLock);
    FEntries.clear();
    FChanged = false;
    std::vector<std::uint8_t> bytes;
    std::size_t count = 0;
    if (!ReadCacheRecords(path, kFormat, bytes, count)) return false;
    const std::size_t end = bytes.size();
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (kFixedBytes > end - at) break;
        const std::uint8_t* r = bytes.data() + at;
        TEntry entry{GetCacheField(r + 16, 8), static_cast<std::int64_t>(GetCacheField(r + 24, 8)), {}};
        TCaptureInfo& info = entry.Value;
        if (r[40] & 1) info.CaptureNs = static_cast<std::int64_t>(GetCacheField(r + 32, 8));
        info.HasOffset = (r[40] & 2) != 0;
        info.OffsetMinutes = static_cast<std::int16_t>(GetCacheField(r + 41, 2));
        info.Width = static_cast<std::uint32_t>(GetCacheField(r + 43, 4));
        info.Height = static_cast<std::uint32_t>(GetCacheField(r + 47, 4));
        const TKey key{GetCacheField(r, 8), GetCacheField(r + 8, 8)};
        at += kFixedBytes;
        if (!GetText(bytes.data(), at, end, info.OriginalText) ||
            !GetText(bytes.data(), at, end, info.SubSeconds) || !GetText(bytes.data(), at, end, info.Model)) {
            FEntries.clear(); // records that run past their file: trust none
            return false;
        }
        FEntries[key] = entry;
    }
    return true;
}

void TCaptureCache::LoadOnce(const std::string& path)
{
    std::call_once(FLoaded, [this, &path] { Load(path); });
}

bool TCaptureCache::Save(const std::string& path)
{
    std::vector<std::uint8_t> out;
    std::size_t count = 0;
    {
        const std::lock_guard lock(FLock);
        if (!FChanged) return true;
        count = std::min(FEntries.size(), kMaxEntries);
        std::size_t written = 0;
        for (const auto& [key, entry] : FEntries) {
            if (written++ == count) break;
            const TCaptureInfo& info = entry.Value;
            for (std::uint64_t v :
                 {key.Device, key.Inode, entry.Size, static_cast<std::uint64_t>(entry.ModifiedNs),
                  static_cast<std::uint64_t>(info.CaptureNs.value_or(0))})
                PutCacheField(out, v, 8);
            out.push_back(static_cast<std::uint8_t>((info.CaptureNs ? 1 : 0) | (info.HasOffset ? 2 : 0)));
            PutCacheField(out, static_cast<std::uint16_t>(info.OffsetMinutes), 2);
            PutCacheField(out, info.Width, 4);
            PutCacheField(out, info.Height, 4);
            PutText(out, info.OriginalText);
            PutText(out, info.SubSeconds);
            PutText(out, info.Model);
        }
        FChanged = false;
    }
    return WriteCacheRecords(path, kFormat, out, count);
}

TCaptureInfo TCaptureCache::Info(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const TKey key{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    const std::int64_t modified = std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
    {
        const std::lock_guard lock(FLock);
        const auto it = FEntries.find(key);
        if (it != FEntries.end() && it->second.Size == size && it->second.ModifiedNs == modified)
            return it->second.Value;
    }
    // Read outside the lock: another thread's look-up need not wait for it.
    const TCaptureInfo info = ReadCaptureInfo(path);
    const std::lock_guard lock(FLock);
    FEntries[key] = TEntry{size, modified, info};
    FChanged = true;
    return info;
}

std::size_t TCaptureCache::Count() const
{
    const std::lock_guard lock(FLock);
    return FEntries.size();
}

std::string DefaultCaptureCachePath()
{
    const std::filesystem::path hashes(DefaultHashCachePath());
    if (hashes.empty()) return {};
    return (hashes.parent_path() / "capture-info.bin").string();
}

} // namespace quorvane
