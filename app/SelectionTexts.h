// The captions of "Select Duplicates", "Invert Selection", the keep rule
// list and the selection summary, English and Chinese side by side, so the
// languages find them in one place.
#pragma once

#include <QString>
#include <array>

namespace quorvane {

struct TCaption {
    const char* English;
    const char* Chinese;
    QString In(bool chinese) const { return QString::fromUtf8(chinese ? Chinese : English); }
};

inline constexpr TCaption kSelectDuplicatesCaption{"Select Duplicates", "選取重複檔案"};
inline constexpr TCaption kInvertSelectionCaption{"Invert Selection", "反向選取"};
inline constexpr TCaption kKeepInEachGroupCaption{"Keep in each group:", "每組保留:"};
// %1 the number of files (with thousands separators), %2 their size.
inline constexpr TCaption kSelectedSummaryCaption{"Selected: %1 files, %2", "已選取: %1 個檔案, %2"};
// The keep rules in the order of TKeepRule.
inline constexpr std::array<TCaption, 6> kKeepRuleCaptions{{
    {"First listed", "第一個"},
    {"Newest", "最新的"},
    {"Oldest", "最舊的"},
    {"Largest picture", "最大的圖片"},
    {"Shortest path", "最短的路徑"},
    {"Protected folder", "受保護的資料夾"},
}};

} // namespace quorvane
