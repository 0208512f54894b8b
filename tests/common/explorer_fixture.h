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

// The places of the repository tests, and a SQLite file whose exploration tables have columns
// without declared types: SQLite then keeps each value with the type it was bound with and
// compares without conversion, as a server DBMS would refuse a value of the wrong type.
enum class ExplorerRepoKind { Direct, File, Postgres, Untyped };
std::string explorerRepoKindName(const ::testing::TestParamInfo<ExplorerRepoKind>& info);

class ExplorerTestRepository : public TestRepository {
public:
    explicit ExplorerTestRepository(ExplorerRepoKind kind);
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
