// The four actions on duplicates. Order of work for a replacement: the
// duplicate is still the listed file, the kept file passes the copy check,
// the new entry is made under a temporary name in the duplicate's folder and
// checked to lead to the kept file, the duplicate is checked once more, and
// the temporary name is renamed over it. Every exit before the rename
// removes the temporary name again.
#include "Replace.h"

#include "ContentsRead.h"
#include "PathRules.h"
#include "RenameNoReplace.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <map>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace quorvane {

namespace {

constexpr unsigned kMaxTemporaryAttempts = 100;

TFileIdentity IdentityOf(const TCheckFile& file)
{
    return {true, file.Device, file.Inode, file.Size, file.ModifiedNs};
}

bool Unchanged(const TCheckFile& file)
{
    int error = 0;
    return CheckIdentity(file.Path, IdentityOf(file), error) == EIdentity::Same;
}

std::string DefaultTemporaryName(unsigned)
{
    static std::atomic<std::uint64_t> counter{0};
    return std::string(kReplaceTemporaryPrefix) + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
}

int DefaultRenameOver(int dirFd, const std::string& from, const std::string& to)
{
    return ::renameat(dirFd, from.c_str(), dirFd, to.c_str()) == 0 ? 0 : errno;
}

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

TReplaceOutcome Outcome(EReplaceResult result, int error = 0)
{
    return {result, error, {}};
}

// One replacement's duplicate folder and its temporary entry; the entry is
// removed on destruction unless it was renamed over the duplicate.
class TTemporaryEntry {
  public:
    TTemporaryEntry(int dirFd, std::string name) : FDirFd(dirFd), FName(std::move(name)) {}
    ~TTemporaryEntry()
    {
        if (!FName.empty()) ::unlinkat(FDirFd, FName.c_str(), 0);
    }
    TTemporaryEntry(const TTemporaryEntry&) = delete;
    TTemporaryEntry& operator=(const TTemporaryEntry&) = delete;
    const std::string& Name() const { return FName; }
    void Release() { FName.clear(); }

  private:
    int FDirFd;
    std::string FName;
};

class TReplacer {
  public:
    explicit TReplacer(const TReplaceOptions& options) : FOptions(options)
    {
        if (!FOptions.TemporaryName) FOptions.TemporaryName = DefaultTemporaryName;
        if (!FOptions.RenameOver) FOptions.RenameOver = DefaultRenameOver;
    }

    // Refusals that need no reading, before the copy check.
    bool RefusedEarly(const TReplaceItem& item, TReplaceOutcome& outcome) const
    {
        if (!Unchanged(item.Duplicate) || item.Duplicate.Path == item.Kept.Path) {
            outcome = Outcome(EReplaceResult::DuplicateChanged);
        } else if (!Unchanged(item.Kept)) {
            outcome = Outcome(EReplaceResult::KeptChanged);
        } else if (FOptions.Action == EReplaceAction::HardLink && item.Kept.Device != item.Duplicate.Device) {
            outcome = Outcome(EReplaceResult::CrossDevice);
        } else {
            return false;
        }
        return true;
    }

