// The repository's own metadata: the folder tree (FOLDER), object locks (OBJLCK), the repository
// event queue (REVENT), the lineage resources and their dependencies (IMPRCS, IMPDEP), and queries
// that treat repository objects of every type alike.
//
// Folder ids: 0 is the root level, which has no row; -1 as a folder or parent argument of a
// listing means every folder. Cursors are in-memory, owned by the caller and ended with their
// release(); they are read by column position, so the column orders given here are part of the
// interface. Failures give false or null; getErrorMessage then gives the connection's general
// error text and the log holds the detail.
//
// Object rows (listObjects, listObjectsOfType, listObjectsWithoutFolder, getObject): OBJTYPE (the
// type name), uuid, id, name, folder id, created date, modified date, created user, modified user,
// description. Folder rows: FLDR_ID, FLDR_NAM, FLDR_PAR. Resource rows: RCS_ID, RCS_NM, RCS_IDTY,
// RCS_TYPE, RCS_ADAT.
#ifndef REPOS_METADATA_RDA_H
#define REPOS_METADATA_RDA_H

#include "repos_callbacks.h"
#include "repos_typed.h"
#include "vqbdatavar.h"

class MetadataRepositoryDataAccess : public virtual ReposTypedDataAccess {
protected:
    ~MetadataRepositoryDataAccess() override = default;

public:
    // A lineage resource; identity and type together are unique: false (and id untouched) when
    // the pair is already there.
    virtual bool addResource(const VqbString& name, const VqbString& identity, const VqbString& type, int* id) = 0;
    // Records that resource `first` uses resource `second` (the row RCS_ID=second, RCS_USED=first).
    virtual bool addDependency(int first, int second) = 0;
    // A folder under parentId (0: the root level). The name is kept as given and found ignoring
    // case; a name that is empty or holds "/" cannot be reached by path and is refused, and so is
    // a parent that does not exist.
    virtual bool addFolder(int parentId, const VqbString& name, int* id) = 0;
    // Takes the lock for user, or takes it over from whoever holds it. Announced as a lock.
    virtual bool lockObject(int objectId, const VqbString& objectType, const VqbString& user,
                            const VqbString& uuid) = 0;
    // Appends an event stamped with the current time and user; error receives the reason of a
    // failure.
    virtual bool addRepositoryEvent(const VqbString& subject, int changeType, const VqbString& other,
                                    const VqbString& source, int* id, VqbString& error) = 0;
    virtual ReposDataAccessCursor* getResourceByIdentity(const VqbString& identity, const VqbString& type) = 0;
    virtual ReposDataAccessCursor* getResource(int id) = 0;
    virtual ReposDataAccessCursor* listResourcesOfType(const VqbString& type) = 0;
    // The resources that addDependency(x, id) recorded: those that use resource id.
    virtual ReposDataAccessCursor* listResourcesUsedBy(int id) = 0;
    // The resources that addDependency(id, x) recorded: those resource id uses.
    virtual ReposDataAccessCursor* listResourcesUsing(int id) = 0;
    // listResourcesUsing(id) restricted to one resource type.
    virtual ReposDataAccessCursor* listResourcesOfTypeUsing(int id, const VqbString& type) = 0;
    // Object rows of the folder (-1: every folder) for data explorations, profile jobs, rules and
    // tasks; other types are reached by name only.
    virtual ReposDataAccessCursor* listObjects(int folderId) = 0;
    // Object rows of one catalogue type in the folder (-1: every folder); null for a type the
    // catalogue does not hold.
    virtual ReposDataAccessCursor* listObjectsOfType(int folderId, const VqbString& typeName) = 0;
    // Folder rows under parentId (-1: every folder).
    virtual ReposDataAccessCursor* listFolders(int parentId) = 0;
    // Folder rows of that name, ignoring case, under parentId (-1: anywhere).
    virtual ReposDataAccessCursor* listFoldersByName(int parentId, const VqbString& name) = 0;
    // Object rows, as listObjects, of the objects filed in no folder (folder column null or empty).
    virtual ReposDataAccessCursor* listObjectsWithoutFolder() = 0;
    // The object row of one object (no row when it does not exist); null for an unknown type, with
    // "Unable to find type: <name>" in error.
    virtual ReposDataAccessCursor* getObject(int id, const VqbString& typeName, VqbString& error) = 0;
    // Every REVENT column, in table order, of the events at or after time written by any source
    // but the given one, in time order and then id order. eventId is reserved and not used.
    virtual ReposDataAccessCursor* listRepositoryEventsSince(int eventId, double time, const VqbString& source,
                                                             VqbString& error) = 0;
    // Folder names separated by "/", matched ignoring case; empty parts (leading, trailing or
    // doubled "/") are ignored, so an empty path is the root (0).
    virtual bool getFolderIdByPath(const VqbString& path, int* id, VqbString& error) = 0;
    // False without a message when the folder does not exist.
    virtual bool getFolderParentId(int folderId, int* parentId) = 0;
    // False for an unknown type or an object that does not exist.
    virtual bool getObjectFolderId(const VqbString& typeName, int id, int* folderId) = 0;
    // The root-level folder named exactly "Shared Data", created when it is missing.
    virtual bool getSharedDataFolderId(int* id) = 0;
    // The lock's object uuid, holder and date (a real); false when the object is not locked.
    virtual bool getObjectLock(int objectId, const VqbString& objectType, VqbString& uuid, VqbString& user,
                               VqbDatavar& date) = 0;
    // Names from the root down joined by "/", and the folder's own name; the root's path is empty.
    virtual bool getFolderPath(int folderId, VqbString& path, VqbString& folderName, VqbString& error) = 0;
    virtual ReposDataAccessCursor* listResources() = 0;
    // One column, RCS_TYPE, one row per type in use.
    virtual ReposDataAccessCursor* listResourceTypes() = 0;
    // True when a resource of that type and identity exists (note the argument order).
    virtual bool getResourceIdByIdentity(const VqbString& type, const VqbString& identity) = 0;
    // Removes every dependency recorded by addDependency(id, x).
    virtual bool deleteDependenciesOnResource(int id) = 0;
    // Removes what addDependency(first, second) recorded.
    virtual bool deleteDependency(int first, int second) = 0;
    virtual bool setResourceAnalysisDate(int id, double date) = 0;
    // Only an empty folder (no sub-folders, no objects of any type) is deleted; the root never is.
    virtual bool deleteFolder(int folderId, VqbString& error) = 0;
    // The new name follows the rules of addFolder.
    virtual bool renameFolder(int folderId, const VqbString& newName) = 0;
    // Refused when the new parent does not exist or is the folder itself or one of its sub-folders.
    virtual bool moveFolder(int folderId, int newParentId) = 0;
    // Files the object in the folder (0: the root level).
    virtual bool setObjectAttribute(int objectId, const VqbString& typeName, int folderId, VqbString& error) = 0;
    // True when the object is locked.
    virtual bool getObjectLockId(int objectId, const VqbString& objectType) = 0;
    // Removes the lock whoever holds it; false when there is none. Announced as an unlock.
    virtual bool unlockObject(int objectId, const VqbString& objectType) = 0;
    // Fills the normalised name of folders that have none. Statements are shown to the callback
    // (may be null) before they run.
    virtual bool normalizeFolderNames(RepositoryStatusCallback* callback, VqbString& error) = 0;
    // Removes the events below maxId and/or before time, each condition only when not 0; both 0
    // is refused.
    virtual bool deleteRepositoryEvents(int maxId, double time, VqbString& error) = 0;
};

#endif
