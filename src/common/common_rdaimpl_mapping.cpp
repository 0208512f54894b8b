// The tables behind the field-mapping objects (FLDMAP, MAPCON) and the repository's key/values.
#include "common_rdaimpl.h"

// ---- field mappings

bool CommonRDAImpl::addFieldMapping(const VqbString& name, const VqbString& description, const VqbString& uuid,
                                    const VqbDate& created, const VqbDate& edited, const VqbString& createdUser,
                                    const VqbString& editedUser, int folderId, unsigned int* id) {
    VqbDatavar vName(name), vDescription(description), vUuid(uuid), vCreated(dateValue(created)),
        vEdited(dateValue(edited)), vCreatedUser(createdUser), vEditedUser(editedUser), vFolder(folderId);
    unsigned int added = insertWithNewId(
        __LINE__, "FLDMAP",
        statement("INSERT INTO", "FLDMAP",
                  " (MAP_ID, MAP_NAME, MAP_DESC, MAP_UUID, MAP_CRDT, MAP_EDDT, MAP_CRUS, MAP_EDUS, FLDR_ID) "
                  "VALUES (?,?,?,?,?,?,?,?,?)"),
        &vName, &vDescription, &vUuid, &vCreated, &vEdited, &vCreatedUser, &vEditedUser, &vFolder);
    if (added == kNone) return false;
    if (id) *id = added;
    return true;
}

bool CommonRDAImpl::addMappingConnection(unsigned int mapId, const VqbString& dsn, const VqbString& catalog,
                                         const VqbString& schema, const VqbString& table, const VqbString& field,
                                         int type, bool primaryKey) {
    VqbDatavar vMap(mapId), vDsn(dsn), vCatalog(catalog), vSchema(schema), vTable(table), vField(field),
        vKey(primaryKey ? 1 : 0), vType(type);
    return execute(kSource, __LINE__,
                   statement("INSERT INTO", "MAPCON",
                             " (MAP_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_PK, MAP_TYPE) "
                             "VALUES (?,?,?,?,?,?,?,?)"),
                   nullptr, &vMap, &vDsn, &vCatalog, &vSchema, &vTable, &vField, &vKey, &vType);
}

ReposDataAccessCursor* CommonRDAImpl::listFieldMappings(unsigned int mapId) {
    VqbString sql = selectAll("FLDMAP");
    if (mapId == kNone) return selectRows(kSource, __LINE__, sql);
    VqbDatavar vMap(mapId);
    sql.append(" WHERE MAP_ID=?");
    return selectRows(kSource, __LINE__, sql, &vMap);
}

ReposDataAccessCursor* CommonRDAImpl::listMappingConnections(unsigned int mapId, const VqbString& dsn,
                                                             const VqbString& catalog, const VqbString& schema,
                                                             const VqbString& table, unsigned int type,
                                                             bool primaryKeyOnly) {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    FilteredSql sql(selectAll("MAPCON"));
    sql.where("MAP_ID", VqbDatavar(mapId));
    sql.whereText("MAP_DSN", dsn);
    sql.whereText("MAP_CAT", catalog);
    sql.whereText("MAP_SCH", schema);
    sql.whereText("MAP_TBL", table);
    if (type != kNone) sql.where("MAP_TYPE", VqbDatavar(type));
    if (primaryKeyOnly) sql.append(" AND MAP_PK=1");
    sql.append(" ORDER BY MAP_TYPE, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL");
    return selectFiltered(__LINE__, sql);
}

ReposDataAccessCursor* CommonRDAImpl::listMappingTables(unsigned int mapId) {
    VqbDatavar vMap(mapId);
    return selectRows(
        kSource, __LINE__,
        statement("SELECT DISTINCT MAP_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_TYPE FROM", "MAPCON",
                  " WHERE MAP_ID=?"),
        &vMap);
}

