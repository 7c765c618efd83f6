#include "tests/support/FtpServerFixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace velomaris {

namespace {

// Serves one user on 127.0.0.1, port 0 (the system's choice), and prints the port.
const char* const kServerScript = R"PY(
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.CRITICAL)
home, user, password = sys.argv[1:4]
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, home, perm="elradfmwMT")

class Handler(FTPHandler):
    pass

Handler.authorizer = authorizer
Handler.auth_failed_timeout = 0
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever(handle_exit=True)
)PY";

}  // namespace

FtpServerFixture::FtpServerFixture() {
    ::mkdir(Home().c_str(), 0755);
    dir_.Write("server.py", kServerScript);
    const std::string script = dir_.File("server.py");
    const std::string log = dir_.File("server.log");
    const std::string home = Home();

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("FtpServerFixture: pipe failed");
    }
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // The server must not outlive a test binary that crashes.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(pipeEnds[1], 1);
        int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(logFd, 2);
        ::execl("/usr/bin/python3", "python3", script.c_str(), home.c_str(), user_.c_str(),
                password_.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    output_ = pipeEnds[0];
    if (pid_ < 0) {
        ::close(output_);
        throw std::runtime_error("FtpServerFixture: fork failed");
    }
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{output_, POLLIN, 0};
        if (::poll(&entry, 1, 100) != 1) {
            continue;
        }
        char block[64];
        ssize_t n = ::read(output_, block, sizeof block);
        if (n <= 0) {
            break;  // the server ended before it listened
        }
        line.append(block, static_cast<std::size_t>(n));
    }
    try {
        port_ = std::stoi(line);
    } catch (const std::exception&) {
        port_ = 0;
    }
    if (port_ <= 0) {
        Stop();
        std::string output;
        try {
            output = dir_.Read("server.log");
        } catch (...) {
        }
        throw std::runtime_error("FtpServerFixture: pyftpdlib did not start: " + output);
    }
}

FtpServerFixture::~FtpServerFixture() {
    Stop();
}

void FtpServerFixture::Stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }
    if (output_ >= 0) {
        ::close(output_);
        output_ = -1;
    }
}

}  // namespace velomaris
