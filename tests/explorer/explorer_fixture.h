// Repositories and filled projects for the exploration tests.
#ifndef EXPLORER_FIXTURE_H
#define EXPLORER_FIXTURE_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "explorer_rdaimpl.h"
#include "repos_fixture.h"
#include "repos_tables.h"

enum class ExplorerRepoKind {
    Sqlite,
    // The exploration tables have columns without declared types: SQLite then keeps each value
    // with the type it was bound with and compares without conversion, as a server DBMS would
    // refuse a value of the wrong type.
    SqliteUntyped,
};

std::unique_ptr<ReposTestRepository> makeExplorerRepository(ExplorerRepoKind kind);
// Every delete from the table fails while the refusal stands.
void refuseDeletes(ReposTestRepository& repo, const std::string& table);
void allowDeletes(ReposTestRepository& repo, const std::string& table);

inline ReposHeld<ExplorerRepositoryDataAccess> explorerOn(ReposTestRepository& repo) {
    return ReposHeld<ExplorerRepositoryDataAccess>(new ExplorerRDAImpl(repo.connection()));
}

// The catalogue's exploration tables (area 4), in catalogue order.
std::vector<std::string> explorationTables();
// The catalogue type of a column; 0 when the catalogue has no such column.
int catalogueType(const std::string& table, const std::string& column);
std::vector<std::string> catalogueColumns(const std::string& table);

// A project with a row in each table it owns, and one each in the shared tables.
struct FilledProject {
    uint32_t id = 0;
    std::string name;
    uint32_t db = 0, table = 0, field = 0, otherField = 0, index = 0, procedure = 0;
    uint32_t definitionRow = 0, valueRecord = 0, sample = 0, otherSample = 0, matchDefinition = 0;
    bool ok = false;
};
FilledProject fillProject(ExplorerRepositoryDataAccess* explorer, ReposTestRepository& repo, const std::string& name,
                          int folderId);

// Rows of the project in each table it owns.
std::map<std::string, size_t> projectRowCounts(ReposTestRepository& repo, uint32_t projectId);
// Every row of every exploration table, as text.
std::map<std::string, std::vector<std::vector<std::string>>> explorationContent(ReposTestRepository& repo);

#endif
