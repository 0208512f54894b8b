// Schema text dump of the built-in repository tables.
#ifndef REPOS_SCHEMA_H
#define REPOS_SCHEMA_H

#include "repos_export.h"

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

// Writes a readable listing of the built-in repository tables to path, lines ended by CR LF.
// sortByName sorts tables and columns by name within each group; withDescriptions adds the
// table and column descriptions; singleGroup lists all tables in catalogue order instead of
// grouping them by product. Returns 0, or the file library's error code when the file cannot
// be opened (nothing is written then). Needs no open repository.
REPOS_EXPORT unsigned writeRepositorySchemaInfo(const char* path, bool sortByName, bool withDescriptions,
                                                bool singleGroup);

#ifdef __cplusplus
}
#endif

#endif
