// The directory list of the main window: the rules by which directories are
// added, restored and removed. The list box itself stays a widget behind
// IDirectoryListBox, so every rule is tested without one. Entries are the
// directories' file-system bytes; texts are only for display. Invariant kept
// by AddDirectory: entries are trimmed, pairwise different directories
// (byte-exact on Linux, ASCII case folded with the Windows style) and none
// is an ancestor of another by whole path components.
#pragma once

#include "TFileRecord.h"
#include "UserMessages.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// The messages of the directory list (Chinese in both interface languages).
inline const QString kNotADirectoryMessage = QStringLiteral("您沒有輸入目錄, 不然就是目錄名稱輸入錯誤!");
inline const QString kOverlapJoin = QStringLiteral(" 和 ");
inline const QString kOverlapTail = QStringLiteral(" 是直系親屬, 不可同時存在!");
// The file name the picker proposes inside the directory of the edit.
inline const QString kAnyFileName = QStringLiteral("Any File Name");

// The text without the characters up to and including the space (blanks and
// control characters) at either end.
QString TrimBlanks(const QString& text);
// The text with only the letters A to Z folded to a to z.
QString AsciiLower(const QString& text);
// True when the path names an existing directory (the text as given).
bool IsExistingDirectory(const QString& path);
bool IsExistingDirectory(const QByteArray& path);
// The bytes of the existing directory a shown text names: the text encoded
// as a file name when that exists; otherwise, for a text holding replacement
// characters (a name that is not valid UTF-8, as QFile::decodeName shows
// it), the one directory whose components decode to the text's components.
// Nothing when there is no such directory or more than one.
std::optional<QByteArray> ResolveDirectoryText(const QString& text);
// The same directory: byte-exact on Linux, ASCII case folded with the
// Windows style.
bool SameDirectory(const QByteArray& a, const QByteArray& b, PathStyle style = kNativePathStyle);
// True when ancestor is b itself or a directory above it, comparing whole
// path components; one trailing separator does not count ("/photos/" and
// "/photos" are related, "/photos" and "/photos2" are not).
bool IsAncestorOrSelf(const QByteArray& ancestor, const QByteArray& path, PathStyle style = kNativePathStyle);
// The overlap message for a new text and the listed entry it collides with.
QString OverlapMessage(const QString& text, const QString& entry);

// The list box as the rules see it: ordered entries, a selection and a
// current entry. The window implements it over its QListWidget.
class IDirectoryListBox {
  public:
    virtual ~IDirectoryListBox() = default;
    virtual int Count() const = 0;
    // The shown text of an entry.
    virtual QString Entry(int index) const = 0;
    // The directory's bytes (by default the shown text encoded as a name).
    virtual QByteArray EntryBytes(int index) const;
    virtual bool IsSelected(int index) const = 0;
    virtual int CurrentIndex() const = 0; // -1 without a current entry
    virtual void Append(const QString& entry) = 0;
    // Appends a directory by its bytes (by default shown decoded).
    virtual void AppendBytes(const QByteArray& entry);
    virtual void Remove(int index) = 0;
    virtual void Clear() = 0;
    // The entry's protected flag; it stays with the entry until it is removed.
    virtual bool IsProtected(int index) const = 0;
    virtual void SetProtected(int index, bool isProtected) = 0;
};

// The directory picker: its texts are fields, so the interface language can
// set them; Execute runs the dialog. On acceptance FileName holds a file name
// inside the chosen directory, and it keeps that name until set again.
class TDirectoryPicker {
  public:
    virtual ~TDirectoryPicker() = default;
    QString Title;
    QString Filter; // "description|mask"
    QString FileName;
    QString InitialDir;
    QString DefaultExt = QStringLiteral("*.___");
    int FilterIndex = 0;
    // True when the user accepted a choice, false when cancelled.
    virtual bool Execute() = 0;
};

// The rules of the directory area over a list box and the message boxes.
class TDirectoryList {
  public:
    TDirectoryList(IDirectoryListBox& box, IUserMessages& messages, PathStyle style = kNativePathStyle);

    // Checks text and appends it trimmed; true when appended. Refusals show
    // their message, except for an entry already listed (silently skipped).
    // A text naming a directory that is not valid UTF-8 is resolved to its
    // bytes (ResolveDirectoryText).
    bool AddDirectory(const QString& text);
    bool AddDirectoryBytes(const QByteArray& bytes);
    // Offers the edit's text to AddDirectory unless it is blank.
    void AddPendingDirectory(const QString& editText);
    // The restore rule of the options store: appends text as it is when it is
    // not empty, names an existing directory and is not yet listed (case
    // folded beyond A to Z with the Windows style, byte-exact on Linux); no
    // trimming, no overlap test, no message. The restored entry takes the
    // protected flag given.
    bool RestoreDirectory(const QString& text, bool isProtected = false);
    bool RestoreDirectoryBytes(const QByteArray& bytes, bool isProtected = false);
    // The restore rule for many entries in order, in time linear in the
    // entries and the list (a set of the listed keys, built once). Returns
    // how many were appended.
    struct TRestored {
        QByteArray Bytes;
        bool Protected = false;
    };
    std::size_t RestoreDirectories(const std::vector<TRestored>& entries);
    // The "+" steps: proposes a file name inside the edit's directory, runs
    // the picker and adds the chosen directory. Returns the text to put into
    // the edit, or nothing when the edit stays as it is.
    std::optional<QString> AddPickedDirectory(TDirectoryPicker& picker, const QString& editText);
    // Removes the selected entries, from the last to the first.
    void RemoveSelected();
    void RemoveAll();
    // The current entry's text (copied into the edit on a click), if any.
    std::optional<QString> CurrentEntry() const;
    // True when at least one entry is selected ("Delete" is enabled then).
    bool HasSelection() const;
    QStringList Entries() const;
    QList<QByteArray> EntryBytes() const;
    // The protected flag of every entry in list order, and the protected
    // entries' bytes.
    QList<bool> ProtectedFlags() const;
    std::vector<std::string> ProtectedEntries() const;
    // "Protect" on the current entry: flips its flag; false without one.
    bool ToggleCurrentProtected();
    // The current entry's flag (false without a current entry).
    bool CurrentIsProtected() const;

  private:
    IDirectoryListBox& FBox;
    IUserMessages& FMessages;
    PathStyle FStyle;
};

} // namespace quorvane
