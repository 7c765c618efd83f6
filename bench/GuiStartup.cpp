// Start-up time of the desktop program: from the start of the process to its main window being
// mapped and viewable on the X display. Runs the program several times (side page off, so it
// reaches nothing beyond loopback) and prints each time and the median; each run ends with
// SIGTERM and must exit with status 0. Needs a display: run it under xvfb-run (see
// GuiStartup.md).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/XWindows.h"

int main(int argc, char** argv) {
    if (argc < 2 || std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "usage: xvfb-run -a bench_GuiStartup PATH/TO/velomaris [RUNS]\n");
        return 2;
    }
    const std::string program = argv[1];
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    setenv("VELOMARIS_SIDE_PAGE", "off", 1);
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            // The program's own chatter (Chromium's start-up report) is not part of the result.
            std::freopen("/dev/null", "w", stderr);
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        bool shown = false;
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
            if (velomaris::XWindowViewable("VelomarisV3.0")) {
                shown = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
        const bool cleanExit = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::printf("run %d: %s %.3f s, exit %s\n", run + 1,
                    shown ? "visible after" : "NOT VISIBLE after", elapsed,
                    cleanExit ? "0" : "not clean");
        if (!shown || !cleanExit) {
            return 1;
        }
        seconds.push_back(elapsed);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("median %.3f s over %d runs (min %.3f, max %.3f)\n", seconds[seconds.size() / 2],
                runs, seconds.front(), seconds.back());
    return 0;
}
