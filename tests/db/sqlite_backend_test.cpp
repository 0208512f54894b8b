// The SQLite back end: the factory, statements, cursors, single values and binding.
#include <gtest/gtest.h>

#include "db_fixture.h"
#include "vqbmessage.h"

namespace {

class SqliteBackend : public ::testing::Test {
protected:
    void SetUp() override {
        conn.reset(newRepository(path));
        ASSERT_TRUE(conn);
        ASSERT_TRUE(conn->paramExec("CREATE TABLE T (ID INTEGER, NAME VARCHAR, AMOUNT FLOAT)", nullptr, 0));
    }
    void insert(const VqbDatavar& id, const VqbDatavar& name, const VqbDatavar& amount) {
        ASSERT_TRUE(conn->paramExec("INSERT INTO T VALUES (?, ?, ?)", nullptr, 3, &id, &name, &amount))
            << conn->getLastErrorMessage().str();
    }

    TempDir dir;
    std::string path = dir.file("r.db");
    Conn conn;
};

}  // namespace

TEST(ConnectionFactory, KindsAndFailures) {
    TempDir dir;
    VqbString error("before");
    EXPECT_EQ(createReposDataAccess(3, dir.file("x.db"), "", nullptr, error), nullptr);
    EXPECT_EQ(createReposDataAccess(-1, dir.file("x.db"), "", nullptr, error), nullptr);
    EXPECT_EQ(error.str(), "before");  // an unknown kind is no connection failure
    EXPECT_FALSE(fileExists(dir.file("x.db")));

    const std::string garbage = dir.file("garbage.db"), missing = dir.file("missing.db");
    writeFile(garbage, std::string(4096, '\x5a'));
    const std::pair<int, std::string> refused[] = {{REPOS_BACKEND_CONNECTOR, "DSN=x"},
                                                   {REPOS_BACKEND_SQLITE_OPEN, missing},
                                                   {REPOS_BACKEND_SQLITE_OPEN, garbage},
                                                   {REPOS_BACKEND_SQLITE_CREATE, garbage},
                                                   {REPOS_BACKEND_SQLITE_CREATE, dir.file("no/such/dir.db")}};
    LogCapture log;
    for (const auto& r : refused) {
        error = "before";
        EXPECT_EQ(createReposDataAccess(r.first, r.second, "P_", nullptr, error), nullptr) << r.second;
        // The reason itself, naming the file where there is one.
        EXPECT_NE(error, reposMessage(1584)) << r.second;
        if (r.first != REPOS_BACKEND_CONNECTOR) {
            EXPECT_NE(error.str().find(r.second), std::string::npos) << error.str();
        }
    }
    EXPECT_TRUE(log.contains("Opening the SQLite database failed", 5));
    EXPECT_TRUE(log.contains(missing, 5));
    EXPECT_FALSE(fileExists(missing));
    EXPECT_EQ(readFile(garbage), std::string(4096, '\x5a'));

    // Kind 1 makes the file and ignores the prefix; kind 2 opens it again.
    Conn made(createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, dir.file("new.db"), "P_", nullptr, error));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->getTableName("RULE", false, -1).str(), "RULE");
    Conn opened(createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, dir.file("new.db"), "", nullptr, error));
    EXPECT_TRUE(opened);
}

TEST_F(SqliteBackend, FailuresAndEmptyResultsLeaveTheConnectionUsable) {
    Cursor c(conn->paramSelect("SELECT * FROM T", 0));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->next(), 0);
    EXPECT_EQ(c->next(), 2);
    EXPECT_TRUE(c->getValue(0).isNull());
    EXPECT_FALSE(c->cacheAll());
    int64_t value = 0;
    LogCapture log;
    EXPECT_FALSE(conn->paramSingleton("SELECT ID FROM T", &value, 0));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1053));
    EXPECT_TRUE(log.contains(reposMessage(1053).str(), 5));
    EXPECT_FALSE(conn->paramSingleton("SELECT NOPE FROM T", &value, 0));

    EXPECT_EQ(conn->createStatement("SELEKT 1"), nullptr);
    EXPECT_NE(conn->getLastErrorMessage().str().find("syntax error"), std::string::npos);
    EXPECT_FALSE(conn->paramExec("INSERT INTO NOPE VALUES (1)", nullptr, 0));
    EXPECT_TRUE(log.contains("no such table: NOPE", 5));
    EXPECT_EQ(conn->paramSelect("SELECT * FROM NOPE WHERE A = ?", 1, nullptr), nullptr);
    // More values than markers.
    VqbDatavar one(1), two(2);
    EXPECT_FALSE(conn->paramExec("DELETE FROM T WHERE ID = ?", nullptr, 2, &one, &two));
    insert(VqbDatavar(1), VqbDatavar("ok"), VqbDatavar(1.0));
    insert(VqbDatavar(9), VqbDatavar("ok"), VqbDatavar(1.0));
    int rows = -1;
    ASSERT_TRUE(conn->paramExec("UPDATE T SET NAME = ? WHERE ID = ?", &rows, 2, &two, &one));
    EXPECT_EQ(rows, 1);
    ASSERT_TRUE(conn->paramSingleton("SELECT ID FROM T ORDER BY ID DESC", &value, 0));
    EXPECT_EQ(value, 9);
}

// Hostile text is a bound value; and the SQLite back end keeps a DDL callback but runs every
// statement itself.
TEST_F(SqliteBackend, HostileTextIsStoredAsItIsEvenWithAScriptCallback) {
    struct Script : ReposDDLCallback {
        void writeDDL(const VqbString& s) override { written.push_back(s.str()); }
        std::vector<std::string> written;
    } script;
    conn->setDDLCallback(&script);
    const std::string hostile = "x'); DROP TABLE T; --\"";
    insert(VqbDatavar(1), VqbDatavar(hostile), VqbDatavar(0.0));
    EXPECT_TRUE(script.written.empty());
    VqbDatavar name(hostile);
    Cursor c(conn->paramSelectWTypes("SELECT NAME FROM T WHERE NAME = ?", "S", 1, &name));
    EXPECT_EQ(columnTexts(c.get(), 0), (std::vector<std::string>{hostile}));
    EXPECT_EQ(RawDb(path).scalar("SELECT COUNT(*) FROM T"), "1");
}
