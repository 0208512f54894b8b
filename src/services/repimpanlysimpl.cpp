// The impact-analysis store: resources in IMPRCS, the links of owners to what they use in IMPDEP.
#include "repimpanlysimpl.h"

#include <algorithm>
#include <new>
#include <set>
#include <unordered_set>

#include "repos_guard.h"
#include "repos_tables_xml.h"
#include "reposlog.h"
#include "vqbconfig.h"
#include "vqresmgr.h"

namespace {

const char* const kSource = "repimpanlysimpl";

bool holdsMacro(const VqbString& text) {
    const std::string& s = text.str();
    size_t first = s.find("%%");
    return first != std::string::npos && s.find("%%", first + 2) != std::string::npos;
}

}  // namespace

// ---- the store's own statements

bool ImpactStoreAccess::linksOf(int owner, std::vector<int>& ids) {
    ReposHeld<ReposDataAccessCursor> rows(
        select(kSource, __LINE__, Sql(onTable("SELECT RCS_ID FROM", "IMPDEP", " WHERE RCS_USED=?"), {owner})));
    if (!rows) return false;
    while (rows->next() == 1) ids.push_back(rows->getInt(0));
    return true;
}

namespace {

// Each key once, in first-seen order.
template <class T>
std::vector<VqbDatavar> distinctValues(const std::vector<T>& keys) {
    std::vector<VqbDatavar> values;
    std::set<T> seen;
    for (const T& key : keys)
        if (seen.insert(key).second) values.emplace_back(key);
    return values;
}

}  // namespace

bool ImpactStoreAccess::findRows(const std::vector<VqbString>& identities, Found& rows) {
    // Looked up by identity alone; the type is matched here.
    return inChunks(onTable("SELECT RCS_ID, RCS_IDTY, RCS_TYPE, RCS_ADAT, RCS_NM FROM", "IMPRCS", " WHERE RCS_IDTY IN "),
                    "", {}, distinctValues(identities), [&](const Sql& sql) {
                        ReposHeld<ReposDataAccessCursor> found(select(kSource, __LINE__, sql));
                        if (!found) return false;
                        while (found->next() == 1)
                            rows.emplace(std::make_pair(found->getString(1).str(), found->getString(2).str()),
                                         ImpactRow{found->getInt(0), found->getValue(3).asDouble(), found->getString(4)});
                        return true;
                    });
}

namespace {

// "<head><row>,<row>...".
VqbString rowsOf(const VqbString& head, size_t rows, const VqbString& row) {
    VqbString text = head;
    for (size_t r = 0; r < rows; ++r) {
        if (r) text.append(",");
        text.append(row);
    }
    return text;
}

}  // namespace

bool ImpactStoreAccess::addRows(const std::vector<NewResource>& resources, std::vector<int>& ids) {
    if (resources.empty()) return true;
    uint32_t first = 0;
    if (!nextIds(kSource, __LINE__, "IMPRCS", static_cast<int>(resources.size()), first)) return false;
    const VqbString head = onTable("INSERT INTO", "IMPRCS", " (RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE, RCS_ADAT) VALUES ");
    constexpr size_t kRows = kMaxValues / 5;
    for (size_t at = 0; at < resources.size(); at += kRows) {
        const size_t n = std::min(kRows, resources.size() - at);
        Sql insert(rowsOf(head, n, markerList(5)));
        for (size_t i = at; i < at + n; ++i) {
            const int id = static_cast<int>(first + i);
            const double date = resources[i].date;
            insert.bind(id).bind(resources[i].name).bind(resources[i].identity).bind(resources[i].type);
            insert.bind(date != 0.0 ? VqbDatavar(date) : VqbDatavar());
            ids.push_back(id);
        }
        if (!run(kSource, __LINE__, insert)) return false;
    }
    return true;
}

bool ImpactStoreAccess::addLinks(const std::vector<Link>& links) {
    const VqbString head = onTable("INSERT INTO", "IMPDEP", " (RCS_ID, RCS_USED) VALUES ");
    constexpr size_t kRows = kMaxValues / 2;
    for (size_t at = 0; at < links.size(); at += kRows) {
        const size_t n = std::min(kRows, links.size() - at);
        Sql insert(rowsOf(head, n, markerList(2)));
        for (size_t i = at; i < at + n; ++i) insert.bind(links[i].resource).bind(links[i].owner);
        if (!run(kSource, __LINE__, insert)) return false;
    }
    return true;
}

