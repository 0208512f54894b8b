// What only one driver does: the native driver's files and stand-in kinds, the PostgreSQL
// driver's options.
#include "dac_fixture.h"
#include "dacimpl.h"

namespace {

std::string sqliteText(const TempDir& dir, const std::string& extra = "") {
    return "VQXTYPE=SQLITE;FILE=" + dir.file("n.db") + ";" + extra;
}
}  // namespace

TEST(DacNative, FilesAreMadeOnlyWhenAsked) {
    TempDir dir;
    std::string error;
    EXPECT_EQ(dacOpen(sqliteText(dir), &error), nullptr);
    EXPECT_NE(error.find("n.db"), std::string::npos) << error;
    EXPECT_FALSE(fileExists(dir.file("n.db")));
    EXPECT_EQ(dacOpen(sqliteText(dir, "CREATE=perhaps"), &error), nullptr);
    EXPECT_EQ(dacOpen(sqliteText(dir, "CREATE=TRUE;UID=me"), &error), nullptr);
    EXPECT_NE(error.find("UID"), std::string::npos);

    ConnPtr c(dacOpen(sqliteText(dir, "CREATE=TRUE"), &error));
    ASSERT_TRUE(c) << error;
    EXPECT_TRUE(fileExists(dir.file("n.db")));
    EXPECT_EQ(dacScalar(c.get(), "PRAGMA journal_mode"), "delete");
    EXPECT_EQ(dacScalar(c.get(), "PRAGMA synchronous"), "2");
    c.reset();
    ConnPtr again(dacOpen(sqliteText(dir), &error));
    EXPECT_TRUE(again) << error;

    // A file that is not a database fails at once, with a path that needs braces.
    std::string odd = dir.file("not;a db");
    writeFile(odd, "this is plain text, not a database file at all............................");
    EXPECT_EQ(dacOpen("VQXTYPE=SQLITE;FILE={" + odd + "}", &error), nullptr);
    EXPECT_NE(error.find("not a database"), std::string::npos) << error;
}

TEST(DacNative, OneStatementPerPrepareAndSeveralPerDirectRun) {
    TempDir dir;
    ConnPtr c(dacOpen(sqliteText(dir, "CREATE=TRUE")));
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->executeDirect(VqbString("CREATE TABLE a (x INTEGER); CREATE TABLE b (y INTEGER);"), 0));
    EXPECT_EQ(c->prepare(VqbString("DELETE FROM a; DROP TABLE b")), nullptr);
    EXPECT_NE(c->getErrorText().str().find("more than one"), std::string::npos);
    EXPECT_EQ(dacScalar(c.get(), "SELECT COUNT(*) FROM sqlite_master WHERE name = 'b'"), "1");
    EXPECT_EQ(c->prepare(VqbString("   ")), nullptr);
    EXPECT_TRUE(c->setCatalog(VqbString("main")));
    EXPECT_FALSE(c->setCatalog(VqbString("other")));
}

TEST(DacNative, StandInKindsAndModes) {
    TempDir dir;
    ConnPtr c(dacOpen(sqliteText(dir, "CREATE=TRUE;VQXKIND=14;VQXMODE=2")));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->getDbmsKind(), 14);
    EXPECT_EQ(c->getConnectionMode(), 2);
    // Kind 12 keeps names apart by case: a table stored in lower case is found only so.
    ASSERT_TRUE(c->executeDirect(VqbString("CREATE TABLE frqdst7 (fr_value VARCHAR(10))"), 0));
    c.reset();
    ConnPtr k12(dacOpen(sqliteText(dir, "VQXKIND=12")));
    ASSERT_TRUE(k12);
    EXPECT_EQ(k12->openTable(VqbString("FRQDST7"), VqbString(""), VqbString("")), nullptr);
    TablePtr lower(k12->openTable(VqbString("frqdst7"), VqbString(""), VqbString("")));
    EXPECT_TRUE(lower);
    ConnPtr plain(dacOpen(sqliteText(dir)));
    TablePtr any(plain->openTable(VqbString("FRQDST7"), VqbString(""), VqbString("")));
    ASSERT_TRUE(any);
    EXPECT_EQ(any->getName().str(), "frqdst7");
    EXPECT_EQ(plain->getDbmsKind(), DAC_DBMS_SQLITE);
}

