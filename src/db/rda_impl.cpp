#include "rda_impl.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <cmath>
#include <memory>
#include <new>
#include <utility>

#include "np_uchar.h"
#include "repos_tables.h"
#include "repos_reasons.h"
#include "reposlog.h"
#include "vqbconfig.h"
#include "vqbmessage.h"
#include "vqbutil.h"

namespace {

const char* const kSource = "rda_impl";
constexpr int kLevelTrace = 1;
constexpr int kLevelNotice = 2;
constexpr int kLevelError = 5;

std::atomic<int> g_instanceCounter{0};

const char* kindText(const char* kind) { return kind ? kind : ""; }

}  // namespace

// ---- parameters

RDA_ParamList::RDA_ParamList(int n, va_list args) {
    count_ = n > 0 ? n : 0;
    if (count_ > kInline) {
        heap_.resize(static_cast<size_t>(count_));
        data_ = heap_.data();
    }
    const VqbDatavar** out = count_ > kInline ? heap_.data() : inline_;
    for (int i = 0; i < count_; ++i) out[i] = va_arg(args, const VqbDatavar*);
}

// ---- lock scope

RDA_LockScope::RDA_LockScope(RDA_BaseImpl* owner, const char* source, int line, const char* kind, int id)
    : owner_(owner) {
    owner_->lock(source, line, kind, id);
}

RDA_LockScope::~RDA_LockScope() { owner_->unlock(); }

// ---- connection: set-up, lock and helpers

int RDA_BaseImpl::nextInstanceId() { return g_instanceCounter.fetch_add(1, std::memory_order_relaxed); }

RDA_BaseImpl::RDA_BaseImpl()
    : logger_(vqlogGetLogger(REPOS_LOGGER_RDA)), lockTrace_(vqlogGetLogger(REPOS_LOGGER_LOCKTRACE)) {
    vqAtomInit(&owner_, -1);
}

RDA_BaseImpl::~RDA_BaseImpl() {
    if (lock_) vqLockDestroy(lock_);
}

ReposDataAccess* RDA_BaseImpl::ready(RDA_BaseImpl* made, const char* source, const VqbString& connection,
                                     const VqbString& prefix, bool create, RepositoryStatusCallback* callback,
                                     VqbString& error) {
    ReposHeld<RDA_BaseImpl> held(made);
    if (!held) {
        error = reposMessage(530);
        reposLog(vqlogGetLogger(REPOS_LOGGER_RDA), 5, source, __LINE__, "%s", error.asCstr());
        return nullptr;
    }
    if (held->init(connection, prefix, create, callback)) return held.release();
    error = reposConnectionReason(held.get());
    return nullptr;
}

bool RDA_BaseImpl::init(const VqbString& connection, const VqbString& prefix, bool create,
                        RepositoryStatusCallback* callback) {
    if (lock_) return false;
    {
        RepositorySingleton singleton;
        if (!singleton.isReady()) return false;
        singleton.lock();
        lock_ = vqLockCreate(1, 1);
        singleton.unlock();
    }
    if (!lock_) return false;
    // The lock was created held by this thread; every way out of the set-up releases it.
    struct ReleaseOnExit {
        VqLockHandle lock;
        ~ReleaseOnExit() { vqLockRelease(lock); }
    } releaseOnExit{lock_};

    vqAtomInit(&owner_, -1);
    holderKind_ = "";
    holderSource_ = "";
    holderLine_ = -1;
    generalError_ = reposMessage(1584);

    VqbConfigOptions* options = vqbGetConfigOptions("");
    if (!options) return fail(kSource, __LINE__, reposMessage(292));

    VqbString specPath;
    options->get("REPOS/CREATE_SPEC_PATH", specPath);
    createSpec_.reset(getTableCreationSpec());
    if (createSpec_ && !specPath.isEmpty() && !createSpec_->loadFile(specPath))
        logError(kSource, __LINE__, createSpec_->getErrorMessage());

    VqbString korvante;
    bool enabled = false;
    if (options->get("BASE/KORVANTE", korvante) && !korvante.trimmed().isEmpty()) {
        bool conversionError = false;
        bool value = korvante.trimmed().asBool(&conversionError);
        enabled = conversionError || value;
    }
    if (!enabled) reposLog(logger_, kLevelNotice, kSource, __LINE__, "Thread locking is disabled");
    locking_ = enabled;

    instanceId_ = nextInstanceId();
    tag_ = VqbString::format("%s%d", "REPO", instanceId_);
    bool ok = init_INT(connection, prefix, create);
    if (ok) statusCallback_ = callback ? callback : &defaultCallback_;
    return ok;
}

