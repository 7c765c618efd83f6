# Local servers for bench/run, on free ports of 127.0.0.1 (the port is printed on the first
# line of output):
#   servers.py chunked DIR         HTTP/1.1 that sends every file of DIR in 64 KiB chunks
#   servers.py ftp HOME USER LOG   pyftpdlib with USER (empty password) at HOME; appends
#                                  "<wall-clock seconds> connect|STOR" lines to LOG
import os
import socket
import socketserver
import sys
import time

CHUNK = 65536


class ChunkedHandler(socketserver.BaseRequestHandler):
    def handle(self):
        conn = self.request
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        data = b""
        while True:
            while b"\r\n\r\n" not in data:
                more = conn.recv(65536)
                if not more:
                    return
                data += more
            head, data = data.split(b"\r\n\r\n", 1)
            target = head.split(b"\r\n", 1)[0].split(b" ")[1].decode()
            path = os.path.join(self.server.root, os.path.basename(target))
            if not os.path.isfile(path):
                conn.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")
                continue
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                         b"Transfer-Encoding: chunked\r\n\r\n")
            with open(path, "rb") as f:
                while True:
                    block = f.read(CHUNK)
                    if not block:
                        break
                    conn.sendall(b"%x\r\n" % len(block) + block + b"\r\n")
            conn.sendall(b"0\r\n\r\n")


def chunked(root):
    socketserver.ThreadingTCPServer.allow_reuse_address = True
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), ChunkedHandler)
    server.daemon_threads = True
    server.root = root
    print(server.server_address[1], flush=True)
    server.serve_forever()


def ftp(home, user, log):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    def note(what):
        with open(log, "a") as f:
            f.write("%.6f %s\n" % (time.time(), what))

    class Handler(FTPHandler):
        def on_connect(self):
            note("connect")

        def ftp_STOR(self, file, mode="w"):
            note("STOR")
            return super().ftp_STOR(file, mode)

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, "", home, perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.permit_foreign_addresses = False
    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    if sys.argv[1] == "chunked":
        chunked(sys.argv[2])
    else:
        ftp(*sys.argv[2:5])
