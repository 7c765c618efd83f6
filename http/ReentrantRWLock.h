// A multi-reader single-writer lock whose writer may take it again, for the cookie store.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace velomaris {

// Many threads may read at once; one thread writes alone. Unlike std::shared_mutex, a thread
// may nest its locks: a writer takes the write lock again (removing a cookie while a purge
// holds the lock) or takes a read lock, and a reader takes further read locks. A waiting
// writer holds back new readers so a steady stream of readers cannot starve it, but never
// a thread that already reads (that would deadlock it against the writer).
//
// Promoting a held read lock to a write lock is refused with an Exception: two readers that
// both promote would wait for each other for ever.
class ReentrantRWLock {
public:
    ReentrantRWLock() = default;
    ReentrantRWLock(const ReentrantRWLock&) = delete;
    ReentrantRWLock& operator=(const ReentrantRWLock&) = delete;

    void LockRead();
    bool TryLockRead();
    void UnlockRead();

    void LockWrite();
    bool TryLockWrite();
    void UnlockWrite();

    // True when the calling thread holds the write lock.
    bool IsWriter() const;

private:
    bool MayReadLocked(std::thread::id self) const;
    bool MayWriteLocked() const;
    void RefusePromotionLocked(std::thread::id self) const;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread::id writer_;
    std::size_t writeDepth_ = 0;
    // Read locks the writer took while writing; they become ordinary read locks when the
    // writer releases its last write lock before them.
    std::size_t writerReads_ = 0;
    std::size_t waitingWriters_ = 0;
    std::unordered_map<std::thread::id, std::size_t> readers_;
};

class ReadLockGuard {
public:
    explicit ReadLockGuard(ReentrantRWLock& lock) : lock_(lock) { lock_.LockRead(); }
    ~ReadLockGuard() { lock_.UnlockRead(); }
    ReadLockGuard(const ReadLockGuard&) = delete;
    ReadLockGuard& operator=(const ReadLockGuard&) = delete;

private:
    ReentrantRWLock& lock_;
};

class WriteLockGuard {
public:
    explicit WriteLockGuard(ReentrantRWLock& lock) : lock_(lock) { lock_.LockWrite(); }
    ~WriteLockGuard() { lock_.UnlockWrite(); }
    WriteLockGuard(const WriteLockGuard&) = delete;
    WriteLockGuard& operator=(const WriteLockGuard&) = delete;

private:
    ReentrantRWLock& lock_;
};

}  // namespace velomaris
