// Writing a value back into a mapped source row: a separate SQLite file and a PostgreSQL table,
// each with a composite key.

#include "fieldmapping_fixture.h"
#include "vqbmessage.h"

namespace {

const int kSqliteFile = 2;  // connection type: the data source is a SQLite file
const int kConnectionText = 3;

std::string msg(unsigned number) { return reposMessage(number).str(); }

class WriteBack : public FieldMappingTest {
protected:
    void SetUp() override {
        FieldMappingTest::SetUp();
        path = sourceDir.file("source.db");
        source.reset(new SourceDb("VQXTYPE=SQLITE;FILE=" + path + ";CREATE=TRUE;"));
        ASSERT_TRUE(source->ok());
        for (const char* table : {"ACCOUNTS", "OTHER"}) {
            ASSERT_TRUE(
                source->exec(std::string("CREATE TABLE ") + table +
                             " (REGION TEXT, NUM INTEGER, BALANCE TEXT, NOTE TEXT, PRIMARY KEY (REGION, NUM))"));
            ASSERT_TRUE(source->exec(std::string("INSERT INTO ") + table +
                                     " VALUES ('north', 1, '10', 'a'), ('north', 2, '20', 'b'), "
                                     "('south', 1, '30', 'c'), ('south', 2, '40', 'd')"));
        }
        id = addMapping("Accounts");
        mapping = open(id);
        ASSERT_TRUE(mapping);
        ASSERT_TRUE(map("REGION", true) && map("NUM", true) && map("BALANCE", false));
    }
    void TearDown() override {
        mapping.reset();
        source.reset();
    }

    bool map(const char* field, bool isKey, const char* table = "ACCOUNTS", const char* schema = "",
             FieldMappingObject* target = nullptr) {
        VqbString error;
        bool ok =
            (target ? target : mapping.get())->addField(&error, path, "", schema, table, field, isKey, kSqliteFile);
        EXPECT_TRUE(ok) << field << ": " << error.str();
        return ok;
    }
    bool write(const VqbDatavar& value, std::vector<FieldMappingKey> keys, const char* table = "ACCOUNTS",
               const char* schema = "", FieldMappingObject* target = nullptr) {
        error = "";
        return (target ? target : mapping.get())
            ->updateSourceValue(&error, value, path, "", schema, table, kSqliteFile, static_cast<int>(keys.size()),
                                keys.data());
    }
    Rows all(const char* table = "ACCOUNTS") {
        return source->rows(std::string("SELECT REGION, NUM, BALANCE, NOTE FROM ") + table + " ORDER BY REGION, NUM");
    }

    TempDir sourceDir;
    std::string path;
    std::unique_ptr<SourceDb> source;
    int id = 0;
    ReposHeld<FieldMappingObject> mapping;
    VqbString error;
};

}  // namespace

TEST_F(WriteBack, AValueGoesIntoTheOneRowItsKeysNameAndNowhereElse) {
    Rows accounts = all(), other = all("OTHER");
    // Key names ignore case and come in any order.
    ASSERT_TRUE(write(VqbDatavar("99"), {{"num", VqbDatavar(2)}, {"Region", VqbDatavar("south")}})) << error.str();
    accounts[3][2] = "99";
    EXPECT_EQ(all(), accounts);
    EXPECT_EQ(all("OTHER"), other);

    // A value of another type and a null value are bound, not pasted.
    ASSERT_TRUE(write(VqbDatavar("x' WHERE 1=1; --"), {{"REGION", VqbDatavar("north")}, {"NUM", VqbDatavar(1)}}))
        << error.str();
    ASSERT_TRUE(write(VqbDatavar(), {{"REGION", VqbDatavar("north")}, {"NUM", VqbDatavar(2)}})) << error.str();
    accounts[0][2] = "x' WHERE 1=1; --";
    accounts[1][2] = "<null>";
    EXPECT_EQ(all(), accounts);
    EXPECT_EQ(all("OTHER"), other);
}

