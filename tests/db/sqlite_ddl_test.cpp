// DDL of the SQLite back end, checked by reading the file back through SQLite's own PRAGMAs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "db_fixture.h"
#include "vqbmessage.h"

namespace {

const char* typeWord(int32_t type) {
    switch (type) {
        case VQB_TYPE_INT:
            return "INTEGER";
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE:
            return "FLOAT";
        default:
            return "VARCHAR";
    }
}

// What the catalogue says one table must look like.
struct ExpectedTable {
    std::vector<std::pair<std::string, std::string>> columns;  // name, declared type
    std::vector<std::string> primaryKey;
    std::map<std::string, std::vector<std::string>> indexes;  // name -> columns
};

ExpectedTable expectedTable(const ReposColumnDef* first) {
    ExpectedTable t;
    ReposTableCursor cursor(first);
    ReposColumnView c;
    while (cursor.next(c)) {
        t.columns.emplace_back(c.name, typeWord(c.type));
        if (c.flags & REPOS_COL_PRIMARY) t.primaryKey.push_back(c.name);
        if ((c.flags & REPOS_COL_INDEXED) && !(c.flags & REPOS_COL_PRIMARY))
            t.indexes["idx" + std::to_string(c.record->indexNumber)] = {c.name};
    }
    for (int i = 0; i < REPOS_INDEX_DEF_COUNT; ++i) {
        const ReposIndexDef* def = getReposIndexDef(i);
        if (std::strcmp(def->table, first->table) != 0) continue;
        std::vector<std::string> cols;
        for (const char* col : def->columns)
            if (col) cols.push_back(col);
        t.indexes["idx_cpd" + std::to_string(def->number)] = cols;
    }
    // A big string has a row per chunk: reference and chunk number form its key.
    if (std::strcmp(first->table, "BIGSTR") == 0) t.primaryKey = {"BS_REFID", "BS_SEQ"};
    return t;
}

// The same, read from the file with SQLite's PRAGMAs.
ExpectedTable actualTable(RawDb& raw, const std::string& table) {
    ExpectedTable t;
    std::map<int, std::string> keyOrder;
    for (auto& row : raw.rows("PRAGMA table_info(\"" + table + "\")")) {
        t.columns.emplace_back(row[1], row[2]);
        if (row[5] != "0") keyOrder[std::stoi(row[5])] = row[1];
    }
    for (auto& k : keyOrder) t.primaryKey.push_back(k.second);
    for (auto& index : raw.rows("PRAGMA index_list(\"" + table + "\")")) {
        if (index[3] != "c") continue;  // made by CREATE INDEX, not by a key
        std::vector<std::string> cols;
        for (auto& info : raw.rows("PRAGMA index_info(\"" + index[1] + "\")")) cols.push_back(info[2]);
        t.indexes[index[1]] = cols;
    }
    return t;
}

void expectSameTable(const ExpectedTable& expected, const ExpectedTable& actual, const std::string& table) {
    EXPECT_EQ(actual.columns, expected.columns) << table;
    EXPECT_EQ(actual.primaryKey, expected.primaryKey) << table;
    EXPECT_EQ(actual.indexes, expected.indexes) << table;
}

ReposTableRequest wholeCatalogue(uint8_t catalog) {
    ReposTableRequest r;
    r.catalog = catalog;
    r.dropFirst = 1;
    r.create = 1;
    return r;
}

bool createCatalogue(ReposDataAccess* c) {
    return c->beginTransaction(false) && c->createTable(wholeCatalogue(0)) && c->createTable(wholeCatalogue(1)) &&
           c->endTransaction(true);
}

std::vector<const ReposColumnDef*> catalogueTables() {
    std::vector<const ReposColumnDef*> tables;
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa}) {
        ReposCatalogWalk walk(id);
        while (const ReposColumnDef* first = walk.nextTable()) tables.push_back(first);
    }
    return tables;
}

const ReposColumnDef kEnd = {"", nullptr, 0, 0, 0, 0, 0, 0, nullptr};

}  // namespace

