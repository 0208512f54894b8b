// Reference data: domains (code/value lists) with numbered versions, the items of a version as a
// hierarchy, attributes with language-tagged values, accounts, roles and permission levels, grants,
// notes, publications and the staging tables of an import. The tables (their names begin with RD)
// come with the REFDATA table set installed in etc/reposcreate.
//
// Every operation is one statement:
//   - add...: one row. A keyed table draws its new id from the id counter named after the table
//     and hands it out through the last argument (which may be null) once the row is committed.
//     Each insert is a transaction level of its own, nested in the caller's when there is one.
//     An empty text or a negative integer leaves its column out; 0 is written.
//   - list...: a cursor over the rows (in memory, owned by the caller, ended with its release()),
//     read by column position: a table's own list gives every column in the table's order, a
//     joined list the columns named here.
//   - delete...: the rows that match; with no filter at all, every row of the table. A delete
//     touches its own table only.
// Filters: an empty text, the id 0xFFFFFFFF or a null date means "no filter"; 0 is an ordinary
// value. Failures give false or null; getErrorMessage then gives the connection's general error
// text and the log holds the detail.
#ifndef REPOS_REFDATA_RDA_H
#define REPOS_REFDATA_RDA_H

#include <cstdint>

#include "repos_typed.h"

class RefDataRepositoryDataAccess : public virtual ReposTypedDataAccess {
protected:
    ~RefDataRepositoryDataAccess() override = default;

public:
    // ---- inserts
    virtual bool addAccount(const VqbString& name, const VqbString& type, const VqbString& authServer,
                            const VqbString& email, const VqbString& phone, const VqbString& address,
                            const VqbString& notify, int defaultRoleId, uint32_t* newId) = 0;
    // The attribute's type text is typeText, or alternateTypeText when typeText is empty.
    virtual bool addAttribute(const VqbString& name, const VqbString& description, int attributeTypeId,
                              const VqbString& typeText, int containerId, int languageId, int reserved,
                              const VqbString& alternateTypeText, uint32_t* newId) = 0;
    virtual bool addAttributeContainer(const VqbString& containerType, const VqbString& description,
                                       uint32_t* newId) = 0;
    virtual bool addAttributeType(const VqbString& typeCode, const VqbString& description, uint32_t* newId) = 0;
    virtual bool addLanguage(const VqbString& name, const VqbString& code, uint32_t* newId) = 0;
    // A permission level; position 0xFFFFFFFF leaves the position out.
    virtual bool addOperation(const VqbString& permission, const VqbString& description, uint32_t position,
                              uint32_t* newId) = 0;
    virtual bool addRole(const VqbString& name, const VqbString& description, const VqbString& roleType,
                         uint32_t* newId) = 0;
    virtual bool addItem(const VqbString& key, const VqbString& value, const VqbString& enabled,
                         const VqbString& active, const VqbString& scope, int accountId, uint32_t* newId) = 0;
    virtual bool addItemAttributeValue(const VqbString& value, int languageId, uint32_t* newId) = 0;
    virtual bool addDomain(const VqbString& name, const VqbString& description, const VqbString& domainType,
                           const VqbString& enabled, const VqbString& active, const VqbString& scope,
                           int defaultLanguageId, const VqbString& isLocked, int ownerId, int lockedById,
                           const VqbDate& lockDate, const VqbString& confType, uint32_t* newId) = 0;
    virtual bool addDomainPermission(int domainId, int accountId, int permissionId) = 0;
    virtual bool addDomainVersion(int domainId, int version, const VqbString& label, const VqbString& enabled,
                                  const VqbString& active, const VqbString& scope, int accountId,
                                  const VqbString& isLocked, int lockedById, const VqbDate& lockDate,
                                  uint32_t* newId) = 0;
    virtual bool addDomainVersionPermission(int domainVersionId, int accountId, int permissionId) = 0;
    virtual bool addNote(int domainId, const VqbString& noteType, int tableKeyId, const VqbString& tableName,
                         const VqbString& text, int languageId, int accountId, uint32_t* newId) = 0;
    virtual bool addDomainAccess(int domainId, int accountId, int roleId) = 0;
    virtual bool addDomainAssociation(int domainId, const VqbString& name, uint32_t* newId) = 0;
    virtual bool addDomainLanguage(int domainId, int languageId, uint32_t* newId) = 0;
    virtual bool addDomainLanguageVersion(int domainVersionId, int domainLanguageId) = 0;
    virtual bool addDomainAttribute(int domainId, int attributeId, uint32_t* newId) = 0;
    virtual bool addDomainAttributePermission(int domainId, int accountId, int permissionId) = 0;
    virtual bool addDomainAttributeVersion(int domainId, int domainAttributeId, int domainVersionId,
                                           const VqbString& isDefault) = 0;
    virtual bool addDomainAttributeValue(int domainAttributeId, const VqbString& value, const VqbString& isDefault,
                                         int languageId, uint32_t* newId) = 0;
    virtual bool addDomainAttributeValueVersion(int domainVersionId, int valueId) = 0;
    virtual bool addItemPermission(int itemId, int accountId, int permissionId) = 0;
    // A placement of an item in a domain version; a negative parent makes it a root.
    virtual bool addItemVersion(int domainVersionId, int itemId, int level, const VqbString& lineage, int parentId,
                                uint32_t* newId) = 0;
    virtual bool addItemAttribute(int placementId, int attributeId, uint32_t* newId) = 0;
    virtual bool addItemAttributePermission(int itemAttributeId, int accountId, int permissionId) = 0;
    virtual bool addItemAttributeVersion(int domainVersionId, int itemAttributeId) = 0;
    virtual bool addItemAttributeValueVersion(int domainVersionId, int valueId, int itemAttributeId) = 0;
    virtual bool addPublication(const VqbString& name, const VqbString& type, int domainId, int version,
                                const VqbString& dsn, const VqbString& schema, uint32_t* newId) = 0;

