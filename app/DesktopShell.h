// The desktop services the file commands use, behind small interfaces the
// tests replace: opening a document or starting a program (IShellOpen), and
// the file operations' questions and reports (message boxes). Nothing here
// ever runs a shell command line.
#pragma once

#include "FileOperations.h"

#include <string>

class QWidget;

namespace quorvane {

class IShellOpen {
  public:
    virtual ~IShellOpen() = default;
    // Empty parameters: open the file (or address) with the desktop's
    // default application. Otherwise start the program file with the
    // parameters as its one argument. Nothing for an empty file text; the
    // outcome is not reported.
    virtual void ShellOpen(const std::string& file, const std::string& parameters) = 0;
};

// QDesktopServices::openUrl for documents and addresses,
// QProcess::startDetached(program, {argument}) for programs.
class TDesktopShell : public IShellOpen {
  public:
    void ShellOpen(const std::string& file, const std::string& parameters) override;
};

// The file operations' question (Yes/No) and failure report as message
// boxes owned by the main window.
class TFileOpBoxes : public IFileOpPrompts {
  public:
    explicit TFileOpBoxes(QWidget* owner) : FOwner(owner) {}
    bool Confirm(const QString& question, bool defaultYes) override;
    void ReportFailures(const QStringList& lines) override;

  private:
    QWidget* FOwner;
};

// The report's text: the lines one under another, at most maxLines of them
// and then how many more there were.
QString FailureReportText(const QStringList& lines, int maxLines = 20);

} // namespace quorvane
