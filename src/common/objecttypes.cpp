#include "objecttypes.h"

namespace {

struct ObjectTypeRecord {
    const char* typeName;
    const char* table;
    const char* uuid;
    const char* id;
    const char* name;
    const char* folder;
    const char* desc;
    const char* createdDate;
    const char* createdUser;
    const char* modifiedDate;
    const char* modifiedUser;
};

// A rule's name is RU_DESC and its description RU_COMM; a task's uuid is JB_CODE.
const ObjectTypeRecord kObjectTypes[] = {
    {ReposObjectTypeName::DataExploration, "MPRJ", "PRJ_UUID", "PRJ_ID", "PRJ_NM", "FLDR_ID", "PRJ_COMM", "PADATE",
     "PCUSER", "PMDATE", "PMUSER"},
    {ReposObjectTypeName::ProfileJob, "JSETUP", "SU_UUID", "SU_ID", "SU_NAME", "FLDR_ID", "SU_DESC", "SU_CRDAT",
     "SU_CRUSR", "SU_EDDAT", "SU_EDUSR"},
    {ReposObjectTypeName::Rule, "RULE", "RU_UUID", "RU_ID", "RU_DESC", "FLDR_ID", "RU_COMM", "RU_CRDAT", "RU_CRUSR",
     "RU_EDDAT", "RU_USER"},
    {ReposObjectTypeName::Task, "MJOB", "JB_CODE", "JB_ID", "JB_DESC", "FLDR_ID", "JB_COMM", "JB_CRDAT", "JB_CRUSR",
     "JB_EDDAT", "JB_EDUSR"},
    {ReposObjectTypeName::Source, "EXSRC", "ES_UUID", "ES_ID", "ES_NAME", "FLDR_ID", "ES_DESC", "ES_CRDAT",
     "ES_CRUSR", "ES_EDDAT", "ES_EDUSR"},
    {ReposObjectTypeName::Dimension, "DIMENS", "UUID", "DIM_ID", "DIM_NAME", "FLDR_ID", "DIM_DESC", "CRDAT", "CRUSR",
     "EDDAT", "EDUSR"},
    {ReposObjectTypeName::Dashboard, "RPTGRP", "UUID", "GRP_ID", "GRP_NAME", "FLDR_ID", "GRP_DESC", "CRDAT", "CRUSR",
     "EDDAT", "EDUSR"},
    {ReposObjectTypeName::Threshold, "THRHLD", "UUID", "THR_ID", "THR_NAME", "FLDR_ID", "THR_DESC", "CRDAT", "CRUSR",
     "EDDAT", "EDUSR"},
};

const char* const kFolderListed[] = {ReposObjectTypeName::DataExploration, ReposObjectTypeName::ProfileJob,
                                     ReposObjectTypeName::Rule, ReposObjectTypeName::Task};

}  // namespace

ObjectTypeInfo::ObjectTypeInfo(const char* typeName, const char* table, const char* uuidColumn,
                               const char* idColumn, const char* nameColumn, const char* folderColumn,
                               const char* descColumn, const char* createdDateColumn, const char* createdUserColumn,
                               const char* modifiedDateColumn, const char* modifiedUserColumn)
    : typeName_(typeName),
      table_(table),
      uuid_(uuidColumn),
      id_(idColumn),
      name_(nameColumn),
      folder_(folderColumn),
      desc_(descColumn),
      createdDate_(createdDateColumn),
      createdUser_(createdUserColumn),
      modifiedDate_(modifiedDateColumn),
      modifiedUser_(modifiedUserColumn) {}

const VqbString* ObjectTypeInfo::getPropertyColumn(const VqbString& property) const {
    const struct {
        const char* property;
        const VqbString* column;
    } map[] = {
        {ReposPropertyName::Id, &id_},
        {ReposPropertyName::Uuid, &uuid_},
        {ReposPropertyName::FolderId, &folder_},
        {ReposPropertyName::Name, &name_},
        {ReposPropertyName::Desc, &desc_},
        {ReposPropertyName::CreatedDate, &createdDate_},
        {ReposPropertyName::CreatedUser, &createdUser_},
        {ReposPropertyName::ModifiedDate, &modifiedDate_},
        {ReposPropertyName::ModifiedUser, &modifiedUser_},
    };
    for (const auto& m : map)
        if (property.equals(m.property, true)) return m.column;
    return nullptr;
}

VqbString ObjectTypeInfo::objectRowSelect(const VqbString& qualifiedTable) const {
    return VqbString::format("SELECT '%s' AS OBJTYPE, %s, %s, %s, %s, %s, %s, %s, %s, %s FROM %s",
                             typeName_.asCstr(), uuid_.asCstr(), id_.asCstr(), name_.asCstr(), folder_.asCstr(),
                             createdDate_.asCstr(), modifiedDate_.asCstr(), createdUser_.asCstr(),
                             modifiedUser_.asCstr(), desc_.asCstr(), qualifiedTable.asCstr());
}

ObjectTypeCatalog::ObjectTypeCatalog(const BaseRDAImpl* owner) : tables_(owner ? &shared() : &empty()) {}

const ObjectTypeCatalog::Tables& ObjectTypeCatalog::shared() {
    static const Tables tables = [] {
        Tables t;
        for (const char* name : kFolderListed) t.folderListed.emplace_back(name);
        for (const ObjectTypeRecord& r : kObjectTypes)
            t.types.emplace(VqbString(r.typeName),
                            ObjectTypeInfo(r.typeName, r.table, r.uuid, r.id, r.name, r.folder, r.desc,
                                           r.createdDate, r.createdUser, r.modifiedDate, r.modifiedUser));
        return t;
    }();
    return tables;
}

const ObjectTypeCatalog::Tables& ObjectTypeCatalog::empty() {
    static const Tables tables;
    return tables;
}

const ObjectTypeInfo* ObjectTypeCatalog::findType(const VqbString& name) const {
    auto it = tables_->types.find(name);
    return it == tables_->types.end() ? nullptr : &it->second;
}

const std::vector<VqbString>& ObjectTypeCatalog::folderListedTypes() const { return tables_->folderListed; }

size_t ObjectTypeCatalog::size() const { return tables_->types.size(); }
