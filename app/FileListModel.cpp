// TFileListModel over std::vector<TFileRecord>.
#include "FileListModel.h"

#include "CacheFile.h"

#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QStringList>
#include <algorithm>
#include <unordered_set>

namespace quorvane {

namespace {

QString DisplayBytes(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

} // namespace

QString OptionalColumnCaption(int column)
{
    switch (column) {
    case TFileListModel::ColGroup:
        return QCoreApplication::translate("frmMain", "Group", "lvFiles");
    case TFileListModel::ColCopies:
        return QCoreApplication::translate("frmMain", "Copies", "lvFiles");
    case TFileListModel::ColDimensions:
        return QCoreApplication::translate("frmMain", "Dimensions", "lvFiles");
    default:
        return {};
    }
}

TFileListModel::TFileListModel(QObject* parent) : QAbstractTableModel(parent)
{
    FIcons[kImagePicture] = QIcon(QStringLiteral(":/art/image_picture.png"));
    FIcons[kImageOtherFile] = QIcon(QStringLiteral(":/art/image_file.png"));
    FGroupIcon = QIcon(QStringLiteral(":/art/image_group.png"));
    FLinkIcon = QIcon(QStringLiteral(":/art/image_link.png"));
}

int TFileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TFileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColCount;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const TFileRecord& record = Row(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case ColName:
            return DisplayBytes(record.Name);
        case ColDirectory:
            return DisplayBytes(record.DirectoryText());
        case ColSize:
            return QString::fromStdString(record.SizeText());
        case ColType:
            return DisplayBytes(record.TypeText());
        case ColTime:
            return QString::fromStdString(record.TimeText());
        case ColGroup:
            return record.Group == 0 ? QString() : QString::number(record.Group);
        case ColCopies: {
            const std::uint32_t copies = CopiesOf(index.row());
            return copies == 0 ? QString() : QString::number(copies);
        }
        case ColDimensions:
            return DimensionsText(record);
        default:
            return {};
        }
    }
    const bool linkRole = role == Qt::ToolTipRole || role == LinkNoteRole ||
                          (role == Qt::DecorationRole && index.column() == ColName);
    if (linkRole && !FLinkNotes.empty()) {
        const auto note = FLinkNotes.find(record.FullPath());
        if (note != FLinkNotes.end()) return role == Qt::DecorationRole ? QVariant(FLinkIcon) : note->second;
    }
    if (record.DiskState != kDiskAsListed) {
        // A row whose file is gone (also struck out) or changed since the
        // search is greyed: it no longer stands for a duplicate.
        if (role == Qt::ForegroundRole) return QColor(Qt::gray);
        if (role == Qt::FontRole && record.DiskState == kDiskGone) {
            QFont font;
            font.setStrikeOut(true);
            return font;
        }
        if (role == Qt::ToolTipRole)
            return record.DiskState == kDiskGone
                       ? QCoreApplication::translate("frmMain", "The file is gone since the search.",
                                                     "lvFiles")
                       : QCoreApplication::translate("frmMain", "The file has changed since the search.",
                                                     "lvFiles");
    }
    if (role == BandRole) return BandOf(index.row());
    if (role == Qt::BackgroundRole && BandOf(index.row()) != 0) {
        // A light tint of the selection colour, so the bands follow the theme.
        const QPalette palette = QGuiApplication::palette();
        const QColor base = palette.color(QPalette::Base);
        const QColor tint = palette.color(QPalette::Highlight);
        constexpr double kShare = 0.12;
        return QColor::fromRgbF(static_cast<float>(base.redF() * (1 - kShare) + tint.redF() * kShare),
                                static_cast<float>(base.greenF() * (1 - kShare) + tint.greenF() * kShare),
                                static_cast<float>(base.blueF() * (1 - kShare) + tint.blueF() * kShare));
    }
    // The Directory column can be too narrow for its text: the whole path.
    if (role == Qt::ToolTipRole && index.column() == ColDirectory)
        return DisplayBytes(record.DirectoryText());
    if (role == Qt::DecorationRole && index.column() == ColName && GroupMarked(index.row()))
        return FGroupIcon;
    if (role == Qt::DecorationRole && index.column() == ColName && record.ImageIndex < FIcons.size())
        return FIcons[record.ImageIndex];
    if (role == Qt::TextAlignmentRole)
        return index.column() == ColSize || index.column() == ColGroup || index.column() == ColCopies
                   ? int(Qt::AlignRight | Qt::AlignVCenter)
                   : int(Qt::AlignLeft | Qt::AlignVCenter);
    // The names of one file (hard links) in a group: italic, and said so.
    if (record.OtherNames && role == Qt::FontRole) {
        QFont font;
        font.setItalic(true);
        return font;
    }
    if (role != Qt::ToolTipRole) return {};
    QStringList tip;
    if (record.OtherNames && index.column() == ColName)
        tip << QCoreApplication::translate("TFileListModel", kOtherNamesHint);
    if (!FCaptureNotes.empty()) {
        const auto note = FCaptureNotes.find(record.FullPath());
        if (note != FCaptureNotes.end() && !note->second.isEmpty()) tip << note->second;
    }
    if (tip.isEmpty()) return {};
    return tip.join(QLatin1Char('\n'));
}

