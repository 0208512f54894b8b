// Impact analysis: the resource values and lists it hands out (repimpanlysimpl_values.cpp), the
// store of resources and links in IMPRCS and IMPDEP (repimpanlysimpl.cpp), and the analysis of
// repository objects with the rule-event documents it reads (repimpanlysimpl_analyze.cpp).
#ifndef REPIMPANLYSIMPL_H
#define REPIMPANLYSIMPL_H

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base_rdaimpl.h"
#include "repos_held.h"
#include "repos_impact.h"
#include "repos_metadata_rda.h"
#include "repos_repository.h"
#include "vqlog.h"

// The cursor of the lists: before the first element until the first step.
struct ReposListCursor {
    bool step(size_t size);
    bool on(size_t size) const { return started && !past && at < size; }
    size_t at = 0;
    bool started = false;
    bool past = false;
};

class VqResourcePropertyListImpl final : public VqResourcePropertyList {
public:
    bool next() override;
    VqbString getName() const override;
    VqbString getValue() const override;
    void release() override { delete this; }
    bool addNew() override;
    void setCurrent(const VqbString& name, const VqbString& value) override;

private:
    std::vector<std::pair<VqbString, VqbString>> pairs_;
    ReposListCursor cursor_;
};

class VqResourceImpl final : public VqResource {
public:
    void release() override { delete this; }
    VqbString getId() const override { return id_; }
    VqbString getName() const override { return name_; }
    VqbString getType() const override { return type_; }
    VqbString getIdentity() const override { return identity_; }
    int64_t getNumber() const override { return number_; }
    VqResourcePropertyList* getProperties() const override;
    VqbDate getAnalysisDate() const override { return analysisDate_; }
    VqbString getLocation() const override { return location_; }
    bool isResolved() const override { return resolved_; }
    bool containsMacro() const override { return containsMacro_; }

    void setId(VqbString id) { id_ = std::move(id); }
    void setName(VqbString name) { name_ = std::move(name); }
    void setIdentity(VqbString identity) { identity_ = std::move(identity); }
    void setType(VqbString type) { type_ = std::move(type); }
    void copyFrom(const VqResource& other);

    VqbDate analysisDate_{0.0};
    VqbString location_{""};
    bool resolved_ = true;
    bool containsMacro_ = false;

private:
    VqbString type_{""}, identity_{""}, name_{""}, id_{""};
    int64_t number_ = 0;
};

class VqResourceListImpl final : public VqResourceList {
public:
    bool next() override;
    VqResource* getCurrent() override;
    void release() override { delete this; }
    bool addNew() override;
    void setCurrentFrom(int reserved, const VqResource* resource) override;
    bool contains(const VqResource* resource) override;
    bool reset() override;

    void append(std::unique_ptr<VqResourceImpl> resource);
    size_t size() const { return elements_.size(); }

    // The identity as elements are found by: ASCII letters lowered.
    static std::string keyOf(const VqbString& identity);

private:
    void index(size_t at);
    void unindex(size_t at);
    // Whether the key map serves contains(), made when there is none.
    bool indexReady();

    std::vector<std::unique_ptr<VqResourceImpl>> elements_;
    // Each identity key to its first element.
    std::unordered_map<std::string, size_t> first_;
    bool unkeyed_ = true;
    ReposListCursor cursor_;
};

class VqStringListImpl final : public VqStringList {
public:
    explicit VqStringListImpl(int columns) : columns_(columns < 0 ? 0 : columns) {}
    bool next() override;
    int getColumnCount() const override { return columns_; }
    VqbString getCurrent() const override { return getAt(0); }
    VqbString getAt(int index) const override;
    void release() override { delete this; }
    int getCount() const override { return static_cast<int>(rows_.size()); }

    // A row of empty texts at the end, for the producer to fill.
    bool addRow();
    void setLast(int index, const VqbString& text);

private:
    int columns_;
    std::vector<std::vector<VqbString>> rows_;
    ReposListCursor cursor_;
};

