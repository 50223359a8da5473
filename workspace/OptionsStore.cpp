// Reading and writing the options store. On Linux the store is a text file,
// so a value's "type" is what it reads as: a Boolean or DirCount must read as
// a 32-bit integer, a text must be plain text (not a list or a typed
// @Variant). QSettings writes the file atomically; nothing here writes files.
#include "OptionsStore.h"

#include <QFile>
#include <QVariant>
#include <algorithm>
#include <climits>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane {

namespace {

QString NameOf(const TOptionRow& row)
{
    return QString::fromLatin1(row.Name);
}

// The integer a stored value holds, or nothing when it is of another type.
// value(k, default).toInt() would turn a malformed value into 0 silently.
std::optional<int> ReadInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        break;
    default:
        return std::nullopt;
    }
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < INT_MIN || number > INT_MAX) return std::nullopt;
    return static_cast<int>(number);
}

std::optional<QString> ReadText(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    return value.toString();
}

QString ControlOf(const TOptionRow& row)
{
    return QString::fromLatin1(row.Control ? row.Control : row.Name);
}

void LoadRow(QSettings& store, const TOptionRow& row, IOptionControls& controls)
{
    const QString name = NameOf(row);
    const QString control = ControlOf(row);
    const bool present = store.contains(name);
    const QVariant value = present ? store.value(name) : QVariant();
    if (row.Kind == TOptionKind::Boolean) {
        bool checked = row.DefaultChecked;
        if (present) {
            const std::optional<int> number = ReadInteger(value);
            if (!number) throw InvalidDataType(name);
            checked = *number != 0;
        }
        controls.SetChecked(control, checked);
    } else {
        QString text = QString::fromLatin1(row.DefaultText);
        if (present) {
            const std::optional<QString> stored = ReadText(value);
            if (!stored) throw InvalidDataType(name);
            text = *stored;
        }
        controls.SetText(control, text);
    }
}

// The position n of a value named "Dir<n>" (decimal, no leading zeros), or 0.
int DirPosition(const QString& key)
{
    if (!key.startsWith(QLatin1String("Dir"))) return 0;
    const QString digits = key.mid(3);
    if (digits.isEmpty() || digits.size() > 10 || digits.front() == u'0') return 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') return 0;
    }
    const qlonglong position = digits.toLongLong();
    return position > INT_MAX ? 0 : static_cast<int>(position);
}

// The stored "Dir" values with positions 1..count, in position order. Only
// existing values are visited, so a huge DirCount costs nothing; a missing
// position would give an empty text, which is skipped anyway.
std::vector<std::pair<int, QString>> StoredDirValues(const QSettings& store, int count)
{
    std::vector<std::pair<int, QString>> found;
    const QStringList keys = store.childKeys();
    for (const QString& key : keys) {
        const int position = DirPosition(key);
        if (position >= 1 && position <= count) found.emplace_back(position, key);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// DirProtected<position>: false when missing (a store from before); "true"
// and "false" as written, or an integer (not 0 for true) as a hand-edited or
// registry store may hold. Anything else is a value of the wrong type.
bool ReadDirProtected(const QSettings& store, int position)
{
    const QString name = DirProtectedValueName(position);
    if (!store.contains(name)) return false;
    const QVariant value = store.value(name);
    if (value.typeId() == QMetaType::Bool) return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        if (text == u"true") return true;
        if (text == u"false") return false;
    }
    const std::optional<int> number = ReadInteger(value);
    if (!number) throw InvalidDataType(name);
    return *number != 0;
}

void LoadDirectories(QSettings& store, TDirectoryList& directories)
{
    const QString countName = QString::fromLatin1(kDirCountName);
    int count = kDefaultDirCount;
    if (store.contains(countName)) {
        const std::optional<int> stored = ReadInteger(store.value(countName));
        if (!stored) throw InvalidDataType(countName);
        count = *stored;
    }
    // Restored together, so that a long list costs time in proportion to its
    // length; a value of the wrong type still stops the restore there, after
    // the entries before it.
    std::vector<TDirectoryList::TRestored> entries;
    for (const auto& [position, name] : StoredDirValues(store, count)) {
        const QVariant value = store.value(name);
        bool isProtected = false;
        std::optional<QString> text;
        try {
            isProtected = ReadDirProtected(store, position);
            if (value.typeId() != QMetaType::QByteArray) text = ReadText(value);
        } catch (...) {
            directories.RestoreDirectories(entries);
            throw;
        }
        if (value.typeId() == QMetaType::QByteArray) {
            entries.push_back({value.toByteArray(), isProtected});
            continue;
        }
        if (!text) {
            directories.RestoreDirectories(entries);
            throw InvalidDataType(name);
        }
        entries.push_back({QFile::encodeName(*text), isProtected});
    }
    directories.RestoreDirectories(entries);
}

// The stored form of a directory: its text when the bytes are the text's
// own encoding (older stores hold only such texts), else the bytes.
QVariant DirectoryValue(const QByteArray& bytes)
{
    const QString text = QFile::decodeName(bytes);
    if (QFile::encodeName(text) == bytes) return text;
    return bytes;
}

// True unless writing the store failed. sync() also reads the file back
// first; a format error it reports concerns the old contents, which the
// write replaces, so only an access error means the values did not land.
bool WrittenThrough(QSettings& store)
{
    store.sync();
    return store.status() != QSettings::AccessError;
}

} // namespace

