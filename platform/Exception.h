// The common exception base of the program and the general-purpose failures.
#pragma once

#include <exception>
#include <string>

namespace velomaris {

// Every failure of the program is an Exception with a message; handlers catch it, and the
// general error report shows the message of any that escapes.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// A text that is not a number, or a number out of range.
class EConvertError : public Exception {
    using Exception::Exception;
};

// A file or memory stream that cannot be opened, created, read or written.
class EStreamError : public Exception {
    using Exception::Exception;
};
class EFOpenError : public EStreamError {
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
    using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
    using EStreamError::EStreamError;
};

// A text that cannot be converted between GBK and the system's UTF-8.
class ETextConversionError : public Exception {
    using Exception::Exception;
};

}  // namespace velomaris
