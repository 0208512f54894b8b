// Lineage of repository objects: what a rule or a data exploration uses, and the files, tables and
// databases that rule-event documents name.
#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>
#include <new>
#include <string>
#include <unordered_set>

#include "repimpanlysimpl.h"
#include "repos_common_rda.h"
#include "repos_explorer_rda.h"
#include "repos_monitor_rda.h"
#include "repos_profile_rda.h"
#include "repos_reasons.h"
#include "reposlog.h"
#include "vqdac.h"
#include "vqdom.h"
#include "vqresmgr.h"

namespace {

const char* const kSource = "repimpanlysimpl";

enum class Analysis { Task, Rule, Exploration, ProfileJob, Nothing };

// Types whose lineage is analysed here; any other type is refused.
const struct {
    const char* type;
    Analysis analysis;
} kAnalyses[] = {
    {"Task", Analysis::Task},        {"Rule", Analysis::Rule},
    {"DataExploration", Analysis::Exploration}, {"ProfileJob", Analysis::ProfileJob},
    {"Source", Analysis::Nothing},   {"Field", Analysis::Nothing},
    {"CustomMetric", Analysis::Nothing}, {"Collection", Analysis::Nothing},
};

enum class EventKind { Program, LogFile, TableWrite, Job, Profile, Process };

// Rule-event documents: the root names the action, its element children carry the texts read.
const struct {
    const char* root;
    EventKind kind;
    const char* children[4];
} kEvents[] = {
    {"progexec", EventKind::Program, {"path", "prog"}},
    {"filelog", EventKind::LogFile, {"path", "name"}},
    {"tablewrite", EventKind::TableWrite, {"table", "schema", "catalog", "connect"}},
    {"wentjob", EventKind::Job, {"jobname"}},
    {"profile", EventKind::Profile, {"prog", "varfile", "logdir", "logfile"}},
    {"wentravis", EventKind::Process, {"varfile", "logdir", "logfile", "prog"}},
};

const VqbString kOdbc("ODBC");

// Kinds of link a profile job's analysis forms anew; links of any other kind are kept.
const char* const kProfileFormed[] = {"Rule", "Table", "CustomMetric", "Database"};

// The ids in the named column of every row (name compared ignoring case: back ends differ).
std::vector<int> idsOf(ReposDataAccessCursor* rows, const char* column) {
    std::vector<int> ids;
    const int at = ImpactStoreAccess::columnIndex(rows, column);
    while (rows->next() == 1)
        if (at >= 0 && !rows->getString(at).isEmpty()) ids.push_back(rows->getInt(at));
    return ids;
}

}  // namespace

bool RepositoryImpactAnalysisImpl::addToList(VqResourceList* list, const VqbString& name, const VqbString& type,
                                             const VqbString& identity) {
    if (identity.isEmpty()) return true;
    if (met_) {
        met_->push_back({name, type, identity});
        return true;
    }
    ImpactStoreAccess::Found stored;
    return inOneWrite(__LINE__, [&] { return addMet(list, {{name, type, identity}}, stored); });
}

template <class F>
bool RepositoryImpactAnalysisImpl::collecting(std::vector<Met>& met, F&& fill) {
    struct Restore {
        std::vector<Met>*& at;
        std::vector<Met>* outer;
        ~Restore() { at = outer; }
    } restore{met_, met_};
    met_ = &met;
    return fill();
}

bool RepositoryImpactAnalysisImpl::addMet(VqResourceList* list, const std::vector<Met>& met,
                                          ImpactStoreAccess::Found& stored, double date) {
    if (met.empty()) return true;
    if (!store_) return failConnection(__LINE__);
    if (!list) return false;
    // Every resource met gets its row, also one whose identity the list already holds. One that
    // the list will hold is written analysed, which spares an update of each new row.
    std::vector<Met> rows = met;
    if (date != 0.0) {
        std::unordered_set<std::string> held;
        list->reset();
        while (list->next())
            if (const VqResource* element = list->getCurrent())
                held.insert(VqResourceListImpl::keyOf(element->getIdentity()));
        for (Met& resource : rows)
            if (held.insert(VqResourceListImpl::keyOf(resource.identity)).second) resource.date = date;
    }
    if (!rowsFor(rows, stored)) return false;
    for (const Met& resource : met) {
        const ImpactRow& row = stored[{resource.identity.str(), resource.type.str()}];
        auto read = resourceOf(VqbString(std::to_string(row.id)), row.name, resource.identity, resource.type, row.date);
        if (list->contains(read.get())) continue;
        if (!list->addNew()) throw std::bad_alloc();
        list->setCurrentFrom(0, read.get());
    }
    return true;
}

