#include "platform/shell/OpenAddress.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

// The executable the name stands for, searched in PATH as execvp would; empty when none.
bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string FindProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return IsExecutableFile(program) ? program : std::string();
    }
    const char* path = std::getenv("PATH");
    std::string directories = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t end = directories.find(':', start);
        // An empty entry of PATH means the current directory.
        std::string candidate =
            end == start ? std::string(".") : directories.substr(start, end - start);
        candidate.push_back('/');
        candidate.append(program);
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        if (end == std::string::npos) {
            return std::string();
        }
        start = end + 1;
    }
}

// Runs in the grandchild between fork and exec: async-signal-safe calls only.
[[noreturn]] void ExecDetached(const char* file, char* const argv[], int maxDescriptor) {
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
    // Sockets and files of the program (an FTP control connection, say) must not live on
    // in a browser started from here.
    if (::close_range(3, ~0U, 0) != 0) {
        for (int fd = 3; fd < maxDescriptor; ++fd) {
            ::close(fd);
        }
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(file, argv);
    ::_exit(127);
}

std::mutex& CurrentMutex() {
    static std::mutex mutex;
    return mutex;
}

AddressOpener*& CurrentOpener() {
    static AddressOpener* opener = nullptr;
    return opener;
}

}  // namespace

XdgOpenAddressOpener::XdgOpenAddressOpener(std::string program) : program_(std::move(program)) {}

bool XdgOpenAddressOpener::Open(const std::string& gbkAddress) {
    std::string address;
    try {
        address = GbkToUtf8(gbkAddress);
    } catch (const ETextConversionError&) {
        return false;  // an address with no UTF-8 form cannot be handed to any browser
    }
    const std::string file = FindProgram(program_);
    if (file.empty()) {
        return false;
    }
    // Everything exec needs is built before fork: the child may not allocate.
    std::string argv0 = program_;
    char* argv[] = {argv0.data(), address.data(), nullptr};
    const long openMax = ::sysconf(_SC_OPEN_MAX);
    const int maxDescriptor = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) : 65536;

    // Double fork: the intermediate child exits at once and is reaped here; the grandchild
    // that runs the opener is adopted by init, so nothing waits for it and no zombie stays.
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ExecDetached(file.c_str(), argv, maxDescriptor);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void OpenAddress(const std::string& gbkAddress) {
    static XdgOpenAddressOpener system;
    AddressOpener* opener = nullptr;
    {
        std::lock_guard<std::mutex> lock(CurrentMutex());
        opener = CurrentOpener();
    }
    // The result is ignored: the caller has nothing to report when no browser can be started.
    (void)(opener != nullptr ? opener : &system)->Open(gbkAddress);
}

ScopedAddressOpener::ScopedAddressOpener(AddressOpener& opener) {
    std::lock_guard<std::mutex> lock(CurrentMutex());
    previous_ = CurrentOpener();
    CurrentOpener() = &opener;
}

ScopedAddressOpener::~ScopedAddressOpener() {
    std::lock_guard<std::mutex> lock(CurrentMutex());
    CurrentOpener() = previous_;
}

}  // namespace velomaris
