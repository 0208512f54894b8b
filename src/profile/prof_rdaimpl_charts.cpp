// Alerts of a run with their properties, and the charts of a report: a CHT row with its table
// (CHTTAB) or category (CHTCAT) and its data (CHTDAT).
#include <vector>

#include "prof_rdaimpl.h"

namespace {

const char* const kSource = "prof_rdaimpl";

// Everything of a chart goes together: its row, its data, its table and its category.
const ReposKeyedTable kChartTables[] = {
    {"CHT", "CH_ID"}, {"CHTDAT", "CH_ID"}, {"CHTTAB", "CH_ID"}, {"CHTCAT", "CH_ID"}};

}  // namespace

// ---- alerts

bool ProfileRDAImpl::addAlert(uint32_t runId, const VqbString& dataSource, const VqbString& catalog,
                              const VqbString& schema, const VqbString& table, const VqbString& field,
                              const VqbString& filter, const VqbString& description, const VqbString& rule,
                              const VqbString& error, const VqbString& textFile, const VqbString& type,
                              const VqbString& sourceUid, uint32_t* id) try {
    return insertKeyed(
        kSource, __LINE__, "ALERT",
        Sql(onTable("INSERT INTO", "ALERT",
                    " (AL_ID, JOB_ID, AL_DSN, AL_CAT, AL_SCHMA, AL_TBL, AL_FLD, AL_FILT, AL_DESC, "
                    "AL_RULE, AL_ERROR, AL_TF, AL_TYPE, AL_SRC_UID) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
            {idValue(runId), dataSource, catalog, schema, table, field, filter, description, rule, error, textFile,
             type, sourceUid}),
        0, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addAlertProperty(uint32_t alertId, const VqbString& name, const VqbString& value) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "ALPROP", " (AL_ID, AP_NAME, AP_VALUE) VALUES (?,?,?)"),
                   {idValue(alertId), name, value}));
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* ProfileRDAImpl::listAlerts(uint32_t runId) try {
    return select(kSource, __LINE__,
                  Sql(onTable("SELECT AL_ID, AL_DSN, AL_CAT, AL_SCHMA, AL_TBL, AL_FLD, AL_FILT, AL_DESC, AL_RULE, "
                              "AL_ERROR, AL_TF, AL_TYPE, AL_SRC_UID FROM",
                              "ALERT", " WHERE JOB_ID=? ORDER BY AL_ID"),
                      {idValue(runId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listAlertProperties(uint32_t alertId) try {
    return select(
        kSource, __LINE__,
        Sql(onTable("SELECT AP_NAME, AP_VALUE FROM", "ALPROP", " WHERE AL_ID=? ORDER BY AP_NAME"), {idValue(alertId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- charts

bool ProfileRDAImpl::addChart(uint32_t reportId, uint32_t runId, const VqbString& name, const VqbString& type,
                              uint32_t* id) try {
    return insertKeyed(
        kSource, __LINE__, "CHT",
        Sql(onTable("INSERT INTO", "CHT", " (CH_ID, RPT_ID, CH_NAME, CH_TYPE, CH_EDIT, JOB_ID) VALUES (?,?,?,?,'N',?)"),
            {idValue(reportId), name, type, idValue(runId)}),
        0, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addChartTable(uint32_t chartId, const VqbString& dataSource, const VqbString& catalog,
                                   const VqbString& schema, const VqbString& table, const VqbString& filter,
                                   const VqbString& sourceKind) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "CHTTAB",
                           " (CH_ID, CT_DSN, CT_CAT, CT_SCHMA, CT_TBL, CT_FILT, CT_TYPE) VALUES (?,?,?,?,?,?,?)"),
                   {idValue(chartId), dataSource, catalog, schema, table, filter, sourceKind}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addChartCategory(uint32_t chartId, uint32_t categoryId) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "CHTCAT", " (CH_ID, DOM_ID) VALUES (?,?)"),
                   {idValue(chartId), idValue(categoryId)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addChartData(uint32_t chartId, const VqbString& parameter, int sequence,
                                  const VqbString& value) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "CHTDAT", " (CH_ID, CD_PARAM, CD_SEQ, CD_VALUE) VALUES (?,?,?,?)"),
                   {idValue(chartId), parameter, sequence, value}));
} catch (...) {
    return caught(__LINE__, false);
}

// The run argument stands where table charts take theirs; category charts carry no run filter.
ReposDataAccessCursor* ProfileRDAImpl::listCategoryCharts(const VqbString& chartName, uint32_t chartId,
                                                          uint32_t reportId, uint32_t, uint32_t categoryId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql(
        onTables("SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.DOM_ID, C.GCNAME FROM %s A ,%s B, %s C "
                 "WHERE A.CH_ID=B.CH_ID AND B.DOM_ID=C.GC_ID AND A.CH_TYPE='C'",
                 {"CHT", "CHTCAT", "GCATS"}));
    sql.whereOpen();
    if (reportId != kNone) sql.where("A.RPT_ID", idValue(reportId));
    if (chartId != kNone) sql.where("A.CH_ID", idValue(chartId));
    sql.whereText("A.CH_NAME", chartName);
    if (categoryId != kNone) sql.where("C.GC_ID", idValue(categoryId));
    return chartRows(__LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listTableCharts(const VqbString& chartName, uint32_t chartId, uint32_t reportId,
                                                       uint32_t runId, const VqbString& dataSource,
                                                       const VqbString& catalog, const VqbString& schema,
                                                       const VqbString& table, const VqbString& filter,
                                                       char sourceKind) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql(
        onTables("SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.CT_DSN, B.CT_CAT, B.CT_SCHMA, B.CT_TBL, "
                 "B.CT_FILT, B.CT_TYPE FROM %s A INNER JOIN %s B ON A.CH_ID=B.CH_ID WHERE A.CH_TYPE='T'",
                 {"CHT", "CHTTAB"}));
    sql.whereOpen();
    if (reportId != kNone) sql.where("A.RPT_ID", idValue(reportId));
    if (runId != kNone) sql.where("A.JOB_ID", idValue(runId));
    if (chartId != kNone) sql.where("A.CH_ID", idValue(chartId));
    sql.whereText("A.CH_NAME", chartName)
        .whereText("B.CT_DSN", dataSource)
        .whereText("B.CT_CAT", catalog)
        .whereText("B.CT_SCHMA", schema)
        .whereText("B.CT_TBL", table)
        .whereText("B.CT_FILT", filter);
    if (sourceKind) sql.where("B.CT_TYPE", charValue(sourceKind));
    return chartRows(__LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

// The filtered chart list in chart order, integers and texts declared by their kind.
ReposDataAccessCursor* ProfileRDAImpl::chartRows(int line, Sql& sql) {
    sql.append(" ORDER BY A.CH_ID");
    const int text = getConnection()->getMaxTextLen();
    std::vector<ValueInfo> info;
    for (const VqbDatavar& value : sql.values())
        info.push_back(value.getType() == VQB_TYPE_STRING ? ValueInfo{4, text} : ValueInfo{2, 0});
    return selectPrepared(kSource, line, sql, info);
}

ReposDataAccessCursor* ProfileRDAImpl::listChartData(uint32_t chartId) try {
    return select(
        kSource, __LINE__,
        Sql(onTable("SELECT CD_PARAM, CD_SEQ, CD_VALUE FROM", "CHTDAT", " WHERE CH_ID=? ORDER BY CD_PARAM, CD_SEQ"),
            {idValue(chartId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

// Renaming marks the chart edited.
bool ProfileRDAImpl::setChartName(uint32_t chartId, const VqbString& name) try {
    return run(kSource, __LINE__,
               Sql(onTable("UPDATE", "CHT", " SET CH_NAME=?, CH_EDIT='Y' WHERE CH_ID=?"), {name, idValue(chartId)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::setChartCategory(uint32_t chartId, const VqbString& name, uint32_t categoryId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    if (!run(
            kSource, __LINE__,
            Sql(onTable("UPDATE", "CHTCAT", " SET DOM_ID=? WHERE CH_ID=?"), {idValue(categoryId), idValue(chartId)})) ||
        !setChartName(chartId, name))
        return false;
    return transaction.commit() || logFailure(kSource, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::updateChartTable(uint32_t chartId, const VqbString& dataSource, const VqbString& catalog,
                                      const VqbString& schema, const VqbString& table, const VqbString& filter,
                                      const VqbString& sourceKind) try {
    return run(kSource, __LINE__,
               Sql(onTable("UPDATE", "CHTTAB",
                           " SET CT_DSN=?, CT_CAT=?, CT_SCHMA=?, CT_TBL=?, CT_FILT=?, CT_TYPE=? WHERE CH_ID=?"),
                   {dataSource, catalog, schema, table, filter, sourceKind, idValue(chartId)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deleteChartData(uint32_t chartId) try {
    return run(kSource, __LINE__, Sql(onTable("DELETE FROM", "CHTDAT", " WHERE CH_ID=?"), {idValue(chartId)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deleteChart(uint32_t chartId) try {
    return deleteKeyed(kSource, __LINE__, kChartTables, sizeof kChartTables / sizeof kChartTables[0], idValue(chartId));
} catch (...) {
    return caught(__LINE__, false);
}

// The run's own charts, each with everything it has, all or none.
bool ProfileRDAImpl::deleteChartsOfJob(uint32_t runId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    ReposHeld<ReposDataAccessCursor> charts(
        select(kSource, __LINE__, Sql(onTable("SELECT CH_ID FROM", "CHT", " WHERE JOB_ID=?"), {idValue(runId)})));
    if (!charts) return false;
    std::vector<uint32_t> ids;
    int read = 0;
    while ((read = charts->next()) == 1) ids.push_back(static_cast<uint32_t>(charts->getInt(0)));
    if (read != 0) return logFailure(kSource, __LINE__);
    charts.reset();
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    for (uint32_t id : ids)
        if (!deleteChart(id)) return false;
    return transaction.commit() || logFailure(kSource, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}