bool CommonRDAImpl::updateFieldMapping(unsigned int mapId, const VqbString& name, const VqbString& description,
                                       const VqbString& editedUser, int folderId) {
    VqbDatavar vName(name), vDescription(description), vNow(now()), vEditedUser(editedUser), vFolder(folderId),
        vMap(mapId);
    return execute(kSource, __LINE__,
                   statement("UPDATE", "FLDMAP",
                             " SET MAP_NAME=?, MAP_DESC=?, MAP_EDDT=?, MAP_EDUS=?, FLDR_ID=? WHERE MAP_ID=?"),
                   nullptr, &vName, &vDescription, &vNow, &vEditedUser, &vFolder, &vMap);
}

bool CommonRDAImpl::deleteFieldMapping(unsigned int mapId) {
    // Both tables or neither: a mapping without its connection rows would be a different mapping.
    return deleteInTransaction(__LINE__, {{"MAPCON", "MAP_ID"}, {"FLDMAP", "MAP_ID"}}, VqbDatavar(mapId));
}

bool CommonRDAImpl::deleteMappingConnection(unsigned int mapId, const VqbString& dsn, const VqbString& catalog,
                                            const VqbString& schema, const VqbString& table,
                                            const VqbString& field, int type) {
    if (!checkConnection(kSource, __LINE__)) return false;
    FilteredSql sql(statement("DELETE FROM", "MAPCON", ""));
    sql.where("MAP_ID", VqbDatavar(mapId));
    sql.where("MAP_DSN", VqbDatavar(dsn));
    sql.where("MAP_TBL", VqbDatavar(table));
    sql.where("MAP_FLD", VqbDatavar(field));
    sql.where("MAP_TYPE", VqbDatavar(type));
    sql.whereText("MAP_CAT", catalog);
    sql.whereText("MAP_SCH", schema);
    return executeFiltered(__LINE__, sql);
}

// ---- key/values

bool CommonRDAImpl::setKeyValue(const VqbString& key, const VqbString& value) {
    VqbDatavar vKey(key), vValue(value);
    switch (lookupCount(__LINE__, statement("SELECT COUNT(*) FROM", "KEYVAL", " WHERE V_KEY=?"), &vKey)) {
        case Lookup::Failed:
            return false;
        case Lookup::Found:
            return execute(kSource, __LINE__, statement("UPDATE", "KEYVAL", " SET V_VALUE=? WHERE V_KEY=?"), nullptr,
                           &vValue, &vKey);
        case Lookup::Missing:
            break;
    }
    return execute(kSource, __LINE__, statement("INSERT INTO", "KEYVAL", " (V_KEY, V_VALUE) VALUES (?,?)"), nullptr,
                   &vKey, &vValue);
}

bool CommonRDAImpl::getKeyValue(const VqbString& key, VqbString* value) {
    if (!value) return false;
    VqbDatavar vKey(key);
    ReposDataAccessCursor* rows =
        selectRowsLimited(kSource, __LINE__, 1, statement("SELECT V_VALUE FROM", "KEYVAL", " WHERE V_KEY=?"), &vKey);
    if (!rows) return false;
    if (rows->next() == 1) *value = rows->getString(0);
    rows->release();
    return true;
}

ReposDataAccessCursor* CommonRDAImpl::listKeyValueKeys() {
    return selectRows(kSource, __LINE__, statement("SELECT DISTINCT V_KEY FROM", "KEYVAL", ""));
}

ReposDataAccessCursor* CommonRDAImpl::listKeyValues() { return selectRows(kSource, __LINE__, selectAll("KEYVAL")); }

bool CommonRDAImpl::deleteKeyValue(const VqbString& key) {
    VqbDatavar vKey(key);
    if (lookupCount(__LINE__, statement("SELECT COUNT(*) FROM", "KEYVAL", " WHERE V_KEY=?"), &vKey) != Lookup::Found)
        return false;
    return execute(kSource, __LINE__, statement("DELETE FROM", "KEYVAL", " WHERE V_KEY=?"), nullptr, &vKey);
}
