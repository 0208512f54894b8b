// Exploration projects on real repositories: every record written and read back, clear and
// delete with their all-or-nothing transactions and their announcements, names per folder, and
// values bound with the types of their columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "explorer_rdaimpl.h"
#include "recording_event_manager.h"
#include "repos_fixture.h"
#include "repos_tables.h"
#include "vqreposuri.h"
#include "vqresmgr.h"

namespace {

// The places of the repository tests, and a SQLite file whose exploration tables have columns
// without declared types: SQLite then keeps each value with the type it was bound with and
// compares without conversion, as a server DBMS would refuse a value of the wrong type.
enum class ExplorerRepoKind { Direct, File, Postgres, Untyped };
// The tables every project draws on.
const char* const kExplorerShared[] = {"MDBCON", "MTABLE", "MDFLD"};

// A project with a row in each table it owns, and one each in the shared tables.
struct FilledProject {
    uint32_t id = 0;
    uint32_t db = 0, table = 0, field = 0, otherField = 0, index = 0, procedure = 0;
    uint32_t definitionRow = 0, valueRecord = 0, sample = 0, otherSample = 0, matchDefinition = 0;
    bool ok = false;
};

// The tables a project owns that no add operation writes; filled directly.
const char* const kDirectlyFilled[] = {"MDRLMD", "MPJPRF", "MMATC1", "MMATC2", "MMATC3",
                                       "MMATC4", "MMATC5", "MMATC6"};

// The catalogue's exploration tables in catalogue order, their columns with their types, and the
// type of one column (0 when the catalogue has no such column).
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

VqbDatavar typedId(const std::string& table, uint32_t id) {
    if (catalogueType(table, "PRJ_ID") == VQB_TYPE_STRING) return VqbDatavar(std::to_string(id));
    return VqbDatavar(id);
}

class ExplorerTestRepository : public TestRepository {
public:
    explicit ExplorerTestRepository(ExplorerRepoKind kind)
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
};

std::string explorerRepoKindName(const ::testing::TestParamInfo<ExplorerRepoKind>& info) {
    const char* const names[] = {"Direct", "File", "Postgres", "Untyped"};
    return names[static_cast<int>(info.param)];
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


std::string s(uint32_t v) { return std::to_string(v); }

class Explorer : public ::testing::TestWithParam<ExplorerRepoKind> {
protected:
    void SetUp() override {
        repo = std::make_unique<ExplorerTestRepository>(GetParam());
        if (IsSkipped()) return;
        ASSERT_TRUE(repo && repo->connection());
        x.reset(new ExplorerRDAImpl(repo->connection()));
    }
    std::string projectUuid(uint32_t id) {
        Rows r = repo->rows("SELECT PRJ_UUID FROM {MPRJ} WHERE PRJ_ID=?", {VqbDatavar(id)});
        return r.size() == 1 ? r[0][0] : std::string();
    }
    Rows shared() {
        Rows all;
        for (const char* t : kExplorerShared)
            for (auto& row : repo->rows("SELECT * FROM {" + std::string(t) + "}")) all.push_back(row);
        return all;
    }

    std::unique_ptr<ExplorerTestRepository> repo;
    ReposHeld<ExplorerRepositoryDataAccess> x;
};

}  // namespace

TEST(ExplorerCatalogue, ValuesAreMadeToFitTheirColumnsOrRefused) {
    const struct {
        VqbDatavar in;
        int type;
        bool ok;
        int outType;  // VQB_TYPE_NULL: a null of the column's type
        const char* text;
    } cases[] = {{VqbDatavar(" 12 "), VQB_TYPE_INT, true, VQB_TYPE_INT, "12"},
                 {VqbDatavar(""), VQB_TYPE_INT, true, VQB_TYPE_NULL, ""},
                 {VqbDatavar(-3), VQB_TYPE_STRING, true, VQB_TYPE_STRING, "-3"},
                 {VqbDatavar::fromBool(true), VQB_TYPE_INT, true, VQB_TYPE_INT, "1"},
                 {VqbDatavar(), VQB_TYPE_STRING, true, VQB_TYPE_NULL, ""},
                 {VqbDatavar(2.5), VQB_TYPE_STRING, false, 0, ""},
                 {VqbDatavar("abc"), VQB_TYPE_INT, false, 0, ""},
                 {VqbDatavar("1e3"), VQB_TYPE_INT, false, 0, ""},
                 {VqbDatavar("12x"), VQB_TYPE_INT, false, 0, ""},
                 {VqbDatavar("99999999999"), VQB_TYPE_INT, false, 0, ""},
                 {VqbDatavar("3.5"), VQB_TYPE_INT, false, 0, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.asString().str());
        VqbDatavar out;
        ASSERT_EQ(explorerColumnValue(c.in, c.type, out), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(out.getType(), c.outType);
        EXPECT_EQ(c.outType == VQB_TYPE_NULL ? out.declaredType() : c.type, c.type);
        EXPECT_EQ(out.isNull() ? std::string() : out.asString().str(), c.text);
    }
}

TEST_P(Explorer, EveryRecordReadsBackAsWritten) {
    ScopedRecordingEventManager events;
    ASSERT_TRUE(repo->addFolder(4, 0, "Area"));
    FilledProject p = fillProject(x.get(), *repo, "Survey", 4);
    ASSERT_TRUE(p.ok);
    const std::string P = s(p.id), uuid = projectUuid(p.id);
    EXPECT_EQ(uuid.size(), 36u);

    Rows project = take(x->getProject(p.id));
    ASSERT_EQ(project.size(), 1u);
    ASSERT_EQ(project[0].size(), 13u);
    const std::string created = project[0][2];
    EXPECT_GT(std::stod(created), 40000.0);
    EXPECT_EQ(project[0], (std::vector<std::string>{P, "Survey", created, "comment of Survey", created, created,
                                                    "maker", "maker", uuid, "4", "0", "0", "-1"}));

    EXPECT_EQ(take(x->listProjectTables(p.id)), (Rows{{P, "orders", "sales", "DSN=Survey", "shop"}}));
    Rows definition{{"77", "Phone", "<null>", "<null>", "<null>", P, "0", "<null>", "en_US", s(p.definitionRow)}};
    EXPECT_EQ(take(x->listIdentificationDefinitions(p.id, true)), definition);
    EXPECT_EQ(take(x->getIdentificationDefinition(p.id, "Phone", "en_US", 77, true)), definition);
    EXPECT_TRUE(take(x->listIdentificationDefinitions(p.id, false)).empty());
    EXPECT_TRUE(take(x->getIdentificationDefinition(p.id, "Phone", "en_US", 77, false)).empty());
    EXPECT_EQ(take(x->listIdentificationValues(p.id, 77)),
              (Rows{{"77", s(p.valueRecord), "5", "555-0100", "a phone", "<null>", "<null>", "<null>", P, "1",
                     "<null>"}}));
    // Ordered by field name, not by sample.
    EXPECT_EQ(take(x->listSampledFields(p.id, p.valueRecord)),
              (Rows{{s(p.otherField), "alpha", s(p.db), s(p.table), "INTEGER", "4", "db of Survey", "orders", "sales",
                     "INTEGER", "4", "100", "90"},
                    {s(p.field), "zeta", s(p.db), s(p.table), "VARCHAR", "40", "db of Survey", "orders", "sales",
                     "VARCHAR", "40", "200", "150"}}));
    EXPECT_EQ(take(x->listMatchDefinitions(p.id)),
              (Rows{{s(p.matchDefinition), P, "1", "12", "Name match", "85", "en_GB"}}));

    // What no read operation returns, straight from the tables.
    const std::pair<std::string, Rows> tables[] = {
        {"SELECT DB_ID, CON_DBNM, CON_CNSTR, CON_TYPE FROM {MDBCON}", {{s(p.db), "db of Survey", "DSN=Survey", "ODBC"}}},
        {"SELECT PRJ_ID, DB_ID, DB_VER FROM {MPRJDB}", {{P, s(p.db), "3"}}},
        {"SELECT IDX_ID, IDX_NM, IDX_EXPR, PRJ_ID, DB_ID FROM {MINDEX}", {{s(p.index), "ix_orders", "zeta, alpha", P, s(p.db)}}},
        {"SELECT PK_NM, TBL_ID, PRJ_ID, DB_ID FROM {MPKEY}", {{"pk_orders", s(p.table), P, s(p.db)}}},
        {"SELECT FLD_ID, PK_NM FROM {MPKFLD}", {{s(p.otherField), "pk_orders"}}},
        {"SELECT FK_NM, TBL_ID FROM {MFKEY}", {{"fk_orders", s(p.table)}}},
        {"SELECT FKISPTBL, PKTBL_ID, PKFLD_ID, FKTBL_ID, FKFLD_ID, FK_NM, PRJ_ID, DB_ID FROM {MFKFLD}",
         {{"1", s(p.table), s(p.otherField), s(p.table), s(p.field), "fk_orders", P, s(p.db)}}},
        {"SELECT SP_ID, SP_NM, SP_REM, SP_TYPE FROM {MSP}", {{s(p.procedure), "refresh", "nightly", "2"}}},
        {"SELECT SPFLD_NM, SPFLDTYP, SP_ID FROM {MSPFLD}", {{"@since", "1", s(p.procedure)}}},
        {"SELECT SMP_TYPE, SMP_N FROM {MSMPLG} WHERE SMP_ID=" + s(p.sample), {{"3", "10"}}},
        {"SELECT PRJ_ID, FLD_ID, IDVALRID, SMP_ID, SMPTYP FROM {MPJFL2}",
         {{P, s(p.field), s(p.valueRecord), s(p.sample), "1"}}},
        // Each classification with the match definition assigned to it; the sixth has none.
        {"SELECT FLD_ID, FLD_CL1, MASN_ID1, FLD_CL2, MASN_ID2, FLD_CL3, MASN_ID3, FLD_CL4, MASN_ID4, FLD_CL5, "
         "MASN_ID5, FLD_CL6, MASN_ID6 FROM {MPJFLD} ORDER BY FLD_ID",
         {{s(p.field), "<null>", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>",
           "<null>", "<null>", "<null>"},
          {s(p.otherField), "c1", "11", "c2", "12", "c3", "13", "c4", "14", "c5", "15", "c6", "<null>"}}}};
    for (const auto& t : tables) EXPECT_EQ(repo->rows(t.first), t.second) << t.first;

    EXPECT_EQ(events.lines(), (std::vector<std::string>{"postEvent(" + repo->uuid() + ", 0, DataExploration, " + P +
                                                        ", " + uuid + ")"}));
    EXPECT_TRUE(x->existsProject(p.id));
    EXPECT_FALSE(x->existsProject(p.id + 1000));
}

TEST_P(Explorer, ClearKeepsTheProjectRowThenDeleteRemovesTheRest) {
    ASSERT_TRUE(repo->addFolder(1, 0, "Top"));
    ASSERT_TRUE(repo->addFolder(2, 1, "Inner"));
    FilledProject p = fillProject(x.get(), *repo, "Target", 2);
    FilledProject bystander = fillProject(x.get(), *repo, "Bystander", 0);
    ASSERT_TRUE(p.ok && bystander.ok);
    const std::map<std::string, size_t> bystanderRows = projectRowCounts(*repo, bystander.id);
    for (const auto& table : projectRowCounts(*repo, p.id)) EXPECT_GE(table.second, 1u) << table.first;
    const Rows sharedRows = shared();
    const std::string uuid = projectUuid(p.id);
    auto expectGone = [&](uint32_t id) {
        for (const auto& table : projectRowCounts(*repo, id)) EXPECT_EQ(table.second, 0u) << table.first;
    };

    ScopedRecordingEventManager events;
    ASSERT_TRUE(x->clearProject(p.id));
    expectGone(p.id);
    EXPECT_TRUE(x->existsProject(p.id));
    EXPECT_EQ(projectRowCounts(*repo, bystander.id), bystanderRows);
    EXPECT_EQ(shared(), sharedRows);
    EXPECT_EQ(events.count(), 0u);

    ASSERT_TRUE(x->deleteProject(p.id));
    EXPECT_FALSE(x->existsProject(p.id));
    EXPECT_EQ(take(x->listProjects()).size(), 1u);
    EXPECT_EQ(projectRowCounts(*repo, bystander.id), bystanderRows);
    EXPECT_EQ(shared(), sharedRows);
    std::unique_ptr<VqReposURI> uri(getReposURIFromComponents("", "Top/Inner/Target", "DataExploration"));
    VqbString uriText, identity;
    uri->toString(uriText);
    VqResourceManager* resources = createVqResourceManager();
    resources->getObjectIdentity("", "DataExploration", s(p.id).c_str(), uuid.c_str(), identity);
    resources->release();
    EXPECT_EQ(events.lines(), (std::vector<std::string>{"postUriEvent(" + repo->uuid() + ", " + uriText.str() +
                                                        ", 1, " + identity.str() + ")"}));

    // Deleting a project that is not filed anywhere that exists still deletes it, unannounced.
    ASSERT_TRUE(repo->exec("UPDATE {MPRJ} SET FLDR_ID=99"));
    events.clear();
    EXPECT_TRUE(x->deleteProject(bystander.id));
    EXPECT_FALSE(x->existsProject(bystander.id));
    expectGone(bystander.id);
    EXPECT_EQ(events.count(), 0u);
}

TEST_P(Explorer, AFailurePartWayThroughLeavesEveryRow) {
    FilledProject p = fillProject(x.get(), *repo, "Kept", 0);
    ASSERT_TRUE(p.ok);
    const auto before = explorationContent(*repo);
    // One of the last tables cleared, so most deletes have run when it fails.
    ASSERT_TRUE(repo->refuse(Refused::Delete, "MMDEFS"));

    ScopedRecordingEventManager events;
    LogCapture log(5);
    EXPECT_FALSE(x->clearProject(p.id));
    EXPECT_EQ(explorationContent(*repo), before);
    EXPECT_FALSE(x->deleteProject(p.id));
    EXPECT_EQ(explorationContent(*repo), before);
    EXPECT_EQ(events.count(), 0u);
    EXPECT_FALSE(repo->connection()->isInTransaction());
    EXPECT_GT(log.count("", 5), 0u);

    // Inside a transaction of the caller's, which then rolls back.
    ASSERT_TRUE(x->beginTransaction(false));
    EXPECT_FALSE(x->clearProject(p.id));
    EXPECT_TRUE(x->endTransaction(false));
    EXPECT_EQ(explorationContent(*repo), before);

    ASSERT_TRUE(repo->allow(Refused::Delete, "MMDEFS"));
    EXPECT_TRUE(x->deleteProject(p.id));
    EXPECT_FALSE(x->existsProject(p.id));
}

TEST_P(Explorer, NamesAreUniqueWithinTheirFolderAndUpdatesAnnounceOrRefuse) {
    ScopedRecordingEventManager events;
    uint32_t first = 0, id = 0;
    ASSERT_TRUE(x->addProject("Plan", "", "u", "", 0, &first));
    // A negative folder files the project at the root.
    EXPECT_FALSE(x->addProject("Plan", "again", "u", "", -5, &id));
    EXPECT_TRUE(x->getProjectByName("Plan", 0));
    EXPECT_FALSE(x->getProjectByName("Plan", 3));
    EXPECT_TRUE(x->addProject("Plan", "", "u", "", 3, &id));
    EXPECT_TRUE(x->addProject("plan", "", "u", "", 0, &id));
    EXPECT_EQ(repo->rows("SELECT FLDR_ID, PRJ_NM FROM {MPRJ} ORDER BY PRJ_ID"),
              (Rows{{"0", "Plan"}, {"3", "Plan"}, {"0", "plan"}}));
    EXPECT_EQ(events.count(), 3u);

    // A rename may not take a name the folder already holds, nor an empty one; keeping its own
    // is fine. Missing projects are refused.
    events.clear();
    const std::string uuid = projectUuid(first), P = s(first);
    uint32_t unused = 0;
    EXPECT_FALSE(x->updateProject(id, "Plan", "x") || x->addProject("", "", "u", "", 0, &unused) ||
                 x->updateProject(first, "", "x") || x->updateProject(first + 1000, "Ghost", "c") ||
                 x->setProjectLastRun(first + 1000, 45000.25, 90, 2));
    EXPECT_EQ(events.count(), 0u);
    ASSERT_TRUE(x->updateProject(first, "Plan", "new comment"));
    ASSERT_TRUE(x->updateProject(first, "After", "c3"));
    ASSERT_TRUE(x->setProjectLastRun(first, 45000.25, 90, 2));
    EXPECT_EQ(events.lines(),
              (std::vector<std::string>{
                  "postEvent(" + repo->uuid() + ", 2, DataExploration, " + P + ", " + uuid + ")",
                  "postRenameEvent(" + repo->uuid() + ", DataExploration, " + P + ", " + uuid + ", Plan, After)"}));
    Rows row = take(x->getProject(first));
    ASSERT_EQ(row.size(), 1u);
    EXPECT_EQ(row[0][1] + "|" + row[0][3] + "|" + row[0][10] + "|" + row[0][11] + "|" + row[0][12],
              "After|c3|45000.25|90|2");
}

TEST_P(Explorer, HostileTextsAreStoredAsGivenAndWrongNumbersRefused) {
    const VqbString hostile("O'Brien\"; DROP TABLE MPRJ; --");
    uint32_t id = 0, procedure = 0, index = 0;
    ASSERT_TRUE(x->addProject(hostile, hostile, hostile, "", 0, &id));
    EXPECT_TRUE(x->getProjectByName(hostile, 0));
    EXPECT_EQ(repo->rows("SELECT PRJ_NM, PMUSER FROM {MPRJ}"), (Rows{{hostile.str(), hostile.str()}}));

    // Stored procedures and indexes draw on one counter.
    ASSERT_TRUE(x->addIndex(id, 1, "ix", "a", &index));
    ASSERT_TRUE(x->addStoredProcedure(id, 1, "p", "", " 5 ", &procedure));
    EXPECT_EQ(procedure, index + 1);
    EXPECT_FALSE(x->addStoredProcedure(id, 1, "p", "", "five", &procedure));
    EXPECT_FALSE(x->addStoredProcedureField(id, 1, procedure, "f", "1; DROP TABLE MSP"));
    ASSERT_TRUE(x->addStoredProcedure(id, 1, "q", "", "", &procedure));
    // A refused value took no id.
    EXPECT_EQ(procedure, index + 2);
    EXPECT_EQ(repo->rows("SELECT SP_NM, SP_TYPE FROM {MSP} ORDER BY SP_ID"), (Rows{{"p", "5"}, {"q", "<null>"}}));
    EXPECT_TRUE(repo->rows("SELECT * FROM {MSPFLD}").empty());
}

INSTANTIATE_TEST_SUITE_P(Repositories, Explorer,
                         ::testing::Values(ExplorerRepoKind::Direct, ExplorerRepoKind::File,
                                           ExplorerRepoKind::Postgres, ExplorerRepoKind::Untyped),
                         explorerRepoKindName);

TEST(ExplorerTypes, EveryStoredValueHasItsColumnsType) {
    ExplorerTestRepository repo(ExplorerRepoKind::Untyped);
    ReposHeld<ExplorerRepositoryDataAccess> x(new ExplorerRDAImpl(repo.connection()));
    FilledProject p = fillProject(x.get(), repo, "Typed", 0);
    ASSERT_TRUE(p.ok);
    ASSERT_TRUE(x->updateProject(p.id, "Typed again", "c"));
    ASSERT_TRUE(x->setProjectLastRun(p.id, 45000.5, 12, 1));
    const char* const names[] = {"", "", "integer", "real", "text"};
    for (const std::string& table : explorationTables()) {
        for (const auto& [column, type] : catalogueColumns(table)) {
            ASSERT_TRUE(type >= VQB_TYPE_INT && type <= VQB_TYPE_STRING);
            EXPECT_TRUE(repo.rows("SELECT typeof(" + column + ") FROM {" + table + "} WHERE typeof(" + column +
                                       ") NOT IN ('null', ?)",
                                   {VqbDatavar(names[type])})
                            .empty())
                << table << "." << column;
        }
    }
}

