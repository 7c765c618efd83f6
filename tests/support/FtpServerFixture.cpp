#include "tests/support/FtpServerFixture.h"

#include <signal.h>
#include <sys/stat.h>

#include <chrono>

#include "tests/support/ChildProcess.h"
#include "tests/support/PortPrintingServer.h"

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
    TPortPrintingServer server = StartPortPrintingServer(
        "FtpServerFixture: pyftpdlib", "/usr/bin/python3",
        {dir_.File("server.py"), Home(), user_, password_}, dir_.File("server.log"), 1);
    server_ = std::move(server.process);
    port_ = server.ports[0];
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
