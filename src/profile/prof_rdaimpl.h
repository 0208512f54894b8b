// The profiling data access over a repository connection.
#ifndef PROF_RDAIMPL_H
#define PROF_RDAIMPL_H

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "base_rdaimpl.h"
#include "repos_held.h"
#include "repos_profile_rda.h"

class ProfileRDAImpl : public BaseRDAImpl, public ProfileRepositoryDataAccess {
public:
    explicit ProfileRDAImpl(ReposDataAccess* connection);
    // Ends what the writers left open, then the object.
    void release() override;

    bool addMatchDefinition(const VqbString& definition, const VqbString& sensitivity, const VqbString& locale,
                            uint32_t* id) override;
    bool addTextFileInfo(const VqbString& tableName, const VqbString& fileName, const VqbString& delimiter,
                         const VqbString& textQualifier, int rowsSkipped, int recordWidth, int maximumRows,
                         bool truncate, int endOfLine, int encoding, bool useByteOrderMark) override;
    bool addTextFileField(const VqbString& tableName, const VqbString& fieldName, const VqbString& fieldType,
                          int length, int startPosition, int ordinal) override;
    uint32_t addJobSetup(const VqbString& name, const VqbString& description, const VqbString& uuid, double createdDate,
                         double modifiedDate, const VqbString& createdUser, const VqbString& modifiedUser,
                         uint32_t folderId) override;
    bool addJobKeyValue(uint32_t setupId, const VqbString& key, const VqbString& value) override;
    uint32_t addJobRedundancyConfig(uint32_t setupId, const VqbString& name, const VqbString& description,
                                    const VqbString& matchDefinition, const VqbString& sensitivity,
                                    const VqbString& locale) override;
    uint32_t addJobDataSource(uint32_t setupId, const VqbString& name, const VqbString& connection,
                              const VqbString& textFile) override;
    uint32_t addJobTable(uint32_t setupId, int dataSourceId, const VqbString& catalog, const VqbString& schema,
                         const VqbString& tableName, const VqbString& filterName, const VqbString& filterExpression,
                         const VqbString& filterSql, int sampleInterval, const VqbString& fileName,
                         const VqbString& delimiter, const VqbString& textQualifier, int rowsToSkip, int recordWidth,
                         int maximumRows, const VqbString& truncate, int endOfLine, int encoding,
                         const VqbString& useByteOrderMark, bool decisionTree) override;
    uint32_t addJobField(uint32_t setupId, uint32_t dataSourceId, uint32_t tableId, const VqbString& fieldName,
                         const VqbString& metricOverride, int ordinalPosition) override;
    bool addJobFieldRedundancy(uint32_t setupId, uint32_t configId, const VqbString& dataSource,
                               const VqbString& catalog, const VqbString& schema, const VqbString& table,
                               const VqbString& fieldName, const VqbString& dataSourceType) override;
    bool addJobFieldMetric(uint32_t setupId, uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId,
                           const VqbString& metricName, const VqbString& metricValue) override;
    bool addJobFieldProperty(uint32_t setupId, uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId,
                             const VqbString& propertyName, const VqbString& propertyValue) override;
    bool addJobLinkedField(uint32_t setupId, uint32_t fieldId, const VqbString& linkDataSource,
                           const VqbString& linkCatalog, const VqbString& linkSchema, const VqbString& linkTable,
                           const VqbString& linkName, const VqbString& linkType, const VqbString& linkText) override;
    uint32_t addJobTableCustomMetric(uint32_t setupId, uint32_t tableId, uint32_t customMetricId,
                                     const VqbString& customMetricName, const VqbString& customMetricUid) override;
    bool addJobCustomMetricMapping(uint32_t setupId, uint32_t sequenceId, uint32_t tableId, uint32_t customMetricId,
                                   const VqbString& customMetricName, const VqbString& inputName,
                                   const VqbString& outputName, const VqbString& fieldName,
                                   const VqbString& type) override;
    uint32_t insertJobBusinessRule(uint32_t setupId, uint32_t tableId, uint32_t ruleId, const VqbString& ruleName,
                                   int logFlag, int logThreshold, const VqbString& ruleUid) override;
    bool addJobRuleFieldMapping(uint32_t setupId, uint32_t sequenceId, uint32_t tableId, uint32_t ruleId,
                                const VqbString& ruleName, const VqbString& fieldName,
                                const VqbString& ruleInputName) override;
    bool addJobGlobalMetric(uint32_t setupId, const VqbString& metricName, const VqbString& metricValue) override;
    uint32_t addJobAlert(uint32_t setupId, const VqbString& dataSource, const VqbString& catalog,
                         const VqbString& schema, const VqbString& table, const VqbString& field,
                         const VqbString& filter, const VqbString& description, const VqbString& rule,
                         const VqbString& textFile, const VqbString& type, const VqbString& alertUid) override;
    bool setJobAlertProperty(uint32_t setupId, uint32_t alertId, const VqbString& name,
                             const VqbString& value) override;
    uint32_t addJobChart(uint32_t setupId, const VqbString& dataSource, const VqbString& catalog,
                         const VqbString& schema, const VqbString& table, const VqbString& field,
                         const VqbString& filter, const VqbString& description, const VqbString& textFile) override;
    bool addJobChartProperty(uint32_t setupId, uint32_t chartId, const VqbString& name, int sequence,
                             const VqbString& value) override;
    bool setReportJobSetup(uint32_t setupId, uint32_t reportId) override;
    bool addJobCustomMetricMappingEx(uint32_t setupId, uint32_t tableId, uint32_t customMetricId, uint32_t sequenceId,
                                     const VqbString& customMetricName, const VqbString& inputName,
                                     const VqbString& outputName, const VqbString& fieldName,
                                     const VqbString& type) override;
    bool addReport(uint32_t setupId, uint32_t folderId, const VqbString& name, double date, const VqbString& user,
                   uint32_t* id) override;
    bool addJob(const VqbString& description, double runDate, uint32_t reportId, uint32_t* id) override;
    bool addExecutionLog(uint32_t dataSourceId, uint32_t tableId, const VqbString& task, const VqbString& status,
                         int seconds, const VqbString& message) override;
    bool addJobConfigValue(uint32_t runId, const VqbString& key, const VqbString& value) override;
    bool addDataSource(uint32_t runId, const VqbString& name, const VqbString& connectString,
                       const VqbString& sourceKind, uint32_t* id) override;
    bool addTable(uint32_t dataSourceId, const VqbString& catalog, const VqbString& schema, const VqbString& tableName,
                  const VqbString& filterName, const VqbString& filterExpression, const VqbString& filterSql,
                  int sampleInterval, const VqbString& decisionTreeKey, uint32_t* id) override;
    bool addTableNote(uint32_t tableId, char type, const VqbString& user, const VqbString& note, uint32_t categoryId,
                      uint32_t* id) override;
    bool addField(uint32_t dataSourceId, uint32_t tableId, const VqbString& name, const VqbString& type,
                  uint32_t* id) override;
    bool addFieldNote(uint32_t fieldId, const VqbString& user, const VqbString& note, uint32_t categoryId,
                      uint32_t* id) override;
    bool addPercentile(uint32_t fieldId, const VqbReal& percentile, const VqbReal& value) override;
    bool addOutlier(uint32_t fieldId, bool low, int ordinal, const VqbString& value) override;
    bool addFieldProperty(uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId, const VqbString& propertyName,
                          const VqbString& propertyValue) override;
    bool addFieldCategory(uint32_t fieldId, uint32_t categoryId) override;
    bool addPrimaryForeignKey(uint32_t fieldId, uint32_t otherFieldId, double matchPercentage) override;
    bool addAlert(uint32_t runId, const VqbString& dataSource, const VqbString& catalog, const VqbString& schema,
                  const VqbString& table, const VqbString& field, const VqbString& filter, const VqbString& description,
                  const VqbString& rule, const VqbString& error, const VqbString& textFile, const VqbString& alertType,
                  const VqbString& sourceUid, uint32_t* id) override;
    bool addAlertProperty(uint32_t alertId, const VqbString& name, const VqbString& value) override;
    bool addChart(uint32_t reportId, uint32_t runId, const VqbString& name, const VqbString& type,
                  uint32_t* id) override;
    bool addChartTable(uint32_t chartId, const VqbString& dataSource, const VqbString& catalog, const VqbString& schema,
                       const VqbString& table, const VqbString& filter, const VqbString& sourceKind) override;
    bool addChartCategory(uint32_t chartId, uint32_t categoryId) override;
    bool addChartData(uint32_t chartId, const VqbString& parameterName, int sequence, const VqbString& value) override;
    bool addRedundancyConfig(uint32_t runId, const VqbString& name, const VqbString& description,
                             uint32_t matchDefinitionId, uint32_t* id) override;
    bool addRedundancyField(uint32_t runId, uint32_t fieldId, uint32_t configId) override;
    bool addRedundancyResult(uint32_t runId, uint32_t configId, uint32_t leftFieldId, uint32_t rightFieldId,
                             int leftCount, int leftSum, int rightCount, int rightSum, int distinctMatches,
                             int distinctLeftSum, int distinctRightSum) override;
    bool addCustomMetricOutput(uint32_t tableId, uint32_t customMetricId, uint32_t instance,
                               const VqbString& metricOutputName, const VqbString& outputName,
                               const VqbString& outputValue, const VqbString& trailName, uint32_t rowCount) override;
    bool addBusinessRuleOutput(uint32_t tableId, uint32_t ruleId, uint32_t instance, uint32_t failureCount,
                               const VqbString& trailName, const VqbString& fieldDescription,
                               uint32_t rowCount) override;
    ReposDataAccessCursor* getMatchDefinition(uint32_t matchDefinitionId) override;
    ReposDataAccessCursor* getMatchDefinitionBySettings(const VqbString& definition, const VqbString& sensitivity,
                                                        const VqbString& locale) override;
    ReposDataAccessCursor* listTextFileInfos() override;
    ReposDataAccessCursor* listTextFileFields(const VqbString& tableName) override;
    ReposDataAccessCursor* listJobSetups() override;
    ReposDataAccessCursor* getJobSetup(uint32_t setupId) override;
    ReposDataAccessCursor* findJobSetup(int setupId, const VqbString& name, const VqbString& uuid) override;
    ReposDataAccessCursor* listJobKeyValues(uint32_t setupId) override;
    ReposDataAccessCursor* listJobDataSources(uint32_t setupId) override;
    ReposDataAccessCursor* listJobTables(uint32_t dataSourceId) override;
    ReposDataAccessCursor* listJobFields(uint32_t dataSourceId, uint32_t tableId) override;
    ReposDataAccessCursor* listJobFieldMetrics(uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId) override;
    ReposDataAccessCursor* listJobCustomMetricMappingsOfMetric(uint32_t tableId, uint32_t sequenceId,
                                                               const VqbString& customMetricName) override;
    ReposDataAccessCursor* listJobCustomMetricMappings(uint32_t setupId, uint32_t tableId) override;
    ReposDataAccessCursor* listJobCustomMetricInputs(const VqbString& customMetricUid) override;
    ReposDataAccessCursor* listJobFieldProperties(uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId) override;
    ReposDataAccessCursor* listJobLinkedFields(uint32_t fieldId, const VqbString& linkType) override;
    ReposDataAccessCursor* listJobTableCustomMetrics(uint32_t tableId) override;
    ReposDataAccessCursor* listJobTableBusinessRules(uint32_t tableId) override;
    ReposDataAccessCursor* listJobRuleFieldMappings(uint32_t tableId, uint32_t ruleId, uint32_t sequenceId) override;
    ReposDataAccessCursor* listJobRedundancyConfigs(uint32_t setupId) override;
    ReposDataAccessCursor* getJobRedundancyConfigBySettings(uint32_t setupId, const VqbString& name,
                                                            const VqbString& matchDefinition,
                                                            const VqbString& sensitivity,
                                                            const VqbString& locale) override;
    ReposDataAccessCursor* listJobFieldRedundancies(uint32_t setupId, uint32_t configId) override;
    ReposDataAccessCursor* listJobGlobalMetrics(uint32_t setupId) override;
    ReposDataAccessCursor* listJobAlerts(uint32_t setupId) override;
    ReposDataAccessCursor* listJobAlertProperties(uint32_t alertId) override;
    ReposDataAccessCursor* listJobCharts(uint32_t setupId) override;
    ReposDataAccessCursor* listJobChartProperties(uint32_t chartId) override;
    ReposDataAccessCursor* listReportsOfJobSetup(uint32_t setupId) override;
    ReposDataAccessCursor* listJobBusinessRules(uint32_t setupId) override;
    ReposDataAccessCursor* listJobSetupSources(uint32_t setupId) override;
    ReposDataAccessCursor* listUnassignedReports() override;
    uint32_t getJobCount(uint32_t reportId) override;
    ReposDataAccessCursor* listJobs(uint32_t reportId, uint32_t setupId) override;
    ReposDataAccessCursor* listExecutionLog(uint32_t runId) override;
    ReposDataAccessCursor* getJobConfigValue(uint32_t runId, const VqbString& key) override;
    ReposDataAccessCursor* listJobsOfTable(const VqbString& dataSourceName, const VqbString& catalog,
                                           const VqbString& schema, const VqbString& tableName) override;
    ReposDataAccessCursor* getReport(uint32_t reportId) override;
    ReposDataAccessCursor* listJobsOfSources(const VqbString* dataSourceName, const VqbString* catalog,
                                             const VqbString* schema, const VqbString* tableName) override;
    ReposDataAccessCursor* listReportsInFolder(uint32_t folderId) override;
    ReposDataAccessCursor* listDataSources(uint32_t runId) override;
    ReposDataAccessCursor* getDataSource(uint32_t dataSourceId) override;
    ReposDataAccessCursor* listTables(uint32_t runId, uint32_t dataSourceId) override;
    ReposDataAccessCursor* getTable(uint32_t tableId) override;
    ReposDataAccessCursor* listTableFieldCategories(uint32_t tableId) override;
    ReposDataAccessCursor* listFieldMetrics(uint32_t runId, uint32_t dataSourceId, uint32_t tableId,
                                            int metricCount) override;
    ReposDataAccessCursor* getFieldByName(uint32_t runId, const VqbString& dataSourceName, const VqbString& catalog,
                                          const VqbString& schema, const VqbString& tableOrFilterName,
                                          const VqbString& fieldName, char sourceKind) override;
    ReposDataAccessCursor* getFieldSource(uint32_t fieldId) override;
    ReposDataAccessCursor* listFieldMetricHistory(uint32_t firstRunId, uint32_t lastRunId,
                                                  const VqbString& dataSourceName, const VqbString& catalog,
                                                  const VqbString& schema, const VqbString& tableOrFilterName,
                                                  const VqbString& fieldName, char sourceKind,
                                                  int metricCount) override;
    ReposDataAccessCursor* listPercentiles(uint32_t fieldId) override;
    ReposDataAccessCursor* listOutliers(uint32_t fieldId) override;
    ReposDataAccessCursor* getFieldPropertyValue(uint32_t fieldId, const VqbString& propertyName) override;
    ReposDataAccessCursor* getFieldMetricValue(uint32_t fieldId, int metricIndex) override;
    ReposDataAccessCursor* listFieldCategories(uint32_t runId, uint32_t fieldId) override;
    ReposDataAccessCursor* listCategoryFields(uint32_t categoryId, uint32_t runId, int metricCount) override;
    ReposDataAccessCursor* listCategoryFieldsWithKeys(uint32_t categoryId, int metricCount, uint32_t runId) override;
    ReposDataAccessCursor* listPrimaryForeignKeys(uint32_t fieldId) override;
    ReposDataAccessCursor* listFrequencyOuterValues(uint32_t firstFieldId, uint32_t secondFieldId,
                                                    bool sharedTable) override;
    ReposDataAccessCursor* listTableNotes(uint32_t tableId, char type, uint32_t order) override;
    ReposDataAccessCursor* listFieldNotes(uint32_t fieldId, uint32_t order) override;
    ReposDataAccessCursor* listFrequencyDistribution(uint32_t fieldId, bool sharedTable, bool matchCodes,
                                                     uint32_t matchDefinitionId) override;
    ReposDataAccessCursor* listFrequencyIntersection(uint32_t firstFieldId, uint32_t secondFieldId, bool sharedTable,
                                                     bool matchCodes, uint32_t matchDefinitionId) override;
    ReposDataAccessCursor* listFrequencyDifference(uint32_t firstFieldId, uint32_t secondFieldId, bool sharedTable,
                                                   bool matchCodes, uint32_t matchDefinitionId) override;
    ReposDataAccessCursor* listPatternDistribution(uint32_t fieldId) override;
    ReposDataAccessCursor* listAlerts(uint32_t runId) override;
    ReposDataAccessCursor* listAlertProperties(uint32_t alertId) override;
    ReposDataAccessCursor* listCategoryCharts(const VqbString& chartName, uint32_t chartId, uint32_t reportId,
                                              uint32_t unused, uint32_t categoryId) override;
    ReposDataAccessCursor* listTableCharts(const VqbString& chartName, uint32_t chartId, uint32_t reportId,
                                           uint32_t runId, const VqbString& dataSource, const VqbString& catalog,
                                           const VqbString& schema, const VqbString& table, const VqbString& filter,
                                           char sourceKind) override;
    ReposDataAccessCursor* listChartData(uint32_t chartId) override;
    ReposDataAccessCursor* listRedundancyConfigsOfJob(uint32_t runId) override;
    ReposDataAccessCursor* getRedundancyConfigByName(const VqbString& name, uint32_t runId) override;
    ReposDataAccessCursor* getRedundancyConfig(uint32_t configId) override;
    ReposDataAccessCursor* listRedundancyConfigsOfField(uint32_t fieldId) override;
    ReposDataAccessCursor* listRedundancyFields(uint32_t configId) override;
    ReposDataAccessCursor* listRedundancyFieldsByMatch(uint32_t matchDefinitionId, uint32_t fieldId) override;
    ReposDataAccessCursor* listRedundancyResults(uint32_t configId, uint32_t firstFieldId, uint32_t secondFieldId,
                                                 bool swap) override;
    ReposDataAccessCursor* listCustomMetricOutputs(uint32_t tableId) override;
    ReposDataAccessCursor* listReportCustomMetricOutputs(uint32_t reportId, const VqbString& trailName) override;
    ReposDataAccessCursor* listCustomMetricOutputsBySource(uint32_t runId, const VqbString& dataSourceName,
                                                           const VqbString& catalog, const VqbString& schema,
                                                           const VqbString& tableName,
                                                           const VqbString& trailName) override;
    ReposDataAccessCursor* listBusinessRuleOutputs(uint32_t runId, uint32_t tableId) override;
    ReposDataAccessCursor* listBusinessRuleLog(uint32_t tableId, uint32_t instance, bool firstLogOnly) override;
    ReposDataAccessCursor* listReportBusinessRuleOutputs(uint32_t reportId, const VqbString& trailName) override;
    ReposDataAccessCursor* listBusinessRuleOutputsBySource(uint32_t runId, const VqbString& dataSourceName,
                                                           const VqbString& catalog, const VqbString& schema,
                                                           const VqbString& tableName,
                                                           const VqbString& trailName) override;
    ReposDataAccessCursor* listTableFieldSummary(uint32_t tableId, int metricCount) override;
    ReposDataAccessCursor* listTableNotesOfJob(int runId) override;
    bool deleteRedundancyConfig(uint32_t configId) override;
    bool updateRedundancyConfig(uint32_t configId, const VqbString& name, const VqbString& description,
                                uint32_t matchDefinitionId) override;
    bool deleteRedundancyField(uint32_t configId, uint32_t fieldId) override;
    bool deleteRedundancyFields(uint32_t configId) override;
    bool existsRedundancyField(uint32_t configId, uint32_t fieldId) override;
    bool getJobDataSourceIdByName(uint32_t setupId, const VqbString& name, uint32_t* dataSourceId) override;
    bool getJobTableIdByName(uint32_t setupId, int dataSourceId, const VqbString& catalog, const VqbString& schema,
                             const VqbString& tableName, const VqbString& filterName, const VqbString& filterExpression,
                             const VqbString& filterSql, const VqbString& fileName, uint32_t* tableId) override;
    bool deleteRedundancyResult(uint32_t leftFieldId, uint32_t rightFieldId) override;
    bool getFrequencyRightOnlyStatistics(uint32_t leftFieldId, uint32_t rightFieldId, uint32_t* rows,
                                         uint32_t* sum) override;
    bool getFrequencyJoinStatistics(uint32_t leftFieldId, uint32_t rightFieldId, uint32_t* rows, uint32_t* leftSum,
                                    uint32_t* matched, uint32_t* matchedLeftSum, uint32_t* matchedRightSum) override;
    bool deleteTextFileInfo(const VqbString& tableName) override;
    bool existsJobFieldRedundancy(uint32_t setupId, const VqbString& dataSource, const VqbString& catalog,
                                  const VqbString& schema, const VqbString& table, const VqbString& fieldName) override;
    bool clearJobSetup(uint32_t setupId) override;
    bool deleteJobSetup(uint32_t setupId) override;
    bool moveReportToJobSetup(uint32_t setupId, uint32_t reportId) override;
    bool updateJobSetup(uint32_t setupId, const VqbString& name, const VqbString& description, double editDate,
                        const VqbString& editUser, uint32_t folderId) override;
    bool existsJobSetup(const VqbString& name, uint32_t folderId) override;
    bool deleteReportJobs(uint32_t lowestRunId, uint32_t highestRunId, uint32_t reportId, bool deleteReport) override;
    bool deleteTableNote(uint32_t noteId) override;
    bool updateReport(uint32_t reportId, uint32_t folderId, const VqbString& name, const VqbString& user,
                      uint32_t setupId) override;
    bool updateTableRowCounts(uint32_t tableId, int totalRows, int filteredRows) override;
    bool setTableDecisionTree(uint32_t tableId, const VqbString& decisionTreeKey) override;
    bool setFieldMetricValue(uint32_t fieldId, int metricIndex, const VqbDatavar& value) override;
    bool deleteFieldNote(uint32_t noteId) override;
    bool deleteFieldProperty(uint32_t fieldId, const VqbString& propertyName) override;
    bool deleteFieldCategory(uint32_t fieldId, uint32_t categoryId) override;
    bool deletePrimaryForeignKey(uint32_t fieldId, uint32_t otherFieldId) override;
    bool setChartName(uint32_t chartId, const VqbString& name) override;
    bool setChartCategory(uint32_t chartId, const VqbString& name, uint32_t categoryId) override;
    bool updateChartTable(uint32_t chartId, const VqbString& dataSource, const VqbString& catalog,
                          const VqbString& schema, const VqbString& table, const VqbString& filter,
                          const VqbString& sourceKind) override;
    bool deleteChartsOfJob(uint32_t runId) override;
    bool deleteChart(uint32_t chartId) override;
    bool deleteChartData(uint32_t chartId) override;
    bool updateRedundancyConfigEx(uint32_t configId, const VqbString& name, const VqbString& description,
                                  uint32_t matchDefinitionId) override;
    bool deleteRedundancyConfigEx(uint32_t configId) override;
    bool deleteRedundancyFieldsEx(uint32_t configId, uint32_t fieldId) override;
    bool deleteMatchCodeDistribution(int fieldId) override;
    bool deleteRedundancyResults(uint32_t configId, uint32_t leftFieldId, uint32_t rightFieldId) override;
    bool getFrequencyOverlapStatistics(uint32_t firstFieldId, uint32_t secondFieldId, bool matchCodes, uint32_t unused,
                                       bool sharedTable, uint32_t* firstValues, uint32_t* firstTotal,
                                       uint32_t* secondValues, uint32_t* secondTotal, uint32_t* commonValues,
                                       uint32_t* firstCommonTotal, uint32_t* secondCommonTotal) override;
    bool getFrequencyValueCount(uint32_t fieldId, bool sharedTable, uint32_t* values) override;
    bool getFrequencyTotal(uint32_t fieldId, bool sharedTable, int64_t* total) override;
    bool getPatternValueCount(uint32_t fieldId, uint32_t* rows) override;
    bool beginFrequencyDistribution(int fieldId, bool sharedTable, int batchSize) override;
    bool beginPatternDistribution(int batchSize) override;
    bool beginMatchCodeDistribution(int batchSize) override;
    bool addFrequencyValue(int fieldId, const VqbString& value, const VqbString& matchValue, int64_t count) override;
    bool addPatternValue(int fieldId, const VqbString& pattern, int64_t count) override;
    bool addMatchCodeValue(int fieldId, const VqbString& frequencyValue, const VqbString& matchCode, int64_t count,
                           int matchDefinitionId) override;
    bool endFrequencyDistribution(int fieldId) override;
    bool endPatternDistribution() override;
    bool endMatchCodeDistribution() override;
    bool beginBusinessRuleLog() override;
    bool addBusinessRuleLogEntry(uint32_t tableId, uint32_t ruleId, uint32_t instance, uint32_t logId,
                                 uint32_t logSequence, const VqbString& data) override;
    bool endBusinessRuleLog() override;

