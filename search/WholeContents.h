// "All bytes": whole-contents equality of the files the grouping compares.
// Files are narrowed in stages: by size (the caller passes only files that
// share a size with another file), then by a hash of the first block and the
// last bytes, then by a hash of the whole file (XXH3, 128 bits) for the files
// still alike. Each file (device and inode) is read at most twice, in large
// sequential reads; files up to kWholeReadLimit are read once, whole.
#pragma once

#include "ContentsRead.h"
#include "RunGrouping.h"
#include "ScanHost.h"

#include <cstdint>
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

struct TFileDigest {
    bool Opened = false;     // false: "Cannot open file" when compared
    bool ReadFailed = false; // a read failed after the stages held
    std::uint8_t Stages = 0; // 1: Head holds; 2: Full holds too
    std::uint64_t Size = 0;
    std::uint64_t Head[2] = {0, 0}; // first block and tail (the whole file when small)
    std::uint64_t Full[2] = {0, 0}; // the whole file
};

// The comparison of candidate A with reference B: A's failure to open, then
// B's; sizes; then stage by stage, stopping at the first difference; a stage
// that one file could not read is "Stream read error". Equal whole-file
// hashes count as equal contents (no byte comparison follows).
bool SameDigests(const TFileDigest& a, const std::string& pathA, const TFileDigest& b,
                 const std::string& pathB);

class TDigestStore : public TFileEntryClasses<TFileDigest, SameDigests> {
  public:
    // rows: catalogue indexes, ascending. One progress pass for the first
    // stage and, when some files are still alike, one for the whole-file
    // hashes; a cancel request is noticed between files and between reads.
    // scan: as for TSampleStore::Read.
    void Read(const std::vector<TFileRecord>& catalogue, const std::vector<std::uint32_t>& rows,
              TScanHost& host, const TScanContext* scan = nullptr);

  private:
    std::vector<std::uint32_t> FilesStillAlike() const;
    void HashWholeFiles(const std::vector<TFileRecord>& catalogue, const std::vector<std::uint32_t>& slots,
                        TScanHost& host, const TScanContext* scan);

    std::vector<std::uint32_t> FRowOf; // digest -> its first row
};

} // namespace quorvane
