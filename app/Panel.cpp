// TPanel: background, frame and a centred caption.
#include "Panel.h"

#include <QPainter>

namespace quorvane {

TPanel::TPanel(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
}

void TPanel::SetCaption(const QString& caption)
{
    if (caption == FCaption) return;
    FCaption = caption;
    update();
}

void TPanel::SetColor(const QColor& color)
{
    FColor = color;
    update();
}

QColor TPanel::Color() const
{
    return FColor.isValid() ? FColor : palette().color(QPalette::Window);
}

void TPanel::SetCaptionFont(const QFont& font)
{
    FCaptionFont = font;
    update();
}

void TPanel::SetCaptionColor(const QColor& color)
{
    FCaptionColor = color;
    update();
}

void TPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Color());
    if (!FCaption.isEmpty()) {
        painter.setFont(FCaptionFont);
        painter.setPen(FCaptionColor);
        painter.drawText(contentsRect(), Qt::AlignCenter, FCaption);
    }
    painter.end();
    QFrame::paintEvent(event);
}

} // namespace quorvane
