// Peak memory of an FTP upload: uploads files of growing size (default 1 MiB, 64 MiB, 1 GiB)
// to an in-process FTP responder that discards the data, and prints the process's peak
// resident size after each upload. The upload streams the file in blocks of SendBufferSize,
// so the peak must stay flat however large the file is.
//
//     bench_FtpUploadMemory [size-in-MiB ...]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "net/IdFTP.h"

namespace {

long PeakResidentKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string ReadLine(int fd) {
    std::string line;
    char c;
    while (::recv(fd, &c, 1, 0) == 1) {
        line += c;
        if (c == '\n') {
            break;
        }
    }
    return line;
}

void Reply(int fd, const std::string& text) {
    ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
}

// Answers one control connection: login, then any number of PORT + STOR uploads whose data
// is read and thrown away.
void Responder(int listener) {
    int control = ::accept(listener, nullptr, nullptr);
    Reply(control, "220 bench\r\n");
    int dataPort = 0;
    for (;;) {
        const std::string line = ReadLine(control);
        if (line.empty()) {
            break;
        }
        if (line.rfind("USER", 0) == 0) {
            Reply(control, "331 pw\r\n");
        } else if (line.rfind("PASS", 0) == 0) {
            Reply(control, "230 in\r\n");
        } else if (line.rfind("TYPE", 0) == 0) {
            Reply(control, "200 ok\r\n");
        } else if (line.rfind("SYST", 0) == 0) {
            Reply(control, "215 UNIX\r\n");
        } else if (line.rfind("PORT", 0) == 0) {
            int h1, h2, h3, h4, p1, p2;
            std::sscanf(line.c_str(), "PORT %d,%d,%d,%d,%d,%d", &h1, &h2, &h3, &h4, &p1, &p2);
            dataPort = p1 * 256 + p2;
            Reply(control, "200 ok\r\n");
        } else if (line.rfind("STOR", 0) == 0) {
            Reply(control, "150 go\r\n");
            int data = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(dataPort));
            ::connect(data, reinterpret_cast<sockaddr*>(&address), sizeof address);
            std::vector<char> block(1 << 16);
            while (::recv(data, block.data(), block.size(), 0) > 0) {
            }
            ::close(data);
            Reply(control, "226 done\r\n");
        } else {
            Reply(control, "502 no\r\n");
        }
    }
    ::close(control);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> sizesMiB;
    for (int i = 1; i < argc; ++i) {
        sizesMiB.push_back(std::atol(argv[i]));
    }
    if (sizesMiB.empty()) {
        sizesMiB = {1, 64, 1024};
    }
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::thread responder(Responder, listener);

    char directory[] = "/tmp/velomaris-bench-XXXXXX";
    if (::mkdtemp(directory) == nullptr) {
        return 1;
    }
    const std::string file = std::string(directory) + "/page.bin";

    velomaris::TIdFTP ftp;
    ftp.SetHost("127.0.0.1");
    ftp.SetPort(ntohs(address.sin_port));
    ftp.SetUsername("bench");
    ftp.SetPassword("bench");
    ftp.ConnectAndLogin(true, -1);
    std::printf("%10s %10s %12s %16s\n", "size MiB", "seconds", "MiB/s", "peak RSS KiB");
    std::printf("%10s %10s %12s %16ld\n", "-", "-", "-", PeakResidentKiB());
    for (long mib : sizesMiB) {
        // A sparse file: its blocks read as zeros without taking disk space.
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(mib) * 1024 * 1024) != 0) {
            std::perror("cannot create the test file");
            return 1;
        }
        ::close(fd);
        const auto start = std::chrono::steady_clock::now();
        ftp.StoreFile(file, "page.bin", false);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%10ld %10.2f %12.1f %16ld\n", mib, seconds, mib / seconds, PeakResidentKiB());
    }
    ftp.CloseConnection();
    responder.join();
    ::close(listener);
    ::unlink(file.c_str());
    ::rmdir(directory);
    return 0;
}
