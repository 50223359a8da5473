// Groups of one key run. Matching is an equivalence on (size, contents
// class, time) within a run, so the reference walk is computed by sorting:
// the rows of one class form the group of its first row (the reference),
// when they hold at least two files; groups are listed in the order of
// their reference. Within a group the names of one file stand together.
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
    std::uint32_t Position; // in the run
    // The listing order within its group: files by their first name, the
    // reference's file last; names by position, the reference last.
    std::uint32_t FileRank = 0;
    std::uint32_t NameRank = 0;

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

bool SameClass(const TMember& a, const TMember& b)
{
    return a.Class() == b.Class();
}

// Ranks the members [begin, end) of one class, sorted by file and position,
// for listing (see TMember); returns how many files they hold.
std::size_t RankClass(TMember* begin, TMember* end)
{
    std::vector<std::pair<std::uint32_t, TMember*>> files; // first position, first name
    for (TMember* m = begin; m != end; ++m) {
        if (m == begin || m->File.Tie() != (m - 1)->File.Tie()) files.emplace_back(m->Position, m);
    }
    std::sort(files.begin(), files.end());
    const auto last = static_cast<std::uint32_t>(files.size());
    for (std::uint32_t rank = 0; rank < last; ++rank) {
        // The file of the lowest position holds the reference: it goes last.
        const std::uint32_t fileRank = rank == 0 ? last : rank;
        for (TMember* m = files[rank].second; m != end && m->File.Tie() == files[rank].second->File.Tie();
             ++m) {
            m->FileRank = fileRank;
            m->NameRank = rank == 0 && m == files[0].second ? ~std::uint32_t{0} : m->Position;
        }
    }
    return files.size();
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
    // Each class of two files or more is one group; its reference is its
    // lowest position.
    std::vector<std::tuple<std::uint32_t, std::size_t, std::size_t>> blocks; // reference, begin, end
    for (std::size_t begin = 0, end = 0; begin < count; begin = end) {
        end = begin + 1;
        while (end < count && SameClass(members[end], members[begin]))
            ++end;
        if (RankClass(members.data() + begin, members.data() + end) < 2) continue;
        std::sort(members.begin() + static_cast<std::ptrdiff_t>(begin),
                  members.begin() + static_cast<std::ptrdiff_t>(end), [](const TMember& a, const TMember& b) {
                      return std::tie(a.FileRank, a.NameRank) < std::tie(b.FileRank, b.NameRank);
                  });
        blocks.emplace_back(members[end - 1].Position, begin, end);
    }
    std::sort(blocks.begin(), blocks.end());
    for (const auto& [reference, begin, end] : blocks) {
        listed.GroupStarts.push_back(listed.Rows.size());
        for (std::size_t i = begin; i < end; ++i)
            listed.Rows.push_back(first[members[i].Position]);
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
