#include "repmetaprofjobimpl.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "curuser.h"
#include "objecttypes.h"
#include "prof_rdaimpl.h"
#include "repmetaruleimpl.h"
#include "repos_announce.h"
#include "repos_cursors.h"
#include "reposlog.h"
#include "vqbdatavar.h"
#include "vqbutil.h"
#include "vqrepevent.h"

// A text of a list with the element's properties (or row's columns) it names; a null first name
// stands for the element's UUID.
struct ReposJobText {
    const char* text;  // null: none
    int level;
    const char* args[2];
};

// One list of the job tree: how its rows are read and exported, and how its elements are found or
// inserted on import. A list without an insert travels in exports only.
struct ReposJobList {
    const char* name;
    const char* elementType;
    const char* keyColumn;  // null: each element gets a new UUID
    // The rows of one parent. A list with a table reads that table once for the whole job instead
    // and groups its rows by the parent columns, which the rows operation filters on.
    ReposDataAccessCursor* (*rows)(ProfileRepositoryDataAccess&, const ReposJobIds&);
    const char* table;
    const char* parentColumns[3];
    // The values of the parent columns for a parent, as parentKey of a row gives them.
    std::string (*parentKey)(const ReposJobIds&);
    const char* exportMissing;
    ReposJobText trace;
    const char* importMissing;
    // The key of the existing row an element matches (texts folded to lower case); null, or an empty
    // key, when the element is always inserted.
    std::string (*match)(const ReposJobIds&, RepositoryMetadataObject*);
    const char* idColumn;  // the row's id: given to nested lists, written as TARGETID
    // The new row's id; 0xFFFFFFFF on failure, 0 for an element skipped on purpose.
    uint32_t (*insert)(ProfileJobMetaContentImpl&, const ReposJobIds&, RepositoryMetadataObject*);
    const char* failure;  // "...: %s"
    ReposJobText found;
    ReposJobText inserted;
    bool foundWithoutTarget;  // a found row is not recorded in the element
    uint32_t ReposJobIds::*nestedId;
    const ReposJobList* exportNested[3];
    const ReposJobList* importNested[3];
    // Export: the dependent object of the row, and the ids its nested lists need.
    bool (*exportDependent)(ProfileJobMetaContentImpl&, ReposDataAccessCursor*, RepositoryMetadataObject*,
                            ReposJobIds&, VqbString&);
    // Import, before the element's row: its dependent object. Go, Skip (the element is left out) or Fail.
    int (*importDependent)(ProfileJobMetaContentImpl&, RepositoryMetadataObject*, ReposJobIds&, VqbString&);
};

// One child table of the job read whole: its columns and its rows by parent.
struct ReposJobRows {
    std::vector<VqbString> columns;
    std::unordered_map<std::string, ReposHeld<ReposDataCursor>> parents;
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

// Keys are parts joined by a separator no id or name of a job holds.
const char kSep = '\x1f';
std::string id(uint32_t value) { return std::to_string(static_cast<int32_t>(value)); }
std::string key(std::initializer_list<std::string> parts) {
    std::string joined;
    for (const std::string& part : parts) (joined += part) += kSep;
    return joined;
}
// The element's property folded to lower case, as the lookups compare names.
std::string folded(O* o, const char* name) { return t(o, name).lowercase().str(); }

const ReposJobList kFieldMetrics = {
    "FieldMetrics", "FieldMetric", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobFieldMetrics(i.dataSource, i.table, i.field); },
    "JFLDME", {"DSN_ID", "TBL_ID", "FLD_ID"},
    [](const ReposJobIds& i) { return key({id(i.dataSource), id(i.table), id(i.field)}); },
    "No Profile Job field metrics found to export.", {"Table field metric name=%s", 3, {"MET_NAME"}},
    "No Profile Job field metrics found to import.",
    [](const ReposJobIds& i, O* o) { return key({id(i.field), folded(o, "MET_NAME")}); }, nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobFieldMetric(i.job, i.dataSource, i.table, i.field, t(o, "MET_NAME"), t(o, "MET_VAL")));
    },
    "Error inserting job field metrics into profile job: %s",
    {"Using existing profile field metric name=\"%s\", value=\"%s\".", 3, {"MET_NAME", "MET_VAL"}},
    {"Inserted profile field metric name=\"%s\", value=\"%s\".", 3, {"MET_NAME", "MET_VAL"}}, false, nullptr, {},
    {}, nullptr, nullptr};

