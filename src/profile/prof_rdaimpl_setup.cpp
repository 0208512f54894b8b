// Job setups: the JSETUP row and its eighteen child tables, written top-down, read back table by
// table, emptied, renamed and deleted with the runs of their reports.
#include "prof_rdaimpl.h"

#include <cstring>
#include <vector>

#include "objecttypes.h"
#include "repos_announce.h"
#include "reposlog.h"

namespace {

// The insert of one kind of setup row; idKey names the counter of a table whose rows draw an id,
// which is then the first column.
struct SetupInsert {
    const char* table;
    const char* idKey;
    const char* columns;
};


// In the order of ProfileRDAImpl::SetupRow.
const SetupInsert kSetupInserts[] = {
    {"JSETUP", "JSETUP", "SU_ID, SU_NAME, SU_DESC, SU_UUID, SU_CRDAT, SU_EDDAT, SU_CRUSR, SU_EDUSR, FLDR_ID"},
    {"JKEYVL", nullptr, "SU_KEY, SU_VAL, SU_ID"},
    {"JRCFGS", "JRCFGS", "CFG_ID, CFG_NAME, CFG_DESC, MC_DEF, MC_SENS, MC_LOC, SU_ID"},
    {"JDSN", "JDSN", "DSN_ID, DSN_NAME, DSN_CONN, DSN_TEXT, SU_ID"},
    {"JTABLE", "JTABLE",
     "TBL_ID, DSN_ID, TBL_CAT, TBL_NAME, TBL_SCH, FLTR, FLTR_E, FLTR_S, SAMP_INT, FNAME, DELIM, TXT_QUAL, SKIP_ROW, "
     "REC_WDTH, MAX_ROW, TRUNC, EOL, ENC, USE_BOM, SU_ID, DEC_TREE"},
    {"JFLD", "JFLD", "FLD_ID, DSN_ID, TBL_ID, FLD_NAME, MET_OVRD, ORD_POS, SU_ID"},
    {"JFRDA", nullptr, "CFG_ID, FLD_DSN, FLD_CAT, FLD_SCH, FLD_TBL, FLD_NAME, SU_ID, DSN_TYPE"},
    {"JFLDME", nullptr, "FLD_ID, DSN_ID, TBL_ID, MET_NAME, MET_VAL, SU_ID"},
    {"JFLDPR", nullptr, "FLD_ID, DSN_ID, TBL_ID, PRP_NAME, PRP_VAL, SU_ID"},
    {"JLNKFL", nullptr, "FLD_ID, LNK_DSN, LNK_CAT, LNK_SCH, LNK_TBL, LNK_NAME, LNK_TYPE, LNK_TEXT, SU_ID"},
    {"JTBLME", "JTBLME", "SEQ_ID, TBL_ID, CM_NAME, CM_UID, SU_ID, CM_ID"},
    {"JCMDMA", nullptr, "SEQ_ID, TBL_ID, CM_NAME, CM_IN, CM_OUT, CM_FLD, CM_TYPE, SU_ID, CM_ID"},
    {"JTBLRU", "JTBLRU", "SEQ_ID, TBL_ID, BR_NAME, LOG_FLAG, LOG_TH, BR_UID, SU_ID, BR_ID"},
    {"JTBLMA", nullptr, "SEQ_ID, TBL_ID, BR_NAME, FLD_NAME, BR_FLD, SU_ID, BR_ID"},
    {"JGMET", nullptr, "MET_NAME, MET_VAL, SU_ID"},
    {"JALERT", "JALERT",
     "AL_ID, AL_DSN, AL_CAT, AL_SCH, AL_TBL, AL_FLD, AL_FLTR, AL_DESC, AL_RULE, AL_TEXT, AL_TYPE, AL_UID, SU_ID"},
    {"JALPRP", nullptr, "AL_ID, AP_NAME, AP_VAL, SU_ID"},
    {"JCHART", "JCHART", "CH_ID, CH_DSN, CH_CAT, CH_SCH, CH_TBL, CH_FLD, CH_FLTR, CH_DESC, CH_TEXT, SU_ID"},
    {"JCHPRP", nullptr, "CH_ID, CP_NAME, CP_SEQ, CP_VAL, SU_ID"},
};

// The whole-row reads of a setup's tables; swapFirstTwo binds the second argument first.
struct SetupRead {
    int slot;
    ReposRowRead read;
    bool swapFirstTwo;
};
const SetupRead kSetupReads[] = {
    {59, {"JSETUP", {}, nullptr}, false},
    {60, {"JSETUP", {"SU_ID"}, nullptr}, false},
    {62, {"JKEYVL", {"SU_ID"}, nullptr}, false},
    {63, {"JDSN", {"SU_ID"}, nullptr}, false},
    {64, {"JTABLE", {"DSN_ID"}, nullptr}, false},
    {65, {"JFLD", {"DSN_ID", "TBL_ID"}, nullptr}, false},
    {66, {"JFLDME", {"DSN_ID", "TBL_ID", "FLD_ID"}, nullptr}, false},
    {67, {"JCMDMA", {"SEQ_ID", "TBL_ID", "CM_NAME"}, nullptr}, true},
    {68, {"JCMDMA", {"SU_ID", "TBL_ID"}, nullptr}, false},
    {70, {"JFLDPR", {"DSN_ID", "TBL_ID", "FLD_ID"}, nullptr}, false},
    {72, {"JTBLME", {"TBL_ID"}, nullptr}, false},
    {73, {"JTBLRU", {"TBL_ID"}, nullptr}, false},
    {74, {"JTBLMA", {"TBL_ID", "BR_ID", "SEQ_ID"}, nullptr}, false},
    {75, {"JRCFGS", {"SU_ID"}, nullptr}, false},
    {76, {"JRCFGS", {"CFG_NAME", "MC_DEF", "MC_SENS", "MC_LOC", "SU_ID"}, nullptr}, false},
    {78, {"JGMET", {"SU_ID"}, nullptr}, false},
    {79, {"JALERT", {"SU_ID"}, nullptr}, false},
    {80, {"JALPRP", {"AL_ID"}, nullptr}, false},
    {81, {"JCHART", {"SU_ID"}, nullptr}, false},
    {82, {"JCHPRP", {"CH_ID"}, nullptr}, false},
    {84, {"JTBLRU", {"SU_ID"}, nullptr}, false},
};

// The setup's child tables, emptied in this order.
const ReposKeyedTable kSetupChildren[] = {
    {"JFRDA", "SU_ID"},  {"JRCFGS", "SU_ID"}, {"JFLD", "SU_ID"},   {"JTBLMA", "SU_ID"}, {"JTBLRU", "SU_ID"},
    {"JLNKFL", "SU_ID"}, {"JFLDME", "SU_ID"}, {"JTABLE", "SU_ID"}, {"JDSN", "SU_ID"},   {"JGMET", "SU_ID"},
    {"JKEYVL", "SU_ID"}, {"JCMDMA", "SU_ID"}, {"JTBLME", "SU_ID"}, {"JCHPRP", "SU_ID"}, {"JCHART", "SU_ID"},
    {"JALPRP", "SU_ID"}, {"JALERT", "SU_ID"}, {"JFLDPR", "SU_ID"},
};

}  // namespace

