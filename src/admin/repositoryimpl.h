// One open repository: its connection, the versions read from INFO, the XML table sets of the
// installation, the initial data of a new repository, and the factory of every typed data-access
// object and service.
//
// Files by concern: repositoryimpl.cpp (open, versions, getters, release),
// repositoryimpl_factories.cpp (factories, key/values, forwarders), repositoryimpl_create.cpp
// (initial rows and INFO rows), repositoryimpl_specs.cpp (the XML table-set applier) and
// versiondata.cpp (id counters and dashboard defaults, shared with the data upgrades),
// repositoryimpl_worktables.cpp (work-table copy, export and import).
#ifndef REPOSITORYIMPL_H
#define REPOSITORYIMPL_H

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "repos_callbacks.h"
#include "repos_dataaccess.h"
#include "repos_guard.h"
#include "repos_held.h"
#include "repos_repository.h"
#include "repos_tables.h"
#include "repos_tables_xml.h"
#include "vqlog.h"

class CommonRDAImpl;
class RepositoryAdminImpl;

// The rows of one table copied from one connection into another (repositoryimpl_worktables.cpp).
struct ReposRowCopy {
    VqbString table;  // for messages
    VqbString select;  // run on the source
    VqbString remove;  // empties the target table first
    VqbString insert;  // one "?" per selected column
    std::vector<std::pair<int, int>> params;  // type and size of each parameter
};
// Empties the target table and fills it, in one transaction of the target, so a failure leaves
// the table as it was. Each statement is shown to status first. False with the reason in error.
bool reposCopyRows(ReposDataAccess* source, ReposDataAccess* target, const ReposRowCopy& copy,
                   RepositoryStatusCallback* status, VqbString& error, long long* rows = nullptr);

class RepositoryImpl : public Repository, private ReposGuard<RepositoryImpl> {
public:
    RepositoryImpl();

    // Connects (mode 1 through the connector, mode 0 the SQLite file itself), reads the XML table
    // sets and the versions. Failures go to error, not to the last error text; the caller then
    // releases the object. createFile makes a new SQLite file (mode 0 only).
    bool open(bool createFile, RepositoryAdminImpl* admin, RepositoryAccessMode mode, const VqbString& connection,
              const VqbString& tablePrefix, const VqbString& poolId, RepositoryStatusCallback* callback,
              VqbString& error);
    // (Re)reads the kind, versions and type-version map from INFO.
    bool readVersionInfo();

    // Repository
    VqbString getErrorMessage() override { return lastError_; }
    void release() override;
    void getRepositoryInfo(RepositoryAccessMode& mode, RepositoryKind& kind, int& version, int& secondVersion) override;
    void getConnectionInfo(VqbString& connection, VqbString& tablePrefix) override;
    bool isVersionAcceptable() override;
    bool hasNCOA() override;
    bool isMinorVersionAcceptable() override;
    bool noOp8() override { return true; }
    bool noOp9() override { return true; }
    bool noOp10() override { return true; }
    bool upgrade() override;
    bool upgradeNCOA() override;
    int getMaxTextLength() override;
    bool noOp14() override { return true; }
    bool exportFrequencyTablesByDate(const VqbDate& from, const VqbDate& to, const VqbString& directory,
                                     bool dropAfter) override;
    bool exportFrequencyTablesById(unsigned from, unsigned to, const VqbString& directory, bool dropAfter) override;
    bool exportStandardMetricTablesByDate(const VqbDate& from, const VqbDate& to, const VqbString& directory,
                                          bool dropAfter) override;
    bool exportStandardMetricTablesById(unsigned from, unsigned to, const VqbString& directory,
                                        bool dropAfter) override;
    bool exportCustomMetricTablesByDate(const VqbDate& from, const VqbDate& to, const VqbString& directory,
                                        bool dropAfter) override;
    bool exportCustomMetricTablesById(unsigned from, unsigned to, const VqbString& directory, bool dropAfter) override;
    bool importTableFile(const VqbString& path) override;
    bool noOp22() override { return true; }
    CommonRepositoryDataAccess* createCommonRepositoryDataAccess() override;
    ProfileRepositoryDataAccess* createProfileRepositoryDataAccess() override;
    ExplorerRepositoryDataAccess* createExplorerRepositoryDataAccess() override;
    MetadataRepositoryDataAccess* createMetadataRepositoryDataAccess() override;
    MonitorRepositoryDataAccess* createMonitorRepositoryDataAccess() override;
    RefDataRepositoryDataAccess* createRefDataRepositoryDataAccess() override;
    RepositoryFolderManager* createRepositoryFolderManager() override;
    RepositoryImpactAnalysis* createRepositoryImpactAnalysis() override;
    VqbString getRepositoryUuid() override;
    RepositoryImportExportManager* createRepositoryImportExportManager() override;
    bool setKeyValue(const VqbString& key, const VqbString& value) override;
    bool getKeyValue(const VqbString& key, VqbString& value) override;
    bool deleteKeyValue(const VqbString& key) override;
    ReposDataAccessCursor* listKeyValueKeys() override;
    ReposDataAccessCursor* listKeyValues() override;
    RepositoryEventQueueManager* createRepositoryEventQueueManager() override;
    NCOARepositoryDataAccess* createNCOARepositoryDataAccess() override;
    FieldMappingAdminObject* createFieldMappingAdminObject() override;
    int getMinorVersion() override { return minorVersion_; }
    bool getTypeVersion(const VqbString& typeName, int* version) override;
    bool getNextId(const VqbString& key, unsigned* id, VqbString* error) override;
    bool getNextIds(const VqbString& key, int count, unsigned* firstId, VqbString* error) override;
    DacConnection* getConnection() override;
    bool getTableName(const VqbString& name, bool qualified, VqbString* out) override;
    bool getSchemaName(VqbString* schema) override;
    bool getPrefix(bool afterDot, VqbString* prefix, VqbString* error) override;
    bool getBigString(const VqbString& value, VqbString* out, VqbString* error) override;
    bool putBigString(const VqbString& value, VqbString* out, VqbString* error) override;
    ReposDataAccessCursor* paramSelect(const VqbString& sql, VqbString* error, int count, ...) override;

