// The focused photo's capture info: a one-thread pool reads it, a queued
// call brings it back to the window's thread, where the ticket decides
// whether it is still wanted.
#include "CaptureInfoView.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QStringList>

namespace quorvane {

QString CaptureInfoText(const TCaptureInfo& info)
{
    QStringList parts;
    const std::string date = CaptureDateText(info);
    if (!date.empty())
        parts << QCoreApplication::translate("frmMain", "Taken %1", "capture")
                     .arg(QString::fromStdString(date));
    if (!info.Model.empty()) parts << QString::fromStdString(info.Model);
    if (info.Width != 0 && info.Height != 0)
        parts
            << QCoreApplication::translate("frmMain", "%1 × %2", "capture").arg(info.Width).arg(info.Height);
    return parts.join(QStringLiteral(" · "));
}

TCaptureInfoView::TCaptureInfoView(TReader read, QObject* parent) : QObject(parent), FRead(std::move(read))
{
    FPool.setMaxThreadCount(1);
    // A worker that found nothing to do for a while ends; the next request
    // starts it again.
    FPool.setExpiryTimeout(5000);
}

TCaptureInfoView::~TCaptureInfoView()
{
    // The read under way finishes before the view goes; its queued answer
    // is dropped with the view.
    FPool.clear();
    FPool.waitForDone();
}

void TCaptureInfoView::Request(const std::string& path)
{
    if (path == FLastPath) return;
    FLastPath = path;
    const quint64 ticket = ++FTicket;
    FPool.clear(); // a read not yet started is no longer wanted
    FPool.start([this, ticket, path, read = FRead] {
        const TCaptureInfo info = read(path);
        QMetaObject::invokeMethod(
            this,
            [this, ticket, path, info] {
                if (ticket == FTicket) emit Ready(path, info);
            },
            Qt::QueuedConnection);
    });
}

void TCaptureInfoView::Forget()
{
    ++FTicket;
    FLastPath.clear();
    FPool.clear();
}

} // namespace quorvane
