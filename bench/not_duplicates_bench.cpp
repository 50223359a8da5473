// The cost of the remembered "not duplicates" on a large result: ROWS rows in
// groups of two to four (one group in ten with a hard-link name), a store of
// SETS sets each marking a whole group, half of them with paths only (as
// after a remount). Times the store's save and load and ApplyNotDuplicates,
// with the store and with an empty one; medians of the rounds.
// usage: not_duplicates_bench [rows=1000000] [sets=10000] [rounds=5] [dir=/tmp]
#include "NotDuplicates.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace quorvane;

namespace {

using TClock = std::chrono::steady_clock;

std::vector<TFileRecord> MakeRows(std::size_t count)
{
    std::vector<TFileRecord> rows;
    rows.reserve(count);
    std::uint32_t group = 0;
    std::uint64_t inode = 1;
    while (rows.size() < count) {
        ++group;
        const auto directory =
            std::make_shared<const std::string>("/data/folder" + std::to_string(group % 997));
        const std::size_t files = 2 + group % 3;
        for (std::size_t f = 0; f < files && rows.size() < count; ++f, ++inode) {
            for (int name = group % 10 == 0 && f == 0 ? 2 : 1; name > 0 && rows.size() < count; --name) {
                TFileRecord row;
                row.Directory = directory;
                row.Name = "file" + std::to_string(inode) + "-" + std::to_string(name) + ".jpg";
                row.Device = 2049;
                row.Inode = inode;
                row.Size = 1000 + group;
                row.ModifiedNs = 1'700'000'000'000'000'000 + static_cast<std::int64_t>(inode);
                row.Group = group;
                rows.push_back(std::move(row));
            }
        }
    }
    return rows;
}

template <typename F> double MedianMs(int rounds, F&& run)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = TClock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(TClock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t rowCount = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const std::size_t setCount = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::string path = std::string(argc > 4 ? argv[4] : "/tmp") + "/not-duplicates-bench.bin";
    const std::vector<TFileRecord> rows = MakeRows(rowCount);

    // Every step-th group marked whole, so the sets spread over the list.
    const std::vector<std::size_t> starts = GroupStartsOf(rows);
    const std::size_t step = std::max<std::size_t>(1, starts.size() / std::max<std::size_t>(setCount, 1));
    TNotDuplicates store;
    for (std::size_t g = 0; g < starts.size() && store.Sets().size() < setCount; g += step) {
        const auto first = rows.begin() + static_cast<std::ptrdiff_t>(starts[g]);
        const auto end =
            g + 1 < starts.size() ? rows.begin() + static_cast<std::ptrdiff_t>(starts[g + 1]) : rows.end();
        std::vector<TFileRecord> marked(first, end);
        if (store.Sets().size() % 2 == 1) {
            for (TFileRecord& row : marked)
                row.Device = 77; // recognised by path only
        }
        store.AddSet(marked);
    }
    const double saveMs = MedianMs(rounds, [&] { store.Save(path); });
    TNotDuplicates loaded;
    const double loadMs = MedianMs(rounds, [&] { loaded.Load(path); });
    std::size_t erased = 0;
    const double applyMs = MedianMs(rounds, [&] {
        std::vector<TFileRecord> copy = rows;
        erased = ApplyNotDuplicates(copy, loaded);
    });
    const double copyMs = MedianMs(rounds, [&] { std::vector<TFileRecord> copy = rows; });
    const TNotDuplicates empty;
    const double emptyMs = MedianMs(rounds, [&] { (void)RowsTakenOut(rows, empty); });
    std::error_code error;
    std::printf("rows %zu, sets %zu (file %ju bytes), rows taken out %zu\n", rows.size(),
                loaded.Sets().size(), static_cast<std::uintmax_t>(std::filesystem::file_size(path, error)),
                erased);
    std::printf("save %.1f ms, load %.1f ms, apply %.1f ms (of which copying the rows %.1f ms), "
                "empty store %.3f ms\n",
                saveMs, loadMs, applyMs, copyMs, emptyMs);
    std::remove(path.c_str());
    return 0;
}
