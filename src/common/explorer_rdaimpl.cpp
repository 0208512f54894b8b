#include "explorer_rdaimpl.h"

#include <utility>

#include "objecttypes.h"
#include "repos_held.h"
#include "repos_announce.h"
#include "reposlog.h"
#include "vqbutil.h"
#include "vqrepevent.h"

namespace {

const char* const kSource = "explorer_rdaimpl";

constexpr int I = VQB_TYPE_INT;
constexpr int R = VQB_TYPE_REAL;
constexpr int S = VQB_TYPE_STRING;

// In ExplorerInsert order.
const ExplorerInsertSpec kInserts[kExplorerInsertCount] = {
    {"MPRJ", "MPRJ", 0, 13,
     {{"PRJ_ID", I}, {"PRJ_NM", S}, {"PRJ_COMM", S}, {"PRJ_DATE", R}, {"PMDATE", R}, {"PADATE", R},
      {"PMUSER", S}, {"PCUSER", S}, {"PRJ_UUID", S}, {"FLDR_ID", I}, {"LRDATE", R}, {"LRDUR", I}, {"LRST", I}}},
    {"MDBCON", "MDBCON", 0, 4, {{"DB_ID", I}, {"CON_DBNM", S}, {"CON_CNSTR", S}, {"CON_TYPE", S}}},
    {"MTABLE", "MTABLE", 0, 6,
     {{"TBL_ID", I}, {"DB_ID", I}, {"TBL_NM", S}, {"TBL_SCH", S}, {"TBL_TYPE", S}, {"TBL_CAT", S}}},
    {"MDFLD", "MDFLD", 0, 7,
     {{"FLD_ID", I}, {"FLD_NM", S}, {"FLD_TYP", S}, {"FLD_LEN", I}, {"FLD_POS", I}, {"TBL_ID", I}, {"DB_ID", I}}},
    {"MPRJDB", nullptr, -1, 3, {{"PRJ_ID", I}, {"DB_ID", I}, {"DB_VER", I}}},
    {"MPJTBL", nullptr, -1, 2, {{"PRJ_ID", I}, {"TBL_ID", I}}},
    {"MPJFLD", nullptr, -1, 2, {{"PRJ_ID", I}, {"FLD_ID", I}}},
    {"MINDEX", "MINDEX", 0, 5, {{"IDX_ID", I}, {"IDX_NM", S}, {"IDX_EXPR", S}, {"PRJ_ID", I}, {"DB_ID", I}}},
    {"MPKEY", nullptr, -1, 4, {{"PK_NM", S}, {"TBL_ID", I}, {"PRJ_ID", I}, {"DB_ID", I}}},
    {"MPKFLD", nullptr, -1, 5, {{"FLD_ID", I}, {"PK_NM", S}, {"TBL_ID", I}, {"PRJ_ID", I}, {"DB_ID", I}}},
    {"MFKEY", nullptr, -1, 4, {{"FK_NM", S}, {"TBL_ID", I}, {"PRJ_ID", I}, {"DB_ID", I}}},
    {"MFKFLD", nullptr, -1, 8,
     {{"FKISPTBL", I}, {"PKTBL_ID", I}, {"PKFLD_ID", I}, {"FKTBL_ID", I}, {"FKFLD_ID", I}, {"FK_NM", S},
      {"PRJ_ID", I}, {"DB_ID", I}}},
    // Stored procedures draw on the index counter: the two have always shared it.
    {"MSP", "MINDEX", 0, 6, {{"SP_ID", I}, {"SP_NM", S}, {"SP_REM", S}, {"SP_TYPE", I}, {"PRJ_ID", I}, {"DB_ID", I}}},
    {"MSPFLD", nullptr, -1, 5, {{"SPFLD_NM", S}, {"SPFLDTYP", I}, {"SP_ID", I}, {"PRJ_ID", I}, {"DB_ID", I}}},
    {"MIDDEF", "MIDDEF", 5, 6,
     {{"IDENT_ID", I}, {"IDENT_NM", S}, {"PRJ_ID", I}, {"SMPTYP", I}, {"LOCALE", S}, {"ID_UID", I}}},
    {"MDEFVL", "MDEFVL", 1, 7,
     {{"IDENT_ID", I}, {"IDVALRID", I}, {"IDVAL_ID", I}, {"IDVAL_VL", S}, {"IDVALDES", S}, {"PRJ_ID", I},
      {"SMPTYP", I}}},
    {"MSMPLG", "MSMPLG", 0, 8,
     {{"SMP_ID", I}, {"FLD_ID", I}, {"IDVALRID", I}, {"SMP_TYPE", S}, {"SMP_N", I}, {"SMP_SIZE", I},
      {"SMP_MATCH", I}, {"PRJ_ID", I}}},
    {"MPJFL2", nullptr, -1, 5, {{"PRJ_ID", I}, {"FLD_ID", I}, {"IDVALRID", I}, {"SMP_ID", I}, {"SMPTYP", I}}},
    {"MMDEFS", "MMDEFS", 0, 7,
     {{"MASN_ID", I}, {"PRJ_ID", I}, {"USERMTC", I}, {"MMDEFID", I}, {"MMDEFNM", S}, {"MMSENSE", I},
      {"MMLOCALE", S}}},
    {"MPJFLD", nullptr, -1, 14,
     {{"PRJ_ID", I}, {"FLD_ID", I}, {"FLD_CL1", S}, {"MASN_ID1", I}, {"FLD_CL2", S}, {"MASN_ID2", I},
      {"FLD_CL3", S}, {"MASN_ID3", I}, {"FLD_CL4", S}, {"MASN_ID4", I}, {"FLD_CL5", S}, {"MASN_ID5", I},
      {"FLD_CL6", S}, {"MASN_ID6", I}}},
};

// Sample types as stored: 0 column-name sampling, 1 data sampling.
int sampleType(bool nameSampling) { return nameSampling ? 0 : 1; }

VqbString nullableText(ReposDataAccessCursor* cursor, int column) {
    return cursor->isNull(column) ? VqbString() : cursor->getString(column);
}

// Columns of the project row.
enum { kProjectName = 1, kProjectUuid = 8, kProjectFolder = 9 };

}  // namespace

