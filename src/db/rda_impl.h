// The connection frame shared by the database back ends: every public operation takes the
// connection's lock, runs the back end's protected _INT operation and releases the lock. The
// frame keeps what both back ends share: lock and lock trace, error texts, transaction depth,
// callbacks, loggers, the table-creation command spec, id counters and column lists.
#ifndef RDA_IMPL_H
#define RDA_IMPL_H

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "rda_bigstrings.h"
#include "rda_sqlreader.h"
#include "repos_cursors.h"
#include "repos_dataaccess.h"
#include "repos_guard.h"
#include "repos_held.h"
#include "repos_tablecreate.h"
#include "reposlog.h"
#include "vqlock.h"
#include "vqlog.h"

// A level-1 entry on the object's own logger_, built only when the threshold admits it; kSource
// is the component name of the file that uses it.
#define RDA_TRACE(fmt, ...)                                                                   \
    do {                                                                                      \
        if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, fmt, __VA_ARGS__); \
    } while (0)

class RDA_BaseImpl;

// The values of one call, one per "?" in order; a null pointer stands for NULL.
struct RDA_Params {
    const VqbDatavar* const* values = nullptr;
    int count = 0;
    // Per value, non-zero for one a statement compares rather than stores: it is bound as given,
    // never moved to BIGSTR. Null: every value of a writing statement may be stored.
    const unsigned char* compared = nullptr;
    const VqbDatavar* at(int i) const { return values[i]; }
    bool isCompared(int i) const { return compared && compared[i]; }
};

// A statement with compared texts kept apart: each comparison the reader is sure of rewritten to
// match the rows that read back as the text (through the references of the big strings holding
// it, and a long text also as given), and every compared value marked to be bound as given.
struct RDA_WholeTexts {
    VqbString sql;
    std::vector<VqbDatavar> values;
    std::vector<const VqbDatavar*> pointers;
    std::vector<unsigned char> compared;
    RDA_Params params() const { return {pointers.data(), static_cast<int>(pointers.size()), compared.data()}; }
};

// Collects the VqbDatavar* arguments of a variadic call.
class RDA_ParamList {
public:
    RDA_ParamList(int n, va_list args);
    RDA_ParamList(const RDA_ParamList&) = delete;
    RDA_ParamList& operator=(const RDA_ParamList&) = delete;
    RDA_Params params() const { return {data_, count_}; }

private:
    static constexpr int kInline = 16;
    const VqbDatavar* inline_[kInline];
    std::vector<const VqbDatavar*> heap_;
    const VqbDatavar* const* data_ = inline_;
    int count_ = 0;
};

// Holds a connection's lock for one public operation.
class RDA_LockScope {
public:
    RDA_LockScope(RDA_BaseImpl* owner, const char* source, int line, const char* kind, int id);
    ~RDA_LockScope();
    RDA_LockScope(const RDA_LockScope&) = delete;
    RDA_LockScope& operator=(const RDA_LockScope&) = delete;

private:
    RDA_BaseImpl* owner_;
};

// Prepared statements of a connection kept idle for the next call with the same text, up to a
// limit; S is a back end's statement with release(). A text keeps its (possibly empty) list, so
// taking and giving back the same statement allocates nothing after the first call.
template <class S>
class RDA_IdleStatements {
public:
    explicit RDA_IdleStatements(size_t limit) : limit_(limit) {}
    RDA_IdleStatements(const RDA_IdleStatements&) = delete;
    RDA_IdleStatements& operator=(const RDA_IdleStatements&) = delete;
    ~RDA_IdleStatements() { drop(); }

    // An idle statement of the text, or null.
    S* take(const VqbString& sql) {
        auto it = idle_.find(sql.str());
        if (it == idle_.end() || it->second.empty()) return nullptr;
        S* statement = it->second.back();
        it->second.pop_back();
        --count_;
        return statement;
    }
    // Keeps the statement idle, or releases it when the limit is reached.
    void give(const VqbString& sql, S* statement) {
        ReposHeld<S> held(statement);
        if (!held || count_ >= limit_) return;
        // Texts seen once and idle no more are dropped before they pile up.
        if (idle_.size() >= 4 * limit_) {
            for (auto it = idle_.begin(); it != idle_.end();) it = it->second.empty() ? idle_.erase(it) : std::next(it);
        }
        idle_[sql.str()].push_back(statement);
        ++count_;
        held.release();
    }
    void drop() {
        for (auto& entry : idle_)
            for (S* statement : entry.second) statement->release();
        idle_.clear();
        count_ = 0;
    }

private:
    std::unordered_map<std::string, std::vector<S*>> idle_;
    size_t count_ = 0;
    size_t limit_;
};

