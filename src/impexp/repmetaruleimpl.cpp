#include "repmetaruleimpl.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "common_rdaimpl.h"
#include "curuser.h"
#include "objecttypes.h"
#include "reposlog.h"
#include "vqbdatavar.h"

namespace {

const char* const kSource = "repmetaruleimpl";
using C = RepositoryMetaContentImpl;

const ReposManagedType kRule = {
    ReposObjectTypeName::Rule,
    "RU_DESC",
    "RU_ID",
    "RU_UUID",
    "Unable to create export metadata object for rule.",
    "Unable to create rule export object.",
    "Changing rule Name from original \"%s\" to new \"%s\" on import.",
    1,
    "Created rule import object",
    "Error updating rule in database: %s",
};

// Logged at level 2 and reported at level 3: an absent part of an export is not a failure.
void noteMissing(C& content, int line, const VqbString& text) {
    reposLog(content.owner->getLogger(), 2, kSource, line, "%s", text.asCstr());
    content.report(3, text);
}

// The monitor fields among names, each as MFLD holds it: looked up by key where the data access is
// this library's, else read whole.
void knownMonitorFields(C& content, const std::vector<VqbString>& names, std::unordered_set<std::string>& known) {
    if (auto* own = dynamic_cast<CommonRDAImpl*>(content.common.get())) {
        own->findMonitorFields(names, known);
        return;
    }
    ReposHeld<ReposDataAccessCursor> fields(content.common->listMonitorFields(VqbString("")));
    while (fields && fields->next() == 1) known.insert(fields->getString(0).str());
}

bool importRuleFields(C& content, VqbString& error) {
    ReposHeld<RepositoryMetadataObjectList> children(content.object->getChildren(VqbString("Fields")));
    if (!children) {
        reposLog(content.owner->getLogger(), 2, kSource, __LINE__, "No rule fields found to import.");
        return true;
    }
    std::vector<VqbString> names, descriptions;
    while (children->next()) {
        RepositoryMetadataObject* child = children->getCurrent();
        names.push_back(C::text(child, "FI_NAME"));
        descriptions.push_back(C::text(child, "FI_DESC"));
    }
    std::unordered_set<std::string> known;
    knownMonitorFields(content, names, known);
    for (size_t i = 0; i < names.size(); ++i) {
        const VqbString& name = names[i];
        if (!known.count(name.str())) {
            content.report(2, VqbString::format("Creating field \"%s\" for Rule import.", name.asCstr()));
            if (!content.common->addMonitorField(name, descriptions[i]))
                return content.fail(0, error, content.withAccessError("Error adding field to rule: %s"));
            known.insert(name.str());
        }
        if (!content.common->addRuleField(content.id, name, descriptions[i]))
            return content.fail(0, error, content.withAccessError("Error adding field mapping to rule: %s"));
    }
    return true;
}

bool importFieldMaps(C& content, RepositoryMetadataObject* metric, unsigned metricId, VqbString& error) {
    ReposHeld<RepositoryMetadataObjectList> children(metric->getChildren(VqbString("CustomMetricFieldMappings")));
    if (!children || !children->next()) {
        reposLog(content.owner->getLogger(), 2, kSource, __LINE__, "No custom metric field mappings found to import.");
        return true;
    }
    struct Stored {
        int sequence;
        VqbString field;
        VqbString metricField;
    };
    std::vector<Stored> stored;
    {
        ReposHeld<ReposDataAccessCursor> rows(
            content.common->listCustomMetricFieldMaps(content.id, static_cast<int>(metricId)));
        while (rows && rows->next() == 1)
            stored.push_back({C::column(rows.get(), "RM_SEQ").asInt(), C::column(rows.get(), "FI_NAME"),
                              C::column(rows.get(), "CM_FLDNM")});
    }
    bool ok = true;
    do {
        RepositoryMetadataObject* child = children->getCurrent();
        int sequence = C::number(child, "RM_SEQ", 0);
        VqbString field = C::text(child, "FI_NAME"), metricField = C::text(child, "CM_FLDNM");
        bool known = std::any_of(stored.begin(), stored.end(), [&](const Stored& s) {
            return s.sequence == sequence && s.field.equals(field, false) && s.metricField.equals(metricField, false);
        });
        if (known) {
            content.report(3, VqbString::format("Using existing custom metric \"%s\" to field mapping \"%s\" for Rule import",
                                                metricField.asCstr(), field.asCstr()));
        } else if (content.common->addCustomMetricFieldMap(content.id, metricId, static_cast<unsigned>(sequence), field,
                                                           metricField, C::text(child, "CM_TYPE"))) {
            content.report(2, VqbString::format("Creating custom metric \"%s\" to field mapping \"%s\" for Rule import.",
                                                metricField.asCstr(), field.asCstr()));
        } else {
            ok = content.fail(0, error, content.withAccessError("Error creating field mapping for custom metric: %s"));
        }
    } while (children->next());
    return ok;
}

bool importRuleCustomMetrics(C& content, VqbString& error) {
    ReposHeld<RepositoryMetadataObjectList> children(content.object->getChildren(VqbString("CustomMetrics")));
    if (!children) {
        reposLog(content.owner->getLogger(), 2, kSource, __LINE__, "No rule fields found to import.");
        return true;
    }
    while (children->next()) {
        RepositoryMetadataObject* child = children->getCurrent();
        unsigned metricId = 0xFFFFFFFFu;
        // The metric's own fields come with it (or came, when this import met it before).
        if (!content.importCustomMetricChild(child, metricId, error)) return false;
        if (metricId == 0xFFFFFFFFu) continue;
        int sequence = C::number(child, "RM_SEQ", 0);
        if (!content.common->addRuleCustomMetric(content.id, metricId, static_cast<unsigned>(sequence))) {
            VqbString text = content.withAccessError("Error mapping custom metric to Rule: %s");
            reposLog(content.owner->getLogger(), 5, kSource, __LINE__, "%s", text.asCstr());
            return content.fail(0, error, text);
        }
        content.report(2, VqbString::format("Adding custom metric \"%s\" to Rule.", C::text(child, "CM_DESC").asCstr()));
        if (!importFieldMaps(content, child, metricId, error)) return false;
    }
    return true;
}

}  // namespace

