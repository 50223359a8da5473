// Helpers of the search tests: fixture files written through POSIX calls (so
// names may be any bytes and times any value) and a host that records every
// progress, status and message call the core makes.
#pragma once

#include "DuplicateSearch.h"
#include "ScanFilter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quorvane::test {

inline std::string Join(const std::string& dir, const std::string& name)
{
    return dir + "/" + name;
}

// Creates dir (and parents); returns it.
inline std::string MakeDir(const std::string& dir)
{
    for (std::size_t i = 1; i <= dir.size(); ++i) {
        if (i == dir.size() || dir[i] == '/') mkdir(dir.substr(0, i).c_str(), 0755);
    }
    return dir;
}

// Sets the last-write time of path, in seconds since the epoch.
inline bool SetModified(const std::string& path, long long seconds)
{
    timespec times[2];
    times[0].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// Writes a file with the given bytes (and time, when not negative).
inline std::string WriteFile(const std::string& dir, const std::string& name, const QByteArray& contents,
                             long long modified = -1)
{
    const std::string path = Join(dir, name);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return {};
    const auto size = static_cast<size_t>(contents.size());
    const bool written = size == 0 || write(fd, contents.constData(), size) == static_cast<ssize_t>(size);
    close(fd);
    if (!written) return {};
    if (modified >= 0 && !SetModified(path, modified)) return {};
    return path;
}

inline std::string Local(const QString& path)
{
    return QByteArray(path.toLocal8Bit()).toStdString();
}

// "path: reason" of each entry (open, read, changed, enter or list, the
// errno following all but changed), for compact expectations.
inline QStringList DescribeNotRead(const std::vector<TNotRead>& entries)
{
    static const char* const words[] = {"open", "read", "changed", "enter", "list"};
    QStringList out;
    for (const TNotRead& e : entries) {
        QString text = QString::fromStdString(e.Path) + ": " + words[static_cast<int>(e.Reason)];
        if (e.Reason != TNotReadReason::FileChanged) text += ' ' + QString::number(e.Error);
        out << text;
    }
    return out;
}

class TRecordingHost : public TDuplicateHost {
  public:
    std::vector<std::pair<std::string, bool>> Statuses;
    std::vector<std::pair<int, bool>> Percentages;
    std::vector<std::string> Errors;
    int ShowCount = 0;
    int ClearCount = 0;
    // Runs after each status text, e.g. to change a file between scan and check.
    std::function<void(const std::string&)> OnStatus;
    // When not negative: CancelRequested answers true from this many calls on.
    int CancelAfter = -1;
    // Atomic: the threads that read contents poll too.
    mutable std::atomic<int> CancelPolls{0};
    // The threads contents are read with (0: the core's choice).
    unsigned Threads = 0;
    // The threads the scan states files with (0: the core's choice).
    unsigned ScanThreadsAsked = 0;
    // What the core reported it could not read, in order.
    std::vector<TNotRead> NotReads;
    // Runs at each progress step with the count of steps so far, e.g. to
    // change a file between two contents stages.
    std::function<void(int)> OnStep;

    void SetStatusText(const std::string& text, bool repaintNow) override
    {
        Statuses.emplace_back(text, repaintNow);
        if (OnStatus) OnStatus(text);
    }
    void SetPercentage(int percent, bool repaintNow) override
    {
        Percentages.emplace_back(percent, repaintNow);
    }
    void ShowProgressWindow() override
    {
        ++ShowCount;
        if (OnStep) OnStep(ShowCount);
    }
    void NotRead(const TNotRead& entry) override { NotReads.push_back(entry); }
    unsigned ContentsThreads() const override { return Threads; }
    unsigned ScanThreads() const override { return ScanThreadsAsked; }
    void ShowErrorMessage(const std::string& text) override { Errors.push_back(text); }
    void ClearFileList() override { ++ClearCount; }
    bool CancelRequested() const override { return CancelAfter >= 0 && CancelPolls++ >= CancelAfter; }
    // What the scan leaves out (none when null).
    const TScanFilter* Filter = nullptr;
    const TScanFilter* ScanFilter() const override { return Filter; }
    // The contents cache file (none when empty).
    std::string CachePath;
    std::string ContentsCachePath() const override { return CachePath; }

    std::vector<int> PercentValues() const
    {
        std::vector<int> values;
        for (const auto& p : Percentages)
            values.push_back(p.first);
        return values;
    }
};

} // namespace quorvane::test
