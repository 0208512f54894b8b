// Monitor fields, the fields of rules, custom metrics with their fields and field maps, note
// categories.
#include "common_rdaimpl.h"

#include "objecttypes.h"
#include "repos_announce.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqbutil.h"
#include "vqrepevent.h"

// ---- monitor fields and the fields of rules

bool CommonRDAImpl::addMonitorField(const VqbString& name, const VqbString& description) {
    VqbDatavar vName(name), vDescription(description);
    Lookup taken = lookupCount(__LINE__, statement("SELECT COUNT(*) FROM", "MFLD", " WHERE FI_NAME=?"), &vName);
    if (taken == Lookup::Found) return refuse(__LINE__, vqb_get_message(VQB_MOD_MONADMIN, 924));
    if (taken == Lookup::Failed) return false;
    return execute(kSource, __LINE__, statement("INSERT INTO", "MFLD", " (FI_NAME, FI_DESC) VALUES (?,?)"), nullptr,
                   &vName, &vDescription);
}

ReposDataAccessCursor* CommonRDAImpl::listMonitorFields(const VqbString& name) {
    VqbString sql = selectAll("MFLD");
    if (!present(name)) return selectRows(kSource, __LINE__, sql);
    VqbDatavar vName(name);
    sql.append(" WHERE FI_NAME=?");
    return selectRows(kSource, __LINE__, sql, &vName);
}

ReposDataAccessCursor* CommonRDAImpl::listRuleFields(unsigned int ruleId) {
    VqbDatavar vRule(ruleId);
    return selectRows(kSource, __LINE__,
                      VqbString::format("SELECT A.FI_NAME, A.FI_DESC, B.RF_SEQ FROM %s A INNER JOIN %s B ON "
                                        "A.FI_NAME=B.FI_NAME WHERE B.RU_ID=? ORDER BY B.RF_SEQ",
                                        tableName("MFLD").asCstr(), tableName("RUFIME").asCstr()),
                      &vRule);
}

bool CommonRDAImpl::addRuleField(unsigned int ruleId, const VqbString& fieldName, const VqbString& description) {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (!present(fieldName)) return false;
    VqbDatavar vRule(ruleId), vField(fieldName);
    Lookup known = lookupCount(__LINE__, statement("SELECT COUNT(*) FROM", "MFLD", " WHERE FI_NAME=?"), &vField);
    if (known == Lookup::Failed) return false;
    if (known == Lookup::Missing && !addMonitorField(fieldName, description)) return false;
    Lookup member = lookupCount(
        __LINE__, statement("SELECT COUNT(*) FROM", "RUFIME", " WHERE RU_ID=? AND FI_NAME=?"), &vRule, &vField);
    if (member != Lookup::Missing) return member == Lookup::Found;

    // Sequences are unique over the whole table, so the read and the insert share one transaction.
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    int64_t top = 0;
    if (lookupInt(__LINE__, statement("SELECT COALESCE(MAX(RF_SEQ), 0) FROM", "RUFIME", ""), top) != Lookup::Found)
        return false;
    VqbDatavar vSeq(top + 1);
    if (!execute(kSource, __LINE__, statement("INSERT INTO", "RUFIME", " (RU_ID, FI_NAME, RF_SEQ) VALUES (?,?,?)"),
                 nullptr, &vRule, &vField, &vSeq))
        return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    return true;
}

// ---- custom metrics

unsigned int CommonRDAImpl::addCustomMetric(const VqbString& name, const VqbString& preExpression,
                                            const VqbString& expression, const VqbString& postExpression) {
    if (!checkConnection(kSource, __LINE__)) return kNone;
    VqbString uuid;
    vqbGetUUID(uuid);
    VqbDatavar vName(name), vPre(preExpression), vExpression(expression), vPost(postExpression), vUuid(uuid);
    Lookup taken = lookupCount(__LINE__, statement("SELECT COUNT(*) FROM", "CUSTM", " WHERE CM_DESC=?"), &vName);
    if (taken == Lookup::Found) refuse(__LINE__, vqb_get_message(VQB_MOD_MONADMIN, 1356));
    if (taken != Lookup::Missing) return kNone;
    return insertWithNewId(
        __LINE__, "CUSTM",
        statement("INSERT INTO", "CUSTM",
                  " (CM_ID, CM_DESC, CM_PREXP, CM_EXP, CM_POSTXP, CM_UUID) VALUES (?,?,?,?,?,?)"),
        &vName, &vPre, &vExpression, &vPost, &vUuid);
}

