// The file scan over openat/fdopendir/fstatat. Names are kept as the bytes
// the file system returns; links are never followed, and only regular files
// become rows, so the walk cannot loop and no row names a FIFO or a device.
// Every directory below an input is opened by name relative to its parent.
#include "FileScan.h"

#include "DirectoryPath.h"
#include "ParallelSlots.h"
#include "PathRules.h"
#include "ScanFilter.h"
#include "TextCompare.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

bool TScanContext::Enter(std::uint64_t device, std::uint64_t inode)
{
    return FEntered.emplace(device, inode).second;
}

void TScanContext::Place(const std::shared_ptr<const std::string>& text, std::size_t rootLength)
{
    FPlaces.emplace(text.get(), std::make_pair(text, rootLength));
}

std::size_t TScanContext::RootLengthOf(const std::string* text) const
{
    const auto it = FPlaces.find(text);
    return it == FPlaces.end() ? std::string::npos : it->second.second;
}

namespace {

// Files read between two polls of the host's cancel request.
constexpr unsigned kFilesPerPoll = 256;

// Bytes asked of getdents64 at a time: a directory of a few hundred
// entries is read in one call.
constexpr std::size_t kListingBytes = 64 * 1024;

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Siblings order: ASCII-folded, then bytes, so names differing only in case
// (distinct directories on Linux) still have a fixed order.
bool SubdirectoryBefore(const std::string& a, const std::string& b)
{
    const int folded = CompareFolded(a, b);
    return folded != 0 ? folded < 0 : a < b;
}

// True when the entry is a directory that is not a link. d_type spares a
// stat on the file systems that fill it.
bool IsRealDirectory(int dirFd, const char* name, unsigned char type)
{
    if (type == DT_DIR) return true;
    if (type != DT_UNKNOWN) return false;
    struct stat st;
    return fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Entry types that can never become a row; DT_UNKNOWN and DT_REG go on to
// fstatat, which decides.
bool SurelyNotRegular(unsigned char type)
{
    return type != DT_REG && type != DT_UNKNOWN;
}

// One reading of a directory's entries: its visible subdirectories, sorted,
// and the names that may be regular files, in the file system's order, so
// that the directory is listed once and its files are stated later.
struct TListing {
    std::vector<std::string> Subdirectories;
    std::string FileNames; // each name followed by its NUL
    std::size_t FileCount = 0;
};

// Lists the directory fd, freshly opened (at its first entry), with
// getdents64 on fd itself: no stream, no copy of the descriptor. Only with
// subdirectories are directories told apart from files. A directory whose
// reading fails part-way is an unreadable directory: the listing is left
// empty and the error returned; 0 otherwise.
int ListDirectory(int fd, bool subdirectories, TListing& listing, std::vector<char>& buffer)
{
    buffer.resize(kListingBytes);
    for (;;) {
        const ssize_t got = getdents64(fd, buffer.data(), buffer.size());
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno != 0 ? errno : EIO;
            listing = TListing{};
            return error;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (IsDotOrDotDot(name)) continue;
            const unsigned char type = entry->d_type;
            if (subdirectories && IsRealDirectory(fd, name, type)) {
                if (!IsHiddenName(name)) listing.Subdirectories.emplace_back(name);
            } else if (!SurelyNotRegular(type)) {
                listing.FileNames.append(name, std::strlen(name) + 1);
                ++listing.FileCount;
            }
        }
    }
    std::sort(listing.Subdirectories.begin(), listing.Subdirectories.end(), SubdirectoryBefore);
    return 0;
}

// YYYYMMDDHHMM of a local time given as seconds since the epoch in local
// time: days to the civil date by the proleptic Gregorian calendar.
std::int64_t KeyOfLocalSeconds(std::int64_t local)
{
    const std::int64_t days = local >= 0 ? local / 86400 : -((-local + 86399) / 86400);
    const std::int64_t secondOfDay = local - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shifted = (5 * dayOfYear + 2) / 153; // March is 0
    const std::int64_t day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    const std::int64_t month = shifted < 10 ? shifted + 3 : shifted - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2);
    return year * 100000000 + month * 1000000 + day * 10000 + secondOfDay / 3600 * 100 +
           secondOfDay % 3600 / 60;
}

TFileRecord RowOf(const char* name, const std::shared_ptr<const std::string>& directory,
                  const struct stat& st, TTimeKeys& times)
{
    TFileRecord row;
    row.Name = name;
    row.Directory = directory;
    row.Size = static_cast<std::uint64_t>(st.st_size);
    row.TimeKey = times.KeyOf(static_cast<std::int64_t>(st.st_mtim.tv_sec));
    row.ImageIndex = IsPictureFile(row.Name) ? kImagePicture : kImageOtherFile;
    row.Device = static_cast<std::uint64_t>(st.st_dev);
    row.Inode = static_cast<std::uint64_t>(st.st_ino);
    row.ModifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    row.StatusChangedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return row;
}