bool ImpactStoreAccess::linksOfOwners(const std::vector<int>& owners, std::vector<Link>& links) {
    return inChunks(onTable("SELECT RCS_ID, RCS_USED FROM", "IMPDEP", " WHERE RCS_USED IN "), "", {},
                    distinctValues(owners), [&](const Sql& sql) {
                        ReposHeld<ReposDataAccessCursor> rows(select(kSource, __LINE__, sql));
                        if (!rows) return false;
                        while (rows->next() == 1) links.push_back({rows->getInt(0), rows->getInt(1)});
                        return true;
                    });
}

bool ImpactStoreAccess::stampUnanalysed(const std::vector<int>& ids, double date) {
    // By the rows' keys: a join with the links could be planned as a walk of every link for each
    // resource when the statistics are behind a large first load.
    return inChunks(onTable("UPDATE", "IMPRCS", " SET RCS_ADAT = ? WHERE (RCS_ADAT IS NULL OR RCS_ADAT = 0) AND RCS_ID IN "),
                    "", {date}, distinctValues(ids),
                    [&](const Sql& sql) { return run(kSource, __LINE__, sql); });
}

bool ImpactStoreAccess::deleteUnused() {
    // One statement removes the same rows as a select of them and a delete of each.
    const VqbString links = tableName("IMPDEP");
    return run(kSource, __LINE__,
               Sql(onTable("DELETE FROM", "IMPRCS",
                           VqbString::format(" WHERE RCS_ID NOT IN (SELECT DISTINCT RCS_ID FROM %s UNION SELECT "
                                             "DISTINCT RCS_USED FROM %s)",
                                             links.asCstr(), links.asCstr())
                               .asCstr())));
}

bool ImpactStoreAccess::deleteAll() {
    // Links first, so that no link outlives its resources, and both or neither.
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    return run(kSource, __LINE__, Sql(onTable("DELETE FROM", "IMPDEP"))) &&
           run(kSource, __LINE__, Sql(onTable("DELETE FROM", "IMPRCS"))) &&
           (transaction.commit() || logFailure(kSource, __LINE__));
}

bool ImpactStoreAccess::rename(int id, const VqbString& name) {
    return run(kSource, __LINE__, Sql(onTable("UPDATE", "IMPRCS", " SET RCS_NM = ? WHERE RCS_ID = ?"), {name, id}));
}

ImpactStoreAccess::Lookup ImpactStoreAccess::inUse(int id) {
    const VqbString links = tableName("IMPDEP");
    return lookupCount(
        kSource, __LINE__,
        Sql(onTable("SELECT COUNT(*) FROM", "IMPRCS",
                    VqbString::format(" WHERE RCS_ID IN (SELECT RCS_USED FROM %s WHERE RCS_ID = ? UNION SELECT "
                                      "RCS_ID FROM %s WHERE RCS_USED = ?)",
                                      links.asCstr(), links.asCstr())
                        .asCstr()),
            {id, id}));
}

ImpactStoreAccess::Lookup ImpactStoreAccess::exists(int id) {
    return lookup(kSource, __LINE__, Sql(onTable("SELECT RCS_ID FROM", "IMPRCS", " WHERE RCS_ID = ?"), {id}));
}

bool ImpactStoreAccess::deleteResource(int id) {
    return run(kSource, __LINE__, Sql(onTable("DELETE FROM", "IMPRCS", " WHERE RCS_ID = ?"), {id}));
}

bool ImpactStoreAccess::ruleRows(const std::vector<int>& ruleIds, std::map<int, std::vector<ImpactRule>>& rules) {
    return inChunks(onTable("SELECT RU_UUID, RU_ID, RU_DESC FROM", "RULE", " WHERE RU_ID IN "), "", {},
                    distinctValues(ruleIds), [&](const Sql& sql) {
                        ReposHeld<ReposDataAccessCursor> rows(select(kSource, __LINE__, sql));
                        if (!rows) return false;
                        while (rows->next() == 1)
                            rules[rows->getInt(1)].push_back({rows->getString(0), rows->getString(1), rows->getString(2)});
                        return true;
                    });
}

