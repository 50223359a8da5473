// The cache file: a 16-byte header (magic "QVSIMHSH", format version, entry
// count), fixed-size little-endian records, and a 64-bit FNV-1a checksum of
// all bytes before it. The whole file is read and checked before any entry
// is used.
#include "HashCache.h"

#include "TFileRecord.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace quorvane {

namespace {

constexpr char kMagic[8] = {'Q', 'V', 'S', 'I', 'M', 'H', 'S', 'H'};
// Raise the version whenever the hash changes: older entries are then dropped.
// 2: pictures are hashed upright (orientation tag applied) and with their
// transparent parts shown; hashes of version 1 describe other grey pictures.
constexpr std::uint32_t kVersion = 2;
constexpr std::size_t kHeaderBytes = 16;
constexpr std::size_t kRecordBytes = 8 * 6 + 2; // device, inode, size, time, hash, pixels, mean, flags
constexpr std::size_t kMaxEntries = std::size_t{1} << 24;

std::uint64_t Fnv1a(const std::uint8_t* data, std::size_t size)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 0x100000001b3ull;
    return h;
}

void Put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint64_t Get(const std::uint8_t* in, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t{in[i]} << (8 * i);
    return value;
}

} // namespace

bool THashCache::Load(const std::string& path)
{
    FEntries.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (bytes.size() < kHeaderBytes + 8 || std::memcmp(bytes.data(), kMagic, 8) != 0) return false;
    const std::uint64_t version = Get(bytes.data() + 8, 4);
    const std::uint64_t count = Get(bytes.data() + 12, 4);
    if (version != kVersion || count > kMaxEntries || bytes.size() != kHeaderBytes + count * kRecordBytes + 8)
        return false;
    if (Fnv1a(bytes.data(), bytes.size() - 8) != Get(bytes.data() + bytes.size() - 8, 8)) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* r = bytes.data() + kHeaderBytes + i * kRecordBytes;
        TEntry entry{Get(r + 16, 8), static_cast<std::int64_t>(Get(r + 24, 8)), {}};
        entry.Value.Hash.Hash = Get(r + 32, 8);
        entry.Value.Pixels = Get(r + 40, 8);
        entry.Value.Hash.Mean = r[48];
        entry.Value.Decoded = (r[49] & 1) != 0;
        FEntries[TKey{Get(r, 8), Get(r + 8, 8)}] = entry;
    }
    return true;
}

bool THashCache::Save(const std::string& path) const
{
    std::vector<std::uint8_t> out(kMagic, kMagic + 8);
    const std::size_t count = std::min(FEntries.size(), kMaxEntries);
    Put(out, kVersion, 4);
    Put(out, count, 4);
    std::size_t written = 0;
    for (const auto& [key, entry] : FEntries) {
        if (written++ == count) break;
        for (std::uint64_t v :
             {key.Device, key.Inode, entry.Size, static_cast<std::uint64_t>(entry.ModifiedNs),
              entry.Value.Hash.Hash, entry.Value.Pixels})
            Put(out, v, 8);
        out.push_back(entry.Value.Hash.Mean);
        out.push_back(entry.Value.Decoded ? 1 : 0);
    }
    Put(out, Fnv1a(out.data(), out.size()), 8);

    std::error_code error;
    const std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), error);
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size() && std::fflush(file) == 0 &&
                    ::fsync(fileno(file)) == 0;
    if (std::fclose(file) != 0 || !ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
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
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/') return std::string(cache) + "/Quorvane/similar-hashes.bin";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.cache/Quorvane/similar-hashes.bin";
    return {};
}

} // namespace quorvane
