#include "vqsqlite.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <new>
#include <string>

namespace {

constexpr int kDefaultBusyTimeoutMs = 5000;
std::atomic<int> g_busyTimeoutMs{kDefaultBusyTimeoutMs};
std::atomic<SqlitePrepareObserver> g_prepareObserver{nullptr};
thread_local std::string t_openError;

const char* errorText(sqlite3* db, int rc) {
    const char* text = db ? sqlite3_errmsg(db) : nullptr;
    return text ? text : sqlite3_errstr(rc);
}

SqliteDatabase* failOpen(sqlite3* db, int rc, const char* path, bool create) {
    t_openError = errorText(db, rc);
    if ((rc & 0xFF) == SQLITE_CANTOPEN) {
        std::string why = sqliteCannotOpenReason(path, create);
        if (!why.empty()) t_openError = why;
    }
    if (db) sqlite3_close_v2(db);
    return nullptr;
}

// Settings every connection gets: the journal stays the rollback journal with full sync;
// identifiers in double quotes never fall back to string literals, so a quoted name that
// matches no column is an error instead of a silently different index or condition.
int configure(sqlite3* db) {
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_timeout(db, g_busyTimeoutMs.load(std::memory_order_relaxed));
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    return sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
}

}  // namespace

// ---- cursor

SqliteCursor::SqliteCursor(sqlite3* db, sqlite3_stmt* stmt, bool ownsStatement)
    : db_(db), stmt_(stmt), owns_(ownsStatement), columns_(stmt ? sqlite3_column_count(stmt) : 0) {}

int SqliteCursor::next() {
    if (!stmt_ || done_) return done_ ? 0 : 2;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return 1;
    if (rc == SQLITE_DONE) {
        done_ = true;
        return 0;
    }
    error_ = VqbString(errorText(db_, rc));
    errorCode_ = rc & 0xff;
    return 2;
}

int SqliteCursor::getColumnCount() const { return columns_; }

VqbString SqliteCursor::getColumnName(int i) const {
    if (!inRange(i)) return VqbString("");
    const char* name = sqlite3_column_name(stmt_, i);
    return VqbString(name ? name : "");
}

int SqliteCursor::getColumnType(int i) const {
    if (!inRange(i)) return SQLITE_COLUMN_NULL;
    switch (sqlite3_column_type(stmt_, i)) {
        case SQLITE_INTEGER:
            return SQLITE_COLUMN_INTEGER;
        case SQLITE_FLOAT:
            return SQLITE_COLUMN_REAL;
        case SQLITE_BLOB:
            return SQLITE_COLUMN_BLOB;
        case SQLITE_NULL:
            return SQLITE_COLUMN_NULL;
        default:
            return SQLITE_COLUMN_TEXT;
    }
}

VqbString SqliteCursor::getText(int i) const {
    size_t bytes = 0;
    const char* text = getTextBytes(i, &bytes);
    return text ? VqbString(text, bytes) : VqbString();
}

const char* SqliteCursor::getTextBytes(int i, size_t* bytes) const {
    *bytes = 0;
    if (!inRange(i)) return nullptr;
    const unsigned char* text = sqlite3_column_text(stmt_, i);
    if (text) *bytes = static_cast<size_t>(sqlite3_column_bytes(stmt_, i));
    return reinterpret_cast<const char*>(text);
}

int SqliteCursor::getInt(int i) const { return inRange(i) ? sqlite3_column_int(stmt_, i) : 0; }

int64_t SqliteCursor::getInt64(int i) const { return inRange(i) ? sqlite3_column_int64(stmt_, i) : 0; }

double SqliteCursor::getDouble(int i) const { return inRange(i) ? sqlite3_column_double(stmt_, i) : 0.0; }

void SqliteCursor::release() {
    if (stmt_) {
        if (owns_)
            sqlite3_finalize(stmt_);
        else
            sqlite3_reset(stmt_);
    }
    delete this;
}

// ---- statement

