// Typed data access of the profiling area: profile job setups, the results of profile runs
// (reports, runs, data sources, tables, fields with their metrics, notes, alerts, charts,
// redundancy analysis, custom-metric and business-rule outputs) and the value distributions of
// profiled fields with their batched writers.
//
// Ids are unsigned row ids from the repository's id counters unless declared int; 0xFFFFFFFF
// means none, or no filter, in an optional id argument. Dates are reals. An out pointer may be
// null unless said otherwise. Cursors belong to the caller, who releases them; their columns are
// read by position, so the column order of each result is part of the interface. Failures give
// false, 0xFFFFFFFF or null; getErrorMessage then gives the connection's general error text and
// the log holds the detail.
//
// The writers (frequency, pattern and match-code distributions, business-rule log) keep state in
// the object between their begin and end: one of each kind at a time, and an object serves one
// thread at a time.
#ifndef REPOS_PROFILE_RDA_H
#define REPOS_PROFILE_RDA_H

#include <cstdint>

#include "repos_typed.h"
#include "vqbdatavar.h"

class ProfileRepositoryDataAccess : public virtual ReposTypedDataAccess {
protected:
    ~ProfileRepositoryDataAccess() override = default;

public:
    // Match definitions are found or added by definition, sensitivity and locale; text-file
    // layouts are kept per profiled table.
    virtual bool addMatchDefinition(const VqbString& definition, const VqbString& sensitivity,
                                    const VqbString& locale, uint32_t* id) = 0;
    virtual bool addTextFileInfo(const VqbString& tableName, const VqbString& fileName, const VqbString& delimiter,
                                 const VqbString& textQualifier, int rowsSkipped, int recordWidth, int maximumRows,
                                 bool truncate, int endOfLine, int encoding, bool useByteOrderMark) = 0;
    virtual bool addTextFileField(const VqbString& tableName, const VqbString& fieldName, const VqbString& fieldType,
                                  int length, int startPosition, int ordinal) = 0;

