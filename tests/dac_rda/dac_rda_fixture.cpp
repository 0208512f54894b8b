#include "dac_rda_fixture.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const ReposColumnDef kEndRecord = {"", nullptr, 0, 0, 0, 0, 0, 0, nullptr};

std::string hex8(const std::string& text) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(std::hash<std::string>()(text) & 0xffffffffu));
    return buf;
}

}  // namespace

std::string driverName(const ::testing::TestParamInfo<Driver>& info) {
    static const char* const names[] = {"Native", "Pg", "PgSchema"};
    return names[static_cast<int>(info.param)];
}

size_t Recorder::messagesWith(const std::string& fragment) const {
    return static_cast<size_t>(std::count_if(
        messages.begin(), messages.end(), [&](const std::string& m) { return m.find(fragment) != std::string::npos; }));
}

size_t Recorder::scriptWith(const std::string& fragment) const {
    return static_cast<size_t>(std::count_if(
        script.begin(), script.end(), [&](const std::string& m) { return m.find(fragment) != std::string::npos; }));
}

std::string Recorder::scriptText() const {
    std::string text;
    for (const std::string& s : script) text += s + ";\n";
    return text;
}

DacConnection* dacOpen(const std::string& text, std::string* error) {
    DacDataSource* ds = dacCreateDataSource(0);
    VqbString info;
    DacConnection* c = nullptr;
    if (ds->configure(VqbString(text), info, 0, 0)) c = ds->openConnection(info, 0, 0);
    if (!c && error) *error = ds->getErrorText().str();
    ds->destroy();
    return c;
}

Excerpt::Excerpt(std::initializer_list<const char*> tables) {
    for (const char* table : tables) {
        const ReposColumnDef* first = findReposTable(table);
        EXPECT_NE(first, nullptr) << table;
        if (!first) continue;
        for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r) records_.push_back(*r);
        records_.push_back(kEndRecord);
    }
    if (records_.empty()) records_.push_back(kEndRecord);
    records_.push_back(kEndRecord);
}

ReposTableRequest Excerpt::request(bool create, bool dropFirst) const {
    ReposTableRequest r;
    r.create = create;
    r.dropFirst = dropFirst;
    r.start = records_.data();
    return r;
}

ColumnSpecList columnSpecs(std::initializer_list<std::pair<const char*, int>> columns) {
    ColumnSpecList list;
    for (const auto& c : columns) {
        ColumnSpec spec{};
        std::snprintf(spec.name, sizeof spec.name, "%s", c.first);
        spec.type = c.second;
        spec.size = 255;
        list.push_back(spec);
    }
    return list;
}

void RdaDacTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    tag_ = hex8(std::string(info->test_suite_name()) + "." + info->name());
    switch (GetParam()) {
        case Driver::Native:
            prefix_ = "p_";
            stored_ = "P_";
            break;
        case Driver::Pg:
            REPOS_REQUIRE_PG();
            prefix_ = stored_ = "t" + tag_ + "_";
            break;
        case Driver::PgSchema:
            REPOS_REQUIRE_PG();
            schema_ = "S_" + tag_;
            prefix_ = stored_ = schema_ + ".P_";
            break;
    }
    if (GetParam() == Driver::PgSchema) {
        rawExec("DROP SCHEMA IF EXISTS \"" + schema_ + "\" CASCADE");
        ASSERT_TRUE(rawExec("CREATE SCHEMA \"" + schema_ + "\"")) << lastError;
    } else if (GetParam() == Driver::Pg) {
        dropOwnTables();
    }
}

void RdaDacTest::TearDown() {
    if (GetParam() == Driver::PgSchema && !schema_.empty())
        rawExec("DROP SCHEMA IF EXISTS \"" + schema_ + "\" CASCADE");
    if (GetParam() == Driver::Pg && !prefix_.empty()) dropOwnTables();
    raw_.reset();
}

void RdaDacTest::dropOwnTables() {
    for (const std::string& t : tables()) rawExec("DROP TABLE IF EXISTS \"" + t + "\" CASCADE");
}

std::string RdaDacTest::text(const std::string& extra) const {
    std::string t = isPg() ? pgConnection() : "VQXTYPE=SQLITE;FILE=" + dir_.file("repo.db") + ";CREATE=TRUE";
    if (!extra.empty()) {
        if (t.back() != ';') t += ';';
        t += extra;
    }
    return t;
}

ReposDataAccess* RdaDacTest::open(const std::string& extra, const std::string* prefix) {
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(text(extra)),
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
    if (!raw()) return false;
    bool done = raw()->executeDirect(VqbString(sql), 0);
    if (!done) lastError = raw()->getErrorText().str();
    return done;
}

Rows RdaDacTest::rawRows(const std::string& sql) {
    Rows out;
    if (!raw()) return out;
    DacCursor* c = raw()->openCursorDirect(VqbString(sql));
    EXPECT_NE(c, nullptr) << sql << ": " << raw()->getErrorText().str();
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
    c->close();
    return out;
}

std::string RdaDacTest::rawScalar(const std::string& sql) {
    Rows r = rawRows(sql);
    return r.empty() || r[0].empty() ? "<none>" : r[0][0];
}

void RdaDacTest::createTables(ReposDataAccess* conn, std::initializer_list<const char*> tables) {
    Excerpt excerpt(tables);
    ASSERT_TRUE(conn->createTable(excerpt.request())) << conn->getLastErrorMessage().str();
}

std::vector<std::string> RdaDacTest::tables() {
    std::string lead = stored_.substr(stored_.find('.') == std::string::npos ? 0 : stored_.find('.') + 1);
    Rows rows =
        isPg()
            ? rawRows("SELECT table_name FROM information_schema.tables WHERE table_schema = '" + serverSchema() + "'")
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

std::vector<std::string> columnTexts(ReposDataAccessCursor* cursor, int column) {
    std::vector<std::string> values;
    while (cursor && cursor->next() == 1) values.push_back(cursor->getString(column).str());
    return values;
}
