// The import/export manager: owns the serialisation context and one object manager per type,
// chooses the manager by the object's type name and sets the context up around each operation.
#ifndef REPIMPEXPMGR_H
#define REPIMPEXPMGR_H

#include <cstring>
#include <map>
#include <memory>

#include "repos_impexp.h"
#include "repos_repository.h"
#include "vqlog.h"
#include "vqrepmeta.h"

class RepositoryImportExportManagerImpl;

// One object type's delete, export, import as new and update over an existing object.
class RepositoryObjectManagerImpl {
public:
    explicit RepositoryObjectManagerImpl(RepositoryImportExportManagerImpl* owner) : owner_(owner) {}
    virtual ~RepositoryObjectManagerImpl() = default;
    RepositoryObjectManagerImpl(const RepositoryObjectManagerImpl&) = delete;
    RepositoryObjectManagerImpl& operator=(const RepositoryObjectManagerImpl&) = delete;

    virtual bool deleteObject(unsigned id, const VqbString& uuid, VqbString& error) = 0;
    virtual bool exportObject(unsigned id, const VqbString& uuid, VqbString& output, VqbString& error) = 0;
    // name: when not empty, replaces the imported name.
    virtual bool importObject(RepositoryMetadataObject* object, unsigned folderId, const VqbString& name,
                              VqbString& error) = 0;
    virtual bool updateObject(RepositoryMetadataObject* object, unsigned id, const VqbString& existingUuid,
                              unsigned folderId, const VqbString& existingName, VqbString& error) = 0;

protected:
    RepositoryImportExportManagerImpl* owner_;
};

// The import log: one line per action, "(source) Level: message".
class RepositoryActionEventStringImpl : public RepositoryActionEvent {
public:
    ~RepositoryActionEventStringImpl() override = default;
    bool onActionEvent(int level, const VqbString& source, const VqbString& message) override;
    void release() override { delete this; }
    VqbString getText() const { return text_; }

private:
    VqbString text_{""};
};

class RepositoryImportExportManagerImpl : public RepositoryImportExportManager {
public:
    explicit RepositoryImportExportManagerImpl(Repository* repository);
    ~RepositoryImportExportManagerImpl() override;

    bool exportObject(unsigned id, const VqbString& typeName, const VqbString& uuid, VqbString& output,
                      VqbString& error, RepositoryActionEvent* listener) override;
    bool exportObjectByPath(const VqbString& path, const VqbString& typeName, VqbString& output,
                            VqbString& error) override;
    bool importObjectAtPath(const VqbString& path, const VqbString& serialized, VqbString& error) override;
    bool deleteObject(const VqbString& path, const VqbString& typeName, VqbString& error) override;
    void setSerializationFlag(bool flag) override { flag_ = flag; }
    bool importObject(const VqbString& serialized, unsigned folderId, VqbString& log) override;
    bool updateObjectOnImport(unsigned id, const VqbString& typeName, const VqbString& uuid,
                              const VqbString& serialized, unsigned folderId, VqbString& error,
                              RepositoryActionEvent* listener) override;
    void release() override { delete this; }

    // What the object managers reach through their owner.
    Repository* getRepository() const { return repository_; }
    RepositoryMetadataSerializationContext* getContext() const { return context_; }
    VqLogger* getLogger() const { return logger_; }
    bool serializeObject(RepositoryMetadataObject* object, VqbString& output, VqbString& error);
    // The object's repository path given to the context, or the "[UNKNOWN ...]" text when it has
    // none; empty without a folder manager.
    void setObjectPath(unsigned id, const VqbString& typeName, const VqbString& uuid);
    // Logged with the manager's source name.
    void log(int level, int line, const VqbString& text);

private:
    struct TypeOrder {
        // Exact byte order over at most 255 characters.
        bool operator()(const char* a, const char* b) const { return std::strncmp(a, b, 255) < 0; }
    };
    RepositoryObjectManagerImpl* managerOf(const VqbString& typeName);
    // level-5 log, error text and, when reported, an action of level 0; false.
    bool refuse(int line, VqbString& error, bool reported, const VqbString& text);
    // Runs an import or update whole in one exclusive transaction, committed only on success.
    template <class F>
    bool inTransaction(VqbString& error, F&& body);

    Repository* repository_;
    RepositoryMetadataSerializationContext* context_;
    bool flag_ = true;
    VqLogger* logger_;
    std::map<const char*, std::unique_ptr<RepositoryObjectManagerImpl>, TypeOrder> types_;
};

#endif
