// Exclusive transactions through the connector: the writers of one repository take turns, a wait
// that runs out reports busy and leaves no level open, and writers in several processes never
// hand out one id twice.
#include <unistd.h>

#include <fstream>

#include "dac_rda_fixture.h"
#include "meta_rdaimpl.h"
#include "repos_held.h"
#include "vqsqlite.h"

namespace {

}  // namespace

class Exclusive : public RdaDacTest {};
RDA_DRIVERS(Exclusive);

TEST_P(Exclusive, WritersOfOneRepositoryTakeTurns) {
    BusyTimeout shortWait(200);  // SQLite files take it when they open
    Conn holder(open()), waiter(open());
    ASSERT_TRUE(holder && waiter) << lastError;

    // COMMIT and ROLLBACK both hand the repository on.
    for (bool commit : {true, false}) {
        ASSERT_TRUE(holder->beginTransaction(true)) << holder->getLastErrorMessage().str();
        // An inner level of the holder ends without letting go.
        ASSERT_TRUE(holder->beginTransaction(true));
        ASSERT_TRUE(holder->endTransaction(true));
        bool busy = false;
        EXPECT_FALSE(waiter->beginTransaction(true, &busy));
        EXPECT_TRUE(busy);
        EXPECT_FALSE(waiter->isInTransaction());
        EXPECT_FALSE(waiter->getLastErrorMessage().isEmpty());
        // No level was left behind: the next end has nothing to end.
        EXPECT_FALSE(waiter->endTransaction(true));

        ASSERT_TRUE(holder->endTransaction(commit));
        EXPECT_TRUE(waiter->beginTransaction(true, &busy)) << waiter->getLastErrorMessage().str();
        EXPECT_FALSE(busy);
        EXPECT_TRUE(waiter->endTransaction(true));
    }

    if (!isPg()) return;  // a SQLite file is one lock for everything in it
    ASSERT_TRUE(holder->beginTransaction(true));
    // Another repository of the database, and readers, go on beside the holder.
    const std::string other = prefix_ + "o";
    Conn neighbour(open("", &other));
    ASSERT_TRUE(neighbour) << lastError;
    EXPECT_TRUE(neighbour->beginTransaction(true)) << neighbour->getLastErrorMessage().str();
    EXPECT_TRUE(neighbour->endTransaction(true));
    ASSERT_TRUE(waiter->beginTransaction(false));
    // Exclusive inside a plain level asks for nothing more.
    EXPECT_TRUE(waiter->beginTransaction(true));
    EXPECT_TRUE(waiter->endTransaction(true));
    EXPECT_TRUE(waiter->endTransaction(true));
    EXPECT_TRUE(holder->endTransaction(true));
}

// Each object lock reads the largest lock id and inserts the next one in an exclusive transaction:
// processes locking at once must neither share an id nor lock one object twice.
TEST_P(Exclusive, ObjectLocksFromSeveralProcessesStayUnique) {
    createTables(conn.get(), {"KEYVAL", "OBJLCK"});
    constexpr int kProcesses = 3, kEach = 60;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const std::string out = dir_.file("locks" + std::to_string(p));
        pid_t pid = fork();
        if (pid != 0) {
            children.push_back(pid);
            continue;
        }
        // Neighbouring processes want half of each other's objects.
        ReposDataAccess* c = open();
        if (!c) _exit(2);
        ReposHeld<MetadataRDAImpl> meta(new MetadataRDAImpl(c));
        std::ofstream file(out);
        for (int id = p * kEach / 2 + 1; id <= p * kEach / 2 + kEach; ++id)
            file << (meta->lockObject(id, "Rule", "user" + std::to_string(p), "u") ? "OK " : "FAIL ") << id << " "
                 << meta->getErrorMessage().str() << std::endl;
        _exit(0);
    }
    for (pid_t pid : children) EXPECT_TRUE(childSucceeded(pid));
    size_t answered = 0;
    for (int p = 0; p < kProcesses; ++p)
        for (const std::string& line : linesOf(dir_.file("locks" + std::to_string(p)))) {
            ++answered;
            EXPECT_EQ(line.rfind("OK ", 0), 0u) << line;
        }
    EXPECT_EQ(answered, static_cast<size_t>(kProcesses * kEach));
    const std::string objects = std::to_string((kProcesses + 1) * kEach / 2);
    EXPECT_EQ(rawRows("SELECT COUNT(*), COUNT(DISTINCT LCK_ID), COUNT(DISTINCT OBJ_ID) FROM " + q("OBJLCK")),
              (Rows{{objects, objects, objects}}));
}
