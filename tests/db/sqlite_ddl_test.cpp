// DDL of the SQLite back end, checked by reading the file back through SQLite's own PRAGMAs.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "db_fixture.h"
#include "vqbmessage.h"

namespace {

const ReposColumnDef kEnd = {"", nullptr, 0, 0, 0, 0, 0, 0, nullptr};

// Columns (name, declared type), primary key and indexes (name -> columns) of one table.
struct TableShape {
    std::vector<std::pair<std::string, std::string>> columns;
    std::vector<std::string> primaryKey;
    std::map<std::string, std::vector<std::string>> indexes;
};

// What the catalogue says the table must look like.
TableShape expectedTable(const ReposColumnDef* first) {
    TableShape t;
    ReposTableCursor cursor(first);
    for (ReposColumnView c; cursor.next(c);) {
        t.columns.emplace_back(c.name, c.type == VQB_TYPE_INT                             ? "INTEGER"
                                       : c.type == VQB_TYPE_REAL || c.type == VQB_TYPE_DATE ? "FLOAT"
                                                                                            : "VARCHAR");
        if (c.flags & REPOS_COL_PRIMARY)
            t.primaryKey.push_back(c.name);
        else if (c.flags & REPOS_COL_INDEXED)
            t.indexes["idx" + std::to_string(c.record->indexNumber)] = {c.name};
    }
    for (int i = 0; i < REPOS_INDEX_DEF_COUNT; ++i) {
        const ReposIndexDef* def = getReposIndexDef(i);
        if (std::strcmp(def->table, first->table) != 0) continue;
        auto& cols = t.indexes["idx_cpd" + std::to_string(def->number)];
        for (const char* col : def->columns)
            if (col) cols.push_back(col);
    }
    // A big string has a row per chunk: reference and chunk number form its key.
    if (std::strcmp(first->table, "BIGSTR") == 0) t.primaryKey = {"BS_REFID", "BS_SEQ"};
    return t;
}

// The same, read from the file with SQLite's PRAGMAs.
TableShape actualTable(RawDb& raw, const std::string& table) {
    TableShape t;
    std::map<int, std::string> keyOrder;
    for (auto& row : raw.rows("PRAGMA table_info(\"" + table + "\")")) {
        t.columns.emplace_back(row[1], row[2]);
        if (row[5] != "0") keyOrder[std::stoi(row[5])] = row[1];
    }
    for (auto& k : keyOrder) t.primaryKey.push_back(k.second);
    for (auto& index : raw.rows("PRAGMA index_list(\"" + table + "\")")) {
        if (index[3] != "c") continue;  // made by CREATE INDEX, not by a key
        for (auto& info : raw.rows("PRAGMA index_info(\"" + index[1] + "\")")) t.indexes[index[1]].push_back(info[2]);
    }
    return t;
}

void expectSameTable(const TableShape& expected, const TableShape& actual, const std::string& table) {
    EXPECT_EQ(actual.columns, expected.columns) << table;
    EXPECT_EQ(actual.primaryKey, expected.primaryKey) << table;
    EXPECT_EQ(actual.indexes, expected.indexes) << table;
}

int64_t tableCount(RawDb& raw) {
    return std::stoll(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type='table'"));
}

}  // namespace

TEST(SqliteDdl, NewFileGetsEveryCatalogueTableExactly) {
    TempDir dir;
    Recorder callback;
    Conn c(newRepository(dir.file("r.db"), &callback));
    ASSERT_TRUE(createCatalogue(c.get(), true, true)) << c->getLastErrorMessage().str();
    c.reset();

    RawDb raw(dir.file("r.db"));
    size_t tables = 0;
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa}) {
        ReposCatalogWalk walk(id);
        for (const ReposColumnDef* first; (first = walk.nextTable()); ++tables)
            expectSameTable(expectedTable(first), actualTable(raw, first->table), first->table);
    }
    EXPECT_EQ(tables, 136u);
    EXPECT_EQ(tableCount(raw), 136);
    // Spot checks that do not go through the expectation builder above.
    auto fld = actualTable(raw, "FLD");
    ASSERT_GE(fld.columns.size(), 30u);
    EXPECT_EQ(fld.columns[5].first + " " + fld.columns[28].first + " " + fld.columns[28].second,
              "MET_0 MET_23 VARCHAR");
    EXPECT_EQ(raw.scalar("PRAGMA integrity_check"), "ok");
    // Every table was announced, every statement shown.
    EXPECT_EQ(callback.progress.size(), 136u);
    EXPECT_EQ(callback.progress.front().rfind("Table ", 0), 0u);
    EXPECT_TRUE(callback.sawMessage("CREATE TABLE \"UCURID\""));
    EXPECT_TRUE(callback.sawMessage("CREATE INDEX \"idx_cpd1\" ON \"TRIG\"(\"EX_ID\", \"RU_ID\")"));
}

