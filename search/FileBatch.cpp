// Batches of file reads: io_uring when the kernel offers it, plain system
// calls otherwise. A read the ring answered short (or with EAGAIN or EINTR),
// or any read of what is not a regular file, is done again the plain way on
// the same descriptor, status included, so the answers never depend on how
// the ring split the work.
#include "FileBatch.h"

#include "ContentsRead.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <liburing.h>
#include <linux/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <unistd.h>

namespace quorvane {

namespace {

std::atomic<bool> ringAllowed{true};

constexpr unsigned kRingEntries = 128;
// A batch's reads and status requests, and the closes of the batch before,
// fit the queue at once: a chain of linked requests is never cut in two by
// a submission made for want of room.
static_assert(TFileBatch::kMaxFiles * (kMaxBatchReads + 2) <= kRingEntries);
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;
// user_data of a close, whose answer nobody waits for.
constexpr std::uint64_t kCloseTag = ~std::uint64_t{0};
// user_data of a status request: the file's index plus this.
constexpr std::uint64_t kStatTag = std::uint64_t{1} << 32;

std::uint64_t ReadTag(std::size_t file, std::size_t read)
{
    return (static_cast<std::uint64_t>(read + 1) << 40) | file;
}

// The byte count a read asks for; any other answer ends the file's reads.
ssize_t Wanted(const TBatchRead& read)
{
    return static_cast<ssize_t>(read.Length);
}

// The bytes the read asks of the system: one more for a whole file, to see
// one that grew.
std::size_t AskedBytes(const TBatchRead& read)
{
    return read.Kind == TBatchReadKind::Expected ? read.Length + 1 : read.Length;
}

// True when the ring's answer res is what the plain function would return
// from its first system call and then stop: anything else (a short read it
// would continue, an interrupted or refused one) is done the plain way.
bool Settled(const TBatchRead& read, int res)
{
    if (res == -EAGAIN || res == -EINTR) return false;
    if (res <= 0) return true;
    return static_cast<std::size_t>(res) >= read.Length;
}

void StatusFromStatx(const struct statx& sx, struct stat& st)
{
    st = {};
    st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    st.st_ino = static_cast<ino_t>(sx.stx_ino);
    st.st_mode = sx.stx_mode;
    st.st_nlink = sx.stx_nlink;
    st.st_uid = sx.stx_uid;
    st.st_gid = sx.stx_gid;
    st.st_size = static_cast<off_t>(sx.stx_size);
    st.st_mtim = timespec{static_cast<time_t>(sx.stx_mtime.tv_sec), static_cast<long>(sx.stx_mtime.tv_nsec)};
    st.st_ctim = timespec{static_cast<time_t>(sx.stx_ctime.tv_sec), static_cast<long>(sx.stx_ctime.tv_nsec)};
    st.st_atim = timespec{static_cast<time_t>(sx.stx_atime.tv_sec), static_cast<long>(sx.stx_atime.tv_nsec)};
}

// The reads and the status of file, open as fd, by plain system calls.
void ReadAndStatPlain(int fd, TBatchFile& file, unsigned char* buffer)
{
    for (std::size_t r = 0; r < file.ReadCount; ++r) {
        TBatchRead& read = file.Reads[r];
        unsigned char* data = buffer + read.Data;
        read.Got = read.Kind == TBatchReadKind::Expected ? ReadExpected(fd, data, read.Length)
                                                         : ReadAt(fd, data, read.Length, read.Offset);
        read.Error = read.Got < 0 ? errno : 0;
        if (read.Got != Wanted(read)) break;
    }
    file.Statted = fstat(fd, &file.Status) == 0;
    file.StatError = file.Statted ? 0 : errno;
}

} // namespace

void SetFileBatchRingAllowed(bool allowed)
{
    ringAllowed.store(allowed);
}

struct TFileBatch::TRing {
    io_uring Ring{};
    unsigned PendingCloses = 0;
    int Fds[kMaxFiles] = {};
    struct statx Status[kMaxFiles] = {};

    bool Ready = false;