const ReposJobList kFieldProperties = {
    "FieldProperties", "FieldProperty", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobFieldProperties(i.dataSource, i.table, i.field); },
    "JFLDPR", {"DSN_ID", "TBL_ID", "FLD_ID"},
    [](const ReposJobIds& i) { return key({id(i.dataSource), id(i.table), id(i.field)}); },
    "No Profile Job field properties found to export.", {"Field property name=%s", 3, {"PRP_NAME"}},
    "No Profile Job field properties found to import.",
    [](const ReposJobIds& i, O* o) { return key({id(i.field), folded(o, "PRP_NAME")}); }, nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobFieldProperty(i.job, i.dataSource, i.table, i.field, t(o, "PRP_NAME"), t(o, "PRP_VAL")));
    },
    "Error inserting job field properties into profile job: %s",
    {"Using existing field property name=\"%s\", value=\"%s\".", 3, {"PRP_NAME", "PRP_VAL"}},
    {"Inserted field property name=\"%s\", value=\"%s\".", 3, {"PRP_NAME", "PRP_VAL"}}, false, nullptr, {}, {},
    nullptr, nullptr};

const ReposJobList kFieldLinks = {
    "FieldLinks", "FieldLink", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobLinkedFields(i.field, VqbString("")); },
    "JLNKFL", {"FLD_ID"}, [](const ReposJobIds& i) { return key({id(i.field)}); },
    nullptr, {"Table field key analysis name=%s", 3, {"LNK_NAME"}}, nullptr, nullptr, nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobLinkedField(i.job, i.field, t(o, "LNK_DSN"), t(o, "LNK_CAT"), t(o, "LNK_SCH"),
                                        t(o, "LNK_TBL"), t(o, "LNK_NAME"), t(o, "LNK_TYPE"), t(o, "LNK_TEXT")));
    },
    "Error inserting job field links into profile job: %s", {},
    {"Error inserted job field link into profile job: %s", 3, {"LNK_NAME"}}, false, nullptr, {}, {}, nullptr,
    nullptr};

const ReposJobList kFields = {
    "Fields", ReposObjectTypeName::Field, "FLD_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobFields(i.dataSource, i.table); },
    "JFLD", {"DSN_ID", "TBL_ID"}, [](const ReposJobIds& i) { return key({id(i.dataSource), id(i.table)}); },
    "No Profile Job table fields found to export.", {"Table field name=%s", 3, {"FLD_NAME"}},
    "No Profile Job table fields were found to import.",
    [](const ReposJobIds& i, O* o) { return key({id(i.dataSource), id(i.table), folded(o, "FLD_NAME")}); },
    "FLD_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return p.addJobField(i.job, i.dataSource, i.table, t(o, "FLD_NAME"), t(o, "MET_OVRD"), n(o, "ORD_POS"));
    },
    "Error inserting job field into profile job: %s",
    {"Using existing table field for profile job, name=%s", 3, {"FLD_NAME"}},
    {"Inserted table field into profile job, name=%s", 3, {"FLD_NAME"}}, false, &ReposJobIds::field,
    {&kFieldMetrics, &kFieldProperties, &kFieldLinks}, {&kFieldMetrics, &kFieldProperties, &kFieldLinks}, nullptr,
    nullptr};

enum Dependent { Fail = -1, Skip = 0, Go = 1 };

uint32_t idOf(ReposDataAccessCursor* row, const char* column) {
    return static_cast<uint32_t>(C::column(row, column).asInt());
}

