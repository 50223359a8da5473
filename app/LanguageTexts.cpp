// The text table of the two interface languages and the translators behind
// it. Invariant: while Chinese is chosen both translators (ours and Qt's
// qtbase) are installed, while English is chosen neither is.
#include "LanguageTexts.h"

#include "DirectoryList.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QTabWidget>
#include <QTranslator>
#include <QWidget>
#include <memory>

namespace quorvane {

namespace {

constexpr ETextKind C = ETextKind::Caption;
constexpr ETextKind H = ETextKind::Hint;
constexpr ETextKind T = ETextKind::TranslatedHint;

std::unique_ptr<QTranslator> FOwnTranslator;
std::unique_ptr<QTranslator> FQtTranslator;

// Sets a caption on the kinds of controls the table names.
void SetCaption(QObject* target, const QString& text)
{
    if (auto* action = qobject_cast<QAction*>(target)) {
        action->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(target)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(target)) {
        label->setText(text);
    } else if (auto* page = qobject_cast<QWidget*>(target)) {
        // An options page: its caption is its tab's text.
        auto* tabs =
            page->parentWidget() ? qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget()) : nullptr;
        if (tabs && tabs->indexOf(page) >= 0) tabs->setTabText(tabs->indexOf(page), text);
    }
}

void SetHint(QObject* target, const QString& text)
{
    if (auto* action = qobject_cast<QAction*>(target)) {
        action->setToolTip(text);
    } else if (auto* widget = qobject_cast<QWidget*>(target)) {
        widget->setToolTip(text);
    }
}

QString Translate(const char* context, const char* source, const char* object)
{
    return QCoreApplication::translate(context, source, object);
}

} // namespace

