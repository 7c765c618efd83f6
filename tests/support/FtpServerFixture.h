// A real FTP server for integration tests: Debian's pyftpdlib, started on a free loopback port
// with a temporary home directory and one user, and stopped (killed and reaped) at the end.
#pragma once

#include <memory>
#include <string>

#include "tests/support/TempDir.h"

namespace velomaris {

// Not included here: its <chrono> must stay out of the GBK-compiled tests.
class ChildProcess;

class FtpServerFixture {
public:
    // Starts the server and waits until it listens; raises std::runtime_error with the
    // server's own output when it cannot start (pyftpdlib missing, for example).
    // idleTimeoutSeconds > 0: the server drops a control connection idle that long, with a
    // 421 reply, as real servers do (0: pyftpdlib's own 300 s).
    explicit FtpServerFixture(int idleTimeoutSeconds = 0);
    ~FtpServerFixture();
    FtpServerFixture(const FtpServerFixture&) = delete;
    FtpServerFixture& operator=(const FtpServerFixture&) = delete;

    int Port() const { return port_; }
    const std::string& User() const { return user_; }
    // Makes the server drop every control connection now, with a 421 reply first or without a
    // word, and returns once it has.
    void DropControlConnections(bool with421) const;
    const std::string& Password() const { return password_; }
    // The user's home directory (the FTP root), with a trailing "/".
    std::string Home() const { return dir_.Path() + "home/"; }

private:
    void Stop();

    TempDir dir_;
    std::string user_ = "anna";
    std::string password_ = "secret";
    std::unique_ptr<ChildProcess> server_;
    int port_ = 0;
};

}  // namespace velomaris