bool RepositoryImpactAnalysisImpl::analyzeObject(const VqResource* owner, const VqbString& base,
                                                 const VqbString& type, const VqbString& idText,
                                                 const VqbString& uuid) try {
    reposLog(logger_, 1, kSource, __LINE__, "Analyzing %s with id=%s and uuid=%s.", type.asCstr(), idText.asCstr(),
             uuid.asCstr());
    if (owner == nullptr || repository_ == nullptr) return false;
    const Analysis* analysis = nullptr;
    for (const auto& row : kAnalyses)
        if (type.equals(VqbString(row.type), false)) analysis = &row.analysis;
    if (analysis == nullptr)
        return fail(__LINE__, VqbString::format("The object type %s was not found to analyze", type.asCstr()));
    if (*analysis == Analysis::Nothing) return true;
    ReposHeld<VqResourceList> list(new VqResourceListImpl());
    const int id = idText.trimmed().asInt();
    if (!store_) return failConnection(__LINE__);
    // One write: the resources found anew and the rewritten links commit together, and a failure
    // leaves no half-listed resources behind. The resources met are looked up and added together
    // once the object is read.
    bool reported = false;
    const bool done = store_->oneWrite(__LINE__, [&] {
        std::vector<Met> met;
        ImpactStoreAccess::Found stored;
        const bool listed = collecting(met, [&] {
            switch (*analysis) {
                case Analysis::Task: return analyzeTask(list.get(), base, id);
                case Analysis::Rule: return analyzeRule(list.get(), base, id);
                case Analysis::Exploration: return analyzeExploration(list.get(), id);
                case Analysis::ProfileJob: return analyzeProfileJob(owner, list.get(), base, id);
                case Analysis::Nothing: break;
            }
            return false;
        });
        reported = !(listed && addMet(list.get(), met, stored, VqbDate::currentDate().asDouble()) &&
                     dependencies(owner, list.get(), stored));
        return !reported;
    });
    return done || (!reported && failConnection(__LINE__));
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpactAnalysisImpl::analyzeRule(VqResourceList* list, const VqbString& base, int ruleId) {
    ReposHeld<CommonRepositoryDataAccess> common(repository_->createCommonRepositoryDataAccess());
    if (!common) return true;
    ReposHeld<VqResourceManager> manager(createVqResourceManager());
    if (!manager) return fail(__LINE__, VqbString("No resource manager"));
    const unsigned id = static_cast<unsigned>(ruleId);
    // A failed read must not pass for a rule that uses nothing: its links would be dropped.
    ReposHeld<ReposDataAccessCursor> metrics(common->listRuleCustomMetrics(id));
    if (!metrics) return handOn(common->getErrorMessage());
    std::vector<int> metricIds;
    while (metrics->next() == 1)
        if (!metrics->getString(0).isEmpty()) metricIds.push_back(metrics->getInt(0));
    for (int metricId : metricIds)
        if (!addCustomMetric(list, common.get(), manager.get(), base, metricId)) return false;
    const VqbString none("");
    ReposHeld<ReposDataAccessCursor> fields(common->listRuleFields(id));
    if (!fields) return handOn(common->getErrorMessage());
    while (fields->next() == 1) {
        const VqbString name = fields->getString(0);
        VqbString identity;
        if (!name.isEmpty() && manager->getObjectIdentity(base, VqbString("Field"), name, none, identity) &&
            !addToList(list, name, VqbString("Field"), identity))
            return false;
    }
    return true;
}

bool RepositoryImpactAnalysisImpl::addCustomMetric(VqResourceList* list, CommonRepositoryDataAccess* common,
                                                   VqResourceManager* manager, const VqbString& base, int metricId) {
    const VqbString none("");
    ReposHeld<ReposDataAccessCursor> metric(common->findCustomMetric(metricId, none, none));
    if (!metric) return handOn(common->getErrorMessage());
    VqbString identity;
    return metric->next() != 1 ||
           !manager->getObjectIdentity(base, VqbString("CustomMetric"), metric->getString(0), metric->getString(5),
                                       identity) ||
           addToList(list, metric->getString(1), VqbString("CustomMetric"), identity);
}

bool RepositoryImpactAnalysisImpl::failConnection(int line) {
    ReposDataAccess* connection = store_ ? store_->getConnection() : nullptr;
    if (reposConnectionLogged(connection)) return handOn(connection->getGeneralErrorMessage());
    return fail(line, connection ? connection->getGeneralErrorMessage() : VqbString("No connection"));
}

bool RepositoryImpactAnalysisImpl::analyzeTask(VqResourceList* list, const VqbString& base, int taskId) {
    ReposHeld<MonitorRepositoryDataAccess> monitor(repository_->createMonitorRepositoryDataAccess());
    if (!monitor) return fail(__LINE__, VqbString("The repository has no monitor data access"));
    ReposHeld<ReposDataAccessCursor> rules(monitor->listJobRules(static_cast<uint32_t>(taskId)));
    if (!rules) return handOn(monitor->getErrorMessage());
    const std::vector<int> ids = idsOf(rules.get(), "RU_ID");
    return addRules(list, base, ids) && addEvents(list, taskId, ids);
}

bool RepositoryImpactAnalysisImpl::addRules(VqResourceList* list, const VqbString& base,
                                            const std::vector<int>& ruleIds) {
    note(__LINE__, "Adding dependent business rules.");
    if (!store_) return failConnection(__LINE__);
    ReposHeld<VqResourceManager> manager(createVqResourceManager());
    if (!manager) return fail(__LINE__, VqbString("No resource manager"));
    std::map<int, std::vector<ImpactRule>> rules;
    if (!store_->ruleRows(ruleIds, rules)) return failConnection(__LINE__);
    for (int id : ruleIds) {
        const auto found = rules.find(id);
        if (found == rules.end()) continue;
        for (const ImpactRule& rule : found->second) {
            VqbString identity;
            if (manager->getObjectIdentity(base, VqbString("Rule"), rule.id, rule.uuid, identity) &&
                !addToList(list, rule.description, VqbString("Rule"), identity))
                return false;
        }
    }
    return true;
}

bool RepositoryImpactAnalysisImpl::addEvents(VqResourceList* list, int taskId, const std::vector<int>& ruleIds) {
    note(__LINE__, "Adding dependent event objects.");
    if (!store_) return failConnection(__LINE__);
    std::map<int, std::vector<VqbString>> documents;
    if (!store_->ruleEvents(taskId, ruleIds, documents)) return failConnection(__LINE__);
    for (int id : ruleIds) {
        const auto found = documents.find(id);
        if (found == documents.end()) continue;
        for (const VqbString& document : found->second) {
            // A document that does not parse names nothing; it must not fail the task.
            VqDom dom;
            if (document.isEmpty() || !dom.loadXML(document)) continue;
            if (!addEventResources(list, dom)) return false;
        }
    }
    return true;
}

VqbString RepositoryImpactAnalysisImpl::profileSourceKind(const VqbString& stored, const VqbString& fileName,
                                                         const VqbString& connection) {
    const std::string letter = stored.trimmed().str();
    if (letter.size() == 1) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
        if (std::string("NDSYC").find(upper) != std::string::npos) return VqbString(std::string(1, upper).c_str());
    }
    if (!fileName.trimmed().isEmpty()) return VqbString("Y");
    if (!connection.trimmed().isEmpty()) return VqbString("N");
    return VqbString("");
}