bool reposExportRuleContent(C& content, RepositoryMetadataObject* object, VqbString& error) {
    if (content.uuid.isEmpty()) content.uuid = object->getUuid();
    VqbString name = C::text(object, "RU_DESC");
    ReposHeld<ReposDataAccessCursor> row(content.common->findRule(static_cast<int>(content.id), name, content.uuid));
    if (!row || row->next() != 1) {
        VqbString text = VqbString::format("Unable to export rule, object not found with name=\"%s\" id=%d",
                                           name.asCstr(), static_cast<int>(content.id));
        reposLog(content.owner->getLogger(), 2, kSource, __LINE__, "%s", text.asCstr());
        return content.fail(0, error, text);
    }
    C::copyRow(row.get(), object, false);
    content.id = static_cast<unsigned>(C::column(row.get(), "RU_ID").asInt());
    if (object->getUuid().isEmpty()) object->setUuid(C::column(row.get(), "RU_UUID"));
    int ruleId = static_cast<int>(content.id);

    ReposDataAccessCursor* fields = content.common->listRuleFields(content.id);
    if (fields)
        content.addRowChildren(fields, object, "Fields", ReposObjectTypeName::Field, "FI_NAME",
                               "Including field in rule export, field name=%s", "FI_NAME");
    else
        noteMissing(content, __LINE__, VqbString::format("Unable to find fields for rule id=%d", ruleId));

    ReposHeld<ReposDataAccessCursor> metrics(content.common->listRuleCustomMetrics(content.id));
    if (!metrics) {
        noteMissing(content, __LINE__, VqbString::format("Unable to find custom metrics for rule id=%d", ruleId));
        return true;
    }
    while (metrics->next() == 1) {
        VqbString metricId = C::column(metrics.get(), "CM_ID");
        RepositoryMetadataObject* child = content.keyedCustomMetric(metricId);
        C::copyRow(metrics.get(), child, true);
        object->addChild(VqbString("CustomMetrics"), child);
        content.report(3, VqbString::format("Including custom metric in rule export, name=%s",
                                            C::column(metrics.get(), "CM_DESC").asCstr()));
        if (!content.exportCustomMetricFields(child, static_cast<unsigned>(metricId.asInt()), error)) continue;
        ReposDataAccessCursor* maps = content.common->listCustomMetricFieldMaps(content.id, metricId.asInt());
        if (!maps) {
            noteMissing(content, __LINE__,
                        VqbString::format("Unable to find field mappings for custom metric=%d and rule id=%d",
                                          metricId.asInt(), ruleId));
            continue;
        }
        content.addRowChildren(maps, child, "CustomMetricFieldMappings", "CustomMetricFieldMap", nullptr, nullptr,
                               nullptr);
    }
    return true;
}

bool reposImportRuleContent(C& content, VqbString& error) {
    if (!content.object) return false;
    if (!content.common->clearRule(content.id))
        return content.fail(0, error, content.withAccessError("Error clearing existing rule: %s"));
    return importRuleFields(content, error) && importRuleCustomMetrics(content, error);
}

