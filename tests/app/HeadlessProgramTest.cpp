// Runs the real velomaris-headless from a directory of its own and talks to it with signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;

const std::string kMissingFilesUtf8 = "软件缺少必要文件，无法启动";

// A copy of the program in a temporary directory, started with its stderr on a pipe. The
// process is killed and reaped whatever happens to the test.
class HeadlessProgram {
public:
    explicit HeadlessProgram(const TempDir& dir) {
        const std::string program = dir.File("velomaris-headless");
        std::filesystem::copy_file(VELOMARIS_HEADLESS_PATH, program);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDERR_FILENO);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            // Started from elsewhere: the program must find its files beside itself.
            if (::chdir("/") != 0) {
                ::_exit(126);
            }
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        stderr_ = fds[0];
    }
    ~HeadlessProgram() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stderr_ >= 0) {
            ::close(stderr_);
        }
    }
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    // Reads stderr until it holds the text, or the time is up, or the program closed it.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (output_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left <= 0ms || !ReadSome(static_cast<int>(left.count()))) {
                return false;
            }
        }
        return true;
    }
    bool Running() { return ::waitpid(pid_, nullptr, WNOHANG) == 0; }
    // Sends the signal and returns the exit status (-1 unless it exited normally).
    int StopWith(int signal) {
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        while (ReadSome(1000)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& Output() const { return output_; }

private:
    // False at end of file or when nothing came within the time.
    bool ReadSome(int timeoutMs) {
        pollfd p{stderr_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t n = ::read(stderr_, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        output_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    bool reaped_ = false;
    int stderr_ = -1;
    std::string output_;
};

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(HeadlessProgramTest, WithoutTheTemplatesItSaysSoOnceAndRunsUntilSigterm) {
    TempDir dir;
    HeadlessProgram program(dir);
    ASSERT_TRUE(program.WaitForOutput(kMissingFilesUtf8, 10s)) << program.Output();
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(program.StopWith(SIGTERM), 0);
    EXPECT_EQ(Count(program.Output(), kMissingFilesUtf8), 1u) << program.Output();
    EXPECT_NE(program.Output().find("[提示] (error) 软件缺少必要文件，无法启动\n在线帮助："
                                    "support@example.com\n"),
              std::string::npos)
        << program.Output();
}

TEST(HeadlessProgramTest, WithItsFilesItStartsQuietlyAndEndsOnSigint) {
    TempDir dir;
    const std::string beside = std::filesystem::path(VELOMARIS_HEADLESS_PATH).parent_path();
    for (const char* name : {"checkweb.html", "checkweb2.html"}) {
        std::filesystem::copy_file(beside + "/" + name, dir.File(name));
    }
    HeadlessProgram program(dir);
    // Nothing to wait for in the output: a reload of the settings would be silent too. The
    // settings file is never created by reading it.
    EXPECT_FALSE(program.WaitForOutput(kMissingFilesUtf8, 300ms));
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(program.StopWith(SIGINT), 0);
    EXPECT_EQ(program.Output(), "");
    EXPECT_FALSE(std::filesystem::exists(dir.File("setfile.ini")));
}

}  // namespace
}  // namespace velomaris
