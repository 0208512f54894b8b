// Impact analysis of a repository: the lineage graph of the resources (databases, tables, files,
// repository objects) that repository objects use. Made by Repository::createRepositoryImpactAnalysis
// and ended with release() before the repository. Failures give false or null; getErrorMessage then
// gives the reason.
#ifndef REPOS_IMPACT_H
#define REPOS_IMPACT_H

#include "vqresource.h"

class RepositoryImpactAnalysis : public VqImpactAnalysis {
public:
    virtual VqbString getErrorMessage() = 0;
    // The resource of a repository object, created when new; path or uuid names the object only when
    // idText is empty.
    virtual VqResource* getResourceForUri(const VqbString& base, const VqbString& type, const VqbString& name,
                                          const VqbString& idText, const VqbString& path) = 0;
    // Rewrites the owner's links to what the object of that type and id uses now. base is the
    // first part of the identities of the repository objects it records.
    virtual bool analyzeObject(const VqResource* owner, const VqbString& base, const VqbString& type,
                               const VqbString& idText, const VqbString& uuid) = 0;
    // Kept until release; null keeps the present one.
    virtual void setResourceResolver(ResourceResolver* resolver) = 0;
    // Removes every link of the owner and marks it as never analysed.
    virtual bool removeDependentResources(const VqResource* resource) = 0;
    // The table, or the database when the description names no table.
    virtual VqResource* getDataResource(const VqDataDescription* description) = 0;
    virtual bool renameResource(const VqbString& type, const VqbString& identity, const VqbString& newName) = 0;
    // Refused while the resource uses or is used by another; then removes what is left unused.
    virtual bool removeResourceIfNotUsed(const VqResource* resource) = 0;
};

#endif