    // Job setups, written top-down: each add gives the id its children need. The ids of data
    // sources, tables, redundancy configurations, business rules, alerts and charts are reused
    // when an equal row is there.
    virtual uint32_t addJobSetup(const VqbString& name, const VqbString& description, const VqbString& uuid,
                                 double createdDate, double modifiedDate, const VqbString& createdUser,
                                 const VqbString& modifiedUser, uint32_t folderId) = 0;
    virtual bool addJobKeyValue(uint32_t setupId, const VqbString& key, const VqbString& value) = 0;
    virtual uint32_t addJobRedundancyConfig(uint32_t setupId, const VqbString& name, const VqbString& description,
                                            const VqbString& matchDefinition, const VqbString& sensitivity,
                                            const VqbString& locale) = 0;
    virtual uint32_t addJobDataSource(uint32_t setupId, const VqbString& name, const VqbString& connection,
                                      const VqbString& textFile) = 0;
    virtual uint32_t addJobTable(uint32_t setupId, int dataSourceId, const VqbString& catalog,
                                 const VqbString& schema, const VqbString& tableName, const VqbString& filterName,
                                 const VqbString& filterExpression, const VqbString& filterSql, int sampleInterval,
                                 const VqbString& fileName, const VqbString& delimiter,
                                 const VqbString& textQualifier, int rowsToSkip, int recordWidth, int maximumRows,
                                 const VqbString& truncate, int endOfLine, int encoding,
                                 const VqbString& useByteOrderMark, bool decisionTree) = 0;
    virtual uint32_t addJobField(uint32_t setupId, uint32_t dataSourceId, uint32_t tableId,
                                 const VqbString& fieldName, const VqbString& metricOverride,
                                 int ordinalPosition) = 0;
    virtual bool addJobFieldRedundancy(uint32_t setupId, uint32_t configId, const VqbString& dataSource,
                                       const VqbString& catalog, const VqbString& schema, const VqbString& table,
                                       const VqbString& fieldName, const VqbString& dataSourceType) = 0;
    virtual bool addJobFieldMetric(uint32_t setupId, uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId,
                                   const VqbString& metricName, const VqbString& metricValue) = 0;
    virtual bool addJobFieldProperty(uint32_t setupId, uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId,
                                     const VqbString& propertyName, const VqbString& propertyValue) = 0;
    virtual bool addJobLinkedField(uint32_t setupId, uint32_t fieldId, const VqbString& linkDataSource,
                                   const VqbString& linkCatalog, const VqbString& linkSchema,
                                   const VqbString& linkTable, const VqbString& linkName, const VqbString& linkType,
                                   const VqbString& linkText) = 0;
    virtual uint32_t addJobTableCustomMetric(uint32_t setupId, uint32_t tableId, uint32_t customMetricId,
                                             const VqbString& customMetricName,
                                             const VqbString& customMetricUid) = 0;
    virtual bool addJobCustomMetricMapping(uint32_t setupId, uint32_t sequenceId, uint32_t tableId,
                                           uint32_t customMetricId, const VqbString& customMetricName,
                                           const VqbString& inputName, const VqbString& outputName,
                                           const VqbString& fieldName, const VqbString& type) = 0;
    virtual uint32_t insertJobBusinessRule(uint32_t setupId, uint32_t tableId, uint32_t ruleId,
                                           const VqbString& ruleName, int logFlag, int logThreshold,
                                           const VqbString& ruleUid) = 0;
    virtual bool addJobRuleFieldMapping(uint32_t setupId, uint32_t sequenceId, uint32_t tableId, uint32_t ruleId,
                                        const VqbString& ruleName, const VqbString& fieldName,
                                        const VqbString& ruleInputName) = 0;
    virtual bool addJobGlobalMetric(uint32_t setupId, const VqbString& metricName, const VqbString& metricValue) = 0;
    virtual uint32_t addJobAlert(uint32_t setupId, const VqbString& dataSource, const VqbString& catalog,
                                 const VqbString& schema, const VqbString& table, const VqbString& field,
                                 const VqbString& filter, const VqbString& description, const VqbString& rule,
                                 const VqbString& textFile, const VqbString& type, const VqbString& alertUid) = 0;
    virtual bool setJobAlertProperty(uint32_t setupId, uint32_t alertId, const VqbString& name,
                                     const VqbString& value) = 0;
    virtual uint32_t addJobChart(uint32_t setupId, const VqbString& dataSource, const VqbString& catalog,
                                 const VqbString& schema, const VqbString& table, const VqbString& field,
                                 const VqbString& filter, const VqbString& description,
                                 const VqbString& textFile) = 0;
    virtual bool addJobChartProperty(uint32_t setupId, uint32_t chartId, const VqbString& name, int sequence,
                                     const VqbString& value) = 0;
    // Ties the report's runs to the setup; the same as moveReportToJobSetup.
    virtual bool setReportJobSetup(uint32_t setupId, uint32_t reportId) = 0;
    virtual bool addJobCustomMetricMappingEx(uint32_t setupId, uint32_t tableId, uint32_t customMetricId,
                                             uint32_t sequenceId, const VqbString& customMetricName,
                                             const VqbString& inputName, const VqbString& outputName,
                                             const VqbString& fieldName, const VqbString& type) = 0;

