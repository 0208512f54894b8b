// The back end for repositories held in one SQLite file. SQLite repositories have no table
// prefix, no schema and no identifier quote text; the maximum text length is 65536.
#ifndef RDA_SQLITE_H
#define RDA_SQLITE_H

#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "rda_impl.h"
#include "vqsqlite.h"

struct ReposColumnView;
struct ReposIndexDecl;
class ReposStoredIndexes;

class RDA_Sqlite : public RDA_BaseImpl {
public:
    RDA_Sqlite() = default;

protected:
    ~RDA_Sqlite() override = default;

    bool init_INT(const VqbString& file, const VqbString& prefix, bool create) override;
    void close_INT() override;
    VqbString getTableName_INT(const char* table, bool qualified, int suffix) override;
    VqbString getSchemaName_INT() override { return VqbString(""); }
    VqbString getIndexName_INT(int number, const VqbString& table) override;
    bool beginTransaction_INT(bool exclusive, bool* busy) override;
    // A reader's lock is not upgraded while another connection waits to write: a writer takes
    // its lock at the begin, where the busy timeout is waited on.
    bool beginWriteTransaction_INT(bool* busy) override { return beginTransaction_INT(true, busy); }
    bool endTransaction_INT(bool commit) override;
    ReposDataAccessCursor* paramSelect_INT(const VqbString& sql, const RDA_Params& params) override;
    ReposDataAccessCursor* paramSelectWTypes_INT(const VqbString& sql, const VqbString& types,
                                                 const RDA_Params& params) override;
    bool paramExec_INT(const VqbString& sql, int* rowsAffected, const RDA_Params& params) override;
    bool paramExecWTypes_INT(const VqbString& sql, int* rowsAffected, const VqbString& types,
                             const RDA_Params& params) override;
    bool paramSingleton_INT(const VqbString& sql, int64_t* out, const RDA_Params& params) override;
    bool paramSingletonWTypes_INT(const VqbString& sql, int* out, const VqbString& types,
                                  const RDA_Params& params) override;
    ReposDataAccessStatement* createStatement_INT(const VqbString& sql) override;
    ReposDataAccessStatement* createBulkStatement_INT(const VqbString&, int) override { return nullptr; }
    bool supportsBulkStatement_INT() override { return false; }
    bool createTable_INT(const ReposTableRequest& request) override;
    bool checkTable_INT(const ReposTableRequest& request) override;
    bool dropTable_INT(const VqbString& table) override;
    bool createHsmIndexes_INT(int n, int groupFields) override;
    bool createHcmIndexes_INT(int n, int groupFields) override;
    bool checkHsmTableColumns_INT(const VqbString&, int) override { return true; }
    bool checkHcmTableColumns_INT(const VqbString&, int) override { return true; }
    bool checkFrqDstTableColumns_INT(const VqbString&, int) override { return true; }
    bool createFrqDstIndexes_INT(int n) override;
    int getTableColumns_INT(const VqbString& table, ColumnSpecList* out) override;
    bool createTableFromColumns_INT(const VqbString& table, const ColumnSpecList& columns) override;
    bool getBigString_INT(const VqbString& value, VqbString* out, VqbString* error) override;
    bool putBigString_INT(const VqbString& value, VqbString* out, VqbString* error) override;
    int compareTextLen_INT() override { return connectorTextLen_; }
    void bigStringProbes_INT(const VqbString& text, std::vector<RDA_BigString::Chunk>& probes) override;
    VqbString getIdentifierQuote_INT() override { return VqbString(""); }
    ReposDataAccessCursor* getIndexes_INT(const VqbString& table) override;
    bool checkTableIndexes_INT(const VqbString&) override { return true; }
    bool createIndex_INT(const VqbString& table, const VqbString& column, const VqbString& name) override;
    bool isDatabaseKind1_INT() override { return false; }
    bool checkDatabaseSupported_INT() override { return true; }
    bool supportsBulkLoad_INT() override { return false; }
    bool bulkLoadBegin_INT(int, const VqbString&, const ColumnSpecList&) override { return true; }
    bool bulkLoadRow_INT(const RDA_Params&) override { return true; }
    bool bulkLoadEnd_INT(bool) override { return true; }
    bool isConnectionMode3_INT() override { return true; }
    DacConnection* getConnection_INT() override { return nullptr; }
    bool lastFailureBusy_INT() override { return lastStatus_ == SQLITE_STATUS_BUSY; }
    bool transactionKept_INT() override { return db_ && db_->inTransaction(); }
    int missingCatalogIndexes_INT(bool ncoa) override;

private:
    friend class RDA_SqliteStatement;
    friend class RDA_SqliteCursor;

