// Sampled contents: one byte every fifth of the file (every byte below five
// bytes). Small files are read whole and sampled in memory, larger ones byte
// by byte at the offsets; the files the scan listed are read in batches of
// one directory (FileBatch.h). No descriptor outlives its sample's batch.
#include "ContentsCheck.h"

#include "ClassRuns.h"
#include "ContentsRead.h"
#include "FileBatch.h"
#include "ParallelSlots.h"
#include "TextCompare.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <numeric>
#include <string_view>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace quorvane {

namespace {

// Files up to this size are read whole: one system call beats six.
constexpr off_t kReadWholeLimit = off_t{64} * 1024;

// Fills the sample from the open file; a short read (the file shrank since
// fstat) ends the sample as Changed, a failed one as ReadFailed.
void ReadSampledBytes(int fd, TFileSample& sample, std::vector<unsigned char>& buffer)
{
    const off_t size = sample.Size;
    const off_t step = std::max<off_t>(size / 5, 1);
    const auto fail = [&](ssize_t got) {
        if (got < 0) sample.Error = errno;
        (got < 0 ? sample.ReadFailed : sample.Changed) = true;
    };
    if (size <= kReadWholeLimit) {
        // One byte more than the size: a file that grew before the read is
        // seen at once (one growing during it, by the check after it).
        buffer.resize(static_cast<std::size_t>(size) + 1);
        const ssize_t got = ReadExpected(fd, buffer.data(), static_cast<std::size_t>(size));
        if (got != size) return fail(got);
        for (off_t offset = 0; offset < size; offset += step)
            sample.Append(buffer[static_cast<std::size_t>(offset)]);
        return;
    }
    for (off_t offset = 0; offset < size; offset += step) {
        unsigned char byte = 0;
        const ssize_t got = ReadAt(fd, &byte, 1, offset);
        if (got != 1) return fail(got);
        sample.Append(byte);
    }
}

// Equal classes for equal samples: the same size and the same bytes. Only
// complete samples are classed; a failed one is never compared by class.
// The indexes are sorted by sample and each run of equal samples is
// numbered after its first index, so the numbers do not depend on the
// order the sort leaves equal samples in.
std::vector<std::uint64_t> ClassesOfSamples(const std::vector<TFileSample>& samples)
{
    const auto key = [&samples](std::uint32_t i) {
        const TFileSample& s = samples[i];
        return std::tuple(s.Size, std::string_view(reinterpret_cast<const char*>(s.Bytes), s.Count));
    };
    std::vector<std::uint32_t> order(samples.size());
    std::iota(order.begin(), order.end(), 0u);
    std::vector<std::uint64_t> classes(samples.size(), 0);
    NumberRunsOfEqualKeys(order, key, classes);
    return classes;
}

// Batched files up to this size are read whole: one page costs the kernel
// no more than one byte of it, while a byte read costs a batch little more
// than a queue entry; copying a larger file whole would cost more than its
// few byte reads.
constexpr off_t kBatchReadWholeLimit = 4096;

// Adds row's reads to batch: the whole file up to kBatchReadWholeLimit,
// else one byte at each sampled offset.
void AddSampleReads(TFileBatch& batch, int dirFd, const TFileRecord& row)
{
    batch.AddFile(dirFd, row.Name.c_str());
    const auto size = static_cast<off_t>(row.Size);
    if (size <= kBatchReadWholeLimit) {
        batch.AddRead(TBatchReadKind::Expected, static_cast<std::size_t>(size), 0);
        return;
    }
    const off_t step = std::max<off_t>(size / 5, 1);
    for (off_t offset = 0; offset < size; offset += step)
        batch.AddRead(TBatchReadKind::At, 1, offset);
}

// The sampled bytes of file's reads (AddSampleReads), as ReadSampledBytes
// takes them from the file.
void TakeSampledBytes(const TFileBatch& batch, const TBatchFile& file, TFileSample& sample)
{
    const off_t size = sample.Size;
    const auto fail = [&](const TBatchRead& read) {
        if (read.Got < 0) sample.Error = read.Error;
        (read.Got < 0 ? sample.ReadFailed : sample.Changed) = true;
    };
    if (size <= kBatchReadWholeLimit) {
        const TBatchRead& read = file.Reads[0];
        if (read.Got != size) return fail(read);
        const off_t step = std::max<off_t>(size / 5, 1);
        for (off_t offset = 0; offset < size; offset += step)
            sample.Append(batch.Data(read)[offset]);
        return;
    }
    for (std::size_t r = 0; r < file.ReadCount; ++r) {
        const TBatchRead& read = file.Reads[r];
        if (read.Got != 1) return fail(read);
        sample.Append(batch.Data(read)[0]);
    }
}

// The sample of a file the scan listed (row), from its batched reads and the
// one status check after them.
TFileSample SampleOfListedFile(const TFileBatch& batch, const TBatchFile& file, const TFileRecord& row)
{
    TFileSample sample;
    if (!file.Opened) {
        sample.Error = file.OpenError;
        return sample;
    }
    sample.Size = static_cast<off_t>(row.Size);
    TakeSampledBytes(batch, file, sample);
    const TAfterRead after = CheckStatusAfterRead(file.Statted, file.StatError, row, file.Status);
    if (after == TAfterRead::NotOpened) {
        sample = TFileSample{};
        sample.Error = errno;
        return sample;
    }
    if (after == TAfterRead::Changed) {
        sample = TFileSample{};
        sample.Changed = true;
    }
    sample.Opened = true;
    sample.Device = file.Status.st_dev;
    sample.Inode = file.Status.st_ino;
    sample.Size = file.Status.st_size;
    return sample;
}

} // namespace

