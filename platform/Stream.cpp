#include "platform/Stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Exception.h"
#include "platform/Files.h"

namespace velomaris {

void TMemoryStream::SetSize(std::int64_t size) {
    if (size < 0) {
        size = 0;
    }
    data_.resize(static_cast<size_t>(size));
    if (position_ > size) {
        position_ = size;
    }
}

void TMemoryStream::SetPosition(std::int64_t position) {
    position_ = std::max<std::int64_t>(0, position);
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0 || position_ >= Size()) {
        return 0;
    }
    std::int64_t n = std::min(count, Size() - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) {
        return 0;
    }
    std::int64_t end = position_ + count;
    if (end > Size()) {
        data_.resize(static_cast<size_t>(end));
    }
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

TFileStream::TFileStream(const std::string& gbkPath, TFileMode mode) : path_(gbkPath) {
    const std::string osPath = OsPath(gbkPath);
    int flags = O_CLOEXEC;
    switch (mode) {
        case TFileMode::fmOpenRead:
            flags |= O_RDONLY;
            break;
        case TFileMode::fmOpenWrite:
            flags |= O_WRONLY;
            break;
        case TFileMode::fmCreate:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
    }
    fd_ = ::open(osPath.c_str(), flags, 0644);
    if (fd_ < 0) {
        const std::string reason = std::strerror(errno);
        if (mode == TFileMode::fmCreate) {
            throw EFCreateError("Cannot create file \"" + gbkPath + "\". " + reason);
        }
        throw EFOpenError("Cannot open file \"" + gbkPath + "\". " + reason);
    }
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        const std::string reason = std::strerror(EISDIR);
        if (mode == TFileMode::fmCreate) {
            throw EFCreateError("Cannot create file \"" + gbkPath + "\". " + reason);
        }
        throw EFOpenError("Cannot open file \"" + gbkPath + "\". " + reason);
    }
}

TFileStream::~TFileStream() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::int64_t TFileStream::Size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        throw EReadError("Cannot read file \"" + path_ + "\". " + std::strerror(errno));
    }
    return static_cast<std::int64_t>(st.st_size);
}

void TFileStream::SetSize(std::int64_t size) {
    if (::ftruncate(fd_, std::max<std::int64_t>(0, size)) != 0) {
        throw EWriteError("Cannot write file \"" + path_ + "\". " + std::strerror(errno));
    }
    if (position_ > size) {
        position_ = size;
    }
}

void TFileStream::SetPosition(std::int64_t position) {
    position_ = std::max<std::int64_t>(0, position);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0) {
        return 0;
    }
    for (;;) {
        ssize_t n = ::pread(fd_, buffer, static_cast<size_t>(count), position_);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw EReadError("Cannot read file \"" + path_ + "\". " + std::strerror(errno));
        }
        position_ += n;
        return n;
    }
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    const char* bytes = static_cast<const char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n =
            ::pwrite(fd_, bytes + done, static_cast<size_t>(count - done), position_ + done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw EWriteError("Cannot write file \"" + path_ + "\". " + std::strerror(errno));
        }
        done += n;
    }
    position_ += done;
    return done;
}

std::string ReadWholeFile(const std::string& gbkPath) {
    TFileStream file(gbkPath, TFileMode::fmOpenRead);
    std::string bytes;
    char block[65536];
    for (;;) {
        std::int64_t n = file.Read(block, sizeof block);
        if (n == 0) {
            break;
        }
        bytes.append(block, static_cast<size_t>(n));
    }
    return bytes;
}

}  // namespace velomaris
