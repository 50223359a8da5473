// TSearchWorker: the worker thread, and the host through which the core
// reports to the window. The host only emits signals and reads atomics, so
// nothing of the window is touched from the worker thread.
#include "SearchWorker.h"

#include "ContentsCache.h"
#include "WindowRules.h"

namespace quorvane {

class TSearchWorker::THost : public TDuplicateHost {
  public:
    explicit THost(TSearchWorker& worker) : FWorker(worker) {}

    void SetStatusText(const std::string& text, bool repaintNow) override
    {
        emit FWorker.StatusText(QString::fromUtf8(text), repaintNow);
    }
    void SetPercentage(int percent, bool repaintNow) override
    {
        emit FWorker.Percentage(percent, repaintNow);
    }
    // The core asks at every step; the window needs to hear it once.
    void ShowProgressWindow() override
    {
        if (!FWorker.FProgressShown.exchange(true)) emit FWorker.ProgressWindowWanted();
    }
    void ShowErrorMessage(const std::string& text) override
    {
        emit FWorker.ErrorMessage(QString::fromUtf8(text));
    }
    // The visible list stays as it is until the search has ended, so that a
    // cancelled search can leave it untouched; the status texts of clearing
    // are shown as before.
    void ClearFileList() override
    {
        FWorker.FListCleared = true;
        emit FWorker.StatusText(QString::fromLatin1(kClearingFileListText), true);
        emit FWorker.StatusText(QString(), false);
    }
    bool CancelRequested() const override { return FWorker.FCancel.load(); }
    // Kept by the worker thread, handed over with the rows.
    void NotRead(const TNotRead& entry) override { FWorker.FNotRead.push_back(entry); }
    const TScanFilter* ScanFilter() const override { return &FWorker.FFilter; }
    // Shared with the command line, so neither reads again what the other hashed.
    std::string ContentsCachePath() const override { return DefaultContentsCachePath(); }

  private:
    TSearchWorker& FWorker;
};

TSearchWorker::TSearchWorker(QObject* parent) : QObject(parent) {}

TSearchWorker::~TSearchWorker()
{
    Cancel();
    if (FThread.joinable()) FThread.join();
}

bool TSearchWorker::Start(TJob job, TScanFilter filter)
{
    if (Running()) return false;
    FFilter = std::move(filter);
    FCancel.store(false);
    FProgressShown.store(false);
    FEnd = TEnd::None;
    FErrorText.clear();
    FListCleared = false;
    FRows.clear();
    FNotRead.clear();
    FThread = std::thread([this, job = std::move(job)] { Run(job); });
    return true;
}

void TSearchWorker::Run(const TJob& job)
{
    THost host(*this);
    try {
        const bool completed = job(host, FRows);
        FEnd = completed ? TEnd::Completed : TEnd::Refused;
    } catch (const ESearchCancelled&) {
        FEnd = TEnd::Cancelled;
    } catch (const std::exception& error) {
        FEnd = TEnd::Failed;
        FErrorText = QString::fromLocal8Bit(error.what());
    } catch (...) {
        FEnd = TEnd::Failed;
        FErrorText = QStringLiteral("Unknown error");
    }
    // A cancel that came while the last rows were being formed still wins:
    // the user asked for the list to stay as it was.
    if (FEnd == TEnd::Completed && FCancel.load()) FEnd = TEnd::Cancelled;
    emit Finished();
}

TSearchWorker::TOutcome TSearchWorker::TakeOutcome()
{
    TOutcome outcome;
    if (!FThread.joinable()) return outcome;
    FThread.join();
    outcome.End = FEnd;
    outcome.ErrorText = FErrorText;
    outcome.ListCleared = FListCleared;
    outcome.Rows = std::move(FRows);
    outcome.NotRead = std::move(FNotRead);
    FRows.clear();
    FNotRead.clear();
    FEnd = TEnd::None;
    return outcome;
}

} // namespace quorvane
