// The cache file: a 16-byte header (magic "QVSIMHSH", format version, entry
// count), fixed-size little-endian records, and a 64-bit FNV-1a checksum of
// all bytes before it. The file is trusted only as a regular file of exactly
// the length its header gives; then the whole file is read and checked
// before any entry is used. Any failure means "no cache", never an error.
#include "HashCache.h"

#include "TFileRecord.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
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

// Reads up to length bytes at offset; false on an error or a short read.
bool ReadFully(int fd, std::uint8_t* to, std::size_t length, off_t offset)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, to + done, length - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Reads the cache file into bytes when it is a regular file (not through a
// link, never blocking on a FIFO) whose length is exactly what its header
// announces, within kMaxEntries: a junk or endless file costs one header.
bool ReadCacheFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    std::uint8_t header[kHeaderBytes];
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<std::uint64_t>(st.st_size) >= kHeaderBytes + 8 &&
              ReadFully(fd, header, kHeaderBytes, 0) && std::memcmp(header, kMagic, 8) == 0 &&
              Get(header + 8, 4) == kVersion;
    const std::uint64_t count = ok ? Get(header + 12, 4) : 0;
    const std::uint64_t length = kHeaderBytes + count * kRecordBytes + 8;
    ok = ok && count <= kMaxEntries && static_cast<std::uint64_t>(st.st_size) == length;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(length));
        // One byte more must not be there: a file that grew is not trusted.
        std::uint8_t extra = 0;
        ok = ReadFully(fd, bytes.data(), bytes.size(), 0) &&
             ::pread(fd, &extra, 1, static_cast<off_t>(length)) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

bool THashCache::Load(const std::string& path)
{
    FEntries.clear();
    std::vector<std::uint8_t> bytes;
    if (!ReadCacheFile(path, bytes)) return false;
    if (Fnv1a(bytes.data(), bytes.size() - 8) != Get(bytes.data() + bytes.size() - 8, 8)) return false;
    const std::size_t count = (bytes.size() - kHeaderBytes - 8) / kRecordBytes;
    FEntries.reserve(count);
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
