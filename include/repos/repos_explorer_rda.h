// Data-exploration projects: what a user found exploring source databases (connections, tables,
// fields, keys, indexes, stored procedures), the identification analysis, samples and match
// definitions.
//
// Connections, tables and fields (MDBCON, MTABLE, MDFLD) are shared by projects, which refer to
// them; everything else a project owns is removed by clearProject and deleteProject. Ids are row
// ids from the repository's id counters; an out id may be null. Cursors are in-memory, owned by
// the caller and ended with their release(); they are read by column position, so the column
// orders given here are part of the interface. Failures give false or null; getErrorMessage then
// gives the connection's general error text and the log holds the detail.
#ifndef REPOS_EXPLORER_RDA_H
#define REPOS_EXPLORER_RDA_H

#include <cstdint>

#include "repos_typed.h"

class ExplorerRepositoryDataAccess : public virtual ReposTypedDataAccess {
protected:
    ~ExplorerRepositoryDataAccess() override = default;

public:
    // A project in a folder (a negative folder id files it at the root, 0). Refused when the
    // folder already holds a project of that name (compared exactly). The user is both creator and
    // modifier; reserved is not stored. Announces the creation.
    virtual bool addProject(const VqbString& name, const VqbString& comment, const VqbString& user,
                            const VqbString& reserved, int folderId, uint32_t* id) = 0;
    virtual bool addConnection(const VqbString& databaseName, const VqbString& connectionString,
                               const VqbString& connectionType, uint32_t* id) = 0;
    virtual bool addTable(uint32_t dbId, const VqbString& name, const VqbString& schema, const VqbString& tableType,
                          const VqbString& catalog, uint32_t* id) = 0;
    virtual bool addField(uint32_t tableId, uint32_t dbId, const VqbString& name, const VqbString& fieldType,
                          int length, int position, uint32_t* id) = 0;
    virtual bool addProjectDatabase(uint32_t projectId, uint32_t dbId, int dbVersion) = 0;
    virtual bool addProjectTable(uint32_t projectId, uint32_t tableId) = 0;
    virtual bool addProjectField(uint32_t projectId, uint32_t fieldId) = 0;
    // Indexes and stored procedures share one id counter.
    virtual bool addIndex(uint32_t projectId, uint32_t dbId, const VqbString& name, const VqbString& expression,
                          uint32_t* id) = 0;
    virtual bool addPrimaryKey(uint32_t projectId, uint32_t dbId, uint32_t tableId, const VqbString& keyName) = 0;
    virtual bool addPrimaryKeyField(uint32_t projectId, uint32_t dbId, uint32_t tableId, const VqbString& keyName,
                                    uint32_t fieldId) = 0;
    virtual bool addForeignKey(uint32_t projectId, uint32_t dbId, uint32_t tableId, const VqbString& keyName) = 0;
    // pkDbId is not stored: a key's fields live in one database, dbId.
    virtual bool addForeignKeyField(uint32_t projectId, const VqbString& keyName, uint32_t dbId, uint32_t fkTableId,
                                    uint32_t fkFieldId, uint32_t pkDbId, uint32_t pkTableId, uint32_t pkFieldId) = 0;
    // procedureType is the decimal text of the driver's procedure type; empty stores none, any
    // other non-number is refused.
    virtual bool addStoredProcedure(uint32_t projectId, uint32_t dbId, const VqbString& name,
                                    const VqbString& remarks, const VqbString& procedureType, uint32_t* id) = 0;
    // fieldType as procedureType above.
    virtual bool addStoredProcedureField(uint32_t projectId, uint32_t dbId, uint32_t procedureId,
                                         const VqbString& name, const VqbString& fieldType) = 0;
    // definitionId is the caller's definition number; the out id is the row's own unique id.
    virtual bool addIdentificationDefinition(uint32_t projectId, uint32_t definitionId, const VqbString& name,
                                             bool nameSampling, const VqbString& locale, uint32_t* id) = 0;
    // The out id is the value's record id.
    virtual bool addIdentificationValue(uint32_t projectId, uint32_t definitionId, int valueId,
                                        const VqbString& value, const VqbString& description, bool sampleFlag,
                                        uint32_t* id) = 0;
    virtual bool addSample(uint32_t projectId, uint32_t fieldId, uint32_t valueRecordId, int sampleType, int n,
                           int size, int matches, uint32_t* id) = 0;
    virtual bool addProjectFieldSample(uint32_t projectId, uint32_t fieldId, uint32_t valueRecordId,
                                       bool sampleFlag, uint32_t sampleId) = 0;
    virtual bool addMatchDefinition(uint32_t projectId, int userMatch, int definitionId, const VqbString& name,
                                    const VqbString& locale, int sensitivity, uint32_t* id) = 0;
    // A project field with its classifications and the match definition assigned to each of the
    // first five (the sixth has none).
    virtual bool addProjectFieldMatches(uint32_t projectId, uint32_t fieldId, const VqbString& class1, int match1,
                                        const VqbString& class2, int match2, const VqbString& class3, int match3,
                                        const VqbString& class4, int match4, const VqbString& class5, int match5,
                                        const VqbString& class6) = 0;

