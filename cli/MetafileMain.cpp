// quorvane-metafile: the WMF/EMF part of "quorvane-cli decode". Drawing a
// metafile needs Qt's painting, which the other commands do not; kept in a
// program of its own, it costs their start-up nothing.
// usage: quorvane-metafile FILE OUT.bmp (started by "quorvane-cli decode")
#include "CliCommands.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    return quorvane::cli::RunDecodeMetafile(std::vector<std::string>(argv + 1, argv + argc));
}
