// Every statement the library prepared on SQLite while the test programs ran (recorded into
// REPOS_SQL_RECORD), explained on a fresh repository: none may read a whole catalogue table or
// make SQLite build an automatic index, unless its shape is listed below with its reason. Run
// by CTest after every test program; run alone without records it is skipped.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "repos_admin.h"
#include "repos_held.h"
#include "sql_plans.h"
#include "sql_record.h"
#include "test_support.h"

namespace {

struct Allowed {
    const char* shape;  // as normaliseSql writes it
    const char* reason;
};

// Statements that read a whole table by design: lists, exports, copies, upgrades, checks, and
// tables of a fixed small size.
const Allowed kByDesign[] = {
    {"", ""},
};

// Lookups that a call runs once per call or per item on a table that grows with use, still
// without an index. Each is being mended; the list empties when the mends land.
const Allowed kPending[] = {
    {"", ""},
};

struct Shape {
    std::string text;  // the first text recorded with this shape
    std::string test;
};

struct Finding {
    std::string shape;
    const Shape* source;
    std::vector<std::string> plan;
    std::set<std::string> tables;
    const Allowed* allowed;
};

std::string planText(const std::vector<std::string>& plan) {
    std::string out;
    for (const std::string& line : plan) out += "      " + line + "\n";
    return out;
}

class PlanCheck : public ::testing::Test {
protected:
    void SetUp() override {
        const char* folder = std::getenv("REPOS_SQL_RECORD");
        if (!folder || !*folder)
            GTEST_SKIP() << "REPOS_SQL_RECORD is not set: nothing was recorded to check (ctest runs the test "
                            "programs with it, then this check)";
        std::string error;
        ASSERT_TRUE(readSqlRecords(folder, records_, &error)) << error;
        if (records_.empty())
            GTEST_SKIP() << "no statements recorded in " << folder << ": run the test programs with REPOS_SQL_RECORD="
                         << folder << " first";

        const std::string file = dir_.file("fresh.db");
        ConfigScope config;
        const char* source = std::getenv("REPOS_SOURCE_DIR");
        if (source) config.set("REPOS/TABLE_LIST_PATH", (std::string(source) + "/etc/reposcreate").c_str());
        ReposHeld<RepositoryAdmin> admin(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
        ASSERT_TRUE(admin);
        ASSERT_TRUE(admin->createFileRepository(VqbString(file))) << admin->getErrorMessage().str();
        ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    }
    void TearDown() override { sqlite3_close_v2(db_); }

    // The detail column of each plan line; false with SQLite's reason when it cannot be explained.
    bool explain(const std::string& sql, std::vector<std::string>& plan, std::string& why) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            why = sqlite3_errmsg(db_);
            sqlite3_finalize(stmt);
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            plan.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)));
        if (rc != SQLITE_DONE) why = sqlite3_errmsg(db_);
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    }

    TempDir dir_;
    sqlite3* db_ = nullptr;
    std::vector<RecordedStatement> records_;
};

const Allowed* allowed(const std::string& shape) {
    for (const auto* list : {&kByDesign, &kPending})
        for (const Allowed& a : *list)
            if (shape == a.shape) return &a;
    return nullptr;
}

TEST_F(PlanCheck, NoStatementReadsAWholeCatalogueTable) {
    std::map<std::string, Shape> shapes;
    size_t statements = 0;
    for (const RecordedStatement& r : records_)
        for (const std::string& sql : splitSqlStatements(r.text)) {
            ++statements;
            shapes.emplace(normaliseSql(sql), Shape{sql, r.firstTest});
        }

    const std::set<std::string> catalogue = catalogueTableNames();
    std::vector<Finding> findings;
    std::vector<std::pair<const std::string*, std::string>> unexplained;
    size_t withoutPlan = 0, explained = 0;
    for (const auto& [shape, source] : shapes) {
        if (!hasQueryPlan(source.text)) {
            ++withoutPlan;
            continue;
        }
        std::vector<std::string> plan;
        std::string why;
        if (!explain(source.text, plan, why)) {
            unexplained.emplace_back(&shape, why);
            continue;
        }
        ++explained;
        Finding f{shape, &source, plan, {}, allowed(shape)};
        for (const std::string& line : plan) {
            PlanVerdict v = classifyPlanLine(line, source.text, catalogue);
            if (v.finding != PlanFinding::None) f.tables.insert(v.table);
        }
        if (!f.tables.empty()) findings.push_back(std::move(f));
    }

    std::ostringstream report;
    report << records_.size() << " texts recorded, " << statements << " statements, " << shapes.size()
           << " shapes: " << explained << " explained, " << withoutPlan << " without a query plan (DDL, "
           << "transactions, pragmas), " << unexplained.size() << " not explainable on a fresh repository\n";
    for (const auto& [shape, why] : unexplained) report << "  skipped (" << why << "): " << *shape << "\n";
    size_t allowedCount = 0;
    for (const Finding& f : findings) {
        if (!f.allowed) continue;
        ++allowedCount;
        report << "  allowed (" << f.allowed->reason << "): " << f.shape << "\n";
    }
    std::cout << report.str() << allowedCount << " allowed statements read whole tables\n";

    std::ostringstream failures;
    size_t failed = 0;
    for (const Finding& f : findings) {
        if (f.allowed) continue;
        ++failed;
        failures << "\n  " << f.shape << "\n    first sent by " << f.source->test << "\n    reads";
        for (const std::string& t : f.tables) failures << " " << t;
        failures << "\n    as sent: " << f.source->text << "\n" << planText(f.plan);
    }
    EXPECT_EQ(failed, 0u) << failed << " statements read a whole catalogue table or build an automatic index:\n"
                          << failures.str();
}

}  // namespace
