// TNotReadReport: what the last search could not read. It keeps the files
// and folders the core left out (TScanHost::NotRead), gives panel 1 their
// count and the list's menu "Files Not Read...", which shows each path with
// its reason through the window's message interface. Invariant: the menu
// item is enabled exactly when the last search left something out.
#pragma once

#include "ScanHost.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace quorvane {

class IUserMessages;

// At most this many paths are listed in the box; the rest are counted.
inline constexpr std::size_t kNotReadListLimit = 40;

// "N files could not be read" and "N folders could not be read" (those that
// are not zero, joined), in the installed language; empty when nothing was
// left out.
QString NotReadCountText(const std::vector<TNotRead>& entries);
// The reason of one entry in the installed language, with the system's
// error text after it when there is one.
QString NotReadReasonText(const TNotRead& entry);
// The box's text: a heading, then one "path: reason" line per entry (the
// first kNotReadListLimit, then how many more).
QString NotReadListText(const std::vector<TNotRead>& entries);

class TNotReadReport : public QObject {
    Q_OBJECT

  public:
    // Appends "Files Not Read..." (objectName miFilesNotRead) to menu;
    // messages gives the window's message interface when the item is used.
    TNotReadReport(QMenu* menu, std::function<IUserMessages&()> messages, QObject* parent);

    // The outcome of a search that ended: replaces the entries.
    void SetEntries(std::vector<TNotRead> entries);
    const std::vector<TNotRead>& Entries() const { return FEntries; }
    QAction* Action() const { return FAction; }

  private:
    void ApplyTexts();
    void ShowList();

    QAction* FAction = nullptr;
    std::function<IUserMessages&()> FMessages;
    std::vector<TNotRead> FEntries;
};

} // namespace quorvane