const TLanguageText kLanguageTexts[] = {
    {"frmMain", "Label2", C, "Input directories to find duplicates:"},
    {"frmMain", "btnAddDir", H, "Add Directory"},
    {"frmMain", "btnSubDir", H, "Delete Directory"},
    {"frmMain", "btnClearDir", H, "Delete All Directories"},
    {"frmMain", "Edit1", H, "Input a directory"},
    {"frmMain", "lstDir", H, "Directories list"},
    {"frmMain", "miAddItem", C, "Add"},
    {"frmMain", "miDelItems", C, "Delete"},
    {"frmMain", "miDelAllItems", C, "Delete All"},
    {"frmMain", "miProtectItem", C, "Protect"},
    {"frmMain", "Label4", H, "About"},
    {"frmMain", "lblVersion", C, "Version: 0.51"},
    {"frmMain", "lblDate", C, "Date: 4/23/1998"},
    {"frmMain", "Image1", H, "Connect to my web page"},
    {"frmMain", "btnFindDuplicates", C, "Find Duplicates"},
    {"frmMain", "btnFindDuplicates", H, "Find the duplicates in the directories"},
    {"frmMain", "btnFindAll", C, "List All"},
    {"frmMain", "btnFindAll", H, "List all files in the directories"},
    {"frmMain", "tbsOptions", C, "Options"},
    {"frmMain", "ckName", C, "Name"},
    {"frmMain", "ckName", H, "Compare names"},
    {"frmMain", "ckSize", C, "Size"},
    {"frmMain", "ckSize", H, "Compare size"},
    {"frmMain", "ckCC", C, "CC"},
    {"frmMain", "ckCC", H, "Compare contents(Slower)"},
    {"frmMain", "ckAllBytes", C, "All bytes"},
    {"frmMain", "ckAllBytes", H, "Compare whole contents"},
    {"frmMain", "ckTime", C, "Time"},
    {"frmMain", "ckTime", H, "Compare time"},
    {"frmMain", "ckInclude", C, "Include Subdirectories"},
    {"frmMain", "ckInclude", T, "Include subdirectories in the search"},
    {"frmMain", "ckPreview", C, "Preview"},
    {"frmMain", "ckPreview", T, "Preview pictures"},
    {"frmMain", "ckShowSlides", C, "Show Slides"},
    {"frmMain", "ckShowSlides", T, "Show the slides below"},
    {"frmMain", "raDblClick", C, "Double click to action"},
    {"frmMain", "raDblClick", T, "Double click to preview or show the slides"},
    {"frmMain", "raClick", C, "Single click to action"},
    {"frmMain", "raClick", T, "Single click to preview or show the slides"},
    {"frmMain", "Label5", C, "Delay time:                    mSeconds"},
    {"frmMain", "Label5", H, "Delay ?? milliseconds"},
    {"frmMain", "edTime", H, "Delay ?? milliseconds"},
    {"frmMain", "tbsMore", C, "More Options"},
    {"frmMain", "ckNoConfirm", C, "No confirmation"},
    {"frmMain", "ckNoConfirm", H, "File deletion"},
    {"frmMain", "ckNoRecycle", C, "Don't use recycle bin"},
    {"frmMain", "ckNoRecycle", H, "File deletion"},
    {"frmMain", "btnSaveOptions", C, "Save options"},
    {"frmMain", "btnSaveOptions", T, "Save the settings"},
    {"frmMain", "Image", H, "Double click to view in full size"},
    {"frmMain", "rbFullSize", H, "Image Scale"},
    {"frmMain", "rbHalf", H, "Image Scale"},
    {"frmMain", "rbQuarter", H, "Image Scale"},
    {"frmMain", "rbEighth", C, "1/8(Faster)"},
    {"frmMain", "rbEighth", H, "Image Scale"},
    {"frmMain", "miView", C, "View Image In Full Size"},
    {"frmMain", "AdvImage1", T, "Duplicate pictures (by the chosen criteria)"},
    {"frmMain", "AdvImage2", T, "Duplicate pictures (by the chosen criteria)"},
    {"frmMain", "AdvImage3", T, "Duplicate pictures (by the chosen criteria)"},
    {"frmMain", "AdvImage4", T, "Duplicate pictures (by the chosen criteria)"},
    {"frmMain", "AdvImage5", T, "Duplicate pictures (by the chosen criteria)"},
    {"frmMain", "miNextGroup", C, "Next Group [Ctrl+Down]"},
    {"frmMain", "miPriorGroup", C, "Prior Group [Ctrl+Up]"},
    {"frmMain", "miOpen", C, "Open"},
    {"frmMain", "miViewFull", C, "View Image In Full Size"},
    {"frmMain", "miPreview", C, "Preview"},
    {"frmMain", "miAcdsee", C, "Open With ACDSee"},
    {"frmMain", "miUltraEdit", C, "Open With UltraEdit"},
    {"frmMain", "miDelete", C, "Delete"},
    {"frmMain", "ckSimilar", C, "Similar pictures"},
    {"frmMain", "ckSimilar", H, "Find the same picture at another size or quality"},
    {"frmMain", "lblTolerance", C, "Tolerance:"},
    {"frmMain", "ckMoreFormats", C, "More picture formats"},
    {"frmMain", "ckMoreFormats", H, "PNG, WebP, TIFF, HEIC, AVIF, JPEG XL and camera RAW"},
    {"frmMain", "tbsPhotos", C, "Photos"},
    {"frmMain", "ckTurnUpright", C, "Turn photos upright"},
    {"frmMain", "ckTurnUpright", H, "Draw and compare photographs as their orientation tag says"},
    {"frmMain", "ckTurns", C, "Also turned or mirrored copies"},
    {"frmMain", "ckTurns", H, "Similar pictures: a copy turned by a quarter or half turn, or mirrored, also matches"},
    {"frmMain", "ckCrops", C, "Also cropped copies"},
    {"frmMain", "ckCrops", H, "Similar pictures: a copy cut down to the middle of the picture also matches"},
    {"frmMain", "ckSamePixels", C, "Same pixels"},
    {"frmMain", "ckSamePixels", H, "Similar pictures: only pictures whose decoded pixels are exactly equal"},
    {"frmMain", "ckColourSlides", C, "Colour slides"},
    {"frmMain", "lbPictureCache", C, "Memory for pictures (MiB):"},
    {"frmMain", "edPictureCache", H, "Decoded pictures kept for the preview, the slides and the viewer"},
    {"frmMain", "lbKeepRule", C, "Keep in each group:"},
    {"frmMain", "btnOpenWith", C, "Open With..."},
    {"frmMain", "miSelectDuplicates", C, "Select Duplicates [Ctrl+D]"},
    {"frmMain", "miInvertSelection", C, "Invert Selection"},
    {"frmMain", "miUndoDelete", C, "Undo Delete [Ctrl+Z]"},
    {"frmMain", "miCheckDisk", C, "Check the List Against the Disk [F5]"},
    {"frmMain", "miReplaceHardLink", C, "Replace with Hard Link"},
    {"frmMain", "miReplaceSymbolicLink", C, "Replace with Symbolic Link"},
    {"frmMain", "miReplaceClone", C, "Replace with Clone"},
    {"frmMain", "miMoveToFolder", C, "Move to Folder..."},
    {"frmMain", "miAbsoluteLinks", C, "Absolute Symbolic Links"},
    {"frmMain", "tbsFilters", C, "Filters"},
    {"frmMain", "lbMinSize", C, "Smallest file:"},
    {"frmMain", "edMinSize", H, "In bytes, or with K, M or G (1K = 1024 bytes); empty: no limit"},
    {"frmMain", "lbMaxSize", C, "Largest file:"},
    {"frmMain", "edMaxSize", H, "In bytes, or with K, M or G (1K = 1024 bytes); empty: no limit"},
    {"frmMain", "lbExcludeNames", C, "Leave out names:"},
    {"frmMain", "edExcludeNames", H, "Patterns separated by ; such as *.tmp; Thumbs.db; .DS_Store"},
    {"frmMain", "lbExtensions", C, "Only extensions:"},
    {"frmMain", "edExtensions", H, "Such as jpg, png, heic; empty: every file"},
    {"frmMain", "lbExcludeFolders", C, "Never enter folders:"},
    {"frmMain", "edExcludeFolders", H, "Folders separated by ; a link to one of them is left out too"},
    {"frmMain", "miRemoveFromList", C, "Remove from List"},
    {"frmMain", "miRemoveGroup", C, "Remove Group"},
    {"frmMain", "miOpenFolder", C, "Open Containing Folder"},
    {"frmMain", "miExport", C, "Export..."},
    {"frmMain", "miSaveResults", C, "Save Results..."},
    {"frmMain", "miOpenResults", C, "Open Results..."},
    {"frmMain", "miNotDuplicates", C, "Not Duplicates"},
    {"frmMain", "miForgetNotDuplicates", C, "Forget Not Duplicates..."},
    {"frmViewer", "miNextImage", C, "Next Image     [PageDown]"},
    {"frmViewer", "miPriorImage", C, "Prior Image     [PageUp]"},
    {"frmViewer", "miFirstImage", C, "First Image      [Home]"},
    {"frmViewer", "miLastImage", C, "Last Image      [End]"},
    {"frmViewer", "miDelete", C, "Delete             [Del]"},
    {"frmViewer", "miReplaceHardLink", C, "Replace with Hard Link"},
    {"frmViewer", "miReplaceSymbolicLink", C, "Replace with Symbolic Link"},
    {"frmViewer", "miReplaceClone", C, "Replace with Clone"},
    {"frmViewer", "miMoveToFolder", C, "Move to Folder..."},
    {"frmViewer", "miFitToScreen", C, "Fit to Screen     [F]"},
    {"frmViewer", "miClose", C, "Close"},
};
const int kLanguageTextCount = static_cast<int>(std::size(kLanguageTexts));

