// The reference-data access over a repository connection: each operation is one statement of one
// of five kinds (keyed insert, link insert, filtered select, filtered delete, fixed join), made by
// one engine from constant tables of tables, filters and join texts.
#ifndef REFDATA_RDAIMPL_H
#define REFDATA_RDAIMPL_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "base_rdaimpl.h"
#include "repos_refdata_rda.h"

// A column as statements bind it: type code 2 integer, 3 real (dates), 4 text, with a text's width.
struct RefDataColumn {
    const char* name;
    int type;
    int width;
};

constexpr size_t kRefDataMaxColumns = 26;

// A reference-data table: its key column (null for a link table), whether inserts stamp CRTDATE,
// and its columns in the table's order (key first, CRTDATE last when stamped).
struct RefDataTable {
    const char* name;
    const char* key;
    bool stamped;
    RefDataColumn columns[kRefDataMaxColumns];
};

// A select or delete of one table: the columns of its filters in the order they are appended.
struct RefDataFilters {
    const RefDataTable* table;
    const char* columns[18];
    const char* orderBy;  // null: none
};

// A condition of a fixed join: "column=?" joined with WHERE or AND, or, as a part, text put into
// the join's last "%s" (with table, when given, for its own "%s"), the value bound markers times.
struct RefDataJoinFilter {
    const char* text;
    int type;
    int width;
    bool part;
    const char* table;
    int markers;
};

// A fixed join: its text with one "%s" per table (a null table is the place of the parts), whether
// the text holds its WHERE clause, its filters in argument order and its ORDER BY.
struct RefDataJoin {
    const char* text;
    const char* tables[11];
    bool whereOpen;
    RefDataJoinFilter filters[7];
    const char* orderBy;
};

class RefDataRDAImpl : public BaseRDAImpl, public RefDataRepositoryDataAccess {
public:
    explicit RefDataRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

    bool addAccount(const VqbString& name, const VqbString& type, const VqbString& authServer, const VqbString& email,
                    const VqbString& phone, const VqbString& address, const VqbString& notify, int defaultRoleId,
                    uint32_t* newId) override;
    bool addAttribute(const VqbString& name, const VqbString& description, int attributeTypeId,
                      const VqbString& typeText, int containerId, int languageId, int reserved,
                      const VqbString& alternateTypeText, uint32_t* newId) override;
    bool addAttributeContainer(const VqbString& containerType, const VqbString& description, uint32_t* newId) override;
    bool addAttributeType(const VqbString& typeCode, const VqbString& description, uint32_t* newId) override;
    bool addLanguage(const VqbString& name, const VqbString& code, uint32_t* newId) override;
    bool addOperation(const VqbString& permission, const VqbString& description, uint32_t position,
                      uint32_t* newId) override;
    bool addRole(const VqbString& name, const VqbString& description, const VqbString& roleType,
                 uint32_t* newId) override;
    bool addItem(const VqbString& key, const VqbString& value, const VqbString& enabled, const VqbString& active,
                 const VqbString& scope, int accountId, uint32_t* newId) override;
    bool addItemAttributeValue(const VqbString& value, int languageId, uint32_t* newId) override;
    bool addDomain(const VqbString& name, const VqbString& description, const VqbString& domainType,
                   const VqbString& enabled, const VqbString& active, const VqbString& scope, int defaultLanguageId,
                   const VqbString& isLocked, int ownerId, int lockedById, const VqbDate& lockDate,
                   const VqbString& confType, uint32_t* newId) override;
    bool addDomainPermission(int domainId, int accountId, int permissionId) override;
    bool addDomainVersion(int domainId, int version, const VqbString& label, const VqbString& enabled,
                          const VqbString& active, const VqbString& scope, int accountId, const VqbString& isLocked,
                          int lockedById, const VqbDate& lockDate, uint32_t* newId) override;
    bool addDomainVersionPermission(int domainVersionId, int accountId, int permissionId) override;
    bool addNote(int domainId, const VqbString& noteType, int tableKeyId, const VqbString& tableName,
                 const VqbString& text, int languageId, int accountId, uint32_t* newId) override;
    bool addDomainAccess(int domainId, int accountId, int roleId) override;
    bool addDomainAssociation(int domainId, const VqbString& name, uint32_t* newId) override;
    bool addDomainLanguage(int domainId, int languageId, uint32_t* newId) override;
    bool addDomainLanguageVersion(int domainVersionId, int domainLanguageId) override;
    bool addDomainAttribute(int domainId, int attributeId, uint32_t* newId) override;
    bool addDomainAttributePermission(int domainId, int accountId, int permissionId) override;
    bool addDomainAttributeVersion(int domainId, int domainAttributeId, int domainVersionId,
                                   const VqbString& isDefault) override;
    bool addDomainAttributeValue(int domainAttributeId, const VqbString& value, const VqbString& isDefault,
                                 int languageId, uint32_t* newId) override;
    bool addDomainAttributeValueVersion(int domainVersionId, int valueId) override;
    bool addItemPermission(int itemId, int accountId, int permissionId) override;
    bool addItemVersion(int domainVersionId, int itemId, int level, const VqbString& lineage, int parentId,
                        uint32_t* newId) override;
    bool addItemAttribute(int placementId, int attributeId, uint32_t* newId) override;
    bool addItemAttributePermission(int itemAttributeId, int accountId, int permissionId) override;
    bool addItemAttributeVersion(int domainVersionId, int itemAttributeId) override;
    bool addItemAttributeValueVersion(int domainVersionId, int valueId, int itemAttributeId) override;
    bool addPublication(const VqbString& name, const VqbString& type, int domainId, int version, const VqbString& dsn,
                        const VqbString& schema, uint32_t* newId) override;

