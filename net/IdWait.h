// Every wait of the network components goes through WaitForSocket: the wait for incoming
// data, for room to send, for a connect and for a data connection. Besides its own limit
// each wait ends
// - at the deadline of the operation it serves (TIdOperationDeadline, per thread), with
//   EIdOperationTimeout, so a peer that trickles one byte at a time cannot hold an
//   operation for ever;
// - at once after a termination request (RequestTermination, from any thread or a signal
//   handler), with EIdTerminationRequested, so a program that is asked to end never sits in
//   a network wait.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/IdException.h"

namespace velomaris {

// The operation (a fetch, a login, an upload) did not finish within its overall bound.
class EIdOperationTimeout : public EIdReadTimeout {
public:
    explicit EIdOperationTimeout(std::int64_t boundMs);
    std::int64_t BoundMs() const noexcept { return boundMs_; }

private:
    std::int64_t boundMs_;
};

// The process was asked to end while a network wait was under way.
class EIdTerminationRequested : public EIdException {
public:
    EIdTerminationRequested() : EIdException("The program is ending.") {}
};

// Ends every network wait of the process, now and later. Only writes to a descriptor, so a
// signal handler may call it.
void RequestTermination() noexcept;
bool TerminationRequested() noexcept;
// Withdraws a request (for tests that make one inside a process that goes on).
void WithdrawTerminationRequest() noexcept;

// Bounds every network wait of the calling thread until it goes. Scopes nest: an inner one
// can shorten the bound, never lengthen it. A bound of 0 or less adds none.
class TIdOperationDeadline {
public:
    explicit TIdOperationDeadline(std::int64_t boundMs);
    ~TIdOperationDeadline();
    TIdOperationDeadline(const TIdOperationDeadline&) = delete;
    TIdOperationDeadline& operator=(const TIdOperationDeadline&) = delete;

    // Milliseconds left of the calling thread's bound; none when no scope bounds it. Raises
    // EIdOperationTimeout once the bound has passed.
    static std::optional<std::int64_t> RemainingMs();

private:
    // The end as milliseconds of the monotonic clock (this header stays free of <chrono>,
    // which GBK-compiled sources cannot include).
    struct Bound {
        std::int64_t endMs;
        std::int64_t boundMs;
    };
    std::optional<Bound> saved_;
};

// What ended a wait.
enum class TIdWaitResult { Ready, TimedOut, Woken, Failed };

// Waits until fd has one of the poll events, at most timeoutMs (below 0: no limit of its own),
// going on after a signal. wakeFd (-1: none) ends the wait with Woken once readable. Failed
// means poll itself failed (errno says why). Raises EIdOperationTimeout when the thread's
// operation deadline passes first, and EIdTerminationRequested after a termination request.
TIdWaitResult WaitForSocket(int fd, short events, int timeoutMs, int wakeFd = -1);

}  // namespace velomaris
