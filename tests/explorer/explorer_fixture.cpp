#include "explorer_fixture.h"

#include <gtest/gtest.h>

namespace {

// The tables a project owns that no add operation writes; filled directly.
const char* const kDirectlyFilled[] = {"MDRLMD", "MPJPRF", "MNOTES", "MMATC1", "MMATC2",
                                       "MMATC3", "MMATC4", "MMATC5", "MMATC6"};

VqbDatavar typedId(const std::string& table, uint32_t id) {
    if (catalogueType(table, "PRJ_ID") == VQB_TYPE_STRING) return VqbDatavar(std::to_string(id));
    return VqbDatavar(id);
}

}  // namespace

std::vector<std::string> explorationTables() {
    std::vector<std::string> tables;
    ReposCatalogWalk walk(ReposCatalogId::Main);
    while (const ReposColumnDef* first = walk.nextTable())
        if (first->area == REPOS_AREA_EXPLORER) tables.push_back(first->table);
    return tables;
}

std::vector<std::string> catalogueColumns(const std::string& table) {
    std::vector<std::string> columns;
    const ReposColumnDef* first = findReposTable(ReposCatalogId::Main, table.c_str());
    if (!first) return columns;
    ReposTableCursor cursor(first);
    ReposColumnView column;
    while (cursor.next(column)) columns.push_back(column.name);
    return columns;
}

int catalogueType(const std::string& table, const std::string& column) {
    const ReposColumnDef* first = findReposTable(ReposCatalogId::Main, table.c_str());
    if (!first) return 0;
    ReposTableCursor cursor(first);
    ReposColumnView view;
    while (cursor.next(view))
        if (column == view.name) return view.type;
    return 0;
}

std::unique_ptr<ReposTestRepository> makeExplorerRepository(ExplorerRepoKind kind) {
    auto repo = std::make_unique<ReposTestRepository>();
    if (kind == ExplorerRepoKind::SqliteUntyped && repo->connection()) {
        EXPECT_TRUE(repo->connection()->beginTransaction(false));
        for (const std::string& table : explorationTables()) {
            std::string columns;
            for (const std::string& column : catalogueColumns(table)) columns += (columns.empty() ? "" : ", ") + column;
            repo->exec("DROP TABLE " + table);
            repo->exec("CREATE TABLE " + table + " (" + columns + ")");
        }
        EXPECT_TRUE(repo->connection()->endTransaction(true));
    }
    return repo;
}

void refuseDeletes(ReposTestRepository& repo, const std::string& table) {
    repo.exec("CREATE TRIGGER refuse_" + table + " BEFORE DELETE ON " + table +
              " BEGIN SELECT RAISE(ABORT, 'deletes refused'); END");
}

void allowDeletes(ReposTestRepository& repo, const std::string& table) { repo.exec("DROP TRIGGER refuse_" + table); }

FilledProject fillProject(ExplorerRepositoryDataAccess* x, ReposTestRepository& repo, const std::string& name,
                          int folderId) {
    FilledProject p;
    p.name = name;
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
    for (const char* table : kDirectlyFilled) {
        std::string t(table);
        if (t == "MNOTES")
            ok = repo.exec("INSERT INTO MNOTES (MN_ID, PRJ_ID, MN_NOTE) VALUES (?, ?, ?)",
                           {VqbDatavar(p.id * 100), VqbDatavar(p.id), VqbDatavar("note")}) && ok;
        else
            ok = repo.exec("INSERT INTO " + t + " (PRJ_ID) VALUES (?)", {typedId(t, p.id)}) && ok;
    }
    p.ok = ok;
    return p;
}

std::map<std::string, size_t> projectRowCounts(ReposTestRepository& repo, uint32_t projectId) {
    std::map<std::string, size_t> counts;
    for (size_t i = 0; i < explorerProjectTableCount; ++i) {
        std::string t = explorerProjectTables[i].table;
        counts[t] = repo.rows("SELECT 1 FROM " + t + " WHERE PRJ_ID=?", {typedId(t, projectId)}).size();
    }
    return counts;
}

std::map<std::string, std::vector<std::vector<std::string>>> explorationContent(ReposTestRepository& repo) {
    std::map<std::string, std::vector<std::vector<std::string>>> content;
    for (const std::string& table : explorationTables()) content[table] = repo.rows("SELECT * FROM " + table);
    return content;
}
