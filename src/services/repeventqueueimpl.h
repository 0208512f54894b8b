// The repository event queue: forwards to a metadata data access that it owns and logs the
// outcome. Failures are reported through each operation's error text.
#ifndef REPEVENTQUEUEIMPL_H
#define REPEVENTQUEUEIMPL_H

#include "repos_eventqueue.h"
#include "repos_held.h"
#include "repos_metadata_rda.h"
#include "repos_repository.h"
#include "vqlog.h"

class RepositoryEventQueueManagerImpl : public RepositoryEventQueueManager {
public:
    // The repository is not owned and must outlive the manager. Without a repository, or when it
    // supplies no metadata data access, every operation fails without a log entry.
    explicit RepositoryEventQueueManagerImpl(Repository* repository);
    ~RepositoryEventQueueManagerImpl() override;

    bool addEvent(const VqbString& subject, int changeType, const VqbString& other, const VqbString& source,
                  int& newId, VqbString& error) override;
    ReposDataAccessCursor* listEventsSince(int reserved, double eventTime, const VqbString& source,
                                           VqbString& error) override;
    bool deleteEvents(int eventId, double eventTime, VqbString& error) override;
    void release() override;

private:
    // The handler of an entry point's function-try-block: the caught exception's text as the
    // operation's error, logged at level 5.
    template <class T>
    T caught(int line, VqbString& error, T failure) noexcept {
        recordCaught(line, error);
        return failure;
    }
    void recordCaught(int line, VqbString& error) noexcept;

    Repository* repository_;
    VqLogger* logger_;
    ReposHeld<MetadataRepositoryDataAccess> meta_;
};

#endif
