// Conversion of a legacy profile result-set file (a SQLite file of the older profile results
// format, versions 1.0 to 2.0) into a file repository.
#ifndef REPOS_CONVERT_H
#define REPOS_CONVERT_H

#include "repos_export.h"

extern "C" {
// Rebuilds the profile results of legacyPath into the file repository repositoryPath, which is
// created first when it does not exist (and removed again when the conversion then fails).
// 1 on success; 0 on failure, with the reason in getRepositoryAdminError() (repos_admin.h).
REPOS_EXPORT int convertLegacyResultFile(const char* legacyPath, const char* repositoryPath);
}

#endif
