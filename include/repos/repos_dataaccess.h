// The repository database layer as hosts and the other subsystems see it: one open connection,
// its prepared statements and its cursors. Objects handed out end with their own release(),
// never delete; statements and cursors must be released before their connection.
#ifndef REPOS_DATAACCESS_H
#define REPOS_DATAACCESS_H

#include <cstdarg>
#include <cstdint>
#include <vector>

#include "repos_callbacks.h"
#include "vqbdatavar.h"
#include "vqbstring.h"

struct ReposColumnDef;
class DacConnection;

// One column of a table made at run time (FRQDST<n>, HSM<n>, HCM<n>).
struct ColumnSpec {
    char name[256];  // up to 255 bytes, zero-terminated
    int32_t type;    // 1 and 4 text, 2 integer, 3 and 5 real
    int32_t size;    // text length
    uint8_t key;
};
typedef std::vector<ColumnSpec> ColumnSpecList;

// Which catalogue tables createTable / checkTable work on.
struct ReposTableRequest {
    uint8_t catalog = 0;                  // 0 repository tables, 1 NCOA tables
    uint8_t dropFirst = 0;
    uint8_t create = 0;
    const ReposColumnDef* start = nullptr;  // null: the whole catalogue; else records laid out like it
    uint8_t primaryKey = 0;               // connector back end: create primary keys
    VqbString name;                       // connector back end: index-name stem
    uint8_t connectorFlag = 0;            // connector back end
};

class ReposDataAccessCursor {
protected:
    virtual ~ReposDataAccessCursor() = default;

public:
    // 1 a row is current, 0 no more rows, 2 error.
    virtual int next() = 0;
    virtual int getNumCols() = 0;
    virtual VqbString getColName(int i) = 0;
    virtual VqbString getString(int i) = 0;
    virtual int getInt(int i) = 0;
    virtual double getDouble(int i) = 0;
    virtual bool isNull(int i) = 0;
    // Back-end cursors resolve big-string references here; getString does not.
    virtual VqbDatavar getValue(int i) = 0;
    virtual void release() = 0;
    // Reads the remaining rows into memory.
    virtual bool cacheAll() = 0;
};

class ReposDataAccessStatement {
protected:
    virtual ~ReposDataAccessStatement() = default;

public:
    virtual bool setParameterInfo(int index, int type, int size) = 0;
    // Parameters count from 0.
    virtual bool setParameter(int index, const VqbDatavar& value) = 0;
    virtual bool setParameterBulk(int index, int row, const VqbDatavar& value) = 0;
    virtual bool execute() = 0;
    // The cursor takes over the prepared statement; this object is then only released.
    virtual ReposDataAccessCursor* select() = 0;
    virtual VqbString getErrorMessage() = 0;
    virtual void release() = 0;
};

