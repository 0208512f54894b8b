#include "repmetacommonimpl.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "objecttypes.h"
#include "repos_announce.h"
#include "reposlog.h"
#include "vqbutil.h"
#include "vqrepevent.h"

namespace {

const char* const kSource = "repmetacommonimpl";
const int kNoId = -1;  // "no id" of the find operations (0xFFFFFFFF)

bool failedId(unsigned id) { return id == 0 || id == 0xFFFFFFFFu; }

}  // namespace

// ---- content handler

RepositoryMetaContentImpl::RepositoryMetaContentImpl(RepositoryImportExportManagerImpl* owner_,
                                                     Repository* repository_)
    : owner(owner_), repository(repository_) {
    if (repository) common.reset(repository->createCommonRepositoryDataAccess());
}

bool RepositoryMetaContentImpl::fail(int level, VqbString& error, const VqbString& text) {
    report(level, text);
    error = text;
    return false;
}

VqbString RepositoryMetaContentImpl::withAccessError(const char* format) {
    VqbString detail = accessError();
    if (!detail.isEmpty()) return VqbString::format(format, detail.asCstr());
    std::string bare(format);
    size_t colon = bare.find(':');
    return VqbString(colon == std::string::npos ? bare : bare.substr(0, colon));
}

void RepositoryMetaContentImpl::copyRow(ReposDataAccessCursor* cursor, RepositoryMetadataObject* object,
                                        bool sorted) {
    std::vector<std::pair<VqbString, VqbString>> values;
    for (int i = 0, n = cursor->getNumCols(); i < n; ++i) {
        VqbString name = cursor->getColName(i);
        name.uppercase();
        VqbString value;
        if (!cursor->isNull(i)) value = cursor->getValue(i).asString();
        values.emplace_back(std::move(name), std::move(value));
    }
    if (sorted)
        std::stable_sort(values.begin(), values.end(),
                         [](const auto& a, const auto& b) { return a.first.str() < b.first.str(); });
    for (const auto& value : values) object->setProperty(value.first, value.second);
}

VqbString RepositoryMetaContentImpl::column(ReposDataAccessCursor* cursor, const char* name) {
    for (int i = 0, n = cursor->getNumCols(); i < n; ++i)
        if (cursor->getColName(i).equals(VqbString(name), false))
            return cursor->isNull(i) ? VqbString() : cursor->getValue(i).asString();
    return VqbString();
}

VqbString RepositoryMetaContentImpl::text(RepositoryMetadataObject* object, const char* name) {
    VqbString value;
    if (!object || !object->getProperty(VqbString(name), value)) value.setNull();
    return value;
}

int RepositoryMetaContentImpl::number(RepositoryMetadataObject* object, const char* name, int absent) {
    int value = absent;
    if (object) object->getIntProperty(VqbString(name), value);
    return value;
}

void RepositoryMetaContentImpl::addRowChildren(ReposDataAccessCursor* rows, RepositoryMetadataObject* parent,
                                               const char* listName, const char* childType, const char* keyColumn,
                                               const char* traceFormat, const char* tracedColumn) {
    ReposHeld<ReposDataAccessCursor> cursor(rows);
    while (cursor && cursor->next() == 1) {
        RepositoryMetadataObject* child =
            keyColumn ? context()->createObjectByKey(VqbString(childType), VqbString(keyColumn),
                                                     column(cursor.get(), keyColumn))
                      : context()->createObject(VqbString(childType), vqbNewUUID());
        copyRow(cursor.get(), child, true);
        parent->addChild(VqbString(listName), child);
        if (traceFormat) report(3, VqbString::format(traceFormat, column(cursor.get(), tracedColumn).asCstr()));
    }
}

// ---- custom metrics under other objects

bool RepositoryMetaContentImpl::exportCustomMetricFields(RepositoryMetadataObject* metric, unsigned metricId,
                                                         VqbString&) {
    ReposDataAccessCursor* fields = common->listCustomMetricFields(static_cast<int>(metricId));
    if (!fields) {
        VqbString text = VqbString::format("Unable to find fields for custom metric=%d", static_cast<int>(metricId));
        reposLog(owner->getLogger(), 2, kSource, __LINE__, "%s", text.asCstr());
        report(3, text);
        return true;
    }
    addRowChildren(fields, metric, "Fields", "CustomMetricField", nullptr,
                   "Including custom metric field in export, name=%s", "CM_FLDNM");
    return true;
}

