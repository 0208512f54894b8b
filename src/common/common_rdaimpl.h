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
#include <initializer_list>
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

    // What a lookup of one row found.
    enum class Lookup { Found, Missing, Failed };

    // A statement whose conditions depend on the caller's filters, with its values in "?" order.
    // The base text holds no condition: the first where() opens the WHERE clause.
    class FilteredSql {
    public:
        explicit FilteredSql(const VqbString& base);
        // " WHERE" before the first condition, " AND" before the others; then " <column>=?".
        void where(const char* column, const VqbDatavar& value);
        // The same only for a present (non-empty) text.
        void whereText(const char* column, const VqbString& text);
        // The value of a "?" the text already holds.
        void bind(const VqbDatavar& value) { values_.push_back(value); }
        void append(const char* text) { sql_.append(text); }
        const VqbString& sql() const { return sql_; }
        const std::vector<VqbDatavar>& values() const { return values_; }

    private:
        VqbString sql_;
        std::vector<VqbDatavar> values_;
        bool hasWhere_;
    };

    // One table of a delete spread over several tables, with the column holding the key.
    struct KeyedTable {
        const char* table;
        const char* column;
    };

    // The columns of a lookup by id, uuid or name; uuid null for a table without one.
    struct LookupColumns {
        const char* table;
        const char* id;
        const char* uuid;
        const char* name;
    };

    static bool present(const VqbString& text) { return !text.isEmpty(); }
    // A caller's date as a real; NULL for a null date.
    static VqbDatavar dateValue(const VqbDate& date);
    static VqbDatavar now();

    // "SELECT <the catalogue columns> FROM <table>"; the catalogue's columns are what callers read
    // by position.
    VqbString selectAll(const char* table);
    // "<verb> <qualified table><rest>", e.g. statement("DELETE FROM", "GCRUL", " WHERE GC_ID=?").
    VqbString statement(const char* verb, const char* table, const char* rest);

    // The first row's first column as an integer.
    template <class... Values>
    Lookup lookupInt(int line, const VqbString& sql, int64_t& out, Values... values) {
        ReposDataAccessCursor* cursor = selectRowsLimited(kSource, line, 1, sql, values...);
        return readFirstInt(cursor, out);
    }
    // Whether a COUNT(*) select counts one row or more.
    template <class... Values>
    Lookup lookupCount(int line, const VqbString& sql, Values... values) {
        int64_t count = 0;
        Lookup found = lookupInt(line, sql, count, values...);
        if (found == Lookup::Found && count < 1) return Lookup::Missing;
        return found;
    }
    Lookup readFirstInt(ReposDataAccessCursor* cursor, int64_t& out);

    // A refused duplicate: the catalogue message logged at level 5; false.
    bool refuse(int line, const VqbString& message);

    // Prepares the statement and binds its values; null (logged) on failure.
    ReposDataAccessStatement* prepare(int line, const FilteredSql& sql);
    ReposDataAccessCursor* selectFiltered(int line, const FilteredSql& sql);
    bool executeFiltered(int line, const FilteredSql& sql);
    Lookup existsFiltered(int line, const FilteredSql& sql);

    // Deletes the key's rows from each table in order, in one transaction: all or none.
    bool deleteInTransaction(int line, std::initializer_list<KeyedTable> tables, const VqbDatavar& key);

    ReposDataAccessCursor* findByKey(int line, const LookupColumns& columns, int id, const VqbString& name,
                                     const VqbString& uuid);

    // Shared by the global-category field operations: a condition for each present name.
    void fieldFilters(FilteredSql& sql, const VqbString& dsn, const VqbString& catalog, const VqbString& schema,
                      const VqbString& table, const VqbString& field);
    // Whether exactly this field (empty and NULL names alike) is mapped with this flag.
    Lookup exactGlobalCategoryField(unsigned int gcId, const VqbString& dsn, const VqbString& catalog,
                                    const VqbString& schema, const VqbString& table, const VqbString& field,
                                    bool include);
    Lookup globalCategoryIdByName(const VqbString& name, unsigned int& gcId);
    Lookup globalCategoryDefinitionId(unsigned int gcId, const VqbString& locale, int tsId, int tokenId,
                                      unsigned int& defId);
    Lookup globalCategoryRule(unsigned int gcId, unsigned int ruleId);
    // A new id from the key's counter, then the insert with it as the first value; kNone on failure.
    template <class... Values>
    unsigned int insertWithNewId(int line, const char* idKey, const VqbString& sql, Values... valuesAfterId) {
        uint32_t id = 0;
        if (!nextId(kSource, line, idKey, id)) return kNone;
        VqbDatavar newId(id);
        if (!execute(kSource, line, sql, nullptr, &newId, valuesAfterId...)) return kNone;
        return id;
    }
};

#endif
