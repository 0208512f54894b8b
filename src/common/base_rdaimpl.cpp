#include "base_rdaimpl.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "rda_impl.h"
#include "repos_cursors.h"
#include "repos_guard.h"
#include "repos_held.h"
#include "repos_reasons.h"
#include "reposlog.h"
#include "vqbconfig.h"
#include "vqbmessage.h"

namespace {

const char* const kSource = "base_rdaimpl";

// The connection's parameterised calls take their values as a variable argument list: one call per
// count, chosen from a table, passes a statement's values however many it has.
// No back end keeps texts of this many bytes or fewer apart, unless they look like references.
constexpr size_t kShortestLimit = 255;

template <size_t... N>
ReposDataAccessCursor* selectWith(ReposDataAccess* c, const VqbString& sql, const VqbDatavar* v,
                                  std::index_sequence<N...>) {
    return c->paramSelect(sql, static_cast<int>(sizeof...(N)), &v[N]...);
}
template <size_t... N>
bool execWith(ReposDataAccess* c, const VqbString& sql, int* rows, const VqbDatavar* v, std::index_sequence<N...>) {
    return c->paramExec(sql, rows, static_cast<int>(sizeof...(N)), &v[N]...);
}
template <size_t Count>
ReposDataAccessCursor* selectCount(ReposDataAccess* c, const VqbString& sql, const VqbDatavar* v) {
    return selectWith(c, sql, v, std::make_index_sequence<Count>());
}
template <size_t Count>
bool execCount(ReposDataAccess* c, const VqbString& sql, int* rows, const VqbDatavar* v) {
    return execWith(c, sql, rows, v, std::make_index_sequence<Count>());
}

using SelectCall = ReposDataAccessCursor* (*)(ReposDataAccess*, const VqbString&, const VqbDatavar*);
using ExecCall = bool (*)(ReposDataAccess*, const VqbString&, int*, const VqbDatavar*);

template <size_t... Counts>
constexpr std::array<SelectCall, sizeof...(Counts)> selectCalls(std::index_sequence<Counts...>) {
    return {{&selectCount<Counts>...}};
}
template <size_t... Counts>
constexpr std::array<ExecCall, sizeof...(Counts)> execCalls(std::index_sequence<Counts...>) {
    return {{&execCount<Counts>...}};
}

const auto kSelectCalls = selectCalls(std::make_index_sequence<BaseRDAImpl::kMaxValues + 1>());
const auto kExecCalls = execCalls(std::make_index_sequence<BaseRDAImpl::kMaxValues + 1>());

}  // namespace

BaseRDAImpl::BaseRDAImpl(ReposDataAccess* connection)
    : connection_(connection), logger_(vqlogGetLogger(REPOS_LOGGER_BASERDA)) {}

BaseRDAImpl::~BaseRDAImpl() = default;

bool BaseRDAImpl::beginTransaction(bool exclusive, bool* busy) try { return beginLevel(exclusive, false, busy); } catch (...) {
    return caught(__LINE__, false);
}

bool BaseRDAImpl::endTransaction(bool commit) try { return endLevel(commit); } catch (...) {
    return caught(__LINE__, false);
}

bool BaseRDAImpl::beginLevel(bool exclusive, bool write, bool* busy) {
    if (!connection_) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(1161).asCstr());
        return false;
    }
    return write ? RDA_BaseImpl::beginWriteLevel(connection_, exclusive, busy)
                 : connection_->beginTransaction(exclusive, busy);
}

bool BaseRDAImpl::endLevel(bool commit) {
    if (!connection_) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(1161).asCstr());
        return false;
    }
    return connection_->endTransaction(commit);
}

VqbString BaseRDAImpl::getErrorMessage() try {
    if (caughtText_[0]) return VqbString(caughtText_);
    return connection_ ? connection_->getGeneralErrorMessage() : VqbString(kReposNoConnection);
} catch (...) {
    return caught(__LINE__, VqbString());
}

