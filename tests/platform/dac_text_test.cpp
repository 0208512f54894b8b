// Connection texts, password masking, the bulk loader's statement and the builder's DDL texts.
#include "dac_fixture.h"
#include "dacimpl.h"

TEST(DacMask, PasswordsNeverSurvive) {
    struct {
        const char *in, *out;
    } cases[] = {
        {"DSN=pg;UID=me;PWD=s3cret;", "DSN=pg;UID=me;PWD=***;"},
        {"DSN=pg;pwd=s3cret", "DSN=pg;pwd=***"},
        {"DSN=pg; Password = s3cret ;UID=x", "DSN=pg; Password = ***;UID=x"},
        {"PWD={a;b}}c};UID=x", "PWD=***;UID=x"},
        {"PWD={never closed;UID=x", "PWD=***"},
        {"PWD=ab;cd;UID=x", "PWD=***;***;UID=x"},
        {"PWD=;UID=x", "PWD=***;UID=x"},
        {"DSN=pg;PWDX=kept;XPWD=kept", "DSN=pg;PWDX=kept;XPWD=kept"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(dacMaskConnectionText(VqbString(c.in)).str(), c.out) << c.in;
    EXPECT_TRUE(dacMaskConnectionText(VqbString()).isNull());
    // Error texts lose a password wherever it appears, not only after its key.
    DacSecrets secrets({"s3cret"});
    EXPECT_EQ(secrets.scrub(VqbString("login s3cret refused; PWD=s3cret")).str(), "login *** refused; PWD=***");
}

TEST(DacConnText, ParsesBracesAndRejectsMalformedTexts) {
    DacConnText t;
    std::string error;
    ASSERT_TRUE(t.parse("DSN=pg; UID = me ;PWD={x;y}}z};empty=;", error)) << error;
    EXPECT_EQ(t.get("dsn"), "pg");
    EXPECT_EQ(t.get("UID"), "me");
    EXPECT_EQ(t.get("PWD"), "x;y}z");
    EXPECT_TRUE(t.has("EMPTY"));
    EXPECT_EQ(t.secrets(), std::vector<std::string>{"x;y}z"});
    // Written back, braces are kept where the value needs them.
    DacConnText again;
    ASSERT_TRUE(again.parse(t.toString(), error));
    EXPECT_EQ(again.get("PWD"), "x;y}z");
    t.set("VQXKIND", "9");
    t.removePrefix("vqx");
    EXPECT_FALSE(t.has("VQXKIND"));

    for (const char* bad : {"DSN=pg;junk", "=value", "PWD={open", "PWD={a}b;DSN=x"}) {
        EXPECT_FALSE(t.parse(bad, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    // The part without '=' may be a piece of a password: it is not quoted back.
    t.parse("PWD=ab;cd;DSN=x", error);
    EXPECT_EQ(error.find("cd"), std::string::npos);
}

TEST(DacDataSource, CheckedTextsAndInfoWithoutPassword) {
    DacDataSource* ds = dacCreateDataSource(0);
    VqbString info;
    ASSERT_TRUE(ds->configure(VqbString("DSN=nosuch;UID=me;PWD=s3cret;VQXKIND=9"), info, 0, 0));
    EXPECT_EQ(info.str().find("s3cret"), std::string::npos);
    struct {
        const char *text, *why;
    } bad[] = {
        {"UID=me;PWD=x", "no DSN"},
        {"VQXTYPE=ORACLE;DSN=x", "VQXTYPE"},
        {"VQXTYPE=SQLITE;CREATE=TRUE", "FILE"},
        {"DSN=x;VQXKIND=nine", "VQXKIND"},
        {"DSN=x;VQXMODE=-1", "VQXMODE"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(ds->configure(VqbString(b.text), info, 0, 0)) << b.text;
        EXPECT_NE(ds->getErrorText().str().find(b.why), std::string::npos) << ds->getErrorText().str();
    }
    // Info of another data source does not open anything.
    EXPECT_EQ(ds->openConnection(VqbString("VQXCFG=1;DSN=nosuch;"), 0, 0), nullptr);
    ds->destroy();
}

TEST(DacDataSource, FailedConnectReportsAndLogsWithoutPassword) {
    LogCapture log(1);
    std::string error;
    EXPECT_EQ(dacOpen("DSN=repos_no_such_dsn;UID=me;PWD=Pa55word!", &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find("Pa55word!"), std::string::npos) << error;
    EXPECT_EQ(dacOpen("DRIVER=/nonexistent/libdriver.so;PWD=Pa55word!", &error), nullptr);
    EXPECT_EQ(error.find("Pa55word!"), std::string::npos) << error;
    EXPECT_FALSE(log.contains("Pa55word!"));
    EXPECT_TRUE(log.contains("PWD=***"));
}

TEST(DacBulkText, InsertFromSelectKeepsIdentifiersAndRefusesTheRest) {
    std::string head, markers, error;
    int columns = 0;
    ASSERT_TRUE(dacBulkInsertText("select \"fr_value\", fr_count ,\"we\"\"ird\" FROM \"S\".\"P_FRQDST1\"", "\"", head,
                                  markers, columns, error))
        << error;
    EXPECT_EQ(head, "INSERT INTO \"S\".\"P_FRQDST1\" (\"fr_value\", fr_count, \"we\"\"ird\") VALUES ");
    EXPECT_EQ(markers, "?, ?, ?");
    EXPECT_EQ(columns, 3);
    for (const char* bad : {"", "SELECT", "SELECT a", "SELECT a FROM", "SELECT a, FROM t", "SELECT a FROM t.",
                            "SELECT * FROM t", "SELECT a FROM t -- x", "SELECT a FROM t;", "SELECT a FROM t1, t2",
                            "SELECT \"\" FROM t", "INSERT a FROM t", "SELECT a FROM 't'"}) {
        EXPECT_FALSE(dacBulkInsertText(bad, "\"", head, markers, columns, error)) << bad;
    }
}

TEST(DacBuilder, TextsOfEachDialectQuoteHostileNames) {
    struct {
        DacDialectId dialect;
        const char *schema, *create, *index;
    } dialects[] = {
        {DAC_DIALECT_POSTGRESQL, "S",
         "CREATE TABLE \"S\".\"P_RULE\" (ru_id BIGINT NOT NULL, ru_when DOUBLE PRECISION, \"ru \"\"x\"\"\" "
         "VARCHAR(1), PRIMARY KEY (ru_id))",
         "CREATE INDEX \"idx\" ON \"S\".\"P_RULE\" (\"ru \"\"x\"\"\")"},
        {DAC_DIALECT_SQLITE, "aux",
         "CREATE TABLE \"aux\".\"P_RULE\" (ru_id INTEGER NOT NULL, ru_when REAL, \"ru \"\"x\"\"\" VARCHAR(1), "
         "PRIMARY KEY (ru_id))",
         "CREATE INDEX \"aux\".\"idx\" ON \"P_RULE\" (\"ru \"\"x\"\"\")"},
    };
    for (const auto& d : dialects) {
        TablePtr t(new DacTable(dacDialect(d.dialect), false));
        t->setName(VqbString("P_RULE"));
        t->setSchema(VqbString(d.schema));
        t->addColumn(VqbString("ru_id"), 2, 0)->primaryKey = true;
        t->addColumn(VqbString("ru_when"), 5, 0);
        t->addColumn(VqbString("ru \"x\""), 1, 1)->indexMark = true;
        EXPECT_EQ(t->getCreateTableText().str(), d.create);
        EXPECT_EQ(t->getCreateIndexText(0, VqbString("idx")).str(), d.index);
        EXPECT_TRUE(t->getCreateIndexText(1, VqbString("idx")).isNull());
        EXPECT_EQ(t->addColumn(VqbString(""), 2, 0), nullptr);
        EXPECT_EQ(t->addColumn(VqbString("n"), 0, 0), nullptr);
        // A type text replaced by the caller is written as given, and the text ends with the
        // column list so a clause can follow it.
        t->getColumn(0)->typeText = VqbString("INTEGER GENERATED BY DEFAULT AS IDENTITY");
        t->getColumn(0)->primaryKey = false;
        EXPECT_NE(t->getCreateTableText().str().find("(ru_id INTEGER GENERATED BY DEFAULT AS IDENTITY, "),
                  std::string::npos);
        EXPECT_EQ(t->getCreateTableText().str().back(), ')');
        t->setName(VqbString("x\"; DROP TABLE y; --"));
        EXPECT_EQ(t->getDropTableText().str(),
                  "DROP TABLE \"" + std::string(d.schema) + "\".\"x\"\"; DROP TABLE y; --\"");
    }

    // A column added to an existing table cannot be NOT NULL without a default.
    TablePtr e(new DacTable(dacDialect(DAC_DIALECT_SQLITE), true));
    e->setName(VqbString("T"));
    e->addColumn(VqbString("b"), 4, 20)->notNull = true;
    ASSERT_EQ(e->getAddedColumnCount(), 1);
    EXPECT_EQ(e->getAddColumnText(0).str(), "ALTER TABLE \"T\" ADD COLUMN b VARCHAR(20)");
}