    ReposDataAccessCursor* listAccounts(uint32_t id, const VqbString& name, const VqbString& type,
                                        const VqbString& authServer, const VqbString& email, const VqbString& phone,
                                        const VqbString& address) override;
    ReposDataAccessCursor* listAttributes(uint32_t id, const VqbString& name, const VqbString& description) override;
    ReposDataAccessCursor* listUserAttributes(uint32_t id, const VqbString& name,
                                              const VqbString& description) override;
    ReposDataAccessCursor* listAttributeContainers(uint32_t id, const VqbString& containerType,
                                                   const VqbString& description) override;
    ReposDataAccessCursor* listAttributeTypes(uint32_t id, const VqbString& typeCode,
                                              const VqbString& description) override;
    ReposDataAccessCursor* listLanguages(uint32_t id, const VqbString& name, const VqbString& code) override;
    ReposDataAccessCursor* listOperations(uint32_t id, const VqbString& permission, const VqbString& description,
                                          uint32_t position) override;
    ReposDataAccessCursor* listRoles(uint32_t id, const VqbString& name, const VqbString& description,
                                     const VqbString& roleType) override;
    ReposDataAccessCursor* listItems(uint32_t id, const VqbString& key, const VqbString& value,
                                     const VqbString& enabled, const VqbString& active, const VqbString& scope,
                                     uint32_t accountId) override;
    ReposDataAccessCursor* listItemPermissions(uint32_t itemId, uint32_t accountId, uint32_t permissionId) override;
    ReposDataAccessCursor* listItemAttributeValues(uint32_t id, const VqbString& value, uint32_t languageId) override;
    ReposDataAccessCursor* listDomains(uint32_t id, const VqbString& name, const VqbString& description,
                                       const VqbString& domainType, const VqbString& enabled, const VqbString& active,
                                       const VqbString& scope, uint32_t defaultLanguageId, const VqbString& isLocked,
                                       uint32_t ownerId, uint32_t lockedById, const VqbDate& lockDate,
                                       const VqbString& confType, const VqbDate& created) override;
    ReposDataAccessCursor* listDomainsWithVersions(uint32_t domainId, const VqbString& name, bool latestOnly) override;
    ReposDataAccessCursor* listDomainVersionInfo(uint32_t domainId, uint32_t versionId) override;
    ReposDataAccessCursor* getDomainDetails(uint32_t domainId) override;
    ReposDataAccessCursor* getLatestDomainVersion(uint32_t domainId) override;
    ReposDataAccessCursor* listDomainPermissions(uint32_t domainId, uint32_t accountId, uint32_t permissionId) override;
    ReposDataAccessCursor* listDomainVersions(uint32_t id, uint32_t domainId, uint32_t version, const VqbString& label,
                                              const VqbString& enabled, const VqbString& active, const VqbString& scope,
                                              uint32_t accountId, const VqbString& isLocked, uint32_t lockedById,
                                              const VqbDate& lockDate, const VqbDate& created) override;
    ReposDataAccessCursor* listDomainVersionsWithOwners(uint32_t domainId, bool latestOnly) override;
    ReposDataAccessCursor* listEnabledDomainVersions() override;
    ReposDataAccessCursor* listDomainVersionPermissions(uint32_t domainVersionId, uint32_t accountId,
                                                        uint32_t permissionId) override;
    ReposDataAccessCursor* listNotes(uint32_t id, uint32_t domainId, const VqbString& noteType, uint32_t tableKeyId,
                                     const VqbString& tableName, const VqbString& text, uint32_t languageId,
                                     uint32_t accountId, const VqbDate& created) override;
    ReposDataAccessCursor* listDomainAccess(uint32_t domainId, uint32_t accountId, uint32_t roleId) override;
    ReposDataAccessCursor* listDomainAssociations(uint32_t domainId, uint32_t associationId,
                                                  const VqbString& name) override;
    ReposDataAccessCursor* listDomainLanguages(uint32_t id, uint32_t domainId, uint32_t languageId) override;
    ReposDataAccessCursor* listDomainVersionLanguages(uint32_t languageId, uint32_t domainId,
                                                      uint32_t domainVersionId) override;
    ReposDataAccessCursor* listUsedDomainLanguageIds(uint32_t domainId, uint32_t domainVersionId) override;
    ReposDataAccessCursor* listDomainLanguageVersions(uint32_t domainVersionId, uint32_t domainLanguageId) override;
    ReposDataAccessCursor* listDomainAttributes(uint32_t id, uint32_t domainId, uint32_t attributeId) override;
    ReposDataAccessCursor* listDomainUserAttributes(uint32_t domainId, uint32_t domainVersionId) override;
    ReposDataAccessCursor* listUsedDomainAttributeIds(uint32_t domainId, uint32_t domainVersionId) override;
    ReposDataAccessCursor* listDomainUserAttributesWithLanguages(uint32_t domainId, uint32_t domainVersionId) override;
    ReposDataAccessCursor* listDomainAttributePermissions(uint32_t domainId, uint32_t accountId,
                                                          uint32_t permissionId) override;
    ReposDataAccessCursor* listDomainAttributeVersions(uint32_t domainId, uint32_t domainAttributeId,
                                                       uint32_t domainVersionId, const VqbString& isDefault) override;
    ReposDataAccessCursor* listDomainAttributeValues(uint32_t id, uint32_t domainAttributeId, const VqbString& value,
                                                     const VqbString& isDefault, uint32_t languageId) override;
    ReposDataAccessCursor* listDomainAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId) override;
    ReposDataAccessCursor* listItemHierarchy(uint32_t itemId, uint32_t domainVersionId) override;
    ReposDataAccessCursor* listDomainItemsWithAttributes(uint32_t domainId, uint32_t domainVersionId) override;
    ReposDataAccessCursor* listVersionItemsWithAttributes(uint32_t domainId, uint32_t version) override;
    ReposDataAccessCursor* listItemVersions(uint32_t id, uint32_t domainVersionId, uint32_t itemId,
                                            const VqbDate& created, uint32_t level, const VqbString& lineage,
                                            uint32_t parentId) override;
    ReposDataAccessCursor* listChildItems(uint32_t domainVersionId, uint32_t parentId) override;
    ReposDataAccessCursor* listItemAttributes(uint32_t id, uint32_t placementId, uint32_t attributeId) override;
    ReposDataAccessCursor* listItemAttributeNames(uint32_t placementId, uint32_t domainVersionId) override;
    ReposDataAccessCursor* listItemAttributePermissions(uint32_t itemAttributeId, uint32_t accountId,
                                                        uint32_t permissionId) override;
    ReposDataAccessCursor* listItemAttributeVersions(uint32_t domainVersionId, uint32_t itemAttributeId) override;
    ReposDataAccessCursor* listItemAttributeValuesWithLanguages(uint32_t placementId,
                                                                uint32_t domainVersionId) override;
    ReposDataAccessCursor* listItemAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId,
                                                          uint32_t itemAttributeId) override;
    ReposDataAccessCursor* listPublications(uint32_t id, const VqbString& name, const VqbString& type,
                                            uint32_t domainId, uint32_t version, const VqbString& dsn,
                                            const VqbString& schema) override;
    ReposDataAccessCursor* listPublicationNotes(uint32_t domainId) override;

    bool deleteAccounts(uint32_t id, const VqbString& name, const VqbString& type, const VqbString& authServer,
                        const VqbString& email, const VqbString& phone, const VqbString& address) override;
    bool deleteAttributes(uint32_t id, const VqbString& name) override;
    bool deleteAttributeContainers(uint32_t id, const VqbString& containerType, const VqbString& description) override;
    bool deleteAttributeTypes(uint32_t id, const VqbString& typeCode, const VqbString& description) override;
    bool deleteLanguages(uint32_t id, const VqbString& name, const VqbString& code) override;
    bool deleteOperations(uint32_t id, const VqbString& permission, const VqbString& description,
                          uint32_t position) override;
    bool deleteRoles(uint32_t id, const VqbString& name, const VqbString& description,
                     const VqbString& roleType) override;
    bool deleteItems(uint32_t id, const VqbString& key, const VqbString& value, const VqbString& enabled,
                     const VqbString& active, const VqbString& scope, uint32_t accountId) override;
    bool deleteItemAttributeValues(uint32_t id, const VqbString& value, uint32_t languageId) override;
    bool deleteDomains(uint32_t id, const VqbString& name, const VqbString& description, const VqbString& domainType,
                       const VqbString& enabled, const VqbString& active, const VqbString& scope,
                       uint32_t defaultLanguageId, const VqbString& isLocked, uint32_t ownerId, uint32_t lockedById,
                       const VqbDate& lockDate, const VqbString& confType, const VqbDate& created) override;
    bool deleteDomainPermissions(uint32_t domainId, uint32_t accountId, uint32_t permissionId) override;
    bool deleteDomainVersions(uint32_t id, uint32_t domainId, uint32_t version, const VqbString& label,
                              const VqbString& enabled, const VqbString& active, const VqbString& scope,
                              uint32_t accountId, const VqbString& isLocked, uint32_t lockedById,
                              const VqbDate& lockDate, const VqbDate& created) override;
    bool deleteDomainVersionPermissions(uint32_t domainVersionId, uint32_t accountId, uint32_t permissionId) override;
    bool deleteNotes(uint32_t id, uint32_t domainId, const VqbString& noteType, uint32_t tableKeyId,
                     const VqbString& tableName, const VqbString& text, uint32_t languageId,
                     uint32_t accountId) override;
    bool deleteDomainAccess(uint32_t domainId, uint32_t accountId, uint32_t roleId) override;
    bool deleteDomainAssociations(uint32_t domainId, uint32_t associationId, const VqbString& name) override;
    bool deleteDomainLanguages(uint32_t id, uint32_t domainId, uint32_t languageId) override;
    bool deleteDomainLanguageVersions(uint32_t domainVersionId, uint32_t domainLanguageId) override;
    bool deleteDomainAttributes(uint32_t id, uint32_t domainId, uint32_t attributeId) override;
    bool deleteDomainAttributePermissions(uint32_t domainId, uint32_t accountId, uint32_t permissionId) override;
    bool deleteDomainAttributeVersions(uint32_t domainId, uint32_t domainAttributeId, uint32_t domainVersionId,
                                       const VqbString& isDefault) override;
    bool deleteDomainAttributeValues(uint32_t id, uint32_t domainAttributeId, const VqbString& value,
                                     const VqbString& isDefault, uint32_t languageId) override;
    bool deleteDomainAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId) override;
    bool deleteItemPermissions(uint32_t itemId, uint32_t accountId, uint32_t permissionId) override;
    bool deleteItemVersions(uint32_t id, uint32_t domainVersionId, uint32_t itemId, const VqbDate& created,
                            uint32_t level, const VqbString& lineage, uint32_t parentId) override;
    bool deleteItemAttributes(uint32_t id, uint32_t placementId, uint32_t attributeId) override;
    bool deleteItemAttributePermissions(uint32_t itemAttributeId, uint32_t accountId, uint32_t permissionId) override;
    bool deleteItemAttributeVersions(uint32_t domainVersionId, uint32_t itemAttributeId) override;
    bool deleteItemAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId,
                                          uint32_t itemAttributeId) override;
    bool deletePublications(uint32_t id, const VqbString& name, const VqbString& type, uint32_t domainId,
                            uint32_t version, const VqbString& dsn, const VqbString& schema) override;

    bool deleteImportItems(uint32_t id, uint32_t itemId, const VqbString& valueColumn, const VqbString& displayColumn,
                           const VqbString& parentColumn, uint32_t parentId, uint32_t domainVersionId, uint32_t profile,
                           const VqbString& importFlag, const VqbString& versionFlag, const VqbString& parentKeyColumn,
                           const VqbString& lineage, uint32_t level, uint32_t itemVersionId,
                           const VqbDate& created) override;
    bool deleteImportAttributeValues(uint32_t id, uint32_t itemId, uint32_t attributeId, uint32_t valueId,
                                     uint32_t languageId, const VqbString& attributeValue, uint32_t profile,
                                     const VqbString& valueImportFlag, const VqbString& attributeImportFlag,
                                     const VqbString& valueVersionFlag, const VqbString& attributeVersionFlag,
                                     uint32_t attributeKey, uint32_t valueKey, uint32_t itemAttributeId,
                                     uint32_t domainVersionId, uint32_t itemVersionId, const VqbDate& created) override;
    bool deleteImportItemVersions(uint32_t domainVersionId, uint32_t itemId, const VqbDate& created, uint32_t level,
                                  const VqbString& lineage, uint32_t parentId, uint32_t profile) override;
    bool deleteTempItems(uint32_t itemId, uint32_t domainVersionId) override;
    bool deleteImportAttributes(uint32_t id, uint32_t itemId, uint32_t itemVersionId,
                                uint32_t domainVersionId) override;
    bool deleteImportColumns(uint32_t sourceColumn, uint32_t position, uint32_t profile, uint32_t systemColumn,
                             uint32_t isAttribute) override;

