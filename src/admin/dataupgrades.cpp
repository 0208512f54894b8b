// The data steps of an upgrade. Once the tables of an existing repository are up to date, rows
// written by older versions get what the current code relies on: id counters, identity
// definition ids, UUIDs, users, dates, folders and the dashboard defaults. Every step touches only
// what is still missing, or works in one transaction, so an upgrade cut short can be run again
// without losing or doubling rows.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "curuser.h"
#include "repos_foldermgr.h"
#include "repos_metadata_rda.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqbutil.h"

namespace {

// Operations of RepositoryImpl, logged under its component name like its other files.
const char kSource[] = "repositoryimpl";

// Legacy id-counter keys and the UCURID keys that replace them.
struct CounterPair {
    int legacyKey;
    const char* key;
};

const CounterPair kProfileCounters[] = {
    {1, "JOB"},    {2, "DSN"},   {3, "TBL"}, {4, "FLD"},     {5, "EXELOG"},  {6, "TBLNOT"},
    {7, "FLDNOT"}, {8, "ALERT"}, {9, "CHT"}, {10, "NOTCAT"}, {11, "REPORT"}, {12, "FOLDER"},
};

const CounterPair kMonitorCounters[] = {
    {1, "RULE"},  {2, "RULSET"}, {3, "MFLD"},   {4, "FLDSET"}, {5, "MJOB"},    {6, "EXEC"},
    {7, "EVENT"}, {8, "CUSTM"},  {9, "HGMETA"}, {10, "EXSRC"}, {11, "BIGSTR"},
};

// Columns that older versions named otherwise. Only values the new column still lacks are
// copied: a second run must not blank rows written since (the initial rows, the shared folder).
struct RenamedColumn {
    const char* table;
    const char* column;
    const char* oldColumn;
};

const RenamedColumn kRenamedColumns[] = {
    {"NOTCAT", "NCAT_DSC", "NCAT_DESC"},         {"REDUN2", "R_CMNLFT", "R_CMN_LEFT"},
    {"REDUN2", "R_CMNRGT", "R_CMN_RIGHT"},       {"FOLDER", "FLDR_PAR", "FLDR_PARENT_ID"},
    {"FOLDER", "FLDR_NAM", "FLDR_NAME"},         {"REPORT", "RPT_CRDT", "RPT_CREATED_DATE"},
    {"REPORT", "RPT_MODT", "RPT_MODIFIED_DATE"},
};

// A text column filled where it is NULL or empty, one row at a time by key.
enum class FillValue { NewUuid, UserName };
struct FillSpec {
    const char* table;
    const char* key;
    const char* column;
    FillValue value;
};

const FillSpec kTaskUuids = {"MJOB", "JB_ID", "JB_CODE", FillValue::NewUuid};
const FillSpec kRepositoryUuid = {"INFO", "I_DESC", "I_UUID", FillValue::NewUuid};
const FillSpec kRuleUuids = {"RULE", "RU_ID", "RU_UUID", FillValue::NewUuid};
const FillSpec kRuleCreatedUser = {"RULE", "RU_ID", "RU_CRUSR", FillValue::UserName};
const FillSpec kCustomMetricUuids = {"CUSTM", "CM_ID", "CM_UUID", FillValue::NewUuid};
const FillSpec kSourceUuids = {"EXSRC", "ES_ID", "ES_UUID", FillValue::NewUuid};
const FillSpec kExplorationUuids = {"MPRJ", "PRJ_ID", "PRJ_UUID", FillValue::NewUuid};

const char kDefaultLocale[] = "ENUSA";
const char kInitialProfileProgress[] = "Installing initial Profile data";

// A cell as read: texts as stored (a big-string reference stays a reference), other values
// with their type, NULL as a null of the column's type.
VqbDatavar cellValue(ReposDataAccessCursor* cursor, int i, int type) {
    VqbDatavar value;
    if (cursor->isNull(i)) {
        value.setType(type);
        return value;
    }
    if (type == VQB_TYPE_STRING) return VqbDatavar(cursor->getString(i));
    return cursor->getValue(i);
}

bool isBlank(const VqbDatavar& value) {
    if (value.isNull()) return true;
    if (value.getType() == VQB_TYPE_STRING) return value.asString().isEmpty();
    return value.asDouble() == 0.0;
}

}  // namespace

// The steps of RepositoryImpl::applyDataUpgrades over one repository's state.
class ReposDataUpgrade {
public:
    explicit ReposDataUpgrade(RepositoryImpl& repository) : repo_(repository), db_(repository.connection_.get()) {}

