#include "repmetamonitorimpl.h"

#include <new>
#include <string>

#include "curuser.h"
#include "objecttypes.h"
#include "reposlog.h"

namespace {

const char* const kSource = "repmetamonitorimpl";

struct MonitorType {
    ReposManagedType managed;
    const char* description;  // property, none for sources
    const char* deleting;
    const char* notFound;        // name, id
    const char* createFailure;  // name, data access error
};

const MonitorType kTypes[] = {
    {{ReposObjectTypeName::Source, "ES_NAME", "ES_ID", "ES_UUID",
      "Unable to create export metadata object for source.", "Unable to create source export object.",
      "Changing source Name from original \"%s\" to new \"%s\" on import.", 1, "Created source import object",
      "Error updating source in database: %s"},
     nullptr, "Deleting Source object with id=%d", "Unable to export source, object not found with name=\"%s\" id=%d",
     "Unable to create source object \"%s\" during import:  %s"},
    {{ReposObjectTypeName::Dimension, "DIM_NAME", "DIM_ID", "UUID",
      "Unable to create export metadata object for dimension.", "Unable to create dimension export object.",
      "Changing dimension Name from original \"%s\" to new \"%s\" on import.", 1, "Created dimension import object",
      "Error updating dimension in database: %s"},
     "DIM_DESC", "Deleting dimension object with id=%d",
     "Unable to export dimension, object not found with name=\"%s\" id=%d",
     "Unable to create dimension object \"%s\" during import:  %s"},
    {{ReposObjectTypeName::Threshold, "THR_NAME", "THR_ID", "UUID",
      "Unable to create export metadata object for threshold.", "Unable to create threshold export object.",
      "Changing threshold Name from original \"%s\" to new \"%s\" on import.", 3, "Created threshold import object",
      "Error updating threshold in database: %s"},
     "THR_DESC", "Deleting threshold object with id=%d",
     "Unable to export threshold, object not found with name=\"%s\" id=%d",
     "Unable to create threshold object \"%s\" during import:  %s"},
};

const MonitorType& typeOf(ReposMonitorKind kind) { return kTypes[static_cast<int>(kind)]; }

MonitorMetaContentImpl& monitorOf(RepositoryMetaContentImpl& content) {
    return static_cast<MonitorMetaContentImpl&>(content);
}

ReposDataAccessCursor* findRow(MonitorRepositoryDataAccess* monitor, ReposMonitorKind kind, int id,
                               const VqbString& name, const VqbString& uuid) {
    switch (kind) {
        case ReposMonitorKind::Source: return monitor->findSource(id, name, uuid);
        case ReposMonitorKind::Dimension: return monitor->findDimension(id, name, uuid);
        case ReposMonitorKind::Threshold: return monitor->findThreshold(id, name, uuid);
    }
    return nullptr;
}

}  // namespace

MonitorMetaContentImpl::MonitorMetaContentImpl(RepositoryImportExportManagerImpl* owner_, Repository* repository_)
    : RepositoryMetaContentImpl(owner_, repository_) {
    if (repository) monitor.reset(repository->createMonitorRepositoryDataAccess());
}

std::unique_ptr<MonitorMetaContentImpl> createMonitorExportContent(RepositoryImportExportManagerImpl* owner,
                                                                  Repository* repository, unsigned id,
                                                                  const VqbString& uuid) {
    std::unique_ptr<MonitorMetaContentImpl> content(new (std::nothrow) MonitorMetaContentImpl(owner, repository));
    if (content) {
        content->id = id;
        content->uuid = uuid;
    }
    return content;
}

bool reposExportMonitorObject(MonitorMetaContentImpl& content, ReposMonitorKind kind, RepositoryMetadataObject* object,
                              VqbString& error) {
    using C = RepositoryMetaContentImpl;
    const MonitorType& type = typeOf(kind);
    if (!content.monitor) return content.fail(0, error, VqbString(type.managed.exportHandlerText));
    if (content.uuid.isEmpty()) content.uuid = object->getUuid();
    VqbString name = C::text(object, type.managed.nameProperty);
    if (name.isNull()) name = VqbString("");
    int id = content.id >= 1 && content.id != 0xFFFFFFFFu ? static_cast<int>(content.id) : -1;
    ReposHeld<ReposDataAccessCursor> row(findRow(content.monitor.get(), kind, id, name, content.uuid));
    if (!row || row->next() != 1) {
        VqbString text = VqbString::format(type.notFound, name.asCstr(), id);
        reposLog(content.owner->getLogger(), 2, kSource, __LINE__, "%s", text.asCstr());
        return content.fail(0, error, text);
    }
    C::copyRow(row.get(), object, false);
    content.id = static_cast<unsigned>(C::column(row.get(), type.managed.idColumn).asInt());
    if (object->getUuid().isEmpty()) object->setUuid(C::column(row.get(), type.managed.uuidColumn));
    return true;
}

ReposThresholdBands reposReadThresholdBands(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object) {
    ReposThresholdBands bands;
    // Empty and non-numeric values read as 0; only the latter are worth a word.
    auto numeric = [&](const VqbString& name, const VqbString& text, double& value, bool whole) {
        if (text.isEmpty()) return;
        int integer = 0;
        if (whole ? object->getIntProperty(name, integer) : object->getDoubleProperty(name, value)) {
            if (whole) value = integer;
            return;
        }
        content.report(1, VqbString::format("The threshold value %s=\"%s\" is not a number; 0 is used.",
                                            name.asCstr(), text.asCstr()));
    };
    const char* const fields[4] = {"NAME", "START", "END", "COLOR"};
    for (int i = 0; i < 7; ++i) {
        VqbString names[4], texts[4];
        bool any = false;
        for (int f = 0; f < 4; ++f) {
            names[f] = VqbString::format("%s_%d", fields[f], i);
            texts[f] = RepositoryMetaContentImpl::text(object, names[f].asCstr());
            if (texts[f].isNull()) texts[f] = VqbString("");
            any = any || !texts[f].isEmpty();
        }
        if (!any) break;
        double color = 0;
        bands.names[i] = texts[0];
        numeric(names[1], texts[1], bands.starts[i], false);
        numeric(names[2], texts[2], bands.ends[i], false);
        numeric(names[3], texts[3], color, true);
        bands.colors[i] = static_cast<int>(color);
        ++bands.count;
    }
    return bands;
}

