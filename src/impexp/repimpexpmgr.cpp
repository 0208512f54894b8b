#include "repimpexpmgr.h"

#include <new>

#include "repmetacommonimpl.h"
#include "repmetadataexplimpl.h"
#include "repmetamonitorimpl.h"
#include "repmetaprofjobimpl.h"
#include "repmetaruleimpl.h"
#include "repmetataskimpl.h"
#include "objecttypes.h"
#include "repfldrmgrimpl.h"
#include "repos_foldermgr.h"
#include "repos_held.h"
#include "repos_metadata_rda.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

const char* const kSource = "repimpexpmgr";

const char* const kLevelWords[] = {"Error: ", "Warn: ", "Info: ", "Debug: ", "Trace: "};

// The host's listener, or the import collector, is attached for one operation only.
class ListenerScope {
public:
    explicit ListenerScope(RepositoryMetadataSerializationContext* context) : context_(context) {}
    ~ListenerScope() {
        if (context_) context_->setActionListener(nullptr);
    }
    ListenerScope(const ListenerScope&) = delete;
    ListenerScope& operator=(const ListenerScope&) = delete;

private:
    RepositoryMetadataSerializationContext* context_;
};

}  // namespace

bool RepositoryActionEventStringImpl::onActionEvent(int level, const VqbString& source, const VqbString& message) {
    const char* word = level >= 0 && level <= 4 ? kLevelWords[level] : "Unknown: ";
    if (!text_.isEmpty()) text_.append("\n");
    text_.append(VqbString::format("(%s) %s%s", source.asCstr(), word, message.asCstr()));
    return true;
}

RepositoryImportExportManagerImpl::RepositoryImportExportManagerImpl(Repository* repository)
    : repository_(repository),
      context_(createRepositoryMetadataSerializationContext()),
      logger_(vqlogGetLogger(REPOS_LOGGER_IMPEXP)) {
    // Types whose managers are not part of this build are unknown types.
    types_.emplace(ReposObjectTypeName::Rule, std::make_unique<RuleManagerImpl>(this));
    types_.emplace(ReposObjectTypeName::Task, std::make_unique<TaskManagerImpl>(this));
    types_.emplace(ReposObjectTypeName::CustomMetric, std::make_unique<CustomMetricManagerImpl>(this));
    types_.emplace(ReposObjectTypeName::DataExploration, std::make_unique<DataExplorationManagerImpl>(this));
    types_.emplace(ReposObjectTypeName::Collection, std::make_unique<CollectionManagerImpl>(this));
    types_.emplace(ReposObjectTypeName::Source, std::make_unique<SourceManagerImpl>(this));
    types_.emplace(ReposObjectTypeName::Dimension, std::make_unique<DimensionManagerImpl>(this));
    types_.emplace(ReposObjectTypeName::Threshold, std::make_unique<ThresholdManagerImpl>(this));
    types_.emplace(ReposObjectTypeName::ProfileJob, std::make_unique<ProfileJobManagerImpl>(this));
}

RepositoryImportExportManagerImpl::~RepositoryImportExportManagerImpl() {
    types_.clear();
    if (context_) context_->release();
}

RepositoryObjectManagerImpl* RepositoryImportExportManagerImpl::managerOf(const VqbString& typeName) {
    auto found = types_.find(typeName.asCstr());
    return found == types_.end() ? nullptr : found->second.get();
}

void RepositoryImportExportManagerImpl::log(int level, int line, const VqbString& text) {
    reposLog(logger_, level, kSource, line, "%s", text.asCstr());
}

bool RepositoryImportExportManagerImpl::refuse(int line, VqbString& error, bool reported, const VqbString& text) {
    log(5, line, text);
    error = text;
    if (reported) context_->reportAction(0, text);
    return false;
}

bool RepositoryImportExportManagerImpl::serializeObject(RepositoryMetadataObject* object, VqbString& output,
                                                        VqbString& error) {
    reposLog(logger_, 2, kSource, __LINE__, "Serialization started...");
    bool ok = context_->serialize(object, output, error, flag_);
    reposLog(logger_, 2, kSource, __LINE__, "Serialization complete...");
    return ok;
}

void RepositoryImportExportManagerImpl::setObjectPath(unsigned id, const VqbString& typeName, const VqbString& uuid) {
    ReposHeld<RepositoryFolderManager> folders(repository_ ? repository_->createRepositoryFolderManager() : nullptr);
    VqbString path("");
    if (folders && !folders->getObjectPath(id, typeName, path)) {
        log(5, __LINE__, vqb_get_message(VQB_MOD_REPOS, 1591, typeName.asCstr(), static_cast<int>(id)));
        path = VqbString::format("[UNKNOWN %s Id=%d UUID=%s]", typeName.asCstr(), static_cast<int>(id), uuid.asCstr());
    }
    context_->setObjectPath(path, typeName);
}

