#include "tests/support/FtpServerFixture.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/PortPrintingServer.h"

namespace velomaris {

namespace {

// Serves one user on 127.0.0.1, port 0 (the system's choice), and prints the port.
const char* const kServerScript = R"PY(
import logging, os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.CRITICAL)
home, user, password, idle = sys.argv[1:5]
control = os.path.dirname(os.path.abspath(sys.argv[0]))
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, home, perm="elradfmwMT")

class Handler(FTPHandler):
    pass

Handler.authorizer = authorizer
Handler.auth_failed_timeout = 0
if int(idle) > 0:
    Handler.timeout = int(idle)
server = FTPServer(("127.0.0.1", 0), Handler)

# The test asks for every control connection to be dropped by creating a file; the file goes
# once they are.
def drop_when_asked():
    for name, reply in (("drop-silently", None), ("drop-421", "421 Closing control connection.")):
        path = os.path.join(control, name)
        if os.path.exists(path):
            for handler in list(server.ioloop.socket_map.values()):
                if isinstance(handler, FTPHandler):
                    # At once, not through the loop's output queue: the test goes on as
                    # soon as the request file is gone.
                    if reply:
                        handler.socket.sendall((reply + "\r\n").encode())
                    handler.close()
            os.remove(path)

server.ioloop.call_every(0.02, drop_when_asked)
print(server.address[1], flush=True)
# A short poll keeps the loop's timers (the idle time-out among them) on time: the loop of
# pyftpdlib 1.5.7 otherwise sleeps past them.
server.serve_forever(timeout=0.05, handle_exit=True)
)PY";

}  // namespace

FtpServerFixture::FtpServerFixture(int idleTimeoutSeconds) {
    ::mkdir(Home().c_str(), 0755);
    dir_.Write("server.py", kServerScript);
    TPortPrintingServer server = StartPortPrintingServer(
        "FtpServerFixture: pyftpdlib", "/usr/bin/python3",
        {dir_.File("server.py"), Home(), user_, password_, std::to_string(idleTimeoutSeconds)},
        dir_.File("server.log"), 1);
    server_ = std::move(server.process);
    port_ = server.ports[0];
}

void FtpServerFixture::DropControlConnections(bool with421) const {
    const std::string request = dir_.File(with421 ? "drop-421" : "drop-silently");
    dir_.Write(with421 ? "drop-421" : "drop-silently", "");
    struct stat st {};
    for (int i = 0; i < 2000 && ::stat(request.c_str(), &st) == 0; ++i) {
        ::usleep(10000);
    }
    if (::stat(request.c_str(), &st) == 0) {
        throw std::runtime_error("FtpServerFixture: the server did not drop its connections");
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
