// What the program does before and just after its application object
// exists: the answers to --help and --version (which need no display) and
// the names by which the desktop finds the program's entry and icon.
#pragma once

#include <cstdio>
#include <optional>

class QGuiApplication;

namespace quorvane {

// For --version or --help among the arguments (before any "--"): writes the
// answer to out and gives the exit status. Otherwise nothing.
std::optional<int> AnswerInfoOption(int argc, const char* const* argv, std::FILE* out);

// Names the desktop entry (quorvane.desktop) and takes the window icon from
// the installed icon theme.
void ApplyDesktopIdentity(QGuiApplication& app);

} // namespace quorvane