const ReposJobList kRuleFields = {
    "TableRuleFields", "TableRuleField", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobRuleFieldMappings(i.table, i.rule, i.sequence); },
    "JTBLMA", {"TBL_ID", "BR_ID", "SEQ_ID"},
    [](const ReposJobIds& i) { return key({id(i.table), id(i.rule), id(i.sequence)}); },
    "No Profile Job tables found to export.",
    {"Including field from Rule/Table mapping \"%s\" to \"%s\".", 3, {"FLD_NAME", "BR_FLD"}},
    "No Profile Job rule field mappings found to import.",
    [](const ReposJobIds& i, O* o) {
        return key({id(i.table), id(i.rule), id(i.sequence), folded(o, "BR_FLD"), folded(o, "FLD_NAME")});
    },
    nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return done(c.profile->addJobRuleFieldMapping(i.job, i.sequence, i.table, i.rule, t(i.parent, "BR_NAME"),
                                                      t(o, "FLD_NAME"), t(o, "BR_FLD")));
    },
    "Error inserting rule field mapping into profile job: %s",
    {"Using existing rule field mapping=\"%s\", br field==\"%s\".", 3, {"FLD_NAME", "BR_FLD"}},
    {"Inserted rule field mapping=\"%s\", br field=\"%s\".", 3, {"FLD_NAME", "BR_FLD"}}, false, nullptr, {}, {},
    nullptr, nullptr};

const ReposJobList kTableRules = {
    "TableRules", "TableRule", "SEQ_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobTableBusinessRules(i.table); },
    "JTBLRU", {"TBL_ID"}, [](const ReposJobIds& i) { return key({id(i.table)}); },
    "No Profile Job table business rules found to export.", {"Included table rule \"%s\".", 2, {"BR_NAME"}},
    "No Profile Job table business rules found to import.", nullptr, "SEQ_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return c.profile->insertJobBusinessRule(i.job, i.table, i.rule, t(o, "BR_NAME"), n(o, "LOG_FLAG"),
                                                n(o, "LOG_TH"), t(o, "BR_UID"));
    },
    "Error inserting table rule into profile job: %s", {},
    {"Successful import of table rule=\"%s\" for profile table.", 2, {"BR_NAME"}}, false, &ReposJobIds::sequence,
    {&kRuleFields}, {&kRuleFields},
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
    "JCMDMA", {"TBL_ID", "SEQ_ID", "CM_NAME"},
    [](const ReposJobIds& i) { return key({id(i.table), id(i.sequence), t(i.parent, "CM_NAME").str()}); },
    "No Profile Job table metrics found to export.",
    {"Table metric \"%s\" mapping field=%s", 3, {"CM_NAME", "CM_FLD"}},
    "No Profile Job table custom metric fields were found to import.",
    [](const ReposJobIds& i, O* o) {
        return key({id(i.table), id(i.metric), id(i.sequence), folded(o, "CM_NAME"), folded(o, "CM_TYPE"),
                    folded(o, "CM_FLD"), folded(o, "CM_IN"), folded(o, "CM_OUT")});
    },
    nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return done(c.profile->addJobCustomMetricMappingEx(i.job, i.table, i.metric, i.sequence, t(o, "CM_NAME"),
                                                           t(o, "CM_IN"), t(o, "CM_OUT"), t(o, "CM_FLD"),
                                                           t(o, "CM_TYPE")));
    },
    "Error adding table custom metric field map to profile job: %s",
    {"Using existing table custom metric field map for profile job: name=%s", 3, {"CM_NAME"}},
    {"Insert profile table metric \"%s\" field \"%s\".", 3, {"CM_NAME", "CM_FLD"}}, false, nullptr, {}, {}, nullptr,
    // A map of another metric of the table does not belong under this one.
    [](ProfileJobMetaContentImpl&, O* element, ReposJobIds& ids, VqbString&) {
        return static_cast<int>(t(element, "CM_NAME").equals(t(ids.parent, "CM_NAME"), false) ? Go : Skip);
    }};

