// The catalogue validator on the built-in arrays and on faulty ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "repos_tables.h"
#include "reposlog.h"
#include "test_support.h"

namespace {

std::vector<VqLogEntry> tableEntries(const LogCapture& log) {
    std::vector<VqLogEntry> out;
    for (const VqLogEntry& e : log.entries())
        if (e.logger == REPOS_LOGGER_TABLES) out.push_back(e);
    return out;
}

ReposColumnDef col(const char* table, const char* column, int32_t type = VQB_TYPE_INT, int32_t length = 0,
                   uint32_t flags = 0, int32_t index = 0, const char* description = "described") {
    return ReposColumnDef{table, column, type, length, flags, 0, 1, index, description};
}
const ReposColumnDef kEnd{};

std::string texts(const std::vector<VqLogEntry>& entries) {
    std::string out;
    for (const VqLogEntry& e : entries) out += e.text + "\n";
    return out;
}

struct Case {
    const char* name;
    std::vector<ReposColumnDef> first;
    std::vector<ReposColumnDef> second;
    bool result;
    int level;                // level of the one expected entry; 0 for none
    std::string message;      // its exact text
};

}  // namespace

TEST(TableValidator, BuiltInArraysPassWithOnlyTheLongColumnWarning) {
    LogCapture log(1);
    EXPECT_TRUE(validateTableCatalog());
    std::vector<VqLogEntry> entries = tableEntries(log);
    ASSERT_EQ(entries.size(), 1u) << texts(entries);
    EXPECT_EQ(entries[0].level, 4);
    EXPECT_EQ(entries[0].sourceFile, "repos_tables");
    EXPECT_EQ(entries[0].text, "The column \"AL_SRC_UID\" on table \"ALERT\" has a name longer than 9 chars.");

    // Both shared walks are left at the end of their arrays.
    EXPECT_EQ(nextReposColumn(), reposColumnDefs + reposColumnDefCount);
    EXPECT_EQ(nextNcoaColumn(false), ncoaColumnDefs + ncoaColumnDefCount);
    resetReposColumns();
    resetNcoaColumns();
}

