#include "repmetaprofjobimpl.h"

#include <memory>
#include <new>

#include "curuser.h"
#include "objecttypes.h"
#include "repmetaruleimpl.h"
#include "repos_announce.h"
#include "reposlog.h"
#include "vqbdatavar.h"
#include "vqbutil.h"
#include "vqrepevent.h"

// One list of the job tree: how its rows are read and exported, and how its elements are found or
// inserted on import. A list without an insert travels in exports only.
struct ReposJobList {
    const char* name;
    const char* elementType;
    const char* keyColumn;  // null: each element gets a new UUID
    ReposDataAccessCursor* (*rows)(ProfileRepositoryDataAccess&, const ReposJobIds&);
    const char* exportMissing;
    const char* trace;  // one %s: the traced column
    const char* traced;
    const char* importMissing;
    const char* lookupColumn;  // an existing row of the list whose column equals the element's is reused
    const char* idColumn;      // the row's id: given to nested lists, written as TARGETID
    // The new row's id; 0xFFFFFFFF on failure, 0 for an element skipped on purpose.
    uint32_t (*insert)(ProfileJobMetaContentImpl&, const ReposJobIds&, RepositoryMetadataObject*);
    const char* failure;  // "...: %s"
    uint32_t ReposJobIds::*nestedId;
    const ReposJobList* exportNested[3];
    const ReposJobList* importNested[3];
    // The existing row's id when the list finds it otherwise than by lookupColumn; 0xFFFFFFFF: none.
    uint32_t (*find)(ProfileJobMetaContentImpl&, const ReposJobIds&, RepositoryMetadataObject*);
    // Export: the dependent object of the row, and the ids its nested lists need.
    bool (*exportDependent)(ProfileJobMetaContentImpl&, ReposDataAccessCursor*, RepositoryMetadataObject*,
                            ReposJobIds&, VqbString&);
    // Import, before the element's row: its dependent object. Go, Skip (the element is left out) or Fail.
    int (*importDependent)(ProfileJobMetaContentImpl&, RepositoryMetadataObject*, ReposJobIds&, VqbString&);
};

namespace {

const char* const kSource = "repmetaprofjobimpl";
const uint32_t kNone = 0xFFFFFFFFu;
using C = RepositoryMetaContentImpl;
using P = ProfileRepositoryDataAccess;
using O = RepositoryMetadataObject;

VqbString t(O* o, const char* name) { return C::text(o, name); }
int n(O* o, const char* name) { return C::number(o, name, 0); }
bool flag(O* o, const char* name) {
    bool value = false;
    return o->getBoolProperty(VqbString(name), value) && value;
}
// Inserts that only say yes or no answer with a nominal id.
uint32_t done(bool ok) { return ok ? 1 : kNone; }

ReposHeld<P> profileOf(Repository* repository) {
    return ReposHeld<P>(repository ? repository->createProfileRepositoryDataAccess() : nullptr);
}

const ReposJobList kFieldMetrics = {
    "FieldMetrics", "FieldMetric", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobFieldMetrics(i.dataSource, i.table, i.field); },
    "No Profile Job field metrics found to export.", "Table field metric name=%s", "MET_NAME",
    "No Profile Job field metrics found to import.", "MET_NAME", nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobFieldMetric(i.job, i.dataSource, i.table, i.field, t(o, "MET_NAME"), t(o, "MET_VAL")));
    },
    "Error inserting job field metrics into profile job: %s", nullptr, {}, {}, nullptr, nullptr, nullptr};

const ReposJobList kFieldProperties = {
    "FieldProperties", "FieldProperty", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobFieldProperties(i.dataSource, i.table, i.field); },
    "No Profile Job field properties found to export.", "Field property name=%s", "PRP_NAME",
    "No Profile Job field properties found to import.", "PRP_NAME", nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobFieldProperty(i.job, i.dataSource, i.table, i.field, t(o, "PRP_NAME"), t(o, "PRP_VAL")));
    },
    "Error inserting job field properties into profile job: %s", nullptr, {}, {}, nullptr, nullptr, nullptr};

const ReposJobList kFieldLinks = {
    "FieldLinks", "FieldLink", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobLinkedFields(i.field, VqbString("")); },
    nullptr, "Table field key analysis name=%s", "LNK_NAME", nullptr, nullptr, nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobLinkedField(i.job, i.field, t(o, "LNK_DSN"), t(o, "LNK_CAT"), t(o, "LNK_SCH"),
                                        t(o, "LNK_TBL"), t(o, "LNK_NAME"), t(o, "LNK_TYPE"), t(o, "LNK_TEXT")));
    },
    "Error inserting job field links into profile job: %s", nullptr, {}, {}, nullptr, nullptr, nullptr};

