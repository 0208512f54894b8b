// Queries over repository objects of every type through the object-type catalogue.
#include <string>

#include "meta_rdaimpl.h"
#include "rda_bigstrings.h"
#include "rda_impl.h"
#include "rda_sqlforms.h"
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

// The format filled with the type's folder column, as often as it names it.
std::function<VqbString(const ObjectTypeInfo&)> onFolderColumn(const char* format, bool twice = false) {
    return [format, twice](const ObjectTypeInfo& type) {
        const char* column = type.getFolderIdColumn().asCstr();
        return twice ? VqbString::format(format, column, column) : VqbString::format(format, column);
    };
}

}  // namespace

std::vector<const ObjectTypeInfo*> MetadataRDAImpl::folderListedTypes(const ObjectTypeCatalog& catalog) const {
    std::vector<const ObjectTypeInfo*> types;
    for (const VqbString& name : catalog.folderListedTypes())
        if (const ObjectTypeInfo* type = catalog.findType(name)) types.push_back(type);
    return types;
}

ReposDataAccessCursor* MetadataRDAImpl::selectObjectRows(int line, const std::vector<const ObjectTypeInfo*>& types,
                                                         const PartCondition& condition,
                                                         const std::vector<VqbDatavar>& values, const char* order) {
    if (!checkConnection(kSource, line)) return nullptr;
    VqbString sql("");
    for (const ObjectTypeInfo* type : types) {
        if (!sql.isEmpty()) sql.append(" UNION ");
        sql.append(objectRowSelect(*type));
        sql.append(condition(*type));
    }
    sql.append(order);
    // The same values once per part: the number of parts is the caller's.
    Sql statement(sql);
    for (size_t i = 0; i < types.size(); ++i)
        for (const VqbDatavar& value : values) statement.bind(value);
    return select(kSource, line, statement);
}

ReposDataAccessCursor* MetadataRDAImpl::selectObjectsNamed(int line, const std::vector<const ObjectTypeInfo*>& types,
                                                           int folderId, const VqbString& name, bool* narrowed) {
    const RDA_SqlDialect dialect = RDA_BaseImpl::sqlDialect(getConnection());
    *narrowed = folderId != -1 && !types.empty() && !RDA_asciiFolded(dialect, types.front()->getNameColumn()).isEmpty();
    if (!*narrowed) return nullptr;
    // A reference of a big string, folded, sorts from its folded prefix up to the text whose last
    // character ("_") is the next one ("`"), whatever the case of the reference.
    VqbString from(RDA_BigString::kPrefix);
    from.lowercase();
    std::string to = from.str();
    to.back() = static_cast<char>(to.back() + 1);
    VqbString lower(name);
    lower.lowercase();
    // Each branch names the folder itself, so that each can be served by the index on folder and
    // folded name (SQLite looks up the branches of an OR one by one).
    auto condition = [&](const ObjectTypeInfo& type) {
        const char* folder = type.getFolderIdColumn().asCstr();
        const VqbString folded = RDA_asciiFolded(dialect, type.getNameColumn());
        VqbString text = VqbString::format(" WHERE (%s=? AND %s = ?) OR (%s=? AND %s >= '%s' AND %s < '%s')", folder,
                                           folded.asCstr(), folder, folded.asCstr(), from.asCstr(), folded.asCstr(),
                                           to.c_str());
        // NULL reads back as the empty name.
        if (name.isEmpty()) text.append(VqbString::format(" OR (%s=? AND %s IS NULL)", folder, folded.asCstr()));
        text.append(" ");
        return text;
    };
    std::vector<VqbDatavar> values = {VqbDatavar(folderId), VqbDatavar(lower), VqbDatavar(folderId)};
    if (name.isEmpty()) values.emplace_back(folderId);
    // One part reads in the order of the plain listing of its type; several keep the order their
    // UNION gives them there.
    const VqbString order = types.size() == 1 ? storedOrder(*types.front()) : VqbString("");
    return selectObjectRows(line, types, condition, values, order.asCstr());
}

VqbString MetadataRDAImpl::storedOrder(const ObjectTypeInfo& type) {
    const RDA_SqlDialect dialect = RDA_BaseImpl::sqlDialect(getConnection());
    return VqbString::format("ORDER BY %s", RDA_storageOrder(dialect, type.getIdColumn()).asCstr());
}

ReposDataAccessCursor* MetadataRDAImpl::listObjects(int folderId) try {
    ObjectTypeCatalog catalog(this);
    if (folderId == -1) return selectObjectRows(__LINE__, folderListedTypes(catalog), onFolderColumn(kAnyFolder), {});
    return selectObjectRows(__LINE__, folderListedTypes(catalog), onFolderColumn(kInFolder), {VqbDatavar(folderId)});
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
    // The objects in the order they were stored, on every back end and whatever edits did since:
    // the object a path names is the last of its name here.
    const VqbString order = storedOrder(*type);
    if (folderId == -1) return selectObjectRows(__LINE__, {type}, onFolderColumn(kAnyFolder), {}, order.asCstr());
    return selectObjectRows(__LINE__, {type}, onFolderColumn(kInFolder), {VqbDatavar(folderId)}, order.asCstr());
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listObjectsNamed(int folderId, const VqbString& name) try {
    ObjectTypeCatalog catalog(this);
    bool narrowed = false;
    ReposDataAccessCursor* rows = selectObjectsNamed(__LINE__, folderListedTypes(catalog), folderId, name, &narrowed);
    return narrowed ? rows : listObjects(folderId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listObjectsOfTypeNamed(int folderId, const VqbString& typeName,
                                                               const VqbString& name) try {
    ObjectTypeCatalog catalog(this);
    const ObjectTypeInfo* type = catalog.findType(typeName);
    bool narrowed = false;
    ReposDataAccessCursor* rows = type ? selectObjectsNamed(__LINE__, {type}, folderId, name, &narrowed) : nullptr;
    // An unknown type fails as the plain listing fails it.
    return narrowed ? rows : listObjectsOfType(folderId, typeName);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MetadataRDAImpl::listObjectsWithoutFolder() try {
    ObjectTypeCatalog catalog(this);
    return selectObjectRows(__LINE__, folderListedTypes(catalog), onFolderColumn(kWithoutFolder, true), {});
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