    // ---- lists
    virtual ReposDataAccessCursor* listAccounts(uint32_t id, const VqbString& name, const VqbString& type,
                                                const VqbString& authServer, const VqbString& email,
                                                const VqbString& phone, const VqbString& address) = 0;
    virtual ReposDataAccessCursor* listAttributes(uint32_t id, const VqbString& name,
                                                  const VqbString& description) = 0;
    // Attributes of the user container with a language: ID, ATTRNAME, DESCRPTN, language CODE.
    virtual ReposDataAccessCursor* listUserAttributes(uint32_t id, const VqbString& name,
                                                      const VqbString& description) = 0;
    virtual ReposDataAccessCursor* listAttributeContainers(uint32_t id, const VqbString& containerType,
                                                           const VqbString& description) = 0;
    virtual ReposDataAccessCursor* listAttributeTypes(uint32_t id, const VqbString& typeCode,
                                                      const VqbString& description) = 0;
    virtual ReposDataAccessCursor* listLanguages(uint32_t id, const VqbString& name, const VqbString& code) = 0;
    virtual ReposDataAccessCursor* listOperations(uint32_t id, const VqbString& permission,
                                                  const VqbString& description, uint32_t position) = 0;
    virtual ReposDataAccessCursor* listRoles(uint32_t id, const VqbString& name, const VqbString& description,
                                             const VqbString& roleType) = 0;
    virtual ReposDataAccessCursor* listItems(uint32_t id, const VqbString& key, const VqbString& value,
                                             const VqbString& enabled, const VqbString& active,
                                             const VqbString& scope, uint32_t accountId) = 0;
    virtual ReposDataAccessCursor* listItemPermissions(uint32_t itemId, uint32_t accountId,
                                                       uint32_t permissionId) = 0;
    virtual ReposDataAccessCursor* listItemAttributeValues(uint32_t id, const VqbString& value,
                                                           uint32_t languageId) = 0;
    virtual ReposDataAccessCursor* listDomains(uint32_t id, const VqbString& name, const VqbString& description,
                                               const VqbString& domainType, const VqbString& enabled,
                                               const VqbString& active, const VqbString& scope,
                                               uint32_t defaultLanguageId, const VqbString& isLocked,
                                               uint32_t ownerId, uint32_t lockedById, const VqbDate& lockDate,
                                               const VqbString& confType, const VqbDate& created) = 0;
    // Versions of domains with an owner, by domain name and version: domain ID, DOMNAME, DESCRPTN,
    // version ID, VERSION, LABEL, owner ACTNAME, DOMTYPE, SCOPE, version CRTDATE. latestOnly keeps
    // each domain's most recently inserted version.
    virtual ReposDataAccessCursor* listDomainsWithVersions(uint32_t domainId, const VqbString& name,
                                                           bool latestOnly) = 0;
    // Domain ID, DOMNAME, DOMTYPE, version ID, VERSION.
    virtual ReposDataAccessCursor* listDomainVersionInfo(uint32_t domainId, uint32_t versionId) = 0;
    // The domain's columns, lock holder ACTNAME, language CODE, default language CODE: one row per
    // language of the domain, by domain and language code.
    virtual ReposDataAccessCursor* getDomainDetails(uint32_t domainId) = 0;
    // The version with the highest number (every version without a domain): its columns, the
    // account's ACTNAME and the lock holder's ACTNAME.
    virtual ReposDataAccessCursor* getLatestDomainVersion(uint32_t domainId) = 0;
    virtual ReposDataAccessCursor* listDomainPermissions(uint32_t domainId, uint32_t accountId,
                                                         uint32_t permissionId) = 0;
    // Newest first.
    virtual ReposDataAccessCursor* listDomainVersions(uint32_t id, uint32_t domainId, uint32_t version,
                                                      const VqbString& label, const VqbString& enabled,
                                                      const VqbString& active, const VqbString& scope,
                                                      uint32_t accountId, const VqbString& isLocked,
                                                      uint32_t lockedById, const VqbDate& lockDate,
                                                      const VqbDate& created) = 0;
    // The version's columns, the account's ACTNAME and the lock holder's ACTNAME, by version
    // number; latestOnly (with a domain) keeps the highest number.
    virtual ReposDataAccessCursor* listDomainVersionsWithOwners(uint32_t domainId, bool latestOnly) = 0;
    // Every version of the domains enabled with Y: DOMNAME, DESCRPTN, DOMTYPE, SCOPE, ENABLED,
    // VERSION, version ID.
    virtual ReposDataAccessCursor* listEnabledDomainVersions() = 0;
    virtual ReposDataAccessCursor* listDomainVersionPermissions(uint32_t domainVersionId, uint32_t accountId,
                                                                uint32_t permissionId) = 0;
    virtual ReposDataAccessCursor* listNotes(uint32_t id, uint32_t domainId, const VqbString& noteType,
                                             uint32_t tableKeyId, const VqbString& tableName,
                                             const VqbString& text, uint32_t languageId, uint32_t accountId,
                                             const VqbDate& created) = 0;
    virtual ReposDataAccessCursor* listDomainAccess(uint32_t domainId, uint32_t accountId, uint32_t roleId) = 0;
    virtual ReposDataAccessCursor* listDomainAssociations(uint32_t domainId, uint32_t associationId,
                                                          const VqbString& name) = 0;
    virtual ReposDataAccessCursor* listDomainLanguages(uint32_t id, uint32_t domainId, uint32_t languageId) = 0;
    // CODE, LANGNAME, default language CODE, language ID, domain-language ID.
    virtual ReposDataAccessCursor* listDomainVersionLanguages(uint32_t languageId, uint32_t domainId,
                                                              uint32_t domainVersionId) = 0;
    // The domain-language ids whose language some item attribute value of the version uses.
    virtual ReposDataAccessCursor* listUsedDomainLanguageIds(uint32_t domainId, uint32_t domainVersionId) = 0;
    virtual ReposDataAccessCursor* listDomainLanguageVersions(uint32_t domainVersionId,
                                                              uint32_t domainLanguageId) = 0;
    virtual ReposDataAccessCursor* listDomainAttributes(uint32_t id, uint32_t domainId, uint32_t attributeId) = 0;
    // Attribute ID, ATTRNAME, DESCRPTN, domain attribute ID, ATTRIBID, ISDEFALT, by name.
    virtual ReposDataAccessCursor* listDomainUserAttributes(uint32_t domainId, uint32_t domainVersionId) = 0;
    // The domain attribute ids whose attribute an item attribute of the version uses.
    virtual ReposDataAccessCursor* listUsedDomainAttributeIds(uint32_t domainId, uint32_t domainVersionId) = 0;
    // As listDomainUserAttributes, once per language of the domain, with its LANGNAME.
    virtual ReposDataAccessCursor* listDomainUserAttributesWithLanguages(uint32_t domainId,
                                                                         uint32_t domainVersionId) = 0;
    virtual ReposDataAccessCursor* listDomainAttributePermissions(uint32_t domainId, uint32_t accountId,
                                                                  uint32_t permissionId) = 0;
    virtual ReposDataAccessCursor* listDomainAttributeVersions(uint32_t domainId, uint32_t domainAttributeId,
                                                               uint32_t domainVersionId,
                                                               const VqbString& isDefault) = 0;
    virtual ReposDataAccessCursor* listDomainAttributeValues(uint32_t id, uint32_t domainAttributeId,
                                                             const VqbString& value, const VqbString& isDefault,
                                                             uint32_t languageId) = 0;
    virtual ReposDataAccessCursor* listDomainAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId) = 0;
    // Item ID, PARNTID, ITEMKEY, ITEMVAL, LINEAGE, ITEMLVL, placement ID.
    virtual ReposDataAccessCursor* listItemHierarchy(uint32_t itemId, uint32_t domainVersionId) = 0;
    // Placement ID, ITEMKEY, ITEMVAL, PARNTID, VALUE, ATTRNAME, DESCRPTN, LANGNAME, DOMNAME, VERSION:
    // every attribute of each placement, newest version number first.
    virtual ReposDataAccessCursor* listDomainItemsWithAttributes(uint32_t domainId, uint32_t domainVersionId) = 0;
    // The same columns, only the attributes tied to the placement's version; filtered by version number.
    virtual ReposDataAccessCursor* listVersionItemsWithAttributes(uint32_t domainId, uint32_t version) = 0;
    virtual ReposDataAccessCursor* listItemVersions(uint32_t id, uint32_t domainVersionId, uint32_t itemId,
                                                    const VqbDate& created, uint32_t level,
                                                    const VqbString& lineage, uint32_t parentId) = 0;
    // Placement ID, PARNTID, ITEMKEY, ITEMVAL, LINEAGE, ITEMLVL, CHILDREN_COUNT.
    virtual ReposDataAccessCursor* listChildItems(uint32_t domainVersionId, uint32_t parentId) = 0;
    virtual ReposDataAccessCursor* listItemAttributes(uint32_t id, uint32_t placementId, uint32_t attributeId) = 0;
    // Attribute ID, ATTRNAME, DESCRPTN, item attribute ID, by name.
    virtual ReposDataAccessCursor* listItemAttributeNames(uint32_t placementId, uint32_t domainVersionId) = 0;
    virtual ReposDataAccessCursor* listItemAttributePermissions(uint32_t itemAttributeId, uint32_t accountId,
                                                                uint32_t permissionId) = 0;
    virtual ReposDataAccessCursor* listItemAttributeVersions(uint32_t domainVersionId, uint32_t itemAttributeId) = 0;
    // Attribute ID, ATTRNAME, DESCRPTN, the value's ID, VALUE, LANGID, the link's ITEATTID, the
    // language's CODE and ID.
    virtual ReposDataAccessCursor* listItemAttributeValuesWithLanguages(uint32_t placementId,
                                                                        uint32_t domainVersionId) = 0;
    virtual ReposDataAccessCursor* listItemAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId,
                                                                  uint32_t itemAttributeId) = 0;
    // The publication's columns and its domain's DOMNAME.
    virtual ReposDataAccessCursor* listPublications(uint32_t id, const VqbString& name, const VqbString& type,
                                                    uint32_t domainId, uint32_t version, const VqbString& dsn,
                                                    const VqbString& schema) = 0;
    // Notes on publications, newest first: the note's columns and the writer's ACTNAME.
    virtual ReposDataAccessCursor* listPublicationNotes(uint32_t domainId) = 0;

    // ---- deletes
    virtual bool deleteAccounts(uint32_t id, const VqbString& name, const VqbString& type,
                                const VqbString& authServer, const VqbString& email, const VqbString& phone,
                                const VqbString& address) = 0;
    virtual bool deleteAttributes(uint32_t id, const VqbString& name) = 0;
    virtual bool deleteAttributeContainers(uint32_t id, const VqbString& containerType,
                                           const VqbString& description) = 0;
    virtual bool deleteAttributeTypes(uint32_t id, const VqbString& typeCode, const VqbString& description) = 0;
    virtual bool deleteLanguages(uint32_t id, const VqbString& name, const VqbString& code) = 0;
    virtual bool deleteOperations(uint32_t id, const VqbString& permission, const VqbString& description,
                                  uint32_t position) = 0;
    virtual bool deleteRoles(uint32_t id, const VqbString& name, const VqbString& description,
                             const VqbString& roleType) = 0;
    virtual bool deleteItems(uint32_t id, const VqbString& key, const VqbString& value, const VqbString& enabled,
                             const VqbString& active, const VqbString& scope, uint32_t accountId) = 0;
    virtual bool deleteItemAttributeValues(uint32_t id, const VqbString& value, uint32_t languageId) = 0;
    virtual bool deleteDomains(uint32_t id, const VqbString& name, const VqbString& description,
                               const VqbString& domainType, const VqbString& enabled, const VqbString& active,
                               const VqbString& scope, uint32_t defaultLanguageId, const VqbString& isLocked,
                               uint32_t ownerId, uint32_t lockedById, const VqbDate& lockDate,
                               const VqbString& confType, const VqbDate& created) = 0;
    virtual bool deleteDomainPermissions(uint32_t domainId, uint32_t accountId, uint32_t permissionId) = 0;
    virtual bool deleteDomainVersions(uint32_t id, uint32_t domainId, uint32_t version, const VqbString& label,
                                      const VqbString& enabled, const VqbString& active, const VqbString& scope,
                                      uint32_t accountId, const VqbString& isLocked, uint32_t lockedById,
                                      const VqbDate& lockDate, const VqbDate& created) = 0;
    virtual bool deleteDomainVersionPermissions(uint32_t domainVersionId, uint32_t accountId,
                                                uint32_t permissionId) = 0;
    // A note cannot be deleted by its date.
    virtual bool deleteNotes(uint32_t id, uint32_t domainId, const VqbString& noteType, uint32_t tableKeyId,
                             const VqbString& tableName, const VqbString& text, uint32_t languageId,
                             uint32_t accountId) = 0;
    virtual bool deleteDomainAccess(uint32_t domainId, uint32_t accountId, uint32_t roleId) = 0;
    virtual bool deleteDomainAssociations(uint32_t domainId, uint32_t associationId, const VqbString& name) = 0;
    virtual bool deleteDomainLanguages(uint32_t id, uint32_t domainId, uint32_t languageId) = 0;
    virtual bool deleteDomainLanguageVersions(uint32_t domainVersionId, uint32_t domainLanguageId) = 0;
    virtual bool deleteDomainAttributes(uint32_t id, uint32_t domainId, uint32_t attributeId) = 0;
    virtual bool deleteDomainAttributePermissions(uint32_t domainId, uint32_t accountId, uint32_t permissionId) = 0;
    virtual bool deleteDomainAttributeVersions(uint32_t domainId, uint32_t domainAttributeId,
                                               uint32_t domainVersionId, const VqbString& isDefault) = 0;
    virtual bool deleteDomainAttributeValues(uint32_t id, uint32_t domainAttributeId, const VqbString& value,
                                             const VqbString& isDefault, uint32_t languageId) = 0;
    virtual bool deleteDomainAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId) = 0;
    virtual bool deleteItemPermissions(uint32_t itemId, uint32_t accountId, uint32_t permissionId) = 0;
    virtual bool deleteItemVersions(uint32_t id, uint32_t domainVersionId, uint32_t itemId, const VqbDate& created,
                                    uint32_t level, const VqbString& lineage, uint32_t parentId) = 0;
    virtual bool deleteItemAttributes(uint32_t id, uint32_t placementId, uint32_t attributeId) = 0;
    virtual bool deleteItemAttributePermissions(uint32_t itemAttributeId, uint32_t accountId,
                                                uint32_t permissionId) = 0;
    virtual bool deleteItemAttributeVersions(uint32_t domainVersionId, uint32_t itemAttributeId) = 0;
    virtual bool deleteItemAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId,
                                                  uint32_t itemAttributeId) = 0;
    virtual bool deletePublications(uint32_t id, const VqbString& name, const VqbString& type, uint32_t domainId,
                                    uint32_t version, const VqbString& dsn, const VqbString& schema) = 0;

    // ---- the staging tables of an import
    virtual bool deleteImportItems(uint32_t id, uint32_t itemId, const VqbString& valueColumn,
                                   const VqbString& displayColumn, const VqbString& parentColumn, uint32_t parentId,
                                   uint32_t domainVersionId, uint32_t profile, const VqbString& importFlag,
                                   const VqbString& versionFlag, const VqbString& parentKeyColumn,
                                   const VqbString& lineage, uint32_t level, uint32_t itemVersionId,
                                   const VqbDate& created) = 0;
    virtual bool deleteImportAttributeValues(uint32_t id, uint32_t itemId, uint32_t attributeId, uint32_t valueId,
                                             uint32_t languageId, const VqbString& attributeValue, uint32_t profile,
                                             const VqbString& valueImportFlag, const VqbString& attributeImportFlag,
                                             const VqbString& valueVersionFlag,
                                             const VqbString& attributeVersionFlag, uint32_t attributeKey,
                                             uint32_t valueKey, uint32_t itemAttributeId, uint32_t domainVersionId,
                                             uint32_t itemVersionId, const VqbDate& created) = 0;
    virtual bool deleteImportItemVersions(uint32_t domainVersionId, uint32_t itemId, const VqbDate& created,
                                          uint32_t level, const VqbString& lineage, uint32_t parentId,
                                          uint32_t profile) = 0;
    virtual bool deleteTempItems(uint32_t itemId, uint32_t domainVersionId) = 0;
    virtual bool deleteImportAttributes(uint32_t id, uint32_t itemId, uint32_t itemVersionId,
                                        uint32_t domainVersionId) = 0;
    virtual bool deleteImportColumns(uint32_t sourceColumn, uint32_t position, uint32_t profile,
                                     uint32_t systemColumn, uint32_t isAttribute) = 0;
};

#endif
