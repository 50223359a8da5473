// The "Open With" programs dialog: two fields, each with a file chooser.
// Texts in the interface language of the moment it opens.
#include "OpenWithDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace quorvane {

namespace {

QString Text(const char* source, const char* comment)
{
    return QCoreApplication::translate("dlgOpenWith", source, comment);
}

} // namespace

TOpenWithDialog::TOpenWithDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgOpenWith"));
    setWindowTitle(Text("Open With programs", "dialog title"));
    auto* form = new QFormLayout;
    auto addRow = [this, form](const char* name, const QString& label) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QString::fromLatin1(name));
        auto* browse = new QPushButton(Text("Browse...", "button"), this);
        connect(browse, &QPushButton::clicked, this, [this, field] { Browse(field); });
        auto* row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(browse);
        form->addRow(label, row);
        return field;
    };
    edViewerProgram = addRow("edViewerProgram", Text("Picture viewer:", "edViewerProgram"));
    edEditorProgram = addRow("edEditorProgram", Text("Text editor:", "edEditorProgram"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(460, sizeHint().height());
}

void TOpenWithDialog::SetPrograms(const QString& viewer, const QString& editor, const QString& defaultViewer,
                                  const QString& defaultEditor)
{
    const QString none = Text("(none found)", "placeholder");
    edViewerProgram->setText(viewer);
    edEditorProgram->setText(editor);
    edViewerProgram->setPlaceholderText(defaultViewer.isEmpty() ? none : defaultViewer);
    edEditorProgram->setPlaceholderText(defaultEditor.isEmpty() ? none : defaultEditor);
}

QString TOpenWithDialog::ViewerProgram() const
{
    return edViewerProgram->text().trimmed();
}

QString TOpenWithDialog::EditorProgram() const
{
    return edEditorProgram->text().trimmed();
}

void TOpenWithDialog::Browse(QLineEdit* field)
{
    const QString chosen = QFileDialog::getOpenFileName(this, windowTitle(), QStringLiteral("/usr/bin"));
    if (!chosen.isEmpty()) field->setText(chosen);
}

} // namespace quorvane
