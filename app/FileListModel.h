// TFileListModel: the rows of the result list lvFiles, a std::vector of
// TFileRecord shown as five columns (Name, Directory, Size, Type, Time), and
// three more the user may show (Group, Copies, Dimensions).
// Rows keep the file system's bytes; display strings are made only when a
// cell is painted (QFile::decodeName), so a million rows stay light.
// Invariant: persistent indexes (focus, selection) follow their rows across
// a sort.
#pragma once

#include "DimensionsSource.h"
#include "FileIdentity.h"
#include "TFileRecord.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvane {

// The hint of a row whose file has other names in its group.
inline constexpr const char* kOtherNamesHint =
    QT_TRANSLATE_NOOP("TFileListModel", "One name of a file that has other names next to it in this group");

// The header text of an added column (ColGroup and after), translated.
QString OptionalColumnCaption(int column);

class TFileListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum TColumn {
        ColName = 0,
        ColDirectory,
        ColSize,
        ColType,
        ColTime,
        // Hidden unless asked for: the group's number, the number of files
        // (not names) in the group, and a picture's width and height.
        ColGroup,
        ColCopies,
        ColDimensions,
        ColCount
    };
    static constexpr int kStandardColumns = ColGroup;

    explicit TFileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An in-place edit of a Name is only reported (NameEdited); renaming the
    // file and the row is the rename handler's decision, so the row keeps its
    // name here.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

    const std::vector<TFileRecord>& Rows() const { return FRows; }
    const TFileRecord& Row(int row) const { return FRows[static_cast<std::size_t>(row)]; }

    // Replaces all rows at once (one model reset).
    void SetRows(std::vector<TFileRecord> rows);
    // Appends rows at the end (one insertion).
    void AppendRows(std::vector<TFileRecord>&& rows);
    void Clear();
    // Removes the rows at the given indices (ascending, no repeats). A few
    // runs of rows are removed run by run (rowsAboutToBeRemoved for each);
    // many scattered rows in one pass, as a layout change, so that removing
    // half of a million rows stays linear.
    void RemoveRowSet(const std::vector<int>& rows);
    // Gives a row the name its file was renamed to (the Type follows it).
    void SetName(int row, std::string name);
    // The rows first..last (an empty run when last < first) show the focused
    // group's mark in place of their small image, each while its file is as
    // listed. Only the Name cells' pictures are repainted. Any change of the
    // rows' order or number takes the mark off; the view sets it again.
    void SetGroupMark(int first, int last);
    bool GroupMarked(int row) const;
    // Sets a row's TDiskState; true when it changed (the row is repainted,
    // greyed while it no longer matches its file).
    bool SetDiskState(int row, std::uint8_t state);
    // Puts the rows into the order given (element k = old index of new row
    // k, a permutation of all rows), keeping focus and selection on their
    // rows.
    void Reorder(const std::vector<std::size_t>& order);
    // A note on the row of a file replaced by a link or clone of its kept
    // file: its tooltip, LinkNoteRole, and a link picture in its Name cell.
    // Kept by path until Clear.
    void SetLinkNote(const std::string& path, const QString& note);
    // The capture line of a photo (date, camera, size) shown as the tooltip
    // of its rows. Kept by path until Clear; set while the row is focused,
    // so no repaint is asked for.
    void SetCaptureNote(const std::string& path, const QString& note);
    // The file of a row was replaced: the row now stands for this identity.
    void SetIdentity(int row, const TFileIdentity& identity);
    // Where the Dimensions column gets its sizes: asked for the rows painted
    // (never read here, on the window's thread). Without one the column
    // stays empty.
    void SetDimensionsSource(TDimensionsSource* source);
    // The header's texts of the added columns follow the interface language.
    void RetranslateHeaders();
    static constexpr int LinkNoteRole = Qt::UserRole + 40;
    // 0 or 1, alternating from one run of rows of a group to the next; rows
    // outside any group (no group number) are 0. Drawn as the background.
    static constexpr int BandRole = Qt::UserRole + 41;

  signals:
    void NameEdited(int row, const QString& newName);

  private:
    std::vector<TFileRecord> FRows;
    std::array<QIcon, 2> FIcons; // by TFileRecord::ImageIndex
    QIcon FGroupIcon;
    int FMarkFirst = 0;
    int FMarkLast = -1;
    QIcon FLinkIcon;
    std::unordered_map<std::string, QString> FLinkNotes;
    std::unordered_map<std::string, QString> FCaptureNotes;
    // The band of each row, made again on the first paint after the rows
    // changed (one pass, so a million rows cost one walk per change).
    std::uint8_t BandOf(int row) const;
    std::uint32_t CopiesOf(int row) const;
    QString DimensionsText(const TFileRecord& record) const;
    void CountBands() const;
    void CountCopies() const;
    void DimensionsReady(const std::vector<std::pair<std::string, TPictureDimensions>>& sizes);
    mutable std::vector<std::uint8_t> FBands;
    mutable std::vector<std::uint32_t> FCopies;
    TDimensionsSource* FDimensionsSource = nullptr;
    std::unordered_map<std::string, TPictureDimensions> FDimensions;
    mutable bool FBandsStale = true;
    mutable bool FCopiesStale = true;
};

} // namespace quorvane
