// NewHint: activation places the balloon, paints it off-screen and shapes the window to the
// painted pixels; painting only copies that image, so a repaint shows the same balloon.
// Invariant: FDirection is the direction the current balloon was laid out and drawn for.
#include "NewHint.h"

#include "Kelphint.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace quorvane {

namespace {

// Long hints stay longer, like the platform's own tooltips, but never more than a minute.
int HideDelay(const QString& text)
{
    const qsizetype extra = std::max<qsizetype>(0, text.size() - 100);
    return static_cast<int>(std::min<qsizetype>(10000 + 40 * std::min<qsizetype>(extra, 2000), 60000));
}

} // namespace

TNewHint::TNewHint(TKelpHint* settings) : QWidget(nullptr), FKelpHint(settings)
{
    setObjectName(QStringLiteral("NewHint"));
    // Input goes to the windows below: the balloon must never take the pointer from the
    // control it explains, or the control's leave event would hide it at once.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                   Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    FHideTimer.setSingleShot(true);
    connect(&FHideTimer, &QTimer::timeout, this, &TNewHint::ReleaseHint);
}

QRect TNewHint::CalcHintRect(int maxWidth, const QString& text) const
{
    return QRect(QPoint(0, 0), MeasureHintText(font(), text, maxWidth));
}

void TNewHint::ActivateHint(const QRect& textRect, const QString& text, QPoint pointer, QWidget* control)
{
    FText = text;
    FControl = control;
    THintDirection direction = FKelpHint->HintDirection();
    // The handler's choice holds for this hint only; HintDirection itself is left alone.
    if (FKelpHint->OnSelectHintDirection) FKelpHint->OnSelectHintDirection(control, direction);
    if (direction > hdDownLeft) direction = FKelpHint->HintDirection();

    const THintPlacement placement =
        ChooseHintPlacement(ScreenAt(pointer), pointer, textRect.size(), direction);
    FDirection = placement.Direction;
    FFitted = placement.Fitted;
    FBuffer = RenderBalloon(placement.Size, FDirection, text, FKelpHint->BalloonStyle());

    setGeometry(QRect(placement.TopLeft, placement.Size));
    setMask(QBitmap::fromImage(BalloonMaskImage(FBuffer)));
    AttachToControlWindow(control);
    show();
    raise();
    update();
    FHideTimer.start(HideDelay(text));
}

void TNewHint::ReleaseHint()
{
    FHideTimer.stop();
    FControl = nullptr;
    hide();
}

QRect TNewHint::ScreenAt(QPoint pointer) const
{
    QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

void TNewHint::AttachToControlWindow(QWidget* control)
{
    // A transient parent lets window systems that place pop-ups relative to their parent
    // (Wayland) put the balloon where it was asked for.
    QWidget* top = control ? control->window() : nullptr;
    if (!top || !top->windowHandle()) return;
    if (!windowHandle()) create();
    if (windowHandle()) windowHandle()->setTransientParent(top->windowHandle());
}

void TNewHint::paintEvent(QPaintEvent* event)
{
    // The whole balloon was composed off-screen; it reaches the window in one copy.
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(event->rect(), FBuffer, event->rect());
}

} // namespace quorvane