const ReposJobList kTableMetrics = {
    "TableMetrics", "TableMetric", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobTableCustomMetrics(i.table); },
    "JTBLME", {"TBL_ID"}, [](const ReposJobIds& i) { return key({id(i.table)}); },
    "No Profile Job table metrics found to export.", {"Table metric name=%s", 3, {"CM_NAME"}},
    "No Profile Job table metrics were found to import.",
    // Found existing: its own sequence, so its maps go under it.
    [](const ReposJobIds& i, O* o) { return key({id(i.table), id(i.metric), folded(o, "CM_UID")}); }, "SEQ_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return c.profile->addJobTableCustomMetric(i.job, i.table, i.metric, t(o, "CM_NAME"), t(o, "CM_UID"));
    },
    "Error adding table metrics to profile job: %s",
    {"Using existing profile table metric name=\"%s\".", 3, {"CM_NAME"}},
    {"Inserted profile table metric name=\"%s\".", 3, {"CM_NAME"}}, false, &ReposJobIds::sequence, {&kMetricMaps},
    {&kMetricMaps},
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
                                     t(metric ? metric : element, metric ? "CM_DESC" : "CM_NAME").asCstr()));
            return static_cast<int>(Fail);
        }
        ids.metric = metricId;
        return static_cast<int>(Go);
    }};

const ReposJobList kTables = {
    "Tables", "Table", "TBL_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobTables(i.dataSource); },
    "JTABLE", {"DSN_ID"}, [](const ReposJobIds& i) { return key({id(i.dataSource)}); },
    "No Profile Job tables found to export.", {"Table name=%s", 3, {"TBL_NAME"}},
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
    "Error inserting table into profile job: %s", {},
    {"Successful import of Table=\"%s\" for profile.", 3, {"TBL_NAME"}}, false, &ReposJobIds::table,
    {&kTableMetrics, &kFields, &kTableRules}, {&kFields, &kTableRules, &kTableMetrics}, nullptr, nullptr};

const ReposJobList kDataSources = {
    "DSNs", "DSN", "DSN_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobDataSources(i.job); }, nullptr, {}, nullptr,
    "No Profile Job DSNs found to export.", {"Data source name=%s", 3, {"DSN_NAME"}},
    "No Profile Job DSNs found to import.", [](const ReposJobIds&, O* o) { return key({folded(o, "DSN_NAME")}); },
    "DSN_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return p.addJobDataSource(i.job, t(o, "DSN_NAME"), t(o, "DSN_CONN"), t(o, "DSN_TEXT"));
    },
    "Error inserting DSN into profile job: %s",
    {"Use existing DSN for profile import, DSN=\"%s\".", 3, {"DSN_NAME"}},
    {"Successful import of DSN=\"%s\".", 3, {"DSN_NAME"}}, false, &ReposJobIds::dataSource, {&kTables}, {&kTables},
    nullptr, nullptr};

const ReposJobList kGlobalMetrics = {
    "GlobalMetrics", "GlobalMetric", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobGlobalMetrics(i.job); }, nullptr, {}, nullptr,
    "No Profile Job global metrics found to export.", {"Global Metric name=%s", 3, {"MET_NAME"}},
    "No Profile Job global metrics found to import.",
    [](const ReposJobIds&, O* o) { return key({folded(o, "MET_NAME")}); }, nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobGlobalMetric(i.job, t(o, "MET_NAME"), t(o, "MET_VAL")));
    },
    "Error inserting global metric for profile job: %s",
    {"Existing profile global metric was found, name=\"%s\", value=\"%s\".", 3, {"MET_NAME", "MET_VAL"}},
    {"Inserted profile global metric, name=\"%s\", value=\"%s\".", 3, {"MET_NAME", "MET_VAL"}}, false, nullptr, {},
    {}, nullptr, nullptr};

