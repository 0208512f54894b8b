// The shared base of the typed data access: its operations reached through typed interfaces,
// cached cursors, folder paths and object rows on a repository with the whole catalogue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "typed_fixture.h"
#include "vqbmessage.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct Typed {
    ReposTestRepository repo;
    ReposHeld<TestRulesDataAccess> rules{createTestRules(repo.connection())};
    BaseRDAImpl* base() { return baseOf(rules.get()); }
};

// A source cursor whose rows are numbers 1..rows, that reports an error at row failAt (0: never)
// and counts its releases instead of going away.
class ScriptedCursor : public ReposDataAccessCursor {
public:
    ScriptedCursor(int rows, int failAt, int cols = 1) : rows_(rows), failAt_(failAt), cols_(cols) {}
    ~ScriptedCursor() override = default;
    int next() override {
        ++row_;
        if (failAt_ && row_ == failAt_) return 2;
        return row_ <= rows_ ? 1 : 0;
    }
    int getNumCols() override { return cols_; }
    VqbString getColName(int) override { return "N"; }
    VqbString getString(int) override { return VqbString::format("%d", row_); }
    int getInt(int) override { return row_; }
    double getDouble(int) override { return row_; }
    bool isNull(int) override { return false; }
    VqbDatavar getValue(int) override { return VqbDatavar(row_); }
    void release() override { ++released; }
    bool cacheAll() override { return false; }

    int released = 0;

private:
    int rows_, failAt_, cols_, row_ = 0;
};

}  // namespace

TEST(TypedBase, OperationsOfEveryInterfaceReachTheOneConnection) {
    ReposTestRepository repo;
    ReposDataAccess* c = repo.connection();
    ASSERT_NE(c, nullptr);
    ReposHeld<TestRulesDataAccess> rules(createTestRules(c));
    ReposHeld<TestCountDataAccess> count(createTestCount(c));

    // Levels opened through one interface are ended through the other: one depth, one connection.
    ASSERT_TRUE(rules->beginTransaction(false));
    ASSERT_TRUE(count->beginTransaction(true));
    EXPECT_TRUE(c->isInTransaction());
    uint32_t id = 0;
    ASSERT_TRUE(rules->addRule("kept", "u1", 0, id));
    EXPECT_TRUE(count->endTransaction(true));
    EXPECT_TRUE(c->isInTransaction()) << "an inner end must not commit";
    EXPECT_TRUE(rules->endTransaction(true));
    EXPECT_FALSE(c->isInTransaction());
    EXPECT_EQ(count->countRules(), 1);

    ASSERT_TRUE(count->beginTransaction(false));
    uint32_t dropped = 0;
    ASSERT_TRUE(rules->addRule("dropped", "u2", 0, dropped));
    EXPECT_TRUE(count->endTransaction(false));
    EXPECT_EQ(count->countRules(), 1);

    // An end with no open level fails and later work still commits.
    LogCapture log;
    EXPECT_FALSE(rules->endTransaction(true));
    uint32_t later = 0;
    ASSERT_TRUE(rules->addRule("later", "u3", 0, later));
    EXPECT_EQ(repo.rows("SELECT RU_DESC FROM RULE ORDER BY RU_ID"), (Rows{{"kept"}, {"later"}}));

    // Both answer with the connection's general error text, whatever failed last.
    EXPECT_EQ(rules->getErrorMessage(), c->getGeneralErrorMessage());
    EXPECT_EQ(count->getErrorMessage(), c->getGeneralErrorMessage());
    EXPECT_FALSE(rules->getErrorMessage().isEmpty());
}

TEST(TypedBase, ReleaseLeavesTheConnectionToTheRepository) {
    ReposTestRepository repo;
    TestRulesDataAccess* first = createTestRules(repo.connection());
    ReposHeld<TestCountDataAccess> second(createTestCount(repo.connection()));
    uint32_t id = 0;
    ASSERT_TRUE(first->addRule("r", "u", 0, id));
    first->release();
    EXPECT_EQ(second->countRules(), 1);
    EXPECT_TRUE(repo.exec("DELETE FROM RULE"));
    EXPECT_EQ(second->countRules(), 0);
}