bool RepositoryMetaContentImpl::importCustomMetricFields(RepositoryMetadataObject* metric, unsigned metricId,
                                                         VqbString& error) {
    ReposHeld<RepositoryMetadataObjectList> children(metric->getChildren(VqbString("Fields")));
    if (!children) {
        reposLog(owner->getLogger(), 2, kSource, __LINE__, "No custom metric fields found to import.");
        return true;
    }
    // Fields are told apart by name and, when they have one, type.
    auto keyOf = [](const VqbString& name, const VqbString& type) {
        return type.isNull() ? name : VqbString::format("%s_%s", name.asCstr(), type.asCstr());
    };
    std::vector<VqbString> known;
    {
        ReposHeld<ReposDataAccessCursor> stored(common->listCustomMetricFields(static_cast<int>(metricId)));
        while (stored && stored->next() == 1)
            known.push_back(keyOf(stored->getString(0), stored->isNull(1) ? VqbString() : stored->getString(1)));
    }
    while (children->next()) {
        RepositoryMetadataObject* child = children->getCurrent();
        VqbString name = text(child, "CM_FLDNM"), type = text(child, "CM_TYPE");
        VqbString key = keyOf(name, type);
        if (std::any_of(known.begin(), known.end(), [&](const VqbString& k) { return k.equals(key, false); }))
            continue;
        report(2, VqbString::format("Creating custom metric field \"%s\", type=%s for custom metric import.",
                                    name.asCstr(), type.asCstr()));
        if (!common->addCustomMetricField(metricId, name, type))
            return fail(0, error, withAccessError("Error creating field for custom metric: %s"));
        known.push_back(key);
    }
    return true;
}

RepositoryMetadataObject* RepositoryMetaContentImpl::keyedCustomMetric(const VqbString& metricId) {
    // Keyed always, so later look-ups by CM_ID find it; the UUID travels beside the key.
    RepositoryMetadataObject* child =
        context()->createObjectByKey(VqbString(ReposObjectTypeName::CustomMetric), VqbString("CM_ID"), metricId);
    ReposHeld<ReposDataAccessCursor> row(common->findCustomMetric(metricId.asInt(), VqbString(""), VqbString("")));
    if (row && row->next() == 1) child->setUuid(column(row.get(), "CM_UUID"));
    return child;
}

bool RepositoryMetaContentImpl::exportCustomMetricChild(RepositoryMetadataObject* parent, unsigned metricId,
                                                        VqbString& error) {
    ReposHeld<ReposDataAccessCursor> rows(
        common->findCustomMetric(static_cast<int>(metricId), VqbString(""), VqbString("")));
    bool ok = true;
    while (rows && rows->next() == 1) {
        VqbString id = column(rows.get(), "CM_ID");
        RepositoryMetadataObject* child = context()->createObjectByKey(
            VqbString(ReposObjectTypeName::CustomMetric), VqbString("CM_ID"), id);
        child->setUuid(column(rows.get(), "CM_UUID"));
        copyRow(rows.get(), child, true);
        parent->addChild(VqbString("CustomMetrics"), child);
        report(2, VqbString::format("Export custom metric desc=%s", column(rows.get(), "CM_DESC").asCstr()));
        ok = exportCustomMetricFields(child, static_cast<unsigned>(id.asInt()), error);
    }
    return ok;
}

