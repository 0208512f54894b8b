#include "repfldrmgrimpl.h"

#include <cstdarg>
#include <string>

#include "meta_rdaimpl.h"
#include "repos_guard.h"
#include "reposlog.h"

namespace {

const char* const kSource = "repfldrmgrimpl";

// Type and name as an object row carries them, against those of a path; the type column may be
// stored with blanks around it.
bool rowMatches(ReposDataAccessCursor* cursor, const VqbString& typeName, const VqbString& name) {
    return cursor->getString(0).trimmed().equals(typeName, false) && cursor->getString(3).equals(name, false);
}

}  // namespace

RepositoryFolderManagerImpl::RepositoryFolderManagerImpl(Repository* repository)
    : repository_(repository), logger_(vqlogGetLogger(REPOS_LOGGER_FOLDERMGR)), lastError_("") {
    if (repository_) meta_.reset(repository_->createMetadataRepositoryDataAccess());
}

RepositoryFolderManagerImpl::~RepositoryFolderManagerImpl() {
    meta_.reset();
    repository_ = nullptr;
}

void RepositoryFolderManagerImpl::release() { delete this; }

VqbString RepositoryFolderManagerImpl::getErrorMessage() try {
    return lastError_;
} catch (...) {
    return caught(__LINE__, VqbString());
}

void RepositoryFolderManagerImpl::takeError(int line, const VqbString& detail) {
    lastError_ = detail.isEmpty() ? meta_->getErrorMessage() : detail;
    // The metadata access logged its own failure.
    if (!detail.isEmpty()) reposLog(logger_, 5, kSource, line, "%s", lastError_.asCstr());
}

void RepositoryFolderManagerImpl::recordCaught(int line) noexcept {
    const char* text = reposCaughtText();
    try {
        lastError_ = VqbString(text);
        reposLog(logger_, 5, kSource, line, "%s", text);
    } catch (...) {
        // The failure value still reaches the caller.
    }
}

bool RepositoryFolderManagerImpl::failed(int line, const VqbString& detail, const char* format, ...) {
    if (logger_->getLevel() <= 5) {
        va_list args;
        va_start(args, format);
        VqbString text = VqbString::formatV(format, args);
        va_end(args);
        reposLog(logger_, 5, kSource, line, "%s", text.asCstr());
    }
    takeError(line, detail);
    return false;
}

