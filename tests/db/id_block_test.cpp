// Ids drawn inside one transaction come from blocks reserved ahead. Whatever ends the transaction,
// or moves the counter behind the frame, no id a block held is handed out once another connection
// may have taken it; and a transaction leaves fewer ids unused than it used.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>
#include <vector>

#include "repos_fixture.h"

namespace {

const char* const kKey = "RULE";

class IdBlocks : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        if (!repo.connection()) GTEST_SKIP() << "no repository in this place";
        a = repo.connection();
        insertRule = VqbString(("INSERT INTO " + repo.table("RULE") + " (RU_ID, RU_DESC) VALUES (?, ?)").c_str());
    }
    bool onFile() const { return GetParam() != Place::Postgres; }

    // The first of count ids, or -1.
    static int64_t draw(ReposDataAccess* c, int count = -1) {
        VqbDatavar id;
        if (!c->getNextIds(VqbString(kKey), count, &id, nullptr) || id.isNull()) return -1;
        return id.asInt64();
    }
    // A rule row with the id, written on the connection.
    bool keep(ReposDataAccess* c, int64_t id) const {
        VqbDatavar value(static_cast<long long>(id)), text("id block");
        return c->paramExec(insertRule, nullptr, 2, &value, &text);
    }
    // One value read from outside the library.
    std::string raw(const std::string& sql) {
        if (onFile()) return RawDb(repo.file()).scalar(sql);
        DacHeld reader(dacOpen(pgConnection()));
        return reader ? dacScalar(reader.get(), sql) : std::string("<no reader>");
    }
    int64_t counter() {
        return std::atoll(
            raw("SELECT MAX(NI_VAL) FROM " + repo.table("UCURID") + " WHERE NI_KEY='" + kKey + "'").c_str());
    }
    // Committed rules whose id some other committed rule has too.
    long committedTwice() {
        return std::atol(raw("SELECT COUNT(*) - COUNT(DISTINCT RU_ID) FROM " + repo.table("RULE")).c_str());
    }
    int64_t highestCommitted() { return std::atoll(raw("SELECT MAX(RU_ID) FROM " + repo.table("RULE")).c_str()); }
    // Draws of 8 ids and of 1, each kept: the second reserves ahead. The last id handed out.
    int64_t drawAndKeep(std::initializer_list<int> counts) {
        int64_t last = -1;
        for (int count : counts) {
            const int64_t first = draw(a, count);
            EXPECT_GT(first, 0) << a->getLastErrorMessage().str();
            for (int64_t id = first; first > 0 && id < first + count; ++id) EXPECT_TRUE(keep(a, id));
            last = first + count - 1;
        }
        return last;
    }
    // The committed rules share no id, the counter stands at or above all of them, and another
    // connection's ids go on above them.
    void expectNoIdCommittedTwice() {
        EXPECT_EQ(committedTwice(), 0);
        EXPECT_GE(counter(), highestCommitted());
        committedByAnother(3);
        EXPECT_EQ(committedTwice(), 0);
    }
    // Another connection draws ids one by one in a transaction of its own, keeps them and commits.
    std::set<int64_t> committedByAnother(int n) {
        std::set<int64_t> ids;
        ReposHeld<ReposDataAccess> b(repo.openAnother());
        if (!b || !b->beginTransaction(false)) return ids;
        for (int i = 0; i < n; ++i) {
            const int64_t id = draw(b.get());
            EXPECT_TRUE(id > 0 && keep(b.get(), id)) << b->getLastErrorMessage().str();
            ids.insert(id);
        }
        EXPECT_TRUE(b->endTransaction(true)) << b->getLastErrorMessage().str();
        return ids;
    }

    TestRepository repo{GetParam()};
    ReposDataAccess* a = nullptr;
    VqbString insertRule;
};

// How the transaction that reserved a block ends.
struct Ending {
    const char* what;
    const char* statement;  // run through the connection; null: the frame rolls back
    bool asStatementObject;
    bool fileOnly;
};