// ---- the managers

MonitorObjectManagerImpl::MonitorObjectManagerImpl(RepositoryImportExportManagerImpl* owner, ReposMonitorKind kind)
    : CommonObjectManagerImpl(owner, typeOf(kind).managed), kind_(kind) {}

std::unique_ptr<RepositoryMetaContentImpl> MonitorObjectManagerImpl::makeContent() {
    return std::unique_ptr<RepositoryMetaContentImpl>(
        new (std::nothrow) MonitorMetaContentImpl(owner_, owner_->getRepository()));
}

bool MonitorObjectManagerImpl::deleteObject(unsigned id, const VqbString&, VqbString&) {
    std::unique_ptr<RepositoryMetaContentImpl> content = makeContent();
    if (!content || !content->ready()) return false;
    reposLog(owner_->getLogger(), 2, kSource, __LINE__, typeOf(kind_).deleting, static_cast<int>(id));
    return remove(*content, id);
}

bool MonitorObjectManagerImpl::remove(RepositoryMetaContentImpl& content, unsigned id) {
    MonitorRepositoryDataAccess* monitor = monitorOf(content).monitor.get();
    switch (kind_) {
        case ReposMonitorKind::Source: return monitor->deleteSource(id);
        case ReposMonitorKind::Dimension: return monitor->deleteDimension(id);
        case ReposMonitorKind::Threshold: return monitor->deleteThreshold(id);
    }
    return false;
}

bool MonitorObjectManagerImpl::exportContent(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object,
                                             VqbString& error) {
    return reposExportMonitorObject(monitorOf(content), kind_, object, error);
}

ReposDataAccessCursor* MonitorObjectManagerImpl::find(RepositoryMetaContentImpl& content, const VqbString& name,
                                                      const VqbString& uuid) {
    MonitorRepositoryDataAccess* monitor = monitorOf(content).monitor.get();
    VqbString none("");
    if (kind_ == ReposMonitorKind::Source) return monitor->findSource(-1, uuid.isEmpty() ? name : none, uuid);
    // Dimensions and thresholds are matched by UUID, then by name.
    if (!uuid.isEmpty()) {
        ReposHeld<ReposDataAccessCursor> byUuid(findRow(monitor, kind_, -1, none, uuid));
        if (byUuid && byUuid->next() == 1) return findRow(monitor, kind_, -1, none, uuid);
    }
    if (name.isEmpty()) return nullptr;
    return findRow(monitor, kind_, -1, name, none);
}

unsigned MonitorObjectManagerImpl::insert(RepositoryMetaContentImpl& content, const VqbString& name) {
    using C = RepositoryMetaContentImpl;
    MonitorRepositoryDataAccess* monitor = monitorOf(content).monitor.get();
    RepositoryMetadataObject* object = content.object;
    const MonitorType& type = typeOf(kind_);
    VqbString user = getCurrentUserName(), uuid = object->getUuid();
    int folder = static_cast<int>(content.folderId);
    uint32_t id = 0xFFFFFFFFu;
    bool ok = false;
    switch (kind_) {
        case ReposMonitorKind::Source: ok = monitor->addSource(name, uuid, user, folder, &id); break;
        case ReposMonitorKind::Dimension:
            ok = monitor->addDimension(name, C::text(object, type.description), user, uuid, folder, &id);
            break;
        case ReposMonitorKind::Threshold: {
            ReposThresholdBands b = reposReadThresholdBands(content, object);
            ok = monitor->addThreshold(name, C::text(object, type.description), user, uuid, folder, b.count, b.names,
                                       b.starts, b.ends, b.colors, &id);
            break;
        }
    }
    if (!ok) {
        content.report(0, VqbString::format(type.createFailure, name.asCstr(), content.accessError().asCstr()));
        return 0xFFFFFFFFu;
    }
    return id;
}

bool MonitorObjectManagerImpl::updateHeader(RepositoryMetaContentImpl& content, const VqbString& name,
                                            const VqbString&) {
    using C = RepositoryMetaContentImpl;
    MonitorRepositoryDataAccess* monitor = monitorOf(content).monitor.get();
    RepositoryMetadataObject* object = content.object;
    VqbString user = getCurrentUserName(), description = C::text(object, typeOf(kind_).description);
    // None of the three stores a UUID: the chosen one was only reported.
    switch (kind_) {
        case ReposMonitorKind::Source:
            return monitor->updateSource(content.id, name, user, static_cast<int>(content.folderId));
        case ReposMonitorKind::Dimension:
            return monitor->updateDimension(content.id, name, description, user, content.folderId);
        case ReposMonitorKind::Threshold: {
            ReposThresholdBands b = reposReadThresholdBands(content, object);
            return monitor->updateThreshold(content.id, name, description, user, content.folderId, b.count, b.names,
                                            b.starts, b.ends, b.colors);
        }
    }
    return false;
}

bool MonitorObjectManagerImpl::importContent(RepositoryMetaContentImpl& content, VqbString&) {
    return content.object != nullptr;
}
