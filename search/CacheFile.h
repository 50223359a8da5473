// The file mechanics shared by the caches of earlier work (picture hashes,
// contents hashes): a 16-byte header (an 8-byte magic, the format version,
// the record count), fixed-size little-endian records, and a 64-bit FNV-1a
// checksum of all bytes before it. A file is trusted only as a regular file
// of exactly the length its header gives, whose checksum holds; anything
// else reads as "no cache", never as an error. Writing goes to a temporary
// file in the same folder, synced and renamed, so a reader never sees half.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// The key of a file in every cache: its device and inode.
struct TCacheKey {
    std::uint64_t Device, Inode;
    bool operator==(const TCacheKey&) const = default;
};
struct TCacheKeyHash {
    std::size_t operator()(const TCacheKey& k) const noexcept
    {
        // Inodes are dense and devices few: mix both so neighbours spread.
        std::uint64_t h = (k.Device * 0x9E3779B97F4A7C15ull) ^ k.Inode;
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ull;
        return static_cast<std::size_t>(h ^ (h >> 32));
    }
};

struct TCacheFormat {
    char Magic[8];
    std::uint32_t Version;
    // The size of every record; 0 for records of their own lengths, whose
    // reader checks each against the end (the body is then all the file
    // holds between header and checksum, at most MaxBodyBytes).
    std::size_t RecordBytes;
    std::size_t MaxRecords; // a header announcing more is not believed
    std::uint64_t MaxBodyBytes = 0;
};

// The records of the cache file at path (count * RecordBytes bytes, or the
// whole body for records of their own lengths), or
// false when there is no trustworthy file there. Never blocks (a FIFO), never
// follows a link at path, never reads more than the header announces.
bool ReadCacheRecords(const std::string& path, const TCacheFormat& format, std::vector<std::uint8_t>& records,
                      std::size_t& count);

// Writes count records (records.size() == count * RecordBytes, or at most
// MaxBodyBytes for records of their own lengths) atomically,
// creating the folder when needed; false, with any older file left in place,
// when it cannot.
bool WriteCacheRecords(const std::string& path, const TCacheFormat& format,
                       const std::vector<std::uint8_t>& records, std::size_t count);

// Little-endian fields of a record.
void PutCacheField(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes);
std::uint64_t GetCacheField(const std::uint8_t* in, int bytes);

// The user's cache folder of both front ends: $XDG_CACHE_HOME/Quorvane (an
// absolute XDG_CACHE_HOME only), else ~/.cache/Quorvane; empty when neither
// is known.
std::string DefaultCacheFolder();

} // namespace quorvane
