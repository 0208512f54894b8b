// Failure texts read from a connection, shared by every layer above it.
#ifndef REPOS_REASONS_H
#define REPOS_REASONS_H

#include "repos_dataaccess.h"

// Reported where an object was made without a connection.
extern const char* const kReposNoConnection;

// The connection's detailed reason for its last failure (passwords masked), else its general text.
VqbString reposConnectionReason(ReposDataAccess* db);
// Whether the connection has logged its last failure itself (it logs each failure it holds a detail
// for): the layers above then hand the text on without logging it again.
bool reposConnectionLogged(ReposDataAccess* db);
// A statement's failure: its own text, or the connection's detail where the statement has only
// the general text.
VqbString reposStatementReason(ReposDataAccessStatement* statement, ReposDataAccess* db);

#endif
