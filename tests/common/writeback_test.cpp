// Writing a value back into a mapped source row: a separate SQLite file and a PostgreSQL table,
// each with a composite key.
#include "fieldmapping_fixture.h"
#include "vqbmessage.h"

namespace {

const int kSqliteFile = 2;  // connection type: the data source is a SQLite file
const int kConnectionText = 3;

std::string msg(unsigned number) { return reposMessage(number).str(); }

using Keys = std::vector<FieldMappingKey>;

// ACCOUNTS and OTHER, the same four rows each under a composite key; prefix names a schema.
bool makeTables(SourceDb& db, const std::string& prefix = "") {
    for (std::string table : {"ACCOUNTS", "OTHER"})
        if (!db.exec("CREATE TABLE " + prefix + table +
                     " (REGION VARCHAR(20), NUM INTEGER, BALANCE VARCHAR(40), NOTE VARCHAR(40), "
                     "PRIMARY KEY (REGION, NUM))") ||
            !db.exec("INSERT INTO " + prefix + table +
                     " VALUES ('north', 1, '10', 'a'), ('north', 2, '20', 'b'), ('south', 1, '30', 'c'), "
                     "('south', 2, '40', 'd')"))
            return false;
    return true;
}

Rows tableRows(SourceDb& db, const std::string& table) {
    return db.rows("SELECT REGION, NUM, BALANCE, NOTE FROM " + table + " ORDER BY REGION, NUM");
}

class WriteBack : public FieldMappingTest {
protected:
    void SetUp() override {
        FieldMappingTest::SetUp();
        path = sourceDir.file("source.db");
        source.reset(new SourceDb("VQXTYPE=SQLITE;FILE=" + path + ";CREATE=TRUE;"));
        ASSERT_TRUE(source->ok());
        ASSERT_TRUE(makeTables(*source));
        mapping = open(addMapping("Accounts"));
        ASSERT_TRUE(mapping);
        ASSERT_TRUE(map("REGION", true) && map("NUM", true) && map("BALANCE", false));
    }

    // A further mapping of its own over a table of the source.
    ReposHeld<FieldMappingObject> another(std::initializer_list<std::pair<const char*, bool>> fields,
                                          const char* table = "ACCOUNTS", const char* schema = "") {
        ReposHeld<FieldMappingObject> m = open(addMapping("Another"));
        for (auto [field, isKey] : fields)
            if (m) map(field, isKey, table, schema, m.get());
        return m;
    }
    bool map(const char* field, bool isKey, const char* table = "ACCOUNTS", const char* schema = "",
             FieldMappingObject* target = nullptr) {
        VqbString e;
        bool ok = (target ? target : mapping.get())->addField(&e, path, "", schema, table, field, isKey, kSqliteFile);
        EXPECT_TRUE(ok) << field << ": " << e.str();
        return ok;
    }
    bool write(const VqbDatavar& value, Keys keys, const char* table = "ACCOUNTS", const char* schema = "",
               FieldMappingObject* target = nullptr) {
        error = "";
        return (target ? target : mapping.get())
            ->updateSourceValue(&error, value, path, "", schema, table, kSqliteFile, static_cast<int>(keys.size()),
                                keys.data());
    }
    Rows all(const std::string& table = "ACCOUNTS") { return tableRows(*source, table); }

    TempDir sourceDir;
    std::string path;
    std::unique_ptr<SourceDb> source;
    ReposHeld<FieldMappingObject> mapping;
    VqbString error;
};

}  // namespace

TEST_F(WriteBack, AValueGoesIntoTheOneRowItsKeysNameAndNowhereElse) {
    Rows accounts = all(), other = all("OTHER");
    // Key names ignore case and come in any order; values are bound, never pasted; null is a value.
    ASSERT_TRUE(write(VqbDatavar("99"), {{"num", VqbDatavar(2)}, {"Region", VqbDatavar("south")}})) << error.str();
    ASSERT_TRUE(write(VqbDatavar("x' WHERE 1=1; --"), {{"REGION", VqbDatavar("north")}, {"NUM", VqbDatavar(1)}}))
        << error.str();
    ASSERT_TRUE(write(VqbDatavar(), {{"REGION", VqbDatavar("north")}, {"NUM", VqbDatavar(2)}})) << error.str();
    accounts[3][2] = "99";
    accounts[0][2] = "x' WHERE 1=1; --";
    accounts[1][2] = "<null>";
    EXPECT_EQ(all(), accounts);
    EXPECT_EQ(all("OTHER"), other);
}

