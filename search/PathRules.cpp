// Path texts under the Linux or the Windows conventions. Windows roots are a
// drive ("C:", "C:\") or a UNC share ("\\server\share"); the Linux root is "/".
#include "PathRules.h"

#include "TextCompare.h"

#include <atomic>

namespace quorvane {

char PathSeparator(PathStyle style)
{
    return style == PathStyle::Windows ? '\\' : '/';
}

std::string JoinPath(std::string_view directory, std::string_view name, PathStyle style)
{
    const char sep = PathSeparator(style);
    std::string path;
    path.reserve(directory.size() + 1 + name.size());
    path.append(directory);
    if (directory.empty() || directory.back() != sep) path.push_back(sep);
    path.append(name);
    return path;
}

namespace {

bool IsDelimiter(char c, PathStyle style)
{
    return style == PathStyle::Windows ? (c == '\\' || c == ':') : c == '/';
}

} // namespace

std::string DirectoryPart(std::string_view path, PathStyle style)
{
    std::size_t i = path.size();
    while (i > 0 && !IsDelimiter(path[i - 1], style))
        --i;
    if (i == 0) return {};
    // i is one past the last delimiter. Drop a trailing separator unless it
    // ends a root ("/", "C:\", "\").
    if (i > 1 && path[i - 1] == PathSeparator(style) && !IsDelimiter(path[i - 2], style)) --i;
    return std::string(path.substr(0, i));
}

std::string_view DrivePart(std::string_view directory, PathStyle style)
{
    if (style != PathStyle::Windows) return {};
    if (directory.size() >= 2 && directory[1] == ':') return directory.substr(0, 2);
    if (directory.size() >= 2 && directory[0] == '\\' && directory[1] == '\\') {
        // "\\server\share": up to the separator after the share name.
        std::size_t server = directory.find('\\', 2);
        if (server == std::string_view::npos) return directory;
        std::size_t share = directory.find('\\', server + 1);
        return share == std::string_view::npos ? directory : directory.substr(0, share);
    }
    return {};
}

std::string NormaliseDirectory(std::string_view directory, PathStyle style)
{
    if (directory.empty()) return {};
    const char sep = PathSeparator(style);
    const std::string_view drive = DrivePart(directory, style);
    std::string rootWithSep(drive);
    rootWithSep.push_back(sep);
    const bool isRoot = SameFolded(directory, drive) || SameFolded(directory, rootWithSep);
    std::string result(directory);
    if (isRoot) {
        if (result.back() != sep) result.push_back(sep);
    } else if (result.back() == sep) {
        result.pop_back();
    }
    return result;
}

std::string_view ExtensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

namespace {

std::atomic<bool> GMoreFormats{false};

std::string UpperExtension(std::string_view name)
{
    std::string upper(ExtensionOf(name));
    for (char& c : upper)
        c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return upper;
}

} // namespace

bool IsPictureFile(std::string_view name)
{
    const std::string upper = UpperExtension(name);
    // A lone dot is no extension (a name such as "notes." on Linux).
    if (upper.size() < 2) return false;
    if (PictureExtensions.find(upper) != std::string_view::npos) return true;
    return MoreFormatsEnabled() && IsMoreFormatFile(name);
}

bool IsMoreFormatFile(std::string_view name)
{
    // The photo decoders' extensions (formats/photo reads them).
    static constexpr std::string_view kMoreFormats[] = {
        ".PNG", ".WEBP", ".TIF", ".TIFF", ".HEIC", ".HEIF", ".HIF", ".AVIF", ".JXL", ".NEF", ".NRW",
        ".CR2", ".CR3",  ".ARW", ".SR2",  ".DNG",  ".ORF",  ".RW2", ".RAF",  ".PEF", ".SRW", ".ERF"};
    const std::string upper = UpperExtension(name);
    for (std::string_view extension : kMoreFormats)
        if (upper == extension) return true;
    return false;
}

void SetMoreFormatsEnabled(bool enabled)
{
    GMoreFormats.store(enabled, std::memory_order_relaxed);
}

bool MoreFormatsEnabled()
{
    return GMoreFormats.load(std::memory_order_relaxed);
}

} // namespace quorvane
