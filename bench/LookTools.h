// What the look programs share: letting the event loop run for a while, and
// saving the whole screen to a file (printing its path).
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QString>
#include <cstdio>

namespace quorvane::look {

inline void Wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The screen after the window has had settleMs to paint.
inline void Shoot(const QString& path, int settleMs = 300)
{
    Wait(settleMs);
    QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s\n", qPrintable(path));
}

} // namespace quorvane::look
