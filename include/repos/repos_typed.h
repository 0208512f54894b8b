// The base of the typed data-access interfaces: one per product area, each in its own header
// repos_<family>_rda.h. Every one of them starts with the same operations, declared once in
// ReposTypedDataAccess and served by one implementation for all areas.
//
// Objects handed out are ended with release(), never deleted, and must be released before the
// repository that made them: they use its connection.
#ifndef REPOS_TYPED_H
#define REPOS_TYPED_H

#include "repos_callbacks.h"
#include "repos_dataaccess.h"
#include "vqbstring.h"

// Each typed interface derives virtually from this class, so that an implementation deriving from
// the shared base implementation and from its interface has one set of these operations.
class ReposTypedDataAccess {
protected:
    virtual ~ReposTypedDataAccess() = default;

public:
    // Levels nest; only the outermost begins and ends the database transaction. busy (when given)
    // tells whether an exclusive begin failed because another writer holds the database.
    virtual bool beginTransaction(bool exclusive, bool* busy = nullptr) = 0;
    // commit false rolls back.
    virtual bool endTransaction(bool commit) = 0;
    // The connection's general error text, the same after every failure; details are in the log.
    virtual VqbString getErrorMessage() = 0;
    // While a callback is set, the connector back end hands statements to it instead of running
    // them; null ends that.
    virtual void setDDLCallback(ReposDDLCallback* callback) = 0;
    virtual void release() = 0;
};

#endif
