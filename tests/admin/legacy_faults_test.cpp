// Legacy files that are hostile, incomplete or unreadable, and targets that refuse rows: a clear
// result, and a target holding whole tables only.
#include <gtest/gtest.h>

#include <filesystem>

#include "legacy_files.h"
#include "movesqlitedata.h"
#include "repos_fixture.h"

namespace {

struct Outcome {
    bool ok;
    std::string error;
};

Outcome rebuild(const std::string& source, const std::string& target, Recorder* callback = nullptr) {
    Recorder own;
    VqbString error;
    LogCapture log;
    bool ok = reposMoveSqliteData(source, target, callback ? callback : &own, error);
    // Every failure with a reason is logged with it at level 5.
    EXPECT_TRUE(ok ? log.count("", 5) == 0 : error.isEmpty() || log.contains(error.str(), 5)) << error.str();
    return {ok, error.str()};
}

// A table's row count, or the first value of a select ("" for NULL), as text.
std::string probe(RawDb& file, const std::string& what) {
    Rows rows = file.rows(what.rfind("SELECT", 0) == 0 ? what : "SELECT count(*) FROM " + RawDb::quoted(what));
    return rows.empty() || rows[0][0] == kNullText ? "" : rows[0][0];
}

const char kFrequencyTables[] = "SELECT group_concat(name) FROM (SELECT name FROM sqlite_master WHERE type = 'table' "
                                "AND name LIKE 'FRQDST_%' ORDER BY name)";
// An integer overflow raised while the row is read, as a damaged file would fail mid-table: a real table whose
// column is computed on reading.
const std::string kOverflow = "abs(-9223372036854775807 - 1)";
std::string failingColumn(const std::string& table, const std::string& column, const std::string& when) {
    return "ALTER TABLE " + table + " RENAME COLUMN " + column + " TO raw; ALTER TABLE " + table + " ADD COLUMN " +
           column + " AS (CASE WHEN " + when + " THEN " + kOverflow + " ELSE raw END)";
}
// A view that never ends, where the file's table was.
std::string endlessView(const std::string& table) {
    return "ALTER TABLE " + table + " RENAME TO old_rows; CREATE VIEW " + table +
           " AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT old_rows.* FROM r, old_rows";
}

TEST(LegacyFaults, DamagedFilesAndRefusingTargetsLeaveWholeTablesOnly) {
    const std::vector<std::string> hostile = {"frqdist1; DROP TABLE FLD", "frqdist1\"x", "frqdist_old",
                                              "frqdist1 (x); --", "FRQDIST9"};
    const struct {
        const char* name;
        double version;
        std::string sourceSql, targetSql;
        std::vector<std::string> frequencyTables;  // added to the file, two rows each
        bool ok;
        std::vector<std::string> errorParts, messages, absentMessages;
        std::vector<const char*> copied;
        std::vector<std::pair<std::string, std::string>> probes;  // probe(target, first) == second
    } cases[] = {
        {"hostile frequency table names are skipped and reported", 2.0, "", "", hostile, true, {},
         {"\"frqdist1; DROP TABLE FLD\" is not the name of a legacy frequency table",
          "\"frqdist1\"x\" is not the name of a legacy frequency table",
          "\"frqdist_old\" is not the name of a legacy frequency table",
          "\"frqdist1 (x); --\" is not the name of a legacy frequency table"},
         {}, {"fld"},
         {{kFrequencyTables, "FRQDST17,FRQDST2500000,FRQDST3,FRQDST9"}, {"FRQDST9", "2"},
          {"SELECT count(*) FROM sqlite_master WHERE name = 'FRQDST9_fr_value'", "1"},
          {"SELECT count(*) FROM sqlite_master WHERE name LIKE '%;%' OR name LIKE '%\"%' OR name LIKE '% %' OR "
           "name LIKE 'frqdist%'", "0"}}},
        // Before 1.9 the names are made from field ids, which the file may hold as anything.
        {"field ids that make no table name are skipped", 1.8,
         "INSERT INTO frqdist VALUES ('1; DROP TABLE FLD', 'v', 1), (-5, 'v', 1), (4.5, 'v', 1), (NULL, 'v', 1), "
         "('7\"x', 'v', 1)", "", {}, true, {},
         {"\"frqdist1; DROP TABLE FLD\" is not the name", "\"frqdist-5\" is not the name",
          "\"frqdist4.5\" is not the name", "\"(null)\" is not the name", "\"frqdist7\"x\" is not the name"},
         {}, {"fld"}, {{kFrequencyTables, "FRQDST17,FRQDST2500000,FRQDST3"}, {"FRQDST17", "3"}}},
        // A table the version should have but the file lacks is named; one only some files have is not.
        {"missing table is reported and the rest copied", 1.8, "DROP TABLE fld_notes; DROP TABLE mcdist", "", {},
         true, {}, {"The legacy file has no table \"fld_notes\"; nothing was copied into table \"FLDNOT\""},
         {"\"mcdist\"", "\"MCDIST\""}, {"tbl_notes", "fld", "note_cat", "redun"},
         {{"FLDNOT", "0"}, {"MCDIST", "0"}, {"FRQDST17", "3"}}},
        {"a file without frequency results is fine", 1.2, "DROP TABLE frqdist", "", {}, true, {},
         {"Couldn't get list of freq dist tables"}, {}, {"exec_log"}, {}},
        // A table in another shape than its version promises is lost data: the walk goes on, the result says so.
        {"table without its columns fails after the walk", 1.6, "ALTER TABLE dsn DROP COLUMN dsn_textfile", "", {},
         false, {"Table \"DSN\" could not be read", "dsn_textfile"}, {}, {}, {"tbl", "fld", "alert", "tf_info"},
         {{"DSN", "0"}, {"FRQDST3", "3"}}},
        {"read error mid-table keeps none of its rows", 1.4, failingColumn("patdist", "pa_count2", "fld_id = 2"), "",
         {}, false, {"Reading the legacy rows of table \"PATDST\" failed"}, {}, {},
         {"fld", "ptile", "outlier", "fld_notes"}, {{"PATDST", "0"}, {"FRQDST2500000", "3"}}},
        // A refused insert used to end the table quietly with the result still true. The table is whole or
        // empty; tables before it stay, nothing after it is written.
        {"refused insert ends the rebuild with false", 2.0, "",
         "CREATE TRIGGER refuse BEFORE INSERT ON PATDST WHEN NEW.PA_VALUE LIKE '%r1c1%' "
         "BEGIN SELECT RAISE(ABORT, 'refused by trigger'); END",
         {}, false, {"Inserting a row into table \"PATDST\" failed: refused by trigger"}, {"refused by trigger"}, {},
         {"fld"}, {{"PATDST", "0"}, {"PTILE", "0"}, {kFrequencyTables, ""}}},
        // Neither the failed table nor any part of it stays, so the rebuild can be run again.
        {"frequency read error leaves only whole tables", 1.7,
         failingColumn("frqdist", "fr_count", "fld_id = 17 AND raw = 2"), "", {}, false,
         {"Reading the rows of legacy table \"frqdist17\" failed"}, {}, {}, {},
         {{"FRQDST3", "3"}, {"SELECT count(*) FROM sqlite_master WHERE name = 'FRQDST3_fr_count'", "1"},
          {"SELECT count(*) FROM sqlite_master WHERE name LIKE 'FRQDST17%' OR name LIKE 'FRQDST25%'", "0"}}},
        // Every read of a view runs it again; this one never ends. Only real tables are read.
        {"a view where a table belongs is skipped and reported", 2.0,
         endlessView("fld") + "; CREATE VIEW frqdist9 AS SELECT * FROM frqdist3", "", {}, false,
         {"of the legacy file is a view"},
         {"\"fld\" of the legacy file is a view", "\"frqdist9\" of the legacy file is a view"}, {},
         {"tbl", "patdist"},
         {{"FLD", "0"}, {kFrequencyTables, "FRQDST17,FRQDST2500000,FRQDST3"}}},
        {"a view for the shared frequency table is skipped", 1.8, endlessView("frqdist"), "", {}, false,
         {"\"frqdist\" of the legacy file is a view"}, {}, {}, {"tbl", "fld"}, {{kFrequencyTables, ""}}},
        {"an existing frequency table is left alone", 1.9, "",
         "CREATE TABLE FRQDST17 (fr_value TEXT, fr_count INTEGER, fr_mcval TEXT); "
         "INSERT INTO FRQDST17 VALUES ('kept', 1, NULL)",
         {}, false, {"already exists"}, {}, {}, {},
         {{"SELECT group_concat(fr_value) FROM FRQDST17", "kept"}, {"FRQDST3", "3"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        LegacyFile file(dir.file("legacy.db"), c.version);
        for (const std::string& name : c.frequencyTables) file.addFrequencyTable(name);
        if (!c.sourceSql.empty()) file.raw().run(c.sourceSql);
        TestRepository repo;
        if (!c.targetSql.empty()) RawDb(repo.file()).run(c.targetSql);
        Recorder callback;
        Outcome outcome = rebuild(file.path(), repo.file(), &callback);
        EXPECT_EQ(outcome.ok, c.ok) << outcome.error;
        for (const std::string& part : c.errorParts)
            EXPECT_NE(outcome.error.find(part), std::string::npos) << outcome.error;
        for (const std::string& message : c.messages) EXPECT_TRUE(callback.sawMessage(message)) << message;
        for (const std::string& message : c.absentMessages) EXPECT_FALSE(callback.sawMessage(message)) << message;
        RawDb target(repo.file());
        expectCopied(file, target, c.copied);
        for (const auto& [what, expected] : c.probes) EXPECT_EQ(probe(target, what), expected) << what;
    }
}

// Sources without a readable version (read before the target is even opened), files that are no
// database, and targets without the catalogue tables: refused with a reason, nothing written.
TEST(LegacyFaults, UnreadableSourcesAndTargetsTouchNothing) {
    TempDir dir;
    const std::pair<const char*, const char*> versionless[] = {
        {"noinfo", "CREATE TABLE fld (x)"},
        {"norow", "CREATE TABLE info (i_type TEXT, i_version REAL)"},
        {"null", "CREATE TABLE info (i_type, i_version); INSERT INTO info VALUES ('PROFILE_RESULTSET', NULL)"},
        {"text", "CREATE TABLE info (i_type, i_version); INSERT INTO info VALUES ('PROFILE_RESULTSET', 'one')"},
        {"view", "CREATE VIEW info AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) "
                 "SELECT 'OTHER' AS i_type, n AS i_version FROM r"}};
    std::vector<std::vector<std::string>> cases;  // source, target, part of the reason
    for (const auto& [name, sql] : versionless) {
        RawDb(dir.file(std::string("v_") + name + ".db"), true).run(sql);
        cases.push_back({dir.file(std::string("v_") + name + ".db"), dir.file("target.db"), "no readable version"});
    }
    LegacyFile file(dir.file("legacy.db"), 2.0);
    writeFile(dir.file("text.db"), "this is not a database, just text that is long enough to be read\n");
    RawDb(dir.file("empty.db"), true).run("CREATE TABLE other (x)");
    TestRepository repo;
    cases.insert(cases.end(), {{dir.file("missing.db"), repo.file(), ""}, {dir.file("text.db"), repo.file(), ""},
                               {"", repo.file(), ""}, {file.path(), dir.file("missing-target.db"), ""},
                               {file.path(), dir.file("text.db"), ""},
                               {file.path(), dir.file("empty.db"), "no such table"}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0] + " -> " + c[1]);
        Outcome outcome = rebuild(c[0], c[1]);
        EXPECT_FALSE(outcome.ok);
        EXPECT_FALSE(outcome.error.empty());
        EXPECT_NE(outcome.error.find(c[2]), std::string::npos) << outcome.error;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("target.db")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing-target.db")));
    RawDb target(repo.file());
    EXPECT_EQ(target.count("FLD"), 0);
    RawDb empty(dir.file("empty.db"));
    EXPECT_EQ(empty.names("%", "%"), (std::vector<std::string>{"other"}));
}

// Stopped at a table, within a big one, or among the frequency tables: tables before it stay, nothing of it or
// after it is written.
TEST(LegacyFaults, StoppedByTheCallback) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 2.0);
    LegacyFile big(dir.file("big.db"), 2.0);
    big.raw().exec("INSERT INTO frqdist3 WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r "
                   "WHERE n < 25000) SELECT 'v' || n, n FROM r");
    const struct {
        LegacyFile& file;
        const char* stop;
        int fld;
        const char* frequencyTables;
    } cases[] = {{file, "Table FLD", 0, ""},
                 {file, "Table frqdist17", 3, "FRQDST3"},
                 {big, "Table frqdist3: 20000 rows", 3, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stop);
        TestRepository repo;
        Recorder callback;
        callback.stopAt = c.stop;
        EXPECT_FALSE(rebuild(c.file.path(), repo.file(), &callback).ok);
        EXPECT_EQ(callback.progress.back(), c.stop);
        RawDb target(repo.file());
        expectCopied(c.file, target, {"tbl"});
        EXPECT_EQ(target.count("FLD"), c.fld);
        EXPECT_EQ(probe(target, kFrequencyTables), c.frequencyTables);
    }
}

}  // namespace
