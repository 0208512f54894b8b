#include "meta_rdaimpl.h"

#include <algorithm>
#include <vector>

#include "repos_announce.h"
#include "repos_held.h"
#include "repos_reasons.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqrepevent.h"

namespace {

const char* const kSource = "meta_rdaimpl";
const char* const kSharedDataFolder = "Shared Data";

// Every table whose rows are filed in a folder, with the column naming the folder. A folder
// referred to from any of them is not empty: deleting it would cut those rows off the tree.
const struct {
    const char* table;
    const char* column;
} kFolderReferences[] = {
    {"FOLDER", "FLDR_PAR"}, {"MPRJ", "FLDR_ID"},   {"JSETUP", "FLDR_ID"}, {"RULE", "FLDR_ID"},
    {"MJOB", "FLDR_ID"},    {"EXSRC", "FLDR_ID"},  {"DIMENS", "FLDR_ID"}, {"RPTGRP", "FLDR_ID"},
    {"THRHLD", "FLDR_ID"},  {"FLDMAP", "FLDR_ID"}, {"REPORT", "FLDR_ID"},
};

VqbString normalised(const VqbString& name) {
    VqbString lower(name);
    lower.lowercase();
    return lower;
}

}  // namespace

MetadataRDAImpl::MetadataRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

MetadataRDAImpl::~MetadataRDAImpl() = default;

// ---- folders

bool MetadataRDAImpl::checkFolderName(const VqbString& name, int line) {
    if (!name.isEmpty() && name.findChar('/') < 0) return true;
    reposLog(getLogger(), 5, kSource, line, "Invalid folder name \"%s\": a folder name is not empty and holds no \"/\"",
             name.asCstr());
    return false;
}

bool MetadataRDAImpl::readFolderParent(int folderId, int* parent, bool* found) {
    VqbDatavar value;
    Lookup got =
        lookup(kSource, __LINE__, Sql(onTable("SELECT FLDR_PAR FROM", "FOLDER")).where("FLDR_ID", folderId), &value);
    *found = got == Lookup::Found;
    if (*found) *parent = static_cast<int>(value.asInt64());
    return got != Lookup::Failed;
}

bool MetadataRDAImpl::checkFolderExists(int folderId, int line) {
    if (folderId == 0) return true;
    int parent = 0;
    bool found = false;
    if (folderId > 0 && !readFolderParent(folderId, &parent, &found)) return false;
    if (found) return true;
    reposLog(getLogger(), 5, kSource, line, "%s (id=%d)", reposMessage(1167).asCstr(), folderId);
    return false;
}

bool MetadataRDAImpl::folderHasContents(int folderId, bool* hasContents) {
    *hasContents = false;
    for (const auto& ref : kFolderReferences) {
        Lookup used =
            lookupCount(kSource, __LINE__, Sql(onTable("SELECT COUNT(*) FROM", ref.table)).where(ref.column, folderId));
        if (used == Lookup::Failed) return false;
        if (used == Lookup::Found) {
            *hasContents = true;
            return true;
        }
    }
    return true;
}

bool MetadataRDAImpl::insertFolder(int parentId, const VqbString& name, int* id) {
    uint32_t newId = 0;
    if (!insertKeyed(kSource, __LINE__, "FOLDER",
                     Sql(onTable("INSERT INTO", "FOLDER", " (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (?,?,?,?)"),
                         {parentId, name, normalised(name)}),
                     0, newId))
        return false;
    if (id) *id = static_cast<int>(newId);
    return true;
}

