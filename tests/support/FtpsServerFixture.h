// Real FTP servers with explicit TLS for tests, on a free loopback port, each with its own
// temporary directory and stopped (with every process it started) at the end:
//   PyFtpdTlsServer  pyftpdlib's TLS handler (python3-openssl), TLS required on the control
//                    and on the data connections, one user; or without TLS at all.
//   VsftpdTlsServer  vsftpd with ssl_enable=YES and its default require_ssl_reuse=YES, TLS
//                    forced for logins and data, anonymous uploads into "www/". It needs root
//                    (it changes root and user per session); Available() says whether it ran.
// Both raise std::runtime_error with the server's output when they cannot start.
#pragma once

#include <memory>
#include <string>

#include "tests/support/TempDir.h"

namespace velomaris {

class ChildProcess;

class FtpsServer {
public:
    virtual ~FtpsServer();
    int Port() const { return port_; }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }
    // The directory uploads go to (the login directory joined with UploadDirectory()).
    virtual std::string UploadPath() const = 0;
    // What to CWD into after the login.
    virtual std::string UploadDirectory() const = 0;
    std::string Log() const;

protected:
    FtpsServer() = default;
    void Stop();

    TempDir dir_;
    std::unique_ptr<ChildProcess> server_;
    int port_ = 0;
    std::string user_;
    std::string password_;
};

class PyFtpdTlsServer : public FtpsServer {
public:
    // withTls false: a server that knows nothing of TLS (AUTH is an unknown command).
    PyFtpdTlsServer(const std::string& certFile, const std::string& keyFile, bool withTls = true);
    ~PyFtpdTlsServer() override;
    std::string UploadPath() const override { return dir_.Path() + "home/"; }
    std::string UploadDirectory() const override { return "/"; }
};

class VsftpdTlsServer : public FtpsServer {
public:
    VsftpdTlsServer(const std::string& certFile, const std::string& keyFile);
    ~VsftpdTlsServer() override;
    // Whether vsftpd can run here (as root, with its "ftp" user); the server starts only then.
    static bool Available();
    std::string UploadPath() const override { return dir_.Path() + "root/www/"; }
    std::string UploadDirectory() const override { return "www"; }
};

}  // namespace velomaris
