// The directory list rules over the directories' bytes. Equality is
// byte-exact on Linux and folds A to Z with the Windows style; the overlap
// test compares whole path components; only the restore rule with the
// Windows style folds case beyond ASCII, as the options store asks.
#include "DirectoryList.h"

#include "PathRules.h"

#include <QFile>
#include <QSet>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace quorvane {

namespace {

// Path texts go to the search core's path rules as the file system's bytes.
std::string PathBytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString PathText(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

} // namespace

QString TrimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

QString AsciiLower(const QString& text)
{
    QString folded = text;
    for (QChar& c : folded) {
        if (c.unicode() >= u'A' && c.unicode() <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return folded;
}

bool IsExistingDirectory(const QString& path)
{
    return !path.isEmpty() && IsExistingDirectory(QFile::encodeName(path));
}

bool IsExistingDirectory(const QByteArray& path)
{
    struct stat info {};
    return !path.isEmpty() && ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

namespace {

// The one entry of directory whose name decodes to component, if exactly one.
std::optional<QByteArray> ResolveComponent(const QByteArray& directory, const QString& component)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(
        ::opendir(directory.isEmpty() ? "." : directory.constData()), &::closedir);
    if (!dir) return std::nullopt;
    std::optional<QByteArray> found;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        if (QFile::decodeName(name) != component) continue;
        if (found) return std::nullopt; // ambiguous: refuse rather than guess
        found = name;
    }
    return found;
}

} // namespace

std::optional<QByteArray> ResolveDirectoryText(const QString& text)
{
    const QByteArray encoded = QFile::encodeName(text);
    if (IsExistingDirectory(encoded)) return encoded;
    if (!text.contains(QChar::ReplacementCharacter)) return std::nullopt;
    const QStringList components = text.split(QLatin1Char('/'));
    QByteArray path;
    for (qsizetype i = 0; i < components.size(); ++i) {
        if (i > 0) path += '/';
        const QString& component = components.at(i);
        if (!component.contains(QChar::ReplacementCharacter)) {
            path += QFile::encodeName(component);
            continue;
        }
        const std::optional<QByteArray> name = ResolveComponent(path, component);
        if (!name) return std::nullopt;
        path += *name;
    }
    if (!IsExistingDirectory(path)) return std::nullopt;
    return path;
}

namespace {

QByteArray TrimBlankBytes(const QByteArray& bytes)
{
    qsizetype first = 0;
    qsizetype last = bytes.size();
    while (first < last && static_cast<unsigned char>(bytes.at(first)) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(bytes.at(last - 1)) <= ' ')
        --last;
    return bytes.mid(first, last - first);
}

bool IsSeparator(char c, PathStyle style)
{
    return c == '/' || (style == PathStyle::Windows && c == '\\');
}

// The path without its trailing separators, a root keeping one.
QByteArray WithoutTrailingSeparators(QByteArray path, PathStyle style)
{
    while (path.size() > 1 && IsSeparator(path.back(), style) &&
           !(style == PathStyle::Windows && path.size() == 3 && path.at(1) == ':'))
        path.chop(1);
    return path;
}

bool SameText(const QByteArray& a, const QByteArray& b, PathStyle style)
{
    if (style == PathStyle::Posix) return a == b;
    return a.size() == b.size() && AsciiLower(QString::fromLatin1(a)) == AsciiLower(QString::fromLatin1(b));
}

} // namespace

bool SameDirectory(const QByteArray& a, const QByteArray& b, PathStyle style)
{
    return SameText(a, b, style);
}

bool IsAncestorOrSelf(const QByteArray& ancestor, const QByteArray& path, PathStyle style)
{
    const QByteArray a = WithoutTrailingSeparators(ancestor, style);
    const QByteArray p = WithoutTrailingSeparators(path, style);
    if (a.isEmpty() || p.size() < a.size()) return false;
    if (!SameText(p.left(a.size()), a, style)) return false;
    // The match must end at a component boundary of path.
    return p.size() == a.size() || IsSeparator(a.back(), style) || IsSeparator(p.at(a.size()), style);
}

QByteArray IDirectoryListBox::EntryBytes(int index) const
{
    return QFile::encodeName(Entry(index));
}

void IDirectoryListBox::AppendBytes(const QByteArray& entry)
{
    Append(QFile::decodeName(entry));
}

QString OverlapMessage(const QString& text, const QString& entry)
{
    return text + kOverlapJoin + entry + kOverlapTail;
}

TDirectoryList::TDirectoryList(IDirectoryListBox& box, IUserMessages& messages, PathStyle style)
    : FBox(box), FMessages(messages), FStyle(style)
{
}

bool TDirectoryList::AddDirectory(const QString& text)
{
    // The existence check sees the text exactly as typed, blanks included.
    const std::optional<QByteArray> bytes = ResolveDirectoryText(text);
    if (!bytes) {
        FMessages.ShowError(kNotADirectoryMessage);
        return false;
    }
    return AddDirectoryBytes(*bytes);
}

bool TDirectoryList::AddDirectoryBytes(const QByteArray& bytes)
{
    if (!IsExistingDirectory(bytes)) {
        FMessages.ShowError(kNotADirectoryMessage);
        return false;
    }
    // Blanks are single bytes below 0x21 in UTF-8 too, so trimming the bytes
    // trims the text.
    const QByteArray trimmed = TrimBlankBytes(bytes);
    for (int i = 0; i < FBox.Count(); ++i) {
        const QByteArray entry = FBox.EntryBytes(i);
        if (SameDirectory(trimmed, entry, FStyle)) return false;
        if (IsAncestorOrSelf(trimmed, entry, FStyle) || IsAncestorOrSelf(entry, trimmed, FStyle)) {
            FMessages.ShowError(OverlapMessage(QFile::decodeName(trimmed), FBox.Entry(i)));
            return false;
        }
    }
    FBox.AppendBytes(trimmed);
    return true;
}

void TDirectoryList::AddPendingDirectory(const QString& editText)
{
    if (!TrimBlanks(editText).isEmpty()) AddDirectory(editText);
}

bool TDirectoryList::RestoreDirectory(const QString& text, bool isProtected)
{
    return RestoreDirectoryBytes(QFile::encodeName(text), isProtected);
}

bool TDirectoryList::RestoreDirectoryBytes(const QByteArray& bytes, bool isProtected)
{
    return RestoreDirectories({TRestored{bytes, isProtected}}) == 1;
}

std::size_t TDirectoryList::RestoreDirectories(const std::vector<TRestored>& entries)
{
    // What "already listed" compares: the bytes on Linux, the shown text
    // folded (beyond ASCII, as the store asks) with the Windows style.
    const auto keyOf = [this](const QByteArray& bytes, const QString& text) {
        return FStyle == PathStyle::Posix ? bytes : text.toCaseFolded().toUtf8();
    };
    QSet<QByteArray> listed;
    listed.reserve(FBox.Count() + static_cast<qsizetype>(entries.size()));
    for (int i = 0; i < FBox.Count(); ++i)
        listed.insert(keyOf(FBox.EntryBytes(i), FBox.Entry(i)));
    std::size_t appended = 0;
    for (const TRestored& entry : entries) {
        if (entry.Bytes.isEmpty() || !IsExistingDirectory(entry.Bytes)) continue;
        const QByteArray key = keyOf(entry.Bytes, QFile::decodeName(entry.Bytes));
        if (listed.contains(key)) continue;
        listed.insert(key);
        FBox.AppendBytes(entry.Bytes);
        if (entry.Protected) FBox.SetProtected(FBox.Count() - 1, true);
        ++appended;
    }
    return appended;
}

std::optional<QString> TDirectoryList::AddPickedDirectory(TDirectoryPicker& picker, const QString& editText)
{
    if (!editText.isEmpty()) {
        if (IsExistingDirectory(editText)) picker.InitialDir = editText;
        picker.FileName = PathText(JoinPath(PathBytes(editText), PathBytes(kAnyFileName)));
    }
    if (!picker.Execute()) return std::nullopt;
    const QString directory = PathText(DirectoryPart(PathBytes(picker.FileName)));
    if (!AddDirectory(directory)) return std::nullopt;
    return directory;
}

void TDirectoryList::RemoveSelected()
{
    // From the last to the first, so a removal never shifts an index still
    // to be visited.
    for (int i = FBox.Count() - 1; i >= 0; --i) {
        if (FBox.IsSelected(i)) FBox.Remove(i);
    }
}

void TDirectoryList::RemoveAll()
{
    FBox.Clear();
}

std::optional<QString> TDirectoryList::CurrentEntry() const
{
    const int current = FBox.CurrentIndex();
    if (current < 0 || current >= FBox.Count()) return std::nullopt;
    return FBox.Entry(current);
}

bool TDirectoryList::HasSelection() const
{
    for (int i = 0; i < FBox.Count(); ++i) {
        if (FBox.IsSelected(i)) return true;
    }
    return false;
}

QList<QByteArray> TDirectoryList::EntryBytes() const
{
    QList<QByteArray> entries;
    entries.reserve(FBox.Count());
    for (int i = 0; i < FBox.Count(); ++i)
        entries.append(FBox.EntryBytes(i));
    return entries;
}

QList<bool> TDirectoryList::ProtectedFlags() const
{
    QList<bool> flags;
    flags.reserve(FBox.Count());
    for (int i = 0; i < FBox.Count(); ++i)
        flags.append(FBox.IsProtected(i));
    return flags;
}

std::vector<std::string> TDirectoryList::ProtectedEntries() const
{
    std::vector<std::string> entries;
    for (int i = 0; i < FBox.Count(); ++i)
        if (FBox.IsProtected(i)) entries.push_back(FBox.EntryBytes(i).toStdString());
    return entries;
}

bool TDirectoryList::ToggleCurrentProtected()
{
    const int current = FBox.CurrentIndex();
    if (current < 0 || current >= FBox.Count()) return false;
    FBox.SetProtected(current, !FBox.IsProtected(current));
    return true;
}

bool TDirectoryList::CurrentIsProtected() const
{
    const int current = FBox.CurrentIndex();
    return current >= 0 && current < FBox.Count() && FBox.IsProtected(current);
}

QStringList TDirectoryList::Entries() const
{
    QStringList entries;
    entries.reserve(FBox.Count());
    for (int i = 0; i < FBox.Count(); ++i)
        entries.append(FBox.Entry(i));
    return entries;
}

} // namespace quorvane
