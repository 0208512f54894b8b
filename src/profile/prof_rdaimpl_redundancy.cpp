// Redundancy analysis of a run: its configurations (RDACFG), the fields each compares (FLDRDA) and
// the outcome for each compared pair (RDARES).
#include "prof_rdaimpl.h"
#include "vqbmessage.h"

namespace {

const ReposRowRead kFieldsOfConfig = {"FLDRDA", {"RDACFGID"}, nullptr};

// The left/right column pairs of a result row; the swapped list exchanges each pair.
struct ResultColumn {
    const char* left;
    const char* right;  // null: the column has no counterpart
};
const ResultColumn kResultColumns[] = {
    {"FLD_IDL", "FLD_IDR"}, {"LFTCNT", "RGTCNT"}, {"LFTSUM", "RGTSUM"},  {"DMATCH", nullptr},
    {"DLSUM", "DRSUM"},     {"JOB_ID", nullptr},  {"RDACFGID", nullptr},
};

VqbString resultColumns(bool swap) {
    VqbString list;
    for (const ResultColumn& column : kResultColumns) {
        list.append(list.length() ? ", " : "").append(swap && column.right ? column.right : column.left);
        if (column.right) list.append(", ").append(swap ? column.left : column.right);
    }
    return list;
}

}  // namespace

// ---- adding

bool ProfileRDAImpl::addRedundancyConfig(uint32_t runId, const VqbString& name, const VqbString& description,
                                         uint32_t matchDefinitionId, uint32_t* id) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (matchDefinitionId != kNone) {
        const Lookup match =
            lookup(kSource, __LINE__,
                   Sql(onTable("SELECT MC_ID FROM", "MATCH", " WHERE MC_ID=?"), {idValue(matchDefinitionId)}));
        if (match == Lookup::Failed) return false;
        if (match == Lookup::Missing) return refuse(kSource, __LINE__, reposMessage(1211));
    }
    return insertKeyed(
        kSource, __LINE__, "RDACFG",
        Sql(onTable("INSERT INTO", "RDACFG", " (RDACFGID, RDACFGNM, RDACFGDS, MC_ID, JOB_ID) VALUES (?,?,?,?,?)"),
            {name, description, idValue(matchDefinitionId), idValue(runId)}),
        0, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addRedundancyField(uint32_t runId, uint32_t fieldId, uint32_t configId) try {
    return exclusively(kSource, __LINE__, [&] {
        const Lookup found = redundancyFieldRow(__LINE__, configId, fieldId);
        if (found != Lookup::Missing) return found == Lookup::Found;
        return run(kSource, __LINE__,
                   Sql(onTable("INSERT INTO", "FLDRDA", " (FLD_ID, RDACFGID, JOB_ID) VALUES (?,?,?)"),
                       {idValue(fieldId), idValue(configId), idValue(runId)}));
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addRedundancyResult(uint32_t runId, uint32_t configId, uint32_t leftFieldId, uint32_t rightFieldId,
                                         int leftCount, int leftSum, int rightCount, int rightSum, int distinctMatches,
                                         int distinctLeftSum, int distinctRightSum) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "RDARES",
                           " (FLD_IDL, FLD_IDR, LFTCNT, RGTCNT, LFTSUM, RGTSUM, DMATCH, DLSUM, DRSUM, JOB_ID, "
                           "RDACFGID) VALUES (?,?,?,?,?,?,?,?,?,?,?)"),
                   {idValue(leftFieldId), idValue(rightFieldId), leftCount, rightCount, leftSum, rightSum,
                    distinctMatches, distinctLeftSum, distinctRightSum, idValue(runId), idValue(configId)}));
} catch (...) {
    return caught(__LINE__, false);
}

// ---- reading

BaseRDAImpl::Sql ProfileRDAImpl::redundancyConfigs() {
    const VqbString columns = getConnection()->getColumnList(VqbString("RDACFG"), "a");
    return Sql(
        VqbString::format("SELECT %s, b.MC_DEF, b.MC_SENS, b.MC_LOC FROM %s a LEFT OUTER JOIN %s b ON "
                          "a.MC_ID=b.MC_ID",
                          columns.asCstr(), tableName("RDACFG").asCstr(), tableName("MATCH").asCstr()));
}