void TFileListModel::CountBands() const
{
    FBands.assign(FRows.size(), 0);
    std::uint8_t band = 1;
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        if (FRows[i].Group == 0) continue;
        if (i > 0 && FRows[i - 1].Group != FRows[i].Group) band ^= 1;
        FBands[i] = band;
    }
    FBandsStale = false;
}

void TFileListModel::CountCopies() const
{
    // Files per group: names of one file (hard links, also those a
    // replacement made) count once, wherever a sort put the group's rows.
    // Made only when the column is painted.
    struct TNameKey {
        std::uint32_t Group;
        TCacheKey File;
        bool operator==(const TNameKey&) const = default;
    };
    struct TNameKeyHash {
        std::size_t operator()(const TNameKey& k) const noexcept
        {
            return TCacheKeyHash()(k.File) ^ (std::size_t{k.Group} * 0x9E3779B97F4A7C15ull);
        }
    };
    std::unordered_map<std::uint32_t, std::uint32_t> files;
    std::unordered_set<TNameKey, TNameKeyHash> seen;
    for (const TFileRecord& row : FRows) {
        if (row.Group == 0) continue;
        if (row.Inode != 0 && !seen.insert(TNameKey{row.Group, {row.Device, row.Inode}}).second) continue;
        ++files[row.Group];
    }
    FCopies.assign(FRows.size(), 0);
    for (std::size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].Group != 0) FCopies[i] = files[FRows[i].Group];
    FCopiesStale = false;
}

std::uint8_t TFileListModel::BandOf(int row) const
{
    if (FBandsStale) CountBands();
    return row >= 0 && static_cast<std::size_t>(row) < FBands.size() ? FBands[static_cast<std::size_t>(row)]
                                                                     : 0;
}

std::uint32_t TFileListModel::CopiesOf(int row) const
{
    if (FCopiesStale) CountCopies();
    return row >= 0 && static_cast<std::size_t>(row) < FCopies.size() ? FCopies[static_cast<std::size_t>(row)]
                                                                      : 0;
}

QString TFileListModel::DimensionsText(const TFileRecord& record) const
{
    if (record.ImageIndex == kImageOtherFile || !FDimensionsSource) return {};
    const std::string path = record.FullPath();
    const auto known = FDimensions.find(path);
    if (known == FDimensions.end()) {
        FDimensionsSource->Request(path);
        return {};
    }
    if (known->second.Width == 0 || known->second.Height == 0) return {};
    return QCoreApplication::translate("frmMain", "%1 × %2", "capture")
        .arg(known->second.Width)
        .arg(known->second.Height);
}

void TFileListModel::SetDimensionsSource(TDimensionsSource* source)
{
    FDimensionsSource = source;
    if (source) connect(source, &TDimensionsSource::Ready, this, &TFileListModel::DimensionsReady);
}