bool RepositoryMetaContentImpl::importCustomMetricChild(RepositoryMetadataObject* child, unsigned& metricId,
                                                        VqbString& error) {
    if (!child) return true;
    metricId = 0xFFFFFFFFu;
    int handled = -1;
    if (context()->getIntProperty(child, VqbString("TARGETID"), handled) && handled >= 0) {
        metricId = static_cast<unsigned>(handled);
        return true;
    }
    VqbString name = text(child, "CM_DESC");
    if (!name.isEmpty()) {
        ReposHeld<ReposDataAccessCursor> existing(common->listCustomMetrics(name));
        if (existing && existing->next() == 1 && existing->getColName(0).equals(VqbString("CM_ID"), false)) {
            metricId = static_cast<unsigned>(existing->getInt(0));
            report(2, VqbString::format("Using existing custom metric \"%s\" for import.", name.asCstr()));
        }
    }
    if (metricId == 0xFFFFFFFFu) {
        report(2, VqbString::format("Creating custom metric \"%s\" for import.", name.asCstr()));
        metricId = common->addCustomMetric(name, text(child, "CM_PREXP"), text(child, "CM_EXP"),
                                           text(child, "CM_POSTXP"));
        if (failedId(metricId)) {
            metricId = 0xFFFFFFFFu;
            VqbString message = withAccessError("Error creating custom metric for import: %s");
            reposLog(owner->getLogger(), 5, kSource, __LINE__, "%s", message.asCstr());
            return fail(0, error, message);
        }
    }
    if (!importCustomMetricFields(child, metricId, error)) return false;
    context()->setIntProperty(child, VqbString("TARGETID"), static_cast<int>(metricId));
    return true;
}

std::unique_ptr<RepositoryMetaContentImpl> createCommonExportContent(RepositoryImportExportManagerImpl* owner,
                                                                     Repository* repository, unsigned id,
                                                                     const VqbString& uuid) {
    std::unique_ptr<RepositoryMetaContentImpl> content(new (std::nothrow) RepositoryMetaContentImpl(owner, repository));
    if (content) {
        content->id = id;
        content->uuid = uuid;
    }
    return content;
}

// ---- the common road

bool reposImportRefused(RepositoryMetaContentImpl& content, unsigned id, bool update, VqbString& error) {
    if (content.ready() && (!update || (id >= 1 && id != 0xFFFFFFFFu))) return false;
    error = content.ready()
                ? VqbString::format("The object id %d is not valid for an update.", static_cast<int>(id))
                : VqbString("No repository or data access is available to write the object.");
    content.report(0, error);
    return true;
}

VqbString reposUpdateName(RepositoryMetadataSerializationContext* context, const char* typeName,
                          const VqbString& imported, const VqbString& existing) {
    if (!existing.isEmpty() && !existing.equals(imported, false)) {
        context->reportAction(2, VqbString::format("Changing '%s' name from original \"%s\" to new \"%s\" on import.",
                                                   typeName, imported.asCstr(), existing.asCstr()));
        return existing;
    }
    context->reportAction(2, VqbString::format("Using original '%s' name \"%s\" on import.", typeName,
                                               imported.asCstr()));
    return imported;
}

VqbString reposUpdateUuid(RepositoryMetaContentImpl& content, const char* typeName, const VqbString& imported,
                          const VqbString& existing, unsigned id, const std::function<int(const VqbString&)>& holding) {
    if (existing.isEmpty() || existing.equals(imported, false)) {
        content.report(2, VqbString::format("Using original '%s' UUID \"%s\" on import.", typeName, imported.asCstr()));
        return imported;
    }
    int holder = holding(imported);
    // Another object holds the imported UUID: keep ours rather than make two objects share it.
    bool taken = holder >= 0 && static_cast<unsigned>(holder) != id;
    content.report(2, VqbString::format(taken ? "Changing '%s' UUID from original \"%s\" to new \"%s\" on import."
                                              : "Reset '%s' UUID to original \"%s\" from new \"%s\" on import.",
                                        typeName, imported.asCstr(), existing.asCstr()));
    return taken ? existing : imported;
}

std::unique_ptr<RepositoryMetaContentImpl> CommonObjectManagerImpl::makeContent() {
    return std::unique_ptr<RepositoryMetaContentImpl>(
        new (std::nothrow) RepositoryMetaContentImpl(owner_, owner_->getRepository()));
}

bool CommonObjectManagerImpl::deleteObject(unsigned id, const VqbString& uuid, VqbString& error) {
    std::unique_ptr<RepositoryMetaContentImpl> content = makeContent();
    if (!content || !content->ready()) return false;
    if (!remove(*content, id)) {
        error = content->common->getErrorMessage();
        return false;
    }
    if (getRepositoryEventManager())
        reposAnnounce(reposConnectionOf(content->common.get()), REPOS_CHANGE_DELETE, VqbString(type_.typeName), id, uuid);
    return true;
}

