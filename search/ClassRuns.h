// Classes of equal keys by sorting: the indexes are sorted by (key, index)
// and each run of equal keys is numbered after its first index, so the
// numbers never depend on the order a sort leaves equal keys in. One pass
// over contiguous memory, where a map keyed by the key would allocate per
// entry.
#pragma once

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <vector>

namespace quorvane {

// Sorts order (indexes into classes) by key(index) and sets classes[i] to
// the first index of i's run of equal keys.
template <typename TKeyOf>
void NumberRunsOfEqualKeys(std::vector<std::uint32_t>& order, const TKeyOf& key,
                           std::vector<std::uint64_t>& classes)
{
    std::sort(order.begin(), order.end(), [&key](std::uint32_t a, std::uint32_t b) {
        return std::tuple(key(a), a) < std::tuple(key(b), b);
    });
    for (std::size_t begin = 0; begin < order.size();) {
        std::size_t end = begin + 1;
        while (end < order.size() && key(order[end]) == key(order[begin]))
            ++end;
        for (std::size_t k = begin; k < end; ++k)
            classes[order[k]] = order[begin];
        begin = end;
    }
}

} // namespace quorvane
