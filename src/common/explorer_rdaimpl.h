// The data-exploration data access over a repository connection.
#ifndef EXPLORER_RDAIMPL_H
#define EXPLORER_RDAIMPL_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "base_rdaimpl.h"
#include "repos_explorer_rda.h"

// The keyed inserts, one per add operation.
enum class ExplorerInsert {
    Project,
    Connection,
    Table,
    Field,
    ProjectDatabase,
    ProjectTable,
    ProjectField,
    Index,
    PrimaryKey,
    PrimaryKeyField,
    ForeignKey,
    ForeignKeyField,
    StoredProcedure,
    StoredProcedureField,
    IdentificationDefinition,
    IdentificationValue,
    Sample,
    ProjectFieldSample,
    MatchDefinition,
    ProjectFieldMatches,
};
constexpr size_t kExplorerInsertCount = static_cast<size_t>(ExplorerInsert::ProjectFieldMatches) + 1;

struct ExplorerColumn {
    const char* name;
    int type;  // VQB_TYPE_INT, VQB_TYPE_REAL or VQB_TYPE_STRING, as the catalogue has it
};

constexpr size_t kExplorerMaxColumns = 14;

// One insert: each value is bound with its column's type, whatever type the caller's value has.
struct ExplorerInsertSpec {
    const char* table;
    const char* idKey;  // the id counter of the row's new id; null when it takes none
    int idColumn;       // the position of the new id among the columns; -1 when none
    size_t columnCount;
    ExplorerColumn columns[kExplorerMaxColumns];
};

const ExplorerInsertSpec& explorerInsertSpec(ExplorerInsert which);

// The value as the column type wants it. Texts become integers only when they are whole decimal
// numbers (an empty text becomes a null); false for any other value that does not fit.
bool explorerColumnValue(const VqbDatavar& value, int type, VqbDatavar& out);

class ExplorerRDAImpl : public BaseRDAImpl, public ExplorerRepositoryDataAccess {
public:
    explicit ExplorerRDAImpl(ReposDataAccess* connection);

    bool addProject(const VqbString& name, const VqbString& comment, const VqbString& user,
                    const VqbString& reserved, int folderId, uint32_t* id) override;
    bool addConnection(const VqbString& databaseName, const VqbString& connectionString,
                       const VqbString& connectionType, uint32_t* id) override;
    bool addTable(uint32_t dbId, const VqbString& name, const VqbString& schema, const VqbString& tableType,
                  const VqbString& catalog, uint32_t* id) override;
    bool addField(uint32_t tableId, uint32_t dbId, const VqbString& name, const VqbString& fieldType, int length,
                  int position, uint32_t* id) override;
    bool addProjectDatabase(uint32_t projectId, uint32_t dbId, int dbVersion) override;
    bool addProjectTable(uint32_t projectId, uint32_t tableId) override;
    bool addProjectField(uint32_t projectId, uint32_t fieldId) override;
    bool addIndex(uint32_t projectId, uint32_t dbId, const VqbString& name, const VqbString& expression,
                  uint32_t* id) override;
    bool addPrimaryKey(uint32_t projectId, uint32_t dbId, uint32_t tableId, const VqbString& keyName) override;
    bool addPrimaryKeyField(uint32_t projectId, uint32_t dbId, uint32_t tableId, const VqbString& keyName,
                            uint32_t fieldId) override;
    bool addForeignKey(uint32_t projectId, uint32_t dbId, uint32_t tableId, const VqbString& keyName) override;
    bool addForeignKeyField(uint32_t projectId, const VqbString& keyName, uint32_t dbId, uint32_t fkTableId,
                            uint32_t fkFieldId, uint32_t pkDbId, uint32_t pkTableId, uint32_t pkFieldId) override;
    bool addStoredProcedure(uint32_t projectId, uint32_t dbId, const VqbString& name, const VqbString& remarks,
                            const VqbString& procedureType, uint32_t* id) override;
    bool addStoredProcedureField(uint32_t projectId, uint32_t dbId, uint32_t procedureId, const VqbString& name,
                                 const VqbString& fieldType) override;
    bool addIdentificationDefinition(uint32_t projectId, uint32_t definitionId, const VqbString& name,
                                     bool nameSampling, const VqbString& locale, uint32_t* id) override;
    bool addIdentificationValue(uint32_t projectId, uint32_t definitionId, int valueId, const VqbString& value,
                                const VqbString& description, bool sampleFlag, uint32_t* id) override;
    bool addSample(uint32_t projectId, uint32_t fieldId, uint32_t valueRecordId, int sampleType, int n, int size,
                   int matches, uint32_t* id) override;
    bool addProjectFieldSample(uint32_t projectId, uint32_t fieldId, uint32_t valueRecordId, bool sampleFlag,
                               uint32_t sampleId) override;
    bool addMatchDefinition(uint32_t projectId, int userMatch, int definitionId, const VqbString& name,
                            const VqbString& locale, int sensitivity, uint32_t* id) override;
    bool addProjectFieldMatches(uint32_t projectId, uint32_t fieldId, const VqbString& class1, int match1,
                                const VqbString& class2, int match2, const VqbString& class3, int match3,
                                const VqbString& class4, int match4, const VqbString& class5, int match5,
                                const VqbString& class6) override;

    ReposDataAccessCursor* listProjects() override;
    ReposDataAccessCursor* getProject(uint32_t projectId) override;
    ReposDataAccessCursor* listProjectTables(uint32_t projectId) override;
    ReposDataAccessCursor* getIdentificationDefinition(uint32_t projectId, const VqbString& name,
                                                       const VqbString& locale, uint32_t definitionId,
                                                       bool nameSampling) override;
    ReposDataAccessCursor* listIdentificationDefinitions(uint32_t projectId, bool nameSampling) override;
    ReposDataAccessCursor* listIdentificationValues(uint32_t projectId, uint32_t definitionId) override;
    ReposDataAccessCursor* listSampledFields(uint32_t projectId, uint32_t valueRecordId) override;
    ReposDataAccessCursor* listMatchDefinitions(uint32_t projectId) override;

    bool getProjectByName(const VqbString& name, int folderId) override;
    bool existsProject(uint32_t projectId) override;
    bool clearProject(uint32_t projectId) override;
    bool deleteProject(uint32_t projectId) override;
    bool updateProject(uint32_t projectId, const VqbString& name, const VqbString& comment) override;
    bool setProjectLastRun(uint32_t projectId, double lastRunDate, int duration, int state) override;

protected:
    ~ExplorerRDAImpl() override;

private:
    // Runs the insert with the values of its columns in order, the new id left out; the new id
    // goes to id when given.
    bool insertRow(ExplorerInsert which, std::initializer_list<VqbDatavar> values, uint32_t* id);
    // Whether another project of the folder has the name (-1 on failure); except 0 excludes none.
    int nameTaken(const VqbString& name, int folderId, uint32_t except);
    // True (logged when taken) when the name is taken or the check failed.
    bool refuseTakenName(int line, const VqbString& name, int folderId, uint32_t except);
};

#endif