ReposDataAccessCursor* ProfileRDAImpl::listRedundancyConfigsOfJob(uint32_t runId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    return select(kSource, __LINE__, redundancyConfigs().where("a.JOB_ID", idValue(runId)));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getRedundancyConfigByName(const VqbString& name, uint32_t runId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    return select(kSource, __LINE__, redundancyConfigs().where("a.RDACFGNM", name).where("a.JOB_ID", idValue(runId)));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getRedundancyConfig(uint32_t configId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    return select(kSource, __LINE__, redundancyConfigs().where("a.RDACFGID", idValue(configId)));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listRedundancyConfigsOfField(uint32_t fieldId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    const VqbString columns = getConnection()->getColumnList(VqbString("RDACFG"), "a");
    return select(kSource, __LINE__,
                  Sql(VqbString::format("SELECT DISTINCT %s FROM %s a, %s b WHERE a.RDACFGID=b.RDACFGID AND b.FLD_ID=?",
                                        columns.asCstr(), tableName("RDACFG").asCstr(), tableName("FLDRDA").asCstr()),
                      {idValue(fieldId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listRedundancyFields(uint32_t configId) try {
    return readRows(kSource, __LINE__, kFieldsOfConfig, {idValue(configId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

// FLDRDA holds no match definition: a field row belongs to it through its configuration.
ReposDataAccessCursor* ProfileRDAImpl::listRedundancyFieldsByMatch(uint32_t matchDefinitionId, uint32_t fieldId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql(rowSelect("FLDRDA"));
    if (matchDefinitionId != kNone)
        sql.condition(onTable("RDACFGID IN (SELECT RDACFGID FROM", "RDACFG", " WHERE MC_ID=?)").asCstr())
            .bind(idValue(matchDefinitionId));
    if (fieldId != kNone) sql.where("FLD_ID", idValue(fieldId));
    return selectPrepared(kSource, __LINE__, sql, std::vector<ValueInfo>(sql.values().size(), ValueInfo{2, 0}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listRedundancyResults(uint32_t configId, uint32_t firstFieldId,
                                                             uint32_t secondFieldId, bool swap) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql(VqbString::format("SELECT %s FROM %s", resultColumns(swap).asCstr(), tableName("RDARES").asCstr()));
    sql.where("RDACFGID", idValue(configId));
    // A pair is found in either orientation.
    if (firstFieldId != kNone && secondFieldId != kNone)
        sql.condition("((FLD_IDL=? AND FLD_IDR=?) OR (FLD_IDL=? AND FLD_IDR=?))")
            .bind(idValue(firstFieldId))
            .bind(idValue(secondFieldId))
            .bind(idValue(secondFieldId))
            .bind(idValue(firstFieldId));
    return select(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool ProfileRDAImpl::existsRedundancyField(uint32_t configId, uint32_t fieldId) try {
    return redundancyFieldRow(__LINE__, configId, fieldId) == Lookup::Found;
} catch (...) {
    return caught(__LINE__, false);
}

BaseRDAImpl::Lookup ProfileRDAImpl::redundancyFieldRow(int line, uint32_t configId, uint32_t fieldId) {
    if (!checkConnection(kSource, line)) return Lookup::Failed;
    return lookup(kSource, line,
                  Sql(rowSelect("FLDRDA")).where("RDACFGID", idValue(configId)).where("FLD_ID", idValue(fieldId)));
}

// ---- changing and deleting

bool ProfileRDAImpl::updateRedundancyConfig(uint32_t configId, const VqbString& name, const VqbString& description,
                                            uint32_t matchDefinitionId) try {
    Sql sql = partialUpdate("RDACFG")
                  .set("RDACFGNM", name)
                  .set("RDACFGDS", description)
                  .set("MC_ID", idValue(matchDefinitionId))
                  .statement();
    return run(kSource, __LINE__, sql.where("RDACFGID", idValue(configId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::updateRedundancyConfigEx(uint32_t configId, const VqbString& name, const VqbString& description,
                                              uint32_t matchDefinitionId) {
    return updateRedundancyConfig(configId, name, description, matchDefinitionId);
}

bool ProfileRDAImpl::deleteRedundancyConfig(uint32_t configId) try {
    return run(kSource, __LINE__, Sql(onTable("DELETE FROM", "RDACFG")).where("RDACFGID", idValue(configId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deleteRedundancyConfigEx(uint32_t configId) { return deleteRedundancyConfig(configId); }

bool ProfileRDAImpl::deleteRedundancyField(uint32_t configId, uint32_t fieldId) {
    return deleteRedundancyFieldsEx(configId, fieldId);
}

bool ProfileRDAImpl::deleteRedundancyFields(uint32_t configId) { return deleteRedundancyFieldsEx(configId, kNone); }

bool ProfileRDAImpl::deleteRedundancyFieldsEx(uint32_t configId, uint32_t fieldId) try {
    Sql sql(onTable("DELETE FROM", "FLDRDA"));
    sql.where("RDACFGID", idValue(configId));
    if (fieldId != kNone) sql.where("FLD_ID", idValue(fieldId));
    return run(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, false);
}

// One orientation only: the stored (right, left) pair stays.
bool ProfileRDAImpl::deleteRedundancyResult(uint32_t leftFieldId, uint32_t rightFieldId) try {
    return run(kSource, __LINE__,
               Sql(onTable("DELETE FROM", "RDARES"))
                   .where("FLD_IDL", idValue(leftFieldId))
                   .where("FLD_IDR", idValue(rightFieldId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deleteRedundancyResults(uint32_t configId, uint32_t leftFieldId, uint32_t rightFieldId) try {
    Sql sql(onTable("DELETE FROM", "RDARES"));
    sql.where("RDACFGID", idValue(configId));
    if (leftFieldId != kNone) sql.where("FLD_IDL", idValue(leftFieldId));
    if (rightFieldId != kNone) sql.where("FLD_IDR", idValue(rightFieldId));
    return runPrepared(kSource, __LINE__, sql, std::vector<ValueInfo>(sql.values().size(), ValueInfo{2, 0}));
} catch (...) {
    return caught(__LINE__, false);
}
