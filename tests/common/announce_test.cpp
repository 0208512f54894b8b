// Announcements of repository object changes, made through the one helper the way the announcing
// operations make them: change, commit, announce.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "objecttypes.h"
#include "recording_event_manager.h"
#include "repos_announce.h"
#include "typed_fixture.h"
#include "vqresmgr.h"
#include "vqsqlite.h"

namespace {

// Records, beside each announcement, what another connection sees of the database at that moment
// and whether the announcing connection was still inside a transaction.
class CommittedStateRecorder : public ScopedRecordingEventManager {
public:
    CommittedStateRecorder(ReposTestRepository& repo) : repo_(repo) {
        sqlite3_open_v2(repo.file().c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    }
    ~CommittedStateRecorder() override { sqlite3_close_v2(db_); }

    void postEvent(const VqbString& repositoryId, int changeType, const VqbString& typeName, int objectId,
                   const VqbString& uuid) override {
        snapshot();
        RecordingEventManager::postEvent(repositoryId, changeType, typeName, objectId, uuid);
    }
    void postRenameEvent(const VqbString& repositoryId, const VqbString& typeName, int objectId,
                         const VqbString& uuid, const VqbString& oldName, const VqbString& newName) override {
        snapshot();
        RecordingEventManager::postRenameEvent(repositoryId, typeName, objectId, uuid, oldName, newName);
    }
    void postUriEvent(const VqbString& repositoryId, const VqbString& uri, int changeType,
                      const VqbString& identity) override {
        snapshot();
        RecordingEventManager::postUriEvent(repositoryId, uri, changeType, identity);
    }

    // Per announcement: "<rules> rules, <locks> locks" as committed, or "in transaction".
    std::vector<std::string> states;

private:
    void snapshot() {
        if (repo_.connection()->isInTransaction()) {
            states.push_back("in transaction");
            return;
        }
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

std::string identityOf(const char* type, uint32_t id, const char* uuid) {
    VqResourceManager* resources = createVqResourceManager();
    VqbString identity;
    resources->getObjectIdentity("", type, VqbString::format("%u", id), uuid, identity);
    resources->release();
    return identity.str();
}

// Each kind of change once, in order; every step's result.
std::vector<bool> runEveryKind(TestRulesDataAccess* rules, uint32_t& id) {
    std::vector<bool> results;
    id = 0;
    results.push_back(rules->addRule("Check", "uuid-1", 1, id));
    results.push_back(rules->updateRule(id, "uuid-1", "Check"));
    results.push_back(rules->updateRule(id, "uuid-1", "Checked"));
    results.push_back(rules->lockRule(id, "uuid-1"));
    results.push_back(rules->unlockRule(id));
    results.push_back(rules->deleteRule(id));
    return results;
}

// Restores the SQLite busy wait of new connections.
class BusyTimeoutScope {
public:
    explicit BusyTimeoutScope(int ms) : previous_(sqliteBusyTimeout()) { sqliteSetBusyTimeout(ms); }
    ~BusyTimeoutScope() { sqliteSetBusyTimeout(previous_); }

private:
    int previous_;
};

}  // namespace

TEST(Announce, EachKindReachesTheManagerOnceAfterItsCommit) {
    ReposTestRepository repo;
    ASSERT_NE(repo.connection(), nullptr);
    ASSERT_TRUE(repo.addFolder(1, 0, "Sales & Ops"));
    ReposHeld<TestRulesDataAccess> rules(createTestRules(repo.connection()));
    CommittedStateRecorder recorder(repo);

    uint32_t id = 0;
    EXPECT_EQ(runEveryKind(rules.get(), id), std::vector<bool>(6, true));
    const std::string r = repo.uuid();
    const std::string n = std::to_string(id);
    EXPECT_EQ(recorder.lines(), (std::vector<std::string>{
                                    "postEvent(" + r + ", 0, Rule, " + n + ", uuid-1)",
                                    "postEvent(" + r + ", 2, Rule, " + n + ", uuid-1)",
                                    "postRenameEvent(" + r + ", Rule, " + n + ", uuid-1, Check, Checked)",
                                    "postEvent(" + r + ", 3, Rule, " + n + ", uuid-1)",
                                    "postEvent(" + r + ", 4, Rule, " + n + ", )",
                                    "postUriEvent(" + r + ", repos:///Sales%20%26%20Ops/Checked?type=Rule, 1, " +
                                        identityOf("Rule", id, "uuid-1") + ")",
                                }));
    // Each was made once its change could be seen from outside.
    EXPECT_EQ(recorder.states, (std::vector<std::string>{"1 rules, 0 locks", "1 rules, 0 locks",
                                                          "1 rules, 0 locks", "1 rules, 1 locks",
                                                          "1 rules, 0 locks", "0 rules, 0 locks"}));
    EXPECT_FALSE(r.empty());

    // Callers that hold the repository's UUID themselves, for types outside the catalogue.
    recorder.clear();
    reposAnnounceTo(VqbString(r), REPOS_CHANGE_DELETE, ReposObjectTypeName::Collection, 7, "uuid-c");
    EXPECT_EQ(recorder.lines(), (std::vector<std::string>{"postEvent(" + r + ", 1, Collection, 7, uuid-c)"}));
}

TEST(Announce, WithoutAManagerResultsAndDataAreTheSame) {
    ReposTestRepository repo;
    ASSERT_NE(repo.connection(), nullptr);
    ASSERT_TRUE(repo.addFolder(1, 0, "Sales"));
    RepositoryEventManagerScope none(nullptr);
    ASSERT_EQ(getRepositoryEventManager(), nullptr);
    LogCapture quiet;
    ReposHeld<TestRulesDataAccess> rules(createTestRules(repo.connection()));

    uint32_t id = 0;
    EXPECT_EQ(runEveryKind(rules.get(), id), std::vector<bool>(6, true));
    EXPECT_EQ(repo.rows("SELECT COUNT(*) FROM RULE"), (std::vector<std::vector<std::string>>{{"0"}}));
    uint32_t kept = 0;
    ASSERT_TRUE(rules->addRule("Kept", "uuid-2", 1, kept));
    EXPECT_FALSE(rules->addRule("Again", "uuid-3", 1, kept)) << "a used id still fails";
    EXPECT_FALSE(rules->unlockRule(kept));
}

TEST(Announce, AManagerThatThrowsDoesNotChangeTheResult) {
    struct Throwing : RepositoryEventManager {
        void postEvent(const VqbString&, int, const VqbString&, int, const VqbString&) override { throw 1; }
        void postRenameEvent(const VqbString&, const VqbString&, int, const VqbString&, const VqbString&,
                             const VqbString&) override {
            throw std::runtime_error("rename");
        }
        void postUriEvent(const VqbString&, const VqbString&, int, const VqbString&) override { throw 2.0; }
    } throwing;
    ReposTestRepository repo;
    ASSERT_NE(repo.connection(), nullptr);
    ASSERT_TRUE(repo.addFolder(1, 0, "Sales"));
    RepositoryEventManagerScope scope(&throwing);
    ReposHeld<TestRulesDataAccess> rules(createTestRules(repo.connection()));
    uint32_t id = 0;
    EXPECT_EQ(runEveryKind(rules.get(), id), std::vector<bool>(6, true));
}

TEST(Announce, FailedChangesAnnounceNothing) {
    ReposTestRepository repo;
    ASSERT_NE(repo.connection(), nullptr);
    ReposHeld<TestRulesDataAccess> rules(createTestRules(repo.connection()));
    uint32_t id = 0;
    ASSERT_TRUE(rules->addRule("First", "uuid-1", 0, id));
    ScopedRecordingEventManager recorder;
    LogCapture log;

    uint32_t same = id;
    EXPECT_FALSE(rules->addRule("Duplicate key", "uuid-2", 0, same));
    EXPECT_FALSE(rules->updateRule(id + 100, "uuid-x", "Nobody"));
    EXPECT_FALSE(rules->unlockRule(id));
    EXPECT_EQ(recorder.count(), 0u);

    // A delete whose path cannot be built still deletes, and announces nothing.
    ASSERT_TRUE(repo.exec("UPDATE RULE SET FLDR_ID = 99"));
    EXPECT_TRUE(rules->deleteRule(id));
    EXPECT_EQ(recorder.count(), 0u);
    EXPECT_TRUE(log.contains("Error building path for rule=" + std::to_string(id), 5));
    EXPECT_EQ(repo.rows("SELECT COUNT(*) FROM RULE"), (std::vector<std::vector<std::string>>{{"0"}}));

    // Deleting what is not there announces nothing either.
    EXPECT_TRUE(rules->deleteRule(id));
    EXPECT_EQ(recorder.count(), 0u);
}

TEST(Announce, ARefusedCommitAnnouncesNothing) {
    BusyTimeoutScope noWait(0);
    ReposTestRepository repo;
    ASSERT_NE(repo.connection(), nullptr);
    ReposHeld<TestRulesDataAccess> rules(createTestRules(repo.connection()));
    uint32_t id = 0;
    ASSERT_TRUE(rules->addRule("Existing", "uuid-1", 0, id));
    ScopedRecordingEventManager recorder;
    LogCapture log;

    // A reader in an open transaction keeps the writer from committing.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(repo.file().c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT COUNT(*) FROM RULE;", nullptr, nullptr, nullptr), SQLITE_OK);
    uint32_t added = 0;
    EXPECT_FALSE(rules->addRule("Refused", "uuid-2", 0, added));
    EXPECT_FALSE(rules->deleteRule(id));
    EXPECT_FALSE(repo.connection()->isInTransaction());
    EXPECT_TRUE(log.contains("database is locked", 5));
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close_v2(reader);

    EXPECT_EQ(recorder.count(), 0u);
    EXPECT_EQ(repo.rows("SELECT RU_DESC FROM RULE"), (std::vector<std::vector<std::string>>{{"Existing"}}));
    // The connection is sound afterwards and announces again.
    EXPECT_TRUE(rules->deleteRule(id));
    EXPECT_EQ(recorder.count(), 1u);
}
