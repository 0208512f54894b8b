#include "common_rdaimpl.h"

#include "objecttypes.h"
#include "repos_announce.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqrepevent.h"

CommonRDAImpl::CommonRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

CommonRDAImpl::~CommonRDAImpl() = default;

// ---- shared helpers

CommonRDAImpl::FilteredSql::FilteredSql(const VqbString& base) : sql_(base), hasWhere_(false) {}

void CommonRDAImpl::FilteredSql::where(const char* column, const VqbDatavar& value) {
    sql_.append(hasWhere_ ? " AND " : " WHERE ");
    sql_.append(column);
    sql_.append("=?");
    hasWhere_ = true;
    values_.push_back(value);
}

void CommonRDAImpl::FilteredSql::whereText(const char* column, const VqbString& text) {
    if (present(text)) where(column, VqbDatavar(text));
}

VqbDatavar CommonRDAImpl::dateValue(const VqbDate& date) {
    return date.isNull() ? VqbDatavar() : VqbDatavar(date.asDouble());
}

VqbDatavar CommonRDAImpl::now() { return VqbDatavar(VqbDate::currentDate().asDouble()); }

VqbString CommonRDAImpl::selectAll(const char* table) {
    ReposDataAccess* connection = getConnection();
    if (!connection) return VqbString("");
    return VqbString::format("SELECT %s FROM %s", connection->getColumnList(VqbString(table), "").asCstr(),
                             tableName(table).asCstr());
}

VqbString CommonRDAImpl::statement(const char* verb, const char* table, const char* rest) {
    return VqbString::format("%s %s%s", verb, tableName(table).asCstr(), rest);
}

CommonRDAImpl::Lookup CommonRDAImpl::readFirstInt(ReposDataAccessCursor* cursor, int64_t& out) {
    if (!cursor) return Lookup::Failed;
    Lookup found = Lookup::Missing;
    if (cursor->next() == 1) {
        out = cursor->getValue(0).asInt64();
        found = Lookup::Found;
    }
    cursor->release();
    return found;
}

bool CommonRDAImpl::refuse(int line, const VqbString& message) {
    reposLog(getLogger(), 5, kSource, line, "%s", message.asCstr());
    return false;
}

ReposDataAccessStatement* CommonRDAImpl::prepare(int line, const FilteredSql& sql) {
    if (!checkConnection(kSource, line)) return nullptr;
    ReposDataAccessStatement* prepared = getConnection()->createStatement(sql.sql());
    if (!prepared) {
        logFailure(kSource, line);
        return nullptr;
    }
    int index = 0;
    for (const VqbDatavar& value : sql.values()) {
        int type = value.isNull() ? value.declaredType() : value.getType();
        bool bound;
        switch (type) {
            case VQB_TYPE_INT:
            case VQB_TYPE_BOOL:
                bound = prepared->setParameterInfo(index, VQB_TYPE_INT, 0);
                break;
            case VQB_TYPE_REAL:
            case VQB_TYPE_DATE:
                bound = prepared->setParameterInfo(index, VQB_TYPE_REAL, 0);
                break;
            default:
                bound = prepared->setParameterInfo(index, VQB_TYPE_STRING, 255);
        }
        if (!bound || !prepared->setParameter(index, value)) {
            reposLog(getLogger(), 5, kSource, line, "%s", prepared->getErrorMessage().asCstr());
            prepared->release();
            return nullptr;
        }
        ++index;
    }
    return prepared;
}

ReposDataAccessCursor* CommonRDAImpl::selectFiltered(int line, const FilteredSql& sql) {
    ReposDataAccessStatement* prepared = prepare(line, sql);
    if (!prepared) return nullptr;
    ReposDataAccessCursor* live = prepared->select();
    ReposDataAccessCursor* rows = nullptr;
    if (!live)
        logFailure(kSource, line);
    else if (!(rows = cacheCursor(live, 0)))
        logFailure(kSource, line);
    prepared->release();
    return rows;
}

