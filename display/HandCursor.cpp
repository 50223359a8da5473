// The viewer's open-hand cursor, drawn with QPainter so that no picture file
// has to ship with the program. The hot spot lies inside the palm.
#include "HandCursor.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quorvane {

QImage DrawHandMove()
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    // Four spread fingers, a thumb to the left, and the palm below them.
    hand.addRoundedRect(QRectF(8.5, 4.5, 4, 14), 2, 2);
    hand.addRoundedRect(QRectF(12.5, 2.5, 4, 15), 2, 2);
    hand.addRoundedRect(QRectF(16.5, 3.5, 4, 14), 2, 2);
    hand.addRoundedRect(QRectF(20.5, 6.5, 4, 12), 2, 2);
    QPainterPath thumb;
    thumb.moveTo(9, 20);
    thumb.lineTo(4.5, 14);
    thumb.quadTo(3, 11.5, 5.5, 11.5);
    thumb.lineTo(10, 16);
    thumb.closeSubpath();
    hand.addPath(thumb);
    hand.addRoundedRect(QRectF(8.5, 12.5, 16, 15), 5, 5);
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand.simplified());
    // The gaps between the fingers.
    p.setPen(QPen(Qt::black, 1));
    for (qreal x : {12.5, 16.5, 20.5})
        p.drawLine(QPointF(x, 12), QPointF(x, 16));
    return image;
}

QCursor HandMoveCursor()
{
    return QCursor(QPixmap::fromImage(DrawHandMove()), 16, 17);
}

} // namespace quorvane
