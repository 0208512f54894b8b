#include "rda_sqlite.h"

#include <new>
#include <utility>

#include "reposlog.h"
#include "vqbmessage.h"

namespace {

const char* const kSource = "rda_sqlite";
constexpr int kLevelNotice = 2;
constexpr int kMaxTextLen = RDA_BigString::kSqliteFileTextLen;

}  // namespace

// ---- connection

bool RDA_Sqlite::databaseFailure(int line) {
    VqbString text;
    if (db_) db_->getErrorMessage(text);
    return failWithStatus(line, text, db_ ? db_->getErrorCode() : 0);
}

bool RDA_Sqlite::failWithStatus(int line, const VqbString& text, int status) {
    lastStatus_ = status;
    return fail(kSource, line, text);
}

bool RDA_Sqlite::init_INT(const VqbString& file, const VqbString& /*prefix*/, bool create) {
    reposLog(logger_, kLevelNotice, kSource, __LINE__, "RDA_Sqlite::init_INT [%s] file [%s]", tag().asCstr(),
             file.asCstr());
    lastError_.setNull();
    if (create) {
        reposLog(logger_, kLevelNotice, kSource, __LINE__, "RDA_Sqlite::init_create [%s] file [%s]", tag().asCstr(),
                 file.asCstr());
        db_ = createSqliteDatabase(file.asCstr(), 0);
    } else {
        reposLog(logger_, kLevelNotice, kSource, __LINE__, "RDA_Sqlite::init_open [%s] file [%s]", tag().asCstr(),
                 file.asCstr());
        db_ = openSqliteDatabase(file.asCstr(), 0);
    }
    maxTextLen_ = kMaxTextLen;
    sqlDialect_ = RDA_SqlDialect::Sqlite;
    if (!db_) {
        fail(kSource, __LINE__,
             reposMessage(create ? 1284 : 1285, getSqliteErrorMessage().asCstr(), file.asCstr()));
        return false;
    }
    loadConnectorTextLen();
    return true;
}

SqliteStatement* RDA_Sqlite::takeStatement(const VqbString& sql) {
    if (SqliteStatement* idle = idle_.take(sql)) return idle;
    SqliteStatement* statement = db_->prepare(sql);
    if (!statement) databaseFailure(__LINE__);
    return statement;
}

void RDA_Sqlite::giveBack(const VqbString& sql, SqliteStatement* statement) {
    if (statement) statement->clear();
    idle_.give(sql, statement);
}

void RDA_Sqlite::dropIdleStatements() { idle_.drop(); }

void RDA_Sqlite::close_INT() {
    dropIdleStatements();
    if (db_) db_->close();
    db_ = nullptr;
}

VqbString RDA_Sqlite::getTableName_INT(const char* table, bool qualified, int suffix) {
    VqbString name(table ? table : "");
    if (suffix != -1) name.append(VqbString::format("%d", suffix));
    return qualified ? quoteIdentifier(name.asCstr()) : name;
}

VqbString RDA_Sqlite::getIndexName_INT(int number, const VqbString& table) {
    return VqbString::format("idx%s%d", table.asCstr(), number);
}

bool RDA_Sqlite::beginTransaction_INT(bool exclusive, bool* busy) {
    lastError_.setNull();
    if (busy) *busy = false;
    if (!enterLevel()) return true;
    const char* sql = exclusive ? "BEGIN IMMEDIATE TRANSACTION" : "BEGIN TRANSACTION";
    RDA_TRACE("RDA_Sqlite::beginTransaction_INT [%s] sql [%s]", tag().asCstr(), sql);
    int status = 0;
    bool begun = false;
    try {
        begun = db_ && db_->execute(sql, &status);
    } catch (...) {
        undoLevel();  // a BEGIN that never ran opened no level
        throw;
    }
    if (begun) return true;
    undoLevel();
    if (busy && status == SQLITE_STATUS_BUSY) *busy = true;
    return db_ ? databaseFailure(__LINE__) : fail(kSource, __LINE__, reposMessage(1161));
}