const ReposJobList kFields = {
    "Fields", ReposObjectTypeName::Field, "FLD_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobFields(i.dataSource, i.table); },
    "No Profile Job table fields found to export.", "Table field name=%s", "FLD_NAME",
    "No Profile Job table fields were found to import.", "FLD_NAME", "FLD_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return p.addJobField(i.job, i.dataSource, i.table, t(o, "FLD_NAME"), t(o, "MET_OVRD"), n(o, "ORD_POS"));
    },
    "Error inserting job field into profile job: %s", &ReposJobIds::field,
    {&kFieldMetrics, &kFieldProperties, &kFieldLinks}, {&kFieldMetrics, &kFieldProperties, &kFieldLinks}, nullptr, nullptr, nullptr};

enum Dependent { Fail = -1, Skip = 0, Go = 1 };

uint32_t idOf(ReposDataAccessCursor* row, const char* column) {
    return static_cast<uint32_t>(C::column(row, column).asInt());
}

const ReposJobList kRuleFields = {
    "TableRuleFields", "TableRuleField", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobRuleFieldMappings(i.table, i.rule, i.sequence); },
    "No Profile Job tables found to export.", "Including field from Rule/Table mapping \"%s\".", "FLD_NAME",
    "No Profile Job rule field mappings found to import.", nullptr, nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return done(c.profile->addJobRuleFieldMapping(i.job, i.sequence, i.table, i.rule, t(i.parent, "BR_NAME"),
                                                      t(o, "FLD_NAME"), t(o, "BR_FLD")));
    },
    "Error inserting rule field mapping into profile job: %s", nullptr, {}, {},
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        ReposHeld<ReposDataAccessCursor> rows(c.profile->listJobRuleFieldMappings(i.table, i.rule, i.sequence));
        while (rows && rows->next() == 1)
            if (idOf(rows.get(), "SU_ID") == i.job && C::column(rows.get(), "BR_FLD").equals(t(o, "BR_FLD"), false) &&
                C::column(rows.get(), "FLD_NAME").equals(t(o, "FLD_NAME"), false))
                return 1u;
        return kNone;
    },
    nullptr, nullptr};

const ReposJobList kTableRules = {
    "TableRules", "TableRule", "SEQ_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobTableBusinessRules(i.table); },
    "No Profile Job table business rules found to export.", "Included table rule \"%s\".", "BR_NAME",
    "No Profile Job table business rules found to import.", nullptr, "SEQ_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return c.profile->insertJobBusinessRule(i.job, i.table, i.rule, t(o, "BR_NAME"), n(o, "LOG_FLAG"),
                                                n(o, "LOG_TH"), t(o, "BR_UID"));
    },
    "Error inserting table rule into profile job: %s", &ReposJobIds::sequence, {&kRuleFields}, {&kRuleFields},
    nullptr,
    // The rule the table rule names: by id while it has one, so a rule renamed since still travels.
    [](ProfileJobMetaContentImpl& c, ReposDataAccessCursor* row, O* element, ReposJobIds& nested, VqbString& error) {
        VqbString name = C::column(row, "BR_NAME");
        int ruleId = C::column(row, "BR_ID").asInt();
        ReposHeld<ReposDataAccessCursor> rule(
            c.common->findRule(ruleId >= 1 ? ruleId : -1, ruleId >= 1 ? VqbString("") : name, VqbString("")));
        nested.rule = static_cast<uint32_t>(ruleId);
        if (!rule || rule->next() != 1) return true;
        O* dependent = c.context()->createObjectByKey(VqbString(ReposObjectTypeName::Rule), VqbString("RU_DESC"),
                                                      C::column(rule.get(), "RU_DESC"));
        C::copyRow(rule.get(), dependent, false);
        dependent->setUuid(C::column(rule.get(), "RU_UUID"));
        c.report(2, VqbString::format("Included dependent rule \"%s\".", name.asCstr()));
        element->addChild(VqbString("Rules"), dependent);
        std::unique_ptr<RepositoryMetaContentImpl> content = createCommonExportContent(
            c.owner, c.repository, idOf(rule.get(), "RU_ID"), C::column(rule.get(), "RU_UUID"));
        return content && content->common && reposExportRuleContent(*content, dependent, error);
    },
    [](ProfileJobMetaContentImpl& c, O* element, ReposJobIds& ids, VqbString& error) {
        int ruleId = -1;
        VqbString name = t(element, "BR_NAME");
        ReposHeld<RepositoryMetadataObjectList> rules(element->getChildren(VqbString("Rules")));
        while (rules && rules->next())
            if (!reposImportDependentRule(c, rules->getCurrent(), c.folderId, ReposRuleOwner::ProfileJob, ruleId,
                                          name, error))
                return static_cast<int>(Fail);
        if (ruleId < 1) {
            c.fail(0, error, VqbString::format("Error finding business rule for table to insert into profile job: %s",
                                               name.asCstr()));
            return static_cast<int>(Fail);
        }
        element->setProperty(VqbString("BR_NAME"), name);
        ids.rule = static_cast<uint32_t>(ruleId);
        return static_cast<int>(Go);
    }};

