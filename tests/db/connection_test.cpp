// Connecting through the connector back end: what the connection reports, names, nested
// transactions, pools, identifier limits and the stored maximum text length.
#include "dac_rda_fixture.h"
#include "vqbconfig.h"
#include "vqbmessage.h"
#include "vqdacpool.h"

class Connection : public RdaDacTest {};
RDA_DRIVERS(Connection);

TEST_P(Connection, ConnectsReportsItsDbmsAndCloses) {
    EXPECT_EQ(conn->getMaxTextLen(), 255);
    EXPECT_FALSE(conn->isDatabaseKind1());
    // The native driver is an in-process file database; the server offers its bulk loader.
    EXPECT_EQ(conn->isConnectionMode3(), !isPg());
    EXPECT_EQ(conn->supportsBulkLoad(), isPg());
    EXPECT_EQ(conn->getRepositoryUuid().str(), "");  // no INFO table yet
    conn.reset();

    // The connection is gone with its object: the file or server takes a new one at once.
    Conn again(open());
    ASSERT_TRUE(again) << lastError;
}

TEST_P(Connection, FailuresLeaveNothingAndNeverShowThePassword) {
    LogCapture log(1);
    const char* secret = "hunter2secret";
    VqbString error("before");
    std::string bad = isPg() ? text("DATABASE=no_such_database_here;PWD=" + std::string(secret))
                             : "VQXTYPE=SQLITE;FILE=" + dir_.file("no/such/dir/x.db") + ";PWD=" + secret;
    EXPECT_EQ(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(bad), "P_", nullptr, error), nullptr);
    // The driver's own reason, not the general text, and without the password.
    EXPECT_NE(error, reposMessage(1584));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(error.str().find(secret), std::string::npos) << error.str();
    EXPECT_TRUE(log.contains("PWD=***", 2));
    for (const VqLogEntry& entry : log.entries()) EXPECT_EQ(entry.text.find(secret), std::string::npos) << entry.text;

    // A malformed text fails in the data source.
    EXPECT_EQ(createReposDataAccess(REPOS_BACKEND_CONNECTOR, "VQXTYPE=NOSUCH;FILE=x", "", nullptr, error), nullptr);
    EXPECT_EQ(createReposDataAccess(REPOS_BACKEND_CONNECTOR, "VQXTYPE=SQLITE;VQXKIND=-3;FILE=x", "", nullptr, error),
              nullptr);
}

TEST_P(Connection, NamesCarryThePrefixItsSchemaAndQuotes) {
    VqbString prefix;
    ASSERT_TRUE(conn->getPrefix(false, &prefix, nullptr));
    // PostgreSQL keeps the prefix's case; every other DBMS gets it upper-cased.
    EXPECT_EQ(prefix.str(), stored_);
    ASSERT_TRUE(conn->getPrefix(true, &prefix, nullptr));
    std::string lead = bareName("");
    EXPECT_EQ(prefix.str(), lead);

    EXPECT_EQ(conn->getTableName("FRQDST", true, 3).str(), q("FRQDST", 3));
    EXPECT_EQ(conn->getTableName("RULE", false, -1).str(), lead + "RULE");
    EXPECT_EQ(conn->getTableName("RULE", false, 0).str(), lead + "RULE0");
    EXPECT_EQ(conn->getIndexName(2, "RULE").str(), lead + "RULE2");
    EXPECT_EQ(conn->getSchemaName().str(), schema_);
    // A quote inside a name is doubled, so the name cannot end the identifier early.
    EXPECT_EQ(conn->getTableName("A\"B", false, -1).str(), lead + "A\"B");
    std::string hostile = conn->getTableName("A\"B", true, -1).str();
    EXPECT_NE(hostile.find("A\"\"B\""), std::string::npos) << hostile;
    EXPECT_EQ(conn->getColumnList("RULE", "r").str().rfind("r.RU_ID", 0), 0u);
    EXPECT_EQ(conn->getColumnList("NO_SUCH_TABLE", nullptr).str(), "*");
}