const ReposJobList kKeyValues = {
    "KeyValues", "KeyValue", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobKeyValues(i.job); }, nullptr, {}, nullptr,
    "No Profile Job key/values found to export.", {"Key/value UUID=%s", 3, {"SU_KEY"}},
    "No Profile Job Key/Values found to import.", [](const ReposJobIds&, O* o) { return key({folded(o, "SU_KEY")}); },
    nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobKeyValue(i.job, t(o, "SU_KEY"), t(o, "SU_VAL")));
    },
    "Error inserting key/values for profile job: %s",
    {"Found existing profile key/value key=\"%s\", value=\"%s\".", 3, {"SU_KEY", "SU_VAL"}},
    {"Inserted profile key/value key=\"%s\", value=\"%s\".", 3, {"SU_KEY", "SU_VAL"}}, false, nullptr, {}, {},
    nullptr, nullptr};

const ReposJobList kChartProperties = {
    "ChartProperties", "ChartProperty", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobChartProperties(i.owner); },
    "JCHPRP", {"CH_ID"}, [](const ReposJobIds& i) { return key({id(i.owner)}); },
    nullptr, {"Chart property name=%s", 3, {"CP_NAME"}}, nullptr, nullptr, nullptr,
    // Numbered afresh in document order, whatever they were numbered where they came from.
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return done(p.addJobChartProperty(i.job, i.owner, t(o, "CP_NAME"), i.position, t(o, "CP_VAL")));
    },
    "Error inserting chart property into profile job: %s", {},
    {"Inserted profile chart property name=\"%s\".", 3, {"CP_NAME"}}, false, nullptr, {}, {}, nullptr, nullptr};

const ReposJobList kCharts = {
    "JobCharts", "Chart", "CH_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobCharts(i.job); }, nullptr, {}, nullptr,
    "No Profile Job Charts found to export.", {"Chart desc=%s", 3, {"CH_DESC"}},
    "No Profile Job Charts found to import.",
    // A described chart already there takes the element's properties.
    [](const ReposJobIds&, O* o) { return t(o, "CH_DESC").isEmpty() ? std::string() : key({folded(o, "CH_DESC")}); },
    "CH_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return p.addJobChart(i.job, t(o, "CH_DSN"), t(o, "CH_CAT"), t(o, "CH_SCH"), t(o, "CH_TBL"), t(o, "CH_FLD"),
                             t(o, "CH_FLTR"), t(o, "CH_DESC"), t(o, "CH_TEXT"));
    },
    "Error inserting chart into profile job: %s", {"Found existing chart %s", 2, {"CH_DESC"}},
    {"Inserted profile chart name=\"%s\".", 3, {"CH_DESC"}}, true, &ReposJobIds::owner, {&kChartProperties},
    {&kChartProperties}, nullptr, nullptr};

const ReposJobList kAlertProperties = {
    "AlertProperties", "AlertProperty", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobAlertProperties(i.owner); },
    "JALPRP", {"AL_ID"}, [](const ReposJobIds& i) { return key({id(i.owner)}); },
    "No Profile Job Alerts found to export.", {"Alert property name=%s", 3, {"AP_NAME"}},
    "No Profile Job Alerts found to import.", nullptr, nullptr,
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return done(c.profile->setJobAlertProperty(i.job, i.owner, t(o, "AP_NAME"), t(o, "AP_VAL")));
    },
    "Error inserting alert property into profile job: %s", {},
    {"Inserted profile alert property name=\"%s\".", 3, {"AP_NAME"}}, false, nullptr, {}, {}, nullptr, nullptr};

const ReposJobList kAlerts = {
    "Alerts", "Alert", "AL_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobAlerts(i.job); }, nullptr, {}, nullptr,
    "No Profile Job Alerts found to export.", {"Alert configuration desc=%s", 3, {"AL_DESC"}},
    "No Profile Job Alerts found to import.", nullptr, "AL_ID",
    // The data access gives back an equal alert of the job instead of a second one.
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        P& p = *c.profile;
        return p.addJobAlert(i.job, t(o, "AL_DSN"), t(o, "AL_CAT"), t(o, "AL_SCH"), t(o, "AL_TBL"), t(o, "AL_FLD"),
                             t(o, "AL_FLTR"), t(o, "AL_DESC"), t(o, "AL_RULE"), t(o, "AL_TEXT"), t(o, "AL_TYPE"),
                             t(o, "AL_UID"));
    },
    "Error inserting alert into profile job: %s", {}, {"Inserted profile alert name=\"%s\".", 3, {"AL_DESC"}},
    false, &ReposJobIds::owner, {&kAlertProperties}, {&kAlertProperties}, nullptr, nullptr};

