// What the suites read back and record: rows as texts (NULL always spelled "<null>"), the status
// and script callbacks, catalogue excerpts, and raw connections that read without the library.
#ifndef TEST_ROWS_H
#define TEST_ROWS_H

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "repos_callbacks.h"
#include "repos_dataaccess.h"
#include "repos_held.h"
#include "repos_tables.h"
#include "vqdac.h"

using Rows = std::vector<std::vector<std::string>>;
// How every row dump spells NULL.
extern const char* const kNullText;

// Every value of a cursor's rows as text, until next() stops.
Rows cursorRows(ReposDataAccessCursor* cursor);
// The rows of a cursor handed out by the library, which is released; a null cursor fails the test.
Rows take(ReposDataAccessCursor* cursor);
// Every row a connector cursor gives; the cursor is closed and must stay at its end.
Rows dacRows(DacCursor* cursor);
Rows dacRows(DacConnection* connection, const std::string& sql);
std::string dacScalar(DacConnection* connection, const std::string& sql);
Rows sorted(Rows rows);
// One value of the rows; "<missing>" outside them.
std::string cell(const Rows& rows, size_t row, size_t column);
std::set<std::string> column(const Rows& rows, size_t c);

// A connector connection through a data source; null with the reason in error.
DacConnection* dacOpen(const std::string& text, std::string* error = nullptr);
struct DacClose {
    void operator()(DacConnection* c) const { c->close(); }
};
using DacHeld = std::unique_ptr<DacConnection, DacClose>;

// Records what a connection shows and the statements of script mode; refuses progress once
// refuseAfter lines were seen.
class Recorder : public RepositoryStatusCallback, public ReposDDLCallback {
public:
    bool reportProgress(const VqbString& text) override;
    void reportMessage(const VqbString& text) override { messages.push_back(text.str()); }
    void writeDDL(const VqbString& statement) override { script.push_back(statement.str()); }
    static size_t with(const std::vector<std::string>& list, const std::string& fragment);
    size_t messagesWith(const std::string& fragment) const { return with(messages, fragment); }
    size_t scriptWith(const std::string& fragment) const { return with(script, fragment); }
    bool sawMessage(const std::string& fragment) const { return messagesWith(fragment) > 0; }

    std::vector<std::string> progress, messages, script;
    int refuseAfter = -1;
    std::string stopAt;  // a progress line that answers false
};

// Counts what an operation shows to its status callback; kills its own process at count killAt,
// so a forked child dies at a chosen point of the work.
class KillingCallback : public RepositoryStatusCallback {
public:
    explicit KillingCallback(long killAt = 0) : killAt_(killAt) {}
    bool reportProgress(const VqbString&) override { return tick(), true; }
    void reportMessage(const VqbString&) override { tick(); }
    long count = 0;

private:
    void tick();
    long killAt_;
};

// The SQLite busy timeout for one scope (a connection takes it when it opens).
class BusyTimeout {
public:
    explicit BusyTimeout(int milliseconds);
    ~BusyTimeout();

private:
    int previous_;
};

// The records of the named catalogue tables, laid out like the catalogue.
class Excerpt {
public:
    Excerpt(std::initializer_list<const char*> tables);
    ReposTableRequest request(bool create = true, bool dropFirst = false) const;

private:
    std::vector<ReposColumnDef> records_;
};

// Both catalogues in one transaction (a file syncs once).
bool createCatalogue(ReposDataAccess* conn, bool create = true, bool dropFirst = false);
// Columns of a run-time table.
ColumnSpecList columnSpecs(std::initializer_list<std::pair<const char*, int>> columns, int size = 255);

// A plain SQLite connection for reading and writing files without the library.
class RawDb {
public:
    explicit RawDb(const std::string& path, bool create = false);
    ~RawDb() { sqlite3_close_v2(db_); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;
    bool exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }
    // exec, and a test failure when it fails.
    void run(const std::string& sql);
    // The rows of a statement with the values bound in order as texts ("<null>" binds NULL; the
    // declared column types convert the rest).
    Rows rows(const std::string& sql, const std::vector<std::string>& values = {});
    std::string scalar(const std::string& sql);
    void insert(const std::string& table, const std::vector<std::string>& columns, const std::vector<std::string>& values);
    // The names of the tables (or other objects) matching a LIKE pattern, sorted.
    std::vector<std::string> names(const std::string& pattern, const char* type = "table");
    long long count(const std::string& table);
    // A name in double quotes, its own quotes doubled.
    static std::string quoted(const std::string& name);

private:
    sqlite3* db_ = nullptr;
};

#endif
