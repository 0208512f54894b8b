// Profile jobs: a job setup with its child rows, exported, imported as a new job, updated in place
// and deleted through the profile data access.
#ifndef REPMETAPROFJOBIMPL_H
#define REPMETAPROFJOBIMPL_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "repmetacommonimpl.h"
#include "repos_profile_rda.h"

// The ids the rows of one list hang from: the job's, and those of the enclosing elements (new ids
// when importing).
struct ReposJobIds {
    uint32_t job = 0;
    uint32_t dataSource = 0;
    uint32_t table = 0;
    uint32_t field = 0;
    uint32_t owner = 0;  // the alert or chart of property lists
    uint32_t rule = 0;
    uint32_t metric = 0;
    uint32_t sequence = 0;  // of the table rule or table metric
    int position = 0;       // the element's place in its list, from 1
    RepositoryMetadataObject* parent = nullptr;  // the element whose nested list this is
};

struct ReposJobList;
struct ReposJobRows;

// The handler of one job's export or import content over the manager's profile data access.
class ProfileJobMetaContentImpl : public RepositoryMetaContentImpl {
public:
    ProfileJobMetaContentImpl(RepositoryImportExportManagerImpl* owner, Repository* repository,
                              ProfileRepositoryDataAccess* profile, unsigned jobId);
    ~ProfileJobMetaContentImpl() override;

    bool exportContent(RepositoryMetadataObject* root, VqbString& error);
    // Replaces the job's child rows by those of the object.
    bool importContent(unsigned folder, VqbString& error);

    ProfileRepositoryDataAccess* profile;

private:
    // The one rule of every list, driven by the list's table row.
    bool exportList(const ReposJobList& list, RepositoryMetadataObject* parent, ReposJobIds ids, VqbString& error);
    bool importList(const ReposJobList& list, RepositoryMetadataObject* parent, ReposJobIds ids, VqbString& error);
    // Export: the rows of one parent, taken from its child table read whole for the job at the first
    // parent, so that the export costs one statement per table however many parents there are.
    ReposDataAccessCursor* rowsOf(const ReposJobList& list, const ReposJobIds& ids);

    // Export: per child table, its rows grouped by parent.
    std::unordered_map<std::string, std::unique_ptr<ReposJobRows>> grouped_;
    // Import: the rows of each list found or inserted so far, by list and match key. The import
    // starts on a job whose child rows were just cleared, so these are all the rows there are.
    std::unordered_map<std::string, uint32_t> known_;
};

class ProfileJobManagerImpl : public RepositoryObjectManagerImpl {
public:
    explicit ProfileJobManagerImpl(RepositoryImportExportManagerImpl* owner) : RepositoryObjectManagerImpl(owner) {}

    bool deleteObject(unsigned id, const VqbString& uuid, VqbString& error) override;
    bool exportObject(unsigned id, const VqbString& uuid, VqbString& output, VqbString& error) override;
    bool importObject(RepositoryMetadataObject* object, unsigned folderId, const VqbString& name,
                      VqbString& error) override;
    bool updateObject(RepositoryMetadataObject* object, unsigned id, const VqbString& existingUuid,
                      unsigned folderId, const VqbString& existingName, VqbString& error) override;
};

#endif
