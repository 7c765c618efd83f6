// Turns SIGINT and SIGTERM into a call on a thread of its own, so a program can end its
// message loop cleanly instead of dying inside a handler.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace velomaris {

class TTerminationSignals {
public:
    // Blocks SIGINT and SIGTERM in the calling thread (and so in every thread it starts
    // afterwards) and waits for them on a thread that calls onSignal for each one. Create it
    // in main before any other thread.
    explicit TTerminationSignals(std::function<void()> onSignal);
    // Stops the waiting thread; the signals stay blocked.
    ~TTerminationSignals();
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

private:
    std::function<void()> onSignal_;
    std::atomic<bool> stopping_{false};
    std::thread waiter_;
};

}  // namespace velomaris
