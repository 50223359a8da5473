// TfrmMain: the interface language (both windows), the About box and the
// logo link. The language in force is the one whose radio button is
// checked; SetLanguage changes texts and the form font, never a state.
#include "LanguageTexts.h"
#include "MainForm.h"
#include "OptionsStore.h"
#include "ProgressForm.h"
#include "ViewImage.h"

#include <QEvent>
#include <QSettings>
#include <QUrl>

namespace quorvane {

namespace {

// The value of the options store that holds the logo's web page address.
constexpr const char* kHomePageName = "HomePage";

} // namespace

void TfrmMain::setupLanguage()
{
    connect(rbEnglish, &QAbstractButton::clicked, this, &TfrmMain::ChangeLangClick);
    connect(rbChinese, &QAbstractButton::clicked, this, &TfrmMain::ChangeLangClick);
    // Restoring rbChinese from the options store checks it without a click.
    connect(rbChinese, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked) ChangeLangClick();
    });
}

void TfrmMain::ChangeLangClick()
{
    SetLanguage(rbEnglish->isChecked() ? 1 : 2);
}

void TfrmMain::SetLanguage(int code)
{
    const bool chinese = code != 1;
    // Our translation is compiled in; should it fail to load, the interface
    // stays English rather than showing a mixture.
    const bool installed = InstallInterfaceLanguage(chinese);
    QFont font = this->font();
    font.setFamily(FormFontFamily(chinese && installed));
    font.setPointSize(FormFontPointSize(chinese && installed));
    setFont(font);
    ApplyInterfaceTexts();
    SetFileCommandsLanguage(chinese);
    SetSimilarLanguage(chinese);
    SetSelectionLanguage(chinese);
}

void TfrmMain::ApplyInterfaceTexts()
{
    setWindowTitle(QStringLiteral("Quorvane"));
    ApplyLanguageTexts(this, FViewer);
    if (FOpenDialog) ApplyPickerTexts(*FOpenDialog);
    if (FProgress)
        FProgress->SetCancelCaption(QCoreApplication::translate("frmProgress", "Cancel", "btnCancel"));
    PlaceDelayEdit();
}

void TfrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Translators installed or removed by another part of the program.
    if (event->type() == QEvent::LanguageChange) ApplyInterfaceTexts();
}

void TfrmMain::Label4Click()
{
    FMessages->ShowInformation(AboutText());
}

void TfrmMain::Image1Click()
{
    const QString address =
        OpenOptionsStore()->value(QString::fromLatin1(kHomePageName)).toString().trimmed();
    // Only a web address opens: the value is typed into the store by hand,
    // and the link must not start a program or open a local file.
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (address.isEmpty() || !url.isValid() || (scheme != u"http" && scheme != u"https") ||
        url.host().isEmpty())
        return;
    ShellOpen(address.toStdString(), std::string());
}

} // namespace quorvane
