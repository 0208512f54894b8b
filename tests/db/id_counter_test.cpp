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

namespace {

class IdCounters : public ::testing::Test {
protected:
    void SetUp() override {
        conn.reset(newRepositoryWith(path, {"UCURID"}));
        ASSERT_TRUE(conn);
    }
    std::string counter(const std::string& key) {
        return RawDb(path).scalar("SELECT group_concat(NI_VAL) FROM UCURID WHERE NI_KEY='" + key + "'");
    }
    void setCounter(const std::string& key, const std::string& value) {
        ASSERT_TRUE(RawDb(path).exec("INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('" + key + "', " + value + ")"));
    }

    TempDir dir;
    std::string path = dir.file("r.db");
    Conn conn;
};

// Reserves `total` ids in blocks of `block` on its own connection and writes each id on a line.
void reserveInChild(const std::string& db, const std::string& out, int total, int block) {
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, db, "", nullptr, error);
    std::ofstream file(out);
    for (int reserved = 0, count; c && reserved < total; reserved += count) {
        count = std::min(block, total - reserved);
        VqbDatavar first;
        if (!c->getNextIds("JOB", count, &first, &error) || first.isNull()) {
            file << "FAILED " << error.str() << "\n";
            file.close();
            _exit(3);
        }
        for (int i = 0; i < count; ++i) file << first.asInt64() + i << "\n";
    }
    file.close();
    _exit(c ? 0 : 2);
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
    setCounter("JOB", "100");
    ReposHeld<InterleavedWriter> writer(new InterleavedWriter(path));
    ASSERT_TRUE(writer->init(path, "", false, nullptr));
    VqbDatavar first;
    ASSERT_TRUE(writer->getNextIds("JOB", 10, &first, nullptr));
    EXPECT_EQ(writer->interleaved, 1);
    // The other writer owns 101..103; this block starts after them.
    EXPECT_EQ(first.asInt64(), 104);
    EXPECT_EQ(counter("JOB"), "113");
}

TEST_F(IdCounters, FirstIdsBlocksAndTheLastId) {
    setCounter("FLD", "41");
    setCounter("X", "4294967290");
    // The counter never wraps past 0xFFFFFFFF, but the last ids before it are handed out.
    LogCapture log;
    VqbDatavar id;
    VqbString error;
    EXPECT_FALSE(conn->getNextIds("X", 10, &id, &error));
    EXPECT_TRUE(id.isNull());
    EXPECT_EQ(error, reposMessage(1902, "X"));
    const struct {
        const char* key;
        int count;
        int64_t first;
        const char* counterAfter;
    } cases[] = {{"RULE", 1, 1, "1"}, {"RULE", 1, 2, "2"}, {"FLD", 10, 42, "51"},
                 {"FLD", 0, 52, "52"},  // below 1: one id
                 {"X", 4, 4294967291LL, "4294967294"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(conn->getNextIds(c.key, c.count, &id, &error)) << c.key;
        EXPECT_EQ(id.getType(), VQB_TYPE_INT);
        EXPECT_EQ(id.asInt64(), c.first) << c.key;
        EXPECT_EQ(counter(c.key), c.counterAfter) << c.key;
    }
}

TEST_F(IdCounters, BadKeysBrokenCountersAndAMissingTableFailWithAText) {
    LogCapture log;
    VqbDatavar id(5);
    VqbString error;
    EXPECT_FALSE(conn->getNextIds("", 1, &id, &error));
    EXPECT_TRUE(id.isNull());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(conn->getNextIds(VqbString(), 1, &id, &error));
    setCounter("NUL", "NULL");
    EXPECT_FALSE(conn->getNextIds("NUL", 1, &id, &error));
    EXPECT_EQ(error, reposMessage(1161));
    // A hostile key is a value like any other.
    ASSERT_TRUE(conn->getNextId("x'); DROP TABLE UCURID; --", &id));
    EXPECT_EQ(id.asInt64(), 1);
    ASSERT_TRUE(conn->getNextId("RULE", &id));

    Conn bare(newRepository(dir.file("bare.db")));
    EXPECT_FALSE(bare->getNextIds("RULE", 1, &id, &error));
    EXPECT_NE(error.str().find("UCURID"), std::string::npos) << error.str();
    EXPECT_TRUE(log.contains("UCURID", 5));
}

// A writer that holds the file longer than the busy timeout delays a reservation made outside
// any transaction but does not make it fail; inside a transaction the reservation gives up, since
// waiting there could deadlock.
TEST_F(IdCounters, BusyFileDelaysButDoesNotFailAReservation) {
    Conn shortWait(openImpatient(path, 10));
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

// Two processes draw from one file at the same time, with different block sizes: every id is
// handed out exactly once and no reservation fails.
TEST_F(IdCounters, TwoProcessesGetDisjointRanges) {
    constexpr int kEach = 10000;
    conn.reset();
    std::string outs[] = {dir.file("a.txt"), dir.file("b.txt")};
    const int blocks[] = {10, 7};
    pid_t pids[2];
    for (int i = 0; i < 2; ++i) {
        pids[i] = fork();
        ASSERT_GE(pids[i], 0);
        if (pids[i] == 0) reserveInChild(path, outs[i], kEach, blocks[i]);
    }
    std::set<long long> seen;
    size_t lines = 0;
    for (int i = 0; i < 2; ++i) {
        int status = 0;
        waitpid(pids[i], &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(outs[i]).substr(0, 300);
        std::ifstream in(outs[i]);
        for (long long id; in >> id; ++lines) EXPECT_TRUE(seen.insert(id).second) << "id " << id << " twice";
    }
    EXPECT_EQ(lines, 2u * kEach);
    EXPECT_EQ(seen.size(), 2u * kEach);
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(*seen.rbegin(), 2 * kEach);
    // Both writers may have inserted the key's first row; the counter is the highest.
    EXPECT_EQ(RawDb(path).scalar("SELECT MAX(NI_VAL) FROM UCURID WHERE NI_KEY='JOB'"), std::to_string(2 * kEach));
}