const ReposJobList kMetricMaps = {
    "TableMetricFieldMaps", "TableMetricFieldMap", nullptr,
    // Each metric's own maps only: a table's metrics share its map rows.
    [](P& p, const ReposJobIds& i) {
        return p.listJobCustomMetricMappingsOfMetric(i.table, i.sequence, t(i.parent, "CM_NAME"));
    },
    "No Profile Job table metrics found to export.", "Table metric mapping field=%s", "CM_FLD",
    "No Profile Job table custom metric fields were found to import.", nullptr, nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return done(c.profile->addJobCustomMetricMappingEx(i.job, i.table, i.metric, i.sequence, t(o, "CM_NAME"),
                                                           t(o, "CM_IN"), t(o, "CM_OUT"), t(o, "CM_FLD"),
                                                           t(o, "CM_TYPE")));
    },
    "Error adding table custom metric field map to profile job: %s", nullptr, {}, {},
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        ReposHeld<ReposDataAccessCursor> rows(c.profile->listJobCustomMetricMappings(i.job, i.table));
        while (rows && rows->next() == 1) {
            bool same = idOf(rows.get(), "CM_ID") == i.metric && idOf(rows.get(), "SEQ_ID") == i.sequence;
            for (const char* column : {"CM_NAME", "CM_TYPE", "CM_FLD", "CM_IN", "CM_OUT"})
                same = same && C::column(rows.get(), column).equals(t(o, column), false);
            if (same) return 1u;
        }
        return kNone;
    },
    nullptr,
    // A map of another metric of the table does not belong under this one.
    [](ProfileJobMetaContentImpl&, O* element, ReposJobIds& ids, VqbString&) {
        return static_cast<int>(t(element, "CM_NAME").equals(t(ids.parent, "CM_NAME"), false) ? Go : Skip);
    }};

const ReposJobList kTableMetrics = {
    "TableMetrics", "TableMetric", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobTableCustomMetrics(i.table); },
    "No Profile Job table metrics found to export.", "Table metric name=%s", "CM_NAME",
    "No Profile Job table metrics were found to import.", nullptr, "SEQ_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return c.profile->addJobTableCustomMetric(i.job, i.table, i.metric, t(o, "CM_NAME"), t(o, "CM_UID"));
    },
    "Error adding table metrics to profile job: %s", &ReposJobIds::sequence, {&kMetricMaps}, {&kMetricMaps},
    // Found existing: its own sequence, so its maps go under it.
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        ReposHeld<ReposDataAccessCursor> rows(c.profile->listJobTableCustomMetrics(i.table));
        while (rows && rows->next() == 1)
            if (idOf(rows.get(), "CM_ID") == i.metric && C::column(rows.get(), "CM_UID").equals(t(o, "CM_UID"), false))
                return idOf(rows.get(), "SEQ_ID");
        return kNone;
    },
    [](ProfileJobMetaContentImpl& c, ReposDataAccessCursor* row, O* element, ReposJobIds& nested, VqbString& error) {
        nested.metric = idOf(row, "CM_ID");
        return c.exportCustomMetricChild(element, nested.metric, error);
    },
    [](ProfileJobMetaContentImpl& c, O* element, ReposJobIds& ids, VqbString& error) {
        ReposHeld<RepositoryMetadataObjectList> metrics(element->getChildren(VqbString("CustomMetrics")));
        O* metric = metrics && metrics->next() ? metrics->getCurrent() : nullptr;
        unsigned metricId = kNone;
        if (metric && !c.importCustomMetricChild(metric, metricId, error)) return static_cast<int>(Fail);
        if (metricId == kNone) {
            c.fail(0, error,
                   VqbString::format("Error adding table metrics to profile job, unable to find custom metric name=%s",
                                     t(element, "CM_NAME").asCstr()));
            return static_cast<int>(Fail);
        }
        ids.metric = metricId;
        return static_cast<int>(Go);
    }};

