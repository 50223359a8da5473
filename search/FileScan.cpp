// The file scan over openat/fdopendir/fstatat. Names are kept as the bytes
// the file system returns; links are never followed, and only regular files
// become rows, so the walk cannot loop and no row names a FIFO or a device.
// Every directory below an input is opened by name relative to its parent.
#include "FileScan.h"

#include "DirectoryPath.h"
#include "PathRules.h"
#include "ScanFilter.h"
#include "TextCompare.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
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

struct TDirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using TDirHandle = std::unique_ptr<DIR, TDirCloser>;

// A stream over a copy of fd, from the directory's first entry.
TDirHandle OpenStream(int fd)
{
    const int copy = fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return nullptr;
    TDirHandle dir(fdopendir(copy));
    if (!dir) {
        close(copy);
        return nullptr;
    }
    rewinddir(dir.get());
    return dir;
}

// The next entry; null at the end or on an error, which failed tells apart.
const dirent* NextEntry(DIR* dir, bool& failed)
{
    errno = 0;
    const dirent* entry = readdir(dir);
    if (!entry && errno != 0) failed = true;
    return entry;
}

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
bool IsRealDirectory(int dirFd, const dirent& entry)
{
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_UNKNOWN) return false;
    struct stat st;
    return fstatat(dirFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Entry types that can never become a row; DT_UNKNOWN and DT_REG go on to
// fstatat, which decides.
bool SurelyNotRegular(unsigned char type)
{
    return type != DT_REG && type != DT_UNKNOWN;
}

// The visible subdirectories of the open directory fd, sorted. A directory
// whose reading fails part-way is an unreadable directory: no names, and
// error receives the reason.
std::vector<std::string> SubdirectoryNames(int fd, int& error)
{
    std::vector<std::string> names;
    TDirHandle dir = OpenStream(fd);
    if (!dir) {
        error = errno;
        return names;
    }
    bool failed = false;
    while (const dirent* entry = NextEntry(dir.get(), failed)) {
        if (IsHiddenName(entry->d_name)) continue; // also "." and ".."
        if (IsRealDirectory(fd, *entry)) names.emplace_back(entry->d_name);
    }
    if (failed) {
        error = errno;
        return {};
    }
    std::sort(names.begin(), names.end(), SubdirectoryBefore);
    return names;
}

TFileRecord RowOf(const char* name, const std::shared_ptr<const std::string>& directory,
                  const struct stat& st)
{
    TFileRecord row;
    row.Name = name;
    row.Directory = directory;
    row.Size = static_cast<std::uint64_t>(st.st_size);
    row.TimeKey = TimeKeyOf(static_cast<std::int64_t>(st.st_mtim.tv_sec));
    row.ImageIndex = IsPictureFile(row.Name) ? kImagePicture : kImageOtherFile;
    row.Device = static_cast<std::uint64_t>(st.st_dev);
    row.Inode = static_cast<std::uint64_t>(st.st_ino);
    row.ModifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    row.StatusChangedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return row;
}

// Appends a row per regular file of the open directory fd. A directory
// whose reading fails part-way is an unreadable directory, not a complete
// one: the rows read from it are taken back. Returns 0, or the error that
// stopped the reading.
// textOf gives the rows' shared Directory text; it is asked only once a
// row is made.
template <typename TTextOf>
int ReadFilesAt(int fd, std::vector<TFileRecord>& target, const TScanHost* host, const TScanGate* gate,
                TTextOf textOf)
{
    TDirHandle dir = OpenStream(fd);
    if (!dir) return errno != 0 ? errno : EIO;
    const std::size_t before = target.size();
    bool failed = false;
    unsigned sincePoll = 0;
    while (const dirent* entry = NextEntry(dir.get(), failed)) {
        if (host && ++sincePoll == kFilesPerPoll) {
            sincePoll = 0;
            ThrowIfCancelled(*host);
        }
        if (IsDotOrDotDot(entry->d_name) || SurelyNotRegular(entry->d_type)) continue;
        struct stat st;
        if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (gate && !gate->AdmitsFile(entry->d_name, static_cast<std::uint64_t>(st.st_size))) continue;
        target.push_back(RowOf(entry->d_name, textOf(), st));
    }
    if (!failed) return 0;
    const int error = errno != 0 ? errno : EIO;
    target.erase(target.begin() + static_cast<std::ptrdiff_t>(before), target.end());
    return error;
}

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
    int Error = 0; // why it could not be opened, or its subdirectories listed
};