    // atime: the duplicate's access time before the check read it.
    TReplaceOutcome Act(const TReplaceItem& item, const timespec& atime)
    {
        if (FOptions.Action == EReplaceAction::Move) return Move(item);
        // A crash of an earlier run may have left a temporary name here.
        if (FCleaned.insert(FolderOf(item.Duplicate.Path)).second)
            RemoveLeftoverTemporaries(FolderOf(item.Duplicate.Path));
        const TFileHandle dir(
            ::open(FolderOf(item.Duplicate.Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.Fd() < 0) return Outcome(EReplaceResult::Failed, errno);
        switch (FOptions.Action) {
        case EReplaceAction::HardLink:
            return HardLink(item, dir.Fd());
        case EReplaceAction::SymbolicLink:
            return SymbolicLink(item, dir.Fd());
        default:
            return Clone(item, dir.Fd(), atime);
        }
    }

  private:
    // Makes an entry under a free temporary name with make(name): 0 or errno.
    template <typename Make> int MakeTemporary(Make make, std::string& name) const
    {
        for (unsigned attempt = 0; attempt < kMaxTemporaryAttempts; ++attempt) {
            name = FOptions.TemporaryName(attempt);
            if (make(name) == 0) return 0;
            if (errno != EEXIST) return errno;
        }
        return EEXIST;
    }

    // The last steps of every replacement: the duplicate is still the listed
    // file, then the temporary entry takes its name.
    TReplaceOutcome RenameOver(const TReplaceItem& item, int dirFd, TTemporaryEntry& entry) const
    {
        struct stat st {};
        const std::string name = NameOf(item.Duplicate.Path);
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            CheckIdentity(st, IdentityOf(item.Duplicate)) != EIdentity::Same)
            return Outcome(EReplaceResult::DuplicateChanged);
        if (const int error = FOptions.RenameOver(dirFd, entry.Name(), name))
            return Outcome(EReplaceResult::Failed, error);
        entry.Release();
        return Outcome(EReplaceResult::Done);
    }

    static TReplaceOutcome MakeFailure(int error)
    {
        if (error == EXDEV) return Outcome(EReplaceResult::CrossDevice, error);
        return Outcome(EReplaceResult::Failed, error);
    }

    TReplaceOutcome HardLink(const TReplaceItem& item, int dirFd) const
    {
        if (item.Kept.Inode == item.Duplicate.Inode) return Outcome(EReplaceResult::AlreadyLinked);
        std::string name;
        const int error = MakeTemporary(
            [&](const std::string& n) {
                return ::linkat(AT_FDCWD, item.Kept.Path.c_str(), dirFd, n.c_str(), 0);
            },
            name);
        if (error) return MakeFailure(error);
        TTemporaryEntry entry(dirFd, name);
        // The new name must be the kept file that was checked, not a file
        // put in its place since.
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            CheckIdentity(st, IdentityOf(item.Kept)) != EIdentity::Same)
            return Outcome(EReplaceResult::KeptChanged);
        return RenameOver(item, dirFd, entry);
    }

    TReplaceOutcome SymbolicLink(const TReplaceItem& item, int dirFd) const
    {
        const std::string target =
            SymbolicLinkTarget(item.Duplicate.Path, item.Kept.Path, FOptions.AbsoluteLinks);
        if (target.empty()) return Outcome(EReplaceResult::Failed, errno ? errno : ENOENT);
        std::string name;
        const int error = MakeTemporary(
            [&](const std::string& n) { return ::symlinkat(target.c_str(), dirFd, n.c_str()); }, name);
        if (error) return MakeFailure(error);
        TTemporaryEntry entry(dirFd, name);
        // The link must lead to the kept file from where it stands.
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, 0) != 0 ||
            CheckIdentity(st, IdentityOf(item.Kept)) != EIdentity::Same)
            return Outcome(EReplaceResult::KeptChanged);
        return RenameOver(item, dirFd, entry);
    }

    TReplaceOutcome Clone(const TReplaceItem& item, int dirFd, const timespec& atime) const
    {
        struct stat kept {
        }, duplicate{};
        const TFileHandle source(OpenRegularFile(AT_FDCWD, item.Kept.Path.c_str(), kept));
        if (source.Fd() < 0 || CheckIdentity(kept, IdentityOf(item.Kept)) != EIdentity::Same)
            return Outcome(EReplaceResult::KeptChanged);
        if (::fstatat(dirFd, NameOf(item.Duplicate.Path).c_str(), &duplicate, AT_SYMLINK_NOFOLLOW) != 0)
            return Outcome(EReplaceResult::DuplicateChanged);
        duplicate.st_atim = atime;
        std::string name;
        int fd = -1;
        const int error = MakeTemporary(
            [&](const std::string& n) {
                fd = ::openat(dirFd, n.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
                return fd < 0 ? -1 : 0;
            },
            name);
        if (error) return MakeFailure(error);
        const TFileHandle target(fd);
        TTemporaryEntry entry(dirFd, name);
        if (::ioctl(target.Fd(), FICLONE, source.Fd()) != 0) {
            const int cloneError = errno;
            if (cloneError == EXDEV) return Outcome(EReplaceResult::CrossDevice, cloneError);
            if (cloneError == EOPNOTSUPP || cloneError == EINVAL || cloneError == ENOTTY)
                return Outcome(EReplaceResult::NotSupported, cloneError);
            return Outcome(EReplaceResult::Failed, cloneError);
        }
        if (const int keepError = KeepAttributes(target.Fd(), duplicate))
            return Outcome(EReplaceResult::Failed, keepError);
        return RenameOver(item, dirFd, entry);
    }

    // The clone takes the duplicate's owner, permissions and times; 0 or errno.
    static int KeepAttributes(int fd, const struct stat& duplicate)
    {
        struct stat now {};
        if (::fstat(fd, &now) != 0) return errno;
        if ((now.st_uid != duplicate.st_uid || now.st_gid != duplicate.st_gid) &&
            ::fchown(fd, duplicate.st_uid, duplicate.st_gid) != 0)
            return errno;
        if (::fchmod(fd, duplicate.st_mode & 07777) != 0) return errno;
        const timespec times[2] = {duplicate.st_atim, duplicate.st_mtim};
        return ::futimens(fd, times) == 0 ? 0 : errno;
    }

    TReplaceOutcome Move(const TReplaceItem& item) const
    {
        const std::string target = MoveTarget(item.Duplicate.Path, item.InputDirectory, FOptions.MoveFolder);
        if (const int error = MakeFolders(FolderOf(target))) return MakeFailure(error);
        if (!Unchanged(item.Duplicate)) return Outcome(EReplaceResult::DuplicateChanged);
        const int error = RenameNoReplace(AT_FDCWD, item.Duplicate.Path, AT_FDCWD, target);
        if (error == EEXIST) return Outcome(EReplaceResult::Clash, error);
        if (error) return MakeFailure(error);
        return {EReplaceResult::Done, 0, target};
    }

    // Creates a folder and those above it; 0 or errno.
    static int MakeFolders(const std::string& folder)
    {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
        if (folder.empty() || folder == "/" || folder == ".") return ENOENT;
        if (const int error = MakeFolders(FolderOf(folder))) return error;
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return errno;
        return 0;
    }

    TReplaceOptions FOptions;
    std::unordered_set<std::string> FCleaned; // folders cleared of leftovers in this run
};