void RDA_BaseImpl::lock(const char* source, int line, const char* kind, int id) {
    if (!locking_) return;
    bool trace = lockTrace_->getLevel() < 2;
    int64_t holder = -1;
    std::string heldKind, heldSource;
    int heldLine = -1;
    if (trace) {
        holder = vqAtomGet(&owner_);
        if (holder != -1) {
            {
                std::lock_guard<std::mutex> g(holderMutex_);
                heldKind = holderKind_;
                heldSource = holderSource_;
                heldLine = holderLine_;
            }
            reposLog(lockTrace_, kLevelTrace, kSource, __LINE__,
                     "lock requested by [%s%d] at [%s:%d] potential deadlock with [%s%d] at [%s:%d]", kindText(kind),
                     id, source, line, heldKind.c_str(), static_cast<int>(holder), heldSource.c_str(), heldLine);
        }
    }
    vqLockGet(lock_, 1, 1);
    if (!trace) return;
    if (holder != -1)
        reposLog(lockTrace_, kLevelTrace, kSource, __LINE__, "no deadlock, freed by [%s%d] at [%s:%d]",
                 heldKind.c_str(), static_cast<int>(holder), heldSource.c_str(), heldLine);
    vqAtomSet(&owner_, vqAtomGet(&owner_), id);
    std::lock_guard<std::mutex> g(holderMutex_);
    holderKind_ = kindText(kind);
    holderSource_ = source ? source : "";
    holderLine_ = line;
}

void RDA_BaseImpl::unlock() {
    if (!locking_) return;
    if (lockTrace_->getLevel() < 2) vqAtomSet(&owner_, vqAtomGet(&owner_), -1);
    vqLockRelease(lock_);
}

bool RDA_BaseImpl::fail(const char* source, int line, const VqbString& text) {
    lastError_ = text;
    logError(source, line, text);
    return false;
}

void RDA_BaseImpl::logError(const char* source, int line, const VqbString& text) {
    failuresLogged_.fetch_add(1, std::memory_order_relaxed);
    // A failed statement may have ended the transaction (SQLite rolls back after some errors).
    forgetIdBlocks();
    reposLog(logger_, kLevelError, source, line, "%s", text.asCstr());
}

bool RDA_BaseImpl::enterLevel() {
    if (depth_ <= 0) forgetIdBlocks();
    return ++depth_ == 1;
}

void RDA_BaseImpl::undoLevel() {
    if (depth_ > 0) --depth_;
}

RDA_BaseImpl::LevelEnd RDA_BaseImpl::leaveLevel(const char* source, int line) {
    if (depth_ <= 0) {
        depth_ = 0;
        VqbString text = lastError_.isEmpty() ? reposMessage(1065) : reposMessage(1068, lastError_.asCstr());
        fail(source, line, text);
        return LevelEnd::NoOpenLevel;
    }
    if (--depth_ > 0) return LevelEnd::Inner;
    // Whether the end commits, rolls back or fails, the ids reserved ahead go with it.
    forgetIdBlocks();
    return LevelEnd::Outermost;
}

bool RDA_BaseImpl::endFailed(const char* source, int line, const VqbString& databaseError) {
    VqbString text = lastError_.isEmpty() ? reposMessage(1067, databaseError.asCstr())
                                          : reposMessage(1066, lastError_.asCstr(), databaseError.asCstr());
    return fail(source, line, text);
}

VqbString RDA_BaseImpl::quoteIdentifier(const char* name) {
    return VqbString(vqbQuoteIdentifier(name ? name : "", "\""));
}

VqbString RDA_BaseImpl::scriptLiteral(const VqbDatavar* value) {
    if (!value || value->isNull()) return VqbString("NULL");
    switch (value->getType()) {
        case VQB_TYPE_BOOL:
            return VqbString(value->asBool() ? "1" : "0");
        case VQB_TYPE_INT:
            return value->asString();
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE:
            return std::isfinite(value->asDouble()) ? value->asString() : VqbString("NULL");
        default: {
            VqbString literal("'");
            VqbString text = value->asString();
            literal.append(text.str().find('\'') == std::string::npos ? text : VqbString(text).replaceAll("'", "''"));
            literal.append('\'');
            return literal;
        }
    }
}

bool RDA_BaseImpl::buildScriptStatement(const VqbString& sql, const RDA_Params& params, VqbString& out) {
    // A "?" inside a text, a quoted name or a comment of the statement is no marker.
    const RDA_SqlReading reading = RDA_readSql(sql, sqlDialect_);
    if (!reading.sure || reading.slots.size() < static_cast<size_t>(params.count))
        return fail(kSource, __LINE__, reposMessage(1288));
    const std::string& text = sql.str();
    std::string result;
    result.reserve(text.size() + 16 * static_cast<size_t>(params.count));
    size_t pos = 0;
    for (int i = 0; i < params.count; ++i) {
        const size_t marker = reading.slots[static_cast<size_t>(i)].at;
        result.append(text, pos, marker - pos);
        result.append(scriptLiteral(params.at(i)).str());
        pos = marker + 1;
    }
    result.append(text, pos, std::string::npos);
    out = VqbString(std::move(result));
    return true;
}

