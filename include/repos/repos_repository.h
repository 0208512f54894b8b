// One open repository: versions, upgrade, work-table export and import, key/values, and the
// factory of every typed data-access object and service.
#ifndef REPOS_REPOSITORY_H
#define REPOS_REPOSITORY_H

#include <cstdarg>

#include "repos_dataaccess.h"
#include "vqbdatavar.h"
#include "vqbstring.h"

class CommonRepositoryDataAccess;
class ProfileRepositoryDataAccess;
class ExplorerRepositoryDataAccess;
class MetadataRepositoryDataAccess;
class MonitorRepositoryDataAccess;
class RefDataRepositoryDataAccess;
class NCOARepositoryDataAccess;
class RepositoryFolderManager;
class RepositoryImpactAnalysis;
class RepositoryImportExportManager;
class RepositoryEventQueueManager;
class FieldMappingAdminObject;
class DacConnection;

// How a repository is reached.
enum RepositoryAccessMode {
    REPOS_ACCESS_SQLITE_FILE = 0,  // a SQLite file opened directly
    REPOS_ACCESS_CONNECTOR = 1,    // through the data-access connector
};

enum RepositoryKind {
    REPOS_KIND_NONE = 0,
    REPOS_KIND_PROFILE = 1,            // profile results only
    REPOS_KIND_MONITOR = 2,            // monitor only
    REPOS_KIND_UNIFIED = 3,
    REPOS_KIND_PROFILE_AND_MONITOR = 4,
};

// The repository version this library creates and works with.
#define REPOS_CURRENT_VERSION 8
#define REPOS_CURRENT_MINOR_VERSION 1
#define REPOS_CURRENT_NCOA_VERSION 1

class Repository {
public:
    virtual ~Repository() = default;
    virtual VqbString getErrorMessage() = 0;
    virtual void release() = 0;
    virtual void getRepositoryInfo(RepositoryAccessMode& mode, RepositoryKind& kind, int& version,
                                   int& secondVersion) = 0;
    virtual void getConnectionInfo(VqbString& connection, VqbString& tablePrefix) = 0;
    virtual bool isVersionAcceptable() = 0;
    virtual bool hasNCOA() = 0;
    virtual bool isMinorVersionAcceptable() = 0;
    virtual bool noOp8() = 0;
    virtual bool noOp9() = 0;
    virtual bool noOp10() = 0;
    virtual bool upgrade() = 0;
    virtual bool upgradeNCOA() = 0;
    virtual int getMaxTextLength() = 0;
    virtual bool noOp14() = 0;

    // Work tables FRQDST<n>, HSM<n>, HCM<n> written to one XML file each; ids in [from, to).
    virtual bool exportFrequencyTablesByDate(const VqbDate& from, const VqbDate& to, const VqbString& directory,
                                             bool dropAfter) = 0;
    virtual bool exportFrequencyTablesById(unsigned from, unsigned to, const VqbString& directory,
                                           bool dropAfter) = 0;
    virtual bool exportStandardMetricTablesByDate(const VqbDate& from, const VqbDate& to,
                                                  const VqbString& directory, bool dropAfter) = 0;
    virtual bool exportStandardMetricTablesById(unsigned from, unsigned to, const VqbString& directory,
                                                bool dropAfter) = 0;
    virtual bool exportCustomMetricTablesByDate(const VqbDate& from, const VqbDate& to, const VqbString& directory,
                                                bool dropAfter) = 0;
    virtual bool exportCustomMetricTablesById(unsigned from, unsigned to, const VqbString& directory,
                                              bool dropAfter) = 0;
    virtual bool importTableFile(const VqbString& path) = 0;
    virtual bool noOp22() = 0;

    // Factories: every call builds a new object, ended with its own release() before the
    // repository is released. Null when the area is not available.
    virtual CommonRepositoryDataAccess* createCommonRepositoryDataAccess() = 0;
    virtual ProfileRepositoryDataAccess* createProfileRepositoryDataAccess() = 0;
    virtual ExplorerRepositoryDataAccess* createExplorerRepositoryDataAccess() = 0;
    virtual MetadataRepositoryDataAccess* createMetadataRepositoryDataAccess() = 0;
    virtual MonitorRepositoryDataAccess* createMonitorRepositoryDataAccess() = 0;
    virtual RefDataRepositoryDataAccess* createRefDataRepositoryDataAccess() = 0;
    virtual RepositoryFolderManager* createRepositoryFolderManager() = 0;
    virtual RepositoryImpactAnalysis* createRepositoryImpactAnalysis() = 0;
    virtual VqbString getRepositoryUuid() = 0;
    virtual RepositoryImportExportManager* createRepositoryImportExportManager() = 0;

    // Key/values of table KEYVAL.
    virtual bool setKeyValue(const VqbString& key, const VqbString& value) = 0;
    virtual bool getKeyValue(const VqbString& key, VqbString& value) = 0;
    virtual bool deleteKeyValue(const VqbString& key) = 0;
    virtual ReposDataAccessCursor* listKeyValueKeys() = 0;
    virtual ReposDataAccessCursor* listKeyValues() = 0;

    virtual RepositoryEventQueueManager* createRepositoryEventQueueManager() = 0;
    virtual NCOARepositoryDataAccess* createNCOARepositoryDataAccess() = 0;
    virtual FieldMappingAdminObject* createFieldMappingAdminObject() = 0;
    virtual int getMinorVersion() = 0;
    // The version of an INFO type (0 when the repository has no such row); always true.
    virtual bool getTypeVersion(const VqbString& typeName, int* version) = 0;

    // Forwarders to the repository's connection for callers that run their own SQL. Error
    // out-parameters receive the connection's detailed error text.
    virtual bool getNextId(const VqbString& key, unsigned* id, VqbString* error) = 0;
    virtual bool getNextIds(const VqbString& key, int count, unsigned* firstId, VqbString* error) = 0;
    virtual DacConnection* getConnection() = 0;
    virtual bool getTableName(const VqbString& name, bool qualified, VqbString* out) = 0;
    virtual bool getSchemaName(VqbString* schema) = 0;
    virtual bool getPrefix(bool afterDot, VqbString* prefix, VqbString* error) = 0;
    virtual bool getBigString(const VqbString& value, VqbString* out, VqbString* error) = 0;
    virtual bool putBigString(const VqbString& value, VqbString* out, VqbString* error) = 0;
    // count VqbDatavar* parameters follow.
    virtual ReposDataAccessCursor* paramSelect(const VqbString& sql, VqbString* error, int count, ...) = 0;
};

#endif
