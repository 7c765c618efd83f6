// A real HTTP server for integration tests: PHP's built-in web server (Debian's php-cli),
// started on 127.0.0.1 on a port the system chooses, serving a temporary document root through
// a router script, and stopped (killed and reaped) at the end.
#pragma once

#include <memory>
#include <string>

#include "tests/support/TempDir.h"

namespace velomaris {

// Not included here: its <chrono> must stay out of the GBK-compiled tests.
class ChildProcess;

class PhpServerFixture {
public:
    // Writes router.php (the PHP source given) into a fresh document root and starts the
    // server with it; every request runs the router, which may also "return false;" to let
    // the server send a file of the document root as it is. workers above 1 lets that many
    // requests run at once (a request that sleeps then blocks no other). Waits until the
    // server listens; raises std::runtime_error with its output when it cannot start.
    explicit PhpServerFixture(const std::string& router, int workers = 1);
    ~PhpServerFixture();
    PhpServerFixture(const PhpServerFixture&) = delete;
    PhpServerFixture& operator=(const PhpServerFixture&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path (which starts with "/").
    std::string Url(const std::string& path) const;
    // The document root, for files the router reads or serves.
    const TempDir& Root() const { return root_; }

private:
    void Stop();

    TempDir root_;
    TempDir logDir_;
    std::unique_ptr<ChildProcess> server_;
    int port_ = 0;
};

}  // namespace velomaris