    // Binds one value as given.
    bool setParameter_INT(SqliteStatement* statement, const VqbDatavar* value, int index, const VqbString& sql);
    // A wrapper cursor for a select; prepared receives the statement it runs on (null for a
    // select without parameters). Null on failure, with the last error set and logged.
    SqliteCursor* openCursor(const VqbString& sql, const RDA_Params& params, SqliteStatement** prepared);
    bool databaseFailure(int line);
    // Last error set and logged, with the result code of the failure kept beside it.
    bool failWithStatus(int line, const VqbString& text, int status);
    // Prepared statements of parameterised calls are kept for the next call with the same text:
    // an idle one, or a new one (null on failure, last error set). giveBack clears it and keeps
    // it while the cache has room.
    SqliteStatement* takeStatement(const VqbString& sql);
    void giveBack(const VqbString& sql, SqliteStatement* statement);
    void dropIdleStatements();
    // The text length the connector keeps this file's texts to: KEYVAL MAX_TEXT_LEN, or its default.
    void loadConnectorTextLen();
    int connectorTextLen_ = RDA_BigString::kConnectorTextLen;

    // DDL
    struct TableDdl {
        std::vector<VqbString> statements;  // CREATE TABLE, or the ALTER TABLE of missing columns
    };
    bool buildCreateTable(const ReposColumnDef* first, TableDdl& ddl);
    bool buildAddColumns(const ReposColumnDef* first, const std::set<std::string>& present, TableDdl& ddl);
    bool columnDefinition(const ReposColumnView& column, VqbString& text);
    // The indexes a catalogue table has on this back end, and the statement making one.
    std::vector<ReposIndexDecl> expectedIndexes(const ReposColumnDef* first);
    VqbString indexStatement(const char* table, const ReposIndexDecl& index);
    // Every index of the file by what it indexes, and every table with its key.
    bool readStoredIndexes(ReposStoredIndexes& stored);
    // Shows the statement, runs it; a failure is shown, logged at failLevel and leaves the last
    // error set.
    bool runDdl(const VqbString& sql, int line, int failLevel = 5);
    bool runStatements(const std::vector<VqbString>& statements);
    bool readNames(const VqbString& sql, int column, std::set<std::string>& names, unsigned cursorError);
    // A query of the schema; null with the reason reported and logged.
    SqliteCursor* queryDdl(const VqbString& sql);
    bool createSqliteIndex(const VqbString& table, const VqbString& column, const VqbString& name);

    SqliteDatabase* db_ = nullptr;
    int lastStatus_ = 0;
    RDA_IdleStatements<SqliteStatement> idle_{64};
};

class RDA_SqliteStatement : public RDA_BaseStatementImpl {
public:
    RDA_SqliteStatement(RDA_Sqlite* owner, const VqbString& sql, SqliteStatement* statement);

protected:
    ~RDA_SqliteStatement() override = default;

    bool setParameterInfo_INT(int index, int type, int size) override;
    bool setParameter_INT(int index, const VqbDatavar& value) override;
    bool setParameterBulk_INT(int index, int row, const VqbDatavar& value) override;
    bool execute_INT() override;
    ReposDataAccessCursor* select_INT() override;
    VqbString getErrorMessage_INT() override;
    void release_INT() override;

private:
    bool usable(int line);

    RDA_Sqlite* sqlite_;
    bool handedOver_ = false;
    SqliteStatement* statement_;
};

class RDA_SqliteCursor : public RDA_BaseCursorImpl {
public:
    // Owns both handles; prepared is null for a select without parameters. A recycled statement
    // goes back to the connection's cache when the cursor is done with it.
    RDA_SqliteCursor(RDA_Sqlite* owner, const VqbString& sql, SqliteStatement* prepared, SqliteCursor* cursor,
                     bool recycle);

protected:
    ~RDA_SqliteCursor() override = default;

    void release_INT() override;
    // The stored text, unresolved (also from cached rows).
    VqbString getString_INT(int i) override;
    int liveNext() override;
    int liveNumCols() override;
    VqbString liveColName(int i) override;
    // Typed by the column's storage class.
    VqbDatavar liveValue(int i, bool* reference) override;

private:
    void dropHandles();

    RDA_Sqlite* sqlite_;
    SqliteStatement* prepared_;
    SqliteCursor* cursor_;
    bool recycle_;
};

#endif
