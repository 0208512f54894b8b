// Repository event announcements: the process-wide event manager a host registers, to which the
// library reports creates, changes, locks, unlocks and deletes of repository objects.
#ifndef VQ_REPEVENT_H
#define VQ_REPEVENT_H

#include "vqbstring.h"

enum RepositoryEventChangeType {
    REPOS_CHANGE_CREATE = 0,
    REPOS_CHANGE_DELETE = 1,
    REPOS_CHANGE_MODIFY = 2,
    REPOS_CHANGE_LOCK = 3,
    REPOS_CHANGE_UNLOCK = 4
};

// Implemented by the host. Calls may come from any thread the host's callers use.
class RepositoryEventManager {
public:
    virtual ~RepositoryEventManager() = default;
    virtual void postEvent(const VqbString& repositoryId, int changeType, const VqbString& objectTypeName,
                           int objectId, const VqbString& objectUuid) = 0;
    virtual void postRenameEvent(const VqbString& repositoryId, const VqbString& objectTypeName, int objectId,
                                 const VqbString& objectUuid, const VqbString& oldName,
                                 const VqbString& newName) = 0;
    virtual void postUriEvent(const VqbString& repositoryId, const VqbString& uriText, int changeType,
                              const VqbString& identity) = 0;
};

// The registered manager, or null when none is (the default: nothing is announced). Never owned
// by the caller.
RepositoryEventManager* getRepositoryEventManager();
// Registers a manager (null removes it) and returns the one registered before. The manager is not
// owned and must outlive its registration.
RepositoryEventManager* setRepositoryEventManager(RepositoryEventManager* manager);

// "Create", "Delete", "Modify", "Lock", "Unlock"; "Unknown" for any other value. Never null.
const char* getRepositoryEventChangeTypeString(int changeType);

#endif
