// TApplication: title, font substitutions and the exception net.
#include "Application.h"

#include "WindowRules.h"

#include <QFont>
#include <exception>

namespace quorvane {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(kApplicationTitle));
    setOrganizationName(QStringLiteral("Marrowfen"));
    InstallFontSubstitutions();
}

void TApplication::SetErrorReporter(std::function<void(const QString&)> reporter)
{
    FReporter = std::move(reporter);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        if (FReporter) FReporter(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        if (FReporter) FReporter(QStringLiteral("Unknown error"));
    }
    return false;
}

void InstallFontSubstitutions()
{
    // The first installed face of each list wins; the later ones are the
    // fall-backs of a machine without the metric-compatible fonts.
    const QStringList sans{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                           QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")};
    const QStringList serif{QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                            QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
    QFont::insertSubstitutions(QStringLiteral("Arial"), sans);
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"), serif);
    QFont::insertSubstitutions(QStringLiteral("新細明體"),
                               {QStringLiteral("AR PL UMing TW"), QStringLiteral("Droid Sans Fallback")});
    QFont::insertSubstitutions(QStringLiteral("標楷體"),
                               {QStringLiteral("AR PL UKai TW"), QStringLiteral("Droid Sans Fallback")});
}

} // namespace quorvane
