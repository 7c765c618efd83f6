// Waiting in GUI tests: Qt's loop runs while the test waits for a condition, with a generous
// bound so a loaded machine does not fail a test that would pass, and a wait that never ends
// cannot hang the suite.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace velomaris {

inline constexpr int kGuiWaitMs = 90000;

// Runs Qt's loop until condition holds or timeoutMs pass; returns whether it holds.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kGuiWaitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace velomaris
