// The common typed data access, by concern: the shared helpers and the rules (common_rdaimpl),
// custom metrics, monitor fields and note categories (common_rdaimpl_metrics), field-mapping
// tables and the repository's key/values (common_rdaimpl_mapping), global categories
// (common_rdaimpl_gcats).
//
// Besides the interface, the repository reaches the key/value operations through a private
// instance made for one call.
#ifndef COMMON_RDAIMPL_H
#define COMMON_RDAIMPL_H

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "base_rdaimpl.h"
#include "repos_common_rda.h"

class CommonRDAImpl : public BaseRDAImpl, public CommonRepositoryDataAccess {
public:
    explicit CommonRDAImpl(ReposDataAccess* connection);

    unsigned int addGlobalCategory(const VqbString& name, const VqbString& description) override;
    unsigned int addGlobalCategoryDefinition(unsigned int gcId, const VqbString& locale, int tsId,
                                             const VqbString& tsName, int tokenId, const VqbString& tokenName,
                                             const VqbString& tokenDescription) override;
    bool addGlobalCategoryField(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                const VqbString& schema, const VqbString& table, const VqbString& field,
                                bool include, const VqbString& fieldType, int fieldLength,
                                int fieldPosition) override;
    bool addGlobalCategoryRule(unsigned int gcId, unsigned int ruleId) override;
    unsigned int addRule(const VqbString& name, const VqbString& type, const VqbString& expression,
                         const VqbString& group, const VqbString& meta, const VqbString& user, const VqbString& uuid,
                         int folderId, const VqbString& comment, const VqbString& displayName) override;
    bool addMonitorField(const VqbString& name, const VqbString& description) override;
    unsigned int addCustomMetric(const VqbString& name, const VqbString& preExpression, const VqbString& expression,
                                 const VqbString& postExpression) override;
    bool addCustomMetricField(unsigned int cmId, const VqbString& fieldName, const VqbString& type) override;
    bool addCustomMetricFieldMap(unsigned int ruleId, unsigned int cmId, unsigned int seq,
                                 const VqbString& fieldName, const VqbString& metricFieldName,
                                 const VqbString& type) override;
    bool addRuleCustomMetric(unsigned int ruleId, unsigned int cmId, unsigned int seq) override;
    bool addNoteCategory(const VqbString& description, unsigned int* id) override;
    bool addFieldMapping(const VqbString& name, const VqbString& description, const VqbString& uuid,
                         const VqbDate& created, const VqbDate& edited, const VqbString& createdUser,
                         const VqbString& editedUser, int folderId, unsigned int* id) override;
    bool addMappingConnection(unsigned int mapId, const VqbString& dsn, const VqbString& catalog,
                              const VqbString& schema, const VqbString& table, const VqbString& field, int type,
                              bool primaryKey) override;
    bool clearRule(unsigned int id) override;
    bool clearCustomMetric() override;
    ReposDataAccessCursor* listGlobalCategories() override;
    ReposDataAccessCursor* listGlobalCategoryDefinitions() override;
    ReposDataAccessCursor* getGlobalCategory(unsigned int gcId) override;
    ReposDataAccessCursor* findGlobalCategory(int id, const VqbString& name, const VqbString& uuid) override;
    ReposDataAccessCursor* listGlobalCategoryDefinitionsOfCategory(unsigned int gcId) override;
    ReposDataAccessCursor* listGlobalCategoryFields(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                                    const VqbString& schema, const VqbString& table) override;
    ReposDataAccessCursor* listGlobalCategoryRules() override;
    ReposDataAccessCursor* findRule(int id, const VqbString& name, const VqbString& uuid) override;
    ReposDataAccessCursor* listRules() override;
    ReposDataAccessCursor* listMonitorFields(const VqbString& name) override;
    ReposDataAccessCursor* listRuleFields(unsigned int ruleId) override;
    ReposDataAccessCursor* listRuleCustomMetrics(unsigned int ruleId) override;
    ReposDataAccessCursor* listCustomMetricFields(int cmId) override;
    ReposDataAccessCursor* listCustomMetricFieldMaps(unsigned int ruleId, int cmId) override;
    ReposDataAccessCursor* listCustomMetrics(const VqbString& name) override;
    ReposDataAccessCursor* findCustomMetric(int id, const VqbString& name, const VqbString& uuid) override;
    ReposDataAccessCursor* listNoteCategories() override;
    ReposDataAccessCursor* listFieldMappings(unsigned int mapId) override;
    ReposDataAccessCursor* listMappingConnections(unsigned int mapId, const VqbString& dsn, const VqbString& catalog,
                                                  const VqbString& schema, const VqbString& table, unsigned int type,
                                                  bool primaryKeyOnly) override;
    ReposDataAccessCursor* listMappingTables(unsigned int mapId) override;
    bool deleteGlobalCategory(unsigned int gcId) override;
    bool deleteGlobalCategoryDefinition(unsigned int defId) override;
    bool deleteGlobalCategoryFields(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                    const VqbString& schema, const VqbString& table, const VqbString& field,
                                    bool include) override;
    bool deleteGlobalCategoryRule(unsigned int gcId, unsigned int ruleId) override;
    bool deleteRule(unsigned int id) override;
    bool deleteNoteCategory(unsigned int id) override;
    bool deleteCustomMetric(unsigned int cmId) override;
    bool setGlobalCategoryFieldInclude(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                       const VqbString& schema, const VqbString& table, const VqbString& field,
                                       bool include) override;
    bool updateGlobalCategory(unsigned int gcId, const VqbString& name, const VqbString& description) override;
    bool addRuleField(unsigned int ruleId, const VqbString& fieldName, const VqbString& description) override;
    bool updateRule(unsigned int id, const VqbString& name, const VqbString& type, const VqbString& expression,
                    const VqbString& group, const VqbString& meta, const VqbString& user, double createdDate,
                    double editDate, const VqbString& createdUser, const VqbString& uuid, int folderId,
                    const VqbString& comment, const VqbString& displayName) override;
    bool updateNoteCategory(unsigned int id, const VqbString& description) override;
    bool updateCustomMetric(unsigned int cmId, const VqbString& name, const VqbString& preExpression,
                            const VqbString& expression, const VqbString& postExpression,
                            const VqbString& uuid) override;
    bool updateFieldMapping(unsigned int mapId, const VqbString& name, const VqbString& description,
                            const VqbString& editedUser, int folderId) override;
    bool deleteFieldMapping(unsigned int mapId) override;
    bool deleteMappingConnection(unsigned int mapId, const VqbString& dsn, const VqbString& catalog,
                                 const VqbString& schema, const VqbString& table, const VqbString& field,
                                 int type) override;
    bool getGlobalCategoryIdByName(const VqbString& name, unsigned int* gcId) override;
    bool getGlobalCategoryDefinitionId(unsigned int gcId, const VqbString& locale, int tsId, int tokenId,
                                       unsigned int* defId) override;
    bool existsGlobalCategoryField(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                   const VqbString& schema, const VqbString& table, const VqbString& field,
                                   bool include) override;
    bool existsGlobalCategoryRule(unsigned int gcId, unsigned int ruleId) override;

