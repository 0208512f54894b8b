// The shared base of the typed data access, reached through two test interfaces built the way the
// product areas build theirs: transactions, cached cursors, folder paths, object rows and the
// announcements of changes (change, commit, announce).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base_rdaimpl.h"
#include "objecttypes.h"
#include "recording_event_manager.h"
#include "repos_announce.h"
#include "repos_fixture.h"
#include "vqbmessage.h"
#include "vqresmgr.h"
#include "vqsqlite.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
const char* const kSource = "typed_test";

class TestRules : public virtual ReposTypedDataAccess {
public:
    // id 0 takes a new id from the counter.
    virtual bool addRule(const VqbString& name, const VqbString& uuid, int folderId, uint32_t& id) = 0;
    virtual bool updateRule(uint32_t id, const VqbString& uuid, const VqbString& name) = 0;
    virtual bool lockRule(uint32_t id, const VqbString& uuid) = 0;
    virtual bool unlockRule(uint32_t id) = 0;
    virtual bool deleteRule(uint32_t id) = 0;
    virtual ReposDataAccessCursor* listRules(unsigned maxRows) = 0;
};

class TestCount : public virtual ReposTypedDataAccess {
public:
    virtual int countRules() = 0;
};

class TestRulesImpl : public BaseRDAImpl, public TestRules {
public:
    explicit TestRulesImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

    bool addRule(const VqbString& name, const VqbString& uuid, int folderId, uint32_t& id) override {
        Transaction transaction(this);
        if (!transaction.begun()) return logFailure(kSource, __LINE__);
        if (id == 0 && !nextId(kSource, __LINE__, "RULE", id)) return false;
        VqbDatavar vId(id), vName(name), vUuid(uuid), vFolder(folderId), vUser("ann");
        VqbDatavar vNow(VqbDate::currentDate().asDouble());
        if (!execute(kSource, __LINE__,
                     sql("INSERT INTO %s (RU_ID, RU_DESC, RU_UUID, FLDR_ID, RU_CRUSR, RU_USER, RU_CRDAT, RU_EDDAT) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                         "RULE"),
                     nullptr, &vId, &vName, &vUuid, &vFolder, &vUser, &vUser, &vNow, &vNow))
            return false;
        if (!transaction.commit()) return logFailure(kSource, __LINE__);
        reposAnnounce(getConnection(), REPOS_CHANGE_CREATE, ReposObjectTypeName::Rule, id, uuid);
        return true;
    }
    bool updateRule(uint32_t id, const VqbString& uuid, const VqbString& name) override {
        VqbDatavar vId(id), vName(name);
        ReposHeld<ReposDataAccessCursor> old(selectRows(kSource, __LINE__, sql("SELECT RU_DESC FROM %s WHERE RU_ID=?", "RULE"), &vId));
        if (!old) return false;
        VqbString oldName = old->next() == 1 ? old->getString(0) : VqbString();
        Transaction transaction(this);
        int rows = 0;
        if (!transaction.begun() ||
            !execute(kSource, __LINE__, sql("UPDATE %s SET RU_DESC=? WHERE RU_ID=?", "RULE"), &rows, &vName, &vId) ||
            rows != 1 || !transaction.commit())
            return logFailure(kSource, __LINE__);
        reposAnnounceUpdate(getConnection(), ReposObjectTypeName::Rule, id, uuid, oldName, name);
        return true;
    }
    bool lockRule(uint32_t id, const VqbString& uuid) override {
        uint32_t lockId = 0;
        if (!nextId(kSource, __LINE__, "OBJLCK", lockId)) return false;
        VqbDatavar vLock(lockId), vId(id), vType(ReposObjectTypeName::Rule), vUuid(uuid), vUser("ann"), vNow(1.0);
        if (!execute(kSource, __LINE__,
                     sql("INSERT INTO %s (LCK_ID, OBJ_ID, OBJ_TYPE, OBJ_UUID, LCK_CDAT, LCK_USR) VALUES (?, ?, ?, ?, ?, ?)",
                         "OBJLCK"),
                     nullptr, &vLock, &vId, &vType, &vUuid, &vNow, &vUser))
            return false;
        reposAnnounce(getConnection(), REPOS_CHANGE_LOCK, ReposObjectTypeName::Rule, id, uuid);
        return true;
    }
    bool unlockRule(uint32_t id) override {
        VqbDatavar vId(id), vType(ReposObjectTypeName::Rule);
        int rows = 0;
        if (!execute(kSource, __LINE__, sql("DELETE FROM %s WHERE OBJ_ID=? AND OBJ_TYPE=?", "OBJLCK"), &rows, &vId,
                     &vType) ||
            rows == 0)
            return false;
        reposAnnounce(getConnection(), REPOS_CHANGE_UNLOCK, ReposObjectTypeName::Rule, id, VqbString(""));
        return true;
    }
    bool deleteRule(uint32_t id) override {
        ReposDeleteAnnouncement announcement(this, ReposObjectTypeName::Rule, id, kSource, __LINE__);
        Transaction transaction(this);
        VqbDatavar vId(id);
        if (!transaction.begun() ||
            !execute(kSource, __LINE__, sql("DELETE FROM %s WHERE RU_ID=?", "RULE"), nullptr, &vId) ||
            !transaction.commit())
            return logFailure(kSource, __LINE__);
        announcement.post();
        return true;
    }
    ReposDataAccessCursor* listRules(unsigned maxRows) override {
        return selectRowsLimited(kSource, __LINE__, maxRows, sql("SELECT RU_ID, RU_DESC FROM %s ORDER BY RU_ID", "RULE"));
    }

private:
    VqbString sql(const char* format, const char* table) { return VqbString::format(format, tableName(table).asCstr()); }
};

class TestCountImpl : public BaseRDAImpl, public TestCount {
public:
    explicit TestCountImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}
    int countRules() override {
        ReposHeld<ReposDataAccessCursor> cursor(selectRows(
            kSource, __LINE__, VqbString::format("SELECT COUNT(*) FROM %s", tableName("RULE").asCstr())));
        return cursor && cursor->next() == 1 ? cursor->getInt(0) : -1;
    }
};