// A stored resource as the link rewrite needs it.
struct ImpactRow {
    int id;
    double date;  // 0: never analysed (before this write)
    VqbString name;
    bool stamped = false;  // added in this write with its analysis date
};

// A rule as lineage names it.
struct ImpactRule {
    VqbString uuid, id, description;
};

// The statements of the store that the metadata data access does not offer, on the repository's
// connection. Statements that serve many keys take them in IN lists of a chunk each.
class ImpactStoreAccess final : public BaseRDAImpl {
public:
    explicit ImpactStoreAccess(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

    // A check and the writes that depend on it as one exclusive write of the store.
    template <class F>
    bool oneWrite(int line, F&& checkAndWrite) {
        return exclusively("repimpanlysimpl", line, std::forward<F>(checkAndWrite));
    }
    // The stored rows of the identities, by identity and type.
    using Found = std::map<std::pair<std::string, std::string>, ImpactRow>;
    bool findRows(const std::vector<VqbString>& identities, Found& rows);
    // A resource as it is named, before it has a row; a new row is written with the date (0: none).
    struct NewResource {
        VqbString name, type, identity;
        double date = 0.0;
    };
    // Rows for resources the caller found missing in this write, with ids from one reservation.
    bool addRows(const std::vector<NewResource>& resources, std::vector<int>& ids);
    // A link of an owner to a resource it uses.
    struct Link {
        int resource, owner;
    };
    bool addLinks(const std::vector<Link>& links);
    // The links whose owner is one of the owners.
    bool linksOfOwners(const std::vector<int>& owners, std::vector<Link>& links);
    // Stamps the resources among ids that were never analysed.
    bool stampUnanalysed(const std::vector<int>& ids, double date);
    // The ids of the resources the owner uses.
    bool linksOf(int owner, std::vector<int>& ids);
    // Resources that neither use nor are used by another.
    bool deleteUnused();
    bool deleteAll();
    bool rename(int id, const VqbString& name);
    // Found when the resource uses or is used by another.
    Lookup inUse(int id);
    // Found when the resource's row is stored.
    Lookup exists(int id);
    bool deleteResource(int id);
    // The rules of the ids, by id.
    bool ruleRows(const std::vector<int>& ruleIds, std::map<int, std::vector<ImpactRule>>& rules);
    // The rule-event documents of the task's rules, by rule id, in the order read.
    bool ruleEvents(int taskId, const std::vector<int>& ruleIds, std::map<int, std::vector<VqbString>>& documents);
    using BaseRDAImpl::Lookup;
    using BaseRDAImpl::columnIndex;

private:
    ~ImpactStoreAccess() override = default;
};

class CommonRepositoryDataAccess;
class ProfileRepositoryDataAccess;
class VqResourceManager;
class VqDom;

class RepositoryImpactAnalysisImpl final : public RepositoryImpactAnalysis {
public:
    // The repository is not owned and must outlive the object; connection is its own connection.
    RepositoryImpactAnalysisImpl(Repository* repository, ReposDataAccess* connection);

    // VqImpactAnalysis
    void release() override { delete this; }
    VqResourceList* getUsedByResources(const VqResource* resource) override;
    VqResourceList* getDependentResources(const VqResource* owner) override;
    VqResourceList* getDependentResourcesByType(const VqResource* owner, const VqbString& type) override;
    VqResourceList* getResourcesByType(const VqbString& type) override;
    bool reservedOperation6() override { return false; }
    bool removeUnusedResources() override;
    bool removeAllResources() override;
    VqResource* findResource(const VqbString& type, const VqbString& identity) override;
    bool addResourceDependencies(const VqResource* owner, VqResourceList* list) override;
    VqResourceList* createResourceList() override;
    VqResource* findOrAddResource(const VqbString& name, const VqbString& type, const VqbString& identity) override;
    bool removeResource(const VqResource* resource) override { return removeResourceIfNotUsed(resource); }
    bool setResourceAnalysisDate(const VqResource* resource, const VqbDate& date) override;
    VqResourceList* getAllResources() override;
    VqStringList* getResourceTypes() override;
    bool reservedOperation17() override { return false; }
    void* reservedOperation18() override { return nullptr; }

