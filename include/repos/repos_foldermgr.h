// The folder tree of a repository as a host works with it: folders by id and by path, the
// placement of repository objects in folders, and object locks. Made by
// Repository::createRepositoryFolderManager and ended with release() before the repository.
//
// Paths: folder names from the root down joined by "/", matched ignoring case; the root is the
// empty path. An object path is its folder's path, "/" and the object's name (its bare name at
// the root level). Folder ids are those of the metadata data access (0 the root level; 0xFFFFFFFF
// every folder where a listing allows it). Failures give false or null; getErrorMessage then
// gives the reason.
#ifndef REPOS_FOLDERMGR_H
#define REPOS_FOLDERMGR_H

#include "repos_dataaccess.h"
#include "vqbdatavar.h"
#include "vqbstring.h"

class RepositoryFolderManager {
protected:
    virtual ~RepositoryFolderManager() = default;

public:
    virtual void release() = 0;
    // The text of the last failure; a success leaves it as it was.
    virtual VqbString getErrorMessage() = 0;
    // Object rows (type name, uuid, id, name, folder id, created date, modified date, created
    // user, modified user, description) of data explorations, profile jobs, rules and tasks.
    virtual ReposDataAccessCursor* listItemsInFolder(unsigned folderId) = 0;
    // Folder rows: FLDR_ID, FLDR_NAM, FLDR_PAR.
    virtual ReposDataAccessCursor* listChildFolders(unsigned folderId) = 0;
    // Folder rows of that name (ignoring case) under parentId.
    virtual ReposDataAccessCursor* getChildFolder(unsigned parentId, const VqbString& name) = 0;
    virtual bool addFolder(unsigned parentId, const VqbString& name, unsigned& newId) = 0;
    virtual bool getPathFromId(unsigned folderId, VqbString& path, VqbString& folderName) = 0;
    virtual bool getIdFromPath(const VqbString& path, unsigned& folderId) = 0;
    // Cuts at the last "/": the folder part before it, the name after it; without "/" all is
    // name. Nothing is trimmed. Always true.
    virtual bool splitPath(const VqbString& path, VqbString& folderPath, VqbString& name) = 0;
    // Only an empty folder is deleted.
    virtual bool deleteFolder(unsigned folderId) = 0;
    virtual bool renameFolder(unsigned folderId, const VqbString& newName) = 0;
    // Refused for a move under the folder itself or one of its sub-folders.
    virtual bool moveFolder(unsigned folderId, unsigned newParentId) = 0;
    // empty: no objects and no sub-folders. Always true.
    virtual bool isFolderEmpty(unsigned folderId, bool& empty) = 0;
    virtual bool getParentFolder(unsigned folderId, unsigned& parentId) = 0;
    virtual bool getFolderForObject(const VqbString& typeName, unsigned objectId, unsigned& folderId) = 0;
    // The root-level folder "Shared Data", created when it is missing.
    virtual bool getOrphanedObjectsFolderId(unsigned& folderId) = 0;
    // Object rows of the objects filed in no folder.
    virtual ReposDataAccessCursor* listItemsNotInFolder() = 0;
    virtual bool isObjectLocked(unsigned objectId, const VqbString& typeName) = 0;
    // Takes the lock for user, or takes it over from its holder.
    virtual bool lockObject(unsigned objectId, const VqbString& typeName, const VqbString& user,
                            const VqbString& uuid) = 0;
    virtual bool unlockObject(unsigned objectId, const VqbString& typeName) = 0;
    // The lock's object uuid, holder and date (a real); false when the object is not locked.
    virtual bool getLockInfo(unsigned objectId, const VqbString& typeName, VqbString& uuid, VqbString& user,
                             VqbDatavar& date) = 0;
    virtual bool moveObjectToFolder(int objectId, const VqbString& typeName, unsigned folderId) = 0;
    // The object of that type at an object path: its folder, id, name (as written in the path) and
    // uuid. folderId and objectId are 0xFFFFFFFF / -1 unless found. Type and name are matched
    // ignoring case; error receives the reason of a failure.
    virtual bool getObjectIdFromPath(const VqbString& path, const VqbString& typeName, unsigned& folderId,
                                     int& objectId, VqbString& name, VqbString& uuid, VqbString& error) = 0;
    // An object of that type at the path among the folder-listed types.
    virtual bool objectExistsAtPath(const VqbString& path, const VqbString& typeName) = 0;
    virtual bool getObjectPath(unsigned objectId, const VqbString& typeName, VqbString& path) = 0;
};

#endif