class RDA_BaseImpl : public ReposDataAccess, public ReposGuard<RDA_BaseImpl> {
public:
    RDA_BaseImpl();

    // Set-up run once by the factory. On failure the factory releases the object.
    bool init(const VqbString& connection, const VqbString& prefix, bool create, RepositoryStatusCallback* callback);
    // The factories' end: a connection just made (null when memory ran out) after its set-up, or
    // null with the reason in error, logged under source.
    static ReposDataAccess* ready(RDA_BaseImpl* made, const char* source, const VqbString& connection,
                                  const VqbString& prefix, bool create, RepositoryStatusCallback* callback,
                                  VqbString& error);

    void lock(const char* source, int line, const char* kind, int id);
    void unlock();
    bool lockingEnabled() const { return locking_; }
    VqLockHandle lockHandle() const { return lock_; }

    // A level a typed class or service opens in order to write: the outermost one takes the write
    // lock as it begins (a begin that waits for other writers rather than one that fails when its
    // read lock cannot be upgraded); exclusive as beginTransaction. A nested level takes nothing new.
    // A connection that is not this library's begins as asked.
    static bool beginWriteLevel(ReposDataAccess* connection, bool exclusive, bool* busy);
    // Announces work done on the connection once it is committed: posted at once when no
    // transaction is open, else kept and posted in order after the outermost level commits, and
    // dropped when it rolls back, when its commit fails or when the connection is released first.
    // Posts run outside the connection's lock, since a listener may call back into the library.
    using Announcement = std::function<void()>;
    static void announce(ReposDataAccess* connection, Announcement post);
    // How many failures the connection has logged so far (0 for a connection that is not this
    // library's): a layer above compares two readings to tell whether a failure was logged below.
    static unsigned failuresLogged(ReposDataAccess* connection);
    // How the connection's statements quote (Standard for a connection that is not this library's).
    static RDA_SqlDialect sqlDialect(ReposDataAccess* connection);
    // The longest text a comparison on the connection takes as given: a longer one, or one shaped
    // like a reference, goes through the parameterised calls, which compare it whole.
    static int compareTextLen(ReposDataAccess* connection);
    // Whether an index the catalogue declares for this connection is missing on one of the
    // catalogue's tables that exist (with ncoa, the NCOA catalogue's too), asked of the DBMS in
    // one statement: 1 yes; 0 no, or a DBMS whose indexes are not read (a connection that is not
    // this library's too); -1 when it cannot be told, with the last error set.
    static int missingCatalogIndexes(ReposDataAccess* connection, bool ncoa);

