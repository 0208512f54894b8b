// The repository event table (written by several sources, read since a time without the reader's
// own events, purged, never reported written when it was not) and object locks (taken, taken
// over, released, announced); both from two processes at once.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "curuser.h"
#include "meta_fixture.h"
#include "rda_factory.h"
#include "recording_event_manager.h"
#include "vqsqlite.h"

namespace {

int addEvent(MetaRepository& m, const std::string& subject, int change, const std::string& source) {
    int id = -1;
    VqbString error;
    EXPECT_TRUE(m.meta->addRepositoryEvent(VqbString(subject), change, VqbString("other"), VqbString(source), &id,
                                           error))
        << error.str();
    return id;
}

// Adds count events under source; one line per add: "OK <id> <n>" or "FAIL <n> <why>".
pid_t addInChild(const std::string& db, const std::string& out, const char* source, int count) {
    return forkWithAccess(db, [&](MetadataRepositoryDataAccess* meta) {
        std::ofstream file(out);
        for (int n = 0; n < count; ++n) {
            int id = -1;
            VqbString why;
            std::string subject = std::string(source) + "-" + std::to_string(n);
            if (meta->addRepositoryEvent(VqbString(subject), 0, VqbString(""), VqbString(source), &id, why))
                file << "OK " << id << " " << n << "\n";
            else
                file << "FAIL " << n << " " << why.str() << "\n";
            file.flush();
        }
    });
}

}  // namespace

TEST(MetaEvents, ReadersSeeOtherSourcesSinceATimeInOrder) {
    MetaRepository m;
    // Times the test controls: b3 is older than b2 and b1, which share one time.
    int a1 = addEvent(m, "rule 1", 0, "A"), b1 = addEvent(m, "rule 1", 2, "B"), b2 = addEvent(m, "task 4", 3, "B");
    int a2 = addEvent(m, "task 4", 4, "A"), b3 = addEvent(m, "job 9", 1, "B");
    for (auto [id, t] : {std::pair{a1, 100.0}, {b3, 150.0}, {b2, 200.0}, {b1, 200.0}, {a2, 300.0}})
        m.repo.exec("UPDATE REVENT SET EVT_TIME=? WHERE EVT_ID=?", {VqbDatavar(t), VqbDatavar(id)});

    VqbString error;
    auto since = [&](double t, const char* source) {
        return take(m.meta->listRepositoryEventsSince(0, t, source ? VqbString(source) : VqbString(), error));
    };
    Rows forA = since(150.0, "A");
    ASSERT_EQ(forA.size(), 3u);
    // Time order, id order within one time; the reader's own events left out.
    EXPECT_EQ(forA[0][0] + "," + forA[1][0] + "," + forA[2][0],
              std::to_string(b3) + "," + std::to_string(b1) + "," + std::to_string(b2));
    EXPECT_EQ(forA[1], (std::vector<std::string>{std::to_string(b1), "rule 1", "Modify", forA[1][3],
                                                 getCurrentUserName().str(), "other", "B"}));
    EXPECT_EQ(std::stod(forA[1][3]), 200.0);
    EXPECT_EQ(forA[2][2], "Lock");
    EXPECT_EQ(since(0.0, "B").size(), 2u);
    EXPECT_TRUE(since(300.5, "B").empty());

    // An event written without a source is nobody's own, and a reader without one reads all.
    m.repo.exec("INSERT INTO REVENT (EVT_ID, EVT_SBJT, EVT_TIME) VALUES (99, 'anonymous', 400)");
    EXPECT_EQ(since(350.0, "A").size(), 1u);
    EXPECT_EQ(since(0.0, nullptr).size(), 6u);
    EXPECT_EQ(since(0.0, "A' OR '1'='1").size(), 6u);
}

TEST(MetaEvents, PurgedByIdByTimeOrBothButNeverByNeither) {
    MetaRepository m;
    std::vector<int> ids;
    for (int i = 0; i < 6; ++i) {
        ids.push_back(addEvent(m, "e" + std::to_string(i), 0, "A"));
        m.repo.exec("UPDATE REVENT SET EVT_TIME=? WHERE EVT_ID=?", {VqbDatavar(10.0 * i), VqbDatavar(ids[i])});
    }
    VqbString error;
    EXPECT_FALSE(m.meta->deleteRepositoryEvents(0, 0.0, error));
    EXPECT_EQ(error.str(), "Remove repository events cannot remove events when neither date or id are specified.");
    EXPECT_EQ(m.count("REVENT"), 6);

    // Only a time: every older event whatever its id (e0 at time 0 too).
    ASSERT_TRUE(m.meta->deleteRepositoryEvents(0, 15.0, error));
    EXPECT_EQ(m.count("REVENT"), 4);
    // Both: below the id and before the time.
    ASSERT_TRUE(m.meta->deleteRepositoryEvents(ids[5], 35.0, error));
    EXPECT_EQ(m.repo.rows("SELECT EVT_SBJT FROM REVENT ORDER BY EVT_ID"), (Rows{{"e4"}, {"e5"}}));
    // Only an id.
    ASSERT_TRUE(m.meta->deleteRepositoryEvents(ids[5], 0.0, error));
    EXPECT_EQ(m.repo.rows("SELECT EVT_SBJT FROM REVENT"), (Rows{{"e5"}}));
}

