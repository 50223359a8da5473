// Kelphint: the component's settings, the application-wide hint delay and the event filter
// that turns tooltip events into balloons.
// Invariant: the balloon window's font is always HintFont, so texts are measured in it.
#include "Kelphint.h"

#include "NewHint.h"

#include <QApplication>
#include <QHelpEvent>
#include <QProxyStyle>
#include <QScreen>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QWidget>

namespace quorvane {

namespace {

// Qt asks the style how long the pointer must rest before a tooltip event; this proxy
// answers with the hint component's pause time and leaves everything else to the base style.
class THintDelayStyle : public QProxyStyle {
  public:
    explicit THintDelayStyle(const QString& baseKey) : QProxyStyle(baseKey) {}
    void SetPauseTime(int milliseconds) { FPauseTime = milliseconds; }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay) return FPauseTime;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

  private:
    int FPauseTime = 600;
};

void SetApplicationHintDelay(int milliseconds)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    QStyle* current = QApplication::style();
    auto* style = dynamic_cast<THintDelayStyle*>(current);
    if (!style) {
        style = new THintDelayStyle(current ? current->name() : QString());
        QApplication::setStyle(style);
    }
    style->SetPauseTime(milliseconds);
}

QString PlainHintText(const QString& toolTip)
{
    if (Qt::mightBeRichText(toolTip)) return QTextDocumentFragment::fromHtml(toolTip).toPlainText();
    return toolTip;
}

QRect ScreenGeometryAt(QPoint globalPos)
{
    QScreen* screen = QGuiApplication::screenAt(globalPos);
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// The innermost widget under the pointer inside the hinted control (disabled ones included),
// or the control itself.
QWidget* ControlUnderPointer(QWidget* hinted, QPoint globalPos)
{
    QWidget* child = hinted->childAt(hinted->mapFromGlobal(globalPos));
    return child ? child : hinted;
}

} // namespace

THintFont DefaultHintFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(12);
    font.setBold(true);
    font.setItalic(true);
    return {font, QColor(Qt::blue)};
}

THintFont MainWindowHintFont()
{
    const QString ming = QStringLiteral("新細明體");
    // Without the Windows face, the same Big5 Ming design from fonts-arphic-uming stands in.
    QFont::insertSubstitution(ming, QStringLiteral("AR PL UMing TW"));
    QFont font(ming);
    font.setPixelSize(16);
    font.setBold(false);
    font.setItalic(false);
    return {font, QColor(Qt::blue)};
}

void ConfigureMainWindowKelpHint(TKelpHint& hint)
{
    hint.setObjectName(QStringLiteral("KelpHint1"));
    hint.setHintFont(MainWindowHintFont());
}

TKelpHint* CreateMainWindowKelpHint(QObject* owner)
{
    auto* hint = new TKelpHint(owner);
    ConfigureMainWindowKelpHint(*hint);
    return hint;
}

TKelpHint::TKelpHint(QObject* owner)
    : QObject(owner), FHintColor(255, 255, 0), FHintShadowColor(128, 0, 128), FHintFont(DefaultHintFont())
{
    SetApplicationHintDelay(FHintPauseTime);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    FHintWindow = std::make_unique<TNewHint>(this);
    Install();
    QCoreApplication::instance()->installEventFilter(this);
}

TKelpHint::~TKelpHint()
{
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

void TKelpHint::Install()
{
    if (FHintWindow) FHintWindow->setFont(FHintFont.Font);
}

void TKelpHint::setHintFont(const THintFont& font)
{
    FHintFont = font;
    Install();
}

void TKelpHint::setHintPauseTime(int milliseconds)
{
    if (milliseconds == FHintPauseTime) return;
    FHintPauseTime = milliseconds;
    SetApplicationHintDelay(milliseconds);
}

TBalloonStyle TKelpHint::BalloonStyle() const
{
    return {FHintColor, FHintShadowColor, FHintFont};
}

bool TKelpHint::ShowControlHint(QWidget* control, QPoint globalPos)
{
    if (!control || !FHintWindow) return false;
    const QString text = PlainHintText(control->toolTip());
    if (text.isEmpty()) return false;
    // Resting again on the control whose balloon is up leaves that balloon where it is.
    if (FHintWindow->isVisible() && FHintedControl == control && FHintWindow->Text() == text) return true;
    QToolTip::hideText();
    FHintedControl = control;
    const QRect screen = ScreenGeometryAt(globalPos);
    const QRect textRect = FHintWindow->CalcHintRect(screen.width() - 16, text);
    FHintWindow->ActivateHint(textRect, text, globalPos, ControlUnderPointer(control, globalPos));
    return true;
}

void TKelpHint::HideHint()
{
    FHintedControl = nullptr;
    if (FHintWindow) FHintWindow->ReleaseHint();
}

bool TKelpHint::EndsHint(QObject* watched, const QEvent* event) const
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::ApplicationDeactivate:
        return true;
    case QEvent::Leave:
    case QEvent::Hide:
        return watched == FHintedControl;
    default:
        return false;
    }
}

bool TKelpHint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip && watched->isWidgetType() && watched != FHintWindow.get()) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (ShowControlHint(static_cast<QWidget*>(watched), help->globalPos())) {
            event->accept();
            return true;
        }
        return false;
    }
    if (FHintWindow && FHintWindow->isVisible() && EndsHint(watched, event)) HideHint();
    return QObject::eventFilter(watched, event);
}

} // namespace quorvane
