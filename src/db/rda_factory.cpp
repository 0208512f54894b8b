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
    RDA_Sqlite* connection = new (std::nothrow) RDA_Sqlite();
    if (!connection) {
        error = reposMessage(530);
        reposLog(vqlogGetLogger(REPOS_LOGGER_RDA), 5, "rda_factory", __LINE__, "%s", error.asCstr());
        return nullptr;
    }
    if (connection->init(file, VqbString(""), create, callback)) return connection;
    error = reposFailureText(connection);
    connection->release();
    return nullptr;
}

}  // namespace

VqbString reposFailureText(ReposDataAccess* db) {
    VqbString detail = db->getLastErrorMessage();
    return detail.isEmpty() ? db->getGeneralErrorMessage() : dacMaskConnectionText(detail);
}

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
