// TUpDown: a pair of small arrow buttons that step a position within a range
// (no wrap-around). The window binds it to the edit it sits beside.
// Invariant: Minimum() <= Position() <= Maximum().
#pragma once

#include <QWidget>

class QToolButton;

namespace quorvane {

class TUpDown : public QWidget {
    Q_OBJECT

  public:
    explicit TUpDown(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    int Minimum() const { return FMin; }
    int Maximum() const { return FMax; }
    void SetIncrement(int increment) { FIncrement = increment; }
    int Increment() const { return FIncrement; }
    // Clamped into the range; emits PositionChanged only on a real change.
    void SetPosition(int position);
    int Position() const { return FPosition; }
    // One step up (positive count) or down, clamped.
    void StepBy(int count);

  signals:
    void PositionChanged(int position);

  private:
    QToolButton* FUp;
    QToolButton* FDown;
    int FMin = 0;
    int FMax = 100;
    int FIncrement = 1;
    int FPosition = 0;
};

} // namespace quorvane
