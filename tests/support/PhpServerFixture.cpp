#include "tests/support/PhpServerFixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace velomaris {

PhpServerFixture::PhpServerFixture(const std::string& router, int workers) {
    root_.Write("router.php", router);
    const std::string rootPath = root_.Path();
    const std::string routerPath = root_.File("router.php");
    const std::string workerCount = std::to_string(workers < 1 ? 1 : workers);

    const std::string logPath = logDir_.File("server.log");
    // Everything the child needs is prepared before the fork: only async-signal-safe calls
    // may follow it in a process that runs threads.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        environment.emplace_back(*entry);
    }
    if (workers > 1) {
        environment.push_back("PHP_CLI_SERVER_WORKERS=" + workerCount);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = {"php", "-n", "-S", "127.0.0.1:0", "-t", rootPath, routerPath};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // The server must not outlive a test binary that crashes.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        // Its own process group, so that the workers it forks go with it.
        ::setpgid(0, 0);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        // The server announces its address ("... started") and logs requests on stderr.
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
        ::dup2(log, 1);
        ::dup2(log, 2);
        // Port 0: the system chooses, and the server prints the port it got.
        ::execve("/usr/bin/php", argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid_ < 0) {
        throw std::runtime_error("PhpServerFixture: fork failed");
    }
    ::setpgid(pid_, pid_);  // also here, so that Stop never races the child's own call
    const std::regex started(R"(\(http://127\.0\.0\.1:(\d+)\) started)");
    std::string text;
    std::smatch match;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        try {
            text = logDir_.Read("server.log");
        } catch (const std::exception&) {
            text.clear();  // not created yet
        }
        if (std::regex_search(text, match, started) ||
            std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;  // ended before it listened, and reaped
            break;
        }
        // A real process starting up: there is no clock to advance instead.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (match.empty()) {
        Stop();
        throw std::runtime_error("PhpServerFixture: php -S did not start: " + text);
    }
    port_ = std::stoi(match[1].str());
}

PhpServerFixture::~PhpServerFixture() {
    Stop();
}

std::string PhpServerFixture::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void PhpServerFixture::Stop() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(-pid_, SIGTERM);
    // Wait for the server to end without reaping it: while it is an unreaped child its
    // number cannot be reused, so the group signal below reaches only its own workers.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid != 0 || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(-pid_, SIGKILL);  // a server that did not end, and workers that outlived it
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

}  // namespace velomaris
