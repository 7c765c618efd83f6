#include "tests/support/OneShotServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "tests/support/LoopbackSocket.h"

namespace velomaris {

struct OneShotServer::State {
    LoopbackSocket listener;
    std::string answer;
    mutable std::mutex mutex;
    std::string request;
    std::thread thread;

    void Serve() {
        pollfd entry{listener.Fd(), POLLIN, 0};
        if (::poll(&entry, 1, 10000) != 1) {
            return;
        }
        const int fd = ::accept4(listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        std::string head;
        char buffer[1024];
        pollfd client{fd, POLLIN, 0};
        while (head.find("\r\n\r\n") == std::string::npos && ::poll(&client, 1, 10000) == 1) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            head.append(buffer, static_cast<std::size_t>(n));
        }
        {
            std::lock_guard lock(mutex);
            request = head;
        }
        ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::close(fd);
    }
};

OneShotServer::OneShotServer(std::string answer) : state_(std::make_unique<State>()) {
    state_->answer = std::move(answer);
    state_->listener.Listen(1);
    state_->thread = std::thread([state = state_.get()] { state->Serve(); });
}

OneShotServer::~OneShotServer() {
    state_->thread.join();
}

int OneShotServer::Port() const {
    return state_->listener.Port();
}

std::string OneShotServer::Request() const {
    std::lock_guard lock(state_->mutex);
    return state_->request;
}

}  // namespace velomaris
