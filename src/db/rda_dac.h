// The back end for repositories reached through the data-access connector: any DBMS the
// connector serves through a connection text, and SQLite files through its native driver. The
// DDL is written by the connector's table builder (or by the table-creation command spec).
#ifndef RDA_DAC_H
#define RDA_DAC_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rda_impl.h"
#include "vqdac.h"
#include "vqdacpool.h"

struct ReposColumnView;
struct ReposIndexDecl;
class ReposStoredIndexes;

// DBMS kinds this back end treats differently (DacConnection::getDbmsKind).
enum RDA_DacKind {
    RDA_DAC_KIND_NESTED_JOINS = 1,    // multi-table joins nested in parentheses
    RDA_DAC_KIND_MARKED_CHUNKS = 9,   // big-string chunks keep edge blanks only between markers
    RDA_DAC_KIND_CASE_EXACT = 12,     // catalogue lookups are exact: lower-case names tried too
    RDA_DAC_KIND_PRIMARY_INDEX = 14,  // identity column, PRIMARY INDEX, commit after each index
    RDA_DAC_KIND_LONG_TEXT = 16,      // texts above 255 characters stay inline
    RDA_DAC_KIND_LOWER_COLUMNS = 17,  // prefix keeps its case, column names in lower case
};

class RDA_DACCursor;

class RDA_DAC : public RDA_BaseImpl {
public:
    RDA_DAC() = default;

    // Rewrites the KEYVAL row MAX_TEXT_LEN with the current maximum text length.
    bool storeMaxTextLen();

protected:
    ~RDA_DAC() override;

    bool init_INT(const VqbString& connection, const VqbString& prefix, bool create) override;
    void close_INT() override;
    VqbString getTableName_INT(const char* table, bool qualified, int suffix) override;
    VqbString getSchemaName_INT() override;
    VqbString getIndexName_INT(int number, const VqbString& table) override;
    bool beginTransaction_INT(bool exclusive, bool* busy) override;
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
    ReposDataAccessStatement* createBulkStatement_INT(const VqbString& sql, int rows) override;
    bool supportsBulkStatement_INT() override { return true; }
    bool createTable_INT(const ReposTableRequest& request) override;
    bool checkTable_INT(const ReposTableRequest& request) override;
    bool dropTable_INT(const VqbString& table) override;
    bool createHsmIndexes_INT(int n, int groupFields) override;
    bool createHcmIndexes_INT(int n, int groupFields) override;
    bool checkHsmTableColumns_INT(const VqbString& table, int n) override;
    bool checkHcmTableColumns_INT(const VqbString& table, int n) override;
    bool checkFrqDstTableColumns_INT(const VqbString& table, int n) override;
    bool createFrqDstIndexes_INT(int n) override;
    int getTableColumns_INT(const VqbString& table, ColumnSpecList* out) override;
    bool createTableFromColumns_INT(const VqbString& table, const ColumnSpecList& columns) override;
    bool getBigString_INT(const VqbString& value, VqbString* out, VqbString* error) override;
    bool putBigString_INT(const VqbString& value, VqbString* out, VqbString* error) override;
    std::vector<std::string> bigStringChunks_INT(const VqbString& value) override;
    void bigStringProbes_INT(const VqbString& text, std::vector<RDA_BigString::Chunk>& probes) override;
    VqbString getIdentifierQuote_INT() override;
    ReposDataAccessCursor* getIndexes_INT(const VqbString& table) override;
    bool checkTableIndexes_INT(const VqbString& table) override;
    bool createIndex_INT(const VqbString& table, const VqbString& column, const VqbString& name) override;
    bool isDatabaseKind1_INT() override { return dbmsKind() == RDA_DAC_KIND_NESTED_JOINS; }
    bool checkDatabaseSupported_INT() override;
    bool supportsBulkLoad_INT() override;
    bool bulkLoadBegin_INT(int batchSize, const VqbString& table, const ColumnSpecList& columns) override;
    bool bulkLoadRow_INT(const RDA_Params& values) override;
    bool bulkLoadEnd_INT(bool flush) override;
    bool isConnectionMode3_INT() override { return connectionMode3_; }
    DacConnection* getConnection_INT() override;
    bool transactionKept_INT() override { return connection_ && !connection_->isTransactionLost(); }
    int missingCatalogIndexes_INT(bool ncoa) override;
    // Not on a connection shared through the pool, whose other users may end its transaction, nor
    // for big strings written on a connection of their own, which commits them apart.
    bool idBlocksFor_INT(const VqbString& key) override {
        return !pooled_ && !(separateBigStrings_ && key.str() == "BIGSTR");
    }

private:
    // Prepares a statement (an array-bound one with batch) for the caller.
    ReposDataAccessStatement* prepareStatement(const VqbString& sql, bool batch);
    friend class RDA_DACStatement;
    friend class RDA_DACCursor;

