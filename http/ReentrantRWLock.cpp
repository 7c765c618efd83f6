#include "http/ReentrantRWLock.h"

#include "platform/Exception.h"

namespace velomaris {

bool ReentrantRWLock::MayReadLocked(std::thread::id self) const {
    if (writeDepth_ > 0) {
        return false;
    }
    // A thread that already reads goes ahead of waiting writers; see the header.
    return waitingWriters_ == 0 || readers_.count(self) > 0;
}

bool ReentrantRWLock::MayWriteLocked() const {
    return writeDepth_ == 0 && readers_.empty();
}

void ReentrantRWLock::RefusePromotionLocked(std::thread::id self) const {
    if (readers_.count(self) > 0) {
        throw Exception("A read lock cannot be promoted to a write lock");
    }
}

void ReentrantRWLock::LockRead() {
    std::unique_lock<std::mutex> hold(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    if (writeDepth_ > 0 && writer_ == self) {
        ++writerReads_;
        return;
    }
    changed_.wait(hold, [&] { return MayReadLocked(self); });
    ++readers_[self];
}

bool ReentrantRWLock::TryLockRead() {
    std::lock_guard<std::mutex> hold(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    if (writeDepth_ > 0 && writer_ == self) {
        ++writerReads_;
        return true;
    }
    if (!MayReadLocked(self)) {
        return false;
    }
    ++readers_[self];
    return true;
}

void ReentrantRWLock::UnlockRead() {
    std::lock_guard<std::mutex> hold(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    if (writeDepth_ > 0 && writer_ == self) {
        if (writerReads_ > 0) {
            --writerReads_;
        }
        return;
    }
    auto it = readers_.find(self);
    if (it == readers_.end()) {
        return;  // not held by this thread: nothing to release
    }
    if (--it->second == 0) {
        readers_.erase(it);
        changed_.notify_all();
    }
}

void ReentrantRWLock::LockWrite() {
    std::unique_lock<std::mutex> hold(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    if (writeDepth_ > 0 && writer_ == self) {
        ++writeDepth_;
        return;
    }
    RefusePromotionLocked(self);
    ++waitingWriters_;
    changed_.wait(hold, [&] { return MayWriteLocked(); });
    --waitingWriters_;
    writer_ = self;
    writeDepth_ = 1;
}

bool ReentrantRWLock::TryLockWrite() {
    std::lock_guard<std::mutex> hold(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    if (writeDepth_ > 0 && writer_ == self) {
        ++writeDepth_;
        return true;
    }
    RefusePromotionLocked(self);
    if (!MayWriteLocked()) {
        return false;
    }
    writer_ = self;
    writeDepth_ = 1;
    return true;
}

void ReentrantRWLock::UnlockWrite() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (writeDepth_ == 0 || writer_ != std::this_thread::get_id()) {
        return;  // not held by this thread: nothing to release
    }
    if (--writeDepth_ == 0) {
        // Read locks taken while writing outlive the write lock: the writer steps down to a
        // reader and must still release them.
        if (writerReads_ > 0) {
            readers_[writer_] = writerReads_;
            writerReads_ = 0;
        }
        writer_ = std::thread::id();
        changed_.notify_all();
    }
}

bool ReentrantRWLock::IsWriter() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return writeDepth_ > 0 && writer_ == std::this_thread::get_id();
}

}  // namespace velomaris
