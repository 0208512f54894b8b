#include "repmetataskimpl.h"

#include "curuser.h"
#include "objecttypes.h"
#include "repmetaruleimpl.h"
#include "repos_announce.h"
#include "reposlog.h"
#include "vqbutil.h"
#include "vqrepevent.h"

namespace {

const char* const kSource = "repmetataskimpl";
using C = RepositoryMetaContentImpl;

// Dimension and threshold 1 are the defaults a member falls back to.
const int kDefault = 1;

bool hasId(unsigned id) { return id != 0 && id != 0xFFFFFFFFu; }

VqbString orEmpty(const VqbString& text) { return text.isNull() ? VqbString("") : text; }

}  // namespace

// ---- export

bool TaskMetaContentImpl::exportContent(RepositoryMetadataObject* root, VqbString& error) {
    uuid = root->getUuid();
    ReposHeld<ReposDataAccessCursor> row(monitor->getJob(id));
    if (!row || row->next() != 1) {
        report(0, VqbString::format("Unable to find task object with id=%d", static_cast<int>(id)));
        error = VqbString("A task was not found to export.");
        return false;
    }
    copyRow(row.get(), root, false);
    id = static_cast<unsigned>(column(row.get(), "JB_ID").asInt());
    // The task's code is its UUID: an importing repository keeps it.
    if (uuid.isEmpty()) {
        uuid = column(row.get(), "JB_CODE");
        root->setUuid(uuid);
    }
    row.reset();
    return exportMembers(root, error) && exportEvents(root, error);
}

RepositoryMetadataObject* TaskMetaContentImpl::exportRule(const VqbString& ruleId, VqbString& error) {
    ReposHeld<ReposDataAccessCursor> row(common->findRule(ruleId.asInt(), VqbString(""), VqbString("")));
    if (!row || row->next() != 1) return nullptr;
    RepositoryMetadataObject* element =
        context()->createObjectByKey(VqbString(ReposObjectTypeName::Rule), VqbString("RU_ID"), ruleId);
    if (!element) return nullptr;
    std::unique_ptr<RepositoryMetaContentImpl> rule =
        createCommonExportContent(owner, repository, static_cast<unsigned>(ruleId.asInt()), VqbString(""));
    if (!rule || !rule->common) {
        report(0, VqbString("Unable to create rule export."));
        return element;
    }
    reposExportRuleContent(*rule, element, error);
    return element;
}

void TaskMetaContentImpl::exportDependent(const char* type, const char* key, const VqbString& value,
                                          VqbString& error) {
    if (value.isEmpty() || !exported_.insert({type, value.str()}).second) return;
    if (std::string(type) == ReposObjectTypeName::Rule) {
        if (RepositoryMetadataObject* rule = exportRule(value, error))
            report(2, VqbString::format("Including rule \"%s\" with task", text(rule, "RU_DESC").asCstr()));
        return;
    }
    // Every repository has defaults of its own: members naming them take the importer's.
    if (value.asInt() <= kDefault) return;
    const bool dimension = std::string(type) == ReposObjectTypeName::Dimension;
    ReposHeld<ReposDataAccessCursor> row(dimension ? monitor->findDimension(value.asInt(), VqbString(""), VqbString(""))
                                                   : monitor->findThreshold(value.asInt(), VqbString(""), VqbString("")));
    if (!row || row->next() != 1) return;
    RepositoryMetadataObject* element = context()->createObjectByKey(VqbString(type), VqbString(key), value);
    if (!element) return;
    VqbString elementUuid = column(row.get(), "UUID");
    element->setUuid(elementUuid);
    report(2, VqbString::format(dimension ? "Including dimension \"%s\" with task" : "Including threshold \"%s\" with task",
                                column(row.get(), dimension ? "DIM_NAME" : "THR_DESC").asCstr()));
    row.reset();
    std::unique_ptr<MonitorMetaContentImpl> content =
        createMonitorExportContent(owner, repository, static_cast<unsigned>(value.asInt()), elementUuid);
    if (content)
        reposExportMonitorObject(*content, dimension ? ReposMonitorKind::Dimension : ReposMonitorKind::Threshold,
                                 element, error);
}

