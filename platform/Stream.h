// Seekable byte streams: in memory (a fetched page) or over a file (a page being uploaded).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velomaris {

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    virtual std::int64_t Size() const = 0;
    // Changing the size may move the position when it lies past the new end.
    virtual void SetSize(std::int64_t size) = 0;
    virtual std::int64_t Position() const = 0;
    virtual void SetPosition(std::int64_t position) = 0;
    // Reads up to count bytes at the position; returns how many were read (0 at the end).
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    // Writes count bytes at the position, growing the stream; returns how many were written.
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;

    void WriteString(std::string_view bytes) {
        Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    }
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}

    std::int64_t Size() const override { return static_cast<std::int64_t>(data_.size()); }
    void SetSize(std::int64_t size) override;
    std::int64_t Position() const override { return position_; }
    void SetPosition(std::int64_t position) override;
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;

    // The whole content, whatever the position.
    const std::string& Bytes() const { return data_; }
    void Clear();
    // Capacity reserved ahead of the content (never shrinks the content).
    void Reserve(std::int64_t capacity) { data_.reserve(static_cast<size_t>(capacity)); }

private:
    std::string data_;
    std::int64_t position_ = 0;
};

// How a file stream opens its file.
enum class TFileMode {
    fmOpenRead,   // existing file, read only, others may read and write meanwhile
    fmOpenWrite,  // existing file, write only
    fmCreate,     // create or truncate, read and write
};

// A stream over a file, named by its GBK path (converted to UTF-8 for the file system).
// Failing to open raises EFOpenError "Cannot open file "%s". %s" and failing to create
// raises EFCreateError "Cannot create file "%s". %s", with the full path and the system's text.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& gbkPath, TFileMode mode);
    ~TFileStream() override;

    std::int64_t Size() const override;
    void SetSize(std::int64_t size) override;
    std::int64_t Position() const override { return position_; }
    void SetPosition(std::int64_t position) override;
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;

    const std::string& FileName() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
    std::int64_t position_ = 0;
};

// Reads a whole file (GBK path); raises EFOpenError or EReadError.
std::string ReadWholeFile(const std::string& gbkPath);

}  // namespace velomaris
