#include "legacy_files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr double kAlways = 0.0;
constexpr double kNever = 99.0;

std::vector<LegacyColumn> fldColumns() {
    std::vector<LegacyColumn> columns = {{"dsn_id", 'i', kAlways, "DSN_ID", nullptr},
                                         {"tbl_id", 'i', kAlways, "TBL_ID", nullptr},
                                         {"fld_id", 'i', kAlways, "FLD_ID", nullptr},
                                         {"fld_type", 't', kAlways, "FLD_TYPE", nullptr},
                                         {"fld_name", 't', kAlways, "FLD_NAME", nullptr}};
    static std::vector<std::string> names;  // keeps the texts the columns point at
    if (names.empty())
        for (int n = 0; n < 24; ++n) {
            names.push_back("met_" + std::to_string(n));
            names.push_back("MET_" + std::to_string(n));
        }
    for (int n = 0; n < 24; ++n)
        columns.push_back({names[2 * n].c_str(), 't', n == 23 ? 1.4 : kAlways, names[2 * n + 1].c_str(), "0"});
    return columns;
}

const char* typeName(char type) {
    switch (type) {
        case 'i':
            return "INTEGER";
        case 'r':
            return "REAL";
        default:
            return "TEXT";
    }
}

// A name in double quotes, its own quotes doubled.
std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

Value columnText(sqlite3_stmt* stmt, int i) {
    if (sqlite3_column_type(stmt, i) == SQLITE_NULL) return std::nullopt;
    const unsigned char* text = sqlite3_column_text(stmt, i);
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(stmt, i)));
}

}  // namespace

