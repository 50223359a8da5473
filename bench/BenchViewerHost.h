// The viewer's host for the benchmarks: a list of rows and a focused row,
// and nothing a command could change (no deletion, no file commands).
#pragma once

#include "ViewerHost.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quorvane {

class TBenchViewerHost : public IViewerHost {
  public:
    const std::vector<TFileRecord>& ListRows() const override { return Rows; }
    std::ptrdiff_t ListFocusedRow() const override { return Focused; }
    void FocusListRow(std::ptrdiff_t row) override { Focused = row; }
    void DeselectListRows() override {}
    void ScrollToFocusedRow() override {}
    bool EditingRowName() const override { return false; }
    void RemoveListRow(std::ptrdiff_t) override {}
    bool FileCommandsAllowed() const override { return false; }
    void DeleteListedRow(std::ptrdiff_t, std::function<void(bool)>) override {}
    void ForgetPicture(const std::string&) override {}
    void SetIgnoreListChange(bool) override {}
    void ListChanged() override {}
    void CloseMainWindow() override {}
    bool ViewerFit() const override { return Fit; }

    std::vector<TFileRecord> Rows;
    std::ptrdiff_t Focused = 0;
    bool Fit = false;
};

} // namespace quorvane
