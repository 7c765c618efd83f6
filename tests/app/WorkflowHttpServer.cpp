#include "tests/app/WorkflowHttpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace velomaris {

namespace {

// Files under root/www; a request is logged in root/requests.log before it is answered, and
// root/fail/<path> holds how many more requests for the path fail.
const char* const kServerScript = R"PY(
import http.server, os, sys
root = sys.argv[1]
www = os.path.join(root, "www")

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, code, body):
        self.send_response(code)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        name = self.path.split("?")[0].lstrip("/")
        with open(os.path.join(root, "requests.log"), "a") as log:
            log.write(name + "\n")
        fail = os.path.join(root, "fail", name)
        if os.path.exists(fail):
            with open(fail) as f:
                left = int(f.read() or "0")
            if left > 0:
                with open(fail, "w") as f:
                    f.write(str(left - 1))
                self.answer(500, b"failure")
                return
        try:
            with open(os.path.join(www, name), "rb") as f:
                body = f.read()
        except OSError:
            self.answer(404, b"not found")
            return
        self.answer(200, body)

server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
)PY";

void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out) {
            throw std::runtime_error("cannot write " + temporary);
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot rename " + temporary);
    }
}

}  // namespace

WorkflowHttpServer::WorkflowHttpServer() {
    ::mkdir(dir_.File("www").c_str(), 0755);
    ::mkdir(dir_.File("fail").c_str(), 0755);
    dir_.Write("server.py", kServerScript);
    const std::string script = dir_.File("server.py");
    const std::string log = dir_.File("server.log");
    const std::string root = dir_.Path();

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("WorkflowHttpServer: pipe failed");
    }
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // The server must not outlive a test binary that crashes.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(pipeEnds[1], 1);
        int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(logFd, 2);
        ::execl("/usr/bin/python3", "python3", script.c_str(), root.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    output_ = pipeEnds[0];
    if (pid_ < 0) {
        ::close(output_);
        output_ = -1;
        throw std::runtime_error("WorkflowHttpServer: fork failed");
    }
    std::string line;
    // Twenty seconds of 100 ms waits for the port line.
    for (int wait = 0; wait < 200 && line.find('\n') == std::string::npos; ++wait) {
        pollfd entry{output_, POLLIN, 0};
        if (::poll(&entry, 1, 100) != 1) {
            continue;
        }
        char block[64];
        const ssize_t n = ::read(output_, block, sizeof block);
        if (n <= 0) {
            break;  // the server ended before it listened
        }
        line.append(block, static_cast<std::size_t>(n));
    }
    try {
        port_ = std::stoi(line);
    } catch (const std::exception&) {
        port_ = 0;
    }
    if (port_ <= 0) {
        Stop();
        std::string output;
        try {
            output = dir_.Read("server.log");
        } catch (const std::exception&) {
            // No log either: the message says so by being empty.
        }
        throw std::runtime_error("WorkflowHttpServer: http.server did not start: " + output);
    }
}

WorkflowHttpServer::~WorkflowHttpServer() {
    Stop();
}

std::string WorkflowHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

void WorkflowHttpServer::SetPage(const std::string& path, const std::string& bytes) const {
    WriteFile(dir_.File("www/" + path), bytes);
}

void WorkflowHttpServer::FailNext(const std::string& path, int count) const {
    WriteFile(dir_.File("fail/" + path), std::to_string(count));
}

int WorkflowHttpServer::Requests(const std::string& path) const {
    std::ifstream log(dir_.File("requests.log"));
    int count = 0;
    for (std::string line; std::getline(log, line);) {
        count += line == path ? 1 : 0;
    }
    return count;
}

void WorkflowHttpServer::Stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    if (output_ >= 0) {
        ::close(output_);
        output_ = -1;
    }
}

}  // namespace velomaris
