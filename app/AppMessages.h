// TMessageBoxes: the real IUserMessages of the main window, one modal
// QMessageBox with an OK button per message. Titles: "Error" for refusals,
// "Information" for confirmations, the application title for errors that
// escaped an event (with a full stop added when the text lacks one).
#pragma once

#include "UserMessages.h"

class QWidget;

namespace quorvane {

class TMessageBoxes : public IUserMessages {
  public:
    explicit TMessageBoxes(QWidget* owner) : FOwner(owner) {}

    void ShowError(const QString& text) override;
    void ShowInformation(const QString& text) override;
    void ShowApplicationError(const QString& text) override;

  private:
    QWidget* FOwner;
};

} // namespace quorvane
