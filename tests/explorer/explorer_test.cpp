// Exploration projects on real repositories: every record written and read back, clear and
// delete with their all-or-nothing transactions and their announcements, names per folder, and
// values bound with the types of their columns.
#include <gtest/gtest.h>

#include <set>

#include "explorer_fixture.h"
#include "recording_event_manager.h"
#include "vqreposuri.h"
#include "vqresmgr.h"

namespace {

const char* const kShared[] = {"MDBCON", "MTABLE", "MDFLD"};

Rows rowsOf(ReposDataAccessCursor* cursor) {
    ReposHeld<ReposDataAccessCursor> held(cursor);
    EXPECT_NE(cursor, nullptr);
    return cursorRows(cursor);
}

std::string s(uint32_t v) { return std::to_string(v); }

std::string uriOf(const std::string& path) {
    std::unique_ptr<VqReposURI> uri(getReposURIFromComponents("", path.c_str(), "DataExploration"));
    VqbString text;
    uri->toString(text);
    return text.str();
}

std::string identityOf(uint32_t id, const std::string& uuid) {
    VqResourceManager* resources = createVqResourceManager();
    VqbString identity;
    resources->getObjectIdentity("", "DataExploration", VqbString::format("%u", id), uuid.c_str(), identity);
    resources->release();
    return identity.str();
}

class Explorer : public ::testing::TestWithParam<ExplorerRepoKind> {
protected:
    void SetUp() override {
        repo = makeExplorerRepository(GetParam());
        if (IsSkipped()) return;
        ASSERT_TRUE(repo && repo->connection());
        x = explorerOn(*repo);
    }
    std::string projectUuid(uint32_t id) {
        Rows r = repo->rows("SELECT PRJ_UUID FROM {MPRJ} WHERE PRJ_ID=?", {VqbDatavar(id)});
        return r.size() == 1 ? r[0][0] : std::string();
    }

    std::unique_ptr<ExplorerTestRepository> repo;
    ReposHeld<ExplorerRepositoryDataAccess> x;
};

}  // namespace

TEST(ExplorerCatalogue, InsertsNameCatalogueColumnsWithTheirTypes) {
    for (size_t i = 0; i < kExplorerInsertCount; ++i) {
        const ExplorerInsertSpec& spec = explorerInsertSpec(static_cast<ExplorerInsert>(i));
        ASSERT_NE(spec.table, nullptr) << "insert " << i;
        std::set<std::string> seen;
        for (size_t c = 0; c < spec.columnCount; ++c) {
            const ExplorerColumn& column = spec.columns[c];
            SCOPED_TRACE(std::string(spec.table) + "." + column.name);
            EXPECT_EQ(column.type, catalogueType(spec.table, column.name));
            EXPECT_TRUE(seen.insert(column.name).second) << "named twice";
        }
        EXPECT_EQ(spec.idKey != nullptr, spec.idColumn >= 0) << spec.table;
        if (spec.idColumn >= 0) {
            EXPECT_EQ(spec.columns[spec.idColumn].type, VQB_TYPE_INT) << spec.table;
        }
    }
}

TEST(ExplorerCatalogue, ClearCoversEveryTableAProjectOwns) {
    std::vector<std::string> all = explorationTables();
    ASSERT_EQ(all.size(), 28u);
    std::set<std::string> owned(all.begin(), all.end());
    owned.erase("MPRJ");
    for (const char* shared : kShared) owned.erase(shared);

    std::set<std::string> cleared;
    for (size_t i = 0; i < explorerProjectTableCount; ++i) {
        const ExplorerProjectTable& t = explorerProjectTables[i];
        cleared.insert(t.table);
        EXPECT_EQ(t.projectIdType, catalogueType(t.table, "PRJ_ID")) << t.table;
    }
    EXPECT_EQ(cleared, owned);
    EXPECT_EQ(explorerProjectTableCount, 24u);
}