void TFileListModel::DimensionsReady(const std::vector<std::pair<std::string, TPictureDimensions>>& sizes)
{
    for (const auto& [path, size] : sizes)
        FDimensions[path] = size;
    // The column's painted cells ask again; the view repaints only those.
    if (!FRows.empty())
        emit dataChanged(index(0, ColDimensions), index(rowCount() - 1, ColDimensions), {Qt::DisplayRole});
}

void TFileListModel::RetranslateHeaders()
{
    emit headerDataChanged(Qt::Horizontal, kStandardColumns, ColCount - 1);
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) return {};
    static const char* const captions[kStandardColumns] = {"Name", "Directory", "Size", "Type", "Time"};
    if (role == Qt::DisplayRole && section >= 0 && section < kStandardColumns)
        return QString::fromLatin1(captions[section]);
    if (role == Qt::DisplayRole && section >= kStandardColumns && section < ColCount)
        return OptionalColumnCaption(section);
    if (role == Qt::TextAlignmentRole)
        return section == ColSize || section == ColGroup || section == ColCopies
                   ? int(Qt::AlignRight | Qt::AlignVCenter)
                   : int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ColName) result |= Qt::ItemIsEditable;
    return result;
}

bool TFileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != ColName || index.row() >= rowCount())
        return false;
    emit NameEdited(index.row(), value.toString());
    return false;
}

bool TFileListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > rowCount()) return false;
    beginRemoveRows({}, row, row + count - 1);
    FMarkFirst = 0, FMarkLast = -1;
    FRows.erase(FRows.begin() + row, FRows.begin() + row + count);
    FBandsStale = FCopiesStale = true;
    endRemoveRows();
    return true;
}

void TFileListModel::SetRows(std::vector<TFileRecord> rows)
{
    beginResetModel();
    FMarkFirst = 0, FMarkLast = -1;
    FRows = std::move(rows);
    FBandsStale = FCopiesStale = true;
    FCaptureNotes.clear();
    FDimensions.clear();
    if (FDimensionsSource) FDimensionsSource->Forget();
    endResetModel();
}

void TFileListModel::AppendRows(std::vector<TFileRecord>&& rows)
{
    if (rows.empty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    FRows.insert(FRows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    FBandsStale = FCopiesStale = true;
    endInsertRows();
    rows.clear();
}

void TFileListModel::SetLinkNote(const std::string& path, const QString& note)
{
    FLinkNotes[path] = note;
    for (std::size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].FullPath() == path)
            emit dataChanged(index(static_cast<int>(i), 0), index(static_cast<int>(i), ColCount - 1));
}

void TFileListModel::SetCaptureNote(const std::string& path, const QString& note)
{
    FCaptureNotes[path] = note;
}

void TFileListModel::SetIdentity(int row, const TFileIdentity& identity)
{
    TFileRecord& record = FRows[static_cast<std::size_t>(row)];
    FCaptureNotes.erase(record.FullPath()); // another file now: read again
    FDimensions.erase(record.FullPath());
    record.Device = identity.Device;
    record.Inode = identity.Inode;
    record.Size = identity.Size;
    record.ModifiedNs = identity.ModifiedNs;
    record.DiskState = kDiskAsListed;
    FCopiesStale = true; // a hard link made of a copy is one file with its kept one
    emit dataChanged(index(row, 0), index(row, ColCount - 1));
    emit dataChanged(index(0, ColCopies), index(rowCount() - 1, ColCopies), {Qt::DisplayRole});
}

void TFileListModel::Clear()
{
    beginResetModel();
    FMarkFirst = 0, FMarkLast = -1;
    FDimensions.clear();
    if (FDimensionsSource) FDimensionsSource->Forget();
    FLinkNotes.clear();
    FCaptureNotes.clear();
    FRows.clear();
    FRows.shrink_to_fit();
    FBandsStale = FCopiesStale = true;
    endResetModel();
}

namespace {

// The runs of neighbouring indices in ascending rows, as (first, count).
std::vector<std::pair<int, int>> RunsOf(const std::vector<int>& rows)
{
    std::vector<std::pair<int, int>> runs;
    for (const int row : rows) {
        if (!runs.empty() && runs.back().first + runs.back().second == row)
            ++runs.back().second;
        else
            runs.emplace_back(row, 1);
    }
    return runs;
}

constexpr std::size_t kMaxRunsRemovedOneByOne = 32;

} // namespace

void TFileListModel::RemoveRowSet(const std::vector<int>& rows)
{
    if (rows.empty() || rows.front() < 0 || rows.back() >= rowCount()) return;
    const std::vector<std::pair<int, int>> runs = RunsOf(rows);
    if (runs.size() <= kMaxRunsRemovedOneByOne) {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run)
            removeRows(run->first, run->second);
        return;
    }
    std::vector<int> newIndexOf(FRows.size(), -1);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::NoLayoutChangeHint);
    FMarkFirst = 0, FMarkLast = -1;
    std::size_t kept = 0;
    std::size_t next = 0; // position in rows
    for (std::size_t old = 0; old < FRows.size(); ++old) {
        if (next < rows.size() && static_cast<std::size_t>(rows[next]) == old) {
            ++next;
            continue;
        }
        newIndexOf[old] = static_cast<int>(kept);
        if (kept != old) FRows[kept] = std::move(FRows[old]);
        ++kept;
    }
    FRows.resize(kept);
    FBandsStale = FCopiesStale = true;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        const int row = newIndexOf[static_cast<std::size_t>(old.row())];
        after.append(row < 0 ? QModelIndex() : index(row, old.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::NoLayoutChangeHint);
}

