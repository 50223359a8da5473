// What "Forget Not Duplicates..." asks: which of the remembered sets of
// files to forget. Behind an interface so that no test waits on a dialog.
#pragma once

#include <QStringList>
#include <cstddef>
#include <vector>

class QWidget;

namespace quorvane {

class IForgetNotDuplicatesPrompt {
  public:
    virtual ~IForgetNotDuplicatesPrompt() = default;
    // sets: each remembered set's paths as shown. The indexes of the sets to
    // forget, ascending; empty: none.
    virtual std::vector<std::size_t> Choose(const std::vector<QStringList>& sets) = 0;
};

// The dialog: one line per set, several may be chosen; "Forget Selected",
// "Forget All" or "Close".
class TForgetNotDuplicatesDialog : public IForgetNotDuplicatesPrompt {
  public:
    explicit TForgetNotDuplicatesDialog(QWidget* owner) : FOwner(owner) {}
    std::vector<std::size_t> Choose(const std::vector<QStringList>& sets) override;

  private:
    QWidget* FOwner;
};

} // namespace quorvane
