// Replacing a file whole or not at all: the bytes go to a temporary file in
// the target's folder, are synced, and the temporary file is renamed over the
// target, so a reader sees either the old file or the complete new one.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quorvane {

// Writes bytes to path atomically with the given permission bits, creating
// the folder when createFolder is set. False, with any older file at path
// left as it was and no temporary file left behind, when it cannot.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, mode_t mode, bool createFolder);

// Takes bytes in pieces; false when they could not be written.
using TByteSink = std::function<bool(std::string_view)>;

// The same for a file made in pieces: produce hands each piece to the sink
// and returns false when it, or the sink, failed.
bool ReplaceFileAtomically(const std::string& path, const std::function<bool(const TByteSink&)>& produce,
                           mode_t mode, bool createFolder);

} // namespace quorvane
