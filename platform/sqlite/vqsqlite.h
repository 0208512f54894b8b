// The SQLite wrapper: a database file, its prepared statements and cursors. Indexes of
// parameters and columns count from 0. Objects end with release() (close() for the database).
#ifndef VQ_SQLITE_H
#define VQ_SQLITE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "vqbstring.h"

struct sqlite3;
struct sqlite3_stmt;

// Column type codes of SqliteCursor::getColumnType.
enum SqliteColumnType {
    SQLITE_COLUMN_INTEGER = 1,
    SQLITE_COLUMN_REAL = 2,
    SQLITE_COLUMN_TEXT = 3,
    SQLITE_COLUMN_BLOB = 4,
    SQLITE_COLUMN_NULL = 5,
};

// Result code of a statement refused because another connection holds the file.
constexpr int SQLITE_STATUS_BUSY = 5;

class SqliteCursor {
public:
    void getErrorMessage(VqbString& out) const { out = error_; }
    // Primary result code of the last failure (SQLITE_STATUS_BUSY when the file was locked).
    int getErrorCode() const { return errorCode_; }
    // 1 a row is current, 0 no more rows, 2 error.
    int next();
    int getColumnCount() const;
    VqbString getColumnName(int i) const;
    int getColumnType(int i) const;
    VqbString getText(int i) const;
    // The text of column i as SQLite holds it, valid until the next call on the cursor; null for
    // a null value or a column out of range.
    const char* getTextBytes(int i, size_t* bytes) const;
    int getInt(int i) const;
    int64_t getInt64(int i) const;
    double getDouble(int i) const;
    // Ends the cursor; a cursor of a prepared statement leaves that statement reusable.
    void release();

private:
    friend class SqliteDatabase;
    friend class SqliteStatement;
    SqliteCursor(sqlite3* db, sqlite3_stmt* stmt, bool ownsStatement);
    ~SqliteCursor() = default;
    bool inRange(int i) const { return i >= 0 && i < columns_; }

    sqlite3* db_;
    sqlite3_stmt* stmt_;
    bool owns_;
    int columns_;
    bool done_ = false;
    VqbString error_;
    int errorCode_ = 0;
};

class SqliteStatement {
public:
    void getErrorMessage(VqbString& out) const { out = error_; }
    int getErrorCode() const { return errorCode_; }
    bool bindNull(int i);
    bool bindDouble(int i, double value);
    // Integers are bound as 64-bit values.
    bool bindInt(int i, int64_t value);
    bool bindText(int i, const VqbString& value);
    // Runs the statement to its end; rows (when given) receives the rows changed. The bound
    // values stay for the next execute.
    bool execute(int* rows);
    // A cursor over the statement's rows; the statement must outlive it.
    SqliteCursor* select();
    // Back to its state after prepare: no rows pending, every parameter unbound.
    void clear();
    void release();

private:
    friend class SqliteDatabase;
    SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    ~SqliteStatement() = default;
    bool bound(int rc);
    void resetIfRun();

    sqlite3* db_;
    sqlite3_stmt* stmt_;
    bool run_ = false;
    VqbString error_;
    int errorCode_ = 0;
};

class SqliteDatabase {
public:
    void getErrorMessage(VqbString& out) const { out = error_; }
    // Primary result code of the last failure (SQLITE_STATUS_BUSY when the file was locked).
    int getErrorCode() const { return errorCode_; }
    // Runs one or more statements without parameters. result receives the rows changed on
    // success, the failure's result code otherwise.
    bool execute(const VqbString& sql, int* result);
    SqliteCursor* query(const VqbString& sql);
    // The first column of the first row as a real. False when the statement fails, yields no
    // row, or the value is null or text that is not a number.
    bool queryReal(const VqbString& sql, double* value);
    SqliteStatement* prepare(const VqbString& sql);
    // True while a transaction is open on the connection.
    bool inTransaction() const;
    // Closes the file and frees the object.
    void close();

private:
    friend SqliteDatabase* createSqliteDatabase(const char*, int);
    friend SqliteDatabase* openSqliteDatabase(const char*, int);
    static SqliteDatabase* open(const char* path, bool create);
    explicit SqliteDatabase(sqlite3* db) : db_(db) {}
    ~SqliteDatabase() = default;
    void takeError(int rc);

    sqlite3* db_;
    VqbString error_;
    int errorCode_ = 0;
};

// flags: 0. Create makes the file when it is missing; open needs an existing SQLite file.
// Null on failure, with the reason in getSqliteErrorMessage (per thread).
SqliteDatabase* createSqliteDatabase(const char* path, int flags);
SqliteDatabase* openSqliteDatabase(const char* path, int flags);
VqbString getSqliteErrorMessage();
// Why SQLite could not open PATH ("unable to open database file"), in the file system's terms: a
// folder given for the file, a missing or non-folder parent, a missing file that was not to be
// created. Empty when none of these holds.
std::string sqliteCannotOpenReason(const std::string& path, bool create);

// How long a statement waits for another connection's lock before it fails busy; applies to
// databases opened afterwards, and to each exclusive begin of the connector on a server. Tests
// shorten it.
void sqliteSetBusyTimeout(int milliseconds);
int sqliteBusyTimeout();

// Shown every statement text the SQLite back ends prepare (the text is bytes long, not ended by a
// nul). None by default; test support sets one to record what the library asks of SQLite.
// Setting one answers the one it replaces.
using SqlitePrepareObserver = void (*)(const char* text, size_t bytes);
SqlitePrepareObserver sqliteSetPrepareObserver(SqlitePrepareObserver observer);
void sqliteNotePrepare(const char* text, size_t bytes);

#endif