TEST_P(Connection, PrefixEdgesGiveSoundNames) {
    const std::string none = "";
    Conn plain(open("", &none));
    ASSERT_TRUE(plain) << lastError;
    EXPECT_EQ(plain->getIndexName(2, "RULE").str(), "VQRULE2");
    EXPECT_EQ(plain->getTableName("RULE", true, -1).str(), "\"RULE\"");
    EXPECT_TRUE(plain->getSchemaName().isEmpty());

    // A prefix ending in its dot: the index stem falls back to VQ. An empty schema part names
    // no schema rather than an empty quoted one.
    const std::string dotted = isPg() ? schema_ + "." : "x.";
    Conn trailing(open("", &dotted));
    ASSERT_TRUE(trailing) << lastError;
    EXPECT_EQ(trailing->getIndexName(7, "RULE").str(), "VQRULE7");
    const std::string leading = ".P_";
    Conn empty(open("", &leading));
    ASSERT_TRUE(empty) << lastError;
    EXPECT_EQ(empty->getTableName("RULE", true, -1).str(), "\"P_RULE\"");
}

class TransactionContract : public RdaDacTest {};
RDA_BACKENDS(TransactionContract);

TEST_P(TransactionContract, NestedLevelsMakeOneTransactionAndAFailureRollsBackWhole) {
    ASSERT_TRUE(conn->createTableFromColumns("TX", columnSpecs({{"A", VQB_TYPE_INT}})));
    auto insert = [&](VqbDatavar v) {
        return conn->paramExec("INSERT INTO " + conn->getTableName("TX", true, -1) + " (A) VALUES (?)", nullptr, 1, &v);
    };
    auto seenByOthers = [&]() { return rawScalar("SELECT COUNT(*) FROM " + q("TX")); };
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(conn->beginTransaction(false));
    ASSERT_TRUE(insert(1));
    ASSERT_TRUE(conn->endTransaction(true));
    ASSERT_TRUE(conn->endTransaction(true));
    EXPECT_TRUE(conn->isInTransaction());
    EXPECT_EQ(seenByOthers(), "0");  // the inner ends committed nothing
    ASSERT_TRUE(conn->endTransaction(true));
    EXPECT_FALSE(conn->isInTransaction());
    EXPECT_EQ(seenByOthers(), "1");

    // A fourth end finds no level: it fails, and the depth stays at 0; a fifth names the error
    // before it.
    EXPECT_FALSE(conn->endTransaction(true));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1065));
    EXPECT_FALSE(conn->endTransaction(false));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1068, reposMessage(1065).asCstr()));
    ASSERT_TRUE(conn->beginTransaction(false));
    ASSERT_TRUE(insert(2));
    ASSERT_TRUE(conn->endTransaction(true)) << conn->getLastErrorMessage().str();
    EXPECT_EQ(seenByOthers(), "2");

    // After a failed statement the transaction goes on; its rollback leaves nothing.
    ASSERT_TRUE(conn->beginTransaction(false));
    ASSERT_TRUE(insert(3));
    VqbDatavar four(4);
    EXPECT_FALSE(conn->paramExec("INSERT INTO " + conn->getTableName("TX", true, -1) + " (NO_SUCH_COLUMN) VALUES (?)",
                                 nullptr, 1, &four));
    EXPECT_FALSE(conn->getLastErrorMessage().isEmpty());
    ASSERT_TRUE(insert(4)) << conn->getLastErrorMessage().str();
    ASSERT_TRUE(conn->endTransaction(false));
    EXPECT_EQ(seenByOthers(), "2");
    ASSERT_TRUE(insert(5));
    EXPECT_EQ(seenByOthers(), "3");
}

TEST_P(Connection, RefusedBeginAndCommitLeaveTheDepthSound) {
    DacConnection* shared = conn->getConnection();
    ASSERT_NE(shared, nullptr);
    // Someone else opened the connector's transaction: the begin is refused and counts nothing.
    ASSERT_TRUE(shared->beginTransaction());
    EXPECT_FALSE(conn->beginTransaction(false));
    VqbString refused = conn->getLastErrorMessage();
    EXPECT_FALSE(refused.isEmpty());
    EXPECT_FALSE(conn->isInTransaction());
    // A caller that ends the level anyway gets a clean failure naming the refused begin.
    EXPECT_FALSE(conn->endTransaction(true));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1068, refused.asCstr()));
    ASSERT_TRUE(shared->endTransaction(false));

    // A commit the connector cannot make fails with its reason and leaves no level open.
    ASSERT_TRUE(conn->beginTransaction(false));
    ASSERT_TRUE(shared->endTransaction(true));
    EXPECT_FALSE(conn->endTransaction(true));
    EXPECT_EQ(conn->getLastErrorMessage().str().rfind("Ending the transaction failed", 0), 0u)
        << conn->getLastErrorMessage().str();
    EXPECT_FALSE(conn->isInTransaction());
    ASSERT_TRUE(conn->beginTransaction(false));
    ASSERT_TRUE(conn->endTransaction(true)) << conn->getLastErrorMessage().str();
}