template <class F>
bool RepositoryImportExportManagerImpl::inTransaction(VqbString& error, F&& body) {
    ReposHeld<MetadataRepositoryDataAccess> access(repository_ ? repository_->createMetadataRepositoryDataAccess()
                                                               : nullptr);
    if (!access) return refuse(__LINE__, error, true, VqbString("No repository is available for the import."));
    // Exclusive from the start: the checks made on the way (path clashes, existing objects) hold
    // until the commit. What the import announces on the way is posted only once this commits.
    if (!access->beginTransaction(true))
        return refuse(__LINE__, error, true,
                      VqbString::format("Unable to begin the import: %s", access->getErrorMessage().asCstr()));
    bool ok = false;
    try {
        ok = body();
    } catch (...) {
        access->endTransaction(false);
        throw;
    }
    if (!ok) {
        access->endTransaction(false);
        return false;
    }
    if (!access->endTransaction(true))
        return refuse(__LINE__, error, true,
                      VqbString::format("Unable to commit the import: %s", access->getErrorMessage().asCstr()));
    return true;
}

bool RepositoryImportExportManagerImpl::exportObject(unsigned id, const VqbString& typeName, const VqbString& uuid,
                                                     VqbString& output, VqbString& error,
                                                     RepositoryActionEvent* listener) try {
    if (!context_) return false;
    ListenerScope scope(context_);
    context_->begin();
    if (listener) context_->setActionListener(listener);
    setObjectPath(id, typeName, uuid);
    context_->reportAction(2, VqbString("Starting serialization of Database object."));
    if (typeName.isEmpty())
        return refuse(__LINE__, error, true,
                      VqbString("Type not specified to export object.  You must specify a type for export."));
    RepositoryObjectManagerImpl* manager = managerOf(typeName);
    if (!manager)
        return refuse(__LINE__, error, false,
                      VqbString::format("The object type \"%s\" is not a known type to export.", typeName.asCstr()));
    return manager->exportObject(id, uuid, output, error);
} catch (...) {
    return refuse(__LINE__, error, false, VqbString("The object could not be exported due to an unknown error."));
}

bool RepositoryImportExportManagerImpl::exportObjectByPath(const VqbString& path, const VqbString& typeName,
                                                           VqbString& output, VqbString& error) try {
    reposLog(logger_, 2, kSource, __LINE__, "Export object by path started...");
    bool ok = false;
    ReposHeld<RepositoryFolderManager> folders(repository_ ? repository_->createRepositoryFolderManager() : nullptr);
    unsigned folderId = 0;
    int objectId = -1;
    VqbString name, uuid;
    if (context_ && folders && folders->getObjectIdFromPath(path, typeName, folderId, objectId, name, uuid, error))
        ok = exportObject(static_cast<unsigned>(objectId), typeName, uuid, output, error, nullptr);
    reposLog(logger_, 2, kSource, __LINE__, "Export object by path completed...");
    return ok;
} catch (...) {
    return refuse(__LINE__, error, false, VqbString("The object could not be exported due to an unknown error."));
}

bool RepositoryImportExportManagerImpl::importObject(const VqbString& serialized, unsigned folderId,
                                                     VqbString& log) try {
    if (!context_ || serialized.isEmpty()) return false;
    ReposHeld<RepositoryActionEventStringImpl> collector(new RepositoryActionEventStringImpl());
    ListenerScope scope(context_);
    context_->begin();
    context_->setActionListener(collector.get());
    auto withImportLog = [&]() {
        log.append("\nImport Log:\n");
        log.append(collector->getText());
        context_->begin();
        return false;
    };
    RepositoryMetadataObject* object = context_->parse(serialized, log);
    if (!object) return withImportLog();
    try {
        RepositoryObjectManagerImpl* manager = managerOf(object->getTypeName());
        if (!manager)
            return refuse(__LINE__, log, false,
                          VqbString::format("The object type \"%s\" is not a known type to import.",
                                            object->getTypeName().asCstr()));
        return inTransaction(log, [&] { return manager->importObject(object, folderId, VqbString(""), log); });
    } catch (...) {
        log.append("The object could not be imported due to an unknown error.");
        reposLog(logger_, 5, kSource, __LINE__, "Error importing object.");
        return withImportLog();
    }
} catch (...) {
    reposLog(logger_, 5, kSource, __LINE__, "Error importing object.");
    return false;
}

