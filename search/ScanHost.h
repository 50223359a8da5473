// The progress display of a scan or a search, implemented by the main window
// (status bar panels 0 and 1, the progress window) and by recording fakes in
// the tests. The core calls it; it never includes Qt.
#pragma once

#include "ContentsCache.h"

#include <cstddef>
#include <exception>
#include <memory>
#include <string>

namespace quorvane {

struct TScanFilter;

// Why a file or a directory was left out of a search. The core gives the
// code and the system's error number; each front end words it.
enum class TNotReadReason {
    CannotOpenFile,      // the file could not be opened (Error says why)
    FileReadFailed,      // a read of the file failed (Error says why)
    FileChanged,         // size, time or identity changed since the scan, or while it was read
    CannotOpenDirectory, // the directory could not be entered (Error says why)
    DirectoryReadFailed, // listing the directory failed part-way (Error says why)
};

// One file or directory that could not be read: files are left out of the
// groups, directories out of the scan; the search goes on without them.
struct TNotRead {
    std::string Path;
    TNotReadReason Reason = TNotReadReason::CannotOpenFile;
    int Error = 0; // errno, 0 when the reason needs none

    bool IsDirectory() const
    {
        return Reason == TNotReadReason::CannotOpenDirectory || Reason == TNotReadReason::DirectoryReadFailed;
    }
};

class TScanHost {
  public:
    virtual ~TScanHost() = default;

    // Status panel 1. repaintNow asks for an immediate repaint of the status
    // bar (no event loop runs during a search).
    virtual void SetStatusText(const std::string& text, bool repaintNow) = 0;

    // The progress bar and panel 0 (percent followed by "%"). repaintNow is
    // true exactly when percent is even.
    virtual void SetPercentage(int percent, bool repaintNow) = 0;

    // Shows the progress window if it is hidden; the caller hides it.
    virtual void ShowProgressWindow() = 0;

    // True once the user asked to stop. The core polls it between files and
    // between reads and then throws ESearchCancelled; it may be called from
    // the thread that runs the search and from the threads that scan or
    // read contents for it, so an implementation reads an atomic. Every other
    // call comes from the thread that runs the search.
    virtual bool CancelRequested() const { return false; }

    // How many threads read contents at once; 0 leaves it to the core (two
    // per core, at least four). The result never depends on it.
    virtual unsigned ContentsThreads() const { return 0; }

    // How many threads state the files of a scan's directories at once; 0
    // leaves it to the core (one per core, at least two). The rows, their
    // order and what the host hears never depend on it.
    virtual unsigned ScanThreads() const { return 0; }

    // A file or directory that could not be read and is left out. Called on
    // the thread that runs the search, in the order the search meets them.
    virtual void NotRead(const TNotRead& /*entry*/) {}

    // What the scan leaves out (sizes, names, extensions, folders); null or
    // an empty filter leaves out nothing. Asked once per input directory.
    virtual const TScanFilter* ScanFilter() const { return nullptr; }

    // The file of the contents hashes kept between "All bytes" searches;
    // empty (the default) keeps none. Read once per search and written at
    // its end, from the thread that runs the search.
    virtual std::string ContentsCachePath() const { return {}; }
    // The cache at ContentsCachePath() when the host loaded it ahead (on a
    // thread of its own while the scan ran); null (the default) and the
    // contents stage loads it itself. Asked at most once per search.
    virtual std::unique_ptr<TContentsCache> TakeLoadedContentsCache() { return nullptr; }
    // Writes cache, the hashes a search learnt, to ContentsCachePath(); the
    // default writes it at once. A host may write it on a thread of its own
    // so that the writing overlaps what follows the contents stage (the
    // grouping, the showing of the results), and finishes it before the
    // next search loads the file. Called from the thread that runs the
    // search, at most once per search.
    virtual void SaveContentsCache(std::unique_ptr<TContentsCache> cache, const std::string& path)
    {
        cache->Save(path);
    }
};

// Thrown by the core when the host's CancelRequested() turns true. Whatever
// the search had produced so far is to be thrown away by the caller.
class ESearchCancelled : public std::exception {
  public:
    const char* what() const noexcept override { return "Search cancelled"; }
};

// Throws ESearchCancelled when host asks to stop.
void ThrowIfCancelled(const TScanHost& host);

// (i + 1) / n * 100 for step i of n counted from 0, rounded to the nearest
// whole number with halves going to the even neighbour (12.5 gives 12).
// n must be positive and i below n.
int ProgressPercent(std::size_t i, std::size_t n);

// Reports the steps of one pass: each step shows the progress window and,
// when its percentage differs from the previous step's, the new percentage
// (the display would not change otherwise, and a million repaints of the same
// text would only cost time).
class TProgressMeter {
  public:
    TProgressMeter(TScanHost& host, std::size_t steps) : FHost(host), FSteps(steps) {}
    // Also the point where a pass notices a cancel request (ESearchCancelled).
    void Step(std::size_t i);

  private:
    TScanHost& FHost;
    std::size_t FSteps;
    int FLastPercent = -1;
};

} // namespace quorvane