TEST_F(WriteBack, RefusedWritesLeaveTheSourceAsItWas) {
    Rows before = all();
    const FieldMappingKey south{"REGION", VqbDatavar("south")}, one{"NUM", VqbDatavar(1)};
    struct Case {
        const char* what;
        Keys keys;
        const char *table, *schema;
        std::string expected;
    };
    const Case cases[] = {
        {"table not mapped", {south, one}, "OTHER", "", msg(678)},
        {"schema not mapped", {south, one}, "ACCOUNTS", "main", msg(678)},
        {"a key missing", {south}, "ACCOUNTS", "", reposMessage(1930, "NUM").str()},
        {"the value field as a key", {south, one, {"BALANCE", VqbDatavar("30")}}, "ACCOUNTS", "", msg(678)},
        {"an unknown key", {south, one, {"ID", VqbDatavar(1)}}, "ACCOUNTS", "", msg(678)},
        {"a key twice", {south, {"region", VqbDatavar("north")}, one}, "ACCOUNTS", "",
         reposMessage(1932, "region").str()},
        {"no such row", {{"REGION", VqbDatavar("east")}, one}, "ACCOUNTS", "", msg(1934)},
        {"a null key", {{"REGION", VqbDatavar()}, one}, "ACCOUNTS", "", msg(1934)},
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
    FieldMappingKey keys[] = {south, one};
    for (auto [dsn, type] : {std::pair{path, kConnectionText}, {path + ".x", kSqliteFile}}) {
        EXPECT_FALSE(mapping->updateSourceValue(&error, VqbDatavar("bad"), dsn, "", "", "ACCOUNTS", type, 2, keys));
        EXPECT_EQ(error.str(), msg(678));
    }
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

TEST_F(WriteBack, MappingsThatDoNotSingleOutOneRowOrOneValueWriteNothing) {
    Rows before = all();
    auto byRegion = another({{"REGION", true}, {"NOTE", false}});
    EXPECT_FALSE(write(VqbDatavar("both"), {{"REGION", VqbDatavar("north")}}, "ACCOUNTS", "", byRegion.get()));
    EXPECT_EQ(error.str(), reposMessage(1935, 2).str());
    auto noValue = another({{"REGION", true}});
    EXPECT_FALSE(write(VqbDatavar("bad"), {{"REGION", VqbDatavar("south")}}, "ACCOUNTS", "", noValue.get()));
    EXPECT_EQ(error.str(), msg(678));
    // Without a key every row would match.
    auto noKeys = another({{"NOTE", false}});
    EXPECT_FALSE(write(VqbDatavar("bad"), {}, "ACCOUNTS", "", noKeys.get()));
    EXPECT_EQ(error.str(), msg(1931));
    // A second value field can only come from outside the mapping object.
    ASSERT_TRUE(repo.exec("INSERT INTO MAPCON (MAP_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_PK, MAP_TYPE) "
                          "VALUES (?, ?, '', '', 'ACCOUNTS', 'NOTE', 0, ?)",
                          {VqbDatavar(byRegion->getId()), VqbDatavar(path), VqbDatavar(kSqliteFile)}));
    EXPECT_FALSE(write(VqbDatavar("bad"), {{"REGION", VqbDatavar("south")}}, "ACCOUNTS", "", byRegion.get()));
    EXPECT_EQ(error.str(), msg(678));
    EXPECT_EQ(all(), before);
    // The source connection was not left inside a refused write.
    ASSERT_TRUE(write(VqbDatavar("55"), {{"REGION", VqbDatavar("south")}, {"NUM", VqbDatavar(1)}})) << error.str();
    before[2][2] = "55";
    EXPECT_EQ(all(), before);
}

TEST_F(WriteBack, HostileNamesAreRefusedBeforeAnythingRuns) {
    Rows before = all(), other = all("OTHER");
    struct Case {
        const char *schema, *table, *value, *key, *bad;
    };
    const char* kTable = "ACCOUNTS\" SET BALANCE='x'; DROP TABLE OTHER; --";
    const char* kSchema = "main\"; DROP TABLE OTHER; --";
    const Case cases[] = {
        {"", kTable, "BALANCE", "REGION", kTable},
        {"", "ACCOUNTS", "BALANCE\"='x' --", "REGION", "BALANCE\"='x' --"},
        {"", "ACCOUNTS", "BALANCE", "REGION\" OR \"1\"=\"1", "REGION\" OR \"1\"=\"1"},
        {"", "ACCOUNTS", "BALANCE", "REGION;", "REGION;"},
        {"", "ACCOUNTS", "it's", "REGION", "it's"},
        {"", "ACCOUNTS", "BALANCE", "REG`ION", "REG`ION"},
        {"", "ACCOUNTS", "BALANCE", "REGION\n", "REGION\n"},
        {kSchema, "ACCOUNTS", "BALANCE", "REGION", kSchema},
        {"", "ACCOUNTS", "", "REGION", ""},
    };
    for (const Case& c : cases) {
        auto target = another({{c.key, true}, {c.value, false}}, c.table, c.schema);
        ASSERT_TRUE(target);
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
    // A file that is not there is not created; the native SQLite driver has no catalog but "main".
    const std::string missing = sourceDir.file("missing.db");
    auto target = open(addMapping("Elsewhere"));
    for (auto [dsn, catalog] : {std::pair{missing, ""}, {path, "other"}}) {
        for (auto [field, isKey] : {std::pair{"REGION", true}, {"BALANCE", false}})
            ASSERT_TRUE(target->addField(&error, dsn, catalog, "", "ACCOUNTS", field, isKey, kSqliteFile));
        FieldMappingKey key{"REGION", VqbDatavar("south")};
        error = "";
        EXPECT_FALSE(
            target->updateSourceValue(&error, VqbDatavar("x"), dsn, catalog, "", "ACCOUNTS", kSqliteFile, 1, &key));
        EXPECT_FALSE(error.isEmpty()) << dsn;
    }
    EXPECT_FALSE(fileExists(missing));
    EXPECT_EQ(all(), before);
}

using WriteBackPostgres = FieldMappingTest;

TEST_F(WriteBackPostgres, AValueGoesIntoTheRowOfACompositeKeyAndNowhereElse) {
    REPOS_REQUIRE_PG();
    const std::string schema = "fm_" + uniqueTestPrefix('s'), dsn = pgConnection();
    SourceDb pg(dsn);
    ASSERT_TRUE(pg.ok());
    ASSERT_TRUE(pg.exec("CREATE SCHEMA " + schema));
    struct DropSchema {
        SourceDb& pg;
        std::string schema;
        ~DropSchema() { pg.exec("DROP SCHEMA " + schema + " CASCADE"); }
    } dropSchema{pg, schema};
    ASSERT_TRUE(makeTables(pg, schema + "."));
    auto all = [&](const char* table) { return tableRows(pg, schema + "." + table); };
    Rows accounts = all("accounts"), other = all("other");

    auto mapping = open(addMapping("Ledger"));
    ASSERT_TRUE(mapping);
    VqbString error;
    auto write = [&](const std::string& table, const VqbDatavar& value, Keys keys) {
        return mapping->updateSourceValue(&error, value, dsn, "", schema, table, kConnectionText,
                                          static_cast<int>(keys.size()), keys.data());
    };
    // A hostile table name is mapped like any other, and refused when written.
    const std::string hostile = "accounts\" SET balance='x'; DROP TABLE " + schema + ".other; --";
    for (auto [table, field, isKey] : {std::tuple{"accounts", "region", true}, {"accounts", "num", true},
                                       {"accounts", "balance", false}, {hostile.c_str(), "region", true},
                                       {hostile.c_str(), "balance", false}})
        ASSERT_TRUE(mapping->addField(&error, dsn, "", schema, table, field, isKey, kConnectionText)) << error.str();

    ASSERT_TRUE(write("accounts", VqbDatavar("31.5"), {{"NUM", VqbDatavar(1)}, {"REGION", VqbDatavar("south")}}))
        << error.str();
    accounts[2][2] = "31.5";
    EXPECT_EQ(all("accounts"), accounts);
    EXPECT_EQ(all("other"), other);

    EXPECT_FALSE(write("accounts", VqbDatavar("x"), {{"region", VqbDatavar("south")}, {"num", VqbDatavar(9)}}));
    EXPECT_EQ(error.str(), msg(1934));
    EXPECT_FALSE(write(hostile, VqbDatavar("x"), {{"region", VqbDatavar("south")}}));
    EXPECT_EQ(error.str(), reposMessage(1933, hostile.c_str()).str());
    EXPECT_EQ(all("accounts"), accounts);
    EXPECT_EQ(all("other"), other);
}
