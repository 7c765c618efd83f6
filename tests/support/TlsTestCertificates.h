// A test certificate authority and server certificates made with the `openssl` command into a
// temporary directory when a test starts (no key is ever committed), removed at the end. Every
// server certificate names "localhost" and 127.0.0.1 unless said otherwise.
#pragma once

#include <string>

#include "tests/support/TempDir.h"

namespace velomaris {

class TlsTestCertificates {
public:
    // The kinds of server certificate made; each has "<kind>.pem" and "<kind>.key".
    //   good        issued by the test CA, valid now
    //   expired     issued by the test CA, ended before now
    //   wrongname   issued by the test CA for "wrong.example" only
    //   unknown     issued by another CA that no trust store holds
    // Raises std::runtime_error with openssl's output when it cannot make them.
    TlsTestCertificates();
    TlsTestCertificates(const TlsTestCertificates&) = delete;
    TlsTestCertificates& operator=(const TlsTestCertificates&) = delete;

    // The test CA's certificate, for SSL_CERT_FILE.
    std::string CaFile() const { return dir_.File("ca.pem"); }
    std::string CertFile(const std::string& kind) const { return dir_.File(kind + ".pem"); }
    std::string KeyFile(const std::string& kind) const { return dir_.File(kind + ".key"); }
    // The SHA-256 fingerprint of a certificate as openssl prints it ("AB:CD:...").
    std::string Fingerprint(const std::string& kind) const;
    const TempDir& Directory() const { return dir_; }

private:
    TempDir dir_;
};

}  // namespace velomaris
