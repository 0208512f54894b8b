#include "meta_rdaimpl.h"

#include <algorithm>
#include <vector>

#include "repos_announce.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqrepevent.h"

namespace {

const char* const kSource = "meta_rdaimpl";
const char* const kSharedDataFolder = "Shared Data";
const char* const kNoConnection = "Repository Data Access object is null";

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
    *found = false;
    VqbDatavar vId(folderId);
    ReposDataAccessCursor* cursor = selectRows(
        kSource, __LINE__,
        VqbString::format("SELECT FLDR_PAR FROM %s WHERE FLDR_ID=?", tableName("FOLDER").asCstr()), &vId);
    if (!cursor) return false;
    if (cursor->next() == 1) {
        *found = true;
        *parent = cursor->getInt(0);
    }
    cursor->release();
    return true;
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
    VqbDatavar vId(folderId);
    for (const auto& ref : kFolderReferences) {
        VqbString sql = VqbString::format("SELECT COUNT(*) FROM %s WHERE %s=?", tableName(ref.table).asCstr(),
                                          ref.column);
        int64_t count = 0;
        if (!getConnection()->paramSingleton(sql, &count, 1, &vId)) return logFailure(kSource, __LINE__);
        if (count > 0) {
            *hasContents = true;
            return true;
        }
    }
    return true;
}

bool MetadataRDAImpl::insertFolder(int parentId, const VqbString& name, int* id) {
    uint32_t newId = 0;
    if (!nextId(kSource, __LINE__, "FOLDER", newId)) return false;
    VqbDatavar vId(newId), vParent(parentId), vName(name), vNorm(normalised(name));
    VqbString sql = VqbString::format("INSERT INTO %s (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (?,?,?,?)",
                                      tableName("FOLDER").asCstr());
    if (!execute(kSource, __LINE__, sql, nullptr, &vId, &vParent, &vName, &vNorm)) return false;
    if (id) *id = static_cast<int>(newId);
    return true;
}

bool MetadataRDAImpl::addFolder(int parentId, const VqbString& name, int* id) {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (!checkFolderName(name, __LINE__)) return false;
    // The parent must still be there when the row lands.
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    if (!checkFolderExists(parentId, __LINE__)) return false;
    int newId = 0;
    if (!insertFolder(parentId, name, &newId)) return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    if (id) *id = newId;
    return true;
}

ReposDataAccessCursor* MetadataRDAImpl::listFolders(int parentId) {
    VqbString sql = VqbString::format("SELECT FLDR_ID, FLDR_NAM, FLDR_PAR FROM %s ", tableName("FOLDER").asCstr());
    if (parentId == -1) return selectRows(kSource, __LINE__, sql);
    sql.append("WHERE FLDR_PAR=?");
    VqbDatavar vParent(parentId);
    return selectRows(kSource, __LINE__, sql, &vParent);
}

ReposDataAccessCursor* MetadataRDAImpl::listFoldersByName(int parentId, const VqbString& name) {
    VqbString sql = VqbString::format("SELECT FLDR_ID, FLDR_NAM, FLDR_PAR FROM %s ", tableName("FOLDER").asCstr());
    VqbDatavar vName(normalised(name));
    if (parentId == -1) {
        sql.append("WHERE NAM_NORM=?");
        return selectRows(kSource, __LINE__, sql, &vName);
    }
    sql.append("WHERE FLDR_PAR=? AND NAM_NORM=?");
    VqbDatavar vParent(parentId);
    return selectRows(kSource, __LINE__, sql, &vParent, &vName);
}

bool MetadataRDAImpl::getFolderIdByPath(const VqbString& path, int* id, VqbString& error) {
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
            VqbDatavar vName(normalised(VqbString(text.substr(start, end - start)))), vParent(parent);
            ReposDataAccessCursor* cursor = selectRows(kSource, __LINE__, sql, &vName, &vParent);
            if (!cursor) return false;
            bool found = cursor->next() == 1;
            if (found) parent = cursor->getInt(0);
            cursor->release();
            if (!found) {
                error = VqbString::format("Unable to find folder/object by path: \"%s\"", path.asCstr());
                reposLog(getLogger(), 4, kSource, __LINE__, "%s", error.asCstr());
                return false;
            }
        }
        start = end + 1;
    }
    if (id) *id = parent;
    return true;
}

bool MetadataRDAImpl::getFolderParentId(int folderId, int* parentId) {
    int parent = 0;
    bool found = false;
    if (!readFolderParent(folderId, &parent, &found) || !found) return false;
    if (parentId) *parentId = parent;
    return true;
}

bool MetadataRDAImpl::getSharedDataFolderId(int* id) {
    if (!checkConnection(kSource, __LINE__)) return false;
    // Two callers that both find it missing would otherwise both create it.
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    VqbDatavar vName(kSharedDataFolder), vRoot(0);
    ReposDataAccessCursor* cursor = selectRows(
        kSource, __LINE__,
        VqbString::format("SELECT FLDR_ID FROM %s WHERE FLDR_NAM = ? AND FLDR_PAR = ?", tableName("FOLDER").asCstr()),
        &vName, &vRoot);
    if (!cursor) return false;
    int folderId = 0;
    bool found = cursor->next() == 1;
    if (found) folderId = cursor->getInt(0);
    cursor->release();
    if (!found && !insertFolder(0, VqbString(kSharedDataFolder), &folderId)) return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    if (id) *id = folderId;
    return true;
}

bool MetadataRDAImpl::getFolderPath(int folderId, VqbString& path, VqbString& folderName, VqbString& error) {
    return BaseRDAImpl::getFolderPath(folderId, path, folderName, error);
}

bool MetadataRDAImpl::deleteFolder(int folderId, VqbString& error) {
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
}

