// The desktop services over Qt. A program is started directly with its one
// argument, so no character of a file name is ever read by a shell.
#include "DesktopShell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace quorvane {

void TDesktopShell::ShellOpen(const std::string& file, const std::string& parameters)
{
    if (file.empty()) return;
    const QString fileText = QFile::decodeName(QByteArray::fromStdString(file));
    if (!parameters.empty()) {
        QProcess::startDetached(fileText, {QFile::decodeName(QByteArray::fromStdString(parameters))});
        return;
    }
    // An address (the logo's web page) opens as it is; anything else is a
    // local file, opened with its desktop default.
    const QUrl url(fileText);
    const bool isAddress =
        !file.starts_with('/') && url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1;
    QDesktopServices::openUrl(isAddress ? url : QUrl::fromLocalFile(QFileInfo(fileText).absoluteFilePath()));
}

bool TFileOpBoxes::Confirm(const QString& question, bool defaultYes)
{
    QString title = QCoreApplication::applicationName();
    if (title.isEmpty()) title = QStringLiteral("Quorvane");
    const auto answer = QMessageBox::question(FOwner, title, question, QMessageBox::Yes | QMessageBox::No,
                                              defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return answer == QMessageBox::Yes;
}

void TFileOpBoxes::ReportFailures(const QStringList& lines)
{
    if (lines.isEmpty()) return;
    QMessageBox::warning(FOwner, QStringLiteral("Error"), FailureReportText(lines), QMessageBox::Ok);
}

QString FailureReportText(const QStringList& lines, int maxLines)
{
    if (lines.size() <= maxLines) return lines.join(u'\n');
    return lines.mid(0, maxLines).join(u'\n') +
           QStringLiteral("\n... (%1 more)").arg(lines.size() - maxLines);
}

} // namespace quorvane
