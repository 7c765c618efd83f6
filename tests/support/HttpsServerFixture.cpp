#include "tests/support/HttpsServerFixture.h"

#include <signal.h>

#include <chrono>

#include "tests/support/ChildProcess.h"
#include "tests/support/PortPrintingServer.h"

namespace velomaris {

namespace {

const char* const kServerScript = R"PY(
import ssl, sys, threading, time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlparse, parse_qs

cert, key = sys.argv[1:3]

class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        sys.stderr.write((args[0] % args[1:]) + "\n")

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        address = urlparse(self.path)
        scheme = self.server.scheme
        if address.path == "/page":
            self.answer(200, b"<html><body>PAGE over " + scheme + b"</body></html>")
        elif address.path == "/big":
            count = int(parse_qs(address.query)["n"][0])
            self.answer(200, bytes((i * 7 + i // 256) & 0xFF for i in range(count)))
        elif address.path == "/stall":
            self.send_response(200)
            self.send_header("Content-Length", "100")
            self.end_headers()
            self.wfile.write(b"0123456789")
            self.wfile.flush()
            time.sleep(5)
        elif address.path == "/to":
            self.answer(302, b"", [("Location", parse_qs(address.query)["url"][0])])
        elif address.path == "/setcookies":
            self.answer(200, b"<html><body>set</body></html>",
                        [("Set-Cookie", "plain=1; path=/"), ("Set-Cookie", "safe=2; path=/; secure")])
        elif address.path == "/cookies":
            cookie = self.headers.get("Cookie", "none").encode()
            self.answer(200, b"<html><body>" + cookie + b"</body></html>")
        else:
            self.answer(404, b"<html><body>missing</body></html>")

def serve(server):
    server.serve_forever()

secure = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
secure.scheme = b"https"
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
secure.socket = context.wrap_socket(secure.socket, server_side=True)
plain = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
plain.scheme = b"http"
for server in (secure, plain):
    threading.Thread(target=serve, args=(server,), daemon=True).start()
print(secure.server_address[1], plain.server_address[1], flush=True)
threading.Event().wait()
)PY";

}  // namespace

HttpsServerFixture::HttpsServerFixture(const std::string& certFile, const std::string& keyFile) {
    dir_.Write("server.py", kServerScript);
    TPortPrintingServer server = StartPortPrintingServer(
        "HttpsServerFixture: the server", "/usr/bin/python3",
        {dir_.File("server.py"), certFile, keyFile}, dir_.File("server.log"), 2);
    server_ = std::move(server.process);
    securePort_ = server.ports[0];
    plainPort_ = server.ports[1];
}

HttpsServerFixture::~HttpsServerFixture() {
    server_->Stop(SIGTERM, std::chrono::seconds(5));
}

std::string HttpsServerFixture::SecureUrl(const std::string& path, const std::string& host) const {
    return "https://" + host + ":" + std::to_string(securePort_) + path;
}

std::string HttpsServerFixture::PlainUrl(const std::string& path, const std::string& host) const {
    return "http://" + host + ":" + std::to_string(plainPort_) + path;
}

std::string HttpsServerFixture::Log() const {
    try {
        return dir_.Read("server.log");
    } catch (const std::exception&) {
        return std::string();
    }
}

}  // namespace velomaris