TEST(DacNative, ALostTransactionIsNotReportedCommitted) {
    TempDir dir;
    ConnPtr c(dacOpen(sqliteText(dir, "CREATE=TRUE")));
    ASSERT_TRUE(c);
    ASSERT_TRUE(c->executeDirect(VqbString("CREATE TABLE t (x INTEGER)"), 0));
    ASSERT_TRUE(c->beginTransaction());
    ASSERT_TRUE(c->executeDirect(VqbString("INSERT INTO t VALUES (1)"), 0));
    // The statement's own ROLLBACK ends the transaction behind the connection's back.
    EXPECT_TRUE(c->executeDirect(VqbString("ROLLBACK"), 0));
    EXPECT_FALSE(c->endTransaction(true));
    EXPECT_NE(c->getErrorText().str().find("nothing was committed"), std::string::npos) << c->getErrorText().str();
    EXPECT_FALSE(c->isInTransaction());
    EXPECT_TRUE(c->beginTransaction());
    EXPECT_TRUE(c->endTransaction(true));
}

TEST(DacPostgres, FailedStatementNeverTakesTheTransactionWithIt) {
    REPOS_REQUIRE_PG();
    // The driver's option asks for the whole transaction to be rolled back on an error, given
    // in the text or in a user data source named by it; the connector overrides it.
    DacConnText server;
    std::string error;
    ASSERT_TRUE(server.parse(pgConnection(), error)) << error;
    TempDir dir;
    writeFile(dir.file("odbc.ini"), "[repos_dac_test]\nDriver=" + server.get("DRIVER") +
                                        "\nServername=" + server.get("SERVER") + "\nPort=" + server.get("PORT") +
                                        "\nDatabase=" + server.get("DATABASE") + "\nUsername=" + server.get("UID") +
                                        "\nProtocol=7.4-1\n");
    setenv("ODBCINI", dir.file("odbc.ini").c_str(), 1);
    for (const std::string& text : {pgConnection() + "Protocol=7.4-1;", std::string("DSN=repos_dac_test;")}) {
        ConnPtr c(dacOpen(text, &error));
        ASSERT_TRUE(c) << error;
        ASSERT_TRUE(c->executeDirect(VqbString("DROP TABLE IF EXISTS dac_pg_rollback"), 0));
        ASSERT_TRUE(c->executeDirect(VqbString("CREATE TABLE dac_pg_rollback (id INTEGER PRIMARY KEY)"), 0));
        ASSERT_TRUE(c->beginTransaction());
        ASSERT_TRUE(c->executeDirect(VqbString("INSERT INTO dac_pg_rollback VALUES (1)"), 0));
        EXPECT_FALSE(c->executeDirect(VqbString("INSERT INTO dac_pg_rollback VALUES (1)"), 0));
        ASSERT_TRUE(c->executeDirect(VqbString("INSERT INTO dac_pg_rollback VALUES (2)"), 0)) << c->getErrorText().str();
        ASSERT_TRUE(c->endTransaction(true));
        EXPECT_EQ(dacScalar(c.get(), "SELECT COUNT(*) FROM dac_pg_rollback"), "2") << text;
    }
    unsetenv("ODBCINI");
}

TEST(DacPostgres, UnquotedNamesFoldToLowerCase) {
    REPOS_REQUIRE_PG();
    ConnPtr c(dacOpen(pgConnection() + "VQXKIND=9;"));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->getDbmsKind(), 9);
    c.reset(dacOpen(pgConnection()));
    ASSERT_TRUE(c);
    c->executeDirect(VqbString("DROP TABLE IF EXISTS \"DAC_FOLD_T\""), 0);
    TablePtr t(c->openTable(VqbString(""), VqbString(""), VqbString("")));
    t->setName(VqbString("DAC_FOLD_T"));
    t->addColumn(VqbString("v_key"), VQB_TYPE_STRING, 255);
    t->addColumn(VqbString("v_value"), VQB_TYPE_STRING, 255);
    ASSERT_TRUE(c->executeDirect(t->getCreateTableText(), 0)) << c->getErrorText().str();
    EXPECT_TRUE(
        c->executeDirect(VqbString("INSERT INTO \"DAC_FOLD_T\" (V_KEY, V_VALUE) VALUES ('MAX_TEXT_LEN', '2000')"), 0))
        << c->getErrorText().str();
    EXPECT_EQ(dacScalar(c.get(), "SELECT V_VALUE FROM \"DAC_FOLD_T\" WHERE V_KEY = 'MAX_TEXT_LEN'"), "2000");
    EXPECT_EQ(c->openTable(VqbString("dac_fold_t"), VqbString(""), VqbString("")), nullptr);
    c->executeDirect(VqbString("DROP TABLE \"DAC_FOLD_T\""), 0);
}
