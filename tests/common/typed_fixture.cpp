#include "typed_fixture.h"

#include "curuser.h"
#include "objecttypes.h"
#include "repos_announce.h"
#include "vqrepevent.h"

namespace {
const char* const kSource = "typed_fixture";
}

bool TestRulesRDAImpl::addRule(const VqbString& name, const VqbString& uuid, int folderId, uint32_t& id) {
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    if (id == 0 && !nextId(kSource, __LINE__, "RULE", id)) return false;
    VqbDatavar vId(id), vName(name), vUuid(uuid), vFolder(folderId), vUser(getCurrentUserName());
    VqbDatavar vNow(VqbDate::currentDate().asDouble());
    VqbString sql = VqbString::format(
        "INSERT INTO %s (RU_ID, RU_DESC, RU_UUID, FLDR_ID, RU_CRUSR, RU_USER, RU_CRDAT, RU_EDDAT) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
        tableName("RULE").asCstr());
    if (!execute(kSource, __LINE__, sql, nullptr, &vId, &vName, &vUuid, &vFolder, &vUser, &vUser, &vNow, &vNow))
        return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    reposAnnounce(getConnection(), REPOS_CHANGE_CREATE, ReposObjectTypeName::Rule, id, uuid);
    return true;
}

bool TestRulesRDAImpl::updateRule(uint32_t id, const VqbString& uuid, const VqbString& name) {
    VqbDatavar vId(id), vName(name);
    VqbString oldName;
    ReposDataAccessCursor* old = selectRows(
        kSource, __LINE__, VqbString::format("SELECT RU_DESC FROM %s WHERE RU_ID=?", tableName("RULE").asCstr()),
        &vId);
    if (!old) return false;
    if (old->next() == 1 && !old->isNull(0)) oldName = old->getString(0);
    old->release();

    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    int rows = 0;
    if (!execute(kSource, __LINE__,
                 VqbString::format("UPDATE %s SET RU_DESC=? WHERE RU_ID=?", tableName("RULE").asCstr()), &rows,
                 &vName, &vId))
        return false;
    if (rows != 1) return logFailure(kSource, __LINE__);
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    reposAnnounceUpdate(getConnection(), ReposObjectTypeName::Rule, id, uuid, oldName, name);
    return true;
}

bool TestRulesRDAImpl::lockRule(uint32_t id, const VqbString& uuid) {
    uint32_t lockId = 0;
    if (!nextId(kSource, __LINE__, "OBJLCK", lockId)) return false;
    VqbDatavar vLock(lockId), vId(id), vType(ReposObjectTypeName::Rule), vUuid(uuid), vUser(getCurrentUserName());
    VqbDatavar vNow(VqbDate::currentDate().asDouble());
    if (!execute(kSource, __LINE__,
                 VqbString::format("INSERT INTO %s (LCK_ID, OBJ_ID, OBJ_TYPE, OBJ_UUID, LCK_CDAT, LCK_USR) "
                                   "VALUES (?, ?, ?, ?, ?, ?)",
                                   tableName("OBJLCK").asCstr()),
                 nullptr, &vLock, &vId, &vType, &vUuid, &vNow, &vUser))
        return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_LOCK, ReposObjectTypeName::Rule, id, uuid);
    return true;
}

bool TestRulesRDAImpl::unlockRule(uint32_t id) {
    VqbDatavar vId(id), vType(ReposObjectTypeName::Rule);
    int rows = 0;
    if (!execute(kSource, __LINE__,
                 VqbString::format("DELETE FROM %s WHERE OBJ_ID=? AND OBJ_TYPE=?", tableName("OBJLCK").asCstr()),
                 &rows, &vId, &vType))
        return false;
    if (rows == 0) return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_UNLOCK, ReposObjectTypeName::Rule, id, VqbString(""));
    return true;
}

bool TestRulesRDAImpl::deleteRule(uint32_t id) {
    ReposDeleteAnnouncement announcement(this, ReposObjectTypeName::Rule, id, kSource, __LINE__);
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    VqbDatavar vId(id);
    if (!execute(kSource, __LINE__, VqbString::format("DELETE FROM %s WHERE RU_ID=?", tableName("RULE").asCstr()),
                 nullptr, &vId))
        return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    announcement.post();
    return true;
}

ReposDataAccessCursor* TestRulesRDAImpl::listRules(unsigned maxRows) {
    return selectRowsLimited(kSource, __LINE__, maxRows,
                             VqbString::format("SELECT RU_ID, RU_DESC FROM %s ORDER BY RU_ID",
                                               tableName("RULE").asCstr()));
}

int TestCountRDAImpl::countRules() {
    ReposDataAccessCursor* cursor =
        selectRows(kSource, __LINE__, VqbString::format("SELECT COUNT(*) FROM %s", tableName("RULE").asCstr()));
    if (!cursor) return -1;
    int n = cursor->next() == 1 ? cursor->getInt(0) : -1;
    cursor->release();
    return n;
}

TestRulesDataAccess* createTestRules(ReposDataAccess* connection) { return new TestRulesRDAImpl(connection); }

TestCountDataAccess* createTestCount(ReposDataAccess* connection) { return new TestCountRDAImpl(connection); }