const ReposJobList kTables = {
    "Tables", "Table", "TBL_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobTables(i.dataSource); },
    "No Profile Job tables found to export.", "Table name=%s", "TBL_NAME",
    "No Profile Job DSN tables found to import.", nullptr, "TBL_ID",
    // The data access gives back an equal table of the job instead of a second one.
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return p.addJobTable(i.job, static_cast<int>(i.dataSource), t(o, "TBL_CAT"), t(o, "TBL_SCH"),
                             t(o, "TBL_NAME"), t(o, "FLTR"), t(o, "FLTR_E"), t(o, "FLTR_S"), n(o, "SAMP_INT"),
                             t(o, "FNAME"), t(o, "DELIM"), t(o, "TXT_QUAL"), n(o, "SKIP_ROW"), n(o, "REC_WDTH"),
                             n(o, "MAX_ROW"), t(o, "TRUNC"), n(o, "EOL"), n(o, "ENC"), t(o, "USE_BOM"),
                             flag(o, "DEC_TREE"));
    },
    "Error inserting table into profile job: %s", &ReposJobIds::table, {&kTableMetrics, &kFields, &kTableRules}, {&kFields, &kTableRules, &kTableMetrics}, nullptr, nullptr, nullptr};

const ReposJobList kDataSources = {
    "DSNs", "DSN", "DSN_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobDataSources(i.job); },
    "No Profile Job DSNs found to export.", "Data source name=%s", "DSN_NAME",
    "No Profile Job DSNs found to import.", "DSN_NAME", "DSN_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return p.addJobDataSource(i.job, t(o, "DSN_NAME"), t(o, "DSN_CONN"), t(o, "DSN_TEXT"));
    },
    "Error inserting DSN into profile job: %s", &ReposJobIds::dataSource, {&kTables}, {&kTables}, nullptr, nullptr, nullptr};

const ReposJobList kGlobalMetrics = {
    "GlobalMetrics", "GlobalMetric", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobGlobalMetrics(i.job); },
    "No Profile Job global metrics found to export.", "Global Metric name=%s", "MET_NAME",
    "No Profile Job global metrics found to import.", "MET_NAME", nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobGlobalMetric(i.job, t(o, "MET_NAME"), t(o, "MET_VAL")));
    },
    "Error inserting global metric for profile job: %s", nullptr, {}, {}, nullptr, nullptr, nullptr};

const ReposJobList kKeyValues = {
    "KeyValues", "KeyValue", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobKeyValues(i.job); },
    "No Profile Job key/values found to export.", "Key/value UUID=%s", "SU_KEY",
    "No Profile Job Key/Values found to import.", "SU_KEY", nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile; return done(p.addJobKeyValue(i.job, t(o, "SU_KEY"), t(o, "SU_VAL"))); },
    "Error inserting key/values for profile job: %s", nullptr, {}, {}, nullptr, nullptr, nullptr};

const ReposJobList kChartProperties = {
    "ChartProperties", "ChartProperty", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobChartProperties(i.owner); },
    nullptr, "Chart property name=%s", "CP_NAME", nullptr, nullptr, nullptr,
    // Numbered afresh in document order, whatever they were numbered where they came from.
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobChartProperty(i.job, i.owner, t(o, "CP_NAME"), i.position, t(o, "CP_VAL")));
    },
    "Error inserting chart property into profile job: %s", nullptr, {}, {}, nullptr, nullptr, nullptr};