TEST(SqliteDdl, NewFileGetsEveryCatalogueTableExactly) {
    TempDir dir;
    RecordingCallback callback;
    Conn c(newRepository(dir.file("r.db"), &callback));
    ASSERT_TRUE(c);
    ASSERT_TRUE(createCatalogue(c.get())) << c->getLastErrorMessage().str();
    c.p->release();
    c.p = nullptr;

    RawDb raw(dir.file("r.db"));
    auto tables = catalogueTables();
    ASSERT_EQ(tables.size(), 136u);
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type='table'"), "136");
    for (const ReposColumnDef* first : tables)
        expectSameTable(expectedTable(first), actualTable(raw, first->table), first->table);
    // Spot checks that do not go through the expectation builder above.
    auto fld = actualTable(raw, "FLD");
    ASSERT_GE(fld.columns.size(), 30u);
    EXPECT_EQ(fld.columns[5], std::make_pair(std::string("MET_0"), std::string("VARCHAR")));
    EXPECT_EQ(fld.columns[28], std::make_pair(std::string("MET_23"), std::string("VARCHAR")));
    EXPECT_EQ(actualTable(raw, "TRIG").indexes["idx_cpd1"], (std::vector<std::string>{"EX_ID", "RU_ID"}));
    EXPECT_EQ(raw.scalar("PRAGMA integrity_check"), "ok");
    // Every table was announced, every statement shown.
    EXPECT_EQ(callback.progress.size(), 136u);
    EXPECT_EQ(callback.progress.front(), "Table " + std::string(tables.front()->table));
    EXPECT_TRUE(callback.sawMessage("CREATE TABLE \"UCURID\""));
    EXPECT_TRUE(callback.sawMessage("CREATE INDEX \"idx_cpd1\" ON \"TRIG\"(\"EX_ID\", \"RU_ID\")"));
}

// Big strings of several chunks fit the table as created.
TEST(SqliteDdl, BigStringTableHoldsSeveralChunksPerText) {
    TempDir dir;
    Conn c(newRepositoryWith(dir.file("r.db"), {"UCURID", "BIGSTR"}));
    ASSERT_TRUE(c);
    std::string text(3 * 65536, 'k');
    VqbString ref, back;
    ASSERT_TRUE(c->putBigString(text, &ref, nullptr)) << c->getLastErrorMessage().str();
    ASSERT_TRUE(c->getBigString(ref, &back, nullptr));
    EXPECT_EQ(back.str(), text);
}

TEST(SqliteDdl, CheckAddsExactlyTheMissingTableAndColumn) {
    TempDir dir;
    std::string path = dir.file("r.db");
    {
        Conn c(newRepository(path));
        ASSERT_TRUE(createCatalogue(c.get()));
    }
    {
        RawDb raw(path);
        ASSERT_TRUE(raw.exec("DROP TABLE RULE"));
        ASSERT_TRUE(raw.exec("ALTER TABLE FLD DROP COLUMN FLD_NAME"));
        ASSERT_TRUE(raw.exec("INSERT INTO FLD (FLD_ID, TBL_ID) VALUES (1, 2)"));
    }
    RecordingCallback callback;
    Conn c(openRepository(path, &callback));
    ReposTableRequest check;
    ASSERT_TRUE(c->checkTable(check)) << c->getLastErrorMessage().str();
    ReposTableRequest checkNcoa;
    checkNcoa.catalog = 1;
    ASSERT_TRUE(c->checkTable(checkNcoa));
    EXPECT_EQ(callback.progress.size(), 136u);
    EXPECT_EQ(callback.progress.front().rfind("Checking table ", 0), 0u);

    // What ran: the RULE table with its indexes, and the one column.
    ExpectedTable rule = expectedTable(findReposTable("RULE"));
    std::vector<std::string> expected = {"ALTER TABLE \"FLD\" ADD COLUMN \"FLD_NAME\" VARCHAR"};
    for (const auto& m : callback.messages) EXPECT_EQ(m.find("failed"), std::string::npos) << m;
    size_t creates = std::count_if(callback.messages.begin(), callback.messages.end(),
                                   [](const std::string& m) { return m.rfind("CREATE TABLE", 0) == 0; });
    size_t alters = std::count_if(callback.messages.begin(), callback.messages.end(),
                                  [](const std::string& m) { return m.rfind("ALTER TABLE", 0) == 0; });
    size_t indexes = std::count_if(callback.messages.begin(), callback.messages.end(),
                                   [](const std::string& m) { return m.rfind("CREATE INDEX", 0) == 0; });
    EXPECT_EQ(creates, 1u);
    EXPECT_EQ(alters, 1u);
    EXPECT_EQ(indexes, rule.indexes.size());
    EXPECT_TRUE(callback.sawMessage(expected[0]));
    EXPECT_EQ(callback.messages.size(), 1 + 1 + rule.indexes.size());
    c.p->release();
    c.p = nullptr;

    RawDb raw(path);
    expectSameTable(rule, actualTable(raw, "RULE"), "RULE");
    auto fld = actualTable(raw, "FLD");
    EXPECT_EQ(fld.columns.back().first, "FLD_NAME");
    EXPECT_EQ(fld.columns.size(), expectedTable(findReposTable("FLD")).columns.size());
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM FLD"), "1");
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type='table'"), "136");
}

