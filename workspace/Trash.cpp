// The freedesktop.org trash over POSIX calls on the path's bytes. Order of
// work for one file: choose a trash on the file's own device, create
// info/NAME.trashinfo with O_EXCL (a taken name moves on to the next), then
// rename the file to files/NAME without replacing anything. Any failure
// removes the info entry again and leaves the file where it was.
#include "Trash.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

constexpr int kMaxNameAttempts = 10000;
// An info without its file is a crash's leftover only once it is this old;
// a younger one may be another program's between writing it and moving.
constexpr std::int64_t kLeftoverInfoSeconds = 120;
// A .trashinfo is read up to this size (a Path= of 4096 bytes, encoded).
constexpr std::size_t kMaxInfoBytes = 16 * 1024;
// Trash names are cut to this many bytes so that NAME.trashinfo still fits
// the file system's 255-byte limit with a counter added.
constexpr std::size_t kMaxTrashNameBytes = 200;

class TFd {
  public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd()
    {
        if (FFd >= 0) ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }

  private:
    int FFd;
};

std::string ParentOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& directory, const std::string& name)
{
    return directory.empty() || directory.back() == '/' ? directory + name : directory + '/' + name;
}

// The file's path with its directory resolved (links and "..", but not the
// file itself, which may be a link), or empty when the directory is gone.
std::string ResolvedPath(const std::string& path)
{
    char buffer[PATH_MAX];
    if (!::realpath(ParentOf(path).c_str(), buffer)) return {};
    return Join(buffer, BaseNameOf(path));
}

// A directory that is really one of ours to use: not a link, owned by uid.
bool IsOwnDirectory(const std::string& path, uid_t uid)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid;
}

// Creates a private directory unless it exists.
bool EnsureDirectory(const std::string& path)
{
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// info/ and files/ inside a trash, both real directories of ours.
bool EnsureTrashFolders(const std::string& trash, uid_t uid)
{
    for (const char* sub : {"info", "files"}) {
        const std::string folder = Join(trash, sub);
        if (!EnsureDirectory(folder) || !IsOwnDirectory(folder, uid)) return false;
    }
    return true;
}

// Creates every missing directory of path (mkdir -p), new ones private.
bool MakePath(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::string parent = ParentOf(path);
    if (parent != path && !MakePath(parent)) return false;
    return EnsureDirectory(path);
}

// The nearest existing directory at or above path.
std::string NearestExisting(std::string path)
{
    struct stat st {};
    while (::stat(path.c_str(), &st) != 0 && path != "/" && path != ".")
        path = ParentOf(path);
    return path;
}

// What tells mounts apart: the mount id where the kernel gives one (two
// mounts of one file system, such as a bind mount, share a device but not
// an id), else the device. Empty when the path cannot be examined.
std::optional<std::uint64_t> MountKeyOf(const std::string& path)
{
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_MNT_ID, &sx) != 0) return std::nullopt;
    if (sx.stx_mask & STATX_MNT_ID) return sx.stx_mnt_id;
    return (std::uint64_t{sx.stx_dev_major} << 32) | sx.stx_dev_minor;
}

std::string DefaultMountPointOf(const std::string& path)
{
    std::string current = ResolvedPath(path);
    if (current.empty()) return {};
    current = ParentOf(current);
    const std::optional<std::uint64_t> here = MountKeyOf(current);
    if (!here) return {};
    while (current != "/") {
        const std::string up = ParentOf(current);
        if (MountKeyOf(up) != here) return current;
        current = up;
    }
    return current;
}

bool SameFields(const TFileIdentity& a, const TFileIdentity& b)
{
    return a.Device == b.Device && a.Inode == b.Inode && a.Size == b.Size && a.ModifiedNs == b.ModifiedNs;
}

// The first bytes of a small file in dir, or empty when it cannot be read.
std::string ReadSmallFile(int dir, const std::string& name)
{
    const TFd fd(::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) return {};
    std::string text(kMaxInfoBytes, '\0');
    const ssize_t got = ::read(fd.Get(), text.data(), text.size());
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

std::uint64_t DefaultDeviceOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_dev) : ~std::uint64_t{0};
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

TTrashPlaces TTrashPlaces::ForCurrentUser()
{
    TTrashPlaces places;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && dataHome[0] == '/') {
        places.DataHome = dataHome;
    } else if (home && home[0] == '/') {
        places.DataHome = Join(home, ".local/share");
    }
    places.Uid = ::getuid();
    return places;
}

TTrash::TTrash(TTrashPlaces places) : FPlaces(std::move(places))
{
    if (!FPlaces.MountPointOf) FPlaces.MountPointOf = DefaultMountPointOf;
    if (!FPlaces.DeviceOf) FPlaces.DeviceOf = DefaultDeviceOf;
    if (!FPlaces.MoveNoReplace) FPlaces.MoveNoReplace = RenameNoReplace;
}

