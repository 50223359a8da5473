// TSearchWorker: runs one search (scan and detection over the Qt-free core)
// on a thread of its own and hands its progress to the window through queued
// signals. Invariant: at most one search runs at a time, and its rows and
// outcome are read only after its thread has been joined.
#pragma once

#include "DuplicateSearch.h"
#include "ScanFilter.h"
#include "TFileRecord.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace quorvane {

class TSearchWorker : public QObject {
    Q_OBJECT

  public:
    // How a search ended.
    enum class TEnd { None, Completed, Refused, Cancelled, Failed };
    // The work of one search: fills rows through host; false when the core
    // refused the request (its message went through the host).
    using TJob = std::function<bool(TDuplicateHost& host, std::vector<TFileRecord>& rows)>;

    explicit TSearchWorker(QObject* parent = nullptr);
    // Cancels a running search and waits for its thread.
    ~TSearchWorker() override;
    TSearchWorker(const TSearchWorker&) = delete;
    TSearchWorker& operator=(const TSearchWorker&) = delete;

    // True from Start until the outcome has been taken.
    bool Running() const { return FThread.joinable(); }
    // Starts job on the worker thread; false (nothing started) while another
    // search runs.
    // filter: what the scan leaves out (kept until the next Start).
    bool Start(TJob job, TScanFilter filter = {});
    // Asks the running search to stop; the core notices between files and
    // between reads. Safe to call at any time.
    void Cancel() { FCancel.store(true); }
    bool CancelRequested() const { return FCancel.load(); }

    // The outcome of the search that has finished, once: joins its thread
    // and hands over its rows. TEnd::None when no search has ended since the
    // last call (a second Finished of the same search finds nothing).
    struct TOutcome {
        TEnd End = TEnd::None;
        QString ErrorText;        // TEnd::Failed
        bool ListCleared = false; // the search got as far as emptying the list
        std::vector<TFileRecord> Rows;
        std::vector<TNotRead> NotRead; // what the search could not read, in order
    };
    TOutcome TakeOutcome();

  signals:
    // All emitted from the worker thread; receivers on the window's thread
    // get them queued, in the order emitted, Finished last.
    void StatusText(const QString& text, bool repaintNow);
    void Percentage(int percent, bool repaintNow);
    void ProgressWindowWanted();
    void ErrorMessage(const QString& text);
    void Finished();

  private:
    class THost;
    void Run(const TJob& job);

    std::thread FThread;
    std::atomic<bool> FCancel{false};
    std::atomic<bool> FProgressShown{false};
    TScanFilter FFilter; // written before the thread starts, then only read
    // Written by the worker thread only; read after joining it.
    TEnd FEnd = TEnd::None;
    QString FErrorText;
    bool FListCleared = false;
    std::vector<TFileRecord> FRows;
    std::vector<TNotRead> FNotRead;
};

} // namespace quorvane
