// Byte buffers of the TCP connection: a growable block, and the input buffer that consumes
// bytes at its front without moving the rest on every read.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace velomaris {

class TIdSimpleBuffer {
public:
    TIdSimpleBuffer() = default;
    virtual ~TIdSimpleBuffer() = default;
    TIdSimpleBuffer(const TIdSimpleBuffer&) = delete;
    TIdSimpleBuffer& operator=(const TIdSimpleBuffer&) = delete;

    char* Memory() { return storage_.data(); }
    std::size_t Length() const { return storage_.size(); }
    void SetLength(std::size_t length) { storage_.resize(length); }
    void Append(const char* bytes, std::size_t count) { storage_.append(bytes, count); }

protected:
    std::string storage_;
};

class TIdManagedBuffer : public TIdSimpleBuffer {
public:
    // Compaction happens only once this many bytes have been consumed, so a run of short
    // reads costs no copying each.
    static constexpr std::size_t kCompactThreshold = 32768;

    // Called with the count after every removal (the connection reports it as read work).
    std::function<void(std::size_t)> OnRemoved;

    // The storage as its owner sees it: the bytes from the last compaction on.
    char* Memory() { return storage_.data() + dropped_; }
    std::size_t Length() const { return storage_.size() - dropped_; }
    void SetLength(std::size_t length) { storage_.resize(dropped_ + length); }

    // The unconsumed bytes.
    const char* Data() const { return storage_.data() + dropped_ + consumed_; }
    std::size_t Size() const { return storage_.size() - dropped_ - consumed_; }
    bool Empty() const { return Size() == 0; }
    std::size_t ConsumedCount() const { return consumed_; }

    // EIdNotEnoughDataInBuffer "Not enough data in buffer." when count exceeds the size.
    void Remove(std::size_t count);
    std::string Extract(std::size_t count);
    void Clear();
    // Offset (from Data()) of the first occurrence of needle at or after from, or npos.
    std::size_t Find(const std::string& needle, std::size_t from) const;

private:
    std::size_t consumed_ = 0;
    // Bytes a compaction has dropped from the front that still sit in the storage: they are
    // moved out only once they outnumber the bytes behind them, so reading a large buffer line
    // by line moves each byte a bounded number of times instead of once per 32768 consumed.
    std::size_t dropped_ = 0;
};

}  // namespace velomaris
