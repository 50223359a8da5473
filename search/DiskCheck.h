// The rows of a result list checked against the disk: whether each row's file
// is still the one the scan read (same device, inode, size and nanosecond
// modification time, still a regular file), gone, or changed. A row is a
// claim made at search time; these functions only read, never change a file.
#pragma once

#include "TFileRecord.h"

#include <cstdint>
#include <functional>
#include <stop_token>
#include <sys/stat.h>
#include <vector>

namespace quorvane {

// How a stat result compares with what the row recorded. A row without a
// recorded identity (device and inode 0) matches any regular file.
TDiskState DiskStateFromStat(const struct stat& st, const TFileRecord& row);

// One row, looked up by its own path bytes (the link itself, never its target).
// A file that cannot be examined (no permission on its folder) keeps
// kDiskAsListed: only what is known to differ is marked.
TDiskState DiskStateOf(const TFileRecord& row);

// The states of rows[which[k]] for every k, in that order. Each directory is
// opened once and its files looked up relative to it, so a million rows cost
// about what listing them cost. progress(done, total) is called now and then;
// a stop request ends the work early and leaves the remaining states as
// kDiskAsListed (the caller then discards the answer).
std::vector<std::uint8_t> DiskStatesOf(const std::vector<TFileRecord>& rows, const std::vector<std::size_t>& which,
                                       std::stop_token stop = {},
                                       const std::function<void(std::size_t, std::size_t)>& progress = {});

} // namespace quorvane