bool RepositoryImpactAnalysisImpl::analyzeProfileJob(const VqResource* owner, VqResourceList* list,
                                                     const VqbString& base, int jobId) {
    // Links that this analysis does not form (files recorded by other means) survive the rewrite.
    lastError_ = VqbString("");
    ReposHeld<VqResourceList> present(getDependentResources(owner));
    if (!present || !lastError_.isEmpty()) return present ? false : fail(__LINE__, VqbString("No present links"));
    while (present->next()) {
        const VqResource* resource = present->getCurrent();
        const auto formed = std::find_if(std::begin(kProfileFormed), std::end(kProfileFormed), [&](const char* kind) {
            return resource->getType().equals(VqbString(kind), false);
        });
        if (formed != std::end(kProfileFormed) || list->contains(resource)) continue;
        if (!list->addNew()) throw std::bad_alloc();
        list->setCurrentFrom(0, resource);
    }
    ReposHeld<ProfileRepositoryDataAccess> profile(repository_->createProfileRepositoryDataAccess());
    if (!profile) return fail(__LINE__, VqbString("The repository has no profile data access"));
    ReposHeld<ReposDataAccessCursor> rules(profile->listJobBusinessRules(static_cast<uint32_t>(jobId)));
    if (!rules) return handOn(profile->getErrorMessage());
    return addRules(list, base, idsOf(rules.get(), "BR_ID")) && addProfileTables(list, profile.get(), base, jobId);
}