bool ImpactStoreAccess::ruleEvents(int taskId, const std::vector<int>& ruleIds,
                                   std::map<int, std::vector<VqbString>>& documents) {
    // One read of the task's events serves all its rules: a list of rules beside the task would
    // be served by the index of either column alone, walking the task's events for each chunk.
    const std::set<int> wanted(ruleIds.begin(), ruleIds.end());
    ReposHeld<ReposDataAccessCursor> rows(
        select(kSource, __LINE__, Sql(onTable("SELECT RU_ID, EV_CODE, EV_DATA FROM", "RULEVT", " WHERE JB_ID=?"), {taskId})));
    if (!rows) return false;
    // A long document is stored as a reference that only the value read resolves.
    while (rows->next() == 1)
        if (wanted.count(rows->getInt(0))) documents[rows->getInt(0)].push_back(rows->getValue(2).asString());
    return true;
}

// ---- frame

RepositoryImpactAnalysisImpl::RepositoryImpactAnalysisImpl(Repository* repository, ReposDataAccess* connection)
    : repository_(repository), logger_(vqlogGetLogger("VQ.Repos.ReposAdmin.Lineage")) {
    if (repository_) meta_.reset(repository_->createMetadataRepositoryDataAccess());
    if (repository_ && connection) store_.reset(new (std::nothrow) ImpactStoreAccess(connection));
}

RepositoryImpactAnalysisImpl::~RepositoryImpactAnalysisImpl() {
    store_.reset();
    meta_.reset();
    repository_ = nullptr;
}

VqbString RepositoryImpactAnalysisImpl::getErrorMessage() try {
    return lastError_;
} catch (...) {
    return caught(__LINE__, VqbString());
}

bool RepositoryImpactAnalysisImpl::fail(int line, const VqbString& text) {
    handOn(text);
    reposLog(logger_, 5, kSource, line, "%s", lastError_.asCstr());
    return false;
}

bool RepositoryImpactAnalysisImpl::handOn(const VqbString& text) {
    lastError_ = text;
    return false;
}

bool RepositoryImpactAnalysisImpl::failMeta(int line) {
    if (meta_) return handOn(meta_->getErrorMessage());
    return fail(line, VqbString("The repository has no metadata data access"));
}

void RepositoryImpactAnalysisImpl::note(int line, const char* text) { reposLog(logger_, 1, kSource, line, "%s", text); }

void RepositoryImpactAnalysisImpl::recordCaught(int line) noexcept {
    const char* text = reposCaughtText();
    try {
        lastError_ = VqbString(text);
        reposLog(logger_, 5, kSource, line, "%s", text);
    } catch (...) {
        // The failure value still reaches the caller.
    }
}

// ---- reading resources

void RepositoryImpactAnalysisImpl::resolve(VqResourceImpl& resource) {
    if (!resolver_) return;
    note(__LINE__, "Setting resource location and isResolved.");
    VqbString newName(""), location("");
    const VqbString type = resource.getType();
    bool resolved = resolver_->resolve(resource.getName(), resource.getIdentity(), type, newName, location);
    // A database or table the host cannot reach is still the one named.
    resource.resolved_ = resolved || type.equals("Database", false) || type.equals("Table", false);
    if (!newName.isEmpty() && !newName.equals(resource.getName(), false)) resource.setName(newName);
    if (!location.isEmpty()) resource.location_ = location;
}

std::unique_ptr<VqResourceImpl> RepositoryImpactAnalysisImpl::resourceOf(const VqbString& id, const VqbString& name,
                                                                        const VqbString& identity,
                                                                        const VqbString& type, double date) {
    auto resource = std::make_unique<VqResourceImpl>();
    resource->setId(id);
    resource->setName(name);
    resource->setIdentity(identity);
    resource->setType(type);
    resource->analysisDate_ = VqbDate(date);
    resolve(*resource);
    resource->containsMacro_ = holdsMacro(resource->getIdentity());
    return resource;
}

