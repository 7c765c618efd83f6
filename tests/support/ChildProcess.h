// A child process for tests: a local server or the real program, started with its arguments,
// environment additions and directory, its output captured or sent to a file, and always
// stopped and reaped (with the processes of its group) before the object goes. A child never
// outlives a test binary that crashes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace velomaris {

class ChildProcess {
public:
    // Where the child's standard output or error goes. Pipe: into Output(), stdout and stderr
    // together when both go there. File: into Options::outputFile (created or truncated).
    enum class Sink { Null, Pipe, File };

    struct Options {
        std::string program;                 // the file to run; also its argv[0]
        std::vector<std::string> arguments;  // argv[1] onwards
        // "NAME=value" entries added to the test's own environment.
        std::vector<std::string> environment;
        std::string directory;  // where it starts; empty: where the test runs
        Sink stdoutTo = Sink::Null;
        Sink stderrTo = Sink::Null;
        std::string outputFile;
        // Its own process group: signals reach the processes it starts as well.
        bool ownProcessGroup = false;
    };

    // Starts the child; raises std::runtime_error when that fails. A program that cannot be
    // run ends at once with status 127 (126 when the directory cannot be entered).
    explicit ChildProcess(const Options& options);
    // Kills what still runs (SIGKILL, the group too) and reaps it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // True until the child has ended (it is reaped only by Stop).
    bool Running() const;

    // Reads the output while checking the condition, until it holds (true) or the limit is
    // up or the child has ended with its output closed (false).
    bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit);
    // What the child wrote to the pipe so far.
    const std::string& Output() const { return output_; }

    // Sends the signal (unless the child has ended), waits up to grace for it to end, then
    // kills what is left, reaps the child and reads the rest of its output. Returns the exit
    // status, or -1 when it did not exit normally. Later calls return the same.
    int Stop(int signal, std::chrono::milliseconds grace);

private:
    void Signal(int signal) const;
    // Reads what arrives within the time; false at end of output or when nothing came.
    bool ReadSome(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    bool ownGroup_ = false;
    int pipe_ = -1;
    std::string output_;
    int exitStatus_ = -1;
};

}  // namespace velomaris
