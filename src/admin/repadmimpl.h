#ifndef REPADMIMPL_H
#define REPADMIMPL_H

#include <functional>
#include <vector>

#include "repos_admin.h"
#include "repos_dataaccess.h"
#include "repos_guard.h"
#include "repos_repository.h"
#include "vqlog.h"

class RepositoryImpl;
struct NpFioFile;
struct ReposRowCopy;

// Writes each statement of a repository creation to a script file instead of running it
// (repadmimpl_copy.cpp).
class DDLCB final : public ReposDDLCallback {
public:
    DDLCB();
    ~DDLCB();
    DDLCB(const DDLCB&) = delete;
    DDLCB& operator=(const DDLCB&) = delete;

    bool openDDLFile(const VqbString& path, VqbString& error);
    void writeDDL(const VqbString& statement) override;
    // Closes the file; false with the reason when a statement or the file itself could not be
    // written completely.
    bool close(VqbString& error);

private:
    NpFioFile* file_ = nullptr;
    VqbString prefix_;
    VqbString suffix_;
    VqbString path_;
    bool failed_ = false;
};

// The text getRepositoryAdminError() gives, cut to its buffer; for the C entry points.
void reposSetAdminError(const VqbString& error);

// One repository of the list file.
struct ReposListEntry {
    VqbString name;
    VqbString connection;
    VqbString tablePrefix;
    VqbString description;
    VqbString versionText;
    int version = -1;
    int kind = 0;
    bool isDefault = false;
    bool isFile = false;
};

class RepositoryAdminImpl : public RepositoryAdmin, private ReposGuard<RepositoryAdminImpl> {
public:
    RepositoryAdminImpl(unsigned flags, const char* listFile);
    ~RepositoryAdminImpl() override;

    VqbString getErrorMessage() override { return lastError_; }
    void release() override { delete this; }
    void setStatusCallback(RepositoryStatusCallback* callback) override;
    int getCurrentVersion() override { return REPOS_CURRENT_VERSION; }
    VqbString getConfigFile() override { return listPath_; }

    bool beginRepositoryList(bool probe, bool onlyCurrent) override;
    bool getNextRepository(VqbString& name, bool& isDefault, VqbString& connection, VqbString& tablePrefix,
                           VqbString& description, VqbString& versionText, bool& isFile) override;
    bool createRepository(const VqbString& connection, const VqbString& tablePrefix) override;
    bool createFileRepository(const VqbString& path) override;
    bool deleteRepository(const VqbString& connection, const VqbString& tablePrefix) override;
    bool deleteFile(const VqbString& path) override;
    bool addRepository(const VqbString& connection, const VqbString& tablePrefix, const VqbString& name,
                       bool isFile) override;
    bool removeRepository(const VqbString& name) override;
    bool setDefaultRepository(const VqbString& name) override;
    Repository* openFileRepository(const VqbString& path, bool validate) override;
    Repository* openRepository(const VqbString& name, bool validate, const char* poolId) override;
    Repository* connectRepository(const VqbString& connection, const VqbString& tablePrefix, bool validate,
                                  const char* poolId) override;
    bool lookupRepository(const VqbString& name, VqbString& connection, VqbString& tablePrefix,
                          bool& isFile) override;
    bool createRepositoryWithDDL(const VqbString& connection, const VqbString& tablePrefix,
                                 const VqbString& ddlFile) override;
    bool copyRepository(Repository* source, Repository* target) override;

    // The list file, read and written whole.
    bool loadRepositoryList();
    bool saveRepositoryList();
    // The list text as the file holds it (also used by tests).
    static VqbString formatRepositoryList(const std::vector<ReposListEntry>& entries);

    // Opens through the connector; null with the reason in the last error.
    RepositoryImpl* openRepositoryImpl(const VqbString& connection, const VqbString& tablePrefix, bool validate,
                                       const char* poolId);
    // Creates every table and the initial rows of a new repository. With a DDL file (not null) the
    // statements are written to it instead of being run, and an existing repository is not looked for.
    bool createRepositoryTables(const VqbString& connection, const VqbString& tablePrefix, const VqbString& ddlFile);
    // The same in a repository already open (which stays open).
    bool createTablesIn(RepositoryImpl* repository, const VqbString& ddlFile);
    // Drops every table of the repository (which stays open).
    bool dropTablesIn(RepositoryImpl* repository);
    // The connector's connection text for a SQLite repository file, made when missing with create.
    static VqbString fileConnection(const VqbString& path, bool create = true);

private:
    bool fail(int line, const VqbString& text);
    // A failure a lower layer (repository, connection) has logged: its text as last error, not
    // logged again; false.
    bool handOn(const VqbString& text);
    // An exception stopped a public operation (caught): its text as fail does.
    friend class ReposGuard<RepositoryAdminImpl>;
    void keepCaught(int line, const char* text) { fail(line, VqbString(text)); }
    // Reads the list, applies the change and writes the list back, as one step among every
    // writer of the list file.
    bool changeRepositoryList(const std::function<bool()>& change);
    // False with 1305 when the name is in the list read last.
    bool nameUnlisted(const VqbString& name);
    // False when a text of a new entry could not be written to the list file and read back.
    bool listableTexts(const VqbString& name, const VqbString& connection, const VqbString& tablePrefix);
    // The connection's reason (its detail, else its general text) as last error; false.
    bool connectionFailure(int line, ReposDataAccess* db);
    // The checks of a validating open: a SQLite file that is not a repository, the versions, an
    // unfinished copy.
    bool validated(RepositoryImpl* repository);
    // openFileRepository; through the connector a missing file is made only with mayCreate.
    RepositoryImpl* openFile(const VqbString& path, bool validate, bool mayCreate);
    // Opens a list entry without validation and never makes a database that is not there.
    Repository* openForProbe(const ReposListEntry& entry);
    // Fills the probe columns of an entry from an opened repository.
    void probeRepository(Repository* repo, ReposListEntry& entry);
    // A connector entry is listed only when it can be opened and can hold a repository.
    bool checkConnectorRepository(const VqbString& connection, const VqbString& tablePrefix);

    // Copy steps (repadmimpl_copy.cpp) from one repository into another; each false leaves the
    // reason in the last error.
    bool clearBigStrings(RepositoryImpl* to);
    bool copyHistogramTables(RepositoryImpl* from, RepositoryImpl* to);
    bool copyFreqDistTables(RepositoryImpl* from, RepositoryImpl* to);
    bool copyCatalogTables(RepositoryImpl* from, RepositoryImpl* to);
    bool keepBigStringIds(RepositoryImpl* to);
    bool copySpecTables(RepositoryImpl* from, RepositoryImpl* to);
    bool copyTable(ReposDataAccess* source, ReposDataAccess* target, const ReposRowCopy& copy);
    // Whether the two repositories are one database and prefix, seen through two objects.
    bool sameRepository(RepositoryImpl* source, RepositoryImpl* target, bool* same);

    VqbString lastError_;
    DummyCallback dummyCallback_;
    std::vector<ReposListEntry> list_;
    size_t listPos_ = 0;
    bool onlyCurrent_ = false;
    VqLogger* logger_ = nullptr;
    VqbString listPath_;
    RepositoryStatusCallback* statusCallback_ = nullptr;
};

#endif
