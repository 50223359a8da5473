// File slots and directory opening of the contents passes.
#include "ContentsRead.h"

#include <fcntl.h>
#include <unistd.h>
#include <unordered_map>

namespace quorvane {

namespace {

struct TFileKeyHash {
    std::size_t operator()(const std::pair<std::uint64_t, std::uint64_t>& k) const noexcept
    {
        return std::hash<std::uint64_t>()(k.first * 0x9E3779B97F4A7C15ull ^ k.second);
    }
};

} // namespace

std::vector<std::uint32_t> AssignFileSlots(const std::vector<TFileRecord>& catalogue,
                                           const std::vector<std::uint32_t>& rows,
                                           std::vector<std::int32_t>& slotOf)
{
    std::unordered_map<std::pair<std::uint64_t, std::uint64_t>, std::int32_t, TFileKeyHash> slots;
    slots.reserve(rows.size());
    std::vector<std::uint32_t> firstRows;
    for (std::uint32_t row : rows) {
        const TFileRecord& record = catalogue[row];
        const auto next = static_cast<std::int32_t>(firstRows.size());
        // Rows the scan did not read (inode 0) are files of their own.
        if (record.Inode == 0) {
            slotOf[row] = next;
            firstRows.push_back(row);
            continue;
        }
        const auto [it, inserted] = slots.emplace(std::make_pair(record.Device, record.Inode), next);
        slotOf[row] = it->second;
        if (inserted) firstRows.push_back(row);
    }
    return firstRows;
}

TDirectoryOpener::~TDirectoryOpener()
{
    if (FFd >= 0) close(FFd);
}

int TDirectoryOpener::Open(const TFileRecord& row)
{
    if (FDirectory == row.Directory.get() && FDirectory) return FFd;
    if (FFd >= 0) close(FFd);
    FDirectory = row.Directory.get();
    FFd = open(row.DirectoryText().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return FFd;
}

} // namespace quorvane