const std::vector<LegacyTable>& legacyTables() {
    static const std::vector<LegacyTable> tables = {
        {"job", 1.4, kNever, "JOB",
         {{"job_id", 'i', kAlways, "JOB_ID", nullptr},
          {nullptr, 'i', kNever, "RPT_ID", "1"},
          {"job_date", 'r', kAlways, "JOB_DATE", nullptr},
          {"job_desc", 't', kAlways, "JOB_DESC", nullptr}}},
        {"dsn", kAlways, kNever, "DSN",
         {{"dsn_id", 'i', kAlways, "DSN_ID", nullptr},
          {"job_id", 'i', 1.4, "JOB_ID", "1"},
          {"dsn_name", 't', kAlways, "DSN_NAME", nullptr},
          {"dsn_conn", 't', kAlways, "DSN_CONN", nullptr},
          {"dsn_textfile", 't', 1.6, "DSN_TF", "N"}}},
        {"key_values", kAlways, 1.4, "JOBCFG",
         {{nullptr, 'i', kNever, "JOB_ID", "1"},
          {"v_key", 't', kAlways, "JC_KEY", nullptr},
          {"v_value", 't', kAlways, "JC_VALUE", nullptr}}},
        {"jobcfg", 1.4, kNever, "JOBCFG",
         {{"job_id", 'i', kAlways, "JOB_ID", nullptr},
          {"jc_key", 't', kAlways, "JC_KEY", nullptr},
          {"jc_value", 't', kAlways, "JC_VALUE", nullptr}}},
        {"tbl", kAlways, kNever, "TBL",
         {{"dsn_id", 'i', kAlways, "DSN_ID", nullptr},
          {"tbl_id", 'i', kAlways, "TBL_ID", nullptr},
          {"tbl_schema", 't', kAlways, "TBL_SCH", nullptr},
          {"tbl_name", 't', kAlways, "TBL_NM", nullptr},
          {"tbl_filter", 't', kAlways, "TBL_FILT", nullptr},
          {"tbl_filter_expr", 't', kAlways, "TBL_FEXP", nullptr},
          {"tbl_filter_sql", 't', 1.8, "TBL_FSQL", ""},
          {"tbl_tot_rows", 'i', kAlways, "TBL_TROW", nullptr},
          {"tbl_tot_filtered", 'i', kAlways, "TBL_TFLT", nullptr},
          {"tbl_sample_int", 'i', 1.1, "TBL_SINT", "1"}}},
        {"fld", kAlways, kNever, "FLD", fldColumns()},
        {"patdist", kAlways, kNever, "PATDST",
         {{"fld_id", 'i', kAlways, "FLD_ID", nullptr},
          {"pa_value", 't', kAlways, "PA_VALUE", nullptr},
          {"pa_count2", 'r', kAlways, "PA_COUNT2", nullptr}}},
        {"ptile", kAlways, kNever, "PTILE",
         {{"fld_id", 'i', kAlways, "FLD_ID", nullptr},
          {"pt_interval", 'r', kAlways, "PT_INTVL", nullptr},
          {"pt_value", 'r', kAlways, "PT_VALUE", nullptr}}},
        {"outlier", kAlways, kNever, "OUTLR",
         {{"fld_id", 'i', kAlways, "FLD_ID", nullptr},
          {"ou_type", 't', kAlways, "OU_TYPE", nullptr},
          {"ou_ordinal", 'i', kAlways, "OU_ORDNL", nullptr},
          {"ou_value", 't', kAlways, "OU_VALUE", nullptr}}},
        {"pkfk", 1.1, kNever, "PKFK",
         {{"fld_id", 'i', kAlways, "FLD_ID", nullptr},
          {"pf_fld_id", 'i', kAlways, "PF_FLDID", nullptr},
          {"pf_percent", 'r', kAlways, "PF_PCT", nullptr}}},
        {"mcdist", 1.1, kNever, "MCDIST",
         {{"fld_id", 'i', kAlways, "FLD_ID", nullptr},
          {"mc_value", 't', kAlways, "MC_VALUE", nullptr},
          {"mc_count", 'i', kAlways, "MC_COUNT", nullptr},
          {"mc_id", 'i', kAlways, "MC_ID", nullptr},
          {"fr_val", 't', kAlways, "FR_VAL", nullptr}}},
        {"fld_prop", 1.1, kNever, "FLDPRP",
         {{"dsn_id", 'i', kAlways, "DSN_ID", nullptr},
          {"tbl_id", 'i', kAlways, "TBL_ID", nullptr},
          {"fld_id", 'i', kAlways, "FLD_ID", nullptr},
          {"pr_name", 't', kAlways, "PR_NAME", nullptr},
          {"pr_value", 't', kAlways, "PR_VALUE", nullptr}}},
        {"exec_log", 1.2, kNever, "EXELOG",
         {{"el_id", 'i', kAlways, "EL_ID", nullptr},
          {"dsn_id", 'i', kAlways, "DSN_ID", nullptr},
          {"tbl_id", 'i', kAlways, "TBL_ID", nullptr},
          {"el_task", 't', kAlways, "EL_TASK", nullptr},
          {"el_status", 't', kAlways, "EL_STAT", nullptr},
          {"el_seconds", 'i', kAlways, "EL_SECS", nullptr},
          {"el_message", 't', kAlways, "EL_MSG", nullptr}}},
        {"tbl_notes", 1.4, kNever, "TBLNOT",
         {{"tn_id", 'i', kAlways, "TN_ID", nullptr},
          {"tbl_id", 'i', kAlways, "TBL_ID", nullptr},
          {"tn_type", 't', kAlways, "TN_TYPE", nullptr},
          {"tn_note", 't', kAlways, "TN_NOTE", nullptr},
          {"tn_user", 't', kAlways, "TN_USER", nullptr},
          {"tn_date", 'r', kAlways, "TN_DATE", nullptr},
          {"ncat_id", 'i', 1.8, "NCAT_ID", "0"}}},
        {"fld_notes", 1.4, kNever, "FLDNOT",
         {{"fn_id", 'i', kAlways, "FN_ID", nullptr},
          {"fld_id", 'i', kAlways, "FLD_ID", nullptr},
          {"fn_note", 't', kAlways, "FN_NOTE", nullptr},
          {"fn_user", 't', kAlways, "FN_USER", nullptr},
          {"fn_date", 'r', kAlways, "FN_DATE", nullptr},
          {"ncat_id", 'i', 1.8, "NCAT_ID", "0"}}},
        {"alert", 1.5, kNever, "ALERT",
         {{"al_id", 'i', kAlways, "AL_ID", nullptr},
          {"job_id", 'i', kAlways, "JOB_ID", nullptr},
          {"al_dsn", 't', kAlways, "AL_DSN", nullptr},
          {"al_schema", 't', kAlways, "AL_SCHMA", nullptr},
          {"al_tbl", 't', kAlways, "AL_TBL", nullptr},
          {"al_fld", 't', kAlways, "AL_FLD", nullptr},
          {"al_filt", 't', kAlways, "AL_FILT", nullptr},
          {"al_desc", 't', kAlways, "AL_DESC", nullptr},
          {"al_rule", 't', kAlways, "AL_RULE", nullptr},
          {"al_error", 't', kAlways, "AL_ERROR", nullptr},
          {"al_textfile", 't', 1.6, "AL_TF", "N"}}},
        {"alprop", 1.5, kNever, "ALPROP",
         {{"al_id", 'i', kAlways, "AL_ID", nullptr},
          {"ap_name", 't', kAlways, "AP_NAME", nullptr},
          {"ap_value", 't', kAlways, "AP_VALUE", nullptr}}},
        {"tf_info", 1.6, kNever, "TFINF",
         {{"tbl_name", 't', kAlways, "TBL_NM", nullptr},
          {"tf_filename", 't', kAlways, "TF_FN", nullptr},
          {"tf_delimiter", 't', kAlways, "TF_DLIM", nullptr},
          {"tf_textqual", 't', kAlways, "TF_TQ", nullptr},
          {"tf_skiprows", 'i', kAlways, "TF_SROWS", nullptr},
          {"tf_recwidth", 'i', kAlways, "TF_RWID", nullptr},
          {"tf_maxrows", 'i', 1.7, "TF_MROWS", "0"},
          {"tf_truncate", 't', 1.7, "TF_TRUNC", "N"}}},
        {"tff_info", 1.6, kNever, "TFFINF",
         {{"tbl_name", 't', kAlways, "TBL_NM", nullptr},
          {"tff_fieldname", 't', kAlways, "TFF_FN", nullptr},
          {"tff_type", 't', kAlways, "TFF_TYPE", nullptr},
          {"tff_length", 'i', kAlways, "TFF_LEN", nullptr},
          {"tff_startpos", 'i', kAlways, "TFF_SPOS", nullptr},
          {"tff_ordinal", 'i', kAlways, "TFF_ORD", nullptr}}},
        {"note_cat", 1.8, kNever, "NOTCAT",
         {{"ncat_id", 'i', kAlways, "NCAT_ID", nullptr}, {"ncat_desc", 't', kAlways, "NCAT_DSC", nullptr}}},
        {"redun", 1.1, 2.0, "REDUN2",
         {{"fld_id", 'i', kAlways, "FLD_ID", nullptr},
          {"r_fld_id", 'i', kAlways, "R_FLD_ID", nullptr},
          {"r_left", 'i', kAlways, "R_LEFT", nullptr},
          {"r_common", 'i', kAlways, "R_CMNLFT", nullptr},
          {"r_right", 'i', kAlways, "R_RIGHT", nullptr},
          {nullptr, 'i', kNever, "R_CMNRGT", "0"}}},
        {"redun2", 2.0, kNever, "REDUN2",
         {{"fld_id", 'i', kAlways, "FLD_ID", nullptr},
          {"r_fld_id", 'i', kAlways, "R_FLD_ID", nullptr},
          {"r_left", 'i', kAlways, "R_LEFT", nullptr},
          {"r_cmn_left", 'i', kAlways, "R_CMNLFT", nullptr},
          {"r_right", 'i', kAlways, "R_RIGHT", nullptr},
          {"r_cmn_right", 'i', kAlways, "R_CMNRGT", nullptr}}},
    };
    return tables;
}