timespec AccessTime(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {0, UTIME_OMIT};
    return st.st_atim;
}

std::string AbsoluteFolder(const std::string& folder)
{
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved)) return {};
    return resolved;
}

std::string Lexical(const std::string& path)
{
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return {};
    return std::string(cwd) + "/" + path;
}

} // namespace

bool IsRefusal(EReplaceResult result)
{
    switch (result) {
    case EReplaceResult::DuplicateChanged:
    case EReplaceResult::KeptChanged:
    case EReplaceResult::NotIdentical:
    case EReplaceResult::CrossDevice:
    case EReplaceResult::NotSupported:
    case EReplaceResult::Clash:
        return true;
    default:
        return false;
    }
}

bool IsActedOn(EReplaceResult result)
{
    return result == EReplaceResult::Done || result == EReplaceResult::AlreadyLinked;
}

std::string SymbolicLinkTarget(const std::string& linkPath, const std::string& keptPath, bool absolute)
{
    if (absolute) return Lexical(keptPath);
    const std::string from = AbsoluteFolder(FolderOf(linkPath));
    const std::string to = AbsoluteFolder(FolderOf(keptPath));
    if (from.empty() || to.empty()) return {};
    // The longest common run of whole folder names, then one ".." per
    // folder of the link's own that lies below it.
    const std::string fromDir = from == "/" ? "/" : from + "/";
    const std::string toDir = to == "/" ? "/" : to + "/";
    std::size_t common = 0;
    for (std::size_t i = 0; i < fromDir.size() && i < toDir.size() && fromDir[i] == toDir[i]; ++i)
        if (fromDir[i] == '/') common = i + 1;
    std::string target;
    for (std::size_t i = common; i < fromDir.size(); ++i)
        if (fromDir[i] == '/') target += "../";
    return target + toDir.substr(common) + NameOf(keptPath);
}

std::string MoveTarget(const std::string& path, const std::string& inputDirectory, const std::string& folder)
{
    std::string below = NameOf(path);
    std::string input = inputDirectory;
    while (input.size() > 1 && input.back() == '/')
        input.pop_back();
    if (!input.empty()) {
        const std::string prefix = input == "/" ? "/" : input + "/";
        if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0)
            below = path.substr(prefix.size());
    }
    return JoinPath(folder, below, PathStyle::Posix);
}

int MoveBack(const std::string& movedTo, const std::string& originalPath, const TFileIdentity& moved)
{
    int error = 0;
    if (CheckIdentity(movedTo, moved, error) != EIdentity::Same) return error ? error : ESTALE;
    return RenameNoReplace(AT_FDCWD, movedTo, AT_FDCWD, originalPath);
}

