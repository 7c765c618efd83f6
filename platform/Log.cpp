#include "platform/Log.h"

#include <cxxabi.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <typeinfo>

#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace velomaris {

namespace {

// GBK to UTF-8 for the log; a byte that does not convert (a server's reply in another code
// page) is written as \xHH rather than losing the line.
std::string LogText(std::string_view gbk) {
    try {
        return GbkToUtf8(gbk);
    } catch (const ETextConversionError&) {
    }
    std::string out;
    for (const char c : gbk) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return out;
}

// One line: CR and LF runs become one blank, trailing blanks go.
std::string OneLine(std::string_view text) {
    std::string out;
    bool inBreak = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            if (!inBreak) {
                out += ' ';
            }
            inBreak = true;
            continue;
        }
        inBreak = false;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

std::string Redacted(std::string text, const std::string& secret) {
    if (secret.size() < 3) {
        return text;
    }
    for (std::size_t at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + 3)) {
        text.replace(at, secret.size(), "***");
    }
    return text;
}

}  // namespace

void TLog::OpenFile(std::string osPath, std::uint64_t rotateBytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    path_ = std::move(osPath);
    rotateBytes_ = rotateBytes;
    failureReported_ = false;
}

bool TLog::HasFile() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !path_.empty();
}

std::string TLog::FilePath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

void TLog::EchoTo(std::ostream* stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    echo_ = stream;
}

void TLog::SetClock(const Clock* clock) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_ = clock;
}

void TLog::SetSecret(std::string gbkSecret) {
    std::lock_guard<std::mutex> lock(mutex_);
    secret_ = std::move(gbkSecret);
}

std::string TLog::Stamp() const {
    static const RealClock systemClock;
    const Clock& clock = clock_ != nullptr ? *clock_ : systemClock;
    const std::int64_t utcMs = clock.UtcNowMs();
    const TDateTimeParts local = UtcParts(utcMs + clock.UtcOffsetSeconds(utcMs) * 1000LL);
    const std::int32_t offset = clock.UtcOffsetSeconds(utcMs);
    const std::int32_t offsetMinutes = (offset < 0 ? -offset : offset) / 60;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.year,
                  local.month, local.day, local.hour, local.minute, local.second,
                  offset < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

void TLog::Write(std::string_view gbkText) {
    std::lock_guard<std::mutex> lock(mutex_);
    WriteLine(LogText(OneLine(Redacted(std::string(gbkText), secret_))));
}

void TLog::WriteUtf8(std::string_view utf8Text) {
    std::lock_guard<std::mutex> lock(mutex_);
    WriteLine(OneLine(Redacted(std::string(utf8Text), secret_)));
}

void TLog::WriteLine(const std::string& utf8Text) {
    if (path_.empty() && echo_ == nullptr) {
        return;
    }
    const std::string line = Stamp() + " " + utf8Text + "\n";
    if (echo_ != nullptr) {
        *echo_ << line << std::flush;
    }
    if (!path_.empty()) {
        AppendToFile(line);
    }
}

void TLog::AppendToFile(const std::string& line) {
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0 && st.st_size > 0 &&
        static_cast<std::uint64_t>(st.st_size) + line.size() > rotateBytes_) {
        // The previous old file goes; a failed rename only lets the file grow on.
        ::rename(path_.c_str(), (path_ + ".1").c_str());
    }
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    bool written = false;
    if (fd >= 0) {
        written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        ::close(fd);
    }
    if (!written && !failureReported_) {
        failureReported_ = true;
        std::cerr << "velomaris: cannot write the log " << path_ << ": " << std::strerror(errno)
                  << std::endl;
    }
}

TLog& ProgramLog() {
    static TLog log;
    return log;
}

void LogEvent(std::string_view gbkText) {
    ProgramLog().Write(gbkText);
}

std::string DescribeFailure(const std::exception& failure) {
    const char* mangled = typeid(failure).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    std::string name = status == 0 && demangled ? demangled.get() : mangled;
    if (const std::size_t colons = name.rfind("::"); colons != std::string::npos) {
        name.erase(0, colons + 2);
    }
    const auto* own = dynamic_cast<const Exception*>(&failure);
    return name + ": " + (own != nullptr ? own->Message() : std::string(failure.what()));
}

ScopedLogFile::ScopedLogFile(std::string osPath, const Clock* clock, std::uint64_t rotateBytes)
    : previousPath_(ProgramLog().FilePath()) {
    ProgramLog().OpenFile(std::move(osPath), rotateBytes);
    ProgramLog().SetClock(clock);
}

ScopedLogFile::~ScopedLogFile() {
    ProgramLog().SetClock(nullptr);
    ProgramLog().SetSecret(std::string());
    ProgramLog().OpenFile(previousPath_);
}

}  // namespace velomaris
