// The shared base of the typed data access, reached through the product areas' own classes:
// transactions, cached cursors, folder paths, object rows and the announcements of changes
// (change, commit, announce).
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "explorer_rdaimpl.h"
#include "meta_rdaimpl.h"
#include "objecttypes.h"
#include "recording_event_manager.h"
#include "repos_announce.h"
#include "repos_fixture.h"
#include "vqbmessage.h"
#include "vqresmgr.h"
#include "vqsqlite.h"

namespace {


// Two interfaces over one connection, handed out as a factory does.
struct Typed {
    TestRepository repo;
    ReposHeld<ExplorerRepositoryDataAccess> projects{new ExplorerRDAImpl(repo.connection())};
    ReposHeld<MetadataRepositoryDataAccess> meta{new MetadataRDAImpl(repo.connection())};
    BaseRDAImpl* base() { return dynamic_cast<BaseRDAImpl*>(projects.get()); }
    bool add(const char* name, uint32_t& id, int folder = 0) { return projects->addProject(name, "", "ann", "", folder, &id); }
    Rows names() { return repo.rows("SELECT PRJ_NM FROM MPRJ ORDER BY PRJ_ID"); }
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
    Typed t;
    ReposDataAccess* c = t.repo.connection();
    ASSERT_NE(c, nullptr);
    // Levels opened through one interface are ended through the other: one depth, one connection.
    ASSERT_TRUE(t.projects->beginTransaction(false));
    ASSERT_TRUE(t.meta->beginTransaction(true));
    uint32_t id = 0;
    ASSERT_TRUE(t.add("kept", id));
    EXPECT_TRUE(t.meta->endTransaction(true));
    EXPECT_TRUE(c->isInTransaction()) << "an inner end must not commit";
    EXPECT_TRUE(t.projects->endTransaction(true));
    EXPECT_FALSE(c->isInTransaction());
    ASSERT_TRUE(t.meta->beginTransaction(false));
    ASSERT_TRUE(t.add("dropped", id));
    EXPECT_TRUE(t.meta->endTransaction(false));
    EXPECT_EQ(t.names(), (Rows{{"kept"}}));

    // An end with no open level fails and later work still commits.
    LogCapture log;
    EXPECT_FALSE(t.projects->endTransaction(true));
    ASSERT_TRUE(t.add("later", id));
    EXPECT_EQ(t.names(), (Rows{{"kept"}, {"later"}}));
    EXPECT_EQ(t.meta->getErrorMessage(), c->getGeneralErrorMessage());
    EXPECT_FALSE(t.projects->getErrorMessage().isEmpty());
}

TEST(TypedBase, CacheCursorCopiesAllRowsOrTheLimitOrNothing) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    auto live = [&](const char* sql) {
        return t.repo.connection()->paramSelect(
            VqbString::format("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 5) %s", sql),
            0);
    };
    // What the copy holds is the memory cursor's concern; here the back-end cursor must be gone,
    // so the connection can write at once.
    ReposHeld<ReposDataAccessCursor> limited(t.base()->cacheCursor(live("SELECT x, 'r' || x FROM n"), 3));
    ASSERT_TRUE(limited);
    EXPECT_EQ(cursorRows(limited.get()), (Rows{{"1", "r1"}, {"2", "r2"}, {"3", "r3"}}));
    EXPECT_TRUE(t.repo.exec("DELETE FROM RULE"));
    ReposHeld<ReposDataAccessCursor> none(t.base()->cacheCursor(live("SELECT x, x FROM n WHERE x > 9"), 0));
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
    EXPECT_EQ(t.base()->cacheCursor(live("SELECT CASE WHEN x < 3 THEN x ELSE abs(-9223372036854775807 - 1) END FROM n"), 0),
              nullptr);
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
    } cases[] = {{4, "Sales/Q1 'draft'/Ünïcode", "Ünïcode", ""}, {1, "Sales", "Sales", ""}, {0, "", nullptr, ""},
                 {-5, "", nullptr, ""}, {99, "", nullptr, missing}, {2, "", nullptr, missing},
                 {5, "", nullptr, cycle}, {6, "", nullptr, cycle}, {10, "", nullptr, cycle},
                 {11, "", nullptr, cycle}, {12, "", nullptr, cycle}};
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
        EXPECT_EQ(cursorRows(row.get()),
                  (Rows{{o.type, o.uuid, std::to_string(o.id), o.name, std::to_string(o.folder), "45000.25", "45001.5",
                         "creator", "editor", std::string("about ") + o.name}}));

        ASSERT_TRUE(t.base()->getObjectPath(o.id, o.type, path, uuid, error)) << error.str();
        const char* folders[] = {"", "Sales/", "Sales/Q1/"};
        EXPECT_EQ(path.str(), std::string(folders[o.folder]) + o.name);
        EXPECT_EQ(uuid.str(), o.uuid);
    }
    std::vector<std::string> listed;
    for (const VqbString& name : catalog.folderListedTypes()) listed.push_back(name.str());
    EXPECT_EQ(listed, (std::vector<std::string>{"DataExploration", "ProfileJob", "Rule", "Task"}));
}