    // RepositoryImpactAnalysis
    VqbString getErrorMessage() override;
    VqResource* getResourceForUri(const VqbString& base, const VqbString& type, const VqbString& name,
                                  const VqbString& idText, const VqbString& path) override;
    bool analyzeObject(const VqResource* owner, const VqbString& base, const VqbString& type,
                       const VqbString& idText, const VqbString& uuid) override;
    void setResourceResolver(ResourceResolver* resolver) override;
    bool removeDependentResources(const VqResource* resource) override;
    VqResource* getDataResource(const VqDataDescription* description) override;
    bool renameResource(const VqbString& type, const VqbString& identity, const VqbString& newName) override;
    bool removeResourceIfNotUsed(const VqResource* resource) override;

    // Adds the files, tables and databases a rule-event document names to the list; false (adding
    // nothing) for a document that does not parse.
    bool addResourcesFromEvent(VqResourceList* list, const VqbString& document);

    // One "%%NAME%%" replacement after another from the configuration options, at most
    // kMacroSteps of them; false when the text holds no macro, names an option without a value,
    // or outgrows the limits.
    // The data-source kind letter of a profile table (N, D, S, Y or C; empty when unknown): the
    // stored text when it is one of the letters, else derived from the file name and connection.
    static VqbString profileSourceKind(const VqbString& stored, const VqbString& fileName,
                                       const VqbString& connection);

    static bool expandMacros(const VqbString& text, VqbString& expanded);
    static constexpr int kMacroSteps = 32;

private:
    ~RepositoryImpactAnalysisImpl() override;

    // The work runs as one exclusive write; a failure it did not report takes the general text.
    template <class F>
    bool inOneWrite(int line, F&& work);
    // Whether a row of that type and identity exists, and its id.
    bool lookupId(const VqbString& type, const VqbString& identity, int& id, bool& found);
    // The owner's links become the wanted resources (replace) or gain them.
    bool rewriteLinks(int owner, const std::vector<int>& wanted, bool replace);
    std::unique_ptr<VqResourceImpl> find(const VqbString& type, const VqbString& identity);
    std::unique_ptr<VqResourceImpl> findOrAdd(const VqbString& name, const VqbString& type, const VqbString& identity);
    bool fail(int line, const VqbString& text);
    // A failure a data access object or the connection logged: its text kept, not logged again.
    bool handOn(const VqbString& text);
    bool failMeta(int line);
    void note(int line, const char* text);
    template <class T>
    T caught(int line, T failure) noexcept {
        recordCaught(line);
        return failure;
    }
    void recordCaught(int line) noexcept;

