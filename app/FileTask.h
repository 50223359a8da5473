// TFileTask: one piece of file work of the result list (the copy check
// before a deletion, the deletion itself, the list checked against the
// disk) on a thread of its own, so that the window keeps painting and its
// Cancel is heard. The work
// gets a stop token and a progress callback; the window hears Percentage and
// then Finished, both queued. Invariant: at most one piece runs at a time,
// and its results are read only after Finished, when its thread has ended.
#pragma once

#include <QObject>
#include <functional>
#include <stop_token>
#include <thread>

namespace quorvane {

class TFileTask : public QObject {
    Q_OBJECT

  public:
    // progress(percent) may be called from the work's thread at any pace;
    // only changes of the percentage reach the window.
    using TWork = std::function<void(std::stop_token stop, const std::function<void(int percent)>& progress)>;

    explicit TFileTask(QObject* parent = nullptr);
    // Asks a running piece to stop and waits for it.
    ~TFileTask() override;

    // Starts work; false (nothing started) while another piece runs.
    bool Start(TWork work);
    // True from Start until Finished has been handled by Take.
    bool Running() const { return FThread.joinable(); }
    void Cancel() { FThread.request_stop(); }
    // Joins the ended thread; true when the piece was asked to stop, so that
    // its results must not be used.
    bool Take();

  signals:
    void Percentage(int percent);
    void Finished();

  private:
    std::jthread FThread;
    bool FCancelled = false;
};

} // namespace quorvane
