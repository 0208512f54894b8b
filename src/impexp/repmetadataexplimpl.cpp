#include "repmetadataexplimpl.h"

#include "objecttypes.h"
#include "repos_explorer_rda.h"
#include "reposlog.h"

namespace {

const char* const kSource = "repmetadataexplimpl";

const ReposManagedType kDataExploration = {
    ReposObjectTypeName::DataExploration,
    "PRJ_NM",
    "PRJ_ID",
    "PRJ_UUID",
    "Unable to create export metadata object for data exploration.",
    "Unable to create data exploration export object.",
    "",
    1,
    "",
    "",
};

ReposHeld<ExplorerRepositoryDataAccess> explorerOf(Repository* repository) {
    return ReposHeld<ExplorerRepositoryDataAccess>(repository ? repository->createExplorerRepositoryDataAccess()
                                                              : nullptr);
}

}  // namespace

DataExplorationManagerImpl::DataExplorationManagerImpl(RepositoryImportExportManagerImpl* owner)
    : CommonObjectManagerImpl(owner, kDataExploration) {}

bool DataExplorationManagerImpl::deleteObject(unsigned id, const VqbString&, VqbString& error) {
    ReposHeld<ExplorerRepositoryDataAccess> explorer = explorerOf(owner_->getRepository());
    if (!explorer) return false;
    if (explorer->deleteProject(id)) return true;
    error = explorer->getErrorMessage();
    return false;
}

bool DataExplorationManagerImpl::exportContent(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object,
                                               VqbString& error) {
    ReposHeld<ExplorerRepositoryDataAccess> explorer = explorerOf(content.repository);
    ReposHeld<ReposDataAccessCursor> row(explorer ? explorer->getProject(content.id) : nullptr);
    if (!row || row->next() != 1) {
        reposLog(owner_->getLogger(), 2, kSource, __LINE__, "Unable to find data exploration object with id=%d",
                 static_cast<int>(content.id));
        error = VqbString("A data exploration was not found to export.");
        return false;
    }
    RepositoryMetaContentImpl::copyRow(row.get(), object, false);
    content.id = static_cast<unsigned>(RepositoryMetaContentImpl::column(row.get(), "PRJ_ID").asInt());
    if (object->getUuid().isEmpty()) object->setUuid(RepositoryMetaContentImpl::column(row.get(), "PRJ_UUID"));
    content.report(1, VqbString("The export does not contain all known metadata for this object."));
    return true;
}

bool DataExplorationManagerImpl::importObject(RepositoryMetadataObject*, unsigned, const VqbString&,
                                              VqbString& error) {
    error = VqbString("NOT IMPLEMENTED.");
    return false;
}

bool DataExplorationManagerImpl::updateObject(RepositoryMetadataObject* object, unsigned id,
                                              const VqbString& existingUuid, unsigned, const VqbString& existingName,
                                              VqbString& error) {
    RepositoryMetaContentImpl content(owner_, owner_->getRepository());
    ReposHeld<ExplorerRepositoryDataAccess> explorer = explorerOf(content.repository);
    if (!explorer) content.common.reset();
    if (reposImportRefused(content, id, true, error)) return false;
    RepositoryMetadataSerializationContext* context = owner_->getContext();
    VqbString name = reposUpdateName(context, kDataExploration.typeName,
                                     RepositoryMetaContentImpl::text(object, "PRJ_NM"), existingName);
    VqbString imported = object->getUuid();
    if (existingUuid.isEmpty() || existingUuid.equals(imported, false))
        content.report(2, VqbString::format("Using original '%s' UUID \"%s\" on import.", kDataExploration.typeName,
                                            imported.asCstr()));
    else
        content.report(2, VqbString::format("Changing '%s' UUID from original \"%s\" to new \"%s\" on import.",
                                            kDataExploration.typeName, imported.asCstr(), existingUuid.asCstr()));
    bool header = explorer->updateProject(id, name, RepositoryMetaContentImpl::text(object, "PRJ_COMM"));
    if (!header) error = explorer->getErrorMessage();
    content.report(1, VqbString("Update metadata for Data Exploration: Not all known metadata is contained."));
    return header;
}