bool RepositoryImpactAnalysisImpl::addProfileTables(VqResourceList* list, ProfileRepositoryDataAccess* profile,
                                                    const VqbString& base, int jobId) {
    note(__LINE__, "Adding profile job tables.");
    const uint32_t job = static_cast<uint32_t>(jobId);
    ReposHeld<ReposDataAccessCursor> tables(profile->listJobSetupSources(job));
    if (!tables) return handOn(profile->getErrorMessage());
    ReposHeld<CommonRepositoryDataAccess> common(repository_->createCommonRepositoryDataAccess());
    if (!common) return fail(__LINE__, VqbString("The repository has no common data access"));
    ReposHeld<VqResourceManager> manager(createVqResourceManager());
    if (!manager) return fail(__LINE__, VqbString("No resource manager"));
    while (tables->next() == 1) {
        const VqbString connection = tables->getString(1), catalog = tables->getString(2),
                        schema = tables->getString(3), table = tables->getString(4), fileName = tables->getString(5);
        const VqbString kind = profileSourceKind(tables->getString(6), fileName, connection);
        const uint32_t tableId = static_cast<uint32_t>(tables->getInt(7));
        manager->prepareConnection(connection, kOdbc);
        VqbString identity;
        // Any other letter was derived to one of these, or to none.
        if (kind.equals(VqbString("Y"), false)) {
            if (fileName.isEmpty())
                reposLog(logger_, 4, kSource, __LINE__, "Found file based table without filename for lineage of profile.");
            else if (manager->getFileIdentity(fileName, table, identity) &&
                     !addToList(list, table, VqbString("File"), identity))
                return false;
        } else if (kind.equals(VqbString("C"), false)) {
            reposLog(logger_, 2, kSource, __LINE__,
                     "Found table global category (Collection) in profile, not recording lineage");
        } else if (kind.isEmpty()) {
            reposLog(logger_, 2, kSource, __LINE__, "Unable to determine Lineage DNS Type for profile");
        } else if (!addDatabaseTable(list, manager.get(), connection, catalog, schema, table)) {
            return false;
        }
        ReposHeld<ReposDataAccessCursor> metrics(profile->listJobTableCustomMetrics(tableId));
        if (!metrics) return handOn(profile->getErrorMessage());
        ReposHeld<ReposDataAccessCursor> mapped(profile->listJobCustomMetricMappings(job, tableId));
        if (!mapped) return handOn(profile->getErrorMessage());
        for (ReposDataAccessCursor* rows : {metrics.get(), mapped.get()})
            for (int metricId : idsOf(rows, "CM_ID"))
                if (!addCustomMetric(list, common.get(), manager.get(), base, metricId)) return false;
    }
    return true;
}

bool RepositoryImpactAnalysisImpl::analyzeExploration(VqResourceList* list, int projectId) {
    ReposHeld<ExplorerRepositoryDataAccess> explorer(repository_->createExplorerRepositoryDataAccess());
    if (!explorer) return fail(__LINE__, VqbString("The repository has no explorer data access"));
    ReposHeld<ReposDataAccessCursor> tables(explorer->listProjectTables(static_cast<uint32_t>(projectId)));
    if (!tables) return handOn(explorer->getErrorMessage());
    ReposHeld<VqResourceManager> manager(createVqResourceManager());
    if (!manager) return fail(__LINE__, VqbString("No resource manager"));
    while (tables->next() == 1) {
        const VqbString table = tables->getString(1), schema = tables->getString(2),
                        connection = tables->getString(3), catalog = tables->getString(4);
        manager->prepareConnection(connection, kOdbc);
        if (!addDatabaseTable(list, manager.get(), connection, catalog, schema, table)) return false;
    }
    return true;
}

bool RepositoryImpactAnalysisImpl::addDatabaseTable(VqResourceList* list, VqResourceManager* manager,
                                                    const VqbString& connection, const VqbString& catalog,
                                                    const VqbString& schema, const VqbString& table) {
    VqbString identity;
    if (!connection.isEmpty()) {
        VqbString name;
        // A connection text may carry a password; a stored name never does.
        if (!manager->getDataSourceName(connection, name)) name = dacMaskConnectionText(connection);
        if (manager->getDatabaseIdentity(connection, kOdbc, identity) &&
            !addToList(list, name, VqbString("Database"), identity))
            return false;
    }
    return !manager->getTableIdentity(connection, kOdbc, catalog, schema, table, identity) ||
           addToList(list, table, VqbString("Table"), identity);
}