    // The results of a run, written by the profile engine: report, run and what it read.
    virtual bool addReport(uint32_t setupId, uint32_t folderId, const VqbString& name, double date,
                           const VqbString& user, uint32_t* id) = 0;
    virtual bool addJob(const VqbString& description, double runDate, uint32_t reportId, uint32_t* id) = 0;
    virtual bool addExecutionLog(uint32_t dataSourceId, uint32_t tableId, const VqbString& task,
                                 const VqbString& status, int seconds, const VqbString& message) = 0;
    virtual bool addJobConfigValue(uint32_t runId, const VqbString& key, const VqbString& value) = 0;
    // sourceKind: "Y" text file, "S" data set, "N" data source.
    virtual bool addDataSource(uint32_t runId, const VqbString& name, const VqbString& connectString,
                               const VqbString& sourceKind, uint32_t* id) = 0;
    virtual bool addTable(uint32_t dataSourceId, const VqbString& catalog, const VqbString& schema,
                          const VqbString& tableName, const VqbString& filterName, const VqbString& filterExpression,
                          const VqbString& filterSql, int sampleInterval, const VqbString& decisionTreeKey,
                          uint32_t* id) = 0;
    virtual bool addTableNote(uint32_t tableId, char type, const VqbString& user, const VqbString& note,
                              uint32_t categoryId, uint32_t* id) = 0;
    virtual bool addField(uint32_t dataSourceId, uint32_t tableId, const VqbString& name, const VqbString& type,
                          uint32_t* id) = 0;
    virtual bool addFieldNote(uint32_t fieldId, const VqbString& user, const VqbString& note, uint32_t categoryId,
                              uint32_t* id) = 0;
    virtual bool addPercentile(uint32_t fieldId, const VqbReal& percentile, const VqbReal& value) = 0;
    virtual bool addOutlier(uint32_t fieldId, bool low, int ordinal, const VqbString& value) = 0;
    virtual bool addFieldProperty(uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId,
                                  const VqbString& propertyName, const VqbString& propertyValue) = 0;
    virtual bool addFieldCategory(uint32_t fieldId, uint32_t categoryId) = 0;
    virtual bool addPrimaryForeignKey(uint32_t fieldId, uint32_t otherFieldId, double matchPercentage) = 0;
    virtual bool addAlert(uint32_t runId, const VqbString& dataSource, const VqbString& catalog,
                          const VqbString& schema, const VqbString& table, const VqbString& field,
                          const VqbString& filter, const VqbString& description, const VqbString& rule,
                          const VqbString& error, const VqbString& textFile, const VqbString& alertType,
                          const VqbString& sourceUid, uint32_t* id) = 0;
    virtual bool addAlertProperty(uint32_t alertId, const VqbString& name, const VqbString& value) = 0;
    virtual bool addChart(uint32_t reportId, uint32_t runId, const VqbString& name, const VqbString& type,
                          uint32_t* id) = 0;
    virtual bool addChartTable(uint32_t chartId, const VqbString& dataSource, const VqbString& catalog,
                               const VqbString& schema, const VqbString& table, const VqbString& filter,
                               const VqbString& sourceKind) = 0;
    virtual bool addChartCategory(uint32_t chartId, uint32_t categoryId) = 0;
    virtual bool addChartData(uint32_t chartId, const VqbString& parameterName, int sequence,
                              const VqbString& value) = 0;
    virtual bool addRedundancyConfig(uint32_t runId, const VqbString& name, const VqbString& description,
                                     uint32_t matchDefinitionId, uint32_t* id) = 0;
    virtual bool addRedundancyField(uint32_t runId, uint32_t fieldId, uint32_t configId) = 0;
    virtual bool addRedundancyResult(uint32_t runId, uint32_t configId, uint32_t leftFieldId, uint32_t rightFieldId,
                                     int leftCount, int leftSum, int rightCount, int rightSum, int distinctMatches,
                                     int distinctLeftSum, int distinctRightSum) = 0;
    virtual bool addCustomMetricOutput(uint32_t tableId, uint32_t customMetricId, uint32_t instance,
                                       const VqbString& metricOutputName, const VqbString& outputName,
                                       const VqbString& outputValue, const VqbString& trailName,
                                       uint32_t rowCount) = 0;
    virtual bool addBusinessRuleOutput(uint32_t tableId, uint32_t ruleId, uint32_t instance, uint32_t failureCount,
                                       const VqbString& trailName, const VqbString& fieldDescription,
                                       uint32_t rowCount) = 0;

    // MATCH and text-file layout rows, whole.
    virtual ReposDataAccessCursor* getMatchDefinition(uint32_t matchDefinitionId) = 0;
    virtual ReposDataAccessCursor* getMatchDefinitionBySettings(const VqbString& definition,
                                                                const VqbString& sensitivity,
                                                                const VqbString& locale) = 0;
    virtual ReposDataAccessCursor* listTextFileInfos() = 0;
    virtual ReposDataAccessCursor* listTextFileFields(const VqbString& tableName) = 0;

