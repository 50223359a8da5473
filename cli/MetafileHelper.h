// Starting quorvane-metafile, the program that draws WMF and EMF files for
// "quorvane-cli decode".
#pragma once

#include <string>
#include <vector>

namespace quorvane::cli {

// Where quorvane-metafile is: beside this program (the build tree), else in
// the helper folder of an installation, given relative to this program's
// folder. Empty when neither holds it.
std::string MetafileHelperPath(const std::string& selfPath, const std::string& helperFromBin);

// Replaces this process by quorvane-metafile with args; returns only when
// it cannot be started (1, with the reason on stderr).
int RunMetafileHelper(const std::vector<std::string>& args);

} // namespace quorvane::cli
