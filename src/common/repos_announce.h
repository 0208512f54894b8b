// Announcements of changes to repository objects to the process's repository event manager.
//
// An announcing operation makes its change first and announces only once the change succeeded: a
// failed change announces nothing. What is announced while the connection has a transaction open
// is posted when the outermost level commits, and never when it does not (see
// RDA_BaseImpl::announce); otherwise at once. With no event manager registered nothing is
// announced or logged, and an operation's result never depends on an announcement. The manager is
// asked for anew each time.
#ifndef REPOS_ANNOUNCE_H
#define REPOS_ANNOUNCE_H

#include <cstdint>

#include "vqbstring.h"

class BaseRDAImpl;
class ReposDataAccess;
class ReposTypedDataAccess;

// postEvent (create, modify, lock, unlock; delete where no URI is announced) with the repository's
// UUID, which the connection is asked for only when a manager is registered.
void reposAnnounce(ReposDataAccess* connection, int changeType, const VqbString& typeName, uint32_t objectId,
                   const VqbString& objectUuid);
// The connection a typed data-access object of this library works on, for callers that hold only
// its interface; null for another implementation.
ReposDataAccess* reposConnectionOf(ReposTypedDataAccess* typed);
// After an update that may change the object's name (oldName read before the update): a rename
// when oldName is not null and differs from newName (in case too when exact), otherwise a modify.
// An object without an identifying text passes an empty objectUuid.
void reposAnnounceUpdate(ReposDataAccess* connection, const VqbString& typeName, uint32_t objectId,
                         const VqbString& objectUuid, const VqbString& oldName, const VqbString& newName,
                         bool exact = true);

// A delete by a data-access object, announced by the object's URI. Made before the delete, while
// the object's path and identity can still be read; posted after the commit:
//
//   ReposDeleteAnnouncement announcement(this, ReposObjectTypeName::Rule, id, kSource, __LINE__);
//   ... delete the rows in a transaction and commit; on failure return before posting ...
//   announcement.post();
//
// What is posted is a copy of the path and identity: a post kept until a host's commit does not
// need the object that made it.
//
// A path that cannot be built is logged at level 5 (source and line are the caller's) as
// "Error building path for <noun>=<id>", the noun being the lower-cased type name unless one is
// given; the delete goes on and nothing is announced.
class ReposDeleteAnnouncement {
public:
    ReposDeleteAnnouncement(BaseRDAImpl* owner, const char* typeName, uint32_t objectId, const char* source,
                            int line, const char* logNoun = nullptr);
    ReposDeleteAnnouncement(const ReposDeleteAnnouncement&) = delete;
    ReposDeleteAnnouncement& operator=(const ReposDeleteAnnouncement&) = delete;

    bool hasPath() const { return !path_.isEmpty(); }
    const VqbString& path() const { return path_; }
    // Empty when no resource manager could be made.
    const VqbString& identity() const { return identity_; }
    // postUriEvent with change type 1 (after the outermost commit); at most once, and nothing
    // without a path.
    void post();

private:
    BaseRDAImpl* owner_;
    VqbString typeName_;
    VqbString path_;
    VqbString identity_;
    bool posted_ = false;
};

#endif