    // A setup read back table by table, whole rows in catalogue column order.
    virtual ReposDataAccessCursor* listJobSetups() = 0;
    virtual ReposDataAccessCursor* getJobSetup(uint32_t setupId) = 0;
    // By id when it is above 0, else by uuid, else by name.
    virtual ReposDataAccessCursor* findJobSetup(int setupId, const VqbString& name, const VqbString& uuid) = 0;
    virtual ReposDataAccessCursor* listJobKeyValues(uint32_t setupId) = 0;
    virtual ReposDataAccessCursor* listJobDataSources(uint32_t setupId) = 0;
    virtual ReposDataAccessCursor* listJobTables(uint32_t dataSourceId) = 0;
    virtual ReposDataAccessCursor* listJobFields(uint32_t dataSourceId, uint32_t tableId) = 0;
    virtual ReposDataAccessCursor* listJobFieldMetrics(uint32_t dataSourceId, uint32_t tableId,
                                                       uint32_t fieldId) = 0;
    virtual ReposDataAccessCursor* listJobCustomMetricMappingsOfMetric(uint32_t tableId, uint32_t sequenceId,
                                                                       const VqbString& customMetricName) = 0;
    virtual ReposDataAccessCursor* listJobCustomMetricMappings(uint32_t setupId, uint32_t tableId) = 0;
    // CM_IN of the inputs of the custom metric that has the uid.
    virtual ReposDataAccessCursor* listJobCustomMetricInputs(const VqbString& customMetricUid) = 0;
    virtual ReposDataAccessCursor* listJobFieldProperties(uint32_t dataSourceId, uint32_t tableId,
                                                          uint32_t fieldId) = 0;
    // An empty link type lists every type.
    virtual ReposDataAccessCursor* listJobLinkedFields(uint32_t fieldId, const VqbString& linkType) = 0;
    virtual ReposDataAccessCursor* listJobTableCustomMetrics(uint32_t tableId) = 0;
    virtual ReposDataAccessCursor* listJobTableBusinessRules(uint32_t tableId) = 0;
    virtual ReposDataAccessCursor* listJobRuleFieldMappings(uint32_t tableId, uint32_t ruleId,
                                                            uint32_t sequenceId) = 0;
    virtual ReposDataAccessCursor* listJobRedundancyConfigs(uint32_t setupId) = 0;
    virtual ReposDataAccessCursor* getJobRedundancyConfigBySettings(uint32_t setupId, const VqbString& name,
                                                                    const VqbString& matchDefinition,
                                                                    const VqbString& sensitivity,
                                                                    const VqbString& locale) = 0;
    virtual ReposDataAccessCursor* listJobFieldRedundancies(uint32_t setupId, uint32_t configId) = 0;
    virtual ReposDataAccessCursor* listJobGlobalMetrics(uint32_t setupId) = 0;
    virtual ReposDataAccessCursor* listJobAlerts(uint32_t setupId) = 0;
    virtual ReposDataAccessCursor* listJobAlertProperties(uint32_t alertId) = 0;
    virtual ReposDataAccessCursor* listJobCharts(uint32_t setupId) = 0;
    virtual ReposDataAccessCursor* listJobChartProperties(uint32_t chartId) = 0;
    // REPORT rows of the setup.
    virtual ReposDataAccessCursor* listReportsOfJobSetup(uint32_t setupId) = 0;
    virtual ReposDataAccessCursor* listJobBusinessRules(uint32_t setupId) = 0;
    // DSN_NAME, DSN_CONN, TBL_CAT, TBL_SCH, TBL_NAME, FNAME, DSN_TEXT, TBL_ID, distinct.
    virtual ReposDataAccessCursor* listJobSetupSources(uint32_t setupId) = 0;