bool TaskMetaContentImpl::exportMembers(RepositoryMetadataObject* root, VqbString& error) {
    ReposHeld<ReposDataAccessCursor> rows(monitor->listJobRules(id));
    if (!rows) {
        reposLog(owner->getLogger(), 2, kSource, __LINE__,
                 "Unable to find rule/dimension/thresholds for task object with id=%d", static_cast<int>(id));
        return true;
    }
    while (rows->next() == 1) {
        VqbString rule = column(rows.get(), "RU_ID");
        RepositoryMetadataObject* member =
            context()->createObjectByKey(VqbString("JobRuleMember"), VqbString("RU_ID"), rule);
        if (!member) continue;
        copyRow(rows.get(), member, true);
        root->addChild(VqbString("JobRuleMembers"), member);
        exportDependent(ReposObjectTypeName::Rule, "RU_ID", rule, error);
        exportDependent(ReposObjectTypeName::Dimension, "DIM_ID", column(rows.get(), "DIM_ID"), error);
        exportDependent(ReposObjectTypeName::Threshold, "THR_ID", column(rows.get(), "THR_ID"), error);
    }
    return true;
}

bool TaskMetaContentImpl::exportEvents(RepositoryMetadataObject* root, VqbString& error) {
    ReposHeld<ReposDataAccessCursor> rows(monitor->listRuleEvents(id));
    if (!rows) {
        reposLog(owner->getLogger(), 2, kSource, __LINE__, "Unable to find rules for task object with id=%d",
                 static_cast<int>(id));
        return true;
    }
    while (rows->next() == 1) {
        RepositoryMetadataObject* event = context()->createObject(VqbString("RuleEvent"), vqbNewUUID());
        if (!event) continue;
        copyRow(rows.get(), event, true);
        root->addChild(VqbString("RuleEvents"), event);
        VqbString ruleId = column(rows.get(), "RU_ID");
        RepositoryMetadataObject* rule = exportRule(ruleId, error);
        if (!rule) continue;
        report(2, VqbString::format("Including rule \"%s\" for event with task", text(rule, "RU_DESC").asCstr()));
        event->addChild(VqbString("Rule"), rule);
    }
    return true;
}

// ---- import

bool TaskMetaContentImpl::importContent(VqbString& error) {
    if (!object) return false;
    if (!monitor->clearJobRules(id))
        return fail(0, error, withAccessError("Error clearing existing task: %s"));
    rules_.clear();
    return importRules(error) && importMembers(error) && importEvents(error);
}

bool TaskMetaContentImpl::importRules(VqbString& error) {
    ReposHeld<RepositoryMetadataObjectList> list(object->getChildren(VqbString("Rules")));
    if (!list) {
        reposLog(owner->getLogger(), 2, kSource, __LINE__, "No task rules found to import.");
        return true;
    }
    while (list->next()) {
        int ruleId = -1;
        VqbString ruleName;
        if (!reposImportDependentRule(*this, list->getCurrent(), folderId, ReposRuleOwner::Task, ruleId, ruleName,
                                      error))
            return false;
        if (ruleId < 1 || rules_.count(ruleId)) continue;
        if (!monitor->addJobRule(id, static_cast<unsigned>(ruleId)))
            return fail(0, error, withAccessError("Error adding rule to task: %s"));
        rules_.emplace(ruleId, std::make_tuple(kDefault, kDefault, 1.0));
    }
    return true;
}