bool RepositoryImpactAnalysisImpl::addResourcesFromEvent(VqResourceList* list, const VqbString& document) try {
    VqDom dom;
    if (!dom.loadXML(document)) {
        note(__LINE__, "Adding resources from event.");
        return false;
    }
    if (met_) return addEventResources(list, dom);
    // On its own: the document's resources get their rows in one write.
    std::vector<Met> met;
    const bool named = collecting(met, [&] { return addEventResources(list, dom); });
    if (met.empty()) return named;
    ImpactStoreAccess::Found stored;
    return inOneWrite(__LINE__, [&] { return addMet(list, met, stored); }) && named;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpactAnalysisImpl::addEventResources(VqResourceList* list, const VqDom& dom) {
    note(__LINE__, "Adding resources from event.");
    ReposHeld<VqResourceManager> manager(createVqResourceManager());
    if (!list || !manager) return false;
    const VqDomNode root = dom.getRoot();
    const VqbString rootName = root.getName();
    const auto* event = std::find_if(std::begin(kEvents), std::end(kEvents),
                                     [&](const auto& row) { return rootName.equals(VqbString(row.root), false); });
    if (event == std::end(kEvents)) return true;

    // The texts of the children the action reads; the last of a repeated child counts.
    std::map<std::string, VqbString> texts;
    for (const char* child : event->children)
        if (child) texts[child] = VqbString("");
    for (VqDomNode node = root.getFirstChild(); !node.null(); node = node.getNextSibling()) {
        const VqbString name = node.getName();
        for (auto& text : texts)
            if (name.equals(VqbString(text.first), false)) text.second = node.getValue();
    }
    auto text = [&](const char* name) { return texts[name]; };

    bool ok = true;
    auto file = [&](const VqbString& path) {
        VqbString directory, baseName, last, identity;
        if (!getComponentsFromFilesystemPath(path, directory, baseName, last) || last.isEmpty()) last = path;
        if (manager->getFileIdentity(path, last, identity)) ok = addToList(list, last, VqbString("File"), identity) && ok;
    };
    auto logFile = [&](const VqbString& directory, const VqbString& name) {
        note(__LINE__, "Adding log file resource.");
        // Joined as the writer of the document wrote them: the directory carries its separator.
        const VqbString path = directory + name;
        VqbString identity;
        if (!path.isEmpty() && manager->getFileIdentity(path, name, identity))
            ok = addToList(list, name, VqbString("File"), identity) && ok;
    };
    auto fromResolver = [&](const VqbString& reference) {
        if (!resolver_) return;
        ReposHeld<VqResource> resource(resolver_->getResource(reference));
        if (resource) ok = addToList(list, resource->getName(), resource->getType(), resource->getIdentity()) && ok;
    };
    auto runOutputs = [&] {
        if (!text("varfile").isEmpty()) file(text("varfile"));
        if (!text("logfile").isEmpty()) logFile(text("logdir"), text("logfile"));
    };

    switch (event->kind) {
        case EventKind::Program:
            logFile(text("path"), text("prog"));
            break;
        case EventKind::LogFile:
            logFile(text("path"), text("name"));
            break;
        case EventKind::TableWrite: {
            const VqbString table = text("table"), connection = text("connect");
            if (table.isEmpty()) break;
            manager->prepareConnection(connection, kOdbc);
            VqbString identity;
            if (!connection.isEmpty()) {
                VqbString name;
                if (!manager->getDataSourceName(connection, name)) name = VqbString("");
                if (manager->getDatabaseIdentity(connection, kOdbc, identity))
                    ok = addToList(list, name, VqbString("Database"), identity) && ok;
            }
            if (manager->getTableIdentity(connection, kOdbc, text("catalog"), text("schema"), table, identity))
                ok = addToList(list, table, VqbString("Table"), identity) && ok;
            break;
        }
        case EventKind::Job:
            if (!text("jobname").isEmpty()) file(text("jobname"));
            break;
        case EventKind::Profile:
            if (!text("prog").isEmpty()) fromResolver(text("prog"));
            runOutputs();
            break;
        case EventKind::Process: {
            const VqbString program = text("prog");
            VqbString reference;
            if (!program.isEmpty()) {
                if (!generateURIReferenceFromFilename(program, reference))
                    file(program);
                else if (!reference.isEmpty())
                    fromResolver(reference);
            }
            runOutputs();
            break;
        }
    }
    return ok;
}
