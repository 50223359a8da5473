// The options store: the states of the option controls and the directory
// list, kept per user in QSettings("Marrowfen", "Quorvane") in the native
// format. Values are named after their controls and handled in table order;
// Booleans are written as the integers 1 and 0, the delay as text.
#pragma once

#include "DirectoryList.h"
#include "UserMessages.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>

namespace quorvane {

inline constexpr const char* kSettingsOrganization = "Marrowfen";
inline constexpr const char* kSettingsApplication = "Quorvane";
inline const QString kOptionsSavedMessage = QStringLiteral("恭禧您啦!您的設定值已經儲存");

enum class TOptionKind { Boolean, Text };

// One stored value: its name (the control's name), its kind and its default.
struct TOptionRow {
    const char* Name;
    TOptionKind Kind;
    bool DefaultChecked;     // Booleans
    const char* DefaultText; // texts
    // The control's objectName when it differs from the stored name.
    const char* Control = nullptr;
};

// Every option value in the order it is read and written.
inline constexpr TOptionRow kOptionTable[] = {
    {"ckName", TOptionKind::Boolean, false, nullptr},
    {"ckSize", TOptionKind::Boolean, true, nullptr},
    {"ckCC", TOptionKind::Boolean, false, nullptr},
    {"ckAllBytes", TOptionKind::Boolean, false, nullptr},
    {"ckTime", TOptionKind::Boolean, false, nullptr},
    {"ckInclude", TOptionKind::Boolean, true, nullptr},
    {"ckPreview", TOptionKind::Boolean, true, nullptr},
    {"ckShowSlides", TOptionKind::Boolean, true, nullptr},
    {"raDblClick", TOptionKind::Boolean, true, nullptr},
    {"raClick", TOptionKind::Boolean, false, nullptr},
    {"edTime", TOptionKind::Text, false, "200"},
    {"rbFullSize", TOptionKind::Boolean, false, nullptr},
    {"rbHalf", TOptionKind::Boolean, true, nullptr},
    {"rbQuarter", TOptionKind::Boolean, false, nullptr},
    {"rbEighth", TOptionKind::Boolean, false, nullptr},
    {"ckNoConfirm", TOptionKind::Boolean, false, nullptr},
    {"ckNoRecycle", TOptionKind::Boolean, false, nullptr},
    {"rbEnglish", TOptionKind::Boolean, true, nullptr},
    {"rbChinese", TOptionKind::Boolean, false, nullptr},
    // The programs of the two "Open With" entries; empty means the desktop's
    // default found on the machine. Newer than the rest: a store without
    // them loads as before.
    {"ViewerProgram", TOptionKind::Text, false, ""},
    {"EditorProgram", TOptionKind::Text, false, ""},
    // The similar-pictures search and the extra picture formats; newer still,
    // so an older store loads them at their defaults. "ckSimilar" comes after
    // the criteria it disables, so restoring it applies the disabling.
    {"ckSimilar", TOptionKind::Boolean, false, nullptr},
    {"Tolerance", TOptionKind::Text, false, "8", "edTolerance"},
    {"ckMoreFormats", TOptionKind::Boolean, false, nullptr},
    // The row "Select Duplicates" keeps in each group, as the index of the
    // "Keep in each group:" list (0, the first listed row, when missing).
    {"KeepRule", TOptionKind::Text, false, "0"},
    // Photographs drawn and hashed upright by their orientation tag; newer
    // than the rest, on when a store has no value.
    {"ckTurnUpright", TOptionKind::Boolean, true, nullptr},
    // The similar search's other ways, off unless chosen.
    {"ckTurns", TOptionKind::Boolean, false, nullptr},
    {"ckSamePixels", TOptionKind::Boolean, false, nullptr},
    // Also cropped copies; newer than the rest, off when a store has no value.
    {"ckCrops", TOptionKind::Boolean, false, nullptr},
    // Slides in colour; off: grey, as they always were.
    {"ckColourSlides", TOptionKind::Boolean, false, nullptr},
    // Symbolic links made in place of duplicates name the kept file's
    // absolute path; newest: an older store loads relative links.
    {"ckAbsoluteLinks", TOptionKind::Boolean, false, nullptr},
    // What searches leave out; newest, and empty (nothing left out) when a
    // store has no value.
    {"FilterMinSize", TOptionKind::Text, false, "", "edMinSize"},
    {"FilterMaxSize", TOptionKind::Text, false, "", "edMaxSize"},
    {"FilterExcludeNames", TOptionKind::Text, false, "", "edExcludeNames"},
    {"FilterExtensions", TOptionKind::Text, false, "", "edExtensions"},
    {"FilterExcludeFolders", TOptionKind::Text, false, "", "edExcludeFolders"},
    // The viewer shows pictures fitted to the screen; off: natural size.
    {"ckViewerFit", TOptionKind::Boolean, false, nullptr},
    // The list's added columns, shown from the header's menu; hidden when a
    // store has no value, so the list keeps its five columns.
    {"ckColumnGroup", TOptionKind::Boolean, false, nullptr},
    {"ckColumnCopies", TOptionKind::Boolean, false, nullptr},
    {"ckColumnDimensions", TOptionKind::Boolean, false, nullptr},
    // The memory the decoded pictures of the preview, the slides and the
    // viewer may keep, in MiB; newest, 256 when a store has no value.
    {"PictureCacheMiB", TOptionKind::Text, false, "256", "edPictureCache"},
};

inline constexpr const char* kDirCountName = "DirCount";
// Beside each "Dir<n>", "DirProtected<n>": true when that entry is protected.
// A store from before has none, and nothing is protected then.
QString DirProtectedValueName(int position);
inline constexpr int kDefaultDirCount = 1000;
// "Dir" followed by the 1-based position in decimal: Dir1, Dir2, ..., Dir10.
QString DirValueName(int position);

// A value of the store that cannot be read or written; what() is the
// message the program shows ("Invalid data type for 'ckName'").
class ESettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    QString Message() const { return QString::fromUtf8(what()); }
};