    bool run(bool ncoaOnly);

    bool migrateIdCounters(bool fromProfileCounters);
    bool installInitialProfileDataOnce();
    bool copyRenamedColumns();
    bool ensureIdCounters();
    bool ensureIdentityDefinitionLinkage();
    bool ensureTaskUuids() { return fillMissing(kTaskUuids); }
    bool ensureTaskDates();
    bool ensureRepositoryUuid() { return fillMissing(kRepositoryUuid); }
    bool ensureRuleUuids() { return fillMissing(kRuleUuids); }
    bool ensureRuleCreatedUser() { return fillMissing(kRuleCreatedUser); }
    bool ensureCustomMetricUuids() { return fillMissing(kCustomMetricUuids); }
    bool ensureSourceUuids() { return fillMissing(kSourceUuids); }
    bool ensureExplorationUuids() { return fillMissing(kExplorationUuids); }
    bool ensureObjectFolders();
    bool ensureDashboardDefaults() { return repo_.ensureDashboardDefaults(); }

private:
    struct Step {
        const char* title;  // null: no log line
        bool (ReposDataUpgrade::*run)();
    };
    static const Step kSteps[];

    bool fillMissing(const FillSpec& spec);
    // Whether an index of the table is over that column alone, whatever it is called.
    bool hasIndexOn(const char* table, const char* column);
    void logTitle(int line, const char* title) {
        if (repo_.logger_->getLevel() <= 1) reposLog(repo_.logger_, 1, kSource, line, "%s", title);
    }
    VqbString table(const char* name) { return repo_.table(name); }
    void report(const VqbString& sql) { repo_.status()->reportMessage(sql); }
    // Shows the select, runs it and reads all of it into memory, so that updates of the same
    // table cannot disturb it; null with the reason as last error.
    ReposHeld<ReposDataAccessCursor> selectCached(int line, const VqbString& sql);
    // The connection's reason as last error; ends a transaction level of the step when one is open.
    bool failed(int line, bool inTransaction) {
        repo_.failFromConnection(line);
        if (inTransaction) db_->endTransaction(false);
        return false;
    }

    RepositoryImpl& repo_;
    ReposDataAccess* db_;
};

const ReposDataUpgrade::Step ReposDataUpgrade::kSteps[] = {
    {"Ensure UCURID entries are valid.", &ReposDataUpgrade::ensureIdCounters},
    {"Ensure Identity Definition linkage", &ReposDataUpgrade::ensureIdentityDefinitionLinkage},
    {"Ensure UUIDs on Tasks", &ReposDataUpgrade::ensureTaskUuids},
    {"Ensure Create/Edit Date(s) on Tasks", &ReposDataUpgrade::ensureTaskDates},
    {"Ensure UUID on Unified Repository.", &ReposDataUpgrade::ensureRepositoryUuid},
    {"Ensure UUIDs on Rules.", &ReposDataUpgrade::ensureRuleUuids},
    {"Ensure created user is set on Rules.", &ReposDataUpgrade::ensureRuleCreatedUser},
    {"Ensure UUIDs on Custom Metrics.", &ReposDataUpgrade::ensureCustomMetricUuids},
    {nullptr, &ReposDataUpgrade::ensureSourceUuids},
    {"Ensure UUIDs on Data Explorations.", &ReposDataUpgrade::ensureExplorationUuids},
    {"Ensure objects are put into folders.", &ReposDataUpgrade::ensureObjectFolders},
    {"Ensure monitor dashboard default objects exist.", &ReposDataUpgrade::ensureDashboardDefaults},
};

bool RepositoryImpl::applyDataUpgrades(bool ncoaOnly) {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    ReposDataUpgrade steps(*this);
    return steps.run(ncoaOnly);
}

