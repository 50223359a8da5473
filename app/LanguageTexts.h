// The two interface languages: the texts each control of the main window and
// the viewer takes, the translators of the Chinese interface, and the About
// box. English texts are the source strings; Chinese ones come from the
// compiled zh_TW translation, so the table holds every text exactly once.
#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

namespace quorvane {

class TDirectoryPicker;

enum class ETextKind {
    Caption, // the control's caption (text, title or menu entry)
    Hint,    // the control's hint, shown in both languages
    // A hint the English interface leaves empty: the source string only
    // names it; the text is the translation, and no translation means none.
    TranslatedHint,
};

struct TLanguageText {
    const char* Window; // translation context: "frmMain" or "frmViewer"
    const char* Object; // the control's objectName
    ETextKind Kind;
    const char* Source;
};

// Every switched text of the two windows, in the order they are applied.
// Adding a control to both languages is one row here and one message in
// app/i18n/quorvane_zh_TW.ts (context = Window, comment = Object).
extern const TLanguageText kLanguageTexts[];
extern const int kLanguageTextCount;

// The text of a row in the installed language.
QString LanguageText(const TLanguageText& row);

// Installs the translators of the Chinese interface (ours and Qt's own, for
// its dialogs), or removes them for English. Sends LanguageChange to every
// window when the set of translators changes. Returns false when our own
// translation could not be loaded (the interface then stays English).
bool InstallInterfaceLanguage(bool chinese);
bool ChineseInstalled();

// Sets every row of the table on the controls found under mainWindow
// (Window "frmMain") and viewer (Window "frmViewer"; may be null).
void ApplyLanguageTexts(QWidget* mainWindow, QWidget* viewer);

// The three texts of the directory picker in the installed language.
void ApplyPickerTexts(TDirectoryPicker& picker);

// The form font of the language: "MS Sans Serif" 8 pt or "新細明體" 9 pt.
QString FormFontFamily(bool chinese);
int FormFontPointSize(bool chinese);

// The About box: seven lines joined by line feeds, the same in both
// languages.
QString AboutText();

} // namespace quorvane
