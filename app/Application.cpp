// TApplication: title, font substitutions and the exception net.
#include "Application.h"

#include "WindowRules.h"

#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
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
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"), serif);
    QFont::insertSubstitutions(QStringLiteral("新細明體"),
                               {QStringLiteral("AR PL UMing TW"), QStringLiteral("Droid Sans Fallback")});
    QFont::insertSubstitutions(QStringLiteral("標楷體"),
                               {QStringLiteral("AR PL UKai TW"), QStringLiteral("Droid Sans Fallback")});
    // Chinese text in a Latin face (a menu, a message box, "中文" on the
    // English page) falls back to the Ming face, as on a Chinese desktop,
    // rather than to whichever CJK face the system lists first.
    const QStringList ming{QStringLiteral("AR PL UMing TW"), QStringLiteral("Droid Sans Fallback")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans + ming);
    QFont::insertSubstitutions(QStringLiteral("Arial"), sans + ming);
    for (const QString& family : sans)
        QFont::insertSubstitutions(family, ming);
    // The default face is often a generic name ("Sans Serif"): the face it
    // stands for comes first, so Latin text keeps its look.
    const QString standard = QGuiApplication::font().family();
    const QString face = QFontInfo(QGuiApplication::font()).family();
    if (!sans.contains(standard))
        QFont::insertSubstitutions(standard, (face != standard ? QStringList{face} : QStringList{}) + ming);
}

} // namespace quorvane