const ReposJobList kCharts = {
    "JobCharts", "Chart", "CH_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobCharts(i.job); },
    "No Profile Job Charts found to export.", "Chart desc=%s", "CH_DESC",
    "No Profile Job Charts found to import.", nullptr, "CH_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return p.addJobChart(i.job, t(o, "CH_DSN"), t(o, "CH_CAT"), t(o, "CH_SCH"), t(o, "CH_TBL"), t(o, "CH_FLD"),
                             t(o, "CH_FLTR"), t(o, "CH_DESC"), t(o, "CH_TEXT"));
    },
    "Error inserting chart into profile job: %s", &ReposJobIds::owner, {&kChartProperties}, {&kChartProperties},
    // A described chart already there takes the element's properties.
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        VqbString description = t(o, "CH_DESC");
        if (description.isEmpty()) return kNone;
        ReposHeld<ReposDataAccessCursor> rows(c.profile->listJobCharts(i.job));
        while (rows && rows->next() == 1)
            if (C::column(rows.get(), "CH_DESC").equals(description, false))
                return static_cast<uint32_t>(C::column(rows.get(), "CH_ID").asInt());
        return kNone;
    },
    nullptr, nullptr};

const ReposJobList kAlertProperties = {
    "AlertProperties", "AlertProperty", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobAlertProperties(i.owner); },
    "No Profile Job Alerts found to export.", "Alert property name=%s", "AP_NAME",
    "No Profile Job Alerts found to import.", nullptr, nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return done(c.profile->setJobAlertProperty(i.job, i.owner, t(o, "AP_NAME"), t(o, "AP_VAL")));
    },
    "Error inserting alert property into profile job: %s", nullptr, {}, {}, nullptr, nullptr, nullptr};

const ReposJobList kAlerts = {
    "Alerts", "Alert", "AL_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobAlerts(i.job); },
    "No Profile Job Alerts found to export.", "Alert configuration desc=%s", "AL_DESC",
    "No Profile Job Alerts found to import.", nullptr, "AL_ID",
    // The data access gives back an equal alert of the job instead of a second one.
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return p.addJobAlert(i.job, t(o, "AL_DSN"), t(o, "AL_CAT"), t(o, "AL_SCH"), t(o, "AL_TBL"), t(o, "AL_FLD"),
                             t(o, "AL_FLTR"), t(o, "AL_DESC"), t(o, "AL_RULE"), t(o, "AL_TEXT"), t(o, "AL_TYPE"),
                             t(o, "AL_UID"));
    },
    "Error inserting alert into profile job: %s", &ReposJobIds::owner, {&kAlertProperties}, {&kAlertProperties},
    nullptr, nullptr, nullptr};

const ReposJobList kRedundancyConfigs = {
    "RDACfgs", "RDACfg", "CFG_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobRedundancyConfigs(i.job); },
    "No Profile Job RDA Cfgs found to export.", "RDA CFG name=%s", "CFG_NAME",
    nullptr, nullptr, "CFG_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return c.profile->addJobRedundancyConfig(i.job, t(o, "CFG_NAME"), t(o, "CFG_DESC"), t(o, "MC_DEF"),
                                                 t(o, "MC_SENS"), t(o, "MC_LOC"));
    },
    "Error inserting RDA configuration for profile job: %s", &ReposJobIds::owner, {}, {},
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        ReposHeld<ReposDataAccessCursor> rows(c.profile->getJobRedundancyConfigBySettings(
            i.job, t(o, "CFG_NAME"), t(o, "MC_DEF"), t(o, "MC_SENS"), t(o, "MC_LOC")));
        while (rows && rows->next() == 1) {
            VqbString id = C::column(rows.get(), "CFG_ID");
            if (!id.isNull() && static_cast<uint32_t>(id.asInt()) != kNone) return static_cast<uint32_t>(id.asInt());
        }
        return kNone;
    },
    nullptr, nullptr};

const ReposJobList kFieldConfigs = {
    "FieldCfgs", "FieldCfg", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobFieldRedundancies(i.job, kNone); },
    "No Profile Job Field Cfgs found to export.", "RDA field config=%s", "FLD_NAME",
    "No Profile Job field cfgs found to import.", nullptr, nullptr,
    // The configuration is the RDACfg element of the same key, imported just before; without one
    // (absent from the document or failed) the field configuration is left out.
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        VqbString key = t(o, "CFG_ID");
        if (key.isEmpty()) return 0u;
        O* config = c.context()->createObjectByKey(VqbString("RDACfg"), VqbString("CFG_ID"), key);
        int target = -1;
        if (!config || !c.context()->getIntProperty(config, VqbString("TARGETID"), target) || target < 1) return 0u;
        return done(c.profile->addJobFieldRedundancy(i.job, static_cast<uint32_t>(target), t(o, "FLD_DSN"),
                                                     t(o, "FLD_CAT"), t(o, "FLD_SCH"), t(o, "FLD_TBL"),
                                                     t(o, "FLD_NAME"), t(o, "DSN_TYPE")));
    },
    "Error RDA field mapping for profile job: %s", nullptr, {}, {}, nullptr, nullptr, nullptr};

