// Monitor tasks: the task manager and the task content (rule members, rule events, and the rules,
// dimensions and thresholds they name, carried along so another repository can find or make them).
#ifndef REPMETATASKIMPL_H
#define REPMETATASKIMPL_H

#include <map>
#include <set>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "repmetamonitorimpl.h"

class TaskMetaContentImpl : public MonitorMetaContentImpl {
public:
    using MonitorMetaContentImpl::MonitorMetaContentImpl;

    bool exportContent(RepositoryMetadataObject* root, VqbString& error);
    // Replaces the task's members and rule events by the object's, finding or making what they name.
    bool importContent(VqbString& error);

private:
    bool exportMembers(RepositoryMetadataObject* root, VqbString& error);
    bool exportEvents(RepositoryMetadataObject* root, VqbString& error);
    // The keyed, unlisted element of a rule, dimension or threshold, once per key.
    void exportDependent(const char* type, const char* key, const VqbString& value, VqbString& error);
    RepositoryMetadataObject* exportRule(const VqbString& ruleId, VqbString& error);

    bool importRules(VqbString& error);
    bool importMembers(VqbString& error);
    bool importEvents(VqbString& error);
    // The id in this repository of the dimension or threshold the element stands for; unchanged
    // when the document has no such element.
    bool importDependent(ReposMonitorKind kind, RepositoryMetadataObject* element, int& id, VqbString& error);
    bool mapToDashboards(int dimensionId, int thresholdId, VqbString& error);

    std::set<std::pair<std::string, std::string>> exported_;
    // The task's rules as stored so far: dimension, threshold, weight.
    std::map<int, std::tuple<int, int, double>> rules_;
    std::set<std::pair<int, int>> mapped_;
    std::vector<unsigned> groups_;
    bool groupsRead_ = false;
};

class TaskManagerImpl : public RepositoryObjectManagerImpl {
public:
    explicit TaskManagerImpl(RepositoryImportExportManagerImpl* owner) : RepositoryObjectManagerImpl(owner) {}

    bool deleteObject(unsigned id, const VqbString& uuid, VqbString& error) override;
    bool exportObject(unsigned id, const VqbString& uuid, VqbString& output, VqbString& error) override;
    bool importObject(RepositoryMetadataObject* object, unsigned folderId, const VqbString& name,
                      VqbString& error) override;
    bool updateObject(RepositoryMetadataObject* object, unsigned id, const VqbString& existingUuid,
                      unsigned folderId, const VqbString& existingName, VqbString& error) override;
};

#endif
