#include "rda_factory.h"

#include <new>

#include "rda_dac_factory.h"
#include "rda_sqlite.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqdac.h"

namespace {

ReposDataAccess* sqliteDataAccess(const VqbString& file, bool create, RepositoryStatusCallback* callback,
                                  VqbString& error) {
    return RDA_BaseImpl::ready(new (std::nothrow) RDA_Sqlite(), "rda_factory", file, VqbString(""), create, callback,
                               error);
}

}  // namespace

ReposDataAccess* createSqliteDataAccess(const VqbString& file, RepositoryStatusCallback* callback, VqbString& error) {
    return sqliteDataAccess(file, true, callback, error);
}

ReposDataAccess* openSqliteDataAccess(const VqbString& file, RepositoryStatusCallback* callback, VqbString& error) {
    return sqliteDataAccess(file, false, callback, error);
}

ReposDataAccess* createReposDataAccess(int kind, const VqbString& connection, const VqbString& tablePrefix,
                                       RepositoryStatusCallback* callback, VqbString& error) {
    switch (kind) {
        case REPOS_BACKEND_CONNECTOR:
            return createDacDataAccess(connection, tablePrefix, callback, error);
        case REPOS_BACKEND_SQLITE_CREATE:
            return createSqliteDataAccess(connection, callback, error);
        case REPOS_BACKEND_SQLITE_OPEN:
            return openSqliteDataAccess(connection, callback, error);
        default:
            return nullptr;
    }
}
