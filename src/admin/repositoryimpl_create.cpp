// What a new repository holds once its tables exist: the initial profile and monitor rows and the
// INFO version rows.
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbutil.h"

namespace {

const char kSource[] = "repositoryimpl";

const char kNoteCategory[] = "General";
const char kReportsFolder[] = "Profiling Reports";

struct EventRow {
    const char* code;
    const char* description;
    const char* isDefault;
};

const EventRow kEvents[] = {
    {"LOGREPOS", "Log error to repository", "Y"},
    {"LOGFILE", "Log error to text file", "N"},
    {"EMAIL", "Send email message", "N"},
    {"TABLEWRITE", "Write a row to a table", "N"},
    {"EXEC", "Execute a program", "N"},
    {"WENTJOB", "Launch a data flow job on a Quorvel server", "N"},
    {"WENTSVC", "Call a realtime service", "N"},
    {"WENTCONF", "Set a data flow key/value", "N"},
    {"WENTRAVIS", "Run a local job", "N"},
    {"PROFILE", "Run a local profile", "N"},
    {"RAISEEVENT", "Raise an event on the process job (if hosted)", "N"},
};

struct PropertyRow {
    const char* name;
    const char* value;
};

const PropertyRow kExceptionProperties[] = {
    {"STATUS", "UNRESOLVED"},  {"STATUS", "ASSIGNED"},       {"STATUS", "RESOLVED"}, {"REASON", "AGING"},
    {"REASON", "INTEGRATION"}, {"REASON", "ORGANIZATIONAL"}, {"REASON", "PROCESS"},  {"REASON", "TRANSFORMATION"},
    {"REASON", "USAGE"},       {"REASON", "USER ERROR"},
};

}  // namespace

bool RepositoryImpl::installInitialProfileData() {
    if (!status()->reportProgress("Installing initial Profile data")) return false;
    VqbDatavar id(0), category(kNoteCategory);
    if (!exec(__LINE__, VqbString::format("INSERT INTO %s (NCAT_ID, NCAT_DSC) VALUES (?, ?)", table("NOTCAT").asCstr()),
              &id, &category))
        return false;
    VqbString normalised(kReportsFolder);
    normalised.lowercase();
    VqbDatavar folder(kReportsFolder), folderNorm(normalised);
    return exec(
        __LINE__,
        VqbString::format("INSERT INTO %s (FLDR_ID, FLDR_NAM, NAM_NORM) VALUES (?, ?, ?)", table("FOLDER").asCstr()),
        &id, &folder, &folderNorm);
}

bool RepositoryImpl::installInitialMonitorData() {
    if (!status()->reportProgress("Installing initial Monitor data")) return false;
    if (!exec(__LINE__, "DELETE FROM " + table("EVENT"))) return false;
    VqbString insert =
        VqbString::format("INSERT INTO %s (EV_CODE, EV_DESC, EV_ISDEF) VALUES (?,?,?)", table("EVENT").asCstr());
    status()->reportMessage(insert);
    for (const EventRow& row : kEvents) {
        VqbDatavar code(row.code), description(row.description), isDefault(row.isDefault);
        if (!connection_->paramExec(insert, nullptr, 3, &code, &description, &isDefault))
            return failFromConnection(__LINE__);
    }
    if (!exec(__LINE__, "DELETE FROM " + table("EXPRTP"))) return false;
    insert = VqbString::format("INSERT INTO %s (PR_NAME, PR_VALUE) VALUES (?,?)", table("EXPRTP").asCstr());
    status()->reportMessage(insert);
    for (const PropertyRow& row : kExceptionProperties) {
        VqbDatavar name(row.name), value(row.value);
        if (!connection_->paramExec(insert, nullptr, 2, &name, &value)) return failFromConnection(__LINE__);
    }
    if (!ensureIdCounters()) return failFromConnection(__LINE__);
    // The dashboard step leaves its own reason.
    return ensureDashboardDefaults();
}

bool RepositoryImpl::insertInfoRow(const char* type, int version, const VqbString* description, const VqbString* uuid,
                                   const int* minorVersion) {
    VqbDatavar typeValue(type), versionValue(version);
    if (!description)
        return exec(__LINE__, VqbString::format("INSERT INTO %s (I_TYPE, I_VERS) VALUES (?,?)", table("INFO").asCstr()),
                    &typeValue, &versionValue);
    VqbDatavar descriptionValue(*description), uuidValue(uuid ? *uuid : VqbString(""));
    VqbDatavar minorValue(minorVersion ? *minorVersion : 0);
    return exec(__LINE__,
                VqbString::format("INSERT INTO %s (I_TYPE, I_VERS, I_DESC, I_UUID, I_MVER) VALUES (?,?,?,?,?)",
                                  table("INFO").asCstr()),
                &typeValue, &versionValue, &descriptionValue, &uuidValue, &minorValue);
}

bool RepositoryImpl::createInfoRows() {
    if (!connection_) return fail(__LINE__, "No repository connection.");
    if (logger_->getLevel() <= 1)
        reposLog(logger_, 1, kSource, __LINE__, "Initial insert of profile metadata into repository.");
    if (!installInitialProfileData()) return false;
    if (logger_->getLevel() <= 1)
        reposLog(logger_, 1, kSource, __LINE__, "Initial insert of monitor metadata into repository.");
    if (!installInitialMonitorData()) return false;

    // The unified row is written last: a creation cut short before it leaves a database that opens
    // as no repository, or as one whose version is refused, never as a valid one missing rows.
    bool ok = true;
    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Setting NCOA version.");
    if (!insertInfoRow("NCOA", REPOS_CURRENT_NCOA_VERSION, nullptr, nullptr, nullptr)) ok = false;
    for (const auto& entry : typeVersions_) {
        if (reposIsOwnInfoType(entry.first)) continue;
        if (logger_->getLevel() <= 1)
            reposLog(logger_, 1, kSource, __LINE__, "Setting %s version.", entry.first.asCstr());
        if (!insertInfoRow(entry.first.asCstr(), entry.second, nullptr, nullptr, nullptr)) ok = false;
    }
    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Creating of data for info table.");
    VqbString description("Velqorin Repository");
    VqbString uuid = vqbNewUUID();
    int minor = REPOS_CURRENT_MINOR_VERSION;
    if (!insertInfoRow("VQREPOSITORY", REPOS_CURRENT_VERSION, &description, &uuid, &minor)) ok = false;
    return ok;
}