void TFileListModel::SetName(int row, std::string name)
{
    if (row < 0 || row >= rowCount()) return;
    FRows[static_cast<std::size_t>(row)].Name = std::move(name);
    emit dataChanged(index(row, ColName), index(row, ColType), {Qt::DisplayRole, Qt::EditRole});
}

void TFileListModel::SetGroupMark(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    if (last < first) first = 0, last = -1;
    if (first == FMarkFirst && last == FMarkLast) return;
    const int oldFirst = FMarkFirst, oldLast = FMarkLast;
    FMarkFirst = first;
    FMarkLast = last;
    if (oldLast >= oldFirst)
        emit dataChanged(index(oldFirst, ColName), index(oldLast, ColName), {Qt::DecorationRole});
    if (last >= first) emit dataChanged(index(first, ColName), index(last, ColName), {Qt::DecorationRole});
}

bool TFileListModel::GroupMarked(int row) const
{
    return row >= FMarkFirst && row <= FMarkLast && row < rowCount() &&
           FRows[static_cast<std::size_t>(row)].DiskState == kDiskAsListed;
}

bool TFileListModel::SetDiskState(int row, std::uint8_t state)
{
    if (row < 0 || row >= rowCount() || FRows[static_cast<std::size_t>(row)].DiskState == state) return false;
    FRows[static_cast<std::size_t>(row)].DiskState = state;
    emit dataChanged(index(row, 0), index(row, ColCount - 1),
                     {Qt::ForegroundRole, Qt::FontRole, Qt::ToolTipRole, Qt::DecorationRole});
    return true;
}

void TFileListModel::Reorder(const std::vector<std::size_t>& order)
{
    if (order.size() != FRows.size()) return;
    std::vector<int> newIndexOf(order.size(), -1);
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (order[k] >= order.size() || newIndexOf[order[k]] != -1)
            return; // not a permutation: leave the rows as they are
        newIndexOf[order[k]] = static_cast<int>(k);
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    FMarkFirst = 0, FMarkLast = -1;
    std::vector<TFileRecord> sorted;
    sorted.reserve(FRows.size());
    for (std::size_t oldIndex : order)
        sorted.push_back(std::move(FRows[oldIndex]));
    FRows = std::move(sorted);
    FBandsStale = FCopiesStale = true;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newIndexOf[static_cast<std::size_t>(old.row())], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace quorvane
