// A legacy result-set file of each version rebuilt into a repository, row by row.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "legacy_files.h"
#include "movesqlitedata.h"
#include "repos_fixture.h"
#include "repositoryimpl.h"
#include "vqbdatavar.h"

namespace {

std::map<std::string, long long> rowCounts(RawDb& file) {
    std::map<std::string, long long> out;
    for (const std::string& table : file.names("%")) out[table] = file.count(table);
    return out;
}

class LegacyRebuildTest : public ::testing::TestWithParam<double> {};

TEST_P(LegacyRebuildTest, EveryTableHoldsTheFileRows) {
    const double version = GetParam();
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), version);
    TestRepository repo;
    std::map<std::string, long long> before;
    {
        RawDb target(repo.file());
        before = rowCounts(target);
    }
    Recorder callback;
    VqbString error;
    ASSERT_TRUE(reposMoveSqliteData(file.path(), repo.file(), &callback, error)) << error.str();
    EXPECT_TRUE(error.isEmpty()) << error.str();
    EXPECT_FALSE(callback.sawMessage("legacy file has no table")) << "every table the version has was read";
    EXPECT_TRUE(callback.sawMessage("3 rows inserted"));

    RawDb target(repo.file());
    std::set<std::string> filled = {"REPORT", "JOB"};
    for (const LegacyTable& table : legacyTables()) {
        if (!table.has(version)) continue;
        SCOPED_TRACE(table.name);
        filled.insert(table.dest);
        Expected expected = expectedRows(file, table);
        ASSERT_EQ(expected.rows.size(), 3u);
        EXPECT_EQ(targetRows(target, table.dest, expected.columns), expected.rows);
        // Destination columns the legacy table does not fill stay null.
        std::set<std::string> mapped(expected.columns.begin(), expected.columns.end());
        for (const Row& column : target.rows("SELECT name FROM pragma_table_info(?)", {std::string(table.dest)}))
            EXPECT_TRUE(mapped.count(column[0]) || target.rows("SELECT count(*) FROM " + std::string(table.dest) +
                                                                " WHERE " + column[0] + " IS NOT NULL")[0][0] == "0")
                << column[0];
    }

    // REPORT always, and JOB before 1.4, get one row of their own.
    double today = VqbDate::currentDate().asDouble();
    Rows report = target.rows("SELECT RPT_ID, FLDR_ID, RPT_NAME, RPT_USER, SU_ID, RPT_CRDT, RPT_MODT FROM REPORT");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(Row(report[0].begin(), report[0].begin() + 5),
              (Row{std::string("1"), std::string("0"), std::string("Default"), std::string("UPGRADE"), kNullText}));
    EXPECT_LT(std::fabs(std::stod(report[0][5]) - today), 1.0);
    EXPECT_EQ(report[0][5], report[0][6]);
    if (version < 1.4) {
        Rows job = target.rows("SELECT JOB_ID, RPT_ID, JOB_DESC, JOB_DATE FROM JOB");
        ASSERT_EQ(job.size(), 1u);
        EXPECT_EQ(Row(job[0].begin(), job[0].begin() + 3),
                  (Row{std::string("1"), std::string("1"), std::string("Default")}));
        EXPECT_LT(std::fabs(std::stod(job[0][3]) - today), 1.0);
    }

    // One frequency table per field, whatever the layout, with both indexes.
    for (int field : LegacyFile::frequencyFields()) {
        std::string name = "FRQDST" + std::to_string(field);
        SCOPED_TRACE(name);
        filled.insert(name);
        Rows expected;
        for (int row = 0; row < 3; ++row) {
            expected.push_back(LegacyFile::frequencyRow(field, row));
            expected.back().push_back(kNullText);  // fr_mcval
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(targetRows(target, name, {"fr_value", "fr_count", "fr_mcval"}), expected);
        EXPECT_EQ(target.names(name + "_fr_%", "index"),
                  (std::vector<std::string>{name + "_fr_count", name + "_fr_value"}));
    }

    // Nothing else was written.
    for (const auto& [table, count] : rowCounts(target)) {
        if (filled.count(table)) continue;
        auto it = before.find(table);
        ASSERT_NE(it, before.end()) << "unexpected table " << table;
        EXPECT_EQ(count, it->second) << table;
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, LegacyRebuildTest,
                         ::testing::Values(1.0, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.9, 2.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                             std::string text = std::to_string(info.param).substr(0, 3);
                             return "v" + text.replace(1, 1, "_");
                         });

// The repository's own entry takes the same road and keeps the reason as its last error.
TEST(LegacyRebuild, RepositoryEntryRebuildsAndKeepsTheReason) {
    TempDir dir;
    LegacyFile file(dir.file("legacy.db"), 2.0);
    TestRepository repo;
    RepositoryImpl* repository = new RepositoryImpl();
    EXPECT_TRUE(repository->moveSqliteData(file.path(), repo.file())) << repository->getErrorMessage().str();
    EXPECT_FALSE(repository->moveSqliteData(dir.file("missing.db"), repo.file()));
    EXPECT_FALSE(repository->getErrorMessage().isEmpty());
    repository->release();
    RawDb target(repo.file());
    EXPECT_EQ(target.count("FLD"), 3);
}

TEST(LegacyRebuild, FrequencyNamesAreCheckedToTheDigit) {
    VqbString id;
    for (const char* good : {"frqdist17", "FRQDIST007", "frqdist123456789012345678"}) {
        EXPECT_TRUE(legacyFrequencyFieldId(good, &id)) << good;
        EXPECT_EQ(id.str(), std::string(good).substr(7));
    }
    for (const char* bad : {"frqdist", "frqdist1234567890123456789", "frqdist-3", "frqdist3.0", "frqdist 3",
                            "frqdist3 ", "frqdist1; DROP TABLE FLD", "frqdist1\"x", "xfrqdist1", "frqdst1", ""})
        EXPECT_FALSE(legacyFrequencyFieldId(bad, &id)) << bad;
    EXPECT_FALSE(legacyFrequencyFieldId(VqbString(), &id));
}

}  // namespace
