// The main window's rules that need no widget: the logo's place, the texts
// of the status bar and of the application's error box, and where the delay
// edit sits inside its label. The window calls these; the tests call them
// directly.
#pragma once

#include <QString>

class QAction;
class QMenu;
#include <cstddef>

namespace quorvane {

inline constexpr const char* kGroupHintText = "   Ctrl+Up=Prior group  Ctrl+Down=Next group";
inline constexpr const char* kClearingFileListText = "Clearing file list...";
inline constexpr const char* kSearchCancelledText = "Search cancelled";
inline constexpr const char* kApplicationTitle = "Quorvane";

// Left edge of the logo, centred in the area right of the bevel that bounds
// it: bevelRight + (clientWidth - bevelRight - imageWidth) div 2, the
// division truncating toward zero, but never less than bevelRight + 2
// (bevelRight is the bevel's left plus its width).
int CentredLogoLeft(int clientWidth, int bevelLeft, int bevelWidth, int imageWidth);

// "Total Files:" followed by count, without a space.
QString TotalFilesText(std::size_t count);

// Puts entry into menu right after anchor (at the end when anchor is last or
// not in the menu), so an added command stands beside its kin.
void InsertAfter(QMenu* menu, QAction* anchor, QAction* entry);

// The text of the application's error box: the message with a full stop
// added when it does not already end in one.
QString ApplicationErrorText(const QString& message);

// The longest run of spaces inside text (the gap the delay edit covers):
// its first index and its length; length 0 when text has no space.
struct TSpaceRun {
    int Start = 0;
    int Length = 0;
};
TSpaceRun LongestSpaceRun(const QString& text);

} // namespace quorvane
