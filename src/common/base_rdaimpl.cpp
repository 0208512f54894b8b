#include "base_rdaimpl.h"

#include <algorithm>
#include <new>
#include <vector>

#include "repos_cursors.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

const char* const kSource = "base_rdaimpl";
const char* const kNoConnection = "Repository Data Access object is null";

}  // namespace

BaseRDAImpl::BaseRDAImpl(ReposDataAccess* connection)
    : connection_(connection), logger_(vqlogGetLogger(REPOS_LOGGER_BASERDA)) {}

BaseRDAImpl::~BaseRDAImpl() = default;

bool BaseRDAImpl::beginTransaction(bool exclusive, bool* busy) {
    if (!connection_) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(1161).asCstr());
        return false;
    }
    return connection_->beginTransaction(exclusive, busy);
}

bool BaseRDAImpl::endTransaction(bool commit) {
    if (!connection_) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(1161).asCstr());
        return false;
    }
    return connection_->endTransaction(commit);
}

VqbString BaseRDAImpl::getErrorMessage() {
    return connection_ ? connection_->getGeneralErrorMessage() : VqbString(kNoConnection);
}

void BaseRDAImpl::setDDLCallback(ReposDDLCallback* callback) {
    if (!connection_) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(1161).asCstr());
        return;
    }
    connection_->setDDLCallback(callback);
}

void BaseRDAImpl::release() {
    connection_ = nullptr;
    delete this;
}

bool BaseRDAImpl::noConnection(int line) {
    reposLog(logger_, 5, kSource, line, "%s", kNoConnection);
    return false;
}

bool BaseRDAImpl::checkConnection(const char* source, int line) {
    if (connection_) return true;
    reposLog(logger_, 5, source, line, "%s", kNoConnection);
    return false;
}

bool BaseRDAImpl::logFailure(const char* source, int line) {
    if (!connection_) return checkConnection(source, line);
    reposLog(logger_, 5, source, line, "%s", connection_->getGeneralErrorMessage().asCstr());
    return false;
}

ReposDataAccessCursor* BaseRDAImpl::cacheCursor(ReposDataAccessCursor* live, unsigned maxRows) {
    if (!live) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(1161).asCstr());
        return nullptr;
    }
    ReposCacheCursor* cache = new (std::nothrow) ReposCacheCursor();
    if (!cache) {
        live->release();
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(530).asCstr());
        return nullptr;
    }
    bool loaded = false;
    try {
        loaded = cache->loadFrom(live, maxRows);
    } catch (const std::bad_alloc&) {
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(530).asCstr());
    }
    // A part-read live cursor would look like a complete result to the caller.
    live->release();
    if (!loaded) {
        cache->release();
        reposLog(logger_, 5, kSource, __LINE__, "%s", reposMessage(485).asCstr());
        return nullptr;
    }
    return cache;
}

bool BaseRDAImpl::getFolderPath(int folderId, VqbString& path, VqbString& folderName, VqbString& error) {
    if (!connection_) return noConnection(__LINE__);
    path = VqbString("");
    if (folderId == 0) return true;
    if (folderId < 0) return false;

    VqbString sql = VqbString::format("SELECT FLDR_NAM, FLDR_PAR FROM %s WHERE FLDR_ID = ?",
                                      tableName("FOLDER").asCstr());
    std::vector<VqbString> names;  // leaf first
    std::vector<int> visited;
    int current = folderId;
    for (;;) {
        visited.push_back(current);
        VqbDatavar id(current);
        ReposDataAccessCursor* cursor = connection_->paramSelect(sql, 1, &id);
        if (!cursor) return logFailure(kSource, __LINE__);
        int state = cursor->next();
        if (state != 1) {
            cursor->release();
            if (state == 2) return logFailure(kSource, __LINE__);
            error = reposMessage(1167);
            reposLog(logger_, 5, kSource, __LINE__, "%s", error.asCstr());
            return false;
        }
        names.push_back(cursor->getString(0));
        int parent = cursor->getInt(1);
        cursor->release();
        if (parent == 0) break;
        // A parent met before, or one that can be no folder, would make the walk endless.
        if (parent < 0 || std::find(visited.begin(), visited.end(), parent) != visited.end()) {
            error = reposMessage(1257);
            reposLog(logger_, 5, kSource, __LINE__, "%s", error.asCstr());
            return false;
        }
        current = parent;
    }

    VqbString joined("");
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (it != names.rbegin()) joined.append('/');
        joined.append(*it);
    }
    path.append(joined);
    folderName = names.front();
    return true;
}

