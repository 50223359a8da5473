// Benchmark of the check before a deletion in the real main window
// (offscreen): a Size and CC search over DIR, Select Duplicates ("First
// listed"), then Del with a service that deletes nothing, so the tree is
// left as it was. Timed: the copy check from the key press to its end, the
// longest gap between two ticks of a 5 ms timer meanwhile (how long the
// window could not repaint), and `cmp -s` over the same pairs (each file to
// delete against the first copy of its group that stays), one after another
// in the same run, once to warm the cache and once timed.
//
// With --list-all: "List All" over DIR instead, timed, and then "Check the
// list against the disk" (F5) over all its rows, timed.
//
// With --no-cmp the cmp runs are left out.
//
// With --delete the files really go, to the trash ($XDG_DATA_HOME/Trash),
// through the window's own service: timed from the key press until the
// rows of the deleted files have left the list (check, deletion and read
// back), with the longest gap between ticks over all of it. cmp runs before
// the deletion. It changes DIR: run it on a copy.
//
//   quorvane_bench_delete_check DIR [--list-all | --no-cmp | --delete]
#include "FileCommands.h"
#include "MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace quorvane;

namespace {

class TNoOpService : public IFileOperations {
  public:
    void DeleteFiles(const std::vector<TDeleteItem>&, unsigned) override {}
    bool RenameFile(const std::string&, const std::string&, unsigned) override { return false; }
};

// Answers every question No, so files without a copy stay; counts them.
class TNoPrompts : public IFileOpPrompts {
  public:
    int Questions = 0;
    bool Confirm(const QString& question, bool) override
    {
        ++Questions;
        std::fprintf(stderr, "asked: %s\n", question.left(160).toLocal8Bit().constData());
        return false;
    }
    void ReportFailures(const QStringList&) override {}
};

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void WaitWhile(QApplication& app, const std::function<bool()>& busy)
{
    while (busy())
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// Seconds of `cmp -s a b` for every pair, one process after another.
double CmpSeconds(const std::vector<std::pair<std::string, std::string>>& pairs, int& differing)
{
    differing = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [a, b] : pairs) {
        std::string first = a, second = b, program = "cmp", quiet = "-s";
        char* argv[] = {program.data(), quiet.data(), first.data(), second.data(), nullptr};
        pid_t child = 0;
        if (::posix_spawnp(&child, "cmp", nullptr, nullptr, argv, environ) != 0) continue;
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++differing;
    }
    return Seconds(start);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quorvane_bench_delete_check DIR\n");
        return 2;
    }
    const std::string mode = argc > 2 ? argv[2] : "";
    const bool listAll = mode == "--list-all";
    const bool noCmp = mode == "--no-cmp";
    const bool reallyDelete = mode == "--delete";
    TfrmMain form;
    TNoOpService service;
    TNoPrompts prompts;
    if (!reallyDelete) form.SetFileOperations(&service);
    form.SetFilePrompts(&prompts);
    form.findChild<QListWidget*>(QStringLiteral("lstDir"))->addItem(QString::fromLocal8Bit(argv[1]));
    form.show(); // loads the stored options: the bench's own come after
    for (const char* box : {"ckSize", "ckCC"})
        form.findChild<QCheckBox*>(QString::fromLatin1(box))->setChecked(true);
    form.findChild<QCheckBox*>(QStringLiteral("ckNoConfirm"))->setChecked(true);
    // To the trash, so that "No confirmation" asks nothing but the last-copy question.
    if (reallyDelete) form.findChild<QCheckBox*>(QStringLiteral("ckNoRecycle"))->setChecked(false);
    if (listAll) {
        auto start = std::chrono::steady_clock::now();
        form.findChild<QPushButton*>(QStringLiteral("btnFindAll"))->click();
        WaitWhile(app, [&] { return form.SearchRunning(); });
        const double scan = Seconds(start);
        start = std::chrono::steady_clock::now();
        form.miCheckDiskClick();
        WaitWhile(app, [&] { return form.FileTaskRunning(); });
        const double check = Seconds(start);
        std::printf("List All %d rows %.3f s; check against the disk %.3f s (ratio %.2f)\n",
                    form.FileList()->rowCount(), scan, check, scan > 0 ? check / scan : 0.0);
        return 0;
    }
    form.findChild<QPushButton*>(QStringLiteral("btnFindDuplicates"))->click();
    WaitWhile(app, [&] { return form.SearchRunning(); });
    auto* list = form.findChild<QTreeView*>(QStringLiteral("lvFiles"));
    list->setFocus();
    form.findChild<QComboBox*>(QStringLiteral("cbKeepRule"))->setCurrentIndex(0);
    form.findChild<QAction*>(QStringLiteral("miSelectDuplicates"))->trigger();
    std::vector<int> selected;
    for (const QModelIndex& index : list->selectionModel()->selectedRows())
        selected.push_back(index.row());
    std::sort(selected.begin(), selected.end());
    const TCopyCheckPlan plan = CopyCheckPlan(form.FileList()->Rows(), selected, false);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const TCheckGroup& group : plan.Groups) {
        const auto kept = std::find_if(group.Files.begin(), group.Files.end(),
                                       [](const TCheckFile& file) { return !file.Deleting; });
        for (const TCheckFile& file : group.Files)
            if (file.Deleting && kept != group.Files.end()) pairs.emplace_back(file.Path, kept->Path);
    }
    int differing = 0;
    // Warms the cache for both; a deletion's run times cmp first instead,
    // on a tree just copied (and so in the cache).
    if (!noCmp && !reallyDelete) CmpSeconds(pairs, differing);
    // A deletion takes the files cmp needs: cmp is timed first.
    const double cmpBefore = reallyDelete ? CmpSeconds(pairs, differing) : 0.0;
    const int rowsBefore = form.FileList()->rowCount();
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    ticker.start();
    sinceTick.start();
    const auto start = std::chrono::steady_clock::now();
    form.DeleteSelectedFiles();
    WaitWhile(app, [&] { return form.FileTaskRunning(); });
    const double check = Seconds(start);
    longestGap = std::max(longestGap, sinceTick.elapsed());
    ticker.stop();
    const double cmp = reallyDelete ? cmpBefore : noCmp ? 0.0 : CmpSeconds(pairs, differing);
    std::printf("rows %d, selected %zu, pairs %zu (%d differ by cmp), %d question(s) asked\n", rowsBefore,
                selected.size(), pairs.size(), differing, prompts.Questions);
    if (reallyDelete) std::printf("rows after the deletion %d\n", form.FileList()->rowCount());
    std::printf("%s %.3f s, cmp one after another %.3f s, ratio %.2f; longest gap between ticks %lld ms\n",
                reallyDelete ? "check and deletion" : "copy check", check, cmp, cmp > 0 ? check / cmp : 0.0,
                static_cast<long long>(longestGap));
    return 0;
}
