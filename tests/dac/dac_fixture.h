// One connection per test over each driver: a SQLite file through the native driver and the
// PostgreSQL test server through ODBC, each with and without a schema.
#ifndef DAC_FIXTURE_H
#define DAC_FIXTURE_H

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "vqdac.h"

enum class Backend { Sqlite, SqliteSchema, Pg, PgSchema };

inline std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    static const char* const names[] = {"Sqlite", "SqliteSchema", "Pg", "PgSchema"};
    return names[static_cast<int>(info.param)];
}

// Ends connector objects that end with close() or release().
struct CloseConn {
    void operator()(DacConnection* c) const { if (c) c->close(); }
};
struct CloseCursor {
    void operator()(DacCursor* c) const { if (c) c->close(); }
};
struct ReleaseStmt {
    void operator()(DacStatement* s) const { if (s) s->release(); }
};
struct ReleaseTable {
    void operator()(DacTable* t) const { if (t) t->release(); }
};
struct CloseLoader {
    void operator()(DacBulkLoader* l) const { if (l) l->close(); }
};
using ConnPtr = std::unique_ptr<DacConnection, CloseConn>;
using CursorPtr = std::unique_ptr<DacCursor, CloseCursor>;
using StmtPtr = std::unique_ptr<DacStatement, ReleaseStmt>;
using TablePtr = std::unique_ptr<DacTable, ReleaseTable>;
using LoaderPtr = std::unique_ptr<DacBulkLoader, CloseLoader>;

// Opens a connection through a data source; null with the reason in error.
inline DacConnection* dacOpen(const std::string& text, std::string* error = nullptr) {
    DacDataSource* ds = dacCreateDataSource(0);
    VqbString info;
    DacConnection* c = nullptr;
    if (ds->configure(VqbString(text), info, 0, 0)) c = ds->openConnection(info, 0, 0);
    if (!c && error) *error = ds->getErrorText().str();
    ds->destroy();
    return c;
}

class DacDriverTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        test = test.substr(0, test.find('/'));
        for (char& c : test) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        tag_ = test;
        Backend b = GetParam();
        if (b == Backend::Pg || b == Backend::PgSchema) {
            REPOS_REQUIRE_PG();
            text_ = pgConnection();
        } else {
            text_ = "VQXTYPE=SQLITE;FILE=" + dir_.file("main.db") + ";CREATE=TRUE";
        }
        std::string error;
        conn_.reset(dacOpen(text_, &error));
        ASSERT_TRUE(conn_) << error;
        if (b == Backend::SqliteSchema) {
            schema_ = "S_" + tag_;
            ASSERT_TRUE(exec("ATTACH DATABASE '" + dir_.file("s.db") + "' AS \"" + schema_ + "\""));
        } else if (b == Backend::PgSchema) {
            schema_ = "S_" + tag_;
            exec("DROP SCHEMA IF EXISTS \"" + schema_ + "\" CASCADE");
            ASSERT_TRUE(exec("CREATE SCHEMA \"" + schema_ + "\""));
        }
    }

    bool isPg() const { return GetParam() == Backend::Pg || GetParam() == Backend::PgSchema; }

    // A table name of this test (tests of one server run side by side).
    std::string name(const std::string& base) const {
        return schema_.empty() ? "t_" + tag_ + "_" + base : base;
    }
    // The quoted, qualified name of a table of this test.
    std::string q(const std::string& base) const {
        std::string n = "\"" + name(base) + "\"";
        return schema_.empty() ? n : "\"" + schema_ + "\"." + n;
    }
    bool exec(const std::string& sql) {
        bool done = conn_->executeDirect(VqbString(sql), 0);
        if (!done) lastError_ = conn_->getErrorText().str();
        return done;
    }
    void fresh(const std::string& base, const std::string& columns) {
        exec("DROP TABLE IF EXISTS " + q(base));
        ASSERT_TRUE(exec("CREATE TABLE " + q(base) + " (" + columns + ")")) << lastError_;
    }
    // Every row of a query, as texts ("NULL" for null).
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        std::vector<std::vector<std::string>> out;
        CursorPtr c(conn_->openCursorDirect(VqbString(sql)));
        EXPECT_TRUE(c) << conn_->getErrorText().str();
        if (!c) return out;
        int f;
        while ((f = c->fetch()) == DAC_FETCH_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < c->getColumnCount(); ++i) {
                VqbDatavar v = c->getValue(i);
                row.push_back(v.isNull() ? "NULL" : v.asString().str());
            }
            out.push_back(row);
        }
        EXPECT_EQ(f, DAC_FETCH_END) << c->getErrorText().str();
        return out;
    }
    long long count(const std::string& base) {
        auto r = rows("SELECT COUNT(*) FROM " + q(base));
        return r.empty() ? -1 : std::stoll(r[0][0]);
    }

    TempDir dir_;
    std::string tag_;
    std::string text_;
    std::string schema_;
    std::string lastError_;
    ConnPtr conn_;
};

#endif
