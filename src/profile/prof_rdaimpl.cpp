// The profiling data access: the object, and the results of profile runs down to their tables
// (reports, runs with their settings, data sources, tables and the execution log).
#include "prof_rdaimpl.h"

#include "rda_impl.h"
#include "reposlog.h"

namespace {

// The whole-row reads of reports, data sources and tables.
const ReposRowRead kReportsOfSetup{"REPORT", {"SU_ID"}, nullptr};
const ReposRowRead kReport{"REPORT", {"RPT_ID"}, nullptr};
const ReposRowRead kReportsInFolder{"REPORT", {"FLDR_ID"}, nullptr};
const ReposRowRead kDataSource{"DSN", {"DSN_ID"}, nullptr};
const ReposRowRead kTable{"TBL", {"TBL_ID"}, nullptr};
const ReposRowRead kTablesOfSource{"TBL", {"DSN_ID"}, "TBL_SCH, TBL_NM"};


}  // namespace

ProfileRDAImpl::ProfileRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

ProfileRDAImpl::~ProfileRDAImpl() = default;


// ---- adding

bool ProfileRDAImpl::addReport(uint32_t setupId, uint32_t folderId, const VqbString& name, double date,
                               const VqbString& user, uint32_t* id) try {
    return insertKeyed(kSource, __LINE__, "REPORT",
                       Sql(onTable("INSERT INTO", "REPORT",
                                   " (RPT_ID, FLDR_ID, RPT_NAME, RPT_CRDT, RPT_MODT, RPT_USER, SU_ID) "
                                   "VALUES (?,?,?,?,?,?,?)"),
                           {idValue(folderId), name, date, date, user, idValue(setupId)}),
                       0, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addJob(const VqbString& description, double runDate, uint32_t reportId, uint32_t* id) try {
    return insertKeyed(kSource, __LINE__, "JOB",
                       Sql(onTable("INSERT INTO", "JOB", " (JOB_ID, JOB_DATE, JOB_DESC, RPT_ID) VALUES (?,?,?,?)"),
                           {runDate, description, idValue(reportId)}),
                       0, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addExecutionLog(uint32_t dataSourceId, uint32_t tableId, const VqbString& task,
                                     const VqbString& status, int seconds, const VqbString& message) try {
    return insertKeyed(kSource, __LINE__, "EXELOG",
                       Sql(onTable("INSERT INTO", "EXELOG",
                                   " (EL_ID, DSN_ID, TBL_ID, EL_TASK, EL_STAT, EL_SECS, EL_MSG) VALUES (?,?,?,?,?,?,?)"),
                           {idValue(dataSourceId), idValue(tableId), task, status, seconds, message}),
                       0, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addJobConfigValue(uint32_t runId, const VqbString& key, const VqbString& value) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "JOBCFG", " (JOB_ID, JC_KEY, JC_VALUE) VALUES (?,?,?)"),
                   {idValue(runId), key, value}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addDataSource(uint32_t runId, const VqbString& name, const VqbString& connectString,
                                   const VqbString& sourceKind, uint32_t* id) try {
    return insertKeyed(
        kSource, __LINE__, "DSN",
        Sql(onTable("INSERT INTO", "DSN", " (DSN_ID, DSN_NAME, DSN_CONN, JOB_ID, DSN_TF) VALUES (?,?,?,?,?)"),
            {name, connectString, idValue(runId), sourceKind}),
        0, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addTable(uint32_t dataSourceId, const VqbString& catalog, const VqbString& schema,
                              const VqbString& tableName, const VqbString& filterName,
                              const VqbString& filterExpression, const VqbString& filterSql, int sampleInterval,
                              const VqbString& decisionTreeKey, uint32_t* id) try {
    return insertKeyed(kSource, __LINE__, "TBL",
                       Sql(onTable("INSERT INTO", "TBL",
                                   " (TBL_ID, DSN_ID, TBL_CAT, TBL_SCH, TBL_NM, TBL_FILT, TBL_FEXP, TBL_FSQL, "
                                   "TBL_SINT, DEC_TREE) VALUES (?,?,?,?,?,?,?,?,?,?)"),
                           {idValue(dataSourceId), catalog, schema, tableName, filterName, filterExpression,
                            filterSql, sampleInterval, decisionTreeKey}),
                       0, id);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- reading

ReposDataAccessCursor* ProfileRDAImpl::listReportsOfJobSetup(uint32_t setupId) try {
    return readRows(kSource, __LINE__, kReportsOfSetup, {idValue(setupId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listUnassignedReports() try {
    return select(kSource, __LINE__, Sql(rowSelect("REPORT")).condition("(SU_ID=-1 OR SU_ID IS NULL)"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getReport(uint32_t reportId) try {
    return readRows(kSource, __LINE__, kReport, {idValue(reportId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listReportsInFolder(uint32_t folderId) try {
    return readRows(kSource, __LINE__, kReportsInFolder, {idValue(folderId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

uint32_t ProfileRDAImpl::getJobCount(uint32_t reportId) try {
    int64_t count = 0;
    if (lookupInt(kSource, __LINE__, Sql(onTable("SELECT COUNT(*) FROM", "JOB")).where("RPT_ID", idValue(reportId)),
                  count) != Lookup::Found)
        return kNone;
    return static_cast<uint32_t>(count);
} catch (...) {
    return caught(__LINE__, kNone);
}

ReposDataAccessCursor* ProfileRDAImpl::listJobs(uint32_t reportId, uint32_t setupId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    if (reportId == kNone && setupId == kNone) {
        refuse(kSource, __LINE__, "Must have a report job id or a profile configuration id.");
        return nullptr;
    }
    Sql sql(onTables("SELECT a.JOB_ID, a.JOB_DATE, a.JOB_DESC FROM %s a, %s b", {"JOB", "REPORT"}));
    sql.condition("a.RPT_ID=b.RPT_ID");
    if (reportId != kNone) sql.where("b.RPT_ID", idValue(reportId));
    if (setupId != kNone) sql.where("b.SU_ID", idValue(setupId));
    return select(kSource, __LINE__, sql.append(" ORDER BY a.JOB_ID DESC"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listExecutionLog(uint32_t runId) try {
    return select(kSource, __LINE__,
                  Sql(onTables("SELECT D.DSN_NAME, T.TBL_CAT, T.TBL_SCH, T.TBL_NM, T.TBL_FILT, E.EL_TASK, E.EL_STAT, "
                               "E.EL_SECS, E.EL_MSG FROM %s E, %s D, %s T WHERE E.TBL_ID=T.TBL_ID AND "
                               "E.DSN_ID=D.DSN_ID AND D.JOB_ID=? ORDER BY E.EL_ID",
                               {"EXELOG", "DSN", "TBL"}),
                      {idValue(runId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getJobConfigValue(uint32_t runId, const VqbString& key) try {
    return select(kSource, __LINE__,
                  Sql(onTable("SELECT JC_VALUE FROM", "JOBCFG", " WHERE JOB_ID=? AND JC_KEY=?"), {idValue(runId), key}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listJobsOfTable(const VqbString& dataSourceName, const VqbString& catalog,
                                                       const VqbString& schema, const VqbString& tableName) try {
    return jobsOfSources(__LINE__, "SELECT DISTINCT a.*, d.* ", {&dataSourceName, &catalog, &schema, &tableName},
                         "a.JOB_DATE DESC");
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listJobsOfSources(const VqbString* dataSourceName, const VqbString* catalog,
                                                         const VqbString* schema, const VqbString* tableName) try {
    return jobsOfSources(__LINE__, "SELECT DISTINCT b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.*, d.* ",
                         {dataSourceName, catalog, schema, tableName},
                         "b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.JOB_DATE DESC");
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::jobsOfSources(int line, const char* columns, const SourceNames& names,
                                                     const char* orderBy) {
    static const char* const kColumns[] = {"b.DSN_NAME", "c.TBL_CAT", "c.TBL_SCH", "c.TBL_NM"};
    VqbString text(columns);
    text.append(onTables("FROM %s a, %s b, %s c, %s d", {"JOB", "DSN", "TBL", "REPORT"}));
    Sql sql(text);
    sql.condition("a.JOB_ID=b.JOB_ID AND b.DSN_ID=c.DSN_ID AND d.RPT_ID=a.RPT_ID");
    // A name left out (null) drops its condition; an empty one matches only ''.
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i]) sql.where(kColumns[i], VqbDatavar(*names[i]));
    return select(kSource, line, sql.append(" ORDER BY ").append(orderBy));
}

ReposDataAccessCursor* ProfileRDAImpl::listDataSources(uint32_t runId) try {
    return select(kSource, __LINE__,
                  Sql(onTable("SELECT DSN_ID, DSN_NAME, DSN_CONN, DSN_TF FROM", "DSN", " WHERE JOB_ID=?"),
                      {idValue(runId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getDataSource(uint32_t dataSourceId) try {
    return readRows(kSource, __LINE__, kDataSource, {idValue(dataSourceId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listTables(uint32_t runId, uint32_t dataSourceId) try {
    if (dataSourceId != kNone) return readRows(kSource, __LINE__, kTablesOfSource, {idValue(dataSourceId)});
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    VqbString text("SELECT ");
    text.append(getConnection()->getColumnList(VqbString("TBL"), "A"));
    text.append(onTables(" FROM %s A, %s B WHERE A.DSN_ID=B.DSN_ID AND B.JOB_ID=? ORDER BY A.TBL_SCH, A.TBL_NM",
                         {"TBL", "DSN"}));
    return select(kSource, __LINE__, Sql(text, {idValue(runId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getTable(uint32_t tableId) try {
    return readRows(kSource, __LINE__, kTable, {idValue(tableId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- updating

bool ProfileRDAImpl::updateReport(uint32_t reportId, uint32_t folderId, const VqbString& name,
                                  const VqbString& user, uint32_t setupId) try {
    Sql sql(onTable("UPDATE", "REPORT", " SET RPT_MODT=?"), {VqbDate::currentDate().asDouble()});
    // Not given (none, or an empty text) keeps the stored value.
    if (folderId != kNone) sql.append(", FLDR_ID=?").bind(idValue(folderId));
    if (!name.isEmpty()) sql.append(", RPT_NAME=?").bind(name);
    if (!user.isEmpty()) sql.append(", RPT_USER=?").bind(user);
    if (setupId != kNone) sql.append(", SU_ID=?").bind(idValue(setupId));
    return run(kSource, __LINE__, sql.where("RPT_ID", idValue(reportId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::updateTableRowCounts(uint32_t tableId, int totalRows, int filteredRows) try {
    return run(kSource, __LINE__,
               Sql(onTable("UPDATE", "TBL", " SET TBL_TROW=?, TBL_TFLT=? WHERE TBL_ID=?"),
                   {totalRows, filteredRows, idValue(tableId)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::setTableDecisionTree(uint32_t tableId, const VqbString& decisionTreeKey) try {
    return run(kSource, __LINE__,
               Sql(onTable("UPDATE", "TBL", " SET DEC_TREE=? WHERE TBL_ID=?"), {decisionTreeKey, idValue(tableId)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::WriterLevel::open(ReposDataAccess* connection) {
    // A begin that failed counted no level (the connection keeps its depth), so none is ended.
    if (!open_) open_ = connection && RDA_BaseImpl::beginWriteLevel(connection, false, nullptr);
    return open_;
}

bool ProfileRDAImpl::WriterLevel::end(ReposDataAccess* connection, bool commit) {
    if (!open_) return true;
    open_ = false;
    return connection && connection->endTransaction(commit);
}

void ProfileRDAImpl::release() {
    closeWritersAtRelease();
    ruleLogStatement_.reset();
    if (ruleLogLevel_.isOpen()) {
        reposLog(getLogger(), 4, kSource, __LINE__,
                 "The business-rule log was still open at release; its rows are dropped");
        ruleLogLevel_.end(getConnection(), false);
    }
    BaseRDAImpl::release();
}