    // Reports, runs, data sources and tables of the results.
    virtual ReposDataAccessCursor* listUnassignedReports() = 0;
    virtual uint32_t getJobCount(uint32_t reportId) = 0;
    // JOB_ID, JOB_DATE, JOB_DESC, newest first; at least one of the ids is needed.
    virtual ReposDataAccessCursor* listJobs(uint32_t reportId, uint32_t setupId) = 0;
    // DSN_NAME, TBL_CAT, TBL_SCH, TBL_NM, TBL_FILT, EL_TASK, EL_STAT, EL_SECS, EL_MSG.
    virtual ReposDataAccessCursor* listExecutionLog(uint32_t runId) = 0;
    virtual ReposDataAccessCursor* getJobConfigValue(uint32_t runId, const VqbString& key) = 0;
    // The JOB columns, then the REPORT columns.
    virtual ReposDataAccessCursor* listJobsOfTable(const VqbString& dataSourceName, const VqbString& catalog,
                                                   const VqbString& schema, const VqbString& tableName) = 0;
    virtual ReposDataAccessCursor* getReport(uint32_t reportId) = 0;
    // DSN_NAME, TBL_CAT, TBL_SCH, TBL_NM, the JOB columns, the REPORT columns; a null name is no
    // condition.
    virtual ReposDataAccessCursor* listJobsOfSources(const VqbString* dataSourceName, const VqbString* catalog,
                                                     const VqbString* schema, const VqbString* tableName) = 0;
    virtual ReposDataAccessCursor* listReportsInFolder(uint32_t folderId) = 0;
    // DSN_ID, DSN_NAME, DSN_CONN, DSN_TF.
    virtual ReposDataAccessCursor* listDataSources(uint32_t runId) = 0;
    virtual ReposDataAccessCursor* getDataSource(uint32_t dataSourceId) = 0;
    virtual ReposDataAccessCursor* listTables(uint32_t runId, uint32_t dataSourceId) = 0;
    virtual ReposDataAccessCursor* getTable(uint32_t tableId) = 0;

    // Fields and metrics. A metric count n adds the columns MET_0 .. MET_n-1.
    virtual ReposDataAccessCursor* listTableFieldCategories(uint32_t tableId) = 0;
    virtual ReposDataAccessCursor* listFieldMetrics(uint32_t runId, uint32_t dataSourceId, uint32_t tableId,
                                                    int metricCount) = 0;
    virtual ReposDataAccessCursor* getFieldByName(uint32_t runId, const VqbString& dataSourceName,
                                                  const VqbString& catalog, const VqbString& schema,
                                                  const VqbString& tableOrFilterName, const VqbString& fieldName,
                                                  char sourceKind) = 0;
    virtual ReposDataAccessCursor* getFieldSource(uint32_t fieldId) = 0;
    virtual ReposDataAccessCursor* listFieldMetricHistory(uint32_t firstRunId, uint32_t lastRunId,
                                                          const VqbString& dataSourceName, const VqbString& catalog,
                                                          const VqbString& schema,
                                                          const VqbString& tableOrFilterName,
                                                          const VqbString& fieldName, char sourceKind,
                                                          int metricCount) = 0;
    virtual ReposDataAccessCursor* listPercentiles(uint32_t fieldId) = 0;
    virtual ReposDataAccessCursor* listOutliers(uint32_t fieldId) = 0;
    virtual ReposDataAccessCursor* getFieldPropertyValue(uint32_t fieldId, const VqbString& propertyName) = 0;
    virtual ReposDataAccessCursor* getFieldMetricValue(uint32_t fieldId, int metricIndex) = 0;
    virtual ReposDataAccessCursor* listFieldCategories(uint32_t runId, uint32_t fieldId) = 0;
    virtual ReposDataAccessCursor* listCategoryFields(uint32_t categoryId, uint32_t runId, int metricCount) = 0;
    virtual ReposDataAccessCursor* listCategoryFieldsWithKeys(uint32_t categoryId, int metricCount,
                                                              uint32_t runId) = 0;
    virtual ReposDataAccessCursor* listPrimaryForeignKeys(uint32_t fieldId) = 0;
    // The values of the second field's frequency distribution that the first one lacks.
    virtual ReposDataAccessCursor* listFrequencyOuterValues(uint32_t firstFieldId, uint32_t secondFieldId,
                                                            bool sharedTable) = 0;

    // Notes: a type character of 0 and a table or field id of 0xFFFFFFFF list all; order 1 lists
    // the newest first.
    virtual ReposDataAccessCursor* listTableNotes(uint32_t tableId, char type, uint32_t order) = 0;
    virtual ReposDataAccessCursor* listFieldNotes(uint32_t fieldId, uint32_t order) = 0;

