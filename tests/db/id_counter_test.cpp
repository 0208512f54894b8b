// Id counters in UCURID: first ids, blocks, limits, bad keys, and writers in two processes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <thread>

#include "db_fixture.h"
#include "rda_sqlite.h"
#include "vqbmessage.h"
#include "vqsqlite.h"

namespace {

class IdCounters : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("r.db");
        conn.p = newRepositoryWith(path, {"UCURID"});
        ASSERT_TRUE(conn);
    }
    std::string counter(const std::string& key) {
        RawDb raw(path);
        return raw.scalar("SELECT group_concat(NI_VAL) FROM UCURID WHERE NI_KEY='" + key + "'");
    }

    TempDir dir;
    std::string path;
    Conn conn;
};

// Reserves `total` ids in blocks of `block` on its own connection and writes each id on a line.
void reserveInChild(const std::string& db, const std::string& out, int total, int block) {
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, db, "", nullptr, error);
    if (!c) _exit(2);
    std::ofstream file(out);
    for (int reserved = 0; reserved < total;) {
        int count = std::min(block, total - reserved);
        VqbDatavar first;
        VqbString why;
        if (!c->getNextIds("JOB", count, &first, &why) || first.isNull()) {
            file << "FAILED " << why.str() << "\n";
            file.close();
            _exit(3);
        }
        for (int i = 0; i < count; ++i) file << first.asInt64() + i << "\n";
        reserved += count;
    }
    file.close();
    c->release();
    _exit(0);
}

// Another writer that read the same counter value takes a smaller block just before this
// connection's update lands.
class InterleavedWriter : public RDA_Sqlite {
public:
    explicit InterleavedWriter(std::string path) : path_(std::move(path)) {}
    int interleaved = 0;

protected:
    bool paramExec_INT(const VqbString& sql, int* rows, const RDA_Params& params) override {
        if (interleaved == 0 && sql.str().rfind("UPDATE", 0) == 0) {
            ++interleaved;
            RawDb other(path_);
            EXPECT_TRUE(other.exec("UPDATE UCURID SET NI_VAL = NI_VAL + 3 WHERE NI_KEY = 'JOB'"));
        }
        return RDA_Sqlite::paramExec_INT(sql, rows, params);
    }

private:
    std::string path_;
};

}  // namespace

TEST_F(IdCounters, AWriterThatLostTheRaceReadsAgain) {
    {
        RawDb raw(path);
        ASSERT_TRUE(raw.exec("INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('JOB', 100)"));
    }
    auto* writer = new InterleavedWriter(path);
    Released<ReposDataAccess> guard(writer);
    ASSERT_TRUE(writer->init(path, "", false, nullptr));
    VqbDatavar first;
    ASSERT_TRUE(writer->getNextIds("JOB", 10, &first, nullptr));
    EXPECT_EQ(writer->interleaved, 1);
    // The other writer owns 101..103; this block starts after them.
    EXPECT_EQ(first.asInt64(), 104);
    EXPECT_EQ(counter("JOB"), "113");
}

TEST_F(IdCounters, FirstIdOfANewKeyIsOne) {
    VqbDatavar id;
    ASSERT_TRUE(conn->getNextId("RULE", &id));
    EXPECT_EQ(id.getType(), VQB_TYPE_INT);
    EXPECT_EQ(id.asInt64(), 1);
    EXPECT_EQ(counter("RULE"), "1");
    ASSERT_TRUE(conn->getNextId("RULE", &id));
    EXPECT_EQ(id.asInt64(), 2);
    ASSERT_TRUE(conn->getNextId("TASK", &id));
    EXPECT_EQ(id.asInt64(), 1);
}

TEST_F(IdCounters, BlockStartsAfterTheCounterAndMovesItByTheCount) {
    {
        RawDb raw(path);
        ASSERT_TRUE(raw.exec("INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('FLD', 41)"));
    }
    VqbDatavar first;
    VqbString error;
    ASSERT_TRUE(conn->getNextIds("FLD", 10, &first, &error));
    EXPECT_EQ(first.asInt64(), 42);
    EXPECT_EQ(counter("FLD"), "51");
    ASSERT_TRUE(conn->getNextIds("FLD", 0, &first, &error));  // below 1: one id
    EXPECT_EQ(first.asInt64(), 52);
    EXPECT_EQ(counter("FLD"), "52");
}

