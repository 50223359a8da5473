// The widget adapters of the workspace rules. They hold no rule of their
// own: every decision is made in DirectoryList and OptionsStore.
#include "WorkspaceWidgets.h"

#include "PathRules.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <stdexcept>

namespace quorvane {

QByteArray DirectoryBytes(const QListWidgetItem& item)
{
    const QVariant bytes = item.data(kDirectoryBytesRole);
    if (bytes.typeId() == QMetaType::QByteArray) return bytes.toByteArray();
    return QFile::encodeName(item.text());
}

int TListWidgetBox::Count() const
{
    return FList->count();
}

QString TListWidgetBox::Entry(int index) const
{
    return FList->item(index)->text();
}

QByteArray TListWidgetBox::EntryBytes(int index) const
{
    return DirectoryBytes(*FList->item(index));
}

bool TListWidgetBox::IsSelected(int index) const
{
    return FList->item(index)->isSelected();
}

int TListWidgetBox::CurrentIndex() const
{
    return FList->currentRow();
}

void TListWidgetBox::Append(const QString& entry)
{
    AppendBytes(QFile::encodeName(entry));
}

void TListWidgetBox::AppendBytes(const QByteArray& entry)
{
    auto* item = new QListWidgetItem(QFile::decodeName(entry));
    item->setData(kDirectoryBytesRole, entry);
    FList->addItem(item);
}

void TListWidgetBox::Remove(int index)
{
    delete FList->takeItem(index);
}

void TListWidgetBox::Clear()
{
    FList->clear();
}

bool TListWidgetBox::IsProtected(int index) const
{
    return FList->item(index)->data(kDirectoryProtectedRole).toBool();
}

void TListWidgetBox::SetProtected(int index, bool isProtected)
{
    FList->item(index)->setData(kDirectoryProtectedRole, isProtected);
}

template <typename Control> Control* TFormOptionControls::Find(const QString& name) const
{
    auto* control = FForm->findChild<Control*>(name);
    // A missing control is a fault of the form, not of the stored values.
    if (!control) throw std::logic_error("The form has no option control " + name.toStdString());
    return control;
}

bool TFormOptionControls::IsChecked(const QString& name) const
{
    return Find<QAbstractButton>(name)->isChecked();
}

void TFormOptionControls::SetChecked(const QString& name, bool checked)
{
    Find<QAbstractButton>(name)->setChecked(checked);
}

// A list "cbX" is stored as the value X, the decimal text of its index; a
// text that names no entry leaves the first entry chosen.
QString TFormOptionControls::Text(const QString& name) const
{
    if (auto* list = FForm->findChild<QComboBox*>(QStringLiteral("cb") + name))
        return QString::number(list->currentIndex());
    return Find<QLineEdit>(name)->text();
}

void TFormOptionControls::SetText(const QString& name, const QString& text)
{
    if (auto* list = FForm->findChild<QComboBox*>(QStringLiteral("cb") + name)) {
        bool number = false;
        const int index = text.toInt(&number);
        list->setCurrentIndex(number && index >= 0 && index < list->count() ? index : 0);
        return;
    }
    Find<QLineEdit>(name)->setText(text);
}

void TFormOptionControls::SetEnabled(const QString& name, bool enabled)
{
    Find<QWidget>(name)->setEnabled(enabled);
}

QStringList NameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString masks = parts[i + 1];
        masks.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(QStringLiteral("%1 (%2)").arg(parts[i], masks));
    }
    return filters;
}

namespace {

// Qt's file dialog keeps its history in QtProject.conf under the user's
// settings folder when it is destroyed. While one lives, this points the
// user-scope settings path at a temporary folder, and puts it back after.
class TDialogHistoryGuard {
  public:
    TDialogHistoryGuard()
        : FUserPath(
              QFileInfo(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QtProject"))
                            .fileName())
                  .absolutePath())
    {
        if (FScratch.isValid())
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FScratch.path());
    }
    ~TDialogHistoryGuard() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FUserPath); }
    TDialogHistoryGuard(const TDialogHistoryGuard&) = delete;
    TDialogHistoryGuard& operator=(const TDialogHistoryGuard&) = delete;

  private:
    QString FUserPath;
    QTemporaryDir FScratch;
};

} // namespace

namespace {

// A file dialog for picker, to write a file (save: the default suffix, the
// current name chosen first) or to read one; FileName becomes the choice.
bool RunFileDialog(QWidget* owner, TDirectoryPicker& picker, bool save)
{
    // Declared before the dialog, so it outlives the dialog's destructor.
    const TDialogHistoryGuard historyGuard;
    QFileDialog dialog(owner, picker.Title);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = NameFilters(picker.Filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (save) dialog.setDefaultSuffix(picker.DefaultExt);
    if (IsExistingDirectory(picker.InitialDir)) dialog.setDirectory(picker.InitialDir);
    if (save && !picker.FileName.isEmpty()) dialog.selectFile(picker.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    picker.FileName = dialog.selectedFiles().constFirst();
    return true;
}

} // namespace

bool TSaveFilePicker::Execute()
{
    return RunFileDialog(FOwner, *this, true);
}

bool TOpenFilePicker::Execute()
{
    return RunFileDialog(FOwner, *this, false);
}

bool TFolderPicker::Execute()
{
    // Declared before the dialog, so it outlives the dialog's destructor.
    const TDialogHistoryGuard historyGuard;
    QFileDialog dialog(FOwner, Title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const QStringList filters = NameFilters(Filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(FilterIndex > 0 ? FilterIndex - 1 : 0));
    }
    const QString fileDirectory = QFile::decodeName(
        QByteArray::fromStdString(DirectoryPart(QFile::encodeName(FileName).toStdString())));
    if (IsExistingDirectory(InitialDir)) {
        dialog.setDirectory(InitialDir);
    } else if (IsExistingDirectory(fileDirectory)) {
        dialog.setDirectory(fileDirectory);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const std::string chosen = QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
    FileName = QFile::decodeName(
        QByteArray::fromStdString(JoinPath(chosen, QFile::encodeName(kAnyFileName).toStdString())));
    return true;
}

} // namespace quorvane