    // ReposDataAccess
    VqbString getGeneralErrorMessage() final;
    VqbString getLastErrorMessage() final;
    void release() final;
    VqbString getTableName(const char* table, bool qualified, int suffix) final;
    bool getPrefix(bool afterDot, VqbString* out, VqbString* error) final;
    VqbString getSchemaName() final;
    VqbString getIndexName(int number, const VqbString& table) final;
    VqbString getColumnList(const VqbString& table, const char* alias) final;
    bool beginTransaction(bool exclusive, bool* busy = nullptr) final;
    bool endTransaction(bool commit) final;
    bool isInTransaction() final;
    bool getNextIds(const VqbString& key, int count, VqbDatavar* firstId, VqbString* error) final;
    bool getNextId(const VqbString& key, VqbDatavar* id) final;
    ReposDataAccessCursor* paramSelect(const VqbString& sql, int n, ...) final;
    ReposDataAccessCursor* paramSelectWTypes(const VqbString& sql, const VqbString& types, int n, ...) final;
    ReposDataAccessCursor* paramSelectV(const VqbString& sql, int n, va_list args) final;
    bool paramExec(const VqbString& sql, int* rowsAffected, int n, ...) final;
    bool paramExecWTypes(const VqbString& sql, int* rowsAffected, const VqbString& types, int n, ...) final;
    bool paramSingletonInt(const VqbString& sql, int* out, int n, ...) final;
    bool paramSingleton(const VqbString& sql, int64_t* out, int n, ...) final;
    bool paramSingletonWTypes(const VqbString& sql, int* out, const VqbString& types, int n, ...) final;
    ReposDataAccessStatement* createStatement(const VqbString& sql) final;
    ReposDataAccessStatement* createBulkStatement(const VqbString& sql, int rows) final;
    bool supportsBulkStatement() final;
    bool createTable(ReposTableRequest request) final;
    bool checkTable(ReposTableRequest request) final;
    bool dropTable(const VqbString& table) final;
    void setDDLCallback(ReposDDLCallback* callback) final;
    bool createHsmIndexes(int n, int groupFields) final;
    bool createHcmIndexes(int n, int groupFields) final;
    bool createFrqDstIndexes(int n) final;
    bool checkHsmTableColumns(const VqbString& table, int n) final;
    bool checkHcmTableColumns(const VqbString& table, int n) final;
    bool checkFrqDstTableColumns(const VqbString& table, int n) final;
    int getTableColumns(const VqbString& table, ColumnSpecList* out) final;
    bool createTableFromColumns(const VqbString& table, const ColumnSpecList& columns) final;
    int getMaxTextLen() final;
    bool getBigString(const VqbString& value, VqbString* out, VqbString* error) final;
    bool putBigString(const VqbString& value, VqbString* out, VqbString* error) final;
    VqbString getIdentifierQuote() final;
    ReposDataAccessCursor* getIndexes(const VqbString& table) final;
    bool checkTableIndexes(const VqbString& table) final;
    bool createIndex(const VqbString& table, const VqbString& column, const VqbString& name) final;
    bool isDatabaseKind1() final;
    bool checkDatabaseSupported() final;
    VqbString getRepositoryUuid() final;
    bool supportsBulkLoad() final;
    bool bulkLoadBegin(int batchSize, const VqbString& table, const ColumnSpecList& columns) final;
    bool bulkLoadRow(int count, ...) final;
    bool bulkLoadEnd(bool flush) final;
    bool isConnectionMode3() final;
    DacConnection* getConnection() final;

    // Helpers for code that already holds the lock.
    // 1 when a value is a text kept apart and the reader can place every marker: out holds the
    // statement to run, its comparisons rewritten where the reader is sure of them and each
    // compared value marked to be bound as given. 0 when it runs as given (short texts cost one
    // size and prefix test each), -1 on failure.
    int wholeTexts(const VqbString& sql, const RDA_Params& params, RDA_WholeTexts& out);
    // Ids of the key from its counter in UCURID. Inside a transaction, later draws of a key take
    // growing blocks handed out from memory, until the blocks are settled or forgotten.
    bool reserveIdBlock(const VqbString& key, int count, VqbDatavar* firstId, VqbString* error);
    ReposDataAccessCursor* paramSelectVA(const VqbString& sql, int n, ...);
    bool paramExecVA(const VqbString& sql, int* rowsAffected, int n, ...);
    // Statements of the table-creation command spec for a table or an index; true when at least
    // one ran and none failed (false: the caller makes its own DDL).
    bool runCustomTableDdl(const VqbString& dbType, const VqbString& schema, const VqbString& table,
                           const VqbString& columns);
    bool runCustomIndexDdl(const VqbString& dbType, const VqbString& schema, const VqbString& table,
                           const VqbString& indexName, const VqbString& columns);

    // An exception stopped a public operation of the connection or of one of its statements or
    // cursors (their caught): its text becomes the last error, logged at level 5.
    void keepCaught(int line, const char* text);

    int instanceId() const { return instanceId_; }
    const VqbString& tag() const { return tag_; }
    VqLogger* logger() const { return logger_; }
    // Process-wide ids for log tags of connections, statements and cursors.
    static int nextInstanceId();

    // Script mode: the statement with each "?" outside quotes replaced by the literal of the next
    // value. False (message 1288 as the last error) when a value finds no "?".
    bool buildScriptStatement(const VqbString& sql, const RDA_Params& params, VqbString& out);
    // NULL, a number, or a text between single quotes with embedded quotes doubled.
    static VqbString scriptLiteral(const VqbDatavar* value);
    // The name between double quotes, embedded double quotes doubled.
    static VqbString quoteIdentifier(const char* name);

protected:
    ~RDA_BaseImpl() override;