bool TaskMetaContentImpl::importDependent(ReposMonitorKind kind, RepositoryMetadataObject* element, int& dependentId,
                                          VqbString& error) {
    if (!element) return true;
    int handled = -1;
    if (context()->getIntProperty(element, VqbString("TARGETID"), handled) && handled >= 0) {
        dependentId = handled;
        return true;
    }
    const bool dimension = kind == ReposMonitorKind::Dimension;
    std::unique_ptr<MonitorObjectManagerImpl> manager;
    if (dimension)
        manager.reset(new DimensionManagerImpl(owner));
    else
        manager.reset(new ThresholdManagerImpl(owner));
    if (!manager->importObject(element, folderId, orEmpty(text(element, dimension ? "DIM_NAME" : "THR_NAME")), error))
        return false;
    if (!context()->getIntProperty(element, VqbString("TARGETID"), handled) || handled < 0) return false;
    dependentId = handled;
    return true;
}

bool TaskMetaContentImpl::importMembers(VqbString& error) {
    ReposHeld<RepositoryMetadataObjectList> list(object->getChildren(VqbString("JobRuleMembers")));
    if (!list) {
        reposLog(owner->getLogger(), 2, kSource, __LINE__, "No task rules found to import.");
        return true;
    }
    while (list->next()) {
        RepositoryMetadataObject* member = list->getCurrent();
        // A member naming no dimension or threshold, or one the document lacks, gets the default.
        int thresholdId = kDefault, ruleId = -1, dimensionId = kDefault;
        VqbString threshold = text(member, "THR_ID"), rule = text(member, "RU_ID"), dimension = text(member, "DIM_ID");
        bool ok = true;
        if (!threshold.isEmpty() && threshold.asInt() > kDefault)
            ok = importDependent(ReposMonitorKind::Threshold,
                                 context()->createObjectByKey(VqbString(ReposObjectTypeName::Threshold),
                                                              VqbString("THR_ID"), threshold),
                                 thresholdId, error);
        if (ok && !rule.isEmpty()) {
            VqbString ruleName;
            ok = reposImportDependentRule(
                *this, context()->createObjectByKey(VqbString(ReposObjectTypeName::Rule), VqbString("RU_ID"), rule),
                folderId, ReposRuleOwner::Task, ruleId, ruleName, error);
        }
        if (ok && !dimension.isEmpty() && dimension.asInt() > kDefault)
            ok = importDependent(ReposMonitorKind::Dimension,
                                 context()->createObjectByKey(VqbString(ReposObjectTypeName::Dimension),
                                                              VqbString("DIM_ID"), dimension),
                                 dimensionId, error);
        // What the member names could not be had: the task would be incomplete.
        if (!ok) {
            if (error.isEmpty()) error = VqbString::format("Unable to import what the task's rule %s needs.", rule.asCstr());
            report(0, error);
            return false;
        }
        if (ruleId < 1) continue;
        double weight = 1.0;
        VqbString weightText = text(member, "WGHT");
        if (!weightText.isEmpty() && !member->getDoubleProperty(VqbString("WGHT"), weight)) {
            weight = 1.0;
            report(1, VqbString::format("The weight \"%s\" of the task's rule %s is not a number; 1 is used.",
                                        weightText.asCstr(), rule.asCstr()));
        }
        // Members repeating a rule with what it has already need no write.
        auto values = std::make_tuple(dimensionId, thresholdId, weight);
        auto known = rules_.find(ruleId);
        if (known != rules_.end() && known->second == values) continue;
        bool stored = known != rules_.end()
                          ? monitor->updateJobRuleMetric(id, static_cast<unsigned>(ruleId), static_cast<unsigned>(dimensionId),
                                                         static_cast<unsigned>(thresholdId), VqbReal(weight))
                          : monitor->addJobRuleMetric(id, static_cast<unsigned>(ruleId), dimensionId, thresholdId,
                                                      VqbReal(weight));
        if (!stored) return fail(0, error, withAccessError("Error adding rule to task: %s"));
        rules_[ruleId] = values;
        if (!mapToDashboards(dimensionId, thresholdId, error)) return false;
    }
    return true;
}

