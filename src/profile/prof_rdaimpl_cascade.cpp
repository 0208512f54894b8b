// Deleting the runs of a report with every row that hangs on them, and whole job setups.
#include <algorithm>
#include <map>
#include <string>

#include "objecttypes.h"
#include "prof_rdaimpl.h"
#include "repos_announce.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

// One table of the cascade: its rows go by the ids of parent; own (when set) is collected first, for
// the tables below that hang on it. Parents come before their children.
struct CascadeStep {
    const char* table;
    const char* own;
    const char* parent;
    const char* rangedParent = nullptr;  // the parent when only some runs go
};
const CascadeStep kJobCascade[] = {
    {"JOB", nullptr, "JOB_ID"},      {"JOBCFG", nullptr, "JOB_ID"},  {"RDACFG", nullptr, "JOB_ID"},
    {"FLDRDA", nullptr, "JOB_ID"},   {"RDARES", nullptr, "JOB_ID"},  {"ALERT", "AL_ID", "JOB_ID"},
    {"ALPROP", nullptr, "AL_ID"},    {"DSN", "DSN_ID", "JOB_ID"},    {"TBL", "TBL_ID", "DSN_ID"},
    {"TBLNOT", nullptr, "TBL_ID"},   {"EXELOG", nullptr, "TBL_ID"},  {"PBROUT", nullptr, "TBL_ID"},
    {"PBRLOG", nullptr, "TBL_ID"},   {"PCMOUT", "CM_ID", "TBL_ID"},  {"FLD", "FLD_ID", "TBL_ID"},
    {"FLDPRP", nullptr, "FLD_ID"},   {"PATDST", nullptr, "FLD_ID"},  {"PTILE", nullptr, "FLD_ID"},
    {"FLDNOT", nullptr, "FLD_ID"},   {"MCDIST", nullptr, "FLD_ID"},  {"PKFK", nullptr, "FLD_ID"},
    {"OUTLR", nullptr, "FLD_ID"},    {"REDUN2", nullptr, "FLD_ID"},  {"FLDRDA", nullptr, "FLD_ID"},
    {"FRQDST", nullptr, "FLD_ID"},   {"FLDGCM", nullptr, "FLD_ID"},
    // The charts of the runs that stay are kept.
    {"CHT", "CH_ID", "RPT_ID", "JOB_ID"},
    {"CHTDAT", nullptr, "CH_ID"},    {"CHTTAB", nullptr, "CH_ID"},   {"CHTCAT", nullptr, "CH_ID"},
};

}  // namespace

bool ProfileRDAImpl::deleteJobsCascade(uint32_t reportId, const std::vector<uint32_t>& runIds, bool ranged) {
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    std::map<std::string, std::vector<uint32_t>> ids{{"JOB_ID", runIds}, {"DSN_ID", {}}, {"TBL_ID", {}},
                                                     {"AL_ID", {}},      {"FLD_ID", {}}, {"RPT_ID", {reportId}},
                                                     {"CH_ID", {}},      {"DOM_ID", {}}, {"RDACFGID", {}},
                                                     {"CM_ID", {}}};
    for (const CascadeStep& step : kJobCascade) {
        const char* parent = ranged && step.rangedParent ? step.rangedParent : step.parent;
        auto keys = ids.find(parent);
        auto owned = step.own ? ids.find(step.own) : ids.end();
        if (keys == ids.end() || (step.own && owned == ids.end()))
            return refuse(kSource, __LINE__, reposMessage(1157));
        const std::vector<uint32_t> parents = keys->second;  // a copy: own may grow the same map
        for (size_t from = 0; from < parents.size(); from += kIdsPerList) {
            const size_t count = std::min(kIdsPerList, parents.size() - from);
            Sql remove(onTable("DELETE FROM", step.table));
            remove.whereIn(parent, &parents[from], count);
            // Prepared: the values are declared one by one, as many as a chunk holds.
            if (step.own) {
                Sql collect(onTable(VqbString::format("SELECT %s FROM", step.own).asCstr(), step.table));
                collect.whereIn(parent, &parents[from], count);
                ReposHeld<ReposDataAccessCursor> rows(selectPrepared(kSource, __LINE__, collect, {}));
                if (!rows) return false;
                while (rows->next() == 1) owned->second.push_back(static_cast<uint32_t>(rows->getValue(0).asInt64()));
            }
            if (!runPrepared(kSource, __LINE__, remove, {})) return false;
        }
    }
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    return true;
}

