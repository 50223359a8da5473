// Benchmark of the result list in the real main window (offscreen): fills
// the list with N synthetic rows (the path "List All" and the duplicate
// search take), paints it, sorts it by every column in both directions, and,
// given a tree, runs "List All" and "Find Duplicates" through their buttons.
// Prints wall and CPU seconds per step and the process's peak memory.
//
//   quorvane_bench_list [--rows N] [--tree DIR] [--shot FILE.png] [--gaps cc|allbytes]
//                       [--cancel-after SECONDS]
// --shot saves a picture of the window after the tree's searches (to look
// at the layout with real rows); --rows 0 skips the synthetic rows. --gaps
// runs only "Find Duplicates" with Size and CC (or All bytes) on the tree
// while a 16 ms ticker asks the progress bar to repaint (as a compositor's
// expose would), and prints the longest gap between two of its repaints;
// with --cancel-after it presses Cancel then and prints how long the search
// took to end.
#include "Application.h"
#include "MainForm.h"
#include "ProgressForm.h"
#include "ResultRows.h"
#include "UserMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <string>

using namespace quorvane;

namespace {

class TSilentMessages : public IUserMessages {
  public:
    void ShowError(const QString& text) override { std::printf("error box: %s\n", qPrintable(text)); }
    void ShowInformation(const QString&) override {}
    void ShowApplicationError(const QString& text) override
    {
        std::printf("application error: %s\n", qPrintable(text));
    }
};

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long PeakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

template <typename Step> void Measure(const char* name, Step&& step)
{
    const double wall = WallSeconds();
    const double cpu = CpuSeconds();
    step();
    std::printf("%-34s wall %7.3f s  cpu %7.3f s  peak %7.1f MiB\n", name, WallSeconds() - wall,
                CpuSeconds() - cpu, PeakKiB() / 1024.0);
    std::fflush(stdout);
}

std::vector<TFileRecord> SyntheticRows(std::size_t count)
{
    std::mt19937_64 random(20261208);
    std::vector<std::shared_ptr<const std::string>> directories;
    for (int d = 0; d < 2000; ++d)
        directories.push_back(
            std::make_shared<const std::string>("/data/pictures/album" + std::to_string(d)));
    const char* const extensions[] = {".jpg", ".JPG", ".gif", ".png", ".txt", ""};
    std::lognormal_distribution<double> size(8.3, 2.0);
    std::vector<TFileRecord> rows(count);
    for (std::size_t i = 0; i < count; ++i) {
        TFileRecord& row = rows[i];
        row.Name = "IMG_" + std::to_string(random() % 10000000) + extensions[random() % 6];
        row.Directory = directories[random() % directories.size()];
        row.Size = static_cast<std::uint64_t>(size(random));
        row.TimeKey = 199801010000 + static_cast<std::int64_t>(random() % 28) * 100000000;
        row.ImageIndex = (i % 3 == 0) ? kImageOtherFile : kImagePicture;
    }
    return rows;
}

// Clicks a search button and serves the event loop until the search (which
// runs on its worker thread) has ended.
void RunSearch(TfrmMain& form, const char* button)
{
    form.findChild<QPushButton*>(button)->click();
    while (form.SearchRunning())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void RunTree(TfrmMain& form, const char* tree)
{
    form.findChild<QListWidget*>("lstDir")->addItem(QString::fromLocal8Bit(tree));
    Measure("List All (button)", [&] { RunSearch(form, "btnFindAll"); });
    std::printf("  rows: %d\n", form.FileList()->rowCount());
    Measure("Find Duplicates, Size (button)", [&] { RunSearch(form, "btnFindDuplicates"); });
    std::printf("  rows: %d\n", form.FileList()->rowCount());
    form.findChild<QCheckBox*>("ckName")->setChecked(true);
    Measure("Find Duplicates, Name+Size", [&] { RunSearch(form, "btnFindDuplicates"); });
    std::printf("  rows: %d\n", form.FileList()->rowCount());
}

// Records when a widget paints.
class TPaintClock : public QObject {
  public:
    std::vector<double> Times;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) Times.push_back(WallSeconds());
        return false;
    }
};