// Names in the file match the catalogue's ignoring case: the lower-case INFO needs nothing.
TEST(SqliteDdl, CheckAddsExactlyTheMissingTableAndColumnIgnoringCase) {
    TempDir dir;
    std::string path = dir.file("r.db");
    ASSERT_TRUE(createCatalogue(Conn(newRepository(path)).get(), true, true));
    {
        RawDb raw(path);
        ASSERT_TRUE(raw.exec("DROP TABLE RULE; ALTER TABLE FLD DROP COLUMN FLD_NAME; "
                             "INSERT INTO FLD (FLD_ID, TBL_ID) VALUES (1, 2); ALTER TABLE INFO RENAME TO tmp; "
                             "ALTER TABLE tmp RENAME TO info; ALTER TABLE info RENAME COLUMN I_UUID TO i_uuid"));
    }
    Recorder callback;
    Conn c(openRepository(path, &callback));
    ReposTableRequest check;
    ASSERT_TRUE(c->checkTable(check)) << c->getLastErrorMessage().str();
    check.catalog = 1;
    ASSERT_TRUE(c->checkTable(check));
    EXPECT_EQ(callback.progress.size(), 136u);
    EXPECT_EQ(callback.progress.front().rfind("Checking table ", 0), 0u);

    // What ran: the RULE table with its indexes, and the one column.
    TableShape rule = expectedTable(findReposTable("RULE"));
    std::map<std::string, size_t> ran;
    for (const auto& m : callback.messages) ++ran[m.substr(0, 12)];
    EXPECT_EQ(ran, (std::map<std::string, size_t>{
                       {"ALTER TABLE ", 1}, {"CREATE INDEX", rule.indexes.size()}, {"CREATE TABLE", 1}}));
    EXPECT_TRUE(callback.sawMessage("ALTER TABLE \"FLD\" ADD COLUMN \"FLD_NAME\" VARCHAR"));
    c.reset();

    RawDb raw(path);
    expectSameTable(rule, actualTable(raw, "RULE"), "RULE");
    auto fld = actualTable(raw, "FLD");
    EXPECT_EQ(fld.columns.back().first, "FLD_NAME");
    EXPECT_EQ(fld.columns.size(), expectedTable(findReposTable("FLD")).columns.size());
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM FLD"), "1");
    EXPECT_EQ(tableCount(raw), 136);
}

// A NOT NULL column missing from a table that has rows is added with a neutral default, and
// still refuses NULL afterwards; a table made from such records carries NOT NULL without one.
TEST(SqliteDdl, MissingNotNullColumnIsAddedToATableWithRows) {
    const ReposColumnDef full[] = {
        {"XSPEC", "XS_ID", VQB_TYPE_INT, 0, REPOS_COL_PRIMARY, 0, 3, 0, "t"},
        {"XSPEC", "XS_NAME", VQB_TYPE_STRING, 40, REPOS_COL_NOTNULL | REPOS_COL_INDEXED, 0, 3, 901, "n"},
        {"XSPEC", "XS_CNT", VQB_TYPE_INT, 0, REPOS_COL_NOTNULL, 0, 3, 0, "c"},
        kEnd,
        kEnd,
    };
    const ReposColumnDef partial[] = {full[0], kEnd, kEnd};
    const ReposColumnDef renamed[] = {{"YSPEC", "XS_ID", VQB_TYPE_INT, 0, REPOS_COL_PRIMARY, 0, 3, 0, "t"},
                                      {"YSPEC", "XS_CNT", VQB_TYPE_INT, 0, REPOS_COL_NOTNULL, 0, 3, 0, "c"},
                                      kEnd,
                                      kEnd};
    TempDir dir;
    std::string path = dir.file("r.db");
    Conn c(newRepository(path));
    ReposTableRequest request;
    request.create = 1;
    request.start = partial;
    ASSERT_TRUE(c->createTable(request));
    ASSERT_TRUE(c->paramExec("INSERT INTO XSPEC (XS_ID) VALUES (1)", nullptr, 0));
    request.create = 0;
    request.start = full;
    ASSERT_TRUE(c->checkTable(request)) << c->getLastErrorMessage().str();
    request.create = 1;
    request.start = renamed;
    ASSERT_TRUE(c->createTable(request));

    RawDb raw(path);
    EXPECT_EQ(raw.rows("SELECT XS_ID, XS_NAME, XS_CNT FROM XSPEC"),
              (std::vector<std::vector<std::string>>{{"1", "", "0"}}));
    EXPECT_EQ(raw.scalar("SELECT group_concat(\"notnull\") FROM pragma_table_info('XSPEC')"), "0,1,1");
    EXPECT_FALSE(raw.exec("INSERT INTO XSPEC (XS_ID, XS_NAME, XS_CNT) VALUES (2, NULL, 1)"));
    EXPECT_EQ(actualTable(raw, "XSPEC").indexes["idx901"], (std::vector<std::string>{"XS_NAME"}));
    EXPECT_FALSE(raw.exec("INSERT INTO YSPEC (XS_ID) VALUES (1)"));
}