QString DirValueName(int position)
{
    return QStringLiteral("Dir") + QString::number(position);
}

QString DirProtectedValueName(int position)
{
    return QStringLiteral("DirProtected") + QString::number(position);
}

ESettingsError InvalidDataType(const QString& valueName)
{
    return ESettingsError(QStringLiteral("Invalid data type for '%1'").arg(valueName).toStdString());
}

ESettingsError FailedToSetData(const QString& valueName)
{
    return ESettingsError(QStringLiteral("Failed to set data for '%1'").arg(valueName).toStdString());
}

std::unique_ptr<QSettings> OpenOptionsStore()
{
    return std::make_unique<QSettings>(QString::fromLatin1(kSettingsOrganization),
                                       QString::fromLatin1(kSettingsApplication));
}

void LoadOptions(QSettings& store, IOptionControls& controls, TDirectoryList& directories)
{
    store.sync(); // read what is on disk now, not a copy cached earlier
    for (const TOptionRow& row : kOptionTable) {
        LoadRow(store, row, controls);
        // The contents checks count only with "Size"; each is enabled with it
        // right after its own state is set.
        if (NameOf(row) == QLatin1String("ckCC") || NameOf(row) == QLatin1String("ckAllBytes")) {
            controls.SetEnabled(NameOf(row), controls.IsChecked(QStringLiteral("ckSize")));
        }
    }
    LoadDirectories(store, directories);
}

void SaveOptions(QSettings& store, const IOptionControls& controls, const QStringList& directories,
                 IUserMessages& messages)
{
    QList<QByteArray> bytes;
    bytes.reserve(directories.size());
    for (const QString& directory : directories)
        bytes.append(QFile::encodeName(directory));
    SaveOptions(store, controls, bytes, messages);
}

void SaveOptions(QSettings& store, const IOptionControls& controls, const QList<QByteArray>& directories,
                 IUserMessages& messages)
{
    SaveOptions(store, controls, directories, {}, messages);
}

void SaveOptions(QSettings& store, const IOptionControls& controls, const QList<QByteArray>& directories,
                 const QList<bool>& protectedFlags, IUserMessages& messages)
{
    // The store is written as a whole, so when it cannot be written nothing
    // is: the first value is the one that failed.
    const QString first = NameOf(kOptionTable[0]);
    if (!store.isWritable()) throw FailedToSetData(first);
    for (const TOptionRow& row : kOptionTable) {
        const QString name = NameOf(row);
        if (row.Kind == TOptionKind::Boolean) {
            store.setValue(name, controls.IsChecked(ControlOf(row)) ? 1 : 0);
        } else {
            store.setValue(name, controls.Text(ControlOf(row)));
        }
    }
    store.setValue(QString::fromLatin1(kDirCountName), static_cast<int>(directories.size()));
    for (qsizetype i = 0; i < directories.size(); ++i) {
        store.setValue(DirValueName(static_cast<int>(i) + 1), DirectoryValue(directories.at(i)));
        // Written for every entry, so a flag left by an earlier list at this
        // position never protects the entry saved there now.
        store.setValue(DirProtectedValueName(static_cast<int>(i) + 1), protectedFlags.value(i, false));
    }
    if (!WrittenThrough(store)) throw FailedToSetData(first);
    messages.ShowInformation(kOptionsSavedMessage);
}

} // namespace quorvane
