// Operations that are not available yet: each logs so and gives its failure value.
#include "prof_rdaimpl.h"

bool ProfileRDAImpl::addAlert(uint32_t, const VqbString&, const VqbString&, const VqbString&, const VqbString&,
                              const VqbString&, const VqbString&, const VqbString&, const VqbString&, const VqbString&,
                              const VqbString&, const VqbString&, const VqbString&, uint32_t*) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addAlertProperty(uint32_t, const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addChart(uint32_t, uint32_t, const VqbString&, const VqbString&, uint32_t*) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addChartTable(uint32_t, const VqbString&, const VqbString&, const VqbString&, const VqbString&,
                                   const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addChartCategory(uint32_t, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::addChartData(uint32_t, const VqbString&, int, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addRedundancyConfig(uint32_t, const VqbString&, const VqbString&, uint32_t, uint32_t*) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addRedundancyField(uint32_t, uint32_t, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::addRedundancyResult(uint32_t, uint32_t, uint32_t, uint32_t, int, int, int, int, int, int, int) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addCustomMetricOutput(uint32_t, uint32_t, uint32_t, const VqbString&, const VqbString&,
                                           const VqbString&, const VqbString&, uint32_t) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::addBusinessRuleOutput(uint32_t, uint32_t, uint32_t, uint32_t, const VqbString&, const VqbString&,
                                           uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listAlerts(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listAlertProperties(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listCategoryCharts(const VqbString&, uint32_t, uint32_t, uint32_t, uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listTableCharts(const VqbString&, uint32_t, uint32_t, uint32_t, const VqbString&,
                                                       const VqbString&, const VqbString&, const VqbString&,
                                                       const VqbString&, char) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listChartData(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listRedundancyConfigsOfJob(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::getRedundancyConfigByName(const VqbString&, uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::getRedundancyConfig(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listRedundancyConfigsOfField(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listRedundancyFields(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listRedundancyFieldsByMatch(uint32_t, uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listRedundancyResults(uint32_t, uint32_t, uint32_t, bool) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listCustomMetricOutputs(uint32_t) { return pending(__func__, __LINE__); }
ReposDataAccessCursor* ProfileRDAImpl::listReportCustomMetricOutputs(uint32_t, const VqbString&) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listCustomMetricOutputsBySource(uint32_t, const VqbString&, const VqbString&,
                                                                       const VqbString&, const VqbString&,
                                                                       const VqbString&) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listBusinessRuleOutputs(uint32_t, uint32_t) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listBusinessRuleLog(uint32_t, uint32_t, bool) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listReportBusinessRuleOutputs(uint32_t, const VqbString&) {
    return pending(__func__, __LINE__);
}
ReposDataAccessCursor* ProfileRDAImpl::listBusinessRuleOutputsBySource(uint32_t, const VqbString&, const VqbString&,
                                                                       const VqbString&, const VqbString&,
                                                                       const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::deleteRedundancyConfig(uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::updateRedundancyConfig(uint32_t, const VqbString&, const VqbString&, uint32_t) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::deleteRedundancyField(uint32_t, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::deleteRedundancyFields(uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::existsRedundancyField(uint32_t, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::deleteRedundancyResult(uint32_t, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::setChartName(uint32_t, const VqbString&) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::setChartCategory(uint32_t, const VqbString&, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::updateChartTable(uint32_t, const VqbString&, const VqbString&, const VqbString&, const VqbString&,
                                      const VqbString&, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::deleteChartsOfJob(uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::deleteChart(uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::deleteChartData(uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::updateRedundancyConfigEx(uint32_t, const VqbString&, const VqbString&, uint32_t) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::deleteRedundancyConfigEx(uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::deleteRedundancyFieldsEx(uint32_t, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::deleteRedundancyResults(uint32_t, uint32_t, uint32_t) { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::beginBusinessRuleLog() { return pending(__func__, __LINE__); }
bool ProfileRDAImpl::addBusinessRuleLogEntry(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, const VqbString&) {
    return pending(__func__, __LINE__);
}
bool ProfileRDAImpl::endBusinessRuleLog() { return pending(__func__, __LINE__); }
