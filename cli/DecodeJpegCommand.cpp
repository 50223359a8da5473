// Placeholder until this subcommand is written.
#include "CliCommands.h"

#include <cstdio>

int quorvane::cli::RunDecodeJpeg(const std::vector<std::string>&)
{
    std::fputs("quorvane-cli: this command is not available yet\n", stderr);
    return 1;
}