    virtual bool init_INT(const VqbString& connection, const VqbString& prefix, bool create) = 0;
    virtual void close_INT() = 0;
    virtual VqbString getTableName_INT(const char* table, bool qualified, int suffix) = 0;
    virtual VqbString getSchemaName_INT() = 0;
    virtual VqbString getIndexName_INT(int number, const VqbString& table) = 0;
    virtual bool beginTransaction_INT(bool exclusive, bool* busy) = 0;
    // The outermost begin of a level opened in order to write; a plain begin where that already
    // takes the write lock (or where readers never block a writer's upgrade).
    virtual bool beginWriteTransaction_INT(bool* busy) { return beginTransaction_INT(false, busy); }
    virtual bool endTransaction_INT(bool commit) = 0;
    virtual bool isInTransaction_INT() { return depth_ > 0; }
    virtual ReposDataAccessCursor* paramSelect_INT(const VqbString& sql, const RDA_Params& params) = 0;
    virtual ReposDataAccessCursor* paramSelectWTypes_INT(const VqbString& sql, const VqbString& types,
                                                         const RDA_Params& params) = 0;
    virtual bool paramExec_INT(const VqbString& sql, int* rowsAffected, const RDA_Params& params) = 0;
    virtual bool paramExecWTypes_INT(const VqbString& sql, int* rowsAffected, const VqbString& types,
                                     const RDA_Params& params) = 0;
    virtual bool paramSingleton_INT(const VqbString& sql, int64_t* out, const RDA_Params& params) = 0;
    virtual bool paramSingletonWTypes_INT(const VqbString& sql, int* out, const VqbString& types,
                                          const RDA_Params& params) = 0;
    virtual ReposDataAccessStatement* createStatement_INT(const VqbString& sql) = 0;
    virtual ReposDataAccessStatement* createBulkStatement_INT(const VqbString& sql, int rows) = 0;
    virtual bool supportsBulkStatement_INT() = 0;
    virtual bool createTable_INT(const ReposTableRequest& request) = 0;
    virtual bool checkTable_INT(const ReposTableRequest& request) = 0;
    virtual bool dropTable_INT(const VqbString& table) = 0;
    virtual void setDDLCallback_INT(ReposDDLCallback* callback) { ddlCallback_ = callback; }
    virtual bool createHsmIndexes_INT(int n, int groupFields) = 0;
    virtual bool createHcmIndexes_INT(int n, int groupFields) = 0;
    virtual bool checkHsmTableColumns_INT(const VqbString& table, int n) = 0;
    virtual bool checkHcmTableColumns_INT(const VqbString& table, int n) = 0;
    virtual bool checkFrqDstTableColumns_INT(const VqbString& table, int n) = 0;
    virtual bool createFrqDstIndexes_INT(int n) = 0;
    virtual int getTableColumns_INT(const VqbString& table, ColumnSpecList* out) = 0;
    virtual bool createTableFromColumns_INT(const VqbString& table, const ColumnSpecList& columns) = 0;
    virtual int getMaxTextLen_INT() { return maxTextLen_; }
    virtual bool getBigString_INT(const VqbString& value, VqbString* out, VqbString* error) = 0;
    virtual bool putBigString_INT(const VqbString& value, VqbString* out, VqbString* error) = 0;
    // The BIGSTR chunks this back end writes for a text, in order.
    virtual std::vector<std::string> bigStringChunks_INT(const VqbString& value);
    // The longest text that no writer of this database keeps apart: a compared text longer than
    // this may be held by a big string.
    virtual int compareTextLen_INT() { return maxTextLen_; }
    // One chunk that every big string holding the text has, for each way the writers of this
    // database cut texts: its own way first.
    virtual void bigStringProbes_INT(const VqbString& text, std::vector<RDA_BigString::Chunk>& probes);
    // The references of the big strings that hold exactly the text, oldest first: found by their
    // chunks in one statement, each candidate read whole before it counts. Nothing is remembered
    // between lookups, so rollbacks and copies cannot leave a lookup behind. False on failure.
    bool findBigStrings(const VqbString& text, std::vector<VqbString>& references);
    // The reference to keep a long text by: a big string that already holds it, or a new one.
    bool storeBigText(const VqbString& text, VqbString* reference);
    virtual VqbString getIdentifierQuote_INT() = 0;
    virtual ReposDataAccessCursor* getIndexes_INT(const VqbString& table) = 0;
    virtual bool checkTableIndexes_INT(const VqbString& table) = 0;
    virtual bool createIndex_INT(const VqbString& table, const VqbString& column, const VqbString& name) = 0;
    virtual bool isDatabaseKind1_INT() = 0;
    virtual bool checkDatabaseSupported_INT() = 0;
    virtual bool supportsBulkLoad_INT() = 0;
    virtual bool bulkLoadBegin_INT(int batchSize, const VqbString& table, const ColumnSpecList& columns) = 0;
    virtual bool bulkLoadRow_INT(const RDA_Params& values) = 0;
    virtual bool bulkLoadEnd_INT(bool flush) = 0;
    virtual bool isConnectionMode3_INT() = 0;
    virtual DacConnection* getConnection_INT() = 0;
    // Whether the last failed statement was refused because another connection held the
    // database; a statement of its own that failed so may simply be run again.
    virtual bool lastFailureBusy_INT() { return false; }
    // False when the database ended the transaction the frame holds open by itself (SQLite rolls
    // back after some failures).
    virtual bool transactionKept_INT() { return true; }
    // Whether ids of the key may be reserved ahead inside a transaction.
    virtual bool idBlocksFor_INT(const VqbString& /*key*/) { return true; }
    // missingCatalogIndexes of this back end.
    virtual int missingCatalogIndexes_INT(bool /*ncoa*/) { return 0; }

