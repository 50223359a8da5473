// The filter options shared by the search commands of quorvane-cli.
#include "CliCommands.h"

namespace quorvane::cli {

int TakeFilterOption(const std::vector<std::string>& args, std::size_t at, TScanFilter& filter)
{
    const std::string& arg = args[at];
    const bool known = arg == "--min-size" || arg == "--max-size" || arg == "--exclude" ||
                       arg == "--exclude-dir" || arg == "--ext";
    if (!known) return 0;
    if (at + 1 >= args.size()) return -1;
    const std::string& value = args[at + 1];
    if (arg == "--min-size" || arg == "--max-size") {
        const std::optional<std::uint64_t> size = ParseByteSize(value);
        if (!size) return -1;
        (arg == "--min-size" ? filter.MinSize : filter.MaxSize) = *size;
    } else if (arg == "--exclude") {
        filter.ExcludedNames.push_back(value);
    } else if (arg == "--exclude-dir") {
        filter.ExcludedFolders.push_back(value);
    } else {
        for (std::string& extension : SplitFilterList(value))
            filter.Extensions.push_back(std::move(extension));
    }
    return 2;
}

} // namespace quorvane::cli
