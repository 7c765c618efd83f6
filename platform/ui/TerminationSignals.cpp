#include "platform/ui/TerminationSignals.h"

#include <pthread.h>
#include <signal.h>

namespace velomaris {

namespace {

sigset_t TerminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

TTerminationSignals::TTerminationSignals(std::function<void()> onSignal)
    : onSignal_(std::move(onSignal)) {
    const sigset_t set = TerminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    waiter_ = std::thread([this, set] {
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) {
                continue;
            }
            if (stopping_.load()) {
                return;
            }
            onSignal_();
        }
    });
}

TTerminationSignals::~TTerminationSignals() {
    stopping_.store(true);
    // Directed at the waiting thread, which has SIGTERM blocked: sigwait takes it.
    pthread_kill(waiter_.native_handle(), SIGTERM);
    waiter_.join();
}

}  // namespace velomaris
