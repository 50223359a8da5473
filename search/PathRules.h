// Path texts of the search: joining a directory and a name, the directory
// part of a path, the normalised form of an input directory, and the picture
// test on names. Linux rules by default; Windows rules (drive letters, UNC
// names, '\') through PathStyle so both can be tested on any platform.
#pragma once

#include "TFileRecord.h"

#include <string>
#include <string_view>

namespace quorvane {

// The extensions that count as pictures; a substring test, so ".JP" counts.
inline constexpr std::string_view PictureExtensions = ".BMP.GIF.JPG.JPEG.JPE.ICO.EMF.WMF";

// The separator of the style: '/' or '\'.
char PathSeparator(PathStyle style = kNativePathStyle);

// directory, a separator unless it already ends with one, then name.
std::string JoinPath(std::string_view directory, std::string_view name, PathStyle style = kNativePathStyle);

// The text before the last separator (or, Windows, colon); a root keeps its
// separator: "/a.jpg" gives "/", "C:\a.jpg" gives "C:\". Empty without one.
std::string DirectoryPart(std::string_view path, PathStyle style = kNativePathStyle);

// Windows: "C:" for "C:...", "\\server\share" for a UNC path; else empty.
std::string_view DrivePart(std::string_view directory, PathStyle style = kNativePathStyle);

// The directory as the collection holds it: a root keeps (or gains) its
// separator ("/", "C:\"), any other directory loses one trailing separator.
// An empty text stays empty.
std::string NormaliseDirectory(std::string_view directory, PathStyle style = kNativePathStyle);

// The extension of a name with its dot, case kept: the text from the last dot;
// empty when the name has no dot.
std::string_view ExtensionOf(std::string_view name);

// True when the upper-cased extension of name has at least one character
// after its dot and occurs in PictureExtensions, or, while the extra formats
// are enabled, is one of them.
bool IsPictureFile(std::string_view name);

// The extra picture formats the window may enable ("More picture formats"):
// PNG, WebP, TIFF, HEIC/HEIF, AVIF, JPEG XL and the camera RAW extensions,
// case-insensitive.
bool IsMoreFormatFile(std::string_view name);
// Switches the extra formats into IsPictureFile for the whole process (the
// type mark of a scan, the preview, the slides, the viewer). Off unless a
// caller turns it on, so the picture test is otherwise the plain one.
void SetMoreFormatsEnabled(bool enabled);
bool MoreFormatsEnabled();

// Hidden entries on Linux: names starting with a dot.
inline bool IsHiddenName(std::string_view name)
{
    return !name.empty() && name.front() == '.';
}

} // namespace quorvane
