// The grouping of a search done literally, for cross-checking the fast
// grouping: the catalogue's key entries are sorted by their folded key and
// then by the decimal text of their index; for each key the first entry
// left is the reference, every later entry of the key that matches it joins
// its group, and the group is listed when it holds two files or more: the
// names of each file together, files in the order of their first name, the
// reference's file last and the reference last of all. Slow (entries erased
// from the middle, linear look-ups) but plainly right, and built on nothing
// of the code it checks: its own folding, sort and look-up.
#pragma once

#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace quorvane::test {

// The text with the ASCII letters a..z made upper case, other bytes kept.
inline std::string UpperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

struct TLiteralEntry {
    std::string Folded; // the key, folded
    std::uint32_t Index;
};

// Key order: folded bytes as unsigned values (std::string's own order),
// then the index's decimal text, so "10" stands before "9".
inline bool LiteralBefore(const TLiteralEntry& a, const TLiteralEntry& b)
{
    if (a.Folded != b.Folded) return a.Folded < b.Folded;
    return std::to_string(a.Index) < std::to_string(b.Index);
}

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
        bool match = !(c.Name && UpperAscii(cand.Name) != UpperAscii(ref.Name));
        match = match && !(c.Size && cand.SizeText() != ref.SizeText());
        match = match && !(c.Size && sameContents && !sameContents(ci, ri));
        return match && !(c.Time && cand.TimeText() != ref.TimeText());
    };
    std::vector<TLiteralEntry> list;
    for (std::uint32_t q = 0; q < catalogue.size(); ++q)
        list.push_back({UpperAscii(keyOf(catalogue[q])), q});
    std::sort(list.begin(), list.end(), LiteralBefore);
    auto firstOf = [&](const std::string& folded) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].Folded == folded) return static_cast<std::ptrdiff_t>(i);
        return std::ptrdiff_t{-1};
    };
    std::vector<std::uint32_t> out;
    for (std::uint32_t q = 0; q < catalogue.size(); ++q) {
        const std::string k = UpperAscii(keyOf(catalogue[q]));
        for (std::ptrdiff_t r = firstOf(k); r >= 0; r = firstOf(k)) {
            const std::uint32_t ri = list[static_cast<std::size_t>(r)].Index;
            list.erase(list.begin() + r);
            std::vector<std::uint32_t> group; // matches in key-list order
            for (std::size_t next = static_cast<std::size_t>(r);
                 next < list.size() && list[next].Folded == k;) {
                if (!matches(list[next].Index, ri)) {
                    ++next;
                    continue;
                }
                group.push_back(list[next].Index);
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(next));
            }
            // Files in the order of their first name; the reference's last.
            std::vector<std::uint32_t> listed;
            std::vector<bool> taken(group.size(), false);
            std::size_t files = 1;
            for (std::size_t i = 0; i < group.size(); ++i) {
                if (taken[i] || oneFile(group[i], ri)) continue;
                ++files;
                for (std::size_t j = i; j < group.size(); ++j) {
                    if (j != i && !oneFile(group[j], group[i])) continue;
                    taken[j] = true;
                    listed.push_back(group[j]);
                }
            }
            if (files < 2) continue;
            for (std::size_t i = 0; i < group.size(); ++i)
                if (oneFile(group[i], ri)) listed.push_back(group[i]);
            listed.push_back(ri);
            out.insert(out.end(), listed.begin(), listed.end());
        }
    }
    return out;
}

} // namespace quorvane::test