bool ReposDataUpgrade::run(bool ncoaOnly) {
    if (!repo_.status()->reportProgress("Applying data upgrades")) return false;
    if (ncoaOnly) return true;

    const RepositoryKind kind = repo_.kind_;
    const bool viaConnector = repo_.accessMode_ == REPOS_ACCESS_CONNECTOR;
    const bool hasProfile = kind == REPOS_KIND_PROFILE || kind == REPOS_KIND_PROFILE_AND_MONITOR;
    const bool hasMonitor = kind == REPOS_KIND_MONITOR || kind == REPOS_KIND_PROFILE_AND_MONITOR;
    if (kind != REPOS_KIND_UNIFIED) {
        if (viaConnector) {
            if (hasProfile && !migrateIdCounters(true)) return false;
            if (hasMonitor && !migrateIdCounters(false)) return false;
        }
        if (kind == REPOS_KIND_PROFILE && !repo_.installInitialMonitorData()) return false;
        if (kind == REPOS_KIND_MONITOR && !installInitialProfileDataOnce()) return false;
        if (!copyRenamedColumns()) return false;
        // Profile result sets from before these versions were made without the initial rows.
        const int initialRowsSince = viaConnector ? 5 : 18;
        if (hasProfile && repo_.version_ < initialRowsSince && !installInitialProfileDataOnce()) return false;
    } else {
        logTitle(__LINE__, "Insert Monitor information");
        if (!repo_.installInitialMonitorData()) return false;
        // A file made directly names the index otherwise; a second one would only slow writes.
        if (!hasIndexOn("MCDIST", "MC_VALUE"))
            db_->createIndex("MCDIST", "MC_VALUE", db_->getIndexName(115, VqbString("")));
        if (repo_.version_ < REPOS_CURRENT_VERSION ||
            (repo_.version_ == REPOS_CURRENT_VERSION && repo_.minorVersion_ < REPOS_CURRENT_MINOR_VERSION)) {
            // Repositories before minor version 1 count patterns in PA_COUNT; fails harmlessly
            // where that column never existed.
            const VqbString copy = "UPDATE " + table("PATDST") + " SET PA_COUNT2 = PA_COUNT";
            report(copy);
            db_->paramExec(copy, nullptr, 0);
        }
    }

    for (const Step& step : kSteps) {
        if (step.title) logTitle(__LINE__, step.title);
        if (!(this->*step.run)()) return false;
    }
    return true;
}

bool ReposDataUpgrade::hasIndexOn(const char* table, const char* column) {
    ReposHeld<ReposDataAccessCursor> indexes(db_->getIndexes(table));
    while (indexes && indexes->next() == 1)
        if (indexes->getString(1).equals(column, false)) return true;
    return false;
}

bool ReposDataUpgrade::migrateIdCounters(bool fromProfileCounters) {
    const VqbString select =
        "SELECT NI_VAL FROM " + table(fromProfileCounters ? "CURID" : "MCURID") + " WHERE NI_KEY = ?";
    const VqbString insert = "INSERT INTO " + table("UCURID") + " (NI_KEY, NI_VAL) VALUES( ?, ?)";
    const CounterPair* pairs = fromProfileCounters ? kProfileCounters : kMonitorCounters;
    const size_t count = fromProfileCounters ? sizeof kProfileCounters / sizeof kProfileCounters[0]
                                             : sizeof kMonitorCounters / sizeof kMonitorCounters[0];
    for (size_t i = 0; i < count; ++i) {
        report(select);
        VqbDatavar legacyKey(pairs[i].legacyKey);
        ReposHeld<ReposDataAccessCursor> cursor(db_->paramSelect(select, 1, &legacyKey));
        if (!cursor) return failed(__LINE__, false);
        int state = cursor->next();
        if (state == 2) {
            return repo_.fail(__LINE__, reposMessage(485));
        }
        if (state == 0) {
            cursor.reset();
            continue;
        }
        VqbDatavar value(static_cast<long long>(cursor->getValue(0).asInt64()));
        cursor.reset();
        // A key already in UCURID is inserted again: the counter reads the largest of its rows.
        VqbDatavar key(pairs[i].key);
        report(insert);
        if (!db_->paramExec(insert, nullptr, 2, &key, &value)) return failed(__LINE__, false);
    }
    return true;
}

bool ReposDataUpgrade::installInitialProfileDataOnce() {
    // A repository that has the rows, or an upgrade cut short after adding them, must not get them
    // twice (the upgraded tables have no keys to refuse a second copy).
    struct InitialRow {
        const char* table;
        const char* key;
    };
    static const InitialRow kRows[] = {{"NOTCAT", "NCAT_ID"}, {"FOLDER", "FLDR_ID"}};
    int present = 0;
    for (const InitialRow& row : kRows) {
        int count = 0;
        const VqbString sql =
            VqbString::format("SELECT COUNT(*) FROM %s WHERE %s = 0", table(row.table).asCstr(), row.key);
        report(sql);
        if (!db_->paramSingletonInt(sql, &count, 0)) return failed(__LINE__, false);
        if (count > 0) ++present;
    }
    if (present != 0) {
        if (!repo_.status()->reportProgress(kInitialProfileProgress)) return false;
        if (repo_.logger_->getLevel() <= 1)
            reposLog(repo_.logger_, 1, kSource, __LINE__, "Initial profile rows are already present.");
        return true;
    }
    // Both rows or neither.
    if (!db_->beginTransaction(false)) return failed(__LINE__, false);
    if (!repo_.installInitialProfileData()) {
        db_->endTransaction(false);
        return false;
    }
    return db_->endTransaction(true) || failed(__LINE__, false);
}

