// TCaptureCache: the capture info (date, camera, size) of photos read
// before, one entry per file (device, inode) valid only while the file keeps
// its size and modification time (nanoseconds). Kept beside the picture
// hashes in one file trusted only when its magic, version, length and
// checksum all agree; written to a temporary file and renamed. Any thread
// may look up and store; Load and Save take the same lock.
#pragma once

#include "CacheFile.h"
#include "CaptureInfo.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace quorvane {

class TCaptureCache {
  public:
    // Loads path; a missing, foreign, damaged or oversized file, or one that
    // is not a regular file, gives an empty cache. Returns whether it loaded.
    bool Load(const std::string& path);
    // Loads path the first time it is called (on whichever thread asks
    // first); later calls return at once.
    void LoadOnce(const std::string& path);
    // Writes the cache atomically when anything was stored since the last
    // Load or Save, creating the folder when needed; false when it cannot.
    bool Save(const std::string& path);

    // The capture info of the file at path: the cached entry while the file
    // keeps its device, inode, size and time, else read (ReadCaptureInfo)
    // and stored. A file that cannot be examined gives an empty info.
    TCaptureInfo Info(const std::string& path);
    std::size_t Count() const;

  private:
    using TKey = TCacheKey;
    struct TEntry {
        std::uint64_t Size;
        std::int64_t ModifiedNs;
        TCaptureInfo Value;
    };
    mutable std::mutex FLock;
    std::once_flag FLoaded;
    std::unordered_map<TKey, TEntry, TCacheKeyHash> FEntries;
    bool FChanged = false;
};

// The capture cache file of both front ends, in the folder of the picture
// hash cache (DefaultHashCachePath); empty when that is unknown.
std::string DefaultCaptureCachePath();

} // namespace quorvane