const ReposJobList kRedundancyConfigs = {
    "RDACfgs", "RDACfg", "CFG_ID",
    [](P& p, const ReposJobIds& i) { return p.listJobRedundancyConfigs(i.job); }, nullptr, {}, nullptr,
    "No Profile Job RDA Cfgs found to export.", {"RDA CFG name=%s", 3, {"CFG_NAME"}}, nullptr,
    // As the data access tells configurations apart: by name and match settings, exactly.
    [](const ReposJobIds&, O* o) {
        return key({t(o, "CFG_NAME").str(), t(o, "MC_DEF").str(), t(o, "MC_SENS").str(), t(o, "MC_LOC").str()});
    },
    "CFG_ID",
    [](ProfileJobMetaContentImpl& c, const ReposJobIds& i, O* o) {
        return c.profile->addJobRedundancyConfig(i.job, t(o, "CFG_NAME"), t(o, "CFG_DESC"), t(o, "MC_DEF"),
                                                 t(o, "MC_SENS"), t(o, "MC_LOC"));
    },
    "Error inserting RDA configuration for profile job: %s",
    {"Found existing profile RDA configuration, name=\"%s\".", 3, {"CFG_NAME"}},
    {"Inserted profile RDA configuration, name=\"%s\".", 3, {"CFG_NAME"}}, false, &ReposJobIds::owner, {}, {},
    nullptr, nullptr};

const ReposJobList kFieldConfigs = {
    "FieldCfgs", "FieldCfg", nullptr,
    [](P& p, const ReposJobIds& i) { return p.listJobFieldRedundancies(i.job, kNone); }, nullptr, {}, nullptr,
    "No Profile Job Field Cfgs found to export.", {"RDA field config=%s", 3, {nullptr}},
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
    "Error RDA field mapping for profile job: %s", {},
    {"Inserted/Updated profile RDA field mapping name=\"%s\".", 3, {"FLD_NAME"}}, false, nullptr, {}, {}, nullptr,
    nullptr};

const ReposJobList* const kExportOrder[] = {&kCharts,        &kAlerts,     &kDataSources,      &kFieldConfigs,
                                            &kGlobalMetrics, &kKeyValues, &kRedundancyConfigs};
// Field configurations read the new ids of the redundancy configurations.
const ReposJobList* const kImportOrder[] = {&kCharts,         &kAlerts,     &kDataSources,      &kGlobalMetrics,
                                            &kKeyValues,      &kRedundancyConfigs, &kFieldConfigs};

// The list's text with the element's properties, or the row's columns when exporting.
VqbString textOf(const ReposJobText& text, O* element, ReposDataAccessCursor* row) {
    VqbString value[2];
    for (int i = 0; i < 2; ++i) {
        const char* name = text.args[i];
        if (!name)
            value[i] = i == 0 ? element->getUuid() : VqbString("");
        else
            value[i] = row ? C::column(row, name) : t(element, name);
    }
    return VqbString::format(text.text, value[0].asCstr(), value[1].asCstr());
}

int columnIndexOf(ReposDataAccessCursor* cursor, const char* name) {
    for (int i = 0, count = cursor->getNumCols(); i < count; ++i)
        if (cursor->getColName(i).equals(VqbString(name), false)) return i;
    return -1;
}

