// One connection per test over each driver: a SQLite file through the native driver and the
// PostgreSQL test server through ODBC, each with and without a schema.
#ifndef DAC_FIXTURE_H
#define DAC_FIXTURE_H

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sql_record.h"
#include "test_rows.h"
#include "test_support.h"
#include "vqdac.h"

enum class Backend { Sqlite, SqliteSchema, Pg, PgSchema };

// Ends each connector object the way it ends.
struct DacEnd {
    void operator()(DacConnection* c) const { c->close(); }
    void operator()(DacCursor* c) const { c->close(); }
    void operator()(DacStatement* s) const { s->release(); }
    void operator()(DacTable* t) const { t->release(); }
    void operator()(DacBulkLoader* l) const { l->close(); }
};
using ConnPtr = std::unique_ptr<DacConnection, DacEnd>;
using CursorPtr = std::unique_ptr<DacCursor, DacEnd>;
using StmtPtr = std::unique_ptr<DacStatement, DacEnd>;
using TablePtr = std::unique_ptr<DacTable, DacEnd>;
using LoaderPtr = std::unique_ptr<DacBulkLoader, DacEnd>;

class DacDriverTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : tag_ = test.substr(0, test.find('/'))) c = static_cast<char>(std::tolower(c));
        if (isPg()) {
            REPOS_REQUIRE_PG();
            text_ = pgConnection();
        } else {
            text_ = "VQXTYPE=SQLITE;FILE=" + dir_.file("main.db") + ";CREATE=TRUE";
        }
        std::string error;
        conn_.reset(dacOpen(text_, &error));
        ASSERT_TRUE(conn_) << error;
        if (GetParam() == Backend::Sqlite || GetParam() == Backend::Pg) return;
        schema_ = "S_" + tag_;
        if (isPg()) {
            exec("DROP SCHEMA IF EXISTS \"" + schema_ + "\" CASCADE");
            ASSERT_TRUE(exec("CREATE SCHEMA \"" + schema_ + "\""));
        } else {
            ASSERT_TRUE(exec("ATTACH DATABASE '" + dir_.file("s.db") + "' AS \"" + schema_ + "\""));
        }
    }

    bool isPg() const { return GetParam() == Backend::Pg || GetParam() == Backend::PgSchema; }

    // A table name of this test (tests of one server run side by side).
    std::string name(const std::string& base) const {
        return schema_.empty() ? "t_" + tag_ + "_" + base : base;
    }
    std::string sch() const { return schema_.empty() ? "" : "\"" + schema_ + "\"."; }
    // The quoted, qualified name of a table of this test.
    std::string q(const std::string& base) const { return sch() + "\"" + name(base) + "\""; }
    bool exec(const std::string& sql) {
        SqlRecordPause pause;
        bool done = conn_->executeDirect(VqbString(sql), 0);
        if (!done) lastError_ = conn_->getErrorText().str();
        return done;
    }
    void fresh(const std::string& base, const std::string& columns) {
        exec("DROP TABLE IF EXISTS " + q(base));
        ASSERT_TRUE(exec("CREATE TABLE " + q(base) + " (" + columns + ")")) << lastError_;
    }
    Rows rows(const std::string& sql) { return dacRows(conn_.get(), sql); }
    long long count(const std::string& base) {
        return std::atoll(dacScalar(conn_.get(), "SELECT COUNT(*) FROM " + q(base)).c_str());
    }

    TempDir dir_;
    std::string tag_;
    std::string text_;
    std::string schema_;
    std::string lastError_;
    ConnPtr conn_;
};

#endif