    // Transaction depth rules shared by the back ends. enterLevel: true when the caller must send
    // BEGIN (the level is counted); after a failed BEGIN the caller undoes it with undoLevel, so
    // the depth stays as it was.
    bool enterLevel();
    void undoLevel();
    enum class LevelEnd { NoOpenLevel, Inner, Outermost };
    // An end with no open level fails here (1068 / 1065, logged) and leaves the depth at 0.
    LevelEnd leaveLevel(const char* source, int line);
    // A failed COMMIT / ROLLBACK of the outermost level: 1066 or 1067 as the last error, logged.
    bool endFailed(const char* source, int line, const VqbString& databaseError);

    // Last error set and logged at level 5; false.
    bool fail(const char* source, int line, const VqbString& text);
    void logError(const char* source, int line, const VqbString& text);
    RepositoryStatusCallback* status() { return statusCallback_ ? statusCallback_ : &defaultCallback_; }

    VqbString prefix_;
    VqbString lastError_;
    int32_t maxTextLen_ = 255;
    RDA_SqlDialect sqlDialect_ = RDA_SqlDialect::Standard;
    int32_t depth_ = 0;
    ReposDDLCallback* ddlCallback_ = nullptr;
    VqLogger* logger_;
    ReposHeld<VqTableCreateNS::VqCreateSpecDoc> createSpec_;

private:
    friend class RDA_BaseCursorImpl;
    friend class RDA_BaseStatementImpl;
    // run(text, params) with the statement as given, or with its rewrite for compared texts
    // stored apart; failure when the rewrite could not look for them. Every parameterised call
    // passes here.
    template <class R, class Run>
    R compareWhole(const VqbString& sql, const RDA_Params& params, R failure, Run&& run) {
        signed char unsettles = -1;
        noteStatement(sql, unsettles);
        RDA_WholeTexts whole;
        R result = failure;
        switch (wholeTexts(sql, params, whole)) {
            case 0:
                result = run(sql, params);
                break;
            case 1:
                result = run(whole.sql, whole.params());
                break;
            default:
                return failure;
        }
        handOut(result, unsettles);
        return result;
    }
    // A cursor handed to a caller settles the ids reserved ahead at its first step, when its
    // statement may unsettle them: SQLite runs a query there, not when it is prepared.
    static void handOut(bool, signed char) {}
    static void handOut(ReposDataAccessCursor* cursor, signed char unsettles);
    bool runSpecCommands(VqTableCreateNS::VqCommandCursor* cursor);
    bool beginLevel(bool exclusive, bool write, bool* busy);
    void queueOrPost(Announcement post);
    static void deliver(Announcement& post) noexcept;

