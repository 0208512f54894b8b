// Repositories and filled projects for the exploration tests.
#ifndef EXPLORER_FIXTURE_H
#define EXPLORER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "explorer_rdaimpl.h"
#include "repos_fixture.h"

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

class ReposTestRepository;
class PgTestRepository;

// A repository of the kind (the test is skipped when its server is missing). Statements name its
// tables in braces ("SELECT * FROM {MPRJ}"), which become the names the back end gives them.
class ExplorerTestRepository {
public:
    explicit ExplorerTestRepository(ExplorerRepoKind kind);
    ~ExplorerTestRepository();
    ReposDataAccess* connection();
    std::string uuid();
    // Every delete of a row of the table fails while the refusal stands.
    bool refuseDeletes(const char* table);
    bool allowDeletes(const char* table);

    std::string table(const char* name);
    // Runs a statement with its values bound in order; false (and a test failure) on error.
    bool exec(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    // The rows of a select, each value as text ("<null>" for NULL).
    Rows rows(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    bool addFolder(int id, int parent, const std::string& name);

private:
    ReposDataAccessStatement* prepare(const std::string& sql, std::initializer_list<VqbDatavar> values);
    std::unique_ptr<ReposTestRepository> sqlite_;
    std::unique_ptr<PgTestRepository> pg_;
};

// The catalogue's exploration tables in catalogue order, their columns with their types, and the
// type of one column (0 when the catalogue has no such column).
std::vector<std::string> explorationTables();
std::vector<std::pair<std::string, int>> catalogueColumns(const std::string& table);
int catalogueType(const std::string& table, const std::string& column);

// The tables every project draws on.
inline const char* const kExplorerShared[] = {"MDBCON", "MTABLE", "MDFLD"};

// A project with a row in each table it owns, and one each in the shared tables.
struct FilledProject {
    uint32_t id = 0;
    uint32_t db = 0, table = 0, field = 0, otherField = 0, index = 0, procedure = 0;
    uint32_t definitionRow = 0, valueRecord = 0, sample = 0, otherSample = 0, matchDefinition = 0;
    bool ok = false;
};
FilledProject fillProject(ExplorerRepositoryDataAccess* explorer, ExplorerTestRepository& repo,
                          const std::string& name, int folderId);

// The tables a project owns (all exploration tables but the project table and the shared ones),
// with the project's rows in each.
std::map<std::string, size_t> projectRowCounts(ExplorerTestRepository& repo, uint32_t projectId);
// Every row of every exploration table, as text, sorted (no DBMS promises an order without one).
std::map<std::string, Rows> explorationContent(ExplorerTestRepository& repo);

#endif
