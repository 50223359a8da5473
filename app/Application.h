// TApplication: the program's QApplication. It installs the font
// substitutions the window designs rely on and is the last line of defence
// for exceptions: one that escapes an event handler is shown through the
// installed reporter instead of ending the program.
#pragma once

#include <QApplication>
#include <functional>

namespace quorvane {

class TApplication : public QApplication {
    Q_OBJECT

  public:
    TApplication(int& argc, char** argv);

    // Called with the message of an exception that escaped an event.
    void SetErrorReporter(std::function<void(const QString&)> reporter);

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    std::function<void(const QString&)> FReporter;
};

// Maps the Windows font names of the designs ("MS Sans Serif", "Arial",
// "Times New Roman", "新細明體", "標楷體") to faces installed here.
void InstallFontSubstitutions();

} // namespace quorvane
