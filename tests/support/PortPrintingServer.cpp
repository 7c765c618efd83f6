#include "tests/support/PortPrintingServer.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/ChildProcess.h"

namespace velomaris {

TPortPrintingServer StartPortPrintingServer(const std::string& what, const std::string& program,
                                            const std::vector<std::string>& arguments,
                                            const std::string& logFile, std::size_t portCount) {
    ChildProcess::Options options;
    options.program = program;
    options.arguments = arguments;
    // The ports on stdout; anything else the server says goes to its log.
    options.stdoutTo = ChildProcess::Sink::Pipe;
    options.stderrTo = ChildProcess::Sink::File;
    options.outputFile = logFile;
    TPortPrintingServer server;
    server.process = std::make_unique<ChildProcess>(options);
    ChildProcess& process = *server.process;
    process.WaitUntil([&process] { return process.Output().find('\n') != std::string::npos; },
                      std::chrono::seconds(20));
    std::istringstream line(process.Output());
    for (int port = 0; server.ports.size() < portCount && line >> port && port > 0;) {
        server.ports.push_back(port);
    }
    if (server.ports.size() < portCount) {
        process.Stop(SIGTERM, std::chrono::seconds(5));
        std::ifstream log(logFile, std::ios::binary);
        std::ostringstream output;
        output << log.rdbuf();  // no log: the server did not even start
        throw std::runtime_error(what + " did not start: " + output.str());
    }
    return server;
}

}  // namespace velomaris
