// "All bytes": whole-contents equality of the files the grouping compares.
// Files are narrowed in stages: by size (the caller passes only files that
// share a size with another file), then by a hash of the first block and the
// last bytes, then by a hash of the whole file (XXH3, 128 bits) for the files
// still alike. Each file (device and inode) is read at most twice, in large
// sequential reads; files up to kWholeReadLimit are read once, whole.
#pragma once

#include "ContentsCache.h"
#include "ContentsRead.h"
#include "RunGrouping.h"
#include "ScanHost.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvane {

// Files up to this size are hashed whole with one read.
inline constexpr std::uint64_t kWholeReadLimit = 256 * 1024;
// The first block and the tail hashed in the first stage of larger files.
inline constexpr std::size_t kFirstBlockBytes = 64 * 1024;
inline constexpr std::size_t kTailBytes = 4 * 1024;
// The read size of the whole-file hash.
inline constexpr std::size_t kStreamBlockBytes = 1024 * 1024;

// Stages 1: Head holds; 2: Full holds too. Only files whose Full hashes
// agree share a class: a file that did not reach the whole-file stage is a
// class of its own, whatever its first stage says.
struct TFileDigest : TReadState {
    std::uint8_t Stages = 0;
    std::uint64_t Size = 0;
    std::uint64_t Head[2] = {0, 0}; // first block and tail (the whole file when small)
    std::uint64_t Full[2] = {0, 0}; // the whole file
};

// The class of each digest: equal classes only for equal size and equal
// whole-file hash. However the earlier stages sorted files, nothing is
// reported alike unless its whole contents were hashed alike; a digest that
// failed or stopped at the first stage is a class of its own.
std::vector<std::uint64_t> ClassesOfDigests(const std::vector<TFileDigest>& digests);

class TDigestStore : public TFileEntryClasses<TFileDigest> {
  public:
    // rows: catalogue indexes, ascending. One progress pass for the first
    // stage and, when some files are still alike, one for the whole-file
    // hashes; a cancel request is noticed between files and between reads.
    // Each file that could not be read, or changed, is told to host.
    // scan: as for TSampleStore::Read.
    void Read(const std::vector<TFileRecord>& catalogue, const std::vector<std::uint32_t>& rows,
              TScanHost& host, const TScanContext* scan = nullptr);

  private:
    // The digest of slot's file taken from the cache when the file, stated
    // through its directory without opening it, is the listed file in the
    // state the cache knows; true then.
    bool TakeFromCache(TDirectoryOpener& directories, const TFileRecord& row, std::size_t slot);
    void StoreInCache();
    bool Learnt(std::size_t slot) const; // a digest to store in the cache
    // Stores what this search hashed and writes the cache, when there is one.
    void SaveCache(const std::string& cachePath, TScanHost& host);
    std::vector<std::uint32_t> FilesStillAlike() const;
    void HashWholeFiles(const std::vector<TFileRecord>& catalogue, const std::vector<std::uint32_t>& slots,
                        TScanHost& host, const TScanContext* scan);

    std::unique_ptr<TContentsCache> FCache; // during Read, when the host keeps one
    std::vector<TCachedFileState> FStates;  // per slot: the state its digest was made from
    std::vector<std::uint8_t> FFromCache;   // per slot: 1 when the digest came from the cache
    std::int64_t FStartNs = 0;              // the coarse clock when the search began reading
};

} // namespace quorvane