bool legacyHas(const LegacyTable& table, double version) { return version >= table.since && version < table.until; }

bool legacyHas(const LegacyColumn& column, double version) { return column.name && version >= column.since; }

// ---- raw files

RawFile::RawFile(const std::string& path, bool create) {
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK)
        ADD_FAILURE() << path << ": " << sqlite3_errmsg(db_);
    sqlite3_busy_timeout(db_, 5000);
}

RawFile::~RawFile() { sqlite3_close(db_); }

void RawFile::exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
        ADD_FAILURE() << sql << ": " << (message ? message : "?");
    sqlite3_free(message);
}

void RawFile::insert(const std::string& table, const std::vector<std::string>& columns, const Row& values,
                     const std::vector<char>& types) {
    std::string sql = "INSERT INTO " + quoted(table) + " (", marks;
    for (size_t i = 0; i < columns.size(); ++i) {
        sql += (i ? ", " : "") + columns[i];
        marks += i ? ", ?" : "?";
    }
    sql += ") VALUES (" + marks + ")";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
        return;
    }
    for (size_t i = 0; i < values.size(); ++i) {
        int p = static_cast<int>(i) + 1;
        if (!values[i])
            sqlite3_bind_null(stmt, p);
        else if (types[i] == 'i')
            sqlite3_bind_int64(stmt, p, std::stoll(*values[i]));
        else if (types[i] == 'r')
            sqlite3_bind_double(stmt, p, std::stod(*values[i]));
        else
            sqlite3_bind_text(stmt, p, values[i]->c_str(), static_cast<int>(values[i]->size()), SQLITE_TRANSIENT);
    }
    if (sqlite3_step(stmt) != SQLITE_DONE) ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
    sqlite3_finalize(stmt);
}