// Handed out as their interfaces, as a factory does.
struct Typed {
    ReposTestRepository repo;
    ReposHeld<TestRules> rules{new TestRulesImpl(repo.connection())};
    TestRulesImpl* base() { return dynamic_cast<TestRulesImpl*>(rules.get()); }
};

// A source cursor whose rows are numbers 1..rows, that reports an error at row failAt (0: never)
// and counts its releases instead of going away.
class ScriptedCursor : public ReposDataAccessCursor {
public:
    ScriptedCursor(int rows, int failAt, int cols = 1) : rows_(rows), failAt_(failAt), cols_(cols) {}
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

TEST(TypedBase, TransactionsOfEveryInterfaceNestOnTheOneConnection) {
    ReposTestRepository repo;
    ReposDataAccess* c = repo.connection();
    ASSERT_NE(c, nullptr);
    ReposHeld<TestRules> rules(new TestRulesImpl(c));
    ReposHeld<TestCount> count(new TestCountImpl(c));

    // Levels opened through one interface are ended through the other: one depth, one connection.
    ASSERT_TRUE(rules->beginTransaction(false));
    ASSERT_TRUE(count->beginTransaction(true));
    uint32_t id = 0, dropped = 0, later = 0;
    ASSERT_TRUE(rules->addRule("kept", "u1", 0, id));
    EXPECT_TRUE(count->endTransaction(true));
    EXPECT_TRUE(c->isInTransaction()) << "an inner end must not commit";
    EXPECT_TRUE(rules->endTransaction(true));
    EXPECT_FALSE(c->isInTransaction());
    EXPECT_EQ(count->countRules(), 1);

    ASSERT_TRUE(count->beginTransaction(false));
    ASSERT_TRUE(rules->addRule("dropped", "u2", 0, dropped));
    EXPECT_TRUE(count->endTransaction(false));
    EXPECT_EQ(count->countRules(), 1);

    // An end with no open level fails and later work still commits.
    LogCapture log;
    EXPECT_FALSE(rules->endTransaction(true));
    ASSERT_TRUE(rules->addRule("later", "u3", 0, later));
    EXPECT_EQ(repo.rows("SELECT RU_DESC FROM RULE ORDER BY RU_ID"), (Rows{{"kept"}, {"later"}}));
    EXPECT_EQ(count->getErrorMessage(), c->getGeneralErrorMessage());
    EXPECT_FALSE(rules->getErrorMessage().isEmpty());

    // A release leaves the connection to the repository.
    rules.reset();
    EXPECT_TRUE(repo.exec("DELETE FROM RULE"));
    EXPECT_EQ(count->countRules(), 0);
}

TEST(TypedBase, WithoutAConnectionEveryOperationFailsAndLogs) {
    LogCapture log;
    ReposHeld<TestRules> rules(new TestRulesImpl(nullptr));
    TestRulesImpl* base = dynamic_cast<TestRulesImpl*>(rules.get());
    EXPECT_FALSE(rules->beginTransaction(false));
    EXPECT_FALSE(rules->endTransaction(true));
    rules->setDDLCallback(nullptr);
    EXPECT_EQ(log.count(reposMessage(1161).str(), 5), 3u);
    EXPECT_FALSE(rules->getErrorMessage().isEmpty());

    VqbString path("kept"), name("kept"), error("kept");
    EXPECT_FALSE(base->getFolderPath(3, path, name, error));
    EXPECT_EQ(base->getObjectRow(1, "Rule", error), nullptr);
    EXPECT_FALSE(base->getObjectPath(1, "Rule", path, name, error));
    EXPECT_EQ(path.str() + error.str(), "keptkept");
    EXPECT_EQ(log.count("Repository Data Access object is null", 5), 3u);
    uint32_t id = 0;
    EXPECT_FALSE(rules->addRule("r", "u", 0, id));
    EXPECT_EQ(rules->listRules(0), nullptr);
    EXPECT_EQ(ObjectTypeCatalog(nullptr).findType("Rule"), nullptr);
}

TEST(TypedBase, CacheCursorCopiesAllRowsOrTheLimitOrNothing) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    for (int i = 1; i <= 5; ++i) {
        uint32_t id = 0;
        ASSERT_TRUE(t.rules->addRule(VqbString::format("rule%d", i), "", 0, id));
    }
    ReposHeld<ReposDataAccessCursor> all(t.rules->listRules(0)), limited(t.rules->listRules(3));
    ASSERT_TRUE(all && limited);
    EXPECT_EQ(all->getColName(1).str(), "RU_DESC");
    EXPECT_EQ(cursorRows(all.get()),
              (Rows{{"1", "rule1"}, {"2", "rule2"}, {"3", "rule3"}, {"4", "rule4"}, {"5", "rule5"}}));
    EXPECT_EQ(cursorRows(limited.get()), (Rows{{"1", "rule1"}, {"2", "rule2"}, {"3", "rule3"}}));
    // The back-end cursors are gone: the connection can write at once.
    EXPECT_TRUE(t.repo.exec("DELETE FROM RULE"));
    ReposHeld<ReposDataAccessCursor> none(t.rules->listRules(0));
    ASSERT_TRUE(none) << "an empty result is a result";
    EXPECT_EQ(none->getNumCols(), 2);
    EXPECT_EQ(none->next(), 0);

