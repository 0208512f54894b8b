// The SQL path of the connector back end: binding values, the parameterised operations (or their
// text in script mode), statements, cursors and big strings.
#include <strings.h>

#include <cctype>
#include <new>
#include <string>
#include <utility>

#include "np_uchar.h"
#include "rda_dac.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

const char* const kSource = "rda_dac";
constexpr int kLevelNotice = 2;
// Edge blanks of a kind-9 chunk stand between these, so the DBMS cannot trim them.
const char* const kChunkMarker = "_@_";
constexpr size_t kChunkMarkerLength = 3;

struct TypeLetter {
    char letter;
    int type;
};

const TypeLetter kTypeLetters[] = {
    {'I', VQB_TYPE_INT}, {'D', VQB_TYPE_DATE}, {'S', VQB_TYPE_STRING}, {'R', VQB_TYPE_REAL}, {'B', VQB_TYPE_BOOL},
};

// The type a letter gives a null value at that position, or 0.
int letterType(const VqbString& types, int index) {
    if (index < 0 || static_cast<size_t>(index) >= types.cStrSize()) return 0;
    char c = types.str()[static_cast<size_t>(index)];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const TypeLetter& t : kTypeLetters)
        if (t.letter == c) return t.type;
    return 0;
}

// Bytes of whole UTF-8 characters that fit in limit bytes (at least one character), so a chunk
// never outgrows a column sized in bytes.
size_t fitBytes(const char* text, size_t bytes, size_t limit, size_t* lastStart) {
    size_t taken = 0;
    size_t last = 0;
    while (taken < bytes) {
        size_t step = np_uchar_seek(text + taken);
        if (step == 0) step = 1;
        if (taken + step > bytes) step = bytes - taken;
        if (taken > 0 && taken + step > limit) break;
        last = taken;
        taken += step;
    }
    if (lastStart) *lastStart = last;
    return taken;
}

// Whether a statement's text is a query (SELECT first, past blanks and opening brackets).
bool isQuery(const VqbString& sql) {
    const char* p = sql.asCstr();
    while (std::isspace(static_cast<unsigned char>(*p)) || *p == '(') ++p;
    return strncasecmp(p, "select", 6) == 0 && !std::isalnum(static_cast<unsigned char>(p[6])) && p[6] != '_';
}

// The next BIGSTR chunk of rest into chunk, at most limit bytes with its markers; the bytes of
// rest it holds. With marked chunks, edge blanks stand between markers.
size_t nextChunk(const char* rest, size_t left, size_t limit, bool marked, std::string& chunk) {
    chunk.clear();
    size_t room = limit;
    if (marked && np_uchar_isspace(rest)) {
        chunk = kChunkMarker;
        room = room > kChunkMarkerLength ? room - kChunkMarkerLength : 0;
    }
    size_t lastStart = 0;
    size_t bytes = fitBytes(rest, left, room > 0 ? room - 1 : 0, &lastStart);
    if (marked && np_uchar_isspace(rest + lastStart)) {
        size_t tighter = room > kChunkMarkerLength + 1 ? room - kChunkMarkerLength - 1 : 0;
        bytes = fitBytes(rest, left, tighter, nullptr);
        chunk.append(rest, bytes);
        chunk.append(kChunkMarker);
    } else {
        chunk.append(rest, bytes);
    }
    return bytes;
}

void removeMarkers(std::string& text) {
    size_t pos;
    while ((pos = text.find(kChunkMarker)) != std::string::npos) text.erase(pos, kChunkMarkerLength);
}

}  // namespace

// ---- binding

bool RDA_DAC::setParameter_INT(DacStatement* statement, const VqbDatavar* value, int index, bool storeBig, bool declare,
                               const VqbString& types, const VqbString& sql) {
    return setParameterWTypes_INT(statement, value, index, 0, storeBig, declare, types, sql);
}

