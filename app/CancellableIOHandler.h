// The socket IO handler of the headless browser: its connect waits at most a given time, and
// every wait (connect or read) ends at once when the navigation it serves is cancelled, so a
// newer navigation or the end of the engine never waits for a silent server.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"

namespace velomaris {

// A navigation that was superseded or whose engine is going away.
class EIdNavigationCancelled : public EIdException {
public:
    EIdNavigationCancelled() : EIdException("The navigation was cancelled") {}
};

// A one-way switch that any thread may throw; the handler's waits watch its descriptor.
class TCancelSignal {
public:
    // Raises EIdException when the system has no descriptor left for it.
    TCancelSignal();
    ~TCancelSignal();
    TCancelSignal(const TCancelSignal&) = delete;
    TCancelSignal& operator=(const TCancelSignal&) = delete;

    // Any thread, any number of times.
    void Cancel() noexcept;
    bool Cancelled() const noexcept { return cancelled_.load(); }
    // Readable once cancelled.
    int Fd() const noexcept { return fd_; }
    // Raises EIdNavigationCancelled once cancelled.
    void Check() const;

private:
    int fd_ = -1;
    std::atomic<bool> cancelled_{false};
};

class TCancellableIOHandler final : public TIdIOHandlerSocket {
public:
    // connectTimeoutMs bounds each connect (0 or less: the system's own limit); the client's
    // own time-out argument is not used, so the connect and the read limits stay separate.
    TCancellableIOHandler(std::shared_ptr<const TCancelSignal> cancel, int connectTimeoutMs);

    // As the plain socket handler, but the connect runs without blocking and is abandoned
    // with Windows Sockets error 10060 (timed out) after the connect time-out.
    void ConnectTo(const std::string& host, int port, int timeoutMs, const std::string& boundIP,
                   int boundPort) override;
    // As the plain socket handler, also watching the cancel signal.
    bool WaitReadable(int timeoutMs) override;

private:
    void ConnectWithin(int timeoutMs);

    std::shared_ptr<const TCancelSignal> cancel_;
    int connectTimeoutMs_;
};

}  // namespace velomaris