TEST(TypedBase, MissingObjectsAndFoldersGiveNoPath) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    // No such object: an empty row set, no path.
    VqbString error("kept"), path("kept"), uuid("kept");
    ReposHeld<ReposDataAccessCursor> none(t.base()->getObjectRow(404, "Rule", error));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->next(), 0);
    EXPECT_FALSE(t.base()->getObjectPath(404, "Rule", path, uuid, error));
    EXPECT_EQ(error.str() + uuid.str(), "keptkept");

    // An object in a folder that is gone keeps its uuid but has no path; an unnamed one neither.
    const int id = 5;
    ASSERT_TRUE(t.repo.exec("INSERT INTO RULE (RU_ID, RU_DESC, RU_UUID, FLDR_ID) VALUES (5, 'stray', 'uuid-stray', 42)"));
    EXPECT_FALSE(t.base()->getObjectPath(id, "Rule", path, uuid, error));
    EXPECT_EQ(error, reposMessage(1167));
    EXPECT_EQ(uuid.str(), "uuid-stray");
    ASSERT_TRUE(t.repo.exec("UPDATE RULE SET RU_DESC = NULL, FLDR_ID = 0"));
    error = "kept";
    EXPECT_FALSE(t.base()->getObjectPath(id, "Rule", path, uuid, error));
    EXPECT_EQ(error.str(), "kept");
}

namespace {

// Records, beside each announcement, what another connection sees of the database at that moment,
// or that the announcing connection was still inside a transaction.
class CommittedStateRecorder : public ScopedRecordingEventManager {
public:
    explicit CommittedStateRecorder(TestRepository& repo) : repo_(repo), outside_(repo.file()) {}

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
        states.push_back(repo_.connection()->isInTransaction()
                             ? "in transaction"
                             : outside_.scalar("SELECT coalesce((SELECT PRJ_NM FROM MPRJ) || ', ' || "
                                               "(SELECT COUNT(*) FROM OBJLCK) || ' locks', 'none')"));
    }

    TestRepository& repo_;
    RawDb outside_;
};

const char* const kType = "DataExploration";

// Each kind of change once, in order, on a project in folder 1; every step's result.
std::vector<bool> runEveryKind(Typed& t, uint32_t& id, std::string& uuid) {
    id = 0;
    bool added = t.add("Check", id, 1);
    Rows rows = t.repo.rows("SELECT PRJ_UUID FROM MPRJ WHERE PRJ_ID=?", {VqbDatavar(id)});
    uuid = rows.empty() ? "" : rows[0][0];
    const int n = static_cast<int>(id);
    return {added,
            t.projects->updateProject(id, "Check", "comment"),
            t.projects->updateProject(id, "Checked", "comment"),
            t.meta->lockObject(n, kType, "ann", VqbString(uuid)),
            t.meta->unlockObject(n, kType),
            t.projects->deleteProject(id)};
}

}  // namespace

