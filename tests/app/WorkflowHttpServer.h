// The dynamic site of the workflow tests: PHP's built-in server (the shared fixture) on a free
// loopback port, answering each page from a file byte for byte. A test changes a page by
// rewriting its file, makes the next requests for a page fail with 500 by FailNext, and counts
// the requests a page received.
#pragma once

#include <string>

#include "tests/support/PhpServerFixture.h"

namespace velomaris {

class WorkflowHttpServer {
public:
    // Raises std::runtime_error when the server cannot start.
    WorkflowHttpServer();

    int Port() const { return server_.Port(); }
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
    PhpServerFixture server_;
};

}  // namespace velomaris
