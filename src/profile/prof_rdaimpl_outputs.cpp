// Custom-metric and business-rule outputs of profiled tables, and the business-rule row log with
// its writer: one prepared insert kept open in a transaction level of its own.
#include "prof_rdaimpl.h"
#include "reposlog.h"

namespace {

const char* const kSource = "prof_rdaimpl";

// The report reads follow one trail across the runs of a report, run by run, table by table.
const char* const kReportMetricOutputs =
    "SELECT E.JOB_ID, E.JOB_DATE, A.TBL_ID, A.CM_ID, B.CM_DESC, A.PCM_SEQ, A.CM_FLDNM, A.PCM_OUTN, A.PCM_OUTV, "
    "A.TRAIL_NM, A.ROW_CNT FROM (((%s A INNER JOIN %s B ON A.CM_ID = B.CM_ID) INNER JOIN %s C ON A.TBL_ID = "
    "C.TBL_ID) INNER JOIN %s D ON C.DSN_ID = D.DSN_ID) INNER JOIN %s E ON D.JOB_ID = E.JOB_ID "
    "WHERE E.RPT_ID=? AND A.TRAIL_NM=? ORDER BY E.JOB_ID, A.TBL_ID";
const char* const kReportRuleOutputs =
    "SELECT E.JOB_ID, E.JOB_DATE, A.TBL_ID, A.BR_ID, B.RU_DESC, A.PBR_SEQ, A.FAIL_CNT, A.TRAIL_NM, A.FLD_DESC, "
    "A.ROW_CNT FROM (((%s A INNER JOIN %s B ON A.BR_ID = B.RU_ID) INNER JOIN %s C ON A.TBL_ID = C.TBL_ID) "
    "INNER JOIN %s D ON C.DSN_ID = D.DSN_ID) INNER JOIN %s E ON D.JOB_ID = E.JOB_ID "
    "WHERE E.RPT_ID=? AND A.TRAIL_NM=? ORDER BY E.JOB_ID, A.TBL_ID";

const char* const kMetricOutputsBySource =
    "SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, C.CM_ID, C.PCM_SEQ, C.CM_FLDNM, C.PCM_OUTN, C.PCM_OUTV, C.TRAIL_NM, "
    "C.ROW_CNT FROM %s D, %s T, %s C WHERE D.DSN_ID=T.DSN_ID AND T.TBL_ID=C.TBL_ID AND D.DSN_NAME=? AND "
    "T.TBL_NM=? AND C.TRAIL_NM=? AND D.JOB_ID=?";
const char* const kRuleOutputsBySource =
    "SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, B.BR_ID, B.PBR_SEQ, B.FAIL_CNT, B.TRAIL_NM, B.FLD_DESC, B.ROW_CNT "
    "FROM %s D, %s T, %s B WHERE D.DSN_ID=T.DSN_ID AND T.TBL_ID=B.TBL_ID AND D.DSN_NAME=? AND T.TBL_NM=? AND "
    "B.TRAIL_NM=? AND D.JOB_ID=?";

}  // namespace

// ---- adding

bool ProfileRDAImpl::addCustomMetricOutput(uint32_t tableId, uint32_t metricId, uint32_t instance,
                                           const VqbString& metricOutput, const VqbString& outputName,
                                           const VqbString& outputValue, const VqbString& trailName,
                                           uint32_t rowCount) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "PCMOUT",
                           " (TBL_ID, CM_ID, PCM_SEQ, CM_FLDNM, PCM_OUTN, PCM_OUTV, TRAIL_NM, ROW_CNT) "
                           "VALUES (?,?,?,?,?,?,?,?)"),
                   {idValue(tableId), idValue(metricId), idValue(instance), metricOutput, outputName, outputValue,
                    trailName, idValue(rowCount)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addBusinessRuleOutput(uint32_t tableId, uint32_t ruleId, uint32_t instance, uint32_t failures,
                                           const VqbString& trailName, const VqbString& fieldDescription,
                                           uint32_t rowCount) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "PBROUT",
                           " (TBL_ID, BR_ID, PBR_SEQ, FAIL_CNT, TRAIL_NM, FLD_DESC, ROW_CNT) VALUES (?,?,?,?,?,?,?)"),
                   {idValue(tableId), idValue(ruleId), idValue(instance), idValue(failures), trailName,
                    fieldDescription, idValue(rowCount)}));
} catch (...) {
    return caught(__LINE__, false);
}