std::size_t RemoveLeftoverTemporaries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    const std::string prefix = kReplaceTemporaryPrefix;
    std::size_t removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        // The owner's pid follows the prefix; a live owner may be between its
        // two steps right now.
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || *end != '-') continue; // not a name of ours
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) ++removed;
        }
    }
    ::closedir(dir);
    return removed;
}

std::string InputDirectoryOf(const std::string& path, const std::vector<std::string>& inputDirectories)
{
    std::string best;
    for (std::string directory : inputDirectories) {
        while (directory.size() > 1 && directory.back() == '/')
            directory.pop_back();
        const std::string prefix = directory == "/" ? "/" : directory + "/";
        if (path.compare(0, prefix.size(), prefix) == 0 && directory.size() > best.size()) best = directory;
    }
    return best;
}

TReplacementPlan ReplacementPlan(const std::vector<TFileRecord>& rows,
                                 const std::vector<std::size_t>& selected,
                                 const std::vector<std::string>& inputDirectories)
{
    std::vector<bool> isSelected(rows.size(), false);
    for (const std::size_t row : selected)
        if (row < rows.size()) isSelected[row] = true;
    // The kept row of each group: its first unselected row that matches its file.
    std::unordered_map<std::uint32_t, std::size_t> keptOf;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].Group != 0 && !isSelected[i] && rows[i].DiskState == kDiskAsListed)
            keptOf.try_emplace(rows[i].Group, i);
    TReplacementPlan plan;
    for (const std::size_t row : selected) {
        if (row >= rows.size() || rows[row].Group == 0) continue;
        const auto kept = keptOf.find(rows[row].Group);
        if (kept == keptOf.end()) continue;
        const std::string path = rows[row].FullPath(PathStyle::Posix);
        plan.Items.push_back({CheckFileOfRow(rows[kept->second], false), CheckFileOfRow(rows[row], true),
                              InputDirectoryOf(path, inputDirectories)});
        plan.Rows.push_back(row);
        plan.KeptRows.push_back(kept->second);
    }
    return plan;
}

std::vector<TReplaceOutcome> ReplaceDuplicates(const std::vector<TReplaceItem>& items,
                                               const TReplaceOptions& options, std::stop_token stop,
                                               const std::function<void(std::size_t, std::size_t)>& progress)
{
    std::vector<TReplaceOutcome> outcomes(items.size());
    TReplacer replacer(options);
    // Consecutive items of one kept file are checked together, then acted on.
    std::size_t done = 0;
    for (std::size_t first = 0; first < items.size() && !stop.stop_requested();) {
        std::size_t last = first + 1;
        while (last < items.size() && items[last].Kept.Path == items[first].Kept.Path)
            ++last;
        TCheckGroup group;
        group.Files.push_back(items[first].Kept);
        group.Files.back().Deleting = false;
        std::vector<std::size_t> checked;
        std::vector<timespec> atimes;
        for (std::size_t i = first; i < last; ++i) {
            if (replacer.RefusedEarly(items[i], outcomes[i])) continue;
            atimes.push_back(AccessTime(items[i].Duplicate.Path));
            checked.push_back(i);
            group.Files.push_back(items[i].Duplicate);
            group.Files.back().Deleting = true;
        }
        if (!checked.empty()) {
            const TCopyCheckOutcome check = FindFilesWithoutCopy({group}, stop);
            if (check.Cancelled) break;
            std::vector<bool> withoutCopy(group.Files.size(), false);
            for (const TFileRef& ref : check.WithoutCopy)
                withoutCopy[ref.File] = true;
            for (std::size_t k = 0; k < checked.size(); ++k) {
                const std::size_t i = checked[k];
                if (withoutCopy[k + 1]) {
                    outcomes[i] = Outcome(Unchanged(items[i].Duplicate) ? EReplaceResult::NotIdentical
                                                                        : EReplaceResult::DuplicateChanged);
                    continue;
                }
                if (stop.stop_requested()) break;
                outcomes[i] = replacer.Act(items[i], atimes[k]);
                if (progress) progress(++done, items.size());
            }
        }
        if (stop.stop_requested()) break;
        if (done != last && progress) progress(last, items.size());
        done = first = last;
    }
    return outcomes;
}

} // namespace quorvane
