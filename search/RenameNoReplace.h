// A rename that never replaces an existing entry, for every layer that moves
// a file to a name that must be free (the trash, undo, moving duplicates).
// Invariant: on success the file has exactly one of its two names.
#pragma once

#include <string>

namespace quorvane {

// Renames fromDir/from to toDir/to without ever replacing an entry there
// (AT_FDCWD for a path); 0 or errno, EEXIST when the target exists. Falls
// back to a hard link and an unlink where the file system cannot refuse.
int RenameNoReplace(int fromDir, const std::string& from, int toDir, const std::string& to);

} // namespace quorvane