std::unique_ptr<VqResourceImpl> RepositoryImpactAnalysisImpl::readResource(ReposDataAccessCursor* cursor) {
    return resourceOf(cursor->getString(0), cursor->getString(1), cursor->getString(2), cursor->getString(3),
                      cursor->getValue(4).asDouble());
}

VqResourceListImpl* RepositoryImpactAnalysisImpl::readList(ReposDataAccessCursor* cursor, bool reportNull) {
    ReposHeld<ReposDataAccessCursor> rows(cursor);
    std::unique_ptr<VqResourceListImpl> list(new VqResourceListImpl());
    if (!rows) {
        if (reportNull && meta_) failMeta(__LINE__);
        return list.release();
    }
    while (rows->next() == 1) list->append(readResource(rows.get()));
    return list.release();
}

bool RepositoryImpactAnalysisImpl::lookupId(const VqbString& type, const VqbString& identity, int& id, bool& found) {
    if (!meta_) return failMeta(__LINE__);
    ReposHeld<ReposDataAccessCursor> rows(meta_->getResourceByIdentity(identity, type));
    if (!rows) return failMeta(__LINE__);
    found = rows->next() == 1;
    if (found) id = rows->getInt(0);
    return true;
}

bool RepositoryImpactAnalysisImpl::rowId(const VqResource* resource, int& id) {
    bool notNumber = false;
    const VqbString text = resource->getId();
    id = text.trimmed().asInt(&notNumber);
    if (!text.isEmpty() && !notNumber) return true;
    // A resource the host made itself is known by its type and identity.
    bool found = false;
    if (!lookupId(resource->getType(), resource->getIdentity(), id, found)) return false;
    return found || fail(__LINE__, VqbString("The impact resource is not in the repository."));
}

std::unique_ptr<VqResourceImpl> RepositoryImpactAnalysisImpl::find(const VqbString& type,
                                                                  const VqbString& identity) {
    if (!meta_) return nullptr;
    ReposHeld<ReposDataAccessCursor> rows(meta_->getResourceByIdentity(identity, type));
    if (!rows) {
        failMeta(__LINE__);
        return nullptr;
    }
    return rows->next() == 1 ? readResource(rows.get()) : nullptr;
}

bool RepositoryImpactAnalysisImpl::addId(const VqbString& name, const VqbString& type, const VqbString& identity,
                                         int& id) {
    reposLog(logger_, 1, kSource, __LINE__, "Creating %s resource named \"%s\"", type.asCstr(), name.asCstr());
    if (meta_->addResource(name, identity, type, &id)) return true;
    // Refused when another writer added the pair since the look: that row is the one.
    bool found = false;
    if (!lookupId(type, identity, id, found)) return false;
    return found || failMeta(__LINE__);
}

bool RepositoryImpactAnalysisImpl::findOrAddId(const VqbString& name, const VqbString& type,
                                               const VqbString& identity, int& id) {
    bool found = false;
    if (!lookupId(type, identity, id, found)) return false;
    return found || addId(name, type, identity, id);
}

std::unique_ptr<VqResourceImpl> RepositoryImpactAnalysisImpl::findOrAdd(const VqbString& name, const VqbString& type,
                                                                       const VqbString& identity) {
    int id = 0;
    if (!meta_ || !findOrAddId(name, type, identity, id)) return nullptr;
    ReposHeld<ReposDataAccessCursor> rows(meta_->getResource(id));
    if (!rows) {
        failMeta(__LINE__);
        return nullptr;
    }
    return rows->next() == 1 ? readResource(rows.get()) : nullptr;
}

// ---- links

bool RepositoryImpactAnalysisImpl::rewriteLinks(int owner, const std::vector<int>& wanted, bool replace) {
    std::vector<int> current;
    if (!store_->linksOf(owner, current)) return failMeta(__LINE__);
    const std::unordered_set<int> present(current.begin(), current.end());
    std::unordered_set<int> listed;
    std::vector<ImpactStoreAccess::Link> adds;
    for (int id : wanted)
        if (id >= 0 && listed.insert(id).second && present.count(id) == 0) adds.push_back({id, owner});
    if (replace)
        for (int id : present)
            if (listed.count(id) == 0 && !meta_->deleteDependency(owner, id)) return failMeta(__LINE__);
    return store_->addLinks(adds) || failMeta(__LINE__);
}