    // Distributions, in the layout they were written in (sharedTable).
    virtual ReposDataAccessCursor* listFrequencyDistribution(uint32_t fieldId, bool sharedTable, bool matchCodes,
                                                             uint32_t matchDefinitionId) = 0;
    virtual ReposDataAccessCursor* listFrequencyIntersection(uint32_t firstFieldId, uint32_t secondFieldId,
                                                             bool sharedTable, bool matchCodes,
                                                             uint32_t matchDefinitionId) = 0;
    virtual ReposDataAccessCursor* listFrequencyDifference(uint32_t firstFieldId, uint32_t secondFieldId,
                                                           bool sharedTable, bool matchCodes,
                                                           uint32_t matchDefinitionId) = 0;
    // FLD_ID, PA_VALUE, PA_COUNT.
    virtual ReposDataAccessCursor* listPatternDistribution(uint32_t fieldId) = 0;

    // Alerts and charts; an empty text, a 0 character and an id of 0xFFFFFFFF filter nothing.
    virtual ReposDataAccessCursor* listAlerts(uint32_t runId) = 0;
    virtual ReposDataAccessCursor* listAlertProperties(uint32_t alertId) = 0;
    // unused is not read.
    virtual ReposDataAccessCursor* listCategoryCharts(const VqbString& chartName, uint32_t chartId,
                                                      uint32_t reportId, uint32_t unused, uint32_t categoryId) = 0;
    virtual ReposDataAccessCursor* listTableCharts(const VqbString& chartName, uint32_t chartId, uint32_t reportId,
                                                   uint32_t runId, const VqbString& dataSource,
                                                   const VqbString& catalog, const VqbString& schema,
                                                   const VqbString& table, const VqbString& filter,
                                                   char sourceKind) = 0;
    virtual ReposDataAccessCursor* listChartData(uint32_t chartId) = 0;

    // Redundancy analysis.
    virtual ReposDataAccessCursor* listRedundancyConfigsOfJob(uint32_t runId) = 0;
    virtual ReposDataAccessCursor* getRedundancyConfigByName(const VqbString& name, uint32_t runId) = 0;
    virtual ReposDataAccessCursor* getRedundancyConfig(uint32_t configId) = 0;
    virtual ReposDataAccessCursor* listRedundancyConfigsOfField(uint32_t fieldId) = 0;
    virtual ReposDataAccessCursor* listRedundancyFields(uint32_t configId) = 0;
    virtual ReposDataAccessCursor* listRedundancyFieldsByMatch(uint32_t matchDefinitionId, uint32_t fieldId) = 0;
    virtual ReposDataAccessCursor* listRedundancyResults(uint32_t configId, uint32_t firstFieldId,
                                                         uint32_t secondFieldId, bool swap) = 0;

    // Custom-metric and business-rule outputs; an empty catalogue or schema name matches any.
    virtual ReposDataAccessCursor* listCustomMetricOutputs(uint32_t tableId) = 0;
    virtual ReposDataAccessCursor* listReportCustomMetricOutputs(uint32_t reportId, const VqbString& trailName) = 0;
    virtual ReposDataAccessCursor* listCustomMetricOutputsBySource(uint32_t runId, const VqbString& dataSourceName,
                                                                   const VqbString& catalog, const VqbString& schema,
                                                                   const VqbString& tableName,
                                                                   const VqbString& trailName) = 0;
    virtual ReposDataAccessCursor* listBusinessRuleOutputs(uint32_t runId, uint32_t tableId) = 0;
    virtual ReposDataAccessCursor* listBusinessRuleLog(uint32_t tableId, uint32_t instance, bool firstLogOnly) = 0;
    virtual ReposDataAccessCursor* listReportBusinessRuleOutputs(uint32_t reportId, const VqbString& trailName) = 0;
    virtual ReposDataAccessCursor* listBusinessRuleOutputsBySource(uint32_t runId, const VqbString& dataSourceName,
                                                                   const VqbString& catalog, const VqbString& schema,
                                                                   const VqbString& tableName,
                                                                   const VqbString& trailName) = 0;
    // FLD_ID, FLD_NAME, FLD_TYPE, the number of its keys, of its redundancy rows, the metrics.
    virtual ReposDataAccessCursor* listTableFieldSummary(uint32_t tableId, int metricCount) = 0;
    // TBL_ID, TN_NOTE of the task notes of the run's tables.
    virtual ReposDataAccessCursor* listTableNotesOfJob(int runId) = 0;

