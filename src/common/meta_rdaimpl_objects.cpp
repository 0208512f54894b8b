// Queries over repository objects of every type through the object-type catalogue.
#include "meta_rdaimpl.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

const char* const kSource = "meta_rdaimpl";

// Conditions after an object row select; "%s" is the type's folder column.
const char* const kInFolder = " WHERE %s=? ";
const char* const kAnyFolder = " ";
// The folder column is an integer: compared as text so that no back end refuses the comparison
// with the empty text.
const char* const kWithoutFolder = " WHERE %s IS NULL OR CAST(%s AS VARCHAR(20)) = '' ";

}  // namespace

std::vector<const ObjectTypeInfo*> MetadataRDAImpl::folderListedTypes(const ObjectTypeCatalog& catalog) const {
    std::vector<const ObjectTypeInfo*> types;
    for (const VqbString& name : catalog.folderListedTypes())
        if (const ObjectTypeInfo* type = catalog.findType(name)) types.push_back(type);
    return types;
}

ReposDataAccessCursor* MetadataRDAImpl::selectObjectRows(int line, const std::vector<const ObjectTypeInfo*>& types,
                                                         const char* conditionFormat, bool columnTwice,
                                                         const VqbDatavar* value) {
    if (!checkConnection(kSource, line)) return nullptr;
    VqbString sql("");
    for (const ObjectTypeInfo* type : types) {
        if (!sql.isEmpty()) sql.append(" UNION ");
        sql.append(objectRowSelect(*type));
        const char* column = type->getFolderIdColumn().asCstr();
        sql.append(columnTwice ? VqbString::format(conditionFormat, column, column)
                               : VqbString::format(conditionFormat, column));
    }
    // The same value once per part: the number of parts is the caller's.
    Sql statement(sql);
    if (value)
        for (size_t i = 0; i < types.size(); ++i) statement.bind(*value);
    return select(kSource, line, statement);
}

ReposDataAccessCursor* MetadataRDAImpl::listObjects(int folderId) try {
    ObjectTypeCatalog catalog(this);
    VqbDatavar vFolder(folderId);
    if (folderId == -1) return selectObjectRows(__LINE__, folderListedTypes(catalog), kAnyFolder, false, nullptr);
    return selectObjectRows(__LINE__, folderListedTypes(catalog), kInFolder, false, &vFolder);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listObjectsOfType(int folderId, const VqbString& typeName) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    ObjectTypeCatalog catalog(this);
    const ObjectTypeInfo* type = catalog.findType(typeName);
    if (!type) {
        reposLog(getLogger(), 5, kSource, __LINE__, "Unable to find type: %s", typeName.asCstr());
        return nullptr;
    }
    VqbDatavar vFolder(folderId);
    if (folderId == -1) return selectObjectRows(__LINE__, {type}, kAnyFolder, false, nullptr);
    return selectObjectRows(__LINE__, {type}, kInFolder, false, &vFolder);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listObjectsWithoutFolder() try {
    ObjectTypeCatalog catalog(this);
    return selectObjectRows(__LINE__, folderListedTypes(catalog), kWithoutFolder, true, nullptr);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::getObject(int id, const VqbString& typeName, VqbString& error) try {
    return getObjectRow(id, typeName, error);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool MetadataRDAImpl::getObjectFolderId(const VqbString& typeName, int id, int* folderId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    ObjectTypeCatalog catalog(this);
    const ObjectTypeInfo* type = catalog.findType(typeName);
    if (!type) {
        reposLog(getLogger(), 5, kSource, __LINE__, "Unable to obtain folder id for item, unknown type: %s",
                 typeName.asCstr());
        return false;
    }
    VqbDatavar folder;
    Lookup found = lookup(kSource, __LINE__,
                          Sql(VqbString::format("SELECT %s FROM %s", type->getFolderIdColumn().asCstr(),
                                                tableName(type->getTable().asCstr()).asCstr()))
                              .where(type->getIdColumn().asCstr(), id),
                          &folder);
    // No object, no folder: a caller must not take its own initial value for an answer.
    if (found != Lookup::Found) return false;
    if (folderId) *folderId = folder.isNull() ? 0 : static_cast<int>(folder.asInt64());
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MetadataRDAImpl::setObjectAttribute(int objectId, const VqbString& typeName, int folderId, VqbString& error) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    ObjectTypeCatalog catalog(this);
    const ObjectTypeInfo* type = catalog.findType(typeName);
    if (!type) {
        error = VqbString::format("Unable to find type: %s", typeName.asCstr());
        reposLog(getLogger(), 5, kSource, __LINE__, "%s", error.asCstr());
        return false;
    }
    // The folder must still be there when the object is filed in it.
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    if (!checkFolderExists(folderId, __LINE__)) {
        error = reposMessage(1167);
        return false;
    }
    VqbDatavar vFolder(folderId), vId(objectId);
    int rows = 0;
    if (!execute(kSource, __LINE__,
                 VqbString::format("UPDATE %s SET %s=? WHERE %s=?", tableName(type->getTable().asCstr()).asCstr(),
                                   type->getFolderIdColumn().asCstr(), type->getIdColumn().asCstr()),
                 &rows, &vFolder, &vId))
        return false;
    if (rows == 0) {
        error = VqbString::format("Unable to find %s object with id=%d", type->getTypeName().asCstr(), objectId);
        reposLog(getLogger(), 5, kSource, __LINE__, "%s", error.asCstr());
        return false;
    }
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
