// Object locks: taken, taken over, released, announced; and two processes locking at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "meta_fixture.h"
#include "rda_factory.h"
#include "recording_event_manager.h"

namespace {

// Locks objects first..first+count-1 of type Rule for user, from a connection of its own, and
// writes "OK <id>" or "FAIL <id>" per object.
[[noreturn]] void lockInChild(const std::string& db, const std::string& out, int first, int count,
                              const char* user) {
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, db, "", nullptr, error);
    if (!c) _exit(2);
    MetadataRepositoryDataAccess* meta = newMetadataAccess(c);
    std::ofstream file(out);
    for (int id = first; id < first + count; ++id)
        file << (meta->lockObject(id, VqbString("Rule"), VqbString(user), VqbString("u")) ? "OK " : "FAIL ") << id
             << "\n";
    file.close();
    meta->release();
    c->release();
    _exit(0);
}

std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

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
    EXPECT_EQ(uuid.str(), "uuid-5");
    EXPECT_EQ(user.str(), "alice");
    EXPECT_EQ(date.getType(), VQB_TYPE_REAL);
    EXPECT_GT(date.asDouble(), 40000.0);

    // Another user takes the lock over: still one row, the new holder.
    ASSERT_TRUE(m.meta->lockObject(5, rule, VqbString("bob"), VqbString("uuid-5")));
    ASSERT_TRUE(m.meta->getObjectLock(5, rule, uuid, user, date));
    EXPECT_EQ(user.str(), "bob");
    EXPECT_EQ(m.repo.rows("SELECT LCK_ID FROM OBJLCK WHERE OBJ_ID=5"), (Rows{{"1"}}));

    ASSERT_TRUE(m.meta->unlockObject(5, rule));
    EXPECT_FALSE(m.meta->unlockObject(5, rule));
    EXPECT_FALSE(m.meta->getObjectLock(5, rule, uuid, user, date));
    EXPECT_EQ(user.str(), "bob");

    std::string r = m.repo.uuid();
    EXPECT_EQ(events.lines(), (std::vector<std::string>{
                                  "postEvent(" + r + ", 3, Rule, 5, uuid-5)",
                                  "postEvent(" + r + ", 3, Task, 6, uuid-6)",
                                  "postEvent(" + r + ", 3, Rule, 5, uuid-5)",
                                  "postEvent(" + r + ", 4, Rule, 5, )",
                              }));
}

TEST(MetaLocks, AFailedLockOrUnlockAnnouncesNothing) {
    MetaRepository m;
    ScopedRecordingEventManager events;
    ASSERT_TRUE(m.repo.exec("DROP TABLE OBJLCK"));
    LogCapture log;
    EXPECT_FALSE(m.meta->lockObject(5, VqbString("Rule"), VqbString("alice"), VqbString("u")));
    EXPECT_FALSE(m.meta->unlockObject(5, VqbString("Rule")));
    EXPECT_EQ(events.count(), 0u);
    EXPECT_TRUE(log.contains(m.meta->getErrorMessage().str(), 5));
}

TEST(MetaLocks, TwoProcessesLockingAtOnceNeverShareALockOrAnObject) {
    MetaRepository m;
    constexpr int kEach = 120;
    TempDir dir;
    std::string outA = dir.file("a.txt"), outB = dir.file("b.txt"), db = m.repo.file();
    // A locks 1..120, B locks 61..180: half the objects are wanted by both.
    pid_t a = fork();
    ASSERT_GE(a, 0);
    if (a == 0) lockInChild(db, outA, 1, kEach, "alice");
    pid_t b = fork();
    ASSERT_GE(b, 0);
    if (b == 0) lockInChild(db, outB, kEach / 2 + 1, kEach, "bob");
    int statusA = 0, statusB = 0;
    waitpid(a, &statusA, 0);
    waitpid(b, &statusB, 0);
    ASSERT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0);
    ASSERT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0);

    std::vector<std::string> lines = linesOf(outA), more = linesOf(outB);
    lines.insert(lines.end(), more.begin(), more.end());
    EXPECT_EQ(lines.size(), 2u * kEach);
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("OK ", 0), 0u) << line;

    // One row per object, each with its own id.
    EXPECT_EQ(m.repo.rows("SELECT COUNT(*), COUNT(DISTINCT LCK_ID), COUNT(DISTINCT OBJ_ID) FROM OBJLCK"),
              (Rows{{"180", "180", "180"}}));
}
