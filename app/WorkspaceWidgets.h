// The widgets of the directory area and the option pages as the workspace
// rules see them: lstDir as an IDirectoryListBox, the option controls as
// IOptionControls (restored through the controls' own setters, so their
// reactions run) and the folder chooser as the directory picker.
#pragma once

#include "DirectoryList.h"
#include "OptionsStore.h"

class QListWidget;
class QListWidgetItem;
class QWidget;

namespace quorvane {

// An entry of lstDir keeps the directory's file-system bytes in this role
// beside its shown text (QFile::decodeName of the bytes).
inline constexpr int kDirectoryBytesRole = Qt::UserRole + 1;
// An entry's protected flag (a bool; missing means not protected). Item data
// travels with the item, so the flag stays with its entry through every
// addition, removal and reordering of the list.
inline constexpr int kDirectoryProtectedRole = Qt::UserRole + 2;
// The bytes of an entry; an item added without them (by hand) gives its text
// encoded as a file name.
QByteArray DirectoryBytes(const QListWidgetItem& item);

class TListWidgetBox : public IDirectoryListBox {
  public:
    explicit TListWidgetBox(QListWidget* list) : FList(list) {}
    int Count() const override;
    QString Entry(int index) const override;
    QByteArray EntryBytes(int index) const override;
    bool IsSelected(int index) const override;
    int CurrentIndex() const override;
    void Append(const QString& entry) override;
    void AppendBytes(const QByteArray& entry) override;
    void Remove(int index) override;
    void Clear() override;
    bool IsProtected(int index) const override;
    void SetProtected(int index, bool isProtected) override;

  private:
    QListWidget* FList;
};

// Finds each control by its objectName among the form's children. A radio
// button of a group keeps the group's one checked button: unchecking the
// checked one is left to checking another, as the stored values do.
class TFormOptionControls : public IOptionControls {
  public:
    explicit TFormOptionControls(QWidget* form) : FForm(form) {}
    bool IsChecked(const QString& name) const override;
    void SetChecked(const QString& name, bool checked) override;
    QString Text(const QString& name) const override;
    void SetText(const QString& name, const QString& text) override;
    void SetEnabled(const QString& name, bool enabled) override;

  private:
    template <typename Control> Control* Find(const QString& name) const;
    QWidget* FForm;
};

// The directory picker over a folder chooser (QFileDialog in directory
// mode). It starts in InitialDir (or the folder of FileName) and, once a
// folder is chosen, sets FileName to "Any File Name" inside it, so the
// chosen folder is its directory part as with a file dialog.
class TFolderPicker : public TDirectoryPicker {
  public:
    explicit TFolderPicker(QWidget* owner) : FOwner(owner) {}
    bool Execute() override;

  private:
    QWidget* FOwner;
};

// The picker of a file to write (QFileDialog in save mode): FileName is the
// chosen file, given DefaultExt when the user typed none; replacing a file
// is asked first.
class TSaveFilePicker : public TDirectoryPicker {
  public:
    explicit TSaveFilePicker(QWidget* owner) : FOwner(owner) {}
    bool Execute() override;

  private:
    QWidget* FOwner;
};

// The picker of an existing file to read (QFileDialog in open mode).
class TOpenFilePicker : public TDirectoryPicker {
  public:
    explicit TOpenFilePicker(QWidget* owner) : FOwner(owner) {}
    bool Execute() override;

  private:
    QWidget* FOwner;
};

// "description|mask|description|mask" as the name filters of a QFileDialog.
QStringList NameFilters(const QString& filter);

} // namespace quorvane
