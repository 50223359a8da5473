// Benchmark of "Select Duplicates" in the real main window (offscreen):
// G groups of three numbered rows (one size each), the "newest" rule, then
// the action; prints wall milliseconds of the whole command and of the rule
// alone (DuplicateRows over the rows).
//
//   quorvane_bench_select [--groups G]
#include "KeepRules.h"
#include "MainForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
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
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--groups") == 0) groups = std::atoi(argv[i + 1]);
    TfrmMain form;
    form.show();
    std::vector<TFileRecord> rows(static_cast<std::size_t>(groups) * 3);
    const auto directory = std::make_shared<const std::string>("/nonexistent-bench-dir");
    for (std::size_t k = 0; k < rows.size(); ++k) {
        rows[k].Name = "file" + std::to_string(k) + ".bin";
        rows[k].Directory = directory;
        rows[k].Size = 1000 + k / 3;
        rows[k].ModifiedNs = static_cast<std::int64_t>((k * 7919) % 1000);
        rows[k].Group = static_cast<std::uint32_t>(k / 3 + 1);
    }
    const auto ruleStart = std::chrono::steady_clock::now();
    const std::size_t selected = DuplicateRows(rows, {}, TKeepRule::Newest, {}).size();
    const double ruleMs = Milliseconds(ruleStart);
    form.FileList()->SetRows(std::move(rows));
    form.findChild<QComboBox*>(QStringLiteral("cbKeepRule"))->setCurrentIndex(1);
    const auto start = std::chrono::steady_clock::now();
    form.findChild<QAction*>(QStringLiteral("miSelectDuplicates"))->trigger();
    const double commandMs = Milliseconds(start);
    std::printf("groups %d, rows selected %zu: command %.1f ms, rule alone %.1f ms\n", groups, selected,
                commandMs, ruleMs);
    return 0;
}
