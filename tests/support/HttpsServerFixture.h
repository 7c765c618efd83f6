// A web server for TLS tests: Python's http.server behind its ssl module on a free loopback
// port with a given certificate, and beside it the same pages over plain HTTP, both stopped at
// the end. HTTP/1.1 with keep-alive. Its pages:
//   /page        200 text/html "<html><body>PAGE over https</body></html>" (or "over http")
//   /big?n=N     200, N bytes: byte i is (i * 7 + i / 256) & 0xFF
//   /stall       200 announcing 100 bytes, sends 10, then nothing for 5 seconds
//   /to?url=U    302 to U
//   /setcookies  200, sets "plain=1" and the secure-only "safe=2", both with path /
//   /cookies     200 text/html whose body is the request's Cookie header ("none" without)
#pragma once

#include <memory>
#include <string>

#include "tests/support/TempDir.h"

namespace velomaris {

class ChildProcess;

class HttpsServerFixture {
public:
    // Raises std::runtime_error with the server's output when it cannot start.
    HttpsServerFixture(const std::string& certFile, const std::string& keyFile);
    ~HttpsServerFixture();
    HttpsServerFixture(const HttpsServerFixture&) = delete;
    HttpsServerFixture& operator=(const HttpsServerFixture&) = delete;

    int SecurePort() const { return securePort_; }
    int PlainPort() const { return plainPort_; }
    // "https://localhost:<port><path>" and "http://localhost:<port><path>".
    std::string SecureUrl(const std::string& path, const std::string& host = "localhost") const;
    std::string PlainUrl(const std::string& path, const std::string& host = "localhost") const;
    // What the server wrote to its log so far (handshake failures included).
    std::string Log() const;

private:
    TempDir dir_;
    std::unique_ptr<ChildProcess> server_;
    int securePort_ = 0;
    int plainPort_ = 0;
};

}  // namespace velomaris