bool RDA_DAC::setParameterWTypes_INT(DacStatement* statement, const VqbDatavar* value, int index, int row,
                                     bool storeBig, bool declare, const VqbString& types, const VqbString& sql) {
    RDA_TRACE("RDA_DAC::setParameter_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    if (!statement) return fail(kSource, __LINE__, reposMessage(1161));
    VqbDatavar bound = value ? *value : VqbDatavar();
    int type = bound.getType();
    int length = 0;
    if (bound.isNull()) {
        type = letterType(types, index);
        if (type == 0) type = bound.declaredType() != VQB_TYPE_NULL ? bound.declaredType() : VQB_TYPE_STRING;
        length = 1;
    } else if (type == VQB_TYPE_DATE) {
        // Dates are stored as reals.
        bound = VqbDatavar(bound.asDouble());
        type = VQB_TYPE_REAL;
    } else if (type == VQB_TYPE_STRING) {
        VqbString text = bound.asString();
        length = static_cast<int>(text.cStrSize());
        if (storeBig && maxTextLen_ > 0 && length > maxTextLen_) {
            VqbString reference;
            if (!storeLongText(text, &reference)) return false;
            bound = VqbDatavar(reference);
            length = static_cast<int>(reference.cStrSize());
        }
        if (length == 0) length = 1;
    }
    if (declare && !statement->declareParameter(index, type, length, 0))
        return fail(kSource, __LINE__, reposMessage(687, index, statement->getErrorText().asCstr()));
    if (!statement->setValue(row, index, bound))
        return fail(kSource, __LINE__, reposMessage(687, index, statement->getErrorText().asCstr()));
    return true;
}

bool RDA_DAC::isQueryText(const VqbString& sql) { return isQuery(sql); }

// ---- parameterised operations

DacStatement* RDA_DAC::takeStatement(const VqbString& sql) {
    if (DacStatement* idle = idle_.take(sql)) return idle;
    DacStatement* statement = connection_->prepare(sql);
    if (!statement) failConnector(__LINE__, connection_->getErrorText());
    return statement;
}

void RDA_DAC::giveBack(const VqbString& sql, DacStatement* statement, bool undeclare) {
    // Only the connector's own check ends this: it refuses the first index past the last.
    if (statement && undeclare)
        for (int i = 0; statement->declareParameter(i, 0, 0, 0); ++i) {
        }
    idle_.give(sql, statement);
}

bool RDA_DAC::execWithTypes(const char* name, const VqbString& sql, int* rowsAffected, const VqbString& types,
                            const RDA_Params& params) {
    lastError_.setNull();
    RDA_TRACE("RDA_DAC::%s [%s] sql [%s]", name, tag().asCstr(), sql.asCstr());
    if (scriptMode()) {
        VqbString text;
        if (!buildScriptStatement(sql, params, text)) return false;
        ddlCallback_->writeDDL(text);
        return true;
    }
    if (!connection_) return fail(kSource, __LINE__, reposMessage(1161));
    // Every value is declared again below, so a kept statement needs no undeclaring.
    ReposHeld<DacStatement> statement(takeStatement(sql));
    if (!statement) return false;
    bool ok = true;
    for (int i = 0; ok && i < params.count; ++i)
        ok = setParameter_INT(statement.get(), params.at(i), i, !params.isCompared(i), true, types, sql);
    if (ok) {
        ok = statement->execute(rowsAffected);
        if (!ok) failConnector(__LINE__, statement->getErrorText());
    }
    giveBack(sql, statement.release(), false);
    return ok;
}

bool RDA_DAC::paramExec_INT(const VqbString& sql, int* rowsAffected, const RDA_Params& params) {
    return execWithTypes("paramExec_INT", sql, rowsAffected, VqbString(""), params);
}

bool RDA_DAC::paramExecWTypes_INT(const VqbString& sql, int* rowsAffected, const VqbString& types,
                                  const RDA_Params& params) {
    return execWithTypes("paramExecWTypes_INT", sql, rowsAffected, types, params);
}

ReposHeld<DacStatement> RDA_DAC::prepareBound(const VqbString& sql, const VqbString& types,
                                              const RDA_Params& params) {
    if (!connection_) {
        fail(kSource, __LINE__, reposMessage(1161));
        return nullptr;
    }
    ReposHeld<DacStatement> statement(connection_->prepare(sql));
    if (!statement) {
        failConnector(__LINE__, connection_->getErrorText());
        return nullptr;
    }
    // Values of a condition are compared as given, never replaced by big-string references.
    for (int i = 0; i < params.count; ++i)
        if (!setParameter_INT(statement.get(), params.at(i), i, false, true, types, sql)) return nullptr;
    return statement;
}

ReposDataAccessCursor* RDA_DAC::selectWithTypes(const char* name, const VqbString& sql, const VqbString& types,
                                                const RDA_Params& params) {
    lastError_.setNull();
    RDA_TRACE("RDA_DAC::%s [%s] sql [%s]", name, tag().asCstr(), sql.asCstr());
    if (scriptMode()) {
        fail(kSource, __LINE__, reposMessage(1161));
        return nullptr;
    }
    ReposHeld<DacStatement> statement = prepareBound(sql, types, params);
    if (!statement) return nullptr;
    DacCursor* cursor = statement->openCursor();
    if (!cursor) {
        failConnector(__LINE__, statement->getErrorText());
        return nullptr;
    }
    RDA_DACCursor* result = newCursor(sql, statement.get(), cursor);
    if (result) statement.release();  // the result's now
    return result;
}

RDA_DACCursor* RDA_DAC::newCursor(const VqbString& sql, DacStatement* statement, DacCursor* cursor) {
    RDA_DACCursor* result = nullptr;
    try {
        result = new (std::nothrow) RDA_DACCursor(this, sql, statement, cursor);
    } catch (...) {
        cursor->close();
        throw;
    }
    if (!result) {
        cursor->close();
        fail(kSource, __LINE__, reposMessage(530));
    }
    return result;
}

ReposDataAccessCursor* RDA_DAC::paramSelect_INT(const VqbString& sql, const RDA_Params& params) {
    return selectWithTypes("paramSelect_INT", sql, VqbString(""), params);
}

ReposDataAccessCursor* RDA_DAC::paramSelectWTypes_INT(const VqbString& sql, const VqbString& types,
                                                      const RDA_Params& params) {
    return selectWithTypes("paramSelectWTypes_INT", sql, types, params);
}

bool RDA_DAC::singleValue(const VqbString& sql, const VqbString& types, const RDA_Params& params, int64_t* out) {
    RDA_TRACE("RDA_DAC::paramSingleton_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    lastError_.setNull();
    if (scriptMode()) return false;
    ReposHeld<DacStatement> statement = prepareBound(sql, types, params);
    if (!statement) return false;
    DacCursor* cursor = statement->openCursor();
    if (!cursor) {
        failConnector(__LINE__, statement->getErrorText());
        return false;
    }
    statement.reset();
    bool ok = false;
    switch (cursor->fetch()) {
        case DAC_FETCH_ROW:
            if (out) *out = cursor->getValue(0).asInt64();
            ok = true;
            break;
        case DAC_FETCH_END:
            fail(kSource, __LINE__, reposMessage(1053));
            break;
        default:
            failConnector(__LINE__, cursor->getErrorText());
    }
    cursor->close();
    return ok;
}

bool RDA_DAC::paramSingleton_INT(const VqbString& sql, int64_t* out, const RDA_Params& params) {
    return singleValue(sql, VqbString(""), params, out);
}

bool RDA_DAC::paramSingletonWTypes_INT(const VqbString& sql, int* out, const VqbString& types,
                                       const RDA_Params& params) {
    int64_t value = 0;
    if (!singleValue(sql, types, params, &value)) return false;
    if (out) *out = static_cast<int>(static_cast<uint32_t>(value));
    return true;
}

// ---- big strings

DacConnection* RDA_DAC::bigStringConnection() {
    if (separateBigStrings_ && !bigStringConnection_ && dataSource_) {
        bigStringConnection_ = dataSource_->openConnection(dataSourceInfo_, 0, 0);
        // Without a connection of its own the main one has to do.
        if (!bigStringConnection_) bigStringConnection_ = connection_;
    }
    return bigStringConnection_ ? bigStringConnection_ : connection_;
}

bool RDA_DAC::storeLongText(const VqbString& text, VqbString* reference) {
    // A connection of its own for big strings is there because the main one may be busy with a
    // statement: the lookup that would reuse a stored text runs on the main one, so it is left out.
    if (separateBigStrings_) return putBigString_INT(text, reference, nullptr);
    return storeBigText(text, reference);
}

void RDA_DAC::bigStringProbes_INT(const VqbString& text, std::vector<RDA_BigString::Chunk>& probes) {
    RDA_BaseImpl::bigStringProbes_INT(text, probes);
    // A SQLite file opened directly keeps its big strings in chunks of its own size.
    if (sqlDialect_ == RDA_SqlDialect::Sqlite)
        probes.push_back(RDA_BigString::lastChunk(text, RDA_BigString::kSqliteFileTextLen - 1));
}

bool RDA_DAC::putBigString_INT(const VqbString& value, VqbString* out, VqbString* error) {
    if (out) *out = value;
    const int limit = maxTextLen_;
    // A short text with a reference's shape is stored too, or it would read back as another.
    if (limit < 1 || (value.cStrSize() <= static_cast<size_t>(limit) && !RDA_BigString::parse(value, nullptr)))
        return true;
    auto failed = [&]() {
        if (error) *error = lastError_;
        return false;
    };
    if (scriptMode()) return putScriptBigString(value, out, error);
    VqbDatavar id;
    if (!reserveIdBlock("BIGSTR", -1, &id, error)) return false;
    DacConnection* connection = bigStringConnection();
    if (!connection) {
        fail(kSource, __LINE__, reposMessage(1161));
        return failed();
    }
    // On the main connection the chunks go in together or not at all.
    const bool ownLevel = connection == connection_ && !scriptMode();
    if (ownLevel && !beginTransaction_INT(false, nullptr)) return failed();
    auto abandon = [&]() {
        if (ownLevel) {
            VqbString keep = lastError_;
            endTransaction_INT(false);
            lastError_ = keep;
        }
        return failed();
    };

    VqbString sql = VqbString::format("INSERT INTO %s (BS_REFID, BS_SEQ, BS_DATA) VALUES (?,?,?)",
                                      getTableName_INT("BIGSTR", true, -1).asCstr());
    RDA_TRACE("RDA_DAC::putBigString_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    ReposHeld<DacStatement> statement(connection->prepare(sql));
    if (!statement) {
        failConnector(__LINE__, connection->getErrorText());
        return abandon();
    }
    if (!statement->declareParameter(0, VQB_TYPE_INT, 0, 0) || !statement->declareParameter(1, VQB_TYPE_INT, 0, 0) ||
        !statement->declareParameter(2, VQB_TYPE_STRING, limit, 0)) {
        failConnector(__LINE__, statement->getErrorText());
        statement.reset();
        return abandon();
    }
    int64_t sequence = 0;
    for (const std::string& chunk : bigStringChunks_INT(value)) {
        bool ok = statement->setValue(0, 0, id) &&
                  statement->setValue(0, 1, VqbDatavar(static_cast<long long>(sequence))) &&
                  statement->setValue(0, 2, VqbDatavar(chunk)) && statement->execute(nullptr);
        if (!ok) {
            failConnector(__LINE__, statement->getErrorText());
            statement.reset();
            return abandon();
        }
        ++sequence;
    }
    statement.reset();
    if (ownLevel && !endTransaction_INT(true)) return failed();
    if (out) *out = RDA_BigString::format(static_cast<uint32_t>(id.asInt64()));
    return true;
}

bool RDA_DAC::putScriptBigString(const VqbString& value, VqbString* out, VqbString* error) {
    // The id comes from the repository itself, so that ids handed out before the script runs
    // are not used twice; the chunks go into the script ahead of the statement that refers to them.
    ReposDDLCallback* script = std::exchange(ddlCallback_, nullptr);
    VqbDatavar id;
    const bool reserved = reserveIdBlock("BIGSTR", -1, &id, error);
    ddlCallback_ = script;
    if (!reserved) return false;
    const VqbString sql = VqbString::format("INSERT INTO %s (BS_REFID, BS_SEQ, BS_DATA) VALUES (?,?,?)",
                                            getTableName_INT("BIGSTR", true, -1).asCstr());
    long long sequence = 0;
    for (const std::string& chunk : bigStringChunks_INT(value)) {
        const VqbDatavar number(sequence++);
        const VqbDatavar data{VqbString(chunk)};
        const VqbDatavar* row[] = {&id, &number, &data};
        VqbString text;
        if (!buildScriptStatement(sql, {row, 3}, text)) {
            if (error) *error = lastError_;
            return false;
        }
        ddlCallback_->writeDDL(text);
    }
    if (out) *out = RDA_BigString::format(static_cast<uint32_t>(id.asInt64()));
    return true;
}

std::vector<std::string> RDA_DAC::bigStringChunks_INT(const VqbString& value) {
    DacConnection* connection = bigStringConnection();
    const bool marked = connection && connection->getDbmsKind() == RDA_DAC_KIND_MARKED_CHUNKS;
    std::vector<std::string> chunks;
    const char* rest = value.asCstr();
    size_t left = value.cStrSize();
    std::string chunk;
    while (left > 0) {
        const size_t bytes = nextChunk(rest, left, static_cast<size_t>(maxTextLen_ > 0 ? maxTextLen_ : 1), marked, chunk);
        chunks.push_back(chunk);
        rest += bytes;
        left -= bytes;
    }
    return chunks;
}

bool RDA_DAC::getBigString_INT(const VqbString& value, VqbString* out, VqbString* error) {
    if (out) *out = value;
    uint32_t id = 0;
    if (maxTextLen_ < 1 || !RDA_BigString::parse(value, &id)) return true;
    DacConnection* connection = bigStringConnection();
    if (!connection) {
        fail(kSource, __LINE__, reposMessage(1161));
        if (error) *error = lastError_;
        return false;
    }
    VqbString sql = VqbString::format("SELECT BS_DATA FROM %s WHERE BS_REFID = %u ORDER BY BS_SEQ",
                                      getTableName_INT("BIGSTR", true, -1).asCstr(), id);
    RDA_TRACE("RDA_DAC::getBigString_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    DacCursor* cursor = connection->openCursorDirect(sql);
    if (!cursor) {
        failConnector(__LINE__, connection->getErrorText());
        if (error) *error = lastError_;
        return false;
    }
    const bool marked = connection->getDbmsKind() == RDA_DAC_KIND_MARKED_CHUNKS;
    std::string joined;
    int state;
    while ((state = cursor->fetch()) == DAC_FETCH_ROW) {
        VqbDatavar chunk = cursor->getValue(0);
        if (chunk.isNull()) continue;
        std::string text = chunk.asString().str();
        if (marked) removeMarkers(text);
        joined.append(text);
    }
    if (state == DAC_FETCH_ERROR) failConnector(__LINE__, cursor->getErrorText());
    cursor->close();
    if (out) *out = VqbString(std::move(joined));
    return true;
}

// ---- statements

RDA_DACStatement::RDA_DACStatement(RDA_DAC* owner, const VqbString& sql, DacStatement* statement, bool recycle)
    : RDA_BaseStatementImpl(owner, sql),
      dac_(owner),
      types_(""),
      query_(isQuery(sql)),
      recycle_(recycle),
      statement_(statement) {
    if (logger_->getLevel() <= kLevelNotice)
        reposLog(logger_, kLevelNotice, kSource, __LINE__, "RDA_DACStatement [%s] sql [%s]", tag().asCstr(),
                 sql_.asCstr());
}

bool RDA_DACStatement::usable(int line) {
    if (statement_ && !handedOver_) return true;
    dac_->fail(kSource, line, reposMessage(1161));
    return false;
}

bool RDA_DACStatement::setParameterInfo_INT(int index, int type, int size) {
    RDA_TRACE("RDA_DACStatement::setParameterInfo_INT [%s]", tag().asCstr());
    if (!usable(__LINE__)) return false;
    if (statement_->declareParameter(index, type, size, 0)) return true;
    return dac_->fail(kSource, __LINE__, reposMessage(687, index, statement_->getErrorText().asCstr()));
}

bool RDA_DACStatement::setParameter_INT(int index, const VqbDatavar& value) {
    RDA_TRACE("RDA_DACStatement::setParameter_INT [%s]", tag().asCstr());
    if (!usable(__LINE__)) return false;
    // A compared text is bound as given (one kept apart in a comparison the reader is sure of is
    // compared whole at execute or select); a statement the reader cannot place stores none of
    // a query's texts. Only a text too long for its column needs the statement read.
    bool store = true;
    if (value.getType() == VQB_TYPE_STRING && dac_->maxTextLen_ > 0 &&
        value.textSize() > static_cast<size_t>(dac_->maxTextLen_)) {
        const int compared = comparedSlot(index);
        store = compared < 0 ? !query_ : compared == 0;
    }
    return dac_->setParameter_INT(statement_, &value, index, store, false, types_, VqbString(""));
}

bool RDA_DACStatement::setParameterBulk_INT(int index, int row, const VqbDatavar& value) {
    RDA_TRACE("RDA_DACStatement::setParameterBulk_INT [%s]", tag().asCstr());
    if (!usable(__LINE__)) return false;
    return dac_->setParameterWTypes_INT(statement_, &value, index, row, true, false, types_, VqbString(""));
}

bool RDA_DACStatement::execute_INT() {
    RDA_TRACE("RDA_DACStatement::execute_INT [%s]", tag().asCstr());
    if (!usable(__LINE__)) return false;
    int rows = 0;
    if (statement_->execute(&rows)) return true;
    return dac_->failConnector(__LINE__, statement_->getErrorText());
}

ReposDataAccessCursor* RDA_DACStatement::select_INT() {
    RDA_TRACE("RDA_DACStatement::select_INT [%s]", tag().asCstr());
    if (!usable(__LINE__)) return nullptr;
    DacCursor* cursor = statement_->openCursor();
    if (!cursor) {
        dac_->failConnector(__LINE__, statement_->getErrorText());
        return nullptr;
    }
    RDA_DACCursor* result = dac_->newCursor(sql_, statement_, cursor);
    if (!result) return nullptr;
    handedOver_ = true;
    return result;
}

VqbString RDA_DACStatement::getErrorMessage_INT() { return dac_->getGeneralErrorMessage(); }

void RDA_DACStatement::release_INT() {
    RDA_TRACE("RDA_DACStatement::release_INT [%s]", tag().asCstr());
    DacStatement* statement = std::exchange(statement_, nullptr);
    if (!statement || handedOver_) return;
    if (recycle_)
        dac_->giveBack(sql_, statement, true);
    else
        statement->release();
}

// ---- cursors

RDA_DACCursor::RDA_DACCursor(RDA_DAC* owner, const VqbString& sql, DacStatement* statement, DacCursor* cursor)
    : RDA_BaseCursorImpl(owner, sql, "RDA_DACCursor"), dac_(owner), statement_(statement), cursor_(cursor) {
    if (logger_->getLevel() <= kLevelNotice)
        reposLog(logger_, kLevelNotice, kSource, __LINE__, "RDA_DACCursor [%s] sql [%s]", tag().asCstr(),
                 sql_.asCstr());
}

void RDA_DACCursor::dropHandles() {
    if (cursor_) cursor_->close();
    if (statement_) statement_->release();
    cursor_ = nullptr;
    statement_ = nullptr;
}

void RDA_DACCursor::release_INT() {
    RDA_TRACE("RDA_DACCursor::release_INT [%s]", tag().asCstr());
    dropHandles();
}

int RDA_DACCursor::liveNext() {
    if (!cursor_) return 2;
    switch (cursor_->fetch()) {
        case DAC_FETCH_ROW:
            return 1;
        case DAC_FETCH_END:
            dropHandles();
            return 0;
        default:
            dac_->failConnector(__LINE__, cursor_->getErrorText());
            return 2;
    }
}

int RDA_DACCursor::liveNumCols() { return cursor_ ? cursor_->getColumnCount() : 0; }

VqbString RDA_DACCursor::liveColName(int i) { return cursor_ ? cursor_->getColumnName(i) : VqbString(""); }

VqbDatavar RDA_DACCursor::liveValue(int i, bool* reference) {
    if (!cursor_) return VqbDatavar();
    VqbDatavar value = cursor_->getValue(i);
    *reference = value.getType() == VQB_TYPE_STRING && RDA_BigString::hasPrefix(value.asString());
    return value;
}
