// THashCache: the picture hashes of earlier searches, one entry per file
// (device, inode) valid only while the file keeps its size and modification
// time. Stored in one file that is trusted only when its magic, version,
// length and checksum all agree; anything else is ignored and rebuilt.
// Written to a temporary file and renamed, so a reader never sees half.
#pragma once

#include "CacheFile.h"
#include "PerceptualHash.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace quorvane {

struct TFileRecord;

struct TCachedHash {
    bool Decoded = false; // false: the file could not be decoded
    TPictureHash Hash;
    std::uint64_t Pixels = 0;
    std::optional<TShapeMask> Shape; // the outline of a transparent picture
    // The hash of an opaque picture's centre, for cropped copies; computed
    // only when a search asks for them.
    std::optional<TPictureHash> Centre;
};

class THashCache {
  public:
    // Loads path; a missing, foreign, damaged or oversized file, one that is
    // not a regular file (a folder, a FIFO, a device or a link to one) or
    // that cannot be read gives an empty cache. Never throws for the file's
    // sake, never blocks on it. Returns whether the file was loaded.
    bool Load(const std::string& path);
    // Writes the cache atomically, creating the folder when needed. Returns
    // false (and leaves any older file in place) when it cannot.
    bool Save(const std::string& path) const;

    // The entry of file when it still has the size and time it had.
    std::optional<TCachedHash> Find(const TFileRecord& file) const;
    void Store(const TFileRecord& file, const TCachedHash& hash);
    std::size_t Count() const { return FEntries.size(); }

  private:
    bool Discard();
    using TKey = TCacheKey;
    struct TEntry {
        std::uint64_t Size;
        std::int64_t ModifiedNs;
        TCachedHash Value;
    };
    std::unordered_map<TKey, TEntry, TCacheKeyHash> FEntries;
};

// The cache file of both front ends, in the folder $XDG_CACHE_HOME/Quorvane
// (an absolute XDG_CACHE_HOME only), else ~/.cache/Quorvane; empty when
// neither is known.
std::string DefaultHashCachePath();

} // namespace quorvane