TEST_F(IdCounters, CounterNeverWrapsPastTheLastId) {
    {
        RawDb raw(path);
        ASSERT_TRUE(raw.exec("INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('X', 4294967290)"));
    }
    VqbDatavar first(99);
    VqbString error;
    LogCapture log;
    EXPECT_FALSE(conn->getNextIds("X", 10, &first, &error));
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(error, reposMessage(1902, "X"));
    EXPECT_EQ(counter("X"), "4294967290");
    // The last ids before 0xFFFFFFFF are still handed out.
    ASSERT_TRUE(conn->getNextIds("X", 4, &first, &error));
    EXPECT_EQ(first.asInt64(), 4294967291LL);
    EXPECT_EQ(counter("X"), "4294967294");
}

TEST_F(IdCounters, BadKeysAndBrokenCountersFailWithAText) {
    LogCapture log;
    VqbDatavar id(5);
    VqbString error;
    EXPECT_FALSE(conn->getNextIds("", 1, &id, &error));
    EXPECT_TRUE(id.isNull());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(conn->getNextIds(VqbString(), 1, &id, &error));
    {
        RawDb raw(path);
        ASSERT_TRUE(raw.exec("INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('NUL', NULL)"));
    }
    EXPECT_FALSE(conn->getNextIds("NUL", 1, &id, &error));
    EXPECT_EQ(error, reposMessage(1161));
    // A hostile key is a value like any other.
    ASSERT_TRUE(conn->getNextId("x'); DROP TABLE UCURID; --", &id));
    EXPECT_EQ(id.asInt64(), 1);
    ASSERT_TRUE(conn->getNextId("RULE", &id));
}

// A writer that holds the file longer than the busy timeout delays a reservation made outside
// any transaction but does not make it fail; inside a transaction the reservation gives up, since
// waiting there could deadlock.
TEST_F(IdCounters, BusyFileDelaysButDoesNotFailAReservation) {
    int saved = sqliteBusyTimeout();
    sqliteSetBusyTimeout(10);
    Conn shortWait(openRepository(path));
    sqliteSetBusyTimeout(saved);
    ASSERT_TRUE(shortWait);
    RawDb other(path);
    ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        other.exec("COMMIT");
    });
    LogCapture log;
    VqbDatavar id;
    EXPECT_TRUE(shortWait->getNextId("JOB", &id)) << shortWait->getLastErrorMessage().str();
    release.join();
    EXPECT_EQ(id.asInt64(), 1);

    ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
    ASSERT_TRUE(shortWait->beginTransaction(false));
    EXPECT_FALSE(shortWait->getNextId("JOB", &id));
    EXPECT_TRUE(id.isNull());
    EXPECT_TRUE(shortWait->endTransaction(false));
    EXPECT_FALSE(shortWait->isInTransaction());
    ASSERT_TRUE(other.exec("COMMIT"));
    EXPECT_EQ(counter("JOB"), "1");
}

TEST(IdCountersMissingTable, FailsWithTheDatabaseText) {
    TempDir dir;
    Conn conn(newRepository(dir.file("r.db")));
    ASSERT_TRUE(conn);
    LogCapture log;
    VqbDatavar id;
    VqbString error;
    EXPECT_FALSE(conn->getNextIds("RULE", 1, &id, &error));
    EXPECT_NE(error.str().find("UCURID"), std::string::npos) << error.str();
    EXPECT_TRUE(log.contains("UCURID", 5));
}

// Two processes draw from one file at the same time, with different block sizes: every id is
// handed out exactly once and no reservation fails.
TEST_F(IdCounters, TwoProcessesGetDisjointRanges) {
    constexpr int kEach = 10000;
    conn.p->release();
    conn.p = nullptr;
    std::string outA = dir.file("a.txt"), outB = dir.file("b.txt");
    pid_t a = fork();
    ASSERT_GE(a, 0);
    if (a == 0) reserveInChild(path, outA, kEach, 10);
    pid_t b = fork();
    ASSERT_GE(b, 0);
    if (b == 0) reserveInChild(path, outB, kEach, 7);
    int statusA = 0, statusB = 0;
    waitpid(a, &statusA, 0);
    waitpid(b, &statusB, 0);
    ASSERT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0) << readFile(outA).substr(0, 300);
    ASSERT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0) << readFile(outB).substr(0, 300);

    std::set<long long> seen;
    size_t lines = 0;
    for (const std::string& out : {outA, outB}) {
        std::ifstream in(out);
        long long id;
        while (in >> id) {
            ++lines;
            EXPECT_TRUE(seen.insert(id).second) << "id " << id << " handed out twice";
        }
    }
    EXPECT_EQ(lines, 2u * kEach);
    EXPECT_EQ(seen.size(), 2u * kEach);
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(*seen.rbegin(), 2 * kEach);
    // Both writers may have inserted the key's first row; the counter is the highest.
    RawDb raw(path);
    EXPECT_EQ(raw.scalar("SELECT MAX(NI_VAL) FROM UCURID WHERE NI_KEY='JOB'"), std::to_string(2 * kEach));
}
