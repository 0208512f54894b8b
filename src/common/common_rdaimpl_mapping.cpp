// The tables behind the field-mapping objects (FLDMAP, MAPCON) and the repository's key/values.
#include "common_rdaimpl.h"

#include "repos_held.h"

// ---- field mappings

bool CommonRDAImpl::addFieldMapping(const VqbString& name, const VqbString& description, const VqbString& uuid,
                                    const VqbDate& created, const VqbDate& edited, const VqbString& createdUser,
                                    const VqbString& editedUser, int folderId, unsigned int* id) try {
    unsigned int added = insertWithNewId(
        __LINE__, "FLDMAP",
        Sql(onTable("INSERT INTO", "FLDMAP",
                    " (MAP_ID, MAP_NAME, MAP_DESC, MAP_UUID, MAP_CRDT, MAP_EDDT, MAP_CRUS, MAP_EDUS, FLDR_ID) "
                    "VALUES (?,?,?,?,?,?,?,?,?)"),
            {name, description, uuid, dateValue(created), dateValue(edited), createdUser, editedUser, folderId}));
    if (added == kNone) return false;
    if (id) *id = added;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::addMappingConnection(unsigned int mapId, const VqbString& dsn, const VqbString& catalog,
                                         const VqbString& schema, const VqbString& table, const VqbString& field,
                                         int type, bool primaryKey) try {
    VqbDatavar vMap(mapId), vDsn(dsn), vCatalog(catalog), vSchema(schema), vTable(table), vField(field),
        vKey(primaryKey ? 1 : 0), vType(type);
    return execute(kSource, __LINE__,
                   onTable("INSERT INTO", "MAPCON",
                           " (MAP_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_PK, MAP_TYPE) "
                           "VALUES (?,?,?,?,?,?,?,?)"),
                   nullptr, &vMap, &vDsn, &vCatalog, &vSchema, &vTable, &vField, &vKey, &vType);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* CommonRDAImpl::listFieldMappings(unsigned int mapId) try {
    Sql sql(rowSelect("FLDMAP"));
    if (mapId != kNone) sql.where("MAP_ID", mapId);
    return select(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listMappingConnections(unsigned int mapId, const VqbString& dsn,
                                                             const VqbString& catalog, const VqbString& schema,
                                                             const VqbString& table, unsigned int type,
                                                             bool primaryKeyOnly) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql(rowSelect("MAPCON"));
    sql.where("MAP_ID", VqbDatavar(mapId));
    sql.whereText("MAP_DSN", dsn);
    sql.whereText("MAP_CAT", catalog);
    sql.whereText("MAP_SCH", schema);
    sql.whereText("MAP_TBL", table);
    if (type != kNone) sql.where("MAP_TYPE", VqbDatavar(type));
    if (primaryKeyOnly) sql.condition("MAP_PK=1");
    sql.append(" ORDER BY MAP_TYPE, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL");
    return select(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listMappingTables(unsigned int mapId) try {
    VqbDatavar vMap(mapId);
    return selectRows(kSource, __LINE__,
                      onTable("SELECT DISTINCT MAP_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_TYPE FROM", "MAPCON",
                              " WHERE MAP_ID=?"),
                      &vMap);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool CommonRDAImpl::updateFieldMapping(unsigned int mapId, const VqbString& name, const VqbString& description,
                                       const VqbString& editedUser, int folderId) try {
    VqbDatavar vName(name), vDescription(description), vNow(now()), vEditedUser(editedUser), vFolder(folderId),
        vMap(mapId);
    return execute(
        kSource, __LINE__,
        onTable("UPDATE", "FLDMAP", " SET MAP_NAME=?, MAP_DESC=?, MAP_EDDT=?, MAP_EDUS=?, FLDR_ID=? WHERE MAP_ID=?"),
        nullptr, &vName, &vDescription, &vNow, &vEditedUser, &vFolder, &vMap);
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::deleteFieldMapping(unsigned int mapId) try {
    // Both tables or neither: a mapping without its connection rows would be a different mapping.
    return deleteKeyed(kSource, __LINE__, {{"MAPCON", "MAP_ID"}, {"FLDMAP", "MAP_ID"}}, VqbDatavar(mapId));
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::deleteMappingConnection(unsigned int mapId, const VqbString& dsn, const VqbString& catalog,
                                            const VqbString& schema, const VqbString& table, const VqbString& field,
                                            int type) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    Sql sql(onTable("DELETE FROM", "MAPCON", ""));
    sql.where("MAP_ID", VqbDatavar(mapId));
    sql.where("MAP_DSN", VqbDatavar(dsn));
    sql.where("MAP_TBL", VqbDatavar(table));
    sql.where("MAP_FLD", VqbDatavar(field));
    sql.where("MAP_TYPE", VqbDatavar(type));
    sql.whereText("MAP_CAT", catalog);
    sql.whereText("MAP_SCH", schema);
    return run(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- key/values

bool CommonRDAImpl::setKeyValue(const VqbString& key, const VqbString& value) try {
    return exclusively(kSource, __LINE__, [&] {
        switch (
            lookupCount(kSource, __LINE__, Sql(onTable("SELECT COUNT(*) FROM", "KEYVAL", " WHERE V_KEY=?"), {key}))) {
            case Lookup::Failed:
                return false;
            case Lookup::Found:
                return run(kSource, __LINE__,
                           Sql(onTable("UPDATE", "KEYVAL", " SET V_VALUE=? WHERE V_KEY=?"), {value, key}));
            case Lookup::Missing:
                break;
        }
        return run(kSource, __LINE__,
                   Sql(onTable("INSERT INTO", "KEYVAL", " (V_KEY, V_VALUE) VALUES (?,?)"), {key, value}));
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::getKeyValue(const VqbString& key, VqbString* value) try {
    if (!value) return false;
    ReposHeld<ReposDataAccessCursor> rows(
        select(kSource, __LINE__, Sql(onTable("SELECT V_VALUE FROM", "KEYVAL", " WHERE V_KEY=?"), {key}), 1));
    if (!rows) return false;
    if (rows->next() == 1) *value = rows->getString(0);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* CommonRDAImpl::listKeyValueKeys() try {
    return selectRows(kSource, __LINE__, onTable("SELECT DISTINCT V_KEY FROM", "KEYVAL", ""));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listKeyValues() try {
    return selectRows(kSource, __LINE__, rowSelect("KEYVAL"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool CommonRDAImpl::deleteKeyValue(const VqbString& key) try {
    return exclusively(kSource, __LINE__, [&] {
        if (lookupCount(kSource, __LINE__, Sql(onTable("SELECT COUNT(*) FROM", "KEYVAL", " WHERE V_KEY=?"), {key})) !=
            Lookup::Found)
            return false;
        return run(kSource, __LINE__, Sql(onTable("DELETE FROM", "KEYVAL", " WHERE V_KEY=?"), {key}));
    });
} catch (...) {
    return caught(__LINE__, false);
}
