// Global categories (collections): the categories, their matching-engine definitions, mapped
// fields and rule links.
#include "common_rdaimpl.h"

// ---- lookups the adds share

CommonRDAImpl::Lookup CommonRDAImpl::globalCategoryIdByName(const VqbString& name, unsigned int& gcId) {
    int64_t id = 0;
    Lookup found =
        lookupInt(kSource, __LINE__, Sql(onTable("SELECT GC_ID FROM", "GCATS", " WHERE GCNAME=?"), {name}), id);
    if (found == Lookup::Found) gcId = static_cast<unsigned int>(id);
    return found;
}

CommonRDAImpl::Lookup CommonRDAImpl::globalCategoryDefinitionId(unsigned int gcId, const VqbString& locale, int tsId,
                                                                int tokenId, unsigned int& defId) {
    int64_t id = 0;
    Lookup found =
        lookupInt(kSource, __LINE__,
                  Sql(onTable("SELECT DEF_ID FROM", "GCDEF", " WHERE GC_ID=? AND DEF_LOC=? AND TS_ID=? AND TKN_ID=?"),
                      {gcId, locale, tsId, tokenId}),
                  id);
    if (found == Lookup::Found) defId = static_cast<unsigned int>(id);
    return found;
}

CommonRDAImpl::Lookup CommonRDAImpl::globalCategoryRule(unsigned int gcId, unsigned int ruleId) {
    return lookup(kSource, __LINE__,
                  Sql(onTable("SELECT GC_ID FROM", "GCRUL", " WHERE GC_ID=? AND RU_ID=?"), {gcId, ruleId}));
}

void CommonRDAImpl::fieldFilters(Sql& sql, const VqbString& dsn, const VqbString& catalog, const VqbString& schema,
                                 const VqbString& table, const VqbString& field, bool exact) {
    const struct {
        const char* column;
        const VqbString& value;
    } filters[] = {{"MAP_DSN", dsn}, {"MAP_CAT", catalog}, {"MAP_SCH", schema}, {"MAP_TBL", table}, {"MAP_FLD", field}};
    for (const auto& filter : filters) {
        if (exact)
            sql.whereNullAsEmpty(filter.column, filter.value);
        else
            sql.whereText(filter.column, filter.value);
    }
}

CommonRDAImpl::Lookup CommonRDAImpl::exactGlobalCategoryField(unsigned int gcId, const VqbString& dsn,
                                                              const VqbString& catalog, const VqbString& schema,
                                                              const VqbString& table, const VqbString& field,
                                                              bool include) {
    // Every name takes part, an empty one too: with the filters' "empty is any", a field without
    // a catalog would count as mapped once any catalog held a field of that name, and its add
    // would be lost.
    Sql sql(onTable("SELECT COUNT(*) FROM", "GCFLD"));
    sql.where("GC_ID", VqbDatavar(gcId));
    fieldFilters(sql, dsn, catalog, schema, table, field, true);
    sql.where("MAP_INC", VqbDatavar(include ? 1 : 0));
    return lookupCount(kSource, __LINE__, sql);
}

// ---- adds

unsigned int CommonRDAImpl::addGlobalCategory(const VqbString& name, const VqbString& description) try {
    if (!checkConnection(kSource, __LINE__)) return kNone;
    // A category of that name already there is the answer, whoever added it.
    unsigned int id = kNone;
    const bool done = exclusively(kSource, __LINE__, [&] {
        Lookup found = globalCategoryIdByName(name, id);
        if (found != Lookup::Missing) return found == Lookup::Found;
        id = insertWithNewId(
            __LINE__, "GCATS",
            Sql(onTable("INSERT INTO", "GCATS", " (GC_ID, GCNAME, GCDESC) VALUES (?,?,?)"), {name, description}));
        return id != kNone;
    });
    return done ? id : kNone;
} catch (...) {
    return caught(__LINE__, kNone);
}

