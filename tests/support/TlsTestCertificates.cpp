#include "tests/support/TlsTestCertificates.h"

#include <signal.h>

#include <chrono>
#include <stdexcept>

#include "tests/support/ChildProcess.h"

namespace velomaris {

namespace {

// P-256 keys are made in milliseconds; certificates last two days (the expired one ended
// a day ago).
const char* const kMakeCertificates = R"SH(
set -e
cd "$1"
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key"; }
ca() {
  key "$1"
  openssl req -x509 -new -key "$1.key" -out "$1.pem" -days 2 -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
}
server() {  # name issuer days altnames
  key "$1"
  openssl req -new -key "$1.key" -out "$1.csr" -subj "/CN=velomaris test $1"
  printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\n' "$4" > "$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial \
    -out "$1.pem" -days "$3" -extfile "$1.ext"
}
ca ca "Velomaris Test CA"
ca otherca "Velomaris Unknown CA"
server good ca 2 "DNS:localhost,IP:127.0.0.1"
server expired ca -1 "DNS:localhost,IP:127.0.0.1"
server wrongname ca 2 "DNS:wrong.example"
server unknown otherca 2 "DNS:localhost,IP:127.0.0.1"
for kind in good expired wrongname unknown; do
  openssl x509 -in "$kind.pem" -noout -fingerprint -sha256 | sed 's/^.*=//' > "$kind.sha256"
done
)SH";

std::string RunScript(const std::string& script, const std::vector<std::string>& arguments) {
    ChildProcess::Options options;
    options.program = "/bin/sh";
    options.arguments = {"-c", script, "sh"};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.stdoutTo = ChildProcess::Sink::Pipe;
    options.stderrTo = ChildProcess::Sink::Pipe;
    ChildProcess child(options);
    child.WaitUntil([&child] { return !child.Running(); }, std::chrono::seconds(60));
    const int status = child.Stop(SIGKILL, std::chrono::seconds(5));
    if (status != 0) {
        throw std::runtime_error("TlsTestCertificates: openssl failed: " + child.Output());
    }
    return child.Output();
}

}  // namespace

TlsTestCertificates::TlsTestCertificates() {
    RunScript(kMakeCertificates, {dir_.Directory()});
}

std::string TlsTestCertificates::Fingerprint(const std::string& kind) const {
    std::string text = dir_.Read(kind + ".sha256");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace velomaris
