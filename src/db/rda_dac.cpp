// The connector back end: connecting (own or pooled connection), what the DBMS reports, names,
// transactions, statement creation, bulk load and closing.
#include "rda_dac.h"

#include <cstring>
#include <new>

#include "rda_dac_factory.h"
#include "rda_factory.h"
#include "reposlog.h"
#include "vqbconfig.h"
#include "vqbmessage.h"
#include "vqbutil.h"

namespace {

const char* const kSource = "rda_dac";
constexpr int kLevelNotice = 2;
constexpr int kDefaultTextLen = 255;
// Room a table name needs behind the prefix: the longest catalogue name and a work-table number.
constexpr int kTableNameRoom = 12;

}  // namespace

RDA_DAC::~RDA_DAC() {
    // release() closes everything; this only guards a set-up that never reached it.
    closeBulkLoader();
}

bool RDA_DAC::failConnector(int line, const VqbString& text) {
    return fail(kSource, line, text.isEmpty() ? reposMessage(1161) : text);
}

VqbString RDA_DAC::quoted(const VqbString& name) { return vqbQuoteIdentifier(name, getIdentifierQuote_INT()); }

VqbString RDA_DAC::prefixAfterDot() const {
    const std::string& p = prefix_.str();
    size_t dot = p.find('.');
    return dot == std::string::npos ? VqbString(p) : VqbString(p.substr(dot + 1));
}

// ---- connecting

bool RDA_DAC::init_INT(const VqbString& connection, const VqbString& prefix, bool /*create*/) {
    // Connection texts may carry passwords: only the masked text is ever logged.
    reposLog(logger_, kLevelNotice, kSource, __LINE__, "RDA_DAC::init_INT [%s] conn [%s] prefix [%s]", tag().asCstr(),
             dacMaskConnectionText(connection).asCstr(), prefix.asCstr());
    pool_.reset();
    pooled_ = false;
    separateBigStrings_ = false;
    VqbConfigOptions* options = vqbGetConfigOptions("REPOSITORY");
    if (!options) return fail(kSource, __LINE__, reposMessage(292));

    poolId_.setNull();
    options->get("POOL_ID", poolId_);
    if (!poolId_.isEmpty()) {
        pool_.reset(new (std::nothrow) ConnShareSingleton());
        if (!pool_) return fail(kSource, __LINE__, reposMessage(530));
        if (pool_->initialise(0)) {
            connection_ = pool_->getConnection(poolId_, connection, &lastError_, nullptr, 0);
            pooled_ = connection_ != nullptr;
        }
        if (!pooled_)
            reposLog(logger_, kLevelNotice, kSource, __LINE__,
                     "RDA_DAC::init_INT [%s] pool [%s] gave no connection (%s); connecting directly", tag().asCstr(),
                     poolId_.asCstr(), dacMaskConnectionText(lastError_).asCstr());
    }

    if (dataSource_) dataSource_->destroy();
    dataSource_ = dacCreateDataSource(0);
    lastError_.setNull();
    if (!dataSource_) return fail(kSource, __LINE__, reposMessage(1049));
    // The data-source info also opens the big-string connection, so a pooled connection keeps it.
    bool configured = dataSource_->configure(connection, dataSourceInfo_, 0, 0);
    if (!pooled_) {
        if (!configured) return failConnector(__LINE__, dataSource_->getErrorText());
        connection_ = dataSource_->openConnection(dataSourceInfo_, 0, 0);
        if (!connection_) return failConnector(__LINE__, dataSource_->getErrorText());
    }

    auto refuse = [&]() {
        VqbString keep = lastError_;
        idle_.drop();
        if (pooled_)
            pool_->disconnect(poolId_);
        else
            connection_->close();
        connection_ = nullptr;
        pooled_ = false;
        lastError_ = keep;
        return false;
    };

    prefix_ = prefix.isNull() ? VqbString("") : prefix;
    if (dbmsKind() != RDA_DAC_KIND_LOWER_COLUMNS) prefix_.uppercase();

    VqbDatavar info;
    // The statement reader quotes as the DBMS does.
    if (connection_->getInfo(DAC_INFO_DBMS_NAME, info)) {
        const VqbString name = info.asString();
        if (name.equals("SQLite", false)) sqlDialect_ = RDA_SqlDialect::Sqlite;
        if (name.equals("PostgreSQL", false)) sqlDialect_ = RDA_SqlDialect::Postgres;
    }
    if (connection_->getInfo(DAC_INFO_STATEMENT_MODE, info) && info.asInt64() == 1) {
        separateBigStrings_ = true;
        bigStringConnection_ = nullptr;
    } else {
        bigStringConnection_ = connection_;
    }

    if (!checkDatabaseSupported_INT()) {
        logError(kSource, __LINE__, reposMessage(290));
        return refuse();
    }
    if (connection_->getInfo(DAC_INFO_MAX_IDENTIFIER, info)) {
        int64_t longest = info.asInt64();
        if (longest != 0 && longest - static_cast<int64_t>(prefix_.cStrSize()) - kTableNameRoom < 0) {
            fail(kSource, __LINE__, reposMessage(1533));
            return refuse();
        }
    }
    connectionMode3_ = connection_->getConnectionMode() == DAC_MODE_EMBEDDED;
    loadDbmsMaxTextLen();
    loadMaxTextLen();
    return true;
}

