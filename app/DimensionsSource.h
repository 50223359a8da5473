// TDimensionsSource: the width and height of pictures for the list's
// Dimensions column, read from their headers on a thread of its own and only
// for the rows the list asks about (the ones painted). Invariant: the
// window's thread never touches a file here; answers of an earlier list
// (before Forget) are dropped.
#pragma once

#include "PictureSize.h"

#include <QObject>
#include <QThreadPool>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quorvane {

class TDimensionsSource : public QObject {
    Q_OBJECT

  public:
    using TReader = std::function<TPictureDimensions(const std::string& path)>;
    explicit TDimensionsSource(TReader read, QObject* parent = nullptr);
    ~TDimensionsSource() override;

    // Asks for the size of the picture at path; a path asked before and not
    // answered yet is not asked again. The newest requests are read first:
    // they are the rows on screen now.
    void Request(const std::string& path);
    // The list was cleared or replaced: requests not read yet are dropped,
    // answers under way are not handed on.
    void Forget();

  signals:
    // Sizes read since the last batch, in the window's thread.
    void Ready(const std::vector<std::pair<std::string, TPictureDimensions>>& sizes);

  private:
    struct TAsked {
        std::string Path;
        quint64 Generation; // of the list it was asked for
    };
    struct TRead {
        std::string Path;
        TPictureDimensions Size;
        quint64 Generation;
    };
    void Drain();

    TReader FRead;
    QThreadPool FPool;
    std::mutex FLock; // guards FQueue and FAsked
    std::vector<TAsked> FQueue;
    std::unordered_set<std::string> FAsked;
    quint64 FGeneration = 0; // window's thread only
    bool FRunning = false;   // guarded by FLock
};

} // namespace quorvane
