// The sampled comparison of contents. A file's sample is the bytes at offsets
// 0, size/5, 2*size/5, ... (every byte below five bytes), read through a
// descriptor opened without following links or blocking, and only from a
// regular file. Failures are recorded with the sample and raised, with the
// program's messages, only when a comparison needs that file.
#pragma once

#include "ContentsRead.h"
#include "DuplicateSearch.h"
#include "FileScan.h"
#include "RunGrouping.h"
#include "ScanHost.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quorvane {

// At most 9 offsets are sampled (a file of 9 bytes: every byte).
inline constexpr std::size_t kMaxSampledBytes = 9;

// Opened false: "Cannot open file" when compared; ReadFailed (or Changed):
// a read failed, or fell short, after the bytes held.
struct TFileSample : TReadState {
    std::uint8_t Count = 0; // sampled bytes held
    unsigned char Bytes[kMaxSampledBytes] = {};
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;

    void Append(unsigned char byte) { Bytes[Count++] = byte; }
};

// Opens name relative to dirFd (AT_FDCWD for a path) and reads its sample;
// buffer is scratch space kept between calls. row, when given, is what the
// scan saw: a file that no longer matches it is Changed and not read.
TFileSample SampleFile(int dirFd, const char* name, std::vector<unsigned char>& buffer,
                       const TFileRecord* row = nullptr);

// The comparison of candidate A with reference B as it would run on the two
// open files: A's failure to open first, then B's; sizes; then offset by
// offset, A's byte then B's, stopping at the first difference. Throws
// EFileReadError; the paths are only for its message. Two samples of one
// file compare like any two (the grouping never pairs rows of one file).
bool SameSamples(const TFileSample& a, const std::string& pathA, const TFileSample& b,
                 const std::string& pathB);

// Samples of catalogue rows, read ahead directory by directory (a name
// relative to its open directory is far cheaper to open than a full path).
// Rows of one file (same device and inode) share one sample: each file is
// read once.
class TSampleStore : public TFileEntryClasses<TFileSample> {
  public:
    // rows: catalogue indexes, ascending (so rows of one directory meet).
    // Reports each file read as a progress step; polls host for a cancel
    // request between files; tells host of each file that could not be read.
    // scan, when given, is where the rows were read (their directories are
    // then opened from the input directories, level by level).
    void Read(const std::vector<TFileRecord>& catalogue, const std::vector<std::uint32_t>& rows,
              TScanHost& host, const TScanContext* scan = nullptr);
};

} // namespace quorvane