// Variadic parameters are VqbDatavar pointers, one per "?" in order; a null pointer binds NULL.
// Table names passed in are base names ("UCURID", "FRQDST"); the connection qualifies them.
class ReposDataAccess {
protected:
    virtual ~ReposDataAccess() = default;

public:
    virtual VqbString getGeneralErrorMessage() = 0;
    virtual VqbString getLastErrorMessage() = 0;
    virtual void release() = 0;
    // suffix -1: none; otherwise appended in decimal.
    virtual VqbString getTableName(const char* table, bool qualified, int suffix) = 0;
    virtual bool getPrefix(bool afterDot, VqbString* out, VqbString* error) = 0;
    virtual VqbString getSchemaName() = 0;
    virtual VqbString getIndexName(int number, const VqbString& table) = 0;
    // ", "-joined catalogue columns, each after "alias." when an alias is given; "*" for a table
    // in neither catalogue.
    virtual VqbString getColumnList(const VqbString& table, const char* alias) = 0;
    // Levels nest; only the outermost sends BEGIN and COMMIT / ROLLBACK.
    virtual bool beginTransaction(bool exclusive, bool* busy = nullptr) = 0;
    virtual bool endTransaction(bool commit) = 0;
    virtual bool isInTransaction() = 0;
    // count below 1 reserves one id; firstId receives the first of the block.
    virtual bool getNextIds(const VqbString& key, int count, VqbDatavar* firstId, VqbString* error) = 0;
    virtual bool getNextId(const VqbString& key, VqbDatavar* id) = 0;
    virtual ReposDataAccessCursor* paramSelect(const VqbString& sql, int n, ...) = 0;
    // types: one letter per parameter (I, R, S, D, B), the type of a null value.
    virtual ReposDataAccessCursor* paramSelectWTypes(const VqbString& sql, const VqbString& types, int n, ...) = 0;
    virtual ReposDataAccessCursor* paramSelectV(const VqbString& sql, int n, va_list args) = 0;
    virtual bool paramExec(const VqbString& sql, int* rowsAffected, int n, ...) = 0;
    virtual bool paramExecWTypes(const VqbString& sql, int* rowsAffected, const VqbString& types, int n, ...) = 0;
    virtual bool paramSingletonInt(const VqbString& sql, int* out, int n, ...) = 0;
    // False when there is no row.
    virtual bool paramSingleton(const VqbString& sql, int64_t* out, int n, ...) = 0;
    virtual bool paramSingletonWTypes(const VqbString& sql, int* out, const VqbString& types, int n, ...) = 0;
    virtual ReposDataAccessStatement* createStatement(const VqbString& sql) = 0;
    virtual ReposDataAccessStatement* createBulkStatement(const VqbString& sql, int rows) = 0;
    virtual bool supportsBulkStatement() = 0;
    virtual bool createTable(ReposTableRequest request) = 0;
    virtual bool checkTable(ReposTableRequest request) = 0;
    virtual bool dropTable(const VqbString& table) = 0;
    // Null ends script mode.
    virtual void setDDLCallback(ReposDDLCallback* callback) = 0;
    virtual bool createHsmIndexes(int n, int groupFields) = 0;
    virtual bool createHcmIndexes(int n, int groupFields) = 0;
    virtual bool createFrqDstIndexes(int n) = 0;
    virtual bool checkHsmTableColumns(const VqbString& table, int n) = 0;
    virtual bool checkHcmTableColumns(const VqbString& table, int n) = 0;
    virtual bool checkFrqDstTableColumns(const VqbString& table, int n) = 0;
    // Appends the table's columns; the list's length afterwards.
    virtual int getTableColumns(const VqbString& table, ColumnSpecList* out) = 0;
    virtual bool createTableFromColumns(const VqbString& table, const ColumnSpecList& columns) = 0;
    // Longer texts go to the big-string table; below 1 turns big strings off.
    virtual int getMaxTextLen() = 0;
    virtual bool getBigString(const VqbString& value, VqbString* out, VqbString* error) = 0;
    virtual bool putBigString(const VqbString& value, VqbString* out, VqbString* error) = 0;
    virtual VqbString getIdentifierQuote() = 0;
    // Columns "name" and "field" (the index's column list), one row per index.
    virtual ReposDataAccessCursor* getIndexes(const VqbString& table) = 0;
    virtual bool checkTableIndexes(const VqbString& table) = 0;
    // An empty name gives "<table>_<column>_idx".
    virtual bool createIndex(const VqbString& table, const VqbString& column, const VqbString& name) = 0;
    virtual bool isDatabaseKind1() = 0;
    virtual bool checkDatabaseSupported() = 0;
    virtual VqbString getRepositoryUuid() = 0;
    virtual bool supportsBulkLoad() = 0;
    virtual bool bulkLoadBegin(int batchSize, const VqbString& table, const ColumnSpecList& columns) = 0;
    virtual bool bulkLoadRow(int count, ...) = 0;
    virtual bool bulkLoadEnd(bool flush) = 0;
    virtual bool isConnectionMode3() = 0;
    virtual DacConnection* getConnection() = 0;
};

#endif
