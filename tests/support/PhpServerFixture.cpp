#include "tests/support/PhpServerFixture.h"

#include <signal.h>

#include <chrono>
#include <regex>
#include <stdexcept>

#include "tests/support/ChildProcess.h"

namespace velomaris {

PhpServerFixture::PhpServerFixture(const std::string& router, int workers) {
    root_.Write("router.php", router);
    ChildProcess::Options options;
    options.program = "/usr/bin/php";
    // Port 0: the system chooses, and the server prints the port it got.
    options.arguments = {"-n", "-S", "127.0.0.1:0", "-t", root_.Path(), root_.File("router.php")};
    if (workers > 1) {
        options.environment.push_back("PHP_CLI_SERVER_WORKERS=" + std::to_string(workers));
    }
    // The server announces its address ("... started") and logs requests on stderr.
    options.stdoutTo = ChildProcess::Sink::File;
    options.stderrTo = ChildProcess::Sink::File;
    options.outputFile = logDir_.File("server.log");
    // Its own process group, so that the workers it forks go with it.
    options.ownProcessGroup = true;
    server_ = std::make_unique<ChildProcess>(options);

    const std::regex started(R"(\(http://127\.0\.0\.1:(\d+)\) started)");
    std::string text;
    std::smatch match;
    server_->WaitUntil(
        [&] {
            try {
                text = logDir_.Read("server.log");
            } catch (const std::exception&) {
                text.clear();  // not created yet
            }
            return std::regex_search(text, match, started);
        },
        std::chrono::seconds(20));
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
    if (server_) {
        server_->Stop(SIGTERM, std::chrono::seconds(5));
    }
}

}  // namespace velomaris
