// The files and folders a search left out, counted and listed.
#include "NotReadReport.h"

#include "UserMessages.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <cstring>

namespace quorvane {

namespace {

QString Tr(const char* text, int n = -1)
{
    return QCoreApplication::translate("TNotReadReport", text, nullptr, n);
}

} // namespace

QString NotReadCountText(const std::vector<TNotRead>& entries)
{
    int files = 0;
    int folders = 0;
    for (const TNotRead& entry : entries)
        ++(entry.IsDirectory() ? folders : files);
    QStringList parts;
    if (files != 0) parts << Tr("%n files could not be read", files);
    if (folders != 0) parts << Tr("%n folders could not be read", folders);
    return parts.join(QStringLiteral(", "));
}

QString NotReadReasonText(const TNotRead& entry)
{
    QString reason;
    switch (entry.Reason) {
    case TNotReadReason::CannotOpenFile:
        reason = Tr("cannot be opened");
        break;
    case TNotReadReason::FileReadFailed:
        reason = Tr("a read failed");
        break;
    case TNotReadReason::FileChanged:
        reason = Tr("changed during the search");
        break;
    case TNotReadReason::CannotOpenDirectory:
        reason = Tr("folder cannot be opened");
        break;
    case TNotReadReason::DirectoryReadFailed:
        reason = Tr("folder could not be listed to the end");
        break;
    }
    if (entry.Error != 0)
        reason += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(entry.Error)));
    return reason;
}

QString NotReadListText(const std::vector<TNotRead>& entries)
{
    QString text = Tr("These files and folders could not be read:");
    const std::size_t shown = std::min(entries.size(), kNotReadListLimit);
    for (std::size_t i = 0; i < shown; ++i) {
        // The path's bytes as the file system gave them, decoded for display.
        text += QLatin1Char('\n') + QFile::decodeName(QByteArray::fromStdString(entries[i].Path)) +
                QStringLiteral(": ") + NotReadReasonText(entries[i]);
    }
    if (entries.size() > shown) text += QLatin1Char('\n') + Tr("and %n more", int(entries.size() - shown));
    return text;
}

TNotReadReport::TNotReadReport(QMenu* menu, std::function<IUserMessages&()> messages, QObject* parent)
    : QObject(parent), FMessages(std::move(messages))
{
    menu->addSeparator();
    FAction = menu->addAction(QString());
    FAction->setObjectName(QStringLiteral("miFilesNotRead"));
    FAction->setEnabled(false);
    ApplyTexts();
    // The caption follows the language in force whenever the menu opens.
    connect(menu, &QMenu::aboutToShow, this, &TNotReadReport::ApplyTexts);
    connect(FAction, &QAction::triggered, this, &TNotReadReport::ShowList);
}

void TNotReadReport::SetEntries(std::vector<TNotRead> entries)
{
    FEntries = std::move(entries);
    FAction->setEnabled(!FEntries.empty());
}

void TNotReadReport::ApplyTexts()
{
    FAction->setText(Tr("Files Not Read..."));
}

void TNotReadReport::ShowList()
{
    if (!FEntries.empty()) FMessages().ShowInformation(NotReadListText(FEntries));
}

} // namespace quorvane
