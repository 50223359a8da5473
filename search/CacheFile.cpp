// The cache file format and its safe reading and writing.
#include "CacheFile.h"

#include "AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

constexpr std::size_t kHeaderBytes = 16;
constexpr std::size_t kChecksumBytes = 8;

std::uint64_t Fnv1a(const std::uint8_t* data, std::size_t size)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 0x100000001b3ull;
    return h;
}

// Reads length bytes at offset; false on an error or a short read.
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

} // namespace

void PutCacheField(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes)
{
    // One resize, then plain stores: a million records are written per save.
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(bytes));
    std::uint8_t* to = out.data() + at;
    for (int i = 0; i < bytes; ++i)
        to[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t GetCacheField(const std::uint8_t* in, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t{in[i]} << (8 * i);
    return value;
}

bool ReadCacheRecords(const std::string& path, const TCacheFormat& format, std::vector<std::uint8_t>& records,
                      std::size_t& count)
{
    records.clear();
    count = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    std::uint8_t header[kHeaderBytes];
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<std::uint64_t>(st.st_size) >= kHeaderBytes + kChecksumBytes &&
              ReadFully(fd, header, kHeaderBytes, 0) && std::memcmp(header, format.Magic, 8) == 0 &&
              GetCacheField(header + 8, 4) == format.Version;
    const std::uint64_t announced = ok ? GetCacheField(header + 12, 4) : 0;
    const auto fileSize = static_cast<std::uint64_t>(ok ? st.st_size : 0);
    const std::uint64_t body = format.RecordBytes != 0
                                   ? announced * format.RecordBytes
                                   : fileSize - std::min(fileSize, kHeaderBytes + kChecksumBytes);
    const std::uint64_t length = kHeaderBytes + body + kChecksumBytes;
    ok = ok && announced <= format.MaxRecords && (format.RecordBytes != 0 || body <= format.MaxBodyBytes) &&
         fileSize == length;
    std::vector<std::uint8_t> bytes;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(length));
        // One byte more must not be there: a file that grew is not trusted.
        std::uint8_t extra = 0;
        ok = ReadFully(fd, bytes.data(), bytes.size(), 0) &&
             ::pread(fd, &extra, 1, static_cast<off_t>(length)) == 0;
    }
    ::close(fd);
    if (!ok) return false;
    const std::size_t checked = bytes.size() - kChecksumBytes;
    if (Fnv1a(bytes.data(), checked) != GetCacheField(bytes.data() + checked, 8)) return false;
    records.assign(bytes.begin() + kHeaderBytes, bytes.begin() + static_cast<std::ptrdiff_t>(checked));
    count = static_cast<std::size_t>(announced);
    return true;
}

bool WriteCacheRecords(const std::string& path, const TCacheFormat& format,
                       const std::vector<std::uint8_t>& records, std::size_t count)
{
    const bool fits = format.RecordBytes != 0 ? records.size() == count * format.RecordBytes
                                              : records.size() <= format.MaxBodyBytes;
    if (path.empty() || count > format.MaxRecords || !fits) return false;
    std::vector<std::uint8_t> out(format.Magic, format.Magic + 8);
    out.reserve(kHeaderBytes + records.size() + kChecksumBytes);
    PutCacheField(out, format.Version, 4);
    PutCacheField(out, count, 4);
    out.insert(out.end(), records.begin(), records.end());
    PutCacheField(out, Fnv1a(out.data(), out.size()), 8);
    return ReplaceFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(out.data()), out.size()), 0600, true);
}

std::string DefaultCacheFolder()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/') return std::string(cache) + "/Quorvane";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.cache/Quorvane";
    return {};
}

} // namespace quorvane