    // A failing source: null, and the source released.
    LogCapture log;
    ScriptedCursor failing(5, 3), noColumns(2, 0, 0), late(5, 4);
    EXPECT_EQ(t.base()->cacheCursor(&failing, 0), nullptr);
    EXPECT_EQ(failing.released, 1);
    EXPECT_TRUE(log.contains(reposMessage(485).str(), 5));
    EXPECT_EQ(t.base()->cacheCursor(&noColumns, 0), nullptr);
    EXPECT_EQ(noColumns.released, 1);
    EXPECT_EQ(t.base()->cacheCursor(nullptr, 0), nullptr);
    // An error after the limit is reached: the rows asked for were read whole.
    ReposHeld<ReposDataAccessCursor> cached(t.base()->cacheCursor(&late, 2));
    EXPECT_EQ(late.released, 1);
    EXPECT_EQ(cursorRows(cached.get()), (Rows{{"1"}, {"2"}}));

    // A real query that fails at its third row.
    ReposDataAccessCursor* live = t.repo.connection()->paramSelect(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 5) "
        "SELECT CASE WHEN x < 3 THEN x ELSE abs(-9223372036854775807 - 1) END FROM n",
        0);
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(t.base()->cacheCursor(live, 0), nullptr);
    EXPECT_TRUE(t.repo.exec("DELETE FROM RULE")) << "the failed cursor still holds the database";
}