bool CommonRDAImpl::executeFiltered(int line, const FilteredSql& sql) {
    ReposDataAccessStatement* prepared = prepare(line, sql);
    if (!prepared) return false;
    bool done = prepared->execute();
    if (!done) reposLog(getLogger(), 5, kSource, line, "%s", prepared->getErrorMessage().asCstr());
    prepared->release();
    return done;
}

CommonRDAImpl::Lookup CommonRDAImpl::existsFiltered(int line, const FilteredSql& sql) {
    ReposDataAccessStatement* prepared = prepare(line, sql);
    if (!prepared) return Lookup::Failed;
    Lookup found = Lookup::Failed;
    ReposDataAccessCursor* cursor = prepared->select();
    if (cursor) {
        int state = cursor->next();
        found = state == 1 ? Lookup::Found : state == 0 ? Lookup::Missing : Lookup::Failed;
        cursor->release();
    }
    if (found == Lookup::Failed) reposLog(getLogger(), 5, kSource, line, "%s", prepared->getErrorMessage().asCstr());
    prepared->release();
    return found;
}

bool CommonRDAImpl::deleteInTransaction(int line, std::initializer_list<KeyedTable> tables, const VqbDatavar& key) {
    if (!checkConnection(kSource, line)) return false;
    // A begin that failed opened no level, so the scope ends none.
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, line);
    for (const KeyedTable& keyed : tables) {
        VqbString sql = statement("DELETE FROM", keyed.table, "");
        sql.append(VqbString::format(" WHERE %s=?", keyed.column));
        if (!execute(kSource, line, sql, nullptr, &key)) return false;
    }
    if (!transaction.commit()) return logFailure(kSource, line);
    return true;
}

ReposDataAccessCursor* CommonRDAImpl::findByKey(int line, const LookupColumns& columns, int id, const VqbString& name,
                                                const VqbString& uuid) {
    const char* column;
    VqbDatavar key;
    if (id >= 1) {
        column = columns.id;
        key = VqbDatavar(id);
    } else if (present(uuid) && columns.uuid) {
        column = columns.uuid;
        key = VqbDatavar(uuid);
    } else if (present(name)) {
        column = columns.name;
        key = VqbDatavar(name);
    } else {
        if (present(uuid))
            reposLog(getLogger(), 2, kSource, line, "%s rows have no uuid; a lookup by uuid alone finds none",
                     columns.table);
        return nullptr;
    }
    VqbString select = selectAll(columns.table);
    ReposDataAccessCursor* rows =
        selectRows(kSource, line, select + VqbString::format(" WHERE %s=?", column), &key);
    if (rows || column == columns.name || !present(name)) return rows;
    VqbDatavar byName(name);
    return selectRows(kSource, line, select + VqbString::format(" WHERE %s=?", columns.name), &byName);
}

// ---- rules