bool TaskMetaContentImpl::mapToDashboards(int dimensionId, int thresholdId, VqbString& error) {
    if (!mapped_.insert({dimensionId, thresholdId}).second) return true;
    if (!groupsRead_) {
        ReposHeld<ReposDataAccessCursor> groups(monitor->listReportGroups(0xFFFFFFFFu, VqbString("")));
        while (groups && groups->next() == 1) groups_.push_back(static_cast<unsigned>(column(groups.get(), "GRP_ID").asInt()));
        groupsRead_ = true;
    }
    for (unsigned group : groups_) {
        bool present = false;
        {
            ReposHeld<ReposDataAccessCursor> pairs(monitor->listDimensionGroups(static_cast<unsigned>(dimensionId), group));
            while (!present && pairs && pairs->next() == 1) present = column(pairs.get(), "THR_ID").asInt() == thresholdId;
        }
        if (present) continue;
        reposLog(owner->getLogger(), 2, kSource, __LINE__, "Creating dashboard mapping dimension=%d, threshold=%d, reportgroup=%d",
                 dimensionId, thresholdId, static_cast<int>(group));
        // A pair the group has with another threshold stays as it is.
        if (!monitor->addDimensionGroup(static_cast<unsigned>(dimensionId), group, static_cast<unsigned>(thresholdId),
                                        VqbReal(1.0))) {
            VqbString message = withAccessError("Unable to create threshold mapping: %s");
            reposLog(owner->getLogger(), 5, kSource, __LINE__, "%s", message.asCstr());
            error = message;
            return false;
        }
    }
    return true;
}

bool TaskMetaContentImpl::importEvents(VqbString& error) {
    ReposHeld<RepositoryMetadataObjectList> list(object->getChildren(VqbString("RuleEvents")));
    if (!list) {
        reposLog(owner->getLogger(), 2, kSource, __LINE__, "No task rule-events found to import.");
        return true;
    }
    for (unsigned number = 0; list->next(); ++number) {
        RepositoryMetadataObject* event = list->getCurrent();
        int ruleId = -1;
        ReposHeld<RepositoryMetadataObjectList> rules(event->getChildren(VqbString("Rule")));
        while (rules && rules->next()) {
            VqbString ruleName;
            if (!reposImportDependentRule(*this, rules->getCurrent(), folderId, ReposRuleOwner::Task, ruleId, ruleName,
                                          error))
                return false;
        }
        if (ruleId < 1) continue;
        if (!monitor->addRuleEvent(id, static_cast<unsigned>(ruleId), number, text(event, "EV_CODE"),
                                   text(event, "EV_DATA")))
            return fail(0, error, withAccessError("Error adding rule-event to task: %s"));
    }
    return true;
}

// ---- the manager

namespace {

bool refused(TaskMetaContentImpl& content, VqbString& error) {
    if (content.ready()) return false;
    error = VqbString("No repository or monitor data access is available to write the task.");
    content.report(0, error);
    return true;
}

}  // namespace

bool TaskManagerImpl::deleteObject(unsigned id, const VqbString& uuid, VqbString& error) {
    TaskMetaContentImpl content(owner_, owner_->getRepository());
    if (!content.ready()) return false;
    if (!content.monitor->deleteJob(id)) {
        error = content.accessError();
        return false;
    }
    if (getRepositoryEventManager())
        reposAnnounce(reposConnectionOf(content.monitor.get()), REPOS_CHANGE_DELETE, VqbString(ReposObjectTypeName::Task),
                      id, uuid);
    return true;
}

bool TaskManagerImpl::exportObject(unsigned id, const VqbString& uuid, VqbString& output, VqbString& error) {
    if (!owner_->getRepository()) return false;
    RepositoryMetadataObject* object = owner_->getContext()->createObject(VqbString(ReposObjectTypeName::Task), uuid);
    if (!object) {
        error = VqbString("Unable to create export metadata object for task.");
        return false;
    }
    std::unique_ptr<TaskMetaContentImpl> content(new (std::nothrow)
                                                     TaskMetaContentImpl(owner_, owner_->getRepository()));
    if (!content || !content->ready()) {
        error = VqbString("Unable to create task export object.");
        return false;
    }
    content->id = id;
    // One read transaction: the document is a snapshot of the task, and the many small reads are
    // not each a transaction of their own.
    bool reading = content->monitor->beginTransaction(false);
    bool exported = content->exportContent(object, error);
    if (reading) content->monitor->endTransaction(true);
    return exported && owner_->serializeObject(object, output, error);
}

