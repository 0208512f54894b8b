// The catalogue validator on the built-in arrays and on faulty ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "repos_tables.h"
#include "reposlog.h"
#include "test_support.h"

namespace {

// The table catalogue's entries, one "level text" line each.
std::vector<std::string> tableEntries(const LogCapture& log) {
    std::vector<std::string> out;
    for (const VqLogEntry& e : log.entries())
        if (e.logger == REPOS_LOGGER_TABLES) out.push_back(std::to_string(e.level) + " " + e.text);
    return out;
}

ReposColumnDef col(const char* table, const char* column, int32_t type = VQB_TYPE_INT, int32_t length = 0,
                   uint32_t flags = 0, int32_t index = 0, const char* description = "described") {
    return ReposColumnDef{table, column, type, length, flags, 0, 1, index, description};
}
const ReposColumnDef kEnd{};
constexpr uint32_t kIx = REPOS_COL_INDEXED, kPk = REPOS_COL_PRIMARY;

}  // namespace

TEST(TableValidator, BuiltInArraysPassWithOnlyTheLongColumnWarning) {
    LogCapture log(1);
    EXPECT_TRUE(validateTableCatalog());
    EXPECT_EQ(tableEntries(log), std::vector<std::string>{
        "4 The column \"AL_SRC_UID\" on table \"ALERT\" has a name longer than 9 chars."});
    // Both shared walks are left at the end of their arrays.
    EXPECT_EQ(nextReposColumn(), reposColumnDefs + reposColumnDefCount);
    EXPECT_EQ(nextNcoaColumn(false), ncoaColumnDefs + ncoaColumnDefCount);
    resetReposColumns();
    // Every later creation and open asks again: the same verdict, without the warning again.
    log.clear();
    EXPECT_TRUE(validateTableCatalog());
    EXPECT_TRUE(tableEntries(log).empty());
    EXPECT_EQ(nextReposColumn(), reposColumnDefs + reposColumnDefCount);
    resetReposColumns();
    resetNcoaColumns();
}

TEST(TableValidator, FaultyArraysFailOrWarnAsTheyShould) {
    const ReposColumnDef metrics{"T1", nullptr, 0, 0, REPOS_COL_METRICS, 0, 1, 0, "m"};
    const struct {
        const char* name;
        std::vector<ReposColumnDef> first, second;
        bool result;
        std::string entry;  // "level text" of the one expected entry; empty for none
    } cases[] = {
        // Keys and column names are per table; unlimited text needs no length; an index number is only taken by
        // a column that has one.
        {"clean",
         {col("T1", "A", VQB_TYPE_INT, 0, kPk | kIx, 1), col("T1", "B", VQB_TYPE_STRING, 8), metrics, kEnd,
          col("T2", "A", VQB_TYPE_INT, 0, kPk | kIx, 2), col("T2", "C", VQB_TYPE_STRING, 0, REPOS_COL_UNLIMITED),
          kEnd},
         {}, true, ""},
        {"table reappears", {col("T1", "A"), kEnd, col("T2", "A"), kEnd, col("T1", "B"), kEnd}, {}, false,
         "5 The table \"T1\" has already been processed."},
        {"table of the first array reappears in the second", {col("T1", "A"), kEnd, col("T2", "A"), kEnd},
         {col("T1", "B"), kEnd}, false, "5 The table \"T1\" has already been processed."},
        {"duplicate column", {col("T1", "A"), col("T1", "B"), col("T1", "A"), kEnd}, {}, false,
         "5 The table \"T1\" has duplicate columns named \"A\"."},
        {"index number reused across arrays", {col("T1", "A", VQB_TYPE_INT, 0, kIx, 7), kEnd},
         {col("T2", "B", VQB_TYPE_INT, 0, kIx, 7), kEnd}, false, "5 Index \"7\" assigned to \"T2.B\" already in use: T1.A"},
        {"index flag without number", {col("T1", "A", VQB_TYPE_INT, 0, kIx, 0), kEnd}, {}, false,
         "4 Table \"T1\" has index flag set on column \"A\" with number of 0. This is invalid."},
        {"index number without flag", {col("T1", "A", VQB_TYPE_INT, 0, 0, 9), kEnd}, {}, true,
         "4 Table \"T1\" has a index number of \"9\" on column \"A\" without index creation flag set.  This will not "
         "be created."},
        {"long table name", {col("TABLE77", "A"), kEnd}, {}, true,
         "4 Table name length is longer than 6 chars for table \"TABLE77\""},
        {"long column name", {col("T1", "COLUMN_TEN"), kEnd}, {}, true,
         "4 The column \"COLUMN_TEN\" on table \"T1\" has a name longer than 9 chars."},
        {"string without length", {col("T1", "A", VQB_TYPE_STRING, 0), kEnd}, {}, true,
         "4 Field \"A\" on table \"T1\" does not appear to have text length setting with flag or value."},
        {"null description", {col("T1", "A", VQB_TYPE_INT, 0, 0, 0, nullptr), kEnd}, {}, true,
         "4 Field \"A\" on table \"T1\" does not appear to have a description set."},
        {"empty description", {col("T1", "A", VQB_TYPE_INT, 0, 0, 0, ""), kEnd}, {}, true,
         "4 Field \"A\" on table \"T1\" does not appear to have a description set."},
        {"second primary key", {col("T1", "A", VQB_TYPE_INT, 0, kPk), col("T1", "B", VQB_TYPE_INT, 0, kPk), kEnd}, {},
         true, "4 A primary key is being assigned to field \"B\", a primary key was also found for field \"A\" on "
               "table \"T1\"."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Every array is closed by a second end record; a faulty record after it must not be read.
        std::vector<ReposColumnDef> first = c.first;
        first.push_back(kEnd);
        first.push_back(col("T1", "A", VQB_TYPE_INT, 0, kIx, 0));
        std::vector<ReposColumnDef> second = c.second.empty() ? std::vector<ReposColumnDef>{kEnd} : c.second;
        second.push_back(kEnd);
        const ReposColumnDef* arrays[] = {first.data(), second.data()};
        size_t walked[2] = {};
        LogCapture log(1);
        EXPECT_EQ(validateColumnDefArrays(arrays, 2, walked), c.result);
        EXPECT_EQ(tableEntries(log), c.entry.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.entry});
        EXPECT_EQ(walked[0], first.size() - 1);
        EXPECT_EQ(walked[1], second.size());
    }
}

TEST(TableValidator, ReportsEveryFaultNotOnlyTheFirst) {
    const ReposColumnDef records[] = {col("T1", "A", VQB_TYPE_INT, 0, kIx, 0), col("T1", "A"), kEnd,
                                      col("T2", "LONG_COLUMN", VQB_TYPE_STRING, 0), kEnd, kEnd};
    const ReposColumnDef* arrays[] = {records};
    LogCapture log(1);
    EXPECT_FALSE(validateColumnDefArrays(arrays, 1));
    std::vector<std::string> entries = tableEntries(log);
    ASSERT_EQ(entries.size(), 4u);
    const char* parts[] = {"with number of 0", "duplicate columns named \"A\"", "longer than 9 chars", "text length"};
    for (size_t i = 0; i < 4; ++i) EXPECT_NE(entries[i].find(parts[i]), std::string::npos) << entries[i];
}
