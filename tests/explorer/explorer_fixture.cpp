#include "explorer_fixture.h"

#include <algorithm>
#include <cctype>

#include "pg_repository.h"

namespace {

// The tables a project owns that no add operation writes; filled directly.
const char* const kDirectlyFilled[] = {"MDRLMD", "MPJPRF", "MNOTES", "MMATC1", "MMATC2",
                                       "MMATC3", "MMATC4", "MMATC5", "MMATC6"};

VqbDatavar typedId(const std::string& table, uint32_t id) {
    if (catalogueType(table, "PRJ_ID") == VQB_TYPE_STRING) return VqbDatavar(std::to_string(id));
    return VqbDatavar(id);
}

class SqliteExplorerRepository : public ExplorerTestRepository {
public:
    explicit SqliteExplorerRepository(bool untyped) {
        if (untyped && connection()) retypeExplorationTables();
    }
    ReposDataAccess* connection() override { return repo_.connection(); }
    std::string uuid() override { return repo_.uuid(); }
    bool refuseDeletes(const char* name) override {
        return exec("CREATE TRIGGER refuse_" + std::string(name) + " BEFORE DELETE ON " + table(name) +
                    " BEGIN SELECT RAISE(ABORT, 'deletes refused'); END");
    }
    bool allowDeletes(const char* name) override { return exec("DROP TRIGGER refuse_" + std::string(name)); }

private:
    void retypeExplorationTables() {
        EXPECT_TRUE(connection()->beginTransaction(false));
        for (const std::string& name : explorationTables()) {
            std::string columns;
            for (const std::string& column : catalogueColumns(name)) columns += (columns.empty() ? "" : ", ") + column;
            exec("DROP TABLE " + table(name.c_str()));
            exec("CREATE TABLE " + table(name.c_str()) + " (" + columns + ")");
        }
        EXPECT_TRUE(connection()->endTransaction(true));
    }

    ReposTestRepository repo_;
};

class PostgresExplorerRepository : public ExplorerTestRepository {
public:
    ReposDataAccess* connection() override { return repo_.connection(); }
    std::string uuid() override { return repo_.uuid(); }
    bool refuseDeletes(const char* name) override { return repo_.refuseDeletes(name); }
    bool allowDeletes(const char* name) override { return repo_.allowDeletes(name); }

private:
    PgTestRepository repo_;
};

}  // namespace

std::string explorerRepoKindName(const ::testing::TestParamInfo<ExplorerRepoKind>& info) {
    switch (info.param) {
        case ExplorerRepoKind::Sqlite:
            return "Sqlite";
        case ExplorerRepoKind::SqliteUntyped:
            return "SqliteUntyped";
        case ExplorerRepoKind::Postgres:
            return "Postgres";
    }
    return "Unknown";
}

std::unique_ptr<ExplorerTestRepository> makeExplorerRepository(ExplorerRepoKind kind) {
    switch (kind) {
        case ExplorerRepoKind::Sqlite:
        case ExplorerRepoKind::SqliteUntyped:
            return std::make_unique<SqliteExplorerRepository>(kind == ExplorerRepoKind::SqliteUntyped);
        case ExplorerRepoKind::Postgres: {
            auto repo = std::make_unique<PostgresExplorerRepository>();
            if (::testing::Test::IsSkipped()) return nullptr;
            return repo;
        }
    }
    return nullptr;
}

std::string ExplorerTestRepository::table(const char* name) {
    return connection() ? connection()->getTableName(name, true, -1).str() : std::string(name);
}

std::string ExplorerTestRepository::named(const std::string& sql) {
    std::string out;
    size_t from = 0;
    while (from < sql.size()) {
        size_t open = sql.find('{', from);
        size_t close = open == std::string::npos ? open : sql.find('}', open);
        if (close == std::string::npos) break;
        std::string name = sql.substr(open + 1, close - open - 1);
        bool isName = !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
            return std::isupper(c) || std::isdigit(c) || c == '_';
        });
        out += sql.substr(from, open - from) + (isName ? table(name.c_str()) : sql.substr(open, close - open + 1));
        from = close + 1;
    }
    return out + sql.substr(std::min(from, sql.size()));
}

bool ExplorerTestRepository::exec(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    ReposDataAccess* c = connection();
    if (!c) return false;
    const std::string text = named(sql);
    ReposHeld<ReposDataAccessStatement> statement(c->createStatement(text));
    bool ok = statement != nullptr;
    int i = 0;
    for (const VqbDatavar& value : values) ok = ok && statement->setParameter(i++, value);
    ok = ok && statement->execute();
    EXPECT_TRUE(ok) << text << ": " << c->getLastErrorMessage().str();
    return ok;
}

Rows ExplorerTestRepository::rows(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    ReposDataAccess* c = connection();
    if (!c) return {};
    const std::string text = named(sql);
    ReposHeld<ReposDataAccessStatement> statement(c->createStatement(text));
    bool ok = statement != nullptr;
    int i = 0;
    for (const VqbDatavar& value : values) ok = ok && statement->setParameter(i++, value);
    ReposHeld<ReposDataAccessCursor> cursor(ok ? statement->select() : nullptr);
    EXPECT_NE(cursor, nullptr) << text << ": " << c->getLastErrorMessage().str();
    return cursorRows(cursor.get());
}

bool ExplorerTestRepository::addFolder(int id, int parent, const std::string& name) {
    VqbString normalised(name);
    normalised.lowercase();
    return exec("INSERT INTO {FOLDER} (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (?, ?, ?, ?)",
                {VqbDatavar(id), VqbDatavar(parent), VqbDatavar(name), VqbDatavar(normalised)});
}

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

FilledProject fillProject(ExplorerRepositoryDataAccess* x, ExplorerTestRepository& repo, const std::string& name,
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
            ok = repo.exec("INSERT INTO {MNOTES} (MN_ID, PRJ_ID, MN_NOTE) VALUES (?, ?, ?)",
                           {VqbDatavar(p.id * 100), VqbDatavar(p.id), VqbDatavar("note")}) &&
                 ok;
        else
            ok = repo.exec("INSERT INTO {" + t + "} (PRJ_ID) VALUES (?)", {typedId(t, p.id)}) && ok;
    }
    p.ok = ok;
    return p;
}

std::map<std::string, size_t> projectRowCounts(ExplorerTestRepository& repo, uint32_t projectId) {
    std::map<std::string, size_t> counts;
    for (size_t i = 0; i < explorerProjectTableCount; ++i) {
        std::string t = explorerProjectTables[i].table;
        counts[t] = repo.rows("SELECT 1 FROM {" + t + "} WHERE PRJ_ID=?", {typedId(t, projectId)}).size();
    }
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
