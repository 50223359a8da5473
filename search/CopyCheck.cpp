// The copy check in two passes: first every file's status (no reading),
// which settles changed files, other names of one inode and similar groups;
// then, per kept file, one block-by-block read of it against all its pending
// copies of the same size at once. A copy that differs stays pending for the
// next kept file. Nothing is ever counted as a copy that was not verified.
#include "CopyCheck.h"

#include "ContentsRead.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <set>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quorvane {

namespace {

TFileIdentity IdentityOf(const TCheckFile& file)
{
    return {true, file.Device, file.Inode, file.Size, file.ModifiedNs};
}

bool Unchanged(const TCheckFile& file)
{
    int error = 0;
    return CheckIdentity(file.Path, IdentityOf(file), error) == EIdentity::Same;
}

using TInodeKey = std::pair<std::uint64_t, std::uint64_t>;

struct TInodeKeyHash {
    std::size_t operator()(const TInodeKey& key) const noexcept
    {
        return std::hash<std::uint64_t>()(key.first * 0x9E3779B97F4A7C15ull ^ key.second);
    }
};

TInodeKey InodeOf(const TCheckFile& file)
{
    return {file.Device, file.Inode};
}

// Opens a file for reading when it is still the regular file its row saw;
// -1 otherwise. A FIFO or device in its place is neither opened blocking nor
// read.
TFileHandle OpenUnchanged(const TCheckFile& file)
{
    if (!Unchanged(file)) return TFileHandle(-1);
    struct stat st {};
    TFileHandle handle(OpenRegularFile(AT_FDCWD, file.Path.c_str(), st));
    if (handle.Fd() < 0 || CheckIdentity(st, IdentityOf(file)) != EIdentity::Same) return TFileHandle(-1);
    ::posix_fadvise(handle.Fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return handle;
}

// Files of one group that are being deleted and still need a byte compare.
// Deleting names of one inode share a unit, so that file is read once.
struct TPendingUnit {
    std::vector<std::size_t> Members; // the first one is opened and read
};

struct TGroupPlan {
    std::vector<TPendingUnit> Pending;
    std::vector<std::size_t> WithoutCopy;
};

enum class ECompare { Same, Differs, Unreadable };

class TCopyChecker {
  public:
    TCopyChecker(std::stop_token stop, const std::function<void(std::uint64_t, std::uint64_t)>& progress)
        : FStop(std::move(stop)), FProgress(progress)
    {
    }

    TCopyCheckOutcome Run(const std::vector<TCheckGroup>& groups);

  private:
    TGroupPlan Plan(const TCheckGroup& group) const;
    void ReadGroup(const TCheckGroup& group, TGroupPlan& plan);
    // Compares the copies with one kept file; false when the kept file could
    // not be read to its end unchanged (the copies' answers then mean nothing).
    bool CompareWithKept(const TCheckFile& kept, const std::vector<int>& copies,
                         std::vector<ECompare>& result);
    bool CompareBlocks(int keptFd, std::uint64_t size, const std::vector<int>& copies,
                       std::vector<ECompare>& result);
    void Advance(std::uint64_t bytes);

    std::stop_token FStop;
    const std::function<void(std::uint64_t, std::uint64_t)>& FProgress;
    std::uint64_t FDone = 0;
    std::uint64_t FTotal = 0;
    std::unique_ptr<unsigned char[]> FKeptBlock{new unsigned char[kCopyCheckBlockBytes]};
    std::unique_ptr<unsigned char[]> FCopyBlock{new unsigned char[kCopyCheckBlockBytes]};
};

TGroupPlan TCopyChecker::Plan(const TCheckGroup& group) const
{
    TGroupPlan plan;
    const std::vector<TCheckFile>& files = group.Files;
    // Inodes of kept files that are unchanged: another name of one of them
    // that is being deleted keeps its data through the kept name.
    std::unordered_set<TInodeKey, TInodeKeyHash> keptInodes;
    for (const TCheckFile& file : files)
        if (!file.Deleting && Unchanged(file)) keptInodes.insert(InodeOf(file));
    std::unordered_map<TInodeKey, std::size_t, TInodeKeyHash> unitOf;
    for (std::size_t d = 0; d < files.size(); ++d) {
        const TCheckFile& file = files[d];
        if (!file.Deleting) continue;
        if (keptInodes.empty() || !Unchanged(file)) {
            plan.WithoutCopy.push_back(d);
            continue;
        }
        if (keptInodes.count(InodeOf(file)) || group.Similar) continue;
        const auto [unit, added] = unitOf.emplace(InodeOf(file), plan.Pending.size());
        if (added) {
            plan.Pending.push_back({{d}});
        } else {
            plan.Pending[unit->second].Members.push_back(d);
        }
    }
    return plan;
}

void TCopyChecker::Advance(std::uint64_t bytes)
{
    FDone += bytes;
    FTotal = std::max(FTotal, FDone);
    if (FProgress) FProgress(FDone, FTotal);
}

bool TCopyChecker::CompareBlocks(int keptFd, std::uint64_t size, const std::vector<int>& copies,
                                 std::vector<ECompare>& result)
{
    std::size_t alive = copies.size();
    for (std::uint64_t offset = 0; offset < size && alive > 0; offset += kCopyCheckBlockBytes) {
        if (FStop.stop_requested()) return false;
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kCopyCheckBlockBytes, size - offset));
        if (ReadAt(keptFd, FKeptBlock.get(), want, static_cast<off_t>(offset)) != static_cast<ssize_t>(want))
            return false;
        std::uint64_t read = want;
        for (std::size_t c = 0; c < copies.size(); ++c) {
            if (result[c] != ECompare::Same) continue;
            const ssize_t got = ReadAt(copies[c], FCopyBlock.get(), want, static_cast<off_t>(offset));
            read += got > 0 ? static_cast<std::uint64_t>(got) : 0;
            if (got < 0) {
                result[c] = ECompare::Unreadable;
            } else if (static_cast<std::size_t>(got) != want ||
                       std::memcmp(FKeptBlock.get(), FCopyBlock.get(), want) != 0) {
                result[c] = ECompare::Differs;
            }
            if (result[c] != ECompare::Same) --alive;
        }
        Advance(read);
    }
    return true;
}