void RDA_DAC::loadDbmsMaxTextLen() {
    VqbDatavar info;
    int64_t length = kDefaultTextLen;
    if (connection_->getInfo(DAC_INFO_MAX_CHAR_LENGTH, info) && info.asInt64() > 0) length = info.asInt64();
    if (dbmsKind() != RDA_DAC_KIND_LONG_TEXT && length > kDefaultTextLen) length = kDefaultTextLen;
    if (length > 0x7fffffff) length = 0x7fffffff;
    maxTextLen_ = static_cast<int32_t>(length);
}

void RDA_DAC::loadMaxTextLen() {
    // A repository not created yet has no KEYVAL table: that is no failure worth a log entry.
    if (!reposHold(lookupTable(getTableName_INT("KEYVAL", false, -1)))) return;
    VqbString sql = VqbString::format("SELECT V_VALUE FROM %s WHERE V_KEY = 'MAX_TEXT_LEN'",
                                      getTableName_INT("KEYVAL", true, -1).asCstr());
    int64_t value = 0;
    if (singleValue(sql, VqbString(""), RDA_Params{}, &value) && value > 0 && value <= 0x7fffffff)
        maxTextLen_ = static_cast<int32_t>(value);
}

bool RDA_DAC::storeMaxTextLen() {
    VqbString table = getTableName_INT("KEYVAL", true, -1);
    const VqbString statements[] = {
        VqbString::format("DELETE FROM %s WHERE V_KEY='MAX_TEXT_LEN'", table.asCstr()),
        VqbString::format("INSERT INTO %s (V_KEY,V_VALUE) VALUES ('MAX_TEXT_LEN','%d')", table.asCstr(),
                          static_cast<int>(maxTextLen_)),
    };
    for (const VqbString& sql : statements) {
        if (scriptMode()) {
            ddlCallback_->writeDDL(sql);
            continue;
        }
        status()->reportMessage(sql);
        if (!paramExec_INT(sql, nullptr, RDA_Params{})) {
            status()->reportMessage(lastError_);
            return false;
        }
    }
    return true;
}

void RDA_DAC::closeBulkLoader() {
    if (bulkLoader_) bulkLoader_->close();
    bulkLoader_ = nullptr;
}

void RDA_DAC::close_INT() {
    idle_.drop();  // before the connection they were prepared on goes
    if (dataSource_) dataSource_->destroy();
    dataSource_ = nullptr;
    if (separateBigStrings_ && bigStringConnection_ && bigStringConnection_ != connection_)
        bigStringConnection_->close();
    bigStringConnection_ = nullptr;
    closeBulkLoader();
    if (pooled_) {
        pool_->disconnect(poolId_);
    } else if (connection_) {
        connection_->close();
    }
    pool_.reset();
    pooled_ = false;
    connection_ = nullptr;
}

bool RDA_DAC::checkDatabaseSupported_INT() {
    if (!connection_) return fail(kSource, __LINE__, reposMessage(1161));
    VqbDatavar name;
    if (!connection_->getInfo(DAC_INFO_DBMS_NAME, name)) return true;
    VqbString upper = name.asString();
    upper.uppercase();
    static const char* const kRefused[] = {"SAP", "BASE"};
    for (const char* refused : kRefused)
        if (upper == VqbString(refused)) return fail(kSource, __LINE__, reposMessage(1541));
    return true;
}

