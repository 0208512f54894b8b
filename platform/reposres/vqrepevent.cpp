#include "vqrepevent.h"

#include <atomic>

namespace {

std::atomic<RepositoryEventManager*> g_manager{nullptr};

// Indexed by change type.
const char* const kChangeTypeNames[] = {"Create", "Delete", "Modify", "Lock", "Unlock"};

}  // namespace

RepositoryEventManager* getRepositoryEventManager() { return g_manager.load(std::memory_order_acquire); }

RepositoryEventManager* setRepositoryEventManager(RepositoryEventManager* manager) {
    return g_manager.exchange(manager, std::memory_order_acq_rel);
}

const char* getRepositoryEventChangeTypeString(int changeType) {
    const int count = static_cast<int>(sizeof(kChangeTypeNames) / sizeof(kChangeTypeNames[0]));
    if (changeType < 0 || changeType >= count) return "Unknown";
    return kChangeTypeNames[changeType];
}