const ReposJobList* const kExportOrder[] = {&kCharts,        &kAlerts,     &kDataSources,      &kFieldConfigs,
                                            &kGlobalMetrics, &kKeyValues, &kRedundancyConfigs};
// Field configurations read the new ids of the redundancy configurations.
const ReposJobList* const kImportOrder[] = {&kCharts,         &kAlerts,     &kDataSources,      &kGlobalMetrics,
                                            &kKeyValues,      &kRedundancyConfigs, &kFieldConfigs};

// The id of the list's row whose lookup column equals the value (ignoring case); kNone when none.
uint32_t existingRow(P& profile, const ReposJobList& list, const ReposJobIds& ids, const VqbString& value) {
    ReposHeld<ReposDataAccessCursor> rows(list.rows(profile, ids));
    while (rows && rows->next() == 1) {
        if (!C::column(rows.get(), list.lookupColumn).equals(value, false)) continue;
        if (!list.idColumn) return 1;
        VqbString id = C::column(rows.get(), list.idColumn);
        if (!id.isNull() && static_cast<uint32_t>(id.asInt()) != kNone) return static_cast<uint32_t>(id.asInt());
    }
    return kNone;
}

}  // namespace

ProfileJobMetaContentImpl::ProfileJobMetaContentImpl(RepositoryImportExportManagerImpl* owner_,
                                                     Repository* repository_, ProfileRepositoryDataAccess* profile_,
                                                     unsigned jobId)
    : RepositoryMetaContentImpl(owner_, repository_), profile(profile_) {
    id = jobId;
}

bool ProfileJobMetaContentImpl::exportList(const ReposJobList& list, O* parent, ReposJobIds ids, VqbString& error) {
    ReposHeld<ReposDataAccessCursor> rows(list.rows(*profile, ids));
    if (!rows) {
        if (list.exportMissing) reposLog(owner->getLogger(), 2, kSource, __LINE__, "%s", list.exportMissing);
        return true;
    }
    while (rows->next() == 1) {
        O* element = list.keyColumn ? context()->createObjectByKey(VqbString(list.elementType),
                                                                    VqbString(list.keyColumn),
                                                                    column(rows.get(), list.keyColumn))
                                    : context()->createObject(VqbString(list.elementType), vqbNewUUID());
        if (!element) return fail(0, error, VqbString("Unable to create export metadata object for profile."));
        copyRow(rows.get(), element, true);
        parent->addChild(VqbString(list.name), element);
        report(3, VqbString::format(list.trace, column(rows.get(), list.traced).asCstr()));
        // Nested rows hang from the source's own ids.
        ReposJobIds nested = ids;
        nested.parent = element;
        if (list.exportDependent && !list.exportDependent(*this, rows.get(), element, nested, error)) return false;
        if (!list.nestedId) continue;
        nested.*list.nestedId = static_cast<uint32_t>(column(rows.get(), list.idColumn).asInt());
        for (const ReposJobList* child : list.exportNested)
            if (child && !exportList(*child, element, nested, error)) return false;
    }
    return true;
}

