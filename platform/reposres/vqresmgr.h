// Resource manager: the identity texts that name lineage resources (repository objects, files,
// databases, tables) uniquely within their resource type.
//
// An identity is a kind word and the fields it was made from, joined with '|':
//   object|<base>|<type name>|<id text>|<uuid>
//   file|<path>|<file name>
//   database|<DATA SOURCE TYPE>|<connection>
//   table|<DATA SOURCE TYPE>|<connection>|<catalog>|<schema>|<table>
// Inside a field '^' is written "^^" and '|' "^|"; nothing else changes, so different fields never
// give the same identity, and a "%%NAME%%" configuration macro in a field stays intact (expanding it
// in the identity gives the identity of the expanded field, unless the value holds '^' or '|').
// Connections are normalised: key=value connections lose their credentials (UID, USER, USERNAME,
// USER ID, PWD, PASSWORD, PASSWD), keep the first value of a repeated key, have upper-case keys and
// are sorted by key; a text that is not of that form keeps its ';'-separated segments, trimmed, in
// order, except empty ones and those that set a credential. The data-source type is
// trimmed and upper-cased. Each operation returns true on success; on failure its out texts are
// emptied.
#ifndef VQ_RESMGR_H
#define VQ_RESMGR_H

#include "vqbstring.h"

class VqResourceManager {
public:
    virtual void release() = 0;

    // Fails when the type name is empty, or the id text and the uuid are both empty. With an id
    // text the uuid argument is not part of the identity.
    virtual bool getObjectIdentity(const VqbString& base, const VqbString& typeName, const VqbString& idText,
                                   const VqbString& uuid, VqbString& identity) = 0;
    // Fails when the path is empty; the file name may be empty.
    virtual bool getFileIdentity(const VqbString& path, const VqbString& fileName, VqbString& identity) = 0;
    // The path and file name the identity was made from.
    virtual bool parseFileIdentity(const VqbString& identity, VqbString& path, VqbString& fileName) = 0;
    // Fails when the connection is empty after normalising.
    virtual bool getDatabaseIdentity(const VqbString& connection, const VqbString& dataSourceType,
                                     VqbString& identity) = 0;
    // The normalised connection and data-source type.
    virtual bool parseDatabaseIdentity(const VqbString& identity, VqbString& connection,
                                       VqbString& dataSourceType) = 0;
    // Fails when the table name is empty; the connection, catalog and schema may be empty.
    virtual bool getTableIdentity(const VqbString& connection, const VqbString& dataSourceType,
                                  const VqbString& catalog, const VqbString& schema, const VqbString& table,
                                  VqbString& identity) = 0;
    // The normalised connection, data-source type, catalog, schema and table; the connection gives
    // the same database identity as the one the table identity was made from.
    virtual bool parseTableIdentity(const VqbString& identity, VqbString& connection, VqbString& dataSourceType,
                                    VqbString& catalog, VqbString& schema, VqbString& table) = 0;
    // True when the connection normalises to a non-empty text. Keeps no state.
    virtual bool prepareConnection(const VqbString& connection, const VqbString& dataSourceType) = 0;
    // The value of DSN, else DATABASE, DBQ or FILE, of a key=value connection; false when none.
    virtual bool getDataSourceName(const VqbString& connection, VqbString& name) = 0;

protected:
    ~VqResourceManager() = default;
};

// A new manager (released by the caller), or null when it cannot be allocated.
VqResourceManager* createVqResourceManager();

#endif
