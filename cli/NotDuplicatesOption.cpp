// The remembered "not duplicates" of the window, applied by find and similar
// unless --all-groups asks for every group: the same file the window keeps,
// so a pair the user set apart there is not offered here either.
#include "CliCommands.h"
#include "NotDuplicates.h"

#include <cstdio>

namespace quorvane::cli {

std::size_t ApplyRememberedNotDuplicates(std::vector<TFileRecord>& rows, std::vector<int>* alongside)
{
    const std::string path = DefaultNotDuplicatesPath();
    TNotDuplicates store;
    switch (store.Load(path)) {
    case TNotDuplicatesLoad::Missing:
        return 0;
    case TNotDuplicatesLoad::Damaged:
        std::fprintf(stderr, "quorvane-cli: %s cannot be read; every group is shown\n", path.c_str());
        return 0;
    case TNotDuplicatesLoad::Loaded:
        return ApplyNotDuplicates(rows, store, alongside);
    }
    return 0;
}

} // namespace quorvane::cli
