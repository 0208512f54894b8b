#include "repmappingimpl.h"

#include <cctype>
#include <new>

#include "repos_guard.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqbutil.h"

namespace {

const char* const kSource = "repmappingimpl";
const unsigned int kNone = 0xFFFFFFFFu;

// MAPCON columns.
enum { kConDsn = 1, kConCatalog = 2, kConSchema = 3, kConTable = 4, kConField = 5, kConType = 6, kConKey = 7 };

bool fail(VqLogger* logger, int line, VqbString* error, const VqbString& text) {
    reposLog(logger, 5, kSource, line, "%s", text.asCstr());
    if (error) *error = text;
    return false;
}

// The handler of an entry point's function-try-block: the caught exception's text as the
// operation's error, logged at level 5.
template <class T>
T caught(VqLogger* logger, int line, VqbString* error, T failure) noexcept {
    const char* text = reposCaughtText();
    try {
        fail(logger, line, error, VqbString(text));
    } catch (...) {
        // The failure value still reaches the caller.
    }
    return failure;
}

VqbDate dateAt(ReposDataAccessCursor* row, int column) {
    return row->isNull(column) ? VqbDate() : VqbDate(row->getDouble(column));
}

// A name pasted into the write-back statement, quoted: it must not be able to end its quoting or
// the statement, whatever quote the source uses.
bool usableName(const VqbString& name) {
    if (name.isEmpty()) return false;
    for (unsigned char c : name.str())
        if (c < 0x20 || c == 0x7f || c == '"' || c == '\'' || c == '`' || c == ';') return false;
    return true;
}

// The connection cache's modes are the connection types 1 to 3; any other type lets the cache
// tell from the text.
int connectMode(int type) { return type >= 1 && type <= 3 ? type : 0; }

// The source connection and statement of one write, ended (rolled back unless committed) at
// scope end.
struct SourceWrite {
    DacConnection* connection = nullptr;
    ReposHeld<DacStatement> statement;
    bool inTransaction = false;

    SourceWrite() = default;
    SourceWrite(const SourceWrite&) = delete;
    SourceWrite& operator=(const SourceWrite&) = delete;
    ~SourceWrite() {
        statement.reset();
        if (!connection) return;
        if (inTransaction) connection->endTransaction(false);
        connection->close();
    }
};

}  // namespace

// ---- FieldMappingAdminImpl

FieldMappingAdminImpl::FieldMappingAdminImpl() : logger_(vqlogGetLogger(REPOS_LOGGER_ROOT)) {}

void FieldMappingAdminImpl::initialise(ReposDataAccess* connection) {
    if (initialised_) return;
    initialised_ = true;
    connection_ = connection;
    if (!connection) return;
    common_.reset(new (std::nothrow) CommonRDAImpl(connection));
    if (!common_) reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(530).asCstr());
}

void FieldMappingAdminImpl::release() { delete this; }

bool FieldMappingAdminImpl::addFieldMapping(VqbString* error, const VqbString& name, const VqbString& description,
                                            const VqbString& user, int folderId, int* id) try {
    if (!common_) return fail(logger_, __LINE__, error, reposMessage(3));
    VqbString uuid;
    vqbGetUUID(uuid);
    VqbDate created = VqbDate::currentDate();
    VqbDate edited = VqbDate::currentDate();
    unsigned int newId = 0;
    if (!common_->addFieldMapping(name, description, uuid, created, edited, user, user, folderId, &newId))
        return fail(logger_, __LINE__, error, common_->getErrorMessage());
    if (id) *id = static_cast<int>(newId);
    return true;
} catch (...) {
    return caught(logger_, __LINE__, error, false);
}

ReposDataAccessCursor* FieldMappingAdminImpl::listFieldMappings(VqbString* error) try {
    if (!common_) {
        fail(logger_, __LINE__, error, reposMessage(3));
        return nullptr;
    }
    ReposDataAccessCursor* rows = common_->listFieldMappings(kNone);
    if (!rows) fail(logger_, __LINE__, error, common_->getErrorMessage());
    return rows;
} catch (...) {
    return caught(logger_, __LINE__, error, nullptr);
}

