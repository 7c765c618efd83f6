// The child-process helper that starts the local servers and the real program: what it passes
// to the child, what it captures, and that a stop leaves no process behind.
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;

ChildProcess::Options Shell(const std::string& script) {
    ChildProcess::Options options;
    options.program = "/bin/sh";
    options.arguments = {"-c", script};
    options.stdoutTo = ChildProcess::Sink::Pipe;
    return options;
}

// A zombie counts as gone: whoever adopted it may be slow to reap it.
bool ProcessExists(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidField;
    std::string name;
    std::string state;
    if (!(stat >> pidField >> name >> state)) {
        return false;
    }
    return state != "Z";
}

TEST(ChildProcessTest, ArgumentsEnvironmentAndDirectoryReachTheChild) {
    testing::ScopedEnvironment environment;
    environment.Set("VELOMARIS_CHILD_A", "test");
    environment.Set("VELOMARIS_CHILD_B", "kept");
    TempDir dir;
    ChildProcess::Options options = Shell(
        "printf '%s|%s|%s|%s|' \"$0\" \"$VELOMARIS_CHILD_A\" \"$VELOMARIS_CHILD_B\" \"$(pwd)\"; "
        "env | grep -c '^VELOMARIS_CHILD_A='");
    options.arguments.push_back("first argument");
    options.environment = {"VELOMARIS_CHILD_A=child"};
    options.directory = dir.Directory();
    ChildProcess child(options);
    EXPECT_EQ(child.Stop(0, 5s), 0);  // signal 0: only waits for the end
    // The addition replaces the test's own entry instead of adding a second one.
    EXPECT_EQ(child.Output(), "first argument|child|kept|" + dir.Directory() + "|1\n");
}

TEST(ChildProcessTest, OutputGoesToThePipeTheFileOrNowhere) {
    TempDir dir;
    ChildProcess::Options options = Shell("echo out; echo err >&2");
    options.stderrTo = ChildProcess::Sink::File;
    options.outputFile = dir.File("log");
    ChildProcess toFile(options);
    EXPECT_EQ(toFile.Stop(0, 5s), 0);
    EXPECT_EQ(toFile.Output(), "out\n");
    EXPECT_EQ(dir.Read("log"), "err\n");

    options.stdoutTo = ChildProcess::Sink::Null;
    options.stderrTo = ChildProcess::Sink::Pipe;
    ChildProcess toPipe(options);
    EXPECT_EQ(toPipe.Stop(0, 5s), 0);
    EXPECT_EQ(toPipe.Output(), "err\n");
}

TEST(ChildProcessTest, ExitStatusAndAProgramThatCannotRun) {
    ChildProcess failing(Shell("exit 3"));
    EXPECT_EQ(failing.Stop(0, 5s), 3);
    EXPECT_EQ(failing.Stop(SIGKILL, 0ms), 3) << "a later call answers the same";

    ChildProcess::Options missing;
    missing.program = "/nonexistent/program";
    ChildProcess notRun(missing);
    EXPECT_EQ(notRun.Stop(0, 5s), 127);

    ChildProcess::Options nowhere = Shell("true");
    nowhere.directory = "/nonexistent/directory";
    ChildProcess notEntered(nowhere);
    EXPECT_EQ(notEntered.Stop(0, 5s), 126);
}

TEST(ChildProcessTest, WaitingEndsWhenTheConditionHoldsOrTheChildHasEnded) {
    ChildProcess child(Shell("echo ready; exec sleep 30"));
    EXPECT_TRUE(child.WaitForOutput("ready", 10s));
    EXPECT_TRUE(child.Running());
    EXPECT_FALSE(child.WaitForOutput("never", 50ms));
    EXPECT_EQ(child.Stop(SIGTERM, 5s), -1);  // ended by the signal
    EXPECT_FALSE(child.Running());

    ChildProcess ended(Shell("echo done"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ended.WaitForOutput("never", 30s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s) << "no waiting on a child that ended";
    EXPECT_EQ(ended.Output(), "done\n");
}

TEST(ChildProcessTest, AChildThatIgnoresTheSignalIsKilledAfterTheGrace) {
    ChildProcess stubborn(Shell("trap '' TERM; echo ready; while :; do sleep 1; done"));
    ASSERT_TRUE(stubborn.WaitForOutput("ready", 10s));
    EXPECT_EQ(stubborn.Stop(SIGTERM, 100ms), -1);
    EXPECT_FALSE(stubborn.Running());
}

TEST(ChildProcessTest, StoppingAGroupLeavesNoneOfItsProcessesBehind) {
    int grandchild = 0;
    {
        ChildProcess::Options options = Shell("sleep 60 & echo $!; wait");
        options.ownProcessGroup = true;
        ChildProcess child(options);
        ASSERT_TRUE(child.WaitForOutput("\n", 10s));
        grandchild = std::atoi(child.Output().c_str());
        ASSERT_GT(grandchild, 0);
        EXPECT_TRUE(ProcessExists(grandchild));
        child.Stop(SIGTERM, 5s);
    }
    // The grandchild is the init process's to reap: wait for it to go.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ProcessExists(grandchild) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(ProcessExists(grandchild));
}

}  // namespace
}  // namespace velomaris