QString LanguageText(const TLanguageText& row)
{
    const QString text = Translate(row.Window, row.Source, row.Object);
    if (row.Kind == ETextKind::TranslatedHint && text == QString::fromUtf8(row.Source)) return {};
    return text;
}

bool ChineseInstalled()
{
    return FOwnTranslator != nullptr;
}

bool InstallInterfaceLanguage(bool chinese)
{
    if (chinese == ChineseInstalled()) return true;
    if (!chinese) {
        QCoreApplication::removeTranslator(FOwnTranslator.get());
        FOwnTranslator.reset();
        if (FQtTranslator) QCoreApplication::removeTranslator(FQtTranslator.get());
        FQtTranslator.reset();
        return true;
    }
    auto own = std::make_unique<QTranslator>();
    if (!own->load(QStringLiteral(":/i18n/quorvane_zh_TW.qm"))) return false;
    // Qt's own dialogs (the folder chooser's buttons); missing is harmless.
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QStringLiteral("qtbase_zh_TW"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        FQtTranslator = std::move(qt);
    }
    QCoreApplication::installTranslator(own.get());
    FOwnTranslator = std::move(own);
    return true;
}

void ApplyLanguageTexts(QWidget* mainWindow, QWidget* viewer)
{
    for (const TLanguageText& row : kLanguageTexts) {
        QWidget* window = qstrcmp(row.Window, "frmViewer") == 0 ? viewer : mainWindow;
        if (!window) continue;
        QObject* target = window->findChild<QObject*>(QString::fromLatin1(row.Object));
        if (!target) continue;
        if (row.Kind == ETextKind::Caption) {
            SetCaption(target, LanguageText(row));
        } else {
            SetHint(target, LanguageText(row));
        }
    }
}

void ApplyPickerTexts(TDirectoryPicker& picker)
{
    picker.FileName = QCoreApplication::translate("OpenDialog", "Any file name");
    picker.Filter = QCoreApplication::translate("OpenDialog", "No need to change.|.___");
    picker.Title = QCoreApplication::translate("OpenDialog", "You can input any file name");
}

QString FormFontFamily(bool chinese)
{
    return chinese ? QStringLiteral("新細明體") : QStringLiteral("MS Sans Serif");
}

int FormFontPointSize(bool chinese)
{
    return chinese ? 9 : 8;
}

QString AboutText()
{
    return QStringList{QStringLiteral("Quorvane Version 0.51"),
                       QStringLiteral("Date:4/23/1998"),
                       QString(),
                       QString(),
                       QString(),
                       QStringLiteral("Quorvane 開發小組 祝大家長命百歲"),
                       QStringLiteral("[quorvane@marrowfen.invalid]")}
        .join(QLatin1Char('\n'));
}

} // namespace quorvane