    // Not an operation of the interface: every row of one of the setup's child tables (JFLD,
    // JFLDME, ...), whatever row of the setup it hangs from, so that a whole setup is read with one
    // statement per table. Null for a table that is not a child of setups.
    ReposDataAccessCursor* listJobChildRows(uint32_t setupId, const char* table);
    // Not an operation of the interface: draws the next count ids of a setup table at once and
    // hands them to that table's inserts in order, so a list of many rows moves the table's id
    // counter once (on PostgreSQL each move of the counter within one transaction costs more
    // than the last). Ids left over are dropped by the next call for the table, count 0 ending
    // the reservation; a table whose rows draw no id is left alone.
    bool reserveJobIds(const char* table, uint32_t count);

protected:
    ~ProfileRDAImpl() override;

private:
    static constexpr const char* kSource = "prof_rdaimpl";
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    // The runs whose source tables have the given data source name, catalog, schema and table name
    // (in this order; null: any), their columns and order as the caller says.
    using SourceNames = std::array<const VqbString*, 4>;
    ReposDataAccessCursor* jobsOfSources(int line, const char* columns, const SourceNames& names,
                                         const char* orderBy);
    // ", <prefix>MET_0, ..." up to the metric count.
    static VqbString metricColumns(const char* prefix, int metricCount);
    // The fields linked to a category (any category for none, with keys only), of a run when given,
    // with their key and redundancy counts when asked.
    ReposDataAccessCursor* categoryFields(int line, uint32_t categoryId, bool withKeys, uint32_t runId,
                                          int metricCount);
    // ", <key count> AS PKFK, <redundancy count> AS REDUN" of the field aliased A.
    VqbString keyCounts();
    // The notes of a table or a field: their table, column prefix and owner column.
    struct NoteTable {
        const char* table;
        const char* prefix;
        const char* owner;
    };
    static const NoteTable kTableNotes;
    static const NoteTable kFieldNotes;
    // The notes of the owner (all owners for none) of the type (any for 0, table notes only), newest
    // first when order is 1.
    ReposDataAccessCursor* notes(int line, const NoteTable& kind, uint32_t ownerId, char type, uint32_t order);

