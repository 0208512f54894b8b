// Connecting through the connector back end: what the connection reports, names, nested
// transactions, pools, identifier limits and the stored maximum text length.
#include "dac_rda_fixture.h"
#include "vqbconfig.h"
#include "vqbmessage.h"
#include "vqdacpool.h"

namespace {

class Connection : public RdaDacTest {};

INSTANTIATE_TEST_SUITE_P(Drivers, Connection, ::testing::Values(Driver::Native, Driver::Pg, Driver::PgSchema),
                         driverName);

}  // namespace

TEST_P(Connection, ConnectsReportsItsDbmsAndCloses) {
    LogCapture log(2);
    Conn conn(open());
    ASSERT_TRUE(conn) << lastError;
    EXPECT_EQ(conn->getIdentifierQuote().str(), "\"");
    EXPECT_EQ(conn->getMaxTextLen(), 255);
    EXPECT_TRUE(conn->supportsBulkStatement());
    EXPECT_TRUE(conn->checkDatabaseSupported());
    EXPECT_FALSE(conn->isDatabaseKind1());
    // The native driver is an in-process file database; the server offers its bulk loader.
    EXPECT_EQ(conn->isConnectionMode3(), !isPg());
    EXPECT_EQ(conn->supportsBulkLoad(), isPg());
    EXPECT_NE(conn->getConnection(), nullptr);
    EXPECT_EQ(conn->getRepositoryUuid().str(), "");  // no INFO table yet
    EXPECT_TRUE(log.contains("RDA_DAC::init_INT", 2));
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
    EXPECT_EQ(error, reposMessage(1584));
    EXPECT_TRUE(log.contains("RDA_DAC::init_INT", 2));
    EXPECT_TRUE(log.contains("PWD=***", 2));
    EXPECT_GT(log.count("", 5), 0u);
    for (const VqLogEntry& entry : log.entries()) EXPECT_EQ(entry.text.find(secret), std::string::npos) << entry.text;

    // A malformed text fails in the data source.
    EXPECT_EQ(createReposDataAccess(REPOS_BACKEND_CONNECTOR, "VQXTYPE=NOSUCH;FILE=x", "", nullptr, error), nullptr);
    EXPECT_EQ(createReposDataAccess(REPOS_BACKEND_CONNECTOR, "VQXTYPE=SQLITE;VQXKIND=-3;FILE=x", "", nullptr, error),
              nullptr);
}

TEST_P(Connection, NamesCarryThePrefixItsSchemaAndQuotes) {
    Conn conn(open());
    ASSERT_TRUE(conn) << lastError;
    VqbString prefix;
    ASSERT_TRUE(conn->getPrefix(false, &prefix, nullptr));
    // PostgreSQL keeps the prefix's case; every other DBMS gets it upper-cased.
    EXPECT_EQ(prefix.str(), stored_);
    ASSERT_TRUE(conn->getPrefix(true, &prefix, nullptr));
    std::string lead = bareName("");
    EXPECT_EQ(prefix.str(), lead);

    EXPECT_EQ(conn->getTableName("FRQDST", true, 3).str(), q("FRQDST", 3));
    EXPECT_EQ(conn->getTableName("FRQDST", false, 3).str(), lead + "FRQDST3");
    EXPECT_EQ(conn->getTableName("RULE", false, -1).str(), lead + "RULE");
    EXPECT_EQ(conn->getTableName("RULE", false, 0).str(), lead + "RULE0");
    EXPECT_EQ(conn->getIndexName(2, "RULE").str(), lead + "RULE2");
    if (schema_.empty())
        EXPECT_TRUE(conn->getSchemaName().isEmpty());
    else
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

TEST_P(Connection, NestedLevelsMakeOneTransactionAtTheDbms) {
    Conn conn(open());
    ASSERT_TRUE(conn) << lastError;
    ASSERT_TRUE(conn->createTableFromColumns("TX", columnSpecs({{"A", VQB_TYPE_INT}})));
    LogCapture log(1);
    auto insert = [&](int v) {
        VqbDatavar value(v);
        return conn->paramExec("INSERT INTO " + conn->getTableName("TX", true, -1) + " (A) VALUES (?)", nullptr, 1,
                               &value);
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
    EXPECT_EQ(log.count("RDA_DAC::beginTransaction_INT", 1), 1u);
    EXPECT_EQ(log.count("RDA_DAC::endTransaction_INT", 1), 1u);

    // A fourth end finds no level: it fails, and the depth stays at 0.
    EXPECT_FALSE(conn->endTransaction(true));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1065));
    EXPECT_FALSE(conn->endTransaction(false));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1068, reposMessage(1065).asCstr()));
    ASSERT_TRUE(conn->beginTransaction(false));
    ASSERT_TRUE(insert(2));
    ASSERT_TRUE(conn->endTransaction(true)) << conn->getLastErrorMessage().str();
    EXPECT_EQ(seenByOthers(), "2");
}

