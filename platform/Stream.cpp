#include "platform/Stream.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/Exception.h"
#include "platform/Files.h"

namespace velomaris {

namespace {

// A large body is written once, front to back, into fresh memory; taking that memory in 2 MiB
// pages where the system allows it turns hundreds of page faults per megabyte into one. Only
// whole large pages inside the room not yet written are advised; the advice is a hint, and a
// system that declines it works as before.
void AdviseLargePages(char* begin, std::size_t length) {
    constexpr std::uintptr_t kLargePage = 2 * 1024 * 1024;
    const auto first =
        (reinterpret_cast<std::uintptr_t>(begin) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(begin) + length) & ~(kLargePage - 1);
    if (end > first) {
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
}

}  // namespace

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
    const char* bytes = static_cast<const char*>(buffer);
    if (position_ > Size()) {
        data_.resize(static_cast<size_t>(position_));
    }
    // The part that overwrites existing bytes is copied in place; the rest is appended, which
    // grows the storage geometrically and copies each byte once.
    const std::int64_t overlap = std::min(count, Size() - position_);
    if (position_ + count > Capacity()) {
        Reserve(position_ + count);
    }
    std::memcpy(data_.data() + position_, bytes, static_cast<size_t>(overlap));
    data_.append(bytes + overlap, static_cast<size_t>(count - overlap));
    position_ += count;
    return count;
}

void TMemoryStream::Reserve(std::int64_t capacity) {
    const std::int64_t room = Capacity();
    if (capacity > room) {
        data_.reserve(static_cast<size_t>(std::max(capacity, 2 * room)));
        AdviseLargePages(data_.data() + data_.size(), data_.capacity() - data_.size());
    }
}

std::string TMemoryStream::TakeBytes() {
    std::string bytes = std::move(data_);
    data_.clear();
    position_ = 0;
    return bytes;
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
    CloseHandle();
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

int TFileStream::WriteAt(const void* buffer, std::int64_t count, std::int64_t offset) {
    const char* bytes = static_cast<const char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(fd_, bytes + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        done += n;
    }
    return 0;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) {
        return 0;
    }
    if (const int error = WriteAt(buffer, count, position_); error != 0) {
        throw EWriteError("Cannot write file \"" + path_ + "\". " + std::strerror(error));
    }
    position_ += count;
    return count;
}

int TFileStream::CloseHandle() {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) != 0 ? errno : 0;
}

TReplacingFileStream::TTemporary TReplacingFileStream::CreateTemporary(const std::string& gbkPath,
                                                                       mode_t newFileMode) {
    TTemporary temporary{OsPath(gbkPath), std::string(), -1};
    mode_t mode = newFileMode;
    struct stat st {};
    if (::stat(temporary.osTarget.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    }
    std::string name = temporary.osTarget + ".tmp-XXXXXX";
    temporary.fd = ::mkstemp(name.data());
    if (temporary.fd < 0) {
        throw EFCreateError("Cannot create file \"" + gbkPath + "\". " + std::strerror(errno));
    }
    temporary.osTemporary = name;
    if (::fchmod(temporary.fd, mode) != 0) {
        const int error = errno;
        ::close(temporary.fd);
        ::unlink(name.c_str());
        throw EFCreateError("Cannot create file \"" + gbkPath + "\". " + std::strerror(error));
    }
    return temporary;
}

TReplacingFileStream::TReplacingFileStream(const std::string& gbkPath, mode_t newFileMode,
                                           TReplacement replacement)
    : TReplacingFileStream(gbkPath, CreateTemporary(gbkPath, newFileMode), replacement) {}

TReplacingFileStream::TReplacingFileStream(const std::string& gbkPath, TTemporary temporary,
                                           TReplacement replacement)
    : TFileStream(gbkPath, temporary.fd),
      replacement_(replacement),
      osTarget_(std::move(temporary.osTarget)),
      osTemporary_(std::move(temporary.osTemporary)) {}

TReplacingFileStream::~TReplacingFileStream() {
    if (!committed_) {
        CloseHandle();
        ::unlink(osTemporary_.c_str());
    }
}

void TReplacingFileStream::Fail(int error) {
    CloseHandle();
    ::unlink(osTemporary_.c_str());
    committed_ = true;  // nothing is left to remove
    throw EFCreateError("Cannot create file \"" + FileName() + "\". " + std::strerror(error));
}

std::int64_t TReplacingFileStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) {
        return 0;
    }
    if (committed_) {
        Fail(EBADF);
    }
    if (const int error = WriteAt(buffer, count, Position()); error != 0) {
        Fail(error);
    }
    Advance(count);
    StartWriteback();
    return count;
}

void TReplacingFileStream::StartWriteback() {
    // Each full stretch goes to the disk while the rest is still being written, so Commit's
    // flush waits only for the last one. The request only starts the writing; a failure shows
    // at the flush.
    while (replacement_ == TReplacement::Durable &&
           Position() - writebackStart_ >= kWritebackStretch) {
        ::sync_file_range(Handle(), writebackStart_, kWritebackStretch, SYNC_FILE_RANGE_WRITE);
        writebackStart_ += kWritebackStretch;
    }
}

void TReplacingFileStream::Commit() {
    if (committed_) {
        Fail(EBADF);
    }
    // The data and the size are what a reader needs after a crash; the mode was set when the
    // file was made, so fdatasync is enough.
    if (replacement_ == TReplacement::Durable && ::fdatasync(Handle()) != 0) {
        Fail(errno);
    }
    if (const int error = CloseHandle(); error != 0) {
        Fail(error);
    }
    if (::rename(osTemporary_.c_str(), osTarget_.c_str()) != 0) {
        Fail(errno);
    }
    committed_ = true;
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
