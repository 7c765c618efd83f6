// The settings file reader and writer on any file content: a written value reads back as
// written, and the write leaves every other line of the file as it was.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/support/FuzzInput.h"
#include "settings/ProfileFile.h"

using namespace velomaris;
using namespace velomaris::fuzz;

namespace {

// A directory of this process's own, in memory where the system has one: every write is
// flushed to disk, which a disk-backed directory would make slow.
const std::string& WorkFile() {
    static const std::string file = [] {
        std::string pattern =
            (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/profXXXXXX");
        const char* dir = ::mkdtemp(pattern.data());
        if (dir == nullptr) {
            Broken("no work directory");
        }
        static const std::string path = dir;
        std::atexit([] {
            ::unlink((path + "/setfile.ini").c_str());
            ::rmdir(path.c_str());
        });
        return path + "/setfile.ini";
    }();
    return file;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct Line {
    std::string text;
    std::string terminator;
};

// Lines as the reader sees them: CR LF, LF or CR alone ends a line.
std::vector<Line> Lines(const std::string& bytes) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back({bytes.substr(start), ""});
            break;
        }
        std::size_t next = end + 1;
        if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') {
            ++next;
        }
        lines.push_back({bytes.substr(start, end - start), bytes.substr(end, next - end)});
        start = next;
    }
    return lines;
}

// The same line, or the file's last line that had no break and got one.
bool Kept(const Line& before, const Line& after) {
    return before.text == after.text && (before.terminator == after.terminator ||
                                         (before.terminator.empty() && after.terminator == "\r\n"));
}

// Apart from the line that held the key (replaced, or none) and at most a new section header
// and the key line, the lines of the file are those it had, in their order.
void RequireOtherLinesIntact(const std::string& before, const std::string& after) {
    const std::vector<Line> old = Lines(before);
    const std::vector<Line> now = Lines(after);
    std::size_t prefix = 0;
    while (prefix < old.size() && prefix < now.size() && Kept(old[prefix], now[prefix])) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < now.size() - prefix &&
           Kept(old[old.size() - 1 - suffix], now[now.size() - 1 - suffix])) {
        ++suffix;
    }
    const std::size_t oldChanged = old.size() - prefix - suffix;
    const std::size_t newChanged = now.size() - prefix - suffix;
    Require(oldChanged <= 1 && newChanged <= 2 && newChanged >= oldChanged,
            "a write leaves every other line intact", before + "\n----\n" + after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string section = input.Part();
    const std::string key = input.Part();
    const std::string value = input.Part();
    const std::string file = input.Rest();

    const std::string& path = WorkFile();
    WriteBytes(path, file);
    const TProfileFile profile(path);
    (void)profile.ReadString(section, key, "default");
    (void)profile.ReadInteger(section, key, 7);

    try {
        profile.WriteString(section, key, value);
    } catch (const EProfileError&) {
        Require(ReadBytes(path) == file, "a refused write leaves the file unchanged");
        return 0;
    }
    const std::string after = ReadBytes(path);
    Require(profile.ReadString(section, key, "default") == value.substr(0, kMaxProfileValueLength),
            "a written value reads back as written", value);
    RequireOtherLinesIntact(file, after);
    ::chmod(path.c_str(), 0600);
    return 0;
}
