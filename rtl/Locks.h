// The locks of the framework's shared registries. TCriticalSection is a recursive
// mutex; TMultiReadExclusiveWriteSynchronizer lets many readers or one writer in, and
// lets the writing thread enter again (reading a form while a form is read, for nested
// roots, takes the write lock twice).
#pragma once

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <thread>

namespace rtl {

class TCriticalSection {
public:
    void Enter() { FMutex.lock(); }
    void Leave() { FMutex.unlock(); }
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex FMutex;
};

class TMultiReadExclusiveWriteSynchronizer {
public:
    void BeginRead();
    void EndRead();
    void BeginWrite();
    void EndWrite();

private:
    std::shared_mutex FLock;
    std::atomic<std::thread::id> FWriter{};
    int FWriteDepth = 0; // touched only by the writing thread
};

// Holds the write lock of a synchronizer for a scope.
class TWriteLock {
public:
    explicit TWriteLock(TMultiReadExclusiveWriteSynchronizer& s) : FSync(s) { FSync.BeginWrite(); }
    ~TWriteLock() { FSync.EndWrite(); }
    TWriteLock(const TWriteLock&) = delete;
    TWriteLock& operator=(const TWriteLock&) = delete;

private:
    TMultiReadExclusiveWriteSynchronizer& FSync;
};

} // namespace rtl