bool SqliteStatement::bound(int rc) {
    if (rc == SQLITE_OK) return true;
    error_ = VqbString(errorText(db_, rc));
    errorCode_ = rc & 0xff;
    return false;
}

// A statement that has run must be reset before values are bound again.
void SqliteStatement::resetIfRun() {
    if (run_) {
        sqlite3_reset(stmt_);
        run_ = false;
    }
}

bool SqliteStatement::bindNull(int i) {
    resetIfRun();
    return bound(sqlite3_bind_null(stmt_, i + 1));
}

bool SqliteStatement::bindDouble(int i, double value) {
    resetIfRun();
    return bound(sqlite3_bind_double(stmt_, i + 1, value));
}

bool SqliteStatement::bindInt(int i, int64_t value) {
    resetIfRun();
    return bound(sqlite3_bind_int64(stmt_, i + 1, static_cast<sqlite3_int64>(value)));
}

bool SqliteStatement::bindText(int i, const VqbString& value) {
    resetIfRun();
    if (value.isNull()) return bound(sqlite3_bind_null(stmt_, i + 1));
    if (value.cStrSize() > static_cast<size_t>(INT_MAX)) {
        error_ = VqbString("text too long to bind");
        errorCode_ = SQLITE_TOOBIG;
        return false;
    }
    return bound(sqlite3_bind_text(stmt_, i + 1, value.asCstr(), static_cast<int>(value.cStrSize()),
                                   SQLITE_TRANSIENT));
}

bool SqliteStatement::execute(int* rows) {
    resetIfRun();
    run_ = true;
    int rc;
    while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        error_ = VqbString(errorText(db_, rc));
        errorCode_ = rc & 0xff;
        sqlite3_reset(stmt_);
        run_ = false;
        return false;
    }
    if (rows) *rows = sqlite3_changes(db_);
    sqlite3_reset(stmt_);
    run_ = false;
    return true;
}

SqliteCursor* SqliteStatement::select() {
    resetIfRun();
    SqliteCursor* cursor = new (std::nothrow) SqliteCursor(db_, stmt_, false);
    if (!cursor) {
        error_ = VqbString("out of memory");
        errorCode_ = SQLITE_NOMEM;
        return nullptr;
    }
    run_ = true;
    return cursor;
}

void SqliteStatement::clear() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    run_ = false;
}

void SqliteStatement::release() {
    sqlite3_finalize(stmt_);
    delete this;
}

// ---- database

void SqliteDatabase::takeError(int rc) {
    errorCode_ = rc & 0xff;
    error_ = VqbString(errorText(db_, rc));
}

