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

Outcome rebuild(const std::string& source, const std::string& target, RecordingCallback* callback = nullptr) {
    RecordingCallback own;
    VqbString error;
    LogCapture log;
    bool ok = reposMoveSqliteData(source, target, callback ? callback : &own, error);
    // Every failure with a reason is logged with it at level 5.
    if (!ok && !error.isEmpty()) {
        EXPECT_TRUE(log.contains(error.str(), 5)) << error.str();
    }
    if (ok) {
        EXPECT_EQ(log.count("", 5), 0u);
    }
    return {ok, error.str()};
}

long long count(RawFile& file, const std::string& table) {
    Rows rows = file.rows("SELECT count(*) FROM \"" + table + "\"");
    return rows.empty() ? -1 : std::stoll(*rows[0][0]);
}

// Tables (not indexes) whose names match a LIKE pattern.
std::vector<std::string> tablesLike(RawFile& file, const std::string& pattern) {
    std::vector<std::string> names;
    for (const Row& row : file.rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE '" + pattern +
                                    "' ORDER BY name"))
        names.push_back(*row[0]);
    return names;
}

const LegacyTable& legacyTable(const std::string& name) {
    for (const LegacyTable& table : legacyTables())
        if (name == table.name) return table;
    throw std::runtime_error("no legacy table " + name);
}

// The destination holds exactly the rows of the legacy table.
void expectCopied(LegacyFile& file, RawFile& target, const std::string& legacyName) {
    SCOPED_TRACE(legacyName);
    Expected expected = expectedRows(file, legacyTable(legacyName));
    EXPECT_EQ(targetRows(target, legacyTable(legacyName).dest, expected.columns), expected.rows);
}

// An integer overflow raised while the row is read, as a damaged file would fail mid-table.
const char kOverflow[] = "abs(-9223372036854775807 - 1)";

TEST(LegacyFaults, HostileFrequencyTableNamesAreSkippedAndReported) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 2.0);
    const std::vector<std::string> hostile = {"frqdist1; DROP TABLE FLD", "frqdist1\"x", "frqdist_old",
                                              "frqdist1 (x); --"};
    for (const std::string& name : hostile) file.addFrequencyTable(name);
    file.addFrequencyTable("FRQDIST9");
    ReposTestRepository repo;
    RecordingCallback callback;
    Outcome outcome = rebuild(file.path(), repo.file(), &callback);
    EXPECT_TRUE(outcome.ok) << outcome.error;
    for (const std::string& name : hostile)
        EXPECT_TRUE(callback.saw("\"" + name + "\" is not the name of a legacy frequency table")) << name;

    RawFile target(repo.file());
    expectCopied(file, target, "fld");
    EXPECT_EQ(tablesLike(target, "FRQDST_%"),
              (std::vector<std::string>{"FRQDST17", "FRQDST2500000", "FRQDST3", "FRQDST9"}));
    EXPECT_EQ(count(target, "FRQDST9"), 2);
    EXPECT_TRUE(target.hasTable("FRQDST9_fr_value"));
    // Nothing else of the hostile names reached the target.
    EXPECT_TRUE(target.rows("SELECT name FROM sqlite_master WHERE name LIKE '%;%' OR name LIKE '%\"%' OR "
                            "name LIKE '% %' OR name LIKE 'frqdist%'")
                    .empty());
}

// Before 1.9 the names are made from field ids, which the file may hold as anything.
TEST(LegacyFaults, FieldIdsThatMakeNoTableNameAreSkipped) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 1.8);
    for (const char* id : {"'1; DROP TABLE FLD'", "-5", "4.5", "NULL", "'7\"x'"})
        file.raw().exec(std::string("INSERT INTO frqdist VALUES (") + id + ", 'v', 1)");
    ReposTestRepository repo;
    RecordingCallback callback;
    Outcome outcome = rebuild(file.path(), repo.file(), &callback);
    EXPECT_TRUE(outcome.ok) << outcome.error;
    for (const char* name : {"frqdist1; DROP TABLE FLD", "frqdist-5", "frqdist4.5", "(null)", "frqdist7\"x"})
        EXPECT_TRUE(callback.saw(std::string("\"") + name + "\" is not the name")) << name;
    RawFile target(repo.file());
    expectCopied(file, target, "fld");
    EXPECT_EQ(tablesLike(target, "FRQDST_%"), (std::vector<std::string>{"FRQDST17", "FRQDST2500000", "FRQDST3"}));
    EXPECT_EQ(count(target, "FRQDST17"), 3);
}

