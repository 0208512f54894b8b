// The administrator: the host's entry into the library.
#ifndef REPOS_ADMIN_H
#define REPOS_ADMIN_H

#include "repos_callbacks.h"
#include "repos_export.h"
#include "vqbstring.h"

class Repository;

// Flag of createRepositoryAdmin: work without a repository list file.
#define REPOS_ADMIN_NO_LIST_FILE 0x1u

class RepositoryAdmin {
public:
    virtual ~RepositoryAdmin() = default;
    virtual VqbString getErrorMessage() = 0;
    virtual void release() = 0;
    // Null restores the built-in callback that never cancels.
    virtual void setStatusCallback(RepositoryStatusCallback* callback) = 0;
    virtual int getCurrentVersion() = 0;
    virtual VqbString getConfigFile() = 0;

    // Repository list file.
    virtual bool beginRepositoryList(bool probe, bool onlyCurrent) = 0;
    virtual bool getNextRepository(VqbString& name, bool& isDefault, VqbString& connection, VqbString& tablePrefix,
                                   VqbString& description, VqbString& versionText, bool& isFile) = 0;

    virtual bool createRepository(const VqbString& connection, const VqbString& tablePrefix) = 0;
    virtual bool createFileRepository(const VqbString& path) = 0;
    virtual bool deleteRepository(const VqbString& connection, const VqbString& tablePrefix) = 0;
    virtual bool deleteFile(const VqbString& path) = 0;
    virtual bool addRepository(const VqbString& connection, const VqbString& tablePrefix, const VqbString& name,
                               bool isFile) = 0;
    virtual bool removeRepository(const VqbString& name) = 0;
    virtual bool setDefaultRepository(const VqbString& name) = 0;
    virtual Repository* openFileRepository(const VqbString& path, bool validate) = 0;
    virtual Repository* openRepository(const VqbString& name, bool validate, const char* poolId) = 0;
    virtual Repository* connectRepository(const VqbString& connection, const VqbString& tablePrefix, bool validate,
                                          const char* poolId) = 0;
    virtual bool lookupRepository(const VqbString& name, VqbString& connection, VqbString& tablePrefix,
                                  bool& isFile) = 0;
    virtual bool createRepositoryWithDDL(const VqbString& connection, const VqbString& tablePrefix,
                                         const VqbString& ddlFile) = 0;
    virtual bool copyRepository(Repository* source, Repository* target) = 0;
};

extern "C" {
// Null on failure; getRepositoryAdminError() then tells why.
REPOS_EXPORT RepositoryAdmin* createRepositoryAdmin(unsigned int flags, const char* listFile);
REPOS_EXPORT const char* getRepositoryAdminError();
}

#endif
