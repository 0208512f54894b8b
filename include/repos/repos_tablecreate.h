// Table-creation command specs: per-DBMS SQL that replaces the DDL the library would generate
// for a repository table or its indexes.
#ifndef REPOS_TABLECREATE_H
#define REPOS_TABLECREATE_H

#include "repos_export.h"
#include "vqbstring.h"

namespace VqTableCreateNS {

// Commands in order. next() moves to the first command on its first call, then on; true while a
// command is current. getCommand() is empty past the end.
class VqCommandCursor {
public:
    virtual void release() = 0;
    virtual bool next() = 0;
    virtual VqbString getCommand() = 0;

protected:
    ~VqCommandCursor() = default;
};

// One table spec or index spec of a loaded document; owned by the document.
class VqObjectSpec {
public:
    virtual void release() = 0;
    // A new cursor over the unexpanded templates; the caller releases it.
    virtual VqCommandCursor* getCommands() = 0;
    virtual VqbString getName() = 0;

protected:
    ~VqObjectSpec() = default;
};

// One command spec file. Name arguments are matched against the file's name patterns after
// upper-casing; "%t", "%s", "%f", "%c" (and "%i" for indexes) in a template are replaced by the
// table, schema, fValue, cValue (and index name) as passed. A returned cursor is the caller's;
// an empty cursor means the file has nothing for that table. Null means a refused argument
// (getErrorMessage tells why).
class VqCreateSpecDoc {
public:
    virtual void release() = 0;
    // Replaces whatever the document held; false with the error text set.
    virtual bool loadFile(const VqbString& path) = 0;
    virtual VqbString getErrorMessage() = 0;
    virtual VqCommandCursor* getTableCommands(const VqbString& table, const VqbString& schema, const VqbString& cValue,
                                              const VqbString& dbType, const VqbString& fValue) = 0;
    virtual VqCommandCursor* getIndexCommands(const VqbString& indexName, const VqbString& table,
                                              const VqbString& schema, const VqbString& cValue,
                                              const VqbString& dbType, const VqbString& fValue) = 0;

protected:
    ~VqCreateSpecDoc() = default;
};

}  // namespace VqTableCreateNS

extern "C" {
// A new, empty document (null when memory runs out); load it with loadFile, end it with release.
REPOS_EXPORT VqTableCreateNS::VqCreateSpecDoc* getTableCreationSpec();
}

#endif
