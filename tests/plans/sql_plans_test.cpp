// The pieces of the plan check: statement shapes, scripts split into statements, and plan lines
// read as SQLite writes them.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "sql_plans.h"
#include "sql_record.h"
#include "test_rows.h"
#include "test_support.h"
#include "vqsqlite.h"

namespace {

TEST(SqlShapes, NumbersWrittenIntoATextAreOneShapeButQuotedTextsAreNot) {
    struct Case {
        const char *a, *b;
        bool same;
    };
    const Case cases[] = {
        {"SELECT * FROM RULE WHERE RU_ID=42", "SELECT * FROM RULE WHERE RU_ID=7", true},
        {"DELETE FROM DSN WHERE JOB_ID = -3", "DELETE FROM DSN WHERE JOB_ID = 12", true},
        {"SELECT A -1 FROM T", "SELECT A -2 FROM T", true},
        {"SELECT A -1 FROM T", "SELECT A 1 FROM T", false},
        {"SELECT X FROM T WHERE A=1.5e3 AND B=0x1F", "SELECT X FROM T WHERE A=2 AND B=3", true},
        // A field's own table, bare or quoted.
        {"SELECT * FROM FRQDST123 WHERE F=1", "SELECT * FROM FRQDST9 WHERE F=2", true},
        {"SELECT * FROM \"FRQDST123\"", "SELECT * FROM \"FRQDST9\"", true},
        // Catalogue tables whose names end in digits stay apart.
        {"SELECT * FROM MMATC1 WHERE ID=1", "SELECT * FROM \"MMATC2\" WHERE ID=1", false},
        // Lists of values and parameters of any length.
        {"SELECT * FROM RULE WHERE RU_ID IN (1, 2, 3)", "SELECT * FROM RULE WHERE RU_ID IN (?,?)", true},
        {"SELECT * FROM RULE WHERE RU_ID IN (?1, ?2)", "SELECT * FROM RULE WHERE RU_ID IN (?, ?, ?, ?)", true},
        {"SELECT * FROM RULE WHERE RU_ID IN (?)", "SELECT * FROM RULE WHERE RU_ID IN (?, ?)", false},
        {"SELECT COUNT(*) FROM RULE", "SELECT COUNT(RU_ID) FROM RULE", false},
        // White space and comments.
        {"SELECT  *\n FROM RULE -- all\n", "SELECT * /* every */ FROM RULE", true},
        // Quoted texts stay as written, numbers and all.
        {"SELECT V FROM KEYVAL WHERE V_KEY='MAX_TEXT_LEN'", "SELECT V FROM KEYVAL WHERE V_KEY='COPY_MARK'", false},
        {"SELECT V FROM KEYVAL WHERE V_KEY='KEY 1'", "SELECT V FROM KEYVAL WHERE V_KEY='KEY 2'", false},
        {"SELECT V FROM KEYVAL WHERE V_KEY='it''s 1'", "SELECT V FROM KEYVAL WHERE V_KEY='it''s 2'", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(normaliseSql(c.a) == normaliseSql(c.b), c.same) << normaliseSql(c.a) << "\n" << normaliseSql(c.b);
    EXPECT_EQ(normaliseSql(" SELECT a FROM FLD  WHERE FLD_ID=17 AND N='x 17' "),
              "SELECT a FROM FLD WHERE FLD_ID=# AND N='x 17'");
    EXPECT_EQ(normaliseSql("SELECT MET_0, MET_23 FROM T WHERE ID IN (1,2)"),
              "SELECT MET_#, MET_# FROM T WHERE ID IN (?, ...)");
}

TEST(SqlShapes, ScriptsSplitAtTheSemicolonsThatEndStatements) {
    EXPECT_EQ(splitSqlStatements("BEGIN; INSERT INTO T VALUES('a;b');\n COMMIT;  "),
              (std::vector<std::string>{"BEGIN", "INSERT INTO T VALUES('a;b')", "COMMIT"}));
    EXPECT_EQ(splitSqlStatements("CREATE TRIGGER x BEFORE INSERT ON t BEGIN SELECT 1; END; SELECT 2"),
              (std::vector<std::string>{"CREATE TRIGGER x BEFORE INSERT ON t BEGIN SELECT 1; END", "SELECT 2"}));
    EXPECT_EQ(splitSqlStatements("SELECT \";\" FROM T /* ; */"),
              (std::vector<std::string>{"SELECT \";\" FROM T /* ; */"}));
    EXPECT_TRUE(splitSqlStatements(" ; ").empty());

    for (const char* query : {"SELECT 1", " -- why\n select 1", "(SELECT 1)", "WITH a AS (SELECT 1) SELECT * FROM a",
                              "INSERT INTO T VALUES (1)", "update T set a=1", "DELETE FROM T",
                              "REPLACE INTO T VALUES (1)"})
        EXPECT_TRUE(hasQueryPlan(query)) << query;
    for (const char* other : {"CREATE INDEX i ON T(a)", "DROP TABLE T", "PRAGMA table_info(T)", "BEGIN IMMEDIATE",
                              "COMMIT", "SAVEPOINT s", "", "-- only a comment"})
        EXPECT_FALSE(hasQueryPlan(other)) << other;
}

TEST(SqlShapes, TheCatalogueNamesEveryTableOfItsArrays) {
    const std::set<std::string> names = catalogueTableNames();
    for (const char* table : {"RULE", "KEYVAL", "INFO", "DSN", "FLD", "OBJLCK", "NCOAPA"})
        EXPECT_EQ(names.count(table), 1u) << table;
    EXPECT_EQ(names.count("FRQDST123"), 0u);
}

// Plans as this SQLite writes them: a table read whole by its name or an alias, a full index
// scan, an automatic index; searches and scans of subqueries, WITH views and constant rows are
// not findings.
TEST(SqlPlans, LinesThatReadAWholeCatalogueTable) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    const char* schema =
        "CREATE TABLE RULE(RU_ID INTEGER PRIMARY KEY, FLDR_ID INT, RU_DESC TEXT);"
        "CREATE INDEX idxRULE1 ON RULE(FLDR_ID);"
        "CREATE TABLE FLD(FLD_ID INT, DSN_ID INT);"
        "CREATE TABLE DSN(DSN_ID INTEGER PRIMARY KEY, JOB_ID INT);"
        "CREATE TABLE WORK7(A INT);";
    ASSERT_EQ(sqlite3_exec(db, schema, nullptr, nullptr, nullptr), SQLITE_OK);
    const std::set<std::string> catalogue = {"RULE", "FLD", "DSN"};

    struct Case {
        const char* sql;
        PlanFinding finding;
        const char* table;
    };
    const Case cases[] = {
        {"SELECT * FROM RULE", PlanFinding::TableScan, "RULE"},
        {"select * from rule where ru_desc = 'x'", PlanFinding::TableScan, "RULE"},
        {"SELECT * FROM RULE a WHERE a.RU_DESC=?", PlanFinding::TableScan, "RULE"},
        {"SELECT * FROM RULE AS \"r 1\" WHERE \"r 1\".RU_DESC=?", PlanFinding::TableScan, "RULE"},
        {"SELECT FLDR_ID FROM RULE r ORDER BY FLDR_ID", PlanFinding::TableScan, "RULE"},
        {"SELECT COUNT(*) FROM RULE", PlanFinding::TableScan, "RULE"},
        {"DELETE FROM FLD WHERE DSN_ID=3", PlanFinding::TableScan, "FLD"},
        {"UPDATE RULE SET RU_DESC='a' WHERE RU_DESC='b'", PlanFinding::TableScan, "RULE"},
        {"SELECT * FROM RULE WHERE RU_ID IN (SELECT FLD_ID FROM FLD)", PlanFinding::TableScan, "FLD"},
        {"SELECT (SELECT COUNT(*) FROM FLD WHERE FLD_ID=r.RU_ID) FROM RULE r WHERE RU_ID=1", PlanFinding::TableScan,
         "FLD"},
        {"SELECT b.FLD_ID FROM DSN a, FLD b WHERE a.DSN_ID=b.DSN_ID AND a.JOB_ID=?", PlanFinding::TableScan, "FLD"},
        {"SELECT * FROM RULE WHERE FLDR_ID=?", PlanFinding::None, ""},
        {"SELECT * FROM RULE r WHERE r.RU_ID=?", PlanFinding::None, ""},
        {"SELECT MAX(RU_ID) FROM RULE", PlanFinding::None, ""},
        {"SELECT * FROM RULE WHERE FLDR_ID=? ORDER BY RU_DESC", PlanFinding::None, ""},
        {"WITH c AS (SELECT * FROM RULE WHERE RU_ID=?) SELECT * FROM c, c AS d", PlanFinding::None, ""},
        {"SELECT * FROM (SELECT RU_ID FROM RULE WHERE RU_ID=? UNION SELECT DSN_ID FROM DSN WHERE DSN_ID=1) x",
         PlanFinding::None, ""},
        {"SELECT 1", PlanFinding::None, ""},
        {"SELECT * FROM WORK7", PlanFinding::None, ""},
        {"INSERT INTO RULE (FLDR_ID, RU_DESC) VALUES (?, ?)", PlanFinding::None, ""},
    };
    for (const Case& c : cases) {
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, (std::string("EXPLAIN QUERY PLAN ") + c.sql).c_str(), -1, &stmt, nullptr),
                  SQLITE_OK)
            << c.sql << ": " << sqlite3_errmsg(db);
        PlanVerdict found;
        std::string plan;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::string line = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
            plan += line + "; ";
            PlanVerdict v = classifyPlanLine(line, c.sql, catalogue);
            if (v.finding != PlanFinding::None && found.finding == PlanFinding::None) found = v;
        }
        sqlite3_finalize(stmt);
        EXPECT_EQ(found.finding, c.finding) << c.sql << "\n  plan: " << plan;
        EXPECT_EQ(found.table, c.table) << c.sql << "\n  plan: " << plan;
    }

    // Without a lasting index on the join column this SQLite builds one for each statement.
    const std::string join = "SELECT b.FLD_ID FROM DSN a, FLD b WHERE a.DSN_ID=b.DSN_ID AND a.DSN_ID=?";
    PlanVerdict automatic = classifyPlanLine("SEARCH b USING AUTOMATIC COVERING INDEX (DSN_ID=?)", join, catalogue);
    EXPECT_EQ(automatic.finding, PlanFinding::AutomaticIndex);
    EXPECT_EQ(automatic.table, "FLD");
    EXPECT_EQ(classifyPlanLine("SEARCH b USING AUTOMATIC PARTIAL COVERING INDEX (DSN_ID=?)", join, catalogue).finding,
              PlanFinding::AutomaticIndex);
    EXPECT_EQ(classifyPlanLine("SEARCH a USING INTEGER PRIMARY KEY (rowid=?)", join, catalogue).finding,
              PlanFinding::None);
    EXPECT_EQ(classifyPlanLine("USE TEMP B-TREE FOR ORDER BY", join, catalogue).finding, PlanFinding::None);
    sqlite3_close(db);
}