void BaseRDAImpl::setDDLCallback(ReposDDLCallback* callback) try {
    if (!connection_) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(1161).asCstr());
        return;
    }
    connection_->setDDLCallback(callback);
} catch (...) {
    caught(__LINE__);
}

void BaseRDAImpl::release() {
    connection_ = nullptr;
    delete this;
}

bool BaseRDAImpl::noConnection(int line) {
    reposLog(logger_, 5, kSource, line, "%s", kReposNoConnection);
    return false;
}

bool BaseRDAImpl::checkConnection(const char* source, int line) {
    // Each statement starts afresh: the text of an exception caught before is no longer the last error.
    caughtText_[0] = '\0';
    if (connection_) {
        failuresAtStart_ = RDA_BaseImpl::failuresLogged(connection_);
        return true;
    }
    reposLog(logger_, 5, source, line, "%s", kReposNoConnection);
    return false;
}

bool BaseRDAImpl::logFailure(const char* source, int line) {
    if (!connection_) return checkConnection(source, line);
    return logFailure(source, line, connection_->getGeneralErrorMessage());
}

bool BaseRDAImpl::logFailure(const char* source, int line, const VqbString& text) {
    if (!connection_) return checkConnection(source, line);
    // The connection logs each failure it has a detail for; a text above it would only repeat it.
    // Only a failure logged since this statement began counts: an earlier one says nothing of it.
    if (RDA_BaseImpl::failuresLogged(connection_) == failuresAtStart_)
        reposLog(logger_, 5, source, line, "%s", text.asCstr());
    return false;
}