bool reposImportDependentRule(C& content, RepositoryMetadataObject* element, unsigned folderId, ReposRuleOwner owner,
                              int& ruleId, VqbString& ruleName, VqbString& error) {
    const bool task = owner == ReposRuleOwner::Task;
    const char* failure = task ? "Error inserting rule for task: %s" : "Error inserting rule for profile: %s";
    RepositoryMetadataSerializationContext* context = content.context();
    if (!element)
        return content.fail(0, error, VqbString::format(failure, "Attempt to persist non-existent rule."));
    VqbString desc = C::text(element, "RU_DESC"), uuid = C::text(element, "RU_UUID");
    // Only this import sets TARGETID: a parsed document never carries one.
    int handled = -1;
    if (context->getIntProperty(element, VqbString("TARGETID"), handled) && handled >= 0) {
        ruleId = handled;
        ruleName = desc;
        if (!task) content.report(2, VqbString::format("Using existing rule \"%s\".", desc.asCstr()));
        return true;
    }
    {
        // A rule of the same name under another UUID is the same rule to this repository: adding a
        // second one of that name would be refused and fail the whole import.
        ReposHeld<ReposDataAccessCursor> found(content.common->findRule(-1, desc, uuid));
        bool row = found && found->next() == 1;
        if (!row && !uuid.isEmpty() && !desc.isEmpty()) {
            found.reset(content.common->findRule(-1, desc, VqbString("")));
            row = found && found->next() == 1;
        }
        if (row) {
            ruleId = C::column(found.get(), "RU_ID").asInt();
            ruleName = C::column(found.get(), "RU_DESC");
            if (task) {
                reposLog(content.owner->getLogger(), 2, kSource, __LINE__, "Rule %s with UUID=%s already exists.",
                         desc.asCstr(), uuid.asCstr());
            } else {
                context->setIntProperty(element, VqbString("TARGETID"), ruleId);
                content.report(2, VqbString::format("Using existing rule \"%s\".", desc.asCstr()));
            }
            return true;
        }
    }
    VqbString name = desc.isEmpty() ? uuid : desc;
    VqbString normalized;
    if (isInvalidCharInName(name) && getNormalizedNameValue(name, normalized)) {
        content.report(2, VqbString::format("Changing target dependent rule name from \"%s\" to \"%s\".", name.asCstr(),
                                            normalized.asCstr()));
        name = normalized;
    }
    content.report(1, VqbString::format("Creating dependent rule \"%s\".", name.asCstr()));
    unsigned id = content.common->addRule(name, C::text(element, "RU_TYPE"), C::text(element, "RU_EXPR"),
                                          C::text(element, "RU_GROUP"), C::text(element, "RU_META"),
                                          getCurrentUserName(), uuid, static_cast<int>(folderId),
                                          C::text(element, "RU_COMM"), C::text(element, "RU_DISP"));
    if (id == 0 || id == 0xFFFFFFFFu) return content.fail(0, error, content.withAccessError(failure));
    context->setIntProperty(element, VqbString("TARGETID"), static_cast<int>(id));
    context->setStringProperty(element, VqbString("TARGETUUID"), uuid);
    ruleId = static_cast<int>(id);
    ruleName = name;
    C rule(content.owner, content.repository);
    rule.object = element;
    rule.id = id;
    rule.uuid = uuid;
    rule.folderId = folderId;
    return rule.common && reposImportRuleContent(rule, error);
}

// ---- the rule manager

RuleManagerImpl::RuleManagerImpl(RepositoryImportExportManagerImpl* owner) : CommonObjectManagerImpl(owner, kRule) {}

bool RuleManagerImpl::remove(C& content, unsigned id) { return content.common->deleteRule(id); }

bool RuleManagerImpl::exportContent(C& content, RepositoryMetadataObject* object, VqbString& error) {
    content.uuid = object->getUuid();
    return reposExportRuleContent(content, object, error);
}

ReposDataAccessCursor* RuleManagerImpl::find(C& content, const VqbString& name, const VqbString& uuid) {
    return content.common->findRule(-1, name, uuid);
}

unsigned RuleManagerImpl::insert(C& content, const VqbString& name) {
    RepositoryMetadataObject* o = content.object;
    return content.common->addRule(name, C::text(o, "RU_TYPE"), C::text(o, "RU_EXPR"), C::text(o, "RU_GROUP"),
                                   C::text(o, "RU_META"), getCurrentUserName(), o->getUuid(),
                                   static_cast<int>(content.folderId), C::text(o, "RU_COMM"), C::text(o, "RU_DISP"));
}

bool RuleManagerImpl::updateHeader(C& content, const VqbString& name, const VqbString& uuid) {
    RepositoryMetadataObject* o = content.object;
    double now = VqbDate::currentDate().asDouble();
    double created = now;
    o->getDoubleProperty(VqbString("RU_CRDAT"), created);
    return content.common->updateRule(content.id, name, C::text(o, "RU_TYPE"), C::text(o, "RU_EXPR"),
                                      C::text(o, "RU_GROUP"), C::text(o, "RU_META"), getCurrentUserName(), created,
                                      now, C::text(o, "RU_CRUSR"), uuid, static_cast<int>(content.folderId),
                                      C::text(o, "RU_COMM"), C::text(o, "RU_DISP"));
}

bool RuleManagerImpl::importContent(C& content, VqbString& error) { return reposImportRuleContent(content, error); }