Rows RawFile::rows(const std::string& sql) {
    Rows out;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
        return out;
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        Row row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) row.push_back(columnText(stmt, i));
        out.push_back(row);
    }
    if (rc != SQLITE_DONE) ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
    sqlite3_finalize(stmt);
    return out;
}

std::vector<std::string> RawFile::columns(const std::string& table) {
    std::vector<std::string> out;
    for (const Row& row : rows("SELECT name FROM pragma_table_info('" + table + "')")) out.push_back(*row[0]);
    return out;
}

bool RawFile::hasTable(const std::string& name) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_master WHERE name = ?", -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    bool found = sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    return found;
}

std::vector<std::pair<std::string, long long>> RawFile::rowCounts() {
    std::vector<std::pair<std::string, long long>> out;
    for (const Row& row : rows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
        Rows count = rows("SELECT count(*) FROM \"" + *row[0] + "\"");
        out.emplace_back(*row[0], count.empty() ? -1 : std::stoll(*count[0][0]));
    }
    return out;
}

// ---- legacy files

Value syntheticValue(char type, int row, int column) {
    switch (type) {
        case 'i':
            // Beyond 32 bits in the first row, so a narrowed copy shows.
            return std::to_string(row == 0 && column == 1 ? 5000000000LL : 10LL * column + row + 1);
        case 'r':
            if (row == 2) return std::nullopt;
            return std::to_string(1.25 * (row + 1) + column);
        default:
            if (row == 2 && column % 2 == 1) return std::nullopt;
            return "it's r" + std::to_string(row) + "c" + std::to_string(column) + " \"\xc3\xa9\"";
    }
}

LegacyFile::LegacyFile(const std::string& path, double version)
    : path_(path), version_(version), raw_(path, true) {
    raw_.exec("CREATE TABLE info (i_type TEXT, i_version REAL)");
    raw_.insert("info", {"i_type", "i_version"}, {std::string("PROFILE_RESULTSET"), std::to_string(version)},
                {'t', 'r'});
    // A row of another kind is not the version.
    raw_.insert("info", {"i_type", "i_version"}, {std::string("OTHER"), std::string("7")}, {'t', 'r'});
    for (const LegacyTable& table : legacyTables())
        if (legacyHas(table, version)) addTable(table);
    addFrequencies();
}

void LegacyFile::addTable(const LegacyTable& table) {
    std::vector<std::string> names;
    std::vector<char> types;
    std::string ddl = "CREATE TABLE " + std::string(table.name) + " (";
    for (const LegacyColumn& column : table.columns) {
        if (!legacyHas(column, version_)) continue;
        ddl += (names.empty() ? "" : ", ") + std::string(column.name) + " " + typeName(column.type);
        names.push_back(column.name);
        types.push_back(column.type);
    }
    raw_.exec(ddl + ")");
    for (int row = 0; row < 3; ++row) {
        Row values;
        for (size_t i = 0; i < names.size(); ++i) {
            Value value = syntheticValue(types[i], row, static_cast<int>(i));
            // A table defined by a query has no name.
            if (names[i] == "tbl_name" && std::string(table.name) == "tbl" && row == 1) value = std::string();
            values.push_back(value);
        }
        raw_.insert(table.name, names, values, types);
    }
}

