// The text of status panel 1 after "Select Duplicates": the number of files
// with thousands separators and their total size in the largest unit that
// keeps the number at 1 or more.
#pragma once

#include <QString>
#include <cstdint>

namespace quorvane {

// "1,234".
QString GroupedCount(std::uint64_t count);
// "512 bytes", "1.0 KB", "5.6 GB" (units of 1,024, one decimal).
QString ShortSize(std::uint64_t bytes);
// "Selected: 1,234 files, 5.6 GB", in the installed interface language.
QString SelectionSummaryText(std::size_t files, std::uint64_t bytes);

} // namespace quorvane