bool ProfileJobMetaContentImpl::importList(const ReposJobList& list, O* parent, ReposJobIds ids, VqbString& error) {
    ReposHeld<RepositoryMetadataObjectList> elements(parent->getChildren(VqbString(list.name)));
    if (!elements) {
        if (list.importMissing) reposLog(owner->getLogger(), 2, kSource, __LINE__, "%s", list.importMissing);
        return true;
    }
    int position = 0;
    while (elements->next()) {
        O* element = elements->getCurrent();
        if (!element) continue;
        if (!element->getTypeName().equals(VqbString(list.elementType), false)) {
            report(1, VqbString::format("Skipping a \"%s\" element in the profile job list \"%s\".",
                                        element->getTypeName().asCstr(), list.name));
            continue;
        }
        ids.position = ++position;
        ReposJobIds nested = ids;
        nested.parent = element;
        if (list.importDependent) {
            int go = list.importDependent(*this, element, nested, error);
            if (go < 0) return false;
            if (go == 0) continue;
        }
        uint32_t rowId = list.find             ? list.find(*this, nested, element)
                         : list.lookupColumn ? existingRow(*profile, list, nested, text(element, list.lookupColumn))
                                             : kNone;
        if (rowId == kNone) {
            rowId = list.insert(*this, nested, element);
            if (rowId == 0) continue;
            if (rowId == kNone)
                return fail(0, error, VqbString::format(list.failure, profile->getErrorMessage().asCstr()));
            report(3, VqbString::format("Inserted %s \"%s\" into profile job.", list.elementType,
                                        text(element, list.traced).asCstr()));
        } else {
            report(3, VqbString::format("Using existing %s \"%s\" for profile job.", list.elementType,
                                        text(element, list.traced).asCstr()));
        }
        if (list.idColumn) context()->setIntProperty(element, VqbString("TARGETID"), static_cast<int>(rowId));
        if (!list.nestedId) continue;
        nested.*list.nestedId = rowId;
        for (const ReposJobList* child : list.importNested)
            if (child && !importList(*child, element, nested, error)) return false;
    }
    return true;
}

bool ProfileJobMetaContentImpl::exportContent(O* root, VqbString& error) {
    ReposHeld<ReposDataAccessCursor> row(profile->getJobSetup(id));
    if (!row) {
        report(0, VqbString::format("Unable to find profile job object with id=%d", static_cast<int>(id)));
        error = VqbString("A profile job was not found to export.");
        return false;
    }
    if (row->next() == 1) copyRow(row.get(), root, false);
    row.reset();
    ReposJobIds ids;
    ids.job = id;
    for (const ReposJobList* list : kExportOrder)
        if (!exportList(*list, root, ids, error)) return false;
    return true;
}

bool ProfileJobMetaContentImpl::importContent(unsigned folder, VqbString& error) {
    folderId = folder;
    if (!object) return true;
    if (!profile->clearJobSetup(id))
        return fail(0, error, VqbString::format("Error clearing existing profile job for import: %s",
                                                profile->getErrorMessage().asCstr()));
    ReposJobIds ids;
    ids.job = id;
    for (const ReposJobList* list : kImportOrder)
        if (!importList(*list, object, ids, error)) return false;
    return true;
}

// ---- the manager

namespace {

// Header and content in one exclusive transaction of the profile data access, committed only when
// both succeed; a failure midway leaves the repository as it was.
template <class F>
bool atomically(P& profile, VqbString& error, F&& body) {
    if (!profile.beginTransaction(true)) {
        error = profile.getErrorMessage();
        return false;
    }
    bool ok = false;
    try {
        ok = body();
    } catch (...) {
        profile.endTransaction(false);
        throw;
    }
    if (!ok) {
        profile.endTransaction(false);
        return false;
    }
    if (profile.endTransaction(true)) return true;
    error = profile.getErrorMessage();
    return false;
}

}  // namespace

bool ProfileJobManagerImpl::deleteObject(unsigned id, const VqbString& uuid, VqbString& error) {
    ReposHeld<P> profile = profileOf(owner_->getRepository());
    if (!profile) return false;
    if (!profile->deleteJobSetup(id)) {
        error = profile->getErrorMessage();
        return false;
    }
    if (getRepositoryEventManager())
        reposAnnounce(reposConnectionOf(profile.get()), REPOS_CHANGE_DELETE,
                      VqbString(ReposObjectTypeName::ProfileJob), id, uuid);
    return true;
}

bool ProfileJobManagerImpl::exportObject(unsigned id, const VqbString& uuid, VqbString& output, VqbString& error) {
    Repository* repository = owner_->getRepository();
    if (!repository) return false;
    O* object = owner_->getContext()->createObject(VqbString(ReposObjectTypeName::ProfileJob), uuid);
    if (!object) {
        error = VqbString("Unable to create export metadata object for profile.");
        return false;
    }
    ReposHeld<P> profile = profileOf(repository);
    if (!profile) {
        error = VqbString("Unable to create Profile export object.");
        return false;
    }
    ProfileJobMetaContentImpl content(owner_, repository, profile.get(), id);
    content.uuid = uuid;
    return content.exportContent(object, error) && owner_->serializeObject(object, output, error);
}