bool CommonRDAImpl::addCustomMetricField(unsigned int cmId, const VqbString& fieldName, const VqbString& type) {
    VqbDatavar vMetric(cmId), vField(fieldName), vType(type);
    Lookup taken = lookupCount(
        __LINE__, statement("SELECT COUNT(*) FROM", "CMFLD", " WHERE CM_ID=? AND CM_FLDNM=? AND CM_TYPE=?"),
        &vMetric, &vField, &vType);
    if (taken == Lookup::Found) return refuse(__LINE__, vqb_get_message(VQB_MOD_MONADMIN, 1356));
    if (taken == Lookup::Failed) return false;
    return execute(kSource, __LINE__,
                   statement("INSERT INTO", "CMFLD", " (CM_ID, CM_FLDNM, CM_TYPE) VALUES (?,?,?)"), nullptr,
                   &vMetric, &vField, &vType);
}

bool CommonRDAImpl::addCustomMetricFieldMap(unsigned int ruleId, unsigned int cmId, unsigned int seq,
                                            const VqbString& fieldName, const VqbString& metricFieldName,
                                            const VqbString& type) {
    VqbDatavar vRule(ruleId), vMetric(cmId), vSeq(seq), vField(fieldName), vMetricField(metricFieldName),
        vType(type);
    return execute(kSource, __LINE__,
                   statement("INSERT INTO", "CMFMAP",
                             " (RU_ID, CM_ID, RM_SEQ, FI_NAME, CM_FLDNM, CM_TYPE) VALUES (?,?,?,?,?,?)"),
                   nullptr, &vRule, &vMetric, &vSeq, &vField, &vMetricField, &vType);
}

bool CommonRDAImpl::addRuleCustomMetric(unsigned int ruleId, unsigned int cmId, unsigned int seq) {
    VqbDatavar vRule(ruleId), vMetric(cmId), vSeq(seq);
    Lookup taken = lookupCount(
        __LINE__, statement("SELECT COUNT(*) FROM", "RUCMME", " WHERE CM_ID=? AND RU_ID=?"), &vMetric, &vRule);
    if (taken == Lookup::Found) return refuse(__LINE__, vqb_get_message(VQB_MOD_MONADMIN, 1356));
    if (taken == Lookup::Failed) return false;
    return execute(kSource, __LINE__, statement("INSERT INTO", "RUCMME", " (CM_ID, RM_SEQ, RU_ID) VALUES (?,?,?)"),
                   nullptr, &vMetric, &vSeq, &vRule);
}

bool CommonRDAImpl::clearCustomMetric() {
    if (!checkConnection(kSource, __LINE__)) return false;
    reposLog(getLogger(), 2, kSource, __LINE__,
             "clearCustomMetric has no implementation yet.  Unsure of what to clear here!");
    return true;
}

ReposDataAccessCursor* CommonRDAImpl::listRuleCustomMetrics(unsigned int ruleId) {
    VqbDatavar vRule(ruleId);
    return selectRows(kSource, __LINE__,
                      VqbString::format("SELECT A.CM_ID, A.CM_DESC, A.CM_PREXP, A.CM_EXP, A.CM_POSTXP, B.RM_SEQ "
                                        "FROM %s A INNER JOIN %s B ON A.CM_ID=B.CM_ID WHERE B.RU_ID=? "
                                        "ORDER BY A.CM_DESC",
                                        tableName("CUSTM").asCstr(), tableName("RUCMME").asCstr()),
                      &vRule);
}

