// Starting a local server that prints the ports it listens on (separated by blanks) as the
// first line of its standard output, as the Python servers of the tests do.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velomaris {

// Not included here: its <chrono> must stay out of the GBK-compiled tests.
class ChildProcess;

struct TPortPrintingServer {
    std::unique_ptr<ChildProcess> process;
    std::vector<int> ports;
};

// Runs the program with the arguments, its standard error into logFile, and waits up to 20
// seconds for the line with portCount ports. Raises std::runtime_error "<what> did not start:
// <log>" (the process stopped) when they do not come.
TPortPrintingServer StartPortPrintingServer(const std::string& what, const std::string& program,
                                            const std::vector<std::string>& arguments,
                                            const std::string& logFile, std::size_t portCount);

}  // namespace velomaris
