// TfrmProgress: fixed size, centred on the screen, a single border with a
// caption but without system menu or caption buttons, so the only way to stop
// the work it reports on is its "Cancel" button (or Esc).
#include "ProgressForm.h"

#include "ui_ProgressForm.h"

#include <QKeyEvent>
#include <QScreen>

namespace quorvane {

TfrmProgress::TfrmProgress(QWidget* parent) : QWidget(parent), FUi(new Ui::frmProgress)
{
    FUi->setupUi(this);
    // A dialog-type window: window managers give it no minimise or maximise
    // button, and the hints below ask for no close button nor system menu.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(12);
    setFont(font);
    SetCancelCaption(QString::fromLatin1(kCancelCaption));
    connect(FUi->btnCancel, &QPushButton::clicked, this, &TfrmProgress::CancelClicked);
    setFixedSize(519, 31);
}

TfrmProgress::~TfrmProgress()
{
    delete FUi;
}

QProgressBar* TfrmProgress::Progress() const
{
    return FUi->Progress;
}

QPushButton* TfrmProgress::CancelButton() const
{
    return FUi->btnCancel;
}

void TfrmProgress::SetCancelCaption(const QString& caption)
{
    FUi->btnCancel->setText(caption);
}

void TfrmProgress::SetPosition(int percent)
{
    if (FUi->Progress->value() == percent) return;
    FUi->Progress->setValue(percent);
    if (isVisible()) FUi->Progress->repaint();
}

void TfrmProgress::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FUi->btnCancel->setFocus();
    QWidget::showEvent(event);
}

void TfrmProgress::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit CancelClicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quorvane