// A child records what both back ends prepare, each text once with the test that sent it first,
// and nothing a helper prepares under a pause.
TEST(SqlRecord, DistinctTextsWithTheirFirstTestButNothingUnderAPause) {
    TempDir dir;
    const std::string records = dir.file("records");
    pid_t pid = fork();
    if (pid == 0) {
        startSqlRecording(records);
        SqliteDatabase* db = createSqliteDatabase(dir.file("direct.db").c_str(), 0);
        if (!db || !db->execute("CREATE TABLE T(A INT)", nullptr)) _exit(2);
        for (int i = 0; i < 2; ++i)
            if (SqliteStatement* s = db->prepare("SELECT A FROM T WHERE A=?")) s->release();
        {
            SqlRecordPause pause;
            if (SqliteStatement* s = db->prepare("SELECT COUNT(*) FROM T")) s->release();
        }
        db->close();
        DacConnection* c = dacOpen("VQXTYPE=SQLITE;FILE=" + dir.file("dac.db") + ";CREATE=TRUE");
        if (!c || !c->executeDirect(VqbString("CREATE TABLE U(B INT); INSERT INTO U VALUES (1)"), 0)) _exit(3);
        c->close();
        writeSqlRecording();
        _exit(0);
    }
    ASSERT_TRUE(childSucceeded(pid));
    std::vector<RecordedStatement> read;
    std::string error;
    ASSERT_TRUE(readSqlRecords(records, read, &error)) << error;
    std::vector<std::string> texts;
    for (const RecordedStatement& r : read) {
        texts.push_back(r.text);
        EXPECT_EQ(r.firstTest, "test_plans SqlRecord.DistinctTextsWithTheirFirstTestButNothingUnderAPause");
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"CREATE TABLE T(A INT)", "SELECT A FROM T WHERE A=?",
                                               "CREATE TABLE U(B INT); INSERT INTO U VALUES (1)"}));
}

}  // namespace