// A NOT NULL column missing from a table that has rows is added with a neutral default, and
// still refuses NULL afterwards.
TEST(SqliteDdl, MissingNotNullColumnIsAddedToATableWithRows) {
    const ReposColumnDef full[] = {
        {"XSPEC", "XS_ID", VQB_TYPE_INT, 0, REPOS_COL_PRIMARY, 0, 3, 0, "t"},
        {"XSPEC", "XS_NAME", VQB_TYPE_STRING, 40, REPOS_COL_NOTNULL | REPOS_COL_INDEXED, 0, 3, 901, "n"},
        {"XSPEC", "XS_CNT", VQB_TYPE_INT, 0, REPOS_COL_NOTNULL, 0, 3, 0, "c"},
        kEnd,
        kEnd,
    };
    const ReposColumnDef partial[] = {full[0], kEnd, kEnd};
    TempDir dir;
    std::string path = dir.file("r.db");
    Conn c(newRepository(path));
    ReposTableRequest create;
    create.create = 1;
    create.start = partial;
    ASSERT_TRUE(c->createTable(create));
    ASSERT_TRUE(c->paramExec("INSERT INTO XSPEC (XS_ID) VALUES (1)", nullptr, 0));
    ReposTableRequest check;
    check.start = full;
    ASSERT_TRUE(c->checkTable(check)) << c->getLastErrorMessage().str();

    RawDb raw(path);
    auto rows = raw.rows("SELECT XS_ID, XS_NAME, XS_CNT FROM XSPEC");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "", "0"}));
    auto info = raw.rows("PRAGMA table_info(XSPEC)");
    ASSERT_EQ(info.size(), 3u);
    EXPECT_EQ(info[1][3], "1");  // notnull
    EXPECT_EQ(info[2][3], "1");
    EXPECT_FALSE(raw.exec("INSERT INTO XSPEC (XS_ID, XS_NAME, XS_CNT) VALUES (2, NULL, 1)"));
    EXPECT_EQ(actualTable(raw, "XSPEC").indexes["idx901"], (std::vector<std::string>{"XS_NAME"}));

    // A table made from the same records carries NOT NULL without a default.
    const ReposColumnDef renamed[] = {
        {"YSPEC", "XS_ID", VQB_TYPE_INT, 0, REPOS_COL_PRIMARY, 0, 3, 0, "t"},
        {"YSPEC", "XS_CNT", VQB_TYPE_INT, 0, REPOS_COL_NOTNULL, 0, 3, 0, "c"},
        kEnd,
        kEnd,
    };
    create.start = renamed;
    ASSERT_TRUE(c->createTable(create));
    EXPECT_FALSE(raw.exec("INSERT INTO YSPEC (XS_ID) VALUES (1)"));
}

TEST(SqliteDdl, TableNamesMatchIgnoringCase) {
    TempDir dir;
    std::string path = dir.file("r.db");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        const char* sql =
            "CREATE TABLE info (i_type VARCHAR, i_vers INTEGER, i_desc VARCHAR, i_uuid VARCHAR, i_mver INTEGER)";
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    RecordingCallback callback;
    Conn c(openRepository(path, &callback));
    CatalogExcerpt info({"INFO"});
    ASSERT_TRUE(c->checkTable(info.request(false))) << c->getLastErrorMessage().str();
    // Every column is there under another case, so nothing runs.
    EXPECT_TRUE(callback.messages.empty()) << callback.messages.front();
}