// ---- the engines

bool ProfileRDAImpl::insertSetupRow(int line, SetupRow row, std::initializer_list<VqbDatavar> values, uint32_t* id) {
    const SetupInsert& insert = kSetupInserts[static_cast<size_t>(row)];
    VqbString& text = setupInsertTexts_[static_cast<size_t>(row)];
    if (text.isEmpty()) {
        VqbString rest = VqbString::format(" (%s) VALUES (?", insert.columns);
        for (const char* c = insert.columns; *c; ++c)
            if (*c == ',') rest.append(",?");
        rest.append(")");
        text = onTable("INSERT INTO", insert.table, rest.asCstr());
    }
    Sql sql(text, values);
    if (!insert.idKey) return run(kSource, line, sql);
    auto reserved = reservedIds_.find(insert.idKey);
    if (reserved == reservedIds_.end() || reserved->second.left == 0)
        return insertKeyed(kSource, line, insert.idKey, std::move(sql), 0, id);
    const uint32_t newId = reserved->second.next;
    sql.values().insert(sql.values().begin(), VqbDatavar(newId));
    if (!run(kSource, line, sql)) return false;
    ++reserved->second.next;
    --reserved->second.left;
    if (id) *id = newId;
    return true;
}

uint32_t ProfileRDAImpl::findOrInsert(int line, const Sql& find, const char* idColumn, SetupRow row,
                                      std::initializer_list<VqbDatavar> values) {
    uint32_t id = kNone;
    const bool done = exclusively(kSource, line, [&] {
        // A failed lookup is logged and taken as no row: the insert still runs.
        ReposHeld<ReposDataAccessCursor> found(select(kSource, line, find, 1));
        if (found && found->next() == 1) {
            const int column = columnIndex(found.get(), idColumn);
            const uint32_t existing = column < 0 ? kNone : static_cast<uint32_t>(found->getValue(column).asInt64());
            if (existing != kNone) {
                id = existing;
                return true;
            }
        }
        return insertSetupRow(line, row, values, &id);
    });
    return done ? id : kNone;
}

