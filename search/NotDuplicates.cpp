// The remembered "not duplicates" sets: their file, their matching, and
// taking them out of a result's groups. The file is a shared cache file of
// records of their own lengths, one per set; every count and length in it is
// checked against its bounds and the body's end before it is used.
#include "NotDuplicates.h"

#include "CacheFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quorvane {

namespace {

// Per set: the member count (4 bytes); per member: device, inode, size and
// last-write time (8 bytes each), the path's length (4) and its bytes.
const TCacheFormat kFormat{
    {'Q', 'V', 'N', 'O', 'T', 'D', 'U', 'P'}, 1, 0, TNotDuplicates::kMaxSets, TNotDuplicates::kMaxFileBytes};
constexpr std::size_t kSetHeaderBytes = 4;
constexpr std::size_t kMemberFixedBytes = 4 * 8 + 4;

std::size_t EncodedBytes(const TNotDuplicateSet& set)
{
    std::size_t bytes = kSetHeaderBytes;
    for (const TNotDuplicateMember& member : set)
        bytes += kMemberFixedBytes + member.Path.size();
    return bytes;
}

// Reads one set at at, moving at past it; false when the bytes up to end do
// not hold a set within the bounds.
bool ReadSet(const std::uint8_t*& at, const std::uint8_t* end, TNotDuplicateSet& set)
{
    if (static_cast<std::size_t>(end - at) < kSetHeaderBytes) return false;
    const std::uint64_t count = GetCacheField(at, 4);
    at += kSetHeaderBytes;
    if (count < 2 || count > TNotDuplicates::kMaxMembers) return false;
    set.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        if (static_cast<std::size_t>(end - at) < kMemberFixedBytes) return false;
        TNotDuplicateMember member;
        member.Device = GetCacheField(at, 8);
        member.Inode = GetCacheField(at + 8, 8);
        member.Size = GetCacheField(at + 16, 8);
        member.ModifiedNs = static_cast<std::int64_t>(GetCacheField(at + 24, 8));
        const std::uint64_t length = GetCacheField(at + 32, 4);
        at += kMemberFixedBytes;
        if (length == 0 || length > TNotDuplicates::kMaxPathBytes ||
            length > static_cast<std::size_t>(end - at))
            return false;
        member.Path.assign(reinterpret_cast<const char*>(at), static_cast<std::size_t>(length));
        at += length;
        set.push_back(std::move(member));
    }
    return true;
}

void WriteSet(std::vector<std::uint8_t>& out, const TNotDuplicateSet& set)
{
    PutCacheField(out, set.size(), 4);
    for (const TNotDuplicateMember& member : set) {
        PutCacheField(out, member.Device, 8);
        PutCacheField(out, member.Inode, 8);
        PutCacheField(out, member.Size, 8);
        PutCacheField(out, static_cast<std::uint64_t>(member.ModifiedNs), 8);
        PutCacheField(out, member.Path.size(), 4);
        out.insert(out.end(), member.Path.begin(), member.Path.end());
    }
}

// The number of files among the members: names of one inode count once.
std::size_t DistinctFiles(const TNotDuplicateSet& set)
{
    std::unordered_set<TCacheKey, TCacheKeyHash> inodes;
    std::unordered_set<std::string> paths;
    for (const TNotDuplicateMember& member : set) {
        if (member.Inode != 0)
            inodes.insert({member.Device, member.Inode});
        else
            paths.insert(member.Path);
    }
    return inodes.size() + paths.size();
}

// The store's members indexed for lookups by row.
class TMemberIndex {
  public:
    explicit TMemberIndex(const TNotDuplicates& store)
    {
        const std::vector<TNotDuplicateSet>& sets = store.Sets();
        for (std::size_t s = 0; s < sets.size(); ++s) {
            const auto set = static_cast<std::uint32_t>(s);
            for (const TNotDuplicateMember& member : sets[s]) {
                const TStamp stamp{member.Size, member.ModifiedNs};
                FStamps.insert(stamp);
                if (member.Inode != 0) FByInode[{member.Device, member.Inode}].emplace_back(stamp, set);
                FByPath[member.Path].emplace_back(stamp, set);
            }
        }
    }

