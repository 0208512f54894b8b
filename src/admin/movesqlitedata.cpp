// Rebuilding a repository's profile tables and frequency tables from a legacy result-set file.
#include "movesqlitedata.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <new>
#include <set>
#include <string>

#include "repos_tables.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbdatavar.h"
#include "vqbmessage.h"

namespace {

const char kSource[] = "movesqlitedata";
constexpr double kAny = kLegacyAnyVersion;
const char kNoSource[] = "";

// Files below these versions lack what the readers name.
constexpr double kFrequencyTablesPerField = 1.9;
constexpr double kQueryTableSqlKept = 1.8;

// The host can stop the rebuild in the middle of a big table at least this often.
constexpr int kProgressRows = 10000;

using D = LegacyDefaultValue;
const D kReportRow[] = {{"RPT_ID", D::Integer, 1, nullptr},      {"FLDR_ID", D::Integer, 0, nullptr},
                        {"RPT_NAME", D::Text, 0, "Default"},     {"RPT_CRDT", D::Now, 0, nullptr},
                        {"RPT_MODT", D::Now, 0, nullptr},        {"RPT_USER", D::Text, 0, "UPGRADE"},
                        {nullptr, D::End, 0, nullptr}};
const D kJobRow[] = {{"JOB_ID", D::Integer, 1, nullptr}, {"RPT_ID", D::Integer, 1, nullptr},
                     {"JOB_DATE", D::Now, 0, nullptr},   {"JOB_DESC", D::Text, 0, "Default"},
                     {nullptr, D::End, 0, nullptr}};

#define FLD_COLUMNS                                                                                        \
    "select dsn_id, tbl_id, fld_id, fld_type, fld_name, met_0, met_1, met_2, met_3, met_4, met_5, met_6, " \
    "met_7, met_8, met_9, met_10, met_11, met_12, met_13, met_14, met_15, met_16, met_17, met_18, met_19, " \
    "met_20, met_21, met_22, "
#define TBL_COLUMNS "select dsn_id, tbl_id, tbl_schema, tbl_name, tbl_filter, tbl_filter_expr, "

using K = LegacyReaderKind;
const LegacyTableDef kLegacyTables[] = {
    {"INFO", nullptr, K::NotCopied, 0, {}, nullptr},
    {"UCURID", nullptr, K::NotCopied, 0, {}, nullptr},
    {"FOLDER", nullptr, K::NotCopied, 0, {}, nullptr},
    // The legacy distributions arrive per field in the frequency phase; the catalogue's own
    // FRQDST has other columns than a legacy frequency table.
    {"FRQDST", "TR_FRQDST", K::NotCopied, 0, {}, nullptr},
    {"REPORT", "TR_REPORT", K::Positional, 0, {{kAny, nullptr, kNoSource}}, kReportRow},
    {"JOB", "TR_JOB", K::Positional, 0,
     {{1.4, nullptr, kNoSource}, {kAny, "job", "select job_id, 1 as rpt_id, job_date, job_desc from job"}},
     kJobRow},
    {"DSN", "TR_DSN", K::Positional, 0,
     {{1.4, "dsn", "select dsn_id, 1 as job_id, dsn_name, dsn_conn, 'N' as dsn_tf from dsn"},
      {1.6, "dsn", "select dsn_id, job_id, dsn_name, dsn_conn, 'N' as dsn_tf from dsn"},
      {kAny, "dsn", "select dsn_id, job_id, dsn_name, dsn_conn, dsn_textfile as dsn_tf from dsn"}},
     nullptr},
    {"JOBCFG", "TR_JOBCFG", K::Positional, 0,
     {{1.4, "key_values", "select 1 as job_id, v_key, v_value from key_values"}, {kAny, nullptr, nullptr}},
     nullptr},
    {"TBL", "TR_TBL", K::TableFilter, 0,
     {{1.1, "tbl", TBL_COLUMNS "'' as tbl_fsql, tbl_tot_rows, tbl_tot_filtered, 1 as tbl_sint from tbl"},
      {1.8, "tbl", TBL_COLUMNS "'' as tbl_fsql, tbl_tot_rows, tbl_tot_filtered, tbl_sample_int from tbl"},
      {kAny, "tbl", TBL_COLUMNS "tbl_filter_sql, tbl_tot_rows, tbl_tot_filtered, tbl_sample_int from tbl"}},
     nullptr},
    {"FLD", "TR_FLD", K::Positional, 0,
     {{1.4, "fld", FLD_COLUMNS "0 as met_23 from fld"}, {kAny, "fld", FLD_COLUMNS "met_23 from fld"}},
     nullptr},
    {"PATDST", "TR_PATDST", K::Positional, 0, {{kAny, "patdist", "select fld_id, pa_value, pa_count2 from patdist"}},
     nullptr},
    {"PTILE", "TR_PTILE", K::Positional, 0,
     {{kAny, "ptile", "select fld_id, pt_interval as pt_intvl, pt_value from ptile"}}, nullptr},
    {"OUTLR", "TR_OUTLR", K::Positional, 0,
     {{kAny, "outlier", "select fld_id, ou_type, ou_ordinal as ou_ordnl, ou_value from outlier"}}, nullptr},
    {"PKFK", "TR_PKFK", K::Positional, 1.1, {{kAny, "pkfk", "select fld_id, pf_fld_id, pf_percent from pkfk"}},
     nullptr},
    {"MCDIST", "TableRead", K::Positional, 1.1, {{kAny, nullptr, nullptr}}, nullptr},
    {"FLDPRP", "TR_FLDPRP", K::Positional, 1.1,
     {{kAny, "fld_prop", "select dsn_id, tbl_id, fld_id, pr_name, pr_value from fld_prop"}}, nullptr},
    {"EXELOG", "TR_EXELOG", K::Positional, 1.2,
     {{kAny, "exec_log", "select el_id, dsn_id, tbl_id, el_task, el_status, el_seconds, el_message from exec_log"}},
     nullptr},
    {"TBLNOT", "TR_TBLNOT", K::Positional, 1.4,
     {{1.8, "tbl_notes", "select tn_id, tbl_id, tn_type, tn_note, tn_user, tn_date, 0 as ncat_id from tbl_notes"},
      {kAny, "tbl_notes", "select tn_id, tbl_id, tn_type, tn_note, tn_user, tn_date, ncat_id from tbl_notes"}},
     nullptr},
    {"FLDNOT", "TR_FLDNOT", K::Positional, 1.4,
     {{1.8, "fld_notes", "select fn_id, fld_id, fn_note, fn_user, fn_date, 0 as ncat_id from fld_notes"},
      {kAny, "fld_notes", "select fn_id, fld_id, fn_note, fn_user, fn_date, ncat_id from fld_notes"}},
     nullptr},
    {"ALERT", "TR_ALERT", K::Positional, 1.5,
     {{1.6, "alert",
       "select al_id, job_id, al_dsn, al_schema, al_tbl, al_fld, al_filt, al_desc, al_rule, al_error, "
       "'N' as al_textfile from alert"},
      {kAny, "alert",
       "select al_id, job_id, al_dsn, al_schema, al_tbl, al_fld, al_filt, al_desc, al_rule, al_error, "
       "al_textfile from alert"}},
     nullptr},
    {"ALPROP", "TableRead", K::Positional, 1.5, {{kAny, nullptr, nullptr}}, nullptr},
    {"CHART", "TR_CHART", K::Positional, 1.5,
     {{1.6, "chart",
       "select ch_id, ch_dsn, ch_schema, ch_tbl, ch_fld, ch_filt, ch_desc, 'N' as ch_textfile from chart"},
      {kAny, "chart", "select ch_id, ch_dsn, ch_schema, ch_tbl, ch_fld, ch_filt, ch_desc, ch_textfile from chart"}},
     nullptr},
    {"CHPROP", "TableRead", K::Positional, 1.5, {{kAny, nullptr, nullptr}}, nullptr},
    {"TFINF", "TR_TFINF", K::Positional, 1.6,
     {{1.7, "tf_info",
       "select tbl_name, tf_filename, tf_delimiter, tf_textqual, tf_skiprows, tf_recwidth, 0 as tf_maxrows, "
       "'N' as tf_truncate from tf_info"},
      {kAny, "tf_info",
       "select tbl_name, tf_filename, tf_delimiter, tf_textqual, tf_skiprows, tf_recwidth, tf_maxrows, "
       "tf_truncate from tf_info"}},
     nullptr},
    {"TFFINF", "TR_TFFINF", K::Positional, 1.6,
     {{kAny, "tff_info",
       "select tbl_name, tff_fieldname, tff_type, tff_length, tff_startpos, tff_ordinal from tff_info"}},
     nullptr},
    {"NOTCAT", "TR_NOTCAT", K::Positional, 1.8, {{kAny, "note_cat", "select ncat_id, ncat_desc from note_cat"}},
     nullptr},
    {"REDUN2", "TR_REDUN2", K::Positional, 1.1,
     {{2.0, "redun",
       "select fld_id, r_fld_id, r_left, r_common as r_cmnlft, r_right, 0 as r_cmnrgt from redun"},
      {kAny, "redun2", "select fld_id, r_fld_id, r_left, r_cmn_left, r_right, r_cmn_right from redun2"}},
     nullptr},
};

// Every other catalogue table: a legacy table of the same name and columns.
const LegacyTableDef kOtherTable = {nullptr, "TableRead", K::Positional, 0, {{kAny, nullptr, nullptr}}, nullptr};

const LegacySource* chooseSource(const LegacyTableDef& def, double version) {
    if (def.kind == K::NotCopied || version < def.since) return nullptr;
    for (const LegacySource& source : def.sources)
        if (source.below > 0 && version < source.below) return &source;
    return nullptr;
}

bool sameName(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

// How the rows of a table ended.
enum class CopyEnd { Done, ReadError, WriteError, Stopped };

class LegacyRebuild {
public:
    LegacyRebuild(RepositoryStatusCallback* callback, VqbString& error)
        : callback_(callback ? callback : &dummy_), error_(error), logger_(vqlogGetLogger(REPOS_LOGGER_REPOSITORY)) {}
    ~LegacyRebuild() {
        if (source_) source_->close();
        if (target_) target_->close();
    }

    bool run(const VqbString& sourcePath, const VqbString& targetPath);

private:
    bool openFiles(const VqbString& sourcePath, const VqbString& targetPath);
    bool readSourceTables();
    bool copyCatalogueTables();
    bool copyCatalogueTable(const ReposColumnDef* first);
    bool copyFrequencyTables();
    bool copyFrequencyTable(const VqbString& legacyName, const VqbString& fieldId);
    bool listFrequencyTables(std::vector<VqbString>& names);
    bool copyTable(TableRead& reader, SqliteStatement& insert, const char* table, const char* legacyTable,
                   size_t columns);
    // A table not copied whole: shown, and the rebuild's result becomes false with the text.
    bool incomplete(int line, const VqbString& text);
    // limit: the rows the legacy table holds, -1 for rows the reader makes itself.
    CopyEnd copyRows(TableRead& reader, SqliteStatement& insert, size_t parameters, const char* table,
                     long long limit, int& rows, VqbString& why);
    // The rows a real table of the legacy file holds; -1 when they cannot be counted (why set).
    long long sourceRowCount(const char* table, VqbString& why);

    // Shows and runs a statement on the destination; failure as fail().
    bool execTarget(int line, const VqbString& sql);
    void rollback();
    SqliteStatement* prepareTarget(int line, const VqbString& sql);
    bool sourceHas(const char* table) const;
    bool sourceIsView(const char* table) const;

    // The reason as error text: shown, logged at level 5; false.
    bool fail(int line, const VqbString& text);
    // Shown and logged at level 4; the rebuild goes on.
    void note(int line, const VqbString& text);
    VqbString targetError() const {
        VqbString text;
        target_->getErrorMessage(text);
        return text;
    }

    DummyCallback dummy_;
    RepositoryStatusCallback* callback_;
    VqbString& error_;
    VqLogger* logger_;
    SqliteDatabase* source_ = nullptr;
    SqliteDatabase* target_ = nullptr;
    double version_ = 0;
    // Lower case. Views are never read: every read runs them again, and one that recurses never
    // ends.
    std::set<std::string> sourceTables_;
    std::set<std::string> sourceViews_;
    // A table the file holds could not be copied whole; the walk went on.
    bool incomplete_ = false;
    VqbString incompleteReason_;
};

bool LegacyRebuild::fail(int line, const VqbString& text) {
    error_ = text;
    callback_->reportMessage(text);
    reposLog(logger_, 5, kSource, line, "%s", text.asCstr());
    return false;
}

void LegacyRebuild::note(int line, const VqbString& text) {
    callback_->reportMessage(text);
    reposLog(logger_, 4, kSource, line, "%s", text.asCstr());
}

bool LegacyRebuild::execTarget(int line, const VqbString& sql) {
    callback_->reportMessage(sql);
    if (target_->execute(sql, nullptr)) return true;
    return fail(line, targetError());
}

// After a failure the reason is already kept; the rollback's own outcome adds nothing.
void LegacyRebuild::rollback() {
    if (!target_->inTransaction()) return;
    VqbString sql("ROLLBACK TRANSACTION");
    callback_->reportMessage(sql);
    target_->execute(sql, nullptr);
}

SqliteStatement* LegacyRebuild::prepareTarget(int line, const VqbString& sql) {
    callback_->reportMessage(sql);
    SqliteStatement* statement = target_->prepare(sql);
    if (!statement) fail(line, targetError());
    return statement;
}

namespace {
bool holds(const std::set<std::string>& names, const char* table) {
    VqbString name(table);
    name.lowercase();
    return names.count(name.str()) != 0;
}
}  // namespace

bool LegacyRebuild::sourceHas(const char* table) const { return holds(sourceTables_, table); }
bool LegacyRebuild::sourceIsView(const char* table) const { return holds(sourceViews_, table); }

long long LegacyRebuild::sourceRowCount(const char* table, VqbString& why) {
    SqliteCursor* cursor = source_->query(VqbString::format("SELECT count(*) FROM \"%s\"", table));
    if (!cursor) {
        source_->getErrorMessage(why);
        return -1;
    }
    long long count = -1;
    if (cursor->next() == 1)
        count = cursor->getInt64(0);
    else
        cursor->getErrorMessage(why);
    cursor->release();
    return count;
}

bool LegacyRebuild::run(const VqbString& sourcePath, const VqbString& targetPath) {
    error_ = VqbString("");
    if (!openFiles(sourcePath, targetPath) || !copyCatalogueTables() || !copyFrequencyTables()) return false;
    if (incomplete_) return fail(__LINE__, incompleteReason_);
    return true;
}

bool LegacyRebuild::openFiles(const VqbString& sourcePath, const VqbString& targetPath) {
    source_ = openSqliteDatabase(sourcePath.asCstr(), 0);
    if (!source_) return fail(__LINE__, getSqliteErrorMessage());
    if (!readSourceTables()) return false;
    if (sourceIsView("info")) return fail(__LINE__, reposMessage(1289, reposMessage(1923, "info").asCstr()));
    VqbString versionSql("SELECT i_version FROM info WHERE i_type='PROFILE_RESULTSET'");
    callback_->reportMessage(versionSql);
    if (!source_->queryReal(versionSql, &version_)) {
        VqbString reason;
        source_->getErrorMessage(reason);
        return fail(__LINE__, reposMessage(1289, reason.asCstr()));
    }
    target_ = openSqliteDatabase(targetPath.asCstr(), 0);
    if (!target_) return fail(__LINE__, getSqliteErrorMessage());
    return true;
}

// A file whose table list cannot be read (no database at all) has no readable version either.
bool LegacyRebuild::readSourceTables() {
    VqbString why;
    ReposHeld<SqliteCursor> cursor(source_->query("SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view')"));
    if (!cursor) {
        source_->getErrorMessage(why);
        return fail(__LINE__, reposMessage(1289, why.asCstr()));
    }
    int state;
    while ((state = cursor->next()) == 1) {
        VqbString name = cursor->getText(0);
        name.lowercase();
        (cursor->getText(1) == VqbString("view") ? sourceViews_ : sourceTables_).insert(name.str());
    }
    if (state == 2) cursor->getErrorMessage(why);
    cursor.reset();
    if (state == 2) return fail(__LINE__, reposMessage(1289, why.asCstr()));
    return true;
}

bool LegacyRebuild::copyCatalogueTables() {
    ReposCatalogWalk walk(ReposCatalogId::Main);
    for (const ReposColumnDef* first = walk.nextTable(); first; first = walk.nextTable()) {
        // Monitor tables have no legacy source.
        if (first->area == REPOS_AREA_MONITOR) continue;
        if (!callback_->reportProgress(VqbString::format("Table %s", first->table))) return false;
        if (!copyCatalogueTable(first)) return false;
    }
    return true;
}

bool LegacyRebuild::copyCatalogueTable(const ReposColumnDef* first) {
    const char* table = first->table;
    std::vector<VqbString> columns;
    VqbString columnList(""), placeholders("");
    ReposTableCursor cursor(first);
    ReposColumnView column;
    while (cursor.next(column)) {
        if (!columns.empty()) {
            columnList += column.metric > 0 ? "," : ", ";
            placeholders += ", ";
        }
        columns.emplace_back(column.name);
        columnList += column.name;
        placeholders += "?";
    }

    TableRead::Setup setup{&columns, source_, nullptr, version_};
    const LegacyTableDef& def = findLegacyTableDef(table);
    const LegacySource* source = chooseSource(def, version_);
    if (!source) return true;
    // Tables the legacy format never had are passed over quietly; a table a reader expects at
    // this version is worth a word.
    const char* legacyTable = source->table ? source->table : table;
    bool madeRows = source->sql && !source->sql[0];
    if (!madeRows && sourceIsView(legacyTable)) return incomplete(__LINE__, reposMessage(1923, legacyTable));
    if (!madeRows && !sourceHas(legacyTable)) {
        if (source->sql) note(__LINE__, reposMessage(1922, legacyTable, table));
        return true;
    }

    VqbString insertSql = VqbString::format("INSERT INTO \"%s\" (%s) VALUES (%s)", table, columnList.asCstr(),
                                            placeholders.asCstr());
    ReposHeld<SqliteStatement> insert(prepareTarget(__LINE__, insertSql));
    if (!insert) return false;
    setup.insert = insert.get();
    TableReadHolder reader = createTableRead(setup, table);
    bool ok = reader ? copyTable(*reader, *insert, table, madeRows ? nullptr : legacyTable, columns.size())
                     : fail(__LINE__, reposMessage(530));
    if (reader && logger_->getLevel() <= 1)
        reposLog(logger_, 1, kSource, __LINE__, "Table %s from %s (version %g) by %s", table, legacyTable, version_,
                 def.reader);
    return ok;
}

// A table the file holds but that cannot be read whole is reported and passed over; the walk
// goes on and the result tells at the end.
bool LegacyRebuild::copyTable(TableRead& reader, SqliteStatement& insert, const char* table, const char* legacyTable,
                              size_t columns) {
    VqbString why;
    long long limit = legacyTable ? sourceRowCount(legacyTable, why) : -1;
    if (legacyTable && limit < 0) return incomplete(__LINE__, reposMessage(1290, table, why.asCstr()));
    bool opened = reader.buildQuery();
    if (opened && !reader.query().isEmpty()) {
        callback_->reportMessage(reader.query());
        opened = reader.openSource(why);
    }
    if (!opened) return incomplete(__LINE__, reposMessage(1290, table, why.asCstr()));
    if (!execTarget(__LINE__, "BEGIN TRANSACTION")) return false;
    int rows = 0;
    switch (copyRows(reader, insert, columns, table, limit, rows, why)) {
        case CopyEnd::ReadError:
            rollback();
            return incomplete(__LINE__, reposMessage(1291, table, why.asCstr()));
        case CopyEnd::WriteError:
            rollback();
            return fail(__LINE__, reposMessage(1921, table, why.asCstr()));
        case CopyEnd::Stopped:
            rollback();
            return false;
        case CopyEnd::Done:
            break;
    }
    if (!execTarget(__LINE__, "COMMIT TRANSACTION")) {
        rollback();
        return false;
    }
    callback_->reportMessage(VqbString::format("%d rows inserted", rows));
    return true;
}

bool LegacyRebuild::incomplete(int line, const VqbString& text) {
    note(line, text);
    incomplete_ = true;
    incompleteReason_ = text;
    return true;
}

CopyEnd LegacyRebuild::copyRows(TableRead& reader, SqliteStatement& insert, size_t parameters, const char* table,
                                long long limit, int& rows, VqbString& why) {
    rows = 0;
    for (;;) {
        if (rows > 0 && rows % kProgressRows == 0 &&
            !callback_->reportProgress(VqbString::format("Table %s: %d rows", table, rows)))
            return CopyEnd::Stopped;
        if (reader.hasSource()) {
            int state = reader.nextSourceRow(why);
            if (state == 0) return CopyEnd::Done;
            if (state != 1) return CopyEnd::ReadError;
            if (limit >= 0 && rows >= limit) {
                why = reposMessage(1924, limit);
                return CopyEnd::ReadError;
            }
        }
        for (size_t i = 0; i < parameters; ++i) {
            if (!insert.bindNull(static_cast<int>(i))) {
                insert.getErrorMessage(why);
                return CopyEnd::WriteError;
            }
        }
        switch (reader.copyRow()) {
            case TableRead::Row::End:
                return CopyEnd::Done;
            case TableRead::Row::Failed:
                why = reader.error();
                return CopyEnd::WriteError;
            case TableRead::Row::Copied:
                break;
        }
        if (!insert.execute(nullptr)) {
            insert.getErrorMessage(why);
            return CopyEnd::WriteError;
        }
        ++rows;
    }
}

bool LegacyRebuild::listFrequencyTables(std::vector<VqbString>& names) {
    if (version_ < kFrequencyTablesPerField && sourceIsView("frqdist"))
        return incomplete(__LINE__, reposMessage(1923, "frqdist"));
    if (version_ >= kFrequencyTablesPerField)
        for (const std::string& view : sourceViews_)
            if (legacyFrequencyFieldId(VqbString(view), nullptr))
                incomplete(__LINE__, reposMessage(1923, view.c_str()));
    VqbString sql(version_ < kFrequencyTablesPerField
                      ? "SELECT 'frqdist' || fld_id from frqdist group by fld_id"
                      : "SELECT name FROM sqlite_master where type='table' and name like 'frqdist%' and "
                        "name <> 'frqdist' and name <> 'FRQDIST'");
    callback_->reportMessage(sql);
    ReposHeld<SqliteCursor> cursor(source_->query(sql));
    if (!cursor) {
        // A file without frequency results.
        callback_->reportMessage("Couldn't get list of freq dist tables");
        return true;
    }
    int state;
    while ((state = cursor->next()) == 1) names.push_back(cursor->getText(0));
    VqbString why;
    if (state == 2) cursor->getErrorMessage(why);
    cursor.reset();
    if (state == 2) return fail(__LINE__, reposMessage(1293, "frqdist", why.asCstr()));
    return true;
}

bool LegacyRebuild::copyFrequencyTables() {
    std::vector<VqbString> names;
    if (!listFrequencyTables(names)) return false;
    for (const VqbString& name : names) {
        VqbString fieldId;
        if (!legacyFrequencyFieldId(name, &fieldId)) {
            note(__LINE__, reposMessage(1920, name.isNull() ? "(null)" : name.asCstr()));
            continue;
        }
        if (!callback_->reportProgress(VqbString::format("Table %s", name.asCstr()))) return false;
        if (!copyFrequencyTable(name, fieldId)) {
            rollback();
            return false;
        }
    }
    return true;
}

// One transaction per table, its creation included, so a failed table leaves nothing behind and
// the rebuild can be run again once the cause is mended.
bool LegacyRebuild::copyFrequencyTable(const VqbString& legacyName, const VqbString& fieldId) {
    VqbString table = "FRQDST" + fieldId;
    const char* t = table.asCstr();
    if (!execTarget(__LINE__, "BEGIN TRANSACTION") ||
        !execTarget(__LINE__,
                    VqbString::format("CREATE TABLE \"%s\" (fr_value TEXT, fr_count INTEGER, fr_mcval TEXT)", t)))
        return false;
    ReposHeld<SqliteStatement> insert(
        prepareTarget(__LINE__, VqbString::format("INSERT INTO \"%s\" (fr_value, fr_count) VALUES (?,?)", t)));
    if (!insert) return false;

    const std::vector<VqbString> columns{VqbString("fr_value"), VqbString("fr_count")};
    TableRead::Setup setup{&columns, source_, insert.get(), version_};
    TableReadHolder reader(new (std::nothrow) TR_FRQDST(setup, legacyName));
    if (!reader) return fail(__LINE__, reposMessage(530));
    VqbString why;
    // Before 1.9 the rows of every field share the one table.
    const VqbString legacyTable = version_ < kFrequencyTablesPerField ? VqbString("frqdist") : legacyName;
    long long limit = sourceRowCount(legacyTable.asCstr(), why);
    if (limit < 0) return fail(__LINE__, reposMessage(1292, legacyName.asCstr(), why.asCstr()));
    if (!reader->buildQuery()) return fail(__LINE__, reposMessage(1292, legacyName.asCstr(), "no query"));
    callback_->reportMessage(reader->query());
    if (!reader->openSource(why)) return fail(__LINE__, reposMessage(1292, legacyName.asCstr(), why.asCstr()));
    int rows = 0;
    switch (copyRows(*reader, *insert, columns.size(), legacyName.asCstr(), limit, rows, why)) {
        case CopyEnd::ReadError:
            return fail(__LINE__, reposMessage(1293, legacyName.asCstr(), why.asCstr()));
        case CopyEnd::WriteError:
            return fail(__LINE__, reposMessage(1921, t, why.asCstr()));
        case CopyEnd::Stopped:
            return false;
        case CopyEnd::Done:
            break;
    }
    reader.reset();
    insert.reset();
    if (!execTarget(__LINE__, VqbString::format("CREATE INDEX \"%s_fr_value\" on \"%s\"(fr_value)", t, t)) ||
        !execTarget(__LINE__, VqbString::format("CREATE INDEX \"%s_fr_count\" on \"%s\"(fr_count)", t, t)) ||
        !execTarget(__LINE__, "COMMIT TRANSACTION"))
        return false;
    callback_->reportMessage(VqbString::format("%d rows inserted", rows));
    return true;
}

}  // namespace

// ---- table of readers

const LegacyTableDef& findLegacyTableDef(const char* table) {
    if (table)
        for (const LegacyTableDef& def : kLegacyTables)
            if (sameName(def.table, table)) return def;
    return kOtherTable;
}

bool legacyFrequencyFieldId(const VqbString& name, VqbString* fieldId) {
    static const char kPrefix[] = "frqdist";
    constexpr size_t kPrefixLength = sizeof kPrefix - 1;
    // Up to 18 digits always fit a 64-bit integer, so the id reaches SQL as a whole number.
    constexpr size_t kMaxDigits = 18;
    const std::string& text = name.str();
    if (name.isNull() || text.size() <= kPrefixLength || text.size() > kPrefixLength + kMaxDigits) return false;
    if (strncasecmp(text.c_str(), kPrefix, kPrefixLength) != 0) return false;
    for (size_t i = kPrefixLength; i < text.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    if (fieldId) *fieldId = VqbString(text.substr(kPrefixLength));
    return true;
}

// ---- readers

TableRead::TableRead(const Setup& setup, const VqbString& tag, const LegacySource* source)
    : columns_(setup.columns),
      sourceDb_(setup.source),
      insert_(setup.insert),
      version_(setup.version),
      tag_(tag),
      query_(""),
      source_(source) {}

TableRead::~TableRead() { closeSource(); }

void TableRead::closeSource() {
    cursor_.reset();
    sourceStatement_.reset();
}

bool TableRead::buildQuery() {
    if (source_ && source_->sql) {
        query_ = VqbString(source_->sql);
        return true;
    }
    query_ = VqbString("SELECT ");
    for (size_t i = 0; i < columns_->size(); ++i) {
        if (i) query_ += ",";
        query_ += (*columns_)[i];
    }
    query_ += VqbString::format(" FROM \"%s\"", tag_.asCstr());
    return true;
}

bool TableRead::openSource(VqbString& error) {
    closeSource();
    sourceStatement_.reset(sourceDb_->prepare(query_));
    if (!sourceStatement_) {
        sourceDb_->getErrorMessage(error);
        return false;
    }
    cursor_.reset(sourceStatement_->select());
    if (!cursor_) {
        sourceStatement_->getErrorMessage(error);
        return false;
    }
    return true;
}

int TableRead::nextSourceRow(VqbString& error) {
    if (!cursor_) return 0;
    int state = cursor_->next();
    if (state == 2) cursor_->getErrorMessage(error);
    return state;
}

bool TableRead::copyColumn(int parameter, int column) {
    switch (cursor_->getColumnType(column)) {
        case SQLITE_COLUMN_NULL:
            return insert_->bindNull(parameter);
        case SQLITE_COLUMN_INTEGER:
            return insert_->bindInt(parameter, cursor_->getInt64(column));
        case SQLITE_COLUMN_REAL:
            return insert_->bindDouble(parameter, cursor_->getDouble(column));
        default:
            return insert_->bindText(parameter, cursor_->getText(column));
    }
}

TableRead::Row TableRead::bindFailed() {
    insert_->getErrorMessage(error_);
    return Row::Failed;
}

TableRead::Row TableRead::copyColumns() {
    int count = std::min(static_cast<int>(columns_->size()), cursor_->getColumnCount());
    for (int i = 0; i < count; ++i)
        if (!copyColumn(i, i)) return bindFailed();
    return Row::Copied;
}

TableRead::Row TableRead::copyRow() { return cursor_ ? copyColumns() : Row::End; }

TableRead::Row DefaultRowRead::copyRow() {
    if (rowCounter_ > 0) return Row::End;
    ++rowCounter_;
    double now = VqbDate::currentDate().asDouble();
    for (const LegacyDefaultValue* value = values_; value && value->kind != LegacyDefaultValue::End; ++value) {
        int i = 0;
        while (i < static_cast<int>(columns_->size()) && !(*columns_)[i].equals(value->column, false)) ++i;
        if (i == static_cast<int>(columns_->size())) {
            error_ = VqbString::format("the table has no column %s", value->column);
            return Row::Failed;
        }
        bool ok = value->kind == LegacyDefaultValue::Integer ? insert_->bindInt(i, value->number)
                  : value->kind == LegacyDefaultValue::Now   ? insert_->bindDouble(i, now)
                                                             : insert_->bindText(i, VqbString(value->text));
        if (!ok) return bindFailed();
    }
    return Row::Copied;
}

TableRead::Row TR_TBL::copyRow() {
    Row row = TableRead::copyRow();
    if (row != Row::Copied || version_ >= kQueryTableSqlKept) return row;
    // Source columns: 3 tbl_name, 5 tbl_filter_expr, 6 '' (no filter SQL yet).
    constexpr int kName = 3, kFilterExpr = 5, kFilterSql = 6;
    bool queryTable = cursor_->getColumnType(kName) == SQLITE_COLUMN_NULL || cursor_->getText(kName).isEmpty();
    if (queryTable && (!copyColumn(kFilterExpr, kFilterSql) || !copyColumn(kFilterSql, kFilterExpr)))
        return bindFailed();
    return row;
}

bool TR_FRQDST::buildQuery() {
    VqbString fieldId;
    if (!legacyFrequencyFieldId(tag_, &fieldId)) return false;
    if (version_ < kFrequencyTablesPerField)
        query_ = VqbString::format("select fr_value, fr_count from \"%s\" where fld_id = %s",
                                   tag_.left(7).asCstr(), fieldId.asCstr());
    else
        query_ = VqbString::format("select fr_value, fr_count from \"%s\"", tag_.asCstr());
    return true;
}

void TableRead::release() {
    finish();
    closeSource();
    delete this;
}

TableReadHolder createTableRead(const TableRead::Setup& setup, const char* table) {
    const LegacyTableDef& def = findLegacyTableDef(table);
    const LegacySource* source = chooseSource(def, setup.version);
    if (!source) return nullptr;
    VqbString tag(table);
    if (source->sql && !source->sql[0])
        return TableReadHolder(new (std::nothrow) DefaultRowRead(setup, tag, source, def.defaultRow));
    if (def.kind == K::TableFilter) return TableReadHolder(new (std::nothrow) TR_TBL(setup, tag, source));
    return TableReadHolder(new (std::nothrow) TableRead(setup, tag, source));
}

bool reposMoveSqliteData(const VqbString& sourcePath, const VqbString& targetPath,
                         RepositoryStatusCallback* callback, VqbString& error) {
    LegacyRebuild rebuild(callback, error);
    return rebuild.run(sourcePath, targetPath);
}

bool RepositoryImpl::moveSqliteData(const VqbString& sourcePath, const VqbString& targetPath) {
    VqbString error;
    if (reposMoveSqliteData(sourcePath, targetPath, status(), error)) return true;
    lastError_ = error;
    return false;
}