TEST(SqliteDdl, RefusedProgressStopsWithoutAnErrorText) {
    TempDir dir;
    Recorder callback;
    callback.refuseAfter = 1;
    Conn c(newRepository(dir.file("r.db"), &callback));
    ReposTableRequest all;
    all.create = 1;
    EXPECT_FALSE(c->createTable(all));
    EXPECT_TRUE(c->getLastErrorMessage().isEmpty());
    EXPECT_EQ(callback.progress.size(), 2u);
    RawDb raw(dir.file("r.db"));
    EXPECT_EQ(tableCount(raw), 1);

    callback.progress.clear();
    callback.refuseAfter = 0;
    EXPECT_FALSE(c->checkTable(ReposTableRequest()));
    EXPECT_TRUE(c->getLastErrorMessage().isEmpty());
    EXPECT_EQ(callback.progress.size(), 1u);
}

// Creating a table that exists fails, with the statement and the error shown and logged;
// dropping first replaces it.
TEST(SqliteDdl, ExistingTablesFailUnlessDroppedFirst) {
    TempDir dir;
    Recorder callback;
    Conn c(newRepositoryWith(dir.file("r.db"), {"UCURID"}, &callback));
    VqbDatavar id;
    ASSERT_TRUE(c->getNextId("K", &id));
    callback.messages.clear();
    LogCapture log;
    Excerpt again({"UCURID"});
    EXPECT_FALSE(c->createTable(again.request(true, false)));
    ASSERT_EQ(callback.messages.size(), 2u);
    EXPECT_EQ(callback.messages[0].rfind("CREATE TABLE \"UCURID\"", 0), 0u);
    EXPECT_NE(callback.messages[1].find("already exists"), std::string::npos);
    EXPECT_EQ(c->getLastErrorMessage().str(), callback.messages[1]);
    EXPECT_TRUE(log.contains("already exists", 5));

    ASSERT_TRUE(c->createTable(again.request(true, true))) << c->getLastErrorMessage().str();
    RawDb raw(dir.file("r.db"));
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM UCURID"), "0");
    ASSERT_TRUE(c->createTable(again.request(false, true)));  // drop only
    EXPECT_EQ(tableCount(raw), 0);

    const ReposColumnDef badType[] = {{"BAD", "B_X", 7, 0, 0, 0, 3, 0, "t"}, kEnd, kEnd};
    ReposTableRequest bad;
    bad.create = 1;
    bad.start = badType;
    EXPECT_FALSE(c->createTable(bad));
    EXPECT_EQ(c->getLastErrorMessage(), reposMessage(1062));
}

