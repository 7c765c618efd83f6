// SIGTERM ends the real velomaris-headless promptly while its one thread is blocked in a
// network wait: a login against a server that never greets, one that trickles blank lines,
// and a page fetch that trickles its body. Each time: exit status 0 within 3 s, and no page
// file left behind.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "settings/PasswordCodec.h"
#include "settings/ValueEscape.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FtpServerFixture.h"
#include "tests/support/LoopbackSocket.h"
#include "tests/support/TempDir.h"
#include "tests/support/Trickle.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kTerminationLimit = 3s;

// The section names of setfile.ini in their GBK bytes ("FTP参数", "WEB参数", "启动设置",
// "软件启动项"): this test is compiled without GBK literals.
const std::string kFtpSection = "FTP\xb2\xce\xca\xfd";
const std::string kWebSection = "WEB\xb2\xce\xca\xfd";
const std::string kTimingSection = "\xc6\xf4\xb6\xaf\xc9\xe8\xd6\xc3";
const std::string kAutoStartSection = "\xc8\xed\xbc\xfe\xc6\xf4\xb6\xaf\xcf\xee";

// The program with its templates and a setfile.ini that starts the differential update at
// once, logged in to ftpPort as anna, converting webmain. The stored password is escaped as
// the program's own writer would: its random key bytes may be a line break or a blank.
class ProgramDirectory {
public:
    ProgramDirectory(int ftpPort, const std::string& password, const std::string& webmain) {
        const std::filesystem::path beside =
            std::filesystem::path(VELOMARIS_HEADLESS_PATH).parent_path();
        std::filesystem::copy_file(VELOMARIS_HEADLESS_PATH, dir.File("velomaris-headless"));
        for (const char* name : {"checkweb.html", "checkweb2.html"}) {
            std::filesystem::copy_file(beside / name, dir.File(name));
        }
        std::ofstream(dir.File("setfile.ini"), std::ios::binary)
            << "[" << kFtpSection << "]\r\nftpaddr=127.0.0.1:" << ftpPort
            << "\r\nftpuser=anna\r\nftppass=" << EscapeValue(EncodePassword(password))
            << "\r\nftpdir=/\r\n[" << kWebSection << "]\r\nwebmain=" << webmain
            << "\r\nwebfile=index\r\n[" << kTimingSection << "]\r\ndifftime=1000\r\n["
            << kAutoStartSection << "]\r\ndiff=1\r\ntime=0\r\n";
    }

    ChildProcess::Options Options() const {
        ChildProcess::Options options;
        options.program = dir.File("velomaris-headless");
        options.directory = "/";
        options.stderrTo = ChildProcess::Sink::Pipe;
        return options;
    }

    // The page file, or a temporary one on its way to becoming it.
    bool HoldsAPageFile() const {
        for (const auto& entry : std::filesystem::directory_iterator(dir.Directory())) {
            if (entry.path().filename().string().find("index") != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    TempDir dir;
};

// Accepts one connection of the listener within the limit; -1 when none came.
int AcceptWithin(const LoopbackSocket& listener, std::chrono::milliseconds limit) {
    pollfd entry{listener.Fd(), POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(limit.count())) != 1) {
        return -1;
    }
    return ::accept4(listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
}

// Reads a request head (up to its blank line) or until the peer goes.
void ReadRequestHead(int fd) {
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return;
        }
        head.append(buffer, static_cast<std::size_t>(n));
    }
}

// Sends SIGTERM and checks the end: status 0 within the limit, no page file, and no failure
// box for what the shutdown itself cut short (only the log says what was given up).
void ExpectPromptCleanEnd(ChildProcess& program, const ProgramDirectory& directory) {
    const auto start = Clock::now();
    EXPECT_EQ(program.Stop(SIGTERM, 10s), 0) << program.Output();
    EXPECT_LT(Clock::now() - start, kTerminationLimit) << program.Output();
    EXPECT_FALSE(directory.HoldsAPageFile());
    EXPECT_EQ(program.Output().find("(error)"), std::string::npos) << program.Output();
    EXPECT_NE(program.Output().find("failure not shown, the program is ending"), std::string::npos)
        << program.Output();
}

TEST(HeadlessTerminationTest, EndsWhileTheLoginWaitsForAGreeting) {
    struct Row {
        const char* what;
        const char* trickle;  // sent over and over; none: silence
    };
    for (const Row row : {Row{"a silent server", nullptr}, Row{"blank lines", "\r\n"}}) {
        SCOPED_TRACE(row.what);
        LoopbackSocket listener;
        listener.Listen(4);
        ProgramDirectory directory(listener.Port(), "secret", "http://127.0.0.1:1/index.php");
        ChildProcess program(directory.Options());
        const int connection = AcceptWithin(listener, 120s);
        ASSERT_GE(connection, 0) << "the program never logged in: " << program.Output();
        std::thread server;
        if (row.trickle != nullptr) {
            server =
                std::thread([connection, &row] { Trickle(connection, row.trickle, 100ms, 15s); });
        }
        // The program is inside its login now; give it a moment in the wait.
        std::this_thread::sleep_for(500ms);
        ExpectPromptCleanEnd(program, directory);
        if (server.joinable()) {
            server.join();
        }
        ::close(connection);
    }
}

TEST(HeadlessTerminationTest, EndsWhileThePageFetchTrickles) {
    // Generous: a loaded machine running sanitizer builds side by side may take many times
    // the few seconds this needs, and the limit only decides how long a real fault takes.
    constexpr auto kStartLimit = 180s;
    FtpServerFixture ftp;
    LoopbackSocket listener;
    listener.Listen(8);
    std::atomic<bool> fetchTrickling{false};
    // The browser's site check gets the page; the fetch that follows gets a body that comes
    // one byte at a time.
    std::thread server([&] {
        const int check = AcceptWithin(listener, kStartLimit);
        if (check < 0) {
            return;
        }
        ReadRequestHead(check);
        const std::string page = "<html><body>the page</body></html>";
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
            "Content-Length: " +
            std::to_string(page.size()) + "\r\n\r\n" + page;
        ::send(check, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::close(check);
        const int fetch = AcceptWithin(listener, kStartLimit);
        if (fetch < 0) {
            return;
        }
        ReadRequestHead(fetch);
        const std::string head =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000\r\n\r\n<html>";
        ::send(fetch, head.data(), head.size(), MSG_NOSIGNAL);
        fetchTrickling = true;
        Trickle(fetch, "x", 100ms, 20s);
        ::close(fetch);
    });
    ProgramDirectory directory(
        ftp.Port(), ftp.Password(),
        "http://127.0.0.1:" + std::to_string(listener.Port()) + "/index.php");
    ChildProcess program(directory.Options());
    if (!program.WaitUntil([&] { return fetchTrickling.load(); }, kStartLimit)) {
        // Wake the server from its accept (a shut-down listener ends the poll) before failing.
        ::shutdown(listener.Fd(), SHUT_RDWR);
        server.join();
        program.Stop(SIGKILL, 1s);
        FAIL() << "the page fetch never started: " << program.Output();
    }
    std::this_thread::sleep_for(500ms);
    ExpectPromptCleanEnd(program, directory);
    server.join();
}

}  // namespace
}  // namespace velomaris
