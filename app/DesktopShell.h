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
    // parameters as its one argument. Paths are passed as their exact
    // bytes. False when nothing could be started (no program, or one that
    // cannot be run); true for an empty file text, which does nothing.
    virtual bool ShellOpen(const std::string& file, const std::string& parameters) = 0;
};

// Addresses through QDesktopServices::openUrl; files through xdg-open and
// programs started directly, both with the path's own bytes as the
// argument (a name that is not UTF-8 reaches the program as it is). The
// started process is reaped by a thread of its own.
class TDesktopShell : public IShellOpen {
  public:
    bool ShellOpen(const std::string& file, const std::string& parameters) override;
};

// Starts program (looked up in PATH unless it holds a slash) with one
// argument, both as bytes; false when it could not be started.
bool StartProgram(const std::string& program, const std::string& argument);

// The file operations' question (Yes/No) and failure report as message
// boxes owned by the main window.
class TFileOpBoxes : public IFileOpPrompts {
  public:
    explicit TFileOpBoxes(QWidget* owner) : FOwner(owner) {}
    bool Confirm(const QString& question, bool defaultYes) override;
    void ReportFailures(const QStringList& lines) override;
    // The window the boxes belong to: the one the command came from, so
    // that it stays in front after the answer.
    QWidget* Owner() const { return FOwner; }
    void SetOwner(QWidget* owner) { FOwner = owner; }

  private:
    QWidget* FOwner;
};

// Gives the boxes another owner for one command.
class TPromptOwnerScope {
  public:
    TPromptOwnerScope(TFileOpBoxes& boxes, QWidget* owner) : FBoxes(boxes), FOld(boxes.Owner())
    {
        FBoxes.SetOwner(owner);
    }
    ~TPromptOwnerScope() { FBoxes.SetOwner(FOld); }
    TPromptOwnerScope(const TPromptOwnerScope&) = delete;
    TPromptOwnerScope& operator=(const TPromptOwnerScope&) = delete;

  private:
    TFileOpBoxes& FBoxes;
    QWidget* FOld;
};

// The text with every line longer than maxChars cut in the middle (its
// start and end kept, "…" between): a box naming a very long path then
// stays within the screen, its OK button reachable.
QString ElideLongLines(const QString& text, int maxChars = 120);

// The report's text: the lines one under another, at most maxLines of them
// and then how many more there were.
QString FailureReportText(const QStringList& lines, int maxLines = 20);

} // namespace quorvane