bool TaskManagerImpl::importObject(RepositoryMetadataObject* object, unsigned folderId, const VqbString& name,
                                   VqbString& error) {
    TaskMetaContentImpl content(owner_, owner_->getRepository());
    if (refused(content, error)) return false;
    RepositoryMetadataSerializationContext* context = owner_->getContext();
    VqbString uuid = object->getUuid(), description = orEmpty(C::text(object, "JB_DESC"));
    {
        ReposHeld<ReposDataAccessCursor> existing(content.monitor->findJob(-1, description, uuid));
        if (existing && existing->next() == 1 && hasId(static_cast<unsigned>(C::column(existing.get(), "JB_ID").asInt())))
            return true;
    }
    if (!name.isEmpty()) {
        reposLog(owner_->getLogger(), 1, kSource, __LINE__,
                 "Changing task Name from original \"%s\" to new \"%s\" on import.", description.asCstr(), name.asCstr());
        description = name;
    }
    uint32_t jobId = 0xFFFFFFFFu;
    if (!content.monitor->addJob(description, uuid, C::text(object, "JB_CRUSR"), static_cast<int>(folderId),
                                 C::text(object, "JB_COMM"), C::text(object, "JB_DISP"), &jobId) ||
        !hasId(jobId)) {
        error = content.accessError();
        if (error.isEmpty()) error = VqbString("Unable to create the task.");
        return false;
    }
    context->setIntProperty(object, VqbString("TARGETID"), static_cast<int>(jobId));
    owner_->setObjectPath(jobId, VqbString(ReposObjectTypeName::Task), uuid);
    content.report(2, VqbString("Created task import object"));
    content.object = object;
    content.id = jobId;
    content.uuid = uuid;
    content.folderId = folderId;
    return content.importContent(error);
}

bool TaskManagerImpl::updateObject(RepositoryMetadataObject* object, unsigned id, const VqbString& existingUuid,
                                   unsigned folderId, const VqbString& existingName, VqbString& error) {
    TaskMetaContentImpl content(owner_, owner_->getRepository());
    if (refused(content, error)) return false;
    if (!hasId(id)) {
        error = VqbString::format("The object id %d is not valid for an update.", static_cast<int>(id));
        return content.fail(0, error, error);
    }
    RepositoryMetadataSerializationContext* context = owner_->getContext();
    const char* type = ReposObjectTypeName::Task;
    VqbString name = reposUpdateName(context, type, orEmpty(C::text(object, "JB_DESC")), existingName);
    VqbString uuid = reposUpdateUuid(content, type, object->getUuid(), existingUuid, id, [&](const VqbString& held) {
        ReposHeld<ReposDataAccessCursor> row(content.monitor->findJob(-1, VqbString(""), held));
        return row && row->next() == 1 ? C::column(row.get(), "JB_ID").asInt() : -1;
    });
    double now = VqbDate::currentDate().asDouble(), created = now;
    if (!C::text(object, "JB_CRDAT").isEmpty() && !object->getDoubleProperty(VqbString("JB_CRDAT"), created)) created = now;
    bool header = content.monitor->updateJob(id, name, uuid, C::text(object, "JB_CRUSR"), created,
                                             getCurrentUserName(), now, static_cast<int>(folderId),
                                             C::text(object, "JB_COMM"), C::text(object, "JB_DISP"));
    if (!header) {
        error = content.accessError();
        if (error.isEmpty()) error = VqbString("Unable to update the task.");
        content.report(0, error);
    }
    content.object = object;
    content.id = id;
    content.uuid = uuid;
    content.folderId = folderId;
    bool members = content.importContent(error);
    return header && members;
}