void RunRepaintGaps(TfrmMain& form, TfrmProgress& progress, const char* tree, bool allBytes,
                    double cancelAfter)
{
    form.findChild<QListWidget*>("lstDir")->addItem(QString::fromLocal8Bit(tree));
    form.findChild<QCheckBox*>("ckSize")->setChecked(true);
    form.findChild<QCheckBox*>(allBytes ? "ckAllBytes" : "ckCC")->setChecked(true);
    TPaintClock clock;
    progress.Progress()->installEventFilter(&clock);
    QTimer ticker;
    ticker.setInterval(16);
    QObject::connect(&ticker, &QTimer::timeout, progress.Progress(), [&] { progress.Progress()->update(); });
    ticker.start();
    double cancelledAt = 0;
    if (cancelAfter > 0) {
        QTimer::singleShot(static_cast<int>(cancelAfter * 1000), &form, [&] {
            cancelledAt = WallSeconds();
            progress.CancelButton()->click();
        });
    }
    const char* label = allBytes ? "Find Duplicates, Size+All bytes" : "Find Duplicates, Size+CC";
    Measure(label, [&] { RunSearch(form, "btnFindDuplicates"); });
    if (cancelledAt > 0)
        std::printf("  cancelled: the search ended %.1f ms after Cancel\n",
                    (WallSeconds() - cancelledAt) * 1000.0);
    ticker.stop();
    std::vector<double> gaps;
    for (std::size_t i = 1; i < clock.Times.size(); ++i)
        gaps.push_back((clock.Times[i] - clock.Times[i - 1]) * 1000.0);
    const auto longest = std::max_element(gaps.begin(), gaps.end());
    std::printf("  rows: %d  progress repaints: %zu  longest gap between repaints: %.1f ms at %.2f s\n",
                form.FileList()->rowCount(), clock.Times.size(), longest == gaps.end() ? 0.0 : *longest,
                longest == gaps.end() ? 0.0 : clock.Times[longest - gaps.begin()] - clock.Times.front());
    std::sort(gaps.begin(), gaps.end());
    if (!gaps.empty())
        std::printf("  gaps: median %.1f ms, 99th percentile %.1f ms, over 50 ms: %td\n",
                    gaps[gaps.size() / 2], gaps[gaps.size() * 99 / 100],
                    gaps.end() - std::upper_bound(gaps.begin(), gaps.end(), 50.0));
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::size_t rowCount = 1000000;
    const char* tree = nullptr;
    const char* shot = nullptr;
    const char* gaps = nullptr;
    double cancelAfter = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0)
            rowCount = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--tree") == 0)
            tree = argv[i + 1];
        else if (std::strcmp(argv[i], "--shot") == 0)
            shot = argv[i + 1];
        else if (std::strcmp(argv[i], "--gaps") == 0)
            gaps = argv[i + 1];
        else if (std::strcmp(argv[i], "--cancel-after") == 0)
            cancelAfter = std::strtod(argv[i + 1], nullptr);
    }
    TApplication app(argc, argv);
    TSilentMessages messages;
    TfrmMain form;
    TfrmProgress progress;
    form.SetProgressForm(&progress);
    form.SetUserMessages(&messages);
    form.resize(1280, 800);
    form.show();
    QApplication::processEvents();
    std::printf("window shown                       peak %7.1f MiB\n", PeakKiB() / 1024.0);
    if (tree && gaps) {
        RunRepaintGaps(form, progress, tree, std::strcmp(gaps, "allbytes") == 0, cancelAfter);
        return 0;
    }
    if (tree) RunTree(form, tree);
    if (shot) {
        QApplication::processEvents();
        form.grab().save(QString::fromLocal8Bit(shot));
    }
    if (rowCount == 0) return 0;
    std::vector<TFileRecord> rows;
    Measure("make synthetic rows", [&] { rows = SyntheticRows(rowCount); });
    QTreeView* list = form.findChild<QTreeView*>("lvFiles");
    Measure("fill list + paint", [&] {
        form.FileList()->SetRows(std::move(rows));
        list->repaint();
    });
    std::printf("  rows: %d\n", form.FileList()->rowCount());
    const char* const modes[] = {"Name asc",  "Name desc", "Directory asc", "Directory desc", "Size asc",
                                 "Size desc", "Type asc",  "Type desc",     "Time asc",       "Time desc"};
    for (int mode : {0, 2, 4}) {
        const std::string label = std::string("  core order only, ") + modes[mode];
        Measure(label.c_str(), [&] { (void)SortedOrder(form.FileList()->Rows(), mode); });
    }
    for (int mode = 0; mode < 10; ++mode) {
        const std::string label = std::string("sort ") + modes[mode] + " + paint";
        Measure(label.c_str(), [&] {
            form.SetSortMode(mode);
            list->repaint();
        });
    }
    Measure("scroll to the last row + paint", [&] {
        list->scrollToBottom();
        list->repaint();
    });
    Measure("clear list", [&] { form.ClearFileList(); });
    return 0;
}
