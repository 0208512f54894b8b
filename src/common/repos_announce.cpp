#include "repos_announce.h"

#include <memory>

#include "base_rdaimpl.h"
#include "rda_impl.h"
#include "repos_held.h"
#include "reposlog.h"
#include "vqrepevent.h"
#include "vqreposuri.h"
#include "vqresmgr.h"

namespace {

VqbString repositoryIdOf(ReposDataAccess* connection) {
    return connection ? connection->getRepositoryUuid() : VqbString("");
}

// The post goes at once, or with the connection's transaction when one is open (whatever the
// host's manager throws stays there); the manager is asked for again when it goes. The change is
// made by the time it is announced, so the operation still reports the result of its database work.
template <class Post>
void deliver(ReposDataAccess* connection, Post post) {
    if (!getRepositoryEventManager()) return;
    try {
        RDA_BaseImpl::announce(connection, [post = std::move(post)]() {
            if (RepositoryEventManager* manager = getRepositoryEventManager()) post(*manager);
        });
    } catch (...) {
    }
}

// Ids are unsigned row ids; the event manager and identities take them as signed 32-bit values.
int signedId(uint32_t id) { return static_cast<int>(id); }

}  // namespace

void reposAnnounce(ReposDataAccess* connection, int changeType, const VqbString& typeName, uint32_t objectId,
                   const VqbString& objectUuid) {
    deliver(connection, [=](RepositoryEventManager& manager) {
        manager.postEvent(repositoryIdOf(connection), changeType, typeName, signedId(objectId), objectUuid);
    });
}

ReposDataAccess* reposConnectionOf(ReposTypedDataAccess* typed) {
    auto* base = dynamic_cast<BaseRDAImpl*>(typed);
    return base ? base->getConnection() : nullptr;
}

void reposAnnounceUpdate(ReposDataAccess* connection, const VqbString& typeName, uint32_t objectId,
                         const VqbString& objectUuid, const VqbString& oldName, const VqbString& newName,
                         bool exact) {
    const VqbString uuid = objectUuid.isNull() ? VqbString("") : objectUuid;
    const bool renamed = !oldName.isNull() && !oldName.equals(newName, exact);
    deliver(connection, [=](RepositoryEventManager& manager) {
        VqbString repositoryId = repositoryIdOf(connection);
        if (renamed)
            manager.postRenameEvent(repositoryId, typeName, signedId(objectId), uuid, oldName, newName);
        else
            manager.postEvent(repositoryId, REPOS_CHANGE_MODIFY, typeName, signedId(objectId), uuid);
    });
}

ReposDeleteAnnouncement::ReposDeleteAnnouncement(BaseRDAImpl* owner, const char* typeName, uint32_t objectId,
                                                 const char* source, int line, const char* logNoun)
    : owner_(owner), typeName_(typeName), path_(""), identity_("") {
    VqbString uuid("");
    VqbString error;
    VqbString path;
    if (owner_ && owner_->getObjectPath(signedId(objectId), typeName_, path, uuid, error)) {
        path_ = path;
    } else if (owner_) {
        VqbString noun(logNoun ? VqbString(logNoun) : VqbString(typeName_).lowercase());
        reposLog(owner_->getLogger(), 5, source, line, "Error building path for %s=%d", noun.asCstr(),
                 signedId(objectId));
    }
    ReposHeld<VqResourceManager> resources(createVqResourceManager());
    if (resources &&
        !resources->getObjectIdentity(VqbString(""), typeName_, VqbString::format("%d", signedId(objectId)), uuid,
                                      identity_))
        identity_ = VqbString("");
}

void ReposDeleteAnnouncement::post() {
    if (posted_ || path_.isEmpty()) return;
    posted_ = true;
    ReposDataAccess* connection = owner_ ? owner_->getConnection() : nullptr;
    deliver(connection, [connection, path = path_, typeName = typeName_,
                         identity = identity_](RepositoryEventManager& manager) {
        std::unique_ptr<VqReposURI> uri(getReposURIFromComponents(VqbString(""), path, typeName));
        if (!uri) return;
        VqbString text;
        uri->toString(text);
        manager.postUriEvent(repositoryIdOf(connection), text, REPOS_CHANGE_DELETE, identity);
    });
}
