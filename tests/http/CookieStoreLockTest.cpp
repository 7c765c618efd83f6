// The cookie store's reader/writer lock: nesting by the writer, sharing among readers,
// exclusion of writers, no starvation of a waiting writer.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "http/ReentrantRWLock.h"
#include "platform/Exception.h"

namespace velomaris {
namespace {

// Runs fn on another thread and returns its result.
template <typename Fn>
auto OnOtherThread(Fn fn) {
    return std::async(std::launch::async, fn).get();
}

// Whether another thread could take the lock right now; what it takes it gives back at once.
bool OtherThreadCanRead(ReentrantRWLock& lock) {
    return OnOtherThread([&] {
        const bool got = lock.TryLockRead();
        if (got) {
            lock.UnlockRead();
        }
        return got;
    });
}
bool OtherThreadCanWrite(ReentrantRWLock& lock) {
    return OnOtherThread([&] {
        const bool got = lock.TryLockWrite();
        if (got) {
            lock.UnlockWrite();
        }
        return got;
    });
}

TEST(CookieStoreLock, WriterTakesTheWriteLockAgainAndReadsToo) {
    // A purge holds the write lock and removes cookies, which takes it again; a plain
    // std::shared_mutex would deadlock here.
    ReentrantRWLock lock;
    lock.LockWrite();
    lock.LockWrite();
    lock.LockRead();
    EXPECT_TRUE(lock.IsWriter());
    EXPECT_FALSE(OnOtherThread([&] { return lock.TryLockRead(); }));
    lock.UnlockRead();
    lock.UnlockWrite();
    // Still held once: others stay out.
    EXPECT_TRUE(lock.IsWriter());
    EXPECT_FALSE(OnOtherThread([&] { return lock.TryLockWrite(); }));
    lock.UnlockWrite();
    EXPECT_FALSE(lock.IsWriter());
    EXPECT_TRUE(OtherThreadCanWrite(lock));
}

TEST(CookieStoreLock, ReadersShareAndKeepWritersOut) {
    ReentrantRWLock lock;
    lock.LockRead();
    lock.LockRead();  // a reader may nest its reads
    EXPECT_TRUE(OtherThreadCanRead(lock));
    EXPECT_FALSE(OnOtherThread([&] { return lock.TryLockWrite(); }));
    lock.UnlockRead();
    EXPECT_FALSE(OnOtherThread([&] { return lock.TryLockWrite(); }));
    lock.UnlockRead();
    EXPECT_TRUE(OtherThreadCanWrite(lock));
}

TEST(CookieStoreLock, ReadTakenWhileWritingOutlivesTheWriteLock) {
    ReentrantRWLock lock;
    lock.LockWrite();
    lock.LockRead();
    lock.UnlockWrite();
    // Now an ordinary reader: others may read but not write.
    EXPECT_FALSE(lock.IsWriter());
    EXPECT_FALSE(OnOtherThread([&] { return lock.TryLockWrite(); }));
    EXPECT_TRUE(OtherThreadCanRead(lock));
    lock.UnlockRead();
    EXPECT_TRUE(OtherThreadCanWrite(lock));
}

TEST(CookieStoreLock, PromotingAReadLockIsRefusedInsteadOfHanging) {
    ReentrantRWLock lock;
    ReadLockGuard read(lock);
    EXPECT_THROW(lock.LockWrite(), Exception);
    EXPECT_THROW(lock.TryLockWrite(), Exception);
}

TEST(CookieStoreLock, WaitingWriterHoldsBackNewReadersButNotNestedOnes) {
    ReentrantRWLock lock;
    lock.LockRead();
    std::promise<void> writerStarted;
    std::atomic<bool> writerGotIt{false};
    std::thread writer([&] {
        writerStarted.set_value();
        lock.LockWrite();
        writerGotIt = true;
        lock.UnlockWrite();
    });
    writerStarted.get_future().wait();
    // Wait (without sleeping) until the writer is queued: a new reader is then turned away.
    while (OtherThreadCanRead(lock)) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(writerGotIt);
    // The thread that already reads may read again without deadlocking against the writer.
    EXPECT_TRUE(lock.TryLockRead());
    lock.UnlockRead();
    lock.UnlockRead();
    writer.join();
    EXPECT_TRUE(writerGotIt);
}

TEST(CookieStoreLock, WritersAreExclusiveUnderContention) {
    ReentrantRWLock lock;
    long long first = 0;
    long long second = 0;
    std::atomic<bool> torn{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                if ((i + t) % 3 == 0) {
                    WriteLockGuard write(lock);
                    WriteLockGuard again(lock);
                    ++first;
                    ++second;
                } else {
                    ReadLockGuard read(lock);
                    if (first != second) {
                        torn = true;
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(torn);
    EXPECT_EQ(first, second);
    long long writes = 0;
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 2000; ++i) {
            writes += (i + t) % 3 == 0;
        }
    }
    EXPECT_EQ(first, writes);
}

}  // namespace
}  // namespace velomaris