    // Sets the ring up; false when the kernel lacks io_uring, forbids it,
    // or lacks one of the operations a batch needs.
    bool Init()
    {
        if (io_uring_queue_init(kRingEntries, &Ring, 0) != 0) return false;
        Ready = true;
        io_uring_probe* probe = io_uring_get_probe_ring(&Ring);
        const bool usable = probe && io_uring_opcode_supported(probe, IORING_OP_OPENAT) &&
                            io_uring_opcode_supported(probe, IORING_OP_READ) &&
                            io_uring_opcode_supported(probe, IORING_OP_STATX) &&
                            io_uring_opcode_supported(probe, IORING_OP_CLOSE);
        if (probe) io_uring_free_probe(probe);
        return usable;
    }

    ~TRing()
    {
        if (!Ready) return;
        // The closes still queued or unanswered; a ring that fails here is
        // left to the kernel, which finishes them when the ring goes.
        if (Submit() >= 0) {
            while (PendingCloses > 0) {
                io_uring_cqe* cqe = nullptr;
                const int waited = io_uring_wait_cqe(&Ring, &cqe);
                if (waited == -EINTR) continue;
                if (waited < 0) break;
                io_uring_cqe_seen(&Ring, cqe);
                --PendingCloses;
            }
        }
        io_uring_queue_exit(&Ring);
    }

    int Submit()
    {
        int submitted = 0;
        do
            submitted = io_uring_submit(&Ring);
        while (submitted == -EINTR);
        return submitted;
    }

    // Submits what is queued and takes answers until count of them (closes
    // aside) and every earlier close are in; each goes to take(tag, res).
    // Throws std::system_error when the ring itself fails (out of kernel
    // memory): waiting on would wait for answers that never come.
    template <class TTake> void Wait(unsigned count, TTake take)
    {
        const int submitted = Submit();
        if (submitted < 0) throw std::system_error(-submitted, std::generic_category(), "io_uring_submit");
        while (count > 0 || PendingCloses > 0) {
            io_uring_cqe* cqe = nullptr;
            const int waited = io_uring_wait_cqe(&Ring, &cqe);
            if (waited == -EINTR) continue;
            if (waited < 0) throw std::system_error(-waited, std::generic_category(), "io_uring_wait_cqe");
            const std::uint64_t tag = cqe->user_data;
            const int res = cqe->res;
            io_uring_cqe_seen(&Ring, cqe);
            if (tag == kCloseTag) {
                --PendingCloses;
                continue;
            }
            take(tag, res);
            --count;
        }
    }