    // Statements go to the callback instead of being run (connector back end); null ends that.
    void setDDLCallback(ReposDDLCallback* callback);
    bool inDDLMode() const { return ddlMode_; }

    // Initial rows of a new repository and its INFO rows. A failed INFO insert does not stop the
    // others, but the result is then false.
    bool createInfoRows();
    bool installInitialProfileData();
    bool installInitialMonitorData();

    // XML table sets. Modes: create (drop, create), delete (drop), upgrade count (upgrade,
    // countOnly), upgrade (upgrade).
    bool applyTableSpecs(bool dropTables, bool createTables, bool upgrade, bool countOnly, unsigned* count);
    int getSpecCount() const { return specReader_ ? specReader_->getSpecCount() : 0; }
    const ReposTableSetSpec* getSpec(int i) const;

    enum class ExpandMode { QualifiedTable, BareTable, Plain, Macro };
    // Replaces every "<delim>name<delim>"; the scan goes on behind each replacement, so a
    // replacement is never expanded again. False (error set) when the text outgrows the limit.
    bool expandDelimited(const VqbString& text, const char* delimiter, ExpandMode mode, const VqbString& key,
                         const VqbString& value, VqbString& out, VqbString& error);

    // Data steps shared with the upgrade.
    bool ensureIdCounters();
    bool ensureDashboardDefaults();

    // Upgrades (repositoryimpl_upgrade.cpp): the INFO version rows, and the data steps run once the
    // tables are up to date (dataupgrades.cpp).
    bool updateVersionInfo(bool ncoaOnly);
    bool applyDataUpgrades(bool ncoaOnly);
    // The upgrade of a current repository that lacks some of the catalogue's indexes: the table
    // checks alone (with ncoa, of the NCOA tables too); false with the reason when one is not made.
    bool addMissingIndexes(bool ncoa);

    // The database is one SQLite file, opened directly or through the connector.
    bool isFileDatabase();
    // That file as the caller named it (the path, or the connection text's FILE); empty on a server.
    VqbString databaseFile();

    // Fills the SQLite repository file targetPath from a legacy profile result-set file
    // (movesqlitedata.cpp).
    bool moveSqliteData(const VqbString& sourcePath, const VqbString& targetPath);

    // Work tables FRQDST<n>, HSM<n>, HCM<n> (repositoryimpl_worktables.cpp). Highest ids, -1 when
    // they cannot be read.
    int getMaxMetricSetId();
    int getMaxFieldId();
    // The base names (FRQDST7, HSM2 ...) of this repository's work tables that exist, read from
    // the database's own list of tables: exactly this repository's prefix, then a work-table name.
    bool listWorkTables(std::vector<VqbString>& names);
    // True when the tables are gone afterwards, also when there were none.
    bool dropMetricTables(unsigned n);
    bool dropFrequencyTable(unsigned n);
    // Replaces this repository's table with the source's rows and this kind's indexes; a table
    // the source does not have is left alone. base is "HSM" or "HCM".
    bool copyMetricTable(RepositoryImpl* source, const char* base, unsigned n);
    bool copyFrequencyTable(RepositoryImpl* source, unsigned n);
    bool writeTableXml(const VqbString& name, const VqbString& directory, bool dropAfter);
    ReposDataAccessCursor* selectFieldIdsByJobDate(const VqbDate& from, const VqbDate& to);
    ReposDataAccessCursor* selectMetricIdsByExecDate(const VqbDate& from, const VqbDate& to);

