// Repository object types: the names of their common properties, the type names, and the catalogue
// that maps each type filed in folders to its table and to the columns holding those properties.
#ifndef OBJECTTYPES_H
#define OBJECTTYPES_H

#include <map>
#include <vector>

#include "vqbstring.h"

class BaseRDAImpl;

namespace ReposPropertyName {
constexpr const char* Id = "Id";
constexpr const char* Uuid = "UUID";
constexpr const char* FolderId = "FolderId";
constexpr const char* Name = "Name";
constexpr const char* Desc = "Desc";
constexpr const char* CreatedDate = "CreatedDate";
constexpr const char* CreatedUser = "CreatedUser";
constexpr const char* ModifiedDate = "ModifiedDate";
constexpr const char* ModifiedUser = "ModifiedUser";
}  // namespace ReposPropertyName

// Field, CustomMetric and Collection name objects of impact analysis, import/export and event
// announcements; they have no catalogue record.
namespace ReposObjectTypeName {
constexpr const char* DataExploration = "DataExploration";
constexpr const char* ProfileJob = "ProfileJob";
constexpr const char* Rule = "Rule";
constexpr const char* Task = "Task";
constexpr const char* Source = "Source";
constexpr const char* Field = "Field";
constexpr const char* CustomMetric = "CustomMetric";
constexpr const char* Dimension = "Dimension";
constexpr const char* Dashboard = "Dashboard";
constexpr const char* Threshold = "Threshold";
constexpr const char* Collection = "Collection";
}  // namespace ReposObjectTypeName

// Columns of the object row every generic object query returns, by position.
enum ReposObjectRowColumn {
    REPOS_OBJROW_TYPE = 0,  // the type name, selected as a literal (OBJTYPE)
    REPOS_OBJROW_UUID = 1,
    REPOS_OBJROW_ID = 2,  // integer
    REPOS_OBJROW_NAME = 3,
    REPOS_OBJROW_FOLDER = 4,         // integer; 0 the root level
    REPOS_OBJROW_CREATED_DATE = 5,   // real
    REPOS_OBJROW_MODIFIED_DATE = 6,  // real
    REPOS_OBJROW_CREATED_USER = 7,
    REPOS_OBJROW_MODIFIED_USER = 8,
    REPOS_OBJROW_DESC = 9,
    REPOS_OBJROW_COLUMNS = 10
};

// One object type: its table (base name, unqualified) and the columns of its common properties.
class ObjectTypeInfo {
public:
    ObjectTypeInfo(const char* typeName, const char* table, const char* uuidColumn, const char* idColumn,
                   const char* nameColumn, const char* folderColumn, const char* descColumn,
                   const char* createdDateColumn, const char* createdUserColumn, const char* modifiedDateColumn,
                   const char* modifiedUserColumn);

    const VqbString& getTypeName() const { return typeName_; }
    const VqbString& getTable() const { return table_; }
    const VqbString& getUuidColumn() const { return uuid_; }
    const VqbString& getIdColumn() const { return id_; }
    const VqbString& getNameColumn() const { return name_; }
    const VqbString& getFolderIdColumn() const { return folder_; }
    const VqbString& getDescColumn() const { return desc_; }
    const VqbString& getCreatedDateColumn() const { return createdDate_; }
    const VqbString& getCreatedUserColumn() const { return createdUser_; }
    const VqbString& getModifiedDateColumn() const { return modifiedDate_; }
    const VqbString& getModifiedUserColumn() const { return modifiedUser_; }
    // The column of a common property (a ReposPropertyName, matched exactly); null for any other name.
    const VqbString* getPropertyColumn(const VqbString& property) const;

    // "SELECT '<type>' AS OBJTYPE, <the object row's columns> FROM <qualifiedTable>", for the
    // caller to add its condition.
    VqbString objectRowSelect(const VqbString& qualifiedTable) const;

private:
    VqbString typeName_, table_, uuid_, id_, name_, folder_, desc_;
    VqbString createdDate_, createdUser_, modifiedDate_, modifiedUser_;
};

// The eight types filed in folders (DataExploration, ProfileJob, Rule, Task, Source, Dimension,
// Dashboard, Threshold). The records are built once and shared; a catalogue is cheap to make.
class ObjectTypeCatalog {
public:
    // A catalogue for a null owner holds nothing.
    explicit ObjectTypeCatalog(const BaseRDAImpl* owner);

    // Exact, case-sensitive match; null for a name the catalogue does not hold.
    const ObjectTypeInfo* findType(const VqbString& name) const;
    // The types that listings of all objects cover, in listing order: DataExploration,
    // ProfileJob, Rule, Task.
    const std::vector<VqbString>& folderListedTypes() const;
    size_t size() const;

private:
    struct Tables {
        std::map<VqbString, ObjectTypeInfo> types;
        std::vector<VqbString> folderListed;
    };
    static const Tables& shared();
    static const Tables& empty();

    const Tables* tables_;
};

#endif