std::string TTrash::HomeTrash(std::uint64_t fileDevice) const
{
    if (FPlaces.DataHome.empty()) return {};
    const std::string trash = Join(FPlaces.DataHome, "Trash");
    // A missing data folder is created, but only on the file's own device:
    // a trash elsewhere could take the file only by copying it.
    if (FPlaces.DeviceOf(NearestExisting(trash)) != fileDevice) return {};
    if (!MakePath(trash) || !EnsureTrashFolders(trash, FPlaces.Uid)) return {};
    return FPlaces.DeviceOf(trash) == fileDevice ? trash : std::string();
}

std::string TTrash::TopDirectoryTrash(const std::string& topDir) const
{
    const std::string uid = std::to_string(FPlaces.Uid);
    // $topdir/.Trash/$uid, only below an administrator's sticky directory.
    const std::string shared = Join(topDir, ".Trash");
    struct stat st {};
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const std::string own = Join(shared, uid);
        if (EnsureDirectory(own) && IsOwnDirectory(own, FPlaces.Uid) && EnsureTrashFolders(own, FPlaces.Uid))
            return own;
    }
    // $topdir/.Trash-$uid: ours, private, not a link.
    const std::string own = Join(topDir, ".Trash-" + uid);
    if (!EnsureDirectory(own) || ::lstat(own.c_str(), &st) != 0) return {};
    if (!S_ISDIR(st.st_mode) || st.st_uid != FPlaces.Uid || (st.st_mode & 0777) != 0700) return {};
    return EnsureTrashFolders(own, FPlaces.Uid) ? own : std::string();
}

std::string TTrash::TrashDirectoryFor(const std::string& path, std::string& topDir) const
{
    topDir.clear();
    const std::uint64_t device = FPlaces.DeviceOf(ParentOf(path));
    std::string trash = HomeTrash(device);
    if (!trash.empty()) return trash;
    topDir = FPlaces.MountPointOf(path);
    if (topDir.empty()) return {};
    trash = TopDirectoryTrash(topDir);
    if (trash.empty() || FPlaces.DeviceOf(trash) != device) return {};
    return trash;
}

TTrashOutcome TTrash::MoveToTrash(const std::string& path) const
{
    TTrashOutcome outcome;
    const std::string resolved = ResolvedPath(path);
    struct stat st {};
    if (resolved.empty() || ::lstat(path.c_str(), &st) != 0) {
        outcome.Error = errno;
        return outcome;
    }
    std::string topDir;
    const std::string trash = TrashDirectoryFor(resolved, topDir);
    if (trash.empty()) {
        outcome.Result = ETrashResult::NoTrash;
        return outcome;
    }
    outcome = MoveInto(path, resolved, trash, topDir, st);
    // The home trash shares the file's device but not its mount (a bind
    // mount of the home file system): the rename says so, and the trash at
    // the top directory of the file's own mount takes the file instead.
    if (outcome.Result == ETrashResult::NoTrash && outcome.Error == EXDEV && topDir.empty()) {
        topDir = FPlaces.MountPointOf(resolved);
        const std::string own = topDir.empty() ? std::string() : TopDirectoryTrash(topDir);
        if (!own.empty() && own != trash) outcome = MoveInto(path, resolved, own, topDir, st);
    }
    return outcome;
}