TEST(TypedBase, FolderPathsWalkToTheRootAndStopAtMissingFoldersAndCycles) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    // 99 is missing; 2 has a missing parent; 5, 6-7 and 8-9-10 are cycles, 11 hangs under one.
    const struct {
        int id, parent;
        const char* name;
    } folders[] = {{1, 0, "Sales"}, {3, 1, "Q1 'draft'"}, {4, 3, "Ünïcode"}, {2, 77, "Orphan"},
                   {5, 5, "Self"},  {6, 7, "Six"},        {7, 6, "Seven"},   {8, 10, "Eight"},
                   {9, 8, "Nine"},  {10, 9, "Ten"},       {11, 8, "Under"},  {12, -1, "Negative parent"}};
    for (const auto& f : folders) ASSERT_TRUE(t.repo.addFolder(f.id, f.parent, f.name));
    const std::string missing = reposMessage(1167).str(), cycle = reposMessage(1257).str();
    const struct {
        int folder;
        const char* path;
        const char* name;  // nullptr: untouched
        std::string error;
    } cases[] = {{4, "Sales/Q1 'draft'/Ünïcode", "Ünïcode", ""},
                 {1, "Sales", "Sales", ""},
                 {0, "", nullptr, ""},
                 {-5, "", nullptr, ""},
                 {99, "", nullptr, missing},
                 {2, "", nullptr, missing},
                 {5, "", nullptr, cycle},
                 {6, "", nullptr, cycle},
                 {7, "", nullptr, cycle},
                 {8, "", nullptr, cycle},
                 {10, "", nullptr, cycle},
                 {11, "", nullptr, cycle},
                 {12, "", nullptr, cycle}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        LogCapture log;
        VqbString path("x"), name("kept"), error;
        EXPECT_EQ(t.base()->getFolderPath(c.folder, path, name, error), c.folder >= 0 && c.error.empty());
        EXPECT_EQ(path.str(), c.path);
        EXPECT_FALSE(path.isNull());
        EXPECT_EQ(name.str(), c.name ? c.name : "kept");
        EXPECT_EQ(error.str(), c.error);
        EXPECT_TRUE(c.error.empty() || log.contains(c.error, 5));
    }
}

