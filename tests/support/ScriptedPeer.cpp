#include "tests/support/ScriptedPeer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <regex>
#include <stdexcept>

namespace velomaris {

namespace {

constexpr auto kLingerAfterScript = std::chrono::seconds(15);

int ListenOnLoopback() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("ScriptedPeer: socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
        ::close(fd);
        throw std::runtime_error("ScriptedPeer: bind/listen failed");
    }
    return fd;
}

int LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

}  // namespace

ScriptedPeer::ScriptedPeer() {
    listeners_.push_back(ListenOnLoopback());
}

ScriptedPeer::~ScriptedPeer() {
    if (!finished_) {
        // The test ended without Finish() (an assertion returned early): end the script now
        // instead of letting every remaining step run into its time-out.
        stop_ = true;
        Finish();
    }
    for (int fd : listeners_) {
        ::close(fd);
    }
}

int ScriptedPeer::AddListener() {
    listeners_.push_back(ListenOnLoopback());
    return static_cast<int>(listeners_.size()) - 1;
}

int ScriptedPeer::ListenerPort(int index) const {
    return LocalPort(listeners_.at(static_cast<std::size_t>(index)));
}

std::string ScriptedPeer::Escape(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\\') {
            text += "\\\\";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            text += hex;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

ScriptedPeer& ScriptedPeer::Add(std::string name, Step step) {
    steps_.emplace_back(std::move(name), std::move(step));
    return *this;
}

ScriptedPeer& ScriptedPeer::Accept(int listener) {
    return Add("Accept(" + std::to_string(listener) + ")", [this, listener] {
        int fd = listeners_.at(static_cast<std::size_t>(listener));
        pollfd entry{fd, POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() + StepTimeout;
        while (!stop_) {
            if (std::chrono::steady_clock::now() >= deadline) {
                Fail("no connection arrived");
                return;
            }
            if (::poll(&entry, 1, 50) == 1) {
                break;
            }
        }
        int accepted = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted < 0) {
            Fail(std::string("accept failed: ") + std::strerror(errno));
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.push_back(std::make_unique<Connection>());
        connections_.back()->fd = accepted;
        current_ = static_cast<int>(connections_.size()) - 1;
    });
}

ScriptedPeer& ScriptedPeer::ConnectBack(std::function<int(const std::string&)> portOf) {
    return Add("ConnectBack", [this, portOf] {
        const int port = portOf(lastLine_);
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            Fail("connect back to port " + std::to_string(port) +
                 " failed: " + std::strerror(errno));
            ::close(fd);
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.push_back(std::make_unique<Connection>());
        connections_.back()->fd = fd;
        current_ = static_cast<int>(connections_.size()) - 1;
    });
}

ScriptedPeer& ScriptedPeer::Use(int connection) {
    return Add("Use(" + std::to_string(connection) + ")", [this, connection] {
        if (connection < 0 || connection >= ConnectionCount()) {
            Fail("no connection " + std::to_string(connection));
            return;
        }
        current_ = connection;
    });
}

ScriptedPeer& ScriptedPeer::ExpectLine(const std::string& line) {
    return Add("ExpectLine(\"" + Escape(line) + "\")", [this, line] {
        const std::string got = TakeLine("the line \"" + Escape(line) + "\\r\\n\"");
        if (Failed()) {
            return;
        }
        if (got != line + "\r\n") {
            Fail("expected the line \"" + Escape(line + "\r\n") + "\"\n            got \"" +
                 Escape(got) + "\"");
        }
    });
}

ScriptedPeer& ScriptedPeer::ExpectLineMatching(const std::string& pattern) {
    return Add("ExpectLineMatching(/" + Escape(pattern) + "/)", [this, pattern] {
        std::string got = TakeLine("a line matching /" + Escape(pattern) + "/");
        if (Failed()) {
            return;
        }
        std::string bare = got;
        if (bare.size() >= 2 && bare.compare(bare.size() - 2, 2, "\r\n") == 0) {
            bare.resize(bare.size() - 2);
        } else {
            Fail("line \"" + Escape(got) + "\" does not end with CR LF");
            return;
        }
        if (!std::regex_match(bare, std::regex(pattern))) {
            Fail("expected a line matching /" + Escape(pattern) + "/\n            got \"" +
                 Escape(got) + "\"");
        }
    });
}

ScriptedPeer& ScriptedPeer::ExpectBytes(const std::string& bytes) {
    return Add("ExpectBytes(" + std::to_string(bytes.size()) + " bytes)", [this, bytes] {
        while (Current().inbox.size() < bytes.size()) {
            if (!ReadMore(std::to_string(bytes.size()) + " bytes")) {
                if (!Failed()) {
                    Fail("the client closed after " + std::to_string(Current().inbox.size()) +
                         " of " + std::to_string(bytes.size()) + " expected bytes");
                }
                return;
            }
        }
        std::string got = Current().inbox.substr(0, bytes.size());
        Current().inbox.erase(0, bytes.size());
        if (got != bytes) {
            std::size_t at = 0;
            while (got[at] == bytes[at]) {
                ++at;
            }
            Fail("bytes differ at offset " + std::to_string(at) + ": expected \"" +
                 Escape(bytes.substr(at, 40)) + "\"\n            got \"" +
                 Escape(got.substr(at, 40)) + "\"");
        }
    });
}

ScriptedPeer& ScriptedPeer::ReadToEof() {
    return Add("ReadToEof", [this] {
        while (ReadMore("the client's close")) {
        }
        Current().inbox.clear();
    });
}

ScriptedPeer& ScriptedPeer::ExpectEof() {
    return Add("ExpectEof", [this] {
        while (ReadMore("the client's close")) {
        }
        if (!Failed() && !Current().inbox.empty()) {
            Fail("expected the client to close without sending, got \"" + Escape(Current().inbox) +
                 "\"");
        }
        Current().inbox.clear();
    });
}

ScriptedPeer& ScriptedPeer::Send(const std::string& bytes) {
    return Add("Send(\"" + Escape(bytes.substr(0, 60)) + "\")",
               [this, bytes] { SendAll(Current().fd, bytes.data(), bytes.size()); });
}

ScriptedPeer& ScriptedPeer::SendInPieces(const std::string& bytes, unsigned seed,
                                         std::size_t maxPiece) {
    return Add("SendInPieces(" + std::to_string(bytes.size()) + " bytes)",
               [this, bytes, seed, maxPiece] {
                   int on = 1;
                   ::setsockopt(Current().fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                   std::mt19937 random(seed);
                   std::uniform_int_distribution<std::size_t> size(1, maxPiece);
                   for (std::size_t at = 0; at < bytes.size() && !Failed();) {
                       const std::size_t n = std::min(size(random), bytes.size() - at);
                       SendAll(Current().fd, bytes.data() + at, n);
                       at += n;
                       std::this_thread::sleep_for(std::chrono::microseconds(300));
                   }
               });
}

ScriptedPeer& ScriptedPeer::Close() {
    return Add("Close", [this] {
        Connection& connection = Current();
        if (connection.fd >= 0) {
            ::shutdown(connection.fd, SHUT_WR);
            ::close(connection.fd);
            connection.fd = -1;
        }
    });
}

ScriptedPeer& ScriptedPeer::Reset() {
    return Add("Reset", [this] {
        Connection& connection = Current();
        if (connection.fd >= 0) {
            linger abortive{1, 0};
            ::setsockopt(connection.fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            ::close(connection.fd);
            connection.fd = -1;
        }
    });
}

ScriptedPeer& ScriptedPeer::Stall(std::chrono::milliseconds duration) {
    return Add("Stall(" + std::to_string(duration.count()) + " ms)", [this, duration] {
        const auto end = std::chrono::steady_clock::now() + duration;
        while (!stop_ && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
}

ScriptedPeer& ScriptedPeer::Do(std::function<void(ScriptedPeer&)> step) {
    return Add("Do", [this, step] { step(*this); });
}

void ScriptedPeer::Start() {
    thread_ = std::thread([this] { Run(); });
}

void ScriptedPeer::Run() {
    for (stepIndex_ = 0; stepIndex_ < steps_.size() && !Failed() && !stop_; ++stepIndex_) {
        const std::string& name = steps_[stepIndex_].first;
        const bool needsConnection = name != "Do" && name.rfind("Accept", 0) != 0 &&
                                     name != "ConnectBack" && name.rfind("Stall", 0) != 0 &&
                                     name.rfind("Use", 0) != 0;
        if (needsConnection && current_ < 0) {
            Fail("no connection yet (the script must Accept or ConnectBack first)");
            break;
        }
        try {
            steps_[stepIndex_].second();
        } catch (const std::exception& e) {
            Fail(std::string("the step raised: ") + e.what());
        }
    }
    if (Failed()) {
        ResetAll();  // unblock the client: it must fail, not hang
    }
    std::unique_lock<std::mutex> lock(mutex_);
    scriptDone_ = true;
    finishSignal_.wait_for(lock, kLingerAfterScript, [this] { return finishRequested_; });
    for (auto& connection : connections_) {
        if (connection->fd >= 0) {
            ::close(connection->fd);
            connection->fd = -1;
        }
    }
}

bool ScriptedPeer::Finish() {
    if (finished_) {
        std::lock_guard<std::mutex> lock(mutex_);
        return failures_.empty();
    }
    finished_ = true;
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finishRequested_ = true;
        }
        finishSignal_.notify_all();
        thread_.join();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& failure : failures_) {
        ADD_FAILURE() << failure;
    }
    return failures_.empty();
}

ScriptedPeer::Connection& ScriptedPeer::Current() {
    return *connections_.at(static_cast<std::size_t>(current_));
}

int ScriptedPeer::CurrentSocket() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_ < 0 ? -1 : connections_[static_cast<std::size_t>(current_)]->fd;
}

std::string ScriptedPeer::Received(int connection) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (connection < 0 || connection >= static_cast<int>(connections_.size())) {
        return std::string();
    }
    return connections_[static_cast<std::size_t>(connection)]->received;
}

std::string ScriptedPeer::LastLine() const {
    return lastLine_;
}

int ScriptedPeer::ConnectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(connections_.size());
}

void ScriptedPeer::Fail(const std::string& what) {
    if (stop_) {
        return;  // the test is over; what the interrupted step missed is no finding
    }
    std::string message = "ScriptedPeer step " + std::to_string(stepIndex_ + 1) + " (" +
                          (stepIndex_ < steps_.size() ? steps_[stepIndex_].first : "?") +
                          "): " + what;
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < connections_.size(); ++i) {
        message += "\n  connection " + std::to_string(i) + " received so far: \"" +
                   Escape(connections_[i]->received.substr(0, 2000)) + "\"";
    }
    failures_.push_back(message);
}

bool ScriptedPeer::Failed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !failures_.empty();
}

