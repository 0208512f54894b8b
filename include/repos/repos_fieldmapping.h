// Field mappings: named sets of physical columns of the user's own source databases (data source,
// catalog, schema, table, connection type), each table with the key fields that identify a row
// and at most one value field that a value may be written back into.
//
// Obtained from Repository::createFieldMappingAdminObject; both objects are ended with their
// release() (never deleted), before the repository. Every operation but the getters and release
// takes an optional text that receives the failure's reason; the same text is logged at level 5.
//
// Connection types (MAP_TYPE) say how a data source name is reached: 1 an ODBC data source name,
// 2 a SQLite file, 3 a complete connection text, any other value a connection text when it holds
// '=', else an ODBC data source name.
#ifndef REPOS_FIELDMAPPING_H
#define REPOS_FIELDMAPPING_H

#include "repos_dataaccess.h"
#include "vqbdatavar.h"
#include "vqbstring.h"

// One key of the source row a value is written to: a key field of the mapped table and its value.
struct FieldMappingKey {
    VqbString name;
    VqbDatavar value;
};

class FieldMappingObject {
protected:
    ~FieldMappingObject() = default;

public:
    // The mapping's header as this object holds it.
    virtual int getId() = 0;
    virtual VqbString getName() = 0;
    virtual VqbString getDescription() = 0;
    virtual VqbString getCreatedBy() = 0;
    virtual VqbDate getCreatedDate() = 0;
    virtual VqbString getModifiedBy() = 0;
    virtual VqbDate getModifiedDate() = 0;
    virtual int getFolderId() = 0;
    virtual VqbString getUUID() = 0;
    virtual void release() = 0;

    // Maps a field of a source table. True without a second row when the field is already mapped
    // with the same role; a table has any number of key fields and at most one value field
    // (message 1433 for a second one).
    virtual bool addField(VqbString* error, const VqbString& dsn, const VqbString& catalog, const VqbString& schema,
                          const VqbString& table, const VqbString& field, bool isKey, int type) = 0;
    // MAP_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_TYPE: one row a mapped table.
    virtual ReposDataAccessCursor* listTables(VqbString* error) = 0;
    // The key fields of one table, as MAPCON rows (field at 5, key flag at 7).
    virtual ReposDataAccessCursor* listTableFields(VqbString* error, const VqbString& dsn, const VqbString& catalog,
                                                   const VqbString& schema, const VqbString& table, int type) = 0;
    // Every MAPCON row of the mapping.
    virtual ReposDataAccessCursor* listFields(VqbString* error) = 0;

    // Each change is stored at once with the user as modifier and the current date.
    virtual bool setName(VqbString* error, const VqbString& value, const VqbString& user) = 0;
    virtual bool setDescription(VqbString* error, const VqbString& value, const VqbString& user) = 0;
    virtual bool setFolderId(VqbString* error, int value, const VqbString& user) = 0;

    // Writes value into the value field of the one source row whose key fields have the keys'
    // values; every key field of the table must be given. False, with nothing written, when the
    // table is not mapped, a key is missing or unknown, a name cannot be used in a statement, or
    // the keys match no row or more than one.
    virtual bool updateSourceValue(VqbString* error, const VqbDatavar& value, const VqbString& dsn,
                                   const VqbString& catalog, const VqbString& schema, const VqbString& table, int type,
                                   int keyCount, const FieldMappingKey* keys) = 0;
};

class FieldMappingAdminObject {
protected:
    ~FieldMappingAdminObject() = default;

public:
    virtual void release() = 0;
    // A new mapping in the folder, the user as creator and modifier; id (when not null) receives
    // its id.
    virtual bool addFieldMapping(VqbString* error, const VqbString& name, const VqbString& description,
                                 const VqbString& user, int folderId, int* id) = 0;
    // Every mapping: MAP_ID, MAP_NAME, MAP_DESC, MAP_UUID, MAP_CRDT, MAP_EDDT, MAP_CRUS, MAP_EDUS,
    // FLDR_ID.
    virtual ReposDataAccessCursor* listFieldMappings(VqbString* error) = 0;
    // Null (message 1532) when the mapping does not exist.
    virtual FieldMappingObject* openFieldMapping(VqbString* error, int mapId) = 0;
};

#endif