// Room for count more rows, growing by at least half so that many inputs
// do not each reallocate the rows read before them.
void ReserveMore(std::vector<TFileRecord>& target, std::size_t count)
{
    const std::size_t needed = target.size() + count;
    if (needed > target.capacity())
        target.reserve(std::max(needed, target.capacity() + target.capacity() / 2));
}

// Appends a row per regular file among the listed names of the open
// directory fd (what is no longer a regular file is left out).
// textOf gives the rows' shared Directory text; it is asked only once a
// row is made.
template <typename TTextOf>
void ReadFilesAt(int fd, const TListing& listing, std::vector<TFileRecord>& target, const TScanHost* host,
                 const TScanGate* gate, TTimeKeys& times, TTextOf textOf)
{
    ReserveMore(target, listing.FileCount);
    unsigned sincePoll = 0;
    const char* name = listing.FileNames.data();
    for (std::size_t i = 0; i < listing.FileCount; ++i, name += std::strlen(name) + 1) {
        if (host && ++sincePoll == kFilesPerPoll) {
            sincePoll = 0;
            ThrowIfCancelled(*host);
        }
        struct stat st;
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (gate && !gate->AdmitsFile(name, static_cast<std::uint64_t>(st.st_size))) continue;
        target.push_back(RowOf(name, textOf(), st, times));
    }
}

// What reading one collected directory found, kept until the host hears it
// in pre-order.
struct TDirectoryRead {
    std::vector<TFileRecord> Rows;
    std::shared_ptr<const std::string> Text; // set when a row was made
    bool Entered = false;
    int OpenError = 0; // why it could not be entered
};

// One collected directory: its name in its parent (the input's whole text
// for the input), its parent's index, its depth below the input (0 for the
// input), and what it was when entered. No directory keeps its whole path:
// memory grows with the number of directories, not with their depths.
struct TCollected {
    std::string Name;
    std::size_t Parent = 0;
    std::size_t Depth = 0;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool Opened = false;
    int Error = 0;    // why it could not be opened, or its entries listed
    TListing Files{}; // its file names; no subdirectories (they follow it)
    TDirectoryRead Read{};
};

// Collected directories in blocks of 256, 512, 1024, ... that never move,
// so that the threads reading files look at directories already listed
// while the walk appends more (only the walk appends; the others look
// only below the count it handed them).
class TCollection {
  public:
    std::size_t size() const { return FSize; }
    bool empty() const { return FSize == 0; }
    TCollected& operator[](std::size_t i) { return FBlocks[BlockOf(i)][i - FirstOf(BlockOf(i))]; }
    const TCollected& operator[](std::size_t i) const { return FBlocks[BlockOf(i)][i - FirstOf(BlockOf(i))]; }
    TCollected& back() { return (*this)[FSize - 1]; }
    const TCollected& front() const { return (*this)[0]; }
    void push_back(TCollected&& node)
    {
        const std::size_t block = BlockOf(FSize);
        if (!FBlocks[block]) FBlocks[block] = std::make_unique<TCollected[]>(kFirstBlock << block);
        FBlocks[block][FSize - FirstOf(block)] = std::move(node);
        ++FSize;
    }

  private:
    static constexpr std::size_t kFirstBlock = 256;
    static std::size_t BlockOf(std::size_t i) { return std::bit_width(i / kFirstBlock + 1) - 1; }
    static std::size_t FirstOf(std::size_t block) { return kFirstBlock * ((std::size_t{1} << block) - 1); }
    std::array<std::unique_ptr<TCollected[]>, 48> FBlocks;
    std::size_t FSize = 0;
};

// The path text of collection[index], built from the names on the way down.
std::string CollectedText(const TCollection& collection, std::size_t index)
{
    std::vector<const std::string*> names;
    std::size_t length = collection[0].Name.size();
    for (std::size_t at = index; at != 0; at = collection[at].Parent) {
        names.push_back(&collection[at].Name);
        length += collection[at].Name.size() + 1;
    }
    std::string text;
    text.reserve(length);
    text = collection[0].Name;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (text.empty() || text.back() != '/') text.push_back('/');
        text += **it;
    }
    return text;
}

struct TPending {
    std::string Name;
    std::size_t Depth;
    std::size_t Parent; // index in the collection
};

