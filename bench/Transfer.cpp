// One transfer through the program's own code, for bench/run to time against curl:
//   bench_Transfer get-memory URL          GET into a memory stream
//   bench_Transfer get-file URL PATH       GET into a file stream
//   bench_Transfer store URL PATH          the page path: GET into the temporary file of the
//                                          atomic replace, flushed and renamed over PATH
//   bench_Transfer stor HOST PORT USER PASS FILE REMOTE active|passive
// Prints the number of bytes moved; any failure ends with status 1 and its message.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "http/IdHTTP.h"
#include "net/IdFTP.h"
#include "platform/Stream.h"

namespace {

using namespace velomaris;

std::int64_t Run(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "get-memory" && argc == 3) {
        TIdHTTP http;
        TMemoryStream stream;
        http.GetToStream(argv[2], stream);
        return stream.Size();
    }
    if (mode == "get-file" && argc == 4) {
        TIdHTTP http;
        TFileStream stream(argv[3], TFileMode::fmCreate);
        http.GetToStream(argv[2], stream);
        return stream.Size();
    }
    if (mode == "store" && argc == 4) {
        TIdHTTP http;
        TReplacingFileStream stream(argv[3]);
        http.GetToStream(argv[2], stream);
        const std::int64_t size = stream.Size();
        stream.Commit();
        return size;
    }
    if (mode == "stor" && argc == 9) {
        TIdFTP ftp;
        ftp.SetHost(argv[2]);
        ftp.SetPort(std::atoi(argv[3]));
        ftp.SetUsername(argv[4]);
        ftp.SetPassword(argv[5]);
        ftp.SetPassive(std::string(argv[8]) == "passive");
        ftp.ConnectAndLogin(true, -1);
        TFileStream file(argv[6], TFileMode::fmOpenRead);
        const std::int64_t size = file.Size();
        ftp.StoreFile(argv[6], argv[7], false);
        ftp.CloseConnection();
        return size;
    }
    std::fprintf(stderr, "usage: see the head of bench/Transfer.cpp\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::printf("%lld\n", static_cast<long long>(Run(argc, argv)));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