unsigned int CommonRDAImpl::addRule(const VqbString& name, const VqbString& type, const VqbString& expression,
                                    const VqbString& group, const VqbString& meta, const VqbString& user,
                                    const VqbString& uuid, int folderId, const VqbString& comment,
                                    const VqbString& displayName) {
    if (!checkConnection(kSource, __LINE__)) return kNone;
    VqbDatavar vName(name);
    Lookup taken = lookupCount(__LINE__, statement("SELECT COUNT(*) FROM", "RULE", " WHERE RU_DESC=?"), &vName);
    if (taken == Lookup::Failed) return 0;
    if (taken == Lookup::Found) {
        refuse(__LINE__, vqb_get_message(VQB_MOD_MONADMIN, 1385));
        return 0;
    }

    VqbDatavar vType(type), vExpression(expression), vGroup(group), vMeta(meta), vUser(user), vNow(now());
    VqbDatavar vUuid(uuid), vFolder(folderId), vComment(comment), vDisplay(displayName);
    unsigned int id = insertWithNewId(
        __LINE__, "RULE",
        statement("INSERT INTO", "RULE",
                  " (RU_ID, RU_DESC, RU_TYPE, RU_EXPR, RU_GROUP, RU_META, RU_USER, RU_CRDAT, RU_EDDAT, RU_CRUSR, "
                  "RU_UUID, FLDR_ID, RU_COMM, RU_DISP) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        &vName, &vType, &vExpression, &vGroup, &vMeta, &vUser, &vNow, &vNow, &vUser, &vUuid, &vFolder, &vComment,
        &vDisplay);
    if (id == kNone) return 0;
    if (id > 0) reposAnnounce(getConnection(), REPOS_CHANGE_CREATE, ReposObjectTypeName::Rule, id, uuid);
    return id;
}

bool CommonRDAImpl::updateRule(unsigned int id, const VqbString& name, const VqbString& type,
                               const VqbString& expression, const VqbString& group, const VqbString& meta,
                               const VqbString& user, double createdDate, double editDate,
                               const VqbString& createdUser, const VqbString& uuid, int folderId,
                               const VqbString& comment, const VqbString& displayName) {
    VqbDatavar vName(name), vType(type), vExpression(expression), vGroup(group), vMeta(meta), vUser(user);
    VqbDatavar vCreated(createdDate), vEdited(editDate), vCreatedUser(createdUser), vUuid(uuid), vFolder(folderId);
    VqbDatavar vComment(comment), vDisplay(displayName), vId(id);
    if (!execute(kSource, __LINE__,
                 statement("UPDATE", "RULE",
                           " SET RU_DESC=?, RU_TYPE=?, RU_EXPR=?, RU_GROUP=?, RU_META=?, RU_USER=?, RU_CRDAT=?, "
                           "RU_EDDAT=?, RU_CRUSR=?, RU_UUID=?, FLDR_ID=?, RU_COMM=?, RU_DISP=? WHERE RU_ID=?"),
                 nullptr, &vName, &vType, &vExpression, &vGroup, &vMeta, &vUser, &vCreated, &vEdited, &vCreatedUser,
                 &vUuid, &vFolder, &vComment, &vDisplay, &vId))
        return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_MODIFY, ReposObjectTypeName::Rule, id, uuid);
    return true;
}

ReposDataAccessCursor* CommonRDAImpl::findRule(int id, const VqbString& name, const VqbString& uuid) {
    return findByKey(__LINE__, {"RULE", "RU_ID", "RU_UUID", "RU_DESC"}, id, name, uuid);
}

ReposDataAccessCursor* CommonRDAImpl::listRules() { return selectRows(kSource, __LINE__, selectAll("RULE")); }

bool CommonRDAImpl::clearRule(unsigned int id) {
    return deleteInTransaction(__LINE__, {{"CMFMAP", "RU_ID"}, {"RUFIME", "RU_ID"}, {"RUCMME", "RU_ID"}},
                               VqbDatavar(id));
}

bool CommonRDAImpl::deleteRule(unsigned int id) {
    if (!checkConnection(kSource, __LINE__)) return false;
    ReposDeleteAnnouncement announcement(this, ReposObjectTypeName::Rule, id, kSource, __LINE__);
    // Links from global categories, execution properties and profile settings stay: they belong
    // to those objects.
    if (!deleteInTransaction(__LINE__,
                             {{"RURSME", "RU_ID"},
                              {"TRIG", "RU_ID"},
                              {"ROWLOG", "RU_ID"},
                              {"JBRUME", "RU_ID"},
                              {"RULEVT", "RU_ID"},
                              {"RUFIME", "RU_ID"},
                              {"RUCMME", "RU_ID"},
                              {"CMFMAP", "RU_ID"},
                              {"RULE", "RU_ID"}},
                             VqbDatavar(id)))
        return false;
    announcement.post();
    return true;
}
