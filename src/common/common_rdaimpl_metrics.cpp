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

bool CommonRDAImpl::addMonitorField(const VqbString& name, const VqbString& description) try {
    return exclusively(kSource, __LINE__, [&] {
        Lookup taken =
            lookupCount(kSource, __LINE__, Sql(onTable("SELECT COUNT(*) FROM", "MFLD", " WHERE FI_NAME=?"), {name}));
        if (taken == Lookup::Found) return refuse(kSource, __LINE__, vqb_get_message(VQB_MOD_MONADMIN, 924));
        if (taken == Lookup::Failed) return false;
        return run(kSource, __LINE__,
                   Sql(onTable("INSERT INTO", "MFLD", " (FI_NAME, FI_DESC) VALUES (?,?)"), {name, description}));
    });
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* CommonRDAImpl::listMonitorFields(const VqbString& name) try {
    return select(kSource, __LINE__, Sql(rowSelect("MFLD")).whereText("FI_NAME", name));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool CommonRDAImpl::findMonitorFields(const std::vector<VqbString>& names,
                                      std::unordered_set<std::string>& found) try {
    std::unordered_set<std::string> asked;
    std::vector<VqbDatavar> keys;
    for (const VqbString& name : names)
        if (asked.insert(name.str()).second) keys.emplace_back(VqbString(name.str()));
    // A name is taken as the table holds it: a back end that matched another spelling adds nothing
    // the caller asks for.
    return selectIn(kSource, __LINE__, onTable("SELECT FI_NAME FROM", "MFLD", " WHERE FI_NAME IN "), keys,
                    [&](ReposDataAccessCursor* rows) {
                        while (rows->next() == 1) found.insert(rows->getString(0).str());
                        return true;
                    });
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* CommonRDAImpl::listRuleFields(unsigned int ruleId) try {
    VqbDatavar vRule(ruleId);
    return selectRows(kSource, __LINE__,
                      VqbString::format("SELECT A.FI_NAME, A.FI_DESC, B.RF_SEQ FROM %s A INNER JOIN %s B ON "
                                        "A.FI_NAME=B.FI_NAME WHERE B.RU_ID=? ORDER BY B.RF_SEQ",
                                        tableName("MFLD").asCstr(), tableName("RUFIME").asCstr()),
                      &vRule);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool CommonRDAImpl::addRuleField(unsigned int ruleId, const VqbString& fieldName, const VqbString& description) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (!present(fieldName)) return false;
    // Sequences are unique over the whole table, so the read of the largest and the insert are one
    // step with the membership check.
    return exclusively(kSource, __LINE__, [&] {
        Lookup known = lookupCount(kSource, __LINE__,
                                   Sql(onTable("SELECT COUNT(*) FROM", "MFLD", " WHERE FI_NAME=?"), {fieldName}));
        if (known == Lookup::Failed) return false;
        if (known == Lookup::Missing && !addMonitorField(fieldName, description)) return false;
        Lookup member = lookupCount(
            kSource, __LINE__,
            Sql(onTable("SELECT COUNT(*) FROM", "RUFIME", " WHERE RU_ID=? AND FI_NAME=?"), {ruleId, fieldName}));
        if (member != Lookup::Missing) return member == Lookup::Found;
        // The bare MAX in a subquery is answered from the RF_SEQ index alone; wrapped in COALESCE at
        // the top it would read every row.
        return run(kSource, __LINE__,
                   Sql(onTables("INSERT INTO %s (RU_ID, FI_NAME, RF_SEQ) VALUES (?,?,COALESCE((SELECT MAX(RF_SEQ) "
                                "FROM %s), 0) + 1)",
                                {"RUFIME", "RUFIME"}),
                       {ruleId, fieldName}));
    });
} catch (...) {
    return caught(__LINE__, false);
}

// ---- custom metrics

unsigned int CommonRDAImpl::addCustomMetric(const VqbString& name, const VqbString& preExpression,
                                            const VqbString& expression, const VqbString& postExpression) try {
    if (!checkConnection(kSource, __LINE__)) return kNone;
    VqbString uuid;
    vqbGetUUID(uuid);
    unsigned int id = kNone;
    const bool added = exclusively(kSource, __LINE__, [&] {
        Lookup taken =
            lookupCount(kSource, __LINE__, Sql(onTable("SELECT COUNT(*) FROM", "CUSTM", " WHERE CM_DESC=?"), {name}));
        if (taken == Lookup::Found) return refuse(kSource, __LINE__, vqb_get_message(VQB_MOD_MONADMIN, 1356));
        if (taken == Lookup::Failed) return false;
        id =
            insertWithNewId(__LINE__, "CUSTM",
                            Sql(onTable("INSERT INTO", "CUSTM",
                                        " (CM_ID, CM_DESC, CM_PREXP, CM_EXP, CM_POSTXP, CM_UUID) VALUES (?,?,?,?,?,?)"),
                                {name, preExpression, expression, postExpression, uuid}));
        return id != kNone;
    });
    return added ? id : kNone;
} catch (...) {
    return caught(__LINE__, kNone);
}

bool CommonRDAImpl::addCustomMetricField(unsigned int cmId, const VqbString& fieldName, const VqbString& type) try {
    return exclusively(kSource, __LINE__, [&] {
        Lookup taken =
            lookupCount(kSource, __LINE__,
                        Sql(onTable("SELECT COUNT(*) FROM", "CMFLD", " WHERE CM_ID=? AND CM_FLDNM=? AND CM_TYPE=?"),
                            {cmId, fieldName, type}));
        if (taken == Lookup::Found) return refuse(kSource, __LINE__, vqb_get_message(VQB_MOD_MONADMIN, 1356));
        if (taken == Lookup::Failed) return false;
        return run(kSource, __LINE__,
                   Sql(onTable("INSERT INTO", "CMFLD", " (CM_ID, CM_FLDNM, CM_TYPE) VALUES (?,?,?)"),
                       {cmId, fieldName, type}));
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::addCustomMetricFieldMap(unsigned int ruleId, unsigned int cmId, unsigned int seq,
                                            const VqbString& fieldName, const VqbString& metricFieldName,
                                            const VqbString& type) try {
    VqbDatavar vRule(ruleId), vMetric(cmId), vSeq(seq), vField(fieldName), vMetricField(metricFieldName),
        vType(type);
    return execute(
        kSource, __LINE__,
        onTable("INSERT INTO", "CMFMAP", " (RU_ID, CM_ID, RM_SEQ, FI_NAME, CM_FLDNM, CM_TYPE) VALUES (?,?,?,?,?,?)"),
        nullptr, &vRule, &vMetric, &vSeq, &vField, &vMetricField, &vType);
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::addRuleCustomMetric(unsigned int ruleId, unsigned int cmId, unsigned int seq) try {
    return exclusively(kSource, __LINE__, [&] {
        Lookup taken =
            lookupCount(kSource, __LINE__,
                        Sql(onTable("SELECT COUNT(*) FROM", "RUCMME", " WHERE CM_ID=? AND RU_ID=?"), {cmId, ruleId}));
        if (taken == Lookup::Found) return refuse(kSource, __LINE__, vqb_get_message(VQB_MOD_MONADMIN, 1356));
        if (taken == Lookup::Failed) return false;
        return run(
            kSource, __LINE__,
            Sql(onTable("INSERT INTO", "RUCMME", " (CM_ID, RM_SEQ, RU_ID) VALUES (?,?,?)"), {cmId, seq, ruleId}));
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::clearCustomMetric() try {
    if (!checkConnection(kSource, __LINE__)) return false;
    reposLog(getLogger(), 2, kSource, __LINE__,
             "clearCustomMetric has no implementation yet.  Unsure of what to clear here!");
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* CommonRDAImpl::listRuleCustomMetrics(unsigned int ruleId) try {
    VqbDatavar vRule(ruleId);
    return selectRows(kSource, __LINE__,
                      VqbString::format("SELECT A.CM_ID, A.CM_DESC, A.CM_PREXP, A.CM_EXP, A.CM_POSTXP, B.RM_SEQ "
                                        "FROM %s A INNER JOIN %s B ON A.CM_ID=B.CM_ID WHERE B.RU_ID=? "
                                        "ORDER BY A.CM_DESC",
                                        tableName("CUSTM").asCstr(), tableName("RUCMME").asCstr()),
                      &vRule);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listCustomMetricFields(int cmId) try {
    if (cmId < 0) return nullptr;
    VqbDatavar vMetric(cmId);
    return selectRows(kSource, __LINE__,
                      onTable("SELECT CM_FLDNM, CM_TYPE FROM", "CMFLD", " WHERE CM_ID=? ORDER BY CM_FLDNM"), &vMetric);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listCustomMetricFieldMaps(unsigned int ruleId, int cmId) try {
    if (cmId < 0) return nullptr;
    VqbDatavar vMetric(cmId), vRule(ruleId);
    return selectRows(kSource, __LINE__, rowSelect("CMFMAP") + " WHERE CM_ID=? AND RU_ID=? ORDER BY CM_FLDNM", &vMetric,
                      &vRule);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listCustomMetrics(const VqbString& name) try {
    return select(kSource, __LINE__, Sql(rowSelect("CUSTM")).whereText("CM_DESC", name));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::findCustomMetric(int id, const VqbString& name, const VqbString& uuid) try {
    return findByKey(kSource, __LINE__, {"CUSTM", "CM_ID", "CM_UUID", "CM_DESC"}, id, name, uuid);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool CommonRDAImpl::deleteCustomMetric(unsigned int cmId) try {
    return deleteKeyed(kSource, __LINE__,
                       {{"CMFMAP", "CM_ID"}, {"RUCMME", "CM_ID"}, {"CMFLD", "CM_ID"}, {"CUSTM", "CM_ID"}},
                       VqbDatavar(cmId));
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::updateCustomMetric(unsigned int cmId, const VqbString& name, const VqbString& preExpression,
                                       const VqbString& expression, const VqbString& postExpression,
                                       const VqbString& uuid) try {
    VqbDatavar vName(name), vPre(preExpression), vExpression(expression), vPost(postExpression), vUuid(uuid),
        vId(cmId);
    if (!execute(
            kSource, __LINE__,
            onTable("UPDATE", "CUSTM", " SET CM_DESC=?, CM_PREXP=?, CM_EXP=?, CM_POSTXP=?, CM_UUID=? WHERE CM_ID=?"),
            nullptr, &vName, &vPre, &vExpression, &vPost, &vUuid, &vId))
        return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_MODIFY, ReposObjectTypeName::CustomMetric, cmId, uuid);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

// ---- note categories

bool CommonRDAImpl::addNoteCategory(const VqbString& description, unsigned int* id) try {
    unsigned int added = insertWithNewId(
        __LINE__, "NOTCAT", Sql(onTable("INSERT INTO", "NOTCAT", " (NCAT_ID, NCAT_DSC) VALUES (?,?)"), {description}));
    if (added == kNone) return false;
    if (id) *id = added;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* CommonRDAImpl::listNoteCategories() try {
    return selectRows(kSource, __LINE__, onTable("SELECT NCAT_ID, NCAT_DSC FROM", "NOTCAT", ""));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool CommonRDAImpl::deleteNoteCategory(unsigned int id) try {
    VqbDatavar vId(id);
    return execute(kSource, __LINE__, onTable("DELETE FROM", "NOTCAT", " WHERE NCAT_ID=?"), nullptr, &vId);
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::updateNoteCategory(unsigned int id, const VqbString& description) try {
    VqbDatavar vDescription(description), vId(id);
    return execute(kSource, __LINE__, onTable("UPDATE", "NOTCAT", " SET NCAT_DSC=? WHERE NCAT_ID=?"), nullptr,
                   &vDescription, &vId);
} catch (...) {
    return caught(__LINE__, false);
}
