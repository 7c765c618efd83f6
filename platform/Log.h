// The program's log: one line per event, prefixed with the local time in ISO 8601 with its UTC
// offset. Lines go to a file (velomaris.log beside the settings file, rotated with one old file
// kept) and, in the headless program, to stderr as well. Texts are GBK like every text of the
// program; the log itself is UTF-8, so it reads well in any Linux terminal or editor.
#pragma once

#include <cstdint>
#include <exception>
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>

namespace velomaris {

class Clock;

class TLog {
public:
    // A file that would grow past this size is renamed to "<name>.1" (replacing the previous
    // old file) and started anew.
    static constexpr std::uint64_t kDefaultRotateBytes = 1024 * 1024;

    TLog() = default;
    TLog(const TLog&) = delete;
    TLog& operator=(const TLog&) = delete;

    // Lines go to this file from now on (the path as the file system names it); an empty path
    // stops writing to a file.
    void OpenFile(std::string osPath, std::uint64_t rotateBytes = kDefaultRotateBytes);
    bool HasFile() const;
    std::string FilePath() const;
    // Every line is also written to this stream (nullptr: to none).
    void EchoTo(std::ostream* stream);
    // The clock that stamps the lines; nullptr: the system's.
    void SetClock(const Clock* clock);
    // A text that must never reach the log (the FTP password): every occurrence in a line is
    // written as "***". Texts shorter than 3 bytes are not looked for, since they would hide
    // ordinary words.
    void SetSecret(std::string gbkSecret);

    // Writes one line. Line breaks inside the text (a server's multi-line reply) become
    // blanks, so every event stays one line. A log that cannot be written never stops the
    // program: the first failure is reported on stderr.
    void Write(std::string_view gbkText);
    // The same for a text already in UTF-8 (a path as the file system names it).
    void WriteUtf8(std::string_view utf8Text);

private:
    void WriteLine(const std::string& utf8Text);
    void AppendToFile(const std::string& line);
    std::string Stamp() const;

    mutable std::mutex mutex_;
    std::string path_;
    std::uint64_t rotateBytes_ = kDefaultRotateBytes;
    std::ostream* echo_ = nullptr;
    const Clock* clock_ = nullptr;
    std::string secret_;
    bool failureReported_ = false;
};

// The one log of the process.
TLog& ProgramLog();

// Shorthand for ProgramLog().Write(text).
void LogEvent(std::string_view gbkText);

// "<exception class>: <message>" for a failure, the class without its namespace.
std::string DescribeFailure(const std::exception& failure);

// Points the program's log at a file (and no echo, the given clock) for as long as it lives,
// then restores what was there; for tests.
class ScopedLogFile {
public:
    ScopedLogFile(std::string osPath, const Clock* clock,
                  std::uint64_t rotateBytes = TLog::kDefaultRotateBytes);
    ~ScopedLogFile();
    ScopedLogFile(const ScopedLogFile&) = delete;
    ScopedLogFile& operator=(const ScopedLogFile&) = delete;

private:
    std::string previousPath_;
};

}  // namespace velomaris