FieldMappingObject* FieldMappingAdminImpl::openFieldMapping(VqbString* error, int mapId) try {
    if (!common_) {
        fail(logger_, __LINE__, error, reposMessage(3));
        return nullptr;
    }
    // A negative id is the "every mapping" filter of the table's listing, not a mapping.
    if (mapId < 0) {
        fail(logger_, __LINE__, error, reposMessage(1532));
        return nullptr;
    }
    ReposHeld<ReposDataAccessCursor> row(common_->listFieldMappings(static_cast<unsigned int>(mapId)));
    if (!row) {
        fail(logger_, __LINE__, error, common_->getErrorMessage());
        return nullptr;
    }
    if (row->next() != 1) {
        fail(logger_, __LINE__, error, reposMessage(1532));
        return nullptr;
    }
    ReposHeld<FieldMappingImpl> mapping;
    try {
        mapping.reset(new FieldMappingImpl(row.get()));
    } catch (const std::bad_alloc&) {
    }
    if (!mapping || !mapping->initialise(connection_)) {
        fail(logger_, __LINE__, error, reposMessage(530));
        return nullptr;
    }
    // A mapping whose fields cannot be read is not handed out.
    ReposHeld<ReposDataAccessCursor> fields(
        common_->listMappingConnections(static_cast<unsigned int>(mapId), "", "", "", "", kNone, false));
    if (!fields) {
        fail(logger_, __LINE__, error, common_->getErrorMessage());
        return nullptr;
    }
    return mapping.release();
} catch (...) {
    return caught(logger_, __LINE__, error, nullptr);
}

// ---- FieldMappingImpl

FieldMappingImpl::FieldMappingImpl(ReposDataAccessCursor* row) { readHeader(row); }

void FieldMappingImpl::readHeader(ReposDataAccessCursor* row) {
    id_ = row->getInt(0);
    name_ = row->getString(1);
    description_ = row->getString(2);
    uuid_ = row->getString(3);
    createdDate_ = dateAt(row, 4);
    modifiedDate_ = dateAt(row, 5);
    createdBy_ = row->getString(6);
    modifiedBy_ = row->getString(7);
    folderId_ = row->getInt(8);
}

bool FieldMappingImpl::initialise(ReposDataAccess* connection) {
    logger_ = vqlogGetLogger(REPOS_LOGGER_ROOT);
    connections_.reset(new (std::nothrow) ConnCacheSingleton());
    if (!connections_) return false;
    connections_->initialise(0);
    if (connection) {
        common_.reset(new (std::nothrow) CommonRDAImpl(connection));
        if (!common_) return false;
    }
    return true;
}

void FieldMappingImpl::release() { delete this; }

bool FieldMappingImpl::commonFailure(int line, VqbString* error) {
    return fail(logger_, line, error, common_->getErrorMessage());
}

ReposDataAccessCursor* FieldMappingImpl::cursorOrFailure(int line, VqbString* error, ReposDataAccessCursor* cursor) {
    if (!cursor) commonFailure(line, error);
    return cursor;
}