bool RepositoryImpactAnalysisImpl::rowsFor(const std::vector<ImpactStoreAccess::NewResource>& resources,
                                           ImpactStoreAccess::Found& stored) {
    std::vector<VqbString> unknown;
    for (const auto& resource : resources)
        if (!stored.count({resource.identity.str(), resource.type.str()})) unknown.push_back(resource.identity);
    // Checked and added within the caller's exclusive write, so no other writer adds one between.
    if (!store_->findRows(unknown, stored)) return failMeta(__LINE__);
    std::vector<ImpactStoreAccess::NewResource> missing;
    for (const auto& resource : resources) {
        auto key = std::make_pair(resource.identity.str(), resource.type.str());
        if (stored.count(key)) continue;
        reposLog(logger_, 1, kSource, __LINE__, "Creating %s resource named \"%s\"", resource.type.asCstr(),
                 resource.name.asCstr());
        missing.push_back(resource);
        stored.emplace(std::move(key), ImpactRow{-1, 0.0, resource.name, resource.date != 0.0});
    }
    std::vector<int> added;
    if (!store_->addRows(missing, added)) return failMeta(__LINE__);
    for (size_t i = 0; i < missing.size(); ++i)
        stored[{missing[i].identity.str(), missing[i].type.str()}].id = added[i];
    return true;
}

bool RepositoryImpactAnalysisImpl::updateResourceDependencies(int ownerId, VqResourceList* list, bool replace,
                                                              std::vector<ImpactRow>* rows,
                                                              ImpactStoreAccess::Found& stored) {
    note(__LINE__, "Adding resource dependencies.");
    if (!meta_ || !store_) return failMeta(__LINE__);
    std::vector<ImpactStoreAccess::NewResource> elements;
    // A new row is linked here, so it is written analysed when the links replace the owner's.
    const double date = replace ? VqbDate::currentDate().asDouble() : 0.0;
    // The whole list: a cursor left anywhere by the producer must not drop earlier elements.
    if (list) {
        list->reset();
        while (list->next())
            if (const VqResource* element = list->getCurrent())
                elements.push_back({element->getName(), element->getType(), element->getIdentity(), date});
    }
    if (!rowsFor(elements, stored)) return false;
    std::vector<int> wanted;
    for (const auto& element : elements) {
        const ImpactRow& row = stored[{element.identity.str(), element.type.str()}];
        wanted.push_back(row.id);
        if (rows) rows->push_back(row);
    }
    return rewriteLinks(ownerId, wanted, replace);
}

bool RepositoryImpactAnalysisImpl::linkDatabases(const std::vector<std::pair<const VqResource*, int>>& tables) {
    ReposHeld<VqResourceManager> manager;
    std::vector<std::pair<int, VqbString>> wanted;  // table id, database identity
    std::vector<VqbString> databases;
    for (const auto& [table, id] : tables) {
        const VqbString identity = table->getIdentity();
        if (!table->getType().equals("Table", false) || identity.isEmpty()) continue;
        if (!manager) manager.reset(createVqResourceManager());
        VqbString connection, dataSourceType, catalog, schema, name, databaseIdentity;
        if (!manager || !manager->parseTableIdentity(identity, connection, dataSourceType, catalog, schema, name) ||
            connection.isEmpty() || !manager->getDatabaseIdentity(connection, dataSourceType, databaseIdentity))
            continue;
        wanted.emplace_back(id, databaseIdentity);
        databases.push_back(databaseIdentity);
    }
    if (wanted.empty()) return true;
    ImpactStoreAccess::Found found;
    if (!store_->findRows(databases, found)) return failMeta(__LINE__);
    std::vector<int> owners;
    std::vector<ImpactStoreAccess::Link> links;
    for (const auto& [id, databaseIdentity] : wanted) {
        auto database = found.find({databaseIdentity.str(), "Database"});
        if (database == found.end() || database->second.id < 0) continue;
        owners.push_back(id);
        links.push_back({database->second.id, id});
    }
    std::vector<ImpactStoreAccess::Link> present;
    if (!store_->linksOfOwners(owners, present)) return failMeta(__LINE__);
    std::set<std::pair<int, int>> known;
    for (const auto& link : present) known.emplace(link.resource, link.owner);
    std::vector<ImpactStoreAccess::Link> adds;
    for (const auto& link : links)
        if (known.emplace(link.resource, link.owner).second) adds.push_back(link);
    return store_->addLinks(adds) || failMeta(__LINE__);
}