// What a project owns, in the order it is cleared. MMATC5 keeps the project id as text.
const ReposKeyedTable kProjectTables[] = {
    {"MIDDEF", "PRJ_ID"}, {"MDEFVL", "PRJ_ID"}, {"MPKEY", "PRJ_ID"},  {"MPKFLD", "PRJ_ID"},
    {"MFKEY", "PRJ_ID"},  {"MFKFLD", "PRJ_ID"}, {"MSP", "PRJ_ID"},    {"MSPFLD", "PRJ_ID"},
    {"MINDEX", "PRJ_ID"}, {"MSMPLG", "PRJ_ID"}, {"MDRLMD", "PRJ_ID"}, {"MPRJDB", "PRJ_ID"},
    {"MPJTBL", "PRJ_ID"}, {"MPJFLD", "PRJ_ID"}, {"MPJPRF", "PRJ_ID"}, {"MNOTES", "PRJ_ID"},
    {"MMATC1", "PRJ_ID"}, {"MMATC2", "PRJ_ID"}, {"MMATC3", "PRJ_ID"}, {"MMATC4", "PRJ_ID"},
    {"MMATC5", "PRJ_ID", true},                 {"MMATC6", "PRJ_ID"}, {"MMDEFS", "PRJ_ID"},
    {"MPJFL2", "PRJ_ID"},
};

const ExplorerInsertSpec& explorerInsertSpec(ExplorerInsert which) { return kInserts[static_cast<size_t>(which)]; }

bool explorerColumnValue(const VqbDatavar& value, int type, VqbDatavar& out) {
    if (value.isNull()) {
        out = VqbDatavar();
        out.setType(type);
        return true;
    }
    const int given = value.getType();
    if (given == type) {
        out = value;
        return true;
    }
    switch (type) {
        case VQB_TYPE_INT:
            if (given == VQB_TYPE_BOOL) {
                out = VqbDatavar(value.asBool() ? 1 : 0);
                return true;
            }
            if (given == VQB_TYPE_STRING) {
                VqbString text = value.asString().trimmed();
                if (text.isEmpty()) return explorerColumnValue(VqbDatavar(), type, out);
                bool error = false;
                int number = text.asInt(&error);
                if (error) return false;
                out = VqbDatavar(number);
                return true;
            }
            return false;
        case VQB_TYPE_REAL:
            if (given == VQB_TYPE_INT || given == VQB_TYPE_DATE) {
                out = VqbDatavar(value.asDouble());
                return true;
            }
            return false;
        case VQB_TYPE_STRING:
            if (given == VQB_TYPE_INT) {
                out = VqbDatavar(value.asString());
                return true;
            }
            return false;
        default:
            return false;
    }
}