TFileSample SampleFile(int dirFd, const char* name, std::vector<unsigned char>& buffer,
                       const TFileRecord* row)
{
    if (row && row->Inode != 0) {
        TFileBatch batch(false);
        AddSampleReads(batch, dirFd, *row);
        batch.Run();
        return SampleOfListedFile(batch, batch.File(0), *row);
    }
    TFileSample sample;
    struct stat st;
    const TFileHandle file(OpenRegularFile(dirFd, name, st));
    if (file.Fd() < 0) {
        sample.Error = errno;
        return sample;
    }
    sample.Opened = true;
    sample.Device = st.st_dev;
    sample.Inode = st.st_ino;
    sample.Size = st.st_size;
    if (row && ChangedSinceScan(*row, st)) {
        sample.Changed = true;
        return sample;
    }
    ReadSampledBytes(file.Fd(), sample, buffer);
    if (!sample.Failed() && ChangedWhileRead(file.Fd(), st)) sample.Changed = true;
    return sample;
}

bool SameSamples(const TFileSample& a, const std::string& pathA, const TFileSample& b,
                 const std::string& pathB)
{
    if (!a.Opened) throw EFileReadError("Cannot open file " + pathA);
    if (!b.Opened) throw EFileReadError("Cannot open file " + pathB);
    if (a.Size != b.Size) return false;
    const std::size_t count =
        std::max(a.Count + (a.ReadFailed || a.Changed), b.Count + (b.ReadFailed || b.Changed));
    for (std::size_t i = 0; i < count; ++i) {
        if (i >= a.Count || i >= b.Count) throw EFileReadError("Stream read error");
        if (a.Bytes[i] != b.Bytes[i]) return false;
    }
    return true;
}

bool SameContents(const std::string& pathA, const std::string& pathB, PathStyle style)
{
    const bool samePath = style == PathStyle::Windows ? SameFolded(pathA, pathB) : pathA == pathB;
    if (samePath) return true;
    std::vector<unsigned char> buffer;
    const TFileSample a = SampleFile(AT_FDCWD, pathA.c_str(), buffer);
    const TFileSample b = SampleFile(AT_FDCWD, pathB.c_str(), buffer);
    return SameSamples(a, pathA, b, pathB);
}

void TSampleStore::Read(const std::vector<TFileRecord>& catalogue, const std::vector<std::uint32_t>& rows,
                        TScanHost& host, const TScanContext* scan)
{
    FSlotOf.assign(catalogue.size(), -1);
    FFirstRows = AssignFileSlots(catalogue, rows, FSlotOf);
    FEntries.assign(FFirstRows.size(), TFileSample{});
    // Each thread opens directories and reads through its own state; the
    // listed files of one directory are read in batches.
    const unsigned threads = ContentsThreadCount(host);
    const std::vector<std::unique_ptr<TDirectoryOpener>> directories = DirectoryOpeners(threads, scan);
    std::vector<std::vector<unsigned char>> buffers(threads);
    std::vector<std::unique_ptr<TSlotBatch>> batches = SlotBatches(threads);
    ForEachSlotRun(
        FFirstRows.size(), threads, host, [&](std::size_t begin, std::size_t end, unsigned worker) {
            TSlotBatch& batch = *batches[worker];
            const auto take = [&](std::size_t slot, const TBatchFile& file) {
                FEntries[slot] = SampleOfListedFile(batch.Files(), file, catalogue[FFirstRows[slot]]);
            };
            for (std::size_t slot = begin; slot < end; ++slot) {
                const TFileRecord& row = catalogue[FFirstRows[slot]];
                batch.MakeRoomFor(row, take);
                const int dirFd = directories[worker]->Open(row);
                // A directory that cannot be opened leaves its files unopened.
                if (dirFd < 0)
                    FEntries[slot].Error = errno;
                else if (row.Inode == 0)
                    FEntries[slot] = SampleFile(dirFd, row.Name.c_str(), buffers[worker], &row);
                else
                    AddSampleReads(batch.Add(slot, row), dirFd, row);
            }
            batch.Run(take);
        });
    FClasses = ClassesOfSamples(FEntries);
    ReportFailures(catalogue, host);
}

} // namespace quorvane