    // Appends the sets with a member row matches (MatchesMember), ascending
    // and without repeats.
    void SetsOf(const TFileRecord& row, std::vector<std::uint32_t>& sets) const
    {
        const TStamp stamp{row.Size, row.ModifiedNs};
        // Most rows match no member's size and time: no path is built for them.
        if (!FStamps.contains(stamp)) return;
        const std::size_t first = sets.size();
        if (row.Inode != 0) {
            if (const auto found = FByInode.find({row.Device, row.Inode}); found != FByInode.end())
                AddStamped(found->second, stamp, sets);
        }
        if (const auto found = FByPath.find(row.FullPath()); found != FByPath.end())
            AddStamped(found->second, stamp, sets);
        std::sort(sets.begin() + static_cast<std::ptrdiff_t>(first), sets.end());
        sets.erase(std::unique(sets.begin() + static_cast<std::ptrdiff_t>(first), sets.end()), sets.end());
    }

  private:
    struct TStamp {
        std::uint64_t Size;
        std::int64_t ModifiedNs;
        bool operator==(const TStamp&) const = default;
    };
    struct TStampHash {
        std::size_t operator()(const TStamp& k) const noexcept
        {
            return TCacheKeyHash()({k.Size, static_cast<std::uint64_t>(k.ModifiedNs)});
        }
    };
    // The sets of the members at one inode or path, each with its member's stamp.
    using TStampedSets = std::vector<std::pair<TStamp, std::uint32_t>>;

    static void AddStamped(const TStampedSets& members, const TStamp& stamp, std::vector<std::uint32_t>& sets)
    {
        for (const auto& [memberStamp, set] : members) {
            if (memberStamp == stamp) sets.push_back(set);
        }
    }

    std::unordered_set<TStamp, TStampHash> FStamps;
    std::unordered_map<TCacheKey, TStampedSets, TCacheKeyHash> FByInode;
    std::unordered_map<std::string, TStampedSets> FByPath;
};

// One file of a group: its rows (its names) and the sets they match.
struct TGroupFile {
    std::vector<std::size_t> Rows;
    std::vector<std::uint32_t> Sets; // ascending, without repeats
};

bool ShareASet(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b)
{
    for (auto x = a.begin(), y = b.begin(); x != a.end() && y != b.end();) {
        if (*x == *y) return true;
        *x < *y ? ++x : ++y;
    }
    return false;
}

// True when file f of the group is marked against another file of it and
// against every other file of it. filesIn: the number of files of the group
// in each set.
bool LeavesGroup(const std::vector<TGroupFile>& files, std::size_t f,
                 const std::unordered_map<std::uint32_t, std::size_t>& filesIn)
{
    const std::vector<std::uint32_t>& sets = files[f].Sets;
    // At most this many files share a set with f, f included.
    std::size_t sharing = 1;
    for (const std::uint32_t set : sets)
        sharing += filesIn.at(set) - 1;
    if (sharing == 1 || sharing < files.size()) return false;
    if (sets.size() == 1) return true; // sharing counts each file once
    for (std::size_t g = 0; g < files.size(); ++g) {
        if (g != f && !ShareASet(sets, files[g].Sets)) return false;
    }
    return true;
}

