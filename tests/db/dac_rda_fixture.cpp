#include "dac_rda_fixture.h"

#include <cstdio>
#include <functional>

#include "sql_record.h"

std::string driverName(const ::testing::TestParamInfo<Driver>& info) {
    static const char* const names[] = {"Native", "Pg", "PgSchema", "Direct"};
    return names[static_cast<int>(info.param)];
}

Conn openRda(const std::string& text, const char* prefix, Recorder* recorder) {
    VqbString error;
    Conn c(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(text), prefix, recorder, error));
    EXPECT_TRUE(c) << error.str();
    return c;
}

void RdaDacTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x",
                  static_cast<unsigned>(std::hash<std::string>()(std::string(info->test_suite_name()) + "." +
                                                                 info->name()) & 0xffffffffu));
    tag_ = hex;
    if (GetParam() == Driver::Direct) {
        prefix_ = stored_ = "";
    } else if (GetParam() == Driver::Native) {
        prefix_ = "p_";
        stored_ = "P_";
    } else if (GetParam() == Driver::Pg) {
        REPOS_REQUIRE_PG();
        prefix_ = stored_ = "t" + tag_ + "_";
        TearDown();
    } else {
        REPOS_REQUIRE_PG();
        schema_ = "S_" + tag_;
        prefix_ = stored_ = schema_ + ".P_";
        rawExec("DROP SCHEMA IF EXISTS \"" + schema_ + "\" CASCADE");
        ASSERT_TRUE(rawExec("CREATE SCHEMA \"" + schema_ + "\"")) << lastError;
    }
    conn.reset(open());
    ASSERT_TRUE(conn) << lastError;
}

void RdaDacTest::TearDown() {
    conn.reset();
    if (!schema_.empty()) rawExec("DROP SCHEMA IF EXISTS \"" + schema_ + "\" CASCADE");
    if (GetParam() == Driver::Pg && !prefix_.empty())
        for (const std::string& t : tables()) rawExec("DROP TABLE IF EXISTS \"" + t + "\" CASCADE");
}

std::string RdaDacTest::text(const std::string& extra) const {
    std::string t = isPg() ? pgConnection() : "VQXTYPE=SQLITE;FILE=" + dir_.file("repo.db") + ";CREATE=TRUE";
    if (!extra.empty()) t += (t.back() == ';' ? "" : ";") + extra;
    return t;
}

ReposDataAccess* RdaDacTest::open(const std::string& extra, const std::string* prefix) {
    VqbString error;
    ReposDataAccess* c =
        GetParam() == Driver::Direct
            ? createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, dir_.file("repo.db"), "", &recorder, error)
            : createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(text(extra)),
                                    VqbString(prefix ? *prefix : prefix_), &recorder, error);
    lastError = error.str();
    return c;
}

DacConnection* RdaDacTest::raw() {
    if (!raw_) {
        std::string error;
        raw_.reset(dacOpen(text(), &error));
        EXPECT_TRUE(raw_) << error;
    }
    return raw_.get();
}

bool RdaDacTest::rawExec(const std::string& sql) {
    SqlRecordPause pause;
    if (!raw()) return false;
    bool done = raw()->executeDirect(VqbString(sql), 0);
    if (!done) lastError = raw()->getErrorText().str();
    return done;
}

void RdaDacTest::createTables(ReposDataAccess* conn, std::initializer_list<const char*> tables) {
    Excerpt excerpt(tables);
    ASSERT_TRUE(conn->createTable(excerpt.request())) << conn->getLastErrorMessage().str();
}

std::vector<std::string> RdaDacTest::tables() {
    std::string lead = bareName("");
    Rows rows =
        isPg()
            ? rawRows(pgOwnTables(serverSchema(), lead) + "SELECT relname FROM own")
            : rawRows("SELECT name FROM sqlite_master WHERE type = 'table'");
    std::vector<std::string> out;
    for (const auto& row : rows)
        if (row[0].compare(0, lead.size(), lead) == 0) out.push_back(row[0]);
    std::sort(out.begin(), out.end());
    return out;
}

std::string RdaDacTest::bareName(const char* table, int suffix) const {
    std::string lead = stored_.substr(stored_.find('.') == std::string::npos ? 0 : stored_.find('.') + 1);
    return lead + table + (suffix >= 0 ? std::to_string(suffix) : "");
}

std::string RdaDacTest::q(const char* table, int suffix) const {
    std::string name = "\"" + bareName(table, suffix) + "\"";
    return schema_.empty() ? name : "\"" + schema_ + "\"." + name;
}