    virtual bool deleteRedundancyConfig(uint32_t configId) = 0;
    virtual bool updateRedundancyConfig(uint32_t configId, const VqbString& name, const VqbString& description,
                                        uint32_t matchDefinitionId) = 0;
    virtual bool deleteRedundancyField(uint32_t configId, uint32_t fieldId) = 0;
    virtual bool deleteRedundancyFields(uint32_t configId) = 0;
    virtual bool existsRedundancyField(uint32_t configId, uint32_t fieldId) = 0;
    // Whether the setup has such a data source or table; the id goes to the out argument.
    virtual bool getJobDataSourceIdByName(uint32_t setupId, const VqbString& name, uint32_t* dataSourceId) = 0;
    virtual bool getJobTableIdByName(uint32_t setupId, int dataSourceId, const VqbString& catalog,
                                     const VqbString& schema, const VqbString& tableName,
                                     const VqbString& filterName, const VqbString& filterExpression,
                                     const VqbString& filterSql, const VqbString& fileName, uint32_t* tableId) = 0;
    virtual bool deleteRedundancyResult(uint32_t leftFieldId, uint32_t rightFieldId) = 0;
    // Both write every out argument, which must not be null; the field ids are not read.
    virtual bool getFrequencyRightOnlyStatistics(uint32_t leftFieldId, uint32_t rightFieldId, uint32_t* rows,
                                                 uint32_t* sum) = 0;
    virtual bool getFrequencyJoinStatistics(uint32_t leftFieldId, uint32_t rightFieldId, uint32_t* rows,
                                            uint32_t* leftSum, uint32_t* matched, uint32_t* matchedLeftSum,
                                            uint32_t* matchedRightSum) = 0;
    // Replacing a layout: delete, then add it anew.
    virtual bool deleteTextFileInfo(const VqbString& tableName) = 0;

    // Setup tests, updates and deletion.
    virtual bool existsJobFieldRedundancy(uint32_t setupId, const VqbString& dataSource, const VqbString& catalog,
                                          const VqbString& schema, const VqbString& table,
                                          const VqbString& fieldName) = 0;
    // Removes every child row of the setup; the setup row stays.
    virtual bool clearJobSetup(uint32_t setupId) = 0;
    // The setup with its child rows and the runs of its report.
    virtual bool deleteJobSetup(uint32_t setupId) = 0;
    virtual bool moveReportToJobSetup(uint32_t setupId, uint32_t reportId) = 0;
    // The caller supplies the edit date and user.
    virtual bool updateJobSetup(uint32_t setupId, const VqbString& name, const VqbString& description,
                                double editDate, const VqbString& editUser, uint32_t folderId) = 0;
    virtual bool existsJobSetup(const VqbString& name, uint32_t folderId) = 0;
    // The report's runs between the two ids (0xFFFFFFFF: no bound) with everything below them,
    // the report's charts and, on request, the report.
    virtual bool deleteReportJobs(uint32_t lowestRunId, uint32_t highestRunId, uint32_t reportId,
                                  bool deleteReport) = 0;