protected:
    ~RefDataRDAImpl() override = default;

private:
    // One argument of an operation: a text (empty: none), an insert's integer (negative: none), an
    // id or filter integer (0xFFFFFFFF: none, bound as stored ids are), a date (null: none) or a flag.
    class Value {
    public:
        Value(const VqbString& text) : present_(!text.isEmpty()), value_(text) {}
        Value(int number) : present_(number >= 0), value_(number) {}
        Value(uint32_t id) : present_(id != 0xFFFFFFFFu), value_(idValue(id)) {}
        Value(const VqbDate& date) : present_(!date.isNull()), value_(date.asDouble()) {}
        // A flag in force binds nothing.
        static Value flag(bool on) { return Value(on); }
        bool present() const { return present_; }
        const VqbDatavar& value() const { return value_; }

    private:
        explicit Value(bool on) : present_(on) {}
        bool present_;
        VqbDatavar value_;
    };
    using Values = std::initializer_list<Value>;
    // The five kinds; line is the operation's, for the log.
    bool insertRow(int line, const RefDataTable& table, Values values, uint32_t* newId = nullptr);
    ReposDataAccessCursor* listRows(int line, const RefDataFilters& filters, Values values);
    bool deleteRows(int line, const RefDataFilters& filters, Values values);
    ReposDataAccessCursor* joinRows(int line, const RefDataJoin& join, Values values);
    // The filters in force appended to sql, with how each value is declared.
    bool appendFilters(int line, Sql& sql, std::vector<ValueInfo>& info, const RefDataFilters& filters, Values values);
};

#endif