TEST(TypedBase, WithoutAConnectionEveryOperationFailsAndLogs) {
    LogCapture log;
    ReposHeld<TestRulesDataAccess> rules(createTestRules(nullptr));
    BaseRDAImpl* base = baseOf(rules.get());
    const std::string unavailable = reposMessage(1161).str();

    EXPECT_FALSE(rules->beginTransaction(false));
    EXPECT_FALSE(rules->endTransaction(true));
    rules->setDDLCallback(nullptr);
    EXPECT_EQ(log.count(unavailable, 5), 3u);
    EXPECT_FALSE(rules->getErrorMessage().isEmpty());

    VqbString path("kept"), name("kept"), error("kept");
    EXPECT_FALSE(base->getFolderPath(3, path, name, error));
    EXPECT_EQ(path.str(), "kept");
    EXPECT_EQ(base->getObjectRow(1, "Rule", error), nullptr);
    EXPECT_FALSE(base->getObjectPath(1, "Rule", path, name, error));
    EXPECT_EQ(error.str(), "kept");
    EXPECT_EQ(log.count("Repository Data Access object is null", 5), 3u);

    uint32_t id = 0;
    EXPECT_FALSE(rules->addRule("r", "u", 0, id));
    EXPECT_EQ(rules->listRules(0), nullptr);
}

TEST(TypedBase, CacheCursorCopiesAllRowsOrTheLimitAndFreesTheLiveCursor) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    for (int i = 1; i <= 5; ++i) {
        uint32_t id = 0;
        ASSERT_TRUE(t.rules->addRule(VqbString::format("rule%d", i), "", 0, id));
    }
    ReposHeld<ReposDataAccessCursor> all(t.rules->listRules(0));
    ASSERT_TRUE(all);
    EXPECT_EQ(all->getColName(1).str(), "RU_DESC");
    EXPECT_EQ(cursorRows(all.get()),
              (Rows{{"1", "rule1"}, {"2", "rule2"}, {"3", "rule3"}, {"4", "rule4"}, {"5", "rule5"}}));

    ReposHeld<ReposDataAccessCursor> limited(t.rules->listRules(3));
    ASSERT_TRUE(limited);
    EXPECT_EQ(cursorRows(limited.get()), (Rows{{"1", "rule1"}, {"2", "rule2"}, {"3", "rule3"}}));
    ReposHeld<ReposDataAccessCursor> wide(t.rules->listRules(50));
    EXPECT_EQ(cursorRows(wide.get()).size(), 5u);

    // The back-end cursor is gone: the connection can write at once.
    EXPECT_TRUE(t.repo.exec("DELETE FROM RULE"));
    ReposHeld<ReposDataAccessCursor> none(t.rules->listRules(0));
    ASSERT_TRUE(none) << "an empty result is a result";
    EXPECT_EQ(none->getNumCols(), 2);
    EXPECT_EQ(none->next(), 0);
}

TEST(TypedBase, CacheCursorOfAFailingSourceGivesNullAndReleasesBoth) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    LogCapture log;
    ScriptedCursor failing(5, 3);
    EXPECT_EQ(t.base()->cacheCursor(&failing, 0), nullptr);
    EXPECT_EQ(failing.released, 1);
    EXPECT_TRUE(log.contains(reposMessage(485).str(), 5));

    ScriptedCursor noColumns(2, 0, 0);
    EXPECT_EQ(t.base()->cacheCursor(&noColumns, 0), nullptr);
    EXPECT_EQ(noColumns.released, 1);

    // The error comes after the limit is reached: the rows asked for were read whole.
    ScriptedCursor late(5, 4);
    ReposHeld<ReposDataAccessCursor> cached(t.base()->cacheCursor(&late, 2));
    ASSERT_TRUE(cached);
    EXPECT_EQ(late.released, 1);
    EXPECT_EQ(cursorRows(cached.get()), (Rows{{"1"}, {"2"}}));

    log.clear();
    EXPECT_EQ(t.base()->cacheCursor(nullptr, 0), nullptr);
    EXPECT_TRUE(log.contains(reposMessage(1161).str(), 5));

    // A real query that fails at its third row.
    ReposDataAccessCursor* live = t.repo.connection()->paramSelect(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 5) "
        "SELECT CASE WHEN x < 3 THEN x ELSE abs(-9223372036854775807 - 1) END FROM n",
        0);
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(t.base()->cacheCursor(live, 0), nullptr);
    EXPECT_TRUE(t.repo.exec("DELETE FROM RULE")) << "the failed cursor still holds the database";
}

