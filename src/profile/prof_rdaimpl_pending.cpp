// Operations that are not available yet: each logs so and gives its failure value.
#include "prof_rdaimpl.h"

uint32_t ProfileRDAImpl::addJobSetup(const VqbString&, const VqbString&, const VqbString&, double, double,
                                     const VqbString&, const VqbString&, uint32_t) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addJobKeyValue(uint32_t, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
uint32_t ProfileRDAImpl::addJobRedundancyConfig(uint32_t, const VqbString&, const VqbString&, const VqbString&,
                                                const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
uint32_t ProfileRDAImpl::addJobDataSource(uint32_t, const VqbString&, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
uint32_t ProfileRDAImpl::addJobTable(uint32_t, int, const VqbString&, const VqbString&, const VqbString&,
                                     const VqbString&, const VqbString&, const VqbString&, int, const VqbString&,
                                     const VqbString&, const VqbString&, int, int, int, const VqbString&, int, int,
                                     const VqbString&, bool) {
    return pending(__func__, __LINE__);
}
uint32_t ProfileRDAImpl::addJobField(uint32_t, uint32_t, uint32_t, const VqbString&, const VqbString&, int) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addJobFieldRedundancy(uint32_t, uint32_t, const VqbString&, const VqbString&, const VqbString&,
                                           const VqbString&, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addJobFieldMetric(uint32_t, uint32_t, uint32_t, uint32_t, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addJobFieldProperty(uint32_t, uint32_t, uint32_t, uint32_t, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addJobLinkedField(uint32_t, uint32_t, const VqbString&, const VqbString&, const VqbString&,
                                       const VqbString&, const VqbString&, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
uint32_t ProfileRDAImpl::addJobTableCustomMetric(uint32_t, uint32_t, uint32_t, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addJobCustomMetricMapping(uint32_t, uint32_t, uint32_t, uint32_t, const VqbString&,
                                               const VqbString&, const VqbString&, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
uint32_t ProfileRDAImpl::insertJobBusinessRule(uint32_t, uint32_t, uint32_t, const VqbString&, int, int,
                                               const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addJobRuleFieldMapping(uint32_t, uint32_t, uint32_t, uint32_t, const VqbString&, const VqbString&,
                                            const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addJobGlobalMetric(uint32_t, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
uint32_t ProfileRDAImpl::addJobAlert(uint32_t, const VqbString&, const VqbString&, const VqbString&, const VqbString&,
                                     const VqbString&, const VqbString&, const VqbString&, const VqbString&,
                                     const VqbString&, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::setJobAlertProperty(uint32_t, uint32_t, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
uint32_t ProfileRDAImpl::addJobChart(uint32_t, const VqbString&, const VqbString&, const VqbString&, const VqbString&,
                                     const VqbString&, const VqbString&, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addJobChartProperty(uint32_t, uint32_t, const VqbString&, int, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::setReportJobSetup(uint32_t, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::addJobCustomMetricMappingEx(uint32_t, uint32_t, uint32_t, uint32_t, const VqbString&,
                                                 const VqbString&, const VqbString&, const VqbString&,
                                                 const VqbString&) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobSetups() { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::getJobSetup(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::findJobSetup(int, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobKeyValues(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobDataSources(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobTables(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobFields(uint32_t, uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobFieldMetrics(uint32_t, uint32_t, uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobCustomMetricMappingsOfMetric(uint32_t, uint32_t, const VqbString&) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobCustomMetricMappings(uint32_t, uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobCustomMetricInputs(const VqbString&) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobFieldProperties(uint32_t, uint32_t, uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobLinkedFields(uint32_t, const VqbString&) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobTableCustomMetrics(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobTableBusinessRules(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobRuleFieldMappings(uint32_t, uint32_t, uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobRedundancyConfigs(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::getJobRedundancyConfigBySettings(uint32_t, const VqbString&, const VqbString&,
                                                                        const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobFieldRedundancies(uint32_t, uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listJobGlobalMetrics(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobAlerts(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobAlertProperties(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobCharts(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobChartProperties(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobBusinessRules(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listJobSetupSources(uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::getJobDataSourceIdByName(uint32_t, const VqbString&, uint32_t*) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::getJobTableIdByName(uint32_t, int, const VqbString&, const VqbString&, const VqbString&,
                                         const VqbString&, const VqbString&, const VqbString&, const VqbString&,
                                         uint32_t*) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::existsJobFieldRedundancy(uint32_t, const VqbString&, const VqbString&, const VqbString&,
                                              const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::clearJobSetup(uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::deleteJobSetup(uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::moveReportToJobSetup(uint32_t, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::updateJobSetup(uint32_t, const VqbString&, const VqbString&, double, const VqbString&, uint32_t) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::existsJobSetup(const VqbString&, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::deleteReportJobs(uint32_t, uint32_t, uint32_t, bool) { return pending(__func__, __LINE__); }