    int dbmsKind() { return connection_ ? connection_->getDbmsKind() : 0; }
    // BEGIN on the connection; an exclusive one also takes the repository's write lock.
    bool beginOnConnection(bool exclusive, bool* busy);
    bool scriptMode() const { return ddlCallback_ != nullptr; }
    // The last error from a connector object's text, logged; false.
    bool failConnector(int line, const VqbString& text);
    void loadDbmsMaxTextLen();
    void loadMaxTextLen();
    void closeBulkLoader();
    // Quoted identifier of this connection (embedded quotes doubled); bare without a quote.
    VqbString quoted(const VqbString& name);
    // The prefix part after its first "." (the whole prefix without one).
    VqbString prefixAfterDot() const;

    // ---- statements and big strings
    bool setParameter_INT(DacStatement* statement, const VqbDatavar* value, int index, bool storeBig, bool declare,
                          const VqbString& types, const VqbString& sql);
    bool setParameterWTypes_INT(DacStatement* statement, const VqbDatavar* value, int index, int row, bool storeBig,
                                bool declare, const VqbString& types, const VqbString& sql);
    bool execWithTypes(const char* name, const VqbString& sql, int* rowsAffected, const VqbString& types,
                       const RDA_Params& params);
    ReposDataAccessCursor* selectWithTypes(const char* name, const VqbString& sql, const VqbString& types,
                                           const RDA_Params& params);
    // Prepared and bound for reading (long texts are never stored); null with the last error set.
    ReposHeld<DacStatement> prepareBound(const VqbString& sql, const VqbString& types, const RDA_Params& params);
    // The cursor handed out over the connector's, which it owns from then on; null (the
    // connector's cursor closed, 530 as last error) when it cannot be made.
    RDA_DACCursor* newCursor(const VqbString& sql, DacStatement* statement, DacCursor* cursor);
    bool singleValue(const VqbString& sql, const VqbString& types, const RDA_Params& params, int64_t* out);
    // Statements that change rows are kept prepared for the next call with the same text, so the
    // server parses them once: an idle one, or a new one (null on failure, last error set).
    // giveBack keeps it while the cache has room; undeclare forgets the parameter types a caller
    // declared, for statements whose next user may declare none.
    DacStatement* takeStatement(const VqbString& sql);
    // Whether the text is a SELECT (queries are never kept idle: a cached plan's columns may
    // change under them).
    static bool isQueryText(const VqbString& sql);
    void giveBack(const VqbString& sql, DacStatement* statement, bool undeclare);
    DacConnection* bigStringConnection();
    // The reference a long text being written is kept by.
    bool storeLongText(const VqbString& text, VqbString* reference);
    // putBigString_INT in script mode: the chunk inserts are written into the script.
    bool putScriptBigString(const VqbString& value, VqbString* out, VqbString* error);