TEST_F(WriteBack, RefusedWritesLeaveTheSourceAsItWas) {
    Rows before = all();
    struct Case {
        const char* what;
        std::vector<FieldMappingKey> keys;
        const char* table;
        const char* schema;
        std::string expected;
    };
    std::vector<Case> cases = {
        {"table not mapped", {{"REGION", VqbDatavar("south")}, {"NUM", VqbDatavar(1)}}, "OTHER", "", msg(678)},
        {"schema not mapped", {{"REGION", VqbDatavar("south")}, {"NUM", VqbDatavar(1)}}, "ACCOUNTS", "main", msg(678)},
        {"a key missing", {{"REGION", VqbDatavar("south")}}, "ACCOUNTS", "", reposMessage(1930, "NUM").str()},
        {"the value field as a key",
         {{"REGION", VqbDatavar("south")}, {"NUM", VqbDatavar(1)}, {"BALANCE", VqbDatavar("30")}},
         "ACCOUNTS",
         "",
         msg(678)},
        {"an unknown key",
         {{"REGION", VqbDatavar("south")}, {"NUM", VqbDatavar(1)}, {"ID", VqbDatavar(1)}},
         "ACCOUNTS",
         "",
         msg(678)},
        {"a key twice",
         {{"REGION", VqbDatavar("south")}, {"region", VqbDatavar("north")}, {"NUM", VqbDatavar(1)}},
         "ACCOUNTS",
         "",
         reposMessage(1932, "region").str()},
        {"no such row", {{"REGION", VqbDatavar("east")}, {"NUM", VqbDatavar(1)}}, "ACCOUNTS", "", msg(1934)},
        {"a null key", {{"REGION", VqbDatavar()}, {"NUM", VqbDatavar(1)}}, "ACCOUNTS", "", msg(1934)},
    };
    LogCapture log;
    for (const Case& c : cases) {
        EXPECT_FALSE(write(VqbDatavar("bad"), c.keys, c.table, c.schema)) << c.what;
        EXPECT_EQ(error.str(), c.expected) << c.what;
        EXPECT_TRUE(log.contains(c.expected, 5)) << c.what;
        EXPECT_EQ(all(), before) << c.what;
    }
    EXPECT_EQ(all("OTHER")[0][2], "10");

    // Another data source or connection type is another source, even over the same file.
    FieldMappingKey keys[] = {{"REGION", VqbDatavar("south")}, {"NUM", VqbDatavar(1)}};
    EXPECT_FALSE(
        mapping->updateSourceValue(&error, VqbDatavar("bad"), path, "", "", "ACCOUNTS", kConnectionText, 2, keys));
    EXPECT_EQ(error.str(), msg(678));
    EXPECT_FALSE(
        mapping->updateSourceValue(&error, VqbDatavar("bad"), path + ".x", "", "", "ACCOUNTS", kSqliteFile, 2, keys));
    EXPECT_EQ(error.str(), msg(678));
    // No keys, and a count without keys, name none of the key fields.
    auto aKeyMissing = [&] {
        return error.str() == reposMessage(1930, "REGION").str() || error.str() == reposMessage(1930, "NUM").str();
    };
    EXPECT_FALSE(write(VqbDatavar("bad"), {}));
    EXPECT_TRUE(aKeyMissing()) << error.str();
    EXPECT_FALSE(
        mapping->updateSourceValue(&error, VqbDatavar("bad"), path, "", "", "ACCOUNTS", kSqliteFile, 2, nullptr));
    EXPECT_TRUE(aKeyMissing()) << error.str();
    EXPECT_EQ(all(), before);
}

TEST_F(WriteBack, KeysThatDoNotSingleOutOneRowWriteNothing) {
    Rows before = all();
    int regionOnly = addMapping("By region");
    auto byRegion = open(regionOnly);
    ASSERT_TRUE(byRegion);
    ASSERT_TRUE(map("REGION", true, "ACCOUNTS", "", byRegion.get()) &&
                map("NOTE", false, "ACCOUNTS", "", byRegion.get()));
    EXPECT_FALSE(write(VqbDatavar("both"), {{"REGION", VqbDatavar("north")}}, "ACCOUNTS", "", byRegion.get()));
    EXPECT_EQ(error.str(), reposMessage(1935, 2).str());
    EXPECT_EQ(all(), before);
    // The source connection was not left inside the refused write.
    ASSERT_TRUE(write(VqbDatavar("55"), {{"REGION", VqbDatavar("south")}, {"NUM", VqbDatavar(1)}})) << error.str();
    before[2][2] = "55";
    EXPECT_EQ(all(), before);
}

TEST_F(WriteBack, ATableWithoutOneValueFieldOrWithoutKeysIsRefused) {
    Rows before = all();
    // A second value field can only come from outside the mapping object.
    ASSERT_TRUE(
        repo.exec("INSERT INTO MAPCON (MAP_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_PK, MAP_TYPE) "
                  "VALUES (?, ?, '', '', 'ACCOUNTS', 'NOTE', 0, ?)",
                  {VqbDatavar(id), VqbDatavar(path), VqbDatavar(kSqliteFile)}));
    EXPECT_FALSE(write(VqbDatavar("bad"), {{"REGION", VqbDatavar("south")}, {"NUM", VqbDatavar(1)}}));
    EXPECT_EQ(error.str(), msg(678));

    int keysOnly = addMapping("Keys only");
    auto noValue = open(keysOnly);
    ASSERT_TRUE(noValue);
    ASSERT_TRUE(map("REGION", true, "ACCOUNTS", "", noValue.get()));
    EXPECT_FALSE(write(VqbDatavar("bad"), {{"REGION", VqbDatavar("south")}}, "ACCOUNTS", "", noValue.get()));
    EXPECT_EQ(error.str(), msg(678));

    // Without a key every row would match.
    int valueOnly = addMapping("Value only");
    auto noKeys = open(valueOnly);
    ASSERT_TRUE(noKeys);
    ASSERT_TRUE(map("NOTE", false, "ACCOUNTS", "", noKeys.get()));
    EXPECT_FALSE(write(VqbDatavar("bad"), {}, "ACCOUNTS", "", noKeys.get()));
    EXPECT_EQ(error.str(), msg(1931));
    EXPECT_EQ(all(), before);
}

