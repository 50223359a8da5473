// The directory list rules. Comparisons fold only A to Z (the overlap test is
// plain text containment, not a test on path components); only the restore
// rule folds case beyond ASCII, as the options store asks.
#include "DirectoryList.h"

#include "PathRules.h"

#include <QFile>
#include <QFileInfo>

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
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString OverlapMessage(const QString& text, const QString& entry)
{
    return text + kOverlapJoin + entry + kOverlapTail;
}

TDirectoryList::TDirectoryList(IDirectoryListBox& box, IUserMessages& messages)
    : FBox(box), FMessages(messages)
{
}

bool TDirectoryList::AddDirectory(const QString& text)
{
    // The existence check sees the text exactly as typed, blanks included.
    if (!IsExistingDirectory(text)) {
        FMessages.ShowError(kNotADirectoryMessage);
        return false;
    }
    const QString trimmed = TrimBlanks(text);
    const QString lower = AsciiLower(trimmed);
    for (int i = 0; i < FBox.Count(); ++i) {
        const QString entry = FBox.Entry(i);
        const QString entryLower = AsciiLower(entry);
        if (lower == entryLower) return false;
        if (entryLower.contains(lower) || lower.contains(entryLower)) {
            FMessages.ShowError(OverlapMessage(trimmed, entry));
            return false;
        }
    }
    FBox.Append(trimmed);
    return true;
}

void TDirectoryList::AddPendingDirectory(const QString& editText)
{
    if (!TrimBlanks(editText).isEmpty()) AddDirectory(editText);
}

bool TDirectoryList::RestoreDirectory(const QString& text)
{
    if (text.isEmpty() || !IsExistingDirectory(text)) return false;
    for (int i = 0; i < FBox.Count(); ++i) {
        if (QString::compare(FBox.Entry(i), text, Qt::CaseInsensitive) == 0) return false;
    }
    FBox.Append(text);
    return true;
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

QStringList TDirectoryList::Entries() const
{
    QStringList entries;
    entries.reserve(FBox.Count());
    for (int i = 0; i < FBox.Count(); ++i)
        entries.append(FBox.Entry(i));
    return entries;
}

} // namespace quorvane