// A row's values of the parent columns, as the list's parentKey gives a parent's.
std::string parentKeyOf(const ReposJobList& list, ReposDataAccessCursor* row, const std::vector<int>& columns) {
    std::string joined;
    for (size_t i = 0; i < columns.size(); ++i) {
        VqbString value = columns[i] < 0 ? VqbString("") : row->getString(columns[i]);
        // Ids compare as the numbers they are; names as they are written.
        const char* name = list.parentColumns[i];
        std::string part = std::strstr(name, "_ID") ? std::to_string(value.asInt()) : value.str();
        (joined += part) += kSep;
    }
    return joined;
}

}  // namespace

ProfileJobMetaContentImpl::ProfileJobMetaContentImpl(RepositoryImportExportManagerImpl* owner_,
                                                     Repository* repository_, ProfileRepositoryDataAccess* profile_,
                                                     unsigned jobId)
    : RepositoryMetaContentImpl(owner_, repository_), profile(profile_) {
    id = jobId;
}

ProfileJobMetaContentImpl::~ProfileJobMetaContentImpl() = default;

ReposDataAccessCursor* ProfileJobMetaContentImpl::rowsOf(const ReposJobList& list, const ReposJobIds& ids) {
    auto* whole = list.table ? dynamic_cast<ProfileRDAImpl*>(profile) : nullptr;
    if (!whole) return list.rows(*profile, ids);
    auto loaded = grouped_.find(list.table);
    if (loaded == grouped_.end()) {
        std::unique_ptr<ReposJobRows> rows(new ReposJobRows);
        ReposHeld<ReposDataAccessCursor> read(whole->listJobChildRows(id, list.table));
        if (read) {
            const int count = read->getNumCols();
            for (int i = 0; i < count; ++i) rows->columns.push_back(read->getColName(i));
            std::vector<int> parents;
            for (const char* column : list.parentColumns)
                if (column) parents.push_back(columnIndexOf(read.get(), column));
            while (read->next() == 1) {
                ReposHeld<ReposDataCursor>& group = rows->parents[parentKeyOf(list, read.get(), parents)];
                if (!group) {
                    group.reset(new ReposDataCursor);
                    group->setNumCols(count);
                    for (int i = 0; i < count; ++i) group->setColName(i, rows->columns[i]);
                }
                group->addRow();
                for (int i = 0; i < count; ++i) group->setValue(i, read->getValue(i));
            }
        } else {
            rows.reset();
        }
        loaded = grouped_.emplace(list.table, std::move(rows)).first;
    }
    // The table could not be read whole: one parent at a time, as the operation reads it.
    if (!loaded->second) return list.rows(*profile, ids);
    ReposJobRows& rows = *loaded->second;
    auto group = rows.parents.find(list.parentKey(ids));
    if (group != rows.parents.end()) {
        ReposDataCursor* out = group->second.release();
        rows.parents.erase(group);
        out->reset();
        return out;
    }
    // A parent without rows: an empty result, as the operation gives.
    ReposDataCursor* none = new ReposDataCursor;
    none->setNumCols(static_cast<int>(rows.columns.size()));
    for (size_t i = 0; i < rows.columns.size(); ++i) none->setColName(static_cast<int>(i), rows.columns[i]);
    return none;
}

