// A server on 127.0.0.1 (a port the system chooses) that answers one connection with fixed
// bytes: it reads the request head up to its blank line, sends the answer and closes. Free of
// <chrono>, so the GBK-compiled workflow tests can use it.
#pragma once

#include <memory>
#include <string>

namespace velomaris {

class OneShotServer {
public:
    // Starts listening and serving on a thread of its own.
    explicit OneShotServer(std::string answer);
    // Waits for the serving thread (which gives up after 10 s without a client).
    ~OneShotServer();
    OneShotServer(const OneShotServer&) = delete;
    OneShotServer& operator=(const OneShotServer&) = delete;

    int Port() const;
    // The request head received (empty before a client came).
    std::string Request() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace velomaris
