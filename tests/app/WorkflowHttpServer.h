// A real HTTP server for the workflow tests: Debian's Python http.server on a free loopback
// port, serving the files of a temporary directory byte for byte (HTTP/1.1, keep-alive,
// Content-Length). A test changes a page by rewriting its file, makes the next requests for a
// page fail with 500 by FailNext, and counts the requests a page received.
#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/TempDir.h"

namespace velomaris {

class WorkflowHttpServer {
public:
    // Starts the server and waits until it listens; raises std::runtime_error with the
    // server's own output when it cannot start.
    WorkflowHttpServer();
    ~WorkflowHttpServer();
    WorkflowHttpServer(const WorkflowHttpServer&) = delete;
    WorkflowHttpServer& operator=(const WorkflowHttpServer&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:PORT/" followed by the path.
    std::string Url(const std::string& path) const;

    // Serves bytes under the path (no leading "/"), replacing the file in one step so a
    // request never sees half of it.
    void SetPage(const std::string& path, const std::string& bytes) const;
    // The next count requests for the path answer "500 Internal Server Error".
    void FailNext(const std::string& path, int count) const;
    // How many requests for the path have been answered (failed ones included).
    int Requests(const std::string& path) const;

private:
    void Stop();

    TempDir dir_;
    pid_t pid_ = -1;
    int output_ = -1;
    int port_ = 0;
};

}  // namespace velomaris
