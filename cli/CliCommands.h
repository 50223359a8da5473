// The subcommands of quorvane-cli. Each takes the arguments after its own
// name and returns the process exit status; all output goes to stdout/stderr.
#pragma once

#include "ResultFile.h"
#include "ScanFilter.h"
#include "TFileRecord.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::cli {

// "find" (listAll false) and "list" (listAll true).
int RunSearch(const std::vector<std::string>& args, bool listAll);

// "decode" of a GIF file: the first image as an in-memory BMP stream.
int RunDecodeGif(const std::vector<std::string>& args);

// "decode" of a JPEG file with the decoding settings given as options.
int RunDecodeJpeg(const std::vector<std::string>& args);

// "decode" of a WMF or EMF file: played at its own size into a 24-bit BMP.
int RunDecodeMetafile(const std::vector<std::string>& args);

// "decode" of a photo format (PNG, WebP, TIFF, HEIF, AVIF, JPEG XL, RAW):
// the picture turned upright (unless --stored) as a 32-bit BMP with alpha.
int RunDecodePhoto(const std::vector<std::string>& args);

// "similar": groups of the same picture at another size, quality or format.
int RunSimilar(const std::vector<std::string>& args);

// What find --action does to the rows --keep selected.
struct TCliAction {
    enum EKind { Trash, Delete, HardLink, SymbolicLink, Clone, Move };
    EKind Kind = Trash;
    std::string Folder;         // Move: the receiving folder
    bool AbsoluteLinks = false; // SymbolicLink: name the kept file's absolute path
    bool DryRun = false;        // only say what would be done
};

// Reads "trash", "delete", "hardlink", "symlink", "clone" or "move:DIR".
bool ParseAction(const std::string& text, TCliAction& action);

// Acts on the selected rows of each group against its first unselected row;
// writes a line per file refused or failed and a summary line to stderr.
// Returns 0 when every file was acted on, 3 when some were refused and none
// failed, 1 when some failed.
// The rows carry their group numbers.
int RunAction(const TCliAction& action, const std::vector<TFileRecord>& rows,
              const std::vector<bool>& selected, const std::vector<std::string>& directories);

// The filter options of find, list and similar: --min-size N, --max-size N
// (K, M, G suffixes), --exclude PATTERN and --exclude-dir DIR (each may be
// repeated), --ext LIST (comma-separated). When args[at] is one of them,
// consumes it and its value and returns 2; returns 0 when it is none, -1
// when its value is missing or not a size.
int TakeFilterOption(const std::vector<std::string>& args, std::size_t at, TScanFilter& filter);
inline constexpr const char* kFilterUsage =
    "[--min-size N] [--max-size N] [--exclude PATTERN]... [--exclude-dir DIR]... [--ext LIST]";

// Writes result, stamped with this program's version, to stdout as the
// result file; false when it could not be written whole.
bool PrintResultFile(TSavedResult& result);

// Takes out of rows (numbered by group, each group's rows together) the
// files the user marked as not duplicates of one another, as the window
// remembers them, and renumbers the groups; returns the number of rows
// taken out. A damaged file of marks is named on stderr and ignored.
// alongside, one value per row, loses the same rows.
std::size_t ApplyRememberedNotDuplicates(std::vector<TFileRecord>& rows,
                                         std::vector<int>* alongside = nullptr);

// Appends field as the result lines write it: TAB, line feed and backslash
// become \t, \n and \\.
void AppendEscaped(std::string& out, std::string_view field);

} // namespace quorvane::cli
