// Nested transactions on a SQLite file, observed from the SQL log and from a second connection.
#include <gtest/gtest.h>

#include "db_fixture.h"
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