void ProfileRDAImpl::dropFieldFrequencyTables(const std::vector<uint32_t>& fieldIds) {
    ReposDataAccess* db = getConnection();
    for (uint32_t fieldId : fieldIds) {
        // Base names: the connection qualifies them itself.
        const VqbString name = VqbString::format("FRQDST%u", fieldId);
        ColumnSpecList columns;
        if (db->getTableColumns(name, &columns) <= 0) continue;
        if (!db->dropTable(name)) logFailure(kSource, __LINE__);
    }
}

std::vector<uint32_t> ProfileRDAImpl::fieldsOfRuns(const std::vector<uint32_t>& runIds) {
    // Many runs to a statement; each run's fields are then listed in the order of the runs.
    std::map<uint32_t, std::vector<uint32_t>> byRun;
    for (size_t from = 0; from < runIds.size(); from += kIdsPerList) {
        Sql sql(onTables("SELECT a.JOB_ID, b.FLD_ID FROM %s a, %s b WHERE a.DSN_ID=b.DSN_ID", {"DSN", "FLD"}));
        sql.whereOpen().whereIn("a.JOB_ID", &runIds[from], std::min(kIdsPerList, runIds.size() - from));
        // Runs whose fields cannot be read keep their tables.
        ReposHeld<ReposDataAccessCursor> rows(selectPrepared(kSource, __LINE__, sql, {}));
        while (rows && rows->next() == 1)
            byRun[static_cast<uint32_t>(rows->getValue(0).asInt64())].push_back(
                static_cast<uint32_t>(rows->getValue(1).asInt64()));
    }
    std::vector<uint32_t> fieldIds;
    for (uint32_t runId : runIds) {
        auto found = byRun.find(runId);
        if (found != byRun.end()) fieldIds.insert(fieldIds.end(), found->second.begin(), found->second.end());
    }
    return fieldIds;
}

bool ProfileRDAImpl::deleteReportJobs(uint32_t lowestRunId, uint32_t highestRunId, uint32_t reportId,
                                      bool deleteReport) try {
    if (reportId == kNone) return false;
    if (!checkConnection(kSource, __LINE__)) return false;
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    Sql runs(onTable("SELECT JOB_ID FROM", "JOB"));
    runs.where("RPT_ID", idValue(reportId));
    if (lowestRunId != kNone) runs.condition("JOB_ID>=?").bind(idValue(lowestRunId));
    if (highestRunId != kNone) runs.condition("JOB_ID<=?").bind(idValue(highestRunId));
    ReposHeld<ReposDataAccessCursor> runRows(select(kSource, __LINE__, runs));
    if (!runRows) return false;
    std::vector<uint32_t> runIds, perFieldRuns;
    const VqbString sameTable = onTable("SELECT JC_VALUE FROM", "JOBCFG", " WHERE JOB_ID=? AND JC_KEY=?");
    while (runRows->next() == 1) {
        const uint32_t runId = static_cast<uint32_t>(runRows->getValue(0).asInt64());
        // Without the setting a run wrote a table per field.
        int64_t shared = -1;
        lookupInt(kSource, __LINE__, Sql(sameTable, {idValue(runId), "SAME_FREQ_TABLE"}), shared);
        if (shared < 1) perFieldRuns.push_back(runId);
        runIds.push_back(runId);
    }
    runRows.reset();
    const std::vector<uint32_t> fieldIds = fieldsOfRuns(perFieldRuns);
    const bool ranged = lowestRunId != kNone || highestRunId != kNone;
    if (!deleteJobsCascade(reportId, runIds, ranged)) return false;
    if (deleteReport &&
        !run(kSource, __LINE__, Sql(onTable("DELETE FROM", "REPORT", " WHERE RPT_ID=?"), {idValue(reportId)})))
        return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    // Inside a caller's level the drops join its transaction, so its end decides for them too.
    dropFieldFrequencyTables(fieldIds);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deleteJobSetup(uint32_t setupId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    ReposDeleteAnnouncement announcement(this, ReposObjectTypeName::ProfileJob, setupId, kSource, __LINE__, "profile");
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    if (!clearJobSetup(setupId)) return false;
    if (!run(kSource, __LINE__, Sql(onTable("DELETE FROM", "JSETUP", " WHERE SU_ID=?"), {idValue(setupId)})))
        return false;
    std::vector<uint32_t> reportIds;
    {
        ReposHeld<ReposDataAccessCursor> reports(
            select(kSource, __LINE__, Sql(onTable("SELECT RPT_ID FROM", "REPORT", " WHERE SU_ID=?"), {idValue(setupId)})));
        if (!reports) return false;
        while (reports->next() == 1) reportIds.push_back(static_cast<uint32_t>(reports->getValue(0).asInt64()));
    }
    // Every report of the setup goes with its runs, or none does.
    for (uint32_t reportId : reportIds)
        if (!deleteReportJobs(kNone, kNone, reportId, true)) return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    announcement.post();
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
