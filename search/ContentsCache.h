// TContentsCache: the contents hashes of earlier "All bytes" searches, so
// that a file unchanged since is not read again. An entry is keyed by
// (device, inode) and valid only while the file keeps its size, its
// last-write time and its status-change time, all to the nanosecond: a write
// that puts the old time back still moves the status-change time, which no
// user can set. Stored in the shared cache file format; a damaged file is
// ignored and rebuilt. Invariant: the digests it gives were computed from the
// very file state the key describes, so they are as good as fresh ones.
#pragma once

#include "CacheFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

struct TCachedDigest {
    std::uint8_t Stages = 0; // 1: Head only; 2: Full too
    std::uint64_t Head[2] = {0, 0};
    std::uint64_t Full[2] = {0, 0};
};

// The file state an entry stands for.
struct TCachedFileState {
    std::uint64_t Device = 0, Inode = 0, Size = 0;
    std::int64_t ModifiedNs = 0, StatusChangedNs = 0;
};

class TContentsCache {
  public:
    // At most this many entries are kept; those used by the latest search
    // are kept first.
    static constexpr std::size_t kMaxEntries = std::size_t{1} << 21;

    // Loads path; false (and an empty cache) when there is no trustworthy file.
    bool Load(const std::string& path);
    // Writes the cache when anything changed since Load; false when it could not.
    bool Save(const std::string& path);

    // The digest of a file in this state, when one is known.
    const TCachedDigest* Find(const TCachedFileState& state);
    void Store(const TCachedFileState& state, const TCachedDigest& digest);
    // Room for count more entries, so that storing them grows nothing.
    void Reserve(std::size_t count);
    std::size_t Count() const { return FEntries.size(); }

  private:
    struct TEntry {
        TCacheKey Key;
        std::uint64_t Size;
        std::int64_t ModifiedNs, StatusChangedNs;
        TCachedDigest Digest;
        bool Used = false; // found or stored since Load
    };
    // The entry of key, or kNone. An open-addressing table of indexes into
    // FEntries (linear probing, at most half full): a million entries load
    // without a million allocations, and a lookup touches one slot or two.
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    std::uint32_t IndexOf(const TCacheKey& key) const;
    void Insert(const TEntry& entry);
    void Rebuild(std::size_t capacity);

    std::vector<TEntry> FEntries;
    std::vector<std::uint32_t> FTable; // a power of two in size, kNone where empty
    bool FChanged = false;
};

// The contents cache file of both front ends, in DefaultCacheFolder().
std::string DefaultContentsCachePath();

} // namespace quorvane
