#include "tests/support/FtpsServerFixture.h"

#include <arpa/inet.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>

#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackSocket.h"
#include "tests/support/PortPrintingServer.h"

namespace velomaris {

namespace {

const char* const kPyFtpdScript = R"PY(
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.INFO, stream=sys.stderr)
home, user, password, cert, key, tls = sys.argv[1:7]
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, home, perm="elradfmwMT")
if tls == "1":
    class Handler(TLS_FTPHandler):
        pass
    Handler.certfile = cert
    Handler.keyfile = key
    Handler.tls_control_required = True
    Handler.tls_data_required = True
else:
    class Handler(FTPHandler):
        pass
Handler.authorizer = authorizer
Handler.auth_failed_timeout = 0
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever(handle_exit=True)
)PY";

// One session per connection, in the foreground, on loopback only; no network namespace or
// seccomp sandbox (containers often forbid both).
std::string VsftpdConfig(const std::string& dir, int port, const std::string& cert,
                         const std::string& key) {
    return "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" +
           std::to_string(port) +
           "\nbackground=NO\n"
           "anonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\n"
           "anon_upload_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\n"
           "no_anon_password=YES\nanon_root=" +
           dir + "root\nsecure_chroot_dir=" + dir +
           "empty\n"
           "connect_from_port_20=NO\nport_enable=YES\npasv_enable=YES\npasv_address=127.0.0.1\n"
           "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
           "xferlog_enable=YES\nvsftpd_log_file=" +
           dir + "vsftpd.log\nlog_ftp_protocol=YES\ndual_log_enable=YES\nxferlog_file=" + dir +
           "xfer.log\n"
           "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
           "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\nssl_ciphers=HIGH\n"
           "rsa_cert_file=" +
           cert + "\nrsa_private_key_file=" + key + "\n";
}

}  // namespace

FtpsServer::~FtpsServer() = default;

void FtpsServer::Stop() {
    if (server_) {
        server_->Stop(SIGTERM, std::chrono::seconds(5));
    }
}

std::string FtpsServer::Log() const {
    std::string log;
    for (const char* name : {"server.log", "vsftpd.log"}) {
        try {
            log += dir_.Read(name);
        } catch (const std::exception&) {
            // Not written (yet): nothing to add.
        }
    }
    return log;
}

PyFtpdTlsServer::PyFtpdTlsServer(const std::string& certFile, const std::string& keyFile,
                                 bool withTls) {
    user_ = "anna";
    password_ = "secret";
    ::mkdir(UploadPath().c_str(), 0755);
    dir_.Write("server.py", kPyFtpdScript);
    TPortPrintingServer server =
        StartPortPrintingServer("PyFtpdTlsServer: pyftpdlib", "/usr/bin/python3",
                                {dir_.File("server.py"), UploadPath(), user_, password_, certFile,
                                 keyFile, withTls ? "1" : "0"},
                                dir_.File("server.log"), 1);
    server_ = std::move(server.process);
    port_ = server.ports[0];
}

PyFtpdTlsServer::~PyFtpdTlsServer() {
    Stop();
}

bool VsftpdTlsServer::Available() {
    return ::geteuid() == 0 && ::getpwnam("ftp") != nullptr &&
           ::access("/usr/sbin/vsftpd", X_OK) == 0;
}

VsftpdTlsServer::VsftpdTlsServer(const std::string& certFile, const std::string& keyFile) {
    user_ = "anonymous";
    password_ = "";
    const passwd* ftp = ::getpwnam("ftp");
    if (ftp == nullptr) {
        throw std::runtime_error("VsftpdTlsServer: there is no user \"ftp\"");
    }
    // vsftpd refuses a writable root for the changed-root session; uploads go one level down,
    // into a directory its "ftp" user owns. The test's directory itself is private to root.
    const std::string root = dir_.Path() + "root";
    ::mkdir(root.c_str(), 0755);
    ::mkdir(UploadPath().c_str(), 0755);
    if (::chown(UploadPath().c_str(), ftp->pw_uid, ftp->pw_gid) != 0) {
        throw std::runtime_error("VsftpdTlsServer: cannot hand www/ to the ftp user");
    }
    ::mkdir((dir_.Path() + "empty").c_str(), 0755);
    // A port that was free a moment ago: vsftpd takes its port from the configuration only.
    {
        LoopbackSocket probe;
        port_ = probe.Port();
    }
    dir_.Write("vsftpd.conf", VsftpdConfig(dir_.Path(), port_, certFile, keyFile));
    ::chmod(dir_.File("vsftpd.conf").c_str(), 0600);
    ChildProcess::Options options;
    options.program = "/usr/sbin/vsftpd";
    options.arguments = {dir_.File("vsftpd.conf")};
    options.stdoutTo = ChildProcess::Sink::File;
    options.stderrTo = ChildProcess::Sink::File;
    options.outputFile = dir_.File("server.log");
    options.ownProcessGroup = true;  // the session processes go with it
    server_ = std::make_unique<ChildProcess>(options);
    // It is ready once a connection to its port is accepted.
    const bool listening = server_->WaitUntil(
        [this] {
            LoopbackSocket client;
            sockaddr_in address = client.Address();
            address.sin_port = htons(static_cast<std::uint16_t>(port_));
            return ::connect(client.Fd(), reinterpret_cast<const sockaddr*>(&address),
                             sizeof address) == 0;
        },
        std::chrono::seconds(10));
    if (!listening) {
        Stop();
        throw std::runtime_error("VsftpdTlsServer: vsftpd did not start: " + Log());
    }
}

VsftpdTlsServer::~VsftpdTlsServer() {
    Stop();
}

}  // namespace velomaris