TEST(MetaEvents, AnEventWhoseCommitIsRefusedIsReportedAsFailedAndIsNotThere) {
    MetaRepository m;
    int kept = addEvent(m, "kept", 0, "A");
    VqbString error;
    ReposHeld<ReposDataAccess> connection;
    {
        BusyTimeout shortWait(50);  // taken when the connection opens
        connection.reset(createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, m.repo.file(), "", nullptr, error));
    }
    ReposHeld<MetadataRepositoryDataAccess> other(newMetadataAccess(connection.get()));
    ASSERT_NE(connection, nullptr);
    RawDb reader(m.repo.file());
    // An open read keeps the writer from committing.
    ASSERT_TRUE(reader.exec("BEGIN; SELECT COUNT(*) FROM REVENT;"));
    int id = -1;
    EXPECT_FALSE(other->addRepositoryEvent(VqbString("lost?"), 0, VqbString(""), VqbString("A"), &id, error));
    EXPECT_EQ(id, -1);
    EXPECT_EQ(error.str().rfind("create repository event error: ", 0), 0u) << error.str();
    EXPECT_FALSE(other->deleteRepositoryEvents(0, 1e9, error));
    EXPECT_EQ(error.str().rfind("Error removing repository events: ", 0), 0u) << error.str();
    ASSERT_TRUE(reader.exec("COMMIT;"));

    EXPECT_FALSE(connection->isInTransaction());
    EXPECT_EQ(m.repo.rows("SELECT EVT_ID, EVT_SBJT FROM REVENT"), (Rows{{std::to_string(kept), "kept"}}));
    ASSERT_TRUE(other->addRepositoryEvent(VqbString("written"), 0, VqbString(""), VqbString("A"), &id, error));
    EXPECT_EQ(m.repo.rows("SELECT EVT_SBJT FROM REVENT WHERE EVT_ID=?", {VqbDatavar(id)}), (Rows{{"written"}}));
}

TEST(MetaEvents, TwoProcessesAddingAtOnceLoseNothingTheyReportWritten) {
    MetaRepository m;
    constexpr int kEach = 150;
    TempDir dir;
    std::string outA = dir.file("a.txt"), outB = dir.file("b.txt");
    pid_t a = addInChild(m.repo.file(), outA, "A", kEach);
    pid_t b = addInChild(m.repo.file(), outB, "B", kEach);
    ASSERT_TRUE(childSucceeded(a));
    ASSERT_TRUE(childSucceeded(b));

    std::map<std::string, std::string> table;  // id -> subject
    for (const auto& row : m.repo.rows("SELECT EVT_ID, EVT_SBJT FROM REVENT")) table[row[0]] = row[1];
    std::set<std::string> reported;
    for (const auto& [out, source] : {std::pair{outA, "A"}, std::pair{outB, "B"}}) {
        std::vector<std::string> lines = linesOf(out);
        EXPECT_EQ(lines.size(), static_cast<size_t>(kEach));
        for (const std::string& line : lines) {
            std::istringstream in(line);
            std::string state, id, n;
            in >> state >> id >> n;
            if (state != "OK") continue;
            EXPECT_TRUE(reported.insert(id).second) << "id " << id << " reported twice";
            ASSERT_EQ(table.count(id), 1u) << "event " << id << " reported written but missing";
            EXPECT_EQ(table[id], std::string(source) + "-" + n);
        }
    }
    // Nothing in the table that no one reported; with the usual wait for locks, everything lands.
    EXPECT_EQ(table.size(), reported.size());
    EXPECT_EQ(reported.size(), 2u * kEach);
}

TEST(MetaEvents, AProcessThatCannotGetTheFileReportsFailure) {
    MetaRepository m;
    TempDir dir;
    std::string out = dir.file("child.txt");
    RawDb writer(m.repo.file());
    ASSERT_TRUE(writer.exec("BEGIN IMMEDIATE; UPDATE INFO SET I_MVER = I_MVER;"));
    pid_t child;
    {
        BusyTimeout shortWait(50);
        child = addInChild(m.repo.file(), out, "C", 3);
    }
    bool ended = childSucceeded(child);
    ASSERT_TRUE(writer.exec("ROLLBACK;"));
    ASSERT_TRUE(ended);
    std::vector<std::string> lines = linesOf(out);
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("FAIL", 0), 0u) << line;
    EXPECT_NE(lines[0].find("create repository event error: "), std::string::npos) << lines[0];
    EXPECT_EQ(m.count("REVENT"), 0);
}