ReposDataAccessCursor* BaseRDAImpl::cacheCursor(ReposDataAccessCursor* live, unsigned maxRows) try {
    // A part-read live cursor would look like a complete result to the caller: it ends here.
    ReposHeld<ReposDataAccessCursor> source(live);
    if (!source) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(1161).asCstr());
        return nullptr;
    }
    ReposHeld<ReposCacheCursor> cache(new (std::nothrow) ReposCacheCursor());
    if (!cache) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(530).asCstr());
        return nullptr;
    }
    bool loaded = false;
    try {
        loaded = cache->loadFrom(source.get(), maxRows);
    } catch (const std::bad_alloc&) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(530).asCstr());
    }
    if (!loaded) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(485).asCstr());
        return nullptr;
    }
    return cache.release();
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool BaseRDAImpl::getFolderPath(int folderId, VqbString& path, VqbString& folderName, VqbString& error) try {
    if (!connection_) return noConnection(__LINE__);
    path = VqbString("");
    if (folderId == 0) return true;
    if (folderId < 0) return false;

    const VqbString sql = onTable("SELECT FLDR_NAM, FLDR_PAR FROM", "FOLDER", " WHERE FLDR_ID = ?");
    std::vector<VqbString> names;  // leaf first
    std::vector<int> visited;
    int current = folderId;
    for (;;) {
        visited.push_back(current);
        ReposHeld<ReposDataAccessCursor> cursor(select(kSource, __LINE__, Sql(sql, {current}), 1));
        if (!cursor) return false;
        if (cursor->next() != 1) {
            error = reposMessage(1167);
            reposLog(logger_, 5, kSource, __LINE__, "%s", error.asCstr());
            return false;
        }
        names.push_back(cursor->getString(0));
        int parent = cursor->getInt(1);
        if (parent == 0) break;
        // A parent met before, or one that can be no folder, would make the walk endless.
        if (parent < 0 || std::find(visited.begin(), visited.end(), parent) != visited.end()) {
            error = reposMessage(1257);
            reposLog(logger_, 5, kSource, __LINE__, "%s", error.asCstr());
            return false;
        }
        current = parent;
    }

    VqbString joined("");
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (it != names.rbegin()) joined.append('/');
        joined.append(*it);
    }
    path.append(joined);
    folderName = names.front();
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* BaseRDAImpl::getObjectRow(int id, const VqbString& typeName, VqbString& error) try {
    if (!connection_) {
        noConnection(__LINE__);
        return nullptr;
    }
    ObjectTypeCatalog catalog(this);
    const ObjectTypeInfo* type = catalog.findType(typeName);
    if (!type) {
        error = VqbString::format("Unable to find type: %s", typeName.asCstr());
        reposLog(logger_, 5, kSource, __LINE__, "%s", error.asCstr());
        return nullptr;
    }
    return select(kSource, __LINE__, Sql(objectRowSelect(*type)).where(type->getIdColumn().asCstr(), id));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool BaseRDAImpl::getObjectPath(int id, const VqbString& typeName, VqbString& path, VqbString& uuid,
                                VqbString& error) try {
    VqbString rowError;
    ReposHeld<ReposDataAccessCursor> cursor(getObjectRow(id, typeName, rowError));
    if (!cursor) return false;
    VqbString name("");
    VqbString objectUuid("");
    int folderId = -1;
    if (cursor->next() == 1) {
        name = cursor->getString(REPOS_OBJROW_NAME);
        folderId = cursor->getInt(REPOS_OBJROW_FOLDER);
        objectUuid = cursor->getString(REPOS_OBJROW_UUID);
    }
    cursor.reset();
    if (!objectUuid.isEmpty()) uuid = objectUuid;
    if (name.isEmpty()) return false;

    VqbString folderPath;
    VqbString folderName;
    if (!getFolderPath(folderId, folderPath, folderName, error)) return false;
    path = folderPath;
    if (!folderPath.isEmpty()) path.append('/');
    path.append(name);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

VqbString BaseRDAImpl::tableName(const char* table) {
    return connection_ ? connection_->getTableName(table, true, -1) : VqbString("");
}

VqbString BaseRDAImpl::objectRowSelect(const ObjectTypeInfo& type) {
    return type.objectRowSelect(tableName(type.getTable().asCstr()));
}

bool BaseRDAImpl::refuse(const char* source, int line, const VqbString& message) {
    reposLog(logger_, 5, source, line, "%s", message.asCstr());
    return false;
}

void BaseRDAImpl::recordCaught(int line) noexcept {
    const char* text = reposCaughtText();
    std::strncpy(caughtText_, text, sizeof caughtText_ - 1);
    caughtText_[sizeof caughtText_ - 1] = '\0';
    try {
        reposLog(logger_, 5, kSource, line, "%s", caughtText_);
    } catch (...) {
        // The failure value and the text still reach the caller.
    }
}

// ---- the statement engine

BaseRDAImpl::Sql::Sql(const VqbString& text, std::initializer_list<VqbDatavar> values) : text_(text), values_(values) {}

BaseRDAImpl::Sql& BaseRDAImpl::Sql::condition(const char* text) {
    text_.append(hasWhere_ ? " AND " : " WHERE ");
    text_.append(text);
    hasWhere_ = true;
    return *this;
}

BaseRDAImpl::Sql& BaseRDAImpl::Sql::where(const char* column, const VqbDatavar& value) {
    condition(column);
    text_.append("=?");
    return bind(value);
}

BaseRDAImpl::Sql& BaseRDAImpl::Sql::whereIn(const char* column, const uint32_t* ids, size_t count) {
    condition(column);
    text_.append(" IN ");
    text_.append(markerList(count));
    for (size_t i = 0; i < count; ++i) bind(idValue(ids[i]));
    return *this;
}

BaseRDAImpl::Sql& BaseRDAImpl::Sql::whereText(const char* column, const VqbString& text) {
    return text.isEmpty() ? *this : where(column, VqbDatavar(text));
}

BaseRDAImpl::Sql& BaseRDAImpl::Sql::whereNullAsEmpty(const char* column, const VqbString& text) {
    const VqbDatavar value(text.isNull() ? VqbString("") : text);
    condition("COALESCE(");
    text_.append(column);
    text_.append(",'')=?");
    bind(value);
    // The connection compares "<column>=?" whole for a text kept apart (the given text or its
    // references: a superset of the rows above), but a reference-shaped text only through the
    // big strings holding it, which would drop a row that stores that very reference.
    if (text.isEmpty() || RDA_BigString::isReference(value)) return *this;
    return where(column, value);
}

BaseRDAImpl::Sql& BaseRDAImpl::Sql::bind(const VqbDatavar& value) {
    values_.push_back(value);
    return *this;
}

BaseRDAImpl::Sql& BaseRDAImpl::Sql::append(const char* text) {
    text_.append(text);
    return *this;
}

ReposDataAccessCursor* BaseRDAImpl::select(const char* source, int line, const Sql& sql, unsigned maxRows) {
    if (!checkConnection(source, line)) return nullptr;
    const size_t count = sql.values().size();
    if (count > kMaxValues) {
        refuse(source, line, VqbString::format("A statement takes at most %d values", static_cast<int>(kMaxValues)));
        return nullptr;
    }
    ReposDataAccessCursor* live = kSelectCalls[count](connection_, sql.text(), sql.values().data());
    if (!live) {
        logFailure(source, line);
        return nullptr;
    }
    ReposDataAccessCursor* cached = cacheCursor(live, maxRows);
    if (!cached) logFailure(source, line);
    return cached;
}

bool BaseRDAImpl::selectIn(const char* source, int line, const VqbString& head, const std::vector<VqbDatavar>& values,
                           const std::function<bool(ReposDataAccessCursor*)>& each) {
    return inChunks(head, "", {}, values, [&](const Sql& sql) {
        ReposHeld<ReposDataAccessCursor> rows(select(source, line, sql));
        return rows && each(rows.get());
    });
}

bool BaseRDAImpl::run(const char* source, int line, const Sql& sql, int* rowsAffected) {
    if (!checkConnection(source, line)) return false;
    const size_t count = sql.values().size();
    if (count > kMaxValues)
        return refuse(source, line,
                      VqbString::format("A statement takes at most %d values", static_cast<int>(kMaxValues)));
    std::vector<VqbDatavar> kept;
    if (!RDA_BigString::keepOwnTexts(connection_, sql.text(), sql.values(), kept)) return logFailure(source, line);
    const VqbDatavar* values = kept.empty() ? sql.values().data() : kept.data();
    if (kExecCalls[count](connection_, sql.text(), rowsAffected, values)) return true;
    return logFailure(source, line);
}

bool BaseRDAImpl::needsParamPath(const Sql& sql) {
    // A prepared statement binds its texts as given: one that is stored apart (or has to be) goes
    // through the parameterised calls, which compare and store such texts whole.
    bool apart = false;
    for (const VqbDatavar& value : sql.values()) {
        if (value.getType() != VQB_TYPE_STRING) continue;
        if (RDA_BigString::isReference(value)) return true;
        apart = apart || value.textSize() > kShortestLimit;
    }
    if (!apart) return false;
    const int limit = RDA_BaseImpl::compareTextLen(connection_);
    for (const VqbDatavar& value : sql.values())
        if (RDA_BigString::storedApart(value, limit)) return true;
    return false;
}

BaseRDAImpl::Sql BaseRDAImpl::typedNulls(const Sql& sql, const std::vector<ValueInfo>& info) {
    Sql typed(sql);
    std::vector<VqbDatavar>& values = typed.values();
    for (size_t i = 0; i < values.size() && i < info.size(); ++i)
        if (values[i].isNull()) values[i].setType(info[i].type);
    return typed;
}

BaseRDAImpl::Lookup BaseRDAImpl::lookup(const char* source, int line, const Sql& sql, VqbDatavar* first) {
    ReposHeld<ReposDataAccessCursor> rows(select(source, line, sql, 1));
    if (!rows) return Lookup::Failed;
    if (rows->next() != 1) return Lookup::Missing;
    if (first) *first = rows->getValue(0);
    return Lookup::Found;
}

BaseRDAImpl::Lookup BaseRDAImpl::lookupInt(const char* source, int line, const Sql& sql, int64_t& out) {
    VqbDatavar value;
    Lookup found = lookup(source, line, sql, &value);
    if (found == Lookup::Found) out = value.isNull() ? 0 : value.asInt64();
    return found;
}

BaseRDAImpl::Lookup BaseRDAImpl::lookupCount(const char* source, int line, const Sql& sql) {
    int64_t count = 0;
    Lookup found = lookupInt(source, line, sql, count);
    return found == Lookup::Found && count < 1 ? Lookup::Missing : found;
}

bool BaseRDAImpl::insertKeyed(const char* source, int line, const char* idKey, Sql insert, size_t idPosition,
                              uint32_t& id) {
    uint32_t newId = 0;
    if (!nextId(source, line, idKey, newId)) return false;
    std::vector<VqbDatavar>& values = insert.values();
    values.insert(values.begin() + static_cast<std::ptrdiff_t>(std::min(idPosition, values.size())), VqbDatavar(newId));
    if (!run(source, line, insert)) return false;
    id = newId;
    return true;
}

bool BaseRDAImpl::deleteKeyed(const char* source, int line, const KeyedTable* tables, size_t count,
                              const VqbDatavar& key) {
    if (!checkConnection(source, line)) return false;
    // A begin that failed opened no level, so the scope ends none.
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(source, line);
    const VqbDatavar asText = key.isNull() ? key : VqbDatavar(key.asString());
    for (size_t i = 0; i < count; ++i) {
        const KeyedTable& keyed = tables[i];
        if (!run(source, line,
                 Sql(onTable("DELETE FROM", keyed.table)).where(keyed.column, keyed.keyAsText ? asText : key)))
            return false;
    }
    if (!transaction.commit()) return logFailure(source, line);
    return true;
}

VqbString BaseRDAImpl::rowSelect(const char* table) {
    if (!connection_) return VqbString("");
    return VqbString::format("SELECT %s FROM %s", connection_->getColumnList(VqbString(table), "").asCstr(),
                             tableName(table).asCstr());
}

ReposDataAccessCursor* BaseRDAImpl::readRows(const char* source, int line, const RowRead& read,
                                             std::initializer_list<VqbDatavar> keyValues, unsigned maxRows) {
    if (!checkConnection(source, line)) return nullptr;
    Sql sql(rowSelect(read.table));
    const VqbDatavar* value = keyValues.begin();
    for (const char* key : read.keys) {
        if (!key) break;
        if (value == keyValues.end()) {
            reposLog(logger_, 5, source, line, "A read of %s has fewer values than key columns", read.table);
            return nullptr;
        }
        sql.where(key, *value++);
    }
    if (read.orderBy) sql.append(" ORDER BY ").append(read.orderBy);
    return select(source, line, sql, maxRows);
}

VqbString BaseRDAImpl::onTables(const char* format, std::initializer_list<const char*> tables) {
    VqbString text("");
    const char* const* table = tables.begin();
    const char* at = format;
    while (const char* mark = std::strchr(at, '%')) {
        text.append(at, static_cast<size_t>(mark - at));
        if ((mark[1] == 's' || mark[1] == 'S') && table != tables.end()) {
            text.append(tableName(*table++));
        } else if (mark[1] == '%') {
            text.append('%');
        } else {
            text.append(mark, mark[1] ? 2 : 1);
        }
        at = mark[1] ? mark + 2 : mark + 1;
    }
    return text.append(at);
}

VqbString BaseRDAImpl::markerList(size_t count) {
    VqbString text("(");
    for (size_t i = 0; i < count; ++i) text.append(i ? ",?" : "?");
    return text.append(")");
}

VqbString BaseRDAImpl::onTable(const char* verb, const char* table, const char* rest) {
    return VqbString::format("%s %s%s", verb, tableName(table).asCstr(), rest);
}

int BaseRDAImpl::columnIndex(ReposDataAccessCursor* cursor, const char* name) {
    const int columns = cursor ? cursor->getNumCols() : 0;
    for (int i = 0; i < columns; ++i)
        if (cursor->getColName(i).equals(VqbString(name), false)) return i;
    return -1;
}

ReposDataAccessCursor* BaseRDAImpl::findByKey(const char* source, int line, const KeyColumns& columns, int id,
                                              const VqbString& name, const VqbString& uuid) {
    const char* column;
    VqbDatavar key;
    if (id >= 1) {
        column = columns.id;
        key = VqbDatavar(id);
    } else if (!uuid.isEmpty() && columns.uuid) {
        column = columns.uuid;
        key = VqbDatavar(uuid);
    } else if (!name.isEmpty()) {
        column = columns.name;
        key = VqbDatavar(name);
    } else {
        if (!uuid.isEmpty())
            reposLog(logger_, 2, source, line, "%s rows have no uuid; a lookup by uuid alone finds none",
                     columns.table);
        return nullptr;
    }
    const VqbString whole = rowSelect(columns.table);
    ReposDataAccessCursor* rows = select(source, line, Sql(whole).where(column, key));
    if (rows || column == columns.name || name.isEmpty()) return rows;
    return select(source, line, Sql(whole).where(columns.name, VqbDatavar(name)));
}

bool BaseRDAImpl::nextId(const char* source, int line, const char* key, uint32_t& id) {
    if (!checkConnection(source, line)) return false;
    VqbDatavar value;
    if (!connection_->getNextId(VqbString(key), &value) || value.isNull()) return logFailure(source, line);
    id = static_cast<uint32_t>(value.asInt64());
    return true;
}

bool BaseRDAImpl::nextIds(const char* source, int line, const char* key, int count, uint32_t& first) {
    if (!checkConnection(source, line)) return false;
    VqbDatavar value;
    if (!connection_->getNextIds(VqbString(key), count, &value, nullptr) || value.isNull())
        return logFailure(source, line);
    first = static_cast<uint32_t>(value.asInt64());
    return true;
}

BaseRDAImpl::Transaction::Transaction(BaseRDAImpl* owner, bool exclusive)
    : owner_(owner), open_(owner->beginLevel(exclusive, true, nullptr)) {}

BaseRDAImpl::Transaction::~Transaction() {
    try {
        rollback();
    } catch (...) {
        // Ending a level while an exception unwinds must not end the process.
    }
}

bool BaseRDAImpl::Transaction::commit() {
    if (!open_) return false;
    open_ = false;
    return owner_->endLevel(true);
}

void BaseRDAImpl::Transaction::rollback() {
    if (!open_) return;
    open_ = false;
    owner_->endLevel(false);
}

// ---- partial updates and deletes that re-point

BaseRDAImpl::PartialUpdate::PartialUpdate(const VqbString& head) : text_(head) {}

BaseRDAImpl::PartialUpdate& BaseRDAImpl::PartialUpdate::set(const char* column, const VqbDatavar& value,
                                                            bool counts) {
    text_.append(values_.empty() ? " SET " : ", ");
    text_.append(column);
    text_.append("=?");
    values_.push_back(value);
    changes_ = changes_ || counts;
    return *this;
}

BaseRDAImpl::Sql BaseRDAImpl::PartialUpdate::statement() const {
    Sql sql(text_);
    sql.values() = values_;
    return sql;
}

bool BaseRDAImpl::deleteInSteps(const char* source, int line, const DeleteStep* steps, size_t count,
                                const VqbDatavar& key, const std::function<bool()>& guard) {
    if (!checkConnection(source, line)) return false;
    Transaction transaction(this, static_cast<bool>(guard));
    if (!transaction.begun()) return logFailure(source, line);
    if (guard && !guard()) return false;
    for (size_t i = 0; i < count; ++i) {
        const DeleteStep& step = steps[i];
        Sql sql(step.repointTo ? onTable("UPDATE", step.table, VqbString::format(" SET %s=?", step.column).asCstr())
                               : onTable("DELETE FROM", step.table));
        if (step.repointTo) sql.bind(VqbDatavar(step.repointTo));
        if (!run(source, line, sql.where(step.column, key))) return false;
    }
    if (!transaction.commit()) return logFailure(source, line);
    return true;
}

// ---- prepared statements with declared values

BaseRDAImpl::ValueInfo BaseRDAImpl::ownInfo(const VqbDatavar& value) {
    int type = value.isNull() ? value.declaredType() : value.getType();
    if (type == VQB_TYPE_NULL) type = VQB_TYPE_STRING;  // as the parameterised statements bind a bare null
    if (type == VQB_TYPE_DATE) type = VQB_TYPE_REAL;    // dates are stored as reals
    return ValueInfo{type, type == VQB_TYPE_STRING ? kDeclaredTextWidth : 0};
}

ReposDataAccessStatement* BaseRDAImpl::prepareDeclared(const char* source, int line, const Sql& sql,
                                                       const std::vector<ValueInfo>& info) {
    if (!checkConnection(source, line)) return nullptr;
    ReposHeld<ReposDataAccessStatement> statement(connection_->createStatement(sql.text()));
    if (!statement) {
        logFailure(source, line);
        return nullptr;
    }
    const std::vector<VqbDatavar>& values = sql.values();
    for (size_t i = 0; i < values.size(); ++i) {
        const int index = static_cast<int>(i);
        const ValueInfo declared = i < info.size() ? info[i] : ownInfo(values[i]);
        if (!statement->setParameterInfo(index, declared.type, declared.size) ||
            !statement->setParameter(index, values[i])) {
            refuse(source, line, statement->getErrorMessage());
            return nullptr;
        }
    }
    return statement.release();
}

ReposDataAccessCursor* BaseRDAImpl::selectLive(const char* source, int line, const Sql& sql,
                                               const std::vector<ValueInfo>& info) {
    if (!checkConnection(source, line)) return nullptr;
    if (sql.values().size() <= kMaxValues && needsParamPath(sql)) {
        const Sql typed = typedNulls(sql, info);
        ReposDataAccessCursor* live = kSelectCalls[typed.values().size()](connection_, typed.text(), typed.values().data());
        if (!live) logFailure(source, line);
        return live;
    }
    ReposHeld<ReposDataAccessStatement> statement(prepareDeclared(source, line, sql, info));
    if (!statement) return nullptr;
    // The cursor owns what the statement ran; the statement object itself is done with.
    ReposDataAccessCursor* live = statement->select();
    if (!live) refuse(source, line, statement->getErrorMessage());
    return live;
}

ReposDataAccessCursor* BaseRDAImpl::selectPrepared(const char* source, int line, const Sql& sql,
                                                   const std::vector<ValueInfo>& info) {
    ReposDataAccessCursor* live = selectLive(source, line, sql, info);
    if (!live) return nullptr;
    ReposDataAccessCursor* cached = cacheCursor(live, 0);
    if (!cached) logFailure(source, line);
    return cached;
}

bool BaseRDAImpl::runPrepared(const char* source, int line, const Sql& sql, const std::vector<ValueInfo>& info) {
    if (!checkConnection(source, line)) return false;
    if (sql.values().size() <= kMaxValues && needsParamPath(sql)) {
        // Texts stored apart go through the parameterised call. The statement is asked for all
        // the same: a connection that hands out none (writing a DDL script) refuses this write.
        ReposHeld<ReposDataAccessStatement> unbound(connection_->createStatement(sql.text()));
        if (!unbound) return logFailure(source, line);
        return run(source, line, typedNulls(sql, info));
    }
    ReposHeld<ReposDataAccessStatement> statement(prepareDeclared(source, line, sql, info));
    if (!statement) return false;
    if (statement->execute()) return true;
    return refuse(source, line, statement->getErrorMessage());
}
bool BaseRDAImpl::configNumber(const char* key, int64_t& out) {
    VqbConfigOptions* options = vqbGetConfigOptions("");
    VqbString text;
    if (!options || !options->get(VqbString(key), text)) return false;
    bool error = false;
    int64_t value = text.asInt64(&error);
    if (error) return false;
    out = value;
    return true;
}
