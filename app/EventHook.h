// TEventHook: an event filter that hands each event to a function, so that a
// window can watch one of its controls (a resize, a key) without growing its
// own eventFilter. The function returns true to consume the event.
#pragma once

#include <QObject>
#include <functional>

namespace quorvane {

class TEventHook : public QObject {
  public:
    using THandler = std::function<bool(QObject*, QEvent*)>;

    // Installs itself on watched; it is owned by owner.
    TEventHook(QObject* watched, QObject* owner, THandler handler)
        : QObject(owner), FHandler(std::move(handler))
    {
        watched->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return FHandler(watched, event); }

  private:
    THandler FHandler;
};

} // namespace quorvane
