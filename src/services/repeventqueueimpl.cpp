#include "repeventqueueimpl.h"

#include "repos_guard.h"
#include "reposlog.h"

namespace {
const char* const kSource = "repeventqueueimpl";
}

RepositoryEventQueueManagerImpl::RepositoryEventQueueManagerImpl(Repository* repository)
    : repository_(repository), logger_(vqlogGetLogger(REPOS_LOGGER_EVENTQUEUE)) {
    if (repository_) meta_.reset(repository_->createMetadataRepositoryDataAccess());
}

RepositoryEventQueueManagerImpl::~RepositoryEventQueueManagerImpl() {
    meta_.reset();
    repository_ = nullptr;
}

void RepositoryEventQueueManagerImpl::release() { delete this; }

void RepositoryEventQueueManagerImpl::recordCaught(int line, VqbString& error) noexcept {
    const char* text = reposCaughtText();
    try {
        error = VqbString(text);
        reposLog(logger_, 5, kSource, line, "%s", text);
    } catch (...) {
        // The failure value still reaches the caller.
    }
}

bool RepositoryEventQueueManagerImpl::addEvent(const VqbString& subject, int changeType, const VqbString& other,
                                               const VqbString& source, int& newId, VqbString& error) try {
    if (!meta_) return false;
    int id = 0;
    // The metadata access logged its failure.
    if (!meta_->addRepositoryEvent(subject, changeType, other, source, &id, error)) return false;
    newId = id;
    reposLog(logger_, 1, kSource, __LINE__, "Added EventId=%d to repository event queue", id);
    return true;
} catch (...) {
    return caught(__LINE__, error, false);
}

ReposDataAccessCursor* RepositoryEventQueueManagerImpl::listEventsSince(int reserved, double eventTime,
                                                                        const VqbString& source, VqbString& error) try {
    if (!meta_) return nullptr;
    return meta_->listRepositoryEventsSince(reserved, eventTime, source, error);
} catch (...) {
    return caught(__LINE__, error, nullptr);
}

bool RepositoryEventQueueManagerImpl::deleteEvents(int eventId, double eventTime, VqbString& error) try {
    if (!meta_) return false;
    return meta_->deleteRepositoryEvents(eventId, eventTime, error);
} catch (...) {
    return caught(__LINE__, error, false);
}