ReposDataAccessCursor* CommonRDAImpl::listCustomMetricFields(int cmId) {
    if (cmId < 0) return nullptr;
    VqbDatavar vMetric(cmId);
    return selectRows(kSource, __LINE__,
                      statement("SELECT CM_FLDNM, CM_TYPE FROM", "CMFLD", " WHERE CM_ID=? ORDER BY CM_FLDNM"),
                      &vMetric);
}

ReposDataAccessCursor* CommonRDAImpl::listCustomMetricFieldMaps(unsigned int ruleId, int cmId) {
    if (cmId < 0) return nullptr;
    VqbDatavar vMetric(cmId), vRule(ruleId);
    return selectRows(kSource, __LINE__, selectAll("CMFMAP") + " WHERE CM_ID=? AND RU_ID=? ORDER BY CM_FLDNM",
                      &vMetric, &vRule);
}

ReposDataAccessCursor* CommonRDAImpl::listCustomMetrics(const VqbString& name) {
    VqbString sql = selectAll("CUSTM");
    if (!present(name)) return selectRows(kSource, __LINE__, sql);
    VqbDatavar vName(name);
    sql.append(" WHERE CM_DESC=?");
    return selectRows(kSource, __LINE__, sql, &vName);
}

ReposDataAccessCursor* CommonRDAImpl::findCustomMetric(int id, const VqbString& name, const VqbString& uuid) {
    return findByKey(__LINE__, {"CUSTM", "CM_ID", "CM_UUID", "CM_DESC"}, id, name, uuid);
}

bool CommonRDAImpl::deleteCustomMetric(unsigned int cmId) {
    return deleteInTransaction(
        __LINE__, {{"CMFMAP", "CM_ID"}, {"RUCMME", "CM_ID"}, {"CMFLD", "CM_ID"}, {"CUSTM", "CM_ID"}},
        VqbDatavar(cmId));
}

bool CommonRDAImpl::updateCustomMetric(unsigned int cmId, const VqbString& name, const VqbString& preExpression,
                                       const VqbString& expression, const VqbString& postExpression,
                                       const VqbString& uuid) {
    VqbDatavar vName(name), vPre(preExpression), vExpression(expression), vPost(postExpression), vUuid(uuid),
        vId(cmId);
    if (!execute(kSource, __LINE__,
                 statement("UPDATE", "CUSTM",
                           " SET CM_DESC=?, CM_PREXP=?, CM_EXP=?, CM_POSTXP=?, CM_UUID=? WHERE CM_ID=?"),
                 nullptr, &vName, &vPre, &vExpression, &vPost, &vUuid, &vId))
        return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_MODIFY, ReposObjectTypeName::CustomMetric, cmId, uuid);
    return true;
}

// ---- note categories

bool CommonRDAImpl::addNoteCategory(const VqbString& description, unsigned int* id) {
    VqbDatavar vDescription(description);
    unsigned int added = insertWithNewId(
        __LINE__, "NOTCAT", statement("INSERT INTO", "NOTCAT", " (NCAT_ID, NCAT_DSC) VALUES (?,?)"), &vDescription);
    if (added == kNone) return false;
    if (id) *id = added;
    return true;
}

ReposDataAccessCursor* CommonRDAImpl::listNoteCategories() {
    return selectRows(kSource, __LINE__, statement("SELECT NCAT_ID, NCAT_DSC FROM", "NOTCAT", ""));
}

bool CommonRDAImpl::deleteNoteCategory(unsigned int id) {
    VqbDatavar vId(id);
    return execute(kSource, __LINE__, statement("DELETE FROM", "NOTCAT", " WHERE NCAT_ID=?"), nullptr, &vId);
}

bool CommonRDAImpl::updateNoteCategory(unsigned int id, const VqbString& description) {
    VqbDatavar vDescription(description), vId(id);
    return execute(kSource, __LINE__, statement("UPDATE", "NOTCAT", " SET NCAT_DSC=? WHERE NCAT_ID=?"), nullptr,
                   &vDescription, &vId);
}
