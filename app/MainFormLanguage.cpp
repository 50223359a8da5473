// TfrmMain: the interface language (both windows), the About box and the
// logo link. The language in force is the one whose radio button is
// checked; SetLanguage changes texts and the form font, never a state.
#include "LanguageTexts.h"
#include "MainForm.h"
#include "OptionsStore.h"
#include "ProgressForm.h"
#include "UpDown.h"
#include "ViewImage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
}

void TfrmMain::ApplyInterfaceTexts()
{
    setWindowTitle(QStringLiteral("Quorvane"));
    ApplyLanguageTexts(this, FViewer);
    ApplySelectionTexts();
    if (FOpenDialog) ApplyPickerTexts(*FOpenDialog);
    if (FProgress)
        FProgress->SetCancelCaption(QCoreApplication::translate("frmProgress", "Cancel", "btnCancel"));
    PlaceDelayEdit();
    PlaceAddedOptions();
    ApplyColumnTexts();
}

// The options the program gained beside the original ones share the two
// pages with them. Their places depend on the width of the texts, so they
// are laid out again whenever the language (and with it the font) changes:
// the tolerance stands at the right end of the "Similar pictures" row, and
// on "More Options" the rows go: "No confirmation" with "All bytes",
// "Don't use recycle bin", the languages, the extra formats, the keep rule
// and the two buttons.
void TfrmMain::PlaceAddedOptions()
{
    const int right = Bevel4->x() + Bevel4->width();
    const int pageRight = pgOptions->width() - 4;
    auto fitted = [pageRight](QWidget* control, int x, int y, int height) {
        const int width = std::min(control->sizeHint().width(), pageRight - x);
        control->setGeometry(x, y, width, height);
        return x + width;
    };
    UpDownTolerance->setGeometry(pageRight - 12, 21, 12, 17);
    edTolerance->setGeometry(pageRight - 32, 21, 20, 17);
    const int labelWidth = lblTolerance->sizeHint().width();
    lblTolerance->setGeometry(edTolerance->x() - 1 - labelWidth, 21, labelWidth, 17);
    // A check box's width ends a few pixels after its text: those may go.
    ckSimilar->setGeometry(6, 21, std::min(ckSimilar->sizeHint().width(), lblTolerance->x() - 6), 17);

    // "All bytes" refines the contents check, and the Options page has no
    // room left for it beside the original criteria.
    fitted(ckAllBytes, std::max(104, fitted(ckNoConfirm, 6, 4, 17) + 6), 4, 17);
    ckNoRecycle->move(6, 21);
    Bevel6->move(Bevel6->x(), 40);
    rbEnglish->move(rbEnglish->x(), 44);
    rbChinese->move(rbChinese->x(), 44);
    ckMoreFormats->setGeometry(6, 63, right - 6, 17);
    const int keepLeft = fitted(lbKeepRule, 6, 83, 20) + 4;
    cbKeepRule->setGeometry(keepLeft, 82, pageRight - keepLeft, 21);
    const int buttonWidth = (right - 6 - 6) / 2;
    btnSaveOptions->setGeometry(6, 107, buttonWidth, 25);
    btnOpenWith->setGeometry(6 + buttonWidth + 6, 107, right - 12 - buttonWidth, 25);
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