const Ending kEndings[] = {
    {"the frame rolls back", nullptr, false, false},
    {"a ROLLBACK sent through paramExec", "ROLLBACK", false, false},
    {"a rollback sent through a statement object, after a comment", "/* host */ rollback", true, false},
    // SQLite rolls the whole transaction back itself when a trigger raises ROLLBACK.
    {"the database rolls back by itself", "INSERT INTO IDTRAP (A) VALUES (1)", false, true},
};

TEST_P(IdBlocks, NoIdOfABlockIsHandedOutAfterItsTransactionEnded) {
    if (onFile()) {
        ASSERT_TRUE(repo.exec("CREATE TABLE IDTRAP (A INTEGER)"));
        ASSERT_TRUE(repo.exec("CREATE TRIGGER IDTRAPPED BEFORE INSERT ON IDTRAP BEGIN SELECT RAISE(ROLLBACK, 'no'); END"));
    }
    for (const Ending& ending : kEndings) {
        if (ending.fileOnly && !onFile()) continue;
        SCOPED_TRACE(ending.what);
        ASSERT_TRUE(a->beginTransaction(false));
        // The second draw reserves ahead: ids the next draws would take from memory.
        for (int i = 0; i < 2; ++i) {
            const int64_t id = draw(a);
            ASSERT_GT(id, 0) << a->getLastErrorMessage().str();
            ASSERT_TRUE(keep(a, id));
        }
        const bool frameEnds = ending.statement == nullptr;
        if (frameEnds) {
            ASSERT_TRUE(a->endTransaction(false));
        } else if (ending.asStatementObject) {
            ReposHeld<ReposDataAccessStatement> s(a->createStatement(VqbString(ending.statement)));
            ASSERT_TRUE(s && s->execute()) << a->getLastErrorMessage().str();
        } else {
            LogCapture quiet;
            a->paramExec(VqbString(ending.statement), nullptr, 0);
        }
        const std::set<int64_t> theirs = committedByAnother(3);
        ASSERT_EQ(theirs.size(), 3u);

        if (frameEnds) {
            ASSERT_TRUE(a->beginTransaction(false));
        }
        LogCapture quiet;
        const int64_t mine = draw(a);
        if (mine > 0) {
            EXPECT_EQ(theirs.count(mine), 0u) << "id " << mine << " was committed by the other connection";
            EXPECT_GT(mine, *theirs.rbegin());
            EXPECT_TRUE(keep(a, mine)) << a->getLastErrorMessage().str();
        } else {
            // The server's driver refuses statements once its transaction ended behind it, until the
            // frame ends it too; a block would have answered from memory.
            EXPECT_FALSE(onFile() || frameEnds) << a->getLastErrorMessage().str();
        }
        a->endTransaction(frameEnds);
        EXPECT_EQ(committedTwice(), 0);
    }
}

// Whatever a statement of the connection does to the counter inside the transaction is honoured by
// the draw after it, through every statement path.
struct Rewrite {
    const char* what;
    const char* statement;
    enum class Path { Exec, ExecWTypes, Singleton, Statement } path;
    int64_t next;  // the id drawn after it
    bool fileOnly;
};

const Rewrite kRewrites[] = {
    {"raised", "UPDATE {UCURID} SET NI_VAL=500 WHERE NI_KEY='RULE'", Rewrite::Path::Exec, 501, false},
    {"lowered", "UPDATE {UCURID} SET NI_VAL=0 WHERE NI_KEY='RULE'", Rewrite::Path::ExecWTypes, 1, false},
    {"a larger row added", "INSERT INTO {UCURID} (NI_KEY, NI_VAL) VALUES ('RULE', 700)", Rewrite::Path::Statement,
     701, false},
    {"raised in lower case", "update ucurid set ni_val = 900 where ni_key = 'RULE'", Rewrite::Path::Exec, 901, true},
    {"raised by a query", "WITH r AS (UPDATE {UCURID} SET NI_VAL=800 WHERE NI_KEY='RULE' RETURNING 1) SELECT COUNT(*) FROM r",
     Rewrite::Path::Singleton, 801, false},
};