TEST(SqliteDdl, RefusedProgressStopsWithoutAnErrorText) {
    TempDir dir;
    RecordingCallback callback;
    callback.refuseAfter = 1;
    Conn c(newRepository(dir.file("r.db"), &callback));
    ReposTableRequest all = wholeCatalogue(0);
    EXPECT_FALSE(c->createTable(all));
    EXPECT_TRUE(c->getLastErrorMessage().isEmpty());
    EXPECT_EQ(callback.progress.size(), 2u);
    RawDb raw(dir.file("r.db"));
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type='table'"), "1");

    callback.progress.clear();
    callback.refuseAfter = 0;
    EXPECT_FALSE(c->checkTable(ReposTableRequest()));
    EXPECT_TRUE(c->getLastErrorMessage().isEmpty());
    EXPECT_EQ(callback.progress.size(), 1u);
}

TEST(SqliteDdl, FailuresReachTheCallbackAndTheLog) {
    TempDir dir;
    RecordingCallback callback;
    Conn c(newRepositoryWith(dir.file("r.db"), {"UCURID"}, &callback));
    callback.messages.clear();
    LogCapture log;
    CatalogExcerpt again({"UCURID"});
    EXPECT_FALSE(c->createTable(again.request(true, false)));  // exists already
    ASSERT_EQ(callback.messages.size(), 2u);
    EXPECT_EQ(callback.messages[0].rfind("CREATE TABLE \"UCURID\"", 0), 0u);
    EXPECT_NE(callback.messages[1].find("already exists"), std::string::npos);
    EXPECT_EQ(c->getLastErrorMessage().str(), callback.messages[1]);
    EXPECT_TRUE(log.contains("already exists", 5));

    const ReposColumnDef badType[] = {{"BAD", "B_X", 7, 0, 0, 0, 3, 0, "t"}, kEnd, kEnd};
    ReposTableRequest bad;
    bad.create = 1;
    bad.start = badType;
    EXPECT_FALSE(c->createTable(bad));
    EXPECT_EQ(c->getLastErrorMessage(), reposMessage(1062));
}

TEST(SqliteDdl, DropFirstReplacesTables) {
    TempDir dir;
    Conn c(newRepositoryWith(dir.file("r.db"), {"UCURID"}));
    VqbDatavar id;
    ASSERT_TRUE(c->getNextId("K", &id));
    CatalogExcerpt again({"UCURID"});
    ASSERT_TRUE(c->createTable(again.request(true, true))) << c->getLastErrorMessage().str();
    RawDb raw(dir.file("r.db"));
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM UCURID"), "0");
    // Drop only.
    ASSERT_TRUE(c->createTable(again.request(false, true)));
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name='UCURID'"), "0");
}

