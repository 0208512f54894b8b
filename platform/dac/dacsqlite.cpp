// The native SQLite driver of the connector.
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "dacimpl.h"
#include "vqsqlite.h"

namespace {

// The database handle, shared by the connection and everything made from it, so that a
// statement or cursor released after its connection still finds a valid handle.
struct Core {
    sqlite3* db = nullptr;
    std::string file;
    DacSecrets secrets;
    DacOptions options;
    bool inTransaction = false;
    // SQLite rolled the transaction back itself after a failure (disk full, I/O error).
    bool transactionLost = false;

    ~Core() {
        if (db) sqlite3_close_v2(db);
    }
    VqbString dbError(const char* what) const {
        VqbString text = VqbString::format("%s: %s", what, db ? sqlite3_errmsg(db) : "no database");
        return secrets.scrub(text);
    }
    // After a failed step inside a transaction.
    void noteFailure() {
        if (inTransaction && sqlite3_get_autocommit(db)) transactionLost = true;
    }
    bool emulates(int kind) const { return options.kindOverride == kind; }
    std::string rewrite(const VqbString& sql) const {
        return emulates(14) ? dacRewriteKind14(sql.str()) : sql.str();
    }
};
using CoreRef = std::shared_ptr<Core>;

// A prepared statement shared by a DacStatement and the cursors it opened. Each run bumps
// the generation, so a cursor of an earlier run cannot read the rows of a later one.
struct Stmt {
    CoreRef core;
    sqlite3_stmt* stmt = nullptr;
    unsigned long generation = 0;
    ~Stmt() {
        if (stmt) sqlite3_finalize(stmt);
    }
};
using StmtRef = std::shared_ptr<Stmt>;

VqbDatavar columnValue(sqlite3_stmt* s, int i) {
    switch (sqlite3_column_type(s, i)) {
        case SQLITE_INTEGER:
            return VqbDatavar(static_cast<long long>(sqlite3_column_int64(s, i)));
        case SQLITE_FLOAT:
            return VqbDatavar(sqlite3_column_double(s, i));
        case SQLITE_TEXT: {
            const char* t = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
            return VqbDatavar(VqbString(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(s, i))));
        }
        case SQLITE_BLOB: {
            const char* b = static_cast<const char*>(sqlite3_column_blob(s, i));
            return VqbDatavar(VqbString(b ? b : "", static_cast<size_t>(sqlite3_column_bytes(s, i))));
        }
        default:
            return VqbDatavar();
    }
}