bool ProfileJobManagerImpl::importObject(O* object, unsigned folderId, const VqbString& name, VqbString& error) {
    Repository* repository = owner_->getRepository();
    ReposHeld<P> profile = profileOf(repository);
    if (!profile || !object) return false;
    RepositoryMetadataSerializationContext* context = owner_->getContext();
    VqbString chosen = t(object, "SU_NAME");
    if (!name.isEmpty()) {
        reposLog(owner_->getLogger(), 1, kSource, __LINE__,
                 "Changing profile job Name from original \"%s\" to new \"%s\" on import.", chosen.asCstr(),
                 name.asCstr());
        chosen = name;
    }
    // Every import is a new job: the document's UUID stays with the job it came from.
    VqbString newUuid = vqbNewUUID();
    context->setStringProperty(object, VqbString("TARGETUUID"), newUuid);
    reposLog(owner_->getLogger(), 1, kSource, __LINE__,
             "Changing profile job UUID from original \"%s\" to new \"%s\" on import.", t(object, "SU_UUID").asCstr(),
             newUuid.asCstr());
    double now = VqbDate::currentDate().asDouble();
    double created = now;
    VqbString createdText = t(object, "SU_CRDAT");
    if (!createdText.isEmpty()) object->getDoubleProperty(VqbString("SU_CRDAT"), created);
    uint32_t id = kNone;
    ProfileJobMetaContentImpl content(owner_, repository, profile.get(), 0);
    content.object = object;
    bool ok = atomically(*profile, error, [&] {
        id = profile->addJobSetup(chosen, t(object, "SU_DESC"), newUuid, created, now, t(object, "SU_CRUSR"),
                                  getCurrentUserName(), folderId);
        if (id == kNone || id == 0) {
            error = profile->getErrorMessage();
            reposLog(owner_->getLogger(), 5, kSource, __LINE__, "Error creating profile job: %s", error.asCstr());
            return false;
        }
        context->setIntProperty(object, VqbString("TARGETID"), static_cast<int>(id));
        content.id = id;
        return content.importContent(folderId, error);
    });
    if (!ok) return false;
    owner_->setObjectPath(id, VqbString(ReposObjectTypeName::ProfileJob), newUuid);
    content.report(2, VqbString("Created profile job import object"));
    if (getRepositoryEventManager())
        reposAnnounce(reposConnectionOf(profile.get()), REPOS_CHANGE_CREATE,
                      VqbString(ReposObjectTypeName::ProfileJob), id, newUuid);
    return true;
}

bool ProfileJobManagerImpl::updateObject(O* object, unsigned id, const VqbString& existingUuid, unsigned folderId,
                                         const VqbString& existingName, VqbString& error) {
    Repository* repository = owner_->getRepository();
    ReposHeld<P> profile = profileOf(repository);
    if (!profile || !object) return false;
    RepositoryMetadataSerializationContext* context = owner_->getContext();
    VqbString imported = t(object, "SU_NAME");
    VqbString name = reposUpdateName(context, ReposObjectTypeName::ProfileJob, imported, existingName);
    VqbString documentUuid = t(object, "SU_UUID");
    if (existingUuid.isEmpty() || existingUuid.equals(documentUuid, false))
        context->reportAction(2, VqbString::format("Using original '%s' UUID \"%s\" on import.",
                                                   ReposObjectTypeName::ProfileJob, documentUuid.asCstr()));
    else
        context->reportAction(2, VqbString::format("Changing '%s' UUID from original \"%s\" to new \"%s\" on import.",
                                                   ReposObjectTypeName::ProfileJob, documentUuid.asCstr(),
                                                   existingUuid.asCstr()));
    ProfileJobMetaContentImpl content(owner_, repository, profile.get(), id);
    content.object = object;
    bool ok = atomically(*profile, error, [&] {
        if (!profile->updateJobSetup(id, name, t(object, "SU_DESC"), VqbDate::currentDate().asDouble(),
                                     getCurrentUserName(), folderId))
            return content.fail(0, error, VqbString::format("Error updating '%s' \"%s\": %s",
                                                            ReposObjectTypeName::ProfileJob, name.asCstr(),
                                                            profile->getErrorMessage().asCstr()));
        return content.importContent(folderId, error);
    });
    if (!ok) return false;
    if (getRepositoryEventManager()) {
        VqbString uuid = existingUuid.isEmpty() ? documentUuid : existingUuid;
        reposAnnounce(reposConnectionOf(profile.get()), REPOS_CHANGE_MODIFY,
                      VqbString(ReposObjectTypeName::ProfileJob), id, uuid);
    }
    return true;
}