    // The next queue entry; a full queue is submitted first (a batch never
    // fills the queue more than once between waits).
    io_uring_sqe* Next()
    {
        io_uring_sqe* sqe = io_uring_get_sqe(&Ring);
        if (!sqe) {
            const int submitted = Submit();
            if (submitted < 0)
                throw std::system_error(-submitted, std::generic_category(), "io_uring_submit");
            sqe = io_uring_get_sqe(&Ring);
            if (!sqe) throw std::system_error(EBUSY, std::generic_category(), "io_uring_get_sqe");
        }
        return sqe;
    }
};

TFileBatch::TFileBatch(bool ring)
{
    if (!ring || !ringAllowed.load()) return;
    auto made = std::make_unique<TRing>();
    if (made->Init()) FRing = std::move(made);
}

TFileBatch::~TFileBatch() = default;

bool TFileBatch::UsesRing() const
{
    return FRing != nullptr;
}

void TFileBatch::AddFile(int dirFd, const char* name)
{
    TBatchFile& file = FFiles[FCount++];
    file = TBatchFile{};
    file.DirFd = dirFd;
    file.Name = name;
}

void TFileBatch::AddRead(TBatchReadKind kind, std::size_t length, off_t offset)
{
    TBatchFile& file = FFiles[FCount - 1];
    TBatchRead& read = file.Reads[file.ReadCount++];
    read.Kind = kind;
    read.Length = length;
    read.Offset = kind == TBatchReadKind::Expected ? 0 : offset;
    read.Data = FUsed;
    FUsed += AskedBytes(read);
    if (FBuffer.size() < FUsed) FBuffer.resize(FUsed);
}

void TFileBatch::Clear()
{
    FCount = 0;
    FUsed = 0;
}

void TFileBatch::RunPlain(TBatchFile& file)
{
    const TFileHandle fd(OpenListedFile(file.DirFd, file.Name));
    if (fd.Fd() < 0) {
        file.OpenError = errno;
        return;
    }
    file.Opened = true;
    ReadAndStatPlain(fd.Fd(), file, FBuffer.data());
}

void TFileBatch::Run()
{
    if (!FRing) {
        for (std::size_t i = 0; i < FCount; ++i)
            RunPlain(FFiles[i]);
        return;
    }
    OpenInRing();
    ReadInRing();
}

void TFileBatch::OpenInRing()
{
    TRing& ring = *FRing;
    // The opens, in one submission (with the closes of the batch before).
    for (std::size_t i = 0; i < FCount; ++i) {
        io_uring_sqe* sqe = ring.Next();
        io_uring_prep_openat(sqe, FFiles[i].DirFd, FFiles[i].Name, kOpenFlags, 0);
        sqe->user_data = i;
    }
    ring.Wait(static_cast<unsigned>(FCount), [&](std::uint64_t tag, int res) {
        TBatchFile& file = FFiles[tag];
        ring.Fds[tag] = res;
        file.Opened = res >= 0;
        // As OpenListedFile: a link put in the file's place is no error.
        file.OpenError = res >= 0 || res == -ELOOP ? 0 : -res;
    });
}

void TFileBatch::ReadInRing()
{
    TRing& ring = *FRing;
    // The reads of each open file, then its status, linked so that the
    // status is taken after them.
    unsigned answers = 0;
    for (std::size_t i = 0; i < FCount; ++i) {
        const TBatchFile& file = FFiles[i];
        if (!file.Opened) continue;
        for (std::size_t r = 0; r < file.ReadCount; ++r) {
            const TBatchRead& read = file.Reads[r];
            io_uring_sqe* sqe = ring.Next();
            io_uring_prep_read(sqe, ring.Fds[i], FBuffer.data() + read.Data,
                               static_cast<unsigned>(AskedBytes(read)),
                               static_cast<std::uint64_t>(read.Offset));
            sqe->flags |= IOSQE_IO_HARDLINK;
            sqe->user_data = ReadTag(i, r);
        }
        io_uring_sqe* sqe = ring.Next();
        io_uring_prep_statx(sqe, ring.Fds[i], "", AT_EMPTY_PATH, STATX_BASIC_STATS, &ring.Status[i]);
        sqe->user_data = kStatTag + i;
        answers += file.ReadCount + 1u;
    }
    int results[kMaxFiles][kMaxBatchReads + 1] = {};
    ring.Wait(answers, [&](std::uint64_t tag, int res) {
        if (tag >= kStatTag && tag < kStatTag + kMaxFiles)
            results[tag - kStatTag][kMaxBatchReads] = res;
        else
            results[tag & 0xFFFFFFFF][(tag >> 40) - 1] = res;
    });
    for (std::size_t i = 0; i < FCount; ++i) {
        TBatchFile& file = FFiles[i];
        if (!file.Opened) continue;
        TakeRingAnswers(ring.Fds[i], file, results[i], ring.Status[i]);
        io_uring_sqe* sqe = ring.Next();
        io_uring_prep_close(sqe, ring.Fds[i]);
        sqe->user_data = kCloseTag;
        ++ring.PendingCloses;
    }
    // The closes go with the next submission (or the ring's end).
}

void TFileBatch::TakeRingAnswers(int fd, TBatchFile& file, const int* results, const struct statx& status)
{
    // Something other than a regular file (a FIFO, which pread refuses
    // while the ring reads it as a stream) is read again the plain way too.
    const bool regular = results[kMaxBatchReads] == 0 && S_ISREG(status.stx_mode);
    for (std::size_t r = 0; r < file.ReadCount; ++r) {
        if (!regular || !Settled(file.Reads[r], results[r])) {
            ReadAndStatPlain(fd, file, FBuffer.data());
            return;
        }
    }
    for (std::size_t r = 0; r < file.ReadCount; ++r) {
        TBatchRead& read = file.Reads[r];
        read.Got = results[r] < 0 ? -1 : results[r];
        read.Error = results[r] < 0 ? -results[r] : 0;
        if (read.Got != Wanted(read)) break;
    }
    const int statted = results[kMaxBatchReads];
    file.Statted = statted == 0;
    file.StatError = statted < 0 ? -statted : 0;
    if (file.Statted) StatusFromStatx(status, file.Status);
}

std::vector<std::unique_ptr<TSlotBatch>> SlotBatches(unsigned threads)
{
    std::vector<std::unique_ptr<TSlotBatch>> batches;
    for (unsigned w = 0; w < std::max(threads, 1u); ++w)
        batches.push_back(std::make_unique<TSlotBatch>());
    return batches;
}

} // namespace quorvane
