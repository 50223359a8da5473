// Reading a batch of listed files of one directory with few system calls:
// each file is opened (as OpenListedFile does), read at the offsets asked,
// then its status is taken from the open descriptor after the reads, and it
// is closed. With io_uring the opens of a batch go in one submission and its
// reads and status requests in another; without it (an old kernel, or a
// sandbox that forbids it) the same steps run as plain system calls. Both
// ways leave the same answers, so a caller cannot tell which one ran.
#pragma once

#include "TFileRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

struct statx;

namespace quorvane {

// How one read is made, as the plain functions of ContentsRead.h make it.
enum class TBatchReadKind : std::uint8_t {
    Expected, // ReadExpected: a file of Length bytes from its start (room for one more)
    At        // ReadAt: up to Length bytes at Offset, fewer at the end of the file
};

struct TBatchRead {
    TBatchReadKind Kind = TBatchReadKind::At;
    std::size_t Length = 0;
    off_t Offset = 0;
    std::size_t Data = 0; // where its bytes start in the batch's buffer
    ssize_t Got = 0;      // as the plain function returns it: -1 on an error
    int Error = 0;        // errno when Got is -1
};

inline constexpr std::size_t kMaxBatchReads = 6;

struct TBatchFile {
    int DirFd = -1;
    const char* Name = nullptr;
    bool Opened = false;
    int OpenError = 0; // errno of a failed open (0: a link stood there)
    // The reads, in order. Once one returned less than it asked for (or
    // failed), the later ones say nothing: read them as not made.
    std::uint8_t ReadCount = 0;
    TBatchRead Reads[kMaxBatchReads];
    bool Statted = false; // Status holds the status taken after the reads
    int StatError = 0;
    struct stat Status = {};
};

// Whether batches may use io_uring (true unless turned off). Tests turn it
// off to compare the two ways; a ring that cannot be set up turns into the
// plain way by itself.
void SetFileBatchRingAllowed(bool allowed);

class TFileBatch {
  public:
    // Files per batch: few enough that the descriptors held open at once
    // by all threads stay far below the usual limit of 1024.
    static constexpr std::size_t kMaxFiles = 16;

    // ring false: plain system calls whatever the kernel offers.
    explicit TFileBatch(bool ring = true);
    ~TFileBatch();
    TFileBatch(const TFileBatch&) = delete;
    TFileBatch& operator=(const TFileBatch&) = delete;

    // True when this batch reads through io_uring.
    bool UsesRing() const;

    // Adds name (relative to dirFd, which must stay open until Run ends).
    void AddFile(int dirFd, const char* name);
    // Adds a read to the last file added.
    void AddRead(TBatchReadKind kind, std::size_t length, off_t offset);
    std::size_t Size() const { return FCount; }
    bool Full() const { return FCount == kMaxFiles || FUsed >= kBufferBytes; }

    // Opens, reads, takes the status of and closes every file added. A
    // file's failures are answers (TBatchFile); only a ring that fails as a
    // whole throws (std::system_error).
    void Run();
    const TBatchFile& File(std::size_t i) const { return FFiles[i]; }
    const unsigned char* Data(const TBatchRead& read) const { return FBuffer.data() + read.Data; }
    // Forgets the files (their answers included) for the next batch.
    void Clear();

  private:
    // A batch is run once its reads hold this many bytes.
    static constexpr std::size_t kBufferBytes = 2 * 1024 * 1024;
    struct TRing;

    void RunPlain(TBatchFile& file);
    void OpenInRing();
    void ReadInRing();
    // The answers the ring gave for file, open as fd: results[r] for read
    // r, results[kMaxBatchReads] for the status (in status).
    void TakeRingAnswers(int fd, TBatchFile& file, const int* results, const struct statx& status);

    TBatchFile FFiles[kMaxFiles];
    std::size_t FCount = 0;
    std::vector<unsigned char> FBuffer; // grows, never shrinks: bytes are not cleared for each batch
    std::size_t FUsed = 0;              // bytes of FBuffer the batch's reads hold
    std::unique_ptr<TRing> FRing;       // null: plain system calls
};

// One thread's batch in a contents pass: the slots whose files it holds,
// all of one directory (the one its opener holds open).
class TSlotBatch {
  public:
    const TFileBatch& Files() const { return FFiles; }

    // Runs the batch first when row's file cannot join it (another
    // directory, or no room left), handing each file to take(slot, file).
    template <class TTake> void MakeRoomFor(const TFileRecord& row, TTake take)
    {
        if (FFiles.Size() > 0 && (row.Directory.get() != FDirectory || FFiles.Full())) Run(take);
    }
    // Makes the next file added the one of slot (row); add it and its reads
    // to what this returns.
    TFileBatch& Add(std::size_t slot, const TFileRecord& row)
    {
        FSlots[FFiles.Size()] = slot;
        FDirectory = row.Directory.get();
        return FFiles;
    }
    template <class TTake> void Run(TTake take)
    {
        if (FFiles.Size() == 0) return;
        FFiles.Run();
        for (std::size_t i = 0; i < FFiles.Size(); ++i)
            take(FSlots[i], FFiles.File(i));
        FFiles.Clear();
    }

  private:
    TFileBatch FFiles;
    std::size_t FSlots[TFileBatch::kMaxFiles] = {};
    const std::string* FDirectory = nullptr;
};

// One TSlotBatch per thread of a contents pass.
std::vector<std::unique_ptr<TSlotBatch>> SlotBatches(unsigned threads);

} // namespace quorvane
