#include "repos_reasons.h"

#include "vqdac.h"

const char* const kReposNoConnection = "Repository Data Access object is null";

VqbString reposConnectionReason(ReposDataAccess* db) {
    VqbString detail = db->getLastErrorMessage();
    // Driver texts may quote the connection text: never hand on its password.
    return detail.isEmpty() ? db->getGeneralErrorMessage() : dacMaskConnectionText(detail);
}

bool reposConnectionLogged(ReposDataAccess* db) { return db && !db->getLastErrorMessage().isEmpty(); }

VqbString reposStatementReason(ReposDataAccessStatement* statement, ReposDataAccess* db) {
    VqbString text = statement->getErrorMessage();
    VqbString detail = db->getLastErrorMessage();
    if (!detail.isEmpty() && (text.isEmpty() || text == db->getGeneralErrorMessage())) return detail;
    return text;
}