TEST(Announce, EachKindReachesTheManagerOnceAfterItsCommit) {
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    ASSERT_TRUE(t.repo.addFolder(1, 0, "Sales & Ops"));
    CommittedStateRecorder recorder(t.repo);

    uint32_t id = 0;
    std::string u;
    EXPECT_EQ(runEveryKind(t, id, u), std::vector<bool>(6, true));
    const std::string r = t.repo.uuid(), n = std::to_string(id);
    ASSERT_FALSE(r.empty());
    VqResourceManager* resources = createVqResourceManager();
    VqbString identity;
    resources->getObjectIdentity("", kType, n.c_str(), u.c_str(), identity);
    resources->release();
    EXPECT_EQ(recorder.lines(),
              (std::vector<std::string>{
                  "postEvent(" + r + ", 0, DataExploration, " + n + ", " + u + ")",
                  "postEvent(" + r + ", 2, DataExploration, " + n + ", " + u + ")",
                  "postRenameEvent(" + r + ", DataExploration, " + n + ", " + u + ", Check, Checked)",
                  "postEvent(" + r + ", 3, DataExploration, " + n + ", " + u + ")",
                  "postEvent(" + r + ", 4, DataExploration, " + n + ", )",
                  "postUriEvent(" + r + ", repos:///Sales%20%26%20Ops/Checked?type=DataExploration, 1, " +
                      identity.str() + ")",
              }));
    // Each was made once its change could be seen from outside.
    EXPECT_EQ(recorder.states, (std::vector<std::string>{"Check, 0 locks", "Check, 0 locks", "Checked, 0 locks",
                                                          "Checked, 1 locks", "Checked, 0 locks", "none"}));

    // Types outside the catalogue, announced by the managers over the same connection.
    recorder.clear();
    reposAnnounce(t.repo.connection(), REPOS_CHANGE_DELETE, ReposObjectTypeName::Collection, 7, "uuid-c");
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
        std::string uuid;
        EXPECT_EQ(runEveryKind(t, id, uuid), std::vector<bool>(6, true));
        EXPECT_TRUE(t.names().empty());
        ASSERT_TRUE(t.add("Kept", kept, 1));
        EXPECT_FALSE(t.add("Kept", kept, 1)) << "a used name still fails";
        EXPECT_FALSE(t.meta->unlockObject(static_cast<int>(kept), kType));
    }
}

TEST(Announce, FailedOrRefusedChangesAnnounceNothing) {
    BusyTimeout noWait(0);
    Typed t;
    ASSERT_NE(t.repo.connection(), nullptr);
    uint32_t id = 0, added = 0;
    ASSERT_TRUE(t.add("First", id));
    ScopedRecordingEventManager recorder;
    LogCapture log;

    EXPECT_FALSE(t.add("First", added));
    EXPECT_FALSE(t.projects->updateProject(id + 100, "Nobody", ""));
    EXPECT_FALSE(t.meta->unlockObject(static_cast<int>(id), kType));
    EXPECT_EQ(recorder.count(), 0u);

    // A reader in an open transaction keeps the writer from committing.
    {
        RawDb reader(t.repo.file());
        ASSERT_TRUE(reader.exec("BEGIN; SELECT COUNT(*) FROM MPRJ;"));
        EXPECT_FALSE(t.add("Refused", added));
        EXPECT_FALSE(t.projects->updateProject(id, "Renamed", ""));
        EXPECT_FALSE(t.projects->deleteProject(id));
        EXPECT_FALSE(t.repo.connection()->isInTransaction());
        EXPECT_TRUE(log.contains("database is locked", 5));
        ASSERT_TRUE(reader.exec("COMMIT"));
    }
    EXPECT_EQ(recorder.count(), 0u);
    EXPECT_EQ(t.names(), (Rows{{"First"}}));

    // Deleting what is not there announces nothing either; the connection is sound afterwards.
    EXPECT_TRUE(t.projects->deleteProject(id + 100));
    EXPECT_EQ(recorder.count(), 0u);
    ASSERT_TRUE(t.add("Again", added));
    EXPECT_EQ(recorder.count(), 1u);
}
