// The desktop services over Qt. A program is started directly with its one
// argument, so no character of a file name is ever read by a shell.
#include "DesktopShell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <cerrno>
#include <climits>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;
#include <QUrl>

namespace quorvane {

bool StartProgram(const std::string& program, const std::string& argument)
{
    std::string programCopy = program;
    std::string argumentCopy = argument;
    char* argv[] = {programCopy.data(), argumentCopy.data(), nullptr};
    pid_t child = 0;
    if (::posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    // The child runs on its own; this thread only collects its exit so that
    // no zombie is left.
    std::thread([child] {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

bool TDesktopShell::ShellOpen(const std::string& file, const std::string& parameters)
{
    if (file.empty()) return true;
    if (!parameters.empty()) return StartProgram(file, parameters);
    // An address (the logo's web page) opens as it is; anything else is a
    // local file, opened with its desktop default.
    const QString fileText = QFile::decodeName(QByteArray::fromStdString(file));
    const QUrl url(fileText);
    const bool isAddress =
        !file.starts_with('/') && url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1;
    if (isAddress) return QDesktopServices::openUrl(url);
    std::string absolute = file;
    if (!file.starts_with('/')) {
        // The working folder as the system spells it, bytes and all.
        char here[PATH_MAX];
        if (::getcwd(here, sizeof here) == nullptr) return false;
        absolute = std::string(here) + '/' + file;
    }
    return StartProgram("xdg-open", absolute);
}

bool TFileOpBoxes::Confirm(const QString& question, bool defaultYes)
{
    QString title = QCoreApplication::applicationName();
    if (title.isEmpty()) title = QStringLiteral("Quorvane");
    const auto answer = QMessageBox::question(FOwner, title, ElideLongLines(question), QMessageBox::Yes | QMessageBox::No,
                                              defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return answer == QMessageBox::Yes;
}

void TFileOpBoxes::ReportFailures(const QStringList& lines)
{
    if (lines.isEmpty()) return;
    QMessageBox::warning(FOwner, QStringLiteral("Error"), FailureReportText(lines), QMessageBox::Ok);
}

QString ElideLongLines(const QString& text, int maxChars)
{
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.size() <= maxChars) continue;
        const qsizetype head = (maxChars - 1) / 2;
        const qsizetype tail = maxChars - 1 - head;
        line = line.left(head) + QChar(0x2026) + line.right(tail);
    }
    return lines.join(u'\n');
}

QString FailureReportText(const QStringList& lines, int maxLines)
{
    if (lines.size() <= maxLines) return ElideLongLines(lines.join(u'\n'));
    return ElideLongLines(lines.mid(0, maxLines).join(u'\n')) +
           QStringLiteral("\n... (%1 more)").arg(lines.size() - maxLines);
}

} // namespace quorvane
