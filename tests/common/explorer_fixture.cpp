#include "explorer_fixture.h"

#include <algorithm>
#include <set>

#include "repos_tables.h"

namespace {

// The tables a project owns that no add operation writes; filled directly.
const char* const kDirectlyFilled[] = {"MDRLMD", "MPJPRF", "MMATC1", "MMATC2", "MMATC3",
                                       "MMATC4", "MMATC5", "MMATC6"};

VqbDatavar typedId(const std::string& table, uint32_t id) {
    if (catalogueType(table, "PRJ_ID") == VQB_TYPE_STRING) return VqbDatavar(std::to_string(id));
    return VqbDatavar(id);
}

}  // namespace

std::string explorerRepoKindName(const ::testing::TestParamInfo<ExplorerRepoKind>& info) {
    const char* const names[] = {"Direct", "File", "Postgres", "Untyped"};
    return names[static_cast<int>(info.param)];
}

ExplorerTestRepository::ExplorerTestRepository(ExplorerRepoKind kind)
    : TestRepository(kind == ExplorerRepoKind::Untyped ? Place::Direct : static_cast<Place>(kind)) {
    if (kind != ExplorerRepoKind::Untyped || !connection()) return;
    EXPECT_TRUE(connection()->beginTransaction(false));
    for (const std::string& name : explorationTables()) {
        std::string columns;
        for (const auto& column : catalogueColumns(name)) columns += (columns.empty() ? "" : ", ") + column.first;
        exec("DROP TABLE " + table(name.c_str()));
        exec("CREATE TABLE " + table(name.c_str()) + " (" + columns + ")");
    }
    EXPECT_TRUE(connection()->endTransaction(true));
}

std::vector<std::string> explorationTables() {
    std::vector<std::string> tables;
    ReposCatalogWalk walk(ReposCatalogId::Main);
    while (const ReposColumnDef* first = walk.nextTable())
        if (first->area == REPOS_AREA_EXPLORER) tables.push_back(first->table);
    return tables;
}

std::vector<std::pair<std::string, int>> catalogueColumns(const std::string& table) {
    std::vector<std::pair<std::string, int>> columns;
    const ReposColumnDef* first = findReposTable(ReposCatalogId::Main, table.c_str());
    if (!first) return columns;
    ReposTableCursor cursor(first);
    ReposColumnView column;
    while (cursor.next(column)) columns.emplace_back(column.name, column.type);
    return columns;
}

int catalogueType(const std::string& table, const std::string& column) {
    for (const auto& c : catalogueColumns(table))
        if (c.first == column) return c.second;
    return 0;
}

FilledProject fillProject(ExplorerRepositoryDataAccess* x, ExplorerTestRepository& repo, const std::string& name,
                          int folderId) {
    FilledProject p;
    const VqbString n(name);
    bool ok = x->addProject(n, "comment of " + n, "maker", "", folderId, &p.id) &&
              x->addConnection("db of " + n, "DSN=" + n, "ODBC", &p.db) &&
              x->addTable(p.db, "orders", "sales", "TABLE", "shop", &p.table) &&
              x->addField(p.table, p.db, "zeta", "VARCHAR", 40, 2, &p.field) &&
              x->addField(p.table, p.db, "alpha", "INTEGER", 4, 1, &p.otherField) &&
              x->addProjectDatabase(p.id, p.db, 3) && x->addProjectTable(p.id, p.table) &&
              x->addProjectField(p.id, p.field) && x->addIndex(p.id, p.db, "ix_orders", "zeta, alpha", &p.index) &&
              x->addPrimaryKey(p.id, p.db, p.table, "pk_orders") &&
              x->addPrimaryKeyField(p.id, p.db, p.table, "pk_orders", p.otherField) &&
              x->addForeignKey(p.id, p.db, p.table, "fk_orders") &&
              x->addForeignKeyField(p.id, "fk_orders", p.db, p.table, p.field, p.db, p.table, p.otherField) &&
              x->addStoredProcedure(p.id, p.db, "refresh", "nightly", "2", &p.procedure) &&
              x->addStoredProcedureField(p.id, p.db, p.procedure, "@since", "1") &&
              x->addIdentificationDefinition(p.id, 77, "Phone", true, "en_US", &p.definitionRow) &&
              x->addIdentificationValue(p.id, 77, 5, "555-0100", "a phone", true, &p.valueRecord) &&
              x->addSample(p.id, p.field, p.valueRecord, 3, 10, 200, 150, &p.sample) &&
              x->addSample(p.id, p.otherField, p.valueRecord, 3, 10, 100, 90, &p.otherSample) &&
              x->addProjectFieldSample(p.id, p.field, p.valueRecord, true, p.sample) &&
              x->addMatchDefinition(p.id, 1, 12, "Name match", "en_GB", 85, &p.matchDefinition) &&
              x->addProjectFieldMatches(p.id, p.otherField, "c1", 11, "c2", 12, "c3", 13, "c4", 14, "c5", 15, "c6");
    EXPECT_TRUE(ok) << "filling project " << name;
    ok = repo.exec("INSERT INTO {MNOTES} (MN_ID, PRJ_ID, MN_NOTE) VALUES (?, ?, 'note')",
                   {VqbDatavar(p.id * 100), VqbDatavar(p.id)}) && ok;
    for (const char* table : kDirectlyFilled)
        ok = repo.exec("INSERT INTO {" + std::string(table) + "} (PRJ_ID) VALUES (?)", {typedId(table, p.id)}) && ok;
    p.ok = ok;
    return p;
}

std::map<std::string, size_t> projectRowCounts(ExplorerTestRepository& repo, uint32_t projectId) {
    std::set<std::string> notOwned(std::begin(kExplorerShared), std::end(kExplorerShared));
    notOwned.insert("MPRJ");
    std::map<std::string, size_t> counts;
    for (const std::string& t : explorationTables())
        if (!notOwned.count(t))
            counts[t] = repo.rows("SELECT 1 FROM {" + t + "} WHERE PRJ_ID=?", {typedId(t, projectId)}).size();
    return counts;
}

std::map<std::string, Rows> explorationContent(ExplorerTestRepository& repo) {
    std::map<std::string, Rows> content;
    for (const std::string& table : explorationTables()) {
        Rows rows = repo.rows("SELECT * FROM {" + table + "}");
        std::sort(rows.begin(), rows.end());
        content[table] = rows;
    }
    return content;
}
