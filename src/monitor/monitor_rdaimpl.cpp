#include "monitor_rdaimpl.h"

#include <utility>

#include "objecttypes.h"
#include "repos_announce.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqrepevent.h"

namespace {

// The whole-row reads of this file.
enum Read { JobRules, Jobs, Job, RuleEvents, CustomMetricsNamed, Sources, Source, PropertyTypes, Properties };
const ReposRowRead kReads[] = {
    {"JBRUME", {"JB_ID"}, nullptr}, {"MJOB", {}, nullptr},           {"MJOB", {"JB_ID"}, nullptr},
    {"RULEVT", {"JB_ID"}, nullptr}, {"CUSTM", {"CM_DESC"}, nullptr}, {"EXSRC", {}, nullptr},
    {"EXSRC", {"ES_ID"}, nullptr},  {"EXPRTP", {}, nullptr},         {"EXPROP", {"EX_ID", "RU_ID"}, nullptr},
};

// A task goes with its rules and rule events; it is refused while executions name it.
const ReposDeleteStep kJobDelete[] = {{"JBRUME", "JB_ID"}, {"RULEVT", "JB_ID"}, {"MJOB", "JB_ID"}};

}  // namespace

MonitorRDAImpl::MonitorRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

MonitorRDAImpl::~MonitorRDAImpl() = default;

// ---- shared helpers

VqbDatavar MonitorRDAImpl::now() { return VqbDatavar(VqbDate::currentDate().asDouble()); }

BaseRDAImpl::Sql& MonitorRDAImpl::whereGiven(Sql& sql, const char* column, uint32_t id) {
    return id == kNone ? sql : sql.where(column, idValue(id));
}

bool MonitorRDAImpl::addUnique(int line, const char* table, const char* keyColumn, const VqbString& key,
                               unsigned refusal, Sql insert, uint32_t& newId) {
    uint32_t id = 0;
    const bool added = exclusively(kSource, line, [&] {
        const VqbString count = onTable("SELECT COUNT(*) FROM", table);
        const Lookup taken = lookupCount(kSource, line, Sql(count).where(keyColumn, key));
        if (taken == Lookup::Found) return refuse(kSource, line, vqb_get_message(VQB_MOD_MONITOR, refusal));
        return taken == Lookup::Missing && insertKeyed(kSource, line, table, std::move(insert), 0, id);
    });
    if (added) newId = id;
    return added;
}

bool MonitorRDAImpl::addUnlessPresent(int line, Sql check, Sql insert) {
    return exclusively(kSource, line, [&] {
        const Lookup present = lookupCount(kSource, line, check);
        if (present == Lookup::Found) {
            reposLog(getLogger(), 4, kSource, line, "%s", vqb_get_message(VQB_MOD_MONITOR, 1211).asCstr());
            return true;
        }
        return present == Lookup::Missing && run(kSource, line, insert);
    });
}

// ---- tasks