bool RDA_Sqlite::endTransaction_INT(bool commit) {
    switch (leaveLevel(kSource, __LINE__)) {
        case LevelEnd::NoOpenLevel:
            return false;
        case LevelEnd::Inner:
            return true;
        case LevelEnd::Outermost:
            break;
    }
    if (!db_) return fail(kSource, __LINE__, reposMessage(1161));
    // SQLite may already have rolled the transaction back itself after an error.
    if (!commit && !db_->inTransaction()) return true;
    const char* sql = commit ? "COMMIT TRANSACTION" : "ROLLBACK TRANSACTION";
    RDA_TRACE("RDA_Sqlite::endTransaction_INT [%s] sql [%s]", tag().asCstr(), sql);
    if (db_->execute(sql, nullptr)) return true;
    VqbString databaseError;
    db_->getErrorMessage(databaseError);
    // A refused COMMIT keeps SQLite's transaction open; closing it keeps the connection in step
    // with its depth of 0, so later work is not swallowed by a transaction nobody ends.
    if (db_->inTransaction()) db_->execute("ROLLBACK TRANSACTION", nullptr);
    return endFailed(kSource, __LINE__, databaseError);
}

bool RDA_Sqlite::setParameter_INT(SqliteStatement* statement, const VqbDatavar* value, int index,
                                  const VqbString& sql) {
    RDA_TRACE("RDA_Sqlite::setParameter_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    if (!statement) {
        logError(kSource, __LINE__, reposMessage(1161));
        return false;
    }
    bool ok;
    if (!value || value->isNull()) {
        ok = statement->bindNull(index);
    } else {
        switch (value->getType()) {
            case VQB_TYPE_INT:
            case VQB_TYPE_BOOL:
                ok = statement->bindInt(index, value->asInt64());
                break;
            case VQB_TYPE_REAL:
            case VQB_TYPE_DATE:  // dates are stored as reals
                ok = statement->bindDouble(index, value->asDouble());
                break;
            case VQB_TYPE_STRING:
                ok = statement->bindText(index, value->asString());
                break;
            default:
                return fail(kSource, __LINE__, reposMessage(1313));
        }
    }
    if (ok) return true;
    VqbString text;
    statement->getErrorMessage(text);
    return failWithStatus(__LINE__, text, statement->getErrorCode());
}

SqliteCursor* RDA_Sqlite::openCursor(const VqbString& sql, const RDA_Params& params, SqliteStatement** prepared) {
    *prepared = nullptr;
    if (!db_) {
        fail(kSource, __LINE__, reposMessage(1161));
        return nullptr;
    }
    if (params.count == 0) {
        SqliteCursor* cursor = db_->query(sql);
        if (!cursor) databaseFailure(__LINE__);
        return cursor;
    }
    ReposHeld<SqliteStatement> statement(takeStatement(sql));
    if (!statement) return nullptr;
    for (int i = 0; i < params.count; ++i) {
        if (!setParameter_INT(statement.get(), params.at(i), i, sql)) {
            giveBack(sql, statement.release());
            return nullptr;
        }
    }
    SqliteCursor* cursor = statement->select();
    if (!cursor) {
        VqbString text;
        statement->getErrorMessage(text);
        giveBack(sql, statement.release());
        fail(kSource, __LINE__, text);
        return nullptr;
    }
    *prepared = statement.release();
    return cursor;
}

