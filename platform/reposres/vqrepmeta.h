// The metadata serialisation context: trees of typed property-set objects with named child lists,
// turned into text and back, and the listener that receives the context's action reports.
//
// The context owns every object it makes or parses; they live until the next begin(), parse() or
// release(). Property names compare ignoring case; values are any text, null included.
#ifndef VQ_REPMETA_H
#define VQ_REPMETA_H

#include "vqbstring.h"

class RepositoryMetadataObject;

// A cursor over one child list: the first next() moves to the first child.
class RepositoryMetadataObjectList {
protected:
    virtual ~RepositoryMetadataObjectList() = default;

public:
    virtual bool next() = 0;
    virtual RepositoryMetadataObject* getCurrent() = 0;
    virtual void release() = 0;
};

class RepositoryMetadataObject {
protected:
    virtual ~RepositoryMetadataObject() = default;

public:
    // Replaces a property of the same name (any case) in its place, else appends it.
    virtual void setProperty(const VqbString& name, const VqbString& text) = 0;
    // False when the object has no such property; a null property gives a null text.
    virtual bool getProperty(const VqbString& name, VqbString& text) = 0;
    // Decimal integers within 32 bits; anything else is absent (false, value untouched).
    virtual bool getIntProperty(const VqbString& name, int& value) = 0;
    virtual bool getDoubleProperty(const VqbString& name, double& value) = 0;
    // "1"/"0", "true"/"false", "Y"/"N" in any case; anything else is absent.
    virtual bool getBoolProperty(const VqbString& name, bool& flag) = 0;
    // The list holds the child from then on; a list is made on its first child.
    virtual bool addChild(const VqbString& listName, RepositoryMetadataObject* child) = 0;
    // Null when the object has no list of that name.
    virtual RepositoryMetadataObjectList* getChildren(const VqbString& listName) = 0;
    virtual VqbString getUuid() = 0;
    virtual void setUuid(const VqbString& uuid) = 0;
    virtual VqbString getTypeName() = 0;
};

// Receives the context's action reports (levels 0 error to 4 trace).
class RepositoryActionEvent {
public:
    virtual ~RepositoryActionEvent() = default;
    virtual bool onActionEvent(int level, const VqbString& source, const VqbString& message) = 0;
    virtual void release() = 0;
};

class RepositoryMetadataSerializationContext {
protected:
    virtual ~RepositoryMetadataSerializationContext() = default;

public:
    virtual RepositoryMetadataObject* createObject(const VqbString& typeName, const VqbString& uuid) = 0;
    // Exporting: a new object registered under (type, key column, key value); it is written even
    // when no list holds it. Importing: the first parsed object, in document order, registered
    // under the same key; null when there is none.
    virtual RepositoryMetadataObject* createObjectByKey(const VqbString& typeName, const VqbString& keyColumn,
                                                       const VqbString& keyValue) = 0;
    virtual void release() = 0;
    // flag: indented output.
    virtual bool serialize(RepositoryMetadataObject* object, VqbString& output, VqbString& error, bool flag) = 0;
    // The document's first object, or null with error set (and no objects left).
    virtual RepositoryMetadataObject* parse(const VqbString& text, VqbString& error) = 0;
    virtual bool setStringProperty(RepositoryMetadataObject* object, const VqbString& name,
                                   const VqbString& text) = 0;
    virtual bool setIntProperty(RepositoryMetadataObject* object, const VqbString& name, int value) = 0;
    virtual bool getStringProperty(RepositoryMetadataObject* object, const VqbString& name, VqbString& text) = 0;
    virtual bool getIntProperty(RepositoryMetadataObject* object, const VqbString& name, int& value) = 0;
    // Forgets the document, the keys, the object path and the listener.
    virtual void begin() = 0;
    virtual void setObjectPath(const VqbString& path, const VqbString& typeName) = 0;
    // Not owned; null detaches the listener.
    virtual void setActionListener(RepositoryActionEvent* listener) = 0;
    virtual void reportAction(int level, const VqbString& text) = 0;
    // Whether a listener takes reported actions; without one a caller may skip making their texts.
    virtual bool isReporting() const = 0;
};

// Null when the context cannot be made.
RepositoryMetadataSerializationContext* createRepositoryMetadataSerializationContext();

// Whether the name holds a character that a repository object name cannot carry: '/', '\' or a
// control character.
bool isInvalidCharInName(const VqbString& name);
// The name with each such character replaced by '_'; false when there was none to replace.
bool getNormalizedNameValue(const VqbString& name, VqbString& normalized);

#endif