ReposDataAccessCursor* RepositoryFolderManagerImpl::listItemsInFolder(unsigned folderId) try {
    return itemsInFolder(folderId, nullptr);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RepositoryFolderManagerImpl::listItemsNamed(unsigned folderId, const VqbString& name) try {
    return itemsInFolder(folderId, &name);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RepositoryFolderManagerImpl::itemsInFolder(unsigned folderId, const VqbString* name) {
    if (!meta_) return nullptr;
    MetadataRDAImpl* own = name ? dynamic_cast<MetadataRDAImpl*>(meta_.get()) : nullptr;
    ReposDataAccessCursor* cursor = own ? own->listObjectsNamed(static_cast<int>(folderId), *name)
                                        : meta_->listObjects(static_cast<int>(folderId));
    if (!cursor) failed(__LINE__, VqbString(), "Error getting items in folder id=%d", static_cast<int>(folderId));
    return cursor;
}

ReposDataAccessCursor* RepositoryFolderManagerImpl::listChildFolders(unsigned folderId) try {
    if (!meta_) return nullptr;
    ReposDataAccessCursor* cursor = meta_->listFolders(static_cast<int>(folderId));
    if (!cursor)
        failed(__LINE__, VqbString(), "Error getting child folders in folder id=%d", static_cast<int>(folderId));
    return cursor;
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RepositoryFolderManagerImpl::getChildFolder(unsigned parentId, const VqbString& name) try {
    if (!meta_) return nullptr;
    ReposDataAccessCursor* cursor = meta_->listFoldersByName(static_cast<int>(parentId), name);
    if (!cursor)
        failed(__LINE__, VqbString(), "Error getting child folder name=\"%s\" in folder id=%d", name.asCstr(),
               static_cast<int>(parentId));
    return cursor;
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool RepositoryFolderManagerImpl::addFolder(unsigned parentId, const VqbString& name, unsigned& newId) try {
    if (!meta_) return false;
    int id = 0;
    if (!meta_->addFolder(static_cast<int>(parentId), name, &id))
        return failed(__LINE__, VqbString(), "Error creating folder %s", name.asCstr());
    newId = static_cast<unsigned>(id);
    reposLog(logger_, 1, kSource, __LINE__, "Created folder %s with id=%d", name.asCstr(), id);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::getPathFromId(unsigned folderId, VqbString& path, VqbString& folderName) try {
    if (!meta_) return false;
    VqbString detail;
    if (!meta_->getFolderPath(static_cast<int>(folderId), path, folderName, detail))
        return failed(__LINE__, detail, "Error getting path from id=%d", static_cast<int>(folderId));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::getIdFromPath(const VqbString& path, unsigned& folderId) try {
    if (!meta_) return false;
    VqbString detail;
    int id = 0;
    if (!meta_->getFolderIdByPath(path, &id, detail))
        return failed(__LINE__, detail, "Error getting id from path=%s", path.asCstr());
    folderId = static_cast<unsigned>(id);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::splitPath(const VqbString& path, VqbString& folderPath, VqbString& name) try {
    const std::string& text = path.str();
    size_t slash = text.rfind('/');
    if (slash == std::string::npos) {
        folderPath = VqbString("");
        name = VqbString(text);
    } else {
        folderPath = VqbString(text.substr(0, slash));
        name = VqbString(text.substr(slash + 1));
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::deleteFolder(unsigned folderId) try {
    if (!meta_) return false;
    VqbString detail;
    if (!meta_->deleteFolder(static_cast<int>(folderId), detail))
        return failed(__LINE__, detail, "Error deleting folder with id=%d", static_cast<int>(folderId));
    reposLog(logger_, 1, kSource, __LINE__, "Deleted folder with id=%d", static_cast<int>(folderId));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::renameFolder(unsigned folderId, const VqbString& newName) try {
    if (!meta_) return false;
    if (!meta_->renameFolder(static_cast<int>(folderId), newName))
        return failed(__LINE__, VqbString(), "Error renaming folder to %s with id=%d", newName.asCstr(),
                      static_cast<int>(folderId));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::moveFolder(unsigned folderId, unsigned newParentId) try {
    if (!meta_ || folderId == newParentId) return false;
    if (!meta_->moveFolder(static_cast<int>(folderId), static_cast<int>(newParentId)))
        return failed(__LINE__, VqbString(), "Error moving folder to %d with id=%d", static_cast<int>(newParentId),
                      static_cast<int>(folderId));
    reposLog(logger_, 1, kSource, __LINE__, "Move folder to %d with id=%d", static_cast<int>(newParentId),
             static_cast<int>(folderId));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::isFolderEmpty(unsigned folderId, bool& empty) try {
    if (!meta_) return false;
    auto hasRow = [](ReposDataAccessCursor* rows) {
        ReposHeld<ReposDataAccessCursor> cursor(rows);
        return cursor && cursor->next() == 1;
    };
    empty = !hasRow(listItemsInFolder(folderId)) && !hasRow(listChildFolders(folderId));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::getParentFolder(unsigned folderId, unsigned& parentId) try {
    if (!meta_ || static_cast<int>(folderId) < 0) return false;
    int parent = 0;
    if (!meta_->getFolderParentId(static_cast<int>(folderId), &parent))
        return failed(__LINE__, VqbString(), "Error getting parent folder from folder id=%d",
                      static_cast<int>(folderId));
    parentId = static_cast<unsigned>(parent);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::getFolderForObject(const VqbString& typeName, unsigned objectId,
                                                     unsigned& folderId) try {
    if (!meta_) return false;
    int folder = 0;
    if (!meta_->getObjectFolderId(typeName, static_cast<int>(objectId), &folder))
        return failed(__LINE__, VqbString(), "Error getting folder for %s with id=%d", typeName.asCstr(),
                      static_cast<int>(objectId));
    folderId = static_cast<unsigned>(folder);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::getOrphanedObjectsFolderId(unsigned& folderId) try {
    if (!meta_) return false;
    int id = 0;
    if (!meta_->getSharedDataFolderId(&id))
        return failed(__LINE__, VqbString(), "Error getting orphaned objects folder id");
    folderId = static_cast<unsigned>(id);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* RepositoryFolderManagerImpl::listItemsNotInFolder() try {
    if (!meta_) return nullptr;
    ReposDataAccessCursor* cursor = meta_->listObjectsWithoutFolder();
    if (!cursor) {
        reposLog(logger_, 1, kSource, __LINE__, "No items found that did not exist in a folder.");
        takeError(__LINE__, VqbString());
    }
    return cursor;
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool RepositoryFolderManagerImpl::isObjectLocked(unsigned objectId, const VqbString& typeName) try {
    return meta_ && meta_->getObjectLockId(static_cast<int>(objectId), typeName);
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::lockObject(unsigned objectId, const VqbString& typeName, const VqbString& user,
                                             const VqbString& uuid) try {
    if (!meta_) return false;
    if (!meta_->lockObject(static_cast<int>(objectId), typeName, user, uuid))
        return failed(__LINE__, VqbString(), "Error locking %s object with id=%d to user %s", typeName.asCstr(),
                      static_cast<int>(objectId), user.asCstr());
    reposLog(logger_, 1, kSource, __LINE__, "Locked %s object with id=%d to user %s", typeName.asCstr(),
             static_cast<int>(objectId), user.asCstr());
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::unlockObject(unsigned objectId, const VqbString& typeName) try {
    if (!meta_) return false;
    if (!meta_->unlockObject(static_cast<int>(objectId), typeName))
        return failed(__LINE__, VqbString(), "Error unlocking %s object with id=%d", typeName.asCstr(),
                      static_cast<int>(objectId));
    reposLog(logger_, 1, kSource, __LINE__, "Unlocked %s object with id=%d", typeName.asCstr(),
             static_cast<int>(objectId));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::getLockInfo(unsigned objectId, const VqbString& typeName, VqbString& uuid,
                                              VqbString& user, VqbDatavar& date) try {
    if (!meta_) return false;
    if (!meta_->getObjectLock(static_cast<int>(objectId), typeName, uuid, user, date))
        return failed(__LINE__, VqbString(), "Error getting lock information for %s object with id=%d",
                      typeName.asCstr(), static_cast<int>(objectId));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::moveObjectToFolder(int objectId, const VqbString& typeName, unsigned folderId) try {
    if (!meta_) return false;
    VqbString detail;
    if (!meta_->setObjectAttribute(objectId, typeName, static_cast<int>(folderId), detail))
        return failed(__LINE__, detail, "Error moving %s object with id=%d to folder %d", typeName.asCstr(), objectId,
                      static_cast<int>(folderId));
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::findObjectRow(ReposDataAccessCursor* rows, const VqbString& typeName,
                                                const VqbString& name, int& objectId, VqbString* uuid) {
    ReposHeld<ReposDataAccessCursor> cursor(rows);
    if (!cursor) return false;
    bool found = false;
    // Every row is read: with duplicates the last one wins.
    while (cursor->next() == 1) {
        if (!rowMatches(cursor.get(), typeName, name)) continue;
        objectId = cursor->getInt(2);
        if (uuid) *uuid = cursor->getString(1);
        found = true;
    }
    return found;
}

bool RepositoryFolderManagerImpl::getObjectIdFromPath(const VqbString& path, const VqbString& typeName,
                                                      unsigned& folderId, int& objectId, VqbString& name,
                                                      VqbString& uuid, VqbString& error) try {
    objectId = -1;
    folderId = 0xFFFFFFFFu;
    VqbString folderPath;
    splitPath(path, folderPath, name);
    unsigned folder = 0;
    if (!getIdFromPath(folderPath, folder)) {
        error = VqbString::format("Unable to determine folder id from path: %s", folderPath.asCstr());
        reposLog(logger_, 5, kSource, __LINE__, "%s", error.asCstr());
        return false;
    }
    folderId = folder;
    MetadataRDAImpl* own = dynamic_cast<MetadataRDAImpl*>(meta_.get());
    findObjectRow(own ? own->listObjectsOfTypeNamed(static_cast<int>(folder), typeName, name)
                      : meta_->listObjectsOfType(static_cast<int>(folder), typeName),
                  typeName, name, objectId, &uuid);
    if (objectId < 0) {
        error = VqbString::format("Unable to determine object id from path: %s", path.asCstr());
        reposLog(logger_, 5, kSource, __LINE__, "%s", error.asCstr());
        return false;
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::objectExistsAtPath(const VqbString& path, const VqbString& typeName) try {
    VqbString folderPath, name;
    splitPath(path, folderPath, name);
    unsigned folder = 0;
    if (!getIdFromPath(folderPath, folder)) return false;
    int objectId = -1;
    return findObjectRow(itemsInFolder(folder, &name), typeName, name, objectId, nullptr) && objectId >= 0;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryFolderManagerImpl::getObjectPath(unsigned objectId, const VqbString& typeName, VqbString& path) try {
    if (!meta_) return false;
    VqbString name("");
    int folderId = -1;
    {
        ReposHeld<ReposDataAccessCursor> cursor(meta_->getObject(static_cast<int>(objectId), typeName, lastError_));
        if (!cursor) return false;
        if (cursor->next() == 1) {
            name = cursor->getString(3);
            folderId = cursor->getInt(4);
        }
    }
    if (name.isEmpty()) return false;
    VqbString folderPath, folderName;
    if (!getPathFromId(static_cast<unsigned>(folderId), folderPath, folderName)) return false;
    path = folderPath.isEmpty() ? name : folderPath + VqbString("/") + name;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