ExplorerRDAImpl::ExplorerRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

ExplorerRDAImpl::~ExplorerRDAImpl() = default;

// ---- shared helpers

int ExplorerRDAImpl::nameTaken(const VqbString& name, int folderId, uint32_t except) {
    ReposHeld<ReposDataAccessCursor> cursor(
        select(kSource, __LINE__,
               Sql(onTable("SELECT PRJ_ID FROM", "MPRJ", " WHERE PRJ_NM=? AND FLDR_ID=?"), {name, folderId})));
    if (!cursor) return -1;
    int taken = 0;
    while (cursor->next() == 1)
        if (except == 0 || static_cast<uint32_t>(cursor->getInt(0)) != except) taken = 1;
    return taken;
}

bool ExplorerRDAImpl::refuseTakenName(int line, const VqbString& name, int folderId, uint32_t except) {
    int taken = nameTaken(name, folderId, except);
    if (taken > 0)
        reposLog(getLogger(), 5, kSource, line, "An exploration project named '%s' already exists in folder %d",
                 name.asCstr(), folderId);
    return taken != 0;
}

bool ExplorerRDAImpl::insertRow(ExplorerInsert which, std::initializer_list<VqbDatavar> values, uint32_t* id) {
    const ExplorerInsertSpec& spec = explorerInsertSpec(which);
    if (!checkConnection(kSource, __LINE__)) return false;
    const size_t given = spec.columnCount - (spec.idColumn >= 0 ? 1 : 0);
    if (values.size() != given) {
        reposLog(getLogger(), 5, kSource, __LINE__, "Insert into %s: %d values for %d columns", spec.table,
                 static_cast<int>(values.size()), static_cast<int>(given));
        return false;
    }

    VqbString columns("");
    VqbString markers("");
    for (size_t i = 0; i < spec.columnCount; ++i) {
        if (i > 0) {
            columns.append(", ");
            markers.append(", ");
        }
        columns.append(spec.columns[i].name);
        markers.append('?');
    }
    Sql insert(VqbString::format("INSERT INTO %s (%s) VALUES (%s)", tableName(spec.table).asCstr(), columns.asCstr(),
                                 markers.asCstr()));
    // Values are made to fit first, so a refused value costs no id.
    const VqbDatavar* next = values.begin();
    for (size_t i = 0; i < spec.columnCount; ++i) {
        if (static_cast<int>(i) == spec.idColumn) continue;
        VqbDatavar fitted;
        if (!explorerColumnValue(*next, spec.columns[i].type, fitted)) {
            reposLog(getLogger(), 5, kSource, __LINE__, "Insert into %s: '%s' is no value for column %s",
                     spec.table, next->asString().asCstr(), spec.columns[i].name);
            return false;
        }
        insert.bind(fitted);
        ++next;
    }
    if (spec.idColumn < 0) return run(kSource, __LINE__, insert);
    uint32_t newId = 0;
    if (!insertKeyed(kSource, __LINE__, spec.idKey, std::move(insert), static_cast<size_t>(spec.idColumn), newId))
        return false;
    if (id) *id = newId;
    return true;
}

// ---- inserts

