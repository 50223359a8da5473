// Fakes of the viewer tests: a host that keeps the result rows in a vector
// and moves the focus on a removal as the list view does, and a file
// operation service that records each request and really removes the file
// (or leaves it, as a cancelled deletion does).
#pragma once

#include "FileOperations.h"
#include "ViewerHost.h"

#include <QFile>
#include <QImage>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::test {

class TRecordingFileOperations : public IFileOperations {
  public:
    void DeleteFiles(const std::vector<TDeleteItem>& items, unsigned flags) override
    {
        Requests.push_back(items);
        Flags.push_back(flags);
        if (!Remove) return;
        for (const TDeleteItem& item : items)
            QFile::remove(QFile::decodeName(QByteArray::fromStdString(item.Path)));
    }
    bool RenameFile(const std::string&, const std::string&, unsigned) override { return false; }

    bool Remove = true;
    std::vector<std::vector<TDeleteItem>> Requests;
    std::vector<unsigned> Flags;
};

class TFakeViewerHost : public IViewerHost {
  public:
    const std::vector<TFileRecord>& ListRows() const override { return Rows; }
    std::ptrdiff_t ListFocusedRow() const override { return Focused; }
    void FocusListRow(std::ptrdiff_t row) override { Focused = row; }
    void DeselectListRows() override
    {
        Selected = false;
        ++Deselects;
    }
    void ScrollToFocusedRow() override { ScrolledTo.push_back(Focused); }
    bool EditingRowName() const override { return Editing; }
    void RemoveListRow(std::ptrdiff_t row) override
    {
        Rows.erase(Rows.begin() + row);
        // The view's rule: the focus passes to the next row, else the one before.
        const auto count = static_cast<std::ptrdiff_t>(Rows.size());
        if (Focused > row || Focused >= count) --Focused;
    }
    bool FileCommandsAllowed() const override { return Allowed; }
    // As the list does: one request with the row's identity and the flags,
    // the row removed when its file is gone.
    void DeleteListedRow(std::ptrdiff_t row, std::function<void(bool gone)> done) override
    {
        const TFileRecord& record = Rows[static_cast<std::size_t>(row)];
        const std::string path = record.FullPath();
        Operations.DeleteFiles({TDeleteItem{path, IdentityOfRow(record)}}, Flags);
        const bool gone = !QFile::exists(QFile::decodeName(QByteArray::fromStdString(path)));
        if (gone) RemoveListRow(row);
        done(gone);
    }
    void ForgetPicture(const std::string& path) override
    {
        Forgotten << QFile::decodeName(QByteArray::fromStdString(path));
    }
    void SetIgnoreListChange(bool ignore) override { IgnoreListChange = ignore; }
    void ListChanged() override { ListChanges.push_back(IgnoreListChange); }
    void CloseMainWindow() override { ++MainWindowCloses; }
    bool ViewerFit() const override { return Fit; }
    void SetViewerFit(bool fit) override { Fit = fit; }

    std::vector<TFileRecord> Rows;
    std::ptrdiff_t Focused = -1;
    bool Selected = true;
    int Deselects = 0;
    std::vector<std::ptrdiff_t> ScrolledTo;
    bool Editing = false;
    bool Allowed = true;
    TRecordingFileOperations Operations;
    unsigned Flags = kFofAllowUndo;
    QStringList Forgotten;
    bool IgnoreListChange = false;
    std::vector<bool> ListChanges; // the flag as each notification found it
    int MainWindowCloses = 0;
    bool Fit = false; // the viewer's kept fit to screen
};

// A row for a file in directory, with made-up identity fields.
inline TFileRecord ViewerRow(const QString& directory, const QString& name, std::uint64_t inode = 0)
{
    TFileRecord record;
    record.Name = QFile::encodeName(name).toStdString();
    record.Directory = std::make_shared<const std::string>(QFile::encodeName(directory).toStdString());
    record.Device = 7;
    record.Inode = inode;
    record.Size = 1234;
    record.ModifiedNs = 1'700'000'000'000'000'000;
    return record;
}

// A one-colour bitmap file; returns its path, or an empty text on failure.
inline QString WriteBitmap(const QString& path, int width, int height, QColor color = Qt::red)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image.save(path, "BMP") ? path : QString();
}

} // namespace quorvane::test
