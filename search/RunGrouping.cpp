// Groups of one key run. Matching is an equivalence on (size, contents
// class, time) within a run, so the reference walk is computed by sorting:
// rows of one class, and within a class the k-th row of each file form the
// k-th reference's group; groups are listed in the order of their reference.
#include "RunGrouping.h"

#include <algorithm>
#include <iterator>
#include <tuple>

namespace quorvane {

namespace {

// A file's identity; rows without an inode are files of their own.
struct TFileId {
    std::uint64_t Device;
    std::uint64_t Inode;

    static TFileId Of(const TFileRecord& row, std::uint32_t position)
    {
        if (row.Inode == 0) return {~std::uint64_t{0}, position};
        return {row.Device, row.Inode};
    }
    auto Tie() const { return std::tie(Device, Inode); }
};

struct TMember {
    std::uint64_t Size;
    std::uint64_t Content;
    std::int64_t Time;
    TFileId File;
    std::uint32_t Position;  // in the run
    std::uint32_t Round = 0; // how many rows of its file and class precede it

    auto Class() const { return std::tie(Size, Content, Time); }
};

std::vector<TMember> Members(const std::vector<TFileRecord>& catalogue, const std::uint32_t* first,
                             std::size_t count, const TContentsClasses* contents,
                             const TSearchCriteria& criteria)
{
    std::vector<TMember> members(count);
    for (std::size_t p = 0; p < count; ++p) {
        const TFileRecord& row = catalogue[first[p]];
        const auto position = static_cast<std::uint32_t>(p);
        members[p] = TMember{criteria.Size ? row.Size : 0, contents ? contents->ClassOf(first[p]) : 0,
                             criteria.Time ? row.TimeKey : 0, TFileId::Of(row, position), position};
    }
    return members;
}

// The walk's result computed by sorting: see the file's opening comment.
void ClassifyRun(const std::vector<TFileRecord>& catalogue, const std::uint32_t* first, std::size_t count,
                 const TContentsClasses* contents, const TSearchCriteria& criteria, TListedRows& listed)
{
    std::vector<TMember> members = Members(catalogue, first, count, contents, criteria);
    std::sort(members.begin(), members.end(), [](const TMember& a, const TMember& b) {
        return std::tuple(a.Class(), a.File.Tie(), a.Position) <
               std::tuple(b.Class(), b.File.Tie(), b.Position);
    });
    for (std::size_t i = 1; i < count; ++i) {
        const TMember& before = members[i - 1];
        if (before.Class() == members[i].Class() && before.File.Tie() == members[i].File.Tie())
            members[i].Round = before.Round + 1;
    }
    std::sort(members.begin(), members.end(), [](const TMember& a, const TMember& b) {
        return std::tuple(a.Class(), a.Round, a.Position) < std::tuple(b.Class(), b.Round, b.Position);
    });
    // Each block of one class and round is one reference's group; its first
    // member, the lowest position, is the reference.
    std::vector<std::pair<std::size_t, std::size_t>> blocks; // begin, end in members
    for (std::size_t begin = 0, end = 0; begin < count; begin = end) {
        end = begin + 1;
        while (end < count && members[end].Class() == members[begin].Class() &&
               members[end].Round == members[begin].Round)
            ++end;
        if (end - begin > 1) blocks.emplace_back(begin, end);
    }
    std::sort(blocks.begin(), blocks.end(), [&](const auto& a, const auto& b) {
        return members[a.first].Position < members[b.first].Position;
    });
    for (const auto& [begin, end] : blocks) {
        listed.GroupStarts.push_back(listed.Rows.size());
        for (std::size_t i = begin + 1; i < end; ++i)
            listed.Rows.push_back(first[members[i].Position]);
        listed.Rows.push_back(first[members[begin].Position]);
    }
}

} // namespace

void RowsNeedingContents(const std::vector<TFileRecord>& catalogue, const std::uint32_t* first,
                         const std::uint32_t* last, std::vector<std::uint32_t>& rows)
{
    const auto count = static_cast<std::size_t>(last - first);
    if (count < 2) return;
    std::vector<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, std::uint32_t>> bySize;
    bySize.reserve(count);
    for (std::size_t p = 0; p < count; ++p) {
        const TFileRecord& row = catalogue[first[p]];
        const TFileId file = TFileId::Of(row, static_cast<std::uint32_t>(p));
        bySize.emplace_back(row.Size, file.Device, file.Inode, first[p]);
    }
    std::sort(bySize.begin(), bySize.end());
    for (std::size_t begin = 0, end = 0; begin < count; begin = end) {
        bool twoFiles = false;
        for (end = begin + 1; end < count && std::get<0>(bySize[end]) == std::get<0>(bySize[begin]); ++end) {
            if (std::get<1>(bySize[end]) != std::get<1>(bySize[begin]) ||
                std::get<2>(bySize[end]) != std::get<2>(bySize[begin]))
                twoFiles = true;
        }
        if (!twoFiles) continue;
        for (std::size_t i = begin; i < end; ++i)
            rows.push_back(std::get<3>(bySize[i]));
    }
}

void GroupRun(const std::vector<TFileRecord>& catalogue, const std::uint32_t* first,
              const std::uint32_t* last, const TContentsClasses* contents, const TSearchCriteria& criteria,
              TListedRows& listed)
{
    const auto count = static_cast<std::size_t>(last - first);
    if (count < 2) return;
    const auto failed = [&](std::uint32_t row) { return contents->Failed(row); };
    if (!contents || std::none_of(first, last, failed)) {
        ClassifyRun(catalogue, first, count, contents, criteria, listed);
        return;
    }
    std::vector<std::uint32_t> readable;
    std::remove_copy_if(first, last, std::back_inserter(readable), failed);
    if (readable.size() >= 2)
        ClassifyRun(catalogue, readable.data(), readable.size(), contents, criteria, listed);
}

} // namespace quorvane