ReposDataAccessCursor* ProfileRDAImpl::readSetup(int line, int slot, std::initializer_list<VqbDatavar> values) {
    for (const SetupRead& entry : kSetupReads) {
        if (entry.slot != slot) continue;
        VqbDatavar v[5];
        size_t n = 0;
        for (const VqbDatavar& value : values)
            if (n < 5) v[n++] = value;
        if (entry.swapFirstTwo) std::swap(v[0], v[1]);
        return readRows(kSource, line, entry.read, {v[0], v[1], v[2], v[3], v[4]});
    }
    reposLog(getLogger(), 5, kSource, line, "No setup read for slot %d", slot);
    return nullptr;
}

// ---- storing

uint32_t ProfileRDAImpl::addJobSetup(const VqbString& name, const VqbString& description, const VqbString& uuid,
                                     double createdDate, double modifiedDate, const VqbString& createdUser,
                                     const VqbString& modifiedUser, uint32_t folderId) try {
    if (!checkConnection(kSource, __LINE__)) return kNone;
    const bool announce = !getConnection()->isInTransaction();
    uint32_t id = kNone;
    const bool done = exclusively(kSource, __LINE__, [&] {
        if (existsJobSetup(name, folderId))
            return refuse(kSource, __LINE__, VqbString::format("Profile job [%s] already exists", name.asCstr()));
        return insertSetupRow(__LINE__, SetupRow::Setup,
                              {name, description, uuid, createdDate, modifiedDate, createdUser, modifiedUser,
                               idValue(folderId)},
                              &id);
    });
    if (!done) return kNone;
    if (announce) reposAnnounce(getConnection(), 0, ReposObjectTypeName::ProfileJob, id, uuid);
    return id;
} catch (...) {
    return caught(__LINE__, kNone);
}