bool TCopyChecker::CompareWithKept(const TCheckFile& kept, const std::vector<int>& copies,
                                   std::vector<ECompare>& result)
{
    result.assign(copies.size(), ECompare::Same);
    const TFileHandle keptFile = OpenUnchanged(kept);
    if (keptFile.Fd() < 0) return false;
    if (!CompareBlocks(keptFile.Fd(), kept.Size, copies, result)) return false;
    // The kept file must still be the one read: a write during the reading
    // would leave the copies compared with bytes that are gone.
    struct stat st {};
    return ::fstat(keptFile.Fd(), &st) == 0 && CheckIdentity(st, IdentityOf(kept)) == EIdentity::Same;
}

void TCopyChecker::ReadGroup(const TCheckGroup& group, TGroupPlan& plan)
{
    const std::vector<TCheckFile>& files = group.Files;
    std::unordered_set<TInodeKey, TInodeKeyHash> triedInodes;
    for (std::size_t k = 0; k < files.size() && !plan.Pending.empty(); ++k) {
        const TCheckFile& kept = files[k];
        if (kept.Deleting || !triedInodes.insert(InodeOf(kept)).second) continue;
        // Copies of this size, opened in batches; a batch's answers settle
        // its units (Same or unreadable) or leave them for the next kept file.
        std::vector<std::size_t> unitsLeft;
        for (std::size_t u = 0; u < plan.Pending.size(); ++u)
            if (files[plan.Pending[u].Members.front()].Size == kept.Size) unitsLeft.push_back(u);
        std::vector<char> settled(plan.Pending.size(), 0);
        for (std::size_t start = 0; start < unitsLeft.size(); start += kCopyCheckMaxOpenCopies) {
            const std::size_t end = std::min(unitsLeft.size(), start + kCopyCheckMaxOpenCopies);
            std::vector<TFileHandle> handles;
            std::vector<int> fds;
            std::vector<std::size_t> opened;
            for (std::size_t i = start; i < end; ++i) {
                const std::size_t u = unitsLeft[i];
                TFileHandle handle = OpenUnchanged(files[plan.Pending[u].Members.front()]);
                if (handle.Fd() < 0) {
                    // A file that cannot be read now has no verified copy.
                    settled[u] = 1;
                    plan.WithoutCopy.insert(plan.WithoutCopy.end(), plan.Pending[u].Members.begin(),
                                            plan.Pending[u].Members.end());
                    continue;
                }
                fds.push_back(handle.Fd());
                handles.push_back(std::move(handle));
                opened.push_back(u);
            }
            if (fds.empty()) continue;
            std::vector<ECompare> result;
            const bool keptRead = CompareWithKept(kept, fds, result);
            if (FStop.stop_requested()) return;
            if (!keptRead) break; // this kept file is no copy of anything
            for (std::size_t i = 0; i < opened.size(); ++i) {
                const std::size_t u = opened[i];
                if (result[i] == ECompare::Differs) continue;
                settled[u] = 1;
                if (result[i] == ECompare::Unreadable)
                    plan.WithoutCopy.insert(plan.WithoutCopy.end(), plan.Pending[u].Members.begin(),
                                            plan.Pending[u].Members.end());
            }
        }
        std::vector<TPendingUnit> still;
        for (std::size_t u = 0; u < plan.Pending.size(); ++u)
            if (!settled[u]) still.push_back(std::move(plan.Pending[u]));
        plan.Pending = std::move(still);
    }
    for (const TPendingUnit& unit : plan.Pending)
        plan.WithoutCopy.insert(plan.WithoutCopy.end(), unit.Members.begin(), unit.Members.end());
    plan.Pending.clear();
}

TCopyCheckOutcome TCopyChecker::Run(const std::vector<TCheckGroup>& groups)
{
    TCopyCheckOutcome outcome;
    std::vector<TGroupPlan> plans;
    plans.reserve(groups.size());
    for (const TCheckGroup& group : groups) {
        if (FStop.stop_requested()) {
            outcome.Cancelled = true;
            return outcome;
        }
        plans.push_back(Plan(group));
        // Expected reading: each pending file, and one kept file per size.
        std::set<std::uint64_t> sizes;
        for (const TPendingUnit& unit : plans.back().Pending) {
            const std::uint64_t size = group.Files[unit.Members.front()].Size;
            FTotal += size;
            if (sizes.insert(size).second) FTotal += size;
        }
    }
    if (FProgress) FProgress(0, FTotal);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        ReadGroup(groups[g], plans[g]);
        if (FStop.stop_requested()) {
            outcome.Cancelled = true;
            outcome.WithoutCopy.clear();
            return outcome;
        }
        std::sort(plans[g].WithoutCopy.begin(), plans[g].WithoutCopy.end());
        for (const std::size_t file : plans[g].WithoutCopy)
            outcome.WithoutCopy.push_back({g, file});
    }
    return outcome;
}

} // namespace

TCopyCheckOutcome FindFilesWithoutCopy(const std::vector<TCheckGroup>& groups, std::stop_token stop,
                                       const std::function<void(std::uint64_t, std::uint64_t)>& progress)
{
    return TCopyChecker(std::move(stop), progress).Run(groups);
}

} // namespace quorvane