bool ReposDataUpgrade::copyRenamedColumns() {
    // A file opened directly was made by this library's own back end under the new names.
    if (repo_.accessMode_ != REPOS_ACCESS_CONNECTOR) return true;
    for (const RenamedColumn& renamed : kRenamedColumns) {
        const VqbString sql = VqbString::format("UPDATE %s SET %s = %s WHERE %s IS NULL", table(renamed.table).asCstr(),
                                                renamed.column, renamed.oldColumn, renamed.column);
        report(sql);
        // Fails where the old column never existed; nothing to copy there.
        db_->paramExec(sql, nullptr, 0);
    }
    return true;
}

bool ReposDataUpgrade::ensureIdCounters() {
    if (repo_.ensureIdCounters()) return true;
    // The step itself only logs; the upgrade still needs a reason.
    return failed(__LINE__, false);
}

ReposHeld<ReposDataAccessCursor> ReposDataUpgrade::selectCached(int line, const VqbString& sql) {
    report(sql);
    ReposHeld<ReposDataAccessCursor> cursor(db_->paramSelect(sql, 0));
    if (!cursor) {
        failed(line, false);
        return nullptr;
    }
    if (!cursor->cacheAll()) {
        repo_.fail(line, reposMessage(1316));
        return nullptr;
    }
    return cursor;
}

bool ReposDataUpgrade::fillMissing(const FillSpec& spec) {
    const VqbString target = table(spec.table);
    ReposHeld<ReposDataAccessCursor> cursor =
        selectCached(__LINE__, VqbString::format("SELECT %s FROM %s WHERE %s IS NULL OR %s = ''", spec.key,
                                                 target.asCstr(), spec.column, spec.column));
    if (!cursor) return false;
    const VqbString update =
        VqbString::format("UPDATE %s SET %s = ? WHERE %s = ?", target.asCstr(), spec.column, spec.key);
    const VqbString user = spec.value == FillValue::UserName ? getCurrentUserName() : VqbString("");
    report(update);
    // One transaction for the step: one write to a file instead of one per row.
    if (!db_->beginTransaction(false)) {
        return failed(__LINE__, false);
    }
    int state;
    while ((state = cursor->next()) == 1) {
        VqbDatavar key = cellValue(cursor.get(), 0, VQB_TYPE_NULL);
        // "= NULL" matches no row.
        if (key.isNull()) continue;
        VqbDatavar value(spec.value == FillValue::NewUuid ? vqbNewUUID() : user);
        if (!db_->paramExec(update, nullptr, 2, &value, &key)) {
            return failed(__LINE__, true);
        }
    }
    cursor.reset();
    if (state == 2) {
        db_->endTransaction(false);
        return repo_.fail(__LINE__, reposMessage(1316));
    }
    return db_->endTransaction(true) || failed(__LINE__, false);
}

bool ReposDataUpgrade::ensureTaskDates() {
    const VqbString tasks = table("MJOB");
    // The users and edit date a task already has are kept; only what is missing is stamped.
    auto cursor = selectCached(__LINE__, "SELECT JB_ID, JB_CRUSR, JB_EDDAT, JB_EDUSR FROM " + tasks +
                                             " WHERE JB_CRDAT IS NULL OR JB_CRDAT = 0.0");
    if (!cursor) return false;
    struct Task {
        VqbDatavar createdUser, editDate, editUser;
    };
    std::map<int64_t, Task> missing;
    int state;
    while ((state = cursor->next()) == 1) {
        if (cursor->isNull(0)) continue;
        int64_t id = cursor->getValue(0).asInt64();
        if (missing.count(id)) continue;
        missing[id] = Task{cellValue(cursor.get(), 1, VQB_TYPE_STRING), cellValue(cursor.get(), 2, VQB_TYPE_REAL),
                           cellValue(cursor.get(), 3, VQB_TYPE_STRING)};
    }
    cursor.reset();
    if (state == 2) return repo_.fail(__LINE__, reposMessage(1316));
    if (missing.empty()) return true;

    const VqbDatavar now(VqbDate::currentDate().asDouble());
    const VqbDatavar user(getCurrentUserName());
    const VqbString update = "UPDATE " + tasks + " SET JB_CRDAT=?, JB_CRUSR=?, JB_EDDAT=?, JB_EDUSR=? WHERE JB_ID = ?";
    report(update);
    if (!db_->beginTransaction(false)) return failed(__LINE__, false);
    for (const auto& entry : missing) {
        const Task& task = entry.second;
        const VqbDatavar& createdUser = isBlank(task.createdUser) ? user : task.createdUser;
        const VqbDatavar& editDate = isBlank(task.editDate) ? now : task.editDate;
        const VqbDatavar& editUser = isBlank(task.editUser) ? user : task.editUser;
        VqbDatavar id(static_cast<long long>(entry.first));
        if (!db_->paramExec(update, nullptr, 5, &now, &createdUser, &editDate, &editUser, &id))
            return failed(__LINE__, true);
    }
    return db_->endTransaction(true) || failed(__LINE__, false);
}

