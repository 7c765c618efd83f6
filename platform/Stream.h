// Seekable byte streams: in memory (a fetched page) or over a file (a page being uploaded).
#pragma once

#include <sys/types.h>

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
    // A hint that the stream is about to grow to this size: a stream that keeps its bytes in
    // memory sets the room aside once instead of growing step by step. Changes neither the
    // size nor the content.
    virtual void Reserve(std::int64_t /*capacity*/) {}

    void WriteString(std::string_view bytes) {
        Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    }
};

// Grows geometrically; bytes a write is about to fill are never zero-filled first (only
// SetSize past the end and a write beyond the end fill the gap with zeros).
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
    // Hands the content over without copying it; the stream is left empty.
    std::string TakeBytes();
    void Clear();
    // Room for at least capacity bytes. A request past the current room at least doubles it,
    // so a run of growing requests (one per chunk of a body) costs few reallocations.
    void Reserve(std::int64_t capacity) override;
    std::int64_t Capacity() const { return static_cast<std::int64_t>(data_.capacity()); }

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

protected:
    // Takes over a descriptor that is already open.
    TFileStream(std::string gbkPath, int fd) : path_(std::move(gbkPath)), fd_(fd) {}
    int Handle() const { return fd_; }
    // Closes the descriptor; returns the errno of a failed close, else 0.
    int CloseHandle();
    // Writes all count bytes at offset; returns 0, or the errno that stopped it.
    int WriteAt(const void* buffer, std::int64_t count, std::int64_t offset);
    void Advance(std::int64_t count) { position_ += count; }

private:
    std::string path_;
    int fd_ = -1;
    std::int64_t position_ = 0;
};

// The new content of a file, written to a temporary file in the same directory and put in the
// file's place by Commit as one step: the data is flushed to disk (fdatasync) and the temporary
// file renamed over the target, so a crash leaves either the old or the new content, never a
// mix. Destroyed without Commit, the temporary file is removed and the file stays as it was.
// A new file gets newFileMode; an existing one keeps its mode. Every failure raises
// EFCreateError "Cannot create file "%s". %s" with the target's path.
//
// A scratch file (TReplacement::Scratch) is renamed into place without waiting for the disk:
// the running program still sees the old or the new content whole, but after a system crash
// the file may be empty. Only for a file that is always written anew before it is read.
enum class TReplacement { Durable, Scratch };

class TReplacingFileStream : public TFileStream {
public:
    explicit TReplacingFileStream(const std::string& gbkPath, mode_t newFileMode = 0644,
                                  TReplacement replacement = TReplacement::Durable);
    ~TReplacingFileStream() override;

    std::int64_t Write(const void* buffer, std::int64_t count) override;
    void Commit();

private:
    struct TTemporary {
        std::string osTarget;
        std::string osTemporary;
        int fd;
    };
    static TTemporary CreateTemporary(const std::string& gbkPath, mode_t newFileMode);
    TReplacingFileStream(const std::string& gbkPath, TTemporary temporary,
                         TReplacement replacement);
    [[noreturn]] void Fail(int error);
    void StartWriteback();

    static constexpr std::int64_t kWritebackStretch = 4 << 20;
    TReplacement replacement_;
    std::string osTarget_;
    // Where the data not yet handed to the disk begins.
    std::int64_t writebackStart_ = 0;
    std::string osTemporary_;
    bool committed_ = false;
};

// Reads a whole file (GBK path); raises EFOpenError or EReadError.
std::string ReadWholeFile(const std::string& gbkPath);

}  // namespace velomaris