TEST_F(WriteBack, HostileNamesAreRefusedBeforeAnythingRuns) {
    Rows before = all(), other = all("OTHER");
    struct Case {
        const char* schema;
        const char* table;
        const char* value;
        const char* key;
        const char* bad;
    };
    const Case cases[] = {
        {"", "ACCOUNTS\" SET BALANCE='x'; DROP TABLE OTHER; --", "BALANCE", "REGION",
         "ACCOUNTS\" SET BALANCE='x'; DROP TABLE OTHER; --"},
        {"", "ACCOUNTS", "BALANCE\"='x' --", "REGION", "BALANCE\"='x' --"},
        {"", "ACCOUNTS", "BALANCE", "REGION\" OR \"1\"=\"1", "REGION\" OR \"1\"=\"1"},
        {"", "ACCOUNTS", "BALANCE", "REGION;", "REGION;"},
        {"", "ACCOUNTS", "it's", "REGION", "it's"},
        {"", "ACCOUNTS", "BALANCE", "REG`ION", "REG`ION"},
        {"", "ACCOUNTS", "BALANCE", "REGION\n", "REGION\n"},
        {"main\"; DROP TABLE OTHER; --", "ACCOUNTS", "BALANCE", "REGION", "main\"; DROP TABLE OTHER; --"},
        {"", "ACCOUNTS", "", "REGION", ""},
    };
    for (const Case& c : cases) {
        int hostile = addMapping("Hostile");
        auto target = open(hostile);
        ASSERT_TRUE(target);
        VqbString addError;
        ASSERT_TRUE(target->addField(&addError, path, "", c.schema, c.table, c.key, true, kSqliteFile))
            << addError.str();
        ASSERT_TRUE(target->addField(&addError, path, "", c.schema, c.table, c.value, false, kSqliteFile))
            << addError.str();
        EXPECT_FALSE(write(VqbDatavar("x"), {{c.key, VqbDatavar("south")}}, c.table, c.schema, target.get())) << c.bad;
        EXPECT_EQ(error.str(), reposMessage(1933, c.bad).str());
        EXPECT_EQ(all(), before) << c.bad;
        EXPECT_EQ(all("OTHER"), other) << c.bad;
    }
}

TEST_F(WriteBack, NamesThatNeedQuotingAreQuoted) {
    ASSERT_TRUE(
        source->exec("CREATE TABLE \"order items\" (\"line no\" INTEGER, \"order\" TEXT, \"unit price\" TEXT)"));
    ASSERT_TRUE(
        source->exec("INSERT INTO \"order items\" VALUES (1, 'A', '1.00'), (2, 'A', '2.00'), (1, 'B', '3.00')"));
    ASSERT_TRUE(map("line no", true, "order items", "main") && map("order", true, "order items", "main") &&
                map("unit price", false, "order items", "main"));
    ASSERT_TRUE(
        write(VqbDatavar("9.50"), {{"order", VqbDatavar("A")}, {"line no", VqbDatavar(2)}}, "order items", "main"))
        << error.str();
    EXPECT_EQ(source->rows("SELECT \"line no\", \"order\", \"unit price\" FROM \"order items\" ORDER BY 2, 1"),
              (Rows{{"1", "A", "1.00"}, {"2", "A", "9.50"}, {"1", "B", "3.00"}}));
}