TEST_P(IdBlocks, ACounterMovedInsideTheTransactionIsHonoured) {
    for (const Rewrite& rewrite : kRewrites) {
        if (rewrite.fileOnly && !onFile()) continue;
        // SQLite has no UPDATE inside WITH.
        if (rewrite.path == Rewrite::Path::Singleton && onFile()) continue;
        SCOPED_TRACE(rewrite.what);
        ASSERT_TRUE(repo.exec("DELETE FROM {UCURID} WHERE NI_KEY='RULE'"));
        ASSERT_TRUE(a->beginTransaction(false));
        EXPECT_EQ(draw(a), 1);
        EXPECT_EQ(draw(a), 2);
        // Read through the connection, the counter stands at the last id handed out.
        int64_t seen = 0;
        const VqbString read(("SELECT MAX(NI_VAL) FROM " + repo.table("UCURID") + " WHERE NI_KEY='RULE'").c_str());
        EXPECT_TRUE(a->paramSingleton(read, &seen, 0));
        EXPECT_EQ(seen, 2);
        std::string sql = rewrite.statement;
        const size_t brace = sql.find("{UCURID}");
        if (brace != std::string::npos) sql.replace(brace, 8, repo.table("UCURID"));
        const VqbString text(sql.c_str());
        switch (rewrite.path) {
            case Rewrite::Path::Exec:
                EXPECT_TRUE(a->paramExec(text, nullptr, 0)) << a->getLastErrorMessage().str();
                break;
            case Rewrite::Path::ExecWTypes:
                EXPECT_TRUE(a->paramExecWTypes(text, nullptr, VqbString(""), 0)) << a->getLastErrorMessage().str();
                break;
            case Rewrite::Path::Singleton: {
                int64_t rows = 0;
                EXPECT_TRUE(a->paramSingleton(text, &rows, 0)) << a->getLastErrorMessage().str();
                break;
            }
            case Rewrite::Path::Statement: {
                ReposHeld<ReposDataAccessStatement> s(a->createStatement(text));
                EXPECT_TRUE(s && s->execute()) << a->getLastErrorMessage().str();
                break;
            }
        }
        EXPECT_EQ(draw(a), rewrite.next);
        EXPECT_TRUE(a->endTransaction(false));
    }
}