ReposDataAccessCursor* RDA_BaseImpl::paramSelectVA(const VqbString& sql, int n, ...) {
    va_list args;
    va_start(args, n);
    RDA_ParamList list(n, args);
    va_end(args);
    return paramSelect_INT(sql, list.params());
}

bool RDA_BaseImpl::paramExecVA(const VqbString& sql, int* rowsAffected, int n, ...) {
    va_list args;
    va_start(args, n);
    RDA_ParamList list(n, args);
    va_end(args);
    return paramExec_INT(sql, rowsAffected, list.params());
}

// ---- table-creation command spec

bool RDA_BaseImpl::runSpecCommands(VqTableCreateNS::VqCommandCursor* raw) {
    ReposHeld<VqTableCreateNS::VqCommandCursor> cursor(raw);
    if (!cursor) {
        logError(kSource, __LINE__, createSpec_->getErrorMessage());
        return false;
    }
    int ran = 0;
    while (cursor->next()) {
        if (!paramExecVA(cursor->getCommand(), nullptr, 0)) {
            logError(kSource, __LINE__, lastError_);
            return false;
        }
        ++ran;
    }
    return ran > 0;
}

bool RDA_BaseImpl::runCustomTableDdl(const VqbString& dbType, const VqbString& schema, const VqbString& table,
                                     const VqbString& columns) {
    if (!createSpec_) return false;
    return runSpecCommands(createSpec_->getTableCommands(table, schema, VqbString(""), dbType, columns));
}

bool RDA_BaseImpl::runCustomIndexDdl(const VqbString& dbType, const VqbString& schema, const VqbString& table,
                                     const VqbString& indexName, const VqbString& columns) {
    if (!createSpec_) return false;
    return runSpecCommands(
        createSpec_->getIndexCommands(indexName, table, schema, VqbString(""), dbType, columns));
}

// ---- connection: public operations

void RDA_BaseImpl::keepCaught(int line, const char* text) {
    RDA_LockScope scope(this, kSource, line, "REPO", instanceId_);
    fail(kSource, line, VqbString(text));
}

#define RDA_LOCKED RDA_LockScope scope(this, kSource, __LINE__, "REPO", instanceId_)

VqbString RDA_BaseImpl::getGeneralErrorMessage() try {
    RDA_LOCKED;
    return generalError_;
} catch (...) {
    return caught(__LINE__, VqbString(""));
}

VqbString RDA_BaseImpl::getLastErrorMessage() try {
    RDA_LOCKED;
    return lastError_;
} catch (...) {
    return caught(__LINE__, VqbString(""));
}

void RDA_BaseImpl::release() try {
    {
        RDA_LOCKED;
        close_INT();
    }
    vqAtomDestroy(&owner_);
    delete this;
} catch (...) {
    caught(__LINE__);
}

VqbString RDA_BaseImpl::getTableName(const char* table, bool qualified, int suffix) try {
    RDA_LOCKED;
    return getTableName_INT(table, qualified, suffix);
} catch (...) {
    return caught(__LINE__, VqbString(""));
}

