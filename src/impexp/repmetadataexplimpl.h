// Data explorations: exported and updated through the explorer data access; not imported as new.
#ifndef REPMETADATAEXPLIMPL_H
#define REPMETADATAEXPLIMPL_H

#include "repmetacommonimpl.h"

class DataExplorationManagerImpl : public CommonObjectManagerImpl {
public:
    explicit DataExplorationManagerImpl(RepositoryImportExportManagerImpl* owner);

    // No delete event from here: the data access announces the delete itself.
    bool deleteObject(unsigned id, const VqbString& uuid, VqbString& error) override;
    bool importObject(RepositoryMetadataObject* object, unsigned folderId, const VqbString& name,
                      VqbString& error) override;
    bool updateObject(RepositoryMetadataObject* object, unsigned id, const VqbString& existingUuid,
                      unsigned folderId, const VqbString& existingName, VqbString& error) override;

protected:
    // Exports run on the common road; the rest of it does not apply.
    bool remove(RepositoryMetaContentImpl&, unsigned) override { return false; }
    bool exportContent(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object,
                       VqbString& error) override;
    ReposDataAccessCursor* find(RepositoryMetaContentImpl&, const VqbString&, const VqbString&) override {
        return nullptr;
    }
    unsigned insert(RepositoryMetaContentImpl&, const VqbString&) override { return 0; }
    bool updateHeader(RepositoryMetaContentImpl&, const VqbString&, const VqbString&) override { return false; }
    bool importContent(RepositoryMetaContentImpl&, VqbString&) override { return false; }
};

#endif