    // Announcements of the open transaction, oldest first; empty whenever the depth is 0.
    std::vector<Announcement> pending_;
    std::atomic<unsigned> failuresLogged_{0};

    VqLockHandle lock_ = nullptr;
    VqbString generalError_;
    bool locking_ = false;
    DefaultStatusCallback defaultCallback_;
    RepositoryStatusCallback* statusCallback_ = nullptr;
    VqLogger* lockTrace_;
    int32_t instanceId_ = -1;
    VqbString tag_;
    // Id-counter statements, built on first use (the table name is fixed after set-up).
    VqbString idSelect_;
    VqbString idUpdate_;
    VqbString idInsert_;
    int32_t idLockTable_ = 0;  // the repository's part of the key of the first-row lock (PostgreSQL)
    // The value this connection last moved each counter to. It is only a guess at the current
    // value: the guarded update that starts from it changes nothing when another writer (or a
    // rollback) moved the counter since, and the counter is then read.
    std::unordered_map<std::string, int64_t> idLast_;
    // Ids reserved ahead in the open transaction, per key; empty whenever the depth is 0.
    struct IdBlock {
        int64_t next = 0;     // the next id to hand out
        int64_t end = 0;      // the last id reserved: the value the counter was moved to
        int64_t used = 0;     // ids of the key handed out in the transaction
        int64_t dropped = 0;  // ids it reserved that are never handed out
    };
    std::unordered_map<std::string, IdBlock> idBlocks_;
    // Counts forgetIdBlocks calls that dropped something, so a reservation under way can tell.
    unsigned idEpoch_ = 0;
    void buildIdStatements();
    // Adds the key's first counter row, at 0, unless another writer's row is there by then.
    bool insertFirstIdRow(const VqbDatavar& key);
    // Drops the ids reserved ahead: no id is handed out from them again. Called wherever the
    // reserving transaction may have ended: the outermost level's end, a failure, SQLite's own
    // rollback.
    void forgetIdBlocks() {
        if (idBlocks_.empty()) return;
        idBlocks_.clear();
        ++idEpoch_;
    }
    // Gives the ids reserved ahead and never handed out back to their counters, which the open
    // transaction still holds, then forgets the blocks. Called before the outermost commit and
    // before whatever may read or move a counter or end the transaction behind the frame, so
    // that it sees each counter at the last id handed out.
    void settleIdBlocks();
    // Whether a statement may move an id counter or end the transaction: it names UCURID (any
    // case) or one of its statements starts with a transaction-control word, its comments read as
    // the dialect's DBMS reads them.
    static bool unsettlesIdBlocks(const VqbString& sql, RDA_SqlDialect dialect);
    // Run before a statement a caller sends through the frame runs: settles the blocks when the
    // statement unsettles them. unsettles keeps the answer for the text (1 it does, 0 it does
    // not, -1 not asked yet: there were no blocks to ask about).
    void noteStatement(const VqbString& sql, signed char& unsettles) {
        if (idBlocks_.empty()) return;
        if (unsettles < 0) unsettles = unsettlesIdBlocks(sql, sqlDialect_) ? 1 : 0;
        if (unsettles) settleIdBlocks();
    }
    VqAtom owner_;
    // The last holder, for the lock trace only.
    std::mutex holderMutex_;
    const char* holderKind_ = "";
    const char* holderSource_ = "";
    int holderLine_ = -1;
};

class RDA_BaseStatementImpl : public ReposDataAccessStatement {
public:
    bool setParameterInfo(int index, int type, int size) final;
    bool setParameter(int index, const VqbDatavar& value) final;
    bool setParameterBulk(int index, int row, const VqbDatavar& value) final;
    bool execute() final;
    ReposDataAccessCursor* select() final;
    VqbString getErrorMessage() final;
    void release() final;

protected:
    RDA_BaseStatementImpl(RDA_BaseImpl* owner, const VqbString& sql);
    ~RDA_BaseStatementImpl() override = default;