bool RDA_BaseImpl::getPrefix(bool afterDot, VqbString* out, VqbString* /*error*/) try {
    RDA_LOCKED;
    if (!out) return true;
    long dot = afterDot ? prefix_.findChar('.') : -1;
    *out = dot >= 0 ? prefix_.mid(static_cast<size_t>(dot) + 1) : prefix_;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

VqbString RDA_BaseImpl::getSchemaName() try {
    RDA_LOCKED;
    return getSchemaName_INT();
} catch (...) {
    return caught(__LINE__, VqbString(""));
}

VqbString RDA_BaseImpl::getIndexName(int number, const VqbString& table) try {
    RDA_LOCKED;
    return getIndexName_INT(number, table);
} catch (...) {
    return caught(__LINE__, VqbString(""));
}

VqbString RDA_BaseImpl::getColumnList(const VqbString& table, const char* alias) try {
    RDA_LOCKED;
    VqbString lead;
    if (alias && *alias) {
        lead.assign(alias);
        lead.append('.');
    }
    const ReposColumnDef* first = findReposTable(table.asCstr());
    if (!first) return lead.isNull() ? VqbString("*") : lead + VqbString("*");
    VqbString list("");
    ReposTableCursor columns(first);
    ReposColumnView column;
    while (columns.next(column)) {
        if (!list.isEmpty()) list.append(", ");
        if (!lead.isNull()) list.append(lead);
        list.append(column.name);
    }
    return list;
} catch (...) {
    return caught(__LINE__, VqbString(""));
}

bool RDA_BaseImpl::beginTransaction(bool exclusive, bool* busy) try {
    return beginLevel(exclusive, false, busy);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::beginLevel(bool exclusive, bool write, bool* busy) {
    RDA_LOCKED;
    // Nothing announced may outlive the transaction it was made in, even one an exception ended.
    if (depth_ == 0) pending_.clear();
    if (write && !exclusive && depth_ == 0) return beginWriteTransaction_INT(busy);
    return beginTransaction_INT(exclusive, busy);
}

bool RDA_BaseImpl::beginWriteLevel(ReposDataAccess* connection, bool exclusive, bool* busy) {
    if (!connection) return false;
    if (auto* frame = dynamic_cast<RDA_BaseImpl*>(connection)) {
        try {
            return frame->beginLevel(exclusive, true, busy);
        } catch (...) {
            return frame->caught(__LINE__, false);
        }
    }
    return connection->beginTransaction(exclusive, busy);
}

bool RDA_BaseImpl::endTransaction(bool commit) try {
    std::vector<Announcement> due;
    bool ended = false;
    {
        RDA_LOCKED;
        const bool outermost = depth_ == 1;
        if (outermost && commit) settleIdBlocks();
        ended = endTransaction_INT(commit);
        if (depth_ == 0) {
            if (outermost && ended && commit) due.swap(pending_);
            pending_.clear();
        }
    }
    for (Announcement& post : due) deliver(post);
    return ended;
} catch (...) {
    return caught(__LINE__, false);
}

unsigned RDA_BaseImpl::failuresLogged(ReposDataAccess* connection) {
    auto* frame = dynamic_cast<RDA_BaseImpl*>(connection);
    return frame ? frame->failuresLogged_.load(std::memory_order_relaxed) : 0;
}

void RDA_BaseImpl::announce(ReposDataAccess* connection, Announcement post) {
    auto* frame = dynamic_cast<RDA_BaseImpl*>(connection);
    if (frame)
        frame->queueOrPost(std::move(post));
    else
        deliver(post);
}

void RDA_BaseImpl::queueOrPost(Announcement post) {
    {
        RDA_LOCKED;
        if (depth_ > 0) {
            pending_.push_back(std::move(post));
            return;
        }
        pending_.clear();
    }
    deliver(post);
}

void RDA_BaseImpl::deliver(Announcement& post) noexcept {
    // The work is committed by now: a listener's failure must not turn its result into one.
    try {
        post();
    } catch (...) {
    }
}

bool RDA_BaseImpl::isInTransaction() try {
    RDA_LOCKED;
    return isInTransaction_INT();
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::getNextIds(const VqbString& key, int count, VqbDatavar* firstId, VqbString* error) try {
    RDA_LOCKED;
    return reserveIdBlock(key, count, firstId, error);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::getNextId(const VqbString& key, VqbDatavar* id) { return getNextIds(key, -1, id, nullptr); }

ReposDataAccessCursor* RDA_BaseImpl::paramSelect(const VqbString& sql, int n, ...) try {
    va_list args;
    va_start(args, n);
    RDA_ParamList list(n, args);
    va_end(args);
    RDA_LOCKED;
    return compareWhole(sql, list.params(), static_cast<ReposDataAccessCursor*>(nullptr),
                        [&](const VqbString& text, const RDA_Params& values) { return paramSelect_INT(text, values); });
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RDA_BaseImpl::paramSelectWTypes(const VqbString& sql, const VqbString& types, int n, ...) try {
    va_list args;
    va_start(args, n);
    RDA_ParamList list(n, args);
    va_end(args);
    RDA_LOCKED;
    return compareWhole(sql, list.params(), static_cast<ReposDataAccessCursor*>(nullptr),
                        [&](const VqbString& text, const RDA_Params& values) {
                            return paramSelectWTypes_INT(text, types, values);
                        });
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RDA_BaseImpl::paramSelectV(const VqbString& sql, int n, va_list args) try {
    RDA_ParamList list(n, args);
    RDA_LOCKED;
    return compareWhole(sql, list.params(), static_cast<ReposDataAccessCursor*>(nullptr),
                        [&](const VqbString& text, const RDA_Params& values) { return paramSelect_INT(text, values); });
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool RDA_BaseImpl::paramExec(const VqbString& sql, int* rowsAffected, int n, ...) try {
    va_list args;
    va_start(args, n);
    RDA_ParamList list(n, args);
    va_end(args);
    RDA_LOCKED;
    return compareWhole(sql, list.params(), false, [&](const VqbString& text, const RDA_Params& values) {
        return paramExec_INT(text, rowsAffected, values);
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::paramExecWTypes(const VqbString& sql, int* rowsAffected, const VqbString& types, int n, ...) try {
    va_list args;
    va_start(args, n);
    RDA_ParamList list(n, args);
    va_end(args);
    RDA_LOCKED;
    return compareWhole(sql, list.params(), false, [&](const VqbString& text, const RDA_Params& values) {
        return paramExecWTypes_INT(text, rowsAffected, types, values);
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::paramSingletonInt(const VqbString& sql, int* out, int n, ...) try {
    va_list args;
    va_start(args, n);
    RDA_ParamList list(n, args);
    va_end(args);
    RDA_LOCKED;
    int64_t value = 0;
    bool ok = compareWhole(sql, list.params(), false, [&](const VqbString& text, const RDA_Params& values) {
        return paramSingleton_INT(text, &value, values);
    });
    if (ok && out) *out = static_cast<int>(static_cast<uint32_t>(value));
    return ok;
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::paramSingleton(const VqbString& sql, int64_t* out, int n, ...) try {
    va_list args;
    va_start(args, n);
    RDA_ParamList list(n, args);
    va_end(args);
    RDA_LOCKED;
    int64_t value = 0;
    bool ok = compareWhole(sql, list.params(), false, [&](const VqbString& text, const RDA_Params& values) {
        return paramSingleton_INT(text, &value, values);
    });
    if (ok && out) *out = value;
    return ok;
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::paramSingletonWTypes(const VqbString& sql, int* out, const VqbString& types, int n, ...) try {
    va_list args;
    va_start(args, n);
    RDA_ParamList list(n, args);
    va_end(args);
    RDA_LOCKED;
    return compareWhole(sql, list.params(), false, [&](const VqbString& text, const RDA_Params& values) {
        return paramSingletonWTypes_INT(text, out, types, values);
    });
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessStatement* RDA_BaseImpl::createStatement(const VqbString& sql) try {
    RDA_LOCKED;
    return createStatement_INT(sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessStatement* RDA_BaseImpl::createBulkStatement(const VqbString& sql, int rows) try {
    RDA_LOCKED;
    return createBulkStatement_INT(sql, rows);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool RDA_BaseImpl::supportsBulkStatement() try {
    RDA_LOCKED;
    return supportsBulkStatement_INT();
} catch (...) {
    return caught(__LINE__, false);
}

// Schema work and bulk loads may commit on some DBMSs, fail without a failure entry (a drop of
// what is not there still spoils a PostgreSQL transaction) or rebuild UCURID: the ids reserved
// ahead are settled first.
bool RDA_BaseImpl::createTable(ReposTableRequest request) try {
    RDA_LOCKED;
    settleIdBlocks();
    return createTable_INT(request);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::checkTable(ReposTableRequest request) try {
    RDA_LOCKED;
    settleIdBlocks();
    return checkTable_INT(request);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::dropTable(const VqbString& table) try {
    RDA_LOCKED;
    settleIdBlocks();
    return dropTable_INT(table);
} catch (...) {
    return caught(__LINE__, false);
}

void RDA_BaseImpl::setDDLCallback(ReposDDLCallback* callback) try {
    RDA_LOCKED;
    settleIdBlocks();
    setDDLCallback_INT(callback);
} catch (...) {
    caught(__LINE__);
}

bool RDA_BaseImpl::createHsmIndexes(int n, int groupFields) try {
    RDA_LOCKED;
    settleIdBlocks();
    return createHsmIndexes_INT(n, groupFields);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::createHcmIndexes(int n, int groupFields) try {
    RDA_LOCKED;
    settleIdBlocks();
    return createHcmIndexes_INT(n, groupFields);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::createFrqDstIndexes(int n) try {
    RDA_LOCKED;
    settleIdBlocks();
    return createFrqDstIndexes_INT(n);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::checkHsmTableColumns(const VqbString& table, int n) try {
    RDA_LOCKED;
    settleIdBlocks();
    return checkHsmTableColumns_INT(table, n);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::checkHcmTableColumns(const VqbString& table, int n) try {
    RDA_LOCKED;
    settleIdBlocks();
    return checkHcmTableColumns_INT(table, n);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::checkFrqDstTableColumns(const VqbString& table, int n) try {
    RDA_LOCKED;
    settleIdBlocks();
    return checkFrqDstTableColumns_INT(table, n);
} catch (...) {
    return caught(__LINE__, false);
}

int RDA_BaseImpl::getTableColumns(const VqbString& table, ColumnSpecList* out) try {
    RDA_LOCKED;
    return getTableColumns_INT(table, out);
} catch (...) {
    return caught(__LINE__, 0);
}

bool RDA_BaseImpl::createTableFromColumns(const VqbString& table, const ColumnSpecList& columns) try {
    RDA_LOCKED;
    settleIdBlocks();
    return createTableFromColumns_INT(table, columns);
} catch (...) {
    return caught(__LINE__, false);
}

int RDA_BaseImpl::getMaxTextLen() try {
    RDA_LOCKED;
    return getMaxTextLen_INT();
} catch (...) {
    return caught(__LINE__, -1);
}

bool RDA_BaseImpl::getBigString(const VqbString& value, VqbString* out, VqbString* error) try {
    RDA_LOCKED;
    return getBigString_INT(value, out, error);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::putBigString(const VqbString& value, VqbString* out, VqbString* error) try {
    RDA_LOCKED;
    return putBigString_INT(value, out, error);
} catch (...) {
    return caught(__LINE__, false);
}

VqbString RDA_BaseImpl::getIdentifierQuote() try {
    RDA_LOCKED;
    return getIdentifierQuote_INT();
} catch (...) {
    return caught(__LINE__, VqbString(""));
}

ReposDataAccessCursor* RDA_BaseImpl::getIndexes(const VqbString& table) try {
    RDA_LOCKED;
    return getIndexes_INT(table);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool RDA_BaseImpl::checkTableIndexes(const VqbString& table) try {
    RDA_LOCKED;
    settleIdBlocks();
    return checkTableIndexes_INT(table);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::createIndex(const VqbString& table, const VqbString& column, const VqbString& name) try {
    RDA_LOCKED;
    settleIdBlocks();
    return createIndex_INT(table, column, name);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::isDatabaseKind1() try {
    RDA_LOCKED;
    return isDatabaseKind1_INT();
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::checkDatabaseSupported() try {
    RDA_LOCKED;
    return checkDatabaseSupported_INT();
} catch (...) {
    return caught(__LINE__, false);
}

VqbString RDA_BaseImpl::getRepositoryUuid() try {
    RDA_LOCKED;
    VqbString table = getTableName_INT("INFO", true, -1);
    VqbDatavar type("VQREPOSITORY");
    const VqbDatavar* params[] = {&type};
    ReposHeld<ReposDataAccessCursor> cursor(
        paramSelect_INT(VqbString::format("SELECT I_UUID FROM %s WHERE I_TYPE=?", table.asCstr()), {params, 1}));
    VqbString uuid("");
    if (cursor && cursor->next() == 1 && !cursor->isNull(0)) uuid = cursor->getString(0);
    return uuid;
} catch (...) {
    return caught(__LINE__, VqbString(""));
}

bool RDA_BaseImpl::supportsBulkLoad() try {
    RDA_LOCKED;
    return supportsBulkLoad_INT();
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::bulkLoadBegin(int batchSize, const VqbString& table, const ColumnSpecList& columns) try {
    RDA_LOCKED;
    settleIdBlocks();
    return bulkLoadBegin_INT(batchSize, table, columns);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::bulkLoadRow(int count, ...) try {
    va_list args;
    va_start(args, count);
    RDA_ParamList list(count, args);
    va_end(args);
    RDA_LOCKED;
    return bulkLoadRow_INT(list.params());
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::bulkLoadEnd(bool flush) try {
    RDA_LOCKED;
    return bulkLoadEnd_INT(flush);
} catch (...) {
    return caught(__LINE__, false);
}

bool RDA_BaseImpl::isConnectionMode3() try {
    RDA_LOCKED;
    return isConnectionMode3_INT();
} catch (...) {
    return caught(__LINE__, false);
}

DacConnection* RDA_BaseImpl::getConnection() try {
    RDA_LOCKED;
    return getConnection_INT();
} catch (...) {
    return caught(__LINE__, nullptr);
}

#undef RDA_LOCKED

// ---- statements

#define RDA_STMT_LOCKED RDA_LockScope scope(owner_, kSource, __LINE__, "STMT", id_)

RDA_BaseStatementImpl::RDA_BaseStatementImpl(RDA_BaseImpl* owner, const VqbString& sql)
    : owner_(owner), sql_(sql), id_(RDA_BaseImpl::nextInstanceId()), logger_(owner->logger()) {}

VqbString RDA_BaseStatementImpl::tag() const {
    return VqbString::format("%s%d_%s%d", "REPO", owner_->instanceId(), "STMT", id_);
}

const RDA_SqlReading& RDA_BaseStatementImpl::reading() {
    if (!reading_) reading_.reset(new RDA_SqlReading(RDA_readSql(sql_, owner_->sqlDialect_)));
    return *reading_;
}

int RDA_BaseStatementImpl::comparedSlot(int index) {
    const RDA_SqlReading& read = reading();
    if (!read.sure || index < 0 || static_cast<size_t>(index) >= read.slots.size()) return -1;
    return read.slots[static_cast<size_t>(index)].compared ? 1 : 0;
}

RDA_BaseStatementImpl::Kept* RDA_BaseStatementImpl::kept(int index) {
    if (index < 0 || index >= 0x10000) return nullptr;
    if (kept_.size() <= static_cast<size_t>(index)) {
        if (kept_.empty()) kept_.reserve(16);
        kept_.resize(static_cast<size_t>(index) + 1);
    }
    return &kept_[static_cast<size_t>(index)];
}

bool RDA_BaseStatementImpl::wholeValues(RDA_WholeTexts& out) {
    // Statements are read only once a text kept apart was bound: most never see one.
    bool whole = false;
    for (size_t i = 0; i < kept_.size() && !whole; ++i) {
        if (!kept_[i].apart) continue;
        const RDA_SqlReading& read = reading();
        whole = read.sure && i < read.slots.size() && read.slots[i].comparison >= 0;
    }
    if (!whole) return false;
    out.values.resize(reading().slots.size());
    for (size_t i = 0; i < out.values.size() && i < kept_.size(); ++i) {
        out.values[i] = kept_[i].value;
        // A null declared with a type keeps it, as it was bound.
        if (out.values[i].isNull() && kept_[i].declared != 0) out.values[i].setType(kept_[i].declared);
    }
    for (const VqbDatavar& value : out.values) out.pointers.push_back(&value);
    return true;
}

bool RDA_BaseStatementImpl::setParameterInfo(int index, int type, int size) try {
    RDA_STMT_LOCKED;
    if (Kept* slot = kept(index)) slot->declared = type;
    return setParameterInfo_INT(index, type, size);
} catch (...) {
    return owner_->caught(__LINE__, false);
}

bool RDA_BaseStatementImpl::setParameter(int index, const VqbDatavar& value) try {
    RDA_STMT_LOCKED;
    if (Kept* slot = kept(index)) {
        slot->value = value;
        slot->apart = RDA_BigString::storedApart(value, owner_->compareTextLen_INT());
    }
    return setParameter_INT(index, value);
} catch (...) {
    return owner_->caught(__LINE__, false);
}

bool RDA_BaseStatementImpl::setParameterBulk(int index, int row, const VqbDatavar& value) try {
    RDA_STMT_LOCKED;
    // Rows of a bulk statement are sent together: one cannot be compared whole on its own.
    if (RDA_BigString::storedApart(value, owner_->compareTextLen_INT()) && comparedSlot(index) == 1)
        return owner_->fail(kSource, __LINE__,
                            VqbString::format("A bulk statement cannot compare the text of value %d: it is longer "
                                              "than %d bytes or shaped like a big-string reference. Compare it "
                                              "through paramSelect or paramExec.",
                                              index, owner_->compareTextLen_INT()));
    return setParameterBulk_INT(index, row, value);
} catch (...) {
    return owner_->caught(__LINE__, false);
}

bool RDA_BaseStatementImpl::execute() try {
    RDA_STMT_LOCKED;
    owner_->noteStatement(sql_, unsettles_);
    RDA_WholeTexts kept;
    if (!wholeValues(kept)) return execute_INT();
    // Compared as the parameterised call compares it: the prepared statement is left unused.
    const RDA_Params params{kept.pointers.data(), static_cast<int>(kept.pointers.size())};
    return owner_->compareWhole(sql_, params, false, [&](const VqbString& text, const RDA_Params& bound) {
        return owner_->paramExec_INT(text, nullptr, bound);
    });
} catch (...) {
    return owner_->caught(__LINE__, false);
}

ReposDataAccessCursor* RDA_BaseStatementImpl::select() try {
    RDA_STMT_LOCKED;
    owner_->noteStatement(sql_, unsettles_);
    RDA_WholeTexts kept;
    if (!wholeValues(kept)) {
        ReposDataAccessCursor* cursor = select_INT();
        RDA_BaseImpl::handOut(cursor, unsettles_);
        return cursor;
    }
    const RDA_Params params{kept.pointers.data(), static_cast<int>(kept.pointers.size())};
    return owner_->compareWhole(sql_, params, static_cast<ReposDataAccessCursor*>(nullptr),
                                [&](const VqbString& text, const RDA_Params& bound) {
                                    return owner_->paramSelect_INT(text, bound);
                                });
} catch (...) {
    return owner_->caught(__LINE__, nullptr);
}

VqbString RDA_BaseStatementImpl::getErrorMessage() try {
    RDA_STMT_LOCKED;
    return getErrorMessage_INT();
} catch (...) {
    return owner_->caught(__LINE__, VqbString(""));
}

void RDA_BaseStatementImpl::release() try {
    {
        RDA_STMT_LOCKED;
        release_INT();
    }
    delete this;
} catch (...) {
    owner_->caught(__LINE__);
}

#undef RDA_STMT_LOCKED

// ---- cursors

#define RDA_CURS_LOCKED RDA_LockScope scope(owner_, kSource, __LINE__, "CURS", id_)

RDA_BaseCursorImpl::RDA_BaseCursorImpl(RDA_BaseImpl* owner, const VqbString& sql, const char* name)
    : owner_(owner), sql_(sql), logger_(owner->logger()), id_(RDA_BaseImpl::nextInstanceId()), name_(name) {}

VqbString RDA_BaseCursorImpl::tag() const {
    return VqbString::format("%s%d_%s%d", "REPO", owner_->instanceId(), "CURS", id_);
}

void RDA_BaseImpl::handOut(ReposDataAccessCursor* cursor, signed char unsettles) {
    // A statement known to leave the blocks alone has nothing to do at its first step.
    if (unsettles == 0) return;
    if (auto* own = dynamic_cast<RDA_BaseCursorImpl*>(cursor)) own->awaitFirstStep(unsettles);
}

int RDA_BaseCursorImpl::next() try {
    RDA_CURS_LOCKED;
    if (firstStep_) firstStep();
    return next_INT();
} catch (...) {
    return owner_->caught(__LINE__, 2);
}

int RDA_BaseCursorImpl::getNumCols() try {
    RDA_CURS_LOCKED;
    return getNumCols_INT();
} catch (...) {
    return owner_->caught(__LINE__, 0);
}

VqbString RDA_BaseCursorImpl::getColName(int i) try {
    RDA_CURS_LOCKED;
    return getColName_INT(i);
} catch (...) {
    return owner_->caught(__LINE__, VqbString(""));
}

VqbString RDA_BaseCursorImpl::getString(int i) try {
    RDA_CURS_LOCKED;
    return getString_INT(i);
} catch (...) {
    return owner_->caught(__LINE__, VqbString(""));
}

int RDA_BaseCursorImpl::getInt(int i) { return getValue(i).asInt(); }

double RDA_BaseCursorImpl::getDouble(int i) { return getValue(i).asDouble(); }

bool RDA_BaseCursorImpl::isNull(int i) { return getValue(i).isNull(); }

VqbDatavar RDA_BaseCursorImpl::getValue(int i) try {
    RDA_CURS_LOCKED;
    return getValue_INT(i);
} catch (...) {
    return owner_->caught(__LINE__, VqbDatavar());
}

void RDA_BaseCursorImpl::release() try {
    {
        RDA_CURS_LOCKED;
        release_INT();
        cache_.clear();
    }
    delete this;
} catch (...) {
    owner_->caught(__LINE__);
}

bool RDA_BaseCursorImpl::cacheAll() try {
    RDA_CURS_LOCKED;
    if (firstStep_) firstStep();
    return cacheAll_INT();
} catch (...) {
    return owner_->caught(__LINE__, false);
}

bool RDA_BaseCursorImpl::copyRowsInto(ReposRowStore& store, unsigned maxRows) {
    RDA_CURS_LOCKED;
    if (firstStep_) firstStep();
    struct Unlocked {
        RDA_BaseCursorImpl* cursor;
        int next() { return cursor->next_INT(); }
        int getNumCols() { return cursor->getNumCols_INT(); }
        VqbString getColName(int i) { return cursor->getColName_INT(i); }
        VqbDatavar getValue(int i) { return cursor->getValue_INT(i); }
    } source{this};
    return store.load(source, maxRows);
}

#undef RDA_CURS_LOCKED

int RDA_BaseCursorImpl::next_INT() {
    RDA_TRACE("%s::next_INT [%s]", name_, tag().asCstr());
    return cached_ ? cache_.next() : liveNext();
}

int RDA_BaseCursorImpl::getNumCols_INT() {
    RDA_TRACE("%s::getNumCols_INT [%s]", name_, tag().asCstr());
    return cached_ ? cache_.columnCount() : liveNumCols();
}

VqbString RDA_BaseCursorImpl::getColName_INT(int i) {
    RDA_TRACE("%s::getColName_INT [%s]", name_, tag().asCstr());
    return cached_ ? cache_.colName(i) : liveColName(i);
}

VqbString RDA_BaseCursorImpl::getString_INT(int i) {
    RDA_TRACE("%s::getString_INT [%s]", name_, tag().asCstr());
    VqbDatavar value = getValue_INT(i);
    return value.isNull() ? VqbString("") : value.asString();
}

VqbDatavar RDA_BaseCursorImpl::getValue_INT(int i) {
    RDA_TRACE("%s::getValue_INT [%s]", name_, tag().asCstr());
    // One named result, built in place, so the value is never moved on its way out.
    bool reference = false;
    VqbDatavar value = cached_ ? cache_.getValue(i) : liveValue(i, &reference);
    if (cached_ ? cachedReferences_ : reference) resolveBigString(value);
    return value;
}

bool RDA_BaseCursorImpl::cacheAll_INT() {
    RDA_TRACE("%s::cacheAll_INT [%s]", name_, tag().asCstr());
    if (cached_) return true;
    if (liveNumCols() <= 0) return false;
    // Values are kept as stored; reads resolve references, and only when one was seen.
    struct Live {
        RDA_BaseCursorImpl* cursor;
        int next() { return cursor->liveNext(); }
        int getNumCols() { return cursor->liveNumCols(); }
        VqbString getColName(int i) { return cursor->liveColName(i); }
        VqbDatavar getValue(int i) {
            bool reference = false;
            VqbDatavar value = cursor->liveValue(i, &reference);
            if (reference) cursor->cachedReferences_ = true;
            return value;
        }
    } source{this};
    cached_ = true;
    return cache_.load(source, 0);
}

void RDA_BaseCursorImpl::resolveBigString(VqbString& text) {
    if (!RDA_BigString::hasPrefix(text)) return;
    VqbString resolved;
    if (owner_->getBigString_INT(text, &resolved, nullptr)) text = std::move(resolved);
}

void RDA_BaseCursorImpl::resolveBigString(VqbDatavar& value) {
    if (value.getType() != VQB_TYPE_STRING) return;
    VqbString text = value.asString();
    if (!RDA_BigString::hasPrefix(text)) return;
    resolveBigString(text);
    value = VqbDatavar(text);
}
