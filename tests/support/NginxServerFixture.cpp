#include "tests/support/NginxServerFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackSocket.h"

namespace velomaris {

namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";

// A port no one listens on right now (the system's choice for a socket bound to port 0).
int FreeLoopbackPort() {
    return LoopbackSocket().Port();
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

std::string Configuration(const std::string& prefix, int port) {
    const std::string temp = prefix + "tmp/";
    return "daemon off;\n"
           "master_process off;\n"
           "pid " +
           prefix +
           "nginx.pid;\n"
           "error_log " +
           prefix +
           "error.log;\n"
           "events { worker_connections 64; }\n"
           "http {\n"
           "    log_format conn '$connection $connection_requests $status \"$request\"';\n"
           "    access_log " +
           prefix +
           "access.log conn;\n"
           "    client_body_temp_path " +
           temp +
           "body;\n"
           "    proxy_temp_path " +
           temp +
           "proxy;\n"
           "    fastcgi_temp_path " +
           temp +
           "fastcgi;\n"
           "    uwsgi_temp_path " +
           temp +
           "uwsgi;\n"
           "    scgi_temp_path " +
           temp +
           "scgi;\n"
           "    types { text/html html shtml; text/plain txt; }\n"
           "    default_type application/octet-stream;\n"
           "    keepalive_timeout 60s;\n"
           "    server {\n"
           "        listen 127.0.0.1:" +
           std::to_string(port) +
           ";\n"
           "        root " +
           prefix +
           "www;\n"
           "        location /ssi/ { ssi on; }\n"
           "    }\n"
           "}\n";
}

}  // namespace

NginxServerFixture::NginxServerFixture() {
    std::filesystem::create_directories(prefix_.Path() + "www");
    std::filesystem::create_directories(prefix_.Path() + "tmp");
    std::string failure;
    // Another process may take the free port before nginx binds it: then try another.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (TryStart(FreeLoopbackPort(), failure)) {
            return;
        }
    }
    throw std::runtime_error("NginxServerFixture: nginx did not start: " + failure);
}

NginxServerFixture::~NginxServerFixture() {
    Stop();
}

bool NginxServerFixture::TryStart(int port, std::string& failure) {
    const std::string prefix = prefix_.Path();
    prefix_.Write("nginx.conf", Configuration(prefix, port));
    prefix_.Write("error.log", "");
    ChildProcess::Options options;
    options.program = kNginx;
    options.arguments = {"-p", prefix, "-e", prefix + "error.log", "-c", prefix + "nginx.conf"};
    server_ = std::make_unique<ChildProcess>(options);
    if (server_->WaitUntil([port] { return Accepts(port); }, std::chrono::seconds(20))) {
        port_ = port;
        return true;
    }
    const bool ended = !server_->Running();
    Stop();
    failure = (ended ? "" : "no answer within 20 s; ") + prefix_.Read("error.log");
    return false;
}

std::string NginxServerFixture::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void NginxServerFixture::WriteFile(const std::string& path, const std::string& bytes) const {
    const std::filesystem::path file = prefix_.Path() + "www/" + path;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) {
        throw std::runtime_error("NginxServerFixture: cannot write " + file.string());
    }
}

std::string NginxServerFixture::AccessLog() const {
    return prefix_.Read("access.log");
}

void NginxServerFixture::Stop() {
    if (server_) {
        server_->Stop(SIGTERM, std::chrono::seconds(5));
    }
}

}  // namespace velomaris