// A table the version should have but the file lacks is named; one only some files have is not.
TEST(LegacyFaults, MissingTableIsReportedAndTheRestCopied) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 1.8);
    file.raw().exec("DROP TABLE fld_notes; DROP TABLE mcdist");
    ReposTestRepository repo;
    RecordingCallback callback;
    Outcome outcome = rebuild(file.path(), repo.file(), &callback);
    EXPECT_TRUE(outcome.ok) << outcome.error;
    EXPECT_TRUE(callback.saw("The legacy file has no table \"fld_notes\"; nothing was copied into table \"FLDNOT\""));
    EXPECT_FALSE(callback.saw("\"mcdist\""));
    EXPECT_FALSE(callback.saw("\"MCDIST\""));
    RawFile target(repo.file());
    EXPECT_EQ(count(target, "FLDNOT"), 0);
    EXPECT_EQ(count(target, "MCDIST"), 0);
    for (const char* table : {"tbl_notes", "fld", "note_cat", "redun"}) expectCopied(file, target, table);
    EXPECT_EQ(count(target, "FRQDST17"), 3);
}

// A table the file has in another shape than its version promises is lost data: the walk goes on,
// the result says so.
TEST(LegacyFaults, TableWithoutItsColumnsFailsAfterTheWalk) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 1.6);
    file.raw().exec("ALTER TABLE dsn DROP COLUMN dsn_textfile");
    ReposTestRepository repo;
    Outcome outcome = rebuild(file.path(), repo.file());
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("Table \"DSN\" could not be read"), std::string::npos) << outcome.error;
    EXPECT_NE(outcome.error.find("dsn_textfile"), std::string::npos) << outcome.error;
    RawFile target(repo.file());
    EXPECT_EQ(count(target, "DSN"), 0);
    for (const char* table : {"tbl", "fld", "alert", "tf_info"}) expectCopied(file, target, table);
    EXPECT_EQ(count(target, "FRQDST3"), 3);
}

TEST(LegacyFaults, ReadErrorMidTableKeepsNoneOfItsRows) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 1.4);
    file.raw().exec(std::string("ALTER TABLE patdist RENAME TO patdist_rows; CREATE VIEW patdist AS SELECT fld_id, "
                                "pa_value, CASE WHEN fld_id = 2 THEN ") +
                    kOverflow + " ELSE pa_count2 END AS pa_count2 FROM patdist_rows");
    ReposTestRepository repo;
    Outcome outcome = rebuild(file.path(), repo.file());
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("Reading the legacy rows of table \"PATDST\" failed"), std::string::npos)
        << outcome.error;
    RawFile target(repo.file());
    EXPECT_EQ(count(target, "PATDST"), 0);
    for (const char* table : {"fld", "ptile", "outlier", "fld_notes"}) expectCopied(file, target, table);
    EXPECT_EQ(count(target, "FRQDST2500000"), 3);
}

// A refused insert used to end the table quietly with the result still true.
TEST(LegacyFaults, RefusedInsertEndsTheRebuildWithFalse) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 2.0);
    ReposTestRepository repo;
    ASSERT_TRUE(repo.exec("CREATE TRIGGER refuse BEFORE INSERT ON PATDST WHEN NEW.PA_VALUE LIKE '%r1c1%' "
                          "BEGIN SELECT RAISE(ABORT, 'refused by trigger'); END"));
    RecordingCallback callback;
    Outcome outcome = rebuild(file.path(), repo.file(), &callback);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("Inserting a row into table \"PATDST\" failed: refused by trigger"),
              std::string::npos)
        << outcome.error;
    EXPECT_TRUE(callback.saw("refused by trigger"));
    RawFile target(repo.file());
    // The table is whole or empty; tables before it stay, nothing after it is written.
    EXPECT_EQ(count(target, "PATDST"), 0);
    expectCopied(file, target, "fld");
    EXPECT_EQ(count(target, "PTILE"), 0);
    EXPECT_TRUE(tablesLike(target, "FRQDST_%").empty());
}

TEST(LegacyFaults, FrequencyReadErrorLeavesOnlyWholeTables) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 1.7);
    file.raw().exec(std::string("ALTER TABLE frqdist RENAME TO frq_rows; CREATE VIEW frqdist AS SELECT fld_id, "
                                "fr_value, CASE WHEN fld_id = 17 AND fr_count = 2 THEN ") +
                    kOverflow + " ELSE fr_count END AS fr_count FROM frq_rows");
    ReposTestRepository repo;
    Outcome outcome = rebuild(file.path(), repo.file());
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("Reading the rows of legacy table \"frqdist17\" failed"), std::string::npos)
        << outcome.error;
    RawFile target(repo.file());
    EXPECT_EQ(count(target, "FRQDST3"), 3);
    EXPECT_TRUE(target.hasTable("FRQDST3_fr_count"));
    // Neither the failed table nor any part of it, so the rebuild can be run again.
    EXPECT_TRUE(target.rows("SELECT name FROM sqlite_master WHERE name LIKE 'FRQDST17%' OR name LIKE "
                            "'FRQDST25%'")
                    .empty());
}