TEST_P(Connection, RefusedBeginAndCommitLeaveTheDepthSound) {
    Conn conn(open());
    ASSERT_TRUE(conn) << lastError;
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

TEST_P(Connection, FailedStatementThenRollbackLeavesNothing) {
    Conn conn(open());
    ASSERT_TRUE(conn) << lastError;
    ASSERT_TRUE(conn->createTableFromColumns("TX", columnSpecs({{"A", VQB_TYPE_INT}})));
    std::string table = conn->getTableName("TX", true, -1).str();
    VqbDatavar one(1), two(2);
    ASSERT_TRUE(conn->beginTransaction(false));
    ASSERT_TRUE(conn->paramExec("INSERT INTO " + table + " (A) VALUES (?)", nullptr, 1, &one));
    EXPECT_FALSE(conn->paramExec("INSERT INTO " + table + " (NO_SUCH_COLUMN) VALUES (?)", nullptr, 1, &two));
    EXPECT_FALSE(conn->getLastErrorMessage().isEmpty());
    // The transaction goes on after the failed statement.
    ASSERT_TRUE(conn->paramExec("INSERT INTO " + table + " (A) VALUES (?)", nullptr, 1, &two))
        << conn->getLastErrorMessage().str();
    ASSERT_TRUE(conn->endTransaction(false));
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("TX")), "0");
    ASSERT_TRUE(conn->paramExec("INSERT INTO " + table + " (A) VALUES (?)", nullptr, 1, &two));
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("TX")), "1");
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
    std::string other = isPg() ? "VQXMODE=2" : "";
    VqbString error;
    std::string otherText = isPg() ? text(other) : "VQXTYPE=SQLITE;FILE=" + dir_.file("other.db") + ";CREATE=TRUE";
    Conn own(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(otherText), VqbString(prefix_), nullptr, error));
    ASSERT_TRUE(own) << error.str();
    EXPECT_TRUE(log.contains("gave no connection", 2));
    EXPECT_EQ(ConnShareSingleton::openPoolCount(), before + 1);
    ASSERT_TRUE(own->createTableFromColumns("OWN", columnSpecs({{"A", VQB_TYPE_INT}})))
        << own->getLastErrorMessage().str();
    if (!isPg()) {
        DacPtr check(dacOpen("VQXTYPE=SQLITE;FILE=" + dir_.file("other.db")));
        ASSERT_TRUE(check);
        DacTable* made = check->openTable(VqbString("P_OWN"), VqbString(""), VqbString(""));
        EXPECT_NE(made, nullptr);
        if (made) made->release();
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
        Conn conn(open("", &longPrefix));
        EXPECT_TRUE(conn) << lastError;
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
    {
        Conn conn(open());
        ASSERT_TRUE(conn) << lastError;
        createTables(conn.get(), {"KEYVAL"});
    }
    EXPECT_EQ(rawScalar("SELECT V_VALUE FROM " + q("KEYVAL") + " WHERE V_KEY = 'MAX_TEXT_LEN'"), "255");
    ASSERT_TRUE(rawExec("UPDATE " + q("KEYVAL") + " SET V_VALUE = '2000' WHERE V_KEY = 'MAX_TEXT_LEN'"));
    {
        Conn conn(open());
        ASSERT_TRUE(conn) << lastError;
        EXPECT_EQ(conn->getMaxTextLen(), 2000);
    }
    // 0 and a text that is no number change nothing.
    for (const char* value : {"0", "many"}) {
        ASSERT_TRUE(rawExec("UPDATE " + q("KEYVAL") + " SET V_VALUE = '" + value + "' WHERE V_KEY = 'MAX_TEXT_LEN'"));
        Conn conn(open());
        ASSERT_TRUE(conn) << lastError;
        EXPECT_EQ(conn->getMaxTextLen(), 255) << value;
    }
    // Without the table the connection still opens.
    ASSERT_TRUE(rawExec("DROP TABLE " + q("KEYVAL")));
    Conn conn(open());
    ASSERT_TRUE(conn) << lastError;
    EXPECT_EQ(conn->getMaxTextLen(), 255);
}

TEST(ConnectionKinds, KindsChangeWhatTheConnectionReports) {
    TempDir dir;
    std::string base = "VQXTYPE=SQLITE;FILE=" + dir.file("k.db") + ";CREATE=TRUE";
    VqbString error;
    Conn longText(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(base + ";VQXKIND=16"), "", nullptr, error));
    ASSERT_TRUE(longText) << error.str();
    EXPECT_GT(longText->getMaxTextLen(), 255);
    Conn joins(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(base + ";VQXKIND=1"), "", nullptr, error));
    ASSERT_TRUE(joins) << error.str();
    EXPECT_TRUE(joins->isDatabaseKind1());
    Conn bulk(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(base + ";VQXMODE=2"), "", nullptr, error));
    ASSERT_TRUE(bulk) << error.str();
    EXPECT_TRUE(bulk->supportsBulkLoad());
    EXPECT_FALSE(bulk->isConnectionMode3());
    // Kind 17 keeps the prefix's case.
    Conn keeps(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(base + ";VQXKIND=17"), "mIx_", nullptr, error));
    ASSERT_TRUE(keeps) << error.str();
    EXPECT_EQ(keeps->getTableName("RULE", false, -1).str(), "mIx_RULE");
}

TEST(ConnectionKinds, MissingConfigurationFailsTheConnection) {
    TempDir dir;
    vqbConfigSetUnavailable(true);
    VqbString error;
    ReposDataAccess* conn = createReposDataAccess(REPOS_BACKEND_CONNECTOR,
                                                  VqbString("VQXTYPE=SQLITE;FILE=" + dir.file("c.db") + ";CREATE=TRUE"),
                                                  "", nullptr, error);
    vqbConfigSetUnavailable(false);
    EXPECT_EQ(conn, nullptr);
}