TEST(SqliteDdl, RunTimeTablesAndTheirIndexes) {
    TempDir dir;
    std::string path = dir.file("r.db");
    Recorder callback;
    Conn c(newRepository(path, &callback));
    ASSERT_TRUE(
        c->createTableFromColumns("FRQDST7", columnSpecs({{"fr_value", VQB_TYPE_STRING}, {"fr_count", VQB_TYPE_INT}})))
        << c->getLastErrorMessage().str();
    EXPECT_TRUE(callback.sawMessage("CREATE TABLE \"FRQDST7\" (\"fr_value\" VARCHAR, \"fr_count\" INTEGER)"));
    ASSERT_TRUE(c->createFrqDstIndexes(7));

    ColumnSpecList read(1), none;
    EXPECT_EQ(c->getTableColumns("FRQDST7", &read), 3);  // appended to what was there
    EXPECT_STREQ(read[1].name, "fr_value");
    EXPECT_EQ(read[1].type, VQB_TYPE_STRING);
    EXPECT_EQ(read[2].type, VQB_TYPE_INT);
    EXPECT_EQ(read[2].size, 255);
    EXPECT_EQ(c->getTableColumns("NOSUCH", &none), 0);

    Cursor idx(c->getIndexes("frqdst7"));
    ASSERT_TRUE(idx);
    EXPECT_EQ(idx->getColName(1).str(), "field");
    EXPECT_EQ(cursorRows(idx.get()), (std::vector<std::vector<std::string>>{{"fk_frqdist_fr_count7", "fr_count"},
                                                                              {"fk_frqdist_fr_val7", "fr_value"}}));

    // HSM3 with two group fields: three indexes named after table and column.
    ASSERT_TRUE(c->createTableFromColumns("HSM3", columnSpecs({{"FIELDIDX", VQB_TYPE_INT}, {"GRPFLD1", VQB_TYPE_INT},
                                                               {"GRPFLD2", VQB_TYPE_INT}}, 0)));
    ASSERT_TRUE(c->createHsmIndexes(3, 2));
    ColumnSpecList hcm = columnSpecs({{"GRPFLD1", VQB_TYPE_STRING}, {"GRPFLD2", VQB_TYPE_STRING}}, 0);
    ASSERT_TRUE(c->createTableFromColumns("HCM3", hcm));
    ASSERT_TRUE(c->createHcmIndexes(3, 2));
    RawDb raw(path);
    EXPECT_EQ(raw.scalar("SELECT group_concat(name) FROM (SELECT name FROM sqlite_master WHERE type='index' AND "
                         "tbl_name LIKE 'H_M3' ORDER BY name)"),
              "HCM3_GRPFLD1_idx,HCM3_GRPFLD2_idx,HSM3_FIELDIDX_idx,HSM3_GRPFLD1_idx,HSM3_GRPFLD2_idx");

    // A third group field the table does not have; indexes that exist already; a bad type.
    ASSERT_TRUE(c->createTableFromColumns("HCM4", hcm));
    LogCapture log;
    EXPECT_FALSE(c->createHcmIndexes(4, 3));
    EXPECT_EQ(c->getLastErrorMessage().str().rfind("Creating an index on table \"HCM4\" failed", 0), 0u);
    EXPECT_TRUE(log.contains("no such column: GRPFLD3", 5));
    EXPECT_FALSE(c->createHcmIndexes(3, 2));
    EXPECT_TRUE(log.contains("already exists", 5));
    EXPECT_FALSE(c->createTableFromColumns("HSM9", columnSpecs({{"X", 6}}, 0)));
    EXPECT_EQ(c->getLastErrorMessage(), reposMessage(1062));

    ASSERT_TRUE(c->dropTable("FRQDST7"));
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name='FRQDST7'"), "0");
    EXPECT_FALSE(c->dropTable("FRQDST7"));
}

TEST(SqliteDdl, IndexListsSkipAutomaticIndexes) {
    TempDir dir;
    Conn c(newRepositoryWith(dir.file("r.db"), {"TRIG"}));
    ASSERT_TRUE(c->paramExec("CREATE TABLE K (A VARCHAR PRIMARY KEY, B INTEGER UNIQUE)", nullptr, 0));
    EXPECT_EQ(columnTexts(Cursor(c->getIndexes("K")).get(), 0), std::vector<std::string>{});
    ASSERT_TRUE(c->createIndex("K", "B", ""));
    EXPECT_EQ(columnTexts(Cursor(c->getIndexes("K")).get(), 0), (std::vector<std::string>{"K_B_idx"}));

    Cursor trig(c->getIndexes("TRIG"));
    std::map<std::string, std::string> found;
    while (trig->next() == 1) found[trig->getString(0).str()] = trig->getString(1).str();
    EXPECT_EQ(found["idx_cpd1"], "EX_ID, RU_ID");
    EXPECT_EQ(found.size(), expectedTable(findReposTable("TRIG")).indexes.size());
}

TEST(SqliteDdl, HostileNamesStayNames) {
    TempDir dir;
    std::string path = dir.file("r.db");
    Conn c(newRepository(path));
    ASSERT_TRUE(c->paramExec("CREATE TABLE T (A INTEGER)", nullptr, 0));
    LogCapture log;
    // A column that does not exist is an error, not an index on a constant.
    EXPECT_FALSE(c->createIndex("T", "NOSUCH", "i1"));
    EXPECT_FALSE(c->createIndex("T", "A) ; DROP TABLE T; --", ""));
    EXPECT_TRUE(c->createIndex("T", "A", "x\"; DROP TABLE T; --"));
    EXPECT_TRUE(c->createTableFromColumns("W\"1", columnSpecs({{"v\"); DROP TABLE T; --", VQB_TYPE_STRING}}, 0)));
    EXPECT_FALSE(c->dropTable("T\"; DROP TABLE T; --"));
    RawDb raw(path);
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name='T'"), "1");
    EXPECT_EQ(raw.scalar("SELECT name FROM pragma_table_info('W\"1')"), "v\"); DROP TABLE T; --");
}
