#include "vqlock.h"

#include <atomic>
#include <mutex>
#include <new>

struct VqLock {
    std::recursive_mutex mutex;
    std::atomic<uint64_t> acquisitions{0};
};

VqLockHandle vqLockCreate(int initiallyHeld, int /*recursive*/) {
    VqLock* lock = new (std::nothrow) VqLock();
    if (lock && initiallyHeld) {
        lock->mutex.lock();
        lock->acquisitions.fetch_add(1, std::memory_order_relaxed);
    }
    return lock;
}

int vqLockGet(VqLockHandle lock, int wait, int /*count*/) {
    if (!lock) return 0;
    if (wait) {
        lock->mutex.lock();
    } else if (!lock->mutex.try_lock()) {
        return 0;
    }
    lock->acquisitions.fetch_add(1, std::memory_order_relaxed);
    return 1;
}

int vqLockRelease(VqLockHandle lock) {
    if (!lock) return 0;
    lock->mutex.unlock();
    return 1;
}

void vqLockDestroy(VqLockHandle lock) { delete lock; }

uint64_t vqLockAcquisitions(VqLockHandle lock) {
    return lock ? lock->acquisitions.load(std::memory_order_relaxed) : 0;
}

void vqAtomInit(VqAtom* atom, int64_t value) { atom->value.store(value, std::memory_order_release); }

int64_t vqAtomGet(VqAtom* atom) { return atom->value.load(std::memory_order_acquire); }

bool vqAtomSet(VqAtom* atom, int64_t expected, int64_t value) {
    return atom->value.compare_exchange_strong(expected, value, std::memory_order_acq_rel);
}

void vqAtomDestroy(VqAtom* atom) { atom->value.store(-1, std::memory_order_relaxed); }

namespace {
VqLockHandle processLock() {
    // Never freed: connections may be made and released during static destruction.
    static VqLockHandle lock = vqLockCreate(0, 1);
    return lock;
}
}  // namespace

RepositorySingleton::RepositorySingleton() : lock_(processLock()) {}

RepositorySingleton::~RepositorySingleton() {
    while (held_ > 0) unlock();
}

void RepositorySingleton::lock() {
    if (lock_ && vqLockGet(lock_, 1, 1)) ++held_;
}

void RepositorySingleton::unlock() {
    if (lock_ && held_ > 0) {
        --held_;
        vqLockRelease(lock_);
    }
}
