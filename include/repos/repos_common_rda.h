// Typed data access to the objects the profiling and monitoring products share: business rules
// with their fields and custom metrics, monitor fields, custom metrics, note categories, field
// mappings and global categories (collections).
//
// Ids are unsigned row ids; 0xFFFFFFFF means none, or no filter, in an optional id argument.
// A text filter is present when it is not empty. Cursors handed out belong to the caller, who
// releases them; their columns are read by position, in the order each operation gives.
#ifndef REPOS_COMMON_RDA_H
#define REPOS_COMMON_RDA_H

#include "repos_typed.h"
#include "vqbdatavar.h"

class CommonRepositoryDataAccess : public virtual ReposTypedDataAccess {
protected:
    ~CommonRepositoryDataAccess() override = default;

public:
    // The existing GC_ID when a category of that name is there; 0xFFFFFFFF on failure.
    virtual unsigned int addGlobalCategory(const VqbString& name, const VqbString& description) = 0;
    // The existing DEF_ID for an equal category, locale, definition and token; 0xFFFFFFFF on failure.
    virtual unsigned int addGlobalCategoryDefinition(unsigned int gcId, const VqbString& locale, int tsId,
                                                     const VqbString& tsName, int tokenId,
                                                     const VqbString& tokenName,
                                                     const VqbString& tokenDescription) = 0;
    // True without a second row when the same field is already mapped with the same flag.
    virtual bool addGlobalCategoryField(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                        const VqbString& schema, const VqbString& table, const VqbString& field,
                                        bool include, const VqbString& fieldType, int fieldLength,
                                        int fieldPosition) = 0;
    virtual bool addGlobalCategoryRule(unsigned int gcId, unsigned int ruleId) = 0;
    // The new RU_ID; 0 on failure or for a name already used, 0xFFFFFFFF without a connection.
    virtual unsigned int addRule(const VqbString& name, const VqbString& type, const VqbString& expression,
                                 const VqbString& group, const VqbString& meta, const VqbString& user,
                                 const VqbString& uuid, int folderId, const VqbString& comment,
                                 const VqbString& displayName) = 0;
    virtual bool addMonitorField(const VqbString& name, const VqbString& description) = 0;
    // The new CM_ID (with a new CM_UUID); 0xFFFFFFFF on failure or for a name already used.
    virtual unsigned int addCustomMetric(const VqbString& name, const VqbString& preExpression,
                                         const VqbString& expression, const VqbString& postExpression) = 0;
    // type: "I" input, "O" output.
    virtual bool addCustomMetricField(unsigned int cmId, const VqbString& fieldName, const VqbString& type) = 0;
    virtual bool addCustomMetricFieldMap(unsigned int ruleId, unsigned int cmId, unsigned int seq,
                                         const VqbString& fieldName, const VqbString& metricFieldName,
                                         const VqbString& type) = 0;
    virtual bool addRuleCustomMetric(unsigned int ruleId, unsigned int cmId, unsigned int seq) = 0;
    // id (when not null) receives the new NCAT_ID.
    virtual bool addNoteCategory(const VqbString& description, unsigned int* id) = 0;
    // id (when not null) receives the new MAP_ID.
    virtual bool addFieldMapping(const VqbString& name, const VqbString& description, const VqbString& uuid,
                                 const VqbDate& created, const VqbDate& edited, const VqbString& createdUser,
                                 const VqbString& editedUser, int folderId, unsigned int* id) = 0;
    virtual bool addMappingConnection(unsigned int mapId, const VqbString& dsn, const VqbString& catalog,
                                      const VqbString& schema, const VqbString& table, const VqbString& field,
                                      int type, bool primaryKey) = 0;
    // Removes the rule's fields, custom metrics and their field maps; the rule itself stays.
    virtual bool clearRule(unsigned int id) = 0;
    // Nothing to clear: true with a connection.
    virtual bool clearCustomMetric() = 0;
    // GC_ID, GCNAME, GCDESC.
    virtual ReposDataAccessCursor* listGlobalCategories() = 0;
    // DEF_ID, GC_ID, DEF_LOC, TS_ID, TS_NM.
    virtual ReposDataAccessCursor* listGlobalCategoryDefinitions() = 0;
    virtual ReposDataAccessCursor* getGlobalCategory(unsigned int gcId) = 0;
    // By id when id >= 1, else by name; categories have no uuid, so a uuid alone finds nothing.
    virtual ReposDataAccessCursor* findGlobalCategory(int id, const VqbString& name, const VqbString& uuid) = 0;
    // GCDEF columns: DEF_ID, GC_ID, DEF_LOC, TS_ID, TS_NM, TKN_ID, TKN_NM, TKN_DESC.
    virtual ReposDataAccessCursor* listGlobalCategoryDefinitionsOfCategory(unsigned int gcId) = 0;
    // GCFLD columns: GC_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_INC, FLD_TYPE, FLD_LEN, FLD_POS.
    virtual ReposDataAccessCursor* listGlobalCategoryFields(unsigned int gcId, const VqbString& dsn,
                                                            const VqbString& catalog, const VqbString& schema,
                                                            const VqbString& table) = 0;
    // GC_ID, RU_ID.
    virtual ReposDataAccessCursor* listGlobalCategoryRules() = 0;
    // RULE columns in catalogue order. By RU_ID when id >= 1, else by RU_UUID, else by RU_DESC; null
    // when no key is given. A rule that does not exist gives an empty cursor.
    virtual ReposDataAccessCursor* findRule(int id, const VqbString& name, const VqbString& uuid) = 0;
    virtual ReposDataAccessCursor* listRules() = 0;
    // FI_NAME, FI_DESC; all fields when name is empty.
    virtual ReposDataAccessCursor* listMonitorFields(const VqbString& name) = 0;
    // FI_NAME, FI_DESC, RF_SEQ.
    virtual ReposDataAccessCursor* listRuleFields(unsigned int ruleId) = 0;
    // CM_ID, CM_DESC, CM_PREXP, CM_EXP, CM_POSTXP, RM_SEQ, by CM_DESC.
    virtual ReposDataAccessCursor* listRuleCustomMetrics(unsigned int ruleId) = 0;
    // CM_FLDNM, CM_TYPE by CM_FLDNM; null for a negative id.
    virtual ReposDataAccessCursor* listCustomMetricFields(int cmId) = 0;
    // CMFMAP columns by CM_FLDNM; null for a negative metric id.
    virtual ReposDataAccessCursor* listCustomMetricFieldMaps(unsigned int ruleId, int cmId) = 0;
    // CUSTM columns; all metrics when name is empty.
    virtual ReposDataAccessCursor* listCustomMetrics(const VqbString& name) = 0;
    // As findRule, on CM_ID, CM_UUID and CM_DESC.
    virtual ReposDataAccessCursor* findCustomMetric(int id, const VqbString& name, const VqbString& uuid) = 0;
    // NCAT_ID, NCAT_DSC.
    virtual ReposDataAccessCursor* listNoteCategories() = 0;
    // FLDMAP columns; every mapping for 0xFFFFFFFF.
    virtual ReposDataAccessCursor* listFieldMappings(unsigned int mapId) = 0;
    // MAPCON columns (field at 5, primary-key flag at 7) by MAP_TYPE, MAP_DSN, MAP_CAT, MAP_SCH,
    // MAP_TBL; type 0xFFFFFFFF is no filter.
    virtual ReposDataAccessCursor* listMappingConnections(unsigned int mapId, const VqbString& dsn,
                                                          const VqbString& catalog, const VqbString& schema,
                                                          const VqbString& table, unsigned int type,
                                                          bool primaryKeyOnly) = 0;
    // MAP_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_TYPE, one row a table.
    virtual ReposDataAccessCursor* listMappingTables(unsigned int mapId) = 0;
    // The category with its definitions, fields and rule links, in one transaction.
    virtual bool deleteGlobalCategory(unsigned int gcId) = 0;
    virtual bool deleteGlobalCategoryDefinition(unsigned int defId) = 0;
    virtual bool deleteGlobalCategoryFields(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                            const VqbString& schema, const VqbString& table,
                                            const VqbString& field, bool include) = 0;
    virtual bool deleteGlobalCategoryRule(unsigned int gcId, unsigned int ruleId) = 0;
    // The rule with every row that belongs to it, in one transaction.
    virtual bool deleteRule(unsigned int id) = 0;
    virtual bool deleteNoteCategory(unsigned int id) = 0;
    // The metric with its fields and its memberships in rules, in one transaction.
    virtual bool deleteCustomMetric(unsigned int cmId) = 0;
    virtual bool setGlobalCategoryFieldInclude(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                               const VqbString& schema, const VqbString& table,
                                               const VqbString& field, bool include) = 0;
    virtual bool updateGlobalCategory(unsigned int gcId, const VqbString& name, const VqbString& description) = 0;
    // Adds the monitor field when it is new, then the field to the rule unless it is there.
    virtual bool addRuleField(unsigned int ruleId, const VqbString& fieldName, const VqbString& description) = 0;
    // Both dates are the caller's.
    virtual bool updateRule(unsigned int id, const VqbString& name, const VqbString& type,
                            const VqbString& expression, const VqbString& group, const VqbString& meta,
                            const VqbString& user, double createdDate, double editDate,
                            const VqbString& createdUser, const VqbString& uuid, int folderId,
                            const VqbString& comment, const VqbString& displayName) = 0;
    virtual bool updateNoteCategory(unsigned int id, const VqbString& description) = 0;
    virtual bool updateCustomMetric(unsigned int cmId, const VqbString& name, const VqbString& preExpression,
                                    const VqbString& expression, const VqbString& postExpression,
                                    const VqbString& uuid) = 0;
    virtual bool updateFieldMapping(unsigned int mapId, const VqbString& name, const VqbString& description,
                                    const VqbString& editedUser, int folderId) = 0;
    // The mapping with its connection rows, in one transaction.
    virtual bool deleteFieldMapping(unsigned int mapId) = 0;
    // An empty catalog or schema matches any.
    virtual bool deleteMappingConnection(unsigned int mapId, const VqbString& dsn, const VqbString& catalog,
                                         const VqbString& schema, const VqbString& table, const VqbString& field,
                                         int type) = 0;
    // True when the category exists; gcId (when not null) receives its id.
    virtual bool getGlobalCategoryIdByName(const VqbString& name, unsigned int* gcId) = 0;
    virtual bool getGlobalCategoryDefinitionId(unsigned int gcId, const VqbString& locale, int tsId, int tokenId,
                                               unsigned int* defId) = 0;
    // Empty texts are no filter.
    virtual bool existsGlobalCategoryField(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                           const VqbString& schema, const VqbString& table,
                                           const VqbString& field, bool include) = 0;
    virtual bool existsGlobalCategoryRule(unsigned int gcId, unsigned int ruleId) = 0;
};

#endif