bool ReposDataUpgrade::ensureIdentityDefinitionLinkage() {
    const VqbString definitions = table("MIDDEF");
    const VqbString values = table("MDEFVL");
    int linked = 0;
    // A failed count goes on as if no definition were linked.
    if (db_->paramSingletonInt("SELECT COUNT(ID_UID) FROM " + definitions + " WHERE ID_UID > 0", &linked, 0) &&
        linked >= 1)
        return true;

    // Every column of the definitions, so that none (GC_ID, LOCALE) is lost on the way.
    struct Column {
        const char* name;
        int type;
        int length;
    };
    std::vector<Column> columns;
    int identCol = -1, projectCol = -1, sampleCol = -1, uidCol = -1, localeCol = -1;
    ReposCatalogWalk walk(ReposCatalogId::Main);
    while (const ReposColumnDef* record = walk.next()) {
        if (isReposEndRecord(record) || !record->column || std::string(record->table) != "MIDDEF") continue;
        const std::string name(record->column);
        int index = static_cast<int>(columns.size());
        if (name == "IDENT_ID") identCol = index;
        if (name == "PRJ_ID") projectCol = index;
        if (name == "SMPTYP") sampleCol = index;
        if (name == "ID_UID") uidCol = index;
        if (name == "LOCALE") localeCol = index;
        columns.push_back({record->column, record->type, static_cast<int>(record->length)});
    }
    if (identCol < 0 || projectCol < 0 || sampleCol < 0 || uidCol < 0) return repo_.fail(__LINE__, reposMessage(1161));
    VqbString list(""), markers("");
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) {
            list.append(", ");
            markers.append(",");
        }
        list.append(columns[i].name);
        markers.append("?");
    }

    // The definitions are taken out and put back with their new ids in one transaction: a failure
    // or a stop part-way leaves them as they were.
    if (!db_->beginTransaction(false)) return failed(__LINE__, false);
    ReposHeld<ReposDataAccessCursor> cursor(db_->paramSelect("SELECT " + list + " FROM " + definitions, 0));
    if (!cursor) return failed(__LINE__, true);
    std::vector<std::vector<VqbDatavar>> rows;
    int state;
    while ((state = cursor->next()) == 1) {
        std::vector<VqbDatavar> row;
        row.reserve(columns.size());
        for (size_t i = 0; i < columns.size(); ++i)
            row.push_back(cellValue(cursor.get(), static_cast<int>(i), columns[i].type));
        rows.push_back(std::move(row));
    }
    cursor.reset();
    if (state == 2) {
        db_->endTransaction(false);
        return repo_.fail(__LINE__, reposMessage(485));
    }

    if (!db_->paramExec("DELETE FROM " + definitions, nullptr, 0)) return failed(__LINE__, true);
    ReposHeld<ReposDataAccessStatement> insert(
        db_->createStatement("INSERT INTO " + definitions + " (" + list + ") VALUES (" + markers + ")"));
    if (!insert) return failed(__LINE__, true);
    auto insertFailed = [&](int line) {
        VqbString text = repo_.statementError(insert.get());
        insert.reset();
        db_->endTransaction(false);
        return repo_.fail(line, text);
    };
    for (size_t i = 0; i < columns.size(); ++i)
        insert->setParameterInfo(static_cast<int>(i), columns[i].type, columns[i].length);
    for (std::vector<VqbDatavar>& row : rows) {
        VqbDatavar id;
        if (!db_->getNextId("MIDDEF", &id)) {
            return failed(__LINE__, true);
        }
        row[uidCol] = VqbDatavar(static_cast<long long>(id.asInt64()));
        if (localeCol >= 0 && isBlank(row[localeCol])) row[localeCol] = VqbDatavar(kDefaultLocale);
        for (size_t i = 0; i < columns.size(); ++i)
            if (!insert->setParameter(static_cast<int>(i), row[i])) return insertFailed(__LINE__);
        if (!insert->execute()) return insertFailed(__LINE__);
    }
    insert.reset();

    // Identification values point at the definition's number; they are re-pointed at its new id.
    // The sample type is matched as 1 or anything else (0).
    const VqbString findValues = "SELECT IDVALRID FROM " + values + " WHERE IDENT_ID=? AND PRJ_ID=? AND SMPTYP=?";
    std::map<int64_t, int64_t> relink;
    for (const std::vector<VqbDatavar>& row : rows) {
        // "= NULL" matches no value.
        if (row[identCol].isNull() || row[projectCol].isNull()) continue;
        VqbDatavar ident(static_cast<long long>(row[identCol].asInt64()));
        VqbDatavar project(static_cast<long long>(row[projectCol].asInt64()));
        VqbDatavar sample(!row[sampleCol].isNull() && row[sampleCol].asInt64() == 1 ? 1 : 0);
        ReposHeld<ReposDataAccessCursor> found(db_->paramSelect(findValues, 3, &ident, &project, &sample));
        if (!found) return failed(__LINE__, true);
        while ((state = found->next()) == 1)
            if (!found->isNull(0)) relink.emplace(found->getValue(0).asInt64(), row[uidCol].asInt64());
        found.reset();
        if (state == 2) {
            db_->endTransaction(false);
            return repo_.fail(__LINE__, reposMessage(485));
        }
    }
    const VqbString repoint = "UPDATE " + values + " SET IDENT_ID=? WHERE IDVALRID=?";
    for (const auto& entry : relink) {
        VqbDatavar uid(static_cast<long long>(entry.second)), record(static_cast<long long>(entry.first));
        if (!db_->paramExec(repoint, nullptr, 2, &uid, &record)) return failed(__LINE__, true);
    }
    return db_->endTransaction(true) || failed(__LINE__, false);
}