bool RepositoryImpactAnalysisImpl::stampAnalysisDate(const VqResource* resource, int id) {
    if (resource == nullptr || resource->getAnalysisDate().asDouble() != 0.0) return true;
    if (linkDatabases({{resource, id}})) meta_->setResourceAnalysisDate(id, VqbDate::currentDate().asDouble());
    return true;
}

bool RepositoryImpactAnalysisImpl::addResourceDependencies(const VqResource* owner, VqResourceList* list) try {
    ImpactStoreAccess::Found stored;
    return dependencies(owner, list, stored);
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpactAnalysisImpl::dependencies(const VqResource* owner, VqResourceList* list,
                                                ImpactStoreAccess::Found& stored) {
    if (owner == nullptr) return true;
    return inOneWrite(__LINE__, [&] {
        int ownerId = 0;
        std::vector<ImpactRow> rows;
        if (!rowId(owner, ownerId)) return false;
        // Another writer may have swept the owner since the caller read it (a new owner has no
        // links yet): links to a missing row would keep what they name in use for good.
        switch (store_->exists(ownerId)) {
            case ImpactStoreAccess::Lookup::Found:
                break;
            case ImpactStoreAccess::Lookup::Missing:
                return fail(__LINE__, VqbString::format("The impact resource %d is no longer in the repository.",
                                                        ownerId));
            case ImpactStoreAccess::Lookup::Failed:
                return failMeta(__LINE__);
        }
        if (!updateResourceDependencies(ownerId, list, true, &rows, stored)) return false;
        // Each listed resource is stamped once, when first written; a table then also gets its
        // known database. The owner's links are now exactly the listed resources.
        std::vector<std::pair<const VqResource*, int>> unanalysed;
        std::vector<int> stamps;
        if (list) {
            list->reset();
            for (size_t i = 0; list->next() && i < rows.size(); ++i) {
                const VqResource* element = list->getCurrent();
                if (rows[i].date != 0.0) continue;
                if (!rows[i].stamped) stamps.push_back(rows[i].id);
                if (element && element->getAnalysisDate().asDouble() == 0.0) unanalysed.emplace_back(element, rows[i].id);
            }
            list->reset();
        }
        linkDatabases(unanalysed);
        store_->stampUnanalysed(stamps, VqbDate::currentDate().asDouble());
        return true;
    });
}

// ---- queries

VqResourceList* RepositoryImpactAnalysisImpl::createResourceList() try {
    return new VqResourceListImpl();
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqResource* RepositoryImpactAnalysisImpl::findResource(const VqbString& type, const VqbString& identity) try {
    return find(type, identity).release();
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqResource* RepositoryImpactAnalysisImpl::findOrAddResource(const VqbString& name, const VqbString& type,
                                                            const VqbString& identity) try {
    return findOrAdd(name, type, identity).release();
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqResourceList* RepositoryImpactAnalysisImpl::getUsedByResources(const VqResource* resource) try {
    note(__LINE__, "Get used by resources.");
    int id = 0;
    if (!resource || !meta_ || !rowId(resource, id)) return new VqResourceListImpl();
    return readList(meta_->listResourcesUsedBy(id));
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqResourceList* RepositoryImpactAnalysisImpl::getDependentResources(const VqResource* owner) try {
    note(__LINE__, "Get dependent resources.");
    if (!owner) return new VqResourceListImpl();
    std::unique_ptr<VqResourceListImpl> list;
    int id = 0;
    if (meta_ && rowId(owner, id)) {
        inOneWrite(__LINE__, [&] { return stampAnalysisDate(owner, id); });
        list.reset(readList(meta_->listResourcesUsing(id)));
    } else {
        list.reset(new VqResourceListImpl());
    }
    if (auto expanded = resolveMacroResource(owner->getType(), owner->getIdentity())) list->append(std::move(expanded));
    return list.release();
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqResourceList* RepositoryImpactAnalysisImpl::getDependentResourcesByType(const VqResource* owner,
                                                                          const VqbString& type) try {
    note(__LINE__, "Get dependent resources by type.");
    int id = 0;
    if (!owner || !meta_ || !rowId(owner, id)) return new VqResourceListImpl();
    return readList(meta_->listResourcesOfTypeUsing(id, type));
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqResourceList* RepositoryImpactAnalysisImpl::getResourcesByType(const VqbString& type) try {
    note(__LINE__, "Get resources by type.");
    if (!meta_) return new VqResourceListImpl();
    return readList(meta_->listResourcesOfType(type));
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqResourceList* RepositoryImpactAnalysisImpl::getAllResources() try {
    std::unique_ptr<VqResourceListImpl> list(new VqResourceListImpl());
    if (!meta_) return list.release();
    ReposHeld<ReposDataAccessCursor> rows(meta_->listResources());
    if (!rows) return list.release();
    while (rows->next() == 1) {
        auto resource = readResource(rows.get());
        VqbString expanded;
        if (holdsMacro(resource->getName()) && expandMacros(resource->getName(), expanded))
            resource->setName(expanded);
        if (resource->containsMacro() && expandMacros(resource->getIdentity(), expanded))
            resource->setIdentity(expanded);
        list->append(std::move(resource));
    }
    return list.release();
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqStringList* RepositoryImpactAnalysisImpl::getResourceTypes() try {
    note(__LINE__, "Get resource types.");
    std::unique_ptr<VqStringListImpl> types(new VqStringListImpl(1));
    if (!meta_) return types.release();
    ReposHeld<ReposDataAccessCursor> rows(meta_->listResourceTypes());
    if (!rows) {
        failMeta(__LINE__);
        return types.release();
    }
    while (rows->next() == 1) {
        if (!types->addRow()) throw std::bad_alloc();
        types->setLast(0, rows->getString(0));
    }
    return types.release();
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqResource* RepositoryImpactAnalysisImpl::getResourceForUri(const VqbString& base, const VqbString& type,
                                                            const VqbString& name, const VqbString& idText,
                                                            const VqbString& path) try {
    ReposHeld<VqResourceManager> manager(createVqResourceManager());
    VqbString identity;
    if (!manager || !manager->getObjectIdentity(base, type, idText, path, identity) || identity.isEmpty())
        return nullptr;
    if (auto found = find(type, identity)) return found.release();
    return findOrAdd(name, type, identity).release();
} catch (...) {
    return caught(__LINE__, nullptr);
}

VqResource* RepositoryImpactAnalysisImpl::getDataResource(const VqDataDescription* description) try {
    note(__LINE__, "Get data resource.");
    if (!repository_ || !description) return nullptr;
    ReposHeld<VqResourceManager> manager(createVqResourceManager());
    if (!manager) return nullptr;
    const VqbString connection = description->getConnection(), dataSourceType = description->getDataSourceType(),
                    table = description->getTable();
    VqbString identity;
    VqbString type(table.isEmpty() ? "Database" : "Table");
    bool formed = table.isEmpty() ? manager->getDatabaseIdentity(connection, dataSourceType, identity)
                                  : manager->getTableIdentity(connection, dataSourceType, description->getCatalog(),
                                                              description->getSchema(), table, identity);
    if (!formed) return nullptr;
    if (auto found = find(type, identity)) return found.release();
    return findOrAdd(table, type, identity).release();
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- macros

bool RepositoryImpactAnalysisImpl::expandMacros(const VqbString& text, VqbString& expanded) {
    std::string s = text.str();
    VqbConfigOptions* options = vqbGetConfigOptions("");
    int steps = 0;
    for (;;) {
        size_t first = s.find("%%");
        size_t second = first == std::string::npos ? std::string::npos : s.find("%%", first + 2);
        if (second == std::string::npos) break;
        // An option whose value names itself would repeat without end.
        if (steps == kMacroSteps) return false;
        VqbString value;
        if (!options || !options->get(VqbString(s.substr(first + 2, second - first - 2)), value) || value.isEmpty())
            return false;
        if (s.size() - (second + 2 - first) + value.cStrSize() > REPOS_MACRO_MAX_TEXT) return false;
        s.replace(first, second + 2 - first, value.str());
        ++steps;
    }
    if (steps == 0) return false;
    expanded = VqbString(std::move(s));
    return true;
}

std::unique_ptr<VqResourceImpl> RepositoryImpactAnalysisImpl::resolveMacroResource(const VqbString& type,
                                                                                  const VqbString& identity) {
    note(__LINE__, "Get macro resolved resource.");
    VqbString expanded;
    if (identity.isEmpty() || !expandMacros(identity, expanded) || expanded.isEmpty()) return nullptr;
    if (auto found = find(type, expanded)) return found;
    VqbString name("RESOLVED MACRO RESOURCE");
    ReposHeld<VqResourceManager> manager(createVqResourceManager());
    if (manager) {
        VqbString a, b, c, d, e;
        if (type.equals("Database", false)) {
            if (manager->parseDatabaseIdentity(expanded, a, b)) name = a;
        } else if (type.equals("Table", false)) {
            if (manager->parseTableIdentity(expanded, a, b, c, d, e)) name = e;
        } else if (manager->parseFileIdentity(expanded, a, b)) {
            name = b;
        } else {
            name = getComponentsFromFilesystemPath(expanded, a, b, c) ? c : expanded;
        }
    }
    return findOrAdd(name, type, expanded);
}

// ---- changes

bool RepositoryImpactAnalysisImpl::setResourceAnalysisDate(const VqResource* resource, const VqbDate& date) try {
    int id = 0;
    if (!resource || !meta_ || !rowId(resource, id)) return false;
    return meta_->setResourceAnalysisDate(id, date.asDouble()) || failMeta(__LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpactAnalysisImpl::removeDependentResources(const VqResource* resource) try {
    note(__LINE__, "Removing dependent resources.");
    int id = 0;
    bool found = false;
    if (!resource || !meta_ || !lookupId(resource->getType(), resource->getIdentity(), id, found) || !found)
        return false;
    return inOneWrite(__LINE__, [&] {
        return (meta_->setResourceAnalysisDate(id, 0.0) && meta_->deleteDependenciesOnResource(id)) ||
               failMeta(__LINE__);
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpactAnalysisImpl::removeUnusedResources() try {
    note(__LINE__, "Removing unused resources.");
    if (!repository_) return true;
    return inOneWrite(__LINE__, [&] { return store_->deleteUnused(); });
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpactAnalysisImpl::removeAllResources() try {
    note(__LINE__, "Removing all resources.");
    if (!repository_) return true;
    return (store_ && store_->deleteAll()) || failMeta(__LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpactAnalysisImpl::renameResource(const VqbString& type, const VqbString& identity,
                                                  const VqbString& newName) try {
    reposLog(logger_, 1, kSource, __LINE__, "Renaming %s resource to %s", type.asCstr(), newName.asCstr());
    if (!repository_ || !store_) return false;
    int id = 0;
    bool found = false;
    if (!lookupId(type, identity, id, found)) return false;
    if (!found) return fail(__LINE__, VqbString("The impact resource could not be found to rename."));
    return store_->rename(id, newName) || failMeta(__LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpactAnalysisImpl::removeResourceIfNotUsed(const VqResource* resource) try {
    note(__LINE__, "Removing resource if not used.");
    if (!repository_ || !resource) return true;
    int id = 0;
    bool found = false;
    if (!lookupId(resource->getType(), resource->getIdentity(), id, found)) return false;
    if (!found) return true;
    bool removed = inOneWrite(__LINE__, [&] {
        switch (store_->inUse(id)) {
            case ImpactStoreAccess::Lookup::Found:
                return fail(__LINE__, VqbString("The resource could not be deleted.  It is still a dependency."));
            case ImpactStoreAccess::Lookup::Missing:
                return store_->deleteResource(id) || failMeta(__LINE__);
            default:
                return failMeta(__LINE__);
        }
    });
    return removed && removeUnusedResources();
} catch (...) {
    return caught(__LINE__, false);
}

void RepositoryImpactAnalysisImpl::setResourceResolver(ResourceResolver* resolver) {
    if (resolver) resolver_ = resolver;
}
