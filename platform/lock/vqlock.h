// Recursive locks and atomic holder ids, and the process singletons built on them.
#ifndef VQ_LOCK_H
#define VQ_LOCK_H

#include <atomic>
#include <cstdint>

struct VqLock;
typedef VqLock* VqLockHandle;

// A recursive lock. initiallyHeld != 0: the creating thread already holds it once.
// The second argument is accepted for compatibility; every lock is recursive.
VqLockHandle vqLockCreate(int initiallyHeld, int recursive);
// wait != 0 blocks until held; wait == 0 only tries. 1 when held, 0 when not (or no lock).
int vqLockGet(VqLockHandle lock, int wait, int count);
// Releases one hold of the calling thread; 0 when the lock is null.
int vqLockRelease(VqLockHandle lock);
void vqLockDestroy(VqLockHandle lock);
// How often the lock has been taken (creation and each successful get), for diagnostics.
uint64_t vqLockAcquisitions(VqLockHandle lock);

// An atomic integer holding, for instance, the id of a lock's current holder.
struct VqAtom {
    std::atomic<int64_t> value{-1};
};
void vqAtomInit(VqAtom* atom, int64_t value);
int64_t vqAtomGet(VqAtom* atom);
// Sets the value when it still equals expected; true when it did.
bool vqAtomSet(VqAtom* atom, int64_t expected, int64_t value);
void vqAtomDestroy(VqAtom* atom);

// Access to the process-wide repository lock, used while connection locks are created.
class RepositorySingleton {
public:
    RepositorySingleton();
    ~RepositorySingleton();
    RepositorySingleton(const RepositorySingleton&) = delete;
    RepositorySingleton& operator=(const RepositorySingleton&) = delete;

    bool isReady() const { return lock_ != nullptr; }
    void lock();
    void unlock();

private:
    VqLockHandle lock_;
    int held_ = 0;
};

#endif