    // ---- job setups and the deletion of runs
    // The kinds of setup row, in the order of the insert table.
    enum class SetupRow : uint8_t {
        Setup, KeyValue, RedundancyConfig, DataSource, Table, Field, FieldRedundancy, FieldMetric, FieldProperty,
        LinkedField, TableCustomMetric, CustomMetricMapping, BusinessRule, RuleFieldMapping, GlobalMetric, Alert,
        AlertProperty, Chart, ChartProperty
    };
    // One setup row; id (when given) receives the row's new id where its table draws one.
    bool insertSetupRow(int line, SetupRow row, std::initializer_list<VqbDatavar> values, uint32_t* id = nullptr);
    // The insert statement of each kind of setup row, made at its first use: a job's import runs
    // tens of thousands of them.
    VqbString setupInsertTexts_[static_cast<size_t>(SetupRow::ChartProperty) + 1];
    // Ids reserved for a setup table's inserts, by id key: the next one and how many are left.
    struct ReservedIds {
        uint32_t next = 0;
        uint32_t left = 0;
    };
    std::map<std::string, ReservedIds> reservedIds_;
    // The id in column idColumn of find's first row, else the new id of the inserted row; both in one
    // exclusive transaction. 0xFFFFFFFF on failure.
    uint32_t findOrInsert(int line, const Sql& find, const char* idColumn, SetupRow row,
                          std::initializer_list<VqbDatavar> values);
    // The whole-row read of a setup's table by the operation's slot, values in argument order.
    ReposDataAccessCursor* readSetup(int line, int slot, std::initializer_list<VqbDatavar> values);
    // Deletes the rows of the runs and of the report's charts (of the deleted runs only when ranged).
    bool deleteJobsCascade(uint32_t reportId, const std::vector<uint32_t>& runIds, bool ranged);
    // Drops the fields' own frequency tables that exist; failures are logged only.
    void dropFieldFrequencyTables(const std::vector<uint32_t>& fieldIds);
    // The profiled fields of the runs, run by run.
    std::vector<uint32_t> fieldsOfRuns(const std::vector<uint32_t>& runIds);


