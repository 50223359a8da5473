// TMessageBoxes over QMessageBox.
#include "AppMessages.h"

#include "DesktopShell.h"
#include "WindowRules.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace quorvane {

void TMessageBoxes::ShowError(const QString& text)
{
    QMessageBox::critical(FOwner, QStringLiteral("Error"), ElideLongLines(text), QMessageBox::Ok);
}

void TMessageBoxes::ShowInformation(const QString& text)
{
    QMessageBox::information(FOwner, QStringLiteral("Information"), ElideLongLines(text), QMessageBox::Ok);
}

void TMessageBoxes::ShowApplicationError(const QString& text)
{
    QString title = QCoreApplication::applicationName();
    if (title.isEmpty()) title = QString::fromLatin1(kApplicationTitle);
    QMessageBox::critical(FOwner, title, ElideLongLines(ApplicationErrorText(text)), QMessageBox::Ok);
}

} // namespace quorvane
