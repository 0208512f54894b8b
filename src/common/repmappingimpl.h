// Field mappings over the repository's FLDMAP and MAPCON rows, and the write-back of a value into
// a mapped source row over a connection of the connector's connection cache.
#ifndef REPMAPPINGIMPL_H
#define REPMAPPINGIMPL_H

#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "common_rdaimpl.h"
#include "repos_held.h"
#include "repos_fieldmapping.h"
#include "vqdacpool.h"
#include "vqlog.h"

class FieldMappingAdminImpl final : public FieldMappingAdminObject {
public:
    FieldMappingAdminImpl();

    // Binds the object to the repository's connection; a second call does nothing. Without a
    // connection, or when the data access cannot be made (message 530 logged), every operation
    // fails with message 3.
    void initialise(ReposDataAccess* connection);

    void release() override;
    bool addFieldMapping(VqbString* error, const VqbString& name, const VqbString& description, const VqbString& user,
                         int folderId, int* id) override;
    ReposDataAccessCursor* listFieldMappings(VqbString* error) override;
    FieldMappingObject* openFieldMapping(VqbString* error, int mapId) override;

private:
    ~FieldMappingAdminImpl() = default;

    VqLogger* logger_;
    ReposDataAccess* connection_ = nullptr;  // the repository's
    ReposHeld<CommonRDAImpl> common_;
    bool initialised_ = false;
};

class FieldMappingImpl final : public FieldMappingObject {
public:
    // The header of one FLDMAP row, read by column position.
    explicit FieldMappingImpl(ReposDataAccessCursor* row);

    // The connection cache, the logger and a data access over the repository's connection; false
    // (message 530 logged) when they cannot be made.
    bool initialise(ReposDataAccess* connection);

    int getId() override { return id_; }
    VqbString getName() override { return name_; }
    VqbString getDescription() override { return description_; }
    VqbString getCreatedBy() override { return createdBy_; }
    VqbDate getCreatedDate() override { return createdDate_; }
    VqbString getModifiedBy() override { return modifiedBy_; }
    VqbDate getModifiedDate() override { return modifiedDate_; }
    int getFolderId() override { return folderId_; }
    VqbString getUUID() override { return uuid_; }
    void release() override;
    bool addField(VqbString* error, const VqbString& dsn, const VqbString& catalog, const VqbString& schema,
                  const VqbString& table, const VqbString& field, bool isKey, int type) override;
    ReposDataAccessCursor* listTables(VqbString* error) override;
    ReposDataAccessCursor* listTableFields(VqbString* error, const VqbString& dsn, const VqbString& catalog,
                                           const VqbString& schema, const VqbString& table, int type) override;
    ReposDataAccessCursor* listFields(VqbString* error) override;
    bool setName(VqbString* error, const VqbString& value, const VqbString& user) override;
    bool setDescription(VqbString* error, const VqbString& value, const VqbString& user) override;
    bool setFolderId(VqbString* error, int value, const VqbString& user) override;
    bool updateSourceValue(VqbString* error, const VqbDatavar& value, const VqbString& dsn, const VqbString& catalog,
                           const VqbString& schema, const VqbString& table, int type, int keyCount,
                           const FieldMappingKey* keys) override;

    // The table cache: the mapping's MAPCON rows grouped by data source and connection type.
    struct MappedField {
        VqbString name;
        bool isKey;
    };
    struct MappedTable {
        VqbString catalog;
        VqbString schema;
        VqbString table;
        std::vector<MappedField> fields;  // in MAPCON row order
    };
    // Tables of a source group are told apart by catalog, schema and table, compared exactly.
    using TableKey = std::tuple<VqbString, VqbString, VqbString>;
    struct SourceGroup {
        VqbString dsn;  // data sources compare ignoring case
        int type;
        std::map<TableKey, MappedTable> tables;
    };

private:
    // What one write-back sets and where, from the mapping: names as mapped, key values in key
    // field order.
    struct WritePlan {
        VqbString catalog;
        VqbString schema;
        VqbString table;
        VqbString valueField;
        std::vector<VqbString> keyFields;
        std::vector<const VqbDatavar*> keyValues;
        // The names the statement holds.
        std::vector<const VqbString*> names() const;
    };

    ~FieldMappingImpl() = default;

    // Reads the mapping's MAPCON rows into groups, in the order first met.
    bool loadTables(VqbString* error, std::vector<SourceGroup>& groups);
    // Finds the mapped table, its value field and the value of each key field, and checks the
    // names; nothing is connected.
    bool planWrite(VqbString* error, const VqbString& dsn, const VqbString& catalog, const VqbString& schema,
                   const VqbString& table, int type, int keyCount, const FieldMappingKey* keys, WritePlan& plan);
    bool writeSource(VqbString* error, const WritePlan& plan, const VqbDatavar& value, const VqbString& dsn, int type);
    // Stores the header with one field changed, then reads the stored row back.
    bool storeHeader(VqbString* error, const VqbString& name, const VqbString& description, int folderId,
                     const VqbString& user);
    void readHeader(ReposDataAccessCursor* row);
    // The common failure: the data access's error text, logged and copied.
    bool commonFailure(int line, VqbString* error);
    ReposDataAccessCursor* cursorOrFailure(int line, VqbString* error, ReposDataAccessCursor* cursor);

    int id_ = 0;
    int folderId_ = 0;
    VqbString name_;
    VqbString description_;
    VqbString createdBy_;
    VqbString modifiedBy_;
    VqbString uuid_;
    VqbDate createdDate_;
    VqbDate modifiedDate_;
    VqLogger* logger_ = nullptr;
    std::unique_ptr<ConnCacheSingleton> connections_;
    ReposHeld<CommonRDAImpl> common_;
};

#endif
