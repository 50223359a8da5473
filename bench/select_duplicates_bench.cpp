// Benchmark of "Select Duplicates" in the real main window (offscreen):
// G groups of three numbered rows (one size each), the "newest" rule, then
// the action; prints wall milliseconds of the whole command and of the rule
// alone (DuplicateRows over the rows, also asking a protected folder about
// every row). With --protected, the rows lie in
// 1,000 directories and the first row of each group below a protected
// directory entry, so every row is tested against the protected folders.
//
//   quorvane_bench_select [--groups G] [--protected]
#include "KeepRules.h"
#include "MainForm.h"
#include "ProtectedFolders.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace quorvane;

namespace {

double Milliseconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int groups = 100000;
    bool protect = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--groups") == 0 && i + 1 < argc) groups = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--protected") == 0) protect = true;
    }
    TfrmMain form;
    form.show();
    std::vector<std::shared_ptr<const std::string>> directories;
    for (int d = 0; d < (protect ? 1000 : 1); ++d)
        directories.push_back(std::make_shared<const std::string>(
            protect
                ? "/nonexistent-bench-dir/" + std::string(d % 2 ? "other/d" : "kept/d") + std::to_string(d)
                : std::string("/nonexistent-bench-dir")));
    if (protect) {
        auto* list = form.findChild<QListWidget*>(QStringLiteral("lstDir"));
        list->addItem(QStringLiteral("/nonexistent-bench-dir/kept"));
        list->setCurrentRow(list->count() - 1);
        form.findChild<QAction*>(QStringLiteral("miProtectItem"))->trigger();
    }
    std::vector<TFileRecord> rows(static_cast<std::size_t>(groups) * 3);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        rows[k].Name = "file" + std::to_string(k) + ".bin";
        // Group g's first row in an even (protected) directory, the others odd.
        const std::size_t g = k / 3;
        rows[k].Directory = directories[protect ? (2 * g + (k % 3 ? 1 : 0)) % 1000 : 0];
        rows[k].Size = 1000 + k / 3;
        rows[k].ModifiedNs = static_cast<std::int64_t>((k * 7919) % 1000);
        rows[k].Group = static_cast<std::uint32_t>(k / 3 + 1);
    }
    const auto ruleStart = std::chrono::steady_clock::now();
    const std::size_t selected = DuplicateRows(rows, {}, TKeepRule::Newest, {}).size();
    const double ruleMs = Milliseconds(ruleStart);
    // The rule again, asking the protected folders about every row.
    const TProtectedFolders folders({"/nonexistent-bench-dir/kept"});
    TKeepFacts facts;
    facts.IsProtected = [&folders](const TFileRecord& row) { return folders.CoversRow(row); };
    const auto guardedStart = std::chrono::steady_clock::now();
    const std::size_t guardedSelected = DuplicateRows(rows, {}, TKeepRule::Newest, facts).size();
    const double guardedMs = Milliseconds(guardedStart);
    form.FileList()->SetRows(std::move(rows));
    form.findChild<QComboBox*>(QStringLiteral("cbKeepRule"))->setCurrentIndex(1);
    const auto start = std::chrono::steady_clock::now();
    form.findChild<QAction*>(QStringLiteral("miSelectDuplicates"))->trigger();
    const double commandMs = Milliseconds(start);
    std::printf("groups %d, rows selected %zu: command %.1f ms, rule alone %.1f ms; "
                "with protected folders %zu rows, %.1f ms\n",
                groups, selected, commandMs, ruleMs, guardedSelected, guardedMs);
    return 0;
}
