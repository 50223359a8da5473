// NewHint: the balloon-shaped hint window. It is shaped by a mask taken from the balloon's own
// pixels, so the desktop shows through around the balloon on any window system.
// Invariant: the window's mask and its off-screen image always come from the same activation.
#pragma once

#include "BalloonImage.h"
#include "HintGeometry.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace quorvane {

class TKelpHint;

class TNewHint : public QWidget {
    Q_OBJECT

  public:
    explicit TNewHint(TKelpHint* settings);

    // The text rectangle the hint machinery measures: word-wrapped at maxWidth in the
    // window's font (the hint font).
    QRect CalcHintRect(int maxWidth, const QString& text) const;

    // Shows the balloon for a text rectangle of textRect's size, its tail pointing at
    // `pointer` (screen coordinates). `control` is the control under the pointer.
    void ActivateHint(const QRect& textRect, const QString& text, QPoint pointer, QWidget* control);
    void ReleaseHint();

    THintDirection Direction() const { return FDirection; }
    bool Fitted() const { return FFitted; }
    QString Text() const { return FText; }
    QWidget* HintControl() const { return FControl; }
    const QImage& Buffer() const { return FBuffer; }
    TKelpHint* KelpHint() const { return FKelpHint; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect ScreenAt(QPoint pointer) const;
    void AttachToControlWindow(QWidget* control);

    TKelpHint* FKelpHint;
    THintDirection FDirection = hdUpRight;
    bool FFitted = true;
    QString FText;
    QImage FBuffer;
    QPointer<QWidget> FControl;
    QTimer FHideTimer;
};

} // namespace quorvane
