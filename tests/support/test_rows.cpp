#include "test_rows.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "sql_record.h"
#include "vqsqlite.h"

namespace {

const ReposColumnDef kEndRecord = {"", nullptr, 0, 0, 0, 0, 0, 0, nullptr};

}  // namespace

const char* const kNullText = "<null>";

Rows cursorRows(ReposDataAccessCursor* cursor) {
    Rows result;
    while (cursor && cursor->next() == 1) {
        result.emplace_back();
        for (int i = 0; i < cursor->getNumCols(); ++i)
            result.back().push_back(cursor->isNull(i) ? std::string(kNullText) : cursor->getString(i).str());
    }
    return result;
}

Rows take(ReposDataAccessCursor* cursor) {
    EXPECT_NE(cursor, nullptr);
    ReposHeld<ReposDataAccessCursor> held(cursor);
    return cursorRows(cursor);
}

Rows dacRows(DacCursor* cursor) {
    Rows out;
    int f = DAC_FETCH_END;
    while (cursor && (f = cursor->fetch()) == DAC_FETCH_ROW) {
        out.emplace_back();
        for (int i = 0; i < cursor->getColumnCount(); ++i) {
            VqbDatavar v = cursor->getValue(i);
            out.back().push_back(v.isNull() ? std::string(kNullText) : v.asString().str());
        }
    }
    EXPECT_EQ(f, DAC_FETCH_END);
    EXPECT_TRUE(!cursor || f != DAC_FETCH_END || cursor->fetch() == DAC_FETCH_END) << "a read past the end must stay at the end";
    if (cursor) cursor->close();
    return out;
}

Rows dacRows(DacConnection* connection, const std::string& sql) {
    SqlRecordPause pause;
    DacCursor* c = connection ? connection->openCursorDirect(VqbString(sql)) : nullptr;
    EXPECT_TRUE(c) << sql << ": " << (connection ? connection->getErrorText().str() : std::string("no connection"));
    return dacRows(c);
}

std::string dacScalar(DacConnection* connection, const std::string& sql) {
    Rows r = dacRows(connection, sql);
    return r.empty() ? "<none>" : r[0][0];
}

Rows sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string cell(const Rows& rows, size_t row, size_t column) {
    return row < rows.size() && column < rows[row].size() ? rows[row][column] : "<missing>";
}

std::set<std::string> column(const Rows& rows, size_t c) {
    std::set<std::string> values;
    for (const auto& row : rows)
        if (c < row.size()) values.insert(row[c]);
    return values;
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

bool Recorder::reportProgress(const VqbString& text) {
    progress.push_back(text.str());
    return (refuseAfter < 0 || static_cast<int>(progress.size()) <= refuseAfter) && text.str() != stopAt;
}

void KillingCallback::tick() {
    if (++count == killAt_) kill(getpid(), SIGKILL);
}

BusyTimeout::BusyTimeout(int milliseconds) : previous_(sqliteBusyTimeout()) { sqliteSetBusyTimeout(milliseconds); }
BusyTimeout::~BusyTimeout() { sqliteSetBusyTimeout(previous_); }

size_t Recorder::with(const std::vector<std::string>& list, const std::string& fragment) {
    return std::count_if(list.begin(), list.end(),
                         [&](const std::string& m) { return m.find(fragment) != std::string::npos; });
}

Excerpt::Excerpt(std::initializer_list<const char*> tables) {
    for (const char* table : tables) {
        const ReposColumnDef* first = findReposTable(table);
        EXPECT_NE(first, nullptr) << table;
        for (const ReposColumnDef* r = first; r && !isReposEndRecord(r); ++r) records_.push_back(*r);
        if (first) records_.push_back(kEndRecord);
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

bool createCatalogue(ReposDataAccess* conn, bool create, bool dropFirst) {
    // One transaction, so a file database syncs once.
    if (!conn->beginTransaction(false)) return false;
    for (uint8_t catalog = 0; catalog <= 1; ++catalog) {
        ReposTableRequest request;
        request.catalog = catalog;
        request.create = create;
        request.dropFirst = dropFirst;
        if (!conn->createTable(request)) {
            conn->endTransaction(false);
            return false;
        }
    }
    return conn->endTransaction(true);
}

ColumnSpecList columnSpecs(std::initializer_list<std::pair<const char*, int>> columns, int size) {
    ColumnSpecList list;
    for (const auto& c : columns) {
        ColumnSpec spec{};
        std::snprintf(spec.name, sizeof spec.name, "%s", c.first);
        spec.type = c.second;
        spec.size = size;
        list.push_back(spec);
    }
    return list;
}

RawDb::RawDb(const std::string& path, bool create) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), nullptr) !=
        SQLITE_OK)
        ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(db_);
    sqlite3_busy_timeout(db_, 5000);
}

void RawDb::run(const std::string& sql) {
    if (!exec(sql)) ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
}

Rows RawDb::rows(const std::string& sql, const std::vector<std::string>& values) {
    Rows result;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
    for (size_t i = 0; stmt && i < values.size(); ++i)
        if (values[i] != kNullText)
            sqlite3_bind_text(stmt, static_cast<int>(i) + 1, values[i].c_str(), static_cast<int>(values[i].size()),
                              SQLITE_TRANSIENT);
    int rc = SQLITE_DONE;
    while (stmt && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        result.emplace_back();
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            result.back().push_back(t ? std::string(t, sqlite3_column_bytes(stmt, i)) : std::string(kNullText));
        }
    }
    if (stmt && rc != SQLITE_DONE) ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
    sqlite3_finalize(stmt);
    return result;
}

std::string RawDb::scalar(const std::string& sql) {
    auto r = rows(sql);
    return r.empty() || r[0].empty() ? std::string("<none>") : r[0][0];
}

void RawDb::insert(const std::string& table, const std::vector<std::string>& columns,
                   const std::vector<std::string>& values) {
    std::string sql = "INSERT INTO " + quoted(table) + " (", marks;
    for (size_t i = 0; i < columns.size(); ++i) {
        sql += (i ? ", " : "") + columns[i];
        marks += i ? ", ?" : "?";
    }
    rows(sql + ") VALUES (" + marks + ")", values);
}

std::vector<std::string> RawDb::names(const std::string& pattern, const char* type) {
    std::vector<std::string> out;
    for (const auto& row : rows("SELECT name FROM sqlite_master WHERE name LIKE ? AND type LIKE ? ORDER BY name",
                                {pattern, std::string(type)}))
        out.push_back(row[0]);
    return out;
}

long long RawDb::count(const std::string& table) {
    Rows r = rows("SELECT count(*) FROM " + quoted(table));
    return r.empty() ? -1 : std::stoll(r[0][0]);
}

std::string RawDb::quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}