TEST(TypedBase, FolderPathsWalkToTheRoot) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    ASSERT_TRUE(t.repo.addFolder(1, 0, "Sales"));
    ASSERT_TRUE(t.repo.addFolder(2, 1, "Q1 'draft'"));
    ASSERT_TRUE(t.repo.addFolder(3, 2, "Ünïcode"));
    ASSERT_TRUE(t.repo.addFolder(4, 0, "Other"));
    VqbString path, name, error;

    ASSERT_TRUE(t.base()->getFolderPath(3, path, name, error));
    EXPECT_EQ(path.str(), "Sales/Q1 'draft'/Ünïcode");
    EXPECT_EQ(name.str(), "Ünïcode");
    ASSERT_TRUE(t.base()->getFolderPath(1, path, name, error));
    EXPECT_EQ(path.str(), "Sales");
    EXPECT_EQ(name.str(), "Sales");

    // The root: an empty path, the name untouched.
    name = "before";
    path = "before";
    ASSERT_TRUE(t.base()->getFolderPath(0, path, name, error));
    EXPECT_EQ(path.str(), "");
    EXPECT_FALSE(path.isNull());
    EXPECT_EQ(name.str(), "before");

    error = "";
    EXPECT_FALSE(t.base()->getFolderPath(-5, path, name, error));
    EXPECT_EQ(path.str(), "");
    EXPECT_EQ(error.str(), "");
}

TEST(TypedBase, MissingFoldersAndCyclesFailWithTheirMessage) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    ASSERT_TRUE(t.repo.addFolder(1, 0, "A"));
    ASSERT_TRUE(t.repo.addFolder(2, 77, "Orphan"));  // parent 77 does not exist
    ASSERT_TRUE(t.repo.addFolder(5, 5, "Self"));
    ASSERT_TRUE(t.repo.addFolder(6, 7, "Six"));
    ASSERT_TRUE(t.repo.addFolder(7, 6, "Seven"));
    ASSERT_TRUE(t.repo.addFolder(8, 10, "Eight"));
    ASSERT_TRUE(t.repo.addFolder(9, 8, "Nine"));
    ASSERT_TRUE(t.repo.addFolder(10, 9, "Ten"));
    ASSERT_TRUE(t.repo.addFolder(11, 8, "Under the cycle"));
    ASSERT_TRUE(t.repo.addFolder(12, -1, "Negative parent"));
    const std::string missing = reposMessage(1167).str();
    const std::string cycle = reposMessage(1257).str();

    struct Case {
        int folder;
        const std::string& message;
    } cases[] = {{99, missing}, {2, missing}, {5, cycle}, {6, cycle}, {7, cycle},
                 {8, cycle},    {10, cycle},  {11, cycle}, {12, cycle}};
    for (const Case& c : cases) {
        LogCapture log;
        VqbString path("x"), name("kept"), error;
        EXPECT_FALSE(t.base()->getFolderPath(c.folder, path, name, error)) << c.folder;
        EXPECT_EQ(error.str(), c.message) << c.folder;
        EXPECT_EQ(path.str(), "") << c.folder;
        EXPECT_EQ(name.str(), "kept") << c.folder;
        EXPECT_TRUE(log.contains(c.message, 5)) << c.folder;
    }
}

namespace {

struct ObjectCase {
    const char* type;
    int id;
    const char* name;
    const char* uuid;
    int folder;
};

// One object of a catalogue type, its columns found through the catalogue.
bool insertObject(ReposTestRepository& repo, const ObjectTypeInfo& type, const ObjectCase& o) {
    std::string sql = "INSERT INTO " + type.getTable().str() + " (" + type.getIdColumn().str() + ", " +
                      type.getNameColumn().str() + ", " + type.getUuidColumn().str() + ", " +
                      type.getFolderIdColumn().str() + ", " + type.getDescColumn().str() + ", " +
                      type.getCreatedDateColumn().str() + ", " + type.getModifiedDateColumn().str() + ", " +
                      type.getCreatedUserColumn().str() + ", " + type.getModifiedUserColumn().str() +
                      ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";
    return repo.exec(sql, {VqbDatavar(o.id), VqbDatavar(o.name), VqbDatavar(o.uuid), VqbDatavar(o.folder),
                           VqbDatavar(std::string("about ") + o.name), VqbDatavar(45000.25), VqbDatavar(45001.5),
                           VqbDatavar("creator"), VqbDatavar("editor")});
}

}  // namespace

