// Runs a check as an unprivileged user, so that file permissions apply even when the tests run
// as root (root may write into any directory, which hides the failures under test).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace velomaris::testing {

// The uid and gid a check drops to when the test runs as root ("nobody" on Debian).
inline constexpr uid_t kUnprivilegedId = 65534;

// Runs check in a forked child, as kUnprivilegedId when the test runs as root, and returns
// what it returned. Only plain code belongs in check: the child leaves with _exit, and no
// gtest assertion made there reaches the parent.
inline bool RunUnprivileged(const std::function<bool()>& check) {
    pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgid(kUnprivilegedId) != 0 || ::setuid(kUnprivilegedId) != 0)) {
            ::_exit(2);
        }
        bool ok = false;
        try {
            ok = check();
        } catch (...) {
            ok = false;
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace velomaris::testing