    // A copy into this repository marks it before its first table and clears the mark after its
    // last: it runs in no transaction, and a target it left half copied must not pass for whole.
    bool markCopyUnfinished(bool unfinished);
    bool isCopyUnfinished(bool* unfinished);

    ReposDataAccess* connection() const { return connection_.get(); }
    RepositoryAdminImpl* admin() const { return admin_; }

private:
    friend class ReposDataUpgrade;
    ~RepositoryImpl() override;

    // The detailed text of the connection's last failure, else its general text.
    VqbString connectionError();
    // A statement's failure: its own text, or the connection's detail where the statement has
    // only the general text.
    VqbString statementError(ReposDataAccessStatement* statement);
    // The connection's failure as last error: shown, and logged at level 5 unless the connection
    // logged it; false.
    bool failFromConnection(int line);
    // A failure a lower layer has logged: its text as last error, shown, not logged again; false.
    bool handOn(const VqbString& text);
    // A text of ours as last error: shown, logged at level 5; false.
    bool fail(int line, const VqbString& text);
    // An exception stopped a public operation (caught): its text as fail does.
    friend class ReposGuard<RepositoryImpl>;
    void keepCaught(int line, const char* text) { fail(line, VqbString(text)); }
    RepositoryStatusCallback* status() { return statusCallback_ ? statusCallback_ : &dummyCallback_; }
    VqbString table(const char* name) { return connection_->getTableName(name, true, -1); }

    // Shows the statement, runs it with the values bound in order; failure as failFromConnection.
    template <class... Values>
    bool exec(int line, const VqbString& sql, const Values*... values) {
        status()->reportMessage(sql);
        if (connection_->paramExec(sql, nullptr, static_cast<int>(sizeof...(Values)), values...)) return true;
        return failFromConnection(line);
    }
    template <class... Values>
    bool singletonInt(int line, const VqbString& sql, int* out, const Values*... values) {
        status()->reportMessage(sql);
        if (connection_->paramSingletonInt(sql, out, static_cast<int>(sizeof...(Values)), values...)) return true;
        return failFromConnection(line);
    }

    // One key/value call on a common data access made for it alone; on failure (false, null) the
    // reason is the last error.
    template <class Result, class Call>
    Result withKeyValues(Call call);

    bool insertInfoRow(const char* type, int version, const VqbString* description, const VqbString* uuid,
                       const int* minorVersion);

    // Work-table helpers (repositoryimpl_worktables.cpp).
    bool copyWorkTable(RepositoryImpl* source, const VqbString& name, bool* copied);
    bool dropWorkTable(const VqbString& name, bool (ReposDataAccess::*check)(const VqbString&, int), unsigned n);
    bool exportById(const char* family, unsigned from, unsigned to, const VqbString& directory, bool dropAfter);
    bool exportByDate(const char* family, ReposDataAccessCursor* ids, const VqbString& directory, bool dropAfter);

    // Applier helpers.
    bool runSpecStatement(const ReposStmtSpec& statement, bool ignoreErrors, const ReposMacroMap& macros);
    bool insertSpecRows(const ReposTableSetSpec& set);
    bool specFailure(int line, const VqbString& text, bool ignoreErrors, bool loggedBelow = true);
    bool recordSpecVersion(const ReposTableSetSpec& set);

    // Dashboard-default helpers (versiondata.cpp).
    bool ensureCounterAtLeast(const char* key, int value);
    // A failed connection call: its reason as last error, then as abortDashboard.
    bool dashboardFailure(int line, ReposHeld<ReposDataAccessCursor> cursor);
    // Ends the cursor, then rolls the step's transaction back; false.
    bool abortDashboard(ReposHeld<ReposDataAccessCursor> cursor);

    VqbString lastError_;
    RepositoryAdminImpl* admin_ = nullptr;
    int version_ = 0;
    int secondVersion_ = 0;
    int minorVersion_ = 0;
    int ncoaVersion_ = 0;
    RepositoryAccessMode accessMode_ = REPOS_ACCESS_SQLITE_FILE;
    RepositoryKind kind_ = REPOS_KIND_NONE;
    RepositoryStatusCallback* statusCallback_ = nullptr;
    VqbString connectionText_;
    VqbString tablePrefix_;
    VqLogger* logger_ = nullptr;
    std::map<VqbString, int> typeVersions_;
    std::unique_ptr<ReposTableSpecReader> specReader_;
    bool ddlMode_ = false;
    ReposHeld<ReposDataAccess> connection_;
    DummyCallback dummyCallback_;
};

#endif
