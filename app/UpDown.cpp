// TUpDown: two stacked arrow buttons over a clamped position.
#include "UpDown.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quorvane {

TUpDown::TUpDown(QWidget* parent) : QWidget(parent), FUp(new QToolButton(this)), FDown(new QToolButton(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {FUp, FDown}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    FUp->setArrowType(Qt::UpArrow);
    FDown->setArrowType(Qt::DownArrow);
    FUp->setObjectName(QStringLiteral("UpButton"));
    FDown->setObjectName(QStringLiteral("DownButton"));
    connect(FUp, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(FDown, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void TUpDown::SetRange(int minimum, int maximum)
{
    FMin = std::min(minimum, maximum);
    FMax = std::max(minimum, maximum);
    SetPosition(FPosition);
}

void TUpDown::SetPosition(int position)
{
    const int clamped = std::clamp(position, FMin, FMax);
    if (clamped == FPosition) return;
    FPosition = clamped;
    emit PositionChanged(FPosition);
}

void TUpDown::StepBy(int count)
{
    // Computed in 64 bits so that a large step cannot overflow before clamping.
    const long long target = static_cast<long long>(FPosition) + static_cast<long long>(count) * FIncrement;
    SetPosition(static_cast<int>(std::clamp<long long>(target, FMin, FMax)));
}

} // namespace quorvane
