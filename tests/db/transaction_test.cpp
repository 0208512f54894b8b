// Nested transactions on a SQLite file, observed from the SQL log and from a second connection.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "db_fixture.h"
#include "rda_impl.h"
#include "vqbmessage.h"

namespace {

class Transactions : public ::testing::Test {
protected:
    void SetUp() override {
        conn.reset(newRepository(path));
        ASSERT_TRUE(conn);
        ASSERT_TRUE(conn->paramExec("CREATE TABLE T (A INTEGER)", nullptr, 0));
    }
    static bool insert(ReposDataAccess* c, int v) {
        VqbDatavar value(v);
        return c->paramExec("INSERT INTO T VALUES (?)", nullptr, 1, &value);
    }
    std::string rowsSeenByOthers() {
        return RawDb(path).scalar("SELECT group_concat(A) FROM (SELECT A FROM T ORDER BY A)");
    }
    // A committed write that others see proves the connection is usable and not inside a
    // transaction nobody ends.
    void expectUsable(ReposDataAccess* c, int v) {
        ASSERT_TRUE(c->beginTransaction(false)) << c->getLastErrorMessage().str();
        ASSERT_TRUE(insert(c, v));
        ASSERT_TRUE(c->endTransaction(true)) << c->getLastErrorMessage().str();
        EXPECT_FALSE(c->isInTransaction());
        EXPECT_NE(rowsSeenByOthers().find(std::to_string(v)), std::string::npos);
    }

    TempDir dir;
    std::string path = dir.file("r.db");
    Conn conn;
};

}  // namespace

// A begin refused, or busy because another connection holds the file, leaves no level behind. A caller
// that ends the level anyway gets a clean failure, and the connection stays sound.
TEST_F(Transactions, RefusedAndBusyBeginsLeaveTheConnectionUsable) {
    // A transaction opened behind the connection's back refuses its BEGIN, and not as busy.
    ASSERT_TRUE(conn->paramExec("BEGIN", nullptr, 0));
    bool refusedBusy = true;
    EXPECT_FALSE(conn->beginTransaction(false, &refusedBusy));
    EXPECT_FALSE(refusedBusy || conn->isInTransaction());
    ASSERT_TRUE(conn->paramExec("ROLLBACK", nullptr, 0));
    expectUsable(conn.get(), 4);

    Conn busyConn(openImpatient(path, 50));
    ASSERT_TRUE(busyConn);
    {
        RawDb other(path);
        ASSERT_TRUE(other.exec("BEGIN IMMEDIATE"));
        bool busy = false;
        LogCapture log;
        EXPECT_FALSE(busyConn->beginTransaction(true, &busy));
        EXPECT_TRUE(busy);
        EXPECT_FALSE(busyConn->isInTransaction());
        EXPECT_FALSE(busyConn->getLastErrorMessage().isEmpty());
        EXPECT_FALSE(busyConn->endTransaction(false));
        ASSERT_TRUE(other.exec("ROLLBACK"));
    }
    expectUsable(busyConn.get(), 3);
}

// A COMMIT refused while a reader holds the file must not leave SQLite's transaction open: the
// refused work is gone, the caller is told, and later commits reach the file.
TEST_F(Transactions, RefusedCommitDoesNotSwallowLaterWork) {
    Conn writer(openImpatient(path, 50));
    ASSERT_TRUE(writer);
    {
        RawDb reader(path);
        ASSERT_TRUE(reader.exec("BEGIN"));
        ASSERT_EQ(reader.scalar("SELECT COUNT(*) FROM T"), "0");
        ASSERT_TRUE(writer->beginTransaction(false));
        ASSERT_TRUE(insert(writer.get(), 5));
        LogCapture log;
        EXPECT_FALSE(writer->endTransaction(true));
        EXPECT_FALSE(writer->isInTransaction());
        EXPECT_EQ(writer->getLastErrorMessage().str().rfind("Ending the transaction failed", 0), 0u);
        ASSERT_TRUE(reader.exec("COMMIT"));
    }
    expectUsable(writer.get(), 6);
    EXPECT_EQ(rowsSeenByOthers(), "6");
}

// What is announced inside a transaction waits for the outermost commit, in order; a rollback, a
// refused commit or a release with a level open drops it, and nothing is kept for a later commit.
TEST_F(Transactions, AnnouncementsWaitForTheOutermostCommit) {
    std::vector<int> posted;
    auto announce = [&](ReposDataAccess* c, int n) { RDA_BaseImpl::announce(c, [&posted, n] { posted.push_back(n); }); };
    ReposDataAccess* c = conn.get();
    const struct {
        const char* what;
        std::vector<bool> ends;  // innermost first; one level per entry
        std::vector<int> posted;
    } cases[] = {
        {"committed", {true, true}, {1, 2, 3}},
        {"outer rolled back", {true, false}, {}},
        // Levels have no savepoints: an inner rollback takes nothing back by itself.
        {"inner rolled back", {false, true}, {1, 2, 3}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        posted.clear();
        announce(c, 0);
        EXPECT_EQ(posted, std::vector<int>({0})) << "with no transaction open: at once";
        posted.clear();
        for (size_t i = 0; i < k.ends.size(); ++i) {
            ASSERT_TRUE(c->beginTransaction(false));
            announce(c, static_cast<int>(i) + 1);
        }
        ASSERT_TRUE(insert(c, 1));
        ASSERT_TRUE(c->endTransaction(k.ends[0]));
        announce(c, 3);
        EXPECT_EQ(posted, std::vector<int>());
        ASSERT_TRUE(c->endTransaction(k.ends[1]));
        EXPECT_EQ(posted, k.posted);
    }

    // A refused commit posts nothing, and the next commit only its own.
    Conn writer(openImpatient(path, 50));
    ASSERT_TRUE(writer);
    posted.clear();
    {
        RawDb reader(path);
        ASSERT_TRUE(reader.exec("BEGIN"));
        ASSERT_EQ(reader.scalar("SELECT COUNT(*) FROM T WHERE A < 0"), "0");
        ASSERT_TRUE(writer->beginTransaction(false));
        ASSERT_TRUE(insert(writer.get(), 7));
        announce(writer.get(), 7);
        LogCapture log;
        EXPECT_FALSE(writer->endTransaction(true));
        ASSERT_TRUE(reader.exec("COMMIT"));
    }
    ASSERT_TRUE(writer->beginTransaction(false));
    announce(writer.get(), 8);
    ASSERT_TRUE(writer->endTransaction(true));
    EXPECT_EQ(posted, std::vector<int>({8}));

    // Released with a level open: the work is gone and so is its announcement.
    posted.clear();
    ASSERT_TRUE(writer->beginTransaction(false));
    announce(writer.get(), 9);
    writer.reset();
    EXPECT_EQ(posted, std::vector<int>());

    // A listener may use the connection from another thread while it is told.
    bool answered = false;
    std::future<bool> other;  // outlives the post, so a post under the lock cannot hang the test
    ASSERT_TRUE(c->beginTransaction(false));
    RDA_BaseImpl::announce(c, [&] {
        other = std::async(std::launch::async, [&] { return c->isInTransaction(); });
        answered = other.wait_for(std::chrono::seconds(5)) == std::future_status::ready && !other.get();
    });
    ASSERT_TRUE(c->endTransaction(true));
    EXPECT_TRUE(answered) << "posted while the connection was held";
}