bool ProfileRDAImpl::existsJobSetup(const VqbString& name, uint32_t folderId) try {
    return lookup(kSource, __LINE__, Sql(rowSelect("JSETUP")).where("SU_NAME", name).where("FLDR_ID", idValue(folderId))) ==
           Lookup::Found;
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addJobKeyValue(uint32_t setupId, const VqbString& key, const VqbString& value) try {
    return insertSetupRow(__LINE__, SetupRow::KeyValue, {key, value, idValue(setupId)});
} catch (...) {
    return caught(__LINE__, false);
}

uint32_t ProfileRDAImpl::addJobRedundancyConfig(uint32_t setupId, const VqbString& name,
                                                const VqbString& description, const VqbString& matchDefinition,
                                                const VqbString& sensitivity, const VqbString& locale) try {
    uint32_t id = kNone;
    const bool done = exclusively(kSource, __LINE__, [&] {
        // The description takes no part: a configuration is its name and match settings.
        ReposHeld<ReposDataAccessCursor> found(
            readSetup(__LINE__, 76, {name, matchDefinition, sensitivity, locale, idValue(setupId)}));
        if (found && found->next() == 1 && static_cast<uint32_t>(found->getValue(0).asInt64()) != kNone) {
            id = static_cast<uint32_t>(found->getValue(0).asInt64());
            return true;
        }
        return insertSetupRow(__LINE__, SetupRow::RedundancyConfig,
                              {name, description, matchDefinition, sensitivity, locale, idValue(setupId)}, &id);
    });
    return done ? id : kNone;
} catch (...) {
    return caught(__LINE__, kNone);
}

uint32_t ProfileRDAImpl::addJobDataSource(uint32_t setupId, const VqbString& name, const VqbString& connection,
                                          const VqbString& textFile) try {
    // An existing data source keeps its connection and text file.
    return findOrInsert(__LINE__,
                        Sql(onTable("SELECT DSN_ID FROM", "JDSN")).where("SU_ID", idValue(setupId)).where("DSN_NAME", name),
                        "DSN_ID", SetupRow::DataSource, {name, connection, textFile, idValue(setupId)});
} catch (...) {
    return caught(__LINE__, kNone);
}

uint32_t ProfileRDAImpl::addJobTable(uint32_t setupId, int dataSourceId, const VqbString& catalog,
                                     const VqbString& schema, const VqbString& tableName, const VqbString& filterName,
                                     const VqbString& filterExpression, const VqbString& filterSql,
                                     int sampleInterval, const VqbString& fileName, const VqbString& delimiter,
                                     const VqbString& textQualifier, int rowsToSkip, int recordWidth, int maximumRows,
                                     const VqbString& truncate, int endOfLine, int encoding,
                                     const VqbString& useByteOrderMark, bool decisionTree) try {
    // Every naming text counts here, an empty one matching only an empty column: otherwise an
    // unfiltered table would merge into a filtered one of the same name, or the other way round.
    Sql find(onTable("SELECT TBL_ID FROM", "JTABLE"));
    find.where("SU_ID", idValue(setupId));
    if (dataSourceId > 0) find.where("DSN_ID", dataSourceId);
    const std::pair<const char*, const VqbString*> texts[] = {
        {"TBL_CAT", &catalog}, {"TBL_SCH", &schema},    {"TBL_NAME", &tableName}, {"FLTR", &filterName},
        {"FLTR_E", &filterExpression}, {"FLTR_S", &filterSql}, {"FNAME", &fileName}};
    for (const auto& text : texts) {
        if (!text.second->isEmpty()) {
            find.where(text.first, *text.second);
        } else {
            VqbString empty = VqbString::format("(%s IS NULL OR %s='')", text.first, text.first);
            find.condition(empty.asCstr());
        }
    }
    return findOrInsert(__LINE__, find, "TBL_ID", SetupRow::Table,
                        {dataSourceId, catalog, tableName, schema, filterName, filterExpression, filterSql,
                         sampleInterval, fileName, delimiter, textQualifier, rowsToSkip, recordWidth, maximumRows,
                         truncate, endOfLine, encoding, useByteOrderMark, idValue(setupId), decisionTree ? 1 : 0});
} catch (...) {
    return caught(__LINE__, kNone);
}

uint32_t ProfileRDAImpl::addJobField(uint32_t setupId, uint32_t dataSourceId, uint32_t tableId,
                                     const VqbString& fieldName, const VqbString& metricOverride,
                                     int ordinalPosition) try {
    uint32_t id = kNone;
    if (!insertSetupRow(__LINE__, SetupRow::Field,
                        {idValue(dataSourceId), idValue(tableId), fieldName, metricOverride, ordinalPosition,
                         idValue(setupId)},
                        &id))
        return kNone;
    return id;
} catch (...) {
    return caught(__LINE__, kNone);
}

bool ProfileRDAImpl::addJobFieldRedundancy(uint32_t setupId, uint32_t configId, const VqbString& dataSource,
                                           const VqbString& catalog, const VqbString& schema, const VqbString& table,
                                           const VqbString& fieldName, const VqbString& dataSourceType) try {
    return exclusively(kSource, __LINE__, [&] {
        const Lookup found = lookup(kSource, __LINE__,
                                    Sql(rowSelect("JFRDA"))
                                        .where("SU_ID", idValue(setupId))
                                        .where("CFG_ID", idValue(configId))
                                        .where("FLD_DSN", dataSource)
                                        .where("FLD_CAT", catalog)
                                        .where("FLD_SCH", schema)
                                        .where("FLD_TBL", table)
                                        .where("FLD_NAME", fieldName)
                                        .where("DSN_TYPE", dataSourceType));
        return found == Lookup::Found ||
               insertSetupRow(__LINE__, SetupRow::FieldRedundancy,
                              {idValue(configId), dataSource, catalog, schema, table, fieldName, idValue(setupId),
                               dataSourceType});
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addJobFieldMetric(uint32_t setupId, uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId,
                                       const VqbString& metricName, const VqbString& metricValue) try {
    return insertSetupRow(__LINE__, SetupRow::FieldMetric,
                          {idValue(fieldId), idValue(dataSourceId), idValue(tableId), metricName, metricValue,
                           idValue(setupId)});
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addJobFieldProperty(uint32_t setupId, uint32_t dataSourceId, uint32_t tableId,
                                         uint32_t fieldId, const VqbString& propertyName,
                                         const VqbString& propertyValue) try {
    return insertSetupRow(__LINE__, SetupRow::FieldProperty,
                          {idValue(fieldId), idValue(dataSourceId), idValue(tableId), propertyName, propertyValue,
                           idValue(setupId)});
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addJobLinkedField(uint32_t setupId, uint32_t fieldId, const VqbString& linkDataSource,
                                       const VqbString& linkCatalog, const VqbString& linkSchema,
                                       const VqbString& linkTable, const VqbString& linkName,
                                       const VqbString& linkType, const VqbString& linkText) try {
    return insertSetupRow(__LINE__, SetupRow::LinkedField,
                          {idValue(fieldId), linkDataSource, linkCatalog, linkSchema, linkTable, linkName, linkType,
                           linkText, idValue(setupId)});
} catch (...) {
    return caught(__LINE__, false);
}

uint32_t ProfileRDAImpl::addJobTableCustomMetric(uint32_t setupId, uint32_t tableId, uint32_t customMetricId,
                                                 const VqbString& customMetricName,
                                                 const VqbString& customMetricUid) try {
    uint32_t id = kNone;
    if (!insertSetupRow(__LINE__, SetupRow::TableCustomMetric,
                        {idValue(tableId), customMetricName, customMetricUid, idValue(setupId),
                         idValue(customMetricId)},
                        &id))
        return kNone;
    return id;
} catch (...) {
    return caught(__LINE__, kNone);
}

bool ProfileRDAImpl::addJobCustomMetricMapping(uint32_t setupId, uint32_t sequenceId, uint32_t tableId,
                                               uint32_t customMetricId, const VqbString& customMetricName,
                                               const VqbString& inputName, const VqbString& outputName,
                                               const VqbString& fieldName, const VqbString& type) try {
    return insertSetupRow(__LINE__, SetupRow::CustomMetricMapping,
                          {idValue(sequenceId), idValue(tableId), customMetricName, inputName, outputName, fieldName,
                           type, idValue(setupId), idValue(customMetricId)});
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addJobCustomMetricMappingEx(uint32_t setupId, uint32_t tableId, uint32_t customMetricId,
                                                 uint32_t sequenceId, const VqbString& customMetricName,
                                                 const VqbString& inputName, const VqbString& outputName,
                                                 const VqbString& fieldName, const VqbString& type) try {
    return addJobCustomMetricMapping(setupId, sequenceId, tableId, customMetricId, customMetricName, inputName,
                                     outputName, fieldName, type);
} catch (...) {
    return caught(__LINE__, false);
}

uint32_t ProfileRDAImpl::insertJobBusinessRule(uint32_t setupId, uint32_t tableId, uint32_t ruleId,
                                               const VqbString& ruleName, int logFlag, int logThreshold,
                                               const VqbString& ruleUid) try {
    // A rule is reused only within its setup and table: an imported copy of a setup needs rows of
    // its own, or it loses its rules when the original goes.
    Sql find(onTable("SELECT SEQ_ID FROM", "JTBLRU"));
    if (ruleUid.isNull()) {
        reposLog(getLogger(), 3, kSource, __LINE__, "insertJobBusinessRule(): BR_UID is null");
        find.where("SU_ID", idValue(setupId)).where("TBL_ID", idValue(tableId)).where("BR_ID", idValue(ruleId));
    } else {
        find.where("BR_UID", ruleUid).where("SU_ID", idValue(setupId)).where("TBL_ID", idValue(tableId));
    }
    return findOrInsert(__LINE__, find, "SEQ_ID", SetupRow::BusinessRule,
                        {idValue(tableId), ruleName, logFlag, logThreshold, ruleUid, idValue(setupId),
                         idValue(ruleId)});
} catch (...) {
    return caught(__LINE__, kNone);
}

bool ProfileRDAImpl::addJobRuleFieldMapping(uint32_t setupId, uint32_t sequenceId, uint32_t tableId, uint32_t ruleId,
                                            const VqbString& ruleName, const VqbString& fieldName,
                                            const VqbString& ruleInputName) try {
    return insertSetupRow(__LINE__, SetupRow::RuleFieldMapping,
                          {idValue(sequenceId), idValue(tableId), ruleName, fieldName, ruleInputName,
                           idValue(setupId), idValue(ruleId)});
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addJobGlobalMetric(uint32_t setupId, const VqbString& metricName,
                                        const VqbString& metricValue) try {
    return insertSetupRow(__LINE__, SetupRow::GlobalMetric, {metricName, metricValue, idValue(setupId)});
} catch (...) {
    return caught(__LINE__, false);
}

uint32_t ProfileRDAImpl::addJobAlert(uint32_t setupId, const VqbString& dataSource, const VqbString& catalog,
                                     const VqbString& schema, const VqbString& table, const VqbString& field,
                                     const VqbString& filter, const VqbString& description, const VqbString& rule,
                                     const VqbString& textFile, const VqbString& type, const VqbString& alertUid) try {
    // Filter, description and text file describe an alert; they do not tell one from another.
    Sql find(onTable("SELECT AL_ID FROM", "JALERT"));
    find.where("SU_ID", idValue(setupId)).where("AL_DSN", dataSource).where("AL_CAT", catalog);
    find.where("AL_SCH", schema).where("AL_TBL", table).where("AL_FLD", field).where("AL_RULE", rule);
    find.where("AL_UID", alertUid).where("AL_TYPE", type);
    return findOrInsert(__LINE__, find, "AL_ID", SetupRow::Alert,
                        {dataSource, catalog, schema, table, field, filter, description, rule, textFile, type,
                         alertUid, idValue(setupId)});
} catch (...) {
    return caught(__LINE__, kNone);
}

bool ProfileRDAImpl::setJobAlertProperty(uint32_t setupId, uint32_t alertId, const VqbString& name,
                                         const VqbString& value) try {
    return exclusively(kSource, __LINE__, [&] {
        const Lookup found = lookup(
            kSource, __LINE__,
            Sql(onTable("SELECT AP_NAME FROM", "JALPRP")).where("AL_ID", idValue(alertId)).where("AP_NAME", name));
        if (found == Lookup::Found)
            return run(kSource, __LINE__,
                       Sql(onTable("UPDATE", "JALPRP", " SET AP_VAL=? WHERE AL_ID=? AND AP_NAME=?"),
                           {value, idValue(alertId), name}));
        return insertSetupRow(__LINE__, SetupRow::AlertProperty, {idValue(alertId), name, value, idValue(setupId)});
    });
} catch (...) {
    return caught(__LINE__, false);
}

uint32_t ProfileRDAImpl::addJobChart(uint32_t setupId, const VqbString& dataSource, const VqbString& catalog,
                                     const VqbString& schema, const VqbString& table, const VqbString& field,
                                     const VqbString& filter, const VqbString& description,
                                     const VqbString& textFile) try {
    Sql find(onTable("SELECT CH_ID FROM", "JCHART"));
    find.where("SU_ID", idValue(setupId)).where("CH_DSN", dataSource).where("CH_CAT", catalog);
    find.where("CH_SCH", schema).where("CH_TBL", table).where("CH_FLD", field).where("CH_FLTR", filter);
    find.where("CH_DESC", description).where("CH_TEXT", textFile);
    return findOrInsert(__LINE__, find, "CH_ID", SetupRow::Chart,
                        {dataSource, catalog, schema, table, field, filter, description, textFile,
                         idValue(setupId)});
} catch (...) {
    return caught(__LINE__, kNone);
}

bool ProfileRDAImpl::addJobChartProperty(uint32_t setupId, uint32_t chartId, const VqbString& name, int sequence,
                                         const VqbString& value) try {
    return insertSetupRow(__LINE__, SetupRow::ChartProperty, {idValue(chartId), name, sequence, value, idValue(setupId)});
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::getJobDataSourceIdByName(uint32_t setupId, const VqbString& name, uint32_t* dataSourceId) try {
    VqbDatavar id;
    const Lookup found = lookup(
        kSource, __LINE__,
        Sql(onTable("SELECT DSN_ID FROM", "JDSN")).where("SU_ID", idValue(setupId)).where("DSN_NAME", name), &id);
    if (found != Lookup::Found) return false;
    if (dataSourceId) *dataSourceId = static_cast<uint32_t>(id.asInt64());
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::getJobTableIdByName(uint32_t setupId, int dataSourceId, const VqbString& catalog,
                                         const VqbString& schema, const VqbString& tableName,
                                         const VqbString& filterName, const VqbString& filterExpression,
                                         const VqbString& filterSql, const VqbString& fileName,
                                         uint32_t* tableId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    const int width = getConnection()->getMaxTextLen();
    Sql sql(onTable("SELECT TBL_ID FROM", "JTABLE"));
    std::vector<ValueInfo> info;
    sql.where("SU_ID", idValue(setupId));
    info.push_back({2, 0});
    if (dataSourceId > 0) {
        sql.where("DSN_ID", dataSourceId);
        info.push_back({2, 0});
    }
    const std::pair<const char*, const VqbString*> texts[] = {
        {"TBL_CAT", &catalog}, {"TBL_SCH", &schema},    {"TBL_NAME", &tableName}, {"FLTR", &filterName},
        {"FLTR_E", &filterExpression}, {"FLTR_S", &filterSql}, {"FNAME", &fileName}};
    for (const auto& text : texts) {
        if (text.second->isEmpty()) continue;
        sql.where(text.first, *text.second);
        info.push_back({4, width});
    }
    ReposHeld<ReposDataAccessCursor> rows(selectPrepared(kSource, __LINE__, sql, info));
    if (!rows || rows->next() != 1) return false;
    const int column = columnIndex(rows.get(), "TBL_ID");
    if (column < 0) return false;
    if (tableId) *tableId = static_cast<uint32_t>(rows->getValue(column).asInt64());
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

// ---- reading

#define SETUP_READ(slot, ...)            \
    try {                                \
        return readSetup(__LINE__, slot, {__VA_ARGS__}); \
    } catch (...) {                      \
        return caught(__LINE__, nullptr); \
    }

ReposDataAccessCursor* ProfileRDAImpl::listJobSetups() SETUP_READ(59)
ReposDataAccessCursor* ProfileRDAImpl::getJobSetup(uint32_t setupId) SETUP_READ(60, idValue(setupId))
ReposDataAccessCursor* ProfileRDAImpl::listJobKeyValues(uint32_t setupId) SETUP_READ(62, idValue(setupId))
ReposDataAccessCursor* ProfileRDAImpl::listJobDataSources(uint32_t setupId) SETUP_READ(63, idValue(setupId))
ReposDataAccessCursor* ProfileRDAImpl::listJobTables(uint32_t dataSourceId) SETUP_READ(64, idValue(dataSourceId))
ReposDataAccessCursor* ProfileRDAImpl::listJobFields(uint32_t dataSourceId, uint32_t tableId)
    SETUP_READ(65, idValue(dataSourceId), idValue(tableId))
ReposDataAccessCursor* ProfileRDAImpl::listJobFieldMetrics(uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId)
    SETUP_READ(66, idValue(dataSourceId), idValue(tableId), idValue(fieldId))
ReposDataAccessCursor* ProfileRDAImpl::listJobCustomMetricMappingsOfMetric(uint32_t tableId, uint32_t sequenceId,
                                                                           const VqbString& customMetricName)
    SETUP_READ(67, idValue(tableId), idValue(sequenceId), customMetricName)
ReposDataAccessCursor* ProfileRDAImpl::listJobCustomMetricMappings(uint32_t setupId, uint32_t tableId)
    SETUP_READ(68, idValue(setupId), idValue(tableId))
ReposDataAccessCursor* ProfileRDAImpl::listJobFieldProperties(uint32_t dataSourceId, uint32_t tableId,
                                                              uint32_t fieldId)
    SETUP_READ(70, idValue(dataSourceId), idValue(tableId), idValue(fieldId))
ReposDataAccessCursor* ProfileRDAImpl::listJobTableCustomMetrics(uint32_t tableId) SETUP_READ(72, idValue(tableId))
ReposDataAccessCursor* ProfileRDAImpl::listJobTableBusinessRules(uint32_t tableId) SETUP_READ(73, idValue(tableId))
ReposDataAccessCursor* ProfileRDAImpl::listJobRuleFieldMappings(uint32_t tableId, uint32_t ruleId,
                                                                uint32_t sequenceId)
    SETUP_READ(74, idValue(tableId), idValue(ruleId), idValue(sequenceId))
ReposDataAccessCursor* ProfileRDAImpl::listJobRedundancyConfigs(uint32_t setupId) SETUP_READ(75, idValue(setupId))
ReposDataAccessCursor* ProfileRDAImpl::getJobRedundancyConfigBySettings(uint32_t setupId, const VqbString& name,
                                                                        const VqbString& matchDefinition,
                                                                        const VqbString& sensitivity,
                                                                        const VqbString& locale)
    SETUP_READ(76, name, matchDefinition, sensitivity, locale, idValue(setupId))
ReposDataAccessCursor* ProfileRDAImpl::listJobGlobalMetrics(uint32_t setupId) SETUP_READ(78, idValue(setupId))
ReposDataAccessCursor* ProfileRDAImpl::listJobAlerts(uint32_t setupId) SETUP_READ(79, idValue(setupId))
ReposDataAccessCursor* ProfileRDAImpl::listJobAlertProperties(uint32_t alertId) SETUP_READ(80, idValue(alertId))
ReposDataAccessCursor* ProfileRDAImpl::listJobCharts(uint32_t setupId) SETUP_READ(81, idValue(setupId))
ReposDataAccessCursor* ProfileRDAImpl::listJobChartProperties(uint32_t chartId) SETUP_READ(82, idValue(chartId))
ReposDataAccessCursor* ProfileRDAImpl::listJobBusinessRules(uint32_t setupId) SETUP_READ(84, idValue(setupId))

ReposDataAccessCursor* ProfileRDAImpl::listJobChildRows(uint32_t setupId, const char* table) try {
    for (const ReposKeyedTable& child : kSetupChildren)
        if (table && std::strcmp(child.table, table) == 0)
            return readRows(kSource, __LINE__, {child.table, {child.column}, nullptr}, {idValue(setupId)});
    reposLog(getLogger(), 5, kSource, __LINE__, "%s is not a table of job setups", table ? table : "(null)");
    return nullptr;
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool ProfileRDAImpl::reserveJobIds(const char* table, uint32_t count) try {
    for (const SetupInsert& insert : kSetupInserts) {
        if (!table || !insert.idKey || std::strcmp(insert.table, table) != 0) continue;
        reservedIds_.erase(insert.idKey);
        if (count == 0) return true;
        uint32_t first = 0;
        if (!nextIds(kSource, __LINE__, insert.idKey, static_cast<int>(count), first)) return false;
        reservedIds_[insert.idKey] = {first, count};
        return true;
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

// A link type narrows only when given.
ReposDataAccessCursor* ProfileRDAImpl::listJobLinkedFields(uint32_t fieldId, const VqbString& linkType) try {
    return select(kSource, __LINE__, Sql(rowSelect("JLNKFL")).where("FLD_ID", idValue(fieldId)).whereText("LNK_TYPE", linkType));
} catch (...) {
    return caught(__LINE__, nullptr);
}

// The "none" configuration lists every field of the setup.
ReposDataAccessCursor* ProfileRDAImpl::listJobFieldRedundancies(uint32_t setupId, uint32_t configId) try {
    Sql sql(rowSelect("JFRDA"));
    sql.where("SU_ID", idValue(setupId));
    if (configId != kNone) sql.where("CFG_ID", idValue(configId));
    return select(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listJobCustomMetricInputs(const VqbString& customMetricUid) try {
    return select(kSource, __LINE__,
                  Sql(onTables("SELECT A.CM_IN FROM %s A, %s B WHERE A.SEQ_ID=B.SEQ_ID AND A.CM_TYPE='I' AND "
                               "B.CM_UID=?",
                               {"JCMDMA", "JTBLME"}),
                      {customMetricUid}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listJobSetupSources(uint32_t setupId) try {
    return select(kSource, __LINE__,
                  Sql(onTables("SELECT DISTINCT c.DSN_NAME, c.DSN_CONN, d.TBL_CAT, d.TBL_SCH, d.TBL_NAME, d.FNAME, "
                               "c.DSN_TEXT, d.TBL_ID FROM %s c, %s d WHERE c.DSN_ID=d.DSN_ID AND c.SU_ID=?",
                               {"JDSN", "JTABLE"}),
                      {idValue(setupId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::findJobSetup(int setupId, const VqbString& name, const VqbString& uuid) try {
    return findByKey(kSource, __LINE__, {"JSETUP", "SU_ID", "SU_UUID", "SU_NAME"}, setupId, name, uuid);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool ProfileRDAImpl::existsJobFieldRedundancy(uint32_t setupId, const VqbString& dataSource, const VqbString& catalog,
                                              const VqbString& schema, const VqbString& table,
                                              const VqbString& fieldName) try {
    return lookup(kSource, __LINE__,
                  Sql(rowSelect("JFRDA"))
                      .where("SU_ID", idValue(setupId))
                      .where("FLD_DSN", dataSource)
                      .where("FLD_CAT", catalog)
                      .where("FLD_SCH", schema)
                      .where("FLD_TBL", table)
                      .where("FLD_NAME", fieldName)) == Lookup::Found;
} catch (...) {
    return caught(__LINE__, false);
}

// ---- changing

bool ProfileRDAImpl::moveReportToJobSetup(uint32_t setupId, uint32_t reportId) try {
    return run(kSource, __LINE__,
               Sql(onTable("UPDATE", "REPORT", " SET SU_ID=? WHERE RPT_ID=?"), {idValue(setupId), idValue(reportId)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::setReportJobSetup(uint32_t setupId, uint32_t reportId) try {
    return moveReportToJobSetup(setupId, reportId);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::updateJobSetup(uint32_t setupId, const VqbString& name, const VqbString& description,
                                    double editDate, const VqbString& editUser, uint32_t folderId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    const bool announce = !getConnection()->isInTransaction();
    VqbString oldName;  // null: a change, not a rename
    if (announce) {
        VqbDatavar read;
        if (lookup(kSource, __LINE__, Sql(onTable("SELECT SU_NAME FROM", "JSETUP")).where("SU_ID", idValue(setupId)),
                   &read) == Lookup::Found)
            oldName = read.asString();
    }
    if (!run(kSource, __LINE__,
             Sql(onTable("UPDATE", "JSETUP", " SET SU_NAME=?, SU_DESC=?, SU_EDDAT=?, SU_EDUSR=?, FLDR_ID=? WHERE SU_ID=?"),
                 {name, description, editDate, editUser, idValue(folderId), idValue(setupId)})))
        return false;
    if (announce)
        reposAnnounceUpdate(getConnection(), ReposObjectTypeName::ProfileJob, setupId, VqbString(""), oldName, name,
                            false);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::clearJobSetup(uint32_t setupId) try {
    return deleteKeyed(kSource, __LINE__, kSetupChildren, sizeof kSetupChildren / sizeof *kSetupChildren,
                       idValue(setupId));
} catch (...) {
    return caught(__LINE__, false);
}
