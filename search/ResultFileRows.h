// The rules the result file's writer and reader share, so that every file
// written is one the reader accepts: the columns of a row, the names of the
// kinds, and what a row, a search and a whole result must satisfy.
#pragma once

#include "ResultFile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// The columns of every row, in order; "distance" comes last and only when
// the result carries distances.
inline constexpr const char* kResultColumns[] = {"group",   "name",       "directory",       "size",
                                                 "timeKey", "image",      "otherNames",      "device",
                                                 "inode",   "modifiedNs", "statusChangedNs", "distance"};
inline constexpr std::size_t kResultBaseColumns = 11;
inline std::size_t ResultColumnCount(bool distances)
{
    return kResultBaseColumns + (distances ? 1 : 0);
}

// The latest SearchedAt the time text holds (9999-12-31T23:59:59Z).
inline constexpr std::int64_t kMaxSearchedAt = 253402300799;

// seconds as "YYYY-MM-DDTHH:MM:SSZ"; empty when the time has no such text.
std::string ResultTimeText(std::int64_t seconds);

const char* ResultKindName(TResultKind kind);
std::optional<TResultKind> ResultKindFromName(std::string_view name);

// A name the file system could give: not empty, not "." or "..", no NUL and
// no '/'.
bool ValidResultName(std::string_view name);
// A directory text: not empty, no NUL.
bool ValidResultDirectory(std::string_view directory);
// A row's own fields (not its group's order).
bool ValidResultRow(const TFileRecord& row);
// Every row valid, in group order, the distances one per row or none, and
// SearchedAt within the years the file's time text can hold.
bool ValidResultRows(const TSavedResult& result);
// Tolerances within the similar search's ranges, directories and filter
// texts free of NUL.
bool ValidSearch(const TResultSearch& search);

} // namespace quorvane
