// The resource interfaces of impact analysis: resources of the lineage graph, the cursor-style lists
// that carry them, and the host objects impact analysis asks about resources.
//
// Lists start before their first element: next() steps onto it. Objects handed out are owned by
// the receiver and ended with release().
#ifndef VQ_RESOURCE_H
#define VQ_RESOURCE_H

#include <cstdint>

#include "vqbdatavar.h"
#include "vqbstring.h"

class VqResourcePropertyList {
public:
    virtual ~VqResourcePropertyList() = default;
    virtual bool next() = 0;
    // Empty texts when no pair is current.
    virtual VqbString getName() const = 0;
    virtual VqbString getValue() const = 0;
    virtual void release() = 0;
    // Appends an empty pair; the cursor stays.
    virtual bool addNew() = 0;
    // Writes the last pair; nothing on an empty list.
    virtual void setCurrent(const VqbString& name, const VqbString& value) = 0;
};

// One resource: a type ("Table", "File", "Rule", ...) and an identity that is unique within it.
class VqResource {
public:
    virtual ~VqResource() = default;
    virtual void release() = 0;
    virtual VqbString getId() const = 0;
    virtual VqbString getName() const = 0;
    virtual VqbString getType() const = 0;
    virtual VqbString getIdentity() const = 0;
    virtual int64_t getNumber() const = 0;
    // A new empty list on every call, released by the caller.
    virtual VqResourcePropertyList* getProperties() const = 0;
    // When its dependencies were last written; 0 for never.
    virtual VqbDate getAnalysisDate() const = 0;
    virtual VqbString getLocation() const = 0;
    virtual bool isResolved() const = 0;
    // The stored identity holds a "%%NAME%%" configuration macro.
    virtual bool containsMacro() const = 0;
};

class VqResourceList {
public:
    virtual bool next() = 0;
    // Owned by the list; null when no element is current.
    virtual VqResource* getCurrent() = 0;
    virtual void release() = 0;
    // Appends an empty resource; the cursor stays.
    virtual bool addNew() = 0;
    // Copies the resource into the last element; reserved is not used.
    virtual void setCurrentFrom(int reserved, const VqResource* resource) = 0;
    // Some element has the resource's identity, ignoring case (the type is not compared).
    virtual bool contains(const VqResource* resource) = 0;
    virtual bool reset() = 0;

protected:
    ~VqResourceList() = default;
};

class VqStringList {
public:
    virtual ~VqStringList() = default;
    virtual bool next() = 0;
    virtual int getColumnCount() const = 0;
    virtual VqbString getCurrent() const = 0;
    // Empty when no row is current or the index is outside the columns.
    virtual VqbString getAt(int index) const = 0;
    virtual void release() = 0;
    virtual int getCount() const = 0;
};

// The host's view of resources: where they are and what a program path or reference stands for.
class ResourceResolver {
public:
    virtual ~ResourceResolver() = default;
    // A new resource for a program path or repository reference (released by the caller), or null.
    virtual VqResource* getResource(const VqbString& text) = 0;
    // Whether the resource is reachable; newName and location may be filled either way.
    virtual bool resolve(const VqbString& name, const VqbString& identity, const VqbString& type, VqbString& newName,
                         VqbString& location) = 0;
};

// A data source of the host: an empty table names the database alone.
class VqDataDescription {
public:
    virtual ~VqDataDescription() = default;
    virtual VqbString getConnection() const = 0;
    virtual VqbString getDataSourceType() const = 0;
    virtual VqbString getCatalog() const = 0;
    virtual VqbString getSchema() const = 0;
    virtual VqbString getTable() const = 0;
};

// The lineage graph: resources and the links of their owners to what they use.
class VqImpactAnalysis {
public:
    virtual ~VqImpactAnalysis() = default;
    virtual void release() = 0;
    // The owners that use the resource.
    virtual VqResourceList* getUsedByResources(const VqResource* resource) = 0;
    // What the owner uses, and its macro-expanded counterpart when its identity holds one.
    virtual VqResourceList* getDependentResources(const VqResource* owner) = 0;
    virtual VqResourceList* getDependentResourcesByType(const VqResource* owner, const VqbString& type) = 0;
    virtual VqResourceList* getResourcesByType(const VqbString& type) = 0;
    virtual bool reservedOperation6() = 0;
    // Resources that neither use nor are used by any other.
    virtual bool removeUnusedResources() = 0;
    virtual bool removeAllResources() = 0;
    virtual VqResource* findResource(const VqbString& type, const VqbString& identity) = 0;
    // The owner's links become exactly the listed resources (created when new).
    virtual bool addResourceDependencies(const VqResource* owner, VqResourceList* list) = 0;
    virtual VqResourceList* createResourceList() = 0;
    virtual VqResource* findOrAddResource(const VqbString& name, const VqbString& type, const VqbString& identity) = 0;
    virtual bool removeResource(const VqResource* resource) = 0;
    virtual bool setResourceAnalysisDate(const VqResource* resource, const VqbDate& date) = 0;
    virtual VqResourceList* getAllResources() = 0;
    // One column: the distinct resource types.
    virtual VqStringList* getResourceTypes() = 0;
    virtual bool reservedOperation17() = 0;
    virtual void* reservedOperation18() = 0;
};

// The last part of a path split at '/' and '\\' (empty for a path ending in a separator), the text
// before it (directory, with its final separator) and that part without its extension. False for an
// empty path.
bool getComponentsFromFilesystemPath(const VqbString& path, VqbString& directory, VqbString& baseName,
                                     VqbString& lastPart);

// The canonical text of a repository URI; false (reference emptied) when the text is no such URI.
bool generateURIReferenceFromFilename(const VqbString& fileName, VqbString& reference);

#endif