bool CommonObjectManagerImpl::exportObject(unsigned id, const VqbString& uuid, VqbString& output,
                                           VqbString& error) {
    if (!owner_->getRepository()) return false;
    RepositoryMetadataObject* object = owner_->getContext()->createObject(VqbString(type_.typeName), uuid);
    if (!object) {
        error = VqbString(type_.exportObjectText);
        return false;
    }
    std::unique_ptr<RepositoryMetaContentImpl> content = makeContent();
    if (!content || !content->common) {
        error = VqbString(type_.exportHandlerText);
        return false;
    }
    content->id = id;
    content->uuid = uuid;
    return exportContent(*content, object, error) && owner_->serializeObject(object, output, error);
}

int CommonObjectManagerImpl::idHolding(RepositoryMetaContentImpl& content, const VqbString& uuid) {
    ReposHeld<ReposDataAccessCursor> row(find(content, VqbString(""), uuid));
    if (!row || row->next() != 1) return -1;
    VqbString id = RepositoryMetaContentImpl::column(row.get(), type_.idColumn);
    return id.isNull() ? -1 : id.asInt();
}

bool CommonObjectManagerImpl::importObject(RepositoryMetadataObject* object, unsigned folderId,
                                           const VqbString& name, VqbString& error) {
    std::unique_ptr<RepositoryMetaContentImpl> content = makeContent();
    if (!content) return false;
    if (reposImportRefused(*content, 1, false, error)) return false;
    RepositoryMetadataSerializationContext* context = owner_->getContext();
    content->object = object;
    content->folderId = folderId;
    VqbString imported = RepositoryMetaContentImpl::text(object, type_.nameProperty);
    {
        ReposHeld<ReposDataAccessCursor> existing(find(*content, imported, object->getUuid()));
        if (existing && existing->next() == 1) {
            VqbString id = RepositoryMetaContentImpl::column(existing.get(), type_.idColumn);
            context->setIntProperty(object, VqbString("TARGETID"), id.asInt());
            if (type_.uuidColumn) object->setUuid(RepositoryMetaContentImpl::column(existing.get(), type_.uuidColumn));
            return true;
        }
    }
    VqbString chosen = imported;
    if (!name.isEmpty()) {
        content->report(type_.renameLevel, VqbString::format(type_.renameText, imported.asCstr(), name.asCstr()));
        chosen = name;
    }
    unsigned id = insert(*content, chosen);
    if (failedId(id)) {
        error = content->accessError();
        if (error.isEmpty()) error = VqbString::format("Unable to create the %s object.", type_.typeName);
        return false;
    }
    context->setIntProperty(object, VqbString("TARGETID"), static_cast<int>(id));
    owner_->setObjectPath(id, VqbString(type_.typeName), object->getUuid());
    content->report(2, VqbString(type_.createdText));
    content->id = id;
    content->uuid = object->getUuid();
    return importContent(*content, error);
}

bool CommonObjectManagerImpl::updateObject(RepositoryMetadataObject* object, unsigned id,
                                           const VqbString& existingUuid, unsigned folderId,
                                           const VqbString& existingName, VqbString& error) {
    std::unique_ptr<RepositoryMetaContentImpl> content = makeContent();
    if (!content) return false;
    if (reposImportRefused(*content, id, true, error)) return false;
    RepositoryMetadataSerializationContext* context = owner_->getContext();
    content->object = object;
    content->folderId = folderId;
    content->id = id;
    VqbString name = reposUpdateName(context, type_.typeName,
                                     RepositoryMetaContentImpl::text(object, type_.nameProperty), existingName);
    VqbString uuid = reposUpdateUuid(*content, type_.typeName, object->getUuid(), existingUuid, id,
                                     [&](const VqbString& held) { return idHolding(*content, held); });
    content->uuid = uuid;
    bool header = updateHeader(*content, name, uuid);
    if (!header) content->fail(0, error, content->withAccessError(type_.updateErrorText));
    bool members = importContent(*content, error);
    return header && members;
}

// ---- custom metrics

