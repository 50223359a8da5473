// The protected-folder rule over path bytes. Cleaning is lexical; links are
// resolved only for the native Linux style, through realpath, so a folder
// reached under another name through a link is still protected; and the
// directories on a file's own path are compared with the folders by
// (device, inode), which also sees a folder reached through a bind mount.
#include "ProtectedFolders.h"

#include "PathRules.h"

#include <QFile>
#include <climits>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

bool IsSeparator(char c, PathStyle style)
{
    return c == '/' || (style == PathStyle::Windows && c == '\\');
}

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SamePrefix(std::string_view path, std::string_view folder, PathStyle style)
{
    if (path.size() < folder.size()) return false;
    if (style == PathStyle::Posix) return path.substr(0, folder.size()) == folder;
    for (std::size_t i = 0; i < folder.size(); ++i)
        if (FoldAscii(path[i]) != FoldAscii(folder[i])) return false;
    return true;
}

std::string WorkingDirectory()
{
    std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), &std::free);
    return cwd ? std::string(cwd.get()) : std::string("/");
}

// The real path of a cleaned Linux path, or an empty text when it cannot be
// resolved (gone, or no permission on the way).
std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

} // namespace

std::string CleanAbsolutePath(std::string_view path, PathStyle style)
{
    const char sep = PathSeparator(style);
    std::string prefix;
    std::string_view rest = path;
    if (style == PathStyle::Windows) {
        prefix = std::string(DrivePart(path, style));
        rest.remove_prefix(prefix.size());
    } else if (path.empty() || path.front() != '/') {
        // Relative to where the program runs, as the scan reads it.
        const std::string cwd = WorkingDirectory();
        return CleanAbsolutePath(cwd + '/' + std::string(path), style);
    }
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end], style))
            ++end;
        const std::string_view part = rest.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string cleaned = prefix;
    for (const std::string_view part : parts) {
        cleaned.push_back(sep);
        cleaned.append(part);
    }
    if (parts.empty()) cleaned.push_back(sep);
    return cleaned;
}

bool IsAtOrBelow(std::string_view folder, std::string_view path, PathStyle style)
{
    if (folder.empty() || path.empty()) return false;
    const std::string f = CleanAbsolutePath(folder, style);
    const std::string p = CleanAbsolutePath(path, style);
    if (!SamePrefix(p, f, style)) return false;
    // The match must end at a component boundary of path; a root ends in one.
    return p.size() == f.size() || IsSeparator(f.back(), style) || IsSeparator(p[f.size()], style);
}

TProtectedFolders::TProtectedFolders(const std::vector<std::string>& folders, PathStyle style) : FStyle(style)
{
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        FFolders.push_back(CleanAbsolutePath(folder, style));
        if (style != PathStyle::Posix || kNativePathStyle != PathStyle::Posix) continue;
        const std::string clean = FFolders.back();
        struct stat st {};
        if (::stat(clean.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            FIdentities.emplace(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
        const std::string real = RealPath(clean);
        if (!real.empty() && real != clean) FFolders.push_back(real);
    }
}

bool TProtectedFolders::IdentityCovers(const std::string& cleanDirectory) const
{
    if (FIdentities.empty()) return false;
    // Climb until a directory whose answer is known, or the root; then give
    // every directory passed the answer found.
    std::vector<std::string> passed;
    std::string directory = cleanDirectory;
    bool covered = false;
    for (;;) {
        if (const auto known = FByIdentity.find(directory); known != FByIdentity.end()) {
            covered = known->second;
            break;
        }
        passed.push_back(directory);
        struct stat st {};
        if (::stat(directory.c_str(), &st) == 0 &&
            FIdentities.count(
                {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)})) {
            covered = true;
            break;
        }
        if (directory == "/") break;
        directory = DirectoryPart(directory, PathStyle::Posix);
    }
    for (const std::string& each : passed)
        FByIdentity.emplace(each, covered);
    return covered;
}

bool TProtectedFolders::UnderAny(const std::string& path) const
{
    for (const std::string& folder : FFolders)
        if (IsAtOrBelow(folder, path, FStyle)) return true;
    return false;
}

bool TProtectedFolders::CoversDirectory(const std::string& directory) const
{
    if (FFolders.empty() || directory.empty()) return false;
    if (const auto known = FByDirectory.find(directory); known != FByDirectory.end()) return known->second;
    bool covered = UnderAny(CleanAbsolutePath(directory, FStyle));
    if (!covered && FStyle == PathStyle::Posix && kNativePathStyle == PathStyle::Posix) {
        const std::string clean = CleanAbsolutePath(directory, FStyle);
        const std::string real = RealPath(clean);
        covered = (!real.empty() && UnderAny(real)) || IdentityCovers(clean);
    }
    FByDirectory.emplace(directory, covered);
    return covered;
}

bool TProtectedFolders::CoversRow(const TFileRecord& row) const
{
    if (FFolders.empty()) return false;
    const std::string* directory = row.Directory.get();
    if (!directory) return CoversDirectory(row.DirectoryText());
    if (const auto known = FByRowDirectory.find(directory); known != FByRowDirectory.end())
        return known->second;
    const bool covered = CoversDirectory(*directory);
    FByRowDirectory.emplace(directory, covered);
    return covered;
}

bool TProtectedFolders::CoversFile(const std::string& path) const
{
    // The file's own name never decides: a link in a protected folder is
    // protected, a link elsewhere to a protected file is not (deleting it
    // removes only the link).
    return CoversDirectory(DirectoryPart(path, FStyle));
}

QString ProtectedDeleteQuestion(const QString& path, EFileOpLanguage language)
{
    return (language == EFileOpLanguage::Chinese ? kProtectedDeleteQuestion : kProtectedDeleteQuestionEnglish)
        .arg(path);
}

std::vector<TDeleteItem> ConfirmProtectedDeletions(const std::vector<TDeleteItem>& items,
                                                   const TProtectedFolders& folders, IFileOpPrompts& prompts,
                                                   EFileOpLanguage language)
{
    if (folders.Empty()) return items;
    std::vector<TDeleteItem> allowed;
    allowed.reserve(items.size());
    for (const TDeleteItem& item : items) {
        if (folders.CoversFile(item.Path)) {
            const QString shown = QFile::decodeName(QByteArray::fromStdString(item.Path));
            if (!prompts.Confirm(ProtectedDeleteQuestion(shown, language), false)) continue;
        }
        allowed.push_back(item);
    }
    return allowed;
}

} // namespace quorvane