TEST(TableValidator, FaultyArraysFailOrWarnAsTheyShould) {
    const std::vector<Case> cases = {
        {"clean", {col("T1", "A"), col("T1", "B", VQB_TYPE_STRING, 8), kEnd}, {}, true, 0, ""},
        {"table reappears",
         {col("T1", "A"), kEnd, col("T2", "A"), kEnd, col("T1", "B"), kEnd},
         {},
         false,
         5,
         "The table \"T1\" has already been processed."},
        {"table of the first array reappears in the second",
         {col("T1", "A"), kEnd, col("T2", "A"), kEnd},
         {col("T1", "B"), kEnd},
         false,
         5,
         "The table \"T1\" has already been processed."},
        {"duplicate column", {col("T1", "A"), col("T1", "B"), col("T1", "A"), kEnd}, {}, false, 5,
         "The table \"T1\" has duplicate columns named \"A\"."},
        {"index number reused across arrays",
         {col("T1", "A", VQB_TYPE_INT, 0, REPOS_COL_INDEXED, 7), kEnd},
         {col("T2", "B", VQB_TYPE_INT, 0, REPOS_COL_INDEXED, 7), kEnd},
         false,
         5,
         "Index \"7\" assigned to \"T2.B\" already in use: T1.A"},
        {"index flag without number", {col("T1", "A", VQB_TYPE_INT, 0, REPOS_COL_INDEXED, 0), kEnd}, {}, false, 4,
         "Table \"T1\" has index flag set on column \"A\" with number of 0. This is invalid."},
        {"index number without flag", {col("T1", "A", VQB_TYPE_INT, 0, 0, 9), kEnd}, {}, true, 4,
         "Table \"T1\" has a index number of \"9\" on column \"A\" without index creation flag set.  This will not be "
         "created."},
        {"long table name", {col("TABLE77", "A"), kEnd}, {}, true, 4,
         "Table name length is longer than 6 chars for table \"TABLE77\""},
        {"long column name", {col("T1", "COLUMN_TEN"), kEnd}, {}, true, 4,
         "The column \"COLUMN_TEN\" on table \"T1\" has a name longer than 9 chars."},
        {"string without length", {col("T1", "A", VQB_TYPE_STRING, 0), kEnd}, {}, true, 4,
         "Field \"A\" on table \"T1\" does not appear to have text length setting with flag or value."},
        {"null description", {col("T1", "A", VQB_TYPE_INT, 0, 0, 0, nullptr), kEnd}, {}, true, 4,
         "Field \"A\" on table \"T1\" does not appear to have a description set."},
        {"empty description", {col("T1", "A", VQB_TYPE_INT, 0, 0, 0, ""), kEnd}, {}, true, 4,
         "Field \"A\" on table \"T1\" does not appear to have a description set."},
        {"second primary key",
         {col("T1", "A", VQB_TYPE_INT, 0, REPOS_COL_PRIMARY), col("T1", "B", VQB_TYPE_INT, 0, REPOS_COL_PRIMARY), kEnd},
         {},
         true,
         4,
         "A primary key is being assigned to field \"B\", a primary key was also found for field \"A\" on table \"T1\"."},
        // Keys are per table, and a number is only taken by a column that has one.
        {"keys in different tables",
         {col("T1", "A", VQB_TYPE_INT, 0, REPOS_COL_PRIMARY | REPOS_COL_INDEXED, 1), kEnd,
          col("T2", "A", VQB_TYPE_INT, 0, REPOS_COL_PRIMARY | REPOS_COL_INDEXED, 2), kEnd},
         {},
         true,
         0,
         ""},
        // Same column name in two tables is fine; unlimited text needs no length.
        {"shared column names",
         {col("T1", "A", VQB_TYPE_STRING, 0, REPOS_COL_UNLIMITED), kEnd, col("T2", "A"), kEnd},
         {},
         true,
         0,
         ""},
        {"metric placeholder", {col("T1", "A"), ReposColumnDef{"T1", nullptr, 0, 0, REPOS_COL_METRICS, 0, 1, 0, "m"}, kEnd},
         {},
         true,
         0,
         ""},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Every array is closed by a second end record; a faulty record after it must not be read.
        std::vector<ReposColumnDef> first = c.first;
        first.push_back(kEnd);
        first.push_back(col("T1", "A", VQB_TYPE_INT, 0, REPOS_COL_INDEXED, 0));
        std::vector<ReposColumnDef> second = c.second.empty() ? std::vector<ReposColumnDef>{kEnd} : c.second;
        second.push_back(kEnd);
        const ReposColumnDef* arrays[] = {first.data(), second.data()};
        size_t walked[2] = {};

        LogCapture log(1);
        EXPECT_EQ(validateColumnDefArrays(arrays, 2, walked), c.result);
        std::vector<VqLogEntry> entries = tableEntries(log);
        if (c.level == 0) {
            EXPECT_TRUE(entries.empty()) << texts(entries);
        } else {
            ASSERT_EQ(entries.size(), 1u) << texts(entries);
            EXPECT_EQ(entries[0].level, c.level);
            EXPECT_EQ(entries[0].text, c.message);
        }
        EXPECT_EQ(walked[0], first.size() - 1);
        EXPECT_EQ(walked[1], second.size());
    }
}

TEST(TableValidator, ReportsEveryFaultNotOnlyTheFirst) {
    const ReposColumnDef records[] = {
        col("T1", "A", VQB_TYPE_INT, 0, REPOS_COL_INDEXED, 0),
        col("T1", "A"),
        kEnd,
        col("T2", "LONG_COLUMN", VQB_TYPE_STRING, 0),
        kEnd,
        kEnd,
    };
    const ReposColumnDef* arrays[] = {records};
    LogCapture log(1);
    EXPECT_FALSE(validateColumnDefArrays(arrays, 1));
    std::vector<VqLogEntry> entries = tableEntries(log);
    ASSERT_EQ(entries.size(), 4u) << texts(entries);
    EXPECT_NE(entries[0].text.find("with number of 0"), std::string::npos);
    EXPECT_NE(entries[1].text.find("duplicate columns named \"A\""), std::string::npos);
    EXPECT_NE(entries[2].text.find("longer than 9 chars"), std::string::npos);
    EXPECT_NE(entries[3].text.find("text length setting"), std::string::npos);
}