bool RepositoryImportExportManagerImpl::importObjectAtPath(const VqbString& path, const VqbString& serialized,
                                                           VqbString& error) try {
    if (!context_) return false;
    ListenerScope scope(context_);
    context_->begin();
    RepositoryMetadataObject* object = context_->parse(serialized, error);
    if (!object) return false;
    ReposHeld<RepositoryFolderManager> folders(repository_ ? repository_->createRepositoryFolderManager() : nullptr);
    if (!folders) return refuse(__LINE__, error, false, VqbString("No repository is available for the import."));
    VqbString folderPath, itemName;
    if (!folders->splitPath(path, folderPath, itemName))
        return refuse(__LINE__, error, false,
                      VqbString::format("Unable to determine folder path and item name from given export path: %s",
                                        path.asCstr()));
    VqbString typeName = object->getTypeName();
    return inTransaction(error, [&] {
        unsigned folderId = 0;
        if (!folders->getIdFromPath(folderPath, folderId))
            return refuse(__LINE__, error, false,
                          VqbString::format("Unable to determine folder id from path: %s", folderPath.asCstr()));
        auto* own = dynamic_cast<RepositoryFolderManagerImpl*>(folders.get());
        ReposHeld<ReposDataAccessCursor> items(own ? own->listItemsNamed(folderId, itemName)
                                                   : folders->listItemsInFolder(folderId));
        while (items && items->next() == 1) {
            if (items->getString(0).trimmed().equals(typeName, false) && items->getString(3).equals(itemName, false))
                return refuse(__LINE__, error, false,
                              VqbString::format("An object already exists at the path: %s", path.asCstr()));
        }
        RepositoryObjectManagerImpl* manager = managerOf(typeName);
        if (!manager)
            return refuse(__LINE__, error, false,
                          VqbString::format("The object type \"%s\" is not a known type to import.",
                                            typeName.asCstr()));
        return manager->importObject(object, folderId, itemName, error);
    });
} catch (...) {
    return refuse(__LINE__, error, false, VqbString("The object could not be imported due to an unknown error."));
}

bool RepositoryImportExportManagerImpl::deleteObject(const VqbString& path, const VqbString& typeName,
                                                     VqbString& error) try {
    if (!context_) return false;
    ReposHeld<RepositoryFolderManager> folders(repository_ ? repository_->createRepositoryFolderManager() : nullptr);
    unsigned folderId = 0;
    int objectId = -1;
    VqbString name, uuid;
    if (!folders || !folders->getObjectIdFromPath(path, typeName, folderId, objectId, name, uuid, error)) return false;
    RepositoryObjectManagerImpl* manager = managerOf(typeName);
    if (!manager)
        return refuse(__LINE__, error, false,
                      VqbString::format("The object type \"%s\" is not a known type to delete.", typeName.asCstr()));
    return manager->deleteObject(static_cast<unsigned>(objectId), uuid, error);
} catch (...) {
    return refuse(__LINE__, error, false, VqbString("The object could not be deleted due to an unknown error."));
}

bool RepositoryImportExportManagerImpl::updateObjectOnImport(unsigned id, const VqbString& typeName,
                                                             const VqbString& uuid, const VqbString& serialized,
                                                             unsigned folderId, VqbString& error,
                                                             RepositoryActionEvent* listener) try {
    if (!context_ || serialized.isEmpty()) return false;
    ListenerScope scope(context_);
    context_->begin();
    context_->setActionListener(listener);
    try {
        setObjectPath(id, typeName, uuid);
        context_->reportAction(2, VqbString("Starting de-serialization of Database object."));
        RepositoryMetadataObject* object = context_->parse(serialized, error);
        if (!object) {
            context_->begin();
            return false;
        }
        if (!object->getTypeName().equals(typeName, false))
            return refuse(__LINE__, error, true,
                          VqbString::format("The object type \"%s\" appears to differ from imported object type \"%s\".",
                                            typeName.asCstr(), object->getTypeName().asCstr()));
        return inTransaction(error, [&] {
            VqbString existingUuid, existingName;
            bool found = false;
            ReposHeld<MetadataRepositoryDataAccess> meta(repository_ ? repository_->createMetadataRepositoryDataAccess()
                                                                     : nullptr);
            VqbString lookupError;
            ReposHeld<ReposDataAccessCursor> row(meta ? meta->getObject(static_cast<int>(id), typeName, lookupError)
                                                      : nullptr);
            while (row && row->next() == 1) {
                existingUuid = row->getString(1);
                existingName = row->getString(3);
                found = true;
            }
            if (!found)
                return refuse(__LINE__, error, true,
                              VqbString::format("The %s object with id=%d and uuid=%s does not exist and cannot be updated.",
                                                typeName.asCstr(), static_cast<int>(id), uuid.asCstr()));
            context_->setIntProperty(object, VqbString("TARGETID"), static_cast<int>(id));
            context_->setStringProperty(object, VqbString("TARGETUUID"), uuid);
            RepositoryObjectManagerImpl* manager = managerOf(typeName);
            if (!manager)
                return refuse(__LINE__, error, true,
                              VqbString::format("The object type \"%s\" is not a known type to update on import.",
                                                typeName.asCstr()));
            return manager->updateObject(object, id, existingUuid, folderId, existingName, error);
        });
    } catch (...) {
        error.append("The object could not be updated on import due to an unknown error.");
        context_->reportAction(0, VqbString("The object could not be updated on import due to an unknown error."));
        context_->begin();
        return false;
    }
} catch (...) {
    return refuse(__LINE__, error, false,
                  VqbString("The object could not be updated on import due to an unknown error."));
}