bool MetadataRDAImpl::addFolder(int parentId, const VqbString& name, int* id) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (!checkFolderName(name, __LINE__)) return false;
    // The parent must still be there when the row lands.
    int newId = 0;
    if (!exclusively(kSource, __LINE__,
                     [&] { return checkFolderExists(parentId, __LINE__) && insertFolder(parentId, name, &newId); }))
        return false;
    if (id) *id = newId;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MetadataRDAImpl::listFolders(int parentId) try {
    VqbString sql = VqbString::format("SELECT FLDR_ID, FLDR_NAM, FLDR_PAR FROM %s ", tableName("FOLDER").asCstr());
    if (parentId == -1) return selectRows(kSource, __LINE__, sql);
    sql.append("WHERE FLDR_PAR=?");
    VqbDatavar vParent(parentId);
    return selectRows(kSource, __LINE__, sql, &vParent);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listFoldersByName(int parentId, const VqbString& name) try {
    VqbString sql = VqbString::format("SELECT FLDR_ID, FLDR_NAM, FLDR_PAR FROM %s ", tableName("FOLDER").asCstr());
    VqbDatavar vName(normalised(name));
    if (parentId == -1) {
        sql.append("WHERE NAM_NORM=?");
        return selectRows(kSource, __LINE__, sql, &vName);
    }
    sql.append("WHERE FLDR_PAR=? AND NAM_NORM=?");
    VqbDatavar vParent(parentId);
    return selectRows(kSource, __LINE__, sql, &vParent, &vName);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool MetadataRDAImpl::getFolderIdByPath(const VqbString& path, int* id, VqbString& error) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    VqbString sql = VqbString::format("SELECT FLDR_ID FROM %s WHERE NAM_NORM=? AND FLDR_PAR=?",
                                      tableName("FOLDER").asCstr());
    const std::string& text = path.str();
    int parent = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) {
            VqbDatavar child;
            Lookup found = lookup(kSource, __LINE__,
                                  Sql(sql, {normalised(VqbString(text.substr(start, end - start))), parent}), &child);
            if (found == Lookup::Failed) return false;
            if (found == Lookup::Found) parent = static_cast<int>(child.asInt64());
            if (found == Lookup::Missing) {
                error = VqbString::format("Unable to find folder/object by path: \"%s\"", path.asCstr());
                reposLog(getLogger(), 4, kSource, __LINE__, "%s", error.asCstr());
                return false;
            }
        }
        start = end + 1;
    }
    if (id) *id = parent;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::getFolderParentId(int folderId, int* parentId) try {
    int parent = 0;
    bool found = false;
    if (!readFolderParent(folderId, &parent, &found) || !found) return false;
    if (parentId) *parentId = parent;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::getSharedDataFolderId(int* id) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    // Two callers that both find it missing would otherwise both create it.
    int folderId = 0;
    if (!exclusively(kSource, __LINE__, [&] {
            VqbDatavar existing;
            Lookup found = lookup(kSource, __LINE__,
                                  Sql(onTable("SELECT FLDR_ID FROM", "FOLDER", " WHERE FLDR_NAM = ? AND FLDR_PAR = ?"),
                                      {kSharedDataFolder, 0}),
                                  &existing);
            if (found == Lookup::Found) folderId = static_cast<int>(existing.asInt64());
            if (found != Lookup::Missing) return found == Lookup::Found;
            return insertFolder(0, VqbString(kSharedDataFolder), &folderId);
        }))
        return false;
    if (id) *id = folderId;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::getFolderPath(int folderId, VqbString& path, VqbString& folderName, VqbString& error) try {
    return BaseRDAImpl::getFolderPath(folderId, path, folderName, error);
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::deleteFolder(int folderId, VqbString& error) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (folderId == 0) {
        error = VqbString("Root level folder cannot be deleted");
        reposLog(getLogger(), 5, kSource, __LINE__, "%s", error.asCstr());
        return false;
    }
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    int parent = 0;
    bool found = false;
    if (folderId > 0 && !readFolderParent(folderId, &parent, &found)) return false;
    if (!found) {
        error = reposMessage(1167);
        reposLog(getLogger(), 5, kSource, __LINE__, "%s (id=%d)", error.asCstr(), folderId);
        return false;
    }
    bool hasContents = false;
    if (!folderHasContents(folderId, &hasContents)) return false;
    if (hasContents) {
        error = VqbString::format("Folder with id=%d is not empty: its sub-folders and objects must be moved or "
                                  "deleted first",
                                  folderId);
        reposLog(getLogger(), 5, kSource, __LINE__, "%s", error.asCstr());
        return false;
    }
    VqbDatavar vId(folderId);
    if (!execute(kSource, __LINE__,
                 VqbString::format("DELETE FROM %s WHERE FLDR_ID=?", tableName("FOLDER").asCstr()), nullptr, &vId))
        return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::renameFolder(int folderId, const VqbString& newName) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (newName.isEmpty()) return false;
    if (!checkFolderName(newName, __LINE__)) return false;
    VqbDatavar vName(newName), vNorm(normalised(newName)), vId(folderId);
    int rows = 0;
    if (!execute(kSource, __LINE__,
                 VqbString::format("UPDATE %s SET FLDR_NAM=?, NAM_NORM=? WHERE FLDR_ID=?",
                                   tableName("FOLDER").asCstr()),
                 &rows, &vName, &vNorm, &vId))
        return false;
    if (rows == 0) {
        reposLog(getLogger(), 5, kSource, __LINE__, "%s (id=%d)", reposMessage(1167).asCstr(), folderId);
        return false;
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::moveFolder(int folderId, int newParentId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (folderId == newParentId) return false;
    // The walk and the update see the same tree: no other writer can move the new parent under
    // this folder in between.
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    if (folderId <= 0 || !checkFolderExists(folderId, __LINE__)) {
        if (folderId <= 0)
            reposLog(getLogger(), 5, kSource, __LINE__, "%s (id=%d)", reposMessage(1167).asCstr(), folderId);
        return false;
    }
    // Up from the new parent to the root: meeting the folder itself would make a cycle that cuts
    // the folder and everything under it off the root.
    std::vector<int> visited;
    for (int current = newParentId; current != 0;) {
        if (current == folderId) {
            reposLog(getLogger(), 5, kSource, __LINE__,
                     "Folder with id=%d cannot be moved under itself or one of its sub-folders (id=%d)", folderId,
                     newParentId);
            return false;
        }
        int parent = 0;
        bool found = false;
        if (current > 0 && !readFolderParent(current, &parent, &found)) return false;
        if (!found) {
            reposLog(getLogger(), 5, kSource, __LINE__, "%s (id=%d)", reposMessage(1167).asCstr(), current);
            return false;
        }
        visited.push_back(current);
        if (std::find(visited.begin(), visited.end(), parent) != visited.end()) {
            reposLog(getLogger(), 5, kSource, __LINE__, "%s (id=%d)", reposMessage(1257).asCstr(), parent);
            return false;
        }
        current = parent;
    }
    VqbDatavar vParent(newParentId), vId(folderId);
    if (!execute(kSource, __LINE__,
                 VqbString::format("UPDATE %s SET FLDR_PAR=? WHERE FLDR_ID=?", tableName("FOLDER").asCstr()),
                 nullptr, &vParent, &vId))
        return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::normalizeFolderNames(RepositoryStatusCallback* callback, VqbString& error) try {
    reposLog(getLogger(), 1, kSource, __LINE__, "Ensure normalized folder names for search and uniqueness.");
    if (!checkConnection(kSource, __LINE__)) {
        error = VqbString(kReposNoConnection);
        return false;
    }
    VqbString table = tableName("FOLDER");
    VqbString select =
        VqbString::format("SELECT FLDR_ID, FLDR_NAM FROM %s WHERE NAM_NORM IS NULL OR NAM_NORM = ''", table.asCstr());
    if (callback) callback->reportMessage(select);
    ReposHeld<ReposDataAccessCursor> cursor(selectRows(kSource, __LINE__, select));
    if (!cursor) {
        error = getErrorMessage();
        return false;
    }
    VqbString update = VqbString::format("UPDATE %s SET NAM_NORM = ? WHERE FLDR_ID = ?", table.asCstr());
    if (callback) callback->reportMessage(update);
    while (cursor->next() == 1) {
        VqbString name = cursor->getString(1);
        if (name.isEmpty()) continue;
        VqbDatavar vNorm(normalised(name)), vId(cursor->getInt(0));
        if (!execute(kSource, __LINE__, update, nullptr, &vNorm, &vId)) {
            error = getErrorMessage();
            return false;
        }
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

// ---- locks

bool MetadataRDAImpl::readLockId(int objectId, const VqbString& objectType, int* lockId, bool* found) {
    VqbDatavar value;
    Lookup got = lookup(
        kSource, __LINE__,
        Sql(onTable("SELECT LCK_ID FROM", "OBJLCK", " WHERE OBJ_ID = ? AND OBJ_TYPE = ?"), {objectId, objectType}),
        &value);
    *found = got == Lookup::Found;
    if (*found) *lockId = static_cast<int>(value.asInt64());
    return got != Lookup::Failed;
}

bool MetadataRDAImpl::getObjectLockId(int objectId, const VqbString& objectType) try {
    int lockId = 0;
    bool found = false;
    return readLockId(objectId, objectType, &lockId, &found) && found;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::lockObject(int objectId, const VqbString& objectType, const VqbString& user,
                                 const VqbString& uuid) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    // The test for a lock, the largest id and the insert form one step: two lockers can neither
    // take the same id nor both insert a row for the object.
    const VqbString table = tableName("OBJLCK");
    const VqbDatavar vNow(VqbDate::currentDate().asDouble());
    if (!exclusively(kSource, __LINE__, [&] {
            int lockId = 0;
            bool found = false;
            if (!readLockId(objectId, objectType, &lockId, &found)) return false;
            if (found)
                return run(
                    kSource, __LINE__,
                    Sql(VqbString::format("UPDATE %s SET LCK_USR = ? , LCK_CDAT = ? WHERE OBJ_ID = ? AND OBJ_TYPE = ?",
                                          table.asCstr()),
                        {user, vNow, objectId, objectType}));
            // An empty table gives a null maximum: the first lock is 1.
            int64_t largest = 0;
            if (lookupInt(kSource, __LINE__, Sql(VqbString::format("Select MAX(LCK_ID) from %s ", table.asCstr())),
                          largest) == Lookup::Failed)
                return false;
            return run(kSource, __LINE__,
                       Sql(VqbString::format("INSERT INTO %s (LCK_ID, OBJ_ID, OBJ_TYPE, OBJ_UUID, LCK_CDAT, LCK_USR) "
                                             "VALUES (?, ?, ?, ?, ?, ? )",
                                             table.asCstr()),
                           {largest + 1, objectId, objectType, uuid, vNow, user}));
        }))
        return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_LOCK, objectType, static_cast<uint32_t>(objectId), uuid);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::getObjectLock(int objectId, const VqbString& objectType, VqbString& uuid, VqbString& user,
                                    VqbDatavar& date) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    VqbDatavar vId(objectId), vType(objectType);
    ReposHeld<ReposDataAccessCursor> cursor(
        select(kSource, __LINE__, Sql(rowSelect("OBJLCK") + " WHERE OBJ_ID = ? AND OBJ_TYPE = ?", {vId, vType})));
    if (!cursor) return false;
    bool found = cursor->next() == 1;
    if (found) {
        // LCK_ID, OBJ_ID, OBJ_TYPE, OBJ_UUID, LCK_CDAT, LCK_USR
        uuid = cursor->getString(3);
        user = cursor->getString(5);
        date = VqbDatavar(cursor->getDouble(4));
    }
    return found;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::unlockObject(int objectId, const VqbString& objectType) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    // A lock id read and then deleted may meanwhile belong to another locker's new lock (ids are
    // MAX+1): the read and the delete are one step.
    if (!exclusively(kSource, __LINE__, [&] {
            int lockId = 0;
            bool found = false;
            if (!readLockId(objectId, objectType, &lockId, &found) || !found) return false;
            int rows = 0;
            return run(kSource, __LINE__, Sql(onTable("DELETE FROM", "OBJLCK")).where("LCK_ID", lockId), &rows) &&
                   rows > 0;
        }))
        return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_UNLOCK, objectType, static_cast<uint32_t>(objectId), VqbString(""));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