    // A transaction level a writer opened on the connection, remembered so that it is ended exactly
    // once: by the writer's end, by its failure or by release.
    class WriterLevel {
    public:
        bool open(ReposDataAccess* connection);
        // True when no level is open.
        bool end(ReposDataAccess* connection, bool commit);
        bool isOpen() const { return open_; }

    private:
        bool open_ = false;
    };

    enum class Layout { SharedFrequency, FieldFrequency, Pattern, MatchCode };
    // One distribution writer between its begin and its end: the bulk load it opened on the
    // connection, or its insert (array-bound when batchSize > 0) with its level.
    struct Writer {
        ReposHeld<ReposDataAccessStatement> statement;
        WriterLevel level;
        Layout layout = Layout::SharedFrequency;
        bool open = false;
        bool bulk = false;
        int32_t batchSize = 0;
        int32_t rowsInBatch = 0;
        int32_t rowsInLevel = 0;
        int fieldId = 0;
    };
    Writer& writerOf(Layout layout);
    bool beginWriter(Layout layout, int fieldId, int batchSize, int line);
    bool addRow(Layout layout, const VqbDatavar* values, int line);
    bool endWriter(Layout layout, int line);
    // Ends a sequence without its pending rows: statement freed, the bulk load closed unsent when
    // this writer still holds it, the level committed (keepExecuted) or rolled back.
    void closeWriter(Writer& writer, bool keepExecuted);
    // The writers still open when the object is released, ended without their pending rows.
    void closeWritersAtRelease();
    // The frequency table of a field: the shared one or the field's own.
    VqbString frequencyTable(uint32_t fieldId, bool sharedTable);
    // "SELECT <columns> FROM <frequency table>", filtered by the field id in the shared table.
    Sql frequencyRead(uint32_t fieldId, bool sharedTable, const char* sharedColumns, const char* ownColumns);

    // ---- redundancy, outputs and charts
    // "SELECT <RDACFG columns of a>, <its match definition> FROM ..." for the caller's conditions.
    Sql redundancyConfigs();
    Lookup redundancyFieldRow(int line, uint32_t configId, uint32_t fieldId);
    // The outputs of one table of one data source of a run, found by names.
    ReposDataAccessCursor* outputsBySource(int line, const char* format, const char* outputTable, const char* orderBy,
                                           uint32_t runId, const VqbString& dataSourceName, const VqbString& catalog,
                                           const VqbString& schema, const VqbString& tableName,
                                           const VqbString& trailName);
    // Rolls the rule log's level back once and frees its statement; its depth stays for the ends.
    void failRuleLog();
    ReposDataAccessCursor* chartRows(int line, Sql& sql);

    Writer frequency_;
    Writer pattern_;
    Writer matchCode_;
    // Where the frequency distribution being written goes: the shared table or the field's own.
    bool sharedFrequencyTable_ = true;
    ReposHeld<ReposDataAccessStatement> ruleLogStatement_;
    WriterLevel ruleLogLevel_;
    int32_t ruleLogDepth_ = 0;
};

#endif
