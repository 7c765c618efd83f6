// A real HTTP/1.1 server with keep-alive for integration tests: Debian's nginx, run in the
// foreground as a single process with its configuration, logs and temporary files in a
// temporary prefix, listening on 127.0.0.1 on a free port, and stopped (killed and reaped) at
// the end. Nothing of it is left behind.
#pragma once

#include <memory>
#include <string>

#include "tests/support/TempDir.h"

namespace velomaris {

// Not included here: its <chrono> must stay out of the GBK-compiled tests.
class ChildProcess;

class NginxServerFixture {
public:
    // Starts nginx serving the document root (see WriteFile). Under /ssi/ server-side includes
    // are on, so those pages have no length and go out chunked. The access log has one line
    // per request: "<connection number> <request number on it> <status> <request line>".
    // Raises std::runtime_error with nginx's error log when it cannot start.
    NginxServerFixture();
    ~NginxServerFixture();
    NginxServerFixture(const NginxServerFixture&) = delete;
    NginxServerFixture& operator=(const NginxServerFixture&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path (which starts with "/").
    std::string Url(const std::string& path) const;
    // Writes a file below the document root (path relative, directories created).
    void WriteFile(const std::string& path, const std::string& bytes) const;
    std::string AccessLog() const;

private:
    bool TryStart(int port, std::string& failure);
    void Stop();

    TempDir prefix_;
    std::unique_ptr<ChildProcess> server_;
    int port_ = 0;
};

}  // namespace velomaris
