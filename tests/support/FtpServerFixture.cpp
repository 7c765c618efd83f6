#include "tests/support/FtpServerFixture.h"

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <stdexcept>

#include "tests/support/ChildProcess.h"

namespace velomaris {

namespace {

// Serves one user on 127.0.0.1, port 0 (the system's choice), and prints the port.
const char* const kServerScript = R"PY(
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.CRITICAL)
home, user, password = sys.argv[1:4]
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, home, perm="elradfmwMT")

class Handler(FTPHandler):
    pass

Handler.authorizer = authorizer
Handler.auth_failed_timeout = 0
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever(handle_exit=True)
)PY";

}  // namespace

FtpServerFixture::FtpServerFixture() {
    ::mkdir(Home().c_str(), 0755);
    dir_.Write("server.py", kServerScript);
    ChildProcess::Options options;
    options.program = "/usr/bin/python3";
    options.arguments = {dir_.File("server.py"), Home(), user_, password_};
    // The port on stdout; anything else the server says goes to its log.
    options.stdoutTo = ChildProcess::Sink::Pipe;
    options.stderrTo = ChildProcess::Sink::File;
    options.outputFile = dir_.File("server.log");
    server_ = std::make_unique<ChildProcess>(options);
    server_->WaitUntil([this] { return server_->Output().find('\n') != std::string::npos; },
                       std::chrono::seconds(20));
    try {
        port_ = std::stoi(server_->Output());
    } catch (const std::exception&) {
        port_ = 0;
    }
    if (port_ <= 0) {
        Stop();
        std::string output;
        try {
            output = dir_.Read("server.log");
        } catch (const std::exception&) {
            // No log: the server did not even start; the message says it did not.
        }
        throw std::runtime_error("FtpServerFixture: pyftpdlib did not start: " + output);
    }
}

FtpServerFixture::~FtpServerFixture() {
    Stop();
}

void FtpServerFixture::Stop() {
    if (server_) {
        server_->Stop(SIGTERM, std::chrono::seconds(5));
    }
}

}  // namespace velomaris
