#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace velomaris {

namespace {

using namespace std::chrono_literals;

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The test's environment with the additions, an addition replacing an entry of its name.
std::vector<std::string> Environment(const std::vector<std::string>& additions) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const std::string& addition : additions) {
            const std::size_t name = addition.find('=') + 1;  // "NAME=", or 0 without '='
            replaced = replaced || (name > 0 && text.compare(0, name, addition, 0, name) == 0);
        }
        if (!replaced) {
            result.push_back(text);
        }
    }
    result.insert(result.end(), additions.begin(), additions.end());
    return result;
}

}  // namespace

ChildProcess::ChildProcess(const Options& options) : ownGroup_(options.ownProcessGroup) {
    // Everything the child needs is prepared before the fork: only async-signal-safe calls
    // may follow it in a process that runs threads.
    std::vector<std::string> args = {options.program};
    args.insert(args.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv = Pointers(args);
    std::vector<std::string> environment = Environment(options.environment);
    std::vector<char*> envp = Pointers(environment);
    const char* const directory = options.directory.empty() ? nullptr : options.directory.c_str();
    const char* const outputFile = options.outputFile.c_str();
    const Sink stdoutTo = options.stdoutTo;
    const Sink stderrTo = options.stderrTo;
    const bool ownGroup = ownGroup_;

    int pipeEnds[2] = {-1, -1};
    if ((stdoutTo == Sink::Pipe || stderrTo == Sink::Pipe) && ::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("ChildProcess: pipe failed");
    }
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // The child must not outlive a test binary that crashes.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        if (ownGroup) {
            ::setpgid(0, 0);
        }
        const int null = ::open("/dev/null", O_RDWR);
        const bool toFile = stdoutTo == Sink::File || stderrTo == Sink::File;
        const int file =
            toFile ? ::open(outputFile, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644) : -1;
        auto target = [&](Sink sink) {
            return sink == Sink::Pipe ? pipeEnds[1] : sink == Sink::File ? file : null;
        };
        ::dup2(null, STDIN_FILENO);
        ::dup2(target(stdoutTo), STDOUT_FILENO);
        ::dup2(target(stderrTo), STDERR_FILENO);
        // No descriptor of the test (a client socket, a listener) may stay open in the child.
        ::close_range(3, ~0U, 0);
        if (directory != nullptr && ::chdir(directory) != 0) {
            ::_exit(126);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (pipeEnds[1] >= 0) {
        ::close(pipeEnds[1]);
    }
    pipe_ = pipeEnds[0];
    if (pid_ < 0) {
        if (pipe_ >= 0) {
            ::close(pipe_);
        }
        throw std::runtime_error("ChildProcess: fork failed");
    }
    if (ownGroup_) {
        ::setpgid(pid_, pid_);  // also here, so that no signal to the group races the child
    }
}

ChildProcess::~ChildProcess() {
    Stop(SIGKILL, 0ms);
}

bool ChildProcess::Running() const {
    if (pid_ <= 0) {
        return false;
    }
    // WNOWAIT: the child stays unreaped, so its number (and its group's) is not reused
    // while this object may still signal it.
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

bool ChildProcess::WaitUntil(const std::function<bool()>& condition,
                             std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= 0ms) {
            return false;
        }
        if (pipe_ >= 0) {
            ReadSome(std::min(left, 20ms));
        } else if (!Running()) {
            return condition();  // nothing more can come from the child
        } else {
            // A real process at work: there is no clock to advance instead.
            std::this_thread::sleep_for(std::min(left, 10ms));
        }
    }
}

bool ChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
    return WaitUntil([this, &text] { return output_.find(text) != std::string::npos; }, limit);
}

int ChildProcess::Stop(int signal, std::chrono::milliseconds grace) {
    if (pid_ > 0) {
        if (Running()) {
            Signal(signal);
            const auto deadline = std::chrono::steady_clock::now() + grace;
            while (Running() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(10ms);
            }
        }
        // A child that did not end, and processes of its group that outlived it. The child is
        // still unreaped, so its number cannot belong to anyone else yet.
        Signal(SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    while (pipe_ >= 0 && ReadSome(100ms)) {
    }
    if (pipe_ >= 0) {
        ::close(pipe_);
        pipe_ = -1;
    }
    return exitStatus_;
}

void ChildProcess::Signal(int signal) const {
    ::kill(ownGroup_ ? -pid_ : pid_, signal);
}

bool ChildProcess::ReadSome(std::chrono::milliseconds timeout) {
    pollfd entry{pipe_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(timeout.count())) != 1) {
        return false;
    }
    char block[4096];
    const ssize_t n = ::read(pipe_, block, sizeof block);
    if (n <= 0) {
        // End of output: the child and everything it started have closed it.
        ::close(pipe_);
        pipe_ = -1;
        return false;
    }
    output_.append(block, static_cast<std::size_t>(n));
    return true;
}

}  // namespace velomaris