bool MonitorRDAImpl::addJob(const VqbString& description, const VqbString& code, const VqbString& user, int folderId,
                            const VqbString& comment, const VqbString& display, uint32_t* id) try {
    const VqbDatavar stamp(now());
    uint32_t newId = 0;
    if (!addUnique(__LINE__, "MJOB", "JB_CODE", code, 1085,
                   Sql(onTable("INSERT INTO", "MJOB",
                               " (JB_ID, JB_DESC, JB_CODE, JB_CRDAT, JB_EDDAT, JB_CRUSR, JB_EDUSR, FLDR_ID, JB_COMM, "
                               "JB_DISP) VALUES (?,?,?,?,?,?,?,?,?,?)"),
                       {description, code, stamp, stamp, user, user, folderId, comment, display}),
                   newId))
        return false;
    if (id) *id = newId;
    reposAnnounce(getConnection(), REPOS_CHANGE_CREATE, ReposObjectTypeName::Task, newId, code);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::updateJob(uint32_t jobId, const VqbString& description, const VqbString& code,
                               const VqbString& createdUser, double createdDate, const VqbString& modifiedUser,
                               double modifiedDate, int folderId, const VqbString& comment,
                               const VqbString& display) try {
    if (!run(kSource, __LINE__,
             Sql(onTable("UPDATE", "MJOB",
                         " SET JB_DESC=?, JB_CODE=?, JB_CRDAT=?, JB_EDDAT=?, JB_CRUSR=?, JB_EDUSR=?, FLDR_ID=?, "
                         "JB_COMM=?, JB_DISP=? WHERE JB_ID=?"),
                 {description, code, createdDate, modifiedDate, createdUser, modifiedUser, folderId, comment, display,
                  idValue(jobId)})))
        return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_MODIFY, ReposObjectTypeName::Task, jobId, code);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::deleteJob(uint32_t jobId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    ReposDeleteAnnouncement announcement(this, ReposObjectTypeName::Task, jobId, kSource, __LINE__, "task");
    const bool deleted =
        deleteInSteps(kSource, __LINE__, kJobDelete, sizeof kJobDelete / sizeof kJobDelete[0], idValue(jobId), [&] {
            const Lookup executed = lookupCount(
                kSource, __LINE__, Sql(onTable("SELECT COUNT(*) FROM", "EXEC")).where("JB_ID", idValue(jobId)));
            if (executed == Lookup::Found) return refuse(kSource, __LINE__, vqb_get_message(VQB_MOD_MONITOR, 1088));
            return executed == Lookup::Missing;
        });
    if (!deleted) return false;
    announcement.post();
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::clearJobRules(uint32_t jobId) try {
    return deleteKeyed(kSource, __LINE__, {{"JBRUME", "JB_ID"}, {"RULEVT", "JB_ID"}}, idValue(jobId));
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::listJobs() try {
    return readRows(kSource, __LINE__, kReads[Jobs], {});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MonitorRDAImpl::getJob(uint32_t jobId) try {
    return readRows(kSource, __LINE__, kReads[Job], {idValue(jobId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MonitorRDAImpl::findJob(int id, const VqbString& description, const VqbString& code) try {
    return findByKey(kSource, __LINE__, {"MJOB", "JB_ID", "JB_CODE", "JB_DESC"}, id, description, code);
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- task rules and rule events

bool MonitorRDAImpl::addJobRule(uint32_t jobId, uint32_t ruleId) try {
    return addJobRuleMetric(jobId, ruleId, 1, 1, VqbReal(1.0));
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::addJobRuleMetric(uint32_t jobId, uint32_t ruleId, int dimensionId, int thresholdId,
                                      const VqbReal& weight) try {
    // A rule always names a dimension and a threshold: the defaults unless a real one is given.
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "JBRUME", " (JB_ID, RU_ID, DIM_ID, THR_ID, WGHT) VALUES (?,?,?,?,?)"),
                   {idValue(jobId), idValue(ruleId), dimensionId < 2 ? 1 : dimensionId,
                    thresholdId < 2 ? 1 : thresholdId, weight}));
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::updateJobRuleMetric(uint32_t jobId, uint32_t ruleId, uint32_t dimensionId, uint32_t thresholdId,
                                         const VqbReal& weight) try {
    return run(kSource, __LINE__,
               Sql(onTable("UPDATE", "JBRUME", " SET DIM_ID=?, THR_ID=?, WGHT=? WHERE JB_ID=? AND RU_ID=?"),
                   {idValue(dimensionId), idValue(thresholdId), weight, idValue(jobId), idValue(ruleId)}));
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::listJobRules(uint32_t jobId) try {
    return readRows(kSource, __LINE__, kReads[JobRules], {idValue(jobId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool MonitorRDAImpl::addRuleEvent(uint32_t jobId, uint32_t ruleId, uint32_t sequence, const VqbString& code,
                                  const VqbString& data) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "RULEVT", " (JB_ID, RU_ID, EV_SEQ, EV_CODE, EV_DATA) VALUES (?,?,?,?,?)"),
                   {idValue(jobId), idValue(ruleId), idValue(sequence), code, data}));
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::listRuleEvents(uint32_t jobId) try {
    return readRows(kSource, __LINE__, kReads[RuleEvents], {idValue(jobId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- sources

bool MonitorRDAImpl::addSource(const VqbString& name, const VqbString& uuid, const VqbString& user, int folderId,
                               uint32_t* id) try {
    const VqbDatavar stamp(now());
    uint32_t newId = 0;
    if (!addUnique(__LINE__, "EXSRC", "ES_UUID", uuid, 1085,
                   Sql(onTable("INSERT INTO", "EXSRC",
                               " (ES_ID, ES_NAME, ES_UUID, ES_CRDAT, ES_EDDAT, ES_CRUSR, ES_EDUSR, FLDR_ID) "
                               "VALUES (?,?,?,?,?,?,?,?)"),
                       {name, uuid, stamp, stamp, user, user, folderId}),
                   newId))
        return false;
    if (id) *id = newId;
    reposAnnounce(getConnection(), REPOS_CHANGE_CREATE, ReposObjectTypeName::Source, newId, uuid);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::updateSource(uint32_t sourceId, const VqbString& name, const VqbString& user, int folderId) try {
    // The name is always written; a folder below 1 means "keep it".
    PartialUpdate update = partialUpdate("EXSRC");
    update.set("ES_NAME", name).set("ES_EDDAT", now()).set("ES_EDUSR", user).setIf(folderId >= 1, "FLDR_ID", folderId);
    if (!run(kSource, __LINE__, update.statement().where("ES_ID", idValue(sourceId)))) return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_MODIFY, ReposObjectTypeName::Source, sourceId, VqbString(""));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::deleteSource(uint32_t sourceId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    // Listeners are told before the source goes, whatever the delete then gives.
    reposAnnounce(getConnection(), REPOS_CHANGE_DELETE, ReposObjectTypeName::Source, sourceId, VqbString(""));
    return deleteKeyed(kSource, __LINE__, {{"EXSRC", "ES_ID"}}, idValue(sourceId));
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::listSources() try {
    return readRows(kSource, __LINE__, kReads[Sources], {});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MonitorRDAImpl::getSource(uint32_t sourceId) try {
    return readRows(kSource, __LINE__, kReads[Source], {idValue(sourceId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MonitorRDAImpl::findSource(int id, const VqbString& name, const VqbString& uuid) try {
    return findByKey(kSource, __LINE__, {"EXSRC", "ES_ID", "ES_UUID", "ES_NAME"}, id, name, uuid);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool MonitorRDAImpl::reservedReturnsTrue() { return true; }

// ---- custom metrics

bool MonitorRDAImpl::addCustomMetric(const VqbString& name, const VqbString& preExpression, const VqbString& expression,
                                     const VqbString& postExpression, uint32_t* id) try {
    uint32_t newId = 0;
    if (!insertKeyed(
            kSource, __LINE__, "CUSTM",
            Sql(onTable("INSERT INTO", "CUSTM", " (CM_ID, CM_DESC, CM_PREXP, CM_EXP, CM_POSTXP) VALUES (?,?,?,?,?)"),
                {name, preExpression, expression, postExpression}),
            0, newId))
        return false;
    if (id) *id = newId;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::getCustomMetricByName(const VqbString& name) try {
    return readRows(kSource, __LINE__, kReads[CustomMetricsNamed], {name});
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- execution properties

bool MonitorRDAImpl::addExecPropertyType(const VqbString& name, const VqbString& value) try {
    return addUnlessPresent(
        __LINE__, Sql(onTable("SELECT COUNT(*) FROM", "EXPRTP")).where("PR_NAME", name).where("PR_VALUE", value),
        Sql(onTable("INSERT INTO", "EXPRTP", " (PR_NAME, PR_VALUE) VALUES (?,?)"), {name, value}));
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::setExecProperty(uint32_t executionId, uint32_t ruleId, const VqbString& name,
                                     const VqbString& value, bool unchecked) try {
    return exclusively(kSource, __LINE__, [&] {
        if (!unchecked) {
            const Lookup allowed = lookupCount(
                kSource, __LINE__,
                Sql(onTable("SELECT COUNT(*) FROM", "EXPRTP")).where("PR_NAME", name).where("PR_VALUE", value));
            if (allowed == Lookup::Missing)
                return refuse(kSource, __LINE__, vqb_get_message(VQB_MOD_MONITOR, 1663, value.asCstr()));
            if (allowed == Lookup::Failed) return false;
        }
        const VqbDatavar execution(idValue(executionId)), rule(idValue(ruleId));
        const Lookup set = lookupCount(kSource, __LINE__,
                                       Sql(onTable("SELECT COUNT(*) FROM", "EXPROP"))
                                           .where("EX_ID", execution)
                                           .where("RU_ID", rule)
                                           .where("PR_NAME", name));
        if (set == Lookup::Failed) return false;
        if (set == Lookup::Found)
            return run(kSource, __LINE__,
                       Sql(onTable("UPDATE", "EXPROP", " SET PR_VALUE=?"), {value})
                           .where("EX_ID", execution)
                           .where("RU_ID", rule)
                           .where("PR_NAME", name));
        return run(kSource, __LINE__,
                   Sql(onTable("INSERT INTO", "EXPROP", " (EX_ID, RU_ID, PR_NAME, PR_VALUE) VALUES (?,?,?,?)"),
                       {execution, rule, name, value}));
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::deleteExecProperty(uint32_t executionId, uint32_t ruleId, const VqbString& name) try {
    return run(kSource, __LINE__,
               Sql(onTable("DELETE FROM", "EXPROP"))
                   .where("PR_NAME", name)
                   .where("EX_ID", idValue(executionId))
                   .where("RU_ID", idValue(ruleId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::deleteExecPropertyType(const VqbString& name, const VqbString& value) try {
    return run(kSource, __LINE__,
               Sql(onTable("DELETE FROM", "EXPRTP")).where("PR_NAME", name).where("PR_VALUE", value));
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::listExecPropertyTypes() try {
    return readRows(kSource, __LINE__, kReads[PropertyTypes], {});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MonitorRDAImpl::listExecProperties(uint32_t executionId, uint32_t ruleId) try {
    return readRows(kSource, __LINE__, kReads[Properties], {idValue(executionId), idValue(ruleId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}