bool SqliteDatabase::execute(const VqbString& sql, int* result) {
    sqliteNotePrepare(sql.asCstr(), sql.cStrSize());
    int rc = sqlite3_exec(db_, sql.asCstr(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        takeError(rc);
        if (result) *result = errorCode_;
        return false;
    }
    if (result) *result = sqlite3_changes(db_);
    return true;
}

SqliteCursor* SqliteDatabase::query(const VqbString& sql) {
    sqlite3_stmt* stmt = nullptr;
    sqliteNotePrepare(sql.asCstr(), sql.cStrSize());
    int rc = sqlite3_prepare_v2(db_, sql.asCstr(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK || !stmt) {
        takeError(rc == SQLITE_OK ? SQLITE_MISUSE : rc);
        if (rc == SQLITE_OK) error_ = VqbString("the text holds no statement");
        return nullptr;
    }
    SqliteCursor* cursor = new (std::nothrow) SqliteCursor(db_, stmt, true);
    if (!cursor) {
        sqlite3_finalize(stmt);
        errorCode_ = SQLITE_NOMEM;
        error_ = VqbString("out of memory");
    }
    return cursor;
}

bool SqliteDatabase::queryReal(const VqbString& sql, double* value) {
    SqliteCursor* cursor = query(sql);
    if (!cursor) return false;
    int state = cursor->next();
    bool ok = false;
    if (state == 2) {
        cursor->getErrorMessage(error_);
        errorCode_ = cursor->getErrorCode();
    } else if (state == 0) {
        error_ = VqbString("the query returned no row");
        errorCode_ = SQLITE_ERROR;
    } else {
        switch (cursor->getColumnType(0)) {
            case SQLITE_COLUMN_INTEGER:
            case SQLITE_COLUMN_REAL:
                if (value) *value = cursor->getDouble(0);
                ok = true;
                break;
            case SQLITE_COLUMN_TEXT: {
                bool bad = false;
                double number = cursor->getText(0).trimmed().asDouble(&bad);
                if (!bad) {
                    if (value) *value = number;
                    ok = true;
                }
                break;
            }
            default:
                break;
        }
        if (!ok) {
            error_ = VqbString("the query returned no number");
            errorCode_ = SQLITE_MISMATCH;
        }
    }
    cursor->release();
    return ok;
}

SqliteStatement* SqliteDatabase::prepare(const VqbString& sql) {
    sqlite3_stmt* stmt = nullptr;
    sqliteNotePrepare(sql.asCstr(), sql.cStrSize());
    int rc = sqlite3_prepare_v2(db_, sql.asCstr(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK || !stmt) {
        takeError(rc == SQLITE_OK ? SQLITE_MISUSE : rc);
        if (rc == SQLITE_OK) error_ = VqbString("the text holds no statement");
        return nullptr;
    }
    SqliteStatement* statement = new (std::nothrow) SqliteStatement(db_, stmt);
    if (!statement) {
        sqlite3_finalize(stmt);
        errorCode_ = SQLITE_NOMEM;
        error_ = VqbString("out of memory");
    }
    return statement;
}

bool SqliteDatabase::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

void SqliteDatabase::close() {
    // Statements still open keep the connection alive until they are released.
    sqlite3_close_v2(db_);
    delete this;
}

SqliteDatabase* SqliteDatabase::open(const char* path, bool create) {
    t_openError.clear();
    if (!path || !*path) {
        t_openError = "no file name";
        return nullptr;
    }
    sqlite3* db = nullptr;
    // The repository connection serialises the threads that share it, so SQLite's own mutex
    // on every call would only repeat that.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path, &db, flags, nullptr);
    if (rc != SQLITE_OK) return failOpen(db, rc, path, create);
    rc = configure(db);
    // Reading the schema proves the file is a database; opening alone reads nothing.
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return failOpen(db, rc, path, create);
    SqliteDatabase* database = new (std::nothrow) SqliteDatabase(db);
    if (!database) {
        t_openError = "out of memory";
        sqlite3_close_v2(db);
    }
    return database;
}

SqliteDatabase* createSqliteDatabase(const char* path, int /*flags*/) { return SqliteDatabase::open(path, true); }

SqliteDatabase* openSqliteDatabase(const char* path, int /*flags*/) { return SqliteDatabase::open(path, false); }

VqbString getSqliteErrorMessage() { return VqbString(t_openError); }

std::string sqliteCannotOpenReason(const std::string& path, bool create) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? path + " is a folder, not a file" : "";
    const bool missing = errno == ENOENT;
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (::stat(folder.c_str(), &st) != 0) return errno == ENOENT ? "the folder " + folder + " does not exist" : "";
    if (!S_ISDIR(st.st_mode)) return folder + " is not a folder";
    return missing && !create ? "the file " + path + " does not exist" : "";
}

void sqliteSetBusyTimeout(int milliseconds) {
    g_busyTimeoutMs.store(milliseconds < 0 ? 0 : milliseconds, std::memory_order_relaxed);
}

int sqliteBusyTimeout() { return g_busyTimeoutMs.load(std::memory_order_relaxed); }

SqlitePrepareObserver sqliteSetPrepareObserver(SqlitePrepareObserver observer) {
    return g_prepareObserver.exchange(observer, std::memory_order_relaxed);
}

void sqliteNotePrepare(const char* text, size_t bytes) {
    if (SqlitePrepareObserver observer = g_prepareObserver.load(std::memory_order_relaxed)) observer(text, bytes);
}
