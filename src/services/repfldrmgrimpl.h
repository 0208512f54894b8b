// The folder manager: every operation forwards to one operation of a metadata data access that
// the manager owns, and adds its logging and last-error text; the path operations add the rules
// of object paths.
#ifndef REPFLDRMGRIMPL_H
#define REPFLDRMGRIMPL_H

#include "repos_foldermgr.h"
#include "repos_held.h"
#include "repos_metadata_rda.h"
#include "repos_repository.h"
#include "vqlog.h"

class RepositoryFolderManagerImpl : public RepositoryFolderManager {
public:
    // The repository is not owned and must outlive the manager. Without a repository, or when it
    // supplies no metadata data access, every operation but splitPath fails without a log entry.
    explicit RepositoryFolderManagerImpl(Repository* repository);

    void release() override;
    VqbString getErrorMessage() override;
    ReposDataAccessCursor* listItemsInFolder(unsigned folderId) override;
    ReposDataAccessCursor* listChildFolders(unsigned folderId) override;
    ReposDataAccessCursor* getChildFolder(unsigned parentId, const VqbString& name) override;
    bool addFolder(unsigned parentId, const VqbString& name, unsigned& newId) override;
    bool getPathFromId(unsigned folderId, VqbString& path, VqbString& folderName) override;
    bool getIdFromPath(const VqbString& path, unsigned& folderId) override;
    bool splitPath(const VqbString& path, VqbString& folderPath, VqbString& name) override;
    bool deleteFolder(unsigned folderId) override;
    bool renameFolder(unsigned folderId, const VqbString& newName) override;
    bool moveFolder(unsigned folderId, unsigned newParentId) override;
    bool isFolderEmpty(unsigned folderId, bool& empty) override;
    bool getParentFolder(unsigned folderId, unsigned& parentId) override;
    bool getFolderForObject(const VqbString& typeName, unsigned objectId, unsigned& folderId) override;
    bool getOrphanedObjectsFolderId(unsigned& folderId) override;
    ReposDataAccessCursor* listItemsNotInFolder() override;
    bool isObjectLocked(unsigned objectId, const VqbString& typeName) override;
    bool lockObject(unsigned objectId, const VqbString& typeName, const VqbString& user,
                    const VqbString& uuid) override;
    bool unlockObject(unsigned objectId, const VqbString& typeName) override;
    bool getLockInfo(unsigned objectId, const VqbString& typeName, VqbString& uuid, VqbString& user,
                     VqbDatavar& date) override;
    bool moveObjectToFolder(int objectId, const VqbString& typeName, unsigned folderId) override;
    bool getObjectIdFromPath(const VqbString& path, const VqbString& typeName, unsigned& folderId, int& objectId,
                             VqbString& name, VqbString& uuid, VqbString& error) override;
    bool objectExistsAtPath(const VqbString& path, const VqbString& typeName) override;
    bool getObjectPath(unsigned objectId, const VqbString& typeName, VqbString& path) override;

    // The rows of listItemsInFolder that can be named name ignoring ASCII case, in its order (all
    // of them where the data access cannot narrow them): for callers that compare the names.
    ReposDataAccessCursor* listItemsNamed(unsigned folderId, const VqbString& name);

protected:
    ~RepositoryFolderManagerImpl() override;

private:
    // Logs the operation's failure message at level 5, then takes the detail text (or, when it is
    // empty, the data access's error text) as the last error and logs that too.
    bool failed(int line, const VqbString& detail, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void takeError(int line, const VqbString& detail);
    // The handler of an entry point's function-try-block: the caught exception's text becomes the
    // last error, logged at level 5.
    template <class T>
    T caught(int line, T failure) noexcept {
        recordCaught(line);
        return failure;
    }
    void recordCaught(int line) noexcept;
    // listItemsInFolder, or listItemsNamed with a name.
    ReposDataAccessCursor* itemsInFolder(unsigned folderId, const VqbString* name);
    // Object rows of the cursor (released here) whose type and name match, ignoring case; the id
    // and uuid of the last such row.
    static bool findObjectRow(ReposDataAccessCursor* cursor, const VqbString& typeName, const VqbString& name,
                              int& objectId, VqbString* uuid);

    Repository* repository_;
    VqLogger* logger_;
    VqbString lastError_;
    ReposHeld<MetadataRepositoryDataAccess> meta_;
};

#endif