TEST(TypedBase, ObjectRowsAndPathsOfEveryType) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    ASSERT_TRUE(t.repo.addFolder(1, 0, "Sales"));
    ASSERT_TRUE(t.repo.addFolder(2, 1, "Q1"));
    const struct {
        const char* type;
        int id;
        const char* name;
        const char* uuid;
        int folder;
    } objects[] = {
        {"DataExploration", 11, "Explore", "uuid-prj", 2}, {"ProfileJob", 12, "Profile", "uuid-su", 0},
        {"Rule", 13, "O'Brien rule", "uuid-ru", 2},        {"Task", 14, "Nightly", "uuid-jb", 1},
        {"Source", 15, "Feed", "uuid-es", 2},               {"Dimension", 16, "Quality", "uuid-dim", 0},
        {"Dashboard", 17, "Board", "uuid-grp", 1},          {"Threshold", 18, "Limits", "uuid-thr", 2},
    };
    ObjectTypeCatalog catalog(t.base());
    EXPECT_EQ(catalog.size(), 8u);
    for (const auto& o : objects) {
        // Columns found through the catalogue: a wrong one fails the insert.
        const ObjectTypeInfo* type = catalog.findType(o.type);
        ASSERT_NE(type, nullptr) << o.type;
        ASSERT_TRUE(t.repo.exec(
            "INSERT INTO " + type->getTable().str() + " (" + type->getIdColumn().str() + ", " +
                type->getNameColumn().str() + ", " + type->getUuidColumn().str() + ", " +
                type->getFolderIdColumn().str() + ", " + type->getDescColumn().str() + ", " +
                type->getCreatedDateColumn().str() + ", " + type->getModifiedDateColumn().str() + ", " +
                type->getCreatedUserColumn().str() + ", " + type->getModifiedUserColumn().str() +
                ") VALUES (?, ?, ?, ?, ?, 45000.25, 45001.5, 'creator', 'editor')",
            {VqbDatavar(o.id), VqbDatavar(o.name), VqbDatavar(o.uuid), VqbDatavar(o.folder),
             VqbDatavar(std::string("about ") + o.name)}))
            << o.type;
    }
    for (const auto& o : objects) {
        SCOPED_TRACE(o.type);
        VqbString error, path, uuid;
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

        ASSERT_TRUE(t.base()->getObjectPath(o.id, o.type, path, uuid, error)) << error.str();
        const char* folders[] = {"", "Sales/", "Sales/Q1/"};
        EXPECT_EQ(path.str(), std::string(folders[o.folder]) + o.name);
        EXPECT_EQ(uuid.str(), o.uuid);
    }
    std::vector<std::string> listed;
    for (const VqbString& name : catalog.folderListedTypes()) listed.push_back(name.str());
    EXPECT_EQ(listed, (std::vector<std::string>{"DataExploration", "ProfileJob", "Rule", "Task"}));
}

TEST(TypedBase, ObjectLookupsRefuseUnknownTypesAndMissingObjects) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    LogCapture quiet;
    for (const char* type : {"rule", "RULE", " Rule", "Rule\n", "Field", "CustomMetric", "Collection", "",
                             "Rule' OR '1'='1", "Rule; DROP TABLE RULE"}) {
        VqbString error, path("kept"), uuid("kept"), pathError("kept");
        EXPECT_EQ(t.base()->getObjectRow(1, type, error), nullptr) << type;
        EXPECT_EQ(error.str(), std::string("Unable to find type: ") + type);
        EXPECT_TRUE(quiet.contains(std::string("Unable to find type: ") + type, 5));
        EXPECT_FALSE(t.base()->getObjectPath(1, type, path, uuid, pathError));
        EXPECT_EQ(pathError.str(), "kept");
    }
    EXPECT_EQ(t.repo.rows("SELECT COUNT(*) FROM RULE"), (Rows{{"0"}}));

    // No such object: an empty row set, no path.
    VqbString error("kept"), path("kept"), uuid("kept");
    ReposHeld<ReposDataAccessCursor> none(t.base()->getObjectRow(404, "Rule", error));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->next(), 0);
    EXPECT_FALSE(t.base()->getObjectPath(404, "Rule", path, uuid, error));
    EXPECT_EQ(error.str() + uuid.str(), "keptkept");

    // An object in a folder that is gone keeps its uuid but has no path; an unnamed one neither.
    uint32_t id = 0;
    ASSERT_TRUE(t.rules->addRule("stray", "uuid-stray", 42, id));
    EXPECT_FALSE(t.base()->getObjectPath(static_cast<int>(id), "Rule", path, uuid, error));
    EXPECT_EQ(error, reposMessage(1167));
    EXPECT_EQ(uuid.str(), "uuid-stray");
    ASSERT_TRUE(t.repo.exec("UPDATE RULE SET RU_DESC = NULL, FLDR_ID = 0"));
    error = "kept";
    EXPECT_FALSE(t.base()->getObjectPath(static_cast<int>(id), "Rule", path, uuid, error));
    EXPECT_EQ(error.str(), "kept");
}

