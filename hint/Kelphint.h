// Kelphint: the balloon hint component. Creating a TKelpHint routes the application's tooltip
// events to its balloon window (TNewHint) and sets the application's hint delay.
// Invariant: while a TKelpHint lives, a widget's own tooltip is shown only as its balloon.
#pragma once

#include "BalloonImage.h"
#include "HintGeometry.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QWidget;

namespace quorvane {

class TNewHint;

// Lets the owner pick the direction per control; HintDirection arrives preset.
using TOnSelectHintDirection = std::function<void(QWidget* HintControl, THintDirection& HintDirection)>;

class TKelpHint : public QObject {
    Q_OBJECT

  public:
    explicit TKelpHint(QObject* owner = nullptr);
    ~TKelpHint() override;

    THintDirection HintDirection() const { return FHintDirection; }
    void setHintDirection(THintDirection direction) { FHintDirection = direction; }
    QColor HintColor() const { return FHintColor; }
    void setHintColor(const QColor& color) { FHintColor = color; }
    QColor HintShadowColor() const { return FHintShadowColor; }
    void setHintShadowColor(const QColor& color) { FHintShadowColor = color; }
    const THintFont& HintFont() const { return FHintFont; }
    void setHintFont(const THintFont& font);
    int HintPauseTime() const { return FHintPauseTime; }
    void setHintPauseTime(int milliseconds);

    TOnSelectHintDirection OnSelectHintDirection;

    // The balloon window the application's hints go through.
    TNewHint* HintWindow() const { return FHintWindow.get(); }

    // Shows `control`'s tooltip as a balloon for the pointer at `globalPos`; false when the
    // control has no tooltip. The event filter calls this for every tooltip event.
    bool ShowControlHint(QWidget* control, QPoint globalPos);
    void HideHint();

    // The style the balloon is drawn in, read at every activation.
    TBalloonStyle BalloonStyle() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Install();
    bool EndsHint(QObject* watched, const QEvent* event) const;

    THintDirection FHintDirection = hdUpRight;
    QColor FHintColor;
    QColor FHintShadowColor;
    THintFont FHintFont;
    int FHintPauseTime = 600;
    std::unique_ptr<TNewHint> FHintWindow;
    QPointer<QWidget> FHintedControl; // the control whose tooltip the balloon shows
};

// The default hint font: "MS Sans Serif", 12 points, blue, bold and italic.
THintFont DefaultHintFont();

// The main window's hint font: "新細明體" (a Big5 Ming face), 16 pixels, blue, no style. The
// family is mapped by font substitution to "AR PL UMing TW" where the Windows face is absent.
THintFont MainWindowHintFont();

// Names a component `KelpHint1` and gives it the main window's hint font.
void ConfigureMainWindowKelpHint(TKelpHint& hint);

// Creates the main window's balloon hint component `KelpHint1`, owned by `owner`, with the
// main window's hint font and every other setting at its default.
TKelpHint* CreateMainWindowKelpHint(QObject* owner);

} // namespace quorvane