int bindOne(sqlite3_stmt* s, int i, const VqbDatavar& v) {
    switch (v.getType()) {
        case VQB_TYPE_NULL:
            return sqlite3_bind_null(s, i + 1);
        case VQB_TYPE_BOOL:
        case VQB_TYPE_INT:
            return sqlite3_bind_int64(s, i + 1, v.asInt64());
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE:
            return sqlite3_bind_double(s, i + 1, v.asDouble());
        default: {
            VqbString t = v.asString();
            return sqlite3_bind_text64(s, i + 1, t.asCstr(), t.cStrSize(), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
    }
}

class Cursor : public DacCursor {
public:
    explicit Cursor(StmtRef stmt) : stmt_(std::move(stmt)), generation_(stmt_->generation) {}

    int fetch() override {
        row_.clear();
        if (done_) return DAC_FETCH_END;
        if (stmt_->generation != generation_) {
            error_ = VqbString("the statement of this cursor was run again; its rows are gone");
            return DAC_FETCH_ERROR;
        }
        int rc = sqlite3_step(stmt_->stmt);
        if (rc == SQLITE_ROW) {
            try {
                int n = sqlite3_column_count(stmt_->stmt);
                row_.reserve(n);
                for (int i = 0; i < n; ++i) row_.push_back(columnValue(stmt_->stmt, i));
            } catch (const std::bad_alloc&) {
                row_.clear();
                error_ = VqbString("out of memory reading a row");
                return DAC_FETCH_ERROR;
            }
            return DAC_FETCH_ROW;
        }
        if (rc == SQLITE_DONE) {
            done_ = true;
            sqlite3_reset(stmt_->stmt);
            return DAC_FETCH_END;
        }
        error_ = stmt_->core->dbError("reading a row failed");
        stmt_->core->noteFailure();
        sqlite3_reset(stmt_->stmt);
        return DAC_FETCH_ERROR;
    }
    int getColumnCount() override { return sqlite3_column_count(stmt_->stmt); }
    VqbDatavar getValue(int column) override {
        if (column < 0 || static_cast<size_t>(column) >= row_.size()) return VqbDatavar();
        return row_[column];
    }
    VqbString getColumnName(int column) override {
        const char* n = column >= 0 && column < getColumnCount() ? sqlite3_column_name(stmt_->stmt, column) : nullptr;
        return VqbString(n ? n : "");
    }
    void close() override {
        if (!done_ && stmt_->generation == generation_) sqlite3_reset(stmt_->stmt);
        delete this;
    }
    VqbString getErrorText() override { return error_; }

private:
    StmtRef stmt_;
    unsigned long generation_;
    bool done_ = false;
    std::vector<VqbDatavar> row_;
    VqbString error_;
};

class Statement : public DacStatement {
public:
    explicit Statement(StmtRef stmt) : stmt_(std::move(stmt)) {}

    void release() override { delete this; }
    VqbString getErrorText() override { return error_; }

    bool declareParameter(int index, int type, int /*length*/, int /*flags*/) override {
        if (index < 0 || index >= paramCount() || type < 0 || type > 5) {
            error_ = VqbString::format("parameter %d of type %d cannot be declared: the statement has %d parameters",
                                       index, type, paramCount());
            return false;
        }
        return true;
    }
    bool bindValue(int index, const VqbDatavar& value) override { return setValue(0, index, value); }
    bool setValue(int row, int index, const VqbDatavar& value) override {
        std::string why;
        try {
            if (values_.set(row, index, paramCount(), value, why)) return true;
        } catch (const std::bad_alloc&) {
            why = "out of memory binding a value";
        }
        error_ = VqbString(why);
        return false;
    }

    bool execute(int* rows) override {
        if (rows) *rows = 0;
        Core& core = *stmt_->core;
        int n = values_.rowCount();
        // Several rows are one unit: all of them or none.
        bool unit = n > 1;
        if (unit && sqlite3_exec(core.db, "SAVEPOINT dac_rows", nullptr, nullptr, nullptr) != SQLITE_OK) {
            error_ = core.dbError("starting the rows failed");
            return false;
        }
        long long changed = 0;
        for (int r = 0; r < n; ++r) {
            if (!runRow(r, changed)) {
                if (unit) {
                    sqlite3_exec(core.db, "ROLLBACK TO dac_rows", nullptr, nullptr, nullptr);
                    sqlite3_exec(core.db, "RELEASE dac_rows", nullptr, nullptr, nullptr);
                    error_ = VqbString::format("row %d: %s", r, error_.asCstr());
                }
                values_.afterExecute();
                return false;
            }
        }
        if (unit && sqlite3_exec(core.db, "RELEASE dac_rows", nullptr, nullptr, nullptr) != SQLITE_OK) {
            error_ = core.dbError("ending the rows failed");
            sqlite3_exec(core.db, "ROLLBACK TO dac_rows", nullptr, nullptr, nullptr);
            sqlite3_exec(core.db, "RELEASE dac_rows", nullptr, nullptr, nullptr);
            values_.afterExecute();
            return false;
        }
        values_.afterExecute();
        if (rows) *rows = static_cast<int>(std::min<long long>(changed, 0x7fffffff));
        return true;
    }

    DacCursor* openCursor() override {
        if (values_.rowCount() > 1) {
            error_ = VqbString("a query takes one row of values");
            values_.afterExecute();
            return nullptr;
        }
        if (!bindRow(0)) return nullptr;
        values_.afterExecute();
        try {
            return new Cursor(stmt_);
        } catch (const std::bad_alloc&) {
            error_ = VqbString("out of memory opening a cursor");
            return nullptr;
        }
    }

private:
    int paramCount() const { return sqlite3_bind_parameter_count(stmt_->stmt); }

    bool bindRow(int r) {
        sqlite3_stmt* s = stmt_->stmt;
        sqlite3_reset(s);
        ++stmt_->generation;
        sqlite3_clear_bindings(s);
        for (int i = 0; i < paramCount(); ++i) {
            if (bindOne(s, i, values_.get(r, i)) != SQLITE_OK) {
                error_ = stmt_->core->dbError(VqbString::format("binding parameter %d failed", i).asCstr());
                return false;
            }
        }
        return true;
    }

    bool runRow(int r, long long& changed) {
        if (!bindRow(r)) return false;
        int rc;
        while ((rc = sqlite3_step(stmt_->stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            error_ = stmt_->core->dbError("the statement failed");
            stmt_->core->noteFailure();
            sqlite3_reset(stmt_->stmt);
            return false;
        }
        changed += sqlite3_changes64(stmt_->core->db);
        sqlite3_reset(stmt_->stmt);
        return true;
    }

    StmtRef stmt_;
    DacRowValues values_;
    VqbString error_;
};

class Connection : public DacConnection {
public:
    explicit Connection(CoreRef core) : core_(std::move(core)) {}

    void close() override {
        if (core_->inTransaction) sqlite3_exec(core_->db, "ROLLBACK", nullptr, nullptr, nullptr);
        core_->inTransaction = false;
        delete this;
    }
    VqbString getErrorText() override { return error_; }
    VqbString getIdentifierQuote() override { return VqbString("\""); }
    int getDbmsKind() override {
        return core_->options.kindOverride >= 0 ? core_->options.kindOverride : DAC_DBMS_SQLITE;
    }

    bool getInfo(int id, VqbDatavar& out) override {
        switch (id) {
            case DAC_INFO_DBMS_NAME:
                out = VqbDatavar("SQLite");
                return true;
            case DAC_INFO_MAX_IDENTIFIER:
                out = VqbDatavar(0);
                return true;
            case DAC_INFO_MAX_CHAR_LENGTH:
                out = VqbDatavar(sqlite3_limit(core_->db, SQLITE_LIMIT_LENGTH, -1));
                return true;
            case DAC_INFO_STATEMENT_MODE:
                out = VqbDatavar(0);
                return true;
            case DAC_INFO_DATABASE_FILE:
                out = VqbDatavar(core_->file.c_str());
                return true;
            default:
                error_ = VqbString::format("information %d is not known", id);
                return false;
        }
    }

    bool executeDirectImpl(const VqbString& sql, int /*flags*/) {
        error_ = VqbString();
        std::string text = core_->rewrite(sql);
        sqliteNotePrepare(text.c_str(), text.size());
        const char* rest = text.c_str();
        while (*rest) {
            sqlite3_stmt* s = nullptr;
            const char* tail = nullptr;
            if (sqlite3_prepare_v2(core_->db, rest, -1, &s, &tail) != SQLITE_OK) {
                error_ = core_->dbError("preparing the statement failed");
                return false;
            }
            rest = tail;
            if (!s) continue;  // white space or a comment
            int rc;
            while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE) {
                error_ = core_->dbError("the statement failed");
                core_->noteFailure();
                sqlite3_finalize(s);
                return false;
            }
            sqlite3_finalize(s);
        }
        return true;
    }

    DacCursor* openCursorDirectImpl(const VqbString& sql) {
        StmtRef stmt = prepareOne(sql);
        if (!stmt) return nullptr;
        return new Cursor(stmt);
    }
    DacStatement* prepareImpl(const VqbString& sql) {
        StmtRef stmt = prepareOne(sql);
        return stmt ? new Statement(stmt) : nullptr;
    }
    DacStatement* prepareBatch(const VqbString& sql) override { return prepare(sql); }

    bool executeDirect(const VqbString& sql, int flags) override {
        return dacGuarded<bool>(error_, false, [&] { return executeDirectImpl(sql, flags); });
    }
    DacCursor* openCursorDirect(const VqbString& sql) override {
        return dacGuarded<DacCursor*>(error_, nullptr, [&] { return openCursorDirectImpl(sql); });
    }
    DacStatement* prepare(const VqbString& sql) override {
        return dacGuarded<DacStatement*>(error_, nullptr, [&] { return prepareImpl(sql); });
    }
    DacTable* openTable(const VqbString& table, const VqbString& schema, const VqbString& catalog) override {
        return dacGuarded<DacTable*>(error_, nullptr, [&] { return openTableImpl(table, schema, catalog); });
    }
    DacBulkLoader* openBulkLoader(const VqbString& selectText, int batchSize) override {
        return dacGuarded<DacBulkLoader*>(error_, nullptr, [&] { return openBulkLoaderImpl(selectText, batchSize); });
    }
    DacCursor* openIndexStatistics(int unique, int accuracy, const VqbString& table, const VqbString& schema,
                                   const VqbString& catalog) override {
        return dacGuarded<DacCursor*>(
            error_, nullptr, [&] { return openIndexStatisticsImpl(unique, accuracy, table, schema, catalog); });
    }

    // Every transaction takes the file's write lock at once: one that only read first could
    // find another writer ahead of it when it writes, and fail instead of waiting.
    bool beginTransaction() override { return beginExclusiveTransaction(VqbString(), nullptr); }

    bool beginExclusiveTransaction(const VqbString& /*resource*/, bool* busy) override {
        if (busy) *busy = false;
        if (core_->inTransaction) {
            error_ = VqbString("a transaction is already open on this connection");
            return false;
        }
        int rc = sqlite3_exec(core_->db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            error_ = core_->dbError("beginning a transaction failed");
            if (busy) *busy = rc == SQLITE_BUSY;
            return false;
        }
        core_->inTransaction = true;
        core_->transactionLost = false;
        return true;
    }

    bool endTransaction(bool commit) override {
        if (!core_->inTransaction) {
            error_ = VqbString("no transaction is open on this connection");
            return false;
        }
        core_->inTransaction = false;
        if (core_->transactionLost || sqlite3_get_autocommit(core_->db)) {
            core_->transactionLost = false;
            if (!commit) return true;
            error_ =
                VqbString("the database rolled the transaction back after an earlier failure; nothing was committed");
            return false;
        }
        if (sqlite3_exec(core_->db, commit ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        error_ = core_->dbError(commit ? "commit failed" : "rollback failed");
        // Never leave the transaction open behind a failed end.
        if (!sqlite3_get_autocommit(core_->db)) sqlite3_exec(core_->db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    bool isInTransaction() override { return core_->inTransaction; }
    bool isTransactionLost() override {
        return core_->inTransaction && (core_->transactionLost || sqlite3_get_autocommit(core_->db));
    }

    DacTable* openTableImpl(const VqbString& table, const VqbString& schema, const VqbString& catalog) {
        error_ = VqbString("");
        const DacDialect* dialect = dacDialect(DAC_DIALECT_SQLITE);
        if (table.isEmpty() && schema.isEmpty() && catalog.isEmpty()) return new DacTable(dialect, false);
        std::string found;
        if (!findTable(table, schema, found)) return nullptr;
        StmtRef stmt =
            prepareOne(VqbString("SELECT name, type, \"notnull\", pk FROM pragma_table_info(?, ?) ORDER BY cid"));
        if (!stmt) return nullptr;
        sqlite3_bind_text(stmt->stmt, 1, found.c_str(), -1, SQLITE_TRANSIENT);
        std::string db = databaseName(schema);
        sqlite3_bind_text(stmt->stmt, 2, db.c_str(), -1, SQLITE_TRANSIENT);
        auto t = std::unique_ptr<DacTable, void (*)(DacTable*)>(new DacTable(dialect, true),
                                                                 [](DacTable* p) { p->release(); });
        t->setName(VqbString(found));
        t->setSchema(schema.isNull() ? VqbString("") : schema);
        int rc;
        while ((rc = sqlite3_step(stmt->stmt)) == SQLITE_ROW) {
            DacColumn c;
            c.name = columnValue(stmt->stmt, 0).asString();
            c.typeText = columnValue(stmt->stmt, 1).asString();
            dacTypeFromDeclared(c.typeText.str(), c.typeCode, c.size);
            c.notNull = sqlite3_column_int(stmt->stmt, 2) != 0;
            c.primaryKey = sqlite3_column_int(stmt->stmt, 3) != 0;
            t->addCatalogueColumn(c);
        }
        if (rc != SQLITE_DONE) {
            error_ = core_->dbError("reading the columns failed");
            return nullptr;
        }
        return t.release();
    }

    DacBulkLoader* openBulkLoaderImpl(const VqbString& selectText, int batchSize) {
        return dacOpenBulkLoader(this, selectText, batchSize, dacDialect(DAC_DIALECT_SQLITE), error_);
    }

    DacCursor* openIndexStatisticsImpl(int unique, int /*accuracy*/, const VqbString& table, const VqbString& schema,
                                   const VqbString& /*catalog*/) {
        error_ = VqbString("");
        std::vector<std::string> names(dacIndexStatisticsNames, dacIndexStatisticsNames + 13);
        std::vector<std::vector<VqbDatavar>> rows;
        std::string found;
        if (!findTable(table, schema, found)) {
            if (!error_.isEmpty()) return nullptr;
            return new DacMemoryCursor(names, rows);
        }
        std::string db = databaseName(schema);
        StmtRef list = prepareOne(VqbString("SELECT name, \"unique\" FROM pragma_index_list(?, ?)"));
        StmtRef info = prepareOne(VqbString("SELECT seqno, name FROM pragma_index_info(?, ?) ORDER BY seqno"));
        if (!list || !info) return nullptr;
        sqlite3_bind_text(list->stmt, 1, found.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(list->stmt, 2, db.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(list->stmt) == SQLITE_ROW) {
            VqbString index = columnValue(list->stmt, 0).asString();
            int nonUnique = sqlite3_column_int(list->stmt, 1) ? 0 : 1;
            if (unique == 0 && nonUnique) continue;
            sqlite3_reset(info->stmt);
            sqlite3_bind_text(info->stmt, 1, index.asCstr(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(info->stmt, 2, db.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(info->stmt) == SQLITE_ROW) {
                std::vector<VqbDatavar> row(13);
                if (!schema.isEmpty()) row[DAC_STAT_TABLE_SCHEM] = VqbDatavar(schema);
                row[DAC_STAT_TABLE_NAME] = VqbDatavar(found);
                row[DAC_STAT_NON_UNIQUE] = VqbDatavar(nonUnique);
                row[DAC_STAT_INDEX_NAME] = VqbDatavar(index);
                row[DAC_STAT_TYPE] = VqbDatavar(3);  // an index of another kind than clustered or hashed
                row[DAC_STAT_ORDINAL] = VqbDatavar(sqlite3_column_int(info->stmt, 0) + 1);
                row[DAC_STAT_COLUMN_NAME] = columnValue(info->stmt, 1);
                row[DAC_STAT_ASC_OR_DESC] = VqbDatavar("A");
                rows.push_back(std::move(row));
            }
        }
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            int na = static_cast<int>(a[DAC_STAT_NON_UNIQUE].asInt64()),
                nb = static_cast<int>(b[DAC_STAT_NON_UNIQUE].asInt64());
            if (na != nb) return na < nb;
            int c = a[DAC_STAT_INDEX_NAME].asString().compare(b[DAC_STAT_INDEX_NAME].asString());
            if (c != 0) return c < 0;
            return a[DAC_STAT_ORDINAL].asInt64() < b[DAC_STAT_ORDINAL].asInt64();
        });
        return new DacMemoryCursor(names, std::move(rows));
    }

    int getConnectionMode() override {
        return core_->options.modeOverride >= 0 ? core_->options.modeOverride : DAC_MODE_EMBEDDED;
    }
    int handOut() override { return ++handedOut_; }
    bool setCatalog(const VqbString& catalog) override {
        if (catalog.isEmpty() || catalog.equals(VqbString("main"), false)) return true;
        error_ = VqbString("the native SQLite driver cannot change the current catalog");
        return false;
    }
    bool isBroken() override { return false; }

private:
    std::string databaseName(const VqbString& schema) const { return schema.isEmpty() ? "main" : schema.str(); }

    StmtRef prepareOne(const VqbString& sql) {
        error_ = VqbString();
        std::string text = core_->rewrite(sql);
        auto stmt = std::make_shared<Stmt>();
        stmt->core = core_;
        const char* tail = nullptr;
        sqliteNotePrepare(text.c_str(), text.size());
        if (sqlite3_prepare_v2(core_->db, text.c_str(), static_cast<int>(text.size()), &stmt->stmt, &tail) !=
            SQLITE_OK) {
            error_ = core_->dbError("preparing the statement failed");
            return nullptr;
        }
        if (!stmt->stmt) {
            error_ = VqbString("the statement text is empty");
            return nullptr;
        }
        for (; tail && *tail; ++tail) {
            if (!std::strchr(" \t\r\n;", *tail)) {
                error_ = VqbString("the statement text holds more than one statement");
                return nullptr;
            }
        }
        return stmt;
    }

    // The table's stored name: the exact name first, then one that differs in case only (as
    // SQLite itself resolves names), except when the connection stands in for a DBMS that
    // keeps names apart by case.
    bool findTable(const VqbString& table, const VqbString& schema, std::string& found) {
        std::string master = vqbQuoteIdentifier(databaseName(schema), "\"") + ".sqlite_master";
        static const char* const collations[] = {"", " COLLATE NOCASE"};
        for (const char* collation : collations) {
            if (*collation && core_->emulates(12)) break;
            std::string sql = "SELECT name FROM " + master + " WHERE type IN ('table','view') AND name = ?" +
                              collation + " ORDER BY name LIMIT 1";
            StmtRef stmt = prepareOne(VqbString(sql));
            if (!stmt) return false;
            sqlite3_bind_text(stmt->stmt, 1, table.asCstr(), static_cast<int>(table.cStrSize()), SQLITE_TRANSIENT);
            int rc = sqlite3_step(stmt->stmt);
            if (rc == SQLITE_ROW) {
                found = columnValue(stmt->stmt, 0).asString().str();
                return true;
            }
            if (rc != SQLITE_DONE) {
                error_ = core_->dbError("looking the table up failed");
                return false;
            }
        }
        error_ = VqbString("");
        return false;
    }

    CoreRef core_;
    int handedOut_ = 0;
    VqbString error_;
};

// The file system's reason where SQLite can only say that it cannot open the file.
VqbString openFailure(const Core& core, const std::string& file, bool create) {
    std::string why = core.db && (sqlite3_errcode(core.db) & 0xFF) == SQLITE_CANTOPEN
                          ? sqliteCannotOpenReason(file, create)
                          : std::string();
    if (why.empty()) return core.dbError(("opening " + file + " failed").c_str());
    return core.secrets.scrub(VqbString("opening " + file + " failed: " + why));
}

}  // namespace

DacConnection* dacSqliteConnect(const DacConnText& text, const DacOptions& options, const DacSecrets& secrets,
                                VqbString& error) {
    static const char* const known[] = {"VQXTYPE", "FILE", "CREATE", "VQXKIND", "VQXMODE"};
    DacConnText rest = text;
    for (const char* k : known) rest.remove(k);
    if (!rest.toString().empty()) {
        error = secrets.scrub(VqbString("the native SQLite driver does not know these keys: " + rest.toString()));
        return nullptr;
    }
    std::string file = text.get("FILE");
    if (file.empty()) {
        error = VqbString("the connection text names no FILE");
        return nullptr;
    }
    bool create = false;
    if (text.has("CREATE")) {
        bool bad = false;
        create = VqbString(text.get("CREATE")).asBool(&bad);
        if (bad) {
            error = VqbString("the value of CREATE is not TRUE or FALSE");
            return nullptr;
        }
    }
    auto core = std::make_shared<Core>();
    core->file = file;
    core->secrets = secrets;
    core->options = options;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &core->db, flags, nullptr) != SQLITE_OK) {
        error = openFailure(*core, file, create);
        return nullptr;
    }
    sqlite3_extended_result_codes(core->db, 0);
    sqlite3_busy_timeout(core->db, sqliteBusyTimeout());
    // Reading the schema also tells a file that is not a database.
    static const char* const setup[] = {"PRAGMA journal_mode=DELETE", "PRAGMA synchronous=FULL",
                                        "SELECT count(*) FROM sqlite_master"};
    for (const char* sql : setup) {
        if (sqlite3_exec(core->db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            error = openFailure(*core, file, create);
            return nullptr;
        }
    }
    return new Connection(core);
}