namespace {

// Records, beside each announcement, what another connection sees of the database at that moment,
// or that the announcing connection was still inside a transaction.
class CommittedStateRecorder : public ScopedRecordingEventManager {
public:
    explicit CommittedStateRecorder(ReposTestRepository& repo) : repo_(repo) {
        sqlite3_open_v2(repo.file().c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    }
    ~CommittedStateRecorder() override { sqlite3_close_v2(db_); }

    void postEvent(const VqbString& r, int change, const VqbString& type, int id, const VqbString& uuid) override {
        snapshot();
        RecordingEventManager::postEvent(r, change, type, id, uuid);
    }
    void postRenameEvent(const VqbString& r, const VqbString& type, int id, const VqbString& uuid,
                         const VqbString& oldName, const VqbString& newName) override {
        snapshot();
        RecordingEventManager::postRenameEvent(r, type, id, uuid, oldName, newName);
    }
    void postUriEvent(const VqbString& r, const VqbString& uri, int change, const VqbString& identity) override {
        snapshot();
        RecordingEventManager::postUriEvent(r, uri, change, identity);
    }

    std::vector<std::string> states;

private:
    void snapshot() {
        if (repo_.connection()->isInTransaction()) return states.push_back("in transaction");
        states.push_back(scalar("SELECT COUNT(*) FROM RULE") + " rules, " + scalar("SELECT COUNT(*) FROM OBJLCK") +
                         " locks");
    }
    std::string scalar(const char* sql) {
        sqlite3_stmt* stmt = nullptr;
        std::string value = "?";
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            value = std::to_string(sqlite3_column_int(stmt, 0));
        sqlite3_finalize(stmt);
        return value;
    }

    ReposTestRepository& repo_;
    sqlite3* db_ = nullptr;
};

// Each kind of change once, in order; every step's result.
std::vector<bool> runEveryKind(TestRules* rules, uint32_t& id) {
    id = 0;
    return {rules->addRule("Check", "uuid-1", 1, id),         rules->updateRule(id, "uuid-1", "Check"),
            rules->updateRule(id, "uuid-1", "Checked"),       rules->lockRule(id, "uuid-1"),
            rules->unlockRule(id),                            rules->deleteRule(id)};
}

}  // namespace

TEST(Announce, EachKindReachesTheManagerOnceAfterItsCommit) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    ASSERT_TRUE(t.repo.addFolder(1, 0, "Sales & Ops"));
    CommittedStateRecorder recorder(t.repo);

    uint32_t id = 0;
    EXPECT_EQ(runEveryKind(t.rules.get(), id), std::vector<bool>(6, true));
    const std::string r = t.repo.uuid(), n = std::to_string(id);
    ASSERT_FALSE(r.empty());
    VqResourceManager* resources = createVqResourceManager();
    VqbString identity;
    resources->getObjectIdentity("", "Rule", n.c_str(), "uuid-1", identity);
    resources->release();
    EXPECT_EQ(recorder.lines(),
              (std::vector<std::string>{
                  "postEvent(" + r + ", 0, Rule, " + n + ", uuid-1)",
                  "postEvent(" + r + ", 2, Rule, " + n + ", uuid-1)",
                  "postRenameEvent(" + r + ", Rule, " + n + ", uuid-1, Check, Checked)",
                  "postEvent(" + r + ", 3, Rule, " + n + ", uuid-1)",
                  "postEvent(" + r + ", 4, Rule, " + n + ", )",
                  "postUriEvent(" + r + ", repos:///Sales%20%26%20Ops/Checked?type=Rule, 1, " + identity.str() + ")",
              }));
    // Each was made once its change could be seen from outside.
    EXPECT_EQ(recorder.states, (std::vector<std::string>{"1 rules, 0 locks", "1 rules, 0 locks", "1 rules, 0 locks",
                                                          "1 rules, 1 locks", "1 rules, 0 locks", "0 rules, 0 locks"}));

    // Callers that hold the repository's UUID themselves, for types outside the catalogue.
    recorder.clear();
    reposAnnounceTo(VqbString(r), REPOS_CHANGE_DELETE, ReposObjectTypeName::Collection, 7, "uuid-c");
    EXPECT_EQ(recorder.lines(), (std::vector<std::string>{"postEvent(" + r + ", 1, Collection, 7, uuid-c)"}));
}