bool ScriptedPeer::ReadMore(const std::string& waitingFor) {
    Connection& connection = Current();
    if (connection.fd < 0) {
        Fail("waiting for " + waitingFor + " on a connection the script already closed");
        return false;
    }
    pollfd entry{connection.fd, POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + StepTimeout;
    while (!stop_) {
        if (std::chrono::steady_clock::now() >= deadline) {
            Fail("timed out waiting for " + waitingFor + "; unconsumed: \"" +
                 Escape(connection.inbox) + "\"");
            return false;
        }
        if (::poll(&entry, 1, 50) != 1) {
            continue;
        }
        char block[65536];
        ssize_t n = ::recv(connection.fd, block, sizeof block, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;  // EOF (or reset, which ends the stream the same way)
        }
        connection.inbox.append(block, static_cast<std::size_t>(n));
        std::lock_guard<std::mutex> lock(mutex_);
        connection.received.append(block, static_cast<std::size_t>(n));
        return true;
    }
    return false;
}

std::string ScriptedPeer::TakeLine(const std::string& waitingFor) {
    for (;;) {
        Connection& connection = Current();
        std::size_t lf = connection.inbox.find('\n');
        if (lf != std::string::npos) {
            std::string line = connection.inbox.substr(0, lf + 1);
            connection.inbox.erase(0, lf + 1);
            lastLine_ = line.substr(0, lf);
            if (!lastLine_.empty() && lastLine_.back() == '\r') {
                lastLine_.pop_back();
            }
            return line;
        }
        if (!ReadMore(waitingFor)) {
            if (!Failed()) {
                Fail("the client closed while the peer waited for " + waitingFor +
                     "; unconsumed: \"" + Escape(connection.inbox) + "\"");
            }
            return std::string();
        }
    }
}

void ScriptedPeer::SendAll(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        ssize_t n = ::send(fd, bytes, count, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Fail(std::string("send failed: ") + std::strerror(errno));
            return;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
}

void ScriptedPeer::ResetAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& connection : connections_) {
        if (connection->fd >= 0) {
            linger abortive{1, 0};
            ::setsockopt(connection->fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            ::close(connection->fd);
            connection->fd = -1;
        }
    }
}

}  // namespace velomaris