ReposDataAccessCursor* RDA_Sqlite::paramSelect_INT(const VqbString& sql, const RDA_Params& params) {
    RDA_TRACE("RDA_Sqlite::paramSelect_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    lastError_.setNull();
    lastStatus_ = 0;
    SqliteStatement* prepared = nullptr;
    ReposHeld<SqliteCursor> cursor(openCursor(sql, params, &prepared));
    ReposHeld<SqliteStatement> statement(prepared);
    if (!cursor) return nullptr;
    RDA_SqliteCursor* result = new (std::nothrow) RDA_SqliteCursor(this, sql, prepared, cursor.get(), true);
    if (!result) {
        cursor.reset();
        giveBack(sql, statement.release());
        fail(kSource, __LINE__, reposMessage(530));
        return nullptr;
    }
    // The handles are the result's now.
    cursor.release();
    statement.release();
    return result;
}

ReposDataAccessCursor* RDA_Sqlite::paramSelectWTypes_INT(const VqbString& sql, const VqbString& /*types*/,
                                                         const RDA_Params& params) {
    return paramSelect_INT(sql, params);
}

bool RDA_Sqlite::paramExec_INT(const VqbString& sql, int* rowsAffected, const RDA_Params& params) {
    RDA_TRACE("RDA_Sqlite::paramExec_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    lastError_.setNull();
    lastStatus_ = 0;
    if (!db_) return fail(kSource, __LINE__, reposMessage(1161));
    if (params.count == 0) {
        int result = 0;
        if (!db_->execute(sql, &result)) return databaseFailure(__LINE__);
        if (rowsAffected) *rowsAffected = result;
        return true;
    }
    ReposHeld<SqliteStatement> statement(takeStatement(sql));
    if (!statement) return false;
    for (int i = 0; i < params.count; ++i) {
        if (!setParameter_INT(statement.get(), params.at(i), i, sql)) {
            giveBack(sql, statement.release());
            return false;
        }
    }
    int rows = 0;
    bool ok = statement->execute(&rows);
    if (ok) {
        if (rowsAffected) *rowsAffected = rows;
    } else {
        VqbString text;
        statement->getErrorMessage(text);
        failWithStatus(__LINE__, text, statement->getErrorCode());
    }
    giveBack(sql, statement.release());
    return ok;
}

bool RDA_Sqlite::paramExecWTypes_INT(const VqbString& sql, int* rowsAffected, const VqbString& /*types*/,
                                     const RDA_Params& params) {
    return paramExec_INT(sql, rowsAffected, params);
}

bool RDA_Sqlite::paramSingleton_INT(const VqbString& sql, int64_t* out, const RDA_Params& params) {
    RDA_TRACE("RDA_Sqlite::paramSingleton_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    lastError_.setNull();
    lastStatus_ = 0;
    SqliteStatement* prepared = nullptr;
    ReposHeld<SqliteCursor> cursor(openCursor(sql, params, &prepared));
    ReposHeld<SqliteStatement> statement(prepared);
    if (!cursor) return false;
    bool ok = false;
    switch (cursor->next()) {
        case 1:
            if (out) *out = cursor->getInt64(0);
            ok = true;
            break;
        case 0:
            fail(kSource, __LINE__, reposMessage(1053));
            break;
        default: {
            VqbString text;
            cursor->getErrorMessage(text);
            failWithStatus(__LINE__, text, cursor->getErrorCode());
        }
    }
    cursor.reset();
    giveBack(sql, statement.release());
    return ok;
}

bool RDA_Sqlite::paramSingletonWTypes_INT(const VqbString& sql, int* out, const VqbString& /*types*/,
                                          const RDA_Params& params) {
    int64_t value = 0;
    if (!paramSingleton_INT(sql, &value, params)) return false;
    if (out) *out = static_cast<int>(static_cast<uint32_t>(value));
    return true;
}

ReposDataAccessStatement* RDA_Sqlite::createStatement_INT(const VqbString& sql) {
    lastError_.setNull();
    if (!db_) {
        fail(kSource, __LINE__, reposMessage(1161));
        return nullptr;
    }
    ReposHeld<SqliteStatement> statement(takeStatement(sql));
    if (!statement) return nullptr;
    RDA_SqliteStatement* result = new (std::nothrow) RDA_SqliteStatement(this, sql, statement.get());
    if (!result) {
        giveBack(sql, statement.release());
        fail(kSource, __LINE__, reposMessage(530));
        return nullptr;
    }
    statement.release();  // the result's now
    return result;
}

// ---- big strings

void RDA_Sqlite::loadConnectorTextLen() {
    // The file may be written through the connector too, which keeps texts past this length apart.
    connectorTextLen_ = RDA_BigString::kConnectorTextLen;
    const VqbString sql = VqbString::format("SELECT V_VALUE FROM %s WHERE V_KEY = 'MAX_TEXT_LEN'",
                                            getTableName_INT("KEYVAL", true, -1).asCstr());
    ReposHeld<SqliteCursor> rows(db_->query(sql));
    if (rows && rows->next() == 1) {
        const int64_t length = rows->getInt64(0);
        if (length > 0 && length <= 0x7fffffff) connectorTextLen_ = static_cast<int>(length);
    }
}

void RDA_Sqlite::bigStringProbes_INT(const VqbString& text, std::vector<RDA_BigString::Chunk>& probes) {
    RDA_BaseImpl::bigStringProbes_INT(text, probes);
    probes.push_back(RDA_BigString::lastChunk(text, static_cast<size_t>(connectorTextLen_ - 1)));
}

bool RDA_Sqlite::putBigString_INT(const VqbString& value, VqbString* out, VqbString* error) {
    const int limit = maxTextLen_;
    if (out) *out = value;
    // A short text with a reference's shape is stored too, or it would read back as another.
    if (limit < 1 || (value.cStrSize() <= static_cast<size_t>(limit) && !RDA_BigString::parse(value, nullptr)))
        return true;
    auto failed = [&]() {
        if (error) *error = lastError_;
        return false;
    };
    // The id comes first, outside the chunks' transaction, so a busy database delays it rather
    // than failing it; an id left unused is only a gap.
    VqbDatavar id;
    if (!reserveIdBlock("BIGSTR", -1, &id, error)) return false;
    // The chunks go in together or not at all when no caller's transaction is open.
    if (!beginTransaction_INT(false, nullptr)) return failed();
    VqbString table = getTableName_INT("BIGSTR", true, -1);
    VqbString sql = VqbString::format("INSERT INTO %s (BS_REFID, BS_SEQ, BS_DATA) VALUES (?,?,?)", table.asCstr());
    ReposHeld<SqliteStatement> statement(db_->prepare(sql));
    bool ok = statement != nullptr;
    if (!ok) databaseFailure(__LINE__);
    int64_t sequence = 0;
    for (const std::string& chunk : bigStringChunks_INT(value)) {
        if (!ok) break;
        ok = statement->bindInt(0, id.asInt64()) && statement->bindInt(1, sequence) &&
             statement->bindText(2, VqbString(chunk)) && statement->execute(nullptr);
        if (!ok) {
            VqbString text;
            statement->getErrorMessage(text);
            fail(kSource, __LINE__, text);
        }
        ++sequence;
    }
    statement.reset();
    if (!ok) {
        VqbString keep = lastError_;
        endTransaction_INT(false);
        lastError_ = keep;
        return failed();
    }
    if (!endTransaction_INT(true)) return failed();
    if (out) *out = RDA_BigString::format(static_cast<uint32_t>(id.asInt64()));
    return true;
}

bool RDA_Sqlite::getBigString_INT(const VqbString& value, VqbString* out, VqbString* error) {
    if (out) *out = value;
    if (maxTextLen_ < 1) {
        lastError_ = reposMessage(740);
        if (error) *error = lastError_;
        return false;
    }
    uint32_t id = 0;
    if (!RDA_BigString::parse(value, &id)) {
        // Callers hand in arbitrary texts; only the last error tells.
        lastError_ = reposMessage(57, value.left(64).asCstr());
        if (error) *error = lastError_;
        return false;
    }
    VqbString table = getTableName_INT("BIGSTR", true, -1);
    VqbString sql = VqbString::format("SELECT BS_DATA FROM %s WHERE BS_REFID = %u ORDER BY BS_SEQ", table.asCstr(), id);
    RDA_TRACE("RDA_Sqlite::getBigString_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    ReposHeld<SqliteCursor> cursor(db_ ? db_->query(sql) : nullptr);
    if (!cursor) {
        if (db_)
            databaseFailure(__LINE__);
        else
            fail(kSource, __LINE__, reposMessage(1161));
        if (error) *error = lastError_;
        return false;
    }
    std::string joined;
    int state;
    while ((state = cursor->next()) == 1) joined.append(cursor->getText(0).str());
    if (state == 2) {
        VqbString text;
        cursor->getErrorMessage(text);
        fail(kSource, __LINE__, text);
    }
    cursor.reset();
    if (out) *out = VqbString(std::move(joined));
    return true;
}

// ---- statements

RDA_SqliteStatement::RDA_SqliteStatement(RDA_Sqlite* owner, const VqbString& sql, SqliteStatement* statement)
    : RDA_BaseStatementImpl(owner, sql), sqlite_(owner), statement_(statement) {
    if (logger_->getLevel() <= kLevelNotice)
        reposLog(logger_, kLevelNotice, kSource, __LINE__, "RDA_SqliteStatement [%s] sql [%s]", tag().asCstr(),
                 sql_.asCstr());
}

bool RDA_SqliteStatement::usable(int line) {
    if (statement_ && !handedOver_) return true;
    sqlite_->fail(kSource, line, reposMessage(1161));
    return false;
}

bool RDA_SqliteStatement::setParameterInfo_INT(int, int, int) {
    RDA_TRACE("RDA_SqliteStatement::setParameterInfo_INT [%s]", tag().asCstr());
    return true;
}

bool RDA_SqliteStatement::setParameter_INT(int index, const VqbDatavar& value) {
    if (!usable(__LINE__)) return false;
    return sqlite_->setParameter_INT(statement_, &value, index, sql_);
}

bool RDA_SqliteStatement::setParameterBulk_INT(int, int, const VqbDatavar&) {
    RDA_TRACE("RDA_SqliteStatement::setParameterBulk_INT [%s]", tag().asCstr());
    return false;
}

bool RDA_SqliteStatement::execute_INT() {
    RDA_TRACE("RDA_SqliteStatement::execute_INT [%s]", tag().asCstr());
    if (!usable(__LINE__)) return false;
    if (statement_->execute(nullptr)) return true;
    VqbString text;
    statement_->getErrorMessage(text);
    return sqlite_->fail(kSource, __LINE__, text);
}

ReposDataAccessCursor* RDA_SqliteStatement::select_INT() {
    RDA_TRACE("RDA_SqliteStatement::select_INT [%s]", tag().asCstr());
    if (!usable(__LINE__)) return nullptr;
    ReposHeld<SqliteCursor> cursor(statement_->select());
    if (!cursor) {
        VqbString text;
        statement_->getErrorMessage(text);
        sqlite_->fail(kSource, __LINE__, text);
        return nullptr;
    }
    RDA_SqliteCursor* result = new (std::nothrow) RDA_SqliteCursor(sqlite_, sql_, statement_, cursor.get(), true);
    if (!result) {
        sqlite_->fail(kSource, __LINE__, reposMessage(530));
        return nullptr;
    }
    cursor.release();  // the result's now
    handedOver_ = true;
    return result;
}

VqbString RDA_SqliteStatement::getErrorMessage_INT() { return sqlite_->getGeneralErrorMessage(); }

void RDA_SqliteStatement::release_INT() {
    RDA_TRACE("RDA_SqliteStatement::release_INT [%s]", tag().asCstr());
    SqliteStatement* statement = std::exchange(statement_, nullptr);
    if (!handedOver_) sqlite_->giveBack(sql_, statement);
}

// ---- cursors

RDA_SqliteCursor::RDA_SqliteCursor(RDA_Sqlite* owner, const VqbString& sql, SqliteStatement* prepared,
                                   SqliteCursor* cursor, bool recycle)
    : RDA_BaseCursorImpl(owner, sql, "RDA_SqliteCursor"),
      sqlite_(owner),
      prepared_(prepared),
      cursor_(cursor),
      recycle_(recycle) {
    if (logger_->getLevel() <= kLevelNotice)
        reposLog(logger_, kLevelNotice, kSource, __LINE__, "RDA_SqliteCursor [%s] sql [%s]", tag().asCstr(),
                 sql_.asCstr());
}

void RDA_SqliteCursor::dropHandles() {
    // The members are cleared first: a give-back that throws must not leave them to end twice.
    ReposHeld<SqliteCursor> cursor(std::exchange(cursor_, nullptr));
    SqliteStatement* prepared = std::exchange(prepared_, nullptr);
    cursor.reset();
    if (recycle_)
        sqlite_->giveBack(sql_, prepared);
    else if (prepared)
        prepared->release();
}

void RDA_SqliteCursor::release_INT() {
    RDA_TRACE("RDA_SqliteCursor::release [%s]", tag().asCstr());
    dropHandles();
}

int RDA_SqliteCursor::liveNext() {
    if (!cursor_) return 2;
    switch (cursor_->next()) {
        case 1:
            return 1;
        case 0:
            dropHandles();
            return 0;
        default: {
            VqbString text;
            cursor_->getErrorMessage(text);
            sqlite_->failWithStatus(__LINE__, text, cursor_->getErrorCode());
            return 2;
        }
    }
}

int RDA_SqliteCursor::liveNumCols() { return cursor_ ? cursor_->getColumnCount() : 0; }

VqbString RDA_SqliteCursor::liveColName(int i) { return cursor_ ? cursor_->getColumnName(i) : VqbString(""); }

VqbString RDA_SqliteCursor::getString_INT(int i) {
    RDA_TRACE("RDA_SqliteCursor::getString_INT [%s]", tag().asCstr());
    if (cached_) return cache_.getString(i);
    if (!cursor_) return VqbString("");
    VqbString text = cursor_->getText(i);
    return text.isNull() ? VqbString("") : text;
}

VqbDatavar RDA_SqliteCursor::liveValue(int i, bool* reference) {
    if (!cursor_) return VqbDatavar();
    switch (cursor_->getColumnType(i)) {
        case SQLITE_COLUMN_INTEGER:
            return VqbDatavar(static_cast<long long>(cursor_->getInt64(i)));
        case SQLITE_COLUMN_REAL:
            return VqbDatavar(cursor_->getDouble(i));
        case SQLITE_COLUMN_NULL:
            return VqbDatavar();
        default: {
            size_t bytes = 0;
            const char* text = cursor_->getTextBytes(i, &bytes);
            if (!text) return VqbDatavar(static_cast<const char*>(nullptr));
            *reference = RDA_BigString::hasPrefix(text, bytes);
            return VqbDatavar(text, bytes);
        }
    }
}