    // Updates and deletions of results.
    virtual bool deleteTableNote(uint32_t noteId) = 0;
    // 0xFFFFFFFF ids and empty texts keep the stored value.
    virtual bool updateReport(uint32_t reportId, uint32_t folderId, const VqbString& name, const VqbString& user,
                              uint32_t setupId) = 0;
    virtual bool updateTableRowCounts(uint32_t tableId, int totalRows, int filteredRows) = 0;
    virtual bool setTableDecisionTree(uint32_t tableId, const VqbString& decisionTreeKey) = 0;
    virtual bool setFieldMetricValue(uint32_t fieldId, int metricIndex, const VqbDatavar& value) = 0;
    virtual bool deleteFieldNote(uint32_t noteId) = 0;
    virtual bool deleteFieldProperty(uint32_t fieldId, const VqbString& propertyName) = 0;
    // A category id of 0xFFFFFFFF removes all of the field's categories.
    virtual bool deleteFieldCategory(uint32_t fieldId, uint32_t categoryId) = 0;
    virtual bool deletePrimaryForeignKey(uint32_t fieldId, uint32_t otherFieldId) = 0;
    virtual bool setChartName(uint32_t chartId, const VqbString& name) = 0;
    virtual bool setChartCategory(uint32_t chartId, const VqbString& name, uint32_t categoryId) = 0;
    virtual bool updateChartTable(uint32_t chartId, const VqbString& dataSource, const VqbString& catalog,
                                  const VqbString& schema, const VqbString& table, const VqbString& filter,
                                  const VqbString& sourceKind) = 0;
    virtual bool deleteChartsOfJob(uint32_t runId) = 0;
    virtual bool deleteChart(uint32_t chartId) = 0;
    virtual bool deleteChartData(uint32_t chartId) = 0;
    // The same as updateRedundancyConfig, deleteRedundancyConfig.
    virtual bool updateRedundancyConfigEx(uint32_t configId, const VqbString& name, const VqbString& description,
                                          uint32_t matchDefinitionId) = 0;
    virtual bool deleteRedundancyConfigEx(uint32_t configId) = 0;
    virtual bool deleteRedundancyFieldsEx(uint32_t configId, uint32_t fieldId) = 0;
    virtual bool deleteMatchCodeDistribution(int fieldId) = 0;
    virtual bool deleteRedundancyResults(uint32_t configId, uint32_t leftFieldId, uint32_t rightFieldId) = 0;

    // Statistics of distributions; a null out argument is not written. unused is not read.
    virtual bool getFrequencyOverlapStatistics(uint32_t firstFieldId, uint32_t secondFieldId, bool matchCodes,
                                               uint32_t unused, bool sharedTable, uint32_t* firstValues,
                                               uint32_t* firstTotal, uint32_t* secondValues, uint32_t* secondTotal,
                                               uint32_t* commonValues, uint32_t* firstCommonTotal,
                                               uint32_t* secondCommonTotal) = 0;
    virtual bool getFrequencyValueCount(uint32_t fieldId, bool sharedTable, uint32_t* values) = 0;
    virtual bool getFrequencyTotal(uint32_t fieldId, bool sharedTable, int64_t* total) = 0;
    virtual bool getPatternValueCount(uint32_t fieldId, uint32_t* rows) = 0;

    // Distribution writers: begin, any number of adds, end, one distribution of a kind at a time.
    // sharedTable false writes the field's frequency table of its own. A failed add ends the
    // sequence.
    virtual bool beginFrequencyDistribution(int fieldId, bool sharedTable, int batchSize) = 0;
    virtual bool beginPatternDistribution(int batchSize) = 0;
    virtual bool beginMatchCodeDistribution(int batchSize) = 0;
    virtual bool addFrequencyValue(int fieldId, const VqbString& value, const VqbString& matchValue,
                                   int64_t count) = 0;
    virtual bool addPatternValue(int fieldId, const VqbString& pattern, int64_t count) = 0;
    virtual bool addMatchCodeValue(int fieldId, const VqbString& frequencyValue, const VqbString& matchCode,
                                   int64_t count, int matchDefinitionId) = 0;
    virtual bool endFrequencyDistribution(int fieldId) = 0;
    virtual bool endPatternDistribution() = 0;
    virtual bool endMatchCodeDistribution() = 0;

    // The business-rule log: begins and ends nest; entries go in while one is open.
    virtual bool beginBusinessRuleLog() = 0;
    virtual bool addBusinessRuleLogEntry(uint32_t tableId, uint32_t ruleId, uint32_t instance, uint32_t logId,
                                         uint32_t logSequence, const VqbString& data) = 0;
    virtual bool endBusinessRuleLog() = 0;
};

#endif
