// Every typed class and service made without a connection: each operation gives its failure value
// (false, null, 0xFFFFFFFF) instead of touching a null connection.
#include <gtest/gtest.h>

#include <functional>

#include "common_rdaimpl.h"
#include "explorer_rdaimpl.h"
#include "meta_rdaimpl.h"
#include "prof_rdaimpl.h"
#include "repeventqueueimpl.h"
#include "repfldrmgrimpl.h"
#include "repmappingimpl.h"
#include "repos_held.h"
#include "test_support.h"

namespace {

bool failed(bool result) { return !result; }
bool failed(unsigned result) { return result == 0xFFFFFFFFu; }
bool failed(ReposDataAccessCursor* cursor) {
    if (cursor) cursor->release();
    return cursor == nullptr;
}
bool failed(FieldMappingObject* mapping) {
    if (mapping) mapping->release();
    return mapping == nullptr;
}

struct Operation {
    const char* call;
    std::function<bool()> fails;
};
#define OP(object, call) Operation{#object "->" #call, [&] { return failed(object->call); }}

}  // namespace

TEST(WithoutAConnection, EveryOperationOfEveryTypedClassFails) {
    LogCapture log;
    ReposHeld<CommonRDAImpl> c(new CommonRDAImpl(nullptr));
    ReposHeld<ExplorerRDAImpl> x(new ExplorerRDAImpl(nullptr));
    ReposHeld<MetadataRDAImpl> m(new MetadataRDAImpl(nullptr));
    ReposHeld<RepositoryFolderManagerImpl> f(new RepositoryFolderManagerImpl(nullptr));
    ReposHeld<RepositoryEventQueueManagerImpl> q(new RepositoryEventQueueManagerImpl(nullptr));
    ReposHeld<FieldMappingAdminImpl> a(new FieldMappingAdminImpl());
    ReposHeld<ProfileRDAImpl> p(new ProfileRDAImpl(nullptr));
    a->initialise(nullptr);
    unsigned u = 0;
    uint32_t id = 0;
    int n = 0;
    bool flag = false;
    VqbString s1, s2, s3, error;
    VqbDatavar date;
    const VqbString v("v");
    const std::vector<Operation> operations = {
        OP(c, beginTransaction(false)), OP(c, endTransaction(true)), OP(c, addGlobalCategory(v, v)),
        OP(c, addGlobalCategoryDefinition(1, v, 1, v, 1, v, v)),
        OP(c, addGlobalCategoryField(1, v, v, v, v, v, true, v, 1, 1)), OP(c, addGlobalCategoryRule(1, 1)),
        OP(c, addRule(v, v, v, v, v, v, v, 0, v, v)), OP(c, addMonitorField(v, v)), OP(c, addCustomMetric(v, v, v, v)),
        OP(c, addCustomMetricField(1, v, v)), OP(c, addCustomMetricFieldMap(1, 1, 1, v, v, v)),
        OP(c, addRuleCustomMetric(1, 1, 1)), OP(c, addNoteCategory(v, &u)),
        OP(c, addFieldMapping(v, v, v, VqbDate(), VqbDate(), v, v, 0, &u)),
        OP(c, addMappingConnection(1, v, v, v, v, v, 1, true)), OP(c, clearRule(1)), OP(c, clearCustomMetric()),
        OP(c, listGlobalCategories()), OP(c, getGlobalCategory(1)), OP(c, findGlobalCategory(1, v, v)),
        OP(c, listGlobalCategoryRules()), OP(c, findRule(1, v, v)), OP(c, listRules()), OP(c, listRuleFields(1)),
        OP(c, listCustomMetrics(v)), OP(c, findCustomMetric(1, v, v)), OP(c, listNoteCategories()),
        OP(c, listFieldMappings(1)), OP(c, listMappingTables(1)), OP(c, deleteGlobalCategory(1)),
        OP(c, deleteRule(1)), OP(c, deleteNoteCategory(1)), OP(c, deleteCustomMetric(1)),
        OP(c, updateGlobalCategory(1, v, v)), OP(c, addRuleField(1, v, v)), OP(c, updateNoteCategory(1, v)),
        OP(c, deleteFieldMapping(1)), OP(c, getGlobalCategoryIdByName(v, &u)), OP(c, existsGlobalCategoryRule(1, 1)),
        OP(c, getKeyValue(v, &s1)),
        OP(x, addProject(v, v, v, v, 0, &id)), OP(x, addConnection(v, v, v, &id)), OP(x, addTable(1, v, v, v, v, &id)),
        OP(x, addField(1, 1, v, v, 1, 1, &id)), OP(x, addProjectDatabase(1, 1, 1)), OP(x, addProjectTable(1, 1)),
        OP(x, addIndex(1, 1, v, v, &id)), OP(x, addPrimaryKey(1, 1, 1, v)), OP(x, addForeignKey(1, 1, 1, v)),
        OP(x, addStoredProcedure(1, 1, v, v, v, &id)), OP(x, addSample(1, 1, 1, 1, 1, 1, 1, &id)),
        OP(x, addMatchDefinition(1, 1, 1, v, v, 1, &id)),
        OP(x, addProjectFieldMatches(1, 1, v, 1, v, 2, v, 3, v, 4, v, 5, v)), OP(x, listProjects()),
        OP(x, getProject(1)), OP(x, listProjectTables(1)), OP(x, listIdentificationDefinitions(1, true)),
        OP(x, listSampledFields(1, 1)), OP(x, listMatchDefinitions(1)), OP(x, getProjectByName(v, 0)),
        OP(x, existsProject(1)), OP(x, clearProject(1)), OP(x, deleteProject(1)), OP(x, updateProject(1, v, v)),
        OP(x, setProjectLastRun(1, 1.0, 1, 1)), OP(x, getFolderPath(3, s1, s2, error)),
        OP(x, getObjectRow(1, "Rule", error)), OP(x, getObjectPath(1, "Rule", s1, s2, error)),
        OP(m, addResource(v, v, v, &n)), OP(m, addDependency(1, 2)), OP(m, addFolder(0, v, &n)),
        OP(m, lockObject(1, "Rule", v, v)), OP(m, addRepositoryEvent(v, 0, v, v, &n, error)),
        OP(m, getResource(1)), OP(m, listResourcesOfType(v)), OP(m, listObjects(-1)), OP(m, listFolders(0)),
        OP(m, listObjectsWithoutFolder()), OP(m, getObject(1, "Rule", error)),
        OP(m, listRepositoryEventsSince(0, 0.0, v, error)), OP(m, getFolderIdByPath(v, &n, error)),
        OP(m, getFolderParentId(1, &n)), OP(m, getObjectFolderId("Rule", 1, &n)), OP(m, getSharedDataFolderId(&n)),
        OP(m, getObjectLock(1, "Rule", s1, s2, date)), OP(m, listResources()), OP(m, deleteDependency(1, 2)),
        OP(m, deleteFolder(1, error)), OP(m, renameFolder(1, v)), OP(m, moveFolder(1, 0)),
        OP(m, setObjectAttribute(1, "Rule", 0, error)), OP(m, unlockObject(1, "Rule")),
        OP(m, normalizeFolderNames(nullptr, error)), OP(m, deleteRepositoryEvents(1, 0.0, error)),
        OP(f, listItemsInFolder(0)), OP(f, listChildFolders(0)), OP(f, addFolder(0, v, u)),
        OP(f, getPathFromId(1, s1, s2)), OP(f, getIdFromPath(v, u)), OP(f, deleteFolder(1)), OP(f, renameFolder(1, v)),
        OP(f, moveFolder(1, 0)), OP(f, isFolderEmpty(0, flag)), OP(f, getParentFolder(1, u)),
        OP(f, getFolderForObject("Rule", 1, u)), OP(f, listItemsNotInFolder()), OP(f, isObjectLocked(1, "Rule")),
        OP(f, lockObject(1, "Rule", v, v)), OP(f, unlockObject(1, "Rule")), OP(f, moveObjectToFolder(1, "Rule", 0)),
        OP(f, objectExistsAtPath(v, "Rule")), OP(f, getObjectPath(1, "Rule", s1)),
        OP(q, addEvent(v, 0, v, v, n, error)), OP(q, listEventsSince(0, 0.0, v, error)), OP(q, deleteEvents(1, 0.0, error)),
        OP(a, addFieldMapping(&error, v, v, v, 0, &n)), OP(a, listFieldMappings(&error)),
        OP(a, openFieldMapping(&error, 1)),
        OP(p, addReport(1, 0, v, 1.0, v, &id)), OP(p, addJob(v, 1.0, 1, &id)), OP(p, addExecutionLog(1, 1, v, v, 1, v)),
        OP(p, addJobConfigValue(1, v, v)), OP(p, addDataSource(1, v, v, v, &id)),
        OP(p, addTable(1, v, v, v, v, v, v, 1, v, &id)), OP(p, listReportsOfJobSetup(1)),
        OP(p, listUnassignedReports()), OP(p, getReport(1)), OP(p, listReportsInFolder(0)), OP(p, getJobCount(1)),
        OP(p, listJobs(1, 1)), OP(p, listExecutionLog(1)), OP(p, getJobConfigValue(1, v)),
        OP(p, listJobsOfTable(v, v, v, v)), OP(p, listJobsOfSources(&v, &v, nullptr, nullptr)),
        OP(p, listDataSources(1)), OP(p, getDataSource(1)), OP(p, listTables(1, 0xFFFFFFFF)), OP(p, listTables(1, 1)),
        OP(p, getTable(1)), OP(p, updateReport(1, 1, v, v, 1)), OP(p, updateTableRowCounts(1, 1, 1)),
        OP(p, setTableDecisionTree(1, v)), OP(p, addField(1, 1, v, v, &id)), OP(p, addPercentile(1, 0.5, 1.0)),
        OP(p, addOutlier(1, true, 1, v)), OP(p, addFieldProperty(1, 1, 1, v, v)), OP(p, addFieldCategory(1, 1)),
        OP(p, addPrimaryForeignKey(1, 2, 50.0)), OP(p, listTableFieldCategories(1)),
        OP(p, listFieldMetrics(1, 1, 1, 2)), OP(p, listFieldMetrics(0xFFFFFFFF, 1, 1, 2)),
        OP(p, getFieldByName(1, v, v, v, v, v, 'N')), OP(p, getFieldSource(1)),
        OP(p, listFieldMetricHistory(1, 2, v, v, v, v, v, 'N', 1)), OP(p, listPercentiles(1)), OP(p, listOutliers(1)),
        OP(p, getFieldPropertyValue(1, v)), OP(p, getFieldMetricValue(1, 0)), OP(p, listFieldCategories(1, 1)),
        OP(p, listCategoryFields(1, 1, 1)), OP(p, listCategoryFieldsWithKeys(1, 1, 1)),
        OP(p, listTableFieldSummary(1, 1)), OP(p, listPrimaryForeignKeys(1)), OP(p, setFieldMetricValue(1, 0, date)),
        OP(p, deleteFieldProperty(1, v)), OP(p, deleteFieldCategory(1, 1)), OP(p, deletePrimaryForeignKey(1, 2)),
        OP(p, addTableNote(1, 'N', v, v, 0, &id)), OP(p, addFieldNote(1, v, v, 0, &id)),
        OP(p, listTableNotes(1, 'T', 1)), OP(p, listFieldNotes(1, 0)), OP(p, listTableNotesOfJob(1)),
        OP(p, deleteTableNote(1)), OP(p, deleteFieldNote(1)),
    };
    for (const Operation& operation : operations) EXPECT_TRUE(operation.fails()) << operation.call;
    // The typed classes say why, where a host reads it.
    EXPECT_TRUE(log.contains("Repository Data Access object is null", 5));
    EXPECT_FALSE(c->getErrorMessage().isEmpty());
}