TTrashOutcome TTrash::MoveInto(const std::string& path, const std::string& resolved, const std::string& trash,
                               const std::string& topDir, const struct stat& st) const
{
    TTrashOutcome outcome;
    std::string pathForInfo = resolved;
    if (!topDir.empty()) {
        const std::string prefix = topDir == "/" ? "/" : topDir + '/';
        if (resolved.compare(0, prefix.size(), prefix) == 0) pathForInfo = resolved.substr(prefix.size());
    }
    const std::string infoDirPath = Join(trash, "info");
    const std::string filesDirPath = Join(trash, "files");
    const TFd infoDir(::open(infoDirPath.c_str(), O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const TFd filesDir(::open(filesDirPath.c_str(), O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (infoDir.Get() < 0 || filesDir.Get() < 0) {
        outcome.Error = errno;
        return outcome;
    }
    if (FClearedTrashes.insert(trash).second) ClearLeftoverInfos(infoDir.Get(), filesDir.Get(), topDir);
    const std::string text = TrashInfoText(pathForInfo, std::time(nullptr));
    const std::string name = BaseNameOf(resolved);
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string candidate = TrashNameCandidate(name, attempt);
        const std::string infoName = candidate + ".trashinfo";
        const TFd info(::openat(infoDir.Get(), infoName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (info.Get() < 0) {
            if (errno == EEXIST) continue;
            outcome.Error = errno;
            return outcome;
        }
        if (!WriteAll(info.Get(), text)) {
            outcome.Error = errno;
            ::unlinkat(infoDir.Get(), infoName.c_str(), 0);
            return outcome;
        }
        const int error = FPlaces.MoveNoReplace(AT_FDCWD, path, filesDir.Get(), candidate);
        if (error == 0) {
            outcome.Result = ETrashResult::Trashed;
            outcome.Identity = IdentityOfStat(st);
            outcome.TrashedAs = Join(filesDirPath, candidate);
            outcome.InfoPath = Join(infoDirPath, infoName);
            return outcome;
        }
        ::unlinkat(infoDir.Get(), infoName.c_str(), 0);
        if (error == EEXIST) continue; // files/NAME left without its info
        outcome.Result = error == EXDEV ? ETrashResult::NoTrash : ETrashResult::Failed;
        outcome.Error = error;
        return outcome;
    }
    outcome.Error = EEXIST;
    return outcome;
}

void TTrash::ClearLeftoverInfos(int infoDir, int filesDir, const std::string& topDir) const
{
    const int listFd = ::openat(infoDir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* list = ::fdopendir(listFd);
    if (!list) {
        ::close(listFd);
        return;
    }
    const std::string suffix = ".trashinfo";
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    while (const dirent* entry = ::readdir(list)) {
        const std::string infoName = entry->d_name;
        if (infoName.size() <= suffix.size() ||
            infoName.compare(infoName.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string name = infoName.substr(0, infoName.size() - suffix.size());
        struct stat st {};
        if (::fstatat(filesDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT) continue;
        // A fresh info may be another program's, between its two steps.
        if (::fstatat(infoDir, infoName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            now - static_cast<std::int64_t>(st.st_mtim.tv_sec) < kLeftoverInfoSeconds)
            continue;
        const std::string original = InfoOriginalPath(ReadSmallFile(infoDir, infoName), topDir);
        if (!original.empty() && ::lstat(original.c_str(), &st) == 0)
            ::unlinkat(infoDir, infoName.c_str(), 0);
    }
    ::closedir(list);
}

TRestoreOutcome TTrash::Restore(const TTrashedFile& file) const
{
    TRestoreOutcome outcome;
    struct stat st {};
    if (::lstat(file.TrashedAs.c_str(), &st) != 0) {
        outcome.Result = errno == ENOENT ? ERestoreResult::Missing : ERestoreResult::Failed;
        outcome.Error = errno;
        return outcome;
    }
    // Whatever went in (a link too) comes back only as itself.
    if (!file.Identity.Known || !SameFields(IdentityOfStat(st), file.Identity)) {
        outcome.Result = ERestoreResult::Changed;
        return outcome;
    }
    const int error = RenameNoReplace(AT_FDCWD, file.TrashedAs, AT_FDCWD, file.OriginalPath);
    if (error != 0) {
        outcome.Result =
            error == EEXIST || error == ENOTEMPTY ? ERestoreResult::Clash : ERestoreResult::Failed;
        outcome.Error = error;
        return outcome;
    }
    ::unlink(file.InfoPath.c_str());
    outcome.Result = ERestoreResult::Restored;
    return outcome;
}

std::string PercentDecodePath(std::string_view text)
{
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 && digit(text[i + 2]) >= 0) {
            decoded += static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::string InfoOriginalPath(std::string_view infoText, const std::string& topDir)
{
    bool inGroup = false;
    std::size_t start = 0;
    while (start < infoText.size()) {
        std::size_t end = infoText.find('\n', start);
        if (end == std::string_view::npos) end = infoText.size();
        const std::string_view line = infoText.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            inGroup = line == "[Trash Info]";
        } else if (inGroup && line.substr(0, 5) == "Path=") {
            const std::string path = PercentDecodePath(line.substr(5));
            if (path.empty()) return {};
            if (path.front() == '/') return path;
            return topDir.empty() ? std::string() : Join(topDir, path);
        }
    }
    return {};
}

std::string PercentEncodePath(std::string_view path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' ||
                           byte == '~' || byte == '/';
        if (plain) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0xF];
        }
    }
    return encoded;
}

std::string TrashInfoText(std::string_view pathForInfo, std::time_t deletedAt)
{
    std::tm local{};
    ::localtime_r(&deletedAt, &local);
    char date[64];
    std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return "[Trash Info]\nPath=" + PercentEncodePath(pathForInfo) + "\nDeletionDate=" + date + "\n";
}

std::string TrashNameCandidate(std::string_view name, int attempt)
{
    std::string base(name.substr(0, std::min(name.size(), kMaxTrashNameBytes)));
    if (attempt <= 1) return base;
    const std::size_t dot = base.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? base.substr(0, dot) : base;
    const std::string extension = hasExtension ? base.substr(dot) : std::string();
    return stem + '.' + std::to_string(attempt) + extension;
}

} // namespace quorvane