TEST(Announce, NoManagerOrAThrowingOneLeavesResultsAndDataTheSame) {
    struct Throwing : RepositoryEventManager {
        void postEvent(const VqbString&, int, const VqbString&, int, const VqbString&) override { throw 1; }
        void postRenameEvent(const VqbString&, const VqbString&, int, const VqbString&, const VqbString&,
                             const VqbString&) override {
            throw std::runtime_error("rename");
        }
        void postUriEvent(const VqbString&, const VqbString&, int, const VqbString&) override { throw 2.0; }
    } throwing;
    for (RepositoryEventManager* manager : {static_cast<RepositoryEventManager*>(nullptr),
                                            static_cast<RepositoryEventManager*>(&throwing)}) {
        Typed t;
        ASSERT_NE(t.repo.connection(), nullptr);
        ASSERT_TRUE(t.repo.addFolder(1, 0, "Sales"));
        RepositoryEventManagerScope scope(manager);
        ASSERT_EQ(getRepositoryEventManager(), manager);
        LogCapture quiet;
        uint32_t id = 0, kept = 0;
        EXPECT_EQ(runEveryKind(t.rules.get(), id), std::vector<bool>(6, true));
        EXPECT_EQ(t.repo.rows("SELECT COUNT(*) FROM RULE"), (Rows{{"0"}}));
        ASSERT_TRUE(t.rules->addRule("Kept", "uuid-2", 1, kept));
        EXPECT_FALSE(t.rules->addRule("Again", "uuid-3", 1, kept)) << "a used id still fails";
        EXPECT_FALSE(t.rules->unlockRule(kept));
    }
}

// Restores the SQLite busy wait of new connections.
struct BusyTimeoutScope {
    explicit BusyTimeoutScope(int ms) : previous(sqliteBusyTimeout()) { sqliteSetBusyTimeout(ms); }
    ~BusyTimeoutScope() { sqliteSetBusyTimeout(previous); }
    int previous;
};

TEST(Announce, FailedOrRefusedChangesAnnounceNothing) {
    BusyTimeoutScope noWait(0);
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    uint32_t id = 0, added = 0;
    ASSERT_TRUE(t.rules->addRule("First", "uuid-1", 0, id));
    ScopedRecordingEventManager recorder;
    LogCapture log;

    uint32_t same = id;
    EXPECT_FALSE(t.rules->addRule("Duplicate key", "uuid-2", 0, same));
    EXPECT_FALSE(t.rules->updateRule(id + 100, "uuid-x", "Nobody"));
    EXPECT_FALSE(t.rules->unlockRule(id));
    EXPECT_EQ(recorder.count(), 0u);

    // A reader in an open transaction keeps the writer from committing.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(t.repo.file().c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT COUNT(*) FROM RULE;", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_FALSE(t.rules->addRule("Refused", "uuid-2", 0, added));
    EXPECT_FALSE(t.rules->deleteRule(id));
    EXPECT_FALSE(t.repo.connection()->isInTransaction());
    EXPECT_TRUE(log.contains("database is locked", 5));
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close_v2(reader);
    EXPECT_EQ(recorder.count(), 0u);
    EXPECT_EQ(t.repo.rows("SELECT RU_DESC FROM RULE"), (Rows{{"First"}}));

    // A delete whose path cannot be built still deletes, and announces nothing; so does deleting
    // what is not there.
    ASSERT_TRUE(t.repo.exec("UPDATE RULE SET FLDR_ID = 99"));
    EXPECT_TRUE(t.rules->deleteRule(id));
    EXPECT_TRUE(log.contains("Error building path for rule=" + std::to_string(id), 5));
    EXPECT_EQ(t.repo.rows("SELECT COUNT(*) FROM RULE"), (Rows{{"0"}}));
    EXPECT_TRUE(t.rules->deleteRule(id));
    EXPECT_EQ(recorder.count(), 0u);

    // The connection is sound afterwards and announces again.
    ASSERT_TRUE(t.rules->addRule("Again", "uuid-3", 0, added));
    EXPECT_EQ(recorder.count(), 1u);
}
