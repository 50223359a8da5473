// Benchmark of the read-back after a deletion in the real main window
// (offscreen): N rows in the list, every other one selected and "deleted"
// by a fake service (so the disk is not touched), then DeleteSelectedFiles
// reads the disk back (lstat per selected row) and removes the gone rows.
// Prints wall seconds of the whole command and of the removal alone.
//
//   quorvane_bench_delete [--rows N]
#include "MainForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QItemSelection>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace quorvane;

namespace {

// Deletes nothing: the rows name files that never existed, so the read-back
// finds every selected file gone.
class TNoOpService : public IFileOperations {
  public:
    void DeleteFiles(const std::vector<TDeleteItem>&, unsigned) override {}
    bool RenameFile(const std::string&, const std::string&, unsigned) override { return false; }
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
    int count = 1000000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rows") == 0) count = std::atoi(argv[i + 1]);
    TfrmMain form;
    TNoOpService service;
    form.SetFileOperations(&service);
    form.findChild<QCheckBox*>(QStringLiteral("ckNoConfirm"))->setChecked(true);
    form.findChild<QCheckBox*>(QStringLiteral("ckSize"))->setChecked(true);
    form.show();
    std::vector<TFileRecord> rows(static_cast<std::size_t>(count));
    const auto directory = std::make_shared<const std::string>("/nonexistent-bench-dir");
    for (int k = 0; k < count; ++k) {
        rows[static_cast<std::size_t>(k)].Name = "file" + std::to_string(k) + ".jpg";
        rows[static_cast<std::size_t>(k)].Directory = directory;
        rows[static_cast<std::size_t>(k)].Size = static_cast<std::uint64_t>(k / 2); // groups of two
    }
    form.FileList()->SetRows(std::move(rows));
    auto* list = form.findChild<QTreeView*>(QStringLiteral("lvFiles"));
    QItemSelection selection;
    for (int k = 0; k < count; k += 2)
        selection.select(form.FileList()->index(k, 0), form.FileList()->index(k, 4));
    list->selectionModel()->select(selection, QItemSelectionModel::Select);
    app.processEvents();
    const auto start = std::chrono::steady_clock::now();
    form.DeleteSelectedFiles();
    const double total = Seconds(start);
    app.processEvents();
    std::printf("rows %d, selected %d (every other one): DeleteSelectedFiles %.2f s, %d rows left\n", count,
                (count + 1) / 2, total, form.FileList()->rowCount());
    return 0;
}