    virtual bool setParameterInfo_INT(int index, int type, int size) = 0;
    virtual bool setParameter_INT(int index, const VqbDatavar& value) = 0;
    virtual bool setParameterBulk_INT(int index, int row, const VqbDatavar& value) = 0;
    virtual bool execute_INT() = 0;
    virtual ReposDataAccessCursor* select_INT() = 0;
    virtual VqbString getErrorMessage_INT() = 0;
    virtual void release_INT() = 0;

    // Log tag; built only for log entries that pass the threshold.
    VqbString tag() const;
    // Whether the marker at index is compared rather than stored: 1 or 0, -1 when the statement
    // cannot be read with certainty. The statement is read at the first call.
    int comparedSlot(int index);

    RDA_BaseImpl* owner_;
    VqbString sql_;
    int id_;
    VqLogger* logger_;

private:
    const RDA_SqlReading& reading();
    // Each value bound is kept, so that a text kept apart in a comparison the reader is sure of can
    // be compared whole at execute or select.
    struct Kept {
        VqbDatavar value;
        int declared = 0;    // the type setParameterInfo gave
        bool apart = false;  // a text kept apart
    };
    Kept* kept(int index);
    // The kept values, when one of them is a text kept apart in such a comparison.
    bool wholeValues(RDA_WholeTexts& out);

    std::unique_ptr<RDA_SqlReading> reading_;
    std::vector<Kept> kept_;
    signed char unsettles_ = -1;  // unsettlesIdBlocks of the text, once asked
};

class RDA_BaseCursorImpl : public ReposDataAccessCursor, public ReposRowSource {
public:
    int next() final;
    int getNumCols() final;
    VqbString getColName(int i) final;
    VqbString getString(int i) final;
    // These read through getValue and take no lock of their own.
    int getInt(int i) final;
    double getDouble(int i) final;
    bool isNull(int i) final;
    VqbDatavar getValue(int i) final;
    void release() final;
    bool cacheAll() final;
    // Values resolved as getValue resolves them, under one lock.
    bool copyRowsInto(ReposRowStore& store, unsigned maxRows) final;

    // The cursor goes to a caller: its first step settles the ids reserved ahead when its statement
    // may unsettle them (1 it does, 0 it does not, -1 not asked yet), since SQLite runs a query at
    // its first step. The frame's own cursors never do: a draw reads the counter through one.
    void awaitFirstStep(signed char unsettles) {
        firstStep_ = true;
        unsettles_ = unsettles;
    }

protected:
    // name: the back end's class name in trace entries.
    RDA_BaseCursorImpl(RDA_BaseImpl* owner, const VqbString& sql, const char* name);
    ~RDA_BaseCursorImpl() override = default;

    // Once cacheAll_INT has run, the reads answer from the cached rows; before, from the live
    // reads of the back end below.
    virtual void release_INT() = 0;
    virtual int next_INT();
    virtual int getNumCols_INT();
    virtual VqbString getColName_INT(int i);
    // The text of getValue_INT, so references are resolved.
    virtual VqbString getString_INT(int i);
    virtual VqbDatavar getValue_INT(int i);
    virtual bool cacheAll_INT();

    // Live reads from the back end's own cursor; once its handles are dropped they answer 2, 0,
    // "" and null. liveNext: 1 a row, 0 the end (the handles are dropped), 2 an error (last
    // error set and logged).
    virtual int liveNext() = 0;
    virtual int liveNumCols() = 0;
    virtual VqbString liveColName(int i) = 0;
    // Column i of the current row as stored, unresolved; *reference (false on entry) becomes
    // true for a text that starts like a big-string reference.
    virtual VqbDatavar liveValue(int i, bool* reference) = 0;

    // A text that is a big-string reference becomes the stored text; others pass untouched
    // after one prefix comparison.
    void resolveBigString(VqbString& text);
    void resolveBigString(VqbDatavar& value);

    VqbString tag() const;

    RDA_BaseImpl* owner_;
    VqbString sql_;
    VqLogger* logger_;
    int id_;
    const char* name_;
    bool cached_ = false;
    // Whether a cached text starts like a big-string reference; without one, cached reads skip
    // the lookup altogether.
    bool cachedReferences_ = false;
    ReposRowStore cache_;

private:
    void firstStep() {
        firstStep_ = false;
        owner_->noteStatement(sql_, unsettles_);
    }
    bool firstStep_ = false;
    signed char unsettles_ = -1;
};

#endif
