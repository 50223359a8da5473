// The answers of quorvane-cli to --help and --version: both write to stdout
// and return the exit status 0 (1 when stdout cannot take the text).
#pragma once

#include <string>
#include <vector>

namespace quorvane::cli {

int PrintHelp();
int PrintVersion();

// True when a subcommand's arguments hold --help before any "--".
bool AsksForHelp(const std::vector<std::string>& args);

} // namespace quorvane::cli