// ---- names

VqbString RDA_DAC::getSchemaName_INT() {
    const std::string& p = prefix_.str();
    size_t dot = p.find('.');
    // An empty schema part names no schema; qualifying with it would give invalid SQL.
    if (dot == std::string::npos || dot == 0) return VqbString();
    return VqbString(p.substr(0, dot));
}

VqbString RDA_DAC::getTableName_INT(const char* table, bool qualified, int suffix) {
    VqbString name = prefixAfterDot();
    name.append(table ? table : "");
    if (suffix >= 0) name.append(VqbString::format("%d", suffix));
    if (!qualified) return name;
    VqbString schema = getSchemaName_INT();
    if (schema.isNull()) return quoted(name);
    VqbString out = quoted(schema);
    out.append('.');
    out.append(quoted(name));
    return out;
}

VqbString RDA_DAC::getIndexName_INT(int number, const VqbString& table) {
    VqbString name = prefixAfterDot();
    if (name.isEmpty()) name = VqbString("VQ");
    name.append(table);
    name.append(VqbString::format("%d", number));
    return name;
}

VqbString RDA_DAC::getIdentifierQuote_INT() { return connection_ ? connection_->getIdentifierQuote() : VqbString(""); }

VqbString RDA_DAC::columnName(const char* name) {
    VqbString column(name ? name : "");
    if (dbmsKind() == RDA_DAC_KIND_LOWER_COLUMNS) column.lowercase();
    return column;
}

// ---- transactions (the frame counts the levels; the connector's transaction is single-level)

bool RDA_DAC::beginTransaction_INT(bool exclusive, bool* busy) {
    lastError_.setNull();
    if (busy) *busy = false;
    if (scriptMode()) return true;
    // A level nested in an open one takes nothing: the outermost begin decided the locking.
    if (!enterLevel()) return true;
    RDA_TRACE("RDA_DAC::beginTransaction_INT [%s] exclusive [%d]", tag().asCstr(), exclusive ? 1 : 0);
    if (!connection_) {
        undoLevel();
        return fail(kSource, __LINE__, reposMessage(1161));
    }
    bool begun = false;
    try {
        begun = beginOnConnection(exclusive, busy);
    } catch (...) {
        undoLevel();  // a BEGIN that never ran opened no level
        throw;
    }
    if (begun) return true;
    undoLevel();
    return failConnector(__LINE__, connection_->getErrorText());
}

bool RDA_DAC::beginOnConnection(bool exclusive, bool* busy) {
    exclusiveOpen_ = exclusive;
    if (!exclusive) return connection_->beginTransaction();
    // Every connection to one repository names it alike: its schema (none for the default)
    // and the prefix without it.
    VqbString repository = getSchemaName_INT();
    if (repository.isNull()) repository = VqbString("");
    repository.append('.');
    repository.append(prefixAfterDot());
    return connection_->beginExclusiveTransaction(repository, busy);
}

bool RDA_DAC::endTransaction_INT(bool commit) {
    if (scriptMode()) return true;
    switch (leaveLevel(kSource, __LINE__)) {
        case LevelEnd::NoOpenLevel:
            return false;
        case LevelEnd::Inner:
            return true;
        case LevelEnd::Outermost:
            break;
    }
    RDA_TRACE("RDA_DAC::endTransaction_INT [%s] commit [%d]", tag().asCstr(), commit ? 1 : 0);
    if (!connection_) return fail(kSource, __LINE__, reposMessage(1161));
    if (connection_->endTransaction(commit)) return true;
    return endFailed(kSource, __LINE__, connection_->getErrorText());
}

// ---- statements