TEST(ExplorerCatalogue, ValuesAreMadeToFitTheirColumns) {
    VqbDatavar out;
    ASSERT_TRUE(explorerColumnValue(VqbDatavar(" 12 "), VQB_TYPE_INT, out));
    EXPECT_EQ(out.getType(), VQB_TYPE_INT);
    EXPECT_EQ(out.asInt64(), 12);
    ASSERT_TRUE(explorerColumnValue(VqbDatavar(""), VQB_TYPE_INT, out));
    EXPECT_TRUE(out.isNull());
    EXPECT_EQ(out.declaredType(), VQB_TYPE_INT);
    for (const char* bad : {"abc", "1e3", "12x", "99999999999", "3.5"})
        EXPECT_FALSE(explorerColumnValue(VqbDatavar(bad), VQB_TYPE_INT, out)) << bad;
    ASSERT_TRUE(explorerColumnValue(VqbDatavar(-3), VQB_TYPE_STRING, out));
    EXPECT_EQ(out.getType(), VQB_TYPE_STRING);
    EXPECT_EQ(out.asString().str(), "-3");
    ASSERT_TRUE(explorerColumnValue(VqbDatavar::fromBool(true), VQB_TYPE_INT, out));
    EXPECT_EQ(out.getType(), VQB_TYPE_INT);
    EXPECT_EQ(out.asInt64(), 1);
    ASSERT_TRUE(explorerColumnValue(VqbDatavar(), VQB_TYPE_STRING, out));
    EXPECT_EQ(out.declaredType(), VQB_TYPE_STRING);
    EXPECT_FALSE(explorerColumnValue(VqbDatavar(2.5), VQB_TYPE_STRING, out));
}

