// BalloonImage: composes the balloon (shadow dots, body, tail, text) into an off-screen image
// and derives the window's shape mask from it.
// Invariant: a pixel is opaque in the mask exactly when the image painted it (alpha > 0).
#pragma once

#include "HintGeometry.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

namespace quorvane {

// A font with the colour its text is drawn in.
struct THintFont {
    QFont Font;
    QColor Color;
};

struct TBalloonStyle {
    QColor Fill;
    QColor Shadow;
    THintFont Text;
};

// Measures a hint text as the hint machinery does: word-wrapped at maxWidth, "&" taken
// literally, plus 6 pixels of width and 2 of height so the text stays clear of the outline.
QSize MeasureHintText(const QFont& font, const QString& text, int maxWidth);

// Paints the balloon for a window of the given size; pixels outside it stay fully transparent.
QImage RenderBalloon(QSize window, THintDirection direction, const QString& text, const TBalloonStyle& style);

// One bit per pixel, 1 (Qt::color1) where the balloon image is painted; ready for QBitmap.
QImage BalloonMaskImage(const QImage& balloon);

} // namespace quorvane
