// Connections through the data-access connector (kind 0 of the connection factory).
#ifndef RDA_DAC_FACTORY_H
#define RDA_DAC_FACTORY_H

#include "repos_dataaccess.h"

// A ready connection, or null with the reason in error.
ReposDataAccess* createDacDataAccess(const VqbString& connection, const VqbString& tablePrefix,
                                     RepositoryStatusCallback* callback, VqbString& error);

#endif
