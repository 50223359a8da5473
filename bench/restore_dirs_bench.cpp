// Benchmark of restoring a long directory list into the window's list box
// (offscreen): N entries, every one an existing directory and a quarter of
// them stored twice, restored through TDirectoryList::RestoreDirectories
// into a shown QListWidget, then painted. Prints wall seconds per step.
//
//   quorvane_bench_restore [--entries N]
// The folders are made in a temporary directory first (not timed).
#include "DirectoryList.h"
#include "WorkspaceWidgets.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace quorvane;

namespace {

class TSilentMessages : public IUserMessages {
  public:
    void ShowError(const QString&) override {}
    void ShowInformation(const QString&) override {}
    void ShowApplicationError(const QString&) override {}
};

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int entries = 100000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--entries") == 0) entries = std::atoi(argv[i + 1]);
    QTemporaryDir tmp;
    // Real folders, two levels deep, as a long stored list would name them.
    const int distinct = entries - entries / 4;
    const int width = 400;
    std::vector<QByteArray> folders;
    for (int i = 0; i < distinct; ++i) {
        const QString path = tmp.filePath(QStringLiteral("p%1/d%2").arg(i / width).arg(i % width));
        QDir().mkpath(path);
        folders.push_back(QFile::encodeName(path));
    }
    std::vector<TDirectoryList::TRestored> stored;
    for (int i = 0; i < entries; ++i) {
        const int k = i < distinct ? i : (i - distinct) * 3; // the last quarter repeats earlier ones
        stored.push_back({folders[static_cast<std::size_t>(k)], i % 9 == 0});
    }
    QListWidget list;
    list.setUniformItemSizes(true);
    list.resize(400, 300);
    list.show();
    app.processEvents();
    TListWidgetBox box(&list);
    TSilentMessages messages;
    TDirectoryList directories(box, messages);
    const auto start = std::chrono::steady_clock::now();
    const std::size_t appended = directories.RestoreDirectories(stored);
    const double restored = Seconds(start);
    list.repaint();
    app.processEvents();
    const double painted = Seconds(start);
    std::printf("%d entries: %zu restored in %.3f s, painted after %.3f s\n", entries, appended, restored,
                painted);
    return appended == static_cast<std::size_t>(distinct) ? 0 : 1;
}
