#include "net/IdManagedBuffer.h"

#include <string_view>

#include "net/IdException.h"

namespace velomaris {

void TIdManagedBuffer::Remove(std::size_t count) {
    const std::size_t size = Size();
    if (count > size) {
        throw EIdNotEnoughDataInBuffer();
    }
    if (count == size) {
        Clear();
    } else {
        consumed_ += count;
        if (consumed_ >= kCompactThreshold) {
            dropped_ += consumed_;
            consumed_ = 0;
            if (dropped_ >= storage_.size() - dropped_) {
                storage_.erase(0, dropped_);
                dropped_ = 0;
            }
        }
    }
    if (OnRemoved) {
        OnRemoved(count);
    }
}

std::string TIdManagedBuffer::Extract(std::size_t count) {
    if (count > Size()) {
        throw EIdNotEnoughDataInBuffer();
    }
    std::string bytes(Data(), count);
    Remove(count);
    return bytes;
}

void TIdManagedBuffer::Clear() {
    storage_.clear();
    consumed_ = 0;
    dropped_ = 0;
}

std::size_t TIdManagedBuffer::Find(const std::string& needle, std::size_t from) const {
    return std::string_view(Data(), Size()).find(needle, from);
}

}  // namespace velomaris
