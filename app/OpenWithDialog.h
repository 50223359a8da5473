// TOpenWithDialog: the small dialog of the "More Options" page that sets the
// programs of the two "Open With" entries. An empty field means the
// desktop's default, which the field shows as its placeholder.
#pragma once

#include <QDialog>

class QLineEdit;

namespace quorvane {

class TOpenWithDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TOpenWithDialog(QWidget* parent);

    // The chosen programs and the defaults shown when a field is empty.
    void SetPrograms(const QString& viewer, const QString& editor, const QString& defaultViewer,
                     const QString& defaultEditor);
    QString ViewerProgram() const;
    QString EditorProgram() const;

  private:
    void Browse(QLineEdit* field);

    QLineEdit* edViewerProgram = nullptr;
    QLineEdit* edEditorProgram = nullptr;
};

} // namespace quorvane
