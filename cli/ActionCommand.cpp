// quorvane-cli find --action: acts on the rows --keep selected, each against
// the kept row of its group (the first row of the group that is not
// selected). Nothing is touched without --action; every file goes through
// the copy check at the moment of acting, and a file that fails it is
// refused, never asked about. stderr gets one line per file not acted on
// and the summary line.
#include "CliCommands.h"
#include "CopyCheck.h"
#include "Replace.h"
#include "Trash.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace quorvane::cli {

namespace {

struct TCounts {
    std::size_t Acted = 0, Refused = 0, Failed = 0;
};

const char* ReasonText(EReplaceResult result, int error)
{
    switch (result) {
    case EReplaceResult::DuplicateChanged:
        return "the file changed since the search";
    case EReplaceResult::KeptChanged:
        return "the kept file is gone or changed";
    case EReplaceResult::NotIdentical:
        return "the kept file does not have the same bytes";
    case EReplaceResult::CrossDevice:
        return "the kept file is on another file system";
    case EReplaceResult::NotSupported:
        return "the file system cannot clone files";
    case EReplaceResult::Clash:
        return "a file of that name is already in the folder";
    case EReplaceResult::Cancelled:
        return "not attempted";
    default:
        return std::strerror(error);
    }
}

void Count(TCounts& counts, const std::string& path, EReplaceResult result, int error)
{
    if (IsActedOn(result)) {
        ++counts.Acted;
        return;
    }
    ++(IsRefusal(result) ? counts.Refused : counts.Failed);
    std::fprintf(stderr, "%s: %s: %s\n", IsRefusal(result) ? "refused" : "failed", path.c_str(),
                 ReasonText(result, error));
}

// Deletion and the trash: the copy check for all the files first, then each
// file that keeps a copy goes, if it is still the listed file.
void Remove(const std::vector<TReplaceItem>& items, bool toTrash, TCounts& counts)
{
    std::vector<TCheckGroup> groups;
    for (const TReplaceItem& item : items)
        groups.push_back({{item.Kept, item.Duplicate}, false});
    const TCopyCheckOutcome check = FindFilesWithoutCopy(groups, {});
    std::vector<bool> withoutCopy(items.size(), false);
    for (const TFileRef& ref : check.WithoutCopy)
        withoutCopy[ref.Group] = true;
    const TTrash trash(TTrashPlaces::ForCurrentUser());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TCheckFile& file = items[i].Duplicate;
        int error = 0;
        const TFileIdentity identity{true, file.Device, file.Inode, file.Size, file.ModifiedNs};
        if (withoutCopy[i] || CheckIdentity(file.Path, identity, error) != EIdentity::Same) {
            Count(counts, file.Path,
                  withoutCopy[i] ? EReplaceResult::NotIdentical : EReplaceResult::DuplicateChanged, 0);
        } else if (toTrash) {
            const TTrashOutcome outcome = trash.MoveToTrash(file.Path);
            Count(counts, file.Path,
                  outcome.Result == ETrashResult::Trashed ? EReplaceResult::Done : EReplaceResult::Failed,
                  outcome.Result == ETrashResult::NoTrash ? EXDEV : outcome.Error);
        } else {
            Count(counts, file.Path,
                  ::unlink(file.Path.c_str()) == 0 ? EReplaceResult::Done : EReplaceResult::Failed, errno);
        }
    }
}

} // namespace

bool ParseAction(const std::string& text, TCliAction& action)
{
    static const char* const kNames[] = {"trash", "delete", "hardlink", "symlink", "clone"};
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        if (text == kNames[i]) {
            action.Kind = static_cast<TCliAction::EKind>(i);
            return true;
        }
    }
    if (text.rfind("move:", 0) != 0 || text.size() == 5) return false;
    action.Kind = TCliAction::Move;
    action.Folder = text.substr(5);
    return true;
}

int RunAction(const TCliAction& action, const std::vector<TFileRecord>& rows,
              const std::vector<bool>& selected, const std::vector<std::string>& directories)
{
    static const char* const kVerbs[] = {"trash", "delete", "hardlink", "symlink", "clone", "move"};
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < selected.size(); ++i)
        if (selected[i]) chosen.push_back(i);
    const std::vector<TReplaceItem> items = ReplacementPlan(rows, chosen, directories).Items;
    TCounts counts;
    if (action.DryRun) {
        for (const TReplaceItem& item : items)
            std::fprintf(stderr, "would %s: %s (keeping %s)\n", kVerbs[action.Kind],
                         item.Duplicate.Path.c_str(), item.Kept.Path.c_str());
        std::fprintf(stderr, "%s (dry run): %zu files would be acted on\n", kVerbs[action.Kind],
                     items.size());
        return 0;
    }
    if (action.Kind == TCliAction::Trash || action.Kind == TCliAction::Delete) {
        Remove(items, action.Kind == TCliAction::Trash, counts);
    } else {
        TReplaceOptions options;
        options.Action = action.Kind == TCliAction::HardLink       ? EReplaceAction::HardLink
                         : action.Kind == TCliAction::SymbolicLink ? EReplaceAction::SymbolicLink
                         : action.Kind == TCliAction::Clone        ? EReplaceAction::Clone
                                                                   : EReplaceAction::Move;
        options.AbsoluteLinks = action.AbsoluteLinks;
        options.MoveFolder = action.Folder;
        const std::vector<TReplaceOutcome> outcomes = ReplaceDuplicates(items, options);
        for (std::size_t i = 0; i < items.size(); ++i)
            Count(counts, items[i].Duplicate.Path, outcomes[i].Result, outcomes[i].Error);
    }
    std::fprintf(stderr, "%s: %zu acted on, %zu refused, %zu failed\n", kVerbs[action.Kind], counts.Acted,
                 counts.Refused, counts.Failed);
    return counts.Failed ? 1 : counts.Refused ? 3 : 0;
}

} // namespace quorvane::cli
