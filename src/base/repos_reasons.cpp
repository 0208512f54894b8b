#include "repos_reasons.h"

const char* const kReposNoConnection = "Repository Data Access object is null";

VqbString reposConnectionReason(ReposDataAccess* db) {
    VqbString detail = db->getLastErrorMessage();
    return detail.isEmpty() ? db->getGeneralErrorMessage() : detail;
}

VqbString reposStatementReason(ReposDataAccessStatement* statement, ReposDataAccess* db) {
    VqbString text = statement->getErrorMessage();
    VqbString detail = db->getLastErrorMessage();
    if (!detail.isEmpty() && (text.isEmpty() || text == db->getGeneralErrorMessage())) return detail;
    return text;
}