TEST_P(Explorer, EveryRecordReadsBackAsWritten) {
    ScopedRecordingEventManager events;
    ASSERT_TRUE(repo->addFolder(4, 0, "Area"));
    FilledProject p = fillProject(x.get(), *repo, "Survey", 4);
    ASSERT_TRUE(p.ok);
    const std::string P = s(p.id);
    const std::string uuid = projectUuid(p.id);
    EXPECT_EQ(uuid.size(), 36u);

    ReposHeld<ReposDataAccessCursor> project(x->getProject(p.id));
    ASSERT_TRUE(project && project->next() == 1);
    EXPECT_EQ(project->getNumCols(), 13);
    EXPECT_EQ(project->getString(1).str(), "Survey");
    EXPECT_EQ(project->getString(3).str(), "comment of Survey");
    EXPECT_GT(project->getDouble(2), 40000.0);
    EXPECT_EQ(project->getDouble(4), project->getDouble(2));
    EXPECT_EQ(project->getDouble(5), project->getDouble(2));
    EXPECT_EQ(project->getString(6).str(), "maker");
    EXPECT_EQ(project->getString(7).str(), "maker");
    EXPECT_EQ(project->getString(8).str(), uuid);
    EXPECT_EQ(project->getInt(9), 4);
    EXPECT_EQ(project->getDouble(10), 0.0);
    EXPECT_EQ(project->getInt(11), 0);
    EXPECT_EQ(project->getInt(12), -1);
    EXPECT_NE(project->next(), 1);

    EXPECT_EQ(rowsOf(x->listProjectTables(p.id)), (Rows{{P, "orders", "sales", "DSN=Survey", "shop"}}));
    Rows definition{{"77", "Phone", "<null>", "<null>", "<null>", P, "0", "<null>", "en_US", s(p.definitionRow)}};
    EXPECT_EQ(rowsOf(x->listIdentificationDefinitions(p.id, true)), definition);
    EXPECT_EQ(rowsOf(x->getIdentificationDefinition(p.id, "Phone", "en_US", 77, true)), definition);
    EXPECT_TRUE(rowsOf(x->listIdentificationDefinitions(p.id, false)).empty());
    EXPECT_TRUE(rowsOf(x->getIdentificationDefinition(p.id, "Phone", "en_US", 77, false)).empty());
    EXPECT_EQ(rowsOf(x->listIdentificationValues(p.id, 77)),
              (Rows{{"77", s(p.valueRecord), "5", "555-0100", "a phone", "<null>", "<null>", "<null>", P, "1",
                     "<null>"}}));
    // Ordered by field name, not by sample.
    EXPECT_EQ(rowsOf(x->listSampledFields(p.id, p.valueRecord)),
              (Rows{{s(p.otherField), "alpha", s(p.db), s(p.table), "INTEGER", "4", "db of Survey", "orders", "sales",
                     "INTEGER", "4", "100", "90"},
                    {s(p.field), "zeta", s(p.db), s(p.table), "VARCHAR", "40", "db of Survey", "orders", "sales",
                     "VARCHAR", "40", "200", "150"}}));
    EXPECT_EQ(rowsOf(x->listMatchDefinitions(p.id)),
              (Rows{{s(p.matchDefinition), P, "1", "12", "Name match", "85", "en_GB"}}));

    // What no read operation returns, straight from the tables.
    EXPECT_EQ(repo->rows("SELECT DB_ID, CON_DBNM, CON_CNSTR, CON_TYPE FROM {MDBCON}"),
              (Rows{{s(p.db), "db of Survey", "DSN=Survey", "ODBC"}}));
    EXPECT_EQ(repo->rows("SELECT PRJ_ID, DB_ID, DB_VER FROM {MPRJDB}"), (Rows{{P, s(p.db), "3"}}));
    EXPECT_EQ(repo->rows("SELECT IDX_ID, IDX_NM, IDX_EXPR, PRJ_ID, DB_ID FROM {MINDEX}"),
              (Rows{{s(p.index), "ix_orders", "zeta, alpha", P, s(p.db)}}));
    EXPECT_EQ(repo->rows("SELECT PK_NM, TBL_ID, PRJ_ID, DB_ID FROM {MPKEY}"),
              (Rows{{"pk_orders", s(p.table), P, s(p.db)}}));
    EXPECT_EQ(repo->rows("SELECT FLD_ID, PK_NM FROM {MPKFLD}"), (Rows{{s(p.otherField), "pk_orders"}}));
    EXPECT_EQ(repo->rows("SELECT FK_NM, TBL_ID FROM {MFKEY}"), (Rows{{"fk_orders", s(p.table)}}));
    EXPECT_EQ(repo->rows("SELECT FKISPTBL, PKTBL_ID, PKFLD_ID, FKTBL_ID, FKFLD_ID, FK_NM, PRJ_ID, DB_ID FROM {MFKFLD}"),
              (Rows{{"1", s(p.table), s(p.otherField), s(p.table), s(p.field), "fk_orders", P, s(p.db)}}));
    EXPECT_EQ(repo->rows("SELECT SP_ID, SP_NM, SP_REM, SP_TYPE FROM {MSP}"),
              (Rows{{s(p.procedure), "refresh", "nightly", "2"}}));
    EXPECT_EQ(repo->rows("SELECT SPFLD_NM, SPFLDTYP, SP_ID FROM {MSPFLD}"), (Rows{{"@since", "1", s(p.procedure)}}));
    EXPECT_EQ(repo->rows("SELECT SMP_TYPE, SMP_N FROM {MSMPLG} WHERE SMP_ID=?", {VqbDatavar(p.sample)}),
              (Rows{{"3", "10"}}));
    EXPECT_EQ(repo->rows("SELECT PRJ_ID, FLD_ID, IDVALRID, SMP_ID, SMPTYP FROM {MPJFL2}"),
              (Rows{{P, s(p.field), s(p.valueRecord), s(p.sample), "1"}}));
    // Each classification with the match definition assigned to it; the sixth has none.
    EXPECT_EQ(repo->rows("SELECT FLD_ID, FLD_CL1, MASN_ID1, FLD_CL2, MASN_ID2, FLD_CL3, MASN_ID3, FLD_CL4, MASN_ID4, "
                         "FLD_CL5, MASN_ID5, FLD_CL6, MASN_ID6 FROM {MPJFLD} ORDER BY FLD_ID"),
              (Rows{{s(p.field), "<null>", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>",
                     "<null>", "<null>", "<null>", "<null>"},
                    {s(p.otherField), "c1", "11", "c2", "12", "c3", "13", "c4", "14", "c5", "15", "c6", "<null>"}}));

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
    std::map<std::string, Rows> shared;
    for (const char* t : kShared) shared[t] = repo->rows("SELECT * FROM {" + std::string(t) + "}");
    const std::string uuid = projectUuid(p.id);

    ScopedRecordingEventManager events;
    ASSERT_TRUE(x->clearProject(p.id));
    for (const auto& table : projectRowCounts(*repo, p.id)) EXPECT_EQ(table.second, 0u) << table.first;
    EXPECT_TRUE(x->existsProject(p.id));
    EXPECT_EQ(projectRowCounts(*repo, bystander.id), bystanderRows);
    for (const char* t : kShared) EXPECT_EQ(repo->rows("SELECT * FROM {" + std::string(t) + "}"), shared[t]) << t;
    EXPECT_EQ(events.count(), 0u);

    ASSERT_TRUE(x->deleteProject(p.id));
    EXPECT_FALSE(x->existsProject(p.id));
    EXPECT_EQ(rowsOf(x->listProjects()).size(), 1u);
    EXPECT_EQ(projectRowCounts(*repo, bystander.id), bystanderRows);
    for (const char* t : kShared) EXPECT_EQ(repo->rows("SELECT * FROM {" + std::string(t) + "}"), shared[t]) << t;
    EXPECT_EQ(events.lines(), (std::vector<std::string>{"postUriEvent(" + repo->uuid() + ", " +
                                                        uriOf("Top/Inner/Target") + ", 1, " +
                                                        identityOf(p.id, uuid) + ")"}));

    // Deleting a project that is not filed anywhere that exists still deletes it, unannounced.
    ASSERT_TRUE(repo->exec("UPDATE {MPRJ} SET FLDR_ID=99"));
    events.clear();
    EXPECT_TRUE(x->deleteProject(bystander.id));
    EXPECT_FALSE(x->existsProject(bystander.id));
    for (const auto& table : projectRowCounts(*repo, bystander.id)) EXPECT_EQ(table.second, 0u) << table.first;
    EXPECT_EQ(events.count(), 0u);
}