// Marks in out the rows that leave the group of groupRows.
void TakeOutOfGroup(const std::vector<TFileRecord>& rows, const std::vector<std::size_t>& groupRows,
                    const std::unordered_map<std::size_t, std::vector<std::uint32_t>>& setsOfRow,
                    std::vector<bool>& out)
{
    std::vector<TGroupFile> files;
    std::unordered_map<TCacheKey, std::size_t, TCacheKeyHash> fileOf;
    for (const std::size_t row : groupRows) {
        const TFileRecord& record = rows[row];
        std::size_t f = files.size();
        if (record.Inode != 0) f = fileOf.try_emplace({record.Device, record.Inode}, f).first->second;
        if (f == files.size()) files.emplace_back();
        files[f].Rows.push_back(row);
        if (const auto found = setsOfRow.find(row); found != setsOfRow.end())
            files[f].Sets.insert(files[f].Sets.end(), found->second.begin(), found->second.end());
    }
    std::unordered_map<std::uint32_t, std::size_t> filesIn;
    for (TGroupFile& file : files) {
        // A file none of whose names is marked is a partner of every other.
        if (file.Sets.empty()) return;
        std::sort(file.Sets.begin(), file.Sets.end());
        file.Sets.erase(std::unique(file.Sets.begin(), file.Sets.end()), file.Sets.end());
        for (const std::uint32_t set : file.Sets)
            ++filesIn[set];
    }
    std::vector<bool> leaves(files.size(), false);
    std::size_t left = files.size();
    for (std::size_t f = 0; f < files.size(); ++f) {
        leaves[f] = LeavesGroup(files, f, filesIn);
        left -= leaves[f] ? 1 : 0;
    }
    if (left == files.size()) return;
    for (std::size_t f = 0; f < files.size(); ++f) {
        if (!leaves[f] && left >= 2) continue;
        for (const std::size_t row : files[f].Rows)
            out[row] = true;
    }
}

} // namespace

TNotDuplicateMember NotDuplicateMemberOf(const TFileRecord& row)
{
    return {row.Device, row.Inode, row.Size, row.ModifiedNs, row.FullPath()};
}

bool MatchesMember(const TNotDuplicateMember& member, const TFileRecord& row)
{
    if (member.Size != row.Size || member.ModifiedNs != row.ModifiedNs) return false;
    if (member.Inode != 0 && member.Inode == row.Inode && member.Device == row.Device) return true;
    return member.Path == row.FullPath();
}

TNotDuplicatesLoad TNotDuplicates::Load(const std::string& path)
{
    FSets.clear();
    struct stat st;
    if (path.empty() || (::lstat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)))
        return TNotDuplicatesLoad::Missing;
    std::vector<std::uint8_t> body;
    std::size_t count = 0;
    if (!ReadCacheRecords(path, kFormat, body, count)) return TNotDuplicatesLoad::Damaged;
    const std::uint8_t* at = body.data();
    const std::uint8_t* end = body.data() + body.size();
    std::vector<TNotDuplicateSet> sets(count);
    for (TNotDuplicateSet& set : sets) {
        if (!ReadSet(at, end, set)) return TNotDuplicatesLoad::Damaged;
    }
    // Bytes after the last set are not ours either.
    if (at != end) return TNotDuplicatesLoad::Damaged;
    FSets = std::move(sets);
    return TNotDuplicatesLoad::Loaded;
}

bool TNotDuplicates::Save(const std::string& path) const
{
    std::vector<std::uint8_t> body;
    for (const TNotDuplicateSet& set : FSets)
        WriteSet(body, set);
    return WriteCacheRecords(path, kFormat, body, FSets.size());
}

bool TNotDuplicates::AddSet(const std::vector<TFileRecord>& rows)
{
    TNotDuplicateSet set;
    std::unordered_map<std::string, std::size_t> indexOf; // path -> member
    for (const TFileRecord& row : rows) {
        TNotDuplicateMember member = NotDuplicateMemberOf(row);
        if (member.Path.empty() || member.Path.size() > kMaxPathBytes) return false;
        if (indexOf.try_emplace(member.Path, set.size()).second) set.push_back(std::move(member));
    }
    if (set.size() > kMaxMembers || FSets.size() >= kMaxSets || DistinctFiles(set) < 2) return false;
    std::uint64_t bytes = EncodedBytes(set);
    for (const TNotDuplicateSet& kept : FSets) {
        bytes += EncodedBytes(kept);
        const auto held = std::count_if(kept.begin(), kept.end(), [&](const TNotDuplicateMember& m) {
            const auto found = indexOf.find(m.Path);
            return found != indexOf.end() && set[found->second] == m;
        });
        if (static_cast<std::size_t>(held) >= set.size()) return false;
    }
    if (bytes > kMaxFileBytes) return false;
    FSets.push_back(std::move(set));
    return true;
}