TEST_P(IdBlocks, ATransactionLeavesFewerIdsUnusedThanItUsed) {
    // A transaction of one draw moves the counter by exactly what it asked for.
    for (int count : {-1, 7}) {
        const int64_t before = counter();
        ASSERT_TRUE(a->beginTransaction(false));
        ASSERT_EQ(draw(a, count), before + 1);
        ASSERT_TRUE(a->endTransaction(true));
        EXPECT_EQ(counter(), before + (count < 1 ? 1 : count));
    }

    // Many draws of mixed sizes: each answers its ids contiguous, above every id before it. On a
    // file a statement fails half-way (a server would spoil the transaction): the ids reserved
    // ahead then are never handed out.
    const int64_t start = counter();
    ASSERT_TRUE(a->beginTransaction(false));
    std::set<int64_t> handed;
    int64_t highest = start;
    int64_t used = 0;
    for (int i = 0; i < 300; ++i) {
        if (i == 150 && onFile()) {
            LogCapture quiet;
            EXPECT_FALSE(a->paramExec(VqbString("UPDATE NO_SUCH_TABLE SET A=1"), nullptr, 0));
        }
        const int count = i % 7 == 3 ? 5 : i % 50 == 49 ? 1500 : 1;
        const int64_t first = draw(a, count);
        ASSERT_GT(first, highest) << "draw " << i;
        for (int64_t id = first; id < first + count; ++id) ASSERT_TRUE(handed.insert(id).second) << id;
        highest = first + count - 1;
        used += count;
    }
    ASSERT_TRUE(a->endTransaction(true));
    const int64_t after = counter();
    EXPECT_LE((after - start) - used, used) << "ids reserved " << after - start << ", used " << used;
    // The commit gave back what was still reserved.
    if (onFile()) {
        EXPECT_GE(after, highest);
    } else {
        EXPECT_EQ(after, highest);
    }
    // The next transaction, on any connection, starts above them.
    EXPECT_EQ(*committedByAnother(1).begin(), after + 1);

    // Near the last id, blocks shrink to what is left: every id up to it, then a clean refusal.
    ASSERT_TRUE(repo.exec("INSERT INTO {UCURID} (NI_KEY, NI_VAL) VALUES ('LAST', 4294967290)"));
    ASSERT_TRUE(a->beginTransaction(false));
    VqbDatavar id;
    for (int64_t expected = 4294967291LL; expected <= 4294967294LL; ++expected) {
        ASSERT_TRUE(a->getNextId(VqbString("LAST"), &id));
        EXPECT_EQ(id.asInt64(), expected);
    }
    LogCapture quiet;
    EXPECT_FALSE(a->getNextId(VqbString("LAST"), &id));
    EXPECT_TRUE(a->endTransaction(false));
}

