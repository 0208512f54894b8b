// The repository event queue (REVENT) and the lineage resources (IMPRCS, IMPDEP).
#include "curuser.h"
#include "meta_rdaimpl.h"
#include "repos_reasons.h"
#include "reposlog.h"
#include "vqrepevent.h"

namespace {

const char* const kSource = "meta_rdaimpl";

}  // namespace

// ---- events

bool MetadataRDAImpl::addRepositoryEvent(const VqbString& subject, int changeType, const VqbString& other,
                                         const VqbString& source, int* id, VqbString& error) try {
    if (!checkConnection(kSource, __LINE__)) {
        error = VqbString(kReposNoConnection);
        return false;
    }
    auto failed = [&](int line) {
        error = VqbString::format("create repository event error: %s", getErrorMessage().asCstr());
        return logFailure(kSource, line, error);
    };
    // Exclusive from the start: a writer that only reads first and must then wait for the write
    // lock can be refused at once while another writer commits. The id is drawn inside, so a
    // rolled-back event gives its id back.
    Transaction transaction(this, true);
    if (!transaction.begun()) return failed(__LINE__);
    uint32_t newId = 0;
    if (!nextId(kSource, __LINE__, "REVENT", newId)) return failed(__LINE__);
    VqbDatavar vId(newId), vSubject(subject), vAction(getRepositoryEventChangeTypeString(changeType));
    VqbDatavar vTime(VqbDate::currentDate().asDouble()), vUser(getCurrentUserName()), vOther(other),
        vSource(source);
    if (!execute(kSource, __LINE__,
                 VqbString::format("INSERT INTO %s (EVT_ID, EVT_SBJT, EVT_ACTN, EVT_TIME, EVT_USER, EVT_OTHR, EVT_SRC) "
                                   "VALUES (?,?,?,?,?,?,?)",
                                   tableName("REVENT").asCstr()),
                 nullptr, &vId, &vSubject, &vAction, &vTime, &vUser, &vOther, &vSource))
        return failed(__LINE__);
    // A refused commit leaves no event behind: it must not be reported as written.
    if (!transaction.commit()) return failed(__LINE__);
    if (id) *id = static_cast<int>(newId);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MetadataRDAImpl::listRepositoryEventsSince(int, double time, const VqbString& source,
                                                                  VqbString& error) try {
    if (!checkConnection(kSource, __LINE__)) {
        error = VqbString(kReposNoConnection);
        return nullptr;
    }
    // An event written without a source is nobody's own: every reader receives it. A reader
    // without a source is matched as the empty text, which a comparison with NULL would not be.
    VqbDatavar vTime(time), vSource(source.isNull() ? VqbString("") : source);
    ReposDataAccessCursor* cursor =
        selectRows(kSource, __LINE__,
                   VqbString::format("SELECT * FROM %s WHERE EVT_TIME >= ? AND (EVT_SRC IS NULL OR NOT EVT_SRC = ?) "
                                     "ORDER BY EVT_TIME, EVT_ID",
                                     tableName("REVENT").asCstr()),
                   &vTime, &vSource);
    if (!cursor) {
        error = VqbString::format("Error getting repository events since eventTime=%g: %s", time,
                                  getErrorMessage().asCstr());
        logFailure(kSource, __LINE__, error);
    }
    return cursor;
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool MetadataRDAImpl::deleteRepositoryEvents(int maxId, double time, VqbString& error) try {
    if (!checkConnection(kSource, __LINE__)) {
        error = VqbString(kReposNoConnection);
        return false;
    }
    if (maxId == 0 && time == 0.0) {
        error = VqbString("Remove repository events cannot remove events when neither date or id are specified.");
        reposLog(getLogger(), 5, kSource, __LINE__, "%s", error.asCstr());
        return false;
    }
    auto failed = [&](int line) {
        error = VqbString::format("Error removing repository events: %s", getErrorMessage().asCstr());
        return logFailure(kSource, line, error);
    };
    VqbString table = tableName("REVENT");
    VqbDatavar vId(maxId), vTime(time);
    int rows = 0;
    Transaction transaction(this);
    if (!transaction.begun()) return failed(__LINE__);
    bool ok;
    if (time == 0.0)
        ok = execute(kSource, __LINE__, VqbString::format("DELETE FROM %s WHERE EVT_ID < ?", table.asCstr()), &rows,
                     &vId);
    else if (maxId != 0)
        ok = execute(kSource, __LINE__,
                     VqbString::format("DELETE FROM %s WHERE EVT_ID < ? AND EVT_TIME < ?", table.asCstr()), &rows,
                     &vId, &vTime);
    else
        ok = execute(kSource, __LINE__, VqbString::format("DELETE FROM %s WHERE EVT_TIME < ?", table.asCstr()),
                     &rows, &vTime);
    if (!ok || !transaction.commit()) return failed(__LINE__);
    reposLog(getLogger(), 2, kSource, __LINE__, "Removed %d repository events", rows);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

// ---- resources

// The identity is the key of the search: with the type a plain column too, SQLite may take the type's
// index and walk every resource of that type.
const char* const kByIdentity = " WHERE RCS_IDTY=? AND RCS_TYPE||''=?";

bool MetadataRDAImpl::resourceExists(const VqbString& type, const VqbString& identity, bool* found) {
    Lookup got = lookup(kSource, __LINE__, Sql(rowSelect("IMPRCS") + kByIdentity, {identity, type}));
    *found = got == Lookup::Found;
    return got != Lookup::Failed;
}

bool MetadataRDAImpl::getResourceIdByIdentity(const VqbString& type, const VqbString& identity) try {
    bool found = false;
    return resourceExists(type, identity, &found) && found;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::addResource(const VqbString& name, const VqbString& identity, const VqbString& type,
                                  int* id) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    // Identity and type stay unique only if no other writer adds the pair between test and insert.
    uint32_t newId = 0;
    if (!exclusively(kSource, __LINE__, [&] {
            bool found = false;
            if (!resourceExists(type, identity, &found) || found) return false;
            return insertKeyed(
                kSource, __LINE__, "IMPRCS",
                Sql(onTable("INSERT INTO", "IMPRCS", " (RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE) VALUES(?,?,?,?)"),
                    {name, identity, type}),
                0, newId);
        }))
        return false;
    if (id) *id = static_cast<int>(newId);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::addDependency(int first, int second) try {
    VqbDatavar vResource(second), vUser(first);
    return execute(kSource, __LINE__,
                   VqbString::format("INSERT INTO %s (RCS_ID,RCS_USED) VALUES (?,?)", tableName("IMPDEP").asCstr()),
                   nullptr, &vResource, &vUser);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MetadataRDAImpl::getResourceByIdentity(const VqbString& identity, const VqbString& type) try {
    VqbDatavar vIdentity(identity), vType(type);
    VqbString sql = rowSelect("IMPRCS");
    sql.append(kByIdentity);
    return selectRows(kSource, __LINE__, sql, &vIdentity, &vType);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::getResource(int id) try {
    VqbDatavar vId(id);
    VqbString sql = rowSelect("IMPRCS");
    sql.append(" WHERE RCS_ID=?");
    return selectRows(kSource, __LINE__, sql, &vId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listResourcesOfType(const VqbString& type) try {
    VqbDatavar vType(type);
    VqbString sql = rowSelect("IMPRCS");
    sql.append(" WHERE RCS_TYPE=?");
    return selectRows(kSource, __LINE__, sql, &vType);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listResourcesUsedBy(int id) try {
    VqbString resources = tableName("IMPRCS"), dependencies = tableName("IMPDEP");
    VqbString sql = rowSelect("IMPRCS");
    sql.append(VqbString::format(" WHERE %s.RCS_ID IN (SELECT %s.RCS_USED FROM %s WHERE %s.RCS_ID = ?)",
                                 resources.asCstr(), dependencies.asCstr(), dependencies.asCstr(),
                                 dependencies.asCstr()));
    VqbDatavar vId(id);
    return selectRows(kSource, __LINE__, sql, &vId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listResourcesUsing(int id) try {
    VqbString sql = rowSelect("IMPRCS");
    sql.append(VqbString::format(" WHERE RCS_ID IN (SELECT RCS_ID FROM %s WHERE RCS_USED = ?)",
                                 tableName("IMPDEP").asCstr()));
    VqbDatavar vId(id);
    return selectRows(kSource, __LINE__, sql, &vId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listResourcesOfTypeUsing(int id, const VqbString& type) try {
    VqbString sql = rowSelect("IMPRCS");
    sql.append(VqbString::format(" WHERE RCS_TYPE = ? AND RCS_ID IN (SELECT RCS_ID FROM %s WHERE RCS_USED = ?)",
                                 tableName("IMPDEP").asCstr()));
    VqbDatavar vType(type), vId(id);
    return selectRows(kSource, __LINE__, sql, &vType, &vId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listResources() try {
    return selectRows(kSource, __LINE__, rowSelect("IMPRCS"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listResourceTypes() try {
    return selectRows(kSource, __LINE__,
                      VqbString::format("SELECT DISTINCT RCS_TYPE FROM %s", tableName("IMPRCS").asCstr()));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool MetadataRDAImpl::deleteDependenciesOnResource(int id) try {
    VqbDatavar vId(id);
    return execute(kSource, __LINE__,
                   VqbString::format("DELETE FROM %s WHERE RCS_USED = ?", tableName("IMPDEP").asCstr()), nullptr,
                   &vId);
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::deleteDependency(int first, int second) try {
    VqbDatavar vResource(second), vUser(first);
    return execute(kSource, __LINE__,
                   VqbString::format("DELETE FROM %s WHERE RCS_ID = ? AND RCS_USED = ?", tableName("IMPDEP").asCstr()),
                   nullptr, &vResource, &vUser);
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::setResourceAnalysisDate(int id, double date) try {
    VqbDatavar vDate(date), vId(id);
    int rows = 0;
    if (!execute(kSource, __LINE__,
                 VqbString::format("UPDATE %s SET RCS_ADAT = ? WHERE RCS_ID = ?", tableName("IMPRCS").asCstr()), &rows,
                 &vDate, &vId))
        return false;
    if (rows == 0) {
        reposLog(getLogger(), 5, kSource, __LINE__, "No lineage resource with id=%d", id);
        return false;
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