// Lists the open directory fd once: its subdirectories go to pending, its
// file names stay with node. Returns 0, or the error that kept the entries
// from being listed.
int ListCollected(int fd, TCollected& node, std::size_t depth, std::size_t parent,
                  std::vector<TPending>& pending, std::vector<char>& buffer)
{
    const int error = ListDirectory(fd, true, node.Files, buffer);
    std::vector<std::string>& names = node.Files.Subdirectories;
    // Reversed, so that they are taken in sorted order, each followed by
    // its subtree.
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        pending.push_back(TPending{std::move(*it), depth, parent});
    names.clear();
    names.shrink_to_fit();
    return error;
}

// The input and its visible subdirectories in pre-order, each with the
// names of its files. entered holds the directories already read (by this
// walk or, through context, the search).
// Appends them to collection (empty), and returns the count of file names
// listed. publish, when given, hears the count of directories listed so far.
std::size_t CollectTree(const std::string& directory, TScanContext& entered, const TScanHost* host,
                        const TScanGate* gate, TCollection& collection,
                        const std::function<void(std::size_t)>* publish = nullptr)
{
    const std::string root = NormaliseDirectory(directory, PathStyle::Posix);
    TDirectoryPath path;
    if (!path.OpenRoot(root)) {
        collection.push_back(TCollected{root, 0, 0, 0, 0, false, errno});
        return 0;
    }
    if (gate && !gate->AdmitsInput(root, path.DeepestDevice(), path.DeepestInode())) return 0;
    if (!entered.Enter(path.DeepestDevice(), path.DeepestInode())) return 0;
    collection.push_back(TCollected{root, 0, 0, path.DeepestDevice(), path.DeepestInode(), true});
    std::vector<TPending> pending;
    std::vector<char> buffer;
    collection.back().Error = ListCollected(path.DeepestFd(), collection.back(), 1, 0, pending, buffer);
    std::size_t files = collection.back().Files.FileCount;
    if (publish) (*publish)(1);
    while (!pending.empty()) {
        if (host) ThrowIfCancelled(*host);
        TPending next = std::move(pending.back());
        pending.pop_back();
        TCollected node{std::move(next.Name), next.Parent, next.Depth};
        if (path.Truncate(next.Depth) && path.Push(node.Name)) {
            // An excluded folder is never entered, nor anything below it.
            if (gate && !gate->AdmitsFolder(path.DeepestDevice(), path.DeepestInode())) continue;
            // A bind mount can show a directory inside itself; enter each once.
            if (!entered.Enter(path.DeepestDevice(), path.DeepestInode())) continue;
            node.Device = path.DeepestDevice();
            node.Inode = path.DeepestInode();
            node.Opened = true;
        } else {
            node.Error = errno;
        }
        collection.push_back(std::move(node));
        if (collection.back().Opened)
            collection.back().Error = ListCollected(path.DeepestFd(), collection.back(), next.Depth + 1,
                                                    collection.size() - 1, pending, buffer);
        files += collection.back().Files.FileCount;
        if (publish) (*publish)(collection.size());
    }
    return files;
}

// One thread's way back into collected directories: a path of open
// directories and, per level, the collected directory it holds. Levels
// held always form the chain from the input down, each level checked to be
// the directory collected there.
struct TReopener {
    TDirectoryPath Path;
    std::vector<std::size_t> Held;  // collected index per level of Path
    std::vector<std::size_t> Below; // scratch: the levels to open, deepest first
    TTimeKeys Times;
};

// Opens level of path (holding the levels above it) as collected directory
// index; false, with errno set, when it is no longer that directory.
bool PushCollected(TReopener& reopener, const TCollection& directories, std::size_t index)
{
    const TCollected& node = directories[index];
    const bool open =
        node.Depth == 0 ? reopener.Path.OpenRoot(directories.front().Name) : reopener.Path.Push(node.Name);
    if (!open) return false;
    reopener.Held.push_back(index);
    if (reopener.Path.DeepestDevice() == node.Device && reopener.Path.DeepestInode() == node.Inode)
        return true;
    errno = ESTALE; // replaced since it was collected
    return false;
}