namespace {

const ReposManagedType kCustomMetric = {
    ReposObjectTypeName::CustomMetric,
    "CM_DESC",
    "CM_ID",
    "CM_UUID",
    "Unable to create export metadata object for custom metric.",
    "Unable to create custom metric export object.",
    "Changing custom metric Name from original \"%s\" to new \"%s\" on import.",
    1,
    "Created custom metric import object",
    "Error updating custom metric in database: %s",
};

const ReposManagedType kCollection = {
    ReposObjectTypeName::Collection,
    "GCNAME",
    "GC_ID",
    nullptr,  // collections carry no UUID column: they match by name
    "Unable to create export metadata object for collection.",
    "Unable to create collection export object.",
    "Changing Collection name from original \"%s\" to new \"%s\" on import.",
    1,
    "Created collection import object",
    "Error updating collection in database: %s",
};

}  // namespace

CustomMetricManagerImpl::CustomMetricManagerImpl(RepositoryImportExportManagerImpl* owner)
    : CommonObjectManagerImpl(owner, kCustomMetric) {}

bool CustomMetricManagerImpl::remove(RepositoryMetaContentImpl& content, unsigned id) {
    return content.common->deleteCustomMetric(id);
}

bool CustomMetricManagerImpl::exportContent(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object,
                                            VqbString& error) {
    content.uuid = object->getUuid();
    VqbString name = RepositoryMetaContentImpl::text(object, "CM_DESC");
    ReposHeld<ReposDataAccessCursor> row(content.common->findCustomMetric(static_cast<int>(content.id), name, content.uuid));
    if (!row || row->next() != 1) {
        VqbString text = VqbString::format("Unable to export custom metric, object not found with name=\"%s\" id=%d",
                                           name.asCstr(), static_cast<int>(content.id));
        reposLog(owner_->getLogger(), 2, kSource, __LINE__, "%s", text.asCstr());
        return content.fail(0, error, text);
    }
    RepositoryMetaContentImpl::copyRow(row.get(), object, false);
    content.id = static_cast<unsigned>(RepositoryMetaContentImpl::column(row.get(), "CM_ID").asInt());
    if (content.uuid.isEmpty()) object->setUuid(RepositoryMetaContentImpl::column(row.get(), "CM_UUID"));
    return content.exportCustomMetricFields(object, content.id, error);
}

ReposDataAccessCursor* CustomMetricManagerImpl::find(RepositoryMetaContentImpl& content, const VqbString& name,
                                                     const VqbString& uuid) {
    return content.common->findCustomMetric(kNoId, name, uuid);
}

unsigned CustomMetricManagerImpl::insert(RepositoryMetaContentImpl& content, const VqbString& name) {
    RepositoryMetadataObject* object = content.object;
    return content.common->addCustomMetric(name, RepositoryMetaContentImpl::text(object, "CM_PREXP"),
                                           RepositoryMetaContentImpl::text(object, "CM_EXP"),
                                           RepositoryMetaContentImpl::text(object, "CM_POSTXP"));
}

bool CustomMetricManagerImpl::updateHeader(RepositoryMetaContentImpl& content, const VqbString& name,
                                           const VqbString& uuid) {
    RepositoryMetadataObject* object = content.object;
    return content.common->updateCustomMetric(content.id, name, RepositoryMetaContentImpl::text(object, "CM_PREXP"),
                                              RepositoryMetaContentImpl::text(object, "CM_EXP"),
                                              RepositoryMetaContentImpl::text(object, "CM_POSTXP"), uuid);
}

bool CustomMetricManagerImpl::importContent(RepositoryMetaContentImpl& content, VqbString& error) {
    if (!content.common->clearCustomMetric())
        return content.fail(0, error, content.withAccessError("Error clearing existing custom metric: %s"));
    return content.importCustomMetricFields(content.object, content.id, error);
}

// ---- collections

CollectionManagerImpl::CollectionManagerImpl(RepositoryImportExportManagerImpl* owner)
    : CommonObjectManagerImpl(owner, kCollection) {}

bool CollectionManagerImpl::remove(RepositoryMetaContentImpl& content, unsigned id) {
    return content.common->deleteGlobalCategory(id);
}

