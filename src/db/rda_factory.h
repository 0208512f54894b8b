// The one place where repository connections are made.
#ifndef RDA_FACTORY_H
#define RDA_FACTORY_H

#include "repos_dataaccess.h"

enum ReposBackendKind {
    REPOS_BACKEND_CONNECTOR = 0,    // a connector connection string
    REPOS_BACKEND_SQLITE_CREATE = 1,  // a SQLite repository file that is created
    REPOS_BACKEND_SQLITE_OPEN = 2,    // an existing SQLite repository file
};

// A ready connection, or null with the reason in error (a failed set-up leaves nothing behind;
// an unknown kind leaves error as it was). The callback may be null. SQLite files take no
// table prefix.
ReposDataAccess* createReposDataAccess(int kind, const VqbString& connection, const VqbString& tablePrefix,
                                       RepositoryStatusCallback* callback, VqbString& error);

ReposDataAccess* createSqliteDataAccess(const VqbString& file, RepositoryStatusCallback* callback, VqbString& error);
ReposDataAccess* openSqliteDataAccess(const VqbString& file, RepositoryStatusCallback* callback, VqbString& error);

#endif