unsigned int CommonRDAImpl::addGlobalCategoryDefinition(unsigned int gcId, const VqbString& locale, int tsId,
                                                        const VqbString& tsName, int tokenId,
                                                        const VqbString& tokenName,
                                                        const VqbString& tokenDescription) try {
    if (!checkConnection(kSource, __LINE__)) return kNone;
    unsigned int id = kNone;
    const bool done = exclusively(kSource, __LINE__, [&] {
        Lookup found = globalCategoryDefinitionId(gcId, locale, tsId, tokenId, id);
        if (found != Lookup::Missing) return found == Lookup::Found;
        id = insertWithNewId(__LINE__, "GCDEF",
                             Sql(onTable("INSERT INTO", "GCDEF",
                                         " (DEF_ID, GC_ID, DEF_LOC, TS_ID, TS_NM, TKN_ID, TKN_NM, TKN_DESC) "
                                         "VALUES (?,?,?,?,?,?,?,?)"),
                                 {gcId, locale, tsId, tsName, tokenId, tokenName, tokenDescription}));
        return id != kNone;
    });
    return done ? id : kNone;
} catch (...) {
    return caught(__LINE__, kNone);
}

bool CommonRDAImpl::addGlobalCategoryField(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                           const VqbString& schema, const VqbString& table, const VqbString& field,
                                           bool include, const VqbString& fieldType, int fieldLength,
                                           int fieldPosition) try {
    return exclusively(kSource, __LINE__, [&] {
        Lookup found = exactGlobalCategoryField(gcId, dsn, catalog, schema, table, field, include);
        if (found != Lookup::Missing) return found == Lookup::Found;
        return run(
            kSource, __LINE__,
            Sql(onTable("INSERT INTO", "GCFLD",
                        " (GC_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_INC, FLD_TYPE, FLD_LEN, "
                        "FLD_POS) VALUES (?,?,?,?,?,?,?,?,?,?)"),
                {gcId, dsn, catalog, schema, table, field, include ? 1 : 0, fieldType, fieldLength, fieldPosition}));
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::addGlobalCategoryRule(unsigned int gcId, unsigned int ruleId) try {
    return exclusively(kSource, __LINE__, [&] {
        Lookup found = globalCategoryRule(gcId, ruleId);
        if (found != Lookup::Missing) return found == Lookup::Found;
        return run(kSource, __LINE__,
                   Sql(onTable("INSERT INTO", "GCRUL", " (GC_ID, RU_ID) VALUES (?,?)"), {gcId, ruleId}));
    });
} catch (...) {
    return caught(__LINE__, false);
}

// ---- reads

ReposDataAccessCursor* CommonRDAImpl::listGlobalCategories() try {
    return selectRows(kSource, __LINE__, rowSelect("GCATS"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listGlobalCategoryDefinitions() try {
    return selectRows(kSource, __LINE__,
                      onTable("SELECT DISTINCT DEF_ID, GC_ID, DEF_LOC, TS_ID, TS_NM FROM", "GCDEF", ""));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::getGlobalCategory(unsigned int gcId) try {
    VqbDatavar vCategory(gcId);
    return selectRows(kSource, __LINE__, rowSelect("GCATS") + " WHERE GC_ID=?", &vCategory);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::findGlobalCategory(int id, const VqbString& name, const VqbString& uuid) try {
    return findByKey(kSource, __LINE__, {"GCATS", "GC_ID", nullptr, "GCNAME"}, id, name, uuid);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listGlobalCategoryDefinitionsOfCategory(unsigned int gcId) try {
    VqbDatavar vCategory(gcId);
    return selectRows(kSource, __LINE__, rowSelect("GCDEF") + " WHERE GC_ID=?", &vCategory);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listGlobalCategoryFields(unsigned int gcId, const VqbString& dsn,
                                                               const VqbString& catalog, const VqbString& schema,
                                                               const VqbString& table) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql(rowSelect("GCFLD"));
    if (gcId != kNone) sql.where("GC_ID", VqbDatavar(gcId));
    fieldFilters(sql, dsn, catalog, schema, table, VqbString());
    return select(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listGlobalCategoryRules() try {
    return selectRows(kSource, __LINE__, rowSelect("GCRUL"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool CommonRDAImpl::getGlobalCategoryIdByName(const VqbString& name, unsigned int* gcId) try {
    unsigned int id = kNone;
    if (globalCategoryIdByName(name, id) != Lookup::Found) return false;
    if (gcId) *gcId = id;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::getGlobalCategoryDefinitionId(unsigned int gcId, const VqbString& locale, int tsId, int tokenId,
                                                  unsigned int* defId) try {
    unsigned int id = kNone;
    if (globalCategoryDefinitionId(gcId, locale, tsId, tokenId, id) != Lookup::Found) return false;
    if (defId) *defId = id;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::existsGlobalCategoryField(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                              const VqbString& schema, const VqbString& table, const VqbString& field,
                                              bool include) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    Sql sql(rowSelect("GCFLD"));
    sql.where("GC_ID", VqbDatavar(gcId));
    fieldFilters(sql, dsn, catalog, schema, table, field);
    sql.where("MAP_INC", VqbDatavar(include ? 1 : 0));
    return lookup(kSource, __LINE__, sql) == Lookup::Found;
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::existsGlobalCategoryRule(unsigned int gcId, unsigned int ruleId) try {
    return globalCategoryRule(gcId, ruleId) == Lookup::Found;
} catch (...) {
    return caught(__LINE__, false);
}

// ---- changes

bool CommonRDAImpl::updateGlobalCategory(unsigned int gcId, const VqbString& name, const VqbString& description) try {
    VqbDatavar vName(name), vDescription(description), vCategory(gcId);
    return execute(kSource, __LINE__, onTable("UPDATE", "GCATS", " SET GCNAME=?, GCDESC=? WHERE GC_ID=?"), nullptr,
                   &vName, &vDescription, &vCategory);
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::setGlobalCategoryFieldInclude(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                                  const VqbString& schema, const VqbString& table,
                                                  const VqbString& field, bool include) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    Sql sql(onTable("UPDATE", "GCFLD", " SET MAP_INC=?"));
    sql.bind(VqbDatavar(include ? 1 : 0));
    sql.where("GC_ID", VqbDatavar(gcId));
    fieldFilters(sql, dsn, catalog, schema, table, field);
    return run(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::deleteGlobalCategory(unsigned int gcId) try {
    return deleteKeyed(kSource, __LINE__,
                       {{"GCDEF", "GC_ID"}, {"GCFLD", "GC_ID"}, {"GCRUL", "GC_ID"}, {"GCATS", "GC_ID"}},
                       VqbDatavar(gcId));
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::deleteGlobalCategoryDefinition(unsigned int defId) try {
    if (defId == kNone) return false;
    VqbDatavar vDefinition(defId);
    return execute(kSource, __LINE__, onTable("DELETE FROM", "GCDEF", " WHERE DEF_ID=?"), nullptr, &vDefinition);
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::deleteGlobalCategoryFields(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                               const VqbString& schema, const VqbString& table, const VqbString& field,
                                               bool include) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    Sql sql(onTable("DELETE FROM", "GCFLD", ""));
    sql.where("GC_ID", VqbDatavar(gcId));
    fieldFilters(sql, dsn, catalog, schema, table, field);
    sql.where("MAP_INC", VqbDatavar(include ? 1 : 0));
    return run(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::deleteGlobalCategoryRule(unsigned int gcId, unsigned int ruleId) try {
    VqbDatavar vCategory(gcId), vRule(ruleId);
    return execute(kSource, __LINE__, onTable("DELETE FROM", "GCRUL", " WHERE GC_ID=? AND RU_ID=?"), nullptr,
                   &vCategory, &vRule);
} catch (...) {
    return caught(__LINE__, false);
}