bool CollectionManagerImpl::exportContent(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object,
                                          VqbString& error) {
    if (object->getUuid().isEmpty()) object->setUuid(vqbNewUUID());
    content.uuid = object->getUuid();
    ReposHeld<ReposDataAccessCursor> row(content.common->getGlobalCategory(content.id));
    if (!row || row->next() != 1) {
        content.report(0, VqbString::format("Unable to find collection object with id=%d", static_cast<int>(content.id)));
        error = VqbString("A collection was not found to export.");
        return false;
    }
    RepositoryMetaContentImpl::copyRow(row.get(), object, false);
    content.report(3, VqbString::format("Global category (Collection) name=%s",
                                        RepositoryMetaContentImpl::column(row.get(), "GCNAME").asCstr()));
    ReposDataAccessCursor* definitions = content.common->listGlobalCategoryDefinitionsOfCategory(content.id);
    if (definitions)
        content.addRowChildren(definitions, object, "CategoryDefitions", "GlobalCategoryDefinition", "DEF_ID",
                               "Global category (Collection) definition UUID=%s", "DEF_ID");
    VqbString any("");
    ReposDataAccessCursor* fields = content.common->listGlobalCategoryFields(content.id, any, any, any, any);
    if (!fields) {
        content.report(3, VqbString("Global category (Collection) definition fields not found."));
        return true;
    }
    content.addRowChildren(fields, object, "CategoryFields", "GlobalCategoryField", nullptr,
                           "Global category (Collection) definition field UUID=%s", "MAP_FLD");
    return true;
}

ReposDataAccessCursor* CollectionManagerImpl::find(RepositoryMetaContentImpl& content, const VqbString& name,
                                                   const VqbString& uuid) {
    // Categories store no UUID, so a document that carries one is never "found": its insert
    // answers the category of that name and the content step adds what that category lacks.
    // A match by name alone would end the import with the document's content dropped.
    if (!uuid.isEmpty()) return nullptr;
    return content.common->findGlobalCategory(kNoId, name, VqbString(""));
}

unsigned CollectionManagerImpl::insert(RepositoryMetaContentImpl& content, const VqbString& name) {
    return content.common->addGlobalCategory(name, RepositoryMetaContentImpl::text(content.object, "GCDESC"));
}

bool CollectionManagerImpl::updateHeader(RepositoryMetaContentImpl& content, const VqbString& name,
                                         const VqbString&) {
    return content.common->updateGlobalCategory(content.id, name,
                                                RepositoryMetaContentImpl::text(content.object, "GCDESC"));
}

bool CollectionManagerImpl::importContent(RepositoryMetaContentImpl& content, VqbString& error) {
    using C = RepositoryMetaContentImpl;
    bool ok = true;
    ReposHeld<RepositoryMetadataObjectList> definitions(content.object->getChildren(VqbString("CategoryDefitions")));
    while (definitions && definitions->next()) {
        RepositoryMetadataObject* child = definitions->getCurrent();
        content.report(2, VqbString::format("Creating global category (Collection) definition \"%s\".",
                                            C::text(child, "TS_NM").asCstr()));
        unsigned id = content.common->addGlobalCategoryDefinition(
            content.id, C::text(child, "DEF_LOC"), C::number(child, "TS_ID", 0), C::text(child, "TS_NM"),
            C::number(child, "TKN_ID", 0), C::text(child, "TKN_NM"), C::text(child, "TKN_DESC"));
        if (id == 0xFFFFFFFFu)
            ok = content.fail(0, error, content.withAccessError("Unable to create global category definition: %s"));
    }
    if (!ok) return false;
    ReposHeld<RepositoryMetadataObjectList> fields(content.object->getChildren(VqbString("CategoryFields")));
    while (fields && fields->next()) {
        RepositoryMetadataObject* child = fields->getCurrent();
        bool include = false;
        child->getBoolProperty(VqbString("MAP_INC"), include);
        content.report(2, VqbString::format("Creating global category (Collection) field\"%s\".",
                                            C::text(child, "MAP_FLD").asCstr()));
        if (!content.common->addGlobalCategoryField(content.id, C::text(child, "MAP_DSN"), C::text(child, "MAP_CAT"),
                                                    C::text(child, "MAP_SCH"), C::text(child, "MAP_TBL"),
                                                    C::text(child, "MAP_FLD"), include, C::text(child, "FLD_TYPE"),
                                                    C::number(child, "FLD_LEN", 0), C::number(child, "FLD_POS", 0)))
            ok = content.fail(0, error, content.withAccessError("Unable to create global category field: %s"));
    }
    return ok;
}