bool ReposDataUpgrade::ensureObjectFolders() {
    // Folder names from older versions lack their normalised form; supplied however the moves went.
    auto normaliseFolderNames = [&]() {
        ReposHeld<MetadataRepositoryDataAccess> metadata(repo_.createMetadataRepositoryDataAccess());
        if (!metadata) return;
        VqbString error;
        if (!metadata->normalizeFolderNames(repo_.statusCallback_, error))
            reposLog(repo_.logger_, 2, kSource, __LINE__, "%s", error.asCstr());
    };

    ReposHeld<RepositoryFolderManager> manager(repo_.createRepositoryFolderManager());
    if (!manager) {
        normaliseFolderNames();
        return repo_.fail(__LINE__, reposMessage(530));
    }
    unsigned folderId = 0;
    if (!manager->getOrphanedObjectsFolderId(folderId)) {
        VqbString reason = manager->getErrorMessage();
        manager.reset();
        normaliseFolderNames();
        return repo_.fail(__LINE__, reason.isEmpty() ? repo_.connectionError() : reason);
    }
    ReposHeld<ReposDataAccessCursor> cursor(manager->listItemsNotInFolder());
    if (!cursor) {
        if (repo_.logger_->getLevel() <= 1)
            reposLog(repo_.logger_, 1, kSource, __LINE__, "There are no objects to migrate to folders.");
        manager.reset();
        normaliseFolderNames();
        return true;
    }
    if (repo_.logger_->getLevel() <= 1)
        reposLog(repo_.logger_, 1, kSource, __LINE__, "Put objects in to default shared data folder.");
    int state;
    while ((state = cursor->next()) == 1) {
        VqbString typeName = cursor->getString(0);
        int id = cursor->getInt(2);
        if (!manager->moveObjectToFolder(id, typeName, folderId)) {
            VqbString text = VqbString::format("Error moving %s to folder=\"%d\":  %s", typeName.asCstr(),
                                               static_cast<int>(folderId), manager->getErrorMessage().asCstr());
            return repo_.fail(__LINE__, text);
        }
    }
    cursor.reset();
    if (state == 2) return repo_.fail(__LINE__, reposMessage(485));
    manager.reset();
    normaliseFolderNames();
    return true;
}