bool FieldMappingImpl::addField(VqbString* error, const VqbString& dsn, const VqbString& catalog,
                                const VqbString& schema, const VqbString& table, const VqbString& field, bool isKey,
                                int type) try {
    if (!common_) return fail(logger_, __LINE__, error, reposMessage(3));
    // The check and the add are one step: two adders of one field must not both find it missing.
    CommonRDAImpl::Transaction transaction(common_.get(), true);
    if (!transaction.begun()) return commonFailure(__LINE__, error);
    // The listing's filters ignore empty names and compare the data source exactly; the table is
    // matched here as the write-back groups it: data source ignoring case, the rest exactly.
    ReposHeld<ReposDataAccessCursor> rows(common_->listMappingConnections(
        static_cast<unsigned int>(id_), "", "", "", table, static_cast<unsigned int>(type), false));
    if (!rows) return commonFailure(__LINE__, error);
    bool mapped = false, otherRole = false, otherValueField = false;
    while (rows->next() == 1) {
        if (!rows->getString(kConDsn).equals(dsn, false) || rows->getString(kConCatalog) != catalog ||
            rows->getString(kConSchema) != schema || rows->getString(kConTable) != table ||
            rows->getInt(kConType) != type)
            continue;
        bool rowIsKey = rows->getInt(kConKey) != 0;
        if (rows->getString(kConField).equals(field, false)) {
            if (rowIsKey == isKey)
                mapped = true;
            else
                otherRole = true;
        } else if (!isKey && !rowIsKey) {
            otherValueField = true;
        }
    }
    rows.reset();
    if (mapped) return true;
    // One column cannot be both a key and the value written under that key.
    if (otherRole) return fail(logger_, __LINE__, error, reposMessage(1936, field.asCstr(), isKey ? "value" : "key"));
    if (otherValueField) return fail(logger_, __LINE__, error, reposMessage(1433, field.asCstr()));
    if (!common_->addMappingConnection(static_cast<unsigned int>(id_), dsn, catalog, schema, table, field, type, isKey))
        return commonFailure(__LINE__, error);
    if (!transaction.commit()) return commonFailure(__LINE__, error);
    return true;
} catch (...) {
    return caught(logger_, __LINE__, error, false);
}

ReposDataAccessCursor* FieldMappingImpl::listTables(VqbString* error) try {
    if (!common_) {
        fail(logger_, __LINE__, error, reposMessage(3));
        return nullptr;
    }
    return cursorOrFailure(__LINE__, error, common_->listMappingTables(static_cast<unsigned int>(id_)));
} catch (...) {
    return caught(logger_, __LINE__, error, nullptr);
}

ReposDataAccessCursor* FieldMappingImpl::listTableFields(VqbString* error, const VqbString& dsn,
                                                         const VqbString& catalog, const VqbString& schema,
                                                         const VqbString& table, int type) try {
    if (!common_) {
        fail(logger_, __LINE__, error, reposMessage(3));
        return nullptr;
    }
    return cursorOrFailure(__LINE__, error,
                           common_->listMappingConnections(static_cast<unsigned int>(id_), dsn, catalog, schema, table,
                                                           static_cast<unsigned int>(type), true));
} catch (...) {
    return caught(logger_, __LINE__, error, nullptr);
}

ReposDataAccessCursor* FieldMappingImpl::listFields(VqbString* error) try {
    if (!common_) {
        fail(logger_, __LINE__, error, reposMessage(3));
        return nullptr;
    }
    return cursorOrFailure(
        __LINE__, error, common_->listMappingConnections(static_cast<unsigned int>(id_), "", "", "", "", kNone, false));
} catch (...) {
    return caught(logger_, __LINE__, error, nullptr);
}

bool FieldMappingImpl::setName(VqbString* error, const VqbString& value, const VqbString& user) try {
    return storeHeader(error, value, description_, folderId_, user);
} catch (...) {
    return caught(logger_, __LINE__, error, false);
}

bool FieldMappingImpl::setDescription(VqbString* error, const VqbString& value, const VqbString& user) try {
    return storeHeader(error, name_, value, folderId_, user);
} catch (...) {
    return caught(logger_, __LINE__, error, false);
}

bool FieldMappingImpl::setFolderId(VqbString* error, int value, const VqbString& user) try {
    return storeHeader(error, name_, description_, value, user);
} catch (...) {
    return caught(logger_, __LINE__, error, false);
}