bool MetadataRDAImpl::renameFolder(int folderId, const VqbString& newName) {
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
}

bool MetadataRDAImpl::moveFolder(int folderId, int newParentId) {
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
}

bool MetadataRDAImpl::normalizeFolderNames(RepositoryStatusCallback* callback, VqbString& error) {
    reposLog(getLogger(), 1, kSource, __LINE__, "Ensure normalized folder names for search and uniqueness.");
    if (!checkConnection(kSource, __LINE__)) {
        error = VqbString(kNoConnection);
        return false;
    }
    VqbString table = tableName("FOLDER");
    VqbString select =
        VqbString::format("SELECT FLDR_ID, FLDR_NAM FROM %s WHERE NAM_NORM IS NULL OR NAM_NORM = ''", table.asCstr());
    if (callback) callback->reportMessage(select);
    ReposDataAccessCursor* cursor = selectRows(kSource, __LINE__, select);
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
            cursor->release();
            return false;
        }
    }
    cursor->release();
    return true;
}

// ---- locks

bool MetadataRDAImpl::readLockId(int objectId, const VqbString& objectType, int* lockId, bool* found) {
    *found = false;
    VqbDatavar vId(objectId), vType(objectType);
    ReposDataAccessCursor* cursor = selectRows(
        kSource, __LINE__,
        VqbString::format("SELECT LCK_ID FROM %s WHERE OBJ_ID = ? AND OBJ_TYPE = ?", tableName("OBJLCK").asCstr()),
        &vId, &vType);
    if (!cursor) return false;
    if (cursor->next() == 1) {
        *found = true;
        *lockId = cursor->getInt(0);
    }
    cursor->release();
    return true;
}

bool MetadataRDAImpl::getObjectLockId(int objectId, const VqbString& objectType) {
    int lockId = 0;
    bool found = false;
    return readLockId(objectId, objectType, &lockId, &found) && found;
}

bool MetadataRDAImpl::lockObject(int objectId, const VqbString& objectType, const VqbString& user,
                                 const VqbString& uuid) {
    if (!checkConnection(kSource, __LINE__)) return false;
    // The test for a lock, the largest id and the insert form one step: two lockers can neither
    // take the same id nor both insert a row for the object.
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    int lockId = 0;
    bool found = false;
    if (!readLockId(objectId, objectType, &lockId, &found)) return false;

    VqbString table = tableName("OBJLCK");
    VqbDatavar vId(objectId), vType(objectType), vUser(user), vUuid(uuid);
    VqbDatavar vNow(VqbDate::currentDate().asDouble());
    if (found) {
        if (!execute(kSource, __LINE__,
                     VqbString::format("UPDATE %s SET LCK_USR = ? , LCK_CDAT = ? WHERE OBJ_ID = ? AND OBJ_TYPE = ?",
                                       table.asCstr()),
                     nullptr, &vUser, &vNow, &vId, &vType))
            return false;
    } else {
        ReposDataAccessCursor* cursor =
            selectRows(kSource, __LINE__, VqbString::format("Select MAX(LCK_ID) from %s ", table.asCstr()));
        if (!cursor) return false;
        // An empty table gives a null maximum: the first lock is 1.
        int64_t largest = 0;
        if (cursor->next() == 1 && !cursor->isNull(0)) largest = cursor->getValue(0).asInt64();
        cursor->release();
        VqbDatavar vLock(largest + 1);
        if (!execute(kSource, __LINE__,
                     VqbString::format("INSERT INTO %s (LCK_ID, OBJ_ID, OBJ_TYPE, OBJ_UUID, LCK_CDAT, LCK_USR) "
                                       "VALUES (?, ?, ?, ?, ?, ? )",
                                       table.asCstr()),
                     nullptr, &vLock, &vId, &vType, &vUuid, &vNow, &vUser))
            return false;
    }
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    reposAnnounce(getConnection(), REPOS_CHANGE_LOCK, objectType, static_cast<uint32_t>(objectId), uuid);
    return true;
}

bool MetadataRDAImpl::getObjectLock(int objectId, const VqbString& objectType, VqbString& uuid, VqbString& user,
                                    VqbDatavar& date) {
    if (!checkConnection(kSource, __LINE__)) return false;
    VqbDatavar vId(objectId), vType(objectType);
    ReposDataAccessCursor* cursor =
        selectRows(kSource, __LINE__,
                   VqbString::format("SELECT %s FROM %s WHERE OBJ_ID = ? AND OBJ_TYPE = ?",
                                     getConnection()->getColumnList("OBJLCK", "").asCstr(),
                                     tableName("OBJLCK").asCstr()),
                   &vId, &vType);
    if (!cursor) return false;
    bool found = cursor->next() == 1;
    if (found) {
        // LCK_ID, OBJ_ID, OBJ_TYPE, OBJ_UUID, LCK_CDAT, LCK_USR
        uuid = cursor->getString(3);
        user = cursor->getString(5);
        date = VqbDatavar(cursor->getDouble(4));
    }
    cursor->release();
    return found;
}

bool MetadataRDAImpl::unlockObject(int objectId, const VqbString& objectType) {
    if (!checkConnection(kSource, __LINE__)) return false;
    int lockId = 0;
    bool found = false;
    if (!readLockId(objectId, objectType, &lockId, &found) || !found) return false;
    VqbDatavar vLock(lockId);
    int rows = 0;
    if (!execute(kSource, __LINE__,
                 VqbString::format("DELETE FROM %s WHERE LCK_ID=?", tableName("OBJLCK").asCstr()), &rows, &vLock))
        return false;
    // Another unlocker got there first.
    if (rows == 0) return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_UNLOCK, objectType, static_cast<uint32_t>(objectId), VqbString(""));
    return true;
}