    // Project rows: PRJ_ID, PRJ_NM, PRJ_DATE, PRJ_COMM, PMDATE, PADATE, PMUSER, PCUSER, PRJ_UUID,
    // FLDR_ID, LRDATE, LRDUR, LRST.
    virtual ReposDataAccessCursor* listProjects() = 0;
    virtual ReposDataAccessCursor* getProject(uint32_t projectId) = 0;
    // PRJ_ID, TBL_NM, TBL_SCH, CON_CNSTR, TBL_CAT per table of the project.
    virtual ReposDataAccessCursor* listProjectTables(uint32_t projectId) = 0;
    // Definition rows: IDENT_ID, IDENT_NM, ID_CRVER, ID_DLVER, ID_MDVER, PRJ_ID, SMPTYP, GC_ID,
    // LOCALE, ID_UID.
    virtual ReposDataAccessCursor* getIdentificationDefinition(uint32_t projectId, const VqbString& name,
                                                               const VqbString& locale, uint32_t definitionId,
                                                               bool nameSampling) = 0;
    virtual ReposDataAccessCursor* listIdentificationDefinitions(uint32_t projectId, bool nameSampling) = 0;
    // Value rows: IDENT_ID, IDVALRID, IDVAL_ID, IDVAL_VL, IDVALDES, IDVCRVER, IDVDLVER, IDVMDVER,
    // PRJ_ID, SMPTYP, GC_ID.
    virtual ReposDataAccessCursor* listIdentificationValues(uint32_t projectId, uint32_t definitionId) = 0;
    // FLD_ID, FLD_NM, DB_ID, TBL_ID, FLD_TYP, FLD_LEN, CON_DBNM, TBL_NM, TBL_SCH, FLD_TYP, FLD_LEN,
    // SMP_SIZE, SMP_MATCH per sample of the value record, by field name.
    virtual ReposDataAccessCursor* listSampledFields(uint32_t projectId, uint32_t valueRecordId) = 0;
    // MASN_ID, PRJ_ID, USERMTC, MMDEFID, MMDEFNM, MMSENSE, MMLOCALE.
    virtual ReposDataAccessCursor* listMatchDefinitions(uint32_t projectId) = 0;

    // Whether the folder holds a project of that name (false also when the lookup failed).
    virtual bool getProjectByName(const VqbString& name, int folderId) = 0;
    virtual bool existsProject(uint32_t projectId) = 0;
    // Removes everything the project owns but its own row, all or nothing.
    virtual bool clearProject(uint32_t projectId) = 0;
    // The project and everything it owns, all or nothing; announced by the project's URI.
    virtual bool deleteProject(uint32_t projectId) = 0;
    // Fails for a missing project. Announced as a rename when the name changed, else a modify.
    virtual bool updateProject(uint32_t projectId, const VqbString& name, const VqbString& comment) = 0;
    // Date as a real; duration in seconds. Fails for a missing project.
    virtual bool setProjectLastRun(uint32_t projectId, double lastRunDate, int duration, int state) = 0;
};

#endif
