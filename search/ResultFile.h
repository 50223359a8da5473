// The result file: one search's rows saved as JSON, to be opened again later.
// Names and directories are the exact bytes of the file system, written with
// the export escape (backslash doubled, invalid UTF-8 as \xHH) inside JSON
// strings, so every name comes back byte for byte. Invariant: a file this
// unit writes, this unit reads back to equal rows; a file it cannot trust in
// full yields an error and no rows at all.
#pragma once

#include "AtomicFile.h"
#include "ScanFilter.h"
#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

inline constexpr const char* kResultFileMarker = "quorvane-results";
inline constexpr int kResultFileVersion = 1;
// A larger file is refused before it is read.
inline constexpr std::uint64_t kMaxResultFileBytes = std::uint64_t{4} << 30;
// The largest distance a similar-pictures row can have (bits of the hash).
inline constexpr int kMaxResultDistance = 64;

enum class TResultKind : std::uint8_t {
    Duplicates,      // "find": rows in groups by the criteria
    AllFiles,        // "List All": rows without groups
    SimilarPictures, // groups of the same picture
};

// The similar-pictures search's settings, as the result file keeps them.
struct TSimilarCriteria {
    int Tolerance = 0;
    int MeanTolerance = 0;
    bool MoreFormats = false;
    bool TurnUpright = true;
    bool Turns = false;
    bool SamePixels = false;
    bool Crops = false; // absent from files written before the option
};

// What was searched and how.
struct TResultSearch {
    TResultKind Kind = TResultKind::Duplicates;
    TSearchCriteria Criteria; // Duplicates
    TSimilarCriteria Similar; // SimilarPictures
    bool IncludeSubdirectories = true;
    TScanFilter Filter;
    std::vector<std::string> Directories; // as given to the search
};

struct TSavedResult {
    std::string ProgramVersion;
    std::int64_t SearchedAt = 0; // seconds since the epoch (UTC)
    TResultSearch Search;
    // In group order: Group numbers never decrease, and are all 0 (no groups)
    // or all from 1. DiskState is not kept: it is checked again on opening.
    std::vector<TFileRecord> Rows;
    // Empty, or one per row: the hash distance in bits to the first picture
    // of its group (0..kMaxResultDistance).
    std::vector<int> Distances;
};

enum class TResultFileError : std::uint8_t {
    None,
    CannotOpen,   // missing, unreadable, a link, or not a regular file
    TooLarge,     // beyond kMaxResultFileBytes, or its rows beyond the memory
    CannotRead,   // an input/output error while reading
    Truncated,    // the file ends before its JSON does
    Damaged,      // not JSON, or a field missing, of the wrong type or out of range
    Foreign,      // JSON, but not a result file of this program
    NewerVersion, // a result file of a later format version
    RowsInvalid,  // saving: rows (or a time) the format cannot hold, see TSavedResult
    CannotWrite,  // saving: the file could not be written whole
};

// The error's name for logs and tests ("truncated", "foreign", ...).
const char* ResultFileErrorName(TResultFileError error);

// The whole file's text, appended to out; RowsInvalid (and out unchanged)
// when result breaks the invariants of TSavedResult.
TResultFileError AppendResultFile(std::string& out, const TSavedResult& result);

// The whole file's text handed to sink in pieces of about a megabyte (for a
// large result, far less memory than the whole text); CannotWrite when the
// sink refused a piece.
TResultFileError WriteResultFile(const TSavedResult& result, const TByteSink& sink);

// Writes the file atomically (temporary file, fsync, rename).
TResultFileError SaveResultFile(const std::string& path, const TSavedResult& result);

// Reads a whole file's text (modified in place while parsing). On any error
// result is left as it was.
TResultFileError ParseResultFile(std::string&& text, TSavedResult& result);

// Opens path (never following a link at it, never blocking on a FIFO) and
// parses it. On any error result is left as it was.
TResultFileError OpenResultFile(const std::string& path, TSavedResult& result);

// The time of day now, for SearchedAt.
std::int64_t ResultTimeNow();

} // namespace quorvane
