// Repositories and filled projects for the exploration tests.
#ifndef EXPLORER_FIXTURE_H
#define EXPLORER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "explorer_rdaimpl.h"
#include "repos_fixture.h"
#include "repos_tables.h"

using Rows = std::vector<std::vector<std::string>>;

enum class ExplorerRepoKind {
    Sqlite,
    // The exploration tables have columns without declared types: SQLite then keeps each value
    // with the type it was bound with and compares without conversion, as a server DBMS would
    // refuse a value of the wrong type.
    SqliteUntyped,
    // Created by the administrator in the PostgreSQL test database, with a table prefix.
    Postgres,
};
std::string explorerRepoKindName(const ::testing::TestParamInfo<ExplorerRepoKind>& info);

// A repository of any kind. Statements name its tables in braces ("SELECT * FROM {MPRJ}"), which
// become the names the back end gives them.
class ExplorerTestRepository {
public:
    virtual ~ExplorerTestRepository() = default;
    virtual ReposDataAccess* connection() = 0;
    virtual std::string uuid() = 0;
    // Every delete of a row of the table fails while the refusal stands.
    virtual bool refuseDeletes(const char* table) = 0;
    virtual bool allowDeletes(const char* table) = 0;

    std::string table(const char* name);
    // Runs a statement with its values bound in order; false (and a test failure) on error.
    bool exec(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    // The rows of a select, each value as text ("<null>" for NULL).
    Rows rows(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    bool addFolder(int id, int parent, const std::string& name);

private:
    std::string named(const std::string& sql);
};

// Null, with the test skipped, when the kind's server is missing.
std::unique_ptr<ExplorerTestRepository> makeExplorerRepository(ExplorerRepoKind kind);

inline ReposHeld<ExplorerRepositoryDataAccess> explorerOn(ExplorerTestRepository& repo) {
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
FilledProject fillProject(ExplorerRepositoryDataAccess* explorer, ExplorerTestRepository& repo,
                          const std::string& name, int folderId);

// Rows of the project in each table it owns.
std::map<std::string, size_t> projectRowCounts(ExplorerTestRepository& repo, uint32_t projectId);
// Every row of every exploration table, as text, sorted (no DBMS promises an order without one).
std::map<std::string, Rows> explorationContent(ExplorerTestRepository& repo);

#endif
