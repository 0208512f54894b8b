// The metadata data access: folders and object locks (meta_rdaimpl.cpp), the event queue and the
// lineage resources (meta_rdaimpl_events.cpp), and the generic object queries
// (meta_rdaimpl_objects.cpp).
//
// Changes whose checks must see the same table as the change itself (a folder move, a lock, a new
// resource) run in one exclusive transaction, so two writers cannot both pass the check.
#ifndef META_RDAIMPL_H
#define META_RDAIMPL_H

#include <functional>
#include <vector>

#include "base_rdaimpl.h"
#include "repos_metadata_rda.h"

class MetadataRDAImpl : public BaseRDAImpl, public MetadataRepositoryDataAccess {
public:
    explicit MetadataRDAImpl(ReposDataAccess* connection);

    bool addResource(const VqbString& name, const VqbString& identity, const VqbString& type, int* id) override;
    bool addDependency(int first, int second) override;
    bool addFolder(int parentId, const VqbString& name, int* id) override;
    bool lockObject(int objectId, const VqbString& objectType, const VqbString& user, const VqbString& uuid) override;
    bool addRepositoryEvent(const VqbString& subject, int changeType, const VqbString& other,
                            const VqbString& source, int* id, VqbString& error) override;
    ReposDataAccessCursor* getResourceByIdentity(const VqbString& identity, const VqbString& type) override;
    ReposDataAccessCursor* getResource(int id) override;
    ReposDataAccessCursor* listResourcesOfType(const VqbString& type) override;
    ReposDataAccessCursor* listResourcesUsedBy(int id) override;
    ReposDataAccessCursor* listResourcesUsing(int id) override;
    ReposDataAccessCursor* listResourcesOfTypeUsing(int id, const VqbString& type) override;
    ReposDataAccessCursor* listObjects(int folderId) override;
    ReposDataAccessCursor* listObjectsOfType(int folderId, const VqbString& typeName) override;
    ReposDataAccessCursor* listFolders(int parentId) override;
    ReposDataAccessCursor* listFoldersByName(int parentId, const VqbString& name) override;
    ReposDataAccessCursor* listObjectsWithoutFolder() override;
    ReposDataAccessCursor* getObject(int id, const VqbString& typeName, VqbString& error) override;
    ReposDataAccessCursor* listRepositoryEventsSince(int eventId, double time, const VqbString& source,
                                                     VqbString& error) override;
    bool getFolderIdByPath(const VqbString& path, int* id, VqbString& error) override;
    bool getFolderParentId(int folderId, int* parentId) override;
    bool getObjectFolderId(const VqbString& typeName, int id, int* folderId) override;
    bool getSharedDataFolderId(int* id) override;
    bool getObjectLock(int objectId, const VqbString& objectType, VqbString& uuid, VqbString& user,
                       VqbDatavar& date) override;
    bool getFolderPath(int folderId, VqbString& path, VqbString& folderName, VqbString& error) override;
    ReposDataAccessCursor* listResources() override;
    ReposDataAccessCursor* listResourceTypes() override;
    bool getResourceIdByIdentity(const VqbString& type, const VqbString& identity) override;
    bool deleteDependenciesOnResource(int id) override;
    bool deleteDependency(int first, int second) override;
    bool setResourceAnalysisDate(int id, double date) override;
    bool deleteFolder(int folderId, VqbString& error) override;
    bool renameFolder(int folderId, const VqbString& newName) override;
    bool moveFolder(int folderId, int newParentId) override;
    bool setObjectAttribute(int objectId, const VqbString& typeName, int folderId, VqbString& error) override;
    bool getObjectLockId(int objectId, const VqbString& objectType) override;
    bool unlockObject(int objectId, const VqbString& objectType) override;
    bool normalizeFolderNames(RepositoryStatusCallback* callback, VqbString& error) override;
    bool deleteRepositoryEvents(int maxId, double time, VqbString& error) override;

    // The rows of listObjects(folderId) that can be named name ignoring ASCII case, in that
    // listing's order; the caller compares the names. Narrowed in SQL to the rows whose name
    // equals it ignoring ASCII case or is kept apart as a big string (a stored reference), through
    // each type's index on its folder and folded name; the whole listing where the back end has no
    // folded form or for any folder (-1).
    ReposDataAccessCursor* listObjectsNamed(int folderId, const VqbString& name);
    // The same for listObjectsOfType(folderId, typeName).
    ReposDataAccessCursor* listObjectsOfTypeNamed(int folderId, const VqbString& typeName, const VqbString& name);

protected:
    ~MetadataRDAImpl() override;

private:
    // Folders (meta_rdaimpl.cpp).
    // False (logged) for a name no path can reach: empty or holding "/".
    bool checkFolderName(const VqbString& name, int line);
    // True when the folder is the root (0) or has a row; a missing one is logged.
    bool checkFolderExists(int folderId, int line);
    // The folder's parent; found false when it has no row. False when the select failed.
    bool readFolderParent(int folderId, int* parent, bool* found);
    // The folder has sub-folders or objects of any catalogue type filed in it.
    bool folderHasContents(int folderId, bool* hasContents);
    bool insertFolder(int parentId, const VqbString& name, int* id);
    // The lock row of an object; found false when there is none. False when the select failed.
    bool readLockId(int objectId, const VqbString& objectType, int* lockId, bool* found);

    // Resources (meta_rdaimpl_events.cpp).
    bool resourceExists(const VqbString& type, const VqbString& identity, bool* found);

    // Object queries (meta_rdaimpl_objects.cpp).
    // The object rows of several types joined by " UNION ", each part followed by its condition
    // and its values (the same for every part), then order (a single part's).
    using PartCondition = std::function<VqbString(const ObjectTypeInfo&)>;
    ReposDataAccessCursor* selectObjectRows(int line, const std::vector<const ObjectTypeInfo*>& types,
                                            const PartCondition& condition, const std::vector<VqbDatavar>& values,
                                            const char* order = "");
    // Of the object rows of types in folderId, those named name ignoring ASCII case or kept apart;
    // null (nothing run) where the back end cannot narrow them.
    ReposDataAccessCursor* selectObjectsNamed(int line, const std::vector<const ObjectTypeInfo*>& types,
                                              int folderId, const VqbString& name, bool* narrowed);
    std::vector<const ObjectTypeInfo*> folderListedTypes(const ObjectTypeCatalog& catalog) const;
    // "ORDER BY" the order in which objects of type were stored.
    VqbString storedOrder(const ObjectTypeInfo& type);
};

#endif