bool ProfileJobMetaContentImpl::exportList(const ReposJobList& list, O* parent, ReposJobIds ids, VqbString& error) {
    ReposHeld<ReposDataAccessCursor> rows(rowsOf(list, ids));
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
        if (context()->isReporting()) report(list.trace.level, textOf(list.trace, element, rows.get()));
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
    // The ids of the list's rows are drawn at once, and what is left of them dropped at the end.
    auto* whole = list.table && list.idColumn ? dynamic_cast<ProfileRDAImpl*>(profile) : nullptr;
    if (whole) {
        uint32_t count = 0;
        ReposHeld<RepositoryMetadataObjectList> counted(parent->getChildren(VqbString(list.name)));
        while (counted && counted->next()) ++count;
        if (count > 1 && !whole->reserveJobIds(list.table, count))
            return fail(0, error, VqbString::format(list.failure, profile->getErrorMessage().asCstr()));
    }
    struct Reservation {
        ProfileRDAImpl* whole;
        const char* table;
        ~Reservation() {
            if (whole) whole->reserveJobIds(table, 0);
        }
    } reservation{whole, list.table};
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
        std::string match = list.match ? list.match(nested, element) : std::string();
        if (!match.empty()) match.insert(0, std::string(list.name) + kSep);
        auto known = match.empty() ? known_.end() : known_.find(match);
        uint32_t rowId = kNone;
        bool target = list.idColumn != nullptr;
        if (known != known_.end()) {
            rowId = known->second;
            if (list.found.text && context()->isReporting())
                report(list.found.level, textOf(list.found, element, nullptr));
            target = target && !list.foundWithoutTarget;
        } else {
            rowId = list.insert(*this, nested, element);
            if (rowId == 0) continue;
            if (rowId == kNone)
                return fail(0, error, VqbString::format(list.failure, profile->getErrorMessage().asCstr()));
            if (!match.empty()) known_.emplace(std::move(match), rowId);
            if (list.inserted.text && context()->isReporting())
                report(list.inserted.level, textOf(list.inserted, element, nullptr));
        }
        if (target) context()->setIntProperty(element, VqbString("TARGETID"), static_cast<int>(rowId));
        if (!list.nestedId) continue;
        nested.*list.nestedId = rowId;
        for (const ReposJobList* child : list.importNested)
            if (child && !importList(*child, element, nested, error)) return false;
    }
    return true;
}

bool ProfileJobMetaContentImpl::exportContent(O* root, VqbString& error) {
    ReposHeld<ReposDataAccessCursor> row(profile->getJobSetup(id));
    // No job of that id gives no row: a document of nothing would import as a job without a name.
    if (!row || row->next() != 1) {
        report(0, VqbString::format("Unable to find profile job object with id=%d", static_cast<int>(id)));
        error = VqbString("A profile job was not found to export.");
        return false;
    }
    copyRow(row.get(), root, false);
    row.reset();
    grouped_.clear();
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
    known_.clear();
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

void announce(P& profile, int change, uint32_t id, const VqbString& uuid) {
    if (getRepositoryEventManager())
        reposAnnounce(reposConnectionOf(&profile), change, VqbString(ReposObjectTypeName::ProfileJob), id, uuid);
}

}  // namespace

bool ProfileJobManagerImpl::deleteObject(unsigned id, const VqbString& uuid, VqbString& error) {
    ReposHeld<P> profile = profileOf(owner_->getRepository());
    if (!profile) return false;
    if (!profile->deleteJobSetup(id)) {
        error = profile->getErrorMessage();
        return false;
    }
    announce(*profile, REPOS_CHANGE_DELETE, id, uuid);
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
    announce(*profile, REPOS_CHANGE_CREATE, id, newUuid);
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
    ProfileJobMetaContentImpl content(owner_, repository, profile.get(), id);
    // Only reported: the job keeps the UUID it has, as its header update writes none.
    reposUpdateUuid(content, ReposObjectTypeName::ProfileJob, documentUuid, existingUuid, id,
                    [&](const VqbString& held) {
                        int holder = -1;
                        ReposHeld<ReposDataAccessCursor> rows(profile->findJobSetup(-1, VqbString(""), held));
                        while (rows && rows->next() == 1) {
                            int found = C::column(rows.get(), "SU_ID").asInt();
                            if (holder < 0 || static_cast<unsigned>(found) != id) holder = found;
                        }
                        return holder;
                    });
    content.object = object;
    VqbString oldName;  // null: no rename can be told
    bool ok = atomically(*profile, error, [&] {
        // Read inside the transaction, so the name compared is the one this update replaces.
        ReposHeld<ReposDataAccessCursor> before(profile->getJobSetup(id));
        if (before && before->next() == 1) oldName = C::column(before.get(), "SU_NAME");
        before.reset();
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
        reposAnnounceUpdate(reposConnectionOf(profile.get()), VqbString(ReposObjectTypeName::ProfileJob), id, uuid,
                            oldName, name, false);
    }
    return true;
}
