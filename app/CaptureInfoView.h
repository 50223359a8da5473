// The capture date, camera and size of the focused photo, read off the
// window's thread when the focus settles on a row and never during a scan.
// Invariant: one file is read at a time, an answer is handed on only while
// its ticket is the latest (a row no longer focused gets none), and work not
// yet started is taken back when a newer request comes.
#pragma once

#include "CaptureInfo.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <string>

namespace quorvane {

// The line shown for a photo: "Taken 2023-05-14 10:31:07 +02:00 · Pixel 7 ·
// 4032 × 3024", each part only when known; empty when none is.
QString CaptureInfoText(const TCaptureInfo& info);

class TCaptureInfoView : public QObject {
    Q_OBJECT

  public:
    // read gives the info of a path; it runs on the view's worker thread.
    using TReader = std::function<TCaptureInfo(const std::string& path)>;
    explicit TCaptureInfoView(TReader read, QObject* parent = nullptr);
    ~TCaptureInfoView() override;

    // Asks for the info of the file at path; a request for the path asked
    // last is not read again.
    void Request(const std::string& path);
    // Drops the request under way (the list was cleared or a new search
    // began): its answer is not handed on.
    void Forget();

  signals:
    // The info of path, read after the latest request.
    void Ready(const std::string& path, const TCaptureInfo& info);

  private:
    TReader FRead;
    QThreadPool FPool;
    quint64 FTicket = 0;
    std::string FLastPath;
};

} // namespace quorvane