bool FieldMappingImpl::storeHeader(VqbString* error, const VqbString& name, const VqbString& description, int folderId,
                                   const VqbString& user) {
    if (!common_) return fail(logger_, __LINE__, error, reposMessage(3));
    if (!common_->updateFieldMapping(static_cast<unsigned int>(id_), name, description, user, folderId))
        return commonFailure(__LINE__, error);
    // The update changes no row of a mapping deleted meanwhile; the stored row also gives the
    // modification date exactly as kept.
    ReposHeld<ReposDataAccessCursor> row(common_->listFieldMappings(static_cast<unsigned int>(id_)));
    if (!row) return commonFailure(__LINE__, error);
    bool found = row->next() == 1;
    if (found) readHeader(row.get());
    if (!found) return fail(logger_, __LINE__, error, reposMessage(1532));
    return true;
}

bool FieldMappingImpl::loadTables(VqbString* error, std::vector<SourceGroup>& groups) {
    groups.clear();
    ReposHeld<ReposDataAccessCursor> rows(
        common_->listMappingConnections(static_cast<unsigned int>(id_), "", "", "", "", kNone, false));
    if (!rows) return commonFailure(__LINE__, error);
    while (rows->next() == 1) {
        VqbString dsn = rows->getString(kConDsn);
        int type = rows->getInt(kConType);
        SourceGroup* group = nullptr;
        for (SourceGroup& g : groups)
            if (g.type == type && g.dsn.equals(dsn, false)) group = &g;
        if (!group) {
            groups.push_back(SourceGroup{dsn, type, {}});
            group = &groups.back();
        }
        TableKey key(rows->getString(kConCatalog), rows->getString(kConSchema), rows->getString(kConTable));
        MappedTable& entry = group->tables[key];
        if (entry.fields.empty()) std::tie(entry.catalog, entry.schema, entry.table) = key;
        entry.fields.push_back(MappedField{rows->getString(kConField), rows->getInt(kConKey) != 0});
    }
    return true;
}

bool FieldMappingImpl::planWrite(VqbString* error, const VqbString& dsn, const VqbString& catalog,
                                 const VqbString& schema, const VqbString& table, int type, int keyCount,
                                 const FieldMappingKey* keys, WritePlan& plan) {
    std::vector<SourceGroup> groups;
    if (!loadTables(error, groups)) return false;
    const MappedTable* mapped = nullptr;
    for (const SourceGroup& g : groups) {
        if (g.type != type || !g.dsn.equals(dsn, false)) continue;
        auto it = g.tables.find(TableKey(catalog, schema, table));
        if (it != g.tables.end()) mapped = &it->second;
        break;
    }
    if (!mapped) return fail(logger_, __LINE__, error, reposMessage(678));

    // The one value field is set; the row is the one whose every key field has its key's value.
    int valueFields = 0;
    for (const MappedField& f : mapped->fields) {
        if (!f.isKey) {
            plan.valueField = f.name;
            ++valueFields;
            continue;
        }
        bool seen = false;
        for (const VqbString& k : plan.keyFields) seen = seen || k.equals(f.name, false);
        if (!seen) plan.keyFields.push_back(f.name);
    }
    if (valueFields != 1) return fail(logger_, __LINE__, error, reposMessage(678));
    if (plan.keyFields.empty()) return fail(logger_, __LINE__, error, reposMessage(1931));
    plan.keyValues.assign(plan.keyFields.size(), nullptr);
    for (int i = 0; i < keyCount; ++i) {
        size_t k = 0;
        while (k < plan.keyFields.size() && !plan.keyFields[k].equals(keys[i].name, false)) ++k;
        if (k == plan.keyFields.size()) return fail(logger_, __LINE__, error, reposMessage(678));
        if (plan.keyValues[k]) return fail(logger_, __LINE__, error, reposMessage(1932, keys[i].name.asCstr()));
        plan.keyValues[k] = &keys[i].value;
    }
    for (size_t k = 0; k < plan.keyFields.size(); ++k)
        if (!plan.keyValues[k]) return fail(logger_, __LINE__, error, reposMessage(1930, plan.keyFields[k].asCstr()));

    plan.catalog = mapped->catalog;
    plan.schema = mapped->schema;
    plan.table = mapped->table;
    for (const VqbString* name : plan.names())
        if (!usableName(*name)) return fail(logger_, __LINE__, error, reposMessage(1933, name->asCstr()));
    return true;
}

