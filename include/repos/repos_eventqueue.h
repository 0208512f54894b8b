// The repository event queue (table REVENT): how applications sharing one repository learn what
// the others changed. Each writes events under its own source name and reads those of the other
// sources since a time. Made by Repository::createRepositoryEventQueueManager; ended with release()
// or deleted, before the repository.
#ifndef REPOS_EVENTQUEUE_H
#define REPOS_EVENTQUEUE_H

#include "repos_dataaccess.h"
#include "vqbstring.h"

class RepositoryEventQueueManager {
public:
    virtual ~RepositoryEventQueueManager() = default;
    // changeType: 0 create, 1 delete, 2 modify, 3 lock, 4 unlock. The event is stamped with the
    // current time and operating-system user. error receives the reason of a failure.
    virtual bool addEvent(const VqbString& subject, int changeType, const VqbString& other, const VqbString& source,
                          int& newId, VqbString& error) = 0;
    // Every REVENT column (EVT_ID, EVT_SBJT, EVT_ACTN, EVT_TIME, EVT_USER, EVT_OTHR, EVT_SRC) of
    // the events at or after eventTime written by any other source, in time and then id order. A
    // reader that passes the time of the last event it saw receives that event again. reserved is
    // not used.
    virtual ReposDataAccessCursor* listEventsSince(int reserved, double eventTime, const VqbString& source,
                                                   VqbString& error) = 0;
    // Removes the events with an id below eventId and a time before eventTime, each condition only
    // when its value is not 0; both 0 is refused.
    virtual bool deleteEvents(int eventId, double eventTime, VqbString& error) = 0;
    virtual void release() = 0;
};

#endif