// Makes collected directory index the deepest open level, keeping the
// levels it shares with what the path held: in pre-order that is its
// parent, and one directory is opened per directory read. False, with
// errno set, when it or a directory above it cannot be opened again as
// the directory collected there.
bool OpenCollected(TReopener& reopener, const TCollection& directories, std::size_t index)
{
    std::vector<std::size_t>& held = reopener.Held;
    reopener.Below.clear();
    std::size_t at = index;
    for (;;) {
        const std::size_t depth = directories[at].Depth;
        if (depth < held.size() && held[depth] == at) break;
        reopener.Below.push_back(at);
        if (depth == 0) break;
        at = directories[at].Parent;
    }
    if (reopener.Below.empty()) {
        held.resize(directories[index].Depth + 1);
        if (reopener.Path.Truncate(held.size())) return true;
        held.clear();
        return false;
    }
    const std::size_t kept = directories[reopener.Below.back()].Depth;
    held.resize(kept);
    if (kept > 0 && !reopener.Path.Truncate(kept)) {
        held.clear();
        return false;
    }
    for (auto it = reopener.Below.rbegin(); it != reopener.Below.rend(); ++it) {
        if (!PushCollected(reopener, directories, *it)) {
            held.clear(); // the path no longer holds a checked chain
            return false;
        }
    }
    return true;
}

// Reads the files of collected directory i; its text is made only when it
// holds a file.
void ReadCollected(TReopener& reopener, TCollection& directories, std::size_t i, const TScanHost& host,
                   const TScanGate& gate)
{
    TCollected& node = directories[i];
    TDirectoryRead& read = node.Read;
    // Each directory is opened again, even without files: its subdirectories
    // are reached through it.
    if (!node.Opened || !OpenCollected(reopener, directories, i)) {
        read.OpenError = node.Opened ? errno : node.Error;
        return;
    }
    read.Entered = true;
    ReadFilesAt(reopener.Path.DeepestFd(), node.Files, read.Rows, &host, gate.Active() ? &gate : nullptr,
                reopener.Times, [&]() -> const std::shared_ptr<const std::string>& {
                    if (!read.Text)
                        read.Text = std::make_shared<const std::string>(CollectedText(directories, i));
                    return read.Text;
                });
    node.Files = TListing{};
}

// Hands what directory i's reading found to the host and target, in the
// order the plain walk meets it.
void ReportCollected(TCollection& directories, std::size_t i, std::vector<TFileRecord>& target,
                     TScanContext& context, TScanHost& host)
{
    TDirectoryRead& read = directories[i].Read;
    if (!read.Entered) {
        host.NotRead(
            TNotRead{CollectedText(directories, i), TNotReadReason::CannotOpenDirectory, read.OpenError});
    } else {
        if (read.Text) context.Place(read.Text, directories.front().Name.size());
        std::move(read.Rows.begin(), read.Rows.end(), std::back_inserter(target));
        if (directories[i].Error != 0)
            host.NotRead(TNotRead{CollectedText(directories, i), TNotReadReason::DirectoryReadFailed,
                                  directories[i].Error});
    }
    read = TDirectoryRead{};
}

// Lists the tree on the calling thread and states the listed files of its
// directories on ScanThreadCount threads, each thread opening the
// directories of its runs again from the input. With more than one thread
// the files are stated while the walk goes on; rows and reports reach
// target and host in pre-order either way.
void ReadTree(const std::string& directory, TScanHost& host, std::vector<TFileRecord>& target,
              TScanContext& context)
{
    const TScanGate gate(host.ScanFilter());
    const TScanGate* const filter = gate.Active() ? &gate : nullptr;
    const unsigned threads = ScanThreadCount(host);
    std::vector<TReopener> reopeners(threads);
    TCollection directories;
    const auto work = [&](std::size_t begin, std::size_t end, unsigned worker) {
        for (std::size_t i = begin; i < end; ++i)
            ReadCollected(reopeners[worker], directories, i, host, gate);
    };
    const auto report = [&](std::size_t i) { ReportCollected(directories, i, target, context, host); };
    if (threads <= 1) {
        ReserveMore(target, CollectTree(directory, context, &host, filter, directories));
        TProgressMeter meter(host, directories.size());
        for (std::size_t i = 0; i < directories.size(); ++i) {
            meter.Step(i);
            work(i, i + 1, 0);
            report(i);
        }
        return;
    }
    ForEachGrowingSlotRunReporting(
        threads, host,
        [&](const std::function<void(std::size_t)>& publish) {
            ReserveMore(target, CollectTree(directory, context, &host, filter, directories, &publish));
            publish(directories.size()); // an input that could not be opened is one step too
        },
        work, report);
}

