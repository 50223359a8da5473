// IUserMessages: every modal message box of the program goes through this
// interface. The main window owns the real one (QMessageBox); tests install
// a recording fake, so no test ever waits on a modal box.
#pragma once

#include <QString>

namespace quorvane {

class IUserMessages {
public:
    virtual ~IUserMessages() = default;

    // A refusal of the user's request: title "Error", one OK button.
    virtual void ShowError(const QString& text) = 0;
    // A confirmation: title "Information", one OK button.
    virtual void ShowInformation(const QString& text) = 0;
    // An error that escaped an event: titled with the application title,
    // with a full stop added when the message does not end in one.
    virtual void ShowApplicationError(const QString& text) = 0;
};

}  // namespace quorvane