// The path text of collection[index], built from the names on the way down.
std::string CollectedText(const std::vector<TCollected>& collection, std::size_t index)
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

// Returns 0, or the error that kept the subdirectories from being listed.
int PushChildren(int fd, std::size_t depth, std::size_t parent, std::vector<TPending>& pending)
{
    int error = 0;
    const std::vector<std::string> names = SubdirectoryNames(fd, error);
    // Reversed, so that they are taken in sorted order, each followed by
    // its subtree.
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        pending.push_back(TPending{*it, depth, parent});
    return error;
}

// The input and its visible subdirectories in pre-order. entered holds the
// directories already read (by this walk or, through context, the search).
std::vector<TCollected> CollectTree(const std::string& directory, TScanContext& entered,
                                    const TScanHost* host, const TScanGate* gate = nullptr)
{
    std::vector<TCollected> collection;
    const std::string root = NormaliseDirectory(directory, PathStyle::Posix);
    TDirectoryPath path;
    if (!path.OpenRoot(root)) {
        collection.push_back(TCollected{root, 0, 0, 0, 0, false, errno});
        return collection;
    }
    if (gate && !gate->AdmitsInput(root, path.DeepestDevice(), path.DeepestInode())) return collection;
    if (!entered.Enter(path.DeepestDevice(), path.DeepestInode())) return collection;
    collection.push_back(TCollected{root, 0, 0, path.DeepestDevice(), path.DeepestInode(), true});
    std::vector<TPending> pending;
    collection.back().Error = PushChildren(path.DeepestFd(), 1, 0, pending);
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
            collection.back().Error =
                PushChildren(path.DeepestFd(), next.Depth + 1, collection.size() - 1, pending);
    }
    return collection;
}

// Opens the collected directory again (the path holds its parent) and
// accepts it only when it is still the directory that was collected.
bool OpenCollected(TDirectoryPath& path, const TCollected& node, const std::string& root)
{
    if (!node.Opened) return false;
    const bool open =
        node.Depth == 0 ? path.OpenRoot(root) : path.Truncate(node.Depth) && path.Push(node.Name);
    return open && path.DeepestDevice() == node.Device && path.DeepestInode() == node.Inode;
}

// Reads the files of collected directory i into target; its text is made
// (and placed in context) only when it holds a file.
int ReadCollected(int fd, const std::vector<TCollected>& directories, std::size_t i,
                  std::vector<TFileRecord>& target, TScanContext& context, const TScanHost& host,
                  const TScanGate& gate)
{
    std::shared_ptr<const std::string> text;
    const int error =
        ReadFilesAt(fd, target, &host, gate.Active() ? &gate : nullptr,
                    [&]() -> const std::shared_ptr<const std::string>& {
                        if (!text) {
                            text = std::make_shared<const std::string>(CollectedText(directories, i));
                            context.Place(text, directories.front().Name.size());
                        }
                        return text;
                    });
    return error;
}

void ReadTree(const std::string& directory, TScanHost& host, std::vector<TFileRecord>& target,
              TScanContext& context)
{
    const TScanGate gate(host.ScanFilter());
    const std::vector<TCollected> directories =
        CollectTree(directory, context, &host, gate.Active() ? &gate : nullptr);
    if (directories.empty()) return;
    const std::string& root = directories.front().Name;
    TProgressMeter meter(host, directories.size());
    TDirectoryPath path;
    for (std::size_t i = 0; i < directories.size(); ++i) {
        meter.Step(i);
        const TCollected& node = directories[i];
        if (!OpenCollected(path, node, root)) {
            const int error = node.Opened ? errno : node.Error;
            host.NotRead(TNotRead{CollectedText(directories, i), TNotReadReason::CannotOpenDirectory, error});
            continue;
        }
        const int error = ReadCollected(path.DeepestFd(), directories, i, target, context, host, gate);
        if (error != 0 || node.Error != 0)
            host.NotRead(TNotRead{CollectedText(directories, i), TNotReadReason::DirectoryReadFailed,
                                  error ? error : node.Error});
    }
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
        const int error = ReadFilesAt(
            fd, target, host, gate.Active() ? &gate : nullptr, [&]() -> const auto& { return text; });
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

void CollectDirectories(const std::string& directory, std::vector<std::string>& collection)
{
    TScanContext entered;
    const std::vector<TCollected> directories = CollectTree(directory, entered, nullptr);
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
