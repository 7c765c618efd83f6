#include "platform/shell/OpenAddress.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/FileBytes.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace velomaris {
namespace {

class OpenAddressTest : public ::testing::Test {
protected:
    // A stand-in for xdg-open that reports its arguments, whether descriptor 9 is open and
    // its blocked signals, then renames its report into place so it is never read half-done.
    // Python, because sh clears its signal mask on start and would hide an inherited one.
    std::string WriteFakeOpener(const std::string& name) {
        const std::string script = dir_.File(name);
        const std::string report = dir_.File("report");
        testing::WriteBytes(
            script,
            "#!/usr/bin/python3\n"
            "import os, sys\n"
            "fd9 = b'fd9-open' if os.path.exists('/proc/self/fd/9') else b'fd9-closed'\n"
            "args = b''.join(os.fsencode(a) + b'|' for a in sys.argv[1:])\n"
            "with open('/proc/self/status', 'rb') as f:\n"
            "    blocked = [l for l in f if l.startswith(b'SigBlk')][0]\n"
            "with open('" +
                report +
                ".tmp', 'wb') as f:\n"
                "    f.write(args + b'\\n' + fd9 + b'\\n' + blocked)\n"
                "os.rename('" +
                report + ".tmp', '" + report + "')\n");
        ::chmod(script.c_str(), 0755);
        return script;
    }

    // The opener runs detached, so its report arrives some time after Open returned.
    std::string WaitForReport() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (std::filesystem::exists(dir_.File("report"))) {
                return testing::ReadBytes(dir_.File("report"));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "(no report)";
    }

    TempDir dir_;
};

TEST_F(OpenAddressTest, TheOpenerRunsDetachedWithACleanStart) {
    const std::string script = WriteFakeOpener("fake-open");
    // A descriptor without close-on-exec and a blocked signal, as the program may have.
    const int fd = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::dup2(fd, 9), 9);
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    sigset_t previous;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &block, &previous), 0);

    XdgOpenAddressOpener opener(script);
    const bool opened = opener.Open("http://www.example.com/a b?x=1&y=\xB2\xCE");

    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::close(9);
    ::close(fd);
    EXPECT_TRUE(opened);
    // The intermediate child is reaped already and the opener is not our child.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    EXPECT_EQ(WaitForReport(),
              "http://www.example.com/a b?x=1&y=\xE5\x8F\x82|\n"
              "fd9-closed\n"
              "SigBlk:\t0000000000000000\n");
}

TEST_F(OpenAddressTest, TheOpenerIsFoundInPath) {
    WriteFakeOpener("xdg-open");
    testing::ScopedEnvironment env;
    // A directory of that name earlier in PATH is no program.
    std::filesystem::create_directories(dir_.File("first/xdg-open"));
    env.Set("PATH", "/nonexistent:" + dir_.File("first") + ":" + dir_.Directory());
    EXPECT_TRUE(XdgOpenAddressOpener().Open("http://www.example.com/"));
    EXPECT_NE(WaitForReport().find("http://www.example.com/|"), std::string::npos);
}

TEST_F(OpenAddressTest, NothingIsStartedWithoutAnOpenerOrForAnAddressWithoutUtf8Form) {
    testing::ScopedEnvironment env;
    env.Set("PATH", dir_.Directory());
    EXPECT_FALSE(XdgOpenAddressOpener().Open("http://www.example.com/"));
    const std::string script = WriteFakeOpener("fake-open");
    EXPECT_FALSE(XdgOpenAddressOpener(script).Open("http://\x81/"));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("report")));
}

TEST_F(OpenAddressTest, OpenAddressUsesTheInstalledOpener) {
    RecordingAddressOpener recorder;
    {
        ScopedAddressOpener installed(recorder);
        OpenAddress("http://www.example.com/help");
        OpenAddress("mailto:support@example.com");
    }
    EXPECT_EQ(recorder.Addresses(), (std::vector<std::string>{"http://www.example.com/help",
                                                              "mailto:support@example.com"}));
}

}  // namespace
}  // namespace velomaris
