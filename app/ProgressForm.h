// TfrmProgress: the small window shown while a scan or a duplicate check
// runs. It has no behaviour of its own: the main window shows it (not
// modal), sets its bar (0 to 100) and hides it.
#pragma once

#include <QWidget>

class QProgressBar;

namespace Ui {
class frmProgress;
}

namespace quorvane {

class TfrmProgress : public QWidget {
    Q_OBJECT

  public:
    explicit TfrmProgress(QWidget* parent = nullptr);
    ~TfrmProgress() override;

    QProgressBar* Progress() const;
    // Sets the bar and paints it at once: no event loop runs during a search.
    void SetPosition(int percent);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    Ui::frmProgress* FUi;
};

} // namespace quorvane