ReposDataAccessStatement* RDA_DAC::createStatement_INT(const VqbString& sql) {
    RDA_TRACE("RDA_DAC::createStatement_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    return prepareStatement(sql, false);
}

ReposDataAccessStatement* RDA_DAC::createBulkStatement_INT(const VqbString& sql, int /*rows*/) {
    RDA_TRACE("RDA_DAC::createBulkStatement_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    return prepareStatement(sql, true);
}

ReposDataAccessStatement* RDA_DAC::prepareStatement(const VqbString& sql, bool batch) {
    lastError_.setNull();
    if (scriptMode() || !connection_) {
        fail(kSource, __LINE__, reposMessage(1161));
        return nullptr;
    }
    const bool recycle = !batch && !isQueryText(sql);
    ReposHeld<DacStatement> statement;
    if (recycle) {
        statement.reset(takeStatement(sql));
        if (!statement) return nullptr;
    } else {
        statement.reset(batch ? connection_->prepareBatch(sql) : connection_->prepare(sql));
        if (!statement) {
            failConnector(__LINE__, connection_->getErrorText());
            return nullptr;
        }
    }
    RDA_DACStatement* result = new (std::nothrow) RDA_DACStatement(this, sql, statement.get(), recycle);
    if (!result) {
        if (recycle) giveBack(sql, statement.release(), true);
        fail(kSource, __LINE__, reposMessage(530));
        return nullptr;
    }
    statement.release();  // the result's now
    return result;
}

DacConnection* RDA_DAC::getConnection_INT() {
    if (connection_) connection_->handOut();
    return connection_;
}

// ---- bulk load

bool RDA_DAC::supportsBulkLoad_INT() { return connection_ && connection_->getConnectionMode() == DAC_MODE_BULK; }

bool RDA_DAC::bulkLoadBegin_INT(int batchSize, const VqbString& table, const ColumnSpecList& columns) {
    closeBulkLoader();
    if (columns.empty()) return fail(kSource, __LINE__, VqbString("Invalid bulk load column list"));
    if (!connection_) return fail(kSource, __LINE__, reposMessage(1161));
    VqbString select("SELECT ");
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) select.append(", ");
        const ColumnSpec& c = columns[i];
        select.append(quoted(columnName(std::string(c.name, strnlen(c.name, sizeof c.name)).c_str())));
    }
    select.append(" FROM ");
    // Qualified: the loader writes to the schema it is given, not to the default one.
    select.append(getTableName_INT(table.asCstr(), true, -1));
    RDA_TRACE("RDA_DAC::bulkLoadBegin_INT [%s] sql [%s]", tag().asCstr(), select.asCstr());
    bulkLoader_ = connection_->openBulkLoader(select, batchSize);
    if (!bulkLoader_) return failConnector(__LINE__, connection_->getErrorText());
    return true;
}

bool RDA_DAC::bulkLoadRow_INT(const RDA_Params& values) {
    if (!bulkLoader_) return fail(kSource, __LINE__, VqbString("Bulk load not initialized"));
    if (values.count != bulkLoader_->getColumnCount())
        return fail(kSource, __LINE__, VqbString("Num of insert values doesn't match column count"));
    bool ok = true;
    for (int i = 0; ok && i < values.count; ++i) {
        VqbDatavar value = values.at(i) ? *values.at(i) : VqbDatavar();
        // A long text goes to the big-string table as it would through a statement.
        if (value.getType() == VQB_TYPE_STRING && maxTextLen_ > 0 &&
            value.asString().cStrSize() > static_cast<size_t>(maxTextLen_)) {
            VqbString reference;
            if (!storeLongText(value.asString(), &reference)) {
                closeBulkLoader();
                return false;
            }
            value = VqbDatavar(reference);
        }
        ok = bulkLoader_->setValue(i, value);
    }
    if (ok && bulkLoader_->addRow()) return true;
    VqbString text = bulkLoader_->getErrorText();
    closeBulkLoader();
    return failConnector(__LINE__, text);
}

bool RDA_DAC::bulkLoadEnd_INT(bool flush) {
    if (!bulkLoader_) return fail(kSource, __LINE__, VqbString("Bulk load not initialized"));
    if (flush && !bulkLoader_->flush()) {
        VqbString text = bulkLoader_->getErrorText();
        closeBulkLoader();
        return failConnector(__LINE__, text);
    }
    closeBulkLoader();
    return true;
}

// ---- creation

ReposDataAccess* createDacDataAccess(const VqbString& connection, const VqbString& tablePrefix,
                                     RepositoryStatusCallback* callback, VqbString& error) {
    return RDA_BaseImpl::ready(new (std::nothrow) RDA_DAC(), kSource, connection, tablePrefix, false, callback, error);
}
