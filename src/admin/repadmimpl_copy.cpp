// Copying a whole repository into another, and creating a repository as a DDL script.
#include <algorithm>
#include <cstring>
#include <string>

#include "np_fio.h"
#include "repadmimpl.h"
#include "repos_tables.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbconfig.h"
#include "vqbmessage.h"
#include "vqbutil.h"

namespace {

// Tables a copy leaves alone in the target: its own settings and versions, and the big strings,
// which the copied rows store anew.
const char* const kNotCopied[] = {"KEYVAL", "INFO", "BIGSTR"};

bool isCopied(const char* table) {
    for (const char* name : kNotCopied)
        if (VqbString(name).equals(table, false)) return false;
    return true;
}

VqbString parameterMarks(size_t count) {
    std::string marks;
    for (size_t i = 0; i < count; ++i) marks.append(i ? ",?" : "?");
    return VqbString(std::move(marks));
}

// Builds the statements of one table from its column names. Catalogue and table-set names are plain
// identifiers, written unquoted as the tables were made: a quoted name would miss a column that
// the DBMS folded to lower case.
void buildCopy(ReposRowCopy& copy, const char* table, const VqbString& columns, ReposDataAccess* source,
               ReposDataAccess* target) {
    copy.table = table;
    copy.select = "SELECT " + columns + " FROM " + source->getTableName(table, true, -1);
    VqbString into = target->getTableName(table, true, -1);
    copy.insert = "INSERT INTO " + into + " (" + columns + ") VALUES (" + parameterMarks(copy.params.size()) + ")";
    copy.remove = "DELETE FROM " + into;
}

}  // namespace

// ---- DDL script

DDLCB::DDLCB() : prefix_(""), suffix_(""), path_("") {}

DDLCB::~DDLCB() {
    if (file_) np_fio_close(file_);
}

bool DDLCB::openDDLFile(const VqbString& path, VqbString& error) {
    if (path.isNull() || path.isEmpty()) {
        error = reposMessage(1961);
        return false;
    }
    if (file_) np_fio_close(file_);
    file_ = nullptr;
    failed_ = false;
    path_ = path;
    unsigned rc = np_fio_open(path.asCstr(), NP_FIO_WRITE, &file_);
    if (rc != NP_FIO_OK) {
        file_ = nullptr;
        error = VqbString(np_fio_errdesc(rc));
        return false;
    }
    if (VqbConfigOptions* options = vqbGetConfigOptions("")) {
        options->get("BASE/REPOS_DDL_LINE_PREFIX", prefix_);
        options->get("BASE/REPOS_DDL_LINE_SUFFIX", suffix_);
        prefix_.replaceAll("^p", "\n");
        suffix_.replaceAll("^p", "\n");
    }
    return true;
}

void DDLCB::writeDDL(const VqbString& statement) {
    if (!file_ || failed_) return;
    // A short write would leave a script that builds half a repository; close() reports it.
    const VqbString* parts[] = {&prefix_, &statement, &suffix_};
    for (const VqbString* part : parts) {
        if (part->isEmpty()) continue;
        if (np_fio_puts(file_, part->asCstr()) != static_cast<int>(part->cStrSize())) failed_ = true;
    }
    if (np_fio_puts(file_, "\n") != 1) failed_ = true;
}

bool DDLCB::close(VqbString& error) {
    unsigned rc = file_ ? np_fio_close(file_) : static_cast<unsigned>(NP_FIO_OK);
    file_ = nullptr;
    if (!failed_ && rc == NP_FIO_OK) return true;
    error =
        reposMessage(1962, path_.asCstr(), np_fio_errdesc(rc != NP_FIO_OK ? rc : static_cast<unsigned>(NP_FIO_EIO)));
    return false;
}