// Two connections write at once, each in transactions of many draws, one in four rolled back: no
// committed id is there twice. The counter's row lock (the file's write lock) makes them take turns.
TEST_P(IdBlocks, WritersInTransactionsNeverShareACommittedId) {
    constexpr int kTransactions = 12, kDraws = 20;
    // The key's counter row exists, as in a created repository: two server transactions that each
    // add a key's first row do not see each other's.
    ASSERT_TRUE(repo.exec("INSERT INTO {UCURID} (NI_KEY, NI_VAL) VALUES ('RULE', 0)"));
    long committed = 0;
    std::vector<std::thread> writers;
    std::vector<ReposHeld<ReposDataAccess>> connections;
    for (int w = 0; w < 2; ++w) connections.emplace_back(repo.openAnother());
    for (auto& connection : connections) ASSERT_TRUE(connection);
    std::vector<long> kept(connections.size(), 0);
    for (size_t w = 0; w < connections.size(); ++w) {
        writers.emplace_back([&, w] {
            ReposDataAccess* c = connections[w].get();
            for (int t = 0; t < kTransactions; ++t) {
                // On a file a writer takes the lock at its begin, where the busy timeout is waited out.
                if (!c->beginTransaction(onFile())) {
                    ADD_FAILURE() << c->getLastErrorMessage().str();
                    return;
                }
                long rows = 0;
                for (int d = 0; d < kDraws; ++d) {
                    const int count = d % 3 == 2 ? 3 : 1;
                    const int64_t first = draw(c, count);
                    for (int64_t id = first; first > 0 && id < first + count; ++id) rows += keep(c, id) ? 1 : 0;
                }
                const bool commit = t % 4 != 3;
                EXPECT_TRUE(c->endTransaction(commit)) << c->getLastErrorMessage().str();
                if (commit) kept[w] += rows;
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    for (long rows : kept) committed += rows;
    EXPECT_EQ(committed, 2L * kTransactions * 3 / 4 * (kDraws + 2 * (kDraws / 3)));
    EXPECT_EQ(rawCount(repo, "RULE"), committed);
    EXPECT_EQ(committedTwice(), 0);
}

// Statements made before the draws that run after them: SQLite runs a query at its cursor's first
// step, which finds the blocks settled, through every road a host steps a cursor by.
struct LateRun {
    const char* what;
    enum class Road { Next, CacheAll, Statements } road;
};

const LateRun kLateRuns[] = {
    {"ROLLBACK and BEGIN in cursors stepped by next()", LateRun::Road::Next},
    {"ROLLBACK and BEGIN in cursors cached", LateRun::Road::CacheAll},
    {"a ROLLBACK TO SAVEPOINT selected through a statement object", LateRun::Road::Statements},
};

TEST_P(IdBlocks, AStatementThatRunsAtItsFirstStepFindsTheBlocksSettled) {
    const std::string read = "SELECT MAX(NI_VAL) FROM " + repo.table("UCURID") + " WHERE NI_KEY='RULE'";
    for (const LateRun& late : kLateRuns) {
        SCOPED_TRACE(late.what);
        ASSERT_TRUE(a->beginTransaction(false));
        ReposHeld<ReposDataAccessCursor> counterRead, first, second;
        ReposHeld<ReposDataAccessStatement> savepoint, rollbackTo, reading;
        {
            LogCapture quiet;
            if (late.road == LateRun::Road::Statements) {
                savepoint.reset(a->createStatement(VqbString("SAVEPOINT s")));
                ASSERT_TRUE(savepoint && savepoint->execute()) << a->getLastErrorMessage().str();
                rollbackTo.reset(a->createStatement(VqbString("ROLLBACK TO SAVEPOINT s")));
                if (rollbackTo) first.reset(rollbackTo->select());
                reading.reset(a->createStatement(VqbString(read.c_str())));
                if (reading) counterRead.reset(reading->select());
            } else {
                counterRead.reset(a->paramSelect(VqbString(read.c_str()), 0));
                first.reset(a->paramSelect(VqbString("ROLLBACK"), 0));
                second.reset(a->paramSelect(VqbString("BEGIN"), 0));
            }
        }
        const int64_t last = drawAndKeep({8, 1});
        auto step = [&](ReposHeld<ReposDataAccessCursor>& cursor) {
            if (!cursor) return 2;  // a server ran it when it was made, or refused it
            return late.road == LateRun::Road::CacheAll ? (cursor->cacheAll() ? cursor->next() : 2) : cursor->next();
        };
        ASSERT_TRUE(counterRead);
        ASSERT_EQ(step(counterRead), 1);
        // A server reads the counter as the cursor is made.
        if (onFile()) {
            EXPECT_EQ(counterRead->getValue(0).asInt64(), last);
        }
        counterRead.reset();
        {
            LogCapture quiet;
            step(first);
            step(second);
        }
        drawAndKeep({8, 12});
        ASSERT_TRUE(a->endTransaction(true)) << a->getLastErrorMessage().str();
        expectNoIdCommittedTwice();
    }
}

// PostgreSQL nests block comments and ends a line comment at a carriage return as well.
TEST_P(IdBlocks, TransactionWordsBehindCommentsAreReadAsTheServerReadsThem) {
    if (onFile()) GTEST_SKIP() << "SQLite reads these comments otherwise";
    // The driver reads a line comment to its newline: it would take two such statements for one,
    // and it reports a failure of its own once the server has rolled back.
    const struct {
        std::vector<const char*> statements;
        bool driverAgrees;
    } hosts[] = {{{"/* /* */ */ ROLLBACK; /* /* */ */ BEGIN"}, true}, {{"-- host\rROLLBACK", "-- host\rBEGIN"}, false}};
    for (const auto& host : hosts) {
        SCOPED_TRACE(host.statements.front());
        ASSERT_TRUE(a->beginTransaction(false));
        drawAndKeep({8, 1});
        for (const char* text : host.statements) {
            LogCapture quiet;
            const bool ran = a->paramExec(VqbString(text), nullptr, 0);
            if (host.driverAgrees) {
                EXPECT_TRUE(ran) << a->getLastErrorMessage().str();
            }
        }
        drawAndKeep({8, 12});
        ASSERT_TRUE(a->endTransaction(true)) << a->getLastErrorMessage().str();
        expectNoIdCommittedTwice();
    }
}

// Two connections draw the first id of a key that has no counter row yet while the first one's
// transaction is open: the second waits until it commits and counts on from its row, whether it
// draws in a transaction or outside any.
TEST_P(IdBlocks, TheFirstCounterRowOfAKeyIsAddedOnce) {
    if (onFile()) GTEST_SKIP() << "a second writer of a file waits for the first at its begin";
    for (const bool inTransaction : {true, false}) {
        SCOPED_TRACE(inTransaction ? "the second in a transaction" : "the second outside any");
        const VqbString key(inTransaction ? "FIRSTA" : "FIRSTB");
        ReposHeld<ReposDataAccess> b(repo.openAnother());
        ASSERT_TRUE(b);
        int64_t pid = 0;
        ASSERT_TRUE(b->paramSingleton(VqbString("SELECT pg_backend_pid()"), &pid, 0));
        ASSERT_TRUE(a->beginTransaction(false));
        VqbDatavar mine;
        ASSERT_TRUE(a->getNextId(key, &mine)) << a->getLastErrorMessage().str();
        EXPECT_EQ(mine.asInt64(), 1);

        std::atomic<bool> drawn{false};
        int64_t theirs = -1;
        std::thread other([&] {
            if (inTransaction && !b->beginTransaction(false)) return;
            VqbDatavar id;
            if (b->getNextId(key, &id)) theirs = id.asInt64();
            drawn = true;
            if (inTransaction) {
                EXPECT_TRUE(b->endTransaction(true)) << b->getLastErrorMessage().str();
            }
        });
        const std::string waits =
            "SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND NOT granted AND pid = " + std::to_string(pid);
        bool waiting = false;
        for (int i = 0; i < 400 && !waiting && !drawn; ++i) {
            waiting = raw(waits) != "0";
            if (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        EXPECT_TRUE(waiting) << "the second drawer did not wait for the first";
        EXPECT_FALSE(drawn);
        EXPECT_TRUE(a->endTransaction(true)) << a->getLastErrorMessage().str();
        other.join();
        EXPECT_EQ(theirs, 2);
        EXPECT_EQ(raw("SELECT COUNT(*) FROM " + repo.table("UCURID") + " WHERE NI_KEY = '" + key.str() + "'"), "1");
    }
}

// Two transactions that each added a key's first row draw the other's first id: the server breaks
// the wait of one, which fails that draw only; its transaction goes on and commits.
TEST_P(IdBlocks, ADeadlockOverFirstRowsFailsOnlyTheDraw) {
    if (onFile()) GTEST_SKIP() << "a second writer of a file waits for the first at its begin";
    ReposHeld<ReposDataAccess> b(repo.openAnother());
    ASSERT_TRUE(b);
    const VqbString keys[] = {VqbString("CROSSA"), VqbString("CROSSB")};
    ReposDataAccess* sides[] = {a, b.get()};
    VqbDatavar id;
    for (int s = 0; s < 2; ++s) {
        ASSERT_TRUE(sides[s]->beginTransaction(false));
        ASSERT_TRUE(sides[s]->getNextId(keys[s], &id)) << sides[s]->getLastErrorMessage().str();
    }
    bool drew[2] = {false, false}, committed[2] = {false, false};
    std::vector<std::thread> threads;
    for (int s = 0; s < 2; ++s) {
        threads.emplace_back([&, s] {
            LogCapture quiet;
            VqbDatavar other;
            drew[s] = sides[s]->getNextId(keys[1 - s], &other);
            committed[s] = sides[s]->endTransaction(true);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_NE(drew[0], drew[1]);
    EXPECT_TRUE(committed[0] && committed[1]);
    for (const VqbString& key : keys)
        EXPECT_EQ(raw("SELECT COUNT(*) FROM " + repo.table("UCURID") + " WHERE NI_KEY = '" + key.str() + "'"), "1");
}

REPOS_EVERY_PLACE(IdBlocks);

}  // namespace