TEST(TypedBase, ObjectRowsAndPathsOfEveryType) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    ASSERT_TRUE(t.repo.addFolder(1, 0, "Sales"));
    ASSERT_TRUE(t.repo.addFolder(2, 1, "Q1"));
    const ObjectCase objects[] = {
        {"DataExploration", 11, "Explore", "uuid-prj", 2}, {"ProfileJob", 12, "Profile", "uuid-su", 0},
        {"Rule", 13, "O'Brien rule", "uuid-ru", 2},        {"Task", 14, "Nightly", "uuid-jb", 1},
        {"Source", 15, "Feed", "uuid-es", 2},               {"Dimension", 16, "Quality", "uuid-dim", 0},
        {"Dashboard", 17, "Board", "uuid-grp", 1},          {"Threshold", 18, "Limits", "uuid-thr", 2},
    };
    ObjectTypeCatalog catalog(t.base());
    for (const ObjectCase& o : objects) {
        const ObjectTypeInfo* type = catalog.findType(o.type);
        ASSERT_NE(type, nullptr) << o.type;
        ASSERT_TRUE(insertObject(t.repo, *type, o)) << o.type;
    }
    for (const ObjectCase& o : objects) {
        SCOPED_TRACE(o.type);
        VqbString error;
        ReposHeld<ReposDataAccessCursor> row(t.base()->getObjectRow(o.id, o.type, error));
        ASSERT_TRUE(row);
        ASSERT_EQ(row->getNumCols(), REPOS_OBJROW_COLUMNS);
        EXPECT_EQ(row->getColName(REPOS_OBJROW_TYPE).str(), "OBJTYPE");
        ASSERT_EQ(row->next(), 1);
        EXPECT_EQ(row->getString(REPOS_OBJROW_TYPE).str(), o.type);
        EXPECT_EQ(row->getString(REPOS_OBJROW_UUID).str(), o.uuid);
        EXPECT_EQ(row->getInt(REPOS_OBJROW_ID), o.id);
        EXPECT_EQ(row->getString(REPOS_OBJROW_NAME).str(), o.name);
        EXPECT_EQ(row->getInt(REPOS_OBJROW_FOLDER), o.folder);
        EXPECT_DOUBLE_EQ(row->getDouble(REPOS_OBJROW_CREATED_DATE), 45000.25);
        EXPECT_DOUBLE_EQ(row->getDouble(REPOS_OBJROW_MODIFIED_DATE), 45001.5);
        EXPECT_EQ(row->getString(REPOS_OBJROW_CREATED_USER).str(), "creator");
        EXPECT_EQ(row->getString(REPOS_OBJROW_MODIFIED_USER).str(), "editor");
        EXPECT_EQ(row->getString(REPOS_OBJROW_DESC).str(), std::string("about ") + o.name);
        EXPECT_EQ(row->next(), 0);

        VqbString path, uuid;
        ASSERT_TRUE(t.base()->getObjectPath(o.id, o.type, path, uuid, error)) << error.str();
        const char* folders[] = {"", "Sales/", "Sales/Q1/"};
        EXPECT_EQ(path.str(), std::string(folders[o.folder]) + o.name);
        EXPECT_EQ(uuid.str(), o.uuid);
    }
}

TEST(TypedBase, ObjectLookupsRefuseUnknownTypesAndMissingObjects) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    LogCapture quiet;
    const char* unknown[] = {"rule", "Field", "CustomMetric", "Collection", "", "Rule' OR '1'='1",
                             "Rule; DROP TABLE RULE"};
    for (const char* type : unknown) {
        VqbString error;
        EXPECT_EQ(t.base()->getObjectRow(1, type, error), nullptr) << type;
        EXPECT_EQ(error.str(), std::string("Unable to find type: ") + type);
        EXPECT_TRUE(quiet.contains(std::string("Unable to find type: ") + type, 5));
        VqbString path("kept"), uuid("kept"), pathError("kept");
        EXPECT_FALSE(t.base()->getObjectPath(1, type, path, uuid, pathError));
        EXPECT_EQ(pathError.str(), "kept");
    }
    EXPECT_EQ(t.repo.rows("SELECT COUNT(*) FROM RULE"), (Rows{{"0"}}));

    // No such object: an empty row set, no path.
    VqbString error("kept");
    ReposHeld<ReposDataAccessCursor> none(t.base()->getObjectRow(404, "Rule", error));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->next(), 0);
    VqbString path("kept"), uuid("kept");
    EXPECT_FALSE(t.base()->getObjectPath(404, "Rule", path, uuid, error));
    EXPECT_EQ(error.str(), "kept");
    EXPECT_EQ(uuid.str(), "kept");

    // An object in a folder that is gone keeps its uuid but has no path.
    uint32_t id = 0;
    ASSERT_TRUE(t.rules->addRule("stray", "uuid-stray", 42, id));
    EXPECT_FALSE(t.base()->getObjectPath(static_cast<int>(id), "Rule", path, uuid, error));
    EXPECT_EQ(error, reposMessage(1167));
    EXPECT_EQ(uuid.str(), "uuid-stray");

    // An unnamed object has no path either.
    ASSERT_TRUE(t.repo.exec("UPDATE RULE SET RU_DESC = NULL, FLDR_ID = 0"));
    error = "kept";
    EXPECT_FALSE(t.base()->getObjectPath(static_cast<int>(id), "Rule", path, uuid, error));
    EXPECT_EQ(error.str(), "kept");
}