TEST(MetaLocks, TakenTakenOverAndReleasedWithTheirAnnouncements) {
    MetaRepository m;
    ScopedRecordingEventManager events;
    const VqbString rule("Rule");
    EXPECT_FALSE(m.meta->getObjectLockId(5, rule));
    ASSERT_TRUE(m.meta->lockObject(5, rule, VqbString("alice"), VqbString("uuid-5")));
    ASSERT_TRUE(m.meta->lockObject(6, VqbString("Task"), VqbString("alice"), VqbString("uuid-6")));
    EXPECT_TRUE(m.meta->getObjectLockId(5, rule));
    EXPECT_FALSE(m.meta->getObjectLockId(5, VqbString("Task")));
    // The first lock of an empty table is 1.
    EXPECT_EQ(m.repo.rows("SELECT LCK_ID, OBJ_ID, OBJ_TYPE, OBJ_UUID, LCK_USR FROM OBJLCK ORDER BY LCK_ID"),
              (Rows{{"1", "5", "Rule", "uuid-5", "alice"}, {"2", "6", "Task", "uuid-6", "alice"}}));
    VqbString uuid, user;
    VqbDatavar date;
    ASSERT_TRUE(m.meta->getObjectLock(5, rule, uuid, user, date));
    EXPECT_EQ(uuid.str() + "/" + user.str(), "uuid-5/alice");

    // Another user takes the lock over: still one row, the new holder.
    ASSERT_TRUE(m.meta->lockObject(5, rule, VqbString("bob"), VqbString("uuid-5")));
    EXPECT_EQ(m.repo.rows("SELECT LCK_ID, LCK_USR FROM OBJLCK WHERE OBJ_ID=5"), (Rows{{"1", "bob"}}));

    ASSERT_TRUE(m.meta->unlockObject(5, rule));
    EXPECT_FALSE(m.meta->unlockObject(5, rule));
    EXPECT_FALSE(m.meta->getObjectLock(5, rule, uuid, user, date));
    std::string r = m.repo.uuid();
    EXPECT_EQ(events.lines(), (std::vector<std::string>{
                                  "postEvent(" + r + ", 3, Rule, 5, uuid-5)",
                                  "postEvent(" + r + ", 3, Task, 6, uuid-6)",
                                  "postEvent(" + r + ", 3, Rule, 5, uuid-5)",
                                  "postEvent(" + r + ", 4, Rule, 5, )",
                              }));

    // A failed lock or unlock announces nothing.
    events.clear();
    ASSERT_TRUE(m.repo.exec("DROP TABLE OBJLCK"));
    EXPECT_FALSE(m.meta->lockObject(5, rule, VqbString("alice"), VqbString("u")));
    EXPECT_FALSE(m.meta->unlockObject(6, VqbString("Task")));
    EXPECT_EQ(events.count(), 0u);
}

TEST(MetaLocks, TwoProcessesLockingAtOnceNeverShareALockOrAnObject) {
    MetaRepository m;
    constexpr int kEach = 120;
    TempDir dir;
    // A locks 1..120, B locks 61..180: half the objects are wanted by both. One line per object.
    auto lockInChild = [&](const std::string& out, int first, const char* user) {
        return forkWithAccess(m.repo.file(), [&](MetadataRepositoryDataAccess* meta) {
            std::ofstream file(out);
            for (int id = first; id < first + kEach; ++id)
                file << (meta->lockObject(id, VqbString("Rule"), VqbString(user), VqbString("u")) ? "OK " : "FAIL ")
                     << id << "\n";
        });
    };
    pid_t a = lockInChild(dir.file("a.txt"), 1, "alice");
    pid_t b = lockInChild(dir.file("b.txt"), kEach / 2 + 1, "bob");
    ASSERT_TRUE(childSucceeded(a));
    ASSERT_TRUE(childSucceeded(b));

    std::vector<std::string> lines = linesOf(dir.file("a.txt")), more = linesOf(dir.file("b.txt"));
    lines.insert(lines.end(), more.begin(), more.end());
    EXPECT_EQ(lines.size(), 2u * kEach);
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("OK ", 0), 0u) << line;
    // One row per object, each with its own id.
    EXPECT_EQ(m.repo.rows("SELECT COUNT(*), COUNT(DISTINCT LCK_ID), COUNT(DISTINCT OBJ_ID) FROM OBJLCK"),
              (Rows{{"180", "180", "180"}}));
}