    // ---- DDL
    struct TableBuild;
    // The stored table, or null (the second lookup in lower case on kind 12).
    DacTable* lookupTable(const VqbString& bare);
    DacTable* newTable(const VqbString& bare);
    VqbString dbmsName();
    // Shown to the status callback, then written to the script or run. A failure is shown too;
    // fatal failures also become the last error and are logged.
    bool runDdl(const VqbString& sql, bool fatal, int line);
    bool commitAndBegin(int line);
    bool buildColumns(const ReposColumnDef* first, const ReposTableRequest& request, TableBuild& build, bool existing);
    VqbString columnText(DacTable* table, bool quote);
    bool createBuiltTable(TableBuild& build, bool quoteColumns);
    // The indexes a catalogue table has on this connection; specTable: the command spec made it.
    std::vector<ReposIndexDecl> expectedIndexes(const ReposColumnDef* first, const VqbString& bare, bool specTable,
                                                const VqbString& stem);
    VqbString indexName(const ReposIndexDecl& index, const VqbString& stem);
    // Whether the command spec has statements for the table, or with index for that index of it.
    bool specHas(const VqbString& dbms, const VqbString& bare, const VqbString* index);
    // Makes one of them. False only on a fatal failure; otherwise the first reason a failure
    // gives is kept in failure.
    bool createDeclaredIndex(TableBuild& build, const ReposIndexDecl& index, bool fatal, bool quoteColumns,
                             VqbString* failure);
    // What the tables' indexes index, in one statement where the DBMS is read (SQLite, PostgreSQL),
    // else table by table from the connector's index listing. Tables that do not exist stay out.
    bool readStoredIndexes(const std::vector<const ReposColumnDef*>& tables, ReposStoredIndexes& stored);
    void dropBuiltTable(TableBuild& build, const ReposColumnDef* first);
    // Column i must be named expected (ignoring case); marks it. Messages 1161, 1055, 1056.
    bool checkTableColumn(DacTable* table, int i, const char* expected);
    // The names of the work-table index on column position i (HSM, HCM) or of FRQDST columns.
    VqbString workIndexName(const char* kind, int n, const char* tail);
    bool createMarkedIndexes(DacTable* table, const std::vector<std::pair<int, VqbString>>& names);
    void dropMarkedIndexes(DacTable* table, const std::vector<VqbString>& names);
    bool readIndexColumns(const VqbString& bare, std::vector<std::pair<VqbString, VqbString>>& rows);
    VqbString columnName(const char* name);

    DacDataSource* dataSource_ = nullptr;
    DacConnection* connection_ = nullptr;
    DacConnection* bigStringConnection_ = nullptr;
    DacBulkLoader* bulkLoader_ = nullptr;
    bool connectionMode3_ = false;
    bool exclusiveOpen_ = false;  // the open transaction holds the repository's write lock
    bool separateBigStrings_ = false;
    std::unique_ptr<ConnShareSingleton> pool_;
    bool pooled_ = false;
    VqbString poolId_;
    VqbString dataSourceInfo_;
    RDA_IdleStatements<DacStatement> idle_{64};
};

class RDA_DACStatement : public RDA_BaseStatementImpl {
public:
    // recycle: the statement goes back to the connection's idle statements when released.
    RDA_DACStatement(RDA_DAC* owner, const VqbString& sql, DacStatement* statement, bool recycle = false);

protected:
    ~RDA_DACStatement() override = default;

    bool setParameterInfo_INT(int index, int type, int size) override;
    bool setParameter_INT(int index, const VqbDatavar& value) override;
    bool setParameterBulk_INT(int index, int row, const VqbDatavar& value) override;
    bool execute_INT() override;
    ReposDataAccessCursor* select_INT() override;
    VqbString getErrorMessage_INT() override;
    void release_INT() override;

private:
    bool usable(int line);

    RDA_DAC* dac_;
    // Type letters of the values bound through this statement (none for prepared statements).
    VqbString types_;
    bool query_;
    bool handedOver_ = false;
    bool recycle_;
    DacStatement* statement_;
};

class RDA_DACCursor : public RDA_BaseCursorImpl {
public:
    // Owns both; the statement may be null.
    RDA_DACCursor(RDA_DAC* owner, const VqbString& sql, DacStatement* statement, DacCursor* cursor);

protected:
    ~RDA_DACCursor() override = default;

    void release_INT() override;
    int liveNext() override;
    int liveNumCols() override;
    VqbString liveColName(int i) override;
    VqbDatavar liveValue(int i, bool* reference) override;

private:
    void dropHandles();

    RDA_DAC* dac_;
    DacStatement* statement_;
    DacCursor* cursor_;
};

#endif