TEST_P(Explorer, AFailurePartWayThroughLeavesEveryRow) {
    FilledProject p = fillProject(x.get(), *repo, "Kept", 0);
    ASSERT_TRUE(p.ok);
    const auto before = explorationContent(*repo);
    // One of the last tables cleared, so most deletes have run when it fails.
    ASSERT_TRUE(repo->refuseDeletes("MMDEFS"));

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

    ASSERT_TRUE(repo->allowDeletes("MMDEFS"));
    EXPECT_TRUE(x->deleteProject(p.id));
    EXPECT_FALSE(x->existsProject(p.id));
}

TEST_P(Explorer, ANameIsUniqueWithinItsFolder) {
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

    // A rename may not take a name the folder already holds; keeping one's own name is fine.
    EXPECT_FALSE(x->updateProject(id, "Plan", "x"));
    EXPECT_TRUE(x->updateProject(first, "Plan", "new comment"));
    EXPECT_FALSE(x->addProject("", "", "u", "", 0, &id));
    EXPECT_FALSE(x->updateProject(first, "", "x"));
    EXPECT_EQ(repo->rows("SELECT PRJ_NM, PRJ_COMM FROM {MPRJ} WHERE PRJ_ID=?", {VqbDatavar(first)}),
              (Rows{{"Plan", "new comment"}}));
}

