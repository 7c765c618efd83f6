#include "net/IdWait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>

namespace velomaris {

namespace {

// Made before main runs, so that a signal handler never has to create it.
class TerminationSwitch {
public:
    TerminationSwitch() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~TerminationSwitch() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    void Request() noexcept {
        if (!requested_.exchange(true) && fd_ >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
        }
    }
    void Withdraw() noexcept {
        if (requested_.exchange(false) && fd_ >= 0) {
            std::uint64_t value = 0;
            [[maybe_unused]] const ssize_t read = ::read(fd_, &value, sizeof value);
        }
    }
    bool Requested() const noexcept { return requested_.load(); }
    int Fd() const noexcept { return fd_; }

private:
    int fd_;
    std::atomic<bool> requested_{false};
};

TerminationSwitch terminationSwitch;

std::int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct ThreadBound {
    bool active = false;
    std::int64_t endMs = 0;
    std::int64_t boundMs = 0;
};

thread_local ThreadBound currentBound;

}  // namespace

EIdOperationTimeout::EIdOperationTimeout(std::int64_t boundMs)
    : EIdReadTimeout("The operation did not finish within " + std::to_string(boundMs / 1000) + "." +
                     std::to_string(boundMs % 1000 / 100) + " seconds"),
      boundMs_(boundMs) {}

void RequestTermination() noexcept {
    terminationSwitch.Request();
}

bool TerminationRequested() noexcept {
    return terminationSwitch.Requested();
}

void WithdrawTerminationRequest() noexcept {
    terminationSwitch.Withdraw();
}

TIdOperationDeadline::TIdOperationDeadline(std::int64_t boundMs) {
    if (currentBound.active) {
        saved_ = Bound{currentBound.endMs, currentBound.boundMs};
    }
    if (boundMs <= 0) {
        return;
    }
    const std::int64_t end = MonotonicMs() + boundMs;
    if (!currentBound.active || end < currentBound.endMs) {
        currentBound = ThreadBound{true, end, boundMs};
    }
}

TIdOperationDeadline::~TIdOperationDeadline() {
    if (saved_) {
        currentBound = ThreadBound{true, saved_->endMs, saved_->boundMs};
    } else {
        currentBound = ThreadBound{};
    }
}

std::optional<std::int64_t> TIdOperationDeadline::RemainingMs() {
    if (!currentBound.active) {
        return std::nullopt;
    }
    const std::int64_t left = currentBound.endMs - MonotonicMs();
    if (left <= 0) {
        throw EIdOperationTimeout(currentBound.boundMs);
    }
    return left;
}

TIdWaitResult WaitForSocket(int fd, short events, int timeoutMs, int wakeFd) {
    const std::int64_t start = MonotonicMs();
    for (;;) {
        if (TerminationRequested()) {
            throw EIdTerminationRequested();
        }
        std::int64_t wait = -1;
        if (timeoutMs >= 0) {
            const std::int64_t waited = MonotonicMs() - start;
            wait = std::max<std::int64_t>(timeoutMs - waited, 0);
        }
        const std::optional<std::int64_t> left = TIdOperationDeadline::RemainingMs();
        const bool deadlineFirst = left && (wait < 0 || *left < wait);
        if (deadlineFirst) {
            wait = *left;
        }
        pollfd entries[3] = {
            {fd, events, 0}, {terminationSwitch.Fd(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(entries, wakeFd >= 0 ? 3 : 2, static_cast<int>(wait));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;  // a signal is not the end of the wait
            }
            return TIdWaitResult::Failed;
        }
        if (entries[1].revents != 0 || TerminationRequested()) {
            throw EIdTerminationRequested();
        }
        if (wakeFd >= 0 && entries[2].revents != 0) {
            return TIdWaitResult::Woken;
        }
        if (entries[0].revents != 0) {
            return TIdWaitResult::Ready;
        }
        if (deadlineFirst) {
            TIdOperationDeadline::RemainingMs();  // raises once the bound has passed
            continue;
        }
        if (timeoutMs >= 0) {
            return TIdWaitResult::TimedOut;
        }
    }
}

}  // namespace velomaris
