// TfrmProgress: fixed-size, no caption buttons, centred on the screen.
#include "ProgressForm.h"

#include "ui_ProgressForm.h"

#include <QScreen>

namespace quorvane {

TfrmProgress::TfrmProgress(QWidget* parent) : QWidget(parent), FUi(new Ui::frmProgress)
{
    FUi->setupUi(this);
    // A caption but neither a system menu nor buttons: the user cannot close
    // the window while the work it reports on is running.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(12);
    setFont(font);
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
    QWidget::showEvent(event);
}

} // namespace quorvane