TEST(SqliteDdl, RunTimeTablesAndTheirIndexes) {
    TempDir dir;
    std::string path = dir.file("r.db");
    RecordingCallback callback;
    Conn c(newRepository(path, &callback));
    ColumnSpecList columns(2);
    std::strcpy(columns[0].name, "fr_value");
    columns[0].type = VQB_TYPE_STRING;
    columns[0].size = 255;
    std::strcpy(columns[1].name, "fr_count");
    columns[1].type = VQB_TYPE_INT;
    ASSERT_TRUE(c->createTableFromColumns("FRQDST7", columns)) << c->getLastErrorMessage().str();
    EXPECT_TRUE(callback.sawMessage("CREATE TABLE \"FRQDST7\" (\"fr_value\" VARCHAR, \"fr_count\" INTEGER)"));
    ASSERT_TRUE(c->createFrqDstIndexes(7));

    ColumnSpecList read;
    read.push_back(ColumnSpec{});
    EXPECT_EQ(c->getTableColumns("FRQDST7", &read), 3);  // appended to what was there
    EXPECT_STREQ(read[1].name, "fr_value");
    EXPECT_EQ(read[1].type, VQB_TYPE_STRING);
    EXPECT_EQ(read[2].type, VQB_TYPE_INT);
    EXPECT_EQ(read[2].size, 255);
    ColumnSpecList none;
    EXPECT_EQ(c->getTableColumns("NOSUCH", &none), 0);

    Cursor idx(c->getIndexes("frqdst7"));
    ASSERT_TRUE(idx);
    EXPECT_EQ(idx->getColName(1).str(), "field");
    std::vector<std::string> names, fields;
    while (idx->next() == 1) {
        names.push_back(idx->getString(0).str());
        fields.push_back(idx->getString(1).str());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"fk_frqdist_fr_count7", "fk_frqdist_fr_val7"}));
    EXPECT_EQ(fields, (std::vector<std::string>{"fr_count", "fr_value"}));

    // HSM3 with two group fields: three indexes named after table and column.
    ColumnSpecList hsm(3);
    std::strcpy(hsm[0].name, "FIELDIDX");
    std::strcpy(hsm[1].name, "GRPFLD1");
    std::strcpy(hsm[2].name, "GRPFLD2");
    for (auto& col : hsm) col.type = VQB_TYPE_INT;
    ASSERT_TRUE(c->createTableFromColumns("HSM3", hsm));
    ASSERT_TRUE(c->createHsmIndexes(3, 2));
    std::vector<std::string> hcm = {"GRPFLD1", "GRPFLD2"};
    ColumnSpecList hcmColumns(2);
    for (size_t i = 0; i < 2; ++i) {
        std::strcpy(hcmColumns[i].name, hcm[i].c_str());
        hcmColumns[i].type = VQB_TYPE_STRING;
    }
    ASSERT_TRUE(c->createTableFromColumns("HCM3", hcmColumns));
    ASSERT_TRUE(c->createHcmIndexes(3, 2));
    RawDb raw(path);
    EXPECT_EQ(raw.rows("SELECT name FROM sqlite_master WHERE type='index' AND tbl_name='HSM3' ORDER BY name"),
              (std::vector<std::vector<std::string>>{
                  {"HSM3_FIELDIDX_idx"}, {"HSM3_GRPFLD1_idx"}, {"HSM3_GRPFLD2_idx"}}));
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND tbl_name='HCM3'"), "2");

    // A third group field the table does not have; and indexes that exist already.
    ASSERT_TRUE(c->createTableFromColumns("HCM4", hcmColumns));
    LogCapture log;
    EXPECT_FALSE(c->createHcmIndexes(4, 3));
    EXPECT_EQ(c->getLastErrorMessage().str().rfind("Creating an index on table \"HCM4\" failed", 0), 0u);
    EXPECT_TRUE(log.contains("no such column: GRPFLD3", 5));
    EXPECT_FALSE(c->createHcmIndexes(3, 2));
    EXPECT_TRUE(log.contains("already exists", 5));

    ColumnSpecList badType(1);
    std::strcpy(badType[0].name, "X");
    badType[0].type = 6;
    EXPECT_FALSE(c->createTableFromColumns("HSM9", badType));
    EXPECT_EQ(c->getLastErrorMessage(), reposMessage(1062));

    ASSERT_TRUE(c->dropTable("FRQDST7"));
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name='FRQDST7'"), "0");
    EXPECT_FALSE(c->dropTable("FRQDST7"));
}

TEST(SqliteDdl, IndexListsSkipAutomaticIndexes) {
    TempDir dir;
    Conn c(newRepositoryWith(dir.file("r.db"), {"TRIG"}));
    ASSERT_TRUE(c->paramExec("CREATE TABLE K (A VARCHAR PRIMARY KEY, B INTEGER UNIQUE)", nullptr, 0));
    Cursor none(c->getIndexes("K"));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->next(), 0);
    ASSERT_TRUE(c->createIndex("K", "B", ""));
    Cursor one(c->getIndexes("K"));
    EXPECT_EQ(columnTexts(one.get(), 0), (std::vector<std::string>{"K_B_idx"}));

    Cursor trig(c->getIndexes("TRIG"));
    std::map<std::string, std::string> found;
    while (trig->next() == 1) found[trig->getString(0).str()] = trig->getString(1).str();
    EXPECT_EQ(found["idx_cpd1"], "EX_ID, RU_ID");
    ExpectedTable expected = expectedTable(findReposTable("TRIG"));
    EXPECT_EQ(found.size(), expected.indexes.size());
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
    ColumnSpecList cols(1);
    std::strcpy(cols[0].name, "v\"); DROP TABLE T; --");
    cols[0].type = VQB_TYPE_STRING;
    EXPECT_TRUE(c->createTableFromColumns("W\"1", cols));
    EXPECT_FALSE(c->dropTable("T\"; DROP TABLE T; --"));
    RawDb raw(path);
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name='T'"), "1");
    EXPECT_EQ(raw.scalar("SELECT name FROM pragma_table_info('W\"1')"), "v\"); DROP TABLE T; --");
}