    // The resource of the cursor's current row, through the resolver.
    std::unique_ptr<VqResourceImpl> readResource(ReposDataAccessCursor* cursor);
    // The resource of a stored row's values, through the resolver.
    std::unique_ptr<VqResourceImpl> resourceOf(const VqbString& id, const VqbString& name, const VqbString& identity,
                                               const VqbString& type, double date);
    // Every row of the cursor (taken over) as a list; null cursor: an empty list, and the error.
    VqResourceListImpl* readList(ReposDataAccessCursor* cursor, bool reportNull = true);
    void resolve(VqResourceImpl& resource);
    // The row id of a resource: its id text, else its row found by type and identity.
    bool rowId(const VqResource* resource, int& id);
    // The id of the resource's row, added when missing.
    bool findOrAddId(const VqbString& name, const VqbString& type, const VqbString& identity, int& id);
    // rows receives the stored row of each element in list order; stored holds rows already read
    // in this write and gains those read or added here.
    bool updateResourceDependencies(int ownerId, VqResourceList* list, bool replace, std::vector<ImpactRow>* rows,
                                    ImpactStoreAccess::Found& stored);
    // addResourceDependencies with the rows already read in the caller's write.
    bool dependencies(const VqResource* owner, VqResourceList* list, ImpactStoreAccess::Found& stored);
    // A new row for the resource (or the one another writer just added).
    bool addId(const VqbString& name, const VqbString& type, const VqbString& identity, int& id);
    // Each table (with its row id) gains a link to its database when that is known.
    bool linkDatabases(const std::vector<std::pair<const VqResource*, int>>& tables);
    bool stampAnalysisDate(const VqResource* resource, int id);
    std::unique_ptr<VqResourceImpl> resolveMacroResource(const VqbString& type, const VqbString& identity);
    // Meets a resource: it gets its row, and it is appended unless the list holds its identity.
    // While resources are collected this is only noted; addMet does it for all of them at once.
    bool addToList(VqResourceList* list, const VqbString& name, const VqbString& type, const VqbString& identity);
    using Met = ImpactStoreAccess::NewResource;
    // Every resource gets its row in stored: those stored rows not yet there are read, and the
    // missing ones added in order, each with the resource's date.
    bool rowsFor(const std::vector<Met>& resources, ImpactStoreAccess::Found& stored);
    // Runs fill with the resources it meets noted in met instead of added one by one.
    template <class F>
    bool collecting(std::vector<Met>& met, F&& fill);
    // The rows of the resources met, in the order met (each new one created, in that order),
    // then each resource, as read from its row, appended unless the list holds its identity. With
    // a date, the list is one of ours about to become the owner's links: a new row that it will
    // hold is written analysed on that date.
    bool addMet(VqResourceList* list, const std::vector<Met>& met, ImpactStoreAccess::Found& stored,
                double date = 0.0);
    // The resources a parsed rule-event document names.
    bool addEventResources(VqResourceList* list, const VqDom& dom);
    bool analyzeRule(VqResourceList* list, const VqbString& base, int ruleId);
    bool analyzeExploration(VqResourceList* list, int projectId);
    bool analyzeTask(VqResourceList* list, const VqbString& base, int taskId);
    bool analyzeProfileJob(const VqResource* owner, VqResourceList* list, const VqbString& base, int jobId);
    bool addRules(VqResourceList* list, const VqbString& base, const std::vector<int>& ruleIds);
    bool addEvents(VqResourceList* list, int taskId, const std::vector<int>& ruleIds);
    bool addProfileTables(VqResourceList* list, ProfileRepositoryDataAccess* profile, const VqbString& base,
                          int jobId);
    // A custom metric used by a rule or a profile table becomes a resource of the analysed object.
    bool addCustomMetric(VqResourceList* list, CommonRepositoryDataAccess* common, VqResourceManager* manager,
                         const VqbString& base, int metricId);
    // The database of a connection (when there is one) and the table read through it.
    bool addDatabaseTable(VqResourceList* list, VqResourceManager* manager, const VqbString& connection,
                          const VqbString& catalog, const VqbString& schema, const VqbString& table);
    // The error text of the repository's connection.
    bool failConnection(int line);

    Repository* repository_;
    VqLogger* logger_;
    VqbString lastError_{""};
    ResourceResolver* resolver_ = nullptr;
    ReposHeld<MetadataRepositoryDataAccess> meta_;
    ReposHeld<ImpactStoreAccess> store_;
    // The resources met so far while they are collected; null otherwise.
    std::vector<Met>* met_ = nullptr;
};

template <class F>
bool RepositoryImpactAnalysisImpl::inOneWrite(int line, F&& work) {
    if (!store_ || !meta_) return failMeta(line);
    bool reported = false;
    bool done = store_->oneWrite(line, [&] {
        if (work()) return true;
        reported = true;
        return false;
    });
    if (!done && !reported) return failMeta(line);
    return done;
}

#endif