std::vector<std::vector<std::string>> TNotDuplicates::SetPaths() const
{
    std::vector<std::vector<std::string>> out;
    out.reserve(FSets.size());
    for (const TNotDuplicateSet& set : FSets) {
        std::vector<std::string> paths;
        paths.reserve(set.size());
        for (const TNotDuplicateMember& member : set)
            paths.push_back(member.Path);
        out.push_back(std::move(paths));
    }
    return out;
}

bool TNotDuplicates::RemoveSet(std::size_t index)
{
    if (index >= FSets.size()) return false;
    FSets.erase(FSets.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

std::string DefaultNotDuplicatesPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && *config == '/') {
        folder = config;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        folder = std::string(home) + "/.config";
    } else {
        return {};
    }
    return folder + "/Marrowfen/Quorvane-not-duplicates.bin";
}

std::vector<bool> RowsTakenOut(const std::vector<TFileRecord>& rows, const TNotDuplicates& store)
{
    std::vector<bool> out(rows.size(), false);
    if (store.Empty()) return out;
    const TMemberIndex index(store);
    std::unordered_map<std::size_t, std::vector<std::uint32_t>> setsOfRow;
    std::unordered_map<std::uint32_t, std::size_t> matchedIn; // group -> rows matching a member
    std::vector<std::uint32_t> sets;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].Group == 0) continue;
        sets.clear();
        index.SetsOf(rows[i], sets);
        if (sets.empty()) continue;
        setsOfRow.emplace(i, sets);
        ++matchedIn[rows[i].Group];
    }
    // Only a group with two rows matching members can hold a mark.
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto found = rows[i].Group == 0 ? matchedIn.end() : matchedIn.find(rows[i].Group);
        if (found != matchedIn.end() && found->second >= 2) groups[rows[i].Group].push_back(i);
    }
    for (const auto& [group, groupRows] : groups)
        TakeOutOfGroup(rows, groupRows, setsOfRow, out);
    return out;
}

void RenumberGroups(std::vector<TFileRecord>& rows)
{
    std::unordered_map<std::uint32_t, std::uint32_t> numberOf;
    for (TFileRecord& row : rows) {
        if (row.Group == 0) continue;
        const auto next = static_cast<std::uint32_t>(numberOf.size() + 1);
        row.Group = numberOf.try_emplace(row.Group, next).first->second;
    }
}

std::size_t ApplyNotDuplicates(std::vector<TFileRecord>& rows, const TNotDuplicates& store,
                               std::vector<int>* alongside)
{
    const std::vector<bool> out = RowsTakenOut(rows, store);
    const bool inStep = alongside && alongside->size() == rows.size();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (out[i]) continue;
        if (kept != i) {
            rows[kept] = std::move(rows[i]);
            if (inStep) (*alongside)[kept] = (*alongside)[i];
        }
        ++kept;
    }
    const std::size_t erased = rows.size() - kept;
    if (erased == 0) return 0;
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(kept), rows.end());
    if (inStep) alongside->resize(kept);
    RenumberGroups(rows);
    return erased;
}

std::size_t LeaveOutNotDuplicates(std::vector<TFileRecord>& rows, std::vector<int>* alongside)
{
    const std::string path = DefaultNotDuplicatesPath();
    TNotDuplicates store;
    if (path.empty() || store.Load(path) != TNotDuplicatesLoad::Loaded) return 0;
    return ApplyNotDuplicates(rows, store, alongside);
}

std::vector<std::size_t> GroupStartsOf(const std::vector<TFileRecord>& rows)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].Group != 0 && (i == 0 || rows[i].Group != rows[i - 1].Group)) starts.push_back(i);
    }
    return starts;
}

} // namespace quorvane