ESettingsError InvalidDataType(const QString& valueName);
ESettingsError FailedToSetData(const QString& valueName);

// The option controls as the store sees them, addressed by their names. The
// window implements the setters with the controls' own setters, so their
// reactions run as if the user had changed them.
class IOptionControls {
  public:
    virtual ~IOptionControls() = default;
    virtual bool IsChecked(const QString& name) const = 0;
    virtual void SetChecked(const QString& name, bool checked) = 0;
    virtual QString Text(const QString& name) const = 0;
    virtual void SetText(const QString& name, const QString& text) = 0;
    virtual void SetEnabled(const QString& name, bool enabled) = 0;
};

// The user's store: QSettings("Marrowfen", "Quorvane") in the native format.
std::unique_ptr<QSettings> OpenOptionsStore();

// Restores every option in table order (a missing value takes its default),
// enables "CC" and "All bytes" exactly when "Size" is checked, then restores the directories
// through TDirectoryList::RestoreDirectory. A value of the wrong type stops
// loading there with ESettingsError; what was set before it stays set.
void LoadOptions(QSettings& store, IOptionControls& controls, TDirectoryList& directories);

// Writes every option in table order, DirCount, Dir1..DirN and
// DirProtected1..DirProtectedN; values of an
// earlier, longer list stay. Shows the confirmation when the store was really
// written, else throws ESettingsError ("Failed to set data for '...'").
// A directory whose bytes are valid UTF-8 is written as plain text, as
// always; any other is written as a byte array, so no byte is lost. Loading
// accepts both.
void SaveOptions(QSettings& store, const IOptionControls& controls, const QList<QByteArray>& directories,
                 IUserMessages& messages);
// As above, with DirProtected<n> from protectedFlags (parallel to
// directories; a missing flag is false). The overloads without flags save
// every entry unprotected.
void SaveOptions(QSettings& store, const IOptionControls& controls, const QList<QByteArray>& directories,
                 const QList<bool>& protectedFlags, IUserMessages& messages);
void SaveOptions(QSettings& store, const IOptionControls& controls, const QStringList& directories,
                 IUserMessages& messages);

} // namespace quorvane