ReposDataAccessCursor* BaseRDAImpl::getObjectRow(int id, const VqbString& typeName, VqbString& error) {
    if (!connection_) {
        noConnection(__LINE__);
        return nullptr;
    }
    ObjectTypeCatalog catalog(this);
    const ObjectTypeInfo* type = catalog.findType(typeName);
    if (!type) {
        error = VqbString::format("Unable to find type: %s", typeName.asCstr());
        reposLog(logger_, 5, kSource, __LINE__, "%s", error.asCstr());
        return nullptr;
    }
    VqbString sql = objectRowSelect(*type);
    sql.append(VqbString::format(" WHERE %s=?", type->getIdColumn().asCstr()));
    VqbDatavar value(id);
    return selectRows(kSource, __LINE__, sql, &value);
}

bool BaseRDAImpl::getObjectPath(int id, const VqbString& typeName, VqbString& path, VqbString& uuid,
                                VqbString& error) {
    VqbString rowError;
    ReposDataAccessCursor* cursor = getObjectRow(id, typeName, rowError);
    if (!cursor) return false;
    VqbString name("");
    VqbString objectUuid("");
    int folderId = -1;
    if (cursor->next() == 1) {
        name = cursor->getString(REPOS_OBJROW_NAME);
        folderId = cursor->getInt(REPOS_OBJROW_FOLDER);
        objectUuid = cursor->getString(REPOS_OBJROW_UUID);
    }
    cursor->release();
    if (!objectUuid.isEmpty()) uuid = objectUuid;
    if (name.isEmpty()) return false;

    VqbString folderPath;
    VqbString folderName;
    if (!getFolderPath(folderId, folderPath, folderName, error)) return false;
    path = folderPath;
    if (!folderPath.isEmpty()) path.append('/');
    path.append(name);
    return true;
}

VqbString BaseRDAImpl::tableName(const char* table) {
    return connection_ ? connection_->getTableName(table, true, -1) : VqbString("");
}

VqbString BaseRDAImpl::objectRowSelect(const ObjectTypeInfo& type) {
    return type.objectRowSelect(tableName(type.getTable().asCstr()));
}

ReposDataAccessCursor* BaseRDAImpl::cacheSelected(const char* source, int line, unsigned maxRows,
                                                  ReposDataAccessCursor* live) {
    if (!live) {
        logFailure(source, line);
        return nullptr;
    }
    ReposDataAccessCursor* cached = cacheCursor(live, maxRows);
    if (!cached) logFailure(source, line);
    return cached;
}

bool BaseRDAImpl::nextId(const char* source, int line, const char* key, uint32_t& id) {
    if (!checkConnection(source, line)) return false;
    VqbDatavar value;
    if (!connection_->getNextId(VqbString(key), &value) || value.isNull()) return logFailure(source, line);
    id = static_cast<uint32_t>(value.asInt64());
    return true;
}

BaseRDAImpl::Transaction::Transaction(BaseRDAImpl* owner, bool exclusive)
    : owner_(owner), open_(owner->beginTransaction(exclusive)) {}

BaseRDAImpl::Transaction::~Transaction() { rollback(); }

bool BaseRDAImpl::Transaction::commit() {
    if (!open_) return false;
    open_ = false;
    return owner_->endTransaction(true);
}

void BaseRDAImpl::Transaction::rollback() {
    if (!open_) return;
    open_ = false;
    owner_->endTransaction(false);
}
