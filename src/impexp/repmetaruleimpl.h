// Rules: the rule manager, the rule content (fields, custom metrics, field mappings) that task and
// profile-job exports and imports use for their rules, and the import of a rule they depend on.
#ifndef REPMETARULEIMPL_H
#define REPMETARULEIMPL_H

#include "repmetacommonimpl.h"

class RuleManagerImpl : public CommonObjectManagerImpl {
public:
    explicit RuleManagerImpl(RepositoryImportExportManagerImpl* owner);

protected:
    bool remove(RepositoryMetaContentImpl& content, unsigned id) override;
    bool exportContent(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object,
                       VqbString& error) override;
    ReposDataAccessCursor* find(RepositoryMetaContentImpl& content, const VqbString& name,
                                const VqbString& uuid) override;
    unsigned insert(RepositoryMetaContentImpl& content, const VqbString& name) override;
    bool updateHeader(RepositoryMetaContentImpl& content, const VqbString& name, const VqbString& uuid) override;
    bool importContent(RepositoryMetaContentImpl& content, VqbString& error) override;
};

// The rule content.id names (and content.uuid, or the object's UUID, finds) into the object: its
// columns, then "Fields" and "CustomMetrics" with their fields and "CustomMetricFieldMappings".
bool reposExportRuleContent(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object, VqbString& error);
// Replaces the members of rule content.id by those of content.object.
bool reposImportRuleContent(RepositoryMetaContentImpl& content, VqbString& error);

// Whose import a dependent rule belongs to; they differ in texts and in what a found rule records.
enum class ReposRuleOwner { Task, ProfileJob };

// The rule a "Rule" element of a task or profile job names: the one this import already handled
// (its TARGETID), an existing one (by RU_UUID, then RU_DESC), or a new one made in folderId with
// the element's content. ruleId and ruleName receive the rule's.
bool reposImportDependentRule(RepositoryMetaContentImpl& content, RepositoryMetadataObject* element,
                              unsigned folderId, ReposRuleOwner owner, int& ruleId, VqbString& ruleName,
                              VqbString& error);

#endif