    // Adds to found the names MFLD holds among names, each as written: looked up by its key in IN
    // lists, which compare whole texts exactly. False when a lookup failed (logged).
    bool findMonitorFields(const std::vector<VqbString>& names, std::unordered_set<std::string>& found);

    // The repository's key/value settings (KEYVAL), one row per key.
    bool setKeyValue(const VqbString& key, const VqbString& value);
    // True also for an absent key, whose value is left as it was; false for a null value pointer.
    bool getKeyValue(const VqbString& key, VqbString* value);
    // V_KEY.
    ReposDataAccessCursor* listKeyValueKeys();
    // V_KEY, V_VALUE.
    ReposDataAccessCursor* listKeyValues();
    // False when the key is absent (not logged) or the delete failed (logged).
    bool deleteKeyValue(const VqbString& key);

protected:
    ~CommonRDAImpl() override;

private:
    static constexpr const char* kSource = "common_rdaimpl";
    static constexpr unsigned int kNone = 0xFFFFFFFFu;

    static bool present(const VqbString& text) { return !text.isEmpty(); }
    // A caller's date as a real; NULL for a null date.
    static VqbDatavar dateValue(const VqbDate& date);
    static VqbDatavar now();
    // A new id from the key's counter, then the insert with it as the first value; kNone on failure.
    unsigned int insertWithNewId(int line, const char* idKey, Sql insert);

    // Shared by the global-category field operations: a condition for each present name, or
    // (exact) for every name, empty and NULL alike.
    void fieldFilters(Sql& sql, const VqbString& dsn, const VqbString& catalog, const VqbString& schema,
                      const VqbString& table, const VqbString& field, bool exact = false);
    // Whether exactly this field (empty and NULL names alike) is mapped with this flag.
    Lookup exactGlobalCategoryField(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                    const VqbString& schema, const VqbString& table, const VqbString& field,
                                    bool include);
    Lookup globalCategoryIdByName(const VqbString& name, unsigned int& gcId);
    Lookup globalCategoryDefinitionId(unsigned int gcId, const VqbString& locale, int tsId, int tokenId,
                                      unsigned int& defId);
    Lookup globalCategoryRule(unsigned int gcId, unsigned int ruleId);
};

#endif
