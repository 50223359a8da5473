// TfrmProgress: the small window shown while a scan or a duplicate check
// runs. The main window shows it (not modal), sets its bar (0 to 100) and
// hides it; its "Cancel" button and the Esc key ask the search to stop.
#pragma once

#include <QWidget>

class QProgressBar;
class QPushButton;

namespace Ui {
class frmProgress;
}

namespace quorvane {

// The caption of the button that stops a search (English; the interface
// language sets the Chinese one through SetCancelCaption).
inline constexpr const char* kCancelCaption = "Cancel";

class TfrmProgress : public QWidget {
    Q_OBJECT

  public:
    explicit TfrmProgress(QWidget* parent = nullptr);
    ~TfrmProgress() override;

    QProgressBar* Progress() const;
    QPushButton* CancelButton() const;
    void SetCancelCaption(const QString& caption);
    // Sets the bar; a visible window repaints it at once.
    void SetPosition(int percent);

  signals:
    // The user asked to stop the search (the button or Esc).
    void CancelClicked();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    Ui::frmProgress* FUi;
};

} // namespace quorvane
