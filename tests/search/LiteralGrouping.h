// The grouping of a search done literally, as the window's algorithm walks
// the key list, for cross-checking the fast grouping: after the reference's
// group the first entry left over becomes the next reference, until the
// key's entries are used up. Slow (entries erased from the middle) but
// plainly right.
#pragma once

#include "DuplicateSearch.h"
#include "TextCompare.h"

#include <algorithm>
#include <functional>

namespace quorvane::test {

// sameContents(candidate, reference) decides contents for rows of equal
// size when given.
inline std::vector<std::uint32_t>
KeyListResult(const std::vector<TFileRecord>& catalogue, const TSearchCriteria& c,
              const std::function<bool(std::uint32_t, std::uint32_t)>& sameContents = {})
{
    auto keyOf = [&](const TFileRecord& r) { return c.Name ? r.Name : c.Size ? r.SizeText() : r.TimeText(); };
    auto oneFile = [&](std::uint32_t a, std::uint32_t b) {
        return catalogue[a].Inode != 0 && catalogue[a].Inode == catalogue[b].Inode &&
               catalogue[a].Device == catalogue[b].Device;
    };
    auto matches = [&](std::uint32_t ci, std::uint32_t ri) {
        const TFileRecord& cand = catalogue[ci];
        const TFileRecord& ref = catalogue[ri];
        bool match = !(c.Name && !SameFolded(cand.Name, ref.Name));
        match = match && !(c.Size && cand.SizeText() != ref.SizeText());
        match = match && !(c.Size && sameContents && !sameContents(ci, ri));
        return match && !(c.Time && cand.TimeText() != ref.TimeText());
    };
    std::vector<TKeyEntry> list;
    for (std::uint32_t q = 0; q < catalogue.size(); ++q)
        list.push_back({keyOf(catalogue[q]), q});
    SortKeyList(list);
    std::vector<std::uint32_t> out;
    for (std::uint32_t q = 0; q < catalogue.size(); ++q) {
        const std::string k = keyOf(catalogue[q]);
        for (std::ptrdiff_t r = FindKeyEntry(list, k); r >= 0; r = FindKeyEntry(list, k)) {
            const std::uint32_t ri = list[static_cast<std::size_t>(r)].Index;
            std::vector<std::uint32_t> group{ri};
            auto next = static_cast<std::size_t>(r + 1);
            while (next < list.size() && SameFolded(list[next].Key, k)) {
                const std::uint32_t ci = list[next].Index;
                const bool fileInGroup =
                    std::any_of(group.begin(), group.end(), [&](std::uint32_t g) { return oneFile(g, ci); });
                if (fileInGroup || !matches(ci, ri)) {
                    ++next;
                    continue;
                }
                group.push_back(ci);
                out.push_back(ci);
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(next));
            }
            if (group.size() > 1) out.push_back(ri);
            list.erase(list.begin() + r);
        }
    }
    return out;
}

} // namespace quorvane::test