bool RepositoryAdminImpl::createRepositoryWithDDL(const VqbString& connection, const VqbString& tablePrefix,
                                                  const VqbString& ddlFile) try {
    // Without a file the creation would run for real.
    if (ddlFile.isNull() || ddlFile.isEmpty()) return fail(__LINE__, reposMessage(1961));
    return createRepositoryTables(connection, tablePrefix, ddlFile);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- repository copy

bool RepositoryAdminImpl::sameRepository(RepositoryImpl* source, RepositoryImpl* target, bool* same) {
    *same = source == target;
    if (*same) return true;
    // Two objects may reach one database under different texts (a path and the connector's text
    // for it, two spellings of one server): a row written through the target and seen through the
    // source tells. KEYVAL is the one table the copy never replaces.
    ReposDataAccess* from = source->connection();
    ReposDataAccess* to = target->connection();
    VqbString uuid = vqbNewUUID();
    uuid.replaceAll("-", "");
    VqbDatavar key(VqbString("~CP") + uuid.left(29));
    VqbDatavar value("repository copy");
    VqbString targetTable = to->getTableName("KEYVAL", true, -1);
    if (!to->paramExec("INSERT INTO " + targetTable + " (V_KEY, V_VALUE) VALUES (?,?)", nullptr, 2, &key, &value))
        return connectionFailure(__LINE__, to);
    int seen = 0;
    bool read = from->paramSingletonInt(
        "SELECT COUNT(*) FROM " + from->getTableName("KEYVAL", true, -1) + " WHERE V_KEY=?", &seen, 1, &key);
    VqbString readError = read ? VqbString("") : from->getLastErrorMessage();
    if (!to->paramExec("DELETE FROM " + targetTable + " WHERE V_KEY=?", nullptr, 1, &key))
        return connectionFailure(__LINE__, to);
    if (!read) return fail(__LINE__, readError.isEmpty() ? from->getGeneralErrorMessage() : readError);
    *same = seen > 0;
    return true;
}

bool RepositoryAdminImpl::copyRepository(Repository* source, Repository* target) try {
    if (!source) return fail(__LINE__, reposMessage(1307));
    if (!target) return fail(__LINE__, reposMessage(1308));
    RepositoryImpl* from = dynamic_cast<RepositoryImpl*>(source);
    RepositoryImpl* to = dynamic_cast<RepositoryImpl*>(target);
    if (!from || !to || !from->connection() || !to->connection()) return fail(__LINE__, reposMessage(1965));
    if (!from->isVersionAcceptable()) return fail(__LINE__, reposMessage(1310));
    if (!to->isVersionAcceptable()) return fail(__LINE__, reposMessage(1309));
    // Every target table is emptied before its rows are read: a repository copied onto itself
    // would lose everything.
    bool same = false;
    if (!sameRepository(from, to, &same)) return false;
    if (same) return fail(__LINE__, reposMessage(1960));

    if (!to->markCopyUnfinished(true)) return handOn(to->getErrorMessage());
    bool ok = clearBigStrings(to) && copyHistogramTables(from, to) && copyFreqDistTables(from, to) &&
              copyCatalogTables(from, to) && copySpecTables(from, to);
    if (ok && !to->markCopyUnfinished(false)) ok = handOn(to->getErrorMessage());
    return ok;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryAdminImpl::copyHistogramTables(RepositoryImpl* from, RepositoryImpl* to) {
    int targetMax = to->getMaxMetricSetId();
    int sourceMax = from->getMaxMetricSetId();
    if (targetMax < 0) return connectionFailure(__LINE__, to->connection());
    if (sourceMax < 0) return connectionFailure(__LINE__, from->connection());
    // Every table is tried; one failure fails the step.
    bool ok = true;
    for (long long n = 0; n <= targetMax; ++n) ok = to->dropMetricTables(static_cast<unsigned>(n)) && ok;
    for (long long n = 0; n <= sourceMax; ++n) {
        ok = to->copyMetricTable(from, "HSM", static_cast<unsigned>(n)) && ok;
        ok = to->copyMetricTable(from, "HCM", static_cast<unsigned>(n)) && ok;
    }
    return ok || handOn(to->getErrorMessage());
}

bool RepositoryAdminImpl::copyFreqDistTables(RepositoryImpl* from, RepositoryImpl* to) {
    int targetMax = to->getMaxFieldId();
    int sourceMax = from->getMaxFieldId();
    if (targetMax < 0) return connectionFailure(__LINE__, to->connection());
    if (sourceMax < 0) return connectionFailure(__LINE__, from->connection());
    bool ok = true;
    for (long long n = 0; n <= targetMax; ++n) ok = to->dropFrequencyTable(static_cast<unsigned>(n)) && ok;
    for (long long n = 0; n <= sourceMax; ++n)
        ok = to->copyFrequencyTable(from, static_cast<unsigned>(n)) && ok;
    return ok || handOn(to->getErrorMessage());
}

bool RepositoryAdminImpl::copyTable(ReposDataAccess* source, ReposDataAccess* target, const ReposRowCopy& copy) {
    VqbString error;
    if (reposCopyRows(source, target, copy, statusCallback_, error)) return true;
    return fail(__LINE__, error);
}

// The target's big strings are rebuilt by the rows copied into it, the work tables' included: so
// they go first, before any row that stores one.
bool RepositoryAdminImpl::clearBigStrings(RepositoryImpl* to) {
    ReposDataAccess* target = to->connection();
    VqbString sql = "DELETE FROM " + target->getTableName("BIGSTR", true, -1);
    statusCallback_->reportMessage(sql);
    if (target->paramExec(sql, nullptr, 0)) return true;
    VqbString reason = target->getLastErrorMessage();
    return fail(__LINE__, reposMessage(1311, sql.asCstr(), reason.asCstr()));
}

bool RepositoryAdminImpl::copyCatalogTables(RepositoryImpl* from, RepositoryImpl* to) {
    ReposDataAccess* source = from->connection();
    ReposDataAccess* target = to->connection();
    const int maxText = target->getMaxTextLen();
    const ReposCatalogId catalogs[] = {ReposCatalogId::Main, ReposCatalogId::Ncoa};
    for (ReposCatalogId catalog : catalogs) {
        ReposCatalogWalk walk(catalog);
        while (const ReposColumnDef* first = walk.nextTable()) {
            if (!isCopied(first->table)) continue;
            ReposRowCopy copy;
            VqbString columns("");
            ReposTableCursor cursor(first);
            ReposColumnView view;
            while (cursor.next(view)) {
                if (!columns.isEmpty()) columns.append(",");
                columns.append(view.name);
                int size = view.length;
                if (view.metric >= 0) {
                    size = static_cast<int>(standardMetricDefs[view.metric].textLength);
                    if (size == 0) size = std::min(maxText, 255);
                    copy.params.emplace_back(VQB_TYPE_STRING, size);
                    continue;
                }
                if (view.type == VQB_TYPE_STRING && (view.flags & REPOS_COL_UNLIMITED)) size = maxText;
                copy.params.emplace_back(view.type, size);
            }
            buildCopy(copy, first->table, columns, source, target);
            if (!copyTable(source, target, copy)) return false;
            if (VqbString(first->table).equals("UCURID", false) && !keepBigStringIds(to)) return false;
        }
    }
    return true;
}

// The id counters arrive from the source, but big strings stored in the target before (those of
// the work tables) already took ids from its own counter: the next one must not hand them out again.
bool RepositoryAdminImpl::keepBigStringIds(RepositoryImpl* to) {
    ReposDataAccess* target = to->connection();
    VqbString counters = target->getTableName("UCURID", true, -1);
    VqbDatavar key("BIGSTR");
    int stored = 0, counter = 0;
    if (!target->paramSingletonInt("SELECT MAX(BS_REFID) FROM " + target->getTableName("BIGSTR", true, -1), &stored,
                                   0) ||
        !target->paramSingletonInt("SELECT MAX(NI_VAL) FROM " + counters + " WHERE NI_KEY=?", &counter, 1, &key))
        return connectionFailure(__LINE__, target);
    if (counter >= stored) return true;
    VqbDatavar value(stored);
    bool ok = target->beginTransaction(false) &&
              target->paramExec("DELETE FROM " + counters + " WHERE NI_KEY=?", nullptr, 1, &key) &&
              target->paramExec("INSERT INTO " + counters + " (NI_KEY, NI_VAL) VALUES (?,?)", nullptr, 2, &key, &value);
    if (!ok) {
        connectionFailure(__LINE__, target);
        target->endTransaction(false);
        return false;
    }
    return target->endTransaction(true) || connectionFailure(__LINE__, target);
}

bool RepositoryAdminImpl::copySpecTables(RepositoryImpl* from, RepositoryImpl* to) {
    ReposDataAccess* source = from->connection();
    ReposDataAccess* target = to->connection();
    const int maxText = target->getMaxTextLen();
    for (int i = 0; i < from->getSpecCount(); ++i) {
        const ReposTableSetSpec* set = from->getSpec(i);
        if (!set) return fail(__LINE__, reposMessage(1198));
        for (const ReposTableDefSpec& definition : set->tables) {
            if (definition.columns.empty()) continue;
            ReposRowCopy copy;
            VqbString columns("");
            for (const ReposColumnSpec& column : definition.columns) {
                if (!columns.isEmpty()) columns.append(",");
                columns.append(column.name);
                int size = column.type == VQB_TYPE_STRING && column.useMaxLength ? maxText : column.length;
                copy.params.emplace_back(column.type, size);
            }
            buildCopy(copy, definition.name.asCstr(), columns, source, target);
            if (!copyTable(source, target, copy)) return false;
        }
    }
    return true;
}