std::vector<const VqbString*> FieldMappingImpl::WritePlan::names() const {
    std::vector<const VqbString*> all{&table, &valueField};
    if (!schema.isEmpty()) all.push_back(&schema);
    for (const VqbString& k : keyFields) all.push_back(&k);
    return all;
}

bool FieldMappingImpl::updateSourceValue(VqbString* error, const VqbDatavar& value, const VqbString& dsn,
                                         const VqbString& catalog, const VqbString& schema, const VqbString& table,
                                         int type, int keyCount, const FieldMappingKey* keys) try {
    if (!common_) return fail(logger_, __LINE__, error, reposMessage(3));
    if (keyCount < 0 || !keys) keyCount = 0;
    try {
        WritePlan plan;
        if (!planWrite(error, dsn, catalog, schema, table, type, keyCount, keys, plan)) return false;
        return writeSource(error, plan, value, dsn, type);
    } catch (const std::bad_alloc&) {
        return fail(logger_, __LINE__, error, reposMessage(530));
    }
} catch (...) {
    return caught(logger_, __LINE__, error, false);
}

bool FieldMappingImpl::writeSource(VqbString* error, const WritePlan& plan, const VqbDatavar& value,
                                   const VqbString& dsn, int type) {
    SourceWrite write;
    write.connection = connections_->connect(dsn, connectMode(type));
    if (!write.connection) return fail(logger_, __LINE__, error, connections_->getErrorMessage());
    if (!plan.catalog.isEmpty() && !write.connection->setCatalog(plan.catalog))
        return fail(logger_, __LINE__, error, write.connection->getErrorText());

    VqbString quote = write.connection->getIdentifierQuote();
    for (const VqbString* name : plan.names()) {
        bool fits = quote.isEmpty() ? vqbIsPlainIdentifier(name->str()) : name->find(quote) < 0;
        if (!fits) return fail(logger_, __LINE__, error, reposMessage(1933, name->asCstr()));
    }
    auto quoted = [&quote](const VqbString& name) { return vqbQuoteIdentifier(name, quote); };
    VqbString sql("UPDATE ");
    if (!plan.schema.isEmpty()) sql += quoted(plan.schema) + ".";
    sql += quoted(plan.table) + " SET " + quoted(plan.valueField) + "=? WHERE ";
    for (size_t k = 0; k < plan.keyFields.size(); ++k) {
        if (k > 0) sql += " AND ";
        sql += quoted(plan.keyFields[k]) + "=?";
    }
    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "%s", sql.asCstr());

    write.statement.reset(write.connection->prepare(sql));
    if (!write.statement) return fail(logger_, __LINE__, error, write.connection->getErrorText());
    bool bound = write.statement->bindValue(0, value);
    for (size_t k = 0; bound && k < plan.keyValues.size(); ++k)
        bound = write.statement->bindValue(static_cast<int>(k) + 1, *plan.keyValues[k]);
    if (!bound) return fail(logger_, __LINE__, error, write.statement->getErrorText());

    // Keys that do not single out a row leave the source as it was.
    if (!write.connection->beginTransaction()) return fail(logger_, __LINE__, error, write.connection->getErrorText());
    write.inTransaction = true;
    int rows = 0;
    if (!write.statement->execute(&rows)) return fail(logger_, __LINE__, error, write.statement->getErrorText());
    if (rows == 0) return fail(logger_, __LINE__, error, reposMessage(1934));
    if (rows > 1) return fail(logger_, __LINE__, error, reposMessage(1935, rows));
    write.inTransaction = false;
    if (!write.connection->endTransaction(true))
        return fail(logger_, __LINE__, error, write.connection->getErrorText());
    return true;
}
