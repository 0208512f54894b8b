// Stands in for the connector back end until it exists; removed when rda_dac.cpp defines
// createDacDataAccess.
#include "rda_dac_factory.h"
#include "reposlog.h"
#include "vqbmessage.h"

ReposDataAccess* createDacDataAccess(const VqbString& /*connection*/, const VqbString& /*tablePrefix*/,
                                     RepositoryStatusCallback* /*callback*/, VqbString& error) {
    error = reposMessage(1900);
    reposLog(vqlogGetLogger(REPOS_LOGGER_RDA), 5, "rda_factory", __LINE__, "%s", error.asCstr());
    return nullptr;
}
