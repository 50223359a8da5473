// The capture cache file: a 24-byte header (magic "QVCAPTUR", format
// version, entry count, record bytes), records of fixed fields and three
// short texts (each a length byte and at most kMaxText bytes), and a 64-bit
// FNV-1a checksum of all bytes before it. The file is trusted only as a
// regular file of exactly the length its header gives, read whole and
// checked before any entry is used; every record is read within bounds.
// The file mechanics follow the picture hash cache's.
#include "CaptureCache.h"

#include "HashCache.h"
#include "PhotoCapture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorvane {

namespace {

constexpr char kMagic[8] = {'Q', 'V', 'C', 'A', 'P', 'T', 'U', 'R'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderBytes = 24;
constexpr std::size_t kFixedBytes = 8 * 5 + 1 + 2 + 4 * 2; // key, size, time, capture; flags; offset; sides
constexpr std::size_t kMaxText = 255;
constexpr std::size_t kMaxEntries = std::size_t{1} << 22;
constexpr std::uint64_t kMaxRecordBytes = std::uint64_t{kMaxEntries} * (kFixedBytes + 3 * (1 + kMaxText));

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

void PutText(std::vector<std::uint8_t>& out, const std::string& text)
{
    const std::size_t length = std::min(text.size(), kMaxText);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), text.begin(), text.begin() + std::ptrdiff_t(length));
}

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

// The whole file when it is a regular file (not through a link, never
// blocking on a FIFO) exactly as long as its header says.
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
    const std::uint64_t records = ok ? Get(header + 16, 8) : 0;
    ok = ok && count <= kMaxEntries && records <= kMaxRecordBytes &&
         static_cast<std::uint64_t>(st.st_size) == kHeaderBytes + records + 8;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::uint8_t extra = 0;
        ok = ReadFully(fd, bytes.data(), bytes.size(), 0) &&
             ::pread(fd, &extra, 1, static_cast<off_t>(bytes.size())) == 0;
    }
    ::close(fd);
    return ok;
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
    if (!ReadCacheFile(path, bytes)) return false;
    if (Fnv1a(bytes.data(), bytes.size() - 8) != Get(bytes.data() + bytes.size() - 8, 8)) return false;
    const std::size_t count = Get(bytes.data() + 12, 4), end = bytes.size() - 8;
    std::size_t at = kHeaderBytes;
    for (std::size_t i = 0; i < count; ++i) {
        if (kFixedBytes > end - at) break;
        const std::uint8_t* r = bytes.data() + at;
        TEntry entry{Get(r + 16, 8), static_cast<std::int64_t>(Get(r + 24, 8)), {}};
        TCaptureInfo& info = entry.Value;
        if (r[40] & 1) info.CaptureNs = static_cast<std::int64_t>(Get(r + 32, 8));
        info.HasOffset = (r[40] & 2) != 0;
        info.OffsetMinutes = static_cast<std::int16_t>(Get(r + 41, 2));
        info.Width = static_cast<std::uint32_t>(Get(r + 43, 4));
        info.Height = static_cast<std::uint32_t>(Get(r + 47, 4));
        const TKey key{Get(r, 8), Get(r + 8, 8)};
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
    std::vector<std::uint8_t> out(kMagic, kMagic + 8);
    {
        const std::lock_guard lock(FLock);
        if (!FChanged) return true;
        const std::size_t count = std::min(FEntries.size(), kMaxEntries);
        Put(out, kVersion, 4);
        Put(out, count, 4);
        Put(out, 0, 8); // the record bytes, filled in below
        std::size_t written = 0;
        for (const auto& [key, entry] : FEntries) {
            if (written++ == count) break;
            const TCaptureInfo& info = entry.Value;
            for (std::uint64_t v :
                 {key.Device, key.Inode, entry.Size, static_cast<std::uint64_t>(entry.ModifiedNs),
                  static_cast<std::uint64_t>(info.CaptureNs.value_or(0))})
                Put(out, v, 8);
            out.push_back(static_cast<std::uint8_t>((info.CaptureNs ? 1 : 0) | (info.HasOffset ? 2 : 0)));
            Put(out, static_cast<std::uint16_t>(info.OffsetMinutes), 2);
            Put(out, info.Width, 4);
            Put(out, info.Height, 4);
            PutText(out, info.OriginalText);
            PutText(out, info.SubSeconds);
            PutText(out, info.Model);
        }
        FChanged = false;
    }
    const std::uint64_t records = out.size() - kHeaderBytes;
    for (int i = 0; i < 8; ++i)
        out[16 + std::size_t(i)] = static_cast<std::uint8_t>(records >> (8 * i));
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