bool ExplorerRDAImpl::addProject(const VqbString& name, const VqbString& comment, const VqbString& user,
                                 const VqbString& /*reserved*/, int folderId, uint32_t* id) try {
    if (folderId < 0) folderId = 0;
    if (!checkConnection(kSource, __LINE__)) return false;
    // A nameless project could never be found by its path.
    if (name.isEmpty()) {
        reposLog(getLogger(), 5, kSource, __LINE__, "An exploration project needs a name");
        return false;
    }
    VqbDatavar now(VqbDate::currentDate().asDouble());
    VqbString uuid = vqbNewUUID();
    uint32_t newId = 0;
    // Two adders of one name must not both find it free.
    if (!exclusively(kSource, __LINE__, [&] {
            return !refuseTakenName(__LINE__, name, folderId, 0) &&
                   insertRow(ExplorerInsert::Project,
                             {name, comment, now, now, now, user, user, uuid, VqbDatavar(folderId), VqbDatavar(0.0),
                              VqbDatavar(0), VqbDatavar(-1)},
                             &newId);
        }))
        return false;
    if (id) *id = newId;
    reposAnnounce(getConnection(), REPOS_CHANGE_CREATE, ReposObjectTypeName::DataExploration, newId, uuid);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addConnection(const VqbString& databaseName, const VqbString& connectionString,
                                    const VqbString& connectionType, uint32_t* id) try {
    return insertRow(ExplorerInsert::Connection, {databaseName, connectionString, connectionType}, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addTable(uint32_t dbId, const VqbString& name, const VqbString& schema,
                               const VqbString& tableType, const VqbString& catalog, uint32_t* id) try {
    return insertRow(ExplorerInsert::Table, {dbId, name, schema, tableType, catalog}, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addField(uint32_t tableId, uint32_t dbId, const VqbString& name, const VqbString& fieldType,
                               int length, int position, uint32_t* id) try {
    return insertRow(ExplorerInsert::Field, {name, fieldType, length, position, tableId, dbId}, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addProjectDatabase(uint32_t projectId, uint32_t dbId, int dbVersion) try {
    return insertRow(ExplorerInsert::ProjectDatabase, {projectId, dbId, dbVersion}, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addProjectTable(uint32_t projectId, uint32_t tableId) try {
    return insertRow(ExplorerInsert::ProjectTable, {projectId, tableId}, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addProjectField(uint32_t projectId, uint32_t fieldId) try {
    return insertRow(ExplorerInsert::ProjectField, {projectId, fieldId}, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addIndex(uint32_t projectId, uint32_t dbId, const VqbString& name, const VqbString& expression,
                               uint32_t* id) try {
    return insertRow(ExplorerInsert::Index, {name, expression, projectId, dbId}, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addPrimaryKey(uint32_t projectId, uint32_t dbId, uint32_t tableId, const VqbString& keyName) try {
    return insertRow(ExplorerInsert::PrimaryKey, {keyName, tableId, projectId, dbId}, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addPrimaryKeyField(uint32_t projectId, uint32_t dbId, uint32_t tableId, const VqbString& keyName,
                                         uint32_t fieldId) try {
    return insertRow(ExplorerInsert::PrimaryKeyField, {fieldId, keyName, tableId, projectId, dbId}, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addForeignKey(uint32_t projectId, uint32_t dbId, uint32_t tableId, const VqbString& keyName) try {
    return insertRow(ExplorerInsert::ForeignKey, {keyName, tableId, projectId, dbId}, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addForeignKeyField(uint32_t projectId, const VqbString& keyName, uint32_t dbId,
                                         uint32_t fkTableId, uint32_t fkFieldId, uint32_t /*pkDbId*/,
                                         uint32_t pkTableId, uint32_t pkFieldId) try {
    return insertRow(ExplorerInsert::ForeignKeyField,
                     {1, pkTableId, pkFieldId, fkTableId, fkFieldId, keyName, projectId, dbId}, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addStoredProcedure(uint32_t projectId, uint32_t dbId, const VqbString& name,
                                         const VqbString& remarks, const VqbString& procedureType, uint32_t* id) try {
    return insertRow(ExplorerInsert::StoredProcedure, {name, remarks, procedureType, projectId, dbId}, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addStoredProcedureField(uint32_t projectId, uint32_t dbId, uint32_t procedureId,
                                              const VqbString& name, const VqbString& fieldType) try {
    return insertRow(ExplorerInsert::StoredProcedureField, {name, fieldType, procedureId, projectId, dbId}, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addIdentificationDefinition(uint32_t projectId, uint32_t definitionId, const VqbString& name,
                                                  bool nameSampling, const VqbString& locale, uint32_t* id) try {
    return insertRow(ExplorerInsert::IdentificationDefinition,
                     {definitionId, name, projectId, sampleType(nameSampling), locale}, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addIdentificationValue(uint32_t projectId, uint32_t definitionId, int valueId,
                                             const VqbString& value, const VqbString& description, bool sampleFlag,
                                             uint32_t* id) try {
    return insertRow(ExplorerInsert::IdentificationValue,
                     {definitionId, valueId, value, description, projectId, sampleFlag ? 1 : 0}, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addSample(uint32_t projectId, uint32_t fieldId, uint32_t valueRecordId, int sampleType, int n,
                                int size, int matches, uint32_t* id) try {
    return insertRow(ExplorerInsert::Sample, {fieldId, valueRecordId, sampleType, n, size, matches, projectId}, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addProjectFieldSample(uint32_t projectId, uint32_t fieldId, uint32_t valueRecordId,
                                            bool sampleFlag, uint32_t sampleId) try {
    return insertRow(ExplorerInsert::ProjectFieldSample,
                     {projectId, fieldId, valueRecordId, sampleId, sampleFlag ? 1 : 0}, nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addMatchDefinition(uint32_t projectId, int userMatch, int definitionId, const VqbString& name,
                                         const VqbString& locale, int sensitivity, uint32_t* id) try {
    return insertRow(ExplorerInsert::MatchDefinition,
                     {projectId, userMatch, definitionId, name, sensitivity, locale}, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::addProjectFieldMatches(uint32_t projectId, uint32_t fieldId, const VqbString& class1, int match1,
                                             const VqbString& class2, int match2, const VqbString& class3, int match3,
                                             const VqbString& class4, int match4, const VqbString& class5, int match5,
                                             const VqbString& class6) try {
    return insertRow(ExplorerInsert::ProjectFieldMatches,
                     {projectId, fieldId, class1, match1, class2, match2, class3, match3, class4, match4, class5,
                      match5, class6, VqbDatavar()},
                     nullptr);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- reads

ReposDataAccessCursor* ExplorerRDAImpl::listProjects() try {
    return select(kSource, __LINE__, Sql(rowSelect("MPRJ") + " ORDER BY PRJ_ID"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ExplorerRDAImpl::getProject(uint32_t projectId) try {
    return select(kSource, __LINE__, Sql(rowSelect("MPRJ") + " WHERE PRJ_ID=?", {projectId}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ExplorerRDAImpl::listProjectTables(uint32_t projectId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    VqbString sql = VqbString::format(
        "SELECT a.PRJ_ID, b.TBL_NM, b.TBL_SCH, c.CON_CNSTR, b.TBL_CAT FROM %s a LEFT OUTER JOIN %s b "
        "ON a.TBL_ID=b.TBL_ID LEFT OUTER JOIN %s c ON b.DB_ID=c.DB_ID WHERE a.PRJ_ID=?",
        tableName("MPJTBL").asCstr(), tableName("MTABLE").asCstr(), tableName("MDBCON").asCstr());
    return select(kSource, __LINE__, Sql(sql, {projectId}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ExplorerRDAImpl::getIdentificationDefinition(uint32_t projectId, const VqbString& name,
                                                                    const VqbString& locale, uint32_t definitionId,
                                                                    bool nameSampling) try {
    return select(kSource, __LINE__,
                  Sql(rowSelect("MIDDEF") + " WHERE IDENT_ID=? AND IDENT_NM=? AND PRJ_ID=? AND SMPTYP=? AND LOCALE=?",
                      {definitionId, name, projectId, sampleType(nameSampling), locale}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ExplorerRDAImpl::listIdentificationDefinitions(uint32_t projectId, bool nameSampling) try {
    return select(kSource, __LINE__,
                  Sql(rowSelect("MIDDEF") + " WHERE PRJ_ID=? AND SMPTYP=? ORDER BY ID_UID",
                      {projectId, sampleType(nameSampling)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ExplorerRDAImpl::listIdentificationValues(uint32_t projectId, uint32_t definitionId) try {
    return select(
        kSource, __LINE__,
        Sql(rowSelect("MDEFVL") + " WHERE PRJ_ID=? AND IDENT_ID=? ORDER BY IDVALRID", {projectId, definitionId}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ExplorerRDAImpl::listSampledFields(uint32_t projectId, uint32_t valueRecordId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    VqbString sql = VqbString::format(
        "SELECT fld.FLD_ID, fld.FLD_NM, fld.DB_ID, fld.TBL_ID, fld.FLD_TYP, fld.FLD_LEN, db.CON_DBNM, tbl.TBL_NM, "
        "tbl.TBL_SCH, fld.FLD_TYP, fld.FLD_LEN, smp.SMP_SIZE, smp.SMP_MATCH FROM %s fld, %s db, %s tbl, %s smp "
        "WHERE fld.DB_ID=db.DB_ID AND fld.TBL_ID=tbl.TBL_ID AND fld.FLD_ID=smp.FLD_ID AND smp.IDVALRID=? "
        "AND smp.PRJ_ID=? ORDER BY fld.FLD_NM",
        tableName("MDFLD").asCstr(), tableName("MDBCON").asCstr(), tableName("MTABLE").asCstr(),
        tableName("MSMPLG").asCstr());
    return select(kSource, __LINE__, Sql(sql, {valueRecordId, projectId}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ExplorerRDAImpl::listMatchDefinitions(uint32_t projectId) try {
    return select(kSource, __LINE__, Sql(rowSelect("MMDEFS") + " WHERE PRJ_ID=? ORDER BY MASN_ID", {projectId}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool ExplorerRDAImpl::getProjectByName(const VqbString& name, int folderId) try {
    return nameTaken(name, folderId, 0) == 1;
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::existsProject(uint32_t projectId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    return lookup(kSource, __LINE__, Sql(onTable("SELECT PRJ_ID FROM", "MPRJ")).where("PRJ_ID", projectId)) ==
           Lookup::Found;
} catch (...) {
    return caught(__LINE__, false);
}

// ---- clear, delete, update

bool ExplorerRDAImpl::clearProject(uint32_t projectId) try {
    return deleteKeyed(kSource, __LINE__, kProjectTables, sizeof kProjectTables / sizeof kProjectTables[0],
                       VqbDatavar(projectId));
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::deleteProject(uint32_t projectId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    ReposDeleteAnnouncement announcement(this, ReposObjectTypeName::DataExploration, projectId, kSource, __LINE__);
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    if (!clearProject(projectId)) return false;
    if (!run(kSource, __LINE__, Sql(onTable("DELETE FROM", "MPRJ")).where("PRJ_ID", projectId))) return false;
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    announcement.post();
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::updateProject(uint32_t projectId, const VqbString& name, const VqbString& comment) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (name.isEmpty()) {
        reposLog(getLogger(), 5, kSource, __LINE__, "An exploration project needs a name");
        return false;
    }
    VqbString oldName, uuid;
    // The name check and the rename are one step: paths, and with them the delete announcements,
    // would no longer tell two projects apart.
    if (!exclusively(kSource, __LINE__, [&] {
            ReposHeld<ReposDataAccessCursor> cursor(getProject(projectId));
            if (!cursor) return false;
            if (cursor->next() != 1) {
                reposLog(getLogger(), 5, kSource, __LINE__, "No exploration project with id %u", projectId);
                return false;
            }
            oldName = nullableText(cursor.get(), kProjectName);
            uuid = nullableText(cursor.get(), kProjectUuid);
            const int folderId = cursor->getInt(kProjectFolder);
            cursor.reset();
            if (refuseTakenName(__LINE__, name, folderId, projectId)) return false;
            int rows = 0;
            if (!run(kSource, __LINE__,
                     Sql(onTable("UPDATE", "MPRJ", " SET PRJ_NM=?, PRJ_COMM=? WHERE PRJ_ID=?"),
                         {name, comment, projectId}),
                     &rows))
                return false;
            if (rows == 1) return true;
            reposLog(getLogger(), 5, kSource, __LINE__, "No exploration project with id %u", projectId);
            return false;
        }))
        return false;
    reposAnnounceUpdate(getConnection(), ReposObjectTypeName::DataExploration, projectId, uuid, oldName, name);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool ExplorerRDAImpl::setProjectLastRun(uint32_t projectId, double lastRunDate, int duration, int state) try {
    int rows = 0;
    if (!run(kSource, __LINE__,
             Sql(onTable("UPDATE", "MPRJ", " SET LRDATE=?, LRDUR=?, LRST=? WHERE PRJ_ID=?"),
                 {lastRunDate, duration, state, projectId}),
             &rows))
        return false;
    if (rows != 1) {
        reposLog(getLogger(), 5, kSource, __LINE__, "No exploration project with id %u", projectId);
        return false;
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
