// The frame every object manager shares: content handlers over the common data access, the common
// road of import, update, export and delete, and the custom-metric and collection managers.
#ifndef REPMETACOMMONIMPL_H
#define REPMETACOMMONIMPL_H

#include <functional>
#include <memory>

#include "repimpexpmgr.h"
#include "repos_common_rda.h"
#include "repos_held.h"

// The handler of one operation's content: the common data access (made here, released at the
// end), and the object it works on: an id and UUID when exporting, the parsed object when importing.
class RepositoryMetaContentImpl {
public:
    RepositoryMetaContentImpl(RepositoryImportExportManagerImpl* owner, Repository* repository);
    virtual ~RepositoryMetaContentImpl() = default;
    RepositoryMetaContentImpl(const RepositoryMetaContentImpl&) = delete;
    RepositoryMetaContentImpl& operator=(const RepositoryMetaContentImpl&) = delete;

    RepositoryImportExportManagerImpl* owner;
    Repository* repository;
    ReposHeld<CommonRepositoryDataAccess> common;
    unsigned id = 0;
    VqbString uuid{""};
    RepositoryMetadataObject* object = nullptr;
    unsigned folderId = 0;

    // Whether the data access(es) the handler's type works through are there.
    virtual bool ready() const { return repository && common; }
    // The error text of the data access the handler's type writes through.
    virtual VqbString accessError() { return common ? common->getErrorMessage() : VqbString(""); }

    RepositoryMetadataSerializationContext* context() const { return owner->getContext(); }
    void report(int level, const VqbString& text) { context()->reportAction(level, text); }
    // Reported at the level and copied to error; false.
    bool fail(int level, VqbString& error, const VqbString& text);
    // The common data access's error text in the format ("...: %s"), or the bare text before the
    // colon when the data access has none.
    VqbString withAccessError(const char* format);

    // The current row's columns as properties named in upper case: in column order, or sorted by
    // name (child rows).
    static void copyRow(ReposDataAccessCursor* cursor, RepositoryMetadataObject* object, bool sorted);
    // The value of the current row's column (any case), null when it has none.
    static VqbString column(ReposDataAccessCursor* cursor, const char* name);
    // A property's text, empty when absent or null.
    static VqbString text(RepositoryMetadataObject* object, const char* name);
    static int number(RepositoryMetadataObject* object, const char* name, int absent);

    // Adds each row of the cursor (released here) as a child of the list: a new UUID per child, or
    // keyed by keyColumn when given. traceFormat (one %s: the traced column) is reported at level 3.
    void addRowChildren(ReposDataAccessCursor* cursor, RepositoryMetadataObject* parent, const char* listName,
                        const char* childType, const char* keyColumn, const char* traceFormat,
                        const char* tracedColumn);

    // The custom metric's fields as the "Fields" list of the metric's object.
    bool exportCustomMetricFields(RepositoryMetadataObject* metric, unsigned metricId, VqbString& error);
    // The "Fields" list of the object added to the custom metric, skipping keys it already has.
    bool importCustomMetricFields(RepositoryMetadataObject* metric, unsigned metricId, VqbString& error);
    // The custom metric, keyed by CM_ID with its UUID, with its fields, in the parent's "CustomMetrics".
    bool exportCustomMetricChild(RepositoryMetadataObject* parent, unsigned metricId, VqbString& error);
    // The metric a "CustomMetric" child names: the one this import already handled, an existing one
    // of that name, or a new one; then its fields.
    bool importCustomMetricChild(RepositoryMetadataObject* child, unsigned& metricId, VqbString& error);
    // A keyed "CustomMetric" object for the row's CM_ID carrying the metric's UUID.
    RepositoryMetadataObject* keyedCustomMetric(const VqbString& metricId);
};

// A new export handler of the rules of a task or profile job; null when it cannot be made.
std::unique_ptr<RepositoryMetaContentImpl> createCommonExportContent(RepositoryImportExportManagerImpl* owner,
                                                                     Repository* repository, unsigned id,
                                                                     const VqbString& uuid);

// The texts and columns of a type on the common road.
struct ReposManagedType {
    const char* typeName;
    const char* nameProperty;
    const char* idColumn;
    const char* uuidColumn;
    const char* exportObjectText;   // no metadata object
    const char* exportHandlerText;  // no handler
    const char* renameText;         // imported name, given name
    int renameLevel;
    const char* createdText;
    const char* updateErrorText;  // "...: %s"
};

// The common road of delete, export, import as new and update, through the common data access.
class CommonObjectManagerImpl : public RepositoryObjectManagerImpl {
public:
    CommonObjectManagerImpl(RepositoryImportExportManagerImpl* owner, const ReposManagedType& type)
        : RepositoryObjectManagerImpl(owner), type_(type) {}

    bool deleteObject(unsigned id, const VqbString& uuid, VqbString& error) override;
    bool exportObject(unsigned id, const VqbString& uuid, VqbString& output, VqbString& error) override;
    bool importObject(RepositoryMetadataObject* object, unsigned folderId, const VqbString& name,
                      VqbString& error) override;
    bool updateObject(RepositoryMetadataObject* object, unsigned id, const VqbString& existingUuid,
                      unsigned folderId, const VqbString& existingName, VqbString& error) override;

protected:
    virtual bool remove(RepositoryMetaContentImpl& content, unsigned id) = 0;
    virtual bool exportContent(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object,
                               VqbString& error) = 0;
    // The object's row found by UUID (when given) or name.
    virtual ReposDataAccessCursor* find(RepositoryMetaContentImpl& content, const VqbString& name,
                                        const VqbString& uuid) = 0;
    // The new id; 0 or 0xFFFFFFFF on failure.
    virtual unsigned insert(RepositoryMetaContentImpl& content, const VqbString& name) = 0;
    virtual bool updateHeader(RepositoryMetaContentImpl& content, const VqbString& name, const VqbString& uuid) = 0;
    virtual bool importContent(RepositoryMetaContentImpl& content, VqbString& error) = 0;
    // A handler of the type's own kind.
    virtual std::unique_ptr<RepositoryMetaContentImpl> makeContent();

    // The id of the row holding the UUID; -1 when none does.
    int idHolding(RepositoryMetaContentImpl& content, const VqbString& uuid);

    const ReposManagedType& type_;
};

// Whether the repository and the manager's data access are there; the text for the error when not.
bool reposImportRefused(RepositoryMetaContentImpl& content, unsigned id, bool update, VqbString& error);

// The UUID an update keeps: the imported one unless another object (holding() gives its id, -1
// for none) holds it already; reported at level 2.
VqbString reposUpdateUuid(RepositoryMetaContentImpl& content, const char* typeName, const VqbString& imported,
                          const VqbString& existing, unsigned id, const std::function<int(const VqbString&)>& holding);

// The name an update keeps: the existing one when it differs from the imported one (ignoring
// case), reported at level 2 either way.
VqbString reposUpdateName(RepositoryMetadataSerializationContext* context, const char* typeName,
                          const VqbString& imported, const VqbString& existing);

class CustomMetricManagerImpl : public CommonObjectManagerImpl {
public:
    explicit CustomMetricManagerImpl(RepositoryImportExportManagerImpl* owner);

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

class CollectionManagerImpl : public CommonObjectManagerImpl {
public:
    explicit CollectionManagerImpl(RepositoryImportExportManagerImpl* owner);

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

#endif
