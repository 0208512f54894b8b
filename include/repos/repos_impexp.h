// The import/export manager handed to hosts: one repository object with its content as serialised
// text, imported back as a new object or over an existing one, and deleted by path. Hosts end it
// with delete or with release().
#ifndef REPOS_IMPEXP_H
#define REPOS_IMPEXP_H

#include "vqbstring.h"
#include "vqrepmeta.h"

class RepositoryImportExportManager {
public:
    virtual ~RepositoryImportExportManager() = default;
    // listener (may be null) receives the serialisation context's actions during this call only.
    virtual bool exportObject(unsigned id, const VqbString& typeName, const VqbString& uuid, VqbString& output,
                              VqbString& error, RepositoryActionEvent* listener) = 0;
    virtual bool exportObjectByPath(const VqbString& path, const VqbString& typeName, VqbString& output,
                                    VqbString& error) = 0;
    // A new object at a repository path (folder names and the object's name joined by "/").
    virtual bool importObjectAtPath(const VqbString& path, const VqbString& serialized, VqbString& error) = 0;
    virtual bool deleteObject(const VqbString& path, const VqbString& typeName, VqbString& error) = 0;
    // Indented output when true (the default).
    virtual void setSerializationFlag(bool flag) = 0;
    // A new object in the folder; log receives the error texts and, on a failed parse or an
    // unexpected failure, the import log.
    virtual bool importObject(const VqbString& serialized, unsigned folderId, VqbString& log) = 0;
    // Overwrites the existing object of that id and type and places it in the folder.
    virtual bool updateObjectOnImport(unsigned id, const VqbString& typeName, const VqbString& uuid,
                                      const VqbString& serialized, unsigned folderId, VqbString& error,
                                      RepositoryActionEvent* listener) = 0;
    virtual void release() = 0;
};

#endif