TEST_P(Connection, PoolWithoutAConnectionFallsBackToAnOwnOne) {
    ConfigScope config;
    config.set("POOL_ID", ("pool_" + tag_).c_str(), "REPOSITORY");
    int before = ConnShareSingleton::openPoolCount();
    Conn pooled(open());
    ASSERT_TRUE(pooled) << lastError;
    EXPECT_EQ(ConnShareSingleton::openPoolCount(), before + 1);

    // The pool already serves another text, so it gives this one nothing.
    LogCapture log(2);
    std::string other = "VQXTYPE=SQLITE;FILE=" + dir_.file("other.db");
    Conn own(openRda(isPg() ? text("VQXMODE=2") : other + ";CREATE=TRUE", prefix_.c_str()));
    ASSERT_TRUE(own);
    EXPECT_TRUE(log.contains("gave no connection", 2));
    EXPECT_EQ(ConnShareSingleton::openPoolCount(), before + 1);
    ASSERT_TRUE(own->createTableFromColumns("OWN", columnSpecs({{"A", VQB_TYPE_INT}})))
        << own->getLastErrorMessage().str();
    if (!isPg()) {
        DacPtr check(dacOpen(other));
        EXPECT_EQ(dacRows(check.get(), "SELECT name FROM sqlite_master WHERE name = 'P_OWN'").size(), 1u);
    }
    own.reset();
    EXPECT_EQ(ConnShareSingleton::openPoolCount(), before + 1);
    pooled.reset();
    EXPECT_EQ(ConnShareSingleton::openPoolCount(), before);
}

TEST_P(Connection, PrefixTooLongForIdentifiersFails) {
    if (!isPg()) {
        // The native driver sets no identifier limit.
        std::string longPrefix(200, 'L');
        EXPECT_TRUE(Conn(open("", &longPrefix))) << lastError;
        return;
    }
    // 63 bytes, less 12 of room for the table names.
    std::string lead = schema_.empty() ? "" : schema_ + ".";
    std::string fits = lead + std::string(51 - lead.size(), 'x');
    std::string tooLong = fits + "x";
    LogCapture log;
    Conn refused(open("", &tooLong));
    EXPECT_FALSE(refused);
    EXPECT_TRUE(log.contains(reposMessage(1533).str(), 5));
    Conn accepted(open("", &fits));
    EXPECT_TRUE(accepted) << lastError;
}

TEST_P(Connection, StoredMaxTextLenOverridesTheDbmsLength) {
    createTables(conn.get(), {"KEYVAL"});
    EXPECT_EQ(rawScalar("SELECT V_VALUE FROM " + q("KEYVAL") + " WHERE V_KEY = 'MAX_TEXT_LEN'"), "255");
    // 0 and a text that is no number change nothing; without the table the connection still opens.
    for (auto [value, expected] : {std::pair<const char*, int>{"2000", 2000}, {"0", 255}, {"many", 255}, {"", 255}}) {
        ASSERT_TRUE(*value ? rawExec("UPDATE " + q("KEYVAL") + " SET V_VALUE = '" + value +
                                     "' WHERE V_KEY = 'MAX_TEXT_LEN'")
                           : rawExec("DROP TABLE " + q("KEYVAL")));
        Conn again(open());
        ASSERT_TRUE(again) << lastError;
        EXPECT_EQ(again->getMaxTextLen(), expected) << value;
    }
}

TEST(ConnectionKinds, KindsChangeWhatTheConnectionReports) {
    TempDir dir;
    std::string base = "VQXTYPE=SQLITE;FILE=" + dir.file("k.db") + ";CREATE=TRUE;";
    Conn longText(openRda(base + "VQXKIND=16"));
    ASSERT_TRUE(longText);
    EXPECT_GT(longText->getMaxTextLen(), 255);
    Conn joins(openRda(base + "VQXKIND=1"));
    ASSERT_TRUE(joins);
    EXPECT_TRUE(joins->isDatabaseKind1());
    Conn bulk(openRda(base + "VQXMODE=2"));
    ASSERT_TRUE(bulk);
    EXPECT_TRUE(bulk->supportsBulkLoad());
    EXPECT_FALSE(bulk->isConnectionMode3());
    // Without configuration there is no connection.
    vqbConfigSetUnavailable(true);
    VqbString error;
    Conn none(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(base), "", nullptr, error));
    vqbConfigSetUnavailable(false);
    EXPECT_FALSE(none);
}
