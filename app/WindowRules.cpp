// The main window's widget-free rules.
#include "WindowRules.h"

#include <QMenu>

namespace quorvane {

int CentredLogoLeft(int clientWidth, int bevelLeft, int bevelWidth, int imageWidth)
{
    const int bevelRight = bevelLeft + bevelWidth;
    // C++ integer division truncates toward zero, as the rule asks, also for
    // a negative free width on a window narrower than the logo area.
    const int left = bevelRight + (clientWidth - bevelRight - imageWidth) / 2;
    return left < bevelRight + 2 ? bevelRight + 2 : left;
}

QString TotalFilesText(std::size_t count)
{
    return QStringLiteral("Total Files:") + QString::number(count);
}

QString ApplicationErrorText(const QString& message)
{
    if (message.endsWith(QLatin1Char('.'))) return message;
    return message + QLatin1Char('.');
}

TSpaceRun LongestSpaceRun(const QString& text)
{
    TSpaceRun best;
    int i = 0;
    while (i < text.size()) {
        if (text.at(i) != QLatin1Char(' ')) {
            ++i;
            continue;
        }
        const int start = i;
        while (i < text.size() && text.at(i) == QLatin1Char(' '))
            ++i;
        if (i - start > best.Length) best = {start, i - start};
    }
    return best;
}

} // namespace quorvane

namespace quorvane {

void InsertAfter(QMenu* menu, QAction* anchor, QAction* entry)
{
    const QList<QAction*> entries = menu->actions();
    const qsizetype at = entries.indexOf(anchor);
    if (at < 0 || at + 1 >= entries.size())
        menu->addAction(entry);
    else
        menu->insertAction(entries[at + 1], entry);
}

} // namespace quorvane