// ---- reading

ReposDataAccessCursor* ProfileRDAImpl::listCustomMetricOutputs(uint32_t tableId) try {
    return select(kSource, __LINE__,
                  Sql(onTables("SELECT A.CM_ID, B.CM_DESC, A.PCM_SEQ, A.CM_FLDNM, A.PCM_OUTN, A.PCM_OUTV, A.TRAIL_NM, "
                               "A.ROW_CNT FROM %s A, %s B WHERE A.CM_ID=B.CM_ID AND A.TBL_ID=? "
                               "ORDER BY A.PCM_SEQ, A.PCM_OUTN",
                               {"PCMOUT", "CUSTM"}),
                      {idValue(tableId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listReportCustomMetricOutputs(uint32_t reportId,
                                                                     const VqbString& trailName) try {
    return select(
        kSource, __LINE__,
        Sql(onTables(kReportMetricOutputs, {"PCMOUT", "CUSTM", "TBL", "DSN", "JOB"}), {idValue(reportId), trailName}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listReportBusinessRuleOutputs(uint32_t reportId,
                                                                     const VqbString& trailName) try {
    return select(
        kSource, __LINE__,
        Sql(onTables(kReportRuleOutputs, {"PBROUT", "RULE", "TBL", "DSN", "JOB"}), {idValue(reportId), trailName}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listBusinessRuleOutputs(uint32_t runId, uint32_t tableId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql(
        onTables("SELECT A.TBL_ID, A.BR_ID, B.RU_DESC, A.PBR_SEQ, A.FAIL_CNT, A.TRAIL_NM, A.FLD_DESC, A.ROW_CNT "
                 "FROM ((%s A INNER JOIN %s B ON A.BR_ID = B.RU_ID) INNER JOIN %s C ON A.TBL_ID = C.TBL_ID) "
                 "INNER JOIN %s D ON C.DSN_ID = D.DSN_ID",
                 {"PBROUT", "RULE", "TBL", "DSN"}));
    if (runId != kNone) sql.where("D.JOB_ID", idValue(runId));
    if (tableId != kNone) sql.where("A.TBL_ID", idValue(tableId));
    sql.append(" ORDER BY A.TBL_ID, A.PBR_SEQ");
    return selectPrepared(kSource, __LINE__, sql, std::vector<ValueInfo>(sql.values().size(), ValueInfo{2, 0}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listBusinessRuleLog(uint32_t tableId, uint32_t instance, bool firstLogOnly) try {
    Sql sql(onTable("SELECT BR_ID, PBR_SEQ, LOG_ID, LOG_DATA FROM", "PBRLOG", " WHERE TBL_ID=? AND PBR_SEQ=?"),
            {idValue(tableId), idValue(instance)});
    if (firstLogOnly) sql.append(" AND LOG_ID=0");
    return select(kSource, __LINE__, sql.append(" ORDER BY LOG_ID, LOG_SEQ"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listCustomMetricOutputsBySource(uint32_t runId, const VqbString& dataSourceName,
                                                                       const VqbString& catalog,
                                                                       const VqbString& schema,
                                                                       const VqbString& tableName,
                                                                       const VqbString& trailName) try {
    return outputsBySource(__LINE__, kMetricOutputsBySource, "PCMOUT", " ORDER BY C.TBL_ID, C.CM_ID, C.PCM_SEQ", runId,
                           dataSourceName, catalog, schema, tableName, trailName);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listBusinessRuleOutputsBySource(uint32_t runId, const VqbString& dataSourceName,
                                                                       const VqbString& catalog,
                                                                       const VqbString& schema,
                                                                       const VqbString& tableName,
                                                                       const VqbString& trailName) try {
    return outputsBySource(__LINE__, kRuleOutputsBySource, "PBROUT", " ORDER BY B.TBL_ID, B.BR_ID, B.PBR_SEQ", runId,
                           dataSourceName, catalog, schema, tableName, trailName);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::outputsBySource(int line, const char* format, const char* outputTable,
                                                       const char* orderBy, uint32_t runId,
                                                       const VqbString& dataSourceName, const VqbString& catalog,
                                                       const VqbString& schema, const VqbString& tableName,
                                                       const VqbString& trailName) {
    if (!checkConnection(kSource, line)) return nullptr;
    Sql sql(onTables(format, {"DSN", "TBL", outputTable}), {dataSourceName, tableName, trailName, idValue(runId)});
    sql.whereOpen().whereText("T.TBL_SCH", schema).whereText("T.TBL_CAT", catalog).append(orderBy);
    const int text = getConnection()->getMaxTextLen();
    std::vector<ValueInfo> info(sql.values().size(), ValueInfo{4, text});
    info[3] = ValueInfo{2, 0};
    return selectPrepared(kSource, line, sql, info);
}

// ---- the row log writer
//
// Open: depth 1 or more with the level open. A failed entry rolls the level back and frees the
// statement while the depth stays, so that the ends still match their begins; the end reaching
// depth 0 then answers false and ends nothing.

bool ProfileRDAImpl::beginBusinessRuleLog() try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (ruleLogDepth_ > 0) {
        // A log that failed takes no new level: its rows are gone.
        if (!ruleLogLevel_.isOpen())
            return refuse(kSource, __LINE__, VqbString("The business-rule log failed: end it first"));
        ++ruleLogDepth_;
        return true;
    }
    ReposDataAccess* connection = getConnection();
    if (!ruleLogLevel_.open(connection)) return logFailure(kSource, __LINE__);
    ruleLogStatement_.reset(connection->createStatement(
        onTable("INSERT INTO", "PBRLOG", " (TBL_ID, BR_ID, PBR_SEQ, LOG_ID, LOG_SEQ, LOG_DATA) VALUES (?,?,?,?,?,?)")));
    bool ok = ruleLogStatement_ != nullptr;
    if (!ok) logFailure(kSource, __LINE__);
    for (int i = 0; ok && i < 6; ++i) {
        ok = ruleLogStatement_->setParameterInfo(i, i < 5 ? 2 : 4, i < 5 ? 0 : connection->getMaxTextLen());
        if (!ok) logFailure(kSource, __LINE__, ruleLogStatement_->getErrorMessage());
    }
    if (!ok) {
        ruleLogStatement_.reset();
        ruleLogLevel_.end(connection, false);
        return false;
    }
    ruleLogDepth_ = 1;
    return true;
} catch (...) {
    ruleLogStatement_.reset();
    if (ruleLogDepth_ == 0) ruleLogLevel_.end(getConnection(), false);
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addBusinessRuleLogEntry(uint32_t tableId, uint32_t ruleId, uint32_t instance, uint32_t logId,
                                             uint32_t logSequence, const VqbString& data) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    ReposDataAccessStatement* statement = ruleLogStatement_.get();
    if (!statement) return refuse(kSource, __LINE__, VqbString("No business-rule log is open: begin it first"));
    const VqbDatavar values[] = {idValue(tableId), idValue(ruleId),      idValue(instance),
                                 idValue(logId),   idValue(logSequence), VqbDatavar(data)};
    bool ok = true;
    for (int i = 0; ok && i < 6; ++i) ok = statement->setParameter(i, values[i]);
    if (ok && statement->execute()) return true;
    logFailure(kSource, __LINE__, statement->getErrorMessage());
    failRuleLog();
    return false;
} catch (...) {
    failRuleLog();
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::endBusinessRuleLog() try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (ruleLogDepth_ <= 0)
        return refuse(kSource, __LINE__, VqbString("The business-rule log was ended without a begin"));
    if (--ruleLogDepth_ > 0) return true;
    ruleLogStatement_.reset();
    // A failed log was rolled back when it failed.
    if (!ruleLogLevel_.isOpen())
        return refuse(kSource, __LINE__, VqbString("The business-rule log failed; nothing was kept"));
    if (!ruleLogLevel_.end(getConnection(), true)) return logFailure(kSource, __LINE__);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

void ProfileRDAImpl::failRuleLog() {
    ruleLogStatement_.reset();
    ruleLogLevel_.end(getConnection(), false);
}