TEST(LegacyFaults, ExistingFrequencyTableIsLeftAlone) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 1.9);
    ReposTestRepository repo;
    ASSERT_TRUE(repo.exec("CREATE TABLE FRQDST17 (fr_value TEXT, fr_count INTEGER, fr_mcval TEXT)"));
    ASSERT_TRUE(repo.exec("INSERT INTO FRQDST17 VALUES ('kept', 1, NULL)"));
    Outcome outcome = rebuild(file.path(), repo.file());
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("already exists"), std::string::npos) << outcome.error;
    RawFile target(repo.file());
    EXPECT_EQ(target.rows("SELECT fr_value FROM FRQDST17"), (Rows{{std::string("kept")}}));
    EXPECT_EQ(count(target, "FRQDST3"), 3);
}

TEST(LegacyFaults, FileWithoutFrequencyResultsIsFine) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 1.2);
    file.raw().exec("DROP TABLE frqdist");
    ReposTestRepository repo;
    RecordingCallback callback;
    Outcome outcome = rebuild(file.path(), repo.file(), &callback);
    EXPECT_TRUE(outcome.ok) << outcome.error;
    EXPECT_TRUE(callback.saw("Couldn't get list of freq dist tables"));
    RawFile target(repo.file());
    expectCopied(file, target, "exec_log");
}

// The version is read before the target is even opened.
TEST(LegacyFaults, NoReadableVersionTouchesNothing) {
    TempDir dir;
    const std::string target = dir.file("target.db");
    struct Case {
        const char* name;
        const char* sql;
    };
    for (const Case& c : {Case{"no info", "CREATE TABLE fld (x)"},
                          Case{"no row", "CREATE TABLE info (i_type TEXT, i_version REAL)"},
                          Case{"null", "CREATE TABLE info (i_type, i_version); INSERT INTO info VALUES "
                                       "('PROFILE_RESULTSET', NULL)"},
                          Case{"text", "CREATE TABLE info (i_type, i_version); INSERT INTO info VALUES "
                                       "('PROFILE_RESULTSET', 'one point four')"}}) {
        SCOPED_TRACE(c.name);
        const std::string source = dir.file(std::string(c.name) + ".db");
        RawFile(source, true).exec(c.sql);
        Outcome outcome = rebuild(source, target);
        EXPECT_FALSE(outcome.ok);
        EXPECT_NE(outcome.error.find("no readable version"), std::string::npos) << outcome.error;
        EXPECT_FALSE(std::filesystem::exists(target));
    }
}

TEST(LegacyFaults, FilesThatCannotBeOpened) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 2.0);
    writeFile(dir.file("text.db"), "this is not a database, just text that is long enough to be read\n");
    ReposTestRepository repo;
    struct Case {
        std::string source, target;
    };
    for (const Case& c : {Case{dir.file("missing.db"), repo.file()}, Case{dir.file("text.db"), repo.file()},
                          Case{"", repo.file()}, Case{file.path(), dir.file("missing-target.db")},
                          Case{file.path(), dir.file("text.db")}}) {
        SCOPED_TRACE(c.source + " -> " + c.target);
        Outcome outcome = rebuild(c.source, c.target);
        EXPECT_FALSE(outcome.ok);
        EXPECT_FALSE(outcome.error.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing-target.db")));
    RawFile target(repo.file());
    EXPECT_EQ(count(target, "FLD"), 0);
}

// A target without the catalogue tables is refused at its first table, with nothing written.
TEST(LegacyFaults, TargetThatIsNoRepository) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 2.0);
    const std::string target = dir.file("empty.db");
    RawFile(target, true).exec("CREATE TABLE other (x)");
    Outcome outcome = rebuild(file.path(), target);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("no such table"), std::string::npos) << outcome.error;
    RawFile raw(target);
    EXPECT_EQ(tablesLike(raw, "%"), (std::vector<std::string>{"other"}));
}

TEST(LegacyFaults, StoppedByTheCallback) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 2.0);
    ReposTestRepository repo;
    RecordingCallback callback;
    callback.stopAt = "Table FLD";
    EXPECT_FALSE(rebuild(file.path(), repo.file(), &callback).ok);
    EXPECT_EQ(callback.progress.back(), "Table FLD");
    RawFile target(repo.file());
    expectCopied(file, target, "tbl");
    EXPECT_EQ(count(target, "FLD"), 0);
    EXPECT_TRUE(tablesLike(target, "FRQDST_%").empty());

    callback = RecordingCallback();
    callback.stopAt = "Table frqdist17";
    ReposTestRepository second;
    EXPECT_FALSE(rebuild(file.path(), second.file(), &callback).ok);
    RawFile secondTarget(second.file());
    EXPECT_EQ(count(secondTarget, "FRQDST3"), 3);
    EXPECT_TRUE(tablesLike(secondTarget, "FRQDST17").empty());
}

}  // namespace