// host, when given, hears of a directory that could not be read.
void ReadOneDirectory(const std::string& directory, std::vector<TFileRecord>& target, TScanContext* context,
                      TScanHost* host)
{
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (host) host->NotRead(TNotRead{directory, TNotReadReason::CannotOpenDirectory, errno});
        return;
    }
    const TScanGate gate(host ? host->ScanFilter() : nullptr);
    struct stat st;
    const bool enter = fstat(fd, &st) == 0 &&
                       (!gate.Active() || gate.AdmitsInput(NormaliseDirectory(directory, PathStyle::Posix),
                                                           static_cast<std::uint64_t>(st.st_dev),
                                                           static_cast<std::uint64_t>(st.st_ino))) &&
                       (!context || context->Enter(static_cast<std::uint64_t>(st.st_dev),
                                                   static_cast<std::uint64_t>(st.st_ino)));
    if (enter) {
        const auto text = std::make_shared<const std::string>(directory);
        if (context) context->Place(text, directory.size());
        TListing listing;
        std::vector<char> buffer;
        TTimeKeys times;
        const int error = ListDirectory(fd, false, listing, buffer);
        ReadFilesAt(
            fd, listing, target, host, gate.Active() ? &gate : nullptr,
            times, [&]() -> const auto& { return text; });
        if (error != 0 && host)
            host->NotRead(TNotRead{directory, TNotReadReason::DirectoryReadFailed, error});
    }
    close(fd);
}

} // namespace

std::int64_t TimeKeyOf(std::int64_t secondsSinceEpoch)
{
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return 0;
    const std::int64_t year = static_cast<std::int64_t>(local.tm_year) + 1900;
    return year * 100000000 + (local.tm_mon + 1) * 1000000LL + local.tm_mday * 10000LL +
           local.tm_hour * 100LL + local.tm_min;
}

std::int64_t TTimeKeys::KeyOf(std::int64_t secondsSinceEpoch)
{
    // Far from any file's time, the hour's ends and the shift could overflow.
    constexpr std::int64_t kShiftedRange = std::int64_t{1} << 50;
    if (secondsSinceEpoch <= -kShiftedRange || secondsSinceEpoch >= kShiftedRange)
        return TimeKeyOf(secondsSinceEpoch);
    const std::int64_t hour =
        secondsSinceEpoch >= 0 ? secondsSinceEpoch / 3600 : -((-secondsSinceEpoch + 3599) / 3600);
    TEntry& entry = FEntries[static_cast<std::size_t>(hour) % FEntries.size()];
    if (!entry.Known || entry.Hour != hour) {
        entry = TEntry{hour, 0, true, false};
        std::int64_t offsets[2] = {0, 0};
        bool steady = true;
        for (int end = 0; end < 2 && steady; ++end) {
            const std::int64_t at = hour * 3600 + end * 3599;
            const std::time_t t = static_cast<std::time_t>(at);
            std::tm local{};
            steady = localtime_r(&t, &local) != nullptr;
            if (!steady) break;
            offsets[end] = local.tm_gmtoff;
            // The shift must give localtime_r's own fields, to the second:
            // a zone counting leap seconds does not, and is never shifted.
            const std::int64_t shifted = at + local.tm_gmtoff;
            const std::int64_t year = static_cast<std::int64_t>(local.tm_year) + 1900;
            const std::int64_t key = year * 100000000 + (local.tm_mon + 1) * 1000000LL +
                                     local.tm_mday * 10000LL + local.tm_hour * 100LL + local.tm_min;
            steady = KeyOfLocalSeconds(shifted) == key && ((shifted % 60) + 60) % 60 == local.tm_sec;
        }
        entry.Steady = steady && offsets[0] == offsets[1];
        entry.Offset = offsets[0];
    }
    return entry.Steady ? KeyOfLocalSeconds(secondsSinceEpoch + entry.Offset) : TimeKeyOf(secondsSinceEpoch);
}

void CollectDirectories(const std::string& directory, std::vector<std::string>& collection)
{
    TScanContext entered;
    TCollection directories;
    CollectTree(directory, entered, nullptr, nullptr, directories);
    for (std::size_t i = 0; i < directories.size(); ++i)
        collection.push_back(CollectedText(directories, i));
}

void ReadDirectoryFiles(const std::string& directory, std::vector<TFileRecord>& target, TScanContext* context)
{
    ReadOneDirectory(directory, target, context, nullptr);
}

void ReadAllFiles(const std::string& directory, bool includeSubdirectories, TScanHost& host,
                  std::vector<TFileRecord>& target, TScanContext* context)
{
    host.SetStatusText(kReadingAllFilesText, true);
    const std::size_t before = target.size();
    TScanContext own;
    try {
        if (includeSubdirectories)
            ReadTree(directory, host, target, context ? *context : own);
        else
            ReadOneDirectory(directory, target, context, &host);
    } catch (const ESearchCancelled&) {
        target.erase(target.begin() + static_cast<std::ptrdiff_t>(before), target.end());
        throw;
    }
}

} // namespace quorvane
