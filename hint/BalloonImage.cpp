// BalloonImage: the balloon is drawn aliased into a transparent ARGB image, in the order
// shadow, body, tail, text, so later layers cover earlier ones exactly as on screen.
// Invariant: the mask is computed from the finished image, never from the shapes separately.
#include "BalloonImage.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

namespace quorvane {

namespace {

// "&" is never a mnemonic marker in a hint: no Qt::TextShowMnemonic here.
constexpr int HintTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

void PaintShadow(QImage& image, THintDirection direction, const QColor& shadow)
{
    const QRgb dot = qPremultiply(shadow.rgba());
    for (const QPoint& p : HintShadowPixels(image.size(), direction))
        reinterpret_cast<QRgb*>(image.scanLine(p.y()))[p.x()] = dot;
}

void PaintBody(QPainter& painter, QSize window, THintDirection direction, const QColor& fill)
{
    // A 1-pixel aliased outline of QRect(x, y, w, h) covers x..x+w; the body's pixels are the
    // half-open HintBodyRect, hence one less on each far side.
    const QRect body = HintBodyRect(window, direction);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRect(body.x(), body.y(), body.width() - 1, body.height() - 1), 4.5, 4.5);
}

void PaintTail(QPainter& painter, QSize window, THintDirection direction, const QColor& fill)
{
    const auto p = HintTailPoints(window, direction);
    // The fill-coloured base line opens the body's outline where the tail joins it.
    painter.setPen(QPen(fill, 1));
    painter.drawLine(p[0], p[1]);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPolygon(QPolygon({p[0], p[1], p[2]}));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(p[1], p[2]);
    painter.drawLine(p[2], p[0]);
}

} // namespace

QSize MeasureHintText(const QFont& font, const QString& text, int maxWidth)
{
    const QFontMetrics metrics(font);
    const QRect bounds = metrics.boundingRect(QRect(0, 0, std::max(1, maxWidth), 0), HintTextFlags, text);
    return {bounds.width() + 6, bounds.height() + 2};
}

QImage RenderBalloon(QSize window, THintDirection direction, const QString& text, const TBalloonStyle& style)
{
    QImage image(window.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    PaintShadow(image, direction, style.Shadow);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    PaintBody(painter, window, direction, style.Fill);
    PaintTail(painter, window, direction, style.Fill);
    painter.setFont(style.Text.Font);
    painter.setPen(style.Text.Color);
    painter.setBrush(Qt::NoBrush);
    painter.drawText(HintTextRect(window, direction), HintTextFlags, text);
    painter.end();
    return image;
}

QImage BalloonMaskImage(const QImage& balloon)
{
    const QImage argb = balloon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage mask(argb.size(), QImage::Format_MonoLSB);
    // Index 1 is black, which QBitmap reads as Qt::color1: the visible part of a shape mask.
    mask.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    mask.fill(0);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(row[x]) != 0) mask.setPixel(x, y, 1);
        }
    }
    return mask;
}

} // namespace quorvane