TEST_P(Explorer, UpdatesAnnounceARenameOrAModifyAndRefuseMissingProjects) {
    uint32_t id = 0;
    ASSERT_TRUE(x->addProject("Before", "c", "u", "", 0, &id));
    const std::string uuid = projectUuid(id);
    const std::string P = s(id);
    ScopedRecordingEventManager events;
    ASSERT_TRUE(x->updateProject(id, "After", "c2"));
    ASSERT_TRUE(x->updateProject(id, "After", "c3"));
    EXPECT_FALSE(x->updateProject(id + 1, "Ghost", "c"));
    EXPECT_EQ(events.lines(),
              (std::vector<std::string>{
                  "postRenameEvent(" + repo->uuid() + ", DataExploration, " + P + ", " + uuid + ", Before, After)",
                  "postEvent(" + repo->uuid() + ", 2, DataExploration, " + P + ", " + uuid + ")"}));

    EXPECT_TRUE(x->setProjectLastRun(id, 45000.25, 90, 2));
    EXPECT_FALSE(x->setProjectLastRun(id + 1, 45000.25, 90, 2));
    ReposHeld<ReposDataAccessCursor> row(x->getProject(id));
    ASSERT_TRUE(row && row->next() == 1);
    EXPECT_EQ(row->getDouble(10), 45000.25);
    EXPECT_EQ(row->getInt(11), 90);
    EXPECT_EQ(row->getInt(12), 2);
    EXPECT_EQ(events.count(), 2u);
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
                         ::testing::Values(ExplorerRepoKind::Sqlite, ExplorerRepoKind::SqliteUntyped,
                                           ExplorerRepoKind::Postgres),
                         explorerRepoKindName);

TEST(ExplorerTypes, EveryStoredValueHasItsColumnsType) {
    auto repo = makeExplorerRepository(ExplorerRepoKind::SqliteUntyped);
    auto x = explorerOn(*repo);
    FilledProject p = fillProject(x.get(), *repo, "Typed", 0);
    ASSERT_TRUE(p.ok);
    ASSERT_TRUE(x->updateProject(p.id, "Typed again", "c"));
    ASSERT_TRUE(x->setProjectLastRun(p.id, 45000.5, 12, 1));
    const char* const names[] = {"", "", "integer", "real", "text"};
    for (const std::string& table : explorationTables()) {
        for (const std::string& column : catalogueColumns(table)) {
            int type = catalogueType(table, column);
            ASSERT_TRUE(type >= VQB_TYPE_INT && type <= VQB_TYPE_STRING);
            EXPECT_TRUE(repo->rows("SELECT typeof(" + column + ") FROM {" + table + "} WHERE typeof(" + column +
                                       ") NOT IN ('null', ?)",
                                   {VqbDatavar(names[type])})
                            .empty())
                << table << "." << column;
        }
    }
}

TEST(ExplorerTypes, WithoutAConnectionEveryOperationFails) {
    ReposHeld<ExplorerRepositoryDataAccess> x(new ExplorerRDAImpl(nullptr));
    LogCapture log(5);
    uint32_t id = 0;
    EXPECT_FALSE(x->addProject("p", "", "u", "", 0, &id));
    EXPECT_FALSE(x->addConnection("d", "c", "t", &id));
    EXPECT_FALSE(x->addProjectFieldMatches(1, 1, "a", 1, "b", 2, "c", 3, "d", 4, "e", 5, "f"));
    EXPECT_EQ(x->listProjects(), nullptr);
    EXPECT_EQ(x->listSampledFields(1, 1), nullptr);
    EXPECT_FALSE(x->existsProject(1));
    EXPECT_FALSE(x->clearProject(1));
    EXPECT_FALSE(x->deleteProject(1));
    EXPECT_FALSE(x->updateProject(1, "n", "c"));
    EXPECT_FALSE(x->setProjectLastRun(1, 1.0, 1, 1));
    EXPECT_GE(log.count("Repository Data Access object is null", 5), 10u);
}