const std::vector<int>& LegacyFile::frequencyFields() {
    static const std::vector<int> fields = {3, 17, 2500000};
    return fields;
}

Row LegacyFile::frequencyRow(int field, int row) {
    Value value = row == 1 ? Value() : Value("val'" + std::to_string(field) + "-" + std::to_string(row));
    return {value, std::to_string(row == 0 ? 6000000000LL + field : row + 1)};
}

void LegacyFile::addFrequencyTable(const std::string& name) {
    raw_.exec("CREATE TABLE " + quoted(name) + " (fr_value TEXT, fr_count INTEGER)");
    for (int row = 0; row < 2; ++row)
        raw_.insert(name, {"fr_value", "fr_count"}, frequencyRow(0, row), {'t', 'i'});
}

void LegacyFile::addFrequencies() {
    if (version_ < 1.9) {
        raw_.exec("CREATE TABLE frqdist (fld_id INTEGER, fr_value TEXT, fr_count INTEGER)");
        // Fields interleaved, so a copy that ignores the field shows.
        for (int row = 0; row < 3; ++row)
            for (int field : frequencyFields()) {
                Row values = frequencyRow(field, row);
                values.insert(values.begin(), std::to_string(field));
                raw_.insert("frqdist", {"fld_id", "fr_value", "fr_count"}, values, {'i', 't', 'i'});
            }
        return;
    }
    for (int field : frequencyFields()) {
        std::string name = "frqdist" + std::to_string(field);
        raw_.exec("CREATE TABLE " + name + " (fr_value TEXT, fr_count INTEGER)");
        for (int row = 0; row < 3; ++row)
            raw_.insert(name, {"fr_value", "fr_count"}, frequencyRow(field, row), {'t', 'i'});
    }
}

// ---- expectations

Expected expectedRows(LegacyFile& file, const LegacyTable& table) {
    Expected expected;
    std::string select;
    std::vector<int> sourceIndex;  // per destination column: position in the select, or -1
    for (const LegacyColumn& column : table.columns) {
        expected.columns.push_back(column.dest);
        if (legacyHas(column, file.version())) {
            sourceIndex.push_back(static_cast<int>(std::count(select.begin(), select.end(), ',')) +
                                  (select.empty() ? 0 : 1));
            select += (select.empty() ? "" : ", ") + std::string(column.name);
        } else {
            sourceIndex.push_back(-1);
        }
    }
    for (const Row& source : file.raw().rows("SELECT " + select + " FROM " + table.name)) {
        Row row;
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const char* absent = table.columns[i].absent;
            row.push_back(sourceIndex[i] >= 0 ? source[static_cast<size_t>(sourceIndex[i])]
                                              : absent ? Value(absent) : Value());
        }
        // Files before 1.8 keep a query table's SQL as its filter expression.
        if (std::string(table.name) == "tbl" && file.version() < 1.8 && (!row[3] || row[3]->empty()))
            std::swap(row[5], row[6]);
        expected.rows.push_back(row);
    }
    std::sort(expected.rows.begin(), expected.rows.end());
    return expected;
}

Rows targetRows(RawFile& target, const std::string& table, const std::vector<std::string>& columns) {
    std::string select;
    for (const std::string& column : columns) select += (select.empty() ? "" : ", ") + column;
    Rows rows = target.rows("SELECT " + select + " FROM \"" + table + "\"");
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool RecordingCallback::reportProgress(const VqbString& text) {
    progress.push_back(text.str());
    return text.str() != stopAt;
}

bool RecordingCallback::saw(const std::string& fragment) const {
    for (const std::string& message : messages)
        if (message.find(fragment) != std::string::npos) return true;
    return false;
}