TEST_F(WriteBack, ASourceThatCannotBeReachedOrSetUpIsAFailure) {
    Rows before = all();
    std::string missing = sourceDir.file("missing.db");
    int elsewhere = addMapping("Elsewhere");
    auto target = open(elsewhere);
    ASSERT_TRUE(target);
    VqbString addError;
    ASSERT_TRUE(target->addField(&addError, missing, "", "", "T", "K", true, kSqliteFile));
    ASSERT_TRUE(target->addField(&addError, missing, "", "", "T", "V", false, kSqliteFile));
    FieldMappingKey key{"K", VqbDatavar(1)};
    EXPECT_FALSE(target->updateSourceValue(&error, VqbDatavar("x"), missing, "", "", "T", kSqliteFile, 1, &key));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(fileExists(missing));

    // The native SQLite driver has no catalog but "main".
    ASSERT_TRUE(target->addField(&addError, path, "other", "", "ACCOUNTS", "REGION", true, kSqliteFile));
    ASSERT_TRUE(target->addField(&addError, path, "other", "", "ACCOUNTS", "BALANCE", false, kSqliteFile));
    key = {"REGION", VqbDatavar("south")};
    error = "";
    EXPECT_FALSE(
        target->updateSourceValue(&error, VqbDatavar("x"), path, "other", "", "ACCOUNTS", kSqliteFile, 1, &key));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(all(), before);
}

TEST(WriteBackPostgres, AValueGoesIntoTheRowOfACompositeKeyAndNowhereElse) {
    REPOS_REQUIRE_PG();
    std::string schema = "fm_" + uniqueTestPrefix('s');
    SourceDb pg(pgConnection());
    ASSERT_TRUE(pg.ok());
    ASSERT_TRUE(pg.exec("CREATE SCHEMA " + schema));
    struct DropSchema {
        SourceDb& pg;
        std::string schema;
        ~DropSchema() { pg.exec("DROP SCHEMA " + schema + " CASCADE"); }
    } dropSchema{pg, schema};
    for (const char* table : {"accounts", "other"}) {
        ASSERT_TRUE(pg.exec("CREATE TABLE " + schema + "." + table +
                            " (region VARCHAR(20), num INTEGER, balance VARCHAR(40), note VARCHAR(40), "
                            "PRIMARY KEY (region, num))"));
        ASSERT_TRUE(pg.exec("INSERT INTO " + schema + "." + table +
                            " VALUES ('north', 1, '10', 'a'), ('north', 2, '20', 'b'), ('south', 1, '30', 'c'), "
                            "('south', 2, '40', 'd')"));
    }
    auto all = [&](const char* table) {
        return pg.rows("SELECT region, num, balance, note FROM " + schema + "." + table + " ORDER BY region, num");
    };
    Rows accounts = all("accounts"), other = all("other");

    ReposTestRepository repo;
    ReposHeld<FieldMappingAdminImpl> admin(new FieldMappingAdminImpl());
    admin->initialise(repo.connection());
    VqbString error;
    int id = -1;
    ASSERT_TRUE(admin->addFieldMapping(&error, "Ledger", "", "ann", 0, &id)) << error.str();
    ReposHeld<FieldMappingObject> mapping(admin->openFieldMapping(&error, id));
    ASSERT_TRUE(mapping) << error.str();
    const std::string dsn = pgConnection();
    for (auto field : {std::make_pair("region", true), std::make_pair("num", true), std::make_pair("balance", false)})
        ASSERT_TRUE(mapping->addField(&error, dsn, "", schema, "accounts", field.first, field.second, kConnectionText))
            << error.str();

    FieldMappingKey keys[] = {{"NUM", VqbDatavar(1)}, {"REGION", VqbDatavar("south")}};
    ASSERT_TRUE(
        mapping->updateSourceValue(&error, VqbDatavar("31.5"), dsn, "", schema, "accounts", kConnectionText, 2, keys))
        << error.str();
    accounts[2][2] = "31.5";
    EXPECT_EQ(all("accounts"), accounts);
    EXPECT_EQ(all("other"), other);

    // A row that is not there, and a hostile table name, write nothing.
    FieldMappingKey absent[] = {{"region", VqbDatavar("south")}, {"num", VqbDatavar(9)}};
    EXPECT_FALSE(
        mapping->updateSourceValue(&error, VqbDatavar("x"), dsn, "", schema, "accounts", kConnectionText, 2, absent));
    EXPECT_EQ(error.str(), msg(1934));
    std::string hostile = "accounts\" SET balance='x'; DROP TABLE " + schema + ".other; --";
    ASSERT_TRUE(mapping->addField(&error, dsn, "", schema, hostile, "region", true, kConnectionText));
    ASSERT_TRUE(mapping->addField(&error, dsn, "", schema, hostile, "balance", false, kConnectionText));
    FieldMappingKey one[] = {{"region", VqbDatavar("south")}};
    EXPECT_FALSE(
        mapping->updateSourceValue(&error, VqbDatavar("x"), dsn, "", schema, hostile, kConnectionText, 1, one));
    EXPECT_EQ(error.str(), reposMessage(1933, hostile.c_str()).str());
    EXPECT_EQ(all("accounts"), accounts);
    EXPECT_EQ(all("other"), other);
}
